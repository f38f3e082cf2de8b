// The few xcb calls every X11 service here builds on, on Qt's own connection.
// Qt gives no X11 API of its own beyond the connection; these keep the
// replies owned and the errors of windows that went away quiet.
#pragma once

#include <QPoint>
#include <QSize>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace tw::qt::x11 {

// Qt's X11 connection; null on any other platform.
xcb_connection_t* Connection();

template <class Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <class Reply>
ReplyPtr<Reply> OwnReply(Reply* reply) {
    return ReplyPtr<Reply>(reply, &std::free);
}

// A request whose window may be gone by now: its error is ours to drop, not
// Qt's to print.
void Quietly(xcb_connection_t* connection, xcb_void_cookie_t cookie);

xcb_window_t RootOf(xcb_connection_t* connection);
xcb_atom_t Intern(xcb_connection_t* connection, std::string_view name);

// A property's 32-bit values; none when it or its window is missing.
std::vector<std::uint32_t> Property(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                                    xcb_atom_t type);
void SetAtoms(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
              const std::vector<std::uint32_t>& atoms);

// Adds to what this connection already hears from a window rather than
// replacing it (Qt shares the connection).
void Hear(xcb_connection_t* connection, xcb_window_t window, std::uint32_t events);

struct Pointer {
    QPoint at;  // in device pixels, as the server has them: Qt's are logical ones
    bool leftDown;
};
std::optional<Pointer> PointerAtServer(xcb_connection_t* connection);

std::optional<QPoint> OriginOnScreen(xcb_connection_t* connection, xcb_window_t window);
// In device pixels, as the server has it.
std::optional<QSize> SizeAtServer(xcb_connection_t* connection, xcb_window_t window);

// The border X draws around the window (a manager may give it one); none
// when the window is gone.
std::uint16_t BorderWidth(xcb_connection_t* connection, xcb_window_t window);
bool Viewable(xcb_connection_t* connection, xcb_window_t window);

// The child of the root that holds the window: its manager's frame, or itself.
xcb_window_t TopLevelOf(xcb_connection_t* connection, xcb_window_t window);

// The X screen's size, in device pixels.
std::optional<QSize> ScreenSize();

}  // namespace tw::qt::x11
