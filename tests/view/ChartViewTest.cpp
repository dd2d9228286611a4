#include "chart/CLumivaneView.h"
#include "chart/ChartGeometry.h"
#include "chart/ChartImage.h"
#include "chart/ChartOutput.h"
#include "chart/ChartRender.h"
#include "chart/IsoSpeed.h"
#include "chart/PictureDrawing.h"
#include "chart/QtCanvas.h"
#include "tests/chart/ChartFixtures.h"
#include "tests/support/OneByOneCanvas.h"
#include "tests/support/JpegBuilder.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <QColor>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QScrollBar>
#include <QtTest>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

bool IsGrey(QRgb p) {
    return qRed(p) == 192 && qGreen(p) == 192 && qBlue(p) == 192;
}
bool IsWhite(QRgb p) {
    return (p & 0xffffff) == 0xffffff;
}
bool IsRed(QRgb p) {
    return qRed(p) == 255 && qGreen(p) == 0 && qBlue(p) == 0;
}
bool IsDark(QRgb p) {
    return qGray(p) < 128;
}

int DarkPixels(const QImage& image, const Rect& box) {
    int dark = 0;
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x) {
            dark += IsDark(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return dark;
}

// Three photos in mark mode or as thumbnails, laid out for the document's magnification.
struct Scene {
    ChartTestDoc t;
    std::vector<PhotoItem*> photos;

    Scene(int32_t magnify, int32_t viewType) {
        t.doc.settings.magnify = magnify;
        t.doc.settings.viewType = viewType;
        ApplyIsoIndex(t.doc.settings, 1);
        photos.push_back(&t.Add(MakeChartPhoto(1, 125, 56, 10, 237, 158)));
        photos.push_back(&t.Add(MakeChartPhoto(1, 45, 9, 1, 158, 237)));
        photos.push_back(&t.Add(MakeChartPhoto(2, 1, 28, 10, 237, 237)));
        LayoutPhotos(t.doc);
    }
    CLumivaneDoc& doc() { return t.doc; }
};

// The same photos twice, with stacks of equal and of different shapes: laid out as the chart is
// (display pictures made when a paint needs them), and with every display picture fitted at once
// into its cell, as the layout did before.
struct LazyAndEager {
    ChartTestDoc lazy;
    ChartTestDoc eager;

    explicit LazyAndEager(int32_t magnify) {
        for (ChartTestDoc* t : {&lazy, &eager}) {
            t->doc.settings.magnify = magnify;
            cv::RNG random(11);
            for (int i = 0; i < 90; ++i) {
                const bool portrait = i % 3 == 1;
                PhotoItem& photo = t->Add(MakeChartPhoto(1, 1 << (i % 9), 10 + 13 * (i % 7), 10,
                                                         portrait ? 158 : 237, portrait ? 237 : 158));
                random.fill(photo.thumbnail.image, cv::RNG::UNIFORM, 0, 256);
            }
        }
        LayoutPhotos(lazy.doc);
        const int32_t half = ScaleToView(eager.doc.settings.sizePict, magnify) / 2;
        for (const auto& photo : eager.doc.Photos()) {
            const ChartPoint c = PositionOnChart(*photo, magnify);
            photo->FitDisplayImage({c.x - half, c.y - half, c.x + half, c.y + half});
        }
    }
};

// The largest difference of a colour channel between two pictures of one size; 256 for sizes apart.
int MaxChannelDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return 256;
    }
    int most = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                             std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return most;
}

// The chart of the document with its selection, scrolled by (dx, dy), through either canvas.
template <typename CanvasType>
QImage PaintedWithSelection(const CLumivaneDoc& doc, int dx, int dy) {
    const ChartScrollSizes sizes = ScrollSizesFor(doc.settings.magnify);
    QImage image(sizes.total.width - dx, sizes.total.height - dy, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.translate(-dx, -dy);
    const Rect exposed{dx, dy, sizes.total.width, sizes.total.height};
    CanvasType canvas(painter, false);
    PaintChart(canvas, doc, &exposed);
    DrawSelection(canvas, doc, &exposed);
    return image;
}

// The same photo files imported twice: once into records that keep their thumbnails, once through
// a picture cache that holds three of the thumbnails, so a paint of all of them makes most again.
struct KeptAndOnDemand {
    kestory::test::TempDir dir;
    std::vector<std::string> paths;
    ChartTestDoc kept;
    ChartTestDoc onDemand;
    static constexpr size_t kBound = 3 * 237 * 178 * 3;

    explicit KeptAndOnDemand(int32_t magnify) {
        cv::RNG random(5);
        for (int i = 0; i < 24; ++i) {
            cv::Mat picture(i % 3 == 1 ? 320 : 240, i % 3 == 1 ? 240 : 320, CV_8UC3);
            random.fill(picture, cv::RNG::UNIFORM, 0, 256);
            paths.push_back(dir / ("P" + std::to_string(i) + ".JPG"));
            kestory::test::JpegBuilder()
                .exposureTime(1, 1u << (i % 9))
                .fNumber(10 + 13 * (i % 7), 10)
                .isoSpeed(100)
                .picture(picture)
                .writeTo(paths.back());
        }
        for (const std::string& path : paths) {
            auto photo = std::make_unique<PhotoItem>();
            if (photo->Load(path, PhotoItem::kModeThumbnail) == 0) {
                kept.Add(std::move(photo));
            }
        }
        onDemand.doc.Pictures().SetBound(kBound);
        onDemand.doc.AddPhotos(paths, 1);
        for (ChartTestDoc* t : {&kept, &onDemand}) {
            t->doc.settings.magnify = magnify;
            LayoutPhotos(t->doc);
        }
    }
};

QImage PrintedPage(const CLumivaneDoc& doc) {
    QImage page(1500, 1040, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.setWindow(0, 0, 750, 520);
    QtCanvas canvas(painter, true);
    PaintChart(canvas, doc);
    return page;
}

} // namespace

class ChartViewTest : public QObject {
    Q_OBJECT

private slots:
    void labelFontIsElevenPixelsAtNinetySixDpi();
    void renderedChartShowsGridMarksAndTexts();
    void renderedThumbnailsShowTheirPictures();
    void paintingInPiecesEqualsOnePaint_data();
    void paintingInPiecesEqualsOnePaint();
    void scrollRangesFollowTheMagnification();
    void scrolledViewShowsThatPartOfTheChart();
    void windowLargerThanChartIsWhiteBeyondIt();
    void highDensityPaintKeepsTheLayoutAndOnePixelLines();
    void stepwiseScrollingLeavesTheScreenAsAFullPaint();
    void printerLabelsAreEightPointsOnPaper();
    void opaqueBgraPicturesDrawAsTheirColours();
    void skippingHiddenPicturesChangesNoPixel();
    void lazyDisplayPicturesPaintAsEagerOnes_data();
    void lazyDisplayPicturesPaintAsEagerOnes();
    void batchedMarksPaintAsOneByOne_data();
    void batchedMarksPaintAsOneByOne();
    void picturesOnDemandPaintAsKeptOnes_data();
    void picturesOnDemandPaintAsKeptOnes();
};

void ChartViewTest::labelFontIsElevenPixelsAtNinetySixDpi() {
    QImage image(10, 10, QImage::Format_RGB32);
    image.setDotsPerMeterY(3780); // 96 dpi
    image.setDotsPerMeterX(3780);
    QPainter painter(&image);
    QtCanvas canvas(painter, false);
    QCOMPARE(canvas.LabelFont(80).pixelSize(), 11);
    QCOMPARE(canvas.LabelFont(40).pixelSize(), 5); // 5.33 at magnify 50
    QCOMPARE(canvas.LabelFont(320).pixelSize(), 43);
    QCOMPARE(QFontInfo(canvas.LabelFont(80)).family(), QStringLiteral("IPAGothic"));
    // Hinted, the full stop of "F1.4" reads as a comma at these sizes.
    QCOMPARE(canvas.LabelFont(80).hintingPreference(), QFont::PreferNoHinting);
}

void ChartViewTest::renderedChartShowsGridMarksAndTexts() {
    Scene scene(100, DisplaySettings::kViewMarks);
    const QImage image = RenderChartImage(scene.doc());
    QCOMPARE(image.size(), QSize(750, 520));

    // Row and column lines, sampled off the diagonals (x + y = 160 + 30j) and off the marks.
    const auto offPhotos = [&](int x, int y) {
        for (const PhotoItem* p : scene.photos) {
            if (PhotoPaintBounds(*p, DisplaySettings::kViewMarks).contains(x, y)) {
                return false;
            }
        }
        return true;
    };
    int grey = 0;
    int samples = 0;
    for (int c = 0; c < 19; ++c) {
        for (int k = 0; k < 13; ++k) {
            const int x = 95 + 30 * c;
            const int y = 80 + 30 * k;
            if (offPhotos(x, y)) {
                ++samples;
                grey += IsGrey(image.pixel(x, y)) ? 1 : 0;
            }
            if (k < 12 && offPhotos(x - 15, y + 15)) {
                ++samples;
                grey += IsGrey(image.pixel(x - 15, y + 15)) ? 1 : 0;
                QVERIFY2(IsWhite(image.pixel(x - 5, y + 15)), "between the lines");
            }
        }
    }
    QVERIFY(samples > 400);
    QCOMPARE(grey, samples);
    QVERIFY(IsWhite(image.pixel(700, 500)));
    QVERIFY(IsWhite(image.pixel(745, 515)));

    for (const PhotoItem* p : scene.photos) {
        const Rect r = p->drawRect;
        const int cx = (r.left + r.right) / 2;
        const int cy = (r.top + r.bottom) / 2;
        QVERIFY(IsRed(image.pixel(cx, cy)));
        // The disc spans the larger side: red 3 pixels inside each end of it.
        const Rect m = MarkBounds(r);
        QVERIFY(IsRed(image.pixel(m.left + 3, cy)));
        QVERIFY(IsRed(image.pixel(m.right - 4, cy)));
        QVERIFY(IsRed(image.pixel(cx, m.top + 3)));
        QVERIFY(IsRed(image.pixel(cx, m.bottom - 4)));
        QVERIFY(!IsRed(image.pixel(m.left, m.top)));
    }

    // Every label leaves ink inside its own box.
    std::vector<ChartLabel> labels(ApertureScale.begin(), ApertureScale.end());
    labels.insert(labels.end(), ShutterScale.begin(), ShutterScale.end());
    const EvLineLabelSet ev = EvLineLabels(1);
    labels.insert(labels.end(), ev.begin(), ev.end());
    labels.push_back({kCaptionBox, scene.doc().settings.evCaption, 0, kCaptionAlign});
    labels.insert(labels.end(), FixedChartTexts.begin(), FixedChartTexts.end());
    for (const ChartLabel& label : labels) {
        // The vertical caption's boxes overlap; check each character's own 16-unit band.
        Rect box = label.box;
        if (label.align == TextAlign::LeftMiddle) {
            const int mid = (box.top + box.bottom) / 2;
            box = {box.left, mid - 8, box.right, mid + 8};
        }
        box.bottom = std::min(box.bottom, 520);
        QVERIFY2(DarkPixels(image, box) > 0, label.text.c_str());
    }
    // The number under each column starts one text line below the grid: nothing dark right under it.
    QCOMPARE(DarkPixels(image, Rect{81, 442, 108, 450}), 0);
}

void ChartViewTest::renderedThumbnailsShowTheirPictures() {
    Scene scene(100, DisplaySettings::kViewThumbnails);
    const QImage image = RenderChartImage(scene.doc());
    // MakeChartPhoto fills its thumbnail with BGR (40, 160, 90).
    for (const PhotoItem* p : scene.photos) {
        const Rect r = p->drawRect;
        for (const auto& [x, y] :
             {std::pair{r.left, r.top}, {r.right - 1, r.bottom - 1}, {(r.left + r.right) / 2, r.top}}) {
            const QRgb px = image.pixel(x, y);
            QCOMPARE(QColor(px), QColor(90, 160, 40));
        }
        // Nothing outside its rectangle but the chart.
        QVERIFY(QColor(image.pixel(r.left - 1, r.top)) != QColor(90, 160, 40));
        QVERIFY(QColor(image.pixel(r.left, r.bottom)) != QColor(90, 160, 40));
    }
}

void ChartViewTest::paintingInPiecesEqualsOnePaint_data() {
    QTest::addColumn<int>("magnify");
    QTest::addColumn<int>("viewType");
    QTest::addColumn<int>("markColour");
    QTest::newRow("marks at 100") << 100 << int(DisplaySettings::kViewMarks) << 0;
    QTest::newRow("thumbnails at 100") << 100 << int(DisplaySettings::kViewThumbnails) << 0;
    QTest::newRow("marks at 230") << 230 << int(DisplaySettings::kViewMarks) << 0;
    QTest::newRow("thumbnails at 30") << 30 << int(DisplaySettings::kViewThumbnails) << 0;
    QTest::newRow("marks by ISO with legend at 100") << 100 << int(DisplaySettings::kViewMarks)
                                                     << int(DisplaySettings::kMarkByIso);
    QTest::newRow("density at 100") << 100 << int(DisplaySettings::kViewDensity) << 0;
    QTest::newRow("density at 230") << 230 << int(DisplaySettings::kViewDensity) << 0;
}

// The view paints only what was exposed: the pieces must add up to exactly the whole paint, lines,
// texts cut at piece edges and marks reaching over them included.
void ChartViewTest::paintingInPiecesEqualsOnePaint() {
    QFETCH(int, magnify);
    QFETCH(int, viewType);
    QFETCH(int, markColour);
    Scene scene(magnify, viewType);
    scene.doc().settings.markColour = markColour;
    const QImage whole = RenderChartImage(scene.doc());
    QImage pieces(whole.size(), whole.format());
    pieces.setDotsPerMeterX(whole.dotsPerMeterX());
    pieces.setDotsPerMeterY(whole.dotsPerMeterY());
    pieces.fill(Qt::black);
    const int step = 37; // odd, so piece edges cut through texts, lines and marks
    for (int y = 0; y < whole.height(); y += step) {
        for (int x = 0; x < whole.width(); x += step) {
            const Rect piece{x, y, std::min(x + step, whole.width()), std::min(y + step, whole.height())};
            QPainter painter(&pieces);
            painter.setClipRect(QRect(piece.left, piece.top, piece.width(), piece.height()));
            QtCanvas canvas(painter, false);
            PaintChart(canvas, scene.doc(), &piece);
        }
    }
    QCOMPARE(pieces, whole);
}

void ChartViewTest::scrollRangesFollowTheMagnification() {
    Scene scene(100, DisplaySettings::kViewMarks);
    CLumivaneView view(scene.doc());
    view.resize(400, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QSize visible = view.viewport()->size();

    struct Case {
        int magnify;
        int width;
        int height;
    };
    for (const Case c : {Case{100, 750, 520}, Case{30, 225, 156}, Case{400, 3000, 2080}}) {
        scene.doc().settings.magnify = c.magnify;
        view.UpdateScrollSizes();
        QCOMPARE(view.horizontalScrollBar()->maximum(), std::max(0, c.width - visible.width()));
        QCOMPARE(view.verticalScrollBar()->maximum(), std::max(0, c.height - visible.height()));
        QCOMPARE(view.horizontalScrollBar()->pageStep(), std::max(1, c.width / 10));
        QCOMPARE(view.verticalScrollBar()->pageStep(), std::max(1, c.height / 10));
        QCOMPARE(view.horizontalScrollBar()->singleStep(), std::max(1, c.width / 100));
        QCOMPARE(view.verticalScrollBar()->singleStep(), std::max(1, c.height / 100));
    }
}

void ChartViewTest::scrolledViewShowsThatPartOfTheChart() {
    for (const int viewType : {int(DisplaySettings::kViewMarks), int(DisplaySettings::kViewThumbnails)}) {
        Scene scene(200, viewType);
        CLumivaneView view(scene.doc());
        view.resize(500, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.horizontalScrollBar()->setValue(620);
        view.verticalScrollBar()->setValue(330);
        QCOMPARE(view.ScrollPosition(), QPoint(620, 330));
        QCoreApplication::processEvents();

        const QImage shown = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage chart = RenderChartImage(scene.doc());
        QCOMPARE(chart.size(), QSize(1500, 1040));
        const QImage part = chart.copy(QRect(QPoint(620, 330), shown.size()));
        QCOMPARE(shown, part);
    }
}

void ChartViewTest::windowLargerThanChartIsWhiteBeyondIt() {
    Scene scene(50, DisplaySettings::kViewMarks);
    CLumivaneView view(scene.doc());
    view.resize(700, 500);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
    const QImage shown = view.viewport()->grab().toImage();
    QVERIFY(shown.width() > 375 && shown.height() > 260);
    for (int y = 0; y < shown.height(); y += 3) {
        for (int x = 0; x < shown.width(); x += 3) {
            if (x >= 375 || y >= 260) {
                QVERIFY2(IsWhite(shown.pixel(x, y)), qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            }
        }
    }
    QVERIFY(IsGrey(shown.pixel(47, 40))); // the first row line, halved
}

// On a device pixel ratio of 2 the chart keeps its layout in device-independent pixels, with one
// device pixel wide grid lines and pictures drawn from their own rows at the doubled density.
void ChartViewTest::highDensityPaintKeepsTheLayoutAndOnePixelLines() {
    Scene scene(100, DisplaySettings::kViewMarks);
    QImage sharp(1500, 1040, QImage::Format_RGB32);
    sharp.setDevicePixelRatio(2.0);
    sharp.setDotsPerMeterX(3780 * 2);
    sharp.setDotsPerMeterY(3780 * 2);
    {
        QPainter painter(&sharp);
        QtCanvas canvas(painter, false);
        PaintChart(canvas, scene.doc());
    }
    // Row line at y 110 is one device row, at 220 (or 221): the other neighbour stays white.
    const int x = 2 * 95;
    const bool at220 = IsGrey(sharp.pixel(x, 220));
    const bool at221 = IsGrey(sharp.pixel(x, 221));
    QVERIFY(at220 != at221);
    QVERIFY(IsWhite(sharp.pixel(x, at220 ? 221 : 220)));
    QVERIFY(IsWhite(sharp.pixel(x, at220 ? 219 : 222)));
    // The photo's mark lands at twice its view position.
    const Rect r = scene.photos[0]->drawRect;
    QVERIFY(IsRed(sharp.pixel(r.left + r.right, r.top + r.bottom)));
}

// Scrolling moves the pixels already on screen and paints only the strip coming into view; what the
// backing store then holds must be what one full paint at the new position gives.
void ChartViewTest::stepwiseScrollingLeavesTheScreenAsAFullPaint() {
    Scene scene(200, DisplaySettings::kViewMarks);
    CLumivaneView view(scene.doc());
    view.resize(420, 330);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCoreApplication::processEvents();
    for (int i = 0; i < 9; ++i) {
        view.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        view.verticalScrollBar()->triggerAction(i % 3 == 2 ? QAbstractSlider::SliderPageStepAdd
                                                           : QAbstractSlider::SliderSingleStepAdd);
        QCoreApplication::processEvents();
    }
    const QPoint scroll = view.ScrollPosition();
    QVERIFY(scroll.x() > 0 && scroll.y() > 0);

    QScreen* screen = view.screen();
    QVERIFY(screen);
    const QImage window = screen->grabWindow(view.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    if (window.isNull()) {
        QSKIP("this platform cannot read back a window");
    }
    const QRect area(view.viewport()->mapTo(&view, QPoint(0, 0)), view.viewport()->size());
    const QImage shown = window.copy(area);
    const QImage chart = RenderChartImage(scene.doc());
    QCOMPARE(shown, chart.copy(QRect(scroll, area.size())));
}

// On a printer the chart is drawn in chart units through the page mapping; the label font must come
// out 8 points on paper, not scaled a second time by that mapping.
void ChartViewTest::printerLabelsAreEightPointsOnPaper() {
    struct Case {
        int dpi;
        QSize page;
    };
    for (const Case c : {Case{300, QSize(3507, 2480)}, Case{600, QSize(7015, 4960)}}) {
        QImage paper(c.page, QImage::Format_RGB32);
        paper.fill(Qt::white);
        const int dotsPerMetre = qRound(c.dpi / 0.0254);
        paper.setDotsPerMeterX(dotsPerMetre);
        paper.setDotsPerMeterY(dotsPerMetre);
        QPainter painter(&paper);
        painter.setWindow(0, 0, 750, 520);
        painter.setViewport(QRect(QPoint(0, 0), c.page));
        QtCanvas canvas(painter, true);
        // 8 pt is 33.3 pixels at 300 dpi, 66.7 at 600; a chart unit is 4.77 or 9.54 pixels high.
        QCOMPARE(canvas.LabelFont(80).pixelSize(), 7);
        canvas.DrawText(Rect{100, 100, 400, 200}, "露出値", TextAlign::TopLeft, 80);
        int top = -1;
        int bottom = -1;
        for (int y = 0; y < c.page.height(); ++y) {
            for (int x = 0; x < c.page.width() / 2; ++x) {
                if (IsDark(paper.pixel(x, y))) {
                    top = top < 0 ? y : top;
                    bottom = y;
                    break;
                }
            }
        }
        // Glyph ink of a Japanese font fills most of its 8-point em: between 5 and 9 points tall.
        const double points = (bottom - top + 1) * 72.0 / c.dpi;
        QVERIFY2(points > 5 && points < 9, qPrintable(QString::number(points)));
    }
}

// A display picture (blue, green, red, 255) lands on the target with exactly the colours of the
// same picture drawn as three channels, copied 1:1 and stretched, on an opaque and a
// premultiplied target; the alpha byte never leaks into an opaque target.
void ChartViewTest::opaqueBgraPicturesDrawAsTheirColours() {
    cv::Mat bgr(13, 17, CV_8UC3);
    cv::RNG random(3);
    random.fill(bgr, cv::RNG::UNIFORM, 0, 256);
    cv::Mat bgra;
    cv::cvtColor(bgr, bgra, cv::COLOR_BGR2BGRA);
    const auto view = [](const cv::Mat& m) {
        return PictureView{m.data, m.cols, m.rows, m.step[0], m.channels()};
    };
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
        for (const Rect destination : {Rect{3, 5, 20, 18}, Rect{2, 1, 60, 40}}) {
            QImage fromThree(64, 48, format);
            QImage fromFour(64, 48, format);
            for (QImage* target : {&fromThree, &fromFour}) {
                target->fill(Qt::white);
                QPainter painter(target);
                QtCanvas canvas(painter, false);
                canvas.DrawPicture(destination, view(target == &fromThree ? bgr : bgra));
            }
            QCOMPARE(fromFour, fromThree);
            if (destination.width() == bgr.cols) {
                const cv::Vec3b p = bgr.at<cv::Vec3b>(4, 6);
                QCOMPARE(fromFour.pixel(destination.left + 6, destination.top + 4), qRgb(p[2], p[1], p[0]));
            }
        }
    }
}

// Stacks of photos at one exposure, drawn by the paint (which leaves out what a later picture hides)
// and, as the reference, with every picture drawn in collection order.
void ChartViewTest::skippingHiddenPicturesChangesNoPixel() {
    for (const int magnify : {100, 250}) {
        ChartTestDoc t;
        t.doc.settings.magnify = magnify;
        t.doc.settings.viewType = DisplaySettings::kViewThumbnails;
        ApplyIsoIndex(t.doc.settings, 1);
        cv::RNG random(static_cast<uint64_t>(magnify));
        for (int i = 0; i < 12; ++i) {
            const bool portrait = i % 4 == 1;
            auto photo = MakeChartPhoto(1, i % 3 == 0 ? 125 : 60, 56, 10, portrait ? 158 : 237, portrait ? 237 : 158);
            random.fill(photo->thumbnail.image, cv::RNG::UNIFORM, 0, 256);
            t.Add(std::move(photo));
        }
        LayoutPhotos(t.doc);
        const Size chart = ChartSize();
        const QSize size(ScaleToView(chart.width, magnify), ScaleToView(chart.height, magnify));
        QImage painted(size, QImage::Format_RGB32);
        QImage everyPicture(size, QImage::Format_RGB32);
        const Rect all{0, 0, size.width(), size.height()};
        {
            QPainter painter(&painted);
            QtCanvas canvas(painter, false);
            PaintChart(canvas, t.doc, &all);
        }
        {
            QPainter painter(&everyPicture);
            QtCanvas canvas(painter, false);
            canvas.FillRect(all, kBackgroundColour);
            DrawChart(canvas, magnify, t.doc.settings.evCaption, EvLineLabels(1));
            MakeDisplayPictures(AllPhotos(t.doc));
            for (const auto& photo : t.doc.Photos()) {
                DrawDisplayPicture(photo->drawRect, photo->displayImage, canvas);
            }
        }
        QCOMPARE(painted, everyPicture);
    }
}

void ChartViewTest::lazyDisplayPicturesPaintAsEagerOnes_data() {
    QTest::addColumn<int>("magnify");
    QTest::addColumn<double>("scrollX");  // of the scroll range
    QTest::addColumn<double>("scrollY");
    QTest::newRow("30") << 30 << 0.0 << 0.0;
    QTest::newRow("100, middle") << 100 << 0.5 << 0.4;
    QTest::newRow("250, lower right") << 250 << 1.0 << 1.0;
    QTest::newRow("400, top left") << 400 << 0.0 << 0.0;
    QTest::newRow("400, middle") << 400 << 0.45 << 0.5;
}

// The screen, scrolled in steps (only strips painted), the clipboard picture, the whole-chart
// picture and the printed page: all as the eagerly fitted pictures paint them.
void ChartViewTest::lazyDisplayPicturesPaintAsEagerOnes() {
    QFETCH(int, magnify);
    QFETCH(double, scrollX);
    QFETCH(double, scrollY);
    LazyAndEager docs(magnify);
    const QImage eager = RenderChartImage(docs.eager.doc);
    CLumivaneView view(docs.lazy.doc);
    view.resize(420, 330);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QScrollBar* h = view.horizontalScrollBar();
    QScrollBar* v = view.verticalScrollBar();
    h->setValue(static_cast<int>(h->maximum() * scrollX));
    v->setValue(static_cast<int>(v->maximum() * scrollY));
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::processEvents();
        h->triggerAction(i % 2 ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderPageStepAdd);
        v->triggerAction(QAbstractSlider::SliderSingleStepSub);
    }
    QCoreApplication::processEvents();
    // White beyond the chart where the viewport is larger.
    const QRect area(view.viewport()->mapTo(&view, QPoint(0, 0)), view.viewport()->size());
    QImage shown(area.size(), QImage::Format_RGB32);
    shown.fill(Qt::white);
    QPainter(&shown).drawImage(QPoint(0, 0), eager, QRect(view.ScrollPosition(), area.size()));
    const QImage window = view.screen()->grabWindow(view.winId()).toImage();
    if (!window.isNull()) {
        QCOMPARE(window.convertToFormat(QImage::Format_RGB32).copy(area), shown);
    }
    QCOMPARE(kestory::chartout::VisibleChartImage(view), shown);
    QCOMPARE(RenderChartImage(docs.lazy.doc), eager);

    LayoutPhotos(docs.lazy.doc);
    QImage printed[2];
    for (int k = 0; k < 2; ++k) {
        printed[k] = QImage(1500, 1040, QImage::Format_RGB32);
        printed[k].fill(Qt::white);
        QPainter painter(&printed[k]);
        painter.setWindow(0, 0, 750, 520);
        QtCanvas canvas(painter, true);
        PaintChart(canvas, k == 0 ? docs.lazy.doc : docs.eager.doc);
    }
    QCOMPARE(printed[0], printed[1]);
}

void ChartViewTest::batchedMarksPaintAsOneByOne_data() {
    QTest::addColumn<int>("magnify");
    QTest::addColumn<int>("markColour");
    QTest::newRow("30, red") << 30 << int(DisplaySettings::kMarkRed);
    QTest::newRow("100, red") << 100 << int(DisplaySettings::kMarkRed);
    QTest::newRow("100, by ISO") << 100 << int(DisplaySettings::kMarkByIso);
    QTest::newRow("250, by ISO") << 250 << int(DisplaySettings::kMarkByIso);
    QTest::newRow("400, red") << 400 << int(DisplaySettings::kMarkRed);
}

// Overlapping marks of several colours and shapes, drawn in batches and one by one, whole and
// scrolled, also with a third of them framed: the same pixels but for a step of 1 in some pixels of
// the smoothed rims (the pre-drawn disc and outline round their blend apart). Of a stack of marks
// in one square the batch draws the top mark alone.
void ChartViewTest::batchedMarksPaintAsOneByOne() {
    QFETCH(int, magnify);
    QFETCH(int, markColour);
    ChartTestDoc stacked;
    ChartTestDoc tops; // the same without the marks a later one of its stack covers
    for (int i = 0; i < 60; ++i) {
        const bool portrait = i % 3 == 1;
        // Photos 40 to 59 are five stacks of four at one exposure and shape.
        const int k = i < 40 ? i : 40 + (i - 40) / 4;
        auto photo = MakeChartPhoto(1, 1 << (k % 9), 10 + 3 * (k % 11), 10, portrait && i < 40 ? 158 : 237,
                                    portrait && i < 40 ? 237 : 158);
        photo->iso = 100 << (i % 5);
        if (i < 40 || i % 4 == 3) {
            tops.Add(std::make_unique<PhotoItem>(*photo));
        }
        stacked.Add(std::move(photo));
    }
    for (ChartTestDoc* d : {&stacked, &tops}) {
        d->doc.settings.magnify = magnify;
        d->doc.settings.viewType = DisplaySettings::kViewMarks;
        d->doc.settings.markColour = markColour;
        ApplyIsoIndex(d->doc.settings, 1);
        LayoutPhotos(d->doc);
    }
    QVERIFY(MaxChannelDifference(PaintedWithSelection<QtCanvas>(stacked.doc, 0, 0),
                                 PaintedWithSelection<OneByOneCanvas>(tops.doc, 0, 0)) <= 1);
    std::vector<PhotoItem*> framed;
    for (size_t i = 0; i < tops.doc.GetCount(); i += 3) {
        framed.push_back(&tops.doc.GetAt(i));
    }
    tops.doc.SelectPhotos(framed, false);
    for (const QPoint scroll : {QPoint(0, 0), QPoint(37, 23)}) {
        QVERIFY(MaxChannelDifference(PaintedWithSelection<QtCanvas>(tops.doc, scroll.x(), scroll.y()),
                                     PaintedWithSelection<OneByOneCanvas>(tops.doc, scroll.x(), scroll.y())) <= 1);
    }
}

void ChartViewTest::picturesOnDemandPaintAsKeptOnes_data() {
    QTest::addColumn<int>("magnify");
    QTest::newRow("30") << 30;
    QTest::newRow("100") << 100;
    QTest::newRow("400") << 400;
}

// The screen, the whole-chart picture and the printed page, with thumbnails dropped and made again
// while they are drawn; then a photo whose file is gone is drawn as its red mark.
void ChartViewTest::picturesOnDemandPaintAsKeptOnes() {
    QFETCH(int, magnify);
    KeptAndOnDemand docs(magnify);
    QCOMPARE(docs.onDemand.doc.GetCount(), docs.paths.size());
    const QImage kept = RenderChartImage(docs.kept.doc);
    QCOMPARE(RenderChartImage(docs.onDemand.doc), kept);
    QCOMPARE(PrintedPage(docs.onDemand.doc), PrintedPage(docs.kept.doc));
    CLumivaneView view(docs.onDemand.doc);
    view.resize(420, 330);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->maximum() / 2);
    QCoreApplication::processEvents();
    const QImage shown = kestory::chartout::VisibleChartImage(view);
    QImage expected(shown.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    QPainter(&expected).drawImage(QPoint(0, 0), kept, QRect(view.ScrollPosition(), shown.size()));
    QCOMPARE(shown, expected);
    QVERIFY(docs.onDemand.doc.Pictures().Bytes() <= KeptAndOnDemand::kBound);

    const PhotoItem& last = docs.onDemand.doc.GetAt(docs.onDemand.doc.GetCount() - 1);
    QVERIFY(std::filesystem::remove(last.path));
    docs.onDemand.doc.Pictures().Clear();
    LayoutPhotos(docs.onDemand.doc);
    const QImage vanished = RenderChartImage(docs.onDemand.doc);
    const Rect r = last.drawRect;
    QCOMPARE(vanished.pixelColor((r.left + r.right) / 2, (r.top + r.bottom) / 2), QColor(255, 0, 0));
}

QTEST_MAIN(ChartViewTest)
#include "ChartViewTest.moc"
