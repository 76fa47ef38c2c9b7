#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "ephemeris/LocationBlock.h"
#include "ephemeris/LocationData.h"

using namespace kelvaro;

namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::size_t pos, std::uint32_t v) { std::memcpy(b.data() + pos, &v, 4); }
void append(Bytes& b, const void* p, std::size_t n) {
  auto* c = static_cast<const std::uint8_t*>(p);
  b.insert(b.end(), c, c + n);
}

// One entry laid out by hand, independently of the writer.
Bytes handEntry(const std::string& name, std::uint8_t k, double lat, double lon, double zone) {
  Bytes b;
  std::uint16_t n = static_cast<std::uint16_t>(name.size());
  append(b, &n, 2);
  for (unsigned char c : name) b.push_back(static_cast<std::uint8_t>((c + k) % 256));
  append(b, &lat, 8);
  append(b, &lon, 8);
  append(b, &zone, 8);
  return b;
}

Bytes handBlock(const std::vector<Bytes>& entries, std::int32_t count = -1) {
  Bytes b(8);
  for (const auto& e : entries) b.insert(b.end(), e.begin(), e.end());
  std::int32_t n = count >= 0 ? count : static_cast<std::int32_t>(entries.size());
  std::memcpy(b.data(), &n, 4);
  put32(b, 4, static_cast<std::uint32_t>(b.size()));
  return b;
}

std::string rejection(const Bytes& b, std::uint8_t k = 0) {
  try {
    readLocationBlock(b, k);
  } catch (const LocationBlockError& e) {
    return e.what();
  }
  return {};
}

}  // namespace

TEST(LocationBlock, ReadsHandMadeBlockAndSubtractsTheOffsetModulo256) {
  // 'M' + 200 wraps past 255; "ö" is two UTF-8 bytes that must come back unchanged.
  auto b = handBlock({handEntry("Mumbai", 200, 19.07283, 72.88261, 5.5),
                      handEntry("K\xc3\xb6ln", 200, 50.93333, 6.95, 1.0)});
  auto entries = readLocationBlock(b, 200);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].Name, "Mumbai");
  EXPECT_DOUBLE_EQ(entries[0].Latitude, 19.07283);
  EXPECT_DOUBLE_EQ(entries[0].Longitude, 72.88261);
  EXPECT_DOUBLE_EQ(entries[0].TimeZone, 5.5);
  EXPECT_EQ(entries[1].Name, "K\xc3\xb6ln");
  EXPECT_EQ(writeLocationBlock(entries, 200), b);  // the writer lays out the same bytes

  // Trailing bytes after the end offset are not entries; an empty block is fine.
  b.push_back(0xEE);
  EXPECT_EQ(readLocationBlock(b, 200).size(), 2u);
  EXPECT_TRUE(readLocationBlock(handBlock({}), 0).empty());
  EXPECT_TRUE(readLocationBlock(handBlock({handEntry("", 3, 0, 0, 0)}), 3)[0].Name.empty());
}

TEST(LocationBlock, RejectsEveryTruncation) {
  auto good = handBlock({handEntry("Adelaide", 7, -34.92866, 138.59863, 9.5), handEntry("Perth", 7, -31.95, 115.86, 8)});
  for (std::size_t size = 0; size < good.size(); ++size) {
    Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_NE(rejection(cut, 7), "") << "accepted a block cut to " << size << " bytes";
  }
}

TEST(LocationBlock, RejectsCountsOffsetsAndNamesThatRunPastTheEnd) {
  auto entry = handEntry("Perth", 0, -31.95, 115.86, 8);
  auto b = handBlock({entry});

  auto bigCount = handBlock({entry}, 1'000'000'000);
  EXPECT_NE(rejection(bigCount).find("count"), std::string::npos);
  EXPECT_NE(rejection(handBlock({entry}, 2)), "");             // claims one more entry than it holds
  EXPECT_NE(rejection(handBlock({entry, entry}, 1)), "");      // holds more than its count
  auto negative = b;
  std::int32_t minus = -1;
  std::memcpy(negative.data(), &minus, 4);
  EXPECT_NE(rejection(negative).find("negative"), std::string::npos);

  auto farEnd = b;
  put32(farEnd, 4, static_cast<std::uint32_t>(b.size() + 1));
  EXPECT_NE(rejection(farEnd).find("end offset"), std::string::npos);
  put32(farEnd, 4, 0xFFFFFFFFu);
  EXPECT_NE(rejection(farEnd), "");
  auto inHeader = b;
  put32(inHeader, 4, 3);
  EXPECT_NE(rejection(inHeader), "");
  auto midEntry = b;  // the end offset cuts the only entry in half
  put32(midEntry, 4, static_cast<std::uint32_t>(b.size() - 4));
  EXPECT_NE(rejection(midEntry), "");

  auto longName = b;
  std::uint16_t n = 0xFFFF;
  std::memcpy(longName.data() + 8, &n, 2);
  EXPECT_NE(rejection(longName).find("name of entry 1"), std::string::npos);
}

TEST(LocationBlock, RejectsValuesNoPlaceCanHave) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_NE(rejection(handBlock({handEntry("x", 0, nan, 0, 0)})).find("latitude"), std::string::npos);
  EXPECT_NE(rejection(handBlock({handEntry("x", 0, 91, 0, 0)})).find("latitude"), std::string::npos);
  EXPECT_NE(rejection(handBlock({handEntry("x", 0, 0, -inf, 0)})).find("longitude"), std::string::npos);
  EXPECT_NE(rejection(handBlock({handEntry("x", 0, 0, 0, 1e300)})).find("time zone"), std::string::npos);
  EXPECT_EQ(rejection(handBlock({handEntry("x", 0, -90, 180, -12)})), "");
}

TEST(LocationBlock, CountryEntriesSplitIntoCodeAndShownName) {
  std::string longName(150, 'a');
  std::vector<LocationEntry> entries{{"INIndia", 28.6, 77.2, 5.5}, {"NP" + longName, 27.7, 85.3, 5.75}, {"X", 0, 0, 0}};
  auto countries = countriesFromBlock(entries);
  ASSERT_EQ(countries.size(), 3u);
  EXPECT_EQ(countries[0].Code, "IN");
  EXPECT_EQ(countries[0].Name, "India");
  EXPECT_DOUBLE_EQ(countries[0].TimeZone, 5.5);
  EXPECT_EQ(countries[1].Name.size(), 99u);  // characters 3 to 101
  EXPECT_EQ(countries[2].Code, "X");
  EXPECT_EQ(countries[2].Name, "");
}

TEST(LocationArchive, SplitsNamedBlocksAndRejectsOverruns) {
  Bytes a{'K', 'L', 'O', 'C', 2, 0, 0, 0};
  auto add = [&](const std::string& name, const Bytes& data) {
    a.push_back(static_cast<std::uint8_t>(name.size()));
    append(a, name.data(), name.size());
    std::uint32_t n = static_cast<std::uint32_t>(data.size());
    append(a, &n, 4);
    a.insert(a.end(), data.begin(), data.end());
  };
  add("Country", {1, 2, 3});
  add("IN", {});
  auto blocks = splitLocationArchive(a);
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].Name, "Country");
  EXPECT_EQ(blocks[0].Bytes.size(), 3u);
  EXPECT_EQ(blocks[1].Name, "IN");
  for (std::size_t size = 0; size < a.size(); ++size)
    EXPECT_THROW(splitLocationArchive(std::span(a.data(), size)), LocationBlockError) << size;
  a[4] = 3;  // one block more than there is
  EXPECT_THROW(splitLocationArchive(a), LocationBlockError);
}
