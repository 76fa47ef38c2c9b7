// Splines and hatches: B-spline evaluation (rational too) and fit-point curves, hatch
// boundary rings from every edge kind, solid fills and pattern lines cut at the boundary.
#include <algorithm>
#include <cmath>

#include "cadkit/vec_walk.h"

namespace kelvaro::cad::vec {
namespace {

constexpr int kMaxDegree = 15;
// Pattern families needing more lines than this for one hatch are too dense to show.
constexpr double kMaxPatternLines = 20000;
constexpr double kMaxCuts = 5e7;

int perSpan() { return std::max(2, curveSegments(2 * M_PI) / 8); }

// One point of a B-spline by de Boor's algorithm (fixed arrays: no allocation per point).
Vec3 deBoor(int p, const double* U, const Vec3* P, const double* W, std::size_t n, double u) {
  std::size_t k = static_cast<std::size_t>(p);
  while (k + 1 < n && U[k + 1] <= u) ++k;
  Vec3 d[kMaxDegree + 1];
  double w[kMaxDegree + 1];
  for (int j = 0; j <= p; ++j) {
    std::size_t i = k - p + j;
    w[j] = W ? W[i] : 1.0;
    d[j] = P[i] * w[j];
  }
  for (int r = 1; r <= p; ++r)
    for (int j = p; j >= r; --j) {
      std::size_t i = k - p + j;
      double den = U[i + p - r + 1] - U[i];
      double al = den > 0 ? (u - U[i]) / den : 0;
      d[j] = d[j - 1] * (1 - al) + d[j] * al;
      w[j] = (1 - al) * w[j - 1] + al * w[j];
    }
  return w[p] != 0 ? d[p] * (1 / w[p]) : d[p];
}

bool bspline(int p, const std::vector<double>& U, const Vec3* P, std::size_t n, const std::vector<double>& Wv,
             std::vector<Vec3>& out) {
  if (p < 1 || p > kMaxDegree || n <= static_cast<std::size_t>(p) || U.size() != n + p + 1) return false;
  for (std::size_t i = 0; i < U.size(); ++i)
    if (!std::isfinite(U[i]) || (i > 0 && U[i] < U[i - 1])) return false;
  if (!(U[p] < U[n])) return false;
  const double* W = nullptr;
  if (Wv.size() == n) {
    bool ok = true;
    for (double x : Wv) ok = ok && x > 0 && std::isfinite(x);
    if (ok) W = Wv.data();
  }
  int steps = perSpan();
  for (std::size_t k = p; k < n; ++k) {
    if (!(U[k + 1] > U[k])) continue;
    for (int s = 0; s < steps; ++s) out.push_back(deBoor(p, U.data(), P, W, n, U[k] + (U[k + 1] - U[k]) * s / steps));
  }
  // The end itself: evaluate just inside the last span.
  out.push_back(deBoor(p, U.data(), P, W, n, U[n] - (U[n] - U[p]) * 1e-12));
  if (U[n] == U[n + p]) out.back() = P[n - 1];
  return true;
}

// A curve through fit points (Catmull-Rom), for splines stored without control points.
void throughPoints(const Vec3* f, std::size_t n, std::vector<Vec3>& out) {
  int steps = perSpan();
  out.push_back(f[0]);
  for (std::size_t i = 0; i + 1 < n; ++i) {
    Vec3 p0 = i > 0 ? f[i - 1] : f[i], p1 = f[i], p2 = f[i + 1], p3 = i + 2 < n ? f[i + 2] : f[i + 1];
    for (int s = 1; s <= steps; ++s) {
      double t = static_cast<double>(s) / steps, t2 = t * t, t3 = t2 * t;
      out.push_back((p1 * 2 + (p2 - p0) * t + (p0 * 2 - p1 * 5 + p2 * 4 - p3) * t2 + (p1 * 3 - p0 - p2 * 3 + p3) * t3) *
                    0.5);
    }
  }
}

struct RingBuilder {
  std::vector<Vec3>& pts;
  std::vector<int>& counts;
  std::size_t start = 0;
  double z = 0;
  void begin() { start = pts.size(); }
  void add(Vec3 p) {
    if (pts.size() > start && std::fabs(pts.back().x - p.x) < 1e-12 && std::fabs(pts.back().y - p.y) < 1e-12) return;
    pts.push_back({p.x, p.y, z});
  }
  void end() {
    std::size_t n = pts.size() - start;
    if (n > 1 && pts.back().x == pts[start].x && pts.back().y == pts[start].y) pts.pop_back(), --n;
    if (n < 3) pts.resize(start);
    else counts.push_back(static_cast<int>(n));
  }
};

void edgeRing(Walk& w, const HatchPath& path, RingBuilder& rb) {
  auto& tmp = w.s1;
  for (const auto& e : path.edges) {
    tmp.clear();
    switch (e.type) {
      case 1:
        tmp.push_back({e.p1.x, e.p1.y, 0});
        tmp.push_back({e.p2.x, e.p2.y, 0});
        break;
      case 2:
      case 3: {
        if (!std::isfinite(e.start + e.end + e.radius)) break;
        double s = e.start * M_PI / 180, t = e.end * M_PI / 180;
        double sweep = std::fmod(t - s, 2 * M_PI);
        if (sweep <= 1e-12) sweep += 2 * M_PI;
        Vec3 c{e.p1.x, e.p1.y, 0}, major, minor;
        if (e.type == 2) {
          major = {e.radius, 0, 0};
          minor = {0, e.radius, 0};
        } else {
          major = {e.p2.x, e.p2.y, 0};
          minor = Vec3{-e.p2.y, e.p2.x, 0} * e.radius;
        }
        // Clockwise edges keep their angles mirrored: the curve runs the other way round.
        if (!e.ccw) minor = minor * -1;
        ellipseArc(c, major, minor, s, s + sweep, tmp);
        break;
      }
      default: {
        thread_local std::vector<Vec3> ctrl;
        ctrl.clear();
        for (auto p : e.control) ctrl.push_back({p.x, p.y, 0});
        if (!bspline(e.degree, e.knots, ctrl.data(), ctrl.size(), e.weights, tmp)) {
          if (ctrl.size() >= 2) tmp = ctrl;
          else
            for (auto p : e.fit) tmp.push_back({p.x, p.y, 0});
        }
      }
    }
    for (const auto& p : tmp) rb.add(p);
  }
}

void polyRing(Walk& w, const HatchPath& path, RingBuilder& rb) {
  auto& tmp = w.s1;
  std::size_t n = path.vertices.size();
  if (n == 0) return;
  tmp.clear();
  tmp.push_back({path.vertices[0].p.x, path.vertices[0].p.y, 0});
  for (std::size_t i = 0; i < n; ++i) {
    const auto& a = path.vertices[i];
    const auto& b = path.vertices[(i + 1) % n];
    // An open boundary closes straight back to its start when filled.
    if (i + 1 == n && !path.closed) break;
    bulgePoints(a.p, b.p, path.hasBulge ? a.bulge : 0, 0, tmp, false);
  }
  for (const auto& p : tmp) rb.add(p);
}

// Dashes of one pattern line between t0 and t1 (line parameter), the pattern starting at 0.
void dashedSpan(Walk& w, Vec3 o, Vec3 u, double t0, double t1, const std::vector<double>& dashes, double patLen,
                const Affine& m, const Attr& a) {
  auto seg = [&](double s0, double s1) {
    Vec3 p[2] = {m.apply(o + u * s0), m.apply(o + u * s1)};
    w.polyline(p, 2, a);
  };
  if (dashes.empty() || !(patLen > 0)) return seg(t0, t1);
  double phase = std::fmod(t0, patLen);
  if (phase < 0) phase += patLen;
  double pos = t0 - phase;  // start of the pattern repeat holding t0
  std::size_t k = 0;
  // Guard against patterns that would need absurd numbers of dashes on one span.
  double reps = (t1 - t0) / patLen;
  if (reps > 10000) return seg(t0, t1);
  while (pos < t1) {
    double d = dashes[k], len = std::fabs(d);
    double e = pos + len;
    if (d > 0 && e > t0) seg(std::max(pos, t0), std::min(e, t1));
    else if (d == 0 && pos >= t0 && pos <= t1) w.point(m.apply(o + u * pos), a);
    pos = e;
    k = (k + 1) % dashes.size();
  }
}

void patternLines(Walk& w, const Hatch& h, const Vec3* ring, const int* counts, int nrings, const Affine& m,
                  const Attr& a) {
  std::size_t total = 0;
  for (int r = 0; r < nrings; ++r) total += static_cast<std::size_t>(counts[r]);
  double z = h.elevation.z;
  auto& ts = w.sd;
  for (const auto& pl : h.lines) {
    double ang = pl.angle * M_PI / 180;
    if (!std::isfinite(ang + pl.base.x + pl.base.y + pl.offset.x + pl.offset.y)) continue;
    Vec3 u{std::cos(ang), std::sin(ang), 0}, n{-u.y, u.x, 0};
    Vec3 base{pl.base.x, pl.base.y, z}, off{pl.offset.x, pl.offset.y, 0};
    double dn = dot(off, n);
    double dmin = 1e300, dmax = -1e300;
    for (std::size_t i = 0; i < total; ++i) {
      double d = dot(ring[i] - base, n);
      dmin = std::min(dmin, d), dmax = std::max(dmax, d);
    }
    if (!(std::fabs(dn) > 1e-12 * std::max(1.0, dmax - dmin))) continue;
    double k0 = std::ceil(std::min(dmin / dn, dmax / dn)), k1 = std::floor(std::max(dmin / dn, dmax / dn));
    if (!(k1 - k0 < kMaxPatternLines) || !std::isfinite(k0)) continue;
    // Each line is cut against every boundary edge: bound that work too.
    if ((k1 - k0 + 1) * static_cast<double>(total) > kMaxCuts) continue;
    double patLen = 0;
    for (double d : pl.dashes) patLen += std::fabs(d);
    for (double k = k0; k <= k1; k += 1) {
      Vec3 o = base + off * k;
      ts.clear();
      std::size_t first = 0;
      for (int r = 0; r < nrings; ++r) {
        std::size_t cnt = static_cast<std::size_t>(counts[r]);
        for (std::size_t i = 0; i < cnt; ++i) {
          Vec3 p = ring[first + i], q = ring[first + (i + 1) % cnt];
          double da = dot(p - o, n), db = dot(q - o, n);
          if ((da > 0) == (db > 0)) continue;
          double f = da / (da - db);
          ts.push_back(dot(p - o, u) + dot(q - p, u) * f);
        }
        first += cnt;
      }
      std::sort(ts.begin(), ts.end());
      for (std::size_t i = 0; i + 1 < ts.size(); i += 2)
        if (ts[i + 1] > ts[i]) dashedSpan(w, o, u, ts[i], ts[i + 1], pl.dashes, patLen, m, a);
      if (w.full()) return;
    }
  }
}

}  // namespace

void splineCurve(const Spline& s, std::vector<Vec3>& out) {
  if (bspline(s.degree, s.knots, s.control.data(), s.control.size(), s.weights, out)) return;
  out.clear();
  if (s.fit.size() >= 2) return throughPoints(s.fit.data(), s.fit.size(), out);
  out.insert(out.end(), s.control.begin(), s.control.end());
}

void drawHatch(Walk& w, const Hatch& h, const Affine& m, const Attr& a0) {
  auto& pts = w.s0;
  auto& counts = w.si;
  pts.clear();
  counts.clear();
  RingBuilder rb{pts, counts};
  rb.z = std::isfinite(h.elevation.z) ? h.elevation.z : 0;
  for (const auto& path : h.paths) {
    rb.begin();
    if (path.polyline()) polyRing(w, path, rb);
    else edgeRing(w, path, rb);
    rb.end();
  }
  if (counts.empty()) return;
  Affine t = m * ocsToWorld(h.normal);
  Attr a = a0;
  a.linetype = -1;
  if (h.solid || sameName(h.pattern, "SOLID") || h.lines.empty()) {
    if (!h.solid && !sameName(h.pattern, "SOLID")) return;  // a pattern whose lines were not stored
    for (auto& p : pts) p = t.apply(p);
    return w.rings(pts.data(), counts.data(), static_cast<int>(counts.size()), a);
  }
  // The rings stay in the hatch plane; lines are made there and mapped on output.
  thread_local std::vector<Vec3> ring;
  thread_local std::vector<int> cnt;
  ring = pts;
  cnt = counts;
  patternLines(w, h, ring.data(), cnt.data(), static_cast<int>(cnt.size()), t, a);
}

}  // namespace kelvaro::cad::vec
