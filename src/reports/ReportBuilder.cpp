#include "reports/ReportBuilder.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/notify.h"
#include "reports/ReportPage.h"

namespace kelvaro::reports {
namespace {

using page::Column;
using page::DayLength;
using page::DegreesText;
using page::HeaderValues;
using page::Kind;
using page::Member;
using page::Row;

constexpr const char* kNote1 = page::kNoteObserver;
constexpr const char* kNote2 = page::kNoteAtmosphere;
constexpr const char* kNote3 = page::kNoteAzimuth;

constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
constexpr double kRadToDeg = 180.0 / 3.14159265358979323846;

const Column kDate{"Date", "(mm/dd/yy)"};
const Column kSunrise{"Sunrise", "(hh:mm:ss)"};
const Column kSunset{"Sunset", "(hh:mm:ss)"};
const Column kSolarNoon{"Solar Noon", "(hh:mm:ss)"};
const Column kTime{"Local Civil Time", "(hh:mm)"};
const Column kAzimuth{"Solar Azimuth", "(dd:mm:ss)"};
const Column kAltitude{"Solar Altitude", "(dd:mm:ss)"};

const std::vector<std::vector<const char*>> kDailyHeader{{"Latitude", "Time Zone"}, {"Longitude", "Daylight Saving"}};

const Member& SunriseSunsetMember() {
  static const Member m{Kind::Daily, "Daily Sunrise, Sunset and Solar Noon", "stippl1.jpg", kDailyHeader, 500, "25%",
                        {kDate, kSunrise, kSunset, kSolarNoon}, {kNote1, kNote2}};
  return m;
}

const Member& RiseSetAzimuthMember() {
  static const Member m{Kind::Daily, "Daily Sunrise/ Sunset Times & Azimuths", "stippl1.jpg", kDailyHeader, 500, "20%",
                        {kDate, kSunrise, {"Rise Azimuth", "(dd:mm:ss)"}, kSunset, {"Set Azimuth", "(dd:mm:ss)"}},
                        {kNote1, kNote2, kNote3}};
  return m;
}

const Member& NoonAltitudeMember() {
  static const Member m{Kind::Daily, "Daily Altitude at Solar Noon", "stippl1.jpg", kDailyHeader, 400, "33%",
                        {kDate, kSolarNoon, {"Altitude at Solar Noon", "(dd:mm:ss)"}}, {}};
  return m;
}

const Member& AzimuthAltitudeMember() {
  static const Member m{Kind::Hourly, "Hourly Solar Azimuth & Altitude", "stippl1.jpg",
                        {{"Latitude", "Sunrise"}, {"Longitude", "Sunset"}, {"Time Zone", "Solar Noon"},
                         {"Daylight Saving", "Length of Day"}},
                        400, "33%", {kTime, kAzimuth, kAltitude}, {kNote1, kNote2, kNote3}};
  return m;
}

const Member& ShadowAngleMember() {
  static const Member m{
      Kind::Hourly, "Hourly Horizontal & Vertical Shadow Angles", "stippl1.jpg",
      {{"Latitude", "Sunrise"}, {"Longitude", "Sunset"}, {"Time Zone", "Orientation"}, {"Daylight Saving"}}, 600, "20%",
      {kTime, kAzimuth, kAltitude, {"Horizontal Shadow Angle (HSA)", "(dd:mm:ss)"},
       {"Vertical Shadow Angle (VSA)", "(dd:mm:ss)"}},
      {kNote1, kNote2, kNote3,
       "4. Shadow angles refer to the azimuth and altitude of the sun, taken relative to the orientation of a specific surface.",
       "5. The Horizontal Shadow Angle (HSA) is the angle between the orientation of a surface and the solar azimuth.",
       "6. The Vertical Shadow Angle (VSA) is the angle between the HSA and the solar altitude, measured as a normal to the surface plane."}};
  return m;
}

const Member& IncidenceMember() {
  static const Member m{
      Kind::Hourly, "Hourly Angle of Incidence", "stippl1.jpg",
      {{"Latitude", "Sunrise"}, {"Longitude", "Sunset"}, {"Time Zone", "Orientation"}, {"Daylight Saving", "Inclination"}},
      500, "25%", {kTime, kAzimuth, kAltitude, {"Angle of Incidence", "(dd:mm:ss)"}},
      {kNote1, kNote2, kNote3,
       "4. The Angle of Incidence is the angle between the normal to a surface plane and the direction of the sun. "
       "The sun will be perpendicular to the surface if the angle of incidence is zero."}};
  return m;
}

CalendarDate FirstOfMonth(const CalendarDate& d) { return CalendarDate{1, d.Month, d.Year}; }

// Runs `row` for each of the 31 days of a daily page.
template <class RowOf>
std::vector<Row> DailyRows(const ReportInputs& in, RowOf row) {
  std::vector<Row> rows;
  rows.reserve(31);
  CalendarDate first = FirstOfMonth(in.Date);
  for (int i = 0; i < 31; ++i) {
    CalendarDate day = AddDays(first, i);
    Row r{FormatDate(day, "mm/dd/yy", in.Locale)};
    row(day, r);
    rows.push_back(std::move(r));
  }
  return rows;
}

std::string DailyPage(const Member& m, const ReportInputs& in, const std::vector<Row>& rows) {
  return page::Write(m, in, page::SiteHeaderValues(in.Site), rows);
}

// Sunrise and sunset of an hourly page: a sun that never sets is reported and counts as 0.
RiseSetTimes HourlyRiseSet(const ReportInputs& in) {
  const SiteTime& s = in.Site;
  try {
    return SunriseSunset(in.Date, s.dst(), s.zone(), s.latitude(), s.longitude());
  } catch (const ESetError& e) {
    showInfo(e.what());
    return RiseSetTimes{};
  }
}

HeaderValues HourlyHeader(const ReportInputs& in, const RiseSetTimes& rs) {
  HeaderValues v = page::SiteHeaderValues(in.Site);
  v.emplace_back("Sunrise", FormatTimePadded(rs.RiseLCT));
  v.emplace_back("Sunset", FormatTimePadded(rs.SetLCT));
  return v;
}

// One row per whole hour 1-24; `more` appends the page's own columns.
template <class More>
std::vector<Row> HourlyRows(const ReportInputs& in, More more) {
  const SiteTime& s = in.Site;
  std::vector<Row> rows;
  rows.reserve(24);
  for (int h = 1; h <= 24; ++h) {
    SunPosition p = ComputeSunPosition(in.Date, s.dst(), h, s.zone(), s.latitude(), s.longitude());
    Row r{std::to_string(h) + ":00", FormatAngle(p.Azimuth), FormatSignedAngle(p.Altitude)};
    more(p, r);
    rows.push_back(std::move(r));
  }
  return rows;
}

}  // namespace

CalendarDate AddDays(const CalendarDate& date, int days) {
  using namespace std::chrono;
  year_month_day ymd{year{static_cast<int>(date.Year)}, month{static_cast<unsigned>(date.Month)},
                     day{static_cast<unsigned>(date.Day)}};
  year_month_day r{sys_days{ymd} + std::chrono::days{days}};
  return CalendarDate{static_cast<double>(static_cast<unsigned>(r.day())),
                      static_cast<double>(static_cast<unsigned>(r.month())), static_cast<double>(static_cast<int>(r.year()))};
}

ShadowAngles FormatShadowAngles(double azimuth, double altitude, int orientation) {
  if (altitude < 0) return {kNotAvailable, kNotAvailable};
  double hsa = azimuth - orientation;
  if (hsa < 0) hsa += 360;
  double vsa = std::atan(std::tan(altitude * kDegToRad) / std::cos(hsa * kDegToRad)) * kRadToDeg;
  if (vsa < 0 && altitude > 0) vsa += 180;
  return {FormatSignedAngle(hsa), FormatSignedAngle(vsa)};
}

std::string FormatIncidence(double azimuth, double altitude, int orientation, int inclination) {
  double alt = altitude * kDegToRad;
  double inc = inclination * kDegToRad;
  double c = std::sin(alt) * std::cos(inc) + std::cos(alt) * std::cos((azimuth - orientation) * kDegToRad) * std::sin(inc);
  // Rounding can carry the cosine a hair past +-1, where arccos has no value.
  double theta = std::acos(std::clamp(c, -1.0, 1.0)) * kRadToDeg;
  if (theta > 90 || altitude < 0) return kNotAvailable;
  return FormatSignedAngle(theta);
}

std::string BuildSunriseSunsetReport(const ReportInputs& in) {
  const SiteTime& s = in.Site;
  auto rows = DailyRows(in, [&](const CalendarDate& day, Row& r) {
    RiseSetTimes rs = SunriseSunset(day, s.dst(), s.zone(), s.latitude(), s.longitude());
    r.push_back(FormatTime(rs.RiseLCT));
    r.push_back(FormatTime(rs.SetLCT));
    r.push_back(FormatTime(SolarNoon(day, s.dst(), s.zone(), s.longitude())));
  });
  return DailyPage(SunriseSunsetMember(), in, rows);
}

std::string BuildRiseSetAzimuthReport(const ReportInputs& in) {
  const SiteTime& s = in.Site;
  auto rows = DailyRows(in, [&](const CalendarDate& day, Row& r) {
    RiseSetTimes rs = SunriseSunset(day, s.dst(), s.zone(), s.latitude(), s.longitude());
    r.push_back(FormatTime(rs.RiseLCT));
    r.push_back(FormatAngle(rs.RiseAzimuth));
    r.push_back(FormatTime(rs.SetLCT));
    r.push_back(FormatAngle(rs.SetAzimuth));
  });
  return DailyPage(RiseSetAzimuthMember(), in, rows);
}

std::string BuildNoonAltitudeReport(const ReportInputs& in) {
  const SiteTime& s = in.Site;
  auto rows = DailyRows(in, [&](const CalendarDate& day, Row& r) {
    double noon = SolarNoon(day, s.dst(), s.zone(), s.longitude());
    SunPosition p = ComputeSunPosition(day, s.dst(), noon, s.zone(), s.latitude(), s.longitude());
    r.push_back(FormatTime(noon));
    r.push_back(FormatSignedAngle(p.Altitude));
  });
  return DailyPage(NoonAltitudeMember(), in, rows);
}

std::string BuildAzimuthAltitudeReport(const ReportInputs& in) {
  const SiteTime& s = in.Site;
  RiseSetTimes rs = HourlyRiseSet(in);
  HeaderValues v = HourlyHeader(in, rs);
  v.emplace_back("Length of Day", FormatTimePadded(DayLength(rs.RiseLCT, rs.SetLCT)));
  v.emplace_back("Solar Noon", FormatTime(SolarNoon(in.Date, s.dst(), s.zone(), s.longitude())));
  auto rows = HourlyRows(in, [](const SunPosition&, Row&) {});
  return page::Write(AzimuthAltitudeMember(), in, v, rows);
}

std::string BuildShadowAngleReport(const ReportInputs& in) {
  RiseSetTimes rs = HourlyRiseSet(in);
  HeaderValues v = HourlyHeader(in, rs);
  v.emplace_back("Orientation", DegreesText(in.Site.Orientation));
  auto rows = HourlyRows(in, [&](const SunPosition& p, Row& r) {
    ShadowAngles a = FormatShadowAngles(p.Azimuth, p.Altitude, in.Site.Orientation);
    r.push_back(a.Hsa);
    r.push_back(a.Vsa);
  });
  return page::Write(ShadowAngleMember(), in, v, rows);
}

std::string BuildIncidenceReport(const ReportInputs& in) {
  RiseSetTimes rs = HourlyRiseSet(in);
  HeaderValues v = HourlyHeader(in, rs);
  v.emplace_back("Orientation", DegreesText(in.Site.Orientation));
  v.emplace_back("Inclination", DegreesText(in.Site.Inclination));
  auto rows = HourlyRows(in, [&](const SunPosition& p, Row& r) {
    r.push_back(FormatIncidence(p.Azimuth, p.Altitude, in.Site.Orientation, in.Site.Inclination));
  });
  return page::Write(IncidenceMember(), in, v, rows);
}

}  // namespace kelvaro::reports
