#include "photo/PropertyText.h"

#include "photo/NumberText.h"

#include <iconv.h>

#include <cerrno>

namespace {

// What a zero denominator reads as, in every fraction text.
constexpr const char* kZeroDenominator = "分母０";

// EXIF RATIONALs are unsigned; the reader keeps them as signed 32-bit numbers, so the unsigned
// readings take the bits back.
uint32_t Unsigned(int32_t value) {
    return static_cast<uint32_t>(value);
}

std::string FNumberText(int32_t n, int32_t d) {
    if (d == 0) {
        return kZeroDenominator;
    }
    const double number = static_cast<double>(Unsigned(n)) / static_cast<double>(Unsigned(d));
    return FormatFixed(static_cast<double>(static_cast<float>(number)), 1);
}

// Seconds: "2", "1/250", "1/219", "2.5", "0.30". The divisibility tests run in 64 bits so that
// INT32_MIN and -1 never meet in a 32-bit division.
std::string ExposureTimeText(int32_t n, int32_t d) {
    if (d == 0) {
        return kZeroDenominator;
    }
    if (d == 1) {
        return FormatInteger(n);
    }
    if (n == 0) {
        return "0";
    }
    const int64_t num = n;
    const int64_t den = d;
    if (den % num == 0) {
        return "1/" + FormatInteger(den / num);
    }
    // Under a tenth of a second two decimals say little (10/2187 s would read "0.00"): the nearest
    // 1/N instead, halves up.
    if (num > 0 && 10 * num < den) {
        return "1/" + FormatInteger((2 * den + num) / (2 * num));
    }
    const float seconds = static_cast<float>(static_cast<double>(n) / static_cast<double>(d));
    return FormatFixed(static_cast<double>(seconds), d < n ? 1 : 2);
}

// Steps: "0", "+2", "-0.7", "+0.3".
std::string ExposureBiasText(int32_t n, int32_t d) {
    if (d == 0) {
        return kZeroDenominator;
    }
    const int64_t num = n;
    const int64_t den = d;
    std::string text;
    if (num % den == 0) {
        text = FormatInteger(num / den);
    } else {
        text = FormatFixed(static_cast<double>(n) / static_cast<double>(d), 1);
    }
    if (static_cast<double>(n) / static_cast<double>(d) > 0) {
        text.insert(0, "+");
    }
    return text;
}

// Whole millimetres, halves up. In 64 bits, so that n + d / 2 cannot wrap.
std::string FocalLengthText(int32_t n, int32_t d) {
    const uint64_t num = Unsigned(n);
    const uint64_t den = Unsigned(d);
    if (den == 0) {
        return kZeroDenominator;
    }
    return FormatInteger(static_cast<int64_t>((num + den / 2) / den));
}

const char* ExposureProgramText(int32_t value) {
    switch (value) {
    case 1:
        return "マニュアル";
    case 2:
        return "通常のプログラム";
    case 3:
        return "絞り優先";
    case 4:
        return "シャッター優先";
    case 5:
        return "深度優先";
    case 6:
        return "スポーツ";
    case 7:
        return "ポートレート";
    case 8:
        return "風景";
    default:
        return "未定義";
    }
}

const char* MeteringModeText(int32_t value) {
    switch (value) {
    case 1:
        return "平均";
    case 2:
        return "中央重点";
    case 3:
        return "スポット";
    case 4:
        return "マルチスポット";
    case 5:
        return "分割測光";
    case 6:
        return "部分測光";
    case 255:
        return "その他";
    default:
        return "不明";
    }
}

const char* LightSourceText(int32_t value) {
    switch (value) {
    case 1:
        return "太陽光";
    case 2:
        return "蛍光灯";
    case 3:
        return "タングステン";
    case 17:
        return "標準光Ａ";
    case 18:
        return "標準光Ｂ";
    case 19:
        return "標準光Ｃ";
    case 20:
        return "Ｄ５５";
    case 21:
        return "Ｄ６５";
    case 22:
        return "Ｄ７５";
    case 255:
        return "その他";
    default:
        return "不明";
    }
}

const char* WhiteBalanceText(int32_t value) {
    switch (value) {
    case 0:
        return "自動ホワイトバランス";
    case 1:
        return "マニュアルホワイトバランス";
    default:
        return "不明";
    }
}

const char* ColorSpaceText(int32_t value) {
    switch (value) {
    case 1:
        return "sRGB";
    case 2:
        return "AdobeRGB";
    default:
        return "Uncalibrated";
    }
}

// "2010:05:23 12:34:56" -> "2010/05/23 12:34:56"; a shorter text gets only the positions it has.
std::string DateText(std::string text) {
    for (size_t position : {size_t{4}, size_t{7}}) {
        if (position < text.size()) {
            text[position] = '/';
        }
    }
    return text;
}

const char* LabelOf(uint16_t tag) {
    switch (tag) {
    case 0x010F:
        return "カメラメーカー";
    case 0x0110:
        return "モデル";
    case 0x0131:
        return "ソフトウェア";
    case 0x829D:
        return "絞り値";
    case 0x829A:
        return "シャッター速度";
    case 0x8827:
        return "感度";
    case 0x9204:
        return "露出補正";
    case 0x8822:
        return "露出プログラム";
    case 0x9207:
        return "測光モード";
    case 0x9208:
        return "光源";
    case 0xA403:
        return "ホワイトバランス";
    case 0xA001:
        return "色空間";
    case 0x9209:
        return "フラッシュ";
    case 0x920A:
        return "焦点距離";
    case 0xA002:
        return "幅";
    case 0xA003:
        return "高さ";
    case 0x9003:
        return "撮影日時";
    case 0xA433:
        return "レンズメーカー";
    case 0xA434:
        return "レンズモデル";
    default:
        return nullptr;
    }
}

// Length of the well-formed UTF-8 sequence at text[at], or 0 when it is not one (overlong forms,
// surrogates and code points above U+10FFFF are not).
size_t Utf8SequenceLength(const std::string& text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    size_t length = 0;
    uint8_t low = 0x80;
    uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    if (byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool IsUtf8(const std::string& text) {
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8SequenceLength(text, at);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

constexpr const char* kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// Keeps the well-formed sequences and replaces every other byte: the last resort when the
// converter cannot be opened.
std::string ReplaceInvalidUtf8(const std::string& text) {
    std::string out;
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8SequenceLength(text, at);
        if (length == 0) {
            out += kReplacement;
            ++at;
        } else {
            out.append(text, at, length);
            at += length;
        }
    }
    return out;
}

std::string DecodeCp932(const std::string& bytes) {
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return ReplaceInvalidUtf8(bytes);
    }
    std::string out;
    // One CP932 character (1 or 2 bytes) gives at most 3 UTF-8 bytes.
    std::string buffer(bytes.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        const size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        if (result != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            continue;
        }
        // EILSEQ: a byte that starts no character; EINVAL: a lead byte cut off at the end.
        out += kReplacement;
        ++in;
        --inLeft;
    }
    iconv_close(converter);
    return out;
}

} // namespace

int FormatProperty(const CExifEntryInfo* entry, uint16_t tag, PropertyText& out) {
    out.displayValue.clear();
    out.plainValue.clear();
    const char* label = LabelOf(tag);
    if (label == nullptr) {
        out.label.clear();
        return 0;
    }
    out.label = label;
    if (entry == nullptr) {
        return 1;
    }
    const int32_t n = entry->numerators[0];
    const int32_t d = entry->denominators[0];
    const int32_t value = entry->value;
    std::string& plain = out.plainValue;
    std::string& display = out.displayValue;
    switch (tag) {
    case 0x010F:
    case 0x0110:
    case 0x0131:
    case 0xA433:
    case 0xA434:
        plain = entry->text;
        display = plain;
        break;
    case 0x829D:
        plain = FNumberText(n, d);
        display = "F/" + plain;
        break;
    case 0x829A:
        plain = ExposureTimeText(n, d);
        display = plain + " 秒";
        break;
    case 0x8827:
        plain = FormatInteger(value);
        display = "ISO" + plain;
        break;
    case 0x9204:
        plain = ExposureBiasText(n, d);
        display = plain + " ステップ";
        break;
    case 0x8822:
        display = ExposureProgramText(value);
        plain = display;
        break;
    case 0x9207:
        display = MeteringModeText(value);
        plain = display;
        break;
    case 0x9208:
        display = LightSourceText(value);
        plain = display;
        break;
    case 0xA403:
        display = WhiteBalanceText(value);
        plain = display;
        break;
    case 0xA001:
        display = ColorSpaceText(value);
        plain = display;
        break;
    case 0x9209:
        display = (value & 1) != 0 ? "フラッシュ有り" : "フラッシュなし";
        plain = display;
        break;
    case 0x920A:
        plain = FocalLengthText(n, d);
        display = plain + " mm";
        break;
    case 0xA002:
    case 0xA003:
        plain = FormatInteger(value);
        display = plain + " ピクセル";
        break;
    case 0x9003:
        display = DateText(entry->text);
        plain = display;
        break;
    default:
        break;
    }
    return 1;
}

std::string DecodeExifText(const std::string& bytes) {
    if (IsUtf8(bytes)) {
        return bytes;
    }
    return DecodeCp932(bytes);
}
