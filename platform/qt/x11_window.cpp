#include "platform/qt/x11_window.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPoint>
#include <QTimer>

#include <xcb/shape.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace tw::qt::x11 {
namespace {

template <class Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <class Reply>
ReplyPtr<Reply> Adopt(Reply* reply) {
    return ReplyPtr<Reply>(reply, &std::free);
}

// A request whose window may be gone by now: its error is ours to drop, not
// Qt's to print.
void Quietly(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
    std::free(xcb_request_check(connection, cookie));
}

// A manager names a window of its own on the root, which names itself too;
// one that died leaves the root's name behind but not the window.
bool ManagerRuns(xcb_window_t rootCheck, xcb_window_t checkOfCheckWindow) {
    return rootCheck != XCB_NONE && checkOfCheckWindow == rootCheck;
}

xcb_window_t RootOf(xcb_connection_t* connection) {
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

xcb_atom_t Intern(xcb_connection_t* connection, std::string_view name) {
    const auto reply = Adopt(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// A property's 32-bit values; none when it or its window is missing.
std::vector<std::uint32_t> Property(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                                    xcb_atom_t type) {
    xcb_generic_error_t* error = nullptr;
    const auto reply = Adopt(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, 4096), &error));
    std::free(error);
    if (!reply || reply->format != 32) return {};
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return std::vector<std::uint32_t>(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

// Adds to what this connection already hears from a window rather than
// replacing it (Qt shares the connection).
void Hear(xcb_connection_t* connection, xcb_window_t window, std::uint32_t events) {
    const auto attributes = Adopt(xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), nullptr));
    if (!attributes) return;
    const std::uint32_t mask = attributes->your_event_mask | events;
    Quietly(connection, xcb_change_window_attributes_checked(connection, window, XCB_CW_EVENT_MASK, &mask));
}

struct Pointer {
    QPoint at;  // in device pixels, as the server has them: Qt's are logical ones
    bool leftDown;
};

std::optional<Pointer> PointerAtServer(xcb_connection_t* connection) {
    const auto pointer = Adopt(
        xcb_query_pointer_reply(connection, xcb_query_pointer(connection, RootOf(connection)), nullptr));
    if (!pointer) return std::nullopt;
    return Pointer{QPoint(pointer->root_x, pointer->root_y), (pointer->mask & XCB_KEY_BUT_MASK_BUTTON_1) != 0};
}

std::optional<QPoint> PointerOnScreen(xcb_connection_t* connection) {
    const std::optional<Pointer> pointer = PointerAtServer(connection);
    if (!pointer) return std::nullopt;
    return pointer->at;
}

void SetAtoms(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
              const std::vector<std::uint32_t>& atoms) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(atoms.size()), atoms.data());
}

constexpr std::uint32_t kMoveResizeMove = 8;
constexpr std::uint32_t kMoveResizeCancel = 11;

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

std::optional<QPoint> OriginOnScreen(xcb_connection_t* connection, xcb_window_t window) {
    const auto where = Adopt(xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, window, RootOf(connection), 0, 0), nullptr));
    if (!where) return std::nullopt;
    return QPoint(where->dst_x, where->dst_y);
}

class WindowManagerWatch final : public QAbstractNativeEventFilter {
public:
    explicit WindowManagerWatch(xcb_connection_t* connection)
        : connection_(connection),
          root_(RootOf(connection)),
          check_(Intern(connection, "_NET_SUPPORTING_WM_CHECK")),
          supported_(Intern(connection, "_NET_SUPPORTED")),
          moveResize_(Intern(connection, "_NET_WM_MOVERESIZE")) {
        Hear(connection_, root_, XCB_EVENT_MASK_PROPERTY_CHANGE);
        Read();
        qGuiApp->installNativeEventFilter(this);
    }
    ~WindowManagerWatch() override {
        if (qGuiApp != nullptr) qGuiApp->removeNativeEventFilter(this);
    }
    WindowManagerWatch(const WindowManagerWatch&) = delete;
    WindowManagerWatch& operator=(const WindowManagerWatch&) = delete;

    bool OffersMove() const { return offersMove_; }
    bool Runs() const { return runs_; }
    xcb_atom_t MoveResize() const { return moveResize_; }

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

private:
    void Read() {
        const auto rootCheck = Property(connection_, root_, check_, XCB_ATOM_WINDOW);
        const xcb_window_t window = rootCheck.empty() ? XCB_NONE : rootCheck.front();
        const auto selfCheck = window == XCB_NONE ? std::vector<std::uint32_t>()
                                                  : Property(connection_, window, check_, XCB_ATOM_WINDOW);
        const auto supported = Property(connection_, root_, supported_, XCB_ATOM_ATOM);
        const xcb_window_t self = selfCheck.empty() ? XCB_NONE : selfCheck.front();
        runs_ = ManagerRuns(window, self);
        offersMove_ = OffersInteractiveMove(window, self, supported, moveResize_);
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
    xcb_window_t checkWindow_ = XCB_NONE;
    bool runs_ = false;
    bool offersMove_ = false;
};

WindowManagerWatch* Watch() {
    static std::unique_ptr<WindowManagerWatch> watch;
    xcb_connection_t* connection = Connection();
    if (!watch && connection != nullptr) watch = std::make_unique<WindowManagerWatch>(connection);
    return watch.get();
}

class OwnMove final : public QObject {
public:
    OwnMove(QWidget& window, xcb_connection_t* connection, QPoint pointer, QPoint origin)
        : QObject(&window), window_(window), connection_(connection), pointer_(pointer), origin_(origin),
          at_(origin) {
        window_.installEventFilter(this);
    }

    void Finish() {
        window_.removeEventFilter(this);
        deleteLater();
    }

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
        const QPoint to = origin_ + (*pointer - pointer_);
        if (to == at_) return;
        at_ = to;
        // Qt asks for static gravity: a window manager puts the window itself, not its frame, there.
        const std::uint32_t where[] = {static_cast<std::uint32_t>(to.x()), static_cast<std::uint32_t>(to.y())};
        xcb_configure_window(connection_, static_cast<xcb_window_t>(window_.winId()),
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, where);
        xcb_flush(connection_);
    }

    QWidget& window_;
    xcb_connection_t* connection_;
    QPoint pointer_;  // at the press
    QPoint origin_;   // of the window at the press
    QPoint at_;
};

// A release that reaches the window after the manager's move was asked for
// never reached the manager, whose move would go on without the button: it
// is cancelled. Qt hands the window its input after our press handler, so
// the release is watched there, until it comes or a new press does.
class CancelOnRelease final : public QObject {
public:
    CancelOnRelease(QWidget& window, xcb_connection_t* connection, xcb_atom_t moveResize)
        : QObject(&window), window_(window), connection_(connection), moveResize_(moveResize) {
        window_.installEventFilter(this);
    }

    void Finish() {
        window_.removeEventFilter(this);
        deleteLater();
    }

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
    QWidget& window_;
    xcb_connection_t* connection_;
    xcb_atom_t moveResize_;
};

xcb_window_t TopLevelOf(xcb_connection_t* connection, xcb_window_t window) {
    for (;;) {
        const auto tree = Adopt(xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
        if (!tree || tree->parent == XCB_NONE || tree->parent == tree->root) return window;
        window = tree->parent;
    }
}

}  // namespace

bool OffersInteractiveMove(xcb_window_t rootCheck, xcb_window_t checkOfCheckWindow,
                           std::span<const xcb_atom_t> supported, xcb_atom_t moveResize) {
    return ManagerRuns(rootCheck, checkOfCheckWindow) && moveResize != XCB_ATOM_NONE &&
           std::find(supported.begin(), supported.end(), moveResize) != supported.end();
}

bool WindowManagerOffersMove() {
    const WindowManagerWatch* watch = Watch();
    return watch != nullptr && watch->OffersMove();
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
    }
    // The window manager grabs the pointer itself; our implicit grab would stop it.
    xcb_ungrab_pointer(connection, XCB_CURRENT_TIME);
    // Asked at the server once our grab is gone: a quick click (a touchpad
    // tap) is often released by now, and a manager asked to move a window
    // whose button is up follows the pointer until the next click.
    const std::optional<Pointer> pointer = PointerAtServer(connection);
    if (!pointer || !pointer->leftDown) return;
    SendMoveResize(connection, static_cast<xcb_window_t>(window.winId()), watch->MoveResize(), pointer->at,
                   kMoveResizeMove);
    new CancelOnRelease(window, connection, watch->MoveResize());
}

void StartOwnMove(QWidget& window) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr) return;
    for (QObject* child : window.children()) {
        if (auto* earlier = dynamic_cast<OwnMove*>(child)) earlier->Finish();
    }
    const std::optional<QPoint> pointer = PointerOnScreen(connection);
    const std::optional<QPoint> origin = OriginOnScreen(connection, static_cast<xcb_window_t>(window.winId()));
    if (pointer && origin) new OwnMove(window, connection, *pointer, *origin);
}

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
    xcb_flush(connection);
}

std::optional<QSize> ScreenSize() {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr) return std::nullopt;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    return QSize(screen->width_in_pixels, screen->height_in_pixels);
}

void MoveTo(xcb_window_t window, QPoint device) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || window == XCB_NONE) return;
    const std::uint32_t where[] = {static_cast<std::uint32_t>(device.x()), static_cast<std::uint32_t>(device.y())};
    xcb_configure_window(connection, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, where);
    xcb_flush(connection);
}

xcb_connection_t* Connection() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

void SetShape(xcb_window_t window, const Region* deviceRegion, std::int32_t width, std::int32_t height) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || window == XCB_NONE) return;
    if (deviceRegion == nullptr) {
        xcb_shape_mask(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, window, 0, 0, XCB_NONE);
        xcb_flush(connection);
        return;
    }
    // The protocol's rectangles are 16-bit; nothing outside the window shows anyway.
    const std::int32_t limit = std::numeric_limits<std::int16_t>::max();
    const std::int32_t right = std::min(width, limit);
    const std::int32_t bottom = std::min(height, limit);
    std::vector<Rect> clipped;
    for (const Rect& r : deviceRegion->Rects()) {
        clipped.push_back(Rect{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, right),
                               std::min(r.bottom, bottom)});
    }
    const Region inside = Region::FromRects(clipped);
    std::vector<xcb_rectangle_t> rects;
    rects.reserve(inside.Rects().size());
    for (const Rect& r : inside.Rects()) {
        rects.push_back(xcb_rectangle_t{static_cast<std::int16_t>(r.left), static_cast<std::int16_t>(r.top),
                                        static_cast<std::uint16_t>(r.right - r.left),
                                        static_cast<std::uint16_t>(r.bottom - r.top)});
    }
    // No rectangles at all is the empty shape: nothing shows, nothing takes clicks.
    xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_YX_BANDED,
                         window, 0, 0, static_cast<std::uint32_t>(rects.size()), rects.data());
    xcb_flush(connection);
}

PositionKeeper::PositionKeeper(QWidget& window) : window_(window), connection_(Connection()) {
    if (connection_ != nullptr) qGuiApp->installNativeEventFilter(this);
}

PositionKeeper::~PositionKeeper() {
    if (connection_ != nullptr && qGuiApp != nullptr) qGuiApp->removeNativeEventFilter(this);
}

bool PositionKeeper::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const bool synthetic = (event->response_type & 0x80) != 0;
    const auto ours = static_cast<xcb_window_t>(window_.winId());
    switch (event->response_type & 0x7F) {
    case XCB_REPARENT_NOTIFY:
        if (reinterpret_cast<const xcb_reparent_notify_event_t*>(event)->window == ours) {
            WatchFrame();
            ScheduleSync();
        }
        break;
    case XCB_MAP_NOTIFY:
        if (reinterpret_cast<const xcb_map_notify_event_t*>(event)->window == ours) ScheduleSync();
        break;
    case XCB_CONFIGURE_NOTIFY: {
        // Synthetic ones carry the true position already (ours among them).
        const xcb_window_t window = reinterpret_cast<const xcb_configure_notify_event_t*>(event)->window;
        if (!synthetic && (window == ours || (window == frame_ && frame_ != ours))) ScheduleSync();
        break;
    }
    default:
        break;
    }
    return false;
}

void PositionKeeper::WatchFrame() {
    const xcb_window_t frame = TopLevelOf(connection_, static_cast<xcb_window_t>(window_.winId()));
    if (frame == frame_) return;
    frame_ = frame;
    if (frame_ == static_cast<xcb_window_t>(window_.winId())) return;  // no window manager's frame
    Hear(connection_, frame_, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
}

void PositionKeeper::ScheduleSync() {
    if (syncPending_) return;
    syncPending_ = true;
    // After Qt has handled the event at hand, which may set a stale position.
    QTimer::singleShot(0, &window_, [this] {
        syncPending_ = false;
        Sync();
    });
}

void PositionKeeper::Sync() {
    const auto ours = static_cast<xcb_window_t>(window_.winId());
    const std::optional<QPoint> where = OriginOnScreen(connection_, ours);
    const auto geometry = Adopt(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, ours), nullptr));
    if (!where || !geometry) return;

    xcb_configure_notify_event_t notify{};
    notify.response_type = XCB_CONFIGURE_NOTIFY;
    notify.event = ours;
    notify.window = ours;
    notify.above_sibling = XCB_NONE;
    notify.x = static_cast<std::int16_t>(where->x());
    notify.y = static_cast<std::int16_t>(where->y());
    notify.width = geometry->width;
    notify.height = geometry->height;
    notify.border_width = geometry->border_width;
    char wire[32] = {};  // every event on the wire is 32 bytes
    static_assert(sizeof notify <= sizeof wire);
    std::memcpy(wire, &notify, sizeof notify);
    xcb_send_event(connection_, 0, ours, XCB_EVENT_MASK_STRUCTURE_NOTIFY, wire);
    xcb_flush(connection_);
}

}  // namespace tw::qt::x11
