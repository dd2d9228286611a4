#include "shell/FolderWatcher.h"

#include "collection/FolderScan.h"
#include "photo/ThumbnailStore.h"

#include <QDir>
#include <QFile>

#include <chrono>
#include <utility>

namespace {

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// While photos wait to settle, how often their sizes are looked at.
constexpr int kPollMs = 250;

}  // namespace

FolderWatcher::FolderWatcher(QObject* parent, Clock c) : QObject(parent), clock(c ? std::move(c) : Clock(SteadyMs)) {
    timer.setInterval(kPollMs);
    connect(&timer, &QTimer::timeout, this, &FolderWatcher::Poll);
    connect(&watcher, &QFileSystemWatcher::directoryChanged, this, [this](const QString& folder) {
        changed.insert(folder);
        Poll();
    });
}

FolderWatcher::~FolderWatcher() = default;

void FolderWatcher::Start(const QString& folder, bool kinds) {
    Stop();
    top = QDir::cleanPath(folder);
    otherKinds = kinds;
    watchFolder(top, false);
}

void FolderWatcher::Stop() {
    if (!watcher.directories().isEmpty()) {
        watcher.removePaths(watcher.directories());
    }
    timer.stop();
    top.clear();
    folders.clear();
    changed.clear();
    seen.clear();
    waiting.clear();
}

void FolderWatcher::watchFolder(const QString& folder, bool reportFiles) {
    if (folders.contains(folder)) {
        return;
    }
    folders.insert(folder);
    watcher.addPath(folder);
    scanFiles(folder, reportFiles);
    watchFoldersBelow(folder, reportFiles);
}

void FolderWatcher::watchFoldersBelow(const QString& folder, bool reportFiles) {
    const QStringList below = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
    for (const QString& name : below) {
        if (!name.startsWith(QLatin1Char('.'))) {
            watchFolder(QDir(folder).filePath(name), reportFiles);
        }
    }
}

void FolderWatcher::scanFiles(const QString& folder, bool report) {
    std::vector<std::string> photos;
    ScanFolder(QFile::encodeName(folder).toStdString(), photos, otherKinds);
    for (const std::string& path : photos) {
        const QByteArray key = QByteArray::fromStdString(path);
        if (seen.contains(key)) {
            continue;
        }
        seen.insert(key);
        if (report) {
            waiting.emplace(path, Waiting{-1, -1, clock()});
        }
    }
}

void FolderWatcher::Poll() {
    if (!IsWatching()) {
        return;
    }
    // New sub-folders first, so that a folder copied in whole has its photos looked at too.
    const QSet<QString> toLook = std::exchange(changed, {});
    for (const QString& folder : toLook) {
        if (!QFileInfo(folder).isDir()) {
            folders.remove(folder);
            continue;
        }
        scanFiles(folder, true);
        watchFoldersBelow(folder, true);
    }

    const int64_t now = clock();
    QStringList settled;
    for (auto it = waiting.begin(); it != waiting.end();) {
        FileStamp stamp;
        if (!StampFile(it->first, stamp)) {
            it = waiting.erase(it);  // gone again, or not a regular file after all
            continue;
        }
        Waiting& file = it->second;
        if (stamp.size != file.size || stamp.modifiedNs != file.modifiedNs) {
            file = Waiting{stamp.size, stamp.modifiedNs, now};
            ++it;
        } else if (now - file.since >= kSettleMs && stamp.size > 0) {
            settled.append(QFile::decodeName(QByteArray::fromStdString(it->first)));
            it = waiting.erase(it);
        } else {
            ++it;
        }
    }
    if (waiting.empty()) {
        timer.stop();
    } else if (!timer.isActive()) {
        timer.start();
    }
    if (!settled.isEmpty()) {
        emit arrived(settled);
    }
}
