#include "photo/FileBytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd; }

private:
    int fd;
};

// Fresh pages for size bytes, or nullptr. Huge pages where the kernel gives them on request: a
// 2 MiB page is faulted and zeroed at once instead of 512 times.
uint8_t* MapPages(size_t size) {
    void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return nullptr;
    }
    ::madvise(mapped, size, MADV_HUGEPAGE); // advice only: refused, the pages are ordinary ones
    return static_cast<uint8_t*>(mapped);
}

// The reused mapping of a thread inside a ReuseScope.
struct Scratch {
    bool active = false;   // a ReuseScope lives on this thread
    bool inUse = false;    // a FileBytes holds the mapping now
    bool orphaned = false; // the scope ended while a FileBytes held it: that one unmaps it
    uint8_t* bytes = nullptr;
    size_t capacity = 0;

    void Unmap() {
        if (bytes != nullptr) {
            ::munmap(bytes, capacity);
        }
        bytes = nullptr;
        capacity = 0;
    }
};

thread_local Scratch scratch;

} // namespace

FileBytes::ReuseScope::ReuseScope() {
    scratch.active = true;
}

FileBytes::ReuseScope::~ReuseScope() {
    scratch.active = false;
    if (scratch.inUse) {
        scratch.orphaned = true;
        return;
    }
    scratch.Unmap();
}

FileBytes::~FileBytes() {
    Release();
}

void FileBytes::Release() {
    if (borrowed) {
        scratch.inUse = false;
        if (scratch.orphaned) {
            scratch.orphaned = false;
            scratch.Unmap();
        }
    } else if (bytes != nullptr) {
        ::munmap(bytes, capacity);
    }
    bytes = nullptr;
    capacity = 0;
    length = 0;
    borrowed = false;
}

bool FileBytes::Read(const std::string& path) {
    Release();
    // Without O_NONBLOCK, opening a named pipe waits for a writer that may never come; for a
    // regular file the flag changes nothing.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size < 4 || status.st_size > kMaxBytes) {
        return false;
    }
    const size_t expected = static_cast<size_t>(status.st_size);
    if (scratch.active && !scratch.inUse) {
        if (scratch.capacity < expected) {
            scratch.Unmap();
            scratch.bytes = MapPages(expected);
            scratch.capacity = scratch.bytes != nullptr ? expected : 0;
        }
        if (scratch.bytes != nullptr) {
            scratch.inUse = true;
            borrowed = true;
            bytes = scratch.bytes;
            capacity = scratch.capacity;
        }
    }
    if (bytes == nullptr) {
        bytes = MapPages(expected);
        if (bytes == nullptr) {
            return false;
        }
        capacity = expected;
    }
    size_t done = 0;
    while (done < expected) {
        const ssize_t got = ::read(file.get(), bytes + done, expected - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            Release(); // shrunk while being read, or an I/O error
            return false;
        }
        done += static_cast<size_t>(got);
    }
    length = done;
    return true;
}
