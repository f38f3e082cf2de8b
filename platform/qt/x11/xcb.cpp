#include "platform/qt/x11/xcb.h"

#include <QGuiApplication>

namespace tw::qt::x11 {

xcb_connection_t* Connection() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

void Quietly(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
    std::free(xcb_request_check(connection, cookie));
}

xcb_window_t RootOf(xcb_connection_t* connection) {
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

xcb_atom_t Intern(xcb_connection_t* connection, std::string_view name) {
    const auto reply = OwnReply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::vector<std::uint32_t> Property(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                                    xcb_atom_t type) {
    xcb_generic_error_t* error = nullptr;
    const auto reply = OwnReply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, 4096), &error));
    std::free(error);
    if (!reply || reply->format != 32) return {};
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return std::vector<std::uint32_t>(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

void Hear(xcb_connection_t* connection, xcb_window_t window, std::uint32_t events) {
    const auto attributes = OwnReply(xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), nullptr));
    if (!attributes) return;
    const std::uint32_t mask = attributes->your_event_mask | events;
    Quietly(connection, xcb_change_window_attributes_checked(connection, window, XCB_CW_EVENT_MASK, &mask));
}

std::optional<Pointer> PointerAtServer(xcb_connection_t* connection) {
    const auto pointer = OwnReply(
        xcb_query_pointer_reply(connection, xcb_query_pointer(connection, RootOf(connection)), nullptr));
    if (!pointer) return std::nullopt;
    return Pointer{QPoint(pointer->root_x, pointer->root_y), (pointer->mask & XCB_KEY_BUT_MASK_BUTTON_1) != 0};
}

void SetAtoms(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
              const std::vector<std::uint32_t>& atoms) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(atoms.size()), atoms.data());
}

std::optional<QPoint> OriginOnScreen(xcb_connection_t* connection, xcb_window_t window) {
    const auto where = OwnReply(xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, window, RootOf(connection), 0, 0), nullptr));
    if (!where) return std::nullopt;
    return QPoint(where->dst_x, where->dst_y);
}

std::uint16_t BorderWidth(xcb_connection_t* connection, xcb_window_t window) {
    const auto geometry = OwnReply(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    return geometry ? geometry->border_width : 0;
}

std::optional<QSize> SizeAtServer(xcb_connection_t* connection, xcb_window_t window) {
    const auto geometry = OwnReply(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    if (!geometry) return std::nullopt;
    return QSize(geometry->width, geometry->height);
}

bool Viewable(xcb_connection_t* connection, xcb_window_t window) {
    const auto attributes = OwnReply(xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

xcb_window_t TopLevelOf(xcb_connection_t* connection, xcb_window_t window) {
    for (;;) {
        const auto tree = OwnReply(xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
        if (!tree || tree->parent == XCB_NONE || tree->parent == tree->root) return window;
        window = tree->parent;
    }
}

std::optional<QSize> ScreenSize() {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr) return std::nullopt;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    return QSize(screen->width_in_pixels, screen->height_in_pixels);
}

}  // namespace tw::qt::x11
