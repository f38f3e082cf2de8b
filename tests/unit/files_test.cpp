// The file services' contract, the same for the POSIX and the Windows ones.
#include "platform/ports/adapter_hooks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "tests/support/temp_folder.h"
#include "platform/portable/errors.h"

namespace tw {
namespace {

using namespace testing;  // the scratch folder and its byte helpers

TEST(FileExists, OnlyForARegularFileOfThatExactName) {
    TempFolder folder;
    WriteBytes(folder / "file", {1, 2, 3});
    std::filesystem::create_directory(folder / "dir");

    struct Case {
        std::string name;
        bool exists;
    };
    const Case cases[] = {
        {"", false},
        {folder / "file", true},
        {folder / "missing", false},
        {folder / "dir", false},
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
        // Larger than one read and than the first guess at the size.
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

TEST(ReplaceFileContents, RejectsTargetsItCannotReplaceAndLeavesNothingBehind) {
    struct Case {
        const char* name;
        std::function<std::string(const TempFolder&)> target;
        std::int32_t number;
    };
    const Case cases[] = {
        {"empty name", [](const TempFolder&) { return std::string(); }, err::kPathFileAccessError},
        {"a folder",
         [](const TempFolder& f) {
             std::filesystem::create_directory(f / "dir");
             return f / "dir";
         },
         err::kPathFileAccessError},
        {"file used as folder",
         [](const TempFolder& f) {
             WriteBytes(f / "plain", {1});
             return f / "plain/x.rgn";
         },
         err::kPathNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string target = c.target(folder);
        const auto before = FolderEntries(folder.Path());
        try {
            files::ReplaceFileContents(target, Bytes{1, 2, 3});
            ADD_FAILURE() << "no error raised";
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.Number(), c.number);
            EXPECT_EQ(error.Description(), ClassicDescription(c.number));
            EXPECT_EQ(error.Source(), "") << "callers give the source";
        }
        EXPECT_EQ(FolderEntries(folder.Path()), before);
    }
}

TEST(ExeName, IsTheProgramsNameWithoutFolderOrExtension) {
    EXPECT_EQ(files::ExeName(), "tallowind_unit_tests");
}

}  // namespace
}  // namespace tw
