#pragma once

#include "chart/HistogramRender.h"
#include "collection/StatBins.h"

#include <QWidget>

#include <cstdint>

class CLumivaneView;
class Notifier;
class QComboBox;
class QPushButton;
class ShellDialogs;

// The statistics panel (統計パネル): a bar chart of the photos the filter lets through, binned by
// the chosen value, with the rectangle selection's counts over the bars. A click on a bar filters
// the chart to its bin (Shift-click adds the bin); "CSV 保存..." and "画像として保存..." write the
// bins and the picture. The document holds the filter; the panel only counts and shows.
class CDlgBarStatistics : public QWidget {
    Q_OBJECT

public:
    CDlgBarStatistics(CLumivaneView& view, ShellDialogs& dialogs, Notifier& notifier, QWidget* parent = nullptr);
    ~CDlgBarStatistics() override;

    QComboBox* ValueBox() const { return valueBox; }
    QWidget* ChartArea() const { return chartArea; }
    QPushButton* CsvButton() const { return csvButton; }
    QPushButton* ImageButton() const { return imageButton; }
    const StatHistogram& Histogram() const { return histogram; }
    const HistogramLayout& Layout() const { return layout; }

public slots:
    // Counts again and repaints: after the photos, the filter or the selection changed. A hidden
    // panel counts when it is shown.
    void Recount();
    void OnSaveCsv();
    void OnSaveImage();

protected:
    void showEvent(QShowEvent* event) override;
    // The chart area's paint, clicks and tool tips.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    StatValue Value() const;
    std::vector<bool> SelectionFlags() const;
    void ClickBin(int index, bool add);

    CLumivaneView& view;
    ShellDialogs& dialogs;
    Notifier& notifier;
    QComboBox* valueBox = nullptr;
    QWidget* chartArea = nullptr;
    QPushButton* csvButton = nullptr;
    QPushButton* imageButton = nullptr;
    StatHistogram histogram;
    HistogramLayout layout;
};
