#include "platform/qt/x11/shadow_keeper.h"

#include <QGuiApplication>

#include <xcb/shape.h>

#include "platform/qt/x11/xcb.h"

namespace tw::qt::x11 {

bool AsksFrameForNoShadow(xcb_window_t window, xcb_window_t topLevel, bool topLevelHasOne) {
    return topLevel != window && !topLevelHasOne;
}

OpacityRetelling RetellingOf(const std::vector<std::uint32_t>& current) {
    if (!current.empty()) return {current.front(), false};
    return {0xFFFFFFFF, true};
}

ShadowKeeper::ShadowKeeper(QWidget& window) : window_(window), connection_(Connection()) {
    if (connection_ != nullptr) qGuiApp->installNativeEventFilter(this);
}

ShadowKeeper::~ShadowKeeper() {
    if (connection_ != nullptr && qGuiApp != nullptr) qGuiApp->removeNativeEventFilter(this);
}

void ShadowKeeper::ShapeChanged() {
    if (mapped_) RetellOpacity();
}

bool ShadowKeeper::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const auto ours = static_cast<xcb_window_t>(window_.winId());
    switch (event->response_type & 0x7F) {
    case XCB_UNMAP_NOTIFY:
        if (reinterpret_cast<const xcb_unmap_notify_event_t*>(event)->window == ours) mapped_ = false;
        break;
    case XCB_MAP_NOTIFY: {
        if (reinterpret_cast<const xcb_map_notify_event_t*>(event)->window != ours) break;
        mapped_ = true;
        const xcb_window_t top = TopLevelOf(connection_, ours);
        const xcb_atom_t shadow = Intern(connection_, "_COMPTON_SHADOW");
        if (AsksFrameForNoShadow(ours, top, !Property(connection_, top, shadow, XCB_ATOM_CARDINAL).empty())) {
            const std::uint32_t none = 0;
            Quietly(connection_, xcb_change_property_checked(connection_, XCB_PROP_MODE_REPLACE, top, shadow,
                                                             XCB_ATOM_CARDINAL, 32, 1, &none));
        }
        // Moving the shape by nothing tells it again to whoever listens by
        // now; an unshaped window has none to tell.
        xcb_shape_offset(connection_, XCB_SHAPE_SK_BOUNDING, ours, 0, 0);
        RetellOpacity();
        break;
    }
    default:
        break;
    }
    return false;
}

void ShadowKeeper::RetellOpacity() {
    const auto ours = static_cast<xcb_window_t>(window_.winId());
    const xcb_atom_t opacity = Intern(connection_, "_NET_WM_WINDOW_OPACITY");
    const OpacityRetelling retelling = RetellingOf(Property(connection_, ours, opacity, XCB_ATOM_CARDINAL));
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, ours, opacity, XCB_ATOM_CARDINAL, 32, 1,
                        &retelling.value);
    if (retelling.thenDelete) xcb_delete_property(connection_, ours, opacity);
    xcb_flush(connection_);
}

}  // namespace tw::qt::x11
