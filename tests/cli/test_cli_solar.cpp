#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "shadow/SiteTime.h"
#include "support/run_cli.h"

using kelvaro::test::runCli;
using namespace kelvaro;

namespace {
// The "key": number pairs of a flat JSON object (enough for these outputs).
std::map<std::string, double> numbers(const std::string& json) {
  std::map<std::string, double> m;
  size_t pos = 0;
  while ((pos = json.find('"', pos)) != std::string::npos) {
    size_t end = json.find('"', pos + 1);
    std::string key = json.substr(pos + 1, end - pos - 1);
    size_t colon = json.find_first_not_of(" ", end + 1);
    pos = end + 1;
    if (colon == std::string::npos || json[colon] != ':') continue;
    const char* start = json.c_str() + colon + 1;
    char* stop = nullptr;
    double v = std::strtod(start, &stop);
    if (stop != start) m[key] = v;
  }
  return m;
}
std::vector<std::string> site(std::vector<std::string> extra) {
  std::vector<std::string> a = {"--lat", "51:30:00N", "--lon", "0:07:00W", "--dst", "1", "--date", "2024-06-21"};
  a.insert(a.end(), extra.begin(), extra.end());
  return a;
}
std::vector<std::string> cmd(const std::string& name, std::vector<std::string> args) {
  args.insert(args.begin(), name);
  return args;
}
}  // namespace

TEST(CliSun, JsonAgreesWithTheLibrary) {
  auto r = runCli(cmd("sun", site({"--time", "14:30:15", "--json"})));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  auto m = numbers(r.out);
  SunPosition p = ComputeSunPosition({21, 6, 2024}, 1, 14.5 + 15 / 3600.0, 0, 51.5, -7 / 60.0);
  const std::pair<const char*, double> expect[] = {
      {"GeometricLongitude", p.GeometricLongitude}, {"Distance", p.Distance},
      {"GeometricRightAscension", p.GeometricRightAscension}, {"GeometricDeclination", p.GeometricDeclination},
      {"ApparentLongitude", p.ApparentLongitude}, {"RightAscension", p.RightAscension},
      {"Declination", p.Declination}, {"HourAngle", p.HourAngle}, {"Azimuth", p.Azimuth},
      {"Altitude", p.Altitude}, {"LocalTime", p.LocalTime}};
  EXPECT_EQ(m.size(), 11u);
  for (const auto& [key, value] : expect) {
    ASSERT_TRUE(m.count(key)) << key;
    EXPECT_NEAR(m[key], value, 1e-9) << key;
  }
  r = runCli(cmd("sun", site({"--time", "14:30:15"})));
  ASSERT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Azimuth: "), std::string::npos);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 11);
}

TEST(CliSun, SiteArgumentsFollowTheDialogRules) {
  auto az = [](std::vector<std::string> args) {
    args.insert(args.end(), {"--date", "2024-03-20", "--time", "10:00", "--json"});
    auto r = runCli(cmd("sun", args));
    EXPECT_EQ(r.status, 0) << r.err;
    return numbers(r.out)["Azimuth"];
  };
  // Short latitude forms.
  EXPECT_EQ(az({"--lat", "52N"}), az({"--lat", "52:00:00N"}));
  EXPECT_EQ(az({"--lat", "52:30N"}), az({"--lat", "52:30:00N"}));
  EXPECT_NE(az({"--lat", "52:30N"}), az({"--lat", "52:30S"}));
  // At 180 degrees minutes and seconds are dropped.
  EXPECT_EQ(az({"--lon", "180:30:10E"}), az({"--lon", "180E"}));
  // The zone's sign comes from its hours: -0:30 is +0:30.
  EXPECT_EQ(az({"--zone", "-0:30"}), az({"--zone", "0:30"}));
  EXPECT_NE(az({"--zone", "-5:30"}), az({"--zone", "5:30"}));
  // Places east of the date line (Tonga) keep their +13 zone, as in the dialog.
  EXPECT_NE(az({"--zone", "13"}), az({"--zone", "12"}));
}

TEST(CliSun, BadArgumentsNameTheArgument) {
  const std::vector<std::vector<std::string>> bad = {
      {"--lat", "52X", "--time", "12:00"},        {"--lat", "90N", "--time", "12:00"},
      {"--lat", "52:60N", "--time", "12:00"},     {"--lon", "181W", "--time", "12:00"},
      {"--lon", "-5W", "--time", "12:00"},        {"--zone", "15", "--time", "12:00"},
      {"--zone", "-5:50", "--time", "12:00"},     {"--zone", "five", "--time", "12:00"},
      {"--dst", "7", "--time", "12:00"},          {"--date", "2023-02-29", "--time", "12:00"},
      {"--date", "21/06/2024", "--time", "12:00"}, {"--time", "24:00"},
      {"--time", "12"},                           {"--time", "12:5"},
  };
  for (const auto& args : bad) {
    auto r = runCli(cmd("sun", args));
    EXPECT_EQ(r.status, 2) << args[0] << " " << args[1];
    std::string named = args.size() == 4 ? args[0] : "--time";
    EXPECT_NE(r.err.find(named), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  auto r = runCli({"sun", "--lat", "52N"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--time"), std::string::npos);
}

TEST(CliRiseSet, ValuesAndExactFailures) {
  auto r = runCli(cmd("riseset", site({"--json"})));
  ASSERT_EQ(r.status, 0) << r.err;
  auto m = numbers(r.out);
  for (const char* k : {"RiseUT", "RiseLCT", "RiseAzimuth", "SetUT", "SetLCT", "SetAzimuth", "SolarNoon"})
    EXPECT_TRUE(m.count(k)) << k;
  RiseSetTimes rs = SunriseSunset({21, 6, 2024}, 1, 0, 51.5, -7 / 60.0);
  EXPECT_NEAR(m["RiseLCT"], rs.RiseLCT, 1e-9);
  EXPECT_NEAR(m["SetAzimuth"], rs.SetAzimuth, 1e-9);
  EXPECT_NEAR(m["SolarNoon"], (m["RiseLCT"] + m["SetLCT"]) / 2, 1e-9);
  EXPECT_NEAR(m["RiseLCT"] - m["RiseUT"], 1.0, 1e-9);

  r = runCli({"riseset", "--lat", "70N", "--date", "2024-06-21"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "The sun never sets\n");
  EXPECT_EQ(r.out, "");
  r = runCli({"riseset", "--lat", "70N", "--date", "2024-12-21"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "The sun never rises\n");
}

TEST(CliCalc, LabelsByCaption) {
  auto r = runCli(cmd("calc", site({"--time", "9:05", "--json"})));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("{\n  \"labels\": {"), 0u);
  EXPECT_NE(r.out.find("\"Local Civil Time:\": \"9:05\""), std::string::npos);
  EXPECT_NE(r.out.find("\"Date:\": \"June 21, 2024\""), std::string::npos);
  EXPECT_NE(r.out.find("\"Latitude:\": \"51:30:00 N\""), std::string::npos);
  EXPECT_NE(r.out.find("\"A structure 1000mm high would cast a Shadow of:\": \""), std::string::npos);
  // The sunrise text keeps its trailing blank.
  size_t at = r.out.find("\"On this date, Sunrise:\": \"");
  ASSERT_NE(at, std::string::npos);
  size_t close = r.out.find('"', at + 27);
  EXPECT_EQ(r.out[close - 1], ' ');
  // Polar night: message on stderr, the run goes on.
  r = runCli({"calc", "--lat", "75N", "--date", "2024-12-21", "--time", "12:00", "--json"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Information: The sun never rises\n");
  EXPECT_NE(r.out.find("\"Sunset:\": \"00:00:00\""), std::string::npos);
  EXPECT_NE(r.out.find("\"at an Angle of:\": \"n/a\""), std::string::npos);
  r = runCli(cmd("calc", site({"--time", "9:05:30"})));
  EXPECT_EQ(r.status, 2);
}

TEST(CliProfile, JsonHoursAndFailures) {
  auto r = runCli(cmd("profile", site({"h", "--height", "2000", "--threshold", "10", "--orientation", "135",
                                        "--units", "mm", "--json"})));
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* k : {"HorizontalTitle", "VerticalTitle", "SiteLine", "SunLine", "CreatedLine", "HorizontalNote",
                        "VerticalNote", "Hours"})
    EXPECT_NE(r.out.find(std::string("\"") + k + "\""), std::string::npos) << k;
  for (const char* k : {"Time", "Azimuth", "Altitude", "ShadowBearing", "ShadowLength", "ShadowX", "ShadowY",
                        "ProfileAngle", "ProfileWidth", "ProfileWidthCopy"}) {
    std::string key = std::string("\"") + k + "\":";
    size_t n = 0;
    for (size_t p = r.out.find(key); p != std::string::npos; p = r.out.find(key, p + 1)) ++n;
    EXPECT_EQ(n, 24u) << k;
  }
  EXPECT_NE(r.out.find("Height of Structure 2000mm\""), std::string::npos);

  r = runCli({"profile", "v", "--lat", "60N", "--date", "2024-12-21", "--threshold", "45"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "Information: No shadows are cast for these settings. Try changing Shadow Threshold.\n");
  r = runCli({"profile", "h", "--lat", "75N", "--date", "2024-12-21"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "Error: No shadows are cast for these settings. Try changing Latitude.\n");
  // Polar day: the message, then the profile.
  r = runCli({"profile", "h", "--lat", "70N", "--date", "2024-06-21"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Information: The sun never sets\n");
  EXPECT_NE(r.out.find("SunLine: Sunrise 0:00:00 Sunset 0:00:00\n"), std::string::npos);

  for (auto args : std::vector<std::vector<std::string>>{{"x"},
                                                          {},
                                                          {"h", "--units", "cm"},
                                                          {"h", "--threshold", "46"},
                                                          {"h", "--height", "0"},
                                                          {"h", "--orientation", "360"},
                                                          {"h", "--output", "out.dxf", "--release", "15"},
                                                          {"h", "--binary"}}) {
    r = runCli(cmd("profile", args));
    EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args.back());
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
}

TEST(CliCalc, AmbiguousSolarNoonIsAnErrorWithoutLabels) {
  // The equator's sunrise at local 00:02 in zone -6 makes solar noon ambiguous; at 60 N in
  // December the site's own sunrise check passes.
  double ut0 = SunriseSunset({10, 12, 2024}, 0, 0, 0, 0).RiseUT;
  DmsAngle lon = DecimalToDms((ut0 - (6.0 + 2.0 / 60)) * 15.0);
  std::string lonArg = std::to_string(int(lon.Degrees)) + ":" + std::to_string(int(lon.Minutes)) + ":" +
                       std::to_string(int(lon.Seconds)) + (lon.Sign == -1 ? "W" : "E");
  auto r = runCli({"calc", "--lat", "60N", "--lon", lonArg, "--zone", "-6", "--date", "2024-12-10", "--time", "9:00"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err,
            "Error: Ambiguous result in calculation of sunrise and sunset during conversion of sidereal to local "
            "time.\n");
  EXPECT_EQ(r.out, "");
}
