#include "photo/HeifPicture.h"

#include "photo/CExifAnalize.h"
#include "photo/ExifByteSource.h"
#include "photo/HevcDecoder.h"
#include "photo/JpegFrame.h"
#include "photo/PhotoImage.h"

#include <libheif/heif.h>
#include <libheif/heif_plugin.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <vector>

namespace {

// A camera's or phone's Exif item is under 64 KiB; one of more is no block this reader keeps.
constexpr size_t kMaxExifItem = size_t{4} << 20;
// Thumbnail pictures a file may list that are looked at.
constexpr int kMaxThumbnails = 16;
// The widest and tallest picture libheif is let decode (its own default as of 1.15, said here so a
// later library cannot loosen it).
constexpr int kMaxSide = 32768;
// libheif refuses the whole file when a picture's ispe passes the limit, Exif item included; the
// EXIF is read with no limit (ispe holds 32-bit sides), so an oversized picture is refused as a
// picture, by the decode budget, and not as a photo without EXIF.
constexpr int kNoSideLimit = std::numeric_limits<int>::max();

struct ContextDeleter {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleDeleter {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageDeleter {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct OptionsDeleter {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};
using Context = std::unique_ptr<heif_context, ContextDeleter>;
using Handle = std::unique_ptr<heif_image_handle, HandleDeleter>;
using Image = std::unique_ptr<heif_image, ImageDeleter>;

// libheif reads the file through the source's one checked read, like the EXIF reader.
struct ReaderState {
    const ExifByteSource* source = nullptr;
    int64_t position = 0;
};

int64_t ReaderPosition(void* state) { return static_cast<ReaderState*>(state)->position; }

int ReaderRead(void* data, size_t size, void* state) {
    auto* reader = static_cast<ReaderState*>(state);
    if (reader->position < 0 || !reader->source->ReadAt(static_cast<uint64_t>(reader->position), size,
                                                        static_cast<uint8_t*>(data))) {
        return 1;
    }
    reader->position += static_cast<int64_t>(size);
    return 0;
}

int ReaderSeek(int64_t position, void* state) {
    auto* reader = static_cast<ReaderState*>(state);
    if (position < 0 || static_cast<uint64_t>(position) > reader->source->Length()) {
        return 1;
    }
    reader->position = position;
    return 0;
}

heif_reader_grow_status ReaderWait(int64_t size, void* state) {
    const auto* reader = static_cast<ReaderState*>(state);
    return size >= 0 && static_cast<uint64_t>(size) <= reader->source->Length() ? heif_reader_grow_status_size_reached
                                                                                : heif_reader_grow_status_size_beyond_eof;
}

constexpr heif_reader kReader{1, ReaderPosition, ReaderRead, ReaderSeek, ReaderWait};

bool LibraryReady() {
    static const bool initialised = heif_init(nullptr).code == heif_error_Ok &&
                                    heif_register_decoder_plugin(&HevcDecoderPlugin()).code == heif_error_Ok;
    return initialised;
}

// The context over the file and its primary picture's handle; the state must outlive both.
bool OpenPrimary(const ExifByteSource& file, ReaderState& state, Context& context, Handle& primary,
                 int maxSide = kMaxSide) {
    if (!LibraryReady()) {
        return false;
    }
    state.source = &file;
    state.position = 0;
    context.reset(heif_context_alloc());
    if (!context) {
        return false;
    }
    heif_context_set_maximum_image_size_limit(context.get(), maxSide);
    // The import decodes several files at once already; tiles are decoded on the calling thread.
    heif_context_set_max_decoding_threads(context.get(), 0);
    if (heif_context_read_from_reader(context.get(), &kReader, &state, nullptr).code != heif_error_Ok) {
        return false;
    }
    heif_image_handle* handle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &handle).code != heif_error_Ok) {
        return false;
    }
    primary.reset(handle);
    return true;
}

bool WithinBudget(const heif_image_handle* handle) {
    const int64_t width = heif_image_handle_get_width(handle);
    const int64_t height = heif_image_handle_get_height(handle);
    return width > 0 && height > 0 && HeifDecodeMemory(width, height) <= kJpegDecodeBudget;
}

// 8-bit RGB rows of the handle's picture, turned by its transformations, into BGR of the given
// size (the decoded size when size is 0 x 0).
bool DecodeHandle(const heif_image_handle* handle, Size size, cv::Mat& out) {
    if (!WithinBudget(handle)) {
        return false;
    }
    const std::unique_ptr<heif_decoding_options, OptionsDeleter> options(heif_decoding_options_alloc());
    if (!options) {
        return false;
    }
    options->convert_hdr_to_8bit = 1;
    options->strict_decoding = 1;
    heif_image* decoded = nullptr;
    if (heif_decode_image(handle, &decoded, heif_colorspace_RGB, heif_chroma_interleaved_RGB, options.get()).code !=
        heif_error_Ok) {
        return false;
    }
    const Image image(decoded);
    if (heif_image_get_decoding_warnings(image.get(), 0, nullptr, 0) > 0) {
        return false;
    }
    int stride = 0;
    const uint8_t* rows = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (rows == nullptr || width <= 0 || height <= 0 || stride < width * 3 ||
        heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved) != 8) {
        return false;
    }
    const cv::Mat rgb(height, width, CV_8UC3, const_cast<uint8_t*>(rows), static_cast<size_t>(stride));
    if (size.width == 0 || (size.width == width && size.height == height)) {
        cv::cvtColor(rgb, out, cv::COLOR_RGB2BGR);
    } else {
        cv::Mat fitted;
        cv::resize(rgb, fitted, cv::Size(size.width, size.height), 0, 0, cv::INTER_AREA);
        cv::cvtColor(fitted, out, cv::COLOR_RGB2BGR);
    }
    return true;
}

// The smallest of the primary picture's thumbnails that still has the fit's rows and columns.
Handle CoveringThumbnail(const heif_image_handle* primary, Size fitted) {
    heif_item_id ids[kMaxThumbnails] = {};
    const int count = heif_image_handle_get_list_of_thumbnail_IDs(primary, ids, kMaxThumbnails);
    Handle best;
    int64_t bestPixels = 0;
    for (int i = 0; i < count; ++i) {
        heif_image_handle* thumbnail = nullptr;
        if (heif_image_handle_get_thumbnail(primary, ids[i], &thumbnail).code != heif_error_Ok) {
            continue;
        }
        Handle candidate(thumbnail);
        const int width = heif_image_handle_get_width(thumbnail);
        const int height = heif_image_handle_get_height(thumbnail);
        const int64_t pixels = int64_t{width} * height;
        if (width >= fitted.width && height >= fitted.height && (!best || pixels < bestPixels)) {
            best = std::move(candidate);
            bestPixels = pixels;
        }
    }
    return best;
}

bool Decode(const ExifByteSource& file, const Rect& box, cv::Mat& out) {
    ReaderState state;
    Context context;
    Handle primary;
    if (!OpenPrimary(file, state, context, primary) || !WithinBudget(primary.get())) {
        return false;
    }
    if (box.width() <= 0) {
        return DecodeHandle(primary.get(), Size{}, out);
    }
    const Size fitted = FittedPictureSize(heif_image_handle_get_width(primary.get()),
                                          heif_image_handle_get_height(primary.get()), box);
    if (fitted.width <= 0 || fitted.height <= 0) {
        return false;
    }
    // A thumbnail's own turn is the primary picture's (phones write the same irot for both), so a
    // covering one is never turned the other way.
    const Handle thumbnail = CoveringThumbnail(primary.get(), fitted);
    if (thumbnail && DecodeHandle(thumbnail.get(), fitted, out)) {
        return true;
    }
    return DecodeHandle(primary.get(), fitted, out);
}

} // namespace

uint64_t HeifDecodeMemory(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) {
        return 0;
    }
    return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 12;
}

bool DecodeHeif(const ExifByteSource& file, const Rect& box, cv::Mat& out) {
    out.release();
    try {
        if (Decode(file, box, out)) {
            return true;
        }
    } catch (const std::exception&) {
        // Out of memory, or OpenCV refusing the resize.
    }
    out.release();
    return false;
}

bool HeifSizeBeyondLimits(const std::string& path) {
    try {
        ExifByteSource file(nullptr, 0);
        if (!LibraryReady() || !file.Open(path)) {
            return false;
        }
        ReaderState state{&file, 0};
        const Context context(heif_context_alloc());
        if (!context) {
            return false;
        }
        heif_context_set_maximum_image_size_limit(context.get(), kNoSideLimit);
        const heif_error read = heif_context_read_from_reader(context.get(), &kReader, &state, nullptr);
        return read.code != heif_error_Ok && read.subcode == heif_suberror_Security_limit_exceeded;
    } catch (const std::exception&) {
        return false;
    }
}

bool ReadHeifExifItem(const ExifByteSource& file, std::vector<uint8_t>& item) {
    item.clear();
    try {
        ReaderState state;
        Context context;
        Handle primary;
        if (!OpenPrimary(file, state, context, primary, kNoSideLimit)) {
            return false;
        }
        heif_item_id id = 0;
        if (heif_image_handle_get_list_of_metadata_block_IDs(primary.get(), "Exif", &id, 1) != 1) {
            return false;
        }
        const size_t size = heif_image_handle_get_metadata_size(primary.get(), id);
        if (size == 0 || size > kMaxExifItem) {
            return false;
        }
        item.resize(size);
        if (heif_image_handle_get_metadata(primary.get(), id, item.data()).code != heif_error_Ok) {
            item.clear();
            return false;
        }
        return true;
    } catch (const std::exception&) {
        item.clear();
        return false;
    }
}
