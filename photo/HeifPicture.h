#pragma once

#include "photo/Rect.h"

#include <opencv2/core/mat.hpp>

#include <cstdint>
#include <string>

class ExifByteSource;

// HEIF / HEIC pictures through libheif, read through the file's ExifByteSource. The picture comes
// out turned and mirrored by the file's own transformation properties (irot, imir) and cropped by
// clap, as libheif applies them; the EXIF orientation of such a file describes the same turn and is
// not applied again.

// What decoding a width x height HEIF picture may take, in bytes: the decoder's YCbCr planes (at
// most 3 bytes a pixel, 4:4:4), libheif's RGB rows and the copy a turn makes (3 each), and our BGR
// rows (3). A picture beyond kJpegDecodeBudget is refused before anything is decoded.
uint64_t HeifDecodeMemory(int64_t width, int64_t height);

// The primary picture in 8-bit BGR. With a box, the picture fitted into it (FittedPictureSize of
// the primary picture's size): from the file's own thumbnail picture when one covers the fit,
// otherwise from the whole picture. Without a box (box.width() == 0), every pixel. False, with out
// empty, when libheif cannot read the file, the picture is beyond the memory budget, or decoding
// fails. Never throws.
bool DecodeHeif(const ExifByteSource& file, const Rect& box, cv::Mat& out);

// True when libheif refuses the file for a picture's size alone (an ispe side beyond 2^31 - 1,
// which no limit lets through): such a file is a picture too large to load, not one without EXIF.
bool HeifSizeBeyondLimits(const std::string& path);
