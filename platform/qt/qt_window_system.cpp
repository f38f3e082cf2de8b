#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include "platform/qt/qt_form.h"
#include "platform/qt/x11_window.h"
#include "platform/window_system.h"

namespace tw {
namespace {

QWidget* FindWindow(WindowHandle handle) {
    return handle == 0 ? nullptr : QWidget::find(static_cast<WId>(handle));
}

class QtWindowSystem final : public WindowSystem {
public:
    void SetWindowRgn(WindowHandle window, RegionHandle region, bool redraw) override {
        QWidget* widget = FindWindow(window);
        if (auto* form = dynamic_cast<qt::QtForm*>(widget)) {
            form->SetOutline(std::move(region), redraw);
        } else if (widget != nullptr) {
            if (region) widget->setMask(qt::ToQRegion(*region));
            else widget->clearMask();
        }
    }

    void ReleaseCapture() override {
        if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    }

    std::intptr_t SendMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                               std::intptr_t /*lParam*/) override {
        if (message != WM_NCLBUTTONDOWN || wParam != HTCAPTION) return 0;
        // With the left button up a window manager's move would follow the
        // pointer until the next click; a right press must not start that.
        if (!(QGuiApplication::mouseButtons() & Qt::LeftButton)) return 0;
        QWidget* widget = FindWindow(window);
        if (widget == nullptr || widget->windowHandle() == nullptr) return 0;
        if (qt::x11::Connection() == nullptr) {
            // Wayland: only the compositor can move a toplevel; where it
            // refuses, the window stays where it is.
            widget->windowHandle()->startSystemMove();
        } else if (qt::x11::WindowManagerOffersMove()) {
            qt::x11::StartWindowManagerMove(static_cast<xcb_window_t>(widget->winId()));
        } else {
            qt::x11::StartOwnMove(*widget);
        }
        return 0;
    }
};

}  // namespace

WindowSystem& DesktopWindowSystem() {
    static QtWindowSystem windowSystem;
    return windowSystem;
}

}  // namespace tw
