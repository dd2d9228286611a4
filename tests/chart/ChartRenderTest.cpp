#include "chart/ChartRender.h"
#include "chart/ChartGeometry.h"
#include "chart/HistogramRender.h"
#include "chart/IsoSpeed.h"
#include "tests/chart/ChartFixtures.h"
#include "tests/support/RecordingCanvas.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace {

using Kind = CanvasCall::Kind;

std::vector<std::string> Texts(const RecordingCanvas& canvas) {
    std::vector<std::string> texts;
    for (const CanvasCall& c : canvas.Of(Kind::Text)) {
        texts.push_back(c.text);
    }
    return texts;
}

// Two photos at 1/125 s F5.6 and one at 1/45 s F9, laid out at the document's settings.
struct ChartScene {
    ChartTestDoc t;
    PhotoItem* first = nullptr;
    PhotoItem* second = nullptr;
    PhotoItem* third = nullptr;

    explicit ChartScene(int32_t magnify = 100, int32_t viewType = DisplaySettings::kViewThumbnails) {
        t.doc.settings.magnify = magnify;
        t.doc.settings.viewType = viewType;
        ApplyIsoIndex(t.doc.settings, 1);
        first = &t.Add(MakeChartPhoto(1, 125, 56, 10, 237, 158));
        second = &t.Add(MakeChartPhoto(1, 125, 56, 10, 158, 237));
        third = &t.Add(MakeChartPhoto(1, 45, 9, 1));
        LayoutPhotos(t.doc);
    }
    CLumivaneDoc& doc() { return t.doc; }
};

TEST(PaintChart, DrawsLinesThenLabelsThenPhotosInCollectionOrder) {
    ChartScene scene;
    RecordingCanvas canvas;
    PaintChart(canvas, scene.doc());

    EXPECT_EQ(canvas.KindRuns(), (std::vector<Kind>{Kind::FillRect, Kind::PushPen, Kind::Line, Kind::Text,
                                                    Kind::PopPen, Kind::Picture}));
    ASSERT_EQ(canvas.calls.front().rect, (Rect{0, 0, 750, 520}));
    EXPECT_EQ(canvas.calls.front().color, kBackgroundColour);
    EXPECT_EQ(canvas.calls[1].color, kGridColour);
    EXPECT_EQ(canvas.calls[1].width, 1);

    const std::vector<CanvasCall> lines = canvas.Of(Kind::Line);
    ASSERT_EQ(lines.size(), 13u + 20u + 32u);
    struct LineCase {
        size_t index;
        int32_t x1, y1, x2, y2;
    };
    const LineCase lineCases[] = {
        {0, 80, 80, 650, 80},    {12, 80, 440, 650, 440},  // aperture rows
        {13, 80, 80, 80, 440},   {32, 650, 80, 650, 440},  // shutter columns
        {33, 80, 80, 110, 50},   {44, 80, 410, 440, 50},   // upper diagonals
        {45, 80, 440, 470, 50},  {52, 290, 440, 680, 50},  // middle
        {53, 320, 440, 680, 80}, {64, 650, 440, 680, 410}, // lower
    };
    for (const LineCase& c : lineCases) {
        SCOPED_TRACE(c.index);
        const CanvasCall& l = lines[c.index];
        EXPECT_EQ((std::vector<int32_t>{l.x1, l.y1, l.x2, l.y2}),
                  (std::vector<int32_t>{c.x1, c.y1, c.x2, c.y2}));
    }

    const std::vector<std::string> texts = Texts(canvas);
    ASSERT_EQ(texts.size(), 13u + 20u + 32u + 10u);
    EXPECT_EQ(texts[0], "F1    0");
    EXPECT_EQ(texts[12], "F64   12");
    EXPECT_EQ(texts[13], "\n-6\n60");
    EXPECT_EQ(texts[32], "\n13\n\n1/8000");
    EXPECT_EQ(texts[33], "-6");
    EXPECT_EQ(texts[64], "25");
    const std::vector<std::string> fixed(texts.begin() + 65, texts.end());
    EXPECT_EQ(fixed, (std::vector<std::string>{scene.doc().settings.evCaption, "ＥＶ", "ＴＶ", "ＡＶ",
                                               "シャッター速度・秒", "絞", "り", "値", "・", "Ｆ"}));
    for (const CanvasCall& c : canvas.Of(Kind::Text)) {
        EXPECT_EQ(c.pointTenths, 80) << c.text;
    }
    const std::vector<CanvasCall> textCalls = canvas.Of(Kind::Text);
    EXPECT_EQ(textCalls[65].rect, (Rect{0, 0, 750, 30}));
    EXPECT_EQ(textCalls[65].align, TextAlign::CentreBottom);
    EXPECT_EQ(textCalls[74].rect, (Rect{5, 64, 55, 584}));
    EXPECT_EQ(textCalls[74].align, TextAlign::LeftMiddle);

    const std::vector<CanvasCall> pictures = canvas.Of(Kind::Picture);
    ASSERT_EQ(pictures.size(), 3u);
    const PhotoItem* order[] = {scene.first, scene.second, scene.third};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pictures[i].rect, order[i]->drawRect);
        EXPECT_EQ(pictures[i].picture.height, order[i]->drawRect.height());
    }
    // A whole-chart output lets go of the pictures it made; a screen paint of an area keeps them
    // for the next paint, and marks (keeping drawRect) and the next layout let them go.
    EXPECT_TRUE(scene.third->displayImage.Empty());
    const Rect everything{0, 0, 750, 520};
    RecordingCanvas screen;
    PaintChart(screen, scene.doc(), &everything);
    EXPECT_EQ(scene.third->displayImage.image.data, screen.Of(Kind::Picture).back().picture.rows);
    ReleaseDisplayPictures(scene.doc());
    EXPECT_TRUE(scene.third->displayImage.Empty());
    EXPECT_EQ(pictures[2].rect, scene.third->drawRect);
    PaintChart(screen, scene.doc(), &everything);
    EXPECT_FALSE(scene.third->displayImage.Empty()); // made again for thumbnails
    LayoutPhotos(scene.doc());
    EXPECT_TRUE(scene.third->displayImage.Empty());
}

TEST(PaintChart, HalvesEveryCoordinateAndTheFontAtMagnify50) {
    ChartScene scene(50);
    RecordingCanvas canvas;
    PaintChart(canvas, scene.doc());

    const std::vector<CanvasCall> lines = canvas.Of(Kind::Line);
    for (int k = 0; k < 20; ++k) {
        const CanvasCall& column = lines[static_cast<size_t>(13 + k)];
        EXPECT_EQ(column.x1, 40 + 15 * k);
        EXPECT_EQ(column.x2, 40 + 15 * k);
        EXPECT_EQ(column.y1, 40);
        EXPECT_EQ(column.y2, 220);
    }
    const std::vector<CanvasCall> texts = canvas.Of(Kind::Text);
    for (const CanvasCall& c : texts) {
        EXPECT_EQ(c.pointTenths, 40) << c.text;
    }
    EXPECT_EQ(texts[0].rect, (Rect{15, 40, 40, 55}));    // (30, 80, 80, 110)
    EXPECT_EQ(texts[13].rect, (Rect{40, 220, 65, 250})); // (80, 440, 130, 500)
    EXPECT_EQ(texts[70].rect, (Rect{2, 0, 27, 260}));    // "絞" at (5, 0, 55, 520): 2.5 truncates
    EXPECT_EQ(canvas.calls.front().rect, (Rect{0, 0, 375, 260}));
}

TEST(PaintChart, PrinterCanvasIgnoresTheScreenMagnification) {
    ChartScene scene(100, DisplaySettings::kViewMarks);
    RecordingCanvas atHundred(true);
    PaintChart(atHundred, scene.doc());
    // Printing lays the photos out at 100 and only the screen's magnify differs.
    scene.doc().settings.magnify = 250;
    RecordingCanvas atZoom(true);
    PaintChart(atZoom, scene.doc());

    ASSERT_EQ(atHundred.calls.size(), atZoom.calls.size());
    EXPECT_EQ(atHundred.Count(Kind::FillRect), 0u);
    for (size_t i = 0; i < atHundred.calls.size(); ++i) {
        const CanvasCall& a = atHundred.calls[i];
        const CanvasCall& b = atZoom.calls[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(a.kind, b.kind);
        EXPECT_EQ(a.rect, b.rect);
        EXPECT_EQ(a.x2, b.x2);
        EXPECT_EQ(a.y2, b.y2);
        EXPECT_EQ(a.pointTenths, b.pointTenths);
    }
    EXPECT_EQ(atZoom.Of(Kind::Text).front().pointTenths, 80);
    EXPECT_EQ(atZoom.Of(Kind::Line).back().x2, 680);
}

TEST(DrawMark, CircleSpansTheLargerSideCentredOnDrawRect) {
    struct Case {
        Rect drawRect;
        Rect bounds;
    };
    const Case cases[] = {
        {{450, 217, 490, 243}, {450, 210, 490, 250}}, // 40 x 26: (left, top - 7, left + 40, top + 33)
        {{457, 210, 483, 250}, {450, 210, 490, 250}}, // 26 x 40
        {{450, 210, 490, 250}, {450, 210, 490, 250}}, // square
        {{10, 10, 51, 36}, {10, 3, 51, 44}},          // (26 - 41) / 2 truncates to -7
        {{10, 10, 10, 10}, {10, 10, 10, 10}},         // empty
    };
    for (const Case& c : cases) {
        PhotoItem photo;
        photo.drawRect = c.drawRect;
        RecordingCanvas canvas;
        DrawMark(canvas, photo);
        ASSERT_EQ(canvas.calls.size(), 1u);
        EXPECT_EQ(canvas.calls[0].kind, Kind::Ellipse);
        EXPECT_EQ(canvas.calls[0].rect, c.bounds);
        EXPECT_EQ(canvas.calls[0].color, kMarkColour);
    }
}

// The screen frames a selected photo 2 pixels outside its picture (450, 217, 490, 243) or its
// mark's square (450, 210, 490, 250); the chart as clipboard, print and exports draw it is unchanged.
TEST(DrawSelection, FramesSelectedPhotosOnScreenOnly) {
    const struct {
        bool printer;
        int32_t viewType;
        Rect exposed;
        std::vector<Rect> topAndRight;
    } cases[] = {
        {false, DisplaySettings::kViewThumbnails, {0, 0, 750, 520}, {{448, 215, 492, 217}, {490, 217, 492, 243}}},
        {false, DisplaySettings::kViewMarks, {0, 0, 750, 520}, {{448, 208, 492, 210}, {490, 210, 492, 250}}},
        {false, DisplaySettings::kViewThumbnails, {460, 245, 470, 250}, {}},  // just below the frame
        {true, DisplaySettings::kViewThumbnails, {0, 0, 750, 520}, {}},
    };
    for (const auto& c : cases) {
        ChartScene scene(100, c.viewType);
        scene.doc().SelectPhotos({scene.first}, false);
        RecordingCanvas canvas(c.printer);
        DrawSelection(canvas, scene.doc(), &c.exposed);
        const std::vector<CanvasCall> fills = canvas.Of(Kind::FillRect);
        ASSERT_EQ(fills.size(), c.topAndRight.empty() ? 0u : 4u);
        if (!fills.empty()) {
            EXPECT_EQ((std::vector<Rect>{fills[0].rect, fills[3].rect}), c.topAndRight);
            EXPECT_EQ(fills[0].color, kSelectionColour);
        }
    }
    // All frames in one batch, a stack's once: in mark view photos 1 and 2 take one square.
    ChartScene stack(100, DisplaySettings::kViewMarks);
    stack.doc().SelectPhotos({stack.first, stack.second, stack.third}, false);
    RecordingCanvas framed;
    DrawSelection(framed, stack.doc());
    EXPECT_EQ(framed.Count(Kind::FillRect), 8u);
    EXPECT_EQ(framed.batches, 1);
    ChartScene scene;
    RecordingCanvas plain;
    RecordingCanvas selected;
    PaintChart(plain, scene.doc());
    EXPECT_EQ(SelectionPaintBounds(scene.doc()), Rect{});
    scene.doc().SelectPhotos({scene.first, scene.third}, false);  // third: (410, 257, 450, 283)
    PaintChart(selected, scene.doc());
    EXPECT_EQ(selected.calls.size(), plain.calls.size());
    EXPECT_EQ(SelectionPaintBounds(scene.doc()), (Rect{408, 215, 492, 285}));
}

// Painting only an exposed part may leave out photos only where they leave no ink: a landscape
// photo's mark reaches 7 pixels above its drawRect.
TEST(PaintChart, ExposedPartSkipsOnlyPhotosWithoutInkInIt) {
    struct Case {
        const char* name;
        int32_t viewType;
        Rect exposed;
        size_t drawn;
    };
    // first: drawRect (450, 217, 490, 243), mark (450, 210, 490, 250); third: (410, 257, 450, 283).
    const Case cases[] = {
        {"far away", DisplaySettings::kViewMarks, {0, 0, 100, 100}, 0},
        {"band above the landscape picture", DisplaySettings::kViewThumbnails, {460, 205, 470, 215}, 1},
        {"band above the landscape mark", DisplaySettings::kViewMarks, {460, 205, 470, 215}, 2},
        {"everything", DisplaySettings::kViewMarks, {0, 0, 750, 520}, 3},
        {"thumbnails everywhere", DisplaySettings::kViewThumbnails, {0, 0, 750, 520}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChartScene scene(100, c.viewType);
        RecordingCanvas canvas;
        PaintChart(canvas, scene.doc(), &c.exposed);
        const bool marks = c.viewType == DisplaySettings::kViewMarks;
        EXPECT_EQ(canvas.Count(marks ? Kind::Ellipse : Kind::Picture), c.drawn);
        EXPECT_EQ(canvas.Count(marks ? Kind::Picture : Kind::Ellipse), 0u);
        EXPECT_EQ(canvas.calls.front().rect, c.exposed);
        EXPECT_EQ(canvas.Count(Kind::Text), 75u);
        // Display pictures only for the pictures drawn.
        EXPECT_EQ(std::count_if(scene.doc().Photos().begin(), scene.doc().Photos().end(),
                                [](const auto& p) { return !p->displayImage.Empty(); }),
                  marks ? 0 : static_cast<std::ptrdiff_t>(c.drawn));
    }
}

// Photos of one exposure and shape lie exactly on top of each other; on screen only what can be
// seen is drawn, in collection order, and a printer still gets every photo.
TEST(PaintChart, ScreenSkipsPicturesALaterPictureHidesCompletely) {
    struct Case {
        const char* name;
        bool printer;
        int32_t viewType;
        int emptied;  // index of a photo whose picture is released after the layout, or -1
        int resized;  // index of a photo given a picture smaller than its drawRect, or -1
        int filtered; // index of the photo the document's filter keeps out, or -1
        std::vector<int> drawn;
        int unmakeable = -1;  // index of a photo whose display picture cannot be made, or -1
    };
    // 0, 1, 3: landscape at 1/125 s F5.6 (one drawRect); 2: portrait there; 4: elsewhere.
    const Case cases[] = {
        {"screen", false, DisplaySettings::kViewThumbnails, -1, -1, -1, {2, 3, 4}},
        {"printer", true, DisplaySettings::kViewThumbnails, -1, -1, -1, {0, 1, 2, 3, 4}},
        {"marks", false, DisplaySettings::kViewMarks, -1, -1, -1, {0, 1, 2, 3, 4}},
        {"last of the stack without picture", false, DisplaySettings::kViewThumbnails, 3, -1, -1, {1, 2, 4}},
        {"last of the stack not filling its rect", false, DisplaySettings::kViewThumbnails, -1, 3, -1, {1, 2, 3, 4}},
        // A photo the filter keeps out is not drawn, and covers nothing beneath it.
        {"last of the stack filtered out", false, DisplaySettings::kViewThumbnails, -1, -1, 3, {1, 2, 4}},
        {"filtered out, printer", true, DisplaySettings::kViewThumbnails, -1, -1, 3, {0, 1, 2, 4}},
        {"filtered out, marks", false, DisplaySettings::kViewMarks, -1, -1, 0, {1, 2, 3, 4}},
        // Counted as covering the stack until the paint fails to make it.
        {"last of the stack failing when first drawn", false, DisplaySettings::kViewThumbnails, -1, -1, -1, {1, 2, 4}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChartTestDoc t;
        t.doc.settings.viewType = c.viewType;
        std::vector<PhotoItem*> photos;
        const auto add = [&](std::unique_ptr<PhotoItem> photo) {
            photo->iso = static_cast<int>(photos.size()) == c.filtered ? 800 : 100;
            photos.push_back(&t.Add(std::move(photo)));
        };
        add(MakeChartPhoto(1, 125, 56, 10, 237, 158));
        add(MakeChartPhoto(1, 125, 56, 10, 237, 158));
        add(MakeChartPhoto(1, 125, 56, 10, 158, 237));
        add(MakeChartPhoto(1, 125, 56, 10, 237, 158));
        add(MakeChartPhoto(1, 45, 9, 1));
        PhotoFilter isoFilter;
        isoFilter.iso = {100, 100};
        t.doc.SetFilter(isoFilter);
        if (c.unmakeable >= 0) { // no area average for signed pixels: the fit fails
            cv::Mat& thumbnail = photos[static_cast<size_t>(c.unmakeable)]->thumbnail.image;
            thumbnail.convertTo(thumbnail, CV_8SC3);
        }
        LayoutPhotos(t.doc);
        ASSERT_EQ(photos[0]->drawRect, photos[3]->drawRect);
        if (c.emptied >= 0 || c.resized >= 0) {
            MakeDisplayPictures(AllPhotos(t.doc));
        }
        if (c.emptied >= 0) {
            photos[static_cast<size_t>(c.emptied)]->displayImage.Release();
        }
        if (c.resized >= 0) {
            PhotoImage& picture = photos[static_cast<size_t>(c.resized)]->displayImage;
            picture.image = picture.image(cv::Rect(0, 0, picture.image.cols - 1, picture.image.rows)).clone();
        }
        RecordingCanvas canvas(c.printer);
        const Rect everything{0, 0, 750, 520};
        PaintChart(canvas, t.doc, &everything); // a printer draws beyond it too
        const bool marks = c.viewType == DisplaySettings::kViewMarks;
        const std::vector<CanvasCall> drawn = canvas.Of(marks ? Kind::Ellipse : Kind::Picture);
        ASSERT_EQ(drawn.size(), c.drawn.size());
        for (size_t i = 0; i < drawn.size(); ++i) {
            const PhotoItem& photo = *photos[static_cast<size_t>(c.drawn[i])];
            if (marks) {
                EXPECT_EQ(drawn[i].rect, MarkBounds(photo.drawRect)) << i;
            } else {
                EXPECT_EQ(drawn[i].picture.rows, photo.displayImage.image.data) << i;
            }
        }
        for (size_t k = 0; k < photos.size() && c.emptied < 0 && c.resized < 0; ++k) {
            const bool drew = std::count(c.drawn.begin(), c.drawn.end(), static_cast<int>(k)) != 0;
            EXPECT_TRUE(drew || photos[k]->displayImage.Empty()) << k << " made but never drawn";
        }
    }
}

TEST(PaintChart, IsoIndexChangesOnlyTheEvNumbersAndCaption) {
    ChartScene scene;
    RecordingCanvas before;
    PaintChart(before, scene.doc());
    ApplyIsoIndex(scene.doc().settings, 3);
    RecordingCanvas after;
    PaintChart(after, scene.doc());

    ASSERT_EQ(before.calls.size(), after.calls.size());
    std::vector<size_t> changed;
    for (size_t i = 0; i < before.calls.size(); ++i) {
        if (before.calls[i].text != after.calls[i].text || before.calls[i].rect != after.calls[i].rect) {
            changed.push_back(i);
        }
    }
    const std::vector<std::string> texts = Texts(after);
    EXPECT_EQ(changed.size(), 33u);
    EXPECT_EQ(texts[33], "-8");
    EXPECT_EQ(texts[64], "23");
    EXPECT_EQ(texts[65], "露出値・ＥＶ(ISO 400)");
}

} // namespace

// The statistics chart: one bar per bin in its own slot, heights in proportion to the largest, the
// chosen bins in their colour, the selection's counts over their bars, empty bins no bar.
TEST(HistogramRender, BarsThroughTheCanvas) {
    StatHistogram histogram;
    histogram.value = StatValue::Lens;
    histogram.bins = {{"A", {}, {"A"}, 4, 0, true}, {"B", {}, {"B"}, 2, 1, false},
                      {"C", {}, {"C"}, 0, 0, false}, {"不明", {}, {}, 1, 0, false}};
    histogram.total = 7;
    histogram.selected = 1;
    const HistogramLayout layout = LayOutHistogram(histogram, kStatisticsChartSize);
    RecordingCanvas canvas;
    PaintHistogram(canvas, histogram, layout);

    const std::vector<CanvasCall> fills = canvas.Of(CanvasCall::Kind::FillRect);
    ASSERT_EQ(fills.size(), 5u); // the background, A, B, B's selection, 不明
    EXPECT_EQ(fills[0].rect, (Rect{0, 0, kStatisticsChartSize.width, kStatisticsChartSize.height}));
    const Rect& plot = layout.plot;
    const struct {
        size_t call, slot;
        int32_t height;
        Color colour;
    } bars[] = {{1, 0, plot.height(), kChosenBarColour},
                {2, 1, plot.height() / 2, kBarColour},
                {3, 1, plot.height() / 4, kSelectedBarColour},
                {4, 3, plot.height() / 4, kBarColour}};
    for (const auto& b : bars) {
        const Rect& r = fills[b.call].rect;
        EXPECT_EQ(fills[b.call].color, b.colour) << b.call;
        EXPECT_EQ(std::pair(r.bottom, r.top), std::pair(plot.bottom, plot.bottom - b.height)) << b.call;
        const int32_t slotLeft = plot.left + static_cast<int32_t>(b.slot) * layout.slot;
        EXPECT_TRUE(r.left > slotLeft && r.right < slotLeft + layout.slot) << b.call;
        // A click anywhere over the bar's column, or on its label, names the bin.
        for (int32_t y : {plot.top, r.top, plot.bottom + 2}) {
            EXPECT_EQ(HistogramBinAt(layout, (r.left + r.right) / 2, y), static_cast<int>(b.slot)) << b.call;
        }
    }
    EXPECT_EQ(HistogramBinAt(layout, plot.left - 1, plot.bottom - 1), -1);
    EXPECT_EQ(HistogramBinAt(layout, plot.left + 1, plot.top - 1), -1);

    std::vector<std::string> texts;
    for (const CanvasCall& call : canvas.Of(CanvasCall::Kind::Text)) {
        texts.push_back(call.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"レンズ  7 枚", "4", "0", "A", "B", "C", "不明",
                                               "最も多い: A (57 %)、B (29 %)"}));
}
