#include "viewer/TDraftel.h"

#include <QAction>
#include <QBackingStore>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>

#include "platform/notify.h"
#include "viewer/ImageSupport.h"
#include "viewer/CADviews.h"
#include "viewer/ViewerDialogs.h"

namespace kelvaro::viewer {

namespace {
QString gProgramFolder;
}

void TDraftel::setProgramFolder(const QString& folder) { gProgramFolder = folder; }
QString TDraftel::programFolder() {
  if (!gProgramFolder.isEmpty()) return gProgramFolder;
  return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString(".");
}

TDraftel::TDraftel(QWidget* parent) : QWidget(parent) {
  resize(100, 100);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  startToolkit(programFolder());
  sink_.bitmaps = &bitmaps_;
  sink_.searchFolders = &session_.searchFolders;
  sink_.programFolder = programFolder().toStdString();
  session_.setPanelSize(width(), height());
  fullRedrawNeeded_ = true;
  retryPaint_ = new QTimer(this);
  retryPaint_->setSingleShot(true);
  retryPaint_->setInterval(100);
  connect(retryPaint_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

TDraftel::~TDraftel() = default;

void TDraftel::setEnableCADMenu(bool on) {
  enableCADMenu_ = on;
  if (on && !menu_) buildMenu();
}

void TDraftel::setBackColor(QColor c) {
  backColor_ = c;
  setRasterBackground(c);
  Redraw();
}

// --- drawing and painting -----------------------------------------------------------------------

void TDraftel::Redraw() {
  fullRedrawNeeded_ = true;
  update();
}

void TDraftel::Refresh() {
  if (session_.busy) return;
  Redraw();
}

void TDraftel::fullDraw() {
  DrawSettings settings;
  settings.backColor = backColor_;
  settings.lineColor = LineColor;
  settings.display.allBlack = AllBlack;
  settings.display.grayscale = Grayscale;
  settings.display.rasterImages = rasterImagesEnabled;
  sink_.drawingPath = session_.path().toStdString();
  QPainter p(&buffer_);
  drawSeconds_ = DrawSessionDrawing(session_, sink_, p, settings);
  ++drawCount_;
  emit redrawTimed(drawSeconds_);
}

QImage::Format TDraftel::bufferFormat() const {
  // The window's own pixel format when the display can draw into it, so that a repaint is a
  // plain copy of memory rather than a conversion.
  if (QBackingStore* store = backingStore()) {
    QPaintDevice* device = store->paintDevice();
    if (device && device->devType() == QInternal::Image &&
        static_cast<QImage*>(device)->format() == QImage::Format_ARGB32_Premultiplied)
      return QImage::Format_ARGB32_Premultiplied;
  }
  return QImage::Format_RGB32;
}

void TDraftel::paintEvent(QPaintEvent*) {
  QPainter panel(this);
  const QImage::Format format = bufferFormat();
  const bool sized = !buffer_.isNull() && buffer_.size() == size();
  const bool haveBuffer = sized && buffer_.format() == format;
  if (!session_.hasDrawing() || session_.busy) {
    // While an operation runs the last picture stays up; one that is out of date is drawn
    // again once the operation has finished, without waiting for another event.
    if (sized && session_.hasDrawing()) panel.drawImage(0, 0, buffer_);
    else panel.fillRect(rect(), backColor_);
    if (session_.hasDrawing() && (fullRedrawNeeded_ || !haveBuffer)) retryPaint_->start();
    return;
  }
  BusyGuard guard(session_.busy);
  if (!haveBuffer) {
    buffer_ = QImage(size(), format);
    fullRedrawNeeded_ = true;
  }
  if (fullRedrawNeeded_) {
    setCursor(Qt::WaitCursor);
    session_.setPanelSize(width(), height());
    fullDraw();
    syncCursor();
  }
  fullRedrawNeeded_ = false;
  if (tools_->middleDragging()) {
    // The picture follows a middle-button drag; the pan itself happens on release.
    const ScreenPoint d = tools_->dragOffset();
    panel.fillRect(rect(), backColor_);
    panel.drawImage(QPointF(d.x, d.y), buffer_);
  } else {
    panel.drawImage(0, 0, buffer_);
  }
  paintBands(panel);
}

void TDraftel::paintBands(QPainter& p) {
  if (!tools_->rectangleOn() && !tools_->lineOn()) return;
  // Inverting pen: the band shows on any background and colour.
  p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(Qt::white, 0));
  p.setBrush(Qt::NoBrush);
  const ScreenPoint a = tools_->pressPoint(), b = tools_->currentPoint();
  const QPoint pa(qRound(a.x), qRound(a.y)), pb(qRound(b.x), qRound(b.y));
  // Corner to corner exactly: QRect(pa, pb) would reach one pixel past the far corner.
  if (tools_->rectangleOn())
    p.drawRect(std::min(pa.x(), pb.x()), std::min(pa.y(), pb.y()), std::abs(pb.x() - pa.x()), std::abs(pb.y() - pa.y()));
  else p.drawLine(pa, pb);
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TDraftel::syncCursor() {
  if (view_->tool().cursor == kCursorDefault) unsetCursor();
  else setCursor(viewerCursor(view_->tool().cursor));
}

void TDraftel::afterPointer(PointerTools::Result r) {
  switch (r) {
    case PointerTools::Result::Nothing: break;
    case PointerTools::Result::CursorOnly: break;
    case PointerTools::Result::Overlay: update(); break;
    case PointerTools::Result::Redraw: Redraw(); break;
    case PointerTools::Result::PrintPicked:
      syncCursor();
      update();
      if (onPrintWindowPicked) onPrintWindowPicked();
      break;
  }
}

void TDraftel::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  session_.setPanelSize(width(), height());
  if (session_.hasDrawing()) {
    cad::adForceRegen(session_.handle());
    Redraw();
  }
}

void TDraftel::mouseMoveEvent(QMouseEvent* e) {
  QWidget::mouseMoveEvent(e);
  const PointerTools::Result r = tools_->Move({e->position().x(), e->position().y()});
  if (r == PointerTools::Result::Nothing) return;
  cursorX_ = tools_->cursorX();
  cursorY_ = tools_->cursorY();
  emit cursorMoved(cursorX_, cursorY_);
  afterPointer(r);
}

void TDraftel::mousePressEvent(QMouseEvent* e) {
  const ScreenPoint p{e->position().x(), e->position().y()};
  if (e->button() == Qt::LeftButton) afterPointer(tools_->LeftDown(p));
  else if (e->button() == Qt::MiddleButton) afterPointer(tools_->MiddleDown(p));
  else QWidget::mousePressEvent(e);
}

void TDraftel::mouseReleaseEvent(QMouseEvent* e) {
  const ScreenPoint p{e->position().x(), e->position().y()};
  if (e->button() == Qt::LeftButton) afterPointer(tools_->LeftUp(p));
  else if (e->button() == Qt::MiddleButton) afterPointer(tools_->MiddleUp(p));
  else QWidget::mouseReleaseEvent(e);
}

void TDraftel::wheelEvent(QWheelEvent* e) {
  const int delta = e->angleDelta().y();
  if (delta == 0) return QWidget::wheelEvent(e);
  e->accept();
  if (view_->WheelZoom({e->position().x(), height() - e->position().y()}, delta)) Redraw();
}

// --- document operations ---------------------------------------------------------------------------

int TDraftel::OpenDrawing(const QString& path) {
  if (session_.busy) return 0;
  setCursor(Qt::WaitCursor);
  session_.setPanelSize(width(), height());
  session_.onLoadProgress = [this](int percent) {
    emit loadProgress(percent);
    // The window keeps painting while a large file loads; the busy flag keeps commands out.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
  const int ok = session_.OpenDrawing(path);
  session_.onLoadProgress = nullptr;
  emit loadProgress(-1);
  unsetCursor();
  if (ok) {
    bitmaps_.clear();
    view_->LeaveTool();
    Redraw();
  }
  syncCursor();
  return ok;
}

int TDraftel::SaveDrawingAs() {
  if (!session_.hasDrawing()) return 0;
  BusyGuard guard(session_.busy);
  if (!guard) return 0;
  const QFileInfo fi(session_.path());
  const QString title = "Save " + fi.fileName() + " As";
  int filterIndex = 1;
  QString target;
  if (chooseSaveFile) {
    target = chooseSaveFile(title, fi.absolutePath(), presetSaveName(session_.path()), filterIndex);
  } else {
    QFileDialog dialog(this, title, fi.absolutePath());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(saveFilters());
    dialog.selectNameFilter(saveFilters().first());
    dialog.setDefaultSuffix("dwg");
    dialog.selectFile(presetSaveName(session_.path()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
      dialog.setDefaultSuffix(f.contains("*.dxf") ? "dxf" : "dwg");
    });
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
      target = dialog.selectedFiles().first();
      filterIndex = static_cast<int>(saveFilters().indexOf(dialog.selectedNameFilter())) + 1;
    }
  }
  if (target.isEmpty()) return 0;
  const int ok = session_.SaveByFilter(target, filterIndex);
  if (ok) emit fileNameChanged(session_.path());
  return ok;
}

void TDraftel::SetModelSpace() {
  BusyGuard guard(session_.busy);
  if (!guard || !session_.hasDrawing()) return;
  session_.SetModelSpace();
  Redraw();
}

void TDraftel::SetPaperSpace() {
  BusyGuard guard(session_.busy);
  if (!guard || !session_.hasDrawing()) return;
  session_.SetPaperSpace();
  Redraw();
}

void TDraftel::ShowLayouts() {
  if (!session_.hasDrawing() || session_.busy) return;
  view_->LeaveTool();
  syncCursor();
  const auto entries = session_.Layouts();
  QStringList captions;
  for (const auto& e : entries) captions << e.caption;
  const int row = chooseLayout ? chooseLayout(captions) : TfrmLayouts::choose(this, captions);
  if (row < 0 || row >= static_cast<int>(entries.size())) return;
  BusyGuard guard(session_.busy);
  if (!guard) return;
  session_.SelectLayout(entries[static_cast<std::size_t>(row)]);
  Redraw();
}

void TDraftel::SetQuickText(bool on) {
  BusyGuard guard(session_.busy);
  if (!guard) return;
  if (session_.SetQuickText(on)) Redraw();
}

void TDraftel::ShowDrawingInfo() {
  if (!session_.hasDrawing() || session_.busy) return;
  const DrawingInfoTexts t = session_.DrawingInfo();
  if (showInfo) showInfo(t);
  else TfrmInfo::show(this, t);
}

void TDraftel::ShowLayerProperties() {
  // The layer dialog comes with the layer and linetype dialogs; the tables are ready for it.
  if (!session_.hasDrawing() || session_.busy) return;
  session_.ReadTables();
}

void TDraftel::ZoomExtents() {
  if (view_->ZoomExtents()) Redraw();
  syncCursor();
}

void TDraftel::ZoomIn() {
  if (view_->ZoomIn()) Redraw();
  syncCursor();
}

void TDraftel::ZoomOut() {
  if (view_->ZoomOut()) Redraw();
  syncCursor();
}

void TDraftel::ZoomPrevious() {
  if (view_->ZoomPrevious()) Redraw();
  syncCursor();
}

void TDraftel::StartZoomRectangle() {
  if (tools_->StartZoomRectangle()) syncCursor();
}

void TDraftel::StartPan() {
  if (tools_->StartPan()) syncCursor();
}

void TDraftel::BeginPrintWindowPick() {
  if (tools_->BeginPrintWindowPick()) syncCursor();
}

void TDraftel::SetStandardView(StandardView which) {
  if (view_->SetStandardView(which)) Redraw();
  syncCursor();
}

void TDraftel::RotateLeft90() {
  if (view_->RotateLeft90()) Redraw();
  syncCursor();
}

void TDraftel::RotateRight90() {
  if (view_->RotateRight90()) Redraw();
  syncCursor();
}

void TDraftel::ShowNamedViews() {
  if (!session_.hasDrawing() || session_.busy || !view_->RequireModelSpace()) return;
  view_->LeaveTool();
  syncCursor();
  const std::vector<NamedViewEntry> views = view_->NamedViews();
  QStringList names;
  for (const NamedViewEntry& v : views) names << v.name;
  const int row = chooseNamedView ? chooseNamedView(names) : TfrmNamedViews::choose(this, names);
  if (row < 0 || row >= static_cast<int>(views.size())) return;
  if (view_->RestoreNamedView(views[static_cast<std::size_t>(row)])) Redraw();
  syncCursor();
}

// --- the right-button menu ------------------------------------------------------------------------------

void TDraftel::buildMenu() {
  menu_ = new QMenu(this);
  static const char* const captions[14] = {"Open...",    "Save As...", "-",
                                           "Zoom Rectangle", "Zoom In", "Zoom Out",
                                           "Zoom Extents", "Zoom Previous", "Pan",
                                           "-",          "Print Drawing...", "-",
                                           "Layer Properties...", "Drawing Information..."};
  for (int tag = 0; tag < 14; ++tag) {
    QAction* a = menu_->addAction(captions[tag]);
    if (QString(captions[tag]) == "-") a->setSeparator(true);
    a->setData(tag);
    connect(a, &QAction::triggered, this, [this, tag] { menuCommand(tag); });
  }
  updateMenu();
}

void TDraftel::updateMenu() {
  if (!menu_) return;
  const auto acts = menu_->actions();
  const bool open = showOpenAndLayers && !embedded, save = showSaveAs && !embedded, print = showPrint && !embedded;
  acts[kMenuOpen]->setVisible(open);
  acts[kMenuSaveAs]->setVisible(save);
  acts[kMenuSep1]->setVisible(open || save);
  acts[kMenuSep2]->setVisible(print);
  acts[kMenuPrint]->setVisible(print);
  acts[kMenuLayerProperties]->setVisible(showOpenAndLayers);
  // Printing comes with the printing path.
  acts[kMenuPrint]->setEnabled(false);
}

void TDraftel::contextMenuEvent(QContextMenuEvent* e) {
  if (!menu_) return;
  updateMenu();
  menu_->popup(e->globalPos());
}

void TDraftel::menuCommand(int tag) {
  switch (tag) {
    case kMenuOpen: openFromMenu(); break;
    case kMenuSaveAs: SaveDrawingAs(); break;
    case kMenuZoomRectangle: StartZoomRectangle(); break;
    case kMenuZoomIn: ZoomIn(); break;
    case kMenuZoomOut: ZoomOut(); break;
    case kMenuZoomExtents: ZoomExtents(); break;
    case kMenuZoomPrevious: ZoomPrevious(); break;
    case kMenuPan: StartPan(); break;
    case kMenuLayerProperties: ShowLayerProperties(); break;
    case kMenuDrawingInfo: ShowDrawingInfo(); break;
    default: break;
  }
}

void TDraftel::openFromMenu() {
  if (session_.busy) return;
  if (session_.modified) {
    const MsgAnswer a = showMessage({MsgKind::Confirmation,
                                     ("Drawing " + session_.path() + " has been modified. Do you want to save it?").toStdString(),
                                     {}, MsgButtons::YesNoCancel});
    if (a == MsgAnswer::Cancel) return;
    if (a == MsgAnswer::Yes && SaveDrawingAs() == 0) return;
  }
  QString file;
  if (chooseOpenFile) file = chooseOpenFile();
  else
    file = QFileDialog::getOpenFileName(this, "Open Drawing", QFileInfo(session_.path()).absolutePath(),
                                        "AutoCAD files (*.DWG *.DXF *.dwg *.dxf);;AutoCAD (*.DWG) (*.DWG *.dwg);;"
                                        "AutoCAD (*.DXF) (*.DXF *.dxf);;All files (*.*) (*)");
  if (file.isEmpty()) return;
  if (OpenDrawing(file) == 1) {
    emit fileNameChanged(session_.path());
    session_.modified = false;
  }
}

}  // namespace kelvaro::viewer
