#include "collection/FolderScan.h"

#include "collection/CsvExport.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

template <size_t N>
bool EndsWithOneOf(const std::string& name, const char* const (&suffixes)[N]) {
    const std::string upper = UpperCaseAscii(name);
    for (const std::string_view suffix : suffixes) {
        if (upper.size() >= suffix.size() && upper.compare(upper.size() - suffix.size(), suffix.size(), suffix) == 0) {
            return true;
        }
    }
    return false;
}

bool IsCp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// One code per code page 932 character (lead byte * 256 + trail byte for a double-byte one), so
// that comparing keys compares characters, not bytes: byte by byte, half-width katakana (B1) would
// come after every double-byte character whose lead byte is 81 to 9F.
std::u16string SortKey(const std::string& utf8) {
    std::string bytes;
    // Without a converter on the system: the UTF-8 bytes one by one, the code points' order.
    const bool cp932 = EncodeCp932(utf8, bytes);
    if (!cp932) {
        bytes = utf8;
    }
    std::u16string key;
    key.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (cp932 && IsCp932LeadByte(byte) && i + 1 < bytes.size()) {
            key.push_back(static_cast<char16_t>((byte << 8) | static_cast<unsigned char>(bytes[++i])));
        } else {
            key.push_back(static_cast<char16_t>(byte));
        }
    }
    return key;
}

int Sign(int order) {
    return (order > 0) - (order < 0);
}

// Sort key first: the upper-cased path orders the import; the real path is what opens. Each path
// is encoded once, not at every comparison.
using KeyedPath = std::pair<std::u16string, std::string>;

KeyedPath Keyed(std::string path) {
    std::u16string key = SortKey(UpperCaseAscii(path));
    return {std::move(key), std::move(path)};
}

// Names that differ only in case (possible here), or only in characters code page 932 lacks, keep
// a fixed order: by their bytes. Real paths are unique, so the order is total.
void SortKeyed(std::vector<KeyedPath>& paths) {
    std::sort(paths.begin(), paths.end());
}

// One pass over a folder: the JPEG files ScanFolder takes and, when subfolders is given, the
// folders a tree scan goes down into (no links, no hidden ones). An entry that cannot be read ends
// the listing with what was found before it.
void ListFolder(const std::string& folder, std::vector<KeyedPath>& files, std::vector<KeyedPath>* subfolders,
                bool otherKinds) {
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec);
    if (ec) {
        return;
    }
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) {
            break;
        }
        const fs::directory_entry& entry = *it;
        const std::string name = entry.path().filename().string();
        std::error_code typeError;
        if (EndsWithOneOf(name, kJpegSuffixes) || (otherKinds && EndsWithOneOf(name, kOtherPhotoSuffixes))) {
            // Follows symbolic links; directories, broken links, devices and pipes are left out
            // (a pipe would block the loader's open).
            if (entry.is_regular_file(typeError) && !typeError) {
                files.push_back(Keyed(entry.path().string()));
                continue;
            }
        }
        if (subfolders == nullptr || name.empty() || name.front() == '.') {
            continue;
        }
        // A link is not followed, whatever it points at: a link to an ancestor would never end.
        if (entry.is_symlink(typeError) || typeError) {
            continue;
        }
        if (entry.is_directory(typeError) && !typeError) {
            subfolders->push_back(Keyed(entry.path().string()));
        }
    }
}

void AppendPaths(std::vector<KeyedPath>& sorted, std::vector<std::string>& list) {
    // Grown by half again at least: a tree's folders are appended one after another, and room for
    // just one more folder each time moved every path found before at every folder.
    if (list.capacity() < list.size() + sorted.size()) {
        list.reserve(std::max(list.size() + sorted.size(), list.capacity() + list.capacity() / 2));
    }
    for (auto& item : sorted) {
        list.push_back(std::move(item.second));
    }
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
    const int byKey = SortKey(a).compare(SortKey(b));
    // std::string compares its bytes as unsigned char.
    return Sign(byKey != 0 ? byKey : a.compare(b));
}

int ScanFolder(const std::string& folder, std::vector<std::string>& list, bool otherKinds) {
    list.clear();
    try {
        std::vector<KeyedPath> found;
        ListFolder(folder, found, nullptr, otherKinds);
        SortKeyed(found);
        AppendPaths(found, list);
    } catch (const std::bad_alloc&) {
        list.clear();
        return 0;
    }
    return static_cast<int>(list.size());
}

int ScanFolderTree(const std::string& folder, std::vector<std::string>& list, const FolderTreeProgress& progress,
                   bool otherKinds) {
    list.clear();
    try {
        // Folders still to scan, the next at the back: a folder's sub-folders go on in reverse
        // order, so the first of them, with everything below it, comes before the second.
        std::vector<std::string> pending = {folder};
        // Device and inode of every folder scanned: a bind mount can show a folder inside itself.
        std::set<std::pair<dev_t, ino_t>> scanned;
        while (!pending.empty()) {
            const std::string current = std::move(pending.back());
            pending.pop_back();
            struct stat info {};
            if (stat(current.c_str(), &info) != 0 || !scanned.emplace(info.st_dev, info.st_ino).second) {
                continue;
            }
            std::vector<KeyedPath> files;
            std::vector<KeyedPath> subfolders;
            ListFolder(current, files, &subfolders, otherKinds);
            SortKeyed(files);
            AppendPaths(files, list);
            SortKeyed(subfolders);
            for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) {
                pending.push_back(std::move(it->second));
            }
            if (progress && !progress(scanned.size(), list.size())) {
                list.clear();
                return -1;
            }
        }
    } catch (const std::bad_alloc&) {
        list.clear();
        return 0;
    }
    return static_cast<int>(list.size());
}
