// Placement of TEXT and MTEXT: alignment, scaling, flags, wrapping, attachment, decoration.
#include <gtest/gtest.h>

#include <cmath>

#include "cadkit/text_test_util.h"

namespace kelvaro::cad {
namespace {

using testing::Box;
using testing::RecordingOut;

constexpr double kEps = 1e-9;

Text textAt(const std::string& s, double h, Vec3 ins = {}) {
  Text t;
  t.text = s;
  t.height = h;
  t.insert = ins;
  return t;
}

// The quick-text box is the alignment box itself: one closed stroke.
Box quickBox(const Text& t, const TextStyle& st = {}) {
  FontLibrary lib;
  RecordingOut out;
  layoutText(t, t.valign, st, lib, out, {.quickText = true});
  EXPECT_EQ(out.strokes.size(), 1u);
  if (!out.strokes.empty()) {
    EXPECT_EQ(out.strokes[0].size(), 5u);
    EXPECT_EQ(out.strokes[0].front(), out.strokes[0].back());
  }
  return out.bounds();
}

TEST(TextLayout, AlignmentBoxForEachHorizontalAndVerticalMode) {
  FontLibrary lib;
  TextStyle st;
  const double h = 2;
  const double w = measureTextLine("HELLO", h, 1, st, lib).x;
  const double d = builtinStrokeFont().descent() * h;
  ASSERT_GT(w, 0);
  const double expectX0[] = {0, -w / 2, -w, 0, -w / 2, 0};
  const double expectY0[] = {0, d, -h / 2, -h};
  for (int ha : {0, 1, 2, 4}) {
    for (int va = 0; va <= 3; ++va) {
      Text t = textAt("HELLO", h, {100, 100, 0});
      t.align = {10, 20, 0};
      t.halign = static_cast<std::int16_t>(ha);
      t.valign = static_cast<std::int16_t>(va);
      const Box b = quickBox(t);
      // Left/baseline uses the insertion point, every other mode the alignment point.
      const Vec2 p = ha == 0 && va == 0 ? Vec2{100, 100} : Vec2{10, 20};
      const double y0 = ha == 4 ? -h / 2 : expectY0[va];
      EXPECT_NEAR(b.x0, p.x + expectX0[ha], kEps) << ha << "," << va;
      EXPECT_NEAR(b.x1, p.x + expectX0[ha] + w, kEps) << ha << "," << va;
      EXPECT_NEAR(b.y0, p.y + y0, kEps) << ha << "," << va;
      EXPECT_NEAR(b.y1, p.y + y0 + h, kEps) << ha << "," << va;
    }
  }
}

TEST(TextLayout, MiddleCentresOnTheInkIncludingDescenders) {
  // Built-in 'g' runs from -3/9 to 6/9 of the height: its ink middle is 1.5/9 up.
  Text t = textAt("gg", 9);
  t.halign = 4;
  Box b = quickBox(t);
  EXPECT_NEAR(b.y0, -1.5, kEps);
  // Middle-centre ignores the descenders.
  t.halign = 1;
  t.valign = 2;
  b = quickBox(t);
  EXPECT_NEAR(b.y0, -4.5, kEps);
}

TEST(TextLayout, AlignedAndFitSpanTheTwoPoints) {
  FontLibrary lib;
  TextStyle st;
  const double natural = measureTextLine("ABC", 1, 1, st, lib).x;
  Text t = textAt("ABC", 2, {1, 1, 0});
  t.align = {11, 1, 0};
  t.halign = 3;  // aligned: height follows the width
  Box b = quickBox(t);
  EXPECT_NEAR(b.x0, 1, kEps);
  EXPECT_NEAR(b.x1, 11, kEps);
  EXPECT_NEAR(b.y1 - b.y0, 10 / natural, kEps);
  t.halign = 5;  // fit: height kept, width factor changes
  b = quickBox(t);
  EXPECT_NEAR(b.x1, 11, kEps);
  EXPECT_NEAR(b.y1 - b.y0, 2, kEps);
  // Along a vertical baseline the box turns with it.
  t.align = {1, 11, 0};
  b = quickBox(t);
  EXPECT_NEAR(b.y0, 1, kEps);
  EXPECT_NEAR(b.y1, 11, kEps);
  EXPECT_NEAR(b.x0, -1, kEps);
  // Coincident points fall back to plain left text instead of dividing by zero.
  t.align = t.insert;
  b = quickBox(t);
  EXPECT_TRUE(std::isfinite(b.x1));
  EXPECT_NEAR(b.x0, 1, kEps);
}

TEST(TextLayout, RotationMirroringAndObliqueAndWidthFactor) {
  FontLibrary lib;
  TextStyle st;
  const double w = measureTextLine("AB", 1, 1, st, lib).x;
  Text t = textAt("AB", 1);
  t.rotation = 90;
  Box b = quickBox(t);
  EXPECT_NEAR(b.x0, -1, kEps);
  EXPECT_NEAR(b.x1, 0, kEps);
  EXPECT_NEAR(b.y1, w, kEps);
  t.rotation = 0;
  t.generation = 2;  // backwards: mirrored about the insertion point
  b = quickBox(t);
  EXPECT_NEAR(b.x0, -w, kEps);
  EXPECT_NEAR(b.x1, 0, kEps);
  t.generation = 4;  // upside down
  b = quickBox(t);
  EXPECT_NEAR(b.y0, -1, kEps);
  EXPECT_NEAR(b.y1, 0, kEps);
  t.generation = 0;
  t.widthFactor = 2;
  b = quickBox(t);
  EXPECT_NEAR(b.x1, 2 * w, kEps);
  // Oblique slants the strokes: the top of an I moves right by tan(angle) * height.
  Text i = textAt("I", 3);
  RecordingOut straight, slanted;
  layoutText(i, 0, st, lib, straight);
  i.oblique = 30;
  layoutText(i, 0, st, lib, slanted);
  const Box s0 = straight.bounds(), s1 = slanted.bounds();
  EXPECT_NEAR((s1.x1 - s1.x0) - (s0.x1 - s0.x0), std::tan(30 * std::acos(-1) / 180) * 3, 1e-6);
}

TEST(TextLayout, StyleFixedHeightWhenEntityHasNone) {
  TextStyle st;
  st.fixedHeight = 5;
  Text t = textAt("X", 0);
  const Box b = quickBox(t, st);
  EXPECT_NEAR(b.y1 - b.y0, 5, kEps);
  // Nonsense numbers never produce non-finite output.
  Text bad = textAt("X", std::nan(""));
  bad.widthFactor = -3;
  bad.rotation = INFINITY;
  const Box c = quickBox(bad);
  EXPECT_TRUE(std::isfinite(c.x0) && std::isfinite(c.y1));
  // A point at infinity draws nothing at all.
  FontLibrary lib;
  RecordingOut none;
  Text far = textAt("X", 1, {INFINITY, 0, 0});
  layoutText(far, 0, st, lib, none);
  MText mfar;
  mfar.text = "X";
  mfar.insert = {0, std::nan(""), 0};
  layoutMText(mfar, st, lib, none);
  EXPECT_TRUE(none.strokes.empty());
  // Inline heights and widths beyond reason stay finite.
  RecordingOut huge;
  MText wild;
  wild.text = "\\H1e300;A\\W1e300;B\\T1e300;C";
  layoutMText(wild, st, lib, huge);
  ASSERT_FALSE(huge.strokes.empty());
  for (const auto& s : huge.strokes)
    for (const auto& p : s) ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
}

TEST(TextLayout, GlyphsStayInsideTheirBoxAndUnderlineFollowsToggles) {
  FontLibrary lib;
  TextStyle st;
  Text t = textAt("%%uAB%%u CD", 2, {5, 5, 0});
  RecordingOut out;
  layoutText(t, 0, st, lib, out);
  const double w = measureTextLine("AB CD", 2, 1, st, lib).x;
  const double wab = measureTextLine("AB", 2, 1, st, lib).x;
  const Box b = out.bounds();
  EXPECT_GE(b.x0, 5 - kEps);
  EXPECT_LE(b.x1, 5 + w + kEps);
  // Exactly one horizontal stroke under the baseline, spanning AB only.
  int lines = 0;
  for (const auto& s : out.strokes)
    if (s.size() == 2 && std::abs(s[0].y - s[1].y) < kEps && s[0].y < 5) {
      ++lines;
      EXPECT_NEAR(s[0].x, 5, kEps);
      EXPECT_NEAR(s[1].x, 5 + wab, kEps);
    }
  EXPECT_EQ(lines, 1);
}

TEST(TextLayout, TrueTypeStylesAskOnceAndPlaceTheRun) {
  FontLibrary lib;
  TextStyle st;
  st.font = "arial.ttf";
  Text t = textAt("Hi", 2, {1, 2, 0});
  t.rotation = 90;
  RecordingOut yes;
  yes.acceptTtf = true;
  layoutText(t, 0, st, lib, yes);
  EXPECT_EQ(yes.ttfAsked, 1);
  ASSERT_EQ(yes.runs.size(), 1u);
  EXPECT_TRUE(yes.strokes.empty());
  EXPECT_EQ(yes.runs[0].text, "Hi");
  EXPECT_EQ(yes.runs[0].fontFile, "arial.ttf");
  EXPECT_NEAR(yes.runs[0].origin.x, 1, kEps);
  EXPECT_NEAR(yes.runs[0].xAxis.y, 2, kEps);
  EXPECT_NEAR(yes.runs[0].yAxis.x, -2, kEps);
  EXPECT_NEAR(yes.runs[0].advance, measureTextLine("Hi", 1, 1, TextStyle{}, lib).x, kEps);
  RecordingOut no;
  layoutText(t, 0, st, lib, no);
  EXPECT_EQ(no.ttfAsked, 1);
  EXPECT_TRUE(no.runs.empty());
  EXPECT_FALSE(no.strokes.empty());
  // A family stored with an SHX-named style also counts as TrueType.
  TextStyle shx;
  RecordingOut fam;
  fam.acceptTtf = true;
  layoutText(t, 0, shx, lib, fam, {.ttfFamily = "Arial"});
  ASSERT_EQ(fam.runs.size(), 1u);
  EXPECT_EQ(fam.runs[0].family, "Arial");
}

TEST(TextLayout, StyleTrueTypeInfoFromExtendedData) {
  auto tag = [](int code, std::string text, std::int64_t v = 0) {
    Tag t;
    t.code = code;
    t.kind = text.empty() ? Tag::kInt : Tag::kText;
    t.text = std::move(text);
    t.integer = v;
    return t;
  };
  const std::vector<Tag> xd{tag(1001, "OTHER"), tag(1000, "Nope"), tag(1001, "ACAD"), tag(1000, "Arial Narrow"),
                            tag(1071, "", 0x03000022)};
  const StyleTtfInfo info = styleTtfInfo(xd);
  EXPECT_EQ(info.family, "Arial Narrow");
  EXPECT_TRUE(info.bold);
  EXPECT_TRUE(info.italic);
  EXPECT_TRUE(styleTtfInfo({}).family.empty());
  // Strike-through from %%k toggles runs through the middle of the text.
  FontLibrary lib;
  RecordingOut out;
  layoutText(textAt("%%kAB", 2), 0, TextStyle{}, lib, out);
  bool mid = false;
  for (const auto& s : out.strokes)
    mid |= s.size() == 2 && std::abs(s[0].y - 1) < kEps && std::abs(s[1].y - 1) < kEps && s[1].x > s[0].x;
  EXPECT_TRUE(mid);
}

// --- MTEXT ---

MText mtext(const std::string& s, double h, double width = 0, int attachment = 1) {
  MText m;
  m.text = s;
  m.height = h;
  m.refWidth = width;
  m.attachment = static_cast<std::int16_t>(attachment);
  return m;
}

std::vector<Box> quickLines(const MText& m, const TextStyle& st = {}) {
  FontLibrary lib;
  RecordingOut out;
  layoutMText(m, st, lib, out, {.quickText = true});
  std::vector<Box> boxes;
  for (const auto& s : out.strokes) {
    Box b;
    for (const auto& p : s) b.add(p);
    boxes.push_back(b);
  }
  return boxes;
}

TEST(MTextLayout, WrapsAtSpacesWithinTheReferenceWidth) {
  FontLibrary lib;
  TextStyle st;
  const double word = measureTextLine("WORD", 1, 1, st, lib).x;
  const double space = measureTextLine(" ", 1, 1, st, lib).x;
  // Room for two words and a space, not three.
  const auto lines = quickLines(mtext("WORD WORD WORD WORD WORD", 1, 2 * word + space + 0.1));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NEAR(lines[0].x1 - lines[0].x0, 2 * word + space, kEps);
  EXPECT_NEAR(lines[2].x1 - lines[2].x0, word, kEps);
  // Baselines 5/3 of the height apart, the first line's top at the insertion point.
  EXPECT_NEAR(lines[0].y1, 0, kEps);
  EXPECT_NEAR(lines[0].y0 - lines[1].y0, 5.0 / 3, kEps);
  // A word longer than the width stays whole on its own line.
  const auto longWord = quickLines(mtext("AB VERYLONGWORD CD", 1, word));
  ASSERT_EQ(longWord.size(), 3u);
  // Without a width nothing wraps; \P and new lines still start paragraphs.
  EXPECT_EQ(quickLines(mtext("WORD WORD WORD WORD", 1)).size(), 1u);
  EXPECT_EQ(quickLines(mtext("A\\PB\nC", 1)).size(), 3u);
  // Line spacing factor.
  MText m = mtext("A\\PB", 2);
  m.spacingFactor = 1.5;
  const auto sp = quickLines(m);
  ASSERT_EQ(sp.size(), 2u);
  EXPECT_NEAR(sp[0].y0 - sp[1].y0, 2 * 5.0 / 3 * 1.5, kEps);
}

TEST(MTextLayout, AttachmentPointsPlaceTheBox) {
  FontLibrary lib;
  TextStyle st;
  const double w = measureTextLine("AB", 2, 1, st, lib).x;
  const double total = 2 + 2 * 5.0 / 3;  // first line's height plus one line step
  for (int a = 1; a <= 9; ++a) {
    MText m = mtext("AB\\PAB", 2, 0, a);
    m.insert = {50, 60, 0};
    const auto lines = quickLines(m);
    ASSERT_EQ(lines.size(), 2u) << a;
    Box all = lines[0];
    all.add({lines[1].x0, lines[1].y0});
    all.add({lines[1].x1, lines[1].y1});
    const int col = (a - 1) % 3, row = (a - 1) / 3;
    EXPECT_NEAR(all.x0, 50 - w * col / 2, kEps) << a;
    EXPECT_NEAR(all.y1, 60 + total * row / 2, kEps) << a;
    EXPECT_NEAR(all.y0, 60 + total * row / 2 - total, kEps) << a;
  }
  // With a reference width, centred lines centre in the width.
  MText c = mtext("AB", 2, 20, 2);
  const auto cl = quickLines(c);
  ASSERT_EQ(cl.size(), 1u);
  EXPECT_NEAR((cl[0].x0 + cl[0].x1) / 2, 0, kEps);
  // \pqr right-aligns a paragraph of a left-attached text.
  const auto rl = quickLines(mtext("\\pqr;AB", 2, 20, 1));
  ASSERT_EQ(rl.size(), 1u);
  EXPECT_NEAR(rl[0].x1, 20, kEps);
}

TEST(MTextLayout, DirectionRotationAndIndents) {
  MText m = mtext("AB", 1);
  m.xDirection = {0, 1, 0};
  auto l = quickLines(m);
  ASSERT_EQ(l.size(), 1u);
  EXPECT_NEAR(l[0].x1, 1, kEps);  // runs up the y axis, its lines to the +x side
  EXPECT_GT(l[0].y1 - l[0].y0, l[0].x1 - l[0].x0);
  MText r = mtext("AB", 1);
  r.rotation = 180;
  l = quickLines(r);
  ASSERT_EQ(l.size(), 1u);
  EXPECT_LE(l[0].x1, kEps);
  EXPECT_NEAR(l[0].y0, 0, kEps);
  // Left indent in text heights.
  l = quickLines(mtext("\\pl2;AB", 1.5));
  ASSERT_EQ(l.size(), 1u);
  EXPECT_NEAR(l[0].x0, 3, kEps);
}

TEST(MTextLayout, InlineHeightColourTabsAndUnderline) {
  FontLibrary lib;
  TextStyle st;
  // A taller run raises the line: its top still at the insertion point.
  auto l = quickLines(mtext("a{\\H3;B}c", 1));
  ASSERT_EQ(l.size(), 1u);
  EXPECT_NEAR(l[0].y1 - l[0].y0, 3, kEps);
  EXPECT_NEAR(l[0].y1, 0, kEps);
  // Colours are reported as they change, then reset.
  RecordingOut out;
  layoutMText(mtext("\\C1;red\\C3;green{\\c255;x}", 1), st, lib, out);
  ASSERT_EQ(out.colors.size(), 4u);
  EXPECT_EQ(out.colors[0], "i1");
  EXPECT_EQ(out.colors[1], "i3");
  EXPECT_EQ(out.colors[2], "rgb#ff0000");
  EXPECT_EQ(out.colors[3], "i-1");
  // A tab moves to the next stop (four heights).
  RecordingOut tab;
  layoutMText(mtext("I^II", 1), st, lib, tab);
  ASSERT_EQ(tab.strokes.size(), 2u);
  const double iLeft = builtinStrokeFont().glyph('I')->strokes[0][0].x;
  EXPECT_NEAR(tab.strokes[1][0].x, 4 + iLeft, kEps);
  // The paragraph's own stops come first, then the default ones.
  RecordingOut stops;
  layoutMText(mtext("\\pt1.5;I^II^II", 1), st, lib, stops);
  ASSERT_EQ(stops.strokes.size(), 3u);
  EXPECT_NEAR(stops.strokes[1][0].x, 1.5 + iLeft, kEps);
  EXPECT_NEAR(stops.strokes[2][0].x, 4 + iLeft, kEps);
  // Underline of one run: a single stroke across it.
  RecordingOut ul;
  layoutMText(mtext("\\LAB\\l CD", 1), st, lib, ul);
  const double wab = measureTextLine("AB", 1, 1, st, lib).x;
  int under = 0;
  for (const auto& s : ul.strokes)
    if (s.size() == 2 && std::abs(s[0].y + 1 + 0.2) < kEps && std::abs(s[1].y - s[0].y) < kEps) {
      ++under;
      EXPECT_NEAR(s[1].x - s[0].x, wab, kEps);
    }
  EXPECT_EQ(under, 1);
}

TEST(MTextLayout, StackedFractionsDrawUpperAboveLower) {
  FontLibrary lib;
  TextStyle st;
  RecordingOut out;
  layoutMText(mtext("\\S1/2;", 1), st, lib, out);
  // Strokes of the '1' lie above the bar and those of the '2' below it.
  const Glyph* one = builtinStrokeFont().glyph('1');
  const Glyph* two = builtinStrokeFont().glyph('2');
  ASSERT_EQ(out.strokes.size(), one->strokes.size() + 1 + two->strokes.size());
  const auto& bar = out.strokes[one->strokes.size()];
  ASSERT_EQ(bar.size(), 2u);
  EXPECT_NEAR(bar[0].y, bar[1].y, kEps);
  for (std::size_t k = 0; k < one->strokes.size(); ++k)
    for (const auto& p : out.strokes[k]) EXPECT_GT(p.y, bar[0].y);
  for (std::size_t k = one->strokes.size() + 1; k < out.strokes.size(); ++k)
    for (const auto& p : out.strokes[k]) EXPECT_LT(p.y, bar[0].y);
  // The diagonal kind draws a slanted separator, tolerance none.
  RecordingOut diag, tol;
  layoutMText(mtext("\\S1#2;", 1), st, lib, diag);
  layoutMText(mtext("\\S1^2;", 1), st, lib, tol);
  const auto& slash = diag.strokes[one->strokes.size()];
  ASSERT_EQ(slash.size(), 2u);
  EXPECT_GT(slash[1].x, slash[0].x);
  EXPECT_GT(slash[1].y, slash[0].y);
  EXPECT_EQ(tol.strokes.size(), one->strokes.size() + two->strokes.size());
}

TEST(MTextLayout, TrueTypeRunsGatherPerLineAndRun) {
  FontLibrary lib;
  TextStyle st;
  RecordingOut out;
  out.acceptTtf = true;
  layoutMText(mtext("ab{\\fArial|b1;cd}\\Pef", 1), st, lib, out);
  ASSERT_EQ(out.runs.size(), 1u);
  EXPECT_EQ(out.runs[0].text, "cd");
  EXPECT_NEAR(out.runs[0].advance, measureTextLine("cd", 1, 1, st, lib).x, kEps);
  EXPECT_EQ(out.runs[0].family, "Arial");
  EXPECT_TRUE(out.runs[0].bold);
  EXPECT_EQ(out.ttfAsked, 1);
  EXPECT_FALSE(out.strokes.empty());  // the SHX runs still draw strokes
}

}  // namespace
}  // namespace kelvaro::cad

namespace kelvaro::cad {
namespace {

// A sheet of TEXT alignments (each beside a cross at its point) and a wrapped MTEXT, written
// beside the tests to look at.
TEST(TextLayoutSheet, Rasterises) {
  FontLibrary lib;
  TextStyle st;
  RecordingOut out;
  auto cross = [&](double x, double y) {
    out.strokes.push_back({{x - 0.3, y}, {x + 0.3, y}});
    out.strokes.push_back({{x, y - 0.3}, {x, y + 0.3}});
  };
  const char* names[] = {"Left", "Center", "Right", "", "Middle"};
  for (int ha : {0, 1, 2, 4}) {
    for (int va = 0; va <= 3; ++va) {
      if (ha == 4 && va) continue;
      Text t;
      t.text = std::string(names[ha]) + " " + std::to_string(va) + " Ag%%d";
      t.height = 1;
      t.halign = static_cast<std::int16_t>(ha);
      t.valign = static_cast<std::int16_t>(va);
      t.align = t.insert = {2 + ha * 9.0, 30 - va * 2.5, 0};
      cross(t.align.x, t.align.y);
      layoutText(t, va, st, lib, out);
    }
  }
  Text fit;
  fit.text = "%%uFit between%%u";
  fit.height = 1;
  fit.halign = 5;
  fit.insert = {2, 19, 0};
  fit.align = {20, 19, 0};
  layoutText(fit, 0, st, lib, out);
  Text rot = fit;
  rot.text = "Rotated 30, oblique 15";
  rot.halign = 0;
  rot.rotation = 30;
  rot.oblique = 15;
  rot.insert = {24, 14, 0};
  layoutText(rot, 0, st, lib, out);
  MText m;
  m.insert = {2, 17, 0};
  m.height = 0.8;
  m.refWidth = 18;
  m.text =
      "\\pxqc;{\\H1.5x;Heading}\\P\\pql;A paragraph wraps at spaces within its width, with \\Lunderlined\\l and "
      "\\Ooverlined\\o words, 1\\S1/2; and 3\\S3#4; fractions, a tolerance 10\\S+0.1^-0.2; and caf\\U+00E9, "
      "\\A1;%%c50, %%p0.5.\\P\\pi-1,l1;Indented paragraph with a first-line outdent, wrapped once or twice.";
  layoutMText(m, st, lib, out);
  for (const auto& s : out.strokes)
    for (const auto& p : s) ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
  long inked = 0;
  const std::string path = std::string(KELVARO_BINARY_DIR) + "/text_layout_sheet.pgm";
  EXPECT_TRUE(testing::writeStrokeImage(path, out.strokes, 1100, 760, 28, {0, 4}, &inked));
  EXPECT_GT(inked, 3000);
}

}  // namespace

// The disc the bounds walk tests instead of laying text out must hold every point the layout
// draws, whatever the alignment, turn, mirroring, slant, width, codes or style.
TEST(TextLayout, LooseDiscHoldsEverythingTheLayoutDraws) {
  const char* texts[] = {"Room 12", "%%uUnder%%u and %%o%%d%%p", "\\U+00E9x\\U+2205", "W", "|", "gjpqy_", "  lead"};
  int checked = 0;
  for (const char* str : texts)
    for (int ha = 0; ha <= 5; ++ha)
      for (int va = 0; va <= 3; ++va)
        for (double rot : {0.0, 33.0, 180.0, 271.0})
          for (double obl : {0.0, 15.0, -30.0})
            for (double wf : {1.0, 0.4, 3.0})
              for (int gen : {0, 2, 4, 6})
                for (bool quick : {false, true}) {
                  Text t = textAt(str, 2.5, {10, -4, 0});
                  t.align = {13, -2, 0};
                  t.halign = static_cast<std::int16_t>(ha);
                  t.valign = static_cast<std::int16_t>(va);
                  t.rotation = rot;
                  t.oblique = obl;
                  t.widthFactor = wf;
                  t.generation = static_cast<std::int16_t>(gen);
                  TextStyle st;
                  st.widthFactor = 0.7;
                  FontLibrary lib;
                  Vec2 c;
                  double r;
                  if (!looseTextDisc(t, va, st, lib, {.quickText = quick}, c, r)) {
                    EXPECT_TRUE(ha == 3 || ha == 5) << str << " " << ha;
                    continue;
                  }
                  RecordingOut out;
                  layoutText(t, va, st, lib, out, {.quickText = quick});
                  for (const auto& stroke : out.strokes)
                    for (const Vec2& p : stroke)
                      ASSERT_LE(std::hypot(p.x - c.x, p.y - c.y), r) << str << " ha " << ha << " va " << va << " rot " << rot;
                  ++checked;
                }
  EXPECT_GT(checked, 10000);
  // Fonts other than the built-in one are not known cheaply.
  TextStyle ttf;
  ttf.font = "arial.ttf";
  FontLibrary lib;
  Vec2 c;
  double r;
  EXPECT_FALSE(looseTextDisc(textAt("x", 1), 0, ttf, lib, {}, c, r));
}

}  // namespace kelvaro::cad
