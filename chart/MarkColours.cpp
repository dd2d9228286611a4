#include "chart/MarkColours.h"

#include "chart/ChartMapping.h"
#include "collection/DisplaySettings.h"
#include "photo/PhotoItem.h"
#include "photo/PropertyText.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>

namespace {

constexpr uint16_t kTagModel = 0x0110;
constexpr uint16_t kTagFocalLength = 0x920A;
constexpr uint16_t kTagDateTimeOriginal = 0x9003;

// Steps of the colour bar of a scale legend.
constexpr int kBarSteps = 24;
// The legend's pieces in chart units (kLegendBox is 480..748 x 2..35).
constexpr int32_t kBarLeft = 560;
constexpr int32_t kBarRight = 680;
constexpr int32_t kDiscAndGap = 12;  // a camera's column: disc 9, gap 3, name, 2 to the next
constexpr int32_t kAfterName = 2;
// Midnight, 6, 12, 18 h; midnight again closes the circle.
constexpr std::array<Color, 4> kDayColours{{{25, 40, 110}, {86, 180, 233}, {240, 228, 66}, {213, 94, 0}}};
const char* const kEllipsis = "\xE2\x80\xA6";  // U+2026
constexpr int32_t kEntryHeight = 11; // three rows fill the box
constexpr int kEntryRows = 3;

uint8_t Mix(uint8_t a, uint8_t b, double f) {
    return static_cast<uint8_t>(std::lround(a + (b - a) * f));
}

// Two decimal digits at text[at], or -1.
int TwoDigits(const std::string& text, size_t at) {
    if (text.size() < at + 2) {
        return -1;
    }
    const char a = text[at];
    const char b = text[at + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9') {
        return -1;
    }
    return (a - '0') * 10 + (b - '0');
}

// "YYYY:MM:DD HH:MM:SS": the hour of the day with minutes and seconds as its fractions.
std::optional<double> HourOfDay(const std::string& text) {
    const int hour = TwoDigits(text, 11);
    const int minute = TwoDigits(text, 14);
    const int second = TwoDigits(text, 17);
    if (text.size() < 19 || text[10] != ' ' || text[13] != ':' || text[16] != ':' || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60) {
        return std::nullopt;
    }
    return hour + minute / 60.0 + second / 3600.0;
}

// The bar of a scale legend: the colours of kBarSteps even steps from low to high.
std::vector<Color> ScaleBar(const std::function<Color(double)>& colourAt) {
    std::vector<Color> bar;
    for (int i = 0; i < kBarSteps; ++i) {
        bar.push_back(colourAt((i + 0.5) / kBarSteps));
    }
    return bar;
}

// Byte offsets where the UTF-8 characters of text begin.
std::vector<size_t> CharacterStarts(const std::string& text) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            starts.push_back(i);
        }
    }
    return starts;
}

// The text a number is shown with at an end of the scale.
std::string EndText(const PhotoItem& photo, int32_t markColour) {
    if (markColour == DisplaySettings::kMarkByIso) {
        return "ISO " + std::to_string(photo.iso);
    }
    // The focal length as the information panel writes it.
    CExifEntryInfo entry;
    PropertyText text;
    if (photo.exif.FindEntry(kTagFocalLength, entry) == 0) {
        FormatProperty(&entry, kTagFocalLength, text);
    }
    return text.displayValue;
}

MarkColouring ColourByNumber(const std::vector<std::unique_ptr<PhotoItem>>& photos, int32_t markColour) {
    MarkColouring result;
    ChartLegend& legend = result.legend;
    legend.kind = ChartLegend::Kind::Scale;
    legend.bar = markColour == DisplaySettings::kMarkByTimeOfDay
                     ? ScaleBar([](double t) { return TimeOfDayColour(t * 24); })
                     : ScaleBar(ViridisAt);
    std::vector<std::optional<double>> numbers;
    numbers.reserve(photos.size());
    const PhotoItem* lowest = nullptr;
    const PhotoItem* highest = nullptr;
    double low = 0;
    double high = 0;
    for (const auto& photo : photos) {
        std::optional<double> number = MarkNumberOf(*photo, markColour);
        if (number && markColour != DisplaySettings::kMarkByTimeOfDay) {
            if (lowest == nullptr || *number < low) {
                lowest = photo.get();
                low = *number;
            }
            if (highest == nullptr || *number > high) {
                highest = photo.get();
                high = *number;
            }
        }
        legend.missing = legend.missing || !number;
        numbers.push_back(number);
    }

    if (markColour == DisplaySettings::kMarkByTimeOfDay) {
        legend.title = "撮影時刻";
        legend.low = "0 時";
        legend.high = "24 時";
        for (const std::optional<double>& hour : numbers) {
            result.colours.push_back(hour ? TimeOfDayColour(*hour) : kOtherColour);
        }
        return result;
    }

    legend.title = markColour == DisplaySettings::kMarkByIso ? "ISO 感度" : "焦点距離";
    if (lowest != nullptr) {
        legend.low = EndText(*lowest, markColour);
        legend.high = EndText(*highest, markColour);
    }
    const double logLow = std::log(low > 0 ? low : 1);
    const double span = std::log(high > 0 ? high : 1) - logLow;
    for (const std::optional<double>& number : numbers) {
        if (!number) {
            result.colours.push_back(kOtherColour);
        } else if (span <= 0) {
            result.colours.push_back(ViridisAt(0.5));
        } else {
            result.colours.push_back(ViridisAt((std::log(*number) - logLow) / span));
        }
    }
    return result;
}

MarkColouring ColourByCamera(const std::vector<std::unique_ptr<PhotoItem>>& photos) {
    MarkColouring result;
    std::vector<std::string> models;
    models.reserve(photos.size());
    std::map<std::string, size_t> counts;
    for (const auto& photo : photos) {
        models.push_back(CameraModelOf(*photo));
        if (!models.back().empty()) {
            ++counts[models.back()];
        }
    }
    std::vector<std::pair<std::string, size_t>> ranked(counts.begin(), counts.end());
    // Most photos first; the map's name order stays for equal counts.
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::map<std::string, Color> colourOf;
    ChartLegend& legend = result.legend;
    legend.kind = ChartLegend::Kind::Categories;
    for (size_t i = 0; i < ranked.size() && i < kOkabeIto.size(); ++i) {
        colourOf[ranked[i].first] = kOkabeIto[i];
        legend.entries.emplace_back(ranked[i].first, kOkabeIto[i]);
    }
    bool others = false;
    for (const std::string& model : models) {
        const auto found = colourOf.find(model);
        others = others || found == colourOf.end();
        result.colours.push_back(found != colourOf.end() ? found->second : kOtherColour);
    }
    if (others) {
        legend.entries.emplace_back("その他", kOtherColour);
    }
    return result;
}

} // namespace

Color ViridisAt(double t) {
    if (!(t > 0)) {
        return kViridis.front();
    }
    if (t >= 1) {
        return kViridis.back();
    }
    const double at = t * (kViridis.size() - 1);
    const auto below = static_cast<size_t>(at);
    const double f = at - static_cast<double>(below);
    const Color& a = kViridis[below];
    const Color& b = kViridis[below + 1];
    return {Mix(a.r, b.r, f), Mix(a.g, b.g, f), Mix(a.b, b.b, f)};
}

Color TimeOfDayColour(double hour) {
    double at = std::fmod(hour, 24.0) / 6.0;
    if (!(at >= 0)) {
        at = at < 0 ? at + 4 : 0;  // before midnight, or not a number
    }
    const auto below = std::min<size_t>(static_cast<size_t>(at), kDayColours.size() - 1);
    const double f = at - static_cast<double>(below);
    const Color& a = kDayColours[below];
    const Color& b = kDayColours[(below + 1) % kDayColours.size()];
    return {Mix(a.r, b.r, f), Mix(a.g, b.g, f), Mix(a.b, b.b, f)};
}

std::string CutInMiddle(const std::string& text, int32_t maxWidth,
                        const std::function<int32_t(const std::string&)>& width) {
    if (width(text) <= maxWidth) {
        return text;
    }
    const std::vector<size_t> starts = CharacterStarts(text);
    if (starts.size() < 3) {
        return kEllipsis;
    }
    for (size_t kept = starts.size() - 1; kept >= 2; --kept) {
        const size_t head = std::max<size_t>(1, kept / 3);
        const size_t tailFrom = starts[starts.size() - (kept - head)];
        std::string cut = text.substr(0, starts[head]) + kEllipsis + text.substr(tailFrom);
        if (width(cut) <= maxWidth) {
            return cut;
        }
    }
    return kEllipsis;
}

std::string CameraModelOf(const PhotoItem& photo) {
    CExifEntryInfo entry;
    if (photo.exif.FindEntry(kTagModel, entry) != 0) {
        return {};
    }
    std::string model = DecodeExifText(entry.text);
    while (!model.empty() && (model.back() == ' ' || model.back() == '\t')) {
        model.pop_back();
    }
    return model;
}

std::optional<double> MarkNumberOf(const PhotoItem& photo, int32_t markColour) {
    switch (markColour) {
    case DisplaySettings::kMarkByIso:
        return photo.iso > 0 ? std::optional<double>(photo.iso) : std::nullopt;
    case DisplaySettings::kMarkByFocalLength: {
        CExifEntryInfo entry;
        if (photo.exif.FindEntry(kTagFocalLength, entry) != 0 || entry.numerators[0] <= 0 ||
            entry.denominators[0] <= 0) {
            return std::nullopt;
        }
        return static_cast<double>(entry.numerators[0]) / entry.denominators[0];
    }
    case DisplaySettings::kMarkByTimeOfDay: {
        CExifEntryInfo entry;
        if (photo.exif.FindEntry(kTagDateTimeOriginal, entry) != 0) {
            return std::nullopt;
        }
        return HourOfDay(entry.text);
    }
    default:
        return std::nullopt;
    }
}

MarkColouring ColourMarks(const std::vector<std::unique_ptr<PhotoItem>>& photos, int32_t markColour) {
    switch (markColour) {
    case DisplaySettings::kMarkByIso:
    case DisplaySettings::kMarkByFocalLength:
    case DisplaySettings::kMarkByTimeOfDay:
        return ColourByNumber(photos, markColour);
    case DisplaySettings::kMarkByCamera:
        return ColourByCamera(photos);
    default: {
        MarkColouring red;
        red.colours.assign(photos.size(), kMarkColour);
        return red;
    }
    }
}

void DrawLegend(Canvas& canvas, const ChartLegend& legend, int32_t magnify) {
    const int32_t font = LabelPointTenths(canvas, magnify);
    const auto box = [&](int32_t left, int32_t top, int32_t right, int32_t bottom) {
        return ChartToCanvas(canvas, Rect{left, top, right, bottom}, magnify);
    };
    const int32_t top = kLegendBox.top;
    if (legend.kind == ChartLegend::Kind::Scale) {
        // Title above the bar, its left edge on the bar's; the ends' texts either side of the bar.
        canvas.DrawText(box(kBarLeft, top, kBarRight - 16, top + 12), legend.title, TextAlign::LeftMiddle, font);
        if (legend.missing) {
            canvas.DrawEllipse(box(kBarRight - 14, top + 2, kBarRight - 5, top + 11), kOtherColour);
            canvas.DrawText(box(kBarRight - 2, top, kLegendBox.right, top + 12), "なし", TextAlign::LeftMiddle, font);
        }
        const int32_t barTop = top + 16;
        const int32_t barBottom = top + 26;
        const auto steps = static_cast<int32_t>(legend.bar.size());
        for (int32_t i = 0; i < steps; ++i) {
            const int32_t left = kBarLeft + (kBarRight - kBarLeft) * i / steps;
            const int32_t right = kBarLeft + (kBarRight - kBarLeft) * (i + 1) / steps;
            canvas.FillRect(box(left, barTop, right, barBottom), legend.bar[static_cast<size_t>(i)]);
        }
        canvas.DrawText(box(kLegendBox.left, barTop - 2, kBarLeft - 3, barBottom + 2), legend.low,
                        TextAlign::RightMiddle, font);
        canvas.DrawText(box(kBarRight + 3, barTop - 2, kLegendBox.right, barBottom + 2), legend.high,
                        TextAlign::LeftMiddle, font);
        return;
    }
    if (legend.kind != ChartLegend::Kind::Categories || legend.entries.empty()) {
        return;
    }
    // Columns of three, down then across, the last column ending at the box's right edge; every
    // column as wide as the longest name needs, within a third of the chart and the box.
    const auto count = static_cast<int32_t>(legend.entries.size());
    const int32_t columns = (count + kEntryRows - 1) / kEntryRows;
    const auto inChartUnits = [&](int32_t canvasWidth) {
        return canvas.IsPrinter() ? canvasWidth : (canvasWidth * 100 + magnify - 1) / std::max(1, magnify);
    };
    int32_t longest = 0;
    for (const auto& entry : legend.entries) {
        longest = std::max(longest, inChartUnits(canvas.TextWidth(entry.first, font)));
    }
    const int32_t entryWidth = std::min({kDiscAndGap + longest + kAfterName, kLegendEntryMax,
                                         (kLegendBox.right - kLegendBox.left) / columns});
    const int32_t firstLeft = kLegendBox.right - columns * entryWidth + kAfterName;
    const auto measure = [&](const std::string& text) { return canvas.TextWidth(text, font); };
    for (int32_t i = 0; i < count; ++i) {
        const auto& [name, colour] = legend.entries[static_cast<size_t>(i)];
        const int32_t left = firstLeft + (i / kEntryRows) * entryWidth;
        const int32_t entryTop = top + (i % kEntryRows) * kEntryHeight;
        canvas.DrawEllipse(box(left, entryTop + 1, left + 9, entryTop + 10), colour);
        const Rect nameBox = box(left + kDiscAndGap, entryTop, left + entryWidth - kAfterName, entryTop + kEntryHeight);
        canvas.DrawText(nameBox, CutInMiddle(name, nameBox.width(), measure), TextAlign::LeftMiddle, font);
    }
}
