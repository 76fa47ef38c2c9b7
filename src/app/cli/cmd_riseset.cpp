#include "app/cli/command.h"
#include "app/cli/support_site.h"
#include "ephemeris/Format.h"

namespace kelvaro::cli {
namespace {

int run(const std::vector<std::string>& argv, Io& io) {
  Args args = parseSiteCommand(argv, {{"--json", false}, {"--output"}});
  SiteTime site = readSite(args);
  RiseSetTimes rs;
  try {
    rs = SunriseSunset(site.Date, site.dst(), site.zone(), site.latitude(), site.longitude());
  } catch (const EEphemerisError& e) {
    throw Failure(e.what());
  }
  const NamedNumbers fields = {
      {"RiseUT", rs.RiseUT},   {"RiseLCT", rs.RiseLCT}, {"RiseAzimuth", rs.RiseAzimuth},
      {"SetUT", rs.SetUT},     {"SetLCT", rs.SetLCT},   {"SetAzimuth", rs.SetAzimuth},
      {"SolarNoon", SolarNoonOf(rs)},
  };
  // Text output adds each value as h:mm:ss or d:mm:ss.
  std::string text = namedNumbersText(args, fields, [](const std::string& name, double value) {
    bool angle = name.find("Azimuth") != std::string::npos;
    return " (" + (angle ? FormatAngle(value) : FormatTime(value)) + ")";
  });
  emit(args, io, text);
  return kOk;
}

}  // namespace
KELVARO_CLI_COMMAND("riseset", "sunrise, sunset and solar noon for a site and date",
                    "kelvaro-cli riseset [--lat 52:00:00N] [--lon 0:07:00W] [--zone -5:30] [--dst 1]\n"
                    "                    [--date 2024-06-21] [--json] [--output FILE]\n"
                    "  prints RiseUT, RiseLCT, RiseAzimuth, SetUT, SetLCT, SetAzimuth and SolarNoon\n"
                    "  (SolarNoon halfway between the local rise and set times); exits 3 with the\n"
                    "  ephemeris' message when the sun never rises or sets or a time is ambiguous",
                    run);
}  // namespace kelvaro::cli
