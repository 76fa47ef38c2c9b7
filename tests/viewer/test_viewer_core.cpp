// The palette, the colour modes and the file lookups of the viewer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "viewer/FileLookup.h"
#include "viewer/Palette.h"

namespace kelvaro::viewer {
namespace {
namespace fs = std::filesystem;

TEST(Palette, FixedEntriesAreExact) {
  const TPalette p;
  const Rgb first[10] = {{0, 0, 0},     {255, 0, 0},   {255, 255, 0},   {0, 255, 0},     {0, 255, 255},
                         {0, 0, 255},   {255, 0, 255}, {255, 255, 255}, {128, 128, 128}, {192, 192, 192}};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(p[i], first[i]) << "entry " << i;
  const Rgb greys[6] = {{0, 0, 0}, {45, 45, 45}, {91, 91, 91}, {137, 137, 137}, {179, 179, 179}, {183, 183, 183}};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(p[250 + i], greys[i]) << "entry " << 250 + i;
}

TEST(Palette, HueRowsMatchThePublishedTable) {
  // Spot values of the published AutoCAD Color Index, across hues, shades and pastels.
  struct Case {
    int index;
    Rgb rgb;
  };
  const Case cases[] = {{10, {255, 0, 0}},    {11, {255, 127, 127}}, {12, {204, 0, 0}},    {13, {204, 102, 102}},
                        {14, {153, 0, 0}},    {15, {153, 76, 76}},   {16, {127, 0, 0}},    {17, {127, 63, 63}},
                        {18, {76, 0, 0}},     {19, {76, 38, 38}},    {20, {255, 63, 0}},   {21, {255, 159, 127}},
                        {23, {204, 127, 102}}, {25, {153, 95, 76}},  {29, {76, 47, 38}},   {30, {255, 127, 0}},
                        {35, {153, 114, 76}}, {40, {255, 191, 0}},   {43, {204, 178, 102}}, {49, {76, 66, 38}},
                        {50, {255, 255, 0}},  {60, {191, 255, 0}},   {61, {223, 255, 127}}, {63, {178, 204, 102}},
                        {90, {0, 255, 0}},    {130, {0, 255, 255}},  {150, {0, 127, 255}}, {170, {0, 0, 255}},
                        {210, {255, 0, 255}}, {249, {76, 38, 47}}};
  const TPalette p;
  for (const Case& c : cases) EXPECT_EQ(p[c.index], c.rgb) << "entry " << c.index;
}

TEST(Palette, GreyLevelsRoundEachProductHalvesToEven) {
  EXPECT_EQ(grayLevel({255, 0, 0}), 76);   // 76.5 rounds down to even
  EXPECT_EQ(grayLevel({0, 0, 255}), 28);   // 28.05
  EXPECT_EQ(grayLevel({0, 255, 0}), 150);  // 150.45
  EXPECT_EQ(grayLevel({5, 0, 0}), 2);      // 1.5 rounds up to even
  EXPECT_EQ(grayLevel({15, 0, 0}), 4);     // 4.5 rounds down to even
  EXPECT_EQ(grayLevel({255, 255, 255}), 254) << "the three rounded parts, not the rounded sum";
  EXPECT_EQ(screenColor({255, 0, 0}, false, true), (Rgb{76, 76, 76}));
  EXPECT_EQ(screenColor({0, 0, 255}, false, true), (Rgb{28, 28, 28}));
  EXPECT_EQ(screenColor({0, 0, 255}, true, true), (Rgb{0, 0, 0})) << "all black wins over grey levels";
  EXPECT_EQ(screenColor({1, 2, 3}, false, false), (Rgb{1, 2, 3}));
}

TEST(Palette, EntrySevenFollowsTheLineColourOnlyWhileBlackOrWhite) {
  TPalette p;
  p.applyLineColor(TLineColor::Black);
  EXPECT_EQ(p[7], (Rgb{0, 0, 0}));
  p.applyLineColor(TLineColor::White);
  EXPECT_EQ(p[7], (Rgb{255, 255, 255}));
  p.set(7, {10, 20, 30});
  p.applyLineColor(TLineColor::Black);
  EXPECT_EQ(p[7], (Rgb{10, 20, 30})) << "a colour the user chose stays";
  EXPECT_EQ(p[1], (Rgb{255, 0, 0})) << "other entries never change";
}

class Lookup : public testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("kelvaro_lookup_" + std::to_string(::getpid()));
    fs::create_directories(root / "drawing");
    fs::create_directories(root / "s1");
    fs::create_directories(root / "s2");
    drawing = (root / "drawing" / "plan.dxf").string();
    std::ofstream(drawing) << "x";
  }
  void TearDown() override { fs::remove_all(root); }
  void touch(const fs::path& p) { std::ofstream(p) << "x"; }
  fs::path root;
  std::string drawing;
};

TEST_F(Lookup, StoredPathThenDrawingFolderThenSearchFolders) {
  const std::vector<std::string> folders{(root / "s1").string(), (root / "s2").string()};
  touch(root / "s2" / "site.jpg");
  EXPECT_EQ(findDrawingFile("C:\\images\\site.jpg", drawing, folders), (root / "s2" / "site.jpg").string());
  touch(root / "s1" / "site.jpg");
  EXPECT_EQ(findDrawingFile("C:\\images\\site.jpg", drawing, folders), (root / "s1" / "site.jpg").string())
      << "search folders in their order";
  touch(root / "drawing" / "site.jpg");
  EXPECT_EQ(findDrawingFile("C:\\images\\site.jpg", drawing, folders), (root / "drawing" / "site.jpg").string())
      << "the drawing's folder before the search folders";
  const std::string stored = (root / "s2" / "site.jpg").string();
  EXPECT_EQ(findDrawingFile(stored, drawing, folders), stored) << "an existing stored path wins";
}

TEST_F(Lookup, NothingFoundGivesNothing) {
  EXPECT_EQ(findDrawingFile("missing.shx", drawing, {(root / "s1").string()}), "");
  EXPECT_EQ(findDrawingFile("", drawing, {}), "");
  EXPECT_EQ(findDrawingFile("C:\\folder\\", drawing, {}), "") << "a stored folder names no file";
  EXPECT_EQ(storedFileName("C:\\a\\b/c.shx"), "c.shx");
  EXPECT_EQ(storedFileName("D:txt.shx"), "txt.shx");
}

}  // namespace
}  // namespace kelvaro::viewer
