// What only the POSIX file services meet: special files, modes, links, limits
// and identities. The contract common to both platforms is in tests/unit.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/portable/errors.h"
#include "platform/ports/adapter_hooks.h"
#include "tests/support/temp_folder.h"
#include "tests/support/region_file_access.h"

namespace tw {
namespace {

using namespace testing;  // the scratch folder and its byte helpers

TEST(FilesPosix, FileExistsFollowsLinksButSkipsSpecialFiles) {
    TempFolder folder;
    WriteBytes(folder / "file", {1});
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("file", (folder / "link").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (folder / "dangling").c_str()), 0);
    EXPECT_TRUE(files::FileExists(folder / "link"));
    EXPECT_FALSE(files::FileExists(folder / "dangling"));
    EXPECT_FALSE(files::FileExists(folder / "fifo"));
    EXPECT_FALSE(files::FileExists("/dev/null"));
}

TEST(FilesPosix, ReadsFilesWhoseSizeTheKernelDoesNotKnowInAdvance) {
    // /proc files report size 0 yet have contents.
    const auto got = files::ReadWholeFile("/proc/self/status", 1 << 20);
    ASSERT_TRUE(got.has_value());
    const std::string text(got->begin(), got->end());
    EXPECT_NE(text.find("nonvoluntary_ctxt_switches"), std::string::npos) << "the last line";
}

TEST(FilesPosix, SpecialFilesAreRefusedWithoutBlocking) {
    TempFolder folder;
    // Opening a FIFO with no writer would block for ever.
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    for (const std::string& name : {folder / "fifo", std::string("/dev/zero")}) {
        SCOPED_TRACE(name);
        const auto loaded = testing::LoadRegionFile(name);
        ASSERT_TRUE(loaded.error.has_value());
        EXPECT_EQ(loaded.error->Number(), err::kPathFileAccessError);
        EXPECT_EQ(loaded.error->Source(), clsTransForm::LoadSource());
    }
    const Region region = SeveralBands();
    const auto saved = testing::SaveRegionFile(&region, folder / "fifo");
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->Number(), err::kPathFileAccessError);
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"fifo"});
}

TEST(FilesPosix, NewFilesFollowTheUmaskAndReplacedFilesKeepTheirMode) {
    struct Case {
        const char* name;
        mode_t umask;
        std::optional<mode_t> existingMode;
        mode_t expected;
    };
    const Case cases[] = {
        {"new, umask 022", 022, std::nullopt, 0644},
        {"new, umask 077", 077, std::nullopt, 0600},
        {"existing 0640 under umask 022", 022, 0640, 0640},
        {"existing 0666 under umask 077", 077, 0666, 0666},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string target = folder / "out.rgn";
        if (c.existingMode) {
            WriteBytes(target, {9, 9, 9, 9, 9});
            ASSERT_EQ(::chmod(target.c_str(), *c.existingMode), 0);
        }
        const mode_t saved = ::umask(c.umask);
        files::ReplaceFileContents(target, Bytes{1, 2});
        ::umask(saved);
        struct stat st {};
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.expected);
        EXPECT_EQ(ReadBytes(target), (Bytes{1, 2}));
        EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"out.rgn"});
    }
}

TEST(FilesPosix, ReplacingThroughASymbolicLinkReplacesWhatItPointsAt) {
    TempFolder folder;
    WriteBytes(folder / "real.rgn", {1, 2, 3, 4});
    ASSERT_EQ(::symlink("real.rgn", (folder / "link.rgn").c_str()), 0);
    files::ReplaceFileContents(folder / "link.rgn", Bytes{5});
    struct stat st {};
    ASSERT_EQ(::lstat((folder / "link.rgn").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadBytes(folder / "real.rgn"), Bytes{5});
}

TEST(FilesPosix, LongNames) {
    TempFolder folder;
    // Too long for the temporary's suffix, not for the file system.
    const std::string nearLimit = folder / std::string(250, 'r');
    files::ReplaceFileContents(nearLimit, Bytes{7, 7});
    EXPECT_EQ(ReadBytes(nearLimit), (Bytes{7, 7}));
    EXPECT_EQ(FolderEntries(folder.Path()).size(), 1u);

    try {
        files::ReplaceFileContents(folder / std::string(300, 'n'), Bytes{1});
        ADD_FAILURE() << "no error raised";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), err::kBadFileNameOrNumber);
    }
    EXPECT_EQ(FolderEntries(folder.Path()).size(), 1u);
}

// Runs a save in a child process, so that the limits and the identity set up
// for it stay out of the other tests. The error comes back through a pipe.
std::optional<RuntimeError> SaveInChild(const std::function<bool()>& setUp, const Region& held,
                                        const std::string& fileName) {
    int fds[2];
    if (::pipe(fds) != 0) return ClassicError(-1, "pipe");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        std::string report = "setup";
        if (setUp()) {
            const auto error = testing::SaveRegionFile(&held, fileName);
            report = error ? std::to_string(error->Number()) + "\n" + error->Source() : "ok";
        }
        const ssize_t written = ::write(fds[1], report.data(), report.size());
        ::_exit(written == static_cast<ssize_t>(report.size()) ? 0 : 1);
    }
    ::close(fds[1]);
    std::string report;
    char chunk[256];
    for (ssize_t n; (n = ::read(fds[0], chunk, sizeof chunk)) > 0;) {
        report.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (report == "ok") return std::nullopt;
    const std::size_t newline = report.find('\n');
    if (newline == std::string::npos) return ClassicError(-1, "child: " + report);
    return ClassicError(std::stoi(report.substr(0, newline)), report.substr(newline + 1));
}

// Permission bits do not stop root, so as root the save runs as nobody.
bool RunAsNobodyIfRoot() {
    if (::geteuid() != 0) return true;
    return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

TEST(FilesPosix, AFailedSaveLeavesTheOldFileByteForByteAndNoTemporary) {
    struct Case {
        const char* name;
        std::function<bool(const TempFolder&)> parentSetUp;
        std::function<bool()> childSetUp;
        std::int32_t error;
    };
    const Case cases[] = {
        {"read-only folder",
         [](const TempFolder& f) { return ::chmod(f.Path().c_str(), 0555) == 0; },
         RunAsNobodyIfRoot,
         err::kPermissionDenied},
        {"read-only file in a writable folder",
         [](const TempFolder& f) {
             return ::chmod(f.Path().c_str(), 0777) == 0 && ::chmod((f / "r.rgn").c_str(), 0444) == 0;
         },
         RunAsNobodyIfRoot,
         err::kPermissionDenied},
        // A file-size limit makes write() fail part way, as a full disk does;
        // it binds root as well.
        {"disk full", [](const TempFolder&) { return true; },
         [] {
             ::signal(SIGXFSZ, SIG_IGN);
             const rlimit limit{40, 40};
             return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
         },
         err::kDiskFull},
    };
    const Region region = SeveralBands();
    ASSERT_GT(EncodeRegionData(region).size(), 40u);
    const Bytes old{'o', 'l', 'd', 0, 1, 2, 3};

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        ASSERT_EQ(::chmod(folder.Path().c_str(), 0755), 0);  // reachable for nobody
        WriteBytes(folder / "r.rgn", old);
        ASSERT_EQ(::chmod((folder / "r.rgn").c_str(), 0644), 0);
        ASSERT_TRUE(c.parentSetUp(folder));
        const auto before = FolderEntries(folder.Path());

        const auto error = SaveInChild(c.childSetUp, region, folder / "r.rgn");

        ASSERT_TRUE(error.has_value()) << "the save went through";
        ASSERT_NE(error->Number(), -1) << error->Source();
        EXPECT_EQ(error->Number(), c.error);
        EXPECT_EQ(error->Source(), kSaveSource);
        EXPECT_EQ(ReadBytes(folder / "r.rgn"), old);
        EXPECT_EQ(FolderEntries(folder.Path()), before);
    }
}

}  // namespace
}  // namespace tw
