// Helpers shared by the Win32 adapter's translation units: text conversion
// between the core's UTF-8 and the W APIs' UTF-16, and the one mapping from
// Win32 error codes to the runtime's classic error numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw::win32 {

// Nullopt when the text is not valid UTF-8.
std::optional<std::wstring> TryWiden(std::string_view utf8);
// Invalid UTF-8 becomes U+FFFD; for text shown to the user, not for names.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// GetLastError() code -> classic number (53, 76, 70, 52, 61, 57, else 75).
std::int32_t ClassicNumberFromWin32Error(std::uint32_t code) noexcept;

}  // namespace tw::win32
