#pragma once

#include "chart/Canvas.h"
#include "photo/Rect.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>

// What the chart's geometry, its drawing, the density view and the mark colours all share: the
// mapping of chart units onto a canvas, the label size, the mark's square and the chart's colours.

inline constexpr Color kGridColour{192, 192, 192};
inline constexpr Color kMarkColour{255, 0, 0};
inline constexpr Color kBackgroundColour{255, 255, 255};
inline constexpr int32_t kGridPenWidth = 1;
// 8 points; on screen scaled with the magnification, on paper always 8 points.
inline constexpr int32_t kLabelPointTenths = 80;

inline int32_t SaturateToInt32(int64_t v) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// v * magnify / 100, truncated toward zero; saturates instead of overflowing for magnifications no
// panel can set.
int32_t ScaleToView(int32_t v, int32_t magnify);
// Edge by edge, so a scaled rectangle's width is the difference of its scaled edges.
Rect ScaleToView(const Rect& rect, int32_t magnify);

// The label font size for a canvas, in tenths of a point.
int32_t LabelPointTenths(const Canvas& canvas, int32_t magnify);

// The canvas's coordinates of a chart-unit rectangle: scaled on screen, as they are on a printer.
Rect ChartToCanvas(const Canvas& canvas, const Rect& chartRect, int32_t magnify);

// The square the mark's circle is drawn in: the larger side of drawRect, centred on it.
Rect MarkBounds(const Rect& drawRect);

// For sets of rectangles: stacks of photos share one drawRect.
struct RectHash {
    size_t operator()(const Rect& r) const {
        uint64_t h = static_cast<uint32_t>(r.left);
        h = h * 0x9E3779B97F4A7C15ull + static_cast<uint32_t>(r.top);
        h = h * 0x9E3779B97F4A7C15ull + static_cast<uint32_t>(r.right);
        h = h * 0x9E3779B97F4A7C15ull + static_cast<uint32_t>(r.bottom);
        return static_cast<size_t>(h ^ (h >> 29));
    }
};
