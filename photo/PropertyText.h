#pragma once

#include "photo/CExifEntryInfo.h"

#include <array>
#include <cstdint>
#include <string>

// The three texts of one shooting property.
struct PropertyText {
    std::string label;         // the property's name
    std::string displayValue;  // value with its unit or prefix, as the information panel shows it
    std::string plainValue;    // the bare value, as the CSV file mostly writes it
};

// Fills the texts of a supported tag (label only when entry is null) and returns 1; all three
// texts empty and 0 for any other tag. EXIF ASCII texts are passed through as the file's bytes.
int FormatProperty(const CExifEntryInfo* entry, uint16_t tag, PropertyText& out);

// The 17 properties of the information panel, in its order.
inline constexpr std::array<uint16_t, 17> kPanelPropertyTags = {
    0x010F, 0x0110, 0x0131, 0x829D, 0x829A, 0x8827, 0x9204, 0x8822, 0x9207,
    0x9208, 0xA403, 0xA001, 0x9209, 0x920A, 0xA002, 0xA003, 0x9003,
};

// EXIF texts as a person should see them: the bytes as they are when they are valid UTF-8,
// otherwise decoded from code page 932 (Japanese cameras); always valid UTF-8 out.
std::string DecodeExifText(const std::string& bytes);
