// The file services over plain POSIX calls; the toolkit plays no part here.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>
#include <utility>

#include "platform/portable/errors.h"
#include "platform/ports/adapter_hooks.h"

namespace tw::files {
namespace {

bool HasNul(const std::string& name) { return name.find('\0') != std::string::npos; }

// The folder a name lives in, as a path that can be passed to stat().
std::string ParentFolder(const std::string& name) {
    std::string path = name;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The one place where an operating-system failure becomes a classic number.
std::int32_t ClassicNumberForErrno(int error, const std::string& name) {
    // The runtime tells a missing file from a missing folder on its path.
    if (error == ENOENT) return IsFolder(ParentFolder(name)) ? err::kFileNotFound : err::kPathNotFound;
    static constexpr std::pair<int, std::int32_t> kNumbers[] = {
        {ENOTDIR, err::kPathNotFound}, {EIO, err::kDeviceIoError},
        {EACCES, err::kPermissionDenied}, {EPERM, err::kPermissionDenied}, {EROFS, err::kPermissionDenied},
        {ENAMETOOLONG, err::kBadFileNameOrNumber}, {EINVAL, err::kBadFileNameOrNumber}, {EILSEQ, err::kBadFileNameOrNumber},
        {ENOSPC, err::kDiskFull}, {EDQUOT, err::kDiskFull}, {EFBIG, err::kDiskFull}};
    for (const auto& [code, number] : kNumbers) {
        if (code == error) return number;
    }
    return err::kPathFileAccessError;
}

[[noreturn]] void ThrowForErrno(int error, const std::string& name) {
    throw ClassicError(ClassicNumberForErrno(error, name));
}

// An empty name is an access error to the runtime, a name with a NUL in it a
// bad name: the C string would quietly name some other file.
void CheckName(const std::string& name) {
    if (name.empty()) throw ClassicError(err::kPathFileAccessError);
    if (HasNul(name)) throw ClassicError(err::kBadFileNameOrNumber);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    // Closes now and reports close()'s own failure, which may be the first
    // word of a failed write on network file systems.
    int Close() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) == 0) return 0;
        // Linux has released the descriptor even then; retrying could close
        // someone else's.
        return errno == EINTR ? 0 : errno;
    }

private:
    int fd_;
};

// A temporary file that is removed unless it has been renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!committed_) ::unlink(path_.c_str());
    }
    const std::string& Path() const { return path_; }
    void Committed() { committed_ = true; }

private:
    std::string path_;
    bool committed_ = false;
};

// umask() can only be read by changing it, which races with other threads;
// the kernel reports it in /proc/self/status since Linux 4.7.
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
        }
    }
    return 022;
}

void WriteAll(int fd, std::span<const std::uint8_t> bytes, const std::string& name) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowForErrno(errno, name);
        }
        if (n == 0) throw ClassicError(err::kDiskFull);
        done += static_cast<std::size_t>(n);
    }
}

// Once the rename is done the new contents are in place; making the folder
// entry durable too is worth trying but not worth failing over.
void SyncFolder(const std::string& folder) noexcept {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

bool FileExists(const std::string& name) noexcept {
    if (name.empty() || HasNul(name)) return false;
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& name,
                                                       std::size_t maxBytes) {
    CheckName(name);
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) ThrowForErrno(errno, name);
    if (!S_ISREG(st.st_mode)) throw ClassicError(err::kPathFileAccessError);

    // O_NONBLOCK so that a FIFO swapped in after the stat() cannot hang the open.
    FileDescriptor fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) ThrowForErrno(errno, name);
    if (::fstat(fd.get(), &st) != 0) ThrowForErrno(errno, name);
    if (!S_ISREG(st.st_mode)) throw ClassicError(err::kPathFileAccessError);
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);

    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > maxBytes) return std::nullopt;

    // One byte past the limit is enough to know a growing file is too long.
    const std::size_t limit = maxBytes < SIZE_MAX ? maxBytes + 1 : maxBytes;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size) + (size < limit ? 1 : 0));
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (used >= limit) break;
            const std::size_t grown = used < limit / 2 ? std::max<std::size_t>(used * 2, 4096) : limit;
            bytes.resize(std::min(grown, limit));
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowForErrno(errno, name);
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    if (used > maxBytes) return std::nullopt;
    bytes.resize(used);
    return bytes;
}

void ReplaceFileContents(const std::string& name, std::span<const std::uint8_t> bytes) {
    CheckName(name);

    // Replace what a symbolic link points at, not the link itself.
    std::string target = name;
    struct stat st {};
    if (::lstat(name.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(name.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) throw ClassicError(err::kPathFileAccessError);
    // The rename would replace a read-only file that could not be written in place.
    if (exists && ::access(target.c_str(), W_OK) != 0) ThrowForErrno(errno, target);

    const std::string folder = ParentFolder(target);
    constexpr std::string_view kSuffix = ".tmp-XXXXXX";
    std::string pattern = target + std::string(kSuffix);
    const std::size_t slash = target.rfind('/');
    const std::size_t baseLength = slash == std::string::npos ? target.size() : target.size() - slash - 1;
    // A name near the length limit still has room for a short temporary name.
    if (baseLength + kSuffix.size() > NAME_MAX) pattern = folder + "/" + std::string(kSuffix);

    FileDescriptor fd(::mkstemp(pattern.data()));
    if (fd.get() < 0) ThrowForErrno(errno, target);
    TemporaryFile temporary(pattern);

    // mkstemp() creates 0600; the file should look like any other the user
    // makes, or like the one it replaces.
    if (exists) {
        ::fchmod(fd.get(), st.st_mode & 07777);
        if (::fchown(fd.get(), st.st_uid, st.st_gid) != 0) {
            // Only root may give a file away; the contents matter more.
        }
    } else {
        ::fchmod(fd.get(), 0666 & ~CurrentUmask());
    }

    WriteAll(fd.get(), bytes, target);
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS) ThrowForErrno(errno, target);
    if (const int error = fd.Close(); error != 0) ThrowForErrno(error, target);
    if (::rename(temporary.Path().c_str(), target.c_str()) != 0) ThrowForErrno(errno, target);
    temporary.Committed();
    SyncFolder(folder);
}

std::string ExeName() {
    std::string path(PATH_MAX, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= path.size()) return "tallowind";
    path.resize(static_cast<std::size_t>(n));

    constexpr std::string_view kDeleted = " (deleted)";
    if (path.ends_with(kDeleted)) path.resize(path.size() - kDeleted.size());
    std::string base = path.substr(path.rfind('/') + 1);
    if (const std::size_t dot = base.rfind('.'); dot != std::string::npos && dot > 0) {
        base.resize(dot);
    }
    return base.empty() ? std::string("tallowind") : base;
}

}  // namespace tw::files
