// The file services over the W APIs: the failures only Windows has (sharing,
// devices, read-only files, names) and UTF-8 names reaching UTF-16 ones.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/portable/errors.h"
#include "platform/ports/adapter_hooks.h"
#include "platform/win32/win32_text.h"
#include "tests/win32/win32_test_support.h"

namespace tw {
namespace {

using Bytes = std::vector<std::uint8_t>;
using win32::Narrow;
using win32::Widen;

class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH + 1, base);
        for (unsigned attempt = 0;; ++attempt) {
            path_ = std::wstring(base) + L"tw-win32-test-" + std::to_wstring(::GetCurrentProcessId()) +
                    L"-" + std::to_wstring(attempt);
            if (::CreateDirectoryW(path_.c_str(), nullptr)) break;
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        for (const std::wstring& name : EntriesW()) {
            const std::wstring full = path_ + L"\\" + name;
            ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!::DeleteFileW(full.c_str())) ::RemoveDirectoryW(full.c_str());
        }
        ::RemoveDirectoryW(path_.c_str());
    }
    std::string operator/(const std::string& name) const { return Narrow(path_) + "\\" + name; }

    std::vector<std::wstring> EntriesW() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found{};
        const HANDLE search = ::FindFirstFileW((path_ + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") names.push_back(name);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
        std::sort(names.begin(), names.end());
        return names;
    }
    // Sorted, so that a stray temporary file shows in a comparison.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const std::wstring& name : EntriesW()) names.push_back(Narrow(name));
        return names;
    }

private:
    std::wstring path_;
};

// Another process's (or thread's) open handle on a file, for as long as it lives.
class OpenedElsewhere {
public:
    OpenedElsewhere(const std::string& name, DWORD access, DWORD share)
        : handle_(::CreateFileW(Widen(name).c_str(), access, share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    OpenedElsewhere(const OpenedElsewhere&) = delete;
    OpenedElsewhere& operator=(const OpenedElsewhere&) = delete;
    ~OpenedElsewhere() {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

Bytes Contents(const std::string& name) {
    auto bytes = files::ReadWholeFile(name, 1 << 20);
    return bytes ? *bytes : Bytes{};
}

std::int32_t ErrorNumberOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const RuntimeError& error) {
        EXPECT_TRUE(error.Source().empty());
        EXPECT_EQ(error.Description(), ClassicDescription(error.Number()));
        return error.Number();
    }
    return 0;
}

const Bytes kOriginal = {'o', 'l', 'd'};
const Bytes kNew = {'n', 'e', 'w', '!'};

TEST(FilesWin32, ReadFailuresCarryTheClassicNumbers) {
    TempFolder folder;
    files::ReplaceFileContents(folder / "file", kOriginal);
    ::CreateDirectoryW(Widen(folder / "dir").c_str(), nullptr);
    OpenedElsewhere writer(folder / "file", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(writer.Valid());

    struct Case {
        const char* what;
        std::string name;
        std::int32_t number;
    };
    const Case cases[] = {
        {"missing file", folder / "missing", err::kFileNotFound},
        {"missing folder", folder / "nowhere\\file", err::kPathNotFound},
        {"folder", folder / "dir", err::kPathFileAccessError},
        {"device", "NUL", err::kPathFileAccessError},
        {"empty name", "", err::kPathFileAccessError},
        // CreateFileW would stop at the NUL and open the existing "file".
        {"embedded NUL", folder / std::string("file\0.rgn", 9), err::kBadFileNameOrNumber},
        {"invalid UTF-8", folder / "\xff\xfe", err::kBadFileNameOrNumber},
        {"wildcard in name", folder / "fi?e", err::kBadFileNameOrNumber},
        // Our reads keep writers out, so a file someone is writing is refused.
        {"open for writing elsewhere", folder / "file", err::kPermissionDenied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ErrorNumberOf([&] { files::ReadWholeFile(c.name, 100); }), c.number);
    }
}

TEST(FilesWin32, FailedReplaceLeavesTheFileAndNoTemporary) {
    struct Case {
        const char* what;
        std::function<void(const TempFolder&)> arrange;
        std::string target;
        std::int32_t number;
    };
    const Case cases[] = {
        {"read-only file",
         [](const TempFolder& f) {
             ::SetFileAttributesW(Widen(f / "file").c_str(), FILE_ATTRIBUTE_READONLY);
         },
         "file", err::kPermissionDenied},
        {"folder in the way", [](const TempFolder& f) { ::CreateDirectoryW(Widen(f / "dir").c_str(), nullptr); },
         "dir", err::kPathFileAccessError},
        {"missing folder", [](const TempFolder&) {}, "nowhere\\file", err::kPathNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        files::ReplaceFileContents(folder / "file", kOriginal);
        c.arrange(folder);
        const auto before = folder.Entries();
        EXPECT_EQ(ErrorNumberOf([&] { files::ReplaceFileContents(folder / c.target, kNew); }),
                  c.number);
        EXPECT_EQ(Contents(folder / "file"), kOriginal);
        EXPECT_EQ(folder.Entries(), before);
    }
}

TEST(FilesWin32, ReplaceWhileAReaderHoldsTheFileFailsCleanly) {
    TempFolder folder;
    files::ReplaceFileContents(folder / "file", kOriginal);
    {
        // A reader that does not allow deletion: the file cannot be renamed over.
        OpenedElsewhere reader(folder / "file", GENERIC_READ, FILE_SHARE_READ);
        ASSERT_TRUE(reader.Valid());
        EXPECT_EQ(ErrorNumberOf([&] { files::ReplaceFileContents(folder / "file", kNew); }),
                  err::kPermissionDenied);
        EXPECT_EQ(folder.Entries(), std::vector<std::string>{"file"});
    }
    EXPECT_EQ(Contents(folder / "file"), kOriginal);
    files::ReplaceFileContents(folder / "file", kNew);
    EXPECT_EQ(Contents(folder / "file"), kNew);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"file"});
}

TEST(FilesWin32, Utf8NamesReachTheSameUtf16Names) {
    TempFolder folder;
    const std::string name = "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac \xf0\x9f\x8e\x84.rgn";  // "Grüße € 🎄.rgn"
    files::ReplaceFileContents(folder / name, kNew);
    EXPECT_TRUE(files::FileExists(folder / name));
    EXPECT_EQ(Contents(folder / name), kNew);
    const std::vector<std::wstring> expected = {L"Gr\u00fc\u00dfe \u20ac \U0001F384.rgn"};
    EXPECT_EQ(folder.EntriesW(), expected);
}

TEST(FilesWin32, FileExistsOnlyForFiles) {
    TempFolder folder;
    files::ReplaceFileContents(folder / "file", kOriginal);
    ::CreateDirectoryW(Widen(folder / "dir").c_str(), nullptr);
    EXPECT_TRUE(files::FileExists(folder / "file"));
    EXPECT_FALSE(files::FileExists(folder / "dir"));
    EXPECT_FALSE(files::FileExists(folder / "missing"));
    EXPECT_FALSE(files::FileExists(folder / std::string("file\0x", 6)));
    EXPECT_FALSE(files::FileExists(folder / "\xff"));
}

TEST(FilesWin32, ExeNameHasNoFolderOrExtension) {
    EXPECT_EQ(files::ExeName(), "tallowind_win32_tests");
}

// Codes a test cannot easily provoke on a real disk.
TEST(FilesWin32, ErrorCodesMapToClassicNumbers) {
    const std::pair<DWORD, std::int32_t> cases[] = {
        {ERROR_FILENAME_EXCED_RANGE, 52}, {ERROR_BAD_PATHNAME, 52}, {ERROR_DISK_FULL, 61},
        {ERROR_HANDLE_DISK_FULL, 61},     {ERROR_CRC, 57},          {ERROR_IO_DEVICE, 57},
        {ERROR_GEN_FAILURE, 57},          {ERROR_LOCK_VIOLATION, 70}, {ERROR_WRITE_PROTECT, 70},
        {ERROR_SHARING_VIOLATION, 70},    {ERROR_NOT_READY, 75},    {ERROR_INVALID_HANDLE, 75},
    };
    for (const auto& [code, number] : cases) {
        SCOPED_TRACE(code);
        EXPECT_EQ(win32::ClassicNumberFromWin32Error(code), number);
    }
}

}  // namespace
}  // namespace tw
