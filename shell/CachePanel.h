#pragma once

#include <QWidget>

#include <functional>
#include <memory>

class NumberBox;
class QLabel;
class QMessageBox;
class QPushButton;
class ThumbnailCache;

// The "キャッシュ" part of the display-settings panel: the thumbnail cache's bound in MiB, what the
// cache holds now (its bytes on disk and its entries) and "キャッシュを消去". A cache that cannot be
// used, or no longer written, says so here in the line it gave. The part is as high as its rows,
// and the message's lines below them while there is one.
class CachePanel : public QWidget {
    Q_OBJECT

public:
    // Runs the question and returns the button pressed (QMessageBox::StandardButton).
    using AskFunction = std::function<int(QMessageBox& question)>;

    explicit CachePanel(QWidget* parent = nullptr);
    ~CachePanel() override;

    // The cache shown and changed, and its bound in the field; null (no cache folder): the part
    // shows nothing to change. Not owned; it must outlive the part or be taken back first.
    void SetCache(ThumbnailCache* cache);
    // How "キャッシュを消去" asks; by default the box is run modally.
    void SetAsk(AskFunction ask);

    // The Yes/No question of "キャッシュを消去", not yet shown; No is the default.
    static std::unique_ptr<QMessageBox> MakeClearQuestion(QWidget* parent);

    NumberBox* LimitBox() const { return limitBox; }
    QLabel* StoredText() const { return storedText; }
    QPushButton* ClearButton() const { return clearButton; }
    QLabel* ProblemText() const { return problemText; }

public slots:
    // The size, the count and the cache's trouble as they are now (after an import, a clearing).
    void Refresh();
    void OnClear();

signals:
    // The bound typed in the field, in MiB, already set on the cache (if any): for the settings file.
    void limitChanged(int mib);
    // The part's height changed: a message came or went.
    void heightChanged();

private:
    void OnLimitTyped(int mib);

    ThumbnailCache* cache = nullptr;
    AskFunction ask;
    NumberBox* limitBox = nullptr;
    QLabel* storedText = nullptr;
    QPushButton* clearButton = nullptr;
    QLabel* problemText = nullptr;
};
