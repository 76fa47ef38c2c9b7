#pragma once
// Stroke table of the built-in font (our own design). Grid: baseline 0, capitals 9 high,
// lower case 6, descenders to -3. Each entry: "advance: x,y x,y | x,y ..." or, for composed
// letters, the accent's strokes and the base letter.
#include <cstddef>

namespace kelvaro::cad {

struct BuiltinGlyphDef {
  char32_t code;
  const char* def;    // composed letters: the accent, centred on x = 0 above y = 0 ('_': below)
  char32_t base = 0;  // composed letters: the letter the accent goes on
};

constexpr double kBuiltinCap = 9;

extern const BuiltinGlyphDef kBuiltinGlyphs[];
extern const std::size_t kBuiltinGlyphCount;

}  // namespace kelvaro::cad
