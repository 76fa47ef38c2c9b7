// Complex linetypes: the shapes and texts their elements carry, drawn along the dashes in the
// plane of the drawing, turned with the line (or absolutely) and moved by their offsets.
#include <cmath>

#include "cadkit/text_layout.h"
#include "cadkit/vec_walk.h"

namespace kelvaro::cad::vec {
namespace {

// Strokes of the laid-out text or shape in their own units to world points.
class ShapeOut : public TextOut {
 public:
  ShapeOut(Walk& w, const Affine& m, const Attr& a) : w_(w), m_(m), a_(a) {}
  void stroke(const Vec2* p, std::size_t n) override {
    thread_local std::vector<Vec3> pts;
    pts.clear();
    for (std::size_t i = 0; i < n; ++i) pts.push_back(m_.apply({p[i].x, p[i].y, 0}));
    if (pts.size() == 1) return w_.point(pts[0], a_);
    w_.polyline(pts.data(), pts.size(), a_);
  }

 private:
  Walk& w_;
  Affine m_;
  Attr a_;
};

}  // namespace

void readDashShapes(const Document& doc, const Linetype& lt, Pattern& p, const std::vector<int>& dashIndex) {
  for (std::size_t i = 0; i < lt.dashes.size() && i < dashIndex.size(); ++i) {
    const Dash& d = lt.dashes[i];
    if (dashIndex[i] < 0 || !(d.complex & 6)) continue;
    DashShape s;
    s.flags = d.complex;
    s.shape = d.shape;
    s.scale = std::isfinite(d.scale) && d.scale != 0 ? d.scale : 1;
    s.rotation = std::isfinite(d.rotation) ? d.rotation : 0;
    s.offset = {std::isfinite(d.offset.x) ? d.offset.x : 0, std::isfinite(d.offset.y) ? d.offset.y : 0};
    s.text = d.text;
    for (const auto& st : doc.styles.entries)
      if (d.style && st.frame.handle == d.style) s.style = st.rec.name;
    if ((s.flags & 2) ? s.text.empty() : s.style.empty()) continue;  // nothing to draw
    if (p.shapeOf.empty()) p.shapeOf.assign(p.dashes.size(), -1);
    p.shapeOf[static_cast<std::size_t>(dashIndex[i])] = static_cast<int>(p.shapes.size());
    p.shapes.push_back(std::move(s));
  }
}

void drawDashShape(Walk& w, const DashShape& s, Vec3 at, Vec3 dir, double scale, const Attr& a) {
  if (!finite(at) || !finite(dir) || !(scale > 0) || !std::isfinite(scale)) return;
  // The line's plane: the drawing's, unless the line runs up it.
  Vec3 z{0, 0, 1};
  Vec3 x = unit(Vec3{dir.x, dir.y, dir.z}, {1, 0, 0});
  if (std::fabs(dot(x, z)) > 0.999999) z = {0, -1, 0};
  Vec3 y = unit(crossP(z, x), {0, 1, 0});
  if (s.flags & 1) {
    // Absolute: measured from the plane's own x axis, not the line's.
    Vec3 ax, ay;
    arbitraryAxes(z, ax, ay);
    x = ax, y = ay;
  }
  double r = s.rotation, c = std::cos(r), sn = std::sin(r);
  Vec3 xr = x * c + y * sn, yr = y * c - x * sn;
  // Offsets run along and across the line itself, at the pattern's scale.
  Vec3 lineX = unit(dir, {1, 0, 0}), lineY = unit(crossP(z, lineX), {0, 1, 0});
  Vec3 origin = at + lineX * (s.offset.x * scale) + lineY * (s.offset.y * scale);
  double size = s.scale * scale;
  const TextStyle& style = w.style(s.style);
  if (s.flags & 2) {
    TextBase t;
    t.text = s.text;
    t.height = size;
    t.style = style.name;
    ShapeOut out(w, Affine::fromAxes(xr, yr, z, origin), a);
    layoutText(t, 0, style, w.fonts(), out);
    return;
  }
  const StrokeFont& font = w.fonts().font(style.font);
  const Glyph* g = font.glyph(static_cast<char32_t>(static_cast<std::uint16_t>(s.shape)));
  if (!g) return;
  ShapeOut out(w, Affine::fromAxes(xr * size, yr * size, z, origin), a);
  for (const auto& stroke : g->strokes) out.stroke(stroke.data(), stroke.size());
}

}  // namespace kelvaro::cad::vec
