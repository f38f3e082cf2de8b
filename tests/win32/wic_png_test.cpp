// The renditions read back through the Windows Imaging Component, as the
// program reads them; what it cannot read gives no picture, never a crash.
#include "platform/win32/wic_png.h"

#include <gtest/gtest.h>

#include <vector>

#include "assets/embedded.h"
#include "platform/portable/pixel_scale.h"

namespace tw {
namespace {

constexpr Colour kWhite = 0x00FFFFFF;

TEST(WicPng, ReadsEachRenditionWithThePicturesMappedWhitePixels) {
    const Bitmap picture = Bitmap::FromBmp(assets::window_bmp());
    struct Case {
        double scale;
        std::span<const std::uint8_t> png;
    };
    for (const Case& c : {Case{1.25, assets::window_125_png()}, Case{1.5, assets::window_150_png()},
                          Case{2.0, assets::window_200_png()}, Case{3.0, assets::window_300_png()}}) {
        const std::optional<Bitmap> drawn = win32::DecodePng(c.png);
        ASSERT_TRUE(drawn) << c.scale;
        const Bitmap mapped = ScaleBitmap(picture, PixelScale(c.scale));
        ASSERT_EQ(drawn->Width(), mapped.Width());
        ASSERT_EQ(drawn->Height(), mapped.Height());
        int reddish = 0;
        for (std::int32_t y = 0; y < mapped.Height(); ++y) {
            for (std::int32_t x = 0; x < mapped.Width(); ++x) {
                const Colour p = drawn->Pixel(x, y);
                ASSERT_EQ(p == kWhite, mapped.Pixel(x, y) == kWhite) << c.scale << " at " << x << "," << y;
                reddish += (p & 0xFF) > ((p >> 16) & 0xFF) + 60;
            }
        }
        // Channels in Colour's order: the ball is red, not blue.
        EXPECT_GT(reddish, mapped.Width() * mapped.Height() / 3) << c.scale;
    }
}

TEST(WicPng, WhatItCannotReadGivesNoPicture) {
    const std::span<const std::uint8_t> png = assets::window_200_png();
    std::vector<std::uint8_t> garbled(png.begin(), png.end());
    garbled[1] = 'Q';
    const std::vector<std::vector<std::uint8_t>> broken = {
        {}, std::vector<std::uint8_t>(png.begin(), png.begin() + 40), garbled};
    for (const auto& bytes : broken) EXPECT_FALSE(win32::DecodePng(bytes)) << bytes.size() << " bytes";
}

}  // namespace
}  // namespace tw
