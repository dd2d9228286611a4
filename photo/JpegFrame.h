#pragma once

#include <cstddef>
#include <cstdint>

// What the frame header (SOFn) of a JPEG stream says about the picture.
struct JpegFrame {
    uint8_t marker = 0;     // 0xC0 to 0xCF, not 0xC4 (DHT), 0xC8 (JPG) or 0xCC (DAC)
    uint8_t precision = 0;  // bits per sample: 8 for every camera file, 12 or 16 elsewhere
    uint16_t width = 0;     // samples per line
    uint16_t height = 0;    // lines; 0 when a DNL segment after the first scan gives them
    uint8_t components = 0; // 1 grey, 3 YCbCr or RGB, 4 CMYK or YCCK
};

// Walks the markers from SOI to the first frame header. False when the bytes do not begin with
// SOI, a segment runs past the end, something other than a marker stands between segments, or a
// scan or EOI comes before any frame header. Every read is checked against size first.
bool ReadJpegFrame(const uint8_t* data, size_t size, JpegFrame& frame);
