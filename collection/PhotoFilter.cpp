#include "collection/PhotoFilter.h"

#include "collection/StatBins.h"
#include "photo/FocalEquivalent.h"
#include "photo/PhotoItem.h"
#include "photo/PropertyText.h"

#include <algorithm>
#include <charconv>
#include <system_error>
#include <unordered_map>

namespace {

// The tags' own texts (Model, LensModel, LensMake): as a person reads them, without the spaces
// some cameras pad them with.
std::string ExifText(const PhotoItem& photo, uint16_t tag) {
    PropertyText text;
    photo.GetPropertyText(tag, text);
    std::string value = DecodeExifText(text.plainValue);
    while (!value.empty() && value.back() == ' ') {
        value.pop_back();
    }
    return value;
}

// One bit per criterion a photo fails.
enum : unsigned {
    kFailCamera = 1u << kFilterCamera,
    kFailLens = 1u << kFilterLens,
    kFailFocal = 1u << kFilterFocal,
    kFailIso = 1u << 3,
    kFailDate = 1u << 4,
    kFailStatBins = 1u << 5,
};

bool InStatBins(const StatBinFilter& bins, const FilterKeys& keys) {
    switch (bins.value) {
    case StatValue::Lens:
        return bins.names.count(keys.list[kFilterLens]) != 0;
    case StatValue::Camera:
        return bins.names.count(keys.list[kFilterCamera]) != 0;
    default:
        return bins.codes.count(keys.statCodes[static_cast<size_t>(bins.value)]) != 0;
    }
}

unsigned Failures(const PhotoFilter& filter, const FilterKeys& keys) {
    unsigned failed = 0;
    for (size_t list = 0; list < kFilterListCount; ++list) {
        const std::set<std::string>& chosen = filter.chosen[list];
        if (!chosen.empty() && chosen.count(FilterListValue(filter, keys, list)) == 0) {
            failed |= 1u << list;
        }
    }
    const int32_t focalMm = filter.focal35 ? keys.focal35Mm : keys.focalMm;
    if (!filter.focalMm.IsOpen() && (focalMm < 0 || !filter.focalMm.Holds(focalMm))) {
        failed |= kFailFocal;
    }
    if (!filter.iso.IsOpen() && (keys.iso <= 0 || !filter.iso.Holds(keys.iso))) {
        failed |= kFailIso;
    }
    if (keys.date == 0 ? !filter.undated : !filter.dates.Holds(keys.date)) {
        failed |= kFailDate;
    }
    if (filter.statBins.active && !InStatBins(filter.statBins, keys)) {
        failed |= kFailStatBins;
    }
    return failed;
}

// Texts in byte order, except that focal lengths (whole numbers without leading zeros) go by
// number, which is shorter first; "" last in every list.
bool ListsBefore(size_t list, const std::string& a, const std::string& b) {
    if (a.empty() != b.empty()) {
        return b.empty();
    }
    if (list == kFilterFocal && a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

} // namespace

int32_t DateNumber(int32_t year, int32_t month, int32_t day) {
    static constexpr int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) {
        return 0;
    }
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int32_t days = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    return day > days ? 0 : year * 10000 + month * 100 + day;
}

int32_t ExifDateNumber(const std::string& text) {
    // "YYYY:MM:DD": digits at 0-3, 5-6 and 8-9; cameras without a clock write zeros or spaces.
    if (text.size() < 10) {
        return 0;
    }
    const auto number = [&text](size_t at, size_t length) {
        int32_t value = 0;
        const char* first = text.data() + at;
        const auto [end, error] = std::from_chars(first, first + length, value);
        return error == std::errc() && end == first + length ? value : -1;
    };
    return DateNumber(number(0, 4), number(5, 2), number(8, 2));
}

FilterKeys FilterKeysOf(const PhotoItem& photo) {
    FilterKeys keys;
    keys.list[kFilterCamera] = ExifText(photo, 0x0110);
    keys.list[kFilterLens] = ExifText(photo, 0xA434);
    if (keys.list[kFilterLens].empty()) {
        keys.list[kFilterLens] = ExifText(photo, 0xA433);
    }
    PropertyText focal;
    photo.GetPropertyText(0x920A, focal);
    const std::string& mm = focal.plainValue;
    int32_t value = 0;
    const auto [end, error] = std::from_chars(mm.data(), mm.data() + mm.size(), value);
    if (!mm.empty() && error == std::errc() && end == mm.data() + mm.size() && value >= 0) {
        keys.focalMm = value;
        keys.list[kFilterFocal] = mm;
    }
    keys.iso = photo.iso;
    PropertyText date;
    photo.GetPropertyText(0x9003, date);
    keys.date = ExifDateNumber(date.plainValue);
    keys.focal35Mm = FocalLength35mm(photo.exif);
    if (keys.focal35Mm >= 0) {
        keys.focal35Text = std::to_string(keys.focal35Mm);
    }
    FillStatCodes(photo, date.plainValue, keys);
    return keys;
}

const std::string& FilterListValue(const PhotoFilter& filter, const FilterKeys& keys, size_t list) {
    return list == kFilterFocal && filter.focal35 ? keys.focal35Text : keys.list[list];
}

bool PhotoFilter::IsEmpty() const {
    return std::all_of(chosen.begin(), chosen.end(), [](const auto& values) { return values.empty(); }) &&
           focalMm.IsOpen() && iso.IsOpen() && dates.IsOpen() && undated && !statBins.active;
}

bool PhotoFilter::Passes(const FilterKeys& keys) const {
    return Failures(*this, keys) == 0;
}

bool PhotoFilter::PassesExceptStatBins(const FilterKeys& keys) const {
    return (Failures(*this, keys) & ~kFailStatBins) == 0;
}

FilterCounts CountFilterValues(const std::vector<FilterKeys>& keys, const PhotoFilter& filter) {
    FilterCounts counts;
    counts.total = keys.size();
    std::array<std::unordered_map<std::string, size_t>, kFilterListCount> tallies;
    for (size_t list = 0; list < kFilterListCount; ++list) {
        for (const std::string& value : filter.chosen[list]) {
            tallies[list].emplace(value, 0);
        }
    }
    for (const FilterKeys& photo : keys) {
        const unsigned failed = Failures(filter, photo);
        counts.shown += failed == 0 ? 1 : 0;
        for (size_t list = 0; list < kFilterListCount; ++list) {
            // Counted when nothing but this list's own choice keeps the photo out.
            tallies[list][FilterListValue(filter, photo, list)] += (failed & ~(1u << list)) == 0 ? 1 : 0;
        }
        if (photo.date == 0 && (failed & ~kFailDate) == 0) {
            ++counts.undated;
        }
        if (photo.date != 0) {
            counts.firstDate = counts.firstDate == 0 ? photo.date : std::min(counts.firstDate, photo.date);
            counts.lastDate = std::max(counts.lastDate, photo.date);
        }
    }
    for (size_t list = 0; list < kFilterListCount; ++list) {
        std::vector<FilterValueCount>& entries = counts.lists[list];
        entries.reserve(tallies[list].size());
        for (const auto& [value, count] : tallies[list]) {
            entries.push_back({value, count});
        }
        std::sort(entries.begin(), entries.end(), [list](const FilterValueCount& a, const FilterValueCount& b) {
            return ListsBefore(list, a.value, b.value);
        });
    }
    return counts;
}
