#include "collection/ThumbnailCache.h"
#include "dialog/DialogUnits.h"
#include "shell/CachePanel.h"
#include "shell/NumberBox.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <opencv2/core.hpp>

#include <sys/mount.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const Rect kBox{0, 0, 237, 237};

// A cache in the folder holding `entries` thumbnails; what it says goes into `said`.
std::unique_ptr<ThumbnailCache> CacheWith(const std::string& file, int entries, std::vector<std::string>& said) {
    ThumbnailCache::Options options;
    options.report = [&said](const std::string& line) { said.push_back(line); };
    auto cache = std::make_unique<ThumbnailCache>(file, options);
    const cv::Mat picture(158, 237, CV_8UC3, cv::Scalar(40, 90, 160));
    for (int i = 0; i < entries; ++i) {
        cache->Keep(FileStamp{"/photos/" + std::to_string(i) + ".jpg", 1, 1}, kBox, PhotoImage{1, picture});
    }
    return cache;
}

std::string Encoded(const QTemporaryDir& dir, const QString& name) {
    return QFile::encodeName(dir.filePath(name)).toStdString();
}

}  // namespace

class CachePanelTest : public QObject {
    Q_OBJECT

private slots:
    void typedBoundSetsTheOpenCache();
    void clearAsksFirst();
    void unusableCacheSaysSoOnce();
};

void CachePanelTest::typedBoundSetsTheOpenCache() {
    QTemporaryDir dir;
    std::vector<std::string> said;
    const auto cache = CacheWith(Encoded(dir, QStringLiteral("thumbnails.sqlite")), 3, said);
    CachePanel panel;
    QCOMPARE(panel.StoredText()->text(), QStringLiteral("---"));
    panel.SetCache(cache.get());
    QCOMPARE(panel.LimitBox()->value(), 2048);
    QVERIFY2(panel.StoredText()->text().endsWith(QStringLiteral(" MiB・3 件")), qPrintable(panel.StoredText()->text()));
    QSignalSpy changed(&panel, &CachePanel::limitChanged);
    const struct {
        const char* typed;
        int mib;
    } rows[] = {{"64", 64}, {"5", 16}, {"3000000", 1 << 20}};
    for (const auto& row : rows) {
        QLineEdit* edit = panel.LimitBox()->findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(row.typed));
        QCOMPARE(cache->MaxBytes(), int64_t{2048} << 20); // not at each digit
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(cache->MaxBytes(), int64_t{row.mib} << 20);
        QCOMPARE(changed.takeLast().at(0).toInt(), row.mib);
        cache->SetMaxBytes(int64_t{2048} << 20);
    }
}

void CachePanelTest::clearAsksFirst() {
    const struct {
        QMessageBox::StandardButton answer;
        const char* shown;
    } rows[] = {{QMessageBox::No, " MiB・2 件"}, {QMessageBox::Yes, " MiB・0 件"}};
    for (const auto& row : rows) {
        QTemporaryDir dir;
        std::vector<std::string> said;
        const auto cache = CacheWith(Encoded(dir, QStringLiteral("thumbnails.sqlite")), 2, said);
        CachePanel panel;
        panel.SetCache(cache.get());
        QString question;
        int defaultButton = 0;
        panel.SetAsk([&](QMessageBox& box) {
            question = box.windowTitle() + QLatin1Char('|') + box.text();
            defaultButton = box.standardButton(box.defaultButton());
            return static_cast<int>(row.answer);
        });
        QTest::mouseClick(panel.ClearButton(), Qt::LeftButton);
        QCOMPARE(question, QStringLiteral("Kestory|サムネイルのキャッシュを消去しますか？"));
        QCOMPARE(defaultButton, static_cast<int>(QMessageBox::No));
        ThumbnailCache::Stored stored;
        QVERIFY(cache->GetStored(stored));
        QCOMPARE(stored.entries, row.answer == QMessageBox::Yes ? 0 : 2);
        QVERIFY(panel.StoredText()->text().endsWith(QString::fromUtf8(row.shown)));
    }
}

// The cache's one line, in the part, below the rows, which make room for it; nothing to clear.
void CachePanelTest::unusableCacheSaysSoOnce() {
    QTemporaryDir dir;
    QVERIFY(QFile(dir.filePath(QStringLiteral("a file"))).open(QIODevice::WriteOnly));
    QDir(dir.path()).mkpath(QStringLiteral("folder/thumbnails.sqlite"));
    QDir(dir.path()).mkpath(QStringLiteral("small"));
    const std::string small = Encoded(dir, QStringLiteral("small"));
    // A file system with no room left: 1 MiB, all of it taken by a filler.
    const bool full = geteuid() == 0 && mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") == 0;
    if (full) {
        QFile filler(QString::fromStdString(small + "/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    const struct {
        const char* what;
        QString file;
        const char* said; // the start of the line; null: none
    } rows[] = {
        {"sound", QStringLiteral("thumbnails.sqlite"), nullptr},
        {"a folder in its place", QStringLiteral("folder/thumbnails.sqlite"), "サムネイルのキャッシュ "},
        {"a file in the folder's place", QStringLiteral("a file/thumbnails.sqlite"), "サムネイルのキャッシュ "},
        {"disk full", QStringLiteral("small/thumbnails.sqlite"), ThumbnailCache::kDiskFull},
    };
    for (const auto& row : rows) {
        if (!full && row.said == ThumbnailCache::kDiskFull) {
            continue; // no file system of our own can be mounted here
        }
        std::vector<std::string> said;
        const auto cache = CacheWith(Encoded(dir, row.file), 0, said);
        CachePanel panel;
        panel.SetCache(cache.get());
        panel.Refresh(); // a second import: still said once
        QCOMPARE(said.size(), row.said != nullptr ? size_t{1} : size_t{0});
        QCOMPARE(panel.ProblemText()->isVisibleTo(&panel), row.said != nullptr);
        QCOMPARE(panel.height() > kestory::DluY(48), row.said != nullptr);
        if (row.said == nullptr) {
            QVERIFY(panel.StoredText()->text().endsWith(QStringLiteral(" MiB・0 件")));
            continue;
        }
        // The line the exporter writes to stderr, without the program's name.
        const QString shown = panel.ProblemText()->text().remove(QChar(0x200B));
        QVERIFY2(shown.startsWith(QString::fromUtf8(row.said)), qPrintable(shown));
        QCOMPARE(shown, QString::fromStdString(said.front()).remove(QRegularExpression(QStringLiteral("^Kestory: "))));
        if (row.said != ThumbnailCache::kDiskFull) {
            QCOMPARE(panel.StoredText()->text(), QStringLiteral("---"));
            bool asked = false;
            panel.SetAsk([&asked](QMessageBox&) { return asked = true, static_cast<int>(QMessageBox::Yes); });
            QTest::mouseClick(panel.ClearButton(), Qt::LeftButton);
            QVERIFY(!asked); // nothing to clear
        }
        QVERIFY(panel.ProblemText()->geometry().bottom() < panel.height());
    }
    if (full) {
        umount(small.c_str());
    }
}

QTEST_MAIN(CachePanelTest)
#include "CachePanelTest.moc"
