#include "photo/ThumbnailDecode.h"

#include "photo/JpegFrame.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <turbojpeg.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <memory>

namespace {

// A camera JPEG is 5 to 30 MB; the whole file is held while it is decoded. Anything larger goes
// the streaming full path rather than into one allocation of its size.
constexpr off_t kMaxFileBytes = off_t{256} << 20;
// OpenCV's own limit on a decoded picture (CV_IO_MAX_IMAGE_PIXELS); a header claiming more is
// left to the full path, which refuses it, rather than decoded at a reduced scale here.
constexpr int64_t kMaxPixels = int64_t{1} << 30;

// The bytes of one file, in pages mapped for it alone. A 10 MB buffer taken from the heap for
// each photo would stay with the heap after it is freed, between the thumbnails that outlive it,
// and a long import would grow by a buffer every so often; an unmapped buffer goes back at once.
class FileBytes {
public:
    FileBytes() = default;
    ~FileBytes() {
        if (bytes != nullptr) {
            ::munmap(bytes, capacity);
        }
    }
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    bool Allocate(size_t size) {
        void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) {
            return false;
        }
        bytes = static_cast<uint8_t*>(mapped);
        capacity = size;
        return true;
    }
    uint8_t* data() const { return bytes; }
    size_t size() const { return length; }
    void SetSize(size_t size) { length = size; }

private:
    uint8_t* bytes = nullptr;
    size_t capacity = 0;
    size_t length = 0;
};

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

// The whole of a regular file into `bytes`; false when it cannot be read or is too large.
bool ReadWholeFile(const std::string& path, FileBytes& bytes) {
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size < 4 || status.st_size > kMaxFileBytes) {
        return false;
    }
    const size_t expected = static_cast<size_t>(status.st_size);
    if (!bytes.Allocate(expected)) {
        return false;
    }
    size_t done = 0;
    while (done < expected) {
        const ssize_t got = ::read(file.get(), bytes.data() + done, expected - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false; // shrunk while being read, or an I/O error
        }
        done += static_cast<size_t>(got);
    }
    bytes.SetSize(done);
    return true;
}

struct DecompressorDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using Decompressor = std::unique_ptr<void, DecompressorDeleter>;

// libjpeg's scaled size: the dimension times 1/denominator, rounded up (TJSCALED).
int32_t Scaled(int32_t dimension, int denominator) {
    return (dimension + denominator - 1) / denominator;
}

bool DecodeReduced(const FileBytes& file, const Rect& box, cv::Mat& out) {
    JpegFrame frame;
    if (!ReadJpegFrame(file.data(), file.size(), frame) || frame.precision != 8 ||
        (frame.components != 1 && frame.components != 3) || frame.width == 0 || frame.height == 0 ||
        int64_t{frame.width} * frame.height > kMaxPixels) {
        return false;
    }
    const int denominator = ReducedScaleDenominator(frame.width, frame.height, box);
    if (denominator == 1) {
        return false;
    }
    const Decompressor decompressor(tjInitDecompress());
    if (!decompressor) {
        return false;
    }
    // libjpeg reads the header itself; it must see the picture this reader saw, or the scale and
    // the buffer size below would not be the ones it decodes to.
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourSpace = 0;
    if (tjDecompressHeader3(decompressor.get(), file.data(), file.size(), &width, &height, &subsampling,
                            &colourSpace) != 0 ||
        width != frame.width || height != frame.height) {
        return false;
    }
    int pixelFormat = 0;
    int matType = 0;
    if (colourSpace == TJCS_GRAY && frame.components == 1) {
        pixelFormat = TJPF_GRAY;
        matType = CV_8UC1;
    } else if ((colourSpace == TJCS_YCbCr || colourSpace == TJCS_RGB) && frame.components == 3) {
        pixelFormat = TJPF_BGR;
        matType = CV_8UC3;
    } else {
        return false;
    }

    const cv::Mat reduced(Scaled(height, denominator), Scaled(width, denominator), matType);
    // Asked for exactly the 1/denominator size, the decompressor picks that scale. A warning
    // (a truncated or slightly corrupt stream) still leaves a whole picture, grey where data was
    // missing, as the full decoder gives it; only an error refuses it.
    if (tjDecompress2(decompressor.get(), file.data(), file.size(), reduced.data, reduced.cols,
                      static_cast<int>(reduced.step[0]), reduced.rows, pixelFormat, 0) != 0 &&
        tjGetErrorCode(decompressor.get()) != TJERR_WARNING) {
        return false;
    }
    const Size fitted = FittedPictureSize(width, height, box);
    cv::resize(reduced, out, cv::Size(fitted.width, fitted.height), 0, 0, cv::INTER_AREA);
    return true;
}

} // namespace

int ReducedScaleDenominator(int32_t width, int32_t height, const Rect& box) {
    if (width <= 0 || height <= 0) {
        return 1;
    }
    const Size fitted = FittedPictureSize(width, height, box);
    for (const int denominator : {8, 4, 2}) {
        if (Scaled(width, denominator) >= fitted.width && Scaled(height, denominator) >= fitted.height) {
            return denominator;
        }
    }
    return 1;
}

bool LoadReducedThumbnail(const std::string& path, const Rect& box, PhotoImage& holder) {
    holder.Release();
    try {
        FileBytes file;
        if (!ReadWholeFile(path, file)) {
            return false;
        }
        cv::Mat picture;
        if (!DecodeReduced(file, box, picture)) {
            return false;
        }
        holder.image = picture;
        holder.topDown = 1;
        return true;
    } catch (const std::exception&) {
        // Out of memory, or OpenCV refusing the resize: the full path gets its chance.
        holder.Release();
        return false;
    }
}

bool LoadThumbnailPicture(const std::string& path, const Rect& box, PhotoImage& holder) {
    if (LoadReducedThumbnail(path, box, holder)) {
        return true;
    }
    if (!LoadPicture(path, holder)) {
        return false;
    }
    FitPicture(holder, box);
    return true;
}
