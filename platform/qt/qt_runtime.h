// The Qt adapter, for Linux desktops on X11 and Wayland; the file services
// are platform/posix/'s. It implements every hook of adapter_hooks.h:
//  - RunApplication, UiRuntime and StartUpSteps (qt_runtime.cpp): Qt started
//    at a display scale at which the window fits, then the start-up of
//    ports/startup.h; message boxes centred over their owner; End at once.
//  - Form (qt_form.h): the window built from its layout, with its outline
//    in picture pixels mapped at the display scale; its timers and menu.
//    Its labels (qt_label.h), its fonts and colours (qt_style.h), and its
//    picture, read by Qt and drawn from its best rendition (qt_picture.h).
//  - AdapterWindowSystem (qt_window_system.h): other windows' masks, the
//    capture, the caption drag as the desktop's own move.
//  - The outline where Qt offers no shape: on X11 the shape in device pixels
//    (x11/shape.h), also on a manager's frame that does not carry it
//    (x11/frame_shape.h); on Wayland the input region
//    (wayland/input_region.h).
//  - What else Qt does not offer on X11 (x11/): the xcb helpers (xcb.h), the
//    window manager's move or our own, by the request the manager honours
//    (moves.h), Qt's position kept true (position_keeper.h), no shadow from
//    compositors that decide it before the shape is there (shadow_keeper.h),
//    and no taskbar entry and the first placement to the device pixel, at
//    the size laid out (hints.h).
//  - The scale of the screen the window stands on, followed when it changes
//    (qt_form.cpp), and kept across a drag to a screen of another scale.
//  - A plain message where there is no display, before Qt starts
//    (display_check.h).
// What it cannot do:
//  - Place the window first anywhere but on the primary screen.
//  - Make a window manager start its move from the point it names where the
//    manager reads the pointer itself (fvwm), or keep one from drawing a
//    border round the whole window (awesome) or an application icon (Window
//    Maker).
//  - Show a system colour other than the highlighted-text one (from Qt's
//    palette); any other shows as white.
//  - Shape beyond 32767 device pixels: X11 shape rectangles are 16-bit, so
//    the outline is clipped there (nothing of the window lies beyond).
//  - On Wayland, decide anything the compositor decides: where the window
//    first appears, whether a drag moves it (where refused, it stays), and
//    whether it gets a taskbar entry, and whether a click on the cut-out
//    reaches the window below (sway 1.7's does not). Wayland has no window
//    shapes: the outline is the input region, and the frame is transparent
//    outside it. Where Qt draws the title bar (GNOME), its buttons are not
//    the About box's flags: Qt 6.4 gives minimise and maximise, Qt 6.8 those
//    of GNOME's own title-bar setting.
#pragma once

#include <QMargins>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <memory>
#include <string>

#include "platform/ports/startup.h"
#include "platform/ports/ui.h"

namespace tw::qt {

class QtForm;

class QtRuntime final : public UiRuntime {
public:
    // Message boxes open centred over their owner, as on Windows.
    void SetOwner(QWidget* owner) { owner_ = owner; }
    void MsgBox(const std::string& prompt, int style, const std::string& title) override;
    [[noreturn]] void End(int exitStatus) override;
    std::string ExeName() const override;

private:
    QPointer<QWidget> owner_;
};

// The start-up's steps on Qt, once QApplication runs; the window's own are
// QtForm's.
class QtStartUp final : public OneWindowStartUp<QtRuntime, QtForm> {
public:
    using OneWindowStartUp::OneWindowStartUp;
    ~QtStartUp() override;
    int DeliverEvents() override;
};

// Where a dialog's client area of a size stands so that it is centred over
// a window and, with the window manager's frame on each side of it, wholly
// on a screen's available area as far as it fits; all in logical pixels.
QRect CentredOver(const QRect& owner, const QSize& size, const QMargins& frame, const QRect& screen);

}  // namespace tw::qt
