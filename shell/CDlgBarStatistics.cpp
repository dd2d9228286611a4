#include "shell/CDlgBarStatistics.h"

#include "chart/CLumivaneView.h"
#include "chart/HistogramImage.h"
#include "chart/QtCanvas.h"
#include "collection/CLumivaneDoc.h"
#include "collection/ImportTexts.h"
#include "collection/Notifier.h"
#include "collection/OutputFile.h"
#include "dialog/DialogUnits.h"
#include "shell/ShellDialogs.h"

#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QToolTip>
#include <QVBoxLayout>

#include <string>

namespace {

constexpr const char* kImageSaveFailed = "画像ファイルの保存に失敗しました。";

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CDlgBarStatistics::CDlgBarStatistics(CLumivaneView& chartView, ShellDialogs& shellDialogs, Notifier& messages,
                                     QWidget* parent)
    : QWidget(parent), view(chartView), dialogs(shellDialogs), notifier(messages) {
    setObjectName(QStringLiteral("statisticsPanel"));
    setFont(kestory::DialogFont(font()));

    valueBox = new QComboBox(this);
    valueBox->setObjectName(QStringLiteral("statisticsValue"));
    for (size_t value = 0; value < kStatValueCount; ++value) {
        valueBox->addItem(Utf8(StatValueTitle(static_cast<StatValue>(value))));
    }
    chartArea = new QWidget(this);
    chartArea->setObjectName(QStringLiteral("statisticsChart"));
    chartArea->setFixedSize(kStatisticsChartSize.width, kStatisticsChartSize.height);
    chartArea->setMouseTracking(true);
    chartArea->installEventFilter(this);
    csvButton = new QPushButton(QStringLiteral("CSV 保存..."), this);
    imageButton = new QPushButton(QStringLiteral("画像として保存..."), this);

    auto* layoutBox = new QVBoxLayout(this);
    layoutBox->setContentsMargins(4, 4, 4, 4);
    layoutBox->addWidget(valueBox);
    layoutBox->addWidget(chartArea);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(csvButton);
    buttons->addWidget(imageButton);
    layoutBox->addLayout(buttons);
    layoutBox->addStretch(1);

    connect(valueBox, &QComboBox::currentIndexChanged, this, &CDlgBarStatistics::Recount);
    connect(csvButton, &QPushButton::clicked, this, &CDlgBarStatistics::OnSaveCsv);
    connect(imageButton, &QPushButton::clicked, this, &CDlgBarStatistics::OnSaveImage);
    // Imports, deletions and filter changes all end in a repaint request of the chart.
    connect(&view, &CLumivaneView::chartInvalidated, this, &CDlgBarStatistics::Recount);
    connect(&view, &CLumivaneView::selectionChanged, this, &CDlgBarStatistics::Recount);
}

CDlgBarStatistics::~CDlgBarStatistics() = default;

StatValue CDlgBarStatistics::Value() const {
    return static_cast<StatValue>(std::max(0, valueBox->currentIndex()));
}

std::vector<bool> CDlgBarStatistics::SelectionFlags() const {
    const CLumivaneDoc& doc = view.GetDocument();
    std::vector<bool> flags;
    if (doc.SelectedCount() == 0) {
        return flags;
    }
    flags.resize(doc.GetCount());
    for (size_t i = 0; i < doc.GetCount(); ++i) {
        flags[i] = doc.IsSelected(&doc.GetAt(i));
    }
    return flags;
}

void CDlgBarStatistics::Recount() {
    if (!isVisible()) {
        return;
    }
    const CLumivaneDoc& doc = view.GetDocument();
    histogram = CountStatBins(doc.PhotoFilterKeys(), doc.Filter(), Value(), SelectionFlags());
    layout = LayOutHistogram(histogram, {chartArea->width(), chartArea->height()});
    chartArea->update();
}

void CDlgBarStatistics::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Recount();
}

void CDlgBarStatistics::ClickBin(int index, bool add) {
    if (index < 0 || static_cast<size_t>(index) >= histogram.bins.size()) {
        return;
    }
    CLumivaneDoc& doc = view.GetDocument();
    doc.SetFilter(WithStatBin(doc.Filter(), Value(), histogram.bins[static_cast<size_t>(index)], add));
    // The filter panel and this panel follow the repaint request.
    view.InvalidateChart();
}

bool CDlgBarStatistics::eventFilter(QObject* watched, QEvent* event) {
    if (watched != chartArea) {
        return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::Paint: {
        QPainter painter(chartArea);
        QtCanvas canvas(painter, false);
        PaintHistogram(canvas, histogram, layout);
        return true;
    }
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            const QPoint at = mouse->position().toPoint();
            ClickBin(HistogramBinAt(layout, at.x(), at.y()), (mouse->modifiers() & Qt::ShiftModifier) != 0);
            return true;
        }
        break;
    }
    case QEvent::ToolTip: {
        const auto* help = static_cast<QHelpEvent*>(event);
        const int index = HistogramBinAt(layout, help->pos().x(), help->pos().y());
        if (index < 0) {
            QToolTip::hideText();
        } else {
            const StatBin& bin = histogram.bins[static_cast<size_t>(index)];
            QToolTip::showText(help->globalPos(),
                               QStringLiteral("%1: %2 枚 (%3)")
                                   .arg(QString::fromStdString(bin.label))
                                   .arg(bin.count)
                                   .arg(QString::fromStdString(StatShareText(bin.count, histogram.total))),
                               chartArea);
        }
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void CDlgBarStatistics::OnSaveCsv() {
    const QString path = dialogs.ChooseSaveFile(this, QStringLiteral("CSV 保存"), QStringLiteral("CSV ファイル (*.csv)"));
    if (path.isEmpty()) {
        return;
    }
    // Every name a line of its own, not lumped as the bars are.
    const CLumivaneDoc& doc = view.GetDocument();
    const StatHistogram all = CountStatBins(doc.PhotoFilterKeys(), doc.Filter(), Value(), {}, 0);
    if (WriteStatCsv(all, QFile::encodeName(path).toStdString()) == 0) {
        notifier.Notify(std::string(kestory::texts::kCsvSaveFailed), Notifier::Icon::Warning);
    }
}

void CDlgBarStatistics::OnSaveImage() {
    const QString path = dialogs.ChooseSaveFile(this, QStringLiteral("画像として保存"),
                                                QStringLiteral("PNG 画像 (*.png);;SVG 画像 (*.svg)"));
    if (path.isEmpty()) {
        return;
    }
    const bool svg = path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive);
    const QByteArray bytes = svg ? RenderHistogramSvg(histogram, chartArea->size())
                                 : PngBytes(RenderHistogramImage(histogram, chartArea->size()));
    if (bytes.isEmpty() ||
        WriteOutputFile(QFile::encodeName(path).toStdString(), std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())))
                .result != 1) {
        notifier.Notify(kImageSaveFailed, Notifier::Icon::Warning);
    }
}
