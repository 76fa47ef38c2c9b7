// The report window and its document: nesting repair keeps the tables a browser shows, the
// font size rule, copying and printing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFontDatabase>
#include <QSet>
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextFrame>
#include <QTextTable>
#include <functional>

#include "platform/notify.h"
#include "reports/HtmlRepair.h"
#include "reports/ReportBuilder.h"
#include "reports/ReportDocument.h"
#include "reports/SunHTM.h"
#include "shadow/SiteTime.h"

using namespace kelvaro;
using namespace kelvaro::reports;

namespace {

QApplication* App() {
  static int argc = 1;
  static char name[] = "test_report_window";
  static char* argv[] = {name, nullptr};
  static QApplication* a = new QApplication(argc, argv);
  return a;
}

ReportInputs Greenwich(int d, int m, int y) {
  SiteInputs si;
  si.Day = d;
  si.Month = m;
  si.Year = y;
  ReportInputs in;
  ReadSiteInputs(si, in.Site);
  in.Date = in.Site.Date;
  in.Today = {8, 12, 2026};
  return in;
}

// The table that only holds a narrower table between two spacer cells.
bool IsWidthHolder(QTextTable* t) {
  const QTextTableFormat f = t->format();
  return t->rows() == 1 && t->columns() <= 3 && f.border() == 0 && f.cellSpacing() == 0 && f.cellPadding() == 0 &&
         f.width() == QTextLength(QTextLength::PercentageLength, 100) && t->childFrames().size() == 1;
}

// The page's tables in document order, without width holders.
std::vector<QTextTable*> Tables(QTextDocument& doc) {
  std::vector<QTextTable*> out;
  std::function<void(QTextFrame*)> walk = [&](QTextFrame* f) {
    if (auto* t = qobject_cast<QTextTable*>(f); t && !IsWidthHolder(t)) out.push_back(t);
    for (QTextFrame* c : f->childFrames()) walk(c);
  };
  walk(doc.rootFrame());
  return out;
}

QString CellText(QTextTable* t, int r, int c) {
  QTextTableCell cell = t->cellAt(r, c);
  QTextCursor cur = cell.firstCursorPosition();
  cur.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
  return cur.selectedText().replace(QChar::LineSeparator, QLatin1Char('|')).replace(QChar::ParagraphSeparator, QLatin1Char('|'));
}

// Saves what the window shows when KELVARO_SNAPSHOT_DIR is set (for looking at it).
void Snapshot(QWidget& w, const QString& name) {
  QByteArray dir = qgetenv("KELVARO_SNAPSHOT_DIR");
  if (dir.isEmpty()) return;
  w.grab().save(QDir(QString::fromLocal8Bit(dir)).filePath(name + ".png"));
}

int PdfPages(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  QByteArray b = f.readAll();
  return b.count("/Type /Page\n") + b.count("/Type /Page ") + b.count("/Type /Page/") + b.count("/Type /Page>");
}

}  // namespace

TEST(ReportHtmlRepair, CrossedEndTagsAreNestedAsABrowserDoes) {
  // The unit line stays small and is not bold; the title's underline ends with its bold.
  std::string r = repairReportHtml(
      "<html><body><table><tr><td><b><font size=\"2\">Date</b><br>(mm/dd/yy)</font></td></tr></table>"
      "<font size=\"5\"><b><u>Title</b></u><br>after</font></body></html>");
  EXPECT_NE(r.find("<b><font size=\"2\">Date</font></b><font size=\"2\"><br>(mm/dd/yy)</font>"), std::string::npos) << r;
  EXPECT_NE(r.find("<b><u>Title</u></b><br>after"), std::string::npos) << r;
  // A caption spanning more columns than the table has is cut back; tables in <center> centre.
  r = repairReportHtml("<center><table><tr><td colspan=\"5\">c</td></tr><tr><td>1</td><td>2</td></tr></table></center>");
  EXPECT_NE(r.find("<table align=\"center\">"), std::string::npos) << r;
  EXPECT_NE(r.find("colspan=\"2\""), std::string::npos) << r;
  // A fixed-width table holding a wider one grows to it, as in a browser.
  r = repairReportHtml("<table width=\"500\"><tr><td><table width=\"600\"><tr><td>x</td></tr></table></td></tr></table>");
  EXPECT_NE(r.find("<table width=\"600\"><tr><td><table width=\"600\">"), std::string::npos) << r;
  // A narrower fixed-width table in a cell stands between spacers that take up the rest of the
  // cell; one as wide as the cell, or in a cell of a table without a fixed width, does not.
  r = repairReportHtml("<table width=\"500\" cellspacing=\"0\"><tr><td><center><table width=\"400\"><tr><td>x</td></tr>"
                       "</table></center></td></tr></table>");
  EXPECT_NE(r.find("<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\"><tr><td>&nbsp;</td>"
                   "<td width=\"400\"><table width=\"400\" align=\"center\">"),
            std::string::npos)
      << r;
  EXPECT_NE(r.find("</table></td><td>&nbsp;</td></tr></table>"), std::string::npos) << r;
  r = repairReportHtml("<table width=\"500\" cellspacing=\"0\"><tr><td><table width=\"400\" align=\"right\"><tr><td>x</td>"
                       "</tr></table></td></tr></table>");
  EXPECT_NE(r.find("<tr><td>&nbsp;</td><td width=\"400\"><table width=\"400\" align=\"right\">"), std::string::npos) << r;
  EXPECT_NE(r.find("</table></td></tr></table></td>"), std::string::npos) << r;
  for (const char* unheld : {"<table width=\"500\" cellspacing=\"0\"><tr><td><table width=\"500\"><tr><td>x</td></tr></table></td></tr></table>",
                             "<table><tr><td><table width=\"400\"><tr><td>x</td></tr></table></td></tr></table>",
                             "<table width=\"500\"><tr><td>a</td><td><table width=\"100\"><tr><td>x</td></tr></table></td></tr></table>"}) {
    r = repairReportHtml(unheld);
    EXPECT_EQ(r.find("100%"), std::string::npos) << r;
  }
  // Text and attribute values keep their characters.
  r = repairReportHtml("<p title=\"a&amp;b\">x &lt; y &amp; z</p>");
  EXPECT_NE(r.find("title=\"a&amp;b\""), std::string::npos) << r;
  EXPECT_NE(r.find("x &lt; y &amp; z"), std::string::npos) << r;
  r = repairReportHtml("<font size=\"2\">M\xC3\xA4rz, 2024 \xE2\x80\x94 \xE5\x85\xAD\xE6\x9C\x88</font>");  // locale month names
  EXPECT_NE(r.find("M\xC3\xA4rz, 2024 \xE2\x80\x94 \xE5\x85\xAD\xE6\x9C\x88"), std::string::npos) << r;
  EXPECT_NO_THROW(repairReportHtml(std::string("<table><tr><td>\x01\xff</b></font></tr></td>", 35)));
}

TEST(ReportDocument, RepairedPageKeepsTheTablesABrowserShows) {
  App();
  std::string page = BuildSunriseSunsetReport(Greenwich(15, 2, 2003));
  auto doc = makeReportDocument(page, {});
  auto tables = Tables(*doc);
  ASSERT_EQ(tables.size(), 3u);
  QTextTable* outer = tables[0];
  EXPECT_EQ(outer->rows(), 2);  // the page, then the notes
  EXPECT_EQ(outer->columns(), 1);
  EXPECT_EQ(outer->format().width(), QTextLength(QTextLength::FixedLength, 500));
  QTextTable* header = tables[1];
  EXPECT_EQ(header->rows(), 3);
  EXPECT_EQ(header->columns(), 4);
  EXPECT_EQ(CellText(header, 0, 0), "Month:");
  EXPECT_EQ(CellText(header, 2, 2), "Daylight Saving:");
  QTextTable* data = tables[2];
  EXPECT_EQ(data->rows(), 2 + 31);
  EXPECT_EQ(data->columns(), 4);
  EXPECT_EQ(data->cellAt(0, 0).columnSpan(), 4);
  EXPECT_EQ(data->format().width(), QTextLength(QTextLength::FixedLength, 500));
  EXPECT_EQ(data->format().columnWidthConstraints().value(0), QTextLength(QTextLength::PercentageLength, 25));
  EXPECT_EQ(CellText(data, 1, 0), "Date|(mm/dd/yy)");
  EXPECT_EQ(CellText(data, 2, 0), "02/01/03");
  EXPECT_EQ(CellText(data, 32, 0), "03/03/03");
  // The unit line is small and plain, its name bold (as in a browser).
  QTextCursor c = data->cellAt(1, 0).firstCursorPosition();
  c.movePosition(QTextCursor::NextCharacter);
  EXPECT_EQ(c.charFormat().fontWeight(), QFont::Bold);
  c = data->cellAt(1, 0).lastCursorPosition();
  EXPECT_NE(c.charFormat().fontWeight(), QFont::Bold);
  EXPECT_EQ(c.charFormat().property(QTextFormat::FontSizeAdjustment).toInt(), -1);
  // The notes live in the outer table's second row.
  EXPECT_TRUE(CellText(outer, 1, 0).contains("NOTES"));
  EXPECT_TRUE(CellText(outer, 1, 0).contains("atmospheric conditions."));
  EXPECT_TRUE(doc->rootFrame()->frameFormat().background().textureImage().size().isValid());
}

TEST(ReportDocument, CutOrDamagedPagesStillLoad) {
  App();
  std::string page = BuildNoonAltitudeReport(Greenwich(1, 5, 2024));
  for (size_t n = 0; n < page.size(); n += 89) {
    std::string cut = page.substr(0, n);
    if (n % 2) cut += "<<\"></td></font>&amp;&#;\x80";
    auto doc = makeReportDocument(cut, {});
    ASSERT_NE(doc, nullptr);
  }
  auto doc = makeReportDocument(page.substr(0, page.size() / 2), {});
  EXPECT_TRUE(doc->toPlainText().contains("Daily Altitude at Solar Noon"));
}

TEST(ReportDocument, EveryMemberLaysOutWithItsColumns) {
  App();
  ReportInputs in = Greenwich(21, 6, 2024);
  in.Site.Orientation = 135;
  in.Site.Inclination = 60;
  struct Case {
    std::string page;
    int headerRows, columns, dataRows;
  };
  ShadowProfile profile;
  ReportInputs shadowIn = in;
  std::string hshadow = BuildHorizontalShadowData(shadowIn, ProfileInputs{}, "2000", profile);
  std::string vshadow = BuildVerticalShadowData(shadowIn, ProfileInputs{}, "2000", profile);
  std::vector<Case> cases{{BuildRiseSetAzimuthReport(in), 3, 4, 33}, {BuildNoonAltitudeReport(in), 3, 4, 33},
                          {BuildAzimuthAltitudeReport(in), 5, 4, 25}, {BuildShadowAngleReport(in), 5, 4, 25},
                          {BuildIncidenceReport(in), 5, 4, 25},       {hshadow, 6, 4, 25},
                          {vshadow, 6, 4, 25}};
  std::vector<int> dataColumns{5, 3, 3, 5, 4, 5, 5};
  for (size_t i = 0; i < cases.size(); ++i) {
    auto doc = makeReportDocument(cases[i].page, {});
    auto tables = Tables(*doc);
    ASSERT_EQ(tables.size(), 3u) << i;
    EXPECT_EQ(tables[1]->rows(), cases[i].headerRows) << i;
    EXPECT_EQ(tables[1]->columns(), cases[i].columns) << i;
    EXPECT_EQ(tables[2]->rows(), cases[i].dataRows) << i;
    EXPECT_EQ(tables[2]->columns(), dataColumns[i]) << i;
  }
}

TEST(ReportWindow, FontSizeRule) {
  App();
  TfrmSunHTM w;
  EXPECT_EQ(w.defaultFont().family, "Arial");
  EXPECT_EQ(w.defaultFont().pointSize, 10);
  EXPECT_EQ(w.fontSizeBox()->text(), "10");
  w.loadDocument(BuildSunriseSunsetReport(Greenwich(1, 3, 2024)));
  // A new size leaves the page shown alone; the next page comes up in it.
  w.applyFontSizeText("14", true);
  EXPECT_EQ(w.defaultFont().pointSize, 14);
  EXPECT_EQ(w.document()->defaultFont().pointSize(), 10);
  w.loadDocument(BuildSunriseSunsetReport(Greenwich(1, 3, 2024)));
  EXPECT_EQ(w.document()->defaultFont().pointSize(), 14);
  // Too small becomes 6; the up-down control stops at 48.
  w.applyFontSizeText("3", true);
  EXPECT_EQ(w.defaultFont().pointSize, 6);
  w.fontSizeBox()->setText("47");
  w.fontSizeBox()->stepBy(5);
  EXPECT_EQ(w.fontSizeBox()->text(), "48");
  EXPECT_EQ(w.defaultFont().pointSize, 48);
  // Typed sizes are not bound by the up-down control's range.
  w.applyFontSizeText("72", true);
  EXPECT_EQ(w.defaultFont().pointSize, 72);
  w.applyFontSizeText("48", true);
  // Not a number: the general error, nothing changes; half-typed text is not yet an error.
  MessageCapture capture;
  w.applyFontSizeText("", false);
  EXPECT_TRUE(capture.messages().empty());
  w.applyFontSizeText("1x", true);
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0].kind, MsgKind::Error);
  EXPECT_EQ(capture.messages()[0].text, "'1x' is not a valid integer value");
  EXPECT_EQ(w.defaultFont().pointSize, 48);
  // A chosen face applies to the next page.
  w.setDefaultFontName("DejaVu Serif");
  w.loadDocument(BuildSunriseSunsetReport(Greenwich(1, 3, 2024)));
  EXPECT_EQ(w.document()->defaultFont().family(), "DejaVu Serif");
}

TEST(ReportWindow, ArialResolvesToAMetricCompatibleFace) {
  App();
  QString face = resolvedFontFamily("Arial");
  EXPECT_TRUE(face == "Arial" || face == "Liberation Sans") << face.toStdString();
  TfrmSunHTM w;
  EXPECT_EQ(w.fontNameBox()->currentText(), face);
  EXPECT_EQ(w.fontNameBox()->maxVisibleItems(), 10);
  QStringList items;
  for (int i = 0; i < w.fontNameBox()->count(); ++i) items << w.fontNameBox()->itemText(i);
  QStringList sorted = items;
  sorted.sort(Qt::CaseInsensitive);
  EXPECT_EQ(items, sorted);
}

TEST(ReportWindow, CopyToClipboardPutsTheReportText) {
  App();
  TfrmSunHTM w;
  ReportInputs in = Greenwich(21, 6, 2024);
  in.Site.Orientation = 135;
  w.loadDocument(BuildShadowAngleReport(in));
  w.show();
  Snapshot(w, "hsavsa");
  MessageCapture capture;
  w.CopyToClip();
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0].kind, MsgKind::Information);
  EXPECT_EQ(capture.messages()[0].text, "Data has been copied to the clipboard");
  QString text = QGuiApplication::clipboard()->text();
  EXPECT_TRUE(text.contains("Hourly Horizontal & Vertical Shadow Angles\n")) << text.toStdString();
  EXPECT_TRUE(text.contains("Date:\tJune 21, 2024\n")) << text.toStdString();
  EXPECT_TRUE(text.contains("Latitude:\t52:00:00 N\tSunrise:\t")) << text.toStdString();
  EXPECT_TRUE(text.contains("Orientation:\t135 degs\n"));
  EXPECT_TRUE(text.contains("Local Civil Time (hh:mm)\tSolar Azimuth (dd:mm:ss)\t"));
  EXPECT_TRUE(text.contains("\n2:00\t")) << text.toStdString();
  EXPECT_TRUE(text.contains("\tn/a\tn/a\n"));
  EXPECT_TRUE(text.contains("\n24:00\t"));
  EXPECT_TRUE(text.contains("NOTES\n1. Rise and set times")) << text.toStdString();
  EXPECT_TRUE(text.contains("measured as a normal to the surface plane.\n"));
  // Afterwards the page is not selectable with the mouse.
  EXPECT_EQ(w.view()->textInteractionFlags(), Qt::NoTextInteraction);
  EXPECT_FALSE(w.view()->textCursor().hasSelection());
}

TEST(ReportWindow, PrintsEveryPageWithTheBackground) {
  App();
  QTemporaryDir dir;
  ReportInputs in = Greenwich(1, 1, 2024);
  ReportFont big{"Arial", 16};
  auto doc = makeReportDocument(BuildSunriseSunsetReport(in), big);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setPageSize(QPageSize(QPageSize::A4));
  QString path = dir.filePath("report.pdf");
  printer.setOutputFileName(path);
  printer.setPrintRange(QPrinter::PageRange);
  printer.setFromTo(1, 1);  // a range the dialog might offer: still every page prints
  printReportDocument(*doc, printer);
  EXPECT_GE(PdfPages(path), 2);
  if (!qgetenv("KELVARO_SNAPSHOT_DIR").isEmpty()) QFile::copy(path, QDir(qgetenv("KELVARO_SNAPSHOT_DIR")).filePath("sunrise.pdf"));
}

TEST(ReportWindow, ShowsEachMemberForLooking) {
  App();
  if (qgetenv("KELVARO_SNAPSHOT_DIR").isEmpty()) GTEST_SKIP() << "set KELVARO_SNAPSHOT_DIR to save pictures of the pages";
  ReportInputs in = Greenwich(21, 6, 2024);
  in.Site.Orientation = 135;
  in.Site.Inclination = 60;
  ShadowProfile profile;
  ReportInputs s = in;
  std::vector<std::pair<QString, std::string>> pages{
      {"sunrise", BuildSunriseSunsetReport(in)},     {"risesetaz", BuildRiseSetAzimuthReport(in)},
      {"noonalt", BuildNoonAltitudeReport(in)},      {"azalt", BuildAzimuthAltitudeReport(in)},
      {"incidence", BuildIncidenceReport(in)},
      {"hshadow", BuildHorizontalShadowData(s, ProfileInputs{}, "2000", profile)},
      {"vshadow", BuildVerticalShadowData(s, ProfileInputs{}, "2000", profile)}};
  TfrmSunHTM w;
  w.resize(700, 1000);
  w.show();
  for (auto& [name, page] : pages) {
    w.loadDocument(page);
    QApplication::processEvents();
    Snapshot(w, name);
  }
}


namespace {

// A copy of an installed TrueType font whose vendor (the foundry fontconfig reports) is
// changed, so its family is offered by two foundries; empty when the font is not installed.
QByteArray FontFromOtherFoundry(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QByteArray data = f.readAll();
  if (data.size() < 12) return {};
  auto u16 = [&](int at) { return (uchar(data[at]) << 8) | uchar(data[at + 1]); };
  auto u32 = [&](int at) { return quint32(u16(at)) << 16 | quint32(u16(at + 2)); };
  const int tables = u16(4);
  for (int i = 0; i < tables; ++i) {
    const int entry = 12 + 16 * i;
    if (entry + 16 > data.size()) return {};
    if (data.mid(entry, 4) == "OS/2") {
      const quint32 os2 = u32(entry + 8);
      if (os2 + 62 > quint32(data.size())) return {};
      data.replace(int(os2) + 58, 4, "KLVT");  // achVendID
      return data;
    }
  }
  return {};
}

}  // namespace

TEST(ReportWindow, FontNameBoxListsEachFamilyOnceByItsPlainName) {
  App();
  const QByteArray copy = FontFromOtherFoundry("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
  if (copy.isEmpty()) GTEST_SKIP() << "DejaVuSans.ttf is not installed (fonts-dejavu-core)";
  const int id = QFontDatabase::addApplicationFontFromData(copy);
  ASSERT_GE(id, 0);
  TfrmSunHTM w;
  QStringList items;
  for (int i = 0; i < w.fontNameBox()->count(); ++i) items << w.fontNameBox()->itemText(i);
  EXPECT_EQ(items.count("DejaVu Sans"), 1) << items.join(", ").toStdString();
  for (const QString& item : items) {
    EXPECT_FALSE(item.contains('[')) << item.toStdString();
    // Aliases of the font configuration stand for another family and are not listed.
    EXPECT_FALSE(item == "Sans Serif" || item == "Serif" || item == "Monospace") << item.toStdString();
  }
  EXPECT_EQ(items.count(), QSet<QString>(items.begin(), items.end()).size());
  // A family of two foundries is still chosen by its plain name.
  w.setDefaultFontName("DejaVu Sans");
  EXPECT_EQ(w.fontNameBox()->currentText(), "DejaVu Sans");
  QFontDatabase::removeApplicationFont(id);
}

TEST(ReportWindow, FontNameDropDownShowsTenRows) {
  App();
  TfrmSunHTM w;
  // More names than rows, whatever this machine has installed.
  QComboBox* box = w.fontNameBox();
  for (int i = box->count(); i < 40; ++i) box->addItem(QString("Zz Extra Face %1").arg(i));
  w.show();
  box->showPopup();
  QApplication::processEvents();
  QAbstractItemView* list = box->view();
  const int row = list->sizeHintForRow(0);
  ASSERT_GT(row, 0);
  const int rows = list->viewport()->height() / row;
  EXPECT_EQ(rows, 10) << "popup " << list->viewport()->height() << " px, row " << row << " px";
  box->hidePopup();
}

namespace {

// The laid-out width of each table, in pixels of a 96 dpi screen, on screen (document laid out
// 800 pixels wide) or on the printer's page (as printing lays a copy out).
std::vector<double> LaidOutWidths(const QTextDocument& doc, QPrinter* printer) {
  std::unique_ptr<QTextDocument> copy(doc.clone());
  double scale = 1;
  if (printer) {
    copy->documentLayout()->setPaintDevice(printer);
    copy->setPageSize(printer->pageRect(QPrinter::DevicePixel).size());
    scale = printer->logicalDpiX() / 96.0;
  } else {
    copy->setTextWidth(800);
  }
  std::vector<double> out;
  for (QTextTable* t : Tables(*copy)) out.push_back(copy->documentLayout()->frameBoundingRect(t).width() / scale);
  return out;
}

}  // namespace

TEST(ReportDocument, TablesKeepTheirDeclaredWidthsOnScreenAndInPrint) {
  App();
  ReportInputs in = Greenwich(21, 6, 2024);
  in.Site.Orientation = 135;
  in.Site.Inclination = 60;
  struct Case {
    const char* name;
    std::string page;
    double page_width, data_width;
  };
  const Case cases[] = {{"Sunrise/ Sunset", BuildSunriseSunsetReport(in), 500, 500},
                        {"Altitude at Solar Noon", BuildNoonAltitudeReport(in), 500, 400},
                        {"Azimuth/ Altitude", BuildAzimuthAltitudeReport(in), 500, 400},
                        {"HSA / VSA", BuildShadowAngleReport(in), 600, 600}};
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QDir::temp().filePath("kelvaro-widths.pdf"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto doc = makeReportDocument(c.page, {});
    for (QPrinter* device : {static_cast<QPrinter*>(nullptr), &printer}) {
      SCOPED_TRACE(device ? "print" : "screen");
      std::vector<double> widths = LaidOutWidths(*doc, device);
      ASSERT_EQ(widths.size(), 3u);
      EXPECT_NEAR(widths[0], c.page_width, 2);  // the page
      EXPECT_NEAR(widths[1], 500, 2);           // the header
      EXPECT_NEAR(widths[2], c.data_width, 2);  // the data table
    }
  }
  QFile::remove(printer.outputFileName());
  // And in the window itself, laid out by its view.
  TfrmSunHTM w;
  w.loadDocument(cases[1].page);
  w.show();
  QApplication::processEvents();
  QTextDocument* shown = w.view()->document();
  EXPECT_EQ(shown->defaultTextOption().wrapMode(), QTextOption::WordWrap);
  std::vector<QTextTable*> tables = Tables(*shown);
  ASSERT_EQ(tables.size(), 3u);
  EXPECT_NEAR(shown->documentLayout()->frameBoundingRect(tables[2]).width(), 400, 2);
  EXPECT_NEAR(shown->documentLayout()->frameBoundingRect(tables[0]).width(), 500, 2);
  // The footer paragraph keeps its distance below the table.
  const QRectF footer = shown->documentLayout()->blockBoundingRect(shown->find("Extract from").block());
  EXPECT_GE(footer.top(), shown->documentLayout()->frameBoundingRect(tables[2]).bottom() + 4);
}

TEST(ReportDocument, ATableWiderThanItsDeclaredWidthNeedsGrowsAsInABrowser) {
  App();
  // Content that cannot fit 200 pixels widens the table rather than being cut or broken.
  const std::string page =
      "<table border=\"0\" width=\"500\" cellspacing=\"0\" cellpadding=\"0\"><tr><td><center>"
      "<table border=\"1\" width=\"200\"><tr><td>Averyveryverylongunbreakableword</td>"
      "<td>Anotherveryverylongunbreakableword</td></tr></table></center></td></tr></table>";
  auto doc = makeReportDocument(page, {});
  std::vector<double> widths = LaidOutWidths(*doc, nullptr);
  ASSERT_EQ(widths.size(), 2u);
  EXPECT_GT(widths[1], 220);
  EXPECT_TRUE(doc->toPlainText().contains("Averyveryverylongunbreakableword"));
  // The text on the clipboard is the same as without the holder around the table.
  EXPECT_TRUE(reportPlainText(*doc).contains("Averyveryverylongunbreakableword\tAnotherveryverylongunbreakableword"))
      << reportPlainText(*doc).toStdString();
}
