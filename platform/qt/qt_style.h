// The layout's fonts and colours as Qt's.
#pragma once

#include <QColor>
#include <QFont>

#include "platform/portable/layout.h"

namespace tw::qt {

// The layout's face where fontconfig has it, else a plain sans face of the
// same pixel size and weight.
QFont ToQFont(const FontLayout& layout);

// The highlighted-text system colour is the palette's; any other system
// colour shows as white.
QColor ToQColor(Colour colour);

}  // namespace tw::qt
