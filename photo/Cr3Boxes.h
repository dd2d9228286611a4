#pragma once

#include <cstdint>

class ExifByteSource;

// Where a Canon .CR3 file (ISO-BMFF, ftyp major brand "crx ") keeps what the program reads. Every
// box: size (4, big-endian, the whole box; 1: a 64-bit size follows the type; 0: to the end of its
// parent) | type (4) | for type "uuid", a 16-byte uuid | payload.
//   moov > uuid 85c0b687-820f-11e0-8111-f4ce462b6a48 > CMT1: a TIFF block whose IFD0 is the
//          photo's IFD0; CMT2: a TIFF block whose IFD0 is the Exif directory; THMB: version (1) |
//          flags (3) | width (2) | height (2) | JPEG length (4) | 4 bytes | the 160 x 120 JPEG.
//   uuid eaf42b5e-1c98-4b88-b9fb-b7dc406e4d16 (top level) | 8 bytes | PRVW box: 4 bytes | 2 bytes |
//          width (2) | height (2) | 2 bytes | JPEG length (4) | the 1620 x 1080 JPEG.
// A part not found has length 0; offsets are file positions of the TIFF header or the JPEG's SOI.
struct Cr3Boxes {
    uint64_t cmt1Offset = 0, cmt1Length = 0;
    uint64_t cmt2Offset = 0, cmt2Length = 0;
    uint64_t thumbnailOffset = 0, thumbnailLength = 0;
    uint64_t previewOffset = 0, previewLength = 0;
};

// Walks the top-level boxes and the two uuid boxes above through the source's checked read; false
// when the file is no ISO-BMFF file of brand "crx " or holds none of the four parts.
bool FindCr3Boxes(const ExifByteSource& file, Cr3Boxes& boxes);
