#include <gtest/gtest.h>

#include <cmath>

#include "ephemeris/reference_sun.h"
#include "platform/notify.h"
#include "shadow/SunPath.h"

using namespace kelvaro;

namespace {
SiteTime siteAt(double lat, double lon, int zoneHours, int y, int m, int d, int dst = 0) {
  SiteInputs in;
  in.LatDegrees = static_cast<int>(std::fabs(lat));
  in.LatMinutes = static_cast<int>(std::round((std::fabs(lat) - in.LatDegrees) * 60));
  in.South = lat < 0;
  in.LonDegrees = static_cast<int>(std::fabs(lon));
  in.LonMinutes = static_cast<int>(std::round((std::fabs(lon) - in.LonDegrees) * 60));
  in.East = lon > 0;
  in.ZoneHours = zoneHours;
  in.DaylightSaving = dst;
  in.Day = d;
  in.Month = m;
  in.Year = y;
  SiteTime site;
  ReadSiteInputs(in, site);
  return site;
}
}  // namespace

TEST(SunPathSpan, StartAndCountRules) {
  // Sunrise 05:30:30, sunset 20:15:00.
  double rise = 5 + 30.5 / 60, set = 20.25;
  SunPathSpan m = SunPathSpanOf(rise, set, SunPathTarget::Models);
  EXPECT_DOUBLE_EQ(m.Start, 5.5);   // the models start at the minute of sunrise
  EXPECT_EQ(m.Count, 885);          // 05:30 .. 20:14
  SunPathSpan v = SunPathSpanOf(rise, set, SunPathTarget::View3D);
  EXPECT_DOUBLE_EQ(v.Start, 331.0 / 60);  // the 3D view starts at the next whole minute
  EXPECT_EQ(v.Count, 884);
  // A sunrise on the whole minute is not skipped by the 3D view either.
  EXPECT_DOUBLE_EQ(SunPathSpanOf(6.0, 18.0, SunPathTarget::View3D).Start, 6.0);
  EXPECT_EQ(SunPathSpanOf(6.0, 18.0, SunPathTarget::View3D).Count, 720);
  // No sunset: the whole day from midnight.
  for (auto t : {SunPathTarget::Models, SunPathTarget::View3D}) {
    SunPathSpan s = SunPathSpanOf(0, 0, t);
    EXPECT_EQ(s.Count, 1440);
    EXPECT_DOUBLE_EQ(s.Start, 0);
  }
  EXPECT_EQ(SunPathSpanOf(0, 17.5, SunPathTarget::Models).Count, 1440);
  EXPECT_EQ(SunPathSpanOf(18.0, 6.0, SunPathTarget::Models).Count, 0);  // never negative
}

TEST(CheckRiseSet, PolarDayGoesOnWithTheWholeDay) {
  MessageCapture cap;
  SiteTime site = siteAt(70, 20, 1, 2024, 6, 21);
  site.RiseSet.RiseAzimuth = 12;
  ASSERT_TRUE(CheckRiseSet(site));
  ASSERT_EQ(cap.messages().size(), 1u);
  EXPECT_EQ(cap.messages()[0].text, "The sun never sets");
  EXPECT_EQ(cap.messages()[0].kind, MsgKind::Information);
  EXPECT_EQ(site.RiseSet.RiseLCT, 0);
  EXPECT_EQ(site.RiseSet.SetLCT, 0);
  // Nothing of the site checked before stays behind.
  EXPECT_EQ(site.RiseSet.RiseAzimuth, 0);
  EXPECT_EQ(site.RiseSet.SetAzimuth, 0);
  EXPECT_EQ(site.RiseSet.RiseUT, 0);
  auto samples = BuildSunPath(site, SunPathTarget::Models);
  ASSERT_EQ(samples.size(), 1440u);
  EXPECT_EQ(samples.front().Time, 0);
  EXPECT_NEAR(samples.back().Time, 23 + 59 / 60.0, 1e-9);
  for (const auto& s : samples) EXPECT_GT(s.Altitude, 0) << s.Time;  // midnight sun
}

TEST(CheckRiseSet, StopsWithTheirMessages) {
  MessageCapture cap;
  SiteTime night = siteAt(70, 20, 1, 2024, 12, 21);
  EXPECT_FALSE(CheckRiseSet(night));
  ASSERT_EQ(cap.messages().size(), 1u);
  EXPECT_EQ(cap.messages()[0].text, "The sun never rises");
  EXPECT_EQ(cap.messages()[0].kind, MsgKind::Information);

  // Greenwich with zone +12: local sunrise in the evening, sunset next morning.
  cap.clear();
  SiteTime wrongZone = siteAt(0, 0, 12, 2024, 3, 20);
  EXPECT_FALSE(CheckRiseSet(wrongZone));
  ASSERT_EQ(cap.messages().size(), 1u);
  EXPECT_EQ(cap.messages()[0].text, "The sun sets before it rises. Check Time Zone and try again.");
  EXPECT_EQ(cap.messages()[0].kind, MsgKind::Error);

  // Sunrise just after local midnight.
  cap.clear();
  double ut0 = SunriseSunset({10, 4, 2024}, 0, 0, 0, 0).RiseUT;
  SiteTime site = siteAt(0, 0, -6, 2024, 4, 10);
  site.Longitude = DecimalToDms((ut0 - (6.0 + 2.0 / 60)) * 15.0);
  EXPECT_FALSE(CheckRiseSet(site));
  ASSERT_EQ(cap.messages().size(), 1u);
  EXPECT_EQ(cap.messages()[0].kind, MsgKind::Error);
  EXPECT_EQ(cap.messages()[0].text.rfind("Ambiguous result", 0), 0u);
}

TEST(SunPath, SamplesFollowTheSunFromRiseToSet) {
  MessageCapture cap;
  SiteTime site = siteAt(51.5, -0.12, 0, 2024, 6, 21, 1);
  ASSERT_TRUE(CheckRiseSet(site));
  EXPECT_TRUE(cap.messages().empty());
  auto samples = BuildSunPath(site, SunPathTarget::Models);
  double dayMinutes = (site.RiseSet.SetLCT - site.RiseSet.RiseLCT) * 60;
  EXPECT_NEAR(double(samples.size()), dayMinutes, 1.0);
  EXPECT_LE(samples.front().Time, site.RiseSet.RiseLCT);
  EXPECT_GT(samples.front().Time, site.RiseSet.RiseLCT - 1.0 / 60);
  EXPECT_NEAR(samples[1].Time - samples[0].Time, 1.0 / 60, 1e-12);
  // Mid-path sample against the independent sun model.
  const auto& mid = samples[samples.size() / 2];
  double jd = kelvaro::test::refJulianDay(2024, 6, 21) + (mid.Time - 1) / 24.0;
  auto ref = kelvaro::test::refSun(jd, site.latitude(), site.longitude());
  EXPECT_NEAR(mid.Altitude, ref.altitude, 0.02);
  EXPECT_NEAR(mid.Azimuth, ref.azimuth, 0.05);
  // Near rise and set the sun is close to the horizon (-0.83 at the event).
  EXPECT_NEAR(samples.front().Altitude, -0.83, 0.3);
  EXPECT_NEAR(samples.back().Altitude, -0.83, 0.3);
}

TEST(OverhangNoons, AprilAndOctoberSwapInTheSouth) {
  MessageCapture cap;
  SiteTime north = siteAt(52, 0, 0, 2024, 1, 1);
  OverhangNoons n = ComputeOverhangNoons(north, 2024);
  // Noon altitude = 90 - latitude + declination (about +11.9 on 21 April, -10.9 on 21 October).
  double decApril = kelvaro::test::refSun(kelvaro::test::refJulianDay(2024, 4, 21) + 0.5, 0, 0).declination;
  double decOct = kelvaro::test::refSun(kelvaro::test::refJulianDay(2024, 10, 21) + 0.5, 0, 0).declination;
  EXPECT_NEAR(n.NoonFirst.Altitude, 90 - 52 + decApril, 0.05);
  EXPECT_NEAR(n.NoonSecond.Altitude, 90 - 52 + decOct, 0.05);
  EXPECT_NEAR(n.NoonFirst.Azimuth, 180, 0.5);
  SiteTime south = siteAt(-33, 151, 10, 2024, 1, 1);
  OverhangNoons s = ComputeOverhangNoons(south, 2024);
  // Local noon at 151E is near 02:00 UT: the declination of that instant.
  decApril = kelvaro::test::refSun(kelvaro::test::refJulianDay(2024, 4, 21) + (12 - 151 / 15.0) / 24, 0, 0).declination;
  decOct = kelvaro::test::refSun(kelvaro::test::refJulianDay(2024, 10, 21) + (12 - 151 / 15.0) / 24, 0, 0).declination;
  EXPECT_NEAR(s.NoonFirst.Altitude, 90 - 33 - decOct, 0.05);
  EXPECT_NEAR(s.NoonSecond.Altitude, 90 - 33 - decApril, 0.05);
  EXPECT_TRUE(std::fabs(s.NoonFirst.Azimuth) < 0.5 || std::fabs(s.NoonFirst.Azimuth - 360) < 0.5);
  EXPECT_EQ(north.Date.Month, 1);  // the site's date is left alone
  // Far north the April sun never sets: the caller gets the exception.
  SiteTime arctic = siteAt(85, 0, 0, 2024, 1, 1);
  EXPECT_THROW(ComputeOverhangNoons(arctic, 2024), ESetError);
  EXPECT_TRUE(cap.messages().empty());
}

TEST(SunPath, LabelsPadHoursAndEndWithABlank) {
  SiteTime site = siteAt(52, 0, 0, 2024, 6, 21);
  site.RiseSet.RiseLCT = 5 + 2 / 60.0 + 33 / 3600.0;
  site.RiseSet.SetLCT = 21.5;
  SunPathLabels l = MakeSunPathLabels(site);
  EXPECT_EQ(l.Sunrise, "05:02:33 ");
  EXPECT_EQ(l.Sunset, "21:30:00 ");
  EXPECT_EQ(l.Date, "6/21/2024");
  EXPECT_EQ(l.Latitude, "52:00:00 N");
  EXPECT_EQ(l.Longitude, "00:00:00 W");
}
