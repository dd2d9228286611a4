#include "shell/ImportProgress.h"

#include "collection/CLumivaneDoc.h"
#include "collection/ParallelImport.h"
#include "shell/AppTitle.h"

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
#include <climits>
#include <vector>

namespace {

// How often the event loop hands the finished files to the document, in milliseconds: often
// enough that the count moves smoothly, rarely enough to cost nothing.
constexpr int kPollMilliseconds = 15;

// Holds off user input to the windows that were open when the import began; windows opened
// since (the progress dialog, message boxes) are left alone. Paint, resize and expose events
// pass, so everything keeps repainting.
class InputBlocker : public QObject {
public:
    InputBlocker() {
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget* window : windows) {
            blocked.emplace_back(window);
        }
        qApp->installEventFilter(this);
    }
    ~InputBlocker() override { qApp->removeEventFilter(this); }
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

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace

QString ImportProgressText(size_t done, size_t total) {
    return QStringLiteral("画像を読み込んでいます… %1 / %2").arg(done).arg(total);
}

int ImportWithProgress(CLumivaneDoc& doc, const std::vector<std::string>& paths, QWidget* parent,
                       const ImportProgressOptions& options) {
    ParallelImport import(doc, options.threads);
    if (!import.Start(paths)) {
        return 0;
    }
    const BusyCursor busy;
    const InputBlocker blocker;

    // Shown by the poll below, not by the dialog's own estimate of the time left.
    QProgressDialog dialog(ImportProgressText(0, paths.size()), QStringLiteral("中止"), 0,
                           static_cast<int>(std::min<size_t>(paths.size(), INT_MAX)), parent);
    dialog.setWindowTitle(kestory::AppTitle());
    dialog.setMinimumDuration(INT_MAX);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    // Modality comes from the input blocker: a modal progress dialog runs the event loop from
    // inside setValue, which would deliver files from inside the poll.
    dialog.setWindowModality(Qt::NonModal);
    dialog.hide();
    QObject::connect(&dialog, &QProgressDialog::canceled, [&import] { import.Cancel(); });

    QEventLoop loop;
    QTimer poll;
    QElapsedTimer elapsed;
    elapsed.start();
    bool polling = false;
    const auto step = [&] {
        if (polling) {
            return;
        }
        if (dialog.wasCanceled()) {
            import.Cancel(); // cancelled by the dialog's own cancel(), which emits no signal
        }
        if (!dialog.isVisible() && !import.Cancelled() && elapsed.elapsed() >= options.showAfter.count()) {
            dialog.show();
        }
        polling = true;
        const bool more = import.Step();
        polling = false;
        if (!more) {
            loop.quit();
            return;
        }
        const size_t done = import.Delivered();
        dialog.setLabelText(ImportProgressText(done, paths.size()));
        dialog.setValue(static_cast<int>(std::min<size_t>(done, INT_MAX)));
    };
    QObject::connect(&poll, &QTimer::timeout, step);
    poll.start(kPollMilliseconds);
    step();
    if (!import.Finished()) {
        loop.exec();
    }
    poll.stop();
    dialog.hide();
    return import.Added();
}
