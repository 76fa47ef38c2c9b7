#include "ephemeris/Format.h"

#include <cmath>

namespace kelvaro {

std::string Pad2(long long n) {
  std::string s = std::to_string(n < 0 ? -n : n);
  if (s.size() < 2) s.insert(0, 2 - s.size(), '0');
  return n < 0 ? "-" + s : s;
}

double RoundHalfEven(double x) {
  double r = std::round(x);
  if (std::fabs(x - std::trunc(x)) == 0.5) r = 2.0 * std::round(x / 2.0);
  return r;
}

namespace {
// Beyond this the parts no longer fit a whole-number type.
constexpr double kLargest = 1e15;

int dateField(double v) { return std::isfinite(v) && std::fabs(v) < 1e9 ? static_cast<int>(v) : 0; }
}  // namespace

DmsParts RoundedDms(double x) {
  if (!std::isfinite(x) || std::fabs(x) > kLargest) return {};
  DmsAngle a = DecimalToDms(x);
  DmsParts p;
  p.First = static_cast<long long>(RoundHalfEven(a.Degrees));
  p.Minutes = static_cast<long long>(RoundHalfEven(a.Minutes));
  p.Seconds = static_cast<long long>(RoundHalfEven(a.Seconds));
  p.Negative = a.Sign == -1;
  return p;
}

std::string FormatDms(double x, bool padFirst, bool withSign) {
  if (!std::isfinite(x) || std::fabs(x) > kLargest) return kNotAvailable;
  DmsParts p = RoundedDms(x);
  std::string s = (withSign && p.Negative) ? "-" : "";
  s += padFirst ? Pad2(p.First) : std::to_string(p.First);
  s += ":" + Pad2(p.Minutes) + ":" + Pad2(p.Seconds);
  return s;
}

std::string FormatWhole(double x) {
  if (!std::isfinite(x) || std::fabs(x) > kLargest) return kNotAvailable;
  double r = RoundHalfEven(x);
  if (r == 0) r = 0;  // no "-0"
  return std::to_string(static_cast<long long>(r));
}

namespace {
DateLocale& defaultLocale() {
  static DateLocale locale;
  return locale;
}
}  // namespace

const DateLocale& DefaultDateLocale() { return defaultLocale(); }

void SetDefaultDateLocale(const DateLocale& locale) { defaultLocale() = locale; }

int DayOfWeek(const CalendarDate& date) {
  // Proleptic Gregorian day count (Howard Hinnant's days_from_civil), 1970-01-01 a Thursday.
  long long y = dateField(date.Year);
  long long m = dateField(date.Month);
  long long d = dateField(date.Day);
  y -= m <= 2;
  long long era = (y >= 0 ? y : y - 399) / 400;
  long long yoe = y - era * 400;
  long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  long long days = era * 146097 + doe - 719468;
  long long w = (days + 4) % 7;
  return static_cast<int>(w < 0 ? w + 7 : w);
}

std::string FormatDate(const CalendarDate& date, std::string_view pattern, const DateLocale& locale) {
  std::string out;
  const int day = dateField(date.Day);
  const int month = dateField(date.Month);
  const int year = dateField(date.Year);
  const int mi = (month >= 1 && month <= 12) ? month - 1 : 0;
  size_t i = 0;
  auto run = [&](char c) {
    size_t n = 0;
    while (i + n < pattern.size() && (pattern[i + n] | 0x20) == c) ++n;
    return n;
  };
  while (i < pattern.size()) {
    char c = pattern[i];
    char lc = static_cast<char>(c | 0x20);
    if (c == '\'' || c == '"') {
      size_t end = pattern.find(c, i + 1);
      if (end == std::string_view::npos) end = pattern.size();
      out.append(pattern.substr(i + 1, end - i - 1));
      i = end + 1;
    } else if (c == '/') {
      out += locale.DateSeparator;
      ++i;
    } else if (lc == 'd') {
      size_t n = run('d');
      if (n == 1) out += std::to_string(day);
      else if (n == 2) out += Pad2(day);
      else if (n == 3) out += locale.ShortDayNames[DayOfWeek(date)];
      else if (n == 4) out += locale.LongDayNames[DayOfWeek(date)];
      else if (n == 5) out += FormatDate(date, locale.ShortDateFormat, locale);
      else out += FormatDate(date, locale.LongDateFormat, locale);
      i += n;
    } else if (lc == 'm') {
      size_t n = run('m');
      if (n == 1) out += std::to_string(month);
      else if (n == 2) out += Pad2(month);
      else if (n == 3) out += locale.ShortMonthNames[mi];
      else out += locale.LongMonthNames[mi];
      i += n;
    } else if (lc == 'y') {
      size_t n = run('y');
      if (n <= 2) out += Pad2(((year % 100) + 100) % 100);
      else out += std::to_string(year);
      i += n;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

}  // namespace kelvaro

#include <ctime>

namespace kelvaro {
CalendarDate Today() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return {double(tm.tm_mday), double(tm.tm_mon + 1), double(tm.tm_year + 1900)};
}
}  // namespace kelvaro
