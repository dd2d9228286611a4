#pragma once

#include "chart/Canvas.h"

#include <string>

// A screen canvas that ignores everything but pictures, for tests and benchmarks that only look at
// what DrawPicture hands over.
class PictureCanvas : public Canvas {
public:
    bool IsPrinter() const override { return false; }
    void FillRect(const Rect&, Color) override {}
    void PushPen(Color, int) override {}
    void PopPen() override {}
    void DrawLine(int32_t, int32_t, int32_t, int32_t) override {}
    void DrawEllipse(const Rect&, Color) override {}
    void DrawText(const Rect&, const std::string&, TextAlign, int) override {}
};
