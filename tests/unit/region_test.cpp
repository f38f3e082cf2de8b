#include "platform/portable/region.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "tests/support/rgndata_block.h"

namespace tw {
namespace {

using Rects = std::vector<Rect>;

Rects RectsOf(const Region& r) { return {r.Rects().begin(), r.Rects().end()}; }

// A block whose iType, nRgnSize and rcBound are garbage, which the decoder ignores.
std::vector<std::uint8_t> Block(std::uint32_t dwSize, std::uint32_t count, const Rects& rects) {
    constexpr std::uint32_t kGarbage = 0xEEEEEEEEu;
    constexpr auto g = static_cast<std::int32_t>(kGarbage);
    return testing::RgnDataBlock(rects, {dwSize, kGarbage, count, kGarbage, {g, g, g, g}});
}

TEST(RegionTest, FromRectNormalisesAndEmpties) {
    struct Case { std::int32_t l, t, r, b; Rects want; };
    const Case cases[] = {
        {1, 2, 5, 7, {{1, 2, 5, 7}}},
        {5, 7, 1, 2, {{1, 2, 5, 7}}},
        {5, 2, 1, 7, {{1, 2, 5, 7}}},
        {-3, -4, -1, -2, {{-3, -4, -1, -2}}},
        {3, 3, 3, 9, {}},
        {0, 4, 10, 4, {}},
        {0, 0, 0, 0, {}},
    };
    for (const Case& c : cases) {
        const Region r = Region::FromRect(c.l, c.t, c.r, c.b);
        EXPECT_EQ(RectsOf(r), c.want) << c.l << "," << c.t << "," << c.r << "," << c.b;
        EXPECT_TRUE(r.IsCanonical());
    }
    EXPECT_EQ(Region::FromRect(0, 0, 0, 0).Bounds(), (Rect{0, 0, 0, 0}));
}

TEST(RegionTest, BandsMergeOnlyWhenTouchingWithSameSpans) {
    struct Case { Rects in; Rects want; };
    const Case cases[] = {
        {{{0, 0, 5, 1}, {0, 1, 5, 2}}, {{0, 0, 5, 2}}},                      // touching, same
        {{{0, 2, 5, 3}, {0, 0, 5, 1}}, {{0, 0, 5, 1}, {0, 2, 5, 3}}},        // gap: never
        {{{0, 0, 5, 1}, {1, 1, 5, 2}}, {{0, 0, 5, 1}, {1, 1, 5, 2}}},        // spans differ
        {{{2, 0, 4, 1}, {0, 0, 2, 1}}, {{0, 0, 4, 1}}},                      // touching in x
        {{{0, 0, 2, 1}, {3, 0, 5, 1}}, {{0, 0, 2, 1}, {3, 0, 5, 1}}},
        {{{0, 0, 4, 4}, {2, 2, 6, 6}},
         {{0, 0, 4, 2}, {0, 2, 6, 4}, {2, 4, 6, 6}}},
        {{{0, 0, 3, 3}, {0, 0, 0, 9}, {5, 5, 4, 9}}, {{0, 0, 3, 3}}},        // empties skipped
    };
    for (const Case& c : cases) EXPECT_EQ(RectsOf(Region::FromRects(c.in)), c.want);
}

TEST(RegionTest, SubtractCases) {
    struct Case { Rect base; Rects minus; Rects want; };
    const Case cases[] = {
        {{0, 0, 10, 10}, {{3, 3, 6, 6}},
         {{0, 0, 10, 3}, {0, 3, 3, 6}, {6, 3, 10, 6}, {0, 6, 10, 10}}},
        {{0, 0, 10, 10}, {{10, 0, 20, 10}, {0, 10, 10, 20}}, {{0, 0, 10, 10}}},  // touching only
        {{0, 0, 10, 10}, {{-5, -5, 15, 15}}, {}},
        {{0, 0, 10, 10}, {{0, 0, 10, 1}, {0, 0, 1, 10}}, {{1, 1, 10, 10}}},
        {{0, 0, 10, 10}, {{5, 5, 3, 3}, {2, 2, 2, 8}}, {{0, 0, 10, 10}}},        // empty: no-op
        // Holes in three rows, then filled in so the bands must merge back.
        {{0, 0, 10, 3}, {{5, 1, 10, 2}, {5, 0, 10, 1}, {5, 2, 10, 3}}, {{0, 0, 5, 3}}},
        // Scan order: row 1 matches row 0 after its first run, so the two
        // merge, and its second run must split them again.
        {{0, 0, 6, 2}, {{0, 0, 1, 1}, {0, 1, 1, 2}, {5, 1, 6, 2}}, {{1, 0, 6, 1}, {1, 1, 5, 2}}},
        // A row emptied entirely leaves a gap that is not bridged.
        {{0, 0, 4, 3}, {{0, 1, 4, 2}}, {{0, 0, 4, 1}, {0, 2, 4, 3}}},
    };
    for (const Case& c : cases) {
        Region r = Region::FromRect(c.base.left, c.base.top, c.base.right, c.base.bottom);
        for (const Rect& m : c.minus) r.Subtract(m);
        EXPECT_EQ(RectsOf(r), c.want);
        EXPECT_TRUE(r.IsCanonical());
        Region viaRegion = Region::FromRect(c.base.left, c.base.top, c.base.right, c.base.bottom);
        viaRegion.Subtract(Region::FromRects(c.minus));
        EXPECT_EQ(viaRegion, r);
    }
}

TEST(RegionTest, SelfSubtractionEmpties) {
    Region r = Region::FromRects(Rects{{0, 0, 4, 4}, {6, 1, 9, 3}});
    r.Subtract(r);
    EXPECT_TRUE(r.IsEmpty());
}

// Random rectangle sets on a small grid against a per-pixel model.
TEST(RegionTest, RandomOperationsMatchPixelModel) {
    constexpr int N = 14;
    std::mt19937 rng(20241225);
    auto coord = [&] { return static_cast<std::int32_t>(rng() % (N + 1)); };
    auto randomRect = [&] { return Rect{coord(), coord(), coord(), coord()}; };
    for (int iter = 0; iter < 500; ++iter) {
        bool model[N][N] = {};
        auto paint = [&](const Rect& r, bool on) {
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x) model[y][x] = on;
        };
        Rects adds;
        for (int i = 0, n = 1 + static_cast<int>(rng() % 6); i < n; ++i) {
            adds.push_back(randomRect());
            paint(adds.back(), true);
        }
        Region region = Region::FromRects(adds);
        for (int op = 0;; ++op) {
            ASSERT_TRUE(region.IsCanonical());
            std::int64_t count = 0;
            for (int y = -1; y <= N; ++y) {
                for (int x = -1; x <= N; ++x) {
                    const bool want = x >= 0 && y >= 0 && x < N && y < N && model[y][x];
                    ASSERT_EQ(region.Contains(x, y), want) << iter << " op " << op << " " << x << "," << y;
                    count += want;
                }
            }
            ASSERT_EQ(region.Area(), count);
            if (op == 4) break;
            const Rect a = randomRect();
            const Rect b = randomRect();
            if (op % 2 == 0) {
                region.Subtract(a);
            } else {
                region.Subtract(Region::FromRects(Rects{a, b}));
                paint(b, false);
            }
            paint(a, false);
        }
        // The form is unique: the same pixels in any order give the same region.
        Rects pixels;
        for (int y = 0; y < N; ++y)
            for (int x = 0; x < N; ++x)
                if (model[y][x]) pixels.push_back({x, y, x + 1, y + 1});
        std::shuffle(pixels.begin(), pixels.end(), rng);
        ASSERT_EQ(Region::FromRects(pixels), region) << iter;
    }
}

TEST(RegionTest, BoundsAndContainsAtEdges) {
    const Region r = Region::FromRects(Rects{{2, 0, 4, 1}, {0, 3, 1, 5}, {7, 3, 9, 4}});
    EXPECT_EQ(r.Bounds(), (Rect{0, 0, 9, 5}));
    EXPECT_TRUE(r.Contains(2, 0));
    EXPECT_FALSE(r.Contains(4, 0));  // right and bottom are exclusive
    EXPECT_FALSE(r.Contains(2, 1));
    EXPECT_FALSE(r.Contains(3, 3));  // between two rectangles of a band
    EXPECT_TRUE(r.Contains(8, 3));
    EXPECT_FALSE(Region().Contains(0, 0));
    EXPECT_EQ(Region().Bounds(), (Rect{0, 0, 0, 0}));
    // The whole 32-bit plane has more pixels than int64 holds.
    EXPECT_EQ(Region::FromRect(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX).Area(), INT64_MAX);
}

// --- RGNDATA

TEST(RegionDataTest, EmptyRegionIsExactlyTheHeader) {
    std::vector<std::uint8_t> want(32, 0);
    want[0] = 32;
    want[4] = 1;
    EXPECT_EQ(EncodeRegionData(Region()), want);
    const RegionHandle back = ExtCreateRegion(want);
    ASSERT_NE(back, nullptr);  // empty, not "no region"
    EXPECT_TRUE(back->IsEmpty());
}

TEST(RegionDataTest, MatchesTheBytesWindowsWrites) {
    Region r = Region::FromRect(0, 0, 179, 210);
    for (const Rect& m : Rects{{0, 0, 10, 1}, {170, 0, 179, 1}, {50, 100, 60, 101},
                               {0, 209, 179, 210}, {0, 1, 5, 2}}) {
        r.Subtract(m);
    }
    const Rects want{{10, 0, 170, 1},   {5, 1, 179, 2},     {0, 2, 179, 100},
                     {0, 100, 50, 101}, {60, 100, 179, 101}, {0, 101, 179, 209}};
    const std::vector<std::uint8_t> bytes = testing::RgnDataBlock(want, {32, 1, 6, 96, {0, 0, 179, 209}});
    EXPECT_EQ(EncodeRegionData(r), bytes);
    EXPECT_EQ(*ExtCreateRegion(bytes), r);
}

TEST(RegionDataTest, SizeQueries) {
    const Region r = Region::FromRects(Rects{{0, 0, 2, 2}, {5, 5, 6, 6}});
    std::vector<std::uint8_t> buf(64, 0xAB);
    EXPECT_EQ(GetRegionData(nullptr, 64, buf.data()), 0u);
    EXPECT_EQ(GetRegionData(&r, 0, buf.data()), 64u);
    EXPECT_EQ(GetRegionData(&r, 64, nullptr), 64u);
    EXPECT_EQ(GetRegionData(&r, 63, buf.data()), 0u);
    EXPECT_EQ(buf, std::vector<std::uint8_t>(64, 0xAB));  // too small: untouched
    EXPECT_EQ(GetRegionData(&r, 64, buf.data()), 64u);
    EXPECT_EQ(*ExtCreateRegion(buf), r);
}

TEST(RegionDataTest, DecodeCases) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool null;
        Rects want;
    };
    std::vector<std::uint8_t> truncated = Block(32, 2, {{0, 0, 1, 1}, {2, 2, 3, 3}});
    truncated.pop_back();
    const Case cases[] = {
        {"shorter than a header", std::vector<std::uint8_t>(31, 0), true, {}},
        {"nothing", {}, true, {}},
        {"wrong dwSize", Block(40, 1, {{0, 0, 1, 1}}), true, {}},
        {"truncated rectangle", truncated, true, {}},
        {"nCount beyond the bytes", Block(32, 0xFFFFFFFF, {{0, 0, 1, 1}}), true, {}},
        {"out of order and overlapping",
         Block(32, 3, {{4, 4, 8, 8}, {0, 0, 6, 6}, {1, 1, 2, 2}}), false,
         {{0, 0, 6, 4}, {0, 4, 8, 6}, {4, 6, 8, 8}}},
        {"empty and reversed skipped",
         Block(32, 3, {{5, 5, 5, 9}, {9, 0, 1, 4}, {0, 0, 2, 2}}), false,
         {{0, 0, 2, 2}}},
        {"trailing bytes ignored", Block(32, 1, {{0, 0, 1, 1}, {7, 7, 8, 8}}), false,
         {{0, 0, 1, 1}}},
    };
    for (const Case& c : cases) {
        const RegionHandle r = ExtCreateRegion(c.bytes);
        EXPECT_EQ(r == nullptr, c.null) << c.name;
        if (r) {
            EXPECT_EQ(RectsOf(*r), c.want) << c.name;
            EXPECT_TRUE(r->IsCanonical()) << c.name;
        }
    }
    // A well-formed block (of empty rectangles) one rectangle past the limit.
    std::vector<std::uint8_t> huge = Block(32, static_cast<std::uint32_t>(kMaxRgnDataBytes / 16), {});
    huge.resize(32 + kMaxRgnDataBytes / 16 * 16, 0);
    EXPECT_EQ(ExtCreateRegion(huge), nullptr);
}

TEST(RegionDataTest, RefusesBlocksMadeToUniteSlowly) {
    // Tall columns crossed by thousands of distinct one-row strips: a plain
    // strip-by-strip union would take minutes, so the block is not region data.
    Rects rs;
    for (std::int32_t i = 0; i < 6000; ++i) {
        rs.push_back({2 * i, 0, 2 * i + 1, 1 << 20});
        rs.push_back({-5, 3 * i, -2, 3 * i + 1});
    }
    const std::vector<std::uint8_t> bytes = Block(32, static_cast<std::uint32_t>(rs.size()), rs);
    EXPECT_EQ(ExtCreateRegion(bytes), nullptr);
}

TEST(RegionDataTest, RoundTrip) {
    std::mt19937 rng(7);
    for (int i = 0; i < 50; ++i) {
        Rects rs;
        for (int k = 0; k < 20; ++k) {
            const auto v = [&] { return static_cast<std::int32_t>(rng() % 2000) - 1000; };
            rs.push_back({v(), v(), v(), v()});
        }
        const Region r = Region::FromRects(rs);
        const RegionHandle back = ExtCreateRegion(EncodeRegionData(r));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(*back, r);
    }
}

}  // namespace
}  // namespace tw
