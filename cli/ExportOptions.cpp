#include "cli/ExportOptions.h"

#include <array>
#include <charconv>
#include <functional>
#include <optional>
#include <string_view>
#include <system_error>

namespace {

// An option that takes a value. The setter returns an error text, or nothing when it took it.
struct ValueOption {
    std::string_view name;
    std::function<std::optional<std::string>(ExportOptions&, const std::string&)> set;
};

std::optional<std::string> SetOnce(std::string& field, std::string_view name, const std::string& value) {
    if (!field.empty()) {
        return std::string(name) + " は一度だけ指定できます";
    }
    if (value.empty()) {
        return std::string(name) + " に空の値は指定できません";
    }
    field = value;
    return std::nullopt;
}

// A whole decimal number within the range the display-settings panel offers.
std::optional<std::string> SetNumber(int& field, std::string_view name, const std::string& value, int low,
                                     int high) {
    int number = 0;
    const char* end = value.data() + value.size();
    const auto [rest, error] = std::from_chars(value.data(), end, number);
    if (error != std::errc() || rest != end || number < low || number > high) {
        return std::string(name) + " には " + std::to_string(low) + " から " + std::to_string(high) +
               " までの整数を指定してください";
    }
    field = number;
    return std::nullopt;
}

// The values of --color-by, at the positions of DisplaySettings' kMarkByIso .. kMarkByTimeOfDay.
std::optional<std::string> SetMarkColour(int& field, const std::string& value) {
    static constexpr std::array<std::string_view, 4> kNames{"iso", "focal", "camera", "time"};
    for (size_t i = 0; i < kNames.size(); ++i) {
        if (value == kNames[i]) {
            field = static_cast<int>(i) + 1;
            return std::nullopt;
        }
    }
    return std::string("--color-by には iso、focal、camera、time のどれかを指定してください");
}

// One more value of a list; the option may stand more than once.
std::optional<std::string> AddChoice(ExportOptions& o, FilterList list, std::string_view name, const std::string& value) {
    if (value.empty()) {
        return std::string(name) + " に空の値は指定できません";
    }
    o.filter.chosen[list].insert(value);
    return std::nullopt;
}

// A whole number of at most 9 digits, or nothing when the text is empty.
bool ParseBound(std::string_view text, std::optional<int32_t>& bound) {
    if (text.empty()) {
        bound.reset();
        return true;
    }
    int32_t number = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, number);
    if (error != std::errc() || rest != end || text.size() > 9 || text.front() == '-' || text.front() == '+') {
        return false;
    }
    bound = number;
    return true;
}

// "MIN-MAX", "MIN-" or "-MAX" (either end open), or "N" for exactly N; MIN not above MAX.
std::optional<std::string> SetRange(IntRange& range, std::string_view name, const std::string& value) {
    const std::string_view text(value);
    const size_t dash = text.find('-');
    IntRange parsed;
    const bool ok = dash == std::string_view::npos
                        ? !text.empty() && ParseBound(text, parsed.min) && ParseBound(text, parsed.max)
                        : text.size() > 1 && ParseBound(text.substr(0, dash), parsed.min) &&
                              ParseBound(text.substr(dash + 1), parsed.max);
    if (!ok || (parsed.min && parsed.max && *parsed.min > *parsed.max)) {
        return std::string(name) + " には 最小-最大 の整数 (例: 100-800) を指定してください";
    }
    if (!range.IsOpen()) {
        return std::string(name) + " は一度だけ指定できます";
    }
    range = parsed;
    return std::nullopt;
}

// YYYY-MM-DD, a calendar date; the end of the range it sets must not come before its start.
std::optional<std::string> SetDate(IntRange& range, bool from, std::string_view name, const std::string& value) {
    std::optional<int32_t> year, month, day;
    const std::string_view text(value);
    const bool shaped = text.size() == 10 && text[4] == '-' && text[7] == '-' &&
                        ParseBound(text.substr(0, 4), year) && ParseBound(text.substr(5, 2), month) &&
                        ParseBound(text.substr(8, 2), day) && year && month && day;
    const int32_t date = shaped ? DateNumber(*year, *month, *day) : 0;
    if (date == 0) {
        return std::string(name) + " には YYYY-MM-DD の日付 (例: 2011-01-02) を指定してください";
    }
    std::optional<int32_t>& end = from ? range.min : range.max;
    if (end) {
        return std::string(name) + " は一度だけ指定できます";
    }
    end = date;
    if (range.min && range.max && *range.min > *range.max) {
        return std::string(name) + ": --from の日付が --to の日付より後です";
    }
    return std::nullopt;
}

std::optional<std::string> SetStatValue(std::optional<StatValue>& field, const std::string& value) {
    if (field) {
        return std::string("--stats は一度だけ指定できます");
    }
    field = StatValueFromName(value);
    if (!field) {
        return std::string("--stats には focal、focal35、aperture、shutter、iso、ev、lens、camera、hour、weekday、"
                           "month、year のどれかを指定してください");
    }
    return std::nullopt;
}

const std::array<ValueOption, 19>& ValueOptions() {
    static const std::array<ValueOption, 19> options = {{
        {"--svg", [](ExportOptions& o, const std::string& v) { return SetOnce(o.svgPath, "--svg", v); }},
        {"--stats", [](ExportOptions& o, const std::string& v) { return SetStatValue(o.statsValue, v); }},
        {"--stats-csv",
         [](ExportOptions& o, const std::string& v) { return SetOnce(o.statsCsvPath, "--stats-csv", v); }},
        {"--stats-png",
         [](ExportOptions& o, const std::string& v) { return SetOnce(o.statsPngPath, "--stats-png", v); }},
        {"--csv", [](ExportOptions& o, const std::string& v) { return SetOnce(o.csvPath, "--csv", v); }},
        {"--pdf", [](ExportOptions& o, const std::string& v) { return SetOnce(o.pdfPath, "--pdf", v); }},
        {"--png", [](ExportOptions& o, const std::string& v) { return SetOnce(o.pngPath, "--png", v); }},
        {"--magnify",
         [](ExportOptions& o, const std::string& v) { return SetNumber(o.magnify, "--magnify", v, 30, 400); }},
        {"--size", [](ExportOptions& o, const std::string& v) { return SetNumber(o.sizePict, "--size", v, 10, 120); }},
        {"--iso-index",
         [](ExportOptions& o, const std::string& v) { return SetNumber(o.isoIndex, "--iso-index", v, 0, 10); }},
        {"--cache-limit",
         [](ExportOptions& o, const std::string& v) {
             return SetNumber(o.cacheLimitMiB, "--cache-limit", v, 16, 1 << 20);
         }},
        {"--threads",
         [](ExportOptions& o, const std::string& v) { return SetNumber(o.threads, "--threads", v, 1, 256); }},
        {"--color-by", [](ExportOptions& o, const std::string& v) { return SetMarkColour(o.markColour, v); }},
        {"--camera", [](ExportOptions& o, const std::string& v) { return AddChoice(o, kFilterCamera, "--camera", v); }},
        {"--lens", [](ExportOptions& o, const std::string& v) { return AddChoice(o, kFilterLens, "--lens", v); }},
        {"--focal", [](ExportOptions& o, const std::string& v) { return SetRange(o.filter.focalMm, "--focal", v); }},
        {"--iso", [](ExportOptions& o, const std::string& v) { return SetRange(o.filter.iso, "--iso", v); }},
        {"--from",
         [](ExportOptions& o, const std::string& v) {
             o.filter.undated = false;
             return SetDate(o.filter.dates, true, "--from", v);
         }},
        {"--to",
         [](ExportOptions& o, const std::string& v) {
             o.filter.undated = false;
             return SetDate(o.filter.dates, false, "--to", v);
         }},
    }};
    return options;
}

ParsedCommandLine Usage(std::string error) {
    ParsedCommandLine result;
    result.status = ParsedCommandLine::Status::UsageError;
    result.error = std::move(error);
    return result;
}

} // namespace

ParsedCommandLine ParseExportOptions(const std::vector<std::string>& args) {
    ParsedCommandLine result;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            result.options.inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            result.status = ParsedCommandLine::Status::Help;
            return result;
        }
        if (arg == "--marks") {
            result.options.marks = true;
            continue;
        }
        if (arg == "--recursive") {
            result.options.recursive = true;
            continue;
        }
        if (arg == "--no-cache") {
            result.options.noCache = true;
            continue;
        }
        if (arg == "--density") {
            result.options.density = true;
            continue;
        }
        if (arg == "--all-kinds") {
            result.options.allKinds = true;
            continue;
        }
        if (arg == "--no-raw-pairs") {
            result.options.pairRaw = false;
            continue;
        }
        if (arg == "--decode-all") {
            result.options.decodeAll = true;
            continue;
        }
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const ValueOption* option = nullptr;
        for (const ValueOption& candidate : ValueOptions()) {
            if (candidate.name == name) {
                option = &candidate;
            }
        }
        if (option == nullptr) {
            return Usage("不明なオプションです: " + arg);
        }
        std::string value;
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return Usage(name + " の後に値がありません");
        }
        if (auto error = option->set(result.options, value)) {
            return Usage(*error);
        }
    }
    // The density view draws no photo: neither marks nor their colours.
    if (result.options.density && (result.options.marks || result.options.markColour != 0)) {
        return Usage(std::string("--density は ") + (result.options.marks ? "--marks" : "--color-by") +
                     " と一緒には指定できません");
    }
    const ExportOptions& o = result.options;
    if (o.statsValue.has_value() != !o.statsCsvPath.empty() || (!o.statsPngPath.empty() && !o.statsValue)) {
        return Usage("--stats と --stats-csv は一緒に指定してください (--stats-png はその二つと)");
    }
    if (o.csvPath.empty() && o.pdfPath.empty() && o.pngPath.empty() && o.svgPath.empty() && !o.statsValue) {
        return Usage("出力先 (--csv、--png、--pdf、--svg または --stats) を指定してください");
    }
    if (result.options.inputs.empty()) {
        return Usage("読み込む画像ファイルかフォルダを指定してください");
    }
    return result;
}

const char* ExportHelpText() {
    return "使い方: kestory-export --csv 出力.csv [--png 出力.png] [--pdf 出力.pdf] パス...\n"
           "        kestory-export --png 出力.png [--magnify N] [--size N] [--marks] [--iso-index N] パス...\n"
           "        kestory-export --pdf 出力.pdf [--color-by 値 | --density] パス...\n"
           "        kestory-export --stats 値 --stats-csv 出力.csv [--stats-png 出力.png] パス...\n"
           "\n"
           "写真 (JPEG, HEIC/HEIF, DNG などの RAW) の撮影データ (EV, AV, TV, 感度補正と 17 の撮影情報) を\n"
           "ＣＳＶファイル (コードページ 932, CR LF) に書き出します。\n"
           "\n"
           "パス:\n"
           "  ファイル        種類を問わずそのまま読み込みます (ドロップされたファイルと同じ)。\n"
           "  フォルダ        直下の *.JPG *.JPEG *.JPE *.JFIF (大文字小文字を問わず) を名前順に\n"
           "                  読み込みます (サブフォルダは見ません)。\n"
           "                  --recursive では、続けてサブフォルダを名前順に一つずつ読み込みます。\n"
           "                  --all-kinds では *.HEIC *.HEIF *.HIF *.DNG *.CR2 *.NEF *.ARW\n"
           "                  *.PEF *.ORF *.RW2 *.SRW *.CR3 *.RAF *.CRW *.MRW *.X3F *.NRW *.3FR\n"
           "                  *.IIQ *.ERF *.MOS *.DCR *.KDC *.SRF *.SR2 も読み込みます。\n"
           "  写真はパスを指定した順に並び、その順で書き出されます。\n"
           "\n"
           "オプション:\n"
           "  --csv 出力.csv  撮影データの保存先 (既存のファイルは置き換えます)\n"
           "  --png 出力.png  チャート全体を画面と同じ表示で PNG 画像に書き出します\n"
           "  --magnify N     PNG の拡大率 (30〜400 %、既定 100。PDF は印刷と同じく 100 %)\n"
           "  --size N        画像サイズ (10〜120、既定 40)\n"
           "  --marks         写真を縮小画像ではなく赤いマークで表します\n"
           "  --color-by 値   写真をマークで表し、その色で値を示します (iso: ISO 感度、\n"
           "                  focal: 焦点距離、camera: 機種、time: 撮影時刻)。凡例は右上に入ります\n"
           "  --density       写真の代わりに、格子の一目ごとの枚数を色と数で表します\n"
           "  --iso-index N   EV 線の感度 (0〜10: ISO 50〜51200、既定 1 = ISO 100)\n"

           "  --pdf 出力.pdf  チャート全体を印刷と同じ横向き一枚の PDF に書き出します\n"
           "                  (--magnify 以外の表示の指定は PNG と PDF の両方に効きます)\n"
           "  --svg 出力.svg  チャート全体を PNG と同じ表示で SVG に書き出します\n"
           "  --stats 値      統計パネルと同じ区分で写真の枚数を数えます (focal: 焦点距離、\n"
           "                  focal35: 焦点距離 (35mm 換算)、aperture: 絞り値、shutter: シャッター速度、\n"
           "                  iso: ISO 感度、ev: EV、lens: レンズ、camera: 機種、hour: 撮影時刻、\n"
           "                  weekday: 曜日、month: 撮影月、year: 撮影年)\n"
           "  --stats-csv 出力.csv  その区分・枚数・割合 (コードページ 932, CR LF、すべての区分)\n"
           "  --stats-png 出力.png  その棒グラフ (統計パネルと同じ絵)\n"
           "  --recursive     フォルダのサブフォルダも読み込みます (隠しフォルダとリンクは除く)\n"
           "  --threads N     同時に読み込むファイルの数 (1〜256、既定は CPU コアの数)\n"
           "  --no-cache      サムネイルのキャッシュ (~/.cache/Kestory/thumbnails.sqlite) を使わず、\n"
           "                  すべての画像を読み直します\n"
           "  --cache-limit MIB  サムネイルのキャッシュの上限 (MiB、16〜1048576、既定 2048)\n"
           "  --all-kinds     フォルダから JPEG 以外の写真 (HEIC/HEIF, RAW) も読み込みます\n"
           "  --no-raw-pairs  同じフォルダの同じ名前の RAW と JPEG を別々に読み込みます\n"
           "                  (ふだんは RAW+JPEG を一枚として数え、JPEG を読み込みます)\n"
           "  --decode-all    埋め込みサムネイルを使わず、すべての写真を復号して絵を作ります\n"
           "  --help          この説明を表示します\n"
           "  --              これ以降をすべてパスとして扱います\n"
           "\n"
           "絞り込み (CSV、PNG、PDF、SVG、統計のすべてに効き、複数指定はすべてを満たす写真だけ):\n"
           "  --camera 機種    モデル名がこれと一致する写真 (繰り返すといずれか)\n"
           "  --lens レンズ    レンズモデル (なければレンズメーカー) が一致する写真 (繰り返すといずれか)\n"
           "  --focal 最小-最大  焦点距離 (mm、整数に丸めた値) がこの範囲の写真 (例: 24-70、35- は 35 以上)\n"
           "  --iso 最小-最大  ISO 感度がこの範囲の写真 (例: 100-800)\n"
           "  --from YYYY-MM-DD  この日以降に撮影された写真 (撮影日時のない写真は除きます)\n"
           "  --to YYYY-MM-DD    この日以前に撮影された写真 (撮影日時のない写真は除きます)\n"
           "\n"
           "読み込めなかったファイルは、標準エラーに一行ずつ報告されます。\n"
           "\n"
           "終了コード:\n"
           "  0   書き出しました\n"
           "  1   読み込めた写真 (絞り込み後) がありません\n"
           "  2   ＣＳＶ、PNG、PDF または SVG ファイルの保存に失敗しました\n"
           "  64  コマンドラインの誤り\n"
           "  129, 130, 143  SIGHUP、SIGINT (Ctrl+C)、SIGTERM で中断しました。書き終えたファイルはそのまま残り、\n"
           "                 書きかけのファイルは残りません\n";
}
