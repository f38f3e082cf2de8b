#include "platform/win32/win32_text.h"

#include <climits>

#include "platform/portable/errors.h"

#include <windows.h>

namespace tw::win32 {

namespace {

std::optional<std::wstring> Convert(std::string_view utf8, DWORD flags) {
    if (utf8.empty()) return std::wstring{};
    if (utf8.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
    const int inLength = static_cast<int>(utf8.size());
    const int needed = ::MultiByteToWideChar(CP_UTF8, flags, utf8.data(), inLength, nullptr, 0);
    if (needed <= 0) return std::nullopt;
    std::wstring out(static_cast<std::size_t>(needed), L'\0');
    if (::MultiByteToWideChar(CP_UTF8, flags, utf8.data(), inLength, out.data(), needed) != needed) {
        return std::nullopt;
    }
    return out;
}

}  // namespace

std::optional<std::wstring> TryWiden(std::string_view utf8) {
    return Convert(utf8, MB_ERR_INVALID_CHARS);
}

std::wstring Widen(std::string_view utf8) {
    return Convert(utf8, 0).value_or(std::wstring{});
}

std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty() || utf16.size() > static_cast<std::size_t>(INT_MAX)) return {};
    const int inLength = static_cast<int>(utf16.size());
    const int needed =
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), inLength, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string out(static_cast<std::size_t>(needed), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), inLength, out.data(), needed, nullptr, nullptr);
    return out;
}

std::int32_t ClassicNumberFromWin32Error(std::uint32_t code) noexcept {
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
        return err::kFileNotFound;
    case ERROR_PATH_NOT_FOUND:
        return err::kPathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return err::kPermissionDenied;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return err::kBadFileNameOrNumber;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return err::kDiskFull;
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
    case ERROR_GEN_FAILURE:
        return err::kDeviceIoError;
    default:
        return err::kPathFileAccessError;
    }
}

}  // namespace tw::win32
