#include "photo/PhotoImage.h"
#include "chart/Canvas.h"
#include "chart/PictureDrawing.h"
#include "tests/support/JpegBuilder.h"
#include "tests/support/PictureCanvas.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace kestory::test;

// 2 rows x 3 columns, every pixel its own number 10 * row + column.
cv::Mat Numbered() {
    return (cv::Mat_<uint8_t>(2, 3) << 0, 1, 2, 10, 11, 12);
}

bool SameMat(const cv::Mat& a, const cv::Mat& b) {
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

struct FitCase {
    int width, height;
    Rect area;
    Size expected;
};

TEST(FitSize, KeepsAspectWithTruncatingIntegerArithmetic) {
    const FitCase cases[] = {
        {4000, 3000, {0, 0, 237, 237}, {237, 177}},
        {3000, 4000, {0, 0, 237, 237}, {177, 237}},
        {200, 100, {0, 0, 237, 237}, {237, 118}},
        {100, 50, {0, 0, 237, 237}, {237, 118}},
        {237, 237, {0, 0, 237, 237}, {237, 237}},
        {400, 100, {10, 10, 110, 60}, {100, 25}},
        {100, 400, {10, 10, 110, 60}, {12, 50}},
        {6000, 4000, {0, 0, 1200, 800}, {1200, 800}},         // equal ratios: height first
        {46000, 46000, {0, 0, 50000, 50000}, {50000, 50000}}, // products beyond 32 bits
        {100, 50, {0, 0, 0, 0}, {0, 0}},
        {100, 50, {0, 0, 237, 0}, {0, 0}},
        {0, 50, {0, 0, 237, 237}, {0, 0}},
    };
    for (const FitCase& c : cases) {
        EXPECT_EQ(FitSize(c.width, c.height, c.area), c.expected) << c.width << "x" << c.height;
    }
}

TEST(FitPicture, ExactSizeIsNotRescaled) {
    PhotoImage holder{1, PatternPicture(237, 237)};
    const uint8_t* before = holder.image.data;
    EXPECT_TRUE(FitPicture(holder, {0, 0, 237, 237}));
    EXPECT_EQ(holder.image.data, before);

    PhotoImage empty;
    EXPECT_FALSE(FitPicture(empty, {0, 0, 237, 237}));
    EXPECT_TRUE(empty.Empty());
}

TEST(FitPicture, ScalesKeepingDepthAndChannels) {
    struct Case {
        cv::Mat picture;
        Size expected;
    };
    const Case cases[] = {
        {PatternPicture(100, 50), {237, 118}},                            // enlarged
        {PatternPicture(4000, 3000), {237, 177}},                         // shrunk
        {PatternPicture(100, 50, true), {237, 118}},                      // grey stays grey
        {cv::Mat(50, 100, CV_16UC3, cv::Scalar::all(40000)), {237, 118}}, // 16 bits stay 16 bits
        {cv::Mat(1, 1000, CV_8UC3, cv::Scalar::all(7)), {237, 1}},        // never thinner than one row
    };
    for (const Case& c : cases) {
        PhotoImage holder{1, c.picture.clone()};
        EXPECT_TRUE(FitPicture(holder, {0, 0, 237, 237}));
        EXPECT_EQ(holder.image.cols, c.expected.width);
        EXPECT_EQ(holder.image.rows, c.expected.height);
        EXPECT_EQ(holder.image.type(), c.picture.type());
        EXPECT_EQ(holder.topDown, 1);
    }
}

// Photo-like content: smooth colour gradients under a soft bright patch, with Gaussian grain of
// about 6 levels, as a camera thumbnail has.
cv::Mat PhotoLike(int width, int height, bool grey = false, uint32_t seed = 7) {
    cv::Mat picture(height, width, CV_32FC3);
    const float cx = width * 0.6f;
    const float cy = height * 0.4f;
    const float radius = 0.3f * static_cast<float>(std::min(width, height)) + 1.0f;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float dx = (x - cx) / radius;
            const float dy = (y - cy) / radius;
            const float patch = 90.0f * std::exp(-(dx * dx + dy * dy));
            picture.at<cv::Vec3f>(y, x) = cv::Vec3f(40.0f + 120.0f * x / width + patch,
                                                    30.0f + 150.0f * y / height + patch * 0.8f,
                                                    200.0f - 100.0f * x / width + patch * 0.3f);
        }
    }
    cv::Mat grain(height, width, CV_32FC3);
    cv::RNG random(seed);
    random.fill(grain, cv::RNG::NORMAL, cv::Scalar::all(0), cv::Scalar::all(6));
    picture += grain;
    cv::Mat eightBit;
    picture.convertTo(eightBit, CV_8UC3); // rounds and saturates
    if (grey) {
        cv::Mat one;
        cv::extractChannel(eightBit, one, 1);
        return one;
    }
    return eightBit;
}

// Blue, green and red of a display picture, checking on the way that its alpha is 255 throughout.
cv::Mat ColourOf(const cv::Mat& display) {
    EXPECT_EQ(display.type(), CV_8UC4);
    cv::Mat alpha;
    cv::extractChannel(display, alpha, 3);
    EXPECT_EQ(cv::countNonZero(alpha != 255), 0) << "alpha not opaque everywhere";
    cv::Mat colour;
    cv::cvtColor(display, colour, cv::COLOR_BGRA2BGR);
    return colour;
}

TEST(MakeDisplayPicture, TakesTheFittedSizeAsOpaqueBgraOfItsOwn) {
    struct Case {
        int width, height;
        Rect area;
    };
    const Case cases[] = {
        {237, 158, {450, 210, 490, 250}},   // landscape thumbnail in a 40-unit cell
        {158, 237, {450, 210, 490, 250}},   // portrait
        {237, 158, {0, 0, 160, 160}},       // magnify 400
        {237, 158, {-20, -20, 21, 21}},     // odd cell side, left of the origin
        {237, 177, {0, 0, 237, 177}},       // exactly the area: copied, not scaled
        {237, 237, {0, 0, 12, 12}},
        {1000, 1, {0, 0, 40, 40}},          // never thinner than one row
        {1, 1000, {0, 0, 40, 40}},          // nor one column
        {237, 158, {0, 0, 480, 480}},       // enlarged (sizePict 120 at magnify 400)
        {3, 2, {0, 0, 1, 1}},
    };
    for (const bool grey : {false, true}) {
        for (const Case& c : cases) {
            const PhotoImage source{1, PhotoLike(c.width, c.height, grey)};
            const cv::Mat before = source.image.clone();
            PhotoImage out{0, PatternPicture(5, 5)}; // an old picture is replaced
            ASSERT_TRUE(MakeDisplayPicture(source, c.area, out)) << c.width << "x" << c.height;
            const Size expected = FittedPictureSize(c.width, c.height, c.area);
            EXPECT_EQ(out.image.cols, expected.width) << c.width << "x" << c.height;
            EXPECT_EQ(out.image.rows, expected.height) << c.width << "x" << c.height;
            EXPECT_EQ(out.topDown, 1);
            const cv::Mat colour = ColourOf(out.image);
            if (grey) {
                std::vector<cv::Mat> planes;
                cv::split(colour, planes);
                EXPECT_EQ(cv::norm(planes[0], planes[1], cv::NORM_INF), 0) << "grey stays neutral";
                EXPECT_EQ(cv::norm(planes[0], planes[2], cv::NORM_INF), 0) << "grey stays neutral";
            }
            if (expected == Size{c.width, c.height}) {
                cv::Mat same = before;
                if (grey) {
                    cv::cvtColor(before, same, cv::COLOR_GRAY2BGR);
                }
                EXPECT_TRUE(SameMat(colour, same)) << "an exact fit is a plain copy";
            }
            EXPECT_NE(out.image.data, source.image.data);
            EXPECT_TRUE(SameMat(source.image, before)) << "the source is unchanged";
        }
    }
}

TEST(MakeDisplayPicture, ShrinkingIsAnAreaAverage) {
    // Against OpenCV's area interpolation in floating point: within one level in every pixel, and
    // far less on average (fixed-point weights round differently only near half a level).
    struct Case {
        int width, height;
        int side; // of a square cell
    };
    const Case cases[] = {
        {237, 158, 40}, {158, 237, 40}, {237, 158, 160}, {237, 158, 80},  {237, 158, 236},
        {237, 177, 101}, {641, 427, 237}, {237, 158, 15},  {237, 158, 2},  {31, 17, 30},
        {237, 237, 41},  {5000, 3, 237},
    };
    double totalDifference = 0;
    double totalValues = 0;
    for (const bool grey : {false, true}) {
        for (const uint32_t seed : {1u, 2u}) {
            for (const Case& c : cases) {
                const PhotoImage source{1, PhotoLike(c.width, c.height, grey, seed)};
                const Rect area{0, 0, c.side, c.side};
                const Size target = FittedPictureSize(c.width, c.height, area);
                PhotoImage out;
                ASSERT_TRUE(MakeDisplayPicture(source, area, out));
                cv::Mat reference;
                cv::resize(source.image, reference, cv::Size(target.width, target.height), 0, 0,
                           cv::INTER_AREA);
                if (grey) {
                    cv::cvtColor(reference, reference, cv::COLOR_GRAY2BGR);
                }
                const cv::Mat colour = ColourOf(out.image);
                const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) + " to " +
                                         std::to_string(target.width) + "x" + std::to_string(target.height);
                EXPECT_LE(cv::norm(colour, reference, cv::NORM_INF), 1) << name;
                cv::Mat difference;
                cv::absdiff(colour, reference, difference);
                totalDifference += cv::sum(difference)[0];
                totalValues += static_cast<double>(difference.total()) * 3;
            }
        }
    }
    EXPECT_LT(totalDifference / totalValues, 0.05) << "levels on average over all cases";
    // Flat pictures stay exactly flat, from black to white.
    for (const int level : {0, 1, 128, 254, 255}) {
        const PhotoImage flat{1, cv::Mat(158, 237, CV_8UC3, cv::Scalar(level, 255 - level, level / 2))};
        PhotoImage out;
        ASSERT_TRUE(MakeDisplayPicture(flat, {0, 0, 40, 40}, out));
        const cv::Mat expected(26, 40, CV_8UC3, cv::Scalar(level, 255 - level, level / 2));
        EXPECT_TRUE(SameMat(ColourOf(out.image), expected)) << "level " << level;
    }
}

TEST(MakeDisplayPicture, EnlargingAndExactSizeKeepOpenCvsPixels) {
    const PhotoImage source{1, PhotoLike(237, 158)};
    struct Case {
        Rect area;
        cv::Size size;
    };
    for (const Case& c : {Case{{0, 0, 480, 480}, {480, 320}}, Case{{0, 0, 237, 158}, {237, 158}},
                          Case{{0, 0, 300, 158}, {237, 158}}}) {
        PhotoImage out;
        ASSERT_TRUE(MakeDisplayPicture(source, c.area, out));
        cv::Mat reference = source.image;
        if (c.size != source.image.size()) {
            cv::resize(source.image, reference, c.size, 0, 0, cv::INTER_AREA);
        }
        EXPECT_TRUE(SameMat(ColourOf(out.image), reference)) << c.size.width;
    }
}

TEST(MakeDisplayPicture, SourceAlphaIsDroppedAsADrawDropsIt) {
    const cv::Mat bgr = PhotoLike(237, 158);
    cv::Mat translucent;
    cv::cvtColor(bgr, translucent, cv::COLOR_BGR2BGRA);
    cv::Mat alpha(translucent.size(), CV_8UC1);
    cv::randu(alpha, 0, 256);
    cv::insertChannel(alpha, translucent, 3);
    for (const Rect area : {Rect{0, 0, 40, 40}, Rect{0, 0, 237, 158}, Rect{0, 0, 480, 480}}) {
        PhotoImage fromFour;
        PhotoImage fromThree;
        ASSERT_TRUE(MakeDisplayPicture(PhotoImage{1, translucent}, area, fromFour));
        ASSERT_TRUE(MakeDisplayPicture(PhotoImage{1, bgr}, area, fromThree));
        EXPECT_TRUE(SameMat(ColourOf(fromFour.image), ColourOf(fromThree.image))) << area.width();
    }
}

TEST(MakeDisplayPicture, OtherLayoutsAreFittedAsTheyAreAndEmptyFails) {
    struct Case {
        const char* name;
        cv::Mat picture;
    };
    const Case cases[] = {
        {"16-bit colour", cv::Mat(158, 237, CV_16UC3, cv::Scalar(0, 32896, 65535))},
        {"float grey", cv::Mat(158, 237, CV_32FC1, cv::Scalar(0.5))},
    };
    for (const Case& c : cases) {
        const PhotoImage source{1, c.picture};
        PhotoImage out;
        ASSERT_TRUE(MakeDisplayPicture(source, {0, 0, 40, 40}, out)) << c.name;
        EXPECT_EQ(out.image.type(), c.picture.type()) << c.name;
        EXPECT_EQ(out.image.size(), cv::Size(40, 26)) << c.name;
        EXPECT_NE(out.image.data, source.image.data) << c.name;
    }
    PhotoImage out{1, PatternPicture(5, 5)};
    EXPECT_FALSE(MakeDisplayPicture(PhotoImage{}, {0, 0, 40, 40}, out));
    EXPECT_TRUE(out.Empty());
}

TEST(CorrectOrientation, TurnsOnlyForThreeSixAndEight) {
    const cv::Mat asStored = Numbered();
    struct Case {
        int32_t orientation;
        cv::Mat expected;
    };
    const Case cases[] = {
        {3, (cv::Mat_<uint8_t>(2, 3) << 12, 11, 10, 2, 1, 0)},
        // Clockwise: the top row is the left column read bottom to top.
        {6, (cv::Mat_<uint8_t>(3, 2) << 10, 0, 11, 1, 12, 2)},
        // Counter-clockwise: the top row is the right column read top to bottom.
        {8, (cv::Mat_<uint8_t>(3, 2) << 2, 12, 1, 11, 0, 10)},
        {0, asStored},
        {1, asStored},
        {2, asStored},
        {4, asStored},
        {5, asStored},
        {7, asStored},
        {9, asStored},
        {-1, asStored},
    };
    for (const Case& c : cases) {
        PhotoImage holder{1, asStored.clone()};
        CorrectOrientation(holder, c.orientation);
        EXPECT_TRUE(SameMat(holder.image, c.expected)) << "orientation " << c.orientation;
        EXPECT_EQ(holder.topDown, 1);
    }
}

TEST(LoadPicture, MissingFileFailsAndReleasesTheOldPicture) {
    TempDir dir;
    PhotoImage holder{1, PatternPicture(10, 10)};
    EXPECT_FALSE(LoadPicture(dir.File("missing.JPG"), holder));
    EXPECT_TRUE(holder.Empty());
    EXPECT_FALSE(LoadPicture(dir.Path(), holder)); // a folder is no picture
    EXPECT_TRUE(holder.Empty());
}

TEST(LoadPicture, UndecodableFileFails) {
    TempDir dir;
    const std::string path = dir.File("broken.JPG");
    ASSERT_TRUE(CameraLikeJpeg().noPicture().writeTo(path));
    PhotoImage holder;
    EXPECT_FALSE(LoadPicture(path, holder));
    EXPECT_TRUE(holder.Empty());
    EXPECT_EQ(holder.topDown, 1);

    const std::string garbage = dir.File("garbage.JPG");
    ASSERT_TRUE(WriteBytes(garbage, {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x03, 0x01, 0x02, 0x03}));
    EXPECT_FALSE(LoadPicture(garbage, holder));
}

TEST(LoadPicture, KeepsDepthChannelsAndTheStoredOrientation) {
    TempDir dir;
    struct Case {
        bool grey;
        uint16_t orientation;
        int type;
    };
    const Case cases[] = {{false, 1, CV_8UC3}, {true, 1, CV_8UC1}, {false, 6, CV_8UC3}, {false, 8, CV_8UC3}};
    for (const Case& c : cases) {
        const std::string path = dir.File("photo.JPG");
        ASSERT_TRUE(JpegBuilder()
                        .exposureTime(1, 125)
                        .orientation(c.orientation)
                        .patternPicture(64, 48, c.grey)
                        .writeTo(path));
        PhotoImage holder;
        ASSERT_TRUE(LoadPicture(path, holder));
        EXPECT_EQ(holder.topDown, 1);
        EXPECT_EQ(holder.image.type(), c.type);
        // The decoder must not turn the picture itself: the orientation is applied after fitting.
        EXPECT_EQ(holder.image.cols, 64) << "orientation " << c.orientation;
        EXPECT_EQ(holder.image.rows, 48) << "orientation " << c.orientation;
    }
}

// Records what a draw hands over, and copies the pixels while they are still valid.
class PictureRecorder : public PictureCanvas {
public:
    void DrawPicture(const Rect& destination, const PictureView& picture) override {
        ++calls;
        this->destination = destination;
        view = picture;
        const int type = CV_8UC(picture.channels);
        pixels = cv::Mat(picture.height, picture.width, type, const_cast<uint8_t*>(picture.rows),
                         picture.bytesPerRow)
                     .clone();
    }

    int calls = 0;
    Rect destination;
    PictureView view;
    cv::Mat pixels;
};

cv::Mat OpaqueBgra(const cv::Mat& bgr) {
    cv::Mat bgra;
    cv::cvtColor(bgr, bgra, cv::COLOR_BGR2BGRA);
    return bgra;
}

TEST(DrawPicture, EightBitPicturesAreDrawnFromTheirOwnRows) {
    const cv::Mat parent = PatternPicture(40, 30);
    struct Case {
        const char* name;
        cv::Mat picture;
        int channels;
    };
    const Case cases[] = {
        {"bgr", PatternPicture(30, 20), 3},
        {"grey", PatternPicture(30, 20, true), 1},
        {"part of a larger picture", parent(cv::Rect(5, 4, 21, 13)), 3}, // rows padded by the parent
        {"opaque bgra", OpaqueBgra(PatternPicture(30, 20)), 4},
        {"part of an opaque bgra", OpaqueBgra(parent)(cv::Rect(5, 4, 21, 13)), 4},
    };
    PictureRecorder nothing;
    DrawPicture({0, 0, 10, 10}, PhotoImage{}, nothing);
    EXPECT_EQ(nothing.calls, 0);

    for (const Case& c : cases) {
        PictureRecorder canvas;
        const PhotoImage holder{1, c.picture};
        DrawPicture({3, 4, 50, 60}, holder, canvas);
        ASSERT_EQ(canvas.calls, 1) << c.name;
        EXPECT_EQ(canvas.destination, (Rect{3, 4, 50, 60}));
        EXPECT_EQ(canvas.view.rows, c.picture.data) << c.name;
        EXPECT_EQ(canvas.view.bytesPerRow, c.picture.step[0]) << c.name;
        EXPECT_EQ(canvas.view.width, c.picture.cols);
        EXPECT_EQ(canvas.view.height, c.picture.rows);
        EXPECT_EQ(canvas.view.channels, c.channels);
        EXPECT_TRUE(SameMat(canvas.pixels, c.picture)) << c.name;
    }
}

// Opaque but for the last pixel, which a canvas taking the rows as they are would get wrong.
cv::Mat OneTranslucentPixel() {
    cv::Mat picture(4, 5, CV_8UC4, cv::Scalar(10, 20, 30, 255));
    picture.at<cv::Vec4b>(3, 4)[3] = 254;
    return picture;
}

TEST(DrawDisplayPicture, OpaqueBgraGoesStraightAndAnythingElseAsDrawPictureHasIt) {
    PhotoImage display;
    ASSERT_TRUE(MakeDisplayPicture(PhotoImage{1, PatternPicture(237, 158)}, {0, 0, 40, 40}, display));
    PictureRecorder canvas;
    DrawDisplayPicture({1, 2, 41, 28}, display, canvas);
    ASSERT_EQ(canvas.calls, 1);
    EXPECT_EQ(canvas.destination, (Rect{1, 2, 41, 28}));
    EXPECT_EQ(canvas.view.rows, display.image.data);
    EXPECT_EQ(canvas.view.channels, 4);
    EXPECT_EQ(canvas.view.bytesPerRow, display.image.step[0]);
    EXPECT_TRUE(SameMat(canvas.pixels, display.image));

    const PhotoImage others[] = {PhotoImage{1, PatternPicture(30, 20)},
                                 PhotoImage{1, cv::Mat(4, 5, CV_16UC3, cv::Scalar(0, 32896, 65535))},
                                 PhotoImage{1, PatternPicture(30, 20, true)}};
    for (const PhotoImage& other : others) {
        PictureRecorder direct;
        PictureRecorder general;
        DrawDisplayPicture({0, 0, 9, 9}, other, direct);
        DrawPicture({0, 0, 9, 9}, other, general);
        ASSERT_EQ(direct.calls, 1);
        EXPECT_EQ(direct.view.channels, general.view.channels);
        EXPECT_TRUE(SameMat(direct.pixels, general.pixels));
    }
    PictureRecorder nothing;
    DrawDisplayPicture({0, 0, 9, 9}, PhotoImage{}, nothing);
    EXPECT_EQ(nothing.calls, 0);
}

TEST(DrawPicture, OtherDepthsAndChannelCountsAreConvertedForTheDrawOnly) {
    struct Case {
        const char* name;
        cv::Mat picture;
        int channels;
        cv::Scalar expected;
    };
    const Case cases[] = {
        {"16-bit colour", cv::Mat(4, 5, CV_16UC3, cv::Scalar(0, 32896, 65535)), 3, cv::Scalar(0, 128, 255)},
        {"16-bit grey", cv::Mat(4, 5, CV_16UC1, cv::Scalar(65535)), 1, cv::Scalar(255)},
        {"colour with alpha", cv::Mat(4, 5, CV_8UC4, cv::Scalar(10, 20, 30, 40)), 3, cv::Scalar(10, 20, 30)},
        {"colour with one pixel not opaque", OneTranslucentPixel(), 3, cv::Scalar(10, 20, 30)},
        {"16-bit with alpha", cv::Mat(4, 5, CV_16UC4, cv::Scalar(65535, 0, 32896, 0)), 3,
         cv::Scalar(255, 0, 128)},
        {"float grey", cv::Mat(4, 5, CV_32FC1, cv::Scalar(0.5)), 1, cv::Scalar(128)},
    };
    for (const Case& c : cases) {
        PictureRecorder canvas;
        const PhotoImage holder{1, c.picture.clone()};
        DrawPicture({0, 0, 5, 4}, holder, canvas);
        ASSERT_EQ(canvas.calls, 1) << c.name;
        EXPECT_EQ(canvas.view.channels, c.channels) << c.name;
        EXPECT_EQ(canvas.view.width, 5);
        EXPECT_EQ(canvas.view.height, 4);
        const cv::Mat expected(4, 5, c.channels == 3 ? CV_8UC3 : CV_8UC1, c.expected);
        EXPECT_TRUE(SameMat(canvas.pixels, expected)) << c.name;
        EXPECT_TRUE(SameMat(holder.image, c.picture)) << c.name << ": the picture itself is unchanged";
    }
}

} // namespace
