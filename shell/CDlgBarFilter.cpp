#include "shell/CDlgBarFilter.h"

#include "chart/CLumivaneView.h"
#include "collection/CLumivaneDoc.h"
#include "collection/StatBins.h"
#include "dialog/DialogUnits.h"
#include "shell/FilterDateEdit.h"
#include "shell/NumberBox.h"

#include <QCheckBox>
#include <QDate>
#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSpinBox>

#include <string>

namespace {

constexpr int kPanelWidth = 237;  // pixels, as the other two panels
constexpr int kIsoStep = 100;
const QDate& kNoDate = FilterDateEdit::kNone;

const char* const kListTitles[kFilterListCount] = {"機種", "レンズ", "焦点距離"};

QString EntryText(size_t list, const FilterValueCount& entry) {
    QString value = QString::fromStdString(entry.value);
    if (entry.value.empty()) {
        value = QStringLiteral("（なし）");
    } else if (list == kFilterFocal) {
        value += QStringLiteral(" mm");
    }
    return QStringLiteral("%1 (%2)").arg(value).arg(entry.count);
}

std::optional<int32_t> IsoBound(const QSpinBox* box) {
    return box->value() > 0 ? std::optional<int32_t>(box->value()) : std::nullopt;
}

std::optional<int32_t> DateBound(const QDateEdit* edit) {
    const QDate date = edit->date();
    if (date <= kNoDate) {
        return std::nullopt;
    }
    return DateNumber(date.year(), date.month(), date.day());
}

QDate ToDate(const std::optional<int32_t>& number) {
    return number ? QDate(*number / 10000, *number / 100 % 100, *number % 100) : kNoDate;
}

QSpinBox* IsoBox(QWidget* parent) {
    auto* box = new NumberBox(0, CDlgBarFilter::kIsoMax, parent);
    box->setSingleStep(kIsoStep);
    box->setSpecialValueText(QStringLiteral("指定なし"));
    return box;
}

}  // namespace

CDlgBarFilter::CDlgBarFilter(CLumivaneView& chartView, QWidget* parent) : QWidget(parent), view(chartView) {
    setObjectName(QStringLiteral("filterPanel"));
    setFont(kestory::DialogFont(font()));
    setFixedWidth(kPanelWidth);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setVerticalSpacing(2);
    int row = 0;
    // Three columns: a range's start, "〜", its end; titles and lists span all three.
    focal35Box = new QCheckBox(QStringLiteral("35mm 換算"), this);
    for (size_t list = 0; list < kFilterListCount; ++list) {
        layout->addWidget(new QLabel(QString::fromUtf8(kListTitles[list]), this), row, 0, 1, list == kFilterFocal ? 1 : 3);
        if (list == kFilterFocal) {
            layout->addWidget(focal35Box, row, 1, 1, 2);
        }
        ++row;
        lists[list] = new QListWidget(this);
        lists[list]->setObjectName(QStringLiteral("filterList%1").arg(list));
        lists[list]->setSelectionMode(QAbstractItemView::NoSelection);
        layout->addWidget(lists[list], row++, 0, 1, 3);
        layout->setRowStretch(row - 1, 1);
        connect(lists[list], &QListWidget::itemChanged, this, &CDlgBarFilter::ApplyControls);
    }

    isoFrom = IsoBox(this);
    isoTo = IsoBox(this);
    dateFrom = new FilterDateEdit(this);
    dateTo = new FilterDateEdit(this);
    const auto addRange = [&](const QString& title, QWidget* from, QWidget* to) {
        layout->addWidget(new QLabel(title, this), row++, 0, 1, 3);
        layout->addWidget(from, row, 0);
        layout->addWidget(new QLabel(QStringLiteral("〜"), this), row, 1);
        layout->addWidget(to, row++, 2);
    };
    addRange(QStringLiteral("ISO 感度"), isoFrom, isoTo);
    addRange(QStringLiteral("撮影日"), dateFrom, dateTo);
    undatedBox = new QCheckBox(this);
    undatedBox->setChecked(true);
    layout->addWidget(undatedBox, row++, 0, 1, 3);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(2, 1);
    for (QSpinBox* box : {isoFrom, isoTo}) {
        connect(box, &QSpinBox::valueChanged, this, &CDlgBarFilter::ApplyControls);
    }
    for (FilterDateEdit* edit : {dateFrom, dateTo}) {
        connect(edit, &QDateEdit::dateChanged, this, &CDlgBarFilter::ApplyControls);
        // A date typed over the one an edit started from changes nothing the edit reports.
        connect(edit, &QDateEdit::editingFinished, this, [this] {
            if (!(FilterFromControls() == view.GetDocument().Filter())) {
                ApplyControls();
            }
        });
    }
    connect(undatedBox, &QCheckBox::toggled, this, &CDlgBarFilter::ApplyControls);

    // The choice changes what the focal list holds: its checks no longer name values in it.
    connect(focal35Box, &QCheckBox::toggled, this, [this] {
        const QSignalBlocker quiet(lists[kFilterFocal]);
        for (int i = 0; i < lists[kFilterFocal]->count(); ++i) {
            lists[kFilterFocal]->item(i)->setCheckState(Qt::Unchecked);
        }
        ApplyControls();
    });
    statBinsText = new QLabel(this);
    statBinsText->setObjectName(QStringLiteral("filterStatBins"));
    statBinsText->setWordWrap(true);
    statBinsText->hide();
    layout->addWidget(statBinsText, row++, 0, 1, 3);

    statusText = new QLabel(this);
    statusText->setObjectName(QStringLiteral("filterStatus"));
    showAllButton = new QPushButton(QStringLiteral("すべて表示"), this);
    layout->addWidget(statusText, row, 0);
    layout->addWidget(showAllButton, row, 1, 1, 2);
    connect(showAllButton, &QPushButton::clicked, this, &CDlgBarFilter::OnShowAll);

    // Every change of photos ends in a repaint request of the chart: imports, deletions, and the
    // filter cleared with 画像の全削除.
    connect(&view, &CLumivaneView::chartInvalidated, this, &CDlgBarFilter::SyncWithDocument);
    SyncWithDocument();
}

CDlgBarFilter::~CDlgBarFilter() = default;

void CDlgBarFilter::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    SyncWithDocument();
}

void CDlgBarFilter::SyncWithDocument() {
    const CLumivaneDoc& doc = view.GetDocument();
    if (doc.PhotoSetVersion() == shownVersion && doc.Filter() == shownFilter) {
        return;
    }
    // A hidden panel catches up when it is shown.
    if (!isVisible() && shownVersion != UINT64_MAX) {
        return;
    }
    if (!(doc.Filter() == shownFilter)) {
        ShowFilter(doc.Filter());
    }
    ShowCounts();
}

PhotoFilter CDlgBarFilter::FilterFromControls() const {
    PhotoFilter filter;
    for (size_t list = 0; list < kFilterListCount; ++list) {
        for (int i = 0; i < lists[list]->count(); ++i) {
            const QListWidgetItem* item = lists[list]->item(i);
            if (item->checkState() == Qt::Checked) {
                filter.chosen[list].insert(item->data(Qt::UserRole).toString().toStdString());
            }
        }
    }
    filter.iso = {IsoBound(isoFrom), IsoBound(isoTo)};
    filter.dates = {DateBound(dateFrom), DateBound(dateTo)};
    filter.undated = undatedBox->isChecked();
    filter.focal35 = focal35Box->isChecked();
    // Set by the statistics panel's bars; only すべて表示 clears it here.
    filter.statBins = shownFilter.statBins;
    return filter;
}

void CDlgBarFilter::ApplyControls() {
    CLumivaneDoc& doc = view.GetDocument();
    doc.SetFilter(FilterFromControls());
    shownFilter = doc.Filter();
    ShowCounts();
    view.InvalidateChart();
}

void CDlgBarFilter::OnShowAll() {
    CLumivaneDoc& doc = view.GetDocument();
    doc.SetFilter(PhotoFilter());
    ShowFilter(doc.Filter());
    ShowCounts();
    view.InvalidateChart();
}

void CDlgBarFilter::ShowFilter(const PhotoFilter& filter) {
    // The lists' checks follow in ShowCounts, which rebuilds their entries.
    shownFilter = filter;
    const QSignalBlocker quietIsoFrom(isoFrom);
    const QSignalBlocker quietIsoTo(isoTo);
    const QSignalBlocker quietDateFrom(dateFrom);
    const QSignalBlocker quietDateTo(dateTo);
    const QSignalBlocker quietUndated(undatedBox);
    const QSignalBlocker quietFocal35(focal35Box);
    focal35Box->setChecked(filter.focal35);
    const std::string bins = StatBinFilterText(filter.statBins);
    statBinsText->setText(QStringLiteral("統計: %1").arg(QString::fromStdString(bins)));
    statBinsText->setVisible(!bins.empty());
    isoFrom->setValue(filter.iso.min.value_or(0));
    isoTo->setValue(filter.iso.max.value_or(0));
    dateFrom->setDate(ToDate(filter.dates.min));
    dateTo->setDate(ToDate(filter.dates.max));
    undatedBox->setChecked(filter.undated);
}

void CDlgBarFilter::ShowCounts() {
    const CLumivaneDoc& doc = view.GetDocument();
    const FilterCounts counts = doc.CountFilterValues();
    shownVersion = doc.PhotoSetVersion();
    dateFrom->SetHint(ToDate(counts.firstDate != 0 ? std::optional<int32_t>(counts.firstDate) : std::nullopt));
    dateTo->SetHint(ToDate(counts.lastDate != 0 ? std::optional<int32_t>(counts.lastDate) : std::nullopt));
    for (size_t list = 0; list < kFilterListCount; ++list) {
        QListWidget* widget = lists[list];
        const std::vector<FilterValueCount>& entries = counts.lists[list];
        const QSignalBlocker quiet(widget);
        // The same entries in the same order: only their counts and checks change, and the list
        // keeps its scroll position.
        bool same = widget->count() == static_cast<int>(entries.size());
        for (int i = 0; same && i < widget->count(); ++i) {
            same = widget->item(i)->data(Qt::UserRole).toString().toStdString() == entries[static_cast<size_t>(i)].value;
        }
        if (!same) {
            widget->clear();
            for (const FilterValueCount& entry : entries) {
                auto* item = new QListWidgetItem(widget);
                item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
                item->setData(Qt::UserRole, QString::fromStdString(entry.value));
            }
        }
        for (int i = 0; i < widget->count(); ++i) {
            const FilterValueCount& entry = entries[static_cast<size_t>(i)];
            QListWidgetItem* item = widget->item(i);
            item->setText(EntryText(list, entry));
            item->setCheckState(shownFilter.chosen[list].count(entry.value) != 0 ? Qt::Checked : Qt::Unchecked);
        }
    }
    {
        const QSignalBlocker quiet(undatedBox);
        undatedBox->setText(QStringLiteral("日付なし (%1)").arg(counts.undated));
    }
    statusText->setText(QStringLiteral("%1 / %2 枚").arg(counts.shown).arg(counts.total));
}
