// View maths of the vectoriser: pixels of known points, extents, stored and active views,
// panning, the standard rotations and pixel/world round trips.
#include "vec_fixture.h"

namespace kelvaro::cad::test {
namespace {

constexpr double kEps = 1e-6;

void expectNear(Vec3 a, Vec3 b, double eps = kEps) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

// Screen right and up of a view, through the transform of a 2 × 2 window about the origin.
void screenAxes(const AdViewRecord& v, Vec3& right, Vec3& up, Vec3& toward) {
  AdViewRecord u = v;
  u.width = u.height = 2;
  u.center = {};
  u.target = {};
  AdTransform t;
  Document doc;
  AdDrawing d = adOpenDocument(doc);
  adMakeViewTransform(d, u, AdPixelWindow{0, 0, 2, 2}, t);
  adCloseFile(d);
  right = {t.m[0][0], t.m[0][1], t.m[0][2]};
  up = {t.m[1][0], t.m[1][1], t.m[1][2]};
  toward = {t.m[2][0], t.m[2][1], t.m[2][2]};
}

using VecView = VecTest;

TEST_F(VecView, PlanViewPutsWorldPointsOnTheirPixels) {
  add(lineEnt({10, 20, 0}, {90, 70, 0}));
  draw();
  auto l = lines();
  ASSERT_EQ(l.size(), 1u);
  EXPECT_NEAR(l[0]->pts[0].x, 10, kEps);
  EXPECT_NEAR(l[0]->pts[0].y, 20, kEps);  // y counts up from the bottom edge
  EXPECT_NEAR(l[0]->pts[1].x, 90, kEps);
  EXPECT_NEAR(l[0]->pts[1].y, 70, kEps);
  // A wider window keeps the aspect: the shorter side sets the scale, the centre stays put.
  win = {0, 0, 200, 100};
  draw();
  l = lines();
  ASSERT_EQ(l.size(), 1u);
  EXPECT_NEAR(l[0]->pts[0].x, 60, kEps);
  EXPECT_NEAR(l[0]->pts[0].y, 20, kEps);
  double px, py;
  adCurrentWorldToPixel(d, {90, 70, 0}, px, py);
  EXPECT_NEAR(px, 140, kEps);
  EXPECT_NEAR(py, 70, kEps);
}

TEST_F(VecView, PixelWorldRoundTripsInTwistedAndThreeDViews) {
  add(lineEnt({0, 0, 0}, {1, 1, 1}));
  draw();
  AdViewRecord views[3];
  views[0].twist = 0.7;
  views[1].direction = {1, -2, 3};
  views[1].twist = -0.3;
  views[2].direction = {0, -1, 0};
  for (auto& v : views) {
    v.target = {5, 6, 7};
    v.center = {3, -2};
    v.width = 40, v.height = 30;
    AdPixelWindow w{10, 20, 410, 320};
    ASSERT_EQ(adMakeViewTransform(d, v, w, xf), 1);
    Vec3 world;
    adCurrentPixelToWorld(d, 123.5, 77.25, world);
    double px, py;
    adCurrentWorldToPixel(d, world, px, py);
    EXPECT_NEAR(px, 123.5, 1e-7);
    EXPECT_NEAR(py, 77.25, 1e-7);
    // The window centre shows the target moved by the view centre.
    adCurrentPixelToWorld(d, 210, 170, world);
    adCurrentWorldToPixel(d, v.target, px, py);
    EXPECT_NEAR(px, 210 - 3 * 10, 1e-7);
    EXPECT_NEAR(py, 170 + 2 * 10, 1e-7);
  }
}

TEST_F(VecView, TwistTurnsTheDrawingCounterClockwise) {
  add(lineEnt({50, 50, 0}, {60, 50, 0}));
  view.target = {50, 50, 0};
  view.center = {};
  view.twist = M_PI / 2;
  draw();
  auto l = lines();
  ASSERT_EQ(l.size(), 1u);
  EXPECT_NEAR(l[0]->pts[1].x, 50, kEps);
  EXPECT_NEAR(l[0]->pts[1].y, 60, kEps);
}

TEST_F(VecView, StandardViewsLookFromWhereTheirNamesSay) {
  struct Case {
    const char* name;
    Vec3 toward, right, up;
  };
  auto plan = [] {
    AdViewRecord v;
    v.width = v.height = 10;
    return v;
  };
  Vec3 r, u, t;
  AdViewRecord v = plan();
  screenAxes(v, r, u, t);
  expectNear(t, {0, 0, 1});
  expectNear(r, {1, 0, 0});
  // Front: from the south, Z up (the rotation is a hair short of a right angle).
  v = plan();
  adRotateForward(v, -1.5707947559985698);
  screenAxes(v, r, u, t);
  expectNear(t, {0, -1, 0}, 1e-5);
  expectNear(r, {1, 0, 0}, 1e-5);
  expectNear(u, {0, 0, 1}, 1e-5);
  // Left: from the west, Z up, south (-Y) to the right.
  v = plan();
  adRotateRight(v, M_PI / 2);
  adRotateCounterClockwise(v, M_PI / 2);
  screenAxes(v, r, u, t);
  expectNear(t, {-1, 0, 0});
  expectNear(u, {0, 0, 1});
  expectNear(r, {0, -1, 0});
  // Right: from the east.
  v = plan();
  adRotateRight(v, -M_PI / 2);
  adRotateCounterClockwise(v, -M_PI / 2);
  screenAxes(v, r, u, t);
  expectNear(t, {1, 0, 0});
  expectNear(u, {0, 0, 1});
  expectNear(r, {0, 1, 0});
  // South-west isometric: from below-left and above, X rising to the right.
  v = plan();
  adRotateCounterClockwise(v, M_PI / 4);
  adRotateForward(v, -M_PI / 4);
  screenAxes(v, r, u, t);
  EXPECT_LT(t.x, 0);
  EXPECT_LT(t.y, 0);
  EXPECT_GT(t.z, 0);
  EXPECT_NEAR(t.x, t.y, kEps);
  EXPECT_GT(r.x, 0);  // world X points right ...
  EXPECT_GT(u.x, 0);  // ... and up the screen
  EXPECT_GT(u.z, 0);
  // Bottom: from below.
  v = plan();
  adRotateForward(v, M_PI);
  screenAxes(v, r, u, t);
  expectNear(t, {0, 0, -1});
}

TEST_F(VecView, RotationsTurnAboutTheVisibleCentre) {
  AdViewRecord v;
  v.target = {0, 0, 0};
  v.center = {100, 50};
  v.width = v.height = 10;
  adRotateForward(v, -M_PI / 2);
  // What was in the middle of the window is still there.
  expectNear(v.target, {100, 50, 0}, 1e-9);
  EXPECT_NEAR(v.center.x, 0, 1e-12);
  adRotateCounterClockwise(v, 4 * M_PI);
  expectNear(v.target, {100, 50, 0}, 1e-9);
  EXPECT_NEAR(v.twist, 0, 1e-9);
  double before = v.width;
  adRotateRight(v, 0.3);
  EXPECT_EQ(v.width, before);  // only the orientation changes
}

TEST_F(VecView, PanMovesAlongTheScreenAxes) {
  AdViewRecord v;
  v.width = v.height = 10;
  adPanTarget(v, 3, 4);
  expectNear(v.target, {3, 4, 0});
  v.twist = M_PI / 2;  // turned a quarter: screen right is world -Y
  adPanTarget(v, 1, 0);
  expectNear(v.target, {3, 3, 0});
  adPanTarget(v, NAN, 1);  // ignored
  expectNear(v.target, {3, 3, 0});
}

TEST_F(VecView, ZoomExtentsFramesTheGeometry) {
  add(lineEnt({0, 0, 0}, {100, 50, 0}));
  Circle c;
  c.center = {100, 50, 0};
  c.radius = 10;
  add(c);
  draw();
  AdViewRecord v;
  ASSERT_EQ(adZoomExtents(d, v), 1);
  EXPECT_NEAR(v.center.x, 55, 1e-9);
  EXPECT_NEAR(v.center.y, 30, 1e-9);
  EXPECT_NEAR(v.width, 110 * 1.02, 1e-9);
  EXPECT_NEAR(v.height, 60 * 1.02, 1e-9);
  Vec3 lo, hi;
  ASSERT_TRUE(adComputeExtents(d, "", lo, hi));
  expectNear(lo, {0, 0, 0});
  expectNear(hi, {110, 60, 0});
  // Seen from the front the box is as wide and as high as its z range (flat: the minimum).
  AdViewRecord f;
  adRotateForward(f, -M_PI / 2);
  ASSERT_EQ(adZoomExtents(d, f), 1);
  EXPECT_NEAR(f.width, 110 * 1.02, 1e-6);
  EXPECT_NEAR(f.height, f.width, 1e-6);
}

TEST_F(VecView, HeaderExtentsOnlyWhenTheyAgreeWithTheGeometry) {
  add(lineEnt({0, 0, 0}, {10, 10, 0}));
  doc.header.extMin = {-1000, -1000, 0};  // stale
  doc.header.extMax = {5000, 5000, 0};
  draw();
  AdViewRecord v;
  ASSERT_EQ(adZoomExtents(d, v), 1);
  EXPECT_NEAR(v.width, 10 * 1.02, 1e-9);
  live().header.extMin = {-0.5, 0, 0};  // a little larger: taken
  live().header.extMax = {10.5, 10, 0};
  ASSERT_EQ(adZoomExtents(d, v), 1);
  EXPECT_NEAR(v.width, 11 * 1.02, 1e-9);
  live().header.extMin = {0.5, 0, 0};  // smaller than the geometry: it would cut it off
  live().header.extMax = {10, 10, 0};
  ASSERT_EQ(adZoomExtents(d, v), 1);
  EXPECT_NEAR(v.width, 10 * 1.02, 1e-9);
}

TEST_F(VecView, InitialViewIsTheActiveViewportElseTheExtents) {
  add(lineEnt({0, 0, 0}, {40, 20, 0}));
  draw(false);
  EXPECT_NEAR(view.center.x, 20, 1e-9);
  EXPECT_NEAR(view.width, 40 * 1.02, 1e-9);
  adCloseFile(d);
  d = 0;
  TableEntry<Vport> vp;
  vp.rec.name = "*Active";
  vp.rec.center = {7, 8};
  vp.rec.height = 12;
  vp.rec.aspect = 1.5;
  vp.rec.twist = 90;
  vp.rec.target = {1, 2, 3};
  doc.vports.entries.push_back(vp);
  draw(false);
  EXPECT_EQ(view.center, (Vec2{7, 8}));
  EXPECT_DOUBLE_EQ(view.height, 12);
  EXPECT_DOUBLE_EQ(view.width, 18);
  EXPECT_NEAR(view.twist, M_PI / 2, 1e-12);
  EXPECT_EQ(view.target, (Vec3{1, 2, 3}));
}

TEST_F(VecView, StoredViewsSetTheRecord) {
  add(lineEnt({0, 0, 0}, {1, 1, 0}));
  draw();
  View s;
  s.center = {4, 5};
  s.width = 30;
  s.height = 20;
  s.twist = 45;
  s.direction = {0, -1, 0};
  AdViewRecord v;
  ASSERT_EQ(adSetViewParmsFromView(d, s, v), 1);
  EXPECT_DOUBLE_EQ(v.width, 30);
  EXPECT_NEAR(v.twist, M_PI / 4, 1e-12);
  EXPECT_EQ(v.direction, (Vec3{0, -1, 0}));
  s.height = -1;  // a broken record leaves the view alone
  EXPECT_EQ(adSetViewParmsFromView(d, s, v), 0);
  EXPECT_DOUBLE_EQ(v.height, 20);
}

TEST_F(VecView, BrokenViewRecordsStillGiveATransform) {
  add(lineEnt({0, 0, 0}, {1, 1, 0}));
  draw();
  AdViewRecord v;
  v.width = 0;
  v.height = NAN;
  v.direction = {0, 0, 0};
  ASSERT_EQ(adMakeViewTransform(d, v, win, xf), 1);
  for (auto& row : xf.m)
    for (double x : row) EXPECT_TRUE(std::isfinite(x));
  EXPECT_EQ(adMakeViewTransform(12345, v, win, xf), 0);
}

TEST_F(VecView, QualityChangesTheSegmentCountAndStaysInRange) {
  adSetInterpolationQuality(0);
  EXPECT_EQ(adInterpolationQuality(), 10);
  adSetInterpolationQuality(51);
  EXPECT_EQ(adInterpolationQuality(), 10);
  adSetInterpolationQuality(50);
  EXPECT_EQ(adInterpolationQuality(), 50);
}

}  // namespace
}  // namespace kelvaro::cad::test
