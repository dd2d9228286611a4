#pragma once

#include "dialog/AppTitle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <string>

namespace kestory {

// The user's one thumbnail cache, shared by the window and the exporter: thumbnails.sqlite in the
// program's cache folder ($XDG_CACHE_HOME/Kestory, by default ~/.cache/Kestory), in the file
// system's encoding. Empty when the system names no cache folder. The folder is named after the
// application, which the exporter, having no application object for a CSV file, names here too.
inline std::string ThumbnailCacheFile() {
    QCoreApplication::setApplicationName(AppTitle());
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (folder.isEmpty()) {
        return {};
    }
    return QFile::encodeName(QDir(folder).filePath(QStringLiteral("thumbnails.sqlite"))).toStdString();
}

}  // namespace kestory
