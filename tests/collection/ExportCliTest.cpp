#include "cli/ExportOptions.h"
#include "tests/collection/CollectionTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>

using kestory::test::JpegBuilder;
using kestory::test::MinimalPhoto;
using kestory::test::ReadText;
using kestory::test::TempDir;

namespace fs = std::filesystem;

namespace {

using Status = ParsedCommandLine::Status;

TEST(ExportOptions, Parsing) {
    struct Case {
        std::vector<std::string> args;
        Status status;
        std::string csv;
        std::vector<std::string> inputs;
    };
    const Case cases[] = {
        {{"--csv", "o.csv", "a.jpg", "dir"}, Status::Run, "o.csv", {"a.jpg", "dir"}},
        {{"a.jpg", "--csv=o.csv"}, Status::Run, "o.csv", {"a.jpg"}},
        {{"--csv", "o.csv", "--", "--odd.jpg", "-"}, Status::Run, "o.csv", {"--odd.jpg", "-"}},
        {{"--help"}, Status::Help, "", {}},
        {{"--csv", "o.csv", "-h"}, Status::Help, "", {}},
        {{}, Status::UsageError, "", {}},
        {{"a.jpg"}, Status::UsageError, "", {}},           // no output
        {{"--csv", "o.csv"}, Status::UsageError, "", {}},  // no input
        {{"a.jpg", "--csv"}, Status::UsageError, "", {}},  // value missing
        {{"--csv=", "a.jpg"}, Status::UsageError, "", {}}, // empty value
        {{"--csv", "1", "--csv", "2", "a.jpg"}, Status::UsageError, "", {}},
        {{"--png", "o.png", "a.jpg"}, Status::UsageError, "", {}}, // not yet an option
        {{"--csvx", "o.csv", "a.jpg"}, Status::UsageError, "", {}},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.args)
            shown += a + " ";
        SCOPED_TRACE(shown);
        const ParsedCommandLine parsed = ParseExportOptions(c.args);
        EXPECT_EQ(parsed.status, c.status);
        if (c.status == Status::Run) {
            EXPECT_EQ(parsed.options.csvPath, c.csv);
            EXPECT_EQ(parsed.options.inputs, c.inputs);
        }
        EXPECT_EQ(parsed.error.empty(), c.status != Status::UsageError);
    }
}

std::string Quote(const std::string& s) {
    std::string quoted = "'";
    for (char c : s)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

RunResult RunExporter(const TempDir& dir, const std::vector<std::string>& args) {
    std::string command = Quote(KESTORY_EXPORT_BINARY);
    for (const std::string& a : args)
        command += " " + Quote(a);
    command += " >" + Quote(dir / "stdout.txt") + " 2>" + Quote(dir / "stderr.txt");
    const int status = std::system(command.c_str());
    RunResult result;
    if (status != -1 && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    result.out = ReadText(dir / "stdout.txt");
    result.err = ReadText(dir / "stderr.txt");
    return result;
}

TEST(ExportCli, ExitCodesAndMessages) {
    TempDir dir;
    fs::create_directory(dir / "photos");
    ASSERT_TRUE(MinimalPhoto().writeTo(dir / "photos/b.jpg"));
    ASSERT_TRUE(MinimalPhoto().writeTo(dir / "photos/A.JPG"));
    ASSERT_TRUE(JpegBuilder().noExif().writeTo(dir / "photos/C.JPG"));
    ASSERT_TRUE(MinimalPhoto().writeTo(dir / "single.jpg"));
    fs::create_directory(dir / "empty");
    const std::string noExif = "は、Ｅｘｉｆ情報が無いため、読み込めませんでした。";

    // A file first, then a folder in its scanned order; the refused file is told on its own line.
    RunResult r = RunExporter(dir, {"--csv", dir / "out.csv", dir / "single.jpg", dir / "photos"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, (dir / "photos/C.JPG") + noExif + "\n");
    const std::string csv = ReadText(dir / "out.csv");
    std::vector<std::string> names;
    for (size_t at = csv.find("\r\n"); at != std::string::npos && at + 2 < csv.size();
         at = csv.find("\r\n", at + 2)) {
        names.push_back(csv.substr(at + 2, csv.find(',', at + 2) - at - 2));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"single.jpg", "A.JPG", "b.jpg"}));

    r = RunExporter(dir, {"--csv", dir / "none.csv", dir / "empty", dir / "photos/C.JPG"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              (dir / "photos/C.JPG") + noExif + "\n" + "画像ファイルを読み込んでから実行してください\n");
    EXPECT_FALSE(fs::exists(dir / "none.csv"));

    r = RunExporter(dir, {"--csv", dir / "photos", dir / "single.jpg"}); // the target is a folder
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "ＣＳＶファイルの保存に失敗しました。\n");

    r = RunExporter(dir, {"--csv", dir / "missing/out.csv", dir / "single.jpg"});
    EXPECT_EQ(r.exitCode, 2);

    r = RunExporter(dir, {dir / "single.jpg"});
    EXPECT_EQ(r.exitCode, 64);
    EXPECT_NE(r.err.find("--csv"), std::string::npos);

    r = RunExporter(dir, {"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("kestory-export --csv"), std::string::npos);
    EXPECT_TRUE(r.err.empty());
}

} // namespace
