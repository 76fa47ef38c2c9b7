#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include "platform/notify.h"
#include "platform/settings.h"
#include "shadow/shadow.h"
#include "shell/Main.h"
#include "support/qt_app.h"

using namespace kelvaro;

namespace {

// Every command the command state governs, and those a browse window keeps.
const QStringList kGoverned = {"WindowCascade1", "WindowTileHorizontal1", "WindowTileVertical1", "FileSaveAs1",
                               "Print1", "FileClose1", "WindowPrevious", "WindowNext", "ZoomRectangle", "ZoomIn",
                               "ZoomOut", "ZoomExtents", "ZoomPrevious", "Pan", "vRefresh", "LayerProperties",
                               "opDrawingInfo", "vQuickText", "vLayouts", "vNamedViews", "EditCopy1"};
const QStringList kBrowse = {"WindowCascade1", "WindowTileHorizontal1", "WindowTileVertical1",
                             "FileClose1", "WindowPrevious", "WindowNext"};

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ensureQtApp();
    ASSERT_TRUE(dir_.isValid());
    setSettingsRoot(dir_.path());
  }
  void TearDown() override { setSettingsRoot({}); }

  // The File menu's entries as text, separators as "-".
  static QStringList fileEntries(TMainForm& f) {
    QStringList out;
    for (QAction* a : f.fileMenu()->actions()) out << (a->isSeparator() ? QString("-") : a->text());
    return out;
  }
  static QMenu* submenu(TMainForm& f, const QString& title) {
    for (QMenu* m : f.findChildren<QMenu*>())
      if (m->title() == title) return m;
    return nullptr;
  }
  QTemporaryDir dir_;
};

TEST_F(MainWindow, FirstRunUsesTheBuiltInDefaults) {
  TMainForm f("/opt/kelvaro");
  EXPECT_EQ(f.windowTitle(), "Sardon Kelvaro");
  EXPECT_EQ(f.size(), QSize(640, 475));
  const MainSettings& s = f.settings();
  EXPECT_EQ(s.backColor, 0xFFFFFFu);
  EXPECT_EQ(s.lineColor, 0u);
  EXPECT_EQ(s.curveQuality, 10);
  EXPECT_FALSE(s.allBlack || s.grayscale || s.quickText);
  EXPECT_EQ(s.openDir, "/opt/kelvaro");
  EXPECT_EQ(s.supportFolders, (QStringList{"C:\\Acad", "C:\\Program Files\\Acad", "C:\\AutoCAD LT 97",
                                           "C:\\Program Files\\AutoCAD LT 97", "C:\\Acad2000",
                                           "C:\\Program Files\\Acad2000"}));
  for (int band = 0; band < 3; ++band) EXPECT_TRUE(f.toolBar(band)->isVisibleTo(&f));
  EXPECT_TRUE(f.statusPanel(0)->isVisibleTo(&f));
  // Empty history: no entries and no separator after them.
  EXPECT_EQ(fileEntries(f), (QStringList{"&Open CAD File...", "Save &As...", "-", "&Print...", "-",
                                         "&Close Current Window", "E&xit"}));
  EXPECT_EQ(f.commandState(), CommandState::None);
  EXPECT_EQ(f.toolBar(1)->windowTitle(), "Standard Toolbar");
  const int widths[4] = {360, 100, 100, 50};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(f.statusPanel(i)->width(), widths[i]);
}

TEST_F(MainWindow, ShutDownWritesAndTheNextRunReadsBack) {
  {
    TMainForm f("/opt/kelvaro");
    MainSettings& s = f.settings();
    s.openDir = "/home/me/drawings";
    s.backColor = 0x00112233;
    s.lineColor = 0xFFFFFF;
    s.grayscale = true;
    s.curveQuality = 42;
    s.visNAV = false;
    s.supportFolders = {"/fonts", "/hatches"};
    for (int i = 0; i < 12; ++i) f.PromoteInHistory(QString("/d/%1.dwg").arg(i));
    f.RebuildHistoryMenu();
  }
  {
    RegKey cad = RegKey::open("Software\\Dravenco\\Kelvaro\\CAD");
    ASSERT_TRUE(cad.isOpen());
    EXPECT_TRUE(cad.valueNames().contains("cadGrayscale"));
    EXPECT_EQ(cad.readDword("cadBackColor"), 0x00112233u);
    RegKey root = RegKey::open("Software\\Dravenco\\Kelvaro");
    EXPECT_EQ(root.readDword("winState"), 0u);
    EXPECT_EQ(root.readBool("visNAV"), false);
    RegKey sup = RegKey::open("Software\\Dravenco\\Kelvaro\\Support");
    EXPECT_EQ(sup.readDword("Supsize"), 2u);
    EXPECT_EQ(sup.readString("Path1"), QString("/hatches"));
    // Nine entries at most, most recent first.
    RegKey hist = RegKey::open("Software\\Dravenco\\Kelvaro\\History");
    EXPECT_EQ(hist.readString("File0"), QString("/d/11.dwg"));
    EXPECT_EQ(hist.readString("File8"), QString("/d/3.dwg"));
    EXPECT_FALSE(hist.hasValue("File9"));
  }
  TMainForm f("/opt/kelvaro");
  const MainSettings& s = f.settings();
  EXPECT_EQ(s.openDir, "/home/me/drawings");
  EXPECT_EQ(s.backColor, 0x00112233u);
  EXPECT_EQ(s.lineColor, 0xFFFFFFu);
  EXPECT_TRUE(s.grayscale);
  EXPECT_EQ(s.curveQuality, 42);
  EXPECT_EQ(s.supportFolders, (QStringList{"/fonts", "/hatches"}));
  EXPECT_FALSE(f.toolBar(2)->isVisibleTo(&f));
  EXPECT_TRUE(f.toolBar(1)->isVisibleTo(&f));
  const QStringList entries = fileEntries(f);
  EXPECT_EQ(entries.mid(5, 10), (QStringList{"&1 /d/11.dwg", "&2 /d/10.dwg", "&3 /d/9.dwg", "&4 /d/8.dwg",
                                             "&5 /d/7.dwg", "&6 /d/6.dwg", "&7 /d/5.dwg", "&8 /d/4.dwg",
                                             "&9 /d/3.dwg", "-"}));
  EXPECT_EQ(entries.last(), "E&xit");
}

TEST_F(MainWindow, StoredStateIsSanitisedAndMistypedValuesEndTheirKey) {
  {
    RegKey root = RegKey::create("Software\\Dravenco\\Kelvaro");
    root.writeInt("winState", 1);  // minimised: the program never starts so
    root.writeBool("visCAD", false);
    RegKey cad = RegKey::create("Software\\Dravenco\\Kelvaro\\CAD");
    cad.writeString("cadOpenDir", "");
    cad.writeDword("cadBackColor", 0x000000FF);
    cad.writeString("cadLineColor", "white");  // mistyped: it and everything after keep defaults
    cad.writeBool("cadAllBlack", true);
    cad.writeDword("cadCurveQual", 30);
    RegKey sup = RegKey::create("Software\\Dravenco\\Kelvaro\\Support");
    sup.writeInt("Supsize", 0);  // every folder removed: the defaults come back
  }
  TMainForm f("/prog");
  const MainSettings& s = f.settings();
  EXPECT_EQ(s.winState, int(WinState::Normal));
  EXPECT_FALSE(f.isMinimized());
  EXPECT_FALSE(s.visCAD);
  EXPECT_EQ(s.openDir, "/prog");
  EXPECT_EQ(s.backColor, 0x000000FFu);
  EXPECT_EQ(s.lineColor, 0u);
  EXPECT_FALSE(s.allBlack);
  EXPECT_EQ(s.curveQuality, 10);
  EXPECT_EQ(s.supportFolders.size(), 6);
}

TEST_F(MainWindow, MaximisedStateAndBarTogglesSurviveARestart) {
  {
    RegKey root = RegKey::create("Software\\Dravenco\\Kelvaro");
    root.writeInt("winState", 2);
  }
  {
    TMainForm f("/prog");
    EXPECT_TRUE(f.windowState() & Qt::WindowMaximized);
    // The menus set their check marks from the flags when they open.
    QMenu* toolbars = submenu(f, "&Toolbars");
    emit toolbars->aboutToShow();
    EXPECT_TRUE(f.action("mnuToolBarCAD")->isChecked());
    f.action("mnuToolBarCAD")->trigger();
    f.action("mnuToolBarShadow")->trigger();
    f.action("mnuStatus")->trigger();
    emit toolbars->aboutToShow();
    EXPECT_FALSE(f.action("mnuToolBarCAD")->isChecked());
    EXPECT_FALSE(f.toolBar(1)->isVisibleTo(&f));
    EXPECT_FALSE(f.toolBar(0)->isVisibleTo(&f));
    EXPECT_FALSE(f.statusPanel(0)->isVisibleTo(&f));
  }
  RegKey root = RegKey::open("Software\\Dravenco\\Kelvaro");
  EXPECT_EQ(root.readDword("winState"), 2u);
  EXPECT_EQ(root.readBool("visCAD"), false);
  EXPECT_EQ(root.readBool("visSTAT"), false);
  EXPECT_FALSE(root.hasValue("visShadow"));
  // The Shadow band is not stored: it is back at the next start, the others stay hidden.
  TMainForm f("/prog");
  EXPECT_TRUE(f.toolBar(0)->isVisibleTo(&f));
  EXPECT_FALSE(f.toolBar(1)->isVisibleTo(&f));
  EXPECT_FALSE(f.statusPanel(0)->isVisibleTo(&f));
}

TEST_F(MainWindow, CommandStateFollowsTheChildWindows) {
  TMainForm f("/prog");
  f.show();
  auto enabled = [&](const QString& name) { return f.action(name)->isEnabled(); };
  for (const QString& n : kGoverned) EXPECT_FALSE(enabled(n)) << n.toStdString();
  EXPECT_FALSE(submenu(f, "&Zoom")->menuAction()->isEnabled());
  EXPECT_TRUE(enabled("FileOpen1"));
  EXPECT_TRUE(enabled("ShadowHorizontal"));

  QMdiSubWindow* d1 = f.addChild(new QLabel("one"), ChildKind::Drawing, "/d/one.dwg");
  EXPECT_EQ(f.commandState(), CommandState::Drawing);
  for (const QString& n : kGoverned) EXPECT_TRUE(enabled(n)) << n.toStdString();
  EXPECT_TRUE(submenu(f, "R&otate")->menuAction()->isEnabled());
  f.UM_CURSORMOVED(12.34567, -0.5);
  f.UM_REDRAWTIMED(0.25);
  EXPECT_EQ(f.statusPanel(1)->text(), "12.346");
  EXPECT_EQ(f.statusPanel(2)->text(), "-0.500");
  EXPECT_EQ(f.statusPanel(3)->text(), "0.250 secs");

  QMdiSubWindow* browse = f.addChild(new QLabel("tiles"), ChildKind::Browse, "Browse Directory - /d");
  EXPECT_EQ(f.commandState(), CommandState::Browse);
  for (const QString& n : kGoverned) EXPECT_EQ(enabled(n), kBrowse.contains(n)) << n.toStdString();
  EXPECT_FALSE(submenu(f, "&3D Views")->menuAction()->isEnabled());
  EXPECT_TRUE(f.statusPanel(1)->text().isEmpty());  // cleared by the change
  // Pointer news from a viewer count only while a drawing is active.
  f.UM_CURSORMOVED(1, 2);
  EXPECT_TRUE(f.statusPanel(1)->text().isEmpty());

  f.mdiArea()->setActiveSubWindow(d1);
  EXPECT_EQ(f.commandState(), CommandState::Drawing);
  f.mdiArea()->setActiveSubWindow(browse);
  EXPECT_EQ(f.commandState(), CommandState::Browse);

  browse->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(f.mdiArea()->subWindowList().size(), 1);
  EXPECT_NE(f.commandState(), CommandState::None);  // one child is left
  f.action("FileClose1")->trigger();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(f.mdiArea()->subWindowList().isEmpty());
  EXPECT_EQ(f.commandState(), CommandState::None);
  for (const QString& n : kGoverned) EXPECT_FALSE(enabled(n)) << n.toStdString();
  EXPECT_TRUE(f.statusPanel(3)->text().isEmpty());
}

TEST_F(MainWindow, StatusBarShowsTheLongPartOfAHint) {
  TMainForm f("/prog");
  EXPECT_EQ(f.action("Print1")->toolTip(), "Print");
  f.action("Print1")->showStatusText(&f);
  EXPECT_EQ(f.statusPanel(0)->text(), "Print current drawing");
  f.action("vRotate90Left")->showStatusText(&f);
  EXPECT_EQ(f.statusPanel(0)->text(), "Rotate drawing 90 degrees left");
}

TEST_F(MainWindow, FileNameNewsRenamesTheActiveDrawingAndPromotesIt) {
  TMainForm f("/prog");
  f.show();
  f.settings().history = {"/a.dwg", "/b.dwg"};
  f.addChild(new QLabel("x"), ChildKind::Drawing, "Shadow1.dwg");
  f.UM_FILENAMECHANGED("/b.dwg");
  EXPECT_EQ(f.mdiArea()->activeSubWindow()->windowTitle(), "/b.dwg");
  EXPECT_EQ(f.settings().history, (QStringList{"/b.dwg", "/a.dwg"}));
  EXPECT_TRUE(fileEntries(f).contains("&1 /b.dwg"));
}

TEST_F(MainWindow, ProfileCommandsNumberTheirDrawingsAndOtherModesMakeNone) {
  MessageCapture messages;
  TMainForm f("/prog");
  TfrmShadow dialog(&f);
  f.setShadowDialog(&dialog);
  f.show();
  auto pressOkSoon = [&] {
    QTimer::singleShot(0, [&] {
      dialog.setPickerDate(QDate(2026, 6, 21));
      dialog.cmdOKClick();
      if (dialog.isVisible()) dialog.reject();  // modes that stay open
    });
  };
  pressOkSoon();
  f.ShadowHorizontal();
  EXPECT_EQ(dialog.windowTitle(), "Horizontal Shadow Profile");
  ASSERT_EQ(f.mdiArea()->subWindowList().size(), 1);
  EXPECT_EQ(f.mdiArea()->subWindowList()[0]->windowTitle(), "Shadow1.dwg");
  EXPECT_EQ(f.commandState(), CommandState::Drawing);
  pressOkSoon();
  f.ShadowVertical();
  ASSERT_EQ(f.mdiArea()->subWindowList().size(), 2);
  EXPECT_EQ(f.mdiArea()->subWindowList()[1]->windowTitle(), "Shadow2.dwg");
  pressOkSoon();
  f.SunData();
  EXPECT_EQ(dialog.windowTitle(), "Solar Report Generator");
  EXPECT_EQ(f.mdiArea()->subWindowList().size(), 2);
  EXPECT_EQ(f.generatedCount(), 2);
  EXPECT_TRUE(messages.messages().empty());
}

TEST_F(MainWindow, RendersForALook) {
  TMainForm f("/prog");
  f.settings().history = {"/drawings/site plan.dwg", "/drawings/elevation.dxf"};
  f.RebuildHistoryMenu();
  f.show();
  f.addChild(new QLabel("drawing"), ChildKind::Drawing, "/drawings/site plan.dwg");
  const QString out = QDir(KELVARO_BINARY_DIR).filePath("screenshots");
  QDir().mkpath(out);
  EXPECT_TRUE(f.grab().save(out + "/main_window.png"));
  EXPECT_TRUE(f.fileMenu()->grab().save(out + "/file_menu.png"));
}

// Reading order of a widget on the window: row by row from the top, then from the left.
bool comesBefore(const QWidget* a, const QWidget* b) {
  const QRect ra = a->geometry(), rb = b->geometry();
  if (ra.bottom() < rb.top()) return true;
  if (rb.bottom() < ra.top()) return false;
  return ra.left() < rb.left();
}

TEST_F(MainWindow, ToolbarBandsStandInTheirOrder) {
  TMainForm f("/prog");
  f.show();
  QApplication::processEvents();
  ASSERT_TRUE(f.toolBar(0)->isVisible() && f.toolBar(1)->isVisible() && f.toolBar(2)->isVisible());
  EXPECT_TRUE(comesBefore(f.toolBar(0), f.toolBar(1))) << "Shadow before CAD";
  EXPECT_TRUE(comesBefore(f.toolBar(1), f.toolBar(2))) << "CAD before Navigator";
  // Every band shows all its buttons within the window's width.
  for (int band = 0; band < 3; ++band) {
    QToolBar* b = f.toolBar(band);
    EXPECT_LE(b->geometry().right(), f.width()) << band;
    for (QAction* a : b->actions())
      if (!a->isSeparator()) EXPECT_TRUE(b->widgetForAction(a)->isVisible()) << band << " " << a->text().toStdString();
  }
}

TEST_F(MainWindow, CheckTheWebSaysWhenNoBrowserOpensThePage) {
  MessageCapture messages;
  TMainForm f("/prog");
  QUrl asked;
  f.openWebPage = [&asked](const QUrl& page) {
    asked = page;
    return false;  // no browser on this desktop
  };
  f.action("mnuCheckWeb")->trigger();
  ASSERT_EQ(messages.messages().size(), 1u);
  const Message& m = messages.messages()[0];
  EXPECT_EQ(m.kind, MsgKind::Warning);
  EXPECT_NE(m.text.find("could not be opened"), std::string::npos) << m.text;
  ASSERT_TRUE(asked.isValid());
  EXPECT_NE(m.text.find(asked.toString().toStdString()), std::string::npos) << m.text;
  // A browser that starts needs no word.
  messages.clear();
  f.openWebPage = [](const QUrl&) { return true; };
  f.action("mnuCheckWeb")->trigger();
  EXPECT_TRUE(messages.messages().empty());
}

TEST_F(MainWindow, CheckTheWebWithoutAnyBrowserOnTheOffscreenDesktop) {
  // The offscreen platform cannot start a browser: the real opener fails, and the user hears of it.
  if (QGuiApplication::platformName() != "offscreen") GTEST_SKIP() << "needs the offscreen platform";
  MessageCapture messages;
  TMainForm f("/prog");
  f.action("mnuCheckWeb")->trigger();
  ASSERT_EQ(messages.messages().size(), 1u);
  EXPECT_NE(messages.messages()[0].text.find("could not be opened"), std::string::npos);
}

TEST_F(MainWindow, CommandsNotBuiltYetSaySo) {
  MessageCapture messages;
  TMainForm f("/prog");
  f.settings().history = {"/drawings/site plan.dwg"};
  f.RebuildHistoryMenu();
  auto said = [&messages](const std::string& text) {
    bool ok = messages.messages().size() == 1 && messages.messages()[0].text == text &&
              messages.messages()[0].kind == MsgKind::Information;
    std::string got = messages.messages().empty() ? "nothing" : messages.messages().back().text;
    messages.clear();
    return ok ? testing::AssertionSuccess() : testing::AssertionFailure() << "said " << got;
  };
  QAction* open = f.action("FileOpen1");
  EXPECT_EQ(open->shortcut(), QKeySequence("Ctrl+O"));
  open->trigger();
  EXPECT_TRUE(said("Open CAD File is not available yet."));
  auto* button = qobject_cast<QToolButton*>(f.toolBar(1)->widgetForAction(open));
  ASSERT_NE(button, nullptr);
  button->click();
  EXPECT_TRUE(said("Open CAD File is not available yet."));
  f.action("opCAD")->trigger();
  EXPECT_TRUE(said("CAD Options is not available yet."));
  f.action("RegisterasDefaultViewer1")->trigger();
  EXPECT_TRUE(said("Register as Default Viewer is not available yet."));
  QAction* entry = nullptr;
  for (QAction* a : f.fileMenu()->actions())
    if (a->text() == "&1 /drawings/site plan.dwg") entry = a;
  ASSERT_NE(entry, nullptr);
  entry->trigger();
  EXPECT_TRUE(said("Opening a drawing is not available yet."));
  // Once drawings can be opened, the entry opens its drawing without a word.
  QString opened;
  f.openDrawing = [&opened](const QString& name) { opened = name; };
  entry->trigger();
  EXPECT_EQ(opened, "/drawings/site plan.dwg");
  EXPECT_TRUE(messages.messages().empty());
}

}  // namespace
