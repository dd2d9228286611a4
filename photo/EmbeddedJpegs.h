#pragma once

#include "photo/TiffPreview.h"

#include <cstdint>
#include <vector>

class ExifByteSource;

// What a JPEG photo carries besides its own picture: the size its frame header gives, and the
// smaller JPEG pictures stored with it, which a chart picture may be made from without decoding
// the photo: the EXIF thumbnail (IFD1's JPEGInterchangeFormat, typically 160 x 120) and the further
// images of an MPF index (a camera's 640- to 1920-pixel preview).
struct JpegPictures {
    int32_t width = 0;   // the photo's picture, from its frame header; 0 when none was found
    int32_t height = 0;
    std::vector<TiffPreview> embedded;  // file positions; smallest first by pixels
};

// Walks the photo's segments from SOI to its first frame header through the source's checked read.
// Each embedded picture is checked as a raw file's preview is (CheckJpegPreview: inside the file,
// an 8-bit Huffman-coded JPEG of 1 or 3 components). False when the file is no JPEG or its frame
// header is not found before the first scan; a picture without embedded ones is true with none.
bool FindEmbeddedJpegs(const ExifByteSource& file, JpegPictures& out);
