#include "app/cli/support_site.h"

#include <cctype>
#include <charconv>

#include "app/cli/json.h"
#include "ephemeris/Format.h"

namespace kelvaro::cli {
namespace {

bool toInt(const std::string& s, int& v) {
  if (s.empty()) return false;
  const char* b = s.data();
  const char* e = b + s.size();
  if (*b == '+') ++b;
  auto [p, ec] = std::from_chars(b, e, v);
  return ec == std::errc() && p == e && b != e;
}

[[noreturn]] void bad(const std::string& name, const std::string& value, const std::string& why) {
  throw UsageError("invalid value for " + name + ": '" + value + "' (" + why + ")");
}

// "D", "D:M" or "D:M:S" followed by one of two hemisphere letters.
struct Dms {
  int d = 0, m = 0, s = 0;
  bool second = false;  // the second letter (S or E) was given
};
Dms parseDms(const Args& args, const std::string& name, char first, char second, int maxDegrees) {
  std::string v = *args.get(name);
  std::string why = std::string("expected D[:MM[:SS]] followed by ") + first + " or " + second;
  if (v.size() < 2) bad(name, v, why);
  char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(v.back())));
  if (letter != first && letter != second) bad(name, v, why);
  std::string body = v.substr(0, v.size() - 1);
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t colon = body.find(':', start);
    parts.push_back(body.substr(start, colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (parts.size() > 3) bad(name, v, why);
  int n[3] = {0, 0, 0};
  for (size_t i = 0; i < parts.size(); ++i)
    if (parts[i].empty() || parts[i][0] == '+' || parts[i][0] == '-' || !toInt(parts[i], n[i])) bad(name, v, why);
  if (n[0] > maxDegrees) bad(name, v, "degrees 0-" + std::to_string(maxDegrees));
  if (n[1] > 59 || n[2] > 59) bad(name, v, "minutes and seconds 0-59");
  return {n[0], n[1], n[2], letter == second};
}

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

std::string numberText(double v) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string namedNumbersText(const Args& args, const NamedNumbers& fields,
                             const std::function<std::string(const std::string& name, double value)>& note) {
  if (args.flag("--json")) {
    JsonWriter w;
    w.beginObject();
    for (const auto& [name, value] : fields) w.field(name, value);
    w.endObject();
    return w.str();
  }
  std::string text;
  for (const auto& [name, value] : fields)
    text += std::string(name) + ": " + numberText(value) + (note ? note(name, value) : "") + "\n";
  return text;
}

std::vector<OptionSpec> siteOptions() { return {{"--lat"}, {"--lon"}, {"--zone"}, {"--dst"}, {"--date"}}; }

Args parseSiteCommand(const std::vector<std::string>& argv, const std::vector<OptionSpec>& extra) {
  auto specs = siteOptions();
  specs.insert(specs.end(), extra.begin(), extra.end());
  Args args = parseArgs(argv, specs);
  if (!args.positional.empty()) throw UsageError("unexpected argument " + args.positional.front());
  return args;
}

int intOption(const Args& args, const std::string& name, int lo, int hi, int fallback) {
  auto v = args.get(name);
  if (!v) return fallback;
  int n = 0;
  if (!toInt(*v, n)) bad(name, *v, "expected a whole number");
  if (n < lo || n > hi) bad(name, *v, std::to_string(lo) + "-" + std::to_string(hi));
  return n;
}

SiteInputs parseSiteInputs(const Args& args) {
  SiteInputs in;
  if (args.has("--lat")) {
    Dms d = parseDms(args, "--lat", 'N', 'S', 89);
    in.LatDegrees = d.d;
    in.LatMinutes = d.m;
    in.LatSeconds = d.s;
    in.South = d.second;
  }
  if (args.has("--lon")) {
    Dms d = parseDms(args, "--lon", 'W', 'E', 180);
    in.LonDegrees = d.d;
    in.LonMinutes = d.m;
    in.LonSeconds = d.s;
    in.East = d.second;
  }
  if (auto z = args.get("--zone")) {
    std::string hours = *z, minutes = "0";
    if (auto colon = z->find(':'); colon != std::string::npos) {
      hours = z->substr(0, colon);
      minutes = z->substr(colon + 1);
    }
    int h = 0, m = 0;
    if (!toInt(hours, h) || minutes.empty() || minutes[0] == '-' || minutes[0] == '+' || !toInt(minutes, m))
      bad("--zone", *z, "expected hours[:minutes], e.g. -5:30");
    if (h < -12 || h > 14) bad("--zone", *z, "hours -12-14");
    if (m < 0 || m > 45) bad("--zone", *z, "minutes 0-45");
    in.ZoneHours = h;
    in.ZoneMinutes = m;
  }
  in.DaylightSaving = intOption(args, "--dst", 0, 6, 0);
  if (auto d = args.get("--date")) {
    int y = 0, mo = 0, day = 0;
    bool ok = d->size() == 10 && (*d)[4] == '-' && (*d)[7] == '-' && toInt(d->substr(0, 4), y) &&
              toInt(d->substr(5, 2), mo) && toInt(d->substr(8, 2), day);
    if (!ok) bad("--date", *d, "expected YYYY-MM-DD");
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || mo < 1 || mo > 12 || day < 1 || day > days[mo - 1] + (mo == 2 && isLeap(y) ? 1 : 0))
      bad("--date", *d, "no such date");
    in.Year = y;
    in.Month = mo;
    in.Day = day;
  } else {
    CalendarDate t = Today();
    in.Year = static_cast<int>(t.Year);
    in.Month = static_cast<int>(t.Month);
    in.Day = static_cast<int>(t.Day);
  }
  return in;
}

SiteTime readSite(const Args& args) {
  SiteTime site;
  ReadSiteInputs(parseSiteInputs(args), site);
  return site;
}

ClockTime parseClockTime(const Args& args, const std::string& name, bool allowSeconds) {
  const std::string& v = args.require(name);
  std::string why = allowSeconds ? "expected H:MM or H:MM:SS" : "expected H:MM";
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t colon = v.find(':', start);
    parts.push_back(v.substr(start, colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (parts.size() < 2 || parts.size() > (allowSeconds ? 3u : 2u)) bad(name, v, why);
  int n[3] = {0, 0, 0};
  for (size_t i = 0; i < parts.size(); ++i) {
    if (parts[i].empty() || parts[i][0] == '+' || parts[i][0] == '-' || !toInt(parts[i], n[i])) bad(name, v, why);
    if (i > 0 && parts[i].size() != 2) bad(name, v, why);
  }
  if (n[0] > 23) bad(name, v, "hours 0-23");
  if (n[1] > 59 || n[2] > 59) bad(name, v, "minutes and seconds 0-59");
  return {n[0], n[1], n[2]};
}

}  // namespace kelvaro::cli
