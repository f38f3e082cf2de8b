// The Qt window built from a layout. Qt types stay inside platform/qt/.
#pragma once

#include <QImage>
#include <QLabel>
#include <QRegion>
#include <QWidget>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui.h"

class QMenu;
class QTimer;

namespace tw::qt {

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

private:
    std::string caption_;
};

class QtForm final : public QWidget, public Form {
public:
    QtForm(const FormLayout& layout, UiRuntime& runtime);
    ~QtForm() override;

    void SetHandlers(FormHandlers* handlers) { handlers_ = handlers; }
    void CentreOnScreen();
    void StartTimers();

    const tw::Picture& Picture() const override { return picture_; }
    WindowHandle hWnd() const override;
    Label& GetLabel(const std::string& name) override;
    void PopupMenu(const std::string& menuName) override;

    // The window's outline: null for none (the full rectangle).
    void SetOutline(RegionHandle outline, bool redraw);
    const Region* Outline() const { return outline_.get(); }
    QMenu* Menu(const std::string& name) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ApplyOutline();

    UiRuntime& runtime_;
    FormHandlers* handlers_ = nullptr;
    BitmapPicture picture_;
    QImage image_;
    QColor background_;
    bool translucent_ = false;
    RegionHandle outline_;
    QRegion outlineRegion_;  // outline_ as Qt has it, made once per outline
    std::map<std::string, QtLabel*> labels_;
    std::map<std::string, QMenu*> menus_;
    std::vector<std::pair<QTimer*, bool>> timers_;
};

QColor ToQColor(Colour colour);
QRegion ToQRegion(const Region& region);

}  // namespace tw::qt
