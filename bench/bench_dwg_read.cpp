// links: kelvaro_cadkit
// Reading a 200,000-entity drawing written as DWG 2000 by our writer, against the same drawing
// as DXF: throughput, time per entity and peak memory.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "cadkit/dwg/dwg_io.h"
#include "cadkit/dxf_io.h"

#include "heap_counter.h"

namespace {
using namespace kelvaro::cad;
constexpr int kEntities = 200000;

const Document& bigDocument() {
  static Document d = [] {
    Document doc;
    doc.release = Release::R2000;
    Block& m = doc.modelSpace();
    m.entities.reserve(kEntities);
    for (int i = 0; i < kEntities; ++i) {
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
    TableEntry<Layer> walls;
    walls.rec.name = "WALLS";
    doc.layers.entries.push_back(walls);
    doc.assignHandles();
    return doc;
  }();
  return d;
}

template <class Read>
void measure(benchmark::State& state, std::size_t size, Read&& read) {
  long long peakGrowth = 0;
  for (auto _ : state) {
    long long base = gLive.load();
    gPeak = base;
    {
      Document d = read();
      benchmark::DoNotOptimize(d.modelSpace().entities.size());
      peakGrowth = std::max(peakGrowth, gPeak.load() - base);
    }
  }
  double file = static_cast<double>(size);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kEntities);
  state.counters["file_MB"] = file / 1e6;
  state.counters["peak_MB"] = (static_cast<double>(peakGrowth) + file) / 1e6;
}

void BM_ReadDwg2000(benchmark::State& state) {
  static const std::vector<std::uint8_t> bytes = writeDwg(bigDocument(), Release::R2000);
  measure(state, bytes.size(), [&] { return readDwg(bytes); });
}
BENCHMARK(BM_ReadDwg2000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReadDxf2000(benchmark::State& state) {
  static const std::string text = writeDxf(bigDocument(), Release::R2000, {});
  measure(state, text.size(), [&] { return readDxf(text); });
}
BENCHMARK(BM_ReadDxf2000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
