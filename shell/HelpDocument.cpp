#include "shell/HelpDocument.h"

#include "collection/Notifier.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <memory>

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

// One help command's way through the documents it found, kept alive by the opener's callbacks.
struct HelpRun {
    QStringList folders;
    QStringList left;   // found, not yet tried
    QStringList tried;  // found, no program took them
    Opener open;
    Notifier* notifier;
    Opened done;
};

void TryNext(const std::shared_ptr<HelpRun>& run) {
    if (run->left.isEmpty()) {
        run->notifier->Notify(run->tried.isEmpty() ? NotFoundText(run->folders) : NoProgramText(run->tried),
                              Notifier::Icon::Warning);
        if (run->done) {
            run->done(false);
        }
        return;
    }
    const QString path = run->left.takeFirst();
    run->open(QUrl::fromLocalFile(path), [run, path](bool opened) {
        if (opened) {
            if (run->done) {
                run->done(true);
            }
            return;
        }
        run->tried.append(path);
        TryNext(run);
    });
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

void ShowHelp(const QStringList& folders, const Opener& open, Notifier& notifier, const Opened& done) {
    auto run = std::make_shared<HelpRun>(HelpRun{folders, {}, {}, open, &notifier, done});
    for (const QString& name : {RtfName(), HtmlName()}) {
        const QString path = Find(name, folders);
        if (!path.isEmpty()) {
            run->left.append(path);
        }
    }
    TryNext(run);
}

}  // namespace kestory::help
