#include "platform/ports/desktop_rules.h"

#include <cmath>

namespace tw {
namespace {

bool Holds(const Rect& area, DevicePoint p) {
    return p.x >= area.left && p.x < area.right && p.y >= area.top && p.y < area.bottom;
}

// Qt gives a window the screen its centre is on, reckoned in logical pixels
// at the scale the window had: a centre on the very edge can fall on either
// side by that rounding, and the window would flip between the two scales.
constexpr std::int32_t kCentreMargin = 4;

// The start of a window of `length` along one axis whose middle pixel must lie
// in [areaStart, areaEnd), kCentreMargin inside its ends, as near to `start`
// as that allows.
std::int32_t CentreWithin(std::int32_t start, std::int32_t length, std::int32_t areaStart, std::int32_t areaEnd) {
    const std::int32_t half = (length - 1) / 2;
    if (areaEnd - areaStart <= 2 * kCentreMargin) return start;
    return std::clamp(start, areaStart + kCentreMargin - half, areaEnd - 1 - kCentreMargin - half);
}

std::int32_t HeldOffset(double held, PixelScale scale) {
    const double offset = std::floor(held * scale.Factor());
    return std::isfinite(offset) ? static_cast<std::int32_t>(std::clamp(offset, -1e9, 1e9)) : 0;
}

}  // namespace

Rect PlaceUnderPointer(std::span<const ScaledScreen> screens, DeviceSize layout, DevicePoint pointer,
                       double heldX, double heldY) {
    const ScaledScreen* under = nullptr;
    for (const ScaledScreen& screen : screens) {
        if (Holds(screen.area, pointer)) {
            under = &screen;
            break;
        }
    }
    if (under == nullptr && !screens.empty()) under = &screens.front();
    const PixelScale scale = under != nullptr ? under->scale : PixelScale();
    const std::int32_t width = scale.Edge(layout.width);
    const std::int32_t height = scale.Edge(layout.height);
    std::int32_t left = pointer.x - HeldOffset(heldX, scale);
    std::int32_t top = pointer.y - HeldOffset(heldY, scale);
    if (under != nullptr && Holds(under->area, pointer)) {
        left = CentreWithin(left, width, under->area.left, under->area.right);
        top = CentreWithin(top, height, under->area.top, under->area.bottom);
    }
    return {left, top, left + width, top + height};
}

}  // namespace tw
