#include "photo/ExifByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

ExifByteSource::ExifByteSource(const uint8_t* data, size_t size) : memory(data), length(size) {}

ExifByteSource::ExifByteSource(const ExifByteSource& whole, uint64_t offset, uint64_t size)
    : outer(&whole), outerOffset(offset),
      length(offset <= whole.Length() ? std::min(size, whole.Length() - offset) : 0) {}

ExifByteSource::~ExifByteSource() {
    if (fd >= 0)
        ::close(fd);
}

bool ExifByteSource::Open(const std::string& path, size_t headSize) {
    // A dropped named pipe must be refused, not waited on: without O_NONBLOCK the open blocks until
    // a writer comes. For a regular file the flag changes nothing.
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        fd = -1;
        return false;
    }
    length = static_cast<uint64_t>(info.st_size);
    head.resize(static_cast<size_t>(std::min<uint64_t>(length, headSize)));
    size_t got = 0;
    while (got < head.size()) {
        const ssize_t n = ::pread(fd, head.data() + got, head.size() - got, static_cast<off_t>(got));
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    head.resize(got);
    return true;
}

bool ExifByteSource::ReadAt(uint64_t position, size_t size, uint8_t* out) const {
    if (position > length || size > length - position)
        return false;
    // Nothing to copy (an empty buffer's out may be null, which no copy may be handed).
    if (size == 0)
        return true;
    if (recorded != nullptr)
        recorded->emplace_back(position, size);
    if (outer != nullptr)
        return outer->ReadAt(outerOffset + position, size, out);
    if (memory != nullptr) {
        std::memcpy(out, memory + position, size);
        return true;
    }
    if (position + size <= head.size()) {
        std::memcpy(out, head.data() + position, size);
        return true;
    }
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, out + got, size - got, static_cast<off_t>(position + got));
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
}
