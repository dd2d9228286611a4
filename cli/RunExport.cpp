#include "cli/RunExport.h"

#include "chart/ChartGeometry.h"
#include "chart/IsoSpeed.h"
#include "collection/CLumivaneDoc.h"
#include "collection/CsvExport.h"
#include "collection/FolderScan.h"
#include "collection/ImportTexts.h"
#include "collection/Notifier.h"
#include "collection/OutputFile.h"
#include "collection/ParallelImport.h"
#include "collection/RawJpegPairs.h"
#include "collection/StatBins.h"
#include "collection/ThumbnailCache.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

// Files as given (like dropped files: whatever they are, the load decides, and a missing one is
// refused there) and the scanned contents of folders, in the order of the inputs.
std::vector<std::string> ImportPaths(const std::vector<std::string>& inputs, bool recursive, bool allKinds) {
    std::vector<std::string> paths;
    for (const std::string& input : inputs) {
        std::error_code ec;
        if (!std::filesystem::is_directory(input, ec)) {
            paths.push_back(input);
            continue;
        }
        std::vector<std::string> scanned;
        if (recursive) {
            ScanFolderTree(input, scanned, {}, allKinds);
        } else {
            ScanFolder(input, scanned, allKinds);
        }
        paths.insert(paths.end(), scanned.begin(), scanned.end());
    }
    return paths;
}

// The window's failure text, then the file as given and why, on the same line.
void TellSaveFailed(Notifier& notifier, std::string_view text, const std::string& path, const std::string& reason) {
    notifier.Notify(std::string(text) + " " + path + ": " + reason, Notifier::Icon::Warning);
}

template <typename Drawn, typename Writer>
bool SaveChart(Drawn& drawn, const Writer& draw, const std::string& path, std::string_view failedText,
               Notifier& notifier) {
    std::string bytes;
    if (!draw || !draw(drawn, bytes)) {
        TellSaveFailed(notifier, failedText, path, "the chart could not be drawn");
        return false;
    }
    OutputFileStatus written = WriteOutputFile(path, bytes);
    if (written.result != 1) {
        TellSaveFailed(notifier, failedText, path, written.reason);
        return false;
    }
    return true;
}

} // namespace

int RunExport(const ExportOptions& options, Notifier& notifier, const ChartFileWriter& writePdf,
              const ChartFileWriter& writePng, const ChartFileWriter& writeSvg, const StatsImageWriter& writeStatsPng,
              const StopCheck& stopped) {
    const auto stopSignal = [&stopped] { return stopped ? stopped() : 0; };
    // Outlives the document's imports; opened at the first look-up.
    std::unique_ptr<ThumbnailCache> cache;
    if (!options.noCache && !options.thumbnailCache.empty()) {
        ThumbnailCache::Options limits;
        limits.maxBytes = int64_t{options.cacheLimitMiB} << 20;
        cache = std::make_unique<ThumbnailCache>(options.thumbnailCache, limits);
    }
    CLumivaneDoc doc(notifier);
    doc.SetThumbnailStore(cache.get());
    // The pictures the import makes are the ones the PNG and SVG draw (the PDF's at 100 % are
    // decoded where these do not cover them).
    doc.settings.useEmbedded = !options.decodeAll;
    doc.settings.sizePict = options.sizePict;
    doc.settings.magnify = !options.pngPath.empty() || !options.svgPath.empty() ? options.magnify : 100;
    {
        ParallelImport import(doc, static_cast<unsigned>(options.threads));
        import.KeepPictures(!options.pngPath.empty() || !options.pdfPath.empty() || !options.svgPath.empty());
        std::vector<std::string> paths = ImportPaths(options.inputs, options.recursive, options.allKinds);
        RawCompanions companions;
        if (options.pairRaw) {
            PairRawWithJpeg(paths, companions);
        }
        doc.NoteRawCompanions(std::move(companions));
        import.Start(paths);
        while (import.Step(std::chrono::milliseconds(50))) {
            if (stopSignal() != 0) {
                import.Cancel();
            }
        }
    }
    // Every output is drawn whole in memory and put in place by a rename, so between two of them
    // nothing is half written.
    const auto stopStatus = [&]() -> std::optional<int> {
        if (const int signalNumber = stopSignal(); signalNumber != 0) {
            return kExitSignalBase + signalNumber;
        }
        return std::nullopt;
    };
    if (const auto status = stopStatus()) {
        return *status;
    }
    doc.SetFilter(options.filter);
    if (doc.ShownCount() < 1) {
        notifier.Notify(std::string(kestory::texts::kCsvNoPhotos), Notifier::Icon::None);
        return kExitNoPhotos;
    }
    if (std::string reason;
        !options.csvPath.empty() && WriteCsv(doc.Photos(), options.csvPath, &reason, &doc.Shown()) == 0) {
        TellSaveFailed(notifier, kestory::texts::kCsvSaveFailed, options.csvPath, reason);
        return kExitWriteFailed;
    }
    if (const auto status = stopStatus()) {
        return *status;
    }
    if (options.statsValue) {
        // Every name a bin of its own: the file lumps nothing into "その他".
        const StatHistogram bins = CountStatBins(doc.PhotoFilterKeys(), doc.Filter(), *options.statsValue, {}, 0);
        if (std::string reason; WriteStatCsv(bins, options.statsCsvPath, &reason) == 0) {
            TellSaveFailed(notifier, kestory::texts::kCsvSaveFailed, options.statsCsvPath, reason);
            return kExitWriteFailed;
        }
        const StatHistogram bars = CountStatBins(doc.PhotoFilterKeys(), doc.Filter(), *options.statsValue);
        if (!options.statsPngPath.empty() &&
            !SaveChart(bars, writeStatsPng, options.statsPngPath, "ＰＮＧファイルの保存に失敗しました。", notifier)) {
            return kExitWriteFailed;
        }
    }
    // The pictures' display settings, for the PNG and the PDF alike (the PDF is then laid out at
    // 100 %, as printing does).
    doc.settings.sizePict = options.sizePict;
    doc.settings.viewType = options.density                            ? DisplaySettings::kViewDensity
                            : options.marks || options.markColour != 0 ? DisplaySettings::kViewMarks
                                                                       : DisplaySettings::kViewThumbnails;
    doc.settings.markColour = options.markColour;
    ApplyIsoIndex(doc.settings, options.isoIndex);
    if (!options.pngPath.empty() || !options.svgPath.empty()) {
        doc.settings.magnify = options.magnify;
        LayoutPhotos(doc);
        if (const auto status = stopStatus()) {
            return *status;
        }
        if (!options.pngPath.empty() &&
            !SaveChart(doc, writePng, options.pngPath, "ＰＮＧファイルの保存に失敗しました。", notifier)) {
            return kExitWriteFailed;
        }
        if (const auto status = stopStatus()) {
            return *status;
        }
        if (!options.svgPath.empty() &&
            !SaveChart(doc, writeSvg, options.svgPath, "ＳＶＧファイルの保存に失敗しました。", notifier)) {
            return kExitWriteFailed;
        }
    }
    if (const auto status = stopStatus()) {
        return *status;
    }
    if (!options.pdfPath.empty() &&
        !SaveChart(doc, writePdf, options.pdfPath, "ＰＤＦファイルの保存に失敗しました。", notifier)) {
        return kExitWriteFailed;
    }
    return kExitOk;
}
