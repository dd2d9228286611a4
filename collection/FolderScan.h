#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// The JPEG files directly inside a folder, in the order the open-folder command imports them.
// list is replaced by the real paths of the regular files (symbolic links to regular files
// included, hidden files included, subfolders not searched) whose names are JPEG names,
// sorted by ComparePaths of their upper-cased paths, paths that compare equal by their real bytes.
// The JPEG names are those ending in one of kJpegSuffixes, in any case.
// Returns their number; 0 for a folder that cannot be read. Never throws.
// With otherKinds, the HEIF and raw files of kOtherPhotoSuffixes are taken besides, by the same
// rules.
int ScanFolder(const std::string& folder, std::vector<std::string>& list, bool otherKinds = false);

// The name endings of JPEG files: cameras write ".JPG", other programs the other three.
inline constexpr const char* kJpegSuffixes[] = {".JPG", ".JPEG", ".JPE", ".JFIF"};

// The name endings of the photos other than JPEG that the reader takes (HEIF, TIFF-based raw), as
// the open dialog's second filter lists them; matched without regard to case.
inline constexpr const char* kOtherPhotoSuffixes[] = {
    ".HEIC", ".HEIF", ".HIF", ".DNG", ".CR2", ".NEF", ".ARW", ".PEF", ".ORF", ".RW2", ".SRW", ".CR3", ".RAF",
    ".CRW",  ".MRW",  ".X3F", ".NRW", ".3FR", ".IIQ", ".ERF", ".MOS", ".DCR", ".KDC", ".SRF", ".SR2"};

// Told the number of folders scanned and of photo files found so far after each folder of a tree
// scan; false stops it.
using FolderTreeProgress = std::function<bool(size_t folders, size_t found)>;

// The JPEG files of a folder and of every folder below it, folder by folder: each folder's own
// files as ScanFolder takes and orders them, then its sub-folders, each with everything below it,
// in ComparePaths order of their upper-cased paths. Links to folders are not followed, so a link
// to an ancestor makes no loop; a folder reached twice (a bind mount) is scanned once. Hidden
// folders (".thumbnails", ".git": names beginning with ".") are left out; hidden files are taken,
// as ScanFolder takes them. A folder below the top that cannot be read is skipped. list is
// replaced; returns the number of paths, or -1 (list empty) when progress asked to stop. Never
// throws.
int ScanFolderTree(const std::string& folder, std::vector<std::string>& list, const FolderTreeProgress& progress = {},
                   bool otherKinds = false);

// -1, 0 or 1: the order of the Japanese system this program comes from, by the paths' code page
// 932 characters: a single-byte character by its byte, a double-byte one by its two-byte code, so
// ASCII (00-7F) comes before half-width katakana (A1-DF) and both before every double-byte
// character (8140 and up); a string that ends first is the smaller. A character code page 932
// lacks counts as "?"; paths whose characters compare equal so are ordered by their UTF-8 bytes.
int ComparePaths(const std::string& a, const std::string& b);

// The path with the ASCII letters a to z upper-cased; every other byte kept, so UTF-8 stays valid.
std::string UpperCaseAscii(std::string path);
