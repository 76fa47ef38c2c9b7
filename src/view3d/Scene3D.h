#pragma once
// A small retained-mode scene layer: frames with their own transforms, mesh builders, ambient
// and directional lights, planar shadows, flat texture wraps and a viewport. No Qt and no
// OpenGL here; a renderer walks the finished scene.
//
// Conventions are those of a left-handed engine with row vectors: x right, y up, z away from
// the viewer; a point p in a frame's space is p * M in its parent's space.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kelvaro::view3d {

struct Vec3 {
  double x = 0, y = 0, z = 0;
  friend bool operator==(const Vec3&, const Vec3&) = default;
};
Vec3 operator+(Vec3 a, Vec3 b);
Vec3 operator-(Vec3 a, Vec3 b);
Vec3 operator*(Vec3 a, double s);
double Dot(Vec3 a, Vec3 b);
Vec3 Cross(Vec3 a, Vec3 b);
double Length(Vec3 a);
// The unit vector, or (0, 0, 0) for a zero or non-finite vector.
Vec3 Normalised(Vec3 a);

// 4 x 4 matrix for row vectors; m[3][0..2] is the translation.
struct Mat4 {
  std::array<std::array<double, 4>, 4> m{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
  static Mat4 Identity() { return {}; }
  static Mat4 Rotation(Vec3 axis, double radians);  // identity for a zero axis
  static Mat4 Scaling(Vec3 s);
  static Mat4 Translation(Vec3 t);
  Vec3 point(Vec3 p) const;      // with translation
  Vec3 direction(Vec3 d) const;  // without
  // Inverse of a rigid transform (rotation and translation only).
  Mat4 rigidInverse() const;
};
Mat4 operator*(const Mat4& a, const Mat4& b);  // a first, then b

enum class Combine { Replace, Before, After };

struct Rgb {
  double r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A texture by resource name; the renderer turns the name into pixels.
struct Texture {
  std::string resource;
  bool decalTransparency = false;  // texels of the transparent colour (black) are left out
};

enum class Quality { Flat, Gouraud };

// Triangles with flat faces; vertices shared between faces keep one texture coordinate each.
class MeshBuilder {
 public:
  struct Box {
    Vec3 min, max;
    double width() const { return max.x - min.x; }
    double height() const { return max.y - min.y; }
    double depth() const { return max.z - min.z; }
  };

  // Replaces the contents with the mesh of a binary DirectX file; false (contents unchanged)
  // when the data is not such a file or holds no usable mesh.
  bool Load(std::span<const std::uint8_t> bytes, std::string* error = nullptr);

  void SetPerspective(bool on) { perspective_ = on; }
  void SetQuality(Quality q) { quality_ = q; }
  void Scale(double sx, double sy, double sz);
  Box GetBox() const;  // all zero when empty
  void SetTexture(const Texture& t) { texture_ = t; hasTexture_ = true; }
  void SetColour(Rgb c) { colour_ = c; }

  bool perspective() const { return perspective_; }
  Quality quality() const { return quality_; }
  bool hasTexture() const { return hasTexture_; }
  const Texture& texture() const { return texture_; }
  Rgb colour() const { return colour_; }

  std::vector<Vec3>& vertices() { return vertices_; }
  const std::vector<Vec3>& vertices() const { return vertices_; }
  std::vector<std::array<double, 2>>& uvs() { return uvs_; }
  const std::vector<std::array<double, 2>>& uvs() const { return uvs_; }
  std::vector<std::array<std::uint32_t, 3>>& faces() { return faces_; }
  const std::vector<std::array<std::uint32_t, 3>>& faces() const { return faces_; }

 private:
  std::vector<Vec3> vertices_;
  std::vector<std::array<double, 2>> uvs_;
  std::vector<std::array<std::uint32_t, 3>> faces_;
  bool perspective_ = false;
  Quality quality_ = Quality::Gouraud;
  Texture texture_;
  bool hasTexture_ = false;
  Rgb colour_{1, 1, 1};
};

// A flat wrap: each vertex gets u from its distance along (up x direction) and v from its
// distance along up, scaled and moved by the texture origin; v grows downwards in the picture.
struct FlatWrap {
  Vec3 origin;
  Vec3 direction{0, 0, 1};
  Vec3 up{0, 1, 0};
  double ou = 0, ov = 0;  // texture origin
  double su = 1, sv = 1;  // texture scale
  void Apply(MeshBuilder& mesh) const;
};

enum class LightType { Ambient, Directional };

struct Light {
  LightType type = LightType::Ambient;
  Rgb colour{1, 1, 1};
};

class Frame;

// The shadow of a visual cast by a directional light onto a plane (a point and a normal, in
// the scene's coordinates).
struct Shadow {
  const MeshBuilder* visual = nullptr;
  const Light* light = nullptr;
  Vec3 point;
  Vec3 normal{0, 1, 0};
  Rgb colour{0, 0, 0};
};

class Frame {
 public:
  explicit Frame(Frame* parent = nullptr) : parent_(parent) {}

  Frame* parent() const { return parent_; }
  const Mat4& transform() const { return local_; }
  void SetTransform(const Mat4& m) { local_ = m; }
  // The frame's transform into the scene's coordinates.
  Mat4 world() const;

  void AddRotation(Combine how, Vec3 axis, double radians);
  // Position and orientation relative to the parent frame.
  void SetPosition(double x, double y, double z);
  Vec3 position() const { return {local_.m[3][0], local_.m[3][1], local_.m[3][2]}; }
  // The frame's z axis along `direction` and its y axis towards `up`. A zero direction leaves
  // the orientation as it is; an up along the direction is replaced by another axis.
  void SetOrientation(Vec3 direction, Vec3 up);

  void AddVisual(const MeshBuilder* mesh) { meshes_.push_back(mesh); }
  void AddShadow(const Shadow* shadow) { shadows_.push_back(shadow); }
  void AddLight(const Light* light) { lights_.push_back(light); }
  const std::vector<const MeshBuilder*>& meshes() const { return meshes_; }
  const std::vector<const Shadow*>& shadows() const { return shadows_; }
  const std::vector<const Light*>& lights() const { return lights_; }

  void SetSceneBackgroundRGB(double r, double g, double b) { background_ = {r, g, b}; }
  Rgb background() const { return background_; }

 private:
  Frame* parent_;
  Mat4 local_;
  std::vector<const MeshBuilder*> meshes_;
  std::vector<const Shadow*> shadows_;
  std::vector<const Light*> lights_;
  Rgb background_{0, 0, 0};
};

// The matrix that flattens points onto the shadow plane along a light direction; identity when
// the light runs parallel to the plane.
Mat4 ShadowProjection(Vec3 lightDirection, Vec3 point, Vec3 normal);

// Where the camera looks and how wide.
struct Viewport {
  const Frame* camera = nullptr;
  int x = 0, y = 0, width = 0, height = 0;
  double field = 0.5;  // half the larger side of the view at distance 1
  double front = 1.0;
  double back = 250.0;
  bool SetField(double f);  // refused unless positive and finite
  bool SetFront(double f);  // refused unless positive, finite and below back
  bool SetBack(double b);   // refused unless finite and beyond front
  // Column-major projection into OpenGL clip space for the current size.
  std::array<float, 16> projection() const;
};

// What the device keeps across a resize.
struct Device {
  int width = 0, height = 0;
  Quality quality = Quality::Gouraud;
  int shades = 32;
  bool dither = true;
  int textureColours = 64;
  int textureShades = 32;
};

// One item a renderer draws: a mesh and its transform, or a shadow flattened into the scene.
struct DrawItem {
  const MeshBuilder* mesh = nullptr;
  Mat4 world;
  bool shadow = false;
  Rgb colour;  // shadow colour
};

// The scene as a renderer needs it: visuals of every frame below the root in scene
// coordinates, the summed ambient light and the first directional light's direction. The
// lists are kept between frames so a frame allocates nothing once the first is built.
struct FrameSnapshot {
  Rgb background;
  Rgb ambient;
  Rgb sun;
  Vec3 sunDirection{0, 0, 1};  // the direction light travels
  bool hasSun = false;
  std::vector<DrawItem> items;
  // Every directional light with the direction it shines in the scene.
  struct LightDir {
    const Light* light = nullptr;
    Vec3 direction;
  };
  std::vector<LightDir> lights;
};
void Collect(const std::vector<const Frame*>& frames, FrameSnapshot& out);

}  // namespace kelvaro::view3d
