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
  explicit Emitter(TextOut& out) : out_(out) {}

  // A glyph at local (u, v) of the frame, scaled by height h and width factor w, slanted by
  // the tangent of the oblique angle.
  void glyph(const Glyph& g, const Frame2& f, double u, double v, double h, double w, double slant) {
    // (u + (x w + y slant) h, v + y h) through the frame, as one map of the glyph's points.
    const double a = w * h, b = slant * h;
    const double m[6] = {f.ax.x * a, f.ax.x * b + f.ay.x * h, f.origin.x + f.ax.x * u + f.ay.x * v,
                         f.ax.y * a, f.ax.y * b + f.ay.y * h, f.origin.y + f.ax.y * u + f.ay.y * v};
    out_.glyph(g, m);
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
};

// One buffer for every stroke of the thread: layout allocates nothing per glyph.
thread_local std::vector<Vec2> glyphBuffer;

}  // namespace

void TextOut::glyph(const Glyph& g, const double (&m)[6]) {
  for (const auto& stroke : g.strokes) {
    if (stroke.size() < 2) continue;
    glyphBuffer.clear();
    for (const Vec2& p : stroke) glyphBuffer.push_back({m[0] * p.x + m[1] * p.y + m[2], m[3] * p.x + m[4] * p.y + m[5]});
    this->stroke(glyphBuffer.data(), glyphBuffer.size());
  }
}

namespace {

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
  if (ha == 4) {
    // Middle centres on the ink of this text, descenders included (unlike middle-centre,
    // which centres on the capital height).
    double lo = 1e300, hi = -1e300;
    for (std::size_t i = 0; i < s.size();)
      for (const auto& st : glyphFor(measure, s, i).strokes)
        for (const auto& p : st) {
          lo = std::min(lo, p.y);
          hi = std::max(hi, p.y);
        }
    dv = lo <= hi ? -(lo + hi) / 2 * h : -h / 2;
  } else if (va == 1) dv = measure.main->descent() * h;
  else if (va == 2) dv = -h / 2;
  else if (va == 3) dv = -h;

  // Points out of range draw nothing rather than lines to infinity.
  if (!finite(base.x) || !finite(base.y) || !finite(width) || !finite(h) || !finite(dv) ||
      std::abs(base.x) + width + h > 1e150)
    return;
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
    r.bold = opt.ttfBold;
    r.italic = opt.ttfItalic;
    r.origin = fr.map(du, dv);
    r.xAxis = fr.dir(h * wf, 0);
    r.yAxis = fr.dir(h * slant, h);
    r.advance = natural;
    out.ttf(r);
  } else {
    double u = du;
    for (std::size_t i = 0; i < s.size();) {
      const Glyph& g = glyphFor(measure, s, i);
      em.glyph(g, fr, u, dv, h, wf, slant);
      u += g.advance.x * h * wf;
    }
  }
  // Under-, over- and strike-through lines between their toggles (or to the end of the text).
  bool on[3] = {false, false, false};
  double start[3] = {0, 0, 0};
  auto offsetToU = [&](std::size_t byte) {
    double u = du;
    for (std::size_t i = 0; i < s.size() && i < byte;) u += glyphFor(measure, s, i).advance.x * h * wf;
    return u;
  };
  auto close = [&](int k, double u) {
    const double v = dv + (k == 0 ? kUnderline : k == 1 ? kOverline : kStrike) * h;
    if (u > start[k]) em.line(fr, start[k], v, u, v);
  };
  for (auto [byte, kind] : toggles) {
    const int k = kind == 'u' ? 0 : kind == 'o' ? 1 : kind == 'k' ? 2 : -1;
    if (k < 0) continue;
    const double u = offsetToU(byte);
    if (on[k]) close(k, u);
    else start[k] = u;
    on[k] = !on[k];
  }
  for (int k = 0; k < 3; ++k)
    if (on[k]) close(k, du + width);
}

bool looseTextDisc(const TextBase& text, int valign, const TextStyle& style, FontLibrary& fonts,
                   const TextLayoutOptions& opt, Vec2& centre, double& radius) {
  const Fonts f = stylefonts(style, fonts, opt);
  double adv = 0, ext = 0;
  if (f.ttf || f.big || f.main != &builtinStrokeFont() || !f.main->metrics(adv, ext)) return false;
  int ha = text.halign, va = valign;
  if (ha < 0 || ha > 5) ha = 0;
  if (va < 0 || va > 3) va = 0;
  if (ha == 3 || ha == 5) return false;
  const double h = entityHeight(text.height, style);
  double wf = sane(text.widthFactor, 1);
  if (wf <= 0) wf = sane(style.widthFactor, 1) > 0 ? sane(style.widthFactor, 1) : 1;
  double oblique = sane(text.oblique, 0);
  if (std::abs(oblique) > 85) oblique = 0;
  const double slant = std::fabs(std::tan(oblique * kDeg));
  // Every glyph takes at least one byte of the decoded text.
  const double n = static_cast<double>(decodeTextCodes(text.text).size());
  // Along the baseline: the alignment shift and the pen position are each within n advances;
  // a glyph's points reach `ext` further, slanted. Across: the vertical shift, the glyph and
  // the decoration lines.
  const double along = 2 * n * adv * wf + ext * (wf + slant);
  const double across = std::max(ext, 1.0) + ext + 2;
  centre = (ha == 0 && va == 0) ? Vec2{text.insert.x, text.insert.y} : Vec2{text.align.x, text.align.y};
  radius = (along + across) * h * (1 + 1e-9);
  return finite(centre.x) && finite(centre.y) && finite(radius);
}

StyleTtfInfo styleTtfInfo(const std::vector<Tag>& xdata) {
  StyleTtfInfo info;
  bool acad = false;
  for (const Tag& t : xdata) {
    if (t.code == 1001) {
      acad = t.asText() == "ACAD";
      continue;
    }
    if (!acad) continue;
    if (t.code == 1000 && info.family.empty()) {
      info.family = t.asText();
    } else if (t.code == 1071) {
      bool ok = false;
      const std::int64_t flags = t.asInt(&ok);
      if (ok) {
        info.italic = (flags & 0x01000000) != 0;
        info.bold = (flags & 0x02000000) != 0;
      }
    }
  }
  return info;
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

namespace {

// One run of an MTEXT with what layout needs of its format, resolved once.
struct RunInfo {
  const MTextRun* run = nullptr;
  Fonts fonts;
  bool ttf = false;  // drawn as a TrueType run
  double height = 1, wf = 1, slant = 0, tracking = 1;
};

// A character, space, tab or stacked fraction placed on a line.
struct Piece {
  enum Kind : std::uint8_t { Char, Space, Tab, Stack };
  Kind kind = Char;
  std::uint32_t run = 0;
  char32_t code = 0;
  const Glyph* glyph = nullptr;
  double width = 0;  // drawing units; tabs get theirs when the line is filled
};

struct Line {
  std::size_t begin = 0, end = 0;  // pieces
  std::size_t para = 0;
  double width = 0, height = 0, indent = 0, baseline = 0;
  int spaces = 0;
  bool last = false;  // last line of its paragraph
};

constexpr double kTabStep = 4;  // default tab stops, in text heights

struct StackMetrics {
  double width = 0, upperW = 0, lowerW = 0, h = 0;
};

StackMetrics stackMetrics(const RunInfo& ri, const Fonts& measure) {
  StackMetrics m;
  m.h = ri.height * kStackScale;
  m.upperW = textWidth(measure, ri.run->text) * m.h * ri.wf;
  m.lowerW = textWidth(measure, ri.run->lower) * m.h * ri.wf;
  const double gap = ri.height * 0.1;
  if (ri.run->stackKind == '#') m.width = m.upperW + m.lowerW + ri.height * 0.6 + gap;
  else m.width = std::max(m.upperW, m.lowerW) + gap * 2;
  return m;
}

class MTextLayout {
 public:
  MTextLayout(const MText& t, const TextStyle& style, FontLibrary& lib, TextOut& out, const TextLayoutOptions& opt)
      : t_(t), style_(style), lib_(lib), out_(out), opt_(opt), em_(out) {}

  void run() {
    if (!finite(t_.insert.x) || !finite(t_.insert.y) || std::abs(t_.insert.x) + std::abs(t_.insert.y) > 1e150) return;
    H_ = entityHeight(t_.height, style_);
    if (H_ > 1e100) return;
    base_ = stylefonts(style_, lib_, opt_);
    MTextFormat fmt;
    fmt.widthFactor = finite(style_.widthFactor) && style_.widthFactor > 0 ? style_.widthFactor : 1;
    fmt.oblique = sane(style_.oblique, 0);
    paras_ = parseMText(t_.text, fmt);
    resolveRuns();
    buildPieces();
    breakLines();
    place();
    draw();
  }

 private:
  const MText& t_;
  const TextStyle& style_;
  FontLibrary& lib_;
  TextOut& out_;
  const TextLayoutOptions& opt_;
  Emitter em_;
  double H_ = 1;
  Fonts base_;
  std::vector<MTextParagraph> paras_;
  std::vector<RunInfo> runs_;
  std::vector<std::size_t> paraFirstRun_;
  std::vector<Piece> pieces_;
  std::vector<std::size_t> paraFirstPiece_;
  std::vector<Line> lines_;
  Frame2 frame_;
  double dx_ = 0, dy_ = 0, boxW_ = 0;
  std::vector<std::pair<std::string, bool>> ttfAnswers_;  // (file|family) -> accepted

  bool askTtf(const std::string& file, const std::string& family) {
    const std::string key = file + '|' + family;
    for (const auto& [k, v] : ttfAnswers_)
      if (k == key) return v;
    const bool ok = out_.acceptsTtf(file, family);
    ttfAnswers_.emplace_back(key, ok);
    return ok;
  }

  Fonts measureFonts(const RunInfo& ri) const {
    Fonts m = ri.fonts;
    if (m.ttf) m.main = &builtinStrokeFont();
    return m;
  }

  void resolveRuns() {
    for (const auto& p : paras_) {
      paraFirstRun_.push_back(runs_.size());
      for (const auto& r : p.runs) {
        RunInfo ri;
        ri.run = &r;
        const MTextFormat& f = r.fmt;
        double h = f.height > 0 ? f.height : H_;
        h *= f.heightScale > 0 && finite(f.heightScale) ? f.heightScale : 1;
        // Inline values far outside what a drawing uses are brought back into range.
        ri.height = finite(h) && h > 0 ? std::clamp(h, H_ * 1e-4, H_ * 1e4) : H_;
        ri.wf = finite(f.widthFactor) && f.widthFactor > 0 ? std::clamp(f.widthFactor, 0.01, 100.0) : 1;
        const double ob = finite(f.oblique) && std::abs(f.oblique) < 85 ? f.oblique : 0;
        ri.slant = std::tan(ob * kDeg);
        ri.tracking = finite(f.tracking) && f.tracking > 0 ? std::clamp(f.tracking, 0.01, 100.0) : 1;
        if (f.font.empty()) {
          ri.fonts = base_;
        } else if (f.fontIsFamily || isTtfFile(f.font)) {
          ri.fonts = Fonts{};
          ri.fonts.ttf = true;
          if (f.fontIsFamily) ri.fonts.ttfFamily = f.font;
          else ri.fonts.ttfFile = f.font;
        } else {
          ri.fonts = Fonts{};
          ri.fonts.main = &lib_.font(f.font);
          ri.fonts.big = base_.big;
        }
        if (ri.fonts.ttf && !opt_.quickText) ri.ttf = askTtf(ri.fonts.ttfFile, ri.fonts.ttfFamily);
        runs_.push_back(ri);
      }
    }
  }

  void buildPieces() {
    for (std::size_t p = 0; p < paras_.size(); ++p) {
      paraFirstPiece_.push_back(pieces_.size());
      for (std::size_t r = paraFirstRun_[p]; r < paraFirstRun_[p] + paras_[p].runs.size(); ++r) {
        const RunInfo& ri = runs_[r];
        const MTextRun& run = *ri.run;
        Piece pc;
        pc.run = static_cast<std::uint32_t>(r);
        if (run.tab) {
          pc.kind = Piece::Tab;
          pieces_.push_back(pc);
          continue;
        }
        const Fonts m = measureFonts(ri);
        if (run.stacked) {
          pc.kind = Piece::Stack;
          pc.width = stackMetrics(ri, m).width;
          pieces_.push_back(pc);
          continue;
        }
        const std::string& s = run.text;
        for (std::size_t i = 0; i < s.size();) {
          std::size_t j = i;
          const char32_t c = utf8::next(s, j);
          pc.code = c;
          pc.kind = c == ' ' ? Piece::Space : Piece::Char;
          pc.glyph = &glyphFor(m, s, i);
          pc.width = pc.glyph->advance.x * ri.height * ri.wf * ri.tracking;
          pieces_.push_back(pc);
        }
      }
    }
    paraFirstPiece_.push_back(pieces_.size());
  }

  // The distance from x (measured from the paragraph's left edge) to the next tab stop: the
  // paragraph's own stops first, then every four text heights.
  double tabWidth(const MTextParagraph& p, double x) const {
    for (double stop : p.tabStops)
      if (stop * H_ > x + 1e-9) return stop * H_ - x;
    const double step = kTabStep * H_;
    return (std::floor(x / step + 1e-9) + 1) * step - x;
  }

  void breakLines() {
    const double limit = finite(t_.refWidth) && t_.refWidth > 0 ? t_.refWidth : 0;
    for (std::size_t p = 0; p < paras_.size(); ++p) {
      const std::size_t pb = paraFirstPiece_[p], pe = paraFirstPiece_[p + 1];
      const double indLeft = sane(paras_[p].indentLeft, 0) * H_;
      const double indFirst = sane(paras_[p].indentFirst, 0) * H_;
      std::size_t i = pb;
      bool first = true;
      do {
        Line ln;
        ln.para = p;
        ln.begin = i;
        ln.indent = std::max(0.0, indLeft + (first ? indFirst : 0));
        const double avail = limit > 0 ? limit - ln.indent : 0;
        double x = 0;
        std::size_t breakAt = 0;  // piece after the last space, 0: none yet
        std::size_t k = i;
        for (; k < pe; ++k) {
          Piece& pc = pieces_[k];
          if (pc.kind == Piece::Tab) pc.width = tabWidth(paras_[p], x + ln.indent);
          if (pc.kind == Piece::Space) {
            x += pc.width;
            breakAt = k + 1;
            continue;
          }
          if (limit > 0 && x + pc.width > avail + 1e-9 && breakAt > ln.begin && breakAt <= k) {
            k = breakAt;
            break;
          }
          x += pc.width;
        }
        ln.end = k;
        // Leading and trailing spaces take no room at a break.
        std::size_t e = ln.end;
        while (e > ln.begin && pieces_[e - 1].kind == Piece::Space && ln.end < pe) --e;
        measureLine(ln, e);
        ln.last = ln.end >= pe;
        lines_.push_back(ln);
        i = ln.end;
        first = false;
      } while (i < pe);
    }
  }

  void measureLine(Line& ln, std::size_t visibleEnd) {
    double x = 0, h = 0;
    int spaces = 0;
    for (std::size_t k = ln.begin; k < ln.end; ++k) {
      const Piece& pc = pieces_[k];
      if (k < visibleEnd) {
        x += pc.width;
        if (pc.kind == Piece::Space) ++spaces;
      }
      h = std::max(h, runs_[pc.run].height);
    }
    ln.width = x;
    ln.spaces = spaces;
    ln.height = h > 0 ? h : paraHeight(ln.para);
  }

  double paraHeight(std::size_t p) const {
    // An empty paragraph keeps the height in force where it stands.
    const auto& runs = paras_[p].runs;
    if (!runs.empty()) return runs_[paraFirstRun_[p]].height;
    return H_;
  }

  void place() {
    const double factor = finite(t_.spacingFactor) && t_.spacingFactor > 0 ? std::clamp(t_.spacingFactor, 0.25, 4.0) : 1;
    double y = 0, prevH = 0;
    for (std::size_t n = 0; n < lines_.size(); ++n) {
      Line& ln = lines_[n];
      if (n == 0) {
        y = -ln.height;
      } else {
        const double lh = t_.spacingStyle == 2 ? H_ : std::max(prevH, ln.height);
        y -= lh * kLineSpacing * factor;
      }
      ln.baseline = y;
      prevH = ln.height;
    }
    const double total = lines_.empty() ? 0 : -lines_.back().baseline;
    double widest = 0;
    for (const auto& ln : lines_) widest = std::max(widest, ln.indent + ln.width);
    boxW_ = finite(t_.refWidth) && t_.refWidth > 0 ? std::max(t_.refWidth, 0.0) : widest;
    const int att = t_.attachment >= 1 && t_.attachment <= 9 ? t_.attachment - 1 : 0;
    const int col = att % 3, row = att / 3;
    dx_ = -boxW_ * col / 2.0;
    dy_ = total * row / 2.0;
    // The text direction: the x axis vector when given, else the rotation angle.
    double angle = sane(t_.rotation, 0) * kDeg;
    const Vec3& xd = t_.xDirection;
    const bool defaultDir = xd.x == 1 && xd.y == 0 && xd.z == 0;
    if (finite(xd.x) && finite(xd.y) && (xd.x != 0 || xd.y != 0) && !(defaultDir && angle != 0))
      angle = std::atan2(xd.y, xd.x);
    frame_ = frameOf({t_.insert.x, t_.insert.y}, angle, false, false);
  }

  int lineAlign(const Line& ln) const {
    const int a = paras_[ln.para].alignment;
    if (a >= 1 && a <= 4) return a;
    const int att = t_.attachment >= 1 && t_.attachment <= 9 ? t_.attachment - 1 : 0;
    return att % 3 + 1;
  }

  // Colours: only changes are reported, and the entity's colour is restored at the end.
  int curIndex_ = -1;
  bool curTrue_ = false;
  std::uint32_t curRgb_ = 0;
  void colorOf(const MTextFormat& f) {
    if (f.hasTrueColor) {
      if (curTrue_ && curRgb_ == f.trueColor) return;
      closeDecorations();
      out_.trueColor(f.trueColor);
      curTrue_ = true;
      curRgb_ = f.trueColor;
      return;
    }
    if (!curTrue_ && curIndex_ == f.colorIndex) return;
    closeDecorations();
    out_.color(f.colorIndex);
    curTrue_ = false;
    curIndex_ = f.colorIndex;
  }

  // Open under-, over- and strike-lines: start, end, height of the text they follow.
  struct Deco {
    bool open = false;
    double u0 = 0, u1 = 0, v = 0;
  };
  Deco deco_[3];
  void decorate(int k, bool on, double u0, double u1, double v) {
    Deco& d = deco_[k];
    if (on && d.open && std::abs(d.v - v) < 1e-12 && std::abs(d.u1 - u0) < 1e-9) {
      d.u1 = u1;
      return;
    }
    closeDeco(k);
    if (on) d = {true, u0, u1, v};
  }
  void closeDeco(int k) {
    Deco& d = deco_[k];
    if (d.open && d.u1 > d.u0) em_.line(frame_, d.u0, d.v, d.u1, d.v);
    d.open = false;
  }
  void closeDecorations() {
    for (int k = 0; k < 3; ++k) closeDeco(k);
  }

  // A TrueType run being gathered.
  bool ttfOpen_ = false;
  std::uint32_t ttfRun_ = 0;
  double ttfU_ = 0, ttfEnd_ = 0, ttfV_ = 0;
  TextTtfRun ttf_;
  void flushTtf() {
    if (ttfOpen_ && !ttf_.text.empty()) {
      const RunInfo& ri = runs_[ttfRun_];
      ttf_.advance = (ttfEnd_ - ttfU_) / (ri.height * ri.wf);
      out_.ttf(ttf_);
    }
    ttfOpen_ = false;
  }
  void ttfPiece(const Piece& pc, const RunInfo& ri, double u, double v) {
    if (!ttfOpen_ || ttfRun_ != pc.run || std::abs(ttfEnd_ - u) > 1e-9 || ttfV_ != v) {
      flushTtf();
      ttfOpen_ = true;
      ttfRun_ = pc.run;
      ttfU_ = u;
      ttfV_ = v;
      ttf_ = TextTtfRun{};
      ttf_.fontFile = ri.fonts.ttfFile;
      ttf_.family = ri.fonts.ttfFamily;
      const bool styleFont = ri.run->fmt.font.empty();
      ttf_.bold = ri.run->fmt.bold || (styleFont && opt_.ttfBold);
      ttf_.italic = ri.run->fmt.italic || (styleFont && opt_.ttfItalic);
      ttf_.origin = frame_.map(u, v);
      ttf_.xAxis = frame_.dir(ri.height * ri.wf, 0);
      ttf_.yAxis = frame_.dir(ri.height * ri.slant, ri.height);
    }
    utf8::append(ttf_.text, pc.code == 0xA0 ? U' ' : pc.code);
    ttfEnd_ = u + pc.width;
  }

  void drawStack(const RunInfo& ri, double u, double v) {
    const Fonts m = measureFonts(ri);
    const StackMetrics sm = stackMetrics(ri, m);
    const double h = ri.height, gap = h * 0.1;
    auto text = [&](const std::string& s, double x, double y) {
      for (std::size_t i = 0; i < s.size();) {
        const Glyph& g = glyphFor(m, s, i);
        em_.glyph(g, frame_, x, y, sm.h, ri.wf, ri.slant);
        x += g.advance.x * sm.h * ri.wf;
      }
    };
    const char kind = ri.run->stackKind;
    if (kind == '#') {
      // Diagonal fraction: upper part raised on the left, lower part low on the right.
      text(ri.run->text, u + gap / 2, v + h * 0.45);
      const double sx = u + gap / 2 + sm.upperW;
      em_.line(frame_, sx + h * 0.05, v - h * 0.15, sx + h * 0.55, v + h * 1.15);
      text(ri.run->lower, sx + h * 0.6, v - h * 0.1);
      return;
    }
    const double inner = sm.width - 2 * gap;
    if (kind == '/') {
      // Upper part centred above a bar, lower part centred below it.
      const double bar = v + h * 0.45;
      text(ri.run->text, u + gap + (inner - sm.upperW) / 2, bar + h * 0.15);
      em_.line(frame_, u + gap * 0.5, bar, u + sm.width - gap * 0.5, bar);
      text(ri.run->lower, u + gap + (inner - sm.lowerW) / 2, bar - h * 0.15 - sm.h);
      return;
    }
    // Tolerance: both parts left-aligned, one above the other, no bar.
    text(ri.run->text, u + gap, v + h * 0.6);
    text(ri.run->lower, u + gap, v - h * 0.3);
  }

  void draw() {
    if (opt_.quickText) {
      for (const auto& ln : lines_) {
        if (ln.width <= 0) continue;
        const double u = lineStart(ln);
        em_.box(frame_, u, ln.baseline + dy_, u + ln.width, ln.baseline + dy_ + ln.height);
      }
      return;
    }
    for (const auto& ln : lines_) {
      double u = lineStart(ln);
      const bool justify = lineAlign(ln) == 4 && !ln.last && ln.spaces > 0 && boxW_ > 0;
      const double extra = justify ? std::max(0.0, boxW_ - ln.indent - ln.width) / ln.spaces : 0;
      for (std::size_t k = ln.begin; k < ln.end; ++k) {
        const Piece& pc = pieces_[k];
        const RunInfo& ri = runs_[pc.run];
        const MTextFormat& f = ri.run->fmt;
        double v = ln.baseline + dy_;
        if (f.align == 1) v += (ln.height - ri.height) / 2;
        else if (f.align == 2) v += ln.height - ri.height;
        colorOf(f);
        if (pc.kind == Piece::Stack) {
          flushTtf();
          drawStack(ri, u, v);
        } else if (pc.kind != Piece::Tab) {
          if (ri.ttf) ttfPiece(pc, ri, u, v);
          else em_.glyph(*pc.glyph, frame_, u, v, ri.height, ri.wf, ri.slant);
        }
        double w = pc.width;
        if (pc.kind == Piece::Space && justify) w += extra;
        decorate(0, f.underline, u, u + w, v + kUnderline * ri.height);
        decorate(1, f.overline, u, u + w, v + kOverline * ri.height);
        decorate(2, f.strike, u, u + w, v + kStrike * ri.height);
        u += w;
      }
      flushTtf();
      closeDecorations();
    }
    if (curTrue_ || curIndex_ != -1) out_.color(-1);
  }

  double lineStart(const Line& ln) const {
    switch (lineAlign(ln)) {
      case 2: return dx_ + ln.indent + (boxW_ - ln.indent - ln.width) / 2;
      case 3: return dx_ + boxW_ - ln.width;
      default: return dx_ + ln.indent;
    }
  }
};

}  // namespace

void layoutMText(const MText& text, const TextStyle& style, FontLibrary& fonts, TextOut& out,
                 const TextLayoutOptions& opt) {
  if (text.text.empty()) return;
  MTextLayout(text, style, fonts, out, opt).run();
}

}  // namespace kelvaro::cad
