// TDraftel and its drawing session: starting the toolkit, opening, saving, spaces and layouts,
// tables, drawing information, the paint buffer and the right-button menu.
#include <gtest/gtest.h>

#include <QAction>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QThread>

#include <fstream>

#include "cadkit/acad_date.h"
#include "cadkit/dxf_io.h"
#include "platform/notify.h"
#include "support/qt_app.h"
#include "viewer/TDraftel.h"
#include "viewer_fixtures.h"

namespace kelvaro::viewer {
namespace {
namespace fs = std::filesystem;

class Viewer : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    kelvaro::test::ensureQtApp();
    TDraftel::setProgramFolder(KELVARO_BINARY_DIR "/tests/viewer");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  }
  void SetUp() override {
    dir = test::scratchFolder("draftel");
    cross = QString::fromStdString((dir / "cross.dxf").string());
    test::save(test::crossDrawing(), cross.toStdString());
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
  QString cross;
};

TEST_F(Viewer, ToolkitStartReportsAMissingStartupFile) {
  MessageCapture capture;
  EXPECT_FALSE(tryStartToolkit(QString::fromStdString(dir.string())));
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0].text, "Could not initialize adinit.dat");
  EXPECT_EQ(capture.messages()[0].kind, MsgKind::Error);
  EXPECT_TRUE(startToolkit(KELVARO_BINARY_DIR "/tests/viewer"));
}

TEST_F(Viewer, FailedOpenKeepsTheDrawingShownBefore) {
  DrawingSession s;
  ASSERT_TRUE(startToolkit(TDraftel::programFolder()));
  ASSERT_EQ(s.OpenDrawing(cross), 1);
  const cad::AdDrawing before = s.handle();
  MessageCapture capture;
  const QString missing = QString::fromStdString((dir / "none.dxf").string());
  EXPECT_EQ(s.OpenDrawing(missing), 0);
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0].text, ("Could not find file " + missing).toStdString());
  capture.clear();
  std::ofstream(dir / "bad.dxf") << "0\nSECTION\n2\nENTITIES\n0\nLINE\nxx\n1\n";
  EXPECT_EQ(s.OpenDrawing(QString::fromStdString((dir / "bad.dxf").string())), 0);
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0].kind, MsgKind::Error);
  EXPECT_EQ(capture.messages()[0].text, cad::adErrorStr(cad::adError(0))) << "the toolkit's own text";
  EXPECT_EQ(s.handle(), before);
  EXPECT_EQ(s.path(), cross);
  EXPECT_NE(cad::adHeaderPointer(before), nullptr) << "the old drawing is still open";
  s.busy = true;
  EXPECT_EQ(s.OpenDrawing(cross), 0) << "nothing runs while busy";
  EXPECT_TRUE(s.busy);
}

TEST_F(Viewer, RepaintCopiesTheBufferAndRedrawDrawsAgain) {
  TDraftel v;
  v.resize(200, 150);
  v.show();
  QCoreApplication::processEvents();
  ASSERT_EQ(v.OpenDrawing(cross), 1);
  QSignalSpy timed(&v, &TDraftel::redrawTimed);
  QImage first = v.grab().toImage();
  const int initial = v.drawCount();
  EXPECT_GE(initial, 1);
  EXPECT_EQ(timed.count(), initial);
  QImage again = v.grab().toImage();
  EXPECT_EQ(v.drawCount(), initial) << "a plain repaint only copies the paint buffer";
  v.repaint();
  EXPECT_EQ(v.drawCount(), initial) << "nor does an uncovered panel";
  EXPECT_EQ(first, again);
  v.Redraw();
  v.grab();
  EXPECT_EQ(v.drawCount(), initial + 1);
  v.resize(220, 150);
  v.grab();
  EXPECT_EQ(v.drawCount(), initial + 2) << "a size change draws again";
  v.session().busy = true;
  v.Refresh();
  v.session().busy = false;
  v.grab();
  EXPECT_EQ(v.drawCount(), initial + 2) << "Refresh is ignored while busy";
  v.Refresh();
  v.grab();
  EXPECT_EQ(v.drawCount(), initial + 3);
  // Something of the drawing is on the panel.
  int inked = 0;
  for (int y = 0; y < first.height(); ++y)
    for (int x = 0; x < first.width(); ++x) inked += first.pixel(x, y) != qRgb(255, 255, 255);
  EXPECT_GT(inked, 50);

  // A paint that finds the viewer busy is done once it is free, with no further request.
  const int before = v.drawCount();
  v.session().busy = true;
  v.Redraw();
  v.repaint();
  EXPECT_EQ(v.drawCount(), before) << "nothing is drawn while busy";
  v.session().busy = false;
  for (int i = 0; i < 100 && v.drawCount() == before; ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(10);
  }
  EXPECT_EQ(v.drawCount(), before + 1);
}

TEST_F(Viewer, DrawingInformationTexts) {
  cad::Document doc = test::crossDrawing();
  doc.header.created = cad::encodeAcadDate({2024, 3, 5, 7, 8, 9});
  doc.header.updated = cad::encodeAcadDate({2025, 11, 30, 23, 59, 1});
  doc.header.editTime = cad::AcadDate{2, (3 * 3600 + 4 * 60 + 5) * 1000};
  doc.header.limMin = {-1.005, 2};
  doc.header.limMax = {420, 297.125};
  test::save(doc, cross.toStdString());
  DrawingSession s;
  ASSERT_EQ(s.OpenDrawing(cross), 1);
  const DrawingInfoTexts t = s.DrawingInfo();
  EXPECT_EQ(t.name, "cross.dxf");
  EXPECT_EQ(t.version, "AutoCAD 2000");
  EXPECT_EQ(t.size, QString::number(fs::file_size(dir / "cross.dxf")) + " bytes");
  EXPECT_EQ(t.created, "2024-03-05 at 07:08:09");
  EXPECT_EQ(t.modified, "2025-11-30 at 23:59:01");
  EXPECT_EQ(t.editTime, "2 days 3 hours 4 mins 5 secs");
  EXPECT_EQ(t.limitsUpper, "420.00, 297.13");
  EXPECT_EQ(t.limitsLower.right(6), ", 2.00");
  EXPECT_TRUE(t.location.endsWith(QString::fromStdString(dir.filename().string())));
  test::save(test::crossDrawing(), (dir / "r12.dxf").string(), cad::Release::R12);
  ASSERT_EQ(s.OpenDrawing(QString::fromStdString((dir / "r12.dxf").string())), 1);
  EXPECT_EQ(s.DrawingInfo().version, "AutoCAD 11/12");
}

TEST(SaveRules, FiltersVersionsAndPresetName) {
  ASSERT_EQ(saveFilters().size(), 16);
  EXPECT_EQ(saveFilters()[0], "AutoCAD R2000 Drawing (*.dwg)");
  EXPECT_EQ(saveFilters()[3], "AutoCAD R11/12 Drawing (*.dwg)");
  EXPECT_EQ(saveFilters()[8], "AutoCAD R2000 DXF (*.dxf)");
  EXPECT_EQ(saveFilters()[15], "AutoCAD R2.5 DXF (*.dxf)");
  const int expected[17] = {7, 7, 6, 5, 4, 3, 2, 1, 0, 7, 6, 5, 4, 3, 2, 1, 0};
  for (int i = 1; i <= 16; ++i) EXPECT_EQ(versionForFilterIndex(i), expected[i]) << "filter " << i;
  EXPECT_EQ(versionForFilterIndex(0), 7);
  EXPECT_EQ(versionForFilterIndex(17), 7);
  EXPECT_EQ(presetSaveName("/plans/site.old.dwg"), "site");
  EXPECT_EQ(presetSaveName("/plans/site"), "site");
  EXPECT_EQ(normalisedVersion(9), 7);
  EXPECT_EQ(normalisedVersion(-1), 7);
  EXPECT_EQ(normalisedVersion(3), 3);
}

cad::Release releaseOf(const fs::path& p) { return cad::readDxfFile(p).release; }

TEST_F(Viewer, SaveAsDxfWritesTheReleaseAndKeepsThePath) {
  DrawingSession s;
  ASSERT_EQ(s.OpenDrawing(cross), 1);
  const QString out = QString::fromStdString((dir / "copy.dxf").string());
  ASSERT_EQ(s.SaveByFilter(out, 9), 1);
  EXPECT_EQ(releaseOf(dir / "copy.dxf"), cad::Release::R2000);
  EXPECT_EQ(s.path(), cross) << "a DXF save does not rename the document";
  ASSERT_EQ(s.SaveByFilter(out, 13), 1);
  EXPECT_EQ(releaseOf(dir / "copy.dxf"), cad::Release::R10);
  for (int odd : {9, -1}) {
    ASSERT_EQ(s.SaveAsDxf(out, odd), 1);
    EXPECT_EQ(releaseOf(dir / "copy.dxf"), cad::Release::R2000) << odd;
  }
  // The copy holds what the drawing holds.
  cad::Document back = cad::readDxfFile(dir / "copy.dxf");
  ASSERT_EQ(back.modelSpace().entities.size(), 2u);
  EXPECT_EQ(back.modelSpace().entities[1].common.layer, "C");
  s.binaryDxf = true;
  ASSERT_EQ(s.SaveAsDxf(out, 7), 1);
  EXPECT_TRUE(cad::readDxfFile(dir / "copy.dxf").binary);
}

TEST_F(Viewer, DwgSaveFailsWithAClearMessageAndLeavesTheOldFile) {
  DrawingSession s;
  ASSERT_EQ(s.OpenDrawing(cross), 1);
  std::ofstream(dir / "old.dwg") << "previous";
  const cad::AcadDate updated = s.header()->updated;
  MessageCapture capture;
  const int ok = s.SaveByFilter(QString::fromStdString((dir / "old.dwg").string()), 1);
  if (ok) GTEST_SKIP() << "this build writes DWG";
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0].text.rfind("File not saved. ", 0), 0u);
  EXPECT_NE(capture.messages()[0].text.find("DWG"), std::string::npos);
  std::ifstream f(dir / "old.dwg");
  std::string content;
  f >> content;
  EXPECT_EQ(content, "previous");
  EXPECT_EQ(s.path(), cross);
  EXPECT_EQ(s.header()->updated, updated) << "a failed save leaves the drawing unchanged";
}

TEST_F(Viewer, SaveDrawingAsPresetsTheDialogAndTellsTheHost) {
  TDraftel v;
  ASSERT_EQ(v.OpenDrawing(cross), 1);
  QString title, name;
  v.chooseSaveFile = [&](const QString& t, const QString&, const QString& n, int& filter) {
    title = t;
    name = n;
    filter = 10;  // R14 DXF
    return QString::fromStdString((dir / "saved.dxf").string());
  };
  QSignalSpy renamed(&v, &TDraftel::fileNameChanged);
  v.session().modified = true;
  EXPECT_EQ(v.SaveDrawingAs(), 1);
  EXPECT_EQ(title, "Save cross.dxf As");
  EXPECT_EQ(name, "cross");
  EXPECT_EQ(renamed.count(), 1);
  EXPECT_FALSE(v.modified());
  EXPECT_EQ(releaseOf(dir / "saved.dxf"), cad::Release::R14);
  v.chooseSaveFile = [](const QString&, const QString&, const QString&, int&) { return QString(); };
  EXPECT_EQ(v.SaveDrawingAs(), 0) << "Cancel";
  EXPECT_FALSE(v.session().busy);
}

TEST_F(Viewer, SaveWritesTheShownViewIntoTheActiveViewport) {
  cad::Document doc = test::crossDrawing();
  cad::TableEntry<cad::Vport> active;
  active.rec.name = "*Active";
  active.frame.handle = doc.newHandle();
  doc.vports.entries.push_back(active);
  doc.vports.present = true;
  test::save(doc, cross.toStdString());
  DrawingSession s;
  s.setPanelSize(200, 100);
  ASSERT_EQ(s.OpenDrawing(cross), 1);
  s.ZoomExtents();
  s.ZoomIn();
  s.FitViewToPanel();
  const double height = s.view().height;
  const QString out = QString::fromStdString((dir / "view.dxf").string());
  ASSERT_EQ(s.SaveByFilter(out, 9), 1);
  cad::Document back = cad::readDxfFile(dir / "view.dxf");
  ASSERT_FALSE(back.vports.entries.empty());
  EXPECT_NEAR(back.vports.entries[0].rec.height, height, 1e-9 * height);
  EXPECT_NEAR(back.vports.entries[0].rec.center.x, s.view().center.x, 1e-9);
  ASSERT_EQ(s.SaveByFilter(out, 14), 1);  // R9: no viewport table to write into
}

TEST_F(Viewer, OpenFromTheMenuAsksBeforeDroppingChanges) {
  TDraftel v;
  ASSERT_EQ(v.OpenDrawing(cross), 1);
  v.session().modified = true;
  int dialogs = 0;
  v.chooseOpenFile = [&] {
    ++dialogs;
    return cross;
  };
  {
    MessageCapture capture(MsgAnswer::Cancel);
    v.menuCommand(kMenuOpen);
    ASSERT_EQ(capture.messages().size(), 1u);
    EXPECT_EQ(capture.messages()[0].text, ("Drawing " + cross + " has been modified. Do you want to save it?").toStdString());
    EXPECT_EQ(capture.messages()[0].buttons, MsgButtons::YesNoCancel);
    EXPECT_EQ(dialogs, 0) << "Cancel stops";
  }
  QSignalSpy renamed(&v, &TDraftel::fileNameChanged);
  {
    MessageCapture capture(MsgAnswer::No);
    v.menuCommand(kMenuOpen);
  }
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(renamed.count(), 1);
  EXPECT_FALSE(v.modified());
}

TEST_F(Viewer, LayoutsListModelFirstAndOnlySheetsWithViewports) {
  test::save(test::layoutDrawing(), (dir / "layouts.dxf").string());
  DrawingSession s;
  ASSERT_EQ(s.OpenDrawing(QString::fromStdString((dir / "layouts.dxf").string())), 1);
  const auto entries = s.Layouts();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].caption, "Model Space");
  EXPECT_EQ(entries[1].caption, "Sheet") << "the layout without a viewport is not listed";
  s.SelectLayout(entries[1]);
  EXPECT_FALSE(s.modelSpace());
  EXPECT_EQ(s.header()->tileMode, 0);
  EXPECT_EQ(s.historyCount(), 1);
  s.SelectLayout(entries[0]);
  EXPECT_TRUE(s.modelSpace());
  EXPECT_FALSE(s.layoutBlock());
}

TEST_F(Viewer, OlderFilesListPaperSpaceOnlyWithAViewport) {
  DrawingSession s;
  test::save(test::crossDrawing(), (dir / "r12.dxf").string(), cad::Release::R12);
  ASSERT_EQ(s.OpenDrawing(QString::fromStdString((dir / "r12.dxf").string())), 1);
  auto entries = s.Layouts();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].caption, "Model Space");
  cad::Document withSheet = test::layoutDrawing();
  withSheet.objects.clear();
  test::save(withSheet, (dir / "r12sheet.dxf").string(), cad::Release::R12);
  ASSERT_EQ(s.OpenDrawing(QString::fromStdString((dir / "r12sheet.dxf").string())), 1);
  entries = s.Layouts();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].caption, "Paper Space");
}

TEST_F(Viewer, TablesAreSortedLocaleAwareAndKeepTheirLinetypes) {
  DrawingSession s;
  ASSERT_EQ(s.OpenDrawing(cross), 1);
  QStringList layers, lines;
  for (const auto& l : s.layers()) layers << QString::fromStdString(l.rec.rec.name);
  for (const auto& l : s.lines()) lines << QString::fromStdString(l.rec.rec.name);
  EXPECT_EQ(layers, (QStringList{"0", "a", "b", "C"})) << "not in byte order (C before a)";
  ASSERT_TRUE(lines.contains("Center") && lines.contains("CONTINUOUS")) << lines.join(",").toStdString();
  EXPECT_LT(lines.indexOf("Center"), lines.indexOf("CONTINUOUS")) << "unlike byte order";
  EXPECT_LT(lines.indexOf("CONTINUOUS"), lines.indexOf("DASHED"));
  for (const auto& l : s.layers()) {
    if (l.rec.rec.name == "C") {
      EXPECT_EQ(l.linetypeName, "DASHED");
    }
    EXPECT_EQ(l.state[0], 1) << "on";
  }
  for (const auto& l : s.lines()) EXPECT_TRUE(l.handle) << l.rec.rec.name;
}

TEST_F(Viewer, LargeFileReportsProgressWhileItLoads) {
  cad::Document doc = test::crossDrawing();
  for (int i = 0; i < 20000; ++i) {
    cad::Entity e;
    e.data = cad::Line{{double(i), 0, 0}, {double(i), 1, 0}};
    doc.modelSpace().entities.push_back(e);
  }
  doc.assignHandles();
  test::save(doc, cross.toStdString());
  TDraftel v;
  std::vector<int> seen;
  bool busyDuringLoad = false;
  QObject::connect(&v, &TDraftel::loadProgress, [&](int p) {
    seen.push_back(p);
    busyDuringLoad = busyDuringLoad || (p >= 0 && v.session().busy);
  });
  ASSERT_EQ(v.OpenDrawing(cross), 1);
  ASSERT_GT(seen.size(), 50u) << "about one report per percent";
  EXPECT_EQ(seen.back(), -1) << "the end is reported";
  for (std::size_t i = 1; i + 1 < seen.size(); ++i) EXPECT_GT(seen[i], seen[i - 1]);
  EXPECT_LE(seen[seen.size() - 2], 100);
  EXPECT_TRUE(busyDuringLoad) << "nothing else runs while the file loads";
  EXPECT_FALSE(v.session().busy);
}

TEST_F(Viewer, QuickTextCurveQualityAndZoomHistory) {
  TDraftel v;
  v.resize(200, 100);
  v.SetQuickTextAtOpen(1);
  ASSERT_EQ(v.OpenDrawing(cross), 1);
  EXPECT_TRUE(v.quickText());
  EXPECT_EQ(v.session().header()->quickText, 1);
  v.SetQuickText(false);
  EXPECT_EQ(v.session().header()->quickText, 0);
  v.SetCurveQuality(20);
  v.SetCurveQuality(0);
  v.SetCurveQuality(51);
  EXPECT_EQ(v.session().curveQuality(), 20);
  EXPECT_EQ(cad::adInterpolationQuality(), 20);

  DrawingSession& s = v.session();
  v.ZoomExtents();
  const double w = s.view().width;
  v.ZoomIn();
  EXPECT_NEAR(s.view().width, w / 2, 1e-9 * w);
  EXPECT_EQ(s.pointerMode, PointerMode::ZoomedIn);
  for (int i = 0; i < 25; ++i) v.ZoomOut();
  EXPECT_EQ(s.historyCount(), 20);
  int back = 0;
  while (s.ZoomPrevious()) ++back;
  EXPECT_EQ(back, 19);
}

TEST_F(Viewer, RightButtonMenuItemsTagsAndSeparators) {
  TDraftel v;
  EXPECT_EQ(v.cadMenu(), nullptr) << "no menu until EnableCADMenu";
  v.setEnableCADMenu(true);
  ASSERT_NE(v.cadMenu(), nullptr);
  const auto acts = v.cadMenu()->actions();
  const QStringList captions{"Open...", "Save As...", "", "Zoom Rectangle", "Zoom In", "Zoom Out", "Zoom Extents",
                             "Zoom Previous", "Pan", "", "Print Drawing...", "", "Layer Properties...",
                             "Drawing Information..."};
  ASSERT_EQ(acts.size(), 14);
  for (int i = 0; i < 14; ++i) {
    EXPECT_EQ(acts[i]->data().toInt(), i);
    EXPECT_EQ(acts[i]->isSeparator(), captions[i].isEmpty()) << i;
    if (!captions[i].isEmpty()) {
      EXPECT_EQ(acts[i]->text(), captions[i]);
    }
  }
  v.embedded = true;
  QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5), v.mapToGlobal(QPoint(5, 5)));
  QCoreApplication::sendEvent(&v, &e);
  v.cadMenu()->hide();
  EXPECT_FALSE(acts[kMenuSep1]->isVisible()) << "Open and Save As hidden: their separator too";
  EXPECT_FALSE(acts[kMenuSep2]->isVisible()) << "Print hidden: the separator before it too";
}

TEST_F(Viewer, PointerMovesReportDrawingUnits) {
  TDraftel v;
  v.resize(200, 200);
  ASSERT_EQ(v.OpenDrawing(cross), 1);
  v.ZoomExtents();
  v.grab();
  QSignalSpy moved(&v, &TDraftel::cursorMoved);
  QMouseEvent e(QEvent::MouseMove, QPointF(100, 100), QPointF(100, 100), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&v, &e);
  ASSERT_EQ(moved.count(), 1);
  EXPECT_NEAR(v.cursorX(), 50, 2) << "the middle of the panel is the middle of the cross";
  EXPECT_NEAR(v.cursorY(), 0, 2);
}

}  // namespace
}  // namespace kelvaro::viewer
