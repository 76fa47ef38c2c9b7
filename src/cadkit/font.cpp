// The built-in stroke font and the font library.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <iterator>

#include "cadkit/font.h"
#include "cadkit/font_builtin_data.h"

namespace kelvaro::cad {
namespace {

// Glyph definitions are on a grid where the capital height is kBuiltinCap units.
class BuiltinFont final : public StrokeFont {
 public:
  BuiltinFont() {
    const double k = 1.0 / kBuiltinCap;
    for (std::size_t n = 0; n < kBuiltinGlyphCount; ++n) {
      const BuiltinGlyphDef& d = kBuiltinGlyphs[n];
      if (d.base == 0) {
        put(d.code, parse(d.def, k));
        continue;
      }
      const Glyph* base = find(d.base);
      if (!base) continue;
      Glyph g = *base;
      // The accent sits centred over the letter, a little above its top (or under the baseline).
      double x0 = 1e9, x1 = -1e9, top = 0;
      for (const auto& st : base->strokes)
        for (const auto& p : st) {
          x0 = std::min(x0, p.x);
          x1 = std::max(x1, p.x);
          top = std::max(top, p.y);
        }
      const bool below = d.def[0] == '_';
      const Glyph accent = parse(below ? d.def + 1 : d.def, k, true);
      const double dx = (x0 + x1) / 2, dy = below ? 0 : top + 0.8 * k;
      for (auto st : accent.strokes) {
        for (auto& p : st) p = {p.x + dx, p.y + dy};
        g.strokes.push_back(std::move(st));
      }
      put(d.code, std::move(g));
    }
    // Anything else is a box the size of a capital.
    box_.strokes = {{{0.1, 0}, {0.1, 1}, {0.7, 1}, {0.7, 0}, {0.1, 0}}};
    box_.advance = {0.9, 0};
    auto measure = [&](const Glyph& g) {
      maxAdvance_ = std::max(maxAdvance_, std::fabs(g.advance.x));
      for (const auto& st : g.strokes)
        for (const auto& p : st) maxExtent_ = std::max({maxExtent_, std::fabs(p.x), std::fabs(p.y)});
    };
    for (std::size_t c = 0; c < 256; ++c)
      if (have_[c]) measure(low_[c]);
    for (const auto& e : high_) measure(e.second);
    measure(box_);
  }
  bool metrics(double& maxAdvance, double& maxExtent) const override {
    maxAdvance = maxAdvance_, maxExtent = maxExtent_;
    return true;
  }

  const Glyph* glyph(char32_t c) const override {
    if (const Glyph* g = find(c)) return g;
    return &box_;
  }
  double descent() const override { return 3.0 / kBuiltinCap; }

 private:
  std::vector<Glyph> low_ = std::vector<Glyph>(256);
  std::vector<bool> have_ = std::vector<bool>(256);
  std::vector<std::pair<char32_t, Glyph>> high_;  // sorted by code
  Glyph box_;
  double maxAdvance_ = 0, maxExtent_ = 0;

  const Glyph* find(char32_t c) const {
    if (c < 256) return have_[c] ? &low_[c] : nullptr;
    auto it = std::lower_bound(high_.begin(), high_.end(), c, [](const auto& e, char32_t v) { return e.first < v; });
    return it != high_.end() && it->first == c ? &it->second : nullptr;
  }
  void put(char32_t c, Glyph g) {
    if (c < 256) {
      low_[c] = std::move(g);
      have_[c] = true;
      return;
    }
    auto it = std::lower_bound(high_.begin(), high_.end(), c, [](const auto& e, char32_t v) { return e.first < v; });
    if (it != high_.end() && it->first == c) it->second = std::move(g);
    else high_.insert(it, {c, std::move(g)});
  }

  // "adv: x,y x,y | x,y x,y": the advance, then strokes separated by '|'.
  static Glyph parse(const char* s, double k, bool noAdvance = false) {
    Glyph g;
    const char* p = s;
    auto skip = [&] {
      while (*p == ' ') ++p;
    };
    auto num = [&](double& v) {
      skip();
      char* e = nullptr;
      v = std::strtod(p, &e);
      if (e == p) return false;
      p = e;
      return true;
    };
    if (!noAdvance) {
      double adv = 0;
      if (!num(adv)) return g;
      g.advance = {adv * k, 0};
      skip();
      if (*p == ':') ++p;
    }
    std::vector<Vec2> cur;
    for (;;) {
      skip();
      if (*p == '|' || *p == 0) {
        if (cur.size() >= 2) g.strokes.push_back(cur);
        else if (cur.size() == 1) g.strokes.push_back({cur[0], cur[0]});  // a dot
        cur.clear();
        if (*p == 0) break;
        ++p;
        continue;
      }
      double x, y;
      if (!num(x)) break;
      if (*p == ',') ++p;
      if (!num(y)) break;
      cur.push_back({x * k, y * k});
    }
    if (cur.size() >= 2) g.strokes.push_back(cur);
    return g;
  }
};

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Stored names keep any folder and may lack the extension: "C:\fonts\romans", "txt.shx".
std::string keyOf(const std::string& name) {
  std::string s = name;
  const auto slash = s.find_last_of("/\\");
  if (slash != std::string::npos) s = s.substr(slash + 1);
  s = upper(s);
  if (s.size() > 4 && s.compare(s.size() - 4, 4, ".SHX") == 0) s.resize(s.size() - 4);
  return s;
}

}  // namespace

const StrokeFont& builtinStrokeFont() {
  static const BuiltinFont font;
  return font;
}

FontLibrary::FontLibrary(Finder finder) : finder_(std::move(finder)) {}

std::unique_ptr<StrokeFont> FontLibrary::read(const std::string& name) {
  if (!finder_ || name.empty()) return nullptr;
  std::string path = finder_(name);
  // Styles often name the font without its extension.
  if (path.empty() && !(name.size() > 4 && upper(name.substr(name.size() - 4)) == ".SHX")) path = finder_(name + ".shx");
  if (path.empty()) return nullptr;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    problems_.push_back(name + ": cannot be opened");
    return nullptr;
  }
  // Fonts are small; anything beyond 64 MB is not one.
  in.seekg(0, std::ios::end);
  const auto size = static_cast<long long>(in.tellg());
  if (size < 0 || size > (64ll << 20)) {
    problems_.push_back(name + ": not a font file");
    return nullptr;
  }
  in.seekg(0);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), size);
  if (!in) {
    problems_.push_back(name + ": cannot be read");
    return nullptr;
  }
  std::string error;
  auto f = loadShxFont(bytes, &error);
  if (!f) problems_.push_back(name + ": " + error);
  return f;
}

const StrokeFont& FontLibrary::font(const std::string& fileName) {
  const std::string key = keyOf(fileName);
  auto it = cache_.find(key);
  if (it == cache_.end()) {
    auto f = read(fileName);
    // A big font named as the main font cannot draw ordinary characters.
    if (f && f->isBigFont()) f.reset();
    it = cache_.emplace(key, std::move(f)).first;
  }
  return it->second ? *it->second : builtinStrokeFont();
}

const StrokeFont* FontLibrary::bigFont(const std::string& fileName) {
  if (keyOf(fileName).empty()) return nullptr;
  const std::string key = "BIG:" + keyOf(fileName);
  auto it = cache_.find(key);
  if (it == cache_.end()) {
    auto f = read(fileName);
    if (f && !f->isBigFont()) f.reset();
    it = cache_.emplace(key, std::move(f)).first;
  }
  return it->second.get();
}

void FontLibrary::clear() {
  cache_.clear();
  problems_.clear();
}

}  // namespace kelvaro::cad
