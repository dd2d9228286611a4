#pragma once

#include "photo/PhotoContainer.h"
#include "photo/TiffPreview.h"

#include <string>
#include <vector>

class ExifByteSource;

// Every JPEG preview of a raw file, largest first, as the thumbnail and the viewer choose from them
// (SmallestCoveringPreview), found in one order so that the two never see different lists:
//   TIFF-based files (DNG, CR2, NEF, ARW, PEF, ORF, RW2, SRW, ...): the TIFF walk (FindTiffPreviews);
//   .CR3: its THMB and PRVW boxes (FindCr3Boxes);
//   .RAF: the JPEG the header names at 84;
//   then, only when these found nothing (an .ORF's maker-note preview, .CRW, .MRW, .X3F and what
//   else LibRaw identifies), the one preview LibRaw names.
// Every candidate is read through the file's checked read and must be an 8-bit Huffman-coded JPEG
// (CheckJpegPreview). path is the file the source was opened on, for LibRaw.
std::vector<TiffPreview> FindRawPreviews(const ExifByteSource& file, PhotoContainer kind, const std::string& path);

// Whether a container is a raw file whose pictures are its previews.
bool IsRawContainer(PhotoContainer kind);
