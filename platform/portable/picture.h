// Pictures and the pixel source a colour-key scan reads them through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace tw {

// 0x00BBGGRR, red in the low byte, as the Windows graphics interface has it.
using Colour = std::uint32_t;

inline constexpr Colour kWhite = 0x00FFFFFF;

// Beyond this many pixels a picture is a corrupt header or a broken scale
// setting, not anything a window could show: every reader and scaler
// refuses it.
inline constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{1} << 28;

constexpr bool WithinPixelCap(std::uint64_t width, std::uint64_t height) {
    return width <= kMaxPicturePixels && height <= kMaxPicturePixels && width * height <= kMaxPicturePixels;
}

// The same colour as 0x00RRGGBB, the order of a Qt QRgb and of a 32-bit
// Windows DIB pixel.
constexpr std::uint32_t ToXrgb(Colour c) { return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu); }
// And back: a 0x00RRGGBB pixel (a QRgb, a little-endian BGRX word) as a Colour.
constexpr Colour FromXrgb(std::uint32_t xrgb) { return ToXrgb(xrgb & 0x00FFFFFFu); }

// A read-only view of decoded pixels, top-down, a row at a time: the scan
// walks each row as a plain pointer. Callers keep y inside Height() and read
// no more than Width() pixels of a row.
class PixelSource {
public:
    PixelSource() = default;
    PixelSource(std::int32_t width, std::int32_t height, const Colour* pixels, std::size_t stride)
        : width_(width), height_(height), pixels_(pixels), stride_(stride) {}

    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    const Colour* Row(std::int32_t y) const {
        return pixels_ + static_cast<std::size_t>(y) * stride_;
    }

private:
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    const Colour* pixels_ = nullptr;
    std::size_t stride_ = 0;
};

// A decoded bitmap, pixels stored top-down as Colour.
class Bitmap {
public:
    Bitmap(std::int32_t width, std::int32_t height, std::vector<Colour> pixels);

    // Decodes a 24-bit uncompressed BMP (BITMAPINFOHEADER; bottom-up or
    // top-down rows, padded to 4 bytes). Anything else throws RuntimeError 481
    // "Invalid picture".
    static Bitmap FromBmp(std::span<const std::uint8_t> bytes);

    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    Colour Pixel(std::int32_t x, std::int32_t y) const {
        return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                       static_cast<std::size_t>(x)];
    }
    PixelSource Pixels() const {
        return {width_, height_, pixels_.data(), static_cast<std::size_t>(width_)};
    }

private:
    std::int32_t width_;
    std::int32_t height_;
    std::vector<Colour> pixels_;
};

// A window's picture object. A picture without a bitmap is a picture of no
// size; a pixel source that cannot be made at all is nullopt.
class Picture {
public:
    virtual ~Picture() = default;
    virtual std::optional<PixelSource> OpenPixelSource() const = 0;
};

class BitmapPicture final : public Picture {
public:
    explicit BitmapPicture(std::shared_ptr<const Bitmap> bitmap) : bitmap_(std::move(bitmap)) {}
    std::optional<PixelSource> OpenPixelSource() const override {
        if (!bitmap_) return PixelSource{};
        return bitmap_->Pixels();
    }

private:
    std::shared_ptr<const Bitmap> bitmap_;
};

}  // namespace tw
