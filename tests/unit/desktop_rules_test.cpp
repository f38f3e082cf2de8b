// The rules both adapters follow when they hand the desktop's input, timers,
// colours and bytes to the portable code.
#include "platform/ports/desktop_rules.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>

#include "platform/portable/byte_order.h"
#include "platform/portable/picture.h"
#include "platform/portable/pixel_scale.h"

namespace tw {
namespace {

TEST(DesktopRules, ShiftIsTheSumOfTheKeysHeld) {
    struct Case {
        bool shift, control, alt;
        std::int16_t expected;
    };
    for (const Case& c : {Case{false, false, false, 0}, Case{true, false, false, 1}, Case{false, true, false, 2},
                          Case{false, false, true, 4}, Case{true, true, true, 7}, Case{true, false, true, 5}}) {
        EXPECT_EQ(ShiftState(c.shift, c.control, c.alt), c.expected) << c.shift << c.control << c.alt;
    }
}

TEST(DesktopRules, PositionsAreFifteenTwipsToALayoutPixel) {
    EXPECT_FLOAT_EQ(LayoutPixelsToTwips(90.0f), 1350.0f);
    EXPECT_FLOAT_EQ(LayoutPixelsToTwips(0.5f), 7.5f);
    EXPECT_FLOAT_EQ(LayoutPixelsToTwips(-2.0f), -30.0f);
}

TEST(DesktopRules, ATimerTicksOnlyWhenEnabledWithAnIntervalAndNeverBelowTheFloor) {
    struct Case {
        TimerLayout timer;
        bool ticks;
        int periodMs;
    };
    for (const Case& c : {Case{{"Timer1", 1, true}, true, kMinTimerPeriodMs},
                          Case{{"AtFloor", 10, true}, true, 10},
                          Case{{"Slow", 1000, true}, true, 1000},
                          Case{{"Zero", 0, true}, false, kMinTimerPeriodMs},
                          Case{{"Negative", -5, true}, false, kMinTimerPeriodMs},
                          Case{{"Off", 20, false}, false, 20}}) {
        const TimerSchedule schedule = ScheduleOf(c.timer);
        EXPECT_EQ(schedule.ticks, c.ticks) << c.timer.name;
        EXPECT_EQ(schedule.periodMs, c.periodMs) << c.timer.name;
    }
}

TEST(DesktopRules, CentringFloorsHalfTheRoomInDevicePixels) {
    struct Case {
        const char* name;
        std::int32_t areaStart, areaLength, length, start;
    };
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    // The gadget (183 x 211 at 96 dpi) on a 1024 x 768 screen at each scale.
    for (const double factor : {1.0, 1.25, 1.5, 2.0}) {
        const PixelScale scale(factor);
        const std::int32_t w = scale.Edge(183), h = scale.Edge(211);
        EXPECT_EQ(CentredStart(0, 1024, w), (1024 - w) / 2) << factor;
        EXPECT_EQ(CentredStart(0, 768, h), (768 - h) / 2) << factor;
    }
    for (const Case& c : {Case{"200 %: 329, which no logical pixel reaches", 0, 1024, 366, 329},
                          Case{"125 %: 795 left over", 0, 1024, 229, 397},
                          Case{"on a second monitor", 1920, 1280, 275, 2422},
                          Case{"on a monitor left of the primary", -1280, 1280, 275, -778},
                          Case{"a window wider than the area by an odd amount", 0, 100, 103, -2},
                          Case{"a window wider than the area by an even amount", 0, 100, 104, -2},
                          Case{"no room at all", 10, 50, 50, 10},
                          Case{"beyond the 32-bit range", kMax, kMax, 0, kMax},
                          Case{"below the 32-bit range", kMin, 0, kMax, kMin}}) {
        EXPECT_EQ(CentredStart(c.areaStart, c.areaLength, c.length), c.start) << c.name;
    }
    // Where the window first stands: centred on the whole screen, or at its top left corner.
    const Rect second{1920, 0, 3200, 1024};
    EXPECT_EQ(FirstPosition(second, DeviceSize{275, 317}, true), (DevicePoint{2422, 353}));
    EXPECT_EQ(FirstPosition(second, DeviceSize{275, 317}, false), (DevicePoint{1920, 0}));
}

TEST(DesktopRules, ADraggedWindowHoldsItsPictureUnderThePointerWithItsCentreOnThePointersScreen) {
    // Two screens side by side, at 200 % and 100 %, and the 183x211 layout.
    const std::array<ScaledScreen, 2> screens{ScaledScreen{Rect{0, 0, 1280, 800}, PixelScale(2.0)},
                                              ScaledScreen{Rect{1280, 0, 2560, 800}, PixelScale(1.0)}};
    struct Case {
        const char* name;
        DevicePoint pointer;
        double heldX, heldY;
        Rect expected;
    };
    for (const Case& c : {
             Case{"on the 200 % screen", {700, 400}, 90.5, 70.5, {519, 259, 885, 681}},
             Case{"on the 100 % screen", {1800, 400}, 90.5, 70.5, {1710, 330, 1893, 541}},
             // Held left of its middle, the window would have its centre over the edge;
             // it is kept a few pixels inside, where no rounding puts it across:
             Case{"by the edge, centre kept on the 200 % screen", {1250, 400}, 20.5, 70.5, {1093, 259, 1459, 681}},
             Case{"by the edge, centre kept on the 100 % screen", {1290, 400}, 160.5, 70.5, {1193, 330, 1376, 541}},
             Case{"off every screen, at the first one's scale", {3000, 400}, 90.5, 70.5, {2819, 259, 3185, 681}},
         }) {
        EXPECT_EQ(PlaceUnderPointer(screens, DeviceSize{183, 211}, c.pointer, c.heldX, c.heldY), c.expected) << c.name;
    }
}

TEST(DesktopRules, ColoursUnpackFromBgrToRgbOrder) {
    EXPECT_EQ(ToXrgb(0x00112233u), 0x00332211u);
    EXPECT_EQ(ToXrgb(0x000000FFu), 0x00FF0000u) << "red";
    EXPECT_EQ(ToXrgb(0x00FF0000u), 0x000000FFu) << "blue";
    EXPECT_EQ(ToXrgb(0x80000000u | 0x00FFFFFFu), 0x00FFFFFFu) << "the top byte is no colour";
    EXPECT_EQ(SystemColourIndex(kColourHighlightText), 14);
}

TEST(DesktopRules, IntegersAreLittleEndianWhateverTheHost) {
    const std::array<std::uint8_t, 4> bytes{0x78, 0x56, 0x34, 0xF2};
    EXPECT_EQ(ReadU16Le(bytes.data()), 0x5678u);
    EXPECT_EQ(ReadU32Le(bytes.data()), 0xF2345678u);
    EXPECT_EQ(ReadI32Le(bytes.data()), static_cast<std::int32_t>(0xF2345678u));
    std::array<std::uint8_t, 4> written{};
    WriteI32Le(written.data(), -2);
    EXPECT_EQ(written, (std::array<std::uint8_t, 4>{0xFE, 0xFF, 0xFF, 0xFF}));
    WriteU32Le(written.data(), 0xF2345678u);
    EXPECT_EQ(written, bytes);
}

}  // namespace
}  // namespace tw
