// Multilines: each element of the style drawn along the vertices at the offset the vertex
// data gives it, with its own colour and linetype, the breaks the vertex parameters leave,
// and the style's caps, joints and fill.
#include <algorithm>
#include <cmath>

#include "cadkit/vec_walk.h"

namespace kelvaro::cad::vec {
namespace {

struct StyleElement {
  double offset = 0;
  int color = 256;
  std::string linetype = "BYLAYER";
};

struct MLineStyleInfo {
  bool found = false;
  int flags = 0;  // 1 fill, 2 joints, 16/32/64 start line/inner arcs/outer arc, 256/512/1024 end
  int fillColor = 256;
  std::vector<StyleElement> elements;
};

std::string styleNameOf(const Object& o) {
  for (const auto& g : o.frame.extras())
    for (const auto& t : g.tags)
      if (t.code == 2) return t.text;
  return {};
}

bool isMLineStyle(const Object& o) {
  const auto* raw = std::get_if<RawObject>(&o.data);
  return raw && sameName(raw->type, "MLINESTYLE");
}

// The style as the file keeps it: a fill colour before the element count, then offset,
// colour and linetype of each element.
MLineStyleInfo readStyle(Walk& w, const MLine& ml) {
  MLineStyleInfo s;
  const Object* o = ml.styleHandle ? w.object(ml.styleHandle) : nullptr;
  if (!o || !isMLineStyle(*o)) {
    o = nullptr;
    for (const auto& x : w.doc().objects)
      if (isMLineStyle(x) && sameName(styleNameOf(x), ml.style)) {
        o = &x;
        break;
      }
  }
  if (!o) return s;
  s.found = true;
  bool inElements = false;
  for (const auto& g : o->frame.extras())
    for (const auto& t : g.tags) {
      bool ok = true;
      if (t.code == 70) s.flags = static_cast<int>(t.asInt(&ok));
      else if (t.code == 71) inElements = true;
      else if (t.code == 62 && !inElements) s.fillColor = static_cast<int>(t.asInt(&ok));
      else if (t.code == 49 && inElements) s.elements.push_back({t.asReal(&ok), 256, "BYLAYER"});
      else if (t.code == 62 && !s.elements.empty()) s.elements.back().color = static_cast<int>(t.asInt(&ok));
      else if (t.code == 6 && !s.elements.empty()) s.elements.back().linetype = t.text;
      if (!ok) return MLineStyleInfo{};
    }
  return s;
}

// The element's colour and linetype resolved against the multiline (BYBLOCK) and its layer.
Attr elementAttr(Walk& w, const Attr& a, int color, const std::string& linetype) {
  Attr e = a;
  const auto& layers = w.state().layers;
  const LayerInfo* L = a.layer < layers.size() ? &layers[a.layer] : nullptr;
  if (color == 256) {
    if (L) e.color = L->color, e.hasRgb = L->hasRgb, e.rgb = L->rgb;
  } else if (color != 0) {
    int c = std::abs(color);
    e.color = static_cast<std::int16_t>(c > 255 ? 7 : c);
    e.hasRgb = false;
  }
  if (linetype.empty() || sameName(linetype, "BYLAYER")) {
    if (L) e.linetype = L->linetype;
  } else if (!sameName(linetype, "BYBLOCK")) {
    e.linetype = w.linetypeIndex(linetype);
  }
  return e;
}

double param(const MLineVertex& v, std::size_t e, std::size_t k) {
  if (e >= v.elements.size() || k >= v.elements[e].params.size()) return 0;
  double x = v.elements[e].params[k];
  return std::isfinite(x) ? x : 0;
}

// Half a turn from `from` to `to` (the cap's ends) bulging along `out`.
void capArc(Walk& w, Vec3 from, Vec3 to, Vec3 out, const Affine& m, const Attr& a) {
  Vec3 c = (from + to) * 0.5, u = from - c;
  double r = length(u);
  if (!(r > 0)) return;
  Vec3 bulge = unit(out, {0, 0, 0}) * r;
  auto& pts = w.s1;
  pts.clear();
  int n = std::max(2, curveSegments(M_PI));
  for (int i = 0; i <= n; ++i) {
    double t = M_PI * i / n;
    pts.push_back(m.apply(c + u * std::cos(t) + bulge * std::sin(t)));
  }
  pts.back() = m.apply(to);
  w.polyline(pts.data(), pts.size(), a);
}

}  // namespace

void drawMLine(Walk& w, const MLine& ml, const Affine& m, const Attr& a) {
  const auto& vs = ml.vertices;
  std::size_t nv = vs.size();
  if (nv == 0) return;
  std::size_t elements = 0;
  for (const auto& v : vs) elements = std::max(elements, v.elements.size());
  if (elements == 0) return;
  bool closed = (ml.flags & 2) && nv > 2;
  std::size_t segs = closed ? nv : nv - 1;
  MLineStyleInfo style = readStyle(w, ml);
  // Where element e meets vertex i.
  auto at = [&](std::size_t i, std::size_t e) { return vs[i].location + vs[i].miter * param(vs[i], e, 0); };
  for (std::size_t i = 0; i < nv; ++i)
    if (!finite(vs[i].location) || !finite(vs[i].miter) || !finite(vs[i].direction)) return;
  // The outermost elements by their offset at the first vertex.
  std::size_t hi = 0, lo = 0;
  for (std::size_t e = 1; e < elements; ++e) {
    if (param(vs[0], e, 0) > param(vs[0], hi, 0)) hi = e;
    if (param(vs[0], e, 0) < param(vs[0], lo, 0)) lo = e;
  }
  Attr fillAttr = elementAttr(w, a, style.fillColor, "CONTINUOUS");
  fillAttr.linetype = -1;
  if (style.found && (style.flags & 1) && elements > 1) {
    for (std::size_t i = 0; i < segs; ++i) {
      std::size_t j = (i + 1) % nv;
      Vec3 q[4] = {m.apply(at(i, hi)), m.apply(at(j, hi)), m.apply(at(j, lo)), m.apply(at(i, lo))};
      w.polygon(q, 4, fillAttr);
    }
  }
  auto& run = w.s0;
  for (std::size_t e = 0; e < elements; ++e) {
    Attr ea = a;
    if (style.found && e < style.elements.size())
      ea = elementAttr(w, a, style.elements[e].color, style.elements[e].linetype);
    run.clear();
    bool joined = false;  // the run reached the end of the previous segment
    auto flush = [&] {
      if (run.size() >= 2) w.polyline(run.data(), run.size(), ea);
      run.clear();
    };
    for (std::size_t i = 0; i < segs; ++i) {
      std::size_t j = (i + 1) % nv;
      Vec3 s = at(i, e), end = at(j, e);
      Vec3 d = unit(vs[i].direction, unit(end - s, {1, 0, 0}));
      double len = dot(end - s, d);
      if (!(len > 0)) len = length(end - s);
      // Distances along the segment where the element is drawn and broken: pairs of start
      // and end, an odd last start running on to the next vertex; none: the whole segment.
      std::size_t np = e < vs[i].elements.size() ? vs[i].elements[e].params.size() : 0;
      std::size_t k = 1;
      do {
        double p0 = k < np ? std::clamp(param(vs[i], e, k), 0.0, len) : 0;
        double p1 = k + 1 < np ? std::clamp(param(vs[i], e, k + 1), p0, len) : len;
        bool toEnd = !(k + 1 < np) || p1 >= len - 1e-9 * std::max(1.0, len);
        Vec3 from = p0 <= 0 ? s : s + d * p0, to = toEnd ? end : s + d * p1;
        if (!(joined && p0 <= 0)) {
          flush();
          run.push_back(m.apply(from));
        }
        run.push_back(m.apply(to));
        joined = toEnd;
        k += 2;
      } while (k < np);
    }
    flush();
  }
  if (!style.found || elements < 2) return;
  // Joints across every vertex the line turns at.
  if (style.flags & 2) {
    for (std::size_t i = closed ? 0 : 1; i + (closed ? 0 : 1) < nv; ++i) {
      Vec3 q[2] = {m.apply(at(i, hi)), m.apply(at(i, lo))};
      w.polyline(q, 2, a);
    }
  }
  if (closed) return;
  // Elements from the outside in, for the inner arcs.
  std::vector<std::size_t> order(elements);
  for (std::size_t e = 0; e < elements; ++e) order[e] = e;
  std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) { return param(vs[0], x, 0) > param(vs[0], y, 0); });
  auto caps = [&](std::size_t i, Vec3 out, int line, int inner, int outer) {
    if (style.flags & line) {
      Vec3 q[2] = {m.apply(at(i, hi)), m.apply(at(i, lo))};
      w.polyline(q, 2, a);
    }
    if (style.flags & outer) capArc(w, at(i, hi), at(i, lo), out, m, a);
    if (style.flags & inner)
      for (std::size_t k = 1; k + 1 < elements - k; ++k) capArc(w, at(i, order[k]), at(i, order[elements - 1 - k]), out, m, a);
  };
  if (!(ml.flags & 4)) caps(0, vs[0].direction * -1, 16, 32, 64);
  if (!(ml.flags & 8)) caps(nv - 1, nv >= 2 ? vs[nv - 2].direction : vs[0].direction, 256, 512, 1024);
}

}  // namespace kelvaro::cad::vec
