#include "platform/portable/picture.h"

#include <cstdlib>
#include <string>
#include <utility>

#include "platform/portable/byte_order.h"
#include "platform/portable/errors.h"

namespace tw {
namespace {

constexpr std::uint64_t kFileHeaderSize = 14;
constexpr std::uint64_t kInfoHeaderSize = 40;

[[noreturn]] void ThrowInvalidPicture() {
    throw RuntimeError(err::kInvalidPicture, "", std::string(ClassicDescription(err::kInvalidPicture)));
}

}  // namespace

Bitmap::Bitmap(std::int32_t width, std::int32_t height, std::vector<Colour> pixels)
    : width_(width), height_(height), pixels_(std::move(pixels)) {
    if (width < 0 || height < 0 ||
        pixels_.size() != static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height)) {
        ThrowInvalidPicture();
    }
}

Bitmap Bitmap::FromBmp(std::span<const std::uint8_t> bytes) {
    const std::uint64_t size = bytes.size();
    if (size < kFileHeaderSize + kInfoHeaderSize) ThrowInvalidPicture();
    if (bytes[0] != 'B' || bytes[1] != 'M') ThrowInvalidPicture();

    const std::uint64_t offBits = ReadU32Le(bytes.data() + 10);
    const std::uint64_t infoSize = ReadU32Le(bytes.data() + 14);
    const std::int32_t width = ReadI32Le(bytes.data() + 18);
    const std::int32_t rawHeight = ReadI32Le(bytes.data() + 22);
    const std::uint16_t planes = ReadU16Le(bytes.data() + 26);
    const std::uint16_t bitCount = ReadU16Le(bytes.data() + 28);
    const std::uint32_t compression = ReadU32Le(bytes.data() + 30);

    if (infoSize < kInfoHeaderSize || kFileHeaderSize + infoSize > size) ThrowInvalidPicture();
    if (offBits < kFileHeaderSize + infoSize || offBits > size) ThrowInvalidPicture();
    if (planes != 1 || bitCount != 24 || compression != 0) ThrowInvalidPicture();
    if (width <= 0 || rawHeight == 0) ThrowInvalidPicture();

    const bool bottomUp = rawHeight > 0;
    const std::uint64_t w = static_cast<std::uint64_t>(width);
    const std::uint64_t h = static_cast<std::uint64_t>(std::llabs(static_cast<long long>(rawHeight)));
    if (!WithinPixelCap(w, h)) ThrowInvalidPicture();

    const std::uint64_t rowBytes = w * 3;
    const std::uint64_t stride = (rowBytes + 3) / 4 * 4;
    // Writers disagree on padding the very last row; its pixels are all we need.
    if (offBits + stride * (h - 1) + rowBytes > size) ThrowInvalidPicture();

    const std::int32_t height = static_cast<std::int32_t>(h);
    std::vector<Colour> pixels(static_cast<std::size_t>(w * h));
    for (std::uint64_t y = 0; y < h; ++y) {
        const std::uint64_t fileRow = bottomUp ? h - 1 - y : y;
        const std::uint8_t* src = bytes.data() + offBits + fileRow * stride;
        Colour* dst = pixels.data() + y * w;
        for (std::uint64_t x = 0; x < w; ++x, src += 3) {
            dst[x] = static_cast<Colour>(src[2]) | (static_cast<Colour>(src[1]) << 8) |
                     (static_cast<Colour>(src[0]) << 16);
        }
    }
    return Bitmap(width, height, std::move(pixels));
}

}  // namespace tw
