#pragma once

#include <QDialog>

class QLabel;

// "バージョン情報": the icon, the product version and a notice line, closed with OK.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    QString VersionText() const;

private:
    QLabel* version = nullptr;
};
