#include "cadkit/geometry.h"

#include <algorithm>
#include <cmath>

namespace kelvaro::cad {

Vec3 add(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 scale(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

std::vector<Vec3> ellipsePoints(Vec3 c, Vec3 major, double ratio, Vec3 normal, double t0, double t1, int n) {
  double len = std::sqrt(normal.x * normal.x + normal.y * normal.y + normal.z * normal.z);
  if (len < 1e-12) normal = {0, 0, 1}, len = 1;
  normal = scale(normal, 1 / len);
  Vec3 minor = scale(cross(normal, major), ratio);
  while (t1 <= t0) t1 += 2 * M_PI;
  if (n < 2) n = 2;
  std::vector<Vec3> pts;
  pts.reserve(n + 1);
  for (int i = 0; i <= n; ++i) {
    double t = t0 + (t1 - t0) * i / n;
    pts.push_back(add(c, add(scale(major, std::cos(t)), scale(minor, std::sin(t)))));
  }
  return pts;
}

std::vector<Vec3> arcPoints(Vec3 c, double r, double a0, double a1, int n) {
  while (a1 <= a0) a1 += 360;
  std::vector<Vec3> pts;
  for (int i = 0; i <= n; ++i) {
    double a = (a0 + (a1 - a0) * i / n) * M_PI / 180;
    pts.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a), c.z});
  }
  return pts;
}

std::vector<Vec3> splinePoints(int p, const std::vector<double>& U, const std::vector<Vec3>& P,
                               const std::vector<double>& W, int perSpan) {
  std::size_t n = P.size();
  bool ok = p >= 1 && n > static_cast<std::size_t>(p) && U.size() == n + p + 1;
  for (std::size_t i = 1; ok && i < U.size(); ++i) ok = U[i] >= U[i - 1];
  if (!ok || U[p] >= U[n]) return P;
  bool rational = W.size() == n;
  std::vector<Vec3> out;
  auto eval = [&](double u) {
    std::size_t k = p;
    while (k + 1 < n && U[k + 1] <= u) ++k;
    std::vector<Vec3> d(p + 1);
    std::vector<double> w(p + 1, 1.0);
    for (int j = 0; j <= p; ++j) {
      std::size_t idx = k - p + j;
      double wt = rational ? W[idx] : 1.0;
      d[j] = scale(P[idx], wt);
      w[j] = wt;
    }
    for (int r = 1; r <= p; ++r)
      for (int j = p; j >= r; --j) {
        std::size_t i = k - p + j;
        double den = U[i + p - r + 1] - U[i];
        double a = den > 0 ? (u - U[i]) / den : 0;
        d[j] = add(scale(d[j - 1], 1 - a), scale(d[j], a));
        w[j] = (1 - a) * w[j - 1] + a * w[j];
      }
    return w[p] != 0 ? scale(d[p], 1 / w[p]) : d[p];
  };
  for (std::size_t k = p; k < n; ++k) {
    if (U[k + 1] <= U[k]) continue;
    for (int s = 0; s < perSpan; ++s) out.push_back(eval(U[k] + (U[k + 1] - U[k]) * s / perSpan));
  }
  out.push_back(eval(U[n] - 1e-12 * std::max(1.0, std::fabs(U[n]))));
  return out;
}

}  // namespace kelvaro::cad
