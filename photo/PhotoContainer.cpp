#include "photo/PhotoContainer.h"

#include "photo/ExifByteSource.h"

#include <array>
#include <cstring>

namespace {

// An ftyp box holds at most this many compatible brands worth reading; phones write four to six.
constexpr uint64_t kMaxBrands = 64;

bool IsHeifBrand(const uint8_t* brand) {
    for (const char* known : {"heic", "heix", "hevc", "heim", "heis", "hevm", "hevs", "mif1", "msf1"}) {
        if (std::memcmp(brand, known, 4) == 0) {
            return true;
        }
    }
    return false;
}

// ftyp box: size (4, big-endian, the whole box) | "ftyp" | major brand (4) | minor version (4) |
// compatible brands (4 each) up to the box's end.
bool IsHeif(const ExifByteSource& source) {
    std::array<uint8_t, 12> box{};
    if (!source.ReadAt(0, box.size(), box.data()) || std::memcmp(box.data() + 4, "ftyp", 4) != 0) {
        return false;
    }
    if (IsHeifBrand(box.data() + 8)) {
        return true;
    }
    const uint64_t boxSize = (uint64_t{box[0]} << 24) | (uint64_t{box[1]} << 16) | (uint64_t{box[2]} << 8) | box[3];
    for (uint64_t at = 16, n = 0; at + 4 <= boxSize && n < kMaxBrands; at += 4, ++n) {
        std::array<uint8_t, 4> brand{};
        if (!source.ReadAt(at, brand.size(), brand.data())) {
            return false;
        }
        if (IsHeifBrand(brand.data())) {
            return true;
        }
    }
    return false;
}

} // namespace

bool IsTiffMagic(uint16_t magic) {
    return magic == 42 || magic == 0x4F52 || magic == 0x5352 || magic == 0x0055;
}

PhotoContainer DetectContainer(const ExifByteSource& source) {
    std::array<uint8_t, 4> head{};
    if (!source.ReadAt(0, 2, head.data())) {
        return PhotoContainer::Unknown;
    }
    if (head[0] == 0xFF && head[1] == 0xD8) {
        return PhotoContainer::Jpeg;
    }
    if (source.ReadAt(0, 4, head.data())) {
        if (head[0] == 'I' && head[1] == 'I' && IsTiffMagic(static_cast<uint16_t>(head[2] | (head[3] << 8)))) {
            return PhotoContainer::Tiff;
        }
        if (head[0] == 'M' && head[1] == 'M' && IsTiffMagic(static_cast<uint16_t>((head[2] << 8) | head[3]))) {
            return PhotoContainer::Tiff;
        }
    }
    std::array<uint8_t, 16> magic{};
    if (source.ReadAt(0, magic.size(), magic.data())) {
        if (std::memcmp(magic.data(), "FUJIFILMCCD-RAW ", 16) == 0) {
            return PhotoContainer::Raf;
        }
        if (std::memcmp(magic.data() + 4, "ftypcrx ", 8) == 0) {
            return PhotoContainer::Cr3;
        }
        if (std::memcmp(magic.data(), "II\x1a\0\0\0HEAPCCDR", 14) == 0) {
            return PhotoContainer::OtherRaw;
        }
    }
    if (std::memcmp(head.data(), "\0MRM", 4) == 0) {
        return PhotoContainer::Mrw;
    }
    if (std::memcmp(head.data(), "FOVb", 4) == 0) {
        return PhotoContainer::OtherRaw;
    }
    return IsHeif(source) ? PhotoContainer::Heif : PhotoContainer::Unknown;
}

bool FindRafJpeg(const ExifByteSource& source, uint64_t& offset, uint64_t& length) {
    std::array<uint8_t, 8> place{};
    if (!source.ReadAt(84, place.size(), place.data())) {
        return false;
    }
    offset = BigEndian32(place.data());
    length = BigEndian32(place.data() + 4);
    return true;
}

PhotoContainer DetectFileContainer(const std::string& path) {
    ExifByteSource source(nullptr, 0);
    // The ftyp box with its brands fits in 256 bytes in every file seen; beyond that ReadAt reads on.
    if (!source.Open(path, 256)) {
        return PhotoContainer::Unknown;
    }
    return DetectContainer(source);
}
