// The window's picture in Qt: the BMP and its renditions read, and the frame
// the window shows composed from them in device pixels.
#pragma once

#include <QColor>
#include <QImage>
#include <QSize>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "platform/portable/picture.h"
#include "platform/portable/pixel_scale.h"
#include "platform/portable/region.h"

namespace tw::qt {

// The layout's picture; null for none.
std::shared_ptr<const Bitmap> DecodePicture(std::span<const std::uint8_t> bmp);

// A rendition as Qt reads it; nullopt for anything Qt cannot read.
std::optional<Bitmap> DecodePng(std::span<const std::uint8_t> png);

// The frame in device pixels: the background, then the picture as shown at
// the scale (renditions.h); with a clip, only what lies inside it, the rest
// transparent.
QImage BuildFrame(const Bitmap* scaledPicture, QColor background, PixelScale scale, QSize size, const Region* clip);

}  // namespace tw::qt
