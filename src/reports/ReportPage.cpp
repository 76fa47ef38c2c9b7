#include "reports/ReportPage.h"

#include <stdexcept>

namespace kelvaro::reports::page {
namespace {

const char* const kLabelCell = "<td width=\"125\" valign=\"top\" align=\"right\">";
const char* const kValueCell = "<td width=\"125\" valign=\"top\" align=\"left\">";

std::string LabelCell(const Member& m, const std::string& name) {
  std::string s = kLabelCell;
  if (name == "Longitude") return s + "<font size=\"2\"><p><b>Longitude:</b></p></font></td>";
  if (name == "Daylight Saving" && m.kind == Kind::ShadowData)
    return s + "<font size=\"2\"><p><b>Daylight Saving:</b></font></p></td>";
  return s + "<font size=\"2\"><b>" + name + ":</b></font></td>";
}

std::string ValueCell(const std::string& name, const std::string& value) {
  std::string open = name == "Inclination" ? "<font size=\"2\"> " : "<font size=\"2\">";
  return kValueCell + open + value + "</font></td>";
}

const std::string& ValueOf(const HeaderValues& values, const std::string& name) {
  for (const auto& [k, v] : values)
    if (k == name) return v;
  throw std::logic_error("report header value missing: " + name);
}

std::string CellOpen(const Member& m) {
  return std::string("<td width=\"") + m.ColumnWidth + "\" valign=\"top\" align=\"right\">";
}

}  // namespace

std::string DegreesText(int degrees) { return std::to_string(degrees) + " degs"; }

double DayLength(double rise, double set) { return set - rise + (rise > set ? 24 : 0); }

std::string FirstHeaderValue(const Member& m, const ReportInputs& in) {
  return FormatDate(in.Date, m.kind == Kind::Daily ? "mmmm, yyyy" : "mmmm dd, yyyy", in.Locale);
}

HeaderValues SiteHeaderValues(const SiteTime& site) {
  return {{"Latitude", site.LatitudeText},
          {"Longitude", site.LongitudeText},
          {"Time Zone", site.TimeZoneText},
          {"Daylight Saving", site.DaylightSavingText}};
}

std::string Write(const Member& m, const ReportInputs& in, const HeaderValues& values,
                  const std::vector<Row>& rows) {
  const bool daily = m.kind == Kind::Daily;
  std::string s;
  s.reserve(16384);
  // 1-2. Opening and the first header line.
  s += std::string("<html><body background=\"") + m.Background +
       "\"><center><table border=\"0\" width=\"500\" cellspacing=\"0\" cellpadding=\"0\"><tr><td width=\"100%\">"
       "<center><font size=\"5\"><b><u>" + m.Title +
       "</b></u><br><br><table border=\"0\" width=\"500\"><tr><td width=\"125\" valign=\"top\" align=\"right\">"
       "<font size=\"2\"><p><b>" + (daily ? "Month" : "Date") +
       ":</b></font></p></td><td width=\"125\" valign=\"top\" align=\"left\"><font size=\"2\">";
  s += FirstHeaderValue(m, in) + "</font></td></tr>";
  // 3-4. Header rows of one or two label/value pairs, then the end of the header table.
  for (const auto& row : m.HeaderRows) {
    s += "<tr>";
    for (const char* name : row) s += LabelCell(m, name) + ValueCell(name, ValueOf(values, name));
    s += "</tr>";
  }
  s += "</table>";
  // 5-6. Data table, its caption row (daily pages) and the column headers.
  s += "<p><table border=\"1\" width=\"" + std::to_string(m.TableWidth) + "\" cellpadding=\"2\" cellspacing=\"0\">";
  if (daily)
    s += "<tr><td width=\"100%\" valign=\"top\" align=\"center\" colspan=\"5\">"
         "<font size=\"2\"><b>Local Civil Time</b></font></td></tr>";
  s += "<tr>";
  for (const Column& c : m.Columns) {
    s += CellOpen(m) + "<b><font size=\"2\">" + c.Name + "</b><br>";
    s += c.Unit ? std::string(c.Unit) : "(" + in.Site.UnitsText + ")";
    s += "</font></td>";
  }
  s += "</tr>";
  // 7. Data rows.
  for (const Row& r : rows) {
    s += "<tr>";
    for (const std::string& v : r) s += CellOpen(m) + "<font size=\"2\">" + v + "</font></td>";
    s += "</tr>";
  }
  // 8. Footer and notes.
  s += "</table><p><font size=\"2\"><i>Extract from " + in.ApplicationTitle + ", " +
       FormatDate(in.Today, "mmmm dd, yyyy", in.Locale) + "</i></font></td></tr>";
  if (m.Notes.empty()) return s + "</table></body></html>";
  s += "<tr><td><br><br><center><font size=\"2\"><b>NOTES</b><br>";
  for (size_t i = 0; i < m.Notes.size(); ++i) {
    s += m.Notes[i];
    if (i + 1 < m.Notes.size()) s += "<br>";
  }
  return s + "</tr></td></table></body></html>";
}

}  // namespace kelvaro::reports::page
