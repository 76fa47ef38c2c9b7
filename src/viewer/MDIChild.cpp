#include "viewer/MDIChild.h"

#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QStatusBar>
#include <QVBoxLayout>

#include "shell/Main.h"
#include "viewer/TDraftel.h"
#include "viewer/ViewCommands.h"

namespace kelvaro::viewer {

TMDIChild::TMDIChild(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  viewer_ = new TDraftel(this);
  layout->addWidget(viewer_);
}

TDraftel* activeViewer(TMainForm& main) {
  QMdiSubWindow* sub = main.mdiArea()->activeSubWindow();
  if (childKind(sub) != ChildKind::Drawing) return nullptr;
  auto* child = qobject_cast<TMDIChild*>(sub->widget());
  return child ? child->viewer() : nullptr;
}

TDraftel* openDrawingWindow(TMainForm& main, const QString& path) {
  auto* child = new TMDIChild;
  TDraftel* v = child->viewer();
  const MainSettings& s = main.settings();
  v->LineColor = s.lineColor == 0 ? TLineColor::Black : TLineColor::White;
  v->AllBlack = s.allBlack;
  v->Grayscale = s.grayscale;
  // Stored colours are 0x00BBGGRR.
  v->setBackColor(QColor(int(s.backColor & 0xFF), int((s.backColor >> 8) & 0xFF), int((s.backColor >> 16) & 0xFF)));
  v->SetQuickTextAtOpen(s.quickText ? 1 : 0);
  v->SetCurveQuality(s.curveQuality);
  v->setEnableCADMenu(true);
  for (const QString& f : s.supportFolders) v->session().searchFolders.push_back(f.toStdString());
  QPointer<TMainForm> frame(&main);
  QObject::connect(v, &TDraftel::fileNameChanged, &main, [frame](const QString& name) {
    if (frame) frame->UM_FILENAMECHANGED(name);
  });
  QObject::connect(v, &TDraftel::cursorMoved, &main, [frame](double x, double y) {
    if (frame) frame->UM_CURSORMOVED(x, y);
  });
  QObject::connect(v, &TDraftel::redrawTimed, &main, [frame](double secs) {
    if (frame) frame->UM_REDRAWTIMED(secs);
  });
  QObject::connect(v, &TDraftel::loadProgress, &main, [frame, path](int percent) {
    if (!frame) return;
    if (percent < 0) frame->statusBar()->clearMessage();
    else frame->statusBar()->showMessage(QString("Opening %1: %2%").arg(path).arg(percent));
  });
  child->resize(main.mdiArea()->viewport()->size());
  if (v->OpenDrawing(path) != 1) {
    delete child;
    return nullptr;
  }
  main.addChild(child, ChildKind::Drawing, path);
  return v;
}

namespace {
// Opens the drawings of the command line when the main window first becomes active.
class FirstActivation : public QObject {
 public:
  FirstActivation(TMainForm& main, QStringList files) : QObject(&main), main_(main), files_(std::move(files)) {}
  bool eventFilter(QObject* o, QEvent* e) override {
    if (o == &main_ && e->type() == QEvent::WindowActivate && !files_.isEmpty()) {
      const QStringList files = std::exchange(files_, {});
      for (const QString& f : files) openDrawingWindow(main_, f);
    }
    return false;
  }

 private:
  TMainForm& main_;
  QStringList files_;
};
}  // namespace

void installDrawingWindows(TMainForm& main, const QStringList& files) {
  auto on = [&main](const char* name, auto fn) {
    if (QAction* a = main.action(name)) QObject::connect(a, &QAction::triggered, &main, [&main, fn] {
        if (TDraftel* v = activeViewer(main)) fn(*v);
      });
  };
  on("FileSaveAs1", [](TDraftel& v) { v.session().binaryDxf = false; v.SaveDrawingAs(); });
  on("vLayouts", [](TDraftel& v) { v.ShowLayouts(); });
  on("vQuickText", [](TDraftel& v) { v.SetQuickText(!v.quickText()); });
  on("opDrawingInfo", [](TDraftel& v) { v.ShowDrawingInfo(); });
  on("vRefresh", [](TDraftel& v) { v.Refresh(); });
  on("ZoomExtents", [](TDraftel& v) { v.ZoomExtents(); });
  on("ZoomIn", [](TDraftel& v) { v.ZoomIn(); });
  on("ZoomOut", [](TDraftel& v) { v.ZoomOut(); });
  on("ZoomPrevious", [](TDraftel& v) { v.ZoomPrevious(); });
  installViewCommands(main);
  if (!files.isEmpty()) main.installEventFilter(new FirstActivation(main, files));
}

}  // namespace kelvaro::viewer
