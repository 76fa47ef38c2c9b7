#pragma once
// What every DXF record carries besides its own fields: handle, owner, application groups,
// unclaimed tags and extended data; and the common entity properties.
#include <memory>
#include <string>
#include <vector>

#include "cadkit/describe.h"
#include "cadkit/name.h"

namespace kelvaro::cad {

using R = Release;

// A heap value that exists only once written to: most records carry none of these tags.
template <class T>
class Lazy {
 public:
  Lazy() = default;
  Lazy(const Lazy& o) : p_(o.p_ ? std::make_unique<T>(*o.p_) : nullptr) {}
  Lazy(Lazy&&) noexcept = default;
  Lazy& operator=(const Lazy& o) {
    if (this != &o) p_ = o.p_ ? std::make_unique<T>(*o.p_) : nullptr;
    return *this;
  }
  Lazy& operator=(Lazy&&) noexcept = default;
  T& get() {
    if (!p_) p_ = std::make_unique<T>();
    return *p_;
  }
  const T& get() const {
    static const T empty{};
    return p_ ? *p_ : empty;
  }
  bool operator==(const Lazy& o) const { return get() == o.get(); }

 private:
  std::unique_ptr<T> p_;
};

// The bits of a DWG object the model does not interpret, written back unchanged into files of
// the same release.
struct DwgRaw {
  Release release = Release::R2000;
  std::string className;           // the class's DXF name for types from 500, else empty
  std::vector<std::uint8_t> data;  // the object as stored, without its size and check value
  bool operator==(const DwgRaw&) const = default;
};

struct FrameTags {
  std::vector<Tag> appGroups;  // 102 {...} groups (reactors, extension dictionary), kept as read
  Extras extras;               // tags no field claimed
  std::vector<Tag> embedded;   // 101 embedded objects, kept raw
  std::vector<Tag> xdata;      // 1001 ... extended data
  DwgRaw dwg;                  // unknown DWG objects only
  bool operator==(const FrameTags&) const = default;
};

struct Frame {
  Handle handle;
  Handle owner;
  Lazy<FrameTags> tags;
  std::vector<Tag>& appGroups() { return tags.get().appGroups; }
  const std::vector<Tag>& appGroups() const { return tags.get().appGroups; }
  Extras& extras() { return tags.get().extras; }
  const Extras& extras() const { return tags.get().extras; }
  std::vector<Tag>& embedded() { return tags.get().embedded; }
  const std::vector<Tag>& embedded() const { return tags.get().embedded; }
  std::vector<Tag>& xdata() { return tags.get().xdata; }
  const std::vector<Tag>& xdata() const { return tags.get().xdata; }
  DwgRaw& dwg() { return tags.get().dwg; }
  const DwgRaw& dwg() const { return tags.get().dwg; }
  // The owner follows from where a record sits and is rebuilt on save, so it is not compared.
  bool operator==(const Frame& o) const { return handle == o.handle && tags == o.tags; }
};

// Layer "0", the layer of entities that name none.
inline const Name& layerZero() {
  static const Name zero("0");
  return zero;
}

struct EntityCommon {
  // Names first and the small numbers together: this is paid once per entity.
  Name layer = layerZero();
  Name linetype;  // empty: BYLAYER
  double ltscale = 1.0;
  std::int16_t paperSpace = 0;
  std::int16_t color = 256;
  std::int16_t lineweight = -1;
  std::int16_t invisible = 0;
  template <class V>
  void describe(V& v) {
    v.subclass("AcDbEntity");
    v.field(67, paperSpace, {.opt = true});
    v.field(8, layer);
    v.field(6, linetype, {.opt = true});
    v.field(62, color, {.opt = true, .dflt = 256});
    v.field(370, lineweight, {.since = R::R2000, .opt = true, .dflt = -1});
    v.field(48, ltscale, {.since = R::R13, .opt = true, .dflt = 1});
    v.field(60, invisible, {.since = R::R13, .opt = true});
  }
  bool operator==(const EntityCommon&) const = default;
};

// An entity that only exists inside another (VERTEX, ATTRIB, SEQEND).
template <class D>
struct Sub {
  Frame frame;
  EntityCommon common;
  D data;
  bool operator==(const Sub&) const = default;
};

struct Empty {
  template <class V> void describe(V&) {}
  bool operator==(const Empty&) const = default;
};

constexpr Opt kOpt{.opt = true};
constexpr Opt kNormal{.opt = true, .normal = true};

}  // namespace kelvaro::cad
