// Window-region services over Qt. Qt types stay inside platform/qt/.
#pragma once

#include <QRegion>
#include <QWidget>

#include <functional>

#include "platform/ports/window_system.h"

namespace tw::qt {

// The desktop's move of a window with the pointer: on X11 the window
// manager's where it offers one, else our own (x11/moves.h); on Wayland the
// compositor's, and where it refuses, the window stays where it is.
void StartDesktopMove(QWidget& window);

class QtWindowSystem final : public AdapterWindowSystem {
public:
    // How a window is moved is given, so that tests can see whether it was.
    explicit QtWindowSystem(std::function<void(QWidget&)> startMove = StartDesktopMove)
        : startMove_(std::move(startMove)) {}

    void ReleaseCapture() override;
    // The move starts only while the left button is down: with it up, a
    // window manager's move would follow the pointer until the next click,
    // and a right press must not start that.
    std::intptr_t SendMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                               std::intptr_t lParam) override;

protected:
    // Another widget of this process: its mask, in its logical pixels.
    void SetForeignWindowRgn(WindowHandle window, RegionHandle region, bool redraw) override;

private:
    std::function<void(QWidget&)> startMove_;
};

// Our rectangles are already y-x banded, the form QRegion keeps.
QRegion ToQRegion(const Region& region);

}  // namespace tw::qt
