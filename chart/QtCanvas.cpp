#include "chart/QtCanvas.h"

#include "chart/ChartMapping.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QSysInfo>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace {

QColor ToQColor(Color c) {
    return QColor(c.r, c.g, c.b);
}

QRect ToQRect(const Rect& r) {
    return QRect(r.left, r.top, r.width(), r.height());
}

// The outline's ellipse in a square: through the centres of its outermost pixels, so the disc
// covers exactly the square it was given (right and bottom edges outside).
QRectF InnerEllipse(double left, double top, int width, int height) {
    return QRectF(left + 0.5, top + 0.5, width - 1.0, height - 1.0);
}

// One mark's size and fill drawn once into transparent pictures, the disc and the outline apart:
// copied one after the other onto the canvas they blend as the painter blends the fill and then the
// stroke of an ellipse drawn there. margin pixels around the square hold the outline's smoothing.
struct MarkSprite {
    int width = 0;
    int height = 0;
    Color fill;
    int margin = 0;
    QImage disc;
    QImage outline;
};

QImage SpritePicture(const MarkSprite& sprite, const QPen& pen, const QBrush& brush) {
    QImage picture(sprite.width + 2 * sprite.margin, sprite.height + 2 * sprite.margin,
                   QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(pen);
    p.setBrush(brush);
    p.drawEllipse(InnerEllipse(sprite.margin, sprite.margin, sprite.width, sprite.height));
    return picture;
}

} // namespace

QFont ChartLabelFontFace() {
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("IPAGothic"), QStringLiteral("IPA Gothic"),
                                 QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("VL Gothic"),
                                 QStringLiteral("TakaoGothic"), QStringLiteral("monospace")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    // Hinted at 9 to 11 pixels (the screen's 8 points at magnifications of about 80 to 100 %),
    // IPAGothic's full stop snaps into a two-pixel stroke below the baseline that reads as a
    // comma: "F1,4", "F5,6". Unhinted it stays a dot at every size, with the same advances, so
    // the labels keep their places. Printers and PDF draw outlines unhinted anyway.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QtCanvas::QtCanvas(QPainter& p, bool isPrinter) : painter(p), printer(isPrinter) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    // Black one-pixel outline, as a fresh device context has.
    QPen defaultPen(Qt::black);
    defaultPen.setWidth(0);
    defaultPen.setCosmetic(true);
    pens.push_back(defaultPen);
    painter.setPen(defaultPen);
}

QtCanvas::~QtCanvas() {
    painter.restore();
}

QPen QtCanvas::MakePen(Color color, int width) const {
    QPen pen(ToQColor(color));
    pen.setStyle(Qt::SolidLine);
    pen.setCapStyle(Qt::FlatCap);
    if (printer) {
        // In chart units through the page mapping, so a grid line keeps its weight on any printer.
        pen.setWidth(std::max(1, width));
        pen.setCosmetic(false);
    } else {
        // Pixels, whatever the magnification.
        pen.setWidth(width <= 1 ? 0 : width);
        pen.setCosmetic(true);
    }
    return pen;
}

void QtCanvas::FillRect(const Rect& rect, Color color) {
    painter.fillRect(ToQRect(rect), ToQColor(color));
}

void QtCanvas::PushPen(Color color, int width) {
    pens.push_back(MakePen(color, width));
    painter.setPen(pens.back());
}

void QtCanvas::PopPen() {
    if (pens.size() > 1) {
        pens.pop_back();
    }
    painter.setPen(pens.back());
}

void QtCanvas::DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    painter.drawLine(x1, y1, x2, y2);
}

void QtCanvas::DrawEllipse(const Rect& bounds, Color fill) {
    if (bounds.width() <= 0 || bounds.height() <= 0) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(ToQColor(fill));
    painter.drawEllipse(printer ? QRectF(ToQRect(bounds))
                                : InnerEllipse(bounds.left, bounds.top, bounds.width(), bounds.height()));
    painter.restore();
}

void QtCanvas::DrawMarks(const std::vector<MarkSpot>& marks) {
    // Copies land pixel for pixel only where canvas pixels are device pixels, moved by whole pixels.
    const QTransform mapping = painter.deviceTransform();
    const QPaintDevice* device = painter.device();
    if (printer || mapping.type() > QTransform::TxTranslate || mapping.dx() != std::floor(mapping.dx()) ||
        mapping.dy() != std::floor(mapping.dy()) || (device && device->devicePixelRatioF() != 1.0)) {
        Canvas::DrawMarks(marks);
        return;
    }
    // A mark's fill is opaque: a later mark in the same square hides all of it but the smoothed rim.
    std::vector<char> hidden(marks.size(), 0);
    std::unordered_set<Rect, RectHash> taken;
    taken.reserve(marks.size());
    for (size_t i = marks.size(); i-- > 0;) {
        hidden[i] = taken.insert(marks[i].bounds).second ? 0 : 1;
    }
    const QPen& pen = pens.back();
    const int margin = 2 + std::max(0, pen.width());
    std::vector<MarkSprite> sprites;
    for (size_t i = 0; i < marks.size(); ++i) {
        const Rect& b = marks[i].bounds;
        if (hidden[i] || b.width() <= 0 || b.height() <= 0) {
            continue;
        }
        auto sprite = std::find_if(sprites.begin(), sprites.end(), [&](const MarkSprite& m) {
            return m.width == b.width() && m.height == b.height() && m.fill == marks[i].fill;
        });
        if (sprite == sprites.end()) {
            MarkSprite made{b.width(), b.height(), marks[i].fill, margin, {}, {}};
            made.disc = SpritePicture(made, QPen(Qt::NoPen), QBrush(ToQColor(made.fill)));
            made.outline = SpritePicture(made, pen, QBrush(Qt::NoBrush));
            sprites.push_back(std::move(made));
            sprite = sprites.end() - 1;
        }
        const QPoint at(b.left - margin, b.top - margin);
        painter.drawImage(at, sprite->disc);
        painter.drawImage(at, sprite->outline);
    }
}

void QtCanvas::FillRects(const std::vector<Rect>& rects, Color color) {
    std::vector<QRect> boxes;
    boxes.reserve(rects.size());
    for (const Rect& r : rects) {
        boxes.push_back(ToQRect(r));
    }
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(ToQColor(color));
    painter.drawRects(boxes.data(), static_cast<int>(boxes.size()));
    painter.restore();
}

QFont QtCanvas::LabelFont(int pointTenths) const {
    QFont font = ChartLabelFontFace();
    const QPaintDevice* device = painter.device();
    const int dpiY = device ? device->logicalDpiY() : 96;
    const double pixels = pointTenths / 10.0 * dpiY / 72.0;
    if (printer) {
        // Pixels on paper, carried back into chart units; the mapping scales them up again.
        const double scaleY = std::abs(painter.combinedTransform().m22());
        const double units = scaleY > 0 ? pixels / scaleY : pixels;
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(units))));
    } else {
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
    }
    return font;
}

int32_t QtCanvas::TextWidth(const std::string& utf8Text, int pointTenths) const {
    return QFontMetrics(LabelFont(pointTenths), painter.device()).horizontalAdvance(QString::fromStdString(utf8Text));
}

void QtCanvas::DrawText(const Rect& box, const std::string& utf8Text, TextAlign align, int pointTenths) {
    if (box.width() <= 0 || box.height() <= 0 || utf8Text.empty()) {
        return;
    }
    const QFont font = LabelFont(pointTenths);
    const QFontMetrics metrics(font, painter.device());
    const QString text = QString::fromStdString(utf8Text);

    painter.save();
    painter.setClipRect(ToQRect(box), Qt::IntersectClip);
    painter.setFont(font);
    painter.setPen(Qt::black);

    // Each line clears its own character cells to white before its glyphs go on, hiding whatever
    // grid line runs under it.
    const auto drawLine = [&](const QString& line, int x, int top) {
        if (line.isEmpty()) {
            return;
        }
        const int width = metrics.horizontalAdvance(line);
        painter.fillRect(QRect(x, top, width, metrics.height()), Qt::white);
        painter.drawText(QPoint(x, top + metrics.ascent()), line);
    };

    if (align == TextAlign::TopLeft) {
        const QStringList lines = text.split(QLatin1Char('\n'));
        int top = box.top;
        for (const QString& line : lines) {
            if (top >= box.bottom) {
                break;
            }
            drawLine(line, box.left, top);
            top += metrics.lineSpacing();
        }
    } else {
        // Single-line alignments: a line break is not honoured, as in the one-line text boxes.
        QString line = text;
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        const int width = metrics.horizontalAdvance(line);
        const int height = metrics.height();
        int x = box.left;
        int top = box.top;
        switch (align) {
        case TextAlign::CentreBottom:
            x = box.left + (box.width() - width) / 2;
            top = box.bottom - height;
            break;
        case TextAlign::RightMiddle:
            x = box.right - width;
            top = box.top + (box.height() - height) / 2;
            break;
        case TextAlign::LeftMiddle:
        case TextAlign::TopLeft:
            x = box.left;
            top = box.top + (box.height() - height) / 2;
            break;
        }
        drawLine(line, x, top);
    }
    painter.restore();
}

void QtCanvas::DrawPicture(const Rect& destination, const PictureView& picture) {
    if (!picture.rows || picture.width <= 0 || picture.height <= 0 || destination.width() <= 0 ||
        destination.height() <= 0) {
        return;
    }
    QImage::Format format;
    if (picture.channels == 4) {
        // Bytes blue, green, red, 255: a 32-bit 0xffRRGGBB on a little-endian machine, which the
        // raster engine copies without a conversion. Read as red, green, blue, alpha bytes and
        // swapped (a copy) where the machine is big-endian.
        format = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? QImage::Format_RGB32
                                                                : QImage::Format_RGBX8888;
    } else if (picture.channels == 3) {
        format = QImage::Format_BGR888;
    } else if (picture.channels == 1) {
        format = QImage::Format_Grayscale8;
    } else {
        return;
    }
    // Wraps the picture's own rows: no copy, valid for this call only.
    const QImage image(picture.rows, picture.width, picture.height,
                       static_cast<qsizetype>(picture.bytesPerRow), format);
    const QImage drawn = format == QImage::Format_RGBX8888 ? image.rgbSwapped() : image;
    // On a screen canvas, a picture made for a screen of another scale (one with twice the pixels
    // copied to the clipboard) is resampled smoothly, not by dropping pixels; one of the device's
    // own size is copied as it is.
    const QRectF device = painter.deviceTransform().mapRect(QRectF(ToQRect(destination)));
    const bool resampled =
        std::lround(device.width()) != picture.width || std::lround(device.height()) != picture.height;
    if (!printer && resampled && !painter.testRenderHint(QPainter::SmoothPixmapTransform)) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(ToQRect(destination), drawn);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        return;
    }
    painter.drawImage(ToQRect(destination), drawn);
}
