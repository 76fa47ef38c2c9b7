// kelvaro-cli render --view and --named-view: a 3D drawing of three coloured axis lines seen
// from the standard sides, stored views, and the refusals.
#include <gtest/gtest.h>

#include <QImage>

#include "support/run_cli.h"
#include "viewer_fixtures.h"

namespace kelvaro::viewer {
namespace {
namespace fs = std::filesystem;
using namespace kelvaro::cad;
using kelvaro::test::runCli;

Entity axis(Vec3 b, std::int16_t colour) {
  Entity e;
  e.common.color = colour;
  e.data = Line{{0, 0, 0}, b};
  return e;
}

class RenderViews : public testing::Test {
 protected:
  void SetUp() override {
    dir = test::scratchFolder("renderviews");
    Document doc = test::crossDrawing();
    doc.modelSpace().entities.clear();
    doc.modelSpace().entities.push_back(axis({100, 0, 0}, 1));  // red x
    doc.modelSpace().entities.push_back(axis({0, 100, 0}, 3));  // green y
    doc.modelSpace().entities.push_back(axis({0, 0, 100}, 5));  // blue z
    TableEntry<View> v;
    v.frame.handle = doc.newHandle();
    v.rec.name = "CornerView";
    v.rec.height = 20;
    v.rec.width = 20;
    v.rec.target = {100, 0, 0};
    doc.views.entries.push_back(v);
    doc.views.present = true;
    doc.assignHandles();
    file = (dir / "axes.dxf").string();
    test::save(doc, file);
    png = (dir / "out.png").string();
  }
  void TearDown() override { fs::remove_all(dir); }
  QImage render(std::vector<std::string> extra) {
    std::vector<std::string> args{"render", file, png, "--size", "200x200"};
    args.insert(args.end(), extra.begin(), extra.end());
    auto r = runCli(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return QImage(QString::fromStdString(png));
  }
  // Extent in pixels (width, height) of the pixels of one pure colour.
  static QSize spread(const QImage& img, QRgb c) {
    int x0 = img.width(), x1 = -1, y0 = img.height(), y1 = -1;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if ((img.pixel(x, y) & 0xFFFFFF) == (c & 0xFFFFFF)) {
          x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
    return x1 < 0 ? QSize(0, 0) : QSize(x1 - x0 + 1, y1 - y0 + 1);
  }
  fs::path dir;
  std::string file, png;
  const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
};

TEST_F(RenderViews, ElevationsStandTheZAxisUp) {
  QImage top = render({"--view", "top"});
  EXPECT_GT(spread(top, green).height(), 100);
  EXPECT_LE(spread(top, blue).height(), 3) << "z is seen end on from above";
  QImage front = render({"--view", "front"});
  EXPECT_GT(spread(front, blue).height(), 100);
  EXPECT_LE(spread(front, blue).width(), 3);
  EXPECT_GT(spread(front, red).width(), 100);
  EXPECT_LE(spread(front, green).width(), 3) << "y points away from the viewer";
  QImage left = render({"--view", "LEFT"});
  EXPECT_GT(spread(left, green).width(), 100);
  EXPECT_LE(spread(left, red).width(), 3);
  QImage sw = render({"--view", "sw"});
  EXPECT_GT(spread(sw, red).width(), 50);
  EXPECT_GT(spread(sw, red).height(), 30) << "x runs up to the right in an isometric";
  EXPECT_GT(spread(sw, green).width(), 50);
  EXPECT_LE(spread(sw, blue).width(), 3);
}

TEST_F(RenderViews, NamedViewShowsTheStoredWindow) {
  QImage corner = render({"--named-view", "cornerview"});
  // A 20-unit window about the end of the x axis: the red line crosses half the picture.
  const QSize r = spread(corner, red);
  EXPECT_GE(r.width(), 95);
  EXPECT_LE(r.width(), 105);
  EXPECT_EQ(spread(corner, green).width(), 0);
  QImage initial = render({"--named-view", "INITIAL"});
  EXPECT_GT(spread(initial, green).height(), 100);
}

TEST_F(RenderViews, RefusesUnknownViewsAndCombinations) {
  auto r = runCli({"render", file, png, "--view", "upside"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--view must be one of"), std::string::npos) << r.err;
  r = runCli({"render", file, png, "--named-view", "nowhere"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("no model-space view named nowhere"), std::string::npos) << r.err;
  r = runCli({"render", file, png, "--view", "top", "--named-view", "CornerView"});
  EXPECT_EQ(r.status, 2);
  const std::string layouts = (dir / "layouts.dxf").string();
  test::save(test::layoutDrawing(), layouts);
  r = runCli({"render", layouts, png, "--layout", "Sheet", "--view", "front"});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("You must change to Model Space"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kelvaro::viewer
