#include "photo/EmbeddedJpegs.h"

#include "photo/ExifByteSource.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>

namespace {

// A photo has a dozen segments before its frame header; a file with hundreds is not worth walking.
constexpr int kMaxSegments = 256;
// Cameras write two or three MPF images; the index may list at most this many.
constexpr uint32_t kMaxMpImages = 16;

constexpr uint16_t kTagMpEntry = 0xB002;
constexpr uint16_t kTypeUndefined = 7;

uint16_t Big16(const uint8_t* b) {
    return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

bool IsFrameHeader(uint8_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// The MPF index of an APP2 segment. Its TIFF structure starts at tiff (the byte after "MPF\0"):
// byte order "II" or "MM", 42, the index IFD's offset; in the IFD the MP Entry field (0xB002,
// UNDEFINED, 16 bytes an image) lists each image as attribute (4), size in bytes (4), offset from
// tiff (4, 0 for the first image, the photo itself) and two dependent-image numbers (2 + 2).
void ReadMpIndex(const ExifByteSource& file, uint64_t tiff, std::vector<TiffPreview>& found) {
    std::array<uint8_t, 8> header{};
    if (!file.ReadAt(tiff, header.size(), header.data())) {
        return;
    }
    const bool little = header[0] == 'I' && header[1] == 'I';
    if (!little && (header[0] != 'M' || header[1] != 'M')) {
        return;
    }
    const auto n16 = [little](const uint8_t* b) {
        return little ? static_cast<uint16_t>(b[0] | (b[1] << 8)) : Big16(b);
    };
    const auto n32 = [little](const uint8_t* b) {
        const uint32_t b0 = b[0], b1 = b[1], b2 = b[2], b3 = b[3];
        return little ? (b0 | (b1 << 8) | (b2 << 16) | (b3 << 24)) : ((b0 << 24) | (b1 << 16) | (b2 << 8) | b3);
    };
    if (n16(header.data() + 2) != 42) {
        return;
    }
    const uint64_t ifd = tiff + n32(header.data() + 4);
    std::array<uint8_t, 2> countBytes{};
    if (!file.ReadAt(ifd, countBytes.size(), countBytes.data())) {
        return;
    }
    const uint16_t count = std::min<uint16_t>(n16(countBytes.data()), 64);
    for (uint16_t i = 0; i < count; ++i) {
        std::array<uint8_t, 12> entry{};
        if (!file.ReadAt(ifd + 2 + 12 * uint64_t{i}, entry.size(), entry.data())) {
            return;
        }
        if (n16(entry.data()) != kTagMpEntry || n16(entry.data() + 2) != kTypeUndefined) {
            continue;
        }
        const uint32_t images = std::min(n32(entry.data() + 4) / 16, kMaxMpImages);
        const uint64_t list = tiff + n32(entry.data() + 8);
        for (uint32_t k = 0; k < images; ++k) {
            std::array<uint8_t, 16> image{};
            if (!file.ReadAt(list + 16 * uint64_t{k}, image.size(), image.data())) {
                return;
            }
            const uint32_t size = n32(image.data() + 4);
            const uint32_t offset = n32(image.data() + 8);
            TiffPreview picture;
            if (offset != 0 && CheckJpegPreview(file, tiff + offset, size, picture)) {
                found.push_back(picture);
            }
        }
        return;
    }
}

// The EXIF thumbnail and whatever else the TIFF walk of raw files finds in the block of an APP1
// "Exif\0\0" segment (its TIFF header at tiff, length bytes long); positions made the file's.
void ReadExifPictures(const ExifByteSource& file, uint64_t tiff, uint64_t length, std::vector<TiffPreview>& found) {
    const ExifByteSource block(file, tiff, length);
    for (TiffPreview picture : FindTiffPreviews(block)) {
        picture.offset += tiff;
        found.push_back(picture);
    }
}

} // namespace

bool FindEmbeddedJpegs(const ExifByteSource& file, JpegPictures& out) {
    out = JpegPictures{};
    try {
        std::array<uint8_t, 2> soi{};
        if (!file.ReadAt(0, soi.size(), soi.data()) || soi[0] != 0xFF || soi[1] != 0xD8) {
            return false;
        }
        // Segment: 0xFF, marker, length (2, big-endian, counting itself), length - 2 bytes.
        uint64_t at = 2;
        for (int segment = 0; segment < kMaxSegments; ++segment) {
            std::array<uint8_t, 4> head{};
            if (!file.ReadAt(at, head.size(), head.data()) || head[0] != 0xFF) {
                return false;
            }
            if (head[1] == 0xFF) {
                ++at; // a fill byte before the marker
                continue;
            }
            const uint8_t marker = head[1];
            if (marker == 0xDA || marker == 0xD9) {
                return false; // a scan or the end before any frame header
            }
            const uint16_t length = Big16(head.data() + 2);
            if (length < 2) {
                return false;
            }
            if (IsFrameHeader(marker)) {
                // Frame header: precision (1), lines (2), samples per line (2), all big-endian.
                std::array<uint8_t, 5> frame{};
                if (length < 2 + frame.size() || !file.ReadAt(at + 4, frame.size(), frame.data())) {
                    return false;
                }
                out.height = Big16(frame.data() + 1);
                out.width = Big16(frame.data() + 3);
                std::stable_sort(out.embedded.begin(), out.embedded.end(), [](const TiffPreview& a, const TiffPreview& b) {
                    return int64_t{a.width} * a.height < int64_t{b.width} * b.height;
                });
                return out.width > 0 && out.height > 0;
            }
            std::array<uint8_t, 6> name{};
            if (length >= 2 + name.size() && (marker == 0xE1 || marker == 0xE2) &&
                file.ReadAt(at + 4, name.size(), name.data())) {
                if (marker == 0xE1 && std::memcmp(name.data(), "Exif\0\0", 6) == 0) {
                    ReadExifPictures(file, at + 10, length - 8, out.embedded);
                } else if (marker == 0xE2 && std::memcmp(name.data(), "MPF\0", 4) == 0) {
                    ReadMpIndex(file, at + 8, out.embedded);
                }
            }
            at += 2 + uint64_t{length};
        }
    } catch (const std::exception&) {
        // Out of memory for a preview's header: none is used.
    }
    out = JpegPictures{};
    return false;
}
