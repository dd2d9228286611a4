#pragma once

#include "photo/CExifAnalize.h"
#include "photo/PhotoImage.h"
#include "photo/PictureCache.h"
#include "photo/PropertyText.h"
#include "photo/Rect.h"

#include <cstdint>
#include <memory>
#include <string>

struct FileStamp;
class ThumbnailStore;

// One loaded photograph: its EXIF entries, exposure values and pictures. An imported record hands
// its thumbnail's pixels to the document's picture cache and keeps only the thumbnail's size;
// records that keep their own thumbnail (the viewer's, the information panel's copy) draw from it.
class PhotoItem {
public:
    static constexpr int kThumbnailBox = 237;  // pixels; thumbnails fit (0, 0)-(237, 237)
    static constexpr int kModeThumbnail = 0;   // any other mode loads the full picture

    PhotoItem() = default;
    ~PhotoItem();
    PhotoItem(const PhotoItem& other);
    PhotoItem& operator=(const PhotoItem& other);  // clones pictures and entries

    // 0 loaded; -1 no usable EXIF (no block, or no exposure time or F-number: neither the entry
    // with a non-zero numerator and denominator nor its APEX value, ShutterSpeedValue or
    // ApertureValue, to derive it from); -2 the picture cannot be loaded. In thumbnail mode with a
    // store, the picture is taken from the store when it holds one for the file as it is now, and
    // a decoded one is left there; the EXIF is read from the file either way. stamp: the file's
    // state as the caller took it before this call, under which the store is asked and filled
    // (null: it is taken here).
    // embeddedSide above 0: the thumbnail may come from a picture the file carries (an EXIF
    // thumbnail, an MPF preview) that covers the photo drawn into a side x side square of pixels,
    // or the store's picture of that kind; it then stands for the decoded thumbnail's size, so the
    // photo is placed as if decoded.
    int Load(const std::string& path, int mode, ThumbnailStore* store = nullptr, const FileStamp* stamp = nullptr,
             int32_t embeddedSide = 0);

    // The thumbnail's pixels fitted into kThumbnailBox and turned upright, made again from the
    // store or the file (never throws); false when the file no longer gives them. stamp as Load's.
    bool MakeThumbnail(ThumbnailStore* store, PhotoImage& holder, const FileStamp* stamp = nullptr) const;
    // What makes the decoded thumbnail (never an embedded picture) into a picture cache, from the
    // photo's path and orientation alone: it may run on a worker thread after the record is gone.
    PictureCache::Maker DecodedThumbnailMaker() const;
    // Decodes the thumbnail now and puts it in the cache in place of an embedded one; a soft
    // display picture is made again from it at the next paint. False when it cannot be decoded.
    bool SharpenThumbnail(PictureCache& pictures) const;
    // What later makes of the thumbnail may use (0: decoded only); a display picture made from an
    // embedded picture is soft from then on.
    void SetEmbeddedSide(int32_t side);
    int32_t EmbeddedSide() const { return embeddedSide; }
    // Moves the thumbnail's pixels into the cache under this path; thumbnailSize stays.
    void GiveThumbnailTo(PictureCache& pictures);
    // The record's own thumbnail when it holds one, otherwise the cache's (made again when it was
    // dropped); null when there is none to be had.
    std::shared_ptr<const PhotoImage> ThumbnailPicture(PictureCache* pictures) const;
    // The thumbnail's size: its own picture's, or the one noted when its pixels went to a cache.
    Size ThumbnailSize() const;

    // displayImage = thumbnail fitted into the area; drawRect = its rectangle centred in the area.
    void FitDisplayImage(const Rect& area, PictureCache* pictures = nullptr);

    // The chart's way: drawRect as FitDisplayImage(area) sets it, computed from the thumbnail's size
    // alone, and the display picture left to make until a paint needs it. Any picture made before
    // is released. pixelRatio: device pixels per view pixel of the screen (2 on a display scaled
    // 200 %); the display picture is then made with that many more pixels, up to the thumbnail's
    // own, and drawn into drawRect.
    void PlaceDisplayImage(const Rect& area, double pixelRatio = 1.0);
    // Whether the placed display picture is still to be made.
    bool DisplayImagePending() const { return displayPending; }
    // Makes the placed display picture if it is still to be made: the pixels FitDisplayImage gives
    // for the same area. One that cannot be made stays empty and is not tried again before the next
    // placement. False when there is no picture afterwards. Touches only this record, so different
    // records may be made on different threads at once.
    // The thumbnail comes from ThumbnailPicture(pictures).
    bool EnsureDisplayImage(PictureCache* pictures = nullptr) const;
    // Lets go of a display picture made for the placed area; it is made again when next needed.
    void ReleaseDisplayImage();
    // Whether the display picture was made from an embedded picture with fewer pixels than it is
    // drawn with (or while embedded pictures are not to be used): a decoded thumbnail would be sharper.
    bool DisplayImageSoft() const { return displaySoft && !displayImage.Empty(); }
    // Whether the display picture for the placed area would be soft, from what the record noted of
    // its thumbnail when it was last loaded or made (no picture is made or looked up): what an
    // output asks before it draws, of every photo.
    bool WouldDrawSoft() const;

    // "Ev値：%.1f\nAv値：%.1f\nTv値：%.1f\n(感度補正 %.1f)"; a value that is not finite reads "---".
    std::string GetSummaryText() const;

    // The texts of one shooting property (always 1; label only when the photo lacks the tag). The
    // exposure time and the F-number read as the record holds them, also when they were derived.
    int GetPropertyText(uint16_t tag, PropertyText& out) const;

    std::string path;  // UTF-8, as given to Load
    // The file name of the raw file this JPEG stands for ("IMG_1234.CR3"), empty when none; set by
    // the import that counted the pair once.
    std::string rawCompanion;
    Rect drawRect{};   // where displayImage was last placed, in device pixels
    PhotoImage thumbnail;
    Size thumbnailSize{};  // pixels; noted at the load, kept when the pixels go to a cache
    // A cache of the thumbnail fitted to the placed area, so it may be made from a const record.
    mutable PhotoImage displayImage;
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

private:
    int32_t Orientation() const;
    // The area the display picture is fitted into: displayArea in device pixels.
    Rect MakingArea(const Size& placed) const;
    // Whether a display picture of drawn pixels, made from a thumbnail of that source and pixels
    // standing for placed, is softer than the decoded thumbnail would make it.
    bool Soft(PictureSource source, const Size& pixels, const Size& placed, const Size& drawn) const;
    bool IsHeif() const;
    // displayImage from the thumbnail fitted into displayArea; empty when there is none.
    void MakeFitted(PictureCache* pictures) const;

    Rect displayArea{};                   // where PlaceDisplayImage fits the picture
    double displayRatio = 1.0;            // PlaceDisplayImage's pixelRatio
    mutable bool displayPending = false;  // placed, not yet made
    mutable bool displaySoft = false;     // made from a smaller embedded picture
    int32_t embeddedSide = 0;             // as Load's; 0 decodes every thumbnail
    // The thumbnail's source and pixels as last loaded or made (they stay when its pixels go to a
    // cache, which may drop them).
    mutable PictureSource pictureSource = PictureSource::Decoded;
    mutable Size picturePixels{};
};

// "%.1f" of a value, or "---" when it is not finite: what every text shows for a missing value.
std::string FormatExposureValue(double value);
