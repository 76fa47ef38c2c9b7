// links: kelvaro_view3d
// One animation frame of the 3D view: the step (sun light turned, labels written) and the
// collected scene, without OpenGL; and a whole rendered frame off screen when a display
// with OpenGL is at hand.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include "view3d/GLRenderer.h"
#include "view3d/SunScene.h"
#include "view3d/XFile.h"

using namespace kelvaro::view3d;

namespace {

void day(SunView& v) {
  for (int i = 0; i < 720; ++i) v.samples.push_back({60.0 + i * 0.33, -2.0 + i * 0.1, 6 + i / 60.0});
  v.StepMinutes = 1;
}

void BM_StepAndCollect(benchmark::State& state) {
  SunView v;
  v.SetUp(WriteBinaryX(UnitBlock()), 492, 410);
  day(v);
  FrameSnapshot snap;
  for (auto _ : state) {
    if (v.pastEnd()) v.SampleIndex = 0;
    v.Step();
    Collect(v.scene.frames(), snap);
    benchmark::DoNotOptimize(snap.items.data());
  }
}
BENCHMARK(BM_StepAndCollect);

void BM_OffscreenFrame(benchmark::State& state) {
  static int argc = 1;
  static char name[] = "bench";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);
  if (!ProbeOpenGL().ok) {
    state.SkipWithError("no OpenGL here");
    return;
  }
  SunView v;
  v.SetUp(CubeResource(), 492, 410);
  day(v);
  for (auto _ : state) {
    if (v.pastEnd()) v.SampleIndex = 0;
    v.Step();
    benchmark::DoNotOptimize(RenderOffscreen(v.scene.frames(), v.scene.View));
  }
}
BENCHMARK(BM_OffscreenFrame)->Unit(benchmark::kMillisecond);

}  // namespace
