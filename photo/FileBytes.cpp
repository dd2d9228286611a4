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

} // namespace

FileBytes::~FileBytes() {
    Release();
}

void FileBytes::Release() {
    if (bytes != nullptr) {
        ::munmap(bytes, capacity);
    }
    bytes = nullptr;
    capacity = 0;
    length = 0;
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
    void* mapped = ::mmap(nullptr, expected, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return false;
    }
    bytes = static_cast<uint8_t*>(mapped);
    capacity = expected;
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
