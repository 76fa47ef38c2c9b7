#pragma once
// Byte layouts of the records of DWG files before R13, each written once for both directions
// (V is FieldIn or FieldOut). Table entries start with their flags and a 32-byte name; entity
// bodies follow the common entity data, which the reader and writer handle themselves.
#include "cadkit/document.h"
#include "cadkit/dwg12_record.h"

namespace kelvaro::cad::dwg12 {

// --- tables ------------------------------------------------------------------------------------

template <class V, class F>
void tableHead(V& v, F& flags, std::string& name) {
  v.rc(flags);
  v.tf(name, 32);
  if (v.ctx().at(Ver::V11)) {
    std::int16_t used = 0;
    v.rs(used);
  }
}

template <class V>
void layout(V& v, Layer& r) {
  tableHead(v, r.flags, r.name);
  v.rs(r.color);
  v.idx(r.linetype, Tbl::Ltype, true);
}

template <class V>
void layout(V& v, TextStyle& r) {
  tableHead(v, r.flags, r.name);
  v.rd(r.fixedHeight);
  v.rd(r.widthFactor);
  v.ang(r.oblique);
  v.rc(r.generation);
  v.rd(r.lastHeight);
  v.tf(r.font, 64);
  if (v.ctx().at(Ver::V2_5)) v.tf(r.bigFont, 64);
}

template <class V>
void layout(V& v, Linetype& r) {
  tableHead(v, r.flags, r.name);
  v.tf(r.description, 48);
  v.rc(r.alignment);
  std::uint8_t n = static_cast<std::uint8_t>(std::min<std::size_t>(r.dashes.size(), 12));
  v.rc(n);
  v.rd(r.length);
  if constexpr (V::kReading) r.dashes.resize(std::min<std::uint8_t>(n, 12));
  for (int i = 0; i < 12; ++i) {
    double d = i < static_cast<int>(r.dashes.size()) ? r.dashes[static_cast<std::size_t>(i)].length : 0;
    v.rd(d);
    if constexpr (V::kReading)
      if (i < static_cast<int>(r.dashes.size())) r.dashes[static_cast<std::size_t>(i)].length = d;
  }
}

// Views grew over the releases; older entries are told apart by their size.
template <class V>
void layout(V& v, View& r, std::size_t size) {
  tableHead(v, r.flags, r.name);
  v.rd(r.height);
  v.p2(r.center);
  const bool r10 = v.ctx().at(Ver::V10);
  if (size == 58) v.skip(1);
  if (size > 58) v.rd(r.width);
  if (size > 66) v.p3(r.direction);
  if (size > 89) {
    std::int16_t flag3d = 0;
    v.rs(flag3d);
  }
  if (size == 66 || size == 92) v.skip(1);
  if (r10) {
    v.p3(r.target);
    v.rs(r.viewMode);
    v.rd(r.lens);
    v.rd(r.frontClip);
    v.rd(r.backClip);
    v.ang(r.twist);
  }
}

template <class V>
void layout(V& v, Ucs& r) {
  tableHead(v, r.flags, r.name);
  v.p3(r.origin);
  v.p3(r.xAxis);
  v.p3(r.yAxis);
}

template <class V>
void layout(V& v, Vport& r) {
  tableHead(v, r.flags, r.name);
  v.p2(r.lowerLeft);
  v.p2(r.upperRight);
  v.p3(r.target);
  v.p3(r.direction);
  v.ang(r.twist);
  v.rd(r.height);
  v.p2(r.center);
  v.rd(r.aspect);
  v.rd(r.lens);
  v.rd(r.frontClip);
  v.rd(r.backClip);
  v.rs(r.viewMode);
  v.rs(r.circleZoom);
  v.rs(r.fastZoom);
  v.rs(r.ucsIcon);
  v.rs(r.snap);
  v.rs(r.grid);
  v.rs(r.snapStyle);
  v.rs(r.snapIsoPair);
  v.ang(r.snapAngle);
  v.p2(r.snapBase);
  v.p2(r.snapSpacing);
  v.p2(r.gridSpacing);
}

template <class V>
void layout(V& v, AppId& r) {
  tableHead(v, r.flags, r.name);
}

// A block entry: where its BLOCK entity sits in the block entities section.
struct BlockEntry {
  std::string name;
  std::int16_t flags = 0;
  std::uint32_t offset = 0;
};

template <class V>
void layout(V& v, BlockEntry& r, std::size_t size) {
  tableHead(v, r.flags, r.name);
  v.rl(r.offset);
  if (size == 38 && !v.ctx().at(Ver::V11)) v.skip(1);
  if (v.ctx().at(Ver::V11)) {
    std::int16_t entity = 0, flag2 = 0;
    v.rs(entity);
    v.rs(flag2);
  }
}

// Dimension style variables are kept as DXF tags in the model.
enum class DimKind : std::uint8_t { Real, Byte, Short, Text };
struct DimVar {
  DimKind kind;
  int code;
  std::uint8_t width;  // fixed text width
  double dflt;
};
inline constexpr DimVar kDimVars[] = {
    {DimKind::Real, 40, 0, 1},      {DimKind::Real, 41, 0, 0.18},   {DimKind::Real, 42, 0, 0.0625},
    {DimKind::Real, 43, 0, 0.38},   {DimKind::Real, 44, 0, 0.18},   {DimKind::Real, 45, 0, 0},
    {DimKind::Real, 46, 0, 0},      {DimKind::Real, 47, 0, 0},      {DimKind::Real, 48, 0, 0},
    {DimKind::Real, 140, 0, 0.18},  {DimKind::Real, 141, 0, 0.09},  {DimKind::Real, 142, 0, 0},
    {DimKind::Real, 143, 0, 25.4},  {DimKind::Real, 144, 0, 1},     {DimKind::Real, 145, 0, 0},
    {DimKind::Byte, 71, 0, 0},      {DimKind::Byte, 72, 0, 0},      {DimKind::Byte, 73, 0, 1},
    {DimKind::Byte, 74, 0, 1},      {DimKind::Byte, 75, 0, 0},      {DimKind::Byte, 76, 0, 0},
    {DimKind::Byte, 77, 0, 0},      {DimKind::Byte, 78, 0, 0},      {DimKind::Byte, 170, 0, 0},
    {DimKind::Byte, 171, 0, 2},     {DimKind::Byte, 172, 0, 0},     {DimKind::Byte, 173, 0, 0},
    {DimKind::Byte, 174, 0, 0},     {DimKind::Byte, 175, 0, 0},     {DimKind::Text, 3, 16, 0},
    {DimKind::Text, 4, 16, 0},      {DimKind::Text, 5, 16, 0},      {DimKind::Text, 6, 16, 0},
    {DimKind::Text, 7, 66, 0},      {DimKind::Short, 176, 0, 0},    {DimKind::Short, 177, 0, 0},
    {DimKind::Short, 178, 0, 0},    {DimKind::Byte, -1, 0, 0},      {DimKind::Real, 146, 0, 1},
    {DimKind::Real, 147, 0, 0.09},
};

struct DimStyleEntry {
  DimStyle rec;
  std::vector<Tag> vars;  // in file order
};

const Tag* findTag(const std::vector<Tag>& tags, int code);

template <class V>
void layout(V& v, DimStyleEntry& r) {
  tableHead(v, r.rec.flags, r.rec.name);
  for (const DimVar& d : kDimVars) {
    Tag t;
    t.code = d.code;
    if constexpr (!V::kReading) {
      if (const Tag* have = findTag(r.vars, d.code)) t = *have;
      else if (d.kind == DimKind::Real) t.kind = Tag::kReal, t.real = d.dflt;
      else if (d.kind != DimKind::Text) t.kind = Tag::kInt, t.integer = static_cast<std::int64_t>(d.dflt);
    }
    switch (d.kind) {
      case DimKind::Real: {
        double x = t.asReal();
        v.rd(x);
        t.kind = Tag::kReal, t.real = x;
        break;
      }
      case DimKind::Byte:
      case DimKind::Short: {
        std::int64_t x = t.asInt();
        if (d.kind == DimKind::Byte) v.rc(x);
        else v.rs(x);
        if (d.kind == DimKind::Short && V::kReading) x = static_cast<std::int16_t>(x);
        t.kind = Tag::kInt, t.integer = x;
        break;
      }
      case DimKind::Text: {
        std::string s = t.asText();
        v.tf(s, d.width);
        t.kind = Tag::kText, t.text = s;
        break;
      }
    }
    if constexpr (V::kReading)
      if (d.code >= 0) r.vars.push_back(std::move(t));
  }
}

// --- entities ----------------------------------------------------------------------------------

// Entity type numbers of the file.
enum EntType : std::uint8_t {
  kLine = 1, kPoint = 2, kCircle = 3, kShape = 4, kRepeat = 5, kEndRep = 6, kText = 7, kArc = 8, kTrace = 9,
  kLoad = 10, kSolid = 11, kBlock = 12, kEndBlk = 13, kInsert = 14, kAttDef = 15, kAttrib = 16, kSeqEnd = 17,
  kJump = 18, kPolyline = 19, kVertex = 20, kLine3d = 21, kFace3d = 22, kDimension = 23, kViewport = 24,
};

// Common entity flags.
inline constexpr std::uint8_t kHasColor = 1, kHasLtype = 2, kHasElev = 4, kHasThickness = 8, kHasHandle = 32,
                              kHasExtra = 64, kFollows = 128;
inline constexpr std::uint8_t kExtraPaper = 1, kExtraXData = 2, kExtraViewport = 4;

template <class V>
void body(V& v, Line& e) {
  Ctx& c = v.ctx();
  if (!c.at(Ver::V10)) {
    v.pz(e.start);
    v.pz(e.end);
  } else if (c.flat()) {
    Vec2 a{e.start.x, e.start.y}, b{e.end.x, e.end.y};
    v.p2(a);
    v.p2(b);
    if constexpr (V::kReading) e.start = {a.x, a.y, 0}, e.end = {b.x, b.y, 0};
  } else {
    v.p3(e.start);
    v.p3(e.end);
  }
  if (v.opt(1, e.normal != Vec3{0, 0, 1})) v.p3(e.normal);
}

// 3DLINE, read as a line: before R10 each end says whether it has its own height.
template <class V>
void body3dLine(V& v, Line& e) {
  if (v.ctx().at(Ver::V10)) return body(v, e);
  if (v.opt(1, true)) v.p3(e.start);
  else v.pz(e.start);
  if (v.opt(2, true)) v.p3(e.end);
  else v.pz(e.end);
}

template <class V>
void body(V& v, Point& e) {
  Ctx& c = v.ctx();
  v.pz(e.location);
  if (c.at(Ver::V10) && !c.flat()) v.rd(e.location.z);
  if (v.opt(1, e.normal != Vec3{0, 0, 1})) v.p3(e.normal);
  if (v.opt(2, e.xAxisAngle != 0)) v.ang(e.xAxisAngle);
}

template <class V>
void body(V& v, Circle& e) {
  v.pz(e.center);
  v.rd(e.radius);
  if (v.opt(1, e.normal != Vec3{0, 0, 1})) v.p3(e.normal);
  if (v.opt(2, false)) v.rd(e.center.z);
}

template <class V>
void body(V& v, Arc& e) {
  v.pz(e.center);
  v.rd(e.radius);
  v.ang(e.startAngle);
  v.ang(e.endAngle);
  if (v.opt(1, e.normal != Vec3{0, 0, 1})) v.p3(e.normal);
  if (v.opt(2, false)) v.rd(e.center.z);
}

template <class V, class Q>
void bodyQuad(V& v, Q& e) {
  for (Vec3& p : e.p) v.pz(p);
  if (v.opt(1, e.normal != Vec3{0, 0, 1})) v.p3(e.normal);
  if (v.opt(2, false)) {
    double z = 0;
    v.rd(z);
    for (Vec3& p : e.p) p.z = z;
  }
}
template <class V> void body(V& v, Solid& e) { bodyQuad(v, e); }
template <class V> void body(V& v, Trace& e) { bodyQuad(v, e); }

template <class V>
void body(V& v, Face3d& e) {
  Ctx& c = v.ctx();
  if (!c.at(Ver::V10)) {
    for (int i = 0; i < 4; ++i) {
      if (v.opt(static_cast<std::uint16_t>(1 << i), true)) v.p3(e.p[i]);
      else v.pz(e.p[i]);
    }
    return;
  }
  for (Vec3& p : e.p) {
    if (c.flat()) v.pz(p);
    else v.p3(p);
  }
  if (v.opt(1, e.invisibleEdges != 0)) v.rs(e.invisibleEdges);
}

// The optional text fields of TEXT, ATTDEF and ATTRIB; `shift` is 0 for TEXT and 1 for the
// attributes, whose option bits sit one higher.
template <class V>
void textOptions(V& v, TextBase& t, std::int16_t& valign, int shift) {
  auto bit = [&](int b) { return static_cast<std::uint16_t>(1 << (b + shift)); };
  if (v.opt(bit(0), t.rotation != 0)) v.ang(t.rotation);
  if (v.opt(bit(1), t.widthFactor != 1)) v.rd(t.widthFactor);
  if (v.opt(bit(2), t.oblique != 0)) v.ang(t.oblique);
  if (v.opt(bit(3), v.notFirst(t.style, Tbl::Style))) v.idx(t.style, Tbl::Style, false);
  if (v.opt(bit(4), t.generation != 0)) v.rc(t.generation);
  if (v.opt(bit(5), t.halign != 0)) v.rc(t.halign);
  if (v.opt(bit(6), t.align != Vec3{})) v.pz(t.align);
  if (v.opt(bit(7), t.normal != Vec3{0, 0, 1})) v.p3(t.normal);
  if (v.opt(bit(8), valign != 0)) v.rc(valign);
}

template <class V>
void body(V& v, Text& e) {
  v.pz(e.insert);
  v.rd(e.height);
  const bool old = !v.ctx().at(Ver::V2_10);  // no option word: the slant is always there
  if (old) v.ang(e.oblique);
  v.tv(e.text);
  if (!old) textOptions(v, e, e.valign, 0);
  if constexpr (V::kReading)
    if (!(v.ctx().opts & 8)) e.style = v.nameOf(Tbl::Style, 0, false);
}

template <class V>
void body(V& v, AttDef& e) {
  v.pz(e.insert);
  v.rd(e.height);
  v.tv(e.text);
  v.tv(e.prompt);
  v.tv(e.tag);
  v.rc(e.flags);
  textOptions(v, e, e.valign, 1);
  if constexpr (V::kReading)
    if (!(v.ctx().opts & 16)) e.style = v.nameOf(Tbl::Style, 0, false);
}

template <class V>
void body(V& v, AttribData& e) {
  v.pz(e.insert);
  v.rd(e.height);
  v.tv(e.text);
  v.tv(e.tag);
  v.rc(e.flags);
  textOptions(v, e, e.valign, 1);
  if constexpr (V::kReading)
    if (!(v.ctx().opts & 16)) e.style = v.nameOf(Tbl::Style, 0, false);
}

template <class V>
void body(V& v, BlockBegin& e) {
  v.pz(e.base);
  if (!v.ctx().at(Ver::V2_10)) return;
  if (v.opt(2, !e.xref.empty())) v.tv(e.xref);
  if (v.opt(4, !e.name.empty())) v.tv(e.name);
}

template <class V>
void body(V& v, Insert& e) {
  v.idx(e.block, Tbl::Block, true);
  v.pz(e.insert);
  if (v.opt(1, e.sx != 1)) v.rd(e.sx);
  if (v.opt(2, e.sy != 1)) v.rd(e.sy);
  if (v.opt(4, e.rotation != 0)) v.ang(e.rotation);
  if (v.opt(8, e.sz != 1)) v.rd(e.sz);
  if (v.opt(16, e.columns != 1)) v.rs(e.columns);
  if (v.opt(32, e.rows != 1)) v.rs(e.rows);
  if (v.opt(64, e.columnSpacing != 0)) v.rd(e.columnSpacing);
  if (v.opt(128, e.rowSpacing != 0)) v.rd(e.rowSpacing);
  if (v.opt(256, e.normal != Vec3{0, 0, 1})) v.p3(e.normal);
}

template <class V>
void body(V& v, Polyline& e) {
  if (v.opt(1, e.flags != 0)) v.rc(e.flags);
  if (v.opt(2, e.startWidth != 0)) v.rd(e.startWidth);
  if (v.opt(4, e.endWidth != 0)) v.rd(e.endWidth);
  if (v.opt(8, e.normal != Vec3{0, 0, 1})) v.p3(e.normal);
  if (v.opt(16, e.m != 0)) v.rs(e.m);
  if (v.opt(32, e.n != 0)) v.rs(e.n);
  if (v.opt(64, e.mDensity != 0)) v.rs(e.mDensity);
  if (v.opt(128, e.nDensity != 0)) v.rs(e.nDensity);
  if (v.opt(256, e.smooth != 0)) v.rs(e.smooth);
  if constexpr (V::kReading) e.elevation = {0, 0, v.ctx().hasElev ? v.ctx().elev : 0};
}

inline bool faceRecord(const VertexData& d) { return (d.flags & 128) && !(d.flags & 64); }

template <class V>
void body(V& v, VertexData& e) {
  if (!v.opt(0x4000, faceRecord(e))) v.pz(e.location);
  if (v.opt(1, e.startWidth != 0)) v.rd(e.startWidth);
  if (v.opt(2, e.endWidth != 0)) v.rd(e.endWidth);
  if (v.opt(4, e.bulge != 0)) v.rd(e.bulge);
  if (v.opt(8, e.flags != 0)) v.rc(e.flags);
  if (v.opt(16, e.tangent != 0)) v.ang(e.tangent);
  for (int i = 0; i < 4; ++i)
    if (v.opt(static_cast<std::uint16_t>(32 << i), e.index[i] != 0)) v.rs(e.index[i]);
}

template <class V>
void body(V& v, Dimension& e) {
  Ctx& c = v.ctx();
  const bool r10 = c.at(Ver::V10);
  auto pt = [&](Vec3& p, bool flat) {
    if (r10 && !flat) v.p3(p);
    else v.pz(p);
  };
  v.idx(e.block, Tbl::Block, true);
  pt(e.defPoint, false);
  v.pz(e.textMid);
  if (v.opt(1, e.clonePoint != Vec3{})) v.pz(e.clonePoint);
  if (v.opt(2, e.type != 0)) v.rc(e.type);
  if (v.opt(4, !e.text.empty())) v.tv(e.text);
  const int k = e.kind();
  const bool two = k == 0 || k == 1 || k == 2 || k == 5 || k == 6;
  if (v.opt(8, two && e.p13 != Vec3{})) pt(e.p13, false);
  if (v.opt(16, two && e.p14 != Vec3{})) pt(e.p14, false);
  if (v.opt(32, (k >= 2 && k <= 5) && e.p15 != Vec3{})) pt(e.p15, k == 3 && c.flat());
  if (v.opt(64, k == 2 && e.p16 != Vec3{})) v.pz(e.p16);
  if (v.opt(128, (k == 3 || k == 4) && e.leaderLength != 0)) v.rd(e.leaderLength);
  if (v.opt(0x100, k <= 1 && e.angle != 0)) v.ang(e.angle);
  if (v.opt(0x200, k == 0 && e.oblique != 0)) v.ang(e.oblique);
  if (v.opt(0x400, e.textRotation != 0)) v.ang(e.textRotation);
  if (v.opt(0x4000, e.normal != Vec3{0, 0, 1})) v.p3(e.normal);
  if (v.opt(0x8000, v.notFirst(e.style, Tbl::DimStyle))) v.idx(e.style, Tbl::DimStyle, true);
  if constexpr (V::kReading)
    if (!(c.opts & 0x8000)) e.style = v.nameOf(Tbl::DimStyle, 0, true);
}

template <class V>
void body(V& v, Viewport& e) {
  v.p3(e.center);
  v.rd(e.width);
  v.rd(e.height);
  v.rs(e.id);
}

}  // namespace kelvaro::cad::dwg12
