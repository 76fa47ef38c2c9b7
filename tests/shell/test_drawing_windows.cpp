// Drawing windows in the main window: command-line drawings at the first activation, status
// panels fed by the viewer, drawing commands reaching the active viewer, the diagram window.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>

#include "platform/notify.h"
#include "platform/settings.h"
#include "shadow/Profile.h"
#include "shadow/shadow.h"
#include "shell/Main.h"
#include "support/qt_app.h"
#include "shell/Childwin.h"
#include "viewer/TDraftel.h"
#include "viewer/viewer_fixtures.h"

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
  TDraftel* v = OpenDrawingWindow(main, cross);
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


QMdiSubWindow* windowOf(TMainForm& main, TDraftel* v) {
  for (QMdiSubWindow* w : main.mdiArea()->subWindowList())
    if (auto* c = qobject_cast<TMDIChild*>(w->widget()); c && c->viewer() == v) return w;
  return nullptr;
}

ShadowProfile sampleProfile() {
  SiteTime site;
  ProfileInputs in;
  ShadowProfile p;
  SiteInputs si;
  si.Day = 21;
  si.Month = 6;
  si.Year = 2024;
  ReadSiteInputs(si, site);
  EXPECT_TRUE(ComputeProfile(site, in, p));
  return p;
}

TEST_F(Windows, HistoryShowsNineEntriesAndFollowsOpens) {
  TMainForm main(QString::fromStdString(dir.string()));
  installDrawingWindows(main, {});
  for (int i = 9; i >= 0; --i) main.PromoteInHistory(QString("/d/file%1.dxf").arg(i));
  main.RebuildHistoryMenu();
  QStringList entries;
  int separators = 0;
  bool afterPrint = false;
  for (QAction* a : main.fileMenu()->actions()) {
    if (a == main.action("Print1")) afterPrint = true;
    if (afterPrint && a->isSeparator()) ++separators;
    if (a->text().startsWith('&') && a->text().at(1).isDigit()) entries << a->text();
  }
  ASSERT_EQ(entries.size(), 9);
  EXPECT_EQ(entries.first(), "&1 /d/file0.dxf");
  EXPECT_EQ(entries.last(), "&9 /d/file8.dxf");
  EXPECT_EQ(separators, 2) << "the fixed separator and the one after the entries";
  EXPECT_EQ(main.settings().history.size(), 9);

  // Opening moves the name to the top; the same caption again brings its window forward.
  TDraftel* v = OpenDrawingWindow(main, cross);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(main.settings().history.first(), cross);
  EXPECT_EQ(main.fileMenu()->actions().value(main.fileMenu()->actions().indexOf(main.action("Print1")) + 2)->text(),
            "&1 " + cross);
  const QString other = QString::fromStdString((dir / "other.dxf").string());
  test::save(test::crossDrawing(), other.toStdString());
  TDraftel* w = OpenDrawingWindow(main, other);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(OpenDrawingWindow(main, cross), v) << "nothing is loaded again";
  EXPECT_EQ(main.mdiArea()->subWindowList().size(), 2);
  EXPECT_EQ(main.mdiArea()->activeSubWindow(), windowOf(main, v));

  // A history entry opens its drawing without the wait cursor, a failed open keeps the history.
  const QStringList before = main.settings().history;
  MessageCapture capture;
  EXPECT_EQ(OpenDrawingWindow(main, QString::fromStdString((dir / "gone.dxf").string())), nullptr);
  EXPECT_EQ(main.settings().history, before);
  EXPECT_EQ(main.mdiArea()->subWindowList().size(), 2);
}

TEST_F(Windows, ClosingAsksAndPutsTheNameOnTopOfTheHistory) {
  TMainForm main(QString::fromStdString(dir.string()));
  installDrawingWindows(main, {});
  ASSERT_NE(main.buildShadowDrawing, nullptr);
  QMdiSubWindow* diagram = OpenDiagramWindow(main, "Shadow1.dwg", true, sampleProfile());
  auto* child = qobject_cast<TMDIChild*>(diagram->widget());
  ASSERT_NE(child, nullptr);
  EXPECT_TRUE(child->viewer()->neverSaved());
  EXPECT_EQ(child->viewer()->currentFileName(), "Shadow1.dwg");
  EXPECT_TRUE(OpenDrawingWindow(main, cross));
  ASSERT_EQ(main.settings().history.first(), cross);
  {
    MessageCapture cancel(MsgAnswer::Cancel);
    EXPECT_FALSE(diagram->close());
    ASSERT_EQ(cancel.messages().size(), 1u);
    EXPECT_EQ(cancel.messages()[0].text, "Do you want to save Shadow1.dwg?");
    EXPECT_EQ(cancel.messages()[0].buttons, MsgButtons::YesNoCancel);
  }
  {
    // Yes whose save dialog is cancelled keeps the window too.
    MessageCapture yes(MsgAnswer::Yes);
    child->viewer()->chooseSaveFile = [](const QString&, const QString&, const QString&, int&) { return QString(); };
    EXPECT_FALSE(diagram->close());
  }
  EXPECT_EQ(main.settings().history.first(), cross);
  {
    MessageCapture no(MsgAnswer::No);
    EXPECT_TRUE(diagram->close());
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(main.settings().history.first(), "Shadow1.dwg") << "the caption of the unsaved diagram";
  const auto menu = main.fileMenu()->actions();
  EXPECT_EQ(menu.value(menu.indexOf(main.action("Print1")) + 2)->text(), "&1 Shadow1.dwg") << "the menu is rebuilt";

  // A modified drawing asks its own question.
  QMdiSubWindow* drawing = findChildByCaption(main, cross);
  ASSERT_NE(drawing, nullptr);
  qobject_cast<TMDIChild*>(drawing->widget())->viewer()->session().modified = true;
  MessageCapture no(MsgAnswer::No);
  EXPECT_TRUE(drawing->close());
  ASSERT_EQ(no.messages().size(), 1u);
  EXPECT_EQ(no.messages()[0].text, ("Drawing " + cross + " has been modified. Do you want to save it?").toStdString());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(main.settings().history.first(), cross);
  EXPECT_EQ(main.commandState(), CommandState::None);
}

TEST_F(Windows, DiagramWindowShowsTheWholeDiagram) {
  TMainForm main(QString::fromStdString(dir.string()));
  main.resize(900, 700);
  installDrawingWindows(main, {});
  for (const bool horizontal : {true, false}) {
    const QString caption = horizontal ? "Shadow1.dwg" : "Shadow2.dwg";
    QMdiSubWindow* sub = OpenDiagramWindow(main, caption, horizontal, sampleProfile());
    auto* v = qobject_cast<TMDIChild*>(sub->widget())->viewer();
    EXPECT_EQ(sub->windowTitle(), caption);
    EXPECT_EQ(main.commandState(), CommandState::Drawing);
    const QImage shot = v->grab().toImage();
    if (const char* snap = std::getenv("KELVARO_SNAPSHOT_DIR")) shot.save(QString(snap) + "/" + caption + ".png");
    // The zoom to extents leaves the drawing inside the panel: the border rows are background.
    int inked = 0, borderInk = 0;
    const QRgb back = shot.pixel(0, 0);
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x)
        if (shot.pixel(x, y) != back) {
          ++inked;
          if (x == 0 || y == 0 || x == shot.width() - 1 || y == shot.height() - 1) ++borderInk;
        }
    EXPECT_GT(inked, 500) << caption.toStdString();
    EXPECT_EQ(borderInk, 0);
  }
}

TEST_F(Windows, ArrowKeysStepThroughTheWindows) {
  TMainForm main(QString::fromStdString(dir.string()));
  installDrawingWindows(main, {});
  TDraftel* a = OpenDrawingWindow(main, cross);
  const QString other = QString::fromStdString((dir / "other.dxf").string());
  test::save(test::crossDrawing(), other.toStdString());
  TDraftel* b = OpenDrawingWindow(main, other);
  ASSERT_TRUE(a && b);
  main.mdiArea()->setActiveSubWindow(windowOf(main, b));
  QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
  QCoreApplication::sendEvent(windowOf(main, b)->widget(), &right);
  EXPECT_EQ(main.mdiArea()->activeSubWindow(), windowOf(main, a));
  QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
  QCoreApplication::sendEvent(windowOf(main, a)->widget(), &left);
  EXPECT_EQ(main.mdiArea()->activeSubWindow(), windowOf(main, b));
}

TEST_F(Windows, CommandLineNamesAreExpanded) {
  EXPECT_EQ(CommandLineDrawingName("   ", false), QString());
  EXPECT_EQ(CommandLineDrawingName("  \\\\Server\\Plans\\A.DWG ", true), "\\\\server\\plans\\a.dwg");
  // Through a symbolic link (the short name of this platform) the drawing opens under its real name.
  const fs::path link = dir / "short";
  fs::create_directory_symlink(dir, link);
  const QString viaLink = QString::fromStdString((link / "cross.dxf").string());
  EXPECT_EQ(CommandLineDrawingName(" " + viaLink + " ", false), QString::fromStdString(fs::canonical(cross.toStdString()).string()));
  const QString missing = QString::fromStdString((dir / "sub" / ".." / "none.dxf").string());
  EXPECT_EQ(CommandLineDrawingName(missing, false), QString::fromStdString((dir / "none.dxf").string()));
  // A name typed differently from an open window's caption still finds that window afterwards.
  TMainForm main(QString::fromStdString(dir.string()));
  installDrawingWindows(main, {viaLink});
  TDraftel* v = OpenDrawingWindow(main, CommandLineDrawingName(cross, false));
  ASSERT_NE(v, nullptr);
  QEvent activate(QEvent::WindowActivate);
  QCoreApplication::sendEvent(&main, &activate);
  EXPECT_EQ(main.mdiArea()->subWindowList().size(), 1) << "the linked name is the open drawing";
}

}  // namespace
}  // namespace kelvaro::viewer
