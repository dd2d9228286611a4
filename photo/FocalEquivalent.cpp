#include "photo/FocalEquivalent.h"

#include "photo/CExifAnalize.h"

#include <cmath>

namespace {

constexpr double kFullFrameDiagonalMm = 43.27;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr uint16_t kTypeRational = 5;

// A SHORT or LONG count of pixels or a unit code; the reader keeps SHORTs sign-extended.
bool Whole(const CExifAnalize& exif, uint16_t tag, double& value) {
    CExifEntryInfo entry;
    if (exif.FindEntry(tag, entry) != 0) {
        return false;
    }
    if (entry.type == kTypeShort) {
        value = static_cast<uint16_t>(entry.value);
    } else if (entry.type == kTypeLong) {
        value = static_cast<uint32_t>(entry.value);
    } else {
        return false;
    }
    return true;
}

// An unsigned RATIONAL's first value; false when absent, of another type or with a zero denominator.
bool Ratio(const CExifAnalize& exif, uint16_t tag, double& value) {
    CExifEntryInfo entry;
    if (exif.FindEntry(tag, entry) != 0 || entry.type != kTypeRational || entry.denominators[0] == 0) {
        return false;
    }
    value = static_cast<double>(static_cast<uint32_t>(entry.numerators[0])) /
            static_cast<double>(static_cast<uint32_t>(entry.denominators[0]));
    return true;
}

} // namespace

int32_t FocalLength35mm(const CExifAnalize& exif) {
    double written = 0;
    if (Whole(exif, 0xA405, written) && written > 0) {
        return static_cast<int32_t>(written);
    }
    double unit = 2;
    Whole(exif, 0xA210, unit);
    const double mmPerUnit = unit == 2 ? 25.4 : unit == 3 ? 10.0 : 0.0;
    double focal = 0, width = 0, height = 0, xResolution = 0, yResolution = 0;
    if (mmPerUnit == 0 || !Ratio(exif, 0x920A, focal) || !Whole(exif, 0xA002, width) ||
        !Whole(exif, 0xA003, height) || !Ratio(exif, 0xA20E, xResolution) || !Ratio(exif, 0xA20F, yResolution) ||
        focal <= 0 || width <= 0 || height <= 0 || xResolution <= 0 || yResolution <= 0) {
        return -1;
    }
    const double diagonal = std::hypot(width / xResolution * mmPerUnit, height / yResolution * mmPerUnit);
    const double equivalent = std::floor(focal * kFullFrameDiagonalMm / diagonal + 0.5);
    // A sensor of a few micrometres (a broken resolution) would give lengths no lens has.
    return equivalent >= 1 && equivalent <= 100000 ? static_cast<int32_t>(equivalent) : -1;
}
