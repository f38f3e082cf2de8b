// Lists the visible top-level windows of the Wine session it runs in, with
// their child controls' classes and texts and the window's own region
// (GetWindowRgn, null when it has none), as JSON: what an end-to-end test
// reads instead of an accessibility tree, which Wine does not offer.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/win32_text.h"
#include "tests/win32/wine_tool_support.h"

namespace {

std::string Json(const std::string& text) {
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// WM_GETTEXT crosses into the owning process, so other programs' controls
// answer too.
std::string Text(HWND window) {
    wchar_t buffer[4096] = {};
    ::SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                          2000, nullptr);
    return tw::win32::Narrow(buffer);
}

std::string ClassOf(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return tw::win32::Narrow(name);
}

std::string Describe(HWND window, HWND relativeTo) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    if (relativeTo) ::MapWindowPoints(nullptr, relativeTo, reinterpret_cast<POINT*>(&rect), 2);
    char box[96];
    std::snprintf(box, sizeof box, "[%ld, %ld, %ld, %ld]", rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top);
    return "\"class\": " + Json(ClassOf(window)) + ", \"text\": " + Json(Text(window)) +
           ", \"rect\": " + box;
}

BOOL CALLBACK AddChild(HWND child, LPARAM list) {
    if (::IsWindowVisible(child)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

BOOL CALLBACK PrintTopLevel(HWND window, LPARAM) {
    if (!::IsWindowVisible(window)) return TRUE;
    std::vector<HWND> children;
    ::EnumChildWindows(window, AddChild, reinterpret_cast<LPARAM>(&children));
    // Appended piece by piece: "literal" + std::string&& trips GCC 12's
    // -Wrestrict false positive (GCC bug 105651) in optimised builds.
    std::string line = "{";
    line += Describe(window, nullptr);
    line += ", \"region\": ";
    line += tw::wine_tools::RegionJson(window);
    line += ", \"children\": [";
    for (std::size_t i = 0; i < children.size(); ++i) {
        line += i ? ", {" : "{";
        line += Describe(children[i], window);
        line += "}";
    }
    std::printf("%s]}\n", line.c_str());
    return TRUE;
}

}  // namespace

int main() {
    tw::wine_tools::BecomeDpiAware();
    ::EnumWindows(PrintTopLevel, 0);
    return 0;
}
