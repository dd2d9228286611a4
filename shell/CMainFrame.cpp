#include "shell/CMainFrame.h"

#include "chart/CLumivaneView.h"
#include "chart/ChartGeometry.h"
#include "chart/IsoSpeed.h"
#include "collection/CLumivaneDoc.h"
#include "collection/ImportTexts.h"
#include "collection/ThumbnailCache.h"
#include "inspect/CDlgBarPreView.h"
#include "inspect/ViewerList.h"
#include "shell/CDlgBarControl.h"
#include "shell/CDlgBarFilter.h"
#include "shell/CDlgBarStatistics.h"
#include "shell/CachePanel.h"
#include "shell/AppIcon.h"
#include "shell/ChartCommands.h"
#include "shell/FolderWatchSession.h"
#include "shell/LaunchRequest.h"
#include "shell/RecentMenu.h"
#include "dialog/DialogUnits.h"
#include "shell/ImportProgress.h"
#include "shell/SettingsFile.h"
#include "photo/ThumbnailStore.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace st = kestory::settings;

namespace {

std::vector<std::string> LocalFiles(const QMimeData* mime) {
    std::vector<std::string> paths;
    if (mime == nullptr || !mime->hasUrls()) {
        return paths;
    }
    const QList<QUrl> urls = mime->urls();
    for (const QUrl& url : urls) {
        if (url.isLocalFile()) {
            paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
        }
    }
    return paths;
}

// Nine tenths of the primary screen's free area: the largest first window.
QSize FirstWindowRoom() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry().size() * 9 / 10 : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

QDockWidget* MakeDock(const QString& caption, const QString& objectName, QWidget* panel, QWidget* parent) {
    auto* dock = new QDockWidget(caption, parent);
    dock->setObjectName(objectName);
    dock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                      QDockWidget::DockWidgetFloatable);
    dock->setWidget(panel);
    return dock;
}

}  // namespace

CMainFrame::CMainFrame(CLumivaneDoc& document, st::SettingsFile& file, Notifier& notifier, ShellDialogs& dialogs,
                       QWidget* parent)
    : QMainWindow(parent), doc(document), settings(file) {
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowIcon(kestory::AppIcon());
    const bool placed = restorePlacement();

    view = new CLumivaneView(doc, this);
    view->setObjectName(QStringLiteral("chartView"));
    setCentralWidget(view);
    commands = new ChartCommands(doc, *view, notifier, dialogs, this);
    viewers = new ViewerList(notifier, this);
    viewers->SetOwner(this);

    createActions();
    createCacheAction();
    createScanAllKindsAction();
    createWatchActions();
    createDockWindows();
    createFilterDock();
    createStatisticsDock(dialogs, notifier);
    createMenus();
    if (!placed && settings.ReadDockState().isEmpty()) {
        chooseFirstLayout();
    } else if (!placed) {
        resize(sizeHint().boundedTo(FirstWindowRoom()));
    }

    // Served by the event loop only after start-up has returned, when every window exists.
    QMetaObject::invokeMethod(this, &CMainFrame::ApplySavedSettings, Qt::QueuedConnection);
    readSettings();
}

CMainFrame::~CMainFrame() {
    // The docks outlive this part of the frame and report their hiding while they are torn down.
    for (QDockWidget* dock : {infoDock, controlDock, filterDock, statisticsDock}) {
        disconnect(dock, nullptr, this, nullptr);
    }
}

void CMainFrame::createActions() {
    const auto make = [this](Command id, const QString& text, const QString& name) {
        auto* action = new QAction(text, this);
        action->setObjectName(name);
        action->setData(static_cast<int>(id));
        actions.append(action);
        addAction(action);  // shortcuts work wherever the focus is in the window
        return action;
    };
    connect(make(kFileOpen, QStringLiteral("開く(&O)..."), QStringLiteral("actionFileOpen")), &QAction::triggered,
            commands, &ChartCommands::OnFileOpen);
    connect(make(kFileOpenFolder, QStringLiteral("フォルダを開く(&F)..."), QStringLiteral("actionFileOpenFolder")),
            &QAction::triggered, commands, &ChartCommands::OnFileOpenFolder);
    connect(make(kFileOpenFolderTree, QStringLiteral("フォルダを開く（サブフォルダも含む）(&S)..."),
                 QStringLiteral("actionFileOpenFolderTree")),
            &QAction::triggered, commands, &ChartCommands::OnFileOpenFolderTree);
    connect(make(kSaveShootingData, QStringLiteral("撮影データの保存（&S）..."), QStringLiteral("actionSaveShootingData")),
            &QAction::triggered, commands, &ChartCommands::OnSaveShootingData);

    QAction* print = make(kFilePrint, QStringLiteral("印刷...\tCtrl+P(&P)"), QStringLiteral("actionFilePrint"));
    print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(print, &QAction::triggered, commands, &ChartCommands::OnFilePrint);
    connect(make(kFilePrintPreview, QStringLiteral("印刷プレビュー(&V)"), QStringLiteral("actionFilePrintPreview")),
            &QAction::triggered, commands, &ChartCommands::OnFilePrintPreview);
    connect(make(kFilePrintSetup, QStringLiteral("プリンタの設定(&R)..."), QStringLiteral("actionFilePrintSetup")),
            &QAction::triggered, commands, &ChartCommands::OnFilePrintSetup);
    QAction* exit = make(kAppExit, QStringLiteral("Kestoryの終了(&X)"), QStringLiteral("actionAppExit"));
    exit->setMenuRole(QAction::NoRole);
    connect(exit, &QAction::triggered, this, &QWidget::close);  // the same close as the close box

    // Undo, cut and paste have no handler: shown disabled, their keys do nothing.
    make(kEditUndo, QStringLiteral("元に戻す\tCtrl+Z(&U)"), QStringLiteral("actionEditUndo"))->setEnabled(false);
    QAction* cut = make(kEditCut, QStringLiteral("切り取り\tCtrl+X(&T)"), QStringLiteral("actionEditCut"));
    cut->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    cut->setEnabled(false);
    QAction* copy = make(kEditCopy, QStringLiteral("コピー\tCtrl+C(&C)"), QStringLiteral("actionEditCopy"));
    copy->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    connect(copy, &QAction::triggered, commands, &ChartCommands::OnEditCopy);
    make(kEditPaste, QStringLiteral("貼り付け\tCtrl+V(&P)"), QStringLiteral("actionEditPaste"))->setEnabled(false);
    // Enabled while photos are selected on the chart.
    QAction* saveSelected = make(kSaveSelectedShootingData, QStringLiteral("選択した写真の CSV 保存..."),
                                 QStringLiteral("actionSaveSelectedShootingData"));
    saveSelected->setEnabled(false);
    connect(saveSelected, &QAction::triggered, commands, &ChartCommands::OnSaveSelectedShootingData);

    connect(make(kHelp, QStringLiteral("ヘルプの表示(&H)"), QStringLiteral("actionHelp")), &QAction::triggered,
            commands, &ChartCommands::OnHelp);
    QAction* about = make(kAppAbout, QStringLiteral("バージョン情報(&A)..."), QStringLiteral("actionAppAbout"));
    about->setMenuRole(QAction::NoRole);
    connect(about, &QAction::triggered, commands, &ChartCommands::OnAppAbout);
}

// A check item whose state lives in the settings file: read at start, written at each toggle.
void CMainFrame::createScanAllKindsAction() {
    createSettingAction(kScanAllKinds, kestory::texts::kScanAllKindsMenuText, st::kScanAllKinds,
                        &ChartCommands::SetScanAllKinds)
        ->setObjectName(QStringLiteral("actionScanAllKinds"));
    createSettingAction(kPairRawWithJpeg, kestory::texts::kPairRawMenuText, st::kPairRawWithJpeg,
                        &ChartCommands::SetPairRawWithJpeg);
}

QAction* CMainFrame::createSettingAction(int id, std::string_view text, const st::Key& key,
                                     void (ChartCommands::*apply)(bool)) {
    auto* action = new QAction(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), this);
    action->setData(id);
    action->setCheckable(true);
    action->setChecked(settings.ReadMainWndInt(key) != 0);
    (commands->*apply)(action->isChecked());
    connect(action, &QAction::toggled, this, [this, key, apply](bool on) {
        (commands->*apply)(on);
        settings.WriteMainWndInt(key, on ? 1 : 0);
    });
    actions.append(action);
    return action;
}

void CMainFrame::createDockWindows() {
    // The panels keep their templates' fixed sizes and object names ("infoPanel", "controlPanel").
    infoPanel = new CDlgBarPreView(*view, *viewers);
    controlPanel = new CDlgBarControl(*view);
    connect(view, &CLumivaneView::photoClicked, infoPanel, &CDlgBarPreView::ShowPhoto);
    // Tabbed with the settings panel, the information panel comes to the front to show the photo.
    connect(view, &CLumivaneView::photoClicked, this, [this] {
        if (!tabifiedDockWidgets(infoDock).isEmpty()) {
            infoDock->raise();
        }
    });
    connect(view, &CLumivaneView::viewerRequested, viewers, &ViewerList::OpenViewer);
    connect(view, &CLumivaneView::magnifyChanged, controlPanel, &CDlgBarControl::SetMagnify);
    CachePanel* cachePart = controlPanel->CachePart();
    connect(commands, &ChartCommands::importEnded, cachePart, &CachePanel::Refresh);
    // Kept when typed, like the cache's menu item.
    connect(cachePart, &CachePanel::limitChanged, this,
            [this](int mib) { settings.WriteMainWndInt(st::kCacheLimitMiB, mib); });
    connect(controlPanel, &CDlgBarControl::useEmbeddedChanged, this,
            [this](bool on) { settings.WriteMainWndInt(st::kUseEmbedded, on ? 1 : 0); });
    connect(view, &CLumivaneView::closing, viewers, &ViewerList::Clear);
    connect(view, &CLumivaneView::selectionChanged, infoPanel, &CDlgBarPreView::ShowSelection);
    connect(view, &CLumivaneView::selectionChanged, this, &CMainFrame::updateSelectionCommands);

    infoDock = MakeDock(QStringLiteral("画像情報表示パネル"), QStringLiteral("infoPanelDock"), infoPanel, this);
    controlDock = MakeDock(QStringLiteral("表示設定パネル"), QStringLiteral("controlPanelDock"), controlPanel, this);
    infoDock->toggleViewAction()->setData(static_cast<int>(kViewInfoPanel));
    controlDock->toggleViewAction()->setData(static_cast<int>(kViewControlPanel));
    actions.append(infoDock->toggleViewAction());
    actions.append(controlDock->toggleViewAction());

    // With no saved state both sit at the right edge, each in a column of its own: the information
    // panel beside the chart, the settings panel at the window's edge. Stacked in one column the
    // two fixed heights would not fit a 768-pixel screen.
    addDockWidget(Qt::RightDockWidgetArea, infoDock);
    splitDockWidget(infoDock, controlDock, Qt::Horizontal);

    for (QDockWidget* dock : {infoDock, controlDock}) {
        connect(dock, &QDockWidget::topLevelChanged, this, &CMainFrame::recalcLayout);
        connect(dock, &QDockWidget::dockLocationChanged, this, &CMainFrame::recalcLayout);
        connect(dock, &QDockWidget::visibilityChanged, this, &CMainFrame::recalcLayout);
    }
}

void CMainFrame::createFilterDock() {
    filterPanel = new CDlgBarFilter(*view);
    filterDock = MakeDock(QStringLiteral("絞り込みパネル"), QStringLiteral("filterPanelDock"), filterPanel, this);
    filterDock->toggleViewAction()->setData(static_cast<int>(kViewFilterPanel));
    actions.append(filterDock->toggleViewAction());
    splitDockWidget(controlDock, filterDock, Qt::Vertical);
    // A saved docking state without this panel (an older file) leaves it hidden too.
    filterDock->hide();
    connect(filterDock, &QDockWidget::topLevelChanged, this, &CMainFrame::recalcLayout);
    connect(filterDock, &QDockWidget::dockLocationChanged, this, &CMainFrame::recalcLayout);
    connect(filterDock, &QDockWidget::visibilityChanged, this, &CMainFrame::recalcLayout);
}

void CMainFrame::createStatisticsDock(ShellDialogs& dialogs, Notifier& notifier) {
    statisticsPanel = new CDlgBarStatistics(*view, dialogs, notifier);
    statisticsDock = MakeDock(QStringLiteral("統計パネル"), QStringLiteral("statisticsPanelDock"), statisticsPanel, this);
    statisticsDock->toggleViewAction()->setData(static_cast<int>(kViewStatisticsPanel));
    actions.append(statisticsDock->toggleViewAction());
    splitDockWidget(filterDock, statisticsDock, Qt::Vertical);
    statisticsDock->hide();
    connect(statisticsDock, &QDockWidget::visibilityChanged, this, &CMainFrame::recalcLayout);
    auto* svg = new QAction(QStringLiteral("SVG として保存..."), this);
    svg->setObjectName(QStringLiteral("actionSaveChartSvg"));
    svg->setData(static_cast<int>(kSaveChartSvg));
    actions.append(svg);
    connect(svg, &QAction::triggered, commands, &ChartCommands::OnSaveChartSvg);
}

void CMainFrame::createMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    file->addAction(Action(kFileOpen));
    file->addAction(Action(kFileOpenFolder));
    file->addAction(Action(kFileOpenFolderTree));
    file->addAction(Action(kScanAllKinds));
    file->addAction(Action(kPairRawWithJpeg));
    recentMenu = new RecentMenu(settings, file);
    file->addMenu(recentMenu);
    connect(commands, &ChartCommands::imported, recentMenu, &RecentMenu::Add);
    connect(recentMenu, &RecentMenu::chosen, this, [this](const RecentEntry& entry) {
        if (!commands->OpenRecent(entry)) {
            recentMenu->Remove(entry.path);
        }
    });
    file->addSeparator();
    file->addAction(Action(kFileWatchFolder));
    file->addAction(Action(kFileStopWatching));
    file->addSeparator();
    file->addAction(Action(kSaveShootingData));
    file->addAction(Action(kSaveChartSvg));
    file->addSeparator();
    file->addAction(Action(kFilePrint));
    file->addAction(Action(kFilePrintPreview));
    file->addAction(Action(kFilePrintSetup));
    file->addSeparator();
    file->addAction(Action(kCacheThumbnails));
    file->addSeparator();
    file->addAction(Action(kAppExit));

    QMenu* edit = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    edit->addAction(Action(kEditUndo));
    edit->addSeparator();
    edit->addAction(Action(kEditCut));
    edit->addAction(Action(kEditCopy));
    edit->addAction(Action(kEditPaste));
    edit->addSeparator();
    edit->addAction(Action(kSaveSelectedShootingData));
    // The selection also ends without the chart (a deletion from a panel): checked as the menu opens.
    connect(edit, &QMenu::aboutToShow, this, &CMainFrame::updateSelectionCommands);

    QMenu* show = menuBar()->addMenu(QStringLiteral("表示(&V)"));
    show->addAction(Action(kViewInfoPanel));
    show->addAction(Action(kViewControlPanel));
    show->addAction(Action(kViewFilterPanel));
    show->addAction(Action(kViewStatisticsPanel));

    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->addAction(Action(kHelp));
    help->addAction(Action(kAppAbout));
}

void CMainFrame::createWatchActions() {
    watchSession = new FolderWatchSession(doc, *commands, this);
    auto make = [this](Command id, const QString& text, const QString& name) {
        auto* action = new QAction(text, this);
        action->setObjectName(name);
        action->setData(static_cast<int>(id));
        actions.append(action);
        return action;
    };
    QAction* watch = make(kFileWatchFolder, QStringLiteral("フォルダを監視..."), QStringLiteral("actionFileWatchFolder"));
    QAction* stop = make(kFileStopWatching, QStringLiteral("監視を終了"), QStringLiteral("actionFileStopWatching"));
    stop->setEnabled(false);
    connect(watch, &QAction::triggered, this, [this] {
        const QString folder = commands->ChooseFolder();
        if (!folder.isEmpty()) {
            startWatching(folder);
        }
    });
    connect(stop, &QAction::triggered, watchSession, &FolderWatchSession::Stop);
    connect(watchSession, &FolderWatchSession::statusChanged, this, [this, stop](const QString& text) {
        stop->setEnabled(!text.isEmpty());
        showWatchStatus(text);
    });
    connect(watchSession, &FolderWatchSession::photoArrived, this, [this](PhotoItem* newest) {
        infoPanel->ShowPhoto(newest);
    });
}

void CMainFrame::startWatching(const QString& folder) {
    watchSession->Start(folder);
    recentMenu->Add({folder, true});
}

void CMainFrame::showWatchStatus(const QString& text) {
    if (watchStatus == nullptr) {
        if (text.isEmpty()) {
            return;
        }
        watchStatus = new QLabel(this);
        watchStatus->setObjectName(QStringLiteral("watchStatus"));
        statusBar()->addWidget(watchStatus, 1);
    }
    watchStatus->setText(text);
    statusBar()->setVisible(!text.isEmpty());
}

void CMainFrame::HandleLaunchRequest(const LaunchRequest& request) {
    if (ImportUnderWay()) {
        // One import at a time: this one follows when the running one has ended.
        QTimer::singleShot(300, this, [this, request] { HandleLaunchRequest(request); });
        return;
    }
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
    if (!request.openPaths.isEmpty()) {
        commands->OpenPaths(request.openPaths);
    }
    if (!request.watchFolder.isEmpty()) {
        startWatching(request.watchFolder);
    }
}

void CMainFrame::createCacheAction() {
    auto* action = new QAction(QStringLiteral("サムネイルをキャッシュする"), this);
    action->setObjectName(QStringLiteral("actionCacheThumbnails"));
    action->setData(static_cast<int>(kCacheThumbnails));
    action->setCheckable(true);
    action->setChecked(settings.ReadMainWndInt(st::kCacheThumbnails) != 0);
    actions.append(action);
    connect(action, &QAction::toggled, this, [this](bool on) {
        // Kept when chosen: nothing about it waits for the window to close.
        settings.WriteMainWndInt(st::kCacheThumbnails, on ? 1 : 0);
        applyThumbnailCache();
    });
}

void CMainFrame::SetThumbnailCache(ThumbnailCache* cache) {
    thumbnailCache = cache;
    applyThumbnailCache();
    controlPanel->CachePart()->SetCache(cache);
}

void CMainFrame::applyThumbnailCache() {
    const QAction* item = Action(kCacheThumbnails);
    doc.SetThumbnailStore(item != nullptr && item->isChecked() ? thumbnailCache : nullptr);
}

QAction* CMainFrame::Action(Command id) const {
    const auto it = std::find_if(actions.cbegin(), actions.cend(),
                                 [id](const QAction* action) { return action->data().toInt() == id; });
    return it == actions.cend() ? nullptr : *it;
}

bool CMainFrame::restorePlacement() {
    QList<QRect> screens;
    const QList<QScreen*> all = QGuiApplication::screens();
    for (const QScreen* screen : all) {
        screens.append(screen->availableGeometry());
    }
    if (const std::optional<QRect> saved = st::RestoredRectangle(settings.ReadPlacement(), screens)) {
        setGeometry(*saved);
        return true;
    }
    return false;
}

void CMainFrame::chooseFirstLayout() {
    // The system places the window; its size shows the chart beside the panels as their columns
    // and the menu bar ask, within nine tenths of the screen.
    const QSize room = FirstWindowRoom();
    if (sizeHint().width() > room.width()) {
        tabifyDockWidget(infoDock, controlDock);
        infoDock->raise();
    }
    const QSize hint = sizeHint();
    // What the window leaves the chart's view: the panels' columns beside it, the menu bar above.
    const QSize chrome(hint.width() - view->sizeHint().width(), menuBar()->sizeHint().height());
    const QSize viewRoom = room - chrome;
    const int frame = 2 * view->frameWidth();
    for (firstMagnify = st::kMagnify.defaultValue; firstMagnify > CDlgBarControl::kMagnifyMin;
         firstMagnify -= CDlgBarControl::kMagnifyLineStep) {
        const ChartScrollSizes sizes = ScrollSizesFor(firstMagnify);
        if (sizes.total.width + frame <= viewRoom.width() && sizes.total.height + frame <= viewRoom.height()) {
            break;
        }
    }
    resize(hint.boundedTo(room));
}

void CMainFrame::readSettings() {
    const QByteArray state = settings.ReadDockState();
    if (!state.isEmpty()) {
        restoreState(state);
    }
}

void CMainFrame::writeSettings() {
    QRect normal = normalGeometry();
    if (!normal.isValid()) {
        normal = geometry();
    }
    st::WindowPlacement placement;
    placement.left = normal.left();
    placement.top = normal.top();
    placement.width = normal.width();
    placement.height = normal.height();
    placement.state = isMinimized() ? st::kShowMinimized : isMaximized() ? st::kShowMaximized : st::kShowNormal;
    // A failed write is not the user's concern at close; the next start reads what the file holds.
    settings.WriteAll(placement, doc.settings, saveState());
}

void CMainFrame::ShowWithSavedState() {
    switch (st::NormaliseShowState(settings.ReadMainWndInt(st::kState))) {
    case st::kShowMinimized:
        showMinimized();
        break;
    case st::kShowMaximized:
        showMaximized();
        break;
    default:
        show();
        break;
    }
}

void CMainFrame::ApplySavedSettings() {
    settings.ReadDisplaySettings(doc.settings);
    doc.settings.useEmbedded = settings.ReadMainWndInt(st::kUseEmbedded) != 0;
    doc.Pictures().SetBound(settings.ReadPictureCacheBytes());
    if (!settings.HasMainWndKey(st::kMagnify)) {
        doc.settings.magnify = firstMagnify;
    }
    ApplyIsoIndex(doc.settings, doc.settings.isoIndex);
    // Shows the loaded settings, lays the chart out, sizes its scroll range and repaints it.
    controlPanel->InitControls();
    controlPanel->SetInfoPanel(infoPanel);
}

void CMainFrame::updateSelectionCommands() {
    Action(kSaveSelectedShootingData)->setEnabled(doc.SelectedCount() > 0);
}

void CMainFrame::recalcLayout() {
    if (view != nullptr) {
        view->UpdateScrollSizes();
    }
}

bool CMainFrame::event(QEvent* e) {
    const bool handled = QMainWindow::event(e);
    // The frame has just positioned its panels and the chart: the scroll size follows the new
    // viewport.
    if (e->type() == QEvent::LayoutRequest) {
        recalcLayout();
    }
    return handled;
}

void CMainFrame::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    recalcLayout();
}

void CMainFrame::CloseForSystem() {
    StopImportsUnderWay();
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
    }
    // Dismissed dialogs and stopped imports return through their callers first.
    if (ImportUnderWay() || QApplication::activeModalWidget() != nullptr) {
        QTimer::singleShot(10, this, &CMainFrame::CloseForSystem);
        return;
    }
    close();
    QCoreApplication::quit();
}

void CMainFrame::SaveForSession() {
    writeSettings();
    if (thumbnailCache != nullptr) {
        thumbnailCache->Flush();
    }
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    writeSettings();
    // The information panel's selection names a record about to go.
    infoPanel->ClearPhoto();
    viewers->Clear();
    doc.RemoveAllPhotos();
    view->LayoutPhotos();
    e->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* e) {
    if (!LocalFiles(e->mimeData()).empty()) {
        e->acceptProposedAction();
    }
}

void CMainFrame::dropEvent(QDropEvent* e) {
    const std::vector<std::string> paths = LocalFiles(e->mimeData());
    if (paths.empty()) {
        return;
    }
    e->acceptProposedAction();
    // Once for the whole drop, whatever was added.
    ImportProgressOptions options;
    options.imported = [this] {
        view->LayoutPhotos();
        view->InvalidateChart();
    };
    ImportWithProgress(doc, paths, this, options);
}
