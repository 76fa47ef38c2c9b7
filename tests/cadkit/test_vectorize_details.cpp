// The walk on what plain outlines leave out: thickness, point figures, multilines with their
// styles, and the pairing of raster image preparation and release.
#include <algorithm>
#include <tuple>

#include "vec_fixture.h"

namespace kelvaro::cad::test {
namespace {

constexpr double kEps = 1e-6;
using VecDetails = VecTest;

Tag text(int code, const std::string& value) {
  Tag t;
  t.code = code;
  t.text = value;
  return t;
}

void headerVar(Document& doc, const std::string& name, int code, const std::string& value) {
  doc.header.all.push_back({name, {text(code, value)}});
}

// Looking at the drawing from the front: screen x is world x, screen y is world z.
void frontView(AdViewRecord& v) {
  v.direction = {0, -1, 0};
  v.center = {50, 50};
}

double span(const Call* c, bool alongY) {
  double lo = 1e300, hi = -1e300;
  for (const auto& p : c->pts) {
    lo = std::min(lo, alongY ? p.y : p.x);
    hi = std::max(hi, alongY ? p.y : p.x);
  }
  return hi - lo;
}

TEST_F(VecDetails, ThicknessExtrudesOutlinesAlongTheirNormal) {
  Line l = lineEnt({10, 0, 5}, {40, 0, 5});
  l.thickness = 20;
  add(l);
  Circle c;
  c.center = {70, 0, 10};
  c.radius = 10;
  c.thickness = 30;
  add(c);
  frontView(view);
  draw();
  auto pl = lines();
  // The line: bottom, top and two sides; the circle: bottom, top and one side per segment.
  std::size_t segs = 8 + 4 * 10;
  ASSERT_EQ(pl.size(), 4 + 2 + segs);
  EXPECT_NEAR(pl[1]->pts[0].y, 25, kEps);  // the top of the line, 20 above z = 5
  EXPECT_NEAR(pl[1]->pts[1].x, 40, kEps);
  EXPECT_NEAR(span(pl[2], true), 20, kEps);
  EXPECT_NEAR(span(pl[3], true), 20, kEps);
  EXPECT_NEAR(pl[5]->pts[0].y, 40, kEps);  // the circle's top at z = 10 + 30
  for (std::size_t i = 6; i < pl.size(); ++i) EXPECT_NEAR(span(pl[i], true), 30, kEps);

  // Seen from above the same drawing still shows two outlines and points where sides are.
  view = AdViewRecord{};
  view.center = {50, 50};
  view.width = view.height = 100;
  draw();
  for (std::size_t i = 2; i < 4; ++i) EXPECT_NEAR(span(lines()[i], false), 0, kEps);
}

TEST_F(VecDetails, ThicknessOfFillsPointsArcsAndPolylinesButNotText) {
  Solid s;
  s.p[0] = {10, 0, 0};
  s.p[1] = {20, 0, 0};
  s.p[2] = {10, 10, 0};
  s.p[3] = {20, 10, 0};
  s.thickness = 15;
  add(s);
  Point p;
  p.location = {50, 0, 20};
  p.thickness = -10;  // downwards
  add(p);
  LwPolyline lw;
  lw.vertices.resize(3);
  lw.vertices[0].p = {60, 0};
  lw.vertices[1].p = {70, 0};
  lw.vertices[2].p = {70, 10};
  lw.thickness = 5;
  add(lw);
  Arc a;
  a.center = {-30, 30, -20};  // (30, 30, 20) in the world
  a.radius = 5;
  a.startAngle = 0;
  a.endAngle = 90;
  a.normal = {0, 0, -1};  // its thickness points down the world z axis
  a.thickness = 8;
  add(a);
  Text t;
  t.text = "AB";
  t.height = 5;
  t.insert = {80, 0, 0};
  t.thickness = 50;
  add(t);
  frontView(view);
  draw();
  auto polys = sink.of(Call::Polygon);
  ASSERT_EQ(polys.size(), 2u);  // bottom and top
  EXPECT_NEAR(polys[1]->pts[0].y, 15, kEps);
  bool pointSide = false, lwTop = false, arcDown = false;
  double textTop = -1e300;
  for (const Call* c : lines()) {
    double x0 = c->pts.front().x;
    if (std::fabs(x0 - 50) < kEps && std::fabs(span(c, true) - 10) < kEps) pointSide = true;
    if (x0 >= 60 - kEps && x0 <= 70 + kEps && std::fabs(c->pts.front().y - 5) < kEps && c->pts.size() == 3) lwTop = true;
    if (x0 >= 25 && x0 <= 36 && std::fabs(c->pts.front().y - 12) < kEps && c->pts.size() > 2) arcDown = true;
    if (x0 >= 80 - kEps)
      for (const auto& q : c->pts) textTop = std::max(textTop, q.y);
  }
  EXPECT_TRUE(pointSide);
  EXPECT_TRUE(lwTop);
  EXPECT_TRUE(arcDown);
  EXPECT_LT(textTop, 1);  // text lies flat: seen edge-on it stays on its baseline plane
  // Four sides of the solid, one of the point, three of the polyline, one per arc vertex.
  std::size_t sides = 0;
  for (const Call* c : lines())
    if (c->pts.size() == 2 && std::fabs(c->pts[0].x - c->pts[1].x) < kEps && span(c, true) > 1) ++sides;
  EXPECT_EQ(sides, 4u + 1 + 3 + 13);
}

TEST_F(VecDetails, ThicknessIsScaledWithTheBlockAndBrokenValuesAreIgnored) {
  Block& b = block("POST");
  Line l = lineEnt({0, 0, 0}, {10, 0, 0});
  l.thickness = 5;
  b.entities.push_back(makeEntity(l));
  Line bad = lineEnt({0, 0, 0}, {10, 0, 0});
  bad.thickness = std::nan("");
  b.entities.push_back(makeEntity(bad));
  Insert in;
  in.block = "POST";
  in.insert = {20, 0, 0};
  in.sz = 3;
  add(in);
  frontView(view);
  draw();
  auto pl = lines();
  ASSERT_EQ(pl.size(), 5u);  // the extruded line (4) and the broken one alone
  EXPECT_NEAR(pl[1]->pts[0].y, 15, kEps);
}

TEST_F(VecDetails, PointFiguresFollowPdmode) {
  struct Case {
    const char* mode;
    std::size_t polylines;
    bool dot;
  } cases[] = {{"0", 1, true}, {"1", 0, false}, {"2", 2, false}, {"3", 2, false}, {"4", 1, false},
               {"34", 3, false}, {"66", 3, false}, {"97", 2, false}, {"35", 3, false}, {"junk", 1, true},
               {"1e300", 1, true}, {"7", 1, true}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.mode);
    if (d) adCloseFile(d), d = 0;
    doc.header.all.clear();
    doc.modelSpace().entities.clear();
    headerVar(doc, "$PDMODE", 70, k.mode);
    headerVar(doc, "$PDSIZE", 40, "10");
    Point p;
    p.location = {50, 50, 0};
    add(p);
    draw();
    auto pl = lines();
    ASSERT_EQ(pl.size(), k.polylines);
    std::size_t dots = 0;
    for (const Call* c : pl) {
      bool isDot = c->pts.size() == 2 && std::fabs(c->pts[0].x - c->pts[1].x) < kEps && std::fabs(c->pts[0].y - c->pts[1].y) < kEps;
      dots += isDot;
      // Every figure lies within the size around the point.
      for (const auto& q : c->pts) {
        EXPECT_LE(std::fabs(q.x - 50), 5 + kEps);
        EXPECT_LE(std::fabs(q.y - 50), 5 + kEps);
      }
    }
    EXPECT_EQ(dots, k.dot ? 1u : 0u);
  }
}

TEST_F(VecDetails, PointFigureSizesAbsoluteAndRelativeToTheView) {
  headerVar(doc, "$PDMODE", 70, "2");
  headerVar(doc, "$PDSIZE", 40, "0");  // 5 % of the view height
  Point p;
  p.location = {50, 50, 0};
  p.xAxisAngle = 90;  // a plus turned a quarter is still a plus
  add(p);
  draw();
  ASSERT_EQ(lines().size(), 2u);
  EXPECT_NEAR(span(lines()[0], true), 5, kEps);
  EXPECT_NEAR(span(lines()[1], false), 5, kEps);
  // Zoomed out twice as far the figure keeps its size on the screen.
  view.width = view.height = 200;
  view.center = {50, 50};
  draw();
  ASSERT_EQ(lines().size(), 2u);
  EXPECT_NEAR(span(lines()[0], true) + span(lines()[0], false), 5, kEps);
  // A negative size is a percentage of the view height; a positive one is drawing units.
  adCloseFile(d), d = 0;
  doc.header.all[1].tags[0].text = "-20";
  draw();
  EXPECT_NEAR(span(lines()[0], true) + span(lines()[0], false), 20, kEps);
  adCloseFile(d), d = 0;
  doc.header.all[1].tags[0].text = "30";
  draw();
  EXPECT_NEAR(span(lines()[0], true) + span(lines()[0], false), 15, kEps);  // 30 units at half scale
}

// A multiline style as a file keeps it: flags, fill colour, then offset, colour and linetype of
// each element.
void mlineStyle(Document& doc, const std::string& name, int flags, int fill,
                const std::vector<std::tuple<double, int, std::string>>& elements) {
  Object o;
  o.frame.handle = doc.newHandle();
  o.data = RawObject{"MLINESTYLE"};
  std::vector<Tag> tags = {text(2, name), text(70, std::to_string(flags)), text(3, ""), text(62, std::to_string(fill)),
                           text(51, "90.0"), text(52, "90.0"), text(71, std::to_string(elements.size()))};
  for (const auto& [off, col, lt] : elements) {
    tags.push_back(text(49, std::to_string(off)));
    tags.push_back(text(62, std::to_string(col)));
    tags.push_back(text(6, lt));
  }
  o.frame.extras().push_back({"AcDbMlineStyle", tags});
  doc.objects.push_back(o);
}

// A straight multiline from (10, 50) to (70, 50) with a vertex at 40 and elements 5 above, on
// and 5 below its axis.
MLine straightMLine(const std::string& style) {
  MLine ml;
  ml.style = style;
  for (double x : {10.0, 40.0, 70.0}) {
    MLineVertex v;
    v.location = {x, 50, 0};
    v.direction = {1, 0, 0};
    v.miter = {0, 1, 0};
    for (double off : {5.0, 0.0, -5.0}) {
      MLineElement e;
      e.params = {off, 0};
      v.elements.push_back(e);
    }
    ml.vertices.push_back(v);
  }
  return ml;
}

TEST_F(VecDetails, MultilineElementsTakeColourLinetypeAndBreaksFromStyleAndVertices) {
  addLayer("WALLS", 4);
  addLinetype("DASHED", {4, -2});
  mlineStyle(doc, "WALL", 1 | 2 | 16 | 1024, 2, {{5, 1, "BYLAYER"}, {0, 256, "DASHED"}, {-5, 0, "BYLAYER"}});
  MLine ml = straightMLine("wall");  // style names ignore case
  ml.vertices[0].elements[1].params = {0, 0, 10, 20};  // the middle element broken from 20 to 30
  ml.vertices[0].elements[0].params = {5, 0, 10};       // the top one stops at 20
  Entity& e = add(ml, "WALLS");
  e.common.color = 6;
  draw();
  auto polys = sink.of(Call::Polygon);
  ASSERT_EQ(polys.size(), 2u);  // the fill of each segment, under the lines
  EXPECT_EQ(polys[0]->color, 2);
  EXPECT_NEAR(span(polys[0], true), 10, kEps);
  std::vector<const Call*> top, middle, bottom, across;
  for (const Call* c : lines()) {
    bool level = std::fabs(c->pts.front().y - c->pts.back().y) < kEps && c->pts.size() >= 2;
    if (level && std::fabs(c->pts[0].y - 55) < kEps) top.push_back(c);
    else if (level && std::fabs(c->pts[0].y - 50) < kEps) middle.push_back(c);
    else if (level && std::fabs(c->pts[0].y - 45) < kEps) bottom.push_back(c);
    else across.push_back(c);
  }
  // Top: colour 1, from 10 to 20 then the whole second segment.
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(top[0]->color, 1);
  EXPECT_NEAR(top[0]->pts.back().x, 20, kEps);
  EXPECT_NEAR(top[1]->pts.front().x, 40, kEps);
  EXPECT_NEAR(top[1]->pts.back().x, 70, kEps);
  // Bottom: BYBLOCK is the multiline's own colour, one run over both segments.
  ASSERT_EQ(bottom.size(), 1u);
  EXPECT_EQ(bottom[0]->color, 6);
  EXPECT_EQ(bottom[0]->pts.size(), 3u);
  // Middle: the layer's colour, dashed, with nothing between 20 and 30.
  ASSERT_GT(middle.size(), 5u);
  for (const Call* c : middle) {
    EXPECT_EQ(c->color, 4);
    for (const auto& q : c->pts) EXPECT_FALSE(q.x > 20 + kEps && q.x < 30 - kEps);
  }
  // Across: the joint at 40, the start line at 10 and the round end cap beyond 70.
  bool joint = false, startLine = false, endArc = false;
  for (const Call* c : across) {
    double x0 = c->pts.front().x;
    if (c->pts.size() == 2 && std::fabs(x0 - 40) < kEps && std::fabs(span(c, true) - 10) < kEps) joint = true;
    if (c->pts.size() == 2 && std::fabs(x0 - 10) < kEps && std::fabs(span(c, true) - 10) < kEps) startLine = true;
    if (c->pts.size() > 2) {
      double far = 0;
      for (const auto& q : c->pts) far = std::max(far, q.x);
      endArc = std::fabs(far - 75) < 1e-3 && std::fabs(c->pts.front().y - 55) < kEps && std::fabs(c->pts.back().y - 45) < kEps;
    }
  }
  EXPECT_TRUE(joint);
  EXPECT_TRUE(startLine);
  EXPECT_TRUE(endArc);
  EXPECT_EQ(across.size(), 3u);
}

TEST_F(VecDetails, MultilineCapsInnerArcsSuppressionClosureAndBrokenData) {
  mlineStyle(doc, "ROUND", 64 | 32 | 256, 256, {{5, 256, "BYLAYER"}, {2, 256, "BYLAYER"}, {-2, 256, "BYLAYER"}, {-5, 256, "BYLAYER"}});
  MLine ml = straightMLine("ROUND");
  for (auto& v : ml.vertices) {
    v.elements.clear();
    for (double off : {5.0, 2.0, -2.0, -5.0}) {
      MLineElement e;
      e.params = {off};
      v.elements.push_back(e);
    }
  }
  ml.flags = 1 | 8;  // end caps suppressed
  add(ml);
  draw();
  std::size_t arcs = 0, levels = 0, others = 0;
  for (const Call* c : lines()) {
    if (std::fabs(c->pts.front().y - c->pts.back().y) < kEps) {
      ++levels;
    } else if (c->pts.size() > 2 && c->pts.front().x <= 10 + kEps) {
      ++arcs;
      for (const auto& q : c->pts) EXPECT_LE(q.x, 10 + kEps);  // start caps bulge backwards
    } else {
      ++others;
    }
  }
  EXPECT_EQ(arcs, 2u);    // outer arc and one pair of inner arcs
  EXPECT_EQ(levels, 4u);  // the four elements
  EXPECT_EQ(others, 0u);  // no end line: suppressed

  // Closed: no caps at all, each element round the loop.
  adCloseFile(d), d = 0;
  doc.modelSpace().entities.clear();
  ml.flags = 1 | 2;
  ml.vertices[2].location = {40, 80, 0};
  add(ml);
  draw();
  EXPECT_EQ(lines().size(), 4u);
  for (const Call* c : lines()) EXPECT_EQ(c->pts.size(), 4u);

  // Without its style the elements still show; broken numbers draw nothing and never crash.
  adCloseFile(d), d = 0;
  doc.modelSpace().entities.clear();
  MLine lone = straightMLine("NOSUCH");
  add(lone);
  MLine bad = straightMLine("ROUND");
  bad.vertices[1].location.x = std::nan("");
  add(bad);
  MLine empty;
  add(empty);
  MLine noElements = straightMLine("ROUND");
  for (auto& v : noElements.vertices) v.elements.clear();
  add(noElements);
  draw();
  EXPECT_EQ(lines().size(), 3u);
  EXPECT_EQ(sink.count(Call::Polygon), 0u);
}

// An image definition and an image of it at `at`, 20 × 10 units.
void image(Document& doc, const std::string& file, Vec3 at) { test::addImage(doc, file, at); }

class StoppingSink : public RecordingSink {
 public:
  bool stop = false;
  bool cancelled() override { return stop; }
};

TEST_F(VecDetails, EveryPreparedImageIsReleasedOnceAfterEachDraw) {
  image(doc, "a.png", {10, 10, 0});
  image(doc, "b.png", {90, 90, 0});    // partly outside the window: drawn clipped
  image(doc, "far.png", {500, 500, 0});  // outside: never prepared
  image(doc, "missing.png", {10, 60, 0});
  image(doc, "a.png", {40, 10, 0});    // a second image of the same file
  sink.preparable = {"a.png", "b.png", "far.png"};
  draw();
  EXPECT_EQ(sink.count(Call::Image), 3u);
  EXPECT_EQ(sink.prepared, (std::vector<std::string>{"a.png", "b.png", "a.png"}));
  auto released = sink.released;
  std::sort(released.begin(), released.end());
  EXPECT_EQ(released, (std::vector<std::int32_t>{0, 0, 1}));
  draw();
  EXPECT_EQ(sink.prepared.size(), 6u);
  EXPECT_EQ(sink.released.size(), 6u);

  // A draw stopped part way still hands back what it prepared.
  StoppingSink stopping;
  stopping.preparable = sink.preparable;
  for (int i = 0; i < 5000; ++i) add(lineEnt({1, 1, 0}, {2, 2, 0}));
  adForceRegen(d);
  ASSERT_EQ(adDrawDrawing(d, stopping), 1);
  stopping.stop = true;
  stopping.prepared.clear();
  stopping.released.clear();
  ASSERT_EQ(adDrawDrawing(d, stopping), 1);
  EXPECT_GT(stopping.prepared.size(), 0u);
  EXPECT_EQ(stopping.prepared.size(), stopping.released.size());
}

}  // namespace
}  // namespace kelvaro::cad::test

namespace kelvaro::cad::test {
namespace {

using VecComplexLinetype = VecTest;

// A style for the shapes and texts of linetypes; returns its handle.
Handle shapeStyle(Document& doc, const std::string& name, const std::string& font) {
  TableEntry<TextStyle> st;
  st.frame.handle = doc.newHandle();
  st.rec.name = name;
  st.rec.font = font;
  st.rec.fixedHeight = 0;
  doc.styles.entries.push_back(st);
  return st.frame.handle;
}

// Dash 10, then a gap of 10 that carries `embedded` at its start.
void complexLinetype(Document& doc, const std::string& name, Dash embedded) {
  TableEntry<Linetype> e;
  e.rec.name = name;
  Dash dash;
  dash.length = 10;
  embedded.length = -10;
  e.rec.dashes = {dash, embedded};
  e.rec.length = 20;
  doc.linetypes.entries.push_back(e);
}

struct Box {
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  void add(const PixelPoint& p) {
    x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
  }
};

// Strokes that are not pieces of the line itself (those lie on y = 50 or x = 50).
std::vector<Box> strokesOff(const std::vector<const Call*>& calls, bool vertical) {
  std::vector<Box> out;
  for (const Call* c : calls) {
    bool onLine = true;
    for (const auto& p : c->pts) onLine = onLine && std::fabs((vertical ? p.x : p.y) - 50) < 1e-9;
    if (onLine && c->pts.size() == 2) continue;
    Box b;
    for (const auto& p : c->pts) b.add(p);
    out.push_back(b);
  }
  return out;
}

TEST_F(VecComplexLinetype, TextsSitAtTheirElementTurnedWithTheLine) {
  Handle style = shapeStyle(doc, "LT", "txt");
  Dash text;
  text.complex = 2;  // text, rotation relative to the line
  text.text = "I";
  text.style = style;
  text.scale = 4;
  text.offset = {2, -2};
  complexLinetype(doc, "GAS", text);
  Line h = lineEnt({0, 50, 0}, {100, 50, 0});
  add(h).common.linetype = "GAS";
  draw();
  auto along = strokesOff(lines(), false);
  // One letter per pattern repeat: at 10, 30, 50, 70, 90 (+2), from 2 below the line up to 2 above.
  ASSERT_EQ(along.size(), 5u);
  for (std::size_t i = 0; i < along.size(); ++i) {
    EXPECT_GE(along[i].x0, 10 + 20.0 * i + 2 - 1e-6);
    EXPECT_LE(along[i].x1, 10 + 20.0 * i + 2 + 4);
    EXPECT_NEAR(along[i].y0, 48, 1e-6);
    EXPECT_NEAR(along[i].y1, 52, 1e-6);
  }
  // Drawn upwards the letter lies on its side; with an absolute angle it stays upright.
  adCloseFile(d), d = 0;
  doc.modelSpace().entities.clear();
  add(lineEnt({50, 0, 0}, {50, 100, 0})).common.linetype = "GAS";
  draw();
  auto up = strokesOff(lines(), true);
  ASSERT_EQ(up.size(), 5u);
  EXPECT_NEAR(up[0].x1 - up[0].x0, 4, 1e-6);  // the letter's height now runs across
  EXPECT_NEAR(up[0].x1, 52, 1e-6);             // the offset below the line is to its right
  adCloseFile(d), d = 0;
  doc.linetypes.entries.back().rec.dashes[1].complex = 3;
  draw();
  up = strokesOff(lines(), true);
  ASSERT_EQ(up.size(), 5u);
  EXPECT_NEAR(up[0].y1 - up[0].y0, 4, 1e-6);  // upright again
  // Turned a quarter (radians) against the upward line: lying on its side once more.
  adCloseFile(d), d = 0;
  doc.linetypes.entries.back().rec.dashes[1].rotation = M_PI / 2;
  draw();
  up = strokesOff(lines(), true);
  ASSERT_EQ(up.size(), 5u);
  EXPECT_NEAR(up[0].x1 - up[0].x0, 4, 1e-6);
}

TEST_F(VecComplexLinetype, ShapesComeFromTheStylesFileAndScaleWithTheLinetype) {
  // The shape file cannot be found here: its shapes come from the built-in font by number.
  Handle style = shapeStyle(doc, "SHAPES", "ltypeshp.shx");
  Dash shape;
  shape.complex = 4;
  shape.shape = 'I';
  shape.style = style;
  shape.scale = 2;
  complexLinetype(doc, "FENCE", shape);
  Dash orphan = shape;
  orphan.style = doc.newHandle();  // a style that does not exist: the gap stays empty
  complexLinetype(doc, "NOSTYLE", orphan);
  Entity& e = add(lineEnt({0, 50, 0}, {100, 50, 0}));
  e.common.linetype = "FENCE";
  e.common.ltscale = 0.5;  // pattern 10 long: ten shapes of height 1
  add(lineEnt({0, 20, 0}, {100, 20, 0})).common.linetype = "NOSTYLE";
  draw();
  std::vector<Box> shapes;
  for (const Box& b : strokesOff(lines(), false))
    if (b.y0 > 40) shapes.push_back(b);
  ASSERT_EQ(shapes.size(), 10u);
  EXPECT_NEAR(shapes[0].y1 - shapes[0].y0, 1, 1e-6);
  EXPECT_GE(shapes[0].x0, 5 - 1e-6);
  std::size_t low = 0;
  for (const Call* c : lines()) low += std::fabs(c->pts[0].y - 20) < 1e-9;
  EXPECT_EQ(low, 5u);  // only the dashes
}

}  // namespace
}  // namespace kelvaro::cad::test
