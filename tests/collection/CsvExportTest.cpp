#include "collection/CsvExport.h"
#include "collection/CLumivaneDoc.h"
#include "collection/FolderScan.h"
#include "tests/collection/CollectionTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

using kestory::test::CameraLikeJpeg;
using kestory::test::FromHex;
using kestory::test::JpegBuilder;
using kestory::test::MinimalPhoto;
using kestory::test::ReadText;
using kestory::test::RecordingNotifier;
using kestory::test::TempDir;

namespace fs = std::filesystem;

namespace {

// The header line as code page 932 bytes, converted independently of the program.
const std::string kHeaderCp932 = FromHex(
    "4a5045472c45562c41562c54562c8ab4937895e290b32c8d6982e8926c814582652c835683838362835e815b91ac93788145"
    "95622c8ab49378814549534f2c98498f6f95e290b3814583588365836283762c8fc5935f8b9797a381456d6d2c959d814583"
    "73834e835a838b2c8d8282b381458373834e835a838b2c8e42896593fa8e9e2c834a838183898381815b834a815b2c838283"
    "66838b2c835c837483678345834683412c98498f6f8376838d834f838983802c91aa8cf58382815b83682c8cf58cb92c837a"
    "838f83438367836f8389839383582c90468bf38ad42c83748389836283568385");

const std::string kSecondCp932 = "\x95\x62";                        // 秒
const std::string kCanonCp932 = "\x83\x4C\x83\x84\x83\x6D\x83\x93"; // キヤノン

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return lines;
}

// RFC 4180 fields of one line.
std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

class CsvExport : public ::testing::Test {
protected:
    // Writes the photo, loads it and appends it to the document.
    void Add(const JpegBuilder& builder, const std::string& name) {
        const std::string path = dir / name;
        ASSERT_TRUE(builder.writeTo(path));
        ASSERT_EQ(doc.AddPhoto(path), 1) << name;
    }
    std::string Export() {
        const std::string out = dir / "out.csv";
        EXPECT_EQ(WriteCsv(doc.Photos(), out), 1);
        return ReadText(out);
    }
    // The line of the last photo added, as the file holds it.
    std::string LastLine() {
        const std::vector<std::string> lines = SplitLines(Export());
        return lines.empty() ? std::string() : lines.back();
    }
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(".kestory", 0) == 0)
                names.push_back(name);
        }
        return names;
    }

    TempDir dir;
    RecordingNotifier notifier;
    CLumivaneDoc doc{notifier};
};

TEST_F(CsvExport, MinimalPhotoLineAndHeaderInCodePage932) {
    Add(MinimalPhoto(), "A.JPG");
    const std::string text = Export();
    const std::string expected = kHeaderCp932 + "\r\n" + "A.JPG,11.0,6.0,7.0,-2.0,8.0,1/125 " + kSecondCp932 +
                                 ",400" + std::string(14, ',') + "\r\n";
    EXPECT_EQ(text, expected);
    EXPECT_NE(text.substr(0, 3), "\xEF\xBB\xBF");
}

TEST_F(CsvExport, CameraLikeRowHasEveryColumnInItsPlace) {
    Add(CameraLikeJpeg(), "IMG_0001.JPG");
    // F5.6, 1/125 s, ISO 400: EV log2(5.6² × 125 × 100 / 400) = 9.94.
    EXPECT_EQ(FormatCsvRow(doc.GetAt(0)),
              "IMG_0001.JPG,9.9,5.0,7.0,-2.0,5.6,1/125 秒,400,-0.3,50,64,48,2011/01/02 03:04:05,Canon,"
              "Canon EOS 5D Mark II,Firmware "
              "2.1.2,絞り優先,分割測光,不明,自動ホワイトバランス,sRGB,フラッシュなし");
}

TEST_F(CsvExport, ExposureValueFields) {
    JpegBuilder iso100;
    iso100.exposureTime(1, 60).fNumber(28, 10).isoSpeed(100);
    Add(iso100, "ISO100.JPG");
    const std::vector<std::string> at100 = SplitFields(FormatCsvRow(doc.GetAt(0)));
    ASSERT_EQ(at100.size(), 22u);
    EXPECT_EQ(std::vector<std::string>(at100.begin(), at100.begin() + 6),
              (std::vector<std::string>{"ISO100.JPG", "8.9", "3.0", "5.9", "-0.0", "2.8"}));

    // Without ISO speed EV and the correction cannot be given: empty, and still 22 fields.
    JpegBuilder noIso;
    noIso.exposureTime(1, 125).fNumber(8, 1);
    Add(noIso, "NOISO.JPG");
    const std::string row = FormatCsvRow(doc.GetAt(1));
    EXPECT_EQ(row, "NOISO.JPG,,6.0,7.0,,8.0,1/125 秒," + std::string(14, ','));
    EXPECT_EQ(SplitFields(row).size(), 22u);
}

TEST_F(CsvExport, FieldsWithSeparatorsAreQuoted) {
    struct Case {
        const char* make;
        const char* field; // as written
    };
    const Case cases[] = {
        {"Canon, Inc.", "\"Canon, Inc.\""}, {"Say \"cheese\"", "\"Say \"\"cheese\"\"\""},
        {"two\nlines", "\"two\nlines\""},   {"cr\rhere", "\"cr\rhere\""},
        {"plain 'quote'", "plain 'quote'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.make);
        doc.RemoveAllPhotos();
        JpegBuilder b = MinimalPhoto();
        b.make(c.make);
        Add(b, "M.JPG");
        const std::string row = FormatCsvRow(doc.GetAt(0));
        const std::string prefix = "M.JPG,11.0,6.0,7.0,-2.0,8.0,1/125 秒,400,,,,,,";
        ASSERT_EQ(row.substr(0, prefix.size()), prefix);
        EXPECT_EQ(row.substr(prefix.size(), std::string(c.field).size() + 1), std::string(c.field) + ",");
        const std::vector<std::string> fields = SplitFields(row);
        ASSERT_EQ(fields.size(), 22u);
        EXPECT_EQ(fields[13], c.make);
    }
    // A file name with a comma is quoted too.
    doc.RemoveAllPhotos();
    Add(MinimalPhoto(), "a,b.JPG");
    EXPECT_EQ(FormatCsvRow(doc.GetAt(0)).substr(0, 10), "\"a,b.JPG\",");
}

TEST_F(CsvExport, CameraTextsKeepOrGainCodePage932) {
    JpegBuilder b = MinimalPhoto();
    b.make(kCanonCp932 + " \x83\x5C")                             // キヤノン ソ as the camera wrote it
        .model("EOS \xF0\x9F\x98\x80 R \xE3\x82\xAD")             // UTF-8 with an emoji, then キ
        .ascii(kestory::test::kIfd0, 0x0131, "Ver \xE2\x85\xA0"); // Ⅰ (a code page 932 extension)
    Add(b, "T.JPG");
    const std::vector<std::string> fields = SplitFields(LastLine());
    ASSERT_EQ(fields.size(), 22u);
    EXPECT_EQ(fields[13], kCanonCp932 + " \x83\x5C");
    EXPECT_EQ(fields[14], "EOS ? R \x83\x4C");
    EXPECT_EQ(fields[15], "Ver \x87\x54");
}

TEST(EncodeCp932, UnmappableAndMalformedInputBecomesQuestionMarks) {
    struct Case {
        std::string utf8;
        std::string cp932;
    };
    const Case cases[] = {
        {"abc", "abc"},
        {"秒", "\x95\x62"},
        {"\xEF\xBD\xB1", "\xB1"}, // half-width ｱ: one byte
        {"a\xF0\x9F\x98\x80"
         "b",
         "a?b"},                    // emoji
        {"\xE4\xB8", "?"},          // cut sequence at the end
        {"x\xFFy", "x?y"},          // not UTF-8 at all
        {"\xC3\xA9\xC3\xA9", "??"}, // é twice: not in code page 932
        {std::string(5000, '\xE2') + "", std::string(5000, '?')},
    };
    for (const Case& c : cases) {
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
    const std::vector<std::string> lines = SplitLines(Export());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(SplitFields(lines[1])[0], "A.JPG");
    EXPECT_EQ(SplitFields(lines[2])[0], "\x83\x5C.JPG");

    PhotoItem bare; // a path without any folder is the name itself
    bare.path = "PLAIN.JPG";
    EXPECT_EQ(FormatCsvRow(bare).substr(0, 10), "PLAIN.JPG,");
}

TEST_F(CsvExport, TwoThousandPhotos) {
    Add(CameraLikeJpeg(), "IMG.JPG");
    std::vector<std::unique_ptr<PhotoItem>> photos;
    for (int i = 0; i < 2000; ++i)
        photos.push_back(std::make_unique<PhotoItem>(doc.GetAt(0)));
    const std::string out = dir / "many.csv";
    ASSERT_EQ(WriteCsv(photos, out), 1);
    const std::vector<std::string> lines = SplitLines(ReadText(out));
    ASSERT_EQ(lines.size(), 2001u);
    for (const std::string& line : lines)
        ASSERT_EQ(SplitFields(line).size(), 22u) << line;
    EXPECT_EQ(lines[2000], lines[1]);
}

TEST_F(CsvExport, EmptyCollectionGivesTheHeaderAlone) {
    EXPECT_EQ(Export(), kHeaderCp932 + "\r\n");
}

TEST_F(CsvExport, ReplacingAnExistingFile) {
    const std::string out = dir / "out.csv";
    ASSERT_TRUE(kestory::test::WriteBytes(out, std::vector<uint8_t>(10000, 'x')));
    ASSERT_EQ(chmod(out.c_str(), 0640), 0);
    Add(MinimalPhoto(), "A.JPG");
    ASSERT_EQ(WriteCsv(doc.Photos(), out), 1);
    EXPECT_EQ(SplitLines(ReadText(out)).size(), 2u); // nothing of the old content is left
    struct stat st {};
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // the replaced file's permissions

    const mode_t old = umask(022);
    const std::string fresh = dir / "fresh.csv";
    ASSERT_EQ(WriteCsv(doc.Photos(), fresh), 1);
    umask(old);
    ASSERT_EQ(stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u); // an ordinary new file, not a private temporary
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(CsvExport, FailuresGiveZeroAndLeaveNoTrace) {
    Add(MinimalPhoto(), "A.JPG");
    EXPECT_EQ(WriteCsv(doc.Photos(), dir / "missing/out.csv"), 0);
    EXPECT_FALSE(fs::exists(dir / "missing"));

    fs::create_directory(dir / "folder.csv");
    EXPECT_EQ(WriteCsv(doc.Photos(), dir / "folder.csv"), 0);
    EXPECT_TRUE(fs::is_directory(dir / "folder.csv"));
    EXPECT_TRUE(fs::is_empty(dir / "folder.csv"));
    EXPECT_EQ(WriteCsv(doc.Photos(), ""), 0);

    // A null record in the list: nothing is written over the earlier file.
    const std::string out = dir / "out.csv";
    ASSERT_TRUE(kestory::test::WriteBytes(out, {'o', 'l', 'd'}));
    std::vector<std::unique_ptr<PhotoItem>> broken;
    broken.push_back(std::make_unique<PhotoItem>(doc.GetAt(0)));
    broken.push_back(nullptr);
    EXPECT_EQ(WriteCsv(broken, out), 0);
    EXPECT_EQ(ReadText(out), "old");
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(CsvExport, WriteFailingMidwayKeepsTheEarlierFile) {
    // A file-size limit below the export's size makes write() fail as a full disk would.
    Add(MinimalPhoto(), "A.JPG");
    const std::string out = dir / "out.csv";
    ASSERT_TRUE(kestory::test::WriteBytes(out, {'o', 'l', 'd'}));
    std::vector<std::unique_ptr<PhotoItem>> photos;
    for (int i = 0; i < 200; ++i)
        photos.push_back(std::make_unique<PhotoItem>(doc.GetAt(0)));

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = WriteCsv(photos, out);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadText(out), "old");
    EXPECT_TRUE(Leftovers().empty());
}

} // namespace
