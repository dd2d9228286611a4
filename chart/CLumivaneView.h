#pragma once

#include "photo/Rect.h"

#include <QAbstractScrollArea>
#include <QPoint>

#include <string>

class Canvas;
class CLumivaneDoc;
class PhotoItem;
class QCloseEvent;
class QEvent;
class QMouseEvent;
class QPaintEvent;
class QResizeEvent;
class QWheelEvent;

// The scrolling chart of the document. Scroll positions are view pixels; a point on the viewport
// plus ScrollPosition() is a point in the coordinates of the photos' drawRect.
//
// The mouse works on the photo under the pointer (the topmost whose drawRect holds the point):
// pointing shows its exposure values in a tool tip, a click selects it (photoClicked), a
// double-click asks for its viewer (viewerRequested), a right-click sends it beneath all others.
// The wheel zooms the chart instead of scrolling it, over the chart's scroll bars too.
class CLumivaneView : public QAbstractScrollArea {
    Q_OBJECT

public:
    CLumivaneView(CLumivaneDoc& doc, QWidget* parent = nullptr);
    ~CLumivaneView() override;

    CLumivaneDoc& GetDocument() const { return doc; }

    // After photos were added or sizePict / magnify changed.
    void LayoutPhotos();
    // After magnify changed or the viewport was resized: scroll ranges for the magnified chart.
    void UpdateScrollSizes();
    // Repaint everything shown, without layout.
    void InvalidateChart();

    QPoint ScrollPosition() const;
    QPoint ViewportToView(const QPoint& viewportPoint) const { return viewportPoint + ScrollPosition(); }

    // The view's whole drawing, for the screen, the clipboard, a printer or an image: the chart of
    // the document at its settings. On a screen canvas, coordinates are view pixels (the caller
    // translates by the scroll position); the exposed rectangle, when given, is cleared to white and
    // limits which photos are drawn. A printer canvas draws in chart units, unclipped.
    void Draw(Canvas& canvas, const Rect* exposed = nullptr) const;

    // The whole chart at 100 %, without scroll bars: what a new window makes room for.
    QSize sizeHint() const override;

    // The photo under a viewport point, or null.
    PhotoItem* PhotoAtViewport(const QPoint& viewportPoint) const;

    static constexpr int kMagnifyMin = 30;   // percent
    static constexpr int kMagnifyMax = 400;  // percent

signals:
    // The left button went down over the photo, or over empty chart (null).
    void photoClicked(PhotoItem* photo);
    // A double-click on a photo: its path as the document holds it (UTF-8).
    void viewerRequested(const std::string& path);
    // The wheel changed magnify; the chart is already laid out for it.
    void magnifyChanged(int magnify);
    // The view is being closed: the open viewers are to be forgotten.
    void closing();
    // InvalidateChart was asked for: whoever shows something of the photos (the filter panel's
    // counts) looks whether it changed.
    void chartInvalidated();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    CLumivaneDoc& doc;

private:
    void zoomBy(QWheelEvent* event);
};
