#include "models/ModelGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "ephemeris/Format.h"
#include "ephemeris/SunEphem.h"

namespace kelvaro::models {

namespace {
constexpr double kRad = std::numbers::pi / 180.0;
constexpr double kPixelLimit = 1.0e6;
}  // namespace

double Nearest(double x) { return RoundHalfEven(x); }

double Snap(double mm) {
  if (!std::isfinite(mm)) return 0;
  return Nearest(mm / kGrid) * kGrid;
}

int ToPixel(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<int>(std::clamp(v, -kPixelLimit, kPixelLimit));
}

int ViewMap::span() const {
  double s = Nearest(6000.0 * zoom);
  return s < 1 ? 1 : ToPixel(s);
}

int ViewMap::px(double mm) const {
  return ToPixel(Nearest(mm * std::max(width, 1) / span()));
}

double ViewMap::mm(double pixels) const { return pixels * span() / std::max(width, 1); }

void Scene::clear() {
  used_ = 0;
  points_.clear();
}

Prim& Scene::add(Prim::Kind kind, std::uint32_t first, Rgb pen, Rgb brush, int radius) {
  if (used_ == prims_.size()) prims_.emplace_back();
  Prim& p = prims_[used_++];
  p.kind = kind;
  p.first = first;
  p.count = static_cast<std::uint32_t>(points_.size()) - first;
  p.radius = radius;
  p.pen = pen;
  p.brush = brush;
  p.text.clear();  // keeps its capacity for the next frame
  return p;
}

void Scene::polygon(std::initializer_list<Pt> pts, Rgb pen, Rgb brush) {
  beginPolygon();
  points_.insert(points_.end(), pts.begin(), pts.end());
  endPolygon(pen, brush);
}
void Scene::endPolygon(Rgb pen, Rgb brush) { add(Prim::Polygon, open_, pen, brush); }
void Scene::line(Pt a, Pt b, Rgb pen) {
  const auto first = static_cast<std::uint32_t>(points_.size());
  points_.push_back(a);
  points_.push_back(b);
  add(Prim::Line, first, pen, pen);
}
void Scene::dotted(Pt a, Pt b, Rgb pen) {
  line(a, b, pen);
  prims_[used_ - 1].kind = Prim::DottedLine;
}
void Scene::circle(Pt c, int r, Rgb pen) {
  const auto first = static_cast<std::uint32_t>(points_.size());
  points_.push_back(c);
  add(Prim::Circle, first, pen, pen, r);
}
void Scene::disc(Pt c, int r, Rgb colour) {
  circle(c, r, colour);
  prims_[used_ - 1].kind = Prim::FilledCircle;
}
void Scene::rect(Pt topLeft, Pt bottomRight, Rgb pen, Rgb brush) {
  const auto first = static_cast<std::uint32_t>(points_.size());
  points_.push_back(topLeft);
  points_.push_back(bottomRight);
  add(Prim::Rect, first, pen, brush);
}
void Scene::text(Pt at, std::string_view s, Rgb colour) {
  const auto first = static_cast<std::uint32_t>(points_.size());
  points_.push_back(at);
  add(Prim::Text, first, colour, colour).text.assign(s);
}

void Arrowhead(Scene& s, Pt from, Pt to, const ViewMap& map, Rgb colour) {
  long long dx = static_cast<long long>(to.x) - from.x;
  long long dy = static_cast<long long>(to.y) - from.y;
  long long n = static_cast<long long>(Nearest(std::sqrt(double(dx * dx + dy * dy))));
  if (n == 0) n = 1;
  const long long back = map.px(120), tip = map.px(80), half = map.px(100) / 2;
  // Whole-number divisions by the ray's length, as the pixel arithmetic of the picture.
  auto along = [&](long long len) { return Pt{ToPixel(to.x - dx * len / n), ToPixel(to.y - dy * len / n)}; };
  Pt b = along(back);
  Pt sideA{ToPixel(b.x + (-dy) * half / n), ToPixel(b.y + dx * half / n)};
  Pt sideB{ToPixel(b.x - (-dy) * half / n), ToPixel(b.y - dx * half / n)};
  s.polygon({to, sideA, along(tip), sideB}, colour, colour);
}

void Ray(Scene& s, Pt from, Pt to, const ViewMap& map, Rgb colour) {
  s.line(from, to, colour);
  Arrowhead(s, from, to, map, colour);
}

Pt SymbolPoint(Pt c0, int a, double u, double v, double orientationDeg) {
  double o = orientationDeg * kRad;
  return {ToPixel(c0.x + Nearest(a * (u * std::sin(o) + v * std::cos(o)))),
          ToPixel(c0.y + Nearest(a * (-u * std::cos(o) + v * std::sin(o))))};
}

void OrientationInset(Scene& s, Pt c0, int a, int orientation, const std::vector<std::array<double, 2>>& symbol,
                      const SunState& sun, const ViewMap& map) {
  // Compass beside the symbol.
  Pt c1{c0.x + 9 * a, c0.y + 4 * a};
  Pt north{c1.x, c1.y - 4 * a};
  s.line(c1, north, kDarkGrey);
  Arrowhead(s, c1, north, map, kDarkGrey);
  s.text({c1.x - 24, c1.y - 4 * a - 36}, "Orientation", kBlack);
  s.text({c1.x - 3, c1.y - 4 * a - 12}, "N", kGrey);
  s.line(c1, {c1.x, c1.y + 4 * a}, kDarkGrey);
  s.line(c1, {c1.x + 3 * a, c1.y}, kDarkGrey);
  s.line(c1, {c1.x - 3 * a, c1.y}, kDarkGrey);
  s.circle(c1, 2 * a, kDarkGrey);

  s.beginPolygon();
  for (const auto& uv : symbol) s.point(SymbolPoint(c0, a, uv[0], uv[1], orientation));
  s.endPolygon(kSilver, kDarkGrey);

  // The sun marker: longer the lower the sun.
  double o = orientation * kRad;
  Pt p0{ToPixel(c0.x + Nearest(4 * a * std::sin(o))), ToPixel(c0.y + Nearest(-4 * a * std::cos(o)))};
  double d = Nearest(6 * a * std::cos(sun.Altitude * kRad)) + map.px(8 * (90 - sun.Altitude));
  double az = sun.Azimuth * kRad;
  Pt end{ToPixel(p0.x + Nearest(d * std::sin(az))), ToPixel(p0.y + Nearest(-d * std::cos(az)))};
  s.dotted(p0, end, kYellow);
  s.disc(end, a / 2, kYellow);
}

double HorizontalShadowAngle(double azimuth, double orientation) {
  double h = azimuth - orientation;
  if (h < 0) h += 360;
  return h;
}

double VerticalShadowAngle(double altitude, double hsa) {
  double v = std::atan(std::tan(altitude * kRad) / std::cos(hsa * kRad)) / kRad;
  if (v < 0 && altitude > 0) v += 180;
  return v;
}

double CriticalAngle(double num, double den) {
  if (den == 0) den = 1;
  return std::atan(num / den) / kRad;
}

bool Animation::step(int orientation) {
  const int last = lastIndex();
  if (SampleIndex < 0) SampleIndex = 0;
  while (SampleIndex < last && samples_[SampleIndex].Altitude < 1) ++SampleIndex;
  if (SampleIndex > last) return false;
  const SunSample& smp = samples_[SampleIndex];
  if (smp.Altitude < 1) {
    ++SampleIndex;
    return false;
  }
  Sun.Azimuth = smp.Azimuth;
  Sun.Altitude = smp.Altitude;
  Sun.HSA = HorizontalShadowAngle(smp.Azimuth, orientation);
  Sun.VSA = VerticalShadowAngle(smp.Altitude, Sun.HSA);
  TimeText = TimeDisplay(smp.Time);
  SampleIndex += std::max(StepMinutes, 1);
  return true;
}

void Animation::reset() {
  SampleIndex = 0;
  Sun = {};
  TimeText = "00 : 00";
}

std::string TimeDisplay(double hours) {
  if (!std::isfinite(hours) || std::fabs(hours) > 1e6) return "00 : 00";
  DmsAngle t = DecimalToDms(hours);
  return Pad2(static_cast<long long>(t.Degrees)) + " : " + Pad2(static_cast<long long>(t.Minutes));
}

bool CameraUp(ModelView& v) {
  if (v.PanY < -300) return false;
  v.PanY -= 5;
  return true;
}
bool CameraDown(ModelView& v) {
  if (v.PanY > 300) return false;
  v.PanY += 5;
  return true;
}
bool CameraLeft(ModelView& v) {
  if (v.PanX > 300) return false;
  v.PanX += 5;
  return true;
}
bool CameraRight(ModelView& v) {
  if (v.PanX < -300) return false;
  v.PanX -= 5;
  return true;
}
bool ZoomIn(ModelView& v) {
  if (v.ViewZoom < 0.5) return false;
  v.ViewZoom -= 0.02;
  return true;
}
bool ZoomOut(ModelView& v) {
  if (v.ViewZoom > 2) return false;
  v.ViewZoom += 0.02;
  return true;
}

void NodeSquares(Scene& s, const Pt* nodes, int count) {
  for (int i = 0; i < count; ++i)
    s.rect({nodes[i].x - 3, nodes[i].y - 3}, {nodes[i].x + 3, nodes[i].y + 3}, kBlue, kRed);
}

double SaneDimension(double v, double fallback, double lo, double hi) {
  if (!std::isfinite(v)) v = fallback;
  return std::clamp(Snap(std::clamp(v, lo, hi)), lo, hi);
}

int SaneInteger(int v, int fallback, int lo, int hi) {
  if (v < lo || v > hi) return fallback;
  return v;
}

std::string MmText(double mm) { return FormatWhole(mm) + "mm"; }

}  // namespace kelvaro::models
