#pragma once

#include "collection/PhotoFilter.h"
#include "collection/StatBins.h"

#include <optional>

#include <string>
#include <vector>

// What kestory-export was asked to do.
struct ExportOptions {
    std::string csvPath;             // --csv: the shooting-data file to write
    std::string pdfPath;             // --pdf: the chart on one landscape page, as printed
    std::string pngPath;             // --png: the whole chart as the screen shows it
    std::string svgPath;             // --svg: the same chart as an SVG file
    // --stats focal|focal35|aperture|shutter|iso|ev|lens|camera|hour|weekday|month|year: the bins
    // of the photos the filter lets through, every bin a line of --stats-csv, the panel's bar chart
    // as --stats-png.
    std::optional<StatValue> statsValue;
    std::string statsCsvPath;
    std::string statsPngPath;
    // The display settings of the pictures, as the display-settings panel offers them; the PDF page
    // is drawn at 100 % whatever --magnify says.
    int magnify = 100;               // --magnify 30..400 (percent)
    int sizePict = 40;               // --size 10..120 (chart units)
    bool marks = false;              // --marks: red marks instead of thumbnails
    int isoIndex = 1;                // --iso-index 0..10 (1 is ISO 100)
    int markColour = 0;              // --color-by iso|focal|camera|time (DisplaySettings::kMark..); marks
    bool density = false;            // --density: photo counts per grid cell
    int threads = 0;                 // --threads 1..256: files loaded at once; 0 one per core
    bool pairRaw = true;             // --no-raw-pairs off: a raw file beside its JPEG is left out
    bool decodeAll = false;          // --decode-all: no chart picture from a picture the file carries
    bool allKinds = false;           // --all-kinds: folders give their HEIF and raw files too
 // photo files (taken as given) and folders (scanned)
    bool recursive = false;          // --recursive: folders with every folder below them
    bool noCache = false;            // --no-cache: every picture decoded, the thumbnail cache untouched
    int cacheLimitMiB = 2048;        // --cache-limit MIB: the thumbnail cache's bound
    std::string thumbnailCache;      // not an option: the cache file the program found; empty for none
    // --camera and --lens (each may be given more than once: any of them), --focal and --iso
    // (MIN-MAX), --from and --to (YYYY-MM-DD): the photos all three outputs take. A date range
    // leaves out the photos without a date.
    PhotoFilter filter;
    std::vector<std::string> inputs; // photo files (taken as given) and folders (scanned)
};

struct ParsedCommandLine {
    enum class Status { Run, Help, UsageError };
    Status status = Status::Run;
    ExportOptions options;
    std::string error; // for UsageError: what was wrong, one line
};

// The arguments after the program name. "--name VALUE" and "--name=VALUE" are the same; "--" ends
// the options, so a path that begins with "-" can still be given.
ParsedCommandLine ParseExportOptions(const std::vector<std::string>& args);

// The text of --help.
const char* ExportHelpText();
