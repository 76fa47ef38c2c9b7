#include "reports/ReportDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>
#include <QPrinter>
#include <QStringList>
#include <QTextBlock>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>
#include <cstdint>
#include <exception>

#include "reports/HtmlRepair.h"

namespace kelvaro::reports {
namespace {

// A soft paper-like stipple: a pale base with scattered slightly darker and lighter dots.
QImage makeStipple(QRgb base, int seed) {
  const int size = 96;
  QImage img(size, size, QImage::Format_RGB32);
  img.fill(base);
  std::uint32_t state = 0x9E3779B9u ^ static_cast<std::uint32_t>(seed);
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  for (int i = 0; i < size * size / 5; ++i) {
    int x = next() % size;
    int y = next() % size;
    int shade = static_cast<int>(next() % 13) - 8;  // mostly a touch darker than the base
    QColor c(base);
    img.setPixel(x, y, qRgb(qBound(0, c.red() + shade, 255), qBound(0, c.green() + shade, 255),
                            qBound(0, c.blue() + shade, 255)));
  }
  return img;
}

using Lines = QStringList;

QString blockText(const QTextBlock& b) {
  QString t = b.text();
  t.replace(QChar::LineSeparator, QLatin1Char('\n'));
  t.replace(QChar::Nbsp, QLatin1Char(' '));
  return t;
}

void frameLines(QTextFrame* frame, Lines& out);

// Lines of one table cell, and whether the cell holds a nested frame.
Lines cellLines(const QTextTableCell& cell, bool& nested) {
  Lines lines;
  for (auto it = cell.begin(); !it.atEnd(); ++it) {
    if (QTextFrame* f = it.currentFrame()) {
      nested = true;
      frameLines(f, lines);
    } else if (it.currentBlock().isValid()) {
      lines += blockText(it.currentBlock()).split(QLatin1Char('\n'));
    }
  }
  return lines;
}

void tableLines(QTextTable* table, Lines& out) {
  for (int r = 0; r < table->rows(); ++r) {
    QStringList cells;
    Lines blockLines;
    bool nested = false;
    int count = 0;
    for (int c = 0; c < table->columns(); ++c) {
      QTextTableCell cell = table->cellAt(r, c);
      if (!cell.isValid() || cell.row() != r || cell.column() != c) continue;
      ++count;
      Lines lines = cellLines(cell, nested);
      while (!lines.isEmpty() && lines.first().trimmed().isEmpty()) lines.removeFirst();
      while (!lines.isEmpty() && lines.last().trimmed().isEmpty()) lines.removeLast();
      blockLines += lines;
      cells << lines.join(QLatin1Char(' ')).simplified();
    }
    if (nested || count == 1) {  // a cell that is a page region keeps its lines
      out += blockLines;
    } else {
      while (!cells.isEmpty() && cells.last().isEmpty()) cells.removeLast();
      if (!cells.isEmpty()) out << cells.join(QLatin1Char('\t'));
    }
  }
}

void frameLines(QTextFrame* frame, Lines& out) {
  if (auto* table = qobject_cast<QTextTable*>(frame)) {
    tableLines(table, out);
    return;
  }
  for (auto it = frame->begin(); !it.atEnd(); ++it) {
    if (QTextFrame* f = it.currentFrame())
      frameLines(f, out);
    else if (it.currentBlock().isValid())
      out += blockText(it.currentBlock()).split(QLatin1Char('\n'));
  }
}

// Column widths as a browser resolves them within a table's declared width: percentages that
// add up to less than the whole are stretched to it (33% three times fills the table), and
// fixed column widths that together with the cell spacing overrun it are narrowed to fit.
// The view would instead leave the table short, or take each fixed width as a minimum and
// grow the table.
void fitColumnWidths(QTextTable* table) {
  QTextTableFormat f = table->format();
  if (f.width().type() != QTextLength::FixedLength) return;
  QList<QTextLength> columns = f.columnWidthConstraints();
  if (columns.isEmpty() || columns.size() != table->columns()) return;
  bool allPercent = true, allFixed = true;
  qreal sum = 0;
  for (const QTextLength& c : columns) {
    allPercent = allPercent && c.type() == QTextLength::PercentageLength;
    allFixed = allFixed && c.type() == QTextLength::FixedLength;
    sum += c.rawValue();
  }
  if (sum <= 0) return;
  if (allPercent && sum < 100) {
    for (QTextLength& c : columns) c = QTextLength(QTextLength::PercentageLength, c.rawValue() * 100 / sum);
  } else if (allFixed) {
    const qreal room = f.width().rawValue() - 2 * (f.border() + f.padding()) - f.leftMargin() - f.rightMargin() -
                       columns.size() * 2 * f.border() - (columns.size() + 1) * f.cellSpacing();
    if (room <= 0 || sum <= room) return;
    for (QTextLength& c : columns) c = QTextLength(QTextLength::FixedLength, c.rawValue() * room / sum);
  } else {
    return;
  }
  f.setColumnWidthConstraints(columns);
  table->setFormat(f);
}

void fitColumnWidths(QTextFrame* frame) {
  if (auto* table = qobject_cast<QTextTable*>(frame)) fitColumnWidths(table);
  for (QTextFrame* child : frame->childFrames()) fitColumnWidths(child);
}

}  // namespace

QImage reportBackground(const QString& name) {
  if (name == QLatin1String("stippl1.jpg")) {
    static const QImage img = makeStipple(qRgb(0xF6, 0xF3, 0xEA), 1);
    return img;
  }
  if (name == QLatin1String("stippl2.jpg")) {
    static const QImage img = makeStipple(qRgb(0xEE, 0xF2, 0xF6), 2);
    return img;
  }
  return {};
}

namespace {
// "Nimbus Sans [URW ]" -> "Nimbus Sans".
QString withoutFoundry(const QString& family) {
  const int bracket = family.lastIndexOf(QLatin1String(" ["));
  if (bracket > 0 && family.endsWith(QLatin1Char(']'))) return family.left(bracket);
  return family;
}
}  // namespace

QString resolvedFontFamily(const QString& name) {
  // An installed family resolves to itself (with its foundry when it has several).
  return withoutFoundry(QFontInfo(QFont(name)).family());
}

QStringList installedFontFamilies() {
  QStringList out;
  for (const QString& listed : QFontDatabase::families()) {
    // An alias resolves to the family it stands for; a real family (with or without its
    // foundry) resolves to itself.
    if (QFontInfo(QFont(listed)).family() != listed) continue;
    out << withoutFoundry(listed);
  }
  out.sort(Qt::CaseInsensitive);
  out.removeDuplicates();
  return out;
}

std::unique_ptr<QTextDocument> makeReportDocument(const std::string& html, const ReportFont& font) {
  auto doc = std::make_unique<QTextDocument>();
  QFont f(font.family);
  f.setPointSize(font.pointSize);
  doc->setDefaultFont(f);
  // Words are never broken: a table whose words do not fit its width grows, as in a browser.
  QTextOption wrap = doc->defaultTextOption();
  wrap.setWrapMode(QTextOption::WordWrap);
  doc->setDefaultTextOption(wrap);
  for (const char* name : {"stippl1.jpg", "stippl2.jpg"})
    doc->addResource(QTextDocument::ImageResource, QUrl(QString::fromLatin1(name)), reportBackground(QString::fromLatin1(name)));
  if (!html.empty()) {
    std::string repaired;
    try {
      repaired = repairReportHtml(html);
    } catch (const std::exception&) {
      repaired.clear();
    }
    doc->setHtml(QString::fromStdString(repaired));
    fitColumnWidths(doc->rootFrame());
  }
  QTextFrameFormat root = doc->rootFrame()->frameFormat();
  root.setTopMargin(20);
  root.setBottomMargin(20);
  root.setLeftMargin(10);
  root.setRightMargin(10);
  doc->rootFrame()->setFrameFormat(root);
  return doc;
}

void printReportDocument(const QTextDocument& doc, QPrinter& printer) {
  // Every page, whatever range the print dialog offered.
  printer.setPrintRange(QPrinter::AllPages);
  printer.setFromTo(0, 0);
  doc.print(&printer);
}

QString reportPlainText(const QTextDocument& doc) {
  Lines lines;
  frameLines(doc.rootFrame(), lines);
  // Collapse runs of empty lines left by spacing paragraphs.
  QStringList out;
  for (const QString& l : lines) {
    QString t = l.trimmed();
    if (t.isEmpty() && (out.isEmpty() || out.last().isEmpty())) continue;
    out << t;
  }
  while (!out.isEmpty() && out.last().isEmpty()) out.removeLast();
  return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

}  // namespace kelvaro::reports
