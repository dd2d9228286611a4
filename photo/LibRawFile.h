#pragma once

#include <cstdint>
#include <string>

// What LibRaw (libraw_r, thread-safe) tells of a raw file, for the formats the program's own walks
// cannot read: previews inside maker notes (Olympus .ORF) or in layouts of their own (.CRW, .MRW,
// .X3F and the rest LibRaw knows), and the exposure of files that keep no TIFF EXIF at all. LibRaw
// only identifies the file; nothing is developed and no preview bytes are read through it.

// Where LibRaw found the file's JPEG preview (file position of its SOI, its length in bytes);
// false when it cannot open the file or the preview is no JPEG.
bool FindLibRawPreview(const std::string& path, uint64_t& offset, uint64_t& length);

class CExifAnalize;

// The exposure LibRaw parsed from the maker's own fields of a file without a TIFF block, as the
// entries a JPEG would hold: Make, Model (IFD0), ExposureTime, FNumber, ISOSpeedRatings and
// DateTimeOriginal (Exif directory), each only when LibRaw has it. Exposure times under a second
// become 1/N with N rounded, longer ones and F-numbers tenths: the precision the cameras' own
// JPEGs write. False, nothing added, when LibRaw cannot open the file.
bool ReadLibRawEntries(const std::string& path, CExifAnalize& exif);
