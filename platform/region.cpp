#include "platform/region.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

namespace tw {
namespace {

using RectVec = std::vector<Rect>;

struct Span {
    std::int32_t left;
    std::int32_t right;
    friend bool operator==(const Span&, const Span&) = default;
};

bool IsEmptyRect(const Rect& r) { return r.left >= r.right || r.top >= r.bottom; }

// Rects are sorted by top and bands never overlap, so both top and bottom are
// non-decreasing along the vector: every band lookup is a binary search.
std::size_t FirstWithBottomAfter(const RectVec& rs, std::int32_t y) {
    return static_cast<std::size_t>(
        std::partition_point(rs.begin(), rs.end(),
                             [y](const Rect& r) { return r.bottom <= y; }) -
        rs.begin());
}

std::size_t FirstWithTopAtOrAfter(const RectVec& rs, std::int32_t y) {
    return static_cast<std::size_t>(
        std::partition_point(rs.begin(), rs.end(), [y](const Rect& r) { return r.top < y; }) -
        rs.begin());
}

std::size_t BandEnd(const RectVec& rs, std::size_t begin) {
    const std::int32_t top = rs[begin].top;
    // Bands seen by the scan are short: look a few rectangles ahead before
    // falling back to a binary search over the tail.
    std::size_t i = begin + 1;
    for (std::size_t k = 0; k < 8; ++k, ++i) {
        if (i >= rs.size() || rs[i].top != top) return i;
    }
    return static_cast<std::size_t>(
        std::partition_point(rs.begin() + static_cast<std::ptrdiff_t>(i), rs.end(),
                             [top](const Rect& r) { return r.top == top; }) -
        rs.begin());
}

std::size_t BandBegin(const RectVec& rs, std::size_t inside) {
    const std::int32_t top = rs[inside].top;
    return static_cast<std::size_t>(
        std::partition_point(rs.begin(), rs.begin() + static_cast<std::ptrdiff_t>(inside),
                             [top](const Rect& r) { return r.top < top; }) -
        rs.begin());
}

bool SameSpans(const RectVec& rs, std::size_t a0, std::size_t a1, std::size_t b0,
               std::size_t b1) {
    if (a1 - a0 != b1 - b0) return false;
    for (; a0 < a1; ++a0, ++b0) {
        if (rs[a0].left != rs[b0].left || rs[a0].right != rs[b0].right) return false;
    }
    return true;
}

// Replaces rs[pos, pos + count) with src, moving the tail at most once.
void Splice(RectVec& rs, std::size_t pos, std::size_t count, const Rect* src, std::size_t n) {
    const std::size_t common = std::min(count, n);
    std::copy(src, src + common, rs.begin() + static_cast<std::ptrdiff_t>(pos));
    const auto at = rs.begin() + static_cast<std::ptrdiff_t>(pos + common);
    if (n > count) {
        rs.insert(at, src + common, src + n);
    } else if (count > n) {
        rs.erase(at, at + static_cast<std::ptrdiff_t>(count - n));
    }
}

// Merges neighbouring bands with identical spans, for the bands starting in
// [from, to) and the band that follows each of them. Returns nothing; the
// vector shrinks by the rectangles of merged-away bands.
void Coalesce(RectVec& rs, std::size_t from, std::size_t to) {
    std::size_t a = from;
    while (a < to && a < rs.size()) {
        const std::size_t aEnd = BandEnd(rs, a);
        if (aEnd >= rs.size()) return;
        const std::size_t bEnd = BandEnd(rs, aEnd);
        if (rs[a].bottom == rs[aEnd].top && SameSpans(rs, a, aEnd, aEnd, bEnd)) {
            const std::int32_t bottom = rs[aEnd].bottom;
            for (std::size_t i = a; i < aEnd; ++i) rs[i].bottom = bottom;
            rs.erase(rs.begin() + static_cast<std::ptrdiff_t>(aEnd),
                     rs.begin() + static_cast<std::ptrdiff_t>(bEnd));
            const std::size_t removed = bEnd - aEnd;
            to = to > removed ? to - removed : 0;
            // Stay on the grown band: it may now match the next one too.
        } else {
            a = aEnd;
        }
    }
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

void PutU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

void PutI32(std::uint8_t* p, std::int32_t v) { PutU32(p, static_cast<std::uint32_t>(v)); }

std::uint32_t GetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int32_t GetI32(const std::uint8_t* p) { return static_cast<std::int32_t>(GetU32(p)); }

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
    if (left < right && top < bottom) region.rects_.push_back(Rect{left, top, right, bottom});
    return region;
}

Region Region::FromRects(std::span<const Rect> rects) {
    RectVec input;
    input.reserve(rects.size());
    for (const Rect& r : rects) {
        if (!IsEmptyRect(r)) input.push_back(r);
    }
    Region region;
    if (input.empty()) return region;

    std::sort(input.begin(), input.end(), [](const Rect& a, const Rect& b) {
        return a.top != b.top ? a.top < b.top : a.left < b.left;
    });
    std::vector<std::int32_t> edges;
    edges.reserve(input.size() * 2);
    for (const Rect& r : input) {
        edges.push_back(r.top);
        edges.push_back(r.bottom);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());

    region.rects_.reserve(input.size());
    BandWriter writer(region.rects_);
    RectVec active;
    std::vector<Span> spans;
    std::size_t next = 0;
    for (std::size_t e = 0; e + 1 < edges.size(); ++e) {
        const std::int32_t y0 = edges[e];
        const std::int32_t y1 = edges[e + 1];
        std::erase_if(active, [y0](const Rect& r) { return r.bottom <= y0; });
        while (next < input.size() && input[next].top <= y0) active.push_back(input[next++]);
        if (active.empty()) continue;
        spans.clear();
        for (const Rect& r : active) spans.push_back(Span{r.left, r.right});
        if (!std::is_sorted(spans.begin(), spans.end(),
                            [](const Span& a, const Span& b) { return a.left < b.left; })) {
            std::sort(spans.begin(), spans.end(),
                      [](const Span& a, const Span& b) { return a.left < b.left; });
        }
        JoinSpans(spans);
        writer.Add(y0, y1, spans);
    }
    region.rects_.shrink_to_fit();
    TW_CHECK_CANONICAL(region);
    return region;
}

void Region::Subtract(const Rect& rect) {
    if (IsEmptyRect(rect) || rects_.empty()) return;
    RectVec& rs = rects_;
    const std::size_t lo = FirstWithBottomAfter(rs, rect.top);
    const std::size_t hi = FirstWithTopAtOrAfter(rs, rect.bottom);
    if (lo >= hi) return;

    // Bands are rewritten last to first so that the indices of the earlier
    // ones stay valid while the vector changes behind them.
    std::size_t touchedEnd = hi;
    bool changed = false;
    RectVec scratch;
    std::size_t be = hi;
    while (be > lo) {
        const std::size_t bs = BandBegin(rs, be - 1);
        const auto bandFirst = rs.begin() + static_cast<std::ptrdiff_t>(bs);
        const auto bandLast = rs.begin() + static_cast<std::ptrdiff_t>(be);
        const auto xsIt = std::partition_point(
            bandFirst, bandLast, [&](const Rect& r) { return r.right <= rect.left; });
        const auto xeIt =
            std::partition_point(xsIt, bandLast, [&](const Rect& r) { return r.left < rect.right; });
        const std::size_t xs = static_cast<std::size_t>(xsIt - rs.begin());
        const std::size_t xe = static_cast<std::size_t>(xeIt - rs.begin());
        if (xs == xe) {
            be = bs;
            continue;
        }
        changed = true;

        const std::int32_t top = rs[bs].top;
        const std::int32_t bottom = rs[bs].bottom;
        const std::int32_t midTop = std::max(top, rect.top);
        const std::int32_t midBottom = std::min(bottom, rect.bottom);
        Rect pieces[2];
        std::size_t np = 0;
        if (rs[xs].left < rect.left) pieces[np++] = Rect{rs[xs].left, midTop, rect.left, midBottom};
        if (rs[xe - 1].right > rect.right) {
            pieces[np++] = Rect{rect.right, midTop, rs[xe - 1].right, midBottom};
        }

        const std::size_t oldSize = rs.size();
        if (top >= rect.top && bottom <= rect.bottom) {
            Splice(rs, xs, xe - xs, pieces, np);
        } else {
            scratch.clear();
            if (top < rect.top) {
                for (std::size_t i = bs; i < be; ++i) {
                    scratch.push_back(Rect{rs[i].left, top, rs[i].right, rect.top});
                }
            }
            for (std::size_t i = bs; i < xs; ++i) {
                scratch.push_back(Rect{rs[i].left, midTop, rs[i].right, midBottom});
            }
            scratch.insert(scratch.end(), pieces, pieces + np);
            for (std::size_t i = xe; i < be; ++i) {
                scratch.push_back(Rect{rs[i].left, midTop, rs[i].right, midBottom});
            }
            if (bottom > rect.bottom) {
                for (std::size_t i = bs; i < be; ++i) {
                    scratch.push_back(Rect{rs[i].left, rect.bottom, rs[i].right, bottom});
                }
            }
            Splice(rs, bs, be - bs, scratch.data(), scratch.size());
        }
        touchedEnd = touchedEnd + rs.size() - oldSize;
        be = bs;
    }
    if (!changed) return;

    // Only the rewritten bands and their two neighbours can have become equal.
    const std::size_t from = lo > 0 ? BandBegin(rs, lo - 1) : 0;
    Coalesce(rs, from, touchedEnd);
    TW_CHECK_CANONICAL(*this);
}

void Region::Subtract(const Region& other) {
    if (rects_.empty() || other.rects_.empty()) return;
    if (other.rects_.size() == 1) {
        const Rect r = other.rects_.front();
        Subtract(r);
        return;
    }
    const RectVec& a = rects_;
    const RectVec& b = other.rects_;
    std::vector<std::int32_t> edges;
    edges.reserve(2 * (a.size() + b.size()));
    for (const RectVec* v : {&a, &b}) {
        for (std::size_t i = 0; i < v->size(); i = BandEnd(*v, i)) {
            edges.push_back((*v)[i].top);
            edges.push_back((*v)[i].bottom);
        }
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());

    RectVec out;
    out.reserve(a.size());
    BandWriter writer(out);
    std::vector<Span> spans;
    std::size_t ia = 0;
    std::size_t ib = 0;
    for (std::size_t e = 0; e + 1 < edges.size(); ++e) {
        const std::int32_t y0 = edges[e];
        const std::int32_t y1 = edges[e + 1];
        while (ia < a.size() && a[ia].bottom <= y0) ia = BandEnd(a, ia);
        if (ia >= a.size()) break;
        if (a[ia].top > y0) continue;
        while (ib < b.size() && b[ib].bottom <= y0) ib = BandEnd(b, ib);
        const std::size_t iaEnd = BandEnd(a, ia);
        std::span<const Rect> bandA(a.data() + ia, iaEnd - ia);
        std::span<const Rect> bandB;
        if (ib < b.size() && b[ib].top <= y0) bandB = {b.data() + ib, BandEnd(b, ib) - ib};
        SubtractSpans(bandA, bandB, spans);
        writer.Add(y0, y1, spans);
    }
    rects_ = std::move(out);
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
        const std::uint64_t w = static_cast<std::uint64_t>(static_cast<std::int64_t>(r.right) - r.left);
        const std::uint64_t h = static_cast<std::uint64_t>(static_cast<std::int64_t>(r.bottom) - r.top);
        const std::uint64_t piece = w * h;  // < 2^64: each side is below 2^32
        if (piece > kMax - area) return static_cast<std::int64_t>(kMax);
        area += piece;
    }
    return static_cast<std::int64_t>(area);
}

bool Region::Contains(std::int32_t x, std::int32_t y) const {
    const std::size_t bs = FirstWithBottomAfter(rects_, y);
    if (bs >= rects_.size() || rects_[bs].top > y) return false;
    const std::size_t be = BandEnd(rects_, bs);
    const auto it = std::partition_point(rects_.begin() + static_cast<std::ptrdiff_t>(bs),
                                         rects_.begin() + static_cast<std::ptrdiff_t>(be),
                                         [x](const Rect& r) { return r.right <= x; });
    return it != rects_.begin() + static_cast<std::ptrdiff_t>(be) && it->left <= x;
}

bool Region::IsCanonical() const {
    std::size_t prevBand = 0;
    std::size_t band = 0;
    for (std::size_t i = 0; i < rects_.size(); ++i) {
        const Rect& r = rects_[i];
        if (IsEmptyRect(r)) return false;
        if (i == 0) continue;
        const Rect& p = rects_[i - 1];
        if (r.top == p.top) {
            if (r.bottom != p.bottom || r.left <= p.right) return false;
            continue;
        }
        if (r.top < p.bottom) return false;  // also catches a top going backwards
        // A band ends at i: compare it with the one before when they touch.
        if (band > 0 && rects_[prevBand].bottom == rects_[band].top &&
            SameSpans(rects_, prevBand, band, band, i)) {
            return false;
        }
        prevBand = band;
        band = i;
    }
    if (band > 0 && rects_[prevBand].bottom == rects_[band].top &&
        SameSpans(rects_, prevBand, band, band, rects_.size())) {
        return false;
    }
    return true;
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
    PutU32(buffer + 0, static_cast<std::uint32_t>(kRgnDataHeaderSize));
    PutU32(buffer + 4, 1);  // RDH_RECTANGLES
    PutU32(buffer + 8, static_cast<std::uint32_t>(rects.size()));
    PutU32(buffer + 12, static_cast<std::uint32_t>(rects.size() * kRgnDataRectSize));
    PutI32(buffer + 16, bound.left);
    PutI32(buffer + 20, bound.top);
    PutI32(buffer + 24, bound.right);
    PutI32(buffer + 28, bound.bottom);
    std::uint8_t* p = buffer + kRgnDataHeaderSize;
    for (const Rect& r : rects) {
        PutI32(p + 0, r.left);
        PutI32(p + 4, r.top);
        PutI32(p + 8, r.right);
        PutI32(p + 12, r.bottom);
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
    if (GetU32(p) != kRgnDataHeaderSize) return nullptr;
    const std::uint64_t count = GetU32(p + 8);
    if (bytes.size() < kRgnDataHeaderSize + count * kRgnDataRectSize) return nullptr;

    RectVec rects;
    rects.reserve(static_cast<std::size_t>(count));  // bounded by the bytes checked above
    p += kRgnDataHeaderSize;
    for (std::uint64_t i = 0; i < count; ++i, p += kRgnDataRectSize) {
        const Rect r{GetI32(p), GetI32(p + 4), GetI32(p + 8), GetI32(p + 12)};
        if (!IsEmptyRect(r)) rects.push_back(r);
    }
    return std::make_unique<Region>(Region::FromRects(rects));
}

}  // namespace tw
