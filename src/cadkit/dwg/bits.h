#pragma once
// The DWG wire types, read and written bit by bit. Nothing above this layer touches the bytes
// of a DWG stream: every value goes through a BitReader or BitWriter call of the same name.
// Reading past the end never faults: it yields zeros and sets a sticky overrun flag that
// callers check once per object.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cadkit/types.h"

namespace kelvaro::cad::dwg {

// A handle reference as stored: a 4-bit code (ownership kind or relative offset) and a value.
struct HandleRef {
  std::uint8_t code = 0;
  std::uint64_t value = 0;
  bool operator==(const HandleRef&) const = default;
};

// A colour as 2004 and later files store it: the palette index the model keeps, and what
// only the file carries (true colour, colour book names, transparency).
struct DwgColor {
  std::int16_t index = 256;
  std::uint32_t rgb = 0;      // method byte in the top 8 bits (0xC2: true colour)
  std::uint8_t flags = 0;     // CMC: 1 name, 2 book name; ENC: 0x80 rgb, 0x40 reference, 0x20 alpha
  std::uint32_t alpha = 0;    // transparency word when flags has 0x20 (entity colours)
  std::string name, book;
  bool operator==(const DwgColor&) const = default;
};

// Resolves a reference relative to the handle of the object it sits in (codes 6, 8, 0xA, 0xC).
std::uint64_t absoluteHandle(const HandleRef& h, std::uint64_t self);

// The 16-bit cyclic check of DWG files (reflected polynomial 0x8005), continued from `seed`.
std::uint16_t crc16(std::uint16_t seed, std::span<const std::uint8_t> data);

// 2007 and later keep an object's texts apart, at the end of its data part: the last data bit
// says whether there are any, the 16 bits below it (and 16 more when their top bit is set)
// give their size in bits, and the texts lie just below that.
struct BitRange {
  std::size_t begin = 0, end = 0;
  bool empty() const { return begin == end; }
};
// The texts' bit range inside the first `dataBits` bits of `data` (empty when there are none
// or the stored size does not fit).
BitRange stringStream(std::span<const std::uint8_t> data, std::size_t dataBits);

class BitReader {
 public:
  BitReader() = default;
  explicit BitReader(std::span<const std::uint8_t> buf, Release rel = Release::R2000) : buf_(buf), rel_(rel) {}

  Release release() const { return rel_; }
  bool ok() const { return !overrun_; }
  void fail() { overrun_ = true; }
  std::size_t bitPos() const { return pos_; }
  std::size_t bitSize() const { return buf_.size() * 8; }
  std::size_t bitsLeft() const { return pos_ < bitSize() ? bitSize() - pos_ : 0; }
  std::size_t bytePos() const { return pos_ / 8; }
  // Moving outside the buffer sets the overrun flag.
  void seekBit(std::size_t bit);
  void seekByte(std::size_t byte) { seekBit(byte * 8); }
  void alignByte() { seekBit((pos_ + 7) / 8 * 8); }
  // Limits reading to the first `bits` bits (a stream inside an object).
  void limitBits(std::size_t bits);
  std::span<const std::uint8_t> data() const { return buf_; }

  bool B();                // one bit
  std::uint8_t BB();       // two bits
  std::uint8_t B3();       // 3B: 0, 10, 110 or 111 -> 0, 2, 6, 7
  std::int16_t BS();       // 2-bit prefix: 16 bits, 8 bits, 0 or 256
  std::int32_t BL();       // 2-bit prefix: 32 bits, 8 bits or 0
  std::uint64_t BLL();     // 3-bit byte count, then the bytes
  double BD();             // 2-bit prefix: 64 bits, 1.0 or 0.0
  std::uint8_t RC();
  std::int16_t RS();
  std::uint16_t RSBE();    // big-endian 16 bits (object map)
  std::int32_t RL();
  std::uint64_t RLL();
  double RD();
  std::int64_t MC();       // modular char, signed
  std::uint64_t UMC();     // modular char, unsigned
  std::uint32_t MS();      // modular short
  HandleRef H();
  std::string TV();        // BS length + bytes in the drawing's code page (R13-2004)
  std::string TU();        // BS count + UTF-16LE units (2007 and later), returned as UTF-8
  std::string utf16(std::size_t units);  // that many UTF-16LE units as UTF-8
  // Text of the release: TV until 2004, TU since 2007 (from whichever stream this reader is).
  std::string T() { return rel_ >= Release::R2007 ? TU() : TV(); }
  double DD(double dflt);  // double with a default
  double BT();             // thickness (a flag bit for zero since 2000)
  Vec3 BE();               // extrusion (a flag bit for 0,0,1 since 2000)
  std::int16_t CMC();      // colour index (names, if any, read from this stream)
  // Object colour; since 2007 its names come from the string stream `strings`.
  DwgColor CMC(BitReader& strings);
  // Entity colour of 2004 and later: flags in the high bits of the index word. A colour that
  // refers to a colour object sets `refersToHandle`; the caller reads that handle.
  DwgColor ENC(bool& refersToHandle);
  Vec2 RD2();
  Vec3 RD3();
  Vec2 BD2();
  Vec3 BD3();
  Vec2 DD2(Vec2 dflt);
  std::uint16_t OT();      // object type (2010 and later)
  // Copies `n` whole bytes (not byte aligned); overrun when fewer are left.
  std::vector<std::uint8_t> bytes(std::size_t n);
  std::uint64_t bits(unsigned n);  // up to 64 bits, first read = most significant

 private:
  bool need(std::size_t n) {
    if (overrun_ || n > bitsLeft()) {
      overrun_ = true;
      pos_ = bitSize();
      return false;
    }
    return true;
  }
  std::span<const std::uint8_t> buf_;
  std::size_t pos_ = 0;
  Release rel_ = Release::R2000;
  bool overrun_ = false;
};

class BitWriter;
// Appends the texts `strings` holds, their size and the flag bit to `data`.
void appendStringStream(BitWriter& data, const BitWriter& strings);

class BitWriter {
 public:
  explicit BitWriter(Release rel = Release::R2000) : rel_(rel) {}
  Release release() const { return rel_; }
  bool ok() const { return true; }
  std::size_t bitPos() const { return pos_; }
  std::size_t bytePos() const { return (pos_ + 7) / 8; }
  void alignByte() { pos_ = (pos_ + 7) / 8 * 8; grow(); }
  const std::vector<std::uint8_t>& data() const { return buf_; }
  std::vector<std::uint8_t>& data() { return buf_; }
  // Overwrites 32 bits at a bit offset already written (sizes known only afterwards).
  void patchRL(std::size_t bitPos, std::uint32_t v);
  // Appends every bit another writer holds.
  void append(const BitWriter& o);

  void B(bool v);
  void BB(std::uint8_t v);
  void B3(std::uint8_t v);
  void BS(std::int16_t v);
  void BL(std::int32_t v);
  void BLL(std::uint64_t v);
  void BD(double v);
  void RC(std::uint8_t v);
  void RS(std::int16_t v);
  void RSBE(std::uint16_t v);
  void RL(std::int32_t v);
  void RLL(std::uint64_t v);
  void RD(double v);
  void MC(std::int64_t v);
  void UMC(std::uint64_t v);
  void MS(std::uint32_t v);
  void H(HandleRef h);
  void TV(std::string_view s);
  void TU(std::string_view utf8);
  void T(std::string_view s) { rel_ >= Release::R2007 ? TU(s) : TV(s); }
  void DD(double v, double dflt);
  void BT(double v);
  void BE(Vec3 v);
  void CMC(std::int16_t v);
  void CMC(const DwgColor& c, BitWriter& strings);
  void ENC(const DwgColor& c);
  void RD2(Vec2 v);
  void RD3(Vec3 v);
  void BD2(Vec2 v);
  void BD3(Vec3 v);
  void DD2(Vec2 v, Vec2 dflt);
  void OT(std::uint16_t v);
  void bytes(std::span<const std::uint8_t> b);
  void bits(std::uint64_t v, unsigned n);

 private:
  void grow() {
    if (buf_.size() * 8 < pos_) buf_.resize((pos_ + 7) / 8, 0);
  }
  std::vector<std::uint8_t> buf_;
  std::size_t pos_ = 0;
  Release rel_;
};

}  // namespace kelvaro::cad::dwg
