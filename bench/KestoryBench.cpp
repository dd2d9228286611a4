// Benchmarks of the costs a large photo set brings: EXIF read, thumbnail decode, layout, paint,
// the end of a selection drag, a change of filter and CSV export. Built with -DKESTORY_BENCH=ON
// (make bench), never part of make test.

#include "bench/NoisyPhoto.h"
#include "chart/Canvas.h"
#include "chart/ChartGeometry.h"
#include "chart/ChartRender.h"
#include "chart/HistogramRender.h"
#include "chart/IsoSpeed.h"
#include "chart/PictureDrawing.h"
#include "chart/QtCanvas.h"
#include "collection/CLumivaneDoc.h"
#include "collection/CsvExport.h"
#include "collection/Notifier.h"
#include "collection/PictureMemory.h"
#include "collection/StatBins.h"
#include "photo/CExifAnalize.h"
#include "photo/FileBytes.h"
#include "photo/PhotoImage.h"
#include "photo/PhotoItem.h"
#include "photo/ThumbnailDecode.h"
#include "tests/support/JpegBuilder.h"
#include "tests/support/OneByOneCanvas.h"
#include "tests/support/PictureCanvas.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const Rect kThumbnailBox{0, 0, PhotoItem::kThumbnailBox, PhotoItem::kThumbnailBox};

// Files written once per run, removed at exit.
class Fixtures {
public:
    Fixtures() {
        std::string pattern = (fs::temp_directory_path() / "kestory-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            folder = pattern;
        }
    }
    ~Fixtures() {
        std::error_code ignored;
        if (!folder.empty()) {
            fs::remove_all(folder, ignored);
        }
    }
    Fixtures(const Fixtures&) = delete;
    Fixtures& operator=(const Fixtures&) = delete;

    const std::string& CameraFile() {
        if (camera.empty()) {
            camera = (fs::path(folder) / "IMG_0001.JPG").string();
            kestory::test::CameraLikeJpeg()
                .picture(kestory::bench::NoisyPhoto(kestory::bench::kCameraWidth,
                                                    kestory::bench::kCameraHeight, 0))
                .writeTo(camera);
        }
        return camera;
    }

    // A phone's 12 MP photo (4032 x 3024) as a JPEG and as a HEIC with the same EXIF block; the
    // HEIC with or without the 320 x 240 thumbnail picture phones store beside it.
    const std::string& PhoneFile(const std::string& name, bool heic, int thumbnailBox = 0) {
        std::string& path = phone[name];
        if (path.empty()) {
            path = (fs::path(folder) / name).string();
            const cv::Mat picture = kestory::bench::NoisyPhoto(4032, 3024, 1);
            const kestory::test::JpegBuilder exif = kestory::test::CameraLikeJpeg();
            if (heic) {
                kestory::test::WriteHeic(path, picture, exif.buildTiff(), 1, thumbnailBox);
            } else {
                kestory::test::JpegBuilder(exif).picture(picture).writeTo(path);
            }
        }
        return path;
    }

    // A raw-like file: a 1.6 MP JPEG thumbnail in IFD0 and the 27 MP camera picture as a
    // full-size preview strip, as a CR2 or DNG holds them.
    const std::string& RawFile() {
        if (raw.empty()) {
            raw = (fs::path(folder) / "IMG_0001.DNG").string();
            const cv::Mat picture =
                kestory::bench::NoisyPhoto(kestory::bench::kCameraWidth, kestory::bench::kCameraHeight, 0);
            cv::Mat small;
            cv::resize(picture, small, cv::Size(1584, 1056), 0, 0, cv::INTER_AREA);
            using kestory::test::PreviewPlace;
            kestory::test::WriteBytes(raw, kestory::test::BuildRawLike(
                                               kestory::test::CameraLikeJpeg(),
                                               {{PreviewPlace::Interchange, kestory::test::EncodeJpeg(small)},
                                                {PreviewPlace::Strip, kestory::test::EncodeJpeg(picture)}}));
        }
        return raw;
    }

    // A 24 MP camera JPEG (6000 x 4000) with the 160 x 120 EXIF thumbnail cameras write
    // (letterboxed in black) and, with mpf, a 1620 x 1080 MPF preview.
    const std::string& EmbeddedCameraFile(bool mpf) {
        std::string& path = phone[mpf ? "embedded-mpf" : "embedded"];
        if (path.empty()) {
            path = (fs::path(folder) / (mpf ? "IMG_MPF.JPG" : "IMG_IFD1.JPG")).string();
            const cv::Mat picture = kestory::bench::NoisyPhoto(6000, 4000, 2);
            cv::Mat thumb(120, 160, CV_8UC3, cv::Scalar::all(0));
            cv::resize(picture, thumb(cv::Rect(0, 7, 160, 106)), cv::Size(160, 106), 0, 0, cv::INTER_AREA);
            std::vector<uint8_t> bytes = kestory::test::CameraLikeJpeg()
                                             .picture(picture)
                                             .exifThumbnail(kestory::test::EncodeJpeg(thumb))
                                             .build();
            if (mpf) {
                cv::Mat preview;
                cv::resize(picture, preview, cv::Size(1620, 1080), 0, 0, cv::INTER_AREA);
                bytes = kestory::test::WithMpfPreview(bytes, kestory::test::EncodeJpeg(preview));
            }
            kestory::test::WriteBytes(path, bytes);
        }
        return path;
    }

private:
    std::string folder;
    std::string camera;
    std::string raw;
    std::map<std::string, std::string> phone;
};

Fixtures& Files() {
    static Fixtures fixtures;
    return fixtures;
}

class SilentNotifier : public Notifier {
public:
    void Notify(const std::string&, Icon) override {}
};

// A record as a camera photo gives it, without a file: exposure spread over the whole chart and a
// thumbnail of grain, 237 x 158 unless told.
std::unique_ptr<PhotoItem> SyntheticPhoto(std::mt19937& random, int thumbWidth = 237, int thumbHeight = 158) {
    static const int kSpeeds[] = {1, 2, 4, 8, 15, 30, 60, 125, 250, 500, 1000, 2000, 4000, 8000};
    static const int kApertures[] = {10, 14, 20, 28, 40, 56, 80, 110, 160, 220, 320, 450, 640};
    static const int kIsos[] = {100, 200, 400, 800, 1600, 3200};
    auto photo = std::make_unique<PhotoItem>();
    photo->path = "/photos/IMG_" + std::to_string(random() % 10000) + ".JPG";
    photo->exposureValid = 1;
    photo->exposureTimeNum = 1;
    photo->exposureTimeDen = kSpeeds[random() % std::size(kSpeeds)];
    photo->fNumberNum = kApertures[random() % std::size(kApertures)];
    photo->fNumberDen = 10;
    photo->iso = kIsos[random() % std::size(kIsos)];
    photo->av = 5.0;
    photo->tv = 7.0;
    photo->isoCorrection = -2.0;
    photo->ev = 10.0;
    photo->thumbnail.topDown = 1;
    photo->thumbnail.image.create(thumbHeight, thumbWidth, CV_8UC3);
    cv::randu(photo->thumbnail.image, cv::Scalar::all(0), cv::Scalar::all(255));
    return photo;
}

// A screen canvas that only counts the pictures drawn on it and their pixels.
class PictureCounter : public PictureCanvas {
public:
    void DrawPicture(const Rect& destination, const PictureView&) override {
        pictures += 1;
        pixels += static_cast<double>(destination.width()) * destination.height();
    }
    double pictures = 0;
    double pixels = 0;
};

// Up to 10,000 photos with 237-px thumbnails; beyond that with 40 x 27, the picture a 40-px cell
// shows at 100 %: 100,000 thumbnails of 237 px would take 11 GB.
void FillDocument(CLumivaneDoc& doc, int count) {
    std::mt19937 random(20110102);
    const bool small = count > 10000;
    for (int i = 0; i < count; ++i) {
        doc.AppendPhoto(small ? SyntheticPhoto(random, 40, 27) : SyntheticPhoto(random));
    }
}

// A first import's load of a 24 MP camera JPEG at the default 40-px size and 100 %, no cache:
// arg 0 with its EXIF thumbnail, 1 with an MPF preview too, 2 decoded (the setting off). The
// counter is the mean absolute difference, in levels of 255, between the 40-px display picture
// made from the embedded picture and the one made from the decoded thumbnail.
void BM_FirstImportLoad(benchmark::State& state) {
    const std::string& path = Files().EmbeddedCameraFile(state.range(0) == 1);
    const int32_t side = state.range(0) == 2 ? 0 : 40;
    const FileBytes::ReuseScope reuse;
    for (auto _ : state) {
        PhotoItem photo;
        if (photo.Load(path, PhotoItem::kModeThumbnail, nullptr, nullptr, side) != 0) {
            state.SkipWithError("the camera file did not load");
            break;
        }
        benchmark::DoNotOptimize(photo.thumbnail.image.data);
    }
    PhotoItem embedded;
    PhotoItem decoded;
    embedded.Load(path, PhotoItem::kModeThumbnail, nullptr, nullptr, side);
    decoded.Load(path, PhotoItem::kModeThumbnail);
    const Rect cell{0, 0, 40, 40};
    embedded.FitDisplayImage(cell);
    decoded.FitDisplayImage(cell);
    if (embedded.displayImage.image.size() == decoded.displayImage.image.size()) {
        cv::Mat difference;
        cv::absdiff(embedded.displayImage.image, decoded.displayImage.image, difference);
        const cv::Scalar mean = cv::mean(difference);
        state.counters["meanAbsDiff"] = (mean[0] + mean[1] + mean[2]) / 3;
    }
    state.counters["embedded"] = embedded.thumbnail.source == PictureSource::Embedded ? 1 : 0;
}
BENCHMARK(BM_FirstImportLoad)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_ExifRead(benchmark::State& state) {
    const std::string& path = Files().CameraFile();
    for (auto _ : state) {
        CExifAnalize exif;
        benchmark::DoNotOptimize(exif.Read(path));
    }
}
BENCHMARK(BM_ExifRead)->Unit(benchmark::kMicrosecond);

// The thumbnail of a 27 MP camera file: decoded at full size (TurboJPEG), then area-resized (the
// pop-up viewer's decode, and what every import did before shrink-on-load).
void BM_ThumbnailFullDecode(benchmark::State& state) {
    const std::string& path = Files().CameraFile();
    for (auto _ : state) {
        PhotoImage holder;
        LoadPicture(path, holder);
        FitPicture(holder, kThumbnailBox);
        benchmark::DoNotOptimize(holder.image.data);
    }
}
BENCHMARK(BM_ThumbnailFullDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same thumbnail through shrink-on-load (TurboJPEG at 1/8, then area-resized), read as an
// import's worker reads it: into the thread's reused mapping.
void BM_ThumbnailShrinkOnLoad(benchmark::State& state) {
    const std::string& path = Files().CameraFile();
    const FileBytes::ReuseScope reuse;
    for (auto _ : state) {
        PhotoImage holder;
        if (!LoadReducedThumbnail(path, kThumbnailBox, holder)) {
            state.SkipWithError("the reduced decode declined the camera file");
            break;
        }
        benchmark::DoNotOptimize(holder.image.data);
    }
}
BENCHMARK(BM_ThumbnailShrinkOnLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

// The import's thumbnail of a 12 MP phone photo, with its EXIF read, as PhotoItem::Load takes it:
// JPEG (shrink-on-load), HEIC without and with its own thumbnail picture. Compare the HEIC rows
// with the JPEG row. The CPU column counts every thread of the process: libde265 decodes on
// worker threads of its own.
void PhoneThumbnail(benchmark::State& state, const std::string& path) {
    const FileBytes::ReuseScope reuse;
    for (auto _ : state) {
        PhotoItem item;
        if (item.Load(path, PhotoItem::kModeThumbnail) != 0) {
            state.SkipWithError("the phone photo did not load");
            break;
        }
        benchmark::DoNotOptimize(item.thumbnail.image.data);
    }
}
void BM_Phone12MpJpegThumbnail(benchmark::State& state) {
    PhoneThumbnail(state, Files().PhoneFile("IMG_0002.JPG", false));
}
BENCHMARK(BM_Phone12MpJpegThumbnail)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
void BM_Phone12MpHeicThumbnail(benchmark::State& state) {
    PhoneThumbnail(state, Files().PhoneFile("IMG_0002.HEIC", true));
}
BENCHMARK(BM_Phone12MpHeicThumbnail)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
void BM_Phone12MpHeicWithThumbnailPicture(benchmark::State& state) {
    PhoneThumbnail(state, Files().PhoneFile("IMG_0003.HEIC", true, 320));
}
BENCHMARK(BM_Phone12MpHeicWithThumbnailPicture)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// A raw file's thumbnail from its 27 MP preview: the walk to the preview, its bytes read, shrink-on-
// load; with the EXIF read, as the import does it.
void BM_RawPreviewThumbnail(benchmark::State& state) {
    PhoneThumbnail(state, Files().RawFile());
}
BENCHMARK(BM_RawPreviewThumbnail)->Unit(benchmark::kMillisecond)->UseRealTime();

// The full decode through OpenCV's image codecs, which the programs no longer link: the same
// libjpeg-turbo behind another reader.
void BM_FullDecodeOpenCv(benchmark::State& state) {
    const std::string& path = Files().CameraFile();
    for (auto _ : state) {
        const cv::Mat picture =
            cv::imread(path, cv::IMREAD_ANYDEPTH | cv::IMREAD_ANYCOLOR | cv::IMREAD_IGNORE_ORIENTATION);
        benchmark::DoNotOptimize(picture.data);
    }
}
BENCHMARK(BM_FullDecodeOpenCv)->Unit(benchmark::kMillisecond)->UseRealTime();

// The full decode of the program: TurboJPEG from the file read whole.
void BM_FullDecode(benchmark::State& state) {
    const std::string& path = Files().CameraFile();
    for (auto _ : state) {
        PhotoImage holder;
        LoadPicture(path, holder);
        benchmark::DoNotOptimize(holder.image.data);
    }
}
BENCHMARK(BM_FullDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

// OpenCV's reduced decode of the same file at the same scale: the alternative to TurboJPEG.
void BM_ThumbnailOpenCvReduced(benchmark::State& state) {
    const std::string& path = Files().CameraFile();
    const cv::Mat probe = cv::imread(path, cv::IMREAD_REDUCED_COLOR_8 | cv::IMREAD_IGNORE_ORIENTATION);
    const Size fitted =
        FittedPictureSize(kestory::bench::kCameraWidth, kestory::bench::kCameraHeight, kThumbnailBox);
    for (auto _ : state) {
        const cv::Mat reduced = cv::imread(path, cv::IMREAD_REDUCED_COLOR_8 | cv::IMREAD_IGNORE_ORIENTATION);
        cv::Mat thumbnail;
        cv::resize(reduced, thumbnail, cv::Size(fitted.width, fitted.height), 0, 0, cv::INTER_AREA);
        benchmark::DoNotOptimize(thumbnail.data);
    }
    state.counters["reducedWidth"] = probe.cols;
}
BENCHMARK(BM_ThumbnailOpenCvReduced)->Unit(benchmark::kMillisecond)->UseRealTime();

// The layout alone: every photo's cell and drawRect. Display pictures (40 x 26 at magnify 100,
// 160 x 106 at 400, from 237 x 158 thumbnails) are left to the paint that first draws them.
void LayoutAt(benchmark::State& state, int32_t magnify, int threads) {
    SilentNotifier notifier;
    CLumivaneDoc doc(notifier);
    FillDocument(doc, static_cast<int>(state.range(0)));
    doc.settings.magnify = magnify;
    const int before = cv::getNumThreads();
    if (threads > 0) {
        cv::setNumThreads(threads);
    }
    state.counters["threads"] = cv::getNumThreads();
    for (auto _ : state) {
        LayoutPhotos(doc);
    }
    cv::setNumThreads(before);
}

void BM_LayoutPhotos(benchmark::State& state) {
    LayoutAt(state, 100, 0);
}
BENCHMARK(BM_LayoutPhotos)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LayoutPhotosOneThread(benchmark::State& state) {
    LayoutAt(state, 100, 1);
}
BENCHMARK(BM_LayoutPhotosOneThread)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LayoutPhotosMagnify400(benchmark::State& state) {
    LayoutAt(state, 400, 0);
}
BENCHMARK(BM_LayoutPhotosMagnify400)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 1000 x 700 viewport scrolled to the middle of the chart at the document's magnification, and
// its paint the way the view paints: clipped to and told of the exposed rectangle.
struct MiddleViewport {
    explicit MiddleViewport(int32_t magnify) {
        const ChartScrollSizes sizes = ScrollSizesFor(magnify);
        scroll = QPoint(std::max(0, (sizes.total.width - size.width()) / 2),
                        std::max(0, (sizes.total.height - size.height()) / 2));
        exposed = Rect{scroll.x(), scroll.y(), scroll.x() + size.width(), scroll.y() + size.height()};
    }
    void Paint(const CLumivaneDoc& doc) {
        QPainter painter(&target);
        painter.setClipRect(QRect(QPoint(0, 0), size));
        painter.translate(-scroll);
        QtCanvas canvas(painter, false);
        PaintChart(canvas, doc, &exposed);
    }
    const QSize size{1000, 700};
    QPoint scroll;
    Rect exposed;
    QImage target{size, QImage::Format_RGB32};
};

// One full paint of a 1000 x 700 viewport, the way the view paints it: scrolled to the middle of
// the chart, clipped to and told of the exposed rectangle.
void PaintVisibleChart(benchmark::State& state, int photoCount, int32_t viewType) {
    SilentNotifier notifier;
    CLumivaneDoc doc(notifier);
    FillDocument(doc, photoCount);
    doc.settings.magnify = static_cast<int32_t>(state.range(0));
    doc.settings.viewType = viewType;
    LayoutPhotos(doc);
    MiddleViewport viewport(doc.settings.magnify);
    const Rect& exposed = viewport.exposed;
    PictureCounter firstPaint; // makes the display pictures the viewport shows
    PaintChart(firstPaint, doc, &exposed);
    for (auto _ : state) {
        viewport.Paint(doc);
    }
    // What the paint draws: the pictures it hands to the canvas and their pixels, beside the photos
    // that reach into the viewport at all.
    double inViewport = 0;
    for (const auto& photo : doc.Photos()) {
        const Rect& r = photo->drawRect;
        if (r.intersects(exposed)) {
            inViewport += 1;
        }
    }
    PictureCounter counter;
    PaintChart(counter, doc, &exposed);
    state.counters["inViewport"] = inViewport;
    state.counters["drawn"] = counter.pictures;
    state.counters["drawnPixels"] = counter.pixels;
}

// Arguments: magnify, photo count, view type (0 thumbnails, 1 red marks). The first paint makes the
// display pictures; the timed ones draw them as they are, as every paint after it until the next
// layout.
void BM_PaintVisibleChart(benchmark::State& state) {
    PaintVisibleChart(state, static_cast<int>(state.range(1)), static_cast<int32_t>(state.range(2)));
}
BENCHMARK(BM_PaintVisibleChart)
    ->Args({100, 1000, 0})
    ->Args({400, 1000, 0})
    ->Args({100, 10000, 0})
    ->Args({400, 10000, 0})
    ->Args({100, 100000, 0})
    ->Args({400, 100000, 0})
    ->Args({100, 10000, 1})
    ->Args({400, 10000, 1})
    ->Args({100, 100000, 1})
    ->Args({400, 100000, 1})
    ->Unit(benchmark::kMillisecond);

// Appending the records of an import of N photos to the collection (the records made beforehand,
// without thumbnails): what an import costs on top of its loads, linear in N.
void BM_AppendPhotos(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        std::mt19937 random(20110102);
        std::vector<std::unique_ptr<PhotoItem>> records;
        for (int64_t i = 0; i < state.range(0); ++i) {
            records.push_back(SyntheticPhoto(random, 1, 1));
        }
        SilentNotifier notifier;
        auto doc = std::make_unique<CLumivaneDoc>(notifier);
        state.ResumeTiming();
        for (auto& record : records) {
            doc->AppendPhoto(std::move(record));
        }
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AppendPhotos)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// 10,000 photos imported from their 160 x 106 EXIF thumbnails, zoomed from 100 % to 400 % at
// 120 px: the layout and the first paint of the viewport, which draws the small pictures enlarged
// and asks for the decoded ones in the background (the makers find no file here and end at once).
// What the user waits for after the zoom; the decodes are not part of it. Arg 1: the same with
// decoded 237 x 158 thumbnails, which nothing sharpens, for comparison.
void BM_ZoomPaintWithEmbeddedPictures(benchmark::State& state) {
    const bool embedded = state.range(0) == 0;
    SilentNotifier notifier;
    CLumivaneDoc doc(notifier);
    std::mt19937 random(20110102);
    for (int i = 0; i < 10000; ++i) {
        auto photo = embedded ? SyntheticPhoto(random, 160, 106) : SyntheticPhoto(random);
        if (embedded) {
            photo->thumbnail.source = PictureSource::Embedded;
            photo->thumbnail.standsFor = Size{237, 158};
        }
        photo->thumbnailSize = Size{237, 158};
        photo->SetEmbeddedSide(40);
        doc.AppendPhoto(std::move(photo));
    }
    doc.settings.sizePict = 120;
    doc.settings.magnify = 400;
    MiddleViewport viewport(doc.settings.magnify);
    for (auto _ : state) {
        LayoutPhotos(doc);
        viewport.Paint(doc);
    }
    doc.Sharpener().Forget();
}
BENCHMARK(BM_ZoomPaintWithEmbeddedPictures)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The same viewport with no photos: the grid, the diagonals and the 75 texts alone, which the
// paint with photos costs on top of its pictures.
void BM_PaintVisibleChartWithoutPhotos(benchmark::State& state) {
    PaintVisibleChart(state, 0, DisplaySettings::kViewThumbnails);
}
BENCHMARK(BM_PaintVisibleChartWithoutPhotos)->Arg(100)->Arg(400)->Unit(benchmark::kMillisecond);

// Photos with thumbnails of 40 x 27, as the default picture size shows them, to keep the set's
// memory small.
void AddSmallPhotos(CLumivaneDoc& doc, int64_t count) {
    std::mt19937 random(20110102);
    for (int64_t i = 0; i < count; ++i) {
        doc.AppendPhoto(SyntheticPhoto(random, 40, 27));
    }
}

// The end of a rubber-band drag over a quarter of the chart among 10,000 or 100,000 photos, as the
// view does it: the photos the band touches, the new selection, the panel's first photo and count,
// and the repaint of the part of a 1000 x 700 viewport where frames came. Args: the view type (0
// thumbnails, 1 marks), the photo count.
void BM_FinishDrag(benchmark::State& state) {
    SilentNotifier notifier;
    CLumivaneDoc doc(notifier);
    AddSmallPhotos(doc, state.range(1));
    doc.settings.viewType = static_cast<int32_t>(state.range(0));
    LayoutPhotos(doc);
    const Rect band{200, 150, 500, 330};
    QImage target(QSize(1000, 700), QImage::Format_RGB32);
    for (auto _ : state) {
        doc.ClearSelection();
        const Rect before = SelectionPaintBounds(doc);
        doc.SelectPhotos(PhotosInBand(doc, band), false);
        benchmark::DoNotOptimize(doc.FirstSelected());
        benchmark::DoNotOptimize(doc.SelectedCount());
        const Rect after = SelectionPaintBounds(doc);
        const QRect changed = QRect(before.left, before.top, before.width(), before.height()) |
                              QRect(after.left, after.top, after.width(), after.height());
        const Rect exposed{changed.left(), changed.top(), changed.right() + 1, changed.bottom() + 1};
        QPainter painter(&target);
        painter.setClipRect(changed);
        QtCanvas canvas(painter, false);
        PaintChart(canvas, doc, &exposed);
        DrawSelection(canvas, doc, &exposed);
    }
    state.counters["selected"] = static_cast<double>(doc.SelectedCount());
}
BENCHMARK(BM_FinishDrag)
    ->Args({0, 10000})
    ->Args({1, 10000})
    ->Args({0, 100000})
    ->Args({1, 100000})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The same set's whole viewport painted, as every change repainted it before: the cost a
// selection's repaint of only its frames' part saves.
void BM_PaintTenThousand(benchmark::State& state) {
    SilentNotifier notifier;
    CLumivaneDoc doc(notifier);
    AddSmallPhotos(doc, 10000);
    doc.settings.viewType = static_cast<int32_t>(state.range(0));
    LayoutPhotos(doc);
    QImage target(QSize(1000, 700), QImage::Format_RGB32);
    const Rect exposed{0, 0, 1000, 700};
    for (auto _ : state) {
        QPainter painter(&target);
        QtCanvas canvas(painter, false);
        PaintChart(canvas, doc, &exposed);
    }
}
BENCHMARK(BM_PaintTenThousand)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
// The whole chart at 100 % with 10,000 photos whose EXIF blocks carry twelve camera models, focal
// lengths from 14 to 400 mm and times all through the day: marks in red, marks coloured by a value
// with their legend (the colours and the camera ranking are worked out in every paint), and the
// density view. Arguments: the view (0 red marks, 1 by camera, 2 by focal length, 3 by time, 4
// density), the photo count (10,000 or 100,000), and 1 to draw the marks one by one, as every paint
// drew them before batches.
void BM_PaintWholeChartColouredOrDense(benchmark::State& state) {
    SilentNotifier notifier;
    CLumivaneDoc doc(notifier);
    AddSmallPhotos(doc, state.range(1));
    std::vector<std::vector<uint8_t>> blocks;
    for (int i = 0; i < 12; ++i) {
        char taken[32];
        std::snprintf(taken, sizeof taken, "2024:06:%02d %02d:%02d:00", 1 + i, (i * 7) % 24, (i * 13) % 60);
        blocks.push_back(kestory::test::JpegBuilder()
                             .model("Camera " + std::to_string(i))
                             .exposureTime(1, 125)
                             .fNumber(56, 10)
                             .isoSpeed(400)
                             .rational(kestory::test::kExifDirectory, 0x920A, 14 + 33 * static_cast<uint32_t>(i), 1)
                             .ascii(kestory::test::kExifDirectory, 0x9003, taken)
                             .noPicture()
                             .build());
    }
    for (size_t i = 0; i < doc.GetCount(); ++i) {
        const std::vector<uint8_t>& block = blocks[(i * 7 + i / 13) % blocks.size()];
        doc.GetAt(i).exif.ReadMemory(block.data(), block.size());
    }
    const int view = static_cast<int>(state.range(0));
    static const int32_t kColours[] = {DisplaySettings::kMarkRed, DisplaySettings::kMarkByCamera,
                                       DisplaySettings::kMarkByFocalLength, DisplaySettings::kMarkByTimeOfDay};
    doc.settings.viewType = view == 4 ? DisplaySettings::kViewDensity : DisplaySettings::kViewMarks;
    doc.settings.markColour = view == 4 ? DisplaySettings::kMarkRed : kColours[view];
    ApplyIsoIndex(doc.settings, 1);
    LayoutPhotos(doc);
    QImage target(750, 520, QImage::Format_RGB32);
    const bool oneByOne = state.range(2) != 0;
    for (auto _ : state) {
        QPainter painter(&target);
        if (oneByOne) {
            OneByOneCanvas canvas(painter, false);
            PaintChart(canvas, doc);
        } else {
            QtCanvas canvas(painter, false);
            PaintChart(canvas, doc);
        }
    }
}
BENCHMARK(BM_PaintWholeChartColouredOrDense)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {10000, 100000}, {0}})
    ->Args({0, 10000, 1})
    ->Args({0, 100000, 1})
    ->Args({1, 100000, 1})
    ->Unit(benchmark::kMillisecond);
// A change of the filter with 10,000 or 100,000 photos, as the filter panel makes it: the document's flags,
// the counts of every list and one paint of a 1000 x 700 viewport in the middle of the chart at
// 100 %. The photos keep their layout, so no layout is part of it. Alternates between a camera
// choice and an ISO range, so every round changes what is shown.
// Eight cameras with their lenses, focal lengths and dates, as EXIF entries of real blocks, on
// count synthetic photos.
void AppendCameraPhotos(CLumivaneDoc& doc, int64_t count) {
    std::vector<CExifAnalize> blocks(8);
    for (size_t i = 0; i < blocks.size(); ++i) {
        kestory::test::JpegBuilder builder;
        builder.model("Camera " + std::to_string(i))
            .ascii(kestory::test::kExifDirectory, 0xA434, "Lens " + std::to_string(i % 3))
            .rational(kestory::test::kExifDirectory, 0x920A, static_cast<uint32_t>(24 + 10 * i), 1)
            .ascii(kestory::test::kExifDirectory, 0x9003, "2023:0" + std::to_string(1 + i) + ":15 12:00:00")
            .noPicture();
        const std::vector<uint8_t> bytes = builder.build();
        blocks[i].ReadMemory(bytes.data(), bytes.size());
    }
    std::mt19937 random(20110102);
    for (int64_t i = 0; i < count; ++i) {
        std::unique_ptr<PhotoItem> photo = SyntheticPhoto(random, 40, 27);
        photo->exif = blocks[static_cast<size_t>(i) % blocks.size()];
        doc.AppendPhoto(std::move(photo));
    }
}

void BM_FilterChange(benchmark::State& state) {
    SilentNotifier notifier;
    CLumivaneDoc doc(notifier);
    AppendCameraPhotos(doc, state.range(0));
    LayoutPhotos(doc);
    PhotoFilter byCamera;
    byCamera.chosen[kFilterCamera] = {"Camera 1", "Camera 5"};
    PhotoFilter byIso;
    byIso.iso = {400, 1600};
    MiddleViewport viewport(doc.settings.magnify);
    bool camera = false;
    for (auto _ : state) {
        camera = !camera;
        doc.SetFilter(camera ? byCamera : byIso);
        benchmark::DoNotOptimize(doc.CountFilterValues());
        viewport.Paint(doc);
    }
    state.counters["shown"] = static_cast<double>(doc.ShownCount());
}
BENCHMARK(BM_FilterChange)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// The statistics panel's redraw: the bins counted again (with a selection of every tenth photo)
// and the bars painted into a picture of the panel's size. Each round changes either the value
// (focal length, lens, shutter speed in turn) or the filter (a camera choice or an ISO range,
// applied to the document as the filter panel does), as a user's change would.
void BM_StatisticsRedraw(benchmark::State& state) {
    SilentNotifier notifier;
    CLumivaneDoc doc(notifier);
    AppendCameraPhotos(doc, state.range(0));
    PhotoFilter byCamera;
    byCamera.chosen[kFilterCamera] = {"Camera 1", "Camera 5"};
    PhotoFilter byIso;
    byIso.iso = {400, 1600};
    std::vector<bool> selected(doc.GetCount());
    for (size_t i = 0; i < selected.size(); i += 10) {
        selected[i] = true;
    }
    const StatValue values[] = {StatValue::Focal, StatValue::Lens, StatValue::Shutter};
    QImage image(kStatisticsChartSize.width, kStatisticsChartSize.height, QImage::Format_RGB32);
    size_t round = 0;
    for (auto _ : state) {
        ++round;
        if (round % 2 == 0) {
            doc.SetFilter(round % 4 == 0 ? byCamera : byIso);
        }
        const StatHistogram histogram =
            CountStatBins(doc.PhotoFilterKeys(), doc.Filter(), values[round / 2 % 3], selected);
        QPainter painter(&image);
        QtCanvas canvas(painter, false);
        PaintHistogram(canvas, histogram, LayOutHistogram(histogram, kStatisticsChartSize));
    }
}
BENCHMARK(BM_StatisticsRedraw)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// One wheel notch as the view takes it: the layout at the new magnification, then the first paint
// of a 1000 x 700 viewport in the middle of the chart. Arguments: magnify, photo count. Counters:
// the bytes of display pictures the photos hold afterwards (what the notch leaves in memory).
void BM_WheelNotch(benchmark::State& state) {
    SilentNotifier notifier;
    CLumivaneDoc doc(notifier);
    FillDocument(doc, static_cast<int>(state.range(1)));
    doc.settings.magnify = static_cast<int32_t>(state.range(0));
    MiddleViewport viewport(doc.settings.magnify);
    for (auto _ : state) {
        LayoutPhotos(doc);
        viewport.Paint(doc);
    }
    double bytes = 0;
    double pictures = 0;
    for (const auto& photo : doc.Photos()) {
        const cv::Mat& picture = photo->displayImage.image;
        bytes += static_cast<double>(picture.total() * picture.elemSize());
        pictures += picture.empty() ? 0 : 1;
    }
    state.counters["displayPictures"] = pictures;
    state.counters["displayMiB"] = bytes / (1024.0 * 1024.0);
}
BENCHMARK(BM_WheelNotch)
    ->Args({100, 1000})
    ->Args({400, 1000})
    ->Args({100, 10000})
    ->Args({400, 10000})
    ->Args({400, 100000})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_WriteCsv(benchmark::State& state) {
    SilentNotifier notifier;
    CLumivaneDoc doc(notifier);
    // Real EXIF entries, so every property text is formatted as for a camera file.
    const std::string& camera = Files().CameraFile();
    PhotoItem loaded;
    if (loaded.Load(camera, PhotoItem::kModeThumbnail) != 0) {
        state.SkipWithError("the camera file did not load");
        return;
    }
    for (int64_t i = 0; i < state.range(0); ++i) {
        doc.AppendPhoto(std::make_unique<PhotoItem>(loaded));
    }
    const std::string target = (fs::path(camera).parent_path() / "shooting.csv").string();
    for (auto _ : state) {
        benchmark::DoNotOptimize(WriteCsv(doc.Photos(), target));
    }
}
BENCHMARK(BM_WriteCsv)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    KeepPictureMemory(); // as the programs measured here do
    // The paint needs Qt's painter and the label font, not a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR")) {
        qputenv("QT_QPA_FONTDIR", "/usr/share/fonts");
    }
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
