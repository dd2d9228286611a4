// libFuzzer entry for the EXIF reader: any bytes as a whole JPEG file. Besides the sanitizers, the
// reader's own limits are checked, and the copy and lookup paths are run on what was read.

#include "fuzz/FuzzChecks.h"
#include "photo/CExifAnalize.h"

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
    return 0;
}
