#pragma once
// What part of a drawing a viewer shows and from where: zooms, pans, the standard plan,
// elevation and isometric views, quarter turns and named views, all on the view record of a
// DrawingSession and its history. No widgets here: TDraftel and the batch tool call these and
// redraw when told to.
#include <QString>

#include <optional>
#include <string_view>
#include <vector>

#include "cadkit/tables.h"
#include "cadkit/vectorize.h"
#include "viewer/DrawingSession.h"

namespace kelvaro::viewer {

// Pixel point with y counted up from the bottom edge of the panel.
struct ViewPixel {
  double x = 0, y = 0;
};

enum class StandardView { Top, Bottom, Left, Right, Front, Back, SW, SE, NE, NW };

// Not exactly -pi/2: an exact quarter turn leaves the up vector parallel to the view
// direction in some toolkits, so the front views stop just short of it.
inline constexpr double kFrontAngle = -1.5707947559985698;

// "top", "bottom", "left", "right", "front", "back", "sw", "se", "ne", "nw" (any case).
std::optional<StandardView> standardViewByName(std::string_view name);
const char* standardViewName(StandardView v);
// Resets the orientation to plan and applies the view's rotations; the point shown in the
// middle of the panel stays where it is.
void applyStandardView(cad::AdViewRecord& view, StandardView which);

// Screen cursor numbers a viewer shows.
enum CursorNumber : int { kCursorDefault = 0, kCursorMagnifier = 1, kCursorHand = 6, kCursorCross = -3 };

// The pointer-tool state that the view commands reset as well.
struct ToolState {
  int cursor = kCursorDefault;
  bool printPickPending = false;
  cad::Vec3 printCorner[2];  // drawing units; cleared until a pick gives them
  // The print dialog offers its window option only for a real rectangle.
  bool printWindowUsable() const {
    return printCorner[0].x != printCorner[1].x && printCorner[0].y != printCorner[1].y;
  }
};

struct NamedViewEntry {
  QString name;
  bool initial = false;  // the "INITIAL" entry: zoom extents
  cad::View stored;
};

inline constexpr const char* kModelSpaceOnlyWarning =
    "You must change to Model Space before performing this action. Select the Layouts command.";

class ViewControl {
 public:
  explicit ViewControl(DrawingSession& session) : s_(session) {}

  DrawingSession& session() { return s_; }
  ToolState& tool() { return tool_; }
  const ToolState& tool() const { return tool_; }

  // Primitives, corners in bottom-up pixels of the panel. They change the view record only;
  // the commands push history and ask for the redraw.
  // False when the window would be narrower than 1e-11 or wider than 1e10 drawing units.
  bool ZoomWindow(ViewPixel p1, ViewPixel p2);
  void PanToWindowCentre(ViewPixel p1, ViewPixel p2);
  void PanBy(ViewPixel p1, ViewPixel p2);
  // Shrinks (factor < 1) or widens the shown window keeping the drawing point under `at` in
  // place. False when refused by the same limits as ZoomWindow.
  bool ZoomAbout(ViewPixel at, double factor);

  void LeaveTool();  // cancel a pending print-window pick, default cursor, pointer mode idle

  // Commands: each returns true when the panel must be redrawn. They do nothing without a
  // drawing or while the viewer is busy.
  bool ZoomExtents();
  bool ZoomIn();
  bool ZoomOut();
  bool ZoomPrevious();
  bool SetStandardView(StandardView which);
  bool RotateLeft90();
  bool RotateRight90();
  // Mouse wheel: each notch (120 units of angle) in shrinks the window by a fifth.
  bool WheelZoom(ViewPixel at, int angleDelta);
  // "INITIAL" first, then the stored views in file order without paper-space views.
  std::vector<NamedViewEntry> NamedViews() const;
  bool RestoreNamedView(const NamedViewEntry& entry);
  // Shows the paper-space warning and returns false in paper space.
  bool RequireModelSpace() const;

 private:
  int width() const { return s_.panelWidth() > 0 ? s_.panelWidth() : 1; }
  int height() const { return s_.panelHeight() > 0 ? s_.panelHeight() : 1; }
  bool usable() const { return s_.hasDrawing() && !s_.busy; }

  DrawingSession& s_;
  ToolState tool_;
};

}  // namespace kelvaro::viewer
