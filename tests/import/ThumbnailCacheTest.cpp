#include "chart/ChartGeometry.h"
#include "chart/ChartRender.h"
#include "collection/CLumivaneDoc.h"
#include "collection/CsvExport.h"
#include "collection/ThumbnailCache.h"
#include "tests/collection/CollectionTestSupport.h"
#include "tests/support/PictureCanvas.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <sqlite3.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace kestory::test;
namespace fs = std::filesystem;

const Rect kBox{0, 0, PhotoItem::kThumbnailBox, PhotoItem::kThumbnailBox};

// Every picture the chart hands to the canvas, with where it goes, as bytes.
class PictureBytes : public PictureCanvas {
public:
    std::string places;
    void DrawPicture(const Rect& to, const PictureView& p) override {
        places += std::to_string(to.left) + "," + std::to_string(to.top) + "," + std::to_string(to.right) + "," +
                  std::to_string(to.bottom) + "/" + std::to_string(p.width) + "x" + std::to_string(p.height) + ":";
    }
};

// What an import leaves: the thumbnails as stored, the messages, the CSV file and the chart.
struct Imported {
    std::vector<cv::Mat> thumbnails;
    std::vector<std::string> messages;
    std::string csv;
    std::string chart;
};

Imported Import(const std::vector<std::string>& paths, ThumbnailStore* store, const TempDir& dir) {
    RecordingNotifier notifier;
    CLumivaneDoc doc(notifier);
    doc.SetThumbnailStore(store);
    doc.AddPhotos(paths, 2);
    Imported result;
    for (const auto& photo : doc.Photos()) {
        result.thumbnails.push_back(photo->thumbnail.image.clone());
    }
    result.messages = notifier.texts;
    EXPECT_EQ(WriteCsv(doc.Photos(), dir / "out.csv"), 1);
    result.csv = ReadText(dir / "out.csv");
    LayoutPhotos(doc);
    PictureBytes chart;
    PaintChart(chart, doc);
    result.chart = chart.places;
    return result;
}

int64_t Scalar(const std::string& cacheFile, const char* sql) {
    sqlite3* db = nullptr;
    int64_t rows = -1;
    sqlite3_open_v2(cacheFile.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    const auto take = [](void* out, int, char** values, char**) {
        *static_cast<int64_t*>(out) = std::atoll(values[0]);
        return 0;
    };
    sqlite3_exec(db, sql, take, &rows, nullptr);
    sqlite3_close(db);
    return rows;
}

int64_t Rows(const std::string& cacheFile) {
    return Scalar(cacheFile, "SELECT count(*) FROM thumbnails");
}

// Photos of every decode path (reduced colour, grey, a small one enlarged, one to be turned), and
// two refusals: no EXIF, and EXIF over a picture that does not decode.
class CachedImport : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(MinimalPhoto().patternPicture(2400, 1600).writeTo(dir / "a.jpg"));
        ASSERT_TRUE(MinimalPhoto().patternPicture(640, 480, true).writeTo(dir / "b.jpg"));
        ASSERT_TRUE(MinimalPhoto().patternPicture(100, 50).writeTo(dir / "c.jpg"));
        ASSERT_TRUE(MinimalPhoto().orientation(6).patternPicture(800, 600).writeTo(dir / "d.jpg"));
        ASSERT_TRUE(MinimalPhoto().noExif().writeTo(dir / "e.jpg"));
        std::vector<uint8_t> undecodable = MinimalPhoto().noPicture().build();
        undecodable.insert(undecodable.end() - 2, {0xFF, 0xC0, 0x00, 0x03, 0x00});
        ASSERT_TRUE(WriteBytes(dir / "f.jpg", undecodable));
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg"}) {
            paths.push_back(dir / name);
        }
        fs::create_directory(dir / "cache");
        plain = Import(paths, nullptr, dir);
        ASSERT_EQ(plain.thumbnails.size(), 4U);
        ASSERT_EQ(plain.messages.size(), 2U);
    }

    TempDir dir;
    std::vector<std::string> paths;
    std::string cacheFile = dir / "cache/thumbnails.sqlite";
    Imported plain;
};

// A picture through the cache's JPEG: same size and type, every channel within a few levels on
// the average of the decoded one.
bool Close(const cv::Mat& got, const cv::Mat& want) {
    return got.size() == want.size() && got.type() == want.type() &&
           cv::norm(got, want, cv::NORM_L1) <= 3.0 * static_cast<double>(want.total() * want.channels());
}

bool Close(const std::vector<cv::Mat>& got, const std::vector<cv::Mat>& want) {
    return got.size() == want.size() && std::equal(got.begin(), got.end(), want.begin(),
                                                   [](const cv::Mat& a, const cv::Mat& b) { return Close(a, b); });
}

void ExpectSame(const Imported& got, const Imported& want) {
    EXPECT_TRUE(Close(got.thumbnails, want.thumbnails));
    EXPECT_EQ(got.messages, want.messages);
    EXPECT_EQ(got.csv, want.csv);
    EXPECT_TRUE(got.chart == want.chart);
}

TEST_F(CachedImport, SecondImportTakesTheDecodedPicturesToTheByteAndNoRefusal) {
    {
        ThumbnailCache cache(cacheFile);
        ExpectSame(Import(paths, &cache, dir), plain);
        // The refused picture is looked up but never kept; the file without EXIF not even looked up.
        EXPECT_EQ(cache.GetCounts().lookups, 5U);
        EXPECT_EQ(cache.GetCounts().hits, 0U);
        EXPECT_EQ(cache.GetCounts().kept, 4U);
    }
    ThumbnailCache second(cacheFile); // the next run of the program
    ExpectSame(Import(paths, &second, dir), plain);
    EXPECT_EQ(second.GetCounts().hits, 4U);
    EXPECT_EQ(second.GetCounts().kept, 0U);
    EXPECT_EQ(Rows(cacheFile), 5); // the undecodable picture's EXIF block has a row too
}

TEST_F(CachedImport, SecondImportOpensNoPhotoFile) {
    {
        ThumbnailCache cache(cacheFile);
        Import(paths, &cache, dir);
    }
    // Root reads a file of mode 000, so the proof is stronger: the same size and time over bytes
    // that hold no photo at all.
    for (const std::string& path : paths) {
        struct stat s {};
        ASSERT_EQ(stat(path.c_str(), &s), 0);
        ASSERT_TRUE(WriteBytes(path, std::vector<uint8_t>(static_cast<size_t>(s.st_size), 0x5A)));
        const timespec times[2] = {s.st_atim, s.st_mtim};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    ThumbnailCache second(cacheFile);
    ExpectSame(Import(paths, &second, dir), plain);
    // The undecodable picture's EXIF was kept too: five blocks, four pictures.
    EXPECT_EQ(second.GetCounts().exifHits, 5U);
    EXPECT_EQ(second.GetCounts().hits, 4U);
}

// The import's stamp is handed down: picture and EXIF block are kept under it, not under a
// second look at the file.
TEST_F(CachedImport, ALoadUsesTheStampItIsGiven) {
    ThumbnailCache cache(cacheFile);
    const FileStamp given{"/elsewhere/a.jpg", 1, 2};
    PhotoItem photo;
    ASSERT_EQ(photo.Load(paths[0], PhotoItem::kModeThumbnail, &cache, &given), 0);
    cache.Flush();
    EXPECT_EQ(Scalar(cacheFile, "SELECT count(*) FROM thumbnails WHERE path = '/elsewhere/a.jpg' AND size = 1"
                                " AND modified_ns = 2 AND picture IS NOT NULL AND exif IS NOT NULL"), 1);
    EXPECT_EQ(Rows(cacheFile), 1);
}

TEST_F(CachedImport, DamagedOrOldEntriesAreMissesAndReplaced) {
    const struct {
        const char* what;
        const char* sql; // run on the cache file of a first import
        uint64_t hits, exifHits;
    } cases[] = {
        {"picture bytes changed", "UPDATE thumbnails SET picture = zeroblob(length(picture))", 0, 5},
        {"EXIF bytes changed", "UPDATE thumbnails SET exif = zeroblob(length(exif))", 4, 0},
        {"earlier layout of raw rows",
         "DROP TABLE thumbnails; CREATE TABLE thumbnails(path TEXT PRIMARY KEY NOT NULL, size INTEGER NOT NULL,"
         " modified_ns INTEGER NOT NULL, box_width INTEGER NOT NULL, box_height INTEGER NOT NULL, width INTEGER"
         " NOT NULL, height INTEGER NOT NULL, channels INTEGER NOT NULL, pixels BLOB NOT NULL, bytes INTEGER NOT"
         " NULL, last_used INTEGER NOT NULL); INSERT INTO thumbnails VALUES('/x.jpg', 1, 1, 237, 237, 1, 1, 1,"
         " x'00', 1, 1); PRAGMA user_version = 1;",
         0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(cacheFile);
        {
            ThumbnailCache cache(cacheFile);
            Import(paths, &cache, dir);
        }
        sqlite3* db = nullptr;
        sqlite3_open(cacheFile.c_str(), &db);
        EXPECT_EQ(sqlite3_exec(db, c.sql, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        testing::internal::CaptureStderr();
        {
            ThumbnailCache cache(cacheFile);
            ExpectSame(Import(paths, &cache, dir), plain);
            EXPECT_EQ(cache.GetCounts().hits, c.hits);
            EXPECT_EQ(cache.GetCounts().exifHits, c.exifHits);
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        ThumbnailCache replaced(cacheFile);
        ExpectSame(Import(paths, &replaced, dir), plain);
        EXPECT_EQ(replaced.GetCounts().hits, 4U);
        EXPECT_EQ(replaced.GetCounts().exifHits, 5U);
        EXPECT_EQ(Rows(cacheFile), 5);
    }
}

// A real small file system: the cache stops writing, says so once, and leaves the disk as found.
TEST_F(CachedImport, FullDiskIsLeftAsItWasFound) {
    const std::string small = dir / "small";
    fs::create_directory(small);
    if (geteuid() != 0 || mount("tmpfs", small.c_str(), "tmpfs", 0, "size=2m") != 0) {
        GTEST_SKIP() << "no tmpfs can be mounted here";
    }
    const struct {
        const char* what;
        size_t leftFree; // bytes of the file system a filler file leaves
    } cases[] = {{"full during the run", 48 * 1024}, {"full before the run", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> filler(2 * 1024 * 1024 - c.leftFree, 0x11);
        std::FILE* f = std::fopen((small + "/filler").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(filler.data(), 1, filler.size(), f); // as much as fits
        std::fclose(f);
        std::vector<std::string> said;
        ThumbnailCache::Options options;
        options.report = [&said](const std::string& line) { said.push_back(line); };
        {
            ThumbnailCache cache(small + "/thumbnails.sqlite", options);
            ExpectSame(Import(paths, &cache, dir), plain);
            ExpectSame(Import(paths, &cache, dir), plain);
        }
        EXPECT_EQ(said, std::vector<std::string>{ThumbnailCache::kDiskFull});
        for (const char* suffix : {"", "-wal", "-shm"}) {
            EXPECT_FALSE(fs::exists(small + "/thumbnails.sqlite" + suffix)) << suffix;
        }
        fs::remove(small + "/filler");
    }
    umount(small.c_str());
}

TEST_F(CachedImport, ChangedFileIsDecodedAgainAndItsEntryReplaced) {
    struct Change {
        const char* what;
        std::function<void(const std::string&)> apply;
    };
    const Change changes[] = {
        {"new picture, new size",
         [](const std::string& p) { ASSERT_TRUE(MinimalPhoto().patternPicture(900, 900).writeTo(p)); }},
        {"one nanosecond later, bytes unchanged",
         [](const std::string& p) {
             struct stat s {};
             ASSERT_EQ(stat(p.c_str(), &s), 0);
             timespec times[2] = {s.st_atim, s.st_mtim};
             times[1].tv_nsec = (times[1].tv_nsec + 1) % 1'000'000'000;
             ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
         }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        fs::remove(cacheFile);
        const std::vector<std::string> one{dir / "a.jpg"};
        {
            ThumbnailCache cache(cacheFile);
            Import(one, &cache, dir);
        }
        change.apply(one[0]);
        const Imported fresh = Import(one, nullptr, dir);
        for (const uint64_t hits : {0U, 1U}) {
            ThumbnailCache cache(cacheFile);
            EXPECT_TRUE(Close(Import(one, &cache, dir).thumbnails, fresh.thumbnails));
            EXPECT_EQ(cache.GetCounts().hits, hits);
            EXPECT_EQ(cache.GetCounts().kept, 1U - hits);
        }
        EXPECT_EQ(Rows(cacheFile), 1);
    }
}

TEST_F(CachedImport, UnusableCacheFileOrFolderNeverCostsAPhoto) {
    struct Case {
        const char* what;
        std::function<void()> prepare;
        const char* setAsideFor; // the reason on the one line; null: the cache stays off, silently
        bool asRoot;             // root ignores permission bits
    };
    const Case cases[] = {
        {"garbage bytes", [&] { ASSERT_TRUE(WriteBytes(cacheFile, std::vector<uint8_t>(5000, 0x5A))); },
         "file is not a database", true},
        {"someone else's database",
         [&] {
             sqlite3* db = nullptr;
             sqlite3_open(cacheFile.c_str(), &db);
             sqlite3_exec(db, "CREATE TABLE thumbnails(x)", nullptr, nullptr, nullptr);
             sqlite3_close(db);
         },
         "other tables", true},
        {"unreadable file",
         [&] {
             ASSERT_TRUE(WriteBytes(cacheFile, {1, 2, 3}));
             chmod(cacheFile.c_str(), 0);
         },
         "unable to open database file", false},
        {"read-only folder", [&] { chmod((dir / "cache").c_str(), 0555); }, nullptr, false},
        {"folder that cannot be made", [&] { cacheFile = dir / "a.jpg/cache/thumbnails.sqlite"; }, nullptr, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (geteuid() == 0 && !c.asRoot) {
            continue;
        }
        const std::string usual = cacheFile;
        c.prepare();
        const std::vector<uint8_t> before = ReadBytes(cacheFile);
        testing::internal::CaptureStderr();
        {
            ThumbnailCache cache(cacheFile);
            ExpectSame(Import(paths, &cache, dir), plain);
            EXPECT_EQ(cache.Usable(), c.setAsideFor != nullptr);
            EXPECT_EQ(cache.Problem().empty(), c.setAsideFor != nullptr);
        }
        const std::string err = testing::internal::GetCapturedStderr();
        std::error_code ignored;
        if (c.setAsideFor != nullptr) {
            EXPECT_EQ(err, "Kestory: サムネイルのキャッシュ " + cacheFile + " を使えないため " + cacheFile +
                               ".broken に移し、新しく作ります (" + c.setAsideFor + ")\n");
            EXPECT_EQ(ReadBytes(cacheFile + ".broken"), before);
            ThumbnailCache next(cacheFile);
            Import(paths, &next, dir);
            EXPECT_EQ(next.GetCounts().hits, 4U);
        } else {
            // Said once, not silently uncached.
            const std::string off = "Kestory: サムネイルのキャッシュ " + cacheFile + " を使えないため、キャッシュなしで読み込みます (";
            EXPECT_EQ(err.rfind(off, 0), 0U) << err;
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
            EXPECT_FALSE(fs::exists(cacheFile, ignored));
        }
        chmod((dir / "cache").c_str(), 0755);
        fs::remove(cacheFile, ignored);
        fs::remove(cacheFile + ".broken", ignored);
        cacheFile = usual;
    }
}

// Smooth, as a thumbnail is: a JPEG of noise is no test of the store.
cv::Mat Picture(int seed) {
    cv::Mat m(158, 237, CV_8UC3);
    for (int y = 0; y < m.rows; ++y) {
        for (int x = 0; x < m.cols; ++x) {
            m.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<uint8_t>(x + seed), static_cast<uint8_t>(y * 2),
                                              static_cast<uint8_t>((x + y + 3 * seed) / 2));
        }
    }
    return m;
}

TEST(ThumbnailCache, TwoConnectionsWriteAndReadAtOnce) {
    TempDir dir;
    const std::string file = dir / "thumbnails.sqlite";
    constexpr int kEach = 40;
    std::vector<cv::Mat> pictures;
    for (int i = 0; i < 2 * kEach; ++i) {
        pictures.push_back(Picture(i));
    }
    const auto stamp = [](int i) { return FileStamp{"/photos/" + std::to_string(i) + ".JPG", 1000 + i, i}; };
    // Each program stores its half and looks for the other's as they come.
    const auto program = [&](int first, int& seen) {
        ThumbnailCache cache(file);
        for (int i = first; i < first + kEach; ++i) {
            cache.Keep(stamp(i), kBox, PhotoImage{1, pictures[static_cast<size_t>(i)]});
            PhotoImage other;
            seen += cache.Find(stamp((i + kEach) % (2 * kEach)), kBox, other) ? 1 : 0;
        }
        EXPECT_EQ(cache.GetCounts().kept, static_cast<uint64_t>(kEach));
    };
    int seenA = 0;
    int seenB = 0;
    std::thread a(program, 0, std::ref(seenA));
    std::thread b(program, kEach, std::ref(seenB));
    a.join();
    b.join();
    ThumbnailCache reader(file);
    for (int i = 0; i < 2 * kEach; ++i) {
        PhotoImage got;
        ASSERT_TRUE(reader.Find(stamp(i), kBox, got)) << i;
        EXPECT_TRUE(Close(got.image, pictures[static_cast<size_t>(i)])) << i;
    }
    PhotoImage none;
    EXPECT_FALSE(reader.Find(stamp(0), Rect{0, 0, 100, 100}, none)) << "fitted into another box";
}

TEST(ThumbnailCache, BoundDropsTheEntriesUsedLongestAgo) {
    TempDir dir;
    int64_t now = 0;
    ThumbnailCache::Options options;
    options.clock = [&now] { return ++now; };
    const cv::Mat picture = Picture(1);
    {
        ThumbnailCache scratch(dir / "one.sqlite");
        scratch.Keep(FileStamp{"X", 1, 1}, kBox, PhotoImage{1, picture});
    }
    options.maxBytes = Scalar(dir / "one.sqlite", "SELECT bytes FROM thumbnails") * 7 / 2; // three and a half
    const auto stamp = [](const char* name) { return FileStamp{name, 1, 1}; };
    PhotoImage got;
    {
        // One run never drops what it used itself: once only its own entries are left, it keeps
        // nothing more, so an import larger than the cache keeps its first part for the next one.
        ThumbnailCache run(dir / "thumbnails.sqlite", options);
        for (const char* name : {"A", "B", "C", "D", "E"}) {
            run.Keep(stamp(name), kBox, PhotoImage{1, picture});
        }
        for (const char* name : {"A", "B", "C", "D"}) {
            EXPECT_TRUE(run.Find(stamp(name), kBox, got)) << name;
        }
        EXPECT_FALSE(run.Find(stamp("E"), kBox, got));
    }
    {
        // The next run drops the entries used longest ago, the ones it has not used itself.
        ThumbnailCache cache(dir / "thumbnails.sqlite", options);
        ASSERT_TRUE(cache.Find(stamp("A"), kBox, got)); // its time is still only in memory
        ASSERT_TRUE(cache.Find(stamp("C"), kBox, got));
        cache.Keep(stamp("E"), kBox, PhotoImage{1, picture});
        for (const char* name : {"A", "C", "E"}) {
            EXPECT_TRUE(cache.Find(stamp(name), kBox, got)) << name;
        }
        EXPECT_FALSE(cache.Find(stamp("B"), kBox, got));
    }
    // A bound set on the open cache counts at once: down to one and a half entries keeps the
    // latest used; a larger one takes entries again.
    ThumbnailCache cache(dir / "thumbnails.sqlite", options);
    ASSERT_TRUE(cache.Usable());
    cache.SetMaxBytes(options.maxBytes * 3 / 7);
    ThumbnailCache::Stored stored;
    ASSERT_TRUE(cache.GetStored(stored));
    EXPECT_EQ(stored.entries, 1);
    EXPECT_TRUE(cache.Find(stamp("E"), kBox, got));
    cache.SetMaxBytes(options.maxBytes);
    cache.Keep(stamp("B"), kBox, PhotoImage{1, picture});
    EXPECT_TRUE(cache.Find(stamp("B"), kBox, got));
}

} // namespace
