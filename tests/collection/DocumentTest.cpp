#include "collection/CLumivaneDoc.h"
#include "tests/collection/CollectionTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using kestory::test::JpegBuilder;
using kestory::test::MinimalPhoto;
using kestory::test::RecordingNotifier;
using kestory::test::TempDir;

namespace {

const std::string kNoExif = "は、Ｅｘｉｆ情報が無いため、読み込めませんでした。";
const std::string kLoadFailed = "の読み込みに失敗しました。";

// Five records, told apart by their paths "1" to "5", each with a rectangle of its own.
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

TEST_F(DocumentWithFive, MoveToFirstPutsTheRecordUnderAllOthers) {
    doc.MoveToFirst(records[2]);
    EXPECT_EQ(Order(), "31245");
    doc.MoveToFirst(records[2]); // already first
    EXPECT_EQ(Order(), "31245");
    doc.MoveToFirst(records[4]);
    EXPECT_EQ(Order(), "53124");

    PhotoItem stranger;
    doc.MoveToFirst(&stranger);
    doc.MoveToFirst(nullptr);
    EXPECT_EQ(Order(), "53124");
}

TEST_F(DocumentWithFive, RemovePhotoClosesTheGapByIdentity) {
    EXPECT_EQ(doc.RemovePhoto(records[2]), 1);
    EXPECT_EQ(Order(), "1245");
    EXPECT_EQ(&doc.GetAt(2), records[3]);

    // A record equal in every field but not the same object is not in the collection.
    PhotoItem lookalike;
    lookalike.path = "1";
    lookalike.drawRect = records[0]->drawRect;
    EXPECT_EQ(doc.RemovePhoto(&lookalike), 0);
    EXPECT_EQ(doc.RemovePhoto(nullptr), 0);
    EXPECT_EQ(Order(), "1245");

    EXPECT_EQ(doc.RemovePhoto(records[0]), 1);
    EXPECT_EQ(doc.RemovePhoto(records[1]), 1);
    EXPECT_EQ(doc.RemovePhoto(records[3]), 1);
    EXPECT_EQ(doc.RemovePhoto(records[4]), 1);
    EXPECT_EQ(doc.GetCount(), 0u);
}

TEST_F(DocumentWithFive, RemoveAllEmptiesAndIsHarmlessTwice) {
    doc.RemoveAllPhotos();
    EXPECT_EQ(doc.GetCount(), 0u);
    doc.RemoveAllPhotos();
    EXPECT_EQ(doc.GetCount(), 0u);
    EXPECT_EQ(doc.PhotoAt(100, 0), nullptr);
}

TEST_F(DocumentWithFive, PhotoAtHitsTheTopmostAndTreatsEdgesHalfOpen) {
    // Photo 4 is moved over photo 2: both hold (230, 10); the later one is drawn on top.
    records[3]->drawRect = Rect{220, 0, 270, 50};
    struct Case {
        int32_t x, y;
        const char* expected; // path of the hit record, or "" for none
    };
    const Case cases[] = {
        {230, 10, "4"}, // overlap: higher index wins
        {210, 10, "2"}, // only photo 2
        {100, 0, "1"},  // left and top edges inside
        {149, 49, "1"}, // last pixel inside
        {150, 10, ""},  // right edge outside
        {120, 50, ""},  // bottom edge outside
        {99, 10, ""},   {0, 0, ""},
    };
    for (const Case& c : cases) {
        const PhotoItem* hit = doc.PhotoAt(c.x, c.y);
        EXPECT_EQ(hit ? hit->path : std::string(), c.expected) << "(" << c.x << ", " << c.y << ")";
    }
    // After MoveToFirst the moved photo lies beneath.
    doc.MoveToFirst(records[3]);
    EXPECT_EQ(doc.PhotoAt(230, 10), records[1]);
}

TEST(DocumentImport, RefusalsNameTheFileAndTheImportGoesOn) {
    TempDir dir;
    ASSERT_TRUE(MinimalPhoto().writeTo(dir / "GOOD.JPG"));
    ASSERT_TRUE(JpegBuilder().noExif().writeTo(dir / "NOEXIF.JPG"));
    ASSERT_TRUE(JpegBuilder().fNumber(8, 1).isoSpeed(100).writeTo(dir / "NOTIME.JPG"));
    ASSERT_TRUE(JpegBuilder().exposureTime(1, 60).fNumber(8, 1).noPicture().writeTo(dir / "NOPIXELS.JPG"));
    std::filesystem::create_directory(dir / "FOLDER.JPG");

    RecordingNotifier notifier;
    CLumivaneDoc doc(notifier);
    const std::vector<std::string> paths = {
        dir / "GOOD.JPG",    dir / "NOEXIF.JPG", dir / "NOTIME.JPG", dir / "NOPIXELS.JPG",
        dir / "MISSING.JPG", dir / "FOLDER.JPG", dir / "GOOD.JPG",
    };
    EXPECT_EQ(doc.AddDroppedFiles(paths), 2);

    const std::vector<std::string> expected = {
        paths[1] + kNoExif,     paths[2] + kNoExif, paths[3] + kLoadFailed,
        paths[4] + kLoadFailed, // a missing file: the photo record reports it as a failed load
        paths[5] + kNoExif,     // a folder is refused by its load, its contents untouched
    };
    EXPECT_EQ(notifier.Texts(), expected);
    for (const auto& m : notifier.messages)
        EXPECT_EQ(m.icon, Notifier::Icon::None);

    // The same file twice: two records of their own.
    ASSERT_EQ(doc.GetCount(), 2u);
    EXPECT_NE(&doc.GetAt(0), &doc.GetAt(1));
    EXPECT_EQ(doc.GetAt(0).path, paths[0]);
    EXPECT_EQ(doc.GetAt(1).path, paths[0]);
    EXPECT_EQ(doc.GetAt(1).exposureValid, 1);
}

TEST(DocumentImport, ThreeDroppedFilesWithABadMiddleOne) {
    TempDir dir;
    ASSERT_TRUE(MinimalPhoto().writeTo(dir / "1.JPG"));
    ASSERT_TRUE(JpegBuilder().noExif().writeTo(dir / "2.JPG"));
    ASSERT_TRUE(MinimalPhoto().writeTo(dir / "3.JPG"));
    RecordingNotifier notifier;
    CLumivaneDoc doc(notifier);
    EXPECT_EQ(doc.AddDroppedFiles({dir / "1.JPG", dir / "2.JPG", dir / "3.JPG"}), 2);
    EXPECT_EQ(notifier.Texts(), std::vector<std::string>{(dir / "2.JPG") + kNoExif});
    ASSERT_EQ(doc.GetCount(), 2u);
    EXPECT_EQ(doc.GetAt(0).path, dir / "1.JPG");
    EXPECT_EQ(doc.GetAt(1).path, dir / "3.JPG");
}

} // namespace
