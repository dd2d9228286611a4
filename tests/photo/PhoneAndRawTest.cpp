#include "fuzz/ExifCases.h"
#include "photo/CExifAnalize.h"
#include "photo/ExifByteSource.h"
#include "photo/HeifPicture.h"
#include "photo/PhotoItem.h"
#include "photo/PropertyText.h"
#include "photo/TiffPreview.h"
#include "tests/support/JpegBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace kestory::test;

// Each file kind the reader takes, written from one camera-like EXIF block.
enum class Kind { Jpeg, Raw, Orf, Rw2, JpgFromRaw, Heic, Cr3, Raf, OrfMakerNote, Rw2Iso0017 };
struct KindCase {
    const char* name;
    Kind kind;
    ByteOrder order;
    const char* make = nullptr;  // LibRaw reads a maker note only under its maker's name
};

bool WriteKind(const KindCase& c, const JpegBuilder& exif, const std::string& path) {
    const cv::Mat picture = PatternPicture(320, 240);
    switch (c.kind) {
    case Kind::Jpeg:
        return JpegBuilder(exif).picture(picture).writeTo(path);
    case Kind::Raw:
        return WriteBytes(path, BuildRawLike(exif, {{PreviewPlace::Strip, EncodeJpeg(picture)}}));
    case Kind::Orf:
        return WriteBytes(path, BuildRawLike(exif, {{PreviewPlace::Interchange, EncodeJpeg(picture)}}, 0x4F52));
    case Kind::Rw2:
        return WriteBytes(path, BuildRawLike(exif, {{PreviewPlace::Strip, EncodeJpeg(picture)}}, 0x0055));
    case Kind::JpgFromRaw:
        return WriteBytes(path, BuildRawLike(exif, {{PreviewPlace::JpgFromRaw, EncodeJpeg(picture)}}, 0x0055));
    case Kind::Heic:
        return WriteHeic(path, picture, exif.buildTiff());
    case Kind::Cr3:
        return WriteBytes(path, BuildCr3Like(exif, EncodeJpeg(PatternPicture(160, 120)), EncodeJpeg(picture)));
    case Kind::Raf:
        return WriteBytes(path, BuildRafLike(exif, picture));
    case Kind::OrfMakerNote:
        return WriteBytes(path, BuildOrfWithMakerNotePreview(exif, EncodeJpeg(picture)));
    case Kind::Rw2Iso0017:
        return WriteBytes(path, BuildRawLike(JpegBuilder(exif).without(0x8827).shortValue(kIfd0, 0x0017, 400),
                                             {{PreviewPlace::Strip, EncodeJpeg(picture)}}, 0x0055));
    }
    return false;
}

class EveryKind : public testing::TestWithParam<KindCase> {};

// The same block gives the same entries, the same exposure values, the same 17 property texts and
// the same fitted thumbnail size, whatever holds it.
TEST_P(EveryKind, ReadsTheBlockAndPictureAsTheJpegHoldsThem) {
    const KindCase& c = GetParam();
    if (c.kind == Kind::Heic && !HaveHeicEncoder()) {
        GTEST_SKIP() << "libheif has no HEVC encoder here";
    }
    TempDir dir;
    JpegBuilder exif = CameraLikeJpeg(c.order);
    if (c.make != nullptr) {
        exif.without(0x010F).make(c.make);
    }
    ASSERT_TRUE(WriteKind({"jpeg", Kind::Jpeg, c.order}, exif, dir / "a.JPG"));
    ASSERT_TRUE(WriteKind(c, exif, dir / "b.photo"));
    PhotoItem jpeg;
    PhotoItem other;
    ASSERT_EQ(jpeg.Load(dir / "a.JPG", PhotoItem::kModeThumbnail), 0);
    ASSERT_EQ(other.Load(dir / "b.photo", PhotoItem::kModeThumbnail), 0) << c.name;

    // A raw file's IFD0 holds its preview's fields besides: every entry of the JPEG's block is there.
    // Pointers aside: a CR3 keeps its directories in boxes of their own.
    for (const auto& entry : jpeg.exif.Entries()) {
        const CExifEntryInfo& a = *entry;
        if (a.tag == 0x8769 || a.tag == 0x8825) {
            continue;
        }
        CExifEntryInfo b;
        ASSERT_EQ(other.exif.FindEntry(a.tag, b), 0) << std::hex << a.tag;
        EXPECT_EQ(b.directory, a.directory) << std::hex << a.tag;
        EXPECT_EQ(b.text, a.text) << std::hex << a.tag;
        EXPECT_EQ(b.numerators, a.numerators) << std::hex << a.tag;
        EXPECT_EQ(b.denominators, a.denominators) << std::hex << a.tag;
    }
    EXPECT_EQ(other.GetSummaryText(), jpeg.GetSummaryText());
    EXPECT_EQ(other.iso, 400);
    for (const uint16_t tag : kPanelPropertyTags) {
        PropertyText a, b;
        jpeg.GetPropertyText(tag, a);
        other.GetPropertyText(tag, b);
        EXPECT_EQ(b.displayValue, a.displayValue) << std::hex << tag;
    }
    EXPECT_EQ(other.thumbnail.image.size(), cv::Size(237, 177));
    EXPECT_EQ(other.thumbnail.image.type(), CV_8UC3);

    PhotoItem full;
    ASSERT_EQ(full.Load(dir / "b.photo", 1), 0);
    EXPECT_EQ(full.thumbnail.image.size(), cv::Size(320, 240));

    // The block the thumbnail cache keeps reads as the file did, without the file. A CR3's two
    // blocks are not kept: it is read from the file each time.
    CExifAnalize kept;
    kept.KeepParsedBlock(true);
    ASSERT_EQ(kept.Read(dir / "b.photo"), 0);
    const std::vector<uint8_t> block = kept.TakeParsedBlock();
    if (c.kind == Kind::Cr3) {
        EXPECT_TRUE(block.empty());
        return;
    }
    CExifAnalize stored;
    ASSERT_EQ(stored.ReadStoredBlock(block.data(), block.size()), 0);
    EXPECT_EQ(stored.EntryCount(), kept.EntryCount());
    int32_t storedIso = 0;
    EXPECT_EQ(stored.GetIsoSpeed(storedIso), 1);
    EXPECT_EQ(storedIso, 400);
}

INSTANTIATE_TEST_SUITE_P(Table, EveryKind,
                         testing::Values(KindCase{"dng_ii", Kind::Raw, ByteOrder::Little},
                                         KindCase{"dng_mm", Kind::Raw, ByteOrder::Big},
                                         KindCase{"orf", Kind::Orf, ByteOrder::Little},
                                         KindCase{"rw2", Kind::Rw2, ByteOrder::Little},
                                         KindCase{"rw2_jpgfromraw", Kind::JpgFromRaw, ByteOrder::Little},
                                         KindCase{"rw2_iso_0017", Kind::Rw2Iso0017, ByteOrder::Little},
                                         KindCase{"cr3_ii", Kind::Cr3, ByteOrder::Little},
                                         KindCase{"cr3_mm", Kind::Cr3, ByteOrder::Big},
                                         KindCase{"raf", Kind::Raf, ByteOrder::Big},
                                         KindCase{"orf_maker_note", Kind::OrfMakerNote, ByteOrder::Little, "OLYMPUS CORPORATION"},
                                         KindCase{"heic_ii", Kind::Heic, ByteOrder::Little},
                                         KindCase{"heic_mm", Kind::Heic, ByteOrder::Big}),
                         [](const auto& info) { return std::string(info.param.name); });

// A bare block (a HEIF Exif item's) reads as the same block inside a JPEG's APP1, the malformed
// ones included: one walk, one checked read.
TEST(BareTiffBlock, ReadsAsTheJpegsBlock) {
    constexpr size_t kBlockAt = 12;  // FF D8 | FF E1 | length (2) | "Exif\0\0" | TIFF header
    for (const ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        std::vector<kestory::exifcases::NamedFile> files = kestory::exifcases::MalformedFiles(order);
        files.push_back({"camera", CameraLikeJpeg(order).build()});
        for (const auto& file : files) {
            if (file.bytes.size() <= kBlockAt || file.bytes[2] != 0xFF || file.bytes[3] != 0xE1) {
                continue;
            }
            const std::vector<uint8_t> block(file.bytes.begin() + kBlockAt, file.bytes.end());
            CExifAnalize jpeg, bare;
            const int jpegResult = jpeg.ReadMemory(file.bytes.data(), file.bytes.size());
            EXPECT_EQ(bare.ReadTiffBlock(block.data(), block.size()), jpegResult) << file.name;
            ASSERT_EQ(bare.Entries().size(), jpeg.Entries().size()) << file.name;
            for (size_t i = 0; i < jpeg.Entries().size(); ++i) {
                EXPECT_EQ(bare.Entries()[i]->tag, jpeg.Entries()[i]->tag) << file.name;
                EXPECT_EQ(bare.Entries()[i]->text, jpeg.Entries()[i]->text) << file.name;
                EXPECT_EQ(bare.Entries()[i]->numerators, jpeg.Entries()[i]->numerators) << file.name;
            }
        }
    }
}

// A Minolta .MRW holds the camera's TIFF block in its "\0TTW" block: the same entries as a JPEG's.
// Cut before its TIFF header, it reads as no EXIF; cut inside the block, as the entries within reach.
TEST(MrwBlocks, ReadAsTheJpegsBlock) {
    for (const ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        const std::vector<uint8_t> jpeg = CameraLikeJpeg(order).build();
        const std::vector<uint8_t> mrw = BuildMrwLike(CameraLikeJpeg(order));
        CExifAnalize fromJpeg, fromMrw;
        ASSERT_EQ(fromJpeg.ReadMemory(jpeg.data(), jpeg.size()), 0);
        ASSERT_EQ(fromMrw.ReadMemory(mrw.data(), mrw.size()), 0);
        ASSERT_EQ(fromMrw.Entries().size(), fromJpeg.Entries().size());
        for (size_t i = 0; i < fromJpeg.Entries().size(); ++i) {
            EXPECT_EQ(fromMrw.Entries()[i]->tag, fromJpeg.Entries()[i]->tag);
            EXPECT_EQ(fromMrw.Entries()[i]->numerators, fromJpeg.Entries()[i]->numerators);
        }
        for (const size_t cut : {size_t{4}, size_t{12}, size_t{40}, size_t{48}, mrw.size() / 2}) {
            CExifAnalize cutShort;
            EXPECT_EQ(cutShort.ReadMemory(mrw.data(), cut), cut <= 48 ? -1 : 0) << cut;
            EXPECT_LT(cutShort.Entries().size(), fromJpeg.Entries().size()) << cut;
        }
    }
}

// Blue rises left to right in the pattern: after a quarter turn clockwise it rises top to bottom.
bool TurnedClockwise(const cv::Mat& picture) {
    const cv::Vec3b top = picture.at<cv::Vec3b>(2, picture.cols / 2);
    const cv::Vec3b bottom = picture.at<cv::Vec3b>(picture.rows - 3, picture.cols / 2);
    return picture.rows > picture.cols && bottom[0] > top[0] + 100;
}

TEST(PhotoTurn, RawPreviewTurnsByIfd0AndHeifByItsContainerOnly) {
    TempDir dir;
    JpegBuilder exif;
    exif.exposureTime(1, 125).fNumber(56, 10).isoSpeed(400).orientation(6);
    ASSERT_TRUE(WriteBytes(dir / "raw", BuildRawLike(exif, {{PreviewPlace::Strip, EncodeJpeg(PatternPicture(320, 240))}})));
    PhotoItem raw;
    ASSERT_EQ(raw.Load(dir / "raw", PhotoItem::kModeThumbnail), 0);
    EXPECT_TRUE(TurnedClockwise(raw.thumbnail.image));

    if (!HaveHeicEncoder()) {
        GTEST_SKIP() << "libheif has no HEVC encoder here";
    }
    // A phone stores the turn as irot and names the same turn in the EXIF block: turned once.
    ASSERT_TRUE(WriteHeic(dir / "turned", PatternPicture(320, 240), exif.buildTiff(), 6));
    // The EXIF orientation alone does not turn a HEIF picture: readers show the container's.
    ASSERT_TRUE(WriteHeic(dir / "upright", PatternPicture(320, 240), exif.buildTiff(), 1));
    for (const int mode : {PhotoItem::kModeThumbnail, 1}) {
        PhotoItem turned, upright;
        ASSERT_EQ(turned.Load(dir / "turned", mode), 0);
        ASSERT_EQ(upright.Load(dir / "upright", mode), 0);
        int32_t orientation = 0;
        EXPECT_EQ(turned.exif.GetOrientation(orientation), 1);
        EXPECT_EQ(orientation, 6);
        EXPECT_TRUE(TurnedClockwise(turned.thumbnail.image)) << mode;
        EXPECT_EQ(upright.thumbnail.image.cols > upright.thumbnail.image.rows, true) << mode;
    }
}

// The largest 8-bit Huffman-coded preview wins; lossless raw data in a JPEG strip is no preview.
TEST(RawPreview, LargestDecodablePreviewIsTaken) {
    const std::vector<uint8_t> small = EncodeJpeg(PatternPicture(160, 120));
    const std::vector<uint8_t> large = EncodeJpeg(PatternPicture(640, 480));
    std::vector<uint8_t> lossless = large;
    const uint8_t sof0[] = {0xFF, 0xC0};
    *(std::search(lossless.begin(), lossless.end(), std::begin(sof0), std::end(sof0)) + 1) = 0xC3;
    struct Case {
        const char* name;
        std::vector<RawPreview> previews;
        int width;
    };
    const Case cases[] = {
        {"strip larger", {{PreviewPlace::Interchange, small}, {PreviewPlace::Strip, large}}, 640},
        {"interchange larger", {{PreviewPlace::Strip, small}, {PreviewPlace::Interchange, large}}, 640},
        {"lossless strip", {{PreviewPlace::Interchange, small}, {PreviewPlace::Strip, lossless}}, 160},
        {"only lossless", {{PreviewPlace::Strip, lossless}}, 0},
        {"none", {}, 0},
    };
    for (const ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        for (const Case& c : cases) {
            const std::vector<uint8_t> file = BuildRawLike(CameraLikeJpeg(order), c.previews);
            const ExifByteSource source(file.data(), file.size());
            TiffPreview preview;
            EXPECT_EQ(FindTiffPreview(source, preview), c.width != 0) << c.name;
            EXPECT_EQ(preview.width, c.width) << c.name;
        }
    }
}

// A thumbnail comes from the smallest preview of the picture's shape that covers the fit, at the
// size the largest fits to; the viewer shows the largest. The previews differ in colour to tell.
TEST(RawPreview, ThumbnailFromTheSmallestCoveringPreview) {
    const auto solid = [](int width, int height, uint8_t green) {
        return EncodeJpeg(cv::Mat(height, width, CV_8UC3, cv::Scalar(0, green, 0)));
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> other;  // beside a 1200 x 800 preview of green 40
        uint8_t green;               // the thumbnail's
    };
    const Case cases[] = {
        {"covering", solid(300, 200, 200), 200},
        {"too small", solid(160, 106, 200), 40},
        {"other shape", solid(300, 300, 200), 40},
    };
    TempDir dir;
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteBytes(dir / "raw", BuildRawLike(CameraLikeJpeg(), {{PreviewPlace::Interchange, c.other},
                                                                             {PreviewPlace::Strip, solid(1200, 800, 40)}})));
        PhotoItem thumbnail, full;
        ASSERT_EQ(thumbnail.Load(dir / "raw", PhotoItem::kModeThumbnail), 0) << c.name;
        EXPECT_EQ(thumbnail.thumbnail.image.size(), cv::Size(237, 158)) << c.name;
        EXPECT_NEAR(thumbnail.thumbnail.image.at<cv::Vec3b>(79, 118)[1], c.green, 3) << c.name;
        ASSERT_EQ(full.Load(dir / "raw", 1), 0) << c.name;
        EXPECT_EQ(full.thumbnail.image.size(), cv::Size(1200, 800)) << c.name;
    }
}

// Offsets past the end, a directory chain back to itself, a preview length beyond the file: the
// walk ends, nothing is read outside the bytes, and the photo is refused as a picture only.
TEST(RawPreview, BrokenLayoutsAreRefusedSafely) {
    const std::vector<uint8_t> good =
        BuildRawLike(CameraLikeJpeg(), {{PreviewPlace::Strip, EncodeJpeg(PatternPicture(64, 48))}});
    JpegBuilder beyond = CameraLikeJpeg();
    beyond.longValue(kIfd0, 0x0201, 0xFFFFFFF0u).longValue(kIfd0, 0x0202, 0x100);
    JpegBuilder loop = CameraLikeJpeg();
    loop.longValue(kIfd0, 0x014A, 8);  // SubIFDs: IFD0 itself
    const std::vector<std::vector<uint8_t>> files = {
        std::vector<uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() - 100)),
        std::vector<uint8_t>(good.begin(), good.begin() + 20),
        BuildRawLike(beyond, {}),
        BuildRawLike(loop, {}),
    };
    for (size_t i = 0; i < files.size(); ++i) {
        std::vector<uint8_t> exact(files[i]);
        const ExifByteSource source(exact.data(), exact.size());
        TiffPreview preview;
        EXPECT_FALSE(FindTiffPreview(source, preview)) << i;
        CExifAnalize exif;
        EXPECT_EQ(exif.ReadMemory(exact.data(), exact.size()), 0) << i;
    }
}

// Files that are no photo the reader knows: refused as without EXIF, whatever their name says.
TEST(PhotoKinds, OtherContainersHaveNoExif) {
    TempDir dir;
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"x.CR3", {0, 0, 0, 24, 'f', 't', 'y', 'p', 'c', 'r', 'x', ' ', 0, 0, 0, 1, 'c', 'r', 'x', ' ', 'i', 's', 'o', 'm'}},
        {"x.RAF", {'F', 'U', 'J', 'I', 'F', 'I', 'L', 'M', 'C', 'C', 'D', '-', 'R', 'A', 'W', ' '}},
        {"x.TIF", {'I', 'I', 43, 0, 8, 0, 0, 0, 0, 0, 0, 0}},  // BigTIFF
        {"x.HEIC", {0, 0, 0, 16, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c', 0, 0, 0, 0}},  // no boxes after
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteBytes(dir / c.name, c.bytes));
        PhotoItem item;
        EXPECT_EQ(item.Load(dir / c.name, PhotoItem::kModeThumbnail), -1) << c.name;
    }
}

// A HEIF picture whose size claims more than the decode budget, or more than libheif takes at
// all, is refused as a picture before decoding, not as a photo without EXIF.
TEST(HeifPicture, SizeBeyondTheBudgetIsRefused) {
    if (!HaveHeicEncoder()) {
        GTEST_SKIP() << "libheif has no HEVC encoder here";
    }
    TempDir dir;
    ASSERT_TRUE(WriteHeic(dir / "a", PatternPicture(320, 240), CameraLikeJpeg().buildTiff()));
    for (const uint32_t side : {20000u, 65535u, 0xFFFFFFFFu}) {
        std::vector<uint8_t> bytes = ReadBytes(dir / "a");
        // ispe: size (4) | "ispe" | version and flags (4) | width (4) | height (4), big-endian.
        int patched = 0;
        for (size_t at = 0; at + 16 <= bytes.size(); ++at) {
            if (std::memcmp(&bytes[at], "ispe", 4) == 0) {
                const uint8_t be[4] = {uint8_t(side >> 24), uint8_t(side >> 16), uint8_t(side >> 8), uint8_t(side)};
                std::memcpy(&bytes[at + 8], be, 4);
                std::memcpy(&bytes[at + 12], be, 4);
                ++patched;
            }
        }
        ASSERT_GT(patched, 0);
        ASSERT_TRUE(WriteBytes(dir / "b", bytes));
        PhotoItem item;
        EXPECT_EQ(item.Load(dir / "b", PhotoItem::kModeThumbnail), -2) << side;
        EXPECT_EQ(item.Load(dir / "b", 1), -2) << side;
        if (side <= 0x7FFFFFFFu) {  // beyond, libheif hands out no Exif item
            EXPECT_EQ(item.iso, 400) << side;
        }
    }
}

// Bit-flipped copies of a HEIC: libde265 leaves what it could not decode as the memory held, so
// each decode must be refused or give the same picture as the next one.
TEST(HeifPicture, DamagedStreamIsRefusedOrDecodedAlike) {
    if (!HaveHeicEncoder()) {
        GTEST_SKIP() << "libheif has no HEVC encoder here";
    }
    TempDir dir;
    ASSERT_TRUE(WriteHeic(dir / "a", PatternPicture(640, 480), CameraLikeJpeg().buildTiff()));
    const std::vector<uint8_t> good = ReadBytes(dir / "a");
    const uint8_t mdat[] = {'m', 'd', 'a', 't'};
    const size_t data = static_cast<size_t>(std::search(good.begin(), good.end(), std::begin(mdat), std::end(mdat)) -
                                            good.begin()) + 4;
    ASSERT_LT(data, good.size());
    uint32_t state = 12345;  // a fixed walk, so a failure names the same mutant every run
    const auto next = [&state] { return state = state * 1103515245u + 12345u; };
    for (int mutant = 0; mutant < 12; ++mutant) {
        std::vector<uint8_t> bytes = good;
        for (int flip = 0; flip < 40; ++flip) {
            bytes[data + (next() >> 8) % (bytes.size() - data)] ^= static_cast<uint8_t>(1u << ((next() >> 8) % 8));
        }
        cv::Mat first, second;
        const ExifByteSource source(bytes.data(), bytes.size());
        const bool decoded = DecodeHeif(source, Rect{}, first);
        EXPECT_EQ(DecodeHeif(source, Rect{}, second), decoded) << mutant;
        if (decoded && first.size() == second.size()) {
            EXPECT_EQ(cv::norm(first, second, cv::NORM_INF), 0) << mutant;
        }
    }
}

}  // namespace
