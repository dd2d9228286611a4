#include "photo/HevcDecoder.h"

#include <libde265/de265.h>
#include <libheif/heif.h>
#include <libheif/heif_plugin.h>

#include <cstring>
#include <exception>

namespace {

struct Decoder {
    de265_decoder_context* context = nullptr;
    bool failed = false; // a NAL unit could not be taken
};

constexpr heif_error kOk{heif_error_Ok, heif_suberror_Unspecified, ""};

heif_error Failure(const char* message) {
    return {heif_error_Decoder_plugin_error, heif_suberror_Unspecified, message};
}

// The decoder's own allocation, then every plane zeroed: what a damaged stream leaves undecoded
// is black-green, the same on every decode, instead of whatever the memory held.
int ZeroedBuffer(de265_decoder_context* context, de265_image_spec* format, de265_image* image, void*) {
    const de265_image_allocation* standard = de265_get_default_image_allocation_functions();
    if (standard->get_buffer(context, format, image, nullptr) == 0) {
        return 0;
    }
    for (int channel = 0; channel < 3; ++channel) {
        int stride = 0;
        const uint8_t* plane = de265_get_image_plane(image, channel, &stride);
        const int rows = de265_get_image_height(image, channel);
        if (plane != nullptr && stride > 0 && rows > 0) {
            std::memset(const_cast<uint8_t*>(plane), 0, static_cast<size_t>(stride) * static_cast<size_t>(rows));
        }
    }
    return 1;
}

void ReleaseBuffer(de265_decoder_context* context, de265_image* image, void*) {
    de265_get_default_image_allocation_functions()->release_buffer(context, image, nullptr);
}

de265_image_allocation kZeroedAllocation{ZeroedBuffer, ReleaseBuffer};

void InitPlugin() {
    de265_init();
}

void DeinitPlugin() {
    de265_free();
}

const char* PluginName() {
    return "Kestory libde265";
}

int SupportsFormat(heif_compression_format format) {
    // libheif's own libde265 plugin says 100.
    return format == heif_compression_HEVC ? 200 : 0;
}

heif_error NewDecoder(void** out) {
    try {
        auto* decoder = new Decoder;
        decoder->context = de265_new_decoder();
        if (decoder->context == nullptr) {
            delete decoder;
            return Failure("libde265 could not start");
        }
        de265_set_image_allocation_functions(decoder->context, &kZeroedAllocation, nullptr);
        // Without threads libde265 decodes on the calling thread; with them the picture is shared.
        de265_start_worker_threads(decoder->context, kHevcThreads);
        *out = decoder;
        return kOk;
    } catch (const std::exception&) {
        return Failure("out of memory");
    }
}

void FreeDecoder(void* raw) {
    auto* decoder = static_cast<Decoder*>(raw);
    de265_free_decoder(decoder->context);
    delete decoder;
}

// libheif hands over the hvcC parameter sets and the picture's data alike as NAL units, each
// after its length: length (4, big-endian) | NAL unit (length bytes) | length | ...
heif_error PushData(void* raw, const void* data, size_t size) {
    auto* decoder = static_cast<Decoder*>(raw);
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t at = 0;
    while (at < size) {
        if (size - at < 4) {
            decoder->failed = true;
            return Failure("NAL unit length cut off");
        }
        const uint32_t length = (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) |
                                (uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
        at += 4;
        if (length > size - at || length > 0x7FFFFFFFu) {
            decoder->failed = true;
            return Failure("NAL unit beyond the data");
        }
        if (de265_push_NAL(decoder->context, bytes + at, static_cast<int>(length), 0, nullptr) != DE265_OK) {
            decoder->failed = true;
            return Failure("NAL unit refused");
        }
        at += length;
    }
    return kOk;
}

// Warnings about threading say nothing about the picture.
bool HarmlessWarning(de265_error warning) {
    return warning == DE265_WARNING_NO_WPP_CANNOT_USE_MULTITHREADING ||
           warning == DE265_WARNING_NUMBER_OF_THREADS_LIMITED_TO_MAXIMUM;
}

heif_chroma HeifChroma(de265_chroma chroma) {
    switch (chroma) {
    case de265_chroma_mono:
        return heif_chroma_monochrome;
    case de265_chroma_420:
        return heif_chroma_420;
    case de265_chroma_422:
        return heif_chroma_422;
    case de265_chroma_444:
        return heif_chroma_444;
    }
    return heif_chroma_undefined;
}

// The decoded planes into a heif_image of the same layout, with the stream's colour description.
heif_error ToHeifImage(const de265_image* picture, heif_image** out) {
    const de265_chroma chroma = de265_get_chroma_format(picture);
    const int width = de265_get_image_width(picture, 0);
    const int height = de265_get_image_height(picture, 0);
    heif_image* image = nullptr;
    const heif_colorspace space = chroma == de265_chroma_mono ? heif_colorspace_monochrome : heif_colorspace_YCbCr;
    if (heif_image_create(width, height, space, HeifChroma(chroma), &image).code != heif_error_Ok) {
        return Failure("no picture");
    }
    const heif_channel channels[3] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
    const int planes = chroma == de265_chroma_mono ? 1 : 3;
    for (int c = 0; c < planes; ++c) {
        const int planeWidth = de265_get_image_width(picture, c);
        const int planeHeight = de265_get_image_height(picture, c);
        const int bits = de265_get_bits_per_pixel(picture, c);
        int sourceStride = 0;
        const uint8_t* source = de265_get_image_plane(picture, c, &sourceStride);
        if (source == nullptr || planeWidth <= 0 || planeHeight <= 0 || bits <= 0 || bits > 16 ||
            heif_image_add_plane(image, channels[c], planeWidth, planeHeight, bits).code != heif_error_Ok) {
            heif_image_release(image);
            return Failure("no plane");
        }
        int stride = 0;
        uint8_t* target = heif_image_get_plane(image, channels[c], &stride);
        const size_t rowBytes = static_cast<size_t>(planeWidth) * static_cast<size_t>((bits + 7) / 8);
        if (target == nullptr || static_cast<size_t>(stride) < rowBytes || static_cast<size_t>(sourceStride) < rowBytes) {
            heif_image_release(image);
            return Failure("no plane");
        }
        for (int y = 0; y < planeHeight; ++y) {
            std::memcpy(target + static_cast<size_t>(y) * static_cast<size_t>(stride),
                        source + static_cast<size_t>(y) * static_cast<size_t>(sourceStride), rowBytes);
        }
    }
    if (heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc()) {
        nclx->color_primaries = static_cast<heif_color_primaries>(de265_get_image_colour_primaries(picture));
        nclx->transfer_characteristics =
            static_cast<heif_transfer_characteristics>(de265_get_image_transfer_characteristics(picture));
        nclx->matrix_coefficients = static_cast<heif_matrix_coefficients>(de265_get_image_matrix_coefficients(picture));
        nclx->full_range_flag = static_cast<uint8_t>(de265_get_image_full_range_flag(picture));
        heif_image_set_nclx_color_profile(image, nclx);
        heif_nclx_color_profile_free(nclx);
    }
    *out = image;
    return kOk;
}

heif_error DecodeImage(void* raw, heif_image** out) {
    auto* decoder = static_cast<Decoder*>(raw);
    *out = nullptr;
    if (decoder->failed || de265_flush_data(decoder->context) != DE265_OK) {
        return Failure("damaged stream");
    }
    // Until the picture comes out (a HEIF item holds one); the decoder then waits for it to be
    // taken and would not end the loop.
    const de265_image* picture = nullptr;
    int more = 1;
    while (more != 0 && picture == nullptr) {
        more = 0;
        const de265_error status = de265_decode(decoder->context, &more);
        if (status != DE265_OK && status != DE265_ERROR_WAITING_FOR_INPUT_DATA) {
            return Failure("damaged stream");
        }
        picture = de265_peek_next_picture(decoder->context);
        if (status == DE265_ERROR_WAITING_FOR_INPUT_DATA) {
            break;
        }
    }
    for (de265_error warning = de265_get_warning(decoder->context); warning != DE265_OK;
         warning = de265_get_warning(decoder->context)) {
        if (!HarmlessWarning(warning)) {
            return Failure("damaged stream");
        }
    }
    if (picture == nullptr) {
        return Failure("no picture in the stream");
    }
    return ToHeifImage(picture, out);
}

void SetStrictDecoding(void*, int) {
    // Always strict.
}

const heif_decoder_plugin kPlugin{
    3, PluginName, InitPlugin, DeinitPlugin, SupportsFormat, NewDecoder, FreeDecoder, PushData, DecodeImage, SetStrictDecoding,
    "kestory-libde265",
};

} // namespace

const heif_decoder_plugin& HevcDecoderPlugin() {
    return kPlugin;
}
