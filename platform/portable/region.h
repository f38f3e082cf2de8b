// A region: a set of pixels, kept as rectangles in the canonical banded form
// that the Windows graphics interface (GDI) holds, so that the RGNDATA bytes we
// write are the bytes Windows writes for the same pixel set.
//
// Invariant (checked by Region::IsCanonical(); tests and debug builds call it):
//  1. Every rectangle is non-empty: left < right and top < bottom.
//  2. Rectangles are grouped in bands. All rectangles of a band share one top
//     and one bottom; bands are sorted by top and do not overlap
//     (a band's top >= the previous band's bottom).
//  3. Within a band, rectangles are sorted by left and neither overlap nor
//     touch (a rectangle's left > the previous one's right): touching ones
//     are merged.
//  4. Two adjacent bands (one's bottom == the next one's top) never have
//     identical x-spans: such bands are merged into one. Bands with a gap
//     between them are never merged.
// The empty region has no rectangles. Because the form is unique for a given
// pixel set, equality of regions is equality of their rectangle lists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace tw {

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

class Region {
public:
    Region() = default;  // the empty region

    // The rectangle (left, top, right, bottom), right and bottom exclusive.
    // Reversed coordinates are swapped first, as CreateRectRgn does; a
    // rectangle with no area gives the empty region.
    static Region FromRect(std::int32_t left, std::int32_t top, std::int32_t right,
                           std::int32_t bottom);
    // The union of any rectangles, in any order, overlapping or not. Empty
    // rectangles (left >= right or top >= bottom) are skipped.
    static Region FromRects(std::span<const Rect> rects);

    // this = this minus other (RGN_DIFF). Removing a one-row rectangle only
    // touches the bands it crosses and their neighbours.
    void Subtract(const Region& other);
    void Subtract(const Rect& rect);

    bool IsEmpty() const { return rects_.empty(); }
    // Extents; all zero for the empty region.
    Rect Bounds() const;
    std::int64_t Area() const;
    bool Contains(std::int32_t x, std::int32_t y) const;
    std::span<const Rect> Rects() const { return rects_; }

    // The invariant above; true for every region this class hands out.
    bool IsCanonical() const;

    friend bool operator==(const Region&, const Region&) = default;

private:
    friend std::unique_ptr<Region> ExtCreateRegion(std::span<const std::uint8_t> bytes);

    // FromRects for rectangles already known to be non-empty. Unless they are
    // canonical, uniting them takes a sweep; nothing is returned when that
    // would take more than maxSweepWork strip-by-rectangle steps.
    static std::optional<Region> FromNonEmptyRects(std::vector<Rect> rects,
                                                   std::optional<std::uint64_t> maxSweepWork);

    std::vector<Rect> rects_;
    // Index in rects_ of each band's first rectangle: finding and resizing a
    // band costs no search through the rectangles. Derived from rects_, so
    // the defaulted equality still compares pixel sets.
    std::vector<std::size_t> bands_;
};

// A region handle as the window system passes it around: null is "no region"
// (the handle 0), which is not the same as an empty region. Whoever holds the
// unique_ptr owns the region; handing it to a window moves it away.
using RegionHandle = std::unique_ptr<Region>;

RegionHandle CreateRectRgn(std::int32_t left, std::int32_t top, std::int32_t right,
                           std::int32_t bottom);

// --- RGNDATA: 32-byte header (dwSize 32, iType 1, nCount, nRgnSize, rcBound),
// then nCount rectangles of four little-endian signed 32-bit values.

inline constexpr std::size_t kRgnDataHeaderSize = 32;
inline constexpr std::size_t kRgnDataRectSize = 16;

// The encoding, as GetRegionData gives it: with size 0 or no buffer, the
// bytes needed; with a buffer too small, 0 and nothing written; otherwise the
// bytes written. A null region gives 0.
std::uint32_t GetRegionData(const Region* region, std::uint32_t size, std::uint8_t* buffer);
std::vector<std::uint8_t> EncodeRegionData(const Region& region);

// The decoding ExtCreateRegion does: null unless dwSize is 32 and the bytes
// hold the header and nCount rectangles. iType, nRgnSize and rcBound are
// ignored; empty rectangles are skipped; the rest are united.
RegionHandle ExtCreateRegion(std::span<const std::uint8_t> bytes);

// The largest block the decoder takes: beyond this, bytes are not region data.
inline constexpr std::size_t kMaxRgnDataBytes = std::size_t{64} << 20;

}  // namespace tw
