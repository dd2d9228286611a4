#include "chart/CLumivaneView.h"

#include "chart/ChartGeometry.h"
#include "chart/ChartRender.h"
#include "chart/QtCanvas.h"
#include "collection/CLumivaneDoc.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QResizeEvent>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>

CLumivaneView::CLumivaneView(CLumivaneDoc& document, QWidget* parent)
    : QAbstractScrollArea(parent), doc(document) {
    // Every paint covers its whole exposed area, so no background erase is wanted under it.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    setFrameShape(QFrame::NoFrame);
    // The tool tip follows the pointer without a button held.
    viewport()->setMouseTracking(true);
    // A right-click reorders the photos; it never opens a menu, here or in the window around.
    setContextMenuPolicy(Qt::PreventContextMenu);
    // The scroll bars belong to the chart: the wheel zooms over them too, instead of scrolling.
    horizontalScrollBar()->installEventFilter(this);
    verticalScrollBar()->installEventFilter(this);
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
    emit chartInvalidated();
}

QSize CLumivaneView::sizeHint() const {
    const ChartScrollSizes atHundred = ScrollSizesFor(100);
    const int frame = 2 * frameWidth();
    return {atHundred.total.width + frame, atHundred.total.height + frame};
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

PhotoItem* CLumivaneView::PhotoAtViewport(const QPoint& viewportPoint) const {
    const QPoint chart = ViewportToView(viewportPoint);
    return doc.PhotoAt(chart.x(), chart.y());
}

void CLumivaneView::mousePressEvent(QMouseEvent* event) {
    event->accept();
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        emit photoClicked(PhotoAtViewport(at));
    } else if (event->button() == Qt::RightButton) {
        if (PhotoItem* photo = PhotoAtViewport(at)) {
            doc.MoveToFirst(photo);
            InvalidateChart();
        }
    }
}

void CLumivaneView::mouseDoubleClickEvent(QMouseEvent* event) {
    // Not passed on: the default would take the second press for another click.
    event->accept();
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (const PhotoItem* photo = PhotoAtViewport(event->position().toPoint())) {
        // A copy: the receiver may change the collection while the signal runs.
        const std::string path = photo->path;
        emit viewerRequested(path);
    }
}

void CLumivaneView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}

void CLumivaneView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    const PhotoItem* photo = PhotoAtViewport(event->position().toPoint());
    if (photo == nullptr) {
        QToolTip::hideText();
        return;
    }
    QToolTip::showText(event->globalPosition().toPoint(), QString::fromStdString(photo->GetSummaryText()),
                       viewport());
}

void CLumivaneView::wheelEvent(QWheelEvent* event) {
    zoomBy(event);
}

bool CLumivaneView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel && (watched == horizontalScrollBar() || watched == verticalScrollBar())) {
        zoomBy(static_cast<QWheelEvent*>(event));
        return true;
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void CLumivaneView::zoomBy(QWheelEvent* event) {
    // Zooms, never scrolls: 5 percent a notch of 120, truncated toward zero.
    event->accept();
    const int step = event->angleDelta().y() * 5 / 120;
    DisplaySettings& settings = doc.settings;
    const int magnify = std::clamp(settings.magnify + step, kMagnifyMin, kMagnifyMax);
    if (magnify == settings.magnify) {
        return;
    }
    settings.magnify = magnify;
    emit magnifyChanged(magnify);
    LayoutPhotos();
    UpdateScrollSizes();
    InvalidateChart();
}

void CLumivaneView::closeEvent(QCloseEvent* event) {
    emit closing();
    QAbstractScrollArea::closeEvent(event);
}

bool CLumivaneView::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::Leave:
        QToolTip::hideText();
        break;
    case QEvent::ToolTip:
        // The tip is shown from the mouse moves; the hover request has nothing to add.
        return true;
    default:
        break;
    }
    return QAbstractScrollArea::viewportEvent(event);
}
