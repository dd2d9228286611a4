#include "ShellFakes.h"

#include "chart/CLumivaneView.h"
#include "collection/CLumivaneDoc.h"
#include "shell/CAboutDlg.h"
#include "shell/CMainFrame.h"
#include "shell/ChartCommands.h"
#include "shell/HelpDocument.h"
#include "shell/QtNotifier.h"
#include "shell/ShellDialogs.h"
#include "tests/support/JpegBuilder.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using kestory::test::CameraLikeJpeg;
using kestory::test::JpegBuilder;

namespace {

bool Start(ProgramRun& run) {
    return run.app->InitInstance({QStringLiteral("kestory")}) &&
           QTest::qWaitForWindowExposed(run.app->MainFrame());
}

// Whether a file name passes the dialog's filter, as the dialog's file list decides it.
bool FilterTakes(const QFileDialog& dialog, const QString& name, int filterIndex = 0) {
    const QString filter = dialog.nameFilters().value(filterIndex);
    const QRegularExpression lastGroup(QStringLiteral("\\(([^()]*)\\)$"));
    const QStringList patterns = lastGroup.match(filter).captured(1).split(u' ', Qt::SkipEmptyParts);
    for (const QString& pattern : patterns) {
        if (QRegularExpression::fromWildcard(pattern, Qt::CaseSensitive).match(name).hasMatch()) {
            return true;
        }
    }
    return false;
}

}  // namespace

class CommandsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void openFilesAddsChosenPhotosInOrder();
    void openFolderTakesItsJpegFilesInNameOrder();
    void openFolderTreeTakesEveryFolderBelow();
    void cancelledOrEmptyChoicesDoNothing();
    void saveShootingData();
    void saveSelectedShootingDataWritesOnlyTheSelection();
    void fileDialogsMatchWithoutCase_data();
    void fileDialogsMatchWithoutCase();
    void openDialogsSecondFilterTakesEveryPhotoKind();
    void folderImportTakesOtherKindsOnlyWhenTheMenuItemIsChecked();
    void messageBoxes();
    void aboutBox();
    void helpCommandOpensTheWorkingDirectorysDocument();
    void helpDocumentSearch_data();
    void helpDocumentSearch();
    void editKeys();

private:
    QTemporaryDir photos;
};

void CommandsTest::initTestCase() {
    QVERIFY(CameraLikeJpeg().writeTo(photos.filePath(QStringLiteral("b.jpg")).toStdString()));
    QVERIFY(JpegBuilder().exposureTime(1, 60).fNumber(4, 1).isoSpeed(200).patternPicture(40, 30).writeTo(
        photos.filePath(QStringLiteral("A.JPG")).toStdString()));
    QVERIFY(JpegBuilder().noExif().patternPicture(40, 30).writeTo(photos.filePath(QStringLiteral("10.Jpg")).toStdString()));
    QVERIFY(QDir(photos.path()).mkdir(QStringLiteral("sub.JPG")));
}

void CommandsTest::openFilesAddsChosenPhotosInOrder() {
    QTemporaryDir program;
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    run.dialogs.photoFiles = {photos.filePath(QStringLiteral("b.jpg")), photos.filePath(QStringLiteral("10.Jpg")),
                              photos.filePath(QStringLiteral("A.JPG"))};
    run.app->MainFrame()->Action(CMainFrame::kFileOpen)->trigger();
    const CLumivaneDoc& doc = run.app->Document();
    QCOMPARE(doc.GetCount(), size_t(2));
    QCOMPARE(QString::fromStdString(doc.GetAt(0).path), photos.filePath(QStringLiteral("b.jpg")));
    QCOMPARE(QString::fromStdString(doc.GetAt(1).path), photos.filePath(QStringLiteral("A.JPG")));
    QCOMPARE(run.notifier.messages.size(), size_t(1));
    QVERIFY(QString::fromStdString(run.notifier.messages[0].text).startsWith(photos.filePath(QStringLiteral("10.Jpg"))));
    QVERIFY(doc.GetAt(1).drawRect.width() > 0);
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void CommandsTest::openFolderTakesItsJpegFilesInNameOrder() {
    QTemporaryDir program;
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    run.dialogs.folder = photos.path();
    run.app->MainFrame()->Action(CMainFrame::kFileOpenFolder)->trigger();
    const CLumivaneDoc& doc = run.app->Document();
    // In the order of the upper-cased names: 10.JPG (refused: no EXIF), A.JPG, B.JPG; the folder
    // named sub.JPG is no photo.
    QCOMPARE(doc.GetCount(), size_t(2));
    QVERIFY(QString::fromStdString(doc.GetAt(0).path).endsWith(QStringLiteral("/A.JPG"), Qt::CaseInsensitive));
    QVERIFY(QString::fromStdString(doc.GetAt(1).path).endsWith(QStringLiteral("/B.JPG"), Qt::CaseInsensitive));
    QCOMPARE(run.notifier.messages.size(), size_t(1));
    QVERIFY(QString::fromStdString(run.notifier.messages[0].text).contains(QStringLiteral("/10.JPG"), Qt::CaseInsensitive));
}

void CommandsTest::openFolderTreeTakesEveryFolderBelow() {
    QTemporaryDir tree;
    QStringList expected;
    for (const char* name : {"Z.JPG", "a/A.JPG", "a/deep/D.JPG", "b/B.jpg", ".cache/C.JPG"}) {
        QVERIFY(QDir(tree.path()).mkpath(QFileInfo(tree.filePath(name)).path()));
        QVERIFY(CameraLikeJpeg().writeTo(tree.filePath(name).toStdString()));
        expected << tree.filePath(name);
    }
    expected.removeLast(); // hidden folders are not gone into
    QTemporaryDir program;
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    run.dialogs.folder = tree.path();
    run.app->MainFrame()->Action(CMainFrame::kFileOpenFolderTree)->trigger();
    QStringList paths;
    for (const auto& photo : run.app->Document().Photos())
        paths << QString::fromStdString(photo->path);
    QCOMPARE(paths, expected);
    QVERIFY(run.app->Document().GetAt(3).drawRect.width() > 0);
    QVERIFY(run.notifier.messages.empty());
}

void CommandsTest::cancelledOrEmptyChoicesDoNothing() {
    QTemporaryDir program;
    QTemporaryDir empty;
    QVERIFY(QFile(empty.filePath(QStringLiteral("Y.TXT"))).open(QIODevice::WriteOnly));
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    CMainFrame* frame = run.app->MainFrame();
    frame->Action(CMainFrame::kFileOpen)->trigger();
    frame->Action(CMainFrame::kFileOpenFolder)->trigger();
    frame->Action(CMainFrame::kFileOpenFolderTree)->trigger();
    run.dialogs.folder = empty.path();
    QVERIFY(QDir(empty.path()).mkpath(QStringLiteral("sub/deeper")));
    frame->Action(CMainFrame::kFileOpenFolder)->trigger();
    frame->Action(CMainFrame::kFileOpenFolderTree)->trigger();
    QCOMPARE(run.dialogs.asked, 5);
    QCOMPARE(run.app->Document().GetCount(), size_t(0));
    QVERIFY(run.notifier.messages.empty());
}

void CommandsTest::saveShootingData() {
    QTemporaryDir program;
    QTemporaryDir out;
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    QAction* save = run.app->MainFrame()->Action(CMainFrame::kSaveShootingData);

    // No photos: told so, no dialog.
    save->trigger();
    QCOMPARE(run.dialogs.asked, 0);
    QCOMPARE(run.notifier.messages.size(), size_t(1));
    QCOMPARE(run.notifier.messages[0].text, std::string("画像ファイルを読み込んでから実行してください"));
    QCOMPARE(run.notifier.messages[0].icon, Notifier::Icon::None);

    QCOMPARE(run.app->Document().AddPhoto(photos.filePath(QStringLiteral("A.JPG")).toStdString()), 1);
    // Cancelled: nothing written, nothing said.
    save->trigger();
    QCOMPARE(run.dialogs.asked, 1);
    QCOMPARE(run.notifier.messages.size(), size_t(1));

    run.dialogs.csvFile = out.filePath(QStringLiteral("撮影.CSV"));
    save->trigger();
    QVERIFY(QFile::exists(run.dialogs.csvFile));
    QCOMPARE(run.notifier.messages.size(), size_t(1));

    run.dialogs.csvFile = out.filePath(QStringLiteral("missing/x.CSV"));
    save->trigger();
    QCOMPARE(run.notifier.messages.size(), size_t(2));
    QCOMPARE(run.notifier.messages[1].text, std::string("ＣＳＶファイルの保存に失敗しました。"));
    QCOMPARE(run.notifier.messages[1].icon, Notifier::Icon::Warning);

    // The photos the filter shows: the ISO 400 one of two; none shown is as no photo.
    QCOMPARE(run.app->Document().AddPhoto(photos.filePath(QStringLiteral("b.jpg")).toStdString()), 1);
    PhotoFilter filter;
    filter.iso = {400, 400};
    run.app->Document().SetFilter(filter);
    run.dialogs.csvFile = out.filePath(QStringLiteral("filtered.CSV"));
    save->trigger();
    QFile written(run.dialogs.csvFile);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = written.readAll().split('\n');
    QCOMPARE(lines.size(), 3);  // header, b.jpg, and nothing after the last line end
    QVERIFY(lines[1].startsWith("b.jpg,"));
    filter.iso = {1, 1};
    run.app->Document().SetFilter(filter);
    const int asked = run.dialogs.asked;
    save->trigger();
    QCOMPARE(run.dialogs.asked, asked);
    QCOMPARE(run.notifier.messages.back().text, std::string("画像ファイルを読み込んでから実行してください"));
}

void CommandsTest::saveSelectedShootingDataWritesOnlyTheSelection() {
    QTemporaryDir program;
    QTemporaryDir out;
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    CLumivaneDoc& doc = run.app->Document();
    CLumivaneView& view = run.app->MainFrame()->View();
    QAction* save = run.app->MainFrame()->Action(CMainFrame::kSaveSelectedShootingData);
    for (const char* name : {"b.jpg", "A.JPG"}) {
        QCOMPARE(doc.AddPhoto(photos.filePath(QString::fromLatin1(name)).toStdString()), 1);
    }
    view.LayoutPhotos();
    save->trigger();
    QVERIFY(!save->isEnabled());
    QCOMPARE(run.dialogs.asked, 0);

    // A band dragged over A.JPG on the chart.
    const Rect r = doc.GetAt(1).drawRect;
    view.horizontalScrollBar()->setValue(r.left - 20);
    view.verticalScrollBar()->setValue(r.top - 20);
    const QPoint from = QPoint(r.left - 6, r.top - 6) - view.ScrollPosition();
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(view.viewport(), from + QPoint(16, 16));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, from + QPoint(16, 16));
    QVERIFY(save->isEnabled());
    run.dialogs.csvFile = out.filePath(QStringLiteral("selected.CSV"));
    save->trigger();
    QFile file(run.dialogs.csvFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 3);  // the header, A.JPG's line, and nothing after the last line end
    QVERIFY(lines[1].startsWith("A.JPG,"));

    // Ended elsewhere: the menu shows the command disabled as it opens.
    doc.ClearSelection();
    emit run.app->MainFrame()->menuBar()->actions().at(1)->menu()->aboutToShow();
    QVERIFY(!save->isEnabled());
}

void CommandsTest::fileDialogsMatchWithoutCase_data() {
    QTest::addColumn<bool>("photos");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("listed");
    QTest::newRow("JPG") << true << "A.JPG" << true;
    QTest::newRow("jpg") << true << "b.jpg" << true;
    QTest::newRow("Jpg") << true << "c.Jpg" << true;
    QTest::newRow("jpeg") << true << "d.jpeg" << true;
    QTest::newRow("JPE") << true << "d.JPE" << true;
    QTest::newRow("Jfif") << true << "d.Jfif" << true;
    QTest::newRow("jpeg.bak") << true << "d.jpeg.bak" << false;
    QTest::newRow("text") << true << "e.txt" << false;
    QTest::newRow("CSV") << false << "a.CSV" << true;
    QTest::newRow("csv") << false << "a.csv" << true;
    QTest::newRow("jpg for csv") << false << "a.jpg" << false;
}

void CommandsTest::fileDialogsMatchWithoutCase() {
    QFETCH(bool, photos);
    QFETCH(QString, name);
    const auto dialog = photos ? kestory::dialogs::MakeOpenPhotosDialog(nullptr) : kestory::dialogs::MakeSaveCsvDialog(nullptr);
    QTEST(FilterTakes(*dialog, name), "listed");
    QVERIFY(dialog->testOption(QFileDialog::HideNameFilterDetails));
    QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
    QCOMPARE(dialog->defaultSuffix(), photos ? QStringLiteral("JPG") : QStringLiteral("CSV"));
    QCOMPARE(dialog->fileMode(), photos ? QFileDialog::ExistingFiles : QFileDialog::AnyFile);
    QCOMPARE(dialog->acceptMode(), photos ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    QVERIFY(dialog->nameFilters().value(0).startsWith(photos ? QStringLiteral("画像ファイル(*.JPG) (")
                                                             : QStringLiteral("CSVファイル(*.CSV) (")));
}

void CommandsTest::openDialogsSecondFilterTakesEveryPhotoKind() {
    const auto dialog = kestory::dialogs::MakeOpenPhotosDialog(nullptr);
    QCOMPARE(dialog->nameFilters().size(), 2);
    QVERIFY(dialog->nameFilters().value(1).startsWith(
        QStringLiteral("すべての写真 (*.JPG *.HEIC *.HEIF *.HIF *.DNG *.CR2 *.NEF *.ARW *.PEF *.ORF *.RW2 *.SRW *.CR3 *.RAF *.CRW *.MRW *.X3F *.NRW *.3FR *.IIQ *.ERF *.MOS *.DCR *.KDC *.SRF *.SR2) (")));
    for (const char* name : {"a.JPG", "b.jpg", "b.JPEG", "b.jpe", "b.jfif", "c.heic", "d.HEIF", "e.Hif", "f.dng", "g.CR2", "h.nef", "i.ARW",
                             "j.pef", "k.ORF", "l.rw2", "m.SRW", "n.cr3", "o.RAF", "p.x3f"}) {
        QVERIFY2(FilterTakes(*dialog, QString::fromLatin1(name), 1), name);
    }
    for (const char* name : {"c.jp", "d.rw3", "e.TIF"}) {
        QVERIFY2(!FilterTakes(*dialog, QString::fromLatin1(name), 1), name);
    }
}

// The check item starts unchecked, is kept in the settings file, and makes the folder import take
// the HEIF and raw files beside the JPEG files.
void CommandsTest::folderImportTakesOtherKindsOnlyWhenTheMenuItemIsChecked() {
    QTemporaryDir program;
    QTemporaryDir folder;
    QVERIFY(CameraLikeJpeg().writeTo(folder.filePath(QStringLiteral("a.JPG")).toStdString()));
    QVERIFY(kestory::test::WriteBytes(
        folder.filePath(QStringLiteral("b.dng")).toStdString(),
        kestory::test::BuildRawLike(CameraLikeJpeg(), {{kestory::test::PreviewPlace::Strip,
                                                         kestory::test::EncodeJpeg(kestory::test::PatternPicture(40, 30))}})));
    {
        ProgramRun run(program.path());
        QVERIFY(Start(run));
        QAction* item = run.app->MainFrame()->Action(CMainFrame::kScanAllKinds);
        QVERIFY(item != nullptr && item->isCheckable() && !item->isChecked());
        QCOMPARE(item->text(), QStringLiteral("JPEG 以外の写真もフォルダから読み込む"));
        run.dialogs.folder = folder.path();
        run.app->MainFrame()->Action(CMainFrame::kFileOpenFolder)->trigger();
        QCOMPARE(run.app->Document().GetCount(), size_t(1));
        item->setChecked(true);
        run.app->MainFrame()->Action(CMainFrame::kFileOpenFolder)->trigger();
        // a.JPG is charted already: only the raw file is added.
        QCOMPARE(run.app->Document().GetCount(), size_t(2));
        QVERIFY(run.notifier.messages.empty());
    }
    ProgramRun again(program.path());
    QVERIFY(Start(again));
    QVERIFY(again.app->MainFrame()->Action(CMainFrame::kScanAllKinds)->isChecked());
}

void CommandsTest::messageBoxes() {
    const auto plain = QtNotifier::MakeBox("<b>x.jpg</b>の読み込みに失敗しました。", Notifier::Icon::None, nullptr);
    QCOMPARE(plain->windowTitle(), QStringLiteral("Kestory"));
    QCOMPARE(plain->text(), QStringLiteral("<b>x.jpg</b>の読み込みに失敗しました。"));
    QCOMPARE(plain->textFormat(), Qt::PlainText);
    QCOMPARE(plain->icon(), QMessageBox::NoIcon);
    QCOMPARE(plain->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    const auto warning = QtNotifier::MakeBox("ＣＳＶファイルの保存に失敗しました。", Notifier::Icon::Warning, nullptr);
    QCOMPARE(warning->icon(), QMessageBox::Warning);
}

void CommandsTest::aboutBox() {
    CAboutDlg about;
    QCOMPARE(about.windowTitle(), QStringLiteral("バージョン情報"));
    QCOMPARE(about.VersionText(), QStringLiteral("Kestory Version 1, 0, 3, 1"));
    QCOMPARE(about.size(), QSize(352, 89));
    const QLabel* icon = about.findChild<QLabel*>(QStringLiteral("icon"));
    QVERIFY(icon != nullptr);
    QVERIFY(!icon->pixmap().isNull());
    QVERIFY(!about.findChild<QLabel*>(QStringLiteral("notice"))->text().isEmpty());
    QPushButton* ok = about.findChild<QPushButton*>();
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());

    QTemporaryDir program;
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    run.app->MainFrame()->Action(CMainFrame::kAppAbout)->trigger();
    QCOMPARE(run.dialogs.aboutShown, 1);
}

void CommandsTest::helpCommandOpensTheWorkingDirectorysDocument() {
    QTemporaryDir program;
    QTemporaryDir withHelp;
    QTemporaryDir withoutHelp;
    QVERIFY(QFile(withHelp.filePath(kestory::help::RtfName())).open(QIODevice::WriteOnly));
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    const QString before = QDir::currentPath();
    QAction* help = run.app->MainFrame()->Action(CMainFrame::kHelp);

    QVERIFY(QDir::setCurrent(withHelp.path()));
    help->trigger();
    QVERIFY(QDir::setCurrent(withoutHelp.path()));
    help->trigger();
    QVERIFY(QDir::setCurrent(before));
    QCOMPARE(run.dialogs.opened, QList<QUrl>{QUrl::fromLocalFile(withHelp.filePath(QStringLiteral("Kestoryヘルプ.rtf")))});
    // Not found anywhere: said so, with the working directory among the places looked in.
    QCOMPARE(run.notifier.messages.size(), size_t(1));
    const QString said = QString::fromStdString(run.notifier.messages[0].text);
    QVERIFY2(said.startsWith(QStringLiteral("ヘルプ文書 Kestoryヘルプ.rtf が見つかりません。")), qPrintable(said));
    QVERIFY(said.contains(QDir(withoutHelp.path()).canonicalPath()) || said.contains(withoutHelp.path()));
    QCOMPARE(run.notifier.messages[0].icon, Notifier::Icon::Warning);
}

// A program installed as <root>/prefix/bin/kestory, started in <root>/work. Files are named
// "<folder>/<rtf|html>". The desktop's opener is a stand-in xdg-open first on PATH that exits with
// the status "exits" gives a document's kind ("rtf 3"), 0 for the others; "cannot start" makes it
// a file that cannot be run.
void CommandsTest::helpDocumentSearch_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("exits");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("message");  // its first line, empty for none
    const QString none;
    const QString notFound = QStringLiteral("ヘルプ文書 Kestoryヘルプ.rtf が見つかりません。");
    const QString noRtfProgram = QStringLiteral("ヘルプ文書 Kestoryヘルプ.rtf を開くプログラムがありません。");
    const QStringList all{"work/rtf", "share/html"};
    QTest::newRow("working dir first") << QStringList{"work/rtf", "bin/rtf", "share/rtf"} << QStringList{} << "work/rtf" << none;
    QTest::newRow("beside program") << QStringList{"bin/rtf", "share/rtf"} << QStringList{} << "bin/rtf" << none;
    QTest::newRow("installed share") << QStringList{"share/rtf", "share/html"} << QStringList{} << "share/rtf" << none;
    QTest::newRow("folder of that name") << QStringList{"work/rtf/", "share/rtf"} << QStringList{} << "share/rtf" << none;
    QTest::newRow("no RTF program: HTML") << all << QStringList{"rtf 3"} << "share/html" << none;
    QTest::newRow("RTF program failed: HTML") << all << QStringList{"rtf 4"} << "share/html" << none;
    QTest::newRow("HTML only") << QStringList{"bin/html"} << QStringList{} << "bin/html" << none;
    QTest::newRow("nothing found") << QStringList{} << QStringList{} << none << notFound;
    QTest::newRow("no program at all") << all << QStringList{"rtf 3", "html 3"} << none << noRtfProgram;
    QTest::newRow("no RTF program, no HTML") << QStringList{"work/rtf"} << QStringList{"rtf 3"} << none << noRtfProgram;
    QTest::newRow("opener cannot start") << all << QStringList{"cannot start"} << none << noRtfProgram;
}

void CommandsTest::helpDocumentSearch() {
    QFETCH(QStringList, files);
    QFETCH(QStringList, exits);
    QFETCH(QString, opened);
    QFETCH(QString, message);
    QTemporaryDir root;
    const QMap<QString, QString> folders{{"work", root.filePath("work")},
                                         {"bin", root.filePath("prefix/bin")},
                                         {"share", root.filePath("prefix/share/kestory")},
                                         {"desktop", root.filePath("desktop")}};
    for (const QString& folder : folders) {
        QVERIFY(QDir().mkpath(folder));
    }
    const auto pathOf = [&](const QString& file) {
        const QString kind = file.section(u'/', 1, 1);
        return QDir(folders[file.section(u'/', 0, 0)])
            .filePath(kind == u"rtf" ? kestory::help::RtfName() : kestory::help::HtmlName());
    };
    for (const QString& file : files) {
        QVERIFY(file.endsWith(u'/') ? QDir().mkdir(pathOf(file)) : QFile(pathOf(file)).open(QIODevice::WriteOnly));
    }
    QFile opener{QDir(folders["desktop"]).filePath(QStringLiteral("xdg-open"))};
    QVERIFY(opener.open(QIODevice::WriteOnly));
    QString script = QStringLiteral("#!/bin/sh\ncase \"$1\" in\n");
    for (const QString& exit : exits) {
        script += QStringLiteral("*.%1) exit %2 ;;\n").arg(exit.section(u' ', 0, 0), exit.section(u' ', 1, 1));
    }
    script += QStringLiteral("esac\n");
    opener.write(exits.contains(QStringLiteral("cannot start")) ? "#!/nonexistent/sh\n" : script.toUtf8());
    opener.close();
    QVERIFY(opener.setPermissions(opener.permissions() | QFile::ExeOwner));

    const QStringList searched = kestory::help::SearchFolders(folders["work"], folders["bin"]);
    QCOMPARE(searched, (QStringList{folders["work"], folders["bin"], folders["share"]}));
    QCOMPARE(kestory::help::SearchFolders(folders["bin"], folders["bin"]), (QStringList{folders["bin"], folders["share"]}));

    const QByteArray searchPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(folders["desktop"]) + ':' + searchPath);
    const auto restorePath = qScopeGuard([&searchPath] { qputenv("PATH", searchPath); });
    QList<QUrl> tried;
    RecordingNotifier notifier;
    QtShellDialogs desktop;
    QObject context;
    std::optional<bool> shown;
    kestory::help::ShowHelp(
        searched,
        [&](const QUrl& url, const kestory::help::Opened& done) {
            tried.append(url);
            desktop.OpenDocument(url, &context, done);
        },
        notifier, [&](bool answer) { shown = answer; });
    QTRY_VERIFY(shown.has_value());
    QCOMPARE(*shown, !opened.isEmpty());
    if (!opened.isEmpty()) {
        QCOMPARE(tried.constLast(), QUrl::fromLocalFile(pathOf(opened)));
    }
    QCOMPARE(notifier.messages.size(), size_t(message.isEmpty() ? 0 : 1));
    if (!message.isEmpty()) {
        const QString said = QString::fromStdString(notifier.messages[0].text);
        QCOMPARE(said.section(u'\n', 0, 0), message);
        // The message names where it looked, or the documents that found no program.
        const QStringList named = tried.isEmpty() ? searched : QStringList{tried.constFirst().toLocalFile()};
        for (const QString& path : named) {
            QVERIFY2(said.contains(path), qPrintable(said));
        }
    }
}

void CommandsTest::editKeys() {
    QTemporaryDir program;
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    CMainFrame* frame = run.app->MainFrame();
    frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame));
    QClipboard* clipboard = QGuiApplication::clipboard();

    clipboard->setText(QStringLiteral("before"));
    QTest::keyClick(frame, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(frame, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(clipboard->text(), QStringLiteral("before"));
    QVERIFY(clipboard->image().isNull());

    QTest::keyClick(frame, Qt::Key_Insert, Qt::ControlModifier);
    QCOMPARE(clipboard->image().size(), frame->View().viewport()->size());
    clipboard->clear();
    QTest::keyClick(frame, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->image().size(), frame->View().viewport()->size());
}

QTEST_MAIN(CommandsTest)
#include "CommandsTest.moc"
