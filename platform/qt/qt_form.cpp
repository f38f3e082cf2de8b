#include "platform/qt/qt_form.h"

#include <QAction>
#include <QBackingStore>
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

// Qt keeps a screen's top left corner in device pixels but its size in
// logical ones, which its scale maps back.
Rect DeviceArea(const QScreen& screen) {
    const QRect area = screen.geometry();
    const PixelScale scale(screen.devicePixelRatio());
    return {area.x(), area.y(), area.x() + scale.Edge(area.width()), area.y() + scale.Edge(area.height())};
}

// The screen that holds a device point; the primary one if none does.
const QScreen* ScreenAtDevice(QPoint at) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        const Rect area = DeviceArea(*screen);
        if (at.x() >= area.left && at.x() < area.right && at.y() >= area.top && at.y() < area.bottom)
            return screen;
    }
    return QGuiApplication::primaryScreen();
}

}  // namespace

QtForm::QtForm(const FormLayout& layout, UiRuntime& runtime)
    : runtime_(runtime),
      showInTaskbar_(layout.showInTaskbar),
      frameless_(layout.frameless),
      layoutSize_(layout.clientWidth, layout.clientHeight),
      key_(layout.keyColour),
      bitmap_(DecodePicture(layout.pictureBmp)),
      picture_(bitmap_),
      renditions_(layout.pictureRenditions) {
    SetUpWindow(layout);
    BuildTimers(layout.timers);
    for (const LabelLayout& labelLayout : layout.labels) labels_[labelLayout.name] = new QtLabel(labelLayout, this);
    BuildMenus(layout.menus);
    FollowScaleChanges();
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
    // A move to a screen of another scale. Resampling can fail (the pixel
    // cap): that is a run-time error, shown and ending the program, not an
    // exception for Qt to die of.
    if (event->type() == QEvent::ScreenChangeInternal) RunHandler(runtime_, [&] { UpdateScale(); });
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    if (event->type() == QEvent::DevicePixelRatioChange) FollowScaleChange();
#endif
    return QWidget::event(event);
}

void QtForm::FollowScaleChanges() {
    // Qt before 6.6 tells of a scale changed under the window (Xft/DPI
    // through XSETTINGS on X11, an output's scale on Wayland) only by its
    // screen's logical DPI signal, and leaves the window at its old size in
    // device pixels.
    const auto follow = [this](const QScreen* screen) {
        connect(screen, &QScreen::logicalDotsPerInchChanged, this, [this] { FollowScaleChange(); });
    };
    for (const QScreen* screen : QGuiApplication::screens()) follow(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, follow);
}

void QtForm::FollowScaleChange() {
    RunHandler(runtime_, [&] {
        if (!UpdateScale()) return;
#if QT_VERSION < QT_VERSION_CHECK(6, 6, 0)
        // Qt before 6.6 keeps a Wayland surface at the buffer scale it was
        // made with until it enters another output: only a new surface takes
        // the output's new scale. The compositor places it anew.
        if (translucent_ && isVisible()) {
            hide();
            destroy();
            show();
            return;
        }
#endif
        // Where the window is still at its old size (Qt sees the same
        // logical size, so no resize), the window and its backing store are
        // given that size again, and take it at the new scale. One that has
        // it already (a drag sized it) stays where it is.
        xcb_connection_t* connection = x11::Connection();
        QWindow* window = windowHandle();  // none before the window is made
        if (connection != nullptr && window != nullptr &&
            x11::SizeAtServer(connection, static_cast<xcb_window_t>(window->winId())) != DeviceSizeAt(scale_)) {
            window->resize(layoutSize_);
            if (QBackingStore* store = backingStore()) store->resize(layoutSize_);
        }
        update();
    });
}

bool QtForm::UpdateScale() {
    const PixelScale scale(devicePixelRatioF());
    if (!frame_.isNull() && scale == scale_) return false;
    Rescale(scale);
    return true;
}

QSize QtForm::DeviceSizeAt(PixelScale scale) const {
    return {scale.Edge(layoutSize_.width()), scale.Edge(layoutSize_.height())};
}

std::function<QRect(QPoint)> QtForm::HoldUnderPointer(QPoint pointer, QPoint origin) const {
    const PixelScale scale(devicePixelRatioF());
    // The middle of the device pixel pressed, in layout pixels.
    const double heldX = (pointer.x() - origin.x() + 0.5) / scale.Factor();
    const double heldY = (pointer.y() - origin.y() + 0.5) / scale.Factor();
    const DeviceSize layout{layoutSize_.width(), layoutSize_.height()};
    return [layout, heldX, heldY](QPoint at) {
        std::vector<ScaledScreen> screens;
        for (const QScreen* screen : QGuiApplication::screens())
            screens.push_back({DeviceArea(*screen), PixelScale(screen->devicePixelRatio())});
        const Rect r = PlaceUnderPointer(screens, layout, {at.x(), at.y()}, heldX, heldY);
        return QRect(QPoint(r.left, r.top), QSize(r.right - r.left, r.bottom - r.top));
    };
}

void QtForm::Rescale(PixelScale scale) {
    scale_ = scale;
    deviceOutline_ = outline_ ? ScaleRegion(*outline_, scale_) : Region();
    const QSize size = DeviceSizeAt(scale_);
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
    // The whole screen, not its available area; the X screen's own size
    // where it is the one screen, as logical sizes are rounded.
    const Rect area = DeviceArea(*screen);
    const std::optional<QSize> x11Screen = QGuiApplication::screens().size() == 1 ? x11::ScreenSize() : std::nullopt;
    if (!x11Screen) return area;
    return Rect{area.left, area.top, area.left + x11Screen->width(), area.top + x11Screen->height()};
}

DeviceSize QtForm::WindowSize() const {
    // At the scale of the screen the window is on, which is not always the
    // primary one's.
    const QSize size = DeviceSizeAt(PixelScale(devicePixelRatioF()));
    return {size.width(), size.height()};
}

void QtForm::MoveTo(DevicePoint device) {
    const QPoint at(device.x, device.y);
    const QScreen* screen = ScreenAtDevice(at);
    if (screen == nullptr) return;
    // Qt keeps a screen's top left corner in device pixels, the rest of its
    // positions in logical ones.
    const QPoint origin = screen->geometry().topLeft();
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
        const QSize size = DeviceSizeAt(scale_);
        const Region* shape = outline_ ? &deviceOutline_ : nullptr;
        x11::SetShape(static_cast<xcb_window_t>(winId()), shape, size.width(), size.height());
        if (frameShape_) frameShape_->SetOutline(shape, size.width(), size.height());
        if (shadowKeeper_) shadowKeeper_->ShapeChanged();
        return;
    }
    // Elsewhere (Wayland) Qt maps the input region to the surface's pixels;
    // what shows is the frame's alpha, so the widget itself has no mask to
    // clip its painting by.
    if (QWindow* window = windowHandle()) wayland::SetInputRegion(*window, outline_ ? &outlineRegion_ : nullptr);
}

void QtForm::paintEvent(QPaintEvent*) {
    RunHandler(runtime_, [&] { UpdateScale(); });
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
                x11::MoveTo(*this, *devicePosition_, [this] { return DeviceSizeAt(scale_); });
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
    RunHandler(runtime_, [&] {
        if (!UpdateScale()) ApplyOutline();
    });
    // Qt's Wayland backend gives a new surface the input region as it was
    // set, unmapped to the surface's pixels; once the surface is there,
    // handing it over again has Qt map it.
    if (x11::Connection() == nullptr) QTimer::singleShot(0, this, [this] { ApplyOutline(); });
}

}  // namespace tw::qt
