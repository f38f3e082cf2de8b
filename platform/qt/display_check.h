// Whether Qt will find a desktop to show the gadget on, asked before Qt
// starts: with none, Qt aborts with advice to reinstall, which helps no one
// who runs the program over SSH or from a job without a display.
#pragma once

#include <string>

namespace tw::qt {

// Empty when there is a display to try; otherwise what is missing, in words
// for the user. Honours Qt's own -platform and -display options and, as Qt
// does, a list of platforms ("wayland;xcb"): empty when any of them can
// open, else why each cannot. A platform other than X11 or Wayland
// (offscreen, vnc, ...) is left to Qt.
std::string MissingDisplay(int argc, char** argv);

}  // namespace tw::qt
