// View control on a drawing session: history, zoom window limits, pans, standard views,
// quarter turns, named views, the paper-space warning and wheel zoom.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>

#include "platform/notify.h"
#include "support/qt_app.h"
#include "viewer/TDraftel.h"
#include "viewer/ViewControl.h"
#include "viewer_fixtures.h"

namespace kelvaro::viewer {
namespace {
namespace fs = std::filesystem;
using namespace kelvaro::cad;

Entity axisLine(Vec3 b, std::int16_t colour) {
  Entity e;
  e.common.color = colour;
  e.data = Line{{0, 0, 0}, b};
  return e;
}

// Three axis lines of length 100: x red, y green, z blue.
Document axesDrawing() {
  Document doc = test::crossDrawing();
  doc.modelSpace().entities.clear();
  doc.modelSpace().entities.push_back(axisLine({100, 0, 0}, 1));
  doc.modelSpace().entities.push_back(axisLine({0, 100, 0}, 3));
  doc.modelSpace().entities.push_back(axisLine({0, 0, 100}, 5));
  doc.assignHandles();
  return doc;
}

void addView(Document& doc, const std::string& name, std::int16_t flags, double height, Vec3 target) {
  TableEntry<View> e;
  e.frame.handle = doc.newHandle();
  e.rec.name = name;
  e.rec.flags = flags;
  e.rec.height = height;
  e.rec.width = height * 2;
  e.rec.target = target;
  doc.views.entries.push_back(e);
  doc.views.present = true;
}

class ViewTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    kelvaro::test::ensureQtApp();
    TDraftel::setProgramFolder(KELVARO_BINARY_DIR "/tests/viewer");
  }
  void SetUp() override {
    dir = test::scratchFolder("viewctl");
    ASSERT_TRUE(startToolkit(TDraftel::programFolder()));
  }
  void TearDown() override { fs::remove_all(dir); }
  // Opens `doc` in the session as a 200 x 160 panel shows it after its first draw.
  void open(const Document& doc, const char* name = "d.dxf") {
    const fs::path p = dir / name;
    test::save(doc, p);
    s.setPanelSize(200, 160);
    ASSERT_EQ(s.OpenDrawing(QString::fromStdString(p.string())), 1);
    s.FitViewToPanel();
  }
  Vec3 worldAt(double x, double yUp) {
    s.FitViewToPanel();
    Vec3 w;
    adCurrentPixelToWorld(s.handle(), x, yUp, w);
    return w;
  }
  // Screen direction (pixels) of a world vector in the current view.
  ViewPixel screenOf(Vec3 v) {
    s.FitViewToPanel();
    double x0, y0, x1, y1;
    adCurrentWorldToPixel(s.handle(), {0, 0, 0}, x0, y0);
    adCurrentWorldToPixel(s.handle(), v, x1, y1);
    return {x1 - x0, y1 - y0};
  }
  fs::path dir;
  DrawingSession s;
  ViewControl vc{s};
};

TEST_F(ViewTest, HistoryKeepsTheNewestTwentyAndPreviousWalksBack) {
  open(test::crossDrawing());
  EXPECT_EQ(s.historyCount(), 1);
  EXPECT_FALSE(vc.ZoomPrevious()) << "nothing to go back to right after opening";
  const double w0 = s.view().width;
  for (int i = 0; i < 21; ++i) ASSERT_TRUE(vc.ZoomIn());
  EXPECT_EQ(s.historyCount(), 20);
  EXPECT_NEAR(s.view().width, w0 / std::pow(2.0, 21), w0 * 1e-12);
  int back = 0;
  while (vc.ZoomPrevious()) ++back;
  EXPECT_EQ(back, 19);
  // The oldest two views (the opening one and the first zoom) were dropped.
  EXPECT_NEAR(s.view().width, w0 / 4, w0 * 1e-12);
  EXPECT_NEAR(s.requestedWidth, s.view().width, 1e-12);
  EXPECT_EQ(s.pointerMode, PointerMode::ZoomedIn) << "going back keeps the pointer mode";
}

TEST_F(ViewTest, ZoomInAndOutHalveAndDoubleAboutTheCentre) {
  open(test::crossDrawing());
  const Vec3 mid = worldAt(100, 80);
  const double w0 = s.view().width, h0 = s.view().height;
  vc.ZoomOut();
  EXPECT_NEAR(s.view().width, 2 * w0, 1e-9);
  EXPECT_NEAR(s.view().height, 2 * h0, 1e-9);
  EXPECT_EQ(s.pointerMode, PointerMode::ZoomedOut);
  vc.ZoomIn();
  vc.ZoomIn();
  EXPECT_NEAR(s.view().width, w0 / 2, 1e-9);
  const Vec3 after = worldAt(100, 80);
  EXPECT_NEAR(after.x, mid.x, 1e-9);
  EXPECT_NEAR(after.y, mid.y, 1e-9);
  s.busy = true;
  EXPECT_FALSE(vc.ZoomIn()) << "nothing runs while busy";
  EXPECT_EQ(s.historyCount(), 4);
  s.busy = false;
}

TEST_F(ViewTest, RefusedZoomLeavesTheViewButStillAddsHistory) {
  open(test::crossDrawing());
  s.view().width = 1.5e-11;
  s.view().height = 1.2e-11;
  vc.ZoomIn();
  EXPECT_DOUBLE_EQ(s.view().width, 1.5e-11);
  EXPECT_EQ(s.historyCount(), 2);
  s.view().width = 0.9e10;
  s.view().height = 0.72e10;
  vc.ZoomOut();
  EXPECT_DOUBLE_EQ(s.view().width, 0.9e10);
  EXPECT_EQ(s.historyCount(), 3);
  // Degenerate windows: zero height, inverted corners, NaN.
  EXPECT_FALSE(vc.ZoomWindow({10, 10}, {10, 50}));
  EXPECT_FALSE(vc.ZoomWindow({50, 50}, {10, 10}));
  EXPECT_FALSE(vc.ZoomWindow({NAN, 0}, {10, 10}));
  EXPECT_DOUBLE_EQ(s.view().width, 0.9e10);
}

TEST_F(ViewTest, ZoomWindowWidensToThePanelShape) {
  open(test::crossDrawing());
  const double w0 = s.view().width, h0 = s.view().height;
  // A tall window: its height decides, the width follows the panel's shape.
  ASSERT_TRUE(vc.ZoomWindow({0, 0}, {20, 80}));
  EXPECT_NEAR(s.view().height, h0 / 2, 1e-9);
  EXPECT_NEAR(s.view().width, w0 / 2, 1e-9);
  // A wide one: its width decides.
  ASSERT_TRUE(vc.ZoomWindow({0, 0}, {50, 2}));
  EXPECT_NEAR(s.view().width, w0 / 8, 1e-9);
  EXPECT_NEAR(s.view().height, h0 / 8, 1e-9);
}

TEST_F(ViewTest, PansMoveTheDrawingByThePixelsDragged) {
  open(test::crossDrawing());
  double px0, py0, px1, py1;
  adCurrentWorldToPixel(s.handle(), {50, 0, 0}, px0, py0);
  vc.PanBy({20, 30}, {120, 10});
  s.FitViewToPanel();
  adCurrentWorldToPixel(s.handle(), {50, 0, 0}, px1, py1);
  EXPECT_NEAR(px1 - px0, 100, 1e-6);
  EXPECT_NEAR(py1 - py0, -20, 1e-6);
  // Centring a window brings its middle to the middle of the panel.
  const Vec3 target = worldAt(40, 30);
  vc.PanToWindowCentre({20, 20}, {60, 40});
  const Vec3 mid = worldAt(100, 80);
  EXPECT_NEAR(mid.x, target.x, 1e-9);
  EXPECT_NEAR(mid.y, target.y, 1e-9);
}

TEST_F(ViewTest, WheelZoomKeepsThePointUnderThePointer) {
  open(test::crossDrawing());
  const Vec3 before = worldAt(37, 121);
  const double w0 = s.view().width;
  ASSERT_TRUE(vc.WheelZoom({37, 121}, 120));
  EXPECT_NEAR(s.view().width, w0 * 0.8, 1e-9);
  Vec3 after = worldAt(37, 121);
  EXPECT_NEAR(after.x, before.x, 1e-9);
  EXPECT_NEAR(after.y, before.y, 1e-9);
  ASSERT_TRUE(vc.WheelZoom({37, 121}, -360));
  after = worldAt(37, 121);
  EXPECT_NEAR(after.x, before.x, 1e-9);
  EXPECT_NEAR(after.y, before.y, 1e-9);
  EXPECT_EQ(s.historyCount(), 3) << "wheel steps go through the history as well";
  EXPECT_TRUE(vc.ZoomPrevious());
  EXPECT_NEAR(s.view().width, w0 * 0.8, 1e-9);
  // A wildly large delta is clamped, not flown off to infinity.
  vc.WheelZoom({0, 0}, -1000000);
  EXPECT_TRUE(std::isfinite(s.view().width));
  EXPECT_LE(s.view().width, 1e10);
}

TEST_F(ViewTest, StandardViewsLookFromTheirSide) {
  open(axesDrawing());
  const Vec3 X{100, 0, 0}, Y{0, 100, 0}, Z{0, 0, 100};
  struct Case {
    StandardView v;
    int dirX, dirY, dirZ;  // signs of the view direction (towards the viewer)
  };
  const Case cases[] = {{StandardView::Top, 0, 0, 1},  {StandardView::Bottom, 0, 0, -1}, {StandardView::Front, 0, -1, 0},
                        {StandardView::Back, 0, 1, 0}, {StandardView::Left, -1, 0, 0},   {StandardView::Right, 1, 0, 0},
                        {StandardView::SW, -1, -1, 1}, {StandardView::SE, 1, -1, 1},    {StandardView::NE, 1, 1, 1},
                        {StandardView::NW, -1, 1, 1}};
  auto sign = [](double d) { return std::fabs(d) < 1e-4 ? 0 : d > 0 ? 1 : -1; };
  for (const Case& c : cases) {
    SCOPED_TRACE(standardViewName(c.v));
    ASSERT_TRUE(vc.SetStandardView(c.v));
    const Vec3 d = s.view().direction;
    EXPECT_EQ(sign(d.x), c.dirX);
    EXPECT_EQ(sign(d.y), c.dirY);
    EXPECT_EQ(sign(d.z), c.dirZ);
    EXPECT_EQ(s.pointerMode, PointerMode::Idle);
    // Elevations and isometrics stand the drawing up: world z points up the screen.
    if (c.dirZ <= 0 && c.v != StandardView::Bottom) {
      EXPECT_GT(screenOf(Z).y, 90) << "z is up";
    } else if (c.dirZ == 1 && c.dirX != 0) {
      EXPECT_GT(screenOf(Z).y, 0);
      EXPECT_NEAR(screenOf(Z).x, 0, 1e-6) << "verticals stay vertical";
    }
  }
  // Plain readings of the elevations.
  vc.SetStandardView(StandardView::Front);
  EXPECT_GT(screenOf(X).x, 90);
  EXPECT_NEAR(s.view().direction.z, std::sin(std::numbers::pi / 2 + kFrontAngle), 1e-12) << "just short of level";
  vc.SetStandardView(StandardView::Back);
  EXPECT_LT(screenOf(X).x, -90);
  vc.SetStandardView(StandardView::Left);
  EXPECT_LT(screenOf(Y).x, -90);
  vc.SetStandardView(StandardView::Right);
  EXPECT_GT(screenOf(Y).x, 90);
  vc.SetStandardView(StandardView::SW);
  EXPECT_GT(screenOf(X).x, 0);
  EXPECT_LT(screenOf(Y).x, 0);
  vc.SetStandardView(StandardView::Top);
  EXPECT_GT(screenOf(X).x, 90);
  EXPECT_GT(screenOf(Y).y, 90);
  EXPECT_EQ(s.historyCount(), 1 + 10 + 6);
}

TEST_F(ViewTest, StandardViewAndQuarterTurnsKeepTheMiddleInPlace) {
  open(axesDrawing());
  vc.PanBy({0, 0}, {-30, 10});
  const Vec3 mid = worldAt(100, 80);
  vc.RotateLeft90();
  EXPECT_NEAR(screenOf({100, 0, 0}).y, 100 * 200 / s.view().width, 1e-6) << "x turned to point up";
  Vec3 now = worldAt(100, 80);
  EXPECT_NEAR(now.x, mid.x, 1e-9);
  EXPECT_NEAR(now.y, mid.y, 1e-9);
  vc.RotateRight90();
  vc.RotateRight90();
  EXPECT_LT(screenOf({100, 0, 0}).y, -90);
  vc.SetStandardView(StandardView::Top);
  now = worldAt(100, 80);
  EXPECT_NEAR(now.x, mid.x, 1e-9);
  EXPECT_NEAR(now.y, mid.y, 1e-9);
  EXPECT_EQ(s.historyCount(), 5);
}

TEST_F(ViewTest, PaperSpaceRefusesModelOnlyCommandsWithTheWarning) {
  // A sheet with something on it besides its viewport.
  Document doc = test::layoutDrawing();
  Entity border = axisLine({10, 8, 0}, 2);
  border.common.paperSpace = 1;
  doc.paperSpace().entities.push_back(border);
  doc.assignHandles();
  open(doc);
  const auto layouts = s.Layouts();
  ASSERT_GE(layouts.size(), 2u);
  s.SelectLayout(layouts[1]);
  ASSERT_TRUE(s.paperSpaceAvailable()) << layouts[1].caption.toStdString() << " " << adFileDisplayableInPaperspace(s.handle());
  ASSERT_FALSE(s.modelSpace());
  const AdViewRecord before = s.view();
  const int count = s.historyCount();
  MessageCapture capture;
  EXPECT_FALSE(vc.SetStandardView(StandardView::Top));
  EXPECT_FALSE(vc.RotateLeft90());
  ASSERT_EQ(capture.messages().size(), 2u);
  EXPECT_EQ(capture.messages()[0].kind, MsgKind::Warning);
  EXPECT_EQ(capture.messages()[0].text,
            "You must change to Model Space before performing this action. Select the Layouts command.");
  EXPECT_EQ(s.view().direction.z, before.direction.z);
  EXPECT_EQ(s.view().twist, before.twist);
  EXPECT_EQ(s.historyCount(), count);
  EXPECT_TRUE(vc.ZoomIn()) << "zooms work in paper space";
}

TEST_F(ViewTest, NamedViewsListInitialFirstAndSkipPaperSpaceViews) {
  Document doc = test::crossDrawing();
  addView(doc, "NORTH", 0, 10, {50, 20, 0});
  addView(doc, "SHEETVIEW", 1, 5, {0, 0, 0});
  addView(doc, "BROKEN", 0, 0, {0, 0, 0});
  open(doc);
  const auto views = vc.NamedViews();
  ASSERT_EQ(views.size(), 3u);
  EXPECT_EQ(views[0].name, "INITIAL");
  EXPECT_TRUE(views[0].initial);
  EXPECT_EQ(views[1].name, "NORTH");
  EXPECT_EQ(views[2].name, "BROKEN");
  ASSERT_TRUE(vc.RestoreNamedView(views[1]));
  EXPECT_DOUBLE_EQ(s.view().height, 10);
  EXPECT_DOUBLE_EQ(s.requestedHeight, 10);
  EXPECT_DOUBLE_EQ(s.view().target.x, 50);
  EXPECT_EQ(s.historyCount(), 2);
  // A stored view with no height is refused with a message; the view stays.
  MessageCapture capture;
  EXPECT_FALSE(vc.RestoreNamedView(views[2]));
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0].kind, MsgKind::Error);
  EXPECT_DOUBLE_EQ(s.view().height, 10);
  EXPECT_EQ(s.historyCount(), 2);
  ASSERT_TRUE(vc.RestoreNamedView(views[0]));
  EXPECT_EQ(s.pointerMode, PointerMode::ZoomedExtents) << "INITIAL zooms to the extents";
  EXPECT_EQ(s.historyCount(), 3);
}

}  // namespace
}  // namespace kelvaro::viewer
