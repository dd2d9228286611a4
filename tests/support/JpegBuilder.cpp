#include "tests/support/JpegBuilder.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <libheif/heif.h>
#include <turbojpeg.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace kestory::test {
namespace {

class Writer {
public:
    explicit Writer(ByteOrder order) : order_(order) {}
    void u8(uint8_t v) { bytes.push_back(v); }
    void u16(uint16_t v) {
        if (order_ == ByteOrder::Little) {
            u8(v & 0xFF), u8(v >> 8);
        } else {
            u8(v >> 8), u8(v & 0xFF);
        }
    }
    void u32(uint32_t v) {
        if (order_ == ByteOrder::Little) {
            u16(v & 0xFFFF), u16(v >> 16);
        } else {
            u16(v >> 16), u16(v & 0xFFFF);
        }
    }
    void put16(size_t at, uint16_t v) {
        Writer w(order_);
        w.u16(v);
        std::copy(w.bytes.begin(), w.bytes.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    }
    void put32(size_t at, uint32_t v) {
        Writer w(order_);
        w.u32(v);
        std::copy(w.bytes.begin(), w.bytes.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    }
    std::vector<uint8_t> bytes;

private:
    ByteOrder order_;
};

// A TIFF header: byte order mark, 42, the first directory right after it at 8.
Writer TiffHeader(ByteOrder order) {
    Writer w(order);
    if (order == ByteOrder::Little) {
        w.u8('I'), w.u8('I');
    } else {
        w.u8('M'), w.u8('M');
    }
    w.u16(42);
    w.u32(8);
    return w;
}

// The value bytes of an entry in file order, and the count it really has.
std::pair<std::vector<uint8_t>, uint32_t> EncodeValue(const EntryFields& e, ByteOrder order) {
    Writer w(order);
    uint32_t count = 0;
    switch (e.type) {
    case kAscii:
        for (char c : e.ascii) w.u8(static_cast<uint8_t>(c));
        if (!e.omitAsciiTerminator) w.u8(0);
        count = static_cast<uint32_t>(w.bytes.size());
        break;
    case kShort:
        for (uint32_t n : e.numbers) w.u16(static_cast<uint16_t>(n));
        count = static_cast<uint32_t>(e.numbers.size());
        break;
    case kLong:
    case kSLong:
        for (uint32_t n : e.numbers) w.u32(n);
        count = static_cast<uint32_t>(e.numbers.size());
        break;
    case kByte:
        for (uint32_t n : e.numbers) w.u8(static_cast<uint8_t>(n));
        count = static_cast<uint32_t>(e.numbers.size());
        break;
    case kRational:
    case kSRational:
        for (auto [n, d] : e.rationals) w.u32(n), w.u32(d);
        count = static_cast<uint32_t>(e.rationals.size());
        break;
    default:
        w.bytes = e.bytes;
        count = static_cast<uint32_t>(e.bytes.size());
        break;
    }
    return {w.bytes, count};
}

}  // namespace

JpegBuilder& JpegBuilder::order(ByteOrder order) { order_ = order; return *this; }
JpegBuilder& JpegBuilder::jfifApp0(bool present) { jfif_ = present; return *this; }
JpegBuilder& JpegBuilder::segmentBeforeApp1(uint8_t marker, std::vector<uint8_t> payload) {
    before_.emplace_back(marker, std::move(payload));
    return *this;
}
JpegBuilder& JpegBuilder::noExif() { exif_ = false; return *this; }
JpegBuilder& JpegBuilder::app1LengthOverride(uint16_t length) { app1Length_ = length; return *this; }
JpegBuilder& JpegBuilder::picture(const cv::Mat& bgrOrGrey) {
    picture_ = bgrOrGrey.clone();
    pictureSet_ = true;
    noPicture_ = false;
    return *this;
}
JpegBuilder& JpegBuilder::patternPicture(int width, int height, bool grey) {
    return picture(PatternPicture(width, height, grey));
}
JpegBuilder& JpegBuilder::noPicture() { noPicture_ = true; return *this; }
JpegBuilder& JpegBuilder::exifThumbnail(std::vector<uint8_t> jpeg) {
    thumbnail_ = std::move(jpeg);
    return *this;
}
JpegBuilder& JpegBuilder::encodedPicture(std::vector<uint8_t> jpeg) {
    encoded_ = std::move(jpeg);
    noPicture_ = false;
    return *this;
}
JpegBuilder& JpegBuilder::automaticPointers(bool on) { pointers_ = on; return *this; }

JpegBuilder& JpegBuilder::entry(EntryFields fields) {
    entries_.push_back(std::move(fields));
    return *this;
}
JpegBuilder& JpegBuilder::ascii(Directory dir, uint16_t tag, const std::string& text) {
    EntryFields e;
    e.directory = dir, e.tag = tag, e.type = kAscii, e.ascii = text;
    return entry(std::move(e));
}
JpegBuilder& JpegBuilder::shortValue(Directory dir, uint16_t tag, uint16_t value) {
    EntryFields e;
    e.directory = dir, e.tag = tag, e.type = kShort, e.numbers = {value};
    return entry(std::move(e));
}
JpegBuilder& JpegBuilder::longValue(Directory dir, uint16_t tag, uint32_t value) {
    EntryFields e;
    e.directory = dir, e.tag = tag, e.type = kLong, e.numbers = {value};
    return entry(std::move(e));
}
JpegBuilder& JpegBuilder::rational(Directory dir, uint16_t tag, uint32_t numerator, uint32_t denominator) {
    EntryFields e;
    e.directory = dir, e.tag = tag, e.type = kRational, e.rationals = {{numerator, denominator}};
    return entry(std::move(e));
}
JpegBuilder& JpegBuilder::srational(Directory dir, uint16_t tag, int32_t numerator, int32_t denominator) {
    EntryFields e;
    e.directory = dir, e.tag = tag, e.type = kSRational;
    e.rationals = {{static_cast<uint32_t>(numerator), static_cast<uint32_t>(denominator)}};
    return entry(std::move(e));
}
JpegBuilder& JpegBuilder::exposureTime(uint32_t n, uint32_t d) { return rational(kExifDirectory, 0x829A, n, d); }
JpegBuilder& JpegBuilder::fNumber(uint32_t n, uint32_t d) { return rational(kExifDirectory, 0x829D, n, d); }
JpegBuilder& JpegBuilder::isoSpeed(uint16_t iso) { return shortValue(kExifDirectory, 0x8827, iso); }
JpegBuilder& JpegBuilder::orientation(uint16_t value) { return shortValue(kIfd0, 0x0112, value); }
JpegBuilder& JpegBuilder::make(const std::string& text) { return ascii(kIfd0, 0x010F, text); }
JpegBuilder& JpegBuilder::model(const std::string& text) { return ascii(kIfd0, 0x0110, text); }

std::vector<uint8_t> JpegBuilder::buildTiff() const {
    // Directories in the order IFD0, Exif, GPS, each: entry count (2), entries (12 each), next
    // link (4, always 0); then the data area of every value longer than 4 bytes, word-aligned.
    std::vector<EntryFields> dirs[3];
    for (const EntryFields& e : entries_) dirs[e.directory].push_back(e);
    const bool hasExif = !dirs[kExifDirectory].empty();
    const bool hasGps = !dirs[kGpsDirectory].empty();
    if (pointers_) {
        if (hasExif) dirs[kIfd0].push_back(EntryFields{kIfd0, 0x8769, kLong, {0}, {}, {}, {}, {}, {}, false});
        if (hasGps) dirs[kIfd0].push_back(EntryFields{kIfd0, 0x8825, kLong, {0}, {}, {}, {}, {}, {}, false});
    }

    size_t dirOffset[3] = {};
    size_t at = 8;
    for (int d = 0; d < 3; ++d) {
        if (d != kIfd0 && dirs[d].empty()) continue;
        dirOffset[d] = at;
        at += 2 + 12 * dirs[d].size() + 4;
    }

    Writer w = TiffHeader(order_);
    w.bytes.resize(at, 0);
    for (int d = 0; d < 3; ++d) {
        if (d != kIfd0 && dirs[d].empty()) continue;
        size_t pos = dirOffset[d];
        w.put16(pos, static_cast<uint16_t>(dirs[d].size()));
        pos += 2;
        for (EntryFields e : dirs[d]) {
            if (pointers_ && d == kIfd0 && e.tag == 0x8769 && e.numbers == std::vector<uint32_t>{0} && hasExif)
                e.numbers = {static_cast<uint32_t>(dirOffset[kExifDirectory])};
            if (pointers_ && d == kIfd0 && e.tag == 0x8825 && e.numbers == std::vector<uint32_t>{0} && hasGps)
                e.numbers = {static_cast<uint32_t>(dirOffset[kGpsDirectory])};
            auto [value, count] = EncodeValue(e, order_);
            w.put16(pos, e.tag);
            w.put16(pos + 2, e.type);
            w.put32(pos + 4, e.countOverride.value_or(count));
            if (e.valueFieldOverride) {
                w.put32(pos + 8, *e.valueFieldOverride);
            } else if (value.size() <= 4) {
                std::copy(value.begin(), value.end(), w.bytes.begin() + static_cast<std::ptrdiff_t>(pos + 8));
            } else {
                while (w.bytes.size() % 2 != 0) w.u8(0);
                w.put32(pos + 8, static_cast<uint32_t>(w.bytes.size()));
                w.bytes.insert(w.bytes.end(), value.begin(), value.end());
            }
            pos += 12;
        }
    }
    if (!thumbnail_.empty()) {
        // IFD1: Compression 6 (SHORT), JPEGInterchangeFormat and its length (LONG), next 0; the
        // thumbnail right after it.
        while (w.bytes.size() % 2 != 0) w.u8(0);
        const size_t ifd1 = w.bytes.size();
        w.put32(dirOffset[kIfd0] + 2 + 12 * dirs[kIfd0].size(), static_cast<uint32_t>(ifd1));
        w.bytes.resize(ifd1 + 2 + 3 * 12 + 4, 0);
        w.put16(ifd1, 3);
        const uint32_t data = static_cast<uint32_t>(w.bytes.size());
        const uint16_t tags[] = {0x0103, 0x0201, 0x0202};
        const uint16_t types[] = {kShort, kLong, kLong};
        const uint32_t values[] = {6, data, static_cast<uint32_t>(thumbnail_.size())};
        for (size_t k = 0; k < 3; ++k) {
            const size_t pos = ifd1 + 2 + 12 * k;
            w.put16(pos, tags[k]);
            w.put16(pos + 2, types[k]);
            w.put32(pos + 4, 1);
            if (types[k] == kShort) {
                w.put16(pos + 8, static_cast<uint16_t>(values[k]));
            } else {
                w.put32(pos + 8, values[k]);
            }
        }
        w.bytes.insert(w.bytes.end(), thumbnail_.begin(), thumbnail_.end());
    }
    return w.bytes;
}

std::vector<uint8_t> WithMpfPreview(const std::vector<uint8_t>& photo, const std::vector<uint8_t>& preview,
                                    ByteOrder order) {
    // After the first APP1 (or right after SOI): FF E2, length, "MPF\0", then a TIFF header, an
    // index IFD of MPFVersion (B000), NumberOfImages (B001) and MPEntry (B002, 16 bytes an image:
    // attribute, size, offset from the TIFF header, two dependent-image numbers), next 0, the list.
    size_t insertAt = 2;
    if (photo.size() > 6 && photo[2] == 0xFF && photo[3] == 0xE1) {
        insertAt = 4 + ((size_t{photo[4]} << 8) | photo[5]);
    }
    Writer w = TiffHeader(order);
    w.u16(3);
    const uint32_t list = 8 + 2 + 3 * 12 + 4;
    w.u16(0xB000), w.u16(kUndefined), w.u32(4), w.u8('0'), w.u8('1'), w.u8('0'), w.u8('0');
    w.u16(0xB001), w.u16(kLong), w.u32(1), w.u32(2);
    w.u16(0xB002), w.u16(kUndefined), w.u32(32), w.u32(list);
    w.u32(0);
    const size_t segment = 4 + 4 + list + 32;
    const size_t tiffAt = insertAt + 8;
    const size_t photoSize = photo.size() + segment;
    w.u32(0x030000), w.u32(static_cast<uint32_t>(photoSize)), w.u32(0), w.u16(0), w.u16(0);
    w.u32(0x010002), w.u32(static_cast<uint32_t>(preview.size())), w.u32(static_cast<uint32_t>(photoSize - tiffAt));
    w.u16(0), w.u16(0);
    std::vector<uint8_t> out(photo.begin(), photo.begin() + static_cast<std::ptrdiff_t>(insertAt));
    const size_t length = segment - 2;
    out.insert(out.end(), {0xFF, 0xE2, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 'M', 'P', 'F', 0});
    out.insert(out.end(), w.bytes.begin(), w.bytes.end());
    out.insert(out.end(), photo.begin() + static_cast<std::ptrdiff_t>(insertAt), photo.end());
    out.insert(out.end(), preview.begin(), preview.end());
    return out;
}

std::vector<uint8_t> JpegBuilder::build() const {
    // Begun empty rather than from the two-byte list {FF, D8}: GCC 12 at -O3 then reports the
    // first insert's move of those two bytes as out of bounds (a false -Warray-bounds).
    std::vector<uint8_t> out;
    out.reserve(4096);
    out.push_back(0xFF);
    out.push_back(0xD8);
    if (jfif_) {
        // FF E0, length 16, "JFIF\0", version 1.01, no units, density 1 x 1, no thumbnail.
        const uint8_t app0[] = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01,
                                0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};
        out.insert(out.end(), std::begin(app0), std::end(app0));
    }
    for (const auto& [marker, payload] : before_) {
        const size_t length = payload.size() + 2;
        out.insert(out.end(), {0xFF, marker, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
        out.insert(out.end(), payload.begin(), payload.end());
    }
    if (exif_) {
        const std::vector<uint8_t> tiff = buildTiff();
        const size_t length = app1Length_ ? *app1Length_ : std::min<size_t>(tiff.size() + 8, 0xFFFF);
        out.insert(out.end(), {0xFF, 0xE1, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
        out.insert(out.end(), {'E', 'x', 'i', 'f', 0, 0});
        out.insert(out.end(), tiff.begin(), tiff.end());
    }
    if (noPicture_) {
        out.insert(out.end(), {0xFF, 0xD9});
        return out;
    }
    std::vector<uint8_t> encoded = encoded_;
    if (encoded.empty()) {
        const cv::Mat pixels = pictureSet_ ? picture_ : PatternPicture(64, 48);
        cv::imencode(".jpg", pixels, encoded, {cv::IMWRITE_JPEG_QUALITY, 95});
    }
    // Drop the encoder's SOI and its own JFIF APP0, so our segments stay first.
    size_t skip = 2;
    if (encoded.size() > 6 && encoded[2] == 0xFF && encoded[3] == 0xE0)
        skip = 4 + ((static_cast<size_t>(encoded[4]) << 8) | encoded[5]);
    out.insert(out.end(), encoded.begin() + static_cast<std::ptrdiff_t>(skip), encoded.end());
    return out;
}

bool JpegBuilder::writeTo(const std::string& path) const { return WriteBytes(path, build()); }

cv::Mat PatternPicture(int width, int height, bool grey) {
    cv::Mat m(height, width, grey ? CV_8UC1 : CV_8UC3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int bx = width > 1 ? 255 * x / (width - 1) : 0;
            const int gy = height > 1 ? 255 * y / (height - 1) : 0;
            if (grey) {
                m.at<uint8_t>(y, x) = static_cast<uint8_t>((bx * 2 + gy) / 3);
            } else {
                m.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<uint8_t>(bx), static_cast<uint8_t>(gy), 64);
            }
        }
    }
    return m;
}

JpegBuilder CameraLikeJpeg(ByteOrder order) {
    JpegBuilder b;
    b.order(order)
        .make("Canon")
        .model("Canon EOS 5D Mark II")
        .orientation(1)
        .ascii(kIfd0, 0x0131, "Firmware 2.1.2")
        .exposureTime(1, 125)
        .fNumber(56, 10)
        .shortValue(kExifDirectory, 0x8822, 3)
        .isoSpeed(400)
        .ascii(kExifDirectory, 0x9003, "2011:01:02 03:04:05")
        .srational(kExifDirectory, 0x9204, -1, 3)
        .shortValue(kExifDirectory, 0x9207, 5)
        .shortValue(kExifDirectory, 0x9208, 0)
        .shortValue(kExifDirectory, 0x9209, 0x10)
        .rational(kExifDirectory, 0x920A, 50, 1)
        .shortValue(kExifDirectory, 0xA001, 1)
        .longValue(kExifDirectory, 0xA002, 64)
        .longValue(kExifDirectory, 0xA003, 48)
        .shortValue(kExifDirectory, 0xA403, 0)
        .patternPicture(64, 48);
    return b;
}

std::vector<uint8_t> EncodeCmykJpeg(const cv::Mat& cmyk, bool progressive) {
    std::vector<uint8_t> bytes;
    if (cmyk.type() != CV_8UC4 || cmyk.empty()) {
        return bytes;
    }
    tjhandle compressor = tjInitCompress();
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (compressor != nullptr && tjCompress2(compressor, cmyk.data, cmyk.cols, static_cast<int>(cmyk.step[0]),
                                             cmyk.rows, TJPF_CMYK, &buffer, &size, TJSAMP_444, 90,
                                             progressive ? TJFLAG_PROGRESSIVE : 0) == 0) {
        bytes.assign(buffer, buffer + size);
    }
    tjFree(buffer);
    if (compressor != nullptr) {
        tjDestroy(compressor);
    }
    return bytes;
}

std::vector<uint8_t> WithFrameHeader(std::vector<uint8_t> jpeg, int precision, int height, int width) {
    size_t at = 2;
    while (at + 9 <= jpeg.size() && jpeg[at] == 0xFF) {
        const uint8_t marker = jpeg[at + 1];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            jpeg[at + 4] = static_cast<uint8_t>(precision);
            jpeg[at + 5] = static_cast<uint8_t>(height >> 8);
            jpeg[at + 6] = static_cast<uint8_t>(height);
            jpeg[at + 7] = static_cast<uint8_t>(width >> 8);
            jpeg[at + 8] = static_cast<uint8_t>(width);
            break;
        }
        at += 2 + ((size_t{jpeg[at + 2]} << 8) | jpeg[at + 3]);
    }
    return jpeg;
}

std::vector<uint8_t> WithLastScanRepeated(std::vector<uint8_t> jpeg, int copies) {
    // Inside entropy-coded data every FF is followed by 00 or a restart marker, so FF DA is a scan.
    if (jpeg.size() < 4) {
        return jpeg;
    }
    const size_t end = jpeg.size() - 2; // EOI
    size_t sos = end;
    while (sos > 2 && !(jpeg[sos - 1] == 0xFF && jpeg[sos] == 0xDA)) {
        --sos;
    }
    if (sos <= 2) {
        return jpeg;
    }
    const std::vector<uint8_t> scan(jpeg.begin() + static_cast<std::ptrdiff_t>(sos - 1),
                                    jpeg.begin() + static_cast<std::ptrdiff_t>(end));
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(end));
    out.reserve(jpeg.size() + scan.size() * static_cast<size_t>(copies));
    for (int i = 0; i < copies; ++i) {
        out.insert(out.end(), scan.begin(), scan.end());
    }
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

std::vector<NamedBytes> PictureBombs() {
    std::vector<uint8_t> progressive;
    cv::imencode(".jpg", PatternPicture(64, 48), progressive, {cv::IMWRITE_JPEG_PROGRESSIVE, 1});
    std::vector<uint8_t> tiny;
    cv::imencode(".jpg", PatternPicture(8, 8), tiny, {cv::IMWRITE_JPEG_PROGRESSIVE, 1});
    const std::vector<uint8_t> cmyk = EncodeCmykJpeg(cv::Mat(48, 64, CV_8UC4, cv::Scalar(10, 60, 90, 30)), true);
    const auto bomb = [](const std::vector<uint8_t>& picture) {
        return CameraLikeJpeg().encodedPicture(WithFrameHeader(picture, 8, 32767, 32767)).build();
    };
    return {
        {"progressive-32767", bomb(progressive)},
        {"cmyk-progressive-32767", bomb(cmyk)},
        {"scans-2000-32767", bomb(WithLastScanRepeated(tiny, 2000))},
    };
}

std::vector<uint8_t> BuildRawLike(JpegBuilder exif, const std::vector<RawPreview>& previews, uint16_t magic) {
    // Every field added is a LONG or SHORT held in its entry, so the block's size does not depend
    // on the offsets: built once with zeros to learn where the previews go, then with them.
    const auto withPreviews = [&](JpegBuilder b, size_t blockSize) {
        size_t at = blockSize;
        for (const RawPreview& p : previews) {
            const auto offset = static_cast<uint32_t>(at);
            const auto length = static_cast<uint32_t>(p.jpeg.size());
            switch (p.place) {
            case PreviewPlace::Strip:
                b.shortValue(kIfd0, 0x0103, 6).longValue(kIfd0, 0x0111, offset).longValue(kIfd0, 0x0117, length);
                break;
            case PreviewPlace::Interchange:
                b.longValue(kIfd0, 0x0201, offset).longValue(kIfd0, 0x0202, length);
                break;
            case PreviewPlace::JpgFromRaw:
                b.entry(EntryFields{kIfd0, 0x002E, kUndefined, {}, {}, {}, {}, length, offset, false});
                break;
            }
            at += p.jpeg.size();
        }
        return b.buildTiff();
    };
    std::vector<uint8_t> out = withPreviews(exif, withPreviews(exif, 0).size());
    if (out.size() >= 4) {
        Writer w(out[0] == 'I' ? ByteOrder::Little : ByteOrder::Big);
        w.bytes = out;
        w.put16(2, magic);
        out = w.bytes;
    }
    for (const RawPreview& p : previews) {
        out.insert(out.end(), p.jpeg.begin(), p.jpeg.end());
    }
    return out;
}

JpegBuilder JpegBuilder::directoryAsIfd0(Directory dir) const {
    JpegBuilder b = *this;
    b.entries_.clear();
    b.pointers_ = false;
    for (EntryFields e : entries_) {
        if (e.directory == dir) {
            e.directory = kIfd0;
            b.entries_.push_back(e);
        }
    }
    return b;
}

JpegBuilder& JpegBuilder::without(uint16_t tag) {
    std::erase_if(entries_, [tag](const EntryFields& e) { return e.tag == tag; });
    return *this;
}

namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

// An ISO-BMFF box: size (4, big-endian) | type (4) | [uuid (16)] | payload.
Bytes Box(const char* type, const Bytes& payload, const uint8_t* uuid = nullptr) {
    Writer w(ByteOrder::Big);
    w.u32(static_cast<uint32_t>(8 + (uuid != nullptr ? 16 : 0) + payload.size()));
    w.bytes.insert(w.bytes.end(), type, type + 4);
    if (uuid != nullptr) {
        w.bytes.insert(w.bytes.end(), uuid, uuid + 16);
    }
    Append(w.bytes, payload);
    return w.bytes;
}

} // namespace

Bytes BuildCr3Like(const JpegBuilder& exif, const Bytes& thumbnail, const Bytes& preview) {
    static const uint8_t canon[16] = {0x85, 0xc0, 0xb6, 0x87, 0x82, 0x0f, 0x11, 0xe0,
                                      0x81, 0x11, 0xf4, 0xce, 0x46, 0x2b, 0x6a, 0x48};
    static const uint8_t previewUuid[16] = {0xea, 0xf4, 0x2b, 0x5e, 0x1c, 0x98, 0x4b, 0x88,
                                            0xb9, 0xfb, 0xb7, 0xdc, 0x40, 0x6e, 0x4d, 0x16};
    const auto size = [](const Bytes& jpeg) {
        int width = 0, height = 0, subsampling = 0, colours = 0;
        tjhandle header = tjInitDecompress();
        tjDecompressHeader3(header, jpeg.data(), static_cast<unsigned long>(jpeg.size()), &width, &height,
                            &subsampling, &colours);
        tjDestroy(header);
        return std::pair<uint16_t, uint16_t>(static_cast<uint16_t>(width), static_cast<uint16_t>(height));
    };
    Writer ftyp(ByteOrder::Big);
    ftyp.bytes = {'c', 'r', 'x', ' ', 0, 0, 0, 1, 'c', 'r', 'x', ' ', 'i', 's', 'o', 'm'};
    Bytes canonPayload = Box("CNCV", Bytes(30, 'C'));
    Append(canonPayload, Box("CMT1", exif.directoryAsIfd0(kIfd0).buildTiff()));
    Append(canonPayload, Box("CMT2", exif.directoryAsIfd0(kExifDirectory).buildTiff()));
    if (!thumbnail.empty()) {
        Writer thmb(ByteOrder::Big);
        thmb.u32(0);  // version, flags
        thmb.u16(size(thumbnail).first), thmb.u16(size(thumbnail).second);
        thmb.u32(static_cast<uint32_t>(thumbnail.size()));
        thmb.u32(0x00010000);
        Append(thmb.bytes, thumbnail);
        Append(canonPayload, Box("THMB", thmb.bytes));
    }
    Bytes out = Box("ftyp", ftyp.bytes);
    Append(out, Box("moov", Box("uuid", canonPayload, canon)));
    if (!preview.empty()) {
        Writer prvw(ByteOrder::Big);
        prvw.u32(0), prvw.u16(1);
        prvw.u16(size(preview).first), prvw.u16(size(preview).second);
        prvw.u16(1);
        prvw.u32(static_cast<uint32_t>(preview.size()));
        Append(prvw.bytes, preview);
        Bytes uuidPayload = {0, 0, 0, 0, 0, 0, 0, 1};
        Append(uuidPayload, Box("PRVW", prvw.bytes));
        Append(out, Box("uuid", uuidPayload, previewUuid));
    }
    Append(out, Box("mdat", Bytes(256, 0x5A)));
    return out;
}

Bytes BuildRafLike(const JpegBuilder& exif, const cv::Mat& picture) {
    const Bytes jpeg = JpegBuilder(exif).picture(picture).build();
    constexpr size_t kJpegAt = 160;
    Writer w(ByteOrder::Big);
    const char* magic = "FUJIFILMCCD-RAW 0201FF383501";
    w.bytes.assign(magic, magic + 28);
    const char* name = "X-T3";
    w.bytes.insert(w.bytes.end(), name, name + 4);
    w.bytes.resize(84, 0);
    w.u32(kJpegAt), w.u32(static_cast<uint32_t>(jpeg.size()));
    w.u32(static_cast<uint32_t>(kJpegAt + jpeg.size())), w.u32(64);  // CFA header
    w.bytes.resize(kJpegAt, 0);
    Append(w.bytes, jpeg);
    w.bytes.resize(w.bytes.size() + 64, 0);
    return w.bytes;
}

Bytes BuildMrwLike(const JpegBuilder& exif) {
    const Bytes tiff = exif.buildTiff();
    Writer w(ByteOrder::Big);
    const auto block = [&w](const char* name, uint32_t length) {
        w.bytes.insert(w.bytes.end(), name, name + 4);
        w.u32(length);
    };
    block("\0MRM", static_cast<uint32_t>(8 + 24 + 8 + tiff.size()));
    block("\0PRD", 24);
    w.bytes.resize(w.bytes.size() + 24, 0);
    block("\0TTW", static_cast<uint32_t>(tiff.size()));
    Append(w.bytes, tiff);
    return w.bytes;
}

Bytes BuildOrfWithMakerNotePreview(JpegBuilder exif, const Bytes& preview) {
    constexpr uint32_t kWidth = 64, kHeight = 48;
    // The maker note: "OLYMPUS\0" "II" 03 00 | directory of one entry, 0x2020 (IFD, offset from the
    // note's start) | next (4) | CameraSettings: 0x0100 valid, 0x0101 start, 0x0102 length | next.
    // Its offsets count from the note; the preview's start is filled in once the file's size is known.
    const auto note = [&](uint32_t previewFromNote) {
        Writer w(ByteOrder::Little);
        const char* head = "OLYMPUS\0II\x03\0";
        w.bytes.assign(head, head + 12);
        w.u16(1);
        w.u16(0x2020), w.u16(13), w.u32(1), w.u32(12 + 2 + 12 + 4);
        w.u32(0);
        w.u16(3);
        w.u16(0x0100), w.u16(kLong), w.u32(1), w.u32(1);
        w.u16(0x0101), w.u16(kLong), w.u32(1), w.u32(previewFromNote);
        w.u16(0x0102), w.u16(kLong), w.u32(1), w.u32(static_cast<uint32_t>(preview.size()));
        w.u32(0);
        return w.bytes;
    };
    exif.order(ByteOrder::Little)
        .longValue(kIfd0, 0x0100, kWidth)
        .longValue(kIfd0, 0x0101, kHeight)
        .shortValue(kIfd0, 0x0102, 16)
        .shortValue(kIfd0, 0x0103, 1)
        .shortValue(kIfd0, 0x0106, 32803)
        .shortValue(kIfd0, 0x0115, 1)
        .longValue(kIfd0, 0x0111, 0)
        .longValue(kIfd0, 0x0117, kWidth * kHeight * 2);
    const auto build = [&](uint32_t strip, uint32_t previewFromNote) {
        JpegBuilder b = exif;
        b.without(0x0111).longValue(kIfd0, 0x0111, strip);
        b.entry(EntryFields{kExifDirectory, 0x927C, kUndefined, {}, {}, {}, note(previewFromNote), {}, {}, false});
        return b.buildTiff();
    };
    // Sizes do not depend on the offsets: built once to learn where the strip and the preview go.
    const Bytes first = build(0, 0);
    const auto strip = static_cast<uint32_t>(first.size());
    const uint32_t previewAt = strip + kWidth * kHeight * 2;
    // Where the note lands: found by its header in the first build.
    const char* head = "OLYMPUS\0II";
    const auto noteAt = static_cast<uint32_t>(std::search(first.begin(), first.end(), head, head + 10) - first.begin());
    Bytes out = build(strip, previewAt - noteAt);
    Writer w(ByteOrder::Little);
    w.bytes = out;
    w.put16(2, 0x4F52);
    out = w.bytes;
    out.resize(previewAt, 0x10);
    Append(out, preview);
    return out;
}

std::vector<uint8_t> EncodeJpeg(const cv::Mat& bgrOrGrey) {
    std::vector<uint8_t> bytes;
    cv::imencode(".jpg", bgrOrGrey, bytes, {cv::IMWRITE_JPEG_QUALITY, 95});
    return bytes;
}

bool HaveHeicEncoder() { return heif_have_encoder_for_format(heif_compression_HEVC) != 0; }

bool WriteHeic(const std::string& path, const cv::Mat& bgr, const std::vector<uint8_t>& tiffBlock,
               int containerOrientation, int thumbnailBox) {
    if (bgr.type() != CV_8UC3 || bgr.empty() || !HaveHeicEncoder()) {
        return false;
    }
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_image* image = nullptr;
    heif_image_handle* handle = nullptr;
    heif_encoding_options* options = heif_encoding_options_alloc();
    bool ok = heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code == heif_error_Ok &&
              heif_image_create(bgr.cols, bgr.rows, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image).code ==
                  heif_error_Ok &&
              heif_image_add_plane(image, heif_channel_interleaved, bgr.cols, bgr.rows, 8).code == heif_error_Ok;
    if (ok) {
        heif_encoder_set_lossy_quality(encoder, 90);
        int stride = 0;
        uint8_t* rows = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        cv::Mat rgb(bgr.rows, bgr.cols, CV_8UC3, rows, static_cast<size_t>(stride));
        cv::cvtColor(bgr, rgb, cv::COLOR_BGR2RGB);
        options->image_orientation = static_cast<heif_orientation>(containerOrientation);
        ok = heif_context_encode_image(context, image, encoder, options, &handle).code == heif_error_Ok;
    }
    if (ok && thumbnailBox > 0) {
        heif_image_handle* thumbnail = nullptr;
        ok = heif_context_encode_thumbnail(context, image, handle, encoder, options, thumbnailBox, &thumbnail).code ==
             heif_error_Ok;
        if (thumbnail != nullptr) {
            heif_image_handle_release(thumbnail);
        }
    }
    if (ok && !tiffBlock.empty()) {
        ok = heif_context_add_exif_metadata(context, handle, tiffBlock.data(), static_cast<int>(tiffBlock.size()))
                 .code == heif_error_Ok;
    }
    if (ok) {
        ok = heif_context_write_to_file(context, path.c_str()).code == heif_error_Ok;
    }
    if (handle != nullptr) heif_image_handle_release(handle);
    if (image != nullptr) heif_image_release(image);
    if (encoder != nullptr) heif_encoder_release(encoder);
    heif_encoding_options_free(options);
    heif_context_free(context);
    return ok;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kestory::test
