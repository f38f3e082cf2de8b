#pragma once

#include "platform/portable/layout.h"

namespace tw {

// The colour frmMain cuts away from its picture at load.
inline constexpr Colour kKeyColour = kWhite;

// frmMain as laid out: the window, its picture and icon, Timer1, the two
// labels and the hidden menu tree.
const FormLayout& frmMainLayout();

}  // namespace tw
