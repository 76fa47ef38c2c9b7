// Points as $PDMODE shows them: a dot, nothing, a plus, a cross or a tick, optionally in a
// circle and/or a square, sized by $PDSIZE (positive: drawing units; zero: 5 % of the view
// height; negative: that percentage of the view height) at the regeneration.
#include <cmath>
#include <string_view>

#include "cadkit/vec_walk.h"

namespace kelvaro::cad::vec {
namespace {

bool headerNumber(const Header& h, std::string_view name, double& out) {
  for (const auto& v : h.all) {
    if (v.name != name) continue;
    for (const auto& t : v.tags) {
      bool ok = true;
      double x = t.asReal(&ok);
      if (!ok || !std::isfinite(x)) return false;
      out = x;
      return true;
    }
  }
  return false;
}

void readPointStyle(Walk& w) {
  const Document& doc = w.doc();
  double mode = 0, size = 0;
  headerNumber(doc.header, "$PDMODE", mode);
  headerNumber(doc.header, "$PDSIZE", size);
  // Any other value of the mode draws a dot, as an unknown mode does in mainstream CAD.
  int m = std::fabs(mode) < 1e6 ? static_cast<int>(mode) : 0;
  int figure = m & 7, frame = m & 96;
  if (m < 0 || figure > 4 || (m & ~103) != 0) figure = 0, frame = 0;
  w.pointMode = figure | frame;
  if (figure == 0 && frame == 0) return;  // a dot has no size
  if (size > 0) {
    w.pointSize = size;
    return;
  }
  DrawingState& st = w.state();
  // Model space seen through paper-space viewports takes its size from the first of them.
  double viewHeight = &w.out() == &st.model && !st.viewports.empty() ? st.viewports.front().view.height : st.view.height;
  if (!(viewHeight > 0) || !std::isfinite(viewHeight)) viewHeight = 1;
  w.pointSize = viewHeight * (size == 0 ? 0.05 : std::fmin(-size, 1e6) / 100);
  st.pointViewHeight = st.view.height > 0 ? st.view.height : 1;
}

}  // namespace

void drawPoint(Walk& w, const Point& pt, const Affine& m, const Attr& a) {
  if (w.pointMode < 0) readPointStyle(w);
  if (!finite(pt.location)) return;
  // The figure lies in the point's own plane, turned by its angle.
  Affine ocs = m * ocsToWorld(pt.normal);
  Vec3 base = m.apply(pt.location);
  // The stored location is in world coordinates; its place in the point's plane:
  Vec3 ax, ay, nz = unit(pt.normal);
  arbitraryAxes(nz, ax, ay);
  Vec3 o{dot(pt.location, ax), dot(pt.location, ay), dot(pt.location, nz)};
  int figure = w.pointMode & 7, frame = w.pointMode & 96;
  if (figure == 0) w.point(base, a);
  if (pt.thickness != 0 && std::isfinite(pt.thickness)) {
    Vec3 edge[2] = {base, base + m.applyDir(nz * pt.thickness)};
    w.polyline(edge, 2, a);
  }
  if (figure <= 1 && frame == 0) return;
  double r = w.pointSize / 2;
  double ang = std::isfinite(pt.xAxisAngle) ? pt.xAxisAngle * M_PI / 180 : 0;
  double c = std::cos(ang), s = std::sin(ang);
  // Local offsets (dx, dy) of the figure to world.
  auto at = [&](double dx, double dy) { return ocs.apply({o.x + c * dx - s * dy, o.y + s * dx + c * dy, o.z}); };
  auto& pts = w.s0;
  auto seg = [&](double x0, double y0, double x1, double y1) {
    Vec3 p[2] = {at(x0, y0), at(x1, y1)};
    w.polyline(p, 2, a);
  };
  if (figure == 2) seg(-r, 0, r, 0), seg(0, -r, 0, r);
  if (figure == 3) seg(-r, -r, r, r), seg(-r, r, r, -r);
  if (figure == 4) seg(0, 0, 0, r);
  if (frame & 32) {
    pts.clear();
    int n = curveSegments(2 * M_PI);
    for (int i = 0; i <= n; ++i) {
      double t = 2 * M_PI * (i == n ? 0 : i) / n;
      pts.push_back(at(r * std::cos(t), r * std::sin(t)));
    }
    w.polyline(pts.data(), pts.size(), a);
  }
  if (frame & 64) {
    pts.clear();
    pts.push_back(at(-r, -r));
    pts.push_back(at(r, -r));
    pts.push_back(at(r, r));
    pts.push_back(at(-r, r));
    pts.push_back(at(-r, -r));
    w.polyline(pts.data(), pts.size(), a);
  }
}

}  // namespace kelvaro::cad::vec
