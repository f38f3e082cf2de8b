// Window-region services over user32/gdi32. The region engine already holds
// the rectangles in the form GDI keeps, so the RGNDATA bytes go straight to
// ExtCreateRegion. Regions arrive in picture pixels: the program's own
// window maps them itself (Win32Form::SetOutline); any other window gets
// them mapped at its monitor's scale.
// Our headers come before <windows.h>: it defines WM_NCLBUTTONDOWN and
// HTCAPTION as macros, which would rewrite the declarations in ours.
#include "platform/portable/errors.h"
#include "platform/ports/adapter_hooks.h"
#include "platform/win32/window_region.h"
#include "platform/win32/gdi_handles.h"

namespace tw {

namespace win32 {

void ApplyWindowRegion(HWND window, const Region* outline, PixelScale scale, bool redraw) {
    if (outline == nullptr) {
        ::SetWindowRgn(window, nullptr, redraw ? TRUE : FALSE);
        return;
    }
    const std::vector<std::uint8_t> bytes = EncodeRegionData(ScaleRegion(*outline, scale));
    UniqueRegion region(::ExtCreateRegion(nullptr, static_cast<DWORD>(bytes.size()),
                                          reinterpret_cast<const RGNDATA*>(bytes.data())));
    if (!region) throw ClassicError(err::kOutOfMemory);
    // On success the system owns the region and frees it with the window.
    if (::SetWindowRgn(window, region.Get(), redraw ? TRUE : FALSE)) (void)region.Release();
}

PixelScale ScaleOf(HWND window) {
    // Windows 10 1607 and later; before that the whole desktop has one dpi.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr && window != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) return PixelScale::FromDpi(static_cast<int>(dpi));
    }
    const WindowDc screen(nullptr);
    return PixelScale::FromDpi(screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSX) : kLayoutDpi);
}

}  // namespace win32

namespace {

class Win32WindowSystem final : public AdapterWindowSystem {
public:
    void ReleaseCapture() override { ::ReleaseCapture(); }

    std::intptr_t SendMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                               std::intptr_t lParam) override {
        // With the left button already up, the system's move loop would
        // follow the pointer until some later click.
        if (message == WM_NCLBUTTONDOWN && wParam == HTCAPTION && ::GetKeyState(VK_LBUTTON) >= 0) {
            return 0;
        }
        return ::SendMessageA(win32::ToHwnd(window), message, wParam, lParam);
    }

protected:
    void SetForeignWindowRgn(WindowHandle window, RegionHandle region, bool redraw) override {
        const HWND hwnd = win32::ToHwnd(window);
        win32::ApplyWindowRegion(hwnd, region.get(), win32::ScaleOf(hwnd), redraw);
    }
};

}  // namespace

AdapterWindowSystem& DesktopWindowSystem() {
    static Win32WindowSystem system;
    return system;
}

}  // namespace tw
