// libFuzzer entry for the EXIF reader: any bytes as a whole JPEG file. Besides the sanitizers, the
// reader's own limits are checked, and the copy and lookup paths are run on what was read.

#include "photo/CExifAnalize.h"

#include <cstddef>
#include <cstdint>

namespace {

// The longest text the reader keeps: one work buffer.
constexpr size_t kMaxText = 8192;

void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CExifAnalize exif;
    const int result = exif.ReadMemory(data, size);
    Check(result == 0 || result == -1);
    Check(result == 0 || exif.Entries().empty());
    Check(exif.Entries().size() <= CExifAnalize::kMaxEntries);
    for (const auto& entry : exif.Entries()) {
        Check(entry->directory >= 0 && entry->directory <= 2);
        Check(entry->text.size() <= kMaxText && entry->text.size() <= entry->count);
        Check(entry->text.find('\0') == std::string::npos);
    }

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
