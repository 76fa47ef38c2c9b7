// links: kelvaro_locations
// The location block reader and the archive splitter on arbitrary bytes: they either read or
// throw LocationBlockError, never read out of bounds.
#include <cstddef>
#include <cstdint>

#include "ephemeris/LocationBlock.h"
#include "ephemeris/LocationData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> bytes(data, size);
  const std::uint8_t k = size ? data[size - 1] : 0;
  try {
    auto entries = kelvaro::readLocationBlock(bytes, k);
    kelvaro::countriesFromBlock(entries);
    auto again = kelvaro::writeLocationBlock(entries, k);
    if (kelvaro::readLocationBlock(again, k).size() != entries.size()) __builtin_trap();
  } catch (const kelvaro::LocationBlockError&) {
  }
  try {
    for (const auto& b : kelvaro::splitLocationArchive(bytes)) {
      try {
        kelvaro::readLocationBlock(b.Bytes, k);
      } catch (const kelvaro::LocationBlockError&) {
      }
    }
  } catch (const kelvaro::LocationBlockError&) {
  }
  return 0;
}
