// links: kelvaro_raster
// The Targa decoder on arbitrary bytes: a picture of the stated size or an error, never a read
// out of bounds.
#include <cstddef>
#include <cstdint>

#include "viewer/targa.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kelvaro::RasterResult r = kelvaro::decodeTarga({data, size});
  if (r.ok() != !r.Image.Pixels.empty()) __builtin_trap();
  if (r.ok() && r.Image.Pixels.size() != std::size_t(r.Image.Width) * r.Image.Height * 3) __builtin_trap();
  return 0;
}
