#include "platform/portable/pixel_scale.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/portable/errors.h"

namespace tw {

PixelScale::PixelScale(double factor) {
    if (std::isfinite(factor) && factor > 0.0) factor_ = factor;
}

PixelScale PixelScale::FromDpi(int dpi) {
    return dpi > 0 ? PixelScale(static_cast<double>(dpi) / kLayoutDpi) : PixelScale();
}

std::int32_t PixelScale::Edge(std::int32_t x) const {
    const double edge = std::floor(static_cast<double>(x) * factor_ + 0.5);
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(edge < kMin ? kMin : edge > kMax ? kMax : edge);
}

std::vector<std::int32_t> SourceIndex(std::int32_t count, PixelScale scale) {
    std::vector<std::int32_t> index;
    for (std::int32_t x = 0; x < count; ++x) {
        const std::int32_t width = scale.Edge(x + 1) - scale.Edge(x);
        index.insert(index.end(), static_cast<std::size_t>(width), x);
    }
    return index;
}

Region ScaleRegion(const Region& region, PixelScale scale) {
    if (scale.IsIdentity()) return region;
    std::vector<Rect> rects;
    rects.reserve(region.Rects().size());
    for (const Rect& r : region.Rects()) rects.push_back(scale.Map(r));
    // Above 1 the mapping keeps the canonical form, which FromRects takes as
    // it is; below 1 pixels can vanish and neighbours touch, and it unites.
    return Region::FromRects(rects);
}

Bitmap ScaleBitmap(const Bitmap& bitmap, PixelScale scale) {
    if (scale.IsIdentity()) return bitmap;
    const std::uint64_t w = static_cast<std::uint64_t>(std::max<std::int32_t>(scale.Edge(bitmap.Width()), 0));
    const std::uint64_t h = static_cast<std::uint64_t>(std::max<std::int32_t>(scale.Edge(bitmap.Height()), 0));
    if (!WithinPixelCap(w, h)) throw ClassicError(err::kOutOfMemory);
    const std::vector<std::int32_t> columns = SourceIndex(bitmap.Width(), scale);
    const std::vector<std::int32_t> rows = SourceIndex(bitmap.Height(), scale);
    std::vector<Colour> pixels;
    pixels.reserve(columns.size() * rows.size());
    for (const std::int32_t y : rows)
        for (const std::int32_t x : columns) pixels.push_back(bitmap.Pixel(x, y));
    return Bitmap(static_cast<std::int32_t>(columns.size()), static_cast<std::int32_t>(rows.size()),
                  std::move(pixels));
}

}  // namespace tw
