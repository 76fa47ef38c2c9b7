#pragma once
// The overhang model: a section through a wall, a window and a horizontal overhang above
// it, and an elevation of the glass with the part the overhang shades. Plain geometry; the
// window TfrmModel1 paints the scene and moves the nodes.
#include <array>

#include "models/ModelGeometry.h"

namespace kelvaro::models {

// Millimetres, on the 25 mm grid.
struct OverhangDims {
  double OverhangLength = 800;
  double OverhangOffset = 100;  // window head to the overhang's underside
  double WindowHeight = 1500;
  double WallWidth = 300;
  double SillHeight = 900;
  friend bool operator==(const OverhangDims&, const OverhangDims&) = default;
};

struct OverhangSettings {
  OverhangDims Dims;
  int StepMinutes = 2;
  int FacadeOrientation = 180;
};
// Stored values as the model takes them (see SaneDimension).
OverhangSettings SanitizedOverhang(const OverhangSettings& s);

inline constexpr int kOverhangPanX = 10;
inline constexpr int kOverhangPanY = 10;

// Screen positions of the section.
struct OverhangLayout {
  ViewMap map;
  int Yf = 0;  // floor line
  int X0 = 0;  // outer face of the wall
  std::array<Pt, 5> Nodes;
  Pt C0;  // orientation inset origin
  Pt at(double x, double y) const { return {ToPixel(double(X0) + map.px(x)), ToPixel(double(Yf) - map.px(y))}; }
};
OverhangLayout LayoutOverhang(const OverhangDims& d, const ModelView& view);

struct OverhangAngles {
  double A1 = 0, A2 = 0, A3 = 0, A4 = 0, A5 = 0;
};
OverhangAngles OverhangCriticalAngles(const OverhangDims& d, const ViewMap& map);

// The noon VSAs of the two reference positions for a façade orientation.
struct NoonVsas {
  double First = 0;
  double Second = 0;
};
NoonVsas ComputeNoonVsas(const HorizonPosition& first, const HorizonPosition& second, int orientation);

// What one sun position does to the model.
struct OverhangResult {
  OverhangAngles Angles;
  double SunPenetration = 0;    // mm
  double HorizontalOffset = 0;  // mm, "O/hang H. Offset"
  int ShadedPercent = 100;
  int HeadY = 0;
  int SillY = 0;
  int ShadowY = 0;  // the shadow line on the glass (screen y)
  RayList SunRays;
  RayList NoonRays;
};

// `committed` lays out the section; `display` (the values while a node is dragged) gives the
// texts, the penetration and the offset.
OverhangResult ComputeOverhang(const OverhangDims& committed, const OverhangDims& display, const ModelView& view,
                               const SunState& sun, const NoonVsas& noon);

// The whole picture: background, inset, rays, section, elevation, nodes and texts, drawn
// into `out` (cleared first).
void DrawOverhang(Scene& out, const OverhangDims& committed, const OverhangDims& display, const ModelView& view,
                  const SunState& sun, const NoonVsas& noon, int orientation);
Scene DrawOverhang(const OverhangDims& committed, const OverhangDims& display, const ModelView& view,
                   const SunState& sun, const NoonVsas& noon, int orientation);

// Dragging: node 0 … 4 from the button-down point to `now` on the committed layout.
DragCursor OverhangCursor(int node);
OverhangDims DragOverhang(const OverhangDims& committed, const ModelView& view, int node, Pt down, Pt now);

}  // namespace kelvaro::models
