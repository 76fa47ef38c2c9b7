#pragma once
// TDraftel: the drawing viewer control. A borderless panel that owns one drawing (through a
// DrawingSession), keeps the last full draw in a paint buffer so repaints only copy it, and
// tells its host about file names, pointer positions and draw times through signals.
#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

#include "viewer/Display.h"
#include "viewer/DrawDrawing.h"
#include "viewer/DrawingSession.h"
#include "shadow/Profile.h"
#include "viewer/PointerTools.h"
#include "viewer/ViewControl.h"

class QMenu;
class QTimer;

namespace kelvaro::viewer {

// Tags of the right-button menu items, in menu order (separators have tags too).
enum MenuTag : int {
  kMenuOpen = 0, kMenuSaveAs = 1, kMenuSep1 = 2, kMenuZoomRectangle = 3, kMenuZoomIn = 4, kMenuZoomOut = 5,
  kMenuZoomExtents = 6, kMenuZoomPrevious = 7, kMenuPan = 8, kMenuSep2 = 9, kMenuPrint = 10, kMenuSep3 = 11,
  kMenuLayerProperties = 12, kMenuDrawingInfo = 13
};

class TDraftel : public QWidget {
  Q_OBJECT
 public:
  explicit TDraftel(QWidget* parent = nullptr);
  ~TDraftel() override;

  // Published properties.
  TLineColor LineColor = TLineColor::Black;
  bool AllBlack = false;
  bool Grayscale = false;
  int PrintHelpContext = 0;
  QString RegPathPRINT = "Software\\Dravenco\\Draftel\\Print";
  bool EnableCADMenu() const { return enableCADMenu_; }
  void setEnableCADMenu(bool on);
  QColor BackColor() const { return backColor_; }
  void setBackColor(QColor c);

  // Menu switches.
  bool showOpenAndLayers = true, showSaveAs = true, showPrint = true, embedded = false;
  bool rasterImagesEnabled = true;

  // The folder holding the toolkit's start-up file (the program's folder by default).
  static void setProgramFolder(const QString& folder);
  static QString programFolder();

  int OpenDrawing(const QString& path);
  // The shadow diagrams: the template drawing from the resources, written to the scratch file
  // and opened, gets the diagram of `profile` and is shown as the new, never saved drawing
  // `caption`. Returns 1, or 0 after the message.
  int CreateHorizontalDiagram(const QString& caption, const ShadowProfile& profile);
  int CreateVerticalDiagram(const QString& caption, const ShadowProfile& profile);
  // Where the template is written before it is opened: a per-user scratch folder (the
  // program's own folder may be read-only).
  static QString diagramScratchFile();
  int SaveDrawingAs();
  int SaveAsDwg(const QString& path, int version) { return session_.SaveAsDwg(path, version); }
  int SaveAsDxf(const QString& path, int version) { return session_.SaveAsDxf(path, version); }
  void SetModelSpace();
  void SetPaperSpace();
  void ShowLayouts();
  void SetQuickText(bool on);
  void SetQuickTextAtOpen(int value) { session_.SetQuickTextAtOpen(value); }
  void SetCurveQuality(int q) { session_.SetCurveQuality(q); }
  void ShowDrawingInfo();
  void ShowLayerProperties();

  void Redraw();
  void Refresh();
  void ZoomExtents();
  void ZoomIn();
  void ZoomOut();
  void ZoomPrevious();
  void StartZoomRectangle();
  void StartPan();
  void SetStandardView(StandardView which);
  void RotateLeft90();
  void RotateRight90();
  void ShowNamedViews();
  // The print dialog asks for a window to be picked; onPrintWindowPicked runs after the pick.
  void BeginPrintWindowPick();
  std::function<void()> onPrintWindowPicked;
  ViewControl& viewControl() { return *view_; }
  PointerTools& pointerTools() { return *tools_; }
  int cursorNumber() const { return view_->tool().cursor; }

  DrawingSession& session() { return session_; }
  const DrawingSession& session() const { return session_; }
  QString currentFileName() const { return session_.path(); }
  bool quickText() const { return session_.quickText(); }
  bool modified() const { return session_.modified; }
  bool neverSaved() const { return session_.neverSaved; }
  double cursorX() const { return cursorX_; }
  double cursorY() const { return cursorY_; }
  double lastDrawSeconds() const { return drawSeconds_; }
  int drawCount() const { return drawCount_; }  // full draws so far
  const QImage& paintBuffer() const { return buffer_; }
  QMenu* cadMenu() const { return menu_; }
  void menuCommand(int tag);

  // Test and embedding hooks: replace the modal dialogs. The save chooser returns the path and
  // fills the 1-based filter index; an empty path is Cancel. The layout chooser returns the row
  // picked or -1.
  std::function<QString(const QString& title, const QString& folder, const QString& name, int& filterIndex)> chooseSaveFile;
  std::function<int(const QStringList& entries)> chooseLayout;
  std::function<QString()> chooseOpenFile;
  std::function<void(const DrawingInfoTexts&)> showInfo;
  std::function<int(const QStringList& names)> chooseNamedView;

 signals:
  void fileNameChanged(const QString& path);  // after a save or an open from the own menu
  void cursorMoved(double x, double y);
  void redrawTimed(double seconds);
  void loadProgress(int percent);  // while a file loads; -1 when done

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

 private:
  void buildMenu();
  void updateMenu();
  void openFromMenu();
  void fullDraw();
  QImage::Format bufferFormat() const;
  int createDiagram(const QString& caption, const ShadowProfile& profile, bool vertical);
  void syncCursor();
  void afterPointer(PointerTools::Result r);
  void paintBands(QPainter& p);

  DrawingSession session_;
  std::unique_ptr<ViewControl> view_ = std::make_unique<ViewControl>(session_);
  std::unique_ptr<PointerTools> tools_ = std::make_unique<PointerTools>(*view_);
  TDisplaySink sink_;
  TBitmapList bitmaps_;
  QImage buffer_;
  bool fullRedrawNeeded_ = true;
  // A paint that found the viewer busy and the picture out of date asks again a little later.
  QTimer* retryPaint_ = nullptr;
  bool enableCADMenu_ = false;
  QColor backColor_{Qt::white};
  QMenu* menu_ = nullptr;
  double cursorX_ = 0, cursorY_ = 0;
  double drawSeconds_ = 0;
  int drawCount_ = 0;
};

}  // namespace kelvaro::viewer
