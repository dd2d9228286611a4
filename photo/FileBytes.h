#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The bytes of one whole file, in pages mapped for it alone. A 10 MB buffer taken from the heap for
// each photo would stay with the heap after it is freed, between the thumbnails that outlive it, and
// a long import would grow by a buffer every so often; unmapped pages go back at once.
class FileBytes {
public:
    // A camera JPEG is 5 to 30 MB. The decoder needs the whole file in memory; a file beyond this is
    // no photo the program can show and is not read.
    static constexpr int64_t kMaxBytes = int64_t{1} << 30;

    FileBytes() = default;
    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    // The whole of a regular file of at least 4 bytes and at most kMaxBytes; false, with nothing
    // held, when it is missing, not a regular file, too large, or cannot be read to its end.
    bool Read(const std::string& path);

    const uint8_t* data() const { return bytes; }
    size_t size() const { return length; }

private:
    void Release();

    uint8_t* bytes = nullptr;
    size_t capacity = 0;
    size_t length = 0;
};
