#include <map>

#include "app/cli/command.h"
#include "app/cli/support_report.h"
#include "app/cli/support_site.h"
#include "app/version.h"
#include "platform/notify.h"
#include "reports/ReportBuilder.h"

namespace kelvaro::cli {
namespace {

enum class Kind { Sunrise, RiseSetAz, NoonAlt, AzAlt, HsaVsa, Incidence, HShadow, VShadow };

const std::map<std::string, Kind> kKinds{{"sunrise", Kind::Sunrise}, {"risesetaz", Kind::RiseSetAz},
                                         {"noonalt", Kind::NoonAlt}, {"azalt", Kind::AzAlt},
                                         {"hsavsa", Kind::HsaVsa},   {"incidence", Kind::Incidence},
                                         {"hshadow", Kind::HShadow}, {"vshadow", Kind::VShadow}};

CalendarDate parseToday(const Args& args) {
  auto text = args.get("--today");
  if (!text) return Today();
  // The same date syntax as --date, read through the site parser.
  Args probe;
  probe.values["--date"] = *text;
  try {
    SiteInputs in = parseSiteInputs(probe);
    return {double(in.Day), double(in.Month), double(in.Year)};
  } catch (const UsageError&) {
    throw UsageError("invalid value for --today: '" + *text + "' (YYYY-MM-DD)");
  }
}

std::string build(Kind kind, const Args& args, reports::ReportInputs& in) {
  switch (kind) {
    case Kind::Sunrise: return reports::BuildSunriseSunsetReport(in);
    case Kind::RiseSetAz: return reports::BuildRiseSetAzimuthReport(in);
    case Kind::NoonAlt: return reports::BuildNoonAltitudeReport(in);
    case Kind::AzAlt: return reports::BuildAzimuthAltitudeReport(in);
    case Kind::HsaVsa: return reports::BuildShadowAngleReport(in);
    case Kind::Incidence:
      in.Site.Inclination = intOption(args, "--inclination", 0, 90, 60);
      return reports::BuildIncidenceReport(in);
    case Kind::HShadow:
    case Kind::VShadow: {
      ProfileInputs dims;
      dims.Height = intOption(args, "--height", 1, 999999, 2000);
      dims.TextHeight = intOption(args, "--text-height", 1, 999999, 100);
      dims.Threshold = intOption(args, "--threshold", 1, 45, 10);
      std::string units = args.get("--units").value_or("mm");
      if (units != "mm" && units != "inches")
        throw UsageError("invalid value for --units: '" + units + "' (mm or inches)");
      dims.Inches = units == "inches";
      std::string heightText = args.get("--height").value_or("2000");
      ShadowProfile profile;
      return kind == Kind::HShadow ? reports::BuildHorizontalShadowData(in, dims, heightText, profile)
                                   : reports::BuildVerticalShadowData(in, dims, heightText, profile);
    }
  }
  return {};
}

int run(const std::vector<std::string>& argv, Io& io) {
  auto specs = siteOptions();
  specs.insert(specs.end(), {{"--orientation"}, {"--inclination"}, {"--height"}, {"--text-height"}, {"--threshold"},
                             {"--units"}, {"--output"}, {"--pdf"}, {"--today"}, {"--font"}, {"--font-size"}});
  Args args = parseArgs(argv, specs);
  if (args.positional.empty()) throw UsageError("missing argument KIND");
  auto kind = kKinds.find(args.positional[0]);
  if (kind == kKinds.end()) throw UsageError("invalid value for KIND: '" + args.positional[0] + "'");
  if (args.positional.size() > 1) throw UsageError("unexpected argument " + args.positional[1]);

  SiteInputs site = parseSiteInputs(args);
  site.Orientation = intOption(args, "--orientation", 0, 359, 135);
  reports::ReportInputs in;
  ReadSiteInputs(site, in.Site);
  in.Date = in.Site.Date;
  in.Today = parseToday(args);
  in.ApplicationTitle = kApplicationTitle;
  ReportPdfOptions pdf;
  pdf.fontName = args.get("--font").value_or(pdf.fontName);
  pdf.fontSize = intOption(args, "--font-size", 6, 999, pdf.fontSize);  // as the window's size box takes it
  if (args.has("--pdf") && !reportPdfWriter()) throw UsageError("--pdf: this build has no printing");

  std::string page;
  try {
    page = build(kind->second, args, in);
  } catch (const EEphemerisError& e) {
    // The window's general error handler would show this and no page.
    showError(e.what());
    return kFailed;
  }
  if (page.empty()) return kFailed;  // the profile has reported why
  if (auto path = args.get("--pdf")) reportPdfWriter()(page, *path, pdf);
  if (!args.has("--pdf") || args.has("--output")) emit(args, io, page);
  return kOk;
}

}  // namespace
KELVARO_CLI_COMMAND(
    "report", "one of the eight solar reports as its HTML page (or printed to PDF)",
    "kelvaro-cli report KIND [--lat 52:00:00N] [--lon 0:07:00W] [--zone -5:30] [--dst 1] [--date 2024-06-21]\n"
    "                   [--orientation 135] [--inclination 60] [--height 2000 --text-height 100 --threshold 10\n"
    "                   --units mm|inches] [--today 2024-06-21] [--output FILE] [--pdf FILE]\n"
    "                   [--font Arial] [--font-size 10]\n"
    "  KIND: sunrise, risesetaz, noonalt (daily, 31 days from the first of the month), azalt, hsavsa,\n"
    "  incidence (hourly), hshadow, vshadow (shadow data of the profile). Writes the page to stdout or\n"
    "  --output; --pdf prints it as the report window's Print does (font and size as its boxes).\n"
    "  --today fixes the date in the footer. Exits 3 after the message when no page can be made.",
    run);
}  // namespace kelvaro::cli
