#include "photo/ThumbnailDecode.h"
#include "photo/JpegFrame.h"
#include "photo/PhotoImage.h"
#include "photo/PhotoItem.h"
#include "tests/collection/CollectionTestSupport.h"
#include "tests/support/JpegBuilder.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <string>
#include <vector>

namespace {

using namespace kestory::test;

const Rect kBox{0, 0, PhotoItem::kThumbnailBox, PhotoItem::kThumbnailBox};

// Smooth gradients in every channel with mild grain, as a photo is: a flat or synthetic pattern
// would hide differences between the decoding scales.
cv::Mat PhotoLike(int width, int height, bool grey) {
    cv::Mat u(1, width, CV_32F);
    for (int x = 0; x < width; ++x) {
        u.at<float>(0, x) = width > 1 ? static_cast<float>(x) / static_cast<float>(width - 1) : 0.0F;
    }
    cv::Mat v(height, 1, CV_32F);
    for (int y = 0; y < height; ++y) {
        v.at<float>(y, 0) = height > 1 ? static_cast<float>(y) / static_cast<float>(height - 1) : 0.0F;
    }
    const cv::Mat across = cv::repeat(u, height, 1);
    const cv::Mat down = cv::repeat(v, 1, width);
    const cv::Mat both = across.mul(down);
    std::vector<cv::Mat> channels;
    if (grey) {
        channels = {40 + 150 * both + 40 * down};
    } else {
        channels = {30 + 180 * across, 60 + 120 * down, 90 + 80 * both};
    }
    cv::Mat picture;
    cv::merge(channels, picture);
    cv::Mat grain(picture.size(), picture.type());
    cv::RNG rng(20110102);
    rng.fill(grain, cv::RNG::NORMAL, 0.0, 3.0);
    picture += grain;
    picture.convertTo(picture, grey ? CV_8UC1 : CV_8UC3); // rounds and saturates
    return picture;
}

PhotoImage FullDecodeThumbnail(const std::string& path) {
    PhotoImage holder;
    EXPECT_TRUE(LoadPicture(path, holder));
    FitPicture(holder, kBox);
    return holder;
}

struct SizeCase {
    int width, height;
    int denominator; // the DCT scale the shrink-on-load path decodes at; 1: it declines
};

class ShrinkOnLoad : public testing::TestWithParam<SizeCase> {};

TEST_P(ShrinkOnLoad, GivesTheFullDecodeThumbnailToThePixelAndWithinTwoLevels) {
    const SizeCase c = GetParam();
    EXPECT_EQ(ReducedScaleDenominator(c.width, c.height, kBox), c.denominator);
    TempDir dir;
    for (const bool grey : {false, true}) {
        const std::string path = dir / "photo.JPG";
        ASSERT_TRUE(MinimalPhoto().picture(PhotoLike(c.width, c.height, grey)).writeTo(path));
        const PhotoImage full = FullDecodeThumbnail(path);

        PhotoImage reduced;
        EXPECT_EQ(LoadReducedThumbnail(path, kBox, reduced), c.denominator > 1);
        PhotoImage thumbnail;
        ASSERT_TRUE(LoadThumbnailPicture(path, kBox, thumbnail));
        EXPECT_EQ(thumbnail.topDown, 1);
        ASSERT_EQ(thumbnail.image.size(), full.image.size()) << (grey ? "grey" : "colour");
        ASSERT_EQ(thumbnail.image.type(), full.image.type()) << (grey ? "grey" : "colour");
        EXPECT_EQ(thumbnail.image.channels(), grey ? 1 : 3);
        const cv::Scalar meanDifference =
            cv::mean(cv::abs(thumbnail.image - full.image) + cv::abs(full.image - thumbnail.image));
        for (int k = 0; k < thumbnail.image.channels(); ++k) {
            EXPECT_LE(meanDifference[k], 2.0) << (grey ? "grey" : "colour") << " channel " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PictureSizes, ShrinkOnLoad,
                         testing::Values(SizeCase{4000, 3000, 8}, SizeCase{3001, 2001, 8},
                                         SizeCase{2001, 3001, 8}, SizeCase{237, 237, 1},
                                         SizeCase{500, 100, 2}, SizeCase{100, 500, 2}, SizeCase{1, 1000, 4},
                                         SizeCase{1000, 1, 4}, SizeCase{1896, 1896, 8},
                                         SizeCase{1889, 1400, 8}, SizeCase{1888, 1400, 4},
                                         SizeCase{473, 300, 2}, SizeCase{472, 300, 1}));

TEST(ShrinkOnLoadFiles, ProgressiveAndTruncatedFilesGiveWhatTheFullDecodeGives) {
    TempDir dir;
    const cv::Mat picture = PhotoLike(2400, 1600, false);
    std::vector<uint8_t> progressive;
    ASSERT_TRUE(cv::imencode(".jpg", picture, progressive, {cv::IMWRITE_JPEG_PROGRESSIVE, 1}));
    ASSERT_TRUE(WriteBytes(dir / "progressive.JPG", progressive));
    // Cut in the middle of the entropy-coded data: both decoders fill the rest and warn.
    std::vector<uint8_t> truncated = MinimalPhoto().picture(picture).build();
    truncated.resize(truncated.size() / 2);
    ASSERT_TRUE(WriteBytes(dir / "truncated.JPG", truncated));

    for (const char* name : {"progressive.JPG", "truncated.JPG"}) {
        const std::string path = dir / name;
        const PhotoImage full = FullDecodeThumbnail(path);
        PhotoImage reduced;
        ASSERT_TRUE(LoadReducedThumbnail(path, kBox, reduced)) << name;
        ASSERT_EQ(reduced.image.size(), full.image.size()) << name;
        EXPECT_LE(cv::norm(reduced.image, full.image, cv::NORM_L1) /
                      static_cast<double>(full.image.total() * 3),
                  2.0)
            << name;
    }
}

TEST(ShrinkOnLoadFiles, CmykThumbnailIsColourAndMatchesTheFullDecode) {
    TempDir dir;
    cv::Mat cmyk;
    cv::cvtColor(PhotoLike(1200, 900, false), cmyk, cv::COLOR_BGR2BGRA);
    const std::string path = dir / "cmyk.JPG";
    ASSERT_TRUE(WriteBytes(path, EncodeCmykJpeg(cmyk)));
    const PhotoImage full = FullDecodeThumbnail(path);
    PhotoImage reduced;
    ASSERT_TRUE(LoadReducedThumbnail(path, kBox, reduced));
    EXPECT_EQ(reduced.image.type(), CV_8UC3);
    ASSERT_EQ(reduced.image.size(), full.image.size());
    EXPECT_LE(cv::norm(reduced.image, full.image, cv::NORM_L1) / static_cast<double>(full.image.total() * 3), 2.0);
}

TEST(ShrinkOnLoadFiles, OddFilesAreRefusedByBothPaths) {
    TempDir dir;
    // A PNG under a .JPG name is no JPEG: neither path decodes it (the EXIF reader refuses such a
    // file before any decode).
    std::vector<uint8_t> png;
    ASSERT_TRUE(cv::imencode(".png", PhotoLike(600, 400, false), png));
    ASSERT_TRUE(WriteBytes(dir / "png.JPG", png));
    ASSERT_TRUE(WriteBytes(dir / "garbage.JPG", std::vector<uint8_t>(5000, 0x5A)));

    PhotoImage holder;
    EXPECT_FALSE(LoadReducedThumbnail(dir / "png.JPG", kBox, holder));
    EXPECT_TRUE(holder.Empty());
    EXPECT_FALSE(LoadThumbnailPicture(dir / "png.JPG", kBox, holder));
    EXPECT_TRUE(holder.Empty());

    EXPECT_FALSE(LoadReducedThumbnail(dir / "missing.JPG", kBox, holder));
    EXPECT_FALSE(LoadThumbnailPicture(dir / "missing.JPG", kBox, holder));
    EXPECT_FALSE(LoadThumbnailPicture(dir / "garbage.JPG", kBox, holder));
    EXPECT_FALSE(LoadThumbnailPicture(dir.Path(), kBox, holder));
    EXPECT_TRUE(holder.Empty());
}

TEST(ShrinkOnLoadFiles, ThumbnailModeLoadTurnsAfterTheReducedFit) {
    TempDir dir;
    const std::string path = dir / "portrait.JPG";
    ASSERT_TRUE(MinimalPhoto().orientation(6).picture(PhotoLike(3000, 2000, false)).writeTo(path));
    PhotoItem thumbnail;
    ASSERT_EQ(thumbnail.Load(path, PhotoItem::kModeThumbnail), 0);
    EXPECT_EQ(thumbnail.thumbnail.image.size(), cv::Size(158, 237));
    PhotoItem full;
    ASSERT_EQ(full.Load(path, 1), 0);
    EXPECT_EQ(full.thumbnail.image.size(), cv::Size(2000, 3000));
}

// SOI, then the given segments as (marker, payload), then nothing.
std::vector<uint8_t> Stream(const std::vector<std::pair<uint8_t, std::vector<uint8_t>>>& segments) {
    std::vector<uint8_t> out = {0xFF, 0xD8};
    for (const auto& [marker, payload] : segments) {
        const size_t length = payload.size() + 2;
        out.insert(out.end(),
                   {0xFF, marker, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
        out.insert(out.end(), payload.begin(), payload.end());
    }
    return out;
}

// P = 8, Y = 3000 (0x0BB8), X = 4000 (0x0FA0), then the components.
std::vector<uint8_t> FramePayload(uint8_t components) {
    std::vector<uint8_t> payload = {8, 0x0B, 0xB8, 0x0F, 0xA0, components};
    for (uint8_t i = 0; i < components; ++i) {
        // id, sampling 1x1, quantisation table 0
        payload.push_back(static_cast<uint8_t>(i + 1));
        payload.push_back(0x11);
        payload.push_back(0);
    }
    return payload;
}

TEST(JpegFrameReader, FindsTheFirstFrameHeaderPastOtherSegments) {
    const std::vector<uint8_t> dht(20, 0);
    for (const uint8_t sof : {uint8_t{0xC0}, uint8_t{0xC1}, uint8_t{0xC2}, uint8_t{0xC9}, uint8_t{0xCF}}) {
        // DHT (C4), JPG (C8) and DAC (CC) share the range but are no frame headers.
        std::vector<uint8_t> bytes = Stream({{0xE1, {'E', 'x', 'i', 'f', 0, 0}},
                                             {0xC4, dht},
                                             {0xCC, {0, 0}},
                                             {0xC8, {}},
                                             {0xDB, std::vector<uint8_t>(65, 1)},
                                             {sof, FramePayload(3)}});
        // Fill bytes before a marker are allowed, and so are stand-alone markers.
        bytes.insert(bytes.begin() + 2, {0xFF, 0xFF, 0xD0});
        JpegFrame frame;
        ASSERT_TRUE(ReadJpegFrame(bytes.data(), bytes.size(), frame)) << std::hex << int{sof};
        EXPECT_EQ(frame.marker, sof);
        EXPECT_EQ(frame.precision, 8);
        EXPECT_EQ(frame.width, 4000);
        EXPECT_EQ(frame.height, 3000);
        EXPECT_EQ(frame.components, 3);
    }
}

TEST(JpegFrameReader, RefusesStreamsThatEndOrBreakBeforeAFrameHeader) {
    std::vector<std::vector<uint8_t>> refused = {
        {},
        {0xFF},
        {0xFF, 0xD8},
        {0xFF, 0xD9, 0xFF, 0xC0},
        Stream({{0xDA, {0, 0, 0}}, {0xC0, FramePayload(3)}}), // scan before the frame
        Stream({{0xE1, {1, 2, 3}}}),
        Stream({{0xC0, {8, 0x0B, 0xB8, 0x0F}}}),                      // frame too short for its fields
        Stream({{0xC0, {8, 0x0B, 0xB8, 0x0F, 0xA0, 3, 1, 0x11, 0}}}), // too short for 3 components
    };
    // A segment whose length runs past the end, and one whose length is below its own two bytes.
    std::vector<uint8_t> pastEnd = Stream({{0xC0, FramePayload(1)}});
    pastEnd.resize(pastEnd.size() - 1);
    refused.push_back(pastEnd);
    refused.push_back({0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x01, 0xFF, 0xC0});
    // Bytes that are no marker between segments.
    std::vector<uint8_t> stray = Stream({{0xE1, {1}}, {0xC0, FramePayload(3)}});
    stray.insert(stray.begin() + 7, 0x00);
    refused.push_back(stray);
    for (size_t i = 0; i < refused.size(); ++i) {
        JpegFrame frame;
        EXPECT_FALSE(ReadJpegFrame(refused[i].data(), refused[i].size(), frame)) << "case " << i;
    }
    JpegFrame frame;
    EXPECT_FALSE(ReadJpegFrame(nullptr, 10, frame));
    // Every prefix of a good stream is read safely (and refused unless the frame is complete).
    const std::vector<uint8_t> good = Stream({{0xE1, {1, 2}}, {0xC0, FramePayload(3)}});
    for (size_t n = 0; n < good.size(); ++n) {
        const std::vector<uint8_t> prefix(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(ReadJpegFrame(prefix.data(), prefix.size(), frame)) << "prefix " << n;
    }
    EXPECT_TRUE(ReadJpegFrame(good.data(), good.size(), frame));
}

} // namespace
