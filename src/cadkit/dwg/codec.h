#pragma once
// The two visitors of the DWG record descriptions: ObjIn reads a record's fields from its data
// and handle streams, ObjOut writes them. A description calls them in file order with the
// wire type as the method name; version gates are `Opt` data or v.since()/v.until().
#include <cmath>
#include <numbers>
#include <string>
#include <unordered_map>
#include <vector>

#include "cadkit/codepage.h"
#include "cadkit/describe.h"
#include "cadkit/dwg/bits.h"

namespace kelvaro::cad::dwg {

// Tables whose entries records refer to by handle while the model names them.
enum class Names : std::uint8_t { Layer, Ltype, Style, Block, DimStyle, Ucs, MLineStyle, AppId, View, Vport, Count };

// Names of the records of each table by handle (reading) and handles by upper-cased name (writing).
struct NameMaps {
  std::unordered_map<std::uint64_t, std::string> byHandle[static_cast<int>(Names::Count)];
  std::unordered_map<std::string, std::uint64_t> byName[static_cast<int>(Names::Count)];
  void add(Names k, std::uint64_t h, const std::string& name);
  std::string name(Names k, std::uint64_t h) const;
  std::uint64_t handle(Names k, std::string_view name) const;
};
std::string upper(std::string_view s);

// Sub-records an entity owns (vertices, attributes) and where they are.
struct Links {
  Handle first, last, seqend;
  bool hasAttribs = false;
  std::vector<Handle> owned;  // reactor-like lists the model rebuilds (hatch boundaries ...)
};

struct Ctx {
  Release rel = Release::R2000;
  std::uint8_t maint = 0;  // maintenance release of the file
  CodePage cp;
  NameMaps names;
};

constexpr Opt kR2000{.since = Release::R2000};
constexpr Opt kUntilR14{.until = Release::R14};

inline double toDeg(double rad) { return rad * (180.0 / std::numbers::pi); }
inline double toRad(double deg) { return deg * (std::numbers::pi / 180.0); }

class ObjIn {
 public:
  // `strings`: the object's string stream (2007 and later); texts come from `dat` without one.
  ObjIn(BitReader& dat, BitReader& hdl, Ctx& ctx, std::uint64_t self, BitReader* strings = nullptr)
      : d_(dat), h_(hdl), s_(strings ? strings : &dat), c_(ctx), self_(self) {}
  static constexpr bool kReading = true;
  bool reading() const { return true; }
  Release rel() const { return c_.rel; }
  bool since(Release r) const { return c_.rel >= r; }
  bool until(Release r) const { return c_.rel <= r; }
  bool ok() const { return d_.ok() && h_.ok() && s_->ok(); }
  Ctx& ctx() { return c_; }
  BitReader& data() { return d_; }
  BitReader& handles() { return h_; }
  BitReader& strings() { return *s_; }

  template <class T> void B(T& v, Opt o = {}) { if (o.gated(c_.rel)) v = static_cast<T>(d_.B()); }
  template <class T> void BB(T& v) { v = static_cast<T>(d_.BB()); }
  template <class T> void BS(T& v, Opt o = {}) { if (o.gated(c_.rel)) v = static_cast<T>(d_.BS()); }
  template <class T> void BL(T& v, Opt o = {}) { if (o.gated(c_.rel)) v = static_cast<T>(d_.BL()); }
  template <class T> void RC(T& v, Opt o = {}) { if (o.gated(c_.rel)) v = static_cast<T>(d_.RC()); }
  template <class T> void RS(T& v, Opt o = {}) { if (o.gated(c_.rel)) v = static_cast<T>(d_.RS()); }
  template <class T> void RL(T& v, Opt o = {}) { if (o.gated(c_.rel)) v = static_cast<T>(d_.RL()); }
  void BD(double& v, Opt o = {}) { if (o.gated(c_.rel)) v = d_.BD(); }
  void RD(double& v, Opt o = {}) { if (o.gated(c_.rel)) v = d_.RD(); }
  void DD(double& v, double dflt) { v = d_.DD(dflt); }
  void BT(double& v) { v = d_.BT(); }
  void BE(Vec3& v) { v = d_.BE(); }
  void BD2(Vec2& v, Opt o = {}) { if (o.gated(c_.rel)) v = d_.BD2(); }
  void BD3(Vec3& v, Opt o = {}) { if (o.gated(c_.rel)) v = d_.BD3(); }
  void RD2(Vec2& v, Opt o = {}) { if (o.gated(c_.rel)) v = d_.RD2(); }
  void RD3(Vec3& v) { v = d_.RD3(); }
  // A 2D point stored as the x and y of a 3D one (z from elsewhere).
  void RD2(Vec3& v) {
    Vec2 p = d_.RD2();
    v.x = p.x, v.y = p.y;
  }
  void DD2(Vec2& v, Vec2 dflt) { v = d_.DD2(dflt); }
  void CMC(std::int16_t& v, Opt o = {}) { if (o.gated(c_.rel)) v = d_.CMC(*s_).index; }
  void CMC(DwgColor& c) { c = d_.CMC(*s_); }
  // Text of the release: code page bytes until 2004, UTF-16 from the string stream since 2007.
  void T(std::string& s, Opt o = {}) {
    if (!o.gated(c_.rel)) return;
    if (c_.rel >= Release::R2007) {
      s = s_->TU();
      return;
    }
    std::string raw = d_.TV();
    s = plainAscii(raw) ? std::move(raw) : c_.cp.decode(raw, false);
  }
  void TV(std::string& s, Opt o = {}) { T(s, o); }
  // Angles are radians in DWG and degrees in the model.
  void angleBD(double& deg) { deg = toDeg(d_.BD()); }
  void angleRD(double& deg) { deg = toDeg(d_.RD()); }
  // One bit of a flag word.
  template <class T> void flagB(T& flags, int mask) {
    if (d_.B()) flags = static_cast<T>(flags | mask);
    else flags = static_cast<T>(flags & ~mask);
  }
  // Sizes a list to a count just read, never beyond what the rest of the stream can hold.
  template <class T> void resize(std::vector<T>& items, std::int64_t n, std::size_t minBits = 1) {
    if (n < 0 || static_cast<std::uint64_t>(n) * minBits > d_.bitsLeft() + h_.bitsLeft()) {
      d_.fail();
      n = 0;
    }
    items.assign(static_cast<std::size_t>(n), T{});
  }
  template <class T> void resizeH(std::vector<T>& items, std::int64_t n) {
    if (n < 0 || static_cast<std::uint64_t>(n) * 8 > h_.bitsLeft()) {
      h_.fail();
      n = 0;
    }
    items.assign(static_cast<std::size_t>(n), T{});
  }
  void bytes(std::vector<std::uint8_t>& b, std::size_t n) { b = d_.bytes(n); }

  // Handle stream.
  void H(Handle& h, int /*code*/ = 5) { h = Handle{absoluteHandle(h_.H(), self_)}; }
  void nameRef(Names k, std::string& name, int /*code*/ = 5) {
    std::uint64_t h = absoluteHandle(h_.H(), self_);
    name = c_.names.name(k, h);
  }
  void nameRef(Names k, Name& name, int code = 5) {
    std::string s;
    nameRef(k, s, code);
    name = s;
  }

 private:
  BitReader& d_;
  BitReader& h_;
  BitReader* s_;
  Ctx& c_;
  std::uint64_t self_;
};

class ObjOut {
 public:
  ObjOut(BitWriter& dat, BitWriter& hdl, Ctx& ctx, BitWriter* strings = nullptr)
      : d_(dat), h_(hdl), s_(strings ? strings : &dat), c_(ctx) {}
  static constexpr bool kReading = false;
  bool reading() const { return false; }
  Release rel() const { return c_.rel; }
  bool since(Release r) const { return c_.rel >= r; }
  bool until(Release r) const { return c_.rel <= r; }
  bool ok() const { return true; }
  Ctx& ctx() { return c_; }
  BitWriter& data() { return d_; }
  BitWriter& handles() { return h_; }
  BitWriter& strings() { return *s_; }

  template <class T> void B(const T& v, Opt o = {}) { if (o.gated(c_.rel)) d_.B(v != 0); }
  template <class T> void BB(const T& v) { d_.BB(static_cast<std::uint8_t>(v)); }
  template <class T> void BS(const T& v, Opt o = {}) { if (o.gated(c_.rel)) d_.BS(static_cast<std::int16_t>(v)); }
  template <class T> void BL(const T& v, Opt o = {}) { if (o.gated(c_.rel)) d_.BL(static_cast<std::int32_t>(v)); }
  template <class T> void RC(const T& v, Opt o = {}) { if (o.gated(c_.rel)) d_.RC(static_cast<std::uint8_t>(v)); }
  template <class T> void RS(const T& v, Opt o = {}) { if (o.gated(c_.rel)) d_.RS(static_cast<std::int16_t>(v)); }
  template <class T> void RL(const T& v, Opt o = {}) { if (o.gated(c_.rel)) d_.RL(static_cast<std::int32_t>(v)); }
  void BD(const double& v, Opt o = {}) { if (o.gated(c_.rel)) d_.BD(v); }
  void RD(const double& v, Opt o = {}) { if (o.gated(c_.rel)) d_.RD(v); }
  void DD(const double& v, double dflt) { d_.DD(v, dflt); }
  void BT(const double& v) { d_.BT(v); }
  void BE(const Vec3& v) { d_.BE(v); }
  void BD2(const Vec2& v, Opt o = {}) { if (o.gated(c_.rel)) d_.BD2(v); }
  void BD3(const Vec3& v, Opt o = {}) { if (o.gated(c_.rel)) d_.BD3(v); }
  void RD2(const Vec2& v, Opt o = {}) { if (o.gated(c_.rel)) d_.RD2(v); }
  void RD3(const Vec3& v) { d_.RD3(v); }
  void RD2(const Vec3& v) { d_.RD2({v.x, v.y}); }
  void DD2(const Vec2& v, Vec2 dflt) { d_.DD2(v, dflt); }
  void CMC(const std::int16_t& v, Opt o = {}) {
    if (!o.gated(c_.rel)) return;
    DwgColor c;
    c.index = v;
    d_.CMC(c, *s_);
  }
  void CMC(const DwgColor& c) { d_.CMC(c, *s_); }
  void T(const std::string& s, Opt o = {}) {
    if (!o.gated(c_.rel)) return;
    if (c_.rel >= Release::R2007) s_->TU(s);
    else if (plainAscii(s)) d_.TV(s);
    else d_.TV(c_.cp.encode(s));
  }
  void TV(const std::string& s, Opt o = {}) { T(s, o); }
  void angleBD(const double& deg) { d_.BD(toRad(deg)); }
  void angleRD(const double& deg) { d_.RD(toRad(deg)); }
  template <class T> void flagB(const T& flags, int mask) { d_.B((flags & mask) != 0); }
  template <class T> void resize(std::vector<T>&, std::int64_t, std::size_t = 1) {}
  template <class T> void resizeH(std::vector<T>&, std::int64_t) {}
  void bytes(const std::vector<std::uint8_t>& b, std::size_t n) {
    std::vector<std::uint8_t> copy(b);
    copy.resize(n, 0);
    d_.bytes(copy);
  }

  void H(const Handle& h, int code = 5) { h_.H({static_cast<std::uint8_t>(code), h.v}); }
  void nameRef(Names k, const std::string& name, int code = 5) {
    h_.H({static_cast<std::uint8_t>(code), name.empty() ? 0 : c_.names.handle(k, name)});
  }

 private:
  BitWriter& d_;
  BitWriter& h_;
  BitWriter* s_;
  Ctx& c_;
};

}  // namespace kelvaro::cad::dwg
