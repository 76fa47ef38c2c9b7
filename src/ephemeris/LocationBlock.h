#pragma once
// The location blocks of the position finder: a country block ("Country") and one block of
// locations per country code. Layout (little-endian):
//   int32 entry count N, uint32 end offset E (entries are read while the position is below E),
//   then entries: uint16 name length n, n name bytes (each stored as byte + k mod 256),
//   latitude, longitude (degrees, north/east positive) and zone (hours, east positive) as doubles.
// Names are UTF-8. In the country block the first two characters of a name are the code.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kelvaro {

// Name offsets k of the built-in blocks (the gazetteer generator uses the same values).
inline constexpr std::uint8_t kCountryNameOffset = 0x35;
inline constexpr std::uint8_t kLocationNameOffset = 0x9B;

struct LocationEntry {
  std::string Name;  // decoded bytes (UTF-8)
  double Latitude = 0;
  double Longitude = 0;
  double TimeZone = 0;
};

struct Country {
  std::string Code;  // at most two characters
  std::string Name;  // characters 3 to 101 of the entry's name
  double Latitude = 0;
  double Longitude = 0;
  double TimeZone = 0;
};

// A block whose count, end offset, name lengths or values do not fit; what() says where.
struct LocationBlockError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads every entry; throws LocationBlockError for a damaged block (never reads past `bytes`).
std::vector<LocationEntry> readLocationBlock(std::span<const std::uint8_t> bytes, std::uint8_t nameOffset);

// The inverse of readLocationBlock.
std::vector<std::uint8_t> writeLocationBlock(std::span<const LocationEntry> entries, std::uint8_t nameOffset);

// Splits country entries into code and shown name.
std::vector<Country> countriesFromBlock(std::span<const LocationEntry> entries);

}  // namespace kelvaro
