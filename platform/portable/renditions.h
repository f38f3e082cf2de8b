// The picture drawn afresh for high-resolution screens, and how a window
// shows it at a display scale without changing its outline.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/portable/picture.h"
#include "platform/portable/pixel_scale.h"

namespace tw {

// The picture drawn at `scale` times its size, as embedded (PNG). Its size is
// the picture's mapped by PixelScale(scale).
struct PictureRendition {
    double scale = 1.0;
    std::span<const std::uint8_t> png;
};

// The one to show at a scale: the smallest drawn at or above it, else the
// largest; none at or below 1, where the picture itself is exact.
const PictureRendition* BestRendition(std::span<const PictureRendition> renditions, PixelScale scale);

// `source`, drawn at sourceScale, at `scale` as width x height device pixels,
// device pixel X covering picture coordinates [X / scale, (X + 1) / scale):
// area averaging when shrinking, bilinear when enlarging.
Bitmap ResampleBitmap(const Bitmap& source, double sourceScale, PixelScale scale, std::int32_t width,
                      std::int32_t height);

// The picture as a window shows it at a scale: the rendition resampled, in
// the key colour (what the window's outline cuts away) exactly in the device
// blocks of the picture's key pixels, so the outline stays the picture's;
// without a rendition, or with one of the wrong size, the picture through
// ScaleBitmap.
Bitmap ScalePicture(const Bitmap& picture, Colour key, const Bitmap* rendition, double renditionScale,
                    PixelScale scale);

// The adapter's PNG reader: nullopt for anything it cannot read.
using PngDecoder = std::optional<Bitmap> (*)(std::span<const std::uint8_t> png);

// ScalePicture with the best rendition for the scale, decoded by `decode`;
// one that does not decode leaves the picture enlarged as ScaleBitmap does.
Bitmap ShowPicture(const Bitmap& picture, Colour key, std::span<const PictureRendition> renditions,
                   PixelScale scale, PngDecoder decode);

}  // namespace tw
