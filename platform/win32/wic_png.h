// PNG through the Windows Imaging Component, which Wine implements too.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/portable/picture.h"

namespace tw::win32 {

// nullopt for anything WIC cannot read, or a picture no window could show.
std::optional<Bitmap> DecodePng(std::span<const std::uint8_t> png);

}  // namespace tw::win32
