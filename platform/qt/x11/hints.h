// What the window tells the X11 window manager before it maps (no taskbar
// entry, no shadow), and its placement to the device pixel.
#pragma once

#include <QPoint>
#include <QSize>

#include <functional>
#include <QWidget>

#include <xcb/xcb.h>

namespace tw::qt::x11 {

// Asks window managers and the task lists built on the extended hints
// (libwnck's in XFCE and MATE, panels under openbox) to list the window in no
// taskbar or pager: openbox and KWin do not infer it from the window's type.
// Before the window maps; Qt keeps what it finds there.
void SkipTaskbarAndPager(xcb_window_t window);

// mutter and gnome-shell draw a shadow under an opaque window without a frame
// unless it says it draws its own frame (_GTK_FRAME_EXTENTS), and the shadow
// of a shaped window shows through its cut-out. Extents of zero say so
// without changing the window's geometry anywhere. picom draws one unless
// the outermost window says _COMPTON_SHADOW 0: this one, while no manager
// frames it (the frame is asked once there is one, see shadow_keeper.h).
void AskNoShadow(xcb_window_t window);

// Puts the window's visible top-left corner (inside any border) at a point
// in device pixels, which Qt's logical positions do not always reach (an odd
// pixel at 200 %). Asked before the window maps, the position is asked for
// again once it maps, where a manager gave the window a border by then, and
// the size laid out (in device pixels, at the window's scale of the moment)
// once more where a manager then gives it another.
void MoveTo(QWidget& window, QPoint device, std::function<QSize()> laidOut);

}  // namespace tw::qt::x11
