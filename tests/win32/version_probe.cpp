// Checks the built tallowind.exe from the outside, as Explorer and the loader
// see it: its version record, icon and manifest, its subsystem and the DLLs
// it needs. Usage: tallowind_version_probe <path of tallowind.exe>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>

#include "platform/win32/win32_text.h"

namespace {

std::wstring g_exe;

// The W names of the resource types (the plain RT_ macros are the A ones).
const LPCWSTR kIconType = MAKEINTRESOURCEW(3);
const LPCWSTR kIconGroupType = MAKEINTRESOURCEW(14);
const LPCWSTR kManifestType = MAKEINTRESOURCEW(24);

class VersionRecord : public ::testing::Test {
protected:
    void SetUp() override {
        DWORD ignored = 0;
        const DWORD size = ::GetFileVersionInfoSizeW(g_exe.c_str(), &ignored);
        ASSERT_NE(size, 0u) << "no version record in the program";
        block_.resize(size);
        ASSERT_TRUE(::GetFileVersionInfoW(g_exe.c_str(), 0, size, block_.data()));
    }

    const void* Query(const std::wstring& path, UINT* length) {
        void* value = nullptr;
        *length = 0;
        if (!::VerQueryValueW(block_.data(), path.c_str(), &value, length)) return nullptr;
        return value;
    }

    std::vector<std::uint8_t> block_;
};

TEST_F(VersionRecord, FixedPartIsVersionOneOfAnApplication) {
    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(Query(L"\\", &length));
    ASSERT_NE(fixed, nullptr);
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST_F(VersionRecord, TranslationIsUsEnglishUnicode) {
    UINT length = 0;
    const auto* translation = static_cast<const WORD*>(Query(L"\\VarFileInfo\\Translation", &length));
    ASSERT_NE(translation, nullptr);
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x409);
    EXPECT_EQ(translation[1], 1200);
}

TEST_F(VersionRecord, Strings) {
    const std::pair<const wchar_t*, const wchar_t*> expected[] = {
        {L"FileVersion", L"1.00"},
        {L"ProductVersion", L"1.00"},
        {L"FileDescription", L"Show how many days until Christmas"},
        {L"ProductName", L"Tallowind..."},
        {L"CompanyName", L"Tallowind developers"},
        {L"LegalCopyright", L"Tallowind developers"},
        {L"InternalName", L"tallowind"},
        {L"OriginalFilename", L"tallowind.exe"},
    };
    for (const auto& [key, value] : expected) {
        SCOPED_TRACE(::testing::Message() << key);
        UINT length = 0;
        const auto* text = static_cast<const wchar_t*>(
            Query(std::wstring(L"\\StringFileInfo\\040904B0\\") + key, &length));
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::wstring(text), value);
    }
}

class Resources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = ::LoadLibraryExW(g_exe.c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override {
        if (module_) ::FreeLibrary(module_);
    }
    std::string Data(LPCWSTR type, WORD id) {
        HRSRC found = ::FindResourceW(module_, MAKEINTRESOURCEW(id), type);
        if (!found) return {};
        HGLOBAL loaded = ::LoadResource(module_, found);
        const auto* bytes = static_cast<const char*>(::LockResource(loaded));
        return bytes ? std::string(bytes, ::SizeofResource(module_, found)) : std::string{};
    }
    int Count(LPCWSTR type) {
        int count = 0;
        ::EnumResourceNamesW(
            module_, type,
            [](HMODULE, LPCWSTR, LPWSTR, LONG_PTR counter) -> BOOL {
                ++*reinterpret_cast<int*>(counter);
                return TRUE;
            },
            reinterpret_cast<LONG_PTR>(&count));
        return count;
    }
    HMODULE module_ = nullptr;
};

TEST_F(Resources, IconOneIsTheProgramsIcon) {
    const std::string group = Data(kIconGroupType, 1);
    ASSERT_GE(group.size(), 6u + 14u) << "icon group 1 missing";
    std::uint16_t images = 0;
    std::memcpy(&images, group.data() + 4, 2);
    EXPECT_GE(images, 1);
    EXPECT_GE(Count(kIconType), 1);
}

TEST_F(Resources, OneManifestForPerMonitorDpiAndCommonControlsSix) {
    // A second manifest (the toolchain's default) would leave which one the
    // loader takes to chance.
    EXPECT_EQ(Count(kManifestType), 1);
    const std::string manifest = Data(kManifestType, 1);
    for (const char* needle :
         {"<dpiAware", "true/pm", "<dpiAwareness", "PerMonitorV2", "Microsoft.Windows.Common-Controls",
          "version=\"6.0.0.0\"", "6595b64144ccf1df"}) {
        EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
    }
}

// The PE headers straight from the file.
class Image : public ::testing::Test {
protected:
    void SetUp() override {
        std::ifstream in(std::filesystem::path(g_exe), std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes_.size(), sizeof(IMAGE_DOS_HEADER));
        IMAGE_DOS_HEADER dos{};
        std::memcpy(&dos, bytes_.data(), sizeof dos);
        ASSERT_EQ(dos.e_magic, IMAGE_DOS_SIGNATURE);
        ASSERT_LE(static_cast<std::size_t>(dos.e_lfanew) + sizeof(IMAGE_NT_HEADERS64), bytes_.size());
        std::memcpy(&nt_, bytes_.data() + dos.e_lfanew, sizeof nt_);
        ASSERT_EQ(nt_.Signature, IMAGE_NT_SIGNATURE);
        sections_ = static_cast<std::size_t>(dos.e_lfanew) + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                    nt_.FileHeader.SizeOfOptionalHeader;
    }

    // File offset of a relative virtual address, or 0.
    std::size_t Offset(DWORD rva) const {
        for (WORD i = 0; i < nt_.FileHeader.NumberOfSections; ++i) {
            IMAGE_SECTION_HEADER section{};
            const std::size_t at = sections_ + i * sizeof section;
            if (at + sizeof section > bytes_.size()) return 0;
            std::memcpy(&section, bytes_.data() + at, sizeof section);
            if (rva >= section.VirtualAddress && rva < section.VirtualAddress + section.Misc.VirtualSize) {
                return section.PointerToRawData + (rva - section.VirtualAddress);
            }
        }
        return 0;
    }

    std::vector<std::string> ImportedDlls() const {
        std::vector<std::string> names;
        const auto& directory = nt_.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        std::size_t at = Offset(directory.VirtualAddress);
        for (; at != 0 && at + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= bytes_.size();
             at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
            IMAGE_IMPORT_DESCRIPTOR entry{};
            std::memcpy(&entry, bytes_.data() + at, sizeof entry);
            if (entry.Name == 0) break;
            const std::size_t name = Offset(entry.Name);
            if (name == 0) break;
            std::string dll(bytes_.data() + name);
            std::transform(dll.begin(), dll.end(), dll.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            names.push_back(dll);
        }
        return names;
    }

    std::vector<char> bytes_;
    IMAGE_NT_HEADERS64 nt_{};
    std::size_t sections_ = 0;
};

TEST_F(Image, SixtyFourBitGuiProgram) {
    EXPECT_EQ(nt_.FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
    EXPECT_EQ(nt_.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
    EXPECT_EQ(nt_.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

TEST_F(Image, NeedsOnlyTheSystemsDlls) {
    const std::vector<std::string> system = {"kernel32.dll", "user32.dll", "gdi32.dll",
                                             "msvcrt.dll",   "advapi32.dll", "comctl32.dll",
                                             "shell32.dll", "ucrtbase.dll", "ole32.dll"};
    const std::vector<std::string> dlls = ImportedDlls();
    ASSERT_FALSE(dlls.empty());
    for (const std::string& dll : dlls) {
        const bool known = std::find(system.begin(), system.end(), dll) != system.end() ||
                           dll.rfind("api-ms-win-", 0) == 0;
        EXPECT_TRUE(known) << dll << " is not a system DLL";
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <tallowind.exe>\n", argv[0]);
        return 2;
    }
    g_exe = tw::win32::Widen(argv[1]);
    return RUN_ALL_TESTS();
}
