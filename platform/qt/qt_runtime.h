// The Qt adapter, for Linux desktops on X11 and Wayland; the file services
// are platform/posix/'s. It implements every hook of adapter_hooks.h:
//  - RunApplication and UiRuntime (qt_runtime.cpp): Qt started at a display
//    scale at which the window fits, message boxes centred over their owner,
//    End at once.
//  - Form and Label (qt_form.h): the window built from its layout, drawn at
//    the display scale from the picture's best rendition (PNG read by Qt);
//    timers, labels, the menu.
//  - WindowSystem (qt_window_system.h): the outline, the capture, the
//    caption drag as the desktop's own move.
//  - What Qt does not offer on X11 (x11/): the xcb helpers (xcb.h), the
//    shape in device pixels (shape.h), the window manager's move or our own
//    (moves.h), Qt's position kept true (position_keeper.h), and no taskbar
//    entry, no shadow and placement to the device pixel (hints.h).
//  - A plain message where there is no display, before Qt starts
//    (display_check.h).
// What it cannot do:
//  - Place the window first anywhere but on the primary screen.
//  - Show a system colour other than the highlighted-text one (from Qt's
//    palette); any other shows as white.
//  - Shape beyond 32767 device pixels: X11 shape rectangles are 16-bit, so
//    the outline is clipped there (nothing of the window lies beyond).
//  - On Wayland, decide anything the compositor decides: where the window
//    first appears, whether a drag moves it (where refused, it stays), and
//    whether it gets a taskbar entry, and whether a click on the cut-out
//    reaches the window below (sway's does not). Wayland has no window
//    shapes: the outline is the input region, and the frame is transparent
//    outside it. Where Qt draws the title bar (GNOME), Qt 6.4 gives the
//    About box minimise and maximise buttons whatever its flags say.
#pragma once

#include <QPointer>
#include <QWidget>

#include <string>

#include "platform/ports/ui.h"

namespace tw::qt {

class QtRuntime final : public UiRuntime {
public:
    // Message boxes open centred over their owner, as on Windows.
    void SetOwner(QWidget* owner) { owner_ = owner; }
    void MsgBox(const std::string& prompt, int style, const std::string& title) override;
    [[noreturn]] void End(int exitStatus) override;

private:
    QPointer<QWidget> owner_;
};

}  // namespace tw::qt
