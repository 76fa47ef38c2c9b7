// links: kelvaro_raster
// Decoding a 2048 x 2048 scanned plan as PCX and Targa, stored and run-length encoded.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "viewer/pcx.h"
#include "viewer/targa.h"

using namespace kelvaro;

namespace {

constexpr int kSize = 2048;

// A drawing-like picture: mostly white with thin dark lines and some shaded areas.
std::uint8_t sampleAt(int x, int y, int channel) {
  if (x % 64 == 0 || y % 96 == 0) return std::uint8_t(20 + channel * 10);
  if ((x / 256 + y / 256) % 5 == 0) return std::uint8_t(180 + ((x + y) % 7) + channel);
  return 255;
}

void put16(std::vector<std::uint8_t>& b, unsigned v) {
  b.push_back(std::uint8_t(v));
  b.push_back(std::uint8_t(v >> 8));
}

void pcxRle(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& line) {
  for (std::size_t i = 0; i < line.size();) {
    std::size_t n = 1;
    while (i + n < line.size() && line[i + n] == line[i] && n < 63) ++n;
    if (n > 1 || line[i] >= 0xC0) out.push_back(std::uint8_t(0xC0 | n));
    out.push_back(line[i]);
    i += n;
  }
}

std::vector<std::uint8_t> makePcx(int planes) {
  std::vector<std::uint8_t> b{0x0A, 5, 1, 8};
  for (unsigned v : {0u, 0u, unsigned(kSize - 1), unsigned(kSize - 1), 300u, 300u}) put16(b, v);
  b.resize(65, 0);
  b.push_back(std::uint8_t(planes));
  put16(b, kSize);
  b.resize(128, 0);
  std::vector<std::uint8_t> line(std::size_t(kSize) * planes);
  for (int y = 0; y < kSize; ++y) {
    for (int p = 0; p < planes; ++p)
      for (int x = 0; x < kSize; ++x) line[std::size_t(p) * kSize + x] = sampleAt(x, y, p);
    pcxRle(b, line);
  }
  if (planes == 1) {
    b.push_back(0x0C);
    for (int i = 0; i < 768; ++i) b.push_back(std::uint8_t(i / 3));
  }
  return b;
}

std::vector<std::uint8_t> makeTarga(bool rle) {
  std::vector<std::uint8_t> b{0, 0, std::uint8_t(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
  put16(b, kSize);
  put16(b, kSize);
  b.push_back(24);
  b.push_back(0x20);
  std::vector<std::uint8_t> px;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize;) {
      const std::uint8_t c[3] = {sampleAt(x, y, 2), sampleAt(x, y, 1), sampleAt(x, y, 0)};
      int n = 1;
      if (rle) {
        while (x + n < kSize && n < 128 && sampleAt(x + n, y, 0) == c[2] && sampleAt(x + n, y, 1) == c[1] &&
               sampleAt(x + n, y, 2) == c[0])
          ++n;
        b.push_back(std::uint8_t(0x80 | (n - 1)));
      }
      b.insert(b.end(), c, c + 3);
      x += n;
    }
  return b;
}

void run(benchmark::State& state, const std::vector<std::uint8_t>& file, RasterResult (*decode)(std::span<const std::uint8_t>)) {
  for (auto _ : state) {
    RasterResult r = decode(file);
    if (!r.ok()) state.SkipWithError(r.Error.c_str());
    benchmark::DoNotOptimize(r.Image.Pixels.data());
  }
  state.SetItemsProcessed(state.iterations() * kSize * kSize);
  state.SetBytesProcessed(state.iterations() * std::int64_t(file.size()));
}

void BM_Pcx8BitRle(benchmark::State& s) { static const auto f = makePcx(1); run(s, f, decodePcx); }
void BM_Pcx24BitRle(benchmark::State& s) { static const auto f = makePcx(3); run(s, f, decodePcx); }
void BM_TargaStored(benchmark::State& s) { static const auto f = makeTarga(false); run(s, f, decodeTarga); }
void BM_TargaRle(benchmark::State& s) { static const auto f = makeTarga(true); run(s, f, decodeTarga); }

}  // namespace

BENCHMARK(BM_Pcx8BitRle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pcx24BitRle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TargaStored)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TargaRle)->Unit(benchmark::kMillisecond);
