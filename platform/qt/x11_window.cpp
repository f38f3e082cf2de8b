#include "platform/qt/x11_window.h"

#include <QGuiApplication>
#include <QTimer>

#include <xcb/shape.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace tw::qt::x11 {
namespace {

template <class Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <class Reply>
ReplyPtr<Reply> Adopt(Reply* reply) {
    return ReplyPtr<Reply>(reply, &std::free);
}

// A request whose window may be gone by now: its error is ours to drop, not
// Qt's to print.
void Quietly(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
    std::free(xcb_request_check(connection, cookie));
}

xcb_window_t TopLevelOf(xcb_connection_t* connection, xcb_window_t window) {
    for (;;) {
        const auto tree = Adopt(xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
        if (!tree || tree->parent == XCB_NONE || tree->parent == tree->root) return window;
        window = tree->parent;
    }
}

}  // namespace

xcb_connection_t* Connection() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

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

PositionKeeper::PositionKeeper(QWidget& window) : window_(window), connection_(Connection()) {
    if (connection_ != nullptr) qGuiApp->installNativeEventFilter(this);
}

PositionKeeper::~PositionKeeper() {
    if (connection_ != nullptr && qGuiApp != nullptr) qGuiApp->removeNativeEventFilter(this);
}

bool PositionKeeper::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const bool synthetic = (event->response_type & 0x80) != 0;
    const auto ours = static_cast<xcb_window_t>(window_.winId());
    switch (event->response_type & 0x7F) {
    case XCB_REPARENT_NOTIFY:
        if (reinterpret_cast<const xcb_reparent_notify_event_t*>(event)->window == ours) {
            WatchFrame();
            ScheduleSync();
        }
        break;
    case XCB_MAP_NOTIFY:
        if (reinterpret_cast<const xcb_map_notify_event_t*>(event)->window == ours) ScheduleSync();
        break;
    case XCB_CONFIGURE_NOTIFY: {
        // Synthetic ones carry the true position already (ours among them).
        const xcb_window_t window = reinterpret_cast<const xcb_configure_notify_event_t*>(event)->window;
        if (!synthetic && (window == ours || (window == frame_ && frame_ != ours))) ScheduleSync();
        break;
    }
    default:
        break;
    }
    return false;
}

void PositionKeeper::WatchFrame() {
    const xcb_window_t frame = TopLevelOf(connection_, static_cast<xcb_window_t>(window_.winId()));
    if (frame == frame_) return;
    frame_ = frame;
    if (frame_ == static_cast<xcb_window_t>(window_.winId())) return;  // no window manager's frame
    // Adds to what this connection already hears from the frame rather than replacing it.
    const auto attributes = Adopt(xcb_get_window_attributes_reply(
        connection_, xcb_get_window_attributes(connection_, frame_), nullptr));
    if (!attributes) return;
    const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    Quietly(connection_, xcb_change_window_attributes_checked(connection_, frame_, XCB_CW_EVENT_MASK, &mask));
}

void PositionKeeper::ScheduleSync() {
    if (syncPending_) return;
    syncPending_ = true;
    // After Qt has handled the event at hand, which may set a stale position.
    QTimer::singleShot(0, &window_, [this] {
        syncPending_ = false;
        Sync();
    });
}

void PositionKeeper::Sync() {
    const auto ours = static_cast<xcb_window_t>(window_.winId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    const auto where = Adopt(xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, ours, root, 0, 0), nullptr));
    const auto geometry = Adopt(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, ours), nullptr));
    if (!where || !geometry) return;

    xcb_configure_notify_event_t notify{};
    notify.response_type = XCB_CONFIGURE_NOTIFY;
    notify.event = ours;
    notify.window = ours;
    notify.above_sibling = XCB_NONE;
    notify.x = where->dst_x;
    notify.y = where->dst_y;
    notify.width = geometry->width;
    notify.height = geometry->height;
    notify.border_width = geometry->border_width;
    char wire[32] = {};  // every event on the wire is 32 bytes
    static_assert(sizeof notify <= sizeof wire);
    std::memcpy(wire, &notify, sizeof notify);
    xcb_send_event(connection_, 0, ours, XCB_EVENT_MASK_STRUCTURE_NOTIFY, wire);
    xcb_flush(connection_);
}

}  // namespace tw::qt::x11
