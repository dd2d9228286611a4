#include "collection/ParallelImport.h"
#include "collection/CLumivaneDoc.h"
#include "tests/collection/CollectionTestSupport.h"
#include "tests/support/JpegBuilder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace kestory::test;

// What the user sees of an import: the photos in the document and, for every message, its text
// and how many photos were in the document when it came (so a message told too early or too
// late shows).
struct Seen {
    std::vector<std::string> photos;
    std::vector<std::string> messages;
    std::vector<size_t> photosAtMessage;
    friend bool operator==(const Seen&, const Seen&) = default;
};

class WatchingNotifier : public Notifier {
public:
    const CLumivaneDoc* doc = nullptr;
    Seen seen;
    std::function<void()> whileShown; // what a nested event loop would do while the box is open
    void Notify(const std::string& text, Icon) override {
        seen.messages.push_back(text);
        seen.photosAtMessage.push_back(doc->GetCount());
        if (whileShown) {
            whileShown();
        }
    }
};

Seen Finish(const CLumivaneDoc& doc, WatchingNotifier& notifier) {
    Seen seen = notifier.seen;
    for (const auto& photo : doc.Photos()) {
        seen.photos.push_back(photo->path);
    }
    return seen;
}

// Good photos with bad files mixed in: no EXIF, no exposure time, an undecodable picture, a
// missing file and a folder. The first photo is large, so its worker finishes long after the
// others have loaded theirs and the results arrive out of order.
class MixedFolder : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(MinimalPhoto().patternPicture(2400, 1600).writeTo(dir / "00-large.JPG"));
        for (int i = 1; i <= 24; ++i) {
            std::string name = std::to_string(i);
            if (i < 10) {
                name.insert(name.begin(), '0');
            }
            std::string path = dir / (name + ".JPG");
            switch (i % 6) {
            case 1:
                ASSERT_TRUE(MinimalPhoto().noExif().writeTo(path));
                break;
            case 3: {
                JpegBuilder b;
                ASSERT_TRUE(b.fNumber(8, 1).isoSpeed(100).writeTo(path));
                break;
            }
            case 4: {
                std::vector<uint8_t> bytes = MinimalPhoto().noPicture().build();
                bytes.insert(bytes.end() - 2, {0xFF, 0xC0, 0x00, 0x03, 0x00});
                ASSERT_TRUE(WriteBytes(path, bytes));
                break;
            }
            default:
                ASSERT_TRUE(MinimalPhoto().exposureTime(1, static_cast<uint32_t>(10 * i)).writeTo(path));
                break;
            }
            paths.push_back(path);
        }
        std::filesystem::create_directory(dir / "folder.JPG");
        paths.insert(paths.begin() + 5, dir / "folder.JPG");
        paths.insert(paths.begin() + 9, dir / "missing.JPG");
        paths.insert(paths.begin(), dir / "00-large.JPG");
    }

    Seen OneByOne() {
        WatchingNotifier notifier;
        CLumivaneDoc doc(notifier);
        notifier.doc = &doc;
        for (const std::string& path : paths) {
            doc.AddPhoto(path);
        }
        return Finish(doc, notifier);
    }

    TempDir dir;
    std::vector<std::string> paths;
};

TEST_F(MixedFolder, ParallelImportShowsWhatAOneByOneImportShows) {
    const Seen expected = OneByOne();
    ASSERT_EQ(expected.messages.size(), 14U);
    ASSERT_EQ(expected.photos.size(), paths.size() - 14);
    for (const unsigned threads : {1U, 2U, 4U}) {
        for (const size_t window : {size_t{0}, size_t{1}, size_t{3}}) {
            WatchingNotifier notifier;
            CLumivaneDoc doc(notifier);
            notifier.doc = &doc;
            ParallelImport import(doc, threads, window);
            ASSERT_TRUE(import.Start(paths));
            EXPECT_FALSE(import.Start(paths)) << "a second import while the first runs";
            EXPECT_EQ(import.Total(), paths.size());
            // Polled the way the window polls it from its event loop.
            size_t lastDelivered = 0;
            while (import.Step(std::chrono::milliseconds(5))) {
                EXPECT_GE(import.Delivered(), lastDelivered);
                lastDelivered = import.Delivered();
            }
            EXPECT_TRUE(import.Finished());
            EXPECT_EQ(import.Delivered(), paths.size());
            EXPECT_EQ(static_cast<size_t>(import.Added()), expected.photos.size());
            EXPECT_EQ(Finish(doc, notifier), expected) << threads << " threads, window " << window;
        }
    }
}

TEST_F(MixedFolder, DocumentImportsAndNestedStepsKeepTheOrder) {
    const Seen expected = OneByOne();
    {
        WatchingNotifier notifier;
        CLumivaneDoc doc(notifier);
        notifier.doc = &doc;
        EXPECT_EQ(static_cast<size_t>(doc.AddPhotos(paths, 2)), expected.photos.size());
        EXPECT_EQ(Finish(doc, notifier), expected);
    }
    {
        WatchingNotifier notifier;
        CLumivaneDoc doc(notifier);
        notifier.doc = &doc;
        EXPECT_EQ(static_cast<size_t>(doc.AddDroppedFiles(paths)), expected.photos.size());
        EXPECT_EQ(Finish(doc, notifier), expected);
    }
    // A message box runs an event loop, whose timer steps the import again: that step must not
    // deliver the photos behind the refused file before the box is answered.
    WatchingNotifier notifier;
    CLumivaneDoc doc(notifier);
    notifier.doc = &doc;
    ParallelImport import(doc, 2);
    notifier.whileShown = [&import] { EXPECT_TRUE(import.Step(std::chrono::milliseconds(20))); };
    ASSERT_TRUE(import.Start(paths));
    import.Run();
    EXPECT_EQ(Finish(doc, notifier), expected);
}

TEST_F(MixedFolder, CancelKeepsAPrefixInOrder) {
    const Seen all = OneByOne();
    for (const unsigned threads : {1U, 2U, 4U}) {
        WatchingNotifier notifier;
        CLumivaneDoc doc(notifier);
        notifier.doc = &doc;
        const size_t window = 3;
        ParallelImport import(doc, threads, window);
        // Cancelled while the second refusal is shown, in the middle of a delivery.
        size_t deliveredAtCancel = 0;
        notifier.whileShown = [&] {
            if (notifier.seen.messages.size() == 2) {
                deliveredAtCancel = import.Delivered();
                import.Cancel();
            }
        };
        ASSERT_TRUE(import.Start(paths));
        import.Run();
        EXPECT_TRUE(import.Cancelled());
        EXPECT_TRUE(import.Finished());
        EXPECT_FALSE(import.Step()) << "nothing more after the end";
        // The files in flight were finished and delivered; no file beyond the window was taken.
        const size_t delivered = import.Delivered();
        EXPECT_GE(delivered, deliveredAtCancel);
        EXPECT_LE(delivered, deliveredAtCancel + window);

        // Exactly what a one-by-one import of the first `delivered` paths gives.
        WatchingNotifier prefixNotifier;
        CLumivaneDoc prefixDoc(prefixNotifier);
        prefixNotifier.doc = &prefixDoc;
        for (size_t i = 0; i < delivered; ++i) {
            prefixDoc.AddPhoto(paths[i]);
        }
        const Seen prefix = Finish(prefixDoc, prefixNotifier);
        const Seen seen = Finish(doc, notifier);
        EXPECT_EQ(seen, prefix) << threads << " threads";
        EXPECT_LT(seen.photos.size(), all.photos.size());
        EXPECT_TRUE(std::equal(seen.photos.begin(), seen.photos.end(), all.photos.begin()));
    }
}

TEST_F(MixedFolder, CancelBeforeAnyDeliveryAndDestructionMidwayLoseNothingDelivered) {
    WatchingNotifier notifier;
    CLumivaneDoc doc(notifier);
    notifier.doc = &doc;
    {
        ParallelImport import(doc, 2, 2);
        ASSERT_TRUE(import.Start(paths));
        import.Cancel();
        import.Run();
        EXPECT_LE(import.Delivered(), 2U);
        // Started again after the end, it imports everything.
        ASSERT_TRUE(import.Start(paths));
        import.Run();
        EXPECT_EQ(import.Delivered(), paths.size());
    }
    size_t afterStep = 0;
    {
        // Dropped while running: the workers are stopped and joined, nothing more is delivered.
        // One Step delivers whatever is ready by then, which may be more than one photo.
        ParallelImport import(doc, 2);
        ASSERT_TRUE(import.Start(paths));
        import.Step();
        afterStep = doc.GetCount();
    }
    EXPECT_EQ(doc.GetCount(), afterStep);
    // An empty list finishes at once.
    ParallelImport empty(doc);
    ASSERT_TRUE(empty.Start({}));
    EXPECT_FALSE(empty.Step());
    EXPECT_EQ(empty.Run(), 0);
}

} // namespace
