#pragma once

#include "chart/Canvas.h"
#include "chart/ChartMapping.h"
#include "chart/ChartTables.h"
#include "photo/Rect.h"

#include <cstdint>
#include <string>

class CLumivaneDoc;
class PhotoItem;

void DrawLineGroup(Canvas& canvas, const ChartLineGroup& group, int32_t magnify);
void DrawChartLabel(Canvas& canvas, const ChartLabel& label, int32_t magnify);

// The grid, the diagonals, the scale texts, the EV numbers, the caption and the fixed texts, in that
// order; texts come after the lines so that each clears the lines under its characters.
void DrawChart(Canvas& canvas, int32_t magnify, const std::string& evCaption, const EvLineLabelSet& evLabels);

void DrawMark(Canvas& canvas, const PhotoItem& photo);
// The same mark in another fill: the colour of a value the marks are coloured by.
void DrawMark(Canvas& canvas, const PhotoItem& photo, Color fill);

// Where a photo leaves ink in its current view type, its mark's outline included.
Rect PhotoPaintBounds(const PhotoItem& photo, int32_t viewType);

// The whole chart of the document with its photos in collection order (later ones cover earlier
// ones). On a screen canvas the exposed rectangle (view pixels) is first cleared to white, and photos
// that leave no ink in it are skipped; with no rectangle the whole magnified chart is cleared. A
// screen canvas also skips a thumbnail that a later photo's picture of the same drawRect hides
// completely, so the screen shows the same. A printer canvas gets no background, and every photo.
// Photos the document's filter keeps out are drawn on no canvas and hide nothing.
// Marks coloured by a value get the legend of the colours in the top-right corner; the density view
// draws the photos' counts per grid cell instead of the photos.
// The display pictures of the photos drawn that no paint has made since the layout are made first
// (the photos' display-picture caches change; nothing else does).
void PaintChart(Canvas& canvas, const CLumivaneDoc& doc, const Rect* exposed = nullptr);

// The selection's highlight on screen: a frame kSelectionFrameWidth pixels wide just outside where
// each selected photo leaves ink (its drawRect, or its mark's square), over every photo.
inline constexpr Color kSelectionColour{0, 102, 255};
inline constexpr int32_t kSelectionFrameWidth = 2;  // pixels
Rect SelectionFrameBounds(const PhotoItem& photo, int32_t viewType);
// The rectangle around every frame of the selection; empty (all zero) without one. A change of
// selection repaints only the union of this before and after the change.
Rect SelectionPaintBounds(const CLumivaneDoc& doc);
// The frames of the document's selection, in collection order, those reaching into the exposed
// rectangle when one is given. Only the screen shows them: a printer canvas gets nothing, and the
// clipboard, print and exported pictures are drawn without this step.
void DrawSelection(Canvas& canvas, const CLumivaneDoc& doc, const Rect* exposed = nullptr);
