// The walk: tessellation, linetypes, blocks and arrays, colours, extrusions, layers, fills,
// paper-space viewports and the cache; and every corpus drawing drawn without error.
#include <filesystem>

#include "cadkit/dxf_io.h"
#include "cadkit/vec_internal.h"
#include "vec_fixture.h"

namespace kelvaro::cad::test {
namespace {

constexpr double kEps = 1e-6;
using Vec = VecTest;

double len(const Call* c) {
  double s = 0;
  for (std::size_t i = 1; i < c->pts.size(); ++i)
    s += std::hypot(c->pts[i].x - c->pts[i - 1].x, c->pts[i].y - c->pts[i - 1].y);
  return s;
}

TEST_F(Vec, CurveSegmentsGrowWithQuality) {
  Circle c;
  c.center = {50, 50, 0};
  c.radius = 20;
  add(c);
  Arc a;
  a.center = {50, 50, 0};
  a.radius = 10;
  a.startAngle = 0;
  a.endAngle = 90;
  add(a);
  std::size_t prev = 0;
  for (int q : {1, 10, 50}) {
    adSetInterpolationQuality(q);
    draw();
    auto l = lines();
    ASSERT_EQ(l.size(), 2u);
    std::size_t full = 8 + 4 * q;
    EXPECT_EQ(l[0]->pts.size(), full + 1) << q;
    EXPECT_EQ(l[1]->pts.size(), (full + 3) / 4 + 1) << q;
    EXPECT_GT(l[0]->pts.size(), prev);
    prev = l[0]->pts.size();
    // Closed, on the circle, the arc from 0° to 90°.
    EXPECT_NEAR(l[0]->pts.front().x, l[0]->pts.back().x, kEps);
    for (const auto& p : l[0]->pts) EXPECT_NEAR(std::hypot(p.x - 50, p.y - 50), 20, 1e-6);
    EXPECT_NEAR(l[1]->pts.front().x, 60, kEps);
    EXPECT_NEAR(l[1]->pts.back().y, 60, kEps);
  }
}

TEST_F(Vec, DashesFollowThePatternAndItsScales) {
  addLinetype("DASHED", {0.5, -0.25});
  add(lineEnt({0, 0, 0}, {3, 0, 0})).common.linetype = "DASHED";
  draw();
  auto l = lines();
  ASSERT_EQ(l.size(), 4u);
  EXPECT_NEAR(l[1]->pts[0].x, 0.75, kEps);
  EXPECT_NEAR(len(l[1]), 0.5, kEps);
  live().header.ltscale = 2;  // read at the next draw without a forced regeneration
  draw();
  l = lines();
  ASSERT_EQ(l.size(), 2u);
  EXPECT_NEAR(l[1]->pts[0].x, 1.5, kEps);
  EXPECT_NEAR(len(l[1]), 1.0, kEps);
  live().modelSpace().entities[0].common.ltscale = 0.5;
  adForceRegen(d);
  draw();
  EXPECT_EQ(lines().size(), 4u);
}

TEST_F(Vec, DotsAreZeroLengthDashes) {
  addLinetype("DOT", {0, -1});
  add(lineEnt({0, 0, 0}, {3.5, 0, 0}), "0").common.linetype = "DOT";
  draw();
  auto l = lines();
  ASSERT_EQ(l.size(), 4u);  // at 0, 1, 2, 3
  for (std::size_t i = 0; i < l.size(); ++i) {
    ASSERT_EQ(l[i]->pts.size(), 2u);
    EXPECT_NEAR(l[i]->pts[0].x, static_cast<double>(i), kEps);
    EXPECT_EQ(l[i]->pts[0].x, l[i]->pts[1].x);
  }
}

TEST_F(Vec, PolylinePatternRunsOnOnlyWithLinetypeGeneration) {
  addLinetype("DASH", {0.6, -0.2});
  LwPolyline p;
  p.vertices = {{{0, 0}}, {{1, 0}}, {{1, 1}}};
  p.flags = 128;
  add(p).common.linetype = "DASH";
  draw();
  auto l = lines();
  // 0–0.6, then 0.8 round the corner to 1.4, then 1.6–2.0.
  ASSERT_EQ(l.size(), 3u);
  ASSERT_EQ(l[1]->pts.size(), 3u);
  EXPECT_NEAR(l[1]->pts[2].y, 0.4, kEps);
  live().modelSpace().entities[0].get<LwPolyline>().flags = 0;
  adForceRegen(d);
  draw();
  l = lines();
  // Each segment starts the pattern afresh: 0–0.6 and 0.8–1.0 twice.
  ASSERT_EQ(l.size(), 4u);
  for (const auto* c : l) EXPECT_EQ(c->pts.size(), 2u);
  EXPECT_NEAR(l[2]->pts[0].y, 0, kEps);
  EXPECT_NEAR(l[2]->pts[1].y, 0.6, kEps);
}

TEST_F(Vec, TooFinePatternsDrawContinuous) {
  addLinetype("FINE", {1e-9, -1e-9});
  add(lineEnt({0, 0, 0}, {100, 0, 0})).common.linetype = "FINE";
  draw();
  EXPECT_EQ(lines().size(), 1u);
}

TEST_F(Vec, InsertsScaleRotateAndArray) {
  Block& b = block("B", {1, 0, 0});
  b.entities.push_back(makeEntity(lineEnt({1, 0, 0}, {2, 0, 0})));
  Insert in;
  in.block = "B";
  in.insert = {10, 10, 0};
  in.sx = in.sy = 2;
  in.rotation = 90;
  add(in);
  draw();
  auto l = lines();
  ASSERT_EQ(l.size(), 1u);
  EXPECT_NEAR(l[0]->pts[0].x, 10, kEps);
  EXPECT_NEAR(l[0]->pts[0].y, 10, kEps);
  EXPECT_NEAR(l[0]->pts[1].x, 10, kEps);
  EXPECT_NEAR(l[0]->pts[1].y, 12, kEps);
  // Three columns by two rows; the spacing turns with the rotation.
  Insert& live0 = live().modelSpace().entities[0].get<Insert>();
  live0.columns = 3;
  live0.rows = 2;
  live0.columnSpacing = 5;
  live0.rowSpacing = 7;
  adForceRegen(d);
  draw();
  l = lines();
  ASSERT_EQ(l.size(), 6u);
  EXPECT_NEAR(l[1]->pts[0].x, 10, kEps);  // one column over: +5 along the block's x (world +y)
  EXPECT_NEAR(l[1]->pts[0].y, 15, kEps);
  EXPECT_NEAR(l[3]->pts[0].x, 3, kEps);  // one row up: +7 along the block's y (world -x)
  EXPECT_NEAR(l[3]->pts[0].y, 10, kEps);
}

TEST_F(Vec, ByBlockColoursPassThroughNestedInserts) {
  addLayer("L5", 5);
  Block& inner = block("INNER");
  Entity e = makeEntity(lineEnt({0, 0, 0}, {1, 0, 0}));
  e.common.color = 0;  // BYBLOCK
  inner.entities.push_back(e);
  Entity fixed = makeEntity(lineEnt({0, 1, 0}, {1, 1, 0}));
  fixed.common.color = 2;
  inner.entities.push_back(fixed);
  Block& outer = block("OUTER");
  Insert i1;
  i1.block = "INNER";
  Entity ie = makeEntity(i1);
  ie.common.color = 0;
  outer.entities.push_back(ie);
  Insert i2;
  i2.block = "OUTER";
  add(i2).common.color = 3;
  add(i2, "L5");  // BYLAYER on a blue layer
  Insert i3 = i2;
  add(i3);  // BYLAYER on layer 0 (white)
  draw();
  std::vector<int> colors;
  for (const auto* c : lines()) colors.push_back(c->color);
  EXPECT_EQ(colors, (std::vector<int>{3, 2, 5, 2, 7, 2}));
}

TEST_F(Vec, LayerZeroInsideBlocksTakesTheInsertsLayer) {
  addLayer("OFF", -4);
  addLayer("FROZEN", 4);
  doc.layers.entries.back().rec.flags = 1;
  addLayer("SHOWN", 6);
  Block& b = block("B");
  b.entities.push_back(makeEntity(lineEnt({0, 0, 0}, {1, 0, 0})));                       // layer 0
  b.entities.push_back(makeEntity(Line{{0, 1, 0}, {1, 1, 0}}, "SHOWN"));  // own layer
  Insert in;
  in.block = "B";
  add(in, "OFF");
  draw();
  // The insert's layer is off: what lies on layer 0 goes with it, the rest stays.
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_EQ(lines()[0]->color, 6);
  live().modelSpace().entities[0].common.layer = "FROZEN";
  adForceRegen(d);
  draw();
  EXPECT_EQ(lines().size(), 0u);  // frozen hides everything
  live().modelSpace().entities[0].common.layer = "SHOWN";
  adForceRegen(d);
  draw();
  EXPECT_EQ(lines().size(), 2u);
}

TEST_F(Vec, LayerStateChangesRegenerate) {
  addLayer("A", 1);
  add(lineEnt({0, 0, 0}, {1, 1, 0}), "A");
  add(lineEnt({0, 0, 0}, {2, 2, 0}));
  draw();
  EXPECT_EQ(lines().size(), 2u);
  Handle h = live().layers.entries[1].frame.handle;
  std::uint8_t off[4] = {0, 0, 0, 0};
  ASSERT_EQ(adSetLayerState(d, h, off), 1);
  draw();
  EXPECT_EQ(lines().size(), 1u);
  std::uint8_t frozen[4] = {1, 1, 0, 0};
  ASSERT_EQ(adSetLayerState(d, h, frozen), 1);
  draw();
  EXPECT_EQ(lines().size(), 1u);
  std::uint8_t on[4] = {1, 0, 0, 0};
  ASSERT_EQ(adSetLayerState(d, h, on), 1);
  draw();
  EXPECT_EQ(lines().size(), 2u);
}

TEST_F(Vec, NegativeExtrusionMirrorsPlanarEntities) {
  Circle c;
  c.center = {10, 5, 0};
  c.radius = 1;
  c.normal = {0, 0, -1};
  add(c);
  Arc a;
  a.center = {0, 0, 0};
  a.radius = 10;
  a.startAngle = 0;
  a.endAngle = 90;
  a.normal = {0, 0, -1};
  add(a);
  view.center = {0, 0};
  draw();
  auto l = lines();
  ASSERT_EQ(l.size(), 2u);
  double cx = 0, cy = 0;
  for (std::size_t i = 0; i + 1 < l[0]->pts.size(); ++i) cx += l[0]->pts[i].x, cy += l[0]->pts[i].y;
  cx /= static_cast<double>(l[0]->pts.size() - 1);
  cy /= static_cast<double>(l[0]->pts.size() - 1);
  EXPECT_NEAR(cx, 50 - 10, 1e-6);  // object x runs along world -x
  EXPECT_NEAR(cy, 50 + 5, 1e-6);
  EXPECT_NEAR(l[1]->pts.front().x, 40, kEps);  // 0° lies at world -x
  EXPECT_NEAR(l[1]->pts.back().y, 60, kEps);
}

TEST_F(Vec, WidePolylinesAreFilledAndBulgesAreArcs) {
  LwPolyline p;
  p.vertices = {{{10, 10}, 0, 0, 1}, {{30, 10}}};  // a half circle below the chord
  add(p);
  LwPolyline w;
  w.constWidth = 2;
  w.vertices = {{{10, 50}}, {{30, 50}}};
  add(w);
  draw();
  auto l = lines();
  ASSERT_EQ(l.size(), 1u);
  EXPECT_EQ(l[0]->pts.size(), 8 + 4 * 10 + 1 - 24u);  // half the circle's segments + 1
  double lowest = 1e9;
  for (const auto& q : l[0]->pts) lowest = std::min(lowest, q.y);
  EXPECT_NEAR(lowest, 0, 1e-6);  // radius 10 about (20, 10), bulging to the right of travel
  auto polys = sink.of(Call::Polygon);
  ASSERT_EQ(polys.size(), 1u);
  ASSERT_EQ(polys[0]->pts.size(), 4u);
  double ys[4];
  for (int i = 0; i < 4; ++i) ys[i] = polys[0]->pts[static_cast<std::size_t>(i)].y;
  EXPECT_NEAR(*std::max_element(ys, ys + 4), 51, kEps);
  EXPECT_NEAR(*std::min_element(ys, ys + 4), 49, kEps);
}

TEST_F(Vec, SolidsFacesAndInfiniteLines) {
  Solid s;
  s.p[0] = {0, 0, 0}, s.p[1] = {10, 0, 0}, s.p[2] = {0, 10, 0}, s.p[3] = {10, 10, 0};
  add(s);
  Face3d f;
  f.p[0] = {20, 20, 0}, f.p[1] = {30, 20, 0}, f.p[2] = {30, 30, 0}, f.p[3] = {20, 30, 0};
  f.invisibleEdges = 2;  // the second edge hidden
  add(f);
  XLine x;
  x.start = {50, 50, 0};
  x.direction = {1, 1, 0};
  add(x);
  Ray r;
  r.start = {50, 10, 0};
  r.direction = {-1, 0, 0};
  add(r);
  draw();
  auto polys = sink.of(Call::Polygon);
  ASSERT_EQ(polys.size(), 1u);
  // Stored crosswise, drawn round: (0,0) (10,0) (10,10) (0,10).
  EXPECT_NEAR(polys[0]->pts[2].x, 10, kEps);
  EXPECT_NEAR(polys[0]->pts[2].y, 10, kEps);
  auto l = lines();
  ASSERT_EQ(l.size(), 4u);
  EXPECT_EQ(l[0]->pts.size(), 2u);  // first edge alone
  EXPECT_EQ(l[1]->pts.size(), 3u);  // third and fourth together
  // The construction line crosses the whole window (with its one-pixel margin).
  EXPECT_NEAR(l[2]->pts[0].x, -1, kEps);
  EXPECT_NEAR(l[2]->pts[1].x, 101, kEps);
  EXPECT_NEAR(l[3]->pts[0].x, 50, kEps);
  EXPECT_NEAR(l[3]->pts[1].x, -1, kEps);
}

Hatch squareHatch(bool solid) {
  Hatch h;
  h.solid = solid ? 1 : 0;
  h.pattern = solid ? "SOLID" : "ANSI31";
  for (double s : {40.0, 10.0}) {
    HatchPath p;
    p.flags = 2;
    double lo = 50 - s / 2, hi = 50 + s / 2;
    p.vertices = {{{lo, lo}}, {{hi, lo}}, {{hi, hi}}, {{lo, hi}}};
    h.paths.push_back(p);
  }
  return h;
}

TEST_F(Vec, SolidHatchIsOnePolyPolygonWithItsHoles) {
  add(squareHatch(true));
  Hatch e;  // edges: a full circle arc and a line-bounded triangle
  HatchPath circ;
  HatchEdge arc;
  arc.type = 2;
  arc.p1 = {20, 80};
  arc.radius = 5;
  arc.start = 0;
  arc.end = 360;
  circ.edges.push_back(arc);
  e.paths.push_back(circ);
  add(e);
  draw();
  auto pp = sink.of(Call::PolyPolygon);
  ASSERT_EQ(pp.size(), 2u);
  EXPECT_EQ(pp[0]->counts, (std::vector<int>{4, 4}));
  ASSERT_EQ(pp[1]->counts.size(), 1u);
  EXPECT_EQ(pp[1]->counts[0], 8 + 4 * 10);  // the closing point is not repeated
}

TEST_F(Vec, PatternLinesStopAtTheBoundary) {
  Hatch h = squareHatch(false);
  PatternLine pl;
  pl.angle = 0;
  pl.base = {0, 0.5};
  pl.offset = {0, 1};
  h.lines.push_back(pl);
  add(h);
  draw();
  auto l = lines();
  // 40 rows across the outer square; the 10 through the hole are cut in two.
  ASSERT_EQ(l.size(), 50u);
  for (const auto* c : l) {
    EXPECT_GE(std::min(c->pts[0].x, c->pts[1].x), 30 - kEps);
    EXPECT_LE(std::max(c->pts[0].x, c->pts[1].x), 70 + kEps);
    bool inHole = c->pts[0].y > 45 && c->pts[0].y < 55;
    EXPECT_NEAR(len(c), inHole ? 15 : 40, kEps);
  }
}

TEST_F(Vec, LineweightsResolveByLayerAndDefault) {
  addLayer("HEAVY", 1, "CONTINUOUS", 50);
  add(lineEnt({0, 0, 0}, {1, 0, 0}), "HEAVY");
  add(lineEnt({0, 0, 0}, {2, 0, 0})).common.lineweight = 35;
  add(lineEnt({0, 0, 0}, {3, 0, 0})).common.lineweight = -3;
  draw();
  std::vector<int> w;
  for (const auto* c : sink.of(Call::Weight)) w.push_back(c->value);
  EXPECT_EQ(w, (std::vector<int>{50, 35, 25}));
  adSetDefaultLineweight(0);  // "default" then means the thinnest line
  draw();
  adSetDefaultLineweight(1);
  EXPECT_EQ(sink.of(Call::Weight).back()->value, 0);
}

TEST_F(Vec, TrueColoursReachTheSink) {
  Entity& e = add(lineEnt({0, 0, 0}, {1, 0, 0}));
  e.common.color = 1;
  ExtraGroup g;
  g.subclass = "AcDbEntity";
  Tag t;
  t.code = 420;
  t.kind = Tag::kInt;
  t.integer = 0x123456;
  g.tags.push_back(t);
  e.frame.extras().push_back(g);
  draw();
  auto tc = sink.of(Call::True);
  ASSERT_EQ(tc.size(), 1u);
  EXPECT_EQ(tc[0]->rgb, 0x123456u);
}

TEST_F(Vec, PaperSpaceViewportsClipModelSpace) {
  add(lineEnt({-100, 0, 0}, {100, 0, 0}));
  Block& paper = doc.paperSpace();
  Viewport overall;
  overall.id = 1;
  overall.center = {50, 50, 0};
  overall.width = overall.height = 100;
  paper.entities.push_back(makeEntity(overall));
  Viewport vp;
  vp.id = 2;
  vp.center = {50, 50, 0};
  vp.width = vp.height = 20;
  vp.viewCenter = {0, 0};
  vp.viewHeight = 40;  // twice the paper size: half scale
  paper.entities.push_back(makeEntity(vp));
  Viewport offVp = vp;
  offVp.id = 3;
  offVp.status = 0;
  offVp.center = {20, 20, 0};
  paper.entities.push_back(makeEntity(offVp));
  d = adOpenDocument(doc);
  EXPECT_GT(adFileDisplayableInPaperspace(d), 0);
  Handle ps;
  ASSERT_EQ(adGetBlockHandle(d, ps, 0), 1);
  AdViewRecord v;
  ASSERT_EQ(adInitVectorize(d, v, win, xf, ps), 1);
  EXPECT_DOUBLE_EQ(v.width, 100);  // the sheet as the overall viewport shows it
  sink.clear();
  ASSERT_EQ(adDrawDrawing(d, sink), 1);
  auto l = lines();
  // The model line inside viewport 2 only, then the two frames.
  ASSERT_EQ(l.size(), 3u);
  EXPECT_NEAR(l[0]->pts[0].x, 40, kEps);
  EXPECT_NEAR(l[0]->pts[1].x, 60, kEps);
  EXPECT_NEAR(l[0]->pts[0].y, 50, kEps);
  EXPECT_EQ(l[1]->pts.size(), 5u);
  EXPECT_EQ(l[2]->pts.size(), 5u);
}

TEST_F(Vec, ViewportFrozenLayersStayHidden) {
  addLayer("HIDDEN", 1);
  add(lineEnt({-5, 0, 0}, {5, 0, 0}), "HIDDEN");
  add(lineEnt({0, -5, 0}, {0, 5, 0}));
  Block& paper = doc.paperSpace();
  Viewport vp;
  vp.id = 2;
  vp.center = {50, 50, 0};
  vp.width = vp.height = 20;
  vp.viewHeight = 20;
  vp.frozenLayers.push_back(doc.layers.entries[1].frame.handle);
  paper.entities.push_back(makeEntity(vp));
  d = adOpenDocument(doc);
  Handle ps;
  adGetBlockHandle(d, ps, 0);
  AdViewRecord v;
  adInitVectorize(d, v, win, xf, ps);
  v.center = {50, 50};
  v.width = v.height = 100;
  adMakeViewTransform(d, v, win, xf);
  ASSERT_EQ(adDrawDrawing(d, sink), 1);
  auto l = lines();
  ASSERT_EQ(l.size(), 2u);  // the vertical line and the frame
  EXPECT_NEAR(l[0]->pts[0].x, 50, kEps);
}

TEST_F(Vec, ClippedFillsKeepTheirRingsInside) {
  Solid s;
  s.p[0] = {-50, -50, 0}, s.p[1] = {50, -50, 0}, s.p[2] = {-50, 50, 0}, s.p[3] = {50, 50, 0};
  add(s);
  add(squareHatch(true));
  Viewport vp;
  vp.id = 2;
  vp.center = {50, 50, 0};
  vp.width = vp.height = 20;
  vp.viewCenter = {50, 50};
  vp.viewHeight = 20;
  doc.paperSpace().entities.push_back(makeEntity(vp));
  d = adOpenDocument(doc);
  Handle ps;
  adGetBlockHandle(d, ps, 0);
  AdViewRecord v;
  adInitVectorize(d, v, win, xf, ps);
  v.center = {50, 50};
  v.width = v.height = 100;
  adMakeViewTransform(d, v, win, xf);
  ASSERT_EQ(adDrawDrawing(d, sink), 1);
  auto polys = sink.of(Call::Polygon);
  ASSERT_EQ(polys.size(), 1u);
  for (const auto& p : polys[0]->pts) {
    EXPECT_GE(p.x, 40 - kEps);
    EXPECT_LE(p.x, 60 + kEps);
  }
  auto pp = sink.of(Call::PolyPolygon);
  ASSERT_EQ(pp.size(), 1u);
  EXPECT_EQ(pp[0]->counts, (std::vector<int>{4, 4}));  // the outer ring cut to the viewport
}

TEST_F(Vec, ImagesOnlyWhenPrepared) {
  Image im;
  im.insert = {10, 10, 0};
  im.u = {0.1, 0, 0};
  im.v = {0, 0.1, 0};
  im.size = {200, 100};
  for (const char* name : {"photo.png", "missing.png"}) {
    Object def;
    def.frame.handle = doc.newHandle();
    ImageDef id;
    id.fileName = name;
    def.data = id;
    doc.objects.push_back(def);
    im.imageDef = def.frame.handle;
    add(im);
  }
  im.imageDef = doc.newHandle();  // no definition at all
  add(im);
  sink.preparable = {"other.png", "photo.png"};
  draw();
  auto img = sink.of(Call::Image);
  ASSERT_EQ(img.size(), 1u);
  EXPECT_EQ(img[0]->value, 1);
  EXPECT_NEAR(img[0]->pts[2].x, 30, kEps);
  EXPECT_NEAR(img[0]->pts[2].y, 20, kEps);
  draw();
  EXPECT_EQ(sink.count(Call::Image), 1u);
  // Prepared for each draw that shows it and released after it.
  EXPECT_EQ(sink.prepared.size(), 2u);
  EXPECT_EQ(sink.released, (std::vector<std::int32_t>{1, 1}));
}

TEST_F(Vec, DimensionsDrawTheirBlockAndNothingWithoutIt) {
  Block& b = block("*D1");
  b.entities.push_back(makeEntity(lineEnt({1, 1, 0}, {9, 1, 0})));
  Dimension dim;
  dim.block = "*D1";
  dim.text = " ";  // text suppressed: the block alone
  add(dim);
  Dimension missing;
  missing.block = "*D7";
  add(missing);
  draw();
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_NEAR(lines()[0]->pts[1].x, 9, kEps);
}

// A block written without its text still shows the measurement at the text point, as tall as
// $DIMTXT x $DIMSCALE; a block with a text of its own gets nothing added.
TEST_F(Vec, DimensionBlocksWithoutTextShowTheMeasurement) {
  Block& b = block("*D1");
  b.entities.push_back(makeEntity(lineEnt({10, 50, 0}, {90, 50, 0})));
  Dimension dim;
  dim.block = "*D1";
  dim.type = 1;
  dim.p13 = {10, 50, 0}, dim.p14 = {90, 50, 0};
  dim.textMid = {50, 60, 0};
  dim.measurement = 80;
  add(dim);
  auto real = [](double v) {
    Tag t;
    t.code = 40;
    t.kind = Tag::kReal;
    t.real = v;
    return t;
  };
  doc.header.all.push_back({"$DIMTXT", {real(2.5)}});
  doc.header.all.push_back({"$DIMSCALE", {real(2)}});
  // The strokes above the dimension line and the box they fill.
  auto above = [&](double& x0, double& x1, double& y0, double& y1) {
    std::size_t n = 0;
    x0 = y0 = 1e9, x1 = y1 = -1e9;
    for (const Call* c : lines()) {
      bool counted = false;
      for (const auto& p : c->pts)
        if (p.y > 52) {
          x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
          counted = true;
        }
      n += counted;
    }
    return n;
  };
  draw();
  double x0, x1, y0, y1;
  const std::size_t measured = above(x0, x1, y0, y1);
  // "80.0000" in 5-unit letters, centred on the text point.
  ASSERT_GT(measured, 0u);
  EXPECT_NEAR((x0 + x1) / 2, 50, 1.5);
  EXPECT_NEAR((y0 + y1) / 2, 60, 1.5);
  EXPECT_NEAR(y1 - y0, 5, 1.5);
  EXPECT_GT(x1 - x0, 15);

  Text own;
  own.text = "80";
  own.insert = {50, 60, 0};
  own.height = 5;
  for (Block& lb : live().blocks)
    if (lb.begin.name == "*D1") lb.entities.push_back(makeEntity(own));
  adForceRegen(d);
  draw();
  const std::size_t withOwn = above(x0, x1, y0, y1);
  EXPECT_GT(withOwn, 0u);
  EXPECT_LT(withOwn, measured);  // "80" alone, not "80.0000" beside it
  EXPECT_LT(x1 - x0, 15);
}

// Files before release 13 keep no measured value: the text shown comes from the dimension's
// definition points, the same text a stored value gives.
TEST_F(Vec, DimensionTextWithoutAStoredValueIsMeasuredFromItsPoints) {
  block("*D1");
  struct Case {
    int type;
    Vec3 p10, p13, p14, p15;
    double angle, value;
  };
  const Case cases[] = {
      {0, {}, {10, 20, 0}, {40, 60, 0}, {}, 0, 30},            // horizontal: along x only
      {0, {}, {10, 20, 0}, {40, 60, 0}, {}, 90, 40},           // vertical
      {1, {}, {10, 20, 0}, {40, 60, 0}, {}, 0, 50},            // aligned
      {4, {50, 50, 0}, {}, {}, {50, 62.5, 0}, 0, 12.5},        // radius
      {3, {20, 50, 0}, {}, {}, {80, 50, 0}, 0, 60},            // diameter
      {5, {}, {60, 50, 0}, {50, 60, 0}, {50, 50, 0}, 0, M_PI / 2},  // three-point angle
      {6 | 64, {5, 5, 0}, {37, 80, 0}, {}, {}, 0, 32},          // ordinate, x
  };
  for (const Case& c : cases) {
    auto textOf = [&](double stored) {
      doc.modelSpace().entities.clear();
      Dimension dim;
      dim.block = "*D1";
      dim.type = static_cast<std::int16_t>(c.type);
      dim.defPoint = c.p10, dim.p13 = c.p13, dim.p14 = c.p14, dim.p15 = c.p15;
      dim.angle = c.angle;
      dim.textMid = {50, 30, 0};
      dim.measurement = stored;
      add(dim);
      if (d) adCloseFile(d);
      d = 0;
      draw();
      return sink.calls;
    };
    const auto fromPoints = textOf(0);
    const auto fromValue = textOf(c.value);
    ASSERT_FALSE(fromValue.empty()) << c.type;
    ASSERT_EQ(fromPoints.size(), fromValue.size()) << c.type;
    for (std::size_t i = 0; i < fromValue.size(); ++i) {
      ASSERT_EQ(fromPoints[i].pts.size(), fromValue[i].pts.size()) << c.type;
      for (std::size_t k = 0; k < fromValue[i].pts.size(); ++k) {
        EXPECT_NEAR(fromPoints[i].pts[k].x, fromValue[i].pts[k].x, 1e-6) << c.type;
        EXPECT_NEAR(fromPoints[i].pts[k].y, fromValue[i].pts[k].y, 1e-6) << c.type;
      }
    }
  }
}

TEST_F(Vec, RedrawReusesTheCacheAndCullsOutsideItems) {
  for (int i = 0; i < 10; ++i) add(lineEnt({i * 20.0, 0, 0}, {i * 20.0 + 5, 5, 0}));
  draw();
  EXPECT_EQ(lines().size(), 6u);  // x from 0 to 100 (touching the right edge); beyond it culled
  auto first = sink.calls;
  live().modelSpace().entities[0].get<Line>().end = {50, 50, 0};  // an edit without a regen call
  draw();
  EXPECT_EQ(sink.calls.size(), first.size());
  EXPECT_NEAR(lines()[0]->pts[1].x, 5, kEps);  // still the cached geometry
  adForceRegen(d);
  draw();
  EXPECT_NEAR(lines()[0]->pts[1].x, 50, kEps);
}

TEST_F(Vec, RunawayNestingIsBounded) {
  Block& self = block("SELF");
  self.entities.push_back(makeEntity(lineEnt({0, 0, 0}, {1, 0, 0})));
  Insert in;
  in.block = "SELF";
  in.insert = {1, 0, 0};
  self.entities.push_back(makeEntity(in));
  add(in);
  draw();
  EXPECT_GT(lines().size(), 0u);
  EXPECT_LE(lines().size(), 40u);
}

TEST_F(Vec, DoublingNestingAndHugeArraysStayBounded) {
  // Each level inserts the next one twice: 2^32 copies if nothing stopped it.
  for (int i = 0; i < 32; ++i) {
    Block& b = block("L" + std::to_string(i));
    b.entities.push_back(makeEntity(lineEnt({0, 0, 0}, {1, 0, 0})));
    Insert in;
    in.block = "L" + std::to_string(i + 1);
    b.entities.push_back(makeEntity(in));
    in.insert = {0, 1, 0};
    b.entities.push_back(makeEntity(in));
  }
  Insert top;
  top.block = "L0";
  add(top);
  Block& empty = block("EMPTY");
  empty.entities.push_back(makeEntity(lineEnt({0, 0, 0}, {1, 0, 0}), "GONE"));
  addLayer("GONE", -1);
  Insert grid;
  grid.block = "EMPTY";
  grid.columns = grid.rows = 32767;
  add(grid);
  vec::setRegenLimits(200'000, 5'000'000);
  draw();
  vec::setRegenLimits(16'000'000, 50'000'000);
  EXPECT_GT(lines().size(), 1000u);
  EXPECT_LE(lines().size(), 100'001u);
  ASSERT_EQ(sink.count(Call::Warning), 1u);
  EXPECT_EQ(sink.of(Call::Warning)[0]->text, "The drawing is too large to show completely.");
}

class CancellingSink : public RecordingSink {
 public:
  int asked = 0;
  bool cancelled() override { return ++asked > 1; }
};

TEST_F(Vec, CancelledDrawsStopAndRegenerateNextTime) {
  for (int i = 0; i < 5000; ++i) add(lineEnt({i * 0.01, 0, 0}, {i * 0.01, 10, 0}));
  d = adOpenDocument(doc);
  adMakeViewTransform(d, view, win, xf);
  CancellingSink c;
  ASSERT_EQ(adDrawDrawing(d, c), 1);
  std::size_t partial = c.count(Call::Polyline);
  EXPECT_LT(partial, 5000u);
  ASSERT_EQ(adDrawDrawing(d, sink), 1);
  EXPECT_EQ(sink.count(Call::Polyline), 5000u);
}

TEST_F(Vec, OldReleaseViewportsTakeTheirViewFromExtendedData) {
  addLayer("HIDE", 2);
  add(lineEnt({100, 100, 0}, {120, 100, 0}));
  add(lineEnt({100, 105, 0}, {120, 105, 0}), "HIDE");
  doc.release = Release::R12;
  Viewport vp;
  vp.id = 2;
  vp.center = {50, 50, 0};
  vp.width = vp.height = 40;
  Entity e = makeEntity(vp);
  auto tag = [](int code, double v) {
    Tag t;
    t.code = code;
    t.kind = Tag::kReal;
    t.real = v;
    return t;
  };
  auto text = [](int code, const char* v) {
    Tag t;
    t.code = code;
    t.text = v;
    return t;
  };
  auto& x = e.frame.xdata();
  x = {text(1001, "ACAD"), text(1000, "MVIEW"), text(1002, "{"), tag(1070, 16)};
  for (double v : {0.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 40.0, 110.0, 100.0, 50.0, 0.0, 0.0}) x.push_back(tag(1040, v));
  x.push_back(text(1002, "{"));
  x.push_back(text(1003, "HIDE"));
  x.push_back(text(1002, "}"));
  x.push_back(text(1002, "}"));
  doc.paperSpace().entities.push_back(e);
  d = adOpenDocument(doc);
  Handle ps;
  adGetBlockHandle(d, ps, 0);
  adInitVectorize(d, view, win, xf, ps);
  view.center = {50, 50};
  view.width = view.height = 100;
  adMakeViewTransform(d, view, win, xf);
  ASSERT_EQ(adDrawDrawing(d, sink), 1);
  auto l = lines();
  ASSERT_EQ(l.size(), 2u);  // the model line (the frozen one left out) and the frame
  EXPECT_NEAR(l[0]->pts[0].x, 40, kEps);  // centre (110, 100) at paper (50, 50), scale 1
  EXPECT_NEAR(l[0]->pts[0].y, 50, kEps);
}

TEST_F(Vec, PaperSpaceIsDisplayableOnlyWithSomethingOnTheSheet) {
  Viewport overall;
  overall.id = 1;
  overall.width = overall.height = 10;
  doc.paperSpace().entities.push_back(makeEntity(overall));
  d = adOpenDocument(doc);
  EXPECT_EQ(adFileDisplayableInPaperspace(d), 0);
  live().paperSpace().entities.push_back(makeEntity(lineEnt({0, 0, 0}, {1, 1, 0})));
  EXPECT_EQ(adFileDisplayableInPaperspace(d), 1);
}

TEST(VecCorpus, EveryCorpusDrawingDraws) {
  namespace fs = std::filesystem;
  fs::path root = fs::path(KELVARO_SHARED_DIR) / "corpus";
  if (!fs::exists(root)) GTEST_SKIP() << "no drawing corpus at " << root;
  int drawn = 0;
  for (const auto& f : fs::recursive_directory_iterator(root)) {
    std::string ext = f.path().extension().string();
    for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext != ".dxf") continue;
    AdDrawing d = adLoadFile(f.path().c_str(), 1, 1);
    if (!d) continue;  // unreadable files are the reader's concern
    Document* doc = adDocument(d);
    CountingSink sink;
    AdViewRecord v;
    AdPixelWindow w{0, 0, 800, 600};
    AdTransform t;
    Handle layout;
    if (doc->header.tileMode != 1) adGetBlockHandle(d, layout, 0);
    EXPECT_EQ(adInitVectorize(d, v, w, t, layout), 1) << f.path();
    EXPECT_EQ(adDrawDrawing(d, sink), 1) << f.path();
    AdViewRecord e = v;
    if (adZoomExtents(d, e)) {
      EXPECT_TRUE(std::isfinite(e.width) && e.width > 0) << f.path();
      adMakeViewTransform(d, e, w, t);
      EXPECT_EQ(adDrawDrawing(d, sink), 1) << f.path();
    }
    ++drawn;
    adCloseFile(d);
  }
  EXPECT_GT(drawn, 0);
}

}  // namespace
}  // namespace kelvaro::cad::test
