#include "platform/qt/x11/hints.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>

#include <algorithm>
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
// border off a fixed-size window's size as it manages it: the size is
// asked for once more too, and a manager that keeps its own is left to it.
class AskAgainOnMap final : public QObject, public QAbstractNativeEventFilter {
public:
    AskAgainOnMap(QWidget& window, QPoint visible, QSize size, std::uint16_t border)
        : QObject(&window),
          window_(static_cast<xcb_window_t>(window.winId())),
          visible_(visible),
          size_(size),
          border_(border) {
        qGuiApp->installNativeEventFilter(this);
    }
    ~AskAgainOnMap() override {
        if (qGuiApp != nullptr) qGuiApp->removeNativeEventFilter(this);
    }
    AskAgainOnMap(const AskAgainOnMap&) = delete;
    AskAgainOnMap& operator=(const AskAgainOnMap&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_MAP_NOTIFY ||
            reinterpret_cast<const xcb_map_notify_event_t*>(event)->window != window_)
            return false;
        if (xcb_connection_t* connection = Connection()) {
            if (const std::optional<QSize> size = SizeAtServer(connection, window_); size && *size != size_) {
                const std::uint32_t wanted[] = {static_cast<std::uint32_t>(size_.width()),
                                                static_cast<std::uint32_t>(size_.height())};
                xcb_configure_window(connection, window_, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, wanted);
            }
            if (BorderWidth(connection, window_) != border_) RequestPosition(window_, visible_);
            xcb_flush(connection);
        }
        qGuiApp->removeNativeEventFilter(this);
        deleteLater();
        return false;
    }

private:
    xcb_window_t window_;
    QPoint visible_;
    QSize size_;
    std::uint16_t border_;
};

}  // namespace

void MoveTo(QWidget& window, QPoint device, QSize size) {
    xcb_connection_t* connection = Connection();
    const auto id = static_cast<xcb_window_t>(window.winId());
    if (connection == nullptr || id == XCB_NONE) return;
    const bool mapped = Viewable(connection, id);
    const std::uint16_t border = BorderWidth(connection, id);
    RequestPosition(id, device);
    if (!mapped) new AskAgainOnMap(window, device, size, border);
}

}  // namespace tw::qt::x11
