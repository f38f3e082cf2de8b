// The window's outline on its window manager's frame, where the manager
// does not carry it there itself.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QSize>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>

#include "platform/portable/region.h"

namespace tw::qt::x11 {

// What the server tells of the frame that holds the window, and what we did
// to that frame.
struct FrameShapeSeen {
    bool framed = false;         // a window manager's frame holds the window
    bool touched = false;        // we have set this frame's shape
    std::optional<Region> set;   // what we set last (none: we took the shape away)
    std::optional<Region> now;   // the frame's bounding shape now (none: unshaped)
};

enum class FrameShapeStep {
    Leave,   // nothing to do
    Shape,   // give the frame the outline wanted (or take its shape away)
    GiveUp,  // the frame's manager shapes it: never touch this frame again
};

// A reparenting manager puts the window in a frame of its own, and what
// shows (and takes clicks) is the frame's shape clipped by the window's. Most
// managers (openbox, xfwm4, KWin, twm) shape their frame from the window's
// shape; some (herbstluftwm, spectrwm) leave it one rectangle, and the
// cut-out shows the frame. So a frame the manager left unshaped gets the
// outline, at the window's place in it, and follows it; a frame the manager
// shapes itself, or whose shape it changes after ours, is its own. The
// outline wanted is in the frame's coordinates; none when the window has no
// outline.
FrameShapeStep NextFrameShapeStep(const FrameShapeSeen& seen, const std::optional<Region>& wanted);

// Carries the outline onto the frame by that rule: once the window shows in
// its frame, when the outline changes, when the window moves in its frame or
// the frame changes size, and when the frame's shape changes.
class FrameShapeKeeper final : public QAbstractNativeEventFilter {
public:
    explicit FrameShapeKeeper(QWidget& window);
    ~FrameShapeKeeper() override;
    FrameShapeKeeper(const FrameShapeKeeper&) = delete;
    FrameShapeKeeper& operator=(const FrameShapeKeeper&) = delete;

    // The window's outline in its own device pixels (null: unshaped), each
    // time the window gets it.
    void SetOutline(const Region* deviceOutline, std::int32_t width, std::int32_t height);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void Follow();

    QWidget& window_;
    xcb_connection_t* connection_;
    std::uint8_t shapeNotify_ = 0;  // the Shape extension's event code, 0 without it
    std::optional<Region> outline_;
    xcb_window_t frame_ = XCB_NONE;  // what holds the window now (itself without a frame)
    QSize frameSize_;
    xcb_window_t shapedFrame_ = XCB_NONE;  // the frame we shaped last, and how
    std::optional<Region> set_;
    xcb_window_t leftFrame_ = XCB_NONE;  // the frame last found shaped by its manager
};

}  // namespace tw::qt::x11
