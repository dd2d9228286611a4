#include "photo/CExifAnalize.h"

#include "photo/Cr3Boxes.h"
#include "photo/ExifByteSource.h"
#include "photo/PhotoContainer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace {

constexpr uint16_t kTagExifPointer = 0x8769;
constexpr uint16_t kTagGpsPointer = 0x8825;
constexpr uint16_t kTagIsoSpeed = 0x8827;
constexpr uint16_t kTagExposureTime = 0x829A;
constexpr uint16_t kTagFNumber = 0x829D;
constexpr uint16_t kTagOrientation = 0x0112;
// Panasonic .RW2 keeps the ISO speed in its own IFD0 field 0x0017 (SHORT, count 1) and leaves the
// Exif directory's ISOSpeedRatings out.
constexpr uint16_t kTagPanasonicIso = 0x0017;
constexpr uint16_t kRw2Magic = 0x0055;

constexpr uint16_t kTypeAscii = 2;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeRational = 5;
constexpr uint16_t kTypeSRational = 10;

constexpr uint16_t kLittleEndian = 0x200;
constexpr uint16_t kBigEndian = 0x100;

// The work buffer of one directory: the longest ASCII value kept, and the room for rationals.
constexpr size_t kWorkBuffer = 8192;
constexpr size_t kEntrySize = 12;
constexpr size_t kRationalSize = 8;
// Every value of a sound block lies inside its APP1 segment (at most 65533 bytes), so this much
// text never cuts a camera's values. Without a limit 4096 entries naming one 8192-byte text would
// keep 32 MB from a 60 KB file.
constexpr size_t kTextBudget = 4 * 0x10000;

}  // namespace

// The unpacked copies are the source's own; the copy unpacks again when asked.
CExifAnalize::CExifAnalize(const CExifAnalize& other)
    : index(other.index), numbers(other.numbers), texts(other.texts), keepBlock(other.keepBlock),
      parsedBlock(other.parsedBlock), tiffBase(other.tiffBase), byteOrder(other.byteOrder),
      offsetsRelative(other.offsetsRelative), container(other.container) {}

CExifAnalize& CExifAnalize::operator=(const CExifAnalize& other) {
    if (this != &other) {
        CExifAnalize copy(other);
        index = std::move(copy.index);
        numbers = std::move(copy.numbers);
        texts = std::move(copy.texts);
        keepBlock = copy.keepBlock;
        parsedBlock = std::move(copy.parsedBlock);
        unpacked.clear();
        tiffBase = copy.tiffBase;
        byteOrder = copy.byteOrder;
        offsetsRelative = copy.offsetsRelative;
        container = copy.container;
    }
    return *this;
}

int CExifAnalize::Read(const std::string& path) {
    BeginRead();
    ExifByteSource source(nullptr, 0);
    if (!source.Open(path))
        return -1;
    return ReadFrom(source);
}

int CExifAnalize::ReadMemory(const uint8_t* data, size_t size) {
    BeginRead();
    ExifByteSource source(data, size);
    return ReadFrom(source);
}

int CExifAnalize::ReadTiffBlock(const uint8_t* data, size_t size) {
    BeginRead();
    const ExifByteSource source(data, size);
    uint64_t ifd0 = 0;
    if (!ReadTiffHeader(source, 0, ifd0))
        return -1;
    return ReadBlock(source, ifd0);
}

void CExifAnalize::BeginRead() {
    parsedBlock.clear();
    byteOrder = 0;
    offsetsRelative = 0;
    container = 0;
}

int CExifAnalize::ReadFrom(const ExifByteSource& source) {
    const PhotoContainer kind = DetectContainer(source);
    container = static_cast<int>(kind);
    uint64_t ifd0 = 0;
    switch (kind) {
    case PhotoContainer::Jpeg:
        if (!WalkMarkers(source, ifd0))
            return -1;
        return ReadBlock(source, ifd0);
    case PhotoContainer::Tiff: {
        // A raw file is itself the block: its IFD0 is the EXIF IFD0, offsets count from byte 0.
        std::array<uint8_t, 4> header{};
        if (!ReadTiffHeader(source, 0, ifd0) || !source.ReadAt(0, header.size(), header.data()))
            return -1;
        ReadBlock(source, ifd0);
        if (Number16(header.data() + 2) == kRw2Magic)
            TakePanasonicIso();
        return 0;
    }
    case PhotoContainer::Cr3:
        return ReadCr3(source);
    case PhotoContainer::Raf: {
        uint64_t offset = 0;
        uint64_t length = 0;
        if (!FindRafJpeg(source, offset, length))
            return -1;
        const ExifByteSource jpeg(source, offset, length);
        if (!WalkMarkers(jpeg, ifd0))
            return -1;
        return ReadBlock(jpeg, ifd0);
    }
    case PhotoContainer::Mrw:
        return ReadMrw(source);
    case PhotoContainer::Heif: {
        std::vector<uint8_t> item;
        if (!ReadHeifExifItem(source, item))
            return -1;
        const ExifByteSource block(item.data(), item.size());
        if (!FindHeifBlock(block, ifd0))
            return -1;
        return ReadBlock(block, ifd0);
    }
    case PhotoContainer::OtherRaw:  // no TIFF block to read: the photo record asks LibRaw
    case PhotoContainer::Unknown:
        break;
    }
    return -1;
}

// CMT1 is IFD0 and CMT2 the Exif directory, each a TIFF block of its own with offsets from its own
// header; the GPS block (CMT4) is not read, as a JPEG's GPS directory is not shown either.
int CExifAnalize::ReadCr3(const ExifByteSource& source) {
    Cr3Boxes boxes;
    if (!FindCr3Boxes(source, boxes))
        return -1;
    const ExifByteSource cmt1(source, boxes.cmt1Offset, boxes.cmt1Length);
    const ExifByteSource cmt2(source, boxes.cmt2Offset, boxes.cmt2Length);
    uint64_t ifd = 0;
    bool found = false;
    if (boxes.cmt1Length != 0 && ReadTiffHeader(cmt1, 0, ifd)) {
        ReadBlock(cmt1, ifd);
        found = true;
    }
    if (boxes.cmt2Length != 0 && ReadTiffHeader(cmt2, 0, ifd)) {
        if (!found) {
            textBudget = kTextBudget;
            entryBudget = kMaxEntries;
        }
        directoriesRead.clear();  // positions of the other block
        ReadDirectory(cmt2, ifd, 1);
        found = true;
    }
    // A stored block is one TIFF block, and a CR3 keeps its IFD0 and its Exif directory in two:
    // none is kept, so the file is read again rather than a block without the exposure used.
    parsedBlock.clear();
    return found ? 0 : -1;
}

// MRW: 00 "MRM" | length of the blocks that follow (4, big-endian) | blocks: name (4) | length (4,
// big-endian) | data. The "\0TTW" block's data is a TIFF block: IFD0, Exif directory and the rest.
int CExifAnalize::ReadMrw(const ExifByteSource& source) {
    std::array<uint8_t, 8> block{};
    if (!source.ReadAt(0, block.size(), block.data()))
        return -1;
    const uint64_t end = 8 + uint64_t{BigEndian32(block.data() + 4)};
    // A camera writes four or five blocks.
    for (uint64_t at = 8, n = 0; at + 8 <= end && n < 64; ++n) {
        if (!source.ReadAt(at, block.size(), block.data()))
            return -1;
        const uint64_t length = BigEndian32(block.data() + 4);
        if (std::memcmp(block.data(), "\0TTW", 4) == 0) {
            const ExifByteSource tiff(source, at + 8, length);
            uint64_t ifd0 = 0;
            if (!ReadTiffHeader(tiff, 0, ifd0))
                return -1;
            return ReadBlock(tiff, ifd0);
        }
        at += 8 + length;
    }
    return -1;
}

void CExifAnalize::TakePanasonicIso() {
    CExifEntryInfo iso;
    if (FindEntry(kTagIsoSpeed, iso) == 0 || FindEntry(kTagPanasonicIso, iso) != 0 || iso.directory != 0 ||
        iso.type != kTypeShort || index.size() >= kMaxEntries)
        return;
    iso.tag = kTagIsoSpeed;
    iso.directory = 1;
    iso.value = static_cast<uint16_t>(iso.value);  // read as a signed SHORT; ISO 51200 is not negative
    Append(iso);
}

int CExifAnalize::ReadBlock(const ExifByteSource& source, uint64_t ifd0) {
    std::vector<std::pair<uint64_t, uint64_t>> reads;
    if (keepBlock) {
        reads.emplace_back(static_cast<uint64_t>(tiffBase), 8); // the TIFF header, read before
        source.RecordReads(&reads);
    }
    textBudget = kTextBudget;
    entryBudget = kMaxEntries;
    directoriesRead.clear();
    ReadDirectory(source, ifd0, 0);
    // Only the Exif and GPS directories are followed: not IFD1 (the embedded thumbnail), not the
    // interoperability directory, not maker notes, not a raw file's SubIFDs. A pointer at a
    // directory already read (back at IFD0, or Exif and GPS at one place) reads nothing more.
    CExifEntryInfo pointer;
    if (FindEntry(kTagExifPointer, pointer) == 0)
        ReadDirectory(source, BlockPosition(pointer.value), 1);
    if (FindEntry(kTagGpsPointer, pointer) == 0)
        ReadDirectory(source, BlockPosition(pointer.value), 2);
    source.RecordReads(nullptr);
    // The pools grew by doubling; a loaded photo keeps them for as long as it is charted.
    index.shrink_to_fit();
    numbers.shrink_to_fit();
    texts.shrink_to_fit();
    if (keepBlock)
        KeepBlock(source, std::move(reads));
    return 0;
}

// A stored block: the bytes of the file the read went through, counted from the TIFF header:
//   container (1: PhotoContainer) | ranges, each: position from the TIFF header (4, little-endian)
//   | length (4, little-endian) | that many bytes of the file
// Laid at their positions over zeros, the ranges are a TIFF block in which every read of the
// first read finds the same bytes and every read that failed fails again (it ended past the
// file, so past every range), so the same entries come out.
void CExifAnalize::KeepBlock(const ExifByteSource& source, std::vector<std::pair<uint64_t, uint64_t>> reads) {
    std::sort(reads.begin(), reads.end());
    std::vector<std::pair<uint64_t, uint64_t>> merged; // start, end
    for (const auto& [position, size] : reads) {
        const uint64_t start = position - static_cast<uint64_t>(tiffBase);
        if (!merged.empty() && start <= merged.back().second + 8)
            merged.back().second = std::max(merged.back().second, start + size);
        else
            merged.emplace_back(start, start + size);
    }
    size_t total = 1;
    for (const auto& [start, end] : merged) {
        total += 8 + (end - start);
        if (end > kMaxStoredExtent || total > kMaxStoredBytes)
            return;
    }
    std::vector<uint8_t> block(total);
    block[0] = static_cast<uint8_t>(container);
    size_t at = 1;
    for (const auto& [start, end] : merged) {
        const uint64_t fields[2] = {start, end - start};
        for (const uint64_t field : fields)
            for (int shift = 0; shift < 32; shift += 8)
                block[at++] = static_cast<uint8_t>(field >> shift);
        if (!source.ReadAt(start + static_cast<uint64_t>(tiffBase), end - start, block.data() + at))
            return;
        at += end - start;
    }
    parsedBlock = std::move(block);
}

int CExifAnalize::ReadStoredBlock(const uint8_t* data, size_t size) {
    BeginRead();
    const ExifByteSource stored(data, size);
    uint8_t kind = 0;
    if (!stored.ReadAt(0, 1, &kind) || kind > static_cast<uint8_t>(PhotoContainer::OtherRaw))
        return -1;
    std::vector<std::pair<uint64_t, uint64_t>> ranges; // start in the block, position in data
    uint64_t extent = 0;
    for (uint64_t at = 1; at < size;) {
        std::array<uint8_t, 8> fields{};
        if (!stored.ReadAt(at, fields.size(), fields.data()))
            return -1;
        const uint64_t start = uint64_t{fields[0]} | uint64_t{fields[1]} << 8 | uint64_t{fields[2]} << 16 |
                               uint64_t{fields[3]} << 24;
        const uint64_t length = uint64_t{fields[4]} | uint64_t{fields[5]} << 8 | uint64_t{fields[6]} << 16 |
                                uint64_t{fields[7]} << 24;
        at += fields.size();
        if (length > size - at || start + length > kMaxStoredExtent)
            return -1;
        ranges.emplace_back(start, at);
        extent = std::max(extent, start + length);
        at += length;
    }
    std::vector<uint8_t> block(extent);
    for (size_t i = 0; i < ranges.size(); ++i) {
        const uint64_t next = i + 1 < ranges.size() ? ranges[i + 1].second - 8 : size;
        if (!stored.ReadAt(ranges[i].second, next - ranges[i].second, block.data() + ranges[i].first))
            return -1;
    }
    const bool keep = keepBlock;
    keepBlock = false;
    const int result = ReadTiffBlock(block.data(), block.size());
    keepBlock = keep;
    container = kind;
    // A Panasonic raw file's ISO is derived from its own entry, as when the file itself was read.
    if (result == 0 && kind == static_cast<uint8_t>(PhotoContainer::Tiff) && block.size() >= 4 &&
        Number16(block.data() + 2) == kRw2Magic)
        TakePanasonicIso();
    return result;
}

// The block is found only when the file starts with SOI (FF D8), followed by any number of
// 16-byte JFIF APP0 segments (FF E0 and 16 bytes), followed by APP1 (FF E1):
//   FF E1 | length (2, not tested) | "Exif\0\0" (6, not tested) | TIFF header (8)
// TIFF header: "II" or "MM", 42 (not tested), IFD0 offset (4) from the header's first byte.
bool CExifAnalize::WalkMarkers(const ExifByteSource& source, uint64_t& ifd0Position) {
    std::array<uint8_t, 8> bytes{};
    if (!source.ReadAt(0, 2, bytes.data()) || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return false;
    uint64_t position = 2;
    for (;;) {
        if (!source.ReadAt(position, 2, bytes.data()) || bytes[0] != 0xFF)
            return false;
        if (bytes[1] == 0xE0) {
            position += 2 + 16;
            continue;
        }
        if (bytes[1] != 0xE1)
            return false;
        return ReadTiffHeader(source, position + 2 + 8, ifd0Position);
    }
}

// TIFF header: "II" or "MM", a 16-bit number (42 in a JPEG's block; not tested here, the file kind
// was told before), IFD0 offset (4) from the header's first byte.
bool CExifAnalize::ReadTiffHeader(const ExifByteSource& source, uint64_t header, uint64_t& ifd0Position) {
    std::array<uint8_t, 8> bytes{};
    if (header > INT32_MAX || !source.ReadAt(header, 8, bytes.data()))
        return false;
    tiffBase = static_cast<int32_t>(header);
    offsetsRelative = 1;
    if (bytes[0] == 'I' && bytes[1] == 'I') {
        byteOrder = kLittleEndian;
    } else if (bytes[0] == 'M' && bytes[1] == 'M') {
        byteOrder = kBigEndian;
    } else {
        return false;
    }
    ifd0Position = header + Number32(bytes.data() + 4);
    return true;
}

// HEIF Exif item: TIFF header offset (4, big-endian, counted from the byte after it; phones write
// 6 for the "Exif\0\0" they keep before the header, libheif writes 0) | ... | TIFF header.
bool CExifAnalize::FindHeifBlock(const ExifByteSource& item, uint64_t& ifd0Position) {
    std::array<uint8_t, 4> offset{};
    if (!item.ReadAt(0, offset.size(), offset.data()))
        return false;
    const uint64_t skip = (uint64_t{offset[0]} << 24) | (uint64_t{offset[1]} << 16) | (uint64_t{offset[2]} << 8) | offset[3];
    return ReadTiffHeader(item, 4 + skip, ifd0Position);
}

// One directory: entry count (2, compared as signed), then 12-byte entries:
//   tag (2) | type (2) | count (4) | value field (4): the value itself when it fits in 4 bytes,
//   otherwise the offset of the value from the TIFF header.
// Every entry the count names is read in the order stored, sorted or not: phones write IFD0 out of
// tag order, with the Exif pointer after a smaller tag. A directory that runs past the end of the
// file ends at the last whole entry; the entries of one file end at kMaxEntries.
void CExifAnalize::ReadDirectory(const ExifByteSource& source, uint64_t position, int16_t kind) {
    if (std::find(directoriesRead.begin(), directoriesRead.end(), position) != directoriesRead.end())
        return;
    directoriesRead.push_back(position);
    std::array<uint8_t, 2> countBytes{};
    if (!source.ReadAt(position, 2, countBytes.data()))
        return;
    const auto count = static_cast<int16_t>(Number16(countBytes.data()));
    for (int16_t i = 0; i < count && entryBudget > 0; ++i, --entryBudget) {
        std::array<uint8_t, kEntrySize> raw{};
        if (!source.ReadAt(position + 2 + kEntrySize * static_cast<uint64_t>(i), kEntrySize, raw.data()))
            return;
        CExifEntryInfo entry;
        entry.tag = Number16(raw.data());
        entry.type = Number16(raw.data() + 2);
        entry.count = Number32(raw.data() + 4);
        entry.directory = kind;
        if (entry.type == kTypeShort) {
            const uint16_t first = Number16(raw.data() + 8);
            // ISO speeds above 32767 (51200) are common, so that one tag is taken unsigned.
            entry.value = entry.tag == kTagIsoSpeed ? static_cast<int32_t>(first)
                                                      : static_cast<int32_t>(static_cast<int16_t>(first));
        } else {
            entry.value = static_cast<int32_t>(Number32(raw.data() + 8));
        }

        if (entry.type == kTypeAscii) {
            if (entry.count > 4) {
                // Longer than the work buffer or the file: what fits is kept.
                const uint64_t at = BlockPosition(entry.value);
                const uint64_t available = at < source.Length() ? source.Length() - at : 0;
                const auto size = static_cast<size_t>(
                    std::min<uint64_t>({entry.count, kWorkBuffer, available, textBudget}));
                std::string text(size, '\0');
                if (size > 0 && source.ReadAt(at, size, reinterpret_cast<uint8_t*>(text.data())))
                    entry.text = text.substr(0, text.find('\0'));
                textBudget -= entry.text.size();
            } else {
                // Up to 4 bytes stand left-justified in the value field, as the file holds them.
                const char* field = reinterpret_cast<const char*>(raw.data() + 8);
                const std::string text(field, entry.count);
                entry.text = text.substr(0, text.find('\0'));
            }
        } else if (entry.type == kTypeRational || entry.type == kTypeSRational) {
            // Each value: numerator (4) | denominator (4). Only the first ten are kept, and only
            // those wholly inside the file.
            const uint64_t at = BlockPosition(entry.value);
            const uint64_t kept = std::min<uint64_t>(entry.count, CExifEntryInfo::kMaxRationals);
            for (uint64_t r = 0; r < kept; ++r) {
                std::array<uint8_t, kRationalSize> pair{};
                if (!source.ReadAt(at + r * kRationalSize, kRationalSize, pair.data()))
                    break;
                entry.numerators[r] = static_cast<int32_t>(Number32(pair.data()));
                entry.denominators[r] = static_cast<int32_t>(Number32(pair.data() + 4));
            }
        }
        Append(entry);
    }
}

void CExifAnalize::Append(const CExifEntryInfo& entry) {
    Packed packed;
    packed.tag = entry.tag;
    packed.type = entry.type;
    packed.count = entry.count;
    packed.value = entry.value;
    packed.directory = entry.directory;
    if (entry.type == kTypeRational || entry.type == kTypeSRational) {
        // Every slot up to the last one read is kept: a value cut by the file's end reads as 0/0,
        // as it always has.
        packed.rationals = static_cast<uint16_t>(std::min<uint64_t>(entry.count, CExifEntryInfo::kMaxRationals));
        packed.first = static_cast<uint32_t>(numbers.size());
        for (uint16_t r = 0; r < packed.rationals; ++r) {
            numbers.push_back(entry.numerators[r]);
            numbers.push_back(entry.denominators[r]);
        }
    } else if (!entry.text.empty()) {
        packed.first = static_cast<uint32_t>(texts.size());
        packed.textSize = static_cast<uint32_t>(entry.text.size());
        texts += entry.text;
    }
    index.push_back(packed);
}

CExifEntryInfo CExifAnalize::Unpack(const Packed& packed) const {
    CExifEntryInfo entry;
    entry.tag = packed.tag;
    entry.type = packed.type;
    entry.count = packed.count;
    entry.value = packed.value;
    entry.directory = packed.directory;
    for (uint16_t r = 0; r < packed.rationals; ++r) {
        entry.numerators[r] = numbers[packed.first + 2 * size_t{r}];
        entry.denominators[r] = numbers[packed.first + 2 * size_t{r} + 1];
    }
    if (packed.textSize > 0)
        entry.text = texts.substr(packed.first, packed.textSize);
    return entry;
}

const std::vector<std::unique_ptr<CExifEntryInfo>>& CExifAnalize::Entries() const {
    for (size_t i = unpacked.size(); i < index.size(); ++i)
        unpacked.push_back(std::make_unique<CExifEntryInfo>(Unpack(index[i])));
    return unpacked;
}

// A file position from an offset of the block: the offset field is unsigned in the file, so it is
// widened before the TIFF header's position is added.
uint64_t CExifAnalize::BlockPosition(int32_t offset) const {
    const uint64_t base = offsetsRelative == 1 ? static_cast<uint64_t>(tiffBase) : 0;
    return base + static_cast<uint32_t>(offset);
}

uint16_t CExifAnalize::Number16(const uint8_t* b) const {
    if (byteOrder == kLittleEndian)
        return static_cast<uint16_t>(b[0] | (b[1] << 8));
    return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

uint32_t CExifAnalize::Number32(const uint8_t* b) const {
    if (byteOrder == kLittleEndian)
        return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
               (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
           (static_cast<uint32_t>(b[2]) << 8) | static_cast<uint32_t>(b[3]);
}

void CExifAnalize::Clear() {
    unpacked.clear();
    index.clear();
    numbers.clear();
    texts.clear();
    parsedBlock.clear();
}

int CExifAnalize::FindEntry(uint16_t tag, CExifEntryInfo& entry) const {
    for (const Packed& candidate : index) {
        if (candidate.tag == tag) {
            entry = Unpack(candidate);
            return 0;
        }
    }
    return -1;
}

int CExifAnalize::GetFirstRational(uint16_t tag, int32_t& numerator, int32_t& denominator) const {
    CExifEntryInfo entry;
    if (FindEntry(tag, entry) != 0)
        return 0;
    numerator = entry.numerators[0];
    denominator = entry.denominators[0];
    return 1;
}

int CExifAnalize::GetExposureTime(int32_t& numerator, int32_t& denominator) const {
    return GetFirstRational(kTagExposureTime, numerator, denominator);
}

int CExifAnalize::GetFNumber(int32_t& numerator, int32_t& denominator) const {
    return GetFirstRational(kTagFNumber, numerator, denominator);
}

int CExifAnalize::GetIsoSpeed(int32_t& value) const {
    CExifEntryInfo entry;
    if (FindEntry(kTagIsoSpeed, entry) != 0)
        return 0;
    value = entry.value;
    return 1;
}

int CExifAnalize::GetOrientation(int32_t& value) const {
    value = 0;
    CExifEntryInfo entry;
    if (FindEntry(kTagOrientation, entry) != 0)
        return 0;
    value = entry.value;
    return 1;
}
