#include "inspect/CDlgBarPreView.h"

#include "chart/CLumivaneView.h"
#include "chart/PictureDrawing.h"
#include "chart/QtCanvas.h"
#include "collection/CLumivaneDoc.h"
#include "inspect/ViewerList.h"
#include "photo/FocalEquivalent.h"
#include "photo/PropertyText.h"
#include "dialog/AppTitle.h"
#include "dialog/DialogUnits.h"

#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>

using kestory::DluRect;

namespace {

constexpr int kPropertyColumnWidth = 107;  // pixels
constexpr int kValueColumnWidth = 120;     // pixels

QLabel* StaticText(const QString& text, const QRect& rect, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(rect);
    return label;
}

// "%.1f" followed by the unit, with "+" in front unless the text already begins with "-".
std::string Signed(double value, const char* unit) {
    std::string text = FormatExposureValue(value) + unit;
    if (text.front() != '-') {
        text.insert(text.begin(), '+');
    }
    return text;
}

// Cameras pad their texts to a fixed length with spaces; the panel shows the text without the
// padding (the record and the CSV keep the bytes as read).
QString WithoutTrailingSpaces(QString text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' ')) {
        --end;
    }
    text.truncate(end);
    return text;
}

// The part after the last "/", or the whole path without one.
QString FileName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return QString::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1));
}

}  // namespace

CDlgBarPreView::CDlgBarPreView(CLumivaneView& chartView, ViewerList& viewerList, QWidget* parent)
    : QWidget(parent), view(chartView), viewers(viewerList), ask([](QMessageBox& box) { return box.exec(); }) {
    setObjectName(QStringLiteral("infoPanel"));
    setFixedSize(kestory::InfoPanelSize());
    // The template's dialog units are those of an 8-point font.
    setFont(kestory::DialogFont(font()));

    StaticText(QStringLiteral("撮影記録"), DluRect(3, 152, 33, 13), this);
    StaticText(QStringLiteral("ＥＶ値"), DluRect(3, 161, 33, 13), this);

    exposureText = StaticText(QString(), DluRect(39, 149, 77, 27), this);
    exposureText->setObjectName(QStringLiteral("exposureText"));
    exposureText->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    exposureText->setLineWidth(1);

    magnifyButton = new QPushButton(QStringLiteral("拡大"), this);
    magnifyButton->setObjectName(QStringLiteral("magnifyButton"));
    magnifyButton->setGeometry(DluRect(119, 149, 37, 13));
    deleteButton = new QPushButton(QStringLiteral("削除"), this);
    deleteButton->setObjectName(QStringLiteral("deleteButton"));
    deleteButton->setGeometry(DluRect(119, 163, 37, 13));
    connect(magnifyButton, &QPushButton::clicked, this, &CDlgBarPreView::OnMagnify);
    connect(deleteButton, &QPushButton::clicked, this, &CDlgBarPreView::OnDelete);

    propertyList = new QTreeWidget(this);
    propertyList->setObjectName(QStringLiteral("propertyList"));
    propertyList->setGeometry(DluRect(2, 179, 154, 171));
    propertyList->setRootIsDecorated(false);
    propertyList->setUniformRowHeights(true);
    propertyList->setSelectionBehavior(QAbstractItemView::SelectRows);
    propertyList->setHeaderLabels({QStringLiteral("プロパティ"), QStringLiteral("値")});
    propertyList->header()->setStretchLastSection(false);
    propertyList->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    propertyList->setColumnWidth(0, kPropertyColumnWidth);
    propertyList->setColumnWidth(1, kValueColumnWidth);
    connect(propertyList->header(), &QHeaderView::sectionResized, this, &CDlgBarPreView::UpdateCutToolTips);

    // One line over the top of the preview square, on the button face so a picture under it does
    // not hide it.
    selectionText = StaticText(QString(), QRect(0, 0, PreviewSide(), NameLineHeight() + 4), this);
    selectionText->setObjectName(QStringLiteral("selectionText"));
    selectionText->setAutoFillBackground(true);
    selectionText->setBackgroundRole(QPalette::Button);
    selectionText->hide();
}

CDlgBarPreView::~CDlgBarPreView() = default;

QString CDlgBarPreView::ExposureText() const {
    return exposureText->text();
}

std::string CDlgBarPreView::FormatExposureText(const PhotoItem& photo) {
    if (photo.exposureValid != 1) {
        return {};
    }
    return "EV=" + FormatExposureValue(photo.ev) + "\n" + FormatExposureValue(photo.av) + "AV" +
           Signed(photo.tv, "TV") + "\n" + Signed(photo.isoCorrection, "(感度補正)");
}

int CDlgBarPreView::PreviewSide() const {
    return std::min(width(), height());
}

int CDlgBarPreView::NameLineHeight() const {
    return fontMetrics().height();
}

Rect CDlgBarPreView::PreviewPictureRect() const {
    const int side = PreviewSide();
    const int w = previewPhoto.drawRect.width();
    const int h = previewPhoto.drawRect.height();
    const int nameTop = side - NameLineHeight();
    int top = (side - h) / 2;
    if (top + h > nameTop) {
        top = std::max(0, (nameTop - h) / 2);
    }
    const int left = (side - w) / 2;
    return Rect{left, top, left + w, top + h};
}

void CDlgBarPreView::ShowPhoto(PhotoItem* photo) {
    if (photo == nullptr || photo == selectedPhoto) {
        return;
    }
    selectedPhoto = photo;
    previewPhoto = *photo;
    // The panel's own thumbnail, so a chart layout or the cache's bound leaves the preview as it is.
    PictureCache& pictures = view.GetDocument().Pictures();
    if (const auto thumbnail = photo->ThumbnailPicture(&pictures)) {
        previewPhoto.thumbnail = thumbnail->Clone();
    }
    // The photo itself, never a picture it carries (an edited photo may keep an old thumbnail): made
    // when first shown, and kept in the cache for the chart too.
    if (previewPhoto.thumbnail.source == PictureSource::Embedded) {
        PhotoImage decoded;
        if (photo->DecodedThumbnailMaker()(pictures.Store(), decoded)) {
            previewPhoto.thumbnail = decoded.Clone();
            pictures.Put(photo->path, std::move(decoded));
        }
    }
    propertyList->clear();
    const int side = PreviewSide();
    // Scaled once per selection, not per paint. A picture that would reach into the file name's
    // line (a portrait or square one) is fitted into the square above that line instead.
    previewPhoto.FitDisplayImage(Rect{0, 0, side, side});
    if (PreviewPictureRect().bottom > side - NameLineHeight()) {
        const int above = std::max(1, side - NameLineHeight());
        previewPhoto.FitDisplayImage(Rect{0, 0, above, above});
    }
    FillPropertyList();
    exposureText->setText(QString::fromStdString(
        FormatExposureText(*photo) + (photo->rawCompanion.empty() ? "" : "\nRAW: " + photo->rawCompanion)));
    update(0, 0, side, side);
}

void CDlgBarPreView::FillPropertyList() {
    QList<QTreeWidgetItem*> rows;
    for (const uint16_t tag : kPanelPropertyTags) {
        PropertyText text;
        previewPhoto.GetPropertyText(tag, text);
        rows.append(new QTreeWidgetItem({QString::fromStdString(text.label),
                                         WithoutTrailingSpaces(QString::fromStdString(DecodeExifText(text.displayValue)))}));
    }
    // Computed, not read from one tag: after the file's own properties.
    const int32_t focal35 = FocalLength35mm(previewPhoto.exif);
    rows.append(new QTreeWidgetItem({QStringLiteral("焦点距離 (35mm 換算)"),
                                     focal35 < 0 ? QStringLiteral("不明") : QStringLiteral("%1 mm").arg(focal35)}));
    propertyList->addTopLevelItems(rows);
    UpdateCutToolTips();
}

void CDlgBarPreView::UpdateCutToolTips() {
    // A cell's text sits between margins of the focus frame's width plus one pixel on each side.
    const int margins = 2 * (propertyList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, propertyList) + 1);
    const QFontMetrics metrics(propertyList->font());
    for (int row = 0; row < propertyList->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = propertyList->topLevelItem(row);
        for (int column = 0; column < propertyList->columnCount(); ++column) {
            const QString text = item->text(column);
            const bool cut = metrics.horizontalAdvance(text) + margins > propertyList->columnWidth(column);
            item->setToolTip(column, cut ? text : QString());
        }
    }
}

void CDlgBarPreView::ClearPhoto() {
    selectionText->hide();
    selectionText->clear();
    selectedPhoto = nullptr;
    previewPhoto = PhotoItem();  // pictures released, EXIF entries gone, exposureValid 0
    propertyList->clear();
    exposureText->clear();
    const int side = PreviewSide();
    update(0, 0, side, side);
}

void CDlgBarPreView::OnMagnify() {
    if (previewPhoto.exposureValid == 1) {
        viewers.OpenViewer(previewPhoto.path);
    }
}

void CDlgBarPreView::SetAsk(AskFunction function) {
    ask = std::move(function);
}

std::unique_ptr<QMessageBox> CDlgBarPreView::MakeDeleteSelectionQuestion(size_t count, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Question, kestory::AppTitle(),
                                             QStringLiteral("選択した %1 枚の写真を削除しますか？").arg(count),
                                             QMessageBox::Yes | QMessageBox::No, parent);
    box->setDefaultButton(QMessageBox::Yes);
    return box;
}

void CDlgBarPreView::ShowSelection() {
    const CLumivaneDoc& doc = view.GetDocument();
    ShowPhoto(doc.FirstSelected());
    const size_t count = doc.SelectedCount();
    selectionText->setText(count > 1 ? QStringLiteral("%1 枚選択").arg(count) : QString());
    selectionText->setVisible(count > 1);
}

void CDlgBarPreView::OnDelete() {
    CLumivaneDoc& doc = view.GetDocument();
    if (const size_t count = doc.SelectedCount(); count > 1) {
        const std::unique_ptr<QMessageBox> question = MakeDeleteSelectionQuestion(count, this);
        if (ask(*question) != QMessageBox::Yes) {
            return;
        }
        doc.RemoveSelectedPhotos();
        ClearPhoto();
        view.InvalidateChart();
        return;
    }
    if (doc.RemovePhoto(selectedPhoto) == 1) {
        ClearPhoto();
        view.InvalidateChart();
    }
}

void CDlgBarPreView::paintEvent(QPaintEvent*) {
    const int side = PreviewSide();
    QPainter painter(this);
    painter.fillRect(0, 0, side, side, palette().color(QPalette::Button));
    if (previewPhoto.exposureValid != 1) {
        return;
    }
    {
        QtCanvas canvas(painter, false);
        DrawPicture(PreviewPictureRect(), previewPhoto.displayImage, canvas);
    }
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    painter.drawText(QRect(0, 0, side, side), Qt::AlignHCenter | Qt::AlignBottom | Qt::TextSingleLine,
                     FileName(previewPhoto.path));
}
