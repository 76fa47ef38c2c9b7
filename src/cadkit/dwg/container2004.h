#pragma once
// Pieces of the 2004-family container, apart so that tests can feed them hand-built input.
#include <cstddef>
#include <cstdint>
#include <span>

namespace kelvaro::cad::dwg::c2004 {

// The byte sequence the file header's second half is XORed with (its first `n` bytes; n <= 0x114).
void headerMask(std::uint8_t* out, std::size_t n);
// The running checksum of pages: two sums modulo 65521, continued from `seed`.
std::uint32_t pageChecksum(std::uint32_t seed, std::span<const std::uint8_t> data);
// The usual CRC-32 (reflected 0xEDB88320), continued from `seed`.
std::uint32_t crc32(std::uint32_t seed, std::span<const std::uint8_t> data);

struct Inflated {
  std::size_t written = 0;  // bytes of `out` that hold data
  bool ok = false;          // false: damaged or cut-short input; `written` bytes are still valid
};
// The LZ77 variant of pages and system pages. Never writes past `out`; a copy reaching before
// the start, an unknown opcode or input ending inside an instruction stop it with ok = false.
Inflated decompress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

}  // namespace kelvaro::cad::dwg::c2004
