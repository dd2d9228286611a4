#pragma once

#include <QObject>

#include <memory>
#include <string>
#include <vector>

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
    void importPaths(const QStringList& paths);
    void importScannedPaths(const std::vector<std::string>& paths, bool showProgressAtOnce);
    QWidget* dialogParent() const;

    CLumivaneDoc& doc;
    CLumivaneView& view;
    Notifier& notifier;
    ShellDialogs& dialogs;
    std::unique_ptr<QPrinter> printer;
    bool scanAllKinds = false;
};
