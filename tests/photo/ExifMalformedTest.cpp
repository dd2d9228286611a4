#include "fuzz/ExifCases.h"
#include "photo/CExifAnalize.h"
#include "photo/PhotoItem.h"
#include "tests/support/JpegBuilder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace kestory::test;
using namespace kestory::exifcases;

namespace {

const char* OrderName(ByteOrder order) {
    return order == ByteOrder::Little ? "II" : "MM";
}

// Reads from a heap copy of exactly the file's size, so a sanitizer build sees any overread.
int ReadExact(CExifAnalize& exif, const Bytes& bytes) {
    auto copy = std::make_unique<uint8_t[]>(bytes.size() + 1);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    return exif.ReadMemory(bytes.empty() ? nullptr : copy.get(), bytes.size());
}

const CExifEntryInfo* Find(const CExifAnalize& exif, uint16_t tag) {
    for (const auto& entry : exif.Entries())
        if (entry->tag == tag)
            return entry.get();
    return nullptr;
}

// What every read must hold, whatever the bytes: texts never longer than the work buffer, the
// stored count or the file, no zero byte inside, the directory kind one of the three.
void ExpectSane(const CExifAnalize& exif, size_t fileSize, const std::string& name) {
    for (const auto& entry : exif.Entries()) {
        EXPECT_LE(entry->text.size(), 8192u) << name;
        EXPECT_LE(entry->text.size(), entry->count) << name;
        EXPECT_LE(entry->text.size(), fileSize) << name;
        EXPECT_EQ(entry->text.find('\0'), std::string::npos) << name;
        EXPECT_TRUE(entry->directory >= 0 && entry->directory <= 2) << name;
    }
}

TEST(ExifMalformed, EveryNamedFileReadsTheSameFromFileAndMemory) {
    TempDir folder;
    for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        for (const NamedFile& file : MalformedFiles(order)) {
            const std::string name = file.name + " " + OrderName(order);
            const std::string path = folder.File(file.name + ".jpg");
            ASSERT_TRUE(WriteBytes(path, file.bytes)) << name;
            CExifAnalize fromMemory, fromFile;
            const int result = ReadExact(fromMemory, file.bytes);
            EXPECT_TRUE(result == 0 || result == -1) << name;
            EXPECT_EQ(fromFile.Read(path), result) << name;
            ExpectSane(fromMemory, file.bytes.size(), name);
            ASSERT_EQ(fromFile.Entries().size(), fromMemory.Entries().size()) << name;
            for (size_t i = 0; i < fromFile.Entries().size(); ++i) {
                EXPECT_EQ(fromFile.Entries()[i]->tag, fromMemory.Entries()[i]->tag) << name;
                EXPECT_EQ(fromFile.Entries()[i]->text, fromMemory.Entries()[i]->text) << name;
                EXPECT_EQ(fromFile.Entries()[i]->numerators, fromMemory.Entries()[i]->numerators) << name;
            }
            // The photo record goes through the same reader and then the arithmetic on its values.
            PhotoItem photo;
            const int load = photo.Load(path, PhotoItem::kModeThumbnail);
            EXPECT_TRUE(load == 0 || load == -1 || load == -2) << name << " load " << load;
        }
    }
}

std::map<std::string, Bytes> ByName(ByteOrder order) {
    std::map<std::string, Bytes> files;
    for (NamedFile& file : MalformedFiles(order))
        files[file.name] = std::move(file.bytes);
    return files;
}

class ExifMalformedOrder : public testing::TestWithParam<ByteOrder> {
protected:
    CExifAnalize ReadNamed(const std::string& name, int expected = 0) {
        const auto files = ByName(GetParam());
        const auto found = files.find(name);
        EXPECT_NE(found, files.end()) << name;
        CExifAnalize exif;
        if (found != files.end()) {
            EXPECT_EQ(ReadExact(exif, found->second), expected) << name;
        }
        return exif;
    }
};

INSTANTIATE_TEST_SUITE_P(BothOrders, ExifMalformedOrder, testing::Values(ByteOrder::Little, ByteOrder::Big),
                         [](const auto& info) { return std::string(OrderName(info.param)); });

TEST_P(ExifMalformedOrder, RationalCountOfFourBillionKeepsTenAtMost) {
    const CExifAnalize exif = ReadNamed("rational-count-ffffffff");
    const CExifEntryInfo* entry = Find(exif, 0xA500);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->count, 0xFFFFFFFFu);
    EXPECT_EQ(entry->numerators[0], 28);
    EXPECT_EQ(entry->denominators[0], 10);
    EXPECT_EQ(entry->numerators[2], 3);
    EXPECT_EQ(entry->denominators[2], 4);
}

TEST_P(ExifMalformedOrder, OffsetsPastTheEndGiveEmptyValues) {
    const CExifAnalize values = ReadNamed("offsets-past-end");
    ASSERT_NE(Find(values, 0x0131), nullptr);
    EXPECT_EQ(Find(values, 0x0131)->text, "");
    ASSERT_NE(Find(values, 0x829A), nullptr); // its directory is there, its value is not
    EXPECT_EQ(Find(values, 0x829A)->numerators[0], 0);
    EXPECT_EQ(Find(values, 0x829A)->denominators[0], 0);

    const CExifAnalize pointers = ReadNamed("pointers-past-end");
    std::vector<uint16_t> tags;
    for (const auto& entry : pointers.Entries())
        tags.push_back(entry->tag);
    EXPECT_EQ(tags, (std::vector<uint16_t>{0x010F, 0x8769, 0x8825}));
}

TEST_P(ExifMalformedOrder, OffsetsThatWrapAround32BitsReadNothing) {
    // Taken as signed, or summed in 32 bits, each offset would land on text planted in the APP0
    // segment before the block.
    const CExifAnalize text = ReadNamed("offsets-wrap-to-app0-string");
    ASSERT_EQ(text.TiffBase(), static_cast<int32_t>(kTiffBaseAfterApp0));
    ASSERT_NE(Find(text, 0x0131), nullptr);
    EXPECT_EQ(Find(text, 0x0131)->text, "");
    ASSERT_NE(Find(text, 0x829D), nullptr);
    EXPECT_EQ(Find(text, 0x829D)->numerators[0], 0);

    const CExifAnalize directory = ReadNamed("offsets-wrap-to-app0-directory");
    EXPECT_EQ(directory.Entries().size(), 3u);
    EXPECT_EQ(Find(directory, 0x829A), nullptr);
}

TEST_P(ExifMalformedOrder, EntryCountPastTheEndStopsAtTheEndOfTheFile) {
    const auto files = ByName(GetParam());
    const Bytes& bytes = files.at("entry-count-past-end");
    CExifAnalize exif;
    ASSERT_EQ(ReadExact(exif, bytes), 0);
    // Whole entries only: no more than the bytes after the count can hold, per directory read.
    EXPECT_LE(exif.Entries().size(), 3 * (bytes.size() - kIfd0CountAt - 2) / 12);
    ASSERT_GE(exif.Entries().size(), 4u);
    EXPECT_EQ(exif.Entries()[0]->tag, 0x010F);
    EXPECT_EQ(exif.Entries()[0]->text, "Canon");

    // Truncated in the middle of IFD0: the entries before the cut stay.
    CExifAnalize cut;
    const Bytes head(bytes.begin(), bytes.begin() + kIfd0CountAt + 2 + 12 * 2 + 5);
    ASSERT_EQ(ReadExact(cut, head), 0);
    ASSERT_EQ(cut.Entries().size(), 2u);
    EXPECT_EQ(cut.Entries()[1]->tag, 0x0110);
}

TEST_P(ExifMalformedOrder, EntryCountWithTopBitSetReadsNoEntries) {
    const CExifAnalize exif = ReadNamed("entry-count-top-bit");
    EXPECT_TRUE(exif.Entries().empty());
}

TEST_P(ExifMalformedOrder, AsciiCountsAreBoundedByTheFieldTheBufferAndTheFile) {
    const CExifAnalize counts = ReadNamed("ascii-count-0-and-ffffffff");
    ASSERT_NE(Find(counts, 0x010F), nullptr);
    EXPECT_EQ(Find(counts, 0x010F)->text, "");
    ASSERT_NE(Find(counts, 0x0110), nullptr);
    EXPECT_EQ(Find(counts, 0x0110)->text, "Canon EOS 5D"); // up to its zero byte

    const CExifAnalize unterminated = ReadNamed("ascii-without-terminator");
    ASSERT_NE(Find(unterminated, 0x010F), nullptr);
    EXPECT_EQ(Find(unterminated, 0x010F)->text, "ABCD");
    ASSERT_NE(Find(unterminated, 0x0110), nullptr);
    EXPECT_EQ(Find(unterminated, 0x0110)->text, "Canon EOS5"); // not running into "FOLLOWS"
    ASSERT_NE(Find(unterminated, 0x0131), nullptr);
    EXPECT_EQ(Find(unterminated, 0x0131)->text, "FOLLOWS");

    const CExifAnalize longText = ReadNamed("ascii-count-above-8192");
    ASSERT_NE(Find(longText, 0x0110), nullptr);
    EXPECT_EQ(Find(longText, 0x0110)->count, 9001u);
    EXPECT_EQ(Find(longText, 0x0110)->text, std::string(8192, 'M'));
}

TEST_P(ExifMalformedOrder, App1LengthIsNotTrusted) {
    for (const char* name : {"app1-length-0", "app1-length-1"}) {
        const CExifAnalize exif = ReadNamed(name);
        int32_t num = 0, den = 0;
        EXPECT_EQ(exif.GetExposureTime(num, den), 1) << name;
        EXPECT_EQ(den, 125) << name;
    }
}

TEST_P(ExifMalformedOrder, PointersBackAtIfd0ReadNothingMore) {
    const CExifAnalize exif = ReadNamed("pointers-at-ifd0");
    ASSERT_EQ(exif.Entries().size(), 4u);
    for (const auto& entry : exif.Entries())
        EXPECT_EQ(entry->directory, 0);
    int32_t orientation = 0;
    EXPECT_EQ(exif.GetOrientation(orientation), 1);
    EXPECT_EQ(orientation, 3);
}

TEST_P(ExifMalformedOrder, DegenerateRationalsAreStoredAsTheyStand) {
    const CExifAnalize zero = ReadNamed("zero-denominators");
    int32_t num = -7, den = -7;
    EXPECT_EQ(zero.GetExposureTime(num, den), 1);
    EXPECT_EQ(num, 1);
    EXPECT_EQ(den, 0);

    const CExifAnalize extreme = ReadNamed("int32-min-over-minus-one");
    EXPECT_EQ(extreme.GetFNumber(num, den), 1);
    EXPECT_EQ(num, INT32_MIN);
    EXPECT_EQ(den, -1);
    ASSERT_NE(Find(extreme, 0x9204), nullptr);
    EXPECT_EQ(Find(extreme, 0x9204)->numerators[0], INT32_MIN);
}

TEST_P(ExifMalformedOrder, HundredStandardApp0SegmentsThenApp1IsRead) {
    const CExifAnalize exif = ReadNamed("hundred-app0-then-app1");
    EXPECT_EQ(exif.TiffBase(), 2 + 100 * 18 + 10);
    int32_t iso = 0;
    EXPECT_EQ(exif.GetIsoSpeed(iso), 1);
    EXPECT_EQ(iso, 400);
}

// IFD0 of 32767 entries (its Exif and GPS pointers back at itself, as the first two entries), the
// rest all `tag` of `type` with `count` values at `valueAt`; `tail` follows the directory.
Bytes LargeSelfPointingIfd0(uint16_t tag, uint16_t type, uint32_t count, uint32_t valueAt, const Bytes& tail) {
    constexpr uint16_t kEntries = 0x7FFF;
    Bytes tiff(8 + 2 + 12 * kEntries + 4, 0);
    const uint8_t header[] = {'I', 'I', 42, 0, 8, 0, 0, 0};  // little-endian, IFD0 at 8
    std::copy(std::begin(header), std::end(header), tiff.begin());
    const auto put32 = [&](size_t at, uint32_t v) {
        Put16(tiff, at, static_cast<uint16_t>(v), ByteOrder::Little);
        Put16(tiff, at + 2, static_cast<uint16_t>(v >> 16), ByteOrder::Little);
    };
    Put16(tiff, 8, kEntries, ByteOrder::Little);
    for (uint32_t i = 0; i < kEntries; ++i) {
        const size_t at = 10 + 12 * i;
        Put16(tiff, at, i == 0 ? 0x8769 : i == 1 ? 0x8825 : tag, ByteOrder::Little);
        Put16(tiff, at + 2, i < 2 ? uint16_t{kLong} : type, ByteOrder::Little);
        put32(at + 4, i < 2 ? 1 : count);
        put32(at + 8, i < 2 ? 8 : valueAt);
    }
    tiff.insert(tiff.end(), tail.begin(), tail.end());
    // Built by prepending to the block: GCC 12 at -O2 takes an insert after a 12-byte literal
    // vector for an overrun (-Warray-bounds).
    const Bytes head = {0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF, 'E', 'x', 'i', 'f', 0, 0};
    tiff.insert(tiff.begin(), head.begin(), head.end());
    return tiff;
}

TEST(ExifMalformed, HugeDirectoriesKeepABoundedNumberOfEntriesAndText) {
    // Read as IFD0, Exif and GPS directory, and every entry kept, the directory would be 98301
    // entries (14 MB); every text entry naming the same 8192 bytes, 800 MB of text.
    constexpr uint32_t kTextAt = 8 + 2 + 12 * 0x7FFF + 4;
    Bytes text(8192, 'x');
    text.push_back(0);
    struct Case {
        const char* name;
        Bytes file;
        bool texts;
    };
    const Case cases[] = {
        {"one long text", LargeSelfPointingIfd0(0x9003, kAscii, 8192, kTextAt, text), true},
        {"short values", LargeSelfPointingIfd0(0x0112, kShort, 1, 6, {}), false},
    };
    for (const Case& c : cases) {
        CExifAnalize exif;
        ASSERT_EQ(ReadExact(exif, c.file), 0) << c.name;
        EXPECT_EQ(exif.Entries().size(), CExifAnalize::kMaxEntries) << c.name;
        size_t kept = 0;
        for (const auto& entry : exif.Entries()) {
            kept += entry->text.size();
            EXPECT_EQ(entry->directory, 0) << c.name;
        }
        EXPECT_LE(kept, 4u * 0x10000) << c.name;
        ASSERT_EQ(exif.Entries()[2]->text, c.texts ? std::string(8192, 'x') : "") << c.name;
    }
}

TEST(ExifMalformed, PhotoLoadRefusesDegenerateExposureWithoutTrapping) {
    // A small picture so the load reaches the exposure arithmetic and the decoder.
    TempDir folder;
    struct Case {
        const char* name;
        uint32_t timeNum, timeDen, fNum, fDen;
    };
    const Case cases[] = {
        {"zero time denominator", 1, 0, 28, 10},
        {"zero F denominator", 1, 60, 28, 0},
        {"zero time numerator", 0, 60, 28, 10},
        {"INT32_MIN / -1 time", 0x80000000u, 0xFFFFFFFFu, 28, 10},
        {"INT32_MIN / -1 F-number", 1, 60, 0x80000000u, 0xFFFFFFFFu},
    };
    for (const Case& c : cases) {
        const std::string path = folder.File("degenerate.jpg");
        ASSERT_TRUE(JpegBuilder()
                        .exposureTime(c.timeNum, c.timeDen)
                        .fNumber(c.fNum, c.fDen)
                        .isoSpeed(100)
                        .patternPicture(8, 8)
                        .writeTo(path));
        PhotoItem photo;
        const int result = photo.Load(path, PhotoItem::kModeThumbnail);
        EXPECT_TRUE(result == 0 || result == -1) << c.name << " " << result;
    }
}

// Every length of a camera-like file, from nothing to all of it.
class ExifPrefixes : public testing::Test {
protected:
    Bytes full = CameraLikeJpeg().patternPicture(16, 12).build();
};

TEST_F(ExifPrefixes, EveryPrefixReadsAsSubsequenceOfTheWholeFile) {
    CExifAnalize whole;
    ASSERT_EQ(ReadExact(whole, full), 0);
    for (size_t length = 0; length <= full.size(); ++length) {
        const Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
        CExifAnalize exif;
        const int result = ReadExact(exif, prefix);
        // The header ends at 12 + 8: from there on the block is found.
        ASSERT_EQ(result, length >= kTiffBase + 8 ? 0 : -1) << length;
        ExpectSane(exif, length, std::to_string(length));
        // What a prefix reads is the whole file's entries with some left out, in the same order.
        size_t next = 0;
        for (const auto& entry : exif.Entries()) {
            while (next < whole.Entries().size() && (whole.Entries()[next]->tag != entry->tag ||
                                                     whole.Entries()[next]->directory != entry->directory))
                ++next;
            ASSERT_LT(next, whole.Entries().size()) << "length " << length << " tag " << entry->tag;
            ++next;
        }
    }
}

TEST_F(ExifPrefixes, EveryPrefixLoadsOrIsRefused) {
    TempDir folder;
    const std::string path = folder.File("prefix.jpg");
    int loaded = 0;
    for (size_t length = 0; length <= full.size(); ++length) {
        ASSERT_TRUE(
            WriteBytes(path, Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length))));
        PhotoItem photo;
        const int result = photo.Load(path, PhotoItem::kModeThumbnail);
        ASSERT_TRUE(result == 0 || result == -1 || result == -2) << length << ": " << result;
        if (length < kTiffBase + 8) {
            EXPECT_EQ(result, -1) << length;
        }
        loaded += result == 0;
    }
    PhotoItem photo;
    ASSERT_TRUE(WriteBytes(path, full));
    EXPECT_EQ(photo.Load(path, PhotoItem::kModeThumbnail), 0);
    EXPECT_GE(loaded, 1);
}

} // namespace
