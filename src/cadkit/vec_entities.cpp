// Entity handlers of the regeneration walk: curves, polylines with bulges and widths, meshes,
// planar fills, faces, multilines, leaders, raster images and embedded pictures.
#include <algorithm>
#include <array>
#include <cmath>

#include "cadkit/ole_picture.h"
#include "cadkit/vec_walk.h"

namespace kelvaro::cad::vec {
namespace {

constexpr double kTwoPi = 2 * M_PI;

void toWorld(const Affine& m, std::vector<Vec3>& pts) {
  if (m.identity()) return;
  for (auto& p : pts) p = m.apply(p);
}

// The top and side edges of a shape with a thickness: the copy of its points moved by `up`
// and one edge from each vertex (a closed outline repeats its first point; that edge is drawn
// once). Fills get a filled top.
void extrude(Walk& w, const Vec3* p, std::size_t n, Vec3 up, const Attr& a, bool fill = false) {
  if (n == 0 || !finite(up) || !(length(up) > 0)) return;
  thread_local std::vector<Vec3> top;
  top.assign(p, p + n);
  for (auto& q : top) q = q + up;
  if (fill) w.polygon(top.data(), n, a);
  else w.polyline(top.data(), n, a);
  std::size_t edges = n > 2 && p[0] == p[n - 1] ? n - 1 : n;
  for (std::size_t i = 0; i < edges; ++i) {
    Vec3 side[2] = {p[i], top[i]};
    w.polyline(side, 2, a);
  }
}

// The extrusion of `thickness` along the local z axis of `m`, or none.
Vec3 upOf(const Affine& m, double thickness) {
  if (thickness == 0 || !std::isfinite(thickness)) return {};
  return m.applyDir({0, 0, thickness});
}

// Points of a circle arc; the first point is skipped when !first (continuing a polyline).
void arcPoints(Vec3 c, double r, double a0, double sweep, std::vector<Vec3>& out, bool first) {
  int n = curveSegments(sweep);
  double step = sweep / n, cs = std::cos(step), sn = std::sin(step);
  double x = r * std::cos(a0), y = r * std::sin(a0);
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(n) + (first ? 1 : 0));
  Vec3* o = out.data() + at;
  for (int i = 0; i <= n; ++i) {
    if (i == n) x = r * std::cos(a0 + sweep), y = r * std::sin(a0 + sweep);
    if (i > 0 || first) *o++ = {c.x + x, c.y + y, c.z};
    double nx = x * cs - y * sn;
    y = x * sn + y * cs;
    x = nx;
  }
}

double sweepOf(double startDeg, double endDeg) {
  double s = std::fmod(endDeg - startDeg, 360.0);
  if (s <= 1e-12) s += 360;
  return s * M_PI / 180;
}

}  // namespace

bool bulgeCentre(Vec2 a, Vec2 b, double bulge, Vec3& c) {
  double dx = b.x - a.x, dy = b.y - a.y, chord = std::hypot(dx, dy);
  if (std::fabs(bulge) < 1e-9 || !(chord > 0) || !std::isfinite(bulge)) return false;
  double h = chord / 2, s = bulge * h;   // signed sagitta
  double r = (h * h + s * s) / (2 * s);  // signed radius
  c = {(a.x + b.x) / 2 - dy / chord * (r - s), (a.y + b.y) / 2 + dx / chord * (r - s), 0};
  return true;
}

namespace {

struct WideVertex {
  Vec2 p;
  double w0 = 0, w1 = 0, bulge = 0;
};

// A 2D polyline in its plane: bulges as arcs, widths as filled outlines, the dash pattern
// restarting at each vertex unless the pattern runs on (PLINEGEN).
void plane2d(Walk& w, const std::vector<WideVertex>& v, bool closed, double z, const Affine& m, const Attr& a,
             double thickness = 0) {
  const Vec3 up = upOf(m, thickness);
  std::size_t n = v.size();
  if (n == 0) return;
  std::size_t segs = closed ? n : n - 1;
  bool wide = false;
  for (const auto& x : v) wide = wide || x.w0 != 0 || x.w1 != 0;
  if (!wide || segs == 0) {
    auto& pts = w.s0;
    auto& runs = w.su;
    pts.clear();
    runs.clear();
    pts.push_back({v[0].p.x, v[0].p.y, z});
    for (std::size_t i = 0; i < segs; ++i) {
      const WideVertex& A = v[i];
      const WideVertex& B = v[(i + 1) % n];
      bulgePoints(A.p, B.p, A.bulge, z, pts, false);
      if (!a.plinegen) runs.push_back(static_cast<std::uint32_t>(pts.size() - 1));
    }
    if (!runs.empty()) runs.pop_back();
    toWorld(m, pts);
    if (pts.size() == 1) {
      w.point(pts[0], a);
      return extrude(w, pts.data(), 1, up, a);
    }
    w.polyline(pts.data(), pts.size(), a, runs.data(), runs.size());
    extrude(w, pts.data(), pts.size(), up, a);
    return;
  }
  // Straight pieces first as quads (left start, left end, right end, right start), so that
  // neighbours can meet at a mitre instead of leaving a notch at the vertex.
  thread_local std::vector<std::array<Vec3, 4>> quads;
  thread_local std::vector<char> straight;
  quads.assign(segs, {});
  straight.assign(segs, 0);
  for (std::size_t i = 0; i < segs; ++i) {
    const WideVertex& A = v[i];
    const WideVertex& B = v[(i + 1) % n];
    Vec3 centre;
    if (bulgeCentre(A.p, B.p, A.bulge, centre)) continue;
    Vec3 p0{A.p.x, A.p.y, z}, p1{B.p.x, B.p.y, z};
    Vec3 t = unit(p1 - p0, {1, 0, 0}), nrm{-t.y, t.x, 0};
    quads[i] = {p0 + nrm * (A.w0 / 2), p1 + nrm * (A.w1 / 2), p1 - nrm * (A.w1 / 2), p0 - nrm * (A.w0 / 2)};
    straight[i] = 1;
  }
  auto meet = [](Vec3 p, Vec3 d, Vec3 q, Vec3 e, Vec3& x) {
    double den = d.x * e.y - d.y * e.x;
    if (std::fabs(den) < 1e-12 * (length(d) * length(e))) return false;
    double t = ((q.x - p.x) * e.y - (q.y - p.y) * e.x) / den;
    x = p + d * t;
    return std::isfinite(x.x) && std::isfinite(x.y);
  };
  for (std::size_t i = 0; i < segs; ++i) {
    std::size_t j = i + 1;
    if (j == segs) {
      if (!closed || segs < 2) break;
      j = 0;
    }
    if (!straight[i] || !straight[j]) continue;
    auto& qa = quads[i];
    auto& qb = quads[j];
    Vec3 vertex{v[(i + 1) % n].p.x, v[(i + 1) % n].p.y, z};
    double reach = 4 * std::max({length(qa[1] - vertex), length(qb[0] - vertex), 1e-300});
    Vec3 l, r;
    // Very sharp turns keep their notch: a mitre would reach far past the vertex.
    if (meet(qa[0], qa[1] - qa[0], qb[0], qb[1] - qb[0], l) && meet(qa[3], qa[2] - qa[3], qb[3], qb[2] - qb[3], r) &&
        length(l - vertex) < reach && length(r - vertex) < reach) {
      qa[1] = qb[0] = l;
      qa[2] = qb[3] = r;
    }
  }
  auto& seg = w.s1;
  auto& poly = w.s2;
  for (std::size_t i = 0; i < segs; ++i) {
    if (straight[i]) {
      poly.assign(quads[i].begin(), quads[i].end());
      toWorld(m, poly);
      w.polygon(poly.data(), poly.size(), a);
      extrude(w, poly.data(), poly.size(), up, a, true);
      continue;
    }
    const WideVertex& A = v[i];
    const WideVertex& B = v[(i + 1) % n];
    seg.clear();
    seg.push_back({A.p.x, A.p.y, z});
    bulgePoints(A.p, B.p, A.bulge, z, seg, false);
    std::size_t k = seg.size();
    if (k < 2) continue;
    poly.assign(2 * k, Vec3{});
    Vec3 centre;
    bulgeCentre(A.p, B.p, A.bulge, centre);
    for (std::size_t j = 0; j < k; ++j) {
      // Along an arc the band keeps its width about the centre: offset radially.
      Vec3 r = unit(Vec3{seg[j].x - centre.x, seg[j].y - centre.y, 0}, {0, 1, 0});
      Vec3 nrm = A.bulge > 0 ? r * -1 : r;
      double f = static_cast<double>(j) / static_cast<double>(k - 1);
      double half = (A.w0 + (A.w1 - A.w0) * f) / 2;
      poly[j] = seg[j] + nrm * half;
      poly[2 * k - 1 - j] = seg[j] - nrm * half;
    }
    toWorld(m, poly);
    w.polygon(poly.data(), poly.size(), a);
    extrude(w, poly.data(), poly.size(), up, a, true);
  }
}

void face3d(Walk& w, const Face3d& f, const Affine& m, const Attr& a) {
  Vec3 p[4];
  for (int i = 0; i < 4; ++i) p[i] = m.apply(f.p[i]);
  int n = p[3] == p[2] ? 3 : 4;
  auto& run = w.s0;
  run.clear();
  for (int i = 0; i < n; ++i) {
    if (f.invisibleEdges & (1 << i)) {
      if (run.size() >= 2) w.polyline(run.data(), run.size(), a);
      run.clear();
      continue;
    }
    if (run.empty()) run.push_back(p[i]);
    run.push_back(p[(i + 1) % n]);
  }
  if (run.size() >= 2) w.polyline(run.data(), run.size(), a);
}

void polyface(Walk& w, const Polyline& pl, const Affine& m, const Attr& a) {
  auto& pts = w.s0;
  pts.clear();
  for (const auto& vx : pl.vertices)
    if ((vx.data.flags & 128) && (vx.data.flags & 64)) pts.push_back(m.apply(vx.data.location));
  int count = static_cast<int>(pts.size());
  for (const auto& vx : pl.vertices) {
    if (!(vx.data.flags & 128) || (vx.data.flags & 64)) continue;
    int idx[4], k = 0;
    for (int j = 0; j < 4; ++j)
      if (vx.data.index[j] != 0) idx[k++] = vx.data.index[j];
    for (int j = 0; j < k; ++j) {
      int from = idx[j], to = idx[(j + 1) % k];
      // A negative number hides the edge that starts at it.
      if (from < 0 || k < 2) continue;
      int f = std::abs(from) - 1, t = std::abs(to) - 1;
      if (f >= count || t >= count) continue;
      Vec3 seg[2] = {pts[f], pts[t]};
      w.polyline(seg, 2, a);
    }
  }
}

void mesh(Walk& w, const Polyline& pl, const Affine& m, const Attr& a) {
  int M = pl.m, N = pl.n;
  int total = static_cast<int>(pl.vertices.size());
  if (M * N != total && pl.mDensity * pl.nDensity == total) M = pl.mDensity, N = pl.nDensity;
  if (M < 1 || N < 1 || static_cast<long>(M) * N != total) {
    auto& pts = w.s0;
    pts.clear();
    for (const auto& vx : pl.vertices) pts.push_back(m.apply(vx.data.location));
    return w.polyline(pts.data(), pts.size(), a);
  }
  bool closeM = pl.flags & 1, closeN = pl.flags & 32;
  auto at = [&](int i, int j) { return m.apply(pl.vertices[static_cast<std::size_t>(i * N + j)].data.location); };
  auto& pts = w.s0;
  for (int i = 0; i < M; ++i) {
    pts.clear();
    for (int j = 0; j < N; ++j) pts.push_back(at(i, j));
    if (closeN) pts.push_back(at(i, 0));
    w.polyline(pts.data(), pts.size(), a);
  }
  for (int j = 0; j < N; ++j) {
    pts.clear();
    for (int i = 0; i < M; ++i) pts.push_back(at(i, j));
    if (closeM) pts.push_back(at(0, j));
    w.polyline(pts.data(), pts.size(), a);
  }
}

void heavyPolyline(Walk& w, const Polyline& pl, const Affine& m, const Attr& a0) {
  if (pl.flags & 64) return polyface(w, pl, m, a0);
  if (pl.flags & 16) return mesh(w, pl, m, a0);
  Attr a = a0;
  a.plinegen = (pl.flags & 128) != 0;
  bool closed = pl.flags & 1;
  if (pl.flags & 8) {
    auto& pts = w.s0;
    pts.clear();
    for (const auto& vx : pl.vertices)
      if (!(vx.data.flags & 16)) pts.push_back(m.apply(vx.data.location));
    if (closed && pts.size() > 2) pts.push_back(pts.front());
    if (pts.size() == 1) return w.point(pts[0], a);
    return w.polyline(pts.data(), pts.size(), a);
  }
  // Reused: a drawing of many polylines allocates nothing per polyline.
  thread_local std::vector<WideVertex> v;
  v.clear();
  for (const auto& vx : pl.vertices) {
    if (vx.data.flags & 16) continue;  // spline frame
    WideVertex x;
    x.p = {vx.data.location.x, vx.data.location.y};
    bool own = vx.data.startWidth != 0 || vx.data.endWidth != 0;
    x.w0 = own ? vx.data.startWidth : pl.startWidth;
    x.w1 = own ? vx.data.endWidth : pl.endWidth;
    x.bulge = std::isfinite(vx.data.bulge) ? vx.data.bulge : 0;
    v.push_back(x);
  }
  plane2d(w, v, closed, pl.elevation.z, m * ocsToWorld(pl.normal), a, pl.thickness);
}

void lwPolyline(Walk& w, const LwPolyline& pl, const Affine& m, const Attr& a0) {
  Attr a = a0;
  a.plinegen = (pl.flags & 128) != 0;
  // Reused: a drawing of many polylines allocates nothing per polyline.
  thread_local std::vector<WideVertex> v;
  v.clear();
  bool cw = pl.constWidth != 0 && std::isfinite(pl.constWidth);
  for (const auto& vx : pl.vertices) {
    WideVertex x;
    x.p = vx.p;
    x.w0 = cw ? pl.constWidth : vx.startWidth;
    x.w1 = cw ? pl.constWidth : vx.endWidth;
    x.bulge = std::isfinite(vx.bulge) ? vx.bulge : 0;
    v.push_back(x);
  }
  plane2d(w, v, pl.flags & 1, pl.elevation, m * ocsToWorld(pl.normal), a, pl.thickness);
}

void quad(Walk& w, const Vec3 (&p)[4], Vec3 normal, double thickness, const Affine& m, const Attr& a) {
  Affine t = m * ocsToWorld(normal);
  // Corners 3 and 4 are stored crosswise.
  Vec3 q[4] = {t.apply(p[0]), t.apply(p[1]), t.apply(p[3]), t.apply(p[2])};
  std::size_t n = p[2] == p[3] ? 3 : 4;
  w.polygon(q, n, a);
  extrude(w, q, n, upOf(t, thickness), a, true);
}

void leader(Walk& w, const Leader& l, const Affine& m, const Attr& a) {
  if (l.vertices.empty()) return;
  auto& pts = w.s0;
  pts.clear();
  for (const auto& v : l.vertices) pts.push_back(m.apply(v));
  w.polyline(pts.data(), pts.size(), a);
  if (l.arrowhead != 1 || l.vertices.size() < 2) return;
  Vec3 tip = l.vertices[0], dir = unit(l.vertices[0] - l.vertices[1], {1, 0, 0});
  double size = l.textHeight > 0 && std::isfinite(l.textHeight) ? l.textHeight
                                                                 : (w.doc().header.measurement == 1 ? 2.5 : 0.18);
  double seg = length(l.vertices[1] - l.vertices[0]);
  if (size > seg) size = seg;  // a head longer than its segment would point backwards
  Vec3 side = unit(crossP(unit(l.normal), dir), {0, 1, 0});
  Vec3 back = tip - dir * size;
  Vec3 tri[3] = {m.apply(tip), m.apply(back + side * (size / 6)), m.apply(back - side * (size / 6))};
  w.polygon(tri, 3, a);
}

void image(Walk& w, const Image& im, const Affine& m, const Attr& a) {
  if (!(im.display & 1)) return;
  const Object* o = w.object(im.imageDef);
  const auto* def = o ? std::get_if<ImageDef>(&o->data) : nullptr;
  DisplayList& out = w.out();
  ImageSlot slot;
  slot.path = def ? def->fileName : std::string();
  double sx = im.size.x, sy = im.size.y;
  if (!(sx > 0 && sy > 0) || !std::isfinite(sx + sy)) return;
  auto at = [&](double px, double py) { return m.apply(im.insert + im.u * px + im.v * py); };
  auto& pts = w.s0;
  pts.clear();
  pts.push_back(at(0, 0));
  pts.push_back(at(sx, 0));
  pts.push_back(at(sx, sy));
  pts.push_back(at(0, sy));
  if (im.clipping && im.clip.size() >= 2) {
    // Clip vertices count pixels from the top left corner, at pixel centres.
    auto clipPt = [&](Vec2 c) { return at(c.x + 0.5, sy - (c.y + 0.5)); };
    if (im.clipType == 1 || im.clip.size() == 2) {
      Vec2 c0 = im.clip[0], c1 = im.clip[1];
      pts.push_back(clipPt(c0));
      pts.push_back(clipPt({c1.x, c0.y}));
      pts.push_back(clipPt(c1));
      pts.push_back(clipPt({c0.x, c1.y}));
    } else {
      for (const auto& c : im.clip) pts.push_back(clipPt(c));
    }
  }
  for (const auto& p : pts)
    if (!finite(p)) return;
  slot.clipCount = pts.size() - 4;
  std::size_t first = out.pts.size();
  out.pts.insert(out.pts.end(), pts.begin(), pts.end());
  for (int i = 0; i < 4; ++i) out.grow(pts[i]);
  Item it;
  it.kind = ItemKind::Image;
  it.color = a.color;
  it.layer = a.layer;
  it.topLayer = a.topLayer;
  it.first = static_cast<std::uint32_t>(first);
  it.count = static_cast<std::uint32_t>(pts.size());
  it.aux = static_cast<std::uint32_t>(out.images.size());
  out.images.push_back(std::move(slot));
  out.items.push_back(it);
}

void ole(Walk& w, const Ole2Frame& f, const Affine& m, const Attr& a) {
  std::vector<std::uint8_t> bytes = f.bytes();
  Vec3 ul = f.upperLeft, lr = f.lowerRight;
  Vec3 c[4] = {m.apply({ul.x, lr.y, ul.z}), m.apply({lr.x, lr.y, ul.z}), m.apply({lr.x, ul.y, ul.z}), m.apply(ul)};
  for (const auto& p : c)
    if (!finite(p)) return;
  DisplayList& out = w.out();
  std::size_t first = out.pts.size();
  for (const auto& p : c) out.pts.push_back(p), out.grow(p);
  Item it;
  it.kind = ItemKind::Ole;
  it.color = a.color;
  it.layer = a.layer;
  it.topLayer = a.topLayer;
  it.first = static_cast<std::uint32_t>(first);
  it.count = 4;
  it.aux = static_cast<std::uint32_t>(out.ole.size());
  // The picture is found once, at the regeneration; redraws only show it.
  out.ole.push_back(extractOlePicture(bytes.data(), bytes.size()));
  out.oleNames.resize(out.ole.size());
  out.oleNames.back() = f.typeText;
  out.items.push_back(it);
}

}  // namespace

void bulgePoints(Vec2 a, Vec2 b, double bulge, double z, std::vector<Vec3>& out, bool first) {
  Vec3 c;
  if (!bulgeCentre(a, b, bulge, c)) {
    if (first) out.push_back({a.x, a.y, z});
    out.push_back({b.x, b.y, z});
    return;
  }
  c.z = z;
  double a0 = std::atan2(a.y - c.y, a.x - c.x);
  double sweep = 4 * std::atan(bulge);
  arcPoints(c, std::hypot(a.x - c.x, a.y - c.y), a0, sweep, out, first);
  out.back() = {b.x, b.y, z};
}

void ellipseArc(Vec3 c, Vec3 major, Vec3 minor, double t0, double t1, std::vector<Vec3>& out) {
  double sweep = t1 - t0;
  int n = curveSegments(sweep);
  for (int i = 0; i <= n; ++i) {
    double t = t0 + sweep * i / n;
    out.push_back(c + major * std::cos(t) + minor * std::sin(t));
  }
}

void drawEntity(Walk& w, const Entity& e, const Affine& m, const Attr& a, bool inBlock) {
  auto& pts = w.s0;
  if (const auto* l = e.as<Line>()) {
    Vec3 p[2] = {m.apply(l->start), m.apply(l->end)};
    w.polyline(p, 2, a);
    // The ends lie in world coordinates; the thickness goes along the line's own normal.
    if (l->thickness != 0) extrude(w, p, 2, m.applyDir(unit(l->normal) * l->thickness), a);
    return;
  }
  if (const auto* c = e.as<Circle>()) {
    if (!(c->radius > 0) || !std::isfinite(c->radius)) return;
    pts.clear();
    arcPoints(c->center, c->radius, 0, kTwoPi, pts, true);
    pts.back() = pts.front();
    Affine t = m * ocsToWorld(c->normal);
    toWorld(t, pts);
    w.polyline(pts.data(), pts.size(), a);
    return extrude(w, pts.data(), pts.size(), upOf(t, c->thickness), a);
  }
  if (const auto* c = e.as<Arc>()) {
    if (!(c->radius > 0) || !std::isfinite(c->radius + c->startAngle + c->endAngle)) return;
    pts.clear();
    arcPoints(c->center, c->radius, c->startAngle * M_PI / 180, sweepOf(c->startAngle, c->endAngle), pts, true);
    Affine t = m * ocsToWorld(c->normal);
    toWorld(t, pts);
    w.polyline(pts.data(), pts.size(), a);
    return extrude(w, pts.data(), pts.size(), upOf(t, c->thickness), a);
  }
  if (const auto* el = e.as<Ellipse>()) {
    double t0 = el->startParam, t1 = el->endParam;
    if (!std::isfinite(t0 + t1 + el->ratio) || !(length(el->majorAxis) > 0)) return;
    while (t1 <= t0 + 1e-12) t1 += kTwoPi;
    if (t1 - t0 > kTwoPi) t1 = t0 + kTwoPi;
    Vec3 minor = crossP(unit(el->normal), el->majorAxis) * el->ratio;
    pts.clear();
    ellipseArc(el->center, el->majorAxis, minor, t0, t1, pts);
    toWorld(m, pts);
    return w.polyline(pts.data(), pts.size(), a);
  }
  if (const auto* p = e.as<Point>()) return drawPoint(w, *p, m, a);
  if (const auto* r = e.as<Ray>()) return w.infinite(m.apply(r->start), m.applyDir(r->direction), true, a);
  if (const auto* x = e.as<XLine>()) return w.infinite(m.apply(x->start), m.applyDir(x->direction), false, a);
  if (const auto* s = e.as<Solid>()) return quad(w, s->p, s->normal, s->thickness, m, a);
  if (const auto* t = e.as<Trace>()) return quad(w, t->p, t->normal, t->thickness, m, a);
  if (const auto* f = e.as<Face3d>()) return face3d(w, *f, m, a);
  if (const auto* p = e.as<LwPolyline>()) return lwPolyline(w, *p, m, a);
  if (const auto* p = e.as<Polyline>()) return heavyPolyline(w, *p, m, a);
  if (const auto* s = e.as<Spline>()) {
    pts.clear();
    splineCurve(*s, pts);
    toWorld(m, pts);
    return w.polyline(pts.data(), pts.size(), a);
  }
  if (const auto* ml = e.as<MLine>()) return drawMLine(w, *ml, m, a);
  if (const auto* l = e.as<Leader>()) return leader(w, *l, m, a);
  if (const auto* h = e.as<Hatch>()) return drawHatch(w, *h, m, a);
  if (const auto* t = e.as<Text>()) return drawText(w, e, *t, t->valign, std::string(), m, a);
  if (const auto* t = e.as<MText>()) return drawMText(w, *t, m, a);
  if (const auto* t = e.as<AttDef>()) {
    // Definitions show their tag where they are drawn directly, never inside an insert.
    if (!inBlock) drawText(w, e, *t, t->valign, t->tag, m, a);
    return;
  }
  if (const auto* im = e.as<Image>()) return image(w, *im, m, a);
  if (const auto* o = e.as<Ole2Frame>()) return ole(w, *o, m, a);
}

}  // namespace kelvaro::cad::vec
