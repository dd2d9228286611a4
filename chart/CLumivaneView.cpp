#include "chart/CLumivaneView.h"

#include "chart/ChartGeometry.h"
#include "chart/ChartRender.h"
#include "chart/QtCanvas.h"
#include "collection/CLumivaneDoc.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QResizeEvent>
#include <QScrollBar>

#include <algorithm>

CLumivaneView::CLumivaneView(CLumivaneDoc& document, QWidget* parent)
    : QAbstractScrollArea(parent), doc(document) {
    // Every paint covers its whole exposed area, so no background erase is wanted under it.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    setFrameShape(QFrame::NoFrame);
    UpdateScrollSizes();
}

CLumivaneView::~CLumivaneView() = default;

void CLumivaneView::LayoutPhotos() {
    ::LayoutPhotos(doc);
}

void CLumivaneView::UpdateScrollSizes() {
    const ChartScrollSizes sizes = ScrollSizesFor(doc.settings.magnify);
    const QSize visible = viewport()->size();
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    h->setRange(0, std::max(0, sizes.total.width - visible.width()));
    v->setRange(0, std::max(0, sizes.total.height - visible.height()));
    h->setPageStep(std::max(1, sizes.page.width));
    v->setPageStep(std::max(1, sizes.page.height));
    h->setSingleStep(std::max(1, sizes.line.width));
    v->setSingleStep(std::max(1, sizes.line.height));
}

void CLumivaneView::InvalidateChart() {
    viewport()->update();
}

QPoint CLumivaneView::ScrollPosition() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void CLumivaneView::Draw(Canvas& canvas, const Rect* exposed) const {
    PaintChart(canvas, doc, exposed);
}

void CLumivaneView::paintEvent(QPaintEvent* event) {
    const QPoint scroll = ScrollPosition();
    const QRect dirty = event->region().boundingRect();
    QPainter painter(viewport());
    painter.setClipRegion(event->region());
    painter.translate(-scroll);
    const QRect area = dirty.translated(scroll);
    const Rect exposed{area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
    QtCanvas canvas(painter, false);
    Draw(canvas, &exposed);
}

void CLumivaneView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollSizes();
}

void CLumivaneView::scrollContentsBy(int dx, int dy) {
    // Moves what is already on screen and repaints only the strip that comes into view.
    viewport()->scroll(dx, dy);
}
