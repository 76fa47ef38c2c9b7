#pragma once
// The DWG streams of the symbol table records and of the non-graphical objects the model holds.
#include "cadkit/document.h"
#include "cadkit/dwg/desc_entities.h"
#include "cadkit/dwg/format.h"
#include "cadkit/utf8.h"

namespace kelvaro::cad::dwg {


// Name, reference flags and the handle of the external reference a record comes from.
// Since 2007 the two flag bits are gone; an index of 256 marks a record from an external reference.
template <class V, class Flags>
void tableCommon(V& v, std::string& name, Flags& flags) {
  v.T(name);
  if (v.until(Release::R2004)) v.flagB(flags, 64);
  std::int16_t xrefIndex = (!v.reading() && v.since(Release::R2007) && (flags & 16)) ? 256 : 0;
  v.BS(xrefIndex);
  if (v.until(Release::R2004)) v.flagB(flags, 16);
  else if (v.reading()) flags = static_cast<Flags>((flags & ~16) | (xrefIndex == 256 ? 16 : 0));
  Handle xref;
  v.H(xref, 5);
}

template <class V> void dwgRecord(V& v, Layer& r) {
  tableCommon(v, r.name, r.flags);
  bool off = r.color < 0;
  if (v.until(Release::R14)) {
    v.flagB(r.flags, 1);
    v.B(off);
    v.flagB(r.flags, 2);
    v.flagB(r.flags, 4);
  } else {
    std::int16_t bits = 0;
    if (!v.reading())
      bits = static_cast<std::int16_t>((r.flags & 1) | (off ? 2 : 0) | ((r.flags & 2) ? 4 : 0) |
                                       ((r.flags & 4) ? 8 : 0) | (r.plot ? 16 : 0) |
                                       (lineweightIndex(r.lineweight) << 5));
    v.BS(bits);
    if (v.reading()) {
      r.flags = static_cast<std::int16_t>((r.flags & ~7) | (bits & 1) | ((bits & 4) ? 2 : 0) | ((bits & 8) ? 4 : 0));
      off = (bits & 2) != 0;
      r.plot = (bits & 16) != 0;
      r.lineweight = lineweightFromIndex((bits >> 5) & 31);
    }
  }
  std::int16_t color = static_cast<std::int16_t>(r.color < 0 ? -r.color : r.color);
  v.CMC(color);
  if (v.reading()) {
    if (color < 0) off = true, color = static_cast<std::int16_t>(-color);
    r.color = off ? static_cast<std::int16_t>(-color) : color;
  }
  if (v.since(Release::R2000)) v.H(r.plotStyle, 5);
  Handle material, visualStyle;
  if (v.since(Release::R2007)) v.H(material, 5);
  v.nameRef(Names::Ltype, r.linetype, 5);
  if (v.since(Release::R2013)) v.H(visualStyle, 5);
}

template <class V> void dwgRecord(V& v, TextStyle& r) {
  tableCommon(v, r.name, r.flags);
  v.flagB(r.flags, 1);
  v.flagB(r.flags, 4);
  v.BD(r.fixedHeight);
  v.BD(r.widthFactor);
  v.angleBD(r.oblique);
  v.RC(r.generation);
  v.BD(r.lastHeight);
  v.T(r.font);
  v.T(r.bigFont);
}

template <class V> void dwgRecord(V& v, Linetype& r) {
  tableCommon(v, r.name, r.flags);
  v.T(r.description);
  v.BD(r.length);
  v.RC(r.alignment);
  std::uint8_t n = static_cast<std::uint8_t>(r.dashes.size());
  v.RC(n);
  v.resize(r.dashes, n, 8);
  // Dash texts sit in a fixed area after the dashes: 256 bytes until 2004; since 2007 512 bytes
  // of UTF-16, and only when a dash has a text.
  const bool wide = v.since(Release::R2007);
  std::vector<std::uint8_t> area(wide ? 512 : 256, 0);
  std::size_t used = 0;
  bool anyText = false;
  for (auto& d : r.dashes) {
    v.BD(d.length);
    v.BS(d.shape);
    v.RD(d.offset.x);
    v.RD(d.offset.y);
    v.BD(d.scale);
    v.BD(d.rotation);
    std::int16_t flags = d.complex;
    if (!v.reading() && !d.text.empty()) flags |= 2;
    v.BS(flags);
    if (v.reading()) d.complex = flags;
    anyText |= (flags & 2) != 0;
    if (!v.reading() && (flags & 2)) {
      if (wide) {
        // UTF-16 units, each closed by a zero unit.
        auto unit = [&](std::uint32_t u) {
          if (used + 2 > area.size()) return;
          area[used++] = static_cast<std::uint8_t>(u & 0xFF);
          area[used++] = static_cast<std::uint8_t>(u >> 8);
        };
        for (std::size_t i = 0; i < d.text.size() && used + 4 < area.size();) {
          char32_t c = utf8::next(d.text, i);
          if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
          } else {
            unit(static_cast<std::uint32_t>(c));
          }
        }
        unit(0);
      } else {
        for (char c : d.text)
          if (used < 255) area[used++] = static_cast<std::uint8_t>(c);
        if (used < 256) area[used++] = 0;
      }
    }
  }
  if (!wide || anyText) v.bytes(area, area.size());
  if (v.reading() && (!wide || anyText)) {
    for (auto& d : r.dashes) {
      if (!(d.complex & 2)) continue;
      std::string s;
      if (wide) {
        std::size_t end = used;
        while (end + 1 < area.size() && (area[end] || area[end + 1])) end += 2;
        BitReader u(std::span<const std::uint8_t>(area).subspan(used, end - used), Release::R2007);
        s = u.utf16((end - used) / 2);
        used = end + 2;
      } else {
        while (used < area.size() && area[used]) s += static_cast<char>(area[used++]);
        ++used;
      }
      d.text = s;
    }
  }
  for (auto& d : r.dashes) v.H(d.style, 5);
}

template <class V> void dwgRecord(V& v, View& r) {
  tableCommon(v, r.name, r.flags);
  v.BD(r.height);
  v.BD(r.width);
  v.RD2(r.center);
  v.BD3(r.target);
  v.BD3(r.direction);
  v.angleBD(r.twist);
  v.BD(r.lens);
  v.BD(r.frontClip);
  v.BD(r.backClip);
  for (int bit = 0; bit < 4; ++bit) v.flagB(r.viewMode, 1 << bit);
  std::uint8_t render = 0;
  v.RC(render, kR2000);
  if (v.since(Release::R2007)) {
    Handle background, visualStyle, sun;
    v.H(background, 4);
    v.H(visualStyle, 5);
    lighting(v);
    v.H(sun, 3);
  }
  v.flagB(r.flags, 1);  // paper space view
  if (v.since(Release::R2000)) {
    bool ucs = false;
    v.B(ucs);
    if (ucs) {
      Vec3 o, x{1, 0, 0}, y{0, 1, 0};
      double elev = 0;
      std::int16_t ortho = 0;
      v.BD3(o);
      v.BD3(x);
      v.BD3(y);
      v.BD(elev);
      v.BS(ortho);
      Handle base, named;
      v.H(base, 5);
      v.H(named, 5);
    }
  }
  if (v.since(Release::R2007)) {
    bool plottable = false;
    Handle liveSection;
    v.B(plottable);
    v.H(liveSection, 4);
  }
}

template <class V> void dwgRecord(V& v, Ucs& r) {
  tableCommon(v, r.name, r.flags);
  v.BD3(r.origin);
  v.BD3(r.xAxis);
  v.BD3(r.yAxis);
  if (v.since(Release::R2000)) {
    double elev = 0;
    std::int16_t ortho = 0, n = 0;
    v.BD(elev);
    v.BS(ortho);
    v.BS(n);
    std::vector<std::pair<std::int16_t, Vec3>> pts;
    v.resize(pts, n, 8);
    for (auto& p : pts) {
      v.BS(p.first);
      v.BD3(p.second);
    }
    Handle base, named;
    v.H(base, 5);
    v.H(named, 5);
  }
}

template <class V> void dwgRecord(V& v, Vport& r) {
  tableCommon(v, r.name, r.flags);
  v.BD(r.height);
  double width = r.height * r.aspect;
  v.BD(width);
  v.RD2(r.center);
  v.BD3(r.target);
  v.BD3(r.direction);
  v.angleBD(r.twist);
  v.BD(r.lens);
  v.BD(r.frontClip);
  v.BD(r.backClip);
  for (int bit = 0; bit < 4; ++bit) v.flagB(r.viewMode, 1 << bit);
  std::uint8_t render = 0;
  v.RC(render, kR2000);
  if (v.since(Release::R2007)) {
    Handle background, visualStyle, sun;
    v.H(background, 4);
    v.H(visualStyle, 5);
    v.H(sun, 3);
    lighting(v);
  }
  v.RD2(r.lowerLeft);
  v.RD2(r.upperRight);
  bool follow = (r.viewMode & 4) != 0;
  v.B(follow);
  v.BS(r.circleZoom);
  v.B(r.fastZoom);
  v.BB(r.ucsIcon);
  v.B(r.grid);
  v.RD2(r.gridSpacing);
  v.B(r.snap);
  v.B(r.snapStyle);
  v.BS(r.snapIsoPair);
  v.angleBD(r.snapAngle);
  v.RD2(r.snapBase);
  v.RD2(r.snapSpacing);
  if (v.since(Release::R2000)) {
    bool atOrigin = true, perVp = false;
    v.B(atOrigin);
    v.B(perVp);
    Vec3 o, x{1, 0, 0}, y{0, 1, 0};
    double elev = 0;
    std::int16_t ortho = 0;
    v.BD3(o);
    v.BD3(x);
    v.BD3(y);
    v.BD(elev);
    v.BS(ortho);
    if (v.since(Release::R2007)) {
      std::int16_t gridFlags = 0, gridMajor = 5;
      v.BS(gridFlags);
      v.BS(gridMajor);
    }
    Handle named, base;
    v.H(named, 5);
    v.H(base, 5);
  }
  if (v.reading()) r.aspect = r.height != 0 ? width / r.height : 1;
}

template <class V> void dwgRecord(V& v, AppId& r) {
  tableCommon(v, r.name, r.flags);
  std::uint8_t unknown = 0;
  v.RC(unknown);
}

template <class V> void dwgRecord(V& v, BlockRecord& r, BlockBegin& begin, Links& l, Handle& blockEnt,
                                  Handle& endEnt) {
  std::int32_t inserts = 0;
  tableCommon(v, r.name, r.flags);
  bool anonymous = begin.flags & 1, attribs = begin.flags & 2, xref = begin.flags & 4, overlay = begin.flags & 8,
       loaded = begin.flags & 32;
  v.B(anonymous);
  v.B(attribs);
  v.B(xref);
  v.B(overlay);
  v.B(loaded, kR2000);
  // Since 2004 a block lists its entities instead of linking the first to the last.
  std::int32_t owned = static_cast<std::int32_t>(l.owned.size());
  if (v.since(Release::R2004) && !xref && !overlay) v.BL(owned);
  v.BD3(begin.base);
  v.T(begin.xref);
  if (v.since(Release::R2000)) {
    // Block references listed by the record; rebuilt from the drawing when written.
    // A byte per reference, closed by a zero byte.
    std::uint8_t more = 0;
    if (v.reading()) {
      for (;;) {
        v.RC(more);
        if (!more || !v.ok()) break;
        ++inserts;
      }
    } else {
      v.RC(more);
    }
    v.T(begin.description);
    std::int32_t preview = 0;
    v.BL(preview);
    std::vector<std::uint8_t> bytes;
    if constexpr (V::kReading)
      if (preview < 0 || static_cast<std::size_t>(preview) > v.data().bitsLeft() / 8) preview = 0;
    v.bytes(bytes, static_cast<std::size_t>(preview));
  }
  if (v.since(Release::R2007)) {
    std::int16_t units = 0;
    bool explodable = true;
    std::uint8_t scaling = 0;
    v.BS(units);
    v.B(explodable);
    v.RC(scaling);
  }
  v.H(blockEnt, 3);
  if (!xref && !overlay && v.until(Release::R2000)) {
    v.H(l.first, 4);
    v.H(l.last, 4);
  }
  if (v.since(Release::R2004) && !xref && !overlay) {
    v.resizeH(l.owned, owned);
    for (auto& h : l.owned) v.H(h, 4);
  }
  v.H(endEnt, 3);
  if (v.since(Release::R2000)) {
    std::vector<Handle> refs;
    v.resizeH(refs, inserts);
    for (auto& h : refs) v.H(h, 4);
    v.H(r.layout, 5);
  }
  if (v.reading()) {
    begin.flags = static_cast<std::int16_t>((begin.flags & 16) | (anonymous ? 1 : 0) | (attribs ? 2 : 0) |
                                            (xref ? 4 : 0) | (overlay ? 8 : 0) | (loaded ? 32 : 0));
  }
}

// --- objects -------------------------------------------------------------------------------------

template <class V> void dwgObject(V& v, Dictionary& o) {
  std::int32_t n = static_cast<std::int32_t>(o.entries.size());
  v.BL(n);
  v.BS(o.cloning, kR2000);
  // Files of R13 before maintenance release 5 lack the hard owner byte.
  if (v.rel() > Release::R13 || v.ctx().maint > 4) v.RC(o.hardOwner);
  v.resize(o.entries, n, 2);
  for (auto& e : o.entries) v.T(e.name);
  for (auto& e : o.entries) {
    v.H(e.handle, 2);
    if (v.reading()) e.hard = o.hardOwner ? 1 : 0;
  }
}

template <class V> void dwgObject(V& v, ImageDef& o) {
  v.BL(o.version);
  v.RD2(o.size);
  v.T(o.fileName);
  v.B(o.loaded);
  v.RC(o.units);
  v.RD2(o.pixelSize);
}

// A layout: its plot settings (kept as DXF tags of their subclass) and its own fields.
template <class V> void layoutBody(V& v, Layout& l, std::vector<Tag>& plot) {
  struct F {
    char kind;  // T text, S short, D double, P two doubles, V view by handle
    std::int16_t code;
    Release since = Release::R13, until = Release::R2018;
  };
  // The plot view is named until 2000 and referred to since 2004.
  static constexpr F kPlot[] = {{'T', 1},  {'T', 2},  {'S', 70}, {'D', 40}, {'D', 41}, {'D', 42},  {'D', 43},
                                {'D', 44}, {'D', 45}, {'T', 4},  {'P', 46}, {'S', 72}, {'S', 73},  {'S', 74},
                                {'P', 48}, {'P', 140}, {'T', 6, Release::R13, Release::R2000},
                                {'V', 6, Release::R2004}, {'D', 142}, {'D', 143}, {'T', 7}, {'S', 75},
                                {'D', 147}, {'P', 148}, {'S', 76, Release::R2004}, {'S', 77, Release::R2004},
                                {'S', 78, Release::R2004}};
  auto find = [&](int code) -> const Tag* {
    for (const Tag& t : plot)
      if (t.code == code) return &t;
    return nullptr;
  };
  std::vector<Tag> out;
  for (const F& f : kPlot) {
    if (v.rel() < f.since || v.rel() > f.until) continue;
    switch (f.kind) {
      case 'V': {
        std::string s;
        if (const Tag* t = find(f.code)) s = t->asText();
        v.nameRef(Names::View, s, 4);
        out.push_back(textTag(f.code, s));
        break;
      }
      case 'T': {
        std::string s;
        if (const Tag* t = find(f.code)) s = t->asText();
        v.T(s);
        out.push_back(textTag(f.code, s));
        break;
      }
      case 'S': {
        std::int16_t s = f.code == 72 ? 1 : 0;
        if (const Tag* t = find(f.code)) s = static_cast<std::int16_t>(t->asInt());
        v.BS(s);
        out.push_back(intTag(f.code, s));
        break;
      }
      case 'D': {
        double d = f.code == 142 || f.code == 143 || f.code == 147 ? 1 : 0;
        if (const Tag* t = find(f.code)) d = t->asReal();
        v.BD(d);
        out.push_back(realTag(f.code, d));
        break;
      }
      default: {
        Vec2 p;
        if (const Tag* t = find(f.code)) p.x = t->asReal();
        if (const Tag* t = find(f.code + 1)) p.y = t->asReal();
        v.BD2(p);
        out.push_back(realTag(f.code, p.x));
        out.push_back(realTag(f.code + 1, p.y));
      }
    }
  }
  if (v.reading()) plot = std::move(out);
  Handle shadePlot;
  if (v.since(Release::R2007)) v.H(shadePlot, 4);
  v.T(l.name);
  v.BS(l.tabOrder);
  v.BS(l.flags);
  v.BD3(l.insBase);
  v.RD2(l.limMin);
  v.RD2(l.limMax);
  v.BD3(l.ucsOrigin);
  v.BD3(l.ucsX);
  v.BD3(l.ucsY);
  v.BD(l.elevation);
  v.BS(l.ucsType);
  v.BD3(l.extMin);
  v.BD3(l.extMax);
  std::vector<Handle> viewports;  // the model finds them through the layout's block
  std::int32_t nvp = 0;
  if (v.since(Release::R2004)) v.BL(nvp);
  v.H(l.blockRecord, 4);
  v.H(l.viewport, 4);
  Handle base, named;
  v.H(base, 5);
  v.H(named, 5);
  if (v.since(Release::R2004)) {
    v.resizeH(viewports, nvp);
    for (auto& h : viewports) v.H(h, 4);
  }
}

}  // namespace kelvaro::cad::dwg
