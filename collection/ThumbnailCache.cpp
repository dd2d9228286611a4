#include "collection/ThumbnailCache.h"

#include <opencv2/core.hpp>

#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>

namespace {

constexpr int kSchemaVersion = 1; // PRAGMA user_version of a file in the layout below

// One row per canonical path:
//   size, modified_ns        the file's stamp (bytes; nanoseconds since the epoch)
//   box_width, box_height    the box the picture was fitted into, in pixels
//   width, height, channels  the picture (8 bits a channel: 1 grey, 3 blue-green-red, 4 with alpha)
//   pixels                   its rows, top row first, each width * channels bytes without padding
//   bytes                    length of pixels, so the bound is counted from the index alone
//   last_used                time of the last look-up or store, milliseconds since the epoch
constexpr const char* kCreateSchema =
    "CREATE TABLE thumbnails("
    " path TEXT PRIMARY KEY NOT NULL,"
    " size INTEGER NOT NULL, modified_ns INTEGER NOT NULL,"
    " box_width INTEGER NOT NULL, box_height INTEGER NOT NULL,"
    " width INTEGER NOT NULL, height INTEGER NOT NULL, channels INTEGER NOT NULL,"
    " pixels BLOB NOT NULL, bytes INTEGER NOT NULL, last_used INTEGER NOT NULL);"
    "CREATE INDEX thumbnails_by_use ON thumbnails(last_used, bytes);"
    "PRAGMA user_version = 1;";

constexpr size_t kTouchBatch = 256;

// Errors that say the file itself is bad, not that it is busy or the disk full.
bool IsDamage(int rc) {
    const int primary = rc & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_FORMAT;
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

bool Cacheable(const PhotoImage& picture) {
    const cv::Mat& m = picture.image;
    const int channels = m.channels();
    return !m.empty() && m.dims == 2 && m.depth() == CV_8U && (channels == 1 || channels == 3 || channels == 4);
}

} // namespace

ThumbnailCache::ThumbnailCache(std::string file) : ThumbnailCache(std::move(file), Options()) {}

ThumbnailCache::ThumbnailCache(std::string file, Options options) : file(std::move(file)), options(std::move(options)) {
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
        std::string reason;
        Opened opened = TryOpen(reason);
        if (opened == Opened::Broken) {
            setAside = true;
            opened = SetAside(reason) ? TryOpen(reason) : Opened::Unusable;
        }
        state = opened == Opened::Ok ? State::Open : State::Off;
        if (state == State::Off) {
            CloseLocked();
        }
    }
    return state == State::Open;
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
        CloseLocked(); // a file made read-only on purpose is left as it is
        return Opened::Unusable;
    }
    // Nothing is written before the file is known to be ours (or empty): a file set aside keeps
    // its bytes.
    int64_t version = 0;
    rc = ReadInt64(db, "PRAGMA user_version", version);
    bool foreign = false; // a database, but not one of ours
    if (rc == SQLITE_OK && version == 0) {
        // Another program may be making it at this moment: whoever takes the write lock first does.
        rc = Exec(db, "BEGIN IMMEDIATE");
        if (rc == SQLITE_OK) {
            int64_t tables = 0;
            rc = ReadInt64(db, "PRAGMA user_version", version);
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
    if (rc != SQLITE_OK || foreign) {
        if (reason.empty()) {
            reason = sqlite3_errmsg(db);
        }
        CloseLocked();
        return IsDamage(rc) || foreign ? Opened::Broken : Opened::Unusable;
    }
    if (version != kSchemaVersion) {
        reason = "layout " + std::to_string(version);
        CloseLocked();
        return Opened::Broken;
    }
    const std::pair<sqlite3_stmt**, const char*> statements[] = {
        {&findRow, "SELECT size, modified_ns, box_width, box_height, width, height, channels, pixels"
                   " FROM thumbnails WHERE path = ?1"},
        {&keepRow, "INSERT OR REPLACE INTO thumbnails(path, size, modified_ns, box_width, box_height, width,"
                   " height, channels, pixels, bytes, last_used) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)"},
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
    if (rc != SQLITE_OK) {
        reason = sqlite3_errmsg(db);
        CloseLocked();
        return IsDamage(rc) ? Opened::Broken : Opened::Unusable;
    }
    return Opened::Ok;
}

void ThumbnailCache::CloseLocked() {
    for (sqlite3_stmt** statement : {&findRow, &keepRow, &touchRow, &totalBytes, &oldestRows, &dropRow}) {
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
    if (options.report) {
        options.report(line);
    } else {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    }
    return moved;
}

void ThumbnailCache::FailedLocked(int rc) {
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

bool ThumbnailCache::Find(const FileStamp& stamp, const Rect& box, PhotoImage& picture) {
    const std::lock_guard lock(mutex);
    ++counts.lookups;
    if (!ReadyLocked()) {
        return false;
    }
    bool found = false;
    int rc = SQLITE_OK;
    {
        const Use use(findRow);
        sqlite3_bind_text(findRow, 1, stamp.path.data(), static_cast<int>(stamp.path.size()), SQLITE_STATIC);
        rc = sqlite3_step(findRow);
        if (rc == SQLITE_ROW) {
            rc = SQLITE_OK;
            const int64_t width = sqlite3_column_int64(findRow, 4);
            const int64_t height = sqlite3_column_int64(findRow, 5);
            const int64_t channels = sqlite3_column_int64(findRow, 6);
            const void* pixels = sqlite3_column_blob(findRow, 7);
            const int64_t bytes = sqlite3_column_bytes(findRow, 7);
            const bool same = sqlite3_column_int64(findRow, 0) == stamp.size &&
                              sqlite3_column_int64(findRow, 1) == stamp.modifiedNs &&
                              sqlite3_column_int64(findRow, 2) == box.width() &&
                              sqlite3_column_int64(findRow, 3) == box.height();
            // A row that does not describe its own pixels is passed over; the decode replaces it.
            const bool sound = width > 0 && height > 0 && width <= 65535 && height <= 65535 &&
                               (channels == 1 || channels == 3 || channels == 4) && pixels != nullptr &&
                               bytes == width * height * channels;
            if (same && sound) {
                try {
                    cv::Mat rows(static_cast<int>(height), static_cast<int>(width), CV_8UC(static_cast<int>(channels)));
                    std::memcpy(rows.data, pixels, static_cast<size_t>(bytes));
                    picture.image = rows;
                    picture.topDown = 1;
                    found = true;
                } catch (const std::exception&) {
                    found = false; // no memory for it: decoded instead
                }
            }
        } else if (rc == SQLITE_DONE) {
            rc = SQLITE_OK;
        }
    }
    if (rc != SQLITE_OK) {
        FailedLocked(rc);
        return false;
    }
    if (found) {
        ++counts.hits;
        touched.emplace_back(stamp.path, Now());
        if (touched.size() >= kTouchBatch) {
            FlushLocked();
        }
    }
    return found;
}

void ThumbnailCache::Keep(const FileStamp& stamp, const Rect& box, const PhotoImage& picture) {
    if (!Cacheable(picture)) {
        return;
    }
    try {
        const cv::Mat rows = picture.image.isContinuous() ? picture.image : picture.image.clone();
        const int64_t bytes = static_cast<int64_t>(rows.total() * rows.elemSize());
        const std::lock_guard lock(mutex);
        if (full || !ReadyLocked()) {
            return;
        }
        int rc = SQLITE_OK;
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
            sqlite3_bind_blob64(keepRow, 9, rows.data, static_cast<sqlite3_uint64>(bytes), SQLITE_STATIC);
            sqlite3_bind_int64(keepRow, 10, bytes);
            sqlite3_bind_int64(keepRow, 11, Now());
            rc = sqlite3_step(keepRow);
        }
        if (rc != SQLITE_DONE) {
            FailedLocked(rc);
            return;
        }
        ++counts.kept;
        storedBytes += bytes;
        if (storedBytes > options.maxBytes) {
            EvictLocked();
        }
    } catch (const std::exception&) {
        // No memory for a continuous copy: this one is not kept.
    }
}

void ThumbnailCache::Flush() {
    const std::lock_guard lock(mutex);
    if (state == State::Open) {
        FlushLocked();
    }
}

void ThumbnailCache::FlushLocked() {
    if (touched.empty()) {
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
    const int64_t target = options.maxBytes - options.maxBytes / 8;
    std::vector<int64_t> drop;
    if (rc == SQLITE_OK && total > options.maxBytes) {
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
    full = total > options.maxBytes;
}
