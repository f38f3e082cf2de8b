// The no-display check against Qt's list of platforms, with the environment
// set for each case: the gadget starts when any listed platform can open,
// and where none can, the one line says why each cannot.
#include "platform/qt/display_check.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_folder.h"

namespace tw {
namespace {

// A compositor's socket where a case has one; nothing need answer on it.
class ListeningSocket {
public:
    explicit ListeningSocket(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    }
    ~ListeningSocket() { ::close(fd_); }
    ListeningSocket(const ListeningSocket&) = delete;
    ListeningSocket& operator=(const ListeningSocket&) = delete;

private:
    int fd_;
};

void SetOrUnset(const char* name, const char* value) {
    if (value != nullptr) ::setenv(name, value, 1);
    else ::unsetenv(name);
}

// The variables the check reads, given back as they were.
class SavedEnvironment {
public:
    SavedEnvironment() {
        for (const char* name : kNames) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    ~SavedEnvironment() {
        for (const auto& [name, value] : saved_) SetOrUnset(name, value ? value->c_str() : nullptr);
    }

private:
    static constexpr const char* kNames[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"};
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST(DisplayCheck, TriesEachPlatformOfQtsListInTurn) {
    testing::TempFolder runtime;
    const std::string noCompositor = "no Wayland display (no compositor's socket at " + runtime.Path() + "/wayland-0)";
    struct Case {
        const char* platforms;      // QT_QPA_PLATFORM
        std::vector<const char*> arguments;
        bool compositor;
        const char* display;        // DISPLAY
        std::string missing;
        std::string waylandDisplay = {};  // WAYLAND_DISPLAY, and where the socket is
    };
    const std::string fullPath = runtime.Path() + "/elsewhere";
    const Case cases[] = {
        {"wayland;xcb", {}, false, nullptr, noCompositor + "; no X11 display (DISPLAY is unset)"},
        {"xcb;wayland", {}, true, nullptr, ""},
        {"xcb:fontengine=freetype;wayland", {}, false, ":987",
         "cannot open the X11 display \":987\"; " + noCompositor},
        {"wayland;offscreen", {}, false, nullptr, ""},
        {"offscreen", {"-platform", "wayland;xcb"}, true, nullptr, ""},
        {";;", {}, false, nullptr, "no X11 or Wayland display (DISPLAY and WAYLAND_DISPLAY are unset)"},
        // Qt takes its options with two dashes as well.
        {"xcb", {"--platform", "offscreen"}, false, nullptr, ""},
        {"xcb", {"--display", ":987"}, false, nullptr, "cannot open the X11 display \":987\""},
        // A WAYLAND_DISPLAY that is a path names the socket itself.
        {"wayland", {}, true, nullptr, "", fullPath},
    };
    const SavedEnvironment saved;
    ::setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    ::unsetenv("WAYLAND_DISPLAY");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.platforms);
        const std::string socketPath = c.waylandDisplay.empty() ? runtime.Path() + "/wayland-0" : c.waylandDisplay;
        auto socket = c.compositor ? std::make_unique<ListeningSocket>(socketPath) : nullptr;
        SetOrUnset("QT_QPA_PLATFORM", c.platforms);
        SetOrUnset("WAYLAND_DISPLAY", c.waylandDisplay.empty() ? nullptr : c.waylandDisplay.c_str());
        SetOrUnset("DISPLAY", c.display);
        std::vector<char*> argv{const_cast<char*>("tallowind")};
        for (const char* argument : c.arguments) argv.push_back(const_cast<char*>(argument));
        argv.push_back(nullptr);
        EXPECT_EQ(qt::MissingDisplay(static_cast<int>(argv.size()) - 1, argv.data()), c.missing);
        socket.reset();
        ::unlink(socketPath.c_str());
    }
}

}  // namespace
}  // namespace tw
