#include "shaping/colour_key_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace tw {
namespace {

constexpr Colour kKey = 0x00FFFFFF;
using Rects = std::vector<Rect>;

// '.' is the key colour, 'n' the colour one below it, anything else dark red.
std::shared_ptr<const Bitmap> Art(const std::vector<std::string>& rows) {
    const auto w = static_cast<std::int32_t>(rows.empty() ? 0 : rows[0].size());
    std::vector<Colour> px;
    for (const std::string& row : rows)
        for (const char c : row) px.push_back(c == '.' ? kKey : c == 'n' ? 0x00FFFFFE : 0x00000080);
    return std::make_shared<Bitmap>(w, static_cast<std::int32_t>(rows.size()), std::move(px));
}

class NoSourcePicture final : public Picture {
public:
    std::optional<PixelSource> OpenPixelSource() const override { return std::nullopt; }
};

Rects RectsOf(const Region& r) { return {r.Rects().begin(), r.Rects().end()}; }

TEST(ColourKeyScanTest, EdgeCases) {
    struct Case {
        const char* name;
        std::vector<std::string> art;
        Rects want;
    };
    const Case cases[] = {
        {"no key pixel", {"oooo", "oooo"}, {{0, 0, 4, 2}}},
        {"all key", {"..", ".."}, {}},
        {"run reaching the right edge", {"oo..", "oooo"}, {{0, 0, 2, 1}, {0, 1, 4, 2}}},
        {"key pixel at x=0", {"oooo", ".ooo", "oooo"}, {{0, 0, 4, 1}, {1, 1, 4, 2}, {0, 2, 4, 3}}},
        {"two runs split by one pixel", {"..o.."}, {{2, 0, 3, 1}}},
        {"one below the key stays", {"n.n"}, {{0, 0, 1, 1}, {2, 0, 3, 1}}},
        {"single key pixel", {"."}, {}},
        {"alternating", {".o.o", "o.o."}, {{1, 0, 2, 1}, {3, 0, 4, 1}, {0, 1, 1, 2}, {2, 1, 3, 2}}},
        {"equal rows merge", {"o..o", "o..o", "oooo"}, {{0, 0, 1, 2}, {3, 0, 4, 2}, {0, 2, 4, 3}}},
        {"a key row leaves a gap", {"oo", "..", "oo"}, {{0, 0, 2, 1}, {0, 2, 2, 3}}},
    };
    for (const Case& c : cases) {
        const RegionHandle r = CreateRegionFromPicture(BitmapPicture(Art(c.art)), kKey);
        ASSERT_NE(r, nullptr) << c.name;
        EXPECT_EQ(RectsOf(*r), c.want) << c.name;
    }
}

TEST(ColourKeyScanTest, NoSourceIsNoRegionButNoSizeIsEmpty) {
    EXPECT_EQ(CreateRegionFromPicture(NoSourcePicture(), kKey), nullptr);
    for (const BitmapPicture& p : {BitmapPicture(nullptr), BitmapPicture(Art({})),
                                   BitmapPicture(std::make_shared<Bitmap>(3, 0, std::vector<Colour>{}))}) {
        const RegionHandle r = CreateRegionFromPicture(p, kKey);
        ASSERT_NE(r, nullptr);
        EXPECT_TRUE(r->IsEmpty());
    }
}

TEST(ColourKeyScanTest, RandomPicturesKeepExactlyTheOtherPixels) {
    std::mt19937 rng(1225);
    const Colour palette[] = {kKey, kKey, 0x00FFFFFE, 0x00000000, 0x0000FF00};
    for (int iter = 0; iter < 600; ++iter) {
        const auto w = static_cast<std::int32_t>(1 + rng() % 13);
        const auto h = static_cast<std::int32_t>(1 + rng() % 13);
        std::vector<Colour> px(static_cast<std::size_t>(w * h));
        for (Colour& c : px) c = palette[rng() % std::size(palette)];
        const auto bmp = std::make_shared<Bitmap>(w, h, px);
        const RegionHandle r = CreateRegionFromPicture(BitmapPicture(bmp), kKey);
        ASSERT_NE(r, nullptr);
        ASSERT_TRUE(r->IsCanonical());
        Rects kept;
        for (std::int32_t y = 0; y < h; ++y)
            for (std::int32_t x = 0; x < w; ++x) {
                ASSERT_EQ(r->Contains(x, y), bmp->Pixel(x, y) != kKey) << iter << ": " << x << "," << y;
                if (bmp->Pixel(x, y) != kKey) kept.push_back({x, y, x + 1, y + 1});
            }
        std::shuffle(kept.begin(), kept.end(), rng);
        ASSERT_EQ(Region::FromRects(kept), *r) << iter;
    }
}

TEST(ColourKeyScanTest, ShippedPictureOutline) {
    std::ifstream in(TW_SOURCE_DIR "/assets/window.bmp", std::ios::binary);
    if (!in) GTEST_SKIP() << "assets/window.bmp not present";
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    const auto bmp = std::make_shared<Bitmap>(Bitmap::FromBmp(bytes));
    const RegionHandle r = CreateRegionFromPicture(BitmapPicture(bmp), kKey);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->IsCanonical());

    std::int64_t kept = 0;
    std::int64_t keyRuns = 0;
    std::int64_t outlineRuns = 0;  // runs the region leaves out, row by row
    for (std::int32_t y = 0; y < bmp->Height(); ++y) {
        for (std::int32_t x = 0; x < bmp->Width(); ++x) {
            const bool key = bmp->Pixel(x, y) == kKey;
            kept += !key;
            keyRuns += key && (x == 0 || bmp->Pixel(x - 1, y) != kKey);
            const bool out = !r->Contains(x, y);
            outlineRuns += out && (x == 0 || r->Contains(x - 1, y));
            ASSERT_EQ(out, key) << x << "," << y;
        }
    }
    EXPECT_EQ(r->Area(), kept);
    EXPECT_EQ(outlineRuns, keyRuns);
    EXPECT_GT(keyRuns, 0);
    EXPECT_GT(kept, 0);
}

}  // namespace
}  // namespace tw
