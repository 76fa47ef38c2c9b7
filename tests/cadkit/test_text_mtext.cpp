// MTEXT inline codes and TEXT control codes.
#include <gtest/gtest.h>

#include "cadkit/mtext.h"

namespace kelvaro::cad {
namespace {

// Paragraphs joined by '|', tabs as <tab>, stacks as [upper kind lower].
std::string plain(const std::vector<MTextParagraph>& ps) {
  std::string s;
  for (std::size_t i = 0; i < ps.size(); ++i) {
    if (i) s += '|';
    for (const auto& r : ps[i].runs)
      s += r.tab ? std::string("<tab>") : r.stacked ? "[" + r.text + r.stackKind + r.lower + "]" : r.text;
  }
  return s;
}

std::vector<MTextRun> runsOf(std::string_view s, const MTextFormat& base = {}) {
  std::vector<MTextRun> out;
  for (auto& p : parseMText(s, base))
    for (auto& r : p.runs) out.push_back(r);
  return out;
}

TEST(MTextParse, ParagraphsEscapesAndSpecialCharacters) {
  EXPECT_EQ(plain(parseMText("one\\Ptwo\\Pthree")), "one|two|three");
  EXPECT_EQ(plain(parseMText("one\ntwo")), "one|two");
  EXPECT_EQ(plain(parseMText("a\\\\b\\{c\\}")), "a\\b{c}");
  EXPECT_EQ(plain(parseMText("x\\~y")), "x\xC2\xA0y");
  EXPECT_EQ(plain(parseMText("45%%d %%p1 %%c20")), "45\xC2\xB0 \xC2\xB1" "1 \xE2\x8C\x80" "20");
  EXPECT_EQ(plain(parseMText("\\U+00E9t\\U+00e9")), "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(plain(parseMText("a^Ib\tc")), "a<tab>b<tab>c");
  EXPECT_EQ(plain(parseMText("x^ y")), "x^y");
  // A big-font code keeps its two bytes as the characters U+0081 U+0040.
  EXPECT_EQ(plain(parseMText("\\M+18140")), "\xC2\x81@");
  EXPECT_EQ(plain(parseMText("")), "");
  EXPECT_EQ(parseMText("").size(), 1u);
}

TEST(MTextParse, BracesNestFormattingAndRestoreIt) {
  const auto r = runsOf("{\\H2;big{\\C1;red}back}after");
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].text, "big");
  EXPECT_EQ(r[0].fmt.height, 2);
  EXPECT_EQ(r[1].text, "red");
  EXPECT_EQ(r[1].fmt.height, 2);
  EXPECT_EQ(r[1].fmt.colorIndex, 1);
  EXPECT_EQ(r[2].text, "back");
  EXPECT_EQ(r[2].fmt.colorIndex, -1);
  EXPECT_EQ(r[2].fmt.height, 2);
  EXPECT_EQ(r[3].text, "after");
  EXPECT_EQ(r[3].fmt.height, 0);
  // Deep nesting neither overflows nor loses text.
  std::string deep(500, '{');
  deep += "x";
  deep += std::string(500, '}');
  EXPECT_EQ(plain(parseMText(deep)), "x");
}

TEST(MTextParse, FormatCodes) {
  MTextFormat base;
  base.height = 3;
  auto r = runsOf("\\H2x;a\\H0.5;b\\W0.8;c\\Q15;d\\T2;e\\A1;f", base);
  ASSERT_EQ(r.size(), 6u);
  EXPECT_DOUBLE_EQ(r[0].fmt.height, 6);
  EXPECT_DOUBLE_EQ(r[1].fmt.height, 0.5);
  EXPECT_DOUBLE_EQ(r[2].fmt.widthFactor, 0.8);
  EXPECT_DOUBLE_EQ(r[3].fmt.oblique, 15);
  EXPECT_DOUBLE_EQ(r[4].fmt.tracking, 2);
  EXPECT_DOUBLE_EQ(runsOf("\\T2;\\T1.5x;a")[0].fmt.tracking, 3);
  EXPECT_EQ(r[5].fmt.align, 1);
  // Relative height of the entity's height is kept as a scale until layout knows it.
  r = runsOf("\\H1.5x;a");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].fmt.height, 0);
  EXPECT_DOUBLE_EQ(r[0].fmt.heightScale, 1.5);

  r = runsOf("\\fArial|b1|i0|c0|p34;x\\Fromans.shx;y\\C5;z\\c16711680;w");
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].fmt.font, "Arial");
  EXPECT_TRUE(r[0].fmt.fontIsFamily);
  EXPECT_TRUE(r[0].fmt.bold);
  EXPECT_FALSE(r[0].fmt.italic);
  EXPECT_EQ(r[1].fmt.font, "romans.shx");
  EXPECT_FALSE(r[1].fmt.fontIsFamily);
  EXPECT_EQ(r[2].fmt.colorIndex, 5);
  EXPECT_TRUE(r[3].fmt.hasTrueColor);
  EXPECT_EQ(r[3].fmt.trueColor, 0x0000FFu);  // stored with red in the low byte

  r = runsOf("\\La\\lb\\Oc\\od\\Ke\\kf");
  ASSERT_EQ(r.size(), 6u);
  EXPECT_TRUE(r[0].fmt.underline);
  EXPECT_FALSE(r[1].fmt.underline);
  EXPECT_TRUE(r[2].fmt.overline);
  EXPECT_FALSE(r[3].fmt.overline);
  EXPECT_TRUE(r[4].fmt.strike);
  EXPECT_FALSE(r[5].fmt.strike);
  // %%u in MTEXT toggles the underline too.
  r = runsOf("%%uab%%ucd");
  ASSERT_EQ(r.size(), 2u);
  EXPECT_TRUE(r[0].fmt.underline);
  EXPECT_FALSE(r[1].fmt.underline);
}

TEST(MTextParse, Stacking) {
  EXPECT_EQ(plain(parseMText("1\\S1/2; in")), "1[1/2] in");
  EXPECT_EQ(plain(parseMText("\\S3#4;")), "[3#4]");
  EXPECT_EQ(plain(parseMText("\\S+0.1^-0.2;")), "[+0.1^-0.2]");
  // Escaped separators belong to the text; the first plain one splits.
  EXPECT_EQ(plain(parseMText("\\S1\\/2/3;")), "[1/2/3]");
  EXPECT_EQ(plain(parseMText("\\Sa/b/c;")), "[a/b/c]");
  const auto r = runsOf("\\S%%d/x;");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_TRUE(r[0].stacked);
  EXPECT_EQ(r[0].text, "\xC2\xB0");
  EXPECT_EQ(r[0].lower, "x");
}

TEST(MTextParse, ParagraphPropertiesCarryOver) {
  const auto ps = parseMText("\\pxqc;centre\\P\\pi-1,l2;indented\\P\\pql;left");
  ASSERT_EQ(ps.size(), 3u);
  EXPECT_EQ(ps[0].alignment, 2);
  EXPECT_EQ(ps[1].alignment, 2);
  EXPECT_DOUBLE_EQ(ps[1].indentFirst, -1);
  EXPECT_DOUBLE_EQ(ps[1].indentLeft, 2);
  EXPECT_EQ(ps[2].alignment, 1);
  EXPECT_DOUBLE_EQ(ps[2].indentLeft, 2);
  EXPECT_EQ(plain(ps), "centre|indented|left");
  // Tab stops run until the next key; they carry over like the rest.
  const auto t = parseMText("\\pxi1,l3,t12,4,8,qr,z9;x\\Py");
  EXPECT_EQ(t[0].alignment, 3);
  EXPECT_DOUBLE_EQ(t[0].indentLeft, 3);
  EXPECT_EQ(t[0].tabStops, (std::vector<double>{4, 8, 12}));
  EXPECT_EQ(t[1].tabStops, t[0].tabStops);
  EXPECT_EQ(plain(t), "x|y");
}

TEST(MTextParse, MalformedCodesStayAsText) {
  EXPECT_EQ(plain(parseMText("\\H2 no semicolon")), "\\H2 no semicolon");
  EXPECT_EQ(plain(parseMText("\\Qbad;x")), "\\Qbad;x");
  EXPECT_EQ(plain(parseMText("\\S1/2")), "\\S1/2");
  EXPECT_EQ(plain(parseMText("end\\")), "end\\");
  EXPECT_EQ(plain(parseMText("a}b")), "a}b");
  EXPECT_EQ(plain(parseMText("{open")), "open");
  EXPECT_EQ(plain(parseMText("\\U+12")), "\\U+12");
  EXPECT_EQ(plain(parseMText("\\M+1zz")), "\\M+1zz");
  EXPECT_EQ(plain(parseMText("\\C;x")), "\\C;x");
  EXPECT_EQ(plain(parseMText("\\9x")), "\\9x");
  // Unknown letter codes are dropped.
  EXPECT_EQ(plain(parseMText("a\\zb")), "ab");
  // Bytes that are not UTF-8 come through as characters rather than vanish.
  EXPECT_EQ(plain(parseMText("\xE9t\xE9")), "\xC3\xA9t\xC3\xA9");
  // Height zero or less is ignored instead of hiding the text.
  const auto r = runsOf("\\H0;a\\H-2;b");
  ASSERT_FALSE(r.empty());
  for (const auto& x : r) EXPECT_EQ(x.fmt.height, 0);
}

TEST(TextCodes, DecodeAndToggles) {
  std::vector<std::pair<std::size_t, char>> t;
  EXPECT_EQ(decodeTextCodes("%%uAB%%u C %%o%%%", &t), "AB C %");
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0], (std::pair<std::size_t, char>{0, 'u'}));
  EXPECT_EQ(t[1], (std::pair<std::size_t, char>{2, 'u'}));
  EXPECT_EQ(t[2], (std::pair<std::size_t, char>{5, 'o'}));
  EXPECT_EQ(decodeTextCodes("%%065%%d%%D%%P%%C"), "A\xC2\xB0\xC2\xB0\xC2\xB1\xE2\x8C\x80");
  // Lone or unknown codes stay as typed.
  EXPECT_EQ(decodeTextCodes("50% %%"), "50% %%");
  EXPECT_EQ(decodeTextCodes("%%zq"), "%%zq");
  EXPECT_EQ(decodeTextCodes("%%0"), "%%0");
  EXPECT_EQ(decodeTextCodes("%%999"), "%%999");
}

}  // namespace
}  // namespace kelvaro::cad
