#include "ephemeris/LocationBlock.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace kelvaro {
namespace {

static_assert(std::endian::native == std::endian::little, "blocks are read as little-endian");

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kValuesSize = 3 * sizeof(double);
constexpr std::size_t kSmallestEntry = 2 + kValuesSize;
constexpr std::size_t kCountryNameEnd = 101;  // characters 3..101 are the shown name

template <class T>
T load(std::span<const std::uint8_t> bytes, std::size_t pos) {
  T v;
  std::memcpy(&v, bytes.data() + pos, sizeof v);
  return v;
}

template <class T>
void store(std::vector<std::uint8_t>& out, T v) {
  std::uint8_t raw[sizeof v];
  std::memcpy(raw, &v, sizeof v);
  out.insert(out.end(), raw, raw + sizeof v);
}

[[noreturn]] void fail(const std::string& what) { throw LocationBlockError("damaged location block: " + what); }

void checkRange(double v, double limit, const char* field, std::size_t index) {
  if (!std::isfinite(v) || std::fabs(v) > limit)
    fail("entry " + std::to_string(index + 1) + " has an impossible " + field);
}

}  // namespace

std::vector<LocationEntry> readLocationBlock(std::span<const std::uint8_t> bytes, std::uint8_t nameOffset) {
  if (bytes.size() < kHeaderSize) fail("it is shorter than its header");
  const auto count = load<std::int32_t>(bytes, 0);
  const auto end = load<std::uint32_t>(bytes, 4);
  if (count < 0) fail("negative entry count " + std::to_string(count));
  if (end < kHeaderSize || end > bytes.size())
    fail("end offset " + std::to_string(end) + " lies outside its " + std::to_string(bytes.size()) + " bytes");
  if (static_cast<std::size_t>(count) > (end - kHeaderSize) / kSmallestEntry)
    fail("entry count " + std::to_string(count) + " runs past its end");

  std::vector<LocationEntry> entries;
  entries.reserve(static_cast<std::size_t>(count));
  std::size_t pos = kHeaderSize;
  while (pos < end) {
    const std::size_t index = entries.size();
    if (index == static_cast<std::size_t>(count)) fail("it holds more entries than its count " + std::to_string(count));
    if (end - pos < 2) fail("entry " + std::to_string(index + 1) + " runs past its end");
    const std::size_t n = load<std::uint16_t>(bytes, pos);
    pos += 2;
    if (end - pos < n + kValuesSize) fail("the name of entry " + std::to_string(index + 1) + " runs past its end");
    LocationEntry e;
    e.Name.resize(n);
    for (std::size_t i = 0; i < n; ++i) e.Name[i] = static_cast<char>(static_cast<std::uint8_t>(bytes[pos + i] - nameOffset));
    pos += n;
    e.Latitude = load<double>(bytes, pos);
    e.Longitude = load<double>(bytes, pos + 8);
    e.TimeZone = load<double>(bytes, pos + 16);
    pos += kValuesSize;
    checkRange(e.Latitude, 90, "latitude", index);
    checkRange(e.Longitude, 180, "longitude", index);
    checkRange(e.TimeZone, 24, "time zone", index);
    entries.push_back(std::move(e));
  }
  if (entries.size() != static_cast<std::size_t>(count))
    fail("entry count " + std::to_string(count) + " but " + std::to_string(entries.size()) + " entries");
  return entries;
}

std::vector<std::uint8_t> writeLocationBlock(std::span<const LocationEntry> entries, std::uint8_t nameOffset) {
  std::vector<std::uint8_t> out(kHeaderSize);
  for (const auto& e : entries) {
    if (e.Name.size() > 0xFFFF) throw LocationBlockError("location name too long: " + e.Name.substr(0, 40));
    store<std::uint16_t>(out, static_cast<std::uint16_t>(e.Name.size()));
    for (char c : e.Name) out.push_back(static_cast<std::uint8_t>(static_cast<std::uint8_t>(c) + nameOffset));
    store(out, e.Latitude);
    store(out, e.Longitude);
    store(out, e.TimeZone);
  }
  const auto count = static_cast<std::int32_t>(entries.size());
  const auto end = static_cast<std::uint32_t>(out.size());
  std::memcpy(out.data(), &count, 4);
  std::memcpy(out.data() + 4, &end, 4);
  return out;
}

std::vector<Country> countriesFromBlock(std::span<const LocationEntry> entries) {
  std::vector<Country> countries;
  countries.reserve(entries.size());
  for (const auto& e : entries) {
    Country c;
    c.Code = e.Name.substr(0, 2);
    if (e.Name.size() > 2) c.Name = e.Name.substr(2, kCountryNameEnd - 2);
    c.Latitude = e.Latitude;
    c.Longitude = e.Longitude;
    c.TimeZone = e.TimeZone;
    countries.push_back(std::move(c));
  }
  return countries;
}

}  // namespace kelvaro
