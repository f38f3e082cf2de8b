// Qt's idea of where a top-level window is, kept the X server's.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QWidget>

#include <xcb/xcb.h>

namespace tw::qt::x11 {

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
