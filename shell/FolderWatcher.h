#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Watches a folder tree for photos that arrive in it (tethered shooting, a card being copied) and
// reports each new photo once it is complete: once its size and modification time have stayed
// the same for kSettleMs, so a file still being written is never read half-way. Folders created
// in the tree are watched too. Photos are the files the folder scans take (ScanFolder), hidden
// folders are left out as in the folder-tree scan. Deleted files are simply forgotten.
class FolderWatcher : public QObject {
    Q_OBJECT
public:
    static constexpr int64_t kSettleMs = 1000;
    // Milliseconds on a steady clock; tests give their own.
    using Clock = std::function<int64_t()>;

    explicit FolderWatcher(QObject* parent = nullptr, Clock clock = {});
    ~FolderWatcher() override;

    // Starts watching the tree; the photos in it now are not reported (the caller imports the
    // tree itself right after), only those that appear from now on.
    void Start(const QString& folder, bool otherKinds);
    void Stop();
    bool IsWatching() const { return !top.isEmpty(); }
    const QString& Folder() const { return top; }

    // Looks into the folders that changed for new photos and sub-folders, and at the sizes of the
    // photos that wait; reports those that settled. The file-system notices and a timer call it.
    void Poll();
    // Photos seen but not yet settled.
    size_t WaitingCount() const { return waiting.size(); }

signals:
    // New complete photos, in path order; each path is reported once per Start.
    void arrived(const QStringList& paths);

private:
    struct Waiting {
        int64_t size = -1;
        int64_t modifiedNs = -1;
        int64_t since = 0;
    };

    void watchFolder(const QString& folder, bool reportFiles);
    // The sub-folders not yet watched, hidden ones and links left out as in the folder-tree scan.
    void watchFoldersBelow(const QString& folder, bool reportFiles);
    void scanFiles(const QString& folder, bool report);

    Clock clock;
    QFileSystemWatcher watcher;
    QTimer timer;
    QString top;
    bool otherKinds = false;
    QSet<QString> folders;          // watched, as the file system names them
    QSet<QString> changed;          // folders to look into at the next Poll
    QSet<QByteArray> seen;          // photos known or reported, as the scans spell them
    std::map<std::string, Waiting> waiting;
};
