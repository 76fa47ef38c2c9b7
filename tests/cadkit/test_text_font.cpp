// The built-in stroke font and the font library.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cadkit/text_test_util.h"

namespace kelvaro::cad {
namespace {

testing::Box glyphBox(const Glyph& g) {
  testing::Box b;
  for (const auto& s : g.strokes)
    for (const auto& p : s) b.add(p);
  return b;
}

TEST(BuiltinFont, CoversPrintableAsciiAndLatin1WithinSaneBounds) {
  const StrokeFont& f = builtinStrokeFont();
  const Glyph* box = f.glyph(0x4E00);  // a character it lacks
  ASSERT_NE(box, nullptr);
  std::vector<char32_t> codes;
  for (char32_t c = 0x21; c < 0x7F; ++c) codes.push_back(c);
  for (char32_t c = 0xA1; c <= 0xFF; ++c)
    if (c != 0xAD) codes.push_back(c);
  for (char32_t c : {0x2300u, 0x00D8u, 0x00B0u, 0x00B1u}) codes.push_back(c);
  for (char32_t c : codes) {
    const Glyph* g = f.glyph(c);
    ASSERT_NE(g, nullptr) << std::hex << unsigned(c);
    EXPECT_NE(g, box) << "no glyph of its own: U+" << std::hex << unsigned(c);
    ASSERT_FALSE(g->strokes.empty()) << std::hex << unsigned(c);
    const testing::Box b = glyphBox(*g);
    // Ink stays within the pen advance (give or take a descender's tail) and the line height.
    EXPECT_GT(g->advance.x, 0.2) << std::hex << unsigned(c);
    EXPECT_GE(b.x0, -0.1) << std::hex << unsigned(c);
    EXPECT_LE(b.x1, g->advance.x + 0.05) << std::hex << unsigned(c);
    EXPECT_GE(b.y0, -0.34) << std::hex << unsigned(c);
    EXPECT_LE(b.y1, 1.35) << std::hex << unsigned(c);
  }
  // Capitals reach the capital height; lower case without ascenders stay at two thirds.
  EXPECT_NEAR(glyphBox(*f.glyph('H')).y1, 1, 1e-9);
  EXPECT_NEAR(glyphBox(*f.glyph('x')).y1, 2.0 / 3, 1e-9);
  EXPECT_LT(glyphBox(*f.glyph('g')).y0, -0.2);
  // Proportional: an I is narrower than an M, and accents do not change a letter's advance.
  EXPECT_LT(f.glyph('I')->advance.x * 2, f.glyph('M')->advance.x);
  EXPECT_EQ(f.glyph(0x00E9)->advance.x, f.glyph('e')->advance.x);
  EXPECT_GT(f.glyph(0x00E9)->strokes.size(), f.glyph('e')->strokes.size());
  EXPECT_GT(glyphBox(*f.glyph(0x00C9)).y1, 1.0);
  EXPECT_LT(glyphBox(*f.glyph(0x00C7)).y0, -0.1);
}

// Draws every built-in glyph into a grey map beside the tests, to look at.
TEST(BuiltinFont, GlyphSheetRasterises) {
  const StrokeFont& f = builtinStrokeFont();
  const int cell = 48, cols = 16, rows = 14, scale = 28;
  const int w = cols * cell, h = rows * cell;
  std::vector<std::uint8_t> px(w * h, 255);
  auto plot = [&](double x, double y) {
    const int ix = static_cast<int>(std::lround(x)), iy = static_cast<int>(std::lround(y));
    if (ix >= 0 && iy >= 0 && ix < w && iy < h) px[iy * w + ix] = 0;
  };
  std::vector<char32_t> codes;
  for (char32_t c = 0x20; c < 0x7F; ++c) codes.push_back(c);
  for (char32_t c = 0xA0; c <= 0xFF; ++c) codes.push_back(c);
  for (char32_t c : {0x2300u, 0x2205u, 0x20ACu, 0x2013u, 0x2014u, 0x2018u, 0x2019u, 0x201Cu, 0x201Du, 0x2022u,
                     0x2026u, 0x0131u, 0x4E00u})
    codes.push_back(c);
  long inked = 0;
  for (std::size_t n = 0; n < codes.size(); ++n) {
    const double ox = (n % cols) * cell + 6, oy = (n / cols) * cell + cell - 12;
    const Glyph* g = f.glyph(codes[n]);
    for (const auto& s : g->strokes)
      for (std::size_t k = 0; k + 1 < s.size(); ++k) {
        const double x0 = ox + s[k].x * scale, y0 = oy - s[k].y * scale;
        const double x1 = ox + s[k + 1].x * scale, y1 = oy - s[k + 1].y * scale;
        const int steps = 1 + static_cast<int>(std::max(std::abs(x1 - x0), std::abs(y1 - y0)) * 2);
        for (int t = 0; t <= steps; ++t) plot(x0 + (x1 - x0) * t / steps, y0 + (y1 - y0) * t / steps);
      }
    // The advance as a tick under the baseline.
    for (int x = 0; x <= static_cast<int>(g->advance.x * scale); x += 4) plot(ox + x, oy + 4);
  }
  for (auto v : px) inked += v == 0;
  EXPECT_GT(inked, 5000);
  const auto path = std::filesystem::path(KELVARO_BINARY_DIR) / "text_glyph_sheet.pgm";
  std::ofstream out(path, std::ios::binary);
  out << "P5\n" << w << ' ' << h << "\n255\n";
  out.write(reinterpret_cast<const char*>(px.data()), px.size());
  EXPECT_TRUE(out.good()) << path;
}

TEST(FontLibrary, FindsFontsByStoredNameOnceAndFallsBack) {
  const auto dir = std::filesystem::temp_directory_path() / "kelvaro_text_fontlib";
  std::filesystem::create_directories(dir);
  const auto file = dir / "mine.shx";
  {
    const auto bytes = testing::shapesFile({{0, "MINE", {4, 1, 0, 0}}, {'A', "A", {0x40, 0}}});
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  int asked = 0;
  FontLibrary lib([&](const std::string& name) -> std::string {
    ++asked;
    std::string n = name;
    for (char& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return n == "mine.shx" ? file.string() : std::string();
  });
  const StrokeFont& a = lib.font("MINE");
  const StrokeFont& b = lib.font("c:\\fonts\\Mine.SHX");
  EXPECT_EQ(&a, &b);
  EXPECT_NE(&a, &builtinStrokeFont());
  ASSERT_NE(a.glyph('A'), nullptr);
  EXPECT_NEAR(a.glyph('A')->advance.x, 1, 1e-12);
  EXPECT_EQ(a.glyph('B'), nullptr);
  const int afterFirst = asked;
  (void)lib.font("mine");
  EXPECT_EQ(asked, afterFirst);  // cached
  EXPECT_EQ(&lib.font("missing"), &builtinStrokeFont());
  EXPECT_EQ(lib.bigFont(""), nullptr);
  EXPECT_EQ(lib.bigFont("mine.shx"), nullptr);  // not a big font
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kelvaro::cad
