#include "chart/ChartOutput.h"

#include "chart/CLumivaneView.h"
#include "chart/ChartGeometry.h"
#include "chart/ChartRender.h"
#include "chart/ChartTables.h"
#include "chart/IsoSpeed.h"
#include "chart/QtCanvas.h"
#include "collection/CLumivaneDoc.h"

#include <QBuffer>
#include <QClipboard>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QWidget>

#include <cmath>

namespace kestory::chartout {

QImage VisibleChartImage(const CLumivaneView& view) {
    const QSize size = view.viewport()->size();
    if (size.isEmpty()) {
        return {};
    }
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    // The view's own resolution, so that the labels come out in the pixel sizes of the screen.
    const QWidget* viewport = view.viewport();
    image.setDotsPerMeterX(static_cast<int>(std::lround(viewport->logicalDpiX() / 0.0254)));
    image.setDotsPerMeterY(static_cast<int>(std::lround(viewport->logicalDpiY() / 0.0254)));
    const QPoint scroll = view.ScrollPosition();
    QPainter painter(&image);
    painter.translate(-scroll);
    // The exposed rectangle in view pixels is cleared to white first, so the area right of and
    // below the chart is white as on screen.
    const Rect exposed{scroll.x(), scroll.y(), scroll.x() + size.width(), scroll.y() + size.height()};
    QtCanvas canvas(painter, false);
    view.Draw(canvas, &exposed);
    return image;
}

int CopyViewToClipboard(const CLumivaneView& view, QClipboard* clipboard) {
    if (clipboard == nullptr) {
        return -1;
    }
    const QImage image = VisibleChartImage(view);
    if (image.isNull()) {
        return -1;
    }
    clipboard->setImage(image);
    return 0;
}

QRect PageViewport(const QPageLayout& layout, int dpiY, const QRect& printablePixels) {
    const QPageSize& paper = layout.pageSize();
    if (paper.isValid() && dpiY > 0) {
        // The page size in its portrait definition: width is the short side, height the long one.
        const QSizeF millimetres = paper.size(QPageSize::Millimeter);
        const double lengthTenths = std::round(std::max(millimetres.width(), millimetres.height()) * 10.0);
        const double widthTenths = std::round(std::min(millimetres.width(), millimetres.height()) * 10.0);
        const int across = static_cast<int>(lengthTenths * dpiY / 254.0);
        const int down = static_cast<int>(widthTenths * dpiY / 254.0);
        if (across > 0 && down > 0) {
            return {0, 0, across, down};
        }
    }
    return {0, 0, printablePixels.width(), printablePixels.height()};
}

void ForceLandscape(QPrinter& printer) {
    printer.setPageOrientation(QPageLayout::Landscape);
}

bool PaintChartPage(const CLumivaneDoc& doc, QPagedPaintDevice& device, int dpiY) {
    QPainter painter;
    if (!painter.begin(&device)) {
        return false;
    }
    const QPageLayout layout = device.pageLayout();
    const QRect printable = layout.paintRectPixels(dpiY);
    const Size chart = ChartSize();
    painter.setWindow(0, 0, chart.width, chart.height);
    painter.setViewport(PageViewport(layout, dpiY, printable));
    {
        QtCanvas canvas(painter, true);  // restores the painter's state before the page ends
        PaintChart(canvas, doc);
    }
    return painter.end();
}

PrintLayoutGuard::PrintLayoutGuard(CLumivaneView& v)
    : view(v), savedMagnify(v.GetDocument().settings.magnify) {
    view.GetDocument().settings.magnify = 100;
    view.LayoutPhotos();
}

PrintLayoutGuard::~PrintLayoutGuard() {
    view.GetDocument().settings.magnify = savedMagnify;
    view.LayoutPhotos();
    view.InvalidateChart();
}

bool PrintChart(CLumivaneView& view, QPrinter& printer, const std::function<bool()>& prepare) {
    ForceLandscape(printer);
    const PrintLayoutGuard atHundred(view);
    if (prepare && !prepare()) {
        return false;
    }
    return PaintChartPage(view.GetDocument(), printer, printer.resolution());
}

bool DrawChartPdf(CLumivaneDoc& doc, QByteArray& pdf) {
    doc.settings.magnify = 100;
    if (doc.settings.evCaption.empty()) {
        ApplyIsoIndex(doc.settings, doc.settings.isoIndex);
    }
    LayoutPhotos(doc);
    pdf.clear();
    QBuffer buffer(&pdf);
    if (!buffer.open(QIODevice::WriteOnly)) {
        return false;
    }
    // The writer finishes the file when it is destroyed, so it ends before the bytes are taken.
    bool painted = false;
    {
        QPdfWriter writer(&buffer);
        // The window's printer: high resolution, A4, landscape, the PDF engine's own margins.
        writer.setResolution(1200);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(QPageLayout::Landscape);
        writer.setTitle(QStringLiteral("Kestory"));
        writer.setCreator(QStringLiteral("Kestory"));
        painted = PaintChartPage(doc, writer, writer.resolution());
    }
    buffer.close();
    if (!painted) {
        pdf.clear();
    }
    return painted && !pdf.isEmpty();
}

} // namespace kestory::chartout
