// Placement of TEXT and MTEXT.
#include <gtest/gtest.h>

#include "cadkit/text_test_util.h"

namespace kelvaro::cad {
namespace {

using testing::RecordingOut;

TEST(TextLayout, LeftTextStartsAtInsertionAndScalesWithHeight) {
  Text t;
  t.text = "HI";
  t.insert = {10, 20, 0};
  t.height = 2;
  TextStyle st;
  FontLibrary lib;
  RecordingOut out;
  layoutText(t, 0, st, lib, out);
  const auto b = out.bounds();
  ASSERT_FALSE(b.empty());
  EXPECT_GE(b.x0, 10);
  EXPECT_NEAR(b.y0, 20, 1e-9);
  EXPECT_NEAR(b.y1, 22, 1e-9);
  const Vec2 m = measureTextLine("HI", 2, 1, st, lib);
  EXPECT_LE(b.x1, 10 + m.x + 1e-9);
}

}  // namespace
}  // namespace kelvaro::cad
