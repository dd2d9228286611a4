#include "tests/inspect/PanelBench.h"

#include <QDir>

#include <QDockWidget>
#include <QScrollBar>
#include <QtTest>

#include <algorithm>

using kestory::test::JpegBuilder;
using kestory::test::kExifDirectory;

namespace {
const Rect kLayoutMark{-7, -7, -6, -6};
}

PanelBench::PanelBench() {
    view = new CLumivaneView(doc);
    window.setCentralWidget(view);
    info = new CDlgBarPreView(*view, viewers);
    control = new CDlgBarControl(*view);
    auto* infoDock = new QDockWidget(QStringLiteral("画像情報表示パネル"), &window);
    infoDock->setWidget(info);
    auto* controlDock = new QDockWidget(QStringLiteral("表示設定パネル"), &window);
    controlDock->setWidget(control);
    window.addDockWidget(Qt::RightDockWidgetArea, infoDock);
    window.splitDockWidget(infoDock, controlDock, Qt::Horizontal);

    viewers.SetOwner(&window);
    QObject::connect(view, &CLumivaneView::photoClicked, info, &CDlgBarPreView::ShowPhoto);
    QObject::connect(view, &CLumivaneView::viewerRequested, &viewers, &ViewerList::OpenViewer);
    QObject::connect(view, &CLumivaneView::magnifyChanged, control, &CDlgBarControl::SetMagnify);
    QObject::connect(view, &CLumivaneView::closing, &viewers, &ViewerList::Clear);
    QObject::connect(view, &CLumivaneView::selectionChanged, info, &CDlgBarPreView::ShowSelection);

    window.resize(1000, 640);
    window.move(40, 30);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        qWarning("the bench window was not exposed");
    }
    control->InitControls();
    control->SetInfoPanel(info);
}

PanelBench::~PanelBench() = default;

JpegBuilder PanelBench::Exposure(uint32_t timeDen, uint32_t fNum, uint32_t fDen, uint16_t iso,
                                   const std::string& make) {
    JpegBuilder b;
    b.make(make).model("Canon EOS 5D Mark II").exposureTime(1, timeDen).fNumber(fNum, fDen);
    if (iso != 0) {
        b.isoSpeed(iso);
    }
    b.ascii(kExifDirectory, 0x9003, "2011:01:02 03:04:05").patternPicture(64, 48);
    return b;
}

JpegBuilder PanelBench::Standard() {
    return Exposure(125, 8, 1, 400);
}

std::string PanelBench::Write(const QString& name, const JpegBuilder& builder) {
    const std::string path = dir.filePath(name).toStdString();
    if (!builder.writeTo(path)) {
        qWarning("could not write %s", path.c_str());
    }
    return path;
}

PhotoItem& PanelBench::Import(const QString& name, const JpegBuilder& builder) {
    // Each import a folder of its own: the collection charts a file once, so a name used again
    // would replace the photo instead of adding one.
    const QString folder = QStringLiteral("import%1").arg(imports++);
    QDir(dir.path()).mkpath(folder);
    const int added = doc.AddPhoto(Write(folder + QLatin1Char('/') + name, builder));
    if (added != 1) {
        qFatal("the photo %s was refused", qPrintable(name));
    }
    view->LayoutPhotos();
    view->InvalidateChart();
    return doc.GetAt(doc.GetCount() - 1);
}

QPoint PanelBench::Reveal(const PhotoItem& photo) {
    const Rect& r = photo.drawRect;
    view->horizontalScrollBar()->setValue(std::max(0, r.left - 20));
    view->verticalScrollBar()->setValue(std::max(0, r.top - 20));
    return ToViewport((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

QPoint PanelBench::ToViewport(int x, int y) const {
    return QPoint(x, y) - view->ScrollPosition();
}

void PanelBench::Drag(const QPoint& from, const QPoint& to, Qt::KeyboardModifiers modifiers) {
    QTest::mousePress(view->viewport(), Qt::LeftButton, modifiers, from);
    QTest::mouseMove(view->viewport(), (from + to) / 2);
    QTest::mouseMove(view->viewport(), to);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, modifiers, to);
}

void MarkLayout(CLumivaneDoc& doc) {
    for (const auto& photo : doc.Photos()) {
        photo->drawRect = kLayoutMark;
    }
}

bool LaidOutSinceMark(const CLumivaneDoc& doc) {
    return std::any_of(doc.Photos().begin(), doc.Photos().end(),
                       [](const auto& photo) { return photo->drawRect != kLayoutMark; });
}
