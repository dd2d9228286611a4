#include "collection/CLumivaneDoc.h"

#include "collection/ImportTexts.h"
#include "collection/Notifier.h"
#include "collection/ParallelImport.h"

#include <algorithm>
#include <cmath>
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
    FileStamp stamp;
    StampFile(path, stamp);
    const int outcome = AcceptLoad(path, kNotLoadedKnown, nullptr, stamp);
    if (outcome == kAlreadyLoaded) {
        notifier.NotifyAlreadyLoaded(1);
        return 0;
    }
    return outcome;
}

int CLumivaneDoc::AcceptLoad(const std::string& path, int result, std::unique_ptr<PhotoItem> photo,
                             const FileStamp& stamp) {
    PhotoItem* existing = nullptr;
    if (const auto it = stamp.path.empty() ? byFile.end() : byFile.find(stamp.path); it != byFile.end()) {
        existing = it->second;
        const FileStamp& had = fileOf.at(existing);
        if (had.size == stamp.size && had.modifiedNs == stamp.modifiedNs) {
            return kAlreadyLoaded;
        }
    }
    if (result == kNotLoadedKnown) {
        // Not in the collection as it is now after all: loaded here.
        try {
            photo = std::make_unique<PhotoItem>();
            result = photo->Load(path, PhotoItem::kModeThumbnail, thumbnailStore, stamp.path.empty() ? nullptr : &stamp,
                                 EmbeddedPictureSide());
        } catch (const std::exception&) {
            // Out of memory while loading: this file is refused like an unreadable one, and the
            // import goes on with the next.
            result = -2;
        }
    }
    if (result == kLoaded && photo) {
        try {
            // The collection keeps no pixels: they come back through the cache when drawn.
            photo->GiveThumbnailTo(pictures);
            if (const auto raw = rawCompanions.find(path); raw != rawCompanions.end()) {
                photo->rawCompanion = raw->second;
            }
            if (existing != nullptr) {
                ReplaceInPlace(*existing, *photo);
                FileStamp& had = fileOf.at(existing);
                had.size = stamp.size;
                had.modifiedNs = stamp.modifiedNs;
                NoteKnown(had, false);
                return kAccepted;
            }
            PhotoItem* added = photo.get();
            AppendPhoto(std::move(photo));
            if (!stamp.path.empty()) {
                try {
                    byFile[stamp.path] = added;
                    fileOf[added] = stamp;
                    NoteKnown(stamp, false);
                } catch (const std::exception&) {
                    // Charted all the same, only not known to the next import.
                    byFile.erase(stamp.path);
                    fileOf.erase(added);
                }
            }
            return kAccepted;
        } catch (const std::exception&) {
            result = -2; // no room in the collection: refused like an unreadable file
        }
    }
    photo.reset();
    const std::string_view reason =
        result == kNoExif ? kestory::texts::kRefusedNoExif : kestory::texts::kRefusedLoadFailed;
    notifier.NotifyRefusal(path, path + std::string(reason));
    return kRefused;
}

std::shared_ptr<const CLumivaneDoc::KnownFiles> CLumivaneDoc::KnownFileStamps() const {
    if (!knownIndex) {
        auto known = std::make_shared<KnownFiles>();
        known->reserve(fileOf.size());
        for (const auto& [photo, stamp] : fileOf) {
            known->emplace(stamp.path, stamp);
        }
        knownIndex = std::move(known);
        knownChanges.clear();
        return knownIndex;
    }
    if (!knownChanges.empty()) {
        if (knownIndex.use_count() > 1) {
            knownIndex = std::make_shared<KnownFiles>(*knownIndex); // an import still reads the old one
        }
        for (const KnownChange& change : knownChanges) {
            if (change.removed) {
                knownIndex->erase(change.stamp.path);
            } else {
                (*knownIndex)[change.stamp.path] = change.stamp;
            }
        }
        knownChanges.clear();
    }
    return knownIndex;
}

void CLumivaneDoc::NoteKnown(const FileStamp& stamp, bool removed) noexcept {
    if (!knownIndex) {
        return;
    }
    // More changes than files: making the index anew is the cheaper way.
    if (knownChanges.size() <= std::max<size_t>(fileOf.size(), 1024)) {
        try {
            knownChanges.push_back({stamp, removed});
            return;
        } catch (const std::exception&) {
            // no room to note it: the index is made anew
        }
    }
    knownIndex.reset();
    knownChanges.clear();
}

bool CLumivaneDoc::IsKnown(const KnownFiles& known, const FileStamp& stamp) {
    const auto it = stamp.path.empty() ? known.end() : known.find(stamp.path);
    return it != known.end() && it->second.size == stamp.size && it->second.modifiedNs == stamp.modifiedNs;
}

void CLumivaneDoc::Forget(const PhotoItem* photo) {
    const auto it = fileOf.find(photo);
    if (it == fileOf.end()) {
        return;
    }
    if (const auto entry = byFile.find(it->second.path); entry != byFile.end() && entry->second == photo) {
        byFile.erase(entry);
    }
    NoteKnown(it->second, true);
    fileOf.erase(it);
}

void CLumivaneDoc::ReplaceInPlace(PhotoItem& old, const PhotoItem& loaded) {
    const auto it = std::find_if(photos.begin(), photos.end(),
                                 [&old](const std::unique_ptr<PhotoItem>& p) { return p.get() == &old; });
    const auto index = static_cast<size_t>(it - photos.begin());
    FilterKeys keys = FilterKeysOf(loaded);
    // The same record, so the information panel's and the selection's references stay good; it
    // gets its place on the chart at the layout that follows every import.
    old = loaded;
    filterKeys[index] = std::move(keys);
    const bool passes = filter.Passes(filterKeys[index]);
    shownCount -= shown[index] ? 1 : 0;
    shownCount += passes ? 1 : 0;
    shown[index] = passes;
    if (!passes) {
        selection.erase(&old);
    }
    ++photoSetVersion;
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
        // Room in all three first: a full memory leaves the collection as it was. Grown by half
        // again when full, as push_back would: reserving one more each time moved every element
        // at every append, quadratic in the collection (a 100,000-photo import spent most of its
        // time, in the kernel, faulting in the fresh copies).
        const auto makeRoom = [](auto& v) {
            if (v.size() == v.capacity()) {
                v.reserve(std::max<size_t>(16, v.capacity() + v.capacity() / 2));
            }
        };
        makeRoom(photos);
        makeRoom(filterKeys);
        makeRoom(shown);
        FilterKeys keys = FilterKeysOf(*photo);
        const bool passes = filter.Passes(keys);
        photos.push_back(std::move(photo));
        filterKeys.push_back(std::move(keys));
        shown.push_back(passes);
        shownCount += passes ? 1 : 0;
        ++photoSetVersion;
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
    Forget(photo);
    const auto index = it - photos.begin();
    photos.erase(it);
    shownCount -= shown[static_cast<size_t>(index)] ? 1 : 0;
    filterKeys.erase(filterKeys.begin() + index);
    shown.erase(shown.begin() + index);
    ++photoSetVersion;
    return 1;
}

int32_t CLumivaneDoc::EmbeddedPictureSide() const {
    if (!settings.useEmbedded) {
        return 0;
    }
    // The cell's side in view pixels, as the layout scales it, then in device pixels.
    const int64_t side = int64_t{settings.sizePict} * settings.magnify / 100;
    const double ratio = pixelRatio >= 1.0 && pixelRatio <= 8.0 ? pixelRatio : 1.0;
    return static_cast<int32_t>(std::clamp<double>(std::ceil(static_cast<double>(side) * ratio), 1, 1 << 16));
}

void CLumivaneDoc::RemoveAllPhotos() {
    selection.clear();
    byFile.clear();
    fileOf.clear();
    knownIndex.reset();
    knownChanges.clear();
    photos.clear();
    photos.shrink_to_fit();
    sharpener.Forget();
    pictures.Clear();
    filterKeys = {};
    shown = {};
    shownCount = 0;
    filter = PhotoFilter();
    ++photoSetVersion;
}

void CLumivaneDoc::MoveToFirst(const PhotoItem* photo) {
    const auto it = std::find_if(photos.begin(), photos.end(),
                                 [photo](const std::unique_ptr<PhotoItem>& p) { return p.get() == photo; });
    if (photo == nullptr || it == photos.end()) {
        return;
    }
    const auto index = it - photos.begin();
    std::rotate(photos.begin(), it, it + 1);
    std::rotate(filterKeys.begin(), filterKeys.begin() + index, filterKeys.begin() + index + 1);
    std::rotate(shown.begin(), shown.begin() + index, shown.begin() + index + 1);
}

PhotoItem* CLumivaneDoc::PhotoAt(int32_t x, int32_t y) const {
    for (size_t i = photos.size(); i-- > 0;) {
        if (IsShown(i) && photos[i]->drawRect.contains(x, y)) {
            return photos[i].get();
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
    // One pass that keeps the filter's per-photo vectors beside the photos, index for index.
    size_t kept = 0;
    for (size_t i = 0; i < photos.size(); ++i) {
        if (IsSelected(photos[i].get())) {
            shownCount -= shown[i] ? 1 : 0;
            Forget(photos[i].get());
            continue;
        }
        if (kept != i) {
            photos[kept] = std::move(photos[i]);
            filterKeys[kept] = std::move(filterKeys[i]);
            shown[kept] = shown[i];
        }
        ++kept;
    }
    const size_t removed = photos.size() - kept;
    photos.resize(kept);
    filterKeys.resize(kept);
    shown.resize(kept);
    selection.clear();
    if (removed != 0) {
        ++photoSetVersion;
    }
    return removed;
}

void CLumivaneDoc::SetFilter(PhotoFilter newFilter) {
    filter = std::move(newFilter);
    shownCount = 0;
    for (size_t i = 0; i < filterKeys.size(); ++i) {
        const bool passes = filter.Passes(filterKeys[i]);
        shown[i] = passes;
        shownCount += passes ? 1 : 0;
        if (!passes) {
            selection.erase(photos[i].get()); // what is not drawn cannot stay picked
        }
    }
}
