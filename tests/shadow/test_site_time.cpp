#include <gtest/gtest.h>

#include <limits>

#include "shadow/SiteTime.h"

using namespace kelvaro;

TEST(ReadInputs, TextsSignsAndReset) {
  SiteTime site;
  site.RiseSet.RiseLCT = 5;
  site.RiseSet.SetLCT = 19;
  site.RiseSet.RiseAzimuth = 55;
  SiteInputs in;
  in.LatDegrees = 52;
  in.LatMinutes = 5;
  in.LatSeconds = 9;
  in.LonDegrees = 0;
  in.LonMinutes = 7;
  in.DaylightSaving = 1;
  in.Day = 21;
  in.Month = 6;
  in.Year = 2024;
  in.Orientation = 45;
  ReadSiteInputs(in, site);
  EXPECT_EQ(site.RiseSet.RiseLCT, 0);
  EXPECT_EQ(site.RiseSet.SetLCT, 0);
  EXPECT_EQ(site.RiseSet.RiseAzimuth, 55);  // only the local times are reset
  EXPECT_EQ(site.LatitudeText, "52:05:09 N");
  EXPECT_EQ(site.LongitudeText, "00:07:00 W");
  EXPECT_EQ(site.DaylightSavingText, "1:00");
  EXPECT_EQ(site.TimeZoneText, "0:00");
  EXPECT_NEAR(site.latitude(), 52 + 5 / 60.0 + 9 / 3600.0, 1e-12);
  EXPECT_NEAR(site.longitude(), -7 / 60.0, 1e-12);  // West is negative in computations
  EXPECT_EQ(site.Date.Day, 21);
  EXPECT_EQ(site.Date.Month, 6);
  EXPECT_EQ(site.Date.Year, 2024);
  EXPECT_EQ(site.Orientation, 45);

  in.South = true;
  in.East = true;
  in.LonDegrees = 151;
  ReadSiteInputs(in, site);
  EXPECT_EQ(site.LatitudeText, "52:05:09 S");
  EXPECT_EQ(site.LongitudeText, "151:07:00 E");
  EXPECT_LT(site.latitude(), 0);
  EXPECT_GT(site.longitude(), 151);
}

TEST(ReadInputs, Longitude180DropsMinutesAndSeconds) {
  SiteTime site;
  SiteInputs in;
  in.LonDegrees = 180;
  in.LonMinutes = 30;
  in.LonSeconds = 15;
  in.East = true;
  ReadSiteInputs(in, site);
  EXPECT_EQ(site.Longitude.Minutes, 0);
  EXPECT_EQ(site.Longitude.Seconds, 0);
  EXPECT_EQ(site.LongitudeText, "180:00:00 E");
  EXPECT_DOUBLE_EQ(site.longitude(), 180.0);
}

TEST(ReadInputs, ZoneSignComesFromTheHours) {
  SiteTime site;
  SiteInputs in;
  in.ZoneHours = -5;
  in.ZoneMinutes = 30;
  ReadSiteInputs(in, site);
  EXPECT_DOUBLE_EQ(site.zone(), -5.5);
  EXPECT_EQ(site.TimeZoneText, "-5:30");
  in.ZoneHours = 0;
  ReadSiteInputs(in, site);
  EXPECT_DOUBLE_EQ(site.zone(), 0.5);
  EXPECT_EQ(site.TimeZoneText, "0:30");
  in.ZoneHours = 12;
  in.ZoneMinutes = 45;
  ReadSiteInputs(in, site);
  EXPECT_EQ(site.TimeZoneText, "12:45");
  in.ZoneHours = -12;
  in.ZoneMinutes = 0;
  ReadSiteInputs(in, site);
  EXPECT_EQ(site.TimeZoneText, "-12:00");
  EXPECT_DOUBLE_EQ(site.zone(), -12.0);
}

TEST(StoredSettings, LongitudeIsStoredWestPositive) {
  DialogInputs in;
  in.Site.LonDegrees = 10;
  in.Site.East = true;
  ShadowSettings s;
  CaptureSettings(in, s);
  EXPECT_DOUBLE_EQ(s.gLongitude, -10.0);
  DialogInputs back;
  ShowSettings(s, back);
  EXPECT_EQ(back.Site.LonDegrees, 10);
  EXPECT_TRUE(back.Site.East);
  // And the computation sees it east-positive.
  SiteTime site;
  ReadSiteInputs(back.Site, site);
  EXPECT_DOUBLE_EQ(site.longitude(), 10.0);
}

TEST(StoredSettings, RoundTripOfEveryValue) {
  DialogInputs in;
  in.Site.LatDegrees = 33;
  in.Site.LatMinutes = 52;
  in.Site.LatSeconds = 4;
  in.Site.South = true;
  in.Site.LonDegrees = 74;
  in.Site.LonMinutes = 0;
  in.Site.LonSeconds = 21;
  in.Site.ZoneHours = -5;
  in.Site.ZoneMinutes = 30;
  in.Site.DaylightSaving = 2;
  in.Site.Orientation = 270;
  in.Threshold = 25;
  in.HeightText = "3500";
  in.TextHeightText = "250";
  in.Inches = true;
  ShadowSettings s;
  CaptureSettings(in, s);
  EXPECT_NEAR(s.gLatitude, -(33 + 52 / 60.0 + 4 / 3600.0), 1e-12);
  EXPECT_NEAR(s.gLongitude, 74 + 21 / 3600.0, 1e-12);
  EXPECT_DOUBLE_EQ(s.gTimeZone, -5.5);
  EXPECT_EQ(s.gDaylightSaving, 2);
  EXPECT_EQ(s.cadOrient, 270);
  EXPECT_EQ(s.cadThreshold, 25);
  EXPECT_EQ(s.cadStrucHeight, 3500);
  EXPECT_EQ(s.cadTxtHeight, 250);
  EXPECT_TRUE(s.cadUnits);
  DialogInputs back;
  ShowSettings(s, back);
  EXPECT_EQ(back.Site.LatDegrees, 33);
  EXPECT_EQ(back.Site.LatMinutes, 52);
  EXPECT_EQ(back.Site.LatSeconds, 4);
  EXPECT_TRUE(back.Site.South);
  EXPECT_EQ(back.Site.LonSeconds, 21);
  EXPECT_FALSE(back.Site.East);
  EXPECT_EQ(back.Site.ZoneHours, -5);
  EXPECT_EQ(back.Site.ZoneMinutes, 30);
  EXPECT_EQ(back.HeightText, "3500");
  EXPECT_TRUE(back.Inches);
}

TEST(StoredSettings, BadHeightsNeverReachTheSettings) {
  EXPECT_EQ(NormalizeHeightText("0"), "1");
  EXPECT_EQ(NormalizeHeightText(""), "1");
  EXPECT_EQ(NormalizeHeightText("-5"), "1");
  EXPECT_EQ(NormalizeHeightText("12a"), "1");
  EXPECT_EQ(NormalizeHeightText("0042"), "0042");
  EXPECT_EQ(NormalizeHeightText("999999"), "999999");
  EXPECT_EQ(NormalizeHeightText("1000000"), "1");
  DialogInputs in;
  in.HeightText = "";
  in.TextHeightText = "0";
  ShadowSettings s;
  s.cadStrucHeight = 1234;
  s.cadTxtHeight = 77;
  CaptureSettings(in, s);
  EXPECT_EQ(s.cadStrucHeight, 1234);
  EXPECT_EQ(s.cadTxtHeight, 77);
}

TEST(PositionFinder, FoundPositionFillsInputs) {
  SiteInputs in;
  ApplyFoundPosition(-74.0, 40.75, -5.0, in);
  EXPECT_EQ(in.LonDegrees, 74);
  EXPECT_FALSE(in.East);
  EXPECT_EQ(in.LatDegrees, 40);
  EXPECT_EQ(in.LatMinutes, 45);
  EXPECT_FALSE(in.South);
  EXPECT_EQ(in.ZoneHours, -5);
  ApplyFoundPosition(151.2, -33.87, 9.5, in);
  EXPECT_TRUE(in.East);
  EXPECT_TRUE(in.South);
  EXPECT_EQ(in.ZoneHours, 9);
  EXPECT_EQ(in.ZoneMinutes, 30);
}

TEST(StoredSettings, DamagedValuesFallBackToInputRanges) {
  ShadowSettings s;
  s.gLatitude = std::numeric_limits<double>::quiet_NaN();
  s.gLongitude = 1e308;
  s.gTimeZone = -99.0;
  s.gDaylightSaving = 200;
  s.cadThreshold = 0;
  s.cadOrient = -5;
  s.cadStrucHeight = -10;
  s.cadTxtHeight = 5000000;
  DialogInputs in;
  ShowSettings(s, in);
  EXPECT_EQ(in.Site.LatDegrees, 52);
  EXPECT_EQ(in.Site.LonDegrees, 180);
  EXPECT_EQ(in.Site.ZoneHours, -12);
  EXPECT_EQ(in.Site.DaylightSaving, 6);
  EXPECT_EQ(in.Threshold, 1);
  EXPECT_EQ(in.Site.Orientation, 0);
  EXPECT_EQ(in.HeightText, "1");
  EXPECT_EQ(in.TextHeightText, "999999");
  SiteTime site;
  ReadSiteInputs(in.Site, site);
  EXPECT_EQ(site.LongitudeText.substr(0, 3), "180");
}
