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
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace kestory::dialogs {

namespace {

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "caption (*.[Jj][Pp][Gg] *.[Hh][Ee][Ii][Cc] ...)": Qt shows only the caption
// (HideNameFilterDetails strips the last parenthesised pattern list) and matches the bracket
// patterns, which ignore case.
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

// Without their full stops.
template <size_t N>
void AppendSuffixes(QStringList& suffixes, const char* const (&dotted)[N]) {
    for (const char* suffix : dotted) {
        suffixes.append(QString::fromLatin1(suffix + 1));
    }
}

QStringList JpegSuffixes() {
    QStringList suffixes;
    AppendSuffixes(suffixes, kJpegSuffixes);
    return suffixes;
}

QStringList AllPhotoSuffixes() {
    QStringList suffixes = JpegSuffixes();
    AppendSuffixes(suffixes, kOtherPhotoSuffixes);
    return suffixes;
}

}  // namespace

std::unique_ptr<QFileDialog> MakeOpenPhotosDialog(QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    // Any number of files: the list of chosen names has no fixed capacity here.
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setNameFilters({CaseFreeFilter(texts::kOpenFilesFilterCaption, JpegSuffixes()),
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
    dialog->setNameFilter(CaseFreeFilter(texts::kCsvFilterCaption, {QStringLiteral("CSV")}));
    dialog->setDefaultSuffix(ToQString(texts::kCsvDefaultSuffix));
    return dialog;
}

void OpenWith(const QString& opener, const QUrl& url, QObject* context, const std::function<void(bool)>& opened) {
    // Nobody's child: ending Kestory neither kills an xdg-open that still waits for its viewer nor
    // hears from it. It removes itself when it ends.
    auto* process = new QProcess;
    // The viewer xdg-open may start (and wait for) writes to our terminal rather than into pipes
    // nobody reads, and does not die of a broken pipe when we end first.
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    QObject* const listener = context != nullptr ? context : process;
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::finished, listener, [opened](int code, QProcess::ExitStatus status) {
        opened(status == QProcess::NormalExit && code == 0);
    });
    // A process that could not start emits this and no finished; Crashed comes before finished.
    QObject::connect(process, &QProcess::errorOccurred, process, [process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            process->deleteLater();
        }
    });
    QObject::connect(process, &QProcess::errorOccurred, listener, [opened](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            opened(false);
        }
    });
    process->start(opener, {url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded)});
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

QString QtShellDialogs::ChooseSaveFile(QWidget* parent, const QString& caption, const QString& filters) {
    QFileDialog dialog(parent, caption, QString(), filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
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

void QtShellDialogs::OpenDocument(const QUrl& url, QObject* context, const std::function<void(bool)>& opened) {
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (xdgOpen.isEmpty()) {
        opened(QDesktopServices::openUrl(url));
        return;
    }
    kestory::dialogs::OpenWith(xdgOpen, url, context, opened);
}
