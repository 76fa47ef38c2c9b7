#pragma once
// The DWG stream of each entity the model holds, declared once in file order. ObjIn and ObjOut
// run the same description; handles go to the handle stream after the common ones.
#include "cadkit/document.h"
#include "cadkit/dwg/codec.h"

namespace kelvaro::cad::dwg {


// Text, attribute and attribute definition share this part.
template <class V>
void textBody(V& v, TextBase& t, std::int16_t& valign) {
  if (v.until(Release::R14)) {
    v.BD(t.insert.z);
    v.RD2(t.insert);
    v.RD2(t.align);
    v.BD3(t.normal);
    v.BD(t.thickness);
    v.angleBD(t.oblique);
    v.angleBD(t.rotation);
    v.BD(t.height);
    v.BD(t.widthFactor);
    v.T(t.text);
    v.BS(t.generation);
    v.BS(t.halign);
    v.BS(valign);
    if (v.reading()) t.align.z = t.insert.z;
    return;
  }
  // Since 2000 a flag byte leaves out the values at their defaults.
  std::uint8_t flags = 0;
  if (!v.reading()) {
    if (t.insert.z == 0) flags |= 0x01;
    if (t.align.x == 0 && t.align.y == 0 && t.halign == 0 && valign == 0) flags |= 0x02;
    if (t.oblique == 0) flags |= 0x04;
    if (t.rotation == 0) flags |= 0x08;
    if (t.widthFactor == 1) flags |= 0x10;
    if (t.generation == 0) flags |= 0x20;
    if (t.halign == 0) flags |= 0x40;
    if (valign == 0) flags |= 0x80;
  }
  v.RC(flags);
  if (!(flags & 0x01)) v.RD(t.insert.z);
  v.RD2(t.insert);
  Vec2 align{t.align.x, t.align.y};
  if (!(flags & 0x02)) v.DD2(align, {t.insert.x, t.insert.y});
  v.BE(t.normal);
  v.BT(t.thickness);
  if (!(flags & 0x04)) v.angleRD(t.oblique);
  if (!(flags & 0x08)) v.angleRD(t.rotation);
  v.RD(t.height);
  if (!(flags & 0x10)) v.RD(t.widthFactor);
  v.T(t.text);
  if (!(flags & 0x20)) v.BS(t.generation);
  if (!(flags & 0x40)) v.BS(t.halign);
  if (!(flags & 0x80)) v.BS(valign);
  if (v.reading()) {
    if (flags & 0x01) t.insert.z = 0;
    if (flags & 0x02) align = {};
    if (flags & 0x04) t.oblique = 0;
    if (flags & 0x08) t.rotation = 0;
    if (flags & 0x10) t.widthFactor = 1;
    if (flags & 0x20) t.generation = 0;
    if (flags & 0x40) t.halign = 0;
    if (flags & 0x80) valign = 0;
    t.align = {align.x, align.y, t.insert.z};
  }
}

template <class V> void dwgBody(V& v, Text& e, Links&) {
  textBody(v, e, e.valign);
  v.nameRef(Names::Style, e.style);
}

// Attribute fields after the text: a version byte since 2010, the kind since 2018 (multi-line
// attributes embed an MTEXT the model does not keep: their data stops there), the lock flag
// since 2007 and a duplicate-record flag since 2010.
template <class V> bool attribHead(V& v) {
  std::uint8_t version = 0, kind = 1;
  v.RC(version, {.since = Release::R2010});
  v.RC(kind, {.since = Release::R2018});
  if (kind > 1) {
    if constexpr (V::kReading) v.data().fail();
    return false;
  }
  return true;
}
template <class V> void attribTail(V& v) {
  bool locked = false;
  std::uint8_t duplicates = 0;
  v.B(locked, {.since = Release::R2007});
  v.RC(duplicates, {.since = Release::R2010});
}

template <class V> void dwgBody(V& v, AttribData& e, Links&) {
  textBody(v, e, e.valign);
  if (!attribHead(v)) return;
  v.T(e.tag);
  v.BS(e.fieldLength);
  v.RC(e.flags);
  attribTail(v);
  v.nameRef(Names::Style, e.style);
}

template <class V> void dwgBody(V& v, AttDef& e, Links&) {
  textBody(v, e, e.valign);
  if (!attribHead(v)) return;
  v.T(e.tag);
  v.BS(e.fieldLength);
  v.RC(e.flags);
  attribTail(v);
  v.T(e.prompt);
  v.nameRef(Names::Style, e.style);
}

template <class V> void dwgBody(V& v, Line& e, Links&) {
  if (v.until(Release::R14)) {
    v.BD3(e.start);
    v.BD3(e.end);
  } else {
    bool zZero = e.start.z == 0 && e.end.z == 0;
    v.B(zZero);
    v.RD(e.start.x);
    v.DD(e.end.x, e.start.x);
    v.RD(e.start.y);
    v.DD(e.end.y, e.start.y);
    if (!zZero) {
      v.RD(e.start.z);
      v.DD(e.end.z, e.start.z);
    } else if (v.reading()) {
      e.start.z = e.end.z = 0;
    }
  }
  v.BT(e.thickness);
  v.BE(e.normal);
}

template <class V> void dwgBody(V& v, Point& e, Links&) {
  v.BD3(e.location);
  v.BT(e.thickness);
  v.BE(e.normal);
  v.angleBD(e.xAxisAngle);
}

template <class V> void dwgBody(V& v, Circle& e, Links&) {
  v.BD3(e.center);
  v.BD(e.radius);
  v.BT(e.thickness);
  v.BE(e.normal);
}

template <class V> void dwgBody(V& v, Arc& e, Links&) {
  v.BD3(e.center);
  v.BD(e.radius);
  v.BT(e.thickness);
  v.BE(e.normal);
  v.angleBD(e.startAngle);
  v.angleBD(e.endAngle);
}

template <class V> void dwgBody(V& v, Ellipse& e, Links&) {
  v.BD3(e.center);
  v.BD3(e.majorAxis);
  v.BD3(e.normal);
  v.BD(e.ratio);
  v.BD(e.startParam);
  v.BD(e.endParam);
}

template <class V, const char* N, const char* S> void dwgBody(V& v, InfiniteLine<N, S>& e, Links&) {
  v.BD3(e.start);
  v.BD3(e.direction);
}

template <class V, const char* N> void dwgBody(V& v, Quad<N>& e, Links&) {
  v.BT(e.thickness);
  double elevation = e.p[0].z;
  v.BD(elevation);
  for (auto& p : e.p) {
    v.RD2(p);
    if (v.reading()) p.z = elevation;
  }
  v.BE(e.normal);
}

template <class V> void dwgBody(V& v, Face3d& e, Links&) {
  if (v.until(Release::R14)) {
    for (auto& p : e.p) v.BD3(p);
    v.BS(e.invisibleEdges);
    return;
  }
  bool noFlags = e.invisibleEdges == 0;
  bool zZero = e.p[0].z == 0;
  v.B(noFlags);
  v.B(zZero);
  v.RD(e.p[0].x);
  v.RD(e.p[0].y);
  if (!zZero) v.RD(e.p[0].z);
  else if (v.reading()) e.p[0].z = 0;
  for (int i = 1; i < 4; ++i) {
    v.DD(e.p[i].x, e.p[i - 1].x);
    v.DD(e.p[i].y, e.p[i - 1].y);
    v.DD(e.p[i].z, e.p[i - 1].z);
  }
  if (!noFlags) v.BS(e.invisibleEdges);
  else if (v.reading()) e.invisibleEdges = 0;
}

template <class V> void dwgBody(V& v, LwPolyline& e, Links&) {
  // Bits: 512 closed, 256 linetype generation, 4 width, 8 elevation, 2 thickness,
  // 1 extrusion, 16 bulges, 32 widths.
  std::int16_t f = 0;
  bool bulges = false, widths = false;
  if (!v.reading()) {
    if (e.flags & 1) f |= 512;
    if (e.flags & 128) f |= 256;
    if (e.constWidth != 0) f |= 4;
    if (e.elevation != 0) f |= 8;
    if (e.thickness != 0) f |= 2;
    if (!(e.normal == Vec3{0, 0, 1})) f |= 1;
    for (const auto& p : e.vertices) {
      bulges |= p.bulge != 0;
      widths |= p.startWidth != 0 || p.endWidth != 0;
    }
    if (bulges) f |= 16;
    if (widths) f |= 32;
  }
  v.BS(f);
  if (f & 4) v.BD(e.constWidth);
  if (f & 8) v.BD(e.elevation);
  if (f & 2) v.BD(e.thickness);
  if (f & 1) v.BD3(e.normal);
  std::int32_t n = static_cast<std::int32_t>(e.vertices.size());
  std::int32_t nb = bulges ? n : 0, nw = widths ? n : 0, nid = 0;
  v.BL(n);
  if (f & 16) v.BL(nb);
  if (v.since(Release::R2010) && (f & 1024)) v.BL(nid);
  if (f & 32) v.BL(nw);
  v.resize(e.vertices, n, 2);
  for (std::size_t i = 0; i < e.vertices.size(); ++i) {
    Vec2& p = e.vertices[i].p;
    if (v.until(Release::R14) || i == 0) v.RD2(p);
    else v.DD2(p, e.vertices[i - 1].p);
  }
  for (std::int32_t i = 0; i < nb; ++i) {
    double b = 0;
    if (static_cast<std::size_t>(i) < e.vertices.size()) b = e.vertices[i].bulge;
    v.BD(b);
    if (v.reading() && static_cast<std::size_t>(i) < e.vertices.size()) e.vertices[i].bulge = b;
    if (!v.ok()) break;
  }
  for (std::int32_t i = 0; i < nid; ++i) {
    std::int32_t id = 0;
    v.BL(id);
    if (!v.ok()) break;
  }
  for (std::int32_t i = 0; i < nw; ++i) {
    double s = 0, w = 0;
    if (static_cast<std::size_t>(i) < e.vertices.size()) s = e.vertices[i].startWidth, w = e.vertices[i].endWidth;
    v.BD(s);
    v.BD(w);
    if (v.reading() && static_cast<std::size_t>(i) < e.vertices.size())
      e.vertices[i].startWidth = s, e.vertices[i].endWidth = w;
    if (!v.ok()) break;
  }
  if (v.reading()) {
    e.flags = static_cast<std::int16_t>(((f & 512) ? 1 : 0) | ((f & 256) ? 128 : 0));
    if (!(f & 1)) e.normal = {0, 0, 1};
  }
}

// Vertices and attributes: linked first to last until 2000, listed (n of them) since 2004.
template <class V> void ownedHandles(V& v, Links& l, std::int32_t n) {
  if (v.until(Release::R2000)) {
    v.H(l.first, 4);
    v.H(l.last, 4);
  } else {
    v.resizeH(l.owned, n);
    for (auto& h : l.owned) v.H(h, 4);
  }
  v.H(l.seqend, 3);
}

template <class V> void owners(V& v, Links& l, bool present) {
  std::int32_t n = static_cast<std::int32_t>(l.owned.size());
  if (v.since(Release::R2004) && present) v.BL(n);
  if (present) ownedHandles(v, l, n);
}

// The heavy polyline kinds have their own type numbers and layouts.
template <class V> void polylineBody(V& v, Polyline& e, Links& l, int kind) {
  switch (kind) {
    case 15: {  // 2D
      std::int16_t flags = e.flags, curve = e.smooth;
      v.BS(flags);
      v.BS(curve);
      v.BD(e.startWidth);
      v.BD(e.endWidth);
      v.BT(e.thickness);
      v.BD(e.elevation.z);
      v.BE(e.normal);
      if (v.reading()) e.flags = flags, e.smooth = curve;
      break;
    }
    case 16: {  // 3D
      std::uint8_t curve = static_cast<std::uint8_t>(e.smooth), closed = static_cast<std::uint8_t>(e.flags & 1);
      v.RC(curve);
      v.RC(closed);
      if (v.reading()) e.smooth = curve, e.flags = static_cast<std::int16_t>(8 | (closed & 1));
      break;
    }
    case 29:  // polyface mesh: vertex and face counts
      v.BS(e.m);
      v.BS(e.n);
      if (v.reading()) e.flags = 64;
      break;
    default: {  // 30: polygon mesh
      std::int16_t flags = e.flags, curve = e.smooth;
      v.BS(flags);
      v.BS(curve);
      v.BS(e.m);
      v.BS(e.n);
      v.BS(e.mDensity);
      v.BS(e.nDensity);
      if (v.reading()) e.flags = static_cast<std::int16_t>(flags | 16), e.smooth = curve;
    }
  }
  owners(v, l, true);
}

// Vertex kinds: 10 2D, 11 3D, 12 mesh, 13 polyface point, 14 polyface face.
template <class V> void vertexBody(V& v, VertexData& e, int kind) {
  if (kind == 14) {
    for (auto& i : e.index) v.BS(i);
    if (v.reading()) e.flags = 128;
    return;
  }
  std::uint8_t flags = static_cast<std::uint8_t>(e.flags);
  v.RC(flags);
  v.BD3(e.location);
  if (kind == 10) {
    // A negative start width stands for equal start and end widths.
    double start = e.startWidth;
    bool same = e.startWidth == e.endWidth && e.startWidth != 0;
    if (!v.reading() && same) start = -e.startWidth;
    v.BD(start);
    if (v.reading()) {
      if (start < 0) e.startWidth = e.endWidth = -start;
      else e.startWidth = start;
    }
    if (start >= 0) v.BD(e.endWidth);
    v.BD(e.bulge);
    if (v.since(Release::R2010)) {
      std::int32_t id = 0;
      v.BL(id);
    }
    v.angleBD(e.tangent);
  }
  if (v.reading()) {
    e.flags = flags;
    if (kind == 11) e.flags |= 32;
    if (kind == 12) e.flags |= 64;
    if (kind == 13) e.flags |= 192;
  }
}

template <class V> void insertBody(V& v, Insert& e, Links& l, bool minsert) {
  v.BD3(e.insert);
  if (v.until(Release::R14)) {
    v.BD(e.sx);
    v.BD(e.sy);
    v.BD(e.sz);
  } else {
    std::uint8_t s = 0;
    if (!v.reading()) {
      if (e.sx == 1 && e.sy == 1 && e.sz == 1) s = 3;
      else if (e.sx == 1) s = 1;
      else if (e.sy == e.sx && e.sz == e.sx) s = 2;
    }
    v.BB(s);
    switch (s) {
      case 3:
        if (v.reading()) e.sx = e.sy = e.sz = 1;
        break;
      case 1:
        if (v.reading()) e.sx = 1;
        v.DD(e.sy, 1.0);
        v.DD(e.sz, 1.0);
        break;
      case 2:
        v.RD(e.sx);
        if (v.reading()) e.sy = e.sz = e.sx;
        break;
      default:
        v.RD(e.sx);
        v.DD(e.sy, e.sx);
        v.DD(e.sz, e.sx);
    }
  }
  v.angleBD(e.rotation);
  v.BD3(e.normal);
  l.hasAttribs = !e.attribs.empty();
  v.B(l.hasAttribs);
  std::int32_t n = static_cast<std::int32_t>(l.owned.size());
  if (v.since(Release::R2004) && l.hasAttribs) v.BL(n);
  if (minsert) {
    v.BS(e.columns);
    v.BS(e.rows);
    v.BD(e.columnSpacing);
    v.BD(e.rowSpacing);
  }
  v.nameRef(Names::Block, e.block);
  if (l.hasAttribs) ownedHandles(v, l, n);
}

// Dimension kinds by type number: 20 ordinate, 21 linear, 22 aligned, 23 3-point angular,
// 24 2-line angular, 25 radius, 26 diameter.
template <class V> void dimensionBody(V& v, Dimension& e, int kind) {
  std::uint8_t version = 0;
  v.RC(version, {.since = Release::R2010});
  v.BD3(e.normal);
  Vec2 mid{e.textMid.x, e.textMid.y};
  v.RD2(mid);
  double elevation = e.textMid.z;
  v.BD(elevation);
  // Bit 0: text at its default place (inverse of 128), bit 1: block in use (32).
  std::uint8_t f = 0;
  if (!v.reading()) f = static_cast<std::uint8_t>(((e.type & 128) ? 0 : 1) | ((e.type & 32) ? 2 : 0));
  v.RC(f);
  v.T(e.text);
  v.angleBD(e.textRotation);
  v.angleBD(e.horizontalDir);
  Vec3 insScale{1, 1, 1};
  double insRotation = 0;
  v.BD3(insScale);
  v.BD(insRotation);
  v.BS(e.attachment, kR2000);
  v.BS(e.spacingStyle, kR2000);
  v.BD(e.spacingFactor, kR2000);
  v.BD(e.measurement, kR2000);
  if (v.since(Release::R2007)) {
    bool unknown = false, flip1 = false, flip2 = false;
    v.B(unknown);
    v.B(flip1);
    v.B(flip2);
  }
  Vec2 clone{e.clonePoint.x, e.clonePoint.y};
  v.RD2(clone);
  std::uint8_t f2 = (e.type & 64) ? 1 : 0;
  switch (kind) {
    case 20:
      v.BD3(e.defPoint);
      v.BD3(e.p13);
      v.BD3(e.p14);
      v.RC(f2);
      break;
    case 21:
      v.BD3(e.p13);
      v.BD3(e.p14);
      v.BD3(e.defPoint);
      v.angleBD(e.oblique);
      v.angleBD(e.angle);
      break;
    case 22:
      v.BD3(e.p13);
      v.BD3(e.p14);
      v.BD3(e.defPoint);
      v.angleBD(e.oblique);
      break;
    case 23:
      v.BD3(e.defPoint);
      v.BD3(e.p13);
      v.BD3(e.p14);
      v.BD3(e.p15);
      break;
    case 24: {
      Vec2 p16{e.p16.x, e.p16.y};
      v.RD2(p16);
      v.BD3(e.p13);
      v.BD3(e.p14);
      v.BD3(e.p15);
      v.BD3(e.defPoint);
      if (v.reading()) e.p16 = {p16.x, p16.y, 0};
      break;
    }
    case 25:
      v.BD3(e.defPoint);
      v.BD3(e.p15);
      v.BD(e.leaderLength);
      break;
    default:
      v.BD3(e.p15);
      v.BD3(e.defPoint);
      v.BD(e.leaderLength);
  }
  if (v.reading()) {
    static constexpr std::int16_t kinds[] = {6, 0, 1, 5, 2, 4, 3};
    e.type = static_cast<std::int16_t>(kinds[kind - 20] | ((f & 1) ? 0 : 128) | ((f & 2) ? 32 : 0) |
                                       (kind == 20 && (f2 & 1) ? 64 : 0));
    e.textMid = {mid.x, mid.y, elevation};
    e.clonePoint = {clone.x, clone.y, 0};
  }
  v.nameRef(Names::DimStyle, e.style);
  v.nameRef(Names::Block, e.block);
}

template <class V> void mtextColumns(V& v) {
  bool notAnnotative = false;
  v.B(notAnnotative);
  if (!notAnnotative) return;
  std::int16_t version = 4, type = 0;
  bool dflt = true, autoHeight = false, reversed = false;
  std::int32_t attachment = 0, count = 0;
  Vec3 x, ins;
  double w = 0, h = 0, ew = 0, eh = 0, colWidth = 0, gutter = 0;
  Handle app;
  v.BS(version);
  v.B(dflt);
  v.H(app, 5);
  v.BL(attachment);
  v.BD3(x);
  v.BD3(ins);
  v.BD(w);
  v.BD(h);
  v.BD(ew);
  v.BD(eh);
  v.BS(type);
  if (!type) return;
  v.BL(count);
  v.BD(colWidth);
  v.BD(gutter);
  v.B(autoHeight);
  v.B(reversed);
  if (type == 2 && !autoHeight) {
    std::vector<double> heights;
    v.resize(heights, count, 2);
    for (double& d : heights) v.BD(d);
  }
}

template <class V> void dwgBody(V& v, MText& e, Links&) {
  v.BD3(e.insert);
  v.BD3(e.normal);
  v.BD3(e.xDirection);
  v.BD(e.refWidth);
  double rectHeight = 0;
  v.BD(rectHeight, {.since = Release::R2007});
  v.BD(e.height);
  v.BS(e.attachment);
  v.BS(e.direction);
  double extH = 0, extW = 0;
  v.BD(extH);
  v.BD(extW);
  v.T(e.text);
  v.BS(e.spacingStyle, kR2000);
  v.BD(e.spacingFactor, kR2000);
  bool unknown = false;
  v.B(unknown, kR2000);
  // Background fill since 2004, column data of annotative text since 2018; the model keeps
  // neither.
  std::int32_t fill = 0;
  v.BL(fill, {.since = Release::R2004});
  if (fill & 1) {
    std::int32_t transparency = 0;
    std::int16_t color = 0;
    double scale = 1.5;
    v.BD(scale);
    v.CMC(color);
    v.BL(transparency);
  }
  v.nameRef(Names::Style, e.style);
  if (v.since(Release::R2018)) mtextColumns(v);
  if (v.reading()) e.rotation = 0;  // the direction vector carries it
}

template <class V> void dwgBody(V& v, Spline& e, Links&) {
  // Scenario 1: control points; 2: fit points.
  std::int32_t scenario = e.fit.empty() || !e.control.empty() ? 1 : 2;
  v.BL(scenario);
  if (v.since(Release::R2013)) {
    // Since 2013 the spline flags and knot parameterisation decide the layout.
    std::int32_t flags = scenario == 2 ? 1 : 0, knots = scenario == 1 ? 15 : 0;
    v.BL(flags);
    v.BL(knots);
    if (flags & 1) scenario = 2;
    if (knots == 15) scenario = 1;
  }
  std::int32_t degree = e.degree;
  v.BL(degree);
  if (v.reading()) e.degree = static_cast<std::int16_t>(degree);
  if (scenario == 2) {
    v.BD(e.fitTol);
    v.BD3(e.startTangent);
    v.BD3(e.endTangent);
    std::int32_t n = static_cast<std::int32_t>(e.fit.size());
    v.BL(n);
    v.resize(e.fit, n, 6);
    for (auto& p : e.fit) v.BD3(p);
    if (v.reading()) e.flags = 8;
    return;
  }
  bool rational = e.flags & 4, closed = e.flags & 1, periodic = e.flags & 2;
  v.B(rational);
  v.B(closed);
  v.B(periodic);
  v.BD(e.knotTol);
  v.BD(e.ctrlTol);
  std::int32_t nk = static_cast<std::int32_t>(e.knots.size()), nc = static_cast<std::int32_t>(e.control.size());
  v.BL(nk);
  v.BL(nc);
  bool weighted = !e.weights.empty();
  v.B(weighted);
  v.resize(e.knots, nk, 2);
  for (double& k : e.knots) v.BD(k);
  v.resize(e.control, nc, 6);
  if (weighted) v.resize(e.weights, nc, 2);
  for (std::size_t i = 0; i < e.control.size(); ++i) {
    v.BD3(e.control[i]);
    if (weighted && i < e.weights.size()) v.BD(e.weights[i]);
    if (!v.ok()) break;
  }
  if (v.reading()) {
    e.flags = static_cast<std::int16_t>((closed ? 1 : 0) | (periodic ? 2 : 0) | (rational ? 4 : 0) |
                                        (e.normal == Vec3{0, 0, 1} ? 8 : 0));
  }
}

template <class V> void dwgBody(V& v, Leader& e, Links&) {
  bool unknown = false;
  v.B(unknown);
  v.BS(e.creation);
  v.BS(e.pathType);
  std::int32_t n = static_cast<std::int32_t>(e.vertices.size());
  v.BL(n);
  v.resize(e.vertices, n, 6);
  for (auto& p : e.vertices) v.BD3(p);
  Vec3 origin = e.vertices.empty() ? Vec3{} : e.vertices.front();
  v.BD3(origin);
  v.BD3(e.normal);
  v.BD3(e.horizontal);
  v.BD3(e.blockOffset);
  v.BD3(e.annotationOffset);  // end point projection
  double dimgap = 0;
  v.BD(dimgap, kUntilR14);
  v.BD(e.textHeight);
  v.BD(e.textWidth);
  bool hookDir = e.hookDir != 0, arrow = e.arrowhead != 0;
  v.B(hookDir);
  v.B(arrow);
  std::int16_t arrowType = 0, s1 = 0, byblock = 0;
  bool b = false;
  double dimasz = 0;
  if (v.until(Release::R14)) {
    v.BS(arrowType);
    v.BD(dimasz);
    v.B(b);
    v.B(b);
    v.BS(s1);
    v.BS(byblock);
    v.B(b);
    v.B(b);
  } else {
    v.BS(arrowType);
    v.B(b);
    v.B(b);
  }
  v.H(e.annotation, 2);
  v.nameRef(Names::DimStyle, e.style);
  if (v.reading()) {
    e.hookDir = hookDir;
    e.arrowhead = arrow;
    e.hook = hookDir ? 1 : 0;
  }
}

template <class V> void dwgBody(V& v, MLine& e, Links&) {
  v.BD(e.scale);
  v.RC(e.justification);
  v.BD3(e.start);
  v.BD3(e.normal);
  v.BS(e.flags);
  std::uint8_t lines = static_cast<std::uint8_t>(e.styleElements);
  v.RC(lines);
  std::int16_t n = static_cast<std::int16_t>(e.vertices.size());
  v.BS(n);
  v.resize(e.vertices, n, 18);
  for (auto& vx : e.vertices) {
    v.BD3(vx.location);
    v.BD3(vx.direction);
    v.BD3(vx.miter);
    // Every vertex holds one element per line of the style, whatever the model holds.
    if (v.reading()) v.resize(vx.elements, lines, 4);
    else if (vx.elements.size() != lines) vx.elements.resize(lines);
    for (auto& el : vx.elements) {
      std::int16_t np = static_cast<std::int16_t>(el.params.size());
      v.BS(np);
      v.resize(el.params, np, 2);
      for (double& p : el.params) v.BD(p);
      std::int16_t nf = static_cast<std::int16_t>(el.fill.size());
      v.BS(nf);
      v.resize(el.fill, nf, 2);
      for (double& p : el.fill) v.BD(p);
      if (!v.ok()) return;
    }
  }
  if (v.reading()) e.styleElements = lines;
  // One reference to the style: the model keeps both its handle and its name.
  if constexpr (V::kReading) {
    v.H(e.styleHandle, 5);
    e.style = v.ctx().names.name(Names::MLineStyle, e.styleHandle.v);
  } else {
    Handle h{v.ctx().names.handle(Names::MLineStyle, e.style)};
    if (!h) h = e.styleHandle;
    v.H(h, 5);
  }
}

// Lighting of views and viewports since 2007; the model does not keep it.
template <class V> void lighting(V& v) {
  bool defaultLights = true;
  std::uint8_t type = 1;
  double brightness = 0, contrast = 0;
  std::int16_t ambient = 250;
  v.B(defaultLights);
  v.RC(type);
  v.BD(brightness);
  v.BD(contrast);
  v.CMC(ambient);
}

template <class V> void dwgBody(V& v, Viewport& e, Links&) {
  v.BD3(e.center);
  v.BD(e.width);
  v.BD(e.height);
  if (v.until(Release::R14)) {
    Handle vx;
    v.H(vx, 5);
    return;
  }
  v.BD3(e.viewTarget);
  v.BD3(e.viewDirection);
  v.angleBD(e.twist);
  v.BD(e.viewHeight);
  v.BD(e.lens);
  v.BD(e.frontClip);
  v.BD(e.backClip);
  v.angleBD(e.snapAngle);
  v.RD2(e.viewCenter);
  v.RD2(e.snapBase);
  v.RD2(e.snapSpacing);
  v.RD2(e.gridSpacing);
  v.BS(e.circleZoom);
  std::int16_t gridMajor = 5;
  v.BS(gridMajor, {.since = Release::R2007});
  std::int32_t frozen = static_cast<std::int32_t>(e.frozenLayers.size());
  v.BL(frozen);
  v.BL(e.flags);
  std::string styleSheet;
  v.T(styleSheet);
  std::uint8_t render = 0;
  v.RC(render);
  bool atOrigin = true, perViewport = false;
  v.B(atOrigin);
  v.B(perViewport);
  Vec3 org, ux{1, 0, 0}, uy{0, 1, 0};
  v.BD3(org);
  v.BD3(ux);
  v.BD3(uy);
  double elev = 0;
  v.BD(elev);
  std::int16_t ortho = 0, shadePlot = 0;
  v.BS(ortho);
  v.BS(shadePlot, {.since = Release::R2004});
  if (v.since(Release::R2007)) lighting(v);
  v.resizeH(e.frozenLayers, frozen);
  for (auto& h : e.frozenLayers) v.H(h, v.since(Release::R2004) ? 4 : 5);
  Handle clip, vx, named, base, background, visualStyle, shadePlotH, sun;
  v.H(clip, 5);
  if (v.until(Release::R2000)) v.H(vx, 5);
  v.H(named, 5);
  v.H(base, 5);
  if (v.since(Release::R2007)) {
    v.H(background, 4);
    v.H(visualStyle, 5);
    v.H(shadePlotH, 4);
    v.H(sun, 3);
  }
}

template <class V> void dwgBody(V& v, Image& e, Links&) {
  v.BL(e.version);
  v.BD3(e.insert);
  v.BD3(e.u);
  v.BD3(e.v);
  v.RD2(e.size);
  v.BS(e.display);
  v.B(e.clipping);
  v.RC(e.brightness);
  v.RC(e.contrast);
  v.RC(e.fade);
  bool clipInside = false;
  v.B(clipInside, {.since = Release::R2010});
  v.BS(e.clipType);
  if (e.clipType == 1) {
    v.resize(e.clip, 2, 128);
    for (auto& p : e.clip) v.RD2(p);
  } else {
    std::int32_t n = static_cast<std::int32_t>(e.clip.size());
    v.BL(n);
    v.resize(e.clip, n, 128);
    for (auto& p : e.clip) v.RD2(p);
  }
  v.H(e.imageDef, 5);
  v.H(e.reactor, 3);
}

template <class V> void hatchEdge(V& v, HatchEdge& g) {
  std::uint8_t type = static_cast<std::uint8_t>(g.type);
  v.RC(type);
  if (v.reading()) g.type = type;
  switch (type) {
    case 1:
      v.RD2(g.p1);
      v.RD2(g.p2);
      break;
    case 2: {
      v.RD2(g.p1);
      v.BD(g.radius);
      v.angleBD(g.start);
      v.angleBD(g.end);
      bool ccw = g.ccw != 0;
      v.B(ccw);
      if (v.reading()) g.ccw = ccw;
      break;
    }
    case 3: {
      v.RD2(g.p1);
      v.RD2(g.p2);
      v.BD(g.radius);
      v.angleBD(g.start);
      v.angleBD(g.end);
      bool ccw = g.ccw != 0;
      v.B(ccw);
      if (v.reading()) g.ccw = ccw;
      break;
    }
    case 4: {
      v.BL(g.degree);
      bool rational = g.rational != 0, periodic = g.periodic != 0;
      v.B(rational);
      v.B(periodic);
      std::int32_t nk = static_cast<std::int32_t>(g.knots.size()), nc = static_cast<std::int32_t>(g.control.size());
      v.BL(nk);
      v.BL(nc);
      v.resize(g.knots, nk, 2);
      for (double& k : g.knots) v.BD(k);
      v.resize(g.control, nc, 128);
      if (rational) v.resize(g.weights, nc, 2);
      for (std::size_t i = 0; i < g.control.size(); ++i) {
        v.RD2(g.control[i]);
        if (rational && i < g.weights.size()) v.BD(g.weights[i]);
        if (!v.ok()) break;
      }
      if (v.reading()) g.rational = rational, g.periodic = periodic;
      if (v.since(Release::R2010)) {
        std::int32_t nf = static_cast<std::int32_t>(g.fit.size());
        v.BL(nf);
        if (nf) {
          v.resize(g.fit, nf, 128);
          for (auto& p : g.fit) v.RD2(p);
          v.RD2(g.startTangent);
          v.RD2(g.endTangent);
        }
      }
      break;
    }
    default:
      if constexpr (V::kReading) v.data().fail();  // an edge type that does not exist: the stream is lost
  }
}

template <class V> void gradient(V& v, Hatch& e) {
  std::int32_t n = static_cast<std::int32_t>(e.gradientColors.size());
  v.BL(e.gradient);
  v.BL(e.gradientReserved);
  v.BD(e.gradientAngle);  // radians, as DXF keeps it
  v.BD(e.gradientShift);
  v.BL(e.gradientSingle);
  v.BD(e.gradientTint);
  v.BL(n);
  v.resize(e.gradientColors, n, 4);
  for (auto& c : e.gradientColors) {
    v.BD(c.value);
    DwgColor col;
    col.index = c.aci;
    col.rgb = c.rgb ? 0xC2000000u | static_cast<std::uint32_t>(c.rgb & 0xFFFFFF) : 0;
    v.CMC(col);
    if (v.reading()) c.aci = col.index, c.rgb = (col.rgb >> 24) == 0xC2 ? static_cast<std::int32_t>(col.rgb & 0xFFFFFF) : 0;
    if (!v.ok()) return;
  }
  v.T(e.gradientName);
}

template <class V> void dwgBody(V& v, Hatch& e, Links&) {
  if (v.since(Release::R2004)) gradient(v, e);
  v.BD(e.elevation.z);
  v.BD3(e.normal);
  v.T(e.pattern);
  v.B(e.solid);
  v.B(e.associative);
  std::int32_t np = static_cast<std::int32_t>(e.paths.size());
  v.BL(np);
  v.resize(e.paths, np, 8);
  bool derived = false;
  for (auto& p : e.paths) {
    v.BL(p.flags);
    derived |= (p.flags & 4) != 0;
    if (!p.polyline()) {
      std::int32_t n = static_cast<std::int32_t>(p.edges.size());
      v.BL(n);
      v.resize(p.edges, n, 8);
      for (auto& g : p.edges) {
        hatchEdge(v, g);
        if (!v.ok()) return;
      }
    } else {
      bool bulges = p.hasBulge != 0, closed = p.closed != 0;
      v.B(bulges);
      v.B(closed);
      std::int32_t n = static_cast<std::int32_t>(p.vertices.size());
      v.BL(n);
      v.resize(p.vertices, n, 128);
      for (auto& hv : p.vertices) {
        v.RD2(hv.p);
        if (bulges) v.BD(hv.bulge);
      }
      if (v.reading()) p.hasBulge = bulges, p.closed = closed;
    }
    std::int32_t nh = static_cast<std::int32_t>(p.sources.size());
    v.BL(nh);
    v.resizeH(p.sources, nh);
    for (auto& h : p.sources) v.H(h, 4);
    if (!v.ok()) return;
  }
  v.BS(e.style);
  v.BS(e.patternType);
  if (!e.solid) {
    v.angleBD(e.angle);
    v.BD(e.scale);
    v.B(e.doubled);
    std::int16_t n = static_cast<std::int16_t>(e.lines.size());
    v.BS(n);
    v.resize(e.lines, n, 8);
    for (auto& pl : e.lines) {
      v.angleBD(pl.angle);
      v.BD2(pl.base);
      v.BD2(pl.offset);
      std::int16_t nd = static_cast<std::int16_t>(pl.dashes.size());
      v.BS(nd);
      v.resize(pl.dashes, nd, 2);
      for (double& d : pl.dashes) v.BD(d);
    }
  }
  if (derived) v.BD(e.pixelSize);
  std::int32_t ns = static_cast<std::int32_t>(e.seeds.size());
  v.BL(ns);
  v.resize(e.seeds, ns, 128);
  for (auto& s : e.seeds) v.RD2(s);
}

}  // namespace kelvaro::cad::dwg
