#pragma once
// Block references, dimensions, leaders, viewports and pictures.
#include "cadkit/ent_text.h"
#include "cadkit/ent_poly.h"

namespace kelvaro::cad {

struct Insert {
  static constexpr const char* kType = "INSERT";
  std::int16_t attribsFollow = 0;
  std::string block;
  Vec3 insert;
  double sx = 1, sy = 1, sz = 1, rotation = 0;
  std::int16_t columns = 1, rows = 1;
  double columnSpacing = 0, rowSpacing = 0;
  Vec3 normal{0, 0, 1};
  std::vector<Attrib> attribs;
  SeqEnd seqend;
  template <class V> void describe(V& v) {
    v.subclass(columns > 1 || rows > 1 ? "AcDbMInsertBlock" : "AcDbBlockReference");
    v.field(66, attribsFollow, kOpt);
    v.field(2, block);
    v.field(10, insert);
    v.field(41, sx, {.opt = true, .dflt = 1});
    v.field(42, sy, {.opt = true, .dflt = 1});
    v.field(43, sz, {.opt = true, .dflt = 1});
    v.field(50, rotation, kOpt);
    v.field(70, columns, {.opt = true, .dflt = 1});
    v.field(71, rows, {.opt = true, .dflt = 1});
    v.field(44, columnSpacing, kOpt);
    v.field(45, rowSpacing, kOpt);
    v.field(210, normal, kNormal);
  }
  bool operator==(const Insert&) const = default;
};

struct Dimension {
  static constexpr const char* kType = "DIMENSION";
  std::string block, text, style = "STANDARD";
  Vec3 defPoint, textMid, clonePoint, p13, p14, p15, p16;
  std::int16_t type = 0;  // low bits: 0 rotated, 1 aligned, 2 angular, 3 diameter, 4 radius, 5 3-point, 6 ordinate
  std::int16_t attachment = 5, spacingStyle = 1;
  double spacingFactor = 1, measurement = 0, textRotation = 0, horizontalDir = 0;
  double leaderLength = 0, angle = 0, oblique = 0;
  Vec3 normal{0, 0, 1};
  int kind() const { return type & 15; }
  const char* subclassName() const {
    switch (kind()) {
      case 0: return "AcDbAlignedDimension";
      case 1: return "AcDbAlignedDimension";
      case 2: return "AcDb2LineAngularDimension";
      case 3: return "AcDbDiametricDimension";
      case 4: return "AcDbRadialDimension";
      case 5: return "AcDb3PointAngularDimension";
      default: return "AcDbOrdinateDimension";
    }
  }
  template <class V> void describe(V& v) {
    v.subclass("AcDbDimension");
    v.field(2, block);
    v.field(10, defPoint);
    v.field(11, textMid);
    v.field(12, clonePoint, {.until = R::R12, .opt = true});
    v.field(70, type);
    v.field(71, attachment, {.since = R::R13, .opt = true});
    v.field(72, spacingStyle, {.since = R::R13, .opt = true, .dflt = 1});
    v.field(41, spacingFactor, {.since = R::R13, .opt = true, .dflt = 1});
    v.field(42, measurement, {.since = R::R13, .opt = true});
    v.field(1, text, kOpt);
    v.field(53, textRotation, kOpt);
    v.field(51, horizontalDir, kOpt);
    v.field(210, normal, kNormal);
    v.field(3, style, kOpt);
    v.subclass(subclassName());
    bool linear = kind() <= 1;
    if (kind() == 3 || kind() == 4) {
      v.field(15, p15);
      v.field(40, leaderLength);
    } else {
      v.field(13, p13);
      v.field(14, p14);
      if (linear) v.field(50, angle, kOpt);
      if (kind() == 2 || kind() == 5) v.field(15, p15);
      if (kind() == 2) v.field(16, p16);
    }
    if (kind() == 0) {
      v.subclass("AcDbRotatedDimension");
      v.field(52, oblique, kOpt);
    } else if (kind() == 1) {
      v.field(52, oblique, kOpt);
    }
  }
  bool operator==(const Dimension&) const = default;
};

struct Leader {
  static constexpr const char* kType = "LEADER";
  std::string style = "STANDARD";
  std::int16_t arrowhead = 1, pathType = 0, creation = 3, hookDir = 0, hook = 0;
  double textHeight = 0, textWidth = 0;
  std::vector<Vec3> vertices;
  Handle annotation;
  Vec3 normal{0, 0, 1}, horizontal{1, 0, 0}, blockOffset, annotationOffset;
  template <class V> void describe(V& v) {
    v.subclass("AcDbLeader");
    v.field(3, style);
    v.field(71, arrowhead);
    v.field(72, pathType);
    v.field(73, creation);
    v.field(74, hookDir);
    v.field(75, hook);
    v.field(40, textHeight, kOpt);
    v.field(41, textWidth, kOpt);
    v.countOf(76, vertices);
    v.points(10, vertices);
    v.field(340, annotation, kOpt);
    v.field(210, normal, kNormal);
    v.field(211, horizontal, kOpt);
    v.field(212, blockOffset, kOpt);
    v.field(213, annotationOffset, kOpt);
  }
  bool operator==(const Leader&) const = default;
};

struct Viewport {
  static constexpr const char* kType = "VIEWPORT";
  Vec3 center;
  double width = 0, height = 0;
  std::int16_t status = 1, id = 1;
  Vec2 viewCenter;
  Vec2 snapBase, snapSpacing{1, 1}, gridSpacing{1, 1};
  Vec3 viewDirection{0, 0, 1}, viewTarget;
  double lens = 50, frontClip = 0, backClip = 0, viewHeight = 1, snapAngle = 0, twist = 0;
  std::int16_t circleZoom = 100;
  std::vector<Handle> frozenLayers;
  std::int32_t flags = 0;
  template <class V> void describe(V& v) {
    v.subclass("AcDbViewport");
    v.field(10, center);
    v.field(40, width);
    v.field(41, height);
    v.field(68, status);
    v.field(69, id);
    v.field(12, viewCenter, {.since = R::R13});
    v.field(13, snapBase, {.since = R::R13});
    v.field(14, snapSpacing, {.since = R::R13});
    v.field(15, gridSpacing, {.since = R::R13});
    v.field(16, viewDirection, {.since = R::R13});
    v.field(17, viewTarget, {.since = R::R13});
    v.field(42, lens, {.since = R::R13});
    v.field(43, frontClip, {.since = R::R13});
    v.field(44, backClip, {.since = R::R13});
    v.field(45, viewHeight, {.since = R::R13});
    v.field(50, snapAngle, {.since = R::R13});
    v.field(51, twist, {.since = R::R13});
    v.field(72, circleZoom, {.since = R::R13});
    v.values(331, frozenLayers, {.since = R::R13});
    v.field(90, flags, {.since = R::R13});
  }
  bool operator==(const Viewport&) const = default;
};

struct Image {
  static constexpr const char* kType = "IMAGE";
  std::int32_t version = 0;
  Vec3 insert, u{1, 0, 0}, v{0, 1, 0};
  Vec2 size{1, 1};  // pixels
  Handle imageDef, reactor;
  std::int16_t display = 7, clipping = 0, clipType = 1;
  std::int16_t brightness = 50, contrast = 50, fade = 0;
  std::vector<Vec2> clip;
  template <class Vis> void describe(Vis& w) {
    w.subclass("AcDbRasterImage");
    w.field(90, version);
    w.field(10, insert);
    w.field(11, u);
    w.field(12, v);
    w.field(13, size);
    w.field(340, imageDef);
    w.field(70, display);
    w.field(280, clipping);
    w.field(281, brightness);
    w.field(282, contrast);
    w.field(283, fade);
    w.field(360, reactor, kOpt);
    w.field(71, clipType);
    w.countOf(91, clip);
    w.points(14, clip);
  }
  bool operator==(const Image&) const = default;
};

struct Ole2Frame {
  static constexpr const char* kType = "OLE2FRAME";
  std::int16_t version = 2, oleType = 2, tileMode = 0;
  std::string typeText;
  Vec3 upperLeft, lowerRight;
  std::int32_t length = 0;
  std::vector<std::string> data;  // 310 chunks in hexadecimal
  std::string end = "OLE";
  template <class V> void describe(V& v) {
    v.subclass("AcDbOle2Frame");
    v.field(70, version);
    v.field(3, typeText);
    v.field(10, upperLeft);
    v.field(11, lowerRight);
    v.field(71, oleType);
    v.field(72, tileMode);
    v.field(90, length);
    v.values(310, data);
    v.field(1, end);
  }
  // The data as bytes; each chunk ends at its first character that is not a hex digit.
  std::vector<std::uint8_t> bytes() const;
  bool operator==(const Ole2Frame&) const = default;
};

// An entity the model does not know: all its own tags are kept in the frame's extras.
struct RawEntity {
  std::string type;
  template <class V> void describe(V&) {}
  bool operator==(const RawEntity&) const = default;
};

}  // namespace kelvaro::cad
