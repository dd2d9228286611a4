#include "photo/ThumbnailDecode.h"

#include "photo/EmbeddedPicture.h"
#include "photo/ExifByteSource.h"
#include "photo/FileBytes.h"
#include "photo/HeifPicture.h"
#include "photo/JpegDecode.h"
#include "photo/JpegFrame.h"
#include "photo/PhotoContainer.h"
#include "photo/RawPreviews.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <exception>

namespace {

bool DecodeReduced(const uint8_t* data, size_t size, const Rect& box, cv::Mat& out) {
    JpegFrame frame;
    if (!ReadJpegFrame(data, size, frame) || frame.precision != 8 ||
        (frame.components != 1 && frame.components != 3 && frame.components != 4) || frame.width == 0 ||
        frame.height == 0 || int64_t{frame.width} * frame.height > kMaxJpegPixels) {
        return false;
    }
    const int denominator = ReducedScaleDenominator(frame.width, frame.height, box);
    if (denominator == 1) {
        return false;
    }
    // libjpeg reads the header itself; it must see the picture this reader saw, or the scale chosen
    // above would not be the one it decodes at.
    cv::Mat reduced;
    if (!DecodeJpeg(data, size, denominator, reduced, frame.width, frame.height)) {
        return false;
    }
    const Size fitted = FittedPictureSize(frame.width, frame.height, box);
    cv::resize(reduced, out, cv::Size(fitted.width, fitted.height), 0, 0, cv::INTER_AREA);
    return true;
}

} // namespace

int ReducedScaleDenominator(int32_t width, int32_t height, const Rect& box) {
    if (width <= 0 || height <= 0) {
        return 1;
    }
    const Size fitted = FittedPictureSize(width, height, box);
    for (const int denominator : {8, 4, 2}) {
        if (ScaledJpegDimension(width, denominator) >= fitted.width &&
            ScaledJpegDimension(height, denominator) >= fitted.height) {
            return denominator;
        }
    }
    return 1;
}

bool LoadReducedThumbnail(const std::string& path, const Rect& box, PhotoImage& holder) {
    holder.Release();
    try {
        FileBytes file;
        cv::Mat picture;
        if (!file.Read(path) || !DecodeReduced(file.data(), file.size(), box, picture)) {
            return false;
        }
        holder.image = picture;
        holder.topDown = 1;
        return true;
    } catch (const std::exception&) {
        // Out of memory, or OpenCV refusing the resize.
        holder.Release();
        return false;
    }
}

bool DecodeJpegThumbnail(const uint8_t* data, size_t size, const Rect& box, PhotoImage& holder) {
    holder.Release();
    cv::Mat picture;
    const bool reduced = DecodeReduced(data, size, box, picture);
    // No reduced scale serves (a small picture), or the file is odd: every pixel, then the fit.
    if (!reduced && !DecodeJpeg(data, size, 1, picture)) {
        return false;
    }
    holder.image = picture;
    holder.topDown = 1;
    if (!reduced && !FitPicture(holder, box)) {
        holder.Release(); // no full-size picture kept in place of a thumbnail
        return false;
    }
    return true;
}

int DecodeOtherContainer(const std::string& path, const Rect& box, PhotoImage& holder) {
    holder.Release();
    const PhotoContainer kind = DetectFileContainer(path);
    if (!IsRawContainer(kind) && kind != PhotoContainer::Heif) {
        return -1;
    }
    try {
        ExifByteSource file(nullptr, 0);
        if (!file.Open(path)) {
            return 0;
        }
        if (kind == PhotoContainer::Heif) {
            cv::Mat picture;
            if (!DecodeHeif(file, box, picture)) {
                return 0;
            }
            holder.image = picture;
            holder.topDown = 1;
            return 1;
        }
        const std::vector<TiffPreview> previews = FindRawPreviews(file, kind, path);
        if (previews.empty()) {
            return 0;
        }
        std::vector<uint8_t> preview;
        if (box.width() > 0) {
            // The thumbnail has the size the largest preview fits to, whichever preview it comes from.
            const Size fitted = FittedPictureSize(previews.front().width, previews.front().height, box);
            if (!ReadTiffPreview(file, SmallestCoveringPreview(previews, fitted.width, fitted.height), preview) ||
                !DecodeJpegThumbnail(preview.data(), preview.size(), box, holder)) {
                return 0;
            }
            if (holder.image.cols != fitted.width || holder.image.rows != fitted.height) {
                cv::resize(holder.image, holder.image, cv::Size(fitted.width, fitted.height), 0, 0, cv::INTER_AREA);
            }
            return 1;
        }
        cv::Mat picture;
        if (!ReadTiffPreview(file, previews.front(), preview) ||
            !DecodeJpeg(preview.data(), preview.size(), 1, picture)) {
            return 0;
        }
        holder.image = picture;
        holder.topDown = 1;
        return 1;
    } catch (const std::exception&) {
        holder.Release();
        return 0;
    }
}

bool LoadThumbnailPicture(const std::string& path, const Rect& box, PhotoImage& holder, int32_t embeddedSide) {
    holder.Release();
    const int other = DecodeOtherContainer(path, box, holder);
    if (other >= 0) {
        return other == 1;
    }
    try {
        if (LoadEmbeddedThumbnail(path, box, embeddedSide, holder)) {
            return true;
        }
        FileBytes file;
        if (!file.Read(path)) {
            return false;
        }
        return DecodeJpegThumbnail(file.data(), file.size(), box, holder);
    } catch (const std::exception&) {
        holder.Release();
        return false;
    }
}
