#pragma once

#include "collection/DisplaySettings.h"
#include "collection/PhotoFilter.h"
#include "collection/PictureSharpener.h"
#include "collection/RawJpegPairs.h"
#include "photo/PhotoItem.h"
#include "photo/PictureCache.h"
#include "photo/ThumbnailStore.h"

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
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

    // Loads the file in thumbnail mode; 1 added at the end (or in place of the file's older
    // record), 0 refused (the user was told why) or already in the collection as it is now (the
    // notifier told the count).
    int AddPhoto(const std::string& path);
    // Each path as given, loaded on a pool of threads (0: one per core) and added in the order of
    // the paths with the refusals told in that order (ParallelImport); the number added.
    int AddPhotos(const std::vector<std::string>& paths, unsigned threads = 0);
    int AddDroppedFiles(const std::vector<std::string>& paths);
    // A photo is charted once. stamp is the file's state taken before its load (FileStamp::path
    // empty when it could not be had: such a file is only ever refused). A file whose canonical
    // path the collection holds with the same size and modification time is left out
    // (kAlreadyLoaded); one of the same path in another state replaces that record's contents in
    // place, where it stands, once it has loaded; one that no longer loads is refused and its
    // record kept.
    static constexpr int kRefused = 0;
    static constexpr int kAccepted = 1;
    static constexpr int kAlreadyLoaded = 2;
    // A result an import gives in place of a PhotoItem::Load result for a file it did not load
    // because KnownFiles showed it in the collection as it is now.
    static constexpr int kNotLoadedKnown = 1;
    // The per-file step of every import, once the file was loaded (result of PhotoItem::Load, or
    // kNotLoadedKnown): 0 appends the photo (or replaces the file's older record) and returns
    // kAccepted; -1 and -2 tell the user why and return kRefused; kAlreadyLoaded as above.
    int AcceptLoad(const std::string& path, int result, std::unique_ptr<PhotoItem> photo,
                   const FileStamp& stamp = {});
    // The stamps of the files in the collection, by canonical path: what an import compares its
    // files with before loading them, on its worker threads. One index, shared read-only with the
    // imports that hold it: the collection's changes are noted and made to it when it is next
    // asked for, in place while nobody else holds it, so an import of one file into a large
    // collection (a watched folder's arrival) costs no copy of it.
    using KnownFiles = std::unordered_map<std::string, FileStamp>;
    std::shared_ptr<const KnownFiles> KnownFileStamps() const;
    // Whether the file, as stamped, stands in the collection in that very state.
    static bool IsKnown(const KnownFiles& known, const FileStamp& stamp);

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
        sharpener.Forget();
        thumbnailStore = store;
        pictures.SetStore(store);
    }
    ThumbnailStore* GetThumbnailStore() const { return thumbnailStore; }
    // The imported photos' thumbnails, made again when a paint, the panel or an output needs one
    // that was dropped. A cache, so a const document's paint may fill it.
    PictureCache& Pictures() const { return pictures; }
    // Where paints ask for the decoded thumbnails of photos they drew from smaller embedded pictures.
    PictureSharpener& Sharpener() const { return sharpener; }
    // The side of the square, in device pixels, a photo is drawn into at the current settings when
    // embedded pictures are to be used (what an import's embedded pictures must cover); 0 when
    // every thumbnail is to be decoded. pixelRatio: device pixels per view pixel of the screen.
    int32_t EmbeddedPictureSide() const;
    double pixelRatio = 1.0;
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
    // Takes the record out of the file index; the record itself stays where it is.
    void Forget(const PhotoItem* photo);
    // The file's stamp in the collection changed (removed: it left it), for the shared index.
    void NoteKnown(const FileStamp& stamp, bool removed) noexcept;
    void ReplaceInPlace(PhotoItem& old, const PhotoItem& loaded);

    Notifier& notifier;
    RawCompanions rawCompanions;
    ThumbnailStore* thumbnailStore = nullptr;
    mutable PictureCache pictures;
    // After the cache it fills, so it stops first.
    mutable PictureSharpener sharpener{pictures};
    std::vector<std::unique_ptr<PhotoItem>> photos;
    std::unordered_set<const PhotoItem*> selection;
    // Beside photos, index for index.
    PhotoFilter filter;
    std::vector<FilterKeys> filterKeys;
    std::vector<bool> shown;
    size_t shownCount = 0;
    uint64_t photoSetVersion = 0;
    // The records that came in through an import, by their files' canonical paths, and back.
    std::unordered_map<std::string, PhotoItem*> byFile;
    std::unordered_map<const PhotoItem*, FileStamp> fileOf;
    // fileOf by path as the last KnownFileStamps gave it, and what changed since, in order; null:
    // made from fileOf when next asked for.
    struct KnownChange {
        FileStamp stamp;
        bool removed;
    };
    mutable std::shared_ptr<KnownFiles> knownIndex;
    mutable std::vector<KnownChange> knownChanges;
};
