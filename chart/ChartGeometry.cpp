#include "chart/ChartGeometry.h"

#include "collection/CLumivaneDoc.h"
#include "photo/PhotoImage.h"
#include "photo/PhotoItem.h"

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

// Exposure time and F-number are compared with the scale values in single precision, as the
// fraction divided as real numbers and then rounded.
float FractionValue(int32_t num, int32_t den) {
    return static_cast<float>(static_cast<double>(num) / static_cast<double>(den));
}

// Between scale values v0 (at p0) and v1 (at p1), linear in the value itself.
int32_t Interpolate(float v, float v0, int32_t p0, float v1, int32_t p1) {
    const double d0 = v0;
    const double d1 = v1;
    const double dv = v;
    return static_cast<int32_t>(((d1 - dv) * p0 + (dv - d0) * p1) / (d1 - d0));
}

int64_t FloorHalf(int64_t v) {
    return v >= 0 ? v / 2 : -((1 - v) / 2);
}

} // namespace

int32_t ShutterPosition(float seconds) {
    // The scale runs from long to short times; a NaN matches nothing and ends on the last column.
    for (size_t k = 0; k < ShutterScale.size(); ++k) {
        const float v = ShutterScale[k].value;
        if (v == seconds) {
            return ShutterScale[k].box.left;
        }
        if (v < seconds) {
            if (k == 0) {
                return ShutterScale[0].box.left;
            }
            return Interpolate(seconds, ShutterScale[k - 1].value, ShutterScale[k - 1].box.left, v,
                               ShutterScale[k].box.left);
        }
    }
    return ShutterScale.back().box.left;
}

int32_t AperturePosition(float fNumber) {
    for (size_t k = 0; k < ApertureScale.size(); ++k) {
        const float v = ApertureScale[k].value;
        if (v == fNumber) {
            return ApertureScale[k].box.top;
        }
        if (v > fNumber) {
            if (k == 0) {
                return ApertureScale[0].box.top;
            }
            return Interpolate(fNumber, ApertureScale[k - 1].value, ApertureScale[k - 1].box.top, v,
                               ApertureScale[k].box.top);
        }
    }
    return ApertureScale.back().box.top;
}

ChartPoint PositionOnChart(const PhotoItem& photo, int32_t magnify) {
    const int32_t x = ShutterPosition(FractionValue(photo.exposureTimeNum, photo.exposureTimeDen));
    const int32_t y = AperturePosition(FractionValue(photo.fNumberNum, photo.fNumberDen));
    return {ScaleToView(x, magnify), ScaleToView(y, magnify)};
}

void LayoutPhotos(CLumivaneDoc& doc) {
    const DisplaySettings& settings = doc.settings;
    const int32_t half = ScaleToView(settings.sizePict, settings.magnify) / 2;
    const int32_t embeddedSide = doc.EmbeddedPictureSide();
    for (const auto& photo : doc.Photos()) {
        photo->SetEmbeddedSide(embeddedSide);
        const ChartPoint centre = PositionOnChart(*photo, settings.magnify);
        photo->PlaceDisplayImage(Rect{centre.x - half, centre.y - half, centre.x + half, centre.y + half},
                                 doc.pixelRatio);
    }
}

void ReleaseDisplayPictures(CLumivaneDoc& doc) {
    for (const auto& photo : doc.Photos()) {
        photo->ReleaseDisplayImage();
    }
}

size_t MakeDisplayPictures(const std::vector<const PhotoItem*>& photos, PictureCache* pictures, bool complete) {
    // A display picture depends only on its own photo's thumbnail and cell, and EnsureDisplayImage
    // touches nothing but that photo (it never throws), so runs of photos are fitted on OpenCV's
    // worker threads; the result is the same as one photo after another.
    constexpr int kPhotosPerRun = 32;
    const int count = static_cast<int>(photos.size());
    std::vector<char> made(photos.size(), 0);
    const auto fit = [&](const cv::Range& run) {
        for (int i = run.start; i < run.end; ++i) {
            const auto k = static_cast<size_t>(i);
            const PhotoItem& photo = *photos[k];
            made[k] = photo.EnsureDisplayImage(pictures) ? 1 : 0;
            // An output shows every photo as sharp as decoding makes it; a failed decode keeps the
            // embedded picture rather than a mark.
            if (complete && pictures != nullptr && photo.DisplayImageSoft() && photo.SharpenThumbnail(*pictures)) {
                made[k] = photo.EnsureDisplayImage(pictures) ? 1 : 0;
            }
        }
    };
    if (count <= kPhotosPerRun) {
        fit(cv::Range(0, count));
    } else {
        cv::parallel_for_(cv::Range(0, count), fit, (count + kPhotosPerRun - 1) / kPhotosPerRun);
    }
    return static_cast<size_t>(std::count(made.begin(), made.end(), 0));
}

bool SharpenShownPictures(const CLumivaneDoc& doc, const OutputProgress& progress, const Rect* within) {
    if (doc.settings.viewType != DisplaySettings::kViewThumbnails) {
        return true;
    }
    std::vector<const PhotoItem*> soft;
    for (size_t i = 0; i < doc.Photos().size(); ++i) {
        const bool inside = within == nullptr || doc.Photos()[i]->drawRect.intersects(*within);
        if (inside && doc.IsShown(i) && doc.Photos()[i]->WouldDrawSoft()) {
            soft.push_back(doc.Photos()[i].get());
        }
    }
    // A run per two cores' worth of decodes, so progress moves about twice a second.
    constexpr size_t kRun = 16;
    for (size_t done = 0; done < soft.size(); done += kRun) {
        if (progress && !progress(done, soft.size())) {
            return false;
        }
        const int count = static_cast<int>(std::min(kRun, soft.size() - done));
        cv::parallel_for_(cv::Range(0, count), [&](const cv::Range& range) {
            for (int k = range.start; k < range.end; ++k) {
                soft[done + static_cast<size_t>(k)]->SharpenThumbnail(doc.Pictures());
            }
        });
    }
    if (progress && !soft.empty()) {
        progress(soft.size(), soft.size());
    }
    return true;
}

ChartScrollSizes ScrollSizesFor(int32_t magnify) {
    const Size chart = ChartSize();
    const Size total{std::max(0, ScaleToView(chart.width, magnify)),
                     std::max(0, ScaleToView(chart.height, magnify))};
    const Size page{total.width / 10, total.height / 10};
    return {total, page, {page.width / 10, page.height / 10}};
}

Rect BandBetween(ChartPoint from, ChartPoint to) {
    return {std::min(from.x, to.x), std::min(from.y, to.y), SaturateToInt32(int64_t{std::max(from.x, to.x)} + 1),
            SaturateToInt32(int64_t{std::max(from.y, to.y)} + 1)};
}

bool BandTouchesPhoto(const Rect& band, const PhotoItem& photo, int32_t viewType) {
    if (band.width() <= 0 || band.height() <= 0) {
        return false;
    }
    const Rect& r = photo.drawRect;
    if (viewType != DisplaySettings::kViewMarks) {
        return r.intersects(band);
    }
    const Rect disc = MarkBounds(r);
    if (disc.width() <= 0) {
        return false;
    }
    // In doubled coordinates, where the disc's centre and the pixel centres are whole numbers: the
    // band's pixel nearest to the centre, and whether its centre lies within the radius.
    const int64_t cx2 = int64_t{disc.left} + disc.right;
    const int64_t cy2 = int64_t{disc.top} + disc.bottom;
    const int64_t px = std::clamp<int64_t>(FloorHalf(cx2), band.left, band.right - 1);
    const int64_t py = std::clamp<int64_t>(FloorHalf(cy2), band.top, band.bottom - 1);
    const int64_t dx = 2 * px + 1 - cx2;
    const int64_t dy = 2 * py + 1 - cy2;
    const int64_t diameter = disc.width();
    return dx * dx + dy * dy <= diameter * diameter;
}

std::vector<PhotoItem*> PhotosInBand(const CLumivaneDoc& doc, const Rect& band) {
    std::vector<PhotoItem*> touched;
    for (size_t i = 0; i < doc.Photos().size(); ++i) {
        const auto& photo = doc.Photos()[i];
        if (doc.IsShown(i) && BandTouchesPhoto(band, *photo, doc.settings.viewType)) {
            touched.push_back(photo.get());
        }
    }
    return touched;
}
