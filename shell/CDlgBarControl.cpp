#include "shell/CDlgBarControl.h"

#include "chart/CLumivaneView.h"
#include "chart/ChartGeometry.h"
#include "chart/IsoSpeed.h"
#include "collection/CLumivaneDoc.h"
#include "inspect/CDlgBarPreView.h"
#include "shell/CachePanel.h"
#include "dialog/AppTitle.h"
#include "dialog/DialogUnits.h"
#include "dialog/SunkenText.h"
#include "shell/NumberBox.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>

using kestory::DluRect;
using kestory::SunkenText;

namespace {

constexpr int kSizeLineStep = 1;
// The row of "埋め込みサムネイルを使う" under the template, in dialog units.
constexpr int kEmbeddedRowDlu = 12;
constexpr int kSizePageStep = 4;
constexpr int kMagnifyPageStep = 20;
constexpr int kInitialMagnify = 100;
constexpr int kInitialSizePict = 40;
constexpr int kInitialIsoIndex = 1;

QScrollBar* Bar(int minimum, int maximum, int line, int page, const QRect& rect, QWidget* parent) {
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setRange(minimum, maximum);
    bar->setSingleStep(line);
    bar->setPageStep(page);
    bar->setGeometry(rect);
    return bar;
}

// The number beside a bar, in the place and look of the template's sunken static text; a number
// typed there moves the bar, which does the rest.
QSpinBox* BarNumber(QScrollBar* bar, const QRect& rect, QWidget* parent) {
    auto* box = new NumberBox(bar->minimum(), bar->maximum(), parent);
    box->setSingleStep(bar->singleStep());
    box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    box->setAlignment(Qt::AlignCenter);
    box->setGeometry(rect);
    QObject::connect(box, &QSpinBox::valueChanged, bar, &QScrollBar::setValue);
    return box;
}

}  // namespace

CDlgBarControl::CDlgBarControl(CLumivaneView& chartView, QWidget* parent)
    : QWidget(parent), view(chartView), ask([](QMessageBox& box) { return box.exec(); }) {
    setObjectName(QStringLiteral("controlPanel"));
    setFixedSize(kestory::SettingsPanelSize());
    // The template's dialog units are those of an 8-point font; with a larger desktop font the
    // texts would not fit their boxes.
    setFont(kestory::DialogFont(font()));

    // The label is narrower than the others of its column, so that three buttons fit beside it.
    SunkenText(QStringLiteral("画像表示"), DluRect(2, 4, 46, 13), this);
    thumbnailButton = new QRadioButton(QStringLiteral("画像"), this);
    markButton = new QRadioButton(QStringLiteral("マーク"), this);
    densityButton = new QRadioButton(QStringLiteral("密度"), this);
    // Each button as wide as its indicator and full-width characters ask in the style, a few
    // pixels apart: the template's 32 units are too narrow for them in a Qt style.
    int left = kestory::DluX(49);
    const QRect row = DluRect(0, 4, 0, 13);
    for (QRadioButton* button : {thumbnailButton, markButton, densityButton}) {
        const int width = button->sizeHint().width();
        button->setGeometry(left, row.y(), width, row.height());
        left += width + 3;
    }
    viewTypeGroup = new QButtonGroup(this);
    viewTypeGroup->addButton(thumbnailButton, DisplaySettings::kViewThumbnails);
    viewTypeGroup->addButton(markButton, DisplaySettings::kViewMarks);
    viewTypeGroup->addButton(densityButton, DisplaySettings::kViewDensity);
    // clicked, not toggled: only the user's choice is a change of the setting.
    connect(thumbnailButton, &QRadioButton::clicked, this, &CDlgBarControl::OnThumbnails);
    connect(markButton, &QRadioButton::clicked, this, &CDlgBarControl::OnMarks);
    connect(densityButton, &QRadioButton::clicked, this, &CDlgBarControl::OnDensity);

    SunkenText(QStringLiteral("画像サイズ"), DluRect(2, 20, 55, 13), this);
    sizeBar = Bar(kSizePictMin, kSizePictMax, kSizeLineStep, kSizePageStep, DluRect(60, 21, 68, 11), this);
    sizeText = BarNumber(sizeBar, DluRect(131, 20, 23, 13), this);

    SunkenText(QStringLiteral("拡大・縮小"), DluRect(2, 37, 55, 13), this);
    magnifyBar = Bar(kMagnifyMin, kMagnifyMax, CDlgBarControl::kMagnifyLineStep, kMagnifyPageStep, DluRect(60, 38, 68, 11), this);
    magnifyText = BarNumber(magnifyBar, DluRect(131, 38, 23, 13), this);
    // valueChanged comes only when the position really moves, so an arrow pressed at the end of
    // the range lays nothing out; with tracking on it comes for every step of a drag.
    connect(sizeBar, &QScrollBar::valueChanged, this, &CDlgBarControl::OnSizeChanged);
    connect(magnifyBar, &QScrollBar::valueChanged, this, &CDlgBarControl::OnMagnifyChanged);
    for (QScrollBar* bar : {sizeBar, magnifyBar}) {
        // The far ends are no step of these bars: Qt's menu offers them (左端/右端にスクロール), so
        // there is no menu, and a jump there from anywhere else is taken back before it is a value.
        bar->setContextMenuPolicy(Qt::PreventContextMenu);
        connect(bar, &QAbstractSlider::actionTriggered, bar, [bar](int action) {
            if (action == QAbstractSlider::SliderToMinimum || action == QAbstractSlider::SliderToMaximum) {
                bar->setSliderPosition(bar->value());
            }
        });
    }

    SunkenText(QStringLiteral("感度補正ＥＶ値"), DluRect(2, 53, 55, 13), this);
    isoList = new QComboBox(this);
    isoList->setEditable(false);
    const QRect isoBox = DluRect(60, 53, 95, 13);
    // The template's height includes the drop-down; the closed box is one line, up to the buttons.
    isoList->setGeometry(isoBox.x(), isoBox.y(), isoBox.width(),
                         std::min(isoList->sizeHint().height(), kestory::DluY(69 - 53) - 2));
    connect(isoList, &QComboBox::activated, this, &CDlgBarControl::OnIsoChosen);

    SunkenText(QStringLiteral("マークの色"), DluRect(2, 69, 55, 13), this);
    markColourList = new QComboBox(this);
    markColourList->setEditable(false);
    // In the order of DisplaySettings::kMarkRed ... kMarkByTimeOfDay.
    markColourList->addItems({QStringLiteral("赤"), QStringLiteral("ISO 感度"), QStringLiteral("焦点距離"),
                              QStringLiteral("機種"), QStringLiteral("撮影時刻")});
    const QRect colourBox = DluRect(60, 69, 95, 13);
    markColourList->setGeometry(colourBox.x(), colourBox.y(), colourBox.width(),
                                std::min(markColourList->sizeHint().height(), kestory::DluY(85 - 69) - 2));
    connect(markColourList, &QComboBox::activated, this, &CDlgBarControl::OnMarkColourChosen);

    deleteAllButton = new QPushButton(QStringLiteral("画像の全削除"), this);
    deleteAllButton->setGeometry(DluRect(2, 85, 66, 14));
    connect(deleteAllButton, &QPushButton::clicked, this, &CDlgBarControl::OnDeleteAll);
    initialButton = new QPushButton(QStringLiteral("初期設定"), this);
    initialButton->setGeometry(DluRect(70, 85, 66, 14));
    connect(initialButton, &QPushButton::clicked, this, &CDlgBarControl::OnInitialSettings);

    // Below the template's rows: the pictures' source, then the cache's part; the panel grows
    // with the part when the part shows a message.
    const int embeddedRow = kestory::DluY(kEmbeddedRowDlu);
    embeddedBox = new QCheckBox(QStringLiteral("埋め込みサムネイルを使う"), this);
    embeddedBox->setToolTip(QStringLiteral("写真が持つ小さな絵から画像を作ります。"
                                           "大きく表示するときは写真を復号して置き換えます。"));
    embeddedBox->setGeometry(kestory::DluX(4), kestory::SettingsPanelSize().height(),
                             kestory::SettingsPanelSize().width() - kestory::DluX(8), embeddedRow);
    connect(embeddedBox, &QCheckBox::toggled, this, &CDlgBarControl::OnUseEmbedded);
    cachePart = new CachePanel(this);
    cachePart->move(0, kestory::SettingsPanelSize().height() + embeddedRow);
    const auto fitPart = [this, embeddedRow] {
        setFixedSize(kestory::SettingsPanelSize() + QSize(0, embeddedRow + cachePart->height()));
    };
    fitPart();
    connect(cachePart, &CachePanel::heightChanged, this, fitPart);
}

CDlgBarControl::~CDlgBarControl() = default;

void CDlgBarControl::SetBarQuietly(QScrollBar* bar, int value) {
    const QSignalBlocker quiet(bar);
    bar->setValue(value);
}

void CDlgBarControl::ShowNumber(QSpinBox* box, int value) {
    const QSignalBlocker quiet(box);
    box->setValue(value);
}

void CDlgBarControl::InitControls() {
    DisplaySettings& settings = view.GetDocument().settings;
    {
        const QSignalBlocker quiet(embeddedBox);
        embeddedBox->setChecked(settings.useEmbedded);
    }
    ShowViewType(settings.viewType);
    {
        const QSignalBlocker quiet(markColourList);
        markColourList->setCurrentIndex(settings.markColour);
    }

    // The bars keep their positions within their ranges; the document takes what they show.
    SetBarQuietly(sizeBar, settings.sizePict);
    settings.sizePict = sizeBar->value();
    ShowNumber(sizeText, settings.sizePict);
    SetBarQuietly(magnifyBar, settings.magnify);
    settings.magnify = magnifyBar->value();
    ShowNumber(magnifyText, settings.magnify);

    view.LayoutPhotos();
    view.UpdateScrollSizes();
    view.InvalidateChart();

    {
        const QSignalBlocker quiet(isoList);
        isoList->clear();
        for (int i = 0; i < static_cast<int>(IsoSpeedTable.size()); ++i) {
            isoList->addItem(QString::fromStdString(FormatIsoItem(i)));
        }
        isoList->setCurrentIndex(ClampIsoIndex(settings.isoIndex));
    }
    ApplyIsoIndex(settings, isoList->currentIndex());
    view.InvalidateChart();
}

void CDlgBarControl::SetInfoPanel(CDlgBarPreView* panel) {
    infoPanel = panel;
}

void CDlgBarControl::SetAsk(AskFunction function) {
    ask = std::move(function);
}

std::unique_ptr<QMessageBox> CDlgBarControl::MakeDeleteAllQuestion(QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Question, kestory::AppTitle(),
                                             QStringLiteral("全ての画像を削除しますか？"),
                                             QMessageBox::Yes | QMessageBox::No, parent);
    box->setDefaultButton(QMessageBox::Yes);
    return box;
}

void CDlgBarControl::SetMagnify(int magnify) {
    SetBarQuietly(magnifyBar, magnify);
    ShowNumber(magnifyText, magnifyBar->value());
}

void CDlgBarControl::OnUseEmbedded(bool on) {
    view.GetDocument().settings.useEmbedded = on;
    // Every display picture made again: from embedded pictures where they serve, and those drawn
    // from one while it is off are decoded in the background.
    view.LayoutPhotos();
    view.InvalidateChart();
    emit useEmbeddedChanged(on);
}

void CDlgBarControl::OnSizeChanged(int value) {
    view.GetDocument().settings.sizePict = value;
    view.LayoutPhotos();
    view.InvalidateChart();
    ShowNumber(sizeText, value);
}

void CDlgBarControl::OnMagnifyChanged(int value) {
    view.GetDocument().settings.magnify = value;
    view.LayoutPhotos();
    view.UpdateScrollSizes();
    view.InvalidateChart();
    ShowNumber(magnifyText, value);
}

void CDlgBarControl::ShowViewType(int32_t viewType) {
    QAbstractButton* button = viewTypeGroup->button(viewType);
    (button != nullptr ? button : thumbnailButton)->setChecked(true);
    markColourList->setEnabled(viewType == DisplaySettings::kViewMarks);
}

void CDlgBarControl::OnThumbnails() {
    view.GetDocument().settings.viewType = DisplaySettings::kViewThumbnails;
    ShowViewType(DisplaySettings::kViewThumbnails);
    view.InvalidateChart();
}

void CDlgBarControl::OnMarks() {
    view.GetDocument().settings.viewType = DisplaySettings::kViewMarks;
    ShowViewType(DisplaySettings::kViewMarks);
    // Marks draw no pictures; thumbnails make them again for what a paint shows.
    ReleaseDisplayPictures(view.GetDocument());
    view.InvalidateChart();
}

void CDlgBarControl::OnDensity() {
    view.GetDocument().settings.viewType = DisplaySettings::kViewDensity;
    ShowViewType(DisplaySettings::kViewDensity);
    ReleaseDisplayPictures(view.GetDocument());
    view.InvalidateChart();
}

void CDlgBarControl::OnMarkColourChosen(int index) {
    view.GetDocument().settings.markColour = index;
    view.InvalidateChart();
}

void CDlgBarControl::OnIsoChosen(int index) {
    ApplyIsoIndex(view.GetDocument().settings, index);
    view.InvalidateChart();
}

void CDlgBarControl::OnDeleteAll() {
    const std::unique_ptr<QMessageBox> question = MakeDeleteAllQuestion(this);
    if (ask(*question) != QMessageBox::Yes) {
        return;
    }
    view.GetDocument().RemoveAllPhotos();
    view.InvalidateChart();
    if (infoPanel) {
        infoPanel->ClearPhoto();
    }
}

void CDlgBarControl::OnInitialSettings() {
    DisplaySettings& settings = view.GetDocument().settings;
    settings.magnify = kInitialMagnify;
    settings.viewType = DisplaySettings::kViewThumbnails;
    settings.sizePict = kInitialSizePict;
    settings.isoIndex = kInitialIsoIndex;
    settings.markColour = DisplaySettings::kMarkRed;

    ShowViewType(DisplaySettings::kViewThumbnails);
    {
        const QSignalBlocker quiet(markColourList);
        markColourList->setCurrentIndex(DisplaySettings::kMarkRed);
    }
    SetBarQuietly(sizeBar, kInitialSizePict);
    ShowNumber(sizeText, kInitialSizePict);
    SetBarQuietly(magnifyBar, kInitialMagnify);
    ShowNumber(magnifyText, kInitialMagnify);

    view.LayoutPhotos();
    view.UpdateScrollSizes();

    {
        const QSignalBlocker quiet(isoList);
        isoList->setCurrentIndex(kInitialIsoIndex);
    }
    ApplyIsoIndex(settings, kInitialIsoIndex);
    view.InvalidateChart();
}
