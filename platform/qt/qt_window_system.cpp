#include <QCursor>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

#include "platform/qt/qt_form.h"
#include "platform/window_system.h"

namespace tw {
namespace {

QWidget* FindWindow(WindowHandle handle) {
    return handle == 0 ? nullptr : QWidget::find(static_cast<WId>(handle));
}

// Asks an X11 window manager for its interactive move, from the pointer's
// position as the server has it. Qt's own request starts from where Qt
// believes the window is, which is stale for a while after the window
// manager reparents the window, and the window then jumps by its position.
bool StartX11Move(xcb_window_t window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr) return false;  // not on X11
    static constexpr char kName[] = "_NET_WM_MOVERESIZE";
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof kName - 1, kName), nullptr),
        &std::free);
    if (!atom) return false;

    // In device pixels, as the server has it: Qt's idea is in logical ones.
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    std::unique_ptr<xcb_query_pointer_reply_t, decltype(&std::free)> pointer(
        xcb_query_pointer_reply(connection, xcb_query_pointer(connection, root), nullptr), &std::free);
    if (!pointer) return false;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom->atom;
    event.data.data32[0] = static_cast<std::uint32_t>(pointer->root_x);
    event.data.data32[1] = static_cast<std::uint32_t>(pointer->root_y);
    event.data.data32[2] = 8;  // _NET_WM_MOVERESIZE_MOVE
    event.data.data32[3] = 1;  // the left button
    event.data.data32[4] = 1;  // asked for by an application
    // The window manager grabs the pointer itself; our implicit grab would stop it.
    xcb_ungrab_pointer(connection, XCB_CURRENT_TIME);
    xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
    return true;
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
        if (!StartX11Move(static_cast<xcb_window_t>(widget->winId())))
            widget->windowHandle()->startSystemMove();  // Wayland and the rest
        return 0;
    }
};

}  // namespace

WindowSystem& DesktopWindowSystem() {
    static QtWindowSystem windowSystem;
    return windowSystem;
}

}  // namespace tw
