#pragma once

#include <cstdint>
#include <vector>

class ExifByteSource;

// The JPEG preview a TIFF-based raw file (DNG, CR2, NEF, ARW, PEF, ORF, RW2, SRW) carries at a
// plain place: a JPEGInterchangeFormat / JPEGInterchangeFormatLength pair, or a directory of JPEG
// compression (6 or 7) held in a single strip, in IFD0, the directories chained after it (IFD1...)
// and the SubIFDs they list; and the JpgFromRaw field (0x002E) of a Panasonic file's IFD0. Previews
// inside maker notes are not looked for.
struct TiffPreview {
    uint64_t offset = 0;  // file position of the preview's SOI
    uint64_t length = 0;  // bytes
    int32_t width = 0;    // from the preview's own frame header
    int32_t height = 0;
};

// Every such preview that is an 8-bit Huffman-coded JPEG of 1 or 3 components (a DNG's or CR2's
// raw data, lossless JPEG (SOF3) in a strip, is no preview), largest first by pixels, equal ones in
// the order found. Every read goes through the source's checked read.
std::vector<TiffPreview> FindTiffPreviews(const ExifByteSource& file);

// A preview candidate of any raw format: the JPEG of length bytes at offset, inside the file and of
// the kind described above; preview gets its place and its frame header's size.
bool CheckJpegPreview(const ExifByteSource& file, uint64_t offset, uint64_t length, TiffPreview& preview);
void SortLargestFirst(std::vector<TiffPreview>& previews);

// The largest of them; false when there is none.
bool FindTiffPreview(const ExifByteSource& file, TiffPreview& preview);

// The smallest preview of the largest one's shape (width : height within 1 %) that still has
// cover's columns and rows: a camera's 1.6 MP preview serves a thumbnail as well as its 24 MP one
// at a twentieth of the decode. The largest when none is smaller. previews as FindTiffPreviews
// gives them, not empty.
const TiffPreview& SmallestCoveringPreview(const std::vector<TiffPreview>& previews, int32_t coverWidth,
                                           int32_t coverHeight);

// The preview's bytes; false (jpeg empty) when they cannot be read.
bool ReadTiffPreview(const ExifByteSource& file, const TiffPreview& preview, std::vector<uint8_t>& jpeg);
