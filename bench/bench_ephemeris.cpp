// links: kelvaro_ephemeris
// A year of hourly sun positions, and a year of sunrises and sunsets, for one site.
#include <benchmark/benchmark.h>

#include "ephemeris/SunEphem.h"

using namespace kelvaro;

static void BM_YearOfHourlySunPositions(benchmark::State& state) {
  for (auto _ : state) {
    double sum = 0;
    for (int day = 1; day <= 365; ++day) {
      CalendarDate d{double(day), 1, 2024};  // days past January count on
      for (int h = 1; h <= 24; ++h) sum += ComputeSunPosition(d, 1, h, 0, 51.5, -0.12).Altitude;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * 365 * 24);
}
BENCHMARK(BM_YearOfHourlySunPositions)->Unit(benchmark::kMillisecond);

static void BM_YearOfSunrises(benchmark::State& state) {
  for (auto _ : state) {
    double sum = 0;
    for (int day = 1; day <= 365; ++day) {
      CalendarDate d{double(day), 1, 2024};
      sum += SunriseSunset(d, 0, 1, 48.85, 2.35).RiseLCT;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * 365);
}
BENCHMARK(BM_YearOfSunrises)->Unit(benchmark::kMillisecond);
