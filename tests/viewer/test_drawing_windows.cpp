// Drawing windows in the main window: command-line drawings at the first activation, status
// panels fed by the viewer, drawing commands reaching the active viewer, the diagram window.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QTemporaryDir>

#include "platform/notify.h"
#include "platform/settings.h"
#include "shell/Main.h"
#include "support/qt_app.h"
#include "viewer/MDIChild.h"
#include "viewer/TDraftel.h"
#include "viewer_fixtures.h"

namespace kelvaro::viewer {
namespace {
namespace fs = std::filesystem;

class Windows : public testing::Test {
 protected:
  void SetUp() override {
    kelvaro::test::ensureQtApp();
    TDraftel::setProgramFolder(KELVARO_BINARY_DIR "/tests/viewer");
    ASSERT_TRUE(settingsDir.isValid());
    setSettingsRoot(settingsDir.path());
    dir = test::scratchFolder("windows");
    cross = QString::fromStdString((dir / "cross.dxf").string());
    test::save(test::crossDrawing(), cross.toStdString());
  }
  void TearDown() override {
    setSettingsRoot({});
    fs::remove_all(dir);
  }
  QTemporaryDir settingsDir;
  fs::path dir;
  QString cross;
};

TEST_F(Windows, CommandLineDrawingsOpenAtFirstActivationAndFeedTheStatusPanels) {
  TMainForm main(QString::fromStdString(dir.string()));
  main.resize(800, 600);
  const QString missing = QString::fromStdString((dir / "missing.dxf").string());
  installDrawingWindows(main, {cross, missing});
  EXPECT_TRUE(main.mdiArea()->subWindowList().isEmpty());
  MessageCapture capture;
  QEvent activate(QEvent::WindowActivate);
  QCoreApplication::sendEvent(&main, &activate);
  ASSERT_EQ(main.mdiArea()->subWindowList().size(), 1) << "the missing file opens no window";
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0].text, ("Could not find file " + missing).toStdString());
  QCoreApplication::sendEvent(&main, &activate);
  EXPECT_EQ(main.mdiArea()->subWindowList().size(), 1) << "only the first activation opens them";
  QMdiSubWindow* sub = main.mdiArea()->subWindowList().first();
  main.mdiArea()->setActiveSubWindow(sub);
  EXPECT_EQ(sub->windowTitle(), cross);
  EXPECT_EQ(main.commandState(), CommandState::Drawing);

  TDraftel* v = activeViewer(main);
  ASSERT_NE(v, nullptr);
  v->grab();
  EXPECT_TRUE(main.statusPanel(3)->text().endsWith(" secs")) << main.statusPanel(3)->text().toStdString();
  const int decimals = static_cast<int>(main.statusPanel(3)->text().section(' ', 0, 0).section('.', 1).size());
  EXPECT_EQ(decimals, 3);
  const QPointF mid(v->width() / 2.0, v->height() / 2.0);
  QMouseEvent move(QEvent::MouseMove, mid, v->mapToGlobal(mid), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(v, &move);
  EXPECT_EQ(main.statusPanel(1)->text(), QString::number(v->cursorX(), 'f', 3));
  EXPECT_EQ(main.statusPanel(2)->text(), QString::number(v->cursorY(), 'f', 3));
  if (const char* shots = std::getenv("KELVARO_SNAPSHOT_DIR")) main.grab().save(QDir(shots).filePath("drawing_window.png"));
}

TEST_F(Windows, MainWindowCommandsActOnTheActiveViewer) {
  TMainForm main(QString::fromStdString(dir.string()));
  installDrawingWindows(main, {});
  TDraftel* v = openDrawingWindow(main, cross);
  ASSERT_NE(v, nullptr);
  main.mdiArea()->setActiveSubWindow(main.mdiArea()->subWindowList().first());
  ASSERT_EQ(activeViewer(main), v);

  main.action("vQuickText")->trigger();
  EXPECT_TRUE(v->quickText());
  main.action("vQuickText")->trigger();
  EXPECT_FALSE(v->quickText());

  int infos = 0;
  v->showInfo = [&](const DrawingInfoTexts& t) {
    ++infos;
    EXPECT_EQ(t.name, "cross.dxf");
  };
  main.action("opDrawingInfo")->trigger();
  EXPECT_EQ(infos, 1);

  QStringList offered;
  v->chooseLayout = [&](const QStringList& entries) {
    offered = entries;
    return -1;
  };
  main.action("vLayouts")->trigger();
  EXPECT_EQ(offered, QStringList{"Model Space"});

  v->session().binaryDxf = true;
  const QString saved = QString::fromStdString((dir / "saved.dxf").string());
  v->chooseSaveFile = [&](const QString&, const QString&, const QString&, int& filter) {
    filter = 9;
    return saved;
  };
  main.action("FileSaveAs1")->trigger();
  EXPECT_TRUE(fs::exists(dir / "saved.dxf"));
  EXPECT_FALSE(v->session().binaryDxf) << "Save As from the main window writes ASCII DXF";
  EXPECT_EQ(main.mdiArea()->activeSubWindow()->windowTitle(), cross) << "a DXF save keeps the title";
  EXPECT_EQ(main.settings().history.value(0), cross) << "the saved drawing moves to the top of the history";

  v->grab();
  const int draws = v->drawCount();
  main.action("vRefresh")->trigger();
  v->grab();
  EXPECT_EQ(v->drawCount(), draws + 1);
}

TEST_F(Windows, DiagramWindowKeepsItsPlaceholder) {
  TMainForm main(QString::fromStdString(dir.string()));
  installDrawingWindows(main, {});
  ASSERT_EQ(main.buildShadowDrawing, nullptr) << "diagrams are not built by the drawing windows";
  main.action("vRefresh")->trigger();  // no drawing window: nothing happens
  EXPECT_TRUE(main.mdiArea()->subWindowList().isEmpty());
}

}  // namespace
}  // namespace kelvaro::viewer
