#pragma once

#include "chart/CLumivaneView.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class CDlgBarPreView;
class CachePanel;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QMessageBox;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSpinBox;

// The display-settings panel: thumbnails, marks or density, the marks' colour, picture size, magnification and the ISO speed
// the EV lines are numbered for, "画像の全削除" and "初期設定", and below them the thumbnail
// cache's part (CachePanel), which the panel is as much higher as. The document holds every value;
// the controls only show them. Each change goes into the document at once and the chart is laid
// out, sized and repainted as far as the change needs.
class CDlgBarControl : public QWidget {
    Q_OBJECT

public:
    // Runs the question and returns the button pressed (QMessageBox::StandardButton).
    using AskFunction = std::function<int(QMessageBox& question)>;

    static constexpr int kSizePictMin = 10;
    static constexpr int kSizePictMax = 120;
    static constexpr int kMagnifyMin = CLumivaneView::kMagnifyMin;  // the wheel zoom's range too
    static constexpr int kMagnifyMax = CLumivaneView::kMagnifyMax;
    static constexpr int kMagnifyLineStep = 5;  // an arrow of the bar, and the first window's steps

    // The view's document holds the settings and the photos.
    explicit CDlgBarControl(CLumivaneView& view, QWidget* parent = nullptr);
    ~CDlgBarControl() override;

    // Once the display settings are in the document: the controls show them, the chart is laid
    // out and sized for them, the ISO list is filled and the EV lines numbered.
    void InitControls();
    // The panel whose selection ends when all photos are deleted; may stay unset.
    void SetInfoPanel(CDlgBarPreView* panel);
    // How "画像の全削除" asks; by default the box is run modally.
    void SetAsk(AskFunction ask);

    // The Yes/No question of "画像の全削除", not yet shown.
    static std::unique_ptr<QMessageBox> MakeDeleteAllQuestion(QWidget* parent);

    QRadioButton* ThumbnailButton() const { return thumbnailButton; }
    QRadioButton* MarkButton() const { return markButton; }
    QRadioButton* DensityButton() const { return densityButton; }
    // "マークの色": 赤, ISO 感度, 焦点距離, 機種, 撮影時刻 at the positions of markColour; enabled in
    // mark view only.
    QComboBox* MarkColourList() const { return markColourList; }
    QScrollBar* SizeBar() const { return sizeBar; }
    QScrollBar* MagnifyBar() const { return magnifyBar; }
    // The numbers beside the bars, which can be typed too.
    QSpinBox* SizeText() const { return sizeText; }
    QSpinBox* MagnifyText() const { return magnifyText; }
    QComboBox* IsoList() const { return isoList; }
    QPushButton* DeleteAllButton() const { return deleteAllButton; }
    QPushButton* InitialSettingsButton() const { return initialButton; }
    CachePanel* CachePart() const { return cachePart; }
    // "埋め込みサムネイルを使う": DisplaySettings::useEmbedded.
    QCheckBox* EmbeddedBox() const { return embeddedBox; }

signals:
    // The user turned embedded pictures on or off; the chart is already being made again.
    void useEmbeddedChanged(bool on);

public slots:
    // The magnification the wheel zoom has already set: the bar and its number follow; nothing
    // is laid out again.
    void SetMagnify(int magnify);

    void OnThumbnails();
    void OnMarks();
    void OnDensity();
    void OnMarkColourChosen(int index);
    void OnIsoChosen(int index);
    void OnDeleteAll();
    void OnInitialSettings();
    void OnUseEmbedded(bool on);

private:
    void OnSizeChanged(int value);
    void OnMagnifyChanged(int value);
    // The radio button of the view type checked, and the colour list usable in mark view only.
    void ShowViewType(int32_t viewType);
    // Positions a bar without running its change handler.
    static void SetBarQuietly(QScrollBar* bar, int value);
    // The number beside a bar, without running the bar's handler again.
    static void ShowNumber(QSpinBox* box, int value);

    CLumivaneView& view;
    QPointer<CDlgBarPreView> infoPanel;
    AskFunction ask;
    QButtonGroup* viewTypeGroup = nullptr;
    QRadioButton* thumbnailButton = nullptr;
    QRadioButton* markButton = nullptr;
    QRadioButton* densityButton = nullptr;
    QCheckBox* embeddedBox = nullptr;
    QComboBox* markColourList = nullptr;
    QScrollBar* sizeBar = nullptr;
    QScrollBar* magnifyBar = nullptr;
    QSpinBox* sizeText = nullptr;
    QSpinBox* magnifyText = nullptr;
    QComboBox* isoList = nullptr;
    QPushButton* deleteAllButton = nullptr;
    QPushButton* initialButton = nullptr;
    CachePanel* cachePart = nullptr;
};
