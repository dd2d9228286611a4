#pragma once

#include "photo/EmbeddedJpegs.h"
#include "photo/PhotoImage.h"
#include "photo/Rect.h"

#include <cstdint>

class ExifByteSource;

// The part of an embedded picture that shows the photo: all of it when its width : height is the
// photo's within 1 %; the middle of a 4:3 picture letterboxed (or pillarboxed) to it, whose bars
// must then be black (EmbeddedBarsAreBlack); nothing (usable false) for any other shape.
struct EmbeddedCrop {
    bool usable = false;
    bool barred = false;  // the crop leaves bars that must be checked
    Rect area{};          // in the embedded picture's pixels
};
EmbeddedCrop CropEmbeddedPicture(int32_t width, int32_t height, int32_t photoWidth, int32_t photoHeight);

// Whether the picture outside the crop is black: a mean of at most 24 levels (of 255) over every
// pixel and channel there. The bars a camera pads its thumbnail with are black; JPEG ringing
// lifts the pixels next to the photo a little.
bool EmbeddedBarsAreBlack(const cv::Mat& picture, const Rect& area);

// The chart picture of a JPEG photo made from the smallest of its embedded pictures whose crop has
// at least the pixels the chart draws (the photo fitted into a side x side square, at most the
// photo fitted into box, the decoded thumbnail's size) and decodes without any warning. It is
// marked Embedded and stands for the decoded thumbnail's size (FittedPictureSize of the photo into
// box); one larger than that is shrunk to it. Not yet turned by the orientation, like a decoded
// one. False (holder empty) when none serves: the photo is decoded then.
bool MakeEmbeddedThumbnail(const ExifByteSource& file, const JpegPictures& pictures, const Rect& box, int32_t side,
                           PhotoImage& holder);

// The same from the file: false for anything but a JPEG photo with such a picture.
bool LoadEmbeddedThumbnail(const std::string& path, const Rect& box, int32_t side, PhotoImage& holder);
