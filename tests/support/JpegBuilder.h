#pragma once

#include <opencv2/core/mat.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestory::test {

enum class ByteOrder { Little, Big };  // TIFF mark II or MM

enum Directory : int { kIfd0 = 0, kExifDirectory = 1, kGpsDirectory = 2 };

enum TiffType : uint16_t {
    kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kUndefined = 7, kSLong = 9, kSRational = 10,
};

// One directory entry to write. Values are logical; the builder lays them out in the chosen byte
// order, inline when they fit in 4 bytes, otherwise in a data area after the directories.
struct EntryFields {
    Directory directory = kIfd0;
    uint16_t tag = 0;
    uint16_t type = kShort;
    std::vector<uint32_t> numbers;                          // SHORT, LONG, SLONG (as bits), BYTE
    std::vector<std::pair<uint32_t, uint32_t>> rationals;  // RATIONAL, SRATIONAL (as bits)
    std::string ascii;                                      // ASCII: written with its zero byte
    std::vector<uint8_t> bytes;                             // UNDEFINED and raw data
    std::optional<uint32_t> countOverride;                  // stored count instead of the real one
    std::optional<uint32_t> valueFieldOverride;             // stored 4-byte value field, as a number
    bool omitAsciiTerminator = false;
};

// Writes JPEG files with chosen EXIF entries, for tests, samples and fuzzer seeds.
class JpegBuilder {
public:
    JpegBuilder& order(ByteOrder order);
    JpegBuilder& jfifApp0(bool present = true);                        // 16-byte JFIF APP0 first
    JpegBuilder& segmentBeforeApp1(uint8_t marker, std::vector<uint8_t> payload);
    JpegBuilder& noExif();                                             // no APP1 at all
    JpegBuilder& app1LengthOverride(uint16_t length);
    JpegBuilder& picture(const cv::Mat& bgrOrGrey);
    JpegBuilder& patternPicture(int width, int height, bool grey = false);
    JpegBuilder& noPicture();                                          // only the EXIF part, then EOI
    JpegBuilder& encodedPicture(std::vector<uint8_t> jpeg);  // these JPEG bytes after our segments
    JpegBuilder& automaticPointers(bool on);  // add 0x8769 / 0x8825 when those directories have entries
    // An IFD1 after IFD0 (Compression 6, JPEGInterchangeFormat and its length) holding this JPEG.
    JpegBuilder& exifThumbnail(std::vector<uint8_t> jpeg);

    JpegBuilder& entry(EntryFields fields);
    JpegBuilder& ascii(Directory dir, uint16_t tag, const std::string& text);
    JpegBuilder& shortValue(Directory dir, uint16_t tag, uint16_t value);
    JpegBuilder& longValue(Directory dir, uint16_t tag, uint32_t value);
    JpegBuilder& rational(Directory dir, uint16_t tag, uint32_t numerator, uint32_t denominator);
    JpegBuilder& srational(Directory dir, uint16_t tag, int32_t numerator, int32_t denominator);

    // The usual camera entries.
    JpegBuilder& exposureTime(uint32_t numerator, uint32_t denominator);  // 0x829A, Exif directory
    JpegBuilder& fNumber(uint32_t numerator, uint32_t denominator);       // 0x829D, Exif directory
    JpegBuilder& isoSpeed(uint16_t iso);                                   // 0x8827, Exif directory
    JpegBuilder& orientation(uint16_t value);                             // 0x0112, IFD0
    JpegBuilder& make(const std::string& text);                           // 0x010F, IFD0
    JpegBuilder& model(const std::string& text);                          // 0x0110, IFD0

    // Only the entries of one directory, written as IFD0 without pointers (a CR3's CMT2 block holds
    // the Exif directory so), and the builder without the entries of a tag.
    JpegBuilder directoryAsIfd0(Directory dir) const;
    JpegBuilder& without(uint16_t tag);

    std::vector<uint8_t> build() const;
    // The TIFF block alone (what follows "Exif\0\0"), for offset arithmetic in tests.
    std::vector<uint8_t> buildTiff() const;
    bool writeTo(const std::string& path) const;

private:
    ByteOrder order_ = ByteOrder::Little;
    bool jfif_ = false;
    bool exif_ = true;
    bool pointers_ = true;
    std::optional<uint16_t> app1Length_;
    std::vector<std::pair<uint8_t, std::vector<uint8_t>>> before_;
    std::vector<EntryFields> entries_;
    cv::Mat picture_;
    std::vector<uint8_t> encoded_;
    std::vector<uint8_t> thumbnail_;
    bool pictureSet_ = false;
    bool noPicture_ = false;
};

// A picture whose every pixel tells where it was: blue rises left to right, green top to bottom,
// red is fixed at 64 (grey: a mix that rises in both directions). Shows which way it was turned.
cv::Mat PatternPicture(int width, int height, bool grey = false);

// The photo with an APP2 MPF index after its APP1 listing it and the preview, which follows the
// photo's EOI, as cameras store their large previews.
std::vector<uint8_t> WithMpfPreview(const std::vector<uint8_t>& photo, const std::vector<uint8_t>& preview,
                                    ByteOrder order = ByteOrder::Little);

// A camera-like file: F-number, exposure time, ISO, make, model, date and a few enumerations.
JpegBuilder CameraLikeJpeg(ByteOrder order = ByteOrder::Little);

// A CMYK picture (4 channels, C M Y K) as libjpeg-turbo writes it: YCCK with Adobe's inverted
// values, 4:4:4, quality 90, baseline or progressive. Empty on failure.
std::vector<uint8_t> EncodeCmykJpeg(const cv::Mat& cmyk, bool progressive = false);

// The JPEG with its first frame header (SOF0 to SOF15) rewritten: FF Cn, length (2), precision (1),
// lines (2), samples per line (2). Unchanged when there is none.
std::vector<uint8_t> WithFrameHeader(std::vector<uint8_t> jpeg, int precision, int height, int width);

// The JPEG with its last scan (from its SOS marker up to EOI) written `copies` more times.
std::vector<uint8_t> WithLastScanRepeated(std::vector<uint8_t> jpeg, int copies);

// Camera-like files whose pictures claim far more than their bytes hold: a frame header of
// 32767 x 32767 over a few kilobytes of progressive scans (colour, CMYK), and 2000 tiny scans.
struct NamedBytes {
    std::string name;
    std::vector<uint8_t> bytes;
};
std::vector<NamedBytes> PictureBombs();

// A TIFF-based raw file as cameras write one: the builder's TIFF block (IFD0, Exif, GPS) is the
// file itself, its header's 42 replaced by magic (0x4F52 .orf, 0x0055 .rw2), and JPEG previews
// follow it, named in IFD0 by where they sit: a single strip of compression 6 (StripOffsets,
// StripByteCounts), JPEGInterchangeFormat and its length, or Panasonic's JpgFromRaw (0x002E).
enum class PreviewPlace { Strip, Interchange, JpgFromRaw };
struct RawPreview {
    PreviewPlace place = PreviewPlace::Strip;
    std::vector<uint8_t> jpeg;
};
std::vector<uint8_t> BuildRawLike(JpegBuilder exif, const std::vector<RawPreview>& previews, uint16_t magic = 42);

// A Canon .CR3 as the camera lays it out (see photo/Cr3Boxes.h): ftyp "crx ", moov holding the Canon
// uuid box with CMT1 (the builder's IFD0), CMT2 (its Exif directory) and THMB (thumbnail), then
// the preview uuid box with PRVW (preview) and an mdat of filler. An empty JPEG leaves its box out.
std::vector<uint8_t> BuildCr3Like(const JpegBuilder& exif, const std::vector<uint8_t>& thumbnail,
                                  const std::vector<uint8_t>& preview);

// A Fujifilm .RAF: its header naming the JPEG (the builder's block in APP1 over the picture) at
// 160, then a CFA area of filler.
std::vector<uint8_t> BuildRafLike(const JpegBuilder& exif, const cv::Mat& picture);

// A Minolta .MRW's blocks: 00 "MRM" over a sensor block ("\0PRD", zeros) and the builder's TIFF
// block ("\0TTW"). No picture: Minolta keeps its preview in the maker note.
std::vector<uint8_t> BuildMrwLike(const JpegBuilder& exif);

// An Olympus .ORF as LibRaw identifies one: IFD0 with a 16-bit 64 x 48 uncompressed strip, the
// builder's Exif directory with an Olympus maker note ("OLYMPUS\0" "II" 03 00, offsets from the
// note's start) whose CameraSettings directory (0x2020) names the preview (0x0101 start, 0x0102
// length); the preview follows. Little-endian.
std::vector<uint8_t> BuildOrfWithMakerNotePreview(JpegBuilder exif, const std::vector<uint8_t>& preview);

// The picture as a baseline JPEG of quality 95, no EXIF.
std::vector<uint8_t> EncodeJpeg(const cv::Mat& bgrOrGrey);

// A HEIF file written with libheif's HEVC encoder (x265): the picture (8-bit BGR), the EXIF block
// (a bare TIFF block, as buildTiff makes it) as its Exif item when not empty, the container's own
// turn (1 to 8, as the EXIF orientation numbers it: libheif writes irot and imir for it), and a
// thumbnail picture fitted into thumbnailBox x thumbnailBox when that is not 0. False when the
// library has no HEVC encoder or the write fails.
bool WriteHeic(const std::string& path, const cv::Mat& bgr, const std::vector<uint8_t>& tiffBlock,
               int containerOrientation = 1, int thumbnailBox = 0);
bool HaveHeicEncoder();

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);

}  // namespace kestory::test
