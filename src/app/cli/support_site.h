#pragma once
// Site, date and time arguments of the solar commands, read the way the settings dialog
// reads its inputs: --lat 52:00:00N --lon 0:07:00W --zone -5:30 --dst 1 --date 2024-06-21.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/cli/command.h"
#include "shadow/SiteTime.h"

namespace kelvaro::cli {

// --lat --lon --zone --dst --date; every one optional (the dialog's initial values, today).
std::vector<OptionSpec> siteOptions();

// The arguments of a command that takes the site options, `extra` and no positional argument.
Args parseSiteCommand(const std::vector<std::string>& argv, const std::vector<OptionSpec>& extra);

// The raw inputs; UsageError naming the argument for anything the dialog would not accept.
SiteInputs parseSiteInputs(const Args& args);

// parseSiteInputs + ReadSiteInputs.
SiteTime readSite(const Args& args);

struct ClockTime {
  int Hours = 12;
  int Minutes = 0;
  int Seconds = 0;
  double decimal() const { return Hours + Minutes / 60.0 + Seconds / 3600.0; }
};
// "H:MM" or, when allowSeconds, also "H:MM:SS"; hours 0-23, minutes and seconds 0-59.
ClockTime parseClockTime(const Args& args, const std::string& name, bool allowSeconds);

// An integer option within [lo, hi]; `fallback` when absent.
int intOption(const Args& args, const std::string& name, int lo, int hi, int fallback);

// Shortest text that reads back as the same double.
std::string numberText(double v);

// Named numbers of a record: a JSON object with --json, else one "Name: value" line each, with
// what `note` gives (when set) after the value.
using NamedNumbers = std::vector<std::pair<const char*, double>>;
std::string namedNumbersText(const Args& args, const NamedNumbers& fields,
                             const std::function<std::string(const std::string& name, double value)>& note = {});

}  // namespace kelvaro::cli
