#include "app/cli/command.h"
#include "app/cli/support_site.h"

namespace kelvaro::cli {
namespace {

int run(const std::vector<std::string>& argv, Io& io) {
  Args args = parseSiteCommand(argv, {{"--time"}, {"--json", false}, {"--output"}});
  SiteTime site = readSite(args);
  ClockTime t = parseClockTime(args, "--time", true);
  SunPosition p = ComputeSunPosition(site.Date, site.dst(), t.decimal(), site.zone(), site.latitude(),
                                     site.longitude());
  const NamedNumbers fields = {
      {"GeometricLongitude", p.GeometricLongitude},
      {"Distance", p.Distance},
      {"GeometricRightAscension", p.GeometricRightAscension},
      {"GeometricDeclination", p.GeometricDeclination},
      {"ApparentLongitude", p.ApparentLongitude},
      {"RightAscension", p.RightAscension},
      {"Declination", p.Declination},
      {"HourAngle", p.HourAngle},
      {"Azimuth", p.Azimuth},
      {"Altitude", p.Altitude},
      {"LocalTime", p.LocalTime},
  };
  std::string text = namedNumbersText(args, fields);
  emit(args, io, text);
  return kOk;
}

}  // namespace
KELVARO_CLI_COMMAND("sun", "the sun's position for a site, date and local civil time",
                    "kelvaro-cli sun [--lat 52:00:00N] [--lon 0:07:00W] [--zone -5:30] [--dst 1]\n"
                    "                [--date 2024-06-21] --time 12:00[:SS] [--json] [--output FILE]\n"
                    "  prints the eleven values of the sun's position (degrees, hours, AU)",
                    run);
}  // namespace kelvaro::cli
