#pragma once

#include "collection/Notifier.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class QMessageBox;

// The messages the user must see, as modal message boxes captioned "Kestory" with one OK button.
//
// A refusal during an import carries a check box "この読み込みでは以後表示しない": once the user
// ticks it, the rest of that import's refusals are gathered instead of shown one by one, and
// EndImport tells them in one box (their count and the first kSummaryPaths paths). The next
// import shows its refusals one by one again.
class QtNotifier : public Notifier {
public:
    explicit QtNotifier(QWidget* parent = nullptr) : parent(parent) {}
    void SetParent(QWidget* widget) { parent = widget; }

    void Notify(const std::string& utf8Text, Icon icon) override;
    void NotifyRefusal(const std::string& path, const std::string& utf8Text) override;
    void BeginImport() override;
    void EndImport() override;
    // With the gathered refusals' box when the import shows one, else on the parent window's
    // status line (a QMainWindow's, shown only while it has a message).
    void NotifyAlreadyLoaded(size_t count) override;

    // The box Notify runs, not yet shown.
    static std::unique_ptr<QMessageBox> MakeBox(const std::string& utf8Text, Icon icon, QWidget* parent);

    // Paths named in the gathered refusals' box; the rest are counted.
    static constexpr size_t kSummaryPaths = 10;
    // The gathered refusals' box text: the count, then the first paths one a line, then
    // "…ほか m 件" for the m not named.
    // alreadyLoaded, when not 0, adds its line at the end.
    static QString RefusalSummaryText(size_t count, const std::vector<std::string>& firstPaths,
                                      size_t alreadyLoaded = 0);
    // "n 枚は読み込み済みのため追加しませんでした。"
    static QString AlreadyLoadedText(size_t count);
    // How long the status line shows a message, in milliseconds.
    static constexpr int kStatusMilliseconds = 15000;

private:
    static void Run(QMessageBox& box);
    void ShowStatus(const QString& text);

    QPointer<QWidget> parent;
    int importDepth = 0;
    bool gathering = false;                 // the user ticked the check box in this import
    size_t gathered = 0;                    // refusals not shown one by one
    std::vector<std::string> gatheredPaths; // the first kSummaryPaths of them
    size_t alreadyLoaded = 0;               // files of this import the collection held already
};
