// The committed artwork read back byte by byte: the window and the program
// depend on these exact formats.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/frmMain_layout.h"
#include "assets/embedded.h"
#include "platform/portable/picture.h"

namespace tw {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadAsset(const std::string& name) {
    std::ifstream in(std::string(TW_SOURCE_DIR) + "/assets/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t U32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16) |
           static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t U16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8); }

struct Field {
    const char* name;
    std::size_t offset;
    int width;
    std::uint32_t expected;
};

void ExpectFields(const Bytes& bytes, const std::vector<Field>& fields) {
    for (const Field& f : fields) {
        const std::uint32_t value = f.width == 2 ? U16(bytes, f.offset) : U32(bytes, f.offset);
        EXPECT_EQ(value, f.expected) << f.name;
    }
}

TEST(Assets, WindowPictureIsThe179By210BottomUp24BitBitmap) {
    const Bytes bmp = ReadAsset("window.bmp");
    ASSERT_EQ(bmp.size(), 113454u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    ExpectFields(bmp, {{"bfSize", 2, 4, 113454},     {"bfReserved", 6, 4, 0},       {"bfOffBits", 10, 4, 54},
                       {"biSize", 14, 4, 40},        {"biWidth", 18, 4, 179},       {"biHeight", 22, 4, 210},
                       {"biPlanes", 26, 2, 1},       {"biBitCount", 28, 2, 24},     {"biCompression", 30, 4, 0},
                       {"biSizeImage", 34, 4, 113400}, {"biXPelsPerMeter", 38, 4, 2835},
                       {"biYPelsPerMeter", 42, 4, 2835}, {"biClrUsed", 46, 4, 0},    {"biClrImportant", 50, 4, 0}});
    for (std::size_t row = 0; row < 210; ++row)
        for (std::size_t pad = 537; pad < 540; ++pad) ASSERT_EQ(bmp[54 + row * 540 + pad], 0) << "row " << row;
}

TEST(Assets, TheProgramEmbedsTheCommittedFiles) {
    const auto embeddedPicture = assets::window_bmp();
    const auto embeddedIcon = assets::icon_ico();
    EXPECT_EQ(Bytes(embeddedPicture.begin(), embeddedPicture.end()), ReadAsset("window.bmp"));
    EXPECT_EQ(Bytes(embeddedIcon.begin(), embeddedIcon.end()), ReadAsset("icon.ico"));
    // The drawings for high-resolution screens: PNG of the picture's mapped
    // size, each carried by the window with its own scale (one paired with
    // another's would be the wrong size for it and never shown).
    struct Rendition {
        double scale;
        std::span<const std::uint8_t> embedded;
        const char* file;
        std::uint32_t width, height;
    };
    const Rendition renditions[] = {{1.25, assets::window_125_png(), "window-125.png", 224, 263},
                                    {1.5, assets::window_150_png(), "window-150.png", 269, 315},
                                    {2.0, assets::window_200_png(), "window-200.png", 358, 420},
                                    {3.0, assets::window_300_png(), "window-300.png", 537, 630}};
    const std::span<const PictureRendition> carried = frmMainLayout().pictureRenditions;
    ASSERT_EQ(carried.size(), std::size(renditions));
    for (std::size_t i = 0; i < carried.size(); ++i) {
        EXPECT_EQ(carried[i].scale, renditions[i].scale) << renditions[i].file;
        EXPECT_EQ(carried[i].png.data(), renditions[i].embedded.data()) << renditions[i].file;
    }
    for (const Rendition& r : renditions) {
        const Bytes png(r.embedded.begin(), r.embedded.end());
        EXPECT_EQ(png, ReadAsset(r.file));
        ASSERT_GT(png.size(), 24u) << r.file;
        const auto big = [&](std::size_t at) {
            return std::uint32_t{png[at]} << 24 | std::uint32_t{png[at + 1]} << 16 | std::uint32_t{png[at + 2]} << 8 |
                   png[at + 3];
        };
        EXPECT_EQ(Bytes(png.begin() + 12, png.begin() + 16), (Bytes{'I', 'H', 'D', 'R'})) << r.file;
        EXPECT_EQ(big(16), r.width) << r.file;
        EXPECT_EQ(big(20), r.height) << r.file;
    }
}

TEST(Assets, LabelRectanglesHoldNoPureWhitePixelAndTheMarginsAreWhite) {
    const Bitmap picture = Bitmap::FromBmp(assets::window_bmp());
    struct Area {
        const char* name;
        int left, top, right, bottom;
    };
    for (const Area& a : {Area{"Label1", 24, 120, 153, 137}, Area{"Label2", 40, 136, 145, 177}})
        for (int y = a.top; y < a.bottom; ++y)
            for (int x = a.left; x < a.right; ++x)
                ASSERT_NE(picture.Pixel(x, y), 0x00FFFFFFu) << a.name << " at " << x << "," << y;
    for (int x = 0; x < picture.Width(); ++x)
        for (int y = 0; y < 3; ++y) ASSERT_EQ(picture.Pixel(x, y), 0x00FFFFFFu) << x << "," << y;
    for (int y = 0; y < picture.Height(); ++y) ASSERT_EQ(picture.Pixel(0, y), 0x00FFFFFFu) << "0," << y;
}

TEST(Assets, IconIsOne32By32TwentyFourBitImageWithItsMask) {
    const Bytes ico = ReadAsset("icon.ico");
    ASSERT_EQ(ico.size(), 3262u);
    ExpectFields(ico, {{"idReserved", 0, 2, 0}, {"idType", 2, 2, 1}, {"idCount", 4, 2, 1},
                       {"wPlanes", 10, 2, 1}, {"wBitCount", 12, 2, 24}, {"dwBytesInRes", 14, 4, 3240},
                       {"dwImageOffset", 18, 4, 22}, {"biSize", 22, 4, 40}, {"biWidth", 26, 4, 32},
                       {"biHeight", 30, 4, 64}, {"biPlanes", 34, 2, 1}, {"biBitCount", 36, 2, 24}});
    EXPECT_EQ(ico[6], 32);  // width
    EXPECT_EQ(ico[7], 32);  // height
    EXPECT_EQ(ico[8], 0);   // colour count
    int transparent = 0;
    for (std::size_t i = 22 + 40 + 3072; i < ico.size(); ++i)
        for (int bit = 0; bit < 8; ++bit) transparent += (ico[i] >> bit) & 1;
    EXPECT_GT(transparent, 0);
    EXPECT_LT(transparent, 32 * 32);
}

}  // namespace
}  // namespace tw
