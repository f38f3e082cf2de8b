// The rules both adapters follow when they hand the desktop's input, timers,
// colours and bytes to the portable code.
#include "platform/ports/desktop_rules.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "platform/portable/byte_order.h"
#include "platform/portable/picture.h"

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
