#pragma once
// The drawing a viewer owns and everything done to it without a window: starting the toolkit,
// opening, saving, spaces and layouts, the layer and linetype tables, the view record with its
// history, and the texts of the drawing information. TDraftel and the batch tool's render
// command are thin over this class. User-visible failures go through platform/notify.h.
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cadkit/toolkit.h"
#include "cadkit/vectorize.h"

namespace kelvaro::viewer {

// Starts the toolkit once per process with the start-up file in `programFolder`; shows "Could
// not initialize adinit.dat" or "Could not initialize drawing viewer" when it cannot. Returns
// whether the toolkit is running.
bool startToolkit(const QString& programFolder);
bool toolkitStarted();
// One attempt without the once-per-process flag (for tests of the failure messages).
bool tryStartToolkit(const QString& programFolder);

enum class PointerMode : int { ZoomedExtents = 0, ZoomedIn = 1, ZoomedOut = 2, ZoomRectangle = 3, Pan = 4, Idle = 5 };

struct TLayer {
  cad::AdLayer rec;
  std::array<std::uint8_t, 4> state{};  // on, frozen, (carried through), locked
  std::string linetypeName;
};
struct TLine {
  cad::AdLinetype rec;
  cad::Handle handle;
};
using TLayers = std::vector<TLayer>;
using TLines = std::vector<TLine>;

struct LayoutEntry {
  enum class Kind { Model, PaperSpace, Layout };
  QString caption;  // "Model Space", "Paper Space" or the layout's name
  Kind kind = Kind::Model;
  cad::Handle block;
};

struct DrawingInfoTexts {
  QString name, version, location, size, created, modified, editTime, limitsLower, limitsUpper, extentsLower,
      extentsUpper;
};

// The save dialog's sixteen filters, in order.
const QStringList& saveFilters();
// File version 0..7 for a 1-based filter index (R2000 for 1, 9 and anything unknown).
int versionForFilterIndex(int index);
bool filterIsDxf(int index);
// The save dialog's preset name: the file name cut before its first ".".
QString presetSaveName(const QString& path);
// Versions outside 0..7 are written as 7 (R2000).
int normalisedVersion(int version);

class DrawingSession {
 public:
  DrawingSession();
  ~DrawingSession();
  DrawingSession(const DrawingSession&) = delete;
  DrawingSession& operator=(const DrawingSession&) = delete;

  // Panel size in pixels (the pixel window).
  void setPanelSize(int width, int height);
  int panelWidth() const { return width_; }
  int panelHeight() const { return height_; }

  int OpenDrawing(const QString& path);
  // Makes a drawing built in memory after an open current under `name`: model space, the view
  // zoomed to the extents as the initial view, never saved.
  void ShowGenerated(const QString& name);
  int SaveAsDwg(const QString& path, int version);
  int SaveAsDxf(const QString& path, int version);
  // The part of Save As after the dialog: viewport update, then DWG or DXF by filter index.
  int SaveByFilter(const QString& path, int filterIndex);

  bool hasDrawing() const { return handle_ != 0; }
  cad::AdDrawing handle() const { return handle_; }
  cad::AdHeader* header() const { return header_; }
  const QString& path() const { return path_; }
  std::uintmax_t fileSize() const { return size_; }
  bool modelSpace() const { return modelSpace_; }
  bool paperSpaceAvailable() const { return paperAvailable_; }
  cad::Handle layoutBlock() const { return layoutBlock_; }

  void SetModelSpace();
  void SetPaperSpace();
  std::vector<LayoutEntry> Layouts() const;
  void SelectLayout(const LayoutEntry& entry);

  bool SetQuickText(bool on);  // true when it changed the drawing
  void SetQuickTextAtOpen(int value) { quickTextAtOpen_ = value; }
  bool quickText() const { return quickText_; }
  void SetCurveQuality(int q);
  int curveQuality() const { return curveQuality_; }

  void ReadTables();
  const TLayers& layers() const { return layers_; }
  const TLines& lines() const { return lines_; }

  DrawingInfoTexts DrawingInfo() const;

  // View.
  cad::AdViewRecord& view() { return view_; }
  cad::AdTransform& transform() { return xf_; }
  cad::AdPixelWindow pixelWindow() const { return {0, 0, width_, height_}; }
  double requestedWidth = 0, requestedHeight = 0;
  PointerMode pointerMode = PointerMode::Idle;
  void ZoomExtents();
  void ZoomIn();
  void ZoomOut();
  bool ZoomPrevious();
  void ZoomWindow(double x1, double y1, double x2, double y2);
  void PushHistory();
  void ResetHistory();
  int historyCount() const { return static_cast<int>(history_.size()); }
  // Fits the view record to the panel's shape (the requested window widened) and recomputes the
  // transform: what every full draw starts with.
  void FitViewToPanel();
  cad::Vec3 PixelToWorld(double x, double yFromTop) const;

  // Flags.
  bool busy = false;
  bool modified = false;
  bool neverSaved = false;
  bool binaryDxf = false;
  std::vector<std::string> searchFolders;
  // Called about every 1% while a file loads.
  std::function<void(int percent)> onLoadProgress;

 private:
  void closeDrawing();
  void initVectorize();

  cad::AdDrawing handle_ = 0;
  cad::AdHeader* header_ = nullptr;
  QString path_;
  std::uintmax_t size_ = 0;
  bool modelSpace_ = true, paperAvailable_ = false;
  cad::Handle layoutBlock_;
  cad::AdViewRecord view_;
  cad::AdTransform xf_;
  int width_ = 100, height_ = 100;
  struct HistoryEntry {
    cad::AdViewRecord view;
    PointerMode mode;
  };
  std::vector<HistoryEntry> history_;
  bool quickText_ = false;
  int quickTextAtOpen_ = 0;
  int curveQuality_ = 10;
  TLayers layers_;
  TLines lines_;
};

// Sets a flag for the lifetime of the guard; tells whether it was free.
class BusyGuard {
 public:
  explicit BusyGuard(bool& flag) : flag_(flag), acquired_(!flag) {
    if (acquired_) flag_ = true;
  }
  ~BusyGuard() {
    if (acquired_) flag_ = false;
  }
  explicit operator bool() const { return acquired_; }

 private:
  bool& flag_;
  bool acquired_;
};

}  // namespace kelvaro::viewer
