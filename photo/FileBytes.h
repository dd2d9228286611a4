#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The bytes of one whole file, in pages mapped for it alone, or in the reading thread's reused
// pages while a ReuseScope lives on that thread.
//
// Why pages of their own: a 10 MB buffer taken from the heap for each photo would stay with the
// heap after it is freed, between the thumbnails that outlive it, and a long import would grow by
// a buffer every so often; unmapped pages go back at once. Why reuse: every fresh page costs a
// fault and the zeroing of the page, about 3 ms a megabyte on a virtual machine, which is a
// quarter of a thumbnail's time; a mapping that is reused is faulted once.
class FileBytes {
public:
    // A camera JPEG is 5 to 30 MB. The decoder needs the whole file in memory; a file beyond this is
    // no photo the program can show and is not read.
    static constexpr int64_t kMaxBytes = int64_t{1} << 30;

    // While one lives, the files read on its thread share one mapping that grows to the largest
    // of them; it is unmapped when the scope ends. For threads that read file after file (the
    // import's workers); a thread without one keeps nothing between reads. Scopes do not nest.
    class ReuseScope {
    public:
        ReuseScope();
        ~ReuseScope();
        ReuseScope(const ReuseScope&) = delete;
        ReuseScope& operator=(const ReuseScope&) = delete;
    };

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
    bool borrowed = false; // the bytes are the thread's reused mapping
};
