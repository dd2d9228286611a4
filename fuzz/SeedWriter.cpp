// kestory-fuzz-seeds FOLDER [TIFF-FOLDER]: writes the EXIF fuzzer's starting corpus into FOLDER
// (created when missing). Ordinary camera blocks in both byte orders, the variants the reader
// treats specially, truncations, every named malformed file, and the picture bombs (their EXIF
// blocks are camera-like). With TIFF-FOLDER, the TIFF fuzzer's: the same blocks bare, from their
// TIFF header on, and raw-like files with previews, in both byte orders and with the .orf and .rw2
// header numbers.

#include "fuzz/ExifCases.h"
#include "tests/support/JpegBuilder.h"
#include "tools/ToolArgs.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

using namespace kestory::test;
using namespace kestory::exifcases;

namespace {

std::vector<NamedFile> Seeds() {
    std::vector<NamedFile> seeds;
    for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        const std::string suffix = order == ByteOrder::Little ? "-ii" : "-mm";
        const auto add = [&](const std::string& name, Bytes bytes) {
            seeds.push_back({name + suffix, std::move(bytes)});
        };
        const Bytes camera = CameraBlock(order).build();
        add("camera", camera);
        add("camera-jfif", CameraBlock(order).jfifApp0().build());
        add("camera-picture", CameraLikeJpeg(order).patternPicture(8, 8).build());
        // A camera's embedded pictures: an EXIF thumbnail in IFD1 and an MPF preview after EOI.
        add("camera-embedded", WithMpfPreview(CameraLikeJpeg(order)
                                                   .patternPicture(32, 24)
                                                   .exifThumbnail(EncodeJpeg(PatternPicture(16, 12)))
                                                   .build(),
                                               EncodeJpeg(PatternPicture(24, 16)), order));
        // An MPF image of no bytes: it once had the checked read copy from a null buffer.
        add("camera-mpf-empty", WithMpfPreview(CameraLikeJpeg(order).patternPicture(32, 24).build(), {}, order));
        add("gps",
            CameraBlock(order)
                .entry(EntryFields{kGpsDirectory, 0x0000, kByte, {2, 2, 0, 0}, {}, {}, {}, {}, {}, false})
                .ascii(kGpsDirectory, 0x0001, "N")
                .entry(Rationals(kGpsDirectory, 0x0002, kRational, {{35, 1}, {40, 1}, {1234, 100}}))
                .build());
        add("long-ascii",
            JpegBuilder().order(order).noPicture().entry(Ascii(0x010E, std::string(300, 'd'))).build());
        std::vector<std::pair<uint32_t, uint32_t>> many;
        for (uint32_t i = 1; i <= 12; ++i)
            many.emplace_back(i, i + 1);
        add("many-rationals",
            CameraBlock(order).entry(Rationals(kExifDirectory, 0x920A, kRational, many)).build());
        add("short-make", JpegBuilder().order(order).noPicture().make("DJI").isoSpeed(51200).build());
        for (size_t cut : {size_t{4}, size_t{16}, size_t{24}, camera.size() / 3, camera.size() / 2,
                           camera.size() * 2 / 3, camera.size() - 2}) {
            add("camera-cut-" + std::to_string(cut),
                Bytes(camera.begin(), camera.begin() + static_cast<long>(cut)));
        }
        for (NamedFile& file : MalformedFiles(order))
            add(file.name, std::move(file.bytes));
        // The raw containers the reader walks to their TIFF blocks, whole and cut inside the walk.
        const Bytes cr3 = BuildCr3Like(CameraBlock(order), EncodeJpeg(PatternPicture(8, 8)),
                                       EncodeJpeg(PatternPicture(16, 8)));
        add("cr3", cr3);
        add("cr3-cut", Bytes(cr3.begin(), cr3.begin() + static_cast<long>(cr3.size() / 3)));
        add("mrw", BuildMrwLike(CameraBlock(order)));
    }
    seeds.push_back({"raf", BuildRafLike(CameraBlock(ByteOrder::Big), PatternPicture(16, 8))});
    for (NamedBytes& bomb : PictureBombs())
        seeds.push_back({"picture-bomb-" + bomb.name, std::move(bomb.bytes)});
    return seeds;
}

std::vector<NamedFile> TiffSeeds() {
    std::vector<NamedFile> seeds;
    // A block inside APP1 right after SOI: FF D8 | FF E1 | length (2) | "Exif\0\0" | TIFF header.
    constexpr size_t kBlockAt = 12;
    for (NamedFile& seed : Seeds()) {
        if (seed.bytes.size() > kBlockAt && seed.bytes[2] == 0xFF && seed.bytes[3] == 0xE1 &&
            seed.name.rfind("picture-bomb", 0) != 0) {
            seeds.push_back({"block-" + seed.name, Bytes(seed.bytes.begin() + kBlockAt, seed.bytes.end())});
        }
    }
    const Bytes preview = EncodeJpeg(PatternPicture(16, 8));
    const Bytes thumbnail = EncodeJpeg(PatternPicture(8, 8, true));
    for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
        const std::string suffix = order == ByteOrder::Little ? "-ii" : "-mm";
        const std::vector<RawPreview> both = {{PreviewPlace::Interchange, thumbnail}, {PreviewPlace::Strip, preview}};
        seeds.push_back({"raw" + suffix, BuildRawLike(CameraBlock(order), both)});
        seeds.push_back({"orf" + suffix, BuildRawLike(CameraBlock(order), both, 0x4F52)});
        JpegBuilder subIfd = CameraBlock(order);
        subIfd.longValue(kIfd0, 0x014A, 8);
        seeds.push_back({"subifd-loop" + suffix, BuildRawLike(subIfd, {{PreviewPlace::Strip, preview}})});
    }
    seeds.push_back({"rw2", BuildRawLike(CameraBlock(ByteOrder::Little), {{PreviewPlace::JpgFromRaw, preview}}, 0x0055)});
    return seeds;
}

bool WriteSeeds(const std::filesystem::path& folder, const std::vector<NamedFile>& seeds, const char* extension) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "kestory-fuzz-seeds: cannot create %s: %s\n", folder.c_str(), error.message().c_str());
        return false;
    }
    for (const NamedFile& seed : seeds) {
        const std::filesystem::path file = folder / (seed.name + extension);
        if (!WriteBytes(file.string(), seed.bytes)) {
            std::fprintf(stderr, "kestory-fuzz-seeds: cannot write %s\n", file.c_str());
            return false;
        }
    }
    std::printf("%zu seeds written to %s\n", seeds.size(), folder.c_str());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> operands;
    if (const auto done = kestory::tools::ParseToolArgs(
            argc, argv,
            "usage: kestory-fuzz-seeds [--] FOLDER [TIFF-FOLDER]\n"
            "Writes the EXIF fuzzer's starting corpus into FOLDER and the TIFF fuzzer's into\n"
            "TIFF-FOLDER (each created when missing).\n",
            1, 2, operands)) {
        return *done;
    }
    if (!WriteSeeds(operands[0], Seeds(), ".jpg")) {
        return 1;
    }
    if (operands.size() == 2 && !WriteSeeds(operands[1], TiffSeeds(), ".tif")) {
        return 1;
    }
    return 0;
}
