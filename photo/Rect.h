#pragma once

#include <cstdint>

// A rectangle as the chart and the photo record keep it: left and top inside, right and bottom
// outside, all in device pixels (or chart units on a printer).
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool contains(int32_t x, int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
    // Whether the two share a pixel.
    bool intersects(const Rect& o) const { return left < o.right && o.left < right && top < o.bottom && o.top < bottom; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Size {
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};
