#include <cctype>
#include <charconv>
#include <ostream>

#include "app/cli/command.h"
#include "ephemeris/LocationBlock.h"
#include "ephemeris/LocationData.h"

namespace kelvaro::cli {
namespace {

// Shortest text that reads back as the same double ("19.07283", "5.5", "0").
std::string number(double v) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::vector<LocationEntry> block(const std::string& name, std::uint8_t offset) {
  try {
    auto bytes = GetResource(name);
    if (!bytes) return {};
    return readLocationBlock(*bytes, offset);
  } catch (const LocationBlockError& e) {
    throw Failure(e.what());
  }
}

int run(const std::vector<std::string>& argv, Io& io) {
  Args args = parseArgs(argv, {{"--output"}});
  if (args.positional.size() > 1) throw UsageError("unexpected argument " + args.positional[1]);
  std::string text;
  if (args.positional.empty()) {
    for (const auto& c : countriesFromBlock(block("Country", kCountryNameOffset)))
      text += c.Code + "\t" + c.Name + "\t" + number(c.Latitude) + "\t" + number(c.Longitude) + "\t" +
              number(c.TimeZone) + "\n";
  } else {
    std::string code = args.positional[0];
    for (auto& ch : code) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    // Only country codes name location blocks; "Country" itself is not a country.
    if (code.size() != 2 || !GetResource(code)) throw UsageError("unknown country code " + args.positional[0]);
    for (const auto& l : block(code, kLocationNameOffset))
      text += l.Name + "\t" + number(l.Latitude) + "\t" + number(l.Longitude) + "\t" + number(l.TimeZone) + "\n";
  }
  emit(args, io, text);
  return kOk;
}

}  // namespace
KELVARO_CLI_COMMAND("places", "list the position finder's countries, or the locations of one country",
                    "kelvaro-cli places [COUNTRY] [--output FILE]\n"
                    "  without COUNTRY: CODE<TAB>name<TAB>lat<TAB>lon<TAB>zone per country\n"
                    "  COUNTRY (two-letter code, e.g. IN): name<TAB>lat<TAB>lon<TAB>zone per location\n"
                    "  latitude north positive, longitude east positive (degrees), zone east positive (hours)",
                    run);
}  // namespace kelvaro::cli
