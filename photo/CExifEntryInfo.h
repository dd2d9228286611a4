#pragma once

#include <array>
#include <cstdint>
#include <string>

// One directory entry of an EXIF block, decoded as far as the reader goes.
class CExifEntryInfo {
public:
    static constexpr int kMaxRationals = 10;

    uint16_t tag = 0;
    uint16_t type = 0;    // TIFF field type as stored: 2 ASCII, 3 SHORT, 4 LONG, 5 RATIONAL, 10 SRATIONAL...
    uint32_t count = 0;   // number of values as stored
    int32_t value = 0;    // SHORT: first value (sign-extended, except 0x8827 zero-extended); else the 4-byte field
    std::array<int32_t, kMaxRationals> numerators{};
    std::array<int32_t, kMaxRationals> denominators{};
    std::string text;     // ASCII: the bytes of the file up to the first zero byte, no conversion
    int16_t directory = 0;  // 0 IFD0, 1 Exif directory, 2 GPS directory
};
