#pragma once

#include <string>
#include <vector>

// The JPEG files directly inside a folder, in the order the open-folder command imports them.
// list is replaced by the real paths of the regular files (symbolic links to regular files
// included, hidden files included, subfolders not searched) whose names end in ".JPG" in any case,
// sorted by ComparePaths of their upper-cased paths. Returns their number; 0 for a folder that
// cannot be read. Never throws.
int ScanFolder(const std::string& folder, std::vector<std::string>& list);

// -1, 0 or 1: byte by byte, each byte as unsigned; a string that ends first is the smaller.
int ComparePaths(const std::string& a, const std::string& b);

// The path with the ASCII letters a to z upper-cased; every other byte kept, so UTF-8 stays valid.
std::string UpperCaseAscii(std::string path);
