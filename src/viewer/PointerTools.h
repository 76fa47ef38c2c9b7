#pragma once
// What the mouse does over a viewer: it reports the pointer in drawing units, drags a
// rubber-band rectangle for the zoom-rectangle tool and a rubber-band line for the pan tool,
// picks the window the print dialog asked for, zooms with the wheel about the pointer and pans
// with a middle-button drag. The state machine is plain; the viewer paints the bands and sets
// the cursors it names.
#include <QCursor>

#include "cadkit/types.h"
#include "viewer/ViewControl.h"

namespace kelvaro::viewer {

// A mouse position in pixels, y counted down from the top as the mouse reports it.
struct ScreenPoint {
  double x = 0, y = 0;
};

class PointerTools {
 public:
  explicit PointerTools(ViewControl& view) : v_(view) {}

  enum class Result { Nothing, CursorOnly, Overlay, Redraw, PrintPicked };

  // Tool commands: with a drawing open leave any tool, then take this one.
  bool StartZoomRectangle();
  bool StartPan();
  // The print dialog asked for a window: the next press-drag-release gives its two corners.
  bool BeginPrintWindowPick();

  Result LeftDown(ScreenPoint p);
  // Always updates the cursor position when it can (no tool needed).
  Result Move(ScreenPoint p);
  Result LeftUp(ScreenPoint p);
  Result MiddleDown(ScreenPoint p);
  Result MiddleUp(ScreenPoint p);

  bool rectangleOn() const { return rectOn_; }
  bool lineOn() const { return lineOn_; }
  bool middleDragging() const { return middleOn_; }
  ScreenPoint pressPoint() const { return press_; }
  ScreenPoint currentPoint() const { return current_; }
  // Pixels the picture follows the pointer during a middle-button drag.
  ScreenPoint dragOffset() const { return {current_.x - middlePress_.x, current_.y - middlePress_.y}; }
  cad::Vec3 pickPoint() const { return pick_; }
  double cursorX() const { return cursor_.x; }
  double cursorY() const { return cursor_.y; }

 private:
  ViewPixel bottomUp(ScreenPoint p) const { return {p.x, v_.session().panelHeight() - p.y}; }

  ViewControl& v_;
  ScreenPoint press_, current_, middlePress_;
  bool rectOn_ = false, lineOn_ = false, middleOn_ = false;
  cad::Vec3 pick_, cursor_;
};

// The cursors a viewer shows by number: 1 the magnifier, 6 the hand, -3 the crosshair, anything
// else the default arrow. The two pictures are drawn here, not loaded.
QCursor viewerCursor(int number);

}  // namespace kelvaro::viewer
