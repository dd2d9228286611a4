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
};

// The 16-bit number after the byte-order mark of a TIFF header: 42 for TIFF, DNG and most raw
// files; Olympus .orf writes "RO" or "RS" (0x4F52, 0x5352), Panasonic .rw2 writes 0x0055.
bool IsTiffMagic(uint16_t magic);

PhotoContainer DetectContainer(const ExifByteSource& source);

// The same from the file's first bytes only; Unknown when it cannot be opened or is not a
// regular file.
PhotoContainer DetectFileContainer(const std::string& path);
