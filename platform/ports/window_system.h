// Window-region services: giving a window its outline, and the window
// system's own interactive move. Regions come from the one region engine in
// region.h; an adapter only hands the finished region over.
//
// How an outline reaches a window of the program's own: the start-up
// (startup.h) has the window system adopt the window by its handle. From
// then on SetWindowRgn on that handle is the window's SetOutline, with the
// region still in picture pixels; the window maps it to device pixels at
// its own display scale, now and whenever that scale changes. A window that
// is not adopted gets the region mapped once, at the scale of its monitor.
// So an adapter implements OutlineTarget on its window, and
// SetForeignWindowRgn, ReleaseCapture and SendMessageA on its
// AdapterWindowSystem.
//
// The outline's verb at each layer, core to desktop: SetWindowRgn (the
// core's call) -> SetOutline (an adopted window) or SetForeignWindowRgn
// (any other) -> the window's ApplyOutline at its scale -> the desktop's
// own: x11::SetShape (and FrameShapeKeeper::SetOutline for the manager's
// frame), wayland::SetInputRegion, win32::ApplyWindowRegion.
#pragma once

#include <cstdint>
#include <map>
#include <utility>

#include "platform/portable/region.h"

namespace tw {

// Names a top-level window; 0 is no window.
using WindowHandle = std::intptr_t;

inline constexpr std::uint32_t WM_NCLBUTTONDOWN = 0xA1;
inline constexpr std::uintptr_t HTCAPTION = 2;

// A window that shows an outline given in picture pixels.
class OutlineTarget {
public:
    // The window's visible and clickable area becomes the outline, mapped to
    // device pixels at the window's display scale. Null: no outline, the
    // full rectangle. An empty region: nothing of the window shows or takes
    // a click, which is not the same as no outline.
    virtual void SetOutline(RegionHandle outline, bool redraw) = 0;

protected:
    ~OutlineTarget() = default;
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    // The window's visible and clickable area becomes the region, in picture
    // pixels; a null region gives back the full rectangle. The window owns
    // the region now.
    virtual void SetWindowRgn(WindowHandle window, RegionHandle region, bool redraw) = 0;

    virtual void ReleaseCapture() = 0;

    // Only WM_NCLBUTTONDOWN with HTCAPTION means anything here: the window
    // system's own move of the window, which returns once it is under way or
    // over. It starts only while the left button is down.
    virtual std::intptr_t SendMessageA(WindowHandle window, std::uint32_t message,
                                       std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

// A desktop adapter's window system: it knows the program's own windows.
class AdapterWindowSystem : public WindowSystem {
public:
    // While it lives, SetWindowRgn on the window is target.SetOutline.
    class Adoption {
    public:
        Adoption(AdapterWindowSystem& system, WindowHandle window) : system_(&system), window_(window) {}
        Adoption(Adoption&& other) noexcept : system_(other.system_), window_(other.window_) {
            other.system_ = nullptr;
        }
        Adoption& operator=(Adoption&&) = delete;
        ~Adoption() {
            if (system_ != nullptr) system_->adopted_.erase(window_);
        }

    private:
        AdapterWindowSystem* system_;
        WindowHandle window_;
    };

    [[nodiscard]] Adoption Adopt(WindowHandle window, OutlineTarget& target) {
        adopted_[window] = &target;
        return Adoption(*this, window);
    }

    void SetWindowRgn(WindowHandle window, RegionHandle region, bool redraw) final {
        const auto adopted = adopted_.find(window);
        if (adopted != adopted_.end()) {
            adopted->second->SetOutline(std::move(region), redraw);
        } else {
            SetForeignWindowRgn(window, std::move(region), redraw);
        }
    }

protected:
    // Any other window: the region mapped at the display scale of the
    // window's monitor, once.
    virtual void SetForeignWindowRgn(WindowHandle window, RegionHandle region, bool redraw) = 0;

private:
    std::map<WindowHandle, OutlineTarget*> adopted_;
};

}  // namespace tw
