// links: kelvaro_models
// One animation frame of each model: the geometry into a reused scene, and the scene painted
// onto the off-screen image the window copies.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "models/FinModel.h"
#include "models/OverhangModel.h"
#include "models/ScenePainter.h"

using namespace kelvaro::models;

namespace {

ModelView view() {
  ModelView v;
  v.width = 492;
  v.height = 410;
  return v;
}

SunState sunAt(double az, double alt) {
  SunState s{az, alt, HorizontalShadowAngle(az, 180), 0};
  s.VSA = VerticalShadowAngle(alt, s.HSA);
  return s;
}

void OverhangFrameGeometry(benchmark::State& state) {
  const OverhangDims d;
  Scene scene;
  double az = 100;
  for (auto _ : state) {
    DrawOverhang(scene, d, d, view(), sunAt(az, 35), {40, 60}, 180);
    benchmark::DoNotOptimize(scene.items().size());
    az = az > 260 ? 100 : az + 0.25;
  }
}
BENCHMARK(OverhangFrameGeometry);

void FinFrameGeometry(benchmark::State& state) {
  const FinDims d;
  Scene scene;
  double az = 100;
  for (auto _ : state) {
    DrawFin(scene, d, d, view(), sunAt(az, 35), 180);
    benchmark::DoNotOptimize(scene.items().size());
    az = az > 260 ? 100 : az + 0.25;
  }
}
BENCHMARK(FinFrameGeometry);

void OverhangFramePainted(benchmark::State& state) {
  static int argc = 1;
  static char name[] = "bench_models";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(argc, argv);
  const OverhangDims d;
  Scene scene;
  QImage img(492, 410, QImage::Format_RGB32);
  double az = 100;
  for (auto _ : state) {
    DrawOverhang(scene, d, d, view(), sunAt(az, 35), {40, 60}, 180);
    QPainter p(&img);
    paintScene(p, scene);
    az = az > 260 ? 100 : az + 0.25;
  }
}
BENCHMARK(OverhangFramePainted);

}  // namespace
