#include "shell/ChartCommands.h"

#include "chart/CLumivaneView.h"
#include "chart/ChartGeometry.h"
#include "chart/ChartOutput.h"
#include "chart/HistogramImage.h"
#include "collection/CLumivaneDoc.h"
#include "collection/CsvExport.h"
#include "collection/FolderScan.h"
#include "collection/ImportTexts.h"
#include "collection/RawJpegPairs.h"
#include "collection/Notifier.h"
#include "collection/OutputFile.h"
#include "dialog/AppTitle.h"
#include "shell/HelpDocument.h"
#include "shell/ImportProgress.h"
#include "shell/ShellDialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPrinter>
#include <QProgressDialog>
#include <QUrl>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

namespace {

constexpr const char* kPrintNotStarted = "印刷を開始できませんでした。";
// An output's decodes show their progress once they have taken this long.
constexpr int kOutputProgressDelayMs = 500;
constexpr const char* kPathsMissing = "次のファイルまたはフォルダが見つからないため、読み込めませんでした。";
constexpr const char* kRecentMissing = "%1 が見つからないため、最近使ったフォルダの一覧から外しました。";

// The path's bytes as the file system spells them.
std::string ToLocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

ChartCommands::ChartCommands(CLumivaneDoc& d, CLumivaneView& v, Notifier& n, ShellDialogs& dlg, QObject* parent)
    : QObject(parent), doc(d), view(v), notifier(n), dialogs(dlg) {}

ChartCommands::~ChartCommands() = default;

QPrinter& ChartCommands::Printer() {
    if (!printer) {
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setPageOrientation(QPageLayout::Landscape);
        printer->setDocName(QStringLiteral("Kestory"));
    }
    return *printer;
}

QWidget* ChartCommands::dialogParent() const {
    return view.window();
}

int ChartCommands::importPaths(const QStringList& paths) {
    std::vector<std::string> localPaths;
    localPaths.reserve(static_cast<size_t>(paths.size()));
    for (const QString& path : paths) {
        localPaths.push_back(ToLocalPath(path));
    }
    return importScannedPaths(localPaths, false);
}

void ChartCommands::OnFileOpen() {
    const QStringList paths = dialogs.ChoosePhotoFiles(dialogParent());
    if (paths.isEmpty()) {
        return;
    }
    importPaths(paths);
    for (const QString& path : paths) {
        emit imported({path, false});
    }
}

QString ChartCommands::ChooseFolder() {
    return dialogs.ChoosePhotoFolder(dialogParent());
}

bool ChartCommands::importFolder(const QString& folder) {
    std::vector<std::string> found;
    if (ScanFolder(ToLocalPath(folder), found, scanAllKinds) == 0) {
        return false;  // nothing to import, and nothing to say
    }
    importScannedPaths(found, false);
    return true;
}

void ChartCommands::OnFileOpenFolder() {
    const QString folder = dialogs.ChoosePhotoFolder(dialogParent());
    if (!folder.isEmpty() && importFolder(folder)) {
        emit imported({folder, false});
    }
}

int ChartCommands::OpenPaths(const QStringList& paths) {
    std::vector<std::string> files;
    QStringList missing;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            std::vector<std::string> found;
            if (scanTree(path, found).count > 0) {
                files.insert(files.end(), found.begin(), found.end());
            }
        } else if (info.exists()) {
            files.push_back(ToLocalPath(path));
        } else {
            missing.append(path);
        }
    }
    if (!missing.isEmpty()) {
        notifier.Notify(QStringLiteral("%1\n\n%2").arg(QString::fromUtf8(kPathsMissing), missing.join(QLatin1Char('\n'))).toStdString(),
                        Notifier::Icon::Warning);
    }
    if (files.empty()) {
        return 0;
    }
    const int added = importScannedPaths(files, false);
    for (const QString& path : paths) {
        if (!missing.contains(path)) {
            emit imported({path, QFileInfo(path).isDir()});
        }
    }
    return added;
}

bool ChartCommands::OpenRecent(const RecentEntry& entry) {
    const QFileInfo info(entry.path);
    if (!info.exists()) {
        notifier.Notify(QString::fromUtf8(kRecentMissing).arg(entry.path).toStdString(), Notifier::Icon::Warning);
        return false;
    }
    if (!info.isDir()) {
        importPaths({entry.path});
    } else if (entry.tree) {
        ImportFolderTree(entry.path);
    } else {
        importFolder(entry.path);
    }
    emit imported(entry);
    return true;
}

int ChartCommands::importScannedPaths(const std::vector<std::string>& paths, bool showProgressAtOnce) {
    ImportProgressOptions options;
    if (showProgressAtOnce) {
        options.showAfter = std::chrono::milliseconds(0); // the scan's dialog is followed by the import's
    }
    // Also when every file was refused: the chart is laid out and repainted once, before any
    // summary of refusals, so the photos show behind it.
    options.imported = [this] {
        view.LayoutPhotos();
        view.InvalidateChart();
    };
    std::vector<std::string> kept = paths;
    RawCompanions companions;
    if (pairRawWithJpeg) {
        PairRawWithJpeg(kept, companions);
    }
    doc.NoteRawCompanions(std::move(companions));
    const int added = ImportWithProgress(doc, kept, dialogParent(), options);
    emit importEnded();
    return added;
}

void ChartCommands::OnFileOpenFolderTree() {
    const QString folder = dialogs.ChoosePhotoFolder(dialogParent());
    if (!folder.isEmpty() && ImportFolderTree(folder) >= 0) {
        emit imported({folder, true});
    }
}

FolderTreeScanResult ChartCommands::scanTree(const QString& folder, std::vector<std::string>& found) {
    FolderTreeScanOptions options;
    options.scan = [otherKinds = scanAllKinds](const std::string& top, std::vector<std::string>& list,
                                               const FolderTreeProgress& progress) {
        return ScanFolderTree(top, list, progress, otherKinds);
    };
    return ScanFolderTreeWithProgress(ToLocalPath(folder), found, dialogParent(), options);
}

int ChartCommands::ImportFolderTree(const QString& folder) {
    std::vector<std::string> found;
    const FolderTreeScanResult scan = scanTree(folder, found);
    if (scan.count <= 0) {
        return -1;  // nothing found, or the user stopped the scan: nothing imported, nothing said
    }
    return importScannedPaths(found, scan.dialogShown);
}

void ChartCommands::OnSaveShootingData() {
    // The photos the filter shows; with all of them filtered out there is nothing to save.
    if (doc.ShownCount() < 1) {
        notifier.Notify(std::string(kestory::texts::kCsvNoPhotos), Notifier::Icon::None);
        return;
    }
    const QString path = dialogs.ChooseCsvFile(dialogParent());
    if (path.isEmpty()) {
        return;
    }
    if (WriteCsv(doc.Photos(), ToLocalPath(path), nullptr, &doc.Shown()) == 0) {
        notifier.Notify(std::string(kestory::texts::kCsvSaveFailed), Notifier::Icon::Warning);
    }
}

void ChartCommands::OnSaveSelectedShootingData() {
    if (doc.SelectedCount() == 0) {
        return;
    }
    const QString path = dialogs.ChooseCsvFile(dialogParent());
    if (path.isEmpty()) {
        return;
    }
    if (WriteCsv(doc.SelectedPhotos(), ToLocalPath(path)) == 0) {
        notifier.Notify(std::string(kestory::texts::kCsvSaveFailed), Notifier::Icon::Warning);
    }
}

bool ChartCommands::sharpenForOutput(const Rect* within) {
    QProgressDialog progress(QString(), QStringLiteral("中止"), 0, 1, dialogParent());
    progress.setWindowTitle(kestory::AppTitle());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(kOutputProgressDelayMs);
    progress.setAutoReset(false);
    const bool finished = SharpenShownPictures(
        doc,
        [&progress](size_t done, size_t total) {
            progress.setLabelText(QStringLiteral("写真を復号しています… %1 / %2").arg(done).arg(total));
            progress.setMaximum(static_cast<int>(std::min<size_t>(total, INT_MAX)));
            progress.setValue(static_cast<int>(std::min<size_t>(done, INT_MAX)));
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        },
        within);
    // The chart shows the decoded pictures too (their soft display pictures were let go).
    view.InvalidateChart();
    return finished;
}

void ChartCommands::OnSaveChartSvg() {
    const QString path =
        dialogs.ChooseSaveFile(dialogParent(), QStringLiteral("SVG として保存"), QStringLiteral("SVG ファイル (*.svg)"));
    if (path.isEmpty() || !sharpenForOutput()) {
        return;
    }
    const QByteArray svg = RenderChartSvg(doc);
    if (svg.isEmpty() ||
        WriteOutputFile(ToLocalPath(path), std::string_view(svg.constData(), static_cast<size_t>(svg.size()))).result != 1) {
        notifier.Notify("ＳＶＧファイルの保存に失敗しました。", Notifier::Icon::Warning);
    }
}

void ChartCommands::OnFilePrint() {
    QPrinter& target = Printer();
    if (!dialogs.ChoosePrinter(target, dialogParent())) {
        return;  // cancelled before the job began: nothing in the view changes
    }
    bool stopped = false;
    const bool printed = kestory::chartout::PrintChart(view, target, [this, &stopped] {
        stopped = !sharpenForOutput();
        return !stopped;
    });
    if (!printed && !stopped) {
        // The printer refused the job before its page (a PDF file that cannot be written, a
        // printer that went away): without a word the user would wait for paper.
        notifier.Notify(kPrintNotStarted, Notifier::Icon::Warning);
    }
}

void ChartCommands::OnFilePrintPreview() {
    QPrinter& target = Printer();
    kestory::chartout::ForceLandscape(target);
    const kestory::chartout::PrintLayoutGuard atHundred(view);
    if (!sharpenForOutput()) {
        return;
    }
    dialogs.PreviewPrint(target, dialogParent(), [this](QPrinter& page) {
        // The preview's own orientation switch cannot turn the chart: it is always landscape.
        kestory::chartout::ForceLandscape(page);
        kestory::chartout::PaintChartPage(doc, page, page.resolution());
    });
}

void ChartCommands::OnFilePrintSetup() {
    dialogs.SetUpPage(Printer(), dialogParent());
}

void ChartCommands::OnEditCopy() {
    const QPoint scroll = view.ScrollPosition();
    const QSize shown = view.viewport()->size();
    const Rect visible{scroll.x(), scroll.y(), scroll.x() + shown.width(), scroll.y() + shown.height()};
    if (!sharpenForOutput(&visible)) {
        return;
    }
    kestory::chartout::CopyViewToClipboard(view, QGuiApplication::clipboard());
}

void ChartCommands::OnHelp() {
    kestory::help::ShowHelp(kestory::help::SearchFolders(QDir::currentPath(), QCoreApplication::applicationDirPath()),
                            [this](const QUrl& url, const kestory::help::Opened& opened) {
                                dialogs.OpenDocument(url, this, opened);
                            },
                            notifier);
}

void ChartCommands::OnAppAbout() {
    dialogs.ShowAbout(dialogParent());
}
