#include "photo/PhotoImage.h"

#include "chart/Canvas.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <system_error>

bool LoadPicture(const std::string& path, PhotoImage& holder) {
    holder.Release();
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::path(path), error) || error) {
        return false;
    }
    // The decoder must not turn the picture by the file's orientation tag: the photo record
    // applies the orientation itself, after fitting.
    const int flags = cv::IMREAD_ANYDEPTH | cv::IMREAD_ANYCOLOR | cv::IMREAD_IGNORE_ORIENTATION;
    cv::Mat picture;
    try {
        picture = cv::imread(path, flags);
    } catch (const std::exception&) {
        picture.release();
    }
    holder.image = picture;
    holder.topDown = 1;
    return !holder.Empty();
}

Size FitSize(int32_t width, int32_t height, const Rect& area) {
    const int64_t aw = area.width();
    const int64_t ah = area.height();
    if (width <= 0 || height <= 0 || aw <= 0 || ah <= 0) {
        return {};
    }
    if (static_cast<double>(aw) / static_cast<double>(ah) <
        static_cast<double>(width) / static_cast<double>(height)) {
        return {static_cast<int32_t>(aw), static_cast<int32_t>(aw * height / width)};
    }
    return {static_cast<int32_t>(width * ah / height), static_cast<int32_t>(ah)};
}

Size FittedPictureSize(int32_t width, int32_t height, const Rect& area) {
    if (width == area.width() && height == area.height()) {
        return {width, height};
    }
    const Size fitted = FitSize(width, height, area);
    // A very thin picture (or an empty area) would fit to zero rows or columns; it keeps one, so
    // the photo never loses its picture.
    return {std::max(fitted.width, 1), std::max(fitted.height, 1)};
}

bool FitPicture(PhotoImage& holder, const Rect& area) {
    if (holder.Empty()) {
        return false;
    }
    const Size fitted = FittedPictureSize(holder.image.cols, holder.image.rows, area);
    const cv::Size target(fitted.width, fitted.height);
    if (target == holder.image.size()) {
        return true;
    }
    try {
        cv::Mat scaled;
        cv::resize(holder.image, scaled, target, 0, 0, cv::INTER_AREA);
        holder.image = scaled;
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

void FlipPicture(PhotoImage& holder, int mode) {
    if (holder.Empty()) {
        return;
    }
    try {
        cv::Mat flipped;
        cv::flip(holder.image, flipped, mode);
        holder.image = flipped;
    } catch (const std::exception&) {
        // The picture stays as it was.
    }
}

void TransposePicture(PhotoImage& holder) {
    if (holder.Empty()) {
        return;
    }
    try {
        cv::Mat transposed;
        cv::transpose(holder.image, transposed);
        holder.image = transposed;
    } catch (const std::exception&) {
        // The picture stays as it was.
    }
}

void CorrectOrientation(PhotoImage& holder, int32_t orientation) {
    switch (orientation) {
    case 3: // stored turned by 180 degrees
        FlipPicture(holder, -1);
        break;
    case 6: // needs a clockwise quarter turn
        TransposePicture(holder);
        FlipPicture(holder, 1);
        break;
    case 8: // needs a counter-clockwise quarter turn
        TransposePicture(holder);
        FlipPicture(holder, 0);
        break;
    default: // upright, or one of the mirrored orientations, which are left as stored
        break;
    }
}

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

} // namespace

void DrawPicture(const Rect& destination, const PhotoImage& holder, Canvas& canvas) {
    if (holder.Empty()) {
        return;
    }
    cv::Mat drawable;
    const int channels = holder.image.channels();
    if (holder.image.depth() == CV_8U && (channels == 1 || channels == 3)) {
        drawable = holder.image; // shares the rows: no copy
    } else {
        try {
            drawable = DrawableCopy(holder.image);
        } catch (const std::exception&) {
            return;
        }
    }
    PictureView view;
    view.rows = drawable.data;
    view.width = drawable.cols;
    view.height = drawable.rows;
    view.bytesPerRow = drawable.step[0];
    view.channels = drawable.channels();
    canvas.DrawPicture(destination, view);
}
