#pragma once
// Multi-line text: the MTEXT string with its inline codes read into paragraphs of runs, each
// run one piece of text with the formatting in force, ready for layout.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvaro::cad {

struct MTextFormat {
  double height = 0;        // 0: the entity's height; else absolute (\H2;) already applied
  double widthFactor = 1;   // \W
  double oblique = 0;       // \Q, degrees
  double tracking = 1;      // \T
  std::string font;         // \F file or \f family; empty: the style's
  bool bold = false, italic = false, underline = false, overline = false, strike = false;
  int colorIndex = -1;      // \C: palette index, -1 the entity's
  std::uint32_t trueColor = 0;  // \c: 0xRRGGBB when hasTrueColor
  bool hasTrueColor = false;
  int align = 0;            // \A: 0 bottom, 1 centre, 2 top (vertical alignment in the line)
  double heightScale = 1;   // relative \H..x applied while the height is still the entity's
  bool fontIsFamily = false;  // \f (a TrueType family) rather than \F (a font file)
};

struct MTextRun {
  std::string text;  // UTF-8, codes resolved (%%d etc. and \U+XXXX already characters)
  MTextFormat fmt;
  bool stacked = false;          // \S: text = upper part, lower = lower part
  std::string lower;
  char stackKind = '/';          // '/', '#' or '^'
  bool tab = false;              // a tab position, text empty
};

struct MTextParagraph {
  std::vector<MTextRun> runs;
  int alignment = 0;  // \pq: 0 as the attachment, 1 left, 2 centre, 3 right, 4 justified
  double indentFirst = 0, indentLeft = 0;  // \pi, \pl in text heights
  std::vector<double> tabStops;            // \pt, in text heights from the left edge
};

// Splits the string into paragraphs (\P and new lines) of runs. Unknown codes are dropped,
// braces nest formatting; anything malformed is kept as plain text rather than lost.
std::vector<MTextParagraph> parseMText(std::string_view text, const MTextFormat& base = {});

// TEXT control codes: %%d → °, %%p → ±, %%c → ⌀, %%% → %, %%nnn → that character; %%u/%%o
// toggle under/overline (reported through the flags when given).
std::string decodeTextCodes(std::string_view text, std::vector<std::pair<std::size_t, char>>* toggles = nullptr);

}  // namespace kelvaro::cad
