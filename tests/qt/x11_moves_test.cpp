// The choice between the window manager's move and our own two, against what
// a root window can say of its window manager.
#include "platform/qt/x11/moves.h"

#include <gtest/gtest.h>

#include <vector>

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

}  // namespace
}  // namespace tw::qt::x11
