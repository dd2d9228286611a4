#pragma once

#include <string>
#include <string_view>

// How writing a file for the user ended.
struct OutputFileStatus {
    int result = 0;     // 1 written, 0 failed
    std::string reason; // for a failure, the system's reason ("Permission denied"); empty when written
};

// Puts the bytes into the file at target (bytes as given, not necessarily UTF-8), the one way every
// file written for the user goes:
// - a target that exists must be a regular file the user may write: a directory, FIFO or device,
//   a file without any write permission bit (refused even for root, who would pass access()), or
//   one access(W_OK) refuses, is a failure and stays as it is;
// - a symbolic link is followed to the file it names, which is written; the link stays a link;
// - the bytes go to a temporary file beside that file, which takes the replaced file's permissions
//   (or an ordinary new file's) and is renamed over it, so a failed write leaves the earlier file;
// - where no temporary file can be made there, or it cannot be renamed into place (a folder the
//   user may not write, a sticky folder), the file is truncated and written in place instead.
// Never throws.
OutputFileStatus WriteOutputFile(const std::string& target, std::string_view bytes);
