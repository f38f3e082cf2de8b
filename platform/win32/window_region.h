// Window regions at the display scale, shared by the window system and the
// adapter's own window, and the handle as Win32 has it. Internal to the
// adapter.
#pragma once

#include "platform/portable/pixel_scale.h"
#include "platform/portable/region.h"
#include "platform/ports/window_system.h"

// After our headers: <windows.h> defines WM_NCLBUTTONDOWN and HTCAPTION as
// macros, which would rewrite the declarations in window_system.h.
#include <windows.h>

namespace tw::win32 {

// The window's visible and clickable area becomes the outline, given in
// picture pixels and mapped at the scale; null gives back the full
// rectangle. The system owns what it gets.
void ApplyWindowRegion(HWND window, const Region* outline, PixelScale scale, bool redraw);

inline HWND ToHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }

// The display scale a window is shown at: its monitor's dpi / 96.
PixelScale ScaleOf(HWND window);

}  // namespace tw::win32
