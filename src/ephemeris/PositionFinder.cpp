#include "ephemeris/PositionFinder.h"

#include <cmath>

#include "platform/notify.h"

namespace kelvaro {
namespace {

// Local stand-in until the ephemeris' DecimalToDms is available (same rule: bias, truncation).
struct Dms {
  double Degrees = 0, Minutes = 0, Seconds = 0;
  int Sign = 1;
};
Dms DecimalToDms(double x) {
  Dms r;
  r.Sign = x >= 0 ? 1 : -1;
  const double a = std::fabs(x) + 0.00000139;
  r.Degrees = std::trunc(a);
  const double b = (a - r.Degrees) * 60;
  r.Minutes = std::trunc(b);
  r.Seconds = std::trunc((b - r.Minutes) * 6000 / 100);
  return r;
}

std::string whole(double v) { return std::to_string(static_cast<long long>(v)); }
std::string pad2(double v) {
  std::string s = whole(v);
  return s.size() < 2 ? std::string(2 - s.size(), '0') + s : s;
}

std::string angleLabel(const char* caption, double value, const char* positive, const char* negative) {
  const auto d = DecimalToDms(value);
  return std::string(caption) + whole(d.Degrees) + ":" + pad2(d.Minutes) + ":" + pad2(d.Seconds) +
         (value >= 0 ? positive : negative);
}

}  // namespace

std::string LongitudeLabel(double longitude) { return angleLabel("Longitude: ", longitude, " E", " W"); }
std::string LatitudeLabel(double latitude) { return angleLabel("Latitude: ", latitude, " N", " S"); }

std::string TimeZoneLabel(double zone) {
  const auto d = DecimalToDms(zone);
  return std::string("Time Zone: ") + (zone < 0 ? "-" : "") + whole(d.Degrees) + ":" + pad2(d.Minutes);
}

PositionFinder::PositionFinder(LocationSource source) : source_(std::move(source)) {
  countries_ = countriesFromBlock(readBlock("Country", kCountryNameOffset));
}

std::vector<LocationEntry> PositionFinder::readBlock(const std::string& name, std::uint8_t nameOffset) const {
  try {
    auto bytes = source_ ? source_(name) : std::nullopt;
    if (!bytes) return {};
    return readLocationBlock(*bytes, nameOffset);
  } catch (const LocationBlockError& e) {
    showError("The location table \"" + name + "\" cannot be read: " + e.what());
    return {};
  }
}

void PositionFinder::ChooseCountry(std::size_t index) {
  if (index >= countries_.size()) return;
  const Country& c = countries_[index];
  locations_.clear();
  if (!c.Code.empty()) locations_ = readBlock(c.Code, kLocationNameOffset);
  result_ = {c.Longitude, c.Latitude, c.TimeZone};
}

void PositionFinder::ChooseLocation(std::size_t index) {
  if (index >= locations_.size()) return;
  const LocationEntry& l = locations_[index];
  result_ = {l.Longitude, l.Latitude, l.TimeZone};
}

PositionInputs PositionInputsFromFinder(const FinderResult& result) {
  PositionInputs in;
  const auto lon = DecimalToDms(result.FoundLongitude);
  in.LongitudeDegrees = static_cast<int>(lon.Degrees);
  in.LongitudeMinutes = static_cast<int>(lon.Minutes);
  in.LongitudeSeconds = static_cast<int>(lon.Seconds);
  in.West = lon.Sign == -1;
  const auto lat = DecimalToDms(result.FoundLatitude);
  in.LatitudeDegrees = static_cast<int>(lat.Degrees);
  in.LatitudeMinutes = static_cast<int>(lat.Minutes);
  in.LatitudeSeconds = static_cast<int>(lat.Seconds);
  in.South = lat.Sign == -1;
  const auto zone = DecimalToDms(result.FoundTimeZone);
  in.ZoneHours = static_cast<int>(zone.Sign == -1 ? -zone.Degrees : zone.Degrees);
  in.ZoneMinutes = static_cast<int>(zone.Minutes);
  return in;
}

}  // namespace kelvaro
