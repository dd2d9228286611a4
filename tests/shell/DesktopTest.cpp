// The program as a desktop program: "--open" and the one window per user, the watched folder,
// "最近使ったフォルダ".

#include "collection/CLumivaneDoc.h"
#include "inspect/CDlgBarPreView.h"
#include "shell/CMainFrame.h"
#include "shell/ChartCommands.h"
#include "shell/FolderWatchSession.h"
#include "shell/FolderWatcher.h"
#include "shell/InstanceChannel.h"
#include "shell/LaunchRequest.h"
#include "shell/RecentMenu.h"
#include "shell/SettingsFile.h"
#include "tests/shell/ShellFakes.h"
#include "tests/support/JpegBuilder.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

using kestory::test::JpegBuilder;

namespace {

QByteArray Photo(int iso) {
    const std::vector<uint8_t> bytes =
        JpegBuilder().exposureTime(1, 125).fNumber(56, 10).isoSpeed(iso).patternPicture(48, 32).build();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

bool Write(const QString& path, const QByteArray& bytes, QIODevice::OpenMode mode = QIODevice::WriteOnly) {
    QFile file(path);
    return file.open(mode) && file.write(bytes) == bytes.size();
}

bool Start(ProgramRun& run) {
    return run.app->InitInstance({QStringLiteral("kestory")}) && QTest::qWaitForWindowExposed(run.app->MainFrame());
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void launchRequestFromTheCommandLine_data();
    void launchRequestFromTheCommandLine();
    void recentListKeepsTheEightNewestOnceEach();
    void watcherTakesEachPhotoOnceItIsComplete();
    void openTellsTheMissingAndImportsTheRest();
    void watchedFolderFillsTheChart();
    void secondProgramHandsItsPathsToTheRunningWindow();
    void staleSocketIsTakenOverAndALiveOneIsNot();
};

void DesktopTest::launchRequestFromTheCommandLine_data() {
    QTest::addColumn<QStringList>("parameters");
    QTest::addColumn<QStringList>("open");
    QTest::addColumn<QString>("watch");
    QTest::newRow("display letters only") << QStringList{"/s80", "-Q", "photo.jpg"} << QStringList{} << QString();
    QTest::newRow("open relative and absolute")
        << QStringList{"--open", "a.jpg", "/p/b", "../c"} << QStringList{"/w/d/a.jpg", "/p/b", "/w/c"} << QString();
    QTest::newRow("letters before open") << QStringList{"-s80", "--open", "x"} << QStringList{"/w/d/x"} << QString();
    QTest::newRow("watch among the paths")
        << QStringList{"--open", "a", "--watch", "t", "b"} << QStringList{"/w/d/a", "/w/d/b"} << QString("/w/d/t");
    QTest::newRow("watch without a folder") << QStringList{"--watch"} << QStringList{} << QString();
}

void DesktopTest::launchRequestFromTheCommandLine() {
    QFETCH(QStringList, parameters);
    const LaunchRequest request = ParseLaunchRequest(parameters, QStringLiteral("/w/d"));
    QTEST(request.openPaths, "open");
    QTEST(request.watchFolder, "watch");
}

void DesktopTest::recentListKeepsTheEightNewestOnceEach() {
    QTemporaryDir dir;
    kestory::settings::SettingsFile file(dir.filePath(QStringLiteral("Kestory.dat")));
    {
        RecentMenu menu(file);
        for (int i = 1; i <= 9; ++i) {
            menu.Add({QStringLiteral("/p/%1").arg(i), i % 2 == 0});
        }
        menu.Add({QStringLiteral("/p/4"), false});  // again, now without its sub-folders
    }
    RecentMenu again(file);  // as the next start reads it
    QList<RecentEntry> expected{{"/p/4", false}, {"/p/9", false}, {"/p/8", true}, {"/p/7", false},
                                {"/p/6", true},  {"/p/5", false}, {"/p/3", false}, {"/p/2", true}};
    QCOMPARE(again.List().Entries(), expected);
    // A missing path is listed disabled; one removed is gone from the file too.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("there")));
    again.Add({dir.filePath(QStringLiteral("there")), true});
    again.Remove(QStringLiteral("/p/9"));
    emit again.aboutToShow();
    const QList<QAction*> items = again.actions();
    QCOMPARE(items.size(), 7);  // "there" pushed /p/2 out
    QVERIFY(items.at(0)->isEnabled());
    QVERIFY(items.at(0)->text().endsWith(QStringLiteral("（サブフォルダも含む）")));
    QVERIFY(!items.at(1)->isEnabled());
    QCOMPARE(file.ReadRecent().size(), 7);
    QVERIFY(!file.ReadRecent().contains(RecentEntry{"/p/9", false}));
}

void DesktopTest::watcherTakesEachPhotoOnceItIsComplete() {
    QTemporaryDir dir;
    QVERIFY(Write(dir.filePath(QStringLiteral("old.jpg")), Photo(100)));
    int64_t now = 0;
    FolderWatcher watcher(nullptr, [&now] { return now; });
    QSignalSpy arrived(&watcher, &FolderWatcher::arrived);
    watcher.Start(dir.path(), false);

    // Written in two halves: waits while it grows, then settles a full second after the last write.
    const QByteArray photo = Photo(400);
    const QString fresh = dir.filePath(QStringLiteral("new.jpg"));
    QVERIFY(Write(fresh, photo.left(photo.size() / 2)));
    QVERIFY(Write(dir.filePath(QStringLiteral("notes.txt")), "x"));
    QTRY_COMPARE(watcher.WaitingCount(), size_t(1));
    now = 600;
    QVERIFY(Write(fresh, photo.mid(photo.size() / 2), QIODevice::Append));
    watcher.Poll();
    now = 1500;
    watcher.Poll();
    QCOMPARE(arrived.count(), 0);
    now = 1600;
    watcher.Poll();
    QCOMPARE(arrived.count(), 1);
    QCOMPARE(arrived.at(0).at(0).toStringList(), QStringList{fresh});

    // A folder made in the tree is watched, its photo taken; nothing is taken twice.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("card")));
    const QString inCard = dir.filePath(QStringLiteral("card/IMG_0001.JPG"));
    QVERIFY(Write(inCard, Photo(800)));
    QTRY_COMPARE(watcher.WaitingCount(), size_t(1));
    watcher.Poll();
    now = 3000;
    watcher.Poll();
    QVERIFY(Write(dir.filePath(QStringLiteral("card/other.txt")), "y"));
    now = 5000;
    watcher.Poll();
    QCOMPARE(arrived.count(), 2);
    QCOMPARE(arrived.at(1).at(0).toStringList(), QStringList{inCard});
    QCOMPARE(watcher.WaitingCount(), size_t(0));
}

void DesktopTest::openTellsTheMissingAndImportsTheRest() {
    QTemporaryDir program;
    QTemporaryDir photos;
    QVERIFY(QDir(photos.path()).mkpath(QStringLiteral("tree/below")));
    QVERIFY(Write(photos.filePath(QStringLiteral("single.jpg")), Photo(100)));
    QVERIFY(Write(photos.filePath(QStringLiteral("tree/a.jpg")), Photo(200)));
    QVERIFY(Write(photos.filePath(QStringLiteral("tree/below/b.jpg")), Photo(400)));
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    const QString missing = photos.filePath(QStringLiteral("gone.jpg"));
    QCOMPARE(run.app->MainFrame()->Commands().OpenPaths(
                 {photos.filePath(QStringLiteral("tree")), missing, photos.filePath(QStringLiteral("single.jpg"))}),
             3);
    QCOMPARE(run.app->Document().GetAt(1).iso, 400);  // the folder below, then the file
    QCOMPARE(run.app->Document().GetAt(2).iso, 100);
    QCOMPARE(run.notifier.messages.size(), size_t(1));
    QVERIFY(QString::fromStdString(run.notifier.messages.at(0).text).endsWith(QStringLiteral("\n\n") + missing));
    const QList<RecentEntry> recent = run.app->MainFrame()->Recent().List().Entries();
    QCOMPARE(recent, (QList<RecentEntry>{{photos.filePath(QStringLiteral("single.jpg")), false},
                                         {photos.filePath(QStringLiteral("tree")), true}}));
}

void DesktopTest::watchedFolderFillsTheChart() {
    QTemporaryDir program;
    QTemporaryDir photos;
    QVERIFY(Write(photos.filePath(QStringLiteral("1.jpg")), Photo(100)));
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    CMainFrame& frame = *run.app->MainFrame();
    run.dialogs.folder = photos.path();
    frame.Action(CMainFrame::kFileWatchFolder)->trigger();
    auto* status = frame.findChild<QLabel*>(QStringLiteral("watchStatus"));
    QVERIFY(status != nullptr && frame.statusBar()->isVisible());
    const QString folder = QFileInfo(photos.path()).canonicalFilePath();
    QCOMPARE(status->text(), QStringLiteral("監視中: %1 (1 枚)").arg(folder));

    QVERIFY(Write(photos.filePath(QStringLiteral("2.jpg")), Photo(800)));
    QTRY_COMPARE_WITH_TIMEOUT(run.app->Document().GetCount(), size_t(2), 10000);
    QCOMPARE(status->text(), QStringLiteral("監視中: %1 (2 枚)").arg(folder));
    QCOMPARE(frame.InfoPanel().SelectedPhoto(), &run.app->Document().GetAt(1));

    frame.Action(CMainFrame::kFileStopWatching)->trigger();
    QVERIFY(!frame.statusBar()->isVisible());
    QVERIFY(!frame.Action(CMainFrame::kFileStopWatching)->isEnabled());
}

void DesktopTest::secondProgramHandsItsPathsToTheRunningWindow() {
    // Two real programs, each with its settings file beside it in a folder of the test's.
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("kestory"));
    QVERIFY(QFile::copy(QStringLiteral(KESTORY_PROGRAM), program));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("run")) && QDir(dir.path()).mkdir(QStringLiteral("photos")));
    // Qt takes a runtime folder only the user can enter.
    QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("run")),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(Write(dir.filePath(QStringLiteral("photos/p.jpg")), Photo(100)));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("run")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), dir.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(program, {});
    const QString socket = dir.filePath(QStringLiteral("run/kestory-window"));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 20000);

    QProcess second;
    second.setProcessEnvironment(environment);
    second.setWorkingDirectory(dir.path());
    second.start(program, {QStringLiteral("--open"), QStringLiteral("photos")});
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitCode(), 0);
    // The first window imported the folder: its recent list names it.
    kestory::settings::SettingsFile settings(dir.filePath(QStringLiteral("Kestory.dat")));
    QTRY_COMPARE_WITH_TIMEOUT(settings.ReadRecent().value(0).path, dir.filePath(QStringLiteral("photos")), 20000);
    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}

void DesktopTest::staleSocketIsTakenOverAndALiveOneIsNot() {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("kestory-window"));
    // What a crashed window leaves: a bound socket file nobody listens on.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(name).constData(), sizeof(address.sun_path) - 1);
    QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    QVERIFY(!InstanceChannel::HandOver(name, LaunchRequest{{QStringLiteral("/x")}, {}}, 2000));

    InstanceChannel channel(name);
    QVERIFY(channel.Listen());
    QLocalSocket probe;
    probe.connectToServer(name);
    QVERIFY(probe.waitForConnected(2000));
    InstanceChannel another(name);
    QVERIFY(!another.Listen());
}

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
