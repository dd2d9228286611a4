#pragma once

#include "photo/Rect.h"

#include <QAbstractScrollArea>
#include <QPoint>

class Canvas;
class CLumivaneDoc;
class QPaintEvent;
class QResizeEvent;

// The scrolling chart of the document. Scroll positions are view pixels; a point on the viewport
// plus ScrollPosition() is a point in the coordinates of the photos' drawRect.
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

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

    CLumivaneDoc& doc;
};
