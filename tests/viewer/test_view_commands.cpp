// The main window's view commands reach the active drawing's viewer.
#include <gtest/gtest.h>

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>

#include "platform/notify.h"
#include "platform/settings.h"
#include "shell/Main.h"
#include "support/qt_app.h"
#include "shell/Childwin.h"
#include "viewer/TDraftel.h"
#include "viewer_fixtures.h"

namespace kelvaro::viewer {
namespace {
namespace fs = std::filesystem;

TEST(ViewCommands, MenuActionsDriveTheActiveViewer) {
  kelvaro::test::ensureQtApp();
  TDraftel::setProgramFolder(KELVARO_BINARY_DIR "/tests/viewer");
  QTemporaryDir settingsDir;
  ASSERT_TRUE(settingsDir.isValid());
  setSettingsRoot(settingsDir.path());
  const fs::path dir = test::scratchFolder("viewcommands");
  const QString cross = QString::fromStdString((dir / "cross.dxf").string());
  test::save(test::crossDrawing(), cross.toStdString());
  {
    TMainForm main(QString::fromStdString(dir.string()));
    main.resize(800, 600);
    installDrawingWindows(main, {});
    // No drawing window: the commands do nothing.
    main.action("vFront")->trigger();
    TDraftel* v = OpenDrawingWindow(main, cross);
    ASSERT_NE(v, nullptr);
    main.mdiArea()->setActiveSubWindow(main.mdiArea()->subWindowList().first());
    ASSERT_EQ(activeViewer(main), v);
    v->grab();
    main.action("ZoomRectangle")->trigger();
    EXPECT_EQ(v->session().pointerMode, PointerMode::ZoomRectangle);
    EXPECT_EQ(v->cursorNumber(), kCursorMagnifier);
    main.action("Pan")->trigger();
    EXPECT_EQ(v->session().pointerMode, PointerMode::Pan);
    EXPECT_EQ(v->cursorNumber(), kCursorHand);
    main.action("vFront")->trigger();
    EXPECT_LT(v->session().view().direction.y, -0.99);
    EXPECT_EQ(v->session().pointerMode, PointerMode::Idle);
    EXPECT_EQ(v->cursorNumber(), kCursorDefault);
    main.action("vTop")->trigger();
    EXPECT_DOUBLE_EQ(v->session().view().direction.z, 1);
    const double twist = v->session().view().twist;
    main.action("vRotate90Left")->trigger();
    EXPECT_NEAR(v->session().view().twist, twist + std::acos(0.0), 1e-12);
    main.action("vRotate90Right")->trigger();
    EXPECT_NEAR(v->session().view().twist, twist, 1e-12);
    int asked = 0;
    v->chooseNamedView = [&](const QStringList& names) {
      ++asked;
      EXPECT_EQ(names.value(0), "INITIAL");
      return 0;
    };
    main.action("vNamedViews")->trigger();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(v->session().pointerMode, PointerMode::ZoomedExtents);
    EXPECT_EQ(v->session().historyCount(), 6);
  }
  setSettingsRoot({});
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kelvaro::viewer
