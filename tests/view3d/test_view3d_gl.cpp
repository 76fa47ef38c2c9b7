// Rendered frames of the 3D view (OpenGL: these run under an X server, Xvfb with Mesa's
// software renderer in the suite) and the window around them.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>

#include <cstdlib>

#include "platform/help.h"
#include "platform/notify.h"
#include "platform/settings.h"
#include "shadow/shadow.h"
#include "support/qt_app.h"
#include "support/run_cli.h"
#include "view3d/GLRenderer.h"
#include "view3d/frm3D.h"

using namespace kelvaro;
using namespace kelvaro::view3d;

namespace {

void save(const QImage& img, const char* name) {
  if (const char* dir = std::getenv("KELVARO_SNAPSHOT_DIR")) img.save(QDir(dir).filePath(name));
}

// The suite runs every Qt test on the off-screen platform; with an X server at hand these
// use it, since OpenGL inside widgets needs a real window system.
const bool kUseX = [] {
  if (!qEnvironmentVariableIsEmpty("DISPLAY") && qgetenv("QT_QPA_PLATFORM") == "offscreen")
    qputenv("QT_QPA_PLATFORM", "xcb");
  return true;
}();

bool haveGL() {
  test::ensureQtApp();
  static const bool ok = ProbeOpenGL().ok;
  return ok;
}

#define REQUIRE_GL() \
  if (!haveGL()) GTEST_SKIP() << "no OpenGL context here (these tests need an X server such as xvfb-run)"

struct Census {
  int shadow = 0, red = 0, building = 0, background = 0;
  double shadowX = 0;  // mean column of the shadow pixels
};

// Shadow: near black; rose: strong red; building: pale or green texels under the light;
// background: the scene colour (128, 153, 153).
Census census(const QImage& img) {
  Census c;
  double sx = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QColor p = img.pixelColor(x, y);
      const int r = p.red(), g = p.green(), b = p.blue();
      if (r < 40 && g < 40 && b < 40) {
        ++c.shadow;
        sx += x;
      } else if (r > 120 && g < 60 && b < 60) {
        ++c.red;
      } else if (std::abs(r - 128) <= 2 && std::abs(g - 153) <= 2 && std::abs(b - 153) <= 2) {
        ++c.background;
      } else if (g > 100) {
        ++c.building;
      }
    }
  if (c.shadow) c.shadowX = sx / c.shadow;
  return c;
}

QImage frame(double azimuth, double altitude, int orientation = 0, int w = 320, int h = 240) {
  SunView v;
  v.FacadeOrientation = orientation;
  EXPECT_TRUE(v.SetUp(CubeResource(), w, h));
  v.samples = {{azimuth, altitude, 12}};
  v.Step();
  QString why;
  QImage img = RenderOffscreen(v.scene.frames(), v.scene.View, &why);
  EXPECT_FALSE(img.isNull()) << why.toStdString();
  return img;
}

class View3DWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ensureQtApp();
    ASSERT_TRUE(dir_.isValid());
    setSettingsRoot(dir_.path());
  }
  void TearDown() override {
    SetDeviceProber({});
    setSettingsRoot({});
  }
  QTemporaryDir dir_;
};

}  // namespace

TEST(View3DFrames, BuildingAndShadowOnTheRose) {
  REQUIRE_GL();
  const QImage img = frame(150, 35);
  ASSERT_EQ(img.size(), QSize(320, 240));
  save(img, "view3d-frame.png");
  const Census c = census(img);
  EXPECT_GT(c.background, 3000);  // sky and the see-through black of the rose
  EXPECT_GT(c.red, 300);          // the rose's arms and letters
  EXPECT_GT(c.building, 3000);    // the lit block
  EXPECT_GT(c.shadow, 1000);      // its shadow on the ground
  // The camera looks at the origin: the block stands in the middle of the picture.
  const QColor mid = img.pixelColor(160, 110);
  EXPECT_GT(mid.green(), 100);
}

TEST(View3DFrames, ShadowMovesOppositeTheSun) {
  REQUIRE_GL();
  const QImage morning = frame(100, 25);
  const QImage afternoon = frame(260, 25);
  save(morning, "view3d-morning.png");
  save(afternoon, "view3d-afternoon.png");
  const Census m = census(morning), a = census(afternoon);
  ASSERT_GT(m.shadow, 500);
  ASSERT_GT(a.shadow, 500);
  // Sun in the east: shadow to the west (left); in the west: to the right.
  EXPECT_LT(m.shadowX, 150);
  EXPECT_GT(a.shadowX, 170);
  // A sun under the horizon still lights and shadows as if at 3 degrees: a long shadow.
  const Census low = census(frame(100, -2));
  EXPECT_GT(low.shadow, m.shadow);
}

TEST(View3DFrames, OrientationTurnsTheBlock) {
  REQUIRE_GL();
  // Seen from the south the wide face fills more of the picture than the narrow one.
  const Census wide = census(frame(180, 60, 0));
  const Census narrow = census(frame(180, 60, 90));
  EXPECT_GT(wide.building, narrow.building * 3 / 2);
}

TEST_F(View3DWindow, FirstRunDefaultsAndStoredValues) {
  SetDeviceProber([] { return DeviceProbe{true, 32}; });
  {
    MessageCapture messages;
    Tfrm3D w;
    EXPECT_FALSE(w.SetupFailed());
    EXPECT_EQ(w.windowTitle(), "3D Shadow Model");
    EXPECT_EQ(w.SpinEdit1()->value(), 10);
    EXPECT_EQ(w.SpinEdit4()->value(), 60);
    EXPECT_EQ(w.view().scene.Dev.shades, 256);
    EXPECT_TRUE(messages.messages().empty());
    w.SpinEdit1()->setValue(25);
    w.SpinEdit4()->setValue(90);
    EXPECT_EQ(w.view().FacadeOrientation, 90);
    EXPECT_EQ(w.view().StepMinutes, 25);
    // The menu shortcuts lead to the view's own commands.
    EXPECT_EQ(w.action("mnuCameraUp")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_U));
    w.action("mnuCameraUp")->trigger();
    EXPECT_EQ(w.view().CameraPosition.y, 15);
    w.action("mnuZoomOut")->trigger();
    EXPECT_NEAR(w.view().ViewField, 0.55, 1e-12);
    EXPECT_EQ(w.Label(1)->text(), "00 : 00");
    // Help opens topic 7.
    w.ShowHelp();
    ASSERT_NE(help::window(), nullptr);
    auto* browser = help::window()->findChild<QTextBrowser*>();
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->source().toString(), "qrc:/help/topic7.html");
    help::window()->hide();
  }
  const View3DSettings s = LoadView3DSettings();
  EXPECT_EQ(s.StepMinutes, 25);
  EXPECT_EQ(s.FacadeOrientation, 90);
  Tfrm3D again;
  EXPECT_EQ(again.SpinEdit1()->value(), 25);
  EXPECT_EQ(again.SpinEdit4()->value(), 90);
}

TEST_F(View3DWindow, OddStoredValues) {
  RegKey key = RegKey::create(QString::fromLatin1(kView3DSettingsKey));
  key.writeInt("m3e", 7);
  key.writeString("m3f", "east");  // mistyped: the reading stops, orientation stays 0
  key.flush();
  View3DSettings s = LoadView3DSettings();
  EXPECT_EQ(s.StepMinutes, 7);
  EXPECT_EQ(s.FacadeOrientation, 0);
  key.writeInt("m3e", 0);
  key.writeInt("m3f", 45);
  key.flush();
  s = LoadView3DSettings();
  EXPECT_EQ(s.StepMinutes, 10);
  EXPECT_EQ(s.FacadeOrientation, 60);
  key.writeInt("m3e", 5000);
  key.writeInt("m3f", -20);
  key.flush();
  s = LoadView3DSettings();
  EXPECT_EQ(s.StepMinutes, 10);
  EXPECT_EQ(s.FacadeOrientation, 60);
}

TEST_F(View3DWindow, ColourDepthMessages) {
  MessageCapture messages;
  SetDeviceProber([] { return DeviceProbe{true, 16}; });
  {
    Tfrm3D w;
    EXPECT_EQ(w.view().scene.Dev.shades, 32);
  }
  SetDeviceProber([] { return DeviceProbe{true, 8}; });
  { Tfrm3D w; }
  ASSERT_EQ(messages.messages().size(), 2u);
  EXPECT_EQ(messages.messages()[0].text, "3D Simulation operates best with your display set for true color.");
  EXPECT_EQ(messages.messages()[1].text, "3D modelling operates best with your display set for true color.");
  EXPECT_EQ(messages.messages()[1].kind, MsgKind::Information);
}

TEST_F(View3DWindow, NoOpenGLFailsCleanly) {
  MessageCapture messages;
  SetDeviceProber([] { return DeviceProbe{false, 0}; });
  {
    Tfrm3D w;
    EXPECT_TRUE(w.SetupFailed());
    EXPECT_TRUE(w.grabScene().isNull());
  }
  ASSERT_FALSE(messages.messages().empty());
  EXPECT_EQ(messages.messages()[0].text, "Direct3DRMCreate failed.");
  messages.clear();
  // The settings dialog refuses to show the window.
  TfrmShadow d;
  d.SetMode(ShadowMode::Model3D);
  d.setPickerDate(QDate(2024, 3, 20));
  bool shown = false;
  QTimer guard;  // scoped: it must not fire in a later test
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [&] {
    if (auto* m = QApplication::activeModalWidget(); m && m != &d) {
      shown = true;
      m->close();
    }
  });
  guard.start(0);
  d.cmdOKClick();
  EXPECT_FALSE(shown);
  ASSERT_EQ(messages.messages().size(), 2u);
  EXPECT_EQ(messages.messages()[1].text, kSetupFailedText);
  EXPECT_EQ(messages.messages()[1].kind, MsgKind::Error);
}

TEST_F(View3DWindow, SettingsDialogShowsTheViewAndItDraws) {
  REQUIRE_GL();
  if (!ProbeOpenGL(true).ok) GTEST_SKIP() << "this platform cannot show OpenGL in a window";
  MessageCapture messages;
  TfrmShadow d;
  d.SetMode(ShadowMode::Model3D);
  d.setPickerDate(QDate(2024, 3, 20));
  QString title, time, sunrise, altitude;
  std::size_t samples = 0;
  QImage picture;
  double field = 0, back = 0;
  // Polls until the view is up (its set-up may run the event loop before it is modal).
  QTimer poll;
  poll.setInterval(10);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* w = qobject_cast<Tfrm3D*>(QApplication::activeModalWidget());
    if (!w || !w->isVisible()) return;
    poll.stop();
    title = w->windowTitle();
    samples = w->view().samples.size();
    sunrise = w->Label(5)->text();
    w->SpinEdit1()->setValue(30);
    for (int i = 0; i < 10; ++i) w->SingleStep();  // mid morning
    time = w->Label(1)->text();
    altitude = w->Label(17)->text();
    w->action("mnuZoomIn")->trigger();
    field = w->view().scene.View.field;
    w->resize(800, 600);
    QApplication::processEvents();
    back = w->view().scene.View.back;
    picture = w->grabScene();
    if (const char* dir = std::getenv("KELVARO_SNAPSHOT_DIR")) w->grab().save(QDir(dir).filePath("view3d-window.png"));
    w->close();
  });
  poll.start();
  d.cmdOKClick();
  poll.stop();
  EXPECT_EQ(title, "3D Shadow Model");
  EXPECT_GT(samples, 600u);
  EXPECT_TRUE(sunrise.endsWith(' '));
  EXPECT_NE(time, "00 : 00");
  EXPECT_FALSE(altitude.isEmpty());
  EXPECT_NEAR(field, 0.45, 1e-9);
  EXPECT_EQ(back, 5000);
  ASSERT_FALSE(picture.isNull());
  save(picture, "view3d-window-scene.png");
  const Census c = census(picture);
  EXPECT_GT(c.building, 1000);
  EXPECT_GT(c.shadow, 200);
  EXPECT_TRUE(messages.messages().empty());
}

TEST(View3DCli, RendersOneFrame) {
  REQUIRE_GL();
  const std::string png = QDir::temp().filePath("kelvaro-view3d-cli.png").toStdString();
  std::remove(png.c_str());
  auto r = test::runCli({"view3d", "--azimuth", "100", "--altitude", "25", "--orientation", "30", "--png", png,
                         "--size", "256x200", "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"SunDirectionY\""), std::string::npos);
  const QImage img(QString::fromStdString(png));
  ASSERT_EQ(img.size(), QSize(256, 200));
  EXPECT_LT(census(img).shadowX, 120);
  r = test::runCli({"view3d", "--altitude", "95"});
  EXPECT_EQ(r.status, 2);
  r = test::runCli({"view3d", "--camera-height", "101"});
  EXPECT_EQ(r.status, 2);
  // From high above the sun in the south-east throws the shadow to the upper left.
  r = test::runCli({"view3d", "--azimuth", "135", "--altitude", "40", "--camera-height", "100", "--field", "0.2",
                    "--png", png, "--size", "240x200"});
  ASSERT_EQ(r.status, 0) << r.err;
  const QImage top(QString::fromStdString(png));
  double sy = 0;
  int n = 0;
  for (int y = 0; y < top.height(); ++y)
    for (int x = 0; x < top.width(); ++x)
      if (qGray(top.pixel(x, y)) < 30) sy += y, ++n;
  ASSERT_GT(n, 200);
  EXPECT_LT(census(top).shadowX, 110);
  EXPECT_LT(sy / n, 90);
  r = test::runCli({"view3d", "--size", "10x10000", "--png", png});
  EXPECT_EQ(r.status, 2);
  std::remove(png.c_str());
}

TEST_F(View3DWindow, AnimationRunsToTheEndAndStops) {
  SetDeviceProber([] { return DeviceProbe{true, 24}; });
  Tfrm3D w;
  std::vector<SunSample> day;
  for (int i = 0; i < 95; ++i) day.push_back({90.0 + i, -1.0 + i * 0.5, 6.0 + i / 60.0});
  w.SetSamples(day);
  w.Reset();
  EXPECT_EQ(w.Label(17)->text(), "-1:00:00");  // the first sample, below the horizon
  EXPECT_EQ(w.view().SampleIndex, 10);
  w.action("mnuPause")->trigger();  // index is not 0: the timer starts
  EXPECT_TRUE(w.Timer1().isActive());
  w.action("mnuPause")->trigger();
  EXPECT_FALSE(w.Timer1().isActive());
  w.Start();
  EXPECT_TRUE(w.Timer1().isActive());
  QElapsedTimer t;
  t.start();
  while (w.Timer1().isActive() && t.elapsed() < 10000) QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_FALSE(w.Timer1().isActive());
  EXPECT_GT(w.view().SampleIndex, 94);
  EXPECT_EQ(w.Label(16)->text(), "180:00:00");  // sample 90, the last one taken
  EXPECT_EQ(w.Label(1)->text(), "07 : 30");
}
