#include "collection/PictureSharpener.h"

#include <algorithm>
#include <exception>
#include <system_error>

PictureSharpener::PictureSharpener(PictureCache& cache, unsigned threads)
    : pictures(cache), threadCount(threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency())) {}

PictureSharpener::~PictureSharpener() {
    {
        const std::lock_guard lock(mutex);
        stopping = true;
        wanted.clear();
        waiting.clear();
    }
    wake.notify_all();
    for (std::thread& worker : workers) {
        worker.join();
    }
}

void PictureSharpener::SetDone(Done callback) {
    const std::lock_guard lock(mutex);
    done = std::move(callback);
}

void PictureSharpener::Want(const std::string& key, PictureCache::Maker make) {
    {
        const std::lock_guard lock(mutex);
        if (stopping) {
            return;
        }
        const uint64_t asked = ++asks;
        waiting[key] = asked;
        wanted.push_back(Job{key, std::move(make), asked});
        while (workers.size() < threadCount) {
            try {
                workers.emplace_back(&PictureSharpener::Work, this);
            } catch (const std::system_error&) {
                break;
            }
        }
        if (workers.empty()) {
            wanted.pop_back(); // no thread to make it: the small picture stays
            waiting.erase(key);
            return;
        }
    }
    wake.notify_one();
}

void PictureSharpener::Forget() {
    std::unique_lock lock(mutex);
    wanted.clear();
    waiting.clear();
    idle.wait(lock, [this] { return busy == 0; });
}

size_t PictureSharpener::Pending() const {
    const std::lock_guard lock(mutex);
    return waiting.size();
}

void PictureSharpener::Work() {
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || !wanted.empty(); });
        if (stopping) {
            return;
        }
        Job job = std::move(wanted.back());
        wanted.pop_back();
        const auto it = waiting.find(job.key);
        if (it == waiting.end() || it->second != job.asked) {
            continue; // asked for again since: made from the later entry
        }
        ++busy;
        lock.unlock();
        PhotoImage picture;
        bool made = false;
        try {
            made = job.make(pictures.Store(), picture);
        } catch (const std::exception&) {
            made = false;
        }
        if (made) {
            pictures.Put(job.key, std::move(picture));
        }
        lock.lock();
        const auto still = waiting.find(job.key);
        if (still != waiting.end() && still->second == job.asked) {
            waiting.erase(still);
        }
        // Told while still counted as busy, so whoever Forget waits for is no longer called after.
        const Done callback = made ? done : Done{};
        if (callback) {
            lock.unlock();
            callback(job.key);
            lock.lock();
        }
        --busy;
        if (busy == 0) {
            idle.notify_all();
        }
    }
}
