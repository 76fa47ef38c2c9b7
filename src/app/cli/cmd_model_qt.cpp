// The model command: what the overhang or fin model window shows for one sun position, by the
// window's own geometry and drawing code.
// command.h first: Qt defines "emit" as a macro.
#include "app/cli/command.h"

#include <QGuiApplication>
#include <QImage>

#include <cmath>
#include <cstdio>
#include <memory>

#include "app/cli/support_site.h"
#include "models/FinModel.h"
#include "models/OverhangModel.h"
#include "models/ScenePainter.h"
#include "viewer/PngFile.h"

// Qt's "emit" keyword would hide the batch tool's output function.
#undef emit

namespace kelvaro::cli {
namespace {

using namespace kelvaro::models;

// Qt's own notes (a missing runtime folder and the like) are no messages for the user here.
void quietQt(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtFatalMsg) qFatal("%s", qPrintable(text));
}

double finiteOption(const Args& args, const std::string& name, double fallback, double lo, double hi) {
  if (!args.has(name)) return fallback;
  double v = args.number(name);
  if (!std::isfinite(v) || v < lo || v > hi)
    throw UsageError("bad value for " + name + ": " + *args.get(name) + " (expected " + numberText(lo) + " to " +
                     numberText(hi) + ")");
  return v;
}

// "WxH", each 16 … 8000 pixels.
void parseSize(const Args& args, ModelView& view) {
  auto s = args.get("--size");
  if (!s) return;
  int w = 0, h = 0;
  char x = 0, rest = 0;
  if (std::sscanf(s->c_str(), "%d%c%d%c", &w, &x, &h, &rest) != 3 || (x != 'x' && x != 'X') || w < 16 || h < 16 ||
      w > 8000 || h > 8000)
    throw UsageError("bad value for --size: " + *s + " (expected WxH, 16 to 8000 pixels)");
  view.width = w;
  view.height = h;
}

void writePng(const Scene& scene, const std::string& path) {
  QtMessageHandler previous = qInstallMessageHandler(quietQt);
  struct Restore {
    QtMessageHandler h;
    ~Restore() { qInstallMessageHandler(h); }
  } restore{previous};
  // Text needs a GUI application; the batch tool has no screen.
  std::unique_ptr<QGuiApplication> app;
  if (!QCoreApplication::instance()) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "kelvaro-cli";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QGuiApplication>(argc, argv);
  }
  QImage img = renderScene(scene);
  const std::string bytes = viewer::EncodePng(img);
  if (bytes.empty()) throw FileError("cannot write " + path);
  writeFileAtomically(path, bytes);
}

const std::vector<OptionSpec> kOptions = {
    {"--azimuth"},       {"--altitude"},   {"--orientation"}, {"--json", false}, {"--output"},
    {"--png"},           {"--size"},       {"--zoom"},        {"--overhang-length"}, {"--overhang-offset"},
    {"--window-height"}, {"--wall-width"}, {"--sill-height"}, {"--fin-length"},  {"--window-width"},
    {"--wall-left"},     {"--fin-offset"},
};

int run(const std::vector<std::string>& argv, Io& io) {
  Args args = parseArgs(argv, kOptions);
  if (args.positional.empty()) throw UsageError("missing argument overhang|fin");
  const std::string& kind = args.positional[0];
  if (kind != "overhang" && kind != "fin") throw UsageError("bad value for overhang|fin: " + kind);
  if (args.positional.size() > 1) throw UsageError("unexpected argument " + args.positional[1]);
  const bool overhang = kind == "overhang";
  auto onlyFor = [&](std::initializer_list<const char*> names, const char* model) {
    for (const char* n : names)
      if (args.has(n)) throw UsageError(std::string("unexpected argument ") + n + " (not an option of the " + model + " model)");
  };
  if (overhang)
    onlyFor({"--fin-length", "--window-width", "--wall-left", "--fin-offset"}, "overhang");
  else
    onlyFor({"--overhang-length", "--overhang-offset", "--window-height", "--sill-height"}, "fin");

  SunState sun;
  sun.Azimuth = finiteOption(args, "--azimuth", 180, -360, 720);
  sun.Altitude = finiteOption(args, "--altitude", 45, -90, 90);
  const int orientation = intOption(args, "--orientation", 0, 360, 180);
  sun.HSA = HorizontalShadowAngle(sun.Azimuth, orientation);
  sun.VSA = VerticalShadowAngle(sun.Altitude, sun.HSA);

  ModelView view;
  view.PanX = overhang ? kOverhangPanX : kFinPanX;
  view.PanY = overhang ? kOverhangPanY : kFinPanY;
  view.ViewZoom = finiteOption(args, "--zoom", 1.0, 0.48, 2.02);
  parseSize(args, view);

  constexpr double kMax = kLargestDimension;
  NamedNumbers fields = {{"HSA", sun.HSA}, {"VSA", sun.VSA}};
  Scene scene;
  if (overhang) {
    OverhangSettings s;
    s.Dims.OverhangLength = finiteOption(args, "--overhang-length", 800, 0, kMax);
    s.Dims.OverhangOffset = finiteOption(args, "--overhang-offset", 100, 0, 1400);
    s.Dims.WindowHeight = finiteOption(args, "--window-height", 1500, 0, kMax);
    s.Dims.WallWidth = finiteOption(args, "--wall-width", 300, 25, 3000);
    s.Dims.SillHeight = finiteOption(args, "--sill-height", 900, 0, kMax);
    s.FacadeOrientation = orientation;
    const OverhangDims d = SanitizedOverhang(s).Dims;
    const OverhangResult r = ComputeOverhang(d, d, view, sun, {});
    fields.insert(fields.end(), {{"A1", r.Angles.A1},
                                 {"A2", r.Angles.A2},
                                 {"A3", r.Angles.A3},
                                 {"A4", r.Angles.A4},
                                 {"A5", r.Angles.A5},
                                 {"SunPenetration", r.SunPenetration},
                                 {"HorizontalOffset", r.HorizontalOffset},
                                 {"ShadedPercent", double(r.ShadedPercent)},
                                 {"OverhangLength", d.OverhangLength},
                                 {"OverhangOffset", d.OverhangOffset},
                                 {"WindowHeight", d.WindowHeight},
                                 {"WallWidth", d.WallWidth},
                                 {"SillHeight", d.SillHeight}});
    if (args.has("--png")) scene = DrawOverhang(d, d, view, sun, {}, orientation);
  } else {
    FinSettings s;
    s.Dims.FinLength = finiteOption(args, "--fin-length", 800, 0, kMax);
    s.Dims.WindowWidth = finiteOption(args, "--window-width", 1200, 0, kMax);
    s.Dims.WallLeft = finiteOption(args, "--wall-left", 1900, 0, kMax);
    s.Dims.WallWidth = finiteOption(args, "--wall-width", 300, 25, kMax);
    s.Dims.FinOffset = finiteOption(args, "--fin-offset", 100, 0, kMax);
    s.FacadeOrientation = orientation;
    const FinDims d = SanitizedFin(s).Dims;
    const FinResult r = ComputeFin(d, view, sun);
    fields.insert(fields.end(), {{"a1", r.Angles.a1},
                                 {"a2", r.Angles.a2},
                                 {"a3", r.Angles.a3},
                                 {"a5", r.Angles.a5},
                                 {"a6", r.Angles.a6},
                                 {"UnshadedPixels", double(r.UnshadedPx)},
                                 {"ShadedPercent", double(r.ShadedPercent)},
                                 {"FinLength", d.FinLength},
                                 {"WindowWidth", d.WindowWidth},
                                 {"WallLeft", d.WallLeft},
                                 {"WallWidth", d.WallWidth},
                                 {"FinOffset", d.FinOffset}});
    if (args.has("--png")) scene = DrawFin(d, d, view, sun, orientation);
  }
  if (args.has("--png")) writePng(scene, *args.get("--png"));
  emit(args, io, namedNumbersText(args, fields));
  return kOk;
}

}  // namespace
KELVARO_CLI_COMMAND("model", "the overhang or fin shading model for one sun position",
                    "kelvaro-cli model overhang|fin --azimuth A --altitude H --orientation O [--json]\n"
                    "                  [--size WxH] [--zoom Z] [--png FILE] [--output FILE]\n"
                    "  overhang: [--overhang-length MM] [--overhang-offset MM] [--window-height MM]\n"
                    "            [--wall-width MM] [--sill-height MM]\n"
                    "  fin:      [--fin-length MM] [--window-width MM] [--wall-left MM] [--wall-width MM]\n"
                    "            [--fin-offset MM]\n"
                    "  prints the shadow angles, the critical angles and what the window shows for that\n"
                    "  sun (degrees, millimetres, percent); dimensions are put on the 25 mm grid.\n"
                    "  The critical angles come from whole-pixel lengths, so they depend on --size\n"
                    "  (default: the window's drawing area) and --zoom. --png draws the window's picture.",
                    run);
}  // namespace kelvaro::cli
