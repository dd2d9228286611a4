#include "cli/ExportOptions.h"
#include "cli/RunExport.h"
#include "collection/CLumivaneDoc.h"
#include "collection/CsvExport.h"
#include "collection/ParallelImport.h"
#include "tests/collection/CollectionTestSupport.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
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
        bool recursive = false;
    } cases[] = {
        {{"--csv", "o.csv", "a.jpg", "dir"}, Status::Run, {"a.jpg", "dir"}},
        {{"a.jpg", "--csv=o.csv"}, Status::Run, {"a.jpg"}},
        {{"--csv", "o.csv", "--", "--odd.jpg", "-"}, Status::Run, {"--odd.jpg", "-"}},
        {{"--recursive", "--csv", "o.csv", "dir", "a.jpg"}, Status::Run, {"dir", "a.jpg"}, true},
        {{"--csv", "o.csv", "--", "--recursive"}, Status::Run, {"--recursive"}},
        {{"--recursive=1", "--csv", "o.csv", "dir"}, Status::UsageError, {}},
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
            EXPECT_EQ(parsed.options.recursive, c.recursive);
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

    // The marks' colour and the density view; a bad value or a clash names the option.
    const struct {
        std::vector<std::string> args;
        int markColour;
        bool density;
        const char* named; // in the error, for a usage error
    } views[] = {
        {{"--color-by", "iso"}, 1, false, nullptr},
        {{"--color-by=focal"}, 2, false, nullptr},
        {{"--color-by", "camera", "--marks"}, 3, false, nullptr},
        {{"--color-by", "time"}, 4, false, nullptr},
        {{"--density"}, 0, true, nullptr},
        {{"--color-by", "ISO"}, 0, false, "--color-by"},
        {{"--color-by", ""}, 0, false, "--color-by"},
        {{"--density", "--marks"}, 0, false, "--density"},
        {{"--color-by", "time", "--density"}, 0, false, "--color-by"},
    };
    for (const auto& v : views) {
        std::vector<std::string> args{"--png", "c.png"};
        args.insert(args.end(), v.args.begin(), v.args.end());
        args.push_back("a.jpg");
        parsed = ParseExportOptions(args);
        SCOPED_TRACE(v.args.front() + " " + v.args.back());
        if (v.named != nullptr) {
            EXPECT_EQ(parsed.status, Status::UsageError);
            EXPECT_NE(parsed.error.find(v.named), std::string::npos) << parsed.error;
            continue;
        }
        ASSERT_EQ(parsed.status, Status::Run) << parsed.error;
        EXPECT_EQ(parsed.options.markColour, v.markColour);
        EXPECT_EQ(parsed.options.density, v.density);
    }
}

// The filter options: each sets its criterion; a bad value is a usage error that names it.
TEST(ExportOptions, FilterOptions) {
    const auto parse = [](std::vector<std::string> args) {
        args.insert(args.begin(), {"--csv", "o.csv"});
        args.push_back("a.jpg");
        return ParseExportOptions(args);
    };
    PhotoFilter expected;
    expected.chosen[kFilterCamera] = {"EOS R5", "X-T4"};
    expected.chosen[kFilterLens] = {"RF50mm F1.8 STM"};
    expected.focalMm = {24, 70};
    expected.iso = {100, std::nullopt};
    expected.dates = {20230101, 20231231};
    expected.undated = false;
    const ParsedCommandLine all = parse({"--camera", "EOS R5", "--camera=X-T4", "--lens", "RF50mm F1.8 STM", "--focal",
                                         "24-70", "--iso=100-", "--from", "2023-01-01", "--to", "2023-12-31"});
    ASSERT_EQ(all.status, Status::Run) << all.error;
    EXPECT_TRUE(all.options.filter == expected);
    EXPECT_TRUE(parse({}).options.filter.IsEmpty());

    const struct {
        std::vector<std::string> args;
        std::optional<IntRange> iso; // when it runs
        const char* named;           // in the error, when it does not
    } cases[] = {
        {{"--iso", "400"}, IntRange{400, 400}, nullptr},
        {{"--iso=-800"}, IntRange{std::nullopt, 800}, nullptr},
        {{"--iso", "800-400"}, std::nullopt, "--iso"},
        {{"--iso", "-"}, std::nullopt, "--iso"},
        {{"--iso", "1x-2"}, std::nullopt, "--iso"},
        {{"--iso", "1-2-3"}, std::nullopt, "--iso"},
        {{"--iso", "+5"}, std::nullopt, "--iso"},
        {{"--iso", "99999999999"}, std::nullopt, "--iso"},
        {{"--iso", "1-2", "--iso", "3-4"}, std::nullopt, "--iso"},
        {{"--focal", "a-b"}, std::nullopt, "--focal"},
        {{"--camera="}, std::nullopt, "--camera"},
        {{"--lens", ""}, std::nullopt, "--lens"},
        {{"--from", "2023-02-29"}, std::nullopt, "--from"},
        {{"--from", "2023/01/01"}, std::nullopt, "--from"},
        {{"--to", "2023-1-1"}, std::nullopt, "--to"},
        {{"--from", "2024-01-01", "--to", "2023-12-31"}, std::nullopt, "--to"},
        {{"--to", "2023-12-31", "--to", "2024-01-01"}, std::nullopt, "--to"},
    };
    for (const auto& c : cases) {
        const ParsedCommandLine parsed = parse(c.args);
        SCOPED_TRACE(c.args.back());
        EXPECT_EQ(parsed.status, c.iso ? Status::Run : Status::UsageError) << parsed.error;
        if (c.iso) {
            EXPECT_TRUE(parsed.options.filter.iso == *c.iso);
        } else {
            EXPECT_NE(parsed.error.find(c.named), std::string::npos) << parsed.error;
        }
    }
}

// The display options are the pictures' alike: a PDF asked for alone takes them as the PNG would.
TEST(ExportCli, PdfAloneTakesThePictureSettings) {
    TempDir dir;
    ASSERT_TRUE(MinimalPhoto().writeTo(dir / "a.jpg"));
    const struct {
        bool marks, density;
        int markColour;
        int32_t viewType;
    } cases[] = {{false, false, 0, DisplaySettings::kViewThumbnails},
                 {true, false, 0, DisplaySettings::kViewMarks},
                 {false, false, 3, DisplaySettings::kViewMarks},
                 {false, true, 0, DisplaySettings::kViewDensity}};
    for (const auto& c : cases) {
        ExportOptions options;
        options.pdfPath = dir / "c.pdf";
        options.inputs = {dir / "a.jpg"};
        std::tie(options.marks, options.density, options.markColour, options.sizePict) =
            std::tuple(c.marks, c.density, c.markColour, 80);
        RecordingNotifier notifier;
        DisplaySettings drawn;
        EXPECT_EQ(RunExport(options, notifier, [&](CLumivaneDoc& doc, std::string& bytes) {
                      drawn = doc.settings;
                      bytes = "pdf";
                      return true;
                  }),
                  kExitOk);
        EXPECT_EQ(std::tuple(drawn.viewType, drawn.markColour, drawn.sizePict),
                  std::tuple(c.viewType, c.markColour, 80));
    }
}

// A space, then s in single quotes for sh.
void AppendQuoted(std::string& command, const std::string& s) {
    command += " '";
    for (char c : s) {
        if (c == '\'')
            command += "'\\''";  // close, an escaped quote, reopen
        else
            command += c;
    }
    command += '\'';
}

struct RunResult {
    int exitCode = -1;
    std::string out, err;
};

RunResult RunExporter(const TempDir& dir, const std::vector<std::string>& args, const std::string& env = "") {
    // A time limit, so an exporter stuck on a FIFO fails the test instead of hanging it.
    std::string command = env;
    command += " timeout 60";
    AppendQuoted(command, KESTORY_EXPORT_BINARY);
    for (const std::string& a : args)
        AppendQuoted(command, a);
    command += " >";
    AppendQuoted(command, dir / "stdout.txt");
    command += " 2>";
    AppendQuoted(command, dir / "stderr.txt");
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
    // Sub-folders only with --recursive, after the folder's own files, in the order of their names.
    for (const char* sub : {"photos/later", "photos/Early"})
        fs::create_directory(dir / sub);
    ASSERT_TRUE(MinimalPhoto().writeTo(dir / "photos/later/e.jpg") && MinimalPhoto().writeTo(dir / "photos/Early/d.jpg"));
    const auto csvNames = [&] {
        std::vector<std::string> names;
        const std::string csv = ReadText(dir / "out.csv");
        for (size_t at = csv.find("\r\n"); at + 2 < csv.size(); at = csv.find("\r\n", at + 2))
            names.push_back(csv.substr(at + 2, csv.find(',', at + 2) - at - 2));
        return names;
    };
    RunResult r = RunExporter(dir, {"--csv", dir / "out.csv", dir / "single.jpg", dir / "photos"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, (dir / "photos/C.JPG") + kNoExif + "\n");
    EXPECT_EQ(csvNames(), (std::vector<std::string>{"single.jpg", "A.JPG", "b.jpg"}));
    // A photo given twice, by itself and inside a folder, is one row.
    r = RunExporter(dir, {"--csv", dir / "out.csv", "--recursive", dir / "photos", dir / "single.jpg",
                          dir / "single.jpg", dir / "photos/A.JPG"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, (dir / "photos/C.JPG") + kNoExif + "\n");
    EXPECT_EQ(csvNames(), (std::vector<std::string>{"A.JPG", "b.jpg", "d.jpg", "e.jpg", "single.jpg"}));

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

TEST(ExportCli, ThumbnailCacheInTheUsersCacheFolderUnlessNoCache) {
    TempDir dir;
    ASSERT_TRUE(MinimalPhoto().patternPicture(640, 480).writeTo(dir / "a.jpg"));
    std::string home = "XDG_CACHE_HOME='";  // a temporary folder's name holds no quote
    home += dir / "cache";
    home += '\'';
    const std::string cacheFile = dir / "cache/Kestory/thumbnails.sqlite";
    EXPECT_EQ(RunExporter(dir, {"--no-cache", "--csv", dir / "plain.csv", dir / "a.jpg"}, home).exitCode, 0);
    EXPECT_FALSE(fs::exists(cacheFile));
    for (const char* csv : {"first.csv", "second.csv"}) {
        const RunResult r = RunExporter(dir, {"--csv", dir / csv, dir / "a.jpg"}, home);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(fs::exists(cacheFile));
        EXPECT_EQ(ReadText(dir / csv), ReadText(dir / "plain.csv"));
    }
}

// Colours and counts of a known set, read back from the exporter's PNG at known pixels.
TEST(ExportCli, ColouredMarksAndDensityCellsAtKnownPixels) {
    TempDir dir;
    const auto shot = [](uint32_t timeDen, uint32_t fNumber, const std::string& model) {
        JpegBuilder b;
        b.model(model).exposureTime(1, timeDen).fNumber(fNumber, 1).isoSpeed(100).patternPicture(16, 12);
        return b;
    };
    ASSERT_TRUE(shot(125, 8, "Alpha").writeTo(dir / "a1.jpg"));
    ASSERT_TRUE(shot(125, 8, "Alpha").writeTo(dir / "a2.jpg"));
    ASSERT_TRUE(shot(30, 2, "Beta").writeTo(dir / "b.jpg"));
    const auto pixel = [](const cv::Mat& image, int x, int y) {
        const cv::Vec3b bgr = image.at<cv::Vec3b>(y, x);
        return std::vector<int>{bgr[2], bgr[1], bgr[0]};
    };
    const auto render = [&](const std::vector<std::string>& view) {
        std::vector<std::string> args{"--png", dir / "c.png"};
        args.insert(args.end(), view.begin(), view.end());
        args.insert(args.end(), {dir / "a1.jpg", dir / "a2.jpg", dir / "b.jpg"});
        EXPECT_EQ(RunExporter(dir, args).exitCode, 0);
        return cv::imread(dir / "c.png", cv::IMREAD_COLOR);
    };

    // Alpha (two photos) takes Okabe and Ito's first colour, Beta the second; the legend's discs
    // stand in one column as wide as "Alpha", in the top-right corner.
    const cv::Mat cameras = render({"--color-by", "camera"});
    ASSERT_EQ(cameras.cols, 750);
    EXPECT_EQ(pixel(cameras, 472, 262), (std::vector<int>{0, 0, 0}));       // 1/125 s F8
    EXPECT_EQ(pixel(cameras, 412, 142), (std::vector<int>{230, 159, 0}));   // 1/30 s F2
    EXPECT_EQ(pixel(cameras, 712, 7), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(pixel(cameras, 712, 18), (std::vector<int>{230, 159, 0}));

    // The fuller cell darkest, the single photo's lightest, an empty one white.
    const cv::Mat density = render({"--density"});
    ASSERT_EQ(density.cols, 750);
    EXPECT_EQ(pixel(density, 473, 263), (std::vector<int>{68, 1, 84}));     // F8-F11 x 1/125-1/250
    EXPECT_EQ(pixel(density, 413, 143), (std::vector<int>{253, 231, 37}));  // F2-F2.8 x 1/30-1/60
    EXPECT_EQ(pixel(density, 443, 263), (std::vector<int>{255, 255, 255})); // F8-F11 x 1/60-1/125

    // With no view option the picture has neither.
    const cv::Mat plain = render({"--marks"});
    EXPECT_EQ(pixel(plain, 472, 262), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(pixel(plain, 664, 7), (std::vector<int>{255, 255, 255}));
}

// The filter options choose the photos of all three outputs; a filter nothing passes is as no photo.
TEST(ExportCli, FilterOptionsChooseThePhotos) {
    TempDir dir;
    const struct {
        const char* name;
        const char* model;
        uint16_t iso;
        const char* date;
    } photos[] = {
        {"A.JPG", "EOS R5", 100, "2023:01:05 10:00:00"},
        {"B.JPG", "EOS R5", 1600, "2023:06:10 10:00:00"},
        {"C.JPG", "X-T4", 400, nullptr},
    };
    for (const auto& p : photos) {
        JpegBuilder b;
        b.model(p.model).exposureTime(1, 125).fNumber(8, 1).isoSpeed(p.iso).patternPicture(16, 12);
        if (p.date != nullptr) {
            b.ascii(kExifDirectory, 0x9003, p.date);
        }
        ASSERT_TRUE(b.writeTo(dir / p.name));
    }
    const auto rows = [&](std::vector<std::string> options) {
        options.insert(options.begin(), {"--csv", dir / "out.csv"});
        for (const auto& p : photos)
            options.push_back(dir / p.name);
        const RunResult r = RunExporter(dir, options);
        std::string names = std::to_string(r.exitCode);
        names += ':';
        const std::string csv = r.exitCode == 0 ? ReadText(dir / "out.csv") : "";
        for (size_t at = csv.find("\r\n"); at + 2 < csv.size(); at = csv.find("\r\n", at + 2)) {
            names += ' ';
            names += csv.substr(at + 2, csv.find(',', at + 2) - at - 2);
        }
        return names;
    };
    EXPECT_EQ(rows({}), "0: A.JPG B.JPG C.JPG");
    EXPECT_EQ(rows({"--camera", "EOS R5"}), "0: A.JPG B.JPG");
    EXPECT_EQ(rows({"--camera", "EOS R5", "--iso", "400-3200"}), "0: B.JPG");
    EXPECT_EQ(rows({"--from", "2023-01-01"}), "0: A.JPG B.JPG");
    EXPECT_EQ(rows({"--to", "2023-01-05", "--camera", "EOS R5", "--camera", "X-T4"}), "0: A.JPG");
    EXPECT_EQ(rows({"--camera", "EOS"}), "1:");

    const RunResult bad = RunExporter(dir, {"--png", dir / "c.png", "--iso", "lots", dir / "A.JPG"});
    EXPECT_EQ(bad.exitCode, 64);
    EXPECT_NE(bad.err.find("--iso"), std::string::npos) << bad.err;
    EXPECT_FALSE(fs::exists(dir / "c.png"));
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
        }
        EXPECT_EQ(doc.Pictures().Count(), keep ? 4U : 0U);
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
        withPicture = doc.Pictures().Count();
        bytes = "png";
        return true;
    };
    EXPECT_EQ(RunExport(options, notifier, {}, countPictures), kExitOk);
    EXPECT_EQ(withPicture, 4U);
}

} // namespace

// A signal stops the run where it stands: what was written before it is whole, nothing after it is
// written, and the exit status is the shell's for the signal.
TEST(ExportCli, TerminationSignalStopsBetweenOutputs) {
    TempDir dir;
    ASSERT_TRUE(MinimalPhoto().writeTo(dir / "a.jpg") && MinimalPhoto().writeTo(dir / "b.jpg"));
    const struct {
        int signalNumber;
        const char* after; // the output whose appearance raises the signal; "" at once
        bool csv, png;
        int status;
    } cases[] = {{SIGTERM, "", false, false, 143},
                 {SIGINT, "out.csv", true, false, 130},
                 {SIGHUP, "chart.png", true, true, 129},
                 {0, "", true, true, kExitOk}};
    for (const auto& c : cases) {
        fs::remove(dir / "out.csv");
        fs::remove(dir / "chart.png");
        fs::remove(dir / "chart.pdf");
        ExportOptions options;
        options.inputs = {dir / "a.jpg", dir / "b.jpg"};
        options.csvPath = dir / "out.csv";
        options.pngPath = dir / "chart.png";
        options.pdfPath = dir / "chart.pdf";
        const std::string after = *c.after != '\0' ? dir / c.after : std::string();
        RecordingNotifier notifier;
        const ChartFileWriter drawn = [](CLumivaneDoc&, std::string& bytes) {
            bytes = "chart";
            return true;
        };
        const int status = RunExport(options, notifier, drawn, drawn, {}, {}, [&] {
            return after.empty() || fs::exists(after) ? c.signalNumber : 0;
        });
        EXPECT_EQ(status, c.status) << c.signalNumber;
        EXPECT_EQ(fs::exists(dir / "out.csv"), c.csv) << c.signalNumber;
        EXPECT_EQ(fs::exists(dir / "chart.png"), c.png) << c.signalNumber;
        EXPECT_EQ(fs::exists(dir / "chart.pdf"), c.status == kExitOk) << c.signalNumber;
        // No temporary file of a write left beside the outputs.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()),
                  2 + int(c.csv) + int(c.png) + int(c.status == kExitOk));
    }
}

// --stats and its files: the value's name, the pairing of the three options, and a run that lists
// every bin of the photos the filters let through (names not lumped as the panel does).
TEST(ExportCli, StatisticsAndSvgOutputs) {
    const struct {
        std::vector<std::string> args;
        Status status;
        std::optional<StatValue> value;
    } cases[] = {
        {{"--stats", "focal35", "--stats-csv", "s.csv", "a.jpg"}, Status::Run, StatValue::Focal35},
        {{"--stats=weekday", "--stats-csv", "s.csv", "--stats-png", "s.png", "a.jpg"}, Status::Run, StatValue::Weekday},
        {{"--svg", "c.svg", "a.jpg"}, Status::Run, std::nullopt},
        {{"--stats", "lenses", "--stats-csv", "s.csv", "a.jpg"}, Status::UsageError, std::nullopt},
        {{"--stats", "iso", "a.jpg"}, Status::UsageError, std::nullopt},
        {{"--stats-csv", "s.csv", "a.jpg"}, Status::UsageError, std::nullopt},
        {{"--csv", "o.csv", "--stats-png", "s.png", "a.jpg"}, Status::UsageError, std::nullopt},
        {{"--stats", "iso", "--stats", "ev", "--stats-csv", "s.csv", "a.jpg"}, Status::UsageError, std::nullopt},
    };
    for (const auto& c : cases) {
        const ParsedCommandLine parsed = ParseExportOptions(c.args);
        EXPECT_EQ(parsed.status, c.status) << c.args[1];
        EXPECT_EQ(parsed.options.statsValue, c.value) << c.args[1];
    }

    TempDir dir;
    // Ties in the order of the names' bytes.
    const auto name = [](int i) { return std::string("M") + char('A' + i); };
    for (int i = 0; i < 22; ++i) {
        ASSERT_TRUE(MinimalPhoto().model(name(i)).writeTo(dir / ("p" + std::to_string(i) + ".jpg")));
    }
    ASSERT_TRUE(MinimalPhoto().model(name(0)).writeTo(dir / "q.jpg"));
    RunResult r = RunExporter(dir, {"--stats", "camera", "--stats-csv", dir / "s.csv", "--stats-png", dir / "s.png",
                                    "--svg", dir / "c.svg", dir.Path()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string expected = "区分,枚数,割合 (%)\r\nMA,2,8.7\r\n";
    for (int i = 1; i < 22; ++i) {
        expected += name(i) + ",1,4.3\r\n";
    }
    std::string cp932;
    ASSERT_TRUE(EncodeCp932(expected, cp932));
    EXPECT_EQ(ReadText(dir / "s.csv"), cp932);
    EXPECT_EQ(ReadText(dir / "s.png").substr(1, 3), "PNG");
    const std::string svg = ReadText(dir / "c.svg");
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find(">シャッター<"), std::string::npos) << "the chart's texts are text in the SVG";
}
