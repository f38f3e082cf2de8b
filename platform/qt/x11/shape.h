// The window's shape on X11, in device pixels. Qt's own mask is in logical
// pixels and rounds each rectangle on its own, which leaves seams between
// rectangles at fractional scales.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>

#include "platform/portable/region.h"

namespace tw::qt::x11 {

// The window's bounding shape: exactly the region (cut to the window's
// device size), or no shape at all for a null region. A no-op off X11.
void SetShape(xcb_window_t window, const Region* deviceRegion, std::int32_t width, std::int32_t height);

// The region cut to a window of that size; the protocol's rectangles are
// 16-bit, and nothing outside the window shows anyway.
Region ClippedToWindow(const Region& region, std::int32_t width, std::int32_t height);

// Any window's bounding shape: the region moved by (x, y), or none for a
// null region. The window may be gone by now.
void SetBoundingShape(xcb_connection_t* connection, xcb_window_t window, const Region* region, std::int16_t x,
                      std::int16_t y);

// A window's bounding shape as the server has it; none for an unshaped
// window (or one that is gone).
std::optional<Region> BoundingShapeOf(xcb_connection_t* connection, xcb_window_t window);

}  // namespace tw::qt::x11
