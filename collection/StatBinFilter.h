#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

// The values the statistics panel bins the collection by, in the order its choice lists them.
enum class StatValue : int {
    Focal, Focal35, Aperture, Shutter, Iso, Ev, Lens, Camera, Hour, Weekday, Month, Year,
};
inline constexpr size_t kStatValueCount = 12;

// A photo without the value: its bin is "不明".
inline constexpr int32_t kNoStatCode = INT32_MIN;

// The bars of one value a click on the panel keeps: photos in one of them pass. Numeric values go by
// their bin codes (StatBins.h), lenses and cameras by their names ("" for none).
struct StatBinFilter {
    bool active = false;
    StatValue value = StatValue::Focal;
    std::set<int32_t> codes;
    std::set<std::string> names;
    friend bool operator==(const StatBinFilter&, const StatBinFilter&) = default;
};
