#include "collection/ParallelImport.h"

#include "collection/CLumivaneDoc.h"
#include "collection/Notifier.h"
#include "photo/FileBytes.h"
#include "photo/PhotoItem.h"
#include "photo/ThumbnailStore.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <utility>

namespace {

unsigned ThreadsFor(unsigned requested) {
    if (requested != 0) {
        return requested;
    }
    return std::max(1U, std::thread::hardware_concurrency());
}

// Resets a flag when the scope ends, however it ends (the notifier may throw).
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag(flag) { flag = true; }
    ~FlagScope() { flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag;
};

} // namespace

ParallelImport::ParallelImport(CLumivaneDoc& doc, unsigned threads, size_t window)
    : doc(doc), threadCount(ThreadsFor(threads)),
      window(window != 0 ? window : 8 * size_t{ThreadsFor(threads)}) {}

ParallelImport::~ParallelImport() {
    StopWorkers();
}

bool ParallelImport::Start(std::vector<std::string> newPaths) {
    if (running) {
        return false;
    }
    StopWorkers();
    paths = std::move(newPaths);
    store = doc.GetThumbnailStore();
    embeddedSide = doc.EmbeddedPictureSide();
    results.clear();
    results.resize(paths.size());
    taken = 0;
    delivered = 0;
    added = 0;
    alreadyLoaded = 0;
    known = doc.KnownFileStamps();
    cancelled = false;
    stopping = false;
    running = true;
    const unsigned wanted = static_cast<unsigned>(std::min<size_t>(threadCount, paths.size()));
    for (unsigned i = 0; i < wanted; ++i) {
        try {
            workers.emplace_back(&ParallelImport::Work, this);
        } catch (const std::system_error&) {
            break; // the ones started carry the load; with none, Step loads inline
        }
    }
    return true;
}

ParallelImport::Slot ParallelImport::Load(const std::string& path) const {
    Slot slot;
    try {
        const bool stamped = StampFile(path, slot.stamp);
        if (stamped && known && CLumivaneDoc::IsKnown(*known, slot.stamp)) {
            slot.result = CLumivaneDoc::kNotLoadedKnown;
            slot.ready = true;
            return slot;
        }
        slot.photo = std::make_unique<PhotoItem>();
        // The stamp taken here serves the cache too: the file is stat'ed once.
        slot.result =
            slot.photo->Load(path, PhotoItem::kModeThumbnail, store, stamped ? &slot.stamp : nullptr, embeddedSide);
    } catch (const std::exception&) {
        // Out of memory while loading: refused like an unreadable file; the import goes on.
        slot.result = -2;
    }
    if (slot.result != 0) {
        slot.photo.reset();
    } else if (!keepPictures) {
        slot.photo->thumbnail.Release();
    }
    slot.ready = true;
    return slot;
}

void ParallelImport::Work() {
    // A worker reads file after file: one mapping for all of them, faulted in once.
    const FileBytes::ReuseScope reuse;
    const FolderStampScope folders;
    for (;;) {
        size_t index = 0;
        {
            std::unique_lock lock(mutex);
            workAllowed.wait(lock, [this] {
                return stopping || cancelled || taken >= paths.size() || taken < delivered + window;
            });
            if (stopping || cancelled || taken >= paths.size()) {
                return;
            }
            index = taken++;
        }
        Slot slot = Load(paths[index]);
        bool awaited = false;
        {
            const std::lock_guard lock(mutex);
            results[index] = std::move(slot);
            // Step waits for the next file in order only: a wake-up for any other is a context
            // switch for nothing, 100,000 times in a large import.
            awaited = index == delivered;
        }
        if (awaited) {
            resultReady.notify_all();
        }
    }
}

bool ParallelImport::Step(std::chrono::milliseconds wait) {
    if (!running) {
        return false;
    }
    if (delivering) {
        return true;
    }
    const FlagScope scope(delivering);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        std::unique_lock lock(mutex);
        if (delivered >= EndLocked()) {
            break;
        }
        if (!results[delivered].ready) {
            if (workers.empty()) {
                // No pool: the next file is loaded here, one per pass.
                const size_t index = taken++;
                lock.unlock();
                Slot slot = Load(paths[index]);
                lock.lock();
                results[index] = std::move(slot);
                continue;
            }
            const bool ready = resultReady.wait_until(
                lock, deadline, [this] { return delivered >= EndLocked() || results[delivered].ready; });
            if (!ready) {
                return true;
            }
            continue;
        }
        // Every result ready in order, taken under one lock.
        batch.clear();
        const size_t first = delivered;
        while (delivered < EndLocked() && results[delivered].ready && batch.size() < kDeliveryBatch) {
            batch.push_back(std::move(results[delivered]));
            ++delivered;
        }
        lock.unlock();
        workAllowed.notify_all();
        for (size_t k = 0; k < batch.size(); ++k) {
            Slot& slot = batch[k];
            const int outcome = doc.AcceptLoad(paths[first + k], slot.result, std::move(slot.photo), slot.stamp);
            if (outcome == CLumivaneDoc::kAlreadyLoaded) {
                ++alreadyLoaded;
            } else {
                added += outcome;
            }
        }
        // Files that keep coming hold the caller no longer than it allowed.
        if (std::chrono::steady_clock::now() >= deadline) {
            return true;
        }
    }
    StopWorkers();
    known.reset(); // the document updates its index in place again
    if (store != nullptr) {
        store->Flush(); // the batched last-use times of this import's hits
    }
    running = false;
    if (alreadyLoaded != 0) {
        doc.GetNotifier().NotifyAlreadyLoaded(alreadyLoaded);
    }
    return false;
}

int ParallelImport::Run() {
    while (Step(std::chrono::hours(24))) {
    }
    return added;
}

void ParallelImport::Cancel() {
    {
        const std::lock_guard lock(mutex);
        cancelled = true;
    }
    workAllowed.notify_all();
    resultReady.notify_all();
}

size_t ParallelImport::Total() const {
    return paths.size();
}

size_t ParallelImport::Delivered() const {
    const std::lock_guard lock(mutex);
    return delivered;
}

bool ParallelImport::Finished() const {
    return !running;
}

bool ParallelImport::Cancelled() const {
    const std::lock_guard lock(mutex);
    return cancelled;
}

void ParallelImport::StopWorkers() {
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    workAllowed.notify_all();
    for (std::thread& worker : workers) {
        worker.join();
    }
    workers.clear();
}
