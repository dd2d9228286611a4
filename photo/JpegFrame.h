#pragma once

#include <cstddef>
#include <cstdint>

// What the frame header (SOFn) of a JPEG stream, and the first scan header (SOS) after it, say
// about the picture.
struct JpegFrame {
    uint8_t marker = 0;     // 0xC0 to 0xCF, not 0xC4 (DHT), 0xC8 (JPG) or 0xCC (DAC)
    uint8_t precision = 0;  // bits per sample: 8 for every camera file, 12 or 16 elsewhere
    uint16_t width = 0;     // samples per line
    uint16_t height = 0;    // lines; 0 when a DNL segment after the first scan gives them
    uint8_t components = 0; // 1 grey, 3 YCbCr or RGB, 4 CMYK or YCCK
    // Sampling factors of the first four components, horizontal in the high nibble, vertical in
    // the low one (0x22 0x11 0x11 is 4:2:0 colour).
    uint8_t sampling[4] = {};
    uint8_t scanComponents = 0; // components of the first scan; 0 when no scan header follows
    size_t scanDataAt = 0;      // file position of the first scan's entropy-coded data; 0 likewise

    // SOF2, SOF6, SOF10, SOF14: every coefficient of the picture is kept until the last scan.
    bool Progressive() const { return (marker & 0x03) == 0x02; }
};

// Walks the markers from SOI to the first frame header, then on to the first scan header when
// there is one. False when the bytes do not begin with SOI, a segment before the frame header runs
// past the end, something other than a marker stands between those segments, or a scan or EOI
// comes before any frame header. Every read is checked against size first.
bool ReadJpegFrame(const uint8_t* data, size_t size, JpegFrame& frame);

// The most memory one picture decode may take, in bytes. The largest 200 MP photo (16384 x 12288,
// 4:2:0, progressive) decoded at full size needs 1.13 GiB: its coefficients and its BGR rows.
constexpr uint64_t kJpegDecodeBudget = uint64_t{1280} << 20;

// What decoding the frame at 1/denominator takes, in bytes: the decoded rows (grey 1 byte a pixel,
// colour 3, CMYK 4 and the 3 of its BGR conversion), and, for a progressive picture or one whose
// first scan does not hold every component, every DCT coefficient of the whole picture at full
// size (64 of 2 bytes a block, blocks counted in whole MCUs). 0 for a frame no decode could read
// (no size, another component count, a sampling factor outside 1 to 4).
uint64_t JpegDecodeMemory(const JpegFrame& frame, int denominator);

// Whether a file of fileSize bytes with this frame may be decoded at 1/denominator: within
// kJpegDecodeBudget, and with at least one byte of entropy-coded data per 64 blocks. Each block's
// DC difference takes a bit at least in every Huffman-coded picture, whole or progressive, so a
// whole file has eight times that; a picture claiming more blocks than its bytes could hold costs
// the decoder the work and memory of the claimed size all the same.
bool JpegDecodeFits(const JpegFrame& frame, size_t fileSize, int denominator);
