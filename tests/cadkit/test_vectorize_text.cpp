// Text in the walk: strokes placed in pixels, quick text, TrueType runs and attributes.
#include "vec_fixture.h"

namespace kelvaro::cad::test {
namespace {

using VecText = VecTest;

struct Box {
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
};
Box boxOf(const std::vector<const Call*>& calls) {
  Box b;
  for (const auto* c : calls)
    for (const auto& p : c->pts) b.x0 = std::min(b.x0, p.x), b.x1 = std::max(b.x1, p.x), b.y0 = std::min(b.y0, p.y),
                                 b.y1 = std::max(b.y1, p.y);
  return b;
}

Text text(Vec3 at, double h, const std::string& s) {
  Text t;
  t.insert = at;
  t.height = h;
  t.text = s;
  return t;
}

TEST_F(VecText, TextStrokesSitOnTheBaselineAtTheirPlace) {
  add(text({20, 30, 0}, 10, "HI"));
  draw();
  auto l = lines();
  ASSERT_GT(l.size(), 1u);
  Box b = boxOf(l);
  EXPECT_NEAR(b.x0, 20, 2);
  EXPECT_NEAR(b.y0, 30, 0.5);  // capitals start on the baseline ...
  EXPECT_NEAR(b.y1, 40, 0.5);  // ... and reach the height
  EXPECT_GT(b.x1, 30);
  // Turned a quarter, the text rises from the insertion point.
  live().modelSpace().entities[0].get<Text>().rotation = 90;
  adForceRegen(d);
  draw();
  b = boxOf(lines());
  EXPECT_NEAR(b.y0, 30, 2);
  EXPECT_GT(b.y1, 40);
  EXPECT_NEAR(b.x1, 20, 0.5);  // the letters' tops point to -x
  EXPECT_NEAR(b.x0, 10, 0.5);
}

TEST_F(VecText, QuickTextDrawsBoxesAndFollowsTheHeader) {
  add(text({20, 30, 0}, 10, "HELLO"));
  draw();
  std::size_t full = lines().size();
  live().header.quickText = 1;
  draw();  // the header change alone regenerates
  auto l = lines();
  ASSERT_GE(l.size(), 1u);
  EXPECT_LT(l.size(), full);
  Box b = boxOf(l);
  EXPECT_NEAR(b.x0, 20, 1e-6);
  EXPECT_NEAR(b.y1, 40, 0.5);
}

TEST_F(VecText, TrueTypeRunsGoToTheSinkWhenItTakesTheFont) {
  TableEntry<TextStyle> st;
  st.rec.name = "ARIAL";
  st.rec.font = "arial.ttf";
  doc.styles.entries.push_back(st);
  Text t = text({10, 10, 0}, 5, "Plan");
  t.style = "ARIAL";
  add(t);
  sink.acceptTtf = true;
  draw();
  auto runs = sink.of(Call::Ttf);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]->text, "Plan");
  EXPECT_GT(runs[0]->advance, 2);  // about one text unit per letter
  EXPECT_NEAR(runs[0]->pts[0].x, 10, 1e-6);
  EXPECT_NEAR(runs[0]->pts[2].y, 5, 1e-6);  // one text unit up is the height
  EXPECT_EQ(lines().size(), 0u);
  // A sink without the font gets strokes instead.
  adCloseFile(d);
  d = 0;
  sink.acceptTtf = false;
  draw();
  EXPECT_EQ(sink.count(Call::Ttf), 0u);
  EXPECT_GT(lines().size(), 0u);
}

TEST_F(VecText, StylesNamingAFamilyAreTrueType) {
  TableEntry<TextStyle> st;
  st.rec.name = "TITLE";
  st.rec.font = "";  // only the family in the extended data
  Tag app;
  app.code = 1001;
  app.text = "ACAD";
  Tag fam;
  fam.code = 1000;
  fam.text = "Arial Narrow";
  st.frame.xdata() = {app, fam};
  doc.styles.entries.push_back(st);
  Text t = text({10, 10, 0}, 5, "North");
  t.style = "title";
  add(t);
  sink.acceptTtf = true;
  draw();
  ASSERT_EQ(sink.count(Call::Ttf), 1u);
}

TEST_F(VecText, AttributesShowDefinitionsInsideBlocksDoNot) {
  Block& b = block("TAG");
  AttDef def;
  def.insert = {0, 0, 0};
  def.height = 5;
  def.tag = "ROOM";
  b.entities.push_back(makeEntity(def));
  Insert in;
  in.block = "TAG";
  in.insert = {50, 50, 0};
  Attrib a;
  a.data.insert = {60, 60, 0};
  a.data.height = 5;
  a.data.text = "101";
  in.attribs.push_back(a);
  Attrib hidden = a;
  hidden.data.flags = 1;
  hidden.data.insert = {10, 10, 0};
  in.attribs.push_back(hidden);
  add(in);
  draw();
  Box bx = boxOf(lines());
  ASSERT_LT(bx.x0, bx.x1);
  EXPECT_NEAR(bx.x0, 60, 2);  // only the visible value, where it was placed
  EXPECT_NEAR(bx.y0, 60, 0.5);
  // Drawn directly, a definition shows its tag.
  adCloseFile(d);
  d = 0;
  doc.modelSpace().entities.clear();
  add(def);
  draw();
  EXPECT_GT(lines().size(), 0u);
}

TEST_F(VecText, ExtrudedMTextLiesInItsPlane) {
  MText m;
  m.insert = {30, 40, 0};  // world point
  m.height = 5;
  m.text = "A";
  m.normal = {0, 0, -1};
  m.xDirection = {-1, 0, 0};  // world -x: its own x axis in that plane
  add(m);
  draw();
  Box b = boxOf(lines());
  ASSERT_LT(b.x0, b.x1);
  EXPECT_NEAR(b.x1, 30, 1);  // starts at the world insertion point and runs towards -x
  EXPECT_LT(b.x0, 28);
  EXPECT_NEAR(b.y1, 40, 0.5);  // top-left attachment: the text hangs below it
}

}  // namespace
}  // namespace kelvaro::cad::test
