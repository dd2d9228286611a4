#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class Notifier;
class QUrl;

// Finding and opening the help document for "ヘルプの表示(&H)".
namespace kestory::help {

// The document the command opens first, and the same text as HTML for a desktop that has no
// program for RTF files.
QString RtfName();
QString HtmlName();

// Where the documents are looked for, in order: the working directory (where `make run` and a
// program unpacked into one folder keep them), the program's folder, and the installed share
// folder, found relative to the program's folder (<prefix>/bin/../share/kestory). Cleaned,
// without repeats.
QStringList SearchFolders(const QString& workingDir, const QString& programDir);

// Asks the desktop to open a document and calls back, once or never, with whether a program took
// it: at once, or later from the event loop while the desktop's opener runs.
using Opened = std::function<void(bool opened)>;
using Opener = std::function<void(const QUrl&, const Opened&)>;

// The RTF from the first folder that has it; when that cannot be opened or is nowhere, the HTML
// the same way. When neither opens, the user is told which document and what failed. done, when
// set, hears whether a document was opened; both may come after this returns.
void ShowHelp(const QStringList& folders, const Opener& open, Notifier& notifier, const Opened& done = {});

}  // namespace kestory::help
