#include "photo/FileBytes.h"
#include "photo/JpegDecode.h"
#include "photo/JpegFrame.h"
#include "photo/PhotoImage.h"
#include "photo/PhotoItem.h"
#include "tests/support/JpegBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace kestory::test;

// Gradients with grain in every channel, so that every DCT coefficient and the chroma matter.
cv::Mat Grainy(int width, int height, int type) {
    cv::Mat picture(height, width, type);
    cv::randu(picture, 0, 64);
    cv::Mat ramp(height, width, type);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int k = 0; k < picture.channels(); ++k) {
                ramp.ptr<uint8_t>(y)[x * picture.channels() + k] =
                    static_cast<uint8_t>((x * 150 / width + y * 40 / height + k * 20) % 192);
            }
        }
    }
    return picture + ramp;
}

std::vector<uint8_t> Encode(const cv::Mat& picture, std::vector<int> parameters = {}) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(cv::imencode(".jpg", picture, bytes, parameters));
    return bytes;
}

// The program once read its pictures with OpenCV's codecs with these flags; libjpeg-turbo behind
// both, the pictures must not change.
cv::Mat OpenCvDecode(const std::vector<uint8_t>& bytes) {
    return cv::imdecode(bytes, cv::IMREAD_ANYDEPTH | cv::IMREAD_ANYCOLOR | cv::IMREAD_IGNORE_ORIENTATION);
}

TEST(DecodeJpeg, GivesThePixelsOpenCvsReaderGave) {
    const cv::Mat colour = Grainy(203, 141, CV_8UC3);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int type;
    };
    const Case cases[] = {
        {"colour 4:2:0", Encode(colour), CV_8UC3},
        {"restart markers", Encode(colour, {cv::IMWRITE_JPEG_RST_INTERVAL, 3}), CV_8UC3},
        {"progressive", Encode(colour, {cv::IMWRITE_JPEG_PROGRESSIVE, 1}), CV_8UC3},
        {"grey", Encode(Grainy(97, 211, CV_8UC1)), CV_8UC1},
        {"cmyk", EncodeCmykJpeg(Grainy(75, 50, CV_8UC4)), CV_8UC3},
        {"camera file", CameraLikeJpeg(ByteOrder::Big).orientation(6).build(), CV_8UC3},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.bytes.empty()) << c.name;
        const cv::Mat expected = OpenCvDecode(c.bytes);
        ASSERT_FALSE(expected.empty()) << c.name;
        cv::Mat decoded;
        ASSERT_TRUE(DecodeJpeg(c.bytes.data(), c.bytes.size(), 1, decoded)) << c.name;
        EXPECT_EQ(decoded.type(), c.type) << c.name;
        ASSERT_EQ(decoded.type(), expected.type()) << c.name;
        ASSERT_EQ(decoded.size(), expected.size()) << c.name;
        EXPECT_EQ(cv::norm(decoded, expected, cv::NORM_INF), 0) << c.name;
    }
}

TEST(DecodeJpeg, StreamCutShortIsWholeWithTheMissingPartGrey) {
    std::vector<uint8_t> bytes = Encode(Grainy(203, 141, CV_8UC3));
    bytes.resize(bytes.size() * 2 / 3);
    cv::Mat decoded;
    ASSERT_TRUE(DecodeJpeg(bytes.data(), bytes.size(), 1, decoded));
    ASSERT_EQ(decoded.size(), cv::Size(203, 141));
    // What was there is decoded as OpenCV's reader decoded it; the rest is libjpeg's mid-grey
    // (OpenCV's reader repeated the last colour instead).
    const cv::Mat expected = OpenCvDecode(bytes);
    const cv::Rect top(0, 0, 203, 40);
    EXPECT_EQ(cv::norm(decoded(top), expected(top), cv::NORM_INF), 0);
    const cv::Mat lastRow = decoded.row(140);
    EXPECT_EQ(cv::norm(lastRow, cv::Mat(lastRow.size(), lastRow.type(), cv::Scalar::all(128)), cv::NORM_INF), 0);
}

TEST(DecodeJpeg, ScaledDecodesRoundEachDimensionUp) {
    const std::vector<uint8_t> colour = Encode(Grainy(37, 23, CV_8UC3));
    const std::vector<uint8_t> grey = Encode(Grainy(37, 23, CV_8UC1));
    struct Case {
        int denominator;
        cv::Size size;
    };
    for (const Case c : {Case{1, {37, 23}}, Case{2, {19, 12}}, Case{4, {10, 6}}, Case{8, {5, 3}}}) {
        cv::Mat decoded;
        ASSERT_TRUE(DecodeJpeg(colour.data(), colour.size(), c.denominator, decoded, 37, 23));
        EXPECT_EQ(decoded.size(), c.size) << "1/" << c.denominator;
        EXPECT_EQ(decoded.type(), CV_8UC3);
        ASSERT_TRUE(DecodeJpeg(grey.data(), grey.size(), c.denominator, decoded));
        EXPECT_EQ(decoded.size(), c.size) << "grey 1/" << c.denominator;
        EXPECT_EQ(decoded.type(), CV_8UC1);
    }
}

TEST(DecodeJpeg, RefusesWhatItCannotShowAndLeavesNothing) {
    const std::vector<uint8_t> good = Encode(Grainy(64, 48, CV_8UC3));
    std::vector<uint8_t> png;
    ASSERT_TRUE(cv::imencode(".png", Grainy(64, 48, CV_8UC3), png));
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int denominator = 1;
        int expectedWidth = 0;
        int expectedHeight = 0;
    };
    const Case cases[] = {
        {"nothing", {}},
        {"a PNG", png},
        {"EXIF and no picture", CameraLikeJpeg().noPicture().build()},
        {"12-bit samples", WithFrameHeader(good, 12, 48, 64)},
        {"height given later by DNL", WithFrameHeader(good, 8, 0, 64)},
        {"65535 x 65535 claimed", WithFrameHeader(good, 8, 65535, 65535)},
        {"scale 1/3", good, 3},
        {"scale 1/16", good, 16},
        {"scale 0", good, 0},
        {"another size than the frame header's", good, 1, 64, 47},
        {"cut inside the headers", std::vector<uint8_t>(good.begin(), good.begin() + 100)},
    };
    for (const Case& c : cases) {
        cv::Mat decoded(4, 4, CV_8UC1);
        EXPECT_FALSE(DecodeJpeg(c.bytes.data(), c.bytes.size(), c.denominator, decoded, c.expectedWidth,
                                c.expectedHeight))
            << c.name;
        EXPECT_TRUE(decoded.empty()) << c.name;
    }
    cv::Mat decoded;
    EXPECT_FALSE(DecodeJpeg(nullptr, 100, 1, decoded));
    EXPECT_TRUE(DecodeJpeg(good.data(), good.size(), 1, decoded, 64, 48));
}

TEST(JpegDecodeFits, CountsRowsAndCoefficientsAgainstTheBudgetAndBlocksAgainstTheBytes) {
    struct Case {
        const char* name;
        uint8_t marker;
        uint16_t width, height;
        std::vector<uint8_t> sampling; // one a component
        uint8_t scanComponents;
        size_t fileSize;
        int denominator;
        uint64_t memory;
        bool fits;
    };
    const std::vector<uint8_t> k420 = {0x22, 0x11, 0x11};
    const std::vector<uint8_t> k444 = {0x11, 0x11, 0x11};
    constexpr size_t kMB = 1000000;
    // 200 MP, 16384 x 12288 4:2:0: 1024 x 768 MCUs of 6 blocks, 4718592 blocks, 603979776 bytes of
    // coefficients; its BGR rows are 603979776 bytes too.
    const Case cases[] = {
        {"200 MP baseline, full", 0xC0, 16384, 12288, k420, 3, 40 * kMB, 1, 603979776, true},
        {"200 MP baseline, 1/8", 0xC0, 16384, 12288, k420, 3, 40 * kMB, 8, 9437184, true},
        {"200 MP progressive, 1/8", 0xC2, 16384, 12288, k420, 3, 40 * kMB, 8, 9437184 + 603979776, true},
        {"200 MP progressive, full", 0xC2, 16384, 12288, k420, 3, 40 * kMB, 1, 2 * 603979776ull, true},
        {"200 MP grey progressive", 0xC2, 16384, 12288, {0x11}, 1, 20 * kMB, 1, 201326592 * 3ull, true},
        {"200 MP 4:4:4 progressive, 1/8", 0xC2, 16384, 12288, k444, 3, 60 * kMB, 8, 9437184 + 1207959552ull, true},
        {"200 MP 4:4:4 progressive, full", 0xC2, 16384, 12288, k444, 3, 60 * kMB, 1, 603979776 + 1207959552ull, false},
        {"baseline, first scan one component", 0xC0, 16384, 12288, k420, 1, 40 * kMB, 8, 9437184 + 603979776, true},
        {"32767 x 32767 progressive, 3 KB", 0xC2, 32767, 32767, k420, 3, 3000, 8, 50331648 + 3221225472ull, false},
        {"32767 x 32767 baseline, 1/8, 3 KB", 0xC0, 32767, 32767, k420, 3, 3000, 8, 50331648, false},
        {"32767 x 32767 baseline, 1/8, 1 MB", 0xC0, 32767, 32767, k420, 3, 1 * kMB, 8, 50331648, true},
        {"32767 x 32767 baseline, full", 0xC0, 32767, 32767, k420, 3, 1 * kMB, 1, 3221028867ull, false},
        {"32767 x 32767 CMYK, 1/8", 0xC2, 32767, 32767, {0x11, 0x11, 0x11, 0x11}, 4, 100 * kMB, 8,
         117440512 + 8589934592ull, false},
        // 8192 x 8192 4:2:0 is 1572864 blocks: 24576 bytes of entropy-coded data at least.
        {"8192 x 8192, 24575 bytes", 0xC2, 8192, 8192, k420, 3, 24575 + 1000, 8, 3145728 + 201326592, false},
        {"8192 x 8192, 24576 bytes", 0xC2, 8192, 8192, k420, 3, 24576 + 1000, 8, 3145728 + 201326592, true},
        {"no height (DNL)", 0xC0, 640, 0, k420, 3, kMB, 1, 0, false},
        {"two components", 0xC0, 640, 480, {0x11, 0x11}, 2, kMB, 1, 0, false},
        {"sampling factor 0", 0xC0, 640, 480, {0x21, 0x10, 0x11}, 3, kMB, 1, 0, false},
        {"sampling factor 5", 0xC0, 640, 480, {0x51, 0x11, 0x11}, 3, kMB, 1, 0, false},
    };
    for (const Case& c : cases) {
        JpegFrame frame;
        frame.marker = c.marker;
        frame.precision = 8;
        frame.width = c.width;
        frame.height = c.height;
        frame.components = static_cast<uint8_t>(c.sampling.size());
        std::copy_n(c.sampling.begin(), std::min<size_t>(c.sampling.size(), 4), frame.sampling);
        frame.scanComponents = c.scanComponents;
        frame.scanDataAt = 1000;
        EXPECT_EQ(JpegDecodeMemory(frame, c.denominator), c.memory) << c.name;
        EXPECT_EQ(JpegDecodeFits(frame, c.fileSize, c.denominator), c.fits) << c.name;
    }
}

TEST(DecodeJpeg, PicturesClaimingMoreThanTheirBytesHoldAreRefused) {
    const std::vector<uint8_t> progressive = Encode(Grainy(64, 48, CV_8UC3), {cv::IMWRITE_JPEG_PROGRESSIVE, 1});
    std::vector<NamedBytes> refused = PictureBombs();
    const auto camera = [](const std::vector<uint8_t>& picture) {
        return CameraLikeJpeg().encodedPicture(picture).build();
    };
    refused.push_back({"8192 x 8192 over 64 x 48 of scans", camera(WithFrameHeader(progressive, 8, 8192, 8192))});
    refused.push_back({"64 x 48 in 2000 scans", camera(WithLastScanRepeated(progressive, 2000))});
    TempDir dir;
    for (const NamedBytes& c : refused) {
        for (const int denominator : {1, 8}) {
            cv::Mat decoded;
            EXPECT_FALSE(DecodeJpeg(c.bytes.data(), c.bytes.size(), denominator, decoded)) << c.name;
            EXPECT_TRUE(decoded.empty()) << c.name;
        }
        // The photo is refused as a file that cannot be decoded is.
        const std::string path = dir / "bomb.JPG";
        ASSERT_TRUE(WriteBytes(path, c.bytes)) << c.name;
        for (const int mode : {PhotoItem::kModeThumbnail, 1}) {
            PhotoItem photo;
            EXPECT_EQ(photo.Load(path, mode), -2) << c.name;
        }
    }
    // Scans repeated a hundred times are far from the limit: the picture is as it was.
    const std::vector<uint8_t> repeated = WithLastScanRepeated(progressive, 100);
    cv::Mat once;
    cv::Mat decoded;
    ASSERT_TRUE(DecodeJpeg(progressive.data(), progressive.size(), 1, once));
    ASSERT_TRUE(DecodeJpeg(repeated.data(), repeated.size(), 1, decoded));
    EXPECT_GT(repeated.size(), progressive.size() + 1000);
    EXPECT_EQ(decoded.size(), once.size());
}

TEST(LoadPicture, CmykIsShownInColourAndGreyStaysGrey) {
    TempDir dir;
    const std::string cmyk = dir / "cmyk.JPG";
    ASSERT_TRUE(WriteBytes(cmyk, EncodeCmykJpeg(Grainy(80, 60, CV_8UC4))));
    PhotoImage holder;
    ASSERT_TRUE(LoadPicture(cmyk, holder));
    EXPECT_EQ(holder.image.type(), CV_8UC3);
    EXPECT_EQ(holder.image.size(), cv::Size(80, 60));
    // A PNG under a JPEG name is no JPEG: the EXIF reader already refuses it before any decode.
    const std::string png = dir / "png.JPG";
    std::vector<uint8_t> pngBytes;
    ASSERT_TRUE(cv::imencode(".png", Grainy(80, 60, CV_8UC3), pngBytes));
    ASSERT_TRUE(WriteBytes(png, pngBytes));
    EXPECT_FALSE(LoadPicture(png, holder));
    EXPECT_TRUE(holder.Empty());
}

TEST(FileBytes, ReadsRegularFilesWholeAndNothingElse) {
    TempDir dir;
    const std::vector<uint8_t> content = Encode(Grainy(64, 48, CV_8UC3));
    ASSERT_TRUE(WriteBytes(dir / "photo.JPG", content));
    ASSERT_TRUE(WriteBytes(dir / "short.JPG", {0xFF, 0xD8, 0xFF}));
    // Opening a pipe for reading waits for a writer; the read must refuse it instead of hanging.
    ASSERT_EQ(::mkfifo((dir / "pipe.JPG").c_str(), 0600), 0);

    FileBytes file;
    ASSERT_TRUE(file.Read(dir / "photo.JPG"));
    ASSERT_EQ(file.size(), content.size());
    EXPECT_EQ(std::vector<uint8_t>(file.data(), file.data() + file.size()), content);
    for (const std::string& refused : {dir / "missing.JPG", dir.Path(), dir / "short.JPG", dir / "pipe.JPG"}) {
        EXPECT_FALSE(file.Read(refused)) << refused;
        EXPECT_EQ(file.size(), 0U) << refused;
        EXPECT_EQ(file.data(), nullptr) << refused;
    }
}

// Inside a reuse scope the files share one mapping: each read must still give exactly its own
// file, whether smaller or larger than the one before, and two holders alive at once must not
// share their bytes.
TEST(FileBytes, ReadsInsideAReuseScopeGiveEachFileItsOwnBytes) {
    TempDir dir;
    std::vector<std::vector<uint8_t>> contents;
    for (const size_t size : {300000, 1000, 5000000, 4096, 4}) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<uint8_t>((i * 7 + size) % 251);
        }
        ASSERT_TRUE(WriteBytes(dir / std::string("f").append(std::to_string(contents.size())), bytes));
        contents.push_back(std::move(bytes));
    }
    const auto same = [](const FileBytes& file, const std::vector<uint8_t>& expected) {
        return file.size() == expected.size() &&
               std::equal(expected.begin(), expected.end(), file.data());
    };

    std::unique_ptr<FileBytes> outlivesTheScope = std::make_unique<FileBytes>();
    {
        const FileBytes::ReuseScope reuse;
        for (size_t i = 0; i < contents.size(); ++i) {
            FileBytes file;
            ASSERT_TRUE(file.Read(dir / std::string("f").append(std::to_string(i))));
            EXPECT_TRUE(same(file, contents[i])) << "file " << i;
            EXPECT_FALSE(file.Read(dir / "missing")); // a refusal gives the mapping back
        }
        ASSERT_TRUE(outlivesTheScope->Read(dir / "f1"));
        FileBytes first;
        FileBytes second;
        ASSERT_TRUE(first.Read(dir / "f0"));
        ASSERT_TRUE(second.Read(dir / "f2"));
        EXPECT_TRUE(same(first, contents[0]));
        EXPECT_TRUE(same(second, contents[2]));
        EXPECT_NE(first.data(), second.data());
        EXPECT_TRUE(same(*outlivesTheScope, contents[1]));
    }
    EXPECT_TRUE(same(*outlivesTheScope, contents[1]));
    outlivesTheScope.reset();
    // After the scope, reads hold their own pages again.
    FileBytes after;
    ASSERT_TRUE(after.Read(dir / "f2"));
    EXPECT_TRUE(same(after, contents[2]));
}

} // namespace
