#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include <cstdio>
#include <cstdlib>

#include "platform/errors.h"
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

class QtRuntime final : public UiRuntime {
public:
    void SetOwner(QWidget* owner) { owner_ = owner; }

    void MsgBox(const std::string& prompt, int style, const std::string& title) override {
        QString text = QString::fromStdString(prompt);
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        QMessageBox box(IconOf(style), QString::fromStdString(title), text, QMessageBox::Ok, owner_);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }

    [[noreturn]] void End(int exitStatus) override {
        // At once: no event, timer tick or destructor of ours runs after this.
        std::fflush(nullptr);
        std::_Exit(exitStatus);
    }

private:
    QPointer<QWidget> owner_;
};

void KeepPixelsOneToOne() {
    // The picture must map one to one onto screen pixels, so the toolkit's
    // own scaling is turned off whatever the desktop asks for.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
}

}  // namespace

int RunApplication(int argc, char** argv, const FormLayout& layout, const HandlersFactory& makeHandlers) {
    KeepPixelsOneToOne();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tallowind"));
    QtRuntime runtime;

    std::unique_ptr<qt::QtForm> form;
    std::unique_ptr<FormHandlers> handlers;
    RunHandler(runtime, [&] {
        form = std::make_unique<qt::QtForm>(layout, runtime);
        handlers = makeHandlers(*form, runtime);
    });
    runtime.SetOwner(form.get());
    form->SetHandlers(handlers.get());

    RunHandler(runtime, [&] { handlers->Form_Load(); });
    form->CentreOnScreen();
    form->show();
    form->StartTimers();
    return QApplication::exec();
}

}  // namespace tw
