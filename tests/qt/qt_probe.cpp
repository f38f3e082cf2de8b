// The conformance table's view of the Qt adapter: on Qt's offscreen
// platform the window's input region, under X11 the server's own shape and
// geometry.
#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QWindow>
// Mouse events through the window system, which keeps the button state
// the move request reads.
#define QTEST_QPA_MOUSE_HANDLING
#include <QTest>

#include <xcb/shape.h>

#include <cmath>
#include <map>

#include "platform/qt/qt_form.h"
#include "platform/qt/qt_runtime.h"
#include "platform/qt/qt_window_system.h"
#include "platform/qt/x11/xcb.h"
#include "tests/conformance/adapter_probe.h"

namespace tw::testing {
namespace {

Qt::MouseButton ToQtButton(std::int16_t button) {
    return button == vbLeftButton ? Qt::LeftButton : button == vbRightButton ? Qt::RightButton : Qt::MiddleButton;
}

std::optional<Region> X11Shape(xcb_connection_t* connection, xcb_window_t window) {
    const auto extents = qt::x11::OwnReply(
        xcb_shape_query_extents_reply(connection, xcb_shape_query_extents(connection, window), nullptr));
    if (!extents || !extents->bounding_shaped) return std::nullopt;
    const auto reply = qt::x11::OwnReply(xcb_shape_get_rectangles_reply(
        connection, xcb_shape_get_rectangles(connection, window, XCB_SHAPE_SK_BOUNDING), nullptr));
    std::vector<Rect> rects;
    const xcb_rectangle_t* r = xcb_shape_get_rectangles_rectangles(reply.get());
    for (int i = 0; reply && i < xcb_shape_get_rectangles_rectangles_length(reply.get()); ++i)
        rects.push_back(Rect{r[i].x, r[i].y, r[i].x + r[i].width, r[i].y + r[i].height});
    return Region::FromRects(rects);
}

class QtProbe final : public AdapterProbe, public QObject {
public:
    QtProbe() : windowSystem_([this](QWidget&) { ++moves_; }), steps_(runtime_, windowSystem_) {
        qApp->installEventFilter(this);
    }
    ~QtProbe() override { qApp->removeEventFilter(this); }

    StartUpSteps& Steps() override { return steps_; }

    Rect Screen() override {
        if (const std::optional<QSize> size = qt::x11::ScreenSize()) return Rect{0, 0, size->width(), size->height()};
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect area = screen->geometry();
        const PixelScale scale(screen->devicePixelRatio());
        return Rect{area.x(), area.y(), area.x() + scale.Edge(area.width()), area.y() + scale.Edge(area.height())};
    }

    Rect Placement() override {
        qt::QtForm& form = Form();
        if (xcb_connection_t* connection = qt::x11::Connection()) {
            const auto window = static_cast<xcb_window_t>(form.winId());
            const std::optional<QPoint> origin = qt::x11::OriginOnScreen(connection, window);
            const auto geometry = qt::x11::OwnReply(
                xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
            if (!origin || !geometry) return Rect{};
            return Rect{origin->x(), origin->y(), origin->x() + geometry->width, origin->y() + geometry->height};
        }
        const QRect frame = form.frameGeometry();
        const PixelScale scale(form.devicePixelRatioF());
        return Rect{frame.x(), frame.y(), frame.x() + scale.Edge(frame.width()),
                    frame.y() + scale.Edge(frame.height())};
    }

    std::optional<Region> Shape() override {
        qt::QtForm& form = Form();
        if (xcb_connection_t* connection = qt::x11::Connection())
            return X11Shape(connection, static_cast<xcb_window_t>(form.winId()));
        const QRegion mask = form.windowHandle()->mask();
        if (mask.isEmpty()) return std::nullopt;
        std::vector<Rect> rects;
        for (const QRect& r : mask.intersected(form.rect()))
            rects.push_back(Rect{r.left(), r.top(), r.right() + 1, r.bottom() + 1});
        return Region::FromRects(rects);
    }

    int Paints(const std::string& label) override { return paints_[QString::fromStdString(label)]; }

    std::vector<std::string> Popup(const std::string& menu, std::optional<int> choose) override {
        std::vector<std::string> rows;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (popup == nullptr) return;
            watch.stop();
            for (const QAction* action : popup->actions())
                rows.push_back(action->isSeparator() ? "-" : action->text().toStdString());
            if (choose) popup->setActiveAction(popup->actions().at(*choose));
            QTest::keyClick(popup, choose ? Qt::Key_Return : Qt::Key_Escape);
        });
        watch.start(20);
        Form().PopupMenu(menu);
        return rows;
    }

    void Press(std::int16_t button, int x, int y) override {
        QTest::mousePress(&Form(), ToQtButton(button), {}, QPoint(x, y));
        QTest::mouseRelease(&Form(), ToQtButton(button), {}, QPoint(x, y));
    }

    int MovesStarted() override { return moves_; }
    void Capture() override { Form().grabMouse(); }
    bool Captured() override { return QWidget::mouseGrabber() != nullptr; }
    // An event loop of its own: QTest::qWait takes events in 10 ms turns,
    // which would hide a timer ticking faster than that.
    void Wait(int ms) override {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints_[watched->objectName()];
        return false;
    }

private:
    qt::QtForm& Form() { return *steps_.Made(); }

    qt::QtRuntime runtime_;
    qt::QtWindowSystem windowSystem_;
    qt::QtStartUp steps_;
    int moves_ = 0;
    std::map<QString, int> paints_;
};

}  // namespace

std::vector<double> ProbeScales() { return {QGuiApplication::primaryScreen()->devicePixelRatio()}; }

std::unique_ptr<AdapterProbe> MakeProbe(double) { return std::make_unique<QtProbe>(); }

}  // namespace tw::testing
