// SHX fonts read from bytes assembled after the format description.
#include <gtest/gtest.h>

#include "cadkit/text_test_util.h"

namespace kelvaro::cad {
namespace {

using testing::shapesFile;

TEST(ShxFont, VectorCodesGiveStrokesInCapitalHeights) {
  // Font info: above 4, below 1. Shape 'L': down 4, right 2 (pen starts down).
  const auto bytes = shapesFile({{0, "TEST", {4, 1, 0, 0}},
                                 {'L', "L", {0x2, 0x8, 0x0, 0x4, 0x1, 0x4C, 0x20, 0x2, 0x10, 0}}});
  std::string err;
  auto f = loadShxFont(bytes, &err);
  ASSERT_TRUE(f) << err;
  const Glyph* g = f->glyph('L');
  ASSERT_NE(g, nullptr);
  ASSERT_EQ(g->strokes.size(), 1u);
  const auto& s = g->strokes[0];
  ASSERT_EQ(s.size(), 3u);
  EXPECT_NEAR(s[0].x, 0, 1e-12);
  EXPECT_NEAR(s[0].y, 1, 1e-12);
  EXPECT_NEAR(s[1].y, 0, 1e-12);
  EXPECT_NEAR(s[2].x, 0.5, 1e-12);
  EXPECT_NEAR(g->advance.x, 0.75, 1e-12);
  EXPECT_NEAR(f->descent(), 0.25, 1e-12);
}

TEST(ShxFont, NotAFontGivesAMessage) {
  std::string err;
  EXPECT_FALSE(loadShxFont({'h', 'e', 'l', 'l', 'o'}, &err));
  EXPECT_FALSE(err.empty());
}

}  // namespace
}  // namespace kelvaro::cad
