#include "photo/PhotoImage.h"
#include "chart/Canvas.h"
#include "tests/support/JpegBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>

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
class RecordingCanvas : public Canvas {
public:
    bool IsPrinter() const override { return false; }
    void FillRect(const Rect&, Color) override {}
    void PushPen(Color, int) override {}
    void PopPen() override {}
    void DrawLine(int32_t, int32_t, int32_t, int32_t) override {}
    void DrawEllipse(const Rect&, Color) override {}
    void DrawText(const Rect&, const std::string&, TextAlign, int) override {}
    void DrawPicture(const Rect& destination, const PictureView& picture) override {
        ++calls;
        this->destination = destination;
        view = picture;
        const int type = picture.channels == 3 ? CV_8UC3 : CV_8UC1;
        pixels = cv::Mat(picture.height, picture.width, type, const_cast<uint8_t*>(picture.rows),
                         picture.bytesPerRow)
                     .clone();
    }

    int calls = 0;
    Rect destination;
    PictureView view;
    cv::Mat pixels;
};

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
    };
    RecordingCanvas nothing;
    DrawPicture({0, 0, 10, 10}, PhotoImage{}, nothing);
    EXPECT_EQ(nothing.calls, 0);

    for (const Case& c : cases) {
        RecordingCanvas canvas;
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
        {"16-bit with alpha", cv::Mat(4, 5, CV_16UC4, cv::Scalar(65535, 0, 32896, 0)), 3,
         cv::Scalar(255, 0, 128)},
        {"float grey", cv::Mat(4, 5, CV_32FC1, cv::Scalar(0.5)), 1, cv::Scalar(128)},
    };
    for (const Case& c : cases) {
        RecordingCanvas canvas;
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
