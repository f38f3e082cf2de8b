// The choice between the window manager's move and our own two, against what
// a root window can say of its window manager.
#include "platform/qt/x11/moves.h"

#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "platform/qt/x11/hints.h"
#include "platform/qt/x11/xcb.h"

namespace tw::qt::x11 {
namespace {

TEST(X11Move, EachMoveOnlyWhenARunningManagerListsIt) {
    constexpr xcb_atom_t kMoveResize = 301;
    constexpr xcb_atom_t kMoveRequest = 303;
    using enum MoveBy;
    constexpr xcb_window_t kCheck = 0x200005;
    struct Case {
        const char* name;
        xcb_window_t rootCheck;
        xcb_window_t checkOfCheck;
        std::vector<xcb_atom_t> supported;
        MoveBy move;
    };
    const Case cases[] = {
        {"listed by a running manager (openbox, xfwm4)", kCheck, kCheck, {300, kMoveResize, 302}, kWindowManager},
        {"both listed (fluxbox, icewm)", kCheck, kCheck, {kMoveRequest, 300, kMoveResize}, kWindowManager},
        {"only the move request listed (spectrwm, jwm)", kCheck, kCheck, {300, kMoveRequest}, kMoveResizeRequest},
        {"not listed (a manager without it)", kCheck, kCheck, {300, 302}, kConfigureWindow},
        {"no manager at all (twm sets no check)", XCB_NONE, XCB_NONE, {}, kConfigureWindow},
        {"a manager that died and left its list behind", kCheck, XCB_NONE, {kMoveResize}, kConfigureWindow},
        {"one that died listing the move request", kCheck, XCB_NONE, {kMoveRequest}, kConfigureWindow},
        {"a check window that names another", kCheck, kCheck + 1, {kMoveResize}, kConfigureWindow},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseMove(c.rootCheck, c.checkOfCheck, c.supported, kMoveResize, kMoveRequest), c.move) << c.name;
}

// On an X server with no manager (a private Xvfb), where a position asked for
// is taken as the outer corner, as managers that put their border on the
// window itself (bspwm, dwm, xmonad) take it: what shows must land on the
// point asked for, whether the border came before the request or, as those
// managers give it, after the request and before the window maps.
TEST(X11Position, TheVisibleAreaLandsWhereAskedWhateverTheBorder) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr) GTEST_SKIP() << "needs an X11 display";
    const auto setBorder = [connection](xcb_window_t window, std::uint32_t border) {
        xcb_configure_window(connection, window, XCB_CONFIG_WINDOW_BORDER_WIDTH, &border);
        xcb_flush(connection);
    };
    struct Case {
        const char* name;
        std::uint32_t borderFirst;   // before the window maps and the position is asked for
        std::uint32_t borderBefore;  // given after the request, before the window maps
        bool askWhenMapped;          // the own move, on a mapped window; else the first placement
        int shrunk = 0;              // taken off each side of the size as it maps (xmonad's float)
    };
    const Case cases[] = {
        {"no border, first placement", 0, 0, false},
        {"a border of 3 given after the first placement was asked for", 0, 3, false},
        {"a border of 2 there before the first placement", 2, 2, false},
        {"a border of 1 under the own move", 1, 1, true},
        {"a border of 1 given, and twice that taken off the size, as the window maps", 0, 1, false, 2},
    };
    const QPoint target(101, 57);
    for (const Case& c : cases) {
        QWidget window(nullptr, Qt::FramelessWindowHint);
        window.setFixedSize(40, 30);
        const auto id = static_cast<xcb_window_t>(window.winId());
        setBorder(id, c.borderFirst);
        if (c.askWhenMapped) {
            window.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&window)) << c.name;
            RequestPosition(id, target);
        } else {
            MoveTo(window, target, [] { return QSize(40, 30); });
            setBorder(id, c.borderBefore);
            window.show();
            const std::uint32_t shrunk[] = {40u - c.shrunk, 30u - c.shrunk};
            if (c.shrunk != 0) xcb_configure_window(connection, id, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, shrunk);
        }
        const bool landed = QTest::qWaitFor([&] { return OriginOnScreen(connection, id) == target; }, 5000);
        EXPECT_TRUE(landed) << c.name << ": at " << OriginOnScreen(connection, id).value_or(QPoint()).x() << ","
                            << OriginOnScreen(connection, id).value_or(QPoint()).y();
        EXPECT_TRUE(QTest::qWaitFor([&] { return SizeAtServer(connection, id) == QSize(40, 30); }, 5000)) << c.name;
    }
}

TEST(X11Move, AClickNeverReachesTheWindowManagerOnlyADragPastTheDistanceDoes) {
    struct Case {
        const char* name;
        QPoint to;
        bool past;
    };
    const QPoint press(500, 300);
    const Case cases[] = {
        {"a click: no motion", press, false},
        {"a tap whose pointer shook", press + QPoint(2, -1), false},
        {"just short of the distance", press + QPoint(-5, 4), false},
        {"the distance, diagonally", press + QPoint(6, -4), true},
        {"a drag", press + QPoint(-50, 30), true},
    };
    for (const Case& c : cases) EXPECT_EQ(PastDragDistance(press, c.to, 10), c.past) << c.name;
}

}  // namespace
}  // namespace tw::qt::x11
