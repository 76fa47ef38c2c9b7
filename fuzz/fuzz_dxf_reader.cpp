// links: kelvaro_cadkit
// Any bytes either read as a drawing or fail with DxfError; a drawing that reads must also save.
// Each input is read twice, by one thread and with its ENTITIES section split between two
// (whatever its size): both reads must give the same drawing or the same error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "cadkit/dxf_io.h"

namespace {
using namespace kelvaro::cad;

std::optional<Document> read(std::string_view data, std::size_t splitFrom, std::string& error) {
  setDxfTwoThreadSize(splitFrom);
  try {
    return readDxf(data);
  } catch (const DxfError& e) {
    error = std::string(e.what()) + " @" + std::to_string(e.line);
  }
  return std::nullopt;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string oneError, twoError;
  std::optional<Document> one = read(bytes, ~std::size_t{0}, oneError);
  std::optional<Document> two = read(bytes, 0, twoError);
  if (oneError != twoError || one.has_value() != two.has_value() || (one && !(*one == *two))) std::abort();
  if (one) {
    (void)writeDxf(*one, Release::R12, {});
    (void)writeDxf(*one, Release::R2000, {.binary = true});
  }
  return 0;
}
