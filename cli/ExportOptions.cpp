#include "cli/ExportOptions.h"

#include <array>
#include <functional>
#include <optional>
#include <string_view>

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

const std::array<ValueOption, 2>& ValueOptions() {
    static const std::array<ValueOption, 2> options = {{
        {"--csv", [](ExportOptions& o, const std::string& v) { return SetOnce(o.csvPath, "--csv", v); }},
        {"--pdf", [](ExportOptions& o, const std::string& v) { return SetOnce(o.pdfPath, "--pdf", v); }},
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
    if (result.options.csvPath.empty() && result.options.pdfPath.empty()) {
        return Usage("出力先 (--csv または --pdf) を指定してください");
    }
    if (result.options.inputs.empty()) {
        return Usage("読み込む画像ファイルかフォルダを指定してください");
    }
    return result;
}

const char* ExportHelpText() {
    return "使い方: kestory-export --csv 出力.csv [--pdf 出力.pdf] パス...\n"
           "        kestory-export --pdf 出力.pdf パス...\n"
           "\n"
           "JPEG 写真の撮影データ (EV, AV, TV, 感度補正と 17 の撮影情報) を\n"
           "ＣＳＶファイル (コードページ 932, CR LF) に書き出します。\n"
           "\n"
           "パス:\n"
           "  JPEG ファイル   そのまま読み込みます (ドロップされたファイルと同じ)。\n"
           "  フォルダ        直下の *.JPG を名前順に読み込みます (サブフォルダは見ません)。\n"
           "  写真はパスを指定した順に並び、その順で書き出されます。\n"
           "\n"
           "オプション:\n"
           "  --csv 出力.csv  撮影データの保存先 (既存のファイルは置き換えます)\n"
           "  --pdf 出力.pdf  チャート全体を印刷と同じ横向き一枚の PDF に書き出します\n"
           "  --help          この説明を表示します\n"
           "  --              これ以降をすべてパスとして扱います\n"
           "\n"
           "読み込めなかったファイルは、標準エラーに一行ずつ報告されます。\n"
           "\n"
           "終了コード:\n"
           "  0   書き出しました\n"
           "  1   読み込めた写真がありません\n"
           "  2   ＣＳＶファイルか PDF ファイルの保存に失敗しました\n"
           "  64  コマンドラインの誤り\n";
}
