#include "photo/ThumbnailStore.h"

#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <string_view>

namespace {

// The folder last resolved on this thread inside a FolderStampScope, as given and as resolved.
struct ResolvedFolder {
    bool active = false;
    std::string given;
    std::string resolved;
};
thread_local ResolvedFolder lastFolder;

// realpath rather than std::filesystem::canonical: no exception, no path object per file.
bool Resolve(const std::string& path, std::string& out) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved) {
        return false;
    }
    out = resolved.get();
    return true;
}

} // namespace

FolderStampScope::FolderStampScope() {
    lastFolder = ResolvedFolder{true, {}, {}};
}

FolderStampScope::~FolderStampScope() {
    lastFolder = ResolvedFolder{};
}

bool StampFile(const std::string& path, FileStamp& stamp) {
    // lstat first: a file that is no link is stamped by it alone, and its canonical path is its
    // folder's (resolved once a folder in a scope: realpath reads every component's link) and
    // its name.
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return false;
    }
    const bool link = S_ISLNK(status.st_mode);
    if ((link && ::stat(path.c_str(), &status) != 0) || !S_ISREG(status.st_mode)) {
        return false;
    }
    const size_t slash = path.rfind('/');
    if (!link && lastFolder.active && slash != std::string::npos && slash > 0 && slash + 1 < path.size()) {
        const std::string_view folder(path.data(), slash);
        if (folder != lastFolder.given) {
            std::string resolved;
            if (!Resolve(std::string(folder), resolved)) {
                return false;
            }
            lastFolder.given = folder;
            lastFolder.resolved = std::move(resolved);
        }
        const std::string_view name(path.data() + slash + 1, path.size() - slash - 1);
        if (name != "." && name != "..") {
            stamp.path = lastFolder.resolved == "/" ? "/" : lastFolder.resolved + "/";
            stamp.path += name;
        } else if (!Resolve(path, stamp.path)) {
            return false;
        }
    } else if (!Resolve(path, stamp.path)) {
        return false;
    }
    stamp.size = static_cast<int64_t>(status.st_size);
    stamp.modifiedNs = static_cast<int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
    return true;
}
