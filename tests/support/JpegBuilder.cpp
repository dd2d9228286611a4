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

    Writer w(order_);
    if (order_ == ByteOrder::Little) {
        w.u8('I'), w.u8('I');
    } else {
        w.u8('M'), w.u8('M');
    }
    w.u16(42);
    w.u32(8);
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
    return w.bytes;
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
