#pragma once

#include "chart/ChartTables.h"
#include "photo/Rect.h"

#include <cstdint>
#include <vector>

class CLumivaneDoc;
class PhotoItem;

// v * magnify / 100, truncated toward zero; saturates instead of overflowing for magnifications no
// panel can set.
int32_t ScaleToView(int32_t v, int32_t magnify);
// Edge by edge, so a scaled rectangle's width is the difference of its scaled edges.
Rect ScaleToView(const Rect& rect, int32_t magnify);

// Chart x of an exposure time in seconds (single precision), linear in seconds between the two
// neighbouring shutter columns; beyond 60 s the first column, below 1/8000 s the last.
int32_t ShutterPosition(float seconds);
// Chart y of an F-number, linear in the F-number between the two neighbouring aperture rows;
// below F1 the first row, above F64 the last.
int32_t AperturePosition(float fNumber);

// The centre of the photo's cell in view pixels, from its exposure-time and F-number fractions.
ChartPoint PositionOnChart(const PhotoItem& photo, int32_t magnify);

// Gives every photo of the document its cell from sizePict and magnify, a display picture fitted
// into the cell and its drawRect (view pixels). Expensive (one resize per photo): run it after a
// change of photos, sizePict or magnify, never while painting.
void LayoutPhotos(CLumivaneDoc& doc);

// What the scroll view is given: the chart's size at a magnification in pixels, a page step of a
// tenth of it and a line step of a tenth of that.
struct ChartScrollSizes {
    Size total;
    Size page;
    Size line;
    friend bool operator==(const ChartScrollSizes&, const ChartScrollSizes&) = default;
};
ChartScrollSizes ScrollSizesFor(int32_t magnify);

// The rectangle a drag between two points covers (view pixels), both end pixels included.
Rect BandBetween(ChartPoint from, ChartPoint to);
// Whether a band touches the photo as the view type draws it: a thumbnail's drawRect; a mark's
// disc, the pixels whose centres lie within the circle inscribed in MarkBounds.
bool BandTouchesPhoto(const Rect& band, const PhotoItem& photo, int32_t viewType);
// The photos a band touches, in collection order.
std::vector<PhotoItem*> PhotosInBand(const CLumivaneDoc& doc, const Rect& band);
