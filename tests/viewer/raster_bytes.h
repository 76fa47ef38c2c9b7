#pragma once
// Small helpers for tests that build picture files byte by byte.
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace kelvaro::test {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, unsigned v) {
  b.push_back(std::uint8_t(v & 0xFF));
  b.push_back(std::uint8_t(v >> 8));
}
inline void put32(Bytes& b, std::uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
inline void append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }
inline void append(Bytes& b, std::initializer_list<int> more) {
  for (int v : more) b.push_back(std::uint8_t(v));
}

// RGB of pixel (x, y) in a decoded picture.
struct Px {
  int R, G, B;
  bool operator==(const Px&) const = default;
};

}  // namespace kelvaro::test
