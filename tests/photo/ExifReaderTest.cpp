#include "photo/CExifAnalize.h"
#include "tests/support/JpegBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

using namespace kestory::test;

namespace {

// clang-format off
// The two-directory block of the reader's worked example, byte for byte, little-endian.
const std::vector<uint8_t> kWorkedExampleLittle = {
    0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x48, 0x45, 0x78, 0x69, 0x66, 0x00, 0x00,  // SOI, APP1, "Exif"
    0x49, 0x49, 0x2A, 0x00, 0x08, 0x00, 0x00, 0x00,                          // II, 42, IFD0 at 8
    0x02, 0x00,                                                              // 2 entries
    0x12, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00,  // Orientation 6
    0x69, 0x87, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x26, 0x00, 0x00, 0x00,  // Exif at 38
    0x00, 0x00, 0x00, 0x00,                                                  // next link
    0x01, 0x00,                                                              // 1 entry
    0x9A, 0x82, 0x05, 0x00, 0x01, 0x00, 0x00, 0x00, 0x38, 0x00, 0x00, 0x00,  // ExposureTime at 56
    0x00, 0x00, 0x00, 0x00,                                                  // next link
    0x01, 0x00, 0x00, 0x00, 0x7D, 0x00, 0x00, 0x00,                          // 1 / 125
};

const std::vector<uint8_t> kWorkedExampleBig = {
    0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x48, 0x45, 0x78, 0x69, 0x66, 0x00, 0x00,
    0x4D, 0x4D, 0x00, 0x2A, 0x00, 0x00, 0x00, 0x08,
    0x00, 0x02,
    0x01, 0x12, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x06, 0x00, 0x00,
    0x87, 0x69, 0x00, 0x04, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x26,
    0x00, 0x00, 0x00, 0x00,
    0x00, 0x01,
    0x82, 0x9A, 0x00, 0x05, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x38,
    0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x7D,
};
// clang-format on

TEST(ExifReader, WorkedExampleInBothByteOrders) {
    for (const auto* bytes : {&kWorkedExampleLittle, &kWorkedExampleBig}) {
        CExifAnalize exif;
        ASSERT_EQ(exif.ReadMemory(bytes->data(), bytes->size()), 0);
        EXPECT_EQ(exif.TiffBase(), 12);
        EXPECT_EQ(exif.ByteOrder(), bytes == &kWorkedExampleLittle ? 0x200 : 0x100);
        const auto& entries = exif.Entries();
        ASSERT_EQ(entries.size(), 3u);
        EXPECT_EQ(entries[0]->tag, 0x0112);
        EXPECT_EQ(entries[0]->directory, 0);
        EXPECT_EQ(entries[0]->value, 6);
        EXPECT_EQ(entries[1]->tag, 0x8769);
        EXPECT_EQ(entries[1]->value, 38);
        EXPECT_EQ(entries[2]->tag, 0x829A);
        EXPECT_EQ(entries[2]->directory, 1);
        EXPECT_EQ(entries[2]->numerators[0], 1);
        EXPECT_EQ(entries[2]->denominators[0], 125);
    }
}

TEST(ExifReader, BuilderFileReadsBackTheCameraEntries) {
    for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        const std::vector<uint8_t> bytes = CameraLikeJpeg(order).build();
        CExifAnalize exif;
        ASSERT_EQ(exif.ReadMemory(bytes.data(), bytes.size()), 0);
        int32_t num = 0, den = 0, iso = 0;
        EXPECT_EQ(exif.GetExposureTime(num, den), 1);
        EXPECT_EQ(num, 1);
        EXPECT_EQ(den, 125);
        EXPECT_EQ(exif.GetFNumber(num, den), 1);
        EXPECT_EQ(num, 56);
        EXPECT_EQ(den, 10);
        EXPECT_EQ(exif.GetIsoSpeed(iso), 1);
        EXPECT_EQ(iso, 400);
        CExifEntryInfo make;
        ASSERT_EQ(exif.FindEntry(0x010F, make), 0);
        EXPECT_EQ(make.text, "Canon");
    }
}

using Bytes = std::vector<uint8_t>;

std::vector<uint16_t> Tags(const CExifAnalize& exif, int directory = -1) {
    std::vector<uint16_t> tags;
    for (const auto& entry : exif.Entries())
        if (directory < 0 || entry->directory == directory)
            tags.push_back(entry->tag);
    return tags;
}

// SOI, APP1 with "Exif\0\0", the TIFF block, EOI: for blocks the builder cannot lay out itself.
Bytes WrapTiff(const Bytes& tiff) {
    Bytes out = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x00, 'E', 'x', 'i', 'f', 0, 0};
    out.insert(out.end(), tiff.begin(), tiff.end());
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

void PutLittle16(Bytes& b, size_t at, uint16_t v) {
    b.at(at) = static_cast<uint8_t>(v), b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}
void PutLittle32(Bytes& b, size_t at, uint32_t v) {
    PutLittle16(b, at, static_cast<uint16_t>(v)), PutLittle16(b, at + 2, static_cast<uint16_t>(v >> 16));
}
// Appends a little-endian directory of (tag, type, count, value field) entries; returns its offset.
size_t AppendDirectory(Bytes& tiff, const std::vector<std::array<uint32_t, 4>>& entries) {
    const size_t at = tiff.size();
    tiff.resize(at + 2 + 12 * entries.size() + 4, 0);
    PutLittle16(tiff, at, static_cast<uint16_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const size_t e = at + 2 + 12 * i;
        PutLittle16(tiff, e, static_cast<uint16_t>(entries[i][0]));
        PutLittle16(tiff, e + 2, static_cast<uint16_t>(entries[i][1]));
        PutLittle32(tiff, e + 4, entries[i][2]);
        PutLittle32(tiff, e + 8, entries[i][3]);
    }
    return at;
}

int ReadBytes(CExifAnalize& exif, const Bytes& bytes) {
    return exif.ReadMemory(bytes.data(), bytes.size());
}

TEST(ExifReader, MarkerWalkFindsApp1OnlyAfterSoiAndStandardApp0s) {
    const Bytes app0Payload = {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}; // length 16
    Bytes longApp0Payload = app0Payload;
    longApp0Payload.push_back(0); // length 17
    const auto camera = [] {
        JpegBuilder b = CameraLikeJpeg();
        b.noPicture();
        return b;
    };
    Bytes notSoi = camera().build();
    notSoi[1] = 0xD9;
    Bytes notMarker = camera().build();
    notMarker[2] = 0x00;
    Bytes badOrder = camera().build();
    badOrder[13] = 'M'; // "IM"
    struct Case {
        const char* name;
        Bytes bytes;
        int result;
    };
    const Case cases[] = {
        {"camera: FF D8 FF E1", camera().build(), 0},
        {"JFIF APP0 then APP1", camera().jfifApp0().build(), 0},
        {"two 16-byte APP0s then APP1", camera().jfifApp0().segmentBeforeApp1(0xE0, app0Payload).build(), 0},
        {"comment before APP1", camera().segmentBeforeApp1(0xFE, {'h', 'i'}).build(), -1},
        {"APP2 before APP1", camera().segmentBeforeApp1(0xE2, {0, 0, 0, 0}).build(), -1},
        {"DQT before APP1", camera().segmentBeforeApp1(0xDB, Bytes(65, 1)).build(), -1},
        {"APP0 longer than 16 bytes", camera().segmentBeforeApp1(0xE0, longApp0Payload).build(), -1},
        {"no APP1 at all", camera().noExif().build(), -1},
        {"no start of image", notSoi, -1},
        {"marker without FF", notMarker, -1},
        {"byte order neither II nor MM", badOrder, -1},
    };
    for (const Case& c : cases) {
        CExifAnalize exif;
        EXPECT_EQ(ReadBytes(exif, c.bytes), c.result) << c.name;
        if (c.result == 0) {
            EXPECT_EQ(exif.OffsetsRelative(), 1) << c.name;
            int32_t num = 0, den = 0;
            EXPECT_EQ(exif.GetExposureTime(num, den), 1) << c.name;
            EXPECT_EQ(den, 125) << c.name;
        } else {
            EXPECT_TRUE(exif.Entries().empty()) << c.name;
        }
    }
}

TEST(ExifReader, LittleAndBigEndianFilesGiveTheSameEntries) {
    CExifAnalize little, big;
    ASSERT_EQ(ReadBytes(little, CameraLikeJpeg(ByteOrder::Little).build()), 0);
    ASSERT_EQ(ReadBytes(big, CameraLikeJpeg(ByteOrder::Big).build()), 0);
    EXPECT_EQ(little.ByteOrder(), 0x200);
    EXPECT_EQ(big.ByteOrder(), 0x100);
    ASSERT_EQ(little.Entries().size(), big.Entries().size());
    ASSERT_GE(little.Entries().size(), 19u);
    for (size_t i = 0; i < little.Entries().size(); ++i) {
        const CExifEntryInfo& l = *little.Entries()[i];
        const CExifEntryInfo& b = *big.Entries()[i];
        SCOPED_TRACE(testing::Message() << "entry " << i << " tag " << std::hex << l.tag);
        EXPECT_EQ(l.tag, b.tag);
        EXPECT_EQ(l.type, b.type);
        EXPECT_EQ(l.count, b.count);
        // An inline ASCII value field is text, not a number: its bytes read differently.
        if (!(l.type == kAscii && l.count <= 4)) {
            EXPECT_EQ(l.value, b.value);
        }
        EXPECT_EQ(l.numerators, b.numerators);
        EXPECT_EQ(l.denominators, b.denominators);
        EXPECT_EQ(l.text, b.text);
        EXPECT_EQ(l.directory, b.directory);
    }
}

TEST(ExifReader, ShortTextsStandInTheValueFieldInBothOrders) {
    for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        for (const std::string make : {"DJI", "HP", ""}) {
            CExifAnalize exif;
            ASSERT_EQ(ReadBytes(exif, JpegBuilder().order(order).noPicture().make(make).build()), 0);
            CExifEntryInfo entry;
            ASSERT_EQ(exif.FindEntry(0x010F, entry), 0);
            EXPECT_EQ(entry.count, make.size() + 1);
            EXPECT_EQ(entry.text, make);
        }
    }
}

TEST(ExifReader, ShortValuesAreSignExtendedExceptTheIsoSpeed) {
    struct Case {
        uint16_t tag;
        uint16_t stored;
        int32_t value;
    };
    const Case cases[] = {
        {0x8827, 51200, 51200}, {0x8827, 0xFFFF, 65535}, {0x8827, 100, 100},
        {0xA001, 0xFFFF, -1},   {0xA001, 1, 1},          {0x0112, 0x8000, -32768},
    };
    for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        for (const Case& c : cases) {
            CExifAnalize exif;
            ASSERT_EQ(ReadBytes(exif, JpegBuilder()
                                          .order(order)
                                          .noPicture()
                                          .shortValue(kExifDirectory, c.tag, c.stored)
                                          .build()),
                      0);
            CExifEntryInfo entry;
            ASSERT_EQ(exif.FindEntry(c.tag, entry), 0);
            EXPECT_EQ(entry.value, c.value) << std::hex << c.tag << " " << c.stored;
        }
        // With two values the first one counts.
        CExifAnalize exif;
        ASSERT_EQ(
            ReadBytes(exif, JpegBuilder()
                                .order(order)
                                .noPicture()
                                .entry(EntryFields{
                                    kExifDirectory, 0x8827, kShort, {51200, 6400}, {}, {}, {}, {}, {}, false})
                                .build()),
            0);
        int32_t iso = 0;
        EXPECT_EQ(exif.GetIsoSpeed(iso), 1);
        EXPECT_EQ(iso, 51200);
    }
}

TEST(ExifReader, SignedRationalsKeepTheirSign) {
    for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        CExifAnalize exif;
        ASSERT_EQ(ReadBytes(exif, JpegBuilder()
                                      .order(order)
                                      .noPicture()
                                      .srational(kExifDirectory, 0x9204, -2, 3)
                                      .rational(kExifDirectory, 0x920A, 0x80000000u, 1)
                                      .build()),
                  0);
        CExifEntryInfo bias, focal;
        ASSERT_EQ(exif.FindEntry(0x9204, bias), 0);
        EXPECT_EQ(bias.numerators[0], -2);
        EXPECT_EQ(bias.denominators[0], 3);
        ASSERT_EQ(exif.FindEntry(0x920A, focal), 0);
        EXPECT_EQ(focal.numerators[0], INT32_MIN); // as the 32 bits stand
    }
}

TEST(ExifReader, MoreThanTenRationalsKeepTheFirstTen) {
    std::vector<std::pair<uint32_t, uint32_t>> values;
    for (uint32_t i = 1; i <= 12; ++i)
        values.emplace_back(i, 100 + i);
    CExifAnalize exif;
    ASSERT_EQ(
        ReadBytes(exif, JpegBuilder()
                            .noPicture()
                            .entry(EntryFields{kIfd0, 0x013F, kRational, {}, values, {}, {}, {}, {}, false})
                            .ascii(kIfd0, 0x8298, "after")
                            .build()),
        0);
    CExifEntryInfo entry;
    ASSERT_EQ(exif.FindEntry(0x013F, entry), 0);
    EXPECT_EQ(entry.count, 12u);
    for (int i = 0; i < CExifEntryInfo::kMaxRationals; ++i) {
        EXPECT_EQ(entry.numerators[i], i + 1);
        EXPECT_EQ(entry.denominators[i], 101 + i);
    }
    ASSERT_EQ(exif.FindEntry(0x8298, entry), 0);
    EXPECT_EQ(entry.text, "after");
}

TEST(ExifReader, EveryEntryIsReadInStoredOrderWhateverItsTag) {
    struct Case {
        const char* name;
        std::vector<uint16_t> written;
    };
    const Case cases[] = {
        {"descending tag", {0x010F, 0x0110, 0x0112, 0x0100, 0x0131}},
        {"after ResolutionUnit", {0x011A, 0x0128, 0x0110, 0x0112}},
        {"two descending after ResolutionUnit", {0x0128, 0x0110, 0x0100}},
        {"Exif pointer out of order", {0x0112, 0x8825, 0x8769, 0x8822}},
        {"after the Exif pointer", {0x9000, 0x8769, 0x0100}},
        {"equal tags", {0x0110, 0x0110, 0x0112}},
        {"tag 0 first", {0x0000, 0x0001}},
        {"all descending", {0x9000, 0x8769, 0x0131, 0x0110, 0x010F, 0x0001}},
    };
    for (const Case& c : cases) {
        JpegBuilder b;
        b.noPicture().automaticPointers(false);
        for (uint16_t tag : c.written)
            b.longValue(kIfd0, tag, 0xFFFFFF00u); // pointers lead past the end: no other directory
        CExifAnalize exif;
        ASSERT_EQ(ReadBytes(exif, b.build()), 0) << c.name;
        EXPECT_EQ(Tags(exif), c.written) << c.name;
    }
}

TEST(ExifReader, DirectoriesAreReadIfd0ThenExifThenGps) {
    // IFD0 ends with high pointer tags; the Exif and GPS directories start low, GPS at tag 0.
    const Bytes bytes =
        JpegBuilder()
            .noPicture()
            .orientation(6)
            .exposureTime(1, 60)
            .entry(EntryFields{kGpsDirectory, 0x0000, kByte, {2, 2, 0, 0}, {}, {}, {}, {}, {}, false})
            .ascii(kGpsDirectory, 0x0001, "N")
            .build();
    CExifAnalize exif;
    ASSERT_EQ(ReadBytes(exif, bytes), 0);
    EXPECT_EQ(Tags(exif, 0), (std::vector<uint16_t>{0x0112, 0x8769, 0x8825}));
    EXPECT_EQ(Tags(exif, 1), (std::vector<uint16_t>{0x829A}));
    EXPECT_EQ(Tags(exif, 2), (std::vector<uint16_t>{0x0000, 0x0001}));
}

TEST(ExifReader, Ifd0OutOfTagOrderStillLeadsToTheExifDirectory) {
    // As phones write it: Model before Make, the Exif pointer after a smaller tag.
    // IFD0 at TIFF offset 8 holds 4 entries, so the Exif directory is at 8 + 2 + 4 * 12 + 4 = 62.
    for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        const Bytes bytes = JpegBuilder()
                                .order(order)
                                .noPicture()
                                .automaticPointers(false)
                                .model("Nokia 8.3 5G")
                                .make("HMD Global")
                                .longValue(kIfd0, 0x8769, 62)
                                .orientation(3)
                                .exposureTime(1, 50)
                                .isoSpeed(800)
                                .build();
        CExifAnalize exif;
        ASSERT_EQ(ReadBytes(exif, bytes), 0);
        EXPECT_EQ(Tags(exif), (std::vector<uint16_t>{0x0110, 0x010F, 0x8769, 0x0112, 0x829A, 0x8827}));
        int32_t num = 0, den = 0, iso = 0, orientation = 0;
        EXPECT_EQ(exif.GetExposureTime(num, den), 1);
        EXPECT_EQ(den, 50);
        EXPECT_EQ(exif.GetIsoSpeed(iso), 1);
        EXPECT_EQ(iso, 800);
        EXPECT_EQ(exif.GetOrientation(orientation), 1);
        EXPECT_EQ(orientation, 3);
    }
}

TEST(ExifReader, SameTagInIfd0AndExifDirectoryFindsIfd0s) {
    for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        const Bytes bytes = JpegBuilder()
                                .order(order)
                                .noPicture()
                                .ascii(kIfd0, 0x0110, "IFD0 model")
                                .rational(kIfd0, 0x829A, 1, 60)
                                .ascii(kExifDirectory, 0x0110, "Exif model")
                                .exposureTime(1, 125)
                                .build();
        CExifAnalize exif;
        ASSERT_EQ(ReadBytes(exif, bytes), 0);
        EXPECT_EQ(exif.Entries().size(), 5u);
        int32_t num = 0, den = 0;
        EXPECT_EQ(exif.GetExposureTime(num, den), 1);
        EXPECT_EQ(den, 60);
        CExifEntryInfo model;
        ASSERT_EQ(exif.FindEntry(0x0110, model), 0);
        EXPECT_EQ(model.text, "IFD0 model");
        EXPECT_EQ(model.directory, 0);
    }
}

TEST(ExifReader, GpsDirectoryIsReadAsKindTwo) {
    for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        JpegBuilder b = CameraLikeJpeg(order);
        b.noPicture()
            .ascii(kGpsDirectory, 0x0001, "N")
            .entry(EntryFields{kGpsDirectory,
                             0x0002,
                             kRational,
                             {},
                             {{35, 1}, {40, 1}, {1234, 100}},
                             {},
                             {},
                             {},
                             {},
                             false});
        CExifAnalize exif;
        ASSERT_EQ(ReadBytes(exif, b.build()), 0);
        // Reading order: IFD0, Exif, GPS.
        ASSERT_GE(exif.Entries().size(), 2u);
        const CExifEntryInfo& ref = *exif.Entries()[exif.Entries().size() - 2];
        const CExifEntryInfo& latitude = *exif.Entries().back();
        EXPECT_EQ(ref.tag, 0x0001);
        EXPECT_EQ(ref.directory, 2);
        EXPECT_EQ(ref.text, "N");
        EXPECT_EQ(latitude.directory, 2);
        EXPECT_EQ(latitude.count, 3u);
        EXPECT_EQ(latitude.numerators[1], 40);
        EXPECT_EQ(latitude.numerators[2], 1234);
        EXPECT_EQ(latitude.denominators[2], 100);
    }
}

TEST(ExifReader, Ifd1AndInteroperabilityDirectoryAreNotFollowed) {
    // IFD0 (Orientation, Exif pointer) with a next link to IFD1 (Compression, thumbnail offset);
    // the Exif directory points at an interoperability directory (InteroperabilityIndex "R98").
    Bytes tiff = {'I', 'I', 42, 0, 8, 0, 0, 0};
    const size_t ifd0 = AppendDirectory(tiff, {{0x0112, kShort, 1, 1}, {0x8769, kLong, 1, 0}});
    const size_t exifDir = AppendDirectory(tiff, {{0x829A, kRational, 1, 0}, {0xA005, kLong, 1, 0}});
    const size_t interop = AppendDirectory(tiff, {{0x0001, kAscii, 4, 0x00383952}}); // "R98\0"
    const size_t ifd1 = AppendDirectory(tiff, {{0x0103, kShort, 1, 6}, {0x0201, kLong, 1, 0}});
    const size_t rational = tiff.size();
    tiff.resize(rational + 8, 0);
    PutLittle32(tiff, rational, 1), PutLittle32(tiff, rational + 4, 250);
    PutLittle32(tiff, ifd0 + 2 + 12 + 8, static_cast<uint32_t>(exifDir));
    PutLittle32(tiff, ifd0 + 2 + 24, static_cast<uint32_t>(ifd1)); // next-directory link
    PutLittle32(tiff, exifDir + 2 + 8, static_cast<uint32_t>(rational));
    PutLittle32(tiff, exifDir + 2 + 12 + 8, static_cast<uint32_t>(interop));

    CExifAnalize exif;
    ASSERT_EQ(ReadBytes(exif, WrapTiff(tiff)), 0);
    EXPECT_EQ(Tags(exif), (std::vector<uint16_t>{0x0112, 0x8769, 0x829A, 0xA005}));
    int32_t num = 0, den = 0;
    EXPECT_EQ(exif.GetExposureTime(num, den), 1);
    EXPECT_EQ(den, 250);
}

TEST(ExifReader, GettersReportAbsenceAndLeaveOutputsExceptOrientation) {
    CExifAnalize empty;
    ASSERT_EQ(ReadBytes(empty, JpegBuilder().noPicture().make("Canon").build()), 0);
    int32_t num = 11, den = 12, iso = 13, orientation = 14;
    EXPECT_EQ(empty.GetExposureTime(num, den), 0);
    EXPECT_EQ(empty.GetFNumber(num, den), 0);
    EXPECT_EQ(empty.GetIsoSpeed(iso), 0);
    EXPECT_EQ(empty.GetOrientation(orientation), 0);
    EXPECT_EQ(num, 11);
    EXPECT_EQ(den, 12);
    EXPECT_EQ(iso, 13);
    EXPECT_EQ(orientation, 0);
    CExifEntryInfo entry;
    EXPECT_EQ(empty.FindEntry(0x0110, entry), -1);

    CExifAnalize full;
    ASSERT_EQ(ReadBytes(full, JpegBuilder().noPicture().orientation(8).fNumber(28, 10).build()), 0);
    EXPECT_EQ(full.GetOrientation(orientation), 1);
    EXPECT_EQ(orientation, 8);
    EXPECT_EQ(full.GetFNumber(num, den), 1);
    EXPECT_EQ(num, 28);
    EXPECT_EQ(den, 10);
}

TEST(ExifReader, FindEntryHandsOutCopies) {
    CExifAnalize exif;
    ASSERT_EQ(ReadBytes(exif, CameraLikeJpeg().build()), 0);
    CExifEntryInfo entry;
    ASSERT_EQ(exif.FindEntry(0x010F, entry), 0);
    entry.text = "changed";
    entry.numerators[0] = 99;
    CExifEntryInfo again;
    ASSERT_EQ(exif.FindEntry(0x010F, again), 0);
    EXPECT_EQ(again.text, "Canon");
    ASSERT_EQ(exif.FindEntry(0x829A, entry), 0);
    entry.denominators[0] = 1;
    int32_t num = 0, den = 0;
    exif.GetExposureTime(num, den);
    EXPECT_EQ(den, 125);
}

TEST(ExifReader, CopyAssignmentReplacesWithDeepCopies) {
    CExifAnalize source;
    ASSERT_EQ(ReadBytes(source, CameraLikeJpeg(ByteOrder::Big).build()), 0);
    CExifAnalize target;
    ASSERT_EQ(ReadBytes(target, JpegBuilder().noPicture().make("Old").model("Old model").build()), 0);
    target = source;
    EXPECT_EQ(target.ByteOrder(), 0x100);
    EXPECT_EQ(target.TiffBase(), source.TiffBase());
    EXPECT_EQ(target.OffsetsRelative(), 1);
    ASSERT_EQ(target.Entries().size(), source.Entries().size()); // replaced, not appended
    for (size_t i = 0; i < source.Entries().size(); ++i) {
        EXPECT_NE(target.Entries()[i].get(), source.Entries()[i].get());
        EXPECT_EQ(target.Entries()[i]->tag, source.Entries()[i]->tag);
        EXPECT_EQ(target.Entries()[i]->text, source.Entries()[i]->text);
    }
    const CExifAnalize constructed(source);
    source.Clear();
    EXPECT_TRUE(source.Entries().empty());
    for (const CExifAnalize* copy : std::vector<const CExifAnalize*>{&target, &constructed}) {
        CExifEntryInfo make;
        ASSERT_EQ(copy->FindEntry(0x010F, make), 0);
        EXPECT_EQ(make.text, "Canon");
        int32_t num = 0, den = 0;
        EXPECT_EQ(copy->GetFNumber(num, den), 1);
        EXPECT_EQ(num, 56);
    }

    CExifAnalize& alias = target;
    const size_t before = target.Entries().size();
    target = alias;
    EXPECT_EQ(target.Entries().size(), before);
    CExifEntryInfo make;
    ASSERT_EQ(target.FindEntry(0x010F, make), 0);
    EXPECT_EQ(make.text, "Canon");
}

TEST(ExifReader, ReadFromFileMatchesReadFromMemory) {
    TempDir folder;
    // 80000 bytes of undefined data put the lens model's text beyond the reader's first 72 KiB.
    JpegBuilder b = CameraLikeJpeg(ByteOrder::Big);
    b.entry(EntryFields{kExifDirectory, 0xA42F, kUndefined, {}, {}, {}, Bytes(80000, 0xAB), {}, {}, false})
        .ascii(kExifDirectory, 0xA434, "EF50mm f/1.8 II");
    const Bytes bytes = b.build();
    const std::string path = folder.File("far.jpg");
    ASSERT_TRUE(WriteBytes(path, bytes));
    CExifAnalize fromFile, fromMemory;
    ASSERT_EQ(fromFile.Read(path), 0);
    ASSERT_EQ(ReadBytes(fromMemory, bytes), 0);
    ASSERT_EQ(fromFile.Entries().size(), fromMemory.Entries().size());
    for (size_t i = 0; i < fromFile.Entries().size(); ++i) {
        EXPECT_EQ(fromFile.Entries()[i]->tag, fromMemory.Entries()[i]->tag);
        EXPECT_EQ(fromFile.Entries()[i]->value, fromMemory.Entries()[i]->value);
        EXPECT_EQ(fromFile.Entries()[i]->text, fromMemory.Entries()[i]->text);
        EXPECT_EQ(fromFile.Entries()[i]->numerators, fromMemory.Entries()[i]->numerators);
    }
    CExifEntryInfo lens;
    ASSERT_EQ(fromFile.FindEntry(0xA434, lens), 0);
    EXPECT_GT(static_cast<uint32_t>(lens.value), 0x12000u);
    EXPECT_EQ(lens.text, "EF50mm f/1.8 II");
}

TEST(ExifReader, ReadRefusesWhatIsNotARegularReadableFile) {
    TempDir folder;
    const std::string empty = folder.File("empty.jpg");
    ASSERT_TRUE(WriteBytes(empty, {}));
    const std::string directory = folder.File("folder.jpg");
    std::filesystem::create_directory(directory);
    for (const std::string& path : {folder.File("missing.jpg"), directory, empty, std::string()}) {
        CExifAnalize exif;
        EXPECT_EQ(exif.Read(path), -1) << path;
        EXPECT_TRUE(exif.Entries().empty()) << path;
        EXPECT_EQ(exif.ByteOrder(), 0) << path;
    }
}

} // namespace
