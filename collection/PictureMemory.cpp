#include "collection/PictureMemory.h"

#include <malloc.h>

void KeepPictureMemory() {
#if defined(__GLIBC__)
    constexpr int kHeapBlockMax = 32 << 20;   // bytes
    constexpr int kFreeHeapKept = 256 << 20;  // bytes
    mallopt(M_MMAP_THRESHOLD, kHeapBlockMax);
    mallopt(M_TRIM_THRESHOLD, kFreeHeapKept);
#endif
}
