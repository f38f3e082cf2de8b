#include "platform/qt/qt_runtime.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/portable/errors.h"
#include "platform/portable/pixel_scale.h"
#include "platform/ports/adapter_hooks.h"
#include "platform/qt/display_check.h"
#include "platform/qt/qt_form.h"

namespace tw {
namespace {

QMessageBox::Icon IconOf(int style) {
    switch (style & 0x70) {
        case 16: return QMessageBox::Critical;
        case 32: return QMessageBox::Question;
        case 48: return QMessageBox::Warning;
        case 64: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

// Centred over its owner and wholly on the owner's screen, as Windows opens
// a message box. Qt's own placement works from the size the box had before
// its text was laid out, so it opens too far up and to the left.
class OwnedMessageBox final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);  // the box takes its final size here, before it is mapped
        const QWidget* owner = parentWidget();
        if (owner == nullptr || !owner->isVisible() || owner->screen() == nullptr) return;
        const QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
        setGeometry(qt::CentredOver(owner->frameGeometry(), size(), frame, owner->screen()->availableGeometry()));
    }
};

// Qt takes any number for these, and a zero, negative or non-finite one
// gives windows of no size or a crash: such a setting is dropped.
bool UsableFactor(const QString& text) {
    bool ok = false;
    const double factor = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(factor) && factor > 0.0;
}

void DropUnusableScaleSettings() {
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR") && !UsableFactor(qEnvironmentVariable("QT_SCALE_FACTOR")))
        qunsetenv("QT_SCALE_FACTOR");
    // "1.5;2" or "HDMI-1=1.5;DP-1=2": every factor must be usable.
    if (qEnvironmentVariableIsSet("QT_SCREEN_SCALE_FACTORS")) {
        const QStringList entries = qEnvironmentVariable("QT_SCREEN_SCALE_FACTORS").split(u';', Qt::SkipEmptyParts);
        const bool usable = std::all_of(entries.begin(), entries.end(),
                                        [](const QString& entry) { return UsableFactor(entry.section(u'=', -1)); });
        if (!usable || entries.isEmpty()) qunsetenv("QT_SCREEN_SCALE_FACTORS");
    }
}

bool FitsPrimaryScreen(const FormLayout& layout) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return true;
    const PixelScale scale(screen->devicePixelRatio());
    const QSizeF device = QSizeF(screen->geometry().size()) * screen->devicePixelRatio();
    return scale.Edge(layout.clientWidth) <= device.width() + 0.5 &&
           scale.Edge(layout.clientHeight) <= device.height() + 0.5;
}

// Qt's display scale: the desktop's (Xft.dpi on X11, the output's scale on
// Wayland) times the user's QT_SCALE_FACTOR / QT_SCREEN_SCALE_FACTORS. Qt
// reads them once, when the application starts; a scale at which the window
// would not fit the screen starts it again, first without the user's
// factors, then at one to one.
std::unique_ptr<QApplication> StartToolkit(int& argc, char** argv, const FormLayout& layout) {
    DropUnusableScaleSettings();
    auto app = std::make_unique<QApplication>(argc, argv);
    if (FitsPrimaryScreen(layout)) return app;
    app.reset();
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    app = std::make_unique<QApplication>(argc, argv);
    if (FitsPrimaryScreen(layout)) return app;
    const double desktop = QGuiApplication::primaryScreen()->devicePixelRatio();
    app.reset();
    qputenv("QT_SCALE_FACTOR", QByteArray::number(1.0 / desktop, 'g', 17));
    return std::make_unique<QApplication>(argc, argv);
}

}  // namespace

namespace qt {

void QtRuntime::MsgBox(const std::string& prompt, int style, const std::string& title) {
    QString text = QString::fromStdString(prompt);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    OwnedMessageBox box(IconOf(style), QString::fromStdString(title), text, QMessageBox::Ok, owner_);
    // A title and a close button, as a Windows message box has: no minimise
    // or maximise, whatever the window manager would offer a dialog.
    box.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                       Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void QtRuntime::End(int exitStatus) {
    // At once: no event, timer tick or destructor of ours runs after this.
    std::fflush(nullptr);
    std::_Exit(exitStatus);
}

std::string QtRuntime::ExeName() const { return files::ExeName(); }

QRect CentredOver(const QRect& owner, const QSize& size, const QMargins& frame, const QRect& screen) {
    const QPoint centred = owner.center() - QPoint(size.width() / 2, size.height() / 2);
    // Where the box does not fit, its title bar is what must stay on the screen.
    const int left = screen.left() + frame.left();
    const int top = screen.top() + frame.top();
    const int right = std::max(left, screen.right() + 1 - size.width() - frame.right());
    const int bottom = std::max(top, screen.bottom() + 1 - size.height() - frame.bottom());
    return QRect(QPoint(std::clamp(centred.x(), left, right), std::clamp(centred.y(), top, bottom)), size);
}

QtStartUp::~QtStartUp() = default;

int QtStartUp::DeliverEvents() { return QApplication::exec(); }

}  // namespace qt

int RunApplication(int argc, char** argv, const FormLayout& layout, const HandlersFactory& makeHandlers) {
    if (const std::string missing = qt::MissingDisplay(argc, argv); !missing.empty()) {
        std::fprintf(stderr, "tallowind: cannot show the gadget: %s\n", missing.c_str());
        return 1;
    }
    const std::unique_ptr<QApplication> app = StartToolkit(argc, argv, layout);
    QApplication::setApplicationName(QStringLiteral("tallowind"));
    // The desktop entry's name: Wayland compositors match the window to it.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.tallowind.Tallowind"));
    qt::QtRuntime runtime;
    qt::QtStartUp steps(runtime, DesktopWindowSystem());
    return RunStartUp(steps, layout, makeHandlers);
}

}  // namespace tw
