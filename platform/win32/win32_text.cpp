#include "platform/win32/win32_text.h"

#include <climits>
#include <utility>

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
    static constexpr std::pair<std::uint32_t, std::int32_t> kNumbers[] = {
        {ERROR_FILE_NOT_FOUND, err::kFileNotFound}, {ERROR_PATH_NOT_FOUND, err::kPathNotFound},
        {ERROR_ACCESS_DENIED, err::kPermissionDenied}, {ERROR_SHARING_VIOLATION, err::kPermissionDenied},
        {ERROR_LOCK_VIOLATION, err::kPermissionDenied}, {ERROR_WRITE_PROTECT, err::kPermissionDenied},
        {ERROR_INVALID_NAME, err::kBadFileNameOrNumber}, {ERROR_BAD_PATHNAME, err::kBadFileNameOrNumber},
        {ERROR_FILENAME_EXCED_RANGE, err::kBadFileNameOrNumber}, {ERROR_DISK_FULL, err::kDiskFull},
        {ERROR_HANDLE_DISK_FULL, err::kDiskFull}, {ERROR_CRC, err::kDeviceIoError},
        {ERROR_IO_DEVICE, err::kDeviceIoError}, {ERROR_GEN_FAILURE, err::kDeviceIoError}};
    for (const auto& [error, number] : kNumbers) {
        if (error == code) return number;
    }
    return err::kPathFileAccessError;
}

}  // namespace tw::win32
