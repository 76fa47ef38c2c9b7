#include "cadkit/acad_date.h"

#include <chrono>

namespace kelvaro::cad {

// Julian day number <-> Gregorian date (Fliegel and Van Flandern).
CivilDateTime decodeAcadDate(AcadDate d) {
  CivilDateTime t;
  long long l = static_cast<long long>(d.day) + 68569;
  long long n = 4 * l / 146097;
  l -= (146097 * n + 3) / 4;
  long long i = 4000 * (l + 1) / 1461001;
  l -= 1461 * i / 4 - 31;
  long long j = 80 * l / 2447;
  t.day = static_cast<int>(l - 2447 * j / 80);
  l = j / 11;
  t.month = static_cast<int>(j + 2 - 12 * l);
  t.year = static_cast<int>(100 * (n - 49) + i + l);
  long long ms = d.ms < 0 ? 0 : d.ms;
  long long s = (ms + 500) / 1000;
  if (s >= 86400) s = 86399;
  t.hour = static_cast<int>(s / 3600);
  t.minute = static_cast<int>(s / 60 % 60);
  t.second = static_cast<int>(s % 60);
  return t;
}

AcadDate encodeAcadDate(const CivilDateTime& t) {
  long long a = (14 - t.month) / 12;
  long long y = t.year + 4800 - a;
  long long m = t.month + 12 * a - 3;
  long long jdn = t.day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
  return AcadDate{static_cast<std::int32_t>(jdn), (t.hour * 3600 + t.minute * 60 + t.second) * 1000};
}

void decodeAcadTime(AcadDate span, int& days, int& hours, int& minutes, int& seconds) {
  days = span.day < 0 ? 0 : span.day;
  long long s = (static_cast<long long>(span.ms < 0 ? 0 : span.ms) + 500) / 1000;
  hours = static_cast<int>(s / 3600);
  minutes = static_cast<int>(s / 60 % 60);
  seconds = static_cast<int>(s % 60);
}

AcadDate acadNow() {
  using namespace std::chrono;
  auto now = system_clock::now();
  auto days = floor<std::chrono::days>(now);
  auto ms = duration_cast<milliseconds>(now - days).count();
  // 1970-01-01 is Julian day 2440588.
  return AcadDate{static_cast<std::int32_t>(days.time_since_epoch().count() + 2440588),
                  static_cast<std::int32_t>(ms)};
}

}  // namespace kelvaro::cad
