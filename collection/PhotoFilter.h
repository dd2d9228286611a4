#pragma once

#include "collection/StatBinFilter.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

class PhotoItem;
struct PhotoFilter;

// The questions a user puts to the collection: which camera, lens, focal length, ISO speed and
// shooting date. A photo is shown when it answers every criterion (AND); within one list any of
// the chosen values will do (OR). An empty criterion lets everything through, so a default
// PhotoFilter shows every photo.

// The three value lists, in the order the panel shows them.
enum FilterList : size_t { kFilterCamera = 0, kFilterLens = 1, kFilterFocal = 2, kFilterListCount = 3 };

// What the filter looks at in one photo, read once when the photo enters the collection.
struct FilterKeys {
    // Model 0x0110; LensModel 0xA434, else LensMake 0xA433; FocalLength 0x920A rounded to whole
    // millimetres as the property text rounds it ("50"). UTF-8 without the padding spaces cameras
    // add; empty when the photo has no such value.
    std::array<std::string, kFilterListCount> list;
    int32_t focalMm = -1;  // -1: no focal length (or a zero denominator)
    int32_t iso = 0;       // 0: no ISO speed
    int32_t date = 0;      // DateTimeOriginal as yyyymmdd; 0: none, or no real date ("0000:00:00")
    // The 35 mm equivalent (FocalLength35mm) in whole millimetres and as the focal list shows it
    // under "35mm 換算"; -1 and "" when the photo does not tell it.
    int32_t focal35Mm = -1;
    std::string focal35Text;
    // Each numeric StatValue's bin code (StatBins.h), kNoStatCode without the value; the places
    // of lenses and cameras are unused (their names are in list).
    std::array<int32_t, kStatValueCount> statCodes{};
};

FilterKeys FilterKeysOf(const PhotoItem& photo);
// The text of a list the filter compares: the focal list's is the 35 mm equivalent's under focal35.
const std::string& FilterListValue(const PhotoFilter& filter, const FilterKeys& keys, size_t list);

// "2011:01:02 03:04:05" -> 20110102; 0 for anything that is not a calendar date.
int32_t ExifDateNumber(const std::string& text);
// yyyy, mm, dd -> yyyymmdd when it is a calendar date (1..9999), else 0.
int32_t DateNumber(int32_t year, int32_t month, int32_t day);

// Both ends inclusive; an end that is not set is open.
struct IntRange {
    std::optional<int32_t> min;
    std::optional<int32_t> max;
    bool IsOpen() const { return !min && !max; }
    bool Holds(int32_t value) const { return (!min || value >= *min) && (!max || value <= *max); }
    friend bool operator==(const IntRange&, const IntRange&) = default;
};

struct PhotoFilter {
    // Per list, the values let through (FilterKeys::list texts, "" for photos without a value).
    std::array<std::set<std::string>, kFilterListCount> chosen;
    IntRange focalMm;  // photos without a focal length fail a range that is not open
    IntRange iso;      // photos without ISO speed fail a range that is not open
    IntRange dates;    // yyyymmdd; applies to photos with a date
    bool undated = true;  // photos without a date ("日付なし") shown
    // The focal list and focalMm take the 35 mm equivalent instead of the lens's own length.
    bool focal35 = false;
    StatBinFilter statBins;  // the statistics panel's bars

    bool IsEmpty() const;
    bool Passes(const FilterKeys& keys) const;
    // Every criterion but statBins: what the statistics panel counts while it shows statBins' value.
    bool PassesExceptStatBins(const FilterKeys& keys) const;
    friend bool operator==(const PhotoFilter&, const PhotoFilter&) = default;
};

// One entry of a value list and how many photos it would show: those with this value that every
// other criterion lets through.
struct FilterValueCount {
    std::string value;  // "" for the photos without one
    size_t count = 0;
    friend bool operator==(const FilterValueCount&, const FilterValueCount&) = default;
};

struct FilterCounts {
    // Every value some photo has, and every chosen value, once each: texts in byte order, focal
    // lengths by number; the photos without a value last.
    std::array<std::vector<FilterValueCount>, kFilterListCount> lists;
    size_t undated = 0;  // photos without a date that every other criterion lets through
    size_t shown = 0;    // photos the whole filter lets through
    size_t total = 0;
    int32_t firstDate = 0;  // yyyymmdd of the earliest and the latest photo, 0 when none has a date
    int32_t lastDate = 0;
};

// The photos' keys in collection order against the filter.
FilterCounts CountFilterValues(const std::vector<FilterKeys>& keys, const PhotoFilter& filter);
