#pragma once

#include "shell/FolderWatcher.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class ChartCommands;
class CLumivaneDoc;
class PhotoItem;

// "フォルダを監視...": a folder tree imported, then every photo that arrives in it added to the
// chart as soon as it is complete, until "監視を終了". The status line tells the folder and how many
// of its photos the chart holds.
class FolderWatchSession : public QObject {
    Q_OBJECT
public:
    FolderWatchSession(CLumivaneDoc& doc, ChartCommands& commands, QObject* parent = nullptr);

    // Ends any earlier watch, imports the tree and watches it.
    void Start(const QString& folder);
    void Stop();
    bool IsWatching() const { return watcher.IsWatching(); }
    // "監視中: FOLDER (n 枚)", or empty when nothing is watched.
    QString StatusText() const;
    FolderWatcher& Watcher() { return watcher; }

signals:
    void statusChanged(const QString& text);
    // The newest photo of an arrival, for the information panel.
    void photoArrived(PhotoItem* newest);

private:
    void take(const QStringList& paths);
    size_t countCharted() const;

    CLumivaneDoc& doc;
    ChartCommands& commands;
    FolderWatcher watcher;
    QString folder;
    size_t charted = 0;
    QStringList queued;  // arrivals held while another import runs
    QTimer retry;
};
