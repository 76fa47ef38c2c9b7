#pragma once
// The fin model: a plan of a wall with a window between two vertical fins, and the internal
// elevation of the glass with the part the fins and reveals shade. Plain geometry; the window
// TfrmModel2 paints the scene and moves the nodes.
#include <array>

#include "models/ModelGeometry.h"

namespace kelvaro::models {

// Millimetres, on the 25 mm grid.
struct FinDims {
  double FinLength = 800;
  double WindowWidth = 1200;
  double WallLeft = 1900;  // wall from its left end to the left jamb
  double WallWidth = 300;  // wall thickness
  double FinOffset = 100;  // gap between each jamb and its fin
  friend bool operator==(const FinDims&, const FinDims&) = default;
};

struct FinSettings {
  FinDims Dims;
  int StepMinutes = 2;
  int FacadeOrientation = 180;
};
FinSettings SanitizedFin(const FinSettings& s);

inline constexpr int kFinPanX = 20;
inline constexpr int kFinPanY = 30;

struct FinLayout {
  ViewMap map;
  int Yb = 0;  // back of the room
  std::array<Pt, 5> Nodes;
  Pt C0;
  int PanX = 0;
  Pt at(double x, double y) const {
    return {ToPixel(double(PanX) + map.px(x)), ToPixel(double(Yb) - map.px(1800) - map.px(y))};
  }
};
FinLayout LayoutFin(const FinDims& d, const ModelView& view);

struct FinAngles {
  double a1 = 0, a2 = 0, a3 = 0, a5 = 0, a6 = 0;
};
FinAngles FinCriticalAngles(const FinDims& d, const ViewMap& map);

enum class FinSide { Right, Left, Behind };

struct FinResult {
  FinAngles Angles;
  FinSide Side = FinSide::Behind;
  int UnshadedPx = 0;  // k, whole pixels from the jamb on the sun's side
  int WindowPx = 0;    // the window's width in pixels
  int ShadedPercent = 100;
  // The shaded band on the elevation: pixel offsets from the window's left edge.
  int BandFrom = 0;
  int BandTo = 0;
  RayList Rays;
};

FinResult ComputeFin(const FinDims& committed, const ModelView& view, const SunState& sun);

void DrawFin(Scene& out, const FinDims& committed, const FinDims& display, const ModelView& view, const SunState& sun,
             int orientation);
Scene DrawFin(const FinDims& committed, const FinDims& display, const ModelView& view, const SunState& sun,
              int orientation);

DragCursor FinCursor(int node);
FinDims DragFin(const FinDims& committed, const ModelView& view, int node, Pt down, Pt now);

}  // namespace kelvaro::models
