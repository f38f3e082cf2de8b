// The picture drawn larger, shown at a display scale with the outline the
// picture itself has.
#include "platform/portable/renditions.h"

#include <gtest/gtest.h>

#include <vector>

#include "assets/embedded.h"
#include "platform/portable/errors.h"
#include "shaping/colour_key_scan.h"
#include "tests/support/shipped_picture.h"

namespace tw {
namespace {

constexpr Colour kBlack = 0;

using testing::OutlineOf;
using testing::ShippedPicture;

// A 200 % drawing whose outline is off by three device pixels from the
// picture's, so it is white inside the outline and drawn outside it.
Bitmap ShiftedRendition() {
    const Bitmap big = ScaleBitmap(ShippedPicture(), PixelScale(2.0));
    std::vector<Colour> pixels;
    for (std::int32_t y = 0; y < big.Height(); ++y)
        for (std::int32_t x = 0; x < big.Width(); ++x) pixels.push_back(x >= 3 ? big.Pixel(x - 3, y) : kWhite);
    return Bitmap(big.Width(), big.Height(), std::move(pixels));
}

class ShownPicture : public ::testing::TestWithParam<double> {};

TEST_P(ShownPicture, IsWhiteExactlyWhereTheScaledPictureIs) {
    const PixelScale scale(GetParam());
    const Bitmap rendition = ShiftedRendition();
    const Bitmap shown = ScalePicture(ShippedPicture(), kWhite, &rendition, 2.0, scale);
    EXPECT_EQ(shown.Width(), scale.Edge(179));
    EXPECT_EQ(shown.Height(), scale.Edge(210));
    EXPECT_EQ(OutlineOf(shown), ScaleRegion(OutlineOf(ShippedPicture()), scale));
}

INSTANTIATE_TEST_SUITE_P(Scales, ShownPicture, ::testing::Values(1.0, 1.25, 1.5, 1.75, 2.0, 3.0));

TEST(ShownPicture, AtItsOwnScaleIsTheRenditionItself) {
    const Bitmap rendition = ScaleBitmap(ShippedPicture(), PixelScale(2.0));
    const Bitmap shown = ScalePicture(ShippedPicture(), kWhite, &rendition, 2.0, PixelScale(2.0));
    for (std::int32_t y = 0; y < rendition.Height(); ++y)
        for (std::int32_t x = 0; x < rendition.Width(); ++x) ASSERT_EQ(shown.Pixel(x, y), rendition.Pixel(x, y));
}

// A 200 % drawing, all black, with columns and rows more or fewer than the
// picture's at 200 %.
Bitmap BlackDrawing(std::int32_t extraColumns, std::int32_t extraRows) {
    const std::int32_t width = PixelScale(2.0).Edge(179) + extraColumns;
    const std::int32_t height = PixelScale(2.0).Edge(210) + extraRows;
    return Bitmap(width, height, std::vector<Colour>(static_cast<std::size_t>(width) * height, kBlack));
}

TEST(ShownPicture, ARenditionThatCannotBeShownLeavesThePictureEnlarged) {
    static const std::uint8_t bytes[] = {0x89, 'P', 'N', 'G'};
    const PictureRendition renditions[] = {{2.0, bytes}};
    // Bytes that do not decode, and drawings wrong in one dimension only.
    const PngDecoder decoders[] = {
        [](std::span<const std::uint8_t>) -> std::optional<Bitmap> { return std::nullopt; },
        [](std::span<const std::uint8_t>) -> std::optional<Bitmap> { return BlackDrawing(1, 0); },
        [](std::span<const std::uint8_t>) -> std::optional<Bitmap> { return BlackDrawing(0, -1); }};
    const Bitmap enlarged = ScaleBitmap(ShippedPicture(), PixelScale(1.5));
    for (const PngDecoder decode : decoders) {
        const Bitmap shown = ShowPicture(ShippedPicture(), kWhite, renditions, PixelScale(1.5), decode);
        ASSERT_EQ(shown.Width(), enlarged.Width());
        for (std::int32_t y = 0; y < shown.Height(); ++y)
            for (std::int32_t x = 0; x < shown.Width(); ++x) ASSERT_EQ(shown.Pixel(x, y), enlarged.Pixel(x, y));
    }
}

TEST(Resample, AveragesAreasWhenShrinkingAndBlendsWhenEnlarging) {
    struct Case {
        std::vector<Colour> source;  // one row
        double sourceScale;
        double scale;
        std::vector<Colour> expected;
    };
    const Case cases[] = {
        {{kBlack, kWhite, kBlack, kWhite}, 2.0, 1.0, {0x808080, 0x808080}},
        {{kBlack, kBlack, kWhite}, 3.0, 2.0, {kBlack, 0xAAAAAA}},
        {{kBlack, kWhite}, 1.0, 2.0, {kBlack, 0x404040, 0xBFBFBF, kWhite}},
        {{0x123456, 0x123456}, 1.0, 1.5, {0x123456, 0x123456, 0x123456}},
    };
    for (const Case& c : cases) {
        const Bitmap source(static_cast<std::int32_t>(c.source.size()), 1, c.source);
        const auto width = static_cast<std::int32_t>(c.expected.size());
        const Bitmap out = ResampleBitmap(source, c.sourceScale, PixelScale(c.scale), width, 1);
        std::vector<Colour> row;
        for (std::int32_t x = 0; x < width; ++x) row.push_back(out.Pixel(x, 0));
        EXPECT_EQ(row, c.expected) << c.sourceScale << " -> " << c.scale;
    }
    try {
        ResampleBitmap(ShippedPicture(), 1.0, PixelScale(3000.0), 537000, 630000);
        FAIL() << "no window shows 537000 x 630000 pixels";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), err::kOutOfMemory);
    }
}

TEST(BestRendition, IsTheSmallestAtOrAboveTheScaleElseTheLargest) {
    const PictureRendition renditions[] = {{2.0, {}}, {1.5, {}}, {3.0, {}}, {1.25, {}}};
    struct Case {
        double scale;
        double chosen;  // 0: none
    };
    for (const Case& c : {Case{1.0, 0}, Case{0.5, 0}, Case{1.1, 1.25}, Case{1.25, 1.25}, Case{1.3, 1.5},
                          Case{1.5, 1.5}, Case{1.75, 2.0}, Case{2.0, 2.0}, Case{2.5, 3.0}, Case{4.0, 3.0}}) {
        const PictureRendition* best = BestRendition(renditions, PixelScale(c.scale));
        EXPECT_EQ(best != nullptr ? best->scale : 0.0, c.chosen) << c.scale;
    }
    EXPECT_EQ(BestRendition({}, PixelScale(2.0)), nullptr);
}

}  // namespace
}  // namespace tw
