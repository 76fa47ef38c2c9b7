#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTest>
#include <QTimer>

#include <cstdlib>

#include "models/ModelSettings.h"
#include "models/ScenePainter.h"
#include "models/model1.h"
#include "models/model2.h"
#include "platform/help.h"
#include "platform/notify.h"
#include "platform/settings.h"
#include "shadow/shadow.h"
#include "support/qt_app.h"

using namespace kelvaro;
using namespace kelvaro::models;

namespace {

class ModelWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ensureQtApp();
    ASSERT_TRUE(dir_.isValid());
    setSettingsRoot(dir_.path());
  }
  void TearDown() override { setSettingsRoot({}); }
  QTemporaryDir dir_;
};

// A morning of samples: the sun rises from 0.5° by a degree a minute.
std::vector<SunSample> morning(int count = 40) {
  std::vector<SunSample> s;
  for (int i = 0; i < count; ++i) s.push_back({120.0 + i, 0.5 + i, 6.0 + i / 60.0});
  return s;
}

QColor at(const QImage& img, Pt p) { return img.pixelColor(p.x, p.y); }
QColor rgb(Rgb c) { return QColor(c.r, c.g, c.b); }

void snapshot(QWidget& w, const char* name) {
  if (const char* dir = std::getenv("KELVARO_SNAPSHOT_DIR")) w.grab().save(QDir(dir).filePath(name));
}

}  // namespace

TEST_F(ModelWindows, OverhangWindowStartsFromItsDefaults) {
  TfrmModel1 w;
  EXPECT_EQ(w.windowTitle(), "Shadow Model for Horizontal Overhang");
  EXPECT_EQ(w.committed(), OverhangDims{});
  EXPECT_EQ(w.StepMinutes(), 2);
  EXPECT_EQ(w.FacadeOrientation(), 180);
  EXPECT_EQ(w.SpinEdit1()->value(), 2);
  EXPECT_EQ(w.SpinEdit2()->value(), 180);
  EXPECT_EQ(w.SpinEdit2()->singleStep(), 5);
  EXPECT_EQ(w.SpinEdit2()->maximum(), 360);
  EXPECT_EQ(w.Label1()->text(), "00 : 00");
  EXPECT_EQ(w.view().PanX, 10);
  EXPECT_EQ(w.Timer1().interval(), 10);
  EXPECT_FALSE(w.Timer1().isActive());
  EXPECT_EQ(w.Panel1()->width(), 148);
  EXPECT_EQ(w.size(), QSize(640, 475));
  w.show();
  EXPECT_EQ(w.ViewBox()->width(), 640 - 148);
  // Menus, captions and shortcuts.
  QStringList menus;
  for (QAction* a : w.menuBar()->actions())
    if (a->isVisible()) menus << a->text();
  EXPECT_EQ(menus, (QStringList{"&File", "&Camera", "&Animation", "&Help"}));
  EXPECT_EQ(w.action("mnuCamaraDown")->text(), "Camara &Down");
  EXPECT_EQ(w.action("mnuCamaraDown")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_D));
  EXPECT_EQ(w.action("SingleStep1")->shortcut(), QKeySequence(Qt::Key_F10));
  EXPECT_EQ(w.action("mnuClose")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F4));
  EXPECT_EQ(w.action("mnuContents")->text(), "Topics...");
  EXPECT_EQ(w.button(11)->toolTip(), "Single Step F10");
  EXPECT_EQ(w.button(11)->AutoRepeatInterval(), 300);
  EXPECT_EQ(w.button(1)->AutoRepeatInterval(), 50);
  EXPECT_FALSE(w.button(7)->AutoRepeat());
}

TEST_F(ModelWindows, StoredValuesAreReadInOrderUntilTheFirstFailure) {
  {
    RegKey k = RegKey::create(kModelSettingsKey);
    k.writeDouble("m1a", 1000);
    k.writeDouble("m1g", 200);
    k.writeString("m1c", "thick");  // mistyped: reading ends here
    k.writeDouble("m1d", 600);
    k.writeInt("m1e", 5);
    k.writeDouble("m1b", 1200);
  }
  {
    TfrmModel1 w;
    EXPECT_EQ(w.committed().OverhangLength, 1000);
    EXPECT_EQ(w.committed().OverhangOffset, 200);
    EXPECT_EQ(w.committed().WallWidth, 300);
    EXPECT_EQ(w.committed().SillHeight, 900);
    EXPECT_EQ(w.StepMinutes(), 2);
    EXPECT_EQ(w.committed().WindowHeight, 1500);
  }
  // Destruction wrote every value with its type.
  RegKey k = RegKey::open(kModelSettingsKey);
  EXPECT_EQ(k.valueType("m1a"), RegType::Binary);
  EXPECT_EQ(k.readBinary("m1a")->size(), 8);
  EXPECT_EQ(k.readDouble("m1c"), 300.0);
  EXPECT_EQ(k.valueType("m1e"), RegType::Dword);
  EXPECT_EQ(k.readDword("m1f"), 180u);
  EXPECT_EQ(k.readDouble("m1b"), 1500.0);
  {
    TfrmModel1 w;  // now everything reads
    EXPECT_EQ(w.committed().OverhangLength, 1000);
    EXPECT_EQ(w.committed().WindowHeight, 1500);
  }
  // Odd stored numbers are taken sanely: off-grid, out of range, not finite.
  {
    RegKey f = RegKey::create(kModelSettingsKey);
    f.writeDouble("m2a", 812);
    f.writeDouble("m2b", std::nan(""));
    f.writeDouble("m2c", -50);
    f.writeDouble("m2d", 0);
    f.writeInt("m2e", 99);
    f.writeInt("m2f", 90);
    f.writeDouble("m2g", 1e300);
  }
  TfrmModel2 f;
  EXPECT_EQ(f.committed().FinLength, 800);
  EXPECT_EQ(f.committed().WindowWidth, 1200);
  EXPECT_EQ(f.committed().WallLeft, 0);
  EXPECT_EQ(f.committed().WallWidth, 25);
  EXPECT_EQ(f.StepMinutes(), 2);
  EXPECT_EQ(f.FacadeOrientation(), 90);
  EXPECT_EQ(f.committed().FinOffset, kLargestDimension);
  EXPECT_EQ(f.view().PanX, 20);
  EXPECT_EQ(f.view().PanY, 30);
}

TEST_F(ModelWindows, AnimationRunsToTheEndAndPausesOnlyAfterAStart) {
  TfrmModel1 w;
  w.SetSamples(morning());
  w.show();
  w.PauseRestart();  // at rest: nothing to pause
  EXPECT_FALSE(w.Timer1().isActive());
  w.SpinEdit1()->setValue(5);
  w.Start();
  EXPECT_TRUE(w.Timer1().isActive());
  QTest::qWait(35);
  if (w.Timer1().isActive()) {
    snapshot(w, "model1-animation.png");
    w.PauseRestart();
    EXPECT_FALSE(w.Timer1().isActive());
    w.PauseRestart();
    EXPECT_TRUE(w.Timer1().isActive());
  }
  // A loaded machine runs the timer late: allow it a long while, leaving as soon as it ends.
  for (int i = 0; i < 3000 && w.Timer1().isActive(); ++i) QTest::qWait(10);
  EXPECT_FALSE(w.Timer1().isActive());
  EXPECT_TRUE(w.animation().pastEnd());
  // Samples 1, 6, …, 36 were taken (sample 0 is below 1°): the last one is 06:36.
  EXPECT_EQ(w.Label1()->text(), "06 : 36");
  EXPECT_DOUBLE_EQ(w.animation().Sun.Azimuth, 156);
}

TEST_F(ModelWindows, SingleStepWrapsAndAnEmptyListDoesNothing) {
  TfrmModel2 w;
  w.show();
  w.SingleStep();  // no samples
  EXPECT_EQ(w.Label1()->text(), "00 : 00");
  w.Start();
  w.Timer1Timer();  // the first tick stops it
  EXPECT_FALSE(w.Timer1().isActive());

  w.SetSamples(morning(4));  // 0.5°, 1.5°, 2.5°, 3.5°
  w.SingleStep();
  EXPECT_EQ(w.Label1()->text(), "06 : 01");
  w.SingleStep();
  EXPECT_EQ(w.Label1()->text(), "06 : 03");
  EXPECT_TRUE(w.animation().pastEnd());
  w.SingleStep();  // past the last sample: from the first again
  EXPECT_EQ(w.Label1()->text(), "06 : 01");

  // All samples low: the picture stays, only the index moves.
  TfrmModel1 low;
  low.SetSamples(std::vector<SunSample>(3, SunSample{100, 0.2, 5.5}));
  low.show();
  const QImage before = low.offscreen();
  low.SingleStep();
  EXPECT_EQ(low.animation().SampleIndex, 3);
  EXPECT_EQ(low.offscreen(), before);
  EXPECT_EQ(low.Label1()->text(), "00 : 00");
}

TEST_F(ModelWindows, ResetRestoresValuesViewAndTime) {
  TfrmModel1 w;
  w.SetSamples(morning());
  w.show();
  w.ZoomIn();
  w.CameraUp();
  w.CameraLeft();
  w.SpinEdit2()->setValue(90);
  EXPECT_EQ(w.FacadeOrientation(), 90);
  w.SingleStep();
  EXPECT_NE(w.Label1()->text(), "00 : 00");
  EXPECT_DOUBLE_EQ(w.animation().Sun.HSA, 121 - 90);
  // Drag the overhang tip longer, then reset.
  const auto nodes = LayoutOverhang(w.committed(), w.view()).Nodes;
  w.ViewBoxMouseDown({nodes[1].x, nodes[1].y}, Qt::LeftButton);
  w.ViewBoxMouseMove({nodes[1].x + 20, nodes[1].y}, Qt::LeftButton);
  w.ViewBoxMouseUp({nodes[1].x + 20, nodes[1].y}, Qt::LeftButton);
  EXPECT_GT(w.committed().OverhangLength, 800);
  w.Reset();
  EXPECT_EQ(w.committed(), OverhangDims{});
  EXPECT_EQ(w.view().ViewZoom, 1.0);
  EXPECT_EQ(w.view().PanX, 10);
  EXPECT_EQ(w.view().PanY, 10);
  EXPECT_EQ(w.FacadeOrientation(), 180);
  EXPECT_EQ(w.SpinEdit2()->value(), 180);
  EXPECT_EQ(w.Label1()->text(), "00 : 00");
  EXPECT_EQ(w.animation().SampleIndex, 0);
  EXPECT_EQ(w.animation().Sun.VSA, 0);
}

TEST_F(ModelWindows, DraggingShowsValuesWhileMovingAndCommitsOnRelease) {
  TfrmModel1 w;
  w.show();
  const auto nodes = LayoutOverhang(w.committed(), w.view()).Nodes;
  // Cursor feedback without a button.
  w.ViewBoxMouseMove({nodes[0].x, nodes[0].y}, Qt::NoButton);
  EXPECT_EQ(w.ViewBox()->cursor().shape(), Qt::SizeVerCursor);
  w.ViewBoxMouseMove({nodes[3].x, nodes[3].y}, Qt::NoButton);
  EXPECT_EQ(w.ViewBox()->cursor().shape(), Qt::SizeHorCursor);
  w.ViewBoxMouseMove({1, 1}, Qt::NoButton);
  EXPECT_EQ(w.ViewBox()->cursor().shape(), Qt::ArrowCursor);

  // Sill up by 30 pixels: the display values follow, the committed stay.
  w.ViewBoxMouseDown({nodes[2].x + 2, nodes[2].y - 1}, Qt::LeftButton);
  EXPECT_EQ(w.dragNode(), 2);
  w.ViewBoxMouseMove({nodes[2].x + 2, nodes[2].y - 31}, Qt::LeftButton);
  EXPECT_EQ(w.display().SillHeight, 1275);
  EXPECT_EQ(w.display().WindowHeight, 1125);
  EXPECT_EQ(w.committed().SillHeight, 900);
  // The dragged node is drawn where the new value puts it.
  const auto moved = LayoutOverhang(w.display(), w.view()).Nodes;
  EXPECT_EQ(at(w.offscreen(), moved[2]), rgb(kRed));
  w.ViewBoxMouseUp({nodes[2].x + 2, nodes[2].y - 31}, Qt::LeftButton);
  EXPECT_EQ(w.committed().SillHeight, 1275);
  EXPECT_EQ(w.committed().WindowHeight, 1125);
  EXPECT_EQ(w.dragNode(), -1);
  // A right-button press starts nothing; a press off the nodes drags nothing.
  w.ViewBoxMouseDown({moved[1].x, moved[1].y}, Qt::RightButton);
  EXPECT_EQ(w.dragNode(), -1);
  w.ViewBoxMouseDown({2, 2}, Qt::LeftButton);
  w.ViewBoxMouseMove({50, 50}, Qt::LeftButton);
  w.ViewBoxMouseUp({50, 50}, Qt::LeftButton);
  EXPECT_EQ(w.committed().SillHeight, 1275);
}

TEST_F(ModelWindows, FinDragAndSpinEdits) {
  TfrmModel2 w;
  w.show();
  const auto nodes = LayoutFin(w.committed(), w.view()).Nodes;
  w.ViewBoxMouseDown({nodes[1].x, nodes[1].y}, Qt::LeftButton);
  w.ViewBoxMouseMove({nodes[1].x - 500, nodes[1].y}, Qt::LeftButton);
  EXPECT_EQ(w.display().WallLeft, 400);
  w.ViewBoxMouseUp({nodes[1].x - 500, nodes[1].y}, Qt::LeftButton);
  EXPECT_EQ(w.committed().WallLeft, 400);
  EXPECT_EQ(w.committed().WindowWidth, 2700);
  w.SpinEdit1Change(0);
  EXPECT_EQ(w.StepMinutes(), 1);
  w.SpinEdit1Change(31);  // out of range: ignored
  EXPECT_EQ(w.StepMinutes(), 1);
  w.SpinEdit2()->setValue(270);
  EXPECT_EQ(w.FacadeOrientation(), 270);
}

TEST_F(ModelWindows, PicturesAtKnownDimensions) {
  TfrmModel1 w;
  w.show();
  const ModelView v = w.view();
  const QImage img = w.offscreen();
  ASSERT_EQ(img.size(), QSize(v.width, v.height));
  ASSERT_EQ(w.ViewBox()->size(), img.size());
  const OverhangDims d;
  const OverhangLayout lay = LayoutOverhang(d, v);
  EXPECT_EQ(at(img, {2, v.height / 2}), rgb(kWindowColour));
  for (const Pt& n : lay.Nodes) EXPECT_EQ(at(img, n), rgb(kRed));
  // Inside the floor slab and inside the overhang: the section's fill.
  EXPECT_EQ(at(img, lay.at(-1500, -150)), rgb(kDarkGrey));
  EXPECT_EQ(at(img, lay.at(400, 2400 + 100 + 75)), rgb(kDarkGrey));
  // Before the first step the elevation is all in shade.
  const int xe = v.PanX + lay.map.px(3000) + lay.map.px(75) + 3 * lay.map.px(300);
  const int head = lay.at(0, 2400).y, sill = lay.at(0, 900).y;
  EXPECT_EQ(img.pixelColor(xe + 10, (head + sill) / 2), rgb(kGrey));

  // A sun in front at 40°: glass lit below the shadow line, yellow ray through the opening.
  w.SetSamples({{180, 40, 12.0}});
  w.SingleStep();
  const OverhangResult r = w.result();
  const QImage lit = w.offscreen();
  EXPECT_EQ(lit.pixelColor(xe + 10, r.ShadowY - 2), rgb(kGrey));
  EXPECT_EQ(lit.pixelColor(xe + 10, r.ShadowY + 3), rgb(kGlass));
  ASSERT_FALSE(r.SunRays.empty());
  const RaySeg& ray = r.SunRays[0];
  const Pt mid{(ray.from.x * 3 + ray.to.x) / 4, (ray.from.y * 3 + ray.to.y) / 4};
  bool yellow = false;
  for (int dx = -1; dx <= 1; ++dx)
    for (int dy = -1; dy <= 1; ++dy) yellow = yellow || at(lit, {mid.x + dx, mid.y + dy}) == rgb(kYellow);
  EXPECT_TRUE(yellow);
  snapshot(w, "model1.png");

  TfrmModel2 f;
  f.SetSamples({{210, 30, 9.25}});
  f.show();
  f.SingleStep();
  const FinResult fr = f.result();
  const FinLayout fl = LayoutFin(f.committed(), f.view());
  const QImage fin = f.offscreen();
  const int fx = fl.at(f.committed().WallLeft + f.committed().WindowWidth, 0).x + 2 * fl.map.px(200);
  const int fy = (fl.at(0, 0).y + fl.map.px(200) + fl.Yb) / 2;
  ASSERT_GT(fr.BandFrom, 2);
  EXPECT_EQ(fin.pixelColor(fx + fr.BandFrom / 2, fy), rgb(kGlass));
  EXPECT_EQ(fin.pixelColor(fx + (fr.BandFrom + fr.BandTo) / 2, fy), rgb(kGrey));
  for (const Pt& n : fl.Nodes) EXPECT_EQ(at(fin, n), rgb(kRed));
  EXPECT_EQ(f.Label1()->text(), "09 : 15");
  snapshot(f, "model2.png");
}

TEST_F(ModelWindows, SettingsDialogOkShowsTheModelModally) {
  MessageCapture messages;
  TfrmShadow d;
  d.SetMode(ShadowMode::CreateFinShadow);
  d.setPickerDate(QDate(2024, 3, 20));
  QString title;
  size_t samples = 0;
  QString sunrise;
  QTimer::singleShot(0, [&] {
    auto* m = qobject_cast<TfrmModel2*>(QApplication::activeModalWidget());
    if (!m) return;
    title = m->windowTitle();
    samples = m->animation().samples().size();
    sunrise = m->InfoLabel(3)->text();
    m->SpinEdit1()->setValue(30);
    for (int i = 0; i < 12; ++i) m->SingleStep();  // about noon
    snapshot(*m, "model2-from-dialog.png");
    m->close();
  });
  d.cmdOKClick();
  EXPECT_EQ(title, "Shadow Model for Vertical Fin");
  EXPECT_GT(samples, 600u);
  EXPECT_LT(samples, 800u);
  EXPECT_TRUE(sunrise.endsWith(' '));
  EXPECT_TRUE(messages.messages().empty());

  // Overhang at a polar summer: the sun never sets (information), then the noon of a
  // reference day fails too; the window is released and the error shown.
  DialogInputs in = d.inputs();
  in.Site.LatDegrees = 85;
  in.Site.South = false;
  d.setInputs(in);
  d.setPickerDate(QDate(2024, 6, 21));
  d.SetMode(ShadowMode::CreateOverhangShadow);
  bool shown = false;
  QTimer::singleShot(0, [&] {
    if (auto* m = QApplication::activeModalWidget()) {
      shown = true;
      m->close();
    }
  });
  d.cmdOKClick();
  ASSERT_GE(messages.messages().size(), 2u);
  EXPECT_EQ(messages.messages()[0].text, "The sun never sets");
  EXPECT_EQ(messages.messages()[1].text, "The sun never sets");
  EXPECT_EQ(messages.messages()[1].kind, MsgKind::Error);
  EXPECT_FALSE(shown);
}

TEST_F(ModelWindows, ShortcutsHintsAndHelp) {
  TfrmModel1 w;
  w.SetSamples(morning());
  w.show();
  QApplication::setActiveWindow(&w);
  QTest::keyClick(&w, Qt::Key_F10);  // single step
  EXPECT_EQ(w.Label1()->text(), "06 : 01");
  QTest::keyClick(&w, Qt::Key_I, Qt::ControlModifier);  // zoom in
  EXPECT_DOUBLE_EQ(w.view().ViewZoom, 0.98);
  QTest::keyClick(&w, Qt::Key_U, Qt::ControlModifier);  // camera up
  EXPECT_EQ(w.view().PanY, 5);
  // A button's hint goes to the status bar while the pointer is over it.
  QEvent enter(QEvent::Enter);
  QApplication::sendEvent(w.button(5), &enter);
  EXPECT_EQ(w.StatusBar1()->currentMessage(), "Zoom In");
  // Help opens topic 4 over the modal window.
  w.ShowHelp();
  ASSERT_NE(help::window(), nullptr);
  auto* browser = help::window()->findChild<QTextBrowser*>();
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(browser->source().toString(), "qrc:/help/topic4.html");
  help::window()->hide();
}

TEST_F(ModelWindows, AnAnimationErrorStopsTheTimerWithAMessage) {
  // A fault inside a step (here: the drawing) must not escape the timer.
  struct Faulty : TfrmModel1 {
    void buildScene(Scene& out) const override {
      if (armed) throw std::runtime_error("fault");
      TfrmModel1::buildScene(out);
    }
    void orientationChanged() override {
      if (armed) throw std::runtime_error("fault");
      TfrmModel1::orientationChanged();
    }
    bool armed = false;
  };
  MessageCapture messages;
  Faulty w;
  w.SetSamples(morning());
  w.show();
  w.Start();
  w.armed = true;
  w.Timer1Timer();
  EXPECT_FALSE(w.Timer1().isActive());
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_EQ(messages.messages()[0].text, "An error occurred during the animation");
  EXPECT_EQ(messages.messages()[0].kind, MsgKind::Error);
  // Errors of an orientation change are ignored.
  w.SpinEdit2()->setValue(185);
  EXPECT_EQ(messages.messages().size(), 1u);
}

TEST_F(ModelWindows, ResizingRedrawsAtTheNewSizeAndKeepsThePanelAtTheFoot) {
  TfrmModel2 w;
  w.show();
  w.resize(800, 600);
  QApplication::processEvents();
  EXPECT_EQ(w.offscreen().size(), w.ViewBox()->size());
  EXPECT_EQ(w.view().width, 800 - 148);
  EXPECT_EQ(w.Panel2()->y(), w.Panel1()->height() - w.Panel2()->height() - 4);
  // The plan's back line follows the new height.
  EXPECT_EQ(LayoutFin(w.committed(), w.view()).Yb, w.ViewBox()->height() - 2 * 30);
}
