#include "platform/qt/qt_style.h"

#include <QGuiApplication>
#include <QPalette>

namespace tw::qt {

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

QColor ToQColor(Colour colour) {
    if (colour == kColourHighlightText)
        return QGuiApplication::palette().color(QPalette::Active, QPalette::HighlightedText);
    if (colour & kSystemColourFlag) return Qt::white;  // no other system colour is used
    return QColor::fromRgb(ToXrgb(colour));
}

}  // namespace tw::qt
