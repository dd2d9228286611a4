#include "chart/PictureDrawing.h"

#include "chart/Canvas.h"

#include <opencv2/core.hpp>
#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <cstring>
#include <exception>

namespace {

// An 8-bit grey or BGR copy of a picture the canvas cannot take as it is. Full scale of the
// source depth maps to 255: 65535 for 16-bit, 1.0 for floating point.
cv::Mat DrawableCopy(const cv::Mat& picture) {
    cv::Mat colour;
    switch (picture.channels()) {
    case 1:
    case 3:
        colour = picture;
        break;
    case 4:
        cv::cvtColor(picture, colour, cv::COLOR_BGRA2BGR);
        break;
    default:
        cv::extractChannel(picture, colour, 0);
        break;
    }
    if (colour.depth() == CV_8U) {
        return colour;
    }
    double scale = 1.0;
    switch (colour.depth()) {
    case CV_16U:
        scale = 255.0 / 65535.0;
        break;
    case CV_32F:
    case CV_64F:
        scale = 255.0;
        break;
    default:
        break;
    }
    cv::Mat eightBit;
    colour.convertTo(eightBit, CV_8U, scale);
    return eightBit;
}

// Whether every pixel of an 8-bit 4-channel picture has an alpha of 255, so that a canvas may
// take its rows as they are. Other 4-channel pictures are drawn without their alpha, as a copy.
// Pixels are read as 32-bit words (alpha in the top byte on a little-endian machine, the low one
// on a big-endian one); all words of a row are and-ed together, so every alpha is 255 exactly when
// the alpha byte of the result is.
bool OpaqueAlpha(const cv::Mat& picture) {
    const size_t width = static_cast<size_t>(picture.cols);
    uint32_t alphaMask = 0;
    const uint8_t probe[4] = {0, 0, 0, 255};
    std::memcpy(&alphaMask, probe, sizeof alphaMask);
    for (int y = 0; y < picture.rows; ++y) {
        const uint8_t* const row = picture.ptr<uint8_t>(y);
        uint32_t all = 0xFFFFFFFFu;
        size_t x = 0;
#if CV_SIMD128
        cv::v_uint32x4 vectorAll = cv::v_setall_u32(0xFFFFFFFFu);
        for (; x + 4 <= width; x += 4) {
            vectorAll = vectorAll & cv::v_reinterpret_as_u32(cv::v_load(row + 4 * x));
        }
        uint32_t lanes[4];
        cv::v_store(lanes, vectorAll);
        all = lanes[0] & lanes[1] & lanes[2] & lanes[3];
#endif
        for (; x < width; ++x) {
            uint32_t word = 0;
            std::memcpy(&word, row + 4 * x, sizeof word);
            all &= word;
        }
        if ((all & alphaMask) != alphaMask) {
            return false;
        }
    }
    return true;
}

// The rows of an 8-bit picture as they stand, for a canvas to draw without a copy.
PictureView ViewOf(const cv::Mat& picture) {
    PictureView view;
    view.rows = picture.data;
    view.width = picture.cols;
    view.height = picture.rows;
    view.bytesPerRow = picture.step[0];
    view.channels = picture.channels();
    return view;
}

} // namespace

void DrawDisplayPicture(const Rect& destination, const PhotoImage& displayPicture, Canvas& canvas) {
    const cv::Mat& picture = displayPicture.image;
    if (picture.empty() || picture.type() != CV_8UC4) {
        DrawPicture(destination, displayPicture, canvas);
        return;
    }
    // Opaque by construction: no scan of the alpha, which would read every pixel once more.
    canvas.DrawPicture(destination, ViewOf(picture));
}

void DrawPicture(const Rect& destination, const PhotoImage& holder, Canvas& canvas) {
    if (holder.Empty()) {
        return;
    }
    cv::Mat drawable;
    const int channels = holder.image.channels();
    if (holder.image.depth() == CV_8U &&
        (channels == 1 || channels == 3 || (channels == 4 && OpaqueAlpha(holder.image)))) {
        drawable = holder.image; // shares the rows: no copy
    } else {
        try {
            drawable = DrawableCopy(holder.image);
        } catch (const std::exception&) {
            return;
        }
    }
    canvas.DrawPicture(destination, ViewOf(drawable));
}
