// What the small Windows programs the end-to-end test runs under Wine share.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tw::wine_tools {

// Unaware of the display scale, a process gets every rectangle of another
// divided by it under Wine 10, while the test works in device pixels. The
// call is looked up: Windows before 10 1703 has none.
inline void BecomeDpiAware() {
    using SetContextFn = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    const auto setContext = reinterpret_cast<SetContextFn>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (setContext != nullptr) setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}

// The window's own region (GetWindowRgn) as a JSON list of [left, top,
// right, bottom] in window coordinates, or null when it has none.
inline std::string RegionJson(HWND window) {
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    std::string out = "null";
    if (::GetWindowRgn(window, region) != ERROR) {
        std::vector<unsigned char> bytes(::GetRegionData(region, 0, nullptr));
        auto* data = reinterpret_cast<RGNDATA*>(bytes.data());
        if (!bytes.empty() && ::GetRegionData(region, static_cast<DWORD>(bytes.size()), data)) {
            const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
            out = "[";
            for (DWORD i = 0; i < data->rdh.nCount; ++i) {
                char item[80];
                std::snprintf(item, sizeof item, "%s[%ld, %ld, %ld, %ld]", i ? ", " : "", rects[i].left,
                              rects[i].top, rects[i].right, rects[i].bottom);
                out += item;
            }
            out += "]";
        }
    }
    ::DeleteObject(region);
    return out;
}

}  // namespace tw::wine_tools
