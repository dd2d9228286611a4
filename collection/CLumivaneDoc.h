#pragma once

#include "collection/DisplaySettings.h"
#include "collection/PhotoFilter.h"
#include "collection/RawJpegPairs.h"
#include "photo/PhotoItem.h"
#include "photo/PictureCache.h"

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class Notifier;
class ThumbnailStore;

// The one document: the ordered collection of loaded photos and the display settings.
// The collection's order is the drawing order (first drawn first), the hit-test order (last
// first) and the CSV order. Nothing here repaints; callers ask the view themselves.
class CLumivaneDoc {
public:
    explicit CLumivaneDoc(Notifier& notifier);
    ~CLumivaneDoc();
    CLumivaneDoc(const CLumivaneDoc&) = delete;
    CLumivaneDoc& operator=(const CLumivaneDoc&) = delete;

    DisplaySettings settings;

    // Loads the file in thumbnail mode; 1 added at the end, 0 refused (the user was told why).
    int AddPhoto(const std::string& path);
    // Each path as given, loaded on a pool of threads (0: one per core) and added in the order of
    // the paths with the refusals told in that order (ParallelImport); the number added.
    int AddPhotos(const std::vector<std::string>& paths, unsigned threads = 0);
    int AddDroppedFiles(const std::vector<std::string>& paths);
    // The per-file step of every import, once the file was loaded (result of PhotoItem::Load):
    // 0 appends the photo and returns 1; -1 and -2 tell the user why and return 0.
    int AcceptLoad(const std::string& path, int result, std::unique_ptr<PhotoItem> photo);

    void AppendPhoto(std::unique_ptr<PhotoItem> photo);
    // The raw files' names of RAW+JPEG pairs the next imports counted once (PairRawWithJpeg):
    // AcceptLoad notes each in the JPEG's record.
    void NoteRawCompanions(RawCompanions companions) { rawCompanions = std::move(companions); }
    // By identity; 1 removed (the gap closed), 0 when the record is not in the collection.
    int RemovePhoto(const PhotoItem* photo);
    void RemoveAllPhotos();
    void MoveToFirst(const PhotoItem* photo);
    // The topmost shown photo whose drawRect holds the chart point, searching last to first; or null.
    PhotoItem* PhotoAt(int32_t x, int32_t y) const;

    size_t GetCount() const { return photos.size(); }
    PhotoItem& GetAt(size_t index) const { return *photos[index]; }
    const std::vector<std::unique_ptr<PhotoItem>>& Photos() const { return photos; }

    Notifier& GetNotifier() const { return notifier; }

    // The selection: photos picked with a rectangle on the chart, kept by identity, so it outlasts
    // every layout and zoom. A photo leaves it when it leaves the collection.
    // Records not in the collection are ignored; add keeps what was selected before.
    void SelectPhotos(const std::vector<PhotoItem*>& picked, bool add);
    void ClearSelection() { selection.clear(); }
    bool IsSelected(const PhotoItem* photo) const { return selection.count(photo) != 0; }
    size_t SelectedCount() const { return selection.size(); }
    // In collection order.
    std::vector<PhotoItem*> SelectedPhotos() const;
    // The first of the selection in collection order, or null.
    PhotoItem* FirstSelected() const;
    // Every selected photo out of the collection in one pass; the number removed.
    size_t RemoveSelectedPhotos();
    // Where the imports into this document look for thumbnails before decoding, and leave the ones
    // they decode; null (the default): every picture is decoded. Not owned; it must outlive the
    // imports that use it.
    void SetThumbnailStore(ThumbnailStore* store) {
        thumbnailStore = store;
        pictures.SetStore(store);
    }
    ThumbnailStore* GetThumbnailStore() const { return thumbnailStore; }
    // The imported photos' thumbnails, made again when a paint, the panel or an output needs one
    // that was dropped. A cache, so a const document's paint may fill it.
    PictureCache& Pictures() const { return pictures; }
    // The filter: the photos it keeps out are not drawn, hit, printed or written to the CSV file;
    // they keep their places (drawRect), so a change of filter needs a repaint but no layout.
    // Cleared with RemoveAllPhotos, so the next import starts unfiltered.
    const PhotoFilter& Filter() const { return filter; }
    void SetFilter(PhotoFilter newFilter);
    bool IsShown(size_t index) const { return index >= shown.size() || shown[index]; }
    // One flag per photo, in collection order.
    const std::vector<bool>& Shown() const { return shown; }
    size_t ShownCount() const { return shownCount; }
    FilterCounts CountFilterValues() const { return ::CountFilterValues(filterKeys, filter); }
    // What the filter looks at in each photo, in collection order (the statistics count them).
    const std::vector<FilterKeys>& PhotoFilterKeys() const { return filterKeys; }
    // Changes whenever photos come or go: whoever shows counts knows when they are stale.
    uint64_t PhotoSetVersion() const { return photoSetVersion; }

private:
    Notifier& notifier;
    RawCompanions rawCompanions;
    ThumbnailStore* thumbnailStore = nullptr;
    mutable PictureCache pictures;
    std::vector<std::unique_ptr<PhotoItem>> photos;
    std::unordered_set<const PhotoItem*> selection;
    // Beside photos, index for index.
    PhotoFilter filter;
    std::vector<FilterKeys> filterKeys;
    std::vector<bool> shown;
    size_t shownCount = 0;
    uint64_t photoSetVersion = 0;
};
