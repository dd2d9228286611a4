#include "photo/JpegFrame.h"

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
    size_t at = 2;
    for (;;) {
        // A marker is 0xFF, any number of 0xFF fill bytes, then the code.
        if (at >= size || data[at] != kMarkerPrefix) {
            return false;
        }
        while (at < size && data[at] == kMarkerPrefix) {
            ++at;
        }
        if (at >= size) {
            return false;
        }
        const uint8_t marker = data[at++];
        if (StandsAlone(marker)) {
            continue;
        }
        if (marker == kSoi || marker == kEoi || marker == kSos || marker == 0x00) {
            return false;
        }
        // Segment: a 16-bit length that counts itself, then length - 2 bytes.
        if (size - at < 2) {
            return false;
        }
        const size_t length = BigEndian16(data + at);
        if (length < 2 || size - at < length) {
            return false;
        }
        if (IsFrameHeader(marker)) {
            // P (1), Y (2), X (2), Nf (1), then Nf component descriptions of 3 bytes each.
            if (length < 8) {
                return false;
            }
            const uint8_t* header = data + at + 2;
            const uint8_t components = header[5];
            if (length < 8 + 3 * static_cast<size_t>(components)) {
                return false;
            }
            frame.marker = marker;
            frame.precision = header[0];
            frame.height = BigEndian16(header + 1);
            frame.width = BigEndian16(header + 3);
            frame.components = components;
            return true;
        }
        at += length;
    }
}
