#include "photo/LibRawFile.h"

#include "photo/CExifAnalize.h"

#include <libraw/libraw.h>

#include <cmath>
#include <ctime>

#include <exception>
#include <memory>

namespace {

// LibRaw's processor holds some hundred kilobytes of tables; one per call keeps threads apart.
std::unique_ptr<LibRaw> Open(const std::string& path) {
    try {
        auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
        if (raw->open_file(path.c_str()) != LIBRAW_SUCCESS) {
            return nullptr;
        }
        return raw;
    } catch (const std::exception&) {
        return nullptr;  // LibRaw allocates while it parses
    }
}

} // namespace

bool FindLibRawPreview(const std::string& path, uint64_t& offset, uint64_t& length) {
    const std::unique_ptr<LibRaw> raw = Open(path);
    if (!raw) {
        return false;
    }
    // LibRaw 0.20 names one preview, the one its format parser chose; tformat is only set by
    // unpack_thumb, so the kind is told from the bytes by the caller.
    const INT64 at = raw->get_internal_data_pointer()->internal_data.toffset;
    const unsigned size = raw->imgdata.thumbnail.tlength;
    if (at <= 0 || size == 0) {
        return false;
    }
    offset = static_cast<uint64_t>(at);
    length = size;
    return true;
}

bool ReadLibRawEntries(const std::string& path, CExifAnalize& exif) {
    const std::unique_ptr<LibRaw> raw = Open(path);
    if (!raw) {
        return false;
    }
    const auto text = [&](int16_t directory, uint16_t tag, const std::string& value) {
        if (!value.empty()) {
            CExifEntryInfo entry;
            entry.tag = tag;
            entry.type = 2;
            entry.count = static_cast<uint32_t>(value.size() + 1);
            entry.text = value;
            entry.directory = directory;
            exif.AppendEntry(entry);
        }
    };
    const auto rational = [&](uint16_t tag, double value, bool inverse) {
        if (!(value > 0) || value > 1e6) {
            return;
        }
        CExifEntryInfo entry;
        entry.tag = tag;
        entry.type = 5;
        entry.count = 1;
        entry.directory = 1;
        if (inverse && value < 1) {
            entry.numerators[0] = 1;
            entry.denominators[0] = static_cast<int32_t>(std::lround(1 / value));
        } else {
            entry.numerators[0] = static_cast<int32_t>(std::lround(value * 10));
            entry.denominators[0] = 10;
        }
        exif.AppendEntry(entry);
    };
    const libraw_imgother_t& other = raw->imgdata.other;
    text(0, 0x010F, raw->imgdata.idata.make);
    text(0, 0x0110, raw->imgdata.idata.model);
    rational(0x829A, other.shutter, true);
    rational(0x829D, other.aperture, false);
    if (other.iso_speed >= 1 && other.iso_speed <= 65535) {
        CExifEntryInfo entry;
        entry.tag = 0x8827;
        entry.type = 3;
        entry.count = 1;
        entry.directory = 1;
        entry.value = static_cast<int32_t>(std::lround(other.iso_speed));
        exif.AppendEntry(entry);
    }
    // LibRaw turns the camera's local clock into seconds with mktime; localtime gives it back.
    std::tm when{};
    const std::time_t stamp = other.timestamp;
    char date[32];
    if (stamp > 0 && localtime_r(&stamp, &when) != nullptr &&
        std::strftime(date, sizeof date, "%Y:%m:%d %H:%M:%S", &when) == 19) {
        text(1, 0x9003, date);
    }
    return true;
}
