#pragma once
// The built-in location blocks (GeoNames gazetteer), compressed into the program.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvaro {

// Shown in the About box and the README: the data's source and licence.
extern const char* const kLocationsAttribution;

// The bytes of the block called `name` ("Country" or a two-letter country code), or none.
// Throws LocationBlockError when the built-in data itself is damaged.
std::optional<std::span<const std::uint8_t>> GetResource(std::string_view name);

// Where the finder gets its blocks; tests hand in their own.
using LocationSource = std::function<std::optional<std::span<const std::uint8_t>>(std::string_view)>;

// Splits an uncompressed archive ("KLOC", uint32 count, then uint8 name length, name, uint32 size,
// bytes per block) into named blocks; throws LocationBlockError when it runs past its end.
struct NamedBlock {
  std::string Name;
  std::span<const std::uint8_t> Bytes;
};
std::vector<NamedBlock> splitLocationArchive(std::span<const std::uint8_t> archive);

}  // namespace kelvaro
