#include "platform/qt/x11/frame_shape.h"

#include <QGuiApplication>

#include <xcb/shape.h>

#include <vector>

#include "platform/qt/x11/shape.h"
#include "platform/qt/x11/xcb.h"

namespace tw::qt::x11 {

FrameShapeStep NextFrameShapeStep(const FrameShapeSeen& seen, const std::optional<Region>& wanted) {
    if (!seen.framed) return FrameShapeStep::Leave;  // the window's own shape is what shows
    if (!seen.touched) {
        if (seen.now) return FrameShapeStep::GiveUp;  // shaped by its manager
        return wanted ? FrameShapeStep::Shape : FrameShapeStep::Leave;
    }
    if (seen.now != seen.set) return FrameShapeStep::GiveUp;  // its manager changed our shape
    return wanted != seen.set ? FrameShapeStep::Shape : FrameShapeStep::Leave;
}

namespace {

Region Moved(const Region& region, std::int32_t dx, std::int32_t dy) {
    std::vector<Rect> moved;
    for (const Rect& r : region.Rects()) moved.push_back(Rect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy});
    return Region::FromRects(moved);
}

}  // namespace

FrameShapeKeeper::FrameShapeKeeper(QWidget& window) : window_(window), connection_(Connection()) {
    if (connection_ == nullptr) return;
    const xcb_query_extension_reply_t* shape = xcb_get_extension_data(connection_, &xcb_shape_id);
    if (shape != nullptr && shape->present) shapeNotify_ = shape->first_event + XCB_SHAPE_NOTIFY;
    qGuiApp->installNativeEventFilter(this);
}

FrameShapeKeeper::~FrameShapeKeeper() {
    if (connection_ != nullptr && qGuiApp != nullptr) qGuiApp->removeNativeEventFilter(this);
}

void FrameShapeKeeper::SetOutline(const Region* deviceOutline, std::int32_t width, std::int32_t height) {
    if (deviceOutline != nullptr)
        outline_ = ClippedToWindow(*deviceOutline, width, height);
    else
        outline_.reset();
    Follow();
}

bool FrameShapeKeeper::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const auto ours = static_cast<xcb_window_t>(window_.winId());
    const std::uint8_t type = event->response_type & 0x7F;
    if (type == XCB_MAP_NOTIFY) {
        const xcb_window_t window = reinterpret_cast<const xcb_map_notify_event_t*>(event)->window;
        if (window == ours || window == frame_) Follow();
    } else if (type == XCB_CONFIGURE_NOTIFY && (event->response_type & 0x80) == 0) {
        // The window's place in its frame, or the frame's size, may be new.
        const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        const QSize size(configure->width, configure->height);
        if (configure->window == ours || (configure->window == frame_ && size != frameSize_)) Follow();
    } else if (shapeNotify_ != 0 && type == shapeNotify_) {
        const auto* shape = reinterpret_cast<const xcb_shape_notify_event_t*>(event);
        if (shape->affected_window == frame_ && shape->shape_kind == XCB_SHAPE_SK_BOUNDING) Follow();
    }
    return false;
}

void FrameShapeKeeper::Follow() {
    if (shapeNotify_ == 0) return;
    const auto ours = static_cast<xcb_window_t>(window_.winId());
    const xcb_window_t frame = TopLevelOf(connection_, ours);
    if (frame != frame_) {
        frame_ = frame;
        frameSize_ = QSize();
        if (frame_ != ours) {
            Hear(connection_, frame_, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
            xcb_shape_select_input(connection_, frame_, 1);
        }
    }
    if (frame_ == ours || frame_ == leftFrame_) return;
    // A manager maps its frame once it has made it, shape and all.
    if (!Viewable(connection_, ours)) return;
    const auto geometry =
        OwnReply(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, frame_), nullptr));
    const auto at = OwnReply(xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, ours, frame_, 0, 0), nullptr));
    if (!geometry || !at) return;  // the frame went away: a reparenting follows
    frameSize_ = QSize(geometry->width, geometry->height);
    // A manager may take the window out of its frame and put it back
    // (herbstluftwm, when its decoration is turned off and on again).
    const bool touched = frame_ == shapedFrame_;
    const FrameShapeSeen seen{true, touched, touched ? set_ : std::nullopt, BoundingShapeOf(connection_, frame_)};
    std::optional<Region> wanted;
    if (outline_) wanted = ClippedToWindow(Moved(*outline_, at->dst_x, at->dst_y), geometry->width, geometry->height);
    switch (NextFrameShapeStep(seen, wanted)) {
    case FrameShapeStep::Leave:
        return;
    case FrameShapeStep::GiveUp:
        leftFrame_ = frame_;
        return;
    case FrameShapeStep::Shape:
        SetBoundingShape(connection_, frame_, wanted ? &*wanted : nullptr, 0, 0);
        xcb_flush(connection_);
        shapedFrame_ = frame_;
        set_ = wanted;
        return;
    }
}

}  // namespace tw::qt::x11
