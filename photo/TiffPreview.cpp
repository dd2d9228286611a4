#include "photo/TiffPreview.h"

#include "photo/ExifByteSource.h"
#include "photo/FileBytes.h"
#include "photo/JpegFrame.h"
#include "photo/PhotoContainer.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <exception>

namespace {

constexpr uint16_t kTagJpgFromRaw = 0x002E;
constexpr uint16_t kTagCompression = 0x0103;
constexpr uint16_t kTagStripOffsets = 0x0111;
constexpr uint16_t kTagStripByteCounts = 0x0117;
constexpr uint16_t kTagSubIfds = 0x014A;
constexpr uint16_t kTagJpegOffset = 0x0201;
constexpr uint16_t kTagJpegLength = 0x0202;

constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeUndefined = 7;

// Raw files hold 2 to 6 directories and a SubIFD list of 1 to 3; more is a broken or hostile file.
constexpr size_t kMaxDirectories = 32;
constexpr uint32_t kMaxSubIfds = 16;
constexpr uint16_t kMaxEntries = 4096;
// The frame header of a preview follows its APP segments: EXIF (up to 64 KiB) and a few more.
constexpr size_t kFramePrefix = 256 * 1024;

class TiffWalk {
public:
    explicit TiffWalk(const ExifByteSource& source) : file(source) {}

    bool Run(std::vector<TiffPreview>& found) {
        std::array<uint8_t, 8> header{};
        if (!file.ReadAt(0, header.size(), header.data())) {
            return false;
        }
        if (header[0] == 'I' && header[1] == 'I') {
            little = true;
        } else if (header[0] != 'M' || header[1] != 'M') {
            return false;
        }
        if (!IsTiffMagic(Number16(header.data() + 2))) {
            return false;
        }
        pending.push_back(Number32(header.data() + 4));
        while (!pending.empty() && visited.size() < kMaxDirectories) {
            const uint64_t at = pending.back();
            pending.pop_back();
            if (at == 0 || std::find(visited.begin(), visited.end(), at) != visited.end()) {
                continue;
            }
            visited.push_back(at);
            ReadDirectory(at, visited.size() == 1);
        }
        for (const auto& [offset, length] : candidates) {
            TiffPreview preview;
            if (Check(offset, length, preview)) {
                found.push_back(preview);
            }
        }
        SortLargestFirst(found);
        return !found.empty();
    }

private:
    // Directory: count (2) | entries of 12 bytes: tag (2), type (2), count (4), value or offset (4) |
    // next directory's offset (4).
    void ReadDirectory(uint64_t at, bool ifd0) {
        std::array<uint8_t, 2> countBytes{};
        if (!file.ReadAt(at, countBytes.size(), countBytes.data())) {
            return;
        }
        const uint16_t count = std::min(Number16(countBytes.data()), kMaxEntries);
        uint32_t compression = 0;
        uint64_t jpegOffset = 0;
        uint64_t jpegLength = 0;
        uint64_t stripOffset = 0;
        uint64_t stripLength = 0;
        bool oneStrip = false;
        for (uint16_t i = 0; i < count; ++i) {
            std::array<uint8_t, 12> entry{};
            if (!file.ReadAt(at + 2 + 12 * uint64_t{i}, entry.size(), entry.data())) {
                return;
            }
            const uint16_t tag = Number16(entry.data());
            const uint16_t type = Number16(entry.data() + 2);
            const uint32_t values = Number32(entry.data() + 4);
            const uint32_t field = type == kTypeShort ? Number16(entry.data() + 8) : Number32(entry.data() + 8);
            switch (tag) {
            case kTagCompression:
                compression = field;
                break;
            case kTagStripOffsets:
                oneStrip = values == 1;
                stripOffset = field;
                break;
            case kTagStripByteCounts:
                oneStrip = oneStrip && values == 1;
                stripLength = values == 1 ? field : 0;
                break;
            case kTagJpegOffset:
                jpegOffset = field;
                break;
            case kTagJpegLength:
                jpegLength = field;
                break;
            case kTagSubIfds:
                ReadSubIfds(type, values, field);
                break;
            case kTagJpgFromRaw:
                if (ifd0 && type == kTypeUndefined && values > 4) {
                    candidates.emplace_back(field, values);
                }
                break;
            default:
                break;
            }
        }
        if (jpegOffset != 0 && jpegLength != 0) {
            candidates.emplace_back(jpegOffset, jpegLength);
        }
        if ((compression == 6 || compression == 7) && oneStrip && stripLength != 0) {
            candidates.emplace_back(stripOffset, stripLength);
        }
        std::array<uint8_t, 4> next{};
        if (file.ReadAt(at + 2 + 12 * uint64_t{count}, next.size(), next.data())) {
            pending.push_back(Number32(next.data()));
        }
    }

    // LONG or IFD (13) offsets: in the value field when there is one, else at the field's offset.
    void ReadSubIfds(uint16_t type, uint32_t values, uint32_t field) {
        if (type != 4 && type != 13) {
            return;
        }
        if (values == 1) {
            pending.push_back(field);
            return;
        }
        for (uint32_t i = 0; i < std::min(values, kMaxSubIfds); ++i) {
            std::array<uint8_t, 4> offset{};
            if (!file.ReadAt(uint64_t{field} + 4 * uint64_t{i}, offset.size(), offset.data())) {
                return;
            }
            pending.push_back(Number32(offset.data()));
        }
    }

    bool Check(uint64_t offset, uint64_t length, TiffPreview& preview) const {
        return CheckJpegPreview(file, offset, length, preview);
    }

    uint16_t Number16(const uint8_t* b) const {
        return little ? static_cast<uint16_t>(b[0] | (b[1] << 8)) : static_cast<uint16_t>((b[0] << 8) | b[1]);
    }
    uint32_t Number32(const uint8_t* b) const {
        const uint32_t b0 = b[0], b1 = b[1], b2 = b[2], b3 = b[3];
        return little ? (b0 | (b1 << 8) | (b2 << 16) | (b3 << 24)) : ((b0 << 24) | (b1 << 16) | (b2 << 8) | b3);
    }

    const ExifByteSource& file;
    bool little = false;
    std::vector<uint64_t> pending;
    std::vector<uint64_t> visited;
    std::vector<std::pair<uint64_t, uint64_t>> candidates;  // offset, length
};

} // namespace

bool CheckJpegPreview(const ExifByteSource& file, uint64_t offset, uint64_t length, TiffPreview& preview) {
    if (length > static_cast<uint64_t>(FileBytes::kMaxBytes) || offset > file.Length() ||
        length > file.Length() - offset) {
        return false;
    }
    std::vector<uint8_t> prefix(static_cast<size_t>(std::min<uint64_t>(length, kFramePrefix)));
    JpegFrame frame;
    if (!file.ReadAt(offset, prefix.size(), prefix.data()) || !ReadJpegFrame(prefix.data(), prefix.size(), frame) ||
        frame.precision != 8 || (frame.marker != 0xC0 && frame.marker != 0xC1 && frame.marker != 0xC2) ||
        (frame.components != 1 && frame.components != 3) || frame.width == 0 || frame.height == 0) {
        return false;
    }
    preview = TiffPreview{offset, length, frame.width, frame.height};
    return true;
}

void SortLargestFirst(std::vector<TiffPreview>& previews) {
    std::stable_sort(previews.begin(), previews.end(), [](const TiffPreview& a, const TiffPreview& b) {
        return int64_t{a.width} * a.height > int64_t{b.width} * b.height;
    });
}

std::vector<TiffPreview> FindTiffPreviews(const ExifByteSource& file) {
    std::vector<TiffPreview> found;
    try {
        TiffWalk(file).Run(found);
    } catch (const std::exception&) {
        found.clear();
    }
    return found;
}

bool FindTiffPreview(const ExifByteSource& file, TiffPreview& preview) {
    const std::vector<TiffPreview> found = FindTiffPreviews(file);
    preview = found.empty() ? TiffPreview{} : found.front();
    return !found.empty();
}

const TiffPreview& SmallestCoveringPreview(const std::vector<TiffPreview>& previews, int32_t coverWidth,
                                           int32_t coverHeight) {
    const TiffPreview& largest = previews.front();
    const TiffPreview* chosen = &largest;
    for (const TiffPreview& p : previews) {
        const int64_t cross = int64_t{p.width} * largest.height - int64_t{largest.width} * p.height;
        const bool sameShape = std::abs(cross) * 100 <= int64_t{largest.width} * p.height;
        if (sameShape && p.width >= coverWidth && p.height >= coverHeight) {
            chosen = &p;  // largest first: the last that serves is the smallest
        }
    }
    return *chosen;
}

bool ReadTiffPreview(const ExifByteSource& file, const TiffPreview& preview, std::vector<uint8_t>& jpeg) {
    jpeg.clear();
    try {
        jpeg.resize(static_cast<size_t>(preview.length));
        if (preview.length > 0 && file.ReadAt(preview.offset, jpeg.size(), jpeg.data())) {
            return true;
        }
    } catch (const std::exception&) {
        // Out of memory for the preview's bytes.
    }
    jpeg.clear();
    return false;
}
