#include "inspect/ViewerList.h"

#include "collection/ImportTexts.h"
#include "collection/Notifier.h"
#include "inspect/CDlgPopViewImage.h"

#include <QMainWindow>

#include <algorithm>
#include <memory>

namespace {

// The global position of the owner's client area: its top-left corner below the menu bar,
// wherever the panels are docked (not the chart's corner, which a panel docked left pushes right).
QPoint ClientOrigin(QWidget* owner) {
    if (owner == nullptr) {
        return {0, 0};
    }
    int top = 0;
    if (auto* mainWindow = qobject_cast<QMainWindow*>(owner)) {
        if (const QWidget* menu = mainWindow->menuWidget(); menu != nullptr && !menu->isHidden()) {
            top = menu->geometry().bottom() + 1;
        }
    }
    return owner->mapToGlobal(QPoint(0, top));
}

}  // namespace

ViewerList::ViewerList(Notifier& notifier, QObject* parent) : QObject(parent), notifier(notifier) {}

ViewerList::~ViewerList() = default;

void ViewerList::SetOwner(QWidget* window) {
    owner = window;
}

CDlgPopViewImage* ViewerList::FindViewer(const std::string& path) const {
    const auto it = std::find_if(viewers.begin(), viewers.end(),
                                 [&path](const CDlgPopViewImage* viewer) { return viewer->Path() == path; });
    return it == viewers.end() ? nullptr : *it;
}

CDlgPopViewImage* ViewerList::OpenViewer(const std::string& path) {
    if (CDlgPopViewImage* open = FindViewer(path)) {
        open->showNormal();
        open->raise();
        open->activateWindow();
        return open;
    }

    auto viewer = std::make_unique<CDlgPopViewImage>(owner.data());
    if (viewer->LoadPhoto(path) != 0) {
        // Moved, deleted or changed since the import: an empty window would only puzzle.
        viewer.reset();
        notifier.Notify(path + std::string(kestory::texts::kRefusedLoadFailed), Notifier::Icon::None);
        return nullptr;
    }
    CDlgPopViewImage* shown = viewer.release();  // from here the owner window owns it
    Enter(shown);
    shown->move(ClientOrigin(owner.data()));
    shown->show();
    return shown;
}

void ViewerList::Clear() {
    for (CDlgPopViewImage* viewer : viewers) {
        disconnect(viewer, nullptr, this, nullptr);
    }
    viewers.clear();
}

void ViewerList::Enter(CDlgPopViewImage* viewer) {
    viewers.push_back(viewer);
    connect(viewer, &CDlgPopViewImage::closing, this, &ViewerList::Leave);
    connect(viewer, &QObject::destroyed, this, &ViewerList::Leave);
}

void ViewerList::Leave(QObject* viewer) {
    const auto it = std::find(viewers.begin(), viewers.end(), viewer);
    if (it != viewers.end()) {
        disconnect(*it, nullptr, this, nullptr);
        viewers.erase(it);
    }
}
