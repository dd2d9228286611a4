#pragma once

#include <QDate>
#include <QDateEdit>

class QKeyEvent;

// One end of the filter panel's date range: a date, or none, shown as "指定なし" (the edit's
// minimum date stands for none). In Japanese whatever the desktop's language, as the rest of the
// interface. From none, the first digit typed starts a date in the year of the hint (the photos'
// first or last date), so that "20081022" typed in full gives 2008/10/22; an arrow step starts at
// the hint itself, and the calendar opens at the hint's month instead of the minimum's. Delete
// gives none again.
class FilterDateEdit : public QDateEdit {
    Q_OBJECT
public:
    static const QDate kNone;

    explicit FilterDateEdit(QWidget* parent = nullptr);

    bool IsNone() const { return date() <= kNone; }
    // Where a date starts from none; invalid: today.
    void SetHint(const QDate& date) { hint = date; }
    void stepBy(int steps) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QDate Hint() const;

    QDate hint;
};
