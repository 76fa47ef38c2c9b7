// links: kelvaro_cadkit
// Reading a generated DXF of one million entities: throughput and peak memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "cadkit/dxf_io.h"

#include "heap_counter.h"

namespace {
using namespace kelvaro::cad;

const std::string& bigDrawing() {
  static std::string text = [] {
    Document d;
    d.release = Release::R2000;
    Block& m = d.modelSpace();
    m.entities.reserve(1000000);
    for (int i = 0; i < 1000000; ++i) {
      double x = i % 1000, y = i / 1000;
      Entity e;
      e.common.layer = (i % 3) ? "WALLS" : "0";
      switch (i % 4) {
        case 0: e.data = Line{.start = {x, y, 0}, .end = {x + 0.5, y + 0.25, 0}}; break;
        case 1: e.data = Circle{.center = {x, y, 0}, .radius = 0.125}; break;
        case 2: e.data = Arc{.center = {x, y, 0}, .radius = 0.3, .startAngle = 10, .endAngle = 200}; break;
        default: {
          LwPolyline p;
          p.vertices = {{.p = {x, y}}, {.p = {x + 1, y}}, {.p = {x + 1, y + 1}, .bulge = 0.3}};
          e.data = p;
        }
      }
      m.entities.push_back(std::move(e));
    }
    d.assignHandles();
    return writeDxf(d, Release::R2000, {});
  }();
  return text;
}

void BM_ReadMillionEntities(benchmark::State& state) {
  const std::string& text = bigDrawing();
  long long peakGrowth = 0;
  for (auto _ : state) {
    long long base = gLive.load();
    gPeak = base;
    {
      Document d = readDxf(text);
      benchmark::DoNotOptimize(d.modelSpace().entities.size());
      peakGrowth = std::max(peakGrowth, gPeak.load() - base);
    }
  }
  double file = static_cast<double>(text.size());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
  state.counters["file_MB"] = file / 1e6;
  // Peak heap of a read, with the file's text (which a read from disk holds too).
  state.counters["peak_MB"] = (static_cast<double>(peakGrowth) + file) / 1e6;
  state.counters["peak_over_file"] = (static_cast<double>(peakGrowth) + file) / file;
}
BENCHMARK(BM_ReadMillionEntities)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
