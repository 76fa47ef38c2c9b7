#pragma once
// The position finder's logic: countries and their locations from the location blocks, the
// chosen position and the label texts. The window (TfrmLongLat) is a thin view over this.
#include <cstddef>
#include <string>
#include <vector>

#include "ephemeris/LocationBlock.h"
#include "ephemeris/LocationData.h"

namespace kelvaro {

// Longitude and latitude in decimal degrees (east and north positive), zone in hours (east
// positive); all 0 until a country or location is chosen.
struct FinderResult {
  double FoundLongitude = 0;
  double FoundLatitude = 0;
  double FoundTimeZone = 0;
};

// "Longitude: 72:52:57 E", "Latitude: 19:04:22 N", "Time Zone: -3:30".
std::string LongitudeLabel(double longitude);
std::string LatitudeLabel(double latitude);
std::string TimeZoneLabel(double zone);

class PositionFinder {
 public:
  // Reads the "Country" block. A missing block leaves the list empty; a damaged one too,
  // after an error message.
  explicit PositionFinder(LocationSource source = GetResource);

  const std::vector<Country>& countries() const { return countries_; }
  const std::vector<LocationEntry>& locations() const { return locations_; }
  const FinderResult& result() const { return result_; }

  // Loads the country's locations and takes the country's own position. Out of range: ignored.
  void ChooseCountry(std::size_t index);
  // Takes the location's position. Out of range: ignored.
  void ChooseLocation(std::size_t index);

  std::string LongitudeText() const { return LongitudeLabel(result_.FoundLongitude); }
  std::string LatitudeText() const { return LatitudeLabel(result_.FoundLatitude); }
  std::string TimeZoneText() const { return TimeZoneLabel(result_.FoundTimeZone); }

 private:
  // The block's entries; empty when it is missing or damaged (damage is reported).
  std::vector<LocationEntry> readBlock(const std::string& name, std::uint8_t nameOffset) const;

  LocationSource source_;
  std::vector<Country> countries_;
  std::vector<LocationEntry> locations_;
  FinderResult result_;
};

}  // namespace kelvaro
