#pragma once
// Turning a report page into a laid-out Qt document, and the two things done with it besides
// showing it: printing (shared by the report window and the batch tool) and its text for the
// clipboard.
#include <QFont>
#include <QImage>
#include <QString>
#include <QTextDocument>
#include <memory>
#include <string>

class QPrinter;

namespace kelvaro::reports {

// The background stipples the pages name ("stippl1.jpg", "stippl2.jpg"); a null image for any
// other name. Light textures drawn here, so pages need no picture files beside them.
QImage reportBackground(const QString& name);

// The face a default font name is shown with (the name itself when installed; otherwise the
// metric-compatible face the font configuration substitutes, e.g. "Liberation Sans" for Arial).
QString resolvedFontFamily(const QString& name);

// The installed font families, each once by its plain name and sorted: without the foundry
// the font database adds to a family offered by several ("Nimbus Sans [URW ]"), and without
// the font configuration's aliases ("Sans Serif", "Monospace"), which stand for another family.
QStringList installedFontFamilies();

struct ReportFont {
  QString family = QStringLiteral("Arial");
  int pointSize = 10;
};

// Repairs the page's nesting and lays it out with `font` as the default font, the background
// pictures registered as resources and 20-pixel top and bottom page margins. An empty or
// unparsable page gives an empty document.
std::unique_ptr<QTextDocument> makeReportDocument(const std::string& html, const ReportFont& font);

// Prints every page of `doc` on `printer` (whatever page range the printer was given) with
// 2 cm margins.
void printReportDocument(const QTextDocument& doc, QPrinter& printer);

// The page's text as the clipboard gets it: one line per paragraph, the cells of a table row
// separated by tabs, a cell's line breaks as blanks.
QString reportPlainText(const QTextDocument& doc);

}  // namespace kelvaro::reports
