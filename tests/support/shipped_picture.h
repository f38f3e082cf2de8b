// The picture the program ships, and the outline the shaper scans from a
// picture, for tests that check a mapping against them.
#pragma once

#include <memory>

#include "assets/embedded.h"
#include "platform/portable/picture.h"
#include "platform/portable/region.h"
#include "shaping/colour_key_scan.h"

namespace tw::testing {

inline const Bitmap& ShippedPicture() {
    static const Bitmap picture = Bitmap::FromBmp(assets::window_bmp());
    return picture;
}

inline Region OutlineOf(const Bitmap& bitmap, Colour key = kWhite) {
    return *CreateRegionFromPicture(BitmapPicture(std::make_shared<const Bitmap>(bitmap)), key);
}

}  // namespace tw::testing
