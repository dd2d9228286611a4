#include "ShellFakes.h"

#include "chart/CLumivaneView.h"
#include "chart/IsoSpeed.h"
#include "collection/CLumivaneDoc.h"
#include "inspect/CDlgBarPreView.h"
#include "inspect/ViewerList.h"
#include "shell/CDlgBarControl.h"
#include "shell/CachePanel.h"
#include "shell/ChartCommands.h"
#include "shell/CMainFrame.h"
#include "dialog/DialogUnits.h"
#include "shell/SettingsFile.h"
#include "tests/support/JpegBuilder.h"

#include <QAction>
#include <QDir>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QTimer>
#include <QWheelEvent>

#include <csignal>

namespace st = kestory::settings;
using kestory::test::CameraLikeJpeg;
using kestory::test::JpegBuilder;

namespace {

// Up and through the deferred settings step.
bool Start(ProgramRun& run) {
    if (!run.app->InitInstance({QStringLiteral("kestory")})) {
        return false;
    }
    CMainFrame* frame = run.app->MainFrame();
    return QTest::qWaitForWindowExposed(frame) || frame->isMinimized();
}

QVariant Stored(const QString& path, const QString& key) {
    return QSettings(path, QSettings::IniFormat).value(key);
}

void WriteSettings(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartWithoutSettingsFile();
    void firstLayoutShowsTheWholeChart();
    void deferredStepRunsAfterStartUp();
    void closeWhileMaximisedWritesTheRestoredRectangle();
    void closeWithoutChangesWritesTheNineKeys();
    void hiddenAndFloatingPanelsComeBack();
    void outOfRangeValuesAreClamped();
    void rectangleOnNoScreenIsReplaced();
    void hugeSavedWindowIsCutToTheScreen();
    void unwritableProgramFolderUsesTheUsersFolder();
    void installedProgramsFolderIsNeverWritten();
    void menuTextsAndStates_data();
    void menuTextsAndStates();
    void menuOrder();
    void viewMenuChecksFollowThePanels();
    void layoutChangesRefreshTheScrollSize();
    void dropAddsGoodFilesAndNamesBadOnes();
    void exitClosesLikeTheCloseBox_data();
    void exitClosesLikeTheCloseBox();
    void panelsAreDockedAndWiredToTheChart();
    void cacheItemSwitchesTheImportsCacheAndIsKept();
    void filterPanelComesBackShownButUnfiltered();
};

void MainFrameTest::firstStartWithoutSettingsFile() {
    QTemporaryDir program;
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    CMainFrame* frame = run.app->MainFrame();
    QCOMPARE(run.app->SettingsPath(), program.path() + QStringLiteral("/Kestory.dat"));
    QCOMPARE(frame->windowTitle(), QStringLiteral("Kestory"));
    QVERIFY(!frame->windowIcon().isNull());
    QVERIFY(frame->acceptDrops());
    QVERIFY(!frame->isMaximized() && !frame->isMinimized());

    for (QDockWidget* dock : {frame->InfoDock(), frame->ControlDock()}) {
        QVERIFY(dock->isVisible());
        QVERIFY(!dock->isFloating());
        QCOMPARE(frame->dockWidgetArea(dock), Qt::RightDockWidgetArea);
        QCOMPARE(dock->allowedAreas(), Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
        QVERIFY(!dock->objectName().isEmpty());
    }
    QVERIFY(!frame->FilterDock()->isVisible());
    QCOMPARE(frame->InfoDock()->windowTitle(), QStringLiteral("画像情報表示パネル"));
    QCOMPARE(frame->ControlDock()->windowTitle(), QStringLiteral("表示設定パネル"));
    QCOMPARE(frame->InfoDock()->widget()->size(), QSize(237, 570));
    QCOMPARE(frame->ControlDock()->widget()->size(), QSize(237, 165 + kestory::DluY(12 + 48))); // with the pictures row and the cache part
    // The whole chart at 100 % beside both panels, without scrolling (CTest gives this program a
    // screen of 1600 x 1000).
    QVERIFY(frame->screen()->availableSize().width() >= 1600);
    const CLumivaneView& view = frame->View();
    QTRY_VERIFY(view.viewport()->width() >= 750 && view.viewport()->height() >= 520);
    QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
    QCOMPARE(view.verticalScrollBar()->maximum(), 0);

    const DisplaySettings& settings = run.app->Document().settings;
    QCOMPARE(settings.magnify, 100);
    QCOMPARE(settings.sizePict, 40);
    QCOMPARE(settings.viewType, 0);
    QCOMPARE(settings.isoIndex, 1);
    QTRY_COMPARE(QString::fromStdString(run.app->Document().settings.evCaption),
                 QString::fromStdString(EvCaptionFor(1)));
    QVERIFY2(!QFile::exists(run.app->SettingsPath()), "start-up never creates the settings file");
}

// Run on three screens (see CMakeLists): 1600 x 1000, 1366 x 768, and 2560 x 1600 at 200 %.
void MainFrameTest::firstLayoutShowsTheWholeChart() {
    QTemporaryDir program;
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    CMainFrame* frame = run.app->MainFrame();
    const CLumivaneView& view = frame->View();
    const int screenWidth = frame->screen()->availableSize().width();
    // Side by side the two columns fit only the large screen; 100 % fits all three.
    QCOMPARE(frame->tabifiedDockWidgets(frame->InfoDock()).size(), screenWidth < 1500 ? 1 : 0);
    QTRY_COMPARE(run.app->Document().settings.magnify, 100);
    QTRY_VERIFY(view.viewport()->width() >= 750 && view.viewport()->height() >= 520);
    QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
    QCOMPARE(view.verticalScrollBar()->maximum(), 0);
    QVERIFY(frame->width() <= screenWidth);
    QVERIFY(frame->close());

    // As saved: the tabs stay tabs or columns stay columns on the next start.
    ProgramRun again(program.path());
    QVERIFY(Start(again));
    QCOMPARE(again.app->MainFrame()->tabifiedDockWidgets(again.app->MainFrame()->InfoDock()).size(),
             screenWidth < 1500 ? 1 : 0);
    QTRY_COMPARE(again.app->Document().settings.magnify, 100);
}

void MainFrameTest::deferredStepRunsAfterStartUp() {
    QTemporaryDir program;
    WriteSettings(st::BuildSettingsPath(program.path()),
                  "[MainWnd]\nMagnify=200\nIsoIndex=3\nViewType=2\nMarkColor=2\n");
    ProgramRun run(program.path());
    QVERIFY(run.app->InitInstance({QStringLiteral("kestory")}));
    // Not yet: start-up has only posted the step.
    QCOMPARE(run.app->Document().settings.magnify, 100);
    QTRY_COMPARE(run.app->Document().settings.magnify, 200);
    QCOMPARE(run.app->Document().settings.isoIndex, 3);
    QCOMPARE(run.app->Document().settings.evCaption, EvCaptionFor(3));
    // The density view and the marks' colour come back as they were left, the colour list waiting
    // for mark view.
    const CDlgBarControl& panel = run.app->MainFrame()->ControlPanel();
    QVERIFY(panel.DensityButton()->isChecked());
    QCOMPARE(panel.MarkColourList()->currentIndex(), 2);
    QVERIFY(!panel.MarkColourList()->isEnabled());
    QCOMPARE(run.app->Document().settings.markColour, 2);
}

void MainFrameTest::closeWhileMaximisedWritesTheRestoredRectangle() {
    QTemporaryDir program;
    const QString path = st::BuildSettingsPath(program.path());
    {
        WriteSettings(path, "[MainWnd]\nleft=40\ntop=30\nwidth=900\nheight=700\n");
        ProgramRun run(program.path());
        QVERIFY(Start(run));
        CMainFrame* frame = run.app->MainFrame();
        QCOMPARE(frame->geometry(), QRect(40, 30, 900, 700));
        frame->showMaximized();
        QTRY_VERIFY(frame->isMaximized());
        QVERIFY(frame->close());
    }
    QCOMPARE(Stored(path, QStringLiteral("MainWnd/left")).toInt(), 40);
    QCOMPARE(Stored(path, QStringLiteral("MainWnd/top")).toInt(), 30);
    QCOMPARE(Stored(path, QStringLiteral("MainWnd/width")).toInt(), 900);
    QCOMPARE(Stored(path, QStringLiteral("MainWnd/height")).toInt(), 700);
    QCOMPARE(Stored(path, QStringLiteral("MainWnd/state")).toInt(), 3);

    ProgramRun again(program.path());
    QVERIFY(Start(again));
    CMainFrame* frame = again.app->MainFrame();
    QTRY_VERIFY(frame->isMaximized());
    QCOMPARE(frame->normalGeometry(), QRect(40, 30, 900, 700));
}

void MainFrameTest::closeWithoutChangesWritesTheNineKeys() {
    QTemporaryDir program;
    const QString path = st::BuildSettingsPath(program.path());
    {
        ProgramRun run(program.path());
        QVERIFY(Start(run));
        QTRY_VERIFY(!run.app->Document().settings.evCaption.empty());
        run.app->Document().settings.magnify = 250;
        QVERIFY(run.app->MainFrame()->close());
    }
    QSettings file(path, QSettings::IniFormat);
    file.beginGroup(QStringLiteral("MainWnd"));
    QStringList keys = file.childKeys();
    keys.sort();
    QCOMPARE(keys, (QStringList{"IsoIndex", "Magnify", "MarkColor", "SizePict", "ViewType", "height", "left", "state",
                                "top", "width"}));
    QCOMPARE(file.value(QStringLiteral("Magnify")).toInt(), 250);
    QCOMPARE(file.value(QStringLiteral("state")).toInt(), 1);
    file.endGroup();
    const QStringList groups = file.childGroups();
    QVERIFY(std::any_of(groups.begin(), groups.end(), [](const QString& g) { return g.startsWith("ControlBar"); }));
}

void MainFrameTest::hiddenAndFloatingPanelsComeBack() {
    QTemporaryDir program;
    QPoint floatedAt;
    {
        ProgramRun run(program.path());
        QVERIFY(Start(run));
        CMainFrame* frame = run.app->MainFrame();
        frame->Action(CMainFrame::kViewInfoPanel)->trigger();
        QVERIFY(!frame->InfoDock()->isVisible());
        frame->ControlDock()->setFloating(true);
        frame->ControlDock()->move(300, 200);
        QTRY_VERIFY(frame->ControlDock()->isFloating());
        floatedAt = frame->ControlDock()->pos();
        QVERIFY(frame->close());
    }
    ProgramRun again(program.path());
    QVERIFY(Start(again));
    CMainFrame* frame = again.app->MainFrame();
    QVERIFY(!frame->InfoDock()->isVisible());
    QVERIFY(!frame->Action(CMainFrame::kViewInfoPanel)->isChecked());
    QVERIFY(frame->ControlDock()->isFloating());
    QVERIFY(frame->ControlDock()->isVisible());
    QCOMPARE(frame->ControlDock()->pos(), floatedAt);
    QCOMPARE(frame->ControlDock()->windowTitle(), QStringLiteral("表示設定パネル"));
}

void MainFrameTest::outOfRangeValuesAreClamped() {
    QTemporaryDir program;
    WriteSettings(st::BuildSettingsPath(program.path()),
                  "[MainWnd]\nstate=9\nMagnify=1000\nSizePict=5\nViewType=7\nIsoIndex=-3\n");
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    const DisplaySettings& settings = run.app->Document().settings;
    QTRY_COMPARE(settings.magnify, 400);
    QCOMPARE(settings.sizePict, 10);
    QCOMPARE(settings.viewType, 0);
    QCOMPARE(settings.isoIndex, 0);
    QCOMPARE(settings.evCaption, EvCaptionFor(0));
    CMainFrame* frame = run.app->MainFrame();
    QVERIFY(frame->isVisible() && !frame->isMinimized() && !frame->isMaximized());
}

void MainFrameTest::rectangleOnNoScreenIsReplaced() {
    QTemporaryDir program;
    WriteSettings(st::BuildSettingsPath(program.path()), "[MainWnd]\nleft=9000\ntop=7000\nwidth=640\nheight=480\n");
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    CMainFrame* frame = run.app->MainFrame();
    const QRect screen = frame->screen()->availableGeometry();
    QVERIFY2(screen.intersects(frame->geometry()), "the window is reachable");
    QVERIFY(frame->geometry().topLeft() != QPoint(9000, 7000));
}

void MainFrameTest::hugeSavedWindowIsCutToTheScreen() {
    QTemporaryDir program;
    const QString path = st::BuildSettingsPath(program.path());
    WriteSettings(path, "[MainWnd]\nleft=10\ntop=20\nwidth=100000\nheight=100000\n");
    {
        ProgramRun run(program.path());
        QVERIFY(Start(run));
        CMainFrame* frame = run.app->MainFrame();
        const QRect screen = frame->screen()->availableGeometry();
        QCOMPARE(frame->geometry(), QRect(QPoint(10, 20), screen.size()));
        QVERIFY(frame->close());
    }
    QCOMPARE(Stored(path, QStringLiteral("MainWnd/width")).toInt(), QGuiApplication::primaryScreen()->availableSize().width());
}

void MainFrameTest::unwritableProgramFolderUsesTheUsersFolder() {
    QTemporaryDir program;
    QTemporaryDir user;
    const QString userFolder = user.path() + QStringLiteral("/Kestory");
    {
        ProgramRun run(program.path(), userFolder, [](const QString&) { return false; });
        QVERIFY(Start(run));
        QCOMPARE(run.app->SettingsPath(), userFolder + QStringLiteral("/Kestory.dat"));
        QTRY_VERIFY(!run.app->Document().settings.evCaption.empty());
        run.app->Document().settings.magnify = 250;
        run.app->MainFrame()->close();
    }
    QVERIFY(QFile::exists(userFolder + QStringLiteral("/Kestory.dat")));
    QVERIFY(!QFile::exists(st::BuildSettingsPath(program.path())));

    // A file put beside the program later cannot take the user's settings: that folder still
    // takes no new file, so what was written for the user is read first.
    WriteSettings(st::BuildSettingsPath(program.path()), "[MainWnd]\nMagnify=300\n");
    ProgramRun again(program.path(), userFolder, [](const QString&) { return false; });
    QVERIFY(Start(again));
    QCOMPARE(again.app->SettingsPath(), userFolder + QStringLiteral("/Kestory.dat"));
    QTRY_COMPARE(again.app->Document().settings.magnify, 250);

    // Once the folder takes new files again, the file beside the program wins.
    ProgramRun writable(program.path(), userFolder);
    QVERIFY(Start(writable));
    QCOMPARE(writable.app->SettingsPath(), st::BuildSettingsPath(program.path()));
    QTRY_COMPARE(writable.app->Document().settings.magnify, 300);
}

// As /usr/bin for root: the folder takes new files, yet it is where the program is installed.
void MainFrameTest::installedProgramsFolderIsNeverWritten() {
    QTemporaryDir bin;
    QTemporaryDir user;
    const QString beside = st::BuildSettingsPath(bin.path());
    const QString own = user.path() + QStringLiteral("/Kestory/Kestory.dat");
    const QByteArray before("[MainWnd]\nMagnify=300\n[Other]\nkept=1\n");
    WriteSettings(beside, before);
    for (int start = 0; start < 2; ++start) {
        ProgramRun run(bin.path(), user.path() + QStringLiteral("/Kestory"), st::CanCreateFileIn, std::string(),
                       bin.path());
        QVERIFY(Start(run));
        // A file left there by an earlier version is read until the user has one.
        QCOMPARE(run.app->SettingsPath(), start == 0 ? beside : own);
        QTRY_COMPARE(run.app->Document().settings.magnify, start == 0 ? 300 : 250);
        run.app->Document().settings.magnify = 250;
        run.app->MainFrame()->close();
        QCOMPARE(run.app->SettingsPath(), own);
    }
    QCOMPARE(QDir(bin.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Kestory.dat")});
    QFile file(beside);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    QCOMPARE(Stored(own, QStringLiteral("Other/kept")).toInt(), 1);
}

void MainFrameTest::menuTextsAndStates_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QList<QKeySequence>>("keys");
    using K = QList<QKeySequence>;
    QTest::newRow("open") << int(CMainFrame::kFileOpen) << "開く(&O)..." << true << K{};
    QTest::newRow("folder") << int(CMainFrame::kFileOpenFolder) << "フォルダを開く(&F)..." << true << K{};
    QTest::newRow("folder tree") << int(CMainFrame::kFileOpenFolderTree) << "フォルダを開く（サブフォルダも含む）(&S)..."
                                 << true << K{};
    QTest::newRow("all kinds") << int(CMainFrame::kScanAllKinds) << "JPEG 以外の写真もフォルダから読み込む" << true << K{};
    QTest::newRow("raw pairs") << int(CMainFrame::kPairRawWithJpeg) << "RAW+JPEG は一枚として数える" << true << K{};
    QTest::newRow("save") << int(CMainFrame::kSaveShootingData) << "撮影データの保存（&S）..." << true << K{};
    QTest::newRow("print") << int(CMainFrame::kFilePrint) << "印刷...\tCtrl+P(&P)" << true << K{QKeySequence("Ctrl+P")};
    QTest::newRow("preview") << int(CMainFrame::kFilePrintPreview) << "印刷プレビュー(&V)" << true << K{};
    QTest::newRow("setup") << int(CMainFrame::kFilePrintSetup) << "プリンタの設定(&R)..." << true << K{};
    QTest::newRow("cache") << int(CMainFrame::kCacheThumbnails) << "サムネイルをキャッシュする" << true << K{};
    QTest::newRow("exit") << int(CMainFrame::kAppExit) << "Kestoryの終了(&X)" << true << K{};
    QTest::newRow("undo") << int(CMainFrame::kEditUndo) << "元に戻す\tCtrl+Z(&U)" << false << K{};
    QTest::newRow("cut") << int(CMainFrame::kEditCut) << "切り取り\tCtrl+X(&T)" << false
                         << K{QKeySequence("Ctrl+X"), QKeySequence("Shift+Del")};
    QTest::newRow("copy") << int(CMainFrame::kEditCopy) << "コピー\tCtrl+C(&C)" << true
                          << K{QKeySequence("Ctrl+C"), QKeySequence("Ctrl+Ins")};
    QTest::newRow("paste") << int(CMainFrame::kEditPaste) << "貼り付け\tCtrl+V(&P)" << false << K{};
    QTest::newRow("info panel") << int(CMainFrame::kViewInfoPanel) << "画像情報表示パネル" << true << K{};
    QTest::newRow("settings panel") << int(CMainFrame::kViewControlPanel) << "表示設定パネル" << true << K{};
    QTest::newRow("filter panel") << int(CMainFrame::kViewFilterPanel) << "絞り込みパネル" << true << K{};
    QTest::newRow("help") << int(CMainFrame::kHelp) << "ヘルプの表示(&H)" << true << K{};
    QTest::newRow("about") << int(CMainFrame::kAppAbout) << "バージョン情報(&A)..." << true << K{};
}

void MainFrameTest::menuTextsAndStates() {
    QFETCH(int, id);
    QTemporaryDir program;
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    const QAction* action = run.app->MainFrame()->Action(static_cast<CMainFrame::Command>(id));
    QVERIFY(action != nullptr);
    QTEST(action->text(), "text");
    QTEST(action->isEnabled(), "enabled");
    QTEST(action->shortcuts(), "keys");
    const bool checkable = id == CMainFrame::kViewInfoPanel || id == CMainFrame::kViewControlPanel ||
                           id == CMainFrame::kViewFilterPanel || id == CMainFrame::kCacheThumbnails ||
                           id == CMainFrame::kScanAllKinds || id == CMainFrame::kPairRawWithJpeg;
    QCOMPARE(action->isCheckable(), checkable);
    // The first two panels are visible and the cache on at first start; the filter panel is hidden
    // and the folder import takes JPEG files only.
    QCOMPARE(action->isChecked(), checkable && id != CMainFrame::kViewFilterPanel && id != CMainFrame::kScanAllKinds);
}

void MainFrameTest::menuOrder() {
    QTemporaryDir program;
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    QStringList seen;
    const QList<QAction*> menus = run.app->MainFrame()->menuBar()->actions();
    for (const QAction* menu : menus) {
        seen << menu->text();
        const QList<QAction*> items = menu->menu()->actions();
        for (const QAction* item : items) {
            seen << (item->isSeparator() ? QStringLiteral("-") : item->text());
        }
    }
    QCOMPARE(seen, (QStringList{"ファイル(&F)", "開く(&O)...", "フォルダを開く(&F)...",
                                "フォルダを開く（サブフォルダも含む）(&S)...", "JPEG 以外の写真もフォルダから読み込む",
                                "RAW+JPEG は一枚として数える", "最近使ったフォルダ(&R)", "-", "フォルダを監視...", "監視を終了", "-",
                                "撮影データの保存（&S）...", "SVG として保存...", "-",
                                "印刷...\tCtrl+P(&P)", "印刷プレビュー(&V)", "プリンタの設定(&R)...", "-",
                                "サムネイルをキャッシュする", "-", "Kestoryの終了(&X)", "編集(&E)", "元に戻す\tCtrl+Z(&U)", "-",
                                "切り取り\tCtrl+X(&T)", "コピー\tCtrl+C(&C)", "貼り付け\tCtrl+V(&P)", "-",
                                "選択した写真の CSV 保存...", "表示(&V)", "画像情報表示パネル",
                                "表示設定パネル", "絞り込みパネル", "統計パネル", "ヘルプ(&H)", "ヘルプの表示(&H)", "バージョン情報(&A)..."}));
    QVERIFY(run.app->MainFrame()->findChildren<QToolBar*>().isEmpty());
    QVERIFY(run.app->MainFrame()->findChild<QStatusBar*>() == nullptr);
}

void MainFrameTest::viewMenuChecksFollowThePanels() {
    QTemporaryDir program;
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    CMainFrame* frame = run.app->MainFrame();
    QAction* info = frame->Action(CMainFrame::kViewInfoPanel);
    QAction* control = frame->Action(CMainFrame::kViewControlPanel);

    info->trigger();
    QVERIFY(!frame->InfoDock()->isVisible());
    QVERIFY(!info->isChecked());
    QVERIFY(control->isChecked());
    info->trigger();
    QTRY_VERIFY(frame->InfoDock()->isVisible());
    QVERIFY(info->isChecked());

    // A floating panel closed by its own close box.
    frame->ControlDock()->setFloating(true);
    QVERIFY(QTest::qWaitForWindowExposed(frame->ControlDock()));
    QVERIFY(frame->ControlDock()->close());
    QVERIFY(!frame->ControlDock()->isVisible());
    QVERIFY(!control->isChecked());
    control->trigger();
    QTRY_VERIFY(frame->ControlDock()->isVisible());
    QVERIFY(control->isChecked());
}

void MainFrameTest::layoutChangesRefreshTheScrollSize() {
    QTemporaryDir program;
    WriteSettings(st::BuildSettingsPath(program.path()), "[MainWnd]\nleft=0\ntop=0\nwidth=1000\nheight=700\n");
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    CMainFrame* frame = run.app->MainFrame();
    CLumivaneView& view = frame->View();
    QTRY_VERIFY(!run.app->Document().settings.evCaption.empty());
    const auto expected = [&view] { return std::max(0, 750 - view.viewport()->width()); };
    QTRY_COMPARE(view.horizontalScrollBar()->maximum(), expected());
    const int withPanels = view.horizontalScrollBar()->maximum();
    QVERIFY(withPanels > 0);

    frame->InfoDock()->hide();
    frame->ControlDock()->setFloating(true);
    QTRY_VERIFY(view.viewport()->width() > 700);
    QTRY_COMPARE(view.horizontalScrollBar()->maximum(), expected());
    QVERIFY(view.horizontalScrollBar()->maximum() < withPanels);

    frame->resize(500, 400);
    QTRY_COMPARE(view.horizontalScrollBar()->maximum(), expected());
    QCOMPARE(view.verticalScrollBar()->maximum(), std::max(0, 520 - view.viewport()->height()));
}

void MainFrameTest::dropAddsGoodFilesAndNamesBadOnes() {
    QTemporaryDir program;
    QTemporaryDir photos;
    const QString first = photos.filePath(QStringLiteral("first.jpg"));
    const QString bad = photos.filePath(QStringLiteral("写真 no exif.jpg"));
    const QString third = photos.filePath(QStringLiteral("THIRD.JPG"));
    QVERIFY(CameraLikeJpeg().writeTo(first.toStdString()));
    QVERIFY(JpegBuilder().noExif().patternPicture(64, 48).writeTo(bad.toStdString()));
    QVERIFY(JpegBuilder().exposureTime(1, 250).fNumber(56, 10).isoSpeed(400).patternPicture(80, 60).writeTo(
        third.toStdString()));

    ProgramRun run(program.path());
    QVERIFY(Start(run));
    CMainFrame* frame = run.app->MainFrame();
    QTRY_VERIFY(!run.app->Document().settings.evCaption.empty());

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(first), QUrl::fromLocalFile(bad), QUrl(QStringLiteral("https://example.org/x.jpg")),
                  QUrl::fromLocalFile(third)});
    const QPoint at = frame->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frame, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frame, &drop);

    const CLumivaneDoc& doc = run.app->Document();
    QCOMPARE(doc.GetCount(), size_t(2));
    QCOMPARE(QString::fromStdString(doc.GetAt(0).path), first);
    QCOMPARE(QString::fromStdString(doc.GetAt(1).path), third);
    QCOMPARE(run.notifier.messages.size(), size_t(1));
    QCOMPARE(QString::fromStdString(run.notifier.messages[0].text),
             bad + QStringLiteral("は、Ｅｘｉｆ情報が無いため、読み込めませんでした。"));
    // Laid out: the photos have their places on the chart.
    QVERIFY(doc.GetAt(0).drawRect.width() > 0);
    QVERIFY(doc.GetAt(1).drawRect.width() > 0);
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // Only web addresses: not taken.
    QMimeData remote;
    remote.setUrls({QUrl(QStringLiteral("https://example.org/x.jpg"))});
    QDragEnterEvent refused(at, Qt::CopyAction, &remote, Qt::LeftButton, Qt::NoModifier);
    refused.setAccepted(false);
    QCoreApplication::sendEvent(frame, &refused);
    QVERIFY(!refused.isAccepted());
}

void MainFrameTest::exitClosesLikeTheCloseBox_data() {
    QTest::addColumn<int>("signalNumber"); // 0: the menu's exit command
    QTest::addColumn<bool>("dialogOpen");  // a modal box open when the signal comes
    QTest::newRow("exit command") << 0 << false;
    QTest::newRow("SIGTERM") << int(SIGTERM) << false;
    QTest::newRow("SIGTERM over a dialog") << int(SIGTERM) << true;
    QTest::newRow("SIGINT") << int(SIGINT) << false;
    QTest::newRow("SIGHUP") << int(SIGHUP) << false;
}

// The system's end (a termination signal) is the exit command's: the settings written, the
// collection let go; a dialog open at that moment is dismissed first.
void MainFrameTest::exitClosesLikeTheCloseBox() {
    QFETCH(int, signalNumber);
    QFETCH(bool, dialogOpen);
    QTemporaryDir program;
    QTemporaryDir photos;
    const QString photo = photos.filePath(QStringLiteral("a.jpg"));
    QVERIFY(CameraLikeJpeg().writeTo(photo.toStdString()));
    ProgramRun run(program.path(), QString(), st::CanCreateFileIn, std::string(), st::InstallBinDir(), true);
    QVERIFY(Start(run));
    QTRY_VERIFY(!run.app->Document().settings.evCaption.empty());
    QCOMPARE(run.app->Document().AddPhoto(photo.toStdString()), 1);
    run.app->Document().settings.sizePict = 77;

    // What a log-out request writes, with the window still open.
    run.app->MainFrame()->SaveForSession();
    QCOMPARE(Stored(run.app->SettingsPath(), QStringLiteral("MainWnd/SizePict")).toInt(), 77);
    run.app->Document().settings.sizePict = 78;

    bool boxReturned = !dialogOpen;
    if (signalNumber == 0) {
        run.app->MainFrame()->Action(CMainFrame::kAppExit)->trigger();
    } else if (dialogOpen) {
        QTimer::singleShot(0, run.app->MainFrame(), [&] {
            QMessageBox box(QMessageBox::Question, QStringLiteral("Kestory"), QStringLiteral("?"),
                            QMessageBox::Yes | QMessageBox::No, run.app->MainFrame());
            QTimer::singleShot(0, [signalNumber] { std::raise(signalNumber); });
            box.exec();
            boxReturned = true;
        });
    } else {
        std::raise(signalNumber);
    }
    QTRY_VERIFY(boxReturned && !run.app->MainFrame()->isVisible());
    QCOMPARE(run.app->EndedBySignal(), signalNumber);
    QCOMPARE(run.app->Document().GetCount(), size_t(0));
    QCOMPARE(Stored(run.app->SettingsPath(), QStringLiteral("MainWnd/SizePict")).toInt(), 78);
    QCOMPARE(Stored(run.app->SettingsPath(), QStringLiteral("MainWnd/state")).toInt(), 1);
}

void MainFrameTest::panelsAreDockedAndWiredToTheChart() {
    QTemporaryDir program;
    QTemporaryDir photos;
    const QString photo = photos.filePath(QStringLiteral("a.jpg"));
    QVERIFY(CameraLikeJpeg().writeTo(photo.toStdString()));
    WriteSettings(program.filePath(QStringLiteral("Kestory.dat")), "[MainWnd]\nMagnify=150\nSizePict=60\n");
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    CMainFrame* frame = run.app->MainFrame();
    CDlgBarControl& control = frame->ControlPanel();
    // The deferred step hands the saved settings to the settings panel.
    QTRY_COMPARE(control.MagnifyBar()->value(), 150);
    QCOMPARE(control.SizeBar()->value(), 60);
    QCOMPARE(frame->ControlDock()->widget(), &control);
    QCOMPARE(frame->InfoDock()->widget(), &frame->InfoPanel());

    CLumivaneDoc& doc = run.app->Document();
    QCOMPARE(doc.AddPhoto(photo.toStdString()), 1);
    CLumivaneView& view = frame->View();
    view.LayoutPhotos();
    const Rect r = doc.GetAt(0).drawRect;
    view.horizontalScrollBar()->setValue(r.left - 10);
    view.verticalScrollBar()->setValue(r.top - 10);
    const QPoint inside = QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2) - view.ScrollPosition();
    QVERIFY(view.viewport()->rect().contains(inside));

    // A click shows the photo in the information panel; a double-click opens its viewer.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, inside);
    QCOMPARE(frame->InfoPanel().SelectedPhoto(), &doc.GetAt(0));
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, inside);
    QCOMPARE(frame->Viewers().Count(), size_t(1));

    // A wheel notch moves the settings panel's magnification along.
    QWheelEvent wheel(QPointF(inside), view.viewport()->mapToGlobal(QPointF(inside)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view.viewport(), &wheel);
    QCOMPARE(doc.settings.magnify, 155);
    QCOMPARE(control.MagnifyBar()->value(), 155);

    // Closing leaves no selection naming a released record.
    frame->close();
    QCOMPARE(doc.GetCount(), size_t(0));
    QVERIFY(frame->InfoPanel().SelectedPhoto() == nullptr);
}

void MainFrameTest::cacheItemSwitchesTheImportsCacheAndIsKept() {
    QTemporaryDir program;
    const QString settingsPath = st::BuildSettingsPath(program.path());
    const std::string cacheFile = QFile::encodeName(program.filePath(QStringLiteral("cache/thumbnails.sqlite"))).toStdString();
    const std::string photo = QFile::encodeName(program.filePath(QStringLiteral("a.jpg"))).toStdString();
    QVERIFY(CameraLikeJpeg().patternPicture(320, 200).writeTo(photo));
    for (const bool wasOn : {true, false}) {
        ProgramRun run(program.path(), QString(), st::CanCreateFileIn, cacheFile);
        QVERIFY(Start(run));
        QAction* item = run.app->MainFrame()->Action(CMainFrame::kCacheThumbnails);
        CLumivaneDoc& doc = run.app->Document();
        QCOMPARE(item->isChecked(), wasOn);
        QCOMPARE(doc.GetThumbnailStore() != nullptr, wasOn);
        if (wasOn) {
            QCOMPARE(doc.AddPhotos({photo}), 1);
            QVERIFY(QFileInfo::exists(QString::fromStdString(cacheFile)));
            // The settings panel's cache part counts again when an import of the window ends.
            QVERIFY(CameraLikeJpeg().patternPicture(200, 320).writeTo(photo + ".b.jpg"));
            QCOMPARE(run.app->MainFrame()->Commands().ImportFiles({QString::fromStdString(photo + ".b.jpg")}), 1);
            QVERIFY(run.app->MainFrame()->ControlPanel().CachePart()->StoredText()->text().endsWith(
                QStringLiteral("・2 件")));
        }
        item->trigger();
        QCOMPARE(doc.GetThumbnailStore() != nullptr, !wasOn);
        QCOMPARE(Stored(settingsPath, QStringLiteral("MainWnd/CacheThumbnails")).toInt(), wasOn ? 0 : 1);
        QVERIFY(run.app->MainFrame()->close());
        QCOMPARE(Stored(settingsPath, QStringLiteral("MainWnd/CacheThumbnails")).toInt(), wasOn ? 0 : 1);
    }
}

// The filter panel's place and visibility are kept with the other panels' docking; its criteria are
// not kept at all.
void MainFrameTest::filterPanelComesBackShownButUnfiltered() {
    QTemporaryDir program;
    QTemporaryDir photos;
    const QString photo = photos.filePath(QStringLiteral("a.jpg"));
    QVERIFY(CameraLikeJpeg().writeTo(photo.toStdString()));
    {
        ProgramRun run(program.path());
        QVERIFY(Start(run));
        CMainFrame* frame = run.app->MainFrame();
        QCOMPARE(frame->FilterDock()->windowTitle(), QStringLiteral("絞り込みパネル"));
        frame->Action(CMainFrame::kViewFilterPanel)->trigger();
        QTRY_VERIFY(frame->FilterDock()->isVisible());
        QCOMPARE(frame->dockWidgetArea(frame->FilterDock()), Qt::RightDockWidgetArea);
        QCOMPARE(run.app->Document().AddPhoto(photo.toStdString()), 1);
        PhotoFilter filter;
        filter.iso = {1, 2};
        run.app->Document().SetFilter(filter);
        QVERIFY(frame->close());
    }
    QCOMPARE(QSettings(st::BuildSettingsPath(program.path()), QSettings::IniFormat).allKeys().size(), 11);
    ProgramRun again(program.path());
    QVERIFY(Start(again));
    QTRY_VERIFY(again.app->MainFrame()->FilterDock()->isVisible());
    QVERIFY(again.app->MainFrame()->Action(CMainFrame::kViewFilterPanel)->isChecked());
    QVERIFY(again.app->Document().Filter().IsEmpty());
}

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
