#pragma once

#include "photo/PhotoImage.h"
#include "photo/Rect.h"

#include <cstdint>
#include <string>

// Shrink-on-load for thumbnails. A 27 MP camera JPEG decoded at 1/8 of its size costs a third of
// a full decode (the inverse DCT of each 8 x 8 block collapses to its DC term, and the colour
// conversion and the resize run on 1/64 of the pixels); the entropy decoding is what remains.

// The largest libjpeg DCT scale denominator (8, 4 or 2) at which a width x height picture still
// has at least the rows and columns of its fit into the box (FittedPictureSize); 1 when none does.
int ReducedScaleDenominator(int32_t width, int32_t height, const Rect& box);

// Decodes an 8-bit JPEG at ReducedScaleDenominator and area-resizes it to exactly
// FittedPictureSize of the full width and height, so the thumbnail has the size a full decode
// would give it, to the pixel. Grey stays one channel, colour (CMYK included) is three (BGR), as
// DecodeJpeg gives them. False, with the holder empty, for anything else: no file, not a JPEG, no
// reduced scale that serves, another precision, a header libjpeg reads differently from the frame
// header, or a decoding error. Never throws.
bool LoadReducedThumbnail(const std::string& path, const Rect& box, PhotoImage& holder);

// The picture of a thumbnail-mode load, fitted into the box: the reduced decode where it serves,
// otherwise the full decode of LoadPicture then FitPicture, from one read of the file. HEIF files
// and TIFF-based raw files go through DecodeOtherContainer. False, with the holder empty, when the
// file is missing or cannot be decoded or fitted. Never throws. embeddedSide above 0: a JPEG photo's
// picture comes from an embedded one where one covers a side x side square (LoadEmbeddedThumbnail).
bool LoadThumbnailPicture(const std::string& path, const Rect& box, PhotoImage& holder, int32_t embeddedSide = 0);

// The same for JPEG bytes in memory (a raw file's preview among them).
bool DecodeJpegThumbnail(const uint8_t* data, size_t size, const Rect& box, PhotoImage& holder);

// The picture of a file that is no JPEG, told by its content: a HEIF file's primary picture
// (DecodeHeif) or a TIFF-based raw file's JPEG preview, fitted into the box to the size the
// largest preview fits to (decoded from SmallestCoveringPreview), or the largest preview's every
// pixel when the box is empty. 1 decoded; 0 such a file that cannot be
// decoded (holder empty); -1 the file is of another kind (or cannot be opened), which the JPEG
// path takes. Never throws.
int DecodeOtherContainer(const std::string& path, const Rect& box, PhotoImage& holder);
