#pragma once

#include <QString>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class CLumivaneDoc;
class QWidget;

struct ImportProgressOptions {
    unsigned threads = 0; // worker threads; 0 one per core
    // An import still running after this long shows the progress dialog; a short one never does.
    std::chrono::milliseconds showAfter{500};
    // Called once the import has ended and before the refusals gathered out of sight are told,
    // so the chart already shows what was loaded behind that message.
    std::function<void()> imported;
};

// Imports the paths into the document with the window alive: the files are loaded on worker
// threads while the event loop runs, so the windows repaint, and they are added (and refusals
// shown) in the order of the paths. An import that runs longer than showAfter shows a progress
// dialog whose button "中止" stops it after the files in flight, keeping what was loaded. Until
// the import ends, input to the windows that were open when it began is held off, as a modal
// dialog would hold it; message boxes and the progress dialog take input as usual. The busy
// cursor shows throughout. Refusals the user chose not to see one by one are told in one message
// once the progress dialog is gone (Notifier::BeginImport, EndImport). Returns the number of photos added; the caller lays out and repaints
// as after any import.
int ImportWithProgress(CLumivaneDoc& doc, const std::vector<std::string>& paths, QWidget* parent,
                       const ImportProgressOptions& options = {});

// "画像を読み込んでいます… n / N"
QString ImportProgressText(size_t done, size_t total);
