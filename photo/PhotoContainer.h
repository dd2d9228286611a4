#pragma once

#include <cstdint>
#include <string>

class ExifByteSource;

// What a photo file is, told from its first bytes, never from its name.
enum class PhotoContainer {
    Unknown,
    Jpeg,  // FF D8 (SOI)
    Tiff,  // "II" or "MM" and 42, or a raw maker's own number there (see IsTiffMagic)
    Heif,  // ISO-BMFF: size (4) | "ftyp" | a HEIF brand, major or compatible
    Cr3,   // ISO-BMFF: size (4) | "ftyp" | major brand "crx " (Canon)
    Raf,   // "FUJIFILMCCD-RAW " (Fujifilm)
    Mrw,   // 00 "MRM" (Minolta)
    OtherRaw,  // no TIFF EXIF at all: Canon .CRW ("II" 1A 00 00 00 "HEAPCCDR"), Sigma .X3F ("FOVb")
};

// The 16-bit number after the byte-order mark of a TIFF header: 42 for TIFF, DNG and most raw
// files; Olympus .orf writes "RO" or "RS" (0x4F52, 0x5352), Panasonic .rw2 writes 0x0055.
bool IsTiffMagic(uint16_t magic);

PhotoContainer DetectContainer(const ExifByteSource& source);

// The same from the file's first bytes only; Unknown when it cannot be opened or is not a
// regular file.
PhotoContainer DetectFileContainer(const std::string& path);

// A Fujifilm .RAF header: "FUJIFILMCCD-RAW " (16) | version (4) | camera id (8) | camera name (32) |
// directory version (4) | 20 bytes | JPEG offset (4, big-endian) at 84 | JPEG length (4) at 88.
// The embedded JPEG is the camera's own, with its EXIF block in APP1. False when the header is cut.
bool FindRafJpeg(const ExifByteSource& source, uint64_t& offset, uint64_t& length);
