#include "chart/ChartImage.h"

#include "chart/ChartGeometry.h"
#include "chart/ChartRender.h"
#include "chart/QtCanvas.h"
#include "collection/CLumivaneDoc.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <cmath>

namespace {

// The image takes the screen's resolution so its label fonts come out in the same pixel sizes as
// in the view; 96 dpi when there is no screen.
void MatchScreenResolution(QImage& image) {
    double dpi = 96.0;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        dpi = screen->logicalDotsPerInchY();
    }
    const int dotsPerMetre = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
}

} // namespace

QImage RenderChartImage(const CLumivaneDoc& doc) {
    const Size chart = ChartSize();
    const int width = ScaleToView(chart.width, doc.settings.magnify);
    const int height = ScaleToView(chart.height, doc.settings.magnify);
    if (width <= 0 || height <= 0) {
        return {};
    }
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    MatchScreenResolution(image);
    QPainter painter(&image);
    QtCanvas canvas(painter, false);
    PaintChart(canvas, doc);
    return image;
}
