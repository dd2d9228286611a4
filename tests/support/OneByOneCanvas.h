#pragma once

#include "chart/QtCanvas.h"

#include <vector>

// The reference for batched drawing: every mark and frame drawn by itself, in the batch's order.
class OneByOneCanvas : public QtCanvas {
public:
    using QtCanvas::QtCanvas;
    void DrawMarks(const std::vector<MarkSpot>& marks) override { Canvas::DrawMarks(marks); }
    void FillRects(const std::vector<Rect>& rects, Color color) override { Canvas::FillRects(rects, color); }
};
