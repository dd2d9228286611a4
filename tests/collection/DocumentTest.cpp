#include "collection/CLumivaneDoc.h"
#include "tests/collection/CollectionTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace kestory::test;

namespace {

// Five records, told apart by their paths "1" to "5", side by side 50 pixels wide.
class DocumentWithFive : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 1; i <= 5; ++i) {
            auto photo = std::make_unique<PhotoItem>();
            photo->path = std::to_string(i);
            photo->drawRect = Rect{i * 100, 0, i * 100 + 50, 50};
            records.push_back(photo.get());
            doc.AppendPhoto(std::move(photo));
        }
    }
    std::string Order() const {
        std::string order;
        for (size_t i = 0; i < doc.GetCount(); ++i)
            order += doc.GetAt(i).path;
        return order;
    }

    RecordingNotifier notifier;
    CLumivaneDoc doc{notifier};
    std::vector<PhotoItem*> records;
};

TEST_F(DocumentWithFive, MoveToFirstAndRemoval) {
    doc.MoveToFirst(records[2]);
    EXPECT_EQ(Order(), "31245");
    PhotoItem lookalike; // equal fields, another object: not in the collection
    lookalike.path = "4";
    lookalike.drawRect = records[3]->drawRect;
    doc.MoveToFirst(&lookalike);
    doc.MoveToFirst(nullptr);
    EXPECT_EQ(Order(), "31245");

    EXPECT_EQ(doc.RemovePhoto(records[1]), 1); // element 2 of five
    EXPECT_EQ(Order(), "3145");
    EXPECT_EQ(doc.RemovePhoto(&lookalike), 0);
    EXPECT_EQ(doc.RemovePhoto(nullptr), 0);
    EXPECT_EQ(doc.RemovePhoto(records[1]), 0); // already gone
    EXPECT_EQ(Order(), "3145");

    doc.RemoveAllPhotos();
    doc.RemoveAllPhotos();
    EXPECT_EQ(doc.GetCount(), 0u);
}

TEST_F(DocumentWithFive, PhotoAtHitsTheTopmostAndTreatsEdgesHalfOpen) {
    records[3]->drawRect = Rect{220, 0, 270, 50}; // photo 4 now lies over photo 2
    const struct {
        int32_t x, y;
        const char* hit;
    } cases[] = {
        {230, 10, "4"}, {210, 10, "2"}, {100, 0, "1"}, {149, 49, "1"},
        {150, 10, ""},  {120, 50, ""},  {99, 10, ""},
    };
    for (const auto& c : cases) {
        const PhotoItem* hit = doc.PhotoAt(c.x, c.y);
        EXPECT_EQ(hit ? hit->path : "", c.hit) << "(" << c.x << ", " << c.y << ")";
    }
    doc.MoveToFirst(records[3]);
    EXPECT_EQ(doc.PhotoAt(230, 10), records[1]);
}

TEST_F(DocumentWithFive, SelectionKeepsIdentitiesInCollectionOrderUntilThePhotosGo) {
    const auto selected = [this] {
        std::string order;
        for (const PhotoItem* p : doc.SelectedPhotos())
            order += p->path;
        return order;
    };
    PhotoItem stranger;  // not in the collection: never selected
    doc.SelectPhotos({records[3], records[1], &stranger, nullptr}, false);
    doc.SelectPhotos({records[4]}, true);
    doc.MoveToFirst(records[3]);
    EXPECT_EQ(selected(), "425");
    EXPECT_EQ(doc.FirstSelected(), records[3]);
    doc.SelectPhotos({records[0], records[2], records[4]}, false);
    EXPECT_EQ(doc.RemovePhoto(records[2]), 1);
    EXPECT_EQ(selected(), "15");
    EXPECT_EQ(doc.RemoveSelectedPhotos(), 2u);
    EXPECT_EQ(Order(), "42");
    EXPECT_EQ(doc.FirstSelected(), nullptr);
    doc.SelectPhotos({records[1]}, false);
    doc.RemoveAllPhotos();
    EXPECT_EQ(doc.SelectedCount(), 0u);
}

TEST(DocumentImport, ThreeDroppedFilesWithABadMiddleOne) {
    TempDir dir;
    ASSERT_TRUE(MinimalPhoto().writeTo(dir / "1.JPG"));
    ASSERT_TRUE(JpegBuilder().noExif().writeTo(dir / "2.JPG"));
    RecordingNotifier notifier;
    CLumivaneDoc doc(notifier);
    EXPECT_EQ(doc.AddDroppedFiles({dir / "1.JPG", dir / "2.JPG", dir / "1.JPG"}), 1);
    EXPECT_EQ(notifier.texts, std::vector<std::string>{(dir / "2.JPG") + kNoExif});
    EXPECT_EQ(notifier.icons, std::vector<Notifier::Icon>{Notifier::Icon::None});
    // The same file twice: charted once, and the import says so.
    ASSERT_EQ(doc.GetCount(), 1u);
    EXPECT_EQ(notifier.alreadyLoaded, std::vector<size_t>{1});
}

// Every import goes through one per-file step that knows the collection's files by their
// canonical paths and states. Each row imports into a collection holding A, B and C.
TEST(DocumentImport, APhotoIsChartedOnce) {
    struct Case {
        const char* name;
        std::vector<std::string> paths; // relative to the folder
        bool changeB;                   // B rewritten (F 2.8, another size) before the import
        size_t added, count;
        std::vector<size_t> told;
        const char* fB; // the F-number text of the record at B's place afterwards
    };
    const Case cases[] = {
        {"the folder again", {"A.JPG", "B.JPG", "C.JPG"}, false, 0, 3, {3}, "8.0"},
        {"through a link and ./", {"LINK.JPG", "./B.JPG", "D.JPG"}, false, 1, 4, {2}, "8.0"},
        {"a file given twice", {"D.JPG", "D.JPG"}, false, 1, 4, {1}, "8.0"},
        {"a changed file", {"B.JPG", "C.JPG"}, true, 1, 3, {1}, "2.8"},
        {"a changed file given twice", {"B.JPG", "B.JPG"}, true, 1, 3, {1}, "2.8"},
        {"nothing known", {"D.JPG"}, false, 1, 4, {}, "8.0"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        for (const char* name : {"A.JPG", "B.JPG", "C.JPG", "D.JPG"})
            ASSERT_TRUE(MinimalPhoto().writeTo(dir / name));
        std::filesystem::create_symlink(dir / "A.JPG", dir / "LINK.JPG");
        RecordingNotifier notifier;
        CLumivaneDoc doc(notifier);
        ASSERT_EQ(doc.AddPhotos({dir / "A.JPG", dir / "B.JPG", dir / "C.JPG"}), 3);
        const PhotoItem* b = &doc.GetAt(1);
        doc.SelectPhotos({&doc.GetAt(1)}, false);
        if (c.changeB) {
            JpegBuilder changed;
            changed.exposureTime(1, 60).fNumber(28, 10).isoSpeed(100).patternPicture(20, 10);
            ASSERT_TRUE(changed.writeTo(dir / "B.JPG"));
        }
        std::vector<std::string> paths;
        for (const std::string& path : c.paths)
            paths.push_back(dir / path);
        EXPECT_EQ(static_cast<size_t>(doc.AddPhotos(paths, 2)), c.added) << c.name;
        EXPECT_EQ(doc.GetCount(), c.count) << c.name;
        EXPECT_EQ(doc.ShownCount(), c.count) << c.name;
        EXPECT_EQ(notifier.alreadyLoaded, c.told) << c.name;
        EXPECT_TRUE(notifier.texts.empty()) << c.name;
        // In place: the same record at the same index, still selected.
        ASSERT_EQ(&doc.GetAt(1), b) << c.name;
        EXPECT_TRUE(doc.IsSelected(b)) << c.name;
        PropertyText f;
        b->GetPropertyText(0x829D, f);
        EXPECT_EQ(f.plainValue, c.fB) << c.name;
    }
}

// The index an import reads follows every change of the collection: one held by a running import
// keeps what it saw, and with nobody holding it the changes are made to the same index.
TEST(DocumentImport, KnownFilesFollowTheCollection) {
    TempDir dir;
    for (const char* name : {"A.JPG", "B.JPG", "C.JPG"})
        ASSERT_TRUE(MinimalPhoto().writeTo(dir / name));
    RecordingNotifier notifier;
    CLumivaneDoc doc(notifier);
    ASSERT_EQ(doc.AddPhotos({dir / "A.JPG", dir / "B.JPG"}), 2);
    const std::shared_ptr<const CLumivaneDoc::KnownFiles> held = doc.KnownFileStamps();
    ASSERT_EQ(doc.AddPhotos({dir / "C.JPG"}), 1);
    ASSERT_TRUE(MinimalPhoto().patternPicture(20, 10).writeTo(dir / "B.JPG"));
    ASSERT_EQ(doc.AddPhotos({dir / "B.JPG"}), 1);
    ASSERT_EQ(doc.RemovePhoto(&doc.GetAt(0)), 1);
    const CLumivaneDoc::KnownFiles* now = doc.KnownFileStamps().get();
    EXPECT_NE(now, held.get());
    const struct {
        const char* name;
        bool known, knownToTheHolder;
    } files[] = {{"A.JPG", false, true}, {"B.JPG", true, false}, {"C.JPG", true, false}};
    for (const auto& f : files) {
        FileStamp stamp;
        ASSERT_TRUE(StampFile(dir / f.name, stamp));
        EXPECT_EQ(CLumivaneDoc::IsKnown(*now, stamp), f.known) << f.name;
        EXPECT_EQ(CLumivaneDoc::IsKnown(*held, stamp), f.knownToTheHolder) << f.name;
    }
    ASSERT_EQ(doc.AddPhotos({dir / "A.JPG"}), 1);
    EXPECT_EQ(doc.KnownFileStamps().get(), now);
    EXPECT_EQ(doc.KnownFileStamps()->size(), 3U);
}

TEST(DocumentImport, StampsInAFolderScopeAreTheStampsWithout) {
    TempDir dir;
    namespace fs = std::filesystem;
    const std::string root = dir.Path();
    fs::create_directories(root + "/real/sub");
    ASSERT_TRUE(MinimalPhoto().writeTo(root + "/real/A.JPG"));
    ASSERT_TRUE(MinimalPhoto().writeTo(root + "/real/sub/B.JPG"));
    fs::create_directory_symlink(root + "/real", root + "/linked");
    fs::create_symlink(root + "/real/sub/B.JPG", root + "/real/C.JPG");
    const std::vector<std::string> paths = {
        root + "/real/A.JPG",     root + "/linked/A.JPG", root + "/real/C.JPG",  // a linked folder, a linked file
        root + "/real/sub/../A.JPG", root + "/real/sub/B.JPG", root + "/linked/sub/B.JPG",
        root + "/real/missing.JPG", root + "/real/sub",                          // no file, a folder
    };
    std::vector<std::pair<bool, std::string>> without;
    for (const std::string& path : paths) {
        FileStamp stamp;
        without.emplace_back(StampFile(path, stamp), stamp.path);
    }
    const FolderStampScope scope;
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < paths.size(); ++i) {
            FileStamp stamp;
            EXPECT_EQ(std::make_pair(StampFile(paths[i], stamp), stamp.path), without[i]) << paths[i];
        }
    }
    EXPECT_EQ(without[1].second, without[0].second);
    EXPECT_EQ(without[2].second, without[4].second);
}

TEST(DocumentImport, RemovedPhotosComeBackAndABrokenChangeKeepsTheRecord) {
    TempDir dir;
    for (const char* name : {"A.JPG", "B.JPG"})
        ASSERT_TRUE(MinimalPhoto().writeTo(dir / name));
    RecordingNotifier notifier;
    CLumivaneDoc doc(notifier);
    ASSERT_EQ(doc.AddPhotos({dir / "A.JPG", dir / "B.JPG"}), 2);
    EXPECT_EQ(doc.RemovePhoto(&doc.GetAt(0)), 1);
    EXPECT_EQ(doc.AddPhoto(dir / "A.JPG"), 1);
    EXPECT_EQ(doc.AddPhoto(dir / "A.JPG"), 0);
    doc.SelectPhotos({&doc.GetAt(0), &doc.GetAt(1)}, false);
    EXPECT_EQ(doc.RemoveSelectedPhotos(), 2u);
    EXPECT_EQ(doc.AddPhotos({dir / "A.JPG", dir / "B.JPG"}), 2);
    doc.RemoveAllPhotos();
    EXPECT_EQ(doc.AddPhotos({dir / "B.JPG"}), 1);
    EXPECT_EQ(notifier.alreadyLoaded, std::vector<size_t>{1});

    // B now lacks its exposure: refused, and the record it had stays as it was.
    ASSERT_TRUE(JpegBuilder().fNumber(8, 1).patternPicture(30, 20).writeTo(dir / "B.JPG"));
    EXPECT_EQ(doc.AddPhotos({dir / "B.JPG"}), 0);
    EXPECT_EQ(notifier.texts, std::vector<std::string>{(dir / "B.JPG") + kNoExif});
    ASSERT_EQ(doc.GetCount(), 1u);
    EXPECT_EQ(FormatExposureValue(doc.GetAt(0).tv), "7.0");
}

TEST(DocumentImport, EachRefusalSaysWhy) {
    TempDir dir;
    ASSERT_TRUE(JpegBuilder().fNumber(8, 1).writeTo(dir / "NOTIME.JPG"));
    ASSERT_TRUE(JpegBuilder().exposureTime(1, 60).fNumber(8, 1).noPicture().writeTo(dir / "NOPIXELS.JPG"));
    std::filesystem::create_directory(dir / "FOLDER.JPG");
    const struct {
        const char* name;
        const std::string& reason;
    } cases[] = {
        {"NOTIME.JPG", kNoExif},
        {"NOPIXELS.JPG", kLoadFailed},
        {"MISSING.JPG", kLoadFailed}, // the photo record reports a missing file as a failed load
        {"FOLDER.JPG", kNoExif},      // a folder goes to the load like a file
    };
    RecordingNotifier notifier;
    CLumivaneDoc doc(notifier);
    for (const auto& c : cases) {
        EXPECT_EQ(doc.AddPhoto(dir / c.name), 0) << c.name;
        EXPECT_EQ(notifier.texts.back(), (dir / c.name) + c.reason);
    }
    EXPECT_EQ(notifier.texts.size(), 4u);
    EXPECT_EQ(doc.GetCount(), 0u);
}

} // namespace
