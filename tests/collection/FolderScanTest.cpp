#include "collection/FolderScan.h"
#include "collection/RawJpegPairs.h"
#include "collection/CLumivaneDoc.h"
#include "tests/collection/CollectionTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace kestory::test;
namespace fs = std::filesystem;

namespace {

void Touch(const std::string& path) {
    ASSERT_TRUE(WriteBytes(path, {0xFF, 0xD8, 0xFF, 0xD9}));
}

TEST(ComparePaths, CodePage932CharactersShorterFirst) {
    const struct {
        const char* a;
        const char* b;
        int expected;
    } cases[] = {
        {"/p/A.JPG", "/p/A.JPG", 0},
        {"/p/10.JPG", "/p/2.JPG", -1},
        {"/p/2.JPG", "/p/A.JPG", -1},
        {"/p/A", "/p/A.JPG", -1},
        {"", "", 0},
        {"/p/Z.JPG", "/p/ｱ.JPG", -1},   // 5A before B1
        {"/p/ｱ.JPG", "/p/Ａ.JPG", -1},  // B1 before 8260, though its byte is the larger
        {"/p/ｱ.JPG", "/p/ア.JPG", -1},  // half-width before full-width katakana (8341)
        {"/p/Ａ.JPG", "/p/あ.JPG", -1}, // 8260 before 82A0
        {"/p/あ.JPG", "/p/亜.JPG", -1}, // 82A0 before 889F
        {"/p/ソ.JPG", "/p/ゾ.JPG", -1}, // 835C before 835D: the trail byte is no separator
        // No code page 932 code: read as "?" (3F), the real bytes break the tie.
        {"/p/Z.JPG", "/p/\xC3\x80.JPG", 1},
        {"/p/?.JPG", "/p/\xC3\x80.JPG", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ComparePaths(c.a, c.b), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(ComparePaths(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
    }
}

TEST(ScanFolder, SortsByUpperCasedNamesAndKeepsRealPaths) {
    TempDir dir;
    for (const char* name : {"B.JPG", "a.jpg", "10.JPG", "2.JPG", "c.Jpg", "D.jpeg", "e.JPE", "F.Jfif", "G.JPG.txt",
                             "H.TXT", "I.JPEG.bak", "J.JFI"})
        Touch(dir / name);
    std::vector<std::string> list = {"stale"};
    EXPECT_EQ(ScanFolder(dir.Path() + "/", list), 8);
    EXPECT_EQ(list, (std::vector<std::string>{dir / "10.JPG", dir / "2.JPG", dir / "a.jpg", dir / "B.JPG",
                                              dir / "c.Jpg", dir / "D.jpeg", dir / "e.JPE", dir / "F.Jfif"}));
    // Names that differ only in case, possible here, keep a fixed order.
    Touch(dir / "b.jpg");
    EXPECT_EQ(ScanFolder(dir.Path(), list), 9);
    EXPECT_EQ(list[3], dir / "B.JPG");
    EXPECT_EQ(list[4], dir / "b.jpg");

    TempDir japanese;
    for (const char* name : {"あ.JPG", "ｱ.JPG", "Ａ.JPG", "亜.JPG", "z.JPG", "\xC3\x80.JPG", "?.JPG"})
        Touch(japanese / name);
    EXPECT_EQ(ScanFolder(japanese.Path(), list), 7);
    EXPECT_EQ(list, (std::vector<std::string>{japanese / "?.JPG", japanese / "\xC3\x80.JPG",
                                              japanese / "z.JPG", japanese / "ｱ.JPG", japanese / "Ａ.JPG",
                                              japanese / "あ.JPG", japanese / "亜.JPG"}));
}

TEST(ScanFolder, WhichEntriesAreTaken) {
    TempDir dir;
    Touch(dir / ".H.JPG"); // hidden
    fs::create_directory(dir / "SUB");
    Touch(dir / "SUB/C.JPG");
    fs::create_directory(dir / "X.JPG");
    Touch(dir / "TARGET.BIN");
    fs::create_symlink(dir / "TARGET.BIN", dir / "LINK.JPG");
    fs::create_symlink(dir / "NOWHERE", dir / "BROKEN.JPG");
    fs::create_directory_symlink(dir / "SUB", dir / "DIRLINK.JPG");
    std::vector<std::string> list;
    EXPECT_EQ(ScanFolder(dir.Path(), list), 2);
    EXPECT_EQ(list, (std::vector<std::string>{dir / ".H.JPG", dir / "LINK.JPG"}));

    // HEIF and raw names only when asked for, in any case; other names never.
    for (const char* name : {"P.HEIC", "p.heif", "Q.hif", "R.DNG", "r.cr2", "S.NEF", "T.Arw", "U.PEF", "V.ORF",
                             "W.RW2", "X.SRW", "Y.CR3", "Z.RAF", "a.crw", "b.MRW", "c.x3f", "d.NRW", "e.3fr",
                             "f.IIQ", "g.erf", "h.MOS", "i.dcr", "j.KDC", "k.srf", "l.SR2", "HEIC", "Z.TIF"})
        Touch(dir / name);
    EXPECT_EQ(ScanFolder(dir.Path(), list), 2);
    EXPECT_EQ(ScanFolder(dir.Path(), list, true), 27);
    EXPECT_EQ(list.front(), dir / ".H.JPG");
    EXPECT_EQ(list.back(), dir / "Z.RAF");

    EXPECT_EQ(ScanFolder(dir / "MISSING", list), 0);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(ScanFolder(dir / ".H.JPG", list), 0); // a file, not a folder
}

TEST(ScanFolder, ImportsInItsOrderAndNothingFromSubfoldersOrOtherFiles) {
    TempDir dir;
    for (const char* name : {"B.JPG", "a.jpg", "10.JPG", "2.JPG"})
        ASSERT_TRUE(MinimalPhoto().writeTo(dir / name));
    fs::create_directory(dir / "only");
    fs::create_directory(dir / "only/X.JPG");
    Touch(dir / "only/Y.TXT");
    RecordingNotifier notifier;
    CLumivaneDoc doc(notifier);
    std::vector<std::string> list;
    EXPECT_EQ(ScanFolder(dir / "only", list), 0);
    ASSERT_EQ(ScanFolder(dir.Path(), list), 4);
    for (const std::string& path : list)
        doc.AddPhoto(path);
    EXPECT_TRUE(notifier.texts.empty());
    ASSERT_EQ(doc.GetCount(), 4u);
    EXPECT_EQ(doc.GetAt(0).path, dir / "10.JPG");
    EXPECT_EQ(doc.GetAt(2).path, dir / "a.jpg");
}

} // namespace

namespace {

// Each case builds a tree in its own folder; the expected paths are relative to it.
TEST(ScanFolderTree, FolderByFolderWithoutLinkedOrHiddenFolders) {
    const auto tree = [](const TempDir& d, std::vector<const char*> folders, std::vector<const char*> files) {
        for (const char* folder : folders)
            fs::create_directories(d / folder);
        for (const char* file : files)
            Touch(d / file);
    };
    const struct {
        const char* name;
        std::function<void(const TempDir&)> build;
        std::vector<std::string> expected;
    } cases[] = {
        {"own files, then sub-folders by name",
         [&](const TempDir& d) {
             tree(d, {"beta", "Alpha/inner", "empty/deeper", "gamma.JPG", ".thumbnails/normal"},
                  {"b.jpg", "A.JPG", "x.txt", "beta/z.JPG", "beta/B.jpg", "Alpha/x.jpg", "Alpha/inner/y.JPG",
                   "gamma.JPG/g.jpg", ".H.JPG", ".thumbnails/T.JPG", ".thumbnails/normal/N.JPG"});
         },
         {".H.JPG", "A.JPG", "b.jpg", "Alpha/x.jpg", "Alpha/inner/y.JPG", "beta/B.jpg", "beta/z.JPG",
          "gamma.JPG/g.jpg"}},
        {"links",
         [&](const TempDir& d) {
             tree(d, {"sub/deeper"}, {"a.jpg", "sub/deeper/d.jpg", "data.bin"});
             fs::create_directory_symlink(d.Path(), d / "sub/up"); // an ancestor
             fs::create_directory_symlink("..", d / "sub/deeper/parent");
             fs::create_directory_symlink(d / "sub", d / "again"); // would come before sub
             fs::create_symlink(d / "data.bin", d / "L.JPG");
             fs::create_symlink("../../data.bin", d / "sub/deeper/M.jpg");
             fs::create_symlink("nowhere", d / "sub/broken.JPG");
         },
         {"a.jpg", "L.JPG", "sub/deeper/d.jpg", "sub/deeper/M.jpg"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        c.build(dir);
        std::vector<std::string> expected;
        for (const std::string& relative : c.expected)
            expected.push_back(dir / relative);
        std::vector<std::string> list = {"stale"};
        EXPECT_EQ(ScanFolderTree(dir.Path(), list), static_cast<int>(expected.size()));
        EXPECT_EQ(list, expected);
    }
}

TEST(ScanFolderTree, StopsWhenToldAndSkipsUnreadableFolders) {
    TempDir dir;
    fs::create_directories(dir / "a/b");
    fs::create_directories(dir / "a/a");  // no photo: a folder counted, no file
    for (const char* file : {"1.JPG", "a/2.JPG", "a/b/3.JPG"})
        Touch(dir / file);
    std::vector<std::string> list;
    std::vector<std::pair<size_t, size_t>> counts;  // folders, files
    EXPECT_EQ(ScanFolderTree(dir.Path(), list, [&](size_t folders, size_t found) {
                  counts.emplace_back(folders, found);
                  return found < 3;
              }),
              -1);
    EXPECT_EQ(counts, (std::vector<std::pair<size_t, size_t>>{{1, 1}, {2, 2}, {3, 2}, {4, 3}}));
    EXPECT_TRUE(list.empty());

    fs::permissions(dir / "a", fs::perms::none);
    std::error_code denied; // root reads it all the same
    const bool readable = fs::directory_iterator(dir / "a", denied) != fs::directory_iterator();
    EXPECT_EQ(ScanFolderTree(dir.Path(), list), readable ? 3 : 1);
    fs::permissions(dir / "a", fs::perms::owner_all);
}

} // namespace

// RAW+JPEG counted once: the raw file of a JPEG's folder and base name (any case) is left out and
// named for the JPEG; other folders, other names and HEIF files stay.
TEST(PairRawWithJpeg, LeavesOutTheRawOfEachJpeg) {
    std::vector<std::string> paths = {"/a/IMG_1.CR3", "/a/IMG_1.JPG", "/a/img_2.jpeg", "/a/IMG_2.RAF",
                                      "/a/IMG_2.DNG", "/b/IMG_1.CR3", "/a/IMG_3.HEIC", "/a/IMG_3.JPG",
                                      "/a/IMG_4.NEF"};
    RawCompanions companions;
    EXPECT_EQ(PairRawWithJpeg(paths, companions), 3u);
    EXPECT_EQ(paths, (std::vector<std::string>{"/a/IMG_1.JPG", "/a/img_2.jpeg", "/b/IMG_1.CR3", "/a/IMG_3.HEIC",
                                               "/a/IMG_3.JPG", "/a/IMG_4.NEF"}));
    EXPECT_EQ(companions, (RawCompanions{{"/a/IMG_1.JPG", "IMG_1.CR3"}, {"/a/img_2.jpeg", "IMG_2.RAF, IMG_2.DNG"}}));
}
