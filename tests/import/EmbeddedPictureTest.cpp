#include "chart/ChartGeometry.h"
#include "chart/ChartRender.h"
#include "collection/CLumivaneDoc.h"
#include "collection/ThumbnailCache.h"
#include "photo/EmbeddedPicture.h"
#include "photo/PhotoItem.h"
#include "photo/ThumbnailDecode.h"
#include "tests/collection/CollectionTestSupport.h"
#include "tests/support/RecordingCanvas.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <chrono>
#include <future>
#include <string>
#include <vector>

namespace {

using namespace kestory::test;

const Rect kBox{0, 0, PhotoItem::kThumbnailBox, PhotoItem::kThumbnailBox};

TEST(EmbeddedCrop, ShapesThatServeAndBarsThatAreCut) {
    struct Case {
        int width, height, photoWidth, photoHeight;
        bool usable, barred;
        Rect area;
    };
    const Case cases[] = {
        {160, 120, 4000, 3000, true, false, {0, 0, 160, 120}},  // 4:3 of 4:3
        {160, 106, 6000, 4000, true, false, {0, 0, 160, 106}},  // 1.509 against 1.5: within 1 %
        {160, 120, 6000, 4000, true, true, {0, 7, 160, 113}},   // 3:2 letterboxed: 106 rows (106.7)
        {160, 120, 1920, 1080, true, true, {0, 15, 160, 105}},  // 16:9: 90 rows
        {160, 120, 3000, 3000, true, true, {20, 0, 140, 120}},  // 1:1 pillarboxed
        {160, 90, 6000, 4000, false, false, {}},               // 16:9 of 3:2: not a padded 4:3
        {120, 160, 6000, 4000, false, false, {}},               // turned: no camera pads so
        {0, 120, 6000, 4000, false, false, {}},
    };
    for (const Case& c : cases) {
        const EmbeddedCrop crop = CropEmbeddedPicture(c.width, c.height, c.photoWidth, c.photoHeight);
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " of " + std::to_string(c.photoWidth) +
                     "x" + std::to_string(c.photoHeight));
        EXPECT_EQ(crop.usable, c.usable);
        if (c.usable) {
            EXPECT_EQ(crop.barred, c.barred);
            EXPECT_EQ(crop.area, c.area);
        }
    }
}

// A smooth photo-like picture, so that a picture made from an embedded one and a decoded one can be
// compared pixel for pixel.
cv::Mat Gradient(int width, int height) {
    cv::Mat picture(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<uint8_t>(40 + 180 * x / width),
                                                    static_cast<uint8_t>(60 + 150 * y / height), 120);
        }
    }
    return picture;
}

// The 160 x 120 EXIF thumbnail a camera writes for a photo of that picture: letterboxed to 4:3 in
// black (bars of the given level), or stretched.
std::vector<uint8_t> Thumbnail(const cv::Mat& photo, int barLevel) {
    const int rows = 160 * photo.rows / photo.cols;
    cv::Mat thumb(120, 160, CV_8UC3, cv::Scalar::all(barLevel));
    cv::Mat inner;
    cv::resize(photo, inner, cv::Size(160, rows), 0, 0, cv::INTER_AREA);
    inner.copyTo(thumb(cv::Rect(0, (120 - rows) / 2, 160, rows)));
    return EncodeJpeg(thumb);
}

std::vector<uint8_t> Scaled(const cv::Mat& photo, int width, int height) {
    cv::Mat scaled;
    cv::resize(photo, scaled, cv::Size(width, height), 0, 0, cv::INTER_AREA);
    return EncodeJpeg(scaled);
}

class EmbeddedPictures : public testing::Test {
protected:
    // 1200 x 800 photos (thumbnail 237 x 158): what each carries.
    void SetUp() override {
        photo = Gradient(1200, 800);
        Write("thumb.jpg", Thumbnail(photo, 0), {});
        Write("thumb-mpf.jpg", Thumbnail(photo, 0), Scaled(photo, 600, 400));
        Write("grey-bars.jpg", Thumbnail(photo, 90), {});
        Write("wide.jpg", Scaled(photo, 160, 90), {});
        std::vector<uint8_t> cut = Thumbnail(photo, 0);
        cut.resize(cut.size() * 2 / 3);
        Write("cut.jpg", cut, {});
        Write("none.jpg", {}, {});
        // Broken MPF indexes: an image of no bytes (once a copy from a null buffer), one cut short
        // by the file's end, one that is no JPEG.
        const std::vector<uint8_t> plain = MinimalPhoto().picture(photo).build();
        std::vector<uint8_t> beyond = WithMpfPreview(plain, Scaled(photo, 600, 400));
        beyond.resize(beyond.size() - 10);
        ASSERT_TRUE(WriteBytes(dir / "mpf-empty.jpg", WithMpfPreview(plain, {})));
        ASSERT_TRUE(WriteBytes(dir / "mpf-cut.jpg", beyond));
        ASSERT_TRUE(WriteBytes(dir / "mpf-junk.jpg", WithMpfPreview(plain, std::vector<uint8_t>(64, 0xAB))));
    }

    void Write(const std::string& name, const std::vector<uint8_t>& thumbnail, const std::vector<uint8_t>& mpf,
               int orientation = 1) {
        JpegBuilder b = MinimalPhoto();
        b.picture(photo).orientation(static_cast<uint16_t>(orientation));
        if (!thumbnail.empty()) {
            b.exifThumbnail(thumbnail);
        }
        std::vector<uint8_t> bytes = b.build();
        if (!mpf.empty()) {
            bytes = WithMpfPreview(bytes, mpf);
        }
        ASSERT_TRUE(WriteBytes(dir / name, bytes));
    }

    TempDir dir;
    cv::Mat photo;
};

TEST_F(EmbeddedPictures, TheSmallestThatCoversWhatIsDrawn) {
    struct Case {
        const char* file;
        int side;
        PictureSource source;
        int width, height;  // of the picture made
    };
    const Case cases[] = {
        {"thumb.jpg", 40, PictureSource::Embedded, 160, 106},      // bars cut off
        {"thumb.jpg", 160, PictureSource::Embedded, 160, 106},     // 160 x 106 drawn: still covered
        {"thumb.jpg", 200, PictureSource::Decoded, 237, 158},      // 200 x 133 drawn: decoded
        {"thumb-mpf.jpg", 40, PictureSource::Embedded, 160, 106},  // the smaller serves
        {"thumb-mpf.jpg", 200, PictureSource::Embedded, 237, 158}, // the MPF preview, shrunk
        {"thumb-mpf.jpg", 480, PictureSource::Embedded, 237, 158}, // never more than decoding gives
        {"thumb-mpf.jpg", 0, PictureSource::Decoded, 237, 158},    // the setting off
        {"grey-bars.jpg", 40, PictureSource::Decoded, 237, 158},   // bars that are not black
        {"wide.jpg", 40, PictureSource::Decoded, 237, 158},        // another shape
        {"cut.jpg", 40, PictureSource::Decoded, 237, 158},         // does not decode cleanly
        {"none.jpg", 40, PictureSource::Decoded, 237, 158},
        {"mpf-empty.jpg", 200, PictureSource::Decoded, 237, 158},
        {"mpf-cut.jpg", 200, PictureSource::Decoded, 237, 158},
        {"mpf-junk.jpg", 200, PictureSource::Decoded, 237, 158},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " at " + std::to_string(c.side));
        PhotoImage holder;
        ASSERT_TRUE(LoadThumbnailPicture(dir / c.file, kBox, holder, c.side));
        EXPECT_EQ(holder.source, c.source);
        EXPECT_EQ(holder.image.cols, c.width);
        EXPECT_EQ(holder.image.rows, c.height);
        EXPECT_EQ(holder.PlacedSize(), (Size{237, 158}));
    }
    // Off gives today's picture, byte for byte.
    PhotoImage off;
    PhotoImage decoded;
    ASSERT_TRUE(LoadThumbnailPicture(dir / "thumb.jpg", kBox, off, 0));
    ASSERT_TRUE(LoadReducedThumbnail(dir / "thumb.jpg", kBox, decoded));
    EXPECT_EQ(cv::norm(off.image, decoded.image, cv::NORM_INF), 0);
}

TEST_F(EmbeddedPictures, EveryOrientationPlacedAsDecodedAndCloseToIt) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE("orientation " + std::to_string(orientation));
        const std::string name = "o" + std::to_string(orientation) + ".jpg";
        Write(name, Thumbnail(photo, 0), {}, orientation);
        PhotoItem embedded;
        PhotoItem decoded;
        ASSERT_EQ(embedded.Load(dir / name, PhotoItem::kModeThumbnail, nullptr, nullptr, 40), 0);
        ASSERT_EQ(decoded.Load(dir / name, PhotoItem::kModeThumbnail), 0);
        EXPECT_EQ(embedded.thumbnail.source, PictureSource::Embedded);
        EXPECT_EQ(embedded.ThumbnailSize(), decoded.ThumbnailSize());
        const Rect cell{100, 100, 140, 140};
        embedded.FitDisplayImage(cell);
        decoded.FitDisplayImage(cell);
        EXPECT_EQ(embedded.drawRect, decoded.drawRect);
        ASSERT_EQ(embedded.displayImage.image.size(), decoded.displayImage.image.size());
        cv::Mat difference;
        cv::absdiff(embedded.displayImage.image, decoded.displayImage.image, difference);
        EXPECT_LE(cv::mean(difference)[0], 6.0);
    }
}

TEST_F(EmbeddedPictures, TheCacheKeepsTheSourceAndDecodesWhenMoreIsNeeded) {
    ThumbnailCache cache(dir / "cache.sqlite");
    PhotoItem first;
    ASSERT_EQ(first.Load(dir / "thumb.jpg", PhotoItem::kModeThumbnail, &cache, nullptr, 40), 0);
    PhotoItem again;
    ASSERT_EQ(again.Load(dir / "thumb.jpg", PhotoItem::kModeThumbnail, &cache, nullptr, 40), 0);
    EXPECT_EQ(again.thumbnail.source, PictureSource::Embedded);
    EXPECT_EQ(again.ThumbnailSize(), (Size{237, 158}));
    // Stored as a JPEG: the same picture within its quality.
    EXPECT_LT(cv::norm(again.thumbnail.image, first.thumbnail.image, cv::NORM_L1) / again.thumbnail.image.total(), 3.0);
    // Larger now, or off: the stored picture is passed over, decoded and replaced.
    for (const int side : {400, 0, 40}) {
        PhotoItem later;
        ASSERT_EQ(later.Load(dir / "thumb.jpg", PhotoItem::kModeThumbnail, &cache, nullptr, side), 0);
        EXPECT_EQ(later.thumbnail.source, PictureSource::Decoded) << side;
        EXPECT_EQ(later.thumbnail.image.cols, 237);
    }
}

TEST_F(EmbeddedPictures, DisplayPicturesHaveTheScreensPixels) {
    struct Case {
        double ratio;
        int side;             // of the cell, in view pixels
        Size placed, display; // drawRect's size, and the display picture's in device pixels
        bool soft;
    };
    const Case cases[] = {
        {1.0, 40, {40, 26}, {40, 26}, false},
        {2.0, 40, {40, 26}, {80, 53}, false},     // the 160 x 106 thumbnail still covers it
        {1.5, 100, {100, 66}, {150, 100}, false},
        {2.0, 120, {120, 80}, {237, 158}, true},  // no more than the decoded thumbnail's pixels
        {2.0, 480, {480, 320}, {480, 320}, true}, // nor enlarged past the cell's own fit
    };
    PhotoItem photo;
    ASSERT_EQ(photo.Load(dir / "thumb.jpg", PhotoItem::kModeThumbnail, nullptr, nullptr, 40), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.ratio) + " at " + std::to_string(c.side));
        photo.PlaceDisplayImage(Rect{0, 0, c.side, c.side}, c.ratio);
        ASSERT_TRUE(photo.EnsureDisplayImage());
        EXPECT_EQ((Size{photo.drawRect.width(), photo.drawRect.height()}), c.placed);
        EXPECT_EQ((Size{photo.displayImage.image.cols, photo.displayImage.image.rows}), c.display);
        EXPECT_EQ(photo.DisplayImageSoft(), c.soft);
    }
}

// One photo drawn from its EXIF thumbnail at 40 px, then the chart at 120 px and 400 %.
struct Zoomed {
    RecordingNotifier notifier;
    CLumivaneDoc doc{notifier};
    explicit Zoomed(const std::string& path) {
        doc.AddPhotos({path}, 1);
        doc.settings.sizePict = 120;
        doc.settings.magnify = 400;
        LayoutPhotos(doc);
    }
    PictureSource Cached() const {
        const auto picture = doc.Pictures().Get(doc.GetAt(0).path, [](ThumbnailStore*, PhotoImage&) { return false; });
        return picture ? picture->source : PictureSource::Decoded;
    }
};

TEST_F(EmbeddedPictures, PaintsDrawTheSmallOneWhileTheSharpOneIsDecoded) {
    Zoomed zoomed(dir / "thumb.jpg");
    std::promise<std::string> sharpened;
    zoomed.doc.Sharpener().SetDone([&sharpened](const std::string& key) { sharpened.set_value(key); });
    RecordingCanvas canvas;
    const Rect exposed{0, 0, 1 << 20, 1 << 20};
    PaintChart(canvas, zoomed.doc, &exposed);
    const PhotoItem& photo = zoomed.doc.GetAt(0);
    EXPECT_TRUE(photo.DisplayImageSoft());
    auto done = sharpened.get_future();
    ASSERT_EQ(done.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(done.get(), photo.path);
    zoomed.doc.Sharpener().SetDone({});
    EXPECT_EQ(zoomed.Cached(), PictureSource::Decoded);
    EXPECT_TRUE(photo.DisplayImageSoft()); // until the view lets it go
    zoomed.doc.GetAt(0).ReleaseDisplayImage();
    PaintChart(canvas, zoomed.doc, &exposed);
    EXPECT_FALSE(photo.DisplayImageSoft());
}

TEST_F(EmbeddedPictures, OutputsDecodeFirstWithProgressThatCanStop) {
    Zoomed zoomed(dir / "thumb.jpg");
    const PhotoItem& photo = zoomed.doc.GetAt(0);
    EXPECT_TRUE(photo.WouldDrawSoft());
    std::vector<std::pair<size_t, size_t>> told;
    const auto stopAtOnce = [&told](size_t done, size_t total) {
        told.emplace_back(done, total);
        return false;
    };
    EXPECT_FALSE(SharpenShownPictures(zoomed.doc, stopAtOnce));
    EXPECT_TRUE(photo.WouldDrawSoft());
    const Rect elsewhere{0, 0, 1, 1};
    EXPECT_TRUE(SharpenShownPictures(zoomed.doc, stopAtOnce, &elsewhere)); // nothing there to decode
    zoomed.doc.settings.viewType = DisplaySettings::kViewMarks;
    EXPECT_TRUE(SharpenShownPictures(zoomed.doc, stopAtOnce));              // marks need no pictures
    zoomed.doc.settings.viewType = DisplaySettings::kViewThumbnails;
    EXPECT_TRUE(SharpenShownPictures(zoomed.doc, [&told](size_t done, size_t total) {
        told.emplace_back(done, total);
        return true;
    }));
    EXPECT_EQ(told, (std::vector<std::pair<size_t, size_t>>{{0, 1}, {0, 1}, {1, 1}}));
    EXPECT_FALSE(photo.WouldDrawSoft());
    EXPECT_EQ(zoomed.Cached(), PictureSource::Decoded);
}

TEST_F(EmbeddedPictures, OutputsDecodeFirst) {
    for (const bool printer : {false, true}) {
        Zoomed zoomed(dir / "thumb.jpg");
        EXPECT_EQ(zoomed.Cached(), PictureSource::Embedded);
        RecordingCanvas canvas(printer);
        PaintChart(canvas, zoomed.doc); // the whole chart: an image, the clipboard, print
        EXPECT_EQ(zoomed.Cached(), PictureSource::Decoded) << printer;
        EXPECT_EQ(zoomed.doc.Sharpener().Pending(), 0U);
    }
}

} // namespace
