#pragma once
// A decoded picture as plain bytes, shared by the PCX and Targa decoders (no Qt, so they can be
// fuzzed and benchmarked alone).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvaro {

// Larger pictures are refused before anything is allocated.
inline constexpr std::uint64_t kMaxRasterPixels = std::uint64_t(1) << 28;

struct RgbImage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Pixels;  // Width * Height * 3 bytes, R G B, top row first
};

// Either a picture or the reason there is none.
struct RasterResult {
  RgbImage Image;
  std::string Error;
  bool ok() const { return Error.empty(); }
};

}  // namespace kelvaro
