// The two shadow data pages: the hours of a shadow profile as a table.
#include <cmath>

#include "reports/ReportBuilder.h"
#include "reports/ReportPage.h"

namespace kelvaro::reports {
namespace {

using page::Column;
using page::Kind;
using page::Member;
using page::Row;

constexpr const char* kNote1 = page::kNoteObserver;
constexpr const char* kNote2 = page::kNoteAtmosphere;

const std::vector<std::vector<const char*>> kHeadStart{
    {"Latitude", "Sunrise"}, {"Longitude", "Sunset"}, {"Time Zone", "Solar Noon"}, {"Daylight Saving", "Length of Day"}};

std::vector<std::vector<const char*>> Header(bool vertical) {
  auto rows = kHeadStart;
  if (vertical)
    rows.push_back({"Height of Structure", "Orientation"});
  else
    rows.push_back({"Height of Structure"});
  return rows;
}

const Member& HorizontalMember() {
  static const Member m{Kind::ShadowData, "Shadow Data for Horizontal Shadow Profile", "stippl2.jpg", Header(false), 500,
                        "20%",
                        {{"Local Civil Time", "(hh:mm)"}, {"Solar Azimuth", "(dd:mm:ss)"}, {"Solar Altitude", "(dd:mm:ss)"},
                         {"Shadow Angle", "(dd:mm:ss)"}, {"Length of Shadow", nullptr}},
                        {kNote1, kNote2, "3. Solar Azimuth and Shadow Angle are calculated from True North in the sense NESW."}};
  return m;
}

const Member& VerticalMember() {
  static const Member m{Kind::ShadowData, "Shadow Data for Vertical Shadow Profile", "stippl2.jpg", Header(true), 500,
                        "20%",
                        {{"Local Civil Time", "(hh:mm)"}, {"Solar Azimuth", "(dd:mm:ss)"}, {"Solar Altitude", "(dd:mm:ss)"},
                         {"Shadow Angle", "(dd:mm:ss)"}, {"Width of Shadow", nullptr}},
                        {kNote1, kNote2, page::kNoteAzimuth,
                         "4. Shadow angle is expressed as an angle to the horizontal plane."}};
  return m;
}

std::string Build(ReportInputs& in, const ProfileInputs& dims, const std::string& heightText, ShadowProfile& profile,
                  bool vertical) {
  ProfileTextContext context{in.Today, in.Locale, in.ApplicationTitle};
  if (!ComputeProfile(in.Site, dims, profile, context)) return {};
  return WriteShadowDataPage(in, profile, heightText, vertical);
}

}  // namespace

std::string WriteShadowDataPage(const ReportInputs& in, const ShadowProfile& profile, const std::string& heightText,
                                bool vertical) {
  const SiteTime& s = in.Site;
  double rise = profile.RiseSet.RiseLCT;
  double set = profile.RiseSet.SetLCT;
  page::HeaderValues v = page::SiteHeaderValues(s);
  v.emplace_back("Sunrise", FormatTimePadded(rise));
  v.emplace_back("Sunset", FormatTimePadded(set));
  v.emplace_back("Length of Day", FormatTimePadded(page::DayLength(rise, set)));
  v.emplace_back("Solar Noon", FormatTime(SolarNoon(in.Date, s.dst(), s.zone(), s.longitude())));
  v.emplace_back("Height of Structure", heightText + " " + s.UnitsText);
  v.emplace_back("Orientation", page::DegreesText(s.Orientation));

  std::vector<Row> rows;
  for (int h = 1; h <= 24; ++h) {
    const ProfileHour& p = profile.Hours[h - 1];
    // Shadows of a sun lower than one degree are not worth an angle.
    std::string angle = p.Altitude >= 1 ? FormatAngle(vertical ? p.ProfileAngle : p.ShadowBearing) : "0:00:00";
    rows.push_back({std::to_string(h) + ":00", FormatAngle(p.Azimuth), FormatSignedAngle(p.Altitude), angle,
                    FormatWhole(vertical ? std::fabs(p.ProfileWidth) : p.ShadowLength)});
  }
  return page::Write(vertical ? VerticalMember() : HorizontalMember(), in, v, rows);
}

std::string BuildHorizontalShadowData(ReportInputs& in, const ProfileInputs& dims, const std::string& heightText,
                                      ShadowProfile& profile) {
  return Build(in, dims, heightText, profile, false);
}

std::string BuildVerticalShadowData(ReportInputs& in, const ProfileInputs& dims, const std::string& heightText,
                                    ShadowProfile& profile) {
  return Build(in, dims, heightText, profile, true);
}

}  // namespace kelvaro::reports
