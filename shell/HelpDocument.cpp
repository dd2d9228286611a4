#include "shell/HelpDocument.h"

#include "collection/Notifier.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace kestory::help {

namespace {

// The first folder holding name, as an absolute path; empty when none does.
QString Find(const QString& name, const QStringList& folders) {
    for (const QString& folder : folders) {
        const QString path = QDir(folder).absoluteFilePath(name);
        if (QFileInfo(path).isFile()) {
            return path;
        }
    }
    return {};
}

std::string NotFoundText(const QStringList& folders) {
    QString text = QStringLiteral("ヘルプ文書 %1 が見つかりません。\n\n探した場所:").arg(RtfName());
    for (const QString& folder : folders) {
        text += u'\n' + QDir::toNativeSeparators(folder);
    }
    return text.toStdString();
}

std::string NoProgramText(const QStringList& tried) {
    QString text = QStringLiteral("ヘルプ文書 %1 を開くプログラムがありません。\n").arg(QFileInfo(tried.first()).fileName());
    for (const QString& path : tried) {
        text += u'\n' + QDir::toNativeSeparators(path);
    }
    return text.toStdString();
}

}  // namespace

QString RtfName() {
    return QStringLiteral("Kestoryヘルプ.rtf");
}

QString HtmlName() {
    return QStringLiteral("Kestoryヘルプ.html");
}

QStringList SearchFolders(const QString& workingDir, const QString& programDir) {
    QStringList folders;
    for (const QString& folder : {workingDir, programDir,
                                  // from the install prefix at build time, e.g. "../share/kestory"
                                  QDir(programDir).filePath(QStringLiteral(KESTORY_HELP_DIR_FROM_BIN))}) {
        const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
        if (!folder.isEmpty() && !folders.contains(clean)) {
            folders.append(clean);
        }
    }
    return folders;
}

bool ShowHelp(const QStringList& folders, const Opener& open, Notifier& notifier) {
    QStringList tried;
    for (const QString& name : {RtfName(), HtmlName()}) {
        const QString path = Find(name, folders);
        if (path.isEmpty()) {
            continue;
        }
        if (open(QUrl::fromLocalFile(path))) {
            return true;
        }
        tried.append(path);
    }
    notifier.Notify(tried.isEmpty() ? NotFoundText(folders) : NoProgramText(tried), Notifier::Icon::Warning);
    return false;
}

}  // namespace kestory::help
