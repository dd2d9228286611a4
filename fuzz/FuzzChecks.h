#pragma once

// What the fuzzers check on every input besides the sanitizers: the EXIF reader's own limits.

#include "photo/CExifAnalize.h"

#include <cstddef>
#include <string>

namespace kestory::fuzz {

// The longest text the reader keeps: one work buffer.
inline constexpr size_t kMaxText = 8192;

// A failed check is a crash, so libFuzzer keeps the input that broke it.
inline void Check(bool condition) {
    if (!condition)
        __builtin_trap();
}

// A read gives 0 or -1, nothing kept on -1, at most kMaxEntries entries, each from IFD0, the Exif
// or the GPS directory, with its text within the work buffer, its count and free of NULs.
inline void CheckEntries(const CExifAnalize& exif, int result) {
    Check(result == 0 || result == -1);
    Check(result == 0 || exif.Entries().empty());
    Check(exif.Entries().size() <= CExifAnalize::kMaxEntries);
    for (const auto& entry : exif.Entries()) {
        Check(entry->directory >= 0 && entry->directory <= 2);
        Check(entry->text.size() <= kMaxText && entry->text.size() <= entry->count);
        Check(entry->text.find('\0') == std::string::npos);
    }
}

} // namespace kestory::fuzz
