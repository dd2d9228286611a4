#pragma once

#include "chart/Canvas.h"

#include <QColor>
#include <QPen>

#include <vector>

class QPainter;
class QFont;

// The chart's canvas on a QPainter: a widget, an image, a printer or a PDF.
//
// A screen canvas works in device-independent pixels (the painter takes care of a device pixel
// ratio above 1). A printer canvas expects the painter to map chart units onto the page already
// (window/viewport or world transform); pens and fonts are then sized through that mapping.
class QtCanvas : public Canvas {
public:
    QtCanvas(QPainter& painter, bool printer);
    ~QtCanvas() override;
    QtCanvas(const QtCanvas&) = delete;
    QtCanvas& operator=(const QtCanvas&) = delete;

    bool IsPrinter() const override { return printer; }
    void FillRect(const Rect& rect, Color color) override;
    void PushPen(Color color, int width) override;
    void PopPen() override;
    void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
    void DrawEllipse(const Rect& bounds, Color fill) override;
    void DrawText(const Rect& box, const std::string& utf8Text, TextAlign align, int pointTenths) override;
    void DrawPicture(const Rect& destination, const PictureView& picture) override;
    // On screen each mark is copied from one pre-drawn disc and one pre-drawn outline per size and
    // colour, and a mark whose square a later mark of the batch takes exactly is left out. Printers,
    // PDF and a painter that scales get the circles one by one.
    void DrawMarks(const std::vector<MarkSpot>& marks) override;
    void FillRects(const std::vector<Rect>& rects, Color color) override;
    int32_t TextWidth(const std::string& utf8Text, int pointTenths) const override;

    // The label font at a size in tenths of a point, for this canvas's painter: on screen in pixels
    // of the device's vertical resolution (72 points per inch, rounded), on a printer in chart units
    // of the page mapping.
    QFont LabelFont(int pointTenths) const;

private:
    QPen MakePen(Color color, int width) const;

    QPainter& painter;
    bool printer;
    std::vector<QPen> pens; // the current pen last; the canvas's default pen first
};

// The label face: IPAGothic, or another fixed-pitch Japanese gothic where it is missing.
QFont ChartLabelFontFace();
