#include "collection/RawJpegPairs.h"

#include "collection/FolderScan.h"

#include <filesystem>
#include <new>
#include <string_view>

namespace {

enum class Kind { Other, Jpeg, Raw };

Kind KindOf(const std::string& upperExtension) {
    for (const std::string_view jpeg : {".JPG", ".JPEG", ".JPE", ".JFIF"}) {
        if (upperExtension == jpeg) {
            return Kind::Jpeg;
        }
    }
    for (const std::string_view heif : {".HEIC", ".HEIF", ".HIF"}) {
        if (upperExtension == heif) {
            return Kind::Other;  // a phone's picture, not a camera's raw data
        }
    }
    for (const std::string_view suffix : kOtherPhotoSuffixes) {
        if (upperExtension == suffix) {
            return Kind::Raw;
        }
    }
    return Kind::Other;
}

// Folder and base name, the base upper-cased: "/a/IMG_1234".
std::string ShotKey(const std::filesystem::path& path) {
    return path.parent_path().string() + '/' + UpperCaseAscii(path.stem().string());
}

} // namespace

size_t PairRawWithJpeg(std::vector<std::string>& paths, RawCompanions& companions) {
    try {
        std::unordered_map<std::string, size_t> jpegOfShot;  // key -> index of its first JPEG
        std::vector<Kind> kinds(paths.size());
        std::vector<std::string> keys(paths.size());
        for (size_t i = 0; i < paths.size(); ++i) {
            const std::filesystem::path path(paths[i]);
            kinds[i] = KindOf(UpperCaseAscii(path.extension().string()));
            if (kinds[i] != Kind::Other) {
                keys[i] = ShotKey(path);
            }
            if (kinds[i] == Kind::Jpeg) {
                jpegOfShot.emplace(keys[i], i);
            }
        }
        RawCompanions noted = companions;
        std::vector<std::string> kept;
        kept.reserve(paths.size());
        size_t left = 0;
        for (size_t i = 0; i < paths.size(); ++i) {
            const auto jpeg = kinds[i] == Kind::Raw ? jpegOfShot.find(keys[i]) : jpegOfShot.end();
            if (jpeg == jpegOfShot.end()) {
                kept.push_back(paths[i]);
                continue;
            }
            std::string& note = noted[paths[jpeg->second]];
            note += (note.empty() ? "" : ", ") + std::filesystem::path(paths[i]).filename().string();
            ++left;
        }
        paths.swap(kept);
        companions.swap(noted);
        return left;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
