#include "chart/ChartMapping.h"

int32_t ScaleToView(int32_t v, int32_t magnify) {
    return SaturateToInt32(static_cast<int64_t>(v) * magnify / 100);
}

Rect ScaleToView(const Rect& rect, int32_t magnify) {
    return {ScaleToView(rect.left, magnify), ScaleToView(rect.top, magnify), ScaleToView(rect.right, magnify),
            ScaleToView(rect.bottom, magnify)};
}

int32_t LabelPointTenths(const Canvas& canvas, int32_t magnify) {
    return canvas.IsPrinter() ? kLabelPointTenths : ScaleToView(kLabelPointTenths, magnify);
}

Rect ChartToCanvas(const Canvas& canvas, const Rect& chartRect, int32_t magnify) {
    return canvas.IsPrinter() ? chartRect : ScaleToView(chartRect, magnify);
}

Rect MarkBounds(const Rect& r) {
    const int32_t w = r.width();
    const int32_t h = r.height();
    if (w <= h) {
        const int32_t left = r.left + (w - h) / 2;
        return {left, r.top, left + h, r.bottom};
    }
    const int32_t top = r.top + (h - w) / 2;
    return {r.left, top, r.right, top + w};
}
