#include "shell/FolderWatchSession.h"

#include "collection/CLumivaneDoc.h"
#include "shell/ChartCommands.h"
#include "shell/ImportProgress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// How soon arrivals held back by another import are tried again, in milliseconds.
constexpr int kRetryMs = 300;

}  // namespace

FolderWatchSession::FolderWatchSession(CLumivaneDoc& d, ChartCommands& c, QObject* parent)
    : QObject(parent), doc(d), commands(c) {
    retry.setSingleShot(true);
    retry.setInterval(kRetryMs);
    connect(&retry, &QTimer::timeout, this, [this] { take({}); });
    connect(&watcher, &FolderWatcher::arrived, this, &FolderWatchSession::take);
}

void FolderWatchSession::Start(const QString& chosen) {
    Stop();
    const QFileInfo info(chosen);
    folder = info.canonicalFilePath().isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : info.canonicalFilePath();
    // Watching first: a photo that arrives while the tree is imported is taken afterwards.
    watcher.Start(folder, commands.ScanAllKinds());
    commands.ImportFolderTree(folder);
    charted = countCharted();
    emit statusChanged(StatusText());
}

void FolderWatchSession::Stop() {
    if (!IsWatching()) {
        return;
    }
    watcher.Stop();
    retry.stop();
    queued.clear();
    folder.clear();
    emit statusChanged(QString());
}

QString FolderWatchSession::StatusText() const {
    if (!IsWatching()) {
        return {};
    }
    return QStringLiteral("監視中: %1 (%2 枚)").arg(QDir::toNativeSeparators(folder)).arg(charted);
}

size_t FolderWatchSession::countCharted() const {
    const std::string prefix = QFile::encodeName(folder).toStdString() + "/";
    size_t count = 0;
    for (const auto& photo : doc.Photos()) {
        count += photo->path.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    }
    return count;
}

void FolderWatchSession::take(const QStringList& paths) {
    queued += paths;
    if (queued.isEmpty() || !IsWatching()) {
        return;
    }
    if (ImportUnderWay()) {
        retry.start();
        return;
    }
    const QStringList batch = std::exchange(queued, {});
    const size_t before = doc.GetCount();
    commands.ImportFiles(batch);
    charted = countCharted();
    emit statusChanged(StatusText());
    if (doc.GetCount() > before) {
        emit photoArrived(&doc.GetAt(doc.GetCount() - 1));
    }
}
