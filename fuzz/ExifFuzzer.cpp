// libFuzzer entry for the EXIF reader: any bytes as a whole JPEG file. Besides the sanitizers, the
// reader's own limits are checked, and the copy and lookup paths are run on what was read. The
// same bytes go through the walk that finds the pictures a JPEG carries (IFD1, MPF).

#include "fuzz/FuzzChecks.h"
#include "photo/CExifAnalize.h"
#include "photo/EmbeddedJpegs.h"
#include "photo/ExifByteSource.h"

#include <cstddef>
#include <cstdint>

using kestory::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CExifAnalize exif;
    kestory::fuzz::CheckEntries(exif, exif.ReadMemory(data, size));

    CExifAnalize copy;
    copy = exif;
    Check(copy.Entries().size() == exif.Entries().size());
    int32_t a = 0, b = 0;
    copy.GetExposureTime(a, b);
    copy.GetFNumber(a, b);
    copy.GetIsoSpeed(a);
    copy.GetOrientation(a);
    copy.Clear();
    exif.Clear();

    const ExifByteSource file(data, size);
    JpegPictures pictures;
    if (FindEmbeddedJpegs(file, pictures)) {
        Check(pictures.width > 0 && pictures.height > 0);
        for (const TiffPreview& picture : pictures.embedded) {
            Check(picture.offset <= size && picture.length <= size - picture.offset);
        }
    }
    return 0;
}
