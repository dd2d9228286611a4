#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The bytes of one file (or of a buffer) as the EXIF reader sees them. Every read of the reader
// goes through ReadAt, the one place where a position and a size are checked against the length.
class ExifByteSource {
public:
    // Over bytes in memory that outlive the source.
    ExifByteSource(const uint8_t* data, size_t size);
    // Over length bytes of another source from offset on (a box or block inside a container file):
    // positions count from offset, and every read is checked against both lengths. whole outlives it.
    ExifByteSource(const ExifByteSource& whole, uint64_t offset, uint64_t length);
    ~ExifByteSource();
    ExifByteSource(const ExifByteSource&) = delete;
    ExifByteSource& operator=(const ExifByteSource&) = delete;

    // Over a file opened for reading only; false when it cannot be opened or is not a regular file
    // (a folder dropped on the window gets here). The file is closed when the source is destroyed.
    // headSize bytes from the start are read at once; reads beyond them go to the file.
    bool Open(const std::string& path, size_t headSize = kHeadSize);

    // A camera's EXIF block sits in the first 64 KiB: the largest APP1 segment plus one work buffer.
    static constexpr size_t kHeadSize = 0x10000 + 0x2000;

    // Copies size bytes from the position into out; false unless the whole range lies inside the
    // bytes (checked in 64-bit arithmetic, so no position plus size can wrap) and could be read.
    bool ReadAt(uint64_t position, size_t size, uint8_t* out) const;

    uint64_t Length() const { return length; }

    // From now on each read that succeeds appends its (position, size) to reads; null stops.
    void RecordReads(std::vector<std::pair<uint64_t, uint64_t>>* reads) const { recorded = reads; }

private:
    const uint8_t* memory = nullptr;
    const ExifByteSource* outer = nullptr;
    uint64_t outerOffset = 0;
    int fd = -1;
    uint64_t length = 0;
    // Read in one go, so a directory walk costs no further system calls.
    std::vector<uint8_t> head;
    mutable std::vector<std::pair<uint64_t, uint64_t>>* recorded = nullptr;
};

// A 32-bit big-endian number of a container's header or box (ISO-BMFF, RAF, MRW).
inline uint32_t BigEndian32(const uint8_t* b) {
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}
