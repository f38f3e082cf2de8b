#include "platform/qt/qt_window_system.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <vector>

#include "platform/ports/adapter_hooks.h"
#include "platform/qt/qt_form.h"
#include "platform/qt/x11/moves.h"
#include "platform/qt/x11/xcb.h"

namespace tw {
namespace qt {
namespace {

QWidget* FindWindow(WindowHandle handle) {
    return handle == 0 ? nullptr : QWidget::find(static_cast<WId>(handle));
}

// A desktop whose screens have scales of their own (per-screen factors).
bool ScreensDifferInScale() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (const QScreen* screen : screens) {
        if (screen->devicePixelRatio() != screens.front()->devicePixelRatio()) return true;
    }
    return false;
}

}  // namespace

QRegion ToQRegion(const Region& region) {
    std::vector<QRect> rects;
    rects.reserve(region.Rects().size());
    for (const Rect& r : region.Rects())
        rects.emplace_back(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
    QRegion result;
    result.setRects(rects.data(), static_cast<int>(rects.size()));
    return result;
}

void StartDesktopMove(QWidget& window) {
    if (x11::Connection() == nullptr) {
        window.windowHandle()->startSystemMove();
        return;
    }
    // A window manager's move keeps the window's corner where it was under
    // the pointer, so a window that shrinks on a screen of smaller scale
    // slips away from it, and grows back when its centre falls back over
    // the edge. Across screens of different scale the gadget moves itself,
    // its picture held under the pointer.
    auto* form = dynamic_cast<QtForm*>(&window);
    if (form != nullptr && ScreensDifferInScale()) {
        x11::StartOwnMove(window,
                          [form](QPoint pointer, QPoint origin) { return form->HoldUnderPointer(pointer, origin); });
    } else if (x11::WindowManagerOffersMove()) {
        x11::StartWindowManagerMove(window);
    } else {
        x11::StartOwnMove(window);
    }
}

void QtWindowSystem::SetForeignWindowRgn(WindowHandle window, RegionHandle region, bool /*redraw*/) {
    QWidget* widget = FindWindow(window);
    if (widget == nullptr) return;
    if (region) widget->setMask(ToQRegion(*region));
    else widget->clearMask();
}

void QtWindowSystem::ReleaseCapture() {
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
}

std::intptr_t QtWindowSystem::SendMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                           std::intptr_t /*lParam*/) {
    if (message != WM_NCLBUTTONDOWN || wParam != HTCAPTION) return 0;
    if (!(QGuiApplication::mouseButtons() & Qt::LeftButton)) return 0;
    QWidget* widget = FindWindow(window);
    if (widget != nullptr && widget->windowHandle() != nullptr) startMove_(*widget);
    return 0;
}

}  // namespace qt

AdapterWindowSystem& DesktopWindowSystem() {
    static qt::QtWindowSystem windowSystem;
    return windowSystem;
}

}  // namespace tw
