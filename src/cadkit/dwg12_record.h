#pragma once
// The two visitors of DWG records before R13. Each record's byte layout is written once, as a
// template over the visitor (see dwg12_layout.h); FieldIn fills the model from bytes, FieldOut
// writes the model's values. Optional fields hang on bits of the record's option word: reading
// asks the word, writing sets the bit when the value is not the default.
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "cadkit/codepage.h"
#include "cadkit/dwg12_bytes.h"
#include "cadkit/name.h"

namespace kelvaro::cad::dwg12 {

// Symbol tables whose entries records name by index.
enum class Tbl : std::uint8_t { Block, Layer, Style, Ltype, View, Ucs, Vport, AppId, DimStyle, Count };

// Index <-> name of every table entry, in file order.
struct Names {
  std::vector<std::string> list[static_cast<int>(Tbl::Count)];
  std::map<std::string, int> index[static_cast<int>(Tbl::Count)];  // upper-cased names
  const std::vector<std::string>& of(Tbl t) const { return list[static_cast<int>(t)]; }
  void add(Tbl t, const std::string& name);
  int find(Tbl t, const std::string& name) const;  // -1 when absent
};

// What one record knows while its fields are read or written.
struct Ctx {
  Ver ver = Ver::V11;
  std::uint16_t opts = 0;   // option word of the record
  std::uint8_t flag = 0;    // common flags of an entity
  bool hasElev = false;     // the entity carries an elevation for its 2D points
  double elev = 0;
  const Names* names = nullptr;
  const CodePage* cp = nullptr;
  std::vector<std::string>* warnings = nullptr;
  bool at(Ver v) const { return ver >= v; }
  // R10 and later: lines, points and faces marked with the elevation flag have 2D points.
  bool flat() const { return (flag & 4) != 0; }
};

class FieldIn {
 public:
  static constexpr bool kReading = true;
  FieldIn(ByteIn& in, Ctx& c) : in_(in), c_(c) {}
  Ctx& ctx() { return c_; }
  template <class T> void rc(T& v) { v = static_cast<T>(in_.rc()); }
  template <class T> void rcs(T& v) { v = static_cast<T>(static_cast<std::int8_t>(in_.rc())); }
  template <class T> void rs(T& v) { v = static_cast<T>(in_.rs()); }
  template <class T> void rl(T& v) { v = static_cast<T>(in_.rl()); }
  void rd(double& v) { v = finite(in_.rd()); }
  // Angles are radians in the file and degrees in the model.
  void ang(double& deg) {
    double r;
    rd(r);
    deg = r * (180.0 / 3.14159265358979323846);
    // Whole and short decimal degrees come back as written, not a bit off.
    double snapped = std::round(deg * 1e9) / 1e9;
    if (std::fabs(deg - snapped) < 1e-11 * std::fmax(1.0, std::fabs(deg))) deg = snapped;
  }
  void p2(Vec2& p) { rd(p.x), rd(p.y); }
  // A 2D point whose z is the entity's elevation.
  void pz(Vec3& p) {
    rd(p.x), rd(p.y);
    p.z = c_.hasElev ? c_.elev : 0;
  }
  void p3(Vec3& p) { rd(p.x), rd(p.y), rd(p.z); }
  void tv(std::string& s) {
    std::uint16_t n = in_.ru16();
    s = text(in_.bytes(n));
  }
  void tf(std::string& s, std::size_t n) { s = text(in_.fixed(n)); }
  void skip(std::size_t n) { in_.skip(n); }
  std::string raw(std::size_t n) { return in_.bytes(n); }
  bool opt(std::uint16_t bit, bool) const { return (c_.opts & bit) != 0; }
  // A table index: two bytes when `wide`, else one; `special` names the reserved values.
  void idx(std::string& name, Tbl t, bool wide) {
    int i = wide ? static_cast<std::uint16_t>(in_.rs()) : in_.rc();
    name = nameOf(t, i, wide);
  }
  void idx(Name& name, Tbl t, bool wide) {
    int i = wide ? static_cast<std::uint16_t>(in_.rs()) : in_.rc();
    name = nameOf(t, i, wide);
  }
  std::string nameOf(Tbl t, int i, bool wide) const;
  bool notFirst(const std::string&, Tbl) const { return false; }

 private:
  static double finite(double d) { return d == d && d < 1e300 && d > -1e300 ? d : 0; }
  std::string text(const std::string& raw) const {
    return c_.cp && !plainAscii(raw) ? c_.cp->decode(raw, false) : raw;
  }
  ByteIn& in_;
  Ctx& c_;
};

class FieldOut {
 public:
  static constexpr bool kReading = false;
  FieldOut(ByteOut& out, Ctx& c) : out_(out), c_(c) {}
  Ctx& ctx() { return c_; }
  template <class T> void rc(const T& v) { out_.rc(static_cast<std::uint8_t>(v)); }
  template <class T> void rcs(const T& v) { out_.rc(static_cast<std::uint8_t>(static_cast<std::int8_t>(v))); }
  template <class T> void rs(const T& v) { out_.rs(static_cast<std::int32_t>(v)); }
  template <class T> void rl(const T& v) { out_.rl(static_cast<std::uint32_t>(v)); }
  void rd(const double& v) { out_.rd(v); }
  void ang(const double& deg) { rd(deg * (3.14159265358979323846 / 180.0)); }
  void p2(const Vec2& p) { rd(p.x), rd(p.y); }
  void pz(const Vec3& p) { rd(p.x), rd(p.y); }
  void p3(const Vec3& p) { rd(p.x), rd(p.y), rd(p.z); }
  void tv(const std::string& s) {
    std::string b = bytes(s);
    if (b.size() > 0x7FFF) b.resize(0x7FFF);
    out_.ru16(static_cast<std::uint16_t>(b.size()));
    out_.bytes(b);
  }
  void tf(const std::string& s, std::size_t n) {
    std::string b = bytes(s);
    out_.fixed(b, n);
  }
  void skip(std::size_t n) { out_.fixed("", n); }
  void raw(const std::string& s) { out_.bytes(s); }
  bool opt(std::uint16_t bit, bool present) {
    if (present) c_.opts |= bit;
    return present;
  }
  void idx(const std::string& name, Tbl t, bool wide) {
    int i = indexOf(t, name, wide);
    if (wide) out_.rs(i);
    else out_.rc(static_cast<std::uint8_t>(i));
  }
  int indexOf(Tbl t, const std::string& name, bool wide) const;
  // Whether a name is not the table's first entry (the one a missing index stands for).
  bool notFirst(const std::string& name, Tbl t) const { return indexOf(t, name, true) != 0; }

 private:
  std::string bytes(const std::string& s) const { return c_.cp && !plainAscii(s) ? c_.cp->encode(s) : s; }
  ByteOut& out_;
  Ctx& c_;
};

}  // namespace kelvaro::cad::dwg12
