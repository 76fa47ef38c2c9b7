#pragma once
// Symbol table records: layers, linetypes, text styles, views, viewports, UCSs, application
// ids, dimension styles and block records.
#include "cadkit/record.h"

namespace kelvaro::cad {

struct Layer {
  static constexpr const char* kTable = "LAYER";
  static constexpr Release kSince = Release::R2_5;  // first release with this table
  static constexpr const char* kSub = "AcDbLayerTableRecord";
  std::string name;
  std::int16_t flags = 0;  // 1 frozen, 2 frozen in new viewports, 4 locked
  std::int16_t color = 7;  // negative: layer off
  std::string linetype = "CONTINUOUS";
  bool plot = true;
  std::int16_t lineweight = -3;  // -3 default, -2 by block, -1 by layer, else 1/100 mm
  Handle plotStyle;
  template <class V> void describe(V& v) {
    v.subclass("AcDbSymbolTableRecord");
    v.subclass(kSub);
    v.field(2, name);
    v.field(70, flags);
    v.field(62, color);
    v.field(6, linetype);
    v.field(290, plot, {.since = R::R2000, .opt = true, .dflt = 1});
    v.field(370, lineweight, {.since = R::R2000});
    v.field(390, plotStyle, {.since = R::R2000, .opt = true});
  }
  bool operator==(const Layer&) const = default;
};

struct Dash {
  double length = 0;
  std::int16_t complex = 0, shape = 0;
  Handle style;
  double scale = 1, rotation = 0;
  Vec2 offset;
  std::string text;
  template <class V> void describe(V& v) {
    v.field(49, length);
    v.field(74, complex, {.since = R::R13});
    if (complex) {
      v.field(75, shape);
      v.field(340, style);
      v.field(46, scale);
      v.field(50, rotation);
      v.field(44, offset.x);
      v.field(45, offset.y);
      v.field(9, text, kOpt);
    }
  }
  bool operator==(const Dash&) const = default;
};

struct Linetype {
  static constexpr const char* kTable = "LTYPE";
  static constexpr Release kSince = Release::R2_5;  // first release with this table
  static constexpr const char* kSub = "AcDbLinetypeTableRecord";
  std::string name, description;
  std::int16_t flags = 0, alignment = 65;
  double length = 0;
  std::vector<Dash> dashes;
  template <class V> void describe(V& v) {
    v.subclass("AcDbSymbolTableRecord");
    v.subclass(kSub);
    v.field(2, name);
    v.field(70, flags);
    v.field(3, description);
    v.field(72, alignment);
    v.countOf(73, dashes);
    v.field(40, length);
    v.seq(49, dashes);
  }
  bool operator==(const Linetype&) const = default;
};

struct TextStyle {
  static constexpr const char* kTable = "STYLE";
  static constexpr Release kSince = Release::R2_5;  // first release with this table
  static constexpr const char* kSub = "AcDbTextStyleTableRecord";
  std::string name, font = "txt", bigFont;
  std::int16_t flags = 0, generation = 0;  // flags 1: shape file
  double fixedHeight = 0, widthFactor = 1, oblique = 0, lastHeight = 2.5;
  template <class V> void describe(V& v) {
    v.subclass("AcDbSymbolTableRecord");
    v.subclass(kSub);
    v.field(2, name);
    v.field(70, flags);
    v.field(40, fixedHeight);
    v.field(41, widthFactor);
    v.field(50, oblique);
    v.field(71, generation);
    v.field(42, lastHeight);
    v.field(3, font);
    v.field(4, bigFont);
  }
  bool operator==(const TextStyle&) const = default;
};

struct View {
  static constexpr const char* kTable = "VIEW";
  static constexpr Release kSince = Release::R2_5;  // first release with this table
  static constexpr const char* kSub = "AcDbViewTableRecord";
  std::string name;
  std::int16_t flags = 0, viewMode = 0;
  double height = 1, width = 1, lens = 50, frontClip = 0, backClip = 0, twist = 0;
  Vec2 center;
  Vec3 direction{0, 0, 1}, target;
  template <class V> void describe(V& v) {
    v.subclass("AcDbSymbolTableRecord");
    v.subclass(kSub);
    v.field(2, name);
    v.field(70, flags);
    v.field(40, height);
    v.field(10, center);
    v.field(41, width);
    v.field(11, direction, {.since = R::R10});
    v.field(12, target, {.since = R::R10});
    v.field(42, lens, {.since = R::R10});
    v.field(43, frontClip, {.since = R::R10});
    v.field(44, backClip, {.since = R::R10});
    v.field(50, twist, {.since = R::R10});
    v.field(71, viewMode, {.since = R::R10});
  }
  bool operator==(const View&) const = default;
};

struct Vport {
  static constexpr const char* kTable = "VPORT";
  static constexpr Release kSince = Release::R10;  // first release with this table
  static constexpr const char* kSub = "AcDbViewportTableRecord";
  std::string name;
  std::int16_t flags = 0;
  Vec2 lowerLeft, upperRight{1, 1}, center, snapBase, snapSpacing{1, 1}, gridSpacing{1, 1};
  Vec3 direction{0, 0, 1}, target;
  double height = 1, aspect = 1, lens = 50, frontClip = 0, backClip = 0, snapAngle = 0, twist = 0;
  std::int16_t viewMode = 0, circleZoom = 100, fastZoom = 1, ucsIcon = 3, snap = 0, grid = 0, snapStyle = 0,
               snapIsoPair = 0;
  template <class V> void describe(V& v) {
    v.subclass("AcDbSymbolTableRecord");
    v.subclass(kSub);
    v.field(2, name);
    v.field(70, flags);
    v.field(10, lowerLeft);
    v.field(11, upperRight);
    v.field(12, center);
    v.field(13, snapBase);
    v.field(14, snapSpacing);
    v.field(15, gridSpacing);
    v.field(16, direction);
    v.field(17, target);
    v.field(40, height);
    v.field(41, aspect);
    v.field(42, lens);
    v.field(43, frontClip);
    v.field(44, backClip);
    v.field(50, snapAngle);
    v.field(51, twist);
    v.field(71, viewMode);
    v.field(72, circleZoom);
    v.field(73, fastZoom);
    v.field(74, ucsIcon);
    v.field(75, snap);
    v.field(76, grid);
    v.field(77, snapStyle);
    v.field(78, snapIsoPair);
  }
  bool operator==(const Vport&) const = default;
};

struct Ucs {
  static constexpr const char* kTable = "UCS";
  static constexpr Release kSince = Release::R10;  // first release with this table
  static constexpr const char* kSub = "AcDbUCSTableRecord";
  std::string name;
  std::int16_t flags = 0;
  Vec3 origin, xAxis{1, 0, 0}, yAxis{0, 1, 0};
  template <class V> void describe(V& v) {
    v.subclass("AcDbSymbolTableRecord");
    v.subclass(kSub);
    v.field(2, name);
    v.field(70, flags);
    v.field(10, origin);
    v.field(11, xAxis);
    v.field(12, yAxis);
  }
  bool operator==(const Ucs&) const = default;
};

struct AppId {
  static constexpr const char* kTable = "APPID";
  static constexpr Release kSince = Release::R12;  // first release with this table
  static constexpr const char* kSub = "AcDbRegAppTableRecord";
  std::string name;
  std::int16_t flags = 0;
  template <class V> void describe(V& v) {
    v.subclass("AcDbSymbolTableRecord");
    v.subclass(kSub);
    v.field(2, name);
    v.field(70, flags);
  }
  bool operator==(const AppId&) const = default;
};

// Dimension variables beyond the name are kept as read (they differ a lot between releases).
struct DimStyle {
  static constexpr const char* kTable = "DIMSTYLE";
  static constexpr Release kSince = Release::R12;  // first release with this table
  static constexpr const char* kSub = "AcDbDimStyleTableRecord";
  std::string name;
  std::int16_t flags = 0;
  template <class V> void describe(V& v) {
    v.subclass("AcDbSymbolTableRecord");
    v.subclass(kSub);
    v.field(2, name);
    v.field(70, flags);
  }
  bool operator==(const DimStyle&) const = default;
};

struct BlockRecord {
  static constexpr const char* kTable = "BLOCK_RECORD";
  static constexpr Release kSince = Release::R13;  // first release with this table
  static constexpr const char* kSub = "AcDbBlockTableRecord";
  std::string name;
  std::int16_t flags = 0;
  Handle layout;
  std::int16_t units = 0, explodable = 1, scalable = 0;
  template <class V> void describe(V& v) {
    v.subclass("AcDbSymbolTableRecord");
    v.subclass(kSub);
    v.field(2, name);
    v.field(340, layout, {.since = R::R2000});
    v.field(70, units, {.since = R::R2000});
    v.field(280, explodable, {.since = R::R2000});
    v.field(281, scalable, {.since = R::R2000});
  }
  bool operator==(const BlockRecord&) const = default;
};

template <class Rec>
struct TableEntry {
  Frame frame;
  Rec rec;
  bool operator==(const TableEntry&) const = default;
};

template <class Rec>
struct Table {
  bool present = false;  // the file had this table
  Frame frame;           // the TABLE head (handle and kept tags)
  std::vector<TableEntry<Rec>> entries;
  bool operator==(const Table&) const = default;
};

}  // namespace kelvaro::cad
