#include "app/cli/command.h"
#include "app/cli/json.h"
#include "app/cli/support_site.h"
#include "platform/notify.h"
#include "reports/SCalcCore.h"

namespace kelvaro::cli {
namespace {

int run(const std::vector<std::string>& argv, Io& io) {
  Args args = parseSiteCommand(argv, {{"--time"}, {"--json", false}, {"--output"}});
  SiteTime site = readSite(args);
  ClockTime t = parseClockTime(args, "--time", false);
  SolarCalculatorPage page;
  try {
    page = ComputeSolarCalculator(site, t.Hours, t.Minutes);
  } catch (const EEphemerisError& e) {
    // The window's general error handler would show this and no calculator.
    showError(e.what());
    return kFailed;
  }
  std::string text;
  if (args.flag("--json")) {
    JsonWriter w;
    w.beginObject().key("labels").beginObject();
    for (const auto& l : page.Labels) w.field(l.Caption, l.Value);
    w.endObject().endObject();
    text = w.str();
  } else {
    for (const auto& l : page.Labels) text += l.Caption + " " + l.Value + "\n";
    text += std::string(kCalculatorNote) + "\n";
  }
  emit(args, io, text);
  return kOk;
}

}  // namespace
KELVARO_CLI_COMMAND("calc", "the solar calculator for a site, date and local civil time",
                    "kelvaro-cli calc [--lat 52:00:00N] [--lon 0:07:00W] [--zone -5:30] [--dst 1]\n"
                    "                 [--date 2024-06-21] --time H:MM [--json] [--output FILE]\n"
                    "  prints the calculator window's captions and values; --json gives\n"
                    "  {\"labels\": {caption: text}}; exits 3 after the error message when solar\n"
                    "  noon falls at an ambiguous local time",
                    run);
}  // namespace kelvaro::cli
