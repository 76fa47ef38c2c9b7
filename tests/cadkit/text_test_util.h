#pragma once
// Helpers of the text tests: a TextOut that records, and SHX files assembled byte by byte.
#include <cstdint>
#include <string>
#include <vector>

#include "cadkit/text_layout.h"

namespace kelvaro::cad::testing {

struct Box {
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  bool empty() const { return x0 > x1; }
  void add(Vec2 p);
};

class RecordingOut : public TextOut {
 public:
  std::vector<std::vector<Vec2>> strokes;
  std::vector<TextTtfRun> runs;
  std::vector<std::string> colors;  // "i7", "rgb#ff0000", "i-1"
  bool acceptTtf = false;
  int ttfAsked = 0;
  void stroke(const Vec2* pts, std::size_t n) override { strokes.emplace_back(pts, pts + n); }
  bool acceptsTtf(const std::string&, const std::string&) override {
    ++ttfAsked;
    return acceptTtf;
  }
  void ttf(const TextTtfRun& r) override { runs.push_back(r); }
  void color(int index) override { colors.push_back("i" + std::to_string(index)); }
  void trueColor(std::uint32_t rgb) override;
  Box bounds() const;
};

// Draws strokes (drawing units, y up) into a white grey map of w x h pixels at `scale` pixels
// per unit from `origin`, and writes it as a PGM file; false when it cannot be written.
bool writeStrokeImage(const std::string& path, const std::vector<std::vector<Vec2>>& strokes, int w, int h,
                      double scale, Vec2 origin, long* inked = nullptr);

// Little-endian builder for SHX files.
struct Bytes {
  std::vector<std::uint8_t> b;
  Bytes& str(const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
  Bytes& u8(unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v));
    return *this;
  }
  Bytes& u16(unsigned v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
  Bytes& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
  Bytes& raw(const std::vector<std::uint8_t>& v) {
    b.insert(b.end(), v.begin(), v.end());
    return *this;
  }
};

struct ShapeDef {
  unsigned number;
  std::string name;
  std::vector<std::uint8_t> codes;  // ends with 0
};
// "AutoCAD-86 shapes 1.0" file; shape 0 (font info) is given like any other.
std::vector<std::uint8_t> shapesFile(const std::vector<ShapeDef>& shapes, const char* version = "1.0");
std::vector<std::uint8_t> unifontFile(const std::string& name, unsigned above, unsigned below,
                                      const std::vector<ShapeDef>& shapes);
std::vector<std::uint8_t> bigfontFile(unsigned above, unsigned below, std::vector<std::pair<unsigned, unsigned>> ranges,
                                      const std::vector<ShapeDef>& shapes);

}  // namespace kelvaro::cad::testing
