#include "view3d/SunScene.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "ephemeris/Format.h"
#include "models/ModelGeometry.h"

namespace kelvaro::view3d {

namespace {
constexpr double kRad = std::numbers::pi / 180.0;

// Texture coordinates spread once over the mesh's box, seen along z.
void WrapFlat(MeshBuilder& mesh) {
  const MeshBuilder::Box box = mesh.GetBox();
  FlatWrap w;
  w.ou = 0.5;
  w.ov = 0.5;
  w.su = box.width() > 0 ? 1.0 / box.width() : 1.0;
  w.sv = box.height() > 0 ? 1.0 / box.height() : 1.0;
  w.Apply(mesh);
}
}  // namespace

Vec3 SunDirection(double azimuth, double altitude) {
  if (!std::isfinite(azimuth) || !std::isfinite(altitude)) return {};
  const double h = std::max(altitude, kLowestLightAltitude) * kRad;
  const double a = azimuth * kRad;
  const double c = 1.0 / std::tan(h);
  return {-std::sin(a) * c, -std::sin(h), -std::cos(a) * c};
}

SunScene::SunScene() {
  frames_ = {&SceneFrame, &ModelFrame, &BuildingFrame, &GroundFrame, &LightFrame, &CameraFrame};
  SceneFrame.SetSceneBackgroundRGB(0.5, 0.6, 0.6);
  SceneFrame.AddLight(&Ambient);
  LightFrame.AddLight(&Sun);
  View.camera = &CameraFrame;
  View.front = kFrontPlane;
  View.back = kBackPlane;
  View.field = kFieldDefault;
}

bool SunScene::Build(std::span<const std::uint8_t> cube, std::string* error) {
  MeshBuilder building, ground;
  if (!building.Load(cube, error) || !ground.Load(cube, error)) return false;

  building.SetPerspective(true);
  building.SetQuality(Quality::Flat);
  building.Scale(0.8, 1.0, 0.3);
  const MeshBuilder::Box b = building.GetBox();
  const double largest = std::max({b.width(), b.height(), b.depth()});
  const double f = largest > 0 ? kBuildingSize / largest : 1.0;
  building.Scale(f, f, f);
  WrapFlat(building);
  building.SetTexture({"BACK1", false});

  ground.SetPerspective(true);
  ground.SetQuality(Quality::Flat);
  ground.Scale(12, 12, 0.1);
  WrapFlat(ground);
  ground.SetTexture({"BACK2", true});

  Building = std::move(building);
  Ground = std::move(ground);
  BuildingFrame.AddVisual(&Building);
  BuildingShadow = {&Building, &Sun, {0, kShadowPlaneY, 0}, {0, 1, 0}, {0, 0, 0}};
  BuildingFrame.AddShadow(&BuildingShadow);
  GroundFrame.AddVisual(&Ground);
  GroundFrame.AddRotation(Combine::Replace, {1, 0, 0}, std::numbers::pi / 2);
  GroundFrame.SetPosition(0, kGroundY, 0);
  return true;
}

bool SunView::SetUp(std::span<const std::uint8_t> cube, int width, int height, std::string* error) {
  CameraDefaults();
  scene.Dev.width = std::max(width, 1);
  scene.Dev.height = std::max(height, 1);
  scene.View.width = scene.Dev.width;
  scene.View.height = scene.Dev.height;
  const bool ok = scene.Build(cube, error);
  // The building stands as the orientation says from the start, so that later changes by the
  // difference keep it in step with the value shown.
  scene.BuildingFrame.AddRotation(Combine::Replace, {0, 1, 0}, FacadeOrientation * kRad);
  scene.LightFrame.SetOrientation(SunDir, {0, 1, 0});
  ApplyCamera();
  scene.View.back = kBackPlane;
  scene.View.SetField(ViewField);
  return ok;
}

void SunView::CameraDefaults() {
  ViewField = kFieldDefault;
  SunDir = {};
  CameraPosition = kCameraDefault;
}

void SunView::ApplyCamera() {
  scene.CameraFrame.SetPosition(CameraPosition.x, CameraPosition.y, CameraPosition.z);
  scene.CameraFrame.SetOrientation(CameraPosition * -1.0, {0, 1, 0});
}

bool SunView::CameraUp() {
  if (CameraPosition.y >= kCameraHeightMax) return false;
  CameraPosition.y = std::min(CameraPosition.y + 5, kCameraHeightMax);
  ApplyCamera();
  return true;
}

bool SunView::CameraDown() {
  if (CameraPosition.y <= kCameraHeightMin) return false;
  CameraPosition.y = std::max(CameraPosition.y - 5, kCameraHeightMin);
  ApplyCamera();
  return true;
}

void SunView::CameraLeft() { scene.ModelFrame.AddRotation(Combine::Before, {0, 1, 0}, -kTurnStep); }
void SunView::CameraRight() { scene.ModelFrame.AddRotation(Combine::Before, {0, 1, 0}, kTurnStep); }

bool SunView::ZoomIn() {
  if (ViewField <= kFieldMin) return false;
  ViewField = std::max(ViewField * 0.9, kFieldMin);
  scene.View.SetField(ViewField);
  return true;
}

bool SunView::ZoomOut() {
  if (ViewField >= kFieldMax) return false;
  ViewField = std::min(ViewField * 1.1, kFieldMax);
  scene.View.SetField(ViewField);
  return true;
}

bool SunView::SetOrientation(int degrees) {
  if (degrees < 0 || degrees > 360) return false;
  scene.BuildingFrame.AddRotation(Combine::Before, {0, 1, 0}, (degrees - FacadeOrientation) * kRad);
  FacadeOrientation = degrees;
  return true;
}

bool SunView::SetStep(int minutes) {
  if (minutes < 0 || minutes > 30) return false;
  StepMinutes = minutes;
  return true;
}

bool SunView::Step() {
  if (SampleIndex < 0 || SampleIndex > lastIndex()) return false;
  const SunSample& s = samples[static_cast<std::size_t>(SampleIndex)];
  const Vec3 dir = SunDirection(s.Azimuth, s.Altitude);
  if (!(dir == Vec3{})) {
    SunDir = dir;
    scene.LightFrame.SetOrientation(SunDir, {0, 1, 0});
  }
  Labels.Time = models::TimeDisplay(s.Time);
  Labels.Azimuth = FormatAngle(s.Azimuth);
  Labels.Altitude = FormatSignedAngle(s.Altitude);
  if (StepMinutes < 1) StepMinutes = 1;
  SampleIndex += StepMinutes;
  return true;
}

void SunView::Reset() {
  CameraDefaults();
  scene.ModelFrame.AddRotation(Combine::Replace, {0, 1, 0}, 0);
  ApplyCamera();
  scene.View.SetField(ViewField);
  SampleIndex = 0;
  bool timerOff = false;
  SingleStep(timerOff);
}

bool SunView::Resize(int width, int height) {
  if (width <= 0 || height <= 0) return false;
  if (width == scene.View.width && height == scene.View.height) return false;
  // The device keeps its dither, quality and shades; the new viewport starts with the
  // engine's own field and the far back plane.
  Device kept = scene.Dev;
  kept.width = width;
  kept.height = height;
  scene.Dev = kept;
  Viewport v;
  v.camera = &scene.CameraFrame;
  v.width = width;
  v.height = height;
  v.front = kFrontPlane;
  v.back = kBackPlaneResized;
  scene.View = v;
  return true;
}

void SunView::TimerTick(bool& timerOn) {
  if (pastEnd())
    timerOn = false;
  else
    Step();
}

void SunView::Start(bool& timerOn) {
  SampleIndex = 0;
  timerOn = true;
}

void SunView::SingleStep(bool& timerOn) {
  timerOn = false;
  if (pastEnd()) SampleIndex = 0;
  Step();
}

void SunView::PauseRestart(bool& timerOn) const {
  if (SampleIndex != 0) timerOn = !timerOn;
}

}  // namespace kelvaro::view3d
