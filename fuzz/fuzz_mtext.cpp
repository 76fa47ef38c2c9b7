// links: kelvaro_cadkit
// Any string is an MTEXT or TEXT value: parsing keeps going to the end and layout gives finite
// points, whatever the codes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cadkit/text_layout.h"

namespace {
class FiniteOut : public kelvaro::cad::TextOut {
 public:
  void stroke(const kelvaro::cad::Vec2* pts, std::size_t n) override {
    for (std::size_t i = 0; i < n; ++i)
      if (!std::isfinite(pts[i].x) || !std::isfinite(pts[i].y)) std::abort();
  }
  bool acceptsTtf(const std::string&, const std::string&) override { return true; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvaro::cad;
  const std::string_view s(reinterpret_cast<const char*>(data), size);
  (void)parseMText(s);
  (void)decodeTextCodes(s);
  static FontLibrary fonts;
  static const TextStyle style;
  FiniteOut out;
  MText m;
  m.text = std::string(s);
  m.height = 2.5;
  m.refWidth = 40;
  m.attachment = static_cast<std::int16_t>(size % 9 + 1);
  layoutMText(m, style, fonts, out);
  layoutMText(m, style, fonts, out, {.quickText = true});
  Text t;
  t.text = m.text;
  t.halign = static_cast<std::int16_t>(size % 6);
  t.align = {10, 3, 0};
  layoutText(t, static_cast<int>(size % 4), style, fonts, out);
  return 0;
}
