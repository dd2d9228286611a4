#include "shell/CDlgBarControl.h"

#include "chart/CLumivaneView.h"
#include "chart/ChartGeometry.h"
#include "chart/IsoSpeed.h"
#include "collection/CLumivaneDoc.h"
#include "inspect/CDlgBarPreView.h"
#include "shell/AppTitle.h"
#include "shell/DialogUnits.h"

#include <QButtonGroup>
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

namespace {

constexpr int kSizeLineStep = 1;
constexpr int kSizePageStep = 4;
constexpr int kMagnifyLineStep = 5;
constexpr int kMagnifyPageStep = 20;
constexpr int kInitialMagnify = 100;
constexpr int kInitialSizePict = 40;
constexpr int kInitialIsoIndex = 1;

// A static text centred both ways in a sunken box.
QLabel* SunkenText(const QString& text, const QRect& rect, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(1);
    label->setGeometry(rect);
    return label;
}

QScrollBar* Bar(int minimum, int maximum, int line, int page, const QRect& rect, QWidget* parent) {
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setRange(minimum, maximum);
    bar->setSingleStep(line);
    bar->setPageStep(page);
    bar->setGeometry(rect);
    return bar;
}

}  // namespace

CDlgBarControl::CDlgBarControl(CLumivaneView& chartView, QWidget* parent)
    : QWidget(parent), view(chartView), ask([](QMessageBox& box) { return box.exec(); }) {
    setObjectName(QStringLiteral("controlPanel"));
    setFixedSize(kestory::SettingsPanelSize());
    // The template's dialog units are those of an 8-point font; with a larger desktop font the
    // texts would not fit their boxes.
    setFont(kestory::DialogFont(font()));

    SunkenText(QStringLiteral("画像表示"), DluRect(2, 4, 55, 13), this);
    thumbnailButton = new QRadioButton(QStringLiteral("画像"), this);
    // Each radio button reaches to the next control: the indicator and three full-width
    // characters need more than the template's 32 units in a Qt style.
    thumbnailButton->setGeometry(DluRect(69, 4, 111 - 69 - 2, 13));
    markButton = new QRadioButton(QStringLiteral("マーク"), this);
    markButton->setGeometry(DluRect(111, 4, 158 - 111 - 1, 13));
    viewTypeGroup = new QButtonGroup(this);
    viewTypeGroup->addButton(thumbnailButton, 0);
    viewTypeGroup->addButton(markButton, 1);
    // clicked, not toggled: only the user's choice is a change of the setting.
    connect(thumbnailButton, &QRadioButton::clicked, this, &CDlgBarControl::OnThumbnails);
    connect(markButton, &QRadioButton::clicked, this, &CDlgBarControl::OnMarks);

    SunkenText(QStringLiteral("画像サイズ"), DluRect(2, 20, 55, 13), this);
    sizeBar = Bar(kSizePictMin, kSizePictMax, kSizeLineStep, kSizePageStep, DluRect(60, 21, 68, 11), this);
    sizeText = SunkenText(QString(), DluRect(131, 20, 23, 13), this);

    SunkenText(QStringLiteral("拡大・縮小"), DluRect(2, 37, 55, 13), this);
    magnifyBar = Bar(kMagnifyMin, kMagnifyMax, kMagnifyLineStep, kMagnifyPageStep, DluRect(60, 38, 68, 11), this);
    magnifyText = SunkenText(QString(), DluRect(131, 38, 23, 13), this);
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

    deleteAllButton = new QPushButton(QStringLiteral("画像の全削除"), this);
    deleteAllButton->setGeometry(DluRect(2, 69, 66, 14));
    connect(deleteAllButton, &QPushButton::clicked, this, &CDlgBarControl::OnDeleteAll);
    initialButton = new QPushButton(QStringLiteral("初期設定"), this);
    initialButton->setGeometry(DluRect(70, 69, 66, 14));
    connect(initialButton, &QPushButton::clicked, this, &CDlgBarControl::OnInitialSettings);
}

CDlgBarControl::~CDlgBarControl() = default;

void CDlgBarControl::SetBarQuietly(QScrollBar* bar, int value) {
    const QSignalBlocker quiet(bar);
    bar->setValue(value);
}

void CDlgBarControl::InitControls() {
    DisplaySettings& settings = view.GetDocument().settings;
    (settings.viewType == DisplaySettings::kViewMarks ? markButton : thumbnailButton)->setChecked(true);

    // The bars keep their positions within their ranges; the document takes what they show.
    SetBarQuietly(sizeBar, settings.sizePict);
    settings.sizePict = sizeBar->value();
    sizeText->setNum(settings.sizePict);
    SetBarQuietly(magnifyBar, settings.magnify);
    settings.magnify = magnifyBar->value();
    magnifyText->setNum(settings.magnify);

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
    magnifyText->setNum(magnifyBar->value());
}

void CDlgBarControl::OnSizeChanged(int value) {
    view.GetDocument().settings.sizePict = value;
    view.LayoutPhotos();
    view.InvalidateChart();
    sizeText->setNum(value);
}

void CDlgBarControl::OnMagnifyChanged(int value) {
    view.GetDocument().settings.magnify = value;
    view.LayoutPhotos();
    view.UpdateScrollSizes();
    view.InvalidateChart();
    magnifyText->setNum(value);
}

void CDlgBarControl::OnThumbnails() {
    view.GetDocument().settings.viewType = DisplaySettings::kViewThumbnails;
    view.InvalidateChart();
}

void CDlgBarControl::OnMarks() {
    view.GetDocument().settings.viewType = DisplaySettings::kViewMarks;
    // Marks draw no pictures; thumbnails make them again for what a paint shows.
    ReleaseDisplayPictures(view.GetDocument());
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

    thumbnailButton->setChecked(true);
    SetBarQuietly(sizeBar, kInitialSizePict);
    sizeText->setNum(kInitialSizePict);
    SetBarQuietly(magnifyBar, kInitialMagnify);
    magnifyText->setNum(kInitialMagnify);

    view.LayoutPhotos();
    view.UpdateScrollSizes();

    {
        const QSignalBlocker quiet(isoList);
        isoList->setCurrentIndex(kInitialIsoIndex);
    }
    ApplyIsoIndex(settings, kInitialIsoIndex);
    view.InvalidateChart();
}
