#pragma once

// Keeps freed picture memory in the process for the next pictures, once at a program's start.
// glibc hands every allocation above its mmap threshold (128 KiB until a large block has been
// freed) fresh pages from the kernel and returns them on free, so each display picture of a
// zoomed chart (600 KiB at 400 % and 120 px) was faulted in page by page at every layout: the first
// paint after a zoom spent most of its time in the kernel (105 ms for 10,000 photos, 14 ms with
// the memory kept). Blocks up to 32 MiB come from the heap, and up to 256 MiB of freed heap is
// kept; larger pictures (a viewer's full decode) still go back to the system when freed.
void KeepPictureMemory();
