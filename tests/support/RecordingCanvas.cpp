#include "tests/support/RecordingCanvas.h"

#include <algorithm>

void RecordingCanvas::FillRect(const Rect& rect, Color color) {
    CanvasCall call;
    call.kind = CanvasCall::Kind::FillRect;
    call.rect = rect;
    call.color = color;
    calls.push_back(call);
}

void RecordingCanvas::PushPen(Color color, int width) {
    CanvasCall call;
    call.kind = CanvasCall::Kind::PushPen;
    call.color = color;
    call.width = width;
    calls.push_back(call);
}

void RecordingCanvas::PopPen() {
    CanvasCall call;
    call.kind = CanvasCall::Kind::PopPen;
    calls.push_back(call);
}

void RecordingCanvas::DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    CanvasCall call;
    call.kind = CanvasCall::Kind::Line;
    call.x1 = x1;
    call.y1 = y1;
    call.x2 = x2;
    call.y2 = y2;
    calls.push_back(call);
}

void RecordingCanvas::DrawEllipse(const Rect& bounds, Color fill) {
    CanvasCall call;
    call.kind = CanvasCall::Kind::Ellipse;
    call.rect = bounds;
    call.color = fill;
    calls.push_back(call);
}

void RecordingCanvas::DrawText(const Rect& box, const std::string& utf8Text, TextAlign align,
                               int pointTenths) {
    CanvasCall call;
    call.kind = CanvasCall::Kind::Text;
    call.rect = box;
    call.text = utf8Text;
    call.align = align;
    call.pointTenths = pointTenths;
    calls.push_back(call);
}

void RecordingCanvas::DrawPicture(const Rect& destination, const PictureView& picture) {
    CanvasCall call;
    call.kind = CanvasCall::Kind::Picture;
    call.rect = destination;
    call.picture = picture;
    calls.push_back(call);
}

void RecordingCanvas::DrawMarks(const std::vector<MarkSpot>& marks) {
    for (const MarkSpot& mark : marks) {
        DrawEllipse(mark.bounds, mark.fill);
        calls.back().batch = batches;
    }
    ++batches;
}

void RecordingCanvas::FillRects(const std::vector<Rect>& rects, Color color) {
    for (const Rect& rect : rects) {
        FillRect(rect, color);
        calls.back().batch = batches;
    }
    ++batches;
}

std::vector<CanvasCall> RecordingCanvas::Of(CanvasCall::Kind kind) const {
    std::vector<CanvasCall> out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
                 [kind](const CanvasCall& c) { return c.kind == kind; });
    return out;
}

size_t RecordingCanvas::Count(CanvasCall::Kind kind) const {
    return static_cast<size_t>(
        std::count_if(calls.begin(), calls.end(), [kind](const CanvasCall& c) { return c.kind == kind; }));
}

std::vector<CanvasCall::Kind> RecordingCanvas::KindRuns() const {
    std::vector<CanvasCall::Kind> runs;
    for (const CanvasCall& c : calls) {
        if (runs.empty() || runs.back() != c.kind) {
            runs.push_back(c.kind);
        }
    }
    return runs;
}
