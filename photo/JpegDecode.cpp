#include "photo/JpegDecode.h"

#include "photo/JpegFrame.h"

#include <opencv2/core.hpp>

#include <turbojpeg.h>

#include <algorithm>
#include <exception>
#include <iterator>
#include <memory>

namespace {

struct DecompressorDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using Decompressor = std::unique_ptr<void, DecompressorDeleter>;

// Four bytes a pixel, C M Y K as the file stores them, to blue, green, red: each ink is weighed
// against K the way OpenCV's JPEG reader does it, value = k - (255 - ink) * k / 256, truncated.
void CmykToBgr(const cv::Mat& cmyk, cv::Mat& bgr) {
    bgr.create(cmyk.rows, cmyk.cols, CV_8UC3);
    for (int y = 0; y < cmyk.rows; ++y) {
        const uint8_t* in = cmyk.ptr<uint8_t>(y);
        uint8_t* out = bgr.ptr<uint8_t>(y);
        for (int x = 0; x < cmyk.cols; ++x, in += 4, out += 3) {
            const int k = in[3];
            const auto ink = [k](int value) { return static_cast<uint8_t>(k - (((255 - value) * k) >> 8)); };
            out[2] = ink(in[0]);
            out[1] = ink(in[1]);
            out[0] = ink(in[2]);
        }
    }
}

bool Decode(const uint8_t* data, size_t size, int denominator, cv::Mat& out, int expectedWidth,
            int expectedHeight, bool strict) {
    if (data == nullptr || size == 0 || size > static_cast<size_t>(UINT32_MAX) ||
        (denominator != 1 && denominator != 2 && denominator != 4 && denominator != 8)) {
        return false;
    }
    const Decompressor decompressor(tjInitDecompress());
    if (!decompressor) {
        return false;
    }
    const auto length = static_cast<unsigned long>(size);
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colourSpace = 0;
    if (tjDecompressHeader3(decompressor.get(), data, length, &width, &height, &subsampling, &colourSpace) != 0 ||
        width <= 0 || height <= 0 || int64_t{width} * height > kMaxJpegPixels) {
        return false;
    }
    if ((expectedWidth != 0 || expectedHeight != 0) && (width != expectedWidth || height != expectedHeight)) {
        return false;
    }
    int pixelFormat = 0;
    int matType = 0;
    switch (colourSpace) {
    case TJCS_GRAY:
        pixelFormat = TJPF_GRAY;
        matType = CV_8UC1;
        break;
    case TJCS_YCbCr:
    case TJCS_RGB:
        pixelFormat = TJPF_BGR;
        matType = CV_8UC3;
        break;
    case TJCS_CMYK:
    case TJCS_YCCK:
        pixelFormat = TJPF_CMYK;
        matType = CV_8UC4;
        break;
    default:
        return false;
    }
    // The cost is counted from our own reading of the headers, which libjpeg's agrees with for every
    // file it decodes cleanly; where it does not (stray bytes between segments libjpeg skips), as
    // if progressive, every component at full resolution: the most a picture of that size costs.
    JpegFrame frame;
    if (!ReadJpegFrame(data, size, frame) || frame.width != width || frame.height != height) {
        frame = JpegFrame{};
        frame.marker = 0xC2;
        frame.width = static_cast<uint16_t>(width);
        frame.height = static_cast<uint16_t>(height);
        frame.components = static_cast<uint8_t>(CV_MAT_CN(matType));
        std::fill(std::begin(frame.sampling), std::end(frame.sampling), uint8_t{0x11});
    }
    if (!JpegDecodeFits(frame, size, denominator)) {
        return false;
    }
    cv::Mat decoded(ScaledJpegDimension(height, denominator), ScaledJpegDimension(width, denominator), matType);
    // Asked for exactly the 1/denominator size, the decompressor picks that scale. A progressive
    // file of more than 500 scans is refused: each scan walks every block of its components.
    if (tjDecompress2(decompressor.get(), data, length, decoded.data, decoded.cols,
                      static_cast<int>(decoded.step[0]), decoded.rows, pixelFormat, TJFLAG_LIMITSCANS) != 0 &&
        (strict || tjGetErrorCode(decompressor.get()) != TJERR_WARNING)) {
        return false;
    }
    if (pixelFormat == TJPF_CMYK) {
        CmykToBgr(decoded, out);
    } else {
        out = decoded;
    }
    return true;
}

} // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, int denominator, cv::Mat& out, int expectedWidth,
                int expectedHeight, bool strict) {
    out.release();
    try {
        if (Decode(data, size, denominator, out, expectedWidth, expectedHeight, strict)) {
            return true;
        }
    } catch (const std::exception&) {
        // Out of memory for the picture.
    }
    out.release();
    return false;
}
