#include "chart/CLumivaneView.h"

#include "chart/ChartGeometry.h"
#include "chart/ChartRender.h"
#include "chart/DensityView.h"
#include "chart/QtCanvas.h"
#include "collection/CLumivaneDoc.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QResizeEvent>
#include <QRubberBand>
#include <QScrollBar>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>

namespace {

// Decodes that end within this time of each other are shown with one repaint.
constexpr int kSharpenedBatchMs = 40;

} // namespace

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
    sharpenedTimer = new QTimer(this);
    sharpenedTimer->setSingleShot(true);
    sharpenedTimer->setInterval(kSharpenedBatchMs);
    connect(sharpenedTimer, &QTimer::timeout, this, &CLumivaneView::showSharpened);
    doc.Sharpener().SetDone([this](const std::string& key) {
        QMetaObject::invokeMethod(this, [this, key] { pictureSharpened(key); }, Qt::QueuedConnection);
    });
    UpdateScrollSizes();
}

CLumivaneView::~CLumivaneView() {
    // No decode may tell a view that is gone.
    doc.Sharpener().SetDone({});
    doc.Sharpener().Forget();
}

void CLumivaneView::pictureSharpened(const std::string& key) {
    sharpened.insert(key);
    if (!sharpenedTimer->isActive()) {
        sharpenedTimer->start();
    }
}

void CLumivaneView::showSharpened() {
    bool changed = false;
    for (const auto& photo : doc.Photos()) {
        if (photo->DisplayImageSoft() && sharpened.count(photo->path) != 0) {
            photo->ReleaseDisplayImage();
            changed = true;
        }
    }
    sharpened.clear();
    if (changed) {
        viewport()->update();
    }
}

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
    // The photos' pictures are made for the screen's pixels: a window moved to a display of
    // another scale lays them out again (cheap: no picture is made before it is drawn).
    const double ratio = viewport()->devicePixelRatioF();
    if (ratio != doc.pixelRatio) {
        doc.pixelRatio = ratio;
        LayoutPhotos();
    }
    const QPoint scroll = ScrollPosition();
    const QRect dirty = event->region().boundingRect();
    QPainter painter(viewport());
    painter.setClipRegion(event->region());
    painter.translate(-scroll);
    const QRect area = dirty.translated(scroll);
    const Rect exposed{area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
    QtCanvas canvas(painter, false);
    Draw(canvas, &exposed);
    DrawSelection(canvas, doc, &exposed);
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
    // The density view draws no photo, so none can be pointed at.
    if (doc.settings.viewType == DisplaySettings::kViewDensity) {
        return nullptr;
    }
    const QPoint chart = ViewportToView(viewportPoint);
    return doc.PhotoAt(chart.x(), chart.y());
}

void CLumivaneView::mousePressEvent(QMouseEvent* event) {
    event->accept();
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        PhotoItem* photo = PhotoAtViewport(at);
        pressOnEmpty = photo == nullptr;
        bandOrigin = ViewportToView(at);
        if (photo != nullptr) {
            clearSelection();
        }
        emit photoClicked(photo);
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
    if (event->button() == Qt::LeftButton && pressOnEmpty) {
        finishBand(event->position().toPoint(), event->modifiers().testFlag(Qt::ShiftModifier));
    }
}

QString CLumivaneView::DensityTipAtViewport(const QPoint& viewportPoint) const {
    if (doc.settings.viewType != DisplaySettings::kViewDensity) {
        return {};
    }
    const QPoint at = ViewportToView(viewportPoint);
    const std::optional<DensityCell> cell = DensityCellAt(at.x(), at.y(), doc.settings.magnify);
    if (!cell) {
        return {};
    }
    int32_t count = 0;
    for (size_t i = 0; i < doc.Photos().size(); ++i) {
        count += doc.IsShown(i) && DensityCellOf(*doc.Photos()[i]) == *cell ? 1 : 0;
    }
    return count > 0 ? QString::fromStdString(DensityTipText(count, *cell)) : QString();
}

void CLumivaneView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (pressOnEmpty && event->buttons().testFlag(Qt::LeftButton)) {
        dragBandTo(event->position().toPoint());
        return;
    }
    if (doc.settings.viewType == DisplaySettings::kViewDensity) {
        const QString tip = DensityTipAtViewport(event->position().toPoint());
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(event->globalPosition().toPoint(), tip, viewport());
        }
        return;
    }
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
    // The band's origin is a point of the old magnification.
    cancelBand();
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

void CLumivaneView::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Escape || (band == nullptr && doc.SelectedCount() == 0)) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
    cancelBand();
    clearSelection();
}

void CLumivaneView::dragBandTo(const QPoint& viewportPoint) {
    const QPoint at = ViewportToView(viewportPoint);
    if (band == nullptr) {
        if ((at - bandOrigin).manhattanLength() < QApplication::startDragDistance()) {
            return;
        }
        band = new QRubberBand(QRubberBand::Rectangle, viewport());
        band->setObjectName(QStringLiteral("selectionBand"));
        QToolTip::hideText();
    }
    const Rect r = BandBetween({bandOrigin.x(), bandOrigin.y()}, {at.x(), at.y()});
    band->setGeometry(QRect(r.left, r.top, r.width(), r.height()).translated(-ScrollPosition()));
    band->show();
}

void CLumivaneView::finishBand(const QPoint& viewportPoint, bool add) {
    pressOnEmpty = false;
    if (band == nullptr) {
        // A click on empty chart; with Shift it adds nothing and keeps the selection.
        if (!add) {
            clearSelection();
        }
        return;
    }
    cancelBand();
    const QPoint at = ViewportToView(viewportPoint);
    const Rect before = SelectionPaintBounds(doc);
    doc.SelectPhotos(PhotosInBand(doc, BandBetween({bandOrigin.x(), bandOrigin.y()}, {at.x(), at.y()})), add);
    selectionEdited(before);
}

void CLumivaneView::cancelBand() {
    pressOnEmpty = false;
    delete band;
    band = nullptr;
}

void CLumivaneView::clearSelection() {
    if (doc.SelectedCount() > 0) {
        const Rect before = SelectionPaintBounds(doc);
        doc.ClearSelection();
        selectionEdited(before);
    }
}

void CLumivaneView::selectionEdited(const Rect& before) {
    // Only frames change; with thousands of marks a whole repaint would cost far more.
    const Rect after = SelectionPaintBounds(doc);
    const QRect changed = QRect(before.left, before.top, before.width(), before.height()) |
                    QRect(after.left, after.top, after.width(), after.height());
    viewport()->update(changed.translated(-ScrollPosition()));
    emit selectionChanged();
}
