#include "chart/ChartTables.h"
#include "chart/IsoSpeed.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ChartTables, ChartSizeComesFromTheGrid) {
    EXPECT_EQ(ChartSize(), (Size{750, 520}));
}

// The scale texts must stand on the lines they name, and every diagonal must be a line of equal
// AV + TV (x + y = 160 + 30j) ending where its EV number stands.
TEST(ChartTables, ScaleLabelsSitOnTheirGridLines) {
    for (int k = 0; k < kApertureStops; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(ApertureScale[k].box.top, ApertureRows.Start(k).y);
        EXPECT_EQ(ApertureScale[k].box.top, ApertureRows.End(k).y);
    }
    for (int k = 0; k < kShutterStops; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(ShutterScale[k].box.left, ShutterColumns.Start(k).x);
        EXPECT_EQ(ShutterScale[k].box.left, ShutterColumns.End(k).x);
    }
    const EvLineLabelSet labels = EvLineLabels(1);
    int j = 0;
    for (const ChartLineGroup* group : {&EvDiagonalsUpper, &EvDiagonalsMiddle, &EvDiagonalsLower}) {
        for (int i = 0; i < group->count; ++i, ++j) {
            SCOPED_TRACE(j);
            const ChartPoint from = group->Start(i);
            const ChartPoint to = group->End(i);
            EXPECT_EQ(from.x + from.y, 160 + 30 * j);
            EXPECT_EQ(to.x + to.y, 160 + 30 * j);
            // The number stands just outside the line's outer end.
            const Rect& box = labels[j].box;
            if (j < 20) {
                EXPECT_EQ(to.y, 50);
                EXPECT_EQ(box.left, to.x);
                EXPECT_EQ(box.bottom, 50);
            } else {
                EXPECT_EQ(to.x, 680);
                EXPECT_EQ(box.left, 680);
                EXPECT_EQ(box.top, to.y);
            }
        }
    }
    EXPECT_EQ(j, kEvLines);
}

TEST(ChartTables, EvLabelsAreNumberedForTheIsoIndex) {
    struct Case {
        int32_t isoIndex;
        std::string first;
        std::string last;
    };
    const Case cases[] = {
        {1, "-6", "25"},   // ISO 100: the numbering before any setting is applied
        {0, "-5", "26"},   // ISO 50
        {3, "-8", "23"},   // ISO 400
        {10, "-15", "16"}, // ISO 51200
        {-4, "-5", "26"},  // outside the table: its nearest end, as the caption
        {99, "-15", "16"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.isoIndex);
        const EvLineLabelSet labels = EvLineLabels(c.isoIndex);
        EXPECT_EQ(labels.front().text, c.first);
        EXPECT_EQ(labels.back().text, c.last);
        for (size_t j = 1; j < labels.size(); ++j) {
            EXPECT_EQ(std::stoi(labels[j].text), std::stoi(labels[j - 1].text) + 1);
        }
    }
    EXPECT_EQ(EvLineLabels(1)[20].box, (Rect{680, 80, 730, 95}));
    EXPECT_EQ(EvLineLabels(1)[19].box, (Rect{680, 35, 730, 50}));
}

// A hand-edited settings file may hold any index; it must not read outside the table, and caption,
// index and labels must agree afterwards.
TEST(IsoSpeed, ApplyIsoIndexSetsCaptionAndIndexTogether) {
    struct Case {
        int32_t index;
        int32_t stored;
        std::string caption;
    };
    const Case cases[] = {
        {1, 1, "露出値・ＥＶ(ISO 100)"}, {3, 3, "露出値・ＥＶ(ISO 400)"}, {10, 10, "露出値・ＥＶ(ISO 51200)"},
        {0, 0, "露出値・ＥＶ(ISO 50)"},  {-1, 0, "露出値・ＥＶ(ISO 50)"}, {11, 10, "露出値・ＥＶ(ISO 51200)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        DisplaySettings settings;
        ApplyIsoIndex(settings, c.index);
        EXPECT_EQ(settings.isoIndex, c.stored);
        EXPECT_EQ(settings.evCaption, c.caption);
        EXPECT_EQ(EvLineLabels(settings.isoIndex)[0].text, std::to_string(-5 - c.stored));
    }
}

} // namespace
