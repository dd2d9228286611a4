#include "shell/ImportProgress.h"

#include "collection/CLumivaneDoc.h"
#include "collection/Notifier.h"
#include "collection/ParallelImport.h"
#include "dialog/AppTitle.h"
#include "shell/OverrideCursor.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <climits>
#include <functional>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

namespace {

// How often the event loop hands the finished files to the document, in milliseconds: often
// enough that the count moves smoothly, rarely enough to cost nothing.
constexpr int kPollMilliseconds = 15;
// How long one poll may wait for files as they finish, in milliseconds. A poll that only took
// what was ready left the workers idle once they had filled the import's window, the rest of each
// 15 ms: 1,000 photos a second at most, whatever the cache could serve. Within this the window
// still answers every 15 ms.
constexpr int kDeliverMilliseconds = 10;

// How to stop each import and scan under way, nested ones included (a message box's event loop
// can start one), innermost last.
std::vector<std::function<void()>> underWay;

// Holds off user input to the windows that were open when the import began; windows opened
// since (the progress dialog, message boxes) are left alone. Paint, resize and expose events
// pass, so everything keeps repainting.
class InputBlocker : public QObject {
public:
    explicit InputBlocker(std::function<void()> stop) {
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows) {
            blocked.emplace_back(window);
        }
        qApp->installEventFilter(this);
        underWay.push_back(std::move(stop));
    }
    ~InputBlocker() override {
        underWay.pop_back();
        qApp->removeEventFilter(this);
    }
    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        if (!IsInput(event)) {
            return false;
        }
        // Menu and accelerator commands reach their actions as shortcut events.
        const bool blockedTarget = qobject_cast<QAction*>(receiver) != nullptr || IsBlockedWindow(receiver);
        if (!blockedTarget) {
            return false;
        }
        // A close request is carried out unless its event is refused, so it is ignored, not
        // just swallowed.
        event->ignore();
        return true;
    }

private:
    static bool IsInput(const QEvent* event) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        case QEvent::Close:
            return event->spontaneous(); // the window manager's close box, not the program's own
        default:
            return false;
        }
    }

    bool IsBlockedWindow(QObject* receiver) const {
        const QWidget* widget = qobject_cast<QWidget*>(receiver);
        if (widget == nullptr) {
            return false;
        }
        const QWidget* window = widget->window();
        return std::any_of(blocked.begin(), blocked.end(),
                           [window](const QPointer<QWidget>& w) { return w.data() == window; });
    }

    std::vector<QPointer<QWidget>> blocked;
};

// Brackets one import's refusals for the notifier, which tells those it gathered as the scope
// ends, however the import ends.
class RefusalScope {
public:
    explicit RefusalScope(Notifier& notifier) : notifier(notifier) { notifier.BeginImport(); }
    ~RefusalScope() { notifier.EndImport(); }
    RefusalScope(const RefusalScope&) = delete;
    RefusalScope& operator=(const RefusalScope&) = delete;

private:
    Notifier& notifier;
};

} // namespace

bool ImportUnderWay() {
    return !underWay.empty();
}

void StopImportsUnderWay() {
    for (const std::function<void()>& stop : underWay) {
        stop();
    }
}

QString ImportProgressText(size_t done, size_t total, double seconds) {
    QString text = QStringLiteral("画像を読み込んでいます… %1 / %2").arg(done).arg(total);
    if (done == 0 || seconds <= 0) {
        return text; // no pace yet to tell the time left by
    }
    const double perSecond = static_cast<double>(done) / seconds;
    const auto left = static_cast<long long>(std::ceil(static_cast<double>(total > done ? total - done : 0) / perSecond));
    // Whole photos a second, but a slow pace keeps its first decimal rather than reading as 0.
    const QString pace = perSecond >= 10 ? QString::number(std::lround(perSecond)) : QString::number(perSecond, 'f', 1);
    return text + QStringLiteral("\n毎秒 %1 枚、残り約 %2 秒").arg(pace).arg(left);
}

int ImportWithProgress(CLumivaneDoc& doc, const std::vector<std::string>& paths, QWidget* parent,
                       const ImportProgressOptions& options) {
    ParallelImport import(doc, options.threads);
    if (!import.Start(paths)) {
        return 0;
    }
    const OverrideCursor busy(Qt::BusyCursor);
    const InputBlocker blocker([&import] { import.Cancel(); });
    // Declared before the dialog, so the gathered refusals are told once it is gone.
    const RefusalScope refusals(doc.GetNotifier());

    // Made only when it is to be shown: a QProgressDialog that exists shows itself after four
    // seconds by its own timer, which would put it over a refusal still waiting for its answer.
    std::unique_ptr<QProgressDialog> dialog;
    const auto showDialog = [&] {
        dialog = std::make_unique<QProgressDialog>(ImportProgressText(import.Delivered(), paths.size()),
                                                   QStringLiteral("中止"), 0,
                                                   static_cast<int>(std::min<size_t>(paths.size(), INT_MAX)), parent);
        dialog->setWindowTitle(kestory::AppTitle());
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
        // Modality comes from the input blocker: a modal progress dialog runs the event loop from
        // inside setValue, which would deliver files from inside the poll.
        dialog->setWindowModality(Qt::NonModal);
        dialog->setMinimumDuration(0);
        QObject::connect(dialog.get(), &QProgressDialog::canceled, [&import] { import.Cancel(); });
        dialog->show();
    };

    QEventLoop loop;
    QTimer poll;
    QElapsedTimer elapsed;
    elapsed.start();
    bool polling = false;
    const auto step = [&] {
        if (polling) {
            return; // a refusal is waiting for its answer: nothing moves, nothing new shows
        }
        if (dialog && dialog->wasCanceled()) {
            import.Cancel(); // cancelled by the dialog's own cancel(), which emits no signal
        }
        if (!dialog && !import.Cancelled() && elapsed.elapsed() >= options.showAfter.count()) {
            showDialog();
        }
        polling = true;
        const bool more = import.Step(std::chrono::milliseconds(kDeliverMilliseconds));
        polling = false;
        if (!more) {
            loop.quit();
            return;
        }
        if (dialog) {
            const size_t done = import.Delivered();
            dialog->setLabelText(ImportProgressText(done, paths.size(), elapsed.elapsed() / 1000.0));
            dialog->setValue(static_cast<int>(std::min<size_t>(done, INT_MAX)));
        }
    };
    QObject::connect(&poll, &QTimer::timeout, step);
    poll.start(kPollMilliseconds);
    step();
    if (!import.Finished()) {
        loop.exec();
    }
    poll.stop();
    dialog.reset();
    if (options.imported) {
        options.imported();
    }
    return import.Added();
}

QString FolderScanProgressText(size_t folders, size_t found) {
    return QStringLiteral("フォルダを調べています… フォルダ %1 個、ファイル %2 個").arg(folders).arg(found);
}

FolderTreeScanResult ScanFolderTreeWithProgress(const std::string& folder, std::vector<std::string>& list,
                                                QWidget* parent, const FolderTreeScanOptions& options) {
    list.clear();
    const OverrideCursor busy(Qt::BusyCursor);
    std::atomic<bool> stop{false};
    const InputBlocker blocker([&stop] { stop.store(true); });

    std::atomic<size_t> folders{0};
    std::atomic<size_t> found{0};
    std::atomic<bool> done{false};
    std::vector<std::string> scanned;
    int count = 0;
    // Joined before anything it uses goes away, also if this function is left by an exception.
    std::jthread worker([&] {
        count = options.scan(folder, scanned, [&](size_t foldersSoFar, size_t sofar) {
            folders.store(foldersSoFar);
            found.store(sofar);
            return !stop.load();
        });
        done.store(true);
    });

    // As for the import: made only when it is to be shown.
    std::unique_ptr<QProgressDialog> dialog;
    QEventLoop loop;
    QTimer poll;
    QElapsedTimer elapsed;
    elapsed.start();
    const auto step = [&] {
        if (done.load()) {
            loop.quit();
            return;
        }
        if (dialog && dialog->wasCanceled()) {
            stop.store(true);
        }
        if (!dialog && !stop.load() && elapsed.elapsed() >= options.showAfter.count()) {
            // No known end: the bar only shows that the scan is alive.
            dialog = std::make_unique<QProgressDialog>(FolderScanProgressText(folders.load(), found.load()), QStringLiteral("中止"),
                                                       0, 0, parent);
            dialog->setWindowTitle(kestory::AppTitle());
            dialog->setAutoClose(false);
            dialog->setAutoReset(false);
            dialog->setWindowModality(Qt::NonModal);
            dialog->setMinimumDuration(0);
            QObject::connect(dialog.get(), &QProgressDialog::canceled, [&stop] { stop.store(true); });
            dialog->show();
        }
        if (dialog) {
            dialog->setLabelText(FolderScanProgressText(folders.load(), found.load()));
        }
    };
    QObject::connect(&poll, &QTimer::timeout, step);
    poll.start(kPollMilliseconds);
    step();
    if (!done.load()) {
        loop.exec();
    }
    poll.stop();
    worker.join();
    const bool shown = dialog != nullptr;
    dialog.reset();
    if (count < 0 || stop.load()) {
        return {-1, shown}; // stopped: nothing of it is imported
    }
    list = std::move(scanned);
    return {count, shown};
}
