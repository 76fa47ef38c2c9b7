#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "models/FinModel.h"
#include "models/OverhangModel.h"

using namespace kelvaro;
using namespace kelvaro::models;

namespace {

ModelView overhangView() {
  ModelView v;
  v.width = 492;
  v.height = 410;
  v.PanX = kOverhangPanX;
  v.PanY = kOverhangPanY;
  return v;
}

ModelView finView() {
  ModelView v = overhangView();
  v.PanX = kFinPanX;
  v.PanY = kFinPanY;
  return v;
}

SunState sunAt(double azimuth, double altitude, int orientation) {
  SunState s;
  s.Azimuth = azimuth;
  s.Altitude = altitude;
  s.HSA = HorizontalShadowAngle(azimuth, orientation);
  s.VSA = VerticalShadowAngle(altitude, s.HSA);
  return s;
}

// A sun straight in front of a south façade at the given VSA.
SunState sunWithVsa(double vsa) { return sunAt(180, vsa, 180); }

}  // namespace

TEST(ModelGrid, NearestTiesToEvenAndSnapsToTheGrid) {
  EXPECT_EQ(Nearest(2.5), 2);
  EXPECT_EQ(Nearest(3.5), 4);
  EXPECT_EQ(Nearest(-2.5), -2);
  EXPECT_EQ(Snap(12.5), 0);    // 0.5 grid steps: to the even 0
  EXPECT_EQ(Snap(37.5), 50);   // 1.5: to 2
  EXPECT_EQ(Snap(62.5), 50);   // 2.5: to 2
  EXPECT_EQ(Snap(-37.5), -50);
  EXPECT_EQ(Snap(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(ModelGrid, ViewMappingSpansSixMetresAcrossTheArea) {
  ViewMap m{492, 1.0};
  EXPECT_EQ(m.span(), 6000);
  EXPECT_EQ(m.px(6000), 492);
  EXPECT_EQ(m.px(3000), 246);
  EXPECT_EQ(m.px(300), 25);  // 24.6
  EXPECT_EQ(m.px(-300), -25);
  EXPECT_DOUBLE_EQ(m.mm(41), 500.0);
  // Zoom enlarges the span: 6120 mm across at 1.02.
  ViewMap z{492, 1.02};
  EXPECT_EQ(z.span(), 6120);
  EXPECT_EQ(z.px(6120), 492);
  // A degenerate area or zoom never divides by zero, and huge lengths stay in range.
  ViewMap bad{0, 0.0};
  EXPECT_GE(bad.span(), 1);
  EXPECT_LE(m.px(1e300), 1000000);
}

TEST(ModelView, CameraAndZoomStopAtTheirLimits) {
  ModelView v;
  int steps = 0;
  while (ZoomIn(v)) ++steps;
  // 25 steps of 0.02 in double arithmetic end a hair below 0.5, so the 26th is refused.
  EXPECT_LT(v.ViewZoom, 0.5);
  EXPECT_GT(v.ViewZoom, 0.49);
  EXPECT_EQ(steps, 25);
  ModelView o;
  while (ZoomOut(o)) {
  }
  EXPECT_GT(o.ViewZoom, 2.0);
  EXPECT_LT(o.ViewZoom, 2.03);

  ModelView c;  // PanX 10, PanY 10
  while (CameraUp(c)) {
  }
  EXPECT_EQ(c.PanY, -305);
  while (CameraDown(c)) {
  }
  EXPECT_EQ(c.PanY, 305);
  while (CameraLeft(c)) {
  }
  EXPECT_EQ(c.PanX, 305);
  while (CameraRight(c)) {
  }
  EXPECT_EQ(c.PanX, -305);
}

TEST(ShadowAngles, HsaWrapsAndVsaIsObtuseBehindTheFacade) {
  EXPECT_DOUBLE_EQ(HorizontalShadowAngle(90, 180), 270);
  EXPECT_DOUBLE_EQ(HorizontalShadowAngle(200, 180), 20);
  EXPECT_NEAR(VerticalShadowAngle(30, 0), 30, 1e-12);
  // Sun behind a south façade (due north): the angle opens past 90.
  EXPECT_NEAR(VerticalShadowAngle(30, 180), 150, 1e-12);
  // Oblique sun: tan VSA = tan h / cos HSA.
  EXPECT_NEAR(std::tan(VerticalShadowAngle(30, 60) * M_PI / 180), std::tan(M_PI / 6) / 0.5, 1e-12);
  // The sun below the horizon keeps its negative angle.
  EXPECT_LT(VerticalShadowAngle(-10, 0), 0);
}

TEST(ModelAnimation, SkipsLowSamplesAndAdvancesByTheStep) {
  std::vector<SunSample> samples;
  for (int i = 0; i < 8; ++i) samples.push_back({100.0 + i, i < 2 ? 0.5 : 5.0 + i, 7.0 + (5 + i) / 60.0});
  Animation a(samples);
  a.StepMinutes = 2;
  ASSERT_TRUE(a.step(180));
  // The two low samples are passed over: sample 2 is taken.
  EXPECT_DOUBLE_EQ(a.Sun.Azimuth, 102);
  EXPECT_DOUBLE_EQ(a.Sun.HSA, 282);
  EXPECT_EQ(a.TimeText, "07 : 07");
  EXPECT_EQ(a.SampleIndex, 4);
  ASSERT_TRUE(a.step(180));
  EXPECT_DOUBLE_EQ(a.Sun.Azimuth, 104);
  a.SampleIndex = 7;
  ASSERT_TRUE(a.step(180));
  EXPECT_TRUE(a.pastEnd());
  EXPECT_FALSE(a.step(180));
  a.reset();
  EXPECT_EQ(a.SampleIndex, 0);
  EXPECT_EQ(a.TimeText, "00 : 00");
  EXPECT_EQ(a.Sun.VSA, 0);
}

TEST(ModelAnimation, AllLowOrNoSamplesOnlyMoveTheIndex) {
  Animation none;
  EXPECT_TRUE(none.pastEnd());
  EXPECT_FALSE(none.step(180));
  EXPECT_EQ(none.SampleIndex, 0);

  std::vector<SunSample> low(5, SunSample{120, 0.9, 6.0});
  Animation a(low);
  EXPECT_FALSE(a.step(180));
  EXPECT_EQ(a.SampleIndex, 5);  // skipped to the last one, then one on
  EXPECT_TRUE(a.pastEnd());
  EXPECT_EQ(a.Sun.Azimuth, 0);  // nothing taken
  EXPECT_EQ(a.TimeText, "00 : 00");
}

TEST(ModelAnimation, TimeDisplayPadsHoursAndMinutes) {
  EXPECT_EQ(TimeDisplay(7 + 5 / 60.0), "07 : 05");
  EXPECT_EQ(TimeDisplay(13.5), "13 : 30");
  EXPECT_EQ(TimeDisplay(std::nan("")), "00 : 00");
}

TEST(OverhangModel, CriticalAnglesComeFromWholePixels) {
  const OverhangDims d;  // 800, 100, 1500, 300, 900
  ViewMap m{492, 1.0};
  OverhangAngles a = OverhangCriticalAngles(d, m);
  // px(100) = 8, px(800) = 66: the angle of the pixel lengths, not of the millimetres.
  EXPECT_NEAR(a.A1, std::atan(8.0 / 66.0) * 180 / M_PI, 1e-12);
  EXPECT_NE(a.A1, std::atan(100.0 / 800.0) * 180 / M_PI);
  EXPECT_LT(a.A1, a.A2);
  EXPECT_LT(a.A2, a.A3);
  EXPECT_LT(a.A3, a.A4);
  EXPECT_LT(a.A4, a.A5);

  OverhangDims flat = d;
  flat.OverhangLength = 0;
  a = OverhangCriticalAngles(flat, m);
  EXPECT_EQ(a.A4, 90);
  EXPECT_NEAR(a.A1, std::atan(8.0) * 180 / M_PI, 1e-12);  // a zero divisor counts as 1 pixel
}

TEST(OverhangModel, EachVsaBandEndsTheRayWhereItShould) {
  const OverhangDims d;
  const ModelView v = overhangView();
  const OverhangLayout lay = LayoutOverhang(d, v);
  const OverhangAngles A = OverhangCriticalAngles(d, lay.map);
  const Pt tip = lay.at(d.OverhangLength, 2400 + d.OverhangOffset);
  auto at = [&](double vsa) { return ComputeOverhang(d, d, v, sunWithVsa(vsa), {}); };

  // Below A1 the overhang misses: its ray hits the face above the head, the head casts the
  // upper ray and the sill edge the lower one.
  OverhangResult r = at(A.A1 / 2 + 0.5);
  ASSERT_EQ(r.SunRays.size(), 3u);
  EXPECT_EQ(r.SunRays[0].to.x, lay.X0);
  EXPECT_LT(r.SunRays[0].to.y, r.HeadY);
  EXPECT_EQ(r.SunRays[1].from, lay.at(0, 2400));
  EXPECT_EQ(r.SunRays[2].from, lay.at(-d.WallWidth, d.SillHeight));
  EXPECT_GT(r.SunPenetration, 0);

  r = at((A.A1 + A.A2) / 2);  // back wall
  ASSERT_EQ(r.SunRays.size(), 2u);
  EXPECT_EQ(r.SunRays[0].from, tip);
  EXPECT_EQ(r.SunRays[0].to.x, v.PanX);
  EXPECT_GT(r.SunPenetration, 3000 - d.WallWidth - 1);

  r = at((A.A2 + A.A3) / 2);  // floor inside
  ASSERT_EQ(r.SunRays.size(), 2u);
  EXPECT_EQ(r.SunRays[0].to.y, lay.Yf);
  EXPECT_GT(r.SunRays[0].to.x, v.PanX);
  EXPECT_LT(r.SunRays[0].to.x, lay.X0 - lay.map.px(d.WallWidth));

  r = at(A.A3 + 0.3);  // sill: no light on the floor, no sill ray
  ASSERT_EQ(r.SunRays.size(), 1u);
  EXPECT_EQ(r.SunRays[0].to.y, r.SillY);
  EXPECT_EQ(r.SunPenetration, 0);
  EXPECT_LT(r.ShadedPercent, 100);
  // Once the ray lands on the sill outside the glass the window is all in shade.
  EXPECT_EQ(at(A.A4 - 0.3).ShadedPercent, 100);

  r = at((A.A4 + A.A5) / 2);  // face below the sill: the glass is all in shade
  ASSERT_EQ(r.SunRays.size(), 1u);
  EXPECT_EQ(r.SunRays[0].to.x, lay.X0);
  EXPECT_GT(r.SunRays[0].to.y, r.SillY);
  EXPECT_EQ(r.ShadedPercent, 100);

  r = at((A.A5 + 90) / 2);  // ground outside
  ASSERT_EQ(r.SunRays.size(), 1u);
  EXPECT_EQ(r.SunRays[0].to.y, lay.Yf);
  EXPECT_GT(r.SunRays[0].to.x, lay.X0);
  EXPECT_EQ(r.ShadedPercent, 100);
}

TEST(OverhangModel, ShadeGrowsWithTheSunAndPenetrationUsesTheDraggedValues) {
  const OverhangDims d;
  const ModelView v = overhangView();
  int previous = -1;
  double previousS = 1e9;
  for (double vsa = 10; vsa < 60; vsa += 2.5) {
    OverhangResult r = ComputeOverhang(d, d, v, sunWithVsa(vsa), {});
    EXPECT_GE(r.ShadedPercent, previous) << vsa;
    EXPECT_LE(r.SunPenetration, previousS) << vsa;
    previous = r.ShadedPercent;
    previousS = r.SunPenetration;
  }
  // Sun penetration (H + V) / tan VSA - L - W, from the values being dragged.
  OverhangDims dragged = d;
  dragged.OverhangLength = 400;
  const OverhangAngles A = OverhangCriticalAngles(d, v.map());
  const double vsa = (A.A1 + A.A2) / 2;
  OverhangResult r = ComputeOverhang(d, dragged, v, sunWithVsa(vsa), {});
  EXPECT_NEAR(r.SunPenetration, 2500 / std::tan(vsa * M_PI / 180) - 400 - 300, 1e-9);
  // The rays stay on the committed section.
  EXPECT_EQ(r.SunRays[0].from, ComputeOverhang(d, d, v, sunWithVsa(vsa), {}).SunRays[0].from);
  // The overhang's sideways shift: Trunc(|tan HSA| × L).
  r = ComputeOverhang(d, d, v, sunAt(225, 40, 180), {});
  EXPECT_EQ(r.HorizontalOffset, 799);  // tan 45° is a hair below 1
}

TEST(OverhangModel, SunBehindTheFacadeOrBeforeTheFirstStepShadesEverything) {
  const OverhangDims d;
  const ModelView v = overhangView();
  OverhangResult behind = ComputeOverhang(d, d, v, sunAt(0, 40, 180), {});
  EXPECT_GE(sunAt(0, 40, 180).VSA, 90);
  EXPECT_TRUE(behind.SunRays.empty());
  EXPECT_EQ(behind.SunPenetration, 0);
  EXPECT_EQ(behind.HorizontalOffset, 0);
  EXPECT_EQ(behind.ShadedPercent, 100);
  EXPECT_EQ(behind.ShadowY, behind.SillY);

  OverhangResult rest = ComputeOverhang(d, d, v, SunState{}, {});
  EXPECT_TRUE(rest.SunRays.empty());
  EXPECT_EQ(rest.ShadedPercent, 100);
  Scene s = DrawOverhang(d, d, v, SunState{}, {}, 180);
  int zeros = 0;
  for (const Prim& p : s.items())
    if (p.kind == Prim::Text && p.text == "0:00:00") ++zeros;
  EXPECT_EQ(zeros, 4);
}

TEST(OverhangModel, NoonRaysNeedAnOverhangAndASunInFront) {
  OverhangDims d;
  const ModelView v = overhangView();
  NoonVsas noon{40, 80};
  OverhangResult r = ComputeOverhang(d, d, v, SunState{}, noon);
  ASSERT_EQ(r.NoonRays.size(), 2u);
  EXPECT_EQ(r.NoonRays[0].colour, kGreen);
  EXPECT_EQ(r.NoonRays[1].colour, kNavy);
  const OverhangAngles A = OverhangCriticalAngles(d, v.map());
  ASSERT_LT(40, A.A5);
  ASSERT_GT(80, A.A5);
  EXPECT_EQ(r.NoonRays[0].to.x, LayoutOverhang(d, v).X0);  // on the wall face
  EXPECT_EQ(r.NoonRays[1].to.y, LayoutOverhang(d, v).Yf);  // on the ground
  EXPECT_TRUE(ComputeOverhang(d, d, v, SunState{}, {95, -20}).NoonRays.empty());
  d.OverhangLength = 0;
  EXPECT_TRUE(ComputeOverhang(d, d, v, SunState{}, noon).NoonRays.empty());
  // The noon VSAs follow the orientation.
  NoonVsas n = ComputeNoonVsas({180, 40}, {180, 20}, 180);
  EXPECT_NEAR(n.First, 40, 1e-9);
  EXPECT_NEAR(n.Second, 20, 1e-9);
  EXPECT_GT(ComputeNoonVsas({180, 40}, {180, 20}, 0).First, 90);
}

TEST(OverhangModel, DraggingKeepsToTheLimitsAndTheGrid) {
  const OverhangDims d;
  const ModelView v = overhangView();
  const OverhangLayout lay = LayoutOverhang(d, v);
  auto drag = [&](int node, int dx, int dy) {
    Pt from = lay.Nodes[node];
    return DragOverhang(d, v, node, from, {from.x + dx, from.y + dy});
  };
  // Overhang tip: 10 px right is 122 mm, on the grid 125.
  EXPECT_EQ(drag(1, 10, 0).OverhangLength, 925);
  EXPECT_EQ(drag(1, -500, 0).OverhangLength, 0);
  // Head: never closer than 300 mm to the sill.
  EXPECT_EQ(drag(0, 0, 500).WindowHeight, 300);
  EXPECT_EQ(drag(0, 0, -20).WindowHeight, 1750);
  // Sill: the head stays put.
  OverhangDims s = drag(2, 0, -30);
  EXPECT_EQ(s.SillHeight + s.WindowHeight, 2400);
  EXPECT_EQ(s.SillHeight, 1275);
  EXPECT_EQ(drag(2, 0, 500).SillHeight, 300);
  EXPECT_EQ(drag(2, 0, -500).WindowHeight, 300);
  // Inner face: the pointer stops 300 mm from the back of the room; never above 3000.
  OverhangDims thick = drag(3, -1000, 0);
  EXPECT_EQ(thick.WallWidth, 2700);
  EXPECT_LE(thick.WallWidth, 3000);
  EXPECT_EQ(drag(3, 3, 0).WallWidth, 275);
  EXPECT_EQ(drag(3, 40, 0).WallWidth, 25);   // thinner than one step
  EXPECT_EQ(drag(3, 400, 0).WallWidth, 25);  // through the outer face
  // Overhang top: at least 150 mm above the head, at most 1400 offset.
  EXPECT_EQ(drag(4, 0, 200).OverhangOffset, 0);
  EXPECT_EQ(drag(4, 0, -1000).OverhangOffset, 1400);
  EXPECT_EQ(drag(4, 0, -4).OverhangOffset, 150);
  // Every value stays on the grid.
  for (int dx = -40; dx <= 40; dx += 7) {
    OverhangDims r = drag(1, dx, 0);
    EXPECT_EQ(std::fmod(r.OverhangLength, 25.0), 0.0);
  }
}

TEST(OverhangModel, NodesAndCursors) {
  const OverhangDims d;
  const ModelView v = overhangView();
  const OverhangLayout lay = LayoutOverhang(d, v);
  EXPECT_EQ(HitNode(lay.Nodes, lay.Nodes[1]), 1);
  EXPECT_EQ(HitNode(lay.Nodes, {lay.Nodes[3].x + 3, lay.Nodes[3].y - 3}), 3);
  EXPECT_EQ(HitNode(lay.Nodes, {lay.Nodes[3].x + 4, lay.Nodes[3].y}), -1);
  EXPECT_EQ(OverhangCursor(0), DragCursor::Vertical);
  EXPECT_EQ(OverhangCursor(1), DragCursor::Horizontal);
  EXPECT_EQ(OverhangCursor(2), DragCursor::Vertical);
  EXPECT_EQ(OverhangCursor(3), DragCursor::Horizontal);
  EXPECT_EQ(OverhangCursor(4), DragCursor::Vertical);
  // The floor line and the nodes move with the camera: 3 pixels per PanY step.
  ModelView up = v;
  up.PanY -= 5;
  EXPECT_EQ(LayoutOverhang(d, up).Yf, lay.Yf + 15);
}

TEST(OverhangModel, StoredValuesAreMadeSane) {
  OverhangSettings s;
  s.Dims.OverhangLength = std::numeric_limits<double>::quiet_NaN();
  s.Dims.OverhangOffset = 5000;
  s.Dims.WindowHeight = -40;
  s.Dims.WallWidth = 3;
  s.Dims.SillHeight = 911;
  s.StepMinutes = 0;
  s.FacadeOrientation = 999;
  OverhangSettings r = SanitizedOverhang(s);
  EXPECT_EQ(r.Dims.OverhangLength, 800);
  EXPECT_EQ(r.Dims.OverhangOffset, 1400);
  EXPECT_EQ(r.Dims.WindowHeight, 0);
  EXPECT_EQ(r.Dims.WallWidth, 25);
  EXPECT_EQ(r.Dims.SillHeight, 900);
  EXPECT_EQ(r.StepMinutes, 2);
  EXPECT_EQ(r.FacadeOrientation, 180);
  s.Dims.WallWidth = 1e12;
  EXPECT_EQ(SanitizedOverhang(s).Dims.WallWidth, 3000);
}

TEST(FinModel, SunBehindShadesAllAndHeadOnSunShadesNothing) {
  const FinDims d;
  const ModelView v = finView();
  for (double hsa : {91.0, 180.0, 269.0}) {
    SunState s;
    s.HSA = hsa;
    FinResult r = ComputeFin(d, v, s);
    EXPECT_EQ(r.Side, FinSide::Behind);
    EXPECT_TRUE(r.Rays.empty());
    EXPECT_EQ(r.ShadedPercent, 100);
    EXPECT_EQ(r.BandTo - r.BandFrom, r.WindowPx);
  }
  SunState ahead = sunAt(180, 30, 180);
  ASSERT_EQ(ahead.HSA, 0);
  FinResult r = ComputeFin(d, v, ahead);
  EXPECT_EQ(r.Side, FinSide::Right);
  EXPECT_EQ(r.UnshadedPx, r.WindowPx);
  EXPECT_EQ(r.ShadedPercent, 0);
  EXPECT_EQ(r.Rays.size(), 3u);  // fin, right jamb, left jamb
}

TEST(FinModel, BandsOfTheRightSideSun) {
  const FinDims d;
  const ModelView v = finView();
  const FinLayout lay = LayoutFin(d, v);
  const FinAngles A = FinCriticalAngles(d, lay.map);
  auto at = [&](double h) {
    SunState s;
    s.HSA = h;
    return ComputeFin(d, v, s);
  };
  FinResult r = at(A.a2 + 0.5);  // onto the left jamb
  ASSERT_EQ(r.Rays.size(), 1u);
  EXPECT_EQ(r.Rays[0].to.x, lay.at(d.WallLeft, 0).x);
  EXPECT_GT(r.ShadedPercent, 0);
  EXPECT_LT(r.ShadedPercent, 100);
  EXPECT_EQ(r.BandTo, r.WindowPx);  // shade on the right part
  r = at((A.a5 + A.a6) / 2);  // outer face: all shaded
  ASSERT_EQ(r.Rays.size(), 1u);
  EXPECT_EQ(r.Rays[0].to.y, lay.at(0, d.WallWidth).y);
  EXPECT_EQ(r.ShadedPercent, 100);
  r = at((A.a6 + 90) / 2);  // inner face of the left fin
  EXPECT_EQ(r.Rays[0].to.x, lay.at(d.WallLeft - d.FinOffset, 0).x);
  EXPECT_EQ(r.ShadedPercent, 100);
  // Shade grows with the angle.
  int previous = -1;
  for (double h = 0; h <= 90; h += 3) {
    int p = at(h).ShadedPercent;
    EXPECT_GE(p, previous) << h;
    previous = p;
  }
}

TEST(FinModel, SunOnTheLeftIsTheMirrorImage) {
  FinDims d;
  d.WallLeft = 1900;  // as much wall on each side: the plan is symmetric
  const ModelView v = finView();
  const FinLayout lay = LayoutFin(d, v);
  const int mid2 = lay.at(0, 0).x + lay.at(2 * 1900 + d.WindowWidth, 0).x;
  for (double h : {5.0, 30.0, 55.0, 70.0}) {
    SunState right, left;
    right.HSA = h;
    left.HSA = 360 - h;
    FinResult r = ComputeFin(d, v, right), l = ComputeFin(d, v, left);
    EXPECT_EQ(l.Side, FinSide::Left);
    EXPECT_EQ(r.ShadedPercent, l.ShadedPercent) << h;
    EXPECT_EQ(l.BandFrom, 0);
    EXPECT_EQ(l.BandTo, r.WindowPx - r.BandFrom);
    ASSERT_EQ(r.Rays.size(), l.Rays.size()) << h;
    for (size_t i = 0; i < r.Rays.size(); ++i) {
      EXPECT_NEAR(mid2 - r.Rays[i].to.x, l.Rays[i].to.x, 1) << h;
      EXPECT_EQ(r.Rays[i].to.y, l.Rays[i].to.y) << h;
    }
  }
}

TEST(FinModel, ZeroFinLengthUsesOnePixel) {
  FinDims d;
  d.FinLength = 0;
  ViewMap m{492, 1.0};
  FinAngles a = FinCriticalAngles(d, m);
  EXPECT_NEAR(a.a1, std::atan(m.px(100) / 1.0) * 180 / M_PI, 1e-12);
  EXPECT_NEAR(a.a5, std::atan(m.px(1300) / 1.0) * 180 / M_PI, 1e-12);
  SunState s;
  s.HSA = 45;
  FinResult r = ComputeFin(d, finView(), s);
  EXPECT_GE(r.ShadedPercent, 0);
  EXPECT_LE(r.ShadedPercent, 100);
  // No window at all: nothing to divide by, nothing lit.
  d.WindowWidth = 0;
  EXPECT_EQ(ComputeFin(d, finView(), s).ShadedPercent, 100);
}

TEST(FinModel, DraggingTheJambsKeepsTheLimits) {
  const FinDims d;
  const ModelView v = finView();
  const FinLayout lay = LayoutFin(d, v);
  auto drag = [&](int node, int dx, int dy) {
    Pt from = lay.Nodes[node];
    return DragFin(d, v, node, from, {from.x + dx, from.y + dy});
  };
  FinDims far = drag(1, -1000, 0);  // left jamb far to the left: stops 400 mm from the end
  EXPECT_EQ(far.WallLeft, 400);
  EXPECT_EQ(far.WallLeft + far.WindowWidth, 3100);
  FinDims narrow = drag(1, 1000, 0);  // and to the right: never narrower than 200 mm
  EXPECT_EQ(narrow.WindowWidth, 200);
  EXPECT_EQ(drag(2, -1000, 0).WindowWidth, 200);
  EXPECT_EQ(drag(0, 0, 1000).WallWidth, 25);
  EXPECT_EQ(drag(0, 0, -10).WallWidth, 425);
  EXPECT_EQ(drag(3, 0, 1000).FinLength, 0);
  EXPECT_EQ(drag(4, -10, 0).FinOffset, 225);
  EXPECT_EQ(drag(4, 100, 0).FinOffset, 0);
  EXPECT_EQ(FinCursor(0), DragCursor::Vertical);
  EXPECT_EQ(FinCursor(1), DragCursor::Horizontal);
  EXPECT_EQ(FinCursor(3), DragCursor::Vertical);
  EXPECT_EQ(FinCursor(4), DragCursor::Horizontal);
}

TEST(FinModel, StoredValuesAreMadeSane) {
  FinSettings s;
  s.Dims.WallWidth = 0;
  s.Dims.FinLength = std::numeric_limits<double>::infinity();
  s.Dims.WindowWidth = 1213;
  s.StepMinutes = 31;
  FinSettings r = SanitizedFin(s);
  EXPECT_EQ(r.Dims.WallWidth, 25);
  EXPECT_EQ(r.Dims.FinLength, 800);
  EXPECT_EQ(r.Dims.WindowWidth, 1225);
  EXPECT_EQ(r.StepMinutes, 2);
}
