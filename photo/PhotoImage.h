#pragma once

#include "photo/Rect.h"

#include <opencv2/core/mat.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

// Where a thumbnail's pixels came from: the photo's own picture decoded, or a smaller picture the
// file carries (an EXIF thumbnail, an MPF preview), which may show less detail than the photo.
enum class PictureSource : uint8_t { Decoded = 0, Embedded = 1 };

// An owning holder of one decoded picture. Channel order of a 3-channel picture is blue, green, red.
struct PhotoImage {
    int32_t topDown = 0;  // 1 once loaded from a file: rows stored top row first
    cv::Mat image;        // empty when the holder holds no picture
    PictureSource source = PictureSource::Decoded;
    // The size of the decoded thumbnail this picture stands in for, when it has fewer pixels (an
    // embedded picture): every fit and placement is computed from it, so a photo sits where its
    // decoded thumbnail would. {0, 0}: the picture's own size.
    Size standsFor{};

    bool Empty() const { return image.empty(); }
    void Release() {
        image.release();
        source = PictureSource::Decoded;
        standsFor = {};
    }
    // A deep copy: pictures are never shared between holders.
    PhotoImage Clone() const { return PhotoImage{topDown, image.clone(), source, standsFor}; }
    // The size fits and placements are computed from.
    Size PlacedSize() const {
        return standsFor.width > 0 ? standsFor : Size{image.cols, image.rows};
    }
    // Whether an embedded picture of pixels, standing for a decoded thumbnail of placed, has at
    // least the pixels drawn (or the decoded thumbnail's, when more are drawn than it has).
    static bool PixelsCover(const Size& pixels, const Size& placed, const Size& drawn) {
        return pixels.width >= std::min(drawn.width, placed.width) &&
               pixels.height >= std::min(drawn.height, placed.height);
    }
};

// What a canvas needs to draw a picture straight from its rows: 8 bits per channel, 1 (grey),
// 3 (BGR) or 4 channels (BGR and an alpha that is 255 in every pixel). The rows belong to the picture and stay valid only while it is unchanged.
struct PictureView {
    const uint8_t* rows = nullptr;
    int width = 0;
    int height = 0;
    size_t bytesPerRow = 0;
    int channels = 0;
};

// Loads a JPEG file's pixels in their own colour layout (DecodeJpeg: grey stays grey, colour is
// BGR); false when the file is missing or cannot be decoded (the holder is then empty). Never throws.
bool LoadPicture(const std::string& path, PhotoImage& holder);

// The largest size of the same aspect as width x height that fits the area (integer arithmetic).
Size FitSize(int32_t width, int32_t height, const Rect& area);

// The size FitPicture gives a width x height picture: unchanged when it already has the area's
// exact size, otherwise FitSize with at least one row and one column.
Size FittedPictureSize(int32_t width, int32_t height, const Rect& area);

// Scales the picture (area interpolation) to FitSize of the area; skipped when it already has the
// area's exact size. False on an empty holder.
bool FitPicture(PhotoImage& holder, const Rect& area);

// A copy of the picture fitted into the area (FittedPictureSize) in the layout a canvas draws
// without conversion: 8 bits of blue, green, red and an alpha of 255 per pixel, which is
// QImage::Format_RGB32 in memory on a little-endian machine. 8-bit grey, colour and 4-channel
// pictures are shrunk by an area average (each output pixel the mean of the source area it covers,
// weighted by overlap) and enlarged by OpenCV's area interpolation; grey becomes equal blue, green
// and red, a source alpha is dropped (as a draw always dropped it). Other depths and channel counts
// are fitted as FitPicture does and keep their layout. So every 8-bit 4-channel picture it makes is
// opaque. False on an empty source or a failure, with out empty.
bool MakeDisplayPicture(const PhotoImage& source, const Rect& area, PhotoImage& out);

// Mirrors in place: 0 upside down, 1 left-right, -1 both.
void FlipPicture(PhotoImage& holder, int mode);
void TransposePicture(PhotoImage& holder);

// Turns the picture upright from the EXIF orientation: 3, 6 and 8 only; any other value leaves it.
void CorrectOrientation(PhotoImage& holder, int32_t orientation);
