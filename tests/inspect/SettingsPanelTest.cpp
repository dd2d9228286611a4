#include "chart/ChartTables.h"
#include "dialog/DialogUnits.h"
#include "shell/CDlgBarControl.h"
#include "tests/inspect/PanelBench.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

namespace {

// The centre of a scroll bar's arrow button, from the style the bar is drawn in.
QPoint ArrowCentre(QScrollBar* bar, QStyle::SubControl arrow) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, arrow, bar).center();
}

void ClickArrow(QScrollBar* bar, QStyle::SubControl arrow) {
    QTest::mouseClick(bar, Qt::LeftButton, {}, ArrowCentre(bar, arrow));
}

std::string FirstEvLabel(const CLumivaneDoc& doc) {
    return EvLineLabels(doc.settings.isoIndex)[0].text;
}

}  // namespace

class SettingsPanelTest : public QObject {
    Q_OBJECT

private slots:
    void initControlsShowsTheDocumentsSettings();
    void arrowsAtTheRangeEndsLayNothingOut();
    void typedNumbersAreTakenClamped();
    void farEndsAreNoStepOfTheBars();
    void pageAndDragUpdateTheChartLive();
    void viewTypeAndIsoChangeNoPlaces();
    void deleteAllAsksAndNoKeepsThePhotos();
    void deleteAllYesClearsEvenAnEmptyChart();
    void initialSettingsAfterChanges();
    void densityViewAndMarkColours();
};

void SettingsPanelTest::initControlsShowsTheDocumentsSettings() {
    PanelBench bench;
    CDlgBarControl& panel = *bench.control;
    QCOMPARE(panel.size(), QSize(237, 165 + kestory::DluY(12 + 48))); // the pictures row and the cache part below the template
    QComboBox* iso = panel.IsoList();
    QCOMPARE(iso->count(), 11);
    QCOMPARE(iso->itemText(0), QStringLiteral("ISO 50"));
    QCOMPARE(iso->itemText(3), QStringLiteral("ISO 400"));
    QCOMPARE(iso->itemText(10), QStringLiteral("ISO 51200"));
    QCOMPARE(iso->currentIndex(), 1);
    QVERIFY(panel.ThumbnailButton()->isChecked());
    QCOMPARE(panel.SizeBar()->value(), 40);
    QCOMPARE(panel.SizeText()->text(), QStringLiteral("40"));
    QCOMPARE(panel.MagnifyText()->text(), QStringLiteral("100"));

    // Settings as the deferred step reads them from the file.
    bench.Import(QStringLiteral("a.jpg"));
    bench.doc.settings = {DisplaySettings::kViewMarks, 80, 3, 200, {}};
    MarkLayout(bench.doc);
    panel.InitControls();
    QVERIFY(LaidOutSinceMark(bench.doc));
    QCOMPARE(bench.doc.GetAt(0).drawRect.width(), 160);
    QVERIFY(panel.MarkButton()->isChecked());
    QCOMPARE(panel.SizeBar()->value(), 80);
    QCOMPARE(panel.SizeText()->text(), QStringLiteral("80"));
    QCOMPARE(panel.MagnifyBar()->value(), 200);
    QCOMPARE(panel.MagnifyText()->text(), QStringLiteral("200"));
    QCOMPARE(iso->count(), 11);
    QCOMPARE(iso->currentIndex(), 3);
    QCOMPARE(QString::fromStdString(bench.doc.settings.evCaption), QStringLiteral("露出値・ＥＶ(ISO 400)"));
    QCOMPARE(bench.view->horizontalScrollBar()->maximum(), 1500 - bench.view->viewport()->width());
    // Embedded pictures: shown, and a click lays the chart out for decoded pictures only.
    QVERIFY(panel.EmbeddedBox()->isChecked());
    QCOMPARE(bench.doc.GetAt(0).EmbeddedSide(), 160);
    QSignalSpy toggled(&panel, &CDlgBarControl::useEmbeddedChanged);
    panel.EmbeddedBox()->click();
    QVERIFY(!bench.doc.settings.useEmbedded);
    QCOMPARE(bench.doc.GetAt(0).EmbeddedSide(), 0);
    QCOMPARE(toggled.count(), 1);
    for (const QWidget* control : panel.findChildren<QWidget*>()) {
        QVERIFY(control->isEnabled());
    }
}

void SettingsPanelTest::arrowsAtTheRangeEndsLayNothingOut() {
    PanelBench bench;
    bench.Import(QStringLiteral("a.jpg"));
    CDlgBarControl& panel = *bench.control;

    struct End {
        QScrollBar* bar;
        QSpinBox* text;
        int32_t DisplaySettings::*value;
        int nearEnd;
        int end;
        QStyle::SubControl arrow;
    };
    const End ends[] = {
        {panel.SizeBar(), panel.SizeText(), &DisplaySettings::sizePict, 119, 120, QStyle::SC_ScrollBarAddLine},
        {panel.SizeBar(), panel.SizeText(), &DisplaySettings::sizePict, 11, 10, QStyle::SC_ScrollBarSubLine},
        {panel.MagnifyBar(), panel.MagnifyText(), &DisplaySettings::magnify, 395, 400, QStyle::SC_ScrollBarAddLine},
        {panel.MagnifyBar(), panel.MagnifyText(), &DisplaySettings::magnify, 35, 30, QStyle::SC_ScrollBarSubLine},
    };
    for (const End& e : ends) {
        e.bar->setValue(e.nearEnd);
        MarkLayout(bench.doc);
        ClickArrow(e.bar, e.arrow);
        QCOMPARE(bench.doc.settings.*e.value, e.end);
        QCOMPARE(e.text->text(), QString::number(e.end));
        QVERIFY(LaidOutSinceMark(bench.doc));

        MarkLayout(bench.doc);
        ClickArrow(e.bar, e.arrow);
        QCOMPARE(e.bar->value(), e.end);
        QCOMPARE(bench.doc.settings.*e.value, e.end);
        QVERIFY(!LaidOutSinceMark(bench.doc));
    }
}

// Qt's scroll-bar menu (左端/右端にスクロール) and the actions behind it would jump to a range end.
void SettingsPanelTest::typedNumbersAreTakenClamped() {
    PanelBench bench;
    bench.Import(QStringLiteral("a.jpg"));
    CDlgBarControl& panel = *bench.control;
    struct Typing {
        QSpinBox* box;
        const char* keys;
        Qt::Key end;  // Enter, or the focus leaving
        int32_t DisplaySettings::*value;
        int expected;
    };
    const Typing rows[] = {
        {panel.SizeText(), "75", Qt::Key_Return, &DisplaySettings::sizePict, 75},
        {panel.SizeText(), "500", Qt::Key_Tab, &DisplaySettings::sizePict, 120},
        {panel.MagnifyText(), "5", Qt::Key_Return, &DisplaySettings::magnify, 30},
        {panel.MagnifyText(), "250", Qt::Key_Tab, &DisplaySettings::magnify, 250},
    };
    for (const Typing& row : rows) {
        row.box->setFocus();
        row.box->selectAll();
        QTest::keyClicks(row.box, QString::fromLatin1(row.keys));
        MarkLayout(bench.doc);
        QTest::keyClick(row.box, row.end);
        QCOMPARE(bench.doc.settings.*row.value, row.expected);
        QCOMPARE(row.box->text(), QString::number(row.expected));
        QVERIFY(LaidOutSinceMark(bench.doc));
    }
    QCOMPARE(panel.SizeBar()->value(), 120);
    QCOMPARE(panel.MagnifyBar()->value(), 250);
}

void SettingsPanelTest::farEndsAreNoStepOfTheBars() {
    PanelBench bench;
    bench.Import(QStringLiteral("a.jpg"));
    CDlgBarControl& panel = *bench.control;
    for (QScrollBar* bar : {panel.SizeBar(), panel.MagnifyBar()}) {
        bar->setValue((bar->minimum() + bar->maximum()) / 2);
        const int middle = bar->value();
        const DisplaySettings before = bench.doc.settings;
        MarkLayout(bench.doc);

        QWidget* menu = nullptr;
        QTimer::singleShot(0, bar, [&menu] {
            menu = QApplication::activePopupWidget();
            if (menu != nullptr) {
                menu->close();
            }
        });
        QContextMenuEvent request(QContextMenuEvent::Mouse, bar->rect().center(), bar->mapToGlobal(bar->rect().center()));
        QApplication::sendEvent(bar, &request);
        QCoreApplication::processEvents();
        QVERIFY2(menu == nullptr, "no menu on the bar");

        for (const auto action : {QAbstractSlider::SliderToMinimum, QAbstractSlider::SliderToMaximum}) {
            bar->triggerAction(action);
            QCOMPARE(bar->value(), middle);
        }
        QCOMPARE(bench.doc.settings.sizePict, before.sizePict);
        QCOMPARE(bench.doc.settings.magnify, before.magnify);
        QVERIFY(!LaidOutSinceMark(bench.doc));
    }
}

void SettingsPanelTest::pageAndDragUpdateTheChartLive() {
    PanelBench bench;
    bench.Import(QStringLiteral("a.jpg"));
    CDlgBarControl& panel = *bench.control;

    panel.SizeBar()->setValue(118);
    panel.SizeBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(bench.doc.settings.sizePict, 120);
    QCOMPARE(panel.SizeText()->text(), QStringLiteral("120"));
    panel.MagnifyBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    QCOMPARE(bench.doc.settings.magnify, 80);

    // Dragging the thumb: every position on the way is laid out; letting go adds nothing.
    QScrollBar* bar = panel.MagnifyBar();
    bar->setSliderDown(true);
    for (const int position : {150, 275, 400}) {
        MarkLayout(bench.doc);
        bar->setSliderPosition(position);
        QCOMPARE(bench.doc.settings.magnify, position);
        QCOMPARE(panel.MagnifyText()->text(), QString::number(position));
        QVERIFY(LaidOutSinceMark(bench.doc));
        QCOMPARE(bench.doc.GetAt(0).drawRect.width(), 120 * position / 100 / 2 * 2);
    }
    MarkLayout(bench.doc);
    bar->setSliderDown(false);
    QVERIFY(!LaidOutSinceMark(bench.doc));
    QCOMPARE(bench.doc.settings.magnify, 400);
}

void SettingsPanelTest::viewTypeAndIsoChangeNoPlaces() {
    PanelBench bench;
    bench.Import(QStringLiteral("a.jpg"));
    CDlgBarControl& panel = *bench.control;

    QVERIFY(bench.doc.GetAt(0).EnsureDisplayImage(&bench.doc.Pictures()));
    MarkLayout(bench.doc);
    QTest::mouseClick(panel.MarkButton(), Qt::LeftButton);
    QCOMPARE(bench.doc.settings.viewType, DisplaySettings::kViewMarks);
    QVERIFY(bench.doc.GetAt(0).displayImage.Empty());  // marks hold no display picture
    QTest::mouseClick(panel.ThumbnailButton(), Qt::LeftButton);
    QCOMPARE(bench.doc.settings.viewType, DisplaySettings::kViewThumbnails);

    panel.IsoList()->setFocus();
    QTest::keyClick(panel.IsoList(), Qt::Key_Down);
    QTest::keyClick(panel.IsoList(), Qt::Key_Down);
    QCOMPARE(bench.doc.settings.isoIndex, 3);
    QCOMPARE(QString::fromStdString(bench.doc.settings.evCaption), QStringLiteral("露出値・ＥＶ(ISO 400)"));
    QCOMPARE(FirstEvLabel(bench.doc), std::string("-8"));
    QCOMPARE(EvLineLabels(bench.doc.settings.isoIndex)[31].text, std::string("23"));
    QVERIFY(!LaidOutSinceMark(bench.doc));
}

void SettingsPanelTest::deleteAllAsksAndNoKeepsThePhotos() {
    PanelBench bench;
    PhotoItem& photo = bench.Import(QStringLiteral("a.jpg"));
    bench.info->ShowPhoto(&photo);
    int asked = 0;
    bench.control->SetAsk([&](QMessageBox& box) {
        ++asked;
        [&] {
            QCOMPARE(box.windowTitle(), QStringLiteral("Kestory"));
            QCOMPARE(box.text(), QStringLiteral("全ての画像を削除しますか？"));
            QCOMPARE(box.icon(), QMessageBox::Question);
            QCOMPARE(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
        }();
        return int(QMessageBox::No);
    });
    QTest::mouseClick(bench.control->DeleteAllButton(), Qt::LeftButton);
    QCOMPARE(asked, 1);
    QCOMPARE(bench.doc.GetCount(), size_t{1});
    QCOMPARE(bench.info->SelectedPhoto(), &photo);

    // Closing the box without an answer is no Yes either.
    bench.control->SetAsk([](QMessageBox&) { return int(QMessageBox::Escape); });
    QTest::mouseClick(bench.control->DeleteAllButton(), Qt::LeftButton);
    QCOMPARE(bench.doc.GetCount(), size_t{1});
}

void SettingsPanelTest::deleteAllYesClearsEvenAnEmptyChart() {
    PanelBench bench;
    bench.Import(QStringLiteral("a.jpg"));
    PhotoItem& selected = bench.Import(QStringLiteral("b.jpg"), PanelBench::Exposure(30, 4, 1, 100));
    bench.info->ShowPhoto(&selected);
    bench.doc.SelectPhotos({&bench.doc.GetAt(0), &selected}, false);
    emit bench.view->selectionChanged();
    QVERIFY(bench.info->SelectionText()->isVisible());
    bench.doc.settings.sizePict = 80;
    bench.control->SetAsk([](QMessageBox&) { return int(QMessageBox::Yes); });
    QTest::mouseClick(bench.control->DeleteAllButton(), Qt::LeftButton);
    QCOMPARE(bench.doc.GetCount(), size_t{0});
    QCOMPARE(bench.doc.SelectedCount(), size_t{0});
    QVERIFY(bench.info->SelectionText()->isHidden());
    QVERIFY(bench.info->SelectedPhoto() == nullptr);
    QCOMPARE(bench.info->PropertyList()->topLevelItemCount(), 0);
    QVERIFY(bench.info->ExposureText().isEmpty());
    QCOMPARE(bench.doc.settings.sizePict, 80);

    // A panel filled by hand on an empty chart is still cleared.
    PhotoItem loose;
    loose.exposureValid = 1;
    bench.info->ShowPhoto(&loose);
    QTest::mouseClick(bench.control->DeleteAllButton(), Qt::LeftButton);
    QVERIFY(bench.info->SelectedPhoto() == nullptr);
}

void SettingsPanelTest::initialSettingsAfterChanges() {
    PanelBench bench;
    bench.Import(QStringLiteral("a.jpg"));
    CDlgBarControl& panel = *bench.control;
    panel.IsoList()->setFocus();
    QTest::keyClick(panel.IsoList(), Qt::Key_Down);
    QTest::keyClick(panel.IsoList(), Qt::Key_Down);
    panel.SizeBar()->setValue(80);
    panel.MagnifyBar()->setValue(200);
    QTest::mouseClick(panel.MarkButton(), Qt::LeftButton);
    QCOMPARE(bench.doc.settings.isoIndex, 3);
    QCOMPARE(bench.doc.settings.viewType, DisplaySettings::kViewMarks);

    MarkLayout(bench.doc);
    QTest::mouseClick(panel.InitialSettingsButton(), Qt::LeftButton);
    const DisplaySettings& s = bench.doc.settings;
    QCOMPARE(s.viewType, DisplaySettings::kViewThumbnails);
    QCOMPARE(s.sizePict, 40);
    QCOMPARE(s.magnify, 100);
    QCOMPARE(s.isoIndex, 1);
    QCOMPARE(QString::fromStdString(s.evCaption), QStringLiteral("露出値・ＥＶ(ISO 100)"));
    QCOMPARE(FirstEvLabel(bench.doc), std::string("-6"));
    QCOMPARE(EvLineLabels(s.isoIndex)[31].text, std::string("25"));
    QVERIFY(panel.ThumbnailButton()->isChecked());
    QCOMPARE(panel.SizeBar()->value(), 40);
    QCOMPARE(panel.SizeText()->text(), QStringLiteral("40"));
    QCOMPARE(panel.MagnifyBar()->value(), 100);
    QCOMPARE(panel.MagnifyText()->text(), QStringLiteral("100"));
    QCOMPARE(panel.IsoList()->currentIndex(), 1);
    QVERIFY(LaidOutSinceMark(bench.doc));
    QCOMPARE(bench.doc.GetAt(0).drawRect.width(), 40);
    QCOMPARE(bench.view->horizontalScrollBar()->maximum(), 750 - bench.view->viewport()->width());
    QCOMPARE(bench.doc.GetCount(), size_t{1});
}

void SettingsPanelTest::densityViewAndMarkColours() {
    PanelBench bench;
    bench.Import(QStringLiteral("a.jpg"));
    CDlgBarControl& panel = *bench.control;
    QComboBox* colours = panel.MarkColourList();
    QStringList items;
    for (int i = 0; i < colours->count(); ++i) {
        items << colours->itemText(i);
    }
    QCOMPARE(items, (QStringList{"赤", "ISO 感度", "焦点距離", "機種", "撮影時刻"}));
    QCOMPARE(colours->currentIndex(), 0);
    QVERIFY(!colours->isEnabled());
    // The three view buttons share one row: each shows its whole text, none overlaps the next.
    const QRadioButton* row[] = {panel.ThumbnailButton(), panel.MarkButton(), panel.DensityButton()};
    for (int i = 0; i < 3; ++i) {
        QVERIFY2(row[i]->sizeHint().width() <= row[i]->width(),
                 qPrintable(row[i]->text() + QStringLiteral(" %1 > %2").arg(row[i]->sizeHint().width()).arg(row[i]->width())));
        QVERIFY(i == 2 || row[i]->geometry().right() < row[i + 1]->geometry().left());
    }
    QVERIFY(row[2]->geometry().right() < panel.width());

    MarkLayout(bench.doc);
    QTest::mouseClick(panel.MarkButton(), Qt::LeftButton);
    QVERIFY(colours->isEnabled());
    colours->setFocus();
    QTest::keyClick(colours, Qt::Key_Down);
    QTest::keyClick(colours, Qt::Key_Down);
    QCOMPARE(bench.doc.settings.markColour, DisplaySettings::kMarkByFocalLength);
    QTest::mouseClick(panel.DensityButton(), Qt::LeftButton);
    QCOMPARE(bench.doc.settings.viewType, DisplaySettings::kViewDensity);
    QVERIFY(panel.DensityButton()->isChecked());
    QVERIFY(!colours->isEnabled());
    QCOMPARE(bench.doc.settings.markColour, DisplaySettings::kMarkByFocalLength);
    QVERIFY(!LaidOutSinceMark(bench.doc));

    QTest::mouseClick(panel.InitialSettingsButton(), Qt::LeftButton);
    QCOMPARE(bench.doc.settings.viewType, DisplaySettings::kViewThumbnails);
    QCOMPARE(bench.doc.settings.markColour, DisplaySettings::kMarkRed);
    QCOMPARE(colours->currentIndex(), 0);
    QVERIFY(!colours->isEnabled());
}

int RunSettingsPanelTest(int argc, char** argv) {
    SettingsPanelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SettingsPanelTest.moc"
