#include "view3d/Scene3D.h"

#include <algorithm>
#include <cmath>

#include "view3d/XFile.h"

namespace kelvaro::view3d {

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Length(Vec3 a) { return std::sqrt(Dot(a, a)); }

Vec3 Normalised(Vec3 a) {
  const double len = Length(a);
  if (!(len > 0) || !std::isfinite(len)) return {};
  return a * (1.0 / len);
}

Mat4 operator*(const Mat4& a, const Mat4& b) {
  Mat4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
      r.m[i][j] = s;
    }
  return r;
}

Mat4 Mat4::Rotation(Vec3 axis, double radians) {
  const Vec3 u = Normalised(axis);
  Mat4 r;
  if (u == Vec3{} || !std::isfinite(radians)) return r;
  const double c = std::cos(radians), s = std::sin(radians), t = 1 - c;
  // Row-vector form: a positive angle about +y turns +z towards +x (clockwise seen from above
  // in a left-handed space, as a compass bearing grows).
  r.m[0] = {t * u.x * u.x + c, t * u.x * u.y + s * u.z, t * u.x * u.z - s * u.y, 0};
  r.m[1] = {t * u.x * u.y - s * u.z, t * u.y * u.y + c, t * u.y * u.z + s * u.x, 0};
  r.m[2] = {t * u.x * u.z + s * u.y, t * u.y * u.z - s * u.x, t * u.z * u.z + c, 0};
  return r;
}

Mat4 Mat4::Scaling(Vec3 s) {
  Mat4 r;
  r.m[0][0] = s.x;
  r.m[1][1] = s.y;
  r.m[2][2] = s.z;
  return r;
}

Mat4 Mat4::Translation(Vec3 t) {
  Mat4 r;
  r.m[3] = {t.x, t.y, t.z, 1};
  return r;
}

Vec3 Mat4::point(Vec3 p) const {
  return {p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0],
          p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1],
          p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2]};
}

Vec3 Mat4::direction(Vec3 d) const {
  return {d.x * m[0][0] + d.y * m[1][0] + d.z * m[2][0], d.x * m[0][1] + d.y * m[1][1] + d.z * m[2][1],
          d.x * m[0][2] + d.y * m[1][2] + d.z * m[2][2]};
}

Mat4 Mat4::rigidInverse() const {
  Mat4 r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] = m[j][i];
  const Vec3 t{m[3][0], m[3][1], m[3][2]};
  const Vec3 it = r.direction(t) * -1.0;
  r.m[3] = {it.x, it.y, it.z, 1};
  return r;
}

// ---- mesh builder and wrap -------------------------------------------------------------

bool MeshBuilder::Load(std::span<const std::uint8_t> bytes, std::string* error) {
  std::optional<XMesh> m = ReadBinaryX(bytes, error);
  if (!m) return false;
  vertices_.clear();
  faces_.clear();
  uvs_.assign(m->vertices.size(), {0.0, 0.0});
  for (const auto& p : m->vertices) vertices_.push_back({p[0], p[1], p[2]});
  for (const auto& f : m->faces)
    for (std::size_t k = 2; k < f.size(); ++k) faces_.push_back({f[0], f[k - 1], f[k]});
  return true;
}

void MeshBuilder::Scale(double sx, double sy, double sz) {
  for (Vec3& v : vertices_) v = {v.x * sx, v.y * sy, v.z * sz};
}

MeshBuilder::Box MeshBuilder::GetBox() const {
  if (vertices_.empty()) return {};
  Box b{vertices_[0], vertices_[0]};
  for (const Vec3& v : vertices_) {
    b.min = {std::min(b.min.x, v.x), std::min(b.min.y, v.y), std::min(b.min.z, v.z)};
    b.max = {std::max(b.max.x, v.x), std::max(b.max.y, v.y), std::max(b.max.z, v.z)};
  }
  return b;
}

void FlatWrap::Apply(MeshBuilder& mesh) const {
  const Vec3 dir = Normalised(direction);
  Vec3 upn = Normalised(up - dir * Dot(up, dir));
  Vec3 right = Cross(upn, dir);
  if (upn == Vec3{} || dir == Vec3{}) {
    upn = {0, 1, 0};
    right = {1, 0, 0};
  }
  auto& uv = mesh.uvs();
  const auto& vs = mesh.vertices();
  uv.resize(vs.size());
  for (std::size_t i = 0; i < vs.size(); ++i) {
    const Vec3 p = vs[i] - origin;
    uv[i] = {ou + Dot(p, right) * su, ov - Dot(p, upn) * sv};
  }
}

// ---- frames ----------------------------------------------------------------------------

Mat4 Frame::world() const {
  Mat4 w = local_;
  // A parent chain is short (three frames at most here); a cycle cannot be built through
  // the constructor.
  for (const Frame* f = parent_; f; f = f->parent_) w = w * f->local_;
  return w;
}

void Frame::AddRotation(Combine how, Vec3 axis, double radians) {
  const Mat4 r = Mat4::Rotation(axis, radians);
  switch (how) {
    case Combine::Replace: local_ = r; break;
    case Combine::Before: local_ = r * local_; break;
    case Combine::After: local_ = local_ * r; break;
  }
}

void Frame::SetPosition(double x, double y, double z) {
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return;
  local_.m[3] = {x, y, z, 1};
}

void Frame::SetOrientation(Vec3 direction, Vec3 up) {
  const Vec3 z = Normalised(direction);
  if (z == Vec3{}) return;
  Vec3 y = up - z * Dot(up, z);
  if (Length(y) < 1e-9) {
    // Looking straight along the up vector: any other axis makes a sound frame.
    const Vec3 alt = std::fabs(z.z) < 0.9 ? Vec3{0, 0, 1} : Vec3{1, 0, 0};
    y = alt - z * Dot(alt, z);
  }
  y = Normalised(y);
  const Vec3 x = Cross(y, z);
  local_.m[0] = {x.x, x.y, x.z, 0};
  local_.m[1] = {y.x, y.y, y.z, 0};
  local_.m[2] = {z.x, z.y, z.z, 0};
}

Mat4 ShadowProjection(Vec3 l, Vec3 point, Vec3 normal) {
  const Vec3 n = Normalised(normal);
  const double nl = Dot(n, l);
  Mat4 r;
  if (std::fabs(nl) < 1e-12 || n == Vec3{}) return r;
  const double d = Dot(n, point);
  // p' = p - l (n.p - d) / (n.l), written for row vectors.
  const double a[3] = {l.x / nl, l.y / nl, l.z / nl};
  const double nn[3] = {n.x, n.y, n.z};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] = (i == j ? 1.0 : 0.0) - nn[i] * a[j];
  for (int j = 0; j < 3; ++j) r.m[3][j] = d * a[j];
  r.m[3][3] = 1;
  return r;
}

// ---- viewport --------------------------------------------------------------------------

bool Viewport::SetField(double f) {
  if (!(f > 0) || !std::isfinite(f)) return false;
  field = f;
  return true;
}

bool Viewport::SetFront(double f) {
  if (!(f > 0) || !std::isfinite(f) || f >= back) return false;
  front = f;
  return true;
}

bool Viewport::SetBack(double b) {
  if (!std::isfinite(b) || b <= front) return false;
  back = b;
  return true;
}

std::array<float, 16> Viewport::projection() const {
  const double w = std::max(width, 1), h = std::max(height, 1);
  const double big = std::max(w, h);
  // At distance 1 the larger side spans 2 * field.
  const double sx = big / (w * field), sy = big / (h * field);
  const double n = front, f = back;
  std::array<float, 16> p{};
  p[0] = static_cast<float>(sx);
  p[5] = static_cast<float>(sy);
  // Left-handed view space (z forward) into OpenGL's clip space: w = z.
  p[10] = static_cast<float>((f + n) / (f - n));
  p[11] = 1.0f;
  p[14] = static_cast<float>(-2.0 * f * n / (f - n));
  return p;
}

// ---- collecting ------------------------------------------------------------------------

void Collect(const std::vector<const Frame*>& frames, FrameSnapshot& out) {
  out.items.clear();
  out.ambient = {};
  out.hasSun = false;
  out.lights.clear();
  for (const Frame* f : frames) {
    if (!f) continue;
    const Mat4 w = f->world();
    if (!f->parent()) out.background = f->background();
    for (const Light* l : f->lights()) {
      if (l->type == LightType::Ambient) {
        out.ambient = {out.ambient.r + l->colour.r, out.ambient.g + l->colour.g, out.ambient.b + l->colour.b};
      } else {
        const Vec3 dir = Normalised(w.direction({0, 0, 1}));
        out.lights.push_back({l, dir});
        if (!out.hasSun) {
          out.hasSun = true;
          out.sun = l->colour;
          out.sunDirection = dir;
        }
      }
    }
  }
  for (const Frame* f : frames) {
    if (!f) continue;
    const Mat4 w = f->world();
    for (const MeshBuilder* m : f->meshes()) out.items.push_back({m, w, false, {}});
    for (const Shadow* s : f->shadows()) {
      if (!s->visual) continue;
      const auto it = std::find_if(out.lights.begin(), out.lights.end(),
                                   [s](const FrameSnapshot::LightDir& ld) { return ld.light == s->light; });
      if (it == out.lights.end()) continue;
      // Only a light shining down onto the plane casts a shadow on it.
      if (Dot(it->direction, Normalised(s->normal)) >= -1e-9) continue;
      out.items.push_back({s->visual, w * ShadowProjection(it->direction, s->point, s->normal), true, s->colour});
    }
  }
}

}  // namespace kelvaro::view3d
