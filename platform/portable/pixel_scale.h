// Display scale: from the layout's 96-dpi pixels to device pixels.
//
// At a scale s (dpi / 96) the edge between picture pixels x - 1 and x lands
// on the device edge Edge(x) = round(x * s), halves rounded up. Picture pixel
// x therefore covers the device pixels [Edge(x), Edge(x + 1)): the pixels
// tile the device with no gap and no overlap, at integer scales each is an
// s x s block, and a picture and its outline scaled by the same mapping agree
// pixel for pixel, so no white edge pixel shows and no drawn one is cut.
// Regions and the region data file stay in picture pixels; only the adapter
// that hands a region or a picture to the window system maps them.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/portable/picture.h"
#include "platform/portable/region.h"

namespace tw {

class PixelScale {
public:
    PixelScale() = default;
    // A factor that is not finite and above zero is taken as 1.
    explicit PixelScale(double factor);
    static PixelScale FromDpi(int dpi);

    double Factor() const { return factor_; }
    bool IsIdentity() const { return factor_ == 1.0; }
    // Saturates at the ends of the 32-bit range.
    std::int32_t Edge(std::int32_t x) const;
    Rect Map(const Rect& r) const { return {Edge(r.left), Edge(r.top), Edge(r.right), Edge(r.bottom)}; }

    friend bool operator==(const PixelScale&, const PixelScale&) = default;

private:
    double factor_ = 1.0;
};

inline constexpr int kLayoutDpi = 96;

Region ScaleRegion(const Region& region, PixelScale scale);

// For each device column (or row) that the first `count` picture columns
// cover, the picture column it lies in.
std::vector<std::int32_t> SourceIndex(std::int32_t count, PixelScale scale);

// Nearest neighbour through the same mapping: no colour is ever blended, so
// the colour key stays exact. RuntimeError 7 beyond what a window can show.
Bitmap ScaleBitmap(const Bitmap& bitmap, PixelScale scale);

}  // namespace tw
