#include "photo/EmbeddedPicture.h"

#include "photo/ExifByteSource.h"
#include "photo/JpegDecode.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdlib>
#include <exception>
#include <vector>

namespace {

// The mean level, of 255, that bars may have and still be black.
constexpr uint64_t kBlackLevel = 24;

// a : b against c : d within 1 %, in integers: |a d - b c| <= b c / 100.
bool SameShape(int64_t a, int64_t b, int64_t c, int64_t d) {
    return std::llabs(a * d - b * c) * 100 <= b * c;
}

} // namespace

EmbeddedCrop CropEmbeddedPicture(int32_t width, int32_t height, int32_t photoWidth, int32_t photoHeight) {
    if (width <= 0 || height <= 0 || photoWidth <= 0 || photoHeight <= 0) {
        return {};
    }
    if (SameShape(width, height, photoWidth, photoHeight)) {
        return {true, false, Rect{0, 0, width, height}};
    }
    // Cameras pad the thumbnail of a 3:2, 16:9 or 1:1 photo to 160 x 120; only such a 4:3 picture
    // may be cropped back.
    if (!SameShape(width, height, 4, 3)) {
        return {};
    }
    const int64_t w = width;
    const int64_t h = height;
    // The rows (or columns) the photo's shape gives, rounded down and the odd one taken from the
    // top: a 3:2 photo's 106.7 rows are written as 106 or 108 with bars of 7 or 6, so no bar's row
    // is kept.
    if (w * photoHeight < h * photoWidth) {
        const auto rows = static_cast<int32_t>(w * photoHeight / photoWidth);
        const int32_t top = (height - rows + 1) / 2;
        return {rows > 0, true, Rect{0, top, width, top + rows}};
    }
    const auto columns = static_cast<int32_t>(h * photoWidth / photoHeight);
    const int32_t left = (width - columns + 1) / 2;
    return {columns > 0, true, Rect{left, 0, left + columns, height}};
}

bool EmbeddedBarsAreBlack(const cv::Mat& picture, const Rect& area) {
    // The mean of the bars, every channel: JPEG ringing lifts the pixels next to the photo's edge
    // well above black, a grey or coloured bar lifts them all.
    uint64_t sum = 0;
    uint64_t count = 0;
    const int channels = picture.channels();
    for (int y = 0; y < picture.rows; ++y) {
        const uint8_t* row = picture.ptr<uint8_t>(y);
        const bool inside = y >= area.top && y < area.bottom;
        for (int x = 0; x < picture.cols; ++x) {
            if (inside && x >= area.left && x < area.right) {
                continue;
            }
            for (int c = 0; c < channels; ++c) {
                sum += row[x * channels + c];
            }
            count += static_cast<uint64_t>(channels);
        }
    }
    return count == 0 || sum <= count * kBlackLevel;
}

bool MakeEmbeddedThumbnail(const ExifByteSource& file, const JpegPictures& pictures, const Rect& box, int32_t side,
                           PhotoImage& holder) {
    holder.Release();
    if (side <= 0 || pictures.width <= 0 || pictures.height <= 0) {
        return false;
    }
    const Size standsFor = FittedPictureSize(pictures.width, pictures.height, box);
    const Size drawn = FittedPictureSize(pictures.width, pictures.height, Rect{0, 0, side, side});
    const Size needed{std::min(drawn.width, standsFor.width), std::min(drawn.height, standsFor.height)};
    try {
        for (const TiffPreview& candidate : pictures.embedded) {
            const EmbeddedCrop crop = CropEmbeddedPicture(candidate.width, candidate.height, pictures.width, pictures.height);
            if (!crop.usable || crop.area.width() < needed.width || crop.area.height() < needed.height) {
                continue;
            }
            // A preview several times the thumbnail's size is decoded at the smallest DCT scale
            // whose crop still covers it.
            int denominator = 1;
            for (const int d : {8, 4, 2}) {
                if (!crop.barred && ScaledJpegDimension(crop.area.width(), d) >= standsFor.width &&
                    ScaledJpegDimension(crop.area.height(), d) >= standsFor.height) {
                    denominator = d;
                    break;
                }
            }
            std::vector<uint8_t> bytes;
            cv::Mat decoded;
            if (!ReadTiffPreview(file, candidate, bytes) ||
                !DecodeJpeg(bytes.data(), bytes.size(), denominator, decoded, candidate.width, candidate.height,
                            true)) {
                continue;
            }
            if (crop.barred && !EmbeddedBarsAreBlack(decoded, crop.area)) {
                continue;
            }
            const Rect area = denominator == 1 ? crop.area : Rect{0, 0, decoded.cols, decoded.rows};
            cv::Mat shown = decoded(cv::Rect(area.left, area.top, area.width(), area.height()));
            if (shown.cols >= standsFor.width || shown.rows >= standsFor.height) {
                cv::Mat fitted;
                cv::resize(shown, fitted, cv::Size(standsFor.width, standsFor.height), 0, 0, cv::INTER_AREA);
                holder.image = fitted;
            } else {
                holder.image = shown.clone();
            }
            holder.topDown = 1;
            holder.source = PictureSource::Embedded;
            holder.standsFor = standsFor;
            return true;
        }
    } catch (const std::exception&) {
        // Out of memory or OpenCV refusing: the photo is decoded instead.
    }
    holder.Release();
    return false;
}

bool LoadEmbeddedThumbnail(const std::string& path, const Rect& box, int32_t side, PhotoImage& holder) {
    holder.Release();
    ExifByteSource file(nullptr, 0);
    JpegPictures pictures;
    return side > 0 && file.Open(path) && FindEmbeddedJpegs(file, pictures) && !pictures.embedded.empty() &&
           MakeEmbeddedThumbnail(file, pictures, box, side, holder);
}
