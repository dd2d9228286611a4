#pragma once

#include "photo/CExifAnalize.h"
#include "photo/PhotoImage.h"
#include "photo/PropertyText.h"
#include "photo/Rect.h"

#include <cstdint>
#include <string>

class ThumbnailStore;

// One loaded photograph: its EXIF entries, exposure values and pictures.
class PhotoItem {
public:
    static constexpr int kThumbnailBox = 237;  // pixels; thumbnails fit (0, 0)-(237, 237)
    static constexpr int kModeThumbnail = 0;   // any other mode loads the full picture

    PhotoItem() = default;
    ~PhotoItem();
    PhotoItem(const PhotoItem& other);
    PhotoItem& operator=(const PhotoItem& other);  // clones pictures and entries

    // 0 loaded; -1 no usable EXIF (no block, no exposure time or F-number, or one of them with a
    // zero numerator or denominator); -2 the picture cannot be loaded. In thumbnail mode with a
    // store, the picture is taken from the store when it holds one for the file as it is now, and
    // a decoded one is left there; the EXIF is read from the file either way.
    int Load(const std::string& path, int mode, ThumbnailStore* store = nullptr);

    // displayImage = thumbnail fitted into the area; drawRect = its rectangle centred in the area.
    void FitDisplayImage(const Rect& area);

    // "Ev値：%.1f\nAv値：%.1f\nTv値：%.1f\n(感度補正 %.1f)"; a value that is not finite reads "---".
    std::string GetSummaryText() const;

    // The texts of one shooting property (always 1; label only when the photo lacks the tag).
    int GetPropertyText(uint16_t tag, PropertyText& out) const;

    std::string path;  // UTF-8, as given to Load
    Rect drawRect{};   // where displayImage was last placed, in device pixels
    PhotoImage thumbnail;
    PhotoImage displayImage;
    CExifAnalize exif;
    int32_t exposureValid = 0;
    int32_t exposureTimeNum = 0;
    int32_t exposureTimeDen = 0;
    int32_t fNumberNum = 0;
    int32_t fNumberDen = 0;
    int32_t iso = 0;  // 0 when the file has no ISOSpeedRatings
    double av = 0;
    double tv = 0;
    double isoCorrection = 0;  // not finite when iso is 0
    double ev = 0;             // not finite when iso is 0
};

// "%.1f" of a value, or "---" when it is not finite: what every text shows for a missing value.
std::string FormatExposureValue(double value);
