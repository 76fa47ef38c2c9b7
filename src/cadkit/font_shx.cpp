// SHX shape, unicode and big fonts: the compiled shape programs are indexed at load and each
// glyph is interpreted the first time it is asked for.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <unordered_map>

#include "cadkit/font.h"

namespace kelvaro::cad {
namespace {

enum class ShxKind { Shapes, Unifont, Bigfont };

// Limits that keep a hostile file from hanging or exhausting memory.
constexpr int kMaxSubshapeDepth = 8;
constexpr std::size_t kMaxPointsPerGlyph = 20000;
constexpr std::size_t kMaxStepsPerGlyph = 100000;

// The sixteen vector directions: a square of side 2 around the pen, counter-clockwise from east.
constexpr double kDirX[16] = {1, 1, 1, 0.5, 0, -0.5, -1, -1, -1, -1, -1, -0.5, 0, 0.5, 1, 1};
constexpr double kDirY[16] = {0, 0.5, 1, 1, 1, 1, 1, 0.5, 0, -0.5, -1, -1, -1, -1, -1, -0.5};

struct ShapeRef {
  std::size_t offset = 0, length = 0;  // shape bytes after the name
};

class ShxFont final : public StrokeFont {
 public:
  ShxKind kind = ShxKind::Shapes;
  std::vector<std::uint8_t> data;
  std::unordered_map<std::uint32_t, ShapeRef> shapes;
  std::vector<std::pair<unsigned, unsigned>> escapes;  // big font lead byte ranges
  double above = 1, below = 0;
  bool dualOrientation = false;  // modes 2: the font also has vertical forms
  bool verticalText = false;     // glyphs are drawn for vertical text (not used by layout yet)

  const Glyph* glyph(char32_t c) const override {
    if (auto it = cache_.find(c); it != cache_.end()) return it->second.get();
    auto ref = shapes.find(static_cast<std::uint32_t>(c));
    if (ref == shapes.end() || c == 0) return nullptr;
    auto g = std::make_unique<Glyph>();
    interpret(ref->second, *g);
    const Glyph* out = g.get();
    cache_.emplace(c, std::move(g));
    return out;
  }
  double descent() const override { return above > 0 ? below / above : 0.33; }
  bool isBigFont() const override { return kind == ShxKind::Bigfont; }
  bool isLeadByte(unsigned b) const override {
    for (auto [lo, hi] : escapes)
      if (b >= lo && b <= hi) return true;
    return false;
  }
  bool isUnicode() const override { return kind == ShxKind::Unifont; }

 private:
  mutable std::unordered_map<char32_t, std::unique_ptr<Glyph>> cache_;

  struct State {
    double x = 0, y = 0, scale = 1;
    bool pen = true;
    std::vector<Vec2> stack;
    std::vector<Vec2> cur;
    Glyph* g = nullptr;
    std::size_t points = 0, steps = 0;
    bool stop = false;
    // Extended big-font primitives are drawn into a box: p -> origin + p * k.
    double ox = 0, oy = 0, kx = 1, ky = 1;
  };

  void flush(State& s) const {
    if (s.cur.size() >= 2) s.g->strokes.push_back(s.cur);
    s.cur.clear();
  }
  void point(State& s) const {
    if (!s.pen) return;
    if (++s.points > kMaxPointsPerGlyph) {
      s.stop = true;
      return;
    }
    const Vec2 p{s.ox + s.x * s.kx, s.oy + s.y * s.ky};
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
      s.stop = true;
      return;
    }
    s.cur.push_back(p);
  }
  void moveBy(State& s, double dx, double dy) const {
    if (s.pen && s.cur.empty()) point(s);
    s.x += dx;
    s.y += dy;
    point(s);
  }
  void arc(State& s, double cx, double cy, double r, double a0, double a1) const {
    if (s.pen && s.cur.empty()) point(s);
    const double sweep = a1 - a0;
    const int n = std::clamp(static_cast<int>(std::ceil(std::abs(sweep) / (std::numbers::pi / 12))), 1, 64);
    for (int k = 1; k <= n; ++k) {
      const double a = a0 + sweep * k / n;
      s.x = cx + r * std::cos(a);
      s.y = cy + r * std::sin(a);
      point(s);
    }
  }
  void bulgeArc(State& s, double dx, double dy, int bulge) const {
    if (bulge == 0 || (dx == 0 && dy == 0)) {
      moveBy(s, dx, dy);
      return;
    }
    // bulge/127 is the tangent of a quarter of the included angle.
    const double b = bulge / 127.0;
    const double theta = 4 * std::atan(b);
    const double d = std::hypot(dx, dy);
    const double r = d / (2 * std::sin(std::abs(theta) / 2));
    const double mx = s.x + dx / 2, my = s.y + dy / 2;
    const double h = r * std::cos(theta / 2);  // centre distance from the chord midpoint
    const double nx = -dy / d, ny = dx / d;      // left normal
    const double sign = theta > 0 ? 1 : -1;
    const double cx = mx + nx * h * sign, cy = my + ny * h * sign;
    const double a0 = std::atan2(s.y - cy, s.x - cx);
    const double ex = s.x + dx, ey = s.y + dy;
    arc(s, cx, cy, r, a0, a0 + theta);
    s.x = ex;  // land exactly on the end point
    s.y = ey;
    if (s.pen && !s.cur.empty()) s.cur.back() = {s.ox + s.x * s.kx, s.oy + s.y * s.ky};
  }

  // Length in bytes of the command at i (for the vertical-only skip); 0 when it runs off.
  std::size_t commandLength(const ShapeRef& r, std::size_t i) const {
    const std::size_t end = r.offset + r.length;
    if (i >= end) return 0;
    const std::uint8_t b = data[i];
    if (b >= 0x10) return 1;
    switch (b) {
      case 3: case 4: return 2;
      case 7:
        if (kind == ShxKind::Shapes) return 2;
        if (kind == ShxKind::Bigfont && i + 1 < end && data[i + 1] == 0) return 8;
        return 3;
      case 8: return 3;
      case 10: return 3;
      case 11: return 6;
      case 12: return 4;
      case 9:
      case 13: {
        const std::size_t step = b == 9 ? 2 : 3;
        std::size_t j = i + 1;
        while (j + 1 < end) {
          if (data[j] == 0 && data[j + 1] == 0) return j + 2 - i;
          j += step;
        }
        return end - i;
      }
      default: return 1;
    }
  }

  void run(const ShapeRef& r, State& s, int depth) const {
    const std::size_t end = std::min(r.offset + r.length, data.size());
    std::size_t i = r.offset;
    auto byte = [&](std::uint8_t& v) {
      if (i >= end) return false;
      v = data[i++];
      return true;
    };
    auto sbyte = [&](int& v) {
      std::uint8_t u;
      if (!byte(u)) return false;
      v = static_cast<std::int8_t>(u);
      return true;
    };
    while (i < end && !s.stop) {
      if (++s.steps > kMaxStepsPerGlyph) {
        s.stop = true;
        return;
      }
      const std::uint8_t b = data[i++];
      if (b >= 0x10) {
        const double len = (b >> 4) * s.scale;
        moveBy(s, kDirX[b & 15] * len, kDirY[b & 15] * len);
        continue;
      }
      switch (b) {
        case 0:
          return;
        case 1:
          if (!s.pen) {
            s.pen = true;
            point(s);
          }
          break;
        case 2:
          flush(s);
          s.pen = false;
          break;
        case 3:
        case 4: {
          std::uint8_t f;
          if (!byte(f)) return;
          // Zero or runaway factors would make every later length meaningless: ignored.
          const double ns = b == 3 ? (f ? s.scale / f : 0) : s.scale * f;
          if (ns >= 1e-9 && ns <= 1e9) s.scale = ns;
          break;
        }
        case 5:
          if (s.stack.size() < 16) s.stack.push_back({s.x, s.y});
          break;
        case 6:
          if (!s.stack.empty()) {
            flush(s);
            s.x = s.stack.back().x;
            s.y = s.stack.back().y;
            s.stack.pop_back();
            point(s);
          }
          break;
        case 7: {
          std::uint32_t num = 0;
          bool extended = false;
          double bx = 0, by = 0, bw = 0, bh = 0;
          std::uint8_t hi, lo;
          if (kind == ShxKind::Shapes) {
            if (!byte(lo)) return;
            num = lo;
          } else {
            if (!byte(hi)) return;
            if (kind == ShxKind::Bigfont && hi == 0) {
              std::uint8_t v[6];
              for (auto& x : v)
                if (!byte(x)) return;
              extended = true;
              num = (v[0] << 8) | v[1];
              bx = v[2], by = v[3], bw = v[4], bh = v[5];
            } else {
              if (!byte(lo)) return;
              num = (hi << 8) | lo;
            }
          }
          if (depth >= kMaxSubshapeDepth) break;
          auto sub = shapes.find(num);
          if (sub == shapes.end()) break;
          if (extended) {
            // The primitive is drawn scaled into a box of width x height font units at the base point.
            State t;
            t.g = s.g;
            t.points = s.points;
            t.steps = s.steps;
            const double unit = above > 0 ? above : 1;
            t.ox = s.ox + (s.x + bx) * s.kx;
            t.oy = s.oy + (s.y + by) * s.ky;
            t.kx = s.kx * bw / unit;
            t.ky = s.ky * bh / unit;
            flush(s);
            run(sub->second, t, depth + 1);
            flush(t);
            s.points = t.points;
            s.steps = t.steps;
            s.stop = t.stop;
            if (s.pen) point(s);
          } else {
            run(sub->second, s, depth + 1);
          }
          break;
        }
        case 8: {
          int dx, dy;
          if (!sbyte(dx) || !sbyte(dy)) return;
          moveBy(s, dx * s.scale, dy * s.scale);
          break;
        }
        case 9:
          for (;;) {
            int dx, dy;
            if (!sbyte(dx) || !sbyte(dy)) return;
            if (dx == 0 && dy == 0) break;
            moveBy(s, dx * s.scale, dy * s.scale);
            if (s.stop) return;
          }
          break;
        case 10: {
          std::uint8_t rb, oct;
          if (!byte(rb) || !byte(oct)) return;
          const double r = rb * s.scale;
          const bool cw = oct & 0x80;
          const int start = (oct >> 4) & 7;
          int count = oct & 7;
          if (count == 0) count = 8;
          const double a0 = start * std::numbers::pi / 4;
          const double a1 = a0 + (cw ? -1 : 1) * count * std::numbers::pi / 4;
          const double cx = s.x - r * std::cos(a0), cy = s.y - r * std::sin(a0);
          arc(s, cx, cy, r, a0, a1);
          break;
        }
        case 11: {
          std::uint8_t so, eo, rh, rl, oct;
          if (!byte(so) || !byte(eo) || !byte(rh) || !byte(rl) || !byte(oct)) return;
          const double r = ((rh << 8) | rl) * s.scale;
          const bool cw = oct & 0x80;
          const int start = (oct >> 4) & 7;
          int count = oct & 7;
          if (count == 0) count = 8;
          const double dir = cw ? -1 : 1;
          const double oct45 = std::numbers::pi / 4;
          const double a0 = start * oct45 + dir * so * oct45 / 256;
          // The end lies in the last octant crossed; offset 0 means its far boundary.
          const int lastOct = start + static_cast<int>(dir) * (count - 1);
          const double a1 = eo == 0 ? (lastOct + dir) * oct45 : lastOct * oct45 + dir * eo * oct45 / 256;
          const double cx = s.x - r * std::cos(a0), cy = s.y - r * std::sin(a0);
          arc(s, cx, cy, r, a0, a1);
          break;
        }
        case 12: {
          int dx, dy, bu;
          if (!sbyte(dx) || !sbyte(dy) || !sbyte(bu)) return;
          bulgeArc(s, dx * s.scale, dy * s.scale, bu);
          break;
        }
        case 13:
          for (;;) {
            int dx, dy, bu;
            if (!sbyte(dx) || !sbyte(dy)) return;
            if (dx == 0 && dy == 0) break;
            if (!sbyte(bu)) return;
            bulgeArc(s, dx * s.scale, dy * s.scale, bu);
            if (s.stop) return;
          }
          break;
        case 14:
          // The next command is for vertical text only.
          if (!verticalText) {
            const std::size_t n = commandLength(r, i);
            if (n == 0) return;
            i += n;
          }
          break;
        default:
          break;
      }
    }
  }

  void interpret(const ShapeRef& r, Glyph& g) const {
    State s;
    s.g = &g;
    run(r, s, 0);
    flush(s);
    const double k = above > 0 ? 1.0 / above : 1.0;
    for (auto& stroke : g.strokes)
      for (auto& p : stroke) p = {p.x * k, p.y * k};
    g.advance = {s.x * s.kx * k, s.y * s.ky * k};
    if (!std::isfinite(g.advance.x) || !std::isfinite(g.advance.y)) g.advance = {0, 0};
  }
};

struct Reader {
  const std::vector<std::uint8_t>& b;
  std::size_t pos = 0;
  bool ok = true;
  unsigned u16() {
    if (pos + 2 > b.size()) {
      ok = false;
      return 0;
    }
    unsigned v = b[pos] | (b[pos + 1] << 8);
    pos += 2;
    return v;
  }
  std::uint32_t u32() {
    const unsigned lo = u16(), hi = u16();
    return lo | (static_cast<std::uint32_t>(hi) << 16);
  }
};

// Skips the zero-terminated name at the front of a shape's bytes; false when it has none.
bool splitName(const std::vector<std::uint8_t>& d, std::size_t off, std::size_t len, ShapeRef& out,
               std::string* name = nullptr) {
  const std::size_t end = off + len;
  if (end > d.size() || end < off) return false;
  std::size_t i = off;
  while (i < end && d[i] != 0) ++i;
  if (i >= end) return false;
  if (name) name->assign(reinterpret_cast<const char*>(d.data() + off), i - off);
  out.offset = i + 1;
  out.length = end - out.offset;
  return true;
}

bool fail(std::string* error, const char* text) {
  if (error) *error = text;
  return false;
}

bool readFontInfo(ShxFont& f, const ShapeRef& info) {
  if (info.length < 2) return false;
  f.above = f.data[info.offset];
  f.below = f.data[info.offset + 1];
  if (info.length >= 3) f.dualOrientation = f.data[info.offset + 2] == 2;
  return f.above > 0;
}

bool loadShapes(ShxFont& f, std::size_t start, std::string* error) {
  Reader r{f.data, start};
  r.u16();  // first and last numbers: the index says it all
  r.u16();
  const unsigned count = r.u16();
  if (!r.ok) return fail(error, "Truncated shape file header");
  if (start + 6 + std::size_t(count) * 4 > f.data.size()) return fail(error, "Truncated shape index");
  std::vector<std::pair<unsigned, unsigned>> index(count);
  for (auto& [num, len] : index) {
    num = r.u16();
    len = r.u16();
  }
  std::size_t off = r.pos;
  bool haveInfo = false;
  for (auto [num, len] : index) {
    ShapeRef ref;
    if (off + len > f.data.size()) return fail(error, "Shape data runs past the end of the file");
    if (len > 0 && splitName(f.data, off, len, ref)) {
      if (num == 0) haveInfo = readFontInfo(f, ref);
      else f.shapes[num] = ref;
    }
    off += len;
  }
  if (!haveInfo) f.above = 1;  // a plain shape file: shapes keep their own units
  return true;
}

bool loadUnifont(ShxFont& f, std::size_t start, std::string* error) {
  Reader r{f.data, start};
  const std::uint32_t count = r.u32();
  const unsigned infoLen = r.u16();
  if (!r.ok) return fail(error, "Truncated unicode font header");
  ShapeRef info;
  if (!splitName(f.data, r.pos, infoLen, info) || !readFontInfo(f, info))
    return fail(error, "The unicode font has no valid font information");
  std::size_t off = r.pos + infoLen;
  for (std::uint32_t k = 1; k < count; ++k) {
    Reader e{f.data, off};
    const unsigned num = e.u16(), len = e.u16();
    if (!e.ok) break;  // fewer shapes than announced: keep what is there
    if (e.pos + len > f.data.size()) break;
    ShapeRef ref;
    if (len > 0 && splitName(f.data, e.pos, len, ref)) f.shapes[num] = ref;
    off = e.pos + len;
  }
  return true;
}

bool loadBigfont(ShxFont& f, std::size_t start, std::string* error) {
  Reader r{f.data, start};
  r.u16();  // header size
  const unsigned count = r.u16();
  const unsigned ranges = r.u16();
  if (!r.ok) return fail(error, "Truncated big font header");
  for (unsigned k = 0; k < ranges; ++k) {
    const unsigned lo = r.u16(), hi = r.u16();
    if (!r.ok) return fail(error, "Truncated big font escape ranges");
    if (lo <= hi) f.escapes.emplace_back(lo, hi);
  }
  if (r.pos + std::size_t(count) * 8 > f.data.size()) return fail(error, "Truncated big font index");
  bool haveInfo = false;
  for (unsigned k = 0; k < count; ++k) {
    const unsigned num = r.u16(), len = r.u16();
    const std::uint32_t off = r.u32();
    if (len == 0 || off == 0) continue;  // blank locator
    ShapeRef ref;
    if (std::size_t(off) + len > f.data.size() || !splitName(f.data, off, len, ref)) continue;
    if (num == 0) {
      if (ref.length >= 3) {
        // above, below, modes, width: an extended big font gives height 0 in "below".
        f.above = f.data[ref.offset];
        f.below = f.data[ref.offset + 1];
        f.dualOrientation = f.data[ref.offset + 2] == 2;
        haveInfo = f.above > 0;
      }
    } else {
      f.shapes[num] = ref;
    }
  }
  if (!haveInfo) return fail(error, "The big font has no valid font information");
  return true;
}

}  // namespace

std::unique_ptr<StrokeFont> loadShxFont(const std::vector<std::uint8_t>& bytes, std::string* error) {
  static constexpr struct {
    const char* sig;
    ShxKind kind;
  } kSigs[] = {{"AutoCAD-86 shapes 1.0", ShxKind::Shapes},
               {"AutoCAD-86 shapes 1.1", ShxKind::Shapes},
               {"AutoCAD-86 unifont 1.0", ShxKind::Unifont},
               {"AutoCAD-86 bigfont 1.0", ShxKind::Bigfont}};
  auto f = std::make_unique<ShxFont>();
  bool known = false;
  for (const auto& s : kSigs) {
    const std::size_t n = std::strlen(s.sig);
    if (bytes.size() >= n && std::memcmp(bytes.data(), s.sig, n) == 0) {
      f->kind = s.kind;
      known = true;
      break;
    }
  }
  if (!known) {
    if (error) *error = "Not an SHX font file";
    return nullptr;
  }
  // The signature line ends with CR LF and an end-of-file mark (0x1A).
  std::size_t start = 0;
  for (std::size_t i = 0; i < std::min<std::size_t>(bytes.size(), 40); ++i)
    if (bytes[i] == 0x1A) {
      start = i + 1;
      break;
    }
  if (start == 0) {
    if (error) *error = "Truncated SHX font header";
    return nullptr;
  }
  f->data = bytes;
  bool ok = false;
  switch (f->kind) {
    case ShxKind::Shapes: ok = loadShapes(*f, start, error); break;
    case ShxKind::Unifont: ok = loadUnifont(*f, start, error); break;
    case ShxKind::Bigfont: ok = loadBigfont(*f, start, error); break;
  }
  if (!ok) return nullptr;
  if (f->shapes.empty()) {
    if (error) *error = "The SHX file holds no shapes";
    return nullptr;
  }
  return f;
}

}  // namespace kelvaro::cad
