#pragma once
// Draws a collected scene with OpenGL into the current context: flat-shaded, textured meshes
// under an ambient and a directional light, and planar shadows in their own colour.
#include <QImage>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "view3d/Scene3D.h"

class QOpenGLContext;
class QOpenGLShaderProgram;
class QOpenGLTexture;
class QOpenGLBuffer;

namespace kelvaro::view3d {

// The picture of a texture resource ("BACK1", "BACK2"): the program's own by default.
QImage TextureImage(const std::string& resource);
// The bytes of the CUBE resource.
std::vector<std::uint8_t> CubeResource();

class GLRenderer {
 public:
  GLRenderer();
  ~GLRenderer();  // call release() with the context current before the context goes
  GLRenderer(const GLRenderer&) = delete;
  GLRenderer& operator=(const GLRenderer&) = delete;

  // Compiles the shaders in the current context; false with a reason when it cannot.
  bool initialise(QString* error = nullptr);
  bool ready() const { return program_ != nullptr; }
  // One frame of the scene seen through the viewport, into the bound framebuffer of the
  // given pixel size.
  void render(const std::vector<const Frame*>& frames, const Viewport& view, int pixelWidth, int pixelHeight);
  // Frees the GL objects; the context must be current.
  void release();

 private:
  struct MeshBuffers;
  MeshBuffers& buffersFor(const MeshBuilder* mesh);
  QOpenGLTexture* textureFor(const Texture& t);

  std::unique_ptr<QOpenGLShaderProgram> program_;
  std::map<const MeshBuilder*, std::unique_ptr<MeshBuffers>> meshes_;
  std::map<std::string, std::unique_ptr<QOpenGLTexture>> textures_;
  FrameSnapshot snap_;
};

// Whether an OpenGL context can be had here, and its colour depth in bits per pixel. For a
// window the platform must also be able to show OpenGL inside widgets (the off-screen and
// minimal platforms cannot).
struct DeviceProbe {
  bool ok = false;
  int colourBits = 0;
};
DeviceProbe ProbeOpenGL(bool forWindow = false);

// One frame rendered off screen (a frame-buffer object on an off-screen surface); a null
// image with a reason when no context or frame buffer can be made.
QImage RenderOffscreen(const std::vector<const Frame*>& frames, const Viewport& view, QString* error = nullptr);

}  // namespace kelvaro::view3d
