#pragma once

#include "chart/ChartMapping.h"
#include "chart/ChartTables.h"
#include "photo/Rect.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class CLumivaneDoc;
class PhotoItem;
class PictureCache;

// Chart x of an exposure time in seconds (single precision), linear in seconds between the two
// neighbouring shutter columns; beyond 60 s the first column, below 1/8000 s the last.
int32_t ShutterPosition(float seconds);
// Chart y of an F-number, linear in the F-number between the two neighbouring aperture rows;
// below F1 the first row, above F64 the last.
int32_t AperturePosition(float fNumber);

// The centre of the photo's cell in view pixels, from its exposure-time and F-number fractions.
ChartPoint PositionOnChart(const PhotoItem& photo, int32_t magnify);

// Gives every photo of the document its cell from sizePict and magnify and its drawRect (view
// pixels), and releases the display pictures of the layout before. Cheap (no picture is made): a
// display picture is fitted into its cell when a paint first needs it, and kept until the next
// layout. Run it after a change of photos, sizePict or magnify.
void LayoutPhotos(CLumivaneDoc& doc);

// Lets go of every display picture made, keeping the layout: marks draw none.
void ReleaseDisplayPictures(CLumivaneDoc& doc);

// Makes the display pictures still to be made of these photos (PhotoItem::EnsureDisplayImage, the
// thumbnails from pictures), runs of them on OpenCV's worker threads while the caller waits.
// Returns how many could not be made. complete: a picture made from an embedded picture smaller
// than it is drawn is decoded first (PhotoItem::SharpenThumbnail), as outputs need them.
size_t MakeDisplayPictures(const std::vector<const PhotoItem*>& photos, PictureCache* pictures = nullptr,
                           bool complete = false);

// Before an output that shows every photo (print, the clipboard, an image file): the thumbnails
// of the shown photos that would be drawn from embedded pictures smaller than they are drawn
// (PhotoItem::WouldDrawSoft) are decoded now, runs of them on OpenCV's worker threads, with
// progress(done, total) told before the first run and after each; false from it stops, and then
// this is false. Nothing is told when no photo needs it. Thumbnail view only. within: only the
// photos whose drawRect reaches into it (the visible part the clipboard takes).
using OutputProgress = std::function<bool(size_t done, size_t total)>;
bool SharpenShownPictures(const CLumivaneDoc& doc, const OutputProgress& progress, const Rect* within = nullptr);

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
