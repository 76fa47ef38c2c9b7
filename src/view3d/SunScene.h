#pragma once
// What the 3D sun and shadow view shows and how its commands change it: the building on its
// ground slab under an ambient and a directional sun light, the camera, the zoom, the
// orientation and the walk through the day's sun samples. No Qt and no OpenGL here.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "shadow/SunPath.h"
#include "view3d/Scene3D.h"

namespace kelvaro::view3d {

inline constexpr double kBuildingSize = 12.0;
inline constexpr double kShadowPlaneY = -6.0;
inline constexpr double kGroundY = -6.2;
inline constexpr double kLowestLightAltitude = 3.0;  // degrees
inline constexpr double kFieldMin = 0.1, kFieldMax = 2.0, kFieldDefault = 0.5;
inline constexpr double kCameraHeightMin = 1, kCameraHeightMax = 100;
inline constexpr Vec3 kCameraDefault{0, 10, -30};
inline constexpr double kBackPlane = 250, kBackPlaneResized = 5000, kFrontPlane = 1.0;
inline constexpr double kTurnStep = 0.1;  // radians per camera left / right
inline constexpr int kStepDefault = 10, kOrientationDefault = 60;

// The direction the sun light travels for a sun at azimuth A (from North through East) and
// altitude h (degrees): (-sin A / tan h, -sin h, -cos A / tan h), with h taken as 3 degrees
// when lower. Not normalised. (0, 0, 0) when either angle is not finite.
Vec3 SunDirection(double azimuth, double altitude);

// The scene graph of the view. Frames refer to their parents, so the scene stays where it
// was built.
class SunScene {
 public:
  SunScene();
  SunScene(const SunScene&) = delete;
  SunScene& operator=(const SunScene&) = delete;

  // Builds the meshes from the CUBE resource's bytes and hangs everything in its frames.
  // False with a reason when the resource holds no usable mesh; the scene then has frames,
  // lights and viewport but no visuals.
  bool Build(std::span<const std::uint8_t> cube, std::string* error = nullptr);

  Frame SceneFrame{nullptr};
  Frame ModelFrame{&SceneFrame};
  Frame BuildingFrame{&ModelFrame};
  Frame GroundFrame{&ModelFrame};
  Frame LightFrame{&ModelFrame};
  Frame CameraFrame{&SceneFrame};
  MeshBuilder Building;
  MeshBuilder Ground;
  Light Ambient{LightType::Ambient, {0.6, 0.6, 0.6}};
  Light Sun{LightType::Directional, {1, 1, 1}};
  Shadow BuildingShadow;
  Viewport View;
  Device Dev;

  const std::vector<const Frame*>& frames() const { return frames_; }

 private:
  std::vector<const Frame*> frames_;
};

// The labels of one animation step.
struct StepLabels {
  std::string Time;      // Label1: "07 : 05"
  std::string Azimuth;   // Label16: d:mm:ss
  std::string Altitude;  // Label17: d:mm:ss, "-" in front when negative
};

// The window's state and commands over its scene.
class SunView {
 public:
  SunView() = default;

  SunScene scene;
  std::vector<SunSample> samples;
  int SampleIndex = 0;
  int StepMinutes = kStepDefault;
  int FacadeOrientation = kOrientationDefault;
  double ViewField = kFieldDefault;
  Vec3 CameraPosition = kCameraDefault;
  Vec3 SunDir{};
  StepLabels Labels{"00 : 00", "", ""};

  int lastIndex() const { return static_cast<int>(samples.size()) - 1; }
  bool pastEnd() const { return SampleIndex > lastIndex(); }

  // Builds the scene (set-up step 6) with the building turned to FacadeOrientation, the
  // camera at its defaults and the viewport at the given size.
  bool SetUp(std::span<const std::uint8_t> cube, int width, int height, std::string* error = nullptr);

  void CameraDefaults();
  // The camera frame at CameraPosition, looking at the origin.
  void ApplyCamera();

  // Commands; false when refused at a limit (the state is then unchanged).
  bool CameraUp();
  bool CameraDown();
  void CameraLeft();
  void CameraRight();
  bool ZoomIn();
  bool ZoomOut();
  // A new orientation 0 ... 360 turns the building by the difference; others are ignored.
  bool SetOrientation(int degrees);
  // A step of 0 ... 30 is taken; others are ignored.
  bool SetStep(int minutes);

  // One animation step; false (nothing changes) when there is no sample at SampleIndex.
  bool Step();
  // Camera and model turn back to their defaults, viewport field, index 0, then one step.
  void Reset();
  // A new drawing-area size; true when the device and viewport were remade.
  bool Resize(int width, int height);

  // Timer tick, Start, Single step and Pause / restart; `timerOn` is the animation timer.
  void TimerTick(bool& timerOn);
  void Start(bool& timerOn);
  void SingleStep(bool& timerOn);
  void PauseRestart(bool& timerOn) const;
};

}  // namespace kelvaro::view3d
