#pragma once
// The drawing palette: 256 colours indexed by a drawing's colour number, and the colour modes
// of the screen (all black, grey levels, the line colour of entry 7). Plain C++.
#include <array>
#include <cstdint>

namespace kelvaro::viewer {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

enum class TLineColor { Black, White };

// The published AutoCAD Color Index value of entry 0..255.
Rgb standardAciColor(int index);

// Grey level of a colour: 0.3 R + 0.59 G + 0.11 B, each product rounded to nearest with halves
// to even before they are added.
std::uint8_t grayLevel(Rgb c);

class TPalette {
 public:
  TPalette();  // the standard entries
  const Rgb& operator[](int index) const { return entries_[static_cast<std::size_t>(index & 0xFF)]; }
  void set(int index, Rgb c) { entries_[static_cast<std::size_t>(index & 0xFF)] = c; }
  // Entry 7 follows the line colour, but only while it is pure white or pure black: a colour
  // the user gave it stays.
  void applyLineColor(TLineColor lc);

 private:
  std::array<Rgb, 256> entries_;
};

// The colour a pen of this palette colour gets on the screen under the colour modes.
Rgb screenColor(Rgb c, bool allBlack, bool grayscale);

}  // namespace kelvaro::viewer
