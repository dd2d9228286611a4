#pragma once

#include "chart/Canvas.h"
#include "photo/Rect.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class PhotoItem;

// Colours that stay apart for colour-blind eyes and in grey print.
//
// Viridis sampled at nine even steps from 0 to 1: dark violet, blue, green, yellow. Lightness
// rises steadily, so the order of the values reads without the hues.
inline constexpr std::array<Color, 9> kViridis{{{68, 1, 84},
                                                {71, 45, 123},
                                                {59, 82, 139},
                                                {44, 114, 142},
                                                {33, 144, 140},
                                                {39, 173, 129},
                                                {93, 200, 99},
                                                {170, 220, 50},
                                                {253, 231, 37}}};
// Okabe and Ito's eight colours for unordered categories, in their order.
inline constexpr std::array<Color, 8> kOkabeIto{{{0, 0, 0},
                                                 {230, 159, 0},
                                                 {86, 180, 233},
                                                 {0, 158, 115},
                                                 {240, 228, 66},
                                                 {0, 114, 178},
                                                 {213, 94, 0},
                                                 {204, 121, 167}}};
// A photo without the value, and cameras beyond the eighth ("その他").
inline constexpr Color kOtherColour{150, 150, 150};

// Viridis at t (0 to 1, brought into that range), linear between the nine samples, rounded.
Color ViridisAt(double t);
// The colour of an hour of the day (0 to 24, taken round the clock), on a circle so that 23:59
// and 00:01 look alike: dark blue at midnight, sky blue at 6, yellow at noon, vermilion at 18
// (Okabe and Ito's hues, which stay apart for red-green blind eyes), linear between them.
Color TimeOfDayColour(double hour);

// The text cut in the middle to fit maxWidth as width measures it: a third of the characters
// kept from its start, the rest from its end, joined by "…", so that models that differ only at
// their end ("… IXUS 80 IS", "… IXUS 870 IS") stay apart. Whole UTF-8 characters; the text as it
// is when it fits, "…" alone when not even one character on each side does.
std::string CutInMiddle(const std::string& text, int32_t maxWidth,
                        const std::function<int32_t(const std::string&)>& width);

// The camera model (0x0110) as a person reads it, blanks at the end cut; empty when the photo has
// none.
std::string CameraModelOf(const PhotoItem& photo);
// The number a colour mode sorts photos by, or nothing when the photo lacks it: the ISO speed,
// the focal length in millimetres, or the hour of the day it was taken (DateTimeOriginal,
// 0 to 24, minutes and seconds as fractions).
std::optional<double> MarkNumberOf(const PhotoItem& photo, int32_t markColour);

// What the colours mean, drawn in the chart's free corner.
struct ChartLegend {
    enum class Kind { None, Scale, Categories };
    Kind kind = Kind::None;
    // Scale: a title, a bar of colours from low to high with a text at each end, and a grey
    // "なし" when some photos lack the value.
    std::string title;
    std::vector<Color> bar;
    std::string low;
    std::string high;
    bool missing = false;
    // Categories: name and colour, in the legend's order.
    std::vector<std::pair<std::string, Color>> entries;
};

// One colour per photo in collection order, and the legend that explains them.
//
// ISO speed and focal length run from the smallest to the largest value among the photos, on a
// logarithmic scale (one stop of ISO, or doubling the focal length, is always the same step of
// colour); one value alone takes the middle colour. The time of day runs round a fixed 0 to 24 h.
// Cameras are ranked by their number of photos (then by name); the first eight take Okabe and
// Ito's colours, the rest and photos without a model are grey "その他". Red gives every photo the
// red of the marks and no legend.
struct MarkColouring {
    std::vector<Color> colours;
    ChartLegend legend;
};
MarkColouring ColourMarks(const std::vector<std::unique_ptr<PhotoItem>>& photos, int32_t markColour);

// The free strip right of the caption and above the EV numbers of the top edge, in chart units.
inline constexpr Rect kLegendBox{480, 2, 748, 35};
// The widest a camera's name in the legend gets, disc included: a third of the chart.
inline constexpr int32_t kLegendEntryMax = 250;
// The legend in kLegendBox, in the label font: on screen scaled with the magnification. Camera
// columns are as wide as their longest name, up to kLegendEntryMax and as far as the box holds
// them all; a longer name is cut in the middle.
void DrawLegend(Canvas& canvas, const ChartLegend& legend, int32_t magnify);
