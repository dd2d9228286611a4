#include "photo/PhotoItem.h"

#include "photo/HeifPicture.h"
#include "photo/LibRawFile.h"
#include "photo/NumberText.h"
#include "photo/PhotoContainer.h"
#include "photo/PictureCache.h"
#include "photo/ThumbnailDecode.h"
#include "photo/ThumbnailStore.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <limits>
#include <numeric>
#include <system_error>
#include <utility>
#include <vector>

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

constexpr uint16_t kTagExposureTime = 0x829A;
constexpr uint16_t kTagFNumber = 0x829D;
constexpr uint16_t kTagShutterSpeedValue = 0x9201; // Tv = -log2(seconds), SRATIONAL
constexpr uint16_t kTagApertureValue = 0x9202;     // Av = 2 log2(F), RATIONAL
constexpr uint16_t kTypeRational = 5;
constexpr uint16_t kTypeSRational = 10;

// A zero numerator or denominator makes the exposure values meaningless (and the chart position
// undefined).
bool Usable(int32_t numerator, int32_t denominator) {
    return numerator != 0 && denominator != 0;
}

// The first value of an APEX entry: signed for SRATIONAL, unsigned for RATIONAL, as the type
// stored says. False when absent, of another type, or with a zero denominator.
bool ApexValue(const CExifAnalize& exif, uint16_t tag, double& value) {
    CExifEntryInfo entry;
    if (exif.FindEntry(tag, entry) != 0 || entry.count == 0 || entry.denominators[0] == 0) {
        return false;
    }
    const int32_t n = entry.numerators[0];
    const int32_t d = entry.denominators[0];
    if (entry.type == kTypeSRational) {
        value = static_cast<double>(n) / static_cast<double>(d);
    } else if (entry.type == kTypeRational) {
        value = static_cast<double>(static_cast<uint32_t>(n)) / static_cast<double>(static_cast<uint32_t>(d));
    } else {
        return false;
    }
    return std::isfinite(value);
}

// value / scale reduced to lowest terms; false when the numerator is not a positive 32-bit number.
bool ScaledFraction(double value, int64_t scale, int32_t& num, int32_t& den) {
    const double scaled = std::round(value * static_cast<double>(scale));
    if (!(scaled >= 1 && scaled <= std::numeric_limits<int32_t>::max())) {
        return false;
    }
    const auto n = static_cast<int64_t>(scaled);
    const int64_t common = std::gcd(n, scale);
    num = static_cast<int32_t>(n / common);
    den = static_cast<int32_t>(scale / common);
    return true;
}

// 2^-Tv seconds as the fraction the texts and the chart read, the way cameras write ExposureTime:
// under a tenth of a second 1/N with N the nearest whole number (Tv 6.5: 1/91), longer times in
// thousandths, reduced (Tv -1: 2/1, Tv 1: 1/2). False for a time no 32-bit fraction holds.
bool TimeFromApex(double tv, int32_t& num, int32_t& den) {
    const double seconds = std::exp2(-tv);
    if (seconds < 0.1) {
        const double perSecond = std::round(1 / seconds);
        if (!(perSecond <= std::numeric_limits<int32_t>::max())) {
            return false;
        }
        num = 1;
        den = static_cast<int32_t>(perSecond);
        return true;
    }
    return ScaledFraction(seconds, 1000, num, den) || ScaledFraction(seconds, 1, num, den);
}

// 2^(Av/2) in hundredths, reduced (Av 5: 283/50, read "5.7").
bool FNumberFromApex(double av, int32_t& num, int32_t& den) {
    return ScaledFraction(std::exp2(av / 2), 100, num, den);
}

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::path(path), error) && !error;
}

// The fitted thumbnail, from the store where it has one for the file as it is now.
// The stamp the caller took, or the file's as it is now; false when there is none to be had.
bool StampFor(const std::string& path, const FileStamp* given, FileStamp& stamp) {
    if (given != nullptr) {
        stamp = *given;
        return true;
    }
    return StampFile(path, stamp);
}

// Whether a stored picture serves a load that may use embedded pictures covering side x side
// (none when side is 0).
bool Serves(const PhotoImage& picture, int32_t side) {
    const Size placed = picture.PlacedSize();
    const Size drawn = FittedPictureSize(placed.width, placed.height, Rect{0, 0, side, side});
    return picture.source == PictureSource::Decoded ||
           (side > 0 && PhotoImage::PixelsCover({picture.image.cols, picture.image.rows}, placed, drawn));
}

bool LoadThumbnail(const std::string& path, const Rect& box, ThumbnailStore* store, const FileStamp* given,
                   int32_t embeddedSide, PhotoImage& holder) {
    FileStamp stamp;
    // Stamped before the decode reads the file: a file changed in between is kept under its older
    // stamp, which the next look-up no longer matches, so no picture outlives its file.
    const bool stamped = store != nullptr && StampFor(path, given, stamp);
    if (stamped && store->Find(stamp, box, holder)) {
        if (Serves(holder, embeddedSide)) {
            return true;
        }
        holder.Release(); // too small for what is drawn now: decoded, and replaced in the store
    }
    if (!LoadThumbnailPicture(path, box, holder, embeddedSide)) {
        return false; // refusals are never kept: the file is read again next time
    }
    if (stamped) {
        store->Keep(stamp, box, holder);
    }
    return true;
}

// A thumbnail turned upright as the photo's EXIF says. A HEIF picture comes out of libheif already
// turned by the file's own transformations; its EXIF orientation names that same turn.
void TurnUpright(PhotoImage& holder, int32_t orientation, bool heif) {
    if (!heif) {
        CorrectOrientation(holder, orientation);
    }
}

bool MakeUprightThumbnail(const std::string& path, int32_t orientation, bool heif, ThumbnailStore* store,
                          const FileStamp* stamp, int32_t embeddedSide, PhotoImage& holder) {
    // Only the fitted thumbnail is ever drawn from, so it is decoded at the smallest scale that
    // still covers the fit; the pop-up viewer's full mode needs every pixel.
    try {
        if (!LoadThumbnail(path, Rect{0, 0, PhotoItem::kThumbnailBox, PhotoItem::kThumbnailBox}, store, stamp,
                           embeddedSide, holder)) {
            return false;
        }
        TurnUpright(holder, orientation, heif);
    } catch (const std::exception&) {
        holder.Release();
        return false;
    }
    return true;
}

// The entries, from the store's block when it holds one for the file as it is now (the file is then
// not opened), else read from the file and its block left in the store. 0 or -1 as Read.
int ReadExif(const std::string& path, ThumbnailStore* store, const FileStamp* given, CExifAnalize& exif) {
    FileStamp stamp;
    const bool stamped = store != nullptr && StampFor(path, given, stamp);
    std::vector<uint8_t> block;
    if (stamped && store->FindExif(stamp, block) && exif.ReadStoredBlock(block.data(), block.size()) == 0) {
        return 0;
    }
    exif.Clear();
    exif.KeepParsedBlock(stamped);
    const int read = exif.Read(path);
    exif.KeepParsedBlock(false);
    block = exif.TakeParsedBlock();
    if (read == 0 && !block.empty()) {
        store->KeepExif(stamp, block);
    }
    return read;
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
    thumbnailSize = other.thumbnailSize;
    displayImage = other.displayImage.Clone();
    displayArea = other.displayArea;
    displayRatio = other.displayRatio;
    pictureSource = other.pictureSource;
    picturePixels = other.picturePixels;
    displayPending = other.displayPending;
    displaySoft = other.displaySoft;
    embeddedSide = other.embeddedSide;
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

int PhotoItem::Load(const std::string& filePath, int mode, ThumbnailStore* store, const FileStamp* stamp,
                    int32_t useEmbeddedSide) {
    exif.Clear();
    embeddedSide = mode == kModeThumbnail ? std::max(0, useEmbeddedSide) : 0;
    // Formats without a TIFF block (.CRW, .X3F) take the values LibRaw parsed from them.
    if (ReadExif(filePath, mode == kModeThumbnail ? store : nullptr, stamp, exif) != 0 &&
        (exif.Container() != static_cast<int>(PhotoContainer::OtherRaw) || !ReadLibRawEntries(filePath, exif))) {
        // A file that is not there has no picture to load either; it is reported as a failed
        // load, not as a photo without EXIF; so is a HEIF file refused for its picture's size
        // before its Exif item could be read.
        if (!FileExists(filePath) ||
            (exif.Container() == static_cast<int>(PhotoContainer::Heif) && HeifSizeBeyondLimits(filePath))) {
            return -2;
        }
        return -1;
    }

    // ExposureTime and FNumber; a camera that writes only the APEX values (or a zero in place of
    // either) has them derived, and AV and TV are then its APEX values themselves. A photo with
    // neither is refused like one without EXIF.
    double tvApex = 0;
    const bool timeGiven = exif.GetExposureTime(exposureTimeNum, exposureTimeDen) == 1 &&
                           Usable(exposureTimeNum, exposureTimeDen);
    if (timeGiven) {
        ReduceFraction(exposureTimeNum, exposureTimeDen);
    } else if (!ApexValue(exif, kTagShutterSpeedValue, tvApex) ||
               !TimeFromApex(tvApex, exposureTimeNum, exposureTimeDen)) {
        return -1;
    }
    double avApex = 0;
    const bool fGiven = exif.GetFNumber(fNumberNum, fNumberDen) == 1 && Usable(fNumberNum, fNumberDen);
    if (fGiven) {
        ReduceFraction(fNumberNum, fNumberDen);
    } else if (!ApexValue(exif, kTagApertureValue, avApex) || !FNumberFromApex(avApex, fNumberNum, fNumberDen)) {
        return -1;
    }
    exif.GetIsoSpeed(iso); // absent: iso stays 0 and the values depending on it are not finite

    exposureValid = 1;
    const double f = static_cast<double>(fNumberNum) / static_cast<double>(fNumberDen);
    const double t = static_cast<double>(exposureTimeNum) / static_cast<double>(exposureTimeDen);
    // The negations are sign changes of the logarithm: ISO 100 and 1 s give -0.0, as shown.
    av = fGiven ? 2 * Log2(f) : avApex;
    tv = timeGiven ? -(Log2(t)) : tvApex;
    isoCorrection = -(Log2(static_cast<double>(iso) / kReferenceIso));
    if (iso == 0) {
        ev = std::numeric_limits<double>::infinity(); // what log2(x / 0) would give
    } else if (timeGiven && fGiven) {
        const double fNum = fNumberNum;
        const double light = fNum * fNum * exposureTimeDen / fNumberDen / fNumberDen;
        ev = Log2(light / exposureTimeNum * 100 / iso);
    } else {
        ev = av + tv + isoCorrection;
    }

    path = filePath;
    const bool loaded = mode == kModeThumbnail ? MakeThumbnail(store, thumbnail, stamp) : LoadPicture(path, thumbnail);
    if (!loaded) {
        return -2;
    }
    if (mode != kModeThumbnail) {
        TurnUpright(thumbnail, Orientation(), IsHeif());
    }
    thumbnailSize = thumbnail.PlacedSize();
    pictureSource = thumbnail.source;
    picturePixels = {thumbnail.image.cols, thumbnail.image.rows};
    return 0;
}

int32_t PhotoItem::Orientation() const {
    int32_t orientation = 0;
    exif.GetOrientation(orientation);
    return orientation;
}

bool PhotoItem::IsHeif() const {
    return exif.Container() == static_cast<int>(PhotoContainer::Heif);
}

bool PhotoItem::MakeThumbnail(ThumbnailStore* store, PhotoImage& holder, const FileStamp* stamp) const {
    return MakeUprightThumbnail(path, Orientation(), IsHeif(), store, stamp, embeddedSide, holder);
}

PictureCache::Maker PhotoItem::DecodedThumbnailMaker() const {
    // Values, not the record: the maker may run on a worker after the record is gone.
    return [path = path, orientation = Orientation(), heif = IsHeif()](ThumbnailStore* store, PhotoImage& holder) {
        return MakeUprightThumbnail(path, orientation, heif, store, nullptr, 0, holder);
    };
}

bool PhotoItem::SharpenThumbnail(PictureCache& pictures) const {
    PhotoImage decoded;
    if (!DecodedThumbnailMaker()(pictures.Store(), decoded)) {
        return false;
    }
    pictureSource = PictureSource::Decoded;
    picturePixels = {decoded.image.cols, decoded.image.rows};
    pictures.Put(path, std::move(decoded));
    if (displaySoft) {
        displayImage.Release();
        displayPending = true;
    }
    return true;
}

void PhotoItem::SetEmbeddedSide(int32_t side) {
    embeddedSide = std::max(0, side);
}

void PhotoItem::GiveThumbnailTo(PictureCache& pictures) {
    if (!thumbnail.Empty()) {
        thumbnailSize = thumbnail.PlacedSize();
        pictures.Put(path, std::move(thumbnail));
        thumbnail = PhotoImage{};
    }
}

std::shared_ptr<const PhotoImage> PhotoItem::ThumbnailPicture(PictureCache* pictures) const {
    if (!thumbnail.Empty()) {
        // Not owned: the record outlives the draw that asks.
        return std::shared_ptr<const PhotoImage>(std::shared_ptr<const PhotoImage>(), &thumbnail);
    }
    if (pictures == nullptr || thumbnailSize.width <= 0) {
        return nullptr;
    }
    auto picture = pictures->Get(path, [this](ThumbnailStore* store, PhotoImage& holder) {
        return MakeThumbnail(store, holder);
    });
    if (picture) {
        pictureSource = picture->source;
        picturePixels = {picture->image.cols, picture->image.rows};
    }
    return picture;
}

Rect PhotoItem::MakingArea(const Size& placed) const {
    // In device pixels, but not enlarged past the thumbnail's own beyond what the area needs:
    // more would add memory, no detail.
    if (displayRatio <= 1.0) {
        return displayArea;
    }
    const auto scaled = [this](int32_t v) { return static_cast<int32_t>(std::ceil(v * displayRatio)); };
    return Rect{0, 0, std::min(scaled(displayArea.width()), std::max(displayArea.width(), placed.width)),
                std::min(scaled(displayArea.height()), std::max(displayArea.height(), placed.height))};
}

bool PhotoItem::WouldDrawSoft() const {
    const Size placed = ThumbnailSize();
    return Soft(pictureSource, picturePixels, placed, FittedPictureSize(placed.width, placed.height, MakingArea(placed)));
}

bool PhotoItem::Soft(PictureSource source, const Size& pixels, const Size& placed, const Size& drawn) const {
    return source == PictureSource::Embedded && (embeddedSide == 0 || !PhotoImage::PixelsCover(pixels, placed, drawn));
}

Size PhotoItem::ThumbnailSize() const {
    return thumbnail.Empty() ? thumbnailSize : thumbnail.PlacedSize();
}

void PhotoItem::FitDisplayImage(const Rect& area, PictureCache* pictures) {
    displayArea = area;
    displayRatio = 1.0; // placed by the picture's own size, pixel for pixel
    displayPending = false;
    // Straight from the thumbnail (no clone first); empty when the picture cannot be made.
    MakeFitted(pictures);
    const int32_t w = displayImage.image.cols;
    const int32_t h = displayImage.image.rows;
    drawRect.left = area.left + (area.right - area.left - w) / 2;
    drawRect.right = drawRect.left + w;
    drawRect.top = area.top + (area.bottom - area.top - h) / 2;
    drawRect.bottom = drawRect.top + h;
}

void PhotoItem::PlaceDisplayImage(const Rect& area, double pixelRatio) {
    displayImage.Release();
    displayArea = area;
    displayRatio = pixelRatio > 1.0 && pixelRatio <= 8.0 ? pixelRatio : 1.0;
    // No thumbnail gives no picture, which FitDisplayImage places as 0 x 0.
    const Size size = ThumbnailSize();
    displayPending = size.width > 0 && size.height > 0;
    const Size fitted = displayPending ? FittedPictureSize(size.width, size.height, area) : Size{};
    drawRect.left = area.left + (area.right - area.left - fitted.width) / 2;
    drawRect.right = drawRect.left + fitted.width;
    drawRect.top = area.top + (area.bottom - area.top - fitted.height) / 2;
    drawRect.bottom = drawRect.top + fitted.height;
}

bool PhotoItem::EnsureDisplayImage(PictureCache* pictures) const {
    if (displayPending) {
        displayPending = false;
        MakeFitted(pictures);
    }
    return !displayImage.Empty();
}

void PhotoItem::MakeFitted(PictureCache* pictures) const {
    const std::shared_ptr<const PhotoImage> source = ThumbnailPicture(pictures);
    if (source) {
        MakeDisplayPicture(*source, MakingArea(source->PlacedSize()), displayImage);
        displaySoft = !displayImage.Empty() &&
                      Soft(source->source, {source->image.cols, source->image.rows}, source->PlacedSize(),
                           {displayImage.image.cols, displayImage.image.rows});
    } else {
        displayImage.Release();
        displaySoft = false;
    }
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
    const bool found = exif.FindEntry(tag, entry) == 0;
    const bool exposureTag = tag == kTagExposureTime || tag == kTagFNumber;
    if (exposureValid == 1 && exposureTag && !(found && Usable(entry.numerators[0], entry.denominators[0]))) {
        // Derived from the APEX value at load: the texts say what the chart shows.
        entry = CExifEntryInfo{};
        entry.tag = tag;
        entry.type = kTypeRational;
        entry.count = 1;
        entry.numerators[0] = tag == kTagExposureTime ? exposureTimeNum : fNumberNum;
        entry.denominators[0] = tag == kTagExposureTime ? exposureTimeDen : fNumberDen;
        FormatProperty(&entry, tag, out);
    } else {
        FormatProperty(found ? &entry : nullptr, tag, out);
    }
    return 1;
}

std::string FormatExposureValue(double value) {
    if (!std::isfinite(value)) {
        return "---";
    }
    return FormatFixed(value, 1);
}
