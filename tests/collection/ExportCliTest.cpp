#include "cli/ExportOptions.h"
#include "cli/RunExport.h"
#include "collection/CLumivaneDoc.h"
#include "collection/CsvExport.h"
#include "collection/ParallelImport.h"
#include "tests/collection/CollectionTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>

using namespace kestory::test;
namespace fs = std::filesystem;

namespace {

using Status = ParsedCommandLine::Status;

TEST(ExportOptions, Parsing) {
    const struct {
        std::vector<std::string> args;
        Status status;
        std::vector<std::string> inputs; // when it runs; the output is always "o.csv"
    } cases[] = {
        {{"--csv", "o.csv", "a.jpg", "dir"}, Status::Run, {"a.jpg", "dir"}},
        {{"a.jpg", "--csv=o.csv"}, Status::Run, {"a.jpg"}},
        {{"--csv", "o.csv", "--", "--odd.jpg", "-"}, Status::Run, {"--odd.jpg", "-"}},
        {{"--csv", "o.csv", "--help"}, Status::Help, {}},
        {{"--csv", "o.csv", "--all-kinds", "dir"}, Status::Run, {"dir"}},
        {{}, Status::UsageError, {}},
        {{"a.jpg"}, Status::UsageError, {}},
        {{"--csv", "o.csv"}, Status::UsageError, {}},
        {{"a.jpg", "--csv"}, Status::UsageError, {}},
        {{"--csv=", "a.jpg"}, Status::UsageError, {}},
        {{"--csv", "o.csv", "--csv", "p.csv", "a.jpg"}, Status::UsageError, {}},
        {{"--csvx", "o.csv", "a.jpg"}, Status::UsageError, {}},
    };
    for (const auto& c : cases) {
        const ParsedCommandLine parsed = ParseExportOptions(c.args);
        const std::string shown = c.args.empty() ? "(none)" : c.args.back();
        EXPECT_EQ(parsed.status, c.status) << shown;
        EXPECT_EQ(parsed.error.empty(), c.status != Status::UsageError) << shown;
        if (c.status == Status::Run) {
            EXPECT_EQ(parsed.options.csvPath, "o.csv");
            EXPECT_EQ(parsed.options.inputs, c.inputs);
        }
    }
}

TEST(ExportOptions, ChartPictureSettings) {
    ParsedCommandLine parsed =
        ParseExportOptions({"--png", "c.png", "--magnify", "150", "--size=80", "--marks", "--iso-index", "0", "a.jpg"});
    ASSERT_EQ(parsed.status, Status::Run) << parsed.error;
    EXPECT_EQ(parsed.options.pngPath, "c.png");
    EXPECT_EQ(parsed.options.magnify, 150);
    EXPECT_EQ(parsed.options.sizePict, 80);
    EXPECT_TRUE(parsed.options.marks);
    EXPECT_EQ(parsed.options.isoIndex, 0);

    parsed = ParseExportOptions({"--png", "c.png", "a.jpg"});
    EXPECT_EQ(parsed.options.magnify, 100);
    EXPECT_EQ(parsed.options.sizePict, 40);
    EXPECT_FALSE(parsed.options.marks);
    EXPECT_EQ(parsed.options.isoIndex, 1);

    // Only what the display-settings panel itself could set.
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--png", "c.png", "--magnify", "29", "a.jpg"},
             {"--png", "c.png", "--magnify", "401", "a.jpg"},
             {"--png", "c.png", "--size", "9", "a.jpg"},
             {"--png", "c.png", "--size", "12x", "a.jpg"},
             {"--png", "c.png", "--iso-index", "11", "a.jpg"},
             {"--png", "c.png", "--iso-index", "-1", "a.jpg"},
         }) {
        EXPECT_EQ(ParseExportOptions(bad).status, Status::UsageError) << bad[2] << " " << bad[3];
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
    std::string out, err;
};

RunResult RunExporter(const TempDir& dir, const std::vector<std::string>& args) {
    // A time limit, so an exporter stuck on a FIFO fails the test instead of hanging it.
    std::string command = "timeout 60 " + Quote(KESTORY_EXPORT_BINARY);
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

    // A file first, then a folder in its scanned order; the refused file on a line of its own.
    RunResult r = RunExporter(dir, {"--csv", dir / "out.csv", dir / "single.jpg", dir / "photos"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, (dir / "photos/C.JPG") + kNoExif + "\n");
    std::vector<std::string> names;
    const std::string csv = ReadText(dir / "out.csv");
    for (size_t at = csv.find("\r\n"); at + 2 < csv.size(); at = csv.find("\r\n", at + 2))
        names.push_back(csv.substr(at + 2, csv.find(',', at + 2) - at - 2));
    EXPECT_EQ(names, (std::vector<std::string>{"single.jpg", "A.JPG", "b.jpg"}));

    r = RunExporter(dir, {"--csv", dir / "none.csv", dir / "empty", dir / "photos/C.JPG"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, (dir / "photos/C.JPG") + kNoExif + "\n画像ファイルを読み込んでから実行してください\n");
    EXPECT_FALSE(fs::exists(dir / "none.csv"));

    r = RunExporter(dir, {"--csv", dir / "photos", dir / "single.jpg"}); // the target is a folder
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "ＣＳＶファイルの保存に失敗しました。 " + (dir / "photos") + ": Is a directory\n");

    r = RunExporter(dir, {dir / "single.jpg"});
    EXPECT_EQ(r.exitCode, 64);
    EXPECT_NE(r.err.find("--csv"), std::string::npos);

    // The chart picture has the magnified chart's size: 750 x 520 at 100 %, 1125 x 780 at 150 %.
    // A PNG's IHDR carries the width and height big-endian at bytes 16 and 20.
    const auto pngSize = [](const std::string& png) {
        const auto at = [&](size_t i) { return static_cast<unsigned char>(png.at(i)); };
        const auto word = [&](size_t i) { return (at(i) << 24) | (at(i + 1) << 16) | (at(i + 2) << 8) | at(i + 3); };
        return png.size() < 24 ? std::pair(0, 0) : std::pair(word(16), word(20));
    };
    r = RunExporter(dir, {"--png", dir / "chart.png", dir / "photos"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(pngSize(ReadText(dir / "chart.png")), std::pair(750, 520));
    r = RunExporter(dir, {"--png", dir / "big.png", "--magnify", "150", "--marks", dir / "single.jpg"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(pngSize(ReadText(dir / "big.png")), std::pair(1125, 780));
    r = RunExporter(dir, {"--png", dir / "missing/chart.png", dir / "single.jpg"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "ＰＮＧファイルの保存に失敗しました。 " + (dir / "missing/chart.png") +
                         ": No such file or directory\n");

    r = RunExporter(dir, {"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("kestory-export --csv"), std::string::npos);
}

// HEIF and raw files chart with the values their EXIF blocks hold, the JPEG's: the same CSV row but
// for the name. A folder gives them only with --all-kinds; a file named is taken whatever it is.
TEST(ExportCli, PhoneAndRawFilesGiveTheJpegsRow) {
    TempDir dir;
    fs::create_directory(dir / "mixed");
    const JpegBuilder exif = CameraLikeJpeg(ByteOrder::Big);
    const cv::Mat picture = PatternPicture(320, 240);
    ASSERT_TRUE(JpegBuilder(exif).picture(picture).writeTo(dir / "mixed/a.JPG"));
    ASSERT_TRUE(WriteBytes(dir / "mixed/c.DNG", BuildRawLike(exif, {{PreviewPlace::Strip, EncodeJpeg(picture)}})));
    ASSERT_TRUE(WriteBytes(dir / "mixed/d.nef", BuildRawLike(CameraLikeJpeg(ByteOrder::Little),
                                                             {{PreviewPlace::Interchange, EncodeJpeg(picture)}})));
    std::vector<std::string> expected = {"a.JPG", "c.DNG", "d.nef"};
    if (HaveHeicEncoder()) {
        ASSERT_TRUE(WriteHeic(dir / "mixed/b.heic", picture, exif.buildTiff()));
        expected.insert(expected.begin() + 1, "b.heic");
    }
    const auto rows = [&](const std::vector<std::string>& args) {
        EXPECT_EQ(RunExporter(dir, args).exitCode, 0);
        std::vector<std::string> lines;
        const std::string csv = ReadText(dir / "out.csv");
        for (size_t at = csv.find("\r\n"); at + 2 < csv.size(); at = csv.find("\r\n", at + 2))
            lines.push_back(csv.substr(at + 2, csv.find("\r\n", at + 2) - at - 2));
        return lines;
    };
    EXPECT_EQ(rows({"--csv", dir / "out.csv", dir / "mixed"}).size(), 1u);
    const std::vector<std::string> all = rows({"--csv", dir / "out.csv", "--all-kinds", dir / "mixed"});
    ASSERT_EQ(all.size(), expected.size());
    const std::string values = all[0].substr(all[0].find(','));
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].substr(0, all[i].find(',')), expected[i]);
        EXPECT_EQ(all[i].substr(all[i].find(',')), values) << expected[i];
    }
    EXPECT_EQ(rows({"--csv", dir / "out.csv", dir / "mixed/c.DNG"}).size(), 1u);
}

// The three outputs go through one way of writing a file: each target case gives the same result
// for --csv, --png and --pdf, and a failure says which file and why on the window's line.
TEST(ExportCli, EveryOutputTreatsItsTargetAlike) {
    TempDir dir;
    ASSERT_TRUE(MinimalPhoto().writeTo(dir / "a.jpg"));
    const struct {
        const char* option;
        const char* failed;
        std::string magic; // how the written file begins
    } outputs[] = {
        {"--csv", "ＣＳＶファイルの保存に失敗しました。", "JPEG,"},
        {"--png", "ＰＮＧファイルの保存に失敗しました。", "\x89PNG"},
        {"--pdf", "ＰＤＦファイルの保存に失敗しました。", "%PDF"},
    };
    const auto old = [](const std::string& path, mode_t mode) {
        ASSERT_TRUE(WriteBytes(path, {'o', 'l', 'd'}));
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
    };
    const struct {
        const char* name;
        const char* target;
        std::function<void(const std::string& at)> setUp;
        const char* holder; // the file that ends up with the output, or keeps "old"; "" none
        const char* reason; // "" when written
    } cases[] = {
        {"name not UTF-8", "out\xFF.bin", [](auto) {}, "out\xFF.bin", ""},
        {"read-only file", "out.bin", [&](auto at) { old(at + "/out.bin", 0444); }, "out.bin", "Permission denied"},
        {"link", "out.bin",
         [&](auto at) {
             old(at + "/data.bin", 0644);
             fs::create_symlink("data.bin", at + "/out.bin");
         },
         "data.bin", ""},
        {"FIFO", "out.bin", [](auto at) { mkfifo((at + "/out.bin").c_str(), 0666); }, "", "not a regular file"},
        {"missing folder", "missing/out.bin", [](auto) {}, "", "No such file or directory"},
    };
    int number = 0;
    for (const auto& o : outputs) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(o.option) + " " + c.name);
            const std::string at = dir / ("case" + std::to_string(++number));
            fs::create_directory(at);
            c.setUp(at);
            const std::string target = at + "/" + c.target;
            struct stat before {};
            const bool existed = lstat(target.c_str(), &before) == 0;
            const RunResult r = RunExporter(dir, {o.option, target, dir / "a.jpg"});
            const bool written = *c.reason == 0;
            EXPECT_EQ(r.exitCode, written ? 0 : 2);
            EXPECT_EQ(r.err, written ? "" : std::string(o.failed) + " " + target + ": " + c.reason + "\n");
            struct stat after {};
            if (existed && lstat(target.c_str(), &after) == 0) {
                EXPECT_EQ(after.st_mode & S_IFMT, before.st_mode & S_IFMT) << "a link stays a link, a FIFO a FIFO";
            }
            if (*c.holder != 0) {
                const std::string content = ReadText(at + "/" + c.holder);
                EXPECT_EQ(content.substr(0, written ? o.magic.size() : 4), written ? o.magic : "old");
            }
            for (const auto& entry : fs::directory_iterator(at)) {
                EXPECT_NE(entry.path().filename().string()[0], '.') << "left beside the target: " << entry.path();
            }
        }
    }
}

// Without a picture to draw, the exporter's import keeps no thumbnail; the decode still decides,
// so the same photos are accepted and refused and the CSV file is the same.
TEST(ExportCli, CsvAloneKeepsNoPictures) {
    TempDir dir;
    std::vector<std::string> paths;
    for (uint32_t i = 0; i < 6; ++i) {
        JpegBuilder photo = MinimalPhoto().exposureTime(1, 30 + i);
        if (i == 2) {
            photo.noExif();
        } else if (i == 4) {
            photo.noPicture(); // EXIF that reads, pixels that do not
        }
        paths.push_back(dir / ("P" + std::to_string(i) + ".JPG"));
        ASSERT_TRUE(photo.writeTo(paths.back()));
    }
    std::vector<std::string> accepted[2], messages[2];
    std::string csv[2];
    for (const bool keep : {false, true}) {
        RecordingNotifier notifier;
        CLumivaneDoc doc(notifier);
        ParallelImport import(doc, 3);
        import.KeepPictures(keep);
        ASSERT_TRUE(import.Start(paths));
        EXPECT_EQ(import.Run(), 4);
        for (const auto& photo : doc.Photos()) {
            accepted[keep].push_back(photo->path);
            EXPECT_EQ(photo->thumbnail.Empty(), !keep) << photo->path;
        }
        messages[keep] = notifier.texts;
        ASSERT_EQ(WriteCsv(doc.Photos(), dir / "out.csv"), 1);
        csv[keep] = ReadText(dir / "out.csv");
    }
    EXPECT_EQ(accepted[0], accepted[1]);
    EXPECT_EQ(messages[0], messages[1]);
    EXPECT_EQ(csv[0], csv[1]);

    // The exporter drops them only when no picture is asked for.
    ExportOptions options;
    options.csvPath = dir / "out.csv";
    options.pngPath = dir / "chart.png";
    options.inputs = paths;
    RecordingNotifier notifier;
    size_t withPicture = 0;
    const ChartFileWriter countPictures = [&](CLumivaneDoc& doc, std::string& bytes) {
        for (const auto& photo : doc.Photos())
            withPicture += photo->thumbnail.Empty() ? 0 : 1;
        bytes = "png";
        return true;
    };
    EXPECT_EQ(RunExport(options, notifier, {}, countPictures), kExitOk);
    EXPECT_EQ(withPicture, 4U);
}

} // namespace
