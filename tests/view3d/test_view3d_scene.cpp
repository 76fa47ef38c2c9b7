#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "view3d/SunScene.h"
#include "view3d/XFile.h"

using namespace kelvaro;
using namespace kelvaro::view3d;

namespace {

constexpr double kPi = std::numbers::pi;

void expectNear(Vec3 a, Vec3 b, double tol = 1e-9) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

std::vector<std::uint8_t> cubeBytes() { return WriteBinaryX(UnitBlock()); }

void build(SunView& v) { EXPECT_TRUE(v.SetUp(cubeBytes(), 492, 400)); }

// The world position of a point of the building mesh.
Vec3 buildingPoint(const SunView& v, Vec3 p) { return v.scene.BuildingFrame.world().point(p); }

}  // namespace

TEST(SunDirection, ComponentsFollowAzimuthAndAltitude) {
  // Sun in the south at 30 degrees: light travels north (+z) and down, not normalised.
  const double c = 1 / std::tan(30 * kPi / 180);
  expectNear(SunDirection(180, 30), {-std::sin(kPi) * c, -0.5, c});
  // Sun in the east: light travels west (-x).
  const Vec3 east = SunDirection(90, 45);
  EXPECT_NEAR(east.x, -1.0, 1e-12);
  EXPECT_NEAR(east.y, -std::sin(kPi / 4), 1e-12);
  EXPECT_NEAR(east.z, 0.0, 1e-12);
  // The vertical part is -sin h, so the vector is longer than one at low suns.
  EXPECT_GT(Length(SunDirection(200, 10)), 1.0);
}

TEST(SunDirection, LowSunLightsAsIfAtThreeDegrees) {
  expectNear(SunDirection(120, 1), SunDirection(120, 3));
  expectNear(SunDirection(120, -12), SunDirection(120, 3));
  EXPECT_NE(SunDirection(120, 3.5).y, SunDirection(120, 3).y);
  EXPECT_EQ(SunDirection(std::numeric_limits<double>::quiet_NaN(), 20), Vec3{});
  EXPECT_EQ(SunDirection(100, std::numeric_limits<double>::infinity()), Vec3{});
}

TEST(Frames, RotationsCombineBeforeOrReplace) {
  Frame root;
  Frame child(&root);
  child.SetPosition(0, 0, 5);
  // Before: the turn acts on the frame's own points, its position stays.
  child.AddRotation(Combine::Before, {0, 1, 0}, kPi / 2);
  expectNear(child.world().point({0, 0, 1}), {1, 0, 5});
  expectNear(child.position(), {0, 0, 5});
  // Two quarter turns before make a half turn.
  child.AddRotation(Combine::Before, {0, 1, 0}, kPi / 2);
  expectNear(child.world().point({0, 0, 1}), {0, 0, 4});
  // Replace drops everything, position included.
  child.AddRotation(Combine::Replace, {0, 1, 0}, 0);
  expectNear(child.world().point({0, 0, 1}), {0, 0, 1});
  // A parent's turn carries its children.
  root.AddRotation(Combine::Before, {0, 1, 0}, kPi / 2);
  expectNear(child.world().point({0, 0, 1}), {1, 0, 0});
  // A zero axis is no rotation.
  child.AddRotation(Combine::Replace, {0, 0, 0}, 1.0);
  expectNear(child.transform().point({1, 2, 3}), {1, 2, 3});
}

TEST(Frames, OrientationPointsTheZAxis) {
  Frame f;
  f.SetPosition(0, 10, -30);
  f.SetOrientation({0, -10, 30}, {0, 1, 0});
  const Vec3 z = f.world().direction({0, 0, 1});
  expectNear(z, Normalised({0, -10, 30}));
  // y stays as upright as it can, x is right-handed in screen terms (to the right).
  EXPECT_GT(f.world().direction({0, 1, 0}).y, 0.9);
  expectNear(f.world().direction({1, 0, 0}), {1, 0, 0});
  // A zero direction keeps the orientation; straight down with up (0, 1, 0) stays sound.
  f.SetOrientation({0, 0, 0}, {0, 1, 0});
  expectNear(f.world().direction({0, 0, 1}), Normalised({0, -10, 30}));
  f.SetOrientation({0, -1, 0}, {0, 1, 0});
  expectNear(f.world().direction({0, 0, 1}), {0, -1, 0});
  EXPECT_NEAR(Length(f.world().direction({0, 1, 0})), 1.0, 1e-12);
}

TEST(Frames, ShadowProjectionFlattensAlongTheLight) {
  const Vec3 l{1, -1, 0};
  const Mat4 m = ShadowProjection(l, {0, -6, 0}, {0, 1, 0});
  // A point 6 above the plane lands 6 further along x.
  expectNear(m.point({0, 0, 0}), {6, -6, 0});
  expectNear(m.point({2, -6, 3}), {2, -6, 3});
  // A light along the plane casts nothing sensible: identity.
  const Mat4 flat = ShadowProjection({1, 0, 0}, {0, -6, 0}, {0, 1, 0});
  expectNear(flat.point({1, 2, 3}), {1, 2, 3});
}

TEST(Viewport, LimitsAreKept) {
  Viewport v;
  EXPECT_FALSE(v.SetField(0));
  EXPECT_FALSE(v.SetField(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_TRUE(v.SetField(0.3));
  EXPECT_EQ(v.field, 0.3);
  EXPECT_FALSE(v.SetFront(-250));  // a near plane behind the camera is refused
  EXPECT_FALSE(v.SetBack(0.5));
  EXPECT_TRUE(v.SetBack(5000));
  v.width = 400;
  v.height = 200;
  const auto p = v.projection();
  // A point on the view axis at the back plane maps to depth 1, one at the front to -1.
  auto depth = [&](double z) { return (p[10] * z + p[14]) / z; };
  EXPECT_NEAR(depth(v.front), -1.0, 1e-5);
  EXPECT_NEAR(depth(v.back), 1.0, 1e-5);
  // The wider side spans 2 * field at distance 1.
  EXPECT_NEAR(p[0] * 0.3, 1.0, 1e-6);
  EXPECT_NEAR(p[5] * 0.3, 2.0, 1e-6);
}

TEST(SunScene, BuildingAndGroundHaveTheirSizes) {
  SunView v;
  build(v);
  const auto b = v.scene.Building.GetBox();
  EXPECT_NEAR(b.height(), 12.0, 1e-6);
  EXPECT_NEAR(b.width(), 0.8 * 0.996 * 2 * 6, 1e-4);
  EXPECT_NEAR(b.depth(), 0.3 * 0.996 * 2 * 6, 1e-4);
  EXPECT_NEAR(b.min.y, -6.0, 1e-6);
  const auto g = v.scene.Ground.GetBox();
  EXPECT_NEAR(g.width(), 24 * 0.996, 1e-4);
  EXPECT_NEAR(g.depth(), 0.2 * 0.996, 1e-4);
  // The slab lies flat below the building: its top face is just under the shadow plane.
  const Mat4 gw = v.scene.GroundFrame.world();
  EXPECT_NEAR(gw.point({0, 0, g.min.z}).y, -6.2 + 0.0996, 1e-6);
  EXPECT_NEAR(gw.point({0, 0, g.max.z}).y, -6.2 - 0.0996, 1e-6);
  // The picture's top (v = 0) lies north (+z) in the scene.
  const auto& gv = v.scene.Ground.vertices();
  for (std::size_t i = 0; i < gv.size(); ++i)
    if (v.scene.Ground.uvs()[i][1] < 0.01) {
      EXPECT_GT(gw.point(gv[i]).z, 11);
    }
  EXPECT_TRUE(v.scene.Ground.texture().decalTransparency);
  EXPECT_EQ(v.scene.Building.texture().resource, "BACK1");
  EXPECT_EQ(v.scene.Building.quality(), Quality::Flat);
  EXPECT_TRUE(v.scene.Building.perspective());
}

TEST(SunScene, BadCubeLeavesNoVisuals) {
  SunView v;
  std::string why;
  const std::vector<std::uint8_t> junk = {'x', 'o', 'f', ' ', '0', '3'};
  EXPECT_FALSE(v.SetUp(junk, 100, 100, &why));
  EXPECT_FALSE(why.empty());
  FrameSnapshot snap;
  Collect(v.scene.frames(), snap);
  EXPECT_TRUE(snap.items.empty());
  EXPECT_TRUE(snap.hasSun);
}

TEST(SunView, CameraHeightAndZoomStopAtTheirLimits) {
  SunView v;
  build(v);
  int ups = 0;
  while (v.CameraUp()) ++ups;
  EXPECT_EQ(ups, 18);
  EXPECT_EQ(v.CameraPosition.y, 100);
  int downs = 0;
  while (v.CameraDown()) ++downs;
  EXPECT_EQ(v.CameraPosition.y, 1);
  EXPECT_EQ(downs, 20);
  // The camera keeps looking at the origin.
  expectNear(v.scene.CameraFrame.world().direction({0, 0, 1}), Normalised({0, -1, 30}));
  while (v.ZoomIn()) {
  }
  EXPECT_DOUBLE_EQ(v.ViewField, 0.1);
  EXPECT_DOUBLE_EQ(v.scene.View.field, 0.1);
  while (v.ZoomOut()) {
  }
  EXPECT_DOUBLE_EQ(v.ViewField, 2.0);
  v.ZoomIn();
  EXPECT_DOUBLE_EQ(v.ViewField, 1.8);
}

TEST(SunView, OrientationTurnsTheBuildingByTheDifference) {
  SunView v;
  build(v);
  EXPECT_EQ(v.FacadeOrientation, 60);
  const Vec3 corner{4.78, 0, 0};
  const Vec3 before = buildingPoint(v, corner);
  EXPECT_TRUE(v.SetOrientation(90));
  const Vec3 after = buildingPoint(v, corner);
  const double turned = std::atan2(before.x, before.z) - std::atan2(after.x, after.z);
  EXPECT_NEAR(std::fabs(turned), 30 * kPi / 180, 1e-9);
  EXPECT_FALSE(v.SetOrientation(361));
  EXPECT_FALSE(v.SetOrientation(-5));
  EXPECT_EQ(v.FacadeOrientation, 90);
  // At 0 the long faces look north and south.
  v.SetOrientation(0);
  expectNear(buildingPoint(v, corner), corner, 1e-9);
}

TEST(SunView, CameraTurnsModelLightAndGroundTogether) {
  SunView v;
  build(v);
  v.samples = {{135, 40, 9.5}};
  v.Step();
  const Vec3 light0 = v.scene.LightFrame.world().direction({0, 0, 1});
  const Vec3 ground0 = v.scene.GroundFrame.world().point({10, 0, 0});
  const Vec3 build0 = buildingPoint(v, {1, 0, 2});
  v.CameraRight();
  v.CameraRight();
  const Mat4 r = Mat4::Rotation({0, 1, 0}, 0.2);
  expectNear(v.scene.LightFrame.world().direction({0, 0, 1}), r.direction(light0));
  expectNear(v.scene.GroundFrame.world().point({10, 0, 0}), r.point(ground0));
  expectNear(buildingPoint(v, {1, 0, 2}), r.point(build0));
  v.CameraLeft();
  v.CameraLeft();
  expectNear(v.scene.LightFrame.world().direction({0, 0, 1}), light0);
  // Reset undoes the turn.
  v.CameraRight();
  v.Reset();
  expectNear(v.scene.GroundFrame.world().point({10, 0, 0}), ground0);
}

TEST(SunView, StepLightsAtThreeDegreesButLabelsTheTrueAltitude) {
  SunView v;
  build(v);
  v.samples = {{80.5, -0.75, 6.05}, {90, 1.0, 6.2}, {100, 10, 7}};
  v.StepMinutes = 1;
  ASSERT_TRUE(v.Step());
  expectNear(v.SunDir, SunDirection(80.5, 3));
  EXPECT_EQ(v.Labels.Altitude, "-0:45:00");
  EXPECT_EQ(v.Labels.Azimuth, "80:30:00");
  EXPECT_EQ(v.Labels.Time, "06 : 03");
  expectNear(v.scene.LightFrame.world().direction({0, 0, 1}), Normalised(SunDirection(80.5, 3)));
  ASSERT_TRUE(v.Step());
  EXPECT_EQ(v.Labels.Altitude, "1:00:00");
  ASSERT_TRUE(v.Step());
  EXPECT_FALSE(v.Step());  // past the last sample: nothing changes
  EXPECT_EQ(v.Labels.Azimuth, "100:00:00");
}

TEST(SunView, AnimationCommands) {
  SunView v;
  build(v);
  for (int i = 0; i < 25; ++i) v.samples.push_back({90.0 + i, 5.0 + i, 6 + i / 60.0});
  v.StepMinutes = 0;  // a zero step still moves on
  bool timer = false;
  v.PauseRestart(timer);
  EXPECT_FALSE(timer);  // nothing to pause at index 0
  v.Start(timer);
  EXPECT_TRUE(timer);
  v.TimerTick(timer);
  EXPECT_EQ(v.SampleIndex, 1);
  EXPECT_EQ(v.StepMinutes, 1);
  v.StepMinutes = 10;
  v.TimerTick(timer);
  v.TimerTick(timer);
  EXPECT_EQ(v.SampleIndex, 21);
  v.PauseRestart(timer);
  EXPECT_FALSE(timer);
  v.PauseRestart(timer);
  EXPECT_TRUE(timer);
  v.TimerTick(timer);  // index 21 -> 31, past the end
  v.TimerTick(timer);
  EXPECT_FALSE(timer);
  // Single step starts over after the end.
  v.SingleStep(timer);
  EXPECT_EQ(v.SampleIndex, 10);
  EXPECT_EQ(v.Labels.Azimuth, "90:00:00");
  // An empty day never steps.
  SunView empty;
  build(empty);
  empty.Reset();
  EXPECT_EQ(empty.SampleIndex, 0);
  EXPECT_EQ(empty.Labels.Time, "00 : 00");
  bool t = true;
  empty.TimerTick(t);
  EXPECT_FALSE(t);
}

TEST(SunView, ResizeMakesAFarViewportWithTheDefaultField) {
  SunView v;
  build(v);
  EXPECT_EQ(v.scene.View.back, 250);
  v.ZoomIn();
  v.scene.Dev.shades = 256;
  v.scene.Dev.dither = false;
  EXPECT_FALSE(v.Resize(492, 400));  // same size: nothing
  EXPECT_FALSE(v.Resize(0, 300));
  EXPECT_TRUE(v.Resize(600, 500));
  EXPECT_EQ(v.scene.View.back, 5000);
  EXPECT_EQ(v.scene.View.width, 600);
  EXPECT_DOUBLE_EQ(v.scene.View.field, 0.5);  // set again only by zoom or Reset
  EXPECT_EQ(v.scene.Dev.shades, 256);
  EXPECT_FALSE(v.scene.Dev.dither);
  v.ZoomIn();
  EXPECT_NEAR(v.scene.View.field, 0.45 * 0.9, 1e-12);
  EXPECT_GT(v.scene.View.front, 0);
}

TEST(SunView, ShadowFallsAwayFromTheSun) {
  SunView v;
  build(v);
  v.samples = {{90, 30, 8}, {270, 30, 16}};
  v.StepMinutes = 1;
  FrameSnapshot snap;
  auto shadowTipX = [&] {
    Collect(v.scene.frames(), snap);
    double x = 0;
    int shadows = 0;
    for (const DrawItem& it : snap.items) {
      if (!it.shadow) continue;
      ++shadows;
      for (const Vec3& p : it.mesh->vertices()) {
        const Vec3 w = it.world.point(p);
        EXPECT_NEAR(w.y, -6.0, 1e-9);
        if (std::fabs(w.x) > std::fabs(x)) x = w.x;
      }
    }
    EXPECT_EQ(shadows, 1);
    return x;
  };
  ASSERT_TRUE(v.Step());
  const double morning = shadowTipX();
  ASSERT_TRUE(v.Step());
  const double evening = shadowTipX();
  // 12 high at 30 degrees: the tip lies about 12 / tan 30 beyond the foot.
  EXPECT_LT(morning, -12 / std::tan(30 * kPi / 180) + 0.5 * 9.6);
  EXPECT_GT(evening, 12 / std::tan(30 * kPi / 180) - 0.5 * 9.6);
  EXPECT_EQ(snap.background, (Rgb{0.5, 0.6, 0.6}));
  EXPECT_NEAR(snap.ambient.r, 0.6, 1e-12);
}

TEST(SunView, NoShadowBeforeTheFirstStep) {
  // The sun light's orientation is (0, 0, 0) until the first step: it shines along +z, level
  // with the ground, and casts nothing.
  SunView v;
  build(v);
  FrameSnapshot snap;
  Collect(v.scene.frames(), snap);
  for (const DrawItem& it : snap.items) EXPECT_FALSE(it.shadow);
  EXPECT_EQ(snap.items.size(), 2u);
}
