#include "collection/CsvExport.h"

#include "collection/OutputFile.h"
#include "photo/NumberText.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string_view>
#include <utility>

#include <iconv.h>

const char* const kCsvHeader =
    "JPEG,EV,AV,TV,感度補正,絞り値・Ｆ,シャッター速度・秒,感度・ISO,露出補正・ステップ,焦点距離・mm,"
    "幅・ピクセル,高さ・ピクセル,撮影日時,カメラメーカー,モデル,ソフトウェア,露出プログラム,測光モード,"
    "光源,ホワイトバランス,色空間,フラッシュ";

namespace {

constexpr std::string_view kLineEnd = "\r\n";

enum class Value { Plain, Display };

struct Column {
    uint16_t tag;
    Value value;
    bool exifText; // an ASCII tag: the camera's bytes, UTF-8 or code page 932
    bool text;     // words, not a number: guarded against being run as a formula
};

// Fields 6 to 22 of a line. Fields 6 to 12 are numbers this program formats ("-0.3", "+2" and
// "1/125 秒" as they stand); 13 to 22 are texts, the camera's own among them.
constexpr std::array<Column, 17> kPropertyColumns = {{
    {0x829D, Value::Plain, false, false},   // 絞り値・Ｆ
    {0x829A, Value::Display, false, false}, // シャッター速度・秒, with its unit
    {0x8827, Value::Plain, false, false},   // 感度・ISO
    {0x9204, Value::Plain, false, false},   // 露出補正・ステップ
    {0x920A, Value::Plain, false, false},   // 焦点距離・mm
    {0xA002, Value::Plain, false, false},   // 幅・ピクセル
    {0xA003, Value::Plain, false, false},   // 高さ・ピクセル
    {0x9003, Value::Display, true, true},   // 撮影日時, with "/" in the date
    {0x010F, Value::Display, true, true},   // カメラメーカー
    {0x0110, Value::Display, true, true},   // モデル
    {0x0131, Value::Plain, true, true},     // ソフトウェア
    {0x8822, Value::Plain, false, true},    // 露出プログラム
    {0x9207, Value::Plain, false, true},    // 測光モード
    {0x9208, Value::Plain, false, true},    // 光源
    {0xA403, Value::Plain, false, true},    // ホワイトバランス
    {0xA001, Value::Plain, false, true},    // 色空間
    {0x9209, Value::Plain, false, true},    // フラッシュ
}};

void AppendField(std::string& line, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += field;
        return;
    }
    line += '"';
    for (char c : field) {
        if (c == '"') {
            line += '"';
        }
        line += c;
    }
    line += '"';
}

// A spreadsheet takes a cell that begins with one of these for a formula and runs it (a camera's
// Make of =HYPERLINK(...), say); a leading single quote makes it plain text there.
void AppendTextField(std::string& line, std::string_view field) {
    if (!field.empty() && std::string_view("=+-@\t\r").find(field.front()) != std::string_view::npos) {
        // Built piece by piece: GCC 12 at -O3 takes "'" + std::string for an overlapping copy
        // (a false -Wrestrict) and a Release build with warnings as errors stops.
        std::string quoted;
        quoted.reserve(field.size() + 1);
        quoted += '\'';
        quoted += field;
        AppendField(line, quoted);
        return;
    }
    AppendField(line, field);
}

} // namespace

void AppendCsvTextField(std::string& line, std::string_view field) {
    AppendTextField(line, field);
}

namespace {

void AppendValue(std::string& line, double value) {
    line += ',';
    if (!std::isfinite(value)) {
        return; // a photo without ISO speed: no EV and no correction to give
    }
    line += FormatFixed(value, 1);
}

// Length of the well-formed UTF-8 sequence at p, or 0 when there is none.
size_t Utf8SequenceLength(const unsigned char* p, size_t available) {
    size_t length = 0;
    if (p[0] < 0x80) {
        return 1;
    } else if (p[0] >= 0xC2 && p[0] <= 0xDF) {
        length = 2;
    } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
        length = 3;
    } else if (p[0] >= 0xF0 && p[0] <= 0xF4) {
        length = 4;
    } else {
        return 0;
    }
    if (length > available) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

class Converter {
public:
    Converter() : cd(iconv_open("CP932", "UTF-8")) {}
    ~Converter() {
        if (ok()) {
            iconv_close(cd);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t handle() const { return cd; }

private:
    iconv_t cd;
};

} // namespace

bool EncodeCp932(const std::string& utf8, std::string& out) {
    out.clear();
    const Converter converter;
    if (!converter.ok()) {
        return false;
    }
    // Code page 932 never needs more bytes than UTF-8 for the same text; room for the "?"s too.
    std::string buffer(utf8.size() + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* dst = buffer.data();
    size_t dstLeft = buffer.size();
    while (inLeft > 0) {
        const size_t r = iconv(converter.handle(), &in, &inLeft, &dst, &dstLeft);
        if (r != static_cast<size_t>(-1)) {
            break;
        }
        const int error = errno;
        if (error == E2BIG) {
            const size_t used = buffer.size() - dstLeft;
            buffer.resize(buffer.size() * 2 + 16);
            dst = buffer.data() + used;
            dstLeft = buffer.size() - used;
            continue;
        }
        if (error != EILSEQ && error != EINVAL) {
            return false;
        }
        // A character code page 932 lacks (EILSEQ on a well-formed sequence), a byte that is not
        // UTF-8, or a cut sequence at the end: one "?" for it, then go on behind it.
        const size_t length = Utf8SequenceLength(reinterpret_cast<const unsigned char*>(in), inLeft);
        const size_t skip = error == EINVAL ? inLeft : length == 0 ? 1 : length;
        in += skip;
        inLeft -= skip;
        if (dstLeft == 0) {
            const size_t used = buffer.size();
            buffer.resize(buffer.size() * 2 + 16);
            dst = buffer.data() + used;
            dstLeft = buffer.size() - used;
        }
        *dst++ = '?';
        --dstLeft;
    }
    buffer.resize(buffer.size() - dstLeft);
    out = std::move(buffer);
    return true;
}

std::string FormatCsvRow(const PhotoItem& photo) {
    std::string line;
    const size_t slash = photo.path.rfind('/');
    AppendTextField(line, slash == std::string::npos ? std::string_view(photo.path)
                                                     : std::string_view(photo.path).substr(slash + 1));
    AppendValue(line, photo.ev);
    AppendValue(line, photo.av);
    AppendValue(line, photo.tv);
    AppendValue(line, photo.isoCorrection);
    for (const Column& column : kPropertyColumns) {
        PropertyText text;
        photo.GetPropertyText(column.tag, text);
        std::string& value = column.value == Value::Display ? text.displayValue : text.plainValue;
        line += ',';
        const std::string field = column.exifText ? DecodeExifText(value) : value;
        if (column.text) {
            AppendTextField(line, field);
        } else {
            AppendField(line, field);
        }
    }
    return line;
}

namespace {

// shown: null, or one flag per photo; the photos flagged false are left out.
template <typename Photos>
int WriteCsvRows(const Photos& photos, const std::string& path, std::string* reason, const std::vector<bool>* shown) {
    const auto fail = [reason](std::string why) {
        if (reason != nullptr) {
            *reason = std::move(why);
        }
        return 0;
    };
    try {
        std::string text;
        text.reserve(256 * (photos.size() + 1));
        text += kCsvHeader;
        text += kLineEnd;
        for (size_t i = 0; i < photos.size(); ++i) {
            const auto& photo = photos[i];
            if (shown != nullptr && i < shown->size() && !(*shown)[i]) {
                continue;
            }
            if (!photo) {
                return fail("no photo record");
            }
            text += FormatCsvRow(*photo);
            text += kLineEnd;
        }
        std::string bytes;
        if (!EncodeCp932(text, bytes)) {
            return fail("no code page 932 converter");
        }
        text = std::string();

        OutputFileStatus written = WriteOutputFile(path, bytes);
        return written.result == 1 ? 1 : fail(std::move(written.reason));
    } catch (const std::exception&) {
        return fail("out of memory");
    }
}

} // namespace

int WriteCsv(const std::vector<std::unique_ptr<PhotoItem>>& photos, const std::string& path, std::string* reason,
             const std::vector<bool>* shown) {
    return WriteCsvRows(photos, path, reason, shown);
}

int WriteCsv(const std::vector<PhotoItem*>& photos, const std::string& path, std::string* reason) {
    return WriteCsvRows(photos, path, reason, nullptr);
}
