#include "collection/CsvExport.h"
#include "collection/CLumivaneDoc.h"
#include "collection/FolderScan.h"
#include "tests/collection/CollectionTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestory::test;
namespace fs = std::filesystem;

namespace {

std::string FromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

// The header line as code page 932 bytes, converted independently of the program.
const std::string kHeaderCp932 = FromHex(
    "4a5045472c45562c41562c54562c8ab4937895e290b32c8d6982e8926c814582652c835683838362835e815b91ac93788145"
    "95622c8ab49378814549534f2c98498f6f95e290b3814583588365836283762c8fc5935f8b9797a381456d6d2c959d814583"
    "73834e835a838b2c8d8282b381458373834e835a838b2c8e42896593fa8e9e2c834a838183898381815b834a815b2c838283"
    "66838b2c835c837483678345834683412c98498f6f8376838d834f838983802c91aa8cf58382815b83682c8cf58cb92c837a"
    "838f83438367836f8389839383582c90468bf38ad42c83748389836283568385");
const std::string kCanonCp932 = "\x83\x4C\x83\x84\x83\x6D\x83\x93"; // キヤノン

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + separator.size())
        parts.push_back(text.substr(start, end - start));
    parts.push_back(text.substr(start));
    return parts;
}

// Sets the C library to a locale with a decimal comma, as Qt does from LANG=de_DE.UTF-8; made with
// localedef into the folder where the system has none. False when neither works.
bool UseCommaLocale(const TempDir& folder) {
    const auto takesComma = [](const char* name) {
        char text[16];
        return std::setlocale(LC_ALL, name) != nullptr &&
               std::snprintf(text, sizeof text, "%.1f", 11.0) > 0 && std::string(text) == "11,0";
    };
    if (takesComma("de_DE.UTF-8")) {
        return true;
    }
    // localedef's exit status is not telling: warnings give 1 with a usable locale.
    if (std::system(
            ("localedef -i de_DE -f UTF-8 '" + (folder / "de_DE.UTF-8") + "' >/dev/null 2>&1").c_str()) ==
        -1) {
        return false;
    }
    setenv("LOCPATH", folder.Path().c_str(), 1);
    return takesComma("de_DE.UTF-8");
}

class CsvExport : public ::testing::Test {
protected:
    void Add(const JpegBuilder& builder, const std::string& name) {
        ASSERT_TRUE(builder.writeTo(dir / name));
        ASSERT_EQ(doc.AddPhoto(dir / name), 1) << name;
    }
    // The file's lines; every line, the last included, ends in CR LF.
    std::vector<std::string> Export() {
        EXPECT_EQ(WriteCsv(doc.Photos(), dir / "out.csv"), 1);
        std::vector<std::string> lines = Split(ReadText(dir / "out.csv"), "\r\n");
        EXPECT_EQ(lines.back(), "");
        lines.pop_back();
        return lines;
    }
    bool Leftovers() const {
        return std::any_of(
            fs::directory_iterator(dir.Path()), fs::directory_iterator(),
            [](const fs::directory_entry& e) { return e.path().filename().string()[0] == '.'; });
    }

    TempDir dir;
    RecordingNotifier notifier;
    CLumivaneDoc doc{notifier};
};

TEST_F(CsvExport, HeaderAndMinimalLineInCodePage932) {
    ASSERT_NO_FATAL_FAILURE(Add(MinimalPhoto(), "A.JPG"));
    EXPECT_EQ(Export(),
              (std::vector<std::string>{kHeaderCp932, "A.JPG,11.0,6.0,7.0,-2.0,8.0,1/125 \x95\x62,400" +
                                                          std::string(14, ',')}));
}

TEST_F(CsvExport, EveryColumnInItsPlace) {
    ASSERT_NO_FATAL_FAILURE(Add(CameraLikeJpeg(), "IMG_0001.JPG")); // F5.6, 1/125 s, ISO 400
    EXPECT_EQ(FormatCsvRow(doc.GetAt(0)),
              "IMG_0001.JPG,9.9,5.0,7.0,-2.0,5.6,1/125 秒,400,-0.3,50,64,48,2011/01/02 03:04:05,Canon,"
              "Canon EOS 5D Mark II,Firmware "
              "2.1.2,絞り優先,分割測光,不明,自動ホワイトバランス,sRGB,フラッシュなし");

    JpegBuilder iso100;
    iso100.exposureTime(1, 60).fNumber(28, 10).isoSpeed(100);
    ASSERT_NO_FATAL_FAILURE(Add(iso100, "ISO100.JPG"));
    EXPECT_EQ(FormatCsvRow(doc.GetAt(1)).substr(0, 32), "ISO100.JPG,8.9,3.0,5.9,-0.0,2.8,");

    // Without ISO speed there is no EV and no correction to give: empty fields, still 22.
    JpegBuilder noIso;
    noIso.exposureTime(1, 125).fNumber(8, 1);
    ASSERT_NO_FATAL_FAILURE(Add(noIso, "NOISO.JPG"));
    EXPECT_EQ(FormatCsvRow(doc.GetAt(2)), "NOISO.JPG,,6.0,7.0,,8.0,1/125 秒," + std::string(14, ','));

    // Only the APEX values: the time and F-number derived from them.
    JpegBuilder apex;
    apex.srational(kExifDirectory, 0x9201, 13, 2).rational(kExifDirectory, 0x9202, 5, 1).isoSpeed(100);
    ASSERT_NO_FATAL_FAILURE(Add(apex, "APEX.JPG"));
    EXPECT_EQ(FormatCsvRow(doc.GetAt(3)), "APEX.JPG,11.5,5.0,6.5,-0.0,5.7,1/91 秒,100" + std::string(14, ','));
}

TEST_F(CsvExport, NumbersKeepTheirFullStopUnderACommaLocale) {
    ASSERT_NO_FATAL_FAILURE(Add(CameraLikeJpeg(), "IMG_0001.JPG")); // F5.6, 1/125 s, ISO 400, -1/3
    JpegBuilder slow;
    slow.exposureTime(3, 10).fNumber(28, 10).isoSpeed(100).srational(kExifDirectory, 0x9204, -2, 3);
    ASSERT_NO_FATAL_FAILURE(Add(slow, "SLOW.JPG"));
    const auto texts = [&] {
        return FormatCsvRow(doc.GetAt(0)) + FormatCsvRow(doc.GetAt(1)) + doc.GetAt(0).GetSummaryText();
    };
    const std::string inC = texts(); // "9.9", "5.6", "-0.3", "0.30 秒", "-0.7", as other tests check
    const bool comma = UseCommaLocale(dir);
    const std::string inComma = texts();
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    if (!comma) {
        GTEST_SKIP() << "no locale with a decimal comma could be set or made with localedef";
    }
    EXPECT_EQ(inComma, inC);
}

TEST_F(CsvExport, FieldsWithSeparatorsAreQuoted) {
    const struct {
        const char* make;
        const char* written;
    } cases[] = {
        {"Canon, Inc.", "\"Canon, Inc.\""}, {"Say \"cheese\"", "\"Say \"\"cheese\"\"\""},
        {"two\nlines", "\"two\nlines\""},   {"cr\rhere", "\"cr\rhere\""},
        {"it's plain", "it's plain"},
    };
    const std::string before = ",11.0,6.0,7.0,-2.0,8.0,1/125 秒,400,,,,,,";
    for (const auto& c : cases) {
        doc.RemoveAllPhotos();
        JpegBuilder b = MinimalPhoto();
        b.make(c.make);
        ASSERT_NO_FATAL_FAILURE(Add(b, "M.JPG"));
        EXPECT_EQ(FormatCsvRow(doc.GetAt(0)), "M.JPG" + before + c.written + std::string(8, ','));
    }
    doc.RemoveAllPhotos();
    ASSERT_NO_FATAL_FAILURE(Add(MinimalPhoto(), "a,b.JPG"));
    EXPECT_EQ(FormatCsvRow(doc.GetAt(0)).substr(0, 10), "\"a,b.JPG\",");
}

TEST_F(CsvExport, TextsThatASpreadsheetWouldRunGetAQuote) {
    const std::pair<const char*, const char*> makes[] = {
        {"=HYPERLINK(\"http://x\",\"見る\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"見る\"\")\""},
        {"@SUM(1+1)*cmd", "'@SUM(1+1)*cmd"},
        {"+1", "'+1"},
        {"-1", "'-1"},
        {"\tx", "'\tx"},
        {"\rx", "\"'\rx\""},
        {"a=b", "a=b"},
    };
    for (const auto& [make, written] : makes) {
        doc.RemoveAllPhotos();
        JpegBuilder b = MinimalPhoto();
        b.make(make);
        ASSERT_NO_FATAL_FAILURE(Add(b, "M.JPG"));
        EXPECT_EQ(FormatCsvRow(doc.GetAt(0)), "M.JPG,11.0,6.0,7.0,-2.0,8.0,1/125 秒,400,,,,,," +
                                                  std::string(written) + std::string(8, ','));
    }
    // The other camera texts and the file name alike; the numbers' signs stand as they are.
    doc.RemoveAllPhotos();
    JpegBuilder b = MinimalPhoto();
    b.model("-m")
        .ascii(kIfd0, 0x0131, "+s")
        .ascii(kExifDirectory, 0x9003, "=d")
        .srational(kExifDirectory, 0x9204, 2, 1);
    ASSERT_NO_FATAL_FAILURE(Add(b, "@A.JPG"));
    EXPECT_EQ(FormatCsvRow(doc.GetAt(0)),
              "'@A.JPG,11.0,6.0,7.0,-2.0,8.0,1/125 秒,400,+2,,,,'=d,,'-m,'+s,,,,,,");
}

TEST_F(CsvExport, CameraTextsInCodePage932) {
    JpegBuilder b = MinimalPhoto();
    b.make(kCanonCp932 + " \x83\x5C")                 // キヤノン ソ, as a camera writes it
        .model("EOS \xF0\x9F\x98\x80 R \xE3\x82\xAD") // UTF-8: an emoji, then キ
        .ascii(kIfd0, 0x0131, "Ver \xE2\x85\xA0");    // Ⅰ, a code page 932 extension
    ASSERT_NO_FATAL_FAILURE(Add(b, "T.JPG"));
    const std::vector<std::string> lines = Export();
    ASSERT_EQ(lines.size(), 2u);
    const std::vector<std::string> fields = Split(lines[1], ",");
    ASSERT_EQ(fields.size(), 22u);
    EXPECT_EQ(fields[13], kCanonCp932 + " \x83\x5C");
    EXPECT_EQ(fields[14], "EOS ? R \x83\x4C");
    EXPECT_EQ(fields[15], "Ver \x87\x54");
}

TEST(EncodeCp932, UnmappableAndMalformedInputBecomesQuestionMarks) {
    const struct {
        std::string utf8, cp932;
    } cases[] = {
        {"秒", "\x95\x62"},
        {"\xEF\xBD\xB1", "\xB1"}, // half-width ｱ
        {"a\xF0\x9F\x98\x80", "a?"},
        {"x\xFFy", "x?y"},
        {"\xC3\xA9", "?"}, // emoji, not UTF-8, é
        {"\xE4\xB8", "?"}, // cut at the end
        {std::string(5000, '\xE2'), std::string(5000, '?')},
    };
    for (const auto& c : cases) {
        std::string out;
        ASSERT_TRUE(EncodeCp932(c.utf8, out));
        EXPECT_EQ(out, c.cp932) << c.utf8.substr(0, 20);
    }
}

TEST_F(CsvExport, FileNameIsCutAtTheLastSeparator) {
    fs::create_directory(dir / "ソ");
    ASSERT_TRUE(MinimalPhoto().writeTo(dir / "ソ/A.JPG"));
    ASSERT_TRUE(MinimalPhoto().writeTo(dir / "ソ/ソ.JPG"));
    std::vector<std::string> list;
    ASSERT_EQ(ScanFolder(dir / "ソ", list), 2);
    for (const std::string& path : list)
        ASSERT_EQ(doc.AddPhoto(path), 1);
    const std::vector<std::string> lines = Export();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].substr(0, 6), "A.JPG,");
    EXPECT_EQ(lines[2].substr(0, 7), "\x83\x5C.JPG,");
}

TEST_F(CsvExport, TwoThousandPhotos) {
    ASSERT_NO_FATAL_FAILURE(Add(CameraLikeJpeg(), "IMG.JPG"));
    for (int i = 1; i < 2000; ++i)
        doc.AppendPhoto(std::make_unique<PhotoItem>(doc.GetAt(0)));
    const std::vector<std::string> lines = Export();
    ASSERT_EQ(lines.size(), 2001u);
    for (const std::string& line : lines)
        ASSERT_EQ(Split(line, ",").size(), 22u) << line;
}

TEST_F(CsvExport, ReplacedFileKeepsItsPermissionsAndNewOnesAreNotPrivate) {
    ASSERT_TRUE(WriteBytes(dir / "out.csv", std::vector<uint8_t>(10000, 'x')));
    ASSERT_EQ(chmod((dir / "out.csv").c_str(), 0640), 0);
    ASSERT_NO_FATAL_FAILURE(Add(MinimalPhoto(), "A.JPG"));
    EXPECT_EQ(Export().size(), 2u); // nothing of the old content is left
    struct stat st {};
    ASSERT_EQ(stat((dir / "out.csv").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    const mode_t old = umask(022);
    EXPECT_EQ(WriteCsv(doc.Photos(), dir / "fresh.csv"), 1);
    umask(old);
    ASSERT_EQ(stat((dir / "fresh.csv").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_FALSE(Leftovers());
}

TEST_F(CsvExport, FailuresGiveZeroAndLeaveTheEarlierFile) {
    ASSERT_NO_FATAL_FAILURE(Add(MinimalPhoto(), "A.JPG"));
    EXPECT_EQ(WriteCsv(doc.Photos(), dir / "missing/out.csv"), 0);
    fs::create_directory(dir / "folder.csv");
    EXPECT_EQ(WriteCsv(doc.Photos(), dir / "folder.csv"), 0);
    EXPECT_TRUE(fs::is_empty(dir / "folder.csv"));

    // A file-size limit below the export's size makes write() fail as a full disk does.
    ASSERT_TRUE(WriteBytes(dir / "out.csv", {'o', 'l', 'd'}));
    for (int i = 1; i < 200; ++i)
        doc.AppendPhoto(std::make_unique<PhotoItem>(doc.GetAt(0)));
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = WriteCsv(doc.Photos(), dir / "out.csv");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadText(dir / "out.csv"), "old");
    EXPECT_FALSE(Leftovers());
}

// Runs fn as the user nobody when the tests run as root, whom permission bits do not stop, in a
// child process whose exit status carries fn's failures. The folder becomes nobody's first, and
// its parent one nobody may pass through.
void AsUnprivileged(const std::string& folder, const std::function<void()>& fn) {
    if (geteuid() != 0) {
        fn();
        return;
    }
    constexpr uid_t kNobody = 65534;
    ASSERT_EQ(chown(folder.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(chmod(fs::path(folder).parent_path().c_str(), 0711), 0);
    std::fflush(stdout);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
            _exit(2);
        }
        fn();
        std::fflush(stdout);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "as nobody: status " << status;
}

// The cases kestory-export's table of targets (ExportCliTest) does not run for all three outputs.
TEST_F(CsvExport, TargetsAreCheckedAndLinksFollowed) {
    ASSERT_NO_FATAL_FAILURE(Add(MinimalPhoto(), "A.JPG"));
    ASSERT_EQ(WriteCsv(doc.Photos(), dir / "expected.csv"), 1);
    const std::string expected = ReadText(dir / "expected.csv");
    const auto old = [](const std::string& path, mode_t mode) {
        ASSERT_TRUE(WriteBytes(path, {'o', 'l', 'd'}));
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
    };
    const struct {
        const char* target;   // in the case's folder, which holds "ro", a folder the user cannot write
        const char* existing; // a file "old" before, with its mode; "" none
        mode_t mode;
        const char* link;     // what the target links to; "" no link
        const char* reason;   // "" when written
        bool unprivileged;    // as root, run as nobody
    } cases[] = {
        {"ro/out.csv", "ro/out.csv", 0666, "", "", true}, // written in place
        {"ro/new.csv", "", 0, "", "Permission denied", true},
        {"out.csv", "data.csv", 0444, "data.csv", "Permission denied", false},
        {"out.csv", "", 0, "ro/../new.csv", "", false}, // the link's file is created
    };
    int number = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target + std::string(" ") + c.existing + " " + c.link);
        const std::string at = dir / ("case" + std::to_string(++number));
        const auto run = [&] {
            fs::create_directory(at + "/ro");
            if (*c.existing != 0) {
                old(at + "/" + c.existing, c.mode);
            }
            if (*c.link != 0) {
                fs::create_symlink(c.link, at + "/" + c.target);
            }
            chmod((at + "/ro").c_str(), 0555);
            const std::string target = at + "/" + c.target;
            std::string reason = "(unchanged)";
            EXPECT_EQ(WriteCsv(doc.Photos(), target, &reason), *c.reason == 0 ? 1 : 0);
            EXPECT_EQ(reason, *c.reason == 0 ? "(unchanged)" : c.reason);
            EXPECT_EQ(fs::is_symlink(target), *c.link != 0);
            const std::string holder = *c.link != 0 ? at + "/" + c.link : target;
            EXPECT_EQ(fs::exists(holder) ? ReadText(holder) : "", *c.reason == 0 ? expected : *c.existing ? "old" : "");
            for (const auto& entry : fs::recursive_directory_iterator(at)) {
                EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
            }
            chmod((at + "/ro").c_str(), 0755); // lets the folder be removed when not root
        };
        fs::create_directory(at);
        if (c.unprivileged) {
            AsUnprivileged(at, run);
        } else {
            run();
        }
    }
}

} // namespace
