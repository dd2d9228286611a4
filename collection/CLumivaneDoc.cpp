#include "collection/CLumivaneDoc.h"

#include "collection/ImportTexts.h"
#include "collection/Notifier.h"
#include "collection/ParallelImport.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace {

// Load results of PhotoItem::Load.
constexpr int kLoaded = 0;
constexpr int kNoExif = -1;

} // namespace

CLumivaneDoc::CLumivaneDoc(Notifier& notifier) : notifier(notifier) {}

CLumivaneDoc::~CLumivaneDoc() = default;

int CLumivaneDoc::AddPhoto(const std::string& path) {
    int result = -2;
    std::unique_ptr<PhotoItem> photo;
    try {
        photo = std::make_unique<PhotoItem>();
        result = photo->Load(path, PhotoItem::kModeThumbnail, thumbnailStore);
    } catch (const std::exception&) {
        // Out of memory while loading: this file is refused like an unreadable one, and the
        // import goes on with the next.
        result = -2;
    }
    return AcceptLoad(path, result, std::move(photo));
}

int CLumivaneDoc::AcceptLoad(const std::string& path, int result, std::unique_ptr<PhotoItem> photo) {
    if (result == kLoaded && photo) {
        try {
            AppendPhoto(std::move(photo));
            return 1;
        } catch (const std::exception&) {
            result = -2; // no room in the collection: refused like an unreadable file
        }
    }
    photo.reset();
    const std::string_view reason =
        result == kNoExif ? kestory::texts::kRefusedNoExif : kestory::texts::kRefusedLoadFailed;
    notifier.NotifyRefusal(path, path + std::string(reason));
    return 0;
}

int CLumivaneDoc::AddPhotos(const std::vector<std::string>& paths, unsigned threads) {
    ParallelImport import(*this, threads);
    import.Start(paths);
    return import.Run();
}

int CLumivaneDoc::AddDroppedFiles(const std::vector<std::string>& paths) {
    return AddPhotos(paths);
}

void CLumivaneDoc::AppendPhoto(std::unique_ptr<PhotoItem> photo) {
    if (photo) {
        photos.push_back(std::move(photo));
    }
}

int CLumivaneDoc::RemovePhoto(const PhotoItem* photo) {
    if (photo == nullptr) {
        return 0;
    }
    const auto it = std::find_if(photos.begin(), photos.end(),
                                 [photo](const std::unique_ptr<PhotoItem>& p) { return p.get() == photo; });
    if (it == photos.end()) {
        return 0;
    }
    photos.erase(it);
    return 1;
}

void CLumivaneDoc::RemoveAllPhotos() {
    photos.clear();
    photos.shrink_to_fit();
}

void CLumivaneDoc::MoveToFirst(const PhotoItem* photo) {
    const auto it = std::find_if(photos.begin(), photos.end(),
                                 [photo](const std::unique_ptr<PhotoItem>& p) { return p.get() == photo; });
    if (photo == nullptr || it == photos.end()) {
        return;
    }
    std::rotate(photos.begin(), it, it + 1);
}

PhotoItem* CLumivaneDoc::PhotoAt(int32_t x, int32_t y) const {
    for (auto it = photos.rbegin(); it != photos.rend(); ++it) {
        if ((*it)->drawRect.contains(x, y)) {
            return it->get();
        }
    }
    return nullptr;
}
