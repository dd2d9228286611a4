#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QFileDialog;
class QObject;
class QPrinter;
class QUrl;
class QWidget;

// Every dialog the shell's commands ask the user with, and the shell's "open" of a document: one
// seam, so the commands run in tests without a modal dialog.
class ShellDialogs {
public:
    virtual ~ShellDialogs() = default;

    // "開く(&O)...": the chosen JPEG files, in the dialog's order; empty when cancelled.
    virtual QStringList ChoosePhotoFiles(QWidget* parent) = 0;
    // "フォルダを開く(&F)...": the chosen folder; empty when cancelled.
    virtual QString ChoosePhotoFolder(QWidget* parent) = 0;
    // "撮影データの保存（&S）...": the file to write, its overwriting already confirmed; empty when
    // cancelled.
    virtual QString ChooseCsvFile(QWidget* parent) = 0;
    // Any other file to write ("SVG として保存...", the statistics panel's files): the save dialog
    // with the caption and name filters ("SVG ファイル (*.svg)", ";;" between several), its
    // overwriting already confirmed; empty when cancelled.
    virtual QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& filters) = 0;
    // The print dialog on the printer; false when cancelled.
    virtual bool ChoosePrinter(QPrinter& printer, QWidget* parent) = 0;
    // The print preview of the printer's page, drawn by paint, until the user closes it.
    virtual void PreviewPrint(QPrinter& printer, QWidget* parent, const std::function<void(QPrinter&)>& paint) = 0;
    // The page set-up dialog on the printer; false when cancelled.
    virtual bool SetUpPage(QPrinter& printer, QWidget* parent) = 0;
    // The About box, modal.
    virtual void ShowAbout(QWidget* parent) = 0;
    // Opens a document with the desktop's program for its type and calls opened with false when
    // the desktop has none (or no way to start one), true when one took it. The answer may come
    // later from the event loop, and never once context is gone.
    virtual void OpenDocument(const QUrl& url, QObject* context, const std::function<void(bool)>& opened) = 0;
};

// The real dialogs.
class QtShellDialogs : public ShellDialogs {
public:
    QStringList ChoosePhotoFiles(QWidget* parent) override;
    QString ChoosePhotoFolder(QWidget* parent) override;
    QString ChooseCsvFile(QWidget* parent) override;
    QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& filters) override;
    bool ChoosePrinter(QPrinter& printer, QWidget* parent) override;
    void PreviewPrint(QPrinter& printer, QWidget* parent, const std::function<void(QPrinter&)>& paint) override;
    bool SetUpPage(QPrinter& printer, QWidget* parent) override;
    void ShowAbout(QWidget* parent) override;
    // Through xdg-open where it is installed (see kestory::dialogs::OpenWith), else Qt's own way.
    void OpenDocument(const QUrl& url, QObject* context, const std::function<void(bool)>& opened) override;
};

namespace kestory::dialogs {

// The file dialogs as the commands show them, not yet run.
//
// A Linux file dialog matches its patterns with case, so "*.JPG" alone would hide photo.jpg. The
// filter keeps its caption "画像ファイル(*.JPG)" for the eye and matches .JPG in any case underneath,
// the same files the folder import takes. The open dialog's second filter, "すべての写真 (...)",
// takes the HEIF and raw files besides, in any case too.
std::unique_ptr<QFileDialog> MakeOpenPhotosDialog(QWidget* parent);
std::unique_ptr<QFileDialog> MakeSaveCsvDialog(QWidget* parent);

// Runs `opener <path or URL>` without waiting for it. opened hears true when it exits with status
// 0, false when it cannot be started, crashes or exits otherwise: xdg-open exits 3 when no program
// for the type is found and 4 when the one it found failed, where Qt's openUrl would only have
// reported that xdg-open started. opened is not called once context is gone.
void OpenWith(const QString& opener, const QUrl& url, QObject* context, const std::function<void(bool)>& opened);

}  // namespace kestory::dialogs
