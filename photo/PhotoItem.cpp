#include "photo/PhotoItem.h"

#include "photo/LibRawFile.h"
#include "photo/NumberText.h"
#include "photo/PhotoContainer.h"
#include "photo/ThumbnailDecode.h"
#include "photo/ThumbnailStore.h"

#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>

namespace {

constexpr double kReferenceIso = 100.0;

// Base-2 logarithm as the exposure values have always been computed: ln(x) / ln(2.0). The last
// digit of a "%.1f" text can depend on it, so std::log2 is not used.
double Log2(double x) {
    return std::log(x) / std::log(2.0);
}

// 10/2500 -> 1/250, 10/10 -> 1/1; anything else stays. The test runs in 64 bits because
// INT32_MIN % -1 is undefined in 32 bits (and traps on x86), and a quotient that does not fit
// 32 bits leaves the fraction as it is, so the value never changes.
void ReduceFraction(int32_t& num, int32_t& den) {
    if (num == 0) {
        return;
    }
    const int64_t n = num;
    const int64_t d = den;
    if (d % n != 0) {
        return;
    }
    const int64_t reduced = d / n;
    if (reduced < std::numeric_limits<int32_t>::min() || reduced > std::numeric_limits<int32_t>::max()) {
        return;
    }
    den = static_cast<int32_t>(reduced);
    num = 1;
}

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::path(path), error) && !error;
}

// The fitted thumbnail, from the store where it has one for the file as it is now.
bool LoadThumbnail(const std::string& path, const Rect& box, ThumbnailStore* store, PhotoImage& holder) {
    FileStamp stamp;
    // Stamped before the decode reads the file: a file changed in between is kept under its older
    // stamp, which the next look-up no longer matches, so no picture outlives its file.
    const bool stamped = store != nullptr && StampFile(path, stamp);
    if (stamped && store->Find(stamp, box, holder)) {
        return true;
    }
    if (!LoadThumbnailPicture(path, box, holder)) {
        return false; // refusals are never kept: the file is read again next time
    }
    if (stamped) {
        store->Keep(stamp, box, holder);
    }
    return true;
}

} // namespace

PhotoItem::~PhotoItem() {
    exposureValid = 0;
    thumbnail.Release();
    displayImage.Release();
    exif.Clear();
}

PhotoItem::PhotoItem(const PhotoItem& other) {
    *this = other;
}

PhotoItem& PhotoItem::operator=(const PhotoItem& other) {
    if (this == &other) {
        return *this;
    }
    path = other.path;
    rawCompanion = other.rawCompanion;
    drawRect = other.drawRect;
    thumbnail = other.thumbnail.Clone();
    displayImage = other.displayImage.Clone();
    displayArea = other.displayArea;
    displayPending = other.displayPending;
    exif = other.exif;
    exposureValid = other.exposureValid;
    exposureTimeNum = other.exposureTimeNum;
    exposureTimeDen = other.exposureTimeDen;
    fNumberNum = other.fNumberNum;
    fNumberDen = other.fNumberDen;
    iso = other.iso;
    av = other.av;
    tv = other.tv;
    isoCorrection = other.isoCorrection;
    ev = other.ev;
    return *this;
}

int PhotoItem::Load(const std::string& filePath, int mode, ThumbnailStore* store) {
    exif.Clear();
    // Formats without a TIFF block (.CRW, .X3F) take the values LibRaw parsed from them.
    if (exif.Read(filePath) != 0 && (exif.Container() != static_cast<int>(PhotoContainer::OtherRaw) ||
                                     !ReadLibRawEntries(filePath, exif))) {
        // A file that is not there has no picture to load either; it is reported as a failed
        // load, not as a photo without EXIF.
        return FileExists(filePath) ? -1 : -2;
    }

    // A zero numerator or denominator makes the exposure values meaningless (and the chart
    // position undefined), so such a photo is refused like one without the entry.
    if (exif.GetExposureTime(exposureTimeNum, exposureTimeDen) == 0 || exposureTimeNum == 0 ||
        exposureTimeDen == 0) {
        return -1;
    }
    ReduceFraction(exposureTimeNum, exposureTimeDen);
    if (exif.GetFNumber(fNumberNum, fNumberDen) == 0 || fNumberNum == 0 || fNumberDen == 0) {
        return -1;
    }
    ReduceFraction(fNumberNum, fNumberDen);
    exif.GetIsoSpeed(iso); // absent: iso stays 0 and the values depending on it are not finite

    exposureValid = 1;
    const double f = static_cast<double>(fNumberNum) / static_cast<double>(fNumberDen);
    const double t = static_cast<double>(exposureTimeNum) / static_cast<double>(exposureTimeDen);
    // The negations are sign changes of the logarithm: ISO 100 and 1 s give -0.0, as shown.
    av = 2 * Log2(f);
    tv = -(Log2(t));
    isoCorrection = -(Log2(static_cast<double>(iso) / kReferenceIso));
    if (iso != 0) {
        const double fNum = fNumberNum;
        const double light = fNum * fNum * exposureTimeDen / fNumberDen / fNumberDen;
        ev = Log2(light / exposureTimeNum * 100 / iso);
    } else {
        ev = std::numeric_limits<double>::infinity(); // what log2(x / 0) would give
    }

    path = filePath;
    // The document keeps only the fitted thumbnail, so it is decoded at the smallest scale that
    // still covers the fit; the pop-up viewer's full mode needs every pixel.
    const bool loaded = mode == kModeThumbnail
                            ? LoadThumbnail(path, Rect{0, 0, kThumbnailBox, kThumbnailBox}, store, thumbnail)
                            : LoadPicture(path, thumbnail);
    if (!loaded) {
        return -2;
    }
    // A HEIF picture comes out of libheif already turned by the file's own transformations; its
    // EXIF orientation names that same turn.
    int32_t orientation = 0;
    exif.GetOrientation(orientation);
    if (exif.Container() != static_cast<int>(PhotoContainer::Heif)) {
        CorrectOrientation(thumbnail, orientation);
    }
    return 0;
}

void PhotoItem::FitDisplayImage(const Rect& area) {
    displayArea = area;
    displayPending = false;
    // Straight from the thumbnail (no clone first); empty when the picture cannot be made.
    MakeDisplayPicture(thumbnail, area, displayImage);
    const int32_t w = displayImage.image.cols;
    const int32_t h = displayImage.image.rows;
    drawRect.left = area.left + (area.right - area.left - w) / 2;
    drawRect.right = drawRect.left + w;
    drawRect.top = area.top + (area.bottom - area.top - h) / 2;
    drawRect.bottom = drawRect.top + h;
}

void PhotoItem::PlaceDisplayImage(const Rect& area) {
    displayImage.Release();
    displayArea = area;
    // An empty thumbnail gives no picture, which FitDisplayImage places as 0 x 0.
    displayPending = !thumbnail.Empty();
    const Size fitted =
        displayPending ? FittedPictureSize(thumbnail.image.cols, thumbnail.image.rows, area) : Size{};
    drawRect.left = area.left + (area.right - area.left - fitted.width) / 2;
    drawRect.right = drawRect.left + fitted.width;
    drawRect.top = area.top + (area.bottom - area.top - fitted.height) / 2;
    drawRect.bottom = drawRect.top + fitted.height;
}

bool PhotoItem::EnsureDisplayImage() const {
    if (displayPending) {
        displayPending = false;
        MakeDisplayPicture(thumbnail, displayArea, displayImage);
    }
    return !displayImage.Empty();
}

void PhotoItem::ReleaseDisplayImage() {
    if (!displayImage.Empty()) {
        displayImage.Release();
        displayPending = true;
    }
}

std::string PhotoItem::GetSummaryText() const {
    return "Ev値：" + FormatExposureValue(ev) + "\nAv値：" + FormatExposureValue(av) + "\nTv値：" +
           FormatExposureValue(tv) + "\n(感度補正 " + FormatExposureValue(isoCorrection) + ")";
}

int PhotoItem::GetPropertyText(uint16_t tag, PropertyText& out) const {
    CExifEntryInfo entry;
    if (exif.FindEntry(tag, entry) == 0) {
        FormatProperty(&entry, tag, out);
    } else {
        FormatProperty(nullptr, tag, out);
    }
    return 1;
}

std::string FormatExposureValue(double value) {
    if (!std::isfinite(value)) {
        return "---";
    }
    return FormatFixed(value, 1);
}
