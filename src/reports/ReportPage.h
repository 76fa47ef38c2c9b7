#pragma once
// The page skeleton every solar report shares, and the description of each member: its title,
// background, header rows, data table and notes. Used by the report builders only.
#include <string>
#include <utility>
#include <vector>

#include "reports/ReportBuilder.h"

namespace kelvaro::reports::page {

enum class Kind { Daily, Hourly, ShadowData };

struct Column {
  const char* Name;
  const char* Unit;  // "(hh:mm:ss)" ...; nullptr: the units text of the site
};

struct Member {
  Kind kind;
  const char* Title;
  const char* Background;
  std::vector<std::vector<const char*>> HeaderRows;  // label names after the first line
  int TableWidth;
  const char* ColumnWidth;
  std::vector<Column> Columns;
  std::vector<const char*> Notes;  // empty: the page ends without notes
};

// Header values by label name ("Latitude" -> "52:00:00 N").
using HeaderValues = std::vector<std::pair<std::string, std::string>>;
using Row = std::vector<std::string>;

// The notes every page with notes starts with.
inline constexpr const char* kNoteObserver =
    "1. Rise and set times are based on the observer at sea level with no obstructions to the horizon.";
inline constexpr const char* kNoteAtmosphere = "2. Observed times may vary depending on atmospheric conditions.";
inline constexpr const char* kNoteAzimuth = "3. Solar Azimuth is calculated from True North in the sense NESW.";

// Orientation and inclination: "135 degs".
std::string DegreesText(int degrees);
// Length of day from the local rise and set times, a day on when the set comes first.
double DayLength(double rise, double set);

// The first line's value: the month (daily pages) or the date (the others).
std::string FirstHeaderValue(const Member& m, const ReportInputs& in);

// Latitude, Longitude, Time Zone and Daylight Saving from the site texts.
HeaderValues SiteHeaderValues(const SiteTime& site);

std::string Write(const Member& m, const ReportInputs& in, const HeaderValues& values,
                  const std::vector<Row>& rows);

}  // namespace kelvaro::reports::page
