#pragma once

#include <string>
#include <unordered_map>
#include <vector>

// The raw file's name noted for each JPEG that stands for it, keyed by the JPEG's path.
using RawCompanions = std::unordered_map<std::string, std::string>;

// RAW+JPEG counted once: where a raw file (a kOtherPhotoSuffixes name that is no HEIF) and a JPEG
// (".JPG", ".JPEG", ".JPE", ".JFIF") of the same folder and the same base name, without regard to
// ASCII case, are both among the paths, the raw file is left out and its file name noted for the
// JPEG: its picture is the camera's own rendering of the same shot. Two raw files of one shot are
// noted as "A.CR3, A.DNG"; the first of several such JPEGs gets the note. The order of the paths
// is kept. Returns the number of raw files left out. Never throws (on no memory: nothing changes).
size_t PairRawWithJpeg(std::vector<std::string>& paths, RawCompanions& companions);
