#include "models/FinModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "ephemeris/Format.h"

namespace kelvaro::models {

namespace {

constexpr double kRad = std::numbers::pi / 180.0;
constexpr double kFin = 150;        // fin thickness
constexpr double kRightWall = 1900; // wall to the right of the window
constexpr double kRoom = 1800;      // room depth shown inside the wall
constexpr double kUnit = 200;       // spacing unit of the drag limits and the placing

const std::vector<std::array<double, 2>>& finSymbol() {
  static const std::vector<std::array<double, 2>> pts = {
      {-4, 4}, {-4, -4}, {2, -4}, {2, -2}, {4, -2}, {4, -1},  {2, -1}, {2, -1}, {1, -1}, {1, -3},
      {-3, -3}, {-3, 3}, {1, 3},  {1, 1},  {2, 1},  {2, 1.5}, {4, 1.5}, {4, 2},  {2, 2},  {2, 4}};
  return pts;
}

// a / t, with 0 for a zero divisor (a ray straight into the wall has no such crossing).
double over(double a, double t) { return t == 0 ? 0 : a / t; }

}  // namespace

FinSettings SanitizedFin(const FinSettings& s) {
  FinSettings r;
  const FinDims def;
  r.Dims.FinLength = SaneDimension(s.Dims.FinLength, def.FinLength, 0, kLargestDimension);
  r.Dims.WindowWidth = SaneDimension(s.Dims.WindowWidth, def.WindowWidth, 0, kLargestDimension);
  r.Dims.WallLeft = SaneDimension(s.Dims.WallLeft, def.WallLeft, 0, kLargestDimension);
  r.Dims.WallWidth = SaneDimension(s.Dims.WallWidth, def.WallWidth, 25, kLargestDimension);
  r.Dims.FinOffset = SaneDimension(s.Dims.FinOffset, def.FinOffset, 0, kLargestDimension);
  r.StepMinutes = SaneInteger(s.StepMinutes, 2, 1, 30);
  r.FacadeOrientation = SaneInteger(s.FacadeOrientation, 180, 0, 360);
  return r;
}

FinLayout LayoutFin(const FinDims& d, const ModelView& view) {
  FinLayout l;
  l.map = view.map();
  l.PanX = view.PanX;
  l.Yb = ToPixel(double(view.height) - 2.0 * view.PanY);
  const double J = d.WallLeft, B = d.WallLeft + d.WindowWidth, F = d.FinOffset, P = d.FinLength, T = d.WallWidth;
  l.Nodes = {l.at((J - kFin - F) / 2, T), l.at(J, T / 2), l.at(B, T / 2), l.at(B + F + 75, T + P), l.at(J - F, T)};
  l.C0 = {ToPixel(double(l.at(B, 0).x) + 6.0 * l.map.px(kUnit)), ToPixel(double(l.at(0, T).y) - 6.0 * l.map.px(kUnit))};
  return l;
}

FinAngles FinCriticalAngles(const FinDims& d, const ViewMap& m) {
  const double F = d.FinOffset, P = d.FinLength, T = d.WallWidth, WW = d.WindowWidth;
  FinAngles a;
  a.a1 = CriticalAngle(m.px(F), m.px(P));
  a.a2 = CriticalAngle(m.px(WW + F), m.px(P + T));
  a.a3 = CriticalAngle(m.px(WW), m.px(T));
  a.a5 = CriticalAngle(m.px(WW + F), m.px(P));
  a.a6 = CriticalAngle(m.px(2 * F + WW), m.px(P));
  return a;
}

FinResult ComputeFin(const FinDims& c, const ModelView& view, const SunState& sun) {
  FinResult r;
  const FinLayout lay = LayoutFin(c, view);
  const ViewMap& m = lay.map;
  r.Angles = FinCriticalAngles(c, m);
  const FinAngles& A = r.Angles;
  r.WindowPx = m.px(c.WindowWidth);
  r.BandFrom = 0;
  r.BandTo = r.WindowPx;
  const double hsa = sun.HSA;
  double h;
  if (hsa >= 0 && hsa <= 90) {
    r.Side = FinSide::Right;
    h = hsa;
  } else if (hsa >= 270 && hsa <= 360) {
    r.Side = FinSide::Left;
    h = 360 - hsa;
  } else {
    return r;  // sun behind the façade: fully shaded, no rays
  }

  // The sun on the left is the mirror image of the sun on the right: work in a frame whose
  // left jamb is the jamb on the sun's far side, then mirror the points back.
  const double WW = c.WindowWidth, F = c.FinOffset, P = c.FinLength, T = c.WallWidth;
  const double end = c.WallLeft + WW + kRightWall;
  const bool mirror = r.Side == FinSide::Left;
  const double J = mirror ? kRightWall : c.WallLeft;
  const double B = J + WW;
  auto at = [&](double x, double y) { return lay.at(mirror ? end - x : x, y); };

  const double t = std::tan(h * kRad);
  const double xf = B + F;
  const Pt tip = at(xf, T + P);
  double k = 0;
  if (h < A.a1) {
    r.Rays.push_back({tip, at(xf - P * t, T), kYellow});
    k = WW - (T / 2) * t;
  } else if (h < A.a2) {
    const double x = xf - (P + T + kRoom) * t;
    r.Rays.push_back({tip, x < 0 ? at(0, T + P - over(J + WW + F, t)) : at(x, -kRoom), kYellow});
    k = (WW + F) - (P + T / 2) * t;
  } else if (h < A.a5) {
    r.Rays.push_back({tip, at(J, T + P - over(WW + F, t)), kYellow});
    k = (WW + F) - (P + T / 2) * t;
  } else if (h < A.a6) {
    r.Rays.push_back({tip, at(xf - P * t, T), kYellow});
  } else {
    r.Rays.push_back({tip, at(J - F, T + P - over(2 * F + WW, t)), kYellow});
  }
  if (h < A.a1) {
    const Pt corner = at(B, T);
    if (h >= A.a3) {
      r.Rays.push_back({corner, at(J, T - over(WW, t)), kYellow});
    } else {
      const double x = B - (kRoom + T) * t;
      r.Rays.push_back({corner, x < 0 ? at(0, T - over(J + WW, t)) : at(x, -kRoom), kYellow});
    }
  }
  if (h < A.a3 && h < A.a2) {
    const double x = J - kRoom * t;
    r.Rays.push_back({at(J, 0), x < 0 ? at(0, -over(J, t)) : at(x, -kRoom), kYellow});
  }

  int kpx = std::isfinite(k) ? m.px(k) : 0;
  kpx = std::clamp(kpx, 0, std::max(r.WindowPx, 0));
  r.UnshadedPx = kpx;
  if (r.WindowPx > 0) {
    r.ShadedPercent = 100 - static_cast<int>(std::trunc(double(kpx) / r.WindowPx * 100));
  }
  if (mirror) {
    r.BandFrom = 0;
    r.BandTo = r.WindowPx - kpx;
  } else {
    r.BandFrom = kpx;
    r.BandTo = r.WindowPx;
  }
  return r;
}

Scene DrawFin(const FinDims& c, const FinDims& disp, const ModelView& view, const SunState& sun, int orientation) {
  Scene s;
  DrawFin(s, c, disp, view, sun, orientation);
  return s;
}

void DrawFin(Scene& s, const FinDims& c, const FinDims& disp, const ModelView& view, const SunState& sun,
             int orientation) {
  s.clear();
  s.width = view.width;
  s.height = view.height;
  const FinLayout lay = LayoutFin(c, view);
  const ViewMap& m = lay.map;
  const FinResult r = ComputeFin(c, view, sun);
  const double J = c.WallLeft, B = c.WallLeft + c.WindowWidth, F = c.FinOffset, P = c.FinLength, T = c.WallWidth;

  const int a = static_cast<int>(Nearest(m.px(150) / 1.5));
  OrientationInset(s, lay.C0, a, orientation, finSymbol(), sun, m);

  s.polygon({lay.at(0, 0), lay.at(0, T), lay.at(J - F - kFin, T), lay.at(J - F - kFin, T + P), lay.at(J - F, T + P),
             lay.at(J - F, T), lay.at(J, T), lay.at(J, 0)},
            kSilver, kDarkGrey);
  s.polygon({lay.at(B, 0), lay.at(B, T), lay.at(B + F, T), lay.at(B + F, T + P), lay.at(B + F + kFin, T + P),
             lay.at(B + F + kFin, T), lay.at(B + kRightWall, T), lay.at(B + kRightWall, 0)},
            kSilver, kDarkGrey);

  for (const RaySeg& ray : r.Rays) Ray(s, ray.from, ray.to, m, ray.colour);

  const int xe = ToPixel(double(lay.at(B, 0).x) + 2.0 * m.px(kUnit));
  const int top = ToPixel(double(lay.at(0, 0).y) + m.px(kUnit));
  s.rect({xe, top}, {xe + r.WindowPx, lay.Yb}, kBlue, kGlass);
  if (r.BandTo > r.BandFrom) s.rect({xe + r.BandFrom, top}, {xe + r.BandTo, lay.Yb}, kBlack, kGrey);

  const FinLayout shown = LayoutFin(disp, view);
  NodeSquares(s, shown.Nodes.data(), 5);
  s.line({shown.Nodes[1].x + 3, shown.Nodes[1].y}, {shown.Nodes[2].x - 3, shown.Nodes[2].y}, kBlue);

  const char* labels[] = {"Fin Length", "Fin H. Offset", "Window Width", "Wall Width"};
  const double values[] = {disp.FinLength, disp.FinOffset, disp.WindowWidth, disp.WallWidth};
  for (int i = 0; i < 4; ++i) {
    s.text({12, 12 + 16 * i}, labels[i]);
    s.text({98, 12 + 16 * i}, MmText(values[i]));
  }
  const char* sunLabels[] = {"Azimuth", "Altitude", "HSA", "VSA"};
  const double sunValues[] = {sun.Azimuth, sun.Altitude, sun.HSA, sun.VSA};
  for (int i = 0; i < 4; ++i) {
    s.text({12, 92 + 16 * i}, sunLabels[i]);
    s.text({98, 92 + 16 * i}, FormatAngle(sunValues[i]));
  }
  s.text({view.PanX, ToPixel(Nearest(lay.Yb - 2.5 * m.px(kUnit)))}, "PLAN VIEW");
  s.text({xe, lay.Yb + 5}, "INTERNAL WINDOW ELEVATION");
  s.text({xe, lay.Yb + 21}, "Shaded Area " + std::to_string(r.ShadedPercent) + "%");
  s.text({12, view.height - 40}, "Drag nodes to change dimensions");
  s.text({12, view.height - 24}, "Vertical fins protect window façades from east/ west low-angle sun.");
}

DragCursor FinCursor(int node) {
  switch (node) {
    case 0:
    case 3:
      return DragCursor::Vertical;
    case 1:
    case 2:
    case 4:
      return DragCursor::Horizontal;
    default:
      return DragCursor::Default;
  }
}

FinDims DragFin(const FinDims& c, const ModelView& view, int node, Pt down, Pt now) {
  FinDims d = c;
  const FinLayout lay = LayoutFin(c, view);
  const ViewMap& m = lay.map;
  const double J = c.WallLeft, B = c.WallLeft + c.WindowWidth;
  switch (node) {
    case 0: {  // wall thickness
      double w = Snap(c.WallWidth - m.mm(now.y - down.y));
      d.WallWidth = w < 1 ? 25 : w;
      break;
    }
    case 1: {  // left jamb
      now.x = std::min(now.x, lay.at(B - kUnit, 0).x);
      now.x = std::max(now.x, lay.at(2 * kUnit, 0).x);
      const double dx = m.mm(now.x - down.x);
      d.WallLeft = std::max(Snap(c.WallLeft + dx), 0.0);
      d.WindowWidth = std::max(Snap(c.WindowWidth - dx), 0.0);
      break;
    }
    case 2: {  // right jamb
      now.x = std::max(now.x, lay.at(J + kUnit, 0).x);
      d.WindowWidth = std::max(Snap(c.WindowWidth + m.mm(now.x - down.x)), 0.0);
      break;
    }
    case 3:  // fin tip
      d.FinLength = std::max(Snap(c.FinLength - m.mm(now.y - down.y)), 0.0);
      break;
    case 4:  // fin offset
      d.FinOffset = std::max(Snap(c.FinOffset - m.mm(now.x - down.x)), 0.0);
      break;
    default:
      break;
  }
  return d;
}

}  // namespace kelvaro::models
