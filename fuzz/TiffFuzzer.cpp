// libFuzzer entry for the bare-TIFF side of the EXIF reader: any bytes as an EXIF block that
// begins with its TIFF header (what a HEIF Exif item holds), and the same bytes as a whole raw
// file: its EXIF directories and the walk for its JPEG preview. The reader's limits are checked as
// for a JPEG file, and a preview found must lie inside the bytes.

#include "fuzz/FuzzChecks.h"
#include "photo/CExifAnalize.h"
#include "photo/ExifByteSource.h"
#include "photo/TiffPreview.h"

#include <cstddef>
#include <cstdint>

using kestory::fuzz::Check;
using kestory::fuzz::CheckEntries;

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
