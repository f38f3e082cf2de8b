// How every adapter turns the desktop's input, timers and screen into what
// the handlers of ui.h and the start-up (startup.h) work with: each rule
// once, with no desktop in sight, so that both adapters follow the same one
// and unit tests check it. The display scale's mapping is pixel_scale.h's.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>

#include "platform/portable/layout.h"
#include "platform/portable/pixel_scale.h"
#include "platform/portable/region.h"
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

// Where a window of `length` device pixels starts when centred along an area
// of the screen: the floor of half the room, as Windows centres, so both
// builds stand on the same device pixel at every scale (also when the window
// is larger than the area).
constexpr std::int32_t CentredStart(std::int32_t areaStart, std::int32_t areaLength, std::int32_t length) {
    const std::int64_t room = std::int64_t{areaLength} - length;
    const std::int64_t start = areaStart + (room >= 0 ? room / 2 : -((1 - room) / 2));
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(start, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

struct DevicePoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const DevicePoint&, const DevicePoint&) = default;
};

struct DeviceSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const DeviceSize&, const DeviceSize&) = default;
};

// Where a window of a size, frame included, first stands on a screen, all in
// device pixels: centred on the whole screen, not its work area, as Windows
// centres; or at the screen's top left corner.
constexpr DevicePoint FirstPosition(const Rect& screen, DeviceSize window, bool centred) {
    if (!centred) return {screen.left, screen.top};
    return {CentredStart(screen.left, screen.right - screen.left, window.width),
            CentredStart(screen.top, screen.bottom - screen.top, window.height)};
}

// A screen as a move across screens sees it: its area in device pixels and
// its own display scale.
struct ScaledScreen {
    Rect area;
    PixelScale scale;
};

// Where a window built from a layout of width x height goes while the
// pointer drags it, in device pixels: at the scale of the screen under the
// pointer, with the picture point `held` (layout pixels, fractions kept) under
// the pointer. Window systems take a window to be on the screen that holds
// its centre (the middle pixel, rounding down), and rescale it there; so the
// window is shifted as little as needed to have its centre on the pointer's
// screen, or a window whose resizing carries its centre back over the edge
// would rescale to and fro. Off every screen, the first one's scale.
Rect PlaceUnderPointer(std::span<const ScaledScreen> screens, DeviceSize layout, DevicePoint pointer,
                       double heldX, double heldY);

}  // namespace tw
