#pragma once

#include "photo/Rect.h"

#include <QAbstractScrollArea>
#include <QPoint>
#include <QString>

#include <string>
#include <unordered_set>

class Canvas;
class CLumivaneDoc;
class PhotoItem;
class QCloseEvent;
class QEvent;
class QKeyEvent;
class QMouseEvent;
class QPaintEvent;
class QResizeEvent;
class QRubberBand;
class QTimer;
class QWheelEvent;

// The scrolling chart of the document. Scroll positions are view pixels; a point on the viewport
// plus ScrollPosition() is a point in the coordinates of the photos' drawRect.
//
// The mouse works on the photo under the pointer (the topmost whose drawRect holds the point):
// pointing shows its exposure values in a tool tip, a click selects it (photoClicked), a
// double-click asks for its viewer (viewerRequested), a right-click sends it beneath all others.
// The wheel zooms the chart instead of scrolling it, over the chart's scroll bars too.
//
// Dragging from empty chart draws a rubber band; the photos it touches become the document's
// selection (with Shift, are added to it) and are framed on screen. A press that moves less than
// the platform's drag distance is a click; a click on empty chart (without Shift) or Escape ends
// the selection, and so does a click on a photo, which then is the one the panel shows.
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

    // The photo under a viewport point, or null; always null in the density view.
    PhotoItem* PhotoAtViewport(const QPoint& viewportPoint) const;
    // In the density view, the tool tip of the grid cell under a viewport point ("12 枚\nF5.6–F8\n
    // 1/125–1/250 秒"); empty outside the grid, over an empty cell and in the other views.
    QString DensityTipAtViewport(const QPoint& viewportPoint) const;

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
    // The document's selection was changed from the chart; the chart is already being repainted.
    void selectionChanged();
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
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    CLumivaneDoc& doc;

private:
    void zoomBy(QWheelEvent* event);

    // Rubber-band selection: the press on empty chart it starts from, in view pixels; the band is
    // shown once the pointer has moved the drag distance away.
    void dragBandTo(const QPoint& viewportPoint);
    void finishBand(const QPoint& viewportPoint, bool add);
    void cancelBand();
    void clearSelection();
    // Repaints where frames came or went (before: SelectionPaintBounds ahead of the change).
    void selectionEdited(const Rect& before);
    // The background decodes that replaced embedded pictures: the display pictures made from the
    // small ones are let go and the chart repainted, once for each batch that arrives together.
    void pictureSharpened(const std::string& key);
    void showSharpened();
    std::unordered_set<std::string> sharpened;
    QTimer* sharpenedTimer = nullptr;
    bool pressOnEmpty = false;
    QPoint bandOrigin;
    QRubberBand* band = nullptr;
};
