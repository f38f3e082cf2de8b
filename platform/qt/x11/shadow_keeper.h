// Keeping the compositors that decide a window's shadow on their own
// (marco's, picom) from drawing one round the shaped window: a rectangle
// that shows through the cut-out.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

namespace tw::qt::x11 {

// picom reads _COMPTON_SHADOW on the outermost window only, its manager's
// frame where it has one; a value already there (the manager's, the user's)
// stays.
bool AsksFrameForNoShadow(xcb_window_t window, xcb_window_t topLevel, bool topLevelHasOne);

// The writes that make a compositor read the window's opacity again and
// leave it as it was: the value there written again, or, with none, full
// opacity written and taken away again.
struct OpacityRetelling {
    std::uint32_t value;
    bool thenDelete;
    friend bool operator==(const OpacityRetelling&, const OpacityRetelling&) = default;
};
OpacityRetelling RetellingOf(const std::vector<std::uint32_t>& current);

// marco's compositor draws no shadow under a shaped window, but reads the
// shape when the window is created, before it has one, and hears of shape
// changes only once it manages the window; it decides the shadow again when
// the window's opacity changes. So once the window maps, it is told the
// shape again, unchanged, and its opacity; and after each later change of
// shape, its opacity. picom is asked on the frame.
class ShadowKeeper final : public QAbstractNativeEventFilter {
public:
    explicit ShadowKeeper(QWidget& window);
    ~ShadowKeeper() override;
    ShadowKeeper(const ShadowKeeper&) = delete;
    ShadowKeeper& operator=(const ShadowKeeper&) = delete;

    // After the window's own shape changed.
    void ShapeChanged();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void RetellOpacity();

    QWidget& window_;
    xcb_connection_t* connection_;
    bool mapped_ = false;
};

}  // namespace tw::qt::x11
