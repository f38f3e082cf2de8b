// The Qt window built from a layout: the picture drawn at the display scale,
// the outline (X11 shape or Wayland input region), labels, timers and the
// menu. Qt types stay inside platform/qt/.
#pragma once

#include <QImage>
#include <QRegion>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/portable/pixel_scale.h"
#include "platform/ports/desktop_rules.h"
#include "platform/ports/startup.h"

class QMenu;
class QTimer;

namespace tw::qt {

namespace x11 {
class FrameShapeKeeper;
class PositionKeeper;
class ShadowKeeper;
}

class QtLabel;

class QtForm final : public QWidget, public AdapterWindow {
public:
    QtForm(const FormLayout& layout, UiRuntime& runtime);
    ~QtForm() override;

    // --- AdapterWindow
    void SetHandlers(FormHandlers& handlers) override { handlers_ = &handlers; }
    std::optional<Rect> PrimaryScreen() const override;
    DeviceSize WindowSize() const override;
    // Qt gets the nearest logical position now, the X server the exact one
    // when the window maps.
    void MoveTo(DevicePoint device) override;
    void Show() override { show(); }
    void StartTimer(std::size_t index, int periodMs) override;

    const tw::Picture& Picture() const override { return picture_; }
    WindowHandle hWnd() const override;
    Label& GetLabel(const std::string& name) override;
    void PopupMenu(const std::string& menuName) override;
    void SetOutline(RegionHandle outline, bool redraw) override;

    // Where the window goes while the pointer drags it, in device pixels,
    // from the pointer and the window's corner at the press: the picture
    // point pressed stays under the pointer, at the scale of the screen the
    // pointer is on (PlaceUnderPointer).
    std::function<QRect(QPoint)> HoldUnderPointer(QPoint pointer, QPoint origin) const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // The desktop closed the window (a window manager's close, the
    // compositor's): the program ends, as "Exit" ends it.
    void closeEvent(QCloseEvent* event) override;

private:
    void SetUpWindow(const FormLayout& layout);
    void BuildTimers(const std::vector<TimerLayout>& timers);
    void BuildMenus(const std::vector<MenuLayout>& menus);
    bool UpdateScale();  // true when it rescaled
    void FollowScaleChanges();
    // A scale changed under the window, with no move to another screen.
    void FollowScaleChange();
    // The layout's size at a scale: what the frame and the outline are
    // built for, whatever size Qt gives the widget for a moment while it
    // moves the window between screens.
    QSize DeviceSizeAt(PixelScale scale) const;
    void Rescale(PixelScale scale);
    void ApplyOutline();

    UiRuntime& runtime_;
    FormHandlers* handlers_ = nullptr;
    bool showInTaskbar_;
    bool frameless_;
    QSize layoutSize_;  // in layout pixels
    Colour key_;
    std::optional<QPoint> devicePosition_;  // where MoveTo put it, in device pixels
    std::shared_ptr<const Bitmap> bitmap_;
    BitmapPicture picture_;
    std::span<const PictureRendition> renditions_;
    std::shared_ptr<const Bitmap> shown_;  // the picture at shownAt_, in device pixels
    PixelScale shownAt_;
    QColor background_;
    bool translucent_ = false;
    RegionHandle outline_;
    QRegion outlineRegion_;  // outline_ as a Qt region, made once per outline
    // Remade on a change of outline or display scale, never per paint.
    PixelScale scale_;
    Region deviceOutline_;
    // What the window shows, in device pixels: the background, the picture
    // resampled from its best rendition, and (where shapes are alpha)
    // nothing outside the outline.
    QImage frame_;
    std::unique_ptr<x11::PositionKeeper> positionKeeper_;
    std::unique_ptr<x11::FrameShapeKeeper> frameShape_;
    std::unique_ptr<x11::ShadowKeeper> shadowKeeper_;
    std::map<std::string, QtLabel*> labels_;
    std::map<std::string, QMenu*> menus_;
    std::vector<QTimer*> timers_;
};

}  // namespace tw::qt
