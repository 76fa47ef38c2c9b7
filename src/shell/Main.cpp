#include "shell/Main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/version.h"
#include "platform/help.h"
#include "platform/notify.h"
#include "shadow/shadow.h"
#include "shell/Icons.h"

#if __has_include("ephemeris/LocationData.h")
#include "ephemeris/LocationData.h"
#define KELVARO_HAS_LOCATION_ATTRIBUTION 1
#endif

namespace kelvaro {
namespace {

TMainForm* g_mainForm = nullptr;

const char* kChildKindProperty = "kelvaroChildKind";
// The product's download page (opened by "Check the Web for the Latest Version...").
const char* kDownloadUrl = "https://www.dravenco.example/kelvaro/download.html";

constexpr int kHelpFeedback = 10;
constexpr int kHelpPrintingTips = 11;

// The commands the command state enables and disables (menus and buttons are added apart).
const char* const kStateCommands[] = {
    "WindowCascade1", "WindowTileHorizontal1", "WindowTileVertical1", "FileSaveAs1", "Print1", "FileClose1",
    "WindowPrevious", "WindowNext", "ZoomRectangle", "ZoomIn", "ZoomOut", "ZoomExtents", "ZoomPrevious", "Pan",
    "vRefresh", "LayerProperties", "opDrawingInfo", "vQuickText", "vLayouts", "vNamedViews", "EditCopy1"};
// Of those, the ones a browse window uses.
const char* const kBrowseCommands[] = {"WindowCascade1", "WindowTileHorizontal1", "WindowTileVertical1",
                                       "FileClose1", "WindowPrevious", "WindowNext"};

}  // namespace

void setChildKind(QMdiSubWindow* child, ChildKind kind) { child->setProperty(kChildKindProperty, int(kind)); }

ChildKind childKind(const QMdiSubWindow* child) {
  if (!child) return ChildKind::Other;
  const QVariant v = child->property(kChildKindProperty);
  return v.isValid() ? ChildKind(v.toInt()) : ChildKind::Other;
}

TMainForm* TMainForm::instance() { return g_mainForm; }

TMainForm::TMainForm(const QString& programFolder, QWidget* parent) : QMainWindow(parent) {
  // Floating-point exceptions are masked by default on this platform; nothing traps.
  g_mainForm = this;
  setWindowTitle(QString::fromUtf8(kApplicationTitle));
  setObjectName("MainForm");
  setAcceptDrops(true);
  openWebPage = [](const QUrl& page) { return QDesktopServices::openUrl(page); };
  resize(640, 475);
  if (const QScreen* s = QGuiApplication::primaryScreen()) move(s->availableGeometry().center() - rect().center());

  mdi_ = new QMdiArea(this);
  mdi_->setBackground(QColor(128, 128, 128));
  mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(mdi_);

  buildActions();
  buildMenus();
  buildToolBars();
  buildStatusBar();

  settings_.load(programFolder);
  applySettings();
  SetCommandState(CommandState::None);
}

TMainForm::~TMainForm() {
  // Children that outlive this point are freed with the frame: they must not call back.
  for (QMdiSubWindow* w : mdi_->subWindowList()) w->disconnect(this);
  help::close();
  if (isMinimized()) settings_.winState = int(WinState::Minimised);
  else if (isMaximized()) settings_.winState = int(WinState::Maximised);
  else settings_.winState = int(WinState::Normal);
  settings_.save();
  if (g_mainForm == this) g_mainForm = nullptr;
}

QAction* TMainForm::makeAction(const QString& name, const QString& caption, const QString& hint,
                               const QKeySequence& shortcut) {
  auto* a = new QAction(caption, this);
  a->setObjectName(name);
  const int bar = hint.indexOf('|');
  a->setToolTip(bar < 0 ? hint : hint.left(bar));
  a->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
  if (!shortcut.isEmpty()) a->setShortcut(shortcut);
  a->setIcon(commandIcon(name));
  a->setIconVisibleInMenu(false);
  actions_.insert(name, a);
  return a;
}

void TMainForm::buildActions() {
  auto on = [this](QAction* a, auto fn) { connect(a, &QAction::triggered, this, fn); };
  // File
  on(makeAction("FileOpen1", "&Open CAD File...", "Open|Open CAD file", QKeySequence("Ctrl+O")),
     [this] {
       if (openCadFile) openCadFile();
       else showNotAvailable("Open CAD File");
     });
  makeAction("FileSaveAs1", "Save &As...", "Save As|Save current drawing under another name or version");
  makeAction("Print1", "&Print...", "Print|Print current drawing");
  on(makeAction("FileClose1", "&Close Current Window", "Close|Close current window", QKeySequence("Ctrl+F4")),
     [this] { if (auto* w = mdi_->activeSubWindow()) w->close(); });
  on(makeAction("FileExit1", "E&xit", "Exit|Exit the program", QKeySequence("Ctrl+X")), [this] { close(); });
  // Shadow
  on(makeAction("ShadowHorizontal", "&Horizontal Shadow Profile...", "Horizontal Shadow Profile|Create a horizontal shadow profile drawing"),
     &TMainForm::ShadowHorizontal);
  on(makeAction("ShadowVertical", "&Vertical Shadow Profile...", "Vertical Shadow Profile|Create a vertical shadow profile drawing"),
     &TMainForm::ShadowVertical);
  on(makeAction("ShadowOverhang", "Shadow Model for Horizontal &Overhang...", "Overhang Model|Shadow model for a window under a horizontal overhang"),
     &TMainForm::ShadowOverhang);
  on(makeAction("ShadowFin", "Shadow Model for Vertical &Fin...", "Fin Model|Shadow model for a window between vertical fins"),
     &TMainForm::ShadowFin);
  on(makeAction("View3D", "&3D Shadow Model...", "3D Shadow Model|3D model of a block and its shadow"), &TMainForm::View3D);
  on(makeAction("SunData", "Solar &Report Generator...", "Solar Reports|Generate solar reports"), &TMainForm::SunData);
  on(makeAction("SolarCalculator", "Solar &Calculator...", "Solar Calculator|Sun position at one instant"),
     &TMainForm::SolarCalculator);
  // CAD View
  makeAction("ZoomRectangle", "Zoom &Rectangle", "Zoom Rectangle|Zoom to a rectangle picked with the mouse");
  makeAction("ZoomIn", "Zoom &In", "Zoom In|Zoom in");
  makeAction("ZoomOut", "Zoom &Out", "Zoom Out|Zoom out");
  makeAction("ZoomExtents", "Zoom &Extents", "Zoom Extents|Zoom to the extents of the drawing");
  makeAction("ZoomPrevious", "Zoom Pre&vious", "Zoom Previous|Return to the previous view");
  makeAction("Pan", "&Pan", "Pan|Pan the drawing with the mouse");
  makeAction("vNamedViews", "&Named Views...", "Named Views|Show a named view of the drawing");
  const char* const views[][3] = {{"vTop", "&Top", "Top"}, {"vBottom", "&Bottom", "Bottom"}, {"vRight", "&Right", "Right"},
                                  {"vLeft", "&Left", "Left"}, {"vFront", "&Front", "Front"}, {"vBack", "&Back", "Back"},
                                  {"vSW", "&SW Isometric", "SW Isometric"}, {"vSE", "S&E Isometric", "SE Isometric"},
                                  {"vNE", "&NE Isometric", "NE Isometric"}, {"vNW", "N&W Isometric", "NW Isometric"}};
  for (const auto& v : views) makeAction(v[0], v[1], QString("%1|%1 view of the drawing").arg(v[2]));
  makeAction("vRotate90Left", "Rotate &Left", "Rotate Left|Rotate drawing 90 degrees left");
  makeAction("vRotate90Right", "Rotate &Right", "Rotate Right|Rotate drawing 90 degrees right");
  makeAction("vLayouts", "&Layouts...", "Layouts|Show model space or a paper space layout");
  makeAction("vQuickText", "&QuickText Mode", "Quick Text|Show text as boxes to speed up display");
  makeAction("vRefresh", "&Refresh", "Refresh|Redraw the drawing");
  // CAD Properties
  makeAction("LayerProperties", "L&ayer Properties...", "Layers|Layer properties of the drawing");
  makeAction("opDrawingInfo", "Drawing In&formation...", "Drawing Information|Information about the drawing");
  // Options
  on(makeAction("opCAD", "CAD Options...", "CAD Options|Display options and support folders for drawings"),
     [] { showNotAvailable("CAD Options"); });
  on(makeAction("RegisterasDefaultViewer1", "Register as &Default Viewer...",
                "Default Viewer|Register as the default viewer for DWG and DXF files"),
     [] { showNotAvailable("Register as Default Viewer"); });
  auto toggleBand = [this](int band) {
    bool& flag = band == 0 ? visShadow_ : band == 1 ? settings_.visCAD : settings_.visNAV;
    flag = !flag;
    bands_[band]->setVisible(flag);
  };
  for (int band = 0; band < 3; ++band) {
    static const char* const names[3][3] = {{"mnuToolBarShadow", "&Shadow", "Shadow|Show or hide the Shadow toolbar"},
                                            {"mnuToolBarCAD", "&CAD", "CAD|Show or hide the CAD toolbar"},
                                            {"mnuToolBarNavigator", "&Navigator", "Navigator|Show or hide the Navigator toolbar"}};
    QAction* a = makeAction(names[band][0], names[band][1], names[band][2]);
    a->setCheckable(true);
    on(a, [toggleBand, band] { toggleBand(band); });
  }
  QAction* status = makeAction("mnuStatus", "St&atus Bar", "Status Bar|Show or hide the status bar");
  status->setCheckable(true);
  on(status, [this] {
    settings_.visSTAT = !settings_.visSTAT;
    statusBar()->setVisible(settings_.visSTAT);
  });
  // Window
  on(makeAction("WindowPrevious", "&Previous", "Previous|Activate the previous window"), [this] {
    if (mdi_->subWindowList().size() >= 2) mdi_->activatePreviousSubWindow();
  });
  on(makeAction("WindowNext", "&Next", "Next|Activate the next window"), [this] {
    if (mdi_->subWindowList().size() >= 2) mdi_->activateNextSubWindow();
  });
  on(makeAction("WindowCascade1", "&Cascade", "Cascade|Arrange windows so they overlap"), [this] { mdi_->cascadeSubWindows(); });
  on(makeAction("WindowTileHorizontal1", "Tile &Horizontally", "Tile Horizontally|Arrange windows one above the other"), [this] { tileChildren(true); });
  on(makeAction("WindowTileVertical1", "Tile &Vertically", "Tile Vertically|Arrange windows side by side"), [this] { tileChildren(false); });
  on(makeAction("WindowMinimizeAll1", "&Minimize All", "Minimize All|Minimize all windows"), [this] {
    for (auto* w : mdi_->subWindowList()) w->showMinimized();
  });
  on(makeAction("WindowArrangeAll1", "&Arrange All", "Arrange All|Arrange the icons of minimized windows"), [this] {
    int x = 0;
    const int bottom = mdi_->viewport()->height();
    for (auto* w : mdi_->subWindowList())
      if (w->isMinimized()) {
        w->move(x, bottom - w->height());
        x += w->width();
      }
  });
  // Help
  on(makeAction("HelpContents", "&Contents", "Help|Help contents", QKeySequence(Qt::Key_F1)), [] { help::showContents(); });
  on(makeAction("TipsonPrintingHorizontalShadowProfiles1", "Tips on &Printing Shadow Profiles...",
                "Printing Tips|Tips on printing shadow profiles"),
     [] { help::showTopic(kHelpPrintingTips); });
  on(makeAction("mnuFeedback", "&Feedback...", "Feedback|Send us your comments"), [] { help::showTopic(kHelpFeedback); });
  on(makeAction("HelpAboutItem", "&About...", "About|Program version"), [this] { showAbout(); });
  on(makeAction("mnuSupport", "&Support...", "Support|How to contact us"), [this] { showSupport(); });
  on(makeAction("mnuCheckWeb", "Check the &Web for the Latest Version...", "Latest Version|Open the download page in the web browser"),
     [this] { checkWeb(); });
  // Clipboard keys on the focused text field; Ctrl+X belongs to Exit.
  auto clip = [](const char* slot) {
    if (QWidget* f = QApplication::focusWidget()) QMetaObject::invokeMethod(f, slot);
  };
  QAction* cut = makeAction("EditCut1", "Cu&t", "Cut|Cut the selection");
  QAction* copy = makeAction("EditCopy1", "&Copy", "Copy|Copy the selection", QKeySequence("Ctrl+C"));
  QAction* paste = makeAction("EditPaste1", "&Paste", "Paste|Paste from the clipboard", QKeySequence("Ctrl+V"));
  on(cut, [clip] { clip("cut"); });
  on(copy, [clip] { clip("copy"); });
  on(paste, [clip] { clip("paste"); });
  addActions({cut, copy, paste});
}

void TMainForm::tileChildren(bool horizontal) {
  const auto list = mdi_->subWindowList();
  if (list.isEmpty()) return;
  const QRect area = mdi_->viewport()->rect();
  const int n = int(list.size());
  for (int i = 0; i < n; ++i) {
    list[i]->showNormal();
    if (horizontal)
      list[i]->setGeometry(0, i * (area.height() / n), area.width(), area.height() / n);
    else
      list[i]->setGeometry(i * (area.width() / n), 0, area.width() / n, area.height());
  }
}

void TMainForm::buildMenus() {
  QMenuBar* bar = menuBar();
  fileMenu_ = bar->addMenu("&File");
  fileMenu_->addAction(action("FileOpen1"));
  fileMenu_->addAction(action("FileSaveAs1"));
  fileMenu_->addSeparator();
  fileMenu_->addAction(action("Print1"));
  historySeparator_ = fileMenu_->addSeparator();
  fileMenu_->addAction(action("FileClose1"));
  fileMenu_->addAction(action("FileExit1"));

  QMenu* shadow = bar->addMenu("&Shadow");
  for (const char* n : {"ShadowHorizontal", "ShadowVertical", "ShadowOverhang", "ShadowFin", "View3D", "SunData", "SolarCalculator"})
    shadow->addAction(action(n));

  QMenu* view = bar->addMenu("CAD &View");
  zoomMenu_ = view->addMenu("&Zoom");
  for (const char* n : {"ZoomRectangle", "ZoomIn", "ZoomOut", "ZoomExtents", "ZoomPrevious"}) zoomMenu_->addAction(action(n));
  view->addAction(action("Pan"));
  view->addAction(action("vNamedViews"));
  views3dMenu_ = view->addMenu("&3D Views");
  for (const char* n : {"vTop", "vBottom", "vRight", "vLeft", "vFront", "vBack"}) views3dMenu_->addAction(action(n));
  views3dMenu_->addSeparator();
  for (const char* n : {"vSW", "vSE", "vNE", "vNW"}) views3dMenu_->addAction(action(n));
  rotateMenu_ = view->addMenu("R&otate");
  rotateMenu_->addAction(action("vRotate90Left"));
  rotateMenu_->addAction(action("vRotate90Right"));
  view->addAction(action("vLayouts"));
  view->addAction(action("vQuickText"));
  view->addAction(action("vRefresh"));

  QMenu* props = bar->addMenu("CAD &Properties");
  props->addAction(action("LayerProperties"));
  props->addAction(action("opDrawingInfo"));

  QMenu* options = bar->addMenu("&Options");
  options->addAction(action("opCAD"));
  options->addAction(action("RegisterasDefaultViewer1"));
  QMenu* toolbars = options->addMenu("&Toolbars");
  for (const char* n : {"mnuToolBarShadow", "mnuToolBarCAD", "mnuToolBarNavigator"}) toolbars->addAction(action(n));
  options->addAction(action("mnuStatus"));
  connect(toolbars, &QMenu::aboutToShow, this, [this] {
    action("mnuToolBarShadow")->setChecked(visShadow_);
    action("mnuToolBarCAD")->setChecked(settings_.visCAD);
    action("mnuToolBarNavigator")->setChecked(settings_.visNAV);
  });
  connect(options, &QMenu::aboutToShow, this, [this] { action("mnuStatus")->setChecked(settings_.visSTAT); });

  windowMenu_ = bar->addMenu("&Window");
  connect(windowMenu_, &QMenu::aboutToShow, this, &TMainForm::rebuildWindowMenu);
  rebuildWindowMenu();

  QMenu* helpMenu = bar->addMenu("&Help");
  helpMenu->addAction(action("HelpContents"));
  helpMenu->addAction(action("TipsonPrintingHorizontalShadowProfiles1"));
  helpMenu->addSeparator();
  helpMenu->addAction(action("mnuFeedback"));
  helpMenu->addAction(action("mnuSupport"));
  helpMenu->addAction(action("mnuCheckWeb"));
  helpMenu->addSeparator();
  helpMenu->addAction(action("HelpAboutItem"));
}

void TMainForm::rebuildWindowMenu() {
  windowMenu_->clear();
  for (const char* n : {"WindowPrevious", "WindowNext"}) windowMenu_->addAction(action(n));
  windowMenu_->addSeparator();
  for (const char* n : {"WindowCascade1", "WindowTileHorizontal1", "WindowTileVertical1", "WindowMinimizeAll1", "WindowArrangeAll1"})
    windowMenu_->addAction(action(n));
  const auto children = mdi_->subWindowList();
  if (children.isEmpty()) return;
  windowMenu_->addSeparator();
  for (int i = 0; i < children.size(); ++i) {
    QMdiSubWindow* child = children[i];
    QAction* a = windowMenu_->addAction(QString("&%1 %2").arg(i + 1).arg(child->windowTitle()));
    a->setCheckable(true);
    a->setChecked(child == mdi_->activeSubWindow());
    connect(a, &QAction::triggered, this, [this, child] { mdi_->setActiveSubWindow(child); });
  }
}

void TMainForm::buildToolBars() {
  auto band = [this](int i, const QString& title, const QString& name) {
    auto* tb = new QToolBar(title, this);
    tb->setObjectName(name);
    tb->setIconSize(QSize(20, 20));
    tb->setMovable(true);
    addToolBar(Qt::TopToolBarArea, tb);
    bands_[i] = tb;
    return tb;
  };
  QToolBar* shadow = band(0, "Shadow", "ShadowBar");
  for (const char* n : {"ShadowHorizontal", "ShadowVertical", "ShadowOverhang", "ShadowFin", "View3D", "SunData", "SolarCalculator"})
    shadow->addAction(action(n));

  QToolBar* cad = band(1, "Standard Toolbar", "CADBar");
  for (const char* n : {"FileOpen1", "FileSaveAs1", "Print1", "ZoomRectangle", "ZoomIn", "ZoomOut", "ZoomExtents", "ZoomPrevious", "Pan"})
    cad->addAction(action(n));
  cad->addSeparator();
  cad->addAction(action("vNamedViews"));
  auto dropDown = [cad](QMenu* menu, const QString& iconName, const QString& tip) {
    auto* b = new QToolButton(cad);
    b->setMenu(menu);
    b->setPopupMode(QToolButton::InstantPopup);
    b->setIcon(commandIcon(iconName));
    b->setToolTip(tip);
    b->setStatusTip(tip);
    cad->addWidget(b);
    return b;
  };
  views3dButton_ = dropDown(views3dMenu_, "views3d", "3D Views");
  rotateButton_ = dropDown(rotateMenu_, "rotate", "Rotate");
  cad->addAction(action("vLayouts"));
  cad->addSeparator();
  cad->addAction(action("LayerProperties"));
  cad->addAction(action("opDrawingInfo"));
  cad->addSeparator();
  cad->addAction(action("HelpContents"));

  QToolBar* nav = band(2, "Navigator", "NavigatorBar");
  for (const char* n : {"WindowPrevious", "WindowNext", "FileClose1"}) nav->addAction(action(n));
  nav->addSeparator();
  for (const char* n : {"WindowCascade1", "WindowTileHorizontal1", "WindowTileVertical1"}) nav->addAction(action(n));

  // The bands follow each other in their order; one that would not fit beside the band before
  // it in the window's width starts a new row.
  int rowWidth = 0;
  for (QToolBar* b : bands_) {
    const int w = b->sizeHint().width();
    if (rowWidth > 0 && rowWidth + w > width()) {
      insertToolBarBreak(b);
      rowWidth = 0;
    }
    rowWidth += w;
  }
}

void TMainForm::buildStatusBar() {
  const int widths[4] = {360, 100, 100, 50};
  for (int i = 0; i < 4; ++i) {
    panels_[i] = new QLabel(this);
    panels_[i]->setFixedWidth(widths[i]);
    panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addWidget(panels_[i]);
  }
}

QToolBar* TMainForm::toolBar(int band) const { return band >= 0 && band < 3 ? bands_[band] : nullptr; }
QLabel* TMainForm::statusPanel(int i) const { return i >= 0 && i < 4 ? panels_[i] : nullptr; }

void TMainForm::applySettings() {
  settings_.history = settings_.history.mid(0, kHistoryMax);
  RebuildHistoryMenu();
  if (settings_.winState == int(WinState::Maximised)) setWindowState(windowState() | Qt::WindowMaximized);
  bands_[0]->setVisible(visShadow_);
  bands_[1]->setVisible(settings_.visCAD);
  bands_[2]->setVisible(settings_.visNAV);
  statusBar()->setVisible(settings_.visSTAT);
}

void TMainForm::SetCommandState(CommandState state) {
  state_ = state;
  const bool all = state == CommandState::Drawing;
  for (const char* n : kStateCommands) action(n)->setEnabled(all);
  if (state == CommandState::Browse)
    for (const char* n : kBrowseCommands) action(n)->setEnabled(true);
  for (QMenu* m : {zoomMenu_, views3dMenu_, rotateMenu_}) m->menuAction()->setEnabled(all);
  views3dButton_->setEnabled(all);
  rotateButton_->setEnabled(all);
  for (int i = 1; i < 4; ++i) panels_[i]->clear();
}

void TMainForm::PromoteInHistory(const QString& name) { promoteInHistory(settings_.history, name); }

void TMainForm::RebuildHistoryMenu() {
  for (QAction* a : historyItems_) {
    fileMenu_->removeAction(a);
    a->deleteLater();
  }
  historyItems_.clear();
  if (settings_.history.size() > kHistoryMax) settings_.history = settings_.history.mid(0, kHistoryMax);
  if (settings_.history.isEmpty()) return;
  QAction* before = action("FileClose1");
  for (int i = 0; i < settings_.history.size(); ++i) {
    auto* a = new QAction(QString("&%1 %2").arg(i + 1).arg(settings_.history[i]), fileMenu_);
    connect(a, &QAction::triggered, this, [this, i] {
      if (i >= settings_.history.size()) return;
      if (openDrawing) openDrawing(settings_.history[i]);
      else showNotAvailable("Opening a drawing");
    });
    fileMenu_->insertAction(before, a);
    historyItems_.append(a);
  }
  QAction* sep = new QAction(fileMenu_);
  sep->setSeparator(true);
  fileMenu_->insertAction(before, sep);
  historyItems_.append(sep);
}

bool TMainForm::activeIsDrawing() const { return childKind(mdi_->activeSubWindow()) == ChildKind::Drawing; }

QMdiSubWindow* TMainForm::addChild(QWidget* content, ChildKind kind, const QString& caption) {
  QMdiSubWindow* child = mdi_->addSubWindow(content);
  child->setAttribute(Qt::WA_DeleteOnClose);
  setChildKind(child, kind);
  child->setWindowTitle(caption);
  content->setWindowTitle(caption);
  connect(child, &QObject::destroyed, this, [this](QObject* gone) {
    int others = 0;
    for (QMdiSubWindow* w : mdi_->subWindowList())
      if (w && w != gone) ++others;
    if (others == 0) SetCommandState(CommandState::None);
  });
  connect(child, &QMdiSubWindow::windowStateChanged, this, [this, child](Qt::WindowStates, Qt::WindowStates now) {
    if (!(now & Qt::WindowActive)) return;
    if (childKind(child) == ChildKind::Drawing) UM_DRAWINGACTIVATED();
    else if (childKind(child) == ChildKind::Browse) UM_BROWSEACTIVATED();
  });
  child->showMaximized();
  SetCommandState(kind == ChildKind::Browse ? CommandState::Browse : CommandState::Drawing);
  return child;
}

void TMainForm::UM_HISTORYCHANGED() { RebuildHistoryMenu(); }

void TMainForm::UM_CHILDDESTROYED() {
  if (mdi_->subWindowList().size() <= 1) SetCommandState(CommandState::None);
}

void TMainForm::UM_FILENAMECHANGED(const QString& currentFileName) {
  if (!activeIsDrawing()) return;
  mdi_->activeSubWindow()->setWindowTitle(currentFileName);
  PromoteInHistory(currentFileName);
  RebuildHistoryMenu();
}

void TMainForm::UM_DRAWINGACTIVATED() {
  if (mdi_->subWindowList().size() >= 2) SetCommandState(CommandState::Drawing);
}

void TMainForm::UM_BROWSEACTIVATED() {
  if (mdi_->subWindowList().size() >= 2) SetCommandState(CommandState::Browse);
}

void TMainForm::UM_CURSORMOVED(double x, double y) {
  if (!activeIsDrawing()) return;
  panels_[1]->setText(QString::number(x, 'f', 3));
  panels_[2]->setText(QString::number(y, 'f', 3));
}

void TMainForm::UM_REDRAWTIMED(double seconds) {
  if (!activeIsDrawing()) return;
  panels_[3]->setText(QString::number(seconds, 'f', 3) + " secs");
}

void TMainForm::runAnalysis(ShadowMode mode) {
  if (!frmShadow_) return;
  frmShadow_->SetMode(mode);
  const int result = frmShadow_->exec();
  if (result != QDialog::Accepted) return;
  if (mode == ShadowMode::CreateShadowH) makeGeneratedDrawing(true);
  if (mode == ShadowMode::CreateShadowV) makeGeneratedDrawing(false);
}

void TMainForm::makeGeneratedDrawing(bool horizontal) {
  ++generatedCount_;
  const QString caption = QString("Shadow%1.dwg").arg(generatedCount_);
  QMdiSubWindow* child = nullptr;
  if (buildShadowDrawing && frmShadow_) child = buildShadowDrawing(caption, horizontal, *frmShadow_);
  if (!child) {
    // No diagram builder in this build: the window only carries the drawing's name.
    auto* note = new QLabel("The shadow diagram drawing cannot be built in this version.");
    note->setAlignment(Qt::AlignCenter);
    note->setAutoFillBackground(true);
    QPalette pal = note->palette();
    pal.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    note->setPalette(pal);
    child = addChild(note, ChildKind::Drawing, caption);
  }
  child->setWindowTitle(caption);
  SetCommandState(CommandState::Drawing);
}

void TMainForm::ShadowHorizontal() { runAnalysis(ShadowMode::CreateShadowH); }
void TMainForm::ShadowVertical() { runAnalysis(ShadowMode::CreateShadowV); }
void TMainForm::ShadowOverhang() { runAnalysis(ShadowMode::CreateOverhangShadow); }
void TMainForm::ShadowFin() { runAnalysis(ShadowMode::CreateFinShadow); }
void TMainForm::View3D() { runAnalysis(ShadowMode::Model3D); }
void TMainForm::SunData() { runAnalysis(ShadowMode::Sundata); }
void TMainForm::SolarCalculator() { runAnalysis(ShadowMode::SolarCalculator); }

bool TMainForm::event(QEvent* e) {
  if (e->type() == QEvent::StatusTip) {
    panels_[0]->setText(static_cast<QStatusTipEvent*>(e)->tip());
    return true;
  }
  return QMainWindow::event(e);
}

void TMainForm::closeEvent(QCloseEvent* e) {
  // Children first: a drawing window may ask to save and refuse to close.
  mdi_->closeAllSubWindows();
  if (!mdi_->subWindowList().isEmpty()) {
    e->ignore();
    return;
  }
  e->accept();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* e) {
  for (const QUrl& url : e->mimeData()->urls()) {
    if (!url.isLocalFile()) continue;
    if (!openDrawing) {
      showNotAvailable("Opening a drawing");
      break;
    }
    openDrawing(url.toLocalFile());
  }
  e->acceptProposedAction();
}

namespace {
QDialog* productBox(QWidget* parent, const QString& caption, const QStringList& extra) {
  auto* box = new QDialog(parent);
  box->setWindowTitle(caption);
  auto* layout = new QVBoxLayout(box);
  auto* icon = new QLabel(box);
  icon->setPixmap(commandIcon("ShadowHorizontal").pixmap(48, 48));
  layout->addWidget(icon, 0, Qt::AlignHCenter);
  auto* title = new QLabel(QString::fromUtf8(kApplicationTitle), box);
  QFont f = title->font();
  f.setPointSize(f.pointSize() + 4);
  f.setBold(true);
  title->setFont(f);
  layout->addWidget(title, 0, Qt::AlignHCenter);
  layout->addWidget(new QLabel(QString::fromUtf8(kVersionText), box), 0, Qt::AlignHCenter);
  for (const QString& line : extra) {
    auto* l = new QLabel(line, box);
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignHCenter);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(l);
  }
  auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok, box);
  QObject::connect(ok, &QDialogButtonBox::accepted, box, &QDialog::accept);
  layout->addWidget(ok);
  return box;
}
}  // namespace

void TMainForm::showAbout() {
  QStringList extra{"Solar geometry and shadow analysis for architects and building designers."};
#ifdef KELVARO_HAS_LOCATION_ATTRIBUTION
  extra << QString::fromUtf8(kLocationsAttribution);
#endif
  QDialog* box = productBox(this, "About", extra);
  box->exec();
  delete box;
}

void TMainForm::checkWeb() {
  const QString page = QString::fromUtf8(kDownloadUrl);
  if (openWebPage && openWebPage(QUrl(page))) return;
  showWarning(QString("The download page could not be opened in a web browser. Its address is %1").arg(page).toStdString());
}

void TMainForm::showSupport() {
  QDialog* box = productBox(this, "Support",
                            {"Dravenco Software", "Technical support: support@dravenco.example",
                             QString("Downloads and updates: %1").arg(QString::fromUtf8(kDownloadUrl))});
  box->exec();
  delete box;
}

}  // namespace kelvaro
