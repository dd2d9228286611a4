#pragma once

#include "collection/FolderScan.h"

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

// Whether an import or a folder-tree scan is running: what arrives from outside the user's own
// commands (a watched folder, another program's request) waits until it has ended.
bool ImportUnderWay();

// Stops every import and scan under way as their "中止" would (the files in flight are still
// added; a scan adds nothing), for a program that is to end.
void StopImportsUnderWay();

// "画像を読み込んでいます… n / N", and once photos have come in, below it the photos per second so
// far and the time left at that pace, "毎秒 r 枚、残り約 s 秒" (seconds: since the import began).
QString ImportProgressText(size_t done, size_t total, double seconds = 0);

struct FolderTreeScanOptions {
    // A scan still running after this long shows the progress dialog; a short one never does.
    std::chrono::milliseconds showAfter{500};
    // The scan itself, run on a worker thread; tests put a slower one in.
    std::function<int(const std::string& folder, std::vector<std::string>& list, const FolderTreeProgress& progress)>
        scan = [](const std::string& folder, std::vector<std::string>& list, const FolderTreeProgress& progress) {
            return ScanFolderTree(folder, list, progress);
        };
};

struct FolderTreeScanResult {
    int count = 0;            // JPEG files found; -1 when the user stopped the scan (list empty)
    bool dialogShown = false; // the progress dialog was on screen, so the import's may follow at once
};

// Scans a folder tree (ScanFolderTree) on a worker thread with the window alive, the way
// ImportWithProgress loads: input to the open windows held off, the busy cursor, and, for a scan
// running longer than showAfter, a progress dialog counting the folders scanned and the photo files
// found whose "中止"
// stops the scan at the end of the folder it is in. list is replaced by what the scan found.
FolderTreeScanResult ScanFolderTreeWithProgress(const std::string& folder, std::vector<std::string>& list,
                                                QWidget* parent, const FolderTreeScanOptions& options = {});

// "フォルダを調べています… フォルダ n 個、ファイル m 個"
QString FolderScanProgressText(size_t folders, size_t found);
