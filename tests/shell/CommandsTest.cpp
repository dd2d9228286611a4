#include "ShellFakes.h"

#include "chart/CLumivaneView.h"
#include "collection/CLumivaneDoc.h"
#include "shell/CAboutDlg.h"
#include "shell/CMainFrame.h"
#include "shell/ChartCommands.h"
#include "shell/QtNotifier.h"
#include "shell/ShellDialogs.h"
#include "tests/support/JpegBuilder.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using kestory::test::CameraLikeJpeg;
using kestory::test::JpegBuilder;

namespace {

bool Start(ProgramRun& run) {
    return run.app->InitInstance({QStringLiteral("kestory")}) &&
           QTest::qWaitForWindowExposed(run.app->MainFrame());
}

// Whether a file name passes the dialog's filter, as the dialog's file list decides it.
bool FilterTakes(const QFileDialog& dialog, const QString& name) {
    const QString filter = dialog.nameFilters().value(0);
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
    void cancelledOrEmptyChoicesDoNothing();
    void saveShootingData();
    void fileDialogsMatchWithoutCase_data();
    void fileDialogsMatchWithoutCase();
    void messageBoxes();
    void aboutBox();
    void helpDocumentFromTheWorkingDirectory();
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

void CommandsTest::cancelledOrEmptyChoicesDoNothing() {
    QTemporaryDir program;
    QTemporaryDir empty;
    QVERIFY(QFile(empty.filePath(QStringLiteral("Y.TXT"))).open(QIODevice::WriteOnly));
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    CMainFrame* frame = run.app->MainFrame();
    frame->Action(CMainFrame::kFileOpen)->trigger();
    frame->Action(CMainFrame::kFileOpenFolder)->trigger();
    run.dialogs.folder = empty.path();
    frame->Action(CMainFrame::kFileOpenFolder)->trigger();
    QCOMPARE(run.dialogs.asked, 3);
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
}

void CommandsTest::fileDialogsMatchWithoutCase_data() {
    QTest::addColumn<bool>("photos");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("listed");
    QTest::newRow("JPG") << true << "A.JPG" << true;
    QTest::newRow("jpg") << true << "b.jpg" << true;
    QTest::newRow("Jpg") << true << "c.Jpg" << true;
    QTest::newRow("jpeg") << true << "d.jpeg" << false;
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

void CommandsTest::helpDocumentFromTheWorkingDirectory() {
    QTemporaryDir program;
    QTemporaryDir withHelp;
    QTemporaryDir withoutHelp;
    QVERIFY(QFile(withHelp.filePath(ChartCommands::HelpDocumentName())).open(QIODevice::WriteOnly));
    // Beside the program it does not count.
    QVERIFY(QFile(program.filePath(ChartCommands::HelpDocumentName())).open(QIODevice::WriteOnly));
    ProgramRun run(program.path());
    QVERIFY(Start(run));
    const QString before = QDir::currentPath();
    QAction* help = run.app->MainFrame()->Action(CMainFrame::kHelp);

    QVERIFY(QDir::setCurrent(withoutHelp.path()));
    help->trigger();
    QVERIFY(run.dialogs.opened.isEmpty());
    QVERIFY(run.notifier.messages.empty());

    QVERIFY(QDir::setCurrent(withHelp.path()));
    help->trigger();
    QVERIFY(QDir::setCurrent(before));
    QCOMPARE(run.dialogs.opened.size(), 1);
    QCOMPARE(run.dialogs.opened[0], QUrl::fromLocalFile(withHelp.filePath(QStringLiteral("Kestoryヘルプ.rtf"))));
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
