#include "text_test_util.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

namespace kelvaro::cad::testing {

void Box::add(Vec2 p) {
  x0 = std::min(x0, p.x);
  y0 = std::min(y0, p.y);
  x1 = std::max(x1, p.x);
  y1 = std::max(y1, p.y);
}

void RecordingOut::trueColor(std::uint32_t rgb) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "rgb#%06x", static_cast<unsigned>(rgb));
  colors.emplace_back(buf);
}

Box RecordingOut::bounds() const {
  Box b;
  for (const auto& s : strokes)
    for (const auto& p : s) b.add(p);
  return b;
}

bool writeStrokeImage(const std::string& path, const std::vector<std::vector<Vec2>>& strokes, int w, int h,
                      double scale, Vec2 origin, long* inked) {
  std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h, 255);
  auto plot = [&](double x, double y) {
    const long ix = std::lround(x), iy = std::lround(y);
    if (ix >= 0 && iy >= 0 && ix < w && iy < h) px[iy * w + ix] = 0;
  };
  for (const auto& s : strokes)
    for (std::size_t k = 0; k + 1 < s.size(); ++k) {
      const double x0 = (s[k].x - origin.x) * scale, y0 = h - (s[k].y - origin.y) * scale;
      const double x1 = (s[k + 1].x - origin.x) * scale, y1 = h - (s[k + 1].y - origin.y) * scale;
      const int steps = 1 + static_cast<int>(std::min(4000.0, std::max(std::abs(x1 - x0), std::abs(y1 - y0)) * 2));
      for (int t = 0; t <= steps; ++t) plot(x0 + (x1 - x0) * t / steps, y0 + (y1 - y0) * t / steps);
    }
  if (inked) {
    *inked = 0;
    for (auto v : px) *inked += v == 0;
  }
  std::ofstream out(path, std::ios::binary);
  out << "P5\n" << w << ' ' << h << "\n255\n";
  out.write(reinterpret_cast<const char*>(px.data()), static_cast<std::streamsize>(px.size()));
  return out.good();
}

namespace {
std::vector<std::uint8_t> body(const ShapeDef& s) {
  std::vector<std::uint8_t> v(s.name.begin(), s.name.end());
  v.push_back(0);
  v.insert(v.end(), s.codes.begin(), s.codes.end());
  return v;
}
}  // namespace

std::vector<std::uint8_t> shapesFile(const std::vector<ShapeDef>& shapes, const char* version) {
  Bytes f;
  f.str(std::string("AutoCAD-86 shapes ") + version + "\r\n\x1A");
  unsigned lo = 0xFFFF, hi = 0;
  for (const auto& s : shapes) {
    lo = std::min(lo, s.number);
    hi = std::max(hi, s.number);
  }
  f.u16(lo).u16(hi).u16(static_cast<unsigned>(shapes.size()));
  for (const auto& s : shapes) f.u16(s.number).u16(static_cast<unsigned>(body(s).size()));
  for (const auto& s : shapes) f.raw(body(s));
  f.str("EOF");
  return f.b;
}

std::vector<std::uint8_t> unifontFile(const std::string& name, unsigned above, unsigned below,
                                      const std::vector<ShapeDef>& shapes) {
  Bytes f;
  f.str("AutoCAD-86 unifont 1.0\r\n\x1A");
  f.u32(static_cast<std::uint32_t>(shapes.size() + 1));
  std::vector<std::uint8_t> info(name.begin(), name.end());
  info.push_back(0);
  for (unsigned v : {above, below, 0u, 0u, 0u, 0u}) info.push_back(static_cast<std::uint8_t>(v));
  f.u16(static_cast<unsigned>(info.size())).raw(info);
  for (const auto& s : shapes) {
    const auto b = body(s);
    f.u16(s.number).u16(static_cast<unsigned>(b.size())).raw(b);
  }
  return f.b;
}

std::vector<std::uint8_t> bigfontFile(unsigned above, unsigned below, std::vector<std::pair<unsigned, unsigned>> ranges,
                                      const std::vector<ShapeDef>& shapes) {
  std::vector<ShapeDef> all{{0, "BIG", {static_cast<std::uint8_t>(above), static_cast<std::uint8_t>(below), 0, 0, 0}}};
  all.insert(all.end(), shapes.begin(), shapes.end());
  Bytes f;
  f.str("AutoCAD-86 bigfont 1.0\r\n\x1A");
  f.u16(8).u16(static_cast<unsigned>(all.size())).u16(static_cast<unsigned>(ranges.size()));
  for (auto [a, b] : ranges) f.u16(a).u16(b);
  std::uint32_t off = static_cast<std::uint32_t>(f.b.size() + all.size() * 8);
  for (const auto& s : all) {
    const auto b = body(s);
    f.u16(s.number).u16(static_cast<unsigned>(b.size())).u32(off);
    off += static_cast<std::uint32_t>(b.size());
  }
  for (const auto& s : all) f.raw(body(s));
  return f.b;
}

}  // namespace kelvaro::cad::testing
