#include "shell/ShellDialogs.h"

#include "collection/FolderScan.h"
#include "collection/ImportTexts.h"
#include "shell/CAboutDlg.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QUrl>

namespace kestory::dialogs {

namespace {

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "caption (*.[Jj][Pp][Gg])": Qt shows only the caption (HideNameFilterDetails strips the last
// parenthesised pattern list) and matches the bracket pattern, which ignores case.
QString CaseFreeFilter(std::string_view caption, QStringView suffix) {
    QString pattern = QStringLiteral("*.");
    for (const QChar c : suffix) {
        pattern += QLatin1Char('[') + c.toUpper() + c.toLower() + QLatin1Char(']');
    }
    return QStringLiteral("%1 (%2)").arg(ToQString(caption), pattern);
}

// The same over several suffixes: "caption (*.[Jj][Pp][Gg] *.[Hh][Ee][Ii][Cc] ...)".
QString CaseFreeFilter(std::string_view caption, const QStringList& suffixes) {
    QStringList patterns;
    for (const QString& suffix : suffixes) {
        QString pattern = QStringLiteral("*.");
        for (const QChar c : suffix) {
            pattern += c.isLetter() ? QLatin1Char('[') + c.toUpper() + c.toLower() + QLatin1Char(']') : QString(c);
        }
        patterns.append(pattern);
    }
    return QStringLiteral("%1 (%2)").arg(ToQString(caption), patterns.join(QLatin1Char(' ')));
}

QStringList AllPhotoSuffixes() {
    QStringList suffixes{QStringLiteral("JPG")};
    for (const char* suffix : kOtherPhotoSuffixes) {
        suffixes.append(QString::fromLatin1(suffix + 1));  // without its full stop
    }
    return suffixes;
}

}  // namespace

std::unique_ptr<QFileDialog> MakeOpenPhotosDialog(QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    // Any number of files: the list of chosen names has no fixed capacity here.
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setNameFilters({CaseFreeFilter(texts::kOpenFilesFilterCaption, u"JPG"),
                            CaseFreeFilter(texts::kAllPhotosFilterCaption, AllPhotoSuffixes())});
    dialog->setDefaultSuffix(ToQString(texts::kOpenFilesDefaultSuffix));
    return dialog;
}

std::unique_ptr<QFileDialog> MakeSaveCsvDialog(QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    // The save dialog asks before overwriting unless DontConfirmOverwrite is set; it is not.
    dialog->setNameFilter(CaseFreeFilter(texts::kCsvFilterCaption, u"CSV"));
    dialog->setDefaultSuffix(ToQString(texts::kCsvDefaultSuffix));
    return dialog;
}

}  // namespace kestory::dialogs

QStringList QtShellDialogs::ChoosePhotoFiles(QWidget* parent) {
    const auto dialog = kestory::dialogs::MakeOpenPhotosDialog(parent);
    return dialog->exec() == QDialog::Accepted ? dialog->selectedFiles() : QStringList{};
}

QString QtShellDialogs::ChoosePhotoFolder(QWidget* parent) {
    return QFileDialog::getExistingDirectory(
        parent, QString::fromUtf8(kestory::texts::kFolderBrowserTitle.data(),
                                  static_cast<qsizetype>(kestory::texts::kFolderBrowserTitle.size())));
}

QString QtShellDialogs::ChooseCsvFile(QWidget* parent) {
    const auto dialog = kestory::dialogs::MakeSaveCsvDialog(parent);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
        return {};
    }
    return dialog->selectedFiles().constFirst();
}

bool QtShellDialogs::ChoosePrinter(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    // One page, always: there is no page range to choose.
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    return dialog.exec() == QDialog::Accepted;
}

void QtShellDialogs::PreviewPrint(QPrinter& printer, QWidget* parent, const std::function<void(QPrinter&)>& paint) {
    QPrintPreviewDialog dialog(&printer, parent);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&paint](QPrinter* target) {
        if (target != nullptr) {
            paint(*target);
        }
    });
    dialog.exec();
}

bool QtShellDialogs::SetUpPage(QPrinter& printer, QWidget* parent) {
    QPageSetupDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void QtShellDialogs::ShowAbout(QWidget* parent) {
    CAboutDlg dialog(parent);
    dialog.exec();
}

bool QtShellDialogs::OpenDocument(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}
