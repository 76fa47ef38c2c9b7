// The pointer tools on a real viewer: zoom rectangle from either direction, the pan tool's
// pixel-exact move, middle-button pan, wheel, status coordinates, the print-window pick, the
// inverted rubber band, cursors and the right-button menu's view items.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <filesystem>

#include "support/qt_app.h"
#include "viewer/TDraftel.h"
#include "viewer_fixtures.h"

namespace kelvaro::viewer {
namespace {
namespace fs = std::filesystem;

class Pointer : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    kelvaro::test::ensureQtApp();
    TDraftel::setProgramFolder(KELVARO_BINARY_DIR "/tests/viewer");
  }
  void SetUp() override {
    dir = test::scratchFolder("pointer");
    const fs::path p = dir / "cross.dxf";
    test::save(test::crossDrawing(), p);
    v.resize(200, 160);
    v.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(v.OpenDrawing(QString::fromStdString(p.string())), 1);
    picture = v.grab().toImage();
  }
  void TearDown() override { fs::remove_all(dir); }
  void drag(Qt::MouseButton b, QPoint from, QPoint to) {
    QTest::mousePress(&v, b, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), v.mapToGlobal(QPointF(to)), Qt::NoButton, b, {});
    QCoreApplication::sendEvent(&v, &move);
    QTest::mouseRelease(&v, b, {}, to);
  }
  // The column holding most pixels of the blue vertical line.
  static int blueColumn(const QImage& img) {
    int best = -1, most = 0;
    for (int x = 0; x < img.width(); ++x) {
      int n = 0;
      for (int y = 0; y < img.height(); ++y) {
        const QRgb c = img.pixel(x, y);
        n += qBlue(c) > 200 && qRed(c) < 80 && qGreen(c) < 80;
      }
      if (n > most) most = n, best = x;
    }
    return best;
  }
  fs::path dir;
  TDraftel v;
  QImage picture;
};

TEST_F(Pointer, PanToolMovesTheDrawingByThePixelsDragged) {
  v.resize(320, 160);
  const int before = blueColumn(v.grab().toImage());
  ASSERT_GT(before, 100);
  ASSERT_LT(before, 200);
  v.StartPan();
  EXPECT_EQ(v.cursorNumber(), kCursorHand);
  EXPECT_EQ(v.session().pointerMode, PointerMode::Pan);
  const int count = v.session().historyCount();
  drag(Qt::LeftButton, {40, 80}, {140, 80});
  const QImage after = v.grab().toImage();
  EXPECT_EQ(blueColumn(after), before + 100);
  EXPECT_EQ(v.session().historyCount(), count + 1);
  EXPECT_EQ(v.session().pointerMode, PointerMode::Pan) << "the tool stays on";
  // Middle-button drag pans the same way with any tool.
  v.ZoomExtents();
  const QImage fitted = v.grab().toImage();
  const int x0 = blueColumn(fitted);
  drag(Qt::MiddleButton, {100, 40}, {70, 40});
  EXPECT_EQ(blueColumn(v.grab().toImage()), x0 - 30);
}

TEST_F(Pointer, ZoomRectangleGivesTheSameWindowFromEitherCorner) {
  v.StartZoomRectangle();
  EXPECT_EQ(v.cursorNumber(), kCursorMagnifier);
  drag(Qt::LeftButton, {20, 30}, {120, 110});
  const cad::AdViewRecord one = v.session().view();
  const int count = v.session().historyCount();
  v.ZoomPrevious();
  v.grab();
  v.StartZoomRectangle();
  drag(Qt::LeftButton, {120, 110}, {20, 30});
  const cad::AdViewRecord two = v.session().view();
  EXPECT_NEAR(one.width, two.width, 1e-9);
  EXPECT_NEAR(one.height, two.height, 1e-9);
  EXPECT_NEAR(one.target.x, two.target.x, 1e-9);
  EXPECT_NEAR(one.target.y, two.target.y, 1e-9);
  EXPECT_EQ(v.session().historyCount(), count);
  // The window's middle becomes the panel's middle.
  v.grab();
  double px, py;
  cad::Vec3 w;
  cad::adCurrentPixelToWorld(v.session().handle(), 100, 80, w);
  v.ZoomPrevious();
  v.grab();
  cad::adCurrentWorldToPixel(v.session().handle(), w, px, py);
  EXPECT_NEAR(px, 70, 0.5);
  EXPECT_NEAR(160 - py, 70, 0.5);
}

TEST_F(Pointer, ClickWithoutDragDoesNotZoomButAddsHistory) {
  v.StartZoomRectangle();
  const double w0 = v.session().view().width;
  const int count = v.session().historyCount();
  QTest::mouseClick(&v, Qt::LeftButton, {}, QPoint(50, 50));
  EXPECT_DOUBLE_EQ(v.session().view().width, w0);
  EXPECT_EQ(v.session().historyCount(), count + 1);
  v.ZoomPrevious();
  EXPECT_EQ(v.session().historyCount(), count) << "one more Zoom Previous is needed";
}

TEST_F(Pointer, MovingReportsCoordinatesWithOrWithoutATool) {
  QSignalSpy moved(&v, &TDraftel::cursorMoved);
  QTest::mouseMove(&v, QPoint(100, 80));
  QMouseEvent move(QEvent::MouseMove, QPointF(100, 80), v.mapToGlobal(QPointF(100, 80)), Qt::NoButton, Qt::NoButton, {});
  QCoreApplication::sendEvent(&v, &move);
  ASSERT_GE(moved.count(), 1);
  cad::Vec3 mid;
  cad::adCurrentPixelToWorld(v.session().handle(), 100, 80, mid);
  EXPECT_NEAR(v.cursorX(), mid.x, 1e-9);
  EXPECT_NEAR(v.cursorY(), mid.y, 1e-9);
  const int n = static_cast<int>(moved.count());
  v.session().busy = true;
  QCoreApplication::sendEvent(&v, &move);
  v.session().busy = false;
  EXPECT_EQ(moved.count(), n) << "nothing while busy";
}

TEST_F(Pointer, RubberBandIsDrawnInverted) {
  v.StartZoomRectangle();
  QTest::mousePress(&v, Qt::LeftButton, {}, QPoint(30, 30));
  QMouseEvent move(QEvent::MouseMove, QPointF(150, 120), v.mapToGlobal(QPointF(150, 120)), Qt::NoButton,
                   Qt::LeftButton, {});
  QCoreApplication::sendEvent(&v, &move);
  ASSERT_TRUE(v.pointerTools().rectangleOn());
  const QImage banded = v.grab().toImage();
  const QImage& under = v.paintBuffer();
  for (const QPoint p : {QPoint(30, 60), QPoint(150, 60), QPoint(90, 30), QPoint(90, 120)}) {
    EXPECT_EQ(banded.pixel(p) & 0xFFFFFF, ~under.pixel(p) & 0xFFFFFF) << p.x() << "," << p.y();
  }
  EXPECT_EQ(banded.pixel(90, 60), under.pixel(90, 60)) << "inside stays as it was";
  QTest::mouseRelease(&v, Qt::LeftButton, {}, QPoint(150, 120));
  EXPECT_FALSE(v.pointerTools().rectangleOn());
}

TEST_F(Pointer, WheelZoomsAboutThePointer) {
  v.grab();
  cad::Vec3 before, after;
  cad::adCurrentPixelToWorld(v.session().handle(), 40, 160 - 50, before);
  const double w0 = v.session().view().width;
  QWheelEvent wheel(QPointF(40, 50), v.mapToGlobal(QPointF(40, 50)), {}, QPoint(0, 120), Qt::NoButton, {},
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(&v, &wheel);
  v.grab();
  EXPECT_LT(v.session().view().width, w0);
  cad::adCurrentPixelToWorld(v.session().handle(), 40, 160 - 50, after);
  EXPECT_NEAR(after.x, before.x, 1e-6);
  EXPECT_NEAR(after.y, before.y, 1e-6);
}

TEST_F(Pointer, PrintWindowPickGivesTwoCornersAndZoomsCancelIt) {
  int picked = 0;
  v.onPrintWindowPicked = [&] { ++picked; };
  v.StartPan();
  v.BeginPrintWindowPick();
  EXPECT_EQ(v.cursorNumber(), kCursorCross);
  EXPECT_EQ(v.session().pointerMode, PointerMode::Idle);
  const int count = v.session().historyCount();
  drag(Qt::LeftButton, {20, 20}, {120, 100});
  EXPECT_EQ(picked, 1);
  const ToolState& t = v.viewControl().tool();
  EXPECT_FALSE(t.printPickPending);
  EXPECT_TRUE(t.printWindowUsable());
  cad::Vec3 a, b;
  cad::adCurrentPixelToWorld(v.session().handle(), 20, 140, a);
  cad::adCurrentPixelToWorld(v.session().handle(), 120, 60, b);
  EXPECT_NEAR(t.printCorner[0].x, a.x, 1e-9);
  EXPECT_NEAR(t.printCorner[1].y, b.y, 1e-9);
  EXPECT_EQ(v.session().historyCount(), count) << "a pick does not change the view";
  // A click gives no usable window; any zoom cancels a pending pick.
  v.BeginPrintWindowPick();
  QTest::mouseClick(&v, Qt::LeftButton, {}, QPoint(60, 60));
  EXPECT_FALSE(t.printWindowUsable());
  v.BeginPrintWindowPick();
  v.ZoomIn();
  EXPECT_FALSE(t.printPickPending);
  EXPECT_EQ(v.cursorNumber(), kCursorDefault);
}

TEST_F(Pointer, MenuItemsThreeToEightReachTheTools) {
  v.setEnableCADMenu(true);
  v.menuCommand(kMenuZoomRectangle);
  EXPECT_EQ(v.session().pointerMode, PointerMode::ZoomRectangle);
  v.menuCommand(kMenuPan);
  EXPECT_EQ(v.session().pointerMode, PointerMode::Pan);
  v.menuCommand(kMenuZoomIn);
  EXPECT_EQ(v.session().pointerMode, PointerMode::ZoomedIn);
  EXPECT_EQ(v.cursorNumber(), kCursorDefault);
  v.menuCommand(kMenuZoomOut);
  EXPECT_EQ(v.session().pointerMode, PointerMode::ZoomedOut);
  v.menuCommand(kMenuZoomExtents);
  EXPECT_EQ(v.session().pointerMode, PointerMode::ZoomedExtents);
  const int count = v.session().historyCount();
  v.menuCommand(kMenuZoomPrevious);
  EXPECT_EQ(v.session().historyCount(), count - 1);
}

TEST_F(Pointer, ViewCommandsLeaveOrKeepTheToolAsTheyShould) {
  v.StartPan();
  v.ZoomOut();
  v.StartPan();
  v.ZoomPrevious();
  EXPECT_EQ(v.session().pointerMode, PointerMode::Pan) << "Zoom Previous keeps the tool";
  EXPECT_EQ(v.cursorNumber(), kCursorHand);
  v.RotateLeft90();
  EXPECT_EQ(v.session().pointerMode, PointerMode::Idle);
  EXPECT_EQ(v.cursorNumber(), kCursorDefault) << "no tool cursor left over";
  v.BeginPrintWindowPick();
  v.ZoomPrevious();
  EXPECT_FALSE(v.viewControl().tool().printPickPending);
  EXPECT_EQ(v.cursorNumber(), kCursorDefault);
  v.StartZoomRectangle();
  v.SetStandardView(StandardView::SW);
  EXPECT_EQ(v.session().pointerMode, PointerMode::Idle);
  EXPECT_EQ(v.cursorNumber(), kCursorDefault);
}

TEST(Cursors, MagnifierAndHandAreDrawnPictures) {
  kelvaro::test::ensureQtApp();
  for (int n : {kCursorMagnifier, kCursorHand}) {
    const QCursor c = viewerCursor(n);
    EXPECT_EQ(c.shape(), Qt::BitmapCursor);
    const QImage img = c.pixmap().toImage();
    ASSERT_FALSE(img.isNull());
    int opaque = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) opaque += qAlpha(img.pixel(x, y)) > 128;
    EXPECT_GT(opaque, 60) << n;
  }
  EXPECT_EQ(viewerCursor(kCursorCross).shape(), Qt::CrossCursor);
  EXPECT_EQ(viewerCursor(42).shape(), Qt::ArrowCursor);
}

}  // namespace
}  // namespace kelvaro::viewer
