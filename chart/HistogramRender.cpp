#include "chart/HistogramRender.h"

#include "photo/NumberText.h"

#include <algorithm>
#include <string>

namespace {

constexpr int kLabelPointTenths = 80;
constexpr int32_t kLineHeight = 16;       // pixels of one 8-point text line
constexpr int32_t kAxisMargin = 44;       // room for the counts left of the bars
constexpr int32_t kRightMargin = 8;
constexpr Color kAxisColour{0, 0, 0};

// Pixels a label takes at 8 points in the fixed-pitch label face (96 dpi): a half-width character
// about 6, a full-width one (any multibyte UTF-8 sequence) 11.
int32_t LabelWidth(const std::string& text) {
    int32_t width = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            width += 6;
        } else if (byte >= 0xC0) {
            width += 11;
        }
    }
    return width;
}

size_t Largest(const StatHistogram& histogram) {
    size_t largest = 0;
    for (const StatBin& bin : histogram.bins) {
        largest = std::max(largest, bin.count);
    }
    return largest;
}

} // namespace

Rect HistogramLayout::Bar(size_t index, size_t count, size_t largest) const {
    const int32_t width = std::max<int32_t>(1, slot * 3 / 4);
    const int32_t left = plot.left + static_cast<int32_t>(index) * slot + (slot - width) / 2;
    const auto height = largest == 0 ? 0
                                     : static_cast<int32_t>(static_cast<int64_t>(count) * plot.height() /
                                                            static_cast<int64_t>(largest));
    return {left, plot.bottom - height, left + width, plot.bottom};
}

HistogramLayout LayOutHistogram(const StatHistogram& histogram, Size area) {
    HistogramLayout layout;
    layout.area = area;
    layout.bins = histogram.bins.size();
    layout.plot = {kAxisMargin, kLineHeight + 4, std::max(kAxisMargin + 1, area.width - kRightMargin),
                   std::max(kLineHeight + 5, area.height - 2 * kLineHeight - 4)};
    if (layout.bins == 0) {
        return layout;
    }
    layout.slot = std::max<int32_t>(1, layout.plot.width() / static_cast<int32_t>(layout.bins));
    int32_t widest = 0;
    for (const StatBin& bin : histogram.bins) {
        widest = std::max(widest, LabelWidth(bin.label) + 4);
    }
    layout.labelEvery = static_cast<size_t>((widest + layout.slot - 1) / layout.slot);
    return layout;
}

int HistogramBinAt(const HistogramLayout& layout, int32_t x, int32_t y) {
    if (layout.slot <= 0 || x < layout.plot.left || y < layout.plot.top || y >= layout.plot.bottom + kLineHeight) {
        return -1;
    }
    const auto index = static_cast<size_t>((x - layout.plot.left) / layout.slot);
    return index < layout.bins ? static_cast<int>(index) : -1;
}

void PaintHistogram(Canvas& canvas, const StatHistogram& histogram, const HistogramLayout& layout) {
    const Rect& plot = layout.plot;
    canvas.FillRect({0, 0, layout.area.width, layout.area.height}, {255, 255, 255});
    canvas.DrawText({4, 2, layout.area.width - 4, 2 + kLineHeight},
                    std::string(StatValueTitle(histogram.value)) + "  " +
                        FormatInteger(static_cast<int64_t>(histogram.total)) + " 枚",
                    TextAlign::TopLeft, kLabelPointTenths);
    const size_t largest = Largest(histogram);
    for (size_t i = 0; i < histogram.bins.size(); ++i) {
        const StatBin& bin = histogram.bins[i];
        if (bin.count != 0) {
            canvas.FillRect(layout.Bar(i, bin.count, largest), bin.chosen ? kChosenBarColour : kBarColour);
        }
        if (bin.selected != 0) {
            canvas.FillRect(layout.Bar(i, bin.selected, largest), kSelectedBarColour);
        }
    }
    canvas.PushPen(kAxisColour, 1);
    canvas.DrawLine(plot.left, plot.top, plot.left, plot.bottom);
    canvas.DrawLine(plot.left, plot.bottom, plot.right, plot.bottom);
    canvas.PopPen();
    canvas.DrawText({0, plot.top - kLineHeight / 2, plot.left - 4, plot.top + kLineHeight / 2},
                    FormatInteger(static_cast<int64_t>(largest)), TextAlign::RightMiddle, kLabelPointTenths);
    canvas.DrawText({0, plot.bottom - kLineHeight / 2, plot.left - 4, plot.bottom + kLineHeight / 2}, "0",
                    TextAlign::RightMiddle, kLabelPointTenths);
    const auto every = static_cast<int32_t>(layout.labelEvery);
    for (size_t i = 0; i < histogram.bins.size(); i += layout.labelEvery) {
        const int32_t centre = plot.left + static_cast<int32_t>(i) * layout.slot + layout.slot / 2;
        const int32_t half = every * layout.slot / 2;
        canvas.DrawText({centre - half, plot.bottom + 2, centre + half, plot.bottom + 2 + kLineHeight},
                        histogram.bins[i].label, TextAlign::CentreBottom, kLabelPointTenths);
    }
    const std::string top = TopBinsText(histogram);
    if (!top.empty()) {
        canvas.DrawText({4, layout.area.height - kLineHeight - 2, layout.area.width - 4, layout.area.height}, top,
                        TextAlign::TopLeft, kLabelPointTenths);
    }
}
