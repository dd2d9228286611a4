#pragma once

#include <QSpinBox>

class QKeyEvent;

// A number of a panel that can be typed as well as stepped. A typed number counts on Enter or
// when the focus leaves the box, not at every digit, and one outside the range is brought to its
// nearer end (500 in 10 to 120 gives 120) instead of having its last digit refused. A box showing
// its special text ("指定なし") starts a new number at the first digit typed.
class NumberBox : public QSpinBox {
    Q_OBJECT
public:
    NumberBox(int minimum, int maximum, QWidget* parent = nullptr);

    QValidator::State validate(QString& text, int& pos) const override;
    void fixup(QString& text) const override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
