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

#include <algorithm>

#include "platform/errors.h"

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

QImage ToQImage(const Bitmap* bitmap) {
    if (bitmap == nullptr || bitmap->Width() <= 0 || bitmap->Height() <= 0) return {};
    QImage image(bitmap->Width(), bitmap->Height(), QImage::Format_RGB32);
    for (int y = 0; y < bitmap->Height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < bitmap->Width(); ++x) {
            const Colour c = bitmap->Pixel(x, y);
            line[x] = qRgb(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                           static_cast<int>((c >> 16) & 0xFF));
        }
    }
    return image;
}

std::int16_t ButtonCode(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton: return 1;
        case Qt::RightButton: return 2;
        case Qt::MiddleButton: return 4;
        default: return 0;
    }
}

std::int16_t ShiftCode(Qt::KeyboardModifiers modifiers) {
    std::int16_t shift = 0;
    if (modifiers & Qt::ShiftModifier) shift |= 1;
    if (modifiers & Qt::ControlModifier) shift |= 2;
    if (modifiers & Qt::AltModifier) shift |= 4;
    return shift;
}

constexpr float kTwipsPerPixel = 15.0f;

}  // namespace

QColor ToQColor(Colour colour) {
    if (colour == kColourHighlightText)
        return QGuiApplication::palette().color(QPalette::Active, QPalette::HighlightedText);
    if (colour & kSystemColourFlag) return Qt::white;  // no other system colour is used
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
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

QtLabel::QtLabel(const LabelLayout& layout, QWidget* parent) : QLabel(parent), caption_(layout.caption) {
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
    setText(QString::fromStdString(caption_));
}

void QtLabel::SetCaption(const std::string& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    setText(QString::fromStdString(caption_));
}

void QtLabel::mousePressEvent(QMouseEvent* event) { event->accept(); }
void QtLabel::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }
void QtLabel::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

QtForm::QtForm(const FormLayout& layout, UiRuntime& runtime)
    : runtime_(runtime), picture_(DecodePicture(layout.pictureBmp)) {
    setObjectName(QString::fromStdString(layout.name));
    image_ = ToQImage(picture_.GetBitmap());
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

    for (const TimerLayout& timerLayout : layout.timers) {
        auto* timer = new QTimer(this);
        timer->setObjectName(QString::fromStdString(timerLayout.name));
        timer->setInterval(std::max(timerLayout.intervalMs, kMinTimerPeriodMs));
        connect(timer, &QTimer::timeout, this, [this, name = timerLayout.name] {
            if (handlers_) RunHandler(runtime_, [&] { handlers_->Timer_Tick(name); });
        });
        timers_.emplace_back(timer, timerLayout.enabled);
    }
    for (const LabelLayout& labelLayout : layout.labels) labels_[labelLayout.name] = new QtLabel(labelLayout, this);
    for (const MenuLayout& menuLayout : layout.menus) {
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

void QtForm::CentreOnScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
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
    ApplyOutline();
    if (redraw) update();
}

void QtForm::ApplyOutline() {
    if (!outline_) {
        clearMask();
    } else if (outline_->IsEmpty()) {
        // Qt reads an empty mask as "no mask"; a mask wholly outside the
        // window shows nothing and takes no clicks, as an empty outline must.
        setMask(QRegion(-1, -1, 1, 1));
    } else {
        setMask(outlineRegion_);
    }
}

void QtForm::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (translucent_ && outline_) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(rect(), Qt::transparent);
        painter.setClipRegion(outlineRegion_);
        if (outline_->IsEmpty()) return;
    }
    painter.fillRect(rect(), background_);
    if (!image_.isNull()) painter.drawImage(0, 0, image_);
}

void QtForm::mousePressEvent(QMouseEvent* event) {
    event->accept();
    const std::int16_t button = ButtonCode(event->button());
    if (button == 0 || handlers_ == nullptr) return;
    const std::int16_t shift = ShiftCode(event->modifiers());
    const float x = static_cast<float>(event->position().x()) * kTwipsPerPixel;
    const float y = static_cast<float>(event->position().y()) * kTwipsPerPixel;
    RunHandler(runtime_, [&] { handlers_->Form_MouseDown(button, shift, x, y); });
}

void QtForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Some platforms (Wayland) forget the input region when the surface is
    // made again on show.
    ApplyOutline();
}

}  // namespace tw::qt
