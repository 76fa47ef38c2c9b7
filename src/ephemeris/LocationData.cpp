#include "ephemeris/LocationData.h"

#include <zlib.h>

#include <cstring>
#include <map>

#include "ephemeris/LocationBlock.h"

namespace kelvaro {
namespace detail {
// Generated at build time from data/locations.z.
extern const unsigned char kLocationsCompressed[];
extern const std::size_t kLocationsCompressedSize;
}  // namespace detail

const char* const kLocationsAttribution =
    "Location data: GeoNames (www.geonames.org), licensed under CC BY 4.0; "
    "country names from the IANA time zone database (public domain).";

namespace {

constexpr std::size_t kMaxArchive = 64u << 20;  // far above the real data; stops a runaway inflate

std::vector<std::uint8_t> inflateAll(const unsigned char* data, std::size_t size) {
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) throw LocationBlockError("cannot start decompressing the location data");
  zs.next_in = const_cast<unsigned char*>(data);
  zs.avail_in = static_cast<uInt>(size);
  std::vector<std::uint8_t> out;
  int rc = Z_OK;
  while (rc == Z_OK) {
    if (out.size() >= kMaxArchive) break;
    const std::size_t have = out.size();
    out.resize(have + (1u << 20));
    zs.next_out = out.data() + have;
    zs.avail_out = static_cast<uInt>(out.size() - have);
    rc = inflate(&zs, Z_NO_FLUSH);
    out.resize(out.size() - zs.avail_out);
  }
  inflateEnd(&zs);
  if (rc != Z_STREAM_END) throw LocationBlockError("the built-in location data is damaged (decompression failed)");
  return out;
}

struct Archive {
  std::vector<std::uint8_t> bytes;
  std::map<std::string, std::span<const std::uint8_t>, std::less<>> blocks;
};

const Archive& builtIn() {
  static const Archive archive = [] {
    Archive a;
    a.bytes = inflateAll(detail::kLocationsCompressed, detail::kLocationsCompressedSize);
    for (auto& b : splitLocationArchive(a.bytes)) a.blocks.emplace(std::move(b.Name), b.Bytes);
    return a;
  }();
  return archive;
}

std::uint32_t load32(std::span<const std::uint8_t> bytes, std::size_t pos) {
  std::uint32_t v;
  std::memcpy(&v, bytes.data() + pos, 4);
  return v;
}

[[noreturn]] void fail(const std::string& what) { throw LocationBlockError("damaged location archive: " + what); }

}  // namespace

std::vector<NamedBlock> splitLocationArchive(std::span<const std::uint8_t> archive) {
  if (archive.size() < 8 || std::memcmp(archive.data(), "KLOC", 4) != 0) fail("no archive header");
  const std::uint32_t count = load32(archive, 4);
  std::vector<NamedBlock> blocks;
  std::size_t pos = 8;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (archive.size() - pos < 1) fail("block " + std::to_string(i + 1) + " runs past the end");
    const std::size_t nameLength = archive[pos++];
    if (archive.size() - pos < nameLength + 4) fail("block " + std::to_string(i + 1) + " runs past the end");
    std::string name(reinterpret_cast<const char*>(archive.data() + pos), nameLength);
    pos += nameLength;
    const std::size_t size = load32(archive, pos);
    pos += 4;
    if (archive.size() - pos < size) fail("block " + name + " runs past the end");
    blocks.push_back({std::move(name), archive.subspan(pos, size)});
    pos += size;
  }
  if (pos != archive.size()) fail("unexpected bytes after the last block");
  return blocks;
}

std::optional<std::span<const std::uint8_t>> GetResource(std::string_view name) {
  const auto& blocks = builtIn().blocks;
  auto it = blocks.find(name);
  if (it == blocks.end()) return std::nullopt;
  return it->second;
}

}  // namespace kelvaro
