#pragma once

#include "photo/PhotoImage.h"

#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

class ThumbnailStore;

// Pictures kept in memory by key (a photo's path), at most a bound of bytes of pixels: the least
// recently used go first. A picture asked for and not kept is made by the caller's maker, which
// gets the thumbnail store to look in before decoding. Thread-safe: a paint makes pictures on
// several threads at once. A picture handed out stays valid for its holder after it is dropped.
class PictureCache {
public:
    using Picture = std::shared_ptr<const PhotoImage>;
    // Fills the holder; false when the picture can no longer be made. Never throws.
    using Maker = std::function<bool(ThumbnailStore* store, PhotoImage& holder)>;

    static constexpr size_t kDefaultBoundMiB = 256;

    explicit PictureCache(size_t boundBytes = kDefaultBoundMiB << 20);

    // Drops pictures until the rest fit.
    void SetBound(size_t boundBytes);
    size_t Bound() const;
    // Not owned; null: a missing picture is always decoded from its file.
    void SetStore(ThumbnailStore* store);
    ThumbnailStore* Store() const;

    // Kept under the key, replacing what was kept there; an empty picture is not kept.
    void Put(const std::string& key, PhotoImage picture);
    // The kept picture, or one made now and kept; null when it cannot be made (a failure is not
    // kept, so the next call tries again).
    Picture Get(const std::string& key, const Maker& make);

    size_t Bytes() const;
    size_t Count() const;
    void Clear();

private:
    struct Entry {
        Picture picture;
        size_t bytes = 0;
        std::list<std::string>::iterator use;
    };
    void InsertLocked(const std::string& key, Picture picture);
    void EvictLocked();

    mutable std::mutex mutex;
    size_t bound;
    size_t bytes = 0;
    ThumbnailStore* store = nullptr;
    std::list<std::string> uses; // most recently used first
    std::unordered_map<std::string, Entry> entries;
};
