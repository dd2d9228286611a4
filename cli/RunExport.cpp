#include "cli/RunExport.h"

#include "chart/ChartGeometry.h"
#include "chart/IsoSpeed.h"
#include "collection/CLumivaneDoc.h"
#include "collection/CsvExport.h"
#include "collection/FolderScan.h"
#include "collection/ImportTexts.h"
#include "collection/Notifier.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

void Import(CLumivaneDoc& doc, const std::string& input) {
    std::error_code ec;
    if (!std::filesystem::is_directory(input, ec)) {
        // Like a dropped file: whatever it is, the load decides (a missing file is refused there).
        doc.AddPhoto(input);
        return;
    }
    std::vector<std::string> paths;
    ScanFolder(input, paths);
    for (const std::string& path : paths) {
        doc.AddPhoto(path);
    }
}

} // namespace

int RunExport(const ExportOptions& options, Notifier& notifier, const ChartFileWriter& writePdf,
              const ChartFileWriter& writePng) {
    CLumivaneDoc doc(notifier);
    for (const std::string& input : options.inputs) {
        Import(doc, input);
    }
    if (doc.GetCount() < 1) {
        notifier.Notify(std::string(kestory::texts::kCsvNoPhotos), Notifier::Icon::None);
        return kExitNoPhotos;
    }
    if (!options.csvPath.empty() && WriteCsv(doc.Photos(), options.csvPath) == 0) {
        notifier.Notify(std::string(kestory::texts::kCsvSaveFailed), Notifier::Icon::Warning);
        return kExitWriteFailed;
    }
    if (!options.pngPath.empty()) {
        doc.settings.magnify = options.magnify;
        doc.settings.sizePict = options.sizePict;
        doc.settings.viewType = options.marks ? DisplaySettings::kViewMarks : DisplaySettings::kViewThumbnails;
        ApplyIsoIndex(doc.settings, options.isoIndex);
        LayoutPhotos(doc);
        if (!writePng || !writePng(doc, options.pngPath)) {
            notifier.Notify("ＰＮＧファイルの保存に失敗しました。", Notifier::Icon::Warning);
            return kExitWriteFailed;
        }
    }
    if (!options.pdfPath.empty() && (!writePdf || !writePdf(doc, options.pdfPath))) {
        notifier.Notify("ＰＤＦファイルの保存に失敗しました。", Notifier::Icon::Warning);
        return kExitWriteFailed;
    }
    return kExitOk;
}
