#include "platform/portable/picture.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/portable/errors.h"

namespace tw {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, std::size_t at, std::uint32_t v, int n = 4) {
    for (int i = 0; i < n; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

Colour TestColour(std::int32_t x, std::int32_t y) {
    return static_cast<Colour>((x * 37 + 11) & 0xFF) | static_cast<Colour>(((y * 53 + 7) & 0xFF) << 8) |
           static_cast<Colour>(((x * y + 3) & 0xFF) << 16);
}

// A 24-bit BMP of TestColour pixels, rows padded to four bytes.
Bytes MakeBmp(std::int32_t w, std::int32_t h, bool topDown, std::uint32_t infoSize = 40) {
    const std::size_t stride = (static_cast<std::size_t>(w) * 3 + 3) / 4 * 4;
    const std::size_t off = 14 + infoSize;
    Bytes b(off + stride * static_cast<std::size_t>(h), 0);
    b[0] = 'B';
    b[1] = 'M';
    Put(b, 2, static_cast<std::uint32_t>(b.size()));
    Put(b, 10, static_cast<std::uint32_t>(off));
    Put(b, 14, infoSize);
    Put(b, 18, static_cast<std::uint32_t>(w));
    Put(b, 22, static_cast<std::uint32_t>(topDown ? -h : h));
    Put(b, 26, 1, 2);
    Put(b, 28, 24, 2);
    for (std::int32_t y = 0; y < h; ++y) {
        const std::size_t fileRow = static_cast<std::size_t>(topDown ? y : h - 1 - y);
        for (std::int32_t x = 0; x < w; ++x) {
            const Colour c = TestColour(x, y);
            std::uint8_t* p = b.data() + off + fileRow * stride + static_cast<std::size_t>(x) * 3;
            p[0] = static_cast<std::uint8_t>(c >> 16);  // blue first
            p[1] = static_cast<std::uint8_t>(c >> 8);
            p[2] = static_cast<std::uint8_t>(c);
        }
    }
    return b;
}

TEST(PictureTest, RejectsMalformedBmps) {
    struct Case {
        const char* name;
        std::function<void(Bytes&)> spoil;
    };
    const Case cases[] = {
        {"empty", [](Bytes& b) { b.clear(); }},
        {"truncated header", [](Bytes& b) { b.resize(53); }},
        {"wrong magic", [](Bytes& b) { b[1] = 'A'; }},
        {"8 bpp", [](Bytes& b) { Put(b, 28, 8, 2); }},
        {"32 bpp", [](Bytes& b) { Put(b, 28, 32, 2); }},
        {"compression 1", [](Bytes& b) { Put(b, 30, 1); }},
        {"two planes", [](Bytes& b) { Put(b, 26, 2, 2); }},
        {"core header", [](Bytes& b) { Put(b, 14, 12); }},
        {"info header past end", [](Bytes& b) { Put(b, 14, 0xFFFFFFF0u); }},
        {"offset past end", [](Bytes& b) { Put(b, 10, static_cast<std::uint32_t>(b.size() + 1)); }},
        {"offset at the very top", [](Bytes& b) { Put(b, 10, 0xFFFFFFFFu); }},
        {"offset inside the header", [](Bytes& b) { Put(b, 10, 20); }},
        {"rows truncated", [](Bytes& b) { b.erase(b.end() - 4, b.end()); }},
        {"width 0", [](Bytes& b) { Put(b, 18, 0); }},
        {"negative width", [](Bytes& b) { Put(b, 18, static_cast<std::uint32_t>(-3)); }},
        {"height 0", [](Bytes& b) { Put(b, 22, 0); }},
        {"huge width", [](Bytes& b) { Put(b, 18, INT32_MAX); }},
        {"huge height", [](Bytes& b) { Put(b, 22, 0x40000000); }},
        {"most negative height", [](Bytes& b) { Put(b, 22, 0x80000000u); }},
        {"width*height overflows 32 bits", [](Bytes& b) { Put(b, 18, 65536); Put(b, 22, 65536); }},
    };
    for (const Case& c : cases) {
        Bytes b = MakeBmp(5, 3, false);
        c.spoil(b);
        try {
            Bitmap::FromBmp(b);
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.Number(), err::kInvalidPicture) << c.name;
            EXPECT_EQ(e.Source(), "") << c.name;
            EXPECT_EQ(e.Description(), ClassicDescription(481)) << c.name;
        }
    }
}

TEST(PictureTest, DecodesBothRowOrdersWithPadding) {
    for (const std::int32_t w : {1, 2, 3, 4, 5}) {
        for (const std::int32_t h : {1, 2, 3}) {
            for (const bool topDown : {false, true}) {
                const Bitmap bmp = Bitmap::FromBmp(MakeBmp(w, h, topDown));
                ASSERT_EQ(bmp.Width(), w);
                ASSERT_EQ(bmp.Height(), h);
                for (std::int32_t y = 0; y < h; ++y)
                    for (std::int32_t x = 0; x < w; ++x)
                        ASSERT_EQ(bmp.Pixel(x, y), TestColour(x, y))
                            << w << "x" << h << (topDown ? " top-down " : " bottom-up ") << x << "," << y;
            }
        }
    }
}

TEST(PictureTest, AcceptsLargerHeadersAndAnUnpaddedLastRow) {
    EXPECT_EQ(Bitmap::FromBmp(MakeBmp(3, 2, false, 124)).Pixel(2, 1), TestColour(2, 1));
    Bytes b = MakeBmp(1, 2, true);
    b.pop_back();  // the last row's padding byte only
    EXPECT_EQ(Bitmap::FromBmp(b).Pixel(0, 1), TestColour(0, 1));
}

TEST(PictureTest, RedIsTheLowByte) {
    Bytes b = MakeBmp(1, 1, false);
    b[54] = 0x11;  // blue
    b[55] = 0x22;  // green
    b[56] = 0x33;  // red
    EXPECT_EQ(Bitmap::FromBmp(b).Pixel(0, 0), 0x00112233u);
}

TEST(PictureTest, BitmapChecksItsPixelCount) {
    EXPECT_NO_THROW(Bitmap(0, 0, {}));
    EXPECT_THROW(Bitmap(2, 2, std::vector<Colour>(3)), RuntimeError);
    EXPECT_THROW(Bitmap(-1, 0, {}), RuntimeError);
}

TEST(PictureTest, ShippedPictureDecodes) {
    std::ifstream in(TW_SOURCE_DIR "/assets/window.bmp", std::ios::binary);
    if (!in) GTEST_SKIP() << "assets/window.bmp not present";
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const Bitmap bmp = Bitmap::FromBmp(bytes);
    EXPECT_EQ(bmp.Width(), 179);
    EXPECT_EQ(bmp.Height(), 210);
}

}  // namespace
}  // namespace tw
