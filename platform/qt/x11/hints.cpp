#include "platform/qt/x11/hints.h"

#include <algorithm>
#include <vector>

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
    xcb_flush(connection);
}

void MoveTo(xcb_window_t window, QPoint device) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || window == XCB_NONE) return;
    const std::uint32_t where[] = {static_cast<std::uint32_t>(device.x()), static_cast<std::uint32_t>(device.y())};
    xcb_configure_window(connection, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, where);
    xcb_flush(connection);
}

}  // namespace tw::qt::x11
