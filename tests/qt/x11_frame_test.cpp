// What the window does to its window manager's frame, against what the
// server can say of that frame: its shape, and its shadow.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "platform/qt/x11/frame_shape.h"
#include "platform/qt/x11/shadow_keeper.h"

namespace tw::qt::x11 {
namespace {

TEST(X11Frame, TheOutlineGoesOnlyOnAFrameItsManagerLeavesUnshaped) {
    const Region outline = Region::FromRect(4, 22, 10, 30);
    const Region moved = Region::FromRect(4, 30, 10, 38);
    const Region managers = Region::FromRect(0, 0, 20, 40);
    const std::optional<Region> none;
    using enum FrameShapeStep;
    struct Case {
        const char* name;
        FrameShapeSeen seen;
        std::optional<Region> wanted;
        FrameShapeStep step;
    };
    const Case cases[] = {
        {"no frame: the window's own shape shows", {false, false, none, none}, outline, Leave},
        {"an unshaped frame (herbstluftwm, spectrwm) gets the outline", {true, false, none, none}, outline, Shape},
        {"an unshaped frame over an unshaped window stays so", {true, false, none, none}, none, Leave},
        {"a frame its manager shapes (openbox, KWin, twm)", {true, false, none, managers}, outline, GiveUp},
        {"the frame still has our shape", {true, true, outline, outline}, outline, Leave},
        {"the window moved in the frame", {true, true, outline, outline}, moved, Shape},
        {"the window lost its outline", {true, true, outline, outline}, none, Shape},
        {"we took the shape away and it stays away", {true, true, none, none}, none, Leave},
        {"the manager shaped the frame after us", {true, true, outline, managers}, outline, GiveUp},
        {"the manager took our shape away", {true, true, outline, none}, outline, GiveUp},
        {"the manager shaped a frame we left unshaped", {true, true, none, managers}, none, GiveUp},
    };
    for (const Case& c : cases) EXPECT_EQ(NextFrameShapeStep(c.seen, c.wanted), c.step) << c.name;
}

TEST(X11Frame, PicomIsAskedOnTheFrameUnlessItHasAnAnswer) {
    constexpr xcb_window_t kOurs = 0x600006;
    constexpr xcb_window_t kFrame = 0x4000a3;
    struct Case {
        const char* name;
        xcb_window_t topLevel;
        bool topLevelHasOne;
        bool asked;
    };
    const Case cases[] = {
        {"no frame: the window asked before it mapped", kOurs, true, false},
        {"a frame without one", kFrame, false, true},
        {"a frame with one of its own", kFrame, true, false},
    };
    for (const Case& c : cases) EXPECT_EQ(AsksFrameForNoShadow(kOurs, c.topLevel, c.topLevelHasOne), c.asked) << c.name;
}

TEST(X11Frame, RetellingTheOpacityLeavesItAsItWas) {
    struct Case {
        const char* name;
        std::vector<std::uint32_t> current;
        OpacityRetelling retelling;
    };
    const Case cases[] = {
        {"none: full opacity, then none again", {}, {0xFFFFFFFF, true}},
        {"one set (transset): the same again", {0x80000000}, {0x80000000, false}},
    };
    for (const Case& c : cases) EXPECT_EQ(RetellingOf(c.current), c.retelling) << c.name;
}

}  // namespace
}  // namespace tw::qt::x11
