#include <gtest/gtest.h>

#include <cmath>

#include "ephemeris/reference_sun.h"
#include "platform/notify.h"
#include "shadow/Profile.h"

using namespace kelvaro;

namespace {
SiteTime london(int y, int m, int d, int dst = 1) {
  SiteInputs in;
  in.LatDegrees = 51;
  in.LatMinutes = 30;
  in.LonDegrees = 0;
  in.LonMinutes = 7;
  in.DaylightSaving = dst;
  in.Day = d;
  in.Month = m;
  in.Year = y;
  in.Orientation = 135;
  SiteTime s;
  ReadSiteInputs(in, s);
  return s;
}
SiteTime polar(int lat, int month) {
  SiteInputs in;
  in.LatDegrees = lat;
  in.LonDegrees = 20;
  in.East = true;
  in.ZoneHours = 1;
  in.Day = 21;
  in.Month = month;
  in.Year = 2024;
  SiteTime s;
  ReadSiteInputs(in, s);
  return s;
}
ProfileTextContext pinned() {
  ProfileTextContext c;
  c.Today = {8, 12, 2026};
  return c;
}
}  // namespace

TEST(ProfileHour, BearingsLengthsAndWidths) {
  EXPECT_DOUBLE_EQ(ShadowBearingOf(200), 20);
  EXPECT_DOUBLE_EQ(ShadowBearingOf(170), 350);
  EXPECT_DOUBLE_EQ(ShadowBearingOf(180), 360);  // not 0
  ProfileHour h = MakeProfileHour(12, 180, 45, 2000, 135);
  EXPECT_NEAR(h.ShadowLength, 2000, 1e-9);
  EXPECT_NEAR(h.ShadowX, 0, 1e-9);
  EXPECT_NEAR(h.ShadowY, 2000, 1e-9);  // shadow points north
  // Width across orientation 135 of a shadow bearing north: sin(135 - 360) * 2000.
  EXPECT_NEAR(h.ProfileWidth, 2000 * std::sqrt(0.5), 1e-9);
  EXPECT_NEAR(h.ProfileAngle, std::atan(1 / std::sqrt(0.5)) * 180 / M_PI, 1e-9);
  EXPECT_EQ(h.ProfileWidthCopy, h.ProfileWidth);
  EXPECT_EQ(h.Reserved1, 0);
  EXPECT_EQ(h.Reserved2, 0);
  // Shadow along the orientation: no width, no angle.
  h = MakeProfileHour(9, 315, 30, 2000, 135);
  EXPECT_DOUBLE_EQ(h.ShadowBearing, 135);
  EXPECT_EQ(h.ProfileWidth, 0);
  EXPECT_EQ(h.ProfileAngle, 0);
  // Sun below the horizon: everything 0 but the bearing.
  h = MakeProfileHour(23, 330, -10, 2000, 135);
  EXPECT_EQ(h.ShadowLength, 0);
  EXPECT_EQ(h.ShadowX, 0);
  EXPECT_EQ(h.ShadowY, 0);
  EXPECT_EQ(h.ProfileWidth, 0);
  EXPECT_EQ(h.ProfileAngle, 0);
  EXPECT_DOUBLE_EQ(h.ShadowBearing, 150);
}

TEST(Profile, TextsAndHoursForASummerDay) {
  MessageCapture cap;
  SiteTime site = london(2024, 6, 21);
  ShadowProfile p;
  ASSERT_TRUE(ComputeProfile(site, {false, 2000, 100, 10}, p, pinned()));
  EXPECT_TRUE(cap.messages().empty());
  EXPECT_EQ(site.UnitsText, "mm");
  EXPECT_EQ(p.HorizontalTitle, "HORIZONTAL SHADOW PROFILE for Friday, June 21, 2024, Height of Structure 2000mm");
  EXPECT_EQ(p.VerticalTitle,
            "VERTICAL SHADOW PROFILE for Friday, June 21, 2024, Height of Structure 2000mm, Orientation 135degs");
  EXPECT_EQ(p.SiteLine, "Latitude 51:30:00 N, Longitude 00:07:00 W, Time Zone 0:00, Daylight Saving 1:00");
  EXPECT_EQ(p.SunLine, "Sunrise " + FormatTime(p.RiseSet.RiseLCT) + " Sunset " + FormatTime(p.RiseSet.SetLCT));
  EXPECT_EQ(p.SunLine.rfind("Sunrise 4:4", 0), 0u);  // London midsummer sunrise about 04:43 BST
  EXPECT_EQ(p.CreatedLine, "Created by Sardon Kelvaro, Tuesday, December 8, 2026");
  EXPECT_EQ(p.HorizontalNote, "Profile shows horizontal direction and length of shadows cast");
  EXPECT_EQ(p.VerticalNote, "Profile shows vertical direction and width of shadows cast");
  EXPECT_EQ(p.Height, 2000);
  EXPECT_EQ(p.TextHeight, 100);
  EXPECT_EQ(p.Threshold, 10);
  EXPECT_EQ(p.Orientation, 135);
  EXPECT_FALSE(p.Inches);
  for (int n = 1; n <= 24; ++n) {
    const ProfileHour& h = p.Hours[n - 1];
    SCOPED_TRACE(n);
    EXPECT_EQ(h.Time, n);
    double jd = kelvaro::test::refJulianDay(2024, 6, 21) + (n - 1 - 0.0) / 24.0;
    auto ref = kelvaro::test::refSun(jd, site.latitude(), site.longitude());
    EXPECT_NEAR(h.Altitude, ref.altitude, 0.02);
    if (h.Altitude > 2) {
      // The shadow points away from the sun, its length follows the altitude.
      EXPECT_NEAR(std::hypot(h.ShadowX, h.ShadowY), 2000 / std::tan(ref.altitude * M_PI / 180),
                  2000 / std::pow(std::sin(ref.altitude * M_PI / 180), 2) * 0.0004);
      double dir = std::atan2(h.ShadowX, h.ShadowY) * 180 / M_PI;
      double d = std::fmod(dir - (ref.azimuth + 180) + 720, 360);
      EXPECT_LT(std::min(d, 360 - d), 0.05);
    } else if (h.Altitude < 0) {
      EXPECT_EQ(h.ShadowLength, 0);
    }
  }
}

TEST(Profile, InchesAndLongTextsAreCut) {
  SiteTime site = london(2024, 6, 21);
  ShadowProfile p;
  ProfileTextContext ctx = pinned();
  std::string longName;
  for (int i = 0; i < 300; ++i) longName += "\xC3\x84";  // "Ä", two bytes each
  ctx.Locale.LongMonthNames[5] = longName;
  ASSERT_TRUE(ComputeProfile(site, {true, 80, 4, 10}, p, ctx));
  EXPECT_EQ(site.UnitsText, "inches");
  EXPECT_TRUE(p.Inches);
  // "HORIZONTAL SHADOW PROFILE for Friday, " is 38 characters, then 217 two-byte letters.
  EXPECT_EQ(p.HorizontalTitle.size(), 38u + 2 * 217u);
  EXPECT_EQ(p.VerticalTitle.size(), 36u + 2 * 219u);
  EXPECT_EQ(CutText("abc", 2), "ab");
  EXPECT_EQ(CutText("abc", 5), "abc");
  ctx.Locale = DateLocale{};
  ASSERT_TRUE(ComputeProfile(site, {true, 80, 4, 10}, p, ctx));
  EXPECT_EQ(p.HorizontalTitle, "HORIZONTAL SHADOW PROFILE for Friday, June 21, 2024, Height of Structure 80inches");
}

TEST(Profile, PolarDayStillBuildsTheProfile) {
  MessageCapture cap;
  SiteTime site = polar(70, 6);
  ShadowProfile p;
  p.RiseSet.RiseAzimuth = 42;  // kept: the sun never sets
  ASSERT_TRUE(ComputeProfile(site, {false, 2000, 100, 10}, p, pinned()));
  ASSERT_EQ(cap.messages().size(), 1u);
  EXPECT_EQ(cap.messages()[0].text, "The sun never sets");
  EXPECT_EQ(cap.messages()[0].kind, MsgKind::Information);
  EXPECT_EQ(p.SunLine, "Sunrise 0:00:00 Sunset 0:00:00");
  EXPECT_EQ(p.RiseSet.RiseAzimuth, 42);
  for (const auto& h : p.Hours) EXPECT_GT(h.ShadowLength, 0);
}

TEST(Profile, FailuresShowTheirMessages) {
  MessageCapture cap;
  ShadowProfile p;
  // Threshold 45 in a northern winter: the sun never climbs that high.
  SiteTime winter = polar(60, 12);
  EXPECT_FALSE(ComputeProfile(winter, {false, 2000, 100, 45}, p, pinned()));
  ASSERT_EQ(cap.messages().size(), 1u);
  EXPECT_EQ(cap.messages()[0].text, "No shadows are cast for these settings. Try changing Shadow Threshold.");
  EXPECT_EQ(cap.messages()[0].kind, MsgKind::Information);
  // All 24 hours were still filled.
  EXPECT_EQ(p.Hours[23].Time, 24);
  EXPECT_GT(p.Hours[11].Altitude, 0);
  // The same place accepts a low threshold.
  cap.clear();
  EXPECT_TRUE(ComputeProfile(winter, {false, 2000, 100, 1}, p, pinned()));

  cap.clear();
  SiteTime night = polar(75, 12);
  EXPECT_FALSE(ComputeProfile(night, {false, 2000, 100, 10}, p, pinned()));
  ASSERT_EQ(cap.messages().size(), 1u);
  EXPECT_EQ(cap.messages()[0].text, "No shadows are cast for these settings. Try changing Latitude.");
  EXPECT_EQ(cap.messages()[0].kind, MsgKind::Error);

  cap.clear();
  SiteTime site = london(2024, 4, 10, 0);
  site.Latitude = {0, 0, 0, 1};
  site.TimeZone = {6, 0, 0, -1};
  double ut0 = SunriseSunset({10, 4, 2024}, 0, 0, 0, 0).RiseUT;
  site.Longitude = DecimalToDms((ut0 - (6.0 + 2.0 / 60)) * 15.0);
  EXPECT_FALSE(ComputeProfile(site, {false, 2000, 100, 10}, p, pinned()));
  ASSERT_EQ(cap.messages().size(), 1u);
  EXPECT_EQ(cap.messages()[0].text, "There has been an error while retrieving the data");
  EXPECT_EQ(cap.messages()[0].kind, MsgKind::Error);
}

TEST(Profile, TitlesFollowTheDefaultDateLocale) {
  // The program sets the user's locale at start-up; the titles' long dates follow it.
  DateLocale de;
  de.LongMonthNames[5] = "Juni";
  de.LongDayNames[5] = "Freitag";
  de.LongDateFormat = "dddd, d. mmmm yyyy";
  SetDefaultDateLocale(de);
  SiteTime site = london(2024, 6, 21);
  ShadowProfile p;
  bool ok = ComputeProfile(site, {false, 2000, 100, 10}, p);
  SetDefaultDateLocale(DateLocale{});
  ASSERT_TRUE(ok);
  EXPECT_EQ(p.HorizontalTitle, "HORIZONTAL SHADOW PROFILE for Freitag, 21. Juni 2024, Height of Structure 2000mm");
  EXPECT_EQ(FormatDate({21, 6, 2024}, "dddddd"), "Friday, June 21, 2024");
}
