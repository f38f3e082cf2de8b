// Window-region services: giving a window its outline, and the window
// system's own interactive move. Regions come from the one region engine in
// region.h; an adapter only hands the finished region over.
#pragma once

#include <cstdint>

#include "platform/portable/region.h"

namespace tw {

// Names a top-level window; 0 is no window.
using WindowHandle = std::intptr_t;

inline constexpr std::uint32_t WM_NCLBUTTONDOWN = 0xA1;
inline constexpr std::uintptr_t HTCAPTION = 2;

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // The window's visible and clickable area becomes the region; a null
    // region gives back the full rectangle. The window owns the region now.
    virtual void SetWindowRgn(WindowHandle window, RegionHandle region, bool redraw) = 0;

    virtual void ReleaseCapture() = 0;

    // Only WM_NCLBUTTONDOWN with HTCAPTION means anything here: the window
    // system's own move of the window, which returns once it is under way or
    // over. It starts only while the left button is down.
    virtual std::intptr_t SendMessageA(WindowHandle window, std::uint32_t message,
                                       std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

}  // namespace tw
