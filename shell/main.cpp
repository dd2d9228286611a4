// kestory: the exposure chart of JPEG photos.

#include "collection/PictureMemory.h"
#include "shell/AppIcon.h"
#include "dialog/AppTitle.h"
#include "shell/CLumivaneApp.h"
#include "shell/InstanceChannel.h"
#include "shell/LaunchRequest.h"
#include "shell/TerminationSignals.h"
#include "shell/ThumbnailCacheFile.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Qt would abort with a message about platform plugins; a user wants to know what is missing.
bool HasDisplay(int argc, char** argv) {
    if (Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM")) {
        return true;
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    KeepPictureMemory();
    if (!HasDisplay(argc, argv)) {
        std::fputs("Kestory: 画面（ディスプレイ）が見つからないため起動できません。DISPLAY を設定してください。\n", stderr);
        return 1;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(kestory::AppTitle());
    QApplication::setApplicationVersion(kestory::GetProductVersion());
    QApplication::setWindowIcon(kestory::AppIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("kestory"));
    // A Japanese desktop's default face is IPAGothic, whose full stop hinting snaps into a comma
    // at 9 to 12 pixels ("TEXT_02,JPG" in a message box); unhinted it stays a dot, same advances.
    QFont unhinted = QApplication::font();
    unhinted.setHintingPreference(QFont::PreferNoHinting);
    QApplication::setFont(unhinted);
    // The program speaks Japanese whatever the desktop's language: Qt's own dialogs (file chooser,
    // print dialog, message-box buttons) too, where Qt's Japanese catalogue is installed.
    QTranslator qtJapanese;
    if (qtJapanese.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qtJapanese);
    }

    // A window already running for this user takes the files the desktop asked to open.
    const QString instanceName = InstanceChannel::DefaultName();
    const LaunchRequest request = ParseLaunchRequest(QApplication::arguments().mid(1), QDir::currentPath());
    if (!request.IsEmpty() && InstanceChannel::HandOver(instanceName, request)) {
        return 0;
    }

    CLumivaneApp::Options options;
    options.instanceName = instanceName;
    options.programDir = QCoreApplication::applicationDirPath();
    options.fallbackDir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    options.thumbnailCacheFile = kestory::ThumbnailCacheFile();
    options.endOnSignals = true;
    CLumivaneApp kestory(options);
    if (!kestory.InitInstance(QApplication::arguments())) {
        return 1;
    }
    const int status = QApplication::exec();
    return kestory.EndedBySignal() != 0 ? ExitStatusForSignal(kestory.EndedBySignal()) : status;
}
