#pragma once

#include "photo/ThumbnailStore.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace cv {
class Mat;
}
struct sqlite3;
struct sqlite3_stmt;

// The thumbnails and EXIF blocks of earlier imports, kept between runs in one SQLite file so that a
// second import of the same files neither decodes nor opens them. One entry per canonical path; it
// serves only a file of the same size and modification time (nanoseconds), a picture only for a
// load fitting into the same box, and a changed file's new picture and block replace it. Colour
// and grey pictures are stored as JPEG (quality 90: a 237-pixel thumbnail in about a tenth of its
// rows), others as raw rows; each stored blob carries a checksum, and one that no longer matches
// it is a miss, replaced by the load that follows.
//
// The file is opened at the first look-up, in WAL mode: other programs (a second window, the
// exporter) read and write it at the same time, waiting up to a busy timeout for each other. One
// connection serves all threads of this program, one call at a time behind a mutex; a look-up costs
// a fraction of a millisecond beside a decode of tens, so the workers hardly wait on each other.
//
// Nothing here fails an import. A file that SQLite finds damaged, that is not a database, or that we
// may not read is renamed to FILE.broken (its -wal and -shm with it) and a new one is made, told in
// one line; a cache that cannot be used (a read-only file or folder, a folder in its place) is off
// for the run, told in one line too. The file of an older layout (raw rows) is emptied and used.
//
// A full disk stops the writes for the run, told once: the entries this run added are dropped and
// the log given back, and a file this run made is removed, so the disk is left as it was found.
// The log is kept small on every run too: a size limit, and a checkpoint at each Flush.
//
// Bounded: once the stored pixels pass maxBytes, the entries used longest ago are dropped until a
// eighth of the bound is free. Look-ups note their time in memory and write it 256 at a time (and
// at Flush), so a hit costs no write.
class ThumbnailCache : public ThumbnailStore {
public:
    struct Options {
        int64_t maxBytes = int64_t{2} << 30;            // of stored blobs; the file is a little larger
        std::function<int64_t()> clock;                 // last-use times; empty: system clock, ms
        std::function<void(const std::string&)> report; // the line about a set-aside file; empty: stderr
        int busyTimeoutMs = 10000;                      // how long to wait for another program's write
    };
    struct Counts {
        uint64_t lookups = 0;
        uint64_t hits = 0;
        uint64_t kept = 0;
        uint64_t exifHits = 0;
    };
    // What the file holds now: entries, and bytes on disk (the file and its log).
    struct Stored {
        int64_t entries = 0;
        int64_t fileBytes = 0;
    };
    static constexpr const char* kDiskFull = "サムネイルのキャッシュを書き込めません (ディスクがいっぱいです)。";

    explicit ThumbnailCache(std::string file);
    ThumbnailCache(std::string file, Options options);
    ~ThumbnailCache() override;
    ThumbnailCache(const ThumbnailCache&) = delete;
    ThumbnailCache& operator=(const ThumbnailCache&) = delete;

    bool Find(const FileStamp& stamp, const Rect& box, PhotoImage& picture) override;
    void Keep(const FileStamp& stamp, const Rect& box, const PhotoImage& picture) override;
    void Flush() override;
    bool FindExif(const FileStamp& stamp, std::vector<uint8_t>& block) override;
    void KeepExif(const FileStamp& stamp, const std::vector<uint8_t>& block) override;
    bool FindSize(const FileStamp& stamp, const Rect& box, Size& size) override;

    // False when the cache is off for this run.
    bool GetStored(Stored& stored);
    // Drops every entry and gives the room back; false when the cache is off.
    bool Clear();
    // The bound of the stored blobs from now on (Options::maxBytes at first). A smaller one drops
    // the entries used longest ago at once, except those this run used.
    void SetMaxBytes(int64_t bytes);
    int64_t MaxBytes() const;
    // The line said about why the cache is off or no longer written this run; empty while sound.
    std::string Problem() const;

    // Opens the file when not yet tried; false when the cache is off for this run.
    bool Usable();
    Counts GetCounts() const;
    const std::string& File() const { return file; }

private:
    enum class State { Closed, Open, Off };
    enum class Opened { Ok, Broken, Unusable };

    bool ReadyLocked();
    Opened TryOpen(std::string& reason);
    void CloseLocked();
    bool SetAside(const std::string& reason);
    void Report(const std::string& line);
    // SQLite found no room: writes stop for the run and what the run took is given back.
    void NoSpaceLocked();
    void RemoveFilesLocked();
    void CheckpointLocked();
    bool StepWrite(sqlite3_stmt* statement);
    // A statement failed with rc: a damaged file is set aside once per run; anything else (busy
    // too long, out of space) only costs this one look-up or store.
    void FailedLocked(int rc);
    template <class Take>
    bool LookUpLocked(sqlite3_stmt* const& statement, const FileStamp& stamp, int blobColumn, Take&& take);
    bool FindLocked(const FileStamp& stamp, const Rect& box, cv::Mat* pixels, Size& size, PictureSource& source);
    void TouchLocked(const std::string& path);
    void FlushLocked();
    void EvictLocked();
    int64_t Now() const;

    const std::string file;
    const Options options;
    mutable std::mutex mutex;
    int64_t maxBytes;
    State state = State::Closed;
    bool setAside = false;
    sqlite3* db = nullptr;
    sqlite3_stmt* findRow = nullptr;
    sqlite3_stmt* keepRow = nullptr;
    sqlite3_stmt* touchRow = nullptr;
    sqlite3_stmt* totalBytes = nullptr;
    sqlite3_stmt* oldestRows = nullptr;
    sqlite3_stmt* dropRow = nullptr;
    sqlite3_stmt* findExif = nullptr;
    sqlite3_stmt* keepExif = nullptr;
    std::vector<std::pair<std::string, int64_t>> touched; // path, time of the look-up
    int64_t storedBytes = 0; // this connection's estimate; counted exactly once it passes the bound
    // Entries used since this time (this program's run) are never dropped for room: an import of
    // more photos than the bound holds would otherwise drop each entry before the next import
    // reaches it, and no import would ever find one. When only such entries are left, the cache
    // is full for the rest of the run and keeps nothing more.
    int64_t openedAt = 0;
    bool full = false;
    bool noSpace = false;
    bool madeThisRun = false; // no file was there when this run first opened it
    int64_t firstRowid = 0;   // rows this run added have larger rowids
    std::string problem;
    Counts counts;
};
