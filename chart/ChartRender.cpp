#include "chart/ChartRender.h"

#include "chart/ChartGeometry.h"
#include "chart/DensityView.h"
#include "chart/MarkColours.h"
#include "chart/PictureDrawing.h"
#include "collection/CLumivaneDoc.h"
#include "photo/PhotoImage.h"
#include "photo/PhotoItem.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <unordered_set>
#include <vector>

namespace {

// Whether the photo's picture fills its drawRect: drawn 1:1 (a display picture has exactly
// drawRect's size) and opaque (every picture goes to the canvas without transparency). A picture
// still to be made is placed at the size it will have, so it is counted as filling; should it then
// fail to be made, the paint looks again.
bool PictureFillsItsRect(const PhotoItem& photo) {
    const Rect& r = photo.drawRect;
    if (r.width() <= 0 || r.height() <= 0) {
        return false;
    }
    if (photo.DisplayImagePending()) {
        return true;
    }
    return !photo.displayImage.Empty() && photo.displayImage.image.cols == r.width() &&
           photo.displayImage.image.rows == r.height();
}

// Per photo, whether a later photo's picture covers it completely: photos of equal exposure and
// picture shape share one drawRect and lie exactly on top of each other, and on screen only the
// last of them can be seen. Walks the collection from its end.
// Photos the filter keeps out cover nothing.
std::vector<bool> HiddenByLaterPictures(const CLumivaneDoc& doc) {
    const std::vector<std::unique_ptr<PhotoItem>>& photos = doc.Photos();
    std::vector<bool> hidden(photos.size(), false);
    std::unordered_set<Rect, RectHash> filled;
    filled.reserve(photos.size());
    for (size_t i = photos.size(); i-- > 0;) {
        if (!doc.IsShown(i)) {
            continue;
        }
        const PhotoItem& photo = *photos[i];
        if (filled.count(photo.drawRect) != 0) {
            hidden[i] = true;
        } else if (PictureFillsItsRect(photo)) {
            filled.insert(photo.drawRect);
        }
    }
    return hidden;
}

// The photo's display picture, or the red mark where none could be made (its file is gone), so a
// photo never leaves a blank hole. A photo placed without any picture has nothing to show.
void DrawPhotoPicture(Canvas& canvas, const PhotoItem& photo) {
    if (!photo.displayImage.Empty()) {
        DrawDisplayPicture(photo.drawRect, photo.displayImage, canvas);
    } else if (photo.drawRect.width() > 0 && photo.drawRect.height() > 0) {
        DrawMark(canvas, photo);
    }
}

// The whole chart's pictures, made, drawn and let go a run at a time: an output of any number of
// photos holds one run's display pictures at once, and their thumbnails stay within the picture
// cache's bound. False when a picture that was to hide others on screen could not be made: the
// chart must be drawn again, with that failure known (it hides nothing then).
bool DrawPicturesInRuns(Canvas& canvas, const CLumivaneDoc& doc, const std::vector<bool>& hidden) {
    constexpr size_t kPhotosPerRun = 256;
    const std::vector<std::unique_ptr<PhotoItem>>& photos = doc.Photos();
    bool failed = false;
    std::vector<size_t> run;
    std::vector<size_t> madeHere;
    std::vector<const PhotoItem*> toMake;
    const auto drawRun = [&] {
        toMake.clear();
        madeHere.clear();
        for (const size_t i : run) {
            if (photos[i]->DisplayImagePending()) {
                toMake.push_back(photos[i].get());
                madeHere.push_back(i);
            }
        }
        failed = MakeDisplayPictures(toMake, &doc.Pictures(), true) != 0 || failed;
        for (const size_t i : run) {
            DrawPhotoPicture(canvas, *photos[i]);
        }
        // The pictures screen paints made stay for them.
        for (const size_t i : madeHere) {
            photos[i]->ReleaseDisplayImage();
        }
        run.clear();
    };
    for (size_t i = 0; i < photos.size(); ++i) {
        if (!hidden[i] && doc.IsShown(i)) {
            run.push_back(i);
            if (run.size() == kPhotosPerRun) {
                drawRun();
            }
        }
    }
    drawRun();
    return canvas.IsPrinter() || !failed || HiddenByLaterPictures(doc) == hidden;
}

// One drawing of the chart; false when it must be drawn again (DrawPicturesInRuns).
bool PaintChartOnce(Canvas& canvas, const CLumivaneDoc& doc, const Rect* exposed);

} // namespace

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

void DrawMark(Canvas& canvas, const PhotoItem& photo) {
    DrawMark(canvas, photo, kMarkColour);
}

void DrawMark(Canvas& canvas, const PhotoItem& photo, Color fill) {
    canvas.DrawEllipse(MarkBounds(photo.drawRect), fill);
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
    while (!PaintChartOnce(canvas, doc, exposed)) {
    }
}

namespace {

bool PaintChartOnce(Canvas& canvas, const CLumivaneDoc& doc, const Rect* exposed) {
    const DisplaySettings& settings = doc.settings;
    const bool printer = canvas.IsPrinter();
    if (!printer) {
        const Size chart = ChartSize();
        canvas.FillRect(exposed ? *exposed
                                : Rect{0, 0, ScaleToView(chart.width, settings.magnify),
                                       ScaleToView(chart.height, settings.magnify)},
                        kBackgroundColour);
    }
    const std::vector<std::unique_ptr<PhotoItem>>& photos = doc.Photos();
    if (settings.viewType == DisplaySettings::kViewDensity) {
        const DensityCounts counts = CountPerCell(photos, &doc.Shown());
        DrawDensityCells(canvas, counts, settings.magnify, printer ? nullptr : exposed);
        DrawChart(canvas, settings.magnify, settings.evCaption, EvLineLabels(settings.isoIndex));
        DrawDensityCountTexts(canvas, counts, settings.magnify);
        DrawLegend(canvas, DensityLegend(counts), settings.magnify);
        return true;
    }
    DrawChart(canvas, settings.magnify, settings.evCaption, EvLineLabels(settings.isoIndex));
    // Red marks need no colouring and no legend: the chart stays as it always was.
    const bool coloured =
        settings.viewType == DisplaySettings::kViewMarks && settings.markColour != DisplaySettings::kMarkRed;
    const MarkColouring colouring = coloured ? ColourMarks(photos, settings.markColour) : MarkColouring{};
    const bool thumbnails = settings.viewType == DisplaySettings::kViewThumbnails;
    const auto inExposed = [&](const PhotoItem& photo) {
        return printer || !exposed || PhotoPaintBounds(photo, settings.viewType).intersects(*exposed);
    };
    // Pictures no one could see are not drawn on screen; a printer still gets every photo.
    std::vector<bool> hidden =
        !printer && thumbnails ? HiddenByLaterPictures(doc) : std::vector<bool>(photos.size(), false);
    if (thumbnails && exposed == nullptr) {
        return DrawPicturesInRuns(canvas, doc, hidden);
    }
    // The display pictures this paint draws and no paint has made yet, made all at once, and kept
    // for the next paints of the same area. A picture that cannot be made hides nothing, so the
    // photos under it are looked at again.
    while (thumbnails) {
        std::vector<const PhotoItem*> toMake;
        for (size_t i = 0; i < photos.size(); ++i) {
            if (!hidden[i] && doc.IsShown(i) && photos[i]->DisplayImagePending() && inExposed(*photos[i])) {
                toMake.push_back(photos[i].get());
            }
        }
        const size_t failures = toMake.empty() ? 0 : MakeDisplayPictures(toMake, &doc.Pictures(), printer);
        if (!printer) {
            // A paint draws what it has and asks for the sharper pictures in the background.
            for (const PhotoItem* photo : toMake) {
                if (photo->DisplayImageSoft()) {
                    doc.Sharpener().Want(photo->path, photo->DecodedThumbnailMaker());
                }
            }
        }
        if (toMake.empty() || failures == 0 || printer) {
            break;
        }
        hidden = HiddenByLaterPictures(doc);
    }
    // Marks go to the canvas in one batch, in collection order.
    std::vector<MarkSpot> marks;
    for (size_t i = 0; i < photos.size(); ++i) {
        const auto& photo = photos[i];
        if (hidden[i] || !doc.IsShown(i) || !inExposed(*photo)) {
            continue;
        }
        if (thumbnails) {
            DrawPhotoPicture(canvas, *photo);
        } else {
            marks.push_back({MarkBounds(photo->drawRect), coloured ? colouring.colours[i] : kMarkColour});
        }
    }
    if (!marks.empty()) {
        canvas.DrawMarks(marks);
    }
    if (coloured) {
        DrawLegend(canvas, colouring.legend, settings.magnify);
    }
    return true;
}

} // namespace

Rect SelectionFrameBounds(const PhotoItem& photo, int32_t viewType) {
    const Rect inner = viewType == DisplaySettings::kViewMarks ? MarkBounds(photo.drawRect) : photo.drawRect;
    return {inner.left - kSelectionFrameWidth, inner.top - kSelectionFrameWidth, inner.right + kSelectionFrameWidth,
            inner.bottom + kSelectionFrameWidth};
}

Rect SelectionPaintBounds(const CLumivaneDoc& doc) {
    Rect bounds;
    bool any = false;
    for (const auto& photo : doc.Photos()) {
        if (!doc.IsSelected(photo.get())) {
            continue;
        }
        const Rect f = SelectionFrameBounds(*photo, doc.settings.viewType);
        bounds = any ? Rect{std::min(bounds.left, f.left), std::min(bounds.top, f.top), std::max(bounds.right, f.right),
                            std::max(bounds.bottom, f.bottom)}
                     : f;
        any = true;
    }
    return bounds;
}

void DrawSelection(Canvas& canvas, const CLumivaneDoc& doc, const Rect* exposed) {
    if (canvas.IsPrinter() || doc.SelectedCount() == 0) {
        return;
    }
    const int32_t viewType = doc.settings.viewType;
    const int32_t w = kSelectionFrameWidth;
    // Frames are opaque and of one colour: a stack of selected photos needs its frame once.
    std::unordered_set<Rect, RectHash> framed;
    std::vector<Rect> sides;
    for (const auto& photo : doc.Photos()) {
        if (!doc.IsSelected(photo.get())) {
            continue;
        }
        const Rect o = SelectionFrameBounds(*photo, viewType);
        if ((exposed && !o.intersects(*exposed)) || !framed.insert(o).second) {
            continue;
        }
        sides.push_back({o.left, o.top, o.right, o.top + w});
        sides.push_back({o.left, o.bottom - w, o.right, o.bottom});
        sides.push_back({o.left, o.top + w, o.left + w, o.bottom - w});
        sides.push_back({o.right - w, o.top + w, o.right, o.bottom - w});
    }
    if (!sides.empty()) {
        canvas.FillRects(sides, kSelectionColour);
    }
}
