#include "inspect/CDlgBarPreView.h"
#include "dialog/DialogUnits.h"
#include "photo/PropertyText.h"
#include "tests/inspect/PanelBench.h"

#include <opencv2/core.hpp>

#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

using kestory::test::JpegBuilder;

namespace {

QString Cell(const QTreeWidget* list, int row, int column) {
    return list->topLevelItem(row)->text(column);
}

// "キヤノン" in code page 932, as a Japanese camera writes it.
const std::string kCanonCp932 = "\x83\x4c\x83\x84\x83\x6d\x83\x93";

}  // namespace

class InfoPanelTest : public QObject {
    Q_OBJECT

private slots:
    void startsEmptyWithTheTemplatesControls();
    void showsRowsAndExposureTextOfTheSelectedPhoto();
    void exposureTextSignsNegativeZeroAndMissingValues();
    void sameRecordOrNullChangesNothing();
    void previewIsACopyWithPicturesOfItsOwn();
    void previewCentresLandscapeDownAndPortraitAcross();
    void cameraTextsShowUnpaddedWithCutOnesInToolTips_data();
    void cameraTextsShowUnpaddedWithCutOnesInToolTips();
    void deleteEmptiesThePanelAndASecondDeleteDoesNothing();
    void magnifyWithNothingShownOpensNothing();
    void deleteAsksBeforeRemovingASelectionOfSeveral();
};

void InfoPanelTest::startsEmptyWithTheTemplatesControls() {
    PanelBench bench;
    CDlgBarPreView& panel = *bench.info;
    QCOMPARE(panel.size(), QSize(237, 570));
    // Both panels' 8-point texts unhinted, so "-0.7 ステップ" keeps its full stop.
    for (const QWidget* widget : {static_cast<QWidget*>(&panel), static_cast<QWidget*>(panel.PropertyList()),
                                  static_cast<QWidget*>(bench.control)}) {
        QCOMPARE(widget->font().pointSize(), 8);
        QCOMPARE(widget->font().hintingPreference(), QFont::PreferNoHinting);
    }
    QCOMPARE(panel.PreviewSide(), 237);
    QTreeWidget* list = panel.PropertyList();
    QCOMPARE(list->columnCount(), 2);
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("プロパティ"));
    QCOMPARE(list->headerItem()->text(1), QStringLiteral("値"));
    QCOMPARE(list->columnWidth(0), 107);
    QCOMPARE(list->columnWidth(1), 120);
    QCOMPARE(list->geometry(), kestory::DluRect(2, 179, 154, 171));
    QCOMPARE(panel.MagnifyButton()->text(), QStringLiteral("拡大"));
    QCOMPARE(panel.DeleteButton()->text(), QStringLiteral("削除"));
    QCOMPARE(list->topLevelItemCount(), 0);
    QVERIFY(panel.ExposureText().isEmpty());
    QVERIFY(panel.SelectedPhoto() == nullptr);
    QStringList labels;
    for (const QLabel* label : panel.findChildren<QLabel*>()) {
        labels << label->text();
    }
    QVERIFY(labels.contains(QStringLiteral("撮影記録")));
    QVERIFY(labels.contains(QStringLiteral("ＥＶ値")));

    // Plain button face while nothing is shown.
    const QImage shot = panel.grab().toImage();
    const QRgb face = panel.palette().color(QPalette::Button).rgb();
    QCOMPARE(shot.pixel(118, 118), face);
    QCOMPARE(shot.pixel(118, 230), face);
}

void InfoPanelTest::showsRowsAndExposureTextOfTheSelectedPhoto() {
    PanelBench bench;
    PhotoItem& photo = bench.Import(QStringLiteral("f8.jpg"));
    QTest::mouseClick(bench.view->viewport(), Qt::LeftButton, {}, bench.Reveal(photo));
    QCOMPARE(bench.info->SelectedPhoto(), &photo);

    QTreeWidget* list = bench.info->PropertyList();
    QCOMPARE(list->topLevelItemCount(), 18);
    QCOMPARE(Cell(list, 0, 0), QStringLiteral("カメラメーカー"));
    QCOMPARE(Cell(list, 0, 1), QStringLiteral("Canon"));
    QCOMPARE(Cell(list, 1, 1), QStringLiteral("Canon EOS 5D Mark II"));
    // No Software in the file: the row is there with an empty value.
    QCOMPARE(Cell(list, 2, 0), QStringLiteral("ソフトウェア"));
    QCOMPARE(Cell(list, 2, 1), QString());
    QCOMPARE(Cell(list, 3, 0), QStringLiteral("絞り値"));
    QCOMPARE(Cell(list, 3, 1), QStringLiteral("F/8.0"));
    QCOMPARE(Cell(list, 4, 0), QStringLiteral("シャッター速度"));
    QCOMPARE(Cell(list, 4, 1), QStringLiteral("1/125 秒"));
    QCOMPARE(Cell(list, 5, 0), QStringLiteral("感度"));
    QCOMPARE(Cell(list, 5, 1), QStringLiteral("ISO400"));
    QCOMPARE(Cell(list, 16, 0), QStringLiteral("撮影日時"));
    QCOMPARE(Cell(list, 16, 1), QStringLiteral("2011/01/02 03:04:05"));
    QCOMPARE(bench.info->ExposureText(), QStringLiteral("EV=11.0\n6.0AV+7.0TV\n-2.0(感度補正)"));

    // Texts a Japanese camera wrote in code page 932 are shown decoded.
    PhotoItem& japanese =
        bench.Import(QStringLiteral("cp932.jpg"), PanelBench::Exposure(125, 8, 1, 400, kCanonCp932));
    bench.info->ShowPhoto(&japanese);
    QCOMPARE(Cell(list, 0, 1), QStringLiteral("キヤノン"));
    QCOMPARE(list->topLevelItemCount(), 18);
}

void InfoPanelTest::exposureTextSignsNegativeZeroAndMissingValues() {
    PanelBench bench;
    const auto text = [&](const QString& name, const JpegBuilder& builder) {
        return QString::fromStdString(CDlgBarPreView::FormatExposureText(bench.Import(name, builder)));
    };
    QCOMPARE(text(QStringLiteral("iso100.jpg"), PanelBench::Exposure(125, 8, 1, 100)),
             QStringLiteral("EV=13.0\n6.0AV+7.0TV\n-0.0(感度補正)"));
    QCOMPARE(text(QStringLiteral("iso50.jpg"), PanelBench::Exposure(125, 8, 1, 50)),
             QStringLiteral("EV=14.0\n6.0AV+7.0TV\n+1.0(感度補正)"));
    // 2 s: a negative TV carries its own sign.
    JpegBuilder slow;
    slow.exposureTime(2, 1).fNumber(8, 1).isoSpeed(100).patternPicture(64, 48);
    QCOMPARE(text(QStringLiteral("slow.jpg"), slow), QStringLiteral("EV=5.0\n6.0AV-1.0TV\n-0.0(感度補正)"));
    // No ISO speed: EV and the correction are not finite.
    QCOMPARE(text(QStringLiteral("noiso.jpg"), PanelBench::Exposure(125, 8, 1, 0)),
             QStringLiteral("EV=---\n6.0AV+7.0TV\n---(感度補正)"));
    QCOMPARE(CDlgBarPreView::FormatExposureText(PhotoItem()), std::string());
}

void InfoPanelTest::sameRecordOrNullChangesNothing() {
    PanelBench bench;
    PhotoItem& photo = bench.Import(QStringLiteral("a.jpg"));
    bench.info->ShowPhoto(&photo);
    QTreeWidget* list = bench.info->PropertyList();
    list->topLevelItem(0)->setText(1, QStringLiteral("untouched"));

    bench.info->ShowPhoto(&photo);
    QCOMPARE(Cell(list, 0, 1), QStringLiteral("untouched"));
    // A click on empty chart hands null over.
    QTest::mouseClick(bench.view->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(bench.info->SelectedPhoto(), &photo);
    QCOMPARE(Cell(list, 0, 1), QStringLiteral("untouched"));
    QCOMPARE(list->topLevelItemCount(), 18);
}

void InfoPanelTest::previewIsACopyWithPicturesOfItsOwn() {
    PanelBench bench;
    PhotoItem& photo = bench.Import(QStringLiteral("a.jpg"));
    bench.info->ShowPhoto(&photo);
    const PhotoItem& preview = bench.info->PreviewPhoto();
    QCOMPARE(preview.exposureValid, 1);
    QVERIFY(preview.thumbnail.image.data != photo.thumbnail.image.data);
    const Rect fitted = preview.drawRect;
    QCOMPARE(fitted.width(), 237);

    bench.doc.settings.magnify = 300;
    bench.view->LayoutPhotos();
    QCOMPARE(preview.drawRect, fitted);
    QCOMPARE(preview.displayImage.image.cols, 237);

    // Charted from the EXIF thumbnail it carries (a bright one, as an edited photo may keep): the
    // preview is the photo decoded, and the chart gets that picture too.
    kestory::test::JpegBuilder carried = PanelBench::Standard();
    carried.picture(cv::Mat(300, 400, CV_8UC3, cv::Scalar(20, 20, 20)))
        .exifThumbnail(kestory::test::EncodeJpeg(cv::Mat(120, 160, CV_8UC3, cv::Scalar(230, 230, 230))));
    PhotoItem& edited = bench.Import(QStringLiteral("edited.jpg"), carried);
    QCOMPARE(edited.ThumbnailPicture(&bench.doc.Pictures())->source, PictureSource::Embedded);
    bench.info->ShowPhoto(&edited);
    QCOMPARE(bench.info->PreviewPhoto().thumbnail.source, PictureSource::Decoded);
    QVERIFY(cv::mean(bench.info->PreviewPhoto().thumbnail.image)[0] < 40);
    QCOMPARE(edited.ThumbnailPicture(&bench.doc.Pictures())->source, PictureSource::Decoded);
}

void InfoPanelTest::previewCentresLandscapeDownAndPortraitAcross() {
    PanelBench bench;
    const QRgb face = bench.info->palette().color(QPalette::Button).rgb();

    // 64 x 48 fits as 237 x 177, 30 pixels down.
    bench.info->ShowPhoto(&bench.Import(QStringLiteral("landscape.jpg")));
    QCOMPARE(bench.info->PreviewPictureRect(), (Rect{0, 30, 237, 207}));
    QImage shot = bench.info->grab().toImage();
    QCOMPARE(shot.pixel(118, 20), face);
    QVERIFY(shot.pixel(118, 40) != face);
    QVERIFY(shot.pixel(118, 200) != face);
    // The file name sits over the bottom edge of the square, below the picture here.
    int nameInk = 0;
    for (int y = 208; y < 237; ++y) {
        for (int x = 60; x < 177; ++x) {
            nameInk += shot.pixel(x, y) != face ? 1 : 0;
        }
    }
    QVERIFY(nameInk > 20);
    QCOMPARE(shot.pixel(2, 233), face);

    // 48 x 64 fits above the file name's line, centred across; the line stays clear of it.
    JpegBuilder portrait = PanelBench::Standard();
    portrait.patternPicture(48, 64);
    bench.info->ShowPhoto(&bench.Import(QStringLiteral("portrait.jpg"), portrait));
    const int nameTop = 237 - bench.info->NameLineHeight();
    const Rect upright = bench.info->PreviewPictureRect();
    QCOMPARE(upright.top, 0);
    QCOMPARE(upright.bottom, nameTop);
    QCOMPARE(upright.left, (237 - upright.width()) / 2);
    QVERIFY(upright.width() < nameTop);
    shot = bench.info->grab().toImage();
    QCOMPARE(shot.pixel(upright.left - 4, 118), face);
    QCOMPARE(shot.pixel(upright.right + 4, 118), face);
    QVERIFY(shot.pixel(upright.left + 4, 118) != face);
    // Beside the centred name, inside the picture's columns.
    QCOMPARE(shot.pixel(upright.left + 4, 234), face);
}

void InfoPanelTest::cameraTextsShowUnpaddedWithCutOnesInToolTips_data() {
    QTest::addColumn<QString>("make");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("toolTip");
    QTest::newRow("short") << "Canon" << "Canon" << false;
    QTest::newRow("padded") << "PENTAX                  " << "PENTAX" << false;
    QTest::newRow("long, padded") << "OLYMPUS IMAGING CORP.  " << "OLYMPUS IMAGING CORP." << true;
    QTest::newRow("spaces only") << "    " << "" << false;
}

void InfoPanelTest::cameraTextsShowUnpaddedWithCutOnesInToolTips() {
    QFETCH(QString, make);
    QFETCH(QString, shown);
    QFETCH(bool, toolTip);
    PanelBench bench;
    PhotoItem& photo = bench.Import(QStringLiteral("make.jpg"), PanelBench::Exposure(125, 8, 1, 400, make.toStdString()));
    bench.info->ShowPhoto(&photo);
    QTreeWidget* list = bench.info->PropertyList();
    QCOMPARE(Cell(list, 0, 1), shown);
    QCOMPARE(list->topLevelItem(0)->toolTip(1), toolTip ? shown : QString());
    // The record keeps the bytes as read, padding and all.
    PropertyText stored;
    photo.GetPropertyText(0x010F, stored);
    QCOMPARE(QString::fromStdString(stored.displayValue), make);
    // The date and time fill more than the value column.
    QCOMPARE(list->topLevelItem(16)->toolTip(1), Cell(list, 16, 1));
    QCOMPARE(list->topLevelItem(16)->toolTip(0), QString());

    // A column widened by the user cuts nothing.
    list->setColumnWidth(1, 400);
    QCOMPARE(list->topLevelItem(0)->toolTip(1), QString());
    QCOMPARE(list->topLevelItem(16)->toolTip(1), QString());
}

void InfoPanelTest::deleteEmptiesThePanelAndASecondDeleteDoesNothing() {
    PanelBench bench;
    PhotoItem& keep = bench.Import(QStringLiteral("keep.jpg"), PanelBench::Exposure(30, 4, 1, 400));
    PhotoItem& gone = bench.Import(QStringLiteral("gone.jpg"));
    const Rect keptPlace = keep.drawRect;
    QTest::mouseClick(bench.view->viewport(), Qt::LeftButton, {}, bench.Reveal(gone));
    QCOMPARE(bench.info->SelectedPhoto(), &gone);

    QTest::mouseClick(bench.info->DeleteButton(), Qt::LeftButton);
    QCOMPARE(bench.doc.GetCount(), size_t{1});
    QCOMPARE(&bench.doc.GetAt(0), &keep);
    QCOMPARE(keep.drawRect, keptPlace);
    QVERIFY(bench.info->SelectedPhoto() == nullptr);
    QCOMPARE(bench.info->PreviewPhoto().exposureValid, 0);
    QVERIFY(bench.info->PreviewPhoto().thumbnail.Empty());
    QCOMPARE(bench.info->PropertyList()->topLevelItemCount(), 0);
    QVERIFY(bench.info->ExposureText().isEmpty());

    QTest::mouseClick(bench.info->DeleteButton(), Qt::LeftButton);
    QCOMPARE(bench.doc.GetCount(), size_t{1});
    QVERIFY(bench.info->DeleteButton()->isEnabled());
    QVERIFY(bench.info->MagnifyButton()->isEnabled());
}

void InfoPanelTest::magnifyWithNothingShownOpensNothing() {
    PanelBench bench;
    bench.Import(QStringLiteral("a.jpg"));
    QTest::mouseClick(bench.info->MagnifyButton(), Qt::LeftButton);
    QCOMPARE(bench.viewers.Count(), size_t{0});
    QVERIFY(bench.notifier.messages.empty());
}

void InfoPanelTest::deleteAsksBeforeRemovingASelectionOfSeveral() {
    PanelBench bench;
    PhotoItem& a = bench.Import(QStringLiteral("a.jpg"));
    PhotoItem& b = bench.Import(QStringLiteral("b.jpg"), PanelBench::Exposure(30, 4, 1, 400));
    PhotoItem& c = bench.Import(QStringLiteral("c.jpg"), PanelBench::Exposure(500, 16, 1, 400));
    QStringList asked;
    int answer = QMessageBox::No;
    bench.info->SetAsk([&](QMessageBox& box) {
        asked << box.text();
        return box.standardButtons() == (QMessageBox::Yes | QMessageBox::No) ? answer : -1;
    });
    for (const int given : {int(QMessageBox::No), int(QMessageBox::Yes)}) {
        answer = given;
        bench.doc.SelectPhotos({&c, &a}, false);
        emit bench.view->selectionChanged();
        QCOMPARE(bench.info->SelectedPhoto(), &a);
        QTest::mouseClick(bench.info->DeleteButton(), Qt::LeftButton);
    }
    QCOMPARE(asked, QStringList(2, QStringLiteral("選択した 2 枚の写真を削除しますか？")));
    QCOMPARE(bench.doc.GetCount(), size_t{1});
    QCOMPARE(bench.doc.SelectedCount(), size_t{0});
    QVERIFY(bench.info->SelectedPhoto() == nullptr);
    QVERIFY(bench.info->SelectionText()->isHidden());

    // One selected photo goes as a clicked one always went: at once.
    bench.doc.SelectPhotos({&b}, false);
    emit bench.view->selectionChanged();
    QTest::mouseClick(bench.info->DeleteButton(), Qt::LeftButton);
    QCOMPARE(asked.size(), 2);
    QCOMPARE(bench.doc.GetCount(), size_t{0});
}

int RunInfoPanelTest(int argc, char** argv) {
    InfoPanelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "InfoPanelTest.moc"
