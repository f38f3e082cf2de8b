#include "shaping/colour_key_scan.h"

namespace tw {

RegionHandle CreateRegionFromPicture(const Picture& picture, Colour key) {
    const std::optional<PixelSource> source = picture.OpenPixelSource();
    if (!source) return nullptr;
    const std::int32_t width = source->Width();
    const std::int32_t height = source->Height();

    RegionHandle outline = CreateRectRgn(0, 0, width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        const Colour* row = source->Row(y);
        std::int32_t x = 0;
        while (x < width) {
            while (x < width && row[x] != key) ++x;
            const std::int32_t start = x;
            while (x < width && row[x] == key) ++x;
            if (start < x) outline->Subtract(Rect{start, y, x, y + 1});
            // The pixel that ended the run is not key: step over it unread.
            if (x >= width) break;
            ++x;
        }
    }
    return outline;
}

}  // namespace tw
