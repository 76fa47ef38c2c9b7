// Placing the glyphs of TEXT and MTEXT: fonts, alignment, wrapping, stacking and decoration.
#include "cadkit/text_layout.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>

#include "cadkit/utf8.h"

namespace kelvaro::cad {
namespace {

constexpr double kDeg = std::numbers::pi / 180;
constexpr double kUnderline = -0.2, kOverline = 1.2, kStrike = 0.5;  // in text heights
constexpr double kLineSpacing = 5.0 / 3.0;                           // baseline distance per height
constexpr double kStackScale = 0.7;

bool finite(double v) { return std::isfinite(v); }

bool endsWithNoCase(const std::string& s, const char* tail) {
  const std::size_t n = std::char_traits<char>::length(tail);
  if (s.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != tail[i]) return false;
  return true;
}

bool isTtfFile(const std::string& f) {
  return endsWithNoCase(f, ".ttf") || endsWithNoCase(f, ".ttc") || endsWithNoCase(f, ".otf");
}

// A 2D frame: local text point (u, v) -> origin + u * ax + v * ay.
struct Frame2 {
  Vec2 origin, ax{1, 0}, ay{0, 1};
  Vec2 map(double u, double v) const { return {origin.x + u * ax.x + v * ay.x, origin.y + u * ax.y + v * ay.y}; }
  Vec2 dir(double u, double v) const { return {u * ax.x + v * ay.x, u * ax.y + v * ay.y}; }
};

Frame2 frameOf(Vec2 origin, double angle, bool backwards, bool upsideDown) {
  Frame2 f;
  f.origin = origin;
  const double c = std::cos(angle), s = std::sin(angle);
  f.ax = {c, s};
  f.ay = {-s, c};
  if (backwards) f.ax = {-f.ax.x, -f.ax.y};
  if (upsideDown) f.ay = {-f.ay.x, -f.ay.y};
  return f;
}

// The fonts of one style (or of one MTEXT font change).
struct Fonts {
  const StrokeFont* main = &builtinStrokeFont();
  const StrokeFont* big = nullptr;
  bool ttf = false;  // the style asks for TrueType
  std::string ttfFile, ttfFamily;
};

Fonts stylefonts(const TextStyle& style, FontLibrary& lib, const TextLayoutOptions& opt) {
  Fonts f;
  if (isTtfFile(style.font) || !opt.ttfFamily.empty()) {
    f.ttf = true;
    f.ttfFile = style.font;
    f.ttfFamily = opt.ttfFamily;
    return f;  // measured with the built-in font
  }
  f.main = &lib.font(style.font.empty() ? std::string("txt") : style.font);
  if (!style.bigFont.empty()) f.big = lib.bigFont(style.bigFont);
  return f;
}

// One code point to a glyph: the big font for its double-byte codes, then the main font,
// then the built-in one (which always answers).
const Glyph& glyphFor(const Fonts& f, std::string_view s, std::size_t& i) {
  const char32_t c = utf8::next(s, i);
  if (f.big && c >= 0x80 && c <= 0xFF && f.big->isLeadByte(c) && i < s.size()) {
    std::size_t j = i;
    const char32_t t = utf8::next(s, j);
    if (t <= 0xFF) {
      i = j;
      if (const Glyph* g = f.big->glyph((c << 8) | t)) return *g;
      return *builtinStrokeFont().glyph(0xFFFD);
    }
  }
  if (const Glyph* g = f.main->glyph(c)) return *g;
  if (f.main->isUnicode()) {
    if (c == 0x2300)
      if (const Glyph* g = f.main->glyph(0x2205)) return *g;
  } else {
    // Shape fonts keep the three CAD symbols after the 256 byte codes.
    const char32_t alt = c == 0xB0 ? 256 : c == 0xB1 ? 257 : c == 0x2300 || c == 0x2205 ? 258 : 0;
    if (alt)
      if (const Glyph* g = f.main->glyph(alt)) return *g;
  }
  if (f.big && c < 0x80)
    if (const Glyph* g = f.big->glyph(c)) return *g;
  if (c == 0xA0) return *builtinStrokeFont().glyph(' ');
  return *builtinStrokeFont().glyph(c);
}

class Emitter {
 public:
  explicit Emitter(TextOut& out) : out_(out) { buf_.reserve(64); }

  // A glyph at local (u, v) of the frame, scaled by height h and width factor w, slanted by
  // the tangent of the oblique angle.
  void glyph(const Glyph& g, const Frame2& f, double u, double v, double h, double w, double slant) {
    for (const auto& stroke : g.strokes) {
      buf_.clear();
      for (const Vec2& p : stroke) buf_.push_back(f.map(u + (p.x * w + p.y * slant) * h, v + p.y * h));
      if (buf_.size() >= 2) out_.stroke(buf_.data(), buf_.size());
    }
  }
  void line(const Frame2& f, double u0, double v0, double u1, double v1) {
    const Vec2 p[2] = {f.map(u0, v0), f.map(u1, v1)};
    out_.stroke(p, 2);
  }
  void box(const Frame2& f, double u0, double v0, double u1, double v1) {
    const Vec2 p[5] = {f.map(u0, v0), f.map(u1, v0), f.map(u1, v1), f.map(u0, v1), f.map(u0, v0)};
    out_.stroke(p, 5);
  }

 private:
  TextOut& out_;
  std::vector<Vec2> buf_;
};

double textWidth(const Fonts& f, std::string_view s) {
  double w = 0;
  for (std::size_t i = 0; i < s.size();) w += glyphFor(f, s, i).advance.x;
  return w;
}

double entityHeight(double h, const TextStyle& style) {
  if (finite(h) && h > 0) return h;
  if (finite(style.fixedHeight) && style.fixedHeight > 0) return style.fixedHeight;
  if (finite(style.lastHeight) && style.lastHeight > 0) return style.lastHeight;
  return 1;
}

double sane(double v, double dflt) { return finite(v) ? v : dflt; }

}  // namespace

void layoutText(const TextBase& text, int valign, const TextStyle& style, FontLibrary& fonts, TextOut& out,
                const TextLayoutOptions& opt) {
  std::vector<std::pair<std::size_t, char>> toggles;
  const std::string s = decodeTextCodes(text.text, &toggles);
  if (s.empty()) return;
  const Fonts f = stylefonts(style, fonts, opt);
  Fonts measure = f;
  if (f.ttf) measure.main = &builtinStrokeFont();

  double h = entityHeight(text.height, style);
  double wf = sane(text.widthFactor, 1);
  if (wf <= 0) wf = sane(style.widthFactor, 1) > 0 ? sane(style.widthFactor, 1) : 1;
  double oblique = sane(text.oblique, 0);
  if (std::abs(oblique) > 85) oblique = 0;
  const double slant = std::tan(oblique * kDeg);
  double angle = sane(text.rotation, 0) * kDeg;
  const double natural = textWidth(measure, s);  // in heights before the width factor

  const Vec2 ins{text.insert.x, text.insert.y};
  const Vec2 aln{text.align.x, text.align.y};
  int ha = text.halign, va = valign;
  if (ha < 0 || ha > 5) ha = 0;
  if (va < 0 || va > 3) va = 0;
  Vec2 base = (ha == 0 && va == 0) ? ins : aln;
  double du = 0, dv = 0;
  if (ha == 3 || ha == 5) {
    // Aligned and fit: the text runs from the first point to the second along the baseline.
    const double dx = aln.x - ins.x, dy = aln.y - ins.y, len = std::hypot(dx, dy);
    if (len > 0 && natural > 0 && finite(len)) {
      angle = std::atan2(dy, dx);
      base = ins;
      if (ha == 3) h = len / (natural * wf);
      else wf = len / (natural * h);
      va = 0;
    } else {
      ha = 0;
      base = ins;
    }
  }
  const double width = natural * h * wf;
  if (ha == 1 || ha == 4) du = -width / 2;
  else if (ha == 2) du = -width;
  if (ha == 4) dv = -h / 2;
  else if (va == 1) dv = measure.main->descent() * h;
  else if (va == 2) dv = -h / 2;
  else if (va == 3) dv = -h;

  const Frame2 fr = frameOf(base, angle, text.generation & 2, text.generation & 4);
  Emitter em(out);
  if (opt.quickText) {
    em.box(fr, du, dv, du + width, dv + h);
    return;
  }
  if (f.ttf && out.acceptsTtf(f.ttfFile, f.ttfFamily)) {
    TextTtfRun r;
    r.fontFile = f.ttfFile;
    r.family = f.ttfFamily;
    r.text = s;
    r.origin = fr.map(du, dv);
    r.xAxis = fr.dir(h * wf, 0);
    r.yAxis = fr.dir(h * slant, h);
    out.ttf(r);
  } else {
    double u = du;
    for (std::size_t i = 0; i < s.size();) {
      const Glyph& g = glyphFor(measure, s, i);
      em.glyph(g, fr, u, dv, h, wf, slant);
      u += g.advance.x * h * wf;
    }
  }
  // Under- and overlines between their toggles (or to the end of the text).
  bool on[2] = {false, false};
  double start[2] = {0, 0};
  auto offsetToU = [&](std::size_t byte) {
    double u = du;
    for (std::size_t i = 0; i < s.size() && i < byte;) u += glyphFor(measure, s, i).advance.x * h * wf;
    return u;
  };
  auto close = [&](int k, double u) {
    const double v = dv + (k == 0 ? kUnderline : kOverline) * h;
    if (u > start[k]) em.line(fr, start[k], v, u, v);
  };
  for (auto [byte, kind] : toggles) {
    const int k = kind == 'u' ? 0 : kind == 'o' ? 1 : -1;
    if (k < 0) continue;
    const double u = offsetToU(byte);
    if (on[k]) close(k, u);
    else start[k] = u;
    on[k] = !on[k];
  }
  for (int k = 0; k < 2; ++k)
    if (on[k]) close(k, du + width);
}

Vec2 measureTextLine(const std::string& utf8, double height, double widthFactor, const TextStyle& style,
                     FontLibrary& fonts) {
  const std::string s = decodeTextCodes(utf8);
  Fonts f = stylefonts(style, fonts, {});
  if (f.ttf) f.main = &builtinStrokeFont();
  const double h = entityHeight(height, style);
  const double wf = finite(widthFactor) && widthFactor > 0 ? widthFactor : 1;
  return {textWidth(f, s) * h * wf, h};
}

void layoutMText(const MText& text, const TextStyle& style, FontLibrary& fonts, TextOut& out,
                 const TextLayoutOptions& opt) {
  // First version: each paragraph one line from the top-left corner.
  const double h = entityHeight(text.height, style);
  const Fonts f = stylefonts(style, fonts, opt);
  Fonts measure = f;
  if (f.ttf) measure.main = &builtinStrokeFont();
  const auto paras = parseMText(text.text);
  const Frame2 fr = frameOf({text.insert.x, text.insert.y}, sane(text.rotation, 0) * kDeg, false, false);
  Emitter em(out);
  double v = -h;
  for (const auto& p : paras) {
    double u = 0;
    for (const auto& r : p.runs) {
      for (std::size_t i = 0; i < r.text.size();) {
        const Glyph& g = glyphFor(measure, r.text, i);
        if (!opt.quickText) em.glyph(g, fr, u, v, h, 1, 0);
        u += g.advance.x * h;
      }
    }
    if (opt.quickText && u > 0) em.box(fr, 0, v, u, v + h);
    v -= h * kLineSpacing * sane(text.spacingFactor, 1);
  }
}

}  // namespace kelvaro::cad
