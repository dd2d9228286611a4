#pragma once

#include <QMainWindow>

#include <string_view>

struct LaunchRequest;
class CDlgBarControl;
class FolderWatchSession;
class QLabel;
class RecentMenu;
class CDlgBarFilter;
class CDlgBarPreView;
class CDlgBarStatistics;
class ChartCommands;
class CLumivaneDoc;
class CLumivaneView;
class Notifier;
class QAction;
class QDockWidget;
class QMenu;
class ShellDialogs;
class ThumbnailCache;
class ViewerList;

namespace kestory::settings {
class SettingsFile;
struct Key;
}

// The one top-level window: the chart view in the middle, the image-information and
// display-settings panels docked at the left or right edge or floating, the menu bar; no toolbar,
// and a status line only while a folder is watched or it has a message (QtNotifier). It restores its placement and the panels' docking state, loads the display
// settings once the event loop runs, takes dropped files, and writes everything back at close.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // Command ids of the menu items, carried by the actions' data.
    enum Command : int {
        kFileOpen = 32776,
        kFileOpenFolder = 32771,
        kFileOpenFolderTree = 32780,
        kSaveShootingData = 32772,
        kFilePrint = 57607,
        kFilePrintPreview = 57609,
        kFilePrintSetup = 57606,
        kAppExit = 57665,
        kEditUndo = 57643,
        kEditCut = 57635,
        kEditCopy = 57634,
        kEditPaste = 57637,
        kViewInfoPanel = 32773,
        kViewControlPanel = 32779,
        kViewFilterPanel = 32801,
        kHelp = 32778,
        kAppAbout = 57664,
        kSaveSelectedShootingData = 32781,
        kCacheThumbnails = 32790,
        kScanAllKinds = 32782,
        kFileWatchFolder = 32802,
        kFileStopWatching = 32803,
        kPairRawWithJpeg = 32783,
        kViewStatisticsPanel = 32804,
        kSaveChartSvg = 32805,
    };

    CMainFrame(CLumivaneDoc& doc, kestory::settings::SettingsFile& settings, Notifier& notifier,
               ShellDialogs& dialogs, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CLumivaneView& View() const { return *view; }
    ChartCommands& Commands() const { return *commands; }
    QDockWidget* InfoDock() const { return infoDock; }
    QDockWidget* ControlDock() const { return controlDock; }
    CDlgBarPreView& InfoPanel() const { return *infoPanel; }
    CDlgBarControl& ControlPanel() const { return *controlPanel; }
    QDockWidget* FilterDock() const { return filterDock; }
    CDlgBarFilter& FilterPanel() const { return *filterPanel; }
    QDockWidget* StatisticsDock() const { return statisticsDock; }
    CDlgBarStatistics& StatisticsPanel() const { return *statisticsPanel; }
    ViewerList& Viewers() const { return *viewers; }
    // The menu action of a command id, or null.
    QAction* Action(Command id) const;

    FolderWatchSession& WatchSession() const { return *watchSession; }
    RecentMenu& Recent() const { return *recentMenu; }

    // What "kestory --open" or "--watch" asked, of this process or handed over from another: the
    // window comes to the front, then the paths are imported and the folder watched.
    void HandleLaunchRequest(const LaunchRequest& request);

    // Shows the window with the saved show state: minimised, maximised, or normally.
    void ShowWithSavedState();

    // The thumbnail cache the imports use while "サムネイルをキャッシュする" is checked (as the
    // settings file has it, on by default), shown and bounded in the settings panel's cache part.
    // Null: none; the item then only records the choice.
    void SetThumbnailCache(ThumbnailCache* cache);

    // Ends the window as "Kestoryの終了" does, for the system (a termination signal): the imports
    // under way are stopped and open dialogs dismissed first, so that the close, and the settings
    // it writes, run from the window's own event loop.
    void CloseForSystem();
    // What a log-out must not lose, written now, since the session may end the process without a
    // close: the settings and docking, and the thumbnail cache's held-back entries.
    void SaveForSession();

public slots:
    // The deferred settings step, run once after the event loop has started: the display settings
    // from the file into the document, the EV lines numbered for the ISO index, both panels set
    // up, the chart laid out and repainted.
    void ApplySavedSettings();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createActions();
    void createScanAllKindsAction();
    QAction* createSettingAction(int id, std::string_view text, const kestory::settings::Key& key,
                             void (ChartCommands::*apply)(bool));
    void createMenus();
    void createDockWindows();
    // The filter panel: docked below the settings panel, hidden until the 表示 menu shows it.
    void createFilterDock();
    // The statistics panel: docked below the filter panel, hidden until the 表示 menu shows it.
    void createStatisticsDock(ShellDialogs& dialogs, Notifier& notifier);
    // False when there is no saved rectangle to use.
    bool restorePlacement();
    // With no saved placement and docking: the window sized to show the whole chart beside the
    // panels within nine tenths of the screen; the panels tabbed in one column when side by side
    // they leave the chart too little room, and the first magnification the largest step that
    // shows the whole chart when even that is not enough.
    void chooseFirstLayout();
    void readSettings();
    void writeSettings();
    void recalcLayout();
    void updateSelectionCommands();
    void createCacheAction();
    void createWatchActions();
    void showWatchStatus(const QString& text);
    void startWatching(const QString& folder);
    void applyThumbnailCache();

    CLumivaneDoc& doc;
    kestory::settings::SettingsFile& settings;
    CLumivaneView* view = nullptr;
    ChartCommands* commands = nullptr;
    QDockWidget* infoDock = nullptr;
    QDockWidget* controlDock = nullptr;
    ViewerList* viewers = nullptr;  // the pop-up viewers, owned by this window
    CDlgBarPreView* infoPanel = nullptr;
    CDlgBarControl* controlPanel = nullptr;
    QDockWidget* filterDock = nullptr;
    CDlgBarFilter* filterPanel = nullptr;
    QDockWidget* statisticsDock = nullptr;
    CDlgBarStatistics* statisticsPanel = nullptr;
    QList<QAction*> actions;
    ThumbnailCache* thumbnailCache = nullptr;
    FolderWatchSession* watchSession = nullptr;
    RecentMenu* recentMenu = nullptr;
    QLabel* watchStatus = nullptr;  // in the status line, shown only while a folder is watched
    // The magnification of a first start without a saved one (percent).
    int firstMagnify = 100;
};
