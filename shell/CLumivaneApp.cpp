#include "shell/CLumivaneApp.h"

#include "collection/CLumivaneDoc.h"
#include "collection/ThumbnailCache.h"
#include "dialog/AppTitle.h"
#include "shell/CCmdAnalize.h"
#include "shell/CMainFrame.h"
#include "shell/InstanceChannel.h"
#include "shell/LaunchRequest.h"
#include "shell/QtNotifier.h"
#include "shell/ShellDialogs.h"
#include "shell/TerminationSignals.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QSessionManager>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

CLumivaneApp::CLumivaneApp(Options opts) : options(std::move(opts)) {}

CLumivaneApp::~CLumivaneApp() {
    // The window goes before the document it shows.
    channel.reset();
    terminationSignals.reset();
    frame.reset();
    doc.reset();
}

bool CLumivaneApp::InitInstance(const QStringList& arguments) {
    // The settings file beside the program (or, for an installed program, in the user's folder).
    namespace st = kestory::settings;
    // An installed program's folder counts as read-only also for root, who could write there.
    const bool systemFolder = st::IsSystemProgramFolder(options.programDir, options.installBinDir);
    const st::FolderCheck canCreateIn =
        systemFolder ? st::FolderCheck([](const QString&) { return false; }) : options.canCreateIn;
    const QString path = st::ChooseSettingsPath(options.programDir, options.fallbackDir, canCreateIn);
    settings = std::make_unique<st::SettingsFile>(
        path, options.fallbackDir.isEmpty() ? QString() : st::BuildSettingsPath(options.fallbackDir), canCreateIn);
    if (systemFolder) {
        settings->NeverWriteIn(options.programDir);
    }

    // The command line's letters are recorded and acted on by nobody; "--open" and "--watch" are
    // carried out once the window is up.
    {
        CCmdAnalize commandLine;
        std::vector<std::string> parameters;
        for (qsizetype i = 1; i < arguments.size(); ++i) {
            parameters.push_back(QFile::encodeName(arguments.at(i)).toStdString());
        }
        commandLine.ParseCommandLine(parameters);
    }

    // The new, empty document and its window.
    ShellDialogs* dialogs = options.dialogs;
    if (dialogs == nullptr) {
        ownDialogs = std::make_unique<QtShellDialogs>();
        dialogs = ownDialogs.get();
    }
    Notifier* tell = options.notifier;
    if (tell == nullptr) {
        ownNotifier = std::make_unique<QtNotifier>();
        tell = ownNotifier.get();
    }
    doc = std::make_unique<CLumivaneDoc>(*tell);
    frame = std::make_unique<CMainFrame>(*doc, *settings, *tell, *dialogs);
    if (ownNotifier) {
        ownNotifier->SetParent(frame.get());
    }
    if (!options.thumbnailCacheFile.empty()) {
        ThumbnailCache::Options limits;
        limits.maxBytes = settings->ReadCacheLimitBytes();
        thumbnailCache = std::make_unique<ThumbnailCache>(options.thumbnailCacheFile, limits);
    }
    frame->SetThumbnailCache(thumbnailCache.get());

    frame->setWindowTitle(kestory::AppTitle());
    frame->ShowWithSavedState();
    frame->setAcceptDrops(true);

    if (!options.instanceName.isEmpty()) {
        channel = std::make_unique<InstanceChannel>(options.instanceName);
        if (channel->Listen()) {
            QObject::connect(channel.get(), &InstanceChannel::requested, frame.get(), &CMainFrame::HandleLaunchRequest);
        }
    }
    if (options.endOnSignals) {
        terminationSignals = std::make_unique<TerminationSignals>();
        QObject::connect(terminationSignals.get(), &TerminationSignals::received, frame.get(),
                         [this](int signalNumber) {
                             endedBy = signalNumber;
                             frame->CloseForSystem();
                         });
        QObject::connect(qApp, &QGuiApplication::commitDataRequest, frame.get(),
                         [window = frame.get()](QSessionManager&) { window->SaveForSession(); });
    }
    const LaunchRequest request = ParseLaunchRequest(arguments.mid(1), QDir::currentPath());
    if (!request.IsEmpty()) {
        // Queued behind the saved settings step the window posted when it was made.
        QMetaObject::invokeMethod(
            frame.get(), [window = frame.get(), request] { window->HandleLaunchRequest(request); },
            Qt::QueuedConnection);
    }
    return true;
}
