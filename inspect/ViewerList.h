#pragma once

#include <QObject>
#include <QPointer>

#include <cstddef>
#include <string>
#include <vector>

class CDlgPopViewImage;
class Notifier;
class QWidget;

// The pop-up viewers that are open, in the order they were opened, at most one per file path.
// The list names the viewers without owning them: their owner window does. A viewer leaves the
// list when it is closed or destroyed, so the list never names a viewer that is gone.
class ViewerList : public QObject {
    Q_OBJECT

public:
    explicit ViewerList(Notifier& notifier, QObject* parent = nullptr);
    ~ViewerList() override;

    // The window new viewers belong to; they open at the top-left corner of its client area (below
    // a main window's menu bar). Without one, viewers are windows of their own at (0, 0).
    void SetOwner(QWidget* window);

    // The first open viewer whose photo path equals the path byte for byte (case matters); or null.
    CDlgPopViewImage* FindViewer(const std::string& path) const;

    // Brings the path's viewer forward, shown normally with the size and place it had; otherwise
    // makes, loads and shows a new one. A file that cannot be loaded any more opens nothing: the
    // user is told "<path>の読み込みに失敗しました。" and null is returned.
    CDlgPopViewImage* OpenViewer(const std::string& path);

    // Forgets every viewer without closing any of them.
    void Clear();

    size_t Count() const { return viewers.size(); }
    CDlgPopViewImage* At(size_t index) const { return viewers[index]; }

private:
    void Enter(CDlgPopViewImage* viewer);
    void Leave(QObject* viewer);

    Notifier& notifier;
    QPointer<QWidget> owner;
    std::vector<CDlgPopViewImage*> viewers;
};
