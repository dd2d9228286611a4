#include "photo/ThumbnailStore.h"

#include <sys/stat.h>

#include <cstdlib>
#include <memory>

bool StampFile(const std::string& path, FileStamp& stamp) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    // realpath rather than std::filesystem::canonical: no exception, no path object per file.
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved) {
        return false;
    }
    stamp.path = resolved.get();
    stamp.size = static_cast<int64_t>(status.st_size);
    stamp.modifiedNs = static_cast<int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
    return true;
}
