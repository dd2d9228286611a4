#include "collection/FolderScan.h"
#include "collection/CLumivaneDoc.h"
#include "tests/collection/CollectionTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using kestory::test::MinimalPhoto;
using kestory::test::RecordingNotifier;
using kestory::test::TempDir;
using kestory::test::WriteBytes;

namespace fs = std::filesystem;

namespace {

void Touch(const std::string& path) {
    ASSERT_TRUE(WriteBytes(path, {0xFF, 0xD8, 0xFF, 0xD9}));
}

TEST(ComparePaths, BytesAsUnsignedShorterFirst) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"/p/A.JPG", "/p/A.JPG", 0},
        {"/p/10.JPG", "/p/2.JPG", -1},
        {"/p/2.JPG", "/p/A.JPG", -1}, // digits before letters
        {"/p/B.JPG", "/p/A.JPG", 1},
        {"/p/A", "/p/A.JPG", -1},            // the one that ends first is smaller
        {"/p/Z.JPG", "/p/\xC3\x80.JPG", -1}, // ASCII before every other byte (U+00C0)
        // Code point order: katakana U+30A2 before half-width katakana U+FF71.
        {"/p/\xE3\x82\xA2.JPG", "/p/\xEF\xBD\xB1.JPG", -1},
        {"", "", 0},
        {"", "a", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ComparePaths(c.a, c.b), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(ComparePaths(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
    }
}

TEST(ScanFolder, SortsByUpperCasedNamesAndKeepsRealPaths) {
    TempDir dir;
    for (const char* name : {"B.JPG", "a.jpg", "10.JPG", "2.JPG", "c.Jpg"})
        Touch(dir / name);
    for (const char* name : {"D.jpeg", "E.JPG.txt", "JPG", "F.TXT"})
        Touch(dir / name);

    std::vector<std::string> list = {"stale"};
    EXPECT_EQ(ScanFolder(dir.path(), list), 5);
    const std::vector<std::string> expected = {dir / "10.JPG", dir / "2.JPG", dir / "a.jpg", dir / "B.JPG",
                                               dir / "c.Jpg"};
    EXPECT_EQ(list, expected);
    for (const std::string& path : list)
        EXPECT_TRUE(fs::is_regular_file(path)) << path;

    // A folder given with its separator gets no second one.
    EXPECT_EQ(ScanFolder(dir.path() + "/", list), 5);
    EXPECT_EQ(list.front(), dir / "10.JPG");
}

TEST(ScanFolder, NamesDifferingOnlyInCaseKeepAFixedOrder) {
    TempDir dir;
    Touch(dir / "a.jpg");
    Touch(dir / "A.JPG");
    std::vector<std::string> list;
    EXPECT_EQ(ScanFolder(dir.path(), list), 2);
    EXPECT_EQ(list, (std::vector<std::string>{dir / "A.JPG", dir / "a.jpg"}));
}

TEST(ScanFolder, WhichEntriesAreTaken) {
    TempDir dir;
    Touch(dir / ".H.JPG"); // hidden
    fs::create_directory(dir / "SUB");
    Touch(dir / "SUB/C.JPG"); // in a subfolder
    fs::create_directory(dir / "X.JPG");
    Touch(dir / "TARGET.BIN");
    fs::create_symlink(dir / "TARGET.BIN", dir / "LINK.JPG");
    fs::create_symlink(dir / "NOWHERE", dir / "BROKEN.JPG");
    fs::create_directory_symlink(dir / "SUB", dir / "DIRLINK.JPG");

    std::vector<std::string> list;
    EXPECT_EQ(ScanFolder(dir.path(), list), 2);
    EXPECT_EQ(list, (std::vector<std::string>{dir / ".H.JPG", dir / "LINK.JPG"}));
}

TEST(ScanFolder, FoldersThatCannotBeReadGiveNothing) {
    TempDir dir;
    Touch(dir / "FILE.JPG");
    std::vector<std::string> list = {"stale"};
    EXPECT_EQ(ScanFolder(dir / "MISSING", list), 0);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(ScanFolder(dir / "FILE.JPG", list), 0); // a file, not a folder
    EXPECT_EQ(ScanFolder("", list), 0);
}

TEST(ScanFolder, FolderWithOnlyASubfolderAndATextFileImportsNothingQuietly) {
    TempDir dir;
    fs::create_directory(dir / "X.JPG");
    Touch(dir / "Y.TXT");
    RecordingNotifier notifier;
    CLumivaneDoc doc(notifier);
    std::vector<std::string> list;
    EXPECT_EQ(ScanFolder(dir.path(), list), 0);
    for (const std::string& path : list)
        doc.AddPhoto(path);
    EXPECT_EQ(doc.GetCount(), 0u);
    EXPECT_TRUE(notifier.messages.empty());
}

TEST(ScanFolder, ScannedPathsLoadInTheirOrder) {
    TempDir dir;
    for (const char* name : {"B.JPG", "a.jpg", "10.JPG", "2.JPG"})
        ASSERT_TRUE(MinimalPhoto().writeTo(dir / name));
    RecordingNotifier notifier;
    CLumivaneDoc doc(notifier);
    std::vector<std::string> list;
    ASSERT_EQ(ScanFolder(dir.path(), list), 4);
    for (const std::string& path : list)
        doc.AddPhoto(path);
    EXPECT_TRUE(notifier.messages.empty());
    ASSERT_EQ(doc.GetCount(), 4u);
    EXPECT_EQ(doc.GetAt(0).path, dir / "10.JPG");
    EXPECT_EQ(doc.GetAt(1).path, dir / "2.JPG");
    EXPECT_EQ(doc.GetAt(2).path, dir / "a.jpg");
    EXPECT_EQ(doc.GetAt(3).path, dir / "B.JPG");
}

} // namespace
