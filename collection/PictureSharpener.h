#pragma once

#include "photo/PictureCache.h"

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

// Decodes, on worker threads of its own, the thumbnails that paints drew from embedded pictures
// smaller than what they draw, and puts each into the picture cache in place of the small one, so
// a paint never waits for a decode. The last wanted is made first: a paint asks for what it shows,
// so after a scroll or a zoom the photos in view come before those asked for earlier. A photo
// wanted again while it waits is asked for once.
class PictureSharpener {
public:
    // Called on a worker thread with the key of a sharper picture that went into the cache; the
    // caller lets go of the display pictures made from the small one and repaints.
    using Done = std::function<void(const std::string& key)>;

    // threads 0: one per core.
    explicit PictureSharpener(PictureCache& pictures, unsigned threads = 0);
    ~PictureSharpener();  // lets the decodes under way end; the rest are dropped
    PictureSharpener(const PictureSharpener&) = delete;
    PictureSharpener& operator=(const PictureSharpener&) = delete;

    void SetDone(Done done);
    // The picture under key, made by make (a decoded thumbnail, PhotoItem::DecodedThumbnailMaker).
    void Want(const std::string& key, PictureCache::Maker make);
    // Drops the ones not started and waits for those under way, their Done calls included: the
    // collection, the store or the receiver of Done is about to go.
    void Forget();
    // Wanted and not yet in the cache.
    size_t Pending() const;

private:
    void Work();

    PictureCache& pictures;
    unsigned threadCount;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    struct Job {
        std::string key;
        PictureCache::Maker make;
        uint64_t asked = 0;
    };
    // Made from the back. A key asked for again gets a new entry; the older one is passed over.
    std::vector<Job> wanted;
    std::unordered_map<std::string, uint64_t> waiting;  // key, its latest entry's number
    uint64_t asks = 0;
    size_t busy = 0;
    bool stopping = false;
    Done done;
    std::vector<std::thread> workers;  // started with the first want
};
