#pragma once

#include "photo/PhotoItem.h"

#include <QWidget>

#include <string>

class QCloseEvent;
class QKeyEvent;
class QPaintEvent;
class QResizeEvent;

// A window of its own showing one photo as large as the window allows, from a full-size load of
// the file that the viewer keeps for its whole life. The picture is scaled anew from that load on
// every size change; it sits centred left to right at the top edge, white around it.
//
// Escape and Enter only hide the window; the close box closes it for good (closing() is emitted,
// then the window deletes itself).
class CDlgPopViewImage : public QWidget {
    Q_OBJECT

public:
    // A tool window of the owner: it stays in front of the owner and ends with it. Not shown yet.
    explicit CDlgPopViewImage(QWidget* owner);
    ~CDlgPopViewImage() override;

    // The full-mode load of the file (PhotoItem::Load's result: 0 loaded).
    int LoadPhoto(const std::string& path);

    const PhotoItem& Photo() const { return viewerPhoto; }
    const std::string& Path() const { return viewerPhoto.path; }

    // Where the picture is drawn in the window: drawRect with its top edge moved to 0.
    Rect PictureRect() const;

signals:
    // Sent from the close handler, before the window goes.
    void closing(CDlgPopViewImage* viewer);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    PhotoItem viewerPhoto;  // thumbnail holds the full-size picture, displayImage the fitted copy
};
