#pragma once
// Stroke table of the built-in font (our own design). Grid: baseline 0, capitals 9 high,
// lower case 6, descenders to -3. Each entry: "advance: x,y x,y | x,y ..." or, for composed
// letters, the base letter and the accent's strokes.
#include <cstddef>

namespace kelvaro::cad {

struct BuiltinGlyphDef {
  char32_t code;
  const char* def;
  char32_t base = 0;            // composed: draw this glyph ...
  const char* accent = nullptr;  // ... plus these strokes
};

constexpr double kBuiltinCap = 9;

extern const BuiltinGlyphDef kBuiltinGlyphs[];
extern const std::size_t kBuiltinGlyphCount;

}  // namespace kelvaro::cad
