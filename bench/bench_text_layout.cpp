// links: kelvaro_cadkit
// Text layout throughput: TEXT lines and wrapped MTEXT paragraphs into a sink that only counts.
#include <benchmark/benchmark.h>

#include "cadkit/text_layout.h"

namespace {

using namespace kelvaro::cad;

class CountingOut : public TextOut {
 public:
  std::size_t points = 0;
  void stroke(const Vec2*, std::size_t n) override { points += n; }
};

void BM_TextLine(benchmark::State& state) {
  FontLibrary lib;
  TextStyle style;
  Text t;
  t.text = "Room 204 - 12.50 m%%d Office (north wing)";
  t.height = 2.5;
  t.halign = 1;
  t.valign = 2;
  t.rotation = 30;
  CountingOut out;
  std::size_t chars = 0;
  for (auto _ : state) {
    layoutText(t, t.valign, style, lib, out);
    chars += t.text.size();
  }
  benchmark::DoNotOptimize(out.points);
  state.counters["chars/s"] = benchmark::Counter(static_cast<double>(chars), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TextLine);

void BM_MTextParagraph(benchmark::State& state) {
  FontLibrary lib;
  TextStyle style;
  MText m;
  m.height = 2.5;
  m.refWidth = 60;
  m.attachment = 5;
  m.text =
      "{\\H1.5x;\\C1;General notes}\\PAll dimensions are in millimetres unless noted otherwise. Do not scale "
      "from this drawing. Levels are given to the finished floor, 1\\S1/2; storeys above the datum.\\P"
      "\\LCheck on site\\l before ordering materials; report discrepancies to the architect.";
  CountingOut out;
  std::size_t chars = 0;
  for (auto _ : state) {
    layoutMText(m, style, lib, out);
    chars += m.text.size();
  }
  benchmark::DoNotOptimize(out.points);
  state.counters["chars/s"] = benchmark::Counter(static_cast<double>(chars), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MTextParagraph);

}  // namespace
