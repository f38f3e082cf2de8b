// X11 services the Qt adapter needs beyond what Qt offers: the window's
// shape in device pixels, and Qt's idea of where the window is kept true.
// Inside platform/qt/ only; every function is a no-op off X11.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QWidget>

#include <xcb/xcb.h>

#include "platform/region.h"

namespace tw::qt::x11 {

// Qt's X11 connection; null on any other platform.
xcb_connection_t* Connection();

// The window's bounding shape, in device pixels: exactly the region (cut to
// the window's device size), or no shape at all for a null region. Qt's own
// mask is in logical pixels and rounds each rectangle on its own, which
// leaves seams between rectangles at fractional scales.
void SetShape(xcb_window_t window, const Region* deviceRegion, std::int32_t width, std::int32_t height);

// Keeps Qt's idea of a top-level window's position the server's. When a
// window manager reparents the window, Qt asks where it is while the frame
// may still be on its way; a manager that then places the frame where the
// window asked to be sends no word of it, and Qt goes on believing the old
// position: dialogs centred over the window open elsewhere. So the frame is
// watched, and after any change Qt is told the true position with the
// synthetic ConfigureNotify a window manager is meant to send.
class PositionKeeper final : public QAbstractNativeEventFilter {
public:
    explicit PositionKeeper(QWidget& window);
    ~PositionKeeper() override;
    PositionKeeper(const PositionKeeper&) = delete;
    PositionKeeper& operator=(const PositionKeeper&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void WatchFrame();
    void ScheduleSync();
    void Sync();

    QWidget& window_;
    xcb_connection_t* connection_;
    xcb_window_t frame_ = XCB_NONE;
    bool syncPending_ = false;
};

}  // namespace tw::qt::x11
