#include "platform/qt/x11/position_keeper.h"

#include <QGuiApplication>
#include <QTimer>

#include <cstring>
#include <optional>

#include "platform/qt/x11/xcb.h"

namespace tw::qt::x11 {

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
    Hear(connection_, frame_, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
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
    const std::optional<QPoint> where = OriginOnScreen(connection_, ours);
    const auto geometry = OwnReply(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, ours), nullptr));
    if (!where || !geometry) return;

    xcb_configure_notify_event_t notify{};
    notify.response_type = XCB_CONFIGURE_NOTIFY;
    notify.event = ours;
    notify.window = ours;
    notify.above_sibling = XCB_NONE;
    notify.x = static_cast<std::int16_t>(where->x());
    notify.y = static_cast<std::int16_t>(where->y());
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
