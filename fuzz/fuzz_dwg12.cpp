// links: kelvaro_cadkit
// Any bytes either read as a pre-R13 DWG or fail with DwgError; a drawing that reads must also
// save again as DWG and DXF of an old release.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cadkit/dwg12_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvaro::cad;
  try {
    std::vector<std::string> warnings;
    Document d = readDwg12(std::string_view(reinterpret_cast<const char*>(data), size), &warnings);
    std::string again = writeDwg12(d, Release::R12);
    (void)readDwg12(again);
    (void)writeDwg12(d, Release::R9);
    (void)writeDxf(d, Release::R12, {});
  } catch (const DwgError&) {
  }
  return 0;
}
