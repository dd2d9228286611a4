#include "chart/CLumivaneView.h"
#include "chart/ChartRender.h"
#include "shell/CDlgBarControl.h"
#include "tests/inspect/PanelBench.h"

#include <QApplication>
#include <QLabel>
#include <QRubberBand>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolTip>
#include <QWheelEvent>
#include <QtTest>

namespace {

void WheelOver(QWidget* target, int delta, const QPoint& at) {
    QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

void Wheel(CLumivaneView& view, int delta, const QPoint& at = QPoint(50, 50)) {
    WheelOver(view.viewport(), delta, at);
}

void Move(CLumivaneView& view, const QPoint& at) {
    QWidget* viewport = view.viewport();
    QMouseEvent event(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
}

// What the chart hands to the panel, click by click.
struct Clicks {
    explicit Clicks(CLumivaneView& view) {
        QObject::connect(&view, &CLumivaneView::photoClicked, &view, [this](PhotoItem* p) { got.push_back(p); });
    }
    PhotoItem* Last() const { return got.empty() ? reinterpret_cast<PhotoItem*>(-1) : got.back(); }
    std::vector<PhotoItem*> got;
};

// Whether the screen shows the selection frame just left of the photo, halfway down.
bool FramedOnScreen(PanelBench& bench, const PhotoItem& photo) {
    const QImage shot = bench.view->viewport()->grab().toImage();
    const QPoint at = bench.ToViewport(photo.drawRect.left - 1, (photo.drawRect.top + photo.drawRect.bottom) / 2);
    return shot.pixelColor(at) == QColor(kSelectionColour.r, kSelectionColour.g, kSelectionColour.b);
}

// From 6 pixels above and left of the photo's drawRect to just past its bottom-right corner.
std::pair<QPoint, QPoint> BandAround(const PanelBench& bench, const PhotoItem& photo) {
    const Rect& r = photo.drawRect;
    return {bench.ToViewport(r.left - 6, r.top - 6), bench.ToViewport(r.right + 1, r.bottom + 1)};
}

}  // namespace

class ChartMouseTest : public QObject {
    Q_OBJECT

private slots:
    void clickSelectsTheTopmostAndRightClickSendsItBack();
    void leftAndTopEdgesHitRightAndBottomDoNot();
    void clicksAfterScrollingHitWhatIsUnderThePointer();
    void wheelZoomsWithinItsRangeWithoutScrolling();
    void toolTipFollowsThePhotosAndHidesOverEmptyChart();
    void doubleClickOnEmptyChartOpensNothing();
    void bandSelectsShiftAddsAndClicksOrEscapeEnd();
    void densityCellsTellTheirCountAndHitNoPhoto();
};

void ChartMouseTest::clickSelectsTheTopmostAndRightClickSendsItBack() {
    PanelBench bench;
    PhotoItem& first = bench.Import(QStringLiteral("1.jpg"));
    PhotoItem& second = bench.Import(QStringLiteral("2.jpg"));
    PhotoItem& third = bench.Import(QStringLiteral("3.jpg"));
    QCOMPARE(first.drawRect, third.drawRect);
    const QPoint at = bench.Reveal(third);
    QWidget* viewport = bench.view->viewport();

    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QCOMPARE(bench.info->SelectedPhoto(), &third);

    QTest::mouseClick(viewport, Qt::RightButton, {}, at);
    QCOMPARE(&bench.doc.GetAt(0), &third);
    QCOMPARE(&bench.doc.GetAt(1), &first);
    QCOMPARE(&bench.doc.GetAt(2), &second);
    QVERIFY(QApplication::activePopupWidget() == nullptr);
    QCOMPARE(bench.view->contextMenuPolicy(), Qt::PreventContextMenu);

    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QCOMPARE(bench.info->SelectedPhoto(), &second);

    // A right-click on empty chart keeps the order.
    QTest::mouseClick(viewport, Qt::RightButton, {}, QPoint(1, 1));
    QCOMPARE(&bench.doc.GetAt(0), &third);
}

void ChartMouseTest::leftAndTopEdgesHitRightAndBottomDoNot() {
    PanelBench bench;
    PhotoItem& photo = bench.Import(QStringLiteral("a.jpg"));
    bench.Reveal(photo);
    Clicks clicks(*bench.view);
    const Rect r = photo.drawRect;
    QWidget* viewport = bench.view->viewport();
    const auto click = [&](int x, int y) {
        QTest::mouseClick(viewport, Qt::LeftButton, {}, bench.ToViewport(x, y));
        return clicks.Last();
    };
    QCOMPARE(click(r.left, r.top), &photo);
    QCOMPARE(click(r.right - 1, r.bottom - 1), &photo);
    QCOMPARE(click(r.right, r.top + 5), nullptr);
    QCOMPARE(click(r.left + 5, r.bottom), nullptr);
    QCOMPARE(click(r.left - 1, r.top + 5), nullptr);
    QCOMPARE(click(r.left + 5, r.top - 1), nullptr);
    QCOMPARE(clicks.got.size(), size_t{6});
    // The panel kept what the first click gave it.
    QCOMPARE(bench.info->SelectedPhoto(), &photo);
}

void ChartMouseTest::clicksAfterScrollingHitWhatIsUnderThePointer() {
    PanelBench bench;
    bench.doc.settings.magnify = 200;
    bench.view->UpdateScrollSizes();
    PhotoItem& photo = bench.Import(QStringLiteral("a.jpg"));
    const Rect r = photo.drawRect;
    QScrollBar* h = bench.view->horizontalScrollBar();
    QScrollBar* v = bench.view->verticalScrollBar();
    QVERIFY(h->maximum() > 100 && v->maximum() > 100);
    Clicks clicks(*bench.view);

    h->setValue(r.left - 10);
    v->setValue(r.top - 10);
    const QPoint inside = bench.ToViewport(r.left + 5, r.top + 5);
    QVERIFY(bench.view->viewport()->rect().contains(inside));
    QTest::mouseClick(bench.view->viewport(), Qt::LeftButton, {}, inside);
    QCOMPARE(clicks.Last(), &photo);

    // The same client point once the chart moved by more than the photo's size.
    const int before = h->value();
    h->setValue(before - r.width() - 20);
    const int moved = before - h->value();
    QVERIFY(moved > r.width());
    QTest::mouseClick(bench.view->viewport(), Qt::LeftButton, {}, inside);
    QCOMPARE(clicks.Last(), nullptr);
    QTest::mouseClick(bench.view->viewport(), Qt::LeftButton, {}, inside + QPoint(moved, 0));
    QCOMPARE(clicks.Last(), &photo);
}

void ChartMouseTest::wheelZoomsWithinItsRangeWithoutScrolling() {
    PanelBench bench;
    PhotoItem& photo = bench.Import(QStringLiteral("a.jpg"));
    CLumivaneView& view = *bench.view;
    DisplaySettings& s = bench.doc.settings;
    QScrollBar* bar = bench.control->MagnifyBar();
    // Tall enough to scroll both ways: the panels make the window taller than the chart at 100 %.
    s.magnify = 200;
    bench.control->SetMagnify(200);
    view.UpdateScrollSizes();
    Wheel(view, -1200);
    QCOMPARE(s.magnify, 150);
    view.horizontalScrollBar()->setValue(40);
    view.verticalScrollBar()->setValue(30);

    Wheel(view, 120);
    QCOMPARE(s.magnify, 155);
    QCOMPARE(bar->value(), 155);
    QCOMPARE(bench.control->MagnifyText()->text(), QStringLiteral("155"));
    QCOMPARE(photo.drawRect.width(), 62);
    QCOMPARE(view.horizontalScrollBar()->maximum(), 1162 - view.viewport()->width());
    QCOMPARE(view.verticalScrollBar()->maximum(), 806 - view.viewport()->height());
    QCOMPARE(view.ScrollPosition(), QPoint(40, 30));

    // Over the chart's own scroll bars the wheel zooms as well, and scrolls nothing.
    for (QScrollBar* over : {view.horizontalScrollBar(), view.verticalScrollBar()}) {
        const int before = s.magnify;
        WheelOver(over, 120, over->rect().center());
        QCOMPARE(s.magnify, before + 5);
        QCOMPARE(bar->value(), before + 5);
        QCOMPARE(view.ScrollPosition(), QPoint(40, 30));
    }

    s.magnify = 100;
    Wheel(view, 120);
    QCOMPARE(s.magnify, 105);
    Wheel(view, -120);
    Wheel(view, -120);
    QCOMPARE(s.magnify, 95);
    QCOMPARE(bar->value(), 95);

    struct Case {
        int start;
        int delta;
        int expected;
    };
    for (const Case c : {Case{400, 120, 400}, Case{30, -120, 30}, Case{100, 24, 101}, Case{100, -24, 99},
                         Case{100, 23, 100}, Case{100, -23, 100}, Case{398, 360, 400}, Case{100, 240, 110}}) {
        s.magnify = c.start;
        bench.control->SetMagnify(c.start);
        Wheel(view, c.delta);
        QCOMPARE(s.magnify, c.expected);
        QCOMPARE(bar->value(), c.expected);
        QCOMPARE(bench.control->MagnifyText()->text(), QString::number(c.expected));
    }

    // Eight high-resolution steps of 15 change nothing; five of 24 add up to one notch.
    s.magnify = 100;
    for (int i = 0; i < 8; ++i) {
        Wheel(view, 15);
    }
    QCOMPARE(s.magnify, 100);
    for (int i = 0; i < 5; ++i) {
        Wheel(view, 24);
    }
    QCOMPARE(s.magnify, 105);
}

void ChartMouseTest::toolTipFollowsThePhotosAndHidesOverEmptyChart() {
    PanelBench bench;
    PhotoItem& f8 = bench.Import(QStringLiteral("f8.jpg"));
    PhotoItem& f56 = bench.Import(QStringLiteral("f56.jpg"), PanelBench::Exposure(125, 56, 10, 0));
    const QPoint onF8 = bench.Reveal(f8);
    const QPoint onF56 = bench.ToViewport((f56.drawRect.left + f56.drawRect.right) / 2,
                                          (f56.drawRect.top + f56.drawRect.bottom) / 2);
    QVERIFY(bench.view->viewport()->rect().contains(onF56));

    Move(*bench.view, onF8);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), QStringLiteral("Ev値：11.0\nAv値：6.0\nTv値：7.0\n(感度補正 -2.0)"));

    Move(*bench.view, onF56);
    QTRY_VERIFY(QToolTip::isVisible());
    // No ISO speed in this one.
    QCOMPARE(QToolTip::text(), QStringLiteral("Ev値：---\nAv値：5.0\nTv値：7.0\n(感度補正 ---)"));

    Move(*bench.view, QPoint(1, 1));
    QTRY_VERIFY(!QToolTip::isVisible());
}

void ChartMouseTest::doubleClickOnEmptyChartOpensNothing() {
    PanelBench bench;
    bench.Import(QStringLiteral("a.jpg"));
    QTest::mouseDClick(bench.view->viewport(), Qt::LeftButton, {}, QPoint(1, 1));
    QCOMPARE(bench.viewers.Count(), size_t{0});
    QVERIFY(bench.notifier.messages.empty());
}

void ChartMouseTest::bandSelectsShiftAddsAndClicksOrEscapeEnd() {
    PanelBench bench;
    PhotoItem& a = bench.Import(QStringLiteral("a.jpg"));
    PhotoItem& b = bench.Import(QStringLiteral("b.jpg"), PanelBench::Exposure(30, 4, 1, 400));
    PhotoItem& c = bench.Import(QStringLiteral("c.jpg"), PanelBench::Exposure(500, 16, 1, 400));
    bench.Reveal(b);  // top left of the three
    const QPoint onA = bench.ToViewport(a.drawRect.left + 5, a.drawRect.top + 5);
    const auto [fromA, toA] = BandAround(bench, a);
    const auto [fromB, toB] = BandAround(bench, b);
    const auto [fromC, toC] = BandAround(bench, c);
    const auto selected = [&] { return bench.doc.SelectedPhotos(); };

    bench.Drag(fromA, toA);
    QCOMPARE(selected(), std::vector<PhotoItem*>{&a});
    QCOMPARE(bench.info->SelectedPhoto(), &a);
    QVERIFY(bench.info->SelectionText()->isHidden());
    QVERIFY(FramedOnScreen(bench, a));
    bench.Drag(toB, fromB, Qt::ShiftModifier);  // the other way round, adding
    QCOMPARE(selected(), (std::vector<PhotoItem*>{&a, &b}));
    QCOMPARE(bench.info->SelectedPhoto(), &a);
    QVERIFY(bench.info->SelectionText()->isVisible());
    QCOMPARE(bench.info->SelectionText()->text(), QStringLiteral("2 枚選択"));
    bench.Drag(fromC, toC);
    QCOMPARE(selected(), std::vector<PhotoItem*>{&c});
    QVERIFY(bench.info->SelectionText()->isHidden());

    // Moved less than the drag distance, a press on empty chart is a click: it ends the selection
    // without Shift and leaves the panel as it was.
    const QPoint nudge(QApplication::startDragDistance() / 2, 0);
    bench.Drag(fromC, fromC + nudge, Qt::ShiftModifier);
    QCOMPARE(selected().size(), size_t{1});
    bench.Drag(fromC, fromC + nudge);
    QVERIFY(selected().empty());
    QCOMPARE(bench.info->SelectedPhoto(), &c);
    QVERIFY(!FramedOnScreen(bench, c));

    bench.Drag(fromC, toC);
    bench.view->setFocus();
    QTest::keyClick(bench.view, Qt::Key_Escape);
    QVERIFY(selected().empty());
    // A press on a photo is the click it always was, however far it is dragged.
    bench.Drag(fromC, toC);
    bench.Drag(onA, toA + QPoint(80, 80));
    QVERIFY(selected().empty());
    QCOMPARE(bench.info->SelectedPhoto(), &a);
    QVERIFY(bench.view->findChild<QRubberBand*>() == nullptr);

    // A zoom lays the photos out anew; the selection stays with them.
    bench.Drag(fromC, toC);
    Wheel(*bench.view, 240);
    QCOMPARE(selected(), std::vector<PhotoItem*>{&c});
    bench.Reveal(c);
    QVERIFY(FramedOnScreen(bench, c));
}

// In the density view the cells answer the pointer, and the photos drawn nowhere are hit nowhere.
void ChartMouseTest::densityCellsTellTheirCountAndHitNoPhoto() {
    PanelBench bench;
    PhotoItem& f8 = bench.Import(QStringLiteral("f8.jpg"));
    PhotoItem& f9 = bench.Import(QStringLiteral("f9.jpg"), PanelBench::Exposure(200, 9, 1, 100));
    bench.Import(QStringLiteral("f2.jpg"), PanelBench::Exposure(30, 2, 1, 100));
    const QPoint onF8 = bench.Reveal(f8);
    Clicks clicks(*bench.view);
    QTest::mouseClick(bench.control->DensityButton(), Qt::LeftButton);

    QVERIFY(bench.view->PhotoAtViewport(onF8) == nullptr);
    QTest::mouseClick(bench.view->viewport(), Qt::LeftButton, {}, onF8);
    QCOMPARE(clicks.Last(), nullptr);
    QTest::mouseClick(bench.view->viewport(), Qt::RightButton, {},
                      bench.ToViewport((f9.drawRect.left + f9.drawRect.right) / 2, (f9.drawRect.top + f9.drawRect.bottom) / 2));
    QCOMPARE(&bench.doc.GetAt(0), &f8);

    // F8 at 1/125 s and F9 at 1/200 s share the cell F8–F11 x 1/125–1/250.
    Move(*bench.view, onF8 + QPoint(5, 5));
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), QStringLiteral("2 枚\nF8–F11\n1/125–1/250 秒"));
    // An empty cell, and the margin outside the grid, say nothing.
    Move(*bench.view, onF8 - QPoint(20, 20));
    QTRY_VERIFY(!QToolTip::isVisible());
    QVERIFY(bench.view->DensityTipAtViewport(bench.ToViewport(10, 10)).isEmpty());

    QTest::mouseClick(bench.control->MarkButton(), Qt::LeftButton);
    QVERIFY(bench.view->DensityTipAtViewport(onF8).isEmpty());
    QCOMPARE(bench.view->PhotoAtViewport(onF8), &f8);
}

int RunChartMouseTest(int argc, char** argv) {
    ChartMouseTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ChartMouseTest.moc"
