#include "shell/LaunchRequest.h"

#include <QDataStream>
#include <QDir>

namespace {

QString Absolute(const QString& path, const QString& workingDir) {
    return QDir::cleanPath(QDir(workingDir).absoluteFilePath(path));
}

}  // namespace

LaunchRequest ParseLaunchRequest(const QStringList& parameters, const QString& workingDir) {
    LaunchRequest request;
    bool opening = false;
    for (qsizetype i = 0; i < parameters.size(); ++i) {
        const QString& parameter = parameters.at(i);
        if (parameter == QLatin1String("--watch")) {
            if (i + 1 < parameters.size()) {
                request.watchFolder = Absolute(parameters.at(++i), workingDir);
            }
        } else if (parameter == QLatin1String("--open")) {
            opening = true;
        } else if (opening && !parameter.isEmpty()) {
            request.openPaths.append(Absolute(parameter, workingDir));
        }
    }
    return request;
}

QDataStream& operator<<(QDataStream& out, const LaunchRequest& request) {
    return out << request.openPaths << request.watchFolder;
}

QDataStream& operator>>(QDataStream& in, LaunchRequest& request) {
    return in >> request.openPaths >> request.watchFolder;
}
