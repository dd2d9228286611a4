#include "collection/CsvExport.h"
#include "collection/StatBins.h"
#include "photo/CExifAnalize.h"
#include "photo/FocalEquivalent.h"
#include "photo/PhotoItem.h"
#include "tests/collection/CollectionTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kestory::test;

namespace {

// Nominal values, one-third-stop rounding on either side of a bin edge, and codes beyond the tables.
TEST(StatBins, CodesAndLabels) {
    const struct {
        StatValue value;
        int32_t code;
        const char* label;
    } cases[] = {
        {StatValue::Aperture, ApertureCode(2.8), "F2.8"},
        {StatValue::Aperture, ApertureCode(3.36), "F3.2"},  // 3 x AV = 10.49
        {StatValue::Aperture, ApertureCode(3.37), "F3.5"},  // 10.52
        {StatValue::Aperture, ApertureCode(0.95), "F1.0"},
        {StatValue::Aperture, ApertureCode(0.7), "F0.7"},
        {StatValue::Aperture, ApertureCode(128), "F128"},
        {StatValue::Shutter, ShutterCode(1.0 / 125), "1/125"},
        {StatValue::Shutter, ShutterCode(1.0 / 60), "1/60"},
        {StatValue::Shutter, ShutterCode(0.3), "0.3 秒"},
        {StatValue::Shutter, ShutterCode(30), "30 秒"},
        {StatValue::Shutter, ShutterCode(128), "128 秒"},
        {StatValue::Shutter, ShutterCode(1.0 / 65536), "1/65536"},
        {StatValue::Iso, IsoCode(125), "ISO 125"},
        {StatValue::Iso, IsoCode(140), "ISO 125"},  // 3 x log2(1.4) = 1.46
        {StatValue::Iso, IsoCode(150), "ISO 160"},  // 1.75
        {StatValue::Iso, IsoCode(51200), "ISO 51200"},
        {StatValue::Iso, IsoCode(12), "ISO 13"},  // code -9: 12.5
        {StatValue::Iso, IsoCode(0), "不明"},
        {StatValue::Focal, FocalBin(35), "35 mm"},
        {StatValue::Focal, FocalBin(37), "35 mm"},
        {StatValue::Focal, FocalBin(38), "40 mm"},
        {StatValue::Focal, FocalBin(52), "50 mm"},
        {StatValue::Focal, FocalBin(53), "55 mm"},
        {StatValue::Focal35, FocalBin(204), "200 mm"},
        {StatValue::Focal35, FocalBin(205), "210 mm"},
        {StatValue::Focal, FocalBin(424), "400 mm"},
        {StatValue::Focal, FocalBin(1234), "1200 mm"},
        {StatValue::Focal, FocalBin(0), "不明"},
        {StatValue::Ev, 11, "EV 11"},
        {StatValue::Hour, 0, "0 時"},
        {StatValue::Weekday, 6, "日"},
        {StatValue::Month, 12, "12 月"},
        {StatValue::Year, 2011, "2011 年"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StatCodeLabel(c.value, c.code), c.label) << c.label;
    }
}

// Sensor sides = pixels / (pixels per unit) x millimetres per unit; equivalent = focal x 43.27 / diagonal.
TEST(StatBins, FocalLength35mmEquivalent) {
    const auto focalPlane = [](uint16_t unit) {
        JpegBuilder b = MinimalPhoto();
        b.rational(kExifDirectory, 0x920A, 50, 1).longValue(kExifDirectory, 0xA002, 6000);
        b.longValue(kExifDirectory, 0xA003, 4000).rational(kExifDirectory, 0xA20E, 2500, 1);
        b.rational(kExifDirectory, 0xA20F, 2500, 1);
        if (unit != 0) {
            b.shortValue(kExifDirectory, 0xA210, unit);
        }
        return b;
    };
    const struct {
        const char* name;
        JpegBuilder builder;
        int32_t mm;
    } cases[] = {
        // 6000 x 4000 px at 2500 px/cm: 24 x 16 mm, diagonal 28.84 mm; 50 x 1.5001 = 75.0.
        {"centimetres", focalPlane(3), 75},
        // The same numbers per inch: 60.96 x 40.64 mm, diagonal 73.27 mm; 50 x 0.5906 = 29.5.
        {"inches", focalPlane(2), 30},
        {"inches when no unit is written", focalPlane(0), 30},
        {"no absolute unit", focalPlane(1), -1},
        {"written by the camera wins", focalPlane(3).shortValue(kExifDirectory, 0xA405, 28), 28},
        {"written as 0 is unknown", focalPlane(3).shortValue(kExifDirectory, 0xA405, 0), 75},
        {"no focal plane", MinimalPhoto().rational(kExifDirectory, 0x920A, 50, 1), -1},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> bytes = c.builder.build();
        CExifAnalize exif;
        ASSERT_EQ(exif.ReadMemory(bytes.data(), bytes.size()), 0) << c.name;
        EXPECT_EQ(FocalLength35mm(exif), c.mm) << c.name;
    }
}

FilterKeys Photo(std::string camera, std::string lens, int32_t focal, int32_t hour) {
    FilterKeys k;
    k.list = {std::move(camera), std::move(lens), ""};
    k.statCodes.fill(kNoStatCode);
    k.statCodes[static_cast<size_t>(StatValue::Focal)] = FocalBin(focal);
    k.statCodes[static_cast<size_t>(StatValue::Hour)] = hour;
    return k;
}
const std::vector<FilterKeys> kFour = {
    Photo("A", "L1", 50, 9), Photo("A", "L2", 35, 9), Photo("B", "L1", 50, 23), Photo("", "L1", 0, kNoStatCode)};

struct Bar {
    std::string label;
    size_t count, selected;
    bool chosen;
    friend bool operator==(const Bar&, const Bar&) = default;
};
std::vector<Bar> Bars(const StatHistogram& h) {
    std::vector<Bar> bars;
    for (const StatBin& bin : h.bins) {
        if (bin.count != 0 || bin.chosen) {
            bars.push_back({bin.label, bin.count, bin.selected, bin.chosen});
        }
    }
    return bars;
}

// The counts follow the other criteria; the bars' own filter leaves its value's counts alone but
// keeps the photos of other bins out of every other value's counts.
TEST(StatBins, CountsFollowTheFilters) {
    PhotoFilter cameraA;
    cameraA.chosen[kFilterCamera] = {"A"};
    const StatHistogram all = CountStatBins(kFour, {}, StatValue::Focal, {true, false, true, false});
    EXPECT_EQ(Bars(all), (std::vector<Bar>{{"35 mm", 1, 0, false}, {"50 mm", 2, 2, false}, {"不明", 1, 0, false}}));
    EXPECT_EQ(TopBinsText(all), "最も多い: 50 mm (50 %)、35 mm (25 %)");
    EXPECT_EQ(Bars(CountStatBins(kFour, cameraA, StatValue::Focal)),
              (std::vector<Bar>{{"35 mm", 1, 0, false}, {"50 mm", 1, 0, false}}));

    const PhotoFilter fifty = WithStatBin({}, StatValue::Focal, all.bins[1], false);
    EXPECT_EQ(Bars(CountStatBins(kFour, fifty, StatValue::Focal)),
              (std::vector<Bar>{{"35 mm", 1, 0, false}, {"50 mm", 2, 0, true}, {"不明", 1, 0, false}}));
    const StatHistogram hours = CountStatBins(kFour, fifty, StatValue::Hour);
    EXPECT_EQ(hours.bins.size(), 24u);  // every hour, held or not
    EXPECT_EQ(Bars(hours), (std::vector<Bar>{{"9 時", 1, 0, false}, {"23 時", 1, 0, false}}));
    EXPECT_EQ(StatBinFilterText(fifty.statBins), "焦点距離: 50 mm");

    // Shift adds to bars of the same value; a plain click, or another value, starts again.
    EXPECT_EQ(WithStatBin(fifty, StatValue::Focal, all.bins[0], true).statBins.codes, (std::set<int32_t>{35, 50}));
    EXPECT_EQ(WithStatBin(fifty, StatValue::Focal, all.bins[0], false).statBins.codes, (std::set<int32_t>{35}));
    const PhotoFilter lens = WithStatBin(fifty, StatValue::Lens, {"L2", {}, {"L2"}}, true);
    EXPECT_TRUE(lens.statBins.codes.empty());
    EXPECT_EQ(lens.statBins.names, (std::set<std::string>{"L2"}));
}

// Names: most frequent first, twenty bars and "その他" on the panel, every name in the file.
TEST(StatBins, NamesAndTheirFile) {
    std::vector<FilterKeys> keys;
    for (int lens = 0; lens < 22; ++lens) {
        for (int copy = 0; copy <= lens; ++copy) {
            keys.push_back(Photo("A", "L" + std::to_string(lens), 50, 0));
        }
    }
    keys.push_back(Photo("A", "", 50, 0));
    const StatHistogram panel = CountStatBins(keys, {}, StatValue::Lens);
    ASSERT_EQ(panel.bins.size(), 22u);
    EXPECT_EQ(panel.bins[0].label, "L21");
    EXPECT_EQ(panel.bins[20].label, "その他");
    EXPECT_EQ(panel.bins[20].names, (std::vector<std::string>{"L1", "L0"}));
    EXPECT_EQ(panel.bins[20].count, 3u);
    EXPECT_EQ(panel.bins[21].label, "不明");
    EXPECT_EQ(CountStatBins(keys, {}, StatValue::Lens, {}, 0).bins.size(), 23u);

    const StatHistogram camera = CountStatBins({Photo("=X, \"Y\"", "", 50, 0), Photo("", "", 50, 0),
                                                Photo("=X, \"Y\"", "", 50, 0)},
                                               {}, StatValue::Camera);
    const std::string text = "区分,枚数,割合 (%)\r\n\"'=X, \"\"Y\"\"\",2,66.7\r\n不明,1,33.3\r\n";
    EXPECT_EQ(FormatStatCsv(camera), text);
    TempDir dir;
    std::string cp932;
    ASSERT_TRUE(EncodeCp932(text, cp932));
    ASSERT_EQ(WriteStatCsv(camera, dir / "bins.csv"), 1);
    EXPECT_EQ(ReadText(dir / "bins.csv"), cp932);
    EXPECT_EQ(cp932.substr(0, 4), "\x8b\xe6\x95\xaa");  // 区分
}

// The shooting time of a loaded photo: 2011:01:02 03:04:05 was a Sunday.
TEST(StatBins, CodesOfALoadedPhoto) {
    TempDir dir;
    ASSERT_TRUE(CameraLikeJpeg().writeTo(dir / "a.jpg"));
    PhotoItem photo;
    ASSERT_EQ(photo.Load(dir / "a.jpg", PhotoItem::kModeThumbnail), 0);
    const FilterKeys keys = FilterKeysOf(photo);
    const auto label = [&](StatValue value) { return StatCodeLabel(value, keys.statCodes[static_cast<size_t>(value)]); };
    EXPECT_EQ(label(StatValue::Aperture), "F5.6");
    EXPECT_EQ(label(StatValue::Shutter), "1/125");
    EXPECT_EQ(label(StatValue::Iso), "ISO 400");
    EXPECT_EQ(label(StatValue::Focal), "50 mm");
    EXPECT_EQ(label(StatValue::Focal35), "不明");
    EXPECT_EQ(label(StatValue::Hour), "3 時");
    EXPECT_EQ(label(StatValue::Weekday), "日");
    EXPECT_EQ(label(StatValue::Month), "1 月");
    EXPECT_EQ(label(StatValue::Year), "2011 年");
}

} // namespace
