#pragma once
// Text layout: TEXT, ATTDEF, ATTRIB and MTEXT turned into strokes (or TrueType runs) in the
// entity's own plane (object coordinates), for the walk to transform and draw.
#include <string>

#include "cadkit/ent_text.h"
#include "cadkit/font.h"
#include "cadkit/mtext.h"
#include "cadkit/tables.h"

namespace kelvaro::cad {

// A TrueType run in object coordinates: the baseline starts at origin; xAxis and yAxis are
// one text unit along and up the baseline (height, width factor, rotation, oblique included).
struct TextTtfRun {
  std::string fontFile, family, text;  // text UTF-8
  bool bold = false, italic = false;
  Vec2 origin, xAxis, yAxis;
  // The advance layout gave the run, in xAxis units (measured with the built-in font), so a
  // sink may fit the TrueType glyphs to the place aligned text was given.
  double advance = 0;
};

class TextOut {
 public:
  virtual ~TextOut() = default;
  virtual void stroke(const Vec2* pts, std::size_t n) = 0;  // open polyline, object coordinates
  // A glyph's strokes mapped by x' = m[0] x + m[1] y + m[2], y' = m[3] x + m[4] y + m[5] into
  // object coordinates; by default each mapped stroke of two points or more goes to stroke().
  virtual void glyph(const Glyph& g, const double (&m)[6]);
  // Asked once per run whose font is TrueType; false makes layout use stroke glyphs instead.
  virtual bool acceptsTtf(const std::string& fontFile, const std::string& family) { return false; }
  virtual void ttf(const TextTtfRun& run) {}
  // Inline colour changes of MTEXT (-1: back to the entity's colour).
  virtual void color(int index) {}
  virtual void trueColor(std::uint32_t rgb) {}
};

struct TextLayoutOptions {
  bool quickText = false;  // draw each line's box instead of its characters
  // The TrueType family stored with a style (its extended data), when known.
  std::string ttfFamily;
  bool ttfBold = false, ttfItalic = false;
};

// What a style's extended data says of its TrueType font: the family (1000 after the ACAD
// application) and the weight and slant bits of its 1071 flags.
struct StyleTtfInfo {
  std::string family;
  bool bold = false, italic = false;
};
StyleTtfInfo styleTtfInfo(const std::vector<Tag>& xdata);

// `style` is the entity's text style (or a default one when the name is unknown).
void layoutText(const TextBase& text, int valign, const TextStyle& style, FontLibrary& fonts, TextOut& out,
                const TextLayoutOptions& opt = {});
// A disc that surely holds everything layoutText draws for the text, in the text's own plane,
// found without laying it out; false when that is not known cheaply (fonts other than the
// built-in one, aligned or fitted text, broken numbers).
bool looseTextDisc(const TextBase& text, int valign, const TextStyle& style, FontLibrary& fonts,
                   const TextLayoutOptions& opt, Vec2& centre, double& radius);
void layoutMText(const MText& text, const TextStyle& style, FontLibrary& fonts, TextOut& out,
                 const TextLayoutOptions& opt = {});
// Width and height of a single line of TEXT in object units (for extents and alignment).
Vec2 measureTextLine(const std::string& utf8, double height, double widthFactor, const TextStyle& style,
                     FontLibrary& fonts);

}  // namespace kelvaro::cad
