#include "reports/QtDateLocale.h"

namespace kelvaro {
namespace {

// Qt writes months with "M"; the plain formatter, like the classic patterns, with "m".
std::string toClassicPattern(const QString& qt) {
  std::string out;
  bool quoted = false;
  for (QChar c : qt) {
    if (c == QLatin1Char('\'')) quoted = !quoted;
    out += (!quoted && c == QLatin1Char('M')) ? std::string("m") : QString(c).toStdString();
  }
  return out;
}

// The first character between the date fields of the short format ("/", ".", "-").
std::string separatorOf(const QString& shortFormat) {
  for (QChar c : shortFormat)
    if (!c.isLetter() && c != QLatin1Char('\'') && !c.isSpace()) return QString(c).toStdString();
  return "/";
}

}  // namespace

DateLocale DateLocaleFrom(const QLocale& locale) {
  DateLocale d;
  for (int m = 1; m <= 12; ++m) {
    d.LongMonthNames[m - 1] = locale.monthName(m, QLocale::LongFormat).toStdString();
    d.ShortMonthNames[m - 1] = locale.monthName(m, QLocale::ShortFormat).toStdString();
  }
  // Qt counts Monday = 1 .. Sunday = 7; the formatter Sunday = 0.
  for (int w = 0; w < 7; ++w) {
    int qtDay = w == 0 ? 7 : w;
    d.LongDayNames[w] = locale.dayName(qtDay, QLocale::LongFormat).toStdString();
    d.ShortDayNames[w] = locale.dayName(qtDay, QLocale::ShortFormat).toStdString();
  }
  QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
  d.DateSeparator = separatorOf(shortFormat);
  d.ShortDateFormat = toClassicPattern(shortFormat);
  d.LongDateFormat = toClassicPattern(locale.dateFormat(QLocale::LongFormat));
  return d;
}

DateLocale SystemDateLocale() { return DateLocaleFrom(QLocale::system()); }

}  // namespace kelvaro
