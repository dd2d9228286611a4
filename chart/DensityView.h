#pragma once

#include "chart/Canvas.h"
#include "chart/ChartTables.h"
#include "chart/MarkColours.h"
#include "photo/Rect.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PhotoItem;

// The density view counts the photos in each cell of the grid: one stop of aperture (between two
// aperture rows) by one step of shutter speed (between two shutter columns). A cell holds its upper
// row and its left column (F5.6 and 1/125 s go to the cell F5.6–F8 x 1/125–1/250); photos beyond
// the scales go to the outermost cells, as their positions on the chart do.
inline constexpr int kDensityRows = kApertureStops - 1;    // 12
inline constexpr int kDensityColumns = kShutterStops - 1;  // 19

struct DensityCell {
    int row = 0;     // 0 is F1–F1.4
    int column = 0;  // 0 is 60–30 s
    friend bool operator==(const DensityCell&, const DensityCell&) = default;
};

struct DensityCounts {
    std::array<int32_t, kDensityRows * kDensityColumns> counts{};
    int32_t most = 0;

    int32_t At(const DensityCell& cell) const {
        return counts[static_cast<size_t>(cell.row * kDensityColumns + cell.column)];
    }
};

DensityCell DensityCellOf(const PhotoItem& photo);
// shown: null, or one flag per photo; the photos flagged false (kept out by the filter) are not counted.
DensityCounts CountPerCell(const std::vector<std::unique_ptr<PhotoItem>>& photos,
                           const std::vector<bool>* shown = nullptr);

// The cell's rectangle in chart units, between its grid lines.
Rect DensityCellRect(const DensityCell& cell);
// The cell under a point in view pixels at a magnification, or nothing outside the grid.
std::optional<DensityCell> DensityCellAt(int32_t x, int32_t y, int32_t magnify);

// "12 枚\nF5.6–F8\n1/125–1/250 秒".
std::string DensityTipText(int32_t count, const DensityCell& cell);

// The fill of a cell: the lightest end of viridis for one photo, the darkest for the fullest cell,
// on a logarithmic scale of the count, so that cells of a few photos stay apart from empty ones
// beside a cell of thousands. White (no fill) for an empty cell.
Color DensityColour(int32_t count, int32_t most);
// The legend of the fills: "枚数", from 1 to the fullest cell's count.
ChartLegend DensityLegend(const DensityCounts& counts);

// Fills the non-empty cells (those meeting the exposed rectangle, on screen); drawn before the
// grid, so that its lines stay on top.
void DrawDensityCells(Canvas& canvas, const DensityCounts& counts, int32_t magnify, const Rect* exposed);
// Each count centred in its cell, where the digits fit the cell at the label font's size.
void DrawDensityCountTexts(Canvas& canvas, const DensityCounts& counts, int32_t magnify);
