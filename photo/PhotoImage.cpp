#include "photo/PhotoImage.h"

#include "photo/FileBytes.h"
#include "photo/JpegDecode.h"
#include "photo/ThumbnailDecode.h"

#include <opencv2/core.hpp>
#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

bool LoadPicture(const std::string& path, PhotoImage& holder) {
    holder.Release();
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::path(path), error) || error) {
        return false;
    }
    // A HEIF or raw file is told by its content; every other file is decoded by libjpeg-turbo. The
    // decoder does not turn the picture by the file's orientation tag, since the photo record
    // applies the orientation itself, after fitting.
    const int other = DecodeOtherContainer(path, Rect{}, holder);
    if (other >= 0) {
        return other == 1;
    }
    cv::Mat picture;
    try {
        FileBytes file;
        if (file.Read(path)) {
            DecodeJpeg(file.data(), file.size(), 1, picture);
        }
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

namespace {

// Fixed-point weights of the area average. Rows: Q16 (at most 65535), applied to each 8-bit pixel
// taken as Q8 (p * 256) by a 16 x 16 bit multiply that keeps the high half, so every row run sums
// straight into one line of Q8 averages without overflow (at most 255 * 256). Columns: Q12 on
// those Q8 averages, so a sum stays below 2^28.
constexpr int32_t kRowOne = 1 << 16;
constexpr int32_t kColumnOne = 1 << 12;
constexpr int kRowFraction = 8; // bits of the row averages kept for the column pass

// average[i] (+)= (pixels[i] * 256) * weight / 65536, truncated, for one source row; the first
// row of a run stores.
void AccumulateRow(const uint8_t* pixels, uint16_t weight, bool first, uint16_t* average, size_t length) {
    size_t i = 0;
#if CV_SIMD128
    const cv::v_uint16x8 w = cv::v_setall_u16(weight);
    for (; i + 16 <= length; i += 16) {
        cv::v_uint16x8 low;
        cv::v_uint16x8 high;
        cv::v_expand(cv::v_load(pixels + i), low, high);
        low = cv::v_mul_hi(low << kRowFraction, w);
        high = cv::v_mul_hi(high << kRowFraction, w);
        if (!first) {
            low = cv::v_add_wrap(low, cv::v_load(average + i));
            high = cv::v_add_wrap(high, cv::v_load(average + i + 8));
        }
        cv::v_store(average + i, low);
        cv::v_store(average + i + 8, high);
    }
#endif
    for (; i < length; ++i) {
        const auto share = static_cast<uint16_t>(((static_cast<uint32_t>(pixels[i]) << kRowFraction) * weight) >> 16);
        average[i] = first ? share : static_cast<uint16_t>(average[i] + share);
    }
}

// Along one axis, which source pixels each output pixel averages and with what weights. Output i
// covers the source span [i * source / target, (i + 1) * source / target); every source pixel
// weighs its overlap with that span. Positions are counted in 1/target of a source pixel, so the
// spans are exact integers.
struct AreaTaps {
    std::vector<int32_t> first; // per output pixel: its first source pixel
    std::vector<size_t> begin;  // per output pixel, and one past the last: its run in weights
    std::vector<int32_t> weights;
};

AreaTaps AreaWeights(int32_t source, int32_t target, int32_t one) {
    AreaTaps taps;
    taps.first.reserve(static_cast<size_t>(target));
    taps.begin.reserve(static_cast<size_t>(target) + 1);
    const int64_t s = source;
    const int64_t t = target;
    for (int64_t i = 0; i < t; ++i) {
        const int64_t from = i * s;
        const int64_t to = from + s;
        const int64_t firstPixel = from / t;
        const int64_t endPixel = std::min(s, (to + t - 1) / t);
        taps.first.push_back(static_cast<int32_t>(firstPixel));
        taps.begin.push_back(taps.weights.size());
        size_t largest = taps.weights.size();
        int32_t largestWeight = -1;
        int64_t sum = 0;
        for (int64_t j = firstPixel; j < endPixel; ++j) {
            const int64_t overlap = std::min(to, (j + 1) * t) - std::max(from, j * t);
            const int32_t weight = static_cast<int32_t>((overlap * one + s / 2) / s);
            if (weight > largestWeight) {
                largestWeight = weight;
                largest = taps.weights.size();
            }
            taps.weights.push_back(weight);
            sum += weight;
        }
        // Rounding error goes to the heaviest pixel, so that a flat picture stays exactly flat.
        taps.weights[largest] += static_cast<int32_t>(one - sum);
    }
    taps.begin.push_back(taps.weights.size());
    return taps;
}

// Column taps with the same count for every output pixel (the largest), the missing ones of zero
// weight, so the column loop runs a fixed number of times.
struct PaddedTaps {
    int stride = 0;
    std::vector<int32_t> first;
    std::vector<uint32_t> weights; // stride per output pixel
};

PaddedTaps PadTaps(const AreaTaps& taps) {
    PaddedTaps padded;
    const size_t outputs = taps.first.size();
    for (size_t i = 0; i < outputs; ++i) {
        padded.stride = std::max(padded.stride, static_cast<int>(taps.begin[i + 1] - taps.begin[i]));
    }
    padded.first = taps.first;
    padded.weights.assign(outputs * static_cast<size_t>(padded.stride), 0);
    for (size_t i = 0; i < outputs; ++i) {
        for (size_t k = taps.begin[i]; k < taps.begin[i + 1]; ++k) {
            padded.weights[i * static_cast<size_t>(padded.stride) + (k - taps.begin[i])] =
                static_cast<uint32_t>(taps.weights[k]);
        }
    }
    return padded;
}

// One output row from a line of Q8 row averages: blue, green, red (grey copied into all three) and
// 255. Stride is the tap count when known at compile time, 0 for any.
template <int Channels, int Stride>
void ColumnPassOf(const uint16_t* average, const PaddedTaps& taps, uint8_t* out, int width) {
    constexpr int kColumnShift = kRowFraction + 12;
    constexpr uint32_t kColumnHalf = 1u << (kColumnShift - 1);
    static_assert(kColumnOne == 1 << 12);
    const int stride = Stride > 0 ? Stride : taps.stride;
    const uint32_t* weight = taps.weights.data();
    for (int x = 0; x < width; ++x, out += 4, weight += stride) {
        const uint16_t* in = average + static_cast<size_t>(taps.first[static_cast<size_t>(x)]) * Channels;
        uint32_t c0 = 0;
        uint32_t c1 = 0;
        uint32_t c2 = 0;
        for (int k = 0; k < stride; ++k, in += Channels) {
            c0 += weight[k] * in[0];
            if constexpr (Channels >= 3) {
                c1 += weight[k] * in[1];
                c2 += weight[k] * in[2];
            }
        }
        const auto level = [](uint32_t v) {
            return static_cast<uint8_t>(std::min<uint32_t>(255, (v + kColumnHalf) >> kColumnShift));
        };
        out[0] = level(c0);
        out[1] = Channels >= 3 ? level(c1) : out[0];
        out[2] = Channels >= 3 ? level(c2) : out[0];
        out[3] = 255;
    }
}

template <int Channels>
void ColumnPass(const uint16_t* average, const PaddedTaps& taps, uint8_t* out, int width) {
    switch (taps.stride) {
    case 2:
        return ColumnPassOf<Channels, 2>(average, taps, out, width);
    case 3:
        return ColumnPassOf<Channels, 3>(average, taps, out, width);
    case 4:
        return ColumnPassOf<Channels, 4>(average, taps, out, width);
    case 7:
        return ColumnPassOf<Channels, 7>(average, taps, out, width);
    case 8:
        return ColumnPassOf<Channels, 8>(average, taps, out, width);
    default:
        return ColumnPassOf<Channels, 0>(average, taps, out, width);
    }
}

// The area average of an 8-bit picture of Channels channels into target (no larger in either
// direction), written as blue, green, red and an alpha of 255: rows first into one line of Q8
// averages, then that line's columns. Grey is copied into all three colours; a source alpha is
// averaged with the rest but not used.
template <int Channels>
void AreaAverageToBgra(const cv::Mat& source, cv::Mat& target) {
    const AreaTaps rows = AreaWeights(source.rows, target.rows, kRowOne);
    const PaddedTaps padded = PadTaps(AreaWeights(source.cols, target.cols, kColumnOne));
    const size_t lineLength = static_cast<size_t>(source.cols) * Channels;
    // Zeros after the line for the padded taps of the last columns to read.
    std::vector<uint16_t> line(lineLength + static_cast<size_t>(padded.stride) * Channels, 0);
    uint16_t* const average = line.data();

    for (int y = 0; y < target.rows; ++y) {
        const size_t runBegin = rows.begin[static_cast<size_t>(y)];
        const size_t runEnd = rows.begin[static_cast<size_t>(y) + 1];
        int sourceRow = rows.first[static_cast<size_t>(y)];
        for (size_t k = runBegin; k < runEnd; ++k, ++sourceRow) {
            const uint8_t* const pixels = source.ptr<uint8_t>(sourceRow);
            const auto weight = static_cast<uint16_t>(std::min(rows.weights[k], 65535));
            AccumulateRow(pixels, weight, k == runBegin, average, lineLength);
        }

        ColumnPass<Channels>(average, padded, target.ptr<uint8_t>(y), target.cols);
    }
}

} // namespace

bool MakeDisplayPicture(const PhotoImage& source, const Rect& area, PhotoImage& out) {
    out.Release();
    if (source.Empty()) {
        return false;
    }
    const cv::Mat& picture = source.image;
    // An embedded picture of a slightly different shape is stretched to the decoded one's fit.
    const Size placed = source.PlacedSize();
    const Size fitted = FittedPictureSize(placed.width, placed.height, area);
    const cv::Size size(fitted.width, fitted.height);
    const int channels = picture.channels();
    try {
        if (picture.depth() != CV_8U || (channels != 1 && channels != 3 && channels != 4)) {
            // Kept as they are, fitted as before; the draw converts them.
            PhotoImage fittedCopy = source.Clone();
            if (!FitPicture(fittedCopy, area)) {
                return false;
            }
            out = std::move(fittedCopy);
            return true;
        }
        cv::Mat display;
        if (size.width <= picture.cols && size.height <= picture.rows) {
            display.create(size, CV_8UC4);
            if (channels == 4) {
                AreaAverageToBgra<4>(picture, display);
            } else if (channels == 3) {
                AreaAverageToBgra<3>(picture, display);
            } else {
                AreaAverageToBgra<1>(picture, display);
            }
        } else {
            // Enlarged in at least one direction: OpenCV's area interpolation, which then
            // interpolates linearly, as a fit always did.
            cv::Mat colour = picture;
            if (channels == 4) {
                cv::cvtColor(picture, colour, cv::COLOR_BGRA2BGR);
            }
            cv::Mat scaled;
            cv::resize(colour, scaled, size, 0, 0, cv::INTER_AREA);
            cv::cvtColor(scaled, display, channels == 1 ? cv::COLOR_GRAY2BGRA : cv::COLOR_BGR2BGRA);
        }
        out.image = display;
        out.topDown = source.topDown;
    } catch (const std::exception&) {
        out.Release();
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
        std::swap(holder.standsFor.width, holder.standsFor.height);
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
