#pragma once
// Shared pieces of the two shading models: the 25 mm grid and the view mapping, the shadow
// angles, the animation through the sun samples, and a plain list of drawing primitives that
// the window (or the batch tool) paints in one pass. No Qt here.
#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <string>
#include <vector>

#include "shadow/SunPath.h"

namespace kelvaro::models {

// Nearest whole number, halves to the even neighbour.
double Nearest(double x);
// The 25 mm grid.
inline constexpr double kGrid = 25.0;
double Snap(double mm);
// A double that is safe to turn into a pixel coordinate (huge and non-finite values clamp).
int ToPixel(double v);

// World millimetres to whole pixels: the drawing area's width spans nearest(6000 × zoom) mm.
struct ViewMap {
  int width = 1;
  double zoom = 1.0;
  int span() const;
  int px(double mm) const;
  double mm(double pixels) const;  // pixel distance back to millimetres (for dragging)
};

struct Pt {
  int x = 0;
  int y = 0;
  friend bool operator==(const Pt&, const Pt&) = default;
};

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};
inline constexpr Rgb kWindowColour{127, 153, 153};
inline constexpr Rgb kSilver{192, 192, 192};
inline constexpr Rgb kDarkGrey{102, 102, 102};
inline constexpr Rgb kGrey{128, 128, 128};
inline constexpr Rgb kGlass{41, 109, 193};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kYellow{255, 255, 0};
inline constexpr Rgb kGreen{0, 128, 0};
inline constexpr Rgb kNavy{0, 0, 128};

// One thing to draw. Polygons are filled with `brush` and outlined with `pen`; lines use `pen`;
// text is written with its top-left corner at the point. The points live in the scene's pool.
struct Prim {
  enum Kind { Polygon, Line, DottedLine, Circle, FilledCircle, Rect, Text } kind = Line;
  std::uint32_t first = 0;  // Rect: top-left and bottom-right (inclusive); Circle: centre
  std::uint32_t count = 0;
  int radius = 0;
  Rgb pen;
  Rgb brush;
  std::string text;
};

// Everything one frame of a model shows. A scene kept between frames reuses its storage, so
// drawing a frame allocates nothing once the first one is built.
class Scene {
 public:
  int width = 0;
  int height = 0;
  Rgb background = kWindowColour;

  void clear();
  std::span<const Prim> items() const { return {prims_.data(), used_}; }
  std::span<const Pt> points(const Prim& p) const { return {points_.data() + p.first, p.count}; }

  void polygon(std::initializer_list<Pt> pts, Rgb pen, Rgb brush);
  // A polygon of the points added with point() since beginPolygon().
  void beginPolygon() { open_ = static_cast<std::uint32_t>(points_.size()); }
  void point(Pt p) { points_.push_back(p); }
  void endPolygon(Rgb pen, Rgb brush);
  void line(Pt a, Pt b, Rgb pen);
  void dotted(Pt a, Pt b, Rgb pen);
  void circle(Pt c, int r, Rgb pen);
  void disc(Pt c, int r, Rgb colour);
  void rect(Pt topLeft, Pt bottomRight, Rgb pen, Rgb brush);
  void text(Pt at, std::string_view s, Rgb colour = kBlack);

 private:
  Prim& add(Prim::Kind kind, std::uint32_t first, Rgb pen, Rgb brush, int radius = 0);
  std::vector<Prim> prims_;
  std::size_t used_ = 0;
  std::vector<Pt> points_;
  std::uint32_t open_ = 0;
};

// Filled arrowhead at `to` of the ray from `from`: the mapped lengths px(80), px(100), px(120).
void Arrowhead(Scene& s, Pt from, Pt to, const ViewMap& map, Rgb colour);
// A ray in the given colour with an arrowhead at its end.
void Ray(Scene& s, Pt from, Pt to, const ViewMap& map, Rgb colour);

// The compass, the orientation caption, the turned plan symbol of the room and the sun
// marker, around the inset origin c0. `symbol` holds the symbol's vertices in units of a.
struct SunState;
void OrientationInset(Scene& s, Pt c0, int a, int orientation, const std::vector<std::array<double, 2>>& symbol,
                      const SunState& sun, const ViewMap& map);

// Horizontal shadow angle of a sun azimuth on a façade facing `orientation` (0 … 360).
double HorizontalShadowAngle(double azimuth, double orientation);
// Vertical shadow angle for that HSA and a sun altitude (0 … 180 for a sun above the horizon).
double VerticalShadowAngle(double altitude, double hsa);

// The current sun of a model; all 0 before the first step.
struct SunState {
  double Azimuth = 0;
  double Altitude = 0;
  double HSA = 0;
  double VSA = 0;
};

// The walk through the one-minute samples.
class Animation {
 public:
  explicit Animation(std::vector<SunSample> samples = {}) : samples_(std::move(samples)) {}

  const std::vector<SunSample>& samples() const { return samples_; }
  int lastIndex() const { return static_cast<int>(samples_.size()) - 1; }
  int SampleIndex = 0;
  int StepMinutes = 2;
  SunState Sun;
  std::string TimeText = "00 : 00";

  bool pastEnd() const { return SampleIndex > lastIndex(); }

  // One step: skips samples below 1° (not past the last one), takes the sample's sun and
  // advances by StepMinutes. False when nothing was taken (past the end, or still below 1°,
  // when only the index moves on by one) and the picture stays as it is.
  bool step(int orientation);
  // Back to rest: index 0, sun 0, "00 : 00".
  void reset();

 private:
  std::vector<SunSample> samples_;
};

// "07 : 05": hours and minutes of a local time.
std::string TimeDisplay(double hours);

// Display text of a dimension: whole millimetres followed by "mm".
std::string MmText(double mm);

// The view of a model window: the drawing area's size, the zoom and the camera offsets.
struct ModelView {
  // The drawing area of a model window at its first size (640 x 475 less panel, menu and
  // status bar).
  int width = 492;
  int height = 437;
  double ViewZoom = 1.0;
  int PanX = 10;
  int PanY = 10;
  ViewMap map() const { return {width, ViewZoom}; }
};

// Camera and zoom commands with their limits; false when the command is refused.
bool CameraUp(ModelView& v);
bool CameraDown(ModelView& v);
bool CameraLeft(ModelView& v);
bool CameraRight(ModelView& v);
bool ZoomIn(ModelView& v);
bool ZoomOut(ModelView& v);

// A ray of the picture.
struct RaySeg {
  Pt from;
  Pt to;
  Rgb colour;
};

// The few rays of one frame, without a heap allocation.
class RayList {
 public:
  void push_back(const RaySeg& r) {
    if (n_ < items_.size()) items_[n_++] = r;
  }
  std::size_t size() const { return n_; }
  bool empty() const { return n_ == 0; }
  const RaySeg& operator[](std::size_t i) const { return items_[i]; }
  const RaySeg* begin() const { return items_.data(); }
  const RaySeg* end() const { return items_.data() + n_; }

 private:
  std::array<RaySeg, 4> items_{};
  std::size_t n_ = 0;
};

enum class DragCursor { Default, Vertical, Horizontal };
// The first node (0-based, in order) whose ±3 pixel square holds p, or -1.
template <std::size_t N>
int HitNode(const std::array<Pt, N>& nodes, Pt p) {
  for (std::size_t i = 0; i < N; ++i)
    if (p.x >= nodes[i].x - 3 && p.x <= nodes[i].x + 3 && p.y >= nodes[i].y - 3 && p.y <= nodes[i].y + 3)
      return static_cast<int>(i);
  return -1;
}
// The node squares (blue outline, red fill).
void NodeSquares(Scene& s, const Pt* nodes, int count);

// A stored dimension as the model takes it: not finite becomes the default, then it is
// clamped to [lo, hi] and put on the grid.
double SaneDimension(double v, double fallback, double lo, double hi);
int SaneInteger(int v, int fallback, int lo, int hi);
inline constexpr double kLargestDimension = 100000.0;

// Rotated placement of the plan symbol's vertex (u, v) (units of a) around c0.
Pt SymbolPoint(Pt c0, int a, double u, double v, double orientationDeg);

// Degrees of atan(num / den) with a zero divisor taken as 1.
double CriticalAngle(double num, double den);

}  // namespace kelvaro::models
