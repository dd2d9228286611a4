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

// Files as given (like dropped files: whatever they are, the load decides, and a missing one is
// refused there) and the scanned contents of folders, in the order of the inputs.
std::vector<std::string> ImportPaths(const std::vector<std::string>& inputs) {
    std::vector<std::string> paths;
    for (const std::string& input : inputs) {
        std::error_code ec;
        if (!std::filesystem::is_directory(input, ec)) {
            paths.push_back(input);
            continue;
        }
        std::vector<std::string> scanned;
        ScanFolder(input, scanned);
        paths.insert(paths.end(), scanned.begin(), scanned.end());
    }
    return paths;
}

} // namespace

int RunExport(const ExportOptions& options, Notifier& notifier, const ChartFileWriter& writePdf,
              const ChartFileWriter& writePng) {
    CLumivaneDoc doc(notifier);
    doc.AddPhotos(ImportPaths(options.inputs), static_cast<unsigned>(options.threads));
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
