#include "platform/qt/display_check.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <vector>
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

// Qt's rule for -platform and QT_QPA_PLATFORM: platforms separated by ';',
// tried in order until one opens, each maybe with options after ':'.
std::vector<std::string> PlatformNames(const std::string& list) {
    std::vector<std::string> names;
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(';', start), list.size());
        const std::string entry = list.substr(start, end - start);
        const std::string name = entry.substr(0, entry.find(':'));
        if (!name.empty()) names.push_back(name);
        start = end + 1;
    }
    return names;
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

// Why a platform cannot open, or "" when it can (or when it is neither
// X11 nor Wayland, which Qt is left to judge).
std::string Unavailable(const std::string& platform, const std::string& display) {
    if (platform.starts_with("wayland")) {
        const std::string socket = WaylandSocket();
        return IsSocket(socket) ? "" : "no Wayland display (no compositor's socket at " + socket + ")";
    }
    if (platform != "xcb") return "";
    if (display.empty()) return "no X11 display (DISPLAY is unset)";
    return CanOpenX11(display) ? "" : "cannot open the X11 display \"" + display + "\"";
}

}  // namespace

std::string MissingDisplay(int argc, char** argv) {
    std::string list = Option(argc, argv, "platform");
    if (list.empty()) list = Environment("QT_QPA_PLATFORM");
    std::string display = Option(argc, argv, "display");
    if (display.empty()) display = Environment("DISPLAY");

    const std::vector<std::string> platforms = PlatformNames(list);
    if (platforms.empty()) {
        // Qt's own choice: Wayland where a compositor is named, else X11.
        if (!Environment("WAYLAND_DISPLAY").empty()) return "";
        if (display.empty()) return "no X11 or Wayland display (DISPLAY and WAYLAND_DISPLAY are unset)";
        return Unavailable("xcb", display);
    }
    std::string reasons;
    for (const std::string& platform : platforms) {
        const std::string reason = Unavailable(platform, display);
        if (reason.empty()) return "";
        reasons += (reasons.empty() ? "" : "; ") + reason;
    }
    return reasons;
}

}  // namespace tw::qt
