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
        SetBoundingShape(connection, window, nullptr, 0, 0);
    } else {
        const Region inside = ClippedToWindow(*deviceRegion, width, height);
        SetBoundingShape(connection, window, &inside, 0, 0);
    }
    xcb_flush(connection);
}

Region ClippedToWindow(const Region& region, std::int32_t width, std::int32_t height) {
    const std::int32_t limit = std::numeric_limits<std::int16_t>::max();
    const std::int32_t right = std::min(width, limit);
    const std::int32_t bottom = std::min(height, limit);
    std::vector<Rect> clipped;
    for (const Rect& r : region.Rects()) {
        clipped.push_back(Rect{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, right),
                               std::min(r.bottom, bottom)});
    }
    return Region::FromRects(clipped);
}

void SetBoundingShape(xcb_connection_t* connection, xcb_window_t window, const Region* region, std::int16_t x,
                      std::int16_t y) {
    if (region == nullptr) {
        Quietly(connection, xcb_shape_mask_checked(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, window, 0,
                                                   0, XCB_NONE));
        return;
    }
    std::vector<xcb_rectangle_t> rects;
    rects.reserve(region->Rects().size());
    for (const Rect& r : region->Rects()) {
        rects.push_back(xcb_rectangle_t{static_cast<std::int16_t>(r.left), static_cast<std::int16_t>(r.top),
                                        static_cast<std::uint16_t>(r.right - r.left),
                                        static_cast<std::uint16_t>(r.bottom - r.top)});
    }
    // No rectangles at all is the empty shape: nothing shows, nothing takes clicks.
    Quietly(connection, xcb_shape_rectangles_checked(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING,
                                                     XCB_CLIP_ORDERING_YX_BANDED, window, x, y,
                                                     static_cast<std::uint32_t>(rects.size()), rects.data()));
}

std::optional<Region> BoundingShapeOf(xcb_connection_t* connection, xcb_window_t window) {
    const auto extents = OwnReply(xcb_shape_query_extents_reply(
        connection, xcb_shape_query_extents(connection, window), nullptr));
    if (!extents || !extents->bounding_shaped) return std::nullopt;
    const auto reply = OwnReply(xcb_shape_get_rectangles_reply(
        connection, xcb_shape_get_rectangles(connection, window, XCB_SHAPE_SK_BOUNDING), nullptr));
    if (!reply) return std::nullopt;
    const xcb_rectangle_t* rects = xcb_shape_get_rectangles_rectangles(reply.get());
    std::vector<Rect> found;
    for (int i = 0; i < xcb_shape_get_rectangles_rectangles_length(reply.get()); ++i) {
        const xcb_rectangle_t& r = rects[i];
        found.push_back(Rect{r.x, r.y, r.x + r.width, r.y + r.height});
    }
    return Region::FromRects(found);
}

}  // namespace tw::qt::x11
