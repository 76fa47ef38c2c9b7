// The report pages are checked against documents written out here from the page layout the
// reports are meant to have; ephemeris values come from the ephemeris itself (tested on its
// own) and a few are pinned against known almanac figures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <regex>

#include "ephemeris/Format.h"
#include "ephemeris/SunEphem.h"
#include "platform/notify.h"
#include "reports/ReportBuilder.h"
#include "shadow/SiteTime.h"

using namespace kelvaro;
using namespace kelvaro::reports;

namespace {

ReportInputs Inputs(int latDeg, bool south, int lonDeg, bool east, int zone, int dst, int d, int m, int y) {
  SiteInputs si;
  si.LatDegrees = latDeg;
  si.South = south;
  si.LonDegrees = lonDeg;
  si.East = east;
  si.ZoneHours = zone;
  si.DaylightSaving = dst;
  si.Day = d;
  si.Month = m;
  si.Year = y;
  ReportInputs in;
  ReadSiteInputs(si, in.Site);
  in.Date = in.Site.Date;
  in.Today = {8, 12, 2026};
  return in;
}

int Count(const std::string& s, const std::string& what) {
  int n = 0;
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
  return n;
}

const std::string kOuterOpen =
    "<html><body background=\"stippl1.jpg\"><center><table border=\"0\" width=\"500\" cellspacing=\"0\" "
    "cellpadding=\"0\"><tr><td width=\"100%\"><center><font size=\"5\"><b><u>";
const std::string kLabelR = "<td width=\"125\" valign=\"top\" align=\"right\">";
const std::string kValueL = "<td width=\"125\" valign=\"top\" align=\"left\">";

std::string Label(const std::string& n) { return kLabelR + "<font size=\"2\"><b>" + n + ":</b></font></td>"; }
std::string Value(const std::string& v) { return kValueL + "<font size=\"2\">" + v + "</font></td>"; }
const std::string kLongitudeLabel = kLabelR + "<font size=\"2\"><p><b>Longitude:</b></p></font></td>";

std::string FirstLine(const std::string& title, const std::string& label, const std::string& value) {
  return kOuterOpen + title + "</b></u><br><br><table border=\"0\" width=\"500\"><tr>" + kLabelR +
         "<font size=\"2\"><p><b>" + label + ":</b></font></p></td>" + kValueL + "<font size=\"2\">" + value +
         "</font></td></tr>";
}

std::string HeadCell(const std::string& w, const std::string& name, const std::string& unit) {
  return "<td width=\"" + w + "\" valign=\"top\" align=\"right\"><b><font size=\"2\">" + name + "</b><br>" + unit +
         "</font></td>";
}
std::string Cell(const std::string& w, const std::string& v) {
  return "<td width=\"" + w + "\" valign=\"top\" align=\"right\"><font size=\"2\">" + v + "</font></td>";
}

const std::string kFooter =
    "</table><p><font size=\"2\"><i>Extract from Sardon Kelvaro, December 08, 2026</i></font></td></tr>";
const std::string kNotesOpen = "<tr><td><br><br><center><font size=\"2\"><b>NOTES</b><br>";
const std::string kNotesClose = "</tr></td></table></body></html>";
const std::string kNote1 =
    "1. Rise and set times are based on the observer at sea level with no obstructions to the horizon.<br>";
const std::string kNote2 = "2. Observed times may vary depending on atmospheric conditions.";
const std::string kNote3 = "3. Solar Azimuth is calculated from True North in the sense NESW.";

}  // namespace

TEST(DailyReports, SunriseSunsetPageIsExact) {
  ReportInputs in = Inputs(52, false, 0, false, 0, 0, 15, 2, 2003);
  std::string expected = FirstLine("Daily Sunrise, Sunset and Solar Noon", "Month", "February, 2003") + "<tr>" +
                         Label("Latitude") + Value("52:00:00 N") + Label("Time Zone") + Value("0:00") + "</tr><tr>" +
                         kLongitudeLabel + Value("00:00:00 W") + Label("Daylight Saving") + Value("0:00") +
                         "</tr></table>" +
                         "<p><table border=\"1\" width=\"500\" cellpadding=\"2\" cellspacing=\"0\">"
                         "<tr><td width=\"100%\" valign=\"top\" align=\"center\" colspan=\"5\"><font size=\"2\">"
                         "<b>Local Civil Time</b></font></td></tr><tr>" +
                         HeadCell("25%", "Date", "(mm/dd/yy)") + HeadCell("25%", "Sunrise", "(hh:mm:ss)") +
                         HeadCell("25%", "Sunset", "(hh:mm:ss)") + HeadCell("25%", "Solar Noon", "(hh:mm:ss)") + "</tr>";
  // 31 rows from the first of the month, running on into March.
  const int days[31][2] = {{1, 2},  {2, 2},  {3, 2},  {4, 2},  {5, 2},  {6, 2},  {7, 2},  {8, 2},
                           {9, 2},  {10, 2}, {11, 2}, {12, 2}, {13, 2}, {14, 2}, {15, 2}, {16, 2},
                           {17, 2}, {18, 2}, {19, 2}, {20, 2}, {21, 2}, {22, 2}, {23, 2}, {24, 2},
                           {25, 2}, {26, 2}, {27, 2}, {28, 2}, {1, 3},  {2, 3},  {3, 3}};
  for (const auto& dm : days) {
    CalendarDate day{double(dm[0]), double(dm[1]), 2003};
    RiseSetTimes rs = SunriseSunset(day, 0, 0, 52, 0);
    char date[16];
    std::snprintf(date, sizeof date, "%02d/%02d/03", dm[1], dm[0]);
    expected += "<tr>" + Cell("25%", date) + Cell("25%", FormatTime(rs.RiseLCT)) + Cell("25%", FormatTime(rs.SetLCT)) +
                Cell("25%", FormatTime(SolarNoon(day, 0, 0, 0))) + "</tr>";
  }
  expected += kFooter + kNotesOpen + kNote1 + kNote2 + kNotesClose;
  std::string page = BuildSunriseSunsetReport(in);
  EXPECT_EQ(page, expected);
  // Almanac check: Greenwich, 1 February 2003, sunrise about 07:39, sunset about 16:49.
  EXPECT_NE(page.find(">02/01/03<"), std::string::npos);
  EXPECT_TRUE(std::regex_search(page, std::regex(">02/01/03</font></td>[^>]*><font size=\"2\">7:(3[89]|40):..<")));
  EXPECT_NE(page.find(">03/03/03<"), std::string::npos);
  EXPECT_EQ(page.find(">03/04/03<"), std::string::npos);
}

TEST(DailyReports, RiseSetAzimuthAndNoonAltitudeLayouts) {
  ReportInputs in = Inputs(40, false, 74, false, -5, 1, 10, 7, 2024);
  std::string az = BuildRiseSetAzimuthReport(in);
  EXPECT_EQ(az.rfind(FirstLine("Daily Sunrise/ Sunset Times &amp; Azimuths", "Month", "July, 2024"), 0), std::string::npos);
  EXPECT_EQ(az.rfind(FirstLine("Daily Sunrise/ Sunset Times & Azimuths", "Month", "July, 2024"), 0), 0u);
  EXPECT_NE(az.find("<tr>" + Label("Latitude") + Value("40:00:00 N") + Label("Time Zone") + Value("-5:00") + "</tr><tr>" +
                    kLongitudeLabel + Value("74:00:00 W") + Label("Daylight Saving") + Value("1:00") + "</tr></table>"),
            std::string::npos);
  EXPECT_NE(az.find("<p><table border=\"1\" width=\"500\" cellpadding=\"2\" cellspacing=\"0\"><tr><td width=\"100%\""),
            std::string::npos);
  EXPECT_NE(az.find("<tr>" + HeadCell("20%", "Date", "(mm/dd/yy)") + HeadCell("20%", "Sunrise", "(hh:mm:ss)") +
                    HeadCell("20%", "Rise Azimuth", "(dd:mm:ss)") + HeadCell("20%", "Sunset", "(hh:mm:ss)") +
                    HeadCell("20%", "Set Azimuth", "(dd:mm:ss)") + "</tr>"),
            std::string::npos);
  RiseSetTimes rs = SunriseSunset({31, 7, 2024}, 1, -5, 40, -74);
  EXPECT_NE(az.find("<tr>" + Cell("20%", "07/31/24") + Cell("20%", FormatTime(rs.RiseLCT)) +
                    Cell("20%", FormatAngle(rs.RiseAzimuth)) + Cell("20%", FormatTime(rs.SetLCT)) +
                    Cell("20%", FormatAngle(rs.SetAzimuth)) + "</tr>" + kFooter),
            std::string::npos);
  EXPECT_TRUE(az.ends_with(kNotesOpen + kNote1 + kNote2 + "<br>" + kNote3 + kNotesClose));

  std::string noon = BuildNoonAltitudeReport(in);
  EXPECT_EQ(noon.rfind(FirstLine("Daily Altitude at Solar Noon", "Month", "July, 2024"), 0), 0u);
  EXPECT_NE(noon.find("<p><table border=\"1\" width=\"400\" cellpadding=\"2\" cellspacing=\"0\">"), std::string::npos);
  EXPECT_NE(noon.find("<tr>" + HeadCell("33%", "Date", "(mm/dd/yy)") + HeadCell("33%", "Solar Noon", "(hh:mm:ss)") +
                      HeadCell("33%", "Altitude at Solar Noon", "(dd:mm:ss)") + "</tr>"),
            std::string::npos);
  double n = SolarNoon({1, 7, 2024}, 1, -5, -74);
  SunPosition p = ComputeSunPosition({1, 7, 2024}, 1, n, -5, 40, -74);
  EXPECT_NE(noon.find("<tr>" + Cell("33%", "07/01/24") + Cell("33%", FormatTime(n)) +
                      Cell("33%", FormatSignedAngle(p.Altitude)) + "</tr>"),
            std::string::npos);
  // New York, 1 July: solar noon about 13:03 (daylight time), altitude about 73 degrees.
  EXPECT_EQ(FormatTime(n).substr(0, 4), "13:0");
  EXPECT_NEAR(p.Altitude, 73.0, 0.5);
  EXPECT_TRUE(noon.ends_with("</tr>" + kFooter + "</table></body></html>"));
  EXPECT_EQ(Count(noon, "NOTES"), 0);
  EXPECT_EQ(Count(noon, "<tr>"), 2 + 1 + 2 + 31 + 1);  // outer, first line, two header rows, caption+heads+31
}

TEST(DailyReports, FailWhenTheSunNeverSetsOnAnyDay) {
  ReportInputs in = Inputs(70, false, 20, true, 1, 0, 10, 6, 2024);
  try {
    BuildSunriseSunsetReport(in);
    FAIL() << "expected ESetError";
  } catch (const ESetError& e) {
    EXPECT_STREQ(e.what(), "The sun never sets");
  }
  EXPECT_THROW(BuildRiseSetAzimuthReport(in), ESetError);
  // The noon altitude page needs no sunrise at the site.
  EXPECT_NO_THROW(BuildNoonAltitudeReport(in));
  ReportInputs winter = Inputs(70, false, 20, true, 1, 0, 10, 12, 2024);
  EXPECT_THROW(BuildSunriseSunsetReport(winter), ERiseError);
}

TEST(DailyReports, DatesFollowTheLocale) {
  ReportInputs in = Inputs(52, false, 0, false, 0, 0, 15, 2, 2003);
  in.Locale.LongMonthNames[1] = "Februar";
  in.Locale.LongMonthNames[11] = "Dezember";
  in.Locale.DateSeparator = ".";
  std::string page = BuildSunriseSunsetReport(in);
  EXPECT_NE(page.find("<font size=\"2\">Februar, 2003</font>"), std::string::npos);
  EXPECT_NE(page.find(">02.28.03<"), std::string::npos);
  EXPECT_NE(page.find("Extract from Sardon Kelvaro, Dezember 08, 2026</i>"), std::string::npos);
}

TEST(HourlyReports, ShadowAnglePageIsExact) {
  ReportInputs in = Inputs(52, false, 0, false, 0, 1, 21, 6, 2024);
  in.Site.Orientation = 180;
  RiseSetTimes rs = SunriseSunset(in.Date, 1, 0, 52, 0);
  std::string expected =
      FirstLine("Hourly Horizontal & Vertical Shadow Angles", "Date", "June 21, 2024") + "<tr>" + Label("Latitude") +
      Value("52:00:00 N") + Label("Sunrise") + Value(FormatTimePadded(rs.RiseLCT)) + "</tr><tr>" + kLongitudeLabel +
      Value("00:00:00 W") + Label("Sunset") + Value(FormatTimePadded(rs.SetLCT)) + "</tr><tr>" + Label("Time Zone") +
      Value("0:00") + Label("Orientation") + Value("180 degs") + "</tr><tr>" + Label("Daylight Saving") +
      Value("1:00") + "</tr></table>" + "<p><table border=\"1\" width=\"600\" cellpadding=\"2\" cellspacing=\"0\"><tr>" +
      HeadCell("20%", "Local Civil Time", "(hh:mm)") + HeadCell("20%", "Solar Azimuth", "(dd:mm:ss)") +
      HeadCell("20%", "Solar Altitude", "(dd:mm:ss)") + HeadCell("20%", "Horizontal Shadow Angle (HSA)", "(dd:mm:ss)") +
      HeadCell("20%", "Vertical Shadow Angle (VSA)", "(dd:mm:ss)") + "</tr>";
  int below = 0;
  for (int h = 1; h <= 24; ++h) {
    SunPosition p = ComputeSunPosition(in.Date, 1, h, 0, 52, 0);
    std::string hsa = "n/a", vsa = "n/a";
    if (p.Altitude >= 0) {
      double a = p.Azimuth - 180;
      if (a < 0) a += 360;
      double v = std::atan(std::tan(p.Altitude * 3.14159265358979323846 / 180) / std::cos(a * 3.14159265358979323846 / 180)) * 180 / 3.14159265358979323846;
      if (v < 0 && p.Altitude > 0) v += 180;
      hsa = FormatSignedAngle(a);
      vsa = FormatSignedAngle(v);
    } else {
      ++below;
    }
    expected += "<tr>" + Cell("20%", std::to_string(h) + ":00") + Cell("20%", FormatAngle(p.Azimuth)) +
                Cell("20%", FormatSignedAngle(p.Altitude)) + Cell("20%", hsa) + Cell("20%", vsa) + "</tr>";
  }
  expected += kFooter + kNotesOpen + kNote1 + kNote2 + "<br>" + kNote3 + "<br>" +
              "4. Shadow angles refer to the azimuth and altitude of the sun, taken relative to the orientation of a "
              "specific surface.<br>5. The Horizontal Shadow Angle (HSA) is the angle between the orientation of a "
              "surface and the solar azimuth.<br>6. The Vertical Shadow Angle (VSA) is the angle between the HSA and "
              "the solar altitude, measured as a normal to the surface plane." +
              kNotesClose;
  EXPECT_EQ(BuildShadowAngleReport(in), expected);
  EXPECT_GT(below, 0);  // night hours are listed too, with "n/a"
  // Midsummer at 52 N on the Greenwich meridian: sunrise near 04:40 and sunset near 21:25 in
  // summer time.
  EXPECT_TRUE(std::regex_match(FormatTimePadded(rs.RiseLCT), std::regex("04:(3[5-9]|4[0-5]):..")));
  EXPECT_TRUE(std::regex_match(FormatTimePadded(rs.SetLCT), std::regex("21:(2[0-9]|30):..")));
}

TEST(HourlyReports, AzimuthAltitudeAndIncidenceHeaders) {
  ReportInputs in = Inputs(33, true, 151, true, 10, 0, 5, 1, 2025);
  in.Site.Orientation = 35;
  in.Site.Inclination = 60;
  RiseSetTimes rs = SunriseSunset(in.Date, 0, 10, -33, 151);
  double len = rs.SetLCT - rs.RiseLCT;
  std::string az = BuildAzimuthAltitudeReport(in);
  EXPECT_EQ(az.rfind(FirstLine("Hourly Solar Azimuth & Altitude", "Date", "January 05, 2025"), 0), 0u);
  EXPECT_NE(az.find("<tr>" + Label("Time Zone") + Value("10:00") + Label("Solar Noon") +
                    Value(FormatTime(SolarNoon(in.Date, 0, 10, 151))) + "</tr><tr>" + Label("Daylight Saving") +
                    Value("0:00") + Label("Length of Day") + Value(FormatTimePadded(len)) + "</tr></table>"),
            std::string::npos);
  EXPECT_NE(az.find("<p><table border=\"1\" width=\"400\" cellpadding=\"2\" cellspacing=\"0\"><tr>" +
                    HeadCell("33%", "Local Civil Time", "(hh:mm)")),
            std::string::npos);
  EXPECT_NE(az.find(Cell("33%", "24:00")), std::string::npos);
  EXPECT_EQ(az.find(Cell("33%", "0:00")), std::string::npos);
  EXPECT_TRUE(az.ends_with(kNotesOpen + kNote1 + kNote2 + "<br>" + kNote3 + kNotesClose));
  EXPECT_EQ(az.find("colspan"), std::string::npos);

  std::string inc = BuildIncidenceReport(in);
  EXPECT_NE(inc.find("<tr>" + Label("Time Zone") + Value("10:00") + Label("Orientation") + Value("35 degs") +
                     "</tr><tr>" + Label("Daylight Saving") + Value("0:00") + Label("Inclination") + kValueL +
                     "<font size=\"2\"> 60 degs</font></td></tr></table>"),
            std::string::npos);
  EXPECT_NE(inc.find("<tr>" + HeadCell("25%", "Local Civil Time", "(hh:mm)") +
                     HeadCell("25%", "Solar Azimuth", "(dd:mm:ss)") + HeadCell("25%", "Solar Altitude", "(dd:mm:ss)") +
                     HeadCell("25%", "Angle of Incidence", "(dd:mm:ss)") + "</tr>"),
            std::string::npos);
  EXPECT_TRUE(inc.ends_with(kNote3 + "<br>4. The Angle of Incidence is the angle between the normal to a surface "
                                     "plane and the direction of the sun. The sun will be perpendicular to the "
                                     "surface if the angle of incidence is zero." +
                            kNotesClose));
}

TEST(HourlyReports, NeverSettingSunIsReportedAndThePageGoesOn) {
  ReportInputs in = Inputs(70, false, 20, true, 1, 0, 21, 6, 2024);
  MessageCapture capture;
  std::string page = BuildAzimuthAltitudeReport(in);
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0].kind, MsgKind::Information);
  EXPECT_EQ(capture.messages()[0].text, "The sun never sets");
  EXPECT_NE(page.find(Label("Sunrise") + Value("00:00:00")), std::string::npos);
  EXPECT_NE(page.find(Label("Sunset") + Value("00:00:00")), std::string::npos);
  EXPECT_NE(page.find(Label("Length of Day") + Value("00:00:00")), std::string::npos);
  // Solar noon is taken at the equator, so it still has a value: 20 E in zone +1 is 20 minutes
  // ahead of the zone meridian, and the equation of time adds about 2 minutes in late June.
  EXPECT_TRUE(std::regex_search(page, std::regex("<b>Solar Noon:</b></font></td><td[^>]*><font size=\"2\">11:4[0-5]:")));
  EXPECT_EQ(Count(page, "<tr>"), 2 + 1 + 4 + 1 + 24);  // outer rows, first line, header rows, heads, hours

  ReportInputs dark = Inputs(70, false, 20, true, 1, 0, 21, 12, 2024);
  EXPECT_THROW(BuildAzimuthAltitudeReport(dark), ERiseError);
}

TEST(HourlyReports, ShadowAngleAndIncidenceRules) {
  // Below the horizon: both shadow angles "n/a"; the altitude itself is written signed.
  EXPECT_EQ(FormatSignedAngle(-12.5), "-12:30:00");
  ShadowAngles night = FormatShadowAngles(100, -12.5, 135);
  EXPECT_EQ(night.Hsa, "n/a");
  EXPECT_EQ(night.Vsa, "n/a");
  // Sun square to the surface: VSA equals the altitude.
  ShadowAngles square = FormatShadowAngles(180, 30.25, 180);
  EXPECT_EQ(square.Hsa, "0:00:00");
  EXPECT_EQ(square.Vsa, "30:15:00");
  // HSA 45: VSA = atan(tan 30 / cos 45) = 39.2315 degrees.
  ShadowAngles oblique = FormatShadowAngles(225, 30, 180);
  EXPECT_EQ(oblique.Hsa, "45:00:00");
  EXPECT_EQ(oblique.Vsa, "39:13:53");
  // Azimuth below the orientation wraps: 90 - 300 + 360 = 150; a negative arctan gets 180 added.
  ShadowAngles wrapped = FormatShadowAngles(60, 30, 300);
  EXPECT_EQ(wrapped.Hsa, "120:00:00");
  EXPECT_EQ(wrapped.Vsa, "130:53:36");
  // Vertical surface facing the sun: the angle of incidence equals the altitude.
  EXPECT_EQ(FormatIncidence(135, 30.25, 135, 90), "30:15:00");
  EXPECT_EQ(FormatIncidence(315, 30, 135, 90), "n/a");  // sun behind the surface
  EXPECT_EQ(FormatIncidence(225, 30, 180, 60), "38:42:33");
  EXPECT_EQ(FormatIncidence(135, -1, 135, 90), "n/a");
  EXPECT_EQ(FormatIncidence(0, 90, 0, 0), "0:00:00");  // overhead sun on a flat roof
}

TEST(DailyReports, ThirtyOneDaysRunIntoTheNextMonth) {
  EXPECT_EQ(AddDays({1, 2, 2003}, 30).Day, 3);
  EXPECT_EQ(AddDays({1, 2, 2003}, 30).Month, 3);
  EXPECT_EQ(AddDays({1, 2, 2004}, 30).Day, 2);  // leap year
  EXPECT_EQ(AddDays({1, 12, 2024}, 31).Year, 2025);
}

namespace {
ShadowProfile HandMadeProfile() {
  ShadowProfile p;
  p.RiseSet.RiseLCT = 6.0925;  // 6:05:33
  p.RiseSet.SetLCT = 18.5;
  for (int h = 1; h <= 24; ++h) {
    ProfileHour& e = p.Hours[h - 1];
    e.Time = h;
    e.Azimuth = 15.0 * h;
    e.Altitude = h >= 7 && h <= 18 ? 10.0 : -20.0;
  }
  p.Hours[6].Altitude = 0.5;  // 7:00, low sun: no shadow angle
  p.Hours[11] = {12, 180, 45, 360, 2000, 0, -2000, 0, -58.3, -1234.5, -1234.5, 0};
  p.Hours[12] = {13, 200.25, 40, 20.25, 2383.6, 824.9, 2236.4, 0, 72.5, 630.4, 630.4, 0};
  return p;
}
}  // namespace

TEST(ShadowDataReports, VerticalPageIsExact) {
  ReportInputs in = Inputs(52, false, 0, false, 0, 0, 21, 3, 2024);
  in.Site.UnitsText = "mm";
  in.Site.Orientation = 135;
  ShadowProfile p = HandMadeProfile();
  std::string page = WriteShadowDataPage(in, p, "2000", true);
  const std::string dstLabel = kLabelR + "<font size=\"2\"><p><b>Daylight Saving:</b></font></p></td>";
  std::string expected =
      "<html><body background=\"stippl2.jpg\"><center><table border=\"0\" width=\"500\" cellspacing=\"0\" "
      "cellpadding=\"0\"><tr><td width=\"100%\"><center><font size=\"5\"><b><u>Shadow Data for Vertical Shadow "
      "Profile</b></u><br><br><table border=\"0\" width=\"500\"><tr>" +
      kLabelR + "<font size=\"2\"><p><b>Date:</b></font></p></td>" + kValueL +
      "<font size=\"2\">March 21, 2024</font></td></tr><tr>" + Label("Latitude") + Value("52:00:00 N") +
      Label("Sunrise") + Value("06:05:33") + "</tr><tr>" + kLongitudeLabel + Value("00:00:00 W") + Label("Sunset") +
      Value("18:30:00") + "</tr><tr>" + Label("Time Zone") + Value("0:00") + Label("Solar Noon") +
      Value(FormatTime(SolarNoon(in.Date, 0, 0, 0))) + "</tr><tr>" + dstLabel + Value("0:00") +
      Label("Length of Day") + Value("12:24:27") + "</tr><tr>" + Label("Height of Structure") + Value("2000 mm") +
      Label("Orientation") + Value("135 degs") + "</tr></table>" +
      "<p><table border=\"1\" width=\"500\" cellpadding=\"2\" cellspacing=\"0\"><tr>" +
      HeadCell("20%", "Local Civil Time", "(hh:mm)") + HeadCell("20%", "Solar Azimuth", "(dd:mm:ss)") +
      HeadCell("20%", "Solar Altitude", "(dd:mm:ss)") + HeadCell("20%", "Shadow Angle", "(dd:mm:ss)") +
      HeadCell("20%", "Width of Shadow", "(mm)") + "</tr>";
  for (int h = 1; h <= 24; ++h) {
    std::string az = std::to_string(15 * h) + ":00:00";
    std::string alt = h >= 7 && h <= 18 ? "10:00:00" : "-20:00:00";
    std::string angle = "0:00:00", width = "0";
    if (h == 7) alt = "0:30:00";
    if (h == 12) az = "180:00:00", alt = "45:00:00", angle = "58:18:00", width = "1234";  // no sign; half to even
    if (h == 13) az = "200:15:00", alt = "40:00:00", angle = "72:30:00", width = "630";
    expected += "<tr>" + Cell("20%", std::to_string(h) + ":00") + Cell("20%", az) + Cell("20%", alt) +
                Cell("20%", angle) + Cell("20%", width) + "</tr>";
  }
  expected += kFooter + kNotesOpen + kNote1 + kNote2 + "<br>" + kNote3 +
              "<br>4. Shadow angle is expressed as an angle to the horizontal plane." + kNotesClose;
  EXPECT_EQ(page, expected);
}

TEST(ShadowDataReports, HorizontalPageColumnsAndNotes) {
  ReportInputs in = Inputs(52, false, 0, false, 0, 0, 21, 3, 2024);
  in.Site.UnitsText = "inches";
  ShadowProfile p = HandMadeProfile();
  std::string page = WriteShadowDataPage(in, p, "0120", false);
  EXPECT_NE(page.find("<tr>" + Label("Height of Structure") + Value("0120 inches") + "</tr></table>"), std::string::npos);
  EXPECT_NE(page.find(HeadCell("20%", "Length of Shadow", "(inches)") + "</tr>"), std::string::npos);
  EXPECT_NE(page.find("<tr>" + Cell("20%", "12:00") + Cell("20%", "180:00:00") + Cell("20%", "45:00:00") +
                      Cell("20%", "360:00:00") + Cell("20%", "2000") + "</tr>"),
            std::string::npos);
  EXPECT_NE(page.find("<tr>" + Cell("20%", "7:00") + Cell("20%", "105:00:00") + Cell("20%", "0:30:00") +
                      Cell("20%", "0:00:00") + Cell("20%", "0") + "</tr>"),
            std::string::npos);
  EXPECT_NE(page.find(Cell("20%", "20:15:00") + Cell("20%", "2384")), std::string::npos);
  EXPECT_EQ(page.find("Orientation"), std::string::npos);
  EXPECT_TRUE(page.ends_with(kNote2 + "<br>3. Solar Azimuth and Shadow Angle are calculated from True North in the "
                                      "sense NESW." +
                             kNotesClose));
}

TEST(ShadowDataReports, ComputedFromTheProfileOrEmptyWhenItFails) {
  ReportInputs in = Inputs(52, false, 0, false, 0, 1, 21, 6, 2024);
  in.Site.Orientation = 135;
  ShadowProfile profile;
  ProfileInputs dims;  // 2000 mm, threshold 10
  std::string page = BuildHorizontalShadowData(in, dims, "2000", profile);
  EXPECT_EQ(in.Site.UnitsText, "mm");
  ASSERT_FALSE(page.empty());
  const ProfileHour& noon = profile.Hours[12];
  EXPECT_NE(page.find(Cell("20%", "13:00") + Cell("20%", FormatAngle(noon.Azimuth)) +
                      Cell("20%", FormatSignedAngle(noon.Altitude)) + Cell("20%", FormatAngle(noon.ShadowBearing)) +
                      Cell("20%", FormatWhole(noon.ShadowLength))),
            std::string::npos);
  EXPECT_NE(page.find(Value(FormatTimePadded(profile.RiseSet.RiseLCT))), std::string::npos);

  // A winter day far north never reaches a 45-degree sun: the profile reports it, no page.
  ReportInputs north = Inputs(65, false, 0, false, 0, 0, 21, 12, 2024);
  dims.Threshold = 45;
  MessageCapture capture;
  EXPECT_EQ(BuildVerticalShadowData(north, dims, "2000", profile), "");
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0].text, "No shadows are cast for these settings. Try changing Shadow Threshold.");
}
