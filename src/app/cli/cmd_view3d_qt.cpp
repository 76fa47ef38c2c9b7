// The view3d command: one frame of the 3D sun and shadow view, rendered off screen by the
// window's own scene and renderer.
// command.h first: Qt defines "emit" as a macro.
#include "app/cli/command.h"

#include <QGuiApplication>
#include <QImage>

#include <cmath>
#include <cstdio>
#include <memory>

#include "app/cli/support_site.h"
#include "platform/notify.h"
#include "view3d/GLRenderer.h"
#include "view3d/SunScene.h"
#include "view3d/frm3D.h"
#include "viewer/PngFile.h"

#undef emit

namespace kelvaro::cli {
namespace {

using namespace kelvaro::view3d;

void quietQt(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtFatalMsg) qFatal("%s", qPrintable(text));
}

double angleOption(const Args& args, const std::string& name, double fallback, double lo, double hi) {
  if (!args.has(name)) return fallback;
  const double v = args.number(name);
  if (!std::isfinite(v) || v < lo || v > hi)
    throw UsageError("bad value for " + name + ": " + *args.get(name) + " (expected " + numberText(lo) + " to " +
                     numberText(hi) + ")");
  return v;
}

const std::vector<OptionSpec> kOptions = {{"--azimuth"}, {"--altitude"},     {"--orientation"},   {"--png"},
                                          {"--size"},    {"--json", false}, {"--output"},        {"--camera-height"},
                                          {"--field"}};

int run(const std::vector<std::string>& argv, Io& io) {
  Args args = parseArgs(argv, kOptions);
  if (!args.positional.empty()) throw UsageError("unexpected argument " + args.positional[0]);
  const double azimuth = angleOption(args, "--azimuth", 180, -360, 720);
  const double altitude = angleOption(args, "--altitude", 45, -90, 90);
  const int orientation = intOption(args, "--orientation", 0, 360, kOrientationDefault);
  int w = 492, h = 410;
  if (auto s = args.get("--size")) {
    char x = 0, rest = 0;
    if (std::sscanf(s->c_str(), "%d%c%d%c", &w, &x, &h, &rest) != 3 || (x != 'x' && x != 'X') || w < 16 || h < 16 ||
        w > 4096 || h > 4096)
      throw UsageError("bad value for --size: " + *s + " (expected WxH, 16 to 4096 pixels)");
  }

  SunView view;
  view.FacadeOrientation = orientation;
  std::string why;
  const std::vector<std::uint8_t> cube = CubeResource();
  const bool built = view.SetUp(cube, w, h, &why);
  view.CameraPosition.y = angleOption(args, "--camera-height", kCameraDefault.y, kCameraHeightMin, kCameraHeightMax);
  view.ApplyCamera();
  view.ViewField = angleOption(args, "--field", kFieldDefault, kFieldMin, kFieldMax);
  view.scene.View.SetField(view.ViewField);
  view.samples = {{azimuth, altitude, 12.0}};
  view.Step();

  if (args.has("--png")) {
    QtMessageHandler previous = qInstallMessageHandler(quietQt);
    struct Restore {
      QtMessageHandler h;
      ~Restore() { qInstallMessageHandler(h); }
    } restore{previous};
    std::unique_ptr<QGuiApplication> app;
    if (!QCoreApplication::instance()) {
      // Without a display the off-screen platform is tried; it may have no OpenGL.
      if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
          qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
      static int argc = 1;
      static char name[] = "kelvaro-cli";
      static char* argvv[] = {name, nullptr};
      app = std::make_unique<QGuiApplication>(argc, argvv);
    }
    if (!built) {
      showError("CreateDevice failed.");
      showError(kSetupFailedText);
      throw Failure(why);
    }
    QString reason;
    const QImage img = RenderOffscreen(view.scene.frames(), view.scene.View, &reason);
    if (img.isNull()) {
      showError("Direct3DRMCreate failed.");
      showError(kSetupFailedText);
      throw Failure("no OpenGL rendering here (" + reason.toStdString() + "); a display or Xvfb is needed");
    }
    const std::string bytes = viewer::EncodePng(img);
    if (bytes.empty()) throw FileError("cannot write " + *args.get("--png"));
    writeFileAtomically(*args.get("--png"), bytes);
  }

  const NamedNumbers fields = {{"Azimuth", azimuth},
                               {"Altitude", altitude},
                               {"FacadeOrientation", double(orientation)},
                               {"SunDirectionX", view.SunDir.x},
                               {"SunDirectionY", view.SunDir.y},
                               {"SunDirectionZ", view.SunDir.z}};
  emit(args, io, namedNumbersText(args, fields));
  return kOk;
}

}  // namespace
KELVARO_CLI_COMMAND("view3d", "one frame of the 3D sun and shadow view",
                    "kelvaro-cli view3d --azimuth A --altitude H --orientation O --png FILE [--size WxH]\n"
                    "                   [--camera-height 1..100] [--field 0.1..2] [--json] [--output FILE]\n"
                    "  prints the sun light's direction for that sun (the altitude is taken as 3 degrees\n"
                    "  when lower) and, with --png, renders the view's frame of the building turned to\n"
                    "  the orientation, its shadow and the ground, off screen with OpenGL (needs a display\n"
                    "  or Xvfb). Defaults: azimuth 180, altitude 45, orientation 60, size 492x410, camera\n"
                    "  height 10 (the camera stands 30 south of the building), field 0.5.",
                    run);
}  // namespace kelvaro::cli
