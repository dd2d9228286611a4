#pragma once

// Hostile and truncated EXIF blocks, shared by the malformed-file tests and the fuzzer's seed
// corpus. Every file is small (no picture unless said) so the fuzzer's input length stays short.

#include "tests/support/JpegBuilder.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestory::exifcases {

using Bytes = std::vector<uint8_t>;
using kestory::test::ByteOrder;
using kestory::test::EntryFields;
using kestory::test::JpegBuilder;

struct NamedFile {
    std::string name;
    Bytes bytes;
};

// File position of the TIFF header in a builder file with nothing before APP1:
// SOI (2) | FF E1 (2) | length (2) | "Exif\0\0" (6).
constexpr size_t kTiffBase = 12;
// IFD0's entry count sits right after the 8-byte TIFF header.
constexpr size_t kIfd0CountAt = kTiffBase + 8;

inline void Put16(Bytes& bytes, size_t at, uint16_t v, ByteOrder order) {
    if (order == ByteOrder::Little) {
        bytes.at(at) = static_cast<uint8_t>(v);
        bytes.at(at + 1) = static_cast<uint8_t>(v >> 8);
    } else {
        bytes.at(at) = static_cast<uint8_t>(v >> 8);
        bytes.at(at + 1) = static_cast<uint8_t>(v);
    }
}

// A standard JFIF APP0 is FF E0, length 16 and 14 payload bytes: the only segment the reader
// skips. Its payload is free, so hostile tests hide a string or a whole directory in it.
inline Bytes App0Payload(const Bytes& content) {
    Bytes payload(14, 0);
    for (size_t i = 0; i < content.size() && i < payload.size(); ++i)
        payload[i] = content[i];
    return payload;
}

// One 16-byte APP0 whose payload starts at file position 6, then APP1: the TIFF header is at
// 2 + 18 + 10 = 30. An offset of 2^32 - 30 + 6 lands on the payload only if the offset is taken
// as signed, or the sum is cut to 32 bits.
constexpr uint32_t kPayloadAt = 6;
constexpr uint32_t kTiffBaseAfterApp0 = 30;
constexpr uint32_t kWrapToPayload = 0xFFFFFFFFu - kTiffBaseAfterApp0 + kPayloadAt + 1;

inline JpegBuilder CameraBlock(ByteOrder order) {
    JpegBuilder b = kestory::test::CameraLikeJpeg(order);
    b.noPicture();
    return b;
}

inline EntryFields Ascii(uint16_t tag, const std::string& text) {
    EntryFields e;
    e.directory = kestory::test::kIfd0, e.tag = tag, e.type = kestory::test::kAscii, e.ascii = text;
    return e;
}

inline EntryFields Rationals(kestory::test::Directory dir, uint16_t tag, uint16_t type,
                           std::vector<std::pair<uint32_t, uint32_t>> values) {
    EntryFields e;
    e.directory = dir, e.tag = tag, e.type = type, e.rationals = std::move(values);
    return e;
}

// The named malformed files, each in the given byte order.
inline std::vector<NamedFile> MalformedFiles(ByteOrder order) {
    using namespace kestory::test;
    std::vector<NamedFile> files;
    const auto add = [&](const std::string& name, Bytes bytes) { files.push_back({name, std::move(bytes)}); };

    {
        EntryFields e = Rationals(kExifDirectory, 0xA500, kRational, {{28, 10}, {1, 2}, {3, 4}});
        e.countOverride = 0xFFFFFFFFu;
        add("rational-count-ffffffff", CameraBlock(order).entry(e).build());
    }
    {
        EntryFields ascii = Ascii(0x0131, "past the end of the file");
        ascii.valueFieldOverride = 0x7FFFFFF0u;
        EntryFields rational = Rationals(kExifDirectory, 0x829A, kRational, {{1, 60}});
        rational.valueFieldOverride = 0xFFFFFFF0u;
        add("offsets-past-end", JpegBuilder().order(order).noPicture().entry(ascii).entry(rational).build());
    }
    {
        JpegBuilder b;
        b.order(order).noPicture().automaticPointers(false).make("Nikon");
        b.longValue(kIfd0, 0x8769, 0xFFFFFF00u).longValue(kIfd0, 0x8825, 0xFFFFFFFFu);
        add("pointers-past-end", b.build());
    }
    {
        // Each offset wraps to the APP0 payload at position 6: a string, a rational and, for the
        // Exif pointer, a one-entry directory (count 1, then 0x829A SHORT 1 = 42).
        const Bytes directory = order == ByteOrder::Little
                                    ? Bytes{1, 0, 0x9A, 0x82, 3, 0, 1, 0, 0, 0, 42, 0, 0, 0}
                                    : Bytes{0, 1, 0x82, 0x9A, 0, 3, 0, 0, 0, 1, 0, 42, 0, 0};
        for (const auto& [name, payload] :
             {std::pair<std::string, Bytes>{
                  "string", {'W', 'R', 'A', 'P', 'P', 'E', 'D', '-', 'T', 'E', 'X', 'T', 0, 0}},
              std::pair<std::string, Bytes>{"directory", directory}}) {
            EntryFields ascii = Ascii(0x0131, "twelve chars");
            ascii.valueFieldOverride = kWrapToPayload;
            EntryFields rational = Rationals(kIfd0, 0x829D, kRational, {{1, 1}});
            rational.valueFieldOverride = kWrapToPayload;
            JpegBuilder b;
            b.order(order).noPicture().automaticPointers(false).segmentBeforeApp1(0xE0, App0Payload(payload));
            b.entry(ascii).entry(rational).longValue(kIfd0, 0x8769, kWrapToPayload);
            add("offsets-wrap-to-app0-" + name, b.build());
        }
    }
    {
        Bytes bytes = CameraBlock(order).build();
        Put16(bytes, kIfd0CountAt, 0x7FFF, order);
        add("entry-count-past-end", bytes);
        Put16(bytes, kIfd0CountAt, 0x8001, order);
        add("entry-count-top-bit", bytes);
    }
    {
        EntryFields none = Ascii(0x010F, "Canon");
        none.countOverride = 0;
        EntryFields huge = Ascii(0x0110, "Canon EOS 5D");
        huge.countOverride = 0xFFFFFFFFu;
        add("ascii-count-0-and-ffffffff",
            JpegBuilder().order(order).noPicture().entry(none).entry(huge).build());
    }
    {
        // Inline (4 bytes) and in the data area, each directly followed by other bytes.
        EntryFields inlineText = Ascii(0x010F, "ABCD");
        inlineText.omitAsciiTerminator = true;
        EntryFields longText = Ascii(0x0110, "Canon EOS5");
        longText.omitAsciiTerminator = true;
        add("ascii-without-terminator", JpegBuilder()
                                            .order(order)
                                            .noPicture()
                                            .entry(inlineText)
                                            .entry(longText)
                                            .entry(Ascii(0x0131, "FOLLOWS"))
                                            .build());
    }
    add("ascii-count-above-8192",
        JpegBuilder().order(order).noPicture().entry(Ascii(0x0110, std::string(9000, 'M'))).build());
    add("app1-length-0", CameraBlock(order).app1LengthOverride(0).build());
    add("app1-length-1", CameraBlock(order).app1LengthOverride(1).build());
    {
        // IFD0 sits at TIFF offset 8; both pointers send the reader back there.
        JpegBuilder b;
        b.order(order).noPicture().automaticPointers(false).make("Pentax").orientation(3);
        b.longValue(kIfd0, 0x8769, 8).longValue(kIfd0, 0x8825, 8);
        add("pointers-at-ifd0", b.build());
    }
    add("zero-denominators",
        JpegBuilder().order(order).noPicture().exposureTime(1, 0).fNumber(28, 0).isoSpeed(100).build());
    add("int32-min-over-minus-one", JpegBuilder()
                                        .order(order)
                                        .noPicture()
                                        .exposureTime(0x80000000u, 0xFFFFFFFFu)
                                        .fNumber(0x80000000u, 0xFFFFFFFFu)
                                        .isoSpeed(100)
                                        .srational(kExifDirectory, 0x9204, INT32_MIN, -1)
                                        .build());
    {
        JpegBuilder b = CameraBlock(order);
        for (int i = 0; i < 100; ++i)
            b.segmentBeforeApp1(0xE0, App0Payload({'J', 'F', 'I', 'F', 0}));
        add("hundred-app0-then-app1", b.build());
    }
    return files;
}

} // namespace kestory::exifcases
