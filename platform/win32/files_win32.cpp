// File services over the Win32 W APIs. Names arrive as UTF-8 and are converted
// to UTF-16, so any name the file system holds can be reached.
#include "platform/ports/adapter_hooks.h"

#include <algorithm>
#include <atomic>
#include <random>
#include <utility>

#include "platform/portable/errors.h"
#include "platform/win32/win32_text.h"

#include <windows.h>

namespace tw::files {

namespace {

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    // CloseHandle can report a deferred write failure, so callers that wrote
    // through the handle close it explicitly and check.
    bool Close() {
        const bool ok = !Valid() || ::CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }
    void Reset(HANDLE handle = INVALID_HANDLE_VALUE) {
        Close();
        handle_ = handle;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

[[noreturn]] void ThrowWin32Error(DWORD code) {
    throw ClassicError(win32::ClassicNumberFromWin32Error(code));
}

[[noreturn]] void ThrowLastError() { ThrowWin32Error(::GetLastError()); }

// An empty name is an access error to the runtime. A name the W APIs would
// read differently from what the caller meant (an embedded NUL would cut it
// short, invalid UTF-8 would be guessed at) is a bad name.
std::wstring WideName(const std::string& name) {
    if (name.empty()) throw ClassicError(err::kPathFileAccessError);
    if (name.find('\0') != std::string::npos) throw ClassicError(err::kBadFileNameOrNumber);
    auto wide = win32::TryWiden(name);
    if (!wide) throw ClassicError(err::kBadFileNameOrNumber);
    return std::move(*wide);
}

bool IsDirectory(const std::wstring& name) {
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring RandomSuffix() {
    static std::atomic<unsigned> counter{0};
    std::random_device device;
    const unsigned long long value =
        (static_cast<unsigned long long>(device()) << 32) ^
        (static_cast<unsigned long long>(::GetCurrentProcessId()) << 16) ^ counter++;
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    std::wstring suffix = L".tmp-";
    for (int shift = 44; shift >= 0; shift -= 4) suffix += kHex[(value >> shift) & 0xF];
    return suffix;
}

// The temporary file ReplaceFileContents writes. Until Commit() it is closed
// and deleted on the way out, so a failure leaves nothing behind.
class TempFile {
public:
    explicit TempFile(const std::wstring& target) {
        for (int attempt = 0; attempt < 16; ++attempt) {
            name_ = target + RandomSuffix();
            // No sharing: nobody reads a half-written file.
            handle_.Reset(::CreateFileW(name_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
            if (handle_.Valid()) return;
            const DWORD code = ::GetLastError();
            if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) ThrowWin32Error(code);
        }
        ThrowWin32Error(ERROR_FILE_EXISTS);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (committed_) return;
        handle_.Reset();
        ::DeleteFileW(name_.c_str());
    }

    void WriteAll(std::span<const std::uint8_t> bytes) {
        while (!bytes.empty()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
            DWORD written = 0;
            if (!::WriteFile(handle_.Get(), bytes.data(), chunk, &written, nullptr)) ThrowLastError();
            if (written == 0) ThrowWin32Error(ERROR_DISK_FULL);
            bytes = bytes.subspan(written);
        }
        if (!::FlushFileBuffers(handle_.Get())) ThrowLastError();
        if (!handle_.Close()) ThrowLastError();
    }

    void MoveOnto(const std::wstring& target) {
        if (!::MoveFileExW(name_.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            ThrowLastError();
        }
        committed_ = true;
    }

private:
    std::wstring name_;
    UniqueHandle handle_;
    bool committed_ = false;
};

}  // namespace

bool FileExists(const std::string& name) noexcept {
    try {
        if (name.empty() || name.find('\0') != std::string::npos) return false;
        const auto wide = win32::TryWiden(name);
        if (!wide) return false;
        const DWORD attributes = ::GetFileAttributesW(wide->c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
    } catch (...) {
        return false;
    }
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& name,
                                                       std::size_t maxBytes) {
    const std::wstring wide = WideName(name);
    // Others may go on reading while we do, but nobody may change the file
    // under us.
    UniqueHandle file(::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.Valid()) {
        const DWORD code = ::GetLastError();
        // A folder cannot be opened this way and reports "access denied".
        if (IsDirectory(wide)) throw ClassicError(err::kPathFileAccessError);
        ThrowWin32Error(code);
    }
    if (::GetFileType(file.Get()) != FILE_TYPE_DISK) throw ClassicError(err::kPathFileAccessError);

    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) ThrowLastError();
    if (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(file.Get(), bytes.data() + done, chunk, &got, nullptr)) ThrowLastError();
        if (got == 0) break;
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

void ReplaceFileContents(const std::string& name, std::span<const std::uint8_t> bytes) {
    const std::wstring wide = WideName(name);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) throw ClassicError(err::kPathFileAccessError);
        // Windows refuses to rename over a read-only file, but only after the
        // whole temporary is written; Wine does not refuse at all.
        if (attributes & FILE_ATTRIBUTE_READONLY) throw ClassicError(err::kPermissionDenied);
    }
    TempFile temp(wide);
    temp.WriteAll(bytes);
    temp.MoveOnto(wide);
}

std::string ExeName() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return "tallowind";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768) return "tallowind";
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    std::wstring base = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const std::size_t dot = base.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0) base.resize(dot);
    return base.empty() ? std::string("tallowind") : win32::Narrow(base);
}

}  // namespace tw::files
