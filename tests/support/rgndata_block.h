// RGNDATA blocks as a test wants them, well formed or not: the header's
// fields as given, then the rectangles, all little-endian.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/portable/byte_order.h"
#include "platform/portable/region.h"

namespace tw::testing {

struct RgnDataHeader {
    std::uint32_t dwSize = kRgnDataHeaderSize;
    std::uint32_t iType = 1;
    std::optional<std::uint32_t> nCount;    // the number of rectangles unless given
    std::optional<std::uint32_t> nRgnSize;  // 16 bytes a rectangle unless given
    Rect rcBound{};
};

inline std::vector<std::uint8_t> RgnDataBlock(std::span<const Rect> rects, const RgnDataHeader& header = {}) {
    std::vector<std::uint8_t> bytes(kRgnDataHeaderSize + rects.size() * kRgnDataRectSize);
    std::uint8_t* p = bytes.data();
    const auto count = static_cast<std::uint32_t>(rects.size());
    WriteU32Le(p, header.dwSize);
    WriteU32Le(p + 4, header.iType);
    WriteU32Le(p + 8, header.nCount.value_or(count));
    WriteU32Le(p + 12, header.nRgnSize.value_or(count * static_cast<std::uint32_t>(kRgnDataRectSize)));
    p += 16;
    const auto put = [&p](const Rect& r) {
        for (const std::int32_t v : {r.left, r.top, r.right, r.bottom}) {
            WriteI32Le(p, v);
            p += 4;
        }
    };
    put(header.rcBound);
    for (const Rect& r : rects) put(r);
    return bytes;
}

}  // namespace tw::testing
