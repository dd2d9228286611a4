#include "collection/ThumbnailCache.h"

#include <opencv2/core.hpp>

#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <system_error>

namespace {

constexpr int kSchemaVersion = 2; // PRAGMA user_version of a file in the layout below
constexpr int kRawRowsVersion = 1; // the earlier layout, of raw rows and no EXIF: emptied and reused

// One row per canonical path:
//   size, modified_ns        the file's stamp (bytes; nanoseconds since the epoch)
//   box_width, box_height    the box the picture was fitted into, in pixels
//   width, height, channels  the picture (8 bits a channel: 1 grey, 3 blue-green-red, 4 with alpha)
//   format                   how picture holds it, in its low byte: 0 raw rows (top row first,
//                            width * channels bytes each, no padding), 1 a baseline JPEG of the same
//                            size and channels; bit 8 set: made from a picture the file carries, not
//                            decoded from the photo, and then bits 16-31 and 32-47 the width and
//                            height of the decoded thumbnail it stands for
//   picture, picture_sum     the stored picture (NULL while only the EXIF is kept) and its checksum
//   exif, exif_sum           the EXIF block as the reader stores it (NULL while none) and its checksum
//   bytes                    length of picture and exif together, so the bound is counted from
//                            the index alone
//   last_used                time of the last look-up or store, milliseconds since the epoch
// A checksum is the 64-bit FNV-1a of the blob's bytes, stored as a signed integer.
constexpr const char* kCreateSchema =
    "CREATE TABLE thumbnails("
    " path TEXT PRIMARY KEY NOT NULL,"
    " size INTEGER NOT NULL, modified_ns INTEGER NOT NULL,"
    " box_width INTEGER NOT NULL, box_height INTEGER NOT NULL,"
    " width INTEGER NOT NULL, height INTEGER NOT NULL, channels INTEGER NOT NULL, format INTEGER NOT NULL,"
    " picture BLOB, picture_sum INTEGER NOT NULL, exif BLOB, exif_sum INTEGER NOT NULL,"
    " bytes INTEGER NOT NULL, last_used INTEGER NOT NULL);"
    "CREATE INDEX thumbnails_by_use ON thumbnails(last_used, bytes);"
    "PRAGMA user_version = 2;";

// Same stamp: the other half of the row (picture or EXIF) still belongs to the file as it is.
#define KESTORY_SAME_STAMP "size = excluded.size AND modified_ns = excluded.modified_ns"

constexpr int kFormatRaw = 0;
constexpr int kFormatJpeg = 1;
constexpr int64_t kFormatEmbedded = 0x100;
constexpr int64_t kFormatBits = 0xFF | kFormatEmbedded | (int64_t{0xFFFFFFFF} << 16);

int64_t FormatOf(bool compressed, const PhotoImage& picture) {
    const int64_t coding = compressed ? kFormatJpeg : kFormatRaw;
    if (picture.source != PictureSource::Embedded) {
        return coding;
    }
    const Size placed = picture.PlacedSize();
    return coding | kFormatEmbedded | (int64_t{placed.width & 0xFFFF} << 16) | (int64_t{placed.height & 0xFFFF} << 32);
}
constexpr int kJpegQuality = 90;
// After a checkpoint the log file is cut back to this, in bytes.
constexpr const char* kJournalLimit = "PRAGMA journal_size_limit = 4194304";

constexpr size_t kTouchBatch = 256;

// Errors that say the file itself is bad, not that it is busy or the disk full.
bool IsDamage(int rc) {
    const int primary = rc & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_FORMAT;
}

// Out of room: SQLite says so, or a write of its log or shared memory failed for want of it.
bool NoRoom(sqlite3* db, int rc) {
    return (rc & 0xFF) == SQLITE_FULL || ((rc & 0xFF) == SQLITE_IOERR && sqlite3_system_errno(db) == ENOSPC);
}

// Resets a statement (and its bindings) when a use of it ends, however it ends.
class Use {
public:
    explicit Use(sqlite3_stmt* statement) : statement(statement) {}
    ~Use() {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

private:
    sqlite3_stmt* statement;
};

int ReadInt64(sqlite3* db, const char* sql, int64_t& value) {
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW) {
            value = sqlite3_column_int64(statement, 0);
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(statement);
    return rc;
}

int Exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

int64_t Checksum(const void* data, size_t size) {
    uint64_t hash = 0xCBF29CE484222325ULL;
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
        hash = (hash ^ bytes[i]) * 0x100000001B3ULL;
    }
    return static_cast<int64_t>(hash);
}

struct TurboJpegHandle {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TurboJpeg = std::unique_ptr<void, TurboJpegHandle>;

// Colour and grey pictures as JPEG; false leaves them to be stored as raw rows.
bool EncodeJpeg(const cv::Mat& rows, std::vector<uint8_t>& out) {
    const int channels = rows.channels();
    if (channels != 1 && channels != 3) {
        return false;
    }
    const TurboJpeg encoder(tjInitCompress());
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool done = encoder != nullptr &&
                      tjCompress2(encoder.get(), rows.data, rows.cols, static_cast<int>(rows.step[0]), rows.rows,
                                  channels == 1 ? TJPF_GRAY : TJPF_BGR, &buffer, &size,
                                  channels == 1 ? TJSAMP_GRAY : TJSAMP_420, kJpegQuality, TJFLAG_ACCURATEDCT) == 0;
    if (done) {
        out.assign(buffer, buffer + size);
    }
    tjFree(buffer);
    return done;
}

// The stored JPEG, only when it is the picture the row names.
bool DecodeJpeg(const void* data, size_t size, int width, int height, int channels, cv::Mat& out) {
    const TurboJpeg decoder(tjInitDecompress());
    int w = 0;
    int h = 0;
    int subsampling = 0;
    int colourSpace = 0;
    auto* bytes = static_cast<unsigned char*>(const_cast<void*>(data));
    if (decoder == nullptr || (channels != 1 && channels != 3) ||
        tjDecompressHeader3(decoder.get(), bytes, size, &w, &h, &subsampling, &colourSpace) != 0 || w != width ||
        h != height) {
        return false;
    }
    cv::Mat rows(height, width, CV_8UC(channels));
    if (tjDecompress2(decoder.get(), bytes, size, rows.data, width, static_cast<int>(rows.step[0]), height,
                      channels == 1 ? TJPF_GRAY : TJPF_BGR, TJFLAG_ACCURATEDCT) != 0) {
        return false;
    }
    out = rows;
    return true;
}

bool Cacheable(const PhotoImage& picture) {
    const cv::Mat& m = picture.image;
    const int channels = m.channels();
    return !m.empty() && m.dims == 2 && m.depth() == CV_8U && (channels == 1 || channels == 3 || channels == 4);
}

} // namespace

ThumbnailCache::ThumbnailCache(std::string file) : ThumbnailCache(std::move(file), Options()) {}

ThumbnailCache::ThumbnailCache(std::string file, Options options)
    : file(std::move(file)), options(std::move(options)), maxBytes(this->options.maxBytes) {
    openedAt = Now();
}

ThumbnailCache::~ThumbnailCache() {
    const std::lock_guard lock(mutex);
    if (state == State::Open) {
        FlushLocked();
    }
    CloseLocked();
}

int64_t ThumbnailCache::Now() const {
    if (options.clock) {
        return options.clock();
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool ThumbnailCache::Usable() {
    const std::lock_guard lock(mutex);
    return ReadyLocked();
}

ThumbnailCache::Counts ThumbnailCache::GetCounts() const {
    const std::lock_guard lock(mutex);
    return counts;
}

bool ThumbnailCache::ReadyLocked() {
    if (state == State::Closed) {
        madeThisRun = ::access(file.c_str(), F_OK) != 0;
        std::string reason;
        Opened opened = TryOpen(reason);
        if (opened == Opened::Broken) {
            setAside = true;
            opened = SetAside(reason) ? TryOpen(reason) : Opened::Unusable;
        } else if (opened == Opened::Unusable) {
            // SQLite reports a write of its shared memory that found no room as an I/O error.
            struct statvfs room {};
            const std::string folder = std::filesystem::path(file).parent_path().string();
            noSpace = noSpace || (::statvfs(folder.c_str(), &room) == 0 &&
                                  static_cast<uint64_t>(room.f_bavail) * room.f_frsize < 0x10000);
            Report(noSpace ? std::string(kDiskFull)
                           : "Kestory: サムネイルのキャッシュ " + file + " を使えないため、キャッシュなしで読み込みます (" +
                                 reason + ")");
        }
        state = opened == Opened::Ok ? State::Open : State::Off;
        if (state == State::Off) {
            CloseLocked();
            if (madeThisRun) {
                RemoveFilesLocked(); // an empty file made before the failure is of no use
            }
        }
    }
    return state == State::Open;
}

void ThumbnailCache::RemoveFilesLocked() {
    CloseLocked();
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::remove((file + suffix).c_str());
    }
}

void ThumbnailCache::Report(const std::string& line) {
    problem = line;
    if (options.report) {
        options.report(line);
    } else {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    }
}

std::string ThumbnailCache::Problem() const {
    const std::lock_guard lock(mutex);
    return problem;
}

ThumbnailCache::Opened ThumbnailCache::TryOpen(std::string& reason) {
    CloseLocked();
    reason.clear();
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ignored);
    int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        reason = sqlite3_errstr(rc);
        CloseLocked();
        // A file there that we may not read and write is set aside; with no file at all, the folder
        // takes none.
        const bool there = ::access(file.c_str(), F_OK) == 0;
        return there && ::access(file.c_str(), R_OK | W_OK) != 0 ? Opened::Broken : Opened::Unusable;
    }
    sqlite3_busy_timeout(db, options.busyTimeoutMs);
    if (sqlite3_db_readonly(db, "main") == 1) {
        reason = sqlite3_errstr(SQLITE_READONLY);
        CloseLocked(); // a file made read-only on purpose is left as it is
        return Opened::Unusable;
    }
    // Nothing is written before the file is known to be ours (or empty): a file set aside keeps
    // its bytes.
    int64_t version = 0;
    rc = ReadInt64(db, "PRAGMA user_version", version);
    bool foreign = false; // a database, but not one of ours
    bool emptied = false;
    if (rc == SQLITE_OK && (version == 0 || version == kRawRowsVersion)) {
        // Pages of dropped entries go back to the file system (only takes effect in a new file).
        rc = Exec(db, "PRAGMA auto_vacuum = INCREMENTAL");
        // Another program may be making it at this moment: whoever takes the write lock first does.
        rc = rc == SQLITE_OK ? Exec(db, "BEGIN IMMEDIATE") : rc;
        if (rc == SQLITE_OK) {
            int64_t tables = 0;
            rc = ReadInt64(db, "PRAGMA user_version", version);
            if (rc == SQLITE_OK && version == kRawRowsVersion) {
                // Raw rows of no EXIF: every photo is read again once, then served as before.
                rc = Exec(db, "DROP TABLE thumbnails");
                version = 0;
                emptied = true;
            }
            if (rc == SQLITE_OK && version == 0) {
                rc = ReadInt64(db, "SELECT count(*) FROM sqlite_master", tables);
                foreign = rc == SQLITE_OK && tables != 0;
                if (rc == SQLITE_OK && !foreign) {
                    rc = Exec(db, kCreateSchema);
                    version = kSchemaVersion;
                }
            }
            rc = rc == SQLITE_OK && !foreign ? Exec(db, "COMMIT") : rc;
            if (rc != SQLITE_OK || foreign) {
                reason = foreign ? std::string("other tables") : sqlite3_errmsg(db);
                Exec(db, "ROLLBACK");
            }
        }
    }
    // WAL: readers never wait for the one writer, across programs too. NORMAL: a commit is not
    // synced to the disk; a power cut can lose the last thumbnails kept, never damage the file.
    if (rc == SQLITE_OK && !foreign) {
        rc = Exec(db, "PRAGMA journal_mode = WAL");
    }
    if (rc == SQLITE_OK && !foreign) {
        rc = Exec(db, "PRAGMA synchronous = NORMAL");
    }
    if (rc == SQLITE_OK && !foreign) {
        rc = Exec(db, kJournalLimit);
    }
    if (rc == SQLITE_OK && emptied) {
        Exec(db, "VACUUM"); // the old rows' room back; a file that stays large still works
    }
    if (rc != SQLITE_OK || foreign) {
        if (reason.empty()) {
            reason = sqlite3_errmsg(db);
        }
        noSpace = NoRoom(db, rc);
        CloseLocked();
        return IsDamage(rc) || foreign ? Opened::Broken : Opened::Unusable;
    }
    if (version != kSchemaVersion) {
        reason = "layout " + std::to_string(version);
        CloseLocked();
        return Opened::Broken;
    }
    const std::pair<sqlite3_stmt**, const char*> statements[] = {
        {&findRow, "SELECT size, modified_ns, box_width, box_height, width, height, channels, format, picture,"
                   " picture_sum FROM thumbnails WHERE path = ?1 AND picture IS NOT NULL"},
        {&keepRow, "INSERT INTO thumbnails(path, size, modified_ns, box_width, box_height, width, height, channels,"
                   " format, picture, picture_sum, exif, exif_sum, bytes, last_used)"
                   " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, NULL, 0, ?12, ?13)"
                   " ON CONFLICT(path) DO UPDATE SET"
                   " exif = CASE WHEN " KESTORY_SAME_STAMP " THEN exif END,"
                   " bytes = excluded.bytes + CASE WHEN " KESTORY_SAME_STAMP " THEN coalesce(length(exif), 0) ELSE 0 END,"
                   " size = excluded.size, modified_ns = excluded.modified_ns, box_width = excluded.box_width,"
                   " box_height = excluded.box_height, width = excluded.width, height = excluded.height,"
                   " channels = excluded.channels, format = excluded.format, picture = excluded.picture,"
                   " picture_sum = excluded.picture_sum, last_used = excluded.last_used"},
        {&findExif, "SELECT size, modified_ns, exif, exif_sum FROM thumbnails WHERE path = ?1 AND exif IS NOT NULL"},
        {&keepExif, "INSERT INTO thumbnails(path, size, modified_ns, box_width, box_height, width, height, channels,"
                    " format, picture, picture_sum, exif, exif_sum, bytes, last_used)"
                    " VALUES(?1, ?2, ?3, 0, 0, 0, 0, 0, 0, NULL, 0, ?4, ?5, ?6, ?7)"
                    " ON CONFLICT(path) DO UPDATE SET"
                    " picture = CASE WHEN " KESTORY_SAME_STAMP " THEN picture END,"
                    " bytes = excluded.bytes + CASE WHEN " KESTORY_SAME_STAMP
                    " THEN coalesce(length(picture), 0) ELSE 0 END,"
                    " size = excluded.size, modified_ns = excluded.modified_ns, exif = excluded.exif,"
                    " exif_sum = excluded.exif_sum, last_used = excluded.last_used"},
        {&touchRow, "UPDATE thumbnails SET last_used = max(last_used, ?2) WHERE path = ?1"},
        {&totalBytes, "SELECT coalesce(sum(bytes), 0) FROM thumbnails"},
        {&oldestRows, "SELECT rowid, bytes FROM thumbnails WHERE last_used < ?1 ORDER BY last_used"},
        {&dropRow, "DELETE FROM thumbnails WHERE rowid = ?1"},
    };
    for (const auto& [statement, sql] : statements) {
        rc = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, statement, nullptr);
        if (rc != SQLITE_OK) {
            // Our layout's version with other columns: not a file this program wrote.
            reason = sqlite3_errmsg(db);
            CloseLocked();
            return IsDamage(rc) || (rc & 0xFF) == SQLITE_ERROR ? Opened::Broken : Opened::Unusable;
        }
    }
    rc = ReadInt64(db, "SELECT coalesce(sum(bytes), 0) FROM thumbnails", storedBytes);
    if (rc == SQLITE_OK && firstRowid == 0) {
        rc = ReadInt64(db, "SELECT coalesce(max(rowid), 0) + 1 FROM thumbnails", firstRowid);
    }
    if (rc != SQLITE_OK) {
        reason = sqlite3_errmsg(db);
        CloseLocked();
        return IsDamage(rc) ? Opened::Broken : Opened::Unusable;
    }
    return Opened::Ok;
}

void ThumbnailCache::CloseLocked() {
    for (sqlite3_stmt** statement :
         {&findRow, &keepRow, &touchRow, &totalBytes, &oldestRows, &dropRow, &findExif, &keepExif}) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    sqlite3_close_v2(db);
    db = nullptr;
}

bool ThumbnailCache::SetAside(const std::string& reason) {
    CloseLocked();
    const std::string broken = file + ".broken";
    const bool moved = std::rename(file.c_str(), broken.c_str()) == 0;
    if (moved) {
        // The journal files belong to the bad file: a new file of the name would replay them.
        for (const char* suffix : {"-wal", "-shm"}) {
            const std::string journal = file + suffix;
            if (std::rename(journal.c_str(), (broken + suffix).c_str()) != 0) {
                std::remove(journal.c_str());
            }
        }
    }
    const std::string line = moved ? "Kestory: サムネイルのキャッシュ " + file + " を使えないため " + broken +
                                         " に移し、新しく作ります (" + reason + ")"
                                   : "Kestory: サムネイルのキャッシュ " + file +
                                         " を使えないため、キャッシュなしで読み込みます (" + reason + ")";
    Report(line);
    if (moved) {
        problem.clear(); // a new file is made: the cache works
    }
    return moved;
}

void ThumbnailCache::FailedLocked(int rc) {
    if (NoRoom(db, rc)) {
        NoSpaceLocked();
        return;
    }
    if (!IsDamage(rc)) {
        return;
    }
    const std::string reason = sqlite3_errmsg(db);
    std::string ignored;
    const bool fresh = !setAside && SetAside(reason) && TryOpen(ignored) == Opened::Ok;
    setAside = true;
    state = fresh ? State::Open : State::Off;
    touched.clear();
    if (!fresh) {
        CloseLocked();
    }
}

// The row of the statement for the stamp's path, when it is of the file as it is now and its blob
// still matches its checksum. The statement's columns 0 and 1 are the row's size and modified_ns,
// blobColumn and the one after it the blob and its checksum; take reads the rest of the row and
// says whether it serves. A hit's use is noted. The statement is named by its member: it is
// prepared only once the file is open.
template <class Take>
bool ThumbnailCache::LookUpLocked(sqlite3_stmt* const& statement, const FileStamp& stamp, int blobColumn, Take&& take) {
    if (!ReadyLocked()) {
        return false;
    }
    bool found = false;
    int rc = SQLITE_OK;
    {
        const Use use(statement);
        sqlite3_bind_text(statement, 1, stamp.path.data(), static_cast<int>(stamp.path.size()), SQLITE_STATIC);
        rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW) {
            rc = SQLITE_OK;
            const void* stored = sqlite3_column_blob(statement, blobColumn);
            const auto bytes = static_cast<size_t>(sqlite3_column_bytes(statement, blobColumn));
            found = sqlite3_column_int64(statement, 0) == stamp.size &&
                    sqlite3_column_int64(statement, 1) == stamp.modifiedNs && stored != nullptr &&
                    Checksum(stored, bytes) == sqlite3_column_int64(statement, blobColumn + 1) &&
                    take(stored, bytes);
        } else if (rc == SQLITE_DONE) {
            rc = SQLITE_OK;
        }
    }
    if (rc != SQLITE_OK) {
        FailedLocked(rc);
        return false;
    }
    if (found) {
        TouchLocked(stamp.path);
    }
    return found;
}

// The row's picture when it was fitted into the same box and describes its own bytes; with pixels
// null only its size is wanted.
bool ThumbnailCache::FindLocked(const FileStamp& stamp, const Rect& box, cv::Mat* pixels, Size& size,
                                PictureSource& source) {
    ++counts.lookups;
    const bool found = LookUpLocked(findRow, stamp, 8, [&](const void* stored, size_t bytes) {
        const int64_t width = sqlite3_column_int64(findRow, 4);
        const int64_t height = sqlite3_column_int64(findRow, 5);
        const int64_t channels = sqlite3_column_int64(findRow, 6);
        const int64_t stored7 = sqlite3_column_int64(findRow, 7);
        const int64_t format = stored7 & 0xFF;
        const bool embedded = (stored7 & kFormatEmbedded) != 0;
        const Size standsFor{static_cast<int32_t>((stored7 >> 16) & 0xFFFF), static_cast<int32_t>((stored7 >> 32) & 0xFFFF)};
        // A row that does not describe its own bytes is passed over; the decode replaces it.
        const bool sound = sqlite3_column_int64(findRow, 2) == box.width() &&
                           sqlite3_column_int64(findRow, 3) == box.height() && width > 0 && height > 0 &&
                           width <= 65535 && height <= 65535 && (channels == 1 || channels == 3 || channels == 4) &&
                           (format == kFormatJpeg ||
                            (format == kFormatRaw && static_cast<int64_t>(bytes) == width * height * channels)) &&
                           (stored7 & ~kFormatBits) == 0 &&
                           (embedded ? standsFor.width >= width && standsFor.height >= height : (stored7 >> 16) == 0);
        if (!sound) {
            return false;
        }
        size = embedded ? standsFor : Size{static_cast<int32_t>(width), static_cast<int32_t>(height)};
        source = embedded ? PictureSource::Embedded : PictureSource::Decoded;
        try {
            if (pixels != nullptr && format == kFormatJpeg) {
                return DecodeJpeg(stored, bytes, static_cast<int>(width), static_cast<int>(height),
                                  static_cast<int>(channels), *pixels);
            }
            if (pixels != nullptr) {
                cv::Mat rows(static_cast<int>(height), static_cast<int>(width), CV_8UC(static_cast<int>(channels)));
                std::memcpy(rows.data, stored, bytes);
                *pixels = rows;
            }
        } catch (const std::exception&) {
            return false; // no memory for it: decoded instead
        }
        return true;
    });
    counts.hits += found ? 1 : 0;
    return found;
}

void ThumbnailCache::TouchLocked(const std::string& path) {
    touched.emplace_back(path, Now());
    if (touched.size() >= kTouchBatch) {
        FlushLocked();
    }
}

bool ThumbnailCache::Find(const FileStamp& stamp, const Rect& box, PhotoImage& picture) {
    const std::lock_guard lock(mutex);
    cv::Mat pixels;
    Size size;
    PictureSource source = PictureSource::Decoded;
    if (!FindLocked(stamp, box, &pixels, size, source)) {
        return false;
    }
    picture.image = pixels;
    picture.topDown = 1;
    picture.source = source;
    picture.standsFor = source == PictureSource::Embedded ? size : Size{};
    return true;
}

bool ThumbnailCache::FindSize(const FileStamp& stamp, const Rect& box, Size& size) {
    const std::lock_guard lock(mutex);
    PictureSource source = PictureSource::Decoded;
    return FindLocked(stamp, box, nullptr, size, source);
}

bool ThumbnailCache::FindExif(const FileStamp& stamp, std::vector<uint8_t>& block) {
    const std::lock_guard lock(mutex);
    const bool found = LookUpLocked(findExif, stamp, 2, [&block](const void* stored, size_t bytes) {
        const auto* first = static_cast<const uint8_t*>(stored);
        block.assign(first, first + bytes);
        return true;
    });
    counts.exifHits += found ? 1 : 0;
    return found;
}

void ThumbnailCache::Keep(const FileStamp& stamp, const Rect& box, const PhotoImage& picture) {
    if (!Cacheable(picture)) {
        return;
    }
    try {
        const cv::Mat rows = picture.image.isContinuous() ? picture.image : picture.image.clone();
        std::vector<uint8_t> jpeg;
        const bool compressed = EncodeJpeg(rows, jpeg);
        const void* stored = compressed ? static_cast<const void*>(jpeg.data()) : rows.data;
        const auto bytes = compressed ? jpeg.size() : rows.total() * rows.elemSize();
        const int64_t sum = Checksum(stored, bytes);
        const std::lock_guard lock(mutex);
        if (full || noSpace || !ReadyLocked()) {
            return;
        }
        {
            const Use use(keepRow);
            sqlite3_bind_text(keepRow, 1, stamp.path.data(), static_cast<int>(stamp.path.size()), SQLITE_STATIC);
            sqlite3_bind_int64(keepRow, 2, stamp.size);
            sqlite3_bind_int64(keepRow, 3, stamp.modifiedNs);
            sqlite3_bind_int64(keepRow, 4, box.width());
            sqlite3_bind_int64(keepRow, 5, box.height());
            sqlite3_bind_int64(keepRow, 6, rows.cols);
            sqlite3_bind_int64(keepRow, 7, rows.rows);
            sqlite3_bind_int64(keepRow, 8, rows.channels());
            sqlite3_bind_int64(keepRow, 9, FormatOf(compressed, picture));
            sqlite3_bind_blob64(keepRow, 10, stored, static_cast<sqlite3_uint64>(bytes), SQLITE_STATIC);
            sqlite3_bind_int64(keepRow, 11, sum);
            sqlite3_bind_int64(keepRow, 12, static_cast<int64_t>(bytes));
            sqlite3_bind_int64(keepRow, 13, Now());
            if (!StepWrite(keepRow)) {
                return;
            }
        }
        ++counts.kept;
        storedBytes += static_cast<int64_t>(bytes);
        if (storedBytes > maxBytes) {
            EvictLocked();
        }
    } catch (const std::exception&) {
        // No memory for a continuous copy: this one is not kept.
    }
}

void ThumbnailCache::KeepExif(const FileStamp& stamp, const std::vector<uint8_t>& block) {
    const int64_t sum = Checksum(block.data(), block.size());
    const std::lock_guard lock(mutex);
    if (full || noSpace || block.empty() || !ReadyLocked()) {
        return;
    }
    {
        const Use use(keepExif);
        sqlite3_bind_text(keepExif, 1, stamp.path.data(), static_cast<int>(stamp.path.size()), SQLITE_STATIC);
        sqlite3_bind_int64(keepExif, 2, stamp.size);
        sqlite3_bind_int64(keepExif, 3, stamp.modifiedNs);
        sqlite3_bind_blob64(keepExif, 4, block.data(), block.size(), SQLITE_STATIC);
        sqlite3_bind_int64(keepExif, 5, sum);
        sqlite3_bind_int64(keepExif, 6, static_cast<int64_t>(block.size()));
        sqlite3_bind_int64(keepExif, 7, Now());
        if (!StepWrite(keepExif)) {
            return;
        }
    }
    storedBytes += static_cast<int64_t>(block.size());
    if (storedBytes > maxBytes) {
        EvictLocked();
    }
}

// Steps a statement that writes one row; false (and the failure handled) when it did not.
bool ThumbnailCache::StepWrite(sqlite3_stmt* statement) {
    const int rc = sqlite3_step(statement);
    if (rc != SQLITE_DONE) {
        sqlite3_reset(statement); // before a full disk's give-back writes
        FailedLocked(rc);
        return false;
    }
    return true;
}

void ThumbnailCache::Flush() {
    const std::lock_guard lock(mutex);
    if (state == State::Open) {
        FlushLocked();
    }
    if (state == State::Open) {
        CheckpointLocked();
    }
}

// The log's pages into the file and the log cut back to nothing; another program reading at this
// moment makes it a partial one, which the next checkpoint finishes.
void ThumbnailCache::CheckpointLocked() {
    sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
}

void ThumbnailCache::NoSpaceLocked() {
    if (noSpace) {
        return;
    }
    noSpace = true;
    touched.clear();
    Exec(db, "ROLLBACK"); // what a failed statement of a transaction left open
    if (madeThisRun) {
        RemoveFilesLocked();
        state = State::Off;
    } else {
        // What this run added goes: its log frames overwrite the failed write's, so these few
        // pages fit; the file's freed pages then go back to the file system.
        sqlite3_stmt* drop = nullptr;
        if (sqlite3_prepare_v2(db, "DELETE FROM thumbnails WHERE rowid >= ?1", -1, &drop, nullptr) == SQLITE_OK) {
            sqlite3_bind_int64(drop, 1, firstRowid);
            sqlite3_step(drop);
        }
        sqlite3_finalize(drop);
        CheckpointLocked();
        Exec(db, "PRAGMA incremental_vacuum");
        CheckpointLocked();
    }
    Report(kDiskFull);
}

bool ThumbnailCache::GetStored(Stored& stored) {
    const std::lock_guard lock(mutex);
    if (!ReadyLocked()) {
        return false;
    }
    stored = Stored{};
    ReadInt64(db, "SELECT count(*) FROM thumbnails", stored.entries);
    for (const char* suffix : {"", "-wal"}) {
        struct stat s {};
        if (::stat((file + suffix).c_str(), &s) == 0) {
            stored.fileBytes += static_cast<int64_t>(s.st_size);
        }
    }
    return true;
}

bool ThumbnailCache::Clear() {
    const std::lock_guard lock(mutex);
    if (!ReadyLocked()) {
        return false;
    }
    touched.clear();
    const int rc = Exec(db, "DELETE FROM thumbnails");
    if (rc != SQLITE_OK) {
        FailedLocked(rc);
        return false;
    }
    Exec(db, "VACUUM"); // files of the earlier layout give no pages back by themselves
    CheckpointLocked();
    storedBytes = 0;
    full = false;
    return true;
}

void ThumbnailCache::SetMaxBytes(int64_t bytes) {
    const std::lock_guard lock(mutex);
    maxBytes = bytes;
    full = false;
    // A smaller bound is kept at once where the file is open; a closed or unusable one only
    // remembers it.
    if (state == State::Open && storedBytes > maxBytes) {
        EvictLocked();
    }
}

int64_t ThumbnailCache::MaxBytes() const {
    const std::lock_guard lock(mutex);
    return maxBytes;
}

void ThumbnailCache::FlushLocked() {
    if (touched.empty() || noSpace) {
        return;
    }
    // The times are hints for the bound: when they cannot be written they are let go.
    int rc = Exec(db, "BEGIN IMMEDIATE");
    for (const auto& [path, time] : touched) {
        if (rc != SQLITE_OK) {
            break;
        }
        const Use use(touchRow);
        sqlite3_bind_text(touchRow, 1, path.data(), static_cast<int>(path.size()), SQLITE_STATIC);
        sqlite3_bind_int64(touchRow, 2, time);
        const int stepped = sqlite3_step(touchRow);
        rc = stepped == SQLITE_DONE ? SQLITE_OK : stepped;
    }
    touched.clear();
    rc = rc == SQLITE_OK ? Exec(db, "COMMIT") : rc;
    if (rc != SQLITE_OK) {
        Exec(db, "ROLLBACK");
        FailedLocked(rc);
    }
}

void ThumbnailCache::EvictLocked() {
    FlushLocked(); // the latest uses count
    if (state != State::Open) {
        return;
    }
    // Counted again inside the write lock: other programs store and drop entries too.
    int rc = Exec(db, "BEGIN IMMEDIATE");
    int64_t total = 0;
    if (rc == SQLITE_OK) {
        const Use use(totalBytes);
        rc = sqlite3_step(totalBytes);
        total = sqlite3_column_int64(totalBytes, 0);
        rc = rc == SQLITE_ROW ? SQLITE_OK : rc;
    }
    // Down to seven eighths of the bound, so a full cache does not drop an entry at every store.
    const int64_t target = maxBytes - maxBytes / 8;
    std::vector<int64_t> drop;
    if (rc == SQLITE_OK && total > maxBytes) {
        const Use use(oldestRows);
        sqlite3_bind_int64(oldestRows, 1, openedAt);
        int64_t left = total;
        while (left > target && (rc = sqlite3_step(oldestRows)) == SQLITE_ROW) {
            drop.push_back(sqlite3_column_int64(oldestRows, 0));
            left -= sqlite3_column_int64(oldestRows, 1);
        }
        rc = rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_OK : rc;
        total = left;
    }
    for (const int64_t rowid : drop) {
        if (rc != SQLITE_OK) {
            break;
        }
        const Use use(dropRow);
        sqlite3_bind_int64(dropRow, 1, rowid);
        const int stepped = sqlite3_step(dropRow);
        rc = stepped == SQLITE_DONE ? SQLITE_OK : stepped;
    }
    rc = rc == SQLITE_OK ? Exec(db, "COMMIT") : rc;
    if (rc != SQLITE_OK) {
        Exec(db, "ROLLBACK");
        FailedLocked(rc);
        return;
    }
    storedBytes = total;
    full = total > maxBytes;
}
