#pragma once
// The solar calculator's computation: one site, one date, one local civil time, written
// as the calculator window's caption and value labels.
#include <string>
#include <vector>

#include "ephemeris/Format.h"
#include "shadow/SiteTime.h"

namespace kelvaro {

struct CalculatorLabel {
  std::string Caption;
  std::string Value;
};

struct SolarCalculatorPage {
  std::vector<CalculatorLabel> Labels;  // in the window's order, three blocks
  // The value of the label with this caption ("" when there is none).
  std::string value(const std::string& caption) const;
};

inline constexpr int kCalculatorInputLabels = 6;  // "Latitude:" .. "Local Civil Time:"
inline constexpr int kCalculatorDateLabels = 6;   // "On this date, Sunrise:" .. "Altitude at Solar Noon:"
inline constexpr int kCalculatorTimeLabels = 4;   // "At this time, Solar Azimuth:" .. "at an Angle of:"

inline constexpr const char* kCalculatorNote =
    "Azimuth and Shadow Angle are calculated from True North in the sense NESW";
inline constexpr const char* kCalculatorEmptyValue = "00:00:00";

// The sixteen labels with their captions and "00:00:00" in every value.
SolarCalculatorPage EmptyCalculatorPage();

// Fills the page for `site` (already read from the inputs) at local civil time hours:minutes.
// Runs the sunrise and sunset check, whose messages go through the message hook; when it
// fails the "on this date" block keeps its "00:00:00" values. An ephemeris error of the solar
// noon (an ambiguous local time) leaves as its exception: no page.
SolarCalculatorPage ComputeSolarCalculator(SiteTime& site, int hours, int minutes,
                                           const DateLocale& locale = DefaultDateLocale());

}  // namespace kelvaro
