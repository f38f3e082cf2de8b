#include "platform/qt/x11/shape.h"

#include <xcb/shape.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "platform/qt/x11/xcb.h"

namespace tw::qt::x11 {

void SetShape(xcb_window_t window, const Region* deviceRegion, std::int32_t width, std::int32_t height) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || window == XCB_NONE) return;
    if (deviceRegion == nullptr) {
        xcb_shape_mask(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, window, 0, 0, XCB_NONE);
        xcb_flush(connection);
        return;
    }
    // The protocol's rectangles are 16-bit; nothing outside the window shows anyway.
    const std::int32_t limit = std::numeric_limits<std::int16_t>::max();
    const std::int32_t right = std::min(width, limit);
    const std::int32_t bottom = std::min(height, limit);
    std::vector<Rect> clipped;
    for (const Rect& r : deviceRegion->Rects()) {
        clipped.push_back(Rect{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, right),
                               std::min(r.bottom, bottom)});
    }
    const Region inside = Region::FromRects(clipped);
    std::vector<xcb_rectangle_t> rects;
    rects.reserve(inside.Rects().size());
    for (const Rect& r : inside.Rects()) {
        rects.push_back(xcb_rectangle_t{static_cast<std::int16_t>(r.left), static_cast<std::int16_t>(r.top),
                                        static_cast<std::uint16_t>(r.right - r.left),
                                        static_cast<std::uint16_t>(r.bottom - r.top)});
    }
    // No rectangles at all is the empty shape: nothing shows, nothing takes clicks.
    xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_YX_BANDED,
                         window, 0, 0, static_cast<std::uint32_t>(rects.size()), rects.data());
    xcb_flush(connection);
}

}  // namespace tw::qt::x11
