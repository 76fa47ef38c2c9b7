// MTEXT inline codes and TEXT control codes.
#include <gtest/gtest.h>

#include "cadkit/mtext.h"

namespace kelvaro::cad {
namespace {

std::string plain(const std::vector<MTextParagraph>& ps) {
  std::string s;
  for (std::size_t i = 0; i < ps.size(); ++i) {
    if (i) s += '|';
    for (const auto& r : ps[i].runs) s += r.tab ? std::string("<tab>") : r.stacked ? "[" + r.text + r.stackKind + r.lower + "]" : r.text;
  }
  return s;
}

TEST(MTextParse, ParagraphsEscapesAndPlainText) {
  EXPECT_EQ(plain(parseMText("one\\Ptwo\\Pthree")), "one|two|three");
  EXPECT_EQ(plain(parseMText("a\\\\b\\{c\\}")), "a\\b{c}");
  EXPECT_EQ(plain(parseMText("x\\~y")), "x\xC2\xA0y");
  EXPECT_EQ(plain(parseMText("45%%d %%p1 %%c20")), "45\xC2\xB0 \xC2\xB1" "1 \xE2\x8C\x80" "20");
  EXPECT_EQ(plain(parseMText("\\U+00E9t\\U+00E9")), "\xC3\xA9t\xC3\xA9");
}

TEST(TextCodes, DecodeAndToggles) {
  std::vector<std::pair<std::size_t, char>> t;
  EXPECT_EQ(decodeTextCodes("%%uAB%%u C %%o%%%", &t), "AB C %");
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0], (std::pair<std::size_t, char>{0, 'u'}));
  EXPECT_EQ(t[1], (std::pair<std::size_t, char>{2, 'u'}));
  EXPECT_EQ(t[2], (std::pair<std::size_t, char>{5, 'o'}));
  EXPECT_EQ(decodeTextCodes("%%065%%d"), "A\xC2\xB0");
  // Lone or unknown codes stay as typed.
  EXPECT_EQ(decodeTextCodes("50% %%"), "50% %%");
  EXPECT_EQ(decodeTextCodes("%%zq"), "%%zq");
}

}  // namespace
}  // namespace kelvaro::cad
