#include "collection/ThumbnailCache.h"
#include "dialog/DialogUnits.h"
#include "shell/CachePanel.h"
#include "shell/NumberBox.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <opencv2/core.hpp>

#include <memory>
#include <string>
#include <vector>

// A panel over a real cache file in its own folder, holding two thumbnails where it can.
struct CacheBench {
    explicit CacheBench(const QString& name = QStringLiteral("thumbnails.sqlite")) {
        QDir(dir.path()).mkpath(QStringLiteral("folder/thumbnails.sqlite"));
        (void)QFile(dir.filePath(QStringLiteral("a file"))).open(QIODevice::WriteOnly);
        ThumbnailCache::Options options;
        options.report = [this](const std::string& line) { said.push_back(line); };
        cache = std::make_unique<ThumbnailCache>(QFile::encodeName(dir.filePath(name)).toStdString(), options);
        const cv::Mat picture(158, 237, CV_8UC3, cv::Scalar(40, 90, 160));
        for (const char* path : {"/photos/1.jpg", "/photos/2.jpg"}) {
            cache->Keep(FileStamp{path, 1, 1}, Rect{0, 0, 237, 237}, PhotoImage{1, picture});
        }
        panel.SetCache(cache.get());
    }
    QTemporaryDir dir;
    std::vector<std::string> said;
    std::unique_ptr<ThumbnailCache> cache;
    CachePanel panel;
};

class CachePanelTest : public QObject {
    Q_OBJECT

private slots:
    void typedBoundSetsTheOpenCache();
    void clearAsksFirst();
    void unusableCacheSaysSoOnce();
};

void CachePanelTest::typedBoundSetsTheOpenCache() {
    CacheBench bench;
    QCOMPARE(bench.panel.LimitBox()->value(), 2048);
    QVERIFY(bench.panel.StoredText()->text().endsWith(QStringLiteral(" MiB・2 件")));
    QSignalSpy changed(&bench.panel, &CachePanel::limitChanged);
    QLineEdit* edit = bench.panel.LimitBox()->findChild<QLineEdit*>();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("64"));
    QCOMPARE(bench.cache->MaxBytes(), int64_t{2048} << 20); // not at each digit
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(bench.cache->MaxBytes(), int64_t{64} << 20);
    QCOMPARE(changed.takeLast().at(0).toInt(), 64);
}

void CachePanelTest::clearAsksFirst() {
    for (const auto& [answer, entries] : {std::pair{QMessageBox::No, 2}, std::pair{QMessageBox::Yes, 0}}) {
        CacheBench bench;
        QString question;
        bench.panel.SetAsk([&, answer = answer](QMessageBox& box) {
            question = box.windowTitle() + QLatin1Char('|') + box.text() + QLatin1Char('|') +
                       QString::number(box.standardButton(box.defaultButton()));
            return static_cast<int>(answer);
        });
        QTest::mouseClick(bench.panel.ClearButton(), Qt::LeftButton);
        QCOMPARE(question, QStringLiteral("Kestory|サムネイルのキャッシュを消去しますか？|%1").arg(QMessageBox::No));
        ThumbnailCache::Stored stored;
        QVERIFY(bench.cache->GetStored(stored));
        QCOMPARE(stored.entries, entries);
        QVERIFY(bench.panel.StoredText()->text().endsWith(QStringLiteral(" MiB・%1 件").arg(entries)));
    }
}

// The cache's one line (the exporter's on stderr, without the program's name) below the rows,
// which make room for it; no size, and nothing to clear.
void CachePanelTest::unusableCacheSaysSoOnce() {
    for (const char* file : {"folder/thumbnails.sqlite", "a file/thumbnails.sqlite"}) {
        CacheBench bench(QString::fromUtf8(file));
        bench.panel.Refresh(); // a second import
        QCOMPARE(bench.said.size(), size_t{1});
        const QString shown = bench.panel.ProblemText()->text().remove(QChar(0x200B));
        QCOMPARE(QStringLiteral("Kestory: ") + shown, QString::fromStdString(bench.said.front()));
        QVERIFY(bench.panel.ProblemText()->isVisibleTo(&bench.panel));
        QVERIFY(bench.panel.ProblemText()->geometry().bottom() < bench.panel.height());
        QVERIFY(bench.panel.height() > kestory::DluY(48));
        QCOMPARE(bench.panel.StoredText()->text(), QStringLiteral("---"));
        bool asked = false;
        bench.panel.SetAsk([&asked](QMessageBox&) { return asked = true, static_cast<int>(QMessageBox::Yes); });
        QTest::mouseClick(bench.panel.ClearButton(), Qt::LeftButton);
        QVERIFY(!asked);
    }
    CacheBench sound;
    QVERIFY(sound.said.empty());
    QVERIFY(!sound.panel.ProblemText()->isVisibleTo(&sound.panel));
    QCOMPARE(sound.panel.height(), kestory::DluY(48));
}

QTEST_MAIN(CachePanelTest)
#include "CachePanelTest.moc"
