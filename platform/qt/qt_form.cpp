#include "platform/qt/qt_form.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "platform/portable/errors.h"
#include "platform/portable/renditions.h"
#include "platform/qt/qt_label.h"
#include "platform/qt/qt_picture.h"
#include "platform/qt/qt_style.h"
#include "platform/qt/qt_window_system.h"
#include "platform/qt/wayland/input_region.h"
#include "platform/qt/x11/frame_shape.h"
#include "platform/qt/x11/hints.h"
#include "platform/qt/x11/moves.h"
#include "platform/qt/x11/position_keeper.h"
#include "platform/qt/x11/shadow_keeper.h"
#include "platform/qt/x11/shape.h"
#include "platform/qt/x11/xcb.h"

namespace tw::qt {
namespace {

std::int16_t ButtonCode(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton: return vbLeftButton;
        case Qt::RightButton: return vbRightButton;
        case Qt::MiddleButton: return vbMiddleButton;
        default: return 0;
    }
}

std::int16_t ShiftCode(Qt::KeyboardModifiers modifiers) {
    return ShiftState(modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::ControlModifier),
                      modifiers.testFlag(Qt::AltModifier));
}

}  // namespace

QtForm::QtForm(const FormLayout& layout, UiRuntime& runtime)
    : runtime_(runtime),
      showInTaskbar_(layout.showInTaskbar),
      frameless_(layout.frameless),
      key_(layout.keyColour),
      bitmap_(DecodePicture(layout.pictureBmp)),
      picture_(bitmap_),
      renditions_(layout.pictureRenditions) {
    SetUpWindow(layout);
    BuildTimers(layout.timers);
    for (const LabelLayout& labelLayout : layout.labels) labels_[labelLayout.name] = new QtLabel(labelLayout, this);
    BuildMenus(layout.menus);
}

void QtForm::SetUpWindow(const FormLayout& layout) {
    setObjectName(QString::fromStdString(layout.name));
    background_ = ToQColor(layout.backColour);

    Qt::WindowFlags flags = Qt::Window;
    if (layout.frameless) flags |= Qt::FramelessWindowHint;
    // A tool window gets no taskbar button.
    if (!layout.showInTaskbar) flags |= Qt::Tool;
    if (layout.topmost) flags |= Qt::WindowStaysOnTopHint;
    setWindowFlags(flags);
    setWindowTitle(QString::fromStdString(layout.title));
    setFixedSize(layout.clientWidth, layout.clientHeight);
    setFont(ToQFont(layout.font));

    // Wayland has no window shapes: the outline is the input region plus a
    // surface that is transparent outside it.
    translucent_ = QGuiApplication::platformName() == QLatin1String("wayland");
    if (translucent_) setAttribute(Qt::WA_TranslucentBackground);

    if (!layout.iconIco.empty()) {
        QPixmap icon;
        if (icon.loadFromData(layout.iconIco.data(), static_cast<uint>(layout.iconIco.size()), "ICO"))
            setWindowIcon(icon);
    }
}

void QtForm::BuildTimers(const std::vector<TimerLayout>& timers) {
    for (const TimerLayout& timerLayout : timers) {
        auto* timer = new QTimer(this);
        timer->setObjectName(QString::fromStdString(timerLayout.name));
        connect(timer, &QTimer::timeout, this, [this, name = timerLayout.name] {
            if (handlers_) RunHandler(runtime_, [&] { handlers_->Timer_Tick(name); });
        });
        timers_.push_back(timer);
    }
}

void QtForm::BuildMenus(const std::vector<MenuLayout>& menus) {
    for (const MenuLayout& menuLayout : menus) {
        auto* menu = new QMenu(this);
        menu->setObjectName(QString::fromStdString(menuLayout.name));
        menu->setTitle(QString::fromStdString(menuLayout.caption));
        for (const MenuItemLayout& item : menuLayout.items) {
            QAction* action = item.IsSeparator() ? menu->addSeparator()
                                                 : menu->addAction(QString::fromStdString(item.caption));
            action->setObjectName(QString::fromStdString(item.name));
        }
        menus_[menuLayout.name] = menu;
    }
}

QtForm::~QtForm() = default;

bool QtForm::event(QEvent* event) {
    // A move to a screen of another scale, or a scale change of its own.
    if (event->type() == QEvent::ScreenChangeInternal) UpdateScale();
    return QWidget::event(event);
}

bool QtForm::UpdateScale() {
    const PixelScale scale(devicePixelRatioF());
    if (!frame_.isNull() && scale == scale_) return false;
    Rescale(scale);
    return true;
}

void QtForm::Rescale(PixelScale scale) {
    scale_ = scale;
    deviceOutline_ = outline_ ? ScaleRegion(*outline_, scale_) : Region();
    const QSize size(scale_.Edge(width()), scale_.Edge(height()));
    const Region* clip = translucent_ && outline_ ? &deviceOutline_ : nullptr;
    // A new outline at the same scale needs no new resampling.
    if (bitmap_ && (!shown_ || shownAt_ != scale_)) {
        shown_ = std::make_shared<const Bitmap>(ShowPicture(*bitmap_, key_, renditions_, scale_, DecodePng));
        shownAt_ = scale_;
    }
    frame_ = BuildFrame(shown_.get(), background_, scale_, size, clip);
    ApplyOutline();
}

std::optional<Rect> QtForm::PrimaryScreen() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return std::nullopt;
    // The whole screen, not its available area. Qt keeps a screen's top left
    // corner in device pixels but rounds its size to logical ones, so the X
    // screen's own size is taken where it is the one screen.
    const QRect area = screen->geometry();
    const PixelScale scale(screen->devicePixelRatio());
    const std::optional<QSize> x11Screen = QGuiApplication::screens().size() == 1 ? x11::ScreenSize() : std::nullopt;
    const QSize device = x11Screen ? *x11Screen : QSize(scale.Edge(area.width()), scale.Edge(area.height()));
    return Rect{area.x(), area.y(), area.x() + device.width(), area.y() + device.height()};
}

DeviceSize QtForm::WindowSize() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const PixelScale scale(screen != nullptr ? screen->devicePixelRatio() : 1.0);
    return {scale.Edge(width()), scale.Edge(height())};
}

void QtForm::MoveTo(DevicePoint device) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    // Qt keeps a screen's top left corner in device pixels, the rest of its
    // positions in logical ones.
    const QPoint origin = screen->geometry().topLeft();
    const QPoint at(device.x, device.y);
    move(origin + (at - origin) / screen->devicePixelRatio());
    devicePosition_ = at;
}

void QtForm::StartTimer(std::size_t index, int periodMs) {
    timers_.at(index)->start(periodMs);
}

WindowHandle QtForm::hWnd() const { return static_cast<WindowHandle>(winId()); }

Label& QtForm::GetLabel(const std::string& name) {
    auto it = labels_.find(name);
    if (it == labels_.end())
        throw ClassicError(err::kObjectDoesntSupport, objectName().toStdString());
    return *it->second;
}

void QtForm::PopupMenu(const std::string& menuName) {
    const auto it = menus_.find(menuName);
    if (it == menus_.end()) throw ClassicError(err::kObjectDoesntSupport, objectName().toStdString());
    // The chosen item's handler runs here, before the pop-up call returns.
    QAction* chosen = it->second->exec(QCursor::pos());
    if (chosen != nullptr && handlers_ != nullptr) handlers_->Menu_Click(chosen->objectName().toStdString());
}

void QtForm::SetOutline(RegionHandle outline, bool redraw) {
    outline_ = std::move(outline);
    outlineRegion_ = outline_ ? ToQRegion(*outline_) : QRegion();
    Rescale(PixelScale(devicePixelRatioF()));
    if (redraw) update();
}

void QtForm::ApplyOutline() {
    if (x11::Connection() != nullptr) {
        x11::SetShape(static_cast<xcb_window_t>(winId()), outline_ ? &deviceOutline_ : nullptr,
                      scale_.Edge(width()), scale_.Edge(height()));
        if (frameShape_) frameShape_->SetOutline(outline_ ? &deviceOutline_ : nullptr, scale_.Edge(width()),
                                                 scale_.Edge(height()));
        if (shadowKeeper_) shadowKeeper_->ShapeChanged();
        return;
    }
    // Elsewhere (Wayland) Qt maps the input region to the surface's pixels;
    // what shows is the frame's alpha, so the widget itself has no mask to
    // clip its painting by.
    if (QWindow* window = windowHandle()) wayland::SetInputRegion(*window, outline_ ? &outlineRegion_ : nullptr);
}

void QtForm::paintEvent(QPaintEvent*) {
    UpdateScale();
    QPainter painter(this);
    // The frame is at the painter's own device pixel ratio: drawn one to one.
    if (translucent_) painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPointF(0, 0), frame_);
}

void QtForm::mousePressEvent(QMouseEvent* event) {
    event->accept();
    const std::int16_t button = ButtonCode(event->button());
    if (button == 0 || handlers_ == nullptr) return;
    const std::int16_t shift = ShiftCode(event->modifiers());
    // Qt's positions are already in layout pixels.
    const float x = LayoutPixelsToTwips(static_cast<float>(event->position().x()));
    const float y = LayoutPixelsToTwips(static_cast<float>(event->position().y()));
    RunHandler(runtime_, [&] { handlers_->Form_MouseDown(button, shift, x, y); });
}

void QtForm::closeEvent(QCloseEvent*) { runtime_.End(0); }

void QtForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (x11::Connection() != nullptr && !positionKeeper_) {
        // Before the window maps, where window managers read them.
        const auto window = static_cast<xcb_window_t>(winId());
        if (!showInTaskbar_) x11::SkipTaskbarAndPager(window);
        if (frameless_) x11::AskNoShadow(window);
        // Qt puts the window at its logical position while it shows it.
        if (devicePosition_) {
            QTimer::singleShot(0, this, [this] {
                const DeviceSize size = WindowSize();
                x11::MoveTo(*this, *devicePosition_, QSize(size.width, size.height));
            });
        }
        positionKeeper_ = std::make_unique<x11::PositionKeeper>(*this);
        frameShape_ = std::make_unique<x11::FrameShapeKeeper>(*this);
        shadowKeeper_ = std::make_unique<x11::ShadowKeeper>(*this);
        // Classic managers hand the focus over with the pointer, and take it
        // from the gadget when its menu opens under the pointer, which makes
        // Qt close the menu at once. The gadget has nothing to type into.
        if (!x11::ExtendedWindowManagerRuns()) windowHandle()->setFlag(Qt::WindowDoesNotAcceptFocus);
    }
    // The surface may be made anew on show (Wayland forgets its input
    // region then), and on another screen than the one it was built for.
    if (!UpdateScale()) ApplyOutline();
    // Qt's Wayland backend gives a new surface the input region as it was
    // set, unmapped to the surface's pixels; once the surface is there,
    // handing it over again has Qt map it.
    if (x11::Connection() == nullptr) QTimer::singleShot(0, this, [this] { ApplyOutline(); });
}

}  // namespace tw::qt
