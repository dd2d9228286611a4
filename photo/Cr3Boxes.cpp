#include "photo/Cr3Boxes.h"

#include "photo/ExifByteSource.h"

#include <array>
#include <cstring>

namespace {

constexpr uint8_t kCanonUuid[16] = {0x85, 0xc0, 0xb6, 0x87, 0x82, 0x0f, 0x11, 0xe0,
                                    0x81, 0x11, 0xf4, 0xce, 0x46, 0x2b, 0x6a, 0x48};
constexpr uint8_t kPreviewUuid[16] = {0xea, 0xf4, 0x2b, 0x5e, 0x1c, 0x98, 0x4b, 0x88,
                                      0xb9, 0xfb, 0xb7, 0xdc, 0x40, 0x6e, 0x4d, 0x16};
// A camera writes about ten top-level boxes and a dozen inside moov; more is no camera's file.
constexpr int kMaxBoxes = 256;

struct Box {
    std::array<uint8_t, 4> type{};
    std::array<uint8_t, 16> uuid{};
    uint64_t payload = 0;  // file position after the header (and the uuid)
    uint64_t end = 0;      // file position after the box
};

// The box at `at` inside a parent ending at `end`; false when its header does not fit or it claims
// to run past the parent.
bool ReadBox(const ExifByteSource& file, uint64_t at, uint64_t end, Box& box) {
    std::array<uint8_t, 16> header{};
    if (at > end || end - at < 8 || !file.ReadAt(at, 8, header.data())) {
        return false;
    }
    uint64_t size = BigEndian32(header.data());
    std::memcpy(box.type.data(), header.data() + 4, 4);
    box.payload = at + 8;
    if (size == 1) {
        if (end - at < 16 || !file.ReadAt(at + 8, 8, header.data() + 8)) {
            return false;
        }
        size = (uint64_t{BigEndian32(header.data() + 8)} << 32) | BigEndian32(header.data() + 12);
        box.payload = at + 16;
    } else if (size == 0) {
        size = end - at;
    }
    if (size < box.payload - at || size > end - at) {
        return false;
    }
    box.end = at + size;
    if (std::memcmp(box.type.data(), "uuid", 4) == 0) {
        if (box.end - box.payload < 16 || !file.ReadAt(box.payload, 16, box.uuid.data())) {
            return false;
        }
        box.payload += 16;
    }
    return true;
}

bool IsType(const Box& box, const char* type) {
    return std::memcmp(box.type.data(), type, 4) == 0;
}

// A JPEG of `length` bytes at `jpeg` that must end inside its box.
void TakeJpeg(const ExifByteSource& file, const Box& box, uint64_t lengthAt, uint64_t jpeg, uint64_t& offset,
              uint64_t& length) {
    std::array<uint8_t, 4> bytes{};
    if (jpeg > box.end || !file.ReadAt(lengthAt, 4, bytes.data())) {
        return;
    }
    const uint64_t claimed = BigEndian32(bytes.data());
    if (claimed > 0 && claimed <= box.end - jpeg) {
        offset = jpeg;
        length = claimed;
    }
}

void ReadCanonBox(const ExifByteSource& file, const Box& canon, Cr3Boxes& boxes) {
    Box box;
    int n = 0;
    for (uint64_t at = canon.payload; n < kMaxBoxes && ReadBox(file, at, canon.end, box); at = box.end, ++n) {
        if (IsType(box, "CMT1")) {
            boxes.cmt1Offset = box.payload;
            boxes.cmt1Length = box.end - box.payload;
        } else if (IsType(box, "CMT2")) {
            boxes.cmt2Offset = box.payload;
            boxes.cmt2Length = box.end - box.payload;
        } else if (IsType(box, "THMB")) {
            TakeJpeg(file, box, box.payload + 8, box.payload + 16, boxes.thumbnailOffset, boxes.thumbnailLength);
        }
    }
}

void ReadPreviewBox(const ExifByteSource& file, const Box& uuid, Cr3Boxes& boxes) {
    Box box;
    if (ReadBox(file, uuid.payload + 8, uuid.end, box) && IsType(box, "PRVW")) {
        TakeJpeg(file, box, box.payload + 12, box.payload + 16, boxes.previewOffset, boxes.previewLength);
    }
}

} // namespace

bool FindCr3Boxes(const ExifByteSource& file, Cr3Boxes& boxes) {
    boxes = Cr3Boxes{};
    Box box;
    if (!ReadBox(file, 0, file.Length(), box) || !IsType(box, "ftyp") || box.end - box.payload < 4) {
        return false;
    }
    std::array<uint8_t, 4> brand{};
    if (!file.ReadAt(box.payload, 4, brand.data()) || std::memcmp(brand.data(), "crx ", 4) != 0) {
        return false;
    }
    int n = 0;
    for (uint64_t at = box.end; n < kMaxBoxes && ReadBox(file, at, file.Length(), box); at = box.end, ++n) {
        if (IsType(box, "moov")) {
            Box inner;
            int m = 0;
            for (uint64_t in = box.payload; m < kMaxBoxes && ReadBox(file, in, box.end, inner); in = inner.end, ++m) {
                if (IsType(inner, "uuid") && std::memcmp(inner.uuid.data(), kCanonUuid, 16) == 0) {
                    ReadCanonBox(file, inner, boxes);
                }
            }
        } else if (IsType(box, "uuid") && std::memcmp(box.uuid.data(), kPreviewUuid, 16) == 0) {
            ReadPreviewBox(file, box, boxes);
        }
    }
    return boxes.cmt1Length != 0 || boxes.cmt2Length != 0 || boxes.thumbnailLength != 0 || boxes.previewLength != 0;
}
