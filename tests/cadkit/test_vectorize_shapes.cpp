// The walk on the less common shapes: splines, ellipses, meshes, polyface meshes, multilines,
// leaders, embedded pictures and hatch boundaries made of curved edges.
#include <array>

#include "vec_fixture.h"

namespace kelvaro::cad::test {
namespace {

constexpr double kEps = 1e-6;
using VecShapes = VecTest;

TEST_F(VecShapes, ClampedSplinesEndOnTheirControlPoints) {
  Spline s;
  s.degree = 3;
  s.control = {{10, 10, 0}, {20, 40, 0}, {40, 40, 0}, {50, 10, 0}, {70, 20, 0}};
  s.knots = {0, 0, 0, 0, 0.5, 1, 1, 1, 1};
  add(s);
  draw();
  auto l = lines();
  ASSERT_EQ(l.size(), 1u);
  std::size_t perSpan = std::max(2, (8 + 4 * 10) / 8);
  EXPECT_EQ(l[0]->pts.size(), 2 * perSpan + 1);
  EXPECT_NEAR(l[0]->pts.front().x, 10, kEps);
  EXPECT_NEAR(l[0]->pts.back().x, 70, kEps);
  EXPECT_NEAR(l[0]->pts.back().y, 20, kEps);
  // Inside the hull of its control points.
  for (const auto& p : l[0]->pts) {
    EXPECT_GE(p.y, 10 - kEps);
    EXPECT_LE(p.y, 40 + kEps);
  }
}

TEST_F(VecShapes, RationalSplinesDrawExactCircles) {
  // A quarter circle of radius 20 about (50, 50) as a rational quadratic.
  Spline s;
  s.degree = 2;
  s.flags = 4;
  s.control = {{70, 50, 0}, {70, 70, 0}, {50, 70, 0}};
  s.weights = {1, std::sqrt(0.5), 1};
  s.knots = {0, 0, 0, 1, 1, 1};
  add(s);
  draw();
  auto l = lines();
  ASSERT_EQ(l.size(), 1u);
  for (const auto& p : l[0]->pts) EXPECT_NEAR(std::hypot(p.x - 50, p.y - 50), 20, 1e-6);
}

TEST_F(VecShapes, FitPointSplinesPassThroughTheirPoints) {
  Spline s;
  s.fit = {{10, 10, 0}, {30, 40, 0}, {60, 20, 0}};
  add(s);
  Spline broken;  // knots that do not fit the control points: the control polygon instead
  broken.control = {{0, 90, 0}, {10, 95, 0}, {20, 90, 0}};
  broken.knots = {0, 1};
  add(broken);
  draw();
  auto l = lines();
  ASSERT_EQ(l.size(), 2u);
  bool through = false;
  for (const auto& p : l[0]->pts) through = through || (std::fabs(p.x - 30) < kEps && std::fabs(p.y - 40) < kEps);
  EXPECT_TRUE(through);
  EXPECT_NEAR(l[0]->pts.back().x, 60, kEps);
  EXPECT_EQ(l[1]->pts.size(), 3u);
}

TEST_F(VecShapes, EllipsesAndTheirArcs) {
  Ellipse e;
  e.center = {50, 50, 0};
  e.majorAxis = {0, 30, 0};  // upright
  e.ratio = 0.5;
  add(e);
  Ellipse half = e;
  half.startParam = 0;
  half.endParam = M_PI;
  add(half);
  draw();
  auto l = lines();
  ASSERT_EQ(l.size(), 2u);
  EXPECT_EQ(l[0]->pts.size(), 8 + 4 * 10 + 1u);
  EXPECT_EQ(l[1]->pts.size(), (8 + 4 * 10) / 2 + 1u);
  for (const auto& p : l[0]->pts) {
    double u = (p.y - 50) / 30, v = (p.x - 50) / 15;
    EXPECT_NEAR(u * u + v * v, 1, 1e-9);
  }
  // The half starts at the major axis end and turns counter-clockwise (to -x).
  EXPECT_NEAR(l[1]->pts.front().y, 80, kEps);
  EXPECT_NEAR(l[1]->pts[l[1]->pts.size() / 2].x, 35, kEps);
}

Vertex vertex(Vec3 p, std::int16_t flags, std::array<std::int16_t, 4> idx = {0, 0, 0, 0}) {
  Vertex v;
  v.data.location = p;
  v.data.flags = flags;
  for (int i = 0; i < 4; ++i) v.data.index[i] = idx[static_cast<std::size_t>(i)];
  return v;
}

TEST_F(VecShapes, PolyfaceMeshesHideTheirInvisibleEdges) {
  Polyline pf;
  pf.flags = 64;
  pf.vertices = {vertex({10, 10, 0}, 192), vertex({30, 10, 0}, 192), vertex({30, 30, 0}, 192),
                 vertex({10, 30, 0}, 192),
                 vertex({}, 128, {1, 2, -3, 0}),   // edge 3→1 hidden
                 vertex({}, 128, {1, 3, 4, 0}),
                 vertex({}, 128, {1, 9, 4, 0})};  // a vertex number beyond the list
  add(pf);
  draw();
  // Face 1: 1→2, 2→3; face 2: 1→3, 3→4, 4→1; face 3: only 4→1 is valid.
  EXPECT_EQ(lines().size(), 6u);
}

TEST_F(VecShapes, PolygonMeshesDrawTheirGrid) {
  Polyline m;
  m.flags = 16 | 32;  // closed in N
  m.m = 2;
  m.n = 3;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 3; ++j) m.vertices.push_back(vertex({10.0 + j * 10, 10.0 + i * 10, 0}, 64));
  add(m);
  Polyline bad = m;  // counts that do not match: drawn through its vertices
  bad.m = 5;
  add(bad);
  draw();
  auto l = lines();
  ASSERT_EQ(l.size(), 2u + 3u + 1u);
  EXPECT_EQ(l[0]->pts.size(), 4u);  // a row, closed
  EXPECT_EQ(l[2]->pts.size(), 2u);  // a column, open
  EXPECT_EQ(l[5]->pts.size(), 6u);
}

TEST_F(VecShapes, ThreeDPolylinesSkipSplineFrames) {
  Polyline p;
  p.flags = 8 | 1;
  p.vertices = {vertex({10, 10, 5}, 32), vertex({40, 10, 5}, 32 | 16), vertex({40, 40, 5}, 32)};
  add(p);
  draw();
  auto l = lines();
  ASSERT_EQ(l.size(), 1u);
  EXPECT_EQ(l[0]->pts.size(), 2u);  // two points left; too few to close
}

TEST_F(VecShapes, MultilinesDrawEachElementAlongTheMiters) {
  MLine ml;
  for (double x : {10.0, 50.0}) {
    MLineVertex v;
    v.location = {x, 50, 0};
    v.miter = {0, 1, 0};
    for (double off : {-2.0, 3.0}) {
      MLineElement el;
      el.params = {off};
      v.elements.push_back(el);
    }
    ml.vertices.push_back(v);
  }
  add(ml);
  draw();
  auto l = lines();
  ASSERT_EQ(l.size(), 2u);
  EXPECT_NEAR(l[0]->pts[0].y, 48, kEps);
  EXPECT_NEAR(l[1]->pts[1].y, 53, kEps);
  EXPECT_NEAR(l[1]->pts[1].x, 50, kEps);
}

TEST_F(VecShapes, LeadersEndInAFilledArrow) {
  Leader ld;
  ld.vertices = {{20, 20, 0}, {60, 20, 0}, {70, 30, 0}};
  ld.textHeight = 4;
  add(ld);
  Leader plain = ld;
  plain.arrowhead = 0;
  add(plain);
  draw();
  EXPECT_EQ(lines().size(), 2u);
  auto polys = sink.of(Call::Polygon);
  ASSERT_EQ(polys.size(), 1u);
  ASSERT_EQ(polys[0]->pts.size(), 3u);
  EXPECT_NEAR(polys[0]->pts[0].x, 20, kEps);  // the tip on the first vertex
  EXPECT_NEAR(polys[0]->pts[1].x, 24, kEps);  // as long as the text is high
}

TEST_F(VecShapes, EmbeddedPicturesCarryTheirBytes) {
  Ole2Frame f;
  f.upperLeft = {10, 40, 0};
  f.lowerRight = {30, 20, 0};
  f.data = {"0102A0FF", "10", "zz"};  // a broken chunk ends its own data; no picture in it
  add(f);
  draw();
  auto ole = sink.of(Call::Ole);
  ASSERT_EQ(ole.size(), 1u);
  EXPECT_EQ(ole[0]->value, 1);  // the frame is still shown
  EXPECT_EQ(ole[0]->rgb, 255u);
  EXPECT_NEAR(ole[0]->pts[0].x, 10, kEps);  // rectangle from its lower left ...
  EXPECT_NEAR(ole[0]->pts[0].y, 20, kEps);
  EXPECT_NEAR(ole[0]->pts[1].y, 40, kEps);  // ... to its upper right
}

TEST_F(VecShapes, HatchBoundariesOfCurvedEdges) {
  Hatch h;
  HatchPath p;
  HatchEdge a;  // a clockwise half circle: stored angles mirrored
  a.type = 2;
  a.p1 = {50, 50};
  a.radius = 10;
  a.start = 180;
  a.end = 360;
  a.ccw = 0;
  HatchEdge back;
  back.type = 1;
  back.p1 = {60, 50};
  back.p2 = {40, 50};
  p.edges = {a, back};
  h.paths.push_back(p);
  HatchPath e;
  HatchEdge el;  // a whole ellipse
  el.type = 3;
  el.p1 = {20, 20};
  el.p2 = {10, 0};
  el.radius = 0.5;
  el.start = 0;
  el.end = 360;
  e.edges = {el};
  h.paths.push_back(e);
  HatchPath sp;
  HatchEdge s;  // a closed quadratic spline edge
  s.type = 4;
  s.degree = 2;
  s.control = {{80, 10}, {90, 30}, {70, 30}, {80, 10}};
  s.knots = {0, 0, 0, 0.5, 1, 1, 1};
  sp.edges = {s};
  h.paths.push_back(sp);
  add(h);
  draw();
  auto pp = sink.of(Call::PolyPolygon);
  ASSERT_EQ(pp.size(), 1u);
  ASSERT_EQ(pp[0]->counts.size(), 3u);
  EXPECT_EQ(pp[0]->counts[0], (8 + 4 * 10) / 2 + 1);
  // The clockwise arc runs through the top: (50, 60), not the bottom.
  double top = 0;
  for (int i = 0; i < pp[0]->counts[0]; ++i) top = std::max(top, pp[0]->pts[static_cast<std::size_t>(i)].y);
  EXPECT_NEAR(top, 60, kEps);
  EXPECT_EQ(pp[0]->counts[1], 8 + 4 * 10);
}

TEST_F(VecShapes, WideArcsFollowTheirBulge) {
  LwPolyline p;
  p.constWidth = 4;
  p.vertices = {{{30, 50}, 0, 0, 1}, {{70, 50}}};
  add(p);
  draw();
  auto polys = sink.of(Call::Polygon);
  ASSERT_EQ(polys.size(), 1u);
  // Both sides of the band keep their distance from the arc's centre.
  for (const auto& q : polys[0]->pts) {
    double r = std::hypot(q.x - 50, q.y - 50);
    EXPECT_TRUE(std::fabs(r - 18) < 1e-6 || std::fabs(r - 22) < 1e-6) << r;
  }
}

TEST_F(VecShapes, WideCornersMeetAtAMitre) {
  LwPolyline p;
  p.constWidth = 4;
  p.vertices = {{{20, 20}}, {{60, 20}}, {{60, 60}}};
  add(p);
  draw();
  auto polys = sink.of(Call::Polygon);
  ASSERT_EQ(polys.size(), 2u);
  // The outer corner of both bands is (62, 18), the inner one (58, 22).
  EXPECT_NEAR(polys[0]->pts[1].x, 58, kEps);
  EXPECT_NEAR(polys[0]->pts[1].y, 22, kEps);
  EXPECT_NEAR(polys[0]->pts[2].x, 62, kEps);
  EXPECT_NEAR(polys[0]->pts[2].y, 18, kEps);
  EXPECT_NEAR(polys[1]->pts[3].x, 62, kEps);
  EXPECT_NEAR(polys[1]->pts[3].y, 18, kEps);
  // A hairpin keeps its square ends: the mitre would reach too far.
  LwPolyline pin;
  pin.constWidth = 4;
  pin.vertices = {{{20, 80}}, {{60, 80}}, {{20, 80.5}}};
  live().modelSpace().entities[0] = makeEntity(pin);
  adForceRegen(d);
  draw();
  polys = sink.of(Call::Polygon);
  ASSERT_EQ(polys.size(), 2u);
  for (const auto* q : polys)
    for (const auto& pt : q->pts) EXPECT_LE(pt.x, 62.1);
}

}  // namespace
}  // namespace kelvaro::cad::test
