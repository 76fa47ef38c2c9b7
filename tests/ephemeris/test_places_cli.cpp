#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "support/run_cli.h"

using kelvaro::test::runCli;

namespace {
std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}
}  // namespace

TEST(PlacesCommand, ListsCountriesAndTheirLocations) {
  auto r = runCli({"places"});
  ASSERT_EQ(r.status, 0) << r.err;
  auto countries = lines(r.out);
  EXPECT_GT(countries.size(), 230u);
  EXPECT_NE(r.out.find("\nIN\tIndia\t28.6"), std::string::npos);
  for (const auto& l : countries) EXPECT_EQ(std::count(l.begin(), l.end(), '\t'), 4) << l;

  r = runCli({"places", "IN"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\nMumbai\t19.07283\t72.88261\t5.5\n"), std::string::npos);
  for (const auto& l : lines(r.out)) EXPECT_EQ(std::count(l.begin(), l.end(), '\t'), 3) << l;
  r = runCli({"places", "ca"});  // codes are not case-sensitive
  EXPECT_NE(r.out.find("\nSt. John's\t47.56494\t-52.70931\t-3.5\n"), std::string::npos);
}

TEST(PlacesCommand, UnknownCountryExitsTwoNamingIt) {
  for (std::string bad : {"ZZ", "Country", "IND", ""}) {
    auto r = runCli({"places", bad});
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("unknown country code " + bad), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
  }
}
