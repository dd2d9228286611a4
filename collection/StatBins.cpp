#include "collection/StatBins.h"

#include "collection/CsvExport.h"
#include "collection/OutputFile.h"
#include "photo/NumberText.h"
#include "photo/PhotoItem.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <exception>
#include <map>
#include <system_error>
#include <unordered_map>
#include <utility>

namespace {

// Nominal values by code, from the first code of each table.
constexpr int32_t kFirstApertureCode = 0;  // F1
constexpr std::array<const char*, 40> kApertures = {
    "1.0", "1.1", "1.2", "1.4", "1.6", "1.8", "2.0", "2.2", "2.5", "2.8", "3.2", "3.5", "4.0", "4.5",
    "5.0", "5.6", "6.3", "7.1", "8.0", "9.0", "10",  "11",  "13",  "14",  "16",  "18",  "20",  "22",
    "25",  "29",  "32",  "36",  "40",  "45",  "51",  "57",  "64",  "72",  "81",  "90",
};
constexpr int32_t kFirstShutterCode = -15;  // 30 s
constexpr std::array<const char*, 61> kShutterSpeeds = {
    "30 秒",   "25 秒",   "20 秒",   "15 秒",   "13 秒",   "10 秒",   "8 秒",    "6 秒",    "5 秒",
    "4 秒",    "3.2 秒",  "2.5 秒",  "2 秒",    "1.6 秒",  "1.3 秒",  "1 秒",    "0.8 秒",  "0.6 秒",
    "0.5 秒",  "0.4 秒",  "0.3 秒",  "1/4",     "1/5",     "1/6",     "1/8",     "1/10",    "1/13",
    "1/15",    "1/20",    "1/25",    "1/30",    "1/40",    "1/50",    "1/60",    "1/80",    "1/100",
    "1/125",   "1/160",   "1/200",   "1/250",   "1/320",   "1/400",   "1/500",   "1/640",   "1/800",
    "1/1000",  "1/1250",  "1/1600",  "1/2000",  "1/2500",  "1/3200",  "1/4000",  "1/5000",  "1/6400",
    "1/8000",  "1/10000", "1/12800", "1/16000", "1/20000", "1/25000", "1/32000",
};
constexpr int32_t kFirstIsoCode = -6;  // ISO 25
constexpr std::array<int32_t, 43> kIsoSpeeds = {
    25,    32,    40,    50,    64,    80,     100,    125,    160,    200,    250,    320,    400,    500,    640,
    800,   1000,  1250,  1600,  2000,  2500,   3200,   4000,   5000,   6400,   8000,   10000,  12800,  16000, 20000,
    25600, 32000, 40000, 51200, 64000, 80000, 102400, 128000, 160000, 204800, 256000, 320000, 409600,
};
constexpr std::array<const char*, 7> kWeekdays = {"月", "火", "水", "木", "金", "土", "日"};

constexpr std::array<std::string_view, kStatValueCount> kTitles = {
    "焦点距離", "焦点距離 (35mm 換算)", "絞り値", "シャッター速度", "ISO 感度", "EV",
    "レンズ",   "機種",                 "撮影時刻", "曜日",         "撮影月",   "撮影年",
};
constexpr std::array<std::string_view, kStatValueCount> kNames = {
    "focal", "focal35", "aperture", "shutter", "iso", "ev", "lens", "camera", "hour", "weekday", "month", "year",
};

// Halves up; values beyond a million steps (or not finite) are no value a photo has.
int32_t RoundCode(double steps) {
    if (!std::isfinite(steps) || std::fabs(steps) > 1e6) {
        return kNoStatCode;
    }
    return static_cast<int32_t>(std::floor(steps + 0.5));
}

template <typename Table>
const auto* FromTable(const Table& table, int32_t first, int32_t code) {
    const int64_t at = static_cast<int64_t>(code) - first;
    return at >= 0 && at < static_cast<int64_t>(table.size()) ? &table[static_cast<size_t>(at)] : nullptr;
}

bool IsName(StatValue value) {
    return value == StatValue::Lens || value == StatValue::Camera;
}

// The bins a value always shows, held or not.
std::pair<int32_t, int32_t> FixedCodes(StatValue value) {
    switch (value) {
    case StatValue::Hour:
        return {0, 23};
    case StatValue::Weekday:
        return {0, 6};
    case StatValue::Month:
        return {1, 12};
    default:
        return {1, 0};
    }
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Tally {
    size_t count = 0;
    size_t selected = 0;
};

} // namespace

int32_t ApertureCode(double fNumber) {
    return fNumber > 0 ? RoundCode(3.0 * 2.0 * std::log2(fNumber)) : kNoStatCode;
}

int32_t ShutterCode(double seconds) {
    return seconds > 0 ? RoundCode(-3.0 * std::log2(seconds)) : kNoStatCode;
}

int32_t IsoCode(int32_t iso) {
    return iso > 0 ? RoundCode(3.0 * std::log2(iso / 100.0)) : kNoStatCode;
}

int32_t FocalBin(int32_t mm) {
    if (mm <= 0) {
        return kNoStatCode;
    }
    const int32_t step = mm <= 35 ? 1 : mm <= 200 ? 5 : mm <= 400 ? 10 : mm <= 1000 ? 50 : 100;
    return static_cast<int32_t>((static_cast<int64_t>(mm) + step / 2) / step * step);
}

void FillStatCodes(const PhotoItem& photo, const std::string& date, FilterKeys& keys) {
    keys.statCodes.fill(kNoStatCode);
    const auto set = [&keys](StatValue value, int32_t code) { keys.statCodes[static_cast<size_t>(value)] = code; };
    set(StatValue::Focal, FocalBin(keys.focalMm));
    set(StatValue::Focal35, FocalBin(keys.focal35Mm));
    if (photo.exposureValid != 0 && photo.fNumberDen != 0 && photo.exposureTimeDen != 0) {
        set(StatValue::Aperture, ApertureCode(static_cast<double>(photo.fNumberNum) / photo.fNumberDen));
        set(StatValue::Shutter, ShutterCode(static_cast<double>(photo.exposureTimeNum) / photo.exposureTimeDen));
        set(StatValue::Ev, RoundCode(photo.ev));
    }
    set(StatValue::Iso, IsoCode(photo.iso));
    if (keys.date == 0) {
        return;
    }
    const int32_t year = keys.date / 10000;
    const int32_t month = keys.date / 100 % 100;
    set(StatValue::Year, year);
    set(StatValue::Month, month);
    const int64_t days = DaysFromCivil(year, month, keys.date % 100);
    set(StatValue::Weekday, static_cast<int32_t>(((days + 3) % 7 + 7) % 7));  // 1970-01-01 was a Thursday
    // "YYYY:MM:DD HH:MM:SS": the hour at 11-12.
    int32_t hour = -1;
    if (date.size() >= 13) {
        const char* first = date.data() + 11;
        const auto [end, error] = std::from_chars(first, first + 2, hour);
        if (error != std::errc() || end != first + 2 || hour > 23) {
            hour = -1;
        }
    }
    if (hour >= 0) {
        set(StatValue::Hour, hour);
    }
}

std::string StatCodeLabel(StatValue value, int32_t code) {
    if (code == kNoStatCode) {
        return std::string(kStatUnknown);
    }
    const double stops = code / 3.0;
    switch (value) {
    case StatValue::Focal:
    case StatValue::Focal35:
        return FormatInteger(code) + " mm";
    case StatValue::Aperture:
        if (const auto* nominal = FromTable(kApertures, kFirstApertureCode, code)) {
            return std::string("F") + *nominal;
        }
        return "F" + FormatFixed(std::pow(2.0, stops / 2.0), code < 0 ? 1 : 0);
    case StatValue::Shutter:
        if (const auto* nominal = FromTable(kShutterSpeeds, kFirstShutterCode, code)) {
            return *nominal;
        }
        return code < 0 ? FormatInteger(std::llround(std::pow(2.0, -stops))) + " 秒"
                        : "1/" + FormatInteger(std::llround(std::pow(2.0, stops)));
    case StatValue::Iso:
        if (const auto* nominal = FromTable(kIsoSpeeds, kFirstIsoCode, code)) {
            return "ISO " + FormatInteger(*nominal);
        }
        return "ISO " + FormatInteger(std::llround(100.0 * std::pow(2.0, stops)));
    case StatValue::Ev:
        return "EV " + FormatInteger(code);
    case StatValue::Hour:
        return FormatInteger(code) + " 時";
    case StatValue::Weekday:
        return code >= 0 && code < 7 ? kWeekdays[static_cast<size_t>(code)] : std::string(kStatUnknown);
    case StatValue::Month:
        return FormatInteger(code) + " 月";
    case StatValue::Year:
        return FormatInteger(code) + " 年";
    case StatValue::Lens:
    case StatValue::Camera:
        break;
    }
    return std::string(kStatUnknown);
}

std::string_view StatValueTitle(StatValue value) {
    return kTitles[static_cast<size_t>(value)];
}

std::string_view StatValueName(StatValue value) {
    return kNames[static_cast<size_t>(value)];
}

std::optional<StatValue> StatValueFromName(std::string_view name) {
    const auto it = std::find(kNames.begin(), kNames.end(), name);
    return it == kNames.end() ? std::nullopt : std::optional<StatValue>(static_cast<StatValue>(it - kNames.begin()));
}

StatHistogram CountStatBins(const std::vector<FilterKeys>& keys, const PhotoFilter& filter, StatValue value,
                            const std::vector<bool>& selected, size_t nameBars) {
    StatHistogram histogram;
    histogram.value = value;
    const StatBinFilter& bins = filter.statBins;
    const bool own = bins.active && bins.value == value;
    const size_t slot = static_cast<size_t>(value);
    const size_t list = value == StatValue::Lens ? kFilterLens : kFilterCamera;
    std::map<int32_t, Tally> codes;
    std::unordered_map<std::string, Tally> names;
    if (IsName(value)) {
        for (const std::string& name : own ? bins.names : std::set<std::string>{}) {
            names.emplace(name, Tally{});
        }
    } else {
        const auto [first, last] = FixedCodes(value);
        for (int32_t code = first; code <= last; ++code) {
            codes.emplace(code, Tally{});
        }
        for (const int32_t code : own ? bins.codes : std::set<int32_t>{}) {
            codes.emplace(code, Tally{});
        }
    }
    for (size_t i = 0; i < keys.size(); ++i) {
        const FilterKeys& photo = keys[i];
        if (!(own ? filter.PassesExceptStatBins(photo) : filter.Passes(photo))) {
            continue;
        }
        Tally& tally = IsName(value) ? names[photo.list[list]] : codes[photo.statCodes[slot]];
        const bool picked = i < selected.size() && selected[i];
        ++tally.count;
        tally.selected += picked ? 1 : 0;
        ++histogram.total;
        histogram.selected += picked ? 1 : 0;
    }

    std::optional<StatBin> unknown;
    const auto add = [&](StatBin bin, const Tally& tally) {
        bin.count = tally.count;
        bin.selected = tally.selected;
        if (bin.label == kStatUnknown) {
            unknown = std::move(bin);
        } else {
            histogram.bins.push_back(std::move(bin));
        }
    };
    for (const auto& [code, tally] : codes) {
        StatBin bin;
        bin.label = StatCodeLabel(value, code);
        bin.codes = {code};
        bin.chosen = own && bins.codes.count(code) != 0;
        add(std::move(bin), tally);
    }
    std::vector<std::pair<std::string, Tally>> byCount(names.begin(), names.end());
    std::sort(byCount.begin(), byCount.end(), [](const auto& a, const auto& b) {
        return a.second.count != b.second.count ? a.second.count > b.second.count : a.first < b.first;
    });
    StatBin others;
    Tally othersTally;
    others.label = std::string(kStatOthers);
    others.chosen = own;
    size_t alone = 0;
    for (auto& [name, tally] : byCount) {
        StatBin bin;
        bin.label = name.empty() ? std::string(kStatUnknown) : name;
        const bool chosen = own && bins.names.count(name) != 0;
        if (!name.empty() && nameBars != 0 && alone == nameBars) {
            others.names.push_back(name);
            others.chosen = others.chosen && chosen;
            othersTally.count += tally.count;
            othersTally.selected += tally.selected;
            continue;
        }
        alone += name.empty() ? 0 : 1;
        bin.names = {name};
        bin.chosen = chosen;
        add(std::move(bin), tally);
    }
    if (!others.names.empty()) {
        add(std::move(others), othersTally);
    }
    if (unknown && (unknown->count != 0 || unknown->chosen)) {
        histogram.bins.push_back(std::move(*unknown));
    }
    return histogram;
}

std::string StatShareText(size_t count, size_t total) {
    const uint64_t percent = total == 0 ? 0 : (200 * static_cast<uint64_t>(count) + total) / (2 * total);
    return FormatInteger(static_cast<int64_t>(percent)) + " %";
}

std::string TopBinsText(const StatHistogram& histogram) {
    std::vector<const StatBin*> ranked;
    for (const StatBin& bin : histogram.bins) {
        if (bin.count != 0 && bin.label != kStatUnknown && !(bin.label == kStatOthers && bin.names.size() > 1)) {
            ranked.push_back(&bin);
        }
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const StatBin* a, const StatBin* b) { return a->count > b->count; });
    std::string text;
    for (size_t i = 0; i < std::min<size_t>(3, ranked.size()); ++i) {
        text += i == 0 ? "最も多い: " : "、";
        text += ranked[i]->label + " (" + StatShareText(ranked[i]->count, histogram.total) + ")";
    }
    return text;
}

PhotoFilter WithStatBin(const PhotoFilter& filter, StatValue value, const StatBin& bin, bool add) {
    PhotoFilter result = filter;
    StatBinFilter& bins = result.statBins;
    if (!add || !bins.active || bins.value != value) {
        bins = StatBinFilter();
        bins.active = true;
        bins.value = value;
    }
    bins.codes.insert(bin.codes.begin(), bin.codes.end());
    bins.names.insert(bin.names.begin(), bin.names.end());
    return result;
}

std::string StatBinFilterText(const StatBinFilter& bins) {
    if (!bins.active) {
        return {};
    }
    constexpr size_t kNamed = 4;  // more would not fit the panel's width
    std::vector<std::string> labels;
    for (const int32_t code : bins.codes) {
        labels.push_back(StatCodeLabel(bins.value, code));
    }
    for (const std::string& name : bins.names) {
        labels.push_back(name.empty() ? std::string(kStatUnknown) : name);
    }
    std::string text = std::string(StatValueTitle(bins.value)) + ": ";
    for (size_t i = 0; i < std::min(kNamed, labels.size()); ++i) {
        text += (i == 0 ? "" : "、") + labels[i];
    }
    if (labels.size() > kNamed) {
        text += " ほか " + FormatInteger(static_cast<int64_t>(labels.size() - kNamed)) + " 件";
    }
    return text;
}

std::string FormatStatCsv(const StatHistogram& histogram) {
    std::string text = "区分,枚数,割合 (%)\r\n";
    for (const StatBin& bin : histogram.bins) {
        AppendCsvTextField(text, bin.label);
        const double share = histogram.total == 0 ? 0.0 : 100.0 * static_cast<double>(bin.count) / histogram.total;
        text += "," + FormatInteger(static_cast<int64_t>(bin.count)) + "," + FormatFixed(share, 1) + "\r\n";
    }
    return text;
}

int WriteStatCsv(const StatHistogram& histogram, const std::string& path, std::string* reason) {
    const auto fail = [reason](std::string why) {
        if (reason != nullptr) {
            *reason = std::move(why);
        }
        return 0;
    };
    try {
        std::string bytes;
        if (!EncodeCp932(FormatStatCsv(histogram), bytes)) {
            return fail("no code page 932 converter");
        }
        OutputFileStatus written = WriteOutputFile(path, bytes);
        return written.result == 1 ? 1 : fail(std::move(written.reason));
    } catch (const std::exception&) {
        return fail("out of memory");
    }
}
