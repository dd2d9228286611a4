#pragma once

#include "collection/StatBins.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

class CLumivaneDoc;

// The statistics bar chart as the panel draws it, at a size in pixels: a picture (PNG) or the bytes
// of an SVG file. Need a QGuiApplication; null or empty when nothing could be drawn.
QImage RenderHistogramImage(const StatHistogram& histogram, QSize size);
QByteArray RenderHistogramSvg(const StatHistogram& histogram, QSize size);
// The bytes of a PNG file of the picture; empty when it could not be encoded.
QByteArray PngBytes(const QImage& image);

// The whole chart of the document at its settings, as RenderChartImage draws it, as an SVG file
// (QSvgGenerator): lines and texts stay lines and texts, the pictures are embedded.
QByteArray RenderChartSvg(const CLumivaneDoc& doc);
