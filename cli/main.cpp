// kestory-export: the shooting data and the chart of the window, from the command line.

#include "chart/ChartImage.h"
#include "chart/ChartOutput.h"
#include "chart/HistogramImage.h"
#include "chart/HistogramRender.h"
#include "cli/ExportOptions.h"
#include "cli/RunExport.h"
#include "collection/Notifier.h"
#include "collection/PictureMemory.h"
#include "shell/TerminationSignals.h"
#include "shell/ThumbnailCacheFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <memory>
#include <exception>
#include <string>
#include <vector>

namespace {

// Every message on a line of its own on standard error, in the order the import meets them.
class StderrNotifier : public Notifier {
public:
    void Notify(const std::string& utf8Text, Icon) override {
        std::fprintf(stderr, "%s\n", utf8Text.c_str());
        std::fflush(stderr);
    }
};

// Standard error carries the refusals, one line each, for scripts to read: Qt's own chatter about
// the offscreen platform (runtime folders, fonts) is not for them. Fatal messages still go out.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "kestory-export: %s\n", message.toLocal8Bit().constData());
    }
}

} // namespace

int main(int argc, char** argv) {
    KeepPictureMemory();
    try {
        const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
        const ParsedCommandLine parsed = ParseExportOptions(args);
        switch (parsed.status) {
        case ParsedCommandLine::Status::Help:
            std::fputs(ExportHelpText(), stdout);
            return kExitOk;
        case ParsedCommandLine::Status::UsageError:
            std::fprintf(stderr, "kestory-export: %s\n詳しくは kestory-export --help\n",
                         parsed.error.c_str());
            return kExitUsage;
        case ParsedCommandLine::Status::Run:
            break;
        }
        // Ended by the system or Ctrl+C, the run stops between two files and between two outputs.
        InstallTerminationHandlers();
        ExportOptions options = parsed.options;
        if (!options.noCache) {
            options.thumbnailCache = kestory::ThumbnailCacheFile();
        }
        StderrNotifier notifier;
        // The page is drawn with Qt's painter and fonts, which need an application object; no
        // display is wanted for a file.
        std::unique_ptr<QGuiApplication> qt;
        if (!options.pdfPath.empty() || !options.pngPath.empty() || !options.svgPath.empty() ||
            !options.statsPngPath.empty()) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
                qputenv("QT_QPA_PLATFORM", "offscreen");
            }
            qInstallMessageHandler(QuietQtMessages);
            qt = std::make_unique<QGuiApplication>(argc, argv);
        }
        const ChartFileWriter writePdf = [](CLumivaneDoc& doc, std::string& bytes) {
            QByteArray pdf;
            if (!kestory::chartout::DrawChartPdf(doc, pdf)) {
                return false;
            }
            bytes = pdf.toStdString();
            return true;
        };
        const auto kept = [](const QByteArray& drawn, std::string& bytes) {
            bytes = drawn.toStdString();
            return !drawn.isEmpty();
        };
        const ChartFileWriter writePng = [&kept](CLumivaneDoc& doc, std::string& bytes) {
            return kept(PngBytes(RenderChartImage(doc)), bytes);
        };
        const ChartFileWriter writeSvg = [&kept](CLumivaneDoc& doc, std::string& bytes) {
            return kept(RenderChartSvg(doc), bytes);
        };
        const StatsImageWriter writeStatsPng = [&kept](const StatHistogram& histogram, std::string& bytes) {
            const QSize size(kStatisticsChartSize.width, kStatisticsChartSize.height);
            return kept(PngBytes(RenderHistogramImage(histogram, size)), bytes);
        };
        return RunExport(options, notifier, writePdf, writePng, writeSvg, writeStatsPng, TerminationSignalReceived);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestory-export: %s\n", e.what());
        return 70; // EX_SOFTWARE
    }
}
