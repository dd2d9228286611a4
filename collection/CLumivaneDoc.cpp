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
    selection.erase(photo);
    photos.erase(it);
    return 1;
}

void CLumivaneDoc::RemoveAllPhotos() {
    selection.clear();
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

void CLumivaneDoc::SelectPhotos(const std::vector<PhotoItem*>& picked, bool add) {
    if (!add) {
        selection.clear();
    }
    // Only the collection's own records: a stale pointer would outlive its photo here.
    const std::unordered_set<const PhotoItem*> wanted(picked.begin(), picked.end());
    for (const auto& photo : photos) {
        if (wanted.count(photo.get()) != 0) {
            selection.insert(photo.get());
        }
    }
}

std::vector<PhotoItem*> CLumivaneDoc::SelectedPhotos() const {
    std::vector<PhotoItem*> selected;
    selected.reserve(selection.size());
    for (const auto& photo : photos) {
        if (IsSelected(photo.get())) {
            selected.push_back(photo.get());
        }
    }
    return selected;
}

PhotoItem* CLumivaneDoc::FirstSelected() const {
    if (selection.empty()) {
        return nullptr;
    }
    const auto it = std::find_if(photos.begin(), photos.end(),
                                 [this](const std::unique_ptr<PhotoItem>& p) { return IsSelected(p.get()); });
    return it == photos.end() ? nullptr : it->get();
}

size_t CLumivaneDoc::RemoveSelectedPhotos() {
    const size_t before = photos.size();
    std::erase_if(photos, [this](const std::unique_ptr<PhotoItem>& p) { return IsSelected(p.get()); });
    selection.clear();
    return before - photos.size();
}
