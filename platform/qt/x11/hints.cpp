#include "platform/qt/x11/hints.h"

#include <QAbstractNativeEventFilter>
#include <QEvent>
#include <QGuiApplication>

#include <algorithm>
#include <functional>
#include <vector>

#include "platform/qt/x11/moves.h"
#include "platform/qt/x11/xcb.h"

namespace tw::qt::x11 {

void SkipTaskbarAndPager(xcb_window_t window) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || window == XCB_NONE) return;
    const xcb_atom_t state = Intern(connection, "_NET_WM_STATE");
    std::vector<std::uint32_t> atoms = Property(connection, window, state, XCB_ATOM_ATOM);
    for (const char* name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        const xcb_atom_t atom = Intern(connection, name);
        if (std::find(atoms.begin(), atoms.end(), atom) == atoms.end()) atoms.push_back(atom);
    }
    SetAtoms(connection, window, state, atoms);
    xcb_flush(connection);
}

void AskNoShadow(xcb_window_t window) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || window == XCB_NONE) return;
    const std::uint32_t extents[4] = {0, 0, 0, 0};  // left, right, top, bottom
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, Intern(connection, "_GTK_FRAME_EXTENTS"),
                        XCB_ATOM_CARDINAL, 32, 4, extents);
    const std::uint32_t none = 0;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, Intern(connection, "_COMPTON_SHADOW"),
                        XCB_ATOM_CARDINAL, 32, 1, &none);
    xcb_flush(connection);
}

namespace {

// A manager that puts its border on the window itself (bspwm, dwm, xmonad)
// may give it that border after the position was asked for, which shifts
// what shows by its width; once the window maps the border is there, and
// the position is asked for again with it. xmonad also takes twice that
// border off a fixed-size window's size as it manages it, at the map or
// soon after: a size the server reports that is not the one laid out is
// asked for once more, and only once, so that a manager that keeps a size
// of its own is left to it. All this belongs to the manager's first taking
// of the window: it ends with the first press, after which the window's own
// moves and rescales size it.
class FirstPlacement final : public QObject, public QAbstractNativeEventFilter {
public:
    FirstPlacement(QWidget& window, QPoint visible, std::function<QSize()> laidOut, std::uint16_t border,
                   bool mapped)
        : QObject(&window),
          window_(static_cast<xcb_window_t>(window.winId())),
          visible_(visible),
          laidOut_(std::move(laidOut)),
          border_(border),
          mapped_(mapped) {
        qGuiApp->installNativeEventFilter(this);
        window.installEventFilter(this);
        xcb_connection_t* connection = Connection();
        if (const std::optional<QSize> size = SizeAtServer(connection, window_); mapped_ && size)
            KeepLaidOut(connection, *size);
    }
    ~FirstPlacement() override {
        if (qGuiApp != nullptr) qGuiApp->removeNativeEventFilter(this);
    }
    FirstPlacement(const FirstPlacement&) = delete;
    FirstPlacement& operator=(const FirstPlacement&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        xcb_connection_t* connection = Connection();
        if (eventType != "xcb_generic_event_t" || connection == nullptr) return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        switch (event->response_type & 0x7F) {
        case XCB_MAP_NOTIFY:
            if (reinterpret_cast<const xcb_map_notify_event_t*>(event)->window != window_ || mapped_) break;
            mapped_ = true;
            if (BorderWidth(connection, window_) != border_) RequestPosition(window_, visible_);
            if (const std::optional<QSize> size = SizeAtServer(connection, window_)) KeepLaidOut(connection, *size);
            break;
        case XCB_CONFIGURE_NOTIFY: {
            const auto* change = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
            if (mapped_ && change->window == window_) KeepLaidOut(connection, QSize(change->width, change->height));
            break;
        }
        default:
            break;
        }
        return false;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress) {
            watched->removeEventFilter(this);
            qGuiApp->removeNativeEventFilter(this);
            deleteLater();
        }
        return false;
    }

private:
    void KeepLaidOut(xcb_connection_t* connection, QSize atServer) {
        const QSize wanted = laidOut_();
        if (atServer == wanted || asked_) return;
        asked_ = true;
        const std::uint32_t size[] = {static_cast<std::uint32_t>(wanted.width()),
                                      static_cast<std::uint32_t>(wanted.height())};
        xcb_configure_window(connection, window_, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
        xcb_flush(connection);
    }

    xcb_window_t window_;
    QPoint visible_;
    std::function<QSize()> laidOut_;
    std::uint16_t border_;
    bool mapped_;
    bool asked_ = false;
};

}  // namespace

void MoveTo(QWidget& window, QPoint device, std::function<QSize()> laidOut) {
    xcb_connection_t* connection = Connection();
    const auto id = static_cast<xcb_window_t>(window.winId());
    if (connection == nullptr || id == XCB_NONE) return;
    const bool mapped = Viewable(connection, id);
    const std::uint16_t border = BorderWidth(connection, id);
    RequestPosition(id, device);
    new FirstPlacement(window, device, std::move(laidOut), border, mapped);
}

}  // namespace tw::qt::x11
