// Our region engine against GDI itself: the RGNDATA bytes we write must be the
// bytes GetRegionData gives for the same pixels, whichever way GDI built them.
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "assets/embedded.h"
#include "platform/portable/picture.h"
#include "platform/portable/region.h"
#include "shaping/colour_key_scan.h"
#include "tests/support/rgndata_block.h"
#include "tests/win32/win32_test_support.h"

namespace tw {
namespace {

using Bytes = std::vector<std::uint8_t>;
using win32::UniqueRegion;

constexpr Colour kWhite = 0x00FFFFFF;

Bytes GdiRegionData(HRGN region) {
    const DWORD size = ::GetRegionData(region, 0, nullptr);
    Bytes bytes(size);
    if (size != 0) ::GetRegionData(region, size, reinterpret_cast<RGNDATA*>(bytes.data()));
    return bytes;
}

UniqueRegion GdiFromBytes(const Bytes& bytes) {
    return UniqueRegion(::ExtCreateRegion(nullptr, static_cast<DWORD>(bytes.size()),
                                          reinterpret_cast<const RGNDATA*>(bytes.data())));
}

UniqueRegion GdiRect(const Rect& r) {
    return UniqueRegion(::CreateRectRgn(r.left, r.top, r.right, r.bottom));
}

void GdiCombine(HRGN into, const Rect& r, int mode) {
    const UniqueRegion other = GdiRect(r);
    ASSERT_NE(::CombineRgn(into, into, other.Get(), mode), ERROR);
}

// Both ways GDI can be handed our region: our bytes through ExtCreateRegion,
// and the same set of pixels built by GDI's own operations.
void ExpectSameAsGdi(const Region& ours, HRGN builtByGdi) {
    const Bytes bytes = EncodeRegionData(ours);
    EXPECT_EQ(bytes, GdiRegionData(builtByGdi)) << "against GDI's own operations";
    const UniqueRegion fromOurBytes = GdiFromBytes(bytes);
    ASSERT_TRUE(fromOurBytes);
    EXPECT_EQ(bytes, GdiRegionData(fromOurBytes.Get())) << "through ExtCreateRegion";
}

Bytes RgnData(std::uint32_t dwSize, std::uint32_t nCount, const std::vector<Rect>& rects,
              std::uint32_t iType = 1) {
    return testing::RgnDataBlock(rects, {dwSize, iType, nCount, nCount * 16u, {}});
}

TEST(GdiBytes, ShippedPictureOutline) {
    const auto bitmap = std::make_shared<const Bitmap>(Bitmap::FromBmp(assets::window_bmp()));
    const BitmapPicture picture(bitmap);
    const RegionHandle outline = CreateRegionFromPicture(picture, kWhite);
    ASSERT_TRUE(outline);
    ASSERT_GT(outline->Rects().size(), 100u) << "the ornament should have a curved outline";

    // GDI's oracle: the full rectangle minus every white run, one CombineRgn each.
    const UniqueRegion gdi = GdiRect({0, 0, bitmap->Width(), bitmap->Height()});
    for (std::int32_t y = 0; y < bitmap->Height(); ++y) {
        for (std::int32_t x = 0; x < bitmap->Width();) {
            if (bitmap->Pixel(x, y) != kWhite) {
                ++x;
                continue;
            }
            const std::int32_t start = x;
            while (x < bitmap->Width() && bitmap->Pixel(x, y) == kWhite) ++x;
            GdiCombine(gdi.Get(), {start, y, x, y + 1}, RGN_DIFF);
        }
    }
    ExpectSameAsGdi(*outline, gdi.Get());
}

// Rectangles in a small area, so that they overlap, touch and line up often;
// some reversed (GDI swaps those) and some empty.
Rect RandomRect(std::mt19937& random) {
    std::uniform_int_distribution<std::int32_t> coordinate(-4, 68);
    return {coordinate(random), coordinate(random), coordinate(random), coordinate(random)};
}

TEST(GdiBytes, RandomDifferencesMatchCombineRgn) {
    std::mt19937 random(20251225);
    std::uniform_int_distribution<int> holeCount(0, 16);
    for (int round = 0; round < 3000; ++round) {
        const Rect base = RandomRect(random);
        RegionHandle ours = tw::CreateRectRgn(base.left, base.top, base.right, base.bottom);
        const UniqueRegion gdi = GdiRect(base);
        std::string history = "base " + std::to_string(base.left) + "," + std::to_string(base.top) +
                              "," + std::to_string(base.right) + "," + std::to_string(base.bottom);
        for (int i = holeCount(random); i > 0; --i) {
            const Rect hole = RandomRect(random);
            ours->Subtract(*tw::CreateRectRgn(hole.left, hole.top, hole.right, hole.bottom));
            GdiCombine(gdi.Get(), hole, RGN_DIFF);
            history += " - " + std::to_string(hole.left) + "," + std::to_string(hole.top) + "," +
                       std::to_string(hole.right) + "," + std::to_string(hole.bottom);
        }
        SCOPED_TRACE(history);
        ASSERT_TRUE(ours->IsCanonical());
        ExpectSameAsGdi(*ours, gdi.Get());
        if (::testing::Test::HasFailure()) return;
    }
}

// The scan's own pattern: one-row holes, cut row by row.
TEST(GdiBytes, RandomOneRowHolesMatchCombineRgn) {
    std::mt19937 random(1225);
    std::uniform_int_distribution<std::int32_t> x(0, 64);
    std::uniform_int_distribution<int> runs(0, 3);
    for (int round = 0; round < 500; ++round) {
        Region ours = Region::FromRect(0, 0, 64, 64);
        const UniqueRegion gdi = GdiRect({0, 0, 64, 64});
        for (std::int32_t y = 0; y < 64; ++y) {
            for (int i = runs(random); i > 0; --i) {
                std::int32_t a = x(random), b = x(random);
                if (a > b) std::swap(a, b);
                if (a == b) continue;
                ours.Subtract(Rect{a, y, b, y + 1});
                GdiCombine(gdi.Get(), {a, y, b, y + 1}, RGN_DIFF);
            }
        }
        SCOPED_TRACE(round);
        ExpectSameAsGdi(ours, gdi.Get());
        if (::testing::Test::HasFailure()) return;
    }
}

TEST(GdiBytes, RandomUnionsMatchCombineRgn) {
    std::mt19937 random(2512);
    std::uniform_int_distribution<int> count(0, 12);
    for (int round = 0; round < 1000; ++round) {
        std::vector<Rect> rects;
        const UniqueRegion gdi(::CreateRectRgn(0, 0, 0, 0));
        for (int i = count(random); i > 0; --i) {
            Rect r = RandomRect(random);
            // FromRects skips reversed rectangles where CreateRectRgn swaps them.
            if (r.left > r.right) std::swap(r.left, r.right);
            if (r.top > r.bottom) std::swap(r.top, r.bottom);
            rects.push_back(r);
            GdiCombine(gdi.Get(), r, RGN_OR);
        }
        SCOPED_TRACE(round);
        ExpectSameAsGdi(Region::FromRects(rects), gdi.Get());
        if (::testing::Test::HasFailure()) return;
    }
}

// Any block of rectangles, unordered, overlapping, empty or reversed, with
// rubbish in the fields both decoders ignore: the same region comes out.
TEST(GdiBytes, DecodingUnorderedBlocksMatchesExtCreateRegion) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> count(0, 20);
    std::uniform_int_distribution<std::uint32_t> rubbish;
    for (int round = 0; round < 1000; ++round) {
        std::vector<Rect> rects(static_cast<std::size_t>(count(random)));
        for (Rect& r : rects) r = RandomRect(random);
        Bytes block = RgnData(32, static_cast<std::uint32_t>(rects.size()), rects);
        for (std::size_t offset = 12; offset < 32; offset += 4) {
            const std::uint32_t value = rubbish(random);
            std::memcpy(block.data() + offset, &value, 4);
        }
        SCOPED_TRACE(round);
        const RegionHandle ours = tw::ExtCreateRegion(block);
        const UniqueRegion gdi = GdiFromBytes(block);
        ASSERT_TRUE(ours);
        ASSERT_TRUE(gdi);
        EXPECT_EQ(EncodeRegionData(*ours), GdiRegionData(gdi.Get()));
        if (::testing::Test::HasFailure()) return;
    }
}

TEST(GdiBytes, GetRegionDataBufferSizesAnswerAsGdiDoes) {
    const Region ours = Region::FromRects(std::vector<Rect>{{0, 0, 10, 10}, {20, 5, 30, 15}});
    const UniqueRegion gdi = GdiFromBytes(EncodeRegionData(ours));
    const std::uint32_t needed = tw::GetRegionData(&ours, 0, nullptr);
    ASSERT_EQ(needed, ::GetRegionData(gdi.Get(), 0, nullptr));
    for (const std::uint32_t size : {needed - 1, needed, needed + 16}) {
        SCOPED_TRACE(size);
        Bytes ourBuffer(size + 16, 0xAB);
        Bytes gdiBuffer(size + 16, 0xAB);
        EXPECT_EQ(tw::GetRegionData(&ours, size, ourBuffer.data()),
                  ::GetRegionData(gdi.Get(), size, reinterpret_cast<RGNDATA*>(gdiBuffer.data())));
        EXPECT_EQ(ourBuffer, gdiBuffer);
    }
}

struct MalformedCase {
    const char* name;
    Bytes block;
    bool accepted;
};

Bytes TwoRects(std::uint32_t dwSize = 32, std::uint32_t nCount = 2, std::uint32_t iType = 1) {
    return RgnData(dwSize, nCount, {{0, 0, 5, 5}, {10, 10, 20, 20}}, iType);
}

Bytes Truncated(Bytes block, std::size_t cut) {
    block.resize(block.size() - cut);
    return block;
}

TEST(GdiBytes, MalformedBlocksAreRefusedAsByExtCreateRegion) {
    const MalformedCase cases[] = {
        {"well formed", TwoRects(), true},
        {"no rectangles", RgnData(32, 0, {}), true},
        {"iType other than RDH_RECTANGLES", TwoRects(32, 2, 2), true},
        {"fewer rectangles counted than present", TwoRects(32, 1), true},
        {"dwSize 0", TwoRects(0), false},
        {"dwSize short of the header", TwoRects(31), false},
        {"nCount beyond any buffer", TwoRects(32, 0x10000001u), false},
    };
    for (const MalformedCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(tw::ExtCreateRegion(c.block) != nullptr, c.accepted);
        EXPECT_EQ(static_cast<bool>(GdiFromBytes(c.block)), c.accepted);
    }
}

// Blocks that name more than they hold. Wine's ExtCreateRegion does not check
// the byte count against nCount and reads on past the block; Windows refuses
// them, and so do we.
TEST(GdiBytes, BlocksShorterThanTheyClaimAreRefused) {
    const Bytes full = TwoRects();
    const MalformedCase cases[] = {
        {"one byte short", Truncated(full, 1), false},
        {"header only, two rectangles counted", Truncated(full, 32), false},
        {"header cut short", Bytes(full.begin(), full.begin() + 31), false},
    };
    for (const MalformedCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(tw::ExtCreateRegion(c.block) != nullptr, c.accepted);
    }
    if (win32::RunningUnderWine()) GTEST_SKIP() << "Wine accepts these blocks; Windows does not";
    for (const MalformedCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(static_cast<bool>(GdiFromBytes(c.block)), c.accepted);
    }
}

}  // namespace
}  // namespace tw
