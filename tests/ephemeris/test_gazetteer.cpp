// The built-in gazetteer: every block reads, and well-known places sit where an atlas puts them.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <set>

#include "ephemeris/LocationBlock.h"
#include "ephemeris/LocationData.h"
#include "ephemeris/PositionFinder.h"

using namespace kelvaro;

namespace {

bool validUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 99;
    if (extra == 99 || i + extra >= s.size() + (extra == 0 ? 1 : 0)) return false;
    for (std::size_t k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    i += extra + 1;
  }
  return true;
}

std::vector<LocationEntry> locationsOf(const std::string& code) {
  auto bytes = GetResource(code);
  if (!bytes) return {};
  return readLocationBlock(*bytes, kLocationNameOffset);
}

const LocationEntry* find(const std::vector<LocationEntry>& list, const std::string& name) {
  for (const auto& l : list)
    if (l.Name == name) return &l;
  return nullptr;
}

}  // namespace

TEST(Gazetteer, EveryBlockReadsAndNamesAreUniqueAndReadable) {
  auto country = GetResource("Country");
  ASSERT_TRUE(country);
  auto countries = countriesFromBlock(readLocationBlock(*country, kCountryNameOffset));
  EXPECT_GT(countries.size(), 230u);
  std::set<std::string> codes;
  std::size_t total = 0;
  for (const auto& c : countries) {
    ASSERT_EQ(c.Code.size(), 2u);
    EXPECT_TRUE(std::isupper(static_cast<unsigned char>(c.Code[0])) && std::isupper(static_cast<unsigned char>(c.Code[1])));
    EXPECT_TRUE(codes.insert(c.Code).second) << c.Code;
    EXPECT_FALSE(c.Name.empty());
    EXPECT_TRUE(validUtf8(c.Name)) << c.Code;
    auto list = locationsOf(c.Code);
    EXPECT_FALSE(list.empty()) << c.Code;
    std::set<std::string> names;
    bool ownPositionListed = false;
    for (const auto& l : list) {
      EXPECT_TRUE(validUtf8(l.Name)) << c.Code << " " << l.Name;
      EXPECT_TRUE(names.insert(l.Name).second) << c.Code << " repeats " << l.Name;
      // Standard zones are whole quarter hours between -12 and +14.
      EXPECT_EQ(l.TimeZone * 4, std::round(l.TimeZone * 4)) << l.Name;
      EXPECT_GE(l.TimeZone, -12);
      EXPECT_LE(l.TimeZone, 14);
      ownPositionListed |= l.Latitude == c.Latitude && l.Longitude == c.Longitude && l.TimeZone == c.TimeZone;
    }
    EXPECT_TRUE(ownPositionListed) << c.Code << ": the country's position is not one of its places";
    total += list.size();
  }
  EXPECT_GT(total, 20000u);
  EXPECT_FALSE(GetResource("ZZ"));
  EXPECT_FALSE(GetResource(""));
}

TEST(Gazetteer, KnownPlacesAndStandardZones) {
  struct Known {
    const char* code;
    const char* name;
    double lat, lon, zone;
  };
  // Positions from an atlas (to about a tenth of a degree); standard time, not summer time.
  const Known known[] = {
      {"IN", "Mumbai", 19.07, 72.88, 5.5},           {"NP", "Kathmandu", 27.70, 85.32, 5.75},
      {"CA", "St. John's", 47.56, -52.71, -3.5},      {"AU", "Adelaide", -34.93, 138.60, 9.5},
      {"GB", "London", 51.51, -0.13, 0},              {"US", "Springfield, Missouri", 37.21, -93.30, -6},
      {"JP", "Tokyo", 35.69, 139.69, 9},              {"BR", "São Paulo", -23.55, -46.63, -3},
      {"IR", "Tehran", 35.69, 51.42, 3.5},            {"AF", "Kabul", 34.53, 69.17, 4.5},
      {"NZ", "Wellington", -41.29, 174.78, 12},       {"DE", "Köln", 50.94, 6.96, 1},
  };
  for (const auto& k : known) {
    auto list = locationsOf(k.code);
    auto* l = find(list, k.name);
    ASSERT_NE(l, nullptr) << k.name;
    EXPECT_NEAR(l->Latitude, k.lat, 0.1) << k.name;
    EXPECT_NEAR(l->Longitude, k.lon, 0.1) << k.name;
    EXPECT_EQ(l->TimeZone, k.zone) << k.name;
  }
}

TEST(Gazetteer, CountriesAreCapitalsInNameOrder) {
  PositionFinder f;
  std::size_t india = f.countries().size(), nepal = india;
  for (std::size_t i = 0; i < f.countries().size(); ++i) {
    if (f.countries()[i].Code == "IN") india = i;
    if (f.countries()[i].Code == "NP") nepal = i;
  }
  ASSERT_LT(india, f.countries().size());
  EXPECT_EQ(f.countries()[india].Name, "India");
  EXPECT_LT(india, nepal);
  // The country list starts with Afghanistan and places Åland with the A's, not after Z.
  EXPECT_EQ(f.countries().front().Name, "Afghanistan");
  EXPECT_EQ(f.countries()[1].Code, "AX");
  f.ChooseCountry(india);
  EXPECT_NEAR(f.result().FoundLatitude, 28.6, 0.1);  // New Delhi
  EXPECT_NEAR(f.result().FoundLongitude, 77.2, 0.1);
  std::size_t mumbai = f.locations().size();
  for (std::size_t i = 0; i < f.locations().size(); ++i)
    if (f.locations()[i].Name == "Mumbai") mumbai = i;
  ASSERT_LT(mumbai, f.locations().size());
  f.ChooseLocation(mumbai);
  EXPECT_EQ(f.LatitudeText().substr(0, 16), "Latitude: 19:04:");
  EXPECT_EQ(f.LongitudeText().substr(0, 17), "Longitude: 72:52:");
  EXPECT_EQ(f.TimeZoneText(), "Time Zone: 5:30");
}
