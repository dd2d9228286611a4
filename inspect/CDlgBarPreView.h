#pragma once

#include "photo/PhotoItem.h"

#include <QString>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class CLumivaneView;
class QLabel;
class QMessageBox;
class QPaintEvent;
class QPushButton;
class QTreeWidget;
class ViewerList;

// The image-information panel: the selected photo's preview with its file name, its exposure
// values in three lines and its seventeen shooting properties. "拡大" opens the photo in a pop-up
// viewer, "削除" takes it out of the collection.
//
// The panel holds the selection: a pointer to the document's record, and a copy of that record
// whose pictures are its own, so a new chart layout does not change the preview.
//
// With a rectangle selection on the chart it shows the first selected photo and, for more than
// one, "n 枚選択" over the top of the preview; "削除" then removes the whole selection once the
// user has said yes.
class CDlgBarPreView : public QWidget {
    Q_OBJECT

public:
    // Runs the question and returns the button pressed (QMessageBox::StandardButton).
    using AskFunction = std::function<int(QMessageBox& question)>;

    // The view's document is where "削除" removes the photo; the view is repainted after it.
    CDlgBarPreView(CLumivaneView& view, ViewerList& viewers, QWidget* parent = nullptr);
    ~CDlgBarPreView() override;

    // Shows the record; null and the record already shown are ignored, so a click on empty chart
    // keeps the selection.
    void ShowPhoto(PhotoItem* photo);
    // Nothing selected, the preview's pictures released, the list and the exposure text emptied.
    void ClearPhoto();

    const PhotoItem* SelectedPhoto() const { return selectedPhoto; }
    const PhotoItem& PreviewPhoto() const { return previewPhoto; }
    QTreeWidget* PropertyList() const { return propertyList; }
    QString ExposureText() const;
    QPushButton* MagnifyButton() const { return magnifyButton; }
    QPushButton* DeleteButton() const { return deleteButton; }
    // "n 枚選択", shown while more than one photo is selected.
    QLabel* SelectionText() const { return selectionText; }

    // How "削除" asks before removing a selection of several photos; by default the box is modal.
    void SetAsk(AskFunction function);
    // The Yes/No question "選択した n 枚の写真を削除しますか？", not yet shown.
    static std::unique_ptr<QMessageBox> MakeDeleteSelectionQuestion(size_t count, QWidget* parent);

    // The three lines "EV=11.0", "6.0AV+7.0TV", "-2.0(感度補正)"; a value that is not finite reads
    // "---". Negative zero keeps its sign ("-0.0(感度補正)").
    static std::string FormatExposureText(const PhotoItem& photo);

    // Where the preview is painted: the top-left square of the panel.
    int PreviewSide() const;
    // The file name's line at the bottom of that square, in pixels.
    int NameLineHeight() const;
    // The preview picture's place in that square: centred left to right, and top to bottom in the
    // square, or in the part above the file name's line where it would reach into that line.
    Rect PreviewPictureRect() const;

public slots:
    // After the chart changed the document's selection: its first photo is shown (an ended
    // selection leaves the photo shown), and the count while there are several.
    void ShowSelection();
    void OnMagnify();
    void OnDelete();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void FillPropertyList();
    // A cell whose text the column cuts shows the whole text as its tool tip.
    void UpdateCutToolTips();

    CLumivaneView& view;
    ViewerList& viewers;
    PhotoItem* selectedPhoto = nullptr;  // the document's record; not owned
    PhotoItem previewPhoto;              // exposureValid 1 while a photo is shown
    QTreeWidget* propertyList = nullptr;
    QLabel* exposureText = nullptr;
    QPushButton* magnifyButton = nullptr;
    QPushButton* deleteButton = nullptr;
    QLabel* selectionText = nullptr;
    AskFunction ask;
};
