#pragma once
// The solar report family: eight HTML pages built from the analysis inputs. Daily pages have
// one row per day for 31 days from the first of the chosen month, hourly pages one row per
// whole hour 1-24 of the chosen date, shadow data pages one row per hour of a shadow profile.
// Plain C++: the settings dialog and the batch tool both call these.
#include <string>

#include "ephemeris/Format.h"
#include "ephemeris/SunEphem.h"
#include "shadow/Profile.h"
#include "shadow/SiteTime.h"

namespace kelvaro::reports {

struct ReportInputs {
  SiteTime Site;        // as the input reading left it (Orientation, Inclination, UnitsText set)
  CalendarDate Date;    // the analysis date of the date picker
  CalendarDate Today;   // for the footer
  DateLocale Locale = DefaultDateLocale();
  std::string ApplicationTitle = "Sardon Kelvaro";
};

// Daily pages. An ephemeris error on any day (the sun never rises or sets there, an ambiguous
// conversion) leaves as its exception; no page is built.
std::string BuildSunriseSunsetReport(const ReportInputs& in);
std::string BuildRiseSetAzimuthReport(const ReportInputs& in);
std::string BuildNoonAltitudeReport(const ReportInputs& in);

// Hourly pages. "The sun never sets" is shown as information and the page goes on with sunrise
// and sunset 0; other ephemeris errors leave as exceptions.
std::string BuildAzimuthAltitudeReport(const ReportInputs& in);
std::string BuildShadowAngleReport(const ReportInputs& in);   // uses Site.Orientation
std::string BuildIncidenceReport(const ReportInputs& in);     // Site.Orientation, Site.Inclination

// Shadow data pages: compute the profile into `profile` (ComputeProfile shows its own messages;
// the result is then empty) and write its hours. `heightText` is the structure height as typed.
// The profile computation sets in.Site.UnitsText.
std::string BuildHorizontalShadowData(ReportInputs& in, const ProfileInputs& dims, const std::string& heightText,
                                      ShadowProfile& profile);
std::string BuildVerticalShadowData(ReportInputs& in, const ProfileInputs& dims, const std::string& heightText,
                                    ShadowProfile& profile);

// The shadow data page of an already computed profile.
std::string WriteShadowDataPage(const ReportInputs& in, const ShadowProfile& profile, const std::string& heightText,
                                bool vertical);

// The 31 days of a daily page: day 1 of the date's month and the 30 days after it.
CalendarDate AddDays(const CalendarDate& date, int days);

// The two shadow-angle figures of one hour; "n/a" for both when the sun is below the horizon.
struct ShadowAngles {
  std::string Hsa;
  std::string Vsa;
};
ShadowAngles FormatShadowAngles(double azimuth, double altitude, int orientation);
// The angle of incidence on a surface, or "n/a" when the sun is behind it or below the horizon.
std::string FormatIncidence(double azimuth, double altitude, int orientation, int inclination);

}  // namespace kelvaro::reports
