#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "ephemeris/LocationBlock.h"
#include "ephemeris/PositionFinder.h"
#include "platform/notify.h"
#include "shadow/SiteTime.h"

using namespace kelvaro;

namespace {

// A stand-in for the built-in data: named blocks held in memory.
struct FakeSource {
  std::map<std::string, std::vector<std::uint8_t>> blocks;
  LocationSource source() {
    return [this](std::string_view name) -> std::optional<std::span<const std::uint8_t>> {
      auto it = blocks.find(std::string(name));
      if (it == blocks.end()) return std::nullopt;
      return std::span<const std::uint8_t>(it->second);
    };
  }
};

FakeSource twoCountries() {
  FakeSource s;
  std::vector<LocationEntry> countries{{"INIndia", 28.63576, 77.22445, 5.5}, {"CACanada", 45.41117, -75.69812, -5.0}};
  std::vector<LocationEntry> india{{"Delhi", 28.65195, 77.23149, 5.5}, {"Mumbai", 19.07283, 72.88261, 5.5}};
  std::vector<LocationEntry> canada{{"St. John's", 47.56494, -52.70931, -3.5}};
  s.blocks["Country"] = writeLocationBlock(countries, kCountryNameOffset);
  s.blocks["IN"] = writeLocationBlock(india, kLocationNameOffset);
  s.blocks["CA"] = writeLocationBlock(canada, kLocationNameOffset);
  return s;
}

}  // namespace

TEST(PositionFinderLabels, FormatsDegreesMinutesSecondsAndZones) {
  EXPECT_EQ(LongitudeLabel(0), "Longitude: 0:00:00 E");
  EXPECT_EQ(LatitudeLabel(0), "Latitude: 0:00:00 N");
  EXPECT_EQ(TimeZoneLabel(0), "Time Zone: 0:00");
  // 19.07283 deg = 19 deg 4.3698 min = 19 deg 4 min 22.19 s (seconds are truncated).
  EXPECT_EQ(LatitudeLabel(19.07283), "Latitude: 19:04:22 N");
  EXPECT_EQ(LongitudeLabel(72.88261), "Longitude: 72:52:57 E");
  // London: 0.12574 deg W = 7 min 32.7 s.
  EXPECT_EQ(LongitudeLabel(-0.12574), "Longitude: 0:07:32 W");
  EXPECT_EQ(LatitudeLabel(-34.92866), "Latitude: 34:55:43 S");
  EXPECT_EQ(LongitudeLabel(-175.2018), "Longitude: 175:12:06 W");
  EXPECT_EQ(TimeZoneLabel(-3.5), "Time Zone: -3:30");
  EXPECT_EQ(TimeZoneLabel(5.75), "Time Zone: 5:45");
  EXPECT_EQ(TimeZoneLabel(-9.5), "Time Zone: -9:30");
  EXPECT_EQ(TimeZoneLabel(12.75), "Time Zone: 12:45");
  // The bias lifts a value a hair below a whole minute onto it.
  EXPECT_EQ(LatitudeLabel(10 + 1 / 60.0 - 1e-9), "Latitude: 10:01:00 N");
}

TEST(PositionFinder, ResultIsZeroUntilChosenThenCountryThenLocation) {
  auto fake = twoCountries();
  PositionFinder f(fake.source());
  ASSERT_EQ(f.countries().size(), 2u);
  EXPECT_EQ(f.countries()[0].Name, "India");
  EXPECT_EQ(f.countries()[1].Code, "CA");
  EXPECT_TRUE(f.locations().empty());
  // OK without a choice hands back zeros.
  EXPECT_EQ(f.result().FoundLongitude, 0);
  EXPECT_EQ(f.result().FoundLatitude, 0);
  EXPECT_EQ(f.result().FoundTimeZone, 0);
  EXPECT_EQ(f.LongitudeText(), "Longitude: 0:00:00 E");

  f.ChooseCountry(0);  // the country's own position, before any location
  ASSERT_EQ(f.locations().size(), 2u);
  EXPECT_EQ(f.locations()[1].Name, "Mumbai");
  EXPECT_DOUBLE_EQ(f.result().FoundLatitude, 28.63576);
  EXPECT_DOUBLE_EQ(f.result().FoundLongitude, 77.22445);
  f.ChooseLocation(1);
  EXPECT_DOUBLE_EQ(f.result().FoundLatitude, 19.07283);
  EXPECT_DOUBLE_EQ(f.result().FoundLongitude, 72.88261);
  EXPECT_EQ(f.TimeZoneText(), "Time Zone: 5:30");

  f.ChooseCountry(1);  // another country replaces the list and the result
  ASSERT_EQ(f.locations().size(), 1u);
  EXPECT_DOUBLE_EQ(f.result().FoundTimeZone, -5.0);
  f.ChooseLocation(0);
  EXPECT_EQ(f.TimeZoneText(), "Time Zone: -3:30");
  f.ChooseLocation(5);  // nothing there: unchanged
  f.ChooseCountry(9);
  EXPECT_DOUBLE_EQ(f.result().FoundTimeZone, -3.5);
}

TEST(PositionFinder, MissingBlocksStayQuietDamagedBlocksAreReported) {
  MessageCapture cap;
  FakeSource none;
  EXPECT_TRUE(PositionFinder(none.source()).countries().empty());
  EXPECT_TRUE(PositionFinder(LocationSource{}).countries().empty());

  auto fake = twoCountries();
  fake.blocks.erase("IN");
  auto& ca = fake.blocks["CA"];
  ca.resize(ca.size() - 3);  // cut into the last entry
  fake.blocks["CA"][4] = static_cast<std::uint8_t>(ca.size());
  PositionFinder f(fake.source());
  f.ChooseCountry(0);
  EXPECT_TRUE(f.locations().empty());
  EXPECT_DOUBLE_EQ(f.result().FoundTimeZone, 5.5);  // the country is still chosen
  EXPECT_TRUE(cap.messages().empty());
  f.ChooseCountry(1);
  EXPECT_TRUE(f.locations().empty());
  ASSERT_EQ(cap.messages().size(), 1u);
  EXPECT_EQ(cap.messages()[0].kind, MsgKind::Error);
  EXPECT_NE(cap.messages()[0].text.find("\"CA\""), std::string::npos);

  fake.blocks["Country"].resize(10);
  EXPECT_TRUE(PositionFinder(fake.source()).countries().empty());
  EXPECT_EQ(cap.messages().size(), 2u);
}

TEST(PositionFinder, ResultRoundTripsThroughTheSettingsInputs) {
  // Finder result -> the settings dialog's inputs -> the site the analyses read.
  struct Case { double lon, lat, zone; };
  for (Case c : {Case{72.88261, 19.07283, 5.5}, Case{-52.70931, 47.56494, -3.5}, Case{138.59863, -34.92866, 9.5},
                 Case{85.3206, 27.70169, 5.75}, Case{-0.12574, 51.50853, 0}, Case{-139.5, -8.9, -9.5},
                 Case{180, 0, 12.75}, Case{0, -0.0001, -11}}) {
    SiteInputs in;
    ApplyFoundPosition(c.lon, c.lat, c.zone, in);
    SiteTime site;
    ReadSiteInputs(in, site);
    // Seconds are truncated, so the site lies up to one second nearer the equator / meridian.
    EXPECT_NEAR(site.longitude(), c.lon, 1 / 3600.0) << c.lon;
    EXPECT_NEAR(site.latitude(), c.lat, 1 / 3600.0) << c.lat;
    EXPECT_DOUBLE_EQ(site.zone(), c.zone);
  }
  SiteInputs mumbai;
  ApplyFoundPosition(72.88261, 19.07283, 5.5, mumbai);
  SiteTime site;
  ReadSiteInputs(mumbai, site);
  EXPECT_EQ(site.LatitudeText, "19:04:22 N");
  EXPECT_EQ(site.LongitudeText, "72:52:57 E");
  EXPECT_EQ(site.TimeZoneText, "5:30");
  SiteInputs stJohns;
  ApplyFoundPosition(-52.70931, 47.56494, -3.5, stJohns);
  EXPECT_EQ(stJohns.ZoneHours, -3);
  EXPECT_EQ(stJohns.ZoneMinutes, 30);
  EXPECT_FALSE(stJohns.East);
}
