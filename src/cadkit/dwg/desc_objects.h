#pragma once
// Objects the model keeps as the DXF tags of their subclasses (groups, multiline styles,
// dictionary variables, placeholders, dictionaries with a default, id buffers): each has one
// DWG description run by ObjIn and ObjOut, and a translation to and from its tags, so a DWG
// object and the same object read from DXF are the same model object.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "cadkit/document.h"
#include "cadkit/dwg/codec.h"
#include "cadkit/dwg/format.h"

namespace kelvaro::cad::dwg {

enum class TagObject : std::uint8_t { None, Group, MLineStyle, DictionaryVar, Placeholder, DictionaryDefault, IdBuffer };

inline TagObject tagObjectOf(std::string_view type) {
  if (type == "GROUP") return TagObject::Group;
  if (type == "MLINESTYLE") return TagObject::MLineStyle;
  if (type == "DICTIONARYVAR") return TagObject::DictionaryVar;
  if (type == "ACDBPLACEHOLDER") return TagObject::Placeholder;
  if (type == "ACDBDICTIONARYWDFLT") return TagObject::DictionaryDefault;
  if (type == "IDBUFFER") return TagObject::IdBuffer;
  return TagObject::None;
}

// The fields of all of them; each description uses its own.
struct TagObjectRec {
  std::string name, text;             // group description or style name; style description or value
  std::int16_t flags = 0, selectable = 1;  // group: unnamed (flags) and selectable; style flags
  std::int16_t fill = 256;
  double startAngle = 90, endAngle = 90;  // degrees
  std::uint8_t schema = 0;
  struct Line {
    double offset = 0;
    std::int16_t color = 256;
    std::string linetype = "BYLAYER";
  };
  std::vector<Line> lines;
  std::vector<DictEntry> entries;
  std::int16_t cloning = 1;
  std::uint8_t hardOwner = 0;
  std::vector<Handle> refs;  // group members, id buffer ids
  Handle dflt;
};

// Multiline style lines name their linetype by its place among the table's records.
inline constexpr std::int16_t kLtByLayer = 32767, kLtByBlock = 32766;

// The linetype records a multiline style line can name by number, in table order.
inline std::vector<std::string> linetypeOrder(const Document& d) {
  std::vector<std::string> names;
  for (const auto& e : d.linetypes.entries)
    if (!sameName(e.rec.name, "BYLAYER") && !sameName(e.rec.name, "BYBLOCK")) names.push_back(e.rec.name);
  return names;
}

template <class V>
void dwgTagObject(V& v, TagObject kind, TagObjectRec& r, const std::vector<std::string>& linetypes) {
  switch (kind) {
    case TagObject::Group: {
      v.TV(r.name);
      v.BS(r.flags);
      v.BS(r.selectable);
      std::int32_t n = static_cast<std::int32_t>(r.refs.size());
      v.BL(n);
      if constexpr (V::kReading) v.resizeH(r.refs, n);
      for (Handle& h : r.refs) v.H(h, 5);
      break;
    }
    case TagObject::MLineStyle: {
      v.TV(r.name);
      v.TV(r.text);
      v.BS(r.flags);
      v.CMC(r.fill);
      v.angleBD(r.startAngle);
      v.angleBD(r.endAngle);
      std::uint8_t n = static_cast<std::uint8_t>(r.lines.size());
      v.RC(n);
      v.resize(r.lines, n, 6);
      for (auto& l : r.lines) {
        v.BD(l.offset);
        v.CMC(l.color);
        std::int16_t lt = kLtByLayer;
        if constexpr (!V::kReading) {
          if (sameName(l.linetype, "BYBLOCK")) lt = kLtByBlock;
          else if (!l.linetype.empty() && !sameName(l.linetype, "BYLAYER"))
            for (std::size_t i = 0; i < linetypes.size(); ++i)
              if (sameName(linetypes[i], l.linetype)) lt = static_cast<std::int16_t>(i);
        }
        v.BS(lt);
        if constexpr (V::kReading) {
          if (lt == kLtByBlock) l.linetype = "BYBLOCK";
          else if (lt >= 0 && static_cast<std::size_t>(lt) < linetypes.size()) l.linetype = linetypes[static_cast<std::size_t>(lt)];
          else l.linetype = "BYLAYER";
        }
        if (!v.ok()) return;
      }
      break;
    }
    case TagObject::DictionaryVar:
      v.RC(r.schema);
      v.TV(r.text);
      break;
    case TagObject::Placeholder: break;
    case TagObject::DictionaryDefault: {
      std::int32_t n = static_cast<std::int32_t>(r.entries.size());
      v.BL(n);
      // Unlike a plain dictionary, both flags are there in every release.
      v.BS(r.cloning);
      v.RC(r.hardOwner);
      v.resize(r.entries, n, 2);
      for (auto& e : r.entries) v.TV(e.name);
      for (auto& e : r.entries) {
        v.H(e.handle, 2);
        if (v.reading()) e.hard = r.hardOwner ? 1 : 0;
      }
      v.H(r.dflt, 5);
      break;
    }
    case TagObject::IdBuffer: {
      v.RC(r.schema);
      std::int32_t n = static_cast<std::int32_t>(r.refs.size());
      v.BL(n);
      if constexpr (V::kReading) v.resizeH(r.refs, n);
      for (Handle& h : r.refs) v.H(h, 4);
      break;
    }
    case TagObject::None: break;
  }
}

// --- the tags DXF files give these objects ------------------------------------------------------

inline const char* tagObjectSubclass(TagObject k) {
  switch (k) {
    case TagObject::Group: return "AcDbGroup";
    case TagObject::MLineStyle: return "AcDbMlineStyle";
    case TagObject::DictionaryVar: return "DictionaryVariables";
    case TagObject::DictionaryDefault: return "AcDbDictionary";
    case TagObject::IdBuffer: return "AcDbIdBuffer";
    default: return "";
  }
}

inline Extras tagObjectTags(TagObject k, const TagObjectRec& r) {
  Extras out;
  if (k == TagObject::Placeholder || k == TagObject::None) return out;
  std::vector<Tag> t;
  auto handle = [](int code, Handle h) { return textTag(code, handleText(h)); };
  switch (k) {
    case TagObject::Group:
      t.push_back(textTag(300, r.name));
      t.push_back(intTag(70, r.flags));
      t.push_back(intTag(71, r.selectable));
      for (Handle h : r.refs) t.push_back(handle(340, h));
      break;
    case TagObject::MLineStyle:
      t.push_back(textTag(2, r.name));
      t.push_back(intTag(70, r.flags));
      t.push_back(textTag(3, r.text));
      t.push_back(intTag(62, r.fill));
      t.push_back(realTag(51, r.startAngle));
      t.push_back(realTag(52, r.endAngle));
      t.push_back(intTag(71, static_cast<std::int64_t>(r.lines.size())));
      for (const auto& l : r.lines) {
        t.push_back(realTag(49, l.offset));
        t.push_back(intTag(62, l.color));
        t.push_back(textTag(6, l.linetype));
      }
      break;
    case TagObject::DictionaryVar:
      t.push_back(intTag(280, r.schema));
      t.push_back(textTag(1, r.text));
      break;
    case TagObject::DictionaryDefault:
      if (r.hardOwner) t.push_back(intTag(280, r.hardOwner));
      t.push_back(intTag(281, r.cloning));
      for (const auto& e : r.entries) {
        t.push_back(textTag(3, e.name));
        t.push_back(handle(e.hard ? 360 : 350, e.handle));
      }
      out.push_back({"AcDbDictionary", std::move(t)});
      out.push_back({"AcDbDictionaryWithDefault", {handle(340, r.dflt)}});
      return out;
    case TagObject::IdBuffer:
      for (Handle h : r.refs) t.push_back(handle(330, h));
      break;
    default: break;
  }
  out.push_back({tagObjectSubclass(k), std::move(t)});
  return out;
}

// The record from whatever tags the object holds; missing ones keep their defaults.
inline TagObjectRec tagObjectFromTags(TagObject k, const Extras& groups) {
  TagObjectRec r;
  auto ival = [](const Tag& t) { return static_cast<std::int16_t>(t.asInt()); };
  for (const auto& g : groups)
    for (const Tag& t : g.tags) {
      switch (k) {
        case TagObject::Group:
          if (t.code == 300) r.name = t.asText();
          else if (t.code == 70) r.flags = ival(t);
          else if (t.code == 71) r.selectable = ival(t);
          else if (t.code == 340) r.refs.push_back(handleFromText(t.asText()));
          break;
        case TagObject::MLineStyle:
          if (t.code == 2) r.name = t.asText();
          else if (t.code == 3) r.text = t.asText();
          else if (t.code == 70) r.flags = ival(t);
          else if (t.code == 51) r.startAngle = t.asReal();
          else if (t.code == 52) r.endAngle = t.asReal();
          else if (t.code == 49) r.lines.push_back({t.asReal(), 256, "BYLAYER"});
          else if (t.code == 62 && r.lines.empty()) r.fill = ival(t);
          else if (t.code == 62) r.lines.back().color = ival(t);
          else if (t.code == 6 && !r.lines.empty()) r.lines.back().linetype = t.asText();
          break;
        case TagObject::DictionaryVar:
          if (t.code == 280) r.schema = static_cast<std::uint8_t>(t.asInt());
          else if (t.code == 1) r.text = t.asText();
          break;
        case TagObject::DictionaryDefault:
          if (t.code == 280) r.hardOwner = static_cast<std::uint8_t>(t.asInt());
          else if (t.code == 281) r.cloning = ival(t);
          else if (t.code == 3) r.entries.push_back({t.asText(), {}, 0});
          else if ((t.code == 350 || t.code == 360) && !r.entries.empty())
            r.entries.back().handle = handleFromText(t.asText()), r.entries.back().hard = t.code == 360;
          else if (t.code == 340) r.dflt = handleFromText(t.asText());
          break;
        case TagObject::IdBuffer:
          if (t.code == 330) r.refs.push_back(handleFromText(t.asText()));
          break;
        default: break;
      }
    }
  if (k == TagObject::DictionaryDefault)
    for (const auto& e : r.entries)
      if (e.hard) r.hardOwner = 1;
  return r;
}

// --- OLE frames -----------------------------------------------------------------------------------


inline void oleFromBytes(Ole2Frame& f, const std::vector<std::uint8_t>& b) {
  static const char* d = "0123456789ABCDEF";
  f.data.clear();
  for (std::size_t at = 0; at < b.size(); at += 127) {
    std::string chunk;
    for (std::size_t i = at; i < std::min(b.size(), at + 127); ++i) chunk += d[b[i] >> 4], chunk += d[b[i] & 15];
    f.data.push_back(std::move(chunk));
  }
  f.length = static_cast<std::int32_t>(b.size());
  // The data opens with the frame's four corners (after a two-byte word), upper left first and
  // lower right third; DXF repeats the two as points.
  auto corner = [&](std::size_t off) {
    double v[3];
    std::memcpy(v, b.data() + off, sizeof v);
    return Vec3{v[0], v[1], v[2]};
  };
  if (b.size() >= 0x80) {
    Vec3 ul = corner(2), lr = corner(50);
    if (std::isfinite(ul.x) && std::isfinite(ul.y) && std::isfinite(lr.x) && std::isfinite(lr.y) &&
        std::fabs(ul.x) < 1e100 && std::fabs(ul.y) < 1e100 && std::fabs(lr.x) < 1e100 && std::fabs(lr.y) < 1e100)
      f.upperLeft = ul, f.lowerRight = lr;
  }
}

template <class V> void dwgBody(V& v, Ole2Frame& e, Links&) {
  v.BS(e.oleType);
  v.BS(e.tileMode, kR2000);
  std::vector<std::uint8_t> data;
  if constexpr (!V::kReading) data = e.bytes();
  std::int32_t n = static_cast<std::int32_t>(data.size());
  v.BL(n);
  if constexpr (V::kReading) {
    if (n < 0 || static_cast<std::size_t>(n) > v.data().bitsLeft() / 8) {
      v.data().fail();
      return;
    }
  }
  v.bytes(data, static_cast<std::size_t>(n));
  std::uint8_t lockAspect = 0;
  v.RC(lockAspect, kR2000);
  if constexpr (V::kReading) oleFromBytes(e, data);
}

// --- paper-space viewports of R13 and R14 ---------------------------------------------------------

// These releases keep a viewport's view in its "ACAD" extended data, a "MVIEW" group of values in
// a fixed order and a group of frozen layer names. Reading fills the model's fields and drops the
// group (as a 2000 file has none); writing builds it again from the fields.
inline bool viewportFromMView(Viewport& v, std::vector<Tag>& xdata, const NameMaps& names) {
  std::size_t at = 0;
  while (at < xdata.size() && !(xdata[at].code == 1001 && xdata[at].asText() == "ACAD")) ++at;
  if (at + 2 >= xdata.size() || xdata[at + 1].code != 1000 || xdata[at + 1].asText() != "MVIEW") return false;
  std::size_t end = at + 1;
  while (end < xdata.size() && xdata[end].code != 1001) ++end;
  std::vector<double> n;
  std::vector<std::string> frozen;
  int depth = 0;
  for (std::size_t i = at + 2; i < end; ++i) {
    const Tag& t = xdata[i];
    if (t.code == 1002) depth += t.asText() == "{" ? 1 : -1;
    else if (depth == 1 && t.code >= 1010 && t.code <= 1070) n.push_back(t.asReal());
    else if (depth == 2 && t.code == 1003) frozen.push_back(t.asText());
  }
  if (n.size() < 30) return false;
  for (double x : n)
    if (!std::isfinite(x)) return false;
  auto i16 = [&](std::size_t k) { return static_cast<std::int16_t>(std::clamp(n[k], -32768.0, 32767.0)); };
  v.viewTarget = {n[1], n[2], n[3]};
  v.viewDirection = {n[4], n[5], n[6]};
  v.twist = n[7];
  v.viewHeight = n[8];
  v.viewCenter = {n[9], n[10]};
  v.lens = n[11];
  v.frontClip = n[12];
  v.backClip = n[13];
  std::int32_t f = i16(14) & 31;
  v.circleZoom = i16(15);
  if (i16(16)) f |= 128;
  if (i16(17) & 1) f |= 32;
  if (i16(17) & 2) f |= 64;
  if (i16(18)) f |= 256;
  if (i16(19)) f |= 512;
  if (i16(20)) f |= 1024;
  if (i16(21) == 1) f |= 4096;
  if (i16(21) == 2) f |= 8192;
  v.snapAngle = n[22];
  v.snapBase = {n[23], n[24]};
  v.snapSpacing = {n[25], n[26]};
  v.gridSpacing = {n[27], n[28]};
  if (i16(29)) f |= 2048;
  v.flags = f;
  v.frozenLayers.clear();
  for (const auto& name : frozen)
    if (std::uint64_t h = names.handle(Names::Layer, name)) v.frozenLayers.push_back(Handle{h});
  xdata.erase(xdata.begin() + static_cast<std::ptrdiff_t>(at), xdata.begin() + static_cast<std::ptrdiff_t>(end));
  return true;
}

inline void viewportToMView(const Viewport& v, std::vector<Tag>& xdata, const NameMaps& names) {
  // A group that reading could not take apart is the only copy of that view: it goes back as read.
  for (std::size_t i = 0; i + 1 < xdata.size(); ++i)
    if (xdata[i].code == 1001 && xdata[i].asText() == "ACAD" && xdata[i + 1].code == 1000 && xdata[i + 1].asText() == "MVIEW")
      return;
  std::vector<Tag> x;
  bool acad = false;
  for (const Tag& t : xdata) {
    if (t.code == 1001) acad = t.asText() == "ACAD";
    if (!acad) x.push_back(t);
  }
  auto pt = [&](Vec3 p) {
    x.push_back(realTag(1010, p.x));
    x.push_back(realTag(1020, p.y));
    x.push_back(realTag(1030, p.z));
  };
  auto num = [&](double d) { x.push_back(realTag(1040, d)); };
  auto i16 = [&](int i) { x.push_back(intTag(1070, i)); };
  const std::int32_t f = v.flags;
  x.push_back(textTag(1001, "ACAD"));
  x.push_back(textTag(1000, "MVIEW"));
  x.push_back(textTag(1002, "{"));
  i16(16);
  pt(v.viewTarget);
  pt(v.viewDirection);
  for (double d : {v.twist, v.viewHeight, v.viewCenter.x, v.viewCenter.y, v.lens, v.frontClip, v.backClip}) num(d);
  i16(f & 31);
  i16(v.circleZoom);
  i16(f & 128 ? 1 : 0);
  i16((f & 32 ? 1 : 0) | (f & 64 ? 2 : 0));
  i16(f & 256 ? 1 : 0);
  i16(f & 512 ? 1 : 0);
  i16(f & 1024 ? 1 : 0);
  i16((f & 12288) == 4096 ? 1 : (f & 12288) == 8192 ? 2 : 0);
  for (double d : {v.snapAngle, v.snapBase.x, v.snapBase.y, v.snapSpacing.x, v.snapSpacing.y, v.gridSpacing.x,
                   v.gridSpacing.y})
    num(d);
  i16(f & 2048 ? 1 : 0);
  x.push_back(textTag(1002, "{"));
  for (Handle h : v.frozenLayers)
    if (std::string name = names.name(Names::Layer, h.v); !name.empty()) x.push_back(textTag(1003, name));
  x.push_back(textTag(1002, "}"));
  x.push_back(textTag(1002, "}"));
  xdata = std::move(x);
}

}  // namespace kelvaro::cad::dwg
