// kelvaro-cli render end to end: pixels at known places of a small drawing, colour options,
// argument and file errors.
#include <gtest/gtest.h>

#include <QImage>

#include <fstream>

#include "support/run_cli.h"
#include "viewer_fixtures.h"

namespace kelvaro::viewer {
namespace {
namespace fs = std::filesystem;
using kelvaro::test::runCli;

class Render : public testing::Test {
 protected:
  void SetUp() override {
    dir = test::scratchFolder("render");
    cross = (dir / "cross.dxf").string();
    test::save(test::crossDrawing(), cross);
    png = (dir / "out.png").string();
  }
  void TearDown() override { fs::remove_all(dir); }
  QImage render(std::vector<std::string> extra) {
    std::vector<std::string> args{"render", cross, png, "--size", "200x160"};
    args.insert(args.end(), extra.begin(), extra.end());
    auto r = runCli(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return QImage(QString::fromStdString(png));
  }
  // How many pixels of a row or column segment have this colour.
  static int countRow(const QImage& img, int y, int x0, int x1, QRgb c) {
    int n = 0;
    for (int x = x0; x < x1; ++x) n += img.pixel(x, y) == c;
    return n;
  }
  static int countColumn(const QImage& img, int x, int y0, int y1, QRgb c) {
    int n = 0;
    for (int y = y0; y < y1; ++y) n += img.pixel(x, y) == c;
    return n;
  }
  static int bestRow(const QImage& img, QRgb c) {
    int best = -1, most = 0;
    for (int y = 0; y < img.height(); ++y)
      if (int n = countRow(img, y, 0, img.width(), c); n > most) most = n, best = y;
    return best;
  }
  fs::path dir;
  std::string cross, png;
};

TEST_F(Render, TheCrossIsDrawnAcrossTheMiddleZoomedToItsExtents) {
  const QImage img = render({});
  ASSERT_EQ(img.size(), QSize(200, 160));
  const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255), white = qRgb(255, 255, 255);
  const int row = bestRow(img, red);
  ASSERT_GE(row, 0) << "no red line";
  EXPECT_NEAR(row, 80, 2) << "the horizontal line runs through the middle";
  // The square extents fill the height of the wider picture: the red line is about 160 long.
  const int redLength = countRow(img, row, 0, 200, red) + countRow(img, row, 95, 105, blue);
  EXPECT_GT(redLength, 140);
  EXPECT_LT(redLength, 165);
  int column = -1;
  for (int x = 90; x < 110; ++x)
    if (countColumn(img, x, 0, 160, blue) > 100) column = x;
  EXPECT_NEAR(column, 100, 2) << "the vertical line runs through the middle";
  EXPECT_EQ(img.pixel(2, 2), white);
  EXPECT_EQ(img.pixel(197, 157), white);
  EXPECT_EQ(img.pixel(10, row), white) << "nothing left of the extents";
}

TEST_F(Render, ColourOptions) {
  QImage img = render({"--grayscale"});
  EXPECT_GT(countRow(img, bestRow(img, qRgb(76, 76, 76)), 0, 200, qRgb(76, 76, 76)), 100);
  img = render({"--allblack", "--background", "#204060"});
  EXPECT_EQ(img.pixel(2, 2), qRgb(0x20, 0x40, 0x60));
  EXPECT_GT(countRow(img, bestRow(img, qRgb(0, 0, 0)), 0, 200, qRgb(0, 0, 0)), 100);
  EXPECT_EQ(bestRow(img, qRgb(255, 0, 0)), -1);
}

TEST_F(Render, DefaultSizeAndLayouts) {
  test::save(test::layoutDrawing(), cross);
  auto r = runCli({"render", cross, png});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(QImage(QString::fromStdString(png)).size(), QSize(1024, 768));
  r = runCli({"render", cross, png, "--layout", "Sheet", "--size", "64x48"});
  EXPECT_EQ(r.status, 0) << r.err;
  r = runCli({"render", cross, png, "--layout", "Empty"});
  EXPECT_EQ(r.status, 2) << "a layout without a viewport is not offered";
  r = runCli({"render", cross, png, "--space", "paper", "--size", "64x48"});
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(Render, BadArgumentsAndFiles) {
  for (const auto& bad : std::vector<std::vector<std::string>>{{"--size", "0x10"},
                                                              {"--size", "big"},
                                                              {"--background", "red"},
                                                              {"--quality", "0"},
                                                              {"--space", "sheet"}}) {
    std::vector<std::string> args{"render", cross, png};
    args.insert(args.end(), bad.begin(), bad.end());
    auto r = runCli(args);
    EXPECT_EQ(r.status, 2) << bad[0] << " " << bad[1];
    EXPECT_NE(r.err.find(bad[0]), std::string::npos) << r.err;
  }
  auto r = runCli({"render", (dir / "none.dxf").string(), png});
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find("Error: Could not find file "), std::string::npos) << r.err;
  std::ofstream(dir / "bad.dxf") << "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nnot a number\n";
  r = runCli({"render", (dir / "bad.dxf").string(), png});
  EXPECT_EQ(r.status, 4) << r.err;
  EXPECT_NE(r.err.find("Error: "), std::string::npos) << r.err;
  std::ofstream(png) << "previous";
  r = runCli({"render", cross, (dir / "no" / "such" / "folder.png").string()});
  EXPECT_EQ(r.status, 4);
  std::ifstream keep(png);
  std::string content;
  keep >> content;
  EXPECT_EQ(content, "previous");
}

}  // namespace
}  // namespace kelvaro::viewer
