#pragma once
// Stroke fonts for drawing text: SHX shape, unicode and big fonts read from their files, and a
// built-in font that stands in for any font that cannot be found, so text is never invisible.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cadkit/types.h"

namespace kelvaro::cad {

// One character: its strokes (open polylines) and the pen advance, in units of the font's
// capital height (baseline at y = 0, capital height at y = 1).
struct Glyph {
  std::vector<std::vector<Vec2>> strokes;
  Vec2 advance{1, 0};
};

class StrokeFont {
 public:
  virtual ~StrokeFont() = default;
  // The glyph of a code point (Unicode for unicode and built-in fonts, the shape number for
  // shape and big fonts), or null when the font lacks it.
  virtual const Glyph* glyph(char32_t c) const = 0;
  // Below-baseline depth in capital heights (for line spacing and boxes).
  virtual double descent() const { return 0.33; }
  virtual bool isBigFont() const { return false; }
  // Big fonts: whether a byte starts a double-byte code (their escape ranges).
  virtual bool isLeadByte(unsigned byte) const { return false; }
  // Shape fonts number glyphs by code-page byte and keep °, ± and ⌀ at 256-258.
  virtual bool isUnicode() const { return true; }
  // The largest advance and the largest distance of any glyph point from the glyph's origin
  // along either axis (in text heights), where the font knows them; false when it does not.
  virtual bool metrics(double& maxAdvance, double& maxExtent) const { return false; }
};

// The built-in stroke font: printable ASCII, Latin-1 letters and the CAD symbols (degree,
// plus-minus, diameter); anything else draws as a box.
const StrokeFont& builtinStrokeFont();

// Reads an SHX file (shapes 1.0/1.1, unifont, bigfont) from its bytes; null with a message
// when it is not one.
std::unique_ptr<StrokeFont> loadShxFont(const std::vector<std::uint8_t>& bytes, std::string* error = nullptr);

// Fonts by the file names styles give ("txt", "romans.shx", big font "gbcbig.shx"). The finder
// turns a stored name into a readable path (drawing folder, support folders) or empty. Each
// file is read once; a missing or unreadable one falls back to the built-in font.
class FontLibrary {
 public:
  using Finder = std::function<std::string(const std::string& storedName)>;
  explicit FontLibrary(Finder finder = {});
  const StrokeFont& font(const std::string& fileName);
  // The big font of a style, or null when none is named or it cannot be read.
  const StrokeFont* bigFont(const std::string& fileName);
  void clear();
  // Fonts that were found but could not be read, one line each ("romans.shx: Truncated ...").
  const std::vector<std::string>& problems() const { return problems_; }

 private:
  std::unique_ptr<StrokeFont> read(const std::string& name);
  Finder finder_;
  std::vector<std::string> problems_;
  std::map<std::string, std::unique_ptr<StrokeFont>> cache_;  // upper-cased name → font (null: built-in)
};

}  // namespace kelvaro::cad
