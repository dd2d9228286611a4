#include "collection/FolderScan.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

// "*.JPG" as the folder browser's platform matched it: any name, the star matching nothing too,
// ending in ".JPG" without regard to case.
bool MatchesJpegPattern(const std::string& name) {
    static constexpr char kSuffix[] = ".JPG";
    constexpr size_t kLength = sizeof kSuffix - 1;
    if (name.size() < kLength) {
        return false;
    }
    const std::string tail = UpperCaseAscii(name.substr(name.size() - kLength));
    return tail == kSuffix;
}

} // namespace

std::string UpperCaseAscii(std::string path) {
    for (char& c : path) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return path;
}

int ComparePaths(const std::string& a, const std::string& b) {
    // Paths are UTF-8, whose byte order is the order of the code points, so comparing bytes as
    // unsigned puts ASCII first and then every other character in code point order.
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

int ScanFolder(const std::string& folder, std::vector<std::string>& list) {
    list.clear();
    try {
        // Sort key first: the upper-cased path orders the import; the real path is what opens.
        std::vector<std::pair<std::string, std::string>> found;
        std::error_code ec;
        fs::directory_iterator it(fs::path(folder), ec);
        if (ec) {
            return 0;
        }
        for (const fs::directory_iterator end; it != end; it.increment(ec)) {
            if (ec) {
                break;
            }
            const fs::directory_entry& entry = *it;
            if (!MatchesJpegPattern(entry.path().filename().string())) {
                continue;
            }
            // Follows symbolic links; directories, broken links, devices and pipes are left out
            // (a pipe would block the loader's open).
            std::error_code typeError;
            if (!entry.is_regular_file(typeError) || typeError) {
                continue;
            }
            std::string path = entry.path().string();
            std::string key = UpperCaseAscii(path);
            found.emplace_back(std::move(key), std::move(path));
        }
        // Two names that differ only in case (possible here) keep a fixed order: by their bytes.
        std::sort(found.begin(), found.end(), [](const auto& x, const auto& y) {
            const int byKey = ComparePaths(x.first, y.first);
            return byKey != 0 ? byKey < 0 : ComparePaths(x.second, y.second) < 0;
        });
        list.reserve(found.size());
        for (auto& item : found) {
            list.push_back(std::move(item.second));
        }
    } catch (const std::bad_alloc&) {
        list.clear();
        return 0;
    }
    return static_cast<int>(list.size());
}
