#include "reports/SCalcCore.h"

#include "shadow/Profile.h"
#include "shadow/SunPath.h"

namespace kelvaro {
namespace {

const char* const kCaptions[] = {
    "Latitude:",
    "Longitude:",
    "Date:",
    "Time Zone:",
    "Daylight Saving:",
    "Local Civil Time:",
    "On this date, Sunrise:",
    "Sunset:",
    "Solar Noon:",
    "Rise Azimuth:",
    "Set Azimuth:",
    "Altitude at Solar Noon:",
    "At this time, Solar Azimuth:",
    "Solar Altitude:",
    "A structure 1000mm high would cast a Shadow of:",
    "at an Angle of:",
};

enum Index {
  kLatitude,
  kLongitude,
  kDate,
  kZone,
  kDst,
  kTime,
  kSunrise,
  kSunset,
  kNoon,
  kRiseAz,
  kSetAz,
  kNoonAlt,
  kAzimuth,
  kAltitude,
  kShadow,
  kAngle,
};

}  // namespace

std::string SolarCalculatorPage::value(const std::string& caption) const {
  for (const auto& l : Labels)
    if (l.Caption == caption) return l.Value;
  return {};
}

SolarCalculatorPage EmptyCalculatorPage() {
  SolarCalculatorPage page;
  for (const char* c : kCaptions) page.Labels.push_back({c, kCalculatorEmptyValue});
  return page;
}

SolarCalculatorPage ComputeSolarCalculator(SiteTime& site, int hours, int minutes, const DateLocale& locale) {
  SolarCalculatorPage page = EmptyCalculatorPage();
  auto& v = page.Labels;
  v[kLatitude].Value = site.LatitudeText;
  v[kLongitude].Value = site.LongitudeText;
  v[kDate].Value = FormatDate(site.Date, "mmmm dd, yyyy", locale);
  v[kZone].Value = site.TimeZoneText;
  v[kDst].Value = site.DaylightSavingText;
  v[kTime].Value = std::to_string(hours) + ":" + Pad2(minutes);

  if (CheckRiseSet(site)) {
    const RiseSetTimes& rs = site.RiseSet;
    v[kSunrise].Value = FormatTime(rs.RiseLCT) + " ";
    v[kSunset].Value = FormatTime(rs.SetLCT);
    v[kRiseAz].Value = FormatAngle(rs.RiseAzimuth);
    v[kSetAz].Value = FormatAngle(rs.SetAzimuth);
    // Noon comes from the site's meridian at the equator, so it exists on polar days too.
    // An ambiguous time there is not the check's to handle: it leaves to the caller.
    double noon = SolarNoon(site.Date, site.dst(), site.zone(), site.longitude());
    v[kNoon].Value = FormatTime(noon);
    SunPosition p = ComputeSunPosition(site.Date, site.dst(), noon, site.zone(), site.latitude(), site.longitude());
    v[kNoonAlt].Value = FormatSignedAngle(p.Altitude);
  }

  double t = hours + minutes / 60.0;
  SunPosition p = ComputeSunPosition(site.Date, site.dst(), t, site.zone(), site.latitude(), site.longitude());
  site.Sun = p;
  v[kAzimuth].Value = FormatAngle(p.Azimuth);
  v[kAltitude].Value = FormatSignedAngle(p.Altitude);
  if (p.Altitude >= 1) {
    v[kShadow].Value = FormatWhole(ShadowLengthOf(1000, p.Altitude)) + "mm";
    v[kAngle].Value = FormatAngle(ShadowBearingOf(p.Azimuth));
  } else {
    v[kShadow].Value = kNotAvailable;
    v[kAngle].Value = kNotAvailable;
  }
  return page;
}

}  // namespace kelvaro
