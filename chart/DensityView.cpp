#include "chart/DensityView.h"

#include "chart/ChartGeometry.h"
#include "chart/ChartMapping.h"
#include "photo/PhotoItem.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t kGridLeft = 80;  // chart units: the first shutter column and aperture row
constexpr int32_t kGridTop = 80;
constexpr int32_t kStep = 30;

// A label font's size in the canvas's units: the pixels of 72 points per inch at 96 dpi on
// screen; on paper the page's 750 units span an A4 sheet's 297 mm (1 unit = 0.396 mm). Only an
// estimate of whether digits fit: the canvas knows its real resolution.
double FontHeight(const Canvas& canvas, int32_t pointTenths) {
    const double points = pointTenths / 10.0;
    return canvas.IsPrinter() ? points * 25.4 / 72.0 / (297.0 / 750.0) : points * 96.0 / 72.0;
}

// Below this the digits could not be read on screen (about 4.5 points).
constexpr double kLegibleHeight = 6.0;

// "F5.6" of the aperture label "F5.6  5"; "1/125" of the shutter label "\n7\n\n1/125".
std::string ApertureText(int row) {
    const std::string& text = ApertureScale[static_cast<size_t>(row)].text;
    return text.substr(0, text.find(' '));
}

std::string ShutterText(int column) {
    const std::string& text = ShutterScale[static_cast<size_t>(column)].text;
    return text.substr(text.rfind('\n') + 1);
}

} // namespace

DensityCell DensityCellOf(const PhotoItem& photo) {
    const ChartPoint at = PositionOnChart(photo, 100);
    return {std::clamp((at.y - kGridTop) / kStep, 0, kDensityRows - 1),
            std::clamp((at.x - kGridLeft) / kStep, 0, kDensityColumns - 1)};
}

DensityCounts CountPerCell(const std::vector<std::unique_ptr<PhotoItem>>& photos, const std::vector<bool>* shown) {
    DensityCounts result;
    for (size_t i = 0; i < photos.size(); ++i) {
        if (shown != nullptr && i < shown->size() && !(*shown)[i]) {
            continue;
        }
        const DensityCell cell = DensityCellOf(*photos[i]);
        int32_t& count = result.counts[static_cast<size_t>(cell.row * kDensityColumns + cell.column)];
        ++count;
        result.most = std::max(result.most, count);
    }
    return result;
}

Rect DensityCellRect(const DensityCell& cell) {
    const int32_t left = kGridLeft + cell.column * kStep;
    const int32_t top = kGridTop + cell.row * kStep;
    return {left, top, left + kStep, top + kStep};
}

std::optional<DensityCell> DensityCellAt(int32_t x, int32_t y, int32_t magnify) {
    for (int row = 0; row < kDensityRows; ++row) {
        for (int column = 0; column < kDensityColumns; ++column) {
            const DensityCell cell{row, column};
            if (ScaleToView(DensityCellRect(cell), magnify).contains(x, y)) {
                return cell;
            }
        }
    }
    return std::nullopt;
}

std::string DensityTipText(int32_t count, const DensityCell& cell) {
    // Appended piece by piece: GCC 12 at -O3 takes a chain of string + for an overlapping copy
    // (a false -Wrestrict).
    std::string text = std::to_string(count);
    for (const std::string& piece : {std::string(" 枚\n"), ApertureText(cell.row), std::string("–"),
                                     ApertureText(cell.row + 1), std::string("\n"), ShutterText(cell.column),
                                     std::string("–"), ShutterText(cell.column + 1), std::string(" 秒")}) {
        text += piece;
    }
    return text;
}

Color DensityColour(int32_t count, int32_t most) {
    if (count <= 0) {
        return kBackgroundColour;
    }
    const double t = most > 1 ? std::log(static_cast<double>(count)) / std::log(static_cast<double>(most)) : 0.0;
    return ViridisAt(1.0 - t);
}

ChartLegend DensityLegend(const DensityCounts& counts) {
    ChartLegend legend;
    if (counts.most <= 0) {
        return legend;
    }
    legend.kind = ChartLegend::Kind::Scale;
    legend.title = "枚数";
    legend.low.push_back('1'); // not = "1": GCC 12 at -O3 warns falsely of an overlapping copy there
    legend.high = std::to_string(counts.most);
    constexpr int kSteps = 24;
    for (int i = 0; i < kSteps; ++i) {
        // Even steps of the logarithmic scale, as the cells are coloured.
        legend.bar.push_back(ViridisAt(1.0 - (i + 0.5) / kSteps));
    }
    return legend;
}

namespace {

// Calls draw(rect on the canvas, count) for every cell holding a photo, row by row.
template <typename Draw>
void ForEachFilledCell(const Canvas& canvas, const DensityCounts& counts, int32_t magnify, Draw draw) {
    for (int row = 0; row < kDensityRows; ++row) {
        for (int column = 0; column < kDensityColumns; ++column) {
            const DensityCell cell{row, column};
            const int32_t count = counts.At(cell);
            if (count > 0) {
                draw(ChartToCanvas(canvas, DensityCellRect(cell), magnify), count);
            }
        }
    }
}

} // namespace

void DrawDensityCells(Canvas& canvas, const DensityCounts& counts, int32_t magnify, const Rect* exposed) {
    ForEachFilledCell(canvas, counts, magnify, [&](const Rect& rect, int32_t count) {
        if (exposed != nullptr && !canvas.IsPrinter() &&
            (rect.right <= exposed->left || exposed->right <= rect.left || rect.bottom <= exposed->top ||
             exposed->bottom <= rect.top)) {
            return;
        }
        canvas.FillRect(rect, DensityColour(count, counts.most));
    });
}

void DrawDensityCountTexts(Canvas& canvas, const DensityCounts& counts, int32_t magnify) {
    const int32_t font = LabelPointTenths(canvas, magnify);
    const double height = FontHeight(canvas, font);
    ForEachFilledCell(canvas, counts, magnify, [&](const Rect& rect, int32_t count) {
        const std::string text = std::to_string(count);
        // Half-width digits are half as wide as the font is high; a unit of room each side.
        const double width = static_cast<double>(text.size()) * height / 2.0;
        if ((!canvas.IsPrinter() && height < kLegibleHeight) || width + 2 > rect.width() ||
            height + 2 > rect.height()) {
            return;
        }
        // One line centred both ways: centred across, its bottom half a line below the middle.
        const int32_t bottom = rect.top + (rect.height() + static_cast<int32_t>(std::lround(height))) / 2;
        canvas.DrawText(Rect{rect.left, rect.top, rect.right, bottom}, text, TextAlign::CentreBottom, font);
    });
}
