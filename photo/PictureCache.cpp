#include "photo/PictureCache.h"

#include <exception>
#include <utility>

namespace {

size_t PixelBytes(const PhotoImage& picture) {
    return picture.image.total() * picture.image.elemSize();
}

} // namespace

PictureCache::PictureCache(size_t boundBytes) : bound(boundBytes) {}

void PictureCache::SetBound(size_t boundBytes) {
    const std::lock_guard lock(mutex);
    bound = boundBytes;
    EvictLocked();
}

size_t PictureCache::Bound() const {
    const std::lock_guard lock(mutex);
    return bound;
}

void PictureCache::SetStore(ThumbnailStore* newStore) {
    const std::lock_guard lock(mutex);
    store = newStore;
}

ThumbnailStore* PictureCache::Store() const {
    const std::lock_guard lock(mutex);
    return store;
}

void PictureCache::Put(const std::string& key, PhotoImage picture) {
    if (picture.Empty()) {
        return;
    }
    auto kept = std::make_shared<const PhotoImage>(std::move(picture));
    const std::lock_guard lock(mutex);
    InsertLocked(key, std::move(kept));
}

PictureCache::Picture PictureCache::Get(const std::string& key, const Maker& make) {
    ThumbnailStore* source = nullptr;
    {
        const std::lock_guard lock(mutex);
        const auto it = entries.find(key);
        if (it != entries.end()) {
            uses.splice(uses.begin(), uses, it->second.use);
            return it->second.picture;
        }
        source = store;
    }
    // Made outside the lock, so other threads' look-ups and makes go on meanwhile; two threads
    // making the same picture at once both succeed and the later one is kept.
    PhotoImage made;
    bool ok = false;
    try {
        ok = make(source, made);
    } catch (const std::exception&) {
        ok = false;
    }
    if (!ok || made.Empty()) {
        return nullptr;
    }
    auto kept = std::make_shared<const PhotoImage>(std::move(made));
    const std::lock_guard lock(mutex);
    InsertLocked(key, kept);
    return kept;
}

size_t PictureCache::Bytes() const {
    const std::lock_guard lock(mutex);
    return bytes;
}

size_t PictureCache::Count() const {
    const std::lock_guard lock(mutex);
    return entries.size();
}

void PictureCache::Clear() {
    const std::lock_guard lock(mutex);
    entries.clear();
    uses.clear();
    bytes = 0;
}

void PictureCache::InsertLocked(const std::string& key, Picture picture) {
    const size_t size = PixelBytes(*picture);
    const auto it = entries.find(key);
    if (it != entries.end()) {
        bytes -= it->second.bytes;
        it->second.picture = std::move(picture);
        it->second.bytes = size;
        uses.splice(uses.begin(), uses, it->second.use);
    } else {
        uses.push_front(key);
        entries.emplace(key, Entry{std::move(picture), size, uses.begin()});
    }
    bytes += size;
    EvictLocked();
}

void PictureCache::EvictLocked() {
    // A picture larger than the whole bound goes too: its holder keeps it while drawing.
    while (bytes > bound && !uses.empty()) {
        const auto it = entries.find(uses.back());
        bytes -= it->second.bytes;
        entries.erase(it);
        uses.pop_back();
    }
}
