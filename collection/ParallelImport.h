#pragma once

#include "collection/CLumivaneDoc.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class PhotoItem;
class ThumbnailStore;

// An import of many files that loads them on a pool of worker threads and hands the results to
// the document on the calling thread, in exactly the order of the paths: each loaded photo is
// appended and each refusal is told through the document's notifier where a one-by-one import
// would have told it. A refusal holds up the delivery until the notifier returns.
//
// The workers touch nothing but their own records (PhotoItem::Load of one file shares no state);
// the document, the notifier and everything behind them are used from the calling thread only,
// inside Step.
//
// At most `window` files are taken but not yet delivered, so memory stays bounded however many
// files there are and however slow one of them is: a worker holds one file while decoding it,
// and a waiting result is just a thumbnail.
class ParallelImport {
public:
    // threads 0: one per core. window 0: eight files a thread, so that a worker rarely waits for
    // the calling thread and the calling thread takes the results in batches.
    explicit ParallelImport(CLumivaneDoc& doc, unsigned threads = 0, size_t window = 0);
    // Stops like Cancel, waits for the files in flight and drops what was not delivered.
    ~ParallelImport();
    ParallelImport(const ParallelImport&) = delete;
    ParallelImport& operator=(const ParallelImport&) = delete;

    // Begins loading; false (nothing changes) while an earlier import is not finished. When no
    // worker thread can be started, Step loads one file at a time on the calling thread instead.
    bool Start(std::vector<std::string> paths);

    // False: each photo's thumbnail is released as soon as it is decoded, for a caller that wants
    // the EXIF data only (kestory-export writing just the CSV file). The same files are accepted
    // and refused, since the decode still decides; memory then stays flat with the file count.
    // Set before Start.
    void KeepPictures(bool keep) { keepPictures = keep; }

    // Delivers the results next in order as they are ready, for up to `wait` (at least one batch
    // of those ready, with no wait); true while more is to come. A call made while a delivery is under way (from a nested event loop
    // inside the notifier) returns at once without delivering, so the order holds.
    bool Step(std::chrono::milliseconds wait = std::chrono::milliseconds::zero());

    // Loads and delivers everything (Step until finished); the number of photos added.
    int Run();

    // No further file is taken; the files in flight are still delivered, so the document ends up
    // with what a one-by-one import of the first Delivered() paths gives.
    void Cancel();

    size_t Total() const;
    size_t Delivered() const;
    int Added() const { return added; }
    // Files delivered so far that the collection held already, unchanged (CLumivaneDoc::AcceptLoad);
    // told to the notifier once the import has delivered its last file.
    size_t AlreadyLoaded() const { return alreadyLoaded; }
    bool Finished() const;
    bool Cancelled() const;
    unsigned Threads() const { return threadCount; }

private:
    struct Slot {
        bool ready = false;
        int result = -2;
        std::unique_ptr<PhotoItem> photo;
        FileStamp stamp; // taken before the load
    };

    void Work();
    Slot Load(const std::string& path) const;
    size_t EndLocked() const { return cancelled ? taken : paths.size(); }
    void StopWorkers();

    CLumivaneDoc& doc;
    const unsigned threadCount;
    const size_t window;

    std::vector<std::string> paths; // not changed while workers run
    std::vector<std::thread> workers;
    bool keepPictures = true;
    ThumbnailStore* store = nullptr; // the document's, taken at Start
    int32_t embeddedSide = 0;        // likewise (CLumivaneDoc::EmbeddedPictureSide)
    bool running = false;
    bool delivering = false;
    int added = 0;
    size_t alreadyLoaded = 0;
    // The collection's files as Start found them, read-only on the workers, so that a file the
    // collection holds unchanged is not loaded again; the document's shared index, let go when
    // the import ends. Only the calling thread changes the document.
    std::shared_ptr<const CLumivaneDoc::KnownFiles> known;

    mutable std::mutex mutex;
    std::condition_variable workAllowed; // a slot in the window freed, or stop
    std::condition_variable resultReady;
    std::vector<Slot> results;
    // Results taken out of results under one lock, delivered after it; at most kDeliveryBatch.
    static constexpr size_t kDeliveryBatch = 64;
    std::vector<Slot> batch;
    size_t taken = 0;     // files handed to a worker (or loaded inline)
    size_t delivered = 0; // results handed to the document
    bool cancelled = false;
    bool stopping = false;
};
