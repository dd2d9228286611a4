#include "shell/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace st = kestory::settings;

namespace {

void WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

QByteArray ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class SettingsFileTest : public QObject {
    Q_OBJECT
private slots:
    void missingFileGivesDefaults();
    void displayValuesAreBroughtIntoRange_data();
    void displayValuesAreBroughtIntoRange();
    void showStates_data();
    void showStates();
    void writesTheKeysAsDecimalAndReadsThemBack();
    void writeReplacesTheFileWhole();
    void settingsPathBesideTheProgramOrInTheUsersFolder_data();
    void settingsPathBesideTheProgramOrInTheUsersFolder();
    void realFolderCheck();
    void systemProgramFolders_data();
    void systemProgramFolders();
    void rectangleMustLieOnAScreen_data();
    void rectangleMustLieOnAScreen();
    void savedRectangleIsCutToItsScreen_data();
    void savedRectangleIsCutToItsScreen();
    void readOnlyFileBesideTheProgram();
    void namedPipeIsNeitherReadNorWritten();
};

void SettingsFileTest::missingFileGivesDefaults() {
    QTemporaryDir dir;
    const QString path = st::BuildSettingsPath(dir.path());
    QCOMPARE(path, dir.path() + QStringLiteral("/Kestory.dat"));
    const st::SettingsFile file(path);
    const st::WindowPlacement placement = file.ReadPlacement();
    QCOMPARE(placement.left, INT32_MIN);
    QCOMPARE(placement.top, INT32_MIN);
    QCOMPARE(placement.width, INT32_MIN);
    QCOMPARE(placement.height, INT32_MIN);
    QCOMPARE(placement.state, 5);
    QVERIFY(!placement.HasRectangle());
    DisplaySettings settings;
    settings.magnify = 77;
    file.ReadDisplaySettings(settings);
    QCOMPARE(settings.magnify, 100);
    QCOMPARE(settings.sizePict, 40);
    QCOMPARE(settings.viewType, 0);
    QCOMPARE(settings.isoIndex, 1);
    QVERIFY(file.ReadDockState().isEmpty());
    QVERIFY2(!QFile::exists(path), "reading never creates the file");
}

void SettingsFileTest::displayValuesAreBroughtIntoRange_data() {
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<int>("magnify");
    QTest::addColumn<int>("sizePict");
    QTest::addColumn<int>("viewType");
    QTest::addColumn<int>("isoIndex");
    QTest::addColumn<int>("markColour");
    QTest::newRow("in range") << QByteArray("Magnify=250\nSizePict=120\nViewType=1\nIsoIndex=10\nMarkColor=3\n") << 250
                              << 120 << 1 << 10 << 3;
    QTest::newRow("lower edges") << QByteArray("Magnify=30\nSizePict=10\nViewType=0\nIsoIndex=0\nMarkColor=0\n") << 30
                                 << 10 << 0 << 0 << 0;
    QTest::newRow("density, colour by time") << QByteArray("ViewType=2\nMarkColor=4\n") << 100 << 40 << 2 << 1 << 4;
    QTest::newRow("above") << QByteArray("Magnify=401\nSizePict=121\nViewType=3\nIsoIndex=11\nMarkColor=5\n") << 400
                           << 120 << 0 << 10 << 0;
    QTest::newRow("below") << QByteArray("Magnify=29\nSizePict=9\nViewType=-1\nIsoIndex=-1\nMarkColor=-1\n") << 30 << 10
                           << 0 << 0 << 0;
    QTest::newRow("huge") << QByteArray("Magnify=2147483647\nSizePict=-2147483648\nIsoIndex=99999\n") << 400 << 10 << 0
                          << 10 << 0;
    QTest::newRow("not numbers") << QByteArray("Magnify=abc\nSizePict=\nViewType=x1\nIsoIndex=3.5\n") << 100 << 40 << 0
                                 << 1 << 0;
    QTest::newRow("beyond 32 bits") << QByteArray("Magnify=99999999999\n") << 100 << 40 << 0 << 1 << 0;
    QTest::newRow("keys in any case") << QByteArray("magnify=150\nSIZEPICT=60\nviewtype=1\nIsoindex=4\nmarkcolor=2\n")
                                      << 150 << 60 << 1 << 4 << 2;
    QTest::newRow("own spelling first") << QByteArray("magnify=150\nMagnify=120\n") << 120 << 40 << 0 << 1 << 0;
}

void SettingsFileTest::displayValuesAreBroughtIntoRange() {
    QFETCH(QByteArray, section);
    QTemporaryDir dir;
    const QString path = st::BuildSettingsPath(dir.path());
    WriteText(path, "[MainWnd]\n" + section);
    DisplaySettings settings;
    st::SettingsFile(path).ReadDisplaySettings(settings);
    QTEST(int(settings.magnify), "magnify");
    QTEST(int(settings.sizePict), "sizePict");
    QTEST(int(settings.viewType), "viewType");
    QTEST(int(settings.isoIndex), "isoIndex");
    QTEST(int(settings.markColour), "markColour");
}

void SettingsFileTest::showStates_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("restored") << 1 << 1;
    QTest::newRow("minimised") << 2 << 2;
    QTest::newRow("maximised") << 3 << 3;
    QTest::newRow("as created") << 5 << 1;
    QTest::newRow("hide") << 0 << 1;
    QTest::newRow("nonsense") << 4711 << 1;
    QTest::newRow("negative") << -3 << 1;
}

void SettingsFileTest::showStates() {
    QFETCH(int, stored);
    QTEST(st::NormaliseShowState(stored), "shown");
}

void SettingsFileTest::writesTheKeysAsDecimalAndReadsThemBack() {
    QTemporaryDir dir;
    const QString path = st::BuildSettingsPath(dir.path());
    st::SettingsFile file(path);
    st::WindowPlacement placement{-8, -30, 900, 640, 3};
    DisplaySettings settings;
    settings.magnify = 250;
    settings.sizePict = 60;
    settings.viewType = 2;
    settings.isoIndex = 4;
    settings.markColour = 3;
    QVERIFY(file.WriteAll(placement, settings, QByteArray("\x01\x02\x00\xff", 4)));

    const QByteArray text = ReadText(path);
    for (const char* line : {"left=-8", "top=-30", "width=900", "height=640", "state=3", "Magnify=250", "SizePict=60",
                             "ViewType=2", "IsoIndex=4", "MarkColor=3"}) {
        QVERIFY2(text.contains(QByteArray(line) + "\n"), line);
    }
    QVERIFY(text.contains("[MainWnd]"));
    QVERIFY(text.contains("[ControlBar]"));

    const st::WindowPlacement back = file.ReadPlacement();
    QCOMPARE(back.Rectangle(), QRect(-8, -30, 900, 640));
    QCOMPARE(back.state, 3);
    DisplaySettings read;
    file.ReadDisplaySettings(read);
    QCOMPARE(read.magnify, 250);
    QCOMPARE(read.sizePict, 60);
    QCOMPARE(read.viewType, 2);
    QCOMPARE(read.isoIndex, 4);
    QCOMPARE(read.markColour, 3);
    QCOMPARE(file.ReadDockState(), QByteArray("\x01\x02\x00\xff", 4));

    QVERIFY(file.WriteMainWndInt(st::kMagnify, -5));
    QCOMPARE(file.ReadMainWndInt(st::kMagnify), -5);
}

void SettingsFileTest::writeReplacesTheFileWhole() {
    QTemporaryDir dir;
    const QString path = st::BuildSettingsPath(dir.path());
    WriteText(path, "[MainWnd]\nleft=1\nunknown=7\nMAGNIFY=150\nsizepict=60\n[Other]\nkept=1\n");
    st::SettingsFile file(path);
    QVERIFY(file.WriteAll(st::WindowPlacement{10, 20, 300, 200, 1}, DisplaySettings{}, QByteArray()));
    const QByteArray text = ReadText(path);
    QVERIFY(text.contains("left=10\n"));
    QVERIFY2(text.contains("kept=1"), "keys of others survive the rewrite");
    // Each key once, under the program's spelling.
    QCOMPARE(text.toLower().count("magnify="), 1);
    QCOMPARE(text.toLower().count("sizepict="), 1);
    QVERIFY(text.contains("Magnify=100\n") && text.contains("SizePict=40\n"));
    // Nothing left behind beside the file: the write went through a save file renamed into place.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Kestory.dat")});
}

void SettingsFileTest::settingsPathBesideTheProgramOrInTheUsersFolder_data() {
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<bool>("folderWritable");
    QTest::addColumn<bool>("userFileExists");
    QTest::addColumn<bool>("beside");
    QTest::newRow("writable program folder") << false << true << false << true;
    QTest::newRow("existing file in a read-only folder") << true << false << false << true;
    QTest::newRow("installed program") << false << false << false << false;
    QTest::newRow("user's file written for a read-only folder") << true << false << true << false;
    QTest::newRow("writable program folder before the user's file") << true << true << true << true;
}

void SettingsFileTest::settingsPathBesideTheProgramOrInTheUsersFolder() {
    QFETCH(bool, fileExists);
    QFETCH(bool, folderWritable);
    QFETCH(bool, userFileExists);
    QFETCH(bool, beside);
    QTemporaryDir program;
    QTemporaryDir user;
    if (fileExists) {
        WriteText(st::BuildSettingsPath(program.path()), "[MainWnd]\n");
    }
    if (userFileExists) {
        QVERIFY(QDir(user.path()).mkdir(QStringLiteral("Kestory")));
        WriteText(user.path() + QStringLiteral("/Kestory/Kestory.dat"), "[MainWnd]\n");
    }
    QString asked;
    const QString path = st::ChooseSettingsPath(program.path(), user.path() + QStringLiteral("/Kestory"),
                                                [&](const QString& folder) {
                                                    asked = folder;
                                                    return folderWritable;
                                                });
    QCOMPARE(path, beside ? program.path() + QStringLiteral("/Kestory.dat")
                          : user.path() + QStringLiteral("/Kestory/Kestory.dat"));
    if (!fileExists) {
        QCOMPARE(asked, program.path());
    }
    // The fallback folder need not exist yet: the first write creates it.
    st::SettingsFile file(path);
    QVERIFY(file.WriteMainWndInt(st::kState, 1));
    QVERIFY(QFile::exists(path));
}

void SettingsFileTest::realFolderCheck() {
    QTemporaryDir dir;
    QVERIFY(st::CanCreateFileIn(dir.path()));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{});
    QVERIFY(!st::CanCreateFileIn(dir.path() + QStringLiteral("/missing")));
    QVERIFY(!st::CanCreateFileIn(QString()));
}

// "<install>" stands for the configured install bin folder, a temporary folder here.
void SettingsFileTest::systemProgramFolders_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("system");
    QTest::newRow("/usr/bin spelled otherwise") << "/usr/lib/../bin/" << true;
    QTest::newRow("/bin") << "/bin" << true;
    QTest::newRow("/usr itself") << "/usr" << false;
    QTest::newRow("a build under /usr") << "/usr/src/kestory/build/shell" << false;
    QTest::newRow("link to the configured bin folder") << "<install>/../link" << true;
    QTest::newRow("a build beside it") << "<install>/../build/shell" << false;
}

void SettingsFileTest::systemProgramFolders() {
    QFETCH(QString, folder);
    QTemporaryDir root;
    const QString install = root.filePath(QStringLiteral("prefix"));
    QVERIFY(QDir().mkpath(install) && QDir().mkpath(root.filePath(QStringLiteral("build/shell"))));
    QVERIFY(QFile::link(install, root.filePath(QStringLiteral("link"))));
    QTEST(st::IsSystemProgramFolder(folder.replace(QStringLiteral("<install>"), install), install), "system");
}

void SettingsFileTest::rectangleMustLieOnAScreen_data() {
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<bool>("onScreen");
    QTest::newRow("inside") << QRect(100, 100, 800, 600) << true;
    QTest::newRow("partly beyond the left edge") << QRect(-300, 10, 800, 600) << true;
    QTest::newRow("on the second screen") << QRect(2000, 100, 500, 400) << true;
    QTest::newRow("where a third screen was") << QRect(3500, 100, 500, 400) << false;
    QTest::newRow("a sliver") << QRect(-790, 10, 800, 600) << false;
    QTest::newRow("far above") << QRect(10, -5000, 800, 600) << false;
}

void SettingsFileTest::rectangleMustLieOnAScreen() {
    QFETCH(QRect, rect);
    const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    QTEST(st::LiesOnAScreen(rect, screens), "onScreen");
}

void SettingsFileTest::savedRectangleIsCutToItsScreen_data() {
    QTest::addColumn<QRect>("saved");
    QTest::addColumn<QRect>("restored");  // null: the system places the window
    QTest::newRow("fits") << QRect(100, 100, 800, 600) << QRect(100, 100, 800, 600);
    QTest::newRow("100000 square") << QRect(10, 20, 100000, 100000) << QRect(10, 20, 1920, 1080);
    QTest::newRow("too wide only") << QRect(50, 60, 5000, 600) << QRect(50, 60, 1920, 600);
    QTest::newRow("mostly on the second screen") << QRect(2000, 100, 5000, 5000) << QRect(2000, 100, 1280, 1024);
    QTest::newRow("corner far off, covering the screen")
        << QRect(-50000, -50000, 100000, 100000) << QRect(0, 0, 1920, 1080);
    QTest::newRow("on no screen") << QRect(9000, 7000, 640, 480) << QRect();
    QTest::newRow("edge beyond 32 bits") << QRect(2147480000, 10, 100000, 600) << QRect();
}

void SettingsFileTest::savedRectangleIsCutToItsScreen() {
    QFETCH(QRect, saved);
    QFETCH(QRect, restored);
    const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const st::WindowPlacement placement{saved.left(), saved.top(), saved.width(), saved.height(), 1};
    const std::optional<QRect> rect = st::RestoredRectangle(placement, screens);
    QCOMPARE(rect.value_or(QRect()), restored);
}

// Folder and file marked read-only by their permission bits, which the program honours also for
// root (who could write anyway): the check is meaningful whoever runs the tests.
void SettingsFileTest::readOnlyFileBesideTheProgram() {
    QTemporaryDir program;
    QTemporaryDir user;
    const QString beside = st::BuildSettingsPath(program.path());
    const QString own = user.path() + QStringLiteral("/Kestory/Kestory.dat");
    WriteText(beside, "[MainWnd]\nMagnify=150\n[Other]\nkept=1\n");
    QVERIFY(chmod(QFile::encodeName(program.path()).constData(), 0555) == 0);
    struct Restore {
        QString folder;
        ~Restore() { chmod(QFile::encodeName(folder).constData(), 0700); }
    } restore{program.path()};
    QVERIFY(!st::CanCreateFileIn(program.path()));
    QCOMPARE(st::ChooseSettingsPath(program.path(), user.path() + QStringLiteral("/Kestory")), beside);

    // A writable file in a folder that takes no new file: rewritten where it is.
    const st::WindowPlacement placement{10, 20, 300, 200, 1};
    DisplaySettings settings;
    settings.magnify = 250;
    {
        st::SettingsFile file(beside, own);
        QVERIFY(file.WriteAll(placement, settings, QByteArray()));
        QCOMPARE(file.Path(), beside);
        QVERIFY(ReadText(beside).contains("Magnify=250\n"));
        QVERIFY(!QFile::exists(own));
    }

    // Read-only as well: the user's own file takes the write, with the keys of others, and is
    // read from then on.
    QVERIFY(chmod(QFile::encodeName(beside).constData(), 0444) == 0);
    const QByteArray before = ReadText(beside);
    settings.magnify = 300;
    st::SettingsFile file(beside, own);
    QVERIFY(file.WriteAll(placement, settings, QByteArray()));
    QCOMPARE(file.Path(), own);
    QCOMPARE(ReadText(beside), before);
    QVERIFY(ReadText(own).contains("Magnify=300\n"));
    QVERIFY(ReadText(own).contains("kept=1"));
    QCOMPARE(st::ChooseSettingsPath(program.path(), user.path() + QStringLiteral("/Kestory")), own);
    DisplaySettings read;
    file.ReadDisplaySettings(read);
    QCOMPARE(read.magnify, 300);
}

// Opening a pipe for reading waits for a writer: without the check this test hangs until CTest's
// timeout.
void SettingsFileTest::namedPipeIsNeitherReadNorWritten() {
    QTemporaryDir dir;
    const QString path = st::BuildSettingsPath(dir.path());
    QVERIFY(mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    st::SettingsFile file(path);
    QCOMPARE(file.ReadPlacement().state, st::kShowAsCreated);
    DisplaySettings settings;
    settings.magnify = 77;
    file.ReadDisplaySettings(settings);
    QCOMPARE(settings.magnify, 100);
    QVERIFY(file.ReadDockState().isEmpty());
    QVERIFY(!file.WriteAll(st::WindowPlacement{10, 20, 300, 200, 1}, settings, QByteArray()));
    QVERIFY(!file.WriteMainWndInt(st::kMagnify, 120));
    QVERIFY2(!QFileInfo(path).isFile() && QFileInfo::exists(path), "still the pipe");
}

QTEST_GUILESS_MAIN(SettingsFileTest)
#include "SettingsFileTest.moc"
