// Text in the walk: the layout (stroke fonts, TrueType runs, quick-text boxes) happens in the
// entity's own plane; here its output is mapped to world coordinates and kept as display items.
#include <cmath>

#include "cadkit/text_layout.h"
#include "cadkit/vec_walk.h"

namespace kelvaro::cad::vec {
namespace {

class Collect : public TextOut {
 public:
  Collect(Walk& w, const Affine& m, double z, const Attr& a) : w_(w), m_(m), z_(z), base_(a), cur_(a) {
    base_.linetype = cur_.linetype = -1;
    // Text lying in the plane of the drawing (nearly all of it) maps to flat points directly.
    flat_ = m_.m[2][0] == 0 && m_.m[2][1] == 0 && m_.m[2][2] * z_ + m_.m[2][3] == 0;
    const double(*r)[4] = m_.m;
    plane_[0] = r[0][0], plane_[1] = r[0][1], plane_[2] = r[0][2] * z_ + r[0][3];
    plane_[3] = r[1][0], plane_[4] = r[1][1], plane_[5] = r[1][2] * z_ + r[1][3];
  }
  void glyph(const Glyph& g, const double (&t)[6]) override {
    if (!flat_) return TextOut::glyph(g, t);
    // The glyph's map and the text's plane as one map, so each point is mapped once.
    const double* c = plane_;
    const double m[6] = {c[0] * t[0] + c[1] * t[3], c[0] * t[1] + c[1] * t[4], c[0] * t[2] + c[1] * t[5] + c[2],
                         c[3] * t[0] + c[4] * t[3], c[3] * t[1] + c[4] * t[4], c[3] * t[2] + c[4] * t[5] + c[5]};
    for (const auto& s : g.strokes)
      if (s.size() >= 2) w_.flatPolyline(s.data(), s.size(), m, cur_);
  }
  void stroke(const Vec2* p, std::size_t n) override {
    if (flat_ && n >= 2) return w_.flatPolyline(p, n, plane_, cur_);
    auto& pts = w_.s2;
    pts.clear();
    for (std::size_t i = 0; i < n; ++i) pts.push_back(m_.apply({p[i].x, p[i].y, z_}));
    if (pts.size() == 1) return w_.point(pts[0], cur_);
    w_.polyline(pts.data(), pts.size(), cur_);
  }
  bool acceptsTtf(const std::string& fontFile, const std::string& family) override {
    w_.state().ttfAsked = true;
    return w_.sink() && w_.sink()->examineTtf(fontFile, family);
  }
  void ttf(const TextTtfRun& run) override {
    DisplayList& out = w_.out();
    Vec3 o = m_.apply({run.origin.x, run.origin.y, z_});
    Vec3 x = m_.apply({run.origin.x + run.xAxis.x, run.origin.y + run.xAxis.y, z_});
    Vec3 y = m_.apply({run.origin.x + run.yAxis.x, run.origin.y + run.yAxis.y, z_});
    if (!finite(o) || !finite(x) || !finite(y)) return;
    std::size_t first = out.pts.size();
    out.pts.push_back(o), out.pts.push_back(x), out.pts.push_back(y);
    out.grow(o), out.grow(x), out.grow(y);
    Item it;
    it.kind = ItemKind::Ttf;
    it.color = cur_.color;
    it.trueColor = cur_.hasRgb;
    it.rgb = cur_.rgb;
    it.lineweight = cur_.lineweight;
    it.layer = cur_.layer;
    it.topLayer = cur_.topLayer;
    it.first = static_cast<std::uint32_t>(first);
    it.count = 3;
    it.aux = static_cast<std::uint32_t>(out.ttf.size());
    out.ttf.push_back({run.fontFile, run.family, run.text, run.bold, run.italic, run.advance});
    out.items.push_back(it);
  }
  void color(int index) override {
    if (index < 0 || index == 256) cur_ = base_;
    else if (index == 0) cur_.color = base_.color, cur_.hasRgb = base_.hasRgb;
    else if (index <= 255) cur_.color = static_cast<std::int16_t>(index), cur_.hasRgb = false;
  }
  void trueColor(std::uint32_t rgb) override {
    cur_.hasRgb = true;
    cur_.rgb = rgb & 0xFFFFFF;
  }

 private:
  Walk& w_;
  Affine m_;
  double z_;
  bool flat_ = false;
  double plane_[6] = {1, 0, 0, 0, 1, 0};  // the text's plane to world x and y, when flat
  Attr base_, cur_;
};

}  // namespace

// Fonts are found through the sink, the way the viewer finds shape files.
FontLibrary& Walk::fonts() {
  if (!fonts_) {
    DrawSink* sink = sink_;
    fonts_ = std::make_unique<FontLibrary>([sink](const std::string& name) -> std::string {
      return sink ? sink->findFile(DrawSink::FileKind::Shape, name) : std::string();
    });
  }
  return *fonts_;
}

void drawText(Walk& w, const Entity&, const TextBase& t, int valign, const std::string& textOverride,
              const Affine& m, const Attr& a) {
  if (!std::isfinite(t.height) || !finite(t.insert)) return;
  Collect out(w, m * ocsToWorld(t.normal), t.insert.z, a);
  TextLayoutOptions opt;
  opt.quickText = w.quickText();
  w.ttfOptions(t.style, opt);
  const TextStyle& style = w.style(t.style);
  if (textOverride.empty()) return layoutText(t, valign, style, w.fonts(), out, opt);
  TextBase copy = t;
  copy.text = textOverride;
  layoutText(copy, valign, style, w.fonts(), out, opt);
}

void drawMText(Walk& w, const MText& t, const Affine& m, const Attr& a) {
  if (!std::isfinite(t.height) || !finite(t.insert)) return;
  TextLayoutOptions opt;
  opt.quickText = w.quickText();
  w.ttfOptions(t.style, opt);
  const TextStyle& style = w.style(t.style);
  Vec3 n = unit(t.normal);
  if (n.x == 0 && n.y == 0 && n.z == 1) {
    Collect out(w, m, t.insert.z, a);
    return layoutMText(t, style, w.fonts(), out, opt);
  }
  // Insertion point and direction are world values: lay the text out in its own plane.
  Vec3 ax, ay;
  arbitraryAxes(n, ax, ay);
  MText local = t;
  local.insert = {dot(t.insert, ax), dot(t.insert, ay), dot(t.insert, n)};
  local.xDirection = {dot(t.xDirection, ax), dot(t.xDirection, ay), 0};
  Collect out(w, m * ocsToWorld(n), local.insert.z, a);
  layoutMText(local, style, w.fonts(), out, opt);
}

}  // namespace kelvaro::cad::vec
