#include "photo/RawPreviews.h"

#include "photo/Cr3Boxes.h"
#include "photo/ExifByteSource.h"
#include "photo/LibRawFile.h"

#include <exception>

namespace {

void Add(const ExifByteSource& file, uint64_t offset, uint64_t length, std::vector<TiffPreview>& found) {
    TiffPreview preview;
    if (length != 0 && CheckJpegPreview(file, offset, length, preview)) {
        found.push_back(preview);
    }
}

} // namespace

bool IsRawContainer(PhotoContainer kind) {
    return kind == PhotoContainer::Tiff || kind == PhotoContainer::Cr3 || kind == PhotoContainer::Raf ||
           kind == PhotoContainer::Mrw || kind == PhotoContainer::OtherRaw;
}

std::vector<TiffPreview> FindRawPreviews(const ExifByteSource& file, PhotoContainer kind, const std::string& path) {
    std::vector<TiffPreview> found;
    try {
        if (kind == PhotoContainer::Tiff) {
            found = FindTiffPreviews(file);
        } else if (kind == PhotoContainer::Cr3) {
            Cr3Boxes boxes;
            if (FindCr3Boxes(file, boxes)) {
                Add(file, boxes.thumbnailOffset, boxes.thumbnailLength, found);
                Add(file, boxes.previewOffset, boxes.previewLength, found);
            }
        } else if (kind == PhotoContainer::Raf) {
            uint64_t offset = 0;
            uint64_t length = 0;
            if (FindRafJpeg(file, offset, length)) {
                Add(file, offset, length, found);
            }
        }
        uint64_t offset = 0;
        uint64_t length = 0;
        if (found.empty() && IsRawContainer(kind) && FindLibRawPreview(path, offset, length)) {
            Add(file, offset, length, found);
        }
        SortLargestFirst(found);
    } catch (const std::exception&) {
        found.clear();
    }
    return found;
}
