#include "ShellFakes.h"

#include "chart/CLumivaneView.h"
#include "chart/ChartImage.h"
#include "chart/ChartOutput.h"
#include "cli/ExportOptions.h"
#include "collection/CLumivaneDoc.h"
#include "collection/OutputFile.h"
#include "shell/CMainFrame.h"
#include "tests/support/JpegBuilder.h"

#include <QAction>
#include <QClipboard>
#include <QDockWidget>
#include <QDir>
#include <QFile>
#include <QPageSize>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

using kestory::test::JpegBuilder;
namespace out = kestory::chartout;

namespace {

QRect ToQRect(const Rect& r) {
    return {r.left, r.top, r.width(), r.height()};
}

std::vector<QRect> DrawRects(const CLumivaneDoc& doc) {
    std::vector<QRect> rects;
    for (size_t i = 0; i < doc.GetCount(); ++i) {
        rects.push_back(ToQRect(doc.GetAt(i).drawRect));
    }
    return rects;
}

// The PDF without the moment it was written, so two prints of the same page compare equal.
QByteArray PdfWithoutDates(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QByteArray bytes = file.readAll();
    static const QRegularExpression date(QStringLiteral("/CreationDate \\(D:[^)]*\\)"));
    return QString::fromLatin1(bytes).remove(date).toLatin1();
}

// The page sizes of a PDF in points, from its MediaBox entries.
QList<QSizeF> PdfPages(const QByteArray& pdf) {
    QList<QSizeF> pages;
    static const QRegularExpression box(QStringLiteral("/MediaBox \\[\\s*0\\s+0\\s+([0-9.]+)\\s+([0-9.]+)\\s*\\]"));
    auto it = box.globalMatch(QString::fromLatin1(pdf));
    while (it.hasNext()) {
        const auto m = it.next();
        pages.append(QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()));
    }
    return pages;
}

QList<QSizeF> PdfPages(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? PdfPages(file.readAll()) : QList<QSizeF>();
}

void PdfPrinter(QPrinter& printer, const QString& path) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setResolution(600);
}

}  // namespace

class ChartOutputTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void pageViewport_data();
    void pageViewport();
    void copyAtHalfSizeInALargerWindow();
    void copyAfterScrollingAtDoubleSize();
    void printAt250IsThePageAt100();
    void portraitChoiceStillPrintsLandscape();
    void cancelledPrintChangesNothing();
    void printThatCannotStartIsReported();
    void previewLaysOutAt100UntilClosed();
    void exporterWritesThePrintedPage();

private:
    CMainFrame* frame() const { return run->app->MainFrame(); }
    CLumivaneDoc& doc() const { return run->app->Document(); }
    void setMagnify(int magnify);

    QTemporaryDir photos;
    QTemporaryDir program;
    std::unique_ptr<ProgramRun> run;
};

void ChartOutputTest::initTestCase() {
    const struct {
        const char* name;
        uint32_t exposureDenominator;
        uint32_t fTenths;
    } shots[] = {{"a.jpg", 125, 80}, {"b.jpg", 30, 28}, {"c.jpg", 4000, 160}, {"d.jpg", 2, 220}};
    for (const auto& shot : shots) {
        QVERIFY(JpegBuilder()
                    .exposureTime(1, shot.exposureDenominator)
                    .fNumber(shot.fTenths, 10)
                    .isoSpeed(200)
                    .patternPicture(120, 90)
                    .writeTo(photos.filePath(QLatin1String(shot.name)).toStdString()));
    }
}

void ChartOutputTest::init() {
    run = std::make_unique<ProgramRun>(program.path());
    QVERIFY(run->app->InitInstance({QStringLiteral("kestory")}));
    QVERIFY(QTest::qWaitForWindowExposed(frame()));
    QTRY_VERIFY(!doc().settings.evCaption.empty());
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) {
        QCOMPARE(doc().AddPhoto(photos.filePath(QLatin1String(name)).toStdString()), 1);
    }
    frame()->View().LayoutPhotos();
}

void ChartOutputTest::cleanup() {
    run.reset();
    QFile::remove(program.filePath(QStringLiteral("Kestory.dat")));
}

void ChartOutputTest::setMagnify(int magnify) {
    doc().settings.magnify = magnify;
    frame()->View().LayoutPhotos();
    frame()->View().UpdateScrollSizes();
}

void ChartOutputTest::pageViewport_data() {
    QTest::addColumn<QPageSize>("paper");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<QRect>("viewport");
    QTest::newRow("A4 at 600 dpi") << QPageSize(QPageSize::A4) << 600 << QRect(0, 0, 7015, 4960);
    QTest::newRow("A4 at 1200 dpi") << QPageSize(QPageSize::A4) << 1200 << QRect(0, 0, 14031, 9921);
    QTest::newRow("Letter at 300 dpi") << QPageSize(QPageSize::Letter) << 300 << QRect(0, 0, 3300, 2550);
    QTest::newRow("A3 at 72 dpi") << QPageSize(QPageSize::A3) << 72 << QRect(0, 0, 1190, 841);
    QTest::newRow("unknown paper") << QPageSize() << 600 << QRect(0, 0, 6000, 4000);
}

void ChartOutputTest::pageViewport() {
    QFETCH(QPageSize, paper);
    QFETCH(int, dpi);
    // Whatever the orientation, the long side runs across.
    for (const auto orientation : {QPageLayout::Landscape, QPageLayout::Portrait}) {
        const QPageLayout layout(paper, orientation, QMarginsF());
        QTEST(out::PageViewport(layout, dpi, QRect(0, 0, 6000, 4000)), "viewport");
    }
}

void ChartOutputTest::copyAtHalfSizeInALargerWindow() {
    frame()->InfoDock()->hide();
    frame()->ControlDock()->hide();
    frame()->resize(700, 500);
    setMagnify(50);
    CLumivaneView& view = frame()->View();
    QTRY_VERIFY(view.viewport()->width() > 375 && view.viewport()->height() > 260);
    frame()->Action(CMainFrame::kEditCopy)->trigger();
    const QImage copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(copied.size(), view.viewport()->size());

    const QImage chart = RenderChartImage(doc()).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(chart.size(), QSize(375, 260));
    QCOMPARE(copied.copy(QRect(QPoint(0, 0), chart.size())), chart);
    for (const QRect beyond : {QRect(375, 0, copied.width() - 375, copied.height()),
                               QRect(0, 260, copied.width(), copied.height() - 260)}) {
        const QImage part = copied.copy(beyond);
        QImage white(part.size(), QImage::Format_RGB32);
        white.fill(Qt::white);
        QCOMPARE(part, white);
    }
}

void ChartOutputTest::copyAfterScrollingAtDoubleSize() {
    frame()->resize(900, 650);
    setMagnify(200);
    CLumivaneView& view = frame()->View();
    QTRY_VERIFY(view.horizontalScrollBar()->maximum() > 0 && view.verticalScrollBar()->maximum() > 0);
    view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum());
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    const QPoint scroll = view.ScrollPosition();
    QVERIFY(scroll.x() > 0 && scroll.y() > 0);

    QCOMPARE(out::CopyViewToClipboard(view, QGuiApplication::clipboard()), 0);
    const QImage copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(copied.size(), view.viewport()->size());
    const QImage chart = RenderChartImage(doc()).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(chart.size(), QSize(1500, 1040));
    // The lower-right part: the viewport ends where the chart ends.
    QCOMPARE(scroll + QPoint(copied.width(), copied.height()), QPoint(1500, 1040));
    QCOMPARE(copied, chart.copy(QRect(scroll, copied.size())));
    QCOMPARE(out::CopyViewToClipboard(view, nullptr), -1);
}

void ChartOutputTest::printAt250IsThePageAt100() {
    QTemporaryDir pdfs;
    setMagnify(250);
    const std::vector<QRect> before = DrawRects(doc());
    QPrinter at250(QPrinter::HighResolution);
    PdfPrinter(at250, pdfs.filePath(QStringLiteral("250.pdf")));
    QVERIFY(out::PrintChart(frame()->View(), at250));
    QCOMPARE(doc().settings.magnify, 250);
    QVERIFY(DrawRects(doc()) == before);

    setMagnify(100);
    QPrinter at100(QPrinter::HighResolution);
    PdfPrinter(at100, pdfs.filePath(QStringLiteral("100.pdf")));
    QVERIFY(out::PrintChart(frame()->View(), at100));

    const QByteArray page250 = PdfWithoutDates(pdfs.filePath(QStringLiteral("250.pdf")));
    QVERIFY(page250.size() > 1000);
    QCOMPARE(page250, PdfWithoutDates(pdfs.filePath(QStringLiteral("100.pdf"))));
    const QList<QSizeF> pages = PdfPages(pdfs.filePath(QStringLiteral("250.pdf")));
    QCOMPARE(pages.size(), 1);
    QVERIFY(pages[0].width() > pages[0].height());
}

void ChartOutputTest::portraitChoiceStillPrintsLandscape() {
    QTemporaryDir pdfs;
    const QString path = pdfs.filePath(QStringLiteral("chart.pdf"));
    setMagnify(150);
    run->dialogs.onPrintDialog = [&path](QPrinter& printer) {
        PdfPrinter(printer, path);
        printer.setPageOrientation(QPageLayout::Portrait);
    };
    frame()->Action(CMainFrame::kFilePrint)->trigger();
    const QList<QSizeF> pages = PdfPages(path);
    QCOMPARE(pages.size(), 1);
    QVERIFY2(pages[0].width() > pages[0].height(), "landscape");
    QCOMPARE(doc().settings.magnify, 150);
}

void ChartOutputTest::cancelledPrintChangesNothing() {
    setMagnify(250);
    const std::vector<QRect> before = DrawRects(doc());
    run->dialogs.printAccepted = false;
    frame()->Action(CMainFrame::kFilePrint)->trigger();
    QCOMPARE(run->dialogs.asked, 1);
    QCOMPARE(doc().settings.magnify, 250);
    QVERIFY(DrawRects(doc()) == before);
}

void ChartOutputTest::printThatCannotStartIsReported() {
    QTemporaryDir pdfs;
    setMagnify(250);
    const std::vector<QRect> before = DrawRects(doc());
    run->dialogs.onPrintDialog = [&pdfs](QPrinter& printer) {
        PdfPrinter(printer, pdfs.filePath(QStringLiteral("missing/chart.pdf")));
    };
    frame()->Action(CMainFrame::kFilePrint)->trigger();
    QCOMPARE(run->notifier.messages.size(), size_t(1));
    QCOMPARE(QString::fromStdString(run->notifier.messages[0].text), QStringLiteral("印刷を開始できませんでした。"));
    QCOMPARE(int(run->notifier.messages[0].icon), int(Notifier::Icon::Warning));
    QCOMPARE(doc().settings.magnify, 250);
    QVERIFY(DrawRects(doc()) == before);
}

void ChartOutputTest::previewLaysOutAt100UntilClosed() {
    QTemporaryDir pdfs;
    setMagnify(300);
    const std::vector<QRect> before = DrawRects(doc());
    int magnifyDuring = 0;
    std::vector<QRect> rectsDuring;
    run->dialogs.onPreview = [&](QPrinter& printer, const std::function<void(QPrinter&)>& paint) {
        magnifyDuring = doc().settings.magnify;
        rectsDuring = DrawRects(doc());
        PdfPrinter(printer, pdfs.filePath(QStringLiteral("preview.pdf")));
        printer.setPageOrientation(QPageLayout::Portrait);  // the preview's own switch
        paint(printer);
    };
    frame()->Action(CMainFrame::kFilePrintPreview)->trigger();
    QCOMPARE(magnifyDuring, 100);
    QVERIFY(rectsDuring != before);
    QCOMPARE(doc().settings.magnify, 300);
    QVERIFY(DrawRects(doc()) == before);
    const QList<QSizeF> pages = PdfPages(pdfs.filePath(QStringLiteral("preview.pdf")));
    QCOMPARE(pages.size(), 1);
    QVERIFY(pages[0].width() > pages[0].height());
}

void ChartOutputTest::exporterWritesThePrintedPage() {
    const ParsedCommandLine parsed = ParseExportOptions({"--pdf", "chart.pdf", "a.jpg"});
    QCOMPARE(int(parsed.status), int(ParsedCommandLine::Status::Run));
    QCOMPARE(parsed.options.pdfPath, std::string("chart.pdf"));
    QVERIFY(parsed.options.csvPath.empty());
    QCOMPARE(int(ParseExportOptions({"--pdf", "a.pdf", "--pdf", "b.pdf", "a.jpg"}).status),
             int(ParsedCommandLine::Status::UsageError));

    RecordingNotifier quiet;
    CLumivaneDoc exported(quiet);
    QCOMPARE(exported.AddPhoto(photos.filePath(QStringLiteral("a.jpg")).toStdString()), 1);
    exported.settings.magnify = 250;
    QByteArray pdf;
    QVERIFY(out::DrawChartPdf(exported, pdf));
    QCOMPARE(exported.settings.magnify, 100);
    QVERIFY(!exported.settings.evCaption.empty());
    const QList<QSizeF> pages = PdfPages(pdf);
    QCOMPARE(pages.size(), 1);
    QVERIFY(pages[0].width() > pages[0].height());
    // Put in place as the exporter does: nothing beside it, and nothing at all where the folder is
    // missing.
    QTemporaryDir pdfs;
    const std::string bytes = pdf.toStdString();
    QCOMPARE(WriteOutputFile(pdfs.filePath(QStringLiteral("chart.pdf")).toStdString(), bytes).result, 1);
    QCOMPARE(QDir(pdfs.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("chart.pdf")});
    QCOMPARE(WriteOutputFile(pdfs.filePath(QStringLiteral("missing/chart.pdf")).toStdString(), bytes).result, 0);
    QVERIFY(!QFile::exists(pdfs.filePath(QStringLiteral("missing/chart.pdf"))));
}

QTEST_MAIN(ChartOutputTest)
#include "ChartOutputTest.moc"
