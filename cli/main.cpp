// kestory-export: the shooting data and the chart of the window, from the command line.

#include "chart/ChartImage.h"
#include "chart/ChartOutput.h"
#include "cli/ExportOptions.h"
#include "cli/RunExport.h"
#include "collection/Notifier.h"
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
        ExportOptions options = parsed.options;
        if (!options.noCache) {
            options.thumbnailCache = kestory::ThumbnailCacheFile();
        }
        StderrNotifier notifier;
        // The page is drawn with Qt's painter and fonts, which need an application object; no
        // display is wanted for a file.
        std::unique_ptr<QGuiApplication> qt;
        if (!parsed.options.pdfPath.empty() || !parsed.options.pngPath.empty()) {
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
        const ChartFileWriter writePng = [](CLumivaneDoc& doc, std::string& bytes) {
            const QImage image = RenderChartImage(doc);
            QByteArray png;
            QBuffer buffer(&png);
            if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
                return false;
            }
            bytes = png.toStdString();
            return true;
        };
        return RunExport(options, notifier, writePdf, writePng);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestory-export: %s\n", e.what());
        return 70; // EX_SOFTWARE
    }
}
