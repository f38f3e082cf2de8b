#include "platform/qt/wayland/input_region.h"

namespace tw::qt::wayland {

void SetInputRegion(QWindow& window, const QRegion* outline) {
    if (outline == nullptr) {
        window.setMask(QRegion());
        return;
    }
    // Qt reads an empty mask as "no mask"; a mask wholly outside the window
    // takes no clicks, as an empty outline must.
    if (outline->isEmpty()) {
        window.setMask(QRegion(-1, -1, 1, 1));
        return;
    }
    window.setMask(*outline);
}

}  // namespace tw::qt::wayland
