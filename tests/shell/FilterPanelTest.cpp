#include "ShellFakes.h"

#include "chart/CLumivaneView.h"
#include "collection/CLumivaneDoc.h"
#include "shell/CDlgBarFilter.h"
#include "shell/CDlgBarStatistics.h"
#include "tests/support/JpegBuilder.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QDateEdit>
#include <QDockWidget>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

using kestory::test::JpegBuilder;
using kestory::test::kExifDirectory;

namespace {

struct Photo {
    const char* name;
    const char* model;  // "" none
    uint32_t focal;     // mm, 0 none
    uint16_t iso;
    const char* date;   // nullptr none
    uint32_t timeDen;   // 1/timeDen s at F8: where it lies on the chart
};

// Five photos of two cameras, and one without a model.
const Photo kPhotos[] = {
    {"A.JPG", "EOS R5", 50, 100, "2023:01:05 10:00:00", 125},
    {"B.JPG", "EOS R5", 200, 800, "2023:06:10 10:00:00", 250},
    {"C.JPG", "X-T4", 50, 3200, nullptr, 500},
    {"D.JPG", "X-T4", 24, 400, "2022:12:31 10:00:00", 1000},
    {"E.JPG", "", 0, 1600, "2024:01:01 10:00:00", 2000},
};

// The chart and the filter panel in a window, the document filled with kPhotos and laid out.
struct FilterBench {
    FilterBench() {
        view = new CLumivaneView(doc);
        window.setCentralWidget(view);
        panel = new CDlgBarFilter(*view);
        dock = new QDockWidget(QStringLiteral("絞り込みパネル"), &window);
        dock->setWidget(panel);
        window.addDockWidget(Qt::RightDockWidgetArea, dock);
        stats = new CDlgBarStatistics(*view, dialogs, notifier);
        auto* statsDock = new QDockWidget(QStringLiteral("統計パネル"), &window);
        statsDock->setWidget(stats);
        window.addDockWidget(Qt::LeftDockWidgetArea, statsDock);
        window.resize(1500, 700);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window)) {
            qWarning("the window was not exposed");
        }
        for (const Photo& p : kPhotos) {
            Add(p);
        }
        view->LayoutPhotos();
        view->InvalidateChart();
    }
    void Add(const Photo& p) {
        JpegBuilder b;
        b.exposureTime(1, p.timeDen).fNumber(8, 1).isoSpeed(p.iso).patternPicture(32, 24);
        if (*p.model != 0) {
            b.model(p.model);
        }
        if (p.focal != 0) {
            b.rational(kExifDirectory, 0x920A, p.focal, 1);
        }
        if (p.date != nullptr) {
            b.ascii(kExifDirectory, 0x9003, p.date);
        }
        const std::string path = dir.filePath(QString::fromLatin1(p.name)).toStdString();
        QVERIFY(b.writeTo(path));
        QCOMPARE(doc.AddPhoto(path), 1);
    }
    QStringList Entries(FilterList list) const {
        QStringList texts;
        const QListWidget* widget = panel->List(list);
        for (int i = 0; i < widget->count(); ++i) {
            texts << widget->item(i)->text() + (widget->item(i)->checkState() == Qt::Checked ? "*" : "");
        }
        return texts;
    }
    // Toggles an entry's check box the way the keyboard does.
    void Toggle(FilterList list, int row) {
        QListWidget* widget = panel->List(list);
        widget->setCurrentRow(row);
        QTest::keyClick(widget, Qt::Key_Space);
    }
    // The names of the photos the chart answers to, in collection order.
    QString Hit() const {
        QString names;
        for (size_t i = 0; i < doc.GetCount(); ++i) {
            const Rect& r = doc.GetAt(i).drawRect;
            const PhotoItem* hit = doc.PhotoAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
            names += hit == &doc.GetAt(i) ? QString::fromStdString(doc.GetAt(i).path).right(5).left(1) : "";
        }
        return names;
    }

    // A click in the middle of a bar of the statistics panel.
    void ClickBar(int index, Qt::KeyboardModifiers keys = {}) {
        const StatBin& bin = stats->Histogram().bins[static_cast<size_t>(index)];
        const Rect r = stats->Layout().Bar(static_cast<size_t>(index), 1, 1);
        QTest::mouseClick(stats->ChartArea(), Qt::LeftButton, keys, QPoint((r.left + r.right) / 2, r.bottom - 2));
        QVERIFY(!bin.label.empty());
    }
    QStringList Bars() const {
        QStringList bars;
        for (const StatBin& bin : stats->Histogram().bins) {
            bars << QStringLiteral("%1 %2/%3%4")
                        .arg(QString::fromStdString(bin.label))
                        .arg(bin.count)
                        .arg(bin.selected)
                        .arg(bin.chosen ? "*" : "");
        }
        return bars;
    }

    QTemporaryDir dir;
    RecordingNotifier notifier;
    FakeDialogs dialogs;
    CLumivaneDoc doc{notifier};
    QMainWindow window;
    CLumivaneView* view = nullptr;
    CDlgBarFilter* panel = nullptr;
    QDockWidget* dock = nullptr;
    CDlgBarStatistics* stats = nullptr;
};

}  // namespace

class FilterPanelTest : public QObject {
    Q_OBJECT
private slots:
    void listsCountUnderTheOtherCriteria();
    void rangesAndShowAll();
    void followsImportsAndDeleteAll();
    void typedNumbersAndDates();
    void statisticsBarsFilterTheChart();
};

void FilterPanelTest::statisticsBarsFilterTheChart() {
    FilterBench b;
    QCOMPARE(b.Bars(), (QStringList{"24 mm 1/0", "50 mm 2/0", "200 mm 1/0", "不明 1/0"}));
    b.ClickBar(1);
    QCOMPARE(b.Hit(), QStringLiteral("AC"));
    QCOMPARE(b.Bars(), (QStringList{"24 mm 1/0", "50 mm 2/0*", "200 mm 1/0", "不明 1/0"}));
    QVERIFY(b.panel->StatBinsText()->isVisible());
    QCOMPARE(b.panel->StatBinsText()->text(), QStringLiteral("統計: 焦点距離: 50 mm"));
    QCOMPARE(b.panel->StatusText()->text(), QStringLiteral("2 / 5 枚"));
    // Another criterion of the filter panel keeps the bars.
    b.Toggle(kFilterCamera, 1);
    QCOMPARE(b.Hit(), QStringLiteral("C"));
    b.Toggle(kFilterCamera, 1);
    b.ClickBar(0, Qt::ShiftModifier);
    QCOMPARE(b.Hit(), QStringLiteral("ACD"));
    QTest::mouseClick(b.panel->ShowAllButton(), Qt::LeftButton);
    QCOMPARE(b.Hit(), QStringLiteral("ABCDE"));
    QVERIFY(!b.panel->StatBinsText()->isVisible());

    // Another value; the selection counted over the bars.
    b.stats->ValueBox()->setCurrentIndex(static_cast<int>(StatValue::Camera));
    b.doc.SelectPhotos({&b.doc.GetAt(0), &b.doc.GetAt(2)}, false);
    b.view->InvalidateChart();
    QCOMPARE(b.Bars(), (QStringList{"EOS R5 2/1", "X-T4 2/1", "不明 1/0"}));

    // The files: every bin's line, and the picture as drawn.
    b.dialogs.saveFile = b.dir.filePath(QStringLiteral("bins.csv"));
    QTest::mouseClick(b.stats->CsvButton(), Qt::LeftButton);
    QFile csv(b.dialogs.saveFile);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll(), QByteArray("\x8b\xe6\x95\xaa,\x96\x87\x90\x94,\x8a\x84\x8d\x87 (%)\r\n"
                                       "EOS R5,2,40.0\r\nX-T4,2,40.0\r\n\x95\x73\x96\xbe,1,20.0\r\n"));
    for (const char* name : {"bars.png", "bars.svg"}) {
        b.dialogs.saveFile = b.dir.filePath(QString::fromLatin1(name));
        QTest::mouseClick(b.stats->ImageButton(), Qt::LeftButton);
        // An SVG reader takes its own resolution for the millimetres the file gives.
        const QImage image(b.dialogs.saveFile);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() > image.height());
    }
    QVERIFY(b.notifier.messages.empty());

    // The focal list of 35 mm equivalents: none of these photos tells one.
    b.panel->Focal35Box()->setChecked(true);
    QCOMPARE(b.Entries(kFilterFocal), (QStringList{"（なし） (5)"}));
}

void FilterPanelTest::listsCountUnderTheOtherCriteria() {
    FilterBench b;
    QCOMPARE(b.Entries(kFilterCamera), (QStringList{"EOS R5 (2)", "X-T4 (2)", "（なし） (1)"}));
    QCOMPARE(b.Entries(kFilterFocal), (QStringList{"24 mm (1)", "50 mm (2)", "200 mm (1)", "（なし） (1)"}));
    QCOMPARE(b.Entries(kFilterLens), (QStringList{"（なし） (5)"}));
    QCOMPARE(b.panel->StatusText()->text(), QStringLiteral("5 / 5 枚"));
    QCOMPARE(b.Hit(), QStringLiteral("ABCDE"));

    b.Toggle(kFilterCamera, 1);  // X-T4
    QCOMPARE(b.Entries(kFilterCamera), (QStringList{"EOS R5 (2)", "X-T4 (2)*", "（なし） (1)"}));
    QCOMPARE(b.Entries(kFilterFocal), (QStringList{"24 mm (1)", "50 mm (1)", "200 mm (0)", "（なし） (0)"}));
    QCOMPARE(b.panel->StatusText()->text(), QStringLiteral("2 / 5 枚"));
    QCOMPARE(b.Hit(), QStringLiteral("CD"));

    b.Toggle(kFilterFocal, 1);  // 50 mm, AND X-T4
    QCOMPARE(b.Entries(kFilterCamera), (QStringList{"EOS R5 (1)", "X-T4 (1)*", "（なし） (0)"}));
    QCOMPARE(b.panel->StatusText()->text(), QStringLiteral("1 / 5 枚"));
    QCOMPARE(b.Hit(), QStringLiteral("C"));

    b.Toggle(kFilterCamera, 0);  // EOS R5 or X-T4
    QCOMPARE(b.Hit(), QStringLiteral("AC"));
    b.Toggle(kFilterCamera, 1);
    b.Toggle(kFilterCamera, 0);  // nothing checked: any camera
    QCOMPARE(b.Hit(), QStringLiteral("AC"));
    QCOMPARE(b.Entries(kFilterFocal), (QStringList{"24 mm (1)", "50 mm (2)*", "200 mm (1)", "（なし） (1)"}));
}

void FilterPanelTest::rangesAndShowAll() {
    FilterBench b;
    QSpinBox* isoFrom = b.panel->IsoFrom();
    QCOMPARE(isoFrom->text(), QStringLiteral("指定なし"));
    isoFrom->setFocus();
    isoFrom->selectAll();
    QTest::keyClicks(isoFrom, QStringLiteral("800"));
    QCOMPARE(b.doc.ShownCount(), size_t(5));  // nothing until the number is complete
    QTest::keyClick(isoFrom, Qt::Key_Return);
    QCOMPARE(b.panel->StatusText()->text(), QStringLiteral("3 / 5 枚"));
    QCOMPARE(b.Hit(), QStringLiteral("BCE"));
    QCOMPARE(b.panel->UndatedBox()->text(), QStringLiteral("日付なし (1)"));

    // An unset edit's calendar opens at the photos' first (or last) month, not at its 1900.
    for (QDateEdit* edit : {b.panel->DateFrom(), b.panel->DateTo()}) {
        QCalendarWidget* calendar = edit->calendarWidget();
        calendar->window()->show();
        QCOMPARE(calendar->yearShown() * 100 + calendar->monthShown(), edit == b.panel->DateFrom() ? 202212 : 202401);
        calendar->window()->hide();
    }
    b.panel->DateFrom()->setDate(QDate(2023, 1, 1));
    b.panel->DateTo()->setDate(QDate(2023, 12, 31));
    QCOMPARE(b.Hit(), QStringLiteral("BC"));  // C has no date: under 日付なし, still checked
    b.panel->UndatedBox()->click();
    QCOMPARE(b.Hit(), QStringLiteral("B"));
    QCOMPARE(b.panel->UndatedBox()->text(), QStringLiteral("日付なし (1)"));
    b.Toggle(kFilterCamera, 0);
    QCOMPARE(b.panel->StatusText()->text(), QStringLiteral("1 / 5 枚"));

    QTest::mouseClick(b.panel->ShowAllButton(), Qt::LeftButton);
    QVERIFY(b.doc.Filter().IsEmpty());
    QCOMPARE(b.Hit(), QStringLiteral("ABCDE"));
    QCOMPARE(isoFrom->value(), 0);
    QCOMPARE(b.panel->DateFrom()->text(), QStringLiteral("指定なし"));
    QVERIFY(b.panel->UndatedBox()->isChecked());
    QCOMPARE(b.Entries(kFilterCamera), (QStringList{"EOS R5 (2)", "X-T4 (2)", "（なし） (1)"}));
}

void FilterPanelTest::followsImportsAndDeleteAll() {
    FilterBench b;
    b.Toggle(kFilterCamera, 0);  // EOS R5
    QCOMPARE(b.panel->StatusText()->text(), QStringLiteral("2 / 5 枚"));

    // A hidden panel is brought up to date when it is shown again.
    b.dock->hide();
    b.Add({"F.JPG", "EOS R5", 35, 200, nullptr, 60});
    b.Add({"G.JPG", "Z 9", 35, 200, nullptr, 30});
    b.view->LayoutPhotos();
    b.view->InvalidateChart();
    QCOMPARE(b.doc.ShownCount(), size_t(3));  // the new EOS R5 photo passes at once
    b.dock->show();
    QTRY_COMPARE(b.panel->StatusText()->text(), QStringLiteral("3 / 7 枚"));
    QCOMPARE(b.Entries(kFilterCamera), (QStringList{"EOS R5 (3)*", "X-T4 (2)", "Z 9 (1)", "（なし） (1)"}));

    // 画像の全削除 ends the filter with the photos.
    b.panel->IsoTo()->setValue(1000);
    b.doc.RemoveAllPhotos();
    b.view->InvalidateChart();
    QCOMPARE(b.panel->StatusText()->text(), QStringLiteral("0 / 0 枚"));
    QCOMPARE(b.panel->IsoTo()->value(), 0);
    QCOMPARE(b.panel->List(kFilterCamera)->count(), 0);
    b.Add(kPhotos[2]);
    b.view->InvalidateChart();
    QCOMPARE(b.panel->StatusText()->text(), QStringLiteral("1 / 1 枚"));
}

void FilterPanelTest::typedNumbersAndDates() {
    FilterBench b;
    FilterDateEdit* from = b.panel->DateFrom();
    FilterDateEdit* to = b.panel->DateTo();
    // Keys into a box showing "指定なし" (or what the row before left), then Enter or Tab.
    struct Typing {
        QAbstractSpinBox* box;
        const char* keys;
        Qt::Key end;
        const char* shown;
        const char* filter;  // ISO and date bounds the document took
    };
    const Typing rows[] = {
        {b.panel->IsoFrom(), "800", Qt::Key_Return, "800", "800- -"},
        {b.panel->IsoTo(), "9999999", Qt::Key_Tab, "999999", "800-999999 -"},  // cut to the range
        {from, "20081022", Qt::Key_Return, "2008/10/22", "800-999999 20081022-"},
        // The very date typing starts from (the first of January of the hint's year).
        {to, "20220101", Qt::Key_Tab, "2022/01/01", "800-999999 20081022-20220101"},
        {from, "", Qt::Key_Delete, "指定なし", "800-999999 -20220101"},
        {from, "", Qt::Key_Up, "2022/12/31", "800-999999 20221231-20220101"},  // from the photos' dates
        {to, "", Qt::Key_Delete, "指定なし", "800-999999 20221231-"},
        {to, "", Qt::Key_Up, "2024/01/01", "800-999999 20221231-20240101"},
    };
    const auto text = [](const std::optional<int32_t>& bound) { return bound ? QString::number(*bound) : QString(); };
    for (const Typing& row : rows) {
        row.box->setFocus();
        QTest::keyClicks(row.box, QString::fromUtf8(row.keys));
        QTest::keyClick(row.box, row.end);
        QCOMPARE(row.box->text(), QString::fromUtf8(row.shown));
        const PhotoFilter& f = b.doc.Filter();
        QCOMPARE(QStringLiteral("%1-%2 %3-%4").arg(text(f.iso.min), text(f.iso.max), text(f.dates.min), text(f.dates.max)),
                 QString::fromUtf8(row.filter));
    }
    // The calendar speaks Japanese whatever the desktop does.
    QCOMPARE(from->calendarWidget()->locale().language(), QLocale::Japanese);
}

QTEST_MAIN(FilterPanelTest)
#include "FilterPanelTest.moc"
