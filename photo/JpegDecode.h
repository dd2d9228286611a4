#pragma once

#include <opencv2/core/mat.hpp>

#include <cstddef>
#include <cstdint>

// The largest picture the program decodes, in pixels: OpenCV's own limit on a decoded picture
// (CV_IO_MAX_IMAGE_PIXELS). A 1 << 30 pixel colour picture already takes 3 GiB.
constexpr int64_t kMaxJpegPixels = int64_t{1} << 30;

// Decodes a whole JPEG file held in memory with libjpeg-turbo (TurboJPEG), at 1/denominator of its
// width and height (1, 2, 4 or 8; libjpeg rounds each scaled dimension up), into the layout the
// picture operations use: a grey JPEG gives 8-bit grey, a YCbCr or RGB one 8-bit BGR, and a CMYK or
// YCCK one 8-bit BGR as OpenCV converts it (each of C, M, Y taken against K as stored, so Adobe's
// inverted CMYK comes out right). The decoder never turns the picture by its orientation tag.
//
// When expectedWidth and expectedHeight are not 0, libjpeg's header must give that size, or the
// picture is refused. A warning (a stream cut short or slightly corrupt) still leaves a whole
// picture, grey where data was missing; an error, another sample precision than 8 bits, an unknown
// colour space, more than kMaxJpegPixels, a decode beyond the memory budget or a claimed size its
// bytes cannot hold (JpegDecodeFits, counted before anything is allocated), or a progressive file
// of more than 500 scans refuse it. False, with out empty, on any refusal. Never throws.
// strict: a warning refuses the picture too (an embedded picture is only used when it is whole).
bool DecodeJpeg(const uint8_t* data, size_t size, int denominator, cv::Mat& out, int expectedWidth = 0,
                int expectedHeight = 0, bool strict = false);

// libjpeg's scaled size: the dimension times 1/denominator, rounded up (TJSCALED).
constexpr int32_t ScaledJpegDimension(int32_t dimension, int denominator) {
    return (dimension + denominator - 1) / denominator;
}
