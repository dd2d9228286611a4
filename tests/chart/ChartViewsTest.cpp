// Marks coloured by a value, their legend, and the density view.
#include "chart/ChartGeometry.h"
#include "chart/ChartRender.h"
#include "chart/DensityView.h"
#include "chart/IsoSpeed.h"
#include "chart/MarkColours.h"
#include "tests/chart/ChartFixtures.h"
#include "tests/support/JpegBuilder.h"
#include "tests/support/RecordingCanvas.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using kestory::test::JpegBuilder;
using kestory::test::kExifDirectory;
using Kind = CanvasCall::Kind;

namespace {

inline void PrintTo(const Color& c, std::ostream* os) {
    *os << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}

struct Shot {
    int32_t timeDen;
    int32_t fTenths;
    int32_t iso;        // 0: none
    uint32_t focalMm;   // 0: none
    std::string model;  // empty: none
    std::string taken;  // DateTimeOriginal; empty: none
};

// A chart photo whose EXIF entries are read from a generated block, as a file's would be.
std::unique_ptr<PhotoItem> MakeShot(const Shot& s) {
    auto photo = MakeChartPhoto(1, s.timeDen, s.fTenths, 10);
    photo->iso = s.iso;
    JpegBuilder block;
    block.noPicture();
    if (!s.model.empty()) {
        block.model(s.model);
    }
    if (s.focalMm != 0) {
        block.rational(kExifDirectory, 0x920A, s.focalMm * 10, 10);
    }
    if (!s.taken.empty()) {
        block.ascii(kExifDirectory, 0x9003, s.taken);
    }
    const std::vector<uint8_t> bytes = block.build();
    photo->exif.ReadMemory(bytes.data(), bytes.size());
    return photo;
}

struct ShotDoc {
    ChartTestDoc t;
    explicit ShotDoc(const std::vector<Shot>& shots, int32_t viewType = DisplaySettings::kViewMarks,
                     int32_t markColour = DisplaySettings::kMarkRed) {
        t.doc.settings.viewType = viewType;
        t.doc.settings.markColour = markColour;
        ApplyIsoIndex(t.doc.settings, 1);
        for (const Shot& s : shots) {
            t.Add(MakeShot(s));
        }
        LayoutPhotos(t.doc);
    }
    const std::vector<std::unique_ptr<PhotoItem>>& photos() const { return t.doc.Photos(); }
};

std::vector<Color> EllipseFills(const RecordingCanvas& canvas) {
    std::vector<Color> fills;
    for (const CanvasCall& c : canvas.Of(Kind::Ellipse)) {
        fills.push_back(c.color);
    }
    return fills;
}

const Color kRed = kMarkColour;
const Color kGrey = kOtherColour;

// Each mode against one set: numbers on their scales, photos without the value grey.
TEST(MarkColours, EveryModeColoursTheSameSet) {
    const std::vector<Shot> shots = {
        {125, 56, 100, 24, "X-T2", "2024:05:01 06:00:00"},
        {125, 56, 400, 48, "X-T2", "2024:05:01 12:00:00"},
        {60, 80, 1600, 96, "E-M5  ", "2024:05:01 18:30:00"},
        {30, 28, 0, 0, "", "2024:05:01 25:00:00"},
    };
    ShotDoc set(shots);
    struct Case {
        int32_t mode;
        std::vector<Color> colours;
        ChartLegend::Kind kind;
        std::string title, low, high;
        bool missing;
    };
    const Case cases[] = {
        {DisplaySettings::kMarkRed, {kRed, kRed, kRed, kRed}, ChartLegend::Kind::None, "", "", "", false},
        {DisplaySettings::kMarkByIso, {ViridisAt(0), ViridisAt(0.5), ViridisAt(1), kGrey},
         ChartLegend::Kind::Scale, "ISO 感度", "ISO 100", "ISO 1600", true},
        {DisplaySettings::kMarkByFocalLength, {ViridisAt(0), ViridisAt(0.5), ViridisAt(1), kGrey},
         ChartLegend::Kind::Scale, "焦点距離", "24 mm", "96 mm", true},
        {DisplaySettings::kMarkByTimeOfDay, {TimeOfDayColour(6), TimeOfDayColour(12), TimeOfDayColour(18.5), kGrey},
         ChartLegend::Kind::Scale, "撮影時刻", "0 時", "24 時", true},
        {DisplaySettings::kMarkByCamera, {kOkabeIto[0], kOkabeIto[0], kOkabeIto[1], kGrey},
         ChartLegend::Kind::Categories, "", "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        const MarkColouring colouring = ColourMarks(set.photos(), c.mode);
        EXPECT_EQ(colouring.colours, c.colours);
        EXPECT_EQ(colouring.legend.kind, c.kind);
        EXPECT_EQ(colouring.legend.title, c.title);
        EXPECT_EQ(colouring.legend.low, c.low);
        EXPECT_EQ(colouring.legend.high, c.high);
        EXPECT_EQ(colouring.legend.missing, c.missing);
    }
    // The camera with more photos first; a model's trailing blanks are no part of it.
    const ChartLegend cameras = ColourMarks(set.photos(), DisplaySettings::kMarkByCamera).legend;
    EXPECT_EQ(cameras.entries, (std::vector<std::pair<std::string, Color>>{
                                   {"X-T2", kOkabeIto[0]}, {"E-M5", kOkabeIto[1]}, {"その他", kGrey}}));
    // One value alone takes the middle of the scale.
    ShotDoc single({{125, 56, 800, 0, "", ""}});
    EXPECT_EQ(ColourMarks(single.photos(), DisplaySettings::kMarkByIso).colours, std::vector<Color>{ViridisAt(0.5)});
}

TEST(MarkColours, EightCamerasByCountThenTheRestAsOthers) {
    // "C9" has three photos and ranks first; "C0" .. "C7" one each, so "C7" is the ninth and grey.
    std::vector<Shot> shots(3, Shot{125, 56, 100, 0, "C9", ""});
    for (char i = '0'; i < '8'; ++i) {
        shots.push_back({125, 56, 100, 0, std::string{'C', i}, ""});
    }
    const MarkColouring colouring = ColourMarks(ShotDoc(shots).photos(), DisplaySettings::kMarkByCamera);
    ASSERT_EQ(colouring.legend.entries.size(), 9u);
    EXPECT_EQ(colouring.legend.entries[0], (std::pair<std::string, Color>{"C9", kOkabeIto[0]}));
    EXPECT_EQ(colouring.legend.entries[7], (std::pair<std::string, Color>{"C6", kOkabeIto[7]}));
    EXPECT_EQ(colouring.legend.entries[8], (std::pair<std::string, Color>{"その他", kGrey}));
    EXPECT_EQ(colouring.colours[3], kOkabeIto[1]); // C0
    EXPECT_EQ(colouring.colours.back(), kGrey);     // C7
}

// Only marks take the colours: thumbnails, and red marks, draw exactly what they always drew.
TEST(PaintChartColours, MarksTakeTheColoursAndTheLegendGoesTopRight) {
    const std::vector<Shot> shots = {{125, 56, 100, 0, "", ""}, {60, 80, 400, 0, "", ""}};
    RecordingCanvas red;
    PaintChart(red, ShotDoc(shots, DisplaySettings::kViewMarks, DisplaySettings::kMarkRed).t.doc);
    EXPECT_EQ(EllipseFills(red), (std::vector<Color>{kRed, kRed}));
    EXPECT_EQ(red.Count(Kind::Text), 75u);
    for (const int32_t mode : {DisplaySettings::kMarkRed, DisplaySettings::kMarkByCamera}) {
        RecordingCanvas plain;
        PaintChart(plain, ShotDoc(shots, DisplaySettings::kViewThumbnails).t.doc);
        RecordingCanvas chosen;
        PaintChart(chosen, ShotDoc(shots, DisplaySettings::kViewThumbnails, mode).t.doc);
        EXPECT_EQ(chosen.KindRuns(), plain.KindRuns());
        EXPECT_EQ(chosen.calls.size(), plain.calls.size());
    }

    RecordingCanvas iso;
    PaintChart(iso, ShotDoc(shots, DisplaySettings::kViewMarks, DisplaySettings::kMarkByIso).t.doc);
    EXPECT_EQ(EllipseFills(iso), (std::vector<Color>{ViridisAt(0), ViridisAt(1)}));
    EXPECT_EQ(iso.batches, 1); // every mark in one call
    // After the photos: title, 24 steps of the bar, the two ends, all inside the free corner.
    EXPECT_EQ(iso.KindRuns().back(), Kind::Text);
    const std::vector<CanvasCall> texts = iso.Of(Kind::Text);
    ASSERT_EQ(texts.size(), 75u + 3u);
    EXPECT_EQ(texts[75].text, "ISO 感度");
    EXPECT_EQ(texts[76].text, "ISO 100");
    EXPECT_EQ(texts[77].text, "ISO 400");
    const std::vector<CanvasCall> fills = iso.Of(Kind::FillRect);
    ASSERT_EQ(fills.size(), 1u + 24u);
    EXPECT_EQ(fills[1].rect, (Rect{560, 18, 565, 28}));
    EXPECT_EQ(fills.back().rect, (Rect{675, 18, 680, 28}));
    for (size_t i = 75; i < texts.size(); ++i) {
        const Rect& r = texts[i].rect;
        EXPECT_TRUE(r.left >= kLegendBox.left && r.right <= kLegendBox.right && r.top >= kLegendBox.top &&
                    r.bottom <= kLegendBox.bottom)
            << texts[i].text;
    }
}

TEST(MarkColours, TimeOfDayGoesRoundTheClock) {
    const auto apart = [](Color a, Color b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); };
    EXPECT_LE(apart(TimeOfDayColour(23 + 59 / 60.0), TimeOfDayColour(1 / 60.0)), 6);
    EXPECT_EQ(TimeOfDayColour(24), TimeOfDayColour(0));
    EXPECT_GT(apart(TimeOfDayColour(6), TimeOfDayColour(18)), 200);  // morning and evening differ
}

TEST(MarkColours, LongNamesAreCutInTheMiddleKeepingTheirEnds) {
    const RecordingCanvas canvas;
    const auto width = [&](const std::string& text) { return canvas.TextWidth(text, kLabelPointTenths); };
    struct Case {
        const char* name;
        int32_t maxWidth;
        const char* shown;
    };
    const Case cases[] = {
        {"Canon PowerShot SX130 IS", 130, "Canon PowerShot SX130 IS"},
        {"Canon DIGITAL IXUS 80 IS", 80, "Cano…XUS 80 IS"},
        {"Canon DIGITAL IXUS 870 IS", 80, "Cano…US 870 IS"},
        {"<Digimax i50 MP3>", 50, "<D… MP3>"},
        {"カメラ名", 32, "カ…名"},
        {"AB", 1, "…"},
    };
    for (const Case& c : cases) {
        const std::string cut = CutInMiddle(c.name, c.maxWidth, width);
        EXPECT_EQ(cut, c.shown);
        EXPECT_TRUE(width(cut) <= c.maxWidth || cut == "…") << cut;
    }
}

TEST(PaintChartColours, CameraLegendFillsColumnsOfThreeFromTheRightAndScales) {
    const std::vector<Shot> shots = {{125, 56, 100, 0, "A", ""}, {125, 56, 100, 0, "B", ""},
                                     {125, 56, 100, 0, "C", ""}, {125, 56, 100, 0, "D", ""}};
    ShotDoc set(shots, DisplaySettings::kViewMarks, DisplaySettings::kMarkByCamera);
    struct Case {
        bool printer;
        int32_t magnify;
        Rect firstDisc, fourthDisc, fourthName;
    };
    const Case cases[] = {
        // Columns as wide as a one-letter name: disc, gap, 6 units of text, 2 to the next.
        {false, 100, {710, 3, 719, 12}, {730, 3, 739, 12}, {742, 2, 748, 13}},
        {false, 200, {1420, 6, 1438, 24}, {1460, 6, 1478, 24}, {1484, 4, 1496, 26}},
        {true, 200, {710, 3, 719, 12}, {730, 3, 739, 12}, {742, 2, 748, 13}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.magnify);
        set.t.doc.settings.magnify = c.magnify;
        LayoutPhotos(set.t.doc);
        RecordingCanvas canvas(c.printer);
        PaintChart(canvas, set.t.doc);
        const std::vector<CanvasCall> ellipses = canvas.Of(Kind::Ellipse);
        ASSERT_EQ(ellipses.size(), 4u + 4u);
        EXPECT_EQ(ellipses[4].rect, c.firstDisc);
        EXPECT_EQ(ellipses[7].rect, c.fourthDisc);
        EXPECT_EQ(ellipses[7].color, kOkabeIto[3]);
        EXPECT_EQ(canvas.Of(Kind::Text).back().rect, c.fourthName);
        EXPECT_EQ(canvas.Of(Kind::Text).back().text, "D");
    }
}

TEST(DensityView, CellsHoldTheirUpperRowAndLeftColumn) {
    struct Case {
        int32_t timeNum, timeDen, fNum, fDen;
        DensityCell cell;
    };
    const Case cases[] = {
        {1, 125, 56, 10, {5, 13}},     // on both lines: F5.6-F8 x 1/125-1/250
        {1, 250, 8, 1, {6, 14}},       //
        {1, 200, 63, 10, {5, 13}},     // between them
        {1, 124, 79, 10, {5, 12}},     // just longer than 1/125: the column before
        {1, 1, 1, 1, {0, 6}},          //
        {120, 1, 95, 100, {0, 0}},     // beyond the scales: the outermost cells
        {1, 16000, 90, 1, {11, 18}},   //
        {1, 8000, 64, 1, {11, 18}},    // the last lines belong to the last cells
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.timeDen) + " " + std::to_string(c.fNum));
        const auto photo = MakeChartPhoto(c.timeNum, c.timeDen, c.fNum, c.fDen);
        EXPECT_EQ(DensityCellOf(*photo), c.cell);
    }
    EXPECT_EQ(DensityTipText(12, {5, 13}), "12 枚\nF5.6–F8\n1/125–1/250 秒");
    EXPECT_EQ(DensityTipText(1, {0, 0}), "1 枚\nF1–F1.4\n60–30 秒");
    EXPECT_EQ(DensityTipText(3, {11, 18}), "3 枚\nF45–F64\n1/4000–1/8000 秒");

    // Points at 150 %: the left and top lines belong to the cell, the right and bottom ones not.
    EXPECT_EQ(DensityCellAt(705, 345, 150), (DensityCell{5, 13}));
    EXPECT_EQ(DensityCellAt(749, 389, 150), (DensityCell{5, 13}));
    EXPECT_EQ(DensityCellAt(750, 390, 150), (DensityCell{6, 14}));
    EXPECT_EQ(DensityCellAt(119, 200, 150), std::nullopt);
    EXPECT_EQ(DensityCellAt(500, 660, 150), std::nullopt);
}

// Four photos in one cell, one in another: fills on the log scale, counts where they can be read.
TEST(DensityView, CellsFilledAndCountedOnScreenAndPaper) {
    ChartTestDoc t;
    t.doc.settings.viewType = DisplaySettings::kViewDensity;
    ApplyIsoIndex(t.doc.settings, 1);
    for (int i = 0; i < 4; ++i) {
        t.Add(MakeChartPhoto(1, 125, 56, 10));
    }
    t.Add(MakeChartPhoto(1, 30, 2, 1));
    LayoutPhotos(t.doc);
    EXPECT_EQ(DensityColour(2, 4), ViridisAt(0.5));
    EXPECT_EQ(DensityColour(1, 1), kViridis.back());

    struct Case {
        bool printer;
        int32_t magnify;
        Rect fullCell;
        size_t countTexts;
    };
    const Case cases[] = {
        {false, 100, {470, 230, 500, 260}, 2},
        {false, 200, {940, 460, 1000, 520}, 2},
        {false, 30, {141, 69, 150, 78}, 0}, // digits of 3 pixels are not drawn
        {true, 30, {470, 230, 500, 260}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.magnify);
        t.doc.settings.magnify = c.magnify;
        RecordingCanvas canvas(c.printer);
        PaintChart(canvas, t.doc);
        EXPECT_EQ(canvas.Count(Kind::Ellipse) + canvas.Count(Kind::Picture), 0u);
        std::vector<CanvasCall> fills = canvas.Of(Kind::FillRect);
        if (!c.printer) {
            fills.erase(fills.begin()); // the background
        }
        // The two cells before the grid's lines, then the legend's bar after them.
        ASSERT_EQ(fills.size(), 2u + 24u);
        EXPECT_EQ(canvas.KindRuns()[0], Kind::FillRect);
        EXPECT_EQ(canvas.KindRuns()[1], Kind::PushPen);
        EXPECT_EQ(fills[0].color, kViridis.back()); // 1/30 s F2: one photo
        EXPECT_EQ(fills[1].rect, c.fullCell);
        EXPECT_EQ(fills[1].color, kViridis.front());
        const std::vector<CanvasCall> texts = canvas.Of(Kind::Text);
        ASSERT_EQ(texts.size(), 75u + c.countTexts + 3u);
        if (c.countTexts > 0) {
            const CanvasCall& four = texts[76];
            EXPECT_EQ(four.text, "4");
            EXPECT_EQ(four.align, TextAlign::CentreBottom);
            EXPECT_EQ(four.rect.left, c.fullCell.left);
            EXPECT_EQ(four.rect.right, c.fullCell.right);
            EXPECT_EQ(four.rect.top, c.fullCell.top);
            EXPECT_GT(four.rect.bottom, (c.fullCell.top + c.fullCell.bottom) / 2);
            EXPECT_LT(four.rect.bottom, c.fullCell.bottom);
        }
        EXPECT_EQ(texts[texts.size() - 3].text, "枚数");
        EXPECT_EQ(texts.back().text, "4");
    }
}

} // namespace
