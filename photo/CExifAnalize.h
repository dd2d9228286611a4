#pragma once

#include "photo/CExifEntryInfo.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The EXIF reader of one photo file: IFD0, the Exif directory and the GPS directory of its EXIF
// block into a flat list of entries. The block is found by the file's content: in a JPEG by a
// strict walk of the first markers, in a TIFF-based raw file (DNG, CR2, NEF, ORF, RW2, PEF...) at
// its start, in a HEIF file in the Exif item libheif hands out, in a Canon .CR3 in its CMT1 and CMT2
// boxes, in a Fujifilm .RAF in its embedded JPEG, and in a Minolta .MRW in its TTW block.
class ExifByteSource;

// The Exif item of a HEIF file's primary picture as libheif gives it: an offset (4, big-endian) to
// the TIFF header from the fifth byte, then the block. False when the file has none or libheif
// cannot read it. Defined with the HEIF decoder (photo/HeifPicture.cpp).
bool ReadHeifExifItem(const ExifByteSource& file, std::vector<uint8_t>& item);

class CExifAnalize {
public:
    // The most entries one file keeps. Camera and phone files hold a few hundred; a 32767-entry
    // directory that also serves as Exif and GPS directory would otherwise keep 14 MB a photo.
    static constexpr size_t kMaxEntries = 4096;

    CExifAnalize() = default;
    virtual ~CExifAnalize() = default;
    CExifAnalize(const CExifAnalize& other);
    CExifAnalize& operator=(const CExifAnalize& other);

    // 0 when an EXIF block was found (even an empty one), -1 when the file cannot be opened, is of
    // no kind the reader knows, or holds no block. Appends to the entries; the caller clears first.
    int Read(const std::string& path);
    // The same on bytes already in memory (the fuzzer and tests use it).
    int ReadMemory(const uint8_t* data, size_t size);
    // A bare EXIF block that begins with its TIFF header ("II" or "MM", 2 bytes not tested, IFD0
    // offset), as HEIF files and other containers carry it. 0 or -1 as Read.
    int ReadTiffBlock(const uint8_t* data, size_t size);

    // What the last read found the file to be (PhotoContainer as a number; 0 before a read).
    int Container() const { return container; }

    // With keep set, each later read also keeps the bytes it parsed as a stored block (below), for
    // ReadStoredBlock to give the same entries without the file. Off by default: a loaded photo
    // keeps only its entries.
    void KeepParsedBlock(bool keep) { keepBlock = keep; }
    // The stored block of the last read (empty when the read failed, kept nothing, or the block
    // passes the bounds below); moved out, so the reader holds it no longer.
    std::vector<uint8_t> TakeParsedBlock() { return std::move(parsedBlock); }
    // The entries of a stored block; 0, or -1 (nothing kept) when it is not one.
    int ReadStoredBlock(const uint8_t* data, size_t size);
    // A stored block holds at most this many bytes, and its ranges reach no further than
    // kMaxStoredExtent from the TIFF header (a raw file whose Exif directory lies far into it is
    // read from the file every time).
    static constexpr size_t kMaxStoredBytes = 0x20000;
    static constexpr uint64_t kMaxStoredExtent = 0x100000;

    void Clear();
    // An entry made from another parser's values (LibRaw's, for files without a TIFF block).
    void AppendEntry(const CExifEntryInfo& entry) { Append(entry); }

    // 0 and a copy of the first entry with the tag (reading order), or -1 when there is none.
    int FindEntry(uint16_t tag, CExifEntryInfo& entry) const;

    // 1 when the tag is present, 0 when absent (outputs untouched when absent, except orientation,
    // which is set to 0 first).
    int GetExposureTime(int32_t& numerator, int32_t& denominator) const;
    int GetFNumber(int32_t& numerator, int32_t& denominator) const;
    int GetIsoSpeed(int32_t& value) const;
    int GetOrientation(int32_t& value) const;

    // Every entry in reading order, unpacked at the first call after a read and held until the
    // next read or Clear: for checks and tests, not for a loaded photo (whose record it would grow).
    const std::vector<std::unique_ptr<CExifEntryInfo>>& Entries() const;
    size_t EntryCount() const { return index.size(); }
    int32_t TiffBase() const { return tiffBase; }
    uint16_t ByteOrder() const { return byteOrder; }
    uint16_t OffsetsRelative() const { return offsetsRelative; }

private:
    // 1 and the first value of the tag's rational, or 0 when the tag is absent.
    int GetFirstRational(uint16_t tag, int32_t& numerator, int32_t& denominator) const;
    int ReadFrom(const ExifByteSource& source);
    void BeginRead();
    int ReadBlock(const ExifByteSource& source, uint64_t ifd0Position);
    int ReadCr3(const ExifByteSource& source);
    int ReadMrw(const ExifByteSource& source);
    void TakePanasonicIso();
    bool WalkMarkers(const ExifByteSource& source, uint64_t& ifd0Position);
    bool ReadTiffHeader(const ExifByteSource& source, uint64_t header, uint64_t& ifd0Position);
    bool FindHeifBlock(const ExifByteSource& item, uint64_t& ifd0Position);
    void ReadDirectory(const ExifByteSource& source, uint64_t position, int16_t kind);
    uint64_t BlockPosition(int32_t offset) const;
    uint16_t Number16(const uint8_t* bytes) const;
    uint32_t Number32(const uint8_t* bytes) const;

    // One entry as kept: 24 bytes, its rationals and text in the pools below. A camera's 150
    // entries so take about 4 KB a photo instead of a heap object of 120 bytes and more each.
    struct Packed {
        uint16_t tag = 0;
        uint16_t type = 0;
        uint32_t count = 0;
        int32_t value = 0;
        int16_t directory = 0;
        uint16_t rationals = 0;  // pairs kept in numbers, from first
        uint32_t first = 0;      // index into numbers (rationals) or texts (text) of its values
        uint32_t textSize = 0;
    };
    void Append(const CExifEntryInfo& entry);
    CExifEntryInfo Unpack(const Packed& packed) const;
    void KeepBlock(const ExifByteSource& source, std::vector<std::pair<uint64_t, uint64_t>> reads);

    std::vector<Packed> index;
    std::vector<int32_t> numbers;  // numerator, denominator, numerator...
    std::string texts;
    bool keepBlock = false;
    std::vector<uint8_t> parsedBlock;
    mutable std::vector<std::unique_ptr<CExifEntryInfo>> unpacked;
    int32_t tiffBase = 0;
    uint16_t byteOrder = 0;        // 0x200 little-endian (II), 0x100 big-endian (MM), 0 before a block
    uint16_t offsetsRelative = 0;  // 1 once APP1 was found: block offsets get tiffBase added
    int container = 0;             // PhotoContainer of the last read
    size_t textBudget = 0;         // bytes of ASCII text the current read may still keep
    size_t entryBudget = 0;        // entries the current read may still keep
    std::vector<uint64_t> directoriesRead;  // file positions of the current read's directories
};
