// Moving the window with the pointer on X11: the window manager's own move
// where a running manager offers it, else the gadget follows the pointer
// itself; and the watch on the window manager that decides between them.
#pragma once

#include <QWidget>

#include <xcb/xcb.h>

#include <functional>
#include <span>

namespace tw::qt::x11 {

// How the window follows the pointer, from what the running window manager
// announces: its own interactive move (_NET_WM_MOVERESIZE) where it lists
// one; else we follow the pointer and ask for each position by EWMH's move
// request (_NET_MOVERESIZE_WINDOW) where it lists that (spectrwm ignores a
// client's ConfigureWindow once it has placed the window); else by
// ConfigureWindow. A manager runs when the root's _NET_SUPPORTING_WM_CHECK
// names a window that names itself; one that died leaves its list behind.
// Classic managers (twm) and a bare X server announce nothing: a request
// nobody answers would leave the window where it is, and the pointer
// without its grab.
enum class MoveBy { kWindowManager, kMoveResizeRequest, kConfigureWindow };
MoveBy ChooseMove(xcb_window_t rootCheck, xcb_window_t checkOfCheckWindow, std::span<const xcb_atom_t> supported,
                  xcb_atom_t moveResize, xcb_atom_t moveResizeWindow);

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
// went elsewhere), or when the window loses focus. With a placement, the
// window's device rectangle for each pointer position is the placement's,
// its size included.
using Placement = std::function<QRect(QPoint pointer)>;
void StartOwnMove(QWidget& window, const std::function<Placement(QPoint pointer, QPoint origin)>& place = {});

// Asks for the window's visible area (inside its border) to stand at a point
// on the screen, in device pixels, by the request the running window
// manager honours.
void RequestPosition(xcb_window_t window, QPoint visible);

}  // namespace tw::qt::x11
