#include "view3d/GLRenderer.h"

#include <QFile>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLBuffer>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLTexture>
#include <QScreen>
#include <QVector3D>

#include <algorithm>
#include <array>

// Resources of a static library are registered by hand, outside any namespace.
static void registerView3DResources() { Q_INIT_RESOURCE(view3d); }

namespace kelvaro::view3d {

namespace {

void ensureResources() {
  static const bool done = (registerView3DResources(), true);
  (void)done;
}

const char* kVertexShader = R"(
attribute vec3 aPos;
attribute vec3 aNormal;
attribute vec2 aUv;
uniform mat4 uModelView;
uniform mat4 uProjection;
uniform mat3 uTurn;
uniform vec3 uAmbient;
uniform vec3 uSun;
uniform vec3 uSunDir;
varying vec2 vUv;
varying vec3 vLight;
void main() {
  vec3 n = normalize(uTurn * aNormal);
  vLight = uAmbient + uSun * max(dot(n, -uSunDir), 0.0);
  vUv = aUv;
  gl_Position = uProjection * uModelView * vec4(aPos, 1.0);
}
)";

const char* kFragmentShader = R"(
#ifdef GL_ES
precision mediump float;
#endif
uniform sampler2D uTex;
uniform float uShadow;
uniform float uDecal;
uniform vec3 uColour;
varying vec2 vUv;
varying vec3 vLight;
void main() {
  if (uShadow > 0.5) {
    gl_FragColor = vec4(uColour, 1.0);
    return;
  }
  vec4 t = texture2D(uTex, vUv);
  // Decal transparency: black texels leave what lies behind.
  if (uDecal > 0.5 && max(t.r, max(t.g, t.b)) < 0.04) discard;
  gl_FragColor = vec4(min(t.rgb * vLight, vec3(1.0)), 1.0);
}
)";

// A row-vector matrix laid out as OpenGL's column-major column-vector matrix.
std::array<float, 16> glMatrix(const Mat4& m) {
  std::array<float, 16> r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r[static_cast<std::size_t>(4 * i + j)] = static_cast<float>(m.m[i][j]);
  return r;
}

std::array<float, 9> glTurn(const Mat4& m) {
  std::array<float, 9> r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r[static_cast<std::size_t>(3 * i + j)] = static_cast<float>(m.m[i][j]);
  return r;
}

QVector3D vec(Vec3 v) { return QVector3D(float(v.x), float(v.y), float(v.z)); }
QVector3D vec(Rgb c) { return QVector3D(float(c.r), float(c.g), float(c.b)); }

}  // namespace

QImage TextureImage(const std::string& resource) {
  ensureResources();
  QImage img(QStringLiteral(":/view3d/%1.bmp").arg(QString::fromStdString(resource)));
  if (img.isNull()) {
    img = QImage(1, 1, QImage::Format_RGB32);
    img.fill(Qt::white);
  }
  return img;
}

std::vector<std::uint8_t> CubeResource() {
  ensureResources();
  QFile f(QStringLiteral(":/view3d/CUBE"));
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QByteArray b = f.readAll();
  return {b.begin(), b.end()};
}

struct GLRenderer::MeshBuffers {
  QOpenGLBuffer vbo{QOpenGLBuffer::VertexBuffer};
  int count = 0;
};

GLRenderer::GLRenderer() = default;
GLRenderer::~GLRenderer() = default;

bool GLRenderer::initialise(QString* error) {
  if (!QOpenGLContext::currentContext()) {
    if (error) *error = QStringLiteral("no current OpenGL context");
    return false;
  }
  auto p = std::make_unique<QOpenGLShaderProgram>();
  if (!p->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) ||
      !p->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader)) {
    if (error) *error = p->log();
    return false;
  }
  p->bindAttributeLocation("aPos", 0);
  p->bindAttributeLocation("aNormal", 1);
  p->bindAttributeLocation("aUv", 2);
  if (!p->link()) {
    if (error) *error = p->log();
    return false;
  }
  program_ = std::move(p);
  return true;
}

GLRenderer::MeshBuffers& GLRenderer::buffersFor(const MeshBuilder* mesh) {
  auto& slot = meshes_[mesh];
  if (slot) return *slot;
  slot = std::make_unique<MeshBuffers>();
  // Flat faces: every triangle gets its own three vertices and its face normal, turned
  // away from the mesh's centre.
  const auto& vs = mesh->vertices();
  const auto& uv = mesh->uvs();
  const MeshBuilder::Box box = mesh->GetBox();
  const Vec3 centre = (box.min + box.max) * 0.5;
  std::vector<float> data;
  data.reserve(mesh->faces().size() * 3 * 8);
  for (const auto& f : mesh->faces()) {
    const Vec3 a = vs[f[0]], b = vs[f[1]], c = vs[f[2]];
    Vec3 n = Normalised(Cross(b - a, c - a));
    if (Dot(n, (a + b + c) * (1.0 / 3) - centre) < 0) n = n * -1.0;
    for (std::uint32_t idx : f) {
      const Vec3 p = vs[idx];
      const auto t = idx < uv.size() ? uv[idx] : std::array<double, 2>{0, 0};
      data.insert(data.end(), {float(p.x), float(p.y), float(p.z), float(n.x), float(n.y), float(n.z), float(t[0]),
                               float(t[1])});
    }
  }
  slot->vbo.create();
  slot->vbo.bind();
  slot->vbo.allocate(data.data(), static_cast<int>(data.size() * sizeof(float)));
  slot->vbo.release();
  slot->count = static_cast<int>(data.size() / 8);
  return *slot;
}

QOpenGLTexture* GLRenderer::textureFor(const Texture& t) {
  auto& slot = textures_[t.resource];
  if (!slot) {
    slot = std::make_unique<QOpenGLTexture>(TextureImage(t.resource).convertToFormat(QImage::Format_RGBA8888),
                                            QOpenGLTexture::DontGenerateMipMaps);
    slot->setMinificationFilter(QOpenGLTexture::Linear);
    slot->setMagnificationFilter(QOpenGLTexture::Linear);
    slot->setWrapMode(QOpenGLTexture::ClampToEdge);
  }
  return slot.get();
}

void GLRenderer::render(const std::vector<const Frame*>& frames, const Viewport& view, int pixelWidth,
                        int pixelHeight) {
  QOpenGLContext* ctx = QOpenGLContext::currentContext();
  if (!ctx || !program_) return;
  QOpenGLFunctions* gl = ctx->functions();
  Collect(frames, snap_);
  gl->glViewport(0, 0, std::max(pixelWidth, 1), std::max(pixelHeight, 1));
  gl->glClearColor(float(snap_.background.r), float(snap_.background.g), float(snap_.background.b), 1.0f);
  gl->glClearDepthf(1.0f);
  gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  gl->glEnable(GL_DEPTH_TEST);
  gl->glDepthFunc(GL_LEQUAL);
  gl->glDisable(GL_CULL_FACE);
  gl->glDisable(GL_BLEND);
  if (!view.camera) return;

  const Mat4 toView = view.camera->world().rigidInverse();
  const auto projection = view.projection();
  program_->bind();
  program_->setUniformValue("uAmbient", vec(snap_.ambient));
  program_->setUniformValue("uSun", snap_.hasSun ? vec(snap_.sun) : QVector3D());
  program_->setUniformValue("uSunDir", vec(snap_.sunDirection));
  program_->setUniformValue("uTex", 0);
  gl->glUniformMatrix4fv(program_->uniformLocation("uProjection"), 1, GL_FALSE, projection.data());
  const int locModelView = program_->uniformLocation("uModelView");
  const int locTurn = program_->uniformLocation("uTurn");

  // Visuals first, shadows over the ground after them.
  for (int pass = 0; pass < 2; ++pass) {
    for (const DrawItem& it : snap_.items) {
      if (it.shadow != (pass == 1) || !it.mesh || it.mesh->faces().empty()) continue;
      MeshBuffers& mb = buffersFor(it.mesh);
      const auto mv = glMatrix(it.world * toView);
      const auto turn = glTurn(it.world);
      gl->glUniformMatrix4fv(locModelView, 1, GL_FALSE, mv.data());
      gl->glUniformMatrix3fv(locTurn, 1, GL_FALSE, turn.data());
      program_->setUniformValue("uShadow", it.shadow ? 1.0f : 0.0f);
      program_->setUniformValue("uColour", vec(it.colour));
      QOpenGLTexture* tex = nullptr;
      if (!it.shadow) {
        if (it.mesh->hasTexture()) {
          tex = textureFor(it.mesh->texture());
          program_->setUniformValue("uDecal", it.mesh->texture().decalTransparency ? 1.0f : 0.0f);
        } else {
          tex = textureFor({"", false});  // plain white
          program_->setUniformValue("uDecal", 0.0f);
        }
        tex->bind(0);
      }
      if (it.shadow) {
        gl->glEnable(GL_POLYGON_OFFSET_FILL);
        gl->glPolygonOffset(-1.0f, -1.0f);
      }
      mb.vbo.bind();
      program_->enableAttributeArray(0);
      program_->enableAttributeArray(1);
      program_->enableAttributeArray(2);
      program_->setAttributeBuffer(0, GL_FLOAT, 0, 3, 8 * sizeof(float));
      program_->setAttributeBuffer(1, GL_FLOAT, 3 * sizeof(float), 3, 8 * sizeof(float));
      program_->setAttributeBuffer(2, GL_FLOAT, 6 * sizeof(float), 2, 8 * sizeof(float));
      gl->glDrawArrays(GL_TRIANGLES, 0, mb.count);
      mb.vbo.release();
      if (tex) tex->release(0);
      if (it.shadow) gl->glDisable(GL_POLYGON_OFFSET_FILL);
    }
  }
  program_->disableAttributeArray(0);
  program_->disableAttributeArray(1);
  program_->disableAttributeArray(2);
  program_->release();
}

void GLRenderer::release() {
  meshes_.clear();
  textures_.clear();
  program_.reset();
}

DeviceProbe ProbeOpenGL(bool forWindow) {
  DeviceProbe r;
  if (!QGuiApplication::instance()) return r;
  const QString platform = QGuiApplication::platformName();
  if (forWindow && (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))) return r;
  QOffscreenSurface surface;
  surface.create();
  QOpenGLContext ctx;
  if (!surface.isValid() || !ctx.create() || !ctx.makeCurrent(&surface)) return r;
  ctx.doneCurrent();
  r.ok = true;
  const QScreen* s = QGuiApplication::primaryScreen();
  r.colourBits = s ? s->depth() : 24;
  return r;
}

QImage RenderOffscreen(const std::vector<const Frame*>& frames, const Viewport& view, QString* error) {
  auto fail = [&](const char* why) {
    if (error) *error = QString::fromLatin1(why);
    return QImage();
  };
  if (!QGuiApplication::instance()) return fail("no application object");
  QOffscreenSurface surface;
  surface.create();
  QOpenGLContext ctx;
  if (!surface.isValid() || !ctx.create() || !ctx.makeCurrent(&surface)) return fail("no OpenGL context");
  const int w = std::max(view.width, 1), h = std::max(view.height, 1);
  QImage img;
  {
    QOpenGLFramebufferObject fbo(w, h, QOpenGLFramebufferObject::CombinedDepthStencil);
    if (!fbo.isValid() || !fbo.bind()) {
      ctx.doneCurrent();
      return fail("no frame buffer");
    }
    GLRenderer r;
    QString why;
    if (!r.initialise(&why)) {
      ctx.doneCurrent();
      if (error) *error = why;
      return QImage();
    }
    r.render(frames, view, w, h);
    ctx.functions()->glFinish();
    img = fbo.toImage();
    r.release();
    fbo.release();
  }
  ctx.doneCurrent();
  return img.convertToFormat(QImage::Format_RGB32);
}

}  // namespace kelvaro::view3d
