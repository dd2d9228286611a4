#pragma once

#include "photo/PhotoImage.h"
#include "photo/Rect.h"

#include <cstdint>
#include <string>
#include <vector>

// One state of a file, as far as its thumbnail goes: the file's canonical path (absolute, links
// resolved), its size in bytes and its modification time in nanoseconds since the epoch. A photo
// rewritten in place gets a new time, even when its size stays.
struct FileStamp {
    std::string path;
    int64_t size = 0;
    int64_t modifiedNs = 0;
};

// The stamp of a regular file as it is now; false for anything else or when it cannot be had.
bool StampFile(const std::string& path, FileStamp& stamp);

// While one lives on a thread, StampFile resolves each folder once for the files after it in the
// same folder (an import's worker stamps a folder's files one after another): the folder's links
// are read once, not for every file. Only for the length of an import: a folder replaced by a link
// meanwhile would be resolved as it was.
class FolderStampScope {
public:
    FolderStampScope();
    ~FolderStampScope();
    FolderStampScope(const FolderStampScope&) = delete;
    FolderStampScope& operator=(const FolderStampScope&) = delete;
};

// Where a thumbnail-mode load looks for the picture a decode would make of a file, and leaves the
// one it made, and the same for the EXIF block the reader parsed (CExifAnalize's stored block), so
// a file that has not changed since is not opened at all. The pictures are the fitted ones, before
// the orientation turn (which follows the EXIF, stored or read, of the file as it is). The import's worker
// threads call it at once, so implementations are thread-safe. Neither call throws, and neither
// can refuse a photo: a store that cannot serve just misses, one that cannot keep drops it.
class ThumbnailStore {
public:
    virtual ~ThumbnailStore() = default;
    // The picture kept for exactly this stamp and box; false when there is none.
    virtual bool Find(const FileStamp& stamp, const Rect& box, PhotoImage& picture) = 0;
    // Keeps the picture for the stamp and box, in place of whatever was kept for the path.
    virtual void Keep(const FileStamp& stamp, const Rect& box, const PhotoImage& picture) = 0;
    // The stored EXIF block kept for exactly this stamp; false when there is none.
    virtual bool FindExif(const FileStamp& stamp, std::vector<uint8_t>& block) {
        (void)stamp;
        (void)block;
        return false;
    }
    // Keeps the block for the stamp, beside the picture when that is of the same stamp.
    virtual void KeepExif(const FileStamp& stamp, const std::vector<uint8_t>& block) {
        (void)stamp;
        (void)block;
    }
    // The size of the picture Find would give for the stamp and box, without making its pixels.
    virtual bool FindSize(const FileStamp& stamp, const Rect& box, Size& size) {
        (void)stamp;
        (void)box;
        (void)size;
        return false;
    }
    // Writes what was held back to be written together (an import calls it when it ends).
    virtual void Flush() {}
};
