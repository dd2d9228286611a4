#include "inspect/CDlgPopViewImage.h"

#include "chart/PictureDrawing.h"
#include "chart/QtCanvas.h"
#include "dialog/DialogUnits.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

namespace {

// The viewer's template: 418 x 337 dialog units of client area.
constexpr int kTemplateWidth = 418;
constexpr int kTemplateHeight = 337;

// Caption with the close box and a sizing border; no minimise or maximise box.
constexpr Qt::WindowFlags kViewerFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

}  // namespace

CDlgPopViewImage::CDlgPopViewImage(QWidget* owner) : QWidget(owner, kViewerFlags) {
    setAttribute(Qt::WA_DeleteOnClose);
    // paintEvent fills every pixel itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(QString());
    resize(kestory::DluSize(kTemplateWidth, kTemplateHeight));
}

CDlgPopViewImage::~CDlgPopViewImage() = default;

int CDlgPopViewImage::LoadPhoto(const std::string& path) {
    // The picture is fitted by the first resize event, which Qt delivers when the window is shown.
    return viewerPhoto.Load(path, 1);
}

Rect CDlgPopViewImage::PictureRect() const {
    Rect r = viewerPhoto.drawRect;
    r.bottom -= r.top;
    r.top = 0;
    return r;
}

void CDlgPopViewImage::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    if (viewerPhoto.exposureValid == 1) {
        QtCanvas canvas(painter, false);
        DrawPicture(PictureRect(), viewerPhoto.displayImage, canvas);
    }
}

void CDlgPopViewImage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSize size = event->size();
    if (size.width() <= 0 || size.height() <= 0) {
        return;
    }
    viewerPhoto.FitDisplayImage(Rect{0, 0, size.width(), size.height()});
    update();
}

void CDlgPopViewImage::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Cancel and OK of a dialog without buttons: out of sight, still open.
        hide();
        event->accept();
        break;
    default:
        QWidget::keyPressEvent(event);
        break;
    }
}

void CDlgPopViewImage::closeEvent(QCloseEvent* event) {
    emit closing(this);
    event->accept();
}
