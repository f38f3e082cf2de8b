#pragma once

#include "platform/portable/layout.h"

namespace tw {

// frmMain as laid out: the window, its picture and icon, Timer1, the two
// labels and the hidden menu tree.
const FormLayout& frmMainLayout();

}  // namespace tw
