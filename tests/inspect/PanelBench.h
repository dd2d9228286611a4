#pragma once

#include "chart/CLumivaneView.h"
#include "collection/CLumivaneDoc.h"
#include "collection/Notifier.h"
#include "inspect/CDlgBarPreView.h"
#include "inspect/ViewerList.h"
#include "shell/CDlgBarControl.h"
#include "tests/support/JpegBuilder.h"

#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <QTemporaryDir>

#include <string>
#include <vector>

class RecordingNotifier : public Notifier {
public:
    void Notify(const std::string& utf8Text, Icon) override { messages.push_back(utf8Text); }
    std::vector<std::string> messages;
};

// A main window as the program builds it: the chart in the middle, both panels docked, the
// viewers owned by the window, and the chart's signals wired to the panels and the viewer list.
struct PanelBench {
    PanelBench();
    ~PanelBench();

    // A file in the bench's folder; the photo F8, 1/125 s, ISO 400 unless a builder is given.
    std::string Write(const QString& name, const kestory::test::JpegBuilder& builder = Standard());
    // Written, imported and laid out; the document's record.
    PhotoItem& Import(const QString& name, const kestory::test::JpegBuilder& builder = Standard());

    // Scrolls the photo into sight and gives the viewport point at the centre of its drawRect.
    QPoint Reveal(const PhotoItem& photo);
    // A viewport point for a chart point at the current scroll position.
    QPoint ToViewport(int x, int y) const;
    // The left button pressed at one viewport point, moved to the other and released there.
    void Drag(const QPoint& from, const QPoint& to, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    static kestory::test::JpegBuilder Standard();
    static kestory::test::JpegBuilder Exposure(uint32_t timeDen, uint32_t fNum, uint32_t fDen, uint16_t iso,
                                              const std::string& make = "Canon");

    QTemporaryDir dir;
    RecordingNotifier notifier;
    CLumivaneDoc doc{notifier};
    ViewerList viewers{notifier};
    QMainWindow window;
    CLumivaneView* view = nullptr;
    CDlgBarPreView* info = nullptr;
    CDlgBarControl* control = nullptr;
    int imports = 0;
};

// Marks every photo's drawRect, so that a layout afterwards shows as a changed rectangle.
void MarkLayout(CLumivaneDoc& doc);
bool LaidOutSinceMark(const CLumivaneDoc& doc);
