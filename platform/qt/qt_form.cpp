#include "platform/qt/qt_form.h"

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <limits>
#include <optional>

#include "platform/portable/errors.h"
#include "platform/portable/renditions.h"
#include "platform/ports/desktop_rules.h"
#include "platform/qt/x11/hints.h"
#include "platform/qt/x11/moves.h"
#include "platform/qt/x11/position_keeper.h"
#include "platform/qt/x11/shape.h"
#include "platform/qt/x11/xcb.h"

namespace tw::qt {
namespace {

QFont ToQFont(const FontLayout& layout) {
    QFont font;
    // "MS Sans Serif" is rarely installed here; the others are plain sans
    // faces that fontconfig is likely to have, tried in this order.
    font.setFamilies({QString::fromStdString(layout.face), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(layout.pixelSize);
    font.setWeight(layout.weight >= 700 ? QFont::Bold : QFont::Normal);
    font.setItalic(layout.italic);
    font.setUnderline(layout.underline);
    font.setStrikeOut(layout.strikeout);
    return font;
}

std::shared_ptr<const Bitmap> DecodePicture(std::span<const std::uint8_t> bmp) {
    if (bmp.empty()) return nullptr;
    return std::make_shared<const Bitmap>(Bitmap::FromBmp(bmp));
}

// A rendition Qt cannot read leaves the picture enlarged as it always was.
std::optional<Bitmap> DecodePng(std::span<const std::uint8_t> png) {
    QImage image;
    if (png.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()) ||
        !image.loadFromData(png.data(), static_cast<int>(png.size()), "PNG"))
        return std::nullopt;
    image = image.convertToFormat(QImage::Format_RGB32);
    std::vector<Colour> pixels;
    pixels.reserve(static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            pixels.push_back(FromXrgb(line[x]));
    }
    return Bitmap(image.width(), image.height(), std::move(pixels));
}

QRgb ToQRgb(Colour c) { return 0xFF000000u | ToXrgb(c); }

// The frame in device pixels: background, then the picture scaled by the
// same mapping as the outline; with a clip, only what lies inside it.
QImage BuildFrame(const Bitmap* scaledPicture, QColor background, PixelScale scale, QSize size, const Region* clip) {
    QImage frame(size, QImage::Format_ARGB32_Premultiplied);
    frame.fill(background);
    if (scaledPicture != nullptr) {
        const Bitmap& scaled = *scaledPicture;
        const int w = std::min(scaled.Width(), size.width());
        for (int y = 0; y < std::min(scaled.Height(), size.height()); ++y) {
            auto* line = reinterpret_cast<QRgb*>(frame.scanLine(y));
            for (int x = 0; x < w; ++x) line[x] = ToQRgb(scaled.Pixel(x, y));
        }
    }
    if (clip != nullptr) {
        QImage cut(size, QImage::Format_ARGB32_Premultiplied);
        cut.fill(Qt::transparent);
        const QRect bounds(QPoint(0, 0), size);
        for (const Rect& r : clip->Rects()) {
            const QRect span = QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)) & bounds;
            for (int y = span.top(); y <= span.bottom(); ++y) {
                std::copy_n(reinterpret_cast<const QRgb*>(frame.constScanLine(y)) + span.left(), span.width(),
                            reinterpret_cast<QRgb*>(cut.scanLine(y)) + span.left());
            }
        }
        frame = std::move(cut);
    }
    frame.setDevicePixelRatio(scale.Factor());
    return frame;
}

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

QColor ToQColor(Colour colour) {
    if (colour == kColourHighlightText)
        return QGuiApplication::palette().color(QPalette::Active, QPalette::HighlightedText);
    if (colour & kSystemColourFlag) return Qt::white;  // no other system colour is used
    return QColor::fromRgb(ToXrgb(colour));
}

QRegion ToQRegion(const Region& region) {
    std::vector<QRect> rects;
    rects.reserve(region.Rects().size());
    for (const Rect& r : region.Rects())
        rects.emplace_back(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
    QRegion result;
    // Our rectangles are already y-x banded, the form setRects expects.
    result.setRects(rects.data(), static_cast<int>(rects.size()));
    return result;
}

QRect CentredOver(const QRect& owner, const QSize& size, const QSize& frame, const QRect& screen) {
    const QPoint centred = owner.center() - QPoint(size.width() / 2, size.height() / 2);
    const int right = std::max(screen.left(), screen.right() + 1 - size.width() - frame.width());
    const int bottom = std::max(screen.top(), screen.bottom() + 1 - size.height() - frame.height());
    return QRect(QPoint(std::clamp(centred.x(), screen.left(), right), std::clamp(centred.y(), screen.top(), bottom)),
                 size);
}

QtLabel::QtLabel(const LabelLayout& layout, QWidget* parent) : QLabel(parent) {
    setObjectName(QString::fromStdString(layout.name));
    setGeometry(layout.rect.left, layout.rect.top, layout.rect.width, layout.rect.height);
    setFont(ToQFont(layout.font));
    setWordWrap(true);
    Qt::Alignment horizontal = layout.alignment == HAlign::Left    ? Qt::AlignLeft
                               : layout.alignment == HAlign::Right ? Qt::AlignRight
                                                                 : Qt::AlignHCenter;
    setAlignment(horizontal | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
    setAutoFillBackground(!layout.transparentBackground);
    setAttribute(Qt::WA_TranslucentBackground, layout.transparentBackground);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, ToQColor(layout.foreColour));
    setPalette(pal);
    setText(QString::fromStdString(layout.caption));
}

// QLabel repaints only when the text differs.
void QtLabel::SetCaption(const std::string& caption) { setText(QString::fromStdString(caption)); }

void QtLabel::mousePressEvent(QMouseEvent* event) { event->accept(); }
void QtLabel::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }
void QtLabel::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

QtForm::QtForm(const FormLayout& layout, UiRuntime& runtime)
    : runtime_(runtime),
      centreOnScreen_(layout.centreOnScreen),
      showInTaskbar_(layout.showInTaskbar),
      frameless_(layout.frameless),
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
        const TimerSchedule schedule = ScheduleOf(timerLayout);
        auto* timer = new QTimer(this);
        timer->setObjectName(QString::fromStdString(timerLayout.name));
        timer->setInterval(schedule.periodMs);
        connect(timer, &QTimer::timeout, this, [this, name = timerLayout.name] {
            if (handlers_) RunHandler(runtime_, [&] { handlers_->Timer_Tick(name); });
        });
        timers_.emplace_back(timer, schedule.ticks);
    }
}

void QtForm::BuildMenus(const std::vector<MenuLayout>& menus) {
    for (const MenuLayout& menuLayout : menus) {
        auto* menu = new QMenu(this);
        menu->setObjectName(QString::fromStdString(menuLayout.name));
        menu->setTitle(QString::fromStdString(menuLayout.caption));
        for (const MenuItemLayout& item : menuLayout.items) {
            QAction* action = item.caption == "-" ? menu->addSeparator()
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
        shown_ = std::make_shared<const Bitmap>(ShowPicture(*bitmap_, renditions_, scale_, DecodePng));
        shownAt_ = scale_;
    }
    frame_ = BuildFrame(shown_.get(), background_, scale_, size, clip);
    ApplyOutline();
}

void QtForm::PlaceOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    // The whole screen, not its available area, as the Windows build does.
    const QRect area = screen->geometry();
    if (!centreOnScreen_) {
        move(area.topLeft());
        return;
    }
    // Centred in device pixels, as on Windows. Qt keeps a screen's top-left
    // corner in device pixels but rounds its size to logical ones, so the
    // X screen's own size is taken where it is the one screen.
    const PixelScale scale(screen->devicePixelRatio());
    const std::optional<QSize> x11Screen = QGuiApplication::screens().size() == 1 ? x11::ScreenSize() : std::nullopt;
    const QSize device = x11Screen ? *x11Screen : QSize(scale.Edge(area.width()), scale.Edge(area.height()));
    const QPoint centred(CentredStart(area.x(), device.width(), scale.Edge(width())),
                         CentredStart(area.y(), device.height(), scale.Edge(height())));
    // The nearest logical position for Qt; the exact one is set on show.
    move(area.topLeft() + (centred - area.topLeft()) / scale.Factor());
    devicePosition_ = centred;
}

void QtForm::StartTimers() {
    for (auto& [timer, enabled] : timers_)
        if (enabled) timer->start();
}

WindowHandle QtForm::hWnd() const { return static_cast<WindowHandle>(winId()); }

Label& QtForm::GetLabel(const std::string& name) {
    auto it = labels_.find(name);
    if (it == labels_.end())
        throw ClassicError(err::kObjectDoesntSupport, objectName().toStdString());
    return *it->second;
}

QMenu* QtForm::Menu(const std::string& name) const {
    auto it = menus_.find(name);
    return it == menus_.end() ? nullptr : it->second;
}

void QtForm::PopupMenu(const std::string& menuName) {
    QMenu* menu = Menu(menuName);
    if (menu == nullptr) throw ClassicError(err::kObjectDoesntSupport, objectName().toStdString());
    // The chosen item's handler runs here, before the pop-up call returns.
    QAction* chosen = menu->exec(QCursor::pos());
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
        return;
    }
    // Elsewhere (Wayland) the outline is the surface's input region, which
    // Qt maps to the surface's pixels; what shows is the frame's alpha, so
    // the widget itself has no mask to clip its painting by.
    if (QWindow* window = windowHandle()) window->setMask(InputRegion());
}

QRegion QtForm::InputRegion() const {
    if (!outline_) return {};
    // Qt reads an empty mask as "no mask"; a mask wholly outside the window
    // takes no clicks, as an empty outline must.
    if (outline_->IsEmpty()) return QRegion(-1, -1, 1, 1);
    return outlineRegion_;
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
        if (devicePosition_) QTimer::singleShot(0, this, [this, window] { x11::MoveTo(window, *devicePosition_); });
        positionKeeper_ = std::make_unique<x11::PositionKeeper>(*this);
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
