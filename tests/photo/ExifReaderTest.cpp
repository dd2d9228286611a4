#include "photo/CExifAnalize.h"
#include "tests/support/JpegBuilder.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kestory::test;

namespace {

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

}  // namespace
