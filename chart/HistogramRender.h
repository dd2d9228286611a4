#pragma once

#include "chart/Canvas.h"
#include "collection/StatBins.h"
#include "photo/Rect.h"

#include <cstddef>
#include <cstdint>

// Where the statistics panel's bar chart goes in an area of the canvas's units (pixels): a title
// line, the bars over a count axis, the bins' labels under them and the three largest bins' line at
// the bottom. One slot of equal width per bin; its bar in the middle three quarters.
struct HistogramLayout {
    Size area{};
    Rect plot{};          // the bars stand on plot.bottom; the largest count reaches plot.top
    int32_t slot = 0;     // width of one bin's column
    size_t bins = 0;
    size_t labelEvery = 1;  // only every n-th bin is labelled when labels would run into each other

    Rect Bar(size_t index, size_t count, size_t largest) const;
};

HistogramLayout LayOutHistogram(const StatHistogram& histogram, Size area);
// The bin whose column holds the point (bar, the space above it or its label), or -1.
int HistogramBinAt(const HistogramLayout& layout, int32_t x, int32_t y);

// The statistics panel's chart, in pixels: room for 20 name bars or the 24 hours. The exporter's
// picture takes the same size.
inline constexpr Size kStatisticsChartSize{360, 240};

inline constexpr Color kBarColour{96, 140, 200};
inline constexpr Color kChosenBarColour{24, 72, 160};     // the bars the chart is filtered to
inline constexpr Color kSelectedBarColour{235, 130, 20};  // the rectangle selection's photos

// White background, the bars (the selection's counts over them), the axis, labels and texts, all
// through the canvas, so the panel, its PNG and SVG pictures look the same.
void PaintHistogram(Canvas& canvas, const StatHistogram& histogram, const HistogramLayout& layout);
