#include "platform/qt/display_check.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <string_view>
#include <sys/stat.h>

namespace tw::qt {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Qt's own command-line option (-name value or --name value), else "".
std::string Option(int argc, char** argv, std::string_view name) {
    for (int i = 1; i + 1 < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg.starts_with("--")) arg.remove_prefix(1);
        if (arg.size() == name.size() + 1 && arg.substr(1) == name) return argv[i + 1];
    }
    return "";
}

bool CanOpenX11(const std::string& display) {
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool opened = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return opened;
}

// libwayland's rule: WAYLAND_DISPLAY (default wayland-0) names a socket in
// XDG_RUNTIME_DIR unless it is a path.
std::string WaylandSocket() {
    std::string name = Environment("WAYLAND_DISPLAY");
    if (name.empty()) name = "wayland-0";
    return name.front() == '/' ? name : Environment("XDG_RUNTIME_DIR") + "/" + name;
}

bool IsSocket(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

}  // namespace

std::string MissingDisplay(int argc, char** argv) {
    std::string platform = Option(argc, argv, "platform");
    if (platform.empty()) platform = Environment("QT_QPA_PLATFORM");
    platform = platform.substr(0, platform.find_first_of(";:"));  // the first choice, without its options
    if (platform.starts_with("wayland")) {
        const std::string socket = WaylandSocket();
        return IsSocket(socket) ? "" : "no Wayland display (no compositor's socket at " + socket + ")";
    }
    if (!platform.empty() && platform != "xcb") return "";
    if (platform.empty() && !Environment("WAYLAND_DISPLAY").empty()) return "";

    std::string display = Option(argc, argv, "display");
    if (display.empty()) display = Environment("DISPLAY");
    if (display.empty()) {
        return platform.empty() ? "no X11 or Wayland display (DISPLAY and WAYLAND_DISPLAY are unset)"
                                : "no X11 display (DISPLAY is unset)";
    }
    return CanOpenX11(display) ? "" : "cannot open the X11 display \"" + display + "\"";
}

}  // namespace tw::qt
