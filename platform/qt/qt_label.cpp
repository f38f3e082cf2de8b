#include "platform/qt/qt_label.h"

#include <QMouseEvent>
#include <QPalette>

#include "platform/qt/qt_style.h"

namespace tw::qt {

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

void QtLabel::SetCaption(const std::string& caption) { setText(QString::fromStdString(caption)); }

void QtLabel::mousePressEvent(QMouseEvent* event) { event->accept(); }
void QtLabel::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }
void QtLabel::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

}  // namespace tw::qt
