#include "photo/PhotoItem.h"
#include "tests/support/JpegBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <opencv2/core.hpp>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace kestory::test;

// A file with just the exposure entries and a small pattern picture.
JpegBuilder Exposure(uint32_t fNum, uint32_t fDen, uint32_t tNum, uint32_t tDen, uint16_t iso) {
    JpegBuilder b;
    b.exposureTime(tNum, tDen).fNumber(fNum, fDen).isoSpeed(iso).patternPicture(48, 32);
    return b;
}

struct WorkedCase {
    uint32_t fNum, fDen, tNum, tDen;
    uint16_t iso;
    const char *av, *tv, *isoCorrection, *ev;
};

class WorkedValues : public testing::TestWithParam<WorkedCase> {};

TEST_P(WorkedValues, ComeOutToTheDigit) {
    const WorkedCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.File("photo.JPG");
    ASSERT_TRUE(Exposure(c.fNum, c.fDen, c.tNum, c.tDen, c.iso).writeTo(path));
    PhotoItem item;
    ASSERT_EQ(item.Load(path, PhotoItem::kModeThumbnail), 0);
    EXPECT_EQ(item.exposureValid, 1);
    EXPECT_EQ(item.iso, c.iso);
    EXPECT_EQ(FormatExposureValue(item.av), c.av);
    EXPECT_EQ(FormatExposureValue(item.tv), c.tv);
    EXPECT_EQ(FormatExposureValue(item.isoCorrection), c.isoCorrection);
    EXPECT_EQ(FormatExposureValue(item.ev), c.ev);
    EXPECT_NEAR(item.ev, item.av + item.tv + item.isoCorrection, 1e-9);
    if (c.fNum == 8) {
        EXPECT_EQ(item.GetSummaryText(), "Ev値：11.0\nAv値：6.0\nTv値：7.0\n(感度補正 -2.0)");
    }
}

INSTANTIATE_TEST_SUITE_P(Table, WorkedValues,
                         testing::Values(WorkedCase{8, 1, 1, 125, 400, "6.0", "7.0", "-2.0", "11.0"},
                                         WorkedCase{28, 10, 1, 60, 100, "3.0", "5.9", "-0.0", "8.9"},
                                         WorkedCase{56, 10, 10, 2500, 200, "5.0", "8.0", "-1.0", "11.9"},
                                         WorkedCase{2, 1, 1, 8000, 50, "2.0", "13.0", "1.0", "16.0"},
                                         WorkedCase{16, 1, 30, 1, 100, "8.0", "-4.9", "-0.0", "3.1"},
                                         // Exactly 1 s and exactly F1: -0.0 and 0.0.
                                         WorkedCase{1, 1, 1, 1, 100, "0.0", "-0.0", "-0.0", "0.0"},
                                         WorkedCase{10, 10, 10, 10, 51200, "0.0", "-0.0", "-9.0", "-9.0"}));

TEST(PhotoItemLoad, ReducesFractionsWithoutChangingTheirValue) {
    struct Case {
        uint32_t tNum, tDen, fNum, fDen;
        int32_t tNumOut, tDenOut, fNumOut, fDenOut;
    };
    const Case cases[] = {
        {10, 2500, 56, 10, 1, 250, 56, 10},
        {3, 10, 8, 1, 3, 10, 8, 1},
        {25, 10, 20, 10, 25, 10, 20, 10},
        {10, 10, 40, 10, 1, 1, 40, 10},
        {1, 125, 10, 10, 1, 125, 1, 1},
        // Bits 0xFFFFFFFF / 0x80000000 read as -1 / INT32_MIN: the quotient does not fit 32 bits,
        // so the fraction stays (and nothing traps).
        {0xFFFFFFFFu, 0x80000000u, 8, 1, -1, INT32_MIN, 8, 1},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.File("photo.JPG");
        ASSERT_TRUE(Exposure(c.fNum, c.fDen, c.tNum, c.tDen, 100).writeTo(path));
        PhotoItem item;
        ASSERT_EQ(item.Load(path, PhotoItem::kModeThumbnail), 0) << c.tNum << "/" << c.tDen;
        EXPECT_EQ(item.exposureTimeNum, c.tNumOut);
        EXPECT_EQ(item.exposureTimeDen, c.tDenOut);
        EXPECT_EQ(item.fNumberNum, c.fNumOut);
        EXPECT_EQ(item.fNumberDen, c.fDenOut);
    }
}

TEST(PhotoItemLoad, RefusesFilesWithoutUsableExposure) {
    struct Case {
        const char* name;
        JpegBuilder builder;
    };
    const Case cases[] = {
        {"no EXIF", JpegBuilder().noExif().patternPicture(48, 32)},
        {"no exposure time", JpegBuilder().fNumber(8, 1).isoSpeed(100)},
        {"no F-number", JpegBuilder().exposureTime(1, 125).isoSpeed(100)},
        {"exposure time 0/125", Exposure(8, 1, 0, 125, 100)},
        {"exposure time 1/0", Exposure(8, 1, 1, 0, 100)},
        {"F-number 0/10", Exposure(0, 10, 1, 125, 100)},
        {"F-number 28/0", Exposure(28, 0, 1, 125, 100)},
        {"APP1 after a comment", Exposure(8, 1, 1, 125, 100).segmentBeforeApp1(0xFE, {'h', 'i'})},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.File("photo.JPG");
        ASSERT_TRUE(c.builder.writeTo(path));
        PhotoItem item;
        EXPECT_EQ(item.Load(path, PhotoItem::kModeThumbnail), -1) << c.name;
        EXPECT_EQ(item.exposureValid, 0) << c.name;
        EXPECT_TRUE(item.thumbnail.Empty()) << c.name << ": no picture is loaded";
    }
}

// Compacts that write only ShutterSpeedValue (SRATIONAL) and ApertureValue (RATIONAL), or a zero
// in place of ExposureTime or FNumber: the time and F-number derived, AV and TV as stored.
TEST(PhotoItemLoad, DerivesTimeAndFNumberFromApexValues) {
    struct Case {
        const char* name;
        JpegBuilder builder;
        const char *time, *fNumber, *av, *tv, *ev;
    };
    const auto apex = [](int32_t tvNum, int32_t tvDen, uint32_t avNum, uint32_t avDen) {
        JpegBuilder b;
        b.srational(kExifDirectory, 0x9201, tvNum, tvDen).rational(kExifDirectory, 0x9202, avNum, avDen);
        b.isoSpeed(100).patternPicture(48, 32);
        return b;
    };
    const Case cases[] = {
        {"Tv 6.5, Av 5", apex(65, 10, 5, 1), "1/91 秒", "F/5.7", "5.0", "6.5", "11.5"},
        {"Tv 9.97, Av 3", apex(9965784, 1000000, 3, 1), "1/1000 秒", "F/2.8", "3.0", "10.0", "13.0"},
        {"Tv 1", apex(1, 1, 8, 1), "1/2 秒", "F/16.0", "8.0", "1.0", "9.0"},
        {"Tv -1: 2 s", apex(-1, 1, 0, 1), "2 秒", "F/1.0", "0.0", "-1.0", "-1.0"},
        {"Tv 1.74: 0.30 s", apex(174, 100, 2, 1), "0.30 秒", "F/2.0", "2.0", "1.7", "3.7"},
        {"zero ExposureTime", apex(7, 1, 6, 1).exposureTime(0, 1).fNumber(8, 1), "1/128 秒", "F/8.0", "6.0",
         "7.0", "13.0"},
        {"FNumber 28/0, ExposureTime kept", apex(1, 1, 3, 1).exposureTime(1, 60).fNumber(28, 0), "1/60 秒",
         "F/2.8", "3.0", "5.9", "8.9"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.File("photo.JPG");
        ASSERT_TRUE(c.builder.writeTo(path));
        PhotoItem item;
        ASSERT_EQ(item.Load(path, PhotoItem::kModeThumbnail), 0) << c.name;
        PropertyText time, fNumber;
        item.GetPropertyText(0x829A, time);
        item.GetPropertyText(0x829D, fNumber);
        EXPECT_EQ(time.displayValue, c.time) << c.name;
        EXPECT_EQ(fNumber.displayValue, c.fNumber) << c.name;
        EXPECT_EQ(FormatExposureValue(item.av), c.av) << c.name;
        EXPECT_EQ(FormatExposureValue(item.tv), c.tv) << c.name;
        EXPECT_EQ(FormatExposureValue(item.ev), c.ev) << c.name;
    }
    // Neither the entry nor a usable APEX value: refused as without EXIF.
    for (JpegBuilder b : {apex(65, 0, 5, 1), apex(65, 10, 5, 0),
                          JpegBuilder().fNumber(8, 1).shortValue(kExifDirectory, 0x9201, 7).patternPicture(8, 8),
                          apex(-40, 1, 5, 1), apex(65, 10, 70, 1)}) {
        ASSERT_TRUE(b.writeTo(dir.File("photo.JPG")));
        PhotoItem item;
        EXPECT_EQ(item.Load(dir.File("photo.JPG"), PhotoItem::kModeThumbnail), -1);
    }
}

TEST(PhotoItemLoad, MissingFileIsALoadFailure) {
    TempDir dir;
    PhotoItem item;
    EXPECT_EQ(item.Load(dir.File("gone.JPG"), PhotoItem::kModeThumbnail), -2);
    EXPECT_EQ(item.exposureValid, 0);
    EXPECT_TRUE(item.thumbnail.Empty());
}

TEST(PhotoItemLoad, NamedPipeIsRefusedWithoutWaitingForAWriter) {
    TempDir dir;
    const std::string pipe = dir.File("pipe.JPG");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    PhotoItem item;
    EXPECT_EQ(item.Load(pipe, PhotoItem::kModeThumbnail), -1);
    EXPECT_EQ(item.Load(pipe, 1), -1);
    EXPECT_TRUE(item.thumbnail.Empty());
}

TEST(PhotoItemLoad, UndecodablePictureFailsAfterTheValuesWereComputed) {
    TempDir dir;
    const std::string path = dir.File("broken.JPG");
    ASSERT_TRUE(Exposure(8, 1, 1, 125, 400).noPicture().writeTo(path));
    PhotoItem item;
    EXPECT_EQ(item.Load(path, PhotoItem::kModeThumbnail), -2);
    EXPECT_EQ(item.exposureValid, 1);
    EXPECT_EQ(FormatExposureValue(item.ev), "11.0");
    EXPECT_TRUE(item.thumbnail.Empty());
}

TEST(PhotoItemLoad, PhotoWithoutIsoIsKeptAndShowsDashes) {
    TempDir dir;
    const std::string path = dir.File("photo.JPG");
    ASSERT_TRUE(JpegBuilder().exposureTime(1, 125).fNumber(8, 1).patternPicture(48, 32).writeTo(path));
    PhotoItem item;
    ASSERT_EQ(item.Load(path, PhotoItem::kModeThumbnail), 0);
    EXPECT_EQ(item.iso, 0);
    EXPECT_FALSE(std::isfinite(item.isoCorrection));
    EXPECT_FALSE(std::isfinite(item.ev));
    EXPECT_EQ(item.GetSummaryText(), "Ev値：---\nAv値：6.0\nTv値：7.0\n(感度補正 ---)");
    EXPECT_EQ(FormatExposureValue(std::nan("")), "---");
    EXPECT_EQ(FormatExposureValue(-HUGE_VAL), "---");
}

// The pattern picture's blue rises left to right and green top to bottom. Given where a pixel of
// the turned thumbnail came from in the unturned one (columns x rows), its expected colour.
cv::Vec3b PatternAt(int column, int row, int columns, int rows) {
    return cv::Vec3b(static_cast<uint8_t>(255 * column / (columns - 1)),
                     static_cast<uint8_t>(255 * row / (rows - 1)), 64);
}

// Compares the turned thumbnail with the unturned pattern of columns x rows over a grid of points.
void ExpectTurnedPattern(const cv::Mat& turned, int orientation, int columns, int rows) {
    ASSERT_EQ(turned.type(), CV_8UC3);
    for (int r = 0; r < turned.rows; r += 12) {
        for (int c = 0; c < turned.cols; c += 12) {
            int sourceRow = r;
            int sourceColumn = c;
            switch (orientation) {
            case 3:
                sourceRow = rows - 1 - r, sourceColumn = columns - 1 - c;
                break;
            case 6: // clockwise: the top row is the left column read bottom to top
                sourceRow = rows - 1 - c, sourceColumn = r;
                break;
            case 8: // counter-clockwise: the top row is the right column read top to bottom
                sourceRow = c, sourceColumn = columns - 1 - r;
                break;
            default:
                break;
            }
            const cv::Vec3b expected = PatternAt(sourceColumn, sourceRow, columns, rows);
            const cv::Vec3b actual = turned.at<cv::Vec3b>(r, c);
            for (int k = 0; k < 3; ++k) {
                ASSERT_NEAR(actual[k], expected[k], 10) << "orientation " << orientation << " at row " << r
                                                        << " column " << c << " channel " << k;
            }
        }
    }
}

TEST(PhotoItemLoad, LargePhotoWithOrientationSixIsFittedThenTurnedClockwise) {
    TempDir dir;
    const std::string path = dir.File("portrait.JPG");
    ASSERT_TRUE(Exposure(8, 1, 1, 125, 100).orientation(6).patternPicture(4000, 3000).writeTo(path));
    PhotoItem item;
    ASSERT_EQ(item.Load(path, PhotoItem::kModeThumbnail), 0);
    EXPECT_EQ(item.thumbnail.image.cols, 177);
    EXPECT_EQ(item.thumbnail.image.rows, 237);
    EXPECT_EQ(item.thumbnail.topDown, 1);
    ExpectTurnedPattern(item.thumbnail.image, 6, 237, 177);
}

TEST(PhotoItemLoad, OrientationTurnsTheThumbnail) {
    struct Case {
        uint16_t orientation;
        int columns, rows;
    };
    const Case cases[] = {
        {1, 237, 177},
        {3, 237, 177},
        {8, 177, 237},
        // Mirrored orientations are left as stored.
        {2, 237, 177},
        {4, 237, 177},
        {5, 237, 177},
        {7, 237, 177},
        {9, 237, 177},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.File("photo.JPG");
        ASSERT_TRUE(
            Exposure(8, 1, 1, 125, 100).orientation(c.orientation).patternPicture(240, 180).writeTo(path));
        PhotoItem item;
        ASSERT_EQ(item.Load(path, PhotoItem::kModeThumbnail), 0);
        EXPECT_EQ(item.thumbnail.image.cols, c.columns) << "orientation " << c.orientation;
        EXPECT_EQ(item.thumbnail.image.rows, c.rows) << "orientation " << c.orientation;
        ExpectTurnedPattern(item.thumbnail.image, c.orientation, 237, 177);
    }
}

TEST(PhotoItemLoad, FullModeKeepsTheFullSizeAndStillTurns) {
    TempDir dir;
    const std::string path = dir.File("photo.JPG");
    ASSERT_TRUE(Exposure(8, 1, 1, 125, 100).orientation(8).patternPicture(300, 200).writeTo(path));
    PhotoItem item;
    ASSERT_EQ(item.Load(path, 1), 0);
    EXPECT_EQ(item.thumbnail.image.cols, 200);
    EXPECT_EQ(item.thumbnail.image.rows, 300);
    ExpectTurnedPattern(item.thumbnail.image, 8, 300, 200);
}

class LoadedPhoto : public testing::Test {
protected:
    void SetUp() override {
        path = dir.File("camera.JPG");
        ASSERT_TRUE(CameraLikeJpeg().patternPicture(240, 180).writeTo(path));
        ASSERT_EQ(item.Load(path, PhotoItem::kModeThumbnail), 0);
    }

    TempDir dir;
    std::string path;
    PhotoItem item;
};

TEST_F(LoadedPhoto, CopyConstructionSharesNothing) {
    item.FitDisplayImage({0, 0, 100, 100});
    const PhotoItem copy(item);
    EXPECT_EQ(copy.path, item.path);
    EXPECT_EQ(copy.drawRect, item.drawRect);
    EXPECT_EQ(copy.GetSummaryText(), item.GetSummaryText());
    EXPECT_EQ(copy.fNumberNum, 56);
    EXPECT_EQ(copy.thumbnail.topDown, 1);
    EXPECT_NE(copy.thumbnail.image.data, item.thumbnail.image.data);
    EXPECT_NE(copy.displayImage.image.data, item.displayImage.image.data);
    ASSERT_EQ(copy.exif.Entries().size(), item.exif.Entries().size());
    for (size_t i = 0; i < copy.exif.Entries().size(); ++i) {
        EXPECT_NE(copy.exif.Entries()[i].get(), item.exif.Entries()[i].get());
        EXPECT_EQ(copy.exif.Entries()[i]->tag, item.exif.Entries()[i]->tag);
    }
}

TEST_F(LoadedPhoto, CopyAssignmentReplacesEverythingAndStaysIndependent) {
    TempDir other;
    const std::string otherPath = other.File("other.JPG");
    ASSERT_TRUE(Exposure(2, 1, 1, 8000, 50).patternPicture(60, 60).writeTo(otherPath));
    auto copy = std::make_unique<PhotoItem>();
    ASSERT_EQ(copy->Load(otherPath, PhotoItem::kModeThumbnail), 0);

    *copy = item;
    EXPECT_EQ(copy->path, path);
    EXPECT_EQ(copy->iso, 400);
    EXPECT_EQ(copy->GetSummaryText(), item.GetSummaryText());
    EXPECT_EQ(copy->exif.Entries().size(), item.exif.Entries().size());
    EXPECT_TRUE(copy->displayImage.Empty());

    const cv::Vec3b original = item.thumbnail.image.at<cv::Vec3b>(0, 0);
    copy->thumbnail.image.setTo(cv::Scalar(1, 2, 3));
    EXPECT_EQ(item.thumbnail.image.at<cv::Vec3b>(0, 0), original);

    // The source lives on after its copy is gone.
    copy.reset();
    PropertyText make;
    item.GetPropertyText(0x010F, make);
    EXPECT_EQ(make.displayValue, "Canon");

    const PhotoItem& same = item;
    item = same;
    EXPECT_FALSE(item.thumbnail.Empty());
}

TEST_F(LoadedPhoto, FitDisplayImageCentresTheFittedPicture) {
    struct Case {
        Rect area;
        Rect expected;
    };
    const Case cases[] = {
        {{10, 20, 110, 220}, {10, 83, 110, 157}}, // 100 x 74, centred vertically
        {{0, 0, 400, 100}, {133, 0, 266, 100}},   // 133 x 100, centred horizontally
        {{0, 0, 237, 177}, {0, 0, 237, 177}},     // exact size
        {{-50, -40, 51, 40}, {-50, -38, 51, 37}}, // 101 x 75, left of the origin
    };
    const uint8_t* thumbnailRows = item.thumbnail.image.data;
    for (const Case& c : cases) {
        item.FitDisplayImage(c.area);
        EXPECT_EQ(item.drawRect, c.expected);
        EXPECT_EQ(item.displayImage.image.cols, c.expected.width());
        EXPECT_EQ(item.displayImage.image.rows, c.expected.height());
        EXPECT_EQ(item.displayImage.topDown, 1);
        EXPECT_NE(item.displayImage.image.data, thumbnailRows);
    }
    EXPECT_EQ(item.thumbnail.image.size(), cv::Size(237, 177));
    EXPECT_EQ(item.thumbnail.image.data, thumbnailRows);
}

TEST_F(LoadedPhoto, PropertyTextsComeFromTheEntries) {
    struct Case {
        uint16_t tag;
        const char* label;
        const char* display;
    };
    const Case cases[] = {
        {0x010F, "カメラメーカー", "Canon"},
        {0x829D, "絞り値", "F/5.6"},
        {0x9204, "露出補正", "-0.3 ステップ"},
        {0x9003, "撮影日時", "2011/01/02 03:04:05"},
        {0xA434, "レンズモデル", ""}, // the photo has no lens model
        {0x0112, "", ""},             // not a property
    };
    for (const Case& c : cases) {
        PropertyText out;
        EXPECT_EQ(item.GetPropertyText(c.tag, out), 1);
        EXPECT_EQ(out.label, c.label) << std::hex << c.tag;
        EXPECT_EQ(out.displayValue, c.display) << std::hex << c.tag;
    }
}

} // namespace
