#pragma once

#include "platform/portable/picture.h"
#include "platform/portable/region.h"

namespace tw {

// The picture's outline: the full rectangle (0, 0, W, H) minus every maximal
// run of key-coloured pixels, removed one run at a time, row by row, left to
// right. Null when no pixel source can be made; the empty region for a
// picture of no size.
RegionHandle CreateRegionFromPicture(const Picture& picture, Colour key);

}  // namespace tw
