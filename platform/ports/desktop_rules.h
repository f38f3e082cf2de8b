// How every adapter turns the desktop's input and timers into what the
// handlers of ui.h receive: each rule once, with no desktop in sight, so
// that both adapters follow the same one and unit tests check it.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/portable/layout.h"
#include "platform/ports/ui.h"

namespace tw {

constexpr std::int16_t ShiftState(bool shift, bool control, bool alt) {
    return static_cast<std::int16_t>((shift ? vbShiftMask : 0) | (control ? vbCtrlMask : 0) |
                                     (alt ? vbAltMask : 0));
}

// Form_MouseDown's X and Y are twips: 15 to a layout pixel (a 96-dpi pixel),
// whatever the display scale, so a point of the picture always reads the same.
inline constexpr float kTwipsPerLayoutPixel = 15.0f;

constexpr float LayoutPixelsToTwips(float layoutPixels) { return layoutPixels * kTwipsPerLayoutPixel; }

// Ticks are never delivered closer together than this, whatever the layout
// asks: the Windows window system clamps a 1 ms timer the same way.
inline constexpr int kMinTimerPeriodMs = 10;

struct TimerSchedule {
    bool ticks;    // a disabled timer, or one of interval 0, never ticks
    int periodMs;  // the interval, raised to the floor
};

constexpr TimerSchedule ScheduleOf(const TimerLayout& timer) {
    return {timer.enabled && timer.intervalMs > 0, std::max(timer.intervalMs, kMinTimerPeriodMs)};
}

}  // namespace tw
