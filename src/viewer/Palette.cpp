#include "viewer/Palette.h"

#include <cmath>

namespace kelvaro::viewer {

namespace {

constexpr Rgb kFirstTen[10] = {{0, 0, 0},     {255, 0, 0},   {255, 255, 0}, {0, 255, 0},     {0, 255, 255},
                               {0, 0, 255},   {255, 0, 255}, {255, 255, 255}, {128, 128, 128}, {192, 192, 192}};
constexpr Rgb kGreys[6] = {{0, 0, 0}, {45, 45, 45}, {91, 91, 91}, {137, 137, 137}, {179, 179, 179}, {183, 183, 183}};

// Rows 10..249: 24 hues 15 degrees apart, each with five brightness steps in a full and a
// half-saturated shade. Components are cut to integers as the published table has them.
Rgb hueRow(int index) {
  static constexpr int kValue[5] = {255, 204, 153, 127, 76};
  const int row = index / 10 - 1;  // 0..23
  const int step = index % 10;
  const double v = kValue[step / 2];
  const double lo = (step % 2) ? std::floor(v / 2) : 0.0;
  const int hue = row * 15;
  const int sector = hue / 60;
  const double f = (hue % 60) / 60.0;
  const double rising = lo + (v - lo) * f, falling = v - (v - lo) * f;
  double r = 0, g = 0, b = 0;
  switch (sector) {
    case 0: r = v, g = rising, b = lo; break;
    case 1: r = falling, g = v, b = lo; break;
    case 2: r = lo, g = v, b = rising; break;
    case 3: r = lo, g = falling, b = v; break;
    case 4: r = rising, g = lo, b = v; break;
    default: r = v, g = lo, b = falling; break;
  }
  auto cut = [](double x) { return static_cast<std::uint8_t>(std::floor(x + 1e-9)); };
  return {cut(r), cut(g), cut(b)};
}

// Round to nearest, halves to even, on exact decimal halves of the product (0.3 * 85 = 25.5).
int roundHalfEven(double x) {
  double fl = std::floor(x);
  double frac = x - fl;
  if (std::fabs(frac - 0.5) < 1e-9) return static_cast<int>(std::fmod(fl, 2.0) == 0 ? fl : fl + 1);
  return static_cast<int>(std::floor(x + 0.5));
}

}  // namespace

Rgb standardAciColor(int index) {
  index &= 0xFF;
  if (index < 10) return kFirstTen[index];
  if (index >= 250) return kGreys[index - 250];
  return hueRow(index);
}

std::uint8_t grayLevel(Rgb c) {
  int g = roundHalfEven(0.3 * c.r) + roundHalfEven(0.59 * c.g) + roundHalfEven(0.11 * c.b);
  return static_cast<std::uint8_t>(g > 255 ? 255 : g);
}

TPalette::TPalette() {
  for (int i = 0; i < 256; ++i) entries_[static_cast<std::size_t>(i)] = standardAciColor(i);
}

void TPalette::applyLineColor(TLineColor lc) {
  Rgb& e = entries_[7];
  const Rgb white{255, 255, 255}, black{0, 0, 0};
  if (e == white || e == black) e = lc == TLineColor::White ? white : black;
}

Rgb screenColor(Rgb c, bool allBlack, bool grayscale) {
  if (allBlack) return {0, 0, 0};
  if (grayscale) {
    std::uint8_t g = grayLevel(c);
    return {g, g, g};
  }
  return c;
}

}  // namespace kelvaro::viewer
