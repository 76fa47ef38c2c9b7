// View maths of the vectoriser: the view record, its transform to pixels, zooming to the
// extents, stored views, panning and rotating, and the toolkit calls around a draw.
#include <algorithm>
#include <cmath>
#include <map>

#include "cadkit/vec_internal.h"

namespace kelvaro::cad {
namespace vec {
namespace {

std::map<AdDrawing, DrawingState>& states() {
  static std::map<AdDrawing, DrawingState> s;
  return s;
}

int g_quality = 10;
bool g_defaultLineweight = true;
double g_lineweightScale = 100.0;

constexpr double kDegree = M_PI / 180;
// Zooming to the extents leaves this share of the window free around the drawing.
constexpr double kExtentsMargin = 0.02;

}  // namespace

Affine Affine::operator*(const Affine& o) const {
  // Most entities lie in the drawing's plane and most of a drawing is not in a block.
  if (o.identity()) return *this;
  if (identity()) return o;
  Affine r;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 4; ++j) {
      double v = 0;
      for (int k = 0; k < 3; ++k) v += m[i][k] * o.m[k][j];
      r.m[i][j] = v + (j == 3 ? m[i][3] : 0);
    }
  }
  return r;
}

double Affine::planarScale() const {
  Vec3 x = applyDir({1, 0, 0}), y = applyDir({0, 1, 0});
  double s = std::sqrt(std::fabs(length(crossP(x, y))));
  return std::isfinite(s) && s > 0 ? s : 1;
}

Affine Affine::fromAxes(Vec3 x, Vec3 y, Vec3 z, Vec3 o) {
  Affine a;
  a.m[0][0] = x.x, a.m[0][1] = y.x, a.m[0][2] = z.x, a.m[0][3] = o.x;
  a.m[1][0] = x.y, a.m[1][1] = y.y, a.m[1][2] = z.y, a.m[1][3] = o.y;
  a.m[2][0] = x.z, a.m[2][1] = y.z, a.m[2][2] = z.z, a.m[2][3] = o.z;
  return a;
}

void arbitraryAxes(Vec3 n, Vec3& ax, Vec3& ay) {
  n = unit(n);
  constexpr double kLimit = 1.0 / 64;
  if (std::fabs(n.x) < kLimit && std::fabs(n.y) < kLimit) ax = unit(crossP({0, 1, 0}, n), {1, 0, 0});
  else ax = unit(crossP({0, 0, 1}, n), {1, 0, 0});
  ay = unit(crossP(n, ax), {0, 1, 0});
}

Affine ocsToWorld(Vec3 normal) {
  Vec3 n = unit(normal);
  if (n.x == 0 && n.y == 0 && n.z == 1) return {};
  Vec3 ax, ay;
  arbitraryAxes(n, ax, ay);
  return Affine::fromAxes(ax, ay, n, {0, 0, 0});
}

void viewAxes(const AdViewRecord& v, Vec3& x, Vec3& y, Vec3& z) {
  z = unit(v.direction);
  Vec3 x0, y0;
  arbitraryAxes(z, x0, y0);
  double t = std::isfinite(v.twist) ? v.twist : 0;
  double c = std::cos(t), s = std::sin(t);
  x = x0 * c - y0 * s;
  y = y0 * c + x0 * s;
}

bool viewBox(const AdViewRecord& v, Vec3 lo, Vec3 hi, double& x0, double& y0, double& x1, double& y1) {
  if (!(lo.x <= hi.x && lo.y <= hi.y && lo.z <= hi.z)) return false;
  Vec3 ax, ay, az;
  viewAxes(v, ax, ay, az);
  x0 = y0 = 1e300;
  x1 = y1 = -1e300;
  for (int i = 0; i < 8; ++i) {
    Vec3 c{i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z};
    Vec3 r = c - v.target;
    double sx = dot(r, ax), sy = dot(r, ay);
    x0 = std::min(x0, sx), x1 = std::max(x1, sx);
    y0 = std::min(y0, sy), y1 = std::max(y1, sy);
  }
  return std::isfinite(x0) && std::isfinite(x1) && std::isfinite(y0) && std::isfinite(y1);
}

AdTransform makeTransform(const AdViewRecord& view, const AdPixelWindow& win) {
  Vec3 ax, ay, az;
  viewAxes(view, ax, ay, az);
  double w = win.width(), h = win.height();
  double sx = view.width > 0 ? w / view.width : 0, sy = view.height > 0 ? h / view.height : 0;
  // One scale for both axes keeps circles round when the caller did not fit the aspect.
  double s = sx > 0 && sy > 0 ? std::min(sx, sy) : std::max(sx, sy);
  if (!(s > 0) || !std::isfinite(s)) s = 1;
  double cx = win.x0 + w / 2 - s * view.center.x, cy = win.y0 + h / 2 - s * view.center.y;
  AdTransform t;
  Vec3 rows[3] = {ax * s, ay * s, az};
  double off[3] = {cx, cy, 0};
  for (int i = 0; i < 3; ++i) {
    t.m[i][0] = rows[i].x, t.m[i][1] = rows[i].y, t.m[i][2] = rows[i].z;
    t.m[i][3] = off[i] - dot(rows[i], view.target);
  }
  return t;
}

DrawingState& drawingState(AdDrawing d) { return states()[d]; }
int quality() { return g_quality; }

int curveSegments(double radians) {
  // A full circle takes 8 + 4 × quality segments (12 at quality 1, 48 at 10, 208 at 50); a
  // partial sweep its share of them, at least one.
  double full = 8.0 + 4.0 * g_quality;
  double n = std::ceil(full * std::fabs(radians) / (2 * M_PI) - 1e-9);
  if (!std::isfinite(n) || n < 1) return 1;
  return static_cast<int>(std::min(n, full));
}

bool defaultLineweightOn() { return g_defaultLineweight; }
double lineweightScale() { return g_lineweightScale; }

namespace {

// The geometry's extents, or the header's when they agree with it.
bool drawingExtents(AdDrawing d, DrawingState& st, Vec3& lo, Vec3& hi) {
  ensureRegen(d, st, nullptr);
  const DisplayList& l = st.space;
  bool have = l.lo.x <= l.hi.x;
  if (have) lo = l.lo, hi = l.hi;
  if (!st.layout.empty()) return have;
  const Document* doc = adDocument(d);
  if (!doc) return have;
  Vec3 hlo = doc->header.extMin, hhi = doc->header.extMax;
  bool headerOk = finite(hlo) && finite(hhi) && hlo.x <= hhi.x && hlo.y <= hhi.y;
  if (!have) {
    if (!headerOk) return false;
    lo = hlo, hi = hhi;
    return true;
  }
  if (!headerOk) return true;
  // The header's box is taken when it holds the geometry and is at most a tenth larger on
  // any side (it is exact where tessellated curves fall short); otherwise it is stale.
  double size = std::max({hi.x - lo.x, hi.y - lo.y, 1e-9});
  double tol = 0.1 * size, slack = 1e-9 * size;
  if (hlo.x <= lo.x + slack && hlo.y <= lo.y + slack && hhi.x >= hi.x - slack && hhi.y >= hi.y - slack &&
      lo.x - hlo.x <= tol && lo.y - hlo.y <= tol && hhi.x - hi.x <= tol && hhi.y - hi.y <= tol) {
    lo.x = hlo.x, lo.y = hlo.y, hi.x = hhi.x, hi.y = hhi.y;
  }
  return true;
}

void fitBox(AdViewRecord& view, double x0, double y0, double x1, double y1) {
  double w = x1 - x0, h = y1 - y0;
  double mag = std::max({std::fabs(x0), std::fabs(x1), std::fabs(y0), std::fabs(y1), 1.0});
  double minSize = mag * 1e-9;
  if (w < minSize && h < minSize) w = h = std::max(1.0, minSize);
  else if (w < minSize) w = h;
  else if (h < minSize) h = w;
  view.center = {(x0 + x1) / 2, (y0 + y1) / 2};
  view.width = w * (1 + kExtentsMargin);
  view.height = h * (1 + kExtentsMargin);
}

std::string layoutName(const Document& doc, Handle block) {
  if (!block) return {};
  for (const auto& r : doc.blockRecords.entries)
    if (r.frame.handle == block) return r.rec.name;
  for (const auto& b : doc.blocks)
    if (b.frame.handle == block) return b.name();
  return kPaperSpace;
}

// Moves the centre offset into the target so that rotations turn about the visible centre.
void foldCenter(AdViewRecord& v) {
  Vec3 x, y, z;
  viewAxes(v, x, y, z);
  v.target = v.target + x * v.center.x + y * v.center.y;
  v.center = {};
}

// Sets direction and twist from a wanted screen basis.
void setBasis(AdViewRecord& v, Vec3 x, Vec3 z) {
  v.direction = unit(z);
  Vec3 x0, y0;
  arbitraryAxes(v.direction, x0, y0);
  v.twist = std::atan2(-dot(x, y0), dot(x, x0));
}

}  // namespace
}  // namespace vec

using namespace vec;

int adMakeViewTransform(AdDrawing d, AdViewRecord& view, const AdPixelWindow& win, AdTransform& xf) {
  if (!adDocument(d)) return 0;
  DrawingState& st = drawingState(d);
  if (!(view.width > 0) || !std::isfinite(view.width)) view.width = 1;
  if (!(view.height > 0) || !std::isfinite(view.height)) view.height = view.width;
  if (!finite(view.target)) view.target = {};
  if (!std::isfinite(view.center.x) || !std::isfinite(view.center.y)) view.center = {};
  if (!finite(view.direction) || length(view.direction) < 1e-300) view.direction = {0, 0, 1};
  xf = makeTransform(view, win);
  st.view = view;
  st.win = win;
  st.xf = xf;
  st.haveTransform = true;
  return 1;
}

int adInitVectorize(AdDrawing d, AdViewRecord& view, const AdPixelWindow& win, AdTransform& xf, Handle layoutBlock) {
  Document* doc = adDocument(d);
  if (!doc) return 0;
  DrawingState& st = drawingState(d);
  std::string layout = layoutName(*doc, layoutBlock);
  if (layout != st.layout) st.valid = false;
  st.layout = layout;
  view = AdViewRecord{};
  bool set = false;
  if (layout.empty()) {
    for (const auto& e : doc->vports.entries) {
      const Vport& v = e.rec;
      if (!sameName(v.name, "*ACTIVE")) continue;
      if (!(v.height > 0) || !std::isfinite(v.height) || !finite(v.direction) || length(v.direction) < 1e-300) break;
      view.target = v.target;
      view.direction = v.direction;
      view.twist = v.twist * kDegree;
      view.center = {v.center.x, v.center.y};
      view.height = v.height;
      view.width = v.height * (v.aspect > 0 && std::isfinite(v.aspect) ? v.aspect : 1);
      set = true;
      break;
    }
  } else if (const Block* b = doc->findBlock(layout)) {
    // The sheet as its overall viewport shows it.
    for (const auto& e : b->entities) {
      const auto* vp = e.as<Viewport>();
      if (!vp || vp->id != 1) continue;
      if (vp->width > 0 && vp->height > 0 && std::isfinite(vp->width) && std::isfinite(vp->height)) {
        view.target = {};
        view.center = {vp->center.x, vp->center.y};
        view.width = vp->width;
        view.height = vp->height;
        set = true;
      }
      break;
    }
  }
  if (!set) {
    Vec3 lo, hi;
    double x0, y0, x1, y1;
    if (drawingExtents(d, st, lo, hi) && viewBox(view, lo, hi, x0, y0, x1, y1)) {
      fitBox(view, x0, y0, x1, y1);
    } else {
      Vec2 a = doc->header.limMin, b = doc->header.limMax;
      if (b.x > a.x && b.y > a.y && std::isfinite(a.x + a.y + b.x + b.y)) fitBox(view, a.x, a.y, b.x, b.y);
      else fitBox(view, 0, 0, 12, 9);
    }
  }
  return adMakeViewTransform(d, view, win, xf);
}

int adZoomExtents(AdDrawing d, AdViewRecord& view) {
  if (!adDocument(d)) return 0;
  DrawingState& st = drawingState(d);
  Vec3 lo, hi;
  double x0, y0, x1, y1;
  if (!drawingExtents(d, st, lo, hi) || !viewBox(view, lo, hi, x0, y0, x1, y1)) return 0;
  fitBox(view, x0, y0, x1, y1);
  return 1;
}

int adSetViewParmsFromView(AdDrawing d, const View& stored, AdViewRecord& view) {
  if (!adDocument(d)) return 0;
  if (!finite(stored.target) || !finite(stored.direction) || length(stored.direction) < 1e-300) return 0;
  if (!(stored.height > 0) || !std::isfinite(stored.height) || !std::isfinite(stored.center.x) ||
      !std::isfinite(stored.center.y))
    return 0;
  view.target = stored.target;
  view.direction = stored.direction;
  view.twist = std::isfinite(stored.twist) ? stored.twist * kDegree : 0;
  view.center = stored.center;
  view.height = stored.height;
  view.width = stored.width > 0 && std::isfinite(stored.width) ? stored.width : stored.height;
  return 1;
}

void adPanTarget(AdViewRecord& view, double dx, double dy) {
  if (!std::isfinite(dx) || !std::isfinite(dy)) return;
  Vec3 x, y, z;
  viewAxes(view, x, y, z);
  view.target = view.target + x * dx + y * dy;
}

void adRotateRight(AdViewRecord& view, double a) {
  if (!std::isfinite(a)) return;
  foldCenter(view);
  Vec3 x, y, z;
  viewAxes(view, x, y, z);
  double c = std::cos(a), s = std::sin(a);
  setBasis(view, x * c + z * s, z * c - x * s);
}

void adRotateForward(AdViewRecord& view, double a) {
  if (!std::isfinite(a)) return;
  foldCenter(view);
  Vec3 x, y, z;
  viewAxes(view, x, y, z);
  double c = std::cos(a), s = std::sin(a);
  setBasis(view, x, z * c + y * s);
}

void adRotateCounterClockwise(AdViewRecord& view, double a) {
  if (!std::isfinite(a)) return;
  foldCenter(view);
  view.twist = std::remainder((std::isfinite(view.twist) ? view.twist : 0) + a, 2 * M_PI);
}

void adCurrentPixelToWorld(AdDrawing d, double px, double py, Vec3& world) {
  DrawingState& st = drawingState(d);
  const AdViewRecord& v = st.view;
  double s = std::hypot(st.xf.m[0][0], std::hypot(st.xf.m[0][1], st.xf.m[0][2]));
  if (!(s > 0)) s = 1;
  Vec3 x, y, z;
  viewAxes(v, x, y, z);
  double sx = (px - st.win.x0 - st.win.width() / 2.0) / s + v.center.x;
  double sy = (py - st.win.y0 - st.win.height() / 2.0) / s + v.center.y;
  world = v.target + x * sx + y * sy;
}

void adCurrentWorldToPixel(AdDrawing d, const Vec3& w, double& px, double& py) {
  const AdTransform& t = drawingState(d).xf;
  px = t.m[0][0] * w.x + t.m[0][1] * w.y + t.m[0][2] * w.z + t.m[0][3];
  py = t.m[1][0] * w.x + t.m[1][1] * w.y + t.m[1][2] * w.z + t.m[1][3];
}

void adForceRegen(AdDrawing d) { drawingState(d).valid = false; }

void adSetKeepDisplayLists(int keep) { setKeepDisplayLists(keep != 0); }

void adSetInterpolationQuality(int q) {
  if (q >= 1 && q <= 50) g_quality = q;
}
int adInterpolationQuality() { return g_quality; }
void adSetDefaultLineweight(int on) { g_defaultLineweight = on != 0; }
void adSetModelSpaceLineweightScale(double scale) {
  if (scale > 0 && std::isfinite(scale)) g_lineweightScale = scale;
}

bool adComputeExtents(AdDrawing d, const std::string& block, Vec3& lo, Vec3& hi) {
  Document* doc = adDocument(d);
  if (!doc) return false;
  // A scratch state so the drawing's own cache and view stay as they are.
  DrawingState scratch;
  scratch.layout = sameName(block, kModelSpace) ? std::string() : block;
  scratch.generation = drawingState(d).generation;
  regenerate(d, *doc, scratch, nullptr, scratch.layout.empty() ? &boundsOnlyStream() : nullptr);
  if (!(scratch.space.lo.x <= scratch.space.hi.x)) return false;
  lo = scratch.space.lo;
  hi = scratch.space.hi;
  return true;
}

int adDrawDrawing(AdDrawing d, DrawSink& sink) {
  if (!adDocument(d)) return 0;
  DrawingState& st = drawingState(d);
  try {
    if (!keepDisplayLists() && st.layout.empty()) {
      if (!st.haveTransform) {
        st.win = {0, 0, 100, 100};
        adInitVectorize(d, st.view, st.win, st.xf, {});
      }
      drawStreamed(d, *adDocument(d), st, sink);
      return 1;
    }
    ensureRegen(d, st, &sink);
    if (!st.haveTransform) {
      st.win = {0, 0, 100, 100};
      adInitVectorize(d, st.view, st.win, st.xf, {});
    }
    emit(st, sink);
  } catch (...) {
    // The caller reports the failure; the next draw starts from a fresh regeneration.
    st.valid = false;
    throw;
  }
  return 1;
}

void vecDrawingChanged(AdDrawing d) {
  auto it = states().find(d);
  if (it != states().end()) ++it->second.generation;
}

void vecDrawingClosed(AdDrawing d) { states().erase(d); }

}  // namespace kelvaro::cad
