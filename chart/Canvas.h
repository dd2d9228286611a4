#pragma once

#include "photo/PhotoImage.h"
#include "photo/Rect.h"

#include <cstdint>
#include <string>
#include <vector>

struct Color {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    friend bool operator==(const Color&, const Color&) = default;
};

// One mark of a batch: a filled circle in its bounding square, outlined with the current pen.
struct MarkSpot {
    Rect bounds;
    Color fill;
};

// How a label's text sits in its box.
enum class TextAlign {
    TopLeft,       // starts at the top-left corner; "\n" starts a new line
    CentreBottom,  // one line, centred horizontally, bottom on the box's bottom
    RightMiddle,   // one line, right-aligned, centred vertically
    LeftMiddle,    // one line, left-aligned, centred vertically
};

// The one surface the chart is drawn on: the screen, a clipboard picture, a printer or a PDF.
// Coordinates are the canvas's own units: view pixels on screen, chart units on a printer.
class Canvas {
public:
    virtual ~Canvas() = default;

    // A printer canvas (printer, print preview, PDF) takes chart units as they are; a screen canvas
    // gets coordinates already scaled by the magnification.
    virtual bool IsPrinter() const = 0;

    virtual void FillRect(const Rect& rect, Color color) = 0;
    // Selects a solid pen for the following lines and outlines; PopPen returns to the one before.
    // A new canvas starts with a black pen one pixel wide.
    virtual void PushPen(Color color, int width) = 0;
    virtual void PopPen() = 0;
    virtual void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) = 0;
    // An ellipse in the bounding rectangle, filled with the colour and outlined with the current pen.
    virtual void DrawEllipse(const Rect& bounds, Color fill) = 0;
    // Black text on an opaque white background, clipped to the box, in the label font at the given
    // size in tenths of a point (the canvas converts it with its own resolution).
    virtual void DrawText(const Rect& box, const std::string& utf8Text, TextAlign align, int pointTenths) = 0;
    // The advance of one line of text in the label font at the size given, in canvas units. By
    // default counted in the cells of the fixed-pitch label face at 96 dpi: half an em for an
    // ASCII or half-width katakana character, a whole em for any other.
    virtual int32_t TextWidth(const std::string& utf8Text, int pointTenths) const {
        int64_t halfCells = 0;
        for (size_t i = 0; i < utf8Text.size(); ++i) {
            const auto byte = static_cast<unsigned char>(utf8Text[i]);
            if (byte < 0x80) {
                ++halfCells;
            } else if (byte >= 0xC0) {
                // U+FF61..U+FF9F are EF BD A1..EF BE 9F.
                const bool halfWidth = byte == 0xEF && i + 1 < utf8Text.size() &&
                                       (utf8Text.compare(i, 2, "\xEF\xBD") == 0 || utf8Text.compare(i, 2, "\xEF\xBE") == 0);
                halfCells += halfWidth ? 1 : 2;
            }
        }
        // pixels of an em = tenths / 10 * 96 / 72
        return static_cast<int32_t>((halfCells * pointTenths * 96 + 1439) / 1440);
    }
    // The picture stretched into the rectangle, without keeping its aspect.
    virtual void DrawPicture(const Rect& destination, const PictureView& picture) = 0;

    // Thousands of marks or frames in one call, to the same effect as one call each in the order
    // given (later over earlier). A canvas may draw them at once, and leave out what a later one of
    // the batch covers.
    virtual void DrawMarks(const std::vector<MarkSpot>& marks) {
        for (const MarkSpot& mark : marks) {
            DrawEllipse(mark.bounds, mark.fill);
        }
    }
    virtual void FillRects(const std::vector<Rect>& rects, Color color) {
        for (const Rect& rect : rects) {
            FillRect(rect, color);
        }
    }
};
