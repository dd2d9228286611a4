#pragma once

#include <QFrame>
#include <QLabel>
#include <QRect>
#include <QString>

namespace kestory {

// A static text of a dialog template: centred both ways in a sunken box.
inline QLabel* SunkenText(const QString& text, const QRect& rect, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(1);
    label->setGeometry(rect);
    return label;
}

}  // namespace kestory
