// Moving the window with the pointer on X11: the window manager's own move
// where a running manager offers it, else the gadget follows the pointer
// itself; and the watch on the window manager that decides between them.
#pragma once

#include <QWidget>

#include <xcb/xcb.h>

#include <span>

namespace tw::qt::x11 {

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

// Whether the pointer, from the press at `from` to `to`, has gone the drag
// distance: a click has not, nor a touchpad tap whose pointer shook.
bool PastDragDistance(QPoint from, QPoint to, int distance);

// Hands the window to the window manager's move, which follows the pointer
// until the left button comes up, once the pointer has gone the drag
// distance from the press with the button still down at the server; cancels
// it if the release reaches the window after all. Returns at once.
void StartWindowManagerMove(QWidget& window);

// Moves the window with the pointer ourselves, for as long as the left
// button stays down: by the pointer's motion on the screen as the server
// reports it, from where both were at the press. The implicit grab of the
// press keeps the motion coming to the window. Returns at once; the move
// ends when the button comes up, when a motion comes without it (the grab
// went elsewhere), or when the window loses focus.
void StartOwnMove(QWidget& window);

}  // namespace tw::qt::x11
