#include "platform/portable/renditions.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/portable/errors.h"

namespace tw {
namespace {

struct Tap {
    std::int32_t index;
    float weight;
};

// For each of `count` device pixels, the source pixels it reads and their
// weights (summing to one); `ratio` is source pixels per device pixel.
std::vector<std::vector<Tap>> Taps(std::int32_t count, std::int32_t sourceCount, double ratio) {
    std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(count));
    const auto clamp = [&](double i) { return static_cast<std::int32_t>(std::clamp(i, 0.0, sourceCount - 1.0)); };
    for (std::int32_t x = 0; x < count; ++x) {
        std::vector<Tap>& out = taps[static_cast<std::size_t>(x)];
        if (ratio >= 1.0) {
            const double lo = x * ratio;
            const double hi = (x + 1) * ratio;
            for (double i = std::floor(lo); i < hi; i += 1.0) {
                const double w = std::min(hi, i + 1.0) - std::max(lo, i);
                if (w > 0.0) out.push_back({clamp(i), static_cast<float>(w / ratio)});
            }
        } else {
            const double u = (x + 0.5) * ratio - 0.5;
            const double i = std::floor(u);
            const double f = u - i;
            out.push_back({clamp(i), static_cast<float>(1.0 - f)});
            if (f > 0.0) out.push_back({clamp(i + 1.0), static_cast<float>(f)});
        }
    }
    return taps;
}

float Channel(Colour c, int shift) { return static_cast<float>((c >> shift) & 0xFFu); }

Colour Pack(const float* rgb) {
    Colour c = 0;
    for (int k = 0; k < 3; ++k) {
        const auto v = static_cast<Colour>(std::clamp(rgb[k] + 0.5f, 0.0f, 255.0f));
        c |= v << (8 * k);
    }
    return c;
}

}  // namespace

const PictureRendition* BestRendition(std::span<const PictureRendition> renditions, PixelScale scale) {
    if (scale.Factor() <= 1.0) return nullptr;
    const PictureRendition* above = nullptr;
    const PictureRendition* largest = nullptr;
    for (const PictureRendition& r : renditions) {
        if (r.scale >= scale.Factor() && (above == nullptr || r.scale < above->scale)) above = &r;
        if (largest == nullptr || r.scale > largest->scale) largest = &r;
    }
    return above != nullptr ? above : largest;
}

Bitmap ResampleBitmap(const Bitmap& source, double sourceScale, PixelScale scale, std::int32_t width,
                      std::int32_t height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (!WithinPixelCap(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height)))
        throw ClassicError(err::kOutOfMemory);
    if (source.Width() <= 0 || source.Height() <= 0) {
        return Bitmap(width, height, std::vector<Colour>(static_cast<std::size_t>(width) * height, kWhite));
    }
    const double ratio = sourceScale / scale.Factor();
    const auto columns = Taps(width, source.Width(), ratio);
    const auto rows = Taps(height, source.Height(), ratio);

    // Across first, into floats, so each output pixel is rounded once.
    const auto w = static_cast<std::size_t>(width);
    std::vector<float> across(w * static_cast<std::size_t>(source.Height()) * 3);
    for (std::int32_t y = 0; y < source.Height(); ++y) {
        float* out = &across[static_cast<std::size_t>(y) * w * 3];
        for (std::size_t x = 0; x < w; ++x, out += 3) {
            for (const Tap& t : columns[x]) {
                const Colour c = source.Pixel(t.index, y);
                for (int k = 0; k < 3; ++k) out[k] += t.weight * Channel(c, 8 * k);
            }
        }
    }
    std::vector<Colour> pixels;
    pixels.reserve(w * static_cast<std::size_t>(height));
    for (const std::vector<Tap>& row : rows) {
        for (std::size_t x = 0; x < w; ++x) {
            float sum[3] = {0, 0, 0};
            for (const Tap& t : row) {
                const float* in = &across[(static_cast<std::size_t>(t.index) * w + x) * 3];
                for (int k = 0; k < 3; ++k) sum[k] += t.weight * in[k];
            }
            pixels.push_back(Pack(sum));
        }
    }
    return Bitmap(width, height, std::move(pixels));
}

Bitmap ScalePicture(const Bitmap& picture, Colour key, const Bitmap* rendition, double renditionScale,
                    PixelScale scale) {
    const PixelScale drawn(renditionScale);
    if (rendition == nullptr || rendition->Width() != drawn.Edge(picture.Width()) ||
        rendition->Height() != drawn.Edge(picture.Height())) {
        return ScaleBitmap(picture, scale);
    }
    const Bitmap resampled =
        ResampleBitmap(*rendition, renditionScale, scale, scale.Edge(picture.Width()), scale.Edge(picture.Height()));
    // Blending and the finer drawing decide colours; the picture decides
    // where the outline is, as it does for the window's shape, and lends its
    // own colour where the finer drawing left a pixel inside it in the key.
    const std::vector<std::int32_t> columns = SourceIndex(picture.Width(), scale);
    const std::vector<std::int32_t> rows = SourceIndex(picture.Height(), scale);
    std::vector<Colour> pixels;
    pixels.reserve(columns.size() * rows.size());
    for (std::size_t y = 0; y < rows.size(); ++y) {
        for (std::size_t x = 0; x < columns.size(); ++x) {
            const Colour c = resampled.Pixel(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
            const Colour own = picture.Pixel(columns[x], rows[y]);
            pixels.push_back(own == key ? key : c == key ? own : c);
        }
    }
    return Bitmap(static_cast<std::int32_t>(columns.size()), static_cast<std::int32_t>(rows.size()),
                  std::move(pixels));
}

Bitmap ShowPicture(const Bitmap& picture, Colour key, std::span<const PictureRendition> renditions,
                   PixelScale scale, PngDecoder decode) {
    const PictureRendition* best = BestRendition(renditions, scale);
    const std::optional<Bitmap> drawn = best != nullptr ? decode(best->png) : std::nullopt;
    return ScalePicture(picture, key, drawn ? &*drawn : nullptr, best != nullptr ? best->scale : 1.0, scale);
}

}  // namespace tw
