#pragma once
// Text entities: TEXT, MTEXT, ATTDEF and ATTRIB.
#include "cadkit/record.h"

namespace kelvaro::cad {

// The text style of texts that name none.
inline const Name& standardStyle() {
  static const Name standard("STANDARD");
  return standard;
}

struct TextBase {
  double thickness = 0;
  Vec3 insert;
  double height = 1;
  std::string text;
  double rotation = 0, widthFactor = 1, oblique = 0;  // degrees
  Name style = standardStyle();
  std::int16_t generation = 0, halign = 0;
  Vec3 align;
  Vec3 normal{0, 0, 1};
  template <class V> void describeText(V& v) {
    v.subclass("AcDbText");
    v.field(39, thickness, kOpt);
    v.field(10, insert);
    v.field(40, height);
    v.field(1, text);
    v.field(50, rotation, kOpt);
    v.field(41, widthFactor, {.opt = true, .dflt = 1});
    v.field(51, oblique, kOpt);
    v.field(7, style, kOpt);
    v.field(71, generation, kOpt);
    v.field(72, halign, kOpt);
    v.field(11, align, kOpt);
    v.field(210, normal, kNormal);
  }
  bool operator==(const TextBase&) const = default;
};

struct Text : TextBase {
  static constexpr const char* kType = "TEXT";
  std::int16_t valign = 0;
  template <class V> void describe(V& v) {
    describeText(v);
    v.subclass("AcDbText");
    v.field(73, valign, kOpt);
  }
  bool operator==(const Text&) const = default;
};

struct AttDef : TextBase {
  static constexpr const char* kType = "ATTDEF";
  std::string prompt, tag;
  std::int16_t flags = 0, fieldLength = 0, valign = 0;
  template <class V> void describe(V& v) {
    describeText(v);
    v.subclass("AcDbAttributeDefinition");
    v.field(3, prompt);
    v.field(2, tag);
    v.field(70, flags);
    v.field(73, fieldLength, kOpt);
    v.field(74, valign, {.since = R::R12, .opt = true});
  }
  bool operator==(const AttDef&) const = default;
};

struct AttribData : TextBase {
  std::string tag;
  std::int16_t flags = 0, fieldLength = 0, valign = 0;
  template <class V> void describe(V& v) {
    describeText(v);
    v.subclass("AcDbAttribute");
    v.field(2, tag);
    v.field(70, flags);
    v.field(73, fieldLength, kOpt);
    v.field(74, valign, {.since = R::R12, .opt = true});
  }
  bool operator==(const AttribData&) const = default;
};
using Attrib = Sub<AttribData>;

struct MText {
  static constexpr const char* kType = "MTEXT";
  Vec3 insert;
  double height = 1, refWidth = 0;
  std::int16_t attachment = 1, direction = 1, spacingStyle = 1;
  std::string text;
  Name style = standardStyle();
  Vec3 normal{0, 0, 1}, xDirection{1, 0, 0};
  double rotation = 0, spacingFactor = 1;
  template <class V> void describe(V& v) {
    v.subclass("AcDbMText");
    v.field(10, insert);
    v.field(40, height);
    v.field(41, refWidth);
    v.field(71, attachment);
    v.field(72, direction);
    v.longText(1, 3, text);
    v.field(7, style, kOpt);
    v.field(210, normal, kNormal);
    v.field(11, xDirection);
    v.field(50, rotation, kOpt);
    v.field(73, spacingStyle, kOpt);
    v.field(44, spacingFactor, {.opt = true, .dflt = 1});
  }
  bool operator==(const MText&) const = default;
};

}  // namespace kelvaro::cad
