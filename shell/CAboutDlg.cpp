#include "shell/CAboutDlg.h"

#include "shell/AppIcon.h"
#include "dialog/AppTitle.h"
#include "dialog/DialogUnits.h"

#include <QFontMetrics>

#include <algorithm>
#include <QLabel>
#include <QPushButton>

using kestory::DluRect;

namespace {

// A static text of the template, at least one line of the dialog's font high so that the
// descenders of a 9-point Japanese font are not cut off.
QLabel* StaticText(const QString& text, const QRect& rect, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    QRect box = rect;
    box.setHeight(std::max(rect.height(), QFontMetrics(label->font()).height() + 2));
    label->setGeometry(box);
    return label;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("バージョン情報"));
    setFixedSize(kestory::DluSize(235, 55));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    const QRect iconBox = DluRect(11, 17, 20, 20);
    icon->setGeometry(iconBox);
    icon->setPixmap(kestory::AppIcon().pixmap(std::min(iconBox.width(), iconBox.height())));
    icon->setAlignment(Qt::AlignCenter);

    version = StaticText(QStringLiteral("Kestory Version %1").arg(kestory::GetProductVersion()),
                         DluRect(40, 10, 125, 8), this);
    version->setObjectName(QStringLiteral("version"));
    auto* notice = StaticText(QStringLiteral("JPEG 写真の露出チャート"), DluRect(40, 25, 119, 8), this);
    notice->setObjectName(QStringLiteral("notice"));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(DluRect(178, 7, 50, 16));
    ok->setDefault(true);
    ok->setAutoDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

QString CAboutDlg::VersionText() const {
    return version->text();
}
