#include "platform/qt/x11/moves.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyleHints>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "platform/qt/x11/xcb.h"

namespace tw::qt::x11 {
namespace {

// A manager names a window of its own on the root, which names itself too;
// one that died leaves the root's name behind but not the window.
bool ManagerRuns(xcb_window_t rootCheck, xcb_window_t checkOfCheckWindow) {
    return rootCheck != XCB_NONE && checkOfCheckWindow == rootCheck;
}

std::optional<QPoint> PointerOnScreen(xcb_connection_t* connection) {
    const std::optional<Pointer> pointer = PointerAtServer(connection);
    if (!pointer) return std::nullopt;
    return pointer->at;
}

constexpr std::uint32_t kMoveResizeMove = 8;
constexpr std::uint32_t kMoveResizeCancel = 11;

// _NET_MOVERESIZE_WINDOW's flags: the gravity Qt asks for in the window's
// normal hints, x and y given, asked for by an application.
constexpr std::uint32_t kStaticGravity = 10;
constexpr std::uint32_t kMoveRequestFlags = kStaticGravity | 1U << 8 | 1U << 9 | 1U << 12;
constexpr std::uint32_t kSizeRequestFlags = 1U << 10 | 1U << 11;  // width and height given too

void SendMoveResize(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t moveResize, QPoint pointer,
                    std::uint32_t action) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = moveResize;
    event.data.data32[0] = static_cast<std::uint32_t>(pointer.x());
    event.data.data32[1] = static_cast<std::uint32_t>(pointer.y());
    event.data.data32[2] = action;
    event.data.data32[3] = 1;  // the left button
    event.data.data32[4] = 1;  // asked for by an application
    xcb_send_event(connection, 0, RootOf(connection),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
}

class WindowManagerWatch final : public QObject, public QAbstractNativeEventFilter {
public:
    explicit WindowManagerWatch(xcb_connection_t* connection)
        : connection_(connection),
          root_(RootOf(connection)),
          check_(Intern(connection, "_NET_SUPPORTING_WM_CHECK")),
          supported_(Intern(connection, "_NET_SUPPORTED")),
          moveResize_(Intern(connection, "_NET_WM_MOVERESIZE")),
          moveResizeWindow_(Intern(connection, "_NET_MOVERESIZE_WINDOW")) {
        Hear(connection_, root_, XCB_EVENT_MASK_PROPERTY_CHANGE);
        Read();
        qGuiApp->installNativeEventFilter(this);
        qGuiApp->installEventFilter(this);
    }
    ~WindowManagerWatch() override {
        if (qGuiApp != nullptr) qGuiApp->removeNativeEventFilter(this);
        if (qGuiApp != nullptr) qGuiApp->removeEventFilter(this);
    }
    WindowManagerWatch(const WindowManagerWatch&) = delete;
    WindowManagerWatch& operator=(const WindowManagerWatch&) = delete;

    MoveBy Move() const { return move_; }
    bool Runs() const { return runs_; }
    xcb_atom_t MoveResize() const { return moveResize_; }
    xcb_atom_t MoveResizeWindow() const { return moveResizeWindow_; }
    // Where the last press was, in device pixels: a move follows the pointer
    // from there, not from wherever it is once a busy program gets to it.
    std::optional<QPoint> PressAt() const { return pressAt_; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        switch (event->response_type & 0x7F) {
        case XCB_PROPERTY_NOTIFY: {
            const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (change->window == root_ && (change->atom == check_ || change->atom == supported_)) Read();
            break;
        }
        case XCB_DESTROY_NOTIFY:
            // The manager went away without clearing the root's properties.
            if (reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == checkWindow_) Read();
            break;
        default:
            break;
        }
        return false;
    }

protected:
    // Seen before the window's own handlers (Qt takes its presses through
    // XInput 2, not as core events): the press's place in device pixels.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
            // From the window's place at the server: Qt's global positions
            // at a fractional scale can be a device pixel off.
            const QWidget* window = static_cast<QWidget*>(watched)->window();
            const auto id = static_cast<xcb_window_t>(window->winId());
            const std::optional<QPoint> origin = OriginOnScreen(connection_, id);
            const QPointF inside = static_cast<QMouseEvent*>(event)->scenePosition() * window->devicePixelRatioF();
            if (origin) pressAt_ = *origin + inside.toPoint();
        }
        return false;
    }

private:
    void Read() {
        const auto rootCheck = Property(connection_, root_, check_, XCB_ATOM_WINDOW);
        const xcb_window_t window = rootCheck.empty() ? XCB_NONE : rootCheck.front();
        const auto selfCheck = window == XCB_NONE ? std::vector<std::uint32_t>()
                                                  : Property(connection_, window, check_, XCB_ATOM_WINDOW);
        const auto supported = Property(connection_, root_, supported_, XCB_ATOM_ATOM);
        const xcb_window_t self = selfCheck.empty() ? XCB_NONE : selfCheck.front();
        runs_ = ManagerRuns(window, self);
        move_ = ChooseMove(window, self, supported, moveResize_, moveResizeWindow_);
        if (window != checkWindow_) {
            checkWindow_ = window;
            if (checkWindow_ != XCB_NONE) Hear(connection_, checkWindow_, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
        }
    }

    xcb_connection_t* connection_;
    xcb_window_t root_;
    xcb_atom_t check_;
    xcb_atom_t supported_;
    xcb_atom_t moveResize_;
    xcb_atom_t moveResizeWindow_;
    xcb_window_t checkWindow_ = XCB_NONE;
    bool runs_ = false;
    MoveBy move_ = MoveBy::kConfigureWindow;
    std::optional<QPoint> pressAt_;
};

WindowManagerWatch* Watch() {
    static std::unique_ptr<WindowManagerWatch> watch;
    xcb_connection_t* connection = Connection();
    if (!watch && connection != nullptr) watch = std::make_unique<WindowManagerWatch>(connection);
    return watch.get();
}

// A position asked for is that of the window's outer corner, its border
// included, as if no frame held it: with static gravity ICCCM has the
// manager keep the inside of the border where that puts it, frame or none.
// Managers that put their border on the window itself (bspwm, dwm, xmonad)
// place the outer corner there as X does.
// A size that is not empty goes in the same request: on a screen of another
// scale the window is never at its old size there, which would rescale it
// once more.
void AskPosition(xcb_connection_t* connection, xcb_window_t window, QPoint visible, std::uint16_t border,
                 QSize size = {}) {
    const QPoint corner = visible - QPoint(border, border);
    const WindowManagerWatch* watch = Watch();
    if (watch != nullptr && watch->Move() == MoveBy::kMoveResizeRequest) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = watch->MoveResizeWindow();
        event.data.data32[0] = kMoveRequestFlags | (size.isEmpty() ? 0 : kSizeRequestFlags);
        event.data.data32[1] = static_cast<std::uint32_t>(corner.x());
        event.data.data32[2] = static_cast<std::uint32_t>(corner.y());
        event.data.data32[3] = static_cast<std::uint32_t>(size.width());
        event.data.data32[4] = static_cast<std::uint32_t>(size.height());
        xcb_send_event(connection, 0, RootOf(connection),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    } else {
        const std::uint32_t where[] = {static_cast<std::uint32_t>(corner.x()), static_cast<std::uint32_t>(corner.y()),
                                       static_cast<std::uint32_t>(size.width()),
                                       static_cast<std::uint32_t>(size.height())};
        xcb_configure_window(connection, window,
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y |
                                 (size.isEmpty() ? 0 : XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT),
                             where);
    }
    xcb_flush(connection);
}

// Watches the window's input from press to release; gone once finished.
class PressWatch : public QObject {
public:
    PressWatch(QWidget& window, xcb_connection_t* connection)
        : QObject(&window), window_(window), connection_(connection) {
        window_.installEventFilter(this);
    }

    void Finish() {
        window_.removeEventFilter(this);
        deleteLater();
    }

protected:
    QWidget& window_;
    xcb_connection_t* connection_;
};

class OwnMove final : public PressWatch {
public:
    OwnMove(QWidget& window, xcb_connection_t* connection, QPoint pointer, QPoint origin, std::uint16_t border,
            Placement place)
        : PressWatch(window, connection),
          pointer_(pointer),
          origin_(origin),
          at_(origin),
          border_(border),
          place_(std::move(place)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseMove:
            if (static_cast<QMouseEvent*>(event)->buttons() & Qt::LeftButton) Follow();
            else Finish();
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                Follow();
                Finish();
            }
            break;
        case QEvent::FocusOut:
        case QEvent::WindowDeactivate:
        case QEvent::Hide:
            Finish();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void Follow() {
        const std::optional<QPoint> pointer = PointerOnScreen(connection_);
        if (!pointer) return;
        const QRect placed = place_ ? place_(*pointer) : QRect(origin_ + (*pointer - pointer_), QSize());
        const QPoint to = placed.topLeft();
        if (to == at_ && placed.size() == size_) return;
        at_ = to;
        size_ = placed.size();
        AskPosition(connection_, static_cast<xcb_window_t>(window_.winId()), to, border_, size_);
    }

    QPoint pointer_;  // at the press
    QPoint origin_;   // of the window at the press, inside its border
    QPoint at_;
    std::uint16_t border_;  // the window's own, which its manager may have given it
    QSize size_;
    Placement place_;
};

// A release that reaches the window after the manager's move was asked for
// never reached the manager, whose move would go on without the button: it
// is cancelled. Qt hands the window its input after our press handler, so
// the release is watched there, until it comes or a new press does.
class CancelOnRelease final : public PressWatch {
public:
    CancelOnRelease(QWidget& window, xcb_connection_t* connection, xcb_atom_t moveResize)
        : PressWatch(window, connection), moveResize_(moveResize) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress) {
            Finish();
        } else if (event->type() == QEvent::MouseButtonRelease &&
                   static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            const std::optional<QPoint> pointer = PointerOnScreen(connection_);
            SendMoveResize(connection_, static_cast<xcb_window_t>(window_.winId()), moveResize_,
                           pointer.value_or(QPoint()), kMoveResizeCancel);
            Finish();
        }
        return false;
    }

private:
    xcb_atom_t moveResize_;
};

// From a press at `press` with the window's visible corner at `origin`.
void HandToWindowManager(QWidget& window, xcb_connection_t* connection, xcb_atom_t moveResize, QPoint press,
                         QPoint origin) {
    // The window manager grabs the pointer itself; our implicit grab would stop it.
    xcb_ungrab_pointer(connection, XCB_CURRENT_TIME);
    // Asked at the server once our grab is gone: the button may be up by
    // now, and a manager asked to move a window whose button is up follows
    // the pointer until the next click.
    const std::optional<Pointer> pointer = PointerAtServer(connection);
    if (!pointer || !pointer->leftDown) return;
    // The window first catches up with the pointer's motion so far, and the
    // manager's move starts from the pointer as it is now: managers that
    // take the pointer from the request and those that read it themselves
    // when they start (fvwm) then agree.
    const auto id = static_cast<xcb_window_t>(window.winId());
    AskPosition(connection, id, origin + (pointer->at - press), BorderWidth(connection, id));
    SendMoveResize(connection, id, moveResize, pointer->at, kMoveResizeMove);
    new CancelOnRelease(window, connection, moveResize);
}

// The press becomes the window manager's move only once the pointer has
// gone the drag distance with the button down, so a click, however quick,
// never reaches the manager. The request races the release: one that comes
// before the manager's grab reaches the window, which cancels the move, and
// xfwm4 4.18 then ends its move but holds the pointer until the next click.
class MoveOnDrag final : public PressWatch {
public:
    MoveOnDrag(QWidget& window, xcb_connection_t* connection, xcb_atom_t moveResize, QPoint press, QPoint origin)
        : PressWatch(window, connection), moveResize_(moveResize), press_(press), origin_(origin) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseMove:
            // Asked at the server: Qt makes up motion of its own, without
            // the button, when the manager raises the window for the press.
            Drag();
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::Hide:
            Finish();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void Drag() {
        const std::optional<Pointer> pointer = PointerAtServer(connection_);
        const int distance = qRound(QGuiApplication::styleHints()->startDragDistance() * window_.devicePixelRatioF());
        if (pointer && pointer->leftDown && !PastDragDistance(press_, pointer->at, distance)) return;
        Finish();
        if (pointer && pointer->leftDown) HandToWindowManager(window_, connection_, moveResize_, press_, origin_);
    }

    xcb_atom_t moveResize_;
    QPoint press_;   // on the screen, in device pixels
    QPoint origin_;  // the window's visible corner at the press
};

}  // namespace

bool PastDragDistance(QPoint from, QPoint to, int distance) { return (to - from).manhattanLength() >= distance; }

MoveBy ChooseMove(xcb_window_t rootCheck, xcb_window_t checkOfCheckWindow, std::span<const xcb_atom_t> supported,
                  xcb_atom_t moveResize, xcb_atom_t moveResizeWindow) {
    if (!ManagerRuns(rootCheck, checkOfCheckWindow)) return MoveBy::kConfigureWindow;
    const auto lists = [&](xcb_atom_t atom) {
        return atom != XCB_ATOM_NONE && std::find(supported.begin(), supported.end(), atom) != supported.end();
    };
    if (lists(moveResize)) return MoveBy::kWindowManager;
    if (lists(moveResizeWindow)) return MoveBy::kMoveResizeRequest;
    return MoveBy::kConfigureWindow;
}

bool WindowManagerOffersMove() {
    const WindowManagerWatch* watch = Watch();
    return watch != nullptr && watch->Move() == MoveBy::kWindowManager;
}

bool ExtendedWindowManagerRuns() {
    const WindowManagerWatch* watch = Watch();
    return watch != nullptr && watch->Runs();
}

void StartWindowManagerMove(QWidget& window) {
    xcb_connection_t* connection = Connection();
    const WindowManagerWatch* watch = Watch();
    if (connection == nullptr || watch == nullptr) return;
    for (QObject* child : window.children()) {
        if (auto* earlier = dynamic_cast<CancelOnRelease*>(child)) earlier->Finish();
        if (auto* earlier = dynamic_cast<MoveOnDrag*>(child)) earlier->Finish();
    }
    const std::optional<Pointer> pointer = PointerAtServer(connection);
    const std::optional<QPoint> origin = OriginOnScreen(connection, static_cast<xcb_window_t>(window.winId()));
    if (pointer && pointer->leftDown && origin)
        new MoveOnDrag(window, connection, watch->MoveResize(), watch->PressAt().value_or(pointer->at), *origin);
}

void StartOwnMove(QWidget& window, const std::function<Placement(QPoint pointer, QPoint origin)>& place) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr) return;
    for (QObject* child : window.children()) {
        if (auto* earlier = dynamic_cast<OwnMove*>(child)) earlier->Finish();
    }
    const auto id = static_cast<xcb_window_t>(window.winId());
    const WindowManagerWatch* watch = Watch();
    std::optional<QPoint> pointer = watch != nullptr ? watch->PressAt() : std::nullopt;
    if (!pointer) pointer = PointerOnScreen(connection);
    const std::optional<QPoint> origin = OriginOnScreen(connection, id);
    if (pointer && origin)
        new OwnMove(window, connection, *pointer, *origin, BorderWidth(connection, id),
                    place ? place(*pointer, *origin) : Placement());
}

void RequestPosition(xcb_window_t window, QPoint visible) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || window == XCB_NONE) return;
    AskPosition(connection, window, visible, BorderWidth(connection, window));
}

}  // namespace tw::qt::x11
