#pragma once

#include "cli/ExportOptions.h"

#include <functional>
#include <string>

class CLumivaneDoc;
class Notifier;

// Draws the chart of the document as the bytes of a file (one landscape PDF page, or the screen's
// picture as PNG); false when it could not be drawn. The window's side provides them (the
// exporter's core knows no Qt); the exporter puts the bytes in place as it writes the CSV file.
using ChartFileWriter = std::function<bool(CLumivaneDoc& doc, std::string& bytes)>;
// The statistics panel's bar chart of the bins as the bytes of a PNG file.
using StatsImageWriter = std::function<bool(const StatHistogram& histogram, std::string& bytes)>;

// The termination signal received so far (SIGTERM, SIGINT, SIGHUP), 0 none.
using StopCheck = std::function<int()>;

// Exit codes of kestory-export; a run ended by a signal exits with 128 + its number.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNoPhotos = 1;
inline constexpr int kExitWriteFailed = 2;
inline constexpr int kExitUsage = 64; // EX_USAGE of sysexits.h
inline constexpr int kExitSignalBase = 128;

// Loads every input into a document, as the window's import does, and writes the outputs of the
// photos the options' filter lets through (none through: as when none could be loaded).
// Refusals are told through the notifier with the window's texts; a file that could not be saved
// with the window's text followed by " path: the system's reason". Without a PNG or PDF to draw,
// no thumbnail is kept. The PNG picture is drawn at the options' display settings; the PDF page
// at 100 %, as printing does. Thumbnails come from and go to the options' thumbnail cache unless
// noCache is set. A signal stops the import after the files in flight and writes no further
// output; the outputs written before it are whole, and none is left half written.
int RunExport(const ExportOptions& options, Notifier& notifier, const ChartFileWriter& writePdf = {},
              const ChartFileWriter& writePng = {}, const ChartFileWriter& writeSvg = {},
              const StatsImageWriter& writeStatsPng = {}, const StopCheck& stopped = {});
