// SHX fonts read from bytes assembled after the format description: shape programs,
// the three containers, and damaged files.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

#include "cadkit/text_test_util.h"

namespace kelvaro::cad {
namespace {

using testing::ShapeDef;
using testing::shapesFile;

constexpr double kEps = 1e-9;

// A shape font with above = 4 (so one unit is a quarter capital) holding one program at 'A'.
std::unique_ptr<StrokeFont> fontWith(std::vector<std::uint8_t> codes, std::vector<ShapeDef> more = {}) {
  std::vector<ShapeDef> shapes{{0, "T", {4, 2, 0, 0}}, {'A', "A", std::move(codes)}};
  shapes.insert(shapes.end(), more.begin(), more.end());
  std::string err;
  auto f = loadShxFont(shapesFile(shapes), &err);
  EXPECT_TRUE(f) << err;
  return f;
}

// Strokes in font units (times above) for easy comparison.
std::vector<std::vector<Vec2>> units(const Glyph& g) {
  auto s = g.strokes;
  for (auto& st : s)
    for (auto& p : st) p = {p.x * 4, p.y * 4};
  return s;
}

void expectPoint(Vec2 p, double x, double y) {
  EXPECT_NEAR(p.x, x, 1e-6);
  EXPECT_NEAR(p.y, y, 1e-6);
}

TEST(ShxFont, VectorCodesGiveStrokesInCapitalHeights) {
  // Pen up, move up 4 (code 8), pen down, down 4, right 2, pen up, right 1.
  auto f = fontWith({2, 8, 0, 4, 1, 0x4C, 0x20, 2, 0x10, 0});
  const Glyph* g = f->glyph('A');
  ASSERT_NE(g, nullptr);
  ASSERT_EQ(g->strokes.size(), 1u);
  const auto& s = g->strokes[0];
  ASSERT_EQ(s.size(), 3u);
  expectPoint(s[0], 0, 1);
  expectPoint(s[1], 0, 0);
  expectPoint(s[2], 0.5, 0);
  EXPECT_NEAR(g->advance.x, 0.75, kEps);
  EXPECT_NEAR(f->descent(), 0.5, kEps);
  EXPECT_EQ(f->glyph('B'), nullptr);
  EXPECT_FALSE(f->isUnicode());
  EXPECT_FALSE(f->isBigFont());
}

TEST(ShxFont, SixteenDirectionsScaleAndStack) {
  // Direction 1 is (1, 0.5) per unit, direction 3 (0.5, 1), direction A (-1, -1).
  auto f = fontWith({0x21, 0x23, 0x1A, 0});
  auto s = units(*f->glyph('A'));
  ASSERT_EQ(s.size(), 1u);
  ASSERT_EQ(s[0].size(), 4u);
  expectPoint(s[0][1], 2, 1);
  expectPoint(s[0][2], 3, 3);
  expectPoint(s[0][3], 2, 2);
  // Multiply by 3, divide by 2: a unit vector becomes 1.5; push/pop returns to a point.
  f = fontWith({4, 3, 3, 2, 0x10, 5, 0x14, 6, 0x10, 0});
  s = units(*f->glyph('A'));
  ASSERT_EQ(s.size(), 2u);
  expectPoint(s[0].back(), 1.5, 1.5);
  expectPoint(s[1].front(), 1.5, 0);
  expectPoint(s[1].back(), 3, 0);
  // Code 9: displacements until (0,0), then normal vectors again.
  f = fontWith({9, 3, 1, 0xFE, 2, 0, 0, 0x10, 0});
  s = units(*f->glyph('A'));
  ASSERT_EQ(s.size(), 1u);
  ASSERT_EQ(s[0].size(), 4u);
  expectPoint(s[0][1], 3, 1);
  expectPoint(s[0][2], 1, 3);
  expectPoint(s[0][3], 2, 3);
}

TEST(ShxFont, SubshapesAndVerticalOnlyCommands) {
  // 'A' draws 'B' (right 2) then up 1; the vertical-only move is skipped in horizontal text.
  auto f = fontWith({7, 'B', 0x14, 14, 8, 10, 10, 0x10, 0}, {{'B', "B", {0x20, 0}}});
  auto s = units(*f->glyph('A'));
  ASSERT_EQ(s.size(), 1u);
  ASSERT_EQ(s[0].size(), 4u);
  expectPoint(s[0][1], 2, 0);
  expectPoint(s[0][2], 2, 1);
  expectPoint(s[0][3], 3, 1);
  // A font made for both orientations (modes 2) still skips them in horizontal text.
  {
    std::string err;
    auto dual = loadShxFont(shapesFile({{0, "T", {4, 2, 2, 0}}, {'A', "A", {14, 0x14, 0x10, 0}}}), &err);
    ASSERT_TRUE(dual) << err;
    const auto d = units(*dual->glyph('A'));
    ASSERT_EQ(d.size(), 1u);
    expectPoint(d[0].back(), 1, 0);
  }
  // A shape that calls itself stops at the depth limit.
  f = fontWith({0x10, 7, 'A', 0});
  const Glyph* g = f->glyph('A');
  ASSERT_NE(g, nullptr);
  EXPECT_LT(g->advance.x * 4, 20);
  EXPECT_GT(g->advance.x * 4, 1);
}

TEST(ShxFont, ArcCodes) {
  // Octant arc radius 2 from octant 0, counter-clockwise over 4 octants: a half circle
  // from (0,0) round (-2,2) to (-4,0).
  auto f = fontWith({10, 2, 0x04, 0});
  auto s = units(*f->glyph('A'));
  ASSERT_EQ(s.size(), 1u);
  expectPoint(s[0].front(), 0, 0);
  expectPoint(s[0].back(), -4, 0);
  double top = -1e9;
  for (auto p : s[0]) {
    EXPECT_NEAR(std::hypot(p.x + 2, p.y), 2, 1e-6);
    top = std::max(top, p.y);
  }
  EXPECT_NEAR(top, 2, 1e-6);
  // Clockwise (sign bit) from octant 2 over 2 octants: (0,0) -> centre (0,-3) -> (3,-3).
  f = fontWith({10, 3, 0xA2, 0});
  s = units(*f->glyph('A'));
  expectPoint(s[0].back(), 3, -3);
  // Fractional arc, 55 to 95 degrees, radius 3: the documented example.
  f = fontWith({11, 56, 28, 0, 3, 0x12, 0});
  s = units(*f->glyph('A'));
  const double a0 = (45 + 56 * 45.0 / 256) * std::acos(-1) / 180, a1 = (90 + 28 * 45.0 / 256) * std::acos(-1) / 180;
  const Vec2 c{-3 * std::cos(a0), -3 * std::sin(a0)};
  expectPoint(s[0].back(), c.x + 3 * std::cos(a1), c.y + 3 * std::sin(a1));
  // Bulge arc: a half circle to (4,0) with bulge 127 swings counter-clockwise below.
  f = fontWith({12, 4, 0, 127, 0});
  s = units(*f->glyph('A'));
  expectPoint(s[0].back(), 4, 0);
  double low = 1e9;
  for (auto p : s[0]) low = std::min(low, p.y);
  EXPECT_NEAR(low, -2, 0.05);
  // Code 13: several bulge arcs (the second straight), ended by (0,0).
  f = fontWith({13, 4, 0, 127, 0, 4, 0, 0, 0, 0});
  s = units(*f->glyph('A'));
  expectPoint(s[0].back(), 4, 4);
}

TEST(ShxFont, UnifontAndBigFontContainers) {
  // Unicode font: 2-byte shape numbers, subshapes with 2-byte numbers.
  const auto uni = testing::unifontFile("U", 10, 3, {{0x00E9, "", {0x50, 0}}, {0x4E00, "", {7, 0x00, 0xE9, 0x1A, 0}}});
  std::string err;
  auto u = loadShxFont(uni, &err);
  ASSERT_TRUE(u) << err;
  EXPECT_TRUE(u->isUnicode());
  ASSERT_NE(u->glyph(0x4E00), nullptr);
  EXPECT_NEAR(u->glyph(0x00E9)->advance.x, 0.5, kEps);
  const auto& st = u->glyph(0x4E00)->strokes;
  ASSERT_EQ(st.size(), 1u);
  expectPoint(st[0].back(), 0.4, -0.1);
  EXPECT_NEAR(u->descent(), 0.3, kEps);

  // Big font: lead bytes 0x81-0x9F; an extended subshape scaled into a box.
  const auto big = testing::bigfontFile(
      8, 0, {{0x81, 0x9F}}, {{0x8140, "", {0x80, 0}}, {0x8141, "", {7, 0, 0x81, 0x40, 2, 2, 4, 8, 0}}});
  auto b = loadShxFont(big, &err);
  ASSERT_TRUE(b) << err;
  EXPECT_TRUE(b->isBigFont());
  EXPECT_TRUE(b->isLeadByte(0x81));
  EXPECT_TRUE(b->isLeadByte(0x9F));
  EXPECT_FALSE(b->isLeadByte(0x41));
  ASSERT_NE(b->glyph(0x8140), nullptr);
  EXPECT_NEAR(b->glyph(0x8140)->advance.x, 1, kEps);
  const Glyph* e = b->glyph(0x8141);
  ASSERT_NE(e, nullptr);
  ASSERT_EQ(e->strokes.size(), 1u);
  // 8 units wide at half width (4/8), from the base point (2,2).
  expectPoint(e->strokes[0].front(), 0.25, 0.25);
  expectPoint(e->strokes[0].back(), 0.75, 0.25);
}

TEST(ShxFont, BigFontCodesInTextAndShapeFontSymbols) {
  const auto dir = std::filesystem::temp_directory_path() / "kelvaro_text_big";
  std::filesystem::create_directories(dir);
  auto write = [&](const char* name, const std::vector<std::uint8_t>& b) {
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
  };
  write("big.shx", testing::bigfontFile(8, 0, {{0x81, 0x9F}}, {{0x8140, "", {0x80, 0x44, 0}}}));
  // Shape font with the degree sign at 256 and a plain 'A'.
  write("sym.shx", shapesFile({{0, "S", {4, 1, 0, 0}}, {'A', "A", {0x40, 0}}, {256, "DEG", {2, 0x44, 1, 0x10, 0}}}));
  FontLibrary lib([&](const std::string& n) {
    const auto p = dir / n;
    return std::filesystem::exists(p) ? p.string() : std::string();
  });
  TextStyle st;
  st.font = "sym.shx";
  st.bigFont = "big.shx";
  Text t;
  t.height = 1;
  t.text = "\xC2\x81@%%d";  // bytes 0x81 0x40 (one big-font character), then the degree sign
  testing::RecordingOut out;
  layoutText(t, 0, st, lib, out);
  ASSERT_EQ(out.strokes.size(), 2u);
  // The big-font glyph: right 8 then up 4 (of 8): ends at (1, 0.5).
  expectPoint(out.strokes[0].back(), 1, 0.5);
  // The degree sign from shape 256 (up with the pen up, then a stroke), after an advance of 1.
  expectPoint(out.strokes[1].front(), 1, 1);
  expectPoint(out.strokes[1].back(), 1.25, 1);
  std::filesystem::remove_all(dir);
}

TEST(ShxFont, DamagedFilesGiveAMessageNeverACrash) {
  std::string err;
  EXPECT_FALSE(loadShxFont({}, &err));
  EXPECT_FALSE(err.empty());
  EXPECT_FALSE(loadShxFont({'h', 'e', 'l', 'l', 'o'}, &err));
  const std::string sig = "AutoCAD-86 shapes 1.0\r\n\x1A";
  EXPECT_FALSE(loadShxFont(std::vector<std::uint8_t>(sig.begin(), sig.end()), &err));
  EXPECT_NE(err.find("Truncated"), std::string::npos) << err;

  // Every prefix of good files either loads or fails cleanly; glyphs of what loads are finite.
  const std::vector<std::vector<std::uint8_t>> files{
      shapesFile({{0, "T", {4, 2, 0, 0}}, {'A', "A", {10, 2, 0x04, 11, 56, 28, 0, 3, 0x12, 13, 4, 0, 127, 0, 0, 0}},
                  {'B', "B", {7, 'A', 9, 1, 1, 0, 0, 0}}}),
      testing::unifontFile("U", 10, 3, {{0x41, "", {0x50, 0}}, {0x42, "", {7, 0, 0x41, 0}}}),
      testing::bigfontFile(8, 0, {{0x81, 0x9F}}, {{0x8140, "", {0x80, 0}}, {0x8141, "", {7, 0, 0x81, 0x40, 2, 2, 4, 8, 0}}})};
  for (const auto& full : files) {
    for (std::size_t n = 0; n <= full.size(); ++n) {
      std::vector<std::uint8_t> part(full.begin(), full.begin() + n);
      std::string e;
      auto f = loadShxFont(part, &e);
      if (!f) {
        EXPECT_FALSE(e.empty()) << n;
        continue;
      }
      for (char32_t c : {0x41u, 0x42u, 0x8140u, 0x8141u}) {
        const Glyph* g = f->glyph(c);
        if (!g) continue;
        for (const auto& s : g->strokes)
          for (const auto& p : s) ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
      }
    }
  }
  // Random damage after the header never hangs or crashes.
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    auto bytes = files[round % files.size()];
    for (int k = 0; k < 6; ++k) bytes[30 + rng() % (bytes.size() - 30)] = static_cast<std::uint8_t>(rng());
    auto f = loadShxFont(bytes);
    if (f)
      for (char32_t c = 0x40; c < 0x44; ++c) (void)f->glyph(c);
  }
  // Zero divisors and runaway programs.
  auto f = fontWith({3, 0, 4, 0, 0x10, 0});
  EXPECT_NEAR(f->glyph('A')->advance.x, 0.25, kEps);
  std::vector<std::uint8_t> loop;
  for (int k = 0; k < 200; ++k) loop.insert(loop.end(), {4, 255});
  loop.insert(loop.end(), {0xF0, 0});
  f = fontWith(loop);
  const Glyph* g = f->glyph('A');
  ASSERT_NE(g, nullptr);
  EXPECT_TRUE(std::isfinite(g->advance.x));
  ASSERT_FALSE(g->strokes.empty());
  for (const auto& p : g->strokes[0]) EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
  // The fuzzer's find: a damaged 1.1 font whose programs once gave points at infinity.
  static const char kBad[] =
      "AutoCAD-86 shapes 1.1\r\n\x1a\xa0\x00" "B\x00\x03\x00\x00\x00\x06\x00" "A\x00\x1f\x00" "B\xfd\x14\x00"
      "ot\x00\x00\x01\x00\x02Q\x00" "A\x08\x00\x04\x01L \x02\x02\x07" "A\x05\x0b\x06\x14\x00T\x00\x04"
      "ADuA\x07" "AotC\x05\x14" "es 1.-A\x05\x14\x00" "B\x0a\x02\x00\x8d\x0b" "8\x1c\x00\x03\x12\x09\x01" "4\x02\x08" "F";
  const std::string bad(kBad, sizeof kBad - 1);
  f = loadShxFont(std::vector<std::uint8_t>(bad.begin(), bad.end()));
  if (f)
    for (char32_t c = 0; c < 300; ++c) {
      const Glyph* q = f->glyph(c);
      if (!q) continue;
      for (const auto& s : q->strokes)
        for (const auto& p : s) ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y)) << unsigned(c);
    }
}

}  // namespace
}  // namespace kelvaro::cad
