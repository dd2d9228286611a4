#pragma once

#include "photo/Rect.h"
#include "shell/RecentPaths.h"

#include <QObject>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

struct FolderTreeScanResult;
class CLumivaneDoc;
class CLumivaneView;
class Notifier;
class QClipboard;
class QPrinter;
class ShellDialogs;

// The commands of the File, Edit and Help menus that work on the chart: import, shooting-data
// export, copy, print, preview, printer set-up, help and About. Each asks the user through the
// dialogs seam and reports refusals through the notifier.
class ChartCommands : public QObject {
    Q_OBJECT
public:
    ChartCommands(CLumivaneDoc& doc, CLumivaneView& view, Notifier& notifier, ShellDialogs& dialogs,
                  QObject* parent = nullptr);
    ~ChartCommands() override;

    // The printer that print, preview and printer set-up share for the whole run, so a paper
    // chosen in the set-up is the one printed.
    QPrinter& Printer();

    // Whether the folder import takes HEIF and raw files besides JPEG files.
    void SetScanAllKinds(bool on) { scanAllKinds = on; }
    bool ScanAllKinds() const { return scanAllKinds; }
    // Whether a raw file beside a JPEG of the same name is left out of an import (PairRawWithJpeg).
    void SetPairRawWithJpeg(bool on) { pairRawWithJpeg = on; }

    // The files and folders the desktop asked to open ("kestory --open", or a request handed to
    // this window), as one import in their order: a folder as the folder-tree command reads it, a
    // file as it is. Paths that do not exist are told in one message first. The number added.
    int OpenPaths(const QStringList& paths);
    // The folder browser as "フォルダを開く" shows it; empty when cancelled.
    QString ChooseFolder();
    // Files as they are (a watched folder's arrivals), with the usual progress and refusals; the
    // number added. Not listed in "最近使ったフォルダ".
    int ImportFiles(const QStringList& paths) { return importPaths(paths); }
    // A folder and every folder below it, with the scan's and the import's progress; the number
    // added, -1 when nothing was found or the user stopped the scan.
    int ImportFolderTree(const QString& folder);
    // "最近使ったフォルダ": the entry imported again as it was; a path that is gone is told and
    // false returned, for the caller to drop it from the list.
    bool OpenRecent(const RecentEntry& entry);

signals:
    // A file or folder the user imported, for "最近使ったフォルダ".
    void imported(const RecentEntry& entry);
    // An import ended (finished, refused or cancelled): what the thumbnail cache holds has changed.
    void importEnded();

public slots:
    void OnFileOpen();
    void OnFileOpenFolder();
    // "フォルダを開く（サブフォルダも含む）(&S)...": the chosen folder and every folder below it.
    void OnFileOpenFolderTree();
    void OnSaveShootingData();
    // "選択した写真の CSV 保存...": the selected photos' lines, in collection order, through the
    // same dialog and file writing as the whole set's; nothing without a selection.
    void OnSaveSelectedShootingData();
    // "SVG として保存...": the whole chart at the display settings, as an SVG file.
    void OnSaveChartSvg();
    void OnFilePrint();
    void OnFilePrintPreview();
    void OnFilePrintSetup();
    void OnEditCopy();
    void OnHelp();
    void OnAppAbout();

private:
    int importPaths(const QStringList& paths);
    int importScannedPaths(const std::vector<std::string>& paths, bool showProgressAtOnce);
    // The folder's own photos (no sub-folders); false when it holds none.
    bool importFolder(const QString& folder);
    FolderTreeScanResult scanTree(const QString& folder, std::vector<std::string>& found);
    QWidget* dialogParent() const;
    // Decodes the pictures an output needs before it draws (SharpenShownPictures), with a
    // progress dialog when that takes longer than half a second; false when the user stopped it.
    bool sharpenForOutput(const Rect* within = nullptr);

    CLumivaneDoc& doc;
    CLumivaneView& view;
    Notifier& notifier;
    ShellDialogs& dialogs;
    std::unique_ptr<QPrinter> printer;
    bool scanAllKinds = false;
    bool pairRawWithJpeg = true;
};
