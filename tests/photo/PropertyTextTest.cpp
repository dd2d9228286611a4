#include "photo/PropertyText.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <set>
#include <string>

namespace {

CExifEntryInfo Rational(uint16_t tag, int32_t n, int32_t d) {
    CExifEntryInfo e;
    e.tag = tag;
    e.type = 5;
    e.count = 1;
    e.numerators[0] = n;
    e.denominators[0] = d;
    return e;
}

CExifEntryInfo Number(uint16_t tag, int32_t value) {
    CExifEntryInfo e;
    e.tag = tag;
    e.type = 3;
    e.count = 1;
    e.value = value;
    return e;
}

CExifEntryInfo Ascii(uint16_t tag, const std::string& text) {
    CExifEntryInfo e;
    e.tag = tag;
    e.type = 2;
    e.count = static_cast<uint32_t>(text.size() + 1);
    e.text = text;
    return e;
}

struct Case {
    const char* name;
    CExifEntryInfo entry;
    const char* label;
    const char* display;
    const char* plain;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class FormatPropertyTable : public testing::TestWithParam<Case> {};

TEST_P(FormatPropertyTable, GivesLabelDisplayAndPlainValue) {
    const Case& c = GetParam();
    PropertyText out;
    EXPECT_EQ(FormatProperty(&c.entry, c.entry.tag, out), 1);
    EXPECT_EQ(out.label, c.label);
    EXPECT_EQ(out.displayValue, c.display);
    EXPECT_EQ(out.plainValue, c.plain);
}

INSTANTIATE_TEST_SUITE_P(
    ExposureTime, FormatPropertyTable,
    testing::Values(
        Case{"quarter_thousandth", Rational(0x829A, 1, 4000), "シャッター速度", "1/4000 秒", "1/4000"},
        Case{"whole_seconds", Rational(0x829A, 30, 1), "シャッター速度", "30 秒", "30"},
        Case{"reducible", Rational(0x829A, 10, 2500), "シャッター速度", "1/250 秒", "1/250"},
        Case{"ten_thirtieths", Rational(0x829A, 10, 30), "シャッター速度", "1/3 秒", "1/3"},
        Case{"equal_parts", Rational(0x829A, 10, 10), "シャッター速度", "1/1 秒", "1/1"},
        Case{"above_one_second", Rational(0x829A, 25, 10), "シャッター速度", "2.5 秒", "2.5"},
        Case{"below_one_second", Rational(0x829A, 4, 10), "シャッター速度", "0.40 秒", "0.40"},
        Case{"three_tenths", Rational(0x829A, 3, 10), "シャッター速度", "0.30 秒", "0.30"},
        // Under a tenth of a second: the nearest 1/N, not "0.00".
        Case{"fast_not_whole", Rational(0x829A, 10, 2187), "シャッター速度", "1/219 秒", "1/219"},
        Case{"fast_half_up", Rational(0x829A, 2, 21), "シャッター速度", "1/11 秒", "1/11"},
        Case{"fast_just_under_a_tenth", Rational(0x829A, 10, 101), "シャッター速度", "1/10 秒", "1/10"},
        Case{"fast_largest", Rational(0x829A, 2, INT32_MAX), "シャッター速度", "1/1073741824 秒",
             "1/1073741824"},
        Case{"a_tenth_and_more", Rational(0x829A, 11, 109), "シャッター速度", "0.10 秒", "0.10"},
        Case{"zero_denominator", Rational(0x829A, 1, 0), "シャッター速度", "分母０ 秒", "分母０"},
        Case{"zero_numerator", Rational(0x829A, 0, 125), "シャッター速度", "0 秒", "0"},
        Case{"zero_over_one", Rational(0x829A, 0, 1), "シャッター速度", "0 秒", "0"},
        Case{"int_min_over_minus_one", Rational(0x829A, -1, INT32_MIN), "シャッター速度", "1/2147483648 秒",
             "1/2147483648"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    FNumber, FormatPropertyTable,
    testing::Values(Case{"tenths", Rational(0x829D, 56, 10), "絞り値", "F/5.6", "5.6"},
                    Case{"whole", Rational(0x829D, 8, 1), "絞り値", "F/8.0", "8.0"},
                    Case{"twenty_eight_tenths", Rational(0x829D, 28, 10), "絞り値", "F/2.8", "2.8"},
                    // RATIONAL is unsigned: the bits 0xFFFFFFFF read as 4294967295, not -1.
                    Case{"unsigned_bits", Rational(0x829D, -1, 1), "絞り値", "F/4294967296.0",
                         "4294967296.0"},
                    Case{"zero_denominator", Rational(0x829D, 28, 0), "絞り値", "F/分母０", "分母０"},
                    Case{"zero_numerator", Rational(0x829D, 0, 10), "絞り値", "F/0.0", "0.0"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    ExposureBias, FormatPropertyTable,
    testing::Values(Case{"zero", Rational(0x9204, 0, 1), "露出補正", "0 ステップ", "0"},
                    Case{"zero_thirds", Rational(0x9204, 0, 3), "露出補正", "0 ステップ", "0"},
                    Case{"third_up", Rational(0x9204, 1, 3), "露出補正", "+0.3 ステップ", "+0.3"},
                    Case{"third_down", Rational(0x9204, -1, 3), "露出補正", "-0.3 ステップ", "-0.3"},
                    Case{"two_thirds_down", Rational(0x9204, -2, 3), "露出補正", "-0.7 ステップ", "-0.7"},
                    Case{"two_up", Rational(0x9204, 6, 3), "露出補正", "+2 ステップ", "+2"},
                    Case{"two_down", Rational(0x9204, -6, 3), "露出補正", "-2 ステップ", "-2"},
                    Case{"zero_denominator", Rational(0x9204, 1, 0), "露出補正", "分母０ ステップ", "分母０"},
                    Case{"int_min_over_minus_one", Rational(0x9204, INT32_MIN, -1), "露出補正",
                         "+2147483648 ステップ", "+2147483648"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    FocalLength, FormatPropertyTable,
    testing::Values(Case{"half_up", Rational(0x920A, 185, 10), "焦点距離", "19 mm", "19"},
                    Case{"below_half", Rational(0x920A, 184, 10), "焦点距離", "18 mm", "18"},
                    Case{"whole", Rational(0x920A, 50, 1), "焦点距離", "50 mm", "50"},
                    Case{"zero_denominator", Rational(0x920A, 50, 0), "焦点距離", "分母０ mm", "分母０"},
                    // n + d / 2 passes 2^32: no wrap to a tiny focal length.
                    Case{"no_wrap", Rational(0x920A, -1, -2), "焦点距離", "1 mm", "1"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Numbers, FormatPropertyTable,
                         testing::Values(Case{"iso", Number(0x8827, 400), "感度", "ISO400", "400"},
                                         Case{"iso_high", Number(0x8827, 51200), "感度", "ISO51200", "51200"},
                                         Case{"width", Number(0xA002, 6000), "幅", "6000 ピクセル", "6000"},
                                         Case{"height", Number(0xA003, 4000), "高さ", "4000 ピクセル",
                                              "4000"},
                                         Case{"flash_fired", Number(0x9209, 0x19), "フラッシュ",
                                              "フラッシュ有り", "フラッシュ有り"},
                                         Case{"flash_not_fired", Number(0x9209, 0x18), "フラッシュ",
                                              "フラッシュなし", "フラッシュなし"}),
                         [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Enumerations, FormatPropertyTable,
    testing::Values(Case{"program_zero", Number(0x8822, 0), "露出プログラム", "未定義", "未定義"},
                    Case{"program_aperture", Number(0x8822, 3), "露出プログラム", "絞り優先", "絞り優先"},
                    Case{"program_nine", Number(0x8822, 9), "露出プログラム", "未定義", "未定義"},
                    Case{"metering_zero", Number(0x9207, 0), "測光モード", "不明", "不明"},
                    Case{"metering_pattern", Number(0x9207, 5), "測光モード", "分割測光", "分割測光"},
                    Case{"light_flash", Number(0x9208, 4), "光源", "不明", "不明"},
                    Case{"light_a", Number(0x9208, 17), "光源", "標準光Ａ", "標準光Ａ"},
                    Case{"light_d65", Number(0x9208, 21), "光源", "Ｄ６５", "Ｄ６５"},
                    Case{"light_other", Number(0x9208, 255), "光源", "その他", "その他"},
                    Case{"wb_auto", Number(0xA403, 0), "ホワイトバランス", "自動ホワイトバランス",
                         "自動ホワイトバランス"},
                    Case{"wb_two", Number(0xA403, 2), "ホワイトバランス", "不明", "不明"},
                    Case{"srgb", Number(0xA001, 1), "色空間", "sRGB", "sRGB"},
                    // 0xFFFF arrives sign-extended.
                    Case{"uncalibrated", Number(0xA001, -1), "色空間", "Uncalibrated", "Uncalibrated"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Texts, FormatPropertyTable,
    testing::Values(Case{"make", Ascii(0x010F, "Canon"), "カメラメーカー", "Canon", "Canon"},
                    Case{"model_cp932_bytes", Ascii(0x0110, "\x83\x4a\x83\x81\x83\x89"), "モデル",
                         "\x83\x4a\x83\x81\x83\x89", "\x83\x4a\x83\x81\x83\x89"},
                    Case{"software", Ascii(0x0131, "Ver.1.0"), "ソフトウェア", "Ver.1.0", "Ver.1.0"},
                    Case{"lens_make", Ascii(0xA433, "Sigma"), "レンズメーカー", "Sigma", "Sigma"},
                    Case{"lens_model", Ascii(0xA434, "50mm F1.4"), "レンズモデル", "50mm F1.4", "50mm F1.4"},
                    Case{"date", Ascii(0x9003, "2011:01:02 03:04:05"), "撮影日時", "2011/01/02 03:04:05",
                         "2011/01/02 03:04:05"},
                    Case{"date_short", Ascii(0x9003, "2011:0"), "撮影日時", "2011/0", "2011/0"},
                    Case{"date_four", Ascii(0x9003, "2011"), "撮影日時", "2011", "2011"},
                    Case{"date_empty", Ascii(0x9003, ""), "撮影日時", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FormatProperty, SupportedTagWithoutEntryGivesLabelOnly) {
    for (uint16_t tag : kPanelPropertyTags) {
        PropertyText out{"old", "old", "old"};
        EXPECT_EQ(FormatProperty(nullptr, tag, out), 1) << std::hex << tag;
        EXPECT_FALSE(out.label.empty()) << std::hex << tag;
        EXPECT_EQ(out.displayValue, "") << std::hex << tag;
        EXPECT_EQ(out.plainValue, "") << std::hex << tag;
    }
    PropertyText lens;
    EXPECT_EQ(FormatProperty(nullptr, 0xA434, lens), 1);
    EXPECT_EQ(lens.label, "レンズモデル");
}

TEST(FormatProperty, UnsupportedTagClearsEverything) {
    const CExifEntryInfo orientation = Number(0x0112, 6);
    PropertyText out{"old", "old", "old"};
    EXPECT_EQ(FormatProperty(&orientation, 0x0112, out), 0);
    EXPECT_EQ(out.label, "");
    EXPECT_EQ(out.displayValue, "");
    EXPECT_EQ(out.plainValue, "");
}

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::string expected;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class DecodeExifTextTable : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeExifTextTable, GivesReadableUtf8) {
    EXPECT_EQ(DecodeExifText(GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DecodeExifTextTable,
    testing::Values(DecodeCase{"ascii", "Canon EOS", "Canon EOS"}, DecodeCase{"empty", "", ""},
                    DecodeCase{"utf8_passes", "カメラ", "カメラ"},
                    DecodeCase{"cp932_katakana", "\x83\x4a\x83\x81\x83\x89", "カメラ"},
                    // The trail byte 0x5C must not be taken for a backslash.
                    DecodeCase{"cp932_so", "\x83\x5c", "ソ"},
                    DecodeCase{"cp932_mixed", "Model \x83\x4a\x83\x81\x83\x89 2", "Model カメラ 2"},
                    DecodeCase{"cp932_halfwidth", "\xB6\xD2\xD7", "ｶﾒﾗ"},
                    DecodeCase{"cut_off_lead_byte", "AB\x83", "AB\xEF\xBF\xBD"},
                    DecodeCase{"undefined_byte",
                               "A\xA0"
                               "B",
                               "A\xEF\xBF\xBD"
                               "B"},
                    // An overlong UTF-8 form is no UTF-8: the bytes are read as half-width katakana.
                    DecodeCase{"overlong_utf8_is_not_utf8", "\xC0\xAF", "ﾀｯ"}),
    [](const auto& info) { return std::string(info.param.name); });

bool IsValidUtf8(const std::string& s) {
    // Round trip through the decoder: valid UTF-8 is returned unchanged.
    return DecodeExifText(s) == s;
}

TEST(DecodeExifText, GarbageAlwaysGivesValidUtf8) {
    std::string every;
    for (int b = 1; b < 256; ++b) {
        every.push_back(static_cast<char>(b));
    }
    const std::string samples[] = {every, std::string("\xFF\xFE\xFD\x80\x81", 5), std::string(1, '\x81'),
                                   std::string("\xEF\xBF", 2), std::string("a\0b", 3)};
    for (const std::string& bytes : samples) {
        const std::string decoded = DecodeExifText(bytes);
        EXPECT_FALSE(decoded.empty());
        EXPECT_TRUE(IsValidUtf8(decoded));
    }
}

} // namespace
