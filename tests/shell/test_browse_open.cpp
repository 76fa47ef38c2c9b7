// The open dialog and the browse window: what CAD Browse collects, the two ways the dialog
// ends, the tile layout, thumbnails and opening from a tile.
#include <gtest/gtest.h>

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QDir>
#include <QLabel>

#include <filesystem>
#include <fstream>

#include "platform/notify.h"
#include "platform/settings.h"
#include "shell/ChildWin3.h"
#include "shell/Childwin.h"
#include "shell/Main.h"
#include "shell/fexplore.h"
#include "support/qt_app.h"
#include "viewer/TDraftel.h"
#include "viewer/viewer_fixtures.h"

namespace kelvaro {
namespace {
namespace fs = std::filesystem;

class Browse : public testing::Test {
 protected:
  void SetUp() override {
    test::ensureQtApp();
    viewer::TDraftel::setProgramFolder(KELVARO_BINARY_DIR "/tests/viewer");
    ASSERT_TRUE(settingsDir.isValid());
    setSettingsRoot(settingsDir.path());
    dir = viewer::test::scratchFolder("browse");
    viewer::test::save(viewer::test::crossDrawing(), dir / "b-cross.dxf");
    viewer::test::save(viewer::test::crossDrawing(), dir / "A-plan.DXF");
    std::ofstream(dir / "broken.dwg") << "AC1015 not really a drawing";
    std::ofstream(dir / "notes.txt") << "text";
    fs::create_directory(dir / "plans.dwg");
    folder = QString::fromStdString(dir.string()) + "/";
  }
  void TearDown() override {
    setSettingsRoot({});
    fs::remove_all(dir);
  }
  QString path(const char* name) const { return folder + name; }
  QTemporaryDir settingsDir;
  fs::path dir;
  QString folder;
};

TEST_F(Browse, CadBrowseCollectsDrawingNamesOnly) {
  const QStringList both{path("A-plan.DXF"), path("b-cross.dxf"), path("broken.dwg"), path("plans.dwg")};
  EXPECT_EQ(CollectBrowsePaths(folder, 0), both) << "sorted without regard to case, folders by name too";
  EXPECT_EQ(CollectBrowsePaths(folder, 3), both) << "All files still collects only drawings";
  EXPECT_EQ(CollectBrowsePaths(folder, 1), (QStringList{path("broken.dwg"), path("plans.dwg")}));
  EXPECT_EQ(CollectBrowsePaths(folder, 2), (QStringList{path("A-plan.DXF"), path("b-cross.dxf")}));
  EXPECT_EQ(CollectBrowsePaths(folder.chopped(1), 2).size(), 2) << "a folder without its separator";
  EXPECT_TRUE(CollectBrowsePaths(folder + "missing/", 0).isEmpty());
  EXPECT_EQ(exploreTypeNames().size(), kExploreTypeCount);
  EXPECT_EQ(exploreTypeMask(0), "*.dwg;*.dxf");
  EXPECT_EQ(exploreTypeMask(3), "*.*");
  EXPECT_TRUE(exploreTypeMask(4).isEmpty());
}

TEST_F(Browse, DialogEndsWithOpenOrBrowseAndKeepsItsFolder) {
  TfrmExplore dialog(folder);
  EXPECT_EQ(dialog.windowTitle(), "Open Drawing / Browse Directory");
  EXPECT_EQ(dialog.folderPath(), folder);
  EXPECT_EQ(dialog.typeIndex(), 0);
  dialog.show();
  // The file list fills in the background.
  for (int i = 0; i < 200 && dialog.selectedEntries().isEmpty(); ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    dialog.selectEntries({"b-cross.dxf", "A-plan.DXF"});
  }
  ASSERT_EQ(dialog.selectedEntries().size(), 2);
  dialog.openClicked();
  EXPECT_EQ(dialog.lastResult(), TfrmExplore::Result::Open);
  EXPECT_FALSE(dialog.isVisible());

  dialog.show();
  dialog.selectEntries({"plans.dwg"});
  QCoreApplication::processEvents();
  if (!dialog.selectedEntries().isEmpty()) {
    dialog.entryActivated("plans.dwg");
    EXPECT_TRUE(dialog.isVisible()) << "a folder is entered, not opened";
    EXPECT_EQ(dialog.folderPath(), folder + "plans.dwg/");
  }
  dialog.setFolder(folder + "plans.dwg");
  {
    MessageCapture capture;
    dialog.browseClicked();
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_EQ(capture.messages()[0].text, "No files were found for CAD Browse");
    EXPECT_TRUE(dialog.isVisible()) << "it stays open";
  }
  dialog.setFolder(folder);
  dialog.setTypeIndex(2);
  dialog.browseClicked();
  EXPECT_EQ(dialog.lastResult(), TfrmExplore::Result::Browse);
  EXPECT_EQ(dialog.collectedPaths(), (QStringList{path("A-plan.DXF"), path("b-cross.dxf")}));
  EXPECT_EQ(dialog.folderPath(), folder) << "shown again on the same folder";

  TMainForm main(folder);
  main.settings().openDir = folder;
  TfrmExplore& first = TfrmExplore::instance(main);
  EXPECT_EQ(&TfrmExplore::instance(main), &first) << "one dialog for the run";
}

TEST_F(Browse, TilesAreLaidOutInRows) {
  const auto a = BrowseTileOrigins(4, 600);
  ASSERT_EQ(a.size(), 4u);
  EXPECT_EQ(a[0], QPoint(10, 10));
  EXPECT_EQ(a[1], QPoint(200, 10));
  EXPECT_EQ(a[2], QPoint(390, 10)) << "390 + 180 fits in 600";
  EXPECT_EQ(a[3], QPoint(10, 120)) << "580 + 180 does not";
  const auto narrow = BrowseTileOrigins(2, 150);
  EXPECT_EQ(narrow[1], QPoint(10, 120)) << "a window narrower than two tiles stacks them";
  EXPECT_TRUE(BrowseTileOrigins(0, 600).empty());
}

TEST_F(Browse, BrowseWindowShowsThumbnailsAndOpensOnClick) {
  TMainForm main(folder);
  main.resize(900, 700);
  main.show();
  QCoreApplication::processEvents();
  installDrawingWindows(main, {});
  ASSERT_GE(main.mdiArea()->viewport()->width(), 390 + kTileWidth) << "room for three tiles in a row";
  const QStringList paths = CollectBrowsePaths(folder, 0);
  QMdiSubWindow* sub = ShowBrowseWindow(main, folder, paths);
  EXPECT_EQ(sub->windowTitle(), "Browse Directory - " + folder);
  EXPECT_EQ(main.commandState(), CommandState::Browse);
  EXPECT_TRUE(main.toolkitReady());
  EXPECT_EQ(main.settings().openDir, folder);
  auto* browse = qobject_cast<TMDIChild3*>(sub->widget());
  ASSERT_NE(browse, nullptr);
  ASSERT_EQ(browse->tileCount(), 4);
  EXPECT_EQ(browse->tile(0)->size(), QSize(kTileWidth, kTileHeight));
  EXPECT_EQ(browse->tile(1)->pos(), QPoint(200, 10));
  if (const char* shots = std::getenv("KELVARO_SNAPSHOT_DIR")) main.grab().save(QDir(shots).filePath("browse_window.png"));

  const QString scratch = QDir::temp().filePath("kelvaro-test-thumb.bmp");
  QString source;
  const QImage drawn = DrawingThumbnail(path("b-cross.dxf"), scratch, &source);
  EXPECT_EQ(source, "drawn") << "no stored preview: the drawing itself is drawn";
  EXPECT_EQ(drawn.size(), QSize(kTileWidth, kTileHeight));
  DrawingThumbnail(path("plans.dwg"), scratch, &source);
  EXPECT_EQ(source, "none") << "a folder gets the NOIMAGE picture";
  MessageCapture quiet;
  DrawingThumbnail(path("broken.dwg"), scratch, &source);
  EXPECT_EQ(source, "none");
  EXPECT_TRUE(quiet.messages().empty()) << "browsing asks nothing";

  // Clicking the name label of the second tile opens that drawing.
  QLabel* label = nullptr;
  for (QLabel* l : browse->tile(1)->findChildren<QLabel*>())
    if (l->text() == "b-cross.dxf") label = l;
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->toolTip(), "b-cross.dxf");
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(3, 3), label->mapToGlobal(QPointF(3, 3)), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(label, &release);
  ASSERT_EQ(main.mdiArea()->subWindowList().size(), 2);
  EXPECT_NE(findChildByCaption(main, path("b-cross.dxf")), nullptr);
  EXPECT_EQ(main.commandState(), CommandState::Drawing);
}

}  // namespace
}  // namespace kelvaro
