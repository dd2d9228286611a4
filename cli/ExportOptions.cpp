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

const std::array<ValueOption, 7>& ValueOptions() {
    static const std::array<ValueOption, 7> options = {{
        {"--csv", [](ExportOptions& o, const std::string& v) { return SetOnce(o.csvPath, "--csv", v); }},
        {"--pdf", [](ExportOptions& o, const std::string& v) { return SetOnce(o.pdfPath, "--pdf", v); }},
        {"--png", [](ExportOptions& o, const std::string& v) { return SetOnce(o.pngPath, "--png", v); }},
        {"--magnify",
         [](ExportOptions& o, const std::string& v) { return SetNumber(o.magnify, "--magnify", v, 30, 400); }},
        {"--size", [](ExportOptions& o, const std::string& v) { return SetNumber(o.sizePict, "--size", v, 10, 120); }},
        {"--iso-index",
         [](ExportOptions& o, const std::string& v) { return SetNumber(o.isoIndex, "--iso-index", v, 0, 10); }},
        {"--threads",
         [](ExportOptions& o, const std::string& v) { return SetNumber(o.threads, "--threads", v, 1, 256); }},
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
        if (arg == "--all-kinds") {
            result.options.allKinds = true;
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
    if (result.options.csvPath.empty() && result.options.pdfPath.empty() && result.options.pngPath.empty()) {
        return Usage("出力先 (--csv、--png または --pdf) を指定してください");
    }
    if (result.options.inputs.empty()) {
        return Usage("読み込む画像ファイルかフォルダを指定してください");
    }
    return result;
}

const char* ExportHelpText() {
    return "使い方: kestory-export --csv 出力.csv [--png 出力.png] [--pdf 出力.pdf] パス...\n"
           "        kestory-export --png 出力.png [--magnify N] [--size N] [--marks] [--iso-index N] パス...\n"
           "        kestory-export --pdf 出力.pdf パス...\n"
           "\n"
           "写真 (JPEG, HEIC/HEIF, DNG などの RAW) の撮影データ (EV, AV, TV, 感度補正と 17 の撮影情報) を\n"
           "ＣＳＶファイル (コードページ 932, CR LF) に書き出します。\n"
           "\n"
           "パス:\n"
           "  ファイル        種類を問わずそのまま読み込みます (ドロップされたファイルと同じ)。\n"
           "  フォルダ        直下の *.JPG を名前順に読み込みます (サブフォルダは見ません)。\n"
           "                  --all-kinds では *.HEIC *.HEIF *.HIF *.DNG *.CR2 *.NEF *.ARW\n"
           "                  *.PEF *.ORF *.RW2 *.SRW も読み込みます。\n"
           "  写真はパスを指定した順に並び、その順で書き出されます。\n"
           "\n"
           "オプション:\n"
           "  --csv 出力.csv  撮影データの保存先 (既存のファイルは置き換えます)\n"
           "  --png 出力.png  チャート全体を画面と同じ表示で PNG 画像に書き出します\n"
           "  --magnify N     PNG の拡大率 (30〜400 %、既定 100)\n"
           "  --size N        PNG の画像サイズ (10〜120、既定 40)\n"
           "  --marks         PNG で写真を縮小画像ではなく赤いマークで表します\n"
           "  --iso-index N   EV 線の感度 (0〜10: ISO 50〜51200、既定 1 = ISO 100)\n"
           "  --pdf 出力.pdf  チャート全体を印刷と同じ横向き一枚の PDF に書き出します\n"
           "  --threads N     同時に読み込むファイルの数 (1〜256、既定は CPU コアの数)\n"
           "  --all-kinds     フォルダから JPEG 以外の写真 (HEIC/HEIF, RAW) も読み込みます\n"
           "  --help          この説明を表示します\n"
           "  --              これ以降をすべてパスとして扱います\n"
           "\n"
           "読み込めなかったファイルは、標準エラーに一行ずつ報告されます。\n"
           "\n"
           "終了コード:\n"
           "  0   書き出しました\n"
           "  1   読み込めた写真がありません\n"
           "  2   ＣＳＶ、PNG または PDF ファイルの保存に失敗しました\n"
           "  64  コマンドラインの誤り\n";
}
