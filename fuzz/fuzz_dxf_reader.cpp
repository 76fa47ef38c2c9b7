// links: kelvaro_cadkit
// Any bytes either read as a drawing or fail with DxfError; a drawing that reads must also save.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cadkit/dxf_io.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kelvaro::cad;
  try {
    Document d = readDxf(std::string_view(reinterpret_cast<const char*>(data), size));
    (void)writeDxf(d, Release::R12, {});
    (void)writeDxf(d, Release::R2000, {.binary = true});
  } catch (const DxfError&) {
  }
  return 0;
}
