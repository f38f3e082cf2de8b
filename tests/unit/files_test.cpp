#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>

#include "file_test_support.h"
#include "platform/errors.h"

namespace tw {
namespace {

using testing::Bytes;
using testing::FolderEntries;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

TEST(FileExists, OnlyForARegularFileReachableByThatExactName) {
    TempFolder folder;
    WriteBytes(folder / "file", {1, 2, 3});
    ASSERT_EQ(::mkdir((folder / "dir").c_str(), 0700), 0);
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("file", (folder / "link").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (folder / "dangling").c_str()), 0);

    struct Case {
        std::string name;
        bool exists;
    };
    const Case cases[] = {
        {"", false},
        {folder / "file", true},
        {folder / "link", true},
        {folder / "missing", false},
        {folder / "dir", false},
        {folder / "fifo", false},
        {folder / "dangling", false},
        {"/dev/null", false},
        // The C string stops at the NUL and would name the existing "file".
        {folder / std::string("file\0.rgn", 9), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(files::FileExists(c.name), c.exists);
    }
}

TEST(ReadWholeFile, ReadsUpToTheLimitAndRefusesOneBytePast) {
    TempFolder folder;
    struct Case {
        std::size_t fileSize;
        std::size_t maxBytes;
        bool read;
    };
    const Case cases[] = {
        {0, 0, true}, {0, 10, true}, {1, 0, false}, {10, 10, true}, {11, 10, false},
        // Larger than one read() and than the first guess at the size.
        {300000, 300000, true}, {300001, 300000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.fileSize << " of " << c.maxBytes);
        Bytes contents(c.fileSize);
        for (std::size_t i = 0; i < contents.size(); ++i) contents[i] = static_cast<std::uint8_t>(i * 7);
        WriteBytes(folder / "f", contents);
        const auto got = files::ReadWholeFile(folder / "f", c.maxBytes);
        ASSERT_EQ(got.has_value(), c.read);
        if (c.read) {
            EXPECT_EQ(*got, contents);
        }
    }
}

TEST(ReadWholeFile, ReadsFilesWhoseSizeTheKernelDoesNotKnowInAdvance) {
    // /proc files report size 0 yet have contents.
    const auto got = files::ReadWholeFile("/proc/self/status", 1 << 20);
    ASSERT_TRUE(got.has_value());
    const std::string text(got->begin(), got->end());
    EXPECT_NE(text.find("nonvoluntary_ctxt_switches"), std::string::npos) << "the last line";
}

void ExpectClassicError(const std::function<void()>& action, std::int32_t number) {
    try {
        action();
        ADD_FAILURE() << "no error raised";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), number);
        EXPECT_EQ(error.Description(), ClassicDescription(number));
        EXPECT_EQ(error.Source(), "") << "callers give the source";
    }
}

TEST(ReplaceFileContents, RejectsTargetsItCannotReplaceAndLeavesNothingBehind) {
    struct Case {
        const char* name;
        std::function<std::string(const TempFolder&)> target;
        std::int32_t number;
    };
    const Case cases[] = {
        {"a folder", [](const TempFolder& f) {
             ::mkdir((f / "dir").c_str(), 0700);
             return f / "dir";
         },
         err::kPathFileAccessError},
        {"a FIFO", [](const TempFolder& f) {
             ::mkfifo((f / "fifo").c_str(), 0600);
             return f / "fifo";
         },
         err::kPathFileAccessError},
        {"file used as folder", [](const TempFolder& f) {
             WriteBytes(f / "plain", {1});
             return f / "plain/x.rgn";
         },
         err::kPathNotFound},
        {"name too long", [](const TempFolder& f) { return f / std::string(300, 'n'); },
         err::kBadFileNameOrNumber},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string target = c.target(folder);
        const auto before = FolderEntries(folder.Path());
        ExpectClassicError([&] { files::ReplaceFileContents(target, Bytes{1, 2, 3}); }, c.number);
        EXPECT_EQ(FolderEntries(folder.Path()), before);
    }
}

TEST(ReplaceFileContents, NewFilesFollowTheUmaskAndReplacedFilesKeepTheirMode) {
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

TEST(ReplaceFileContents, ThroughASymbolicLinkReplacesWhatItPointsAt) {
    TempFolder folder;
    WriteBytes(folder / "real.rgn", {1, 2, 3, 4});
    ASSERT_EQ(::symlink("real.rgn", (folder / "link.rgn").c_str()), 0);
    files::ReplaceFileContents(folder / "link.rgn", Bytes{5});
    struct stat st {};
    ASSERT_EQ(::lstat((folder / "link.rgn").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadBytes(folder / "real.rgn"), Bytes{5});
}

TEST(ReplaceFileContents, ANameTooLongForTheSuffixStillGetsATemporaryInTheSameFolder) {
    TempFolder folder;
    const std::string target = folder / std::string(250, 'r');
    files::ReplaceFileContents(target, Bytes{7, 7});
    EXPECT_EQ(ReadBytes(target), (Bytes{7, 7}));
    EXPECT_EQ(FolderEntries(folder.Path()).size(), 1u);
}

}  // namespace
}  // namespace tw
