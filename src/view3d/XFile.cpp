#include "view3d/XFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kelvaro::view3d {
namespace {

enum Token : std::uint16_t {
  kName = 1, kString = 2, kInteger = 3, kGuid = 5, kIntegerList = 6, kFloatList = 7,
  kOBrace = 10, kCBrace = 11, kComma = 19, kSemicolon = 20, kTemplate = 31,
};

constexpr int kMaxDepth = 32;
constexpr std::size_t kMaxValues = 4'000'000;

// One data object: its template name and the numbers it holds directly, in file order.
struct Object {
  std::string type;
  std::vector<double> values;
};

class Reader {
 public:
  Reader(std::span<const std::uint8_t> b, std::size_t floatSize) : b_(b), floatSize_(floatSize) {}

  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }
  bool atEnd() const { return pos_ >= b_.size(); }

  // Reads top-level items until the first Mesh (at any depth) is complete.
  std::optional<Object> findMesh() {
    while (!atEnd() && !failed()) {
      std::uint16_t t = 0;
      if (!u16(t)) break;
      if (t == kTemplate) {
        skipBlock();
      } else if (t == kName) {
        std::optional<Object> mesh;
        object(0, mesh);
        if (mesh) return mesh;
      } else if (!skipSimple(t)) {
        fail("unexpected token at the top level");
      }
    }
    if (!failed()) fail("no Mesh in the file");
    return std::nullopt;
  }

 private:
  bool fail(const std::string& why) {
    if (error_.empty()) error_ = why;
    return false;
  }
  bool take(std::size_t n) {
    if (b_.size() - pos_ < n) return fail("the file ends inside a record");
    return true;
  }
  bool u16(std::uint16_t& v) {
    if (!take(2)) return false;
    v = static_cast<std::uint16_t>(b_[pos_] | (b_[pos_ + 1] << 8));
    pos_ += 2;
    return true;
  }
  bool u32(std::uint32_t& v) {
    if (!take(4)) return false;
    v = static_cast<std::uint32_t>(b_[pos_]) | (static_cast<std::uint32_t>(b_[pos_ + 1]) << 8) |
        (static_cast<std::uint32_t>(b_[pos_ + 2]) << 16) | (static_cast<std::uint32_t>(b_[pos_ + 3]) << 24);
    pos_ += 4;
    return true;
  }
  bool real(double& v) {
    if (!take(floatSize_)) return false;
    if (floatSize_ == 4) {
      float f;
      std::memcpy(&f, b_.data() + pos_, 4);
      v = f;
    } else {
      std::memcpy(&v, b_.data() + pos_, 8);
    }
    pos_ += floatSize_;
    return true;
  }
  bool name(std::string& out) {
    std::uint32_t n = 0;
    if (!u32(n) || !take(n)) return false;
    out.assign(reinterpret_cast<const char*>(b_.data() + pos_), n);
    pos_ += n;
    return true;
  }
  // Items that carry no structure: skipped wherever they stand.
  bool skipSimple(std::uint16_t t) {
    std::uint32_t n = 0;
    switch (t) {
      case kString:
        if (!u32(n) || !take(n)) return false;
        pos_ += n;
        return u32(n);  // the separator after the string
      case kInteger: return u32(n);
      case kGuid:
        if (!take(16)) return false;
        pos_ += 16;
        return true;
      case kComma:
      case kSemicolon: return true;
      default:
        if (t >= 12 && t <= 18) return true;   // brackets, angles, dot
        if (t >= 40 && t <= 53) return true;   // type keywords of templates
        return false;
    }
  }
  bool list(std::uint16_t t, std::vector<double>* out) {
    std::uint32_t n = 0;
    if (!u32(n)) return false;
    const std::size_t size = t == kIntegerList ? 4 : floatSize_;
    if ((b_.size() - pos_) / size < n) return fail("a list is longer than the file");
    if (out && out->size() + n > kMaxValues) return fail("the mesh is too large");
    for (std::uint32_t i = 0; i < n; ++i) {
      double v = 0;
      if (t == kIntegerList) {
        std::uint32_t k = 0;
        u32(k);
        v = k;
      } else {
        real(v);
      }
      if (out) out->push_back(v);
    }
    return true;
  }
  // A template or a reference: everything up to the matching closing brace.
  void skipBlock() {
    int depth = 0;
    while (!failed()) {
      std::uint16_t t = 0;
      if (!u16(t)) return;
      if (t == kOBrace) {
        ++depth;
      } else if (t == kCBrace) {
        if (--depth <= 0) return;
      } else if (t == kName) {
        std::string s;
        name(s);
      } else if (t == kIntegerList || t == kFloatList) {
        list(t, nullptr);
      } else if (!skipSimple(t)) {
        fail("unknown token inside a template");
      }
    }
  }
  // The object whose type name follows; `mesh` receives the first Mesh met inside it.
  void object(int depth, std::optional<Object>& mesh) {
    if (depth > kMaxDepth) {
      fail("objects are nested too deeply");
      return;
    }
    Object obj;
    if (!name(obj.type)) return;
    const bool isMesh = obj.type == "Mesh" && !mesh;
    // An optional object name and GUID before the opening brace.
    for (;;) {
      std::uint16_t t = 0;
      if (!u16(t)) return;
      if (t == kOBrace) break;
      std::string s;
      if (t == kName) {
        if (!name(s)) return;
      } else if (t == kGuid) {
        if (!skipSimple(t)) return;
      } else {
        fail("an object has no opening brace");
        return;
      }
    }
    while (!failed()) {
      std::uint16_t t = 0;
      if (!u16(t)) return;
      if (t == kCBrace) {
        if (isMesh) mesh = std::move(obj);
        return;
      }
      if (t == kIntegerList || t == kFloatList) {
        list(t, isMesh ? &obj.values : nullptr);
      } else if (t == kInteger) {
        std::uint32_t v = 0;
        if (u32(v) && isMesh) obj.values.push_back(v);
      } else if (t == kName) {
        // A child object; a Mesh found inside another Mesh's children does not count.
        std::optional<Object> inner;
        object(depth + 1, inner);
        if (inner && !mesh && !isMesh) mesh = std::move(inner);
      } else if (t == kOBrace) {
        // A reference "{ name }" to another object.
        --pos_, --pos_;
        skipBlock();
      } else if (!skipSimple(t)) {
        fail("unknown token inside an object");
      }
    }
  }

  std::span<const std::uint8_t> b_;
  std::size_t pos_ = 16;
  std::size_t floatSize_;
  std::string error_;
};

std::optional<XMesh> interpret(const std::vector<double>& v, std::string& error) {
  std::size_t i = 0;
  auto next = [&](double& out) {
    if (i >= v.size()) return false;
    out = v[i++];
    return true;
  };
  double count = 0;
  if (!next(count) || count < 1 || count > 1'000'000) {
    error = "the mesh has no vertices";
    return std::nullopt;
  }
  XMesh m;
  const auto nv = static_cast<std::size_t>(count);
  if (v.size() - i < nv * 3) {
    error = "the mesh's vertex list is short";
    return std::nullopt;
  }
  m.vertices.resize(nv);
  for (auto& p : m.vertices) {
    p = {float(v[i]), float(v[i + 1]), float(v[i + 2])};
    i += 3;
  }
  double nf = 0;
  if (!next(nf) || nf < 1 || nf > 1'000'000) {
    error = "the mesh has no faces";
    return std::nullopt;
  }
  m.faces.resize(static_cast<std::size_t>(nf));
  for (auto& f : m.faces) {
    double k = 0;
    if (!next(k) || k < 3 || v.size() - i < static_cast<std::size_t>(k)) {
      error = "a face of the mesh is short";
      return std::nullopt;
    }
    f.resize(static_cast<std::size_t>(k));
    for (auto& idx : f) {
      const double x = v[i++];
      if (x < 0 || x >= double(nv)) {
        error = "a face names a vertex the mesh does not have";
        return std::nullopt;
      }
      idx = static_cast<std::uint32_t>(x);
    }
  }
  return m;
}

// ---- writing ---------------------------------------------------------------------------

struct Writer {
  std::vector<std::uint8_t> out;
  void u16(std::uint16_t v) { out.push_back(v & 0xff), out.push_back(v >> 8); }
  void u32(std::uint32_t v) {
    for (int s = 0; s < 32; s += 8) out.push_back(static_cast<std::uint8_t>(v >> s));
  }
  void name(const std::string& s) {
    u16(kName);
    u32(static_cast<std::uint32_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
  }
  void ints(const std::vector<std::uint32_t>& v) {
    u16(kIntegerList);
    u32(static_cast<std::uint32_t>(v.size()));
    for (auto x : v) u32(x);
  }
  void floats(const std::vector<float>& v) {
    u16(kFloatList);
    u32(static_cast<std::uint32_t>(v.size()));
    for (float f : v) {
      std::uint32_t bits;
      std::memcpy(&bits, &f, 4);
      u32(bits);
    }
  }
  void open(const std::string& type, const std::string& objName = {}) {
    name(type);
    if (!objName.empty()) name(objName);
    u16(kOBrace);
  }
  void close() { u16(kCBrace); }
};

}  // namespace

std::optional<XMesh> ReadBinaryX(std::span<const std::uint8_t> bytes, std::string* error) {
  auto failWith = [&](const std::string& why) -> std::optional<XMesh> {
    if (error) *error = why;
    return std::nullopt;
  };
  if (bytes.size() < 16) return failWith("not a DirectX file");
  const std::string head(reinterpret_cast<const char*>(bytes.data()), 16);
  if (head.compare(0, 4, "xof ") != 0) return failWith("not a DirectX file");
  if (head.compare(8, 4, "bin ") != 0) return failWith("not a binary DirectX file");
  const std::string fs = head.substr(12, 4);
  if (fs != "0032" && fs != "0064") return failWith("unknown number size in the DirectX file");
  Reader r(bytes, fs == "0032" ? 4 : 8);
  std::optional<Object> mesh = r.findMesh();
  if (!mesh) return failWith(r.error());
  std::string why;
  auto m = interpret(mesh->values, why);
  if (!m) return failWith(why);
  return m;
}

std::vector<std::uint8_t> WriteBinaryX(const XMesh& mesh, const std::string& meshName) {
  Writer w;
  const char head[] = "xof 0302bin 0032";
  w.out.assign(head, head + 16);
  const auto nv = static_cast<std::uint32_t>(mesh.vertices.size());
  const auto nf = static_cast<std::uint32_t>(mesh.faces.size());
  w.open("Mesh", meshName);
  w.ints({nv});
  std::vector<float> coords;
  for (const auto& p : mesh.vertices) coords.insert(coords.end(), p.begin(), p.end());
  w.floats(coords);
  std::vector<std::uint32_t> faces{nf};
  for (const auto& f : mesh.faces) {
    faces.push_back(static_cast<std::uint32_t>(f.size()));
    faces.insert(faces.end(), f.begin(), f.end());
  }
  w.ints(faces);

  w.open("MeshMaterialList");
  std::vector<std::uint32_t> mats{1, nf};
  mats.resize(2 + nf, 0);
  w.ints(mats);
  w.open("Material");
  w.floats({1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0});  // white face, power 0, black specular and emissive
  w.close();
  w.close();

  // Corner normals: each vertex's direction from the centre.
  w.open("MeshNormals");
  w.ints({nv});
  std::vector<float> normals;
  for (const auto& p : mesh.vertices) {
    const float len = std::max(1e-6f, std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]));
    normals.insert(normals.end(), {p[0] / len, p[1] / len, p[2] / len});
  }
  w.floats(normals);
  w.ints(faces);
  w.close();

  w.open("MeshTextureCoords");
  w.ints({nv});
  w.floats(std::vector<float>(2 * nv, 0.0f));
  w.close();

  w.close();
  return w.out;
}

XMesh UnitBlock() {
  XMesh m;
  const float a = 0.996f;
  // Bottom four corners, then the top four, counter-clockwise seen from above.
  m.vertices = {{-a, -1, -a}, {a, -1, -a}, {a, -1, a}, {-a, -1, a}, {-a, 1, -a}, {a, 1, -a}, {a, 1, a}, {-a, 1, a}};
  m.faces = {{0, 2, 1}, {0, 3, 2},  // bottom
             {4, 5, 6}, {4, 6, 7},  // top
             {0, 1, 5}, {0, 5, 4},  // front (z = -a)
             {1, 2, 6}, {1, 6, 5},  // right
             {2, 3, 7}, {2, 7, 6},  // back
             {3, 0, 4}, {3, 4, 7}}; // left
  return m;
}

}  // namespace kelvaro::view3d
