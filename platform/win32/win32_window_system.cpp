// Window-region services over user32/gdi32. The region engine already holds
// the rectangles in the form GDI keeps, so the RGNDATA bytes go straight to
// ExtCreateRegion.
// Our headers come before <windows.h>: it defines WM_NCLBUTTONDOWN and
// HTCAPTION as macros, which would rewrite the declarations in ours.
#include "platform/errors.h"
#include "platform/window_system.h"

#include <windows.h>

namespace tw {

namespace {

HWND ToHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }

class Win32WindowSystem final : public WindowSystem {
public:
    void SetWindowRgn(WindowHandle window, RegionHandle region, bool redraw) override {
        if (!region) {
            ::SetWindowRgn(ToHwnd(window), nullptr, redraw ? TRUE : FALSE);
            return;
        }
        const std::vector<std::uint8_t> bytes = EncodeRegionData(*region);
        HRGN hrgn = ::ExtCreateRegion(nullptr, static_cast<DWORD>(bytes.size()),
                                      reinterpret_cast<const RGNDATA*>(bytes.data()));
        if (hrgn == nullptr) throw ClassicError(err::kOutOfMemory);
        // On success the system owns the region and frees it with the window.
        if (!::SetWindowRgn(ToHwnd(window), hrgn, redraw ? TRUE : FALSE)) ::DeleteObject(hrgn);
    }

    void ReleaseCapture() override { ::ReleaseCapture(); }

    std::intptr_t SendMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                               std::intptr_t lParam) override {
        // With the left button already up, the system's move loop would
        // follow the pointer until some later click.
        if (message == WM_NCLBUTTONDOWN && wParam == HTCAPTION &&
            ::GetKeyState(VK_LBUTTON) >= 0) {
            return 0;
        }
        return ::SendMessageA(ToHwnd(window), message, wParam, lParam);
    }
};

}  // namespace

WindowSystem& DesktopWindowSystem() {
    static Win32WindowSystem system;
    return system;
}

}  // namespace tw
