#pragma once

#include <QByteArray>
#include <QImage>
#include <QPageLayout>
#include <QRect>

#include <functional>

class CLumivaneDoc;
class CLumivaneView;
class QClipboard;
class QPagedPaintDevice;
class QPrinter;

// The chart leaving the program: what the view shows, as one picture on the clipboard; the whole
// chart on one landscape page of a printer, a print preview or a PDF file.
namespace kestory::chartout {

// Exactly what the viewport shows at its size and scroll position, white beyond the chart. Drawn
// afresh through the view's drawing rather than read back from the screen.
QImage VisibleChartImage(const CLumivaneView& view);

// 0 when the picture is on the clipboard; -1 when there is no clipboard or nothing to put on it.
int CopyViewToClipboard(const CLumivaneView& view, QClipboard* clipboard);

// Where the chart's 750 x 520 units go on the page, in device pixels from the top-left corner of
// the printable area: the paper's length across and its width down (landscape), each as tenths of
// a millimetre times the vertical resolution / 254, truncated. A4 (2970 x 2100) at 600 dpi is
// 7015 x 4960. When the layout knows no paper size, the printable page rectangle it is given.
QRect PageViewport(const QPageLayout& layout, int dpiY, const QRect& printablePixels);

// The page is landscape whatever was chosen before.
void ForceLandscape(QPrinter& printer);

// Draws the whole chart of the document on one page of the device, in chart units through the page
// mapping; the document's photos must be laid out at magnification 100. False when the painter
// could not start on the device (the print engine has told the user, if anyone).
bool PaintChartPage(const CLumivaneDoc& doc, QPagedPaintDevice& device, int dpiY);

// From the beginning to the end of one print job or preview the chart is laid out at 100 %: the
// photos' drawRect are then chart units. The user's magnification and layout come back when the
// guard ends, whether the job was printed, cancelled or the preview closed.
class PrintLayoutGuard {
public:
    explicit PrintLayoutGuard(CLumivaneView& view);
    ~PrintLayoutGuard();
    PrintLayoutGuard(const PrintLayoutGuard&) = delete;
    PrintLayoutGuard& operator=(const PrintLayoutGuard&) = delete;

private:
    CLumivaneView& view;
    int savedMagnify;
};

// One print job of the view's chart on the printer: landscape, laid out at 100 %, one page, and
// the screen restored afterwards. False when the printer could not be started.
// prepare runs once the chart is laid out at 100 % and before the page is drawn; false from it
// ends the job before it begins (false is returned, the printer never started).
bool PrintChart(CLumivaneView& view, QPrinter& printer, const std::function<bool()>& prepare = {});

// The chart of the document as one landscape A4 page of a PDF file, the page printing gives: laid
// out at 100 % first. The file's bytes go to pdf, for the caller to put in place (WriteOutputFile).
// False when the page could not be drawn.
bool DrawChartPdf(CLumivaneDoc& doc, QByteArray& pdf);

} // namespace kestory::chartout
