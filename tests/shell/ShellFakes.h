#pragma once

#include "collection/Notifier.h"
#include "shell/CLumivaneApp.h"
#include "shell/ShellDialogs.h"

#include <QPrinter>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The messages the user would have seen, in order.
class RecordingNotifier : public Notifier {
public:
    struct Message {
        std::string text;
        Icon icon;
    };
    void Notify(const std::string& utf8Text, Icon icon) override { messages.push_back({utf8Text, icon}); }
    std::vector<Message> messages;
};

// Dialogs that answer at once with what the test set up, and remember that they were asked.
class FakeDialogs : public ShellDialogs {
public:
    QStringList ChoosePhotoFiles(QWidget*) override {
        ++asked;
        return photoFiles;
    }
    QString ChoosePhotoFolder(QWidget*) override {
        ++asked;
        return folder;
    }
    QString ChooseCsvFile(QWidget*) override {
        ++asked;
        return csvFile;
    }
    QString ChooseSaveFile(QWidget*, const QString&, const QString&) override {
        ++asked;
        return saveFile;
    }
    bool ChoosePrinter(QPrinter& printer, QWidget*) override {
        ++asked;
        if (onPrintDialog) {
            onPrintDialog(printer);
        }
        return printAccepted;
    }
    void PreviewPrint(QPrinter& printer, QWidget*, const std::function<void(QPrinter&)>& paint) override {
        ++asked;
        if (onPreview) {
            onPreview(printer, paint);
        }
    }
    bool SetUpPage(QPrinter&, QWidget*) override {
        ++asked;
        return true;
    }
    void ShowAbout(QWidget*) override { ++aboutShown; }
    void OpenDocument(const QUrl& url, QObject*, const std::function<void(bool)>& done) override {
        opened.append(url);
        done(true);
    }

    QStringList photoFiles;
    QString folder;
    QString csvFile;
    QString saveFile;
    bool printAccepted = true;
    std::function<void(QPrinter&)> onPrintDialog;
    std::function<void(QPrinter&, const std::function<void(QPrinter&)>&)> onPreview;
    int asked = 0;
    int aboutShown = 0;
    QList<QUrl> opened;
};

// One run of the program with its folder (and so its settings file) in programDir.
struct ProgramRun {
    ProgramRun(const QString& programDir, const QString& userDir = QString(),
               kestory::settings::FolderCheck check = kestory::settings::CanCreateFileIn,
               const std::string& thumbnailCacheFile = std::string(),
               const QString& installBinDir = kestory::settings::InstallBinDir(), bool endOnSignals = false) {
        CLumivaneApp::Options options;
        options.endOnSignals = endOnSignals;
        options.thumbnailCacheFile = thumbnailCacheFile;
        options.programDir = programDir;
        options.fallbackDir = userDir;
        options.canCreateIn = std::move(check);
        options.installBinDir = installBinDir;
        options.dialogs = &dialogs;
        options.notifier = &notifier;
        app = std::make_unique<CLumivaneApp>(options);
    }
    FakeDialogs dialogs;
    RecordingNotifier notifier;
    std::unique_ptr<CLumivaneApp> app;
};
