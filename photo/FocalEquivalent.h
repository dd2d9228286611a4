#pragma once

#include <cstdint>

class CExifAnalize;

// The 35 mm equivalent focal length in whole millimetres (halves up), or -1 when the photo does not
// tell it:
// - FocalLengthIn35mmFilm (0xA405, SHORT, 0 = unknown) where the camera wrote it;
// - else FocalLength (0x920A) times 43.27 mm (the diagonal of a 36 x 24 mm frame) over the sensor's
//   diagonal, the sensor's sides being PixelXDimension / PixelYDimension (0xA002 / 0xA003) divided
//   by FocalPlaneXResolution / FocalPlaneYResolution (0xA20E / 0xA20F, pixels per unit), in the
//   unit of FocalPlaneResolutionUnit (0xA210: 2 inch, the default when absent, or 3 centimetre;
//   1 "no unit" and anything else say nothing).
int32_t FocalLength35mm(const CExifAnalize& exif);
