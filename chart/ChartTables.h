#pragma once

#include "chart/Canvas.h"
#include "photo/Rect.h"

#include <array>
#include <cstdint>
#include <string>

// The chart is one fixed drawing in chart units: origin top-left, x to the right, y downward.
// At magnification 100 one chart unit is one view pixel.

struct ChartPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const ChartPoint&, const ChartPoint&) = default;
};

// A run of evenly spaced straight lines: line i runs from (x1 + i * startStepX, y1 + i * startStepY)
// to (x2 + i * endStepX, y2 + i * endStepY).
struct ChartLineGroup {
    int32_t x1 = 0;
    int32_t y1 = 0;
    int32_t x2 = 0;
    int32_t y2 = 0;
    int32_t startStepX = 0;
    int32_t startStepY = 0;
    int32_t endStepX = 0;
    int32_t endStepY = 0;
    int32_t count = 0;

    constexpr ChartPoint Start(int32_t i) const { return {x1 + i * startStepX, y1 + i * startStepY}; }
    constexpr ChartPoint End(int32_t i) const { return {x2 + i * endStepX, y2 + i * endStepY}; }
    constexpr ChartPoint LastStart() const { return Start(count - 1); }
    constexpr ChartPoint LastEnd() const { return End(count - 1); }
};

// Aperture row k (y = 80 + 30k) stands for AV k, shutter column k (x = 80 + 30k) for TV k - 6.
inline constexpr ChartLineGroup ApertureRows{80, 80, 650, 80, 0, 30, 0, 30, 13};
inline constexpr ChartLineGroup ShutterColumns{80, 80, 80, 440, 30, 0, 30, 0, 20};
// Diagonal j (upper j = 0..11, middle 12..19, lower 20..31) is x + y = 160 + 30j, where
// AV + TV = j - 6. They leave the grid by 30 units: on y = 50, or on x = 680 for the lower ones.
inline constexpr ChartLineGroup EvDiagonalsUpper{80, 80, 110, 50, 0, 30, 30, 0, 12};
inline constexpr ChartLineGroup EvDiagonalsMiddle{80, 440, 470, 50, 30, 0, 30, 0, 8};
inline constexpr ChartLineGroup EvDiagonalsLower{320, 440, 680, 80, 30, 0, 0, 30, 12};

// In drawing order.
inline constexpr std::array<ChartLineGroup, 5> ChartLineGroups{ApertureRows, ShutterColumns, EvDiagonalsUpper,
                                                               EvDiagonalsMiddle, EvDiagonalsLower};

// The chart's extent, derived from the grid: 70 units right of the last diagonal's end and 80 below
// the last aperture row. 750 x 520.
constexpr Size ChartSize() {
    return {EvDiagonalsMiddle.LastEnd().x + 70, ApertureRows.LastStart().y + 80};
}

// One text of the chart, clipped to its box (chart units).
struct ChartLabel {
    Rect box;
    std::string text; // UTF-8; "\n" starts a new line in a top-left label
    float value = 0;  // the scale value it marks: F-number, or exposure time in seconds; 0 for none
    TextAlign align = TextAlign::TopLeft;
};

inline constexpr int kApertureStops = 13; // F1 .. F64
inline constexpr int kShutterStops = 20;  // 60 s .. 1/8000 s
inline constexpr int kEvLines = 32;

// Left of the grid, box top on row line k; "F" + number padded to six characters, then AV k.
extern const std::array<ChartLabel, kApertureStops> ApertureScale;
// Below the grid, box left on column line k: an empty line, TV k - 6, the speed in seconds.
extern const std::array<ChartLabel, kShutterStops> ShutterScale;

using EvLineLabelSet = std::array<ChartLabel, kEvLines>;

// The labels at the outer ends of the 32 diagonals, numbered for an ISO index: label j reads
// j - 5 - isoIndex, so at ISO 100 (index 1) each diagonal carries its ISO-100 EV.
EvLineLabelSet EvLineLabels(int32_t isoIndex);

// The nine constant texts after the caption, in drawing order ("ＥＶ" ... the vertical "絞り値・Ｆ").
extern const std::array<ChartLabel, 9> FixedChartTexts;
// Where the caption (the document's evCaption) stands: centred above the grid.
inline constexpr Rect kCaptionBox{0, 0, 750, 30};
inline constexpr TextAlign kCaptionAlign = TextAlign::CentreBottom;
