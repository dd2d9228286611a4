#include "shell/ChartCommands.h"

#include "chart/CLumivaneView.h"
#include "chart/ChartOutput.h"
#include "chart/HistogramImage.h"
#include "collection/CLumivaneDoc.h"
#include "collection/CsvExport.h"
#include "collection/FolderScan.h"
#include "collection/ImportTexts.h"
#include "collection/Notifier.h"
#include "collection/OutputFile.h"
#include "shell/HelpDocument.h"
#include "shell/ImportProgress.h"
#include "shell/ShellDialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPrinter>
#include <QUrl>

#include <string>
#include <vector>

namespace {

constexpr const char* kPrintNotStarted = "印刷を開始できませんでした。";

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

void ChartCommands::importPaths(const QStringList& paths) {
    std::vector<std::string> localPaths;
    localPaths.reserve(static_cast<size_t>(paths.size()));
    for (const QString& path : paths) {
        localPaths.push_back(ToLocalPath(path));
    }
    importScannedPaths(localPaths, false);
}

void ChartCommands::OnFileOpen() {
    const QStringList paths = dialogs.ChoosePhotoFiles(dialogParent());
    if (paths.isEmpty()) {
        return;
    }
    importPaths(paths);
}

void ChartCommands::OnFileOpenFolder() {
    const QString folder = dialogs.ChoosePhotoFolder(dialogParent());
    if (folder.isEmpty()) {
        return;
    }
    std::vector<std::string> found;
    if (ScanFolder(ToLocalPath(folder), found, scanAllKinds) == 0) {
        return;  // nothing to import, and nothing to say
    }
    QStringList paths;
    paths.reserve(static_cast<qsizetype>(found.size()));
    for (const std::string& path : found) {
        paths.append(QFile::decodeName(QByteArray::fromStdString(path)));
    }
    importPaths(paths);
}

void ChartCommands::importScannedPaths(const std::vector<std::string>& paths, bool showProgressAtOnce) {
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
    ImportWithProgress(doc, paths, dialogParent(), options);
}

void ChartCommands::OnFileOpenFolderTree() {
    const QString folder = dialogs.ChoosePhotoFolder(dialogParent());
    if (folder.isEmpty()) {
        return;
    }
    std::vector<std::string> found;
    FolderTreeScanOptions options;
    options.scan = [otherKinds = scanAllKinds](const std::string& top, std::vector<std::string>& list,
                                               const FolderTreeProgress& progress) {
        return ScanFolderTree(top, list, progress, otherKinds);
    };
    const FolderTreeScanResult scan = ScanFolderTreeWithProgress(ToLocalPath(folder), found, dialogParent(), options);
    if (scan.count <= 0) {
        return;  // nothing found, or the user stopped the scan: nothing imported, nothing said
    }
    importScannedPaths(found, scan.dialogShown);
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

void ChartCommands::OnSaveChartSvg() {
    const QString path =
        dialogs.ChooseSaveFile(dialogParent(), QStringLiteral("SVG として保存"), QStringLiteral("SVG ファイル (*.svg)"));
    if (path.isEmpty()) {
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
    if (!kestory::chartout::PrintChart(view, target)) {
        // The printer refused the job before its page (a PDF file that cannot be written, a
        // printer that went away): without a word the user would wait for paper.
        notifier.Notify(kPrintNotStarted, Notifier::Icon::Warning);
    }
}

void ChartCommands::OnFilePrintPreview() {
    QPrinter& target = Printer();
    kestory::chartout::ForceLandscape(target);
    const kestory::chartout::PrintLayoutGuard atHundred(view);
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
