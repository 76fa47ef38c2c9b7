#include "cadkit/dwg/bits.h"

#include "cadkit/utf8.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace kelvaro::cad::dwg {

std::uint64_t absoluteHandle(const HandleRef& h, std::uint64_t self) {
  switch (h.code) {
    case 6: return self + 1;
    case 8: return self - 1;
    case 0xA: return self + h.value;
    case 0xC: return self - h.value;
    default: return h.value;
  }
}

namespace {
constexpr std::array<std::uint16_t, 256> makeCrcTable() {
  std::array<std::uint16_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
    t[i] = static_cast<std::uint16_t>(c);
  }
  return t;
}
constexpr auto kCrcTable = makeCrcTable();

std::uint64_t doubleBits(double v) { return std::bit_cast<std::uint64_t>(v); }
double bitsDouble(std::uint64_t v) { return std::bit_cast<double>(v); }
}  // namespace

std::uint16_t crc16(std::uint16_t seed, std::span<const std::uint8_t> data) {
  std::uint16_t c = seed;
  for (std::uint8_t b : data) c = static_cast<std::uint16_t>((c >> 8) ^ kCrcTable[(c ^ b) & 0xFF]);
  return c;
}

// --- reader ------------------------------------------------------------------------------------

void BitReader::seekBit(std::size_t bit) {
  if (bit > bitSize()) {
    overrun_ = true;
    pos_ = bitSize();
  } else {
    pos_ = bit;
  }
}

void BitReader::limitBits(std::size_t bits) {
  std::size_t bytes = (bits + 7) / 8;
  if (bytes < buf_.size()) buf_ = buf_.first(bytes);
}

std::uint64_t BitReader::bits(unsigned n) {
  if (n == 0 || !need(n)) return 0;
  std::uint64_t v = 0;
  // Whole bytes when aligned; bit by bit otherwise would be slow for long values.
  while (n > 0) {
    std::size_t byte = pos_ >> 3;
    unsigned off = static_cast<unsigned>(pos_ & 7);
    unsigned avail = 8 - off;
    unsigned take = n < avail ? n : avail;
    unsigned cur = buf_[byte];
    unsigned chunk = (cur >> (avail - take)) & ((1u << take) - 1u);
    v = (v << take) | chunk;
    pos_ += take;
    n -= take;
  }
  return v;
}

bool BitReader::B() { return bits(1) != 0; }
std::uint8_t BitReader::BB() { return static_cast<std::uint8_t>(bits(2)); }
std::uint8_t BitReader::B3() {
  if (!B()) return 0;
  if (!B()) return 2;
  return B() ? 7 : 6;
}
std::uint8_t BitReader::RC() { return static_cast<std::uint8_t>(bits(8)); }
std::int16_t BitReader::RS() {
  unsigned lo = RC();
  unsigned hi = RC();
  return static_cast<std::int16_t>(lo | (hi << 8));
}
std::uint16_t BitReader::RSBE() {
  unsigned hi = RC();
  unsigned lo = RC();
  return static_cast<std::uint16_t>(lo | (hi << 8));
}
std::int32_t BitReader::RL() {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(RC()) << (8 * i);
  return static_cast<std::int32_t>(v);
}
std::uint64_t BitReader::RLL() {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= static_cast<std::uint64_t>(RC()) << (8 * i);
  return v;
}
double BitReader::RD() { return bitsDouble(RLL()); }

std::int16_t BitReader::BS() {
  switch (BB()) {
    case 0: return RS();
    case 1: return RC();
    case 2: return 0;
    default: return 256;
  }
}
std::int32_t BitReader::BL() {
  switch (BB()) {
    case 0: return RL();
    case 1: return RC();
    case 2: return 0;
    default: fail(); return 0;  // not a valid prefix: the stream is out of step
  }
}
std::uint64_t BitReader::BLL() {
  unsigned n = static_cast<unsigned>(bits(3));
  std::uint64_t v = 0;
  for (unsigned i = 0; i < n; ++i) v |= static_cast<std::uint64_t>(RC()) << (8 * i);
  return v;
}
double BitReader::BD() {
  switch (BB()) {
    case 0: return RD();
    case 1: return 1.0;
    case 2: return 0.0;
    default: fail(); return 0.0;
  }
}
std::int64_t BitReader::MC() {
  std::uint64_t v = 0;
  for (unsigned shift = 0; shift < 63; shift += 7) {
    std::uint8_t c = RC();
    if (!ok()) return 0;
    if (!(c & 0x80)) {
      bool negative = (c & 0x40) != 0;
      v |= static_cast<std::uint64_t>(c & 0x3F) << shift;
      return negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
    }
    v |= static_cast<std::uint64_t>(c & 0x7F) << shift;
  }
  fail();
  return 0;
}
std::uint64_t BitReader::UMC() {
  std::uint64_t v = 0;
  for (unsigned shift = 0; shift < 63; shift += 7) {
    std::uint8_t c = RC();
    if (!ok()) return 0;
    v |= static_cast<std::uint64_t>(c & 0x7F) << shift;
    if (!(c & 0x80)) return v;
  }
  fail();
  return 0;
}
std::uint32_t BitReader::MS() {
  std::uint32_t v = 0;
  for (unsigned shift = 0; shift < 32; shift += 15) {
    auto w = static_cast<std::uint16_t>(RS());
    if (!ok()) return 0;
    v |= static_cast<std::uint32_t>(w & 0x7FFF) << shift;
    if (!(w & 0x8000)) return v;
  }
  fail();
  return 0;
}
HandleRef BitReader::H() {
  HandleRef h;
  std::uint8_t first = RC();
  h.code = first >> 4;
  unsigned n = first & 0x0F;
  if (n > 8) {
    fail();
    return {};
  }
  for (unsigned i = 0; i < n; ++i) h.value = (h.value << 8) | RC();
  return h;
}
std::string BitReader::TV() {
  auto n = static_cast<std::uint16_t>(BS());
  if (!need(std::size_t(n) * 8)) return {};
  std::string s;
  s.resize(n);
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(RC());
  // Stored strings often end in a zero byte; the model keeps text only.
  while (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}
std::string BitReader::TU() { return utf16(static_cast<std::uint16_t>(BS())); }

std::string BitReader::utf16(std::size_t n) {
  if (!need(n * 16)) return {};
  std::string s;
  s.reserve(n);
  char32_t high = 0;  // a first surrogate half waiting for its second
  for (std::size_t i = 0; i < n; ++i) {
    char32_t c = static_cast<std::uint16_t>(RS());
    if (c >= 0xDC00 && c < 0xE000 && high) {
      utf8::append(s, 0x10000 + ((high - 0xD800) << 10) + (c - 0xDC00));
      high = 0;
      continue;
    }
    // A half without its partner is kept as the replacement character.
    if (high) utf8::append(s, 0xFFFD);
    high = 0;
    if (c >= 0xD800 && c < 0xDC00) high = c;
    else utf8::append(s, c >= 0xDC00 && c < 0xE000 ? 0xFFFD : c);
  }
  if (high) utf8::append(s, 0xFFFD);
  while (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}
double BitReader::DD(double dflt) {
  std::uint64_t d = doubleBits(dflt);
  switch (BB()) {
    case 0: return dflt;
    case 1: {
      std::uint64_t lo = static_cast<std::uint32_t>(RL());
      return bitsDouble((d & 0xFFFFFFFF00000000ull) | lo);
    }
    case 2: {
      std::uint64_t b4 = RC(), b5 = RC();
      std::uint64_t lo = static_cast<std::uint32_t>(RL());
      d = (d & 0xFFFF000000000000ull) | (b5 << 40) | (b4 << 32) | lo;
      return bitsDouble(d);
    }
    default: return RD();
  }
}
double BitReader::BT() {
  if (rel_ >= Release::R2000 && B()) return 0.0;
  return BD();
}
Vec3 BitReader::BE() {
  if (rel_ >= Release::R2000 && B()) return {0, 0, 1};
  return BD3();
}
namespace {
// The palette index a 2004+ colour word stands for: its method byte says by layer, by block
// or an index; a true colour keeps the index stored beside it when there is one.
std::int16_t indexOf(std::int16_t stored, std::uint32_t rgb) {
  switch (rgb >> 24) {
    case 0xC0: return 256;
    case 0xC1: return 0;
    case 0xC3: {
      // The sign of the stored word still marks a layer that is off.
      auto n = static_cast<std::int16_t>(rgb & 0xFF);
      return stored < 0 ? static_cast<std::int16_t>(-n) : n;
    }
    case 0xC2: return stored > 0 && stored < 256 ? stored : 7;
    default: return stored;
  }
}
}  // namespace

std::int16_t BitReader::CMC() { return CMC(*this).index; }

DwgColor BitReader::CMC(BitReader& strings) {
  DwgColor c;
  c.index = BS();
  if (rel_ < Release::R2004) return c;
  c.rgb = static_cast<std::uint32_t>(BL());
  c.flags = RC();
  if (c.flags & 1) c.name = strings.T();
  if (c.flags & 2) c.book = strings.T();
  c.index = indexOf(c.index, c.rgb);
  return c;
}

DwgColor BitReader::ENC(bool& refersToHandle) {
  DwgColor c;
  auto raw = static_cast<std::uint16_t>(BS());
  c.index = static_cast<std::int16_t>(raw & 0x1FF);
  c.flags = static_cast<std::uint8_t>(raw >> 8);
  if (c.flags & 0x20) c.alpha = static_cast<std::uint32_t>(BL());
  refersToHandle = (c.flags & 0x40) != 0;
  if (!refersToHandle && (c.flags & 0x80)) {
    c.rgb = static_cast<std::uint32_t>(BL());
    c.index = indexOf(c.index, c.rgb);
  }
  // Book names sit in this stream in every release.
  if ((c.flags & 0x41) == 0x41) c.name = TV();
  if ((c.flags & 0x42) == 0x42) c.book = TV();
  return c;
}
Vec2 BitReader::RD2() {
  Vec2 v;
  v.x = RD();
  v.y = RD();
  return v;
}
Vec3 BitReader::RD3() {
  Vec3 v;
  v.x = RD();
  v.y = RD();
  v.z = RD();
  return v;
}
Vec2 BitReader::BD2() {
  Vec2 v;
  v.x = BD();
  v.y = BD();
  return v;
}
Vec3 BitReader::BD3() {
  Vec3 v;
  v.x = BD();
  v.y = BD();
  v.z = BD();
  return v;
}
Vec2 BitReader::DD2(Vec2 dflt) {
  Vec2 v;
  v.x = DD(dflt.x);
  v.y = DD(dflt.y);
  return v;
}
std::uint16_t BitReader::OT() {
  switch (BB()) {
    case 0: return RC();
    case 1: return static_cast<std::uint16_t>(RC() + 0x1F0);
    default: return static_cast<std::uint16_t>(RS());
  }
}
std::vector<std::uint8_t> BitReader::bytes(std::size_t n) {
  if (n == 0 || !need(n * 8)) return {};  // memcpy of nothing into no buffer is undefined
  std::vector<std::uint8_t> out(n);
  if ((pos_ & 7) == 0) {
    std::memcpy(out.data(), buf_.data() + pos_ / 8, n);
    pos_ += n * 8;
  } else {
    for (auto& b : out) b = RC();
  }
  return out;
}

BitRange stringStream(std::span<const std::uint8_t> data, std::size_t dataBits) {
  if (dataBits == 0 || dataBits > data.size() * 8) return {};
  BitReader r(data);
  r.seekBit(dataBits - 1);
  if (!r.B() || dataBits < 17) return {};
  std::size_t at = dataBits - 17;
  r.seekBit(at);
  std::size_t size = static_cast<std::uint16_t>(r.RS());
  if (size & 0x8000) {
    if (at < 16) return {};
    at -= 16;
    r.seekBit(at);
    std::size_t hi = static_cast<std::uint16_t>(r.RS());
    size = (size & 0x7FFF) | (hi << 15);
  }
  if (!r.ok() || size > at) return {};
  return {at - size, at};
}

// --- writer ------------------------------------------------------------------------------------

void BitWriter::bits(std::uint64_t v, unsigned n) {
  if (n == 0) return;
  std::size_t end = pos_ + n;
  if (buf_.size() * 8 < end) buf_.resize((end + 7) / 8, 0);
  while (n > 0) {
    std::size_t byte = pos_ >> 3;
    unsigned off = static_cast<unsigned>(pos_ & 7);
    unsigned avail = 8 - off;
    unsigned take = n < avail ? n : avail;
    unsigned chunk = static_cast<unsigned>((v >> (n - take)) & ((1u << take) - 1u));
    unsigned shift = avail - take;
    unsigned mask = ((1u << take) - 1u) << shift;
    buf_[byte] = static_cast<std::uint8_t>((buf_[byte] & ~mask) | (chunk << shift));
    pos_ += take;
    n -= take;
  }
}

void BitWriter::patchRL(std::size_t bitPos, std::uint32_t v) {
  std::size_t saved = pos_;
  pos_ = bitPos;
  RL(static_cast<std::int32_t>(v));
  pos_ = saved > pos_ ? saved : pos_;
}

void BitWriter::append(const BitWriter& o) {
  std::size_t full = o.pos_ / 8;
  if ((pos_ & 7) == 0) {
    buf_.resize(pos_ / 8);
    buf_.insert(buf_.end(), o.buf_.begin(), o.buf_.begin() + static_cast<std::ptrdiff_t>(full));
    pos_ += full * 8;
  } else {
    for (std::size_t i = 0; i < full; ++i) bits(o.buf_[i], 8);
  }
  unsigned rest = static_cast<unsigned>(o.pos_ & 7);
  if (rest) bits(static_cast<std::uint64_t>(o.buf_[full] >> (8 - rest)), rest);
}

void appendStringStream(BitWriter& data, const BitWriter& strings) {
  std::size_t n = strings.bitPos();
  if (n == 0) {
    data.B(false);
    return;
  }
  data.append(strings);
  if (n > 0x7FFF) {
    data.RS(static_cast<std::int16_t>((n >> 15) & 0xFFFF));
    data.RS(static_cast<std::int16_t>(0x8000 | (n & 0x7FFF)));
  } else {
    data.RS(static_cast<std::int16_t>(n));
  }
  data.B(true);
}

void BitWriter::B(bool v) { bits(v ? 1 : 0, 1); }
void BitWriter::BB(std::uint8_t v) { bits(v & 3u, 2); }
void BitWriter::B3(std::uint8_t v) {
  if (v == 0) bits(0, 1);
  else if (v <= 2) bits(2, 2);
  else if (v <= 6) bits(6, 3);
  else bits(7, 3);
}
void BitWriter::RC(std::uint8_t v) { bits(v, 8); }
void BitWriter::RS(std::int16_t v) {
  auto u = static_cast<std::uint16_t>(v);
  RC(static_cast<std::uint8_t>(u & 0xFF));
  RC(static_cast<std::uint8_t>(u >> 8));
}
void BitWriter::RSBE(std::uint16_t v) {
  RC(static_cast<std::uint8_t>(v >> 8));
  RC(static_cast<std::uint8_t>(v & 0xFF));
}
void BitWriter::RL(std::int32_t v) {
  auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) RC(static_cast<std::uint8_t>((u >> (8 * i)) & 0xFF));
}
void BitWriter::RLL(std::uint64_t v) {
  for (int i = 0; i < 8; ++i) RC(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}
void BitWriter::RD(double v) { RLL(doubleBits(v)); }
void BitWriter::BS(std::int16_t v) {
  if (v == 0) BB(2);
  else if (v == 256) BB(3);
  else if (v > 0 && v < 256) BB(1), RC(static_cast<std::uint8_t>(v));
  else BB(0), RS(v);
}
void BitWriter::BL(std::int32_t v) {
  if (v == 0) BB(2);
  else if (v > 0 && v < 256) BB(1), RC(static_cast<std::uint8_t>(v));
  else BB(0), RL(v);
}
void BitWriter::BLL(std::uint64_t v) {
  unsigned n = 0;
  for (std::uint64_t t = v; t; t >>= 8) ++n;
  if (n > 7) n = 7;  // the count has three bits: larger values do not occur in files
  bits(n, 3);
  for (unsigned i = 0; i < n; ++i) RC(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}
void BitWriter::BD(double v) {
  // Compared by bits: -0.0 must not turn into 0.0.
  std::uint64_t b = doubleBits(v);
  if (b == doubleBits(0.0)) BB(2);
  else if (b == doubleBits(1.0)) BB(1);
  else BB(0), RD(v);
}
void BitWriter::MC(std::int64_t v) {
  bool negative = v < 0;
  std::uint64_t u = negative ? static_cast<std::uint64_t>(-(v + 1)) + 1 : static_cast<std::uint64_t>(v);
  while (u >= 0x40) {
    RC(static_cast<std::uint8_t>(0x80 | (u & 0x7F)));
    u >>= 7;
  }
  RC(static_cast<std::uint8_t>(u | (negative ? 0x40 : 0)));
}
void BitWriter::UMC(std::uint64_t v) {
  while (v >= 0x80) {
    RC(static_cast<std::uint8_t>(0x80 | (v & 0x7F)));
    v >>= 7;
  }
  RC(static_cast<std::uint8_t>(v));
}
void BitWriter::MS(std::uint32_t v) {
  while (v >= 0x8000) {
    RS(static_cast<std::int16_t>(0x8000 | (v & 0x7FFF)));
    v >>= 15;
  }
  RS(static_cast<std::int16_t>(v));
}
void BitWriter::H(HandleRef h) {
  unsigned n = 0;
  for (std::uint64_t t = h.value; t; t >>= 8) ++n;
  RC(static_cast<std::uint8_t>((h.code << 4) | n));
  for (unsigned i = n; i-- > 0;) RC(static_cast<std::uint8_t>((h.value >> (8 * i)) & 0xFF));
}
void BitWriter::TV(std::string_view s) {
  std::size_t n = s.size() > 32766 ? 32766 : s.size();
  if (n == 0) {
    BS(0);
    return;
  }
  // Until 2000 the length is the text's own; later releases count a closing zero byte.
  bool zero = rel_ >= Release::R2004;
  BS(static_cast<std::int16_t>(n + (zero ? 1 : 0)));
  for (std::size_t i = 0; i < n; ++i) RC(static_cast<std::uint8_t>(s[i]));
  if (zero) RC(0);
}
void BitWriter::TU(std::string_view s) {
  std::vector<std::uint16_t> units;
  units.reserve(s.size() + 1);
  for (std::size_t i = 0; i < s.size() && units.size() < 32765;) {
    char32_t c = utf8::next(s, i);
    if (c >= 0x10000) {
      c -= 0x10000;
      units.push_back(static_cast<std::uint16_t>(0xD800 + (c >> 10)));
      units.push_back(static_cast<std::uint16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      units.push_back(static_cast<std::uint16_t>(c));
    }
  }
  if (units.empty()) {
    BS(0);
    return;
  }
  units.push_back(0);  // the count includes a closing zero
  BS(static_cast<std::int16_t>(units.size()));
  for (std::uint16_t u : units) RS(static_cast<std::int16_t>(u));
}
void BitWriter::DD(double v, double dflt) {
  std::uint64_t b = doubleBits(v), d = doubleBits(dflt);
  if (b == d) {
    BB(0);
  } else if ((b >> 32) == (d >> 32)) {
    BB(1);
    RL(static_cast<std::int32_t>(b & 0xFFFFFFFFu));
  } else if ((b >> 48) == (d >> 48)) {
    BB(2);
    RC(static_cast<std::uint8_t>((b >> 32) & 0xFF));
    RC(static_cast<std::uint8_t>((b >> 40) & 0xFF));
    RL(static_cast<std::int32_t>(b & 0xFFFFFFFFu));
  } else {
    BB(3);
    RD(v);
  }
}
void BitWriter::BT(double v) {
  if (rel_ >= Release::R2000) {
    bool zero = doubleBits(v) == doubleBits(0.0);
    B(zero);
    if (zero) return;
  }
  BD(v);
}
void BitWriter::BE(Vec3 v) {
  if (rel_ >= Release::R2000) {
    bool unit = v.x == 0 && v.y == 0 && doubleBits(v.z) == doubleBits(1.0) && !std::signbit(v.x) &&
                !std::signbit(v.y);
    B(unit);
    if (unit) return;
  }
  BD3(v);
}
namespace {
std::uint32_t methodOf(std::int16_t index) {
  if (index == 256) return 0xC0000000u;
  if (index == 0) return 0xC1000000u;
  return 0xC3000000u | static_cast<std::uint8_t>(index < 0 ? -index : index);
}
}  // namespace

void BitWriter::CMC(std::int16_t v) {
  DwgColor c;
  c.index = v;
  CMC(c, *this);
}
void BitWriter::CMC(const DwgColor& c, BitWriter& strings) {
  BS(c.index);
  if (rel_ < Release::R2004) return;
  BL(static_cast<std::int32_t>(c.rgb ? c.rgb : methodOf(c.index)));
  std::uint8_t flags = static_cast<std::uint8_t>((c.name.empty() ? 0 : 1) | (c.book.empty() ? 0 : 2));
  RC(flags);
  if (flags & 1) strings.T(c.name);
  if (flags & 2) strings.T(c.book);
}
void BitWriter::ENC(const DwgColor& c) {
  // Book names only come with a reference to a colour object, which is not written.
  auto flags = static_cast<std::uint8_t>(c.flags & 0xA0);
  BS(static_cast<std::int16_t>((c.index & 0x1FF) | (flags << 8)));
  if (flags & 0x20) BL(static_cast<std::int32_t>(c.alpha));
  if (flags & 0x80) BL(static_cast<std::int32_t>(c.rgb));
}
void BitWriter::RD2(Vec2 v) {
  RD(v.x);
  RD(v.y);
}
void BitWriter::RD3(Vec3 v) {
  RD(v.x);
  RD(v.y);
  RD(v.z);
}
void BitWriter::BD2(Vec2 v) {
  BD(v.x);
  BD(v.y);
}
void BitWriter::BD3(Vec3 v) {
  BD(v.x);
  BD(v.y);
  BD(v.z);
}
void BitWriter::DD2(Vec2 v, Vec2 dflt) {
  DD(v.x, dflt.x);
  DD(v.y, dflt.y);
}
void BitWriter::OT(std::uint16_t v) {
  if (v < 256) BB(0), RC(static_cast<std::uint8_t>(v));
  else if (v >= 0x1F0 && v < 0x1F0 + 256) BB(1), RC(static_cast<std::uint8_t>(v - 0x1F0));
  else BB(2), RS(static_cast<std::int16_t>(v));
}
void BitWriter::bytes(std::span<const std::uint8_t> b) {
  if ((pos_ & 7) == 0) {
    buf_.resize(pos_ / 8);
    buf_.insert(buf_.end(), b.begin(), b.end());
    pos_ += b.size() * 8;
  } else {
    for (std::uint8_t c : b) RC(c);
  }
}

}  // namespace kelvaro::cad::dwg
