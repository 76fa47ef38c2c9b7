#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "ephemeris/reference_sun.h"
#include "platform/notify.h"
#include "reports/SCalcCore.h"

using namespace kelvaro;

namespace {
SiteTime site(int latDeg, bool south, int lonDeg, int lonMin, bool east, int zone, int dst, int y, int m, int d) {
  SiteInputs in;
  in.LatDegrees = latDeg;
  in.South = south;
  in.LonDegrees = lonDeg;
  in.LonMinutes = lonMin;
  in.East = east;
  in.ZoneHours = zone;
  in.DaylightSaving = dst;
  in.Day = d;
  in.Month = m;
  in.Year = y;
  SiteTime s;
  ReadSiteInputs(in, s);
  return s;
}
// d:mm:ss back to a number.
double parseDms(const std::string& s) {
  int a = 0, b = 0, c = 0;
  bool neg = !s.empty() && s[0] == '-';
  EXPECT_EQ(std::sscanf(s.c_str() + (neg ? 1 : 0), "%d:%d:%d", &a, &b, &c), 3) << s;
  double v = a + b / 60.0 + c / 3600.0;
  return neg ? -v : v;
}
}  // namespace

TEST(SolarCalculator, CaptionsInOrderAndInputBlock) {
  MessageCapture cap;
  SiteTime s = site(51, false, 0, 7, false, 0, 1, 2024, 6, 21);
  SolarCalculatorPage page = ComputeSolarCalculator(s, 9, 5);
  const char* captions[] = {"Latitude:",
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
                            "at an Angle of:"};
  ASSERT_EQ(page.Labels.size(), 16u);
  for (size_t i = 0; i < 16; ++i) EXPECT_EQ(page.Labels[i].Caption, captions[i]);
  EXPECT_EQ(page.value("Latitude:"), "51:00:00 N");
  EXPECT_EQ(page.value("Longitude:"), "00:07:00 W");
  EXPECT_EQ(page.value("Date:"), "June 21, 2024");
  EXPECT_EQ(page.value("Time Zone:"), "0:00");
  EXPECT_EQ(page.value("Daylight Saving:"), "1:00");
  EXPECT_EQ(page.value("Local Civil Time:"), "9:05");
  EXPECT_TRUE(cap.messages().empty());
  // Sunrise ends in one blank, sunset does not.
  std::string rise = page.value("On this date, Sunrise:");
  ASSERT_FALSE(rise.empty());
  EXPECT_EQ(rise.back(), ' ');
  EXPECT_NE(rise[rise.size() - 2], ' ');
  EXPECT_NE(page.value("Sunset:").back(), ' ');
  // London, midsummer, summer time: sunrise about 4:43, sunset about 21:21, noon about 13:03.
  EXPECT_NEAR(parseDms(rise), 4 + 43 / 60.0, 3 / 60.0);
  EXPECT_NEAR(parseDms(page.value("Sunset:")), 21 + 21 / 60.0, 3 / 60.0);
  EXPECT_NEAR(parseDms(page.value("Solar Noon:")), 13 + 2 / 60.0, 2 / 60.0);
  EXPECT_NEAR(parseDms(page.value("Altitude at Solar Noon:")), 90 - 51 + 23.44, 0.05);
  // At 09:05 BST: the sun against the independent model, and its shadow.
  double jd = kelvaro::test::refJulianDay(2024, 6, 21) + (9 + 5 / 60.0 - 1) / 24;
  auto ref = kelvaro::test::refSun(jd, 51.0, -7 / 60.0);
  EXPECT_NEAR(parseDms(page.value("At this time, Solar Azimuth:")), ref.azimuth, 0.03);
  EXPECT_NEAR(parseDms(page.value("Solar Altitude:")), ref.altitude, 0.03);
  std::string shadow = page.value("A structure 1000mm high would cast a Shadow of:");
  ASSERT_GE(shadow.size(), 3u);
  EXPECT_EQ(shadow.substr(shadow.size() - 2), "mm");
  EXPECT_NEAR(std::stod(shadow), 1000 / std::tan(ref.altitude * M_PI / 180), 3.0);
  EXPECT_NEAR(parseDms(page.value("at an Angle of:")), ref.azimuth + 180, 0.03);
}

TEST(SolarCalculator, LowSunGivesNotAvailable) {
  MessageCapture cap;
  SiteTime s = site(51, false, 0, 7, false, 0, 1, 2024, 6, 21);
  bool sawLow = false, sawHigh = false;
  // Step through the morning minute by minute around sunrise.
  for (int minute = 4 * 60 + 30; minute < 6 * 60 + 30; ++minute) {
    SiteTime copy = s;
    SolarCalculatorPage page = ComputeSolarCalculator(copy, minute / 60, minute % 60);
    double alt = parseDms(page.value("Solar Altitude:"));
    std::string shadow = page.value("A structure 1000mm high would cast a Shadow of:");
    std::string angle = page.value("at an Angle of:");
    EXPECT_NE(page.value("At this time, Solar Azimuth:"), "00:00:00");
    if (alt > 0.1 && alt < 0.9) {
      sawLow = true;
      EXPECT_EQ(shadow, "n/a");
      EXPECT_EQ(angle, "n/a");
    } else if (alt > 1.1) {
      sawHigh = true;
      EXPECT_NE(shadow, "n/a");
      EXPECT_NE(angle, "n/a");
    }
  }
  EXPECT_TRUE(sawLow);
  EXPECT_TRUE(sawHigh);
}

TEST(SolarCalculator, SunNeverRisesKeepsTheDateBlock) {
  MessageCapture cap;
  SiteTime s = site(75, false, 20, 0, true, 1, 0, 2024, 12, 21);
  SolarCalculatorPage page = ComputeSolarCalculator(s, 12, 0);
  ASSERT_EQ(cap.messages().size(), 1u);
  EXPECT_EQ(cap.messages()[0].text, "The sun never rises");
  for (int i = kCalculatorInputLabels; i < kCalculatorInputLabels + kCalculatorDateLabels; ++i)
    EXPECT_EQ(page.Labels[i].Value, "00:00:00") << page.Labels[i].Caption;
  EXPECT_EQ(page.value("Solar Altitude:")[0], '-');
  EXPECT_NE(page.value("At this time, Solar Azimuth:"), "00:00:00");
  EXPECT_EQ(page.value("A structure 1000mm high would cast a Shadow of:"), "n/a");
  EXPECT_EQ(page.value("at an Angle of:"), "n/a");
}

TEST(SolarCalculator, PolarDayShowsZerosButANoon) {
  MessageCapture cap;
  SiteTime s = site(70, false, 20, 0, true, 1, 0, 2024, 6, 21);
  SolarCalculatorPage page = ComputeSolarCalculator(s, 0, 30);
  ASSERT_EQ(cap.messages().size(), 1u);
  EXPECT_EQ(cap.messages()[0].text, "The sun never sets");
  EXPECT_EQ(page.value("On this date, Sunrise:"), "0:00:00 ");
  EXPECT_EQ(page.value("Sunset:"), "0:00:00");
  // Mean noon at 20E is 10:40 UT, 11:40 in zone +1; the sundial runs about 1.7 min slow.
  EXPECT_NEAR(parseDms(page.value("Solar Noon:")), 11 + 40 / 60.0 + 1.7 / 60, 1.0 / 60);
  EXPECT_NEAR(parseDms(page.value("Altitude at Solar Noon:")), 90 - 70 + 23.44, 0.05);
  // Midnight sun: 00:30 still has a positive altitude.
  EXPECT_GT(parseDms(page.value("Solar Altitude:")), 0);
}

TEST(SolarCalculator, WrongZoneFailsTheCheckOnly) {
  MessageCapture cap;
  SiteTime s = site(0, false, 0, 0, false, 12, 0, 2024, 3, 20);
  SolarCalculatorPage page = ComputeSolarCalculator(s, 18, 0);
  ASSERT_EQ(cap.messages().size(), 1u);
  EXPECT_EQ(cap.messages()[0].text, "The sun sets before it rises. Check Time Zone and try again.");
  EXPECT_EQ(page.value("Solar Noon:"), "00:00:00");
  EXPECT_EQ(page.value("Time Zone:"), "12:00");
  // Local 18:00 in zone +12 is 06:00 UT: sunrise at Greenwich.
  EXPECT_NEAR(parseDms(page.value("At this time, Solar Azimuth:")), 90, 1);
}

TEST(SolarCalculator, AmbiguousSolarNoonLeavesAsTheEphemerisError) {
  // A meridian where the equator's sunrise falls at local 00:02 in zone -6: solar noon, taken
  // from the equator's rise and set, cannot be converted. At 60 N in December the site's own
  // sunrise is hours later, so the sunrise check itself passes.
  CalendarDate d{10, 12, 2024};
  double ut0 = SunriseSunset(d, 0, 0, 0, 0).RiseUT;
  double lon = (ut0 - (6.0 + 2.0 / 60)) * 15.0;
  SiteTime s = site(60, false, 0, 0, false, -6, 0, 2024, 12, 10);
  s.Longitude = DecimalToDms(lon);
  MessageCapture cap;
  EXPECT_THROW(ComputeSolarCalculator(s, 9, 0), EAmbiguousError);
  EXPECT_TRUE(cap.messages().empty());  // not reported by the calculator itself
  EXPECT_GT(s.RiseSet.RiseLCT, 1.0);     // the check did succeed
}
