#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>

#include "support/run_cli.h"

using kelvaro::test::runCli;

namespace {

bool has(const std::string& out, const std::string& text) { return out.find(text) != std::string::npos; }

}  // namespace

TEST(ModelCommand, OverhangNumbersForOneSun) {
  auto r = runCli({"model", "overhang", "--azimuth", "180", "--altitude", "40", "--orientation", "180", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* key : {"\"HSA\": 0", "\"VSA\": 40", "\"A1\":", "\"A5\":", "\"SunPenetration\":",
                          "\"HorizontalOffset\": 0", "\"ShadedPercent\":", "\"OverhangLength\": 800"})
    EXPECT_TRUE(has(r.out, key)) << key << "\n" << r.out;

  // Behind the façade: no sun inside, all in shade.
  r = runCli({"model", "overhang", "--azimuth", "0", "--altitude", "40", "--orientation", "180"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out, "SunPenetration: 0\n")) << r.out;
  EXPECT_TRUE(has(r.out, "HorizontalOffset: 0\n")) << r.out;
  EXPECT_TRUE(has(r.out, "ShadedPercent: 100\n")) << r.out;

  // No overhang: A4 is 90; dimensions go onto the grid.
  r = runCli({"model", "overhang", "--overhang-length", "0", "--wall-width", "310", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out, "\"A4\": 90")) << r.out;
  EXPECT_TRUE(has(r.out, "\"WallWidth\": 300")) << r.out;
}

TEST(ModelCommand, FinNumbersAndPicture) {
  namespace fs = std::filesystem;
  fs::path png = fs::temp_directory_path() / ("kelvaro-model-" + std::to_string(::getpid()) + ".png");
  auto r = runCli({"model", "fin", "--azimuth", "180", "--altitude", "30", "--orientation", "180", "--png",
                   png.string(), "--size", "300x200", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out, "\"ShadedPercent\": 0")) << r.out;  // head-on sun: the reveals only
  EXPECT_TRUE(has(r.out, "\"a6\":")) << r.out;
  QImage img(QString::fromStdString(png.string()));
  ASSERT_FALSE(img.isNull());
  EXPECT_EQ(img.size(), QSize(300, 200));
  EXPECT_EQ(img.pixelColor(150, 2), QColor(127, 153, 153));
  fs::remove(png);

  r = runCli({"model", "fin", "--azimuth", "0", "--orientation", "180"});
  EXPECT_TRUE(has(r.out, "ShadedPercent: 100\n")) << r.out;
}

TEST(ModelCommand, BadArgumentsAreRefused) {
  EXPECT_EQ(runCli({"model"}).status, 2);
  EXPECT_EQ(runCli({"model", "awning"}).status, 2);
  EXPECT_EQ(runCli({"model", "overhang", "--orientation", "400"}).status, 2);
  EXPECT_EQ(runCli({"model", "overhang", "--altitude", "nan"}).status, 2);
  EXPECT_EQ(runCli({"model", "overhang", "--wall-width", "5000"}).status, 2);
  EXPECT_EQ(runCli({"model", "overhang", "--fin-length", "100"}).status, 2);
  EXPECT_EQ(runCli({"model", "fin", "--size", "10x10", "--png", "/tmp/x.png"}).status, 2);
  auto r = runCli({"model", "fin", "--png", "/nonexistent-folder/x.png"});
  EXPECT_EQ(r.status, 4) << r.err;
}
