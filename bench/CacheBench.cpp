// kestory-cache-bench: the import of a folder of photos without the thumbnail cache, then twice
// through a new cache file (the first import fills it, the second reads it, each with a cache
// object of its own as two runs of the program would have), then once more after every file was
// touched. Imports run as the window runs them: ParallelImport, one worker per core.

#include "collection/CLumivaneDoc.h"
#include "collection/FolderScan.h"
#include "collection/Notifier.h"
#include "collection/ThumbnailCache.h"
#include "tools/ToolArgs.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage = "usage: kestory-cache-bench [--] FOLDER\n"
                               "Imports every JPEG directly in FOLDER without the thumbnail cache, twice through a\n"
                               "new cache file, and once more after touching every file (their times change);\n"
                               "prints the times, the second import's share of the first and the hit rates.\n";

class CountingNotifier : public Notifier {
public:
    void Notify(const std::string&, Icon) override { ++refused; }
    int refused = 0;
};

struct Run {
    double seconds = 0;
    int added = 0;
    ThumbnailCache::Counts counts;
};

Run Import(const std::vector<std::string>& paths, const std::string& cacheFile) {
    CountingNotifier notifier;
    CLumivaneDoc doc(notifier);
    Run run;
    {
        ThumbnailCache cache(cacheFile);
        doc.SetThumbnailStore(cacheFile.empty() ? nullptr : &cache);
        const auto start = std::chrono::steady_clock::now();
        run.added = doc.AddPhotos(paths);
        run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        run.counts = cache.GetCounts();
    }
    return run;
}

void Print(const char* what, const Run& run, size_t total) {
    std::printf("%-34s %8.3f s   %d photos", what, run.seconds, run.added);
    if (run.counts.lookups != 0) {
        std::printf("   hits %llu / %llu (%.0f %%)", static_cast<unsigned long long>(run.counts.hits),
                    static_cast<unsigned long long>(total), 100.0 * static_cast<double>(run.counts.hits) / total);
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> operands;
    if (const auto done = kestory::tools::ParseToolArgs(argc, argv, kUsage, 1, 1, operands)) {
        return *done;
    }
    std::vector<std::string> paths;
    ScanFolder(operands[0], paths);
    if (paths.empty()) {
        std::fprintf(stderr, "kestory-cache-bench: no JPEG in %s\n", operands[0].c_str());
        return 1;
    }
    std::string scratch = (fs::temp_directory_path() / "kestory-cache-bench-XXXXXX").string();
    if (mkdtemp(scratch.data()) == nullptr) {
        std::perror("kestory-cache-bench");
        return 1;
    }
    const std::string cacheFile = scratch + "/thumbnails.sqlite";

    // Every import reads the files from the page cache, not from the disk.
    uintmax_t bytes = 0;
    std::vector<char> buffer(1 << 20);
    for (const std::string& path : paths) {
        std::ifstream in(path, std::ios::binary);
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
            bytes += static_cast<uintmax_t>(in.gcount());
        }
    }
    std::printf("%zu photos, %.1f MiB, %u cores\n", paths.size(), static_cast<double>(bytes) / (1 << 20),
                std::thread::hardware_concurrency());

    const Run plain = Import(paths, "");
    Print("import without cache", plain, paths.size());
    const Run first = Import(paths, cacheFile);
    Print("first import, filling the cache", first, paths.size());
    const Run second = Import(paths, cacheFile);
    Print("second import, from the cache", second, paths.size());
    for (const std::string& path : paths) {
        utimensat(AT_FDCWD, path.c_str(), nullptr, 0); // now: every stamp changes
    }
    const Run touched = Import(paths, cacheFile);
    Print("after touching every file", touched, paths.size());

    std::error_code ignored;
    std::printf("second / first: %.4f (1/%.0f); second / without cache: %.4f (1/%.0f); cache file %.1f MiB\n",
                second.seconds / first.seconds, first.seconds / second.seconds, second.seconds / plain.seconds,
                plain.seconds / second.seconds, static_cast<double>(fs::file_size(cacheFile, ignored)) / (1 << 20));
    fs::remove_all(scratch, ignored);
    return 0;
}
