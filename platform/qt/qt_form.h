// The Qt window built from a layout. Qt types stay inside platform/qt/.
#pragma once

#include <QImage>
#include <QLabel>
#include <QRegion>
#include <QWidget>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/portable/pixel_scale.h"
#include "platform/ports/ui.h"

class QMenu;
class QTimer;

namespace tw::qt {

namespace x11 {
class PositionKeeper;
}

class QtLabel final : public QLabel, public Label {
public:
    QtLabel(const LabelLayout& layout, QWidget* parent);
    void SetCaption(const std::string& caption) override;

protected:
    // A label takes the presses inside its rectangle and does nothing with
    // them; ignoring them would hand them on to the window.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class QtForm final : public QWidget, public Form {
public:
    QtForm(const FormLayout& layout, UiRuntime& runtime);
    ~QtForm() override;

    void SetHandlers(FormHandlers* handlers) { handlers_ = handlers; }
    // Centred on the primary screen, or at its top left corner, as laid out.
    void PlaceOnScreen();
    void StartTimers();

    const tw::Picture& Picture() const override { return picture_; }
    WindowHandle hWnd() const override;
    Label& GetLabel(const std::string& name) override;
    void PopupMenu(const std::string& menuName) override;

    // The window's outline in picture pixels: null for none (the full rectangle).
    void SetOutline(RegionHandle outline, bool redraw);
    const Region* Outline() const { return outline_.get(); }
    QMenu* Menu(const std::string& name) const;

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
    void Rescale(PixelScale scale);
    void ApplyOutline();
    QRegion InputRegion() const;

    UiRuntime& runtime_;
    FormHandlers* handlers_ = nullptr;
    bool centreOnScreen_;
    bool showInTaskbar_;
    bool frameless_;
    std::optional<QPoint> devicePosition_;  // where PlaceOnScreen centred it, in device pixels
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
    std::map<std::string, QtLabel*> labels_;
    std::map<std::string, QMenu*> menus_;
    std::vector<std::pair<QTimer*, bool>> timers_;  // with whether it ticks at all
};

QColor ToQColor(Colour colour);
QRegion ToQRegion(const Region& region);

// Where a dialog of a size (and a window manager's frame around it) stands
// centred over a window and wholly on a screen's available area, as far as
// it fits; all in logical pixels.
QRect CentredOver(const QRect& owner, const QSize& size, const QSize& frame, const QRect& screen);

}  // namespace tw::qt
