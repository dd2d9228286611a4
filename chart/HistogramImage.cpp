#include "chart/HistogramImage.h"

#include "chart/ChartGeometry.h"
#include "chart/ChartRender.h"
#include "chart/HistogramRender.h"
#include "chart/QtCanvas.h"
#include "collection/CLumivaneDoc.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QSvgGenerator>

#include <cmath>
#include <functional>

namespace {

// The screen's resolution, so label fonts come out in the pixel sizes the panel and the view use.
double ScreenDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
}

QByteArray Svg(QSize size, const std::function<void(Canvas&)>& draw) {
    if (size.isEmpty()) {
        return {};
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setResolution(static_cast<int>(std::lround(ScreenDpi())));
    svg.setTitle(QStringLiteral("Kestory"));
    QPainter painter;
    if (!painter.begin(&svg)) {
        return {};
    }
    {
        QtCanvas canvas(painter, false);
        draw(canvas);
    }
    painter.end();
    return bytes;
}

} // namespace

QImage RenderHistogramImage(const StatHistogram& histogram, QSize size) {
    if (size.isEmpty()) {
        return {};
    }
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    const int dotsPerMetre = static_cast<int>(std::lround(ScreenDpi() / 0.0254));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    QPainter painter(&image);
    QtCanvas canvas(painter, false);
    PaintHistogram(canvas, histogram, LayOutHistogram(histogram, {size.width(), size.height()}));
    return image;
}

QByteArray RenderHistogramSvg(const StatHistogram& histogram, QSize size) {
    return Svg(size, [&](Canvas& canvas) {
        PaintHistogram(canvas, histogram, LayOutHistogram(histogram, {size.width(), size.height()}));
    });
}

QByteArray PngBytes(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        return {};
    }
    return png;
}

QByteArray RenderChartSvg(const CLumivaneDoc& doc) {
    const Size chart = ChartSize();
    const QSize size(ScaleToView(chart.width, doc.settings.magnify), ScaleToView(chart.height, doc.settings.magnify));
    return Svg(size, [&](Canvas& canvas) { PaintChart(canvas, doc); });
}
