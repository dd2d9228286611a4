#pragma once

#include "collection/PhotoFilter.h"
#include "shell/FilterDateEdit.h"

#include <QWidget>

#include <array>
#include <cstdint>

class CLumivaneView;
class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QShowEvent;
class QSpinBox;

// The filter panel (絞り込みパネル): which photos the chart, printing, the clipboard and the CSV
// file take. Lists of camera models, lenses and focal lengths with check boxes (nothing checked in
// a list: any), each entry followed by the number of photos it would show with the other criteria
// as they are; ISO and shooting-date ranges; "n / N 枚"; "すべて表示" clears every criterion.
// The document holds the filter; the controls only show it. Values are not kept between runs.
class CDlgBarFilter : public QWidget {
    Q_OBJECT

public:
    static constexpr int kIsoMax = 999999;

    explicit CDlgBarFilter(CLumivaneView& view, QWidget* parent = nullptr);
    ~CDlgBarFilter() override;

    QListWidget* List(FilterList list) const { return lists[list]; }
    QSpinBox* IsoFrom() const { return isoFrom; }
    QSpinBox* IsoTo() const { return isoTo; }
    FilterDateEdit* DateFrom() const { return dateFrom; }
    FilterDateEdit* DateTo() const { return dateTo; }
    QCheckBox* UndatedBox() const { return undatedBox; }
    QLabel* StatusText() const { return statusText; }
    QPushButton* ShowAllButton() const { return showAllButton; }
    // "35mm 換算": the focal list of 35 mm equivalents; the statistics panel's bars the chart keeps.
    QCheckBox* Focal35Box() const { return focal35Box; }
    QLabel* StatBinsText() const { return statBinsText; }

public slots:
    // The controls and counts follow the document: after photos came or went, or the filter was
    // cleared with them. Cheap when nothing changed.
    void SyncWithDocument();
    void OnShowAll();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The criteria the controls show, into the document; the chart repainted.
    void ApplyControls();
    PhotoFilter FilterFromControls() const;
    void ShowFilter(const PhotoFilter& filter);
    void ShowCounts();

    CLumivaneView& view;
    std::array<QListWidget*, kFilterListCount> lists{};
    QSpinBox* isoFrom = nullptr;
    QSpinBox* isoTo = nullptr;
    FilterDateEdit* dateFrom = nullptr;
    FilterDateEdit* dateTo = nullptr;
    QCheckBox* undatedBox = nullptr;
    QLabel* statusText = nullptr;
    QPushButton* showAllButton = nullptr;
    QCheckBox* focal35Box = nullptr;
    QLabel* statBinsText = nullptr;
    // What the panel last showed; another version or filter in the document means it is stale.
    uint64_t shownVersion = UINT64_MAX;
    PhotoFilter shownFilter;
};
