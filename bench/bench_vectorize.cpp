// links: kelvaro_cadkit
// The vectoriser on generated drawings: regeneration and redraw of one million line segments
// into a sink that does nothing, and regeneration plus draw of 200,000 mixed entities.
#include <benchmark/benchmark.h>

#include <cmath>

#include <filesystem>

#include "cadkit/dxf_io.h"
#include "cadkit/toolkit.h"
#include "cadkit/vectorize.h"

namespace {
using namespace kelvaro::cad;

class NullSink : public DrawSink {
 public:
  std::size_t points = 0;
  void moveTo(double, double) override { ++points; }
  void lineTo(double, double) override { ++points; }
  void polyline(const PixelPoint* p, std::size_t n) override {
    points += n;
    benchmark::DoNotOptimize(p);
  }
  void penColor(int) override {}
  void paintPolygon(const PixelPoint*, int n) override { points += static_cast<std::size_t>(n); }
  void polyPolygon(const PixelPoint*, const int*, int) override {}
};

void addLayers(Document& d, int n) {
  for (int i = 0; i < n; ++i) {
    TableEntry<Layer> e;
    e.frame.handle = d.newHandle();
    e.rec.name = i == 0 ? "0" : "LAYER" + std::to_string(i);
    e.rec.color = static_cast<std::int16_t>(1 + i);
    d.layers.entries.push_back(e);
  }
}

Document lines(int n) {
  Document d;
  addLayers(d, 8);
  auto& ents = d.modelSpace().entities;
  ents.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    Line l;
    double x = i % 1000, y = i / 1000;
    l.start = {x, y, 0};
    l.end = {x + 0.8, y + 0.5, 0};
    ents.push_back(makeEntity(l, i % 8 == 0 ? "0" : "LAYER" + std::to_string(i % 8)));
  }
  return d;
}

Document mixed(int n) {
  Document d;
  addLayers(d, 8);
  auto& ents = d.modelSpace().entities;
  ents.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    double x = (i % 500) * 2.0, y = (i / 500) * 2.0;
    std::string layer = i % 8 == 0 ? "0" : "LAYER" + std::to_string(i % 8);
    switch (i % 5) {
      case 0: {
        Line l;
        l.start = {x, y, 0};
        l.end = {x + 1.5, y + 1, 0};
        ents.push_back(makeEntity(l, layer));
        break;
      }
      case 1: {
        Circle c;
        c.center = {x + 1, y + 1, 0};
        c.radius = 0.7;
        ents.push_back(makeEntity(c, layer));
        break;
      }
      case 2: {
        Arc a;
        a.center = {x + 1, y + 1, 0};
        a.radius = 0.8;
        a.startAngle = 30;
        a.endAngle = 200;
        ents.push_back(makeEntity(a, layer));
        break;
      }
      case 3: {
        LwPolyline p;
        p.flags = 1;
        p.vertices = {{{x, y}}, {{x + 1.5, y}, 0, 0, 0.4}, {{x + 1.5, y + 1.5}}, {{x, y + 1.5}}};
        ents.push_back(makeEntity(p, layer));
        break;
      }
      default: {
        Text t;
        t.insert = {x, y, 0};
        t.height = 0.5;
        t.text = "Room " + std::to_string(i);
        ents.push_back(makeEntity(t, layer));
      }
    }
  }
  return d;
}

void draw(AdDrawing d, NullSink& sink, bool regen) {
  if (regen) adForceRegen(d);
  adDrawDrawing(d, sink);
}

AdDrawing open(Document doc, AdViewRecord& v) {
  AdDrawing d = adOpenDocument(std::move(doc));
  AdTransform t;
  AdPixelWindow w{0, 0, 1600, 1000};
  adInitVectorize(d, v, w, t, {});
  return d;
}

void BM_Regen1MSegments(benchmark::State& state) {
  AdViewRecord v;
  AdDrawing d = open(lines(1'000'000), v);
  NullSink sink;
  for (auto _ : state) draw(d, sink, true);
  state.counters["segments"] = 1e6;
  adCloseFile(d);
}
BENCHMARK(BM_Regen1MSegments)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Redraw1MSegments(benchmark::State& state) {
  AdViewRecord v;
  AdDrawing d = open(lines(1'000'000), v);
  NullSink sink;
  draw(d, sink, true);
  for (auto _ : state) draw(d, sink, false);
  state.counters["points"] = static_cast<double>(sink.points) / static_cast<double>(state.iterations() + 1);
  adCloseFile(d);
}
BENCHMARK(BM_Redraw1MSegments)->Unit(benchmark::kMillisecond)->Iterations(20);

// A view change (zoom) needs no regeneration either.
void BM_Zoom1MSegments(benchmark::State& state) {
  AdViewRecord v;
  AdDrawing d = open(lines(1'000'000), v);
  NullSink sink;
  draw(d, sink, true);
  AdTransform t;
  AdPixelWindow w{0, 0, 1600, 1000};
  for (auto _ : state) {
    v.width *= 0.9, v.height *= 0.9;
    adMakeViewTransform(d, v, w, t);
    draw(d, sink, false);
  }
  adCloseFile(d);
}
BENCHMARK(BM_Zoom1MSegments)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_RegenDraw200kMixed(benchmark::State& state) {
  AdViewRecord v;
  AdDrawing d = open(mixed(200'000), v);
  NullSink sink;
  for (auto _ : state) draw(d, sink, true);
  adCloseFile(d);
}
BENCHMARK(BM_RegenDraw200kMixed)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Redraw200kMixed(benchmark::State& state) {
  AdViewRecord v;
  AdDrawing d = open(mixed(200'000), v);
  NullSink sink;
  draw(d, sink, true);
  for (auto _ : state) draw(d, sink, false);
  adCloseFile(d);
}
BENCHMARK(BM_Redraw200kMixed)->Unit(benchmark::kMillisecond)->Iterations(10);

// The whole way from a file: read, first view (extents), regenerate and draw.
void BM_OpenDraw200kMixedFile(benchmark::State& state) {
  static const std::string path = [] {
    std::string p = (std::filesystem::temp_directory_path() / "kelvaro_bench_mixed.dxf").string();
    saveDxfFile(mixed(200'000), p, Release::R2000, {});
    return p;
  }();
  NullSink sink;
  for (auto _ : state) {
    AdDrawing d = adLoadFile(path.c_str(), 1, 1);
    AdViewRecord v;
    AdTransform t;
    adInitVectorize(d, v, AdPixelWindow{0, 0, 1600, 1000}, t, {});
    adDrawDrawing(d, sink);
    adCloseFile(d);
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_OpenDraw200kMixedFile)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
