#include <cctype>
#include <ostream>

#include "app/cli/command.h"
#include "app/cli/support_site.h"
#include "ephemeris/LocationBlock.h"
#include "ephemeris/LocationData.h"

namespace kelvaro::cli {
namespace {

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
      text += c.Code + "\t" + c.Name + "\t" + numberText(c.Latitude) + "\t" + numberText(c.Longitude) + "\t" +
              numberText(c.TimeZone) + "\n";
  } else {
    std::string code = args.positional[0];
    for (auto& ch : code) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    // Only country codes name location blocks; "Country" itself is not a country.
    if (code.size() != 2 || !GetResource(code)) throw UsageError("unknown country code " + args.positional[0]);
    for (const auto& l : block(code, kLocationNameOffset))
      text += l.Name + "\t" + numberText(l.Latitude) + "\t" + numberText(l.Longitude) + "\t" + numberText(l.TimeZone) + "\n";
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
