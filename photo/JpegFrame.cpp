#include "photo/JpegFrame.h"

#include <algorithm>

namespace {

constexpr uint8_t kMarkerPrefix = 0xFF;
constexpr uint8_t kSoi = 0xD8;
constexpr uint8_t kEoi = 0xD9;
constexpr uint8_t kSos = 0xDA;
constexpr uint8_t kTem = 0x01;

bool IsFrameHeader(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// RST0 to RST7 and TEM stand alone: no length follows them.
bool StandsAlone(uint8_t marker) {
    return marker == kTem || (marker >= 0xD0 && marker <= 0xD7);
}

uint16_t BigEndian16(const uint8_t* bytes) {
    return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

} // namespace

bool ReadJpegFrame(const uint8_t* data, size_t size, JpegFrame& frame) {
    if (data == nullptr || size < 2 || data[0] != kMarkerPrefix || data[1] != kSoi) {
        return false;
    }
    bool found = false;
    size_t at = 2;
    for (;;) {
        // A marker is 0xFF, any number of 0xFF fill bytes, then the code.
        if (at >= size || data[at] != kMarkerPrefix) {
            return found;
        }
        while (at < size && data[at] == kMarkerPrefix) {
            ++at;
        }
        if (at >= size) {
            return found;
        }
        const uint8_t marker = data[at++];
        if (StandsAlone(marker)) {
            continue;
        }
        if (marker == kSoi || marker == kEoi || marker == 0x00 || (marker == kSos && !found)) {
            return found;
        }
        // Segment: a 16-bit length that counts itself, then length - 2 bytes.
        if (size - at < 2) {
            return found;
        }
        const size_t length = BigEndian16(data + at);
        if (length < 2 || size - at < length) {
            return found;
        }
        const uint8_t* header = data + at + 2;
        if (marker == kSos) {
            // Ns (1), then Ns component selectors of 2 bytes each, then 3 bytes of spectral
            // selection and successive approximation.
            if (length >= 3) {
                frame.scanComponents = header[0];
                frame.scanDataAt = at + length;
            }
            return true;
        }
        if (IsFrameHeader(marker) && !found) {
            // P (1), Y (2), X (2), Nf (1), then Nf component descriptions: id (1), H << 4 | V (1),
            // quantisation table (1).
            if (length < 8) {
                return false;
            }
            const uint8_t components = header[5];
            if (length < 8 + 3 * static_cast<size_t>(components)) {
                return false;
            }
            frame = JpegFrame{};
            frame.marker = marker;
            frame.precision = header[0];
            frame.height = BigEndian16(header + 1);
            frame.width = BigEndian16(header + 3);
            frame.components = components;
            for (size_t c = 0; c < components && c < 4; ++c) {
                frame.sampling[c] = header[6 + 3 * c + 1];
            }
            found = true;
        }
        at += length;
    }
}

namespace {

// The blocks of 8 x 8 samples of every component, in whole MCUs as libjpeg keeps them; 0 for a
// frame no decode could read.
uint64_t FrameBlocks(const JpegFrame& frame) {
    if (frame.width == 0 || frame.height == 0 ||
        (frame.components != 1 && frame.components != 3 && frame.components != 4)) {
        return 0;
    }
    uint64_t maxH = 1;
    uint64_t maxV = 1;
    for (size_t c = 0; c < frame.components; ++c) {
        const uint64_t h = frame.sampling[c] >> 4;
        const uint64_t v = frame.sampling[c] & 0x0F;
        if (h < 1 || h > 4 || v < 1 || v > 4) {
            return 0;
        }
        maxH = std::max(maxH, h);
        maxV = std::max(maxV, v);
    }
    const uint64_t mcuColumns = (uint64_t{frame.width} + 8 * maxH - 1) / (8 * maxH);
    const uint64_t mcuRows = (uint64_t{frame.height} + 8 * maxV - 1) / (8 * maxV);
    uint64_t blocks = 0;
    for (size_t c = 0; c < frame.components; ++c) {
        blocks += mcuColumns * (frame.sampling[c] >> 4) * mcuRows * (frame.sampling[c] & 0x0F);
    }
    return blocks;
}

} // namespace

uint64_t JpegDecodeMemory(const JpegFrame& frame, int denominator) {
    const uint64_t blocks = FrameBlocks(frame);
    if (blocks == 0 || denominator <= 0) {
        return 0;
    }
    const uint64_t d = static_cast<uint64_t>(denominator);
    const uint64_t scaledPixels = ((frame.width + d - 1) / d) * ((frame.height + d - 1) / d);
    const uint64_t bytesPerPixel = frame.components == 1 ? 1 : frame.components == 3 ? 3 : 4 + 3;
    uint64_t memory = scaledPixels * bytesPerPixel;
    if (frame.Progressive() || frame.scanComponents != frame.components) {
        memory += blocks * 64 * 2;
    }
    return memory;
}

bool JpegDecodeFits(const JpegFrame& frame, size_t fileSize, int denominator) {
    const uint64_t memory = JpegDecodeMemory(frame, denominator);
    if (memory == 0 || memory > kJpegDecodeBudget) {
        return false;
    }
    const uint64_t entropyBytes = fileSize > frame.scanDataAt ? fileSize - frame.scanDataAt : 0;
    return entropyBytes * 64 >= FrameBlocks(frame);
}
