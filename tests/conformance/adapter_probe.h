// What the adapter conformance table (adapter_conformance.cpp) sees of the
// adapter it runs against: the adapter's own start-up steps and window
// system, and what the desktop really holds, read back. Each adapter's test
// side defines ProbeScales and MakeProbe (tests/qt/qt_probe.cpp,
// tests/win32/win32_probe.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/portable/region.h"
#include "platform/ports/startup.h"

namespace tw {

// How a region reads in a failure: its size, not its bytes.
inline void PrintTo(const Region& region, std::ostream* out) {
    *out << region.Rects().size() << " rectangles of " << region.Area() << " pixels";
}

namespace testing {

class AdapterProbe {
public:
    virtual ~AdapterProbe() = default;

    // The adapter's own steps, with its window system; moves of windows are
    // counted there instead of made.
    virtual StartUpSteps& Steps() = 0;

    // The whole primary screen, and where the window stands with any frame,
    // in device pixels, as the desktop has them.
    virtual Rect Screen() = 0;
    virtual Rect Placement() = 0;

    // The outline the desktop holds for the window, in device pixels;
    // nullopt when it holds none (the full rectangle).
    virtual std::optional<Region> Shape() = 0;

    // How often a label has been painted since the window was made.
    virtual int Paints(const std::string& label) = 0;

    // Form::PopupMenu with the probe at the desktop's side: once the menu is
    // open, its rows are read ("-" for a separator) and row `choose` is
    // picked, or the menu closed when there is none.
    virtual std::vector<std::string> Popup(const std::string& menu, std::optional<int> choose) = 0;

    // A press of a mouse button at a point of the layout (layout pixels), as
    // the desktop delivers it, the button held while it is handled.
    virtual void Press(std::int16_t button, int x, int y) = 0;

    // The window system's own moves started so far.
    virtual int MovesStarted() = 0;

    // Takes the mouse capture for the window; whether anything holds it.
    virtual void Capture() = 0;
    virtual bool Captured() = 0;

    // Lets the desktop deliver events for a while.
    virtual void Wait(int ms) = 0;
};

// The display scales a window can be shown at in this run.
std::vector<double> ProbeScales();
std::unique_ptr<AdapterProbe> MakeProbe(double scale);

}  // namespace testing
}  // namespace tw
