// kestory-make-corpus: writes camera-sized JPEGs with EXIF for the import benchmarks, noisy so
// that they decode as slowly as camera files do (NoisyPhoto).

#include "bench/NoisyPhoto.h"
#include "tests/support/JpegBuilder.h"
#include "tools/ToolArgs.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage = "usage: kestory-make-corpus [--embedded] [--] FOLDER COUNT [WIDTH HEIGHT]\n"
                               "Writes COUNT noisy camera-sized JPEG photos (WIDTH x HEIGHT, at least\n"
                               "16 x 16) with EXIF into FOLDER (created when missing). --embedded: each\n"
                               "with a 160 x 120 EXIF thumbnail, every other one with a 1620 x 1080 MPF\n"
                               "preview too, as cameras write them.\n";

// The 160 x 120 thumbnail of a camera, the photo letterboxed into it in black.
std::vector<uint8_t> ExifThumbnail(const cv::Mat& picture) {
    const int rows = std::clamp(160 * picture.rows / picture.cols, 1, 120);
    cv::Mat thumb(120, 160, CV_8UC3, cv::Scalar::all(0));
    cv::resize(picture, thumb(cv::Rect(0, (120 - rows) / 2, 160, rows)), cv::Size(160, rows), 0, 0, cv::INTER_AREA);
    return kestory::test::EncodeJpeg(thumb);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> operands;
    std::vector<char*> args(argv, argv + argc);
    const auto flag = std::find_if(args.begin() + 1, args.end(), [](const char* a) { return std::strcmp(a, "--embedded") == 0; });
    const bool embedded = flag != args.end();
    if (embedded) {
        args.erase(flag);
    }
    argc = static_cast<int>(args.size());
    argv = args.data();
    if (const auto done = kestory::tools::ParseToolArgs(argc, argv, kUsage, 2, 4, operands)) {
        return *done;
    }
    if (operands.size() == 3) {
        std::fputs(kUsage, stderr);
        return kestory::tools::kExitUsage;
    }
    const std::filesystem::path folder = operands[0];
    const int count = std::atoi(operands[1].c_str());
    const int width = operands.size() == 4 ? std::atoi(operands[2].c_str()) : kestory::bench::kCameraWidth;
    const int height = operands.size() == 4 ? std::atoi(operands[3].c_str()) : kestory::bench::kCameraHeight;
    if (count < 1 || width < 16 || height < 16) {
        std::fputs(kUsage, stderr);
        return kestory::tools::kExitUsage;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);

    // Exposure data varies from file to file so the photos spread over the chart.
    static const int kSpeeds[] = {30, 60, 125, 250, 500, 1000, 2000};
    static const int kApertures[] = {28, 40, 56, 80, 110, 160};
    static const int kIsos[] = {100, 200, 400, 800, 1600};
    // One picture, re-seeded every few files: generating 27 MP of grain costs as much as encoding it.
    cv::Mat picture;
    std::vector<uint8_t> thumbnail;
    std::vector<uint8_t> preview;
    for (int i = 0; i < count; ++i) {
        if (i % 8 == 0) {
            picture = kestory::bench::NoisyPhoto(width, height, i);
            if (embedded) {
                thumbnail = ExifThumbnail(picture);
                cv::Mat scaled;
                cv::resize(picture, scaled, cv::Size(1620, std::max(1, 1620 * height / width)), 0, 0, cv::INTER_AREA);
                preview = kestory::test::EncodeJpeg(scaled);
            }
        }
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04d.JPG", i + 1);
        // The entries of a camera file, with this file's exposure (CameraLikeJpeg's are fixed).
        kestory::test::JpegBuilder builder;
        builder.make("Canon")
            .model("Canon EOS 5D Mark II")
            .orientation(1)
            .exposureTime(1, static_cast<uint32_t>(kSpeeds[i % 7]))
            .fNumber(static_cast<uint32_t>(kApertures[(i / 7) % 6]), 10)
            .shortValue(kestory::test::kExifDirectory, 0x8822, 3)
            .isoSpeed(static_cast<uint16_t>(kIsos[i % 5]))
            .ascii(kestory::test::kExifDirectory, 0x9003, "2011:01:02 03:04:05")
            .shortValue(kestory::test::kExifDirectory, 0x9207, 5)
            .rational(kestory::test::kExifDirectory, 0x920A, 50, 1)
            .longValue(kestory::test::kExifDirectory, 0xA002, static_cast<uint32_t>(width))
            .longValue(kestory::test::kExifDirectory, 0xA003, static_cast<uint32_t>(height))
            .picture(picture);
        if (embedded) {
            builder.exifThumbnail(thumbnail);
        }
        const std::vector<uint8_t> bytes =
            embedded && i % 2 == 1 ? kestory::test::WithMpfPreview(builder.build(), preview) : builder.build();
        if (!kestory::test::WriteBytes((folder / name).string(), bytes)) {
            std::fprintf(stderr, "kestory-make-corpus: cannot write %s\n", (folder / name).c_str());
            return 1;
        }
    }
    return 0;
}
