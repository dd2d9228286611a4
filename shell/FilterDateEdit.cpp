#include "shell/FilterDateEdit.h"

#include <QCalendarWidget>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>

const QDate FilterDateEdit::kNone(1900, 1, 1);

FilterDateEdit::FilterDateEdit(QWidget* parent) : QDateEdit(kNone, parent) {
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    setLocale(japanese);
    setMinimumDate(kNone);
    setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    setSpecialValueText(QStringLiteral("指定なし"));
    setCalendarPopup(true);
    // A typed date counts when it is complete, on Enter or when the focus leaves.
    setKeyboardTracking(false);
    // The calendar is a window of its own and does not take the edit's locale.
    calendarWidget()->setLocale(japanese);
    calendarWidget()->window()->installEventFilter(this);
}

QDate FilterDateEdit::Hint() const {
    return hint.isValid() && hint > kNone ? hint : QDate::currentDate();
}

void FilterDateEdit::stepBy(int steps) {
    if (IsNone()) {
        setDate(Hint());
        return;
    }
    QDateEdit::stepBy(steps);
}

void FilterDateEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        setDate(kNone);
        event->accept();
        return;
    }
    const QString typed = event->text();
    if (IsNone() && typed.size() == 1 && typed[0].isDigit()) {
        // The first of January, so that any month and then any day typed after the year is a date.
        // Quietly: the filter takes the date once it is complete.
        {
            const QSignalBlocker quiet(this);
            setDate(QDate(Hint().year(), 1, 1));
        }
        setCurrentSection(QDateTimeEdit::YearSection);
        setSelectedSection(QDateTimeEdit::YearSection);
    }
    QDateEdit::keyPressEvent(event);
}

bool FilterDateEdit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched == calendarWidget()->window() && IsNone()) {
        const QDate at = Hint();
        calendarWidget()->setCurrentPage(at.year(), at.month());
    }
    return QDateEdit::eventFilter(watched, event);
}
