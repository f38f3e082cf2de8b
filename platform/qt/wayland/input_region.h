// The window's outline on Wayland, which has no window shapes: the outline
// is the surface's input region, set here beside x11/shape.h, and what shows
// is the frame's alpha (qt_picture.h), transparent outside the outline.
#pragma once

#include <QRegion>
#include <QWindow>

namespace tw::qt::wayland {

// The outline, in the logical pixels Qt maps to the surface's, becomes the
// window's input region: null for no outline (the whole window takes
// clicks); an empty outline takes none.
void SetInputRegion(QWindow& window, const QRegion* outline);

}  // namespace tw::qt::wayland
