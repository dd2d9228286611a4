#include "shell/ImportProgress.h"
#include "collection/CLumivaneDoc.h"
#include "collection/Notifier.h"
#include "shell/QtNotifier.h"
#include "tests/support/JpegBuilder.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <QDir>
#include <QFile>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <vector>

using namespace kestory::test;

namespace {

class ScriptedNotifier : public Notifier {
public:
    std::vector<std::string> texts;
    std::function<void()> onNotify;
    void Notify(const std::string& text, Icon) override {
        texts.push_back(text);
        if (onNotify) {
            onNotify();
        }
    }
};

class PaintCounter : public QWidget {
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

// Every progress dialog that exists, shown or not.
std::vector<QProgressDialog*> ProgressDialogs() {
    std::vector<QProgressDialog*> dialogs;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (auto* dialog = qobject_cast<QProgressDialog*>(window); dialog != nullptr) {
            dialogs.push_back(dialog);
        }
    }
    return dialogs;
}

QProgressDialog* VisibleProgressDialog() {
    for (QProgressDialog* dialog : ProgressDialogs()) {
        if (dialog->isVisible()) {
            return dialog;
        }
    }
    return nullptr;
}

std::vector<std::string> Paths(const CLumivaneDoc& doc) {
    std::vector<std::string> paths;
    for (const auto& photo : doc.Photos()) {
        paths.push_back(photo->path);
    }
    return paths;
}

// Answers the message boxes an import shows as a user would: reads each, ticks its check box
// where told to, and presses OK.
class BoxAnswerer {
public:
    struct Box {
        QString text;
        QString checkBox; // empty: the box has none
        bool progressDialogShown = false;
    };
    std::vector<Box> boxes;
    std::vector<size_t> tickOn; // indexes into boxes

    BoxAnswerer() {
        QObject::connect(&timer, &QTimer::timeout, [this] { Answer(); });
        timer.start(1);
    }

private:
    void Answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        boxes.push_back({box->text(), box->checkBox() ? box->checkBox()->text() : QString(),
                         VisibleProgressDialog() != nullptr});
        if (std::find(tickOn.begin(), tickOn.end(), boxes.size() - 1) != tickOn.end()) {
            QVERIFY(box->checkBox() != nullptr);
            box->checkBox()->setChecked(true);
        }
        box->button(QMessageBox::Ok)->click();
    }

    QTimer timer;
};

} // namespace

class ImportProgressTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(folder.isValid());
        good = folder.filePath(QStringLiteral("good.JPG")).toStdString();
        bad = folder.filePath(QStringLiteral("bad.JPG")).toStdString();
        JpegBuilder photo;
        photo.exposureTime(1, 125).fNumber(8, 1).isoSpeed(400).patternPicture(2000, 1500);
        QVERIFY(photo.writeTo(good));
        QVERIFY(JpegBuilder().noExif().patternPicture(32, 24).writeTo(bad));
    }

    // n photos of their own, links to the good one: the collection charts a file once.
    std::vector<std::string> Goods(size_t n) {
        std::vector<std::string> paths;
        for (size_t i = 0; i < n; ++i) {
            const std::string path =
                folder.filePath(QStringLiteral("good%1.JPG").arg(nextGood++)).toStdString();
            std::filesystem::create_hard_link(good, path);
            paths.push_back(path);
        }
        return paths;
    }

    void shortImportAddsInOrderWithoutADialogAndRepaints() {
        PaintCounter window;
        window.resize(200, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        ScriptedNotifier notifier;
        CLumivaneDoc doc(notifier);
        bool dialogSeen = false;
        notifier.onNotify = [&] { dialogSeen = dialogSeen || VisibleProgressDialog() != nullptr; };
        const std::vector<std::string> goods = Goods(3);
        const std::vector<std::string> paths = {goods[0], bad, goods[1], folder.filePath("missing.JPG").toStdString(),
                                                goods[2]};
        QCOMPARE(ImportWithProgress(doc, paths, &window), 3);
        QCOMPARE(Paths(doc), goods);
        QCOMPARE(notifier.texts,
                 (std::vector<std::string>{bad + "は、Ｅｘｉｆ情報が無いため、読み込めませんでした。",
                                           paths[3] + "の読み込みに失敗しました。"}));
        QVERIFY2(!dialogSeen, "an import this short shows no progress dialog");
        QVERIFY(VisibleProgressDialog() == nullptr);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void refusalWaitingForItsAnswerHasNoProgressDialogBehindIt() {
        // A progress dialog that merely exists shows itself after a few seconds of Qt's own
        // timer, over a message the user has not answered yet; before its time, there is none.
        QWidget window;
        window.show();
        ScriptedNotifier notifier;
        CLumivaneDoc doc(notifier);
        int progressDialogs = -1;
        notifier.onNotify = [&] { progressDialogs = static_cast<int>(ProgressDialogs().size()); };
        ImportProgressOptions options;
        options.showAfter = std::chrono::hours(1);
        const std::vector<std::string> goods = Goods(2);
        QCOMPARE(ImportWithProgress(doc, {bad, goods[0], goods[1]}, &window, options), 2);
        QCOMPARE(progressDialogs, 0);
    }

    void windowsRepaintWhileALongImportRuns() {
        PaintCounter window;
        window.resize(200, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ScriptedNotifier notifier;
        CLumivaneDoc doc(notifier);
        // What a chart view does when something changes on screen.
        QTimer changes;
        QObject::connect(&changes, &QTimer::timeout, &window, [&window] { window.update(); });
        changes.start(5);
        const int paintsBefore = window.paints;
        ImportProgressOptions options;
        options.threads = 1;
        QCOMPARE(ImportWithProgress(doc, Goods(40), &window, options), 40);
        QVERIFY(window.paints > paintsBefore);
    }

    void cancelInTheDialogKeepsTheLoadedPrefix() {
        QWidget window;
        window.show();
        ScriptedNotifier notifier;
        CLumivaneDoc doc(notifier);
        std::vector<std::string> paths = Goods(3);
        paths.push_back(bad);
        const std::vector<std::string> after = Goods(30);
        paths.insert(paths.end(), after.begin(), after.end());

        QString label;
        QString button;
        notifier.onNotify = [&] {
            QProgressDialog* dialog = VisibleProgressDialog();
            QVERIFY(dialog != nullptr);
            label = dialog->labelText();
            auto* cancel = dialog->findChild<QPushButton*>();
            QVERIFY(cancel != nullptr);
            button = cancel->text();
            cancel->click();
        };
        ImportProgressOptions options;
        options.threads = 2;
        options.showAfter = std::chrono::milliseconds(0);
        const int added = ImportWithProgress(doc, paths, &window, options);

        QCOMPARE(button, QStringLiteral("中止"));
        QVERIFY2(label.startsWith(QStringLiteral("画像を読み込んでいます… ")) &&
                     label.section(QLatin1Char('\n'), 0, 0).endsWith(QStringLiteral(" / 34")),
                 qPrintable(label));
        // The three before the refused file, then at most the files in flight (the window, eight a
        // thread).
        QVERIFY2(added >= 3 && added <= 3 + 16, qPrintable(QString::number(added)));
        QCOMPARE(doc.GetCount(), size_t(added));
        QCOMPARE(notifier.texts.size(), size_t(1));
        QVERIFY(VisibleProgressDialog() == nullptr);
        QVERIFY(QApplication::overrideCursor() == nullptr);

        // The program's end stops an import as its "中止" does.
        CLumivaneDoc ending(notifier);
        notifier.onNotify = [] { StopImportsUnderWay(); };
        const int kept = ImportWithProgress(ending, paths, &window, options);
        QVERIFY2(kept >= 3 && kept <= 3 + 16, qPrintable(QString::number(kept)));
        QVERIFY(!ImportUnderWay());

        const struct {
            size_t done;
            double seconds;
            const char* text;
        } paces[] = {
            {0, 3.0, "画像を読み込んでいます… 0 / 200"},  // no pace yet
            {12, 0.0, "画像を読み込んでいます… 12 / 200"},
            {12, 4.0, "画像を読み込んでいます… 12 / 200\n毎秒 3.0 枚、残り約 63 秒"},
            {150, 2.0, "画像を読み込んでいます… 150 / 200\n毎秒 75 枚、残り約 1 秒"},  // 0.67 s up to 1
            {200, 2.0, "画像を読み込んでいます… 200 / 200\n毎秒 100 枚、残り約 0 秒"},
        };
        for (const auto& p : paces) {
            QCOMPARE(ImportProgressText(p.done, 200, p.seconds), QString::fromUtf8(p.text));
        }
    }

    void refusalsGatheredAfterTheTickAreToldOnceAtTheEnd() {
        QWidget window;
        window.show();
        QtNotifier notifier(&window);
        CLumivaneDoc doc(notifier);
        std::vector<std::string> missing;
        for (int i = 0; i < 14; ++i) {
            missing.push_back(folder.filePath(QStringLiteral("missing%1.JPG").arg(i, 2, 10, QLatin1Char('0'))).toStdString());
        }
        // The first refusal is shown and ticked; the 15 after it are gathered.
        const std::vector<std::string> goods = Goods(3);
        std::vector<std::string> paths = {goods[0], bad, goods[1], bad};
        paths.insert(paths.end(), missing.begin(), missing.end() - 1);
        paths.push_back(goods[2]);
        paths.push_back(missing.back());
        paths.push_back(goods[0]);  // given twice: charted once, and the summary says so
        BoxAnswerer user;
        user.tickOn = {0};
        ImportProgressOptions options;
        options.showAfter = std::chrono::milliseconds(0);
        size_t boxesWhenImported = 0;
        options.imported = [&] { boxesWhenImported = user.boxes.size(); };
        QCOMPARE(ImportWithProgress(doc, paths, &window, options), 3);

        QCOMPARE(user.boxes.size(), size_t{2});
        QVERIFY2(boxesWhenImported == 1, "the chart is laid out before the summary is shown");
        QCOMPARE(user.boxes[0].text, QString::fromStdString(bad + "は、Ｅｘｉｆ情報が無いため、読み込めませんでした。"));
        QCOMPARE(user.boxes[0].checkBox, QStringLiteral("この読み込みでは以後表示しない"));
        QStringList summary = {QStringLiteral("15 件のファイルを読み込めませんでした。"), QString(),
                               QString::fromStdString(bad)};
        for (size_t i = 0; i < 9; ++i) {
            summary << QString::fromStdString(missing[i]);
        }
        summary << QStringLiteral("…ほか 5 件") << QString() << QStringLiteral("1 枚は読み込み済みのため追加しませんでした。");
        QCOMPARE(user.boxes[1].text, summary.join(QLatin1Char('\n')));
        QCOMPARE(user.boxes[1].checkBox, QString());
        QVERIFY2(!user.boxes[1].progressDialogShown, "the summary comes after the progress dialog is gone");

        // The next import shows each refusal again; unticked, nothing is gathered.
        user.boxes.clear();
        user.tickOn.clear();
        QCOMPARE(ImportWithProgress(doc, {bad, Goods(1)[0], missing[0]}, &window), 1);
        QCOMPARE(user.boxes.size(), size_t{2});
        QCOMPARE(user.boxes[1].text, QString::fromStdString(missing[0] + "の読み込みに失敗しました。"));
        QCOMPARE(user.boxes[1].checkBox, QStringLiteral("この読み込みでは以後表示しない"));

        // Ticked on the last refusal: nothing left to gather, no summary.
        user.boxes.clear();
        user.tickOn = {1};
        QCOMPARE(ImportWithProgress(doc, {bad, Goods(1)[0], bad}, &window), 1);
        QCOMPARE(user.boxes.size(), size_t{2});
        // Outside an import a message has no check box.
        notifier.Notify("CSV", Notifier::Icon::None);
        QCOMPARE(user.boxes.back().checkBox, QString());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // The scan waits after its first folder until the user has pressed 中止, so the dialog can only
    // show what was found if the window runs while the scan does.
    void folderTreeScanShowsItsCountAndStopsOnCancel() {
        QWidget window;
        window.show();
        QTemporaryDir tree;
        QVERIFY(QDir(tree.path()).mkpath(QStringLiteral("sub")));
        for (const char* name : {"1.JPG", "sub/2.JPG"}) {
            QVERIFY(QFile(tree.filePath(name)).open(QIODevice::WriteOnly));
        }
        std::promise<void> answered;
        FolderTreeScanOptions options;
        options.showAfter = std::chrono::milliseconds(0);
        options.scan = [answer = answered.get_future().share()](const std::string& folder, std::vector<std::string>& found,
                                                                const FolderTreeProgress& progress) {
            return ScanFolderTree(folder, found, [&](size_t folders, size_t count) {
                const bool more = progress(folders, count); // tells the counts
                answer.wait_for(std::chrono::seconds(30)); // only a broken test waits this long
                return more && progress(folders, count);
            });
        };
        QString label;
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            QProgressDialog* dialog = VisibleProgressDialog();
            if (dialog != nullptr && label.isEmpty() && dialog->labelText() == FolderScanProgressText(1, 1)) {
                label = dialog->labelText();
                dialog->findChild<QPushButton*>()->click();
                answered.set_value();
            }
        });
        user.start(1);
        std::vector<std::string> list = {"stale"};
        const FolderTreeScanResult result = ScanFolderTreeWithProgress(tree.path().toStdString(), list, &window, options);
        QCOMPARE(label, QStringLiteral("フォルダを調べています… フォルダ 1 個、ファイル 1 個"));
        QCOMPARE(result.count, -1);
        QVERIFY(result.dialogShown && list.empty());
        QVERIFY(VisibleProgressDialog() == nullptr);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

private:
    QTemporaryDir folder;
    std::string good;
    int nextGood = 0;
    std::string bad;
};

QTEST_MAIN(ImportProgressTest)
#include "ImportProgressTest.moc"
