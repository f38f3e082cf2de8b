// The region engine. Which algorithm runs when:
//  - FromRects, and the RGNDATA decoder: rectangles that are already in the
//    canonical form (all GDI ever writes) are taken as they are after one
//    check; any others are united by the edge sweep, which the decoder
//    refuses to start when it would cost more than kMaxDecodeSweepWork.
//  - Subtract(Rect), the colour-key scan's every step: a band wholly inside
//    the rectangle's rows is cut in place; otherwise only the bands the
//    rectangle crosses are rebuilt, split in rows where it covers them in part.
//  - Subtract(Region) with more than one rectangle: the edge sweep, over both
//    regions' bands at once.
// The edge sweep walks down the distinct tops and bottoms; each strip between
// two of them becomes one band, merged with the band above when they touch
// and have the same spans.
#include "platform/portable/region.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <optional>
#include <utility>

#include "platform/portable/byte_order.h"

namespace tw {
namespace {

using RectVec = std::vector<Rect>;

struct Span {
    std::int32_t left;
    std::int32_t right;
};

// The most strip-by-rectangle steps the decoder spends on uniting data that
// is not already canonical (a fraction of a second).
constexpr std::uint64_t kMaxDecodeSweepWork = std::uint64_t{1} << 25;

// Beyond this the subtract scratch is given back rather than kept.
constexpr std::size_t kKeptScratchRects = std::size_t{1} << 16;

bool IsEmptyRect(const Rect& r) { return r.left >= r.right || r.top >= r.bottom; }

// Rects are sorted by top and bands never overlap, so both top and bottom are
// non-decreasing along rects_ and along bands_. Searches gallop out from the
// end, where a top-to-bottom scan does its work, so that their cost grows with
// the distance covered and not with the size of the region.

// First index in [first, last) where pred(index) is false; pred holds on a
// prefix.
template <class Pred>
std::size_t GallopBack(std::size_t first, std::size_t last, Pred pred) {
    std::size_t lo = first;
    std::size_t hi = last;
    for (std::size_t step = 1; hi > first; step *= 2) {
        const std::size_t probe = hi - first > step ? hi - step : first;
        if (pred(probe)) {
            lo = probe + 1;
            break;
        }
        hi = probe;
    }
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (pred(mid)) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

bool SameSpans(std::span<const Rect> rs, std::size_t a0, std::size_t a1, std::size_t b0,
               std::size_t b1) {
    if (a1 - a0 != b1 - b0) return false;
    for (; a0 < a1; ++a0, ++b0) {
        if (rs[a0].left != rs[b0].left || rs[a0].right != rs[b0].right) return false;
    }
    return true;
}

// Whether rs is in the canonical form (see region.h); if so and bands is
// given, it receives the index of each band's first rectangle.
bool CanonicalRects(std::span<const Rect> rs, std::vector<std::size_t>* bands) {
    if (bands != nullptr) bands->clear();
    std::size_t prevBand = 0;
    std::size_t band = 0;
    for (std::size_t i = 0; i <= rs.size(); ++i) {
        if (i < rs.size()) {
            if (IsEmptyRect(rs[i])) return false;
            if (i > 0 && rs[i].top == rs[i - 1].top) {
                if (rs[i].bottom != rs[i - 1].bottom || rs[i].left <= rs[i - 1].right) return false;
                continue;
            }
            if (i > 0 && rs[i].top < rs[i - 1].bottom) return false;  // also a top going back
        }
        // The band [band, i) is complete: compare it with the one before.
        if (band > 0 && rs[prevBand].bottom == rs[band].top &&
            SameSpans(rs, prevBand, band, band, i)) {
            return false;
        }
        if (bands != nullptr && i < rs.size()) bands->push_back(i);
        prevBand = band;
        band = i;
    }
    return true;
}

// The distinct tops and bottoms of the rectangles in all the groups, sorted.
std::vector<std::int32_t> DistinctEdges(std::initializer_list<std::span<const Rect>> groups) {
    std::vector<std::int32_t> edges;
    for (const std::span<const Rect> rs : groups) {
        for (std::size_t i = 0; i < rs.size(); ++i) {
            // A band's rectangles share their edges: sort them once a band.
            if (i > 0 && rs[i].top == rs[i - 1].top && rs[i].bottom == rs[i - 1].bottom) continue;
            edges.push_back(rs[i].top);
            edges.push_back(rs[i].bottom);
        }
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    return edges;
}

// What the union sweep costs: for each rectangle, the strips it crosses.
std::uint64_t SweepWork(std::span<const Rect> rs, const std::vector<std::int32_t>& edges) {
    std::uint64_t work = 0;
    for (const Rect& r : rs) {
        work += static_cast<std::uint64_t>(
            std::lower_bound(edges.begin(), edges.end(), r.bottom) -
            std::lower_bound(edges.begin(), edges.end(), r.top));
    }
    return work;
}

void RebuildBands(const RectVec& rs, std::vector<std::size_t>& bands) {
    bands.clear();
    for (std::size_t i = 0; i < rs.size(); ++i) {
        if (i == 0 || rs[i].top != rs[i - 1].top) bands.push_back(i);
    }
}

// Replaces v[pos, pos + count) with src, moving the tail at most once.
template <class T>
void Splice(std::vector<T>& v, std::size_t pos, std::size_t count, const T* src, std::size_t n) {
    const std::size_t common = std::min(count, n);
    std::copy(src, src + common, v.begin() + static_cast<std::ptrdiff_t>(pos));
    const auto at = v.begin() + static_cast<std::ptrdiff_t>(pos + common);
    if (n > count) {
        v.insert(at, src + common, src + n);
    } else if (count > n) {
        v.erase(at, at + static_cast<std::ptrdiff_t>(count - n));
    }
}

// Band access over the two private vectors of a Region.
class BandView {
public:
    BandView(RectVec& rects, std::vector<std::size_t>& bands) : rs_(rects), bs_(bands) {}

    const RectVec& Rects() const { return rs_; }
    std::size_t Count() const { return bs_.size(); }
    std::size_t Begin(std::size_t b) const { return bs_[b]; }
    std::size_t End(std::size_t b) const { return b + 1 < bs_.size() ? bs_[b + 1] : rs_.size(); }
    const Rect& First(std::size_t b) const { return rs_[bs_[b]]; }

    // The bands [first, last) that the rows [top, bottom) cross.
    std::pair<std::size_t, std::size_t> Crossing(std::int32_t top, std::int32_t bottom) const {
        const std::size_t first =
            GallopBack(0, Count(), [&](std::size_t b) { return First(b).bottom <= top; });
        const std::size_t last =
            GallopBack(first, Count(), [&](std::size_t b) { return First(b).top < bottom; });
        return {first, last};
    }

    bool SameSpans(std::size_t a, std::size_t b) const {
        return tw::SameSpans(rs_, Begin(a), End(a), Begin(b), End(b));
    }

    // The bands from firstMoved on move with the rectangles after the replaced ones.
    void ReplaceRects(std::size_t pos, std::size_t count, const Rect* src, std::size_t n,
                      std::size_t firstMoved) {
        Splice(rs_, pos, count, src, n);
        ShiftFrom(firstMoved, static_cast<std::ptrdiff_t>(n) - static_cast<std::ptrdiff_t>(count));
    }

    void ReplaceStarts(std::size_t b, std::size_t count, const std::vector<std::size_t>& starts) {
        Splice(bs_, b, count, starts.data(), starts.size());
    }

    void EraseStart(std::size_t b) { bs_.erase(bs_.begin() + static_cast<std::ptrdiff_t>(b)); }

    // Merges each band b in [from, to] into the previous one when they touch
    // and have the same spans.
    void Coalesce(std::size_t from, std::size_t to) {
        for (std::size_t b = std::max<std::size_t>(from, 1); b <= to && b < bs_.size();) {
            if (First(b - 1).bottom != First(b).top || !SameSpans(b - 1, b)) {
                ++b;
                continue;
            }
            const std::size_t begin = Begin(b);
            const std::size_t end = End(b);
            const std::int32_t bottom = rs_[begin].bottom;
            for (std::size_t i = Begin(b - 1); i < begin; ++i) rs_[i].bottom = bottom;
            rs_.erase(rs_.begin() + static_cast<std::ptrdiff_t>(begin),
                      rs_.begin() + static_cast<std::ptrdiff_t>(end));
            EraseStart(b);
            ShiftFrom(b, -static_cast<std::ptrdiff_t>(end - begin));
            --to;  // the grown band b - 1 is compared with the new band b next
        }
    }

private:
    void ShiftFrom(std::size_t b, std::ptrdiff_t delta) {
        for (; b < bs_.size(); ++b) {
            bs_[b] = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(bs_[b]) + delta);
        }
    }

    RectVec& rs_;
    std::vector<std::size_t>& bs_;
};

// The rectangles [first, last) of a band that a hole meets, and what is left
// of them: at most a piece on the left and one on the right.
struct BandCut {
    std::size_t first = 0;
    std::size_t last = 0;
    Rect pieces[2];
    std::size_t pieceCount = 0;

    bool Misses() const { return first == last; }
};

// The cut of band b by the hole's columns; the pieces get the rows [top, bottom).
BandCut CutBand(const BandView& bands, std::size_t b, const Rect& hole, std::int32_t top,
                std::int32_t bottom) {
    const RectVec& rs = bands.Rects();
    const std::size_t begin = bands.Begin(b);
    BandCut cut;
    cut.last =
        GallopBack(begin, bands.End(b), [&](std::size_t i) { return rs[i].left < hole.right; });
    cut.first =
        GallopBack(begin, cut.last, [&](std::size_t i) { return rs[i].right <= hole.left; });
    if (cut.Misses()) return cut;
    if (rs[cut.first].left < hole.left) {
        cut.pieces[cut.pieceCount++] = Rect{rs[cut.first].left, top, hole.left, bottom};
    }
    if (rs[cut.last - 1].right > hole.right) {
        cut.pieces[cut.pieceCount++] = Rect{hole.right, top, rs[cut.last - 1].right, bottom};
    }
    return cut;
}

// For a band wholly inside the hole's rows: edited in place, only later bands move.
void CutBandInPlace(BandView& bands, std::size_t b, const Rect& hole) {
    const Rect row = bands.First(b);
    const BandCut cut = CutBand(bands, b, hole, row.top, row.bottom);
    if (cut.Misses()) return;
    const std::size_t removed = cut.last - cut.first;
    const bool emptied = cut.pieceCount == 0 && removed == bands.End(b) - bands.Begin(b);
    bands.ReplaceRects(cut.first, removed, cut.pieces, cut.pieceCount, b + 1);
    if (emptied) {
        // Bands on either side are at least a row apart from each other.
        bands.EraseStart(b);
    } else {
        bands.Coalesce(b, b + 1);
    }
}

// Bands being rebuilt: their rectangles and the index of each one's first.
struct BandBuffer {
    RectVec rects;
    std::vector<std::size_t> starts;

    void AppendRows(const RectVec& src, std::size_t first, std::size_t last, std::int32_t top,
                    std::int32_t bottom) {
        for (std::size_t i = first; i < last; ++i) {
            rects.push_back(Rect{src[i].left, top, src[i].right, bottom});
        }
    }

    void AppendBand(const BandView& bands, std::size_t b, std::int32_t top, std::int32_t bottom) {
        starts.push_back(rects.size());
        AppendRows(bands.Rects(), bands.Begin(b), bands.End(b), top, bottom);
    }

    // Band b less the cut, unless nothing is left of it.
    void AppendCutBand(const BandView& bands, std::size_t b, const BandCut& cut, std::int32_t top,
                       std::int32_t bottom) {
        const std::size_t start = rects.size();
        AppendRows(bands.Rects(), bands.Begin(b), cut.first, top, bottom);
        rects.insert(rects.end(), cut.pieces, cut.pieces + cut.pieceCount);
        AppendRows(bands.Rects(), cut.last, bands.End(b), top, bottom);
        if (rects.size() > start) starts.push_back(start);
    }

    void ReleaseIfLarge() {
        if (rects.capacity() > kKeptScratchRects) *this = BandBuffer{};
    }
};

// Writes bands [b0, b1) less the hole to out, splitting the ones the hole
// only partly covers in rows; false when the hole cuts none of them.
bool CutCrossedBands(const BandView& bands, std::size_t b0, std::size_t b1, const Rect& hole,
                     BandBuffer& out) {
    out.rects.clear();
    out.starts.clear();
    bool changed = false;
    for (std::size_t b = b0; b < b1; ++b) {
        const std::int32_t top = bands.First(b).top;
        const std::int32_t bottom = bands.First(b).bottom;
        const std::int32_t midTop = std::max(top, hole.top);
        const std::int32_t midBottom = std::min(bottom, hole.bottom);
        const BandCut cut = CutBand(bands, b, hole, midTop, midBottom);
        if (cut.Misses()) {
            out.AppendBand(bands, b, top, bottom);
            continue;
        }
        changed = true;
        if (top < hole.top) out.AppendBand(bands, b, top, hole.top);
        out.AppendCutBand(bands, b, cut, midTop, midBottom);
        if (bottom > hole.bottom) out.AppendBand(bands, b, hole.bottom, bottom);
    }
    return changed;
}

void ReplaceBands(BandView& bands, std::size_t b0, std::size_t b1, BandBuffer& rebuilt) {
    const std::size_t first = bands.Begin(b0);
    bands.ReplaceRects(first, bands.End(b1 - 1) - first, rebuilt.rects.data(), rebuilt.rects.size(),
                       b1);
    for (std::size_t& start : rebuilt.starts) start += first;
    bands.ReplaceStarts(b0, b1 - b0, rebuilt.starts);
    // Only the rebuilt bands and their two neighbours can have become equal.
    bands.Coalesce(b0, b0 + rebuilt.starts.size());
}

void RebuildCrossedBands(BandView& bands, std::size_t b0, std::size_t b1, const Rect& hole) {
    // Scratch kept per thread: the scan comes here once a row, and a fresh
    // allocation each time costs more than the copying.
    thread_local BandBuffer rebuilt;
    if (CutCrossedBands(bands, b0, b1, hole, rebuilt)) ReplaceBands(bands, b0, b1, rebuilt);
    rebuilt.ReleaseIfLarge();
}

// Appends bands in top-to-bottom order, merging each into the previous one
// when they touch and have the same spans.
class BandWriter {
public:
    explicit BandWriter(RectVec& out) : out_(out) {}

    void Add(std::int32_t top, std::int32_t bottom, const std::vector<Span>& spans) {
        if (spans.empty()) return;
        if (!out_.empty() && out_.back().bottom == top &&
            out_.size() - lastBand_ == spans.size() &&
            std::equal(spans.begin(), spans.end(),
                       out_.begin() + static_cast<std::ptrdiff_t>(lastBand_),
                       [](const Span& s, const Rect& r) {
                           return s.left == r.left && s.right == r.right;
                       })) {
            for (std::size_t i = lastBand_; i < out_.size(); ++i) out_[i].bottom = bottom;
            return;
        }
        lastBand_ = out_.size();
        for (const Span& s : spans) out_.push_back(Rect{s.left, top, s.right, bottom});
    }

private:
    RectVec& out_;
    std::size_t lastBand_ = 0;
};

// Spans of `sorted` (sorted by left) with overlapping and touching ones joined.
void JoinSpans(std::vector<Span>& sorted) {
    std::size_t w = 0;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (w > 0 && sorted[i].left <= sorted[w - 1].right) {
            sorted[w - 1].right = std::max(sorted[w - 1].right, sorted[i].right);
        } else {
            sorted[w++] = sorted[i];
        }
    }
    sorted.resize(w);
}

// The edge sweep: spansOf(top, spans) fills the spans of the strip from one
// edge to the next, and returns false when no strip further down holds any.
template <class SpansOf>
RectVec SweepStrips(const std::vector<std::int32_t>& edges, std::size_t expectedRects, SpansOf spansOf) {
    RectVec out;
    out.reserve(expectedRects);
    BandWriter writer(out);
    std::vector<Span> spans;
    for (std::size_t e = 0; e + 1 < edges.size(); ++e) {
        spans.clear();
        if (!spansOf(edges[e], spans)) break;
        writer.Add(edges[e], edges[e + 1], spans);
    }
    return out;
}

// The union: the sweep keeps the rectangles that cover the current strip and
// joins their spans.
RectVec SweepUnion(RectVec input, const std::vector<std::int32_t>& edges) {
    std::sort(input.begin(), input.end(), [](const Rect& a, const Rect& b) {
        return a.top != b.top ? a.top < b.top : a.left < b.left;
    });
    RectVec active;
    const auto byLeft = [](const Span& a, const Span& b) { return a.left < b.left; };
    std::size_t next = 0;
    RectVec out = SweepStrips(edges, input.size(), [&](std::int32_t y0, std::vector<Span>& spans) {
        std::erase_if(active, [y0](const Rect& r) { return r.bottom <= y0; });
        while (next < input.size() && input[next].top <= y0) active.push_back(input[next++]);
        for (const Rect& r : active) spans.push_back(Span{r.left, r.right});
        if (!std::is_sorted(spans.begin(), spans.end(), byLeft)) {
            std::sort(spans.begin(), spans.end(), byLeft);
        }
        JoinSpans(spans);
        return true;
    });
    out.shrink_to_fit();
    return out;
}

// a minus b; both sorted, disjoint and not touching.
void SubtractSpans(std::span<const Rect> a, std::span<const Rect> b, std::vector<Span>& out) {
    out.clear();
    std::size_t j = 0;
    for (const Rect& ar : a) {
        std::int32_t cur = ar.left;
        while (j < b.size() && b[j].right <= cur) ++j;
        for (std::size_t k = j; k < b.size() && b[k].left < ar.right; ++k) {
            if (b[k].left > cur) out.push_back(Span{cur, b[k].left});
            cur = std::max(cur, b[k].right);
            if (cur >= ar.right) break;
        }
        if (cur < ar.right) out.push_back(Span{cur, ar.right});
    }
}

}  // namespace

// Debug and sanitizer builds define TW_CHECK_INVARIANTS; the check must hold
// even where NDEBUG switches assert() off, so it aborts on its own.
#ifdef TW_CHECK_INVARIANTS
#define TW_CHECK_CANONICAL(region)                                                      \
    do {                                                                                \
        if (!(region).IsCanonical()) {                                                  \
            std::fprintf(stderr, "%s:%d: region is not canonical\n", __FILE__, __LINE__); \
            std::abort();                                                               \
        }                                                                               \
    } while (false)
#else
#define TW_CHECK_CANONICAL(region) \
    do {                           \
    } while (false)
#endif

Region Region::FromRect(std::int32_t left, std::int32_t top, std::int32_t right,
                        std::int32_t bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    Region region;
    if (left < right && top < bottom) {
        region.rects_.push_back(Rect{left, top, right, bottom});
        region.bands_.push_back(0);
    }
    return region;
}

Region Region::FromRects(std::span<const Rect> rects) {
    RectVec input;
    input.reserve(rects.size());
    for (const Rect& r : rects) {
        if (!IsEmptyRect(r)) input.push_back(r);
    }
    return *FromNonEmptyRects(std::move(input), std::nullopt);
}

std::optional<Region> Region::FromNonEmptyRects(std::vector<Rect> rects,
                                                std::optional<std::uint64_t> maxSweepWork) {
    Region region;
    // Region data written by GetRegionData is already canonical: take it as is.
    if (CanonicalRects(rects, &region.bands_)) {
        region.rects_ = std::move(rects);
        return region;
    }
    const std::vector<std::int32_t> edges = DistinctEdges({rects});
    if (maxSweepWork && SweepWork(rects, edges) > *maxSweepWork) return std::nullopt;
    region.rects_ = SweepUnion(std::move(rects), edges);
    RebuildBands(region.rects_, region.bands_);
    TW_CHECK_CANONICAL(region);
    return region;
}

void Region::Subtract(const Rect& rect) {
    if (IsEmptyRect(rect) || rects_.empty()) return;
    BandView bands(rects_, bands_);
    const auto [b0, b1] = bands.Crossing(rect.top, rect.bottom);
    if (b0 >= b1) return;
    // A single band wholly inside the rectangle's rows is the scan's every step.
    const Rect& only = bands.First(b0);
    if (b1 == b0 + 1 && only.top >= rect.top && only.bottom <= rect.bottom) {
        CutBandInPlace(bands, b0, rect);
    } else {
        RebuildCrossedBands(bands, b0, b1, rect);
    }
    TW_CHECK_CANONICAL(*this);
}

void Region::Subtract(const Region& other) {
    if (rects_.empty() || other.rects_.empty()) return;
    if (other.rects_.size() == 1) {
        const Rect r = other.rects_.front();
        Subtract(r);
        return;
    }
    const std::vector<std::int32_t> edges = DistinctEdges({rects_, other.rects_});

    // Both band lists walked down together; in each strip this region's
    // spans minus the other's.
    const RectVec& a = rects_;
    const RectVec& b = other.rects_;
    const auto bandEnd = [](const Region& r, std::size_t band) {
        return band + 1 < r.bands_.size() ? r.bands_[band + 1] : r.rects_.size();
    };
    std::size_t ia = 0;
    std::size_t ib = 0;
    RectVec out = SweepStrips(edges, a.size(), [&](std::int32_t y0, std::vector<Span>& spans) {
        while (ia < bands_.size() && a[bands_[ia]].bottom <= y0) ++ia;
        if (ia >= bands_.size()) return false;
        if (a[bands_[ia]].top > y0) return true;
        while (ib < other.bands_.size() && b[other.bands_[ib]].bottom <= y0) ++ib;
        const std::span<const Rect> bandA(a.data() + bands_[ia], bandEnd(*this, ia) - bands_[ia]);
        std::span<const Rect> bandB;
        if (ib < other.bands_.size() && b[other.bands_[ib]].top <= y0) {
            bandB = {b.data() + other.bands_[ib], bandEnd(other, ib) - other.bands_[ib]};
        }
        SubtractSpans(bandA, bandB, spans);
        return true;
    });
    rects_ = std::move(out);
    RebuildBands(rects_, bands_);
    TW_CHECK_CANONICAL(*this);
}

Rect Region::Bounds() const {
    if (rects_.empty()) return Rect{};
    Rect b{std::numeric_limits<std::int32_t>::max(), rects_.front().top,
           std::numeric_limits<std::int32_t>::min(), rects_.back().bottom};
    for (const Rect& r : rects_) {
        b.left = std::min(b.left, r.left);
        b.right = std::max(b.right, r.right);
    }
    return b;
}

std::int64_t Region::Area() const {
    // A region near the full 32-bit plane holds more pixels than int64 can
    // count: saturate rather than overflow.
    constexpr std::uint64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::uint64_t area = 0;
    for (const Rect& r : rects_) {
        const auto w = static_cast<std::uint64_t>(static_cast<std::int64_t>(r.right) - r.left);
        const auto h = static_cast<std::uint64_t>(static_cast<std::int64_t>(r.bottom) - r.top);
        const std::uint64_t piece = w * h;  // < 2^64: each side is below 2^32
        if (piece > kMax - area) return static_cast<std::int64_t>(kMax);
        area += piece;
    }
    return static_cast<std::int64_t>(area);
}

bool Region::Contains(std::int32_t x, std::int32_t y) const {
    const auto band = std::partition_point(bands_.begin(), bands_.end(), [&](std::size_t start) {
        return rects_[start].bottom <= y;
    });
    if (band == bands_.end() || rects_[*band].top > y) return false;
    const auto first = rects_.begin() + static_cast<std::ptrdiff_t>(*band);
    const auto last = band + 1 == bands_.end()
                          ? rects_.end()
                          : rects_.begin() + static_cast<std::ptrdiff_t>(*(band + 1));
    const auto it = std::partition_point(first, last, [x](const Rect& r) { return r.right <= x; });
    return it != last && it->left <= x;
}

bool Region::IsCanonical() const {
    // The band index is part of the form: it must list exactly the bands.
    std::vector<std::size_t> starts;
    return CanonicalRects(rects_, &starts) && starts == bands_;
}

RegionHandle CreateRectRgn(std::int32_t left, std::int32_t top, std::int32_t right,
                           std::int32_t bottom) {
    return std::make_unique<Region>(Region::FromRect(left, top, right, bottom));
}

std::uint32_t GetRegionData(const Region* region, std::uint32_t size, std::uint8_t* buffer) {
    if (region == nullptr) return 0;
    const std::span<const Rect> rects = region->Rects();
    const std::uint64_t needed =
        kRgnDataHeaderSize + static_cast<std::uint64_t>(rects.size()) * kRgnDataRectSize;
    if (needed > std::numeric_limits<std::uint32_t>::max()) return 0;
    if (size == 0 || buffer == nullptr) return static_cast<std::uint32_t>(needed);
    if (size < needed) return 0;

    const Rect bound = region->Bounds();
    WriteU32Le(buffer + 0, static_cast<std::uint32_t>(kRgnDataHeaderSize));
    WriteU32Le(buffer + 4, 1);  // RDH_RECTANGLES
    WriteU32Le(buffer + 8, static_cast<std::uint32_t>(rects.size()));
    WriteU32Le(buffer + 12, static_cast<std::uint32_t>(rects.size() * kRgnDataRectSize));
    WriteI32Le(buffer + 16, bound.left);
    WriteI32Le(buffer + 20, bound.top);
    WriteI32Le(buffer + 24, bound.right);
    WriteI32Le(buffer + 28, bound.bottom);
    std::uint8_t* p = buffer + kRgnDataHeaderSize;
    for (const Rect& r : rects) {
        WriteI32Le(p + 0, r.left);
        WriteI32Le(p + 4, r.top);
        WriteI32Le(p + 8, r.right);
        WriteI32Le(p + 12, r.bottom);
        p += kRgnDataRectSize;
    }
    return static_cast<std::uint32_t>(needed);
}

std::vector<std::uint8_t> EncodeRegionData(const Region& region) {
    const std::uint32_t needed = GetRegionData(&region, 0, nullptr);
    std::vector<std::uint8_t> bytes(needed);
    if (needed != 0) GetRegionData(&region, needed, bytes.data());
    return bytes;
}

RegionHandle ExtCreateRegion(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kRgnDataHeaderSize || bytes.size() > kMaxRgnDataBytes) return nullptr;
    const std::uint8_t* p = bytes.data();
    if (ReadU32Le(p) != kRgnDataHeaderSize) return nullptr;
    const std::uint64_t count = ReadU32Le(p + 8);
    if (bytes.size() < kRgnDataHeaderSize + count * kRgnDataRectSize) return nullptr;

    RectVec rects;
    rects.reserve(static_cast<std::size_t>(count));  // bounded by the bytes checked above
    p += kRgnDataHeaderSize;
    for (std::uint64_t i = 0; i < count; ++i, p += kRgnDataRectSize) {
        const Rect r{ReadI32Le(p), ReadI32Le(p + 4), ReadI32Le(p + 8), ReadI32Le(p + 12)};
        if (!IsEmptyRect(r)) rects.push_back(r);
    }
    // Windows itself only ever writes canonical data. Anything else is united
    // by a sweep whose cost a crafted block could make quadratic: refuse
    // those rather than hang.
    std::optional<Region> region = Region::FromNonEmptyRects(std::move(rects), kMaxDecodeSweepWork);
    return region ? std::make_unique<Region>(std::move(*region)) : nullptr;
}

}  // namespace tw
