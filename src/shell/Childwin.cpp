#include "shell/Childwin.h"
#include "shell/ViewCommands.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QStatusBar>
#include <QVBoxLayout>

#include "platform/notify.h"
#include "shadow/Profile.h"
#include "shell/ChildWin3.h"
#include "shell/Main.h"
#include "shell/fexplore.h"
#include "viewer/TDraftel.h"

namespace kelvaro {

using viewer::TDraftel;

namespace {
QColor storedColour(std::uint32_t bgr) {
  // Stored colours are 0x00BBGGRR.
  return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

// Restores the cursor however the load ends.
struct WaitCursor {
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};
}  // namespace

// --- the drawing window ------------------------------------------------------------------------

TMDIChild::TMDIChild(TMainForm& main, QWidget* parent) : QWidget(parent), main_(main) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  viewer_ = new TDraftel(this);
  viewer_->LineColor = viewer::TLineColor::Black;
  viewer_->setBackColor(QColor(0xC0, 0xC0, 0xC0));
  viewer_->setEnableCADMenu(false);
  viewer_->PrintHelpContext = 12;
  layout->addWidget(viewer_);
  QPointer<TMainForm> frame(&main);
  connect(viewer_, &TDraftel::fileNameChanged, this, [frame](const QString& name) {
    if (frame) frame->UM_FILENAMECHANGED(name);
  });
  connect(viewer_, &TDraftel::cursorMoved, this, [frame](double x, double y) {
    if (frame) frame->UM_CURSORMOVED(x, y);
  });
  connect(viewer_, &TDraftel::redrawTimed, this, [frame](double secs) {
    if (frame) frame->UM_REDRAWTIMED(secs);
  });
}

QString TMDIChild::caption() const {
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) return sub->windowTitle();
  return windowTitle();
}

QString TMDIChild::drawingName() const {
  const QString file = viewer_->currentFileName();
  return file.isEmpty() ? caption() : file;
}

void TMDIChild::closeEvent(QCloseEvent* e) {
  const std::string name = caption().toStdString();
  std::string question;
  if (viewer_->modified()) question = "Drawing " + name + " has been modified. Do you want to save it?";
  else if (viewer_->neverSaved()) question = "Do you want to save " + name + "?";
  if (!question.empty()) {
    const MsgAnswer a = showMessage({MsgKind::Confirmation, question, {}, MsgButtons::YesNoCancel});
    if (a == MsgAnswer::Cancel || (a == MsgAnswer::Yes && viewer_->SaveDrawingAs() == 0)) {
      e->ignore();
      return;
    }
  }
  main_.PromoteInHistory(drawingName());
  main_.UM_HISTORYCHANGED();
  e->accept();
}

void TMDIChild::keyPressEvent(QKeyEvent* e) {
  const char* command = e->key() == Qt::Key_Left ? "WindowPrevious" : e->key() == Qt::Key_Right ? "WindowNext" : nullptr;
  if (command && e->modifiers() == Qt::NoModifier) {
    if (QAction* a = main_.action(command)) a->trigger();
    e->accept();
    return;
  }
  QWidget::keyPressEvent(e);
}

// --- opening ---------------------------------------------------------------------------------------

TDraftel* activeViewer(TMainForm& main) {
  QMdiSubWindow* sub = main.mdiArea()->activeSubWindow();
  if (childKind(sub) != ChildKind::Drawing) return nullptr;
  auto* child = qobject_cast<TMDIChild*>(sub->widget());
  return child ? child->viewer() : nullptr;
}

QMdiSubWindow* findChildByCaption(TMainForm& main, const QString& caption) {
  for (QMdiSubWindow* w : main.mdiArea()->subWindowList())
    if (w->windowTitle() == caption) return w;
  return nullptr;
}

namespace {
// A drawing window's child the main window adds once the drawing is loaded.
QMdiSubWindow* addDrawingChild(TMainForm& main, TMDIChild* child, const QString& caption) {
  QMdiSubWindow* sub = main.addChild(child, ChildKind::Drawing, caption);
  // The panel is redrawn whenever its window becomes the active one.
  QObject::connect(sub, &QMdiSubWindow::windowStateChanged, child, [child](Qt::WindowStates before, Qt::WindowStates now) {
    if ((now & Qt::WindowActive) && !(before & Qt::WindowActive)) child->viewer()->Redraw();
  });
  return sub;
}
}  // namespace

TDraftel* OpenDrawingWindow(TMainForm& main, const QString& name) {
  if (QMdiSubWindow* open = findChildByCaption(main, name)) {
    main.mdiArea()->setActiveSubWindow(open);
    auto* child = qobject_cast<TMDIChild*>(open->widget());
    return child ? child->viewer() : nullptr;
  }
  auto* child = new TMDIChild(main);
  TDraftel* v = child->viewer();
  const MainSettings& s = main.settings();
  v->LineColor = s.lineColor == 0xFFFFFF ? viewer::TLineColor::White : viewer::TLineColor::Black;
  v->AllBlack = s.allBlack;
  v->Grayscale = s.grayscale;
  v->setBackColor(storedColour(s.backColor));
  v->SetQuickTextAtOpen(s.quickText ? 1 : 0);
  v->showSaveAs = v->showPrint = true;
  v->setEnableCADMenu(true);
  for (const QString& f : s.supportFolders) v->session().searchFolders.push_back(f.toStdString());
  v->SetCurveQuality(s.curveQuality);
  v->RegPathPRINT = "Software\\Dravenco\\Kelvaro\\CADPrint";
  QPointer<TMainForm> frame(&main);
  QObject::connect(v, &TDraftel::loadProgress, &main, [frame, name](int percent) {
    if (!frame) return;
    if (percent < 0) frame->statusBar()->clearMessage();
    else frame->statusBar()->showMessage(QString("Opening %1: %2%").arg(name).arg(percent));
  });
  child->resize(main.mdiArea()->viewport()->size());
  if (v->OpenDrawing(name) <= 0) {
    delete child;
    return nullptr;
  }
  main.setToolkitReady(true);
  addDrawingChild(main, child, name);
  main.SetCommandState(CommandState::Drawing);
  main.PromoteInHistory(name);
  main.RebuildHistoryMenu();
  return v;
}

TDraftel* OpenDrawingWindowWaiting(TMainForm& main, const QString& name) {
  if (findChildByCaption(main, name)) return OpenDrawingWindow(main, name);
  QCoreApplication::processEvents();
  WaitCursor wait;
  return OpenDrawingWindow(main, name);
}

QMdiSubWindow* OpenDiagramWindow(TMainForm& main, const QString& caption, bool horizontal, const ShadowProfile& profile) {
  auto* child = new TMDIChild(main);
  TDraftel* v = child->viewer();
  v->LineColor = main.settings().lineColor == 0xFFFFFF ? viewer::TLineColor::White : viewer::TLineColor::Black;
  v->setBackColor(storedColour(main.settings().backColor));
  child->resize(main.mdiArea()->viewport()->size());
  QMdiSubWindow* sub = addDrawingChild(main, child, caption);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  // A failed build leaves the window open and empty; the builder has said why.
  if (horizontal) v->CreateHorizontalDiagram(caption, profile);
  else v->CreateVerticalDiagram(caption, profile);
  return sub;
}

QString CommandLineDrawingName(const QString& argument, bool windowsRules) {
  const QString trimmed = argument.trimmed();
  if (trimmed.isEmpty()) return {};
  if (windowsRules && trimmed.startsWith("\\\\")) return trimmed.toLower();
  const QFileInfo fi(trimmed);
  const QString canonical = fi.canonicalFilePath();
  // A file that is not there keeps its full name, so the open says which file is missing.
  return QDir::toNativeSeparators(canonical.isEmpty() ? QDir::cleanPath(fi.absoluteFilePath()) : canonical);
}

// --- the main window's hooks ---------------------------------------------------------------------

namespace {
class FirstActivation : public QObject {
 public:
  FirstActivation(TMainForm& main, QStringList files) : QObject(&main), main_(main), files_(std::move(files)) {}
  bool eventFilter(QObject* o, QEvent* e) override {
    if (o == &main_ && e->type() == QEvent::WindowActivate && !done_) {
      done_ = true;
#ifdef Q_OS_WIN
      constexpr bool windowsRules = true;
#else
      constexpr bool windowsRules = false;
#endif
      for (const QString& f : std::exchange(files_, {})) {
        const QString name = CommandLineDrawingName(f, windowsRules);
        if (!name.isEmpty()) OpenDrawingWindowWaiting(main_, name);
      }
    }
    return false;
  }

 private:
  TMainForm& main_;
  QStringList files_;
  bool done_ = false;
};

void openFromDialog(TMainForm& main) {
  TfrmExplore& dialog = TfrmExplore::instance(main);
  const TfrmExplore::Result r = dialog.run();
  if (r == TfrmExplore::Result::Open) {
    const QString folder = dialog.folderPath();
    for (const QString& entry : dialog.selectedEntries()) {
      const QString full = folder + entry;
      if (QFileInfo(full).isFile()) OpenDrawingWindowWaiting(main, full);
    }
    main.settings().openDir = folder;
  } else if (r == TfrmExplore::Result::Browse) {
    ShowBrowseWindow(main, dialog.folderPath(), dialog.collectedPaths());
  }
}
}  // namespace

void installDrawingWindows(TMainForm& main, const QStringList& files) {
  auto on = [&main](const char* name, auto fn) {
    if (QAction* a = main.action(name)) QObject::connect(a, &QAction::triggered, &main, [&main, fn] {
        if (TDraftel* v = activeViewer(main)) fn(*v);
      });
  };
  on("FileSaveAs1", [&main](TDraftel& v) {
    v.session().binaryDxf = false;
    if (v.SaveDrawingAs() == 1) {
      main.PromoteInHistory(v.currentFileName());
      main.RebuildHistoryMenu();
    }
  });
  on("vLayouts", [](TDraftel& v) { v.ShowLayouts(); });
  on("vQuickText", [](TDraftel& v) { v.SetQuickText(!v.quickText()); });
  on("opDrawingInfo", [](TDraftel& v) { v.ShowDrawingInfo(); });
  on("LayerProperties", [](TDraftel& v) { v.ShowLayerProperties(); });
  on("vRefresh", [](TDraftel& v) { v.Refresh(); });
  on("ZoomExtents", [](TDraftel& v) { v.ZoomExtents(); });
  on("ZoomIn", [](TDraftel& v) { v.ZoomIn(); });
  on("ZoomOut", [](TDraftel& v) { v.ZoomOut(); });
  on("ZoomPrevious", [](TDraftel& v) { v.ZoomPrevious(); });
  installViewCommands(main);
  main.openCadFile = [&main] { openFromDialog(main); };
  main.openDrawing = [&main](const QString& name) { OpenDrawingWindow(main, name); };
  main.buildShadowDrawing = [&main](const QString& caption, bool horizontal, TfrmShadow& dialog) {
    return OpenDiagramWindow(main, caption, horizontal, dialog.Profile());
  };
  if (!files.isEmpty()) main.installEventFilter(new FirstActivation(main, files));
}

}  // namespace kelvaro
