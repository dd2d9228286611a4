// libFuzzer entry for the bare-TIFF side of the EXIF reader: any bytes as an EXIF block that
// begins with its TIFF header (what a HEIF Exif item holds), and the same bytes as a whole raw
// file: its EXIF directories and the walk for its JPEG preview. The reader's limits are checked as
// for a JPEG file, and a preview found must lie inside the bytes.

#include "photo/CExifAnalize.h"
#include "photo/ExifByteSource.h"
#include "photo/TiffPreview.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr size_t kMaxText = 8192;  // one work buffer

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

void CheckEntries(const CExifAnalize& exif, int result) {
    Check(result == 0 || result == -1);
    Check(result == 0 || exif.Entries().empty());
    Check(exif.Entries().size() <= CExifAnalize::kMaxEntries);
    for (const auto& entry : exif.Entries()) {
        Check(entry->directory >= 0 && entry->directory <= 2);
        Check(entry->text.size() <= kMaxText && entry->text.size() <= entry->count);
        Check(entry->text.find('\0') == std::string::npos);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CExifAnalize block;
    CheckEntries(block, block.ReadTiffBlock(data, size));
    int32_t a = 0, b = 0;
    block.GetExposureTime(a, b);
    block.GetFNumber(a, b);
    block.GetIsoSpeed(a);
    block.GetOrientation(a);

    CExifAnalize file;
    CheckEntries(file, file.ReadMemory(data, size));

    const ExifByteSource source(data, size);
    const std::vector<TiffPreview> previews = FindTiffPreviews(source);
    for (const TiffPreview& preview : previews) {
        Check(preview.length > 0 && preview.offset <= size && preview.length <= size - preview.offset);
        Check(preview.width > 0 && preview.height > 0);
    }
    if (!previews.empty()) {
        const TiffPreview& chosen = SmallestCoveringPreview(previews, 237, 158);
        Check(chosen.width <= previews.front().width && chosen.height <= previews.front().height);
    }
    return 0;
}
