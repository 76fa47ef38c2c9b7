#pragma once
// Non-graphical objects: dictionaries, layouts, extended records, image definitions; anything
// else is kept as read.
#include <variant>

#include "cadkit/record.h"

namespace kelvaro::cad {

struct DictEntry {
  std::string name;
  Handle handle;
  std::int16_t hard = 0;  // 360 instead of 350
  template <class V> void describe(V& v) {
    v.field(3, name);
    if (v.reading()) {
      v.field(350, handle, kOpt);
      Handle owned;
      v.field(360, owned, kOpt);
      if (owned) handle = owned, hard = 1;
    } else {
      v.field(hard ? 360 : 350, handle);
    }
  }
  bool operator==(const DictEntry&) const = default;
};

struct Dictionary {
  static constexpr const char* kType = "DICTIONARY";
  std::int16_t hardOwner = 0, cloning = 1;
  std::vector<DictEntry> entries;
  template <class V> void describe(V& v) {
    v.subclass("AcDbDictionary");
    v.field(280, hardOwner, kOpt);
    v.field(281, cloning);
    v.seq(3, entries);
  }
  const DictEntry* find(std::string_view n) const {
    for (const auto& e : entries)
      if (e.name == n) return &e;
    return nullptr;
  }
  bool operator==(const Dictionary&) const = default;
};

struct Layout {
  static constexpr const char* kType = "LAYOUT";
  std::string name;
  std::int16_t flags = 1, tabOrder = 0;
  Vec2 limMin, limMax{12, 9};
  Vec3 insBase, extMin{1e20, 1e20, 1e20}, extMax{-1e20, -1e20, -1e20};
  double elevation = 0;
  Vec3 ucsOrigin, ucsX{1, 0, 0}, ucsY{0, 1, 0};
  std::int16_t ucsType = 1;
  Handle blockRecord, viewport;
  template <class V> void describe(V& v) {
    v.subclass("AcDbPlotSettings");  // plot settings are kept as read
    v.subclass("AcDbLayout");
    v.field(1, name);
    v.field(70, flags);
    v.field(71, tabOrder);
    v.field(10, limMin);
    v.field(11, limMax);
    v.field(12, insBase);
    v.field(14, extMin);
    v.field(15, extMax);
    v.field(146, elevation);
    v.field(13, ucsOrigin);
    v.field(16, ucsX);
    v.field(17, ucsY);
    v.field(76, ucsType);
    v.field(330, blockRecord);
    v.field(331, viewport, kOpt);
  }
  bool operator==(const Layout&) const = default;
};

struct XRecord {
  static constexpr const char* kType = "XRECORD";
  std::int16_t cloning = 1;  // the record's own data stays in the frame's extras, in order
  template <class V> void describe(V& v) {
    v.subclass("AcDbXrecord");
    v.field(280, cloning);
    v.opaqueRest();
  }
  bool operator==(const XRecord&) const = default;
};

struct ImageDef {
  static constexpr const char* kType = "IMAGEDEF";
  std::int32_t version = 0;
  std::string fileName;
  Vec2 size{1, 1}, pixelSize{1, 1};
  std::int16_t loaded = 1, units = 0;
  template <class V> void describe(V& v) {
    v.subclass("AcDbRasterImageDef");
    v.field(90, version);
    v.field(1, fileName);
    v.field(10, size);
    v.field(11, pixelSize);
    v.field(280, loaded);
    v.field(281, units);
  }
  bool operator==(const ImageDef&) const = default;
};

struct RawObject {
  std::string type;
  template <class V> void describe(V&) {}
  bool operator==(const RawObject&) const = default;
};

using ObjectData = std::variant<Dictionary, Layout, XRecord, ImageDef, RawObject>;

struct Object {
  Frame frame;
  ObjectData data;
  bool operator==(const Object&) const = default;
};

std::string objectTypeName(const ObjectData& d);

}  // namespace kelvaro::cad
