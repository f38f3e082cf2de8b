// The choice between the window manager's move and our own, against what a
// root window can say of its window manager.
#include "platform/qt/x11/moves.h"

#include <gtest/gtest.h>

#include <vector>

namespace tw::qt::x11 {
namespace {

TEST(X11Move, TheWindowManagersMoveOnlyWhenARunningManagerListsIt) {
    constexpr xcb_atom_t kMoveResize = 301;
    constexpr xcb_window_t kCheck = 0x200005;
    struct Case {
        const char* name;
        xcb_window_t rootCheck;
        xcb_window_t checkOfCheck;
        std::vector<xcb_atom_t> supported;
        bool offered;
    };
    const Case cases[] = {
        {"listed by a running manager (openbox, xfwm4)", kCheck, kCheck, {300, kMoveResize, 302}, true},
        {"not listed (a manager without it)", kCheck, kCheck, {300, 302}, false},
        {"no manager at all (twm sets no check)", XCB_NONE, XCB_NONE, {}, false},
        {"a manager that died and left its list behind", kCheck, XCB_NONE, {kMoveResize}, false},
        {"a check window that names another", kCheck, kCheck + 1, {kMoveResize}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OffersInteractiveMove(c.rootCheck, c.checkOfCheck, c.supported, kMoveResize), c.offered) << c.name;
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
