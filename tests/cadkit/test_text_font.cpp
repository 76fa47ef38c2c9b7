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
  std::vector<char32_t> codes;
  for (char32_t c = 0x20; c < 0x7F; ++c) codes.push_back(c);
  for (char32_t c = 0xA0; c <= 0xFF; ++c) codes.push_back(c);
  for (char32_t c : {0x2300u, 0x2205u, 0x20ACu, 0x2013u, 0x2014u, 0x2018u, 0x2019u, 0x201Cu, 0x201Du, 0x2022u,
                     0x2026u, 0x0131u, 0x4E00u})
    codes.push_back(c);
  // Cells of 1.7 x 1.8 capital heights, 16 to a row; the advance as a line under the baseline.
  std::vector<std::vector<Vec2>> strokes;
  const int cols = 16;
  const int rows = static_cast<int>((codes.size() + cols - 1) / cols);
  for (std::size_t n = 0; n < codes.size(); ++n) {
    const double ox = (n % cols) * 1.7 + 0.2, oy = (rows - 1 - static_cast<double>(n / cols)) * 1.8 + 0.45;
    const Glyph* g = f.glyph(codes[n]);
    for (auto s : g->strokes) {
      for (auto& p : s) p = {p.x + ox, p.y + oy};
      strokes.push_back(std::move(s));
    }
    strokes.push_back({{ox, oy - 0.38}, {ox + g->advance.x, oy - 0.38}});
  }
  long inked = 0;
  const auto path = std::filesystem::path(KELVARO_BINARY_DIR) / "text_glyph_sheet.pgm";
  EXPECT_TRUE(testing::writeStrokeImage(path.string(), strokes, cols * 48, rows * 51, 28, {0, 0}, &inked));
  EXPECT_GT(inked, 5000);
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
  EXPECT_TRUE(lib.problems().empty());
  // A damaged file found under a name falls back to the built-in font with a note of why.
  std::ofstream(dir / "bad.shx", std::ios::binary) << "AutoCAD-86 shapes 1.0\r\n\x1A\x01";
  FontLibrary bad([&](const std::string& n) { return n == "bad.shx" ? (dir / "bad.shx").string() : std::string(); });
  EXPECT_EQ(&bad.font("bad"), &builtinStrokeFont());
  ASSERT_EQ(bad.problems().size(), 1u);
  EXPECT_NE(bad.problems()[0].find("bad: Truncated"), std::string::npos) << bad.problems()[0];
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kelvaro::cad
