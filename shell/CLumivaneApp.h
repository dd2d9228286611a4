#pragma once

#include "shell/SettingsFile.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <string>

class CLumivaneDoc;
class CMainFrame;
class InstanceChannel;
class Notifier;
class QtNotifier;
class ShellDialogs;
class TerminationSignals;
class ThumbnailCache;

// The application as a whole: the settings file, the one document, the main window with its chart
// and panels. Lives for the whole process, beside the QApplication.
class CLumivaneApp {
public:
    struct Options {
        QString programDir;   // the program file's folder (QCoreApplication::applicationDirPath)
        QString fallbackDir;  // the per-user configuration folder, for an unwritable programDir
        kestory::settings::FolderCheck canCreateIn = kestory::settings::CanCreateFileIn;
        // A programDir that is this or another system bin folder is treated as read-only.
        QString installBinDir = kestory::settings::InstallBinDir();
        ShellDialogs* dialogs = nullptr;  // null: the real dialogs
        Notifier* notifier = nullptr;     // null: message boxes
        std::string thumbnailCacheFile;   // the thumbnail cache; empty: none (the tests' programs)
        // The socket later "kestory --open" hand their paths to; empty: none.
        QString instanceName;
        // SIGTERM, SIGINT and SIGHUP end the window as its exit command does, and the desktop's
        // log-out request writes what would be lost (the program's own run; tests choose).
        bool endOnSignals = false;
    };

    explicit CLumivaneApp(Options options);
    ~CLumivaneApp();
    CLumivaneApp(const CLumivaneApp&) = delete;
    CLumivaneApp& operator=(const CLumivaneApp&) = delete;

    // Brings the program up: the settings path, the command line recorded, the document and the
    // main window created, titled "Kestory", shown in its saved state and open to dropped files.
    // The saved display settings follow on the event loop's first turn, then what "--open" and
    // "--watch" ask (LaunchRequest). False when the window could not be created.
    bool InitInstance(const QStringList& arguments);

    // Where the settings are read from and written to; a write that could go nowhere else moves
    // it to the per-user file.
    QString SettingsPath() const { return settings ? settings->Path() : QString(); }
    CLumivaneDoc& Document() const { return *doc; }
    CMainFrame* MainFrame() const { return frame.get(); }
    // The termination signal that ended the window; 0 none.
    int EndedBySignal() const { return endedBy; }

private:
    Options options;
    std::unique_ptr<kestory::settings::SettingsFile> settings;
    std::unique_ptr<ShellDialogs> ownDialogs;
    std::unique_ptr<QtNotifier> ownNotifier;
    std::unique_ptr<ThumbnailCache> thumbnailCache; // opened at the first import that uses it
    std::unique_ptr<CLumivaneDoc> doc;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<InstanceChannel> channel;
    std::unique_ptr<TerminationSignals> terminationSignals;
    int endedBy = 0;
};
