#include "ephemeris/PositionFinder.h"

#include <cmath>

#include "ephemeris/Format.h"
#include "ephemeris/SunEphem.h"
#include "platform/notify.h"

namespace kelvaro {
namespace {

std::string whole(double v) { return std::to_string(static_cast<long long>(v)); }
std::string pad2(double v) { return Pad2(static_cast<long long>(v)); }

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

}  // namespace kelvaro
