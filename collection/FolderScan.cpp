#include "collection/FolderScan.h"

#include "collection/CsvExport.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <string>
#include <string_view>
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

bool MatchesOtherKind(const std::string& name) {
    const std::string upper = UpperCaseAscii(name);
    for (const std::string_view suffix : kOtherPhotoSuffixes) {
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
        // Sort key first: the upper-cased path orders the import; the real path is what opens.
        // Each path is encoded once, not at every comparison.
        std::vector<std::pair<std::u16string, std::string>> found;
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
            const std::string name = entry.path().filename().string();
            if (!MatchesJpegPattern(name) && !(otherKinds && MatchesOtherKind(name))) {
                continue;
            }
            // Follows symbolic links; directories, broken links, devices and pipes are left out
            // (a pipe would block the loader's open).
            std::error_code typeError;
            if (!entry.is_regular_file(typeError) || typeError) {
                continue;
            }
            std::string path = entry.path().string();
            std::u16string key = SortKey(UpperCaseAscii(path));
            found.emplace_back(std::move(key), std::move(path));
        }
        // Names that differ only in case (possible here), or only in characters code page 932
        // lacks, keep a fixed order: by their bytes. Real paths are unique, so the order is total.
        std::sort(found.begin(), found.end());
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
