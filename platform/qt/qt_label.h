// A label of the window: its caption over the picture.
#pragma once

#include <QLabel>

#include <string>

#include "platform/portable/layout.h"
#include "platform/ports/ui.h"

namespace tw::qt {

class QtLabel final : public QLabel, public Label {
public:
    QtLabel(const LabelLayout& layout, QWidget* parent);
    // QLabel repaints only when the text differs.
    void SetCaption(const std::string& caption) override;

protected:
    // A label takes the presses inside its rectangle and does nothing with
    // them; ignoring them would hand them on to the window.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace tw::qt
