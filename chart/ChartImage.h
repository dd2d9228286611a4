#pragma once

#include <QImage>

class CLumivaneDoc;

// The whole chart of the document at its settings (magnified chart size, white background), drawn
// as the view draws it. Needs a QGuiApplication (the offscreen platform will do). A null image when
// the magnification leaves nothing to draw or the picture cannot be allocated.
QImage RenderChartImage(const CLumivaneDoc& doc);
