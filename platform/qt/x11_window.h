// X11 services the Qt adapter needs beyond what Qt offers: the window's
// shape in device pixels, and Qt's idea of where the window is kept true.
// Inside platform/qt/ only; every function is a no-op off X11.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QWidget>

#include <xcb/xcb.h>

#include <span>

#include "platform/portable/region.h"

namespace tw::qt::x11 {

// Qt's X11 connection; null on any other platform.
xcb_connection_t* Connection();

// The window's bounding shape, in device pixels: exactly the region (cut to
// the window's device size), or no shape at all for a null region. Qt's own
// mask is in logical pixels and rounds each rectangle on its own, which
// leaves seams between rectangles at fractional scales.
void SetShape(xcb_window_t window, const Region* deviceRegion, std::int32_t width, std::int32_t height);

// Keeps Qt's idea of a top-level window's position the server's. When a
// window manager reparents the window, Qt asks where it is while the frame
// may still be on its way; a manager that then places the frame where the
// window asked to be sends no word of it, and Qt goes on believing the old
// position: dialogs centred over the window open elsewhere. So the frame is
// watched, and after any change Qt is told the true position with the
// synthetic ConfigureNotify a window manager is meant to send.
class PositionKeeper final : public QAbstractNativeEventFilter {
public:
    explicit PositionKeeper(QWidget& window);
    ~PositionKeeper() override;
    PositionKeeper(const PositionKeeper&) = delete;
    PositionKeeper& operator=(const PositionKeeper&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void WatchFrame();
    void ScheduleSync();
    void Sync();

    QWidget& window_;
    xcb_connection_t* connection_;
    xcb_window_t frame_ = XCB_NONE;
    bool syncPending_ = false;
};

// The window manager's own interactive move (_NET_WM_MOVERESIZE) is used
// only when a manager runs (the root's _NET_SUPPORTING_WM_CHECK names a
// window that names itself) and lists it in _NET_SUPPORTED. Classic managers
// (twm) and a bare X server have none: a request nobody answers would leave
// the window where it is, and the pointer without its grab.
bool OffersInteractiveMove(xcb_window_t rootCheck, xcb_window_t checkOfCheckWindow,
                           std::span<const xcb_atom_t> supported, xcb_atom_t moveResize);

// Whether the running window manager offers that move: read at the first
// call and again whenever the window manager changes, not on every press.
bool WindowManagerOffersMove();

// Whether a window manager that speaks the extended hints runs (it names
// itself on the root window). Classic managers (twm) do not.
bool ExtendedWindowManagerRuns();

// Hands the window to the window manager's move, which follows the pointer
// until the left button comes up; returns at once.
void StartWindowManagerMove(xcb_window_t window);

// Moves the window with the pointer ourselves, for as long as the left
// button stays down: by the pointer's motion on the screen as the server
// reports it, from where both were at the press. The implicit grab of the
// press keeps the motion coming to the window. Returns at once; the move
// ends when the button comes up, when a motion comes without it (the grab
// went elsewhere), or when the window loses focus.
void StartOwnMove(QWidget& window);

}  // namespace tw::qt::x11
