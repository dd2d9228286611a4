#pragma once

#include <QString>
#include <QStringList>

class QDataStream;

// What the command line asks the window to do once it is shown, beyond the display options the
// program records and ignores: "--open PATH..." imports files and folders, "--watch FOLDER"
// imports a folder tree and keeps adding the photos that arrive in it. Paths are made absolute
// against the working directory of the process that was started, so a running window can take
// them from another one.
struct LaunchRequest {
    QStringList openPaths;
    QString watchFolder;

    bool IsEmpty() const { return openPaths.isEmpty() && watchFolder.isEmpty(); }
};

// The parameters after the program name. "--open" takes every later parameter as a path, except a
// "--watch" followed by its folder; "--watch" takes the one parameter after it. Anything before
// those two keeps its old meaning (recorded by its first letter, acted on by nobody).
LaunchRequest ParseLaunchRequest(const QStringList& parameters, const QString& workingDir);

// The request as the single-instance socket carries it.
QDataStream& operator<<(QDataStream& out, const LaunchRequest& request);
QDataStream& operator>>(QDataStream& in, LaunchRequest& request);
