#include "chart/ChartRender.h"

#include "chart/ChartGeometry.h"
#include "collection/CLumivaneDoc.h"
#include "photo/PhotoImage.h"
#include "photo/PhotoItem.h"

namespace {

bool Intersects(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

} // namespace

int32_t LabelPointTenths(const Canvas& canvas, int32_t magnify) {
    return canvas.IsPrinter() ? kLabelPointTenths : ScaleToView(kLabelPointTenths, magnify);
}

Rect ChartToCanvas(const Canvas& canvas, const Rect& chartRect, int32_t magnify) {
    return canvas.IsPrinter() ? chartRect : ScaleToView(chartRect, magnify);
}

void DrawLineGroup(Canvas& canvas, const ChartLineGroup& group, int32_t magnify) {
    const bool printer = canvas.IsPrinter();
    for (int32_t i = 0; i < group.count; ++i) {
        ChartPoint from = group.Start(i);
        ChartPoint to = group.End(i);
        if (!printer) {
            from = {ScaleToView(from.x, magnify), ScaleToView(from.y, magnify)};
            to = {ScaleToView(to.x, magnify), ScaleToView(to.y, magnify)};
        }
        canvas.DrawLine(from.x, from.y, to.x, to.y);
    }
}

void DrawChartLabel(Canvas& canvas, const ChartLabel& label, int32_t magnify) {
    canvas.DrawText(ChartToCanvas(canvas, label.box, magnify), label.text, label.align,
                    LabelPointTenths(canvas, magnify));
}

void DrawChart(Canvas& canvas, int32_t magnify, const std::string& evCaption,
               const EvLineLabelSet& evLabels) {
    canvas.PushPen(kGridColour, kGridPenWidth);
    for (const ChartLineGroup& group : ChartLineGroups) {
        DrawLineGroup(canvas, group, magnify);
    }
    for (const ChartLabel& label : ApertureScale) {
        DrawChartLabel(canvas, label, magnify);
    }
    for (const ChartLabel& label : ShutterScale) {
        DrawChartLabel(canvas, label, magnify);
    }
    for (const ChartLabel& label : evLabels) {
        DrawChartLabel(canvas, label, magnify);
    }
    DrawChartLabel(canvas, ChartLabel{kCaptionBox, evCaption, 0, kCaptionAlign}, magnify);
    for (const ChartLabel& label : FixedChartTexts) {
        DrawChartLabel(canvas, label, magnify);
    }
    canvas.PopPen();
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

void DrawMark(Canvas& canvas, const PhotoItem& photo) {
    canvas.DrawEllipse(MarkBounds(photo.drawRect), kMarkColour);
}

Rect PhotoPaintBounds(const PhotoItem& photo, int32_t viewType) {
    if (viewType == DisplaySettings::kViewThumbnails) {
        return photo.drawRect;
    }
    // The outline is one pixel wide and may be smoothed over one more.
    const Rect mark = MarkBounds(photo.drawRect);
    return {mark.left - 2, mark.top - 2, mark.right + 2, mark.bottom + 2};
}

void PaintChart(Canvas& canvas, const CLumivaneDoc& doc, const Rect* exposed) {
    const DisplaySettings& settings = doc.settings;
    const bool printer = canvas.IsPrinter();
    if (!printer) {
        const Size chart = ChartSize();
        canvas.FillRect(exposed ? *exposed
                                : Rect{0, 0, ScaleToView(chart.width, settings.magnify),
                                       ScaleToView(chart.height, settings.magnify)},
                        kBackgroundColour);
    }
    DrawChart(canvas, settings.magnify, settings.evCaption, EvLineLabels(settings.isoIndex));
    for (const auto& photo : doc.Photos()) {
        if (!printer && exposed && !Intersects(PhotoPaintBounds(*photo, settings.viewType), *exposed)) {
            continue;
        }
        if (settings.viewType == DisplaySettings::kViewThumbnails) {
            DrawDisplayPicture(photo->drawRect, photo->displayImage, canvas);
        } else {
            DrawMark(canvas, *photo);
        }
    }
}
