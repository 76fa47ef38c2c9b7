#pragma once
// What every DXF record carries besides its own fields: handle, owner, application groups,
// unclaimed tags and extended data; and the common entity properties.
#include <string>
#include <vector>

#include "cadkit/describe.h"

namespace kelvaro::cad {

using R = Release;

struct Frame {
  Handle handle;
  Handle owner;
  std::vector<Tag> appGroups;  // 102 {...} groups (reactors, extension dictionary), kept as read
  Extras extras;               // tags no field claimed
  std::vector<Tag> embedded;   // 101 embedded objects, kept raw
  std::vector<Tag> xdata;      // 1001 ... extended data
  // The owner follows from where a record sits and is rebuilt on save, so it is not compared.
  bool operator==(const Frame& o) const {
    return handle == o.handle && appGroups == o.appGroups && extras == o.extras && embedded == o.embedded &&
           xdata == o.xdata;
  }
};

struct EntityCommon {
  std::int16_t paperSpace = 0;
  std::string layer = "0";
  std::string linetype;  // empty: BYLAYER
  std::int16_t color = 256;
  std::int16_t lineweight = -1;
  double ltscale = 1.0;
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
