#include "shell/NumberBox.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace {

// More digits than any range of the panels needs; a longer run is cut to the maximum by fixup.
constexpr qsizetype kMaxDigits = 10;

bool AllDigits(const QString& text) {
    return !text.isEmpty() && text.size() <= kMaxDigits &&
           std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

}  // namespace

NumberBox::NumberBox(int minimum, int maximum, QWidget* parent) : QSpinBox(parent) {
    setRange(minimum, maximum);
    setKeyboardTracking(false);
}

QValidator::State NumberBox::validate(QString& text, int& /*pos*/) const {
    if (!specialValueText().isEmpty() && text == specialValueText()) {
        return QValidator::Acceptable;
    }
    const QString number = text.trimmed();
    if (number.isEmpty()) {
        return QValidator::Intermediate;
    }
    if (!AllDigits(number)) {
        return QValidator::Invalid;
    }
    const qlonglong value = number.toLongLong();
    return value >= minimum() && value <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

void NumberBox::fixup(QString& text) const {
    const QString number = text.trimmed();
    if (AllDigits(number)) {
        text = QString::number(std::clamp<qlonglong>(number.toLongLong(), minimum(), maximum()));
    }
}

void NumberBox::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    if (!specialValueText().isEmpty() && lineEdit()->text() == specialValueText() && AllDigits(typed)) {
        lineEdit()->selectAll();
    }
    QSpinBox::keyPressEvent(event);
}
