// The display-scale mapping that both adapters hand the picture and its
// outline to the window system through.
#include "platform/portable/pixel_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "assets/embedded.h"
#include "platform/portable/errors.h"
#include "shaping/colour_key_scan.h"
#include "tests/support/shipped_picture.h"

namespace tw {
namespace {

using testing::OutlineOf;
using testing::ShippedPicture;

// The device pixels that the non-white picture pixels cover, united: the
// scaled outline found without ScaleRegion or ScaleBitmap, so that even at
// scale 1, where both return at once, the mapping is checked.
Region MappedNonWhitePixels(const Bitmap& bitmap, PixelScale scale) {
    std::vector<Rect> covered;
    for (std::int32_t y = 0; y < bitmap.Height(); ++y) {
        for (std::int32_t x = 0; x < bitmap.Width(); ++x) {
            if (bitmap.Pixel(x, y) != kWhite) covered.push_back(scale.Map(Rect{x, y, x + 1, y + 1}));
        }
    }
    return Region::FromRects(covered);
}

class ScaledOutline : public ::testing::TestWithParam<double> {};

TEST_P(ScaledOutline, IsExactlyWhatTheScaledPictureDrawsFromNonWhitePixels) {
    const PixelScale scale(GetParam());
    const Bitmap scaled = ScaleBitmap(ShippedPicture(), scale);
    EXPECT_EQ(scaled.Width(), std::lround(179 * GetParam()));
    EXPECT_EQ(scaled.Height(), std::lround(210 * GetParam()));

    const Region outline = ScaleRegion(OutlineOf(ShippedPicture()), scale);
    EXPECT_TRUE(outline.IsCanonical());
    EXPECT_EQ(outline, OutlineOf(scaled));
    EXPECT_EQ(outline, MappedNonWhitePixels(ShippedPicture(), scale));

    const double grown = static_cast<double>(OutlineOf(ShippedPicture()).Area()) * GetParam() * GetParam();
    EXPECT_NEAR(static_cast<double>(outline.Area()), grown, grown * 0.01);
}

TEST_P(ScaledOutline, PicturePixelsTileTheDeviceWithNoGapOrOverlap) {
    const PixelScale scale(GetParam());
    std::vector<Rect> pixels;
    std::int64_t summed = 0;
    for (std::int32_t y = 0; y < 40; ++y) {
        for (std::int32_t x = 0; x < 40; ++x) {
            pixels.push_back(scale.Map(Rect{x, y, x + 1, y + 1}));
            const Rect& r = pixels.back();
            summed += std::int64_t{r.right - r.left} * (r.bottom - r.top);
        }
    }
    const Region united = Region::FromRects(pixels);
    EXPECT_EQ(united, Region::FromRect(0, 0, scale.Edge(40), scale.Edge(40)));  // no gap
    EXPECT_EQ(united.Area(), summed);                                            // no overlap
    if (GetParam() == std::floor(GetParam())) {
        const auto s = static_cast<std::int32_t>(GetParam());
        EXPECT_EQ(pixels[41], (Rect{s, s, 2 * s, 2 * s})) << "an s x s block at integer scales";
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, ScaledOutline, ::testing::Values(1.0, 1.25, 1.5, 1.75, 2.0, 3.0));

TEST(PixelScale, EdgesRoundHalvesUpAndSaturate) {
    struct Case {
        double factor;
        std::int32_t x;
        std::int32_t edge;
    };
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    for (const Case& c : {Case{1.5, 183, 275}, Case{1.5, 211, 317}, Case{1.25, 2, 3}, Case{1.25, -2, -2},
                          Case{2.0, kMax, kMax}, Case{2.0, kMin, kMin}, Case{0.5, 3, 2},
                          // Settings no display can have fall back to one to one.
                          Case{0.0, 7, 7}, Case{-2.0, 7, 7}, Case{std::nan(""), 7, 7},
                          Case{std::numeric_limits<double>::infinity(), 7, 7}}) {
        EXPECT_EQ(PixelScale(c.factor).Edge(c.x), c.edge) << c.factor << " " << c.x;
    }
    EXPECT_EQ(PixelScale::FromDpi(144), PixelScale(1.5));
    EXPECT_EQ(PixelScale::FromDpi(0), PixelScale());
}

TEST(PixelScale, APictureNoWindowCouldShowIsOutOfMemory) {
    try {
        ScaleBitmap(ShippedPicture(), PixelScale(3000.0));
        FAIL() << "scaled to 537000 x 630000 pixels";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), err::kOutOfMemory);
    }
}

TEST(PixelScale, BelowOneKeepsTheRegionCanonical) {
    const Region checkers = Region::FromRects(std::vector<Rect>{{0, 0, 1, 1}, {2, 0, 3, 1}, {1, 1, 2, 2}});
    const Region scaled = ScaleRegion(checkers, PixelScale(0.5));
    EXPECT_TRUE(scaled.IsCanonical());
    EXPECT_EQ(scaled, Region::FromRect(0, 0, 2, 1));
}

}  // namespace
}  // namespace tw
