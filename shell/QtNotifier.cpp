#include "shell/QtNotifier.h"

#include "collection/ImportTexts.h"
#include "dialog/AppTitle.h"
#include "shell/OverrideCursor.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

#include <algorithm>
#include <optional>

namespace {

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

std::unique_ptr<QMessageBox> QtNotifier::MakeBox(const std::string& utf8Text, Icon icon, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                                             kestory::AppTitle(), QString::fromStdString(utf8Text), QMessageBox::Ok,
                                             parent);
    box->setTextFormat(Qt::PlainText);  // a file name is never markup
    box->setDefaultButton(QMessageBox::Ok);
    return box;
}

void QtNotifier::Run(QMessageBox& box) {
    // A message during an import must not show the busy cursor while it waits for the user.
    std::optional<OverrideCursor> arrow;
    if (QApplication::overrideCursor() != nullptr) {
        arrow.emplace(Qt::ArrowCursor);
    }
    box.exec();
}

void QtNotifier::Notify(const std::string& utf8Text, Icon icon) {
    const std::unique_ptr<QMessageBox> box = MakeBox(utf8Text, icon, parent.data());
    Run(*box);
}

void QtNotifier::NotifyRefusal(const std::string& path, const std::string& utf8Text) {
    if (importDepth == 0) {
        Notify(utf8Text, Icon::None);
        return;
    }
    if (gathering) {
        ++gathered;
        if (gatheredPaths.size() < kSummaryPaths) {
            gatheredPaths.push_back(path);
        }
        return;
    }
    const std::unique_ptr<QMessageBox> box = MakeBox(utf8Text, Icon::None, parent.data());
    auto* gatherRest = new QCheckBox(FromView(kestory::texts::kRefusalsGatherRest));
    box->setCheckBox(gatherRest); // the box owns it
    Run(*box);
    gathering = gatherRest->isChecked();
}

void QtNotifier::BeginImport() {
    if (importDepth++ == 0) {
        gathering = false;
        gathered = 0;
        gatheredPaths.clear();
        alreadyLoaded = 0;
    }
}

void QtNotifier::NotifyAlreadyLoaded(size_t count) {
    if (importDepth > 0) {
        alreadyLoaded += count;
    } else if (count > 0) {
        ShowStatus(AlreadyLoadedText(count));
    }
}

void QtNotifier::ShowStatus(const QString& text) {
    auto* window = qobject_cast<QMainWindow*>(parent.data());
    if (window == nullptr) {
        return;
    }
    // The window has no status bar of its own: one is made at the first message and shown only
    // while a message stands, so the chart keeps its room otherwise.
    const bool made = window->findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly) != nullptr;
    QStatusBar* bar = window->statusBar();
    if (!made) {
        // A label of the window's own on the line (the watched folder's) keeps it shown.
        QObject::connect(bar, &QStatusBar::messageChanged, bar, [bar](const QString& message) {
            const QList<QLabel*> labels = bar->findChildren<QLabel*>();
            bar->setVisible(!message.isEmpty() || std::any_of(labels.begin(), labels.end(), [](const QLabel* label) {
                                return !label->text().isEmpty();
                            }));
        });
    }
    bar->show();
    bar->showMessage(text, kStatusMilliseconds);
}

void QtNotifier::EndImport() {
    if (importDepth == 0 || --importDepth > 0) {
        return;
    }
    const size_t count = gathered;
    const std::vector<std::string> paths = std::move(gatheredPaths);
    const size_t known = alreadyLoaded;
    gathering = false;
    gathered = 0;
    gatheredPaths.clear();
    alreadyLoaded = 0;
    if (count > 0) {
        Notify(RefusalSummaryText(count, paths, known).toStdString(), Icon::None);
    } else if (known > 0) {
        ShowStatus(AlreadyLoadedText(known));
    }
}

QString QtNotifier::AlreadyLoadedText(size_t count) {
    return FromView(kestory::texts::kAlreadyLoaded).arg(count);
}

QString QtNotifier::RefusalSummaryText(size_t count, const std::vector<std::string>& firstPaths,
                                       size_t alreadyLoaded) {
    QString text = FromView(kestory::texts::kRefusalsGathered).arg(count);
    text += QLatin1Char('\n');
    for (const std::string& path : firstPaths) {
        text += QLatin1Char('\n') + QString::fromStdString(path);
    }
    if (count > firstPaths.size()) {
        text += QLatin1Char('\n') + FromView(kestory::texts::kRefusalsMore).arg(count - firstPaths.size());
    }
    if (alreadyLoaded > 0) {
        text += QStringLiteral("\n\n") + AlreadyLoadedText(alreadyLoaded);
    }
    return text;
}
