#pragma once

#include "collection/PhotoFilter.h"
#include "collection/StatBinFilter.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class PhotoItem;

// The bins the statistics panel counts the collection in, and their labels. Bin codes:
// - apertures, shutter speeds and ISO speeds: one-third stops, round(3 x AV), round(3 x TV),
//   round(3 x log2(ISO / 100)) with halves up; F1 / 1 s / ISO 100 are code 0. Labelled with the
//   nominal values cameras show (F2.8, F3.2; 1/125, 1/160; ISO 100, 125) and, beyond the tables,
//   with the value the code stands for;
// - EV: whole steps, round(EV);
// - focal lengths (the lens's own and the 35 mm equivalent): the length in whole millimetres, 1 mm a
//   bin up to 35 mm; above, the nearest multiple of 5 mm up to 200 mm, of 10 mm up to 400 mm, of 50 mm
//   up to 1000 mm and of 100 mm beyond; a bin is coded by that length. 0 mm is no length;
// - hours 0..23, weekdays 0 (月) .. 6 (日), months 1..12 and years, of DateTimeOriginal.
// Lenses and cameras are binned by their names.

// Fills keys.statCodes from the photo; date is DateTimeOriginal's text ("2011:01:02 03:04:05").
void FillStatCodes(const PhotoItem& photo, const std::string& date, FilterKeys& keys);

// The one-third-stop codes and the focal bin of a value.
int32_t ApertureCode(double fNumber);
int32_t ShutterCode(double seconds);
int32_t IsoCode(int32_t iso);
int32_t FocalBin(int32_t millimetres);
// A numeric bin's label ("F2.8", "1/125", "2 秒", "ISO 100", "EV 11", "50 mm", "13 時", "月",
// "1 月", "2011 年"); "不明" for kNoStatCode.
std::string StatCodeLabel(StatValue value, int32_t code);

// The panel's title of a value ("焦点距離") and the exporter's name ("focal").
std::string_view StatValueTitle(StatValue value);
std::string_view StatValueName(StatValue value);
std::optional<StatValue> StatValueFromName(std::string_view name);

inline constexpr std::string_view kStatUnknown = "不明";
inline constexpr std::string_view kStatOthers = "その他";
// The most names the panel draws as bars; the rest share one "その他" bar.
inline constexpr size_t kStatNameBars = 20;

struct StatBin {
    std::string label;
    // What the bin stands for in a StatBinFilter: one code, or names (several for "その他").
    std::vector<int32_t> codes;
    std::vector<std::string> names;
    size_t count = 0;
    size_t selected = 0;  // of count, the photos of the rectangle selection
    bool chosen = false;  // the document's StatBinFilter lets this bin through
};

struct StatHistogram {
    StatValue value = StatValue::Focal;
    // Numbers in order of their codes (hours, weekdays and months all of them, the others the bins
    // that hold a photo or are chosen); names most frequent first; "不明" last.
    std::vector<StatBin> bins;
    size_t total = 0;     // photos counted
    size_t selected = 0;  // of them, selected
};

// The photos the filter lets through, binned by value. While the filter's StatBinFilter is of the
// same value it is left out of the count, so that every bar stays there to be added to; its bins
// are flagged chosen. selected: one flag per photo (empty: no selection). nameBars: the most names
// binned alone (0: every name).
StatHistogram CountStatBins(const std::vector<FilterKeys>& keys, const PhotoFilter& filter, StatValue value,
                            const std::vector<bool>& selected = {}, size_t nameBars = kStatNameBars);

// "23 %" of count in total, whole percent, halves up.
std::string StatShareText(size_t count, size_t total);
// "最も多い: 50 mm (23 %)、35 mm (18 %)、85 mm (9 %)": the three largest bins, "不明" and "その他"
// left out; empty when no bin holds a photo.
std::string TopBinsText(const StatHistogram& histogram);

// The filter after a click on the bin: with add (Shift) the bin joins the bars already chosen of
// the same value; otherwise it is the only one.
PhotoFilter WithStatBin(const PhotoFilter& filter, StatValue value, const StatBin& bin, bool add);
// How the filter panel names the chosen bars: "焦点距離: 50 mm、85 mm"; empty when none.
std::string StatBinFilterText(const StatBinFilter& bins);

// The bins as a file: "区分,枚数,割合 (%)" then one line per bin (label, count, share with one
// decimal), CR LF after every line, UTF-8. Labels are quoted as the shooting-data file quotes.
std::string FormatStatCsv(const StatHistogram& histogram);
// That text as code page 932 into the file (WriteOutputFile). 1 written, 0 failed, the system's
// reason in *reason when given.
int WriteStatCsv(const StatHistogram& histogram, const std::string& path, std::string* reason = nullptr);
