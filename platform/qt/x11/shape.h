// The window's shape on X11, in device pixels. Qt's own mask is in logical
// pixels and rounds each rectangle on its own, which leaves seams between
// rectangles at fractional scales.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>

#include "platform/portable/region.h"

namespace tw::qt::x11 {

// The window's bounding shape: exactly the region (cut to the window's
// device size), or no shape at all for a null region. A no-op off X11.
void SetShape(xcb_window_t window, const Region* deviceRegion, std::int32_t width, std::int32_t height);

}  // namespace tw::qt::x11
