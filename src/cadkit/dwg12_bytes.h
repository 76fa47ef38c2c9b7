#pragma once
// The byte layer of DWG files before R13: little-endian fields read from a bounded buffer and
// written to a growing one, the 16-bit checksum and the section markers of R11/12.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "cadkit/types.h"

namespace kelvaro::cad::dwg12 {

// The file layouts this reader knows, oldest first. They are finer than Release: 1.4 and 2.10
// files load as the oldest model release.
enum class Ver : std::uint8_t { V1_4, V2_10, V2_5, V2_6, V9, V10, V11 };

bool verFromMagic(std::string_view magic, Ver& out);
const char* verMagic(Ver v);
const char* verName(Ver v);  // "2.10", "11/12"
Release verRelease(Ver v);
Ver verOfRelease(Release r);  // R13 and later give V11

// Reads never run past the end: a short read gives zeros and clears ok().
class ByteIn {
 public:
  ByteIn(std::string_view data, std::size_t pos = 0, std::size_t end = std::string_view::npos)
      : d_(data), pos_(pos), end_(end > data.size() ? data.size() : end) {}
  bool ok() const { return ok_; }
  std::size_t pos() const { return pos_; }
  std::size_t end() const { return end_; }
  std::size_t left() const { return pos_ < end_ ? end_ - pos_ : 0; }
  void seek(std::size_t p) {
    if (p > end_) ok_ = false, p = end_;
    pos_ = p;
  }
  void skip(std::size_t n) { seek(n > left() ? end_ + 1 : pos_ + n); }
  void fail() { ok_ = false; }

  std::uint8_t rc() {
    if (!need(1)) return 0;
    return static_cast<std::uint8_t>(d_[pos_++]);
  }
  std::int16_t rs() { return static_cast<std::int16_t>(ru16()); }
  std::uint16_t ru16() {
    if (!need(2)) return 0;
    std::uint16_t v = static_cast<std::uint16_t>(byte(0) | (byte(1) << 8));
    pos_ += 2;
    return v;
  }
  std::uint32_t rl() {
    if (!need(4)) return 0;
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | byte(i);
    pos_ += 4;
    return v;
  }
  double rd() {
    if (!need(8)) return 0;
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | byte(i);
    pos_ += 8;
    double d;
    std::memcpy(&d, &v, 8);
    return d;
  }
  std::string bytes(std::size_t n) {
    if (!need(n)) return {};
    std::string s(d_.substr(pos_, n));
    pos_ += n;
    return s;
  }
  // A fixed field of n bytes, cut at its first zero.
  std::string fixed(std::size_t n) {
    std::string s = bytes(n);
    if (auto z = s.find('\0'); z != std::string::npos) s.resize(z);
    return s;
  }
  std::string_view data() const { return d_; }

 private:
  bool need(std::size_t n) {
    if (!ok_ || n > left()) {
      ok_ = false;
      pos_ = end_;
      return false;
    }
    return true;
  }
  std::uint32_t byte(int i) const { return static_cast<std::uint8_t>(d_[pos_ + static_cast<std::size_t>(i)]); }
  std::string_view d_;
  std::size_t pos_, end_;
  bool ok_ = true;
};

class ByteOut {
 public:
  std::string& buf() { return b_; }
  std::size_t pos() const { return b_.size(); }
  void rc(std::uint8_t v) { b_.push_back(static_cast<char>(v)); }
  void rs(std::int32_t v) { ru16(static_cast<std::uint16_t>(v)); }
  void ru16(std::uint16_t v) {
    rc(static_cast<std::uint8_t>(v & 0xFF));
    rc(static_cast<std::uint8_t>(v >> 8));
  }
  void rl(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) rc(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void rd(double d) {
    std::uint64_t v;
    std::memcpy(&v, &d, 8);
    for (int i = 0; i < 8; ++i) rc(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void bytes(std::string_view s) { b_.append(s); }
  void fixed(std::string_view s, std::size_t n) {
    std::string f(s.substr(0, n));
    f.resize(n, '\0');
    b_ += f;
  }
  void patch16(std::size_t at, std::uint16_t v) {
    b_[at] = static_cast<char>(v & 0xFF);
    b_[at + 1] = static_cast<char>(v >> 8);
  }
  void patch32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b_[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
  }

 private:
  std::string b_;
};

// The checksum of R11/12 records and header (CRC-16, reflected polynomial 0xA001).
std::uint16_t crc16(std::uint16_t seed, std::string_view bytes);
inline constexpr std::uint16_t kCrcSeed = 0xC0C1;

// Section markers of R11/12: 16 bytes before a section and their complement after it.
enum class Mark : std::uint8_t {
  Entities, Block, Layer, Style, Ltype, View, Ucs, Vport, AppId, DimStyle, Vx, BlockEntities, ExtraEntities, AuxHeader
};
std::array<std::uint8_t, 16> markBegin(Mark m);
std::array<std::uint8_t, 16> markEnd(Mark m);

}  // namespace kelvaro::cad::dwg12
