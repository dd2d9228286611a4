#pragma once

#include "chart/Canvas.h"
#include "photo/Rect.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One call made on a RecordingCanvas, with its arguments exactly as given. Fields a call does not
// take stay at their defaults.
struct CanvasCall {
    enum class Kind { FillRect, PushPen, PopPen, Line, Ellipse, Text, Picture };

    Kind kind = Kind::FillRect;
    Rect rect{};    // FillRect, Ellipse and Text boxes, Picture destinations
    Color color{};  // FillRect, PushPen, Ellipse fill
    int width = 0;  // PushPen
    int32_t x1 = 0; // Line
    int32_t y1 = 0;
    int32_t x2 = 0;
    int32_t y2 = 0;
    std::string text; // Text
    TextAlign align = TextAlign::TopLeft;
    int pointTenths = 0;
    PictureView picture{}; // Picture (the rows pointer is the caller's)
    int batch = -1;        // Ellipse and FillRect: the DrawMarks or FillRects call, from 0; -1 alone
};

// A canvas that draws nothing and records every call in order, for checking what the chart draws.
class RecordingCanvas : public Canvas {
public:
    explicit RecordingCanvas(bool printer = false) : printer(printer) {}

    bool IsPrinter() const override { return printer; }
    void FillRect(const Rect& rect, Color color) override;
    void PushPen(Color color, int width) override;
    void PopPen() override;
    void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
    void DrawEllipse(const Rect& bounds, Color fill) override;
    void DrawText(const Rect& box, const std::string& utf8Text, TextAlign align, int pointTenths) override;
    void DrawPicture(const Rect& destination, const PictureView& picture) override;
    // Recorded as one Ellipse or FillRect call each, numbered by their batch.
    void DrawMarks(const std::vector<MarkSpot>& marks) override;
    void FillRects(const std::vector<Rect>& rects, Color color) override;

    std::vector<CanvasCall> calls;

    // The calls of one kind, in order.
    std::vector<CanvasCall> Of(CanvasCall::Kind kind) const;
    size_t Count(CanvasCall::Kind kind) const;
    // The recorded kinds in order, with consecutive repeats collapsed: {Line, Text, Picture} for a
    // run of lines, then texts, then pictures.
    std::vector<CanvasCall::Kind> KindRuns() const;

    int batches = 0;

private:
    bool printer;
};
