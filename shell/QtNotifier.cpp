#include "shell/QtNotifier.h"

#include "shell/AppTitle.h"
#include "shell/OverrideCursor.h"

#include <QApplication>
#include <QMessageBox>

#include <optional>

std::unique_ptr<QMessageBox> QtNotifier::MakeBox(const std::string& utf8Text, Icon icon, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                                             kestory::AppTitle(), QString::fromStdString(utf8Text), QMessageBox::Ok,
                                             parent);
    box->setTextFormat(Qt::PlainText);  // a file name is never markup
    box->setDefaultButton(QMessageBox::Ok);
    return box;
}

void QtNotifier::Notify(const std::string& utf8Text, Icon icon) {
    const std::unique_ptr<QMessageBox> box = MakeBox(utf8Text, icon, parent.data());
    // A message during an import must not show the busy cursor while it waits for the user.
    std::optional<OverrideCursor> arrow;
    if (QApplication::overrideCursor() != nullptr) {
        arrow.emplace(Qt::ArrowCursor);
    }
    box->exec();
}
