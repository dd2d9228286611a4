#include "inspect/CDlgPopViewImage.h"
#include "inspect/ViewerList.h"
#include "dialog/DialogUnits.h"
#include "tests/inspect/PanelBench.h"

#include <QDockWidget>
#include <QFile>
#include <QImage>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

namespace {

bool IsWhite(QRgb p) {
    return (p & 0xffffff) == 0xffffff;
}

int ViewerWindows() {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        count += qobject_cast<CDlgPopViewImage*>(w) != nullptr ? 1 : 0;
    }
    return count;
}

}  // namespace

class ViewerTest : public QObject {
    Q_OBJECT

private slots:
    void opensAtTheClientCornerAtTemplateSizeWithoutMinimiseOrMaximise();
    void opensBelowTheMenuBarWithThePanelsDockedLeft();
    void onePathOneViewerAndCaseMakesTwo();
    void panelAndDoubleClickReachTheSameViewer();
    void escapeAndEnterHideAndReopenKeepsSizeAndPlace();
    void closeBoxReleasesAndReopeningMakesAFreshViewer();
    void pictureSitsAtTheTopCentredLeftToRight();
    void zeroSizeDoesNotRefit();
    void fileGoneSinceImportOpensNothingAndTellsTheUser();
    void viewersOutliveTheirPhotoAndTheClearedList();
};

void ViewerTest::opensAtTheClientCornerAtTemplateSizeWithoutMinimiseOrMaximise() {
    PanelBench bench;
    const std::string path = bench.Write(QStringLiteral("a.jpg"));
    CDlgPopViewImage* viewer = bench.viewers.OpenViewer(path);
    QVERIFY(viewer != nullptr);
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->parentWidget(), &bench.window);
    QCOMPARE(viewer->size(), kestory::DluSize(418, 337));
    QCOMPARE(viewer->pos(), bench.window.centralWidget()->mapToGlobal(QPoint(0, 0)));
    QVERIFY(viewer->windowTitle().isEmpty());
    const Qt::WindowFlags flags = viewer->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowTitleHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    // The full picture, not a thumbnail of it.
    QCOMPARE(viewer->Photo().thumbnail.image.cols, 64);
    QCOMPARE(bench.viewers.Count(), size_t{1});
}

// The client area's corner, not the chart's, which the panels push to the right.
void ViewerTest::opensBelowTheMenuBarWithThePanelsDockedLeft() {
    PanelBench bench;
    bench.window.menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    for (QDockWidget* dock : bench.window.findChildren<QDockWidget*>()) {
        bench.window.addDockWidget(Qt::LeftDockWidgetArea, dock);
    }
    QTRY_VERIFY(bench.view->x() > 200 && bench.view->y() > 0);
    CDlgPopViewImage* viewer = bench.viewers.OpenViewer(bench.Write(QStringLiteral("a.jpg")));
    QVERIFY(viewer != nullptr);
    // Left: the window's client edge; top: where the chart begins, below the menu bar.
    QCOMPARE(viewer->pos(), QPoint(bench.window.mapToGlobal(QPoint(0, 0)).x(), bench.view->mapToGlobal(QPoint(0, 0)).y()));
}

void ViewerTest::onePathOneViewerAndCaseMakesTwo() {
    PanelBench bench;
    const std::string lower = bench.Write(QStringLiteral("shot.jpg"));
    const std::string upper = bench.Write(QStringLiteral("SHOT.JPG"));
    CDlgPopViewImage* first = bench.viewers.OpenViewer(lower);
    QCOMPARE(bench.viewers.OpenViewer(lower), first);
    QCOMPARE(bench.viewers.Count(), size_t{1});
    QCOMPARE(ViewerWindows(), 1);

    CDlgPopViewImage* second = bench.viewers.OpenViewer(upper);
    QVERIFY(second != nullptr && second != first);
    QCOMPARE(bench.viewers.Count(), size_t{2});
    QCOMPARE(bench.viewers.FindViewer(lower), first);
    QCOMPARE(bench.viewers.FindViewer(upper), second);
    QCOMPARE(bench.viewers.FindViewer(bench.dir.filePath(QStringLiteral("Shot.jpg")).toStdString()), nullptr);
    // In the order they were opened.
    QCOMPARE(bench.viewers.At(0), first);
    QCOMPARE(bench.viewers.At(1), second);
}

void ViewerTest::panelAndDoubleClickReachTheSameViewer() {
    PanelBench bench;
    PhotoItem& once = bench.Import(QStringLiteral("a.jpg"));
    QCOMPARE(bench.doc.AddPhoto(once.path), 0);  // the same file again is not charted twice
    bench.view->LayoutPhotos();
    const QPoint at = bench.Reveal(once);

    QTest::mouseClick(bench.view->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(bench.info->SelectedPhoto(), &once);
    QTest::mouseClick(bench.info->MagnifyButton(), Qt::LeftButton);
    QCOMPARE(bench.viewers.Count(), size_t{1});
    CDlgPopViewImage* viewer = bench.viewers.At(0);
    viewer->hide();

    QTest::mouseDClick(bench.view->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(bench.viewers.Count(), size_t{1});
    QCOMPARE(bench.viewers.At(0), viewer);
    QVERIFY(viewer->isVisible());
    QTest::mouseClick(bench.info->MagnifyButton(), Qt::LeftButton);
    QCOMPARE(ViewerWindows(), 1);
}

void ViewerTest::escapeAndEnterHideAndReopenKeepsSizeAndPlace() {
    PanelBench bench;
    const std::string path = bench.Write(QStringLiteral("a.jpg"));
    QPointer<CDlgPopViewImage> viewer = bench.viewers.OpenViewer(path);
    viewer->resize(300, 500);
    viewer->move(200, 150);
    const QRect placed = viewer->geometry();

    QTest::keyClick(viewer, Qt::Key_Escape);
    QVERIFY(viewer);
    QVERIFY(!viewer->isVisible());
    QCOMPARE(bench.viewers.Count(), size_t{1});
    QCOMPARE(bench.viewers.OpenViewer(path), viewer.data());
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->geometry(), placed);

    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(viewer, key);
        QVERIFY(viewer);
        QVERIFY(!viewer->isVisible());
        QCOMPARE(bench.viewers.OpenViewer(path), viewer.data());
    }
    QCOMPARE(viewer->geometry(), placed);
}

void ViewerTest::closeBoxReleasesAndReopeningMakesAFreshViewer() {
    PanelBench bench;
    const std::string path = bench.Write(QStringLiteral("a.jpg"));
    QPointer<CDlgPopViewImage> viewer = bench.viewers.OpenViewer(path);
    viewer->resize(300, 500);
    viewer->move(200, 150);
    QVERIFY(viewer->close());
    QCOMPARE(bench.viewers.Count(), size_t{0});
    QTRY_VERIFY(viewer.isNull());

    CDlgPopViewImage* fresh = bench.viewers.OpenViewer(path);
    QVERIFY(fresh != nullptr);
    QCOMPARE(fresh->size(), kestory::DluSize(418, 337));
    QCOMPARE(fresh->pos(), bench.window.centralWidget()->mapToGlobal(QPoint(0, 0)));
}

void ViewerTest::pictureSitsAtTheTopCentredLeftToRight() {
    PanelBench bench;
    CDlgPopViewImage* viewer = bench.viewers.OpenViewer(bench.Write(QStringLiteral("a.jpg")));

    // Wide and low: the 64 x 48 picture becomes 266 x 200, white at both sides.
    viewer->resize(600, 200);
    QCOMPARE(viewer->PictureRect(), (Rect{167, 0, 433, 200}));
    QImage shot = viewer->grab().toImage();
    QVERIFY(IsWhite(shot.pixel(160, 100)));
    QVERIFY(!IsWhite(shot.pixel(170, 100)));
    QVERIFY(!IsWhite(shot.pixel(430, 100)));
    QVERIFY(IsWhite(shot.pixel(440, 100)));

    // Tall and narrow: 200 x 150 at the top edge, white below.
    viewer->resize(200, 600);
    QCOMPARE(viewer->PictureRect(), (Rect{0, 0, 200, 150}));
    shot = viewer->grab().toImage();
    QVERIFY(!IsWhite(shot.pixel(100, 2)));
    QVERIFY(!IsWhite(shot.pixel(100, 147)));
    QVERIFY(IsWhite(shot.pixel(100, 152)));
    QVERIFY(IsWhite(shot.pixel(100, 590)));
    // Scaled from the full picture each time, never from the last fit.
    QCOMPARE(viewer->Photo().displayImage.image.cols, 200);
    QCOMPARE(viewer->Photo().thumbnail.image.cols, 64);
}

void ViewerTest::zeroSizeDoesNotRefit() {
    PanelBench bench;
    CDlgPopViewImage* viewer = bench.viewers.OpenViewer(bench.Write(QStringLiteral("a.jpg")));
    viewer->resize(600, 200);
    const Rect before = viewer->Photo().drawRect;
    QResizeEvent zeroWidth(QSize(0, 300), viewer->size());
    QApplication::sendEvent(viewer, &zeroWidth);
    QResizeEvent zeroHeight(QSize(300, 0), viewer->size());
    QApplication::sendEvent(viewer, &zeroHeight);
    QCOMPARE(viewer->Photo().drawRect, before);
}

void ViewerTest::fileGoneSinceImportOpensNothingAndTellsTheUser() {
    PanelBench bench;
    PhotoItem& photo = bench.Import(QStringLiteral("gone.jpg"));
    const std::string path = photo.path;
    QVERIFY(QFile::remove(QString::fromStdString(path)));
    const QPoint at = bench.Reveal(photo);

    QTest::mouseDClick(bench.view->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(bench.viewers.Count(), size_t{0});
    QCOMPARE(ViewerWindows(), 0);
    QCOMPARE(bench.notifier.messages.size(), size_t{1});
    QCOMPARE(QString::fromStdString(bench.notifier.messages[0]),
             QString::fromStdString(path) + QStringLiteral("の読み込みに失敗しました。"));

    // A file that lost its EXIF block since the import is no better.
    const std::string changed = bench.Write(QStringLiteral("changed.jpg"));
    QVERIFY(kestory::test::JpegBuilder().noExif().patternPicture(64, 48).writeTo(changed));
    QVERIFY(bench.viewers.OpenViewer(changed) == nullptr);
    QCOMPARE(bench.notifier.messages.size(), size_t{2});
    QCOMPARE(ViewerWindows(), 0);
}

void ViewerTest::viewersOutliveTheirPhotoAndTheClearedList() {
    PanelBench bench;
    PhotoItem& photo = bench.Import(QStringLiteral("a.jpg"));
    bench.info->ShowPhoto(&photo);
    QTest::mouseClick(bench.info->MagnifyButton(), Qt::LeftButton);
    QPointer<CDlgPopViewImage> viewer = bench.viewers.At(0);
    QTest::mouseClick(bench.info->DeleteButton(), Qt::LeftButton);
    QCOMPARE(bench.doc.GetCount(), size_t{0});
    QVERIFY(viewer && viewer->isVisible());

    // The chart closing empties the list; the viewer stays open, and closing it later is harmless.
    bench.view->close();
    QCOMPARE(bench.viewers.Count(), size_t{0});
    QVERIFY(viewer && viewer->isVisible());
    viewer->close();
    QTRY_VERIFY(viewer.isNull());
    QCOMPARE(bench.viewers.Count(), size_t{0});
}

int RunViewerTest(int argc, char** argv) {
    ViewerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ViewerTest.moc"
