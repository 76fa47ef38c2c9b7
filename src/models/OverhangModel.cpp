#include "models/OverhangModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "ephemeris/Format.h"

namespace kelvaro::models {

namespace {

constexpr double kRad = std::numbers::pi / 180.0;
double tanDeg(double deg) { return std::tan(deg * kRad); }

// Fixed sizes of the section (mm).
constexpr double kRoomDepth = 3000;  // back of the room to the outer face
constexpr double kWallAboveSlab = 1550;

const std::vector<std::array<double, 2>>& overhangSymbol() {
  static const std::vector<std::array<double, 2>> pts = {{-4, 4}, {-4, -4}, {4, -4}, {4, -1}, {3, -1}, {3, -3},
                                                         {-3, -3}, {-3, 3}, {3, 3},  {3, 1},  {4, 1},  {4, 4}};
  return pts;
}

}  // namespace

OverhangSettings SanitizedOverhang(const OverhangSettings& s) {
  OverhangSettings r;
  const OverhangDims def;
  r.Dims.OverhangLength = SaneDimension(s.Dims.OverhangLength, def.OverhangLength, 0, kLargestDimension);
  r.Dims.OverhangOffset = SaneDimension(s.Dims.OverhangOffset, def.OverhangOffset, 0, 1400);
  r.Dims.WindowHeight = SaneDimension(s.Dims.WindowHeight, def.WindowHeight, 0, kLargestDimension);
  r.Dims.WallWidth = SaneDimension(s.Dims.WallWidth, def.WallWidth, 25, 3000);
  r.Dims.SillHeight = SaneDimension(s.Dims.SillHeight, def.SillHeight, 0, kLargestDimension);
  r.StepMinutes = SaneInteger(s.StepMinutes, 2, 1, 30);
  r.FacadeOrientation = SaneInteger(s.FacadeOrientation, 180, 0, 360);
  return r;
}

OverhangLayout LayoutOverhang(const OverhangDims& d, const ModelView& view) {
  OverhangLayout l;
  l.map = view.map();
  const ViewMap& m = l.map;
  const double H = d.SillHeight + d.WindowHeight, W = d.WallWidth, L = d.OverhangLength, V = d.OverhangOffset;
  l.Yf = ToPixel(double(view.height) - m.px(400) - 3.0 * view.PanY - m.px(300));
  l.X0 = ToPixel(double(view.PanX) + m.px(kRoomDepth));
  l.Nodes = {l.at(-W / 2, H), l.at(L, H + V + 75), l.at(-W / 2, d.SillHeight), l.at(-W, d.SillHeight / 2),
             l.at(0, H + V + 150)};
  l.C0 = {ToPixel(view.PanX + Nearest(1.4 * m.px(kRoomDepth))), ToPixel(l.Nodes[1].y - Nearest(2.8 * m.px(300)))};
  return l;
}

OverhangAngles OverhangCriticalAngles(const OverhangDims& d, const ViewMap& m) {
  const double H = d.SillHeight + d.WindowHeight, W = d.WallWidth, L = d.OverhangLength, V = d.OverhangOffset;
  OverhangAngles a;
  a.A1 = CriticalAngle(m.px(V), m.px(L));
  a.A2 = CriticalAngle(m.px(H + V), m.px(kRoomDepth + L));
  a.A3 = CriticalAngle(m.px(d.WindowHeight + V), m.px(W + L));
  a.A4 = m.px(L) == 0 ? 90.0 : CriticalAngle(m.px(d.WindowHeight + V), m.px(L));
  a.A5 = CriticalAngle(m.px(H + V), m.px(L));
  return a;
}

NoonVsas ComputeNoonVsas(const HorizonPosition& first, const HorizonPosition& second, int orientation) {
  auto vsa = [&](const HorizonPosition& p) {
    return VerticalShadowAngle(p.Altitude, HorizontalShadowAngle(p.Azimuth, orientation));
  };
  return {vsa(first), vsa(second)};
}

OverhangResult ComputeOverhang(const OverhangDims& c, const OverhangDims& disp, const ModelView& view,
                               const SunState& sun, const NoonVsas& noon) {
  OverhangResult r;
  const OverhangLayout lay = LayoutOverhang(c, view);
  const ViewMap& m = lay.map;
  const double H = c.SillHeight + c.WindowHeight, W = c.WallWidth, L = c.OverhangLength, V = c.OverhangOffset;
  const double WH = c.WindowHeight, Sill = c.SillHeight;
  r.Angles = OverhangCriticalAngles(c, m);
  const OverhangAngles& A = r.Angles;
  r.HeadY = lay.at(0, H).y;
  r.SillY = lay.at(0, Sill).y;
  r.ShadowY = r.SillY;
  const Pt tip = lay.at(L, H + V);

  // The noon sun of the two reference days, from the overhang tip.
  const double noonVsa[2] = {noon.First, noon.Second};
  const Rgb noonColour[2] = {kGreen, kNavy};
  for (int i = 0; i < 2; ++i) {
    const double v = noonVsa[i];
    // A reference sun below the horizon casts no ray.
    if (!(v > 0 && v < 90) || m.px(L) <= 0) continue;
    const double t = tanDeg(v);
    Pt end = v < A.A5 ? lay.at(0, H + V - L * t) : lay.at(L - (H + V) / t, 0);
    r.NoonRays.push_back({tip, end, noonColour[i]});
  }

  const double vsa = sun.VSA;
  if (vsa > 1 && vsa < 90) {
    const double t = tanDeg(vsa);
    const double dH = disp.SillHeight + disp.WindowHeight;
    double S = (dH + disp.OverhangOffset) / t - disp.OverhangLength - disp.WallWidth;
    const int underside = lay.at(0, H + V).y;
    const int belowOverhang = ToPixel(underside + Nearest(m.px(L + W / 2) * t));
    double upperLimit = A.A3;  // the angle below which the sill ray is drawn
    if (vsa < A.A1) {
      // The overhang misses the window: the head of the opening casts the upper ray.
      r.SunRays.push_back({tip, lay.at(0, H + V - L * t), kYellow});
      S = dH / t - disp.WallWidth;
      const double B1 = CriticalAngle(m.px(H), m.px(kRoomDepth));
      const double B2 = CriticalAngle(m.px(WH), m.px(W));
      const Pt head = lay.at(0, H);
      Pt end;
      if (vsa < B1) {
        end = lay.at(-kRoomDepth, H - kRoomDepth * t);
      } else if (vsa < B2) {
        end = lay.at(-H / t, 0);
      } else {
        end = lay.at(-WH / t, Sill);
        S = 0;
      }
      r.SunRays.push_back({head, end, kYellow});
      r.ShadowY = std::min(ToPixel(r.HeadY + Nearest(m.px(W / 2) * t)), r.SillY);
      upperLimit = B2;
    } else if (vsa < A.A2) {
      r.SunRays.push_back({tip, lay.at(-kRoomDepth, H + V - (L + kRoomDepth) * t), kYellow});
      r.ShadowY = std::min(belowOverhang, r.SillY);
    } else if (vsa < A.A3) {
      r.SunRays.push_back({tip, lay.at(L - (H + V) / t, 0), kYellow});
      r.ShadowY = std::min(belowOverhang, r.SillY);
    } else if (vsa < A.A4) {
      r.SunRays.push_back({tip, lay.at(L - (WH + V) / t, Sill), kYellow});
      r.ShadowY = std::min(belowOverhang, r.SillY);
      S = 0;
    } else if (vsa < A.A5) {
      r.SunRays.push_back({tip, lay.at(0, H + V - L * t), kYellow});
      S = 0;
    } else {
      r.SunRays.push_back({tip, lay.at(L - (H + V) / t, 0), kYellow});
      S = 0;
    }
    if (Sill > 0 && vsa < upperLimit) {
      const Pt edge = lay.at(-W, Sill);
      const Pt end = vsa < CriticalAngle(m.px(Sill), m.px(kRoomDepth - W))
                         ? lay.at(-kRoomDepth, Sill - (kRoomDepth - W) * t)
                         : lay.at(-W - Sill / t, 0);
      r.SunRays.push_back({edge, end, kYellow});
    }
    r.SunPenetration = std::isfinite(S) ? std::max(S, 0.0) : 0.0;
  }
  if (vsa < 90) {
    double off = std::trunc(std::fabs(tanDeg(sun.HSA) * disp.OverhangLength));
    r.HorizontalOffset = std::isfinite(off) ? off : 0.0;
  }
  const int glass = m.px(WH);
  if (glass > 0) {
    double n = Nearest(double(r.ShadowY - r.HeadY) / glass * 100);
    r.ShadedPercent = static_cast<int>(std::clamp(n, 0.0, 100.0));
  }
  return r;
}

Scene DrawOverhang(const OverhangDims& c, const OverhangDims& disp, const ModelView& view, const SunState& sun,
                   const NoonVsas& noon, int orientation) {
  Scene s;
  DrawOverhang(s, c, disp, view, sun, noon, orientation);
  return s;
}

void DrawOverhang(Scene& s, const OverhangDims& c, const OverhangDims& disp, const ModelView& view,
                  const SunState& sun, const NoonVsas& noon, int orientation) {
  s.clear();
  s.width = view.width;
  s.height = view.height;
  const OverhangLayout lay = LayoutOverhang(c, view);
  const ViewMap& m = lay.map;
  const OverhangResult r = ComputeOverhang(c, disp, view, sun, noon);
  const double H = c.SillHeight + c.WindowHeight, W = c.WallWidth, L = c.OverhangLength, V = c.OverhangOffset;
  const double Sill = c.SillHeight;

  const int a = static_cast<int>(Nearest(m.px(150) / 1.5));
  OrientationInset(s, lay.C0, a, orientation, overhangSymbol(), sun, m);

  for (const RaySeg& ray : r.NoonRays) Ray(s, ray.from, ray.to, m, ray.colour);
  for (const RaySeg& ray : r.SunRays) Ray(s, ray.from, ray.to, m, ray.colour);

  // The section: ceiling, wall above and overhang; floor, wall below the sill and footing.
  s.polygon({lay.at(-kRoomDepth, H + 150), lay.at(-kRoomDepth, H + 350), lay.at(-W, H + 350),
             lay.at(-W, H + kWallAboveSlab), lay.at(0, H + kWallAboveSlab), lay.at(0, H + V + 150),
             lay.at(L, H + V + 150), lay.at(L, H + V), lay.at(0, H + V), lay.at(0, H), lay.at(-W, H),
             lay.at(-W, H + 150)},
            kSilver, kDarkGrey);
  s.polygon({lay.at(-kRoomDepth, -300), lay.at(-kRoomDepth, 0), lay.at(-W, 0), lay.at(-W, Sill), lay.at(0, Sill),
             lay.at(0, 0), lay.at(0, 0), lay.at(75, 0), lay.at(75, -700), lay.at(-600, -700), lay.at(-900, -300),
             lay.at(-kRoomDepth, -300)},
            kSilver, kDarkGrey);
  const Pt ground = lay.at(75, 0);
  s.line(ground, {ToPixel(double(ground.x) + m.px(L) + 50), ground.y}, kSilver);

  // The elevation of the glass and its shaded part.
  const int xe = ToPixel(double(view.PanX) + m.px(kRoomDepth) + m.px(75) + 3.0 * m.px(300));
  const int we = ToPixel(4.0 * m.px(300));
  s.rect({xe, r.HeadY}, {xe + we, r.SillY}, kBlue, kGlass);
  if (r.ShadowY > r.HeadY) s.rect({xe, r.HeadY}, {xe + we, r.ShadowY}, kBlack, kGrey);

  // Nodes follow the values being dragged.
  const OverhangLayout shown = LayoutOverhang(disp, view);
  NodeSquares(s, shown.Nodes.data(), 5);
  s.line({shown.Nodes[0].x, shown.Nodes[0].y + 3}, {shown.Nodes[2].x, shown.Nodes[2].y - 3}, kBlue);

  const char* labels[] = {"O/hang Length", "O/hang V. Offset", "Window Height", "Wall Width", "Sill Height"};
  const double values[] = {disp.OverhangLength, disp.OverhangOffset, disp.WindowHeight, disp.WallWidth,
                           disp.SillHeight};
  for (int i = 0; i < 5; ++i) {
    s.text({12, 12 + 16 * i}, labels[i]);
    s.text({98, 12 + 16 * i}, MmText(values[i]));
  }
  s.text({12, 182}, "O/hang H. Offset");
  s.text({98, 182}, MmText(r.HorizontalOffset));
  s.text({12, 198}, "Sun Penetration");
  s.text({98, 198}, MmText(r.SunPenetration));
  const char* sunLabels[] = {"Azimuth", "Altitude", "HSA", "VSA"};
  const double sunValues[] = {sun.Azimuth, sun.Altitude, sun.HSA, sun.VSA};
  for (int i = 0; i < 4; ++i) {
    s.text({12, 214 + 16 * i}, sunLabels[i]);
    s.text({98, 214 + 16 * i}, FormatAngle(sunValues[i]));
  }
  s.text({view.PanX, ToPixel(double(lay.Yf) - m.px(300))}, "SECTION VIEW");
  s.text({xe, r.SillY + 5}, "WINDOW ELEVATION");
  s.text({xe, r.SillY + 21}, "Shaded Area " + std::to_string(r.ShadedPercent) + "%");
  s.text({12, view.height - 40}, "Drag nodes to change dimensions");
  s.text({12, view.height - 24}, "Horizontal overhangs protect façades from high-angle sun.");
}

DragCursor OverhangCursor(int node) {
  switch (node) {
    case 0:
    case 2:
    case 4:
      return DragCursor::Vertical;
    case 1:
    case 3:
      return DragCursor::Horizontal;
    default:
      return DragCursor::Default;
  }
}

OverhangDims DragOverhang(const OverhangDims& c, const ModelView& view, int node, Pt down, Pt now) {
  OverhangDims d = c;
  const OverhangLayout lay = LayoutOverhang(c, view);
  const ViewMap& m = lay.map;
  const double H = c.SillHeight + c.WindowHeight;
  switch (node) {
    case 0: {  // window head
      now.y = std::min(now.y, lay.at(0, c.SillHeight + 300).y);
      const double dy = m.mm(now.y - down.y);
      d.WindowHeight = std::max(Snap(c.WindowHeight - dy), 0.0);
      break;
    }
    case 1: {  // overhang tip
      const double dx = m.mm(now.x - down.x);
      d.OverhangLength = std::max(Snap(c.OverhangLength + dx), 0.0);
      break;
    }
    case 2: {  // sill; the head stays
      now.y = std::max(now.y, lay.at(0, H - 300).y);
      now.y = std::min(now.y, lay.at(0, 300).y);
      const double dy = std::min(m.mm(now.y - down.y), c.SillHeight);
      d.SillHeight = std::max(Snap(c.SillHeight - dy), 0.0);
      d.WindowHeight = std::max(Snap(c.WindowHeight + dy), 0.0);
      break;
    }
    case 3: {  // inner face of the wall
      now.x = std::max(now.x, ToPixel(double(view.PanX) + m.px(300)));
      const double dx = m.mm(now.x - down.x);
      double w = Snap(c.WallWidth - dx);
      if (w > 3000) w = 3000;
      if (w < 1) w = 25;
      d.WallWidth = w;
      break;
    }
    case 4: {  // top of the overhang
      now.y = std::min(now.y, lay.at(0, H + 150).y);
      now.y = std::max(now.y, lay.at(0, H + kWallAboveSlab).y);
      const double dy = m.mm(now.y - down.y);
      d.OverhangOffset = std::clamp(Snap(c.OverhangOffset - dy), 0.0, 1400.0);
      break;
    }
    default:
      break;
  }
  return d;
}

}  // namespace kelvaro::models
