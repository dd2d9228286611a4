// kestory-make-samples <folder>: writes sample photos with varied exposure data into the folder
// (created when missing), then loads each one back the way an import does and lists the result.

#include "photo/CExifAnalize.h"
#include "photo/PhotoItem.h"
#include "tests/support/JpegBuilder.h"
#include "tools/ToolArgs.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace {

using namespace kestory::test;

struct Fraction {
    uint32_t num;
    uint32_t den;
};

struct Camera {
    const char* make;
    const char* model;
    const char* lens; // nullptr: no lens model entry
};

constexpr int kLongSide = 640;
constexpr int kShortSide = 427;
constexpr int kPhotoCount = 56;

const Fraction kApertures[] = {{14, 10}, {18, 10}, {2, 1},   {25, 10}, {28, 10}, {35, 10}, {4, 1},
                               {45, 10}, {56, 10}, {63, 10}, {71, 10}, {8, 1},   {9, 1},   {10, 1},
                               {11, 1},  {13, 1},  {16, 1},  {18, 1},  {22, 1},  {32, 1}};
const Fraction kTimes[] = {{30, 1},   {15, 1},   {8, 1},    {4, 1},   {25, 10},   {2, 1},
                           {13, 10},  {1, 1},    {5, 10},   {3, 10},  {1, 4},     {1, 8},
                           {1, 15},   {1, 30},   {1, 60},   {1, 125}, {10, 2500}, {1, 500},
                           {1, 1000}, {1, 2000}, {1, 4000}, {1, 8000}};
// 0: the photo carries no ISOSpeedRatings entry.
const uint16_t kIsoSpeeds[] = {50, 100, 200, 400, 800, 1600, 3200, 6400, 12800, 25600, 51200, 0};
const uint16_t kOrientations[] = {1, 6, 1, 8, 1, 3, 1};
const Camera kCameras[] = {
    {"Canon", "Canon EOS 5D Mark II", "EF24-105mm f/4L IS USM"},
    {"NIKON CORPORATION", "NIKON D800", nullptr},
    {"FUJIFILM", "X-T2", "XF35mmF1.4 R"},
    {"PENTAX, RICOH IMAGING", "PENTAX K-1", nullptr},       // a maker with a comma, for the CSV file
    {"SAMPLE CAMERA", "\x83\x4a\x83\x81\x83\x89", nullptr}, // a model in code page 932 bytes: カメラ
    {"OLYMPUS IMAGING CORP.", "E-M5", "OLYMPUS M.12-40mm F2.8"},
    {"SONY", "ILCE-7M3", "FE 85mm F1.8"},
};
const std::pair<int32_t, int32_t> kBiases[] = {{0, 1}, {1, 3},  {-1, 3}, {2, 3}, {-2, 3},
                                               {1, 1}, {-1, 1}, {0, 3},  {5, 3}};
const Fraction kFocalLengths[] = {{24, 1},    {35, 1}, {50, 1},  {85, 1},  {185, 10},
                                  {2000, 10}, {70, 1}, {135, 1}, {105, 10}};
const uint16_t kMeteringModes[] = {1, 2, 3, 4, 5, 6, 255, 0};
const uint16_t kLightSources[] = {0, 1, 2, 3, 17, 21, 255, 4};
const uint16_t kFlashes[] = {0x10, 0x19, 0x18, 0x00};
const uint16_t kColorSpaces[] = {1, 2, 0xFFFF};

template <typename T, size_t N> const T& Pick(const T (&values)[N], int index) {
    return values[static_cast<size_t>(index) % N];
}

std::string FractionText(Fraction f) {
    if (f.den == 1) {
        return std::to_string(f.num);
    }
    if (f.den % f.num == 0) {
        return "1/" + std::to_string(f.den / f.num);
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(f.num) / f.den);
    return text;
}

// An upright picture of width x height: a gradient in a hue of its own, with the sample number
// and its exposure written on it, so every photo is told apart at thumbnail size.
cv::Mat Scene(int number, int width, int height, const std::string& caption, bool grey) {
    cv::Mat hsv(height, width, CV_8UC3);
    const int baseHue = (number * 47) % 180;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto hue = static_cast<uint8_t>((baseHue + x * 40 / width) % 180);
            const auto saturation = static_cast<uint8_t>(140 + 100 * y / height);
            const auto brightness = static_cast<uint8_t>(255 - 120 * y / height);
            hsv.at<cv::Vec3b>(y, x) = cv::Vec3b(hue, saturation, brightness);
        }
    }
    cv::Mat bgr;
    cv::cvtColor(hsv, bgr, cv::COLOR_HSV2BGR);
    cv::circle(bgr, {width * (1 + number % 3) / 4, height / 3}, height / 6, cv::Scalar(255, 255, 255),
               cv::FILLED);
    const std::string label = std::to_string(number);
    for (const auto& [colour, thickness] :
         {std::pair{cv::Scalar(0, 0, 0), 14}, std::pair{cv::Scalar(255, 255, 255), 6}}) {
        cv::putText(bgr, label, {width / 10, height * 3 / 4}, cv::FONT_HERSHEY_SIMPLEX, 5.0, colour,
                    thickness, cv::LINE_AA);
        cv::putText(bgr, caption, {width / 10, height * 9 / 10}, cv::FONT_HERSHEY_SIMPLEX, 0.9, colour,
                    thickness / 3, cv::LINE_AA);
    }
    if (grey) {
        cv::Mat g;
        cv::cvtColor(bgr, g, cv::COLOR_BGR2GRAY);
        return g;
    }
    return bgr;
}

// The picture as the camera stores it: turned the opposite way to the orientation's correction.
cv::Mat AsStored(const cv::Mat& upright, uint16_t orientation) {
    cv::Mat stored;
    switch (orientation) {
    case 3:
        cv::rotate(upright, stored, cv::ROTATE_180);
        break;
    case 6:
        cv::rotate(upright, stored, cv::ROTATE_90_COUNTERCLOCKWISE);
        break;
    case 8:
        cv::rotate(upright, stored, cv::ROTATE_90_CLOCKWISE);
        break;
    default:
        stored = upright;
        break;
    }
    return stored;
}

JpegBuilder Photo(int number, cv::Mat* storedPicture = nullptr) {
    const Fraction aperture = Pick(kApertures, number);
    const Fraction time = Pick(kTimes, number * 7 + 3);
    const uint16_t iso = Pick(kIsoSpeeds, number * 5 + 1);
    const uint16_t orientation = Pick(kOrientations, number);
    const Camera& camera = Pick(kCameras, number);
    const bool grey = number % 17 == 9;
    const bool portrait = orientation == 6 || orientation == 8;

    // Appended piece by piece: GCC 12 at -O3 reports "F" + std::string as an overlapping copy
    // (a false -Wrestrict).
    std::string caption = "F";
    caption += FractionText(aperture);
    caption += "  " + FractionText(time) + "s";
    caption += iso != 0 ? "  ISO" + std::to_string(iso) : "  no ISO";
    const cv::Mat upright = portrait ? Scene(number, kShortSide, kLongSide, caption, grey)
                                     : Scene(number, kLongSide, kShortSide, caption, grey);
    const cv::Mat stored = AsStored(upright, orientation);
    if (storedPicture != nullptr) {
        *storedPicture = stored;
    }

    char date[32];
    std::snprintf(date, sizeof date, "2012:%02d:%02d %02d:%02d:%02d", 1 + number % 12, 1 + number % 28,
                  7 + number % 12, (number * 13) % 60, (number * 29) % 60);
    const auto [biasNum, biasDen] = Pick(kBiases, number);
    const Fraction focal = Pick(kFocalLengths, number);

    JpegBuilder b;
    // Tags in ascending order inside each directory, as cameras write them.
    b.order(number % 4 == 3 ? ByteOrder::Big : ByteOrder::Little)
        .jfifApp0(number % 5 == 4)
        .make(camera.make)
        .model(camera.model)
        .orientation(orientation)
        .ascii(kIfd0, 0x0131, "Kestory samples 1.0")
        .exposureTime(time.num, time.den)
        .fNumber(aperture.num, aperture.den)
        .shortValue(kExifDirectory, 0x8822, static_cast<uint16_t>(number % 9));
    if (iso != 0) {
        b.isoSpeed(iso);
    }
    b.ascii(kExifDirectory, 0x9003, date)
        .srational(kExifDirectory, 0x9204, biasNum, biasDen)
        .shortValue(kExifDirectory, 0x9207, Pick(kMeteringModes, number))
        .shortValue(kExifDirectory, 0x9208, Pick(kLightSources, number))
        .shortValue(kExifDirectory, 0x9209, Pick(kFlashes, number))
        .rational(kExifDirectory, 0x920A, focal.num, focal.den)
        .shortValue(kExifDirectory, 0xA001, Pick(kColorSpaces, number))
        .longValue(kExifDirectory, 0xA002, static_cast<uint32_t>(stored.cols))
        .longValue(kExifDirectory, 0xA003, static_cast<uint32_t>(stored.rows))
        .shortValue(kExifDirectory, 0xA403, static_cast<uint16_t>(number % 2));
    if (camera.lens != nullptr) {
        b.ascii(kExifDirectory, 0xA434, camera.lens);
    }
    b.picture(stored);
    return b;
}

// A file whose picture breaks off a few bytes after the EXIF block: the EXIF reads, the pixels do not.
std::vector<uint8_t> BrokenPicture() {
    JpegBuilder b;
    b.make("Canon").model("Canon EOS 5D Mark II").exposureTime(1, 125).fNumber(8, 1).isoSpeed(200);
    const std::vector<uint8_t> exifOnly = JpegBuilder(b).noPicture().build();
    b.picture(Scene(99, kLongSide, kShortSide, "broken", false));
    std::vector<uint8_t> bytes = b.build();
    bytes.resize(exifOnly.size() - 2 + 40); // exifOnly ends with the 2-byte end-of-image marker
    return bytes;
}

// Phone and raw files: HEIC (turned by the container as the EXIF orientation says, as phones write
// them), TIFF-based raw files with the picture as their JPEG preview, and a CR3, which is refused.
std::vector<std::pair<std::string, std::vector<uint8_t>>> OtherKinds(const std::filesystem::path& folder) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    const struct {
        const char* suffix;
        PreviewPlace place;
        uint16_t magic;
    } raws[] = {{"DNG", PreviewPlace::Strip, 42}, {"NEF", PreviewPlace::Interchange, 42},
                {"ORF", PreviewPlace::Interchange, 0x4F52}, {"RW2", PreviewPlace::JpgFromRaw, 0x0055}};
    int number = kPhotoCount;
    for (const auto& raw : raws) {
        cv::Mat stored;
        const JpegBuilder exif = Photo(++number, &stored);
        char name[32];
        std::snprintf(name, sizeof name, "KS_%04d.%s", number, raw.suffix);
        files.emplace_back(name, BuildRawLike(exif, {{raw.place, EncodeJpeg(stored)}}, raw.magic));
    }
    for (const char* suffix : {"HEIC", "HEIF"}) {
        cv::Mat stored;
        const JpegBuilder exif = Photo(++number, &stored);
        char name[32];
        std::snprintf(name, sizeof name, "KS_%04d.%s", number, suffix);
        CExifAnalize block;
        const std::vector<uint8_t> tiff = exif.buildTiff();
        int32_t orientation = 1;
        block.ReadTiffBlock(tiff.data(), tiff.size());
        block.GetOrientation(orientation);
        cv::Mat colour = stored;
        if (colour.channels() == 1) {
            cv::cvtColor(stored, colour, cv::COLOR_GRAY2BGR);
        }
        const std::string path = (folder / name).string();
        if (WriteHeic(path, colour, tiff, orientation == 0 ? 1 : orientation, 240)) {
            files.emplace_back(name, ReadBytes(path));
        }
    }
    files.emplace_back("KS_REFUSED.CR3", std::vector<uint8_t>{0, 0, 0, 24, 'f', 't', 'y', 'p', 'c', 'r', 'x', ' ', 0,
                                                               0, 0, 1, 'c', 'r', 'x', ' ', 'i', 's', 'o', 'm'});
    return files;
}

struct Refused {
    const char* name;
    std::vector<uint8_t> bytes;
};

std::vector<Refused> RefusedFiles() {
    const cv::Mat scene = Scene(0, kLongSide, kShortSide, "refused", false);
    return {
        {"KS_NO_EXIF.JPG", JpegBuilder().noExif().picture(scene).build()},
        {"KS_NO_FNUMBER.JPG",
         JpegBuilder().make("Canon").exposureTime(1, 60).isoSpeed(100).picture(scene).build()},
        {"KS_NO_EXPOSURE_TIME.JPG",
         JpegBuilder().make("Canon").fNumber(4, 1).isoSpeed(100).picture(scene).build()},
        {"KS_BROKEN_PICTURE.JPG", BrokenPicture()},
    };
}

const char* ResultText(int result) {
    switch (result) {
    case 0:
        return "loaded";
    case -1:
        return "refused: no usable EXIF";
    case -2:
        return "refused: picture cannot be loaded";
    default:
        return "?";
    }
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> operands;
    if (const auto done = kestory::tools::ParseToolArgs(
            argc, argv,
            "usage: kestory-make-samples [--] FOLDER\n"
            "Writes sample photos with varied exposure data into FOLDER (created when missing),\n"
            "loads each one back as an import does and lists the result.\n",
            1, 1, operands)) {
        return *done;
    }
    const std::filesystem::path folder(operands[0]);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "%s: %s\n", folder.c_str(), error.message().c_str());
        return 1;
    }

    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    for (int number = 1; number <= kPhotoCount; ++number) {
        char name[32];
        std::snprintf(name, sizeof name, "KS_%04d.JPG", number);
        files.emplace_back(name, Photo(number).build());
    }
    for (Refused& refused : RefusedFiles()) {
        files.emplace_back(refused.name, std::move(refused.bytes));
    }
    for (auto& other : OtherKinds(folder)) {
        files.push_back(std::move(other));
    }

    int failures = 0;
    for (const auto& [name, bytes] : files) {
        const std::string path = (folder / name).string();
        if (!WriteBytes(path, bytes)) {
            std::fprintf(stderr, "%s: cannot be written\n", path.c_str());
            ++failures;
            continue;
        }
        PhotoItem item;
        const int result = item.Load(path, PhotoItem::kModeThumbnail);
        std::printf("%-24s %-36s", name.c_str(), ResultText(result));
        if (item.exposureValid == 1) {
            std::printf(" Ev %s  Av %s  Tv %s", FormatExposureValue(item.ev).c_str(),
                        FormatExposureValue(item.av).c_str(), FormatExposureValue(item.tv).c_str());
        }
        std::printf("\n");
    }
    std::printf("%zu files in %s\n", files.size() - static_cast<size_t>(failures), folder.c_str());
    return failures == 0 ? 0 : 1;
}
