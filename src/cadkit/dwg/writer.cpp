// DWG writer for R13, R14 and 2000: every record goes out through the same description the
// reader uses, then the object map, header, classes and file header around them.
#include <algorithm>
#include <fstream>
#include <random>
#include <set>

#include "cadkit/dwg/desc_entities.h"
#include "cadkit/dwg/desc_objects.h"
#include "cadkit/dwg/desc_tables.h"
#include "cadkit/dwg/dwg_io.h"
#include "cadkit/dwg/format.h"
#include "cadkit/dwg/header_vars.h"
#include "cadkit/dwg/sections.h"

namespace kelvaro::cad {
namespace dwg {
namespace {

struct StdClass {
  const char* dxf;
  const char* cpp;
  bool entity;
  int proxy;
};
// Classes the writer may need when the drawing did not list them.
const StdClass kStdClasses[] = {
    {"LWPOLYLINE", "AcDbPolyline", true, 0},  {"HATCH", "AcDbHatch", true, 0},
    {"IMAGE", "AcDbRasterImage", true, 127},   {"IMAGEDEF", "AcDbRasterImageDef", false, 0},
    {"IMAGEDEF_REACTOR", "AcDbRasterImageDefReactor", false, 1}, {"LAYOUT", "AcDbLayout", false, 0},
    {"XRECORD", "AcDbXrecord", false, 0},
    {"DICTIONARYVAR", "AcDbDictionaryVar", false, 0}, {"ACDBDICTIONARYWDFLT", "AcDbDictionaryWithDefault", false, 0},
    {"ACDBPLACEHOLDER", "AcDbPlaceHolder", false, 0}, {"IDBUFFER", "AcDbIdBuffer", false, 0},
};

struct Out {
  std::uint64_t handle;
  std::vector<std::uint8_t> bytes;  // size, data and check value
};

class Writer {
 public:
  Writer(Document& d, Release rel, SaveReport* rep) : d_(d), rep_(rep) { ctx_.rel = rel; }

  std::vector<std::uint8_t> run() {
    ctx_.cp = CodePage(d_.header.codepage);
    prepare();
    names();
    classes();
    tables();
    blocks();
    objects();
    return assemble();
  }

 private:
  void dropped(const std::string& what) {
    if (rep_) rep_->dropped[what]++;
  }

  // --- preparation ------------------------------------------------------------------------------

  void prepare() {
    // Tables the file needs even when the drawing has none.
    forEachTable(d_, [&](auto& t) {
      if (!t.frame.handle) t.frame.handle = d_.newHandle();
      t.present = true;
    });
    auto ensure = [&](auto& table, const char* name, auto init) {
      for (auto& e : table.entries)
        if (sameName(e.rec.name, name)) return;
      typename std::decay_t<decltype(table.entries)>::value_type e;
      e.rec.name = name;
      init(e.rec);
      e.frame.handle = d_.newHandle();
      table.entries.insert(table.entries.begin(), std::move(e));
    };
    ensure(d_.layers, "0", [](Layer&) {});
    ensure(d_.styles, "STANDARD", [](TextStyle&) {});
    ensure(d_.dimstyles, "STANDARD", [](DimStyle&) {});
    ensure(d_.appids, "ACAD", [](AppId&) {});
    d_.modelSpace();
    d_.paperSpace();
    // The viewport entity table stays where the file had it.
    std::set<std::uint64_t> used;
    forEachFrame(d_, [&](Frame& f) { used.insert(f.handle.v); });
    for (const auto& v : d_.header.dwgVars)
      if (v.name == "VX_CONTROL_OBJECT" && !v.tags.empty()) vxControl_ = handleFromText(v.tags[0].asText()).v;
    if (!vxControl_ || used.count(vxControl_) || vxControl_ >= d_.nextHandle) vxControl_ = d_.newHandle().v;
    for (auto& b : d_.blocks) {
      if (!b.frame.handle) b.frame.handle = d_.newHandle();
      if (!b.endFrame.handle) b.endFrame.handle = d_.newHandle();
    }
    d_.assignHandles();
  }

  void names() {
    for (auto& e : d_.layers.entries) ctx_.names.add(Names::Layer, e.frame.handle.v, e.rec.name);
    for (auto& e : d_.linetypes.entries) ctx_.names.add(Names::Ltype, e.frame.handle.v, e.rec.name);
    for (auto& e : d_.styles.entries) ctx_.names.add(Names::Style, e.frame.handle.v, e.rec.name);
    for (auto& e : d_.dimstyles.entries) ctx_.names.add(Names::DimStyle, e.frame.handle.v, e.rec.name);
    for (auto& e : d_.ucss.entries) ctx_.names.add(Names::Ucs, e.frame.handle.v, e.rec.name);
    for (auto& e : d_.appids.entries) ctx_.names.add(Names::AppId, e.frame.handle.v, e.rec.name);
    for (auto& e : d_.views.entries) ctx_.names.add(Names::View, e.frame.handle.v, e.rec.name);
    for (auto& e : d_.blockRecords.entries) ctx_.names.add(Names::Block, e.frame.handle.v, e.rec.name);
    // Multilines name their style: the styles are objects kept as tags.
    for (const auto& o : d_.objects)
      if (const auto* raw = std::get_if<RawObject>(&o.data); raw && raw->type == "MLINESTYLE")
        ctx_.names.add(Names::MLineStyle, o.frame.handle.v, tagObjectFromTags(TagObject::MLineStyle, o.frame.extras()).name);
  }

  Handle recordOf(std::string_view block) {
    return Handle{ctx_.names.handle(Names::Block, block)};
  }

  void classes() {
    for (const auto& tags : d_.classes) {
      ClassDef c;
      for (const Tag& t : tags) {
        switch (t.code) {
          case 1: c.dxfName = t.asText(); break;
          case 2: c.cppName = t.asText(); break;
          case 3: c.appName = t.asText(); break;
          case 90: c.proxyFlags = static_cast<int>(t.asInt()); break;
          case 280: c.wasZombie = t.asInt() != 0; break;
          case 281: c.isEntity = t.asInt() != 0; break;
          default: break;
        }
      }
      if (!c.dxfName.empty()) addClass(c);
    }
  }

  int addClass(ClassDef c) {
    for (const auto& k : classes_)
      if (k.dxfName == c.dxfName) return k.number;
    c.number = 500 + static_cast<int>(classes_.size());
    classes_.push_back(c);
    return c.number;
  }

  // Type number of a type that is a class in this release.
  int classType(const std::string& dxf) {
    for (const auto& k : classes_)
      if (k.dxfName == dxf) return k.number;
    for (const auto& s : kStdClasses)
      if (dxf == s.dxf) {
        ClassDef c;
        c.dxfName = s.dxf;
        c.cppName = s.cpp;
        c.appName = "ObjectDBX Classes";
        c.isEntity = s.entity;
        c.proxyFlags = s.proxy;
        return addClass(c);
      }
    return 0;
  }

  // --- object framing ---------------------------------------------------------------------------

  struct Frames {
    BitWriter d, h;
    std::size_t sizePos = 0;  // where the data size in bits goes
    explicit Frames(Release r) : d(r), h(r) {}
  };

  void writeEed(BitWriter& w, const Frame& f) {
    const auto& x = f.xdata();
    for (std::size_t i = 0; i < x.size();) {
      if (x[i].code != 1001) {
        ++i;
        continue;
      }
      std::uint64_t app = ctx_.names.handle(Names::AppId, x[i].asText());
      std::size_t j = i + 1;
      while (j < x.size() && x[j].code != 1001) ++j;
      auto data = tagsToEed(std::span<const Tag>(x).subspan(i + 1, j - i - 1), ctx_);
      if (app && !data.empty() && data.size() < 32767) {
        w.BS(static_cast<std::int16_t>(data.size()));
        w.H({5, app});
        w.bytes(data);
      }
      i = j;
    }
    w.BS(0);
  }

  static void appHandles(const Frame& f, std::vector<Handle>& reactors, Handle& xdic) {
    const auto& g = f.appGroups();
    std::string group;
    for (const Tag& t : g) {
      if (t.code == 102) {
        std::string s = t.asText();
        group = s == "}" ? "" : s;
      } else if (group == "{ACAD_REACTORS" && t.code == 330) {
        if (Handle h = handleFromText(t.asText())) reactors.push_back(h);
      } else if (group == "{ACAD_XDICTIONARY" && t.code == 360) {
        xdic = handleFromText(t.asText());
      }
    }
  }

  void beginObject(Frames& fr, int type, const Frame& f, Handle owner) {
    fr.d.BS(static_cast<std::int16_t>(type));
    if (ctx_.rel >= Release::R2000) fr.sizePos = fr.d.bitPos(), fr.d.RL(0);
    fr.d.H({0, f.handle.v});
    writeEed(fr.d, f);
    if (ctx_.rel <= Release::R14) fr.sizePos = fr.d.bitPos(), fr.d.RL(0);
    std::vector<Handle> reactors;
    Handle xdic;
    appHandles(f, reactors, xdic);
    fr.d.BL(static_cast<std::int32_t>(reactors.size()));
    fr.h.H({4, owner.v});
    for (Handle r : reactors) fr.h.H({4, r.v});
    fr.h.H({3, xdic.v});
  }

  struct EntLinks {
    Handle owner, prev, next;
    int entmode = 0;  // 0 owned, 1 paper space, 2 model space
  };

  void beginEntity(Frames& fr, int type, const Frame& f, const EntityCommon& c, const EntLinks& l) {
    fr.d.BS(static_cast<std::int16_t>(type));
    if (ctx_.rel >= Release::R2000) fr.sizePos = fr.d.bitPos(), fr.d.RL(0);
    fr.d.H({0, f.handle.v});
    writeEed(fr.d, f);
    fr.d.B(false);  // no preview picture
    if (ctx_.rel <= Release::R14) fr.sizePos = fr.d.bitPos(), fr.d.RL(0);
    std::vector<Handle> reactors;
    Handle xdic;
    appHandles(f, reactors, xdic);
    fr.d.BB(static_cast<std::uint8_t>(l.entmode));
    fr.d.BL(static_cast<std::int32_t>(reactors.size()));
    std::string lt = upper(c.linetype);
    std::uint8_t ltFlags = lt.empty() || lt == "BYLAYER" ? 0 : lt == "BYBLOCK" ? 1 : lt == "CONTINUOUS" ? 2 : 3;
    std::uint64_t ltHandle = ltFlags == 3 ? ctx_.names.handle(Names::Ltype, c.linetype) : 0;
    if (ltFlags == 3 && !ltHandle) ltFlags = 0;  // a linetype the drawing does not define
    if (ctx_.rel <= Release::R14) {
      if (ltFlags == 1 || ltFlags == 2) ltHandle = ctx_.names.handle(Names::Ltype, lt);
      fr.d.B(ltHandle == 0);
    }
    fr.d.B(false);  // explicit links
    fr.d.CMC(c.color);
    fr.d.BD(c.ltscale);
    if (ctx_.rel >= Release::R2000) {
      fr.d.BB(ltFlags);
      fr.d.BB(0);
    }
    fr.d.BS(c.invisible);
    if (ctx_.rel >= Release::R2000) fr.d.RC(static_cast<std::uint8_t>(lineweightIndex(c.lineweight)));
    std::uint64_t layer = ctx_.names.handle(Names::Layer, c.layer);
    if (!layer) layer = ctx_.names.handle(Names::Layer, "0");
    if (l.entmode == 0) fr.h.H({4, l.owner.v});
    for (Handle r : reactors) fr.h.H({4, r.v});
    fr.h.H({3, xdic.v});
    if (ctx_.rel <= Release::R14) {
      fr.h.H({5, layer});
      if (ltHandle) fr.h.H({5, ltHandle});
    }
    fr.h.H({4, l.prev.v});
    fr.h.H({4, l.next.v});
    if (ctx_.rel >= Release::R2000) {
      fr.h.H({5, layer});
      if (ltFlags == 3) fr.h.H({5, ltHandle});
    }
  }

  void finish(Frames& fr, std::uint64_t handle) {
    std::size_t dataBits = fr.d.bitPos();
    fr.d.patchRL(fr.sizePos, static_cast<std::uint32_t>(dataBits));
    fr.d.append(fr.h);
    std::vector<std::uint8_t> body = fr.d.data();
    body.resize((fr.d.bitPos() + 7) / 8);
    BitWriter o(ctx_.rel);
    o.MS(static_cast<std::uint32_t>(body.size()));
    o.bytes(body);
    std::uint16_t crc = crc16(0xC0C1, o.data());
    o.RS(static_cast<std::int16_t>(crc));
    out_.push_back({handle, std::move(o.data())});
  }

  // --- tables -----------------------------------------------------------------------------------

  template <class Rec>
  void table(Table<Rec>& t, int ctrlType, int recType, bool bsCount) {
    std::vector<Handle> entries;
    Handle byBlock, byLayer;
    for (auto& e : t.entries) {
      if constexpr (std::is_same_v<Rec, Linetype>) {
        if (sameName(e.rec.name, "BYBLOCK")) {
          byBlock = e.frame.handle;
          continue;
        }
        if (sameName(e.rec.name, "BYLAYER")) {
          byLayer = e.frame.handle;
          continue;
        }
      }
      entries.push_back(e.frame.handle);
    }
    Frames fr(ctx_.rel);
    beginObject(fr, ctrlType, t.frame, Handle{});
    if (bsCount) fr.d.BS(static_cast<std::int16_t>(entries.size()));
    else fr.d.BL(static_cast<std::int32_t>(entries.size()));
    if (ctrlType == kDimStyleControl && ctx_.rel >= Release::R2000) fr.d.RC(0);
    for (Handle h : entries) fr.h.H({2, h.v});
    if constexpr (std::is_same_v<Rec, Linetype>) {
      fr.h.H({3, byBlock.v});
      fr.h.H({3, byLayer.v});
    }
    finish(fr, t.frame.handle.v);
    for (auto& e : t.entries) {
      Frames rf(ctx_.rel);
      beginObject(rf, recType, e.frame, t.frame.handle);
      ObjOut v(rf.d, rf.h, ctx_);
      if constexpr (std::is_same_v<Rec, DimStyle>) {
        tableCommon(v, e.rec.name, e.rec.flags);
        std::vector<Tag> tags;
        for (const auto& g : e.frame.extras()) tags.insert(tags.end(), g.tags.begin(), g.tags.end());
        dimStyleBody(v, tags);
      } else {
        dwgRecord(v, e.rec);
      }
      finish(rf, e.frame.handle.v);
    }
  }

  void tables() {
    table(d_.vports, kVportControl, kVport, true);
    table(d_.linetypes, kLtypeControl, kLtype, true);
    table(d_.layers, kLayerControl, kLayer, false);
    table(d_.styles, kStyleControl, kStyle, false);
    table(d_.views, kViewControl, kView, false);
    table(d_.ucss, kUcsControl, kUcs, true);
    table(d_.appids, kAppIdControl, kAppId, true);
    table(d_.dimstyles, kDimStyleControl, kDimStyle, true);
    Frames vx(ctx_.rel);
    Frame vf;
    vf.handle = Handle{vxControl_};
    beginObject(vx, kVxControl, vf, Handle{});
    vx.d.BS(0);
    finish(vx, vxControl_);
  }

  // --- blocks and entities ----------------------------------------------------------------------

  void blocks() {
    Handle ms = recordOf(kModelSpace), ps = recordOf(kPaperSpace);
    // Block control: entries without the two spaces, which follow apart.
    Frames fr(ctx_.rel);
    beginObject(fr, kBlockControl, d_.blockRecords.frame, Handle{});
    std::vector<Handle> entries;
    for (auto& r : d_.blockRecords.entries)
      if (r.frame.handle != ms && r.frame.handle != ps) entries.push_back(r.frame.handle);
    fr.d.BL(static_cast<std::int32_t>(entries.size()));
    for (Handle h : entries) fr.h.H({2, h.v});
    fr.h.H({3, ms.v});
    fr.h.H({3, ps.v});
    finish(fr, d_.blockRecords.frame.handle.v);

    for (auto& r : d_.blockRecords.entries) {
      Block* b = d_.findBlock(r.rec.name);
      Block empty;
      if (!b) {
        empty.begin.name = r.rec.name;
        empty.frame.handle = d_.newHandle();
        empty.endFrame.handle = d_.newHandle();
        b = &empty;
      }
      int mode = r.frame.handle == ms ? 2 : r.frame.handle == ps ? 1 : 0;
      std::vector<Entity*> ents;
      for (auto& e : b->entities) {
        if (!writable(e)) continue;
        ents.push_back(&e);
      }
      Links links;
      if (!ents.empty()) links.first = ents.front()->frame.handle, links.last = ents.back()->frame.handle;
      Frames rf(ctx_.rel);
      beginObject(rf, kBlockHeader, r.frame, d_.blockRecords.frame.handle);
      ObjOut v(rf.d, rf.h, ctx_);
      Handle be = b->frame.handle, ee = b->endFrame.handle;
      BlockBegin begin = b->begin;
      begin.name = r.rec.name;
      if (!ents.empty() || true) {
        bool attribs = false;
        for (auto* e : ents) attribs |= e->is<AttDef>();
        begin.flags = static_cast<std::int16_t>((begin.flags & ~2) | (attribs ? 2 : 0));
      }
      dwgRecord(v, r.rec, begin, links, be, ee);
      finish(rf, r.frame.handle.v);
      // BLOCK and ENDBLK entities.
      Frames bf(ctx_.rel);
      EntLinks bl{r.frame.handle, {}, {}, 0};
      beginEntity(bf, kBlock, b->frame, b->common, bl);
      ObjOut bv(bf.d, bf.h, ctx_);
      std::string name = r.rec.name;
      bv.TV(name);
      finish(bf, b->frame.handle.v);
      Frames ef(ctx_.rel);
      beginEntity(ef, kEndblk, b->endFrame, b->endCommon, bl);
      finish(ef, b->endFrame.handle.v);
      for (std::size_t i = 0; i < ents.size(); ++i) {
        EntLinks l;
        l.entmode = mode;
        l.owner = r.frame.handle;
        if (i > 0) l.prev = ents[i - 1]->frame.handle;
        if (i + 1 < ents.size()) l.next = ents[i + 1]->frame.handle;
        entity(*ents[i], l, mode == 1);
      }
    }
  }

  bool writable(const Entity& e) {
    if (const auto* raw = std::get_if<RawEntity>(&e.data)) {
      const DwgRaw& r = e.frame.dwg();
      if (r.data.empty() || r.release != ctx_.rel) {
        dropped(raw->type);
        return false;
      }
    }
    return true;
  }

  template <class T>
  void simple(Entity& e, int type, const EntLinks& l, T& data) {
    Frames fr(ctx_.rel);
    beginEntity(fr, type, e.frame, e.common, l);
    ObjOut v(fr.d, fr.h, ctx_);
    Links links;
    dwgBody(v, data, links);
    finish(fr, e.frame.handle.v);
  }

  static int polylineType(const Polyline& p) {
    if (p.flags & 64) return kPolylinePface;
    if (p.flags & 16) return kPolylineMesh;
    if (p.flags & 8) return kPolyline3d;
    return kPolyline2d;
  }
  static int vertexType(int poly, const VertexData& v) {
    switch (poly) {
      case kPolyline3d: return kVertex3d;
      case kPolylineMesh: return kVertexMesh;
      case kPolylinePface: return (v.flags & 64) ? kVertexPface : kVertexPfaceFace;
      default: return kVertex2d;
    }
  }

  template <class D, class Fn>
  void sub(Sub<D>& s, int type, const Entity& parent, Handle prev, Handle next, Fn&& fn) {
    if (!s.frame.handle) s.frame.handle = d_.newHandle();
    Frames fr(ctx_.rel);
    EntLinks l{parent.frame.handle, prev, next, 0};
    beginEntity(fr, type, s.frame, s.common, l);
    ObjOut v(fr.d, fr.h, ctx_);
    fn(v, s.data);
    finish(fr, s.frame.handle.v);
  }

  void entity(Entity& e, const EntLinks& l, bool paper) {
    e.common.paperSpace = paper ? 1 : 0;
    if (auto* raw = std::get_if<RawEntity>(&e.data)) {
      (void)raw;
      rawObject(e.frame, true);
      return;
    }
    if (auto* p = e.as<Polyline>()) {
      int type = polylineType(*p);
      Frames fr(ctx_.rel);
      beginEntity(fr, type, e.frame, e.common, l);
      ObjOut v(fr.d, fr.h, ctx_);
      for (auto& vx : p->vertices)
        if (!vx.frame.handle) vx.frame.handle = d_.newHandle();
      if (!p->seqend.frame.handle) p->seqend.frame.handle = d_.newHandle();
      Links links;
      if (!p->vertices.empty()) links.first = p->vertices.front().frame.handle, links.last = p->vertices.back().frame.handle;
      links.seqend = p->seqend.frame.handle;
      polylineBody(v, *p, links, type);
      finish(fr, e.frame.handle.v);
      for (std::size_t i = 0; i < p->vertices.size(); ++i) {
        Handle prev = i ? p->vertices[i - 1].frame.handle : Handle{};
        Handle next = i + 1 < p->vertices.size() ? p->vertices[i + 1].frame.handle : Handle{};
        p->vertices[i].common.paperSpace = e.common.paperSpace;
        int vt = vertexType(type, p->vertices[i].data);
        sub(p->vertices[i], vt, e, prev, next, [&](ObjOut& w, VertexData& d) { vertexBody(w, d, vt); });
      }
      sub(p->seqend, kSeqend, e, Handle{}, Handle{}, [](ObjOut&, Empty&) {});
      return;
    }
    if (auto* ins = e.as<Insert>()) {
      bool minsert = ins->columns > 1 || ins->rows > 1;
      Frames fr(ctx_.rel);
      beginEntity(fr, minsert ? kMInsert : kInsert, e.frame, e.common, l);
      ObjOut v(fr.d, fr.h, ctx_);
      for (auto& a : ins->attribs)
        if (!a.frame.handle) a.frame.handle = d_.newHandle();
      Links links;
      if (!ins->attribs.empty()) {
        if (!ins->seqend.frame.handle) ins->seqend.frame.handle = d_.newHandle();
        links.first = ins->attribs.front().frame.handle;
        links.last = ins->attribs.back().frame.handle;
        links.seqend = ins->seqend.frame.handle;
      }
      insertBody(v, *ins, links, minsert);
      finish(fr, e.frame.handle.v);
      if (!ins->attribs.empty()) {
        for (std::size_t i = 0; i < ins->attribs.size(); ++i) {
          Handle prev = i ? ins->attribs[i - 1].frame.handle : Handle{};
          Handle next = i + 1 < ins->attribs.size() ? ins->attribs[i + 1].frame.handle : Handle{};
          sub(ins->attribs[i], kAttrib, e, prev, next, [](ObjOut& w, AttribData& d) {
            Links none;
            dwgBody(w, d, none);
          });
        }
        sub(ins->seqend, kSeqend, e, Handle{}, Handle{}, [](ObjOut&, Empty&) {});
      }
      return;
    }
    if (auto* dim = e.as<Dimension>()) {
      static constexpr int kinds[] = {kDimLinear, kDimAligned, kDimAng2ln, kDimDiameter, kDimRadius, kDimAng3pt, kDimOrdinate};
      int type = kinds[std::clamp(dim->kind(), 0, 6)];
      Frames fr(ctx_.rel);
      beginEntity(fr, type, e.frame, e.common, l);
      ObjOut v(fr.d, fr.h, ctx_);
      dimensionBody(v, *dim, type);
      finish(fr, e.frame.handle.v);
      return;
    }
    bool r2000 = ctx_.rel >= Release::R2000;
    visitEntity(
        [&](auto& x) {
          using T = std::decay_t<decltype(x)>;
          if constexpr (std::is_same_v<T, Line>) simple(e, kLine, l, x);
          else if constexpr (std::is_same_v<T, Point>) simple(e, kPoint, l, x);
          else if constexpr (std::is_same_v<T, Circle>) simple(e, kCircle, l, x);
          else if constexpr (std::is_same_v<T, Arc>) simple(e, kArc, l, x);
          else if constexpr (std::is_same_v<T, Ellipse>) simple(e, kEllipse, l, x);
          else if constexpr (std::is_same_v<T, Ray>) simple(e, kRay, l, x);
          else if constexpr (std::is_same_v<T, XLine>) simple(e, kXLine, l, x);
          else if constexpr (std::is_same_v<T, Solid>) simple(e, kSolid, l, x);
          else if constexpr (std::is_same_v<T, Trace>) simple(e, kTrace, l, x);
          else if constexpr (std::is_same_v<T, Face3d>) simple(e, kFace3d, l, x);
          else if constexpr (std::is_same_v<T, Spline>) simple(e, kSpline, l, x);
          else if constexpr (std::is_same_v<T, Text>) simple(e, kText, l, x);
          else if constexpr (std::is_same_v<T, MText>) simple(e, kMText, l, x);
          else if constexpr (std::is_same_v<T, AttDef>) simple(e, kAttdef, l, x);
          else if constexpr (std::is_same_v<T, Leader>) simple(e, kLeader, l, x);
          else if constexpr (std::is_same_v<T, MLine>) simple(e, kMLine, l, x);
          else if constexpr (std::is_same_v<T, Ole2Frame>) simple(e, kOle2Frame, l, x);
          else if constexpr (std::is_same_v<T, Viewport>) {
            if (ctx_.rel <= Release::R14) viewportToMView(x, e.frame.xdata(), ctx_.names);
            simple(e, kViewport, l, x);
          }
          else if constexpr (std::is_same_v<T, LwPolyline>) simple(e, r2000 ? int(kLwPolyline) : classType("LWPOLYLINE"), l, x);
          else if constexpr (std::is_same_v<T, Hatch>) simple(e, r2000 ? int(kHatch) : classType("HATCH"), l, x);
          else if constexpr (std::is_same_v<T, Image>) simple(e, classType("IMAGE"), l, x);
        },
        e.data);
  }

  // --- objects ----------------------------------------------------------------------------------

  void rawObject(const Frame& f, bool entity) {
    const DwgRaw& r = f.dwg();
    std::vector<std::uint8_t> data = r.data;
    if (!r.className.empty()) {
      // The class keeps its place in the list only by name: its number goes back in.
      int type = classType(r.className);
      if (!type) {
        ClassDef c;
        c.dxfName = r.className;
        c.cppName = r.className;
        c.appName = "ObjectDBX Classes";
        c.isEntity = entity;
        type = addClass(c);
      }
      // Class numbers are at least 500: always stored as 2-bit prefix and 16 bits.
      BitReader rd(data, ctx_.rel);
      if (rd.BB() == 0) {
        BitWriter w(ctx_.rel);
        w.BB(0);
        w.RS(static_cast<std::int16_t>(type));
        for (int i = 0; i < 18; ++i) {
          std::size_t byte = static_cast<std::size_t>(i) / 8;
          int bit = 7 - i % 8;
          std::uint8_t mask = static_cast<std::uint8_t>(1u << bit);
          data[byte] = static_cast<std::uint8_t>((data[byte] & ~mask) | (w.data()[byte] & mask));
        }
      }
    }
    BitWriter o(ctx_.rel);
    o.MS(static_cast<std::uint32_t>(data.size()));
    o.bytes(data);
    o.RS(static_cast<std::int16_t>(crc16(0xC0C1, o.data())));
    out_.push_back({f.handle.v, std::move(o.data())});
  }

  void tagObject(Object& o, TagObject k, const std::string& type) {
    int number = k == TagObject::Group         ? int(kGroup)
                 : k == TagObject::MLineStyle  ? int(kMLineStyle)
                 : k == TagObject::Placeholder && ctx_.rel >= Release::R14 ? int(kPlaceholder)
                                               : classType(type);
    Frames fr(ctx_.rel);
    beginObject(fr, number, o.frame, o.frame.owner);
    ObjOut v(fr.d, fr.h, ctx_);
    TagObjectRec r = tagObjectFromTags(k, o.frame.extras());
    dwgTagObject(v, k, r, k == TagObject::MLineStyle ? linetypeOrder(d_) : std::vector<std::string>{});
    finish(fr, o.frame.handle.v);
  }

  void objects() {
    for (auto& o : d_.objects) {
      std::visit(
          [&](auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, RawObject>) {
              if (TagObject k = tagObjectOf(x.type); k != TagObject::None) return tagObject(o, k, x.type);
              const DwgRaw& r = o.frame.dwg();
              if (r.data.empty() || r.release != ctx_.rel) return dropped(x.type);
              rawObject(o.frame, false);
            } else {
              Frames fr(ctx_.rel);
              int type = std::is_same_v<T, Dictionary> ? int(kDictionary)
                         : std::is_same_v<T, XRecord>  ? int(kXRecord)
                         : std::is_same_v<T, Layout>   ? classType("LAYOUT")
                                                       : classType("IMAGEDEF");
              beginObject(fr, type, o.frame, o.frame.owner);
              ObjOut v(fr.d, fr.h, ctx_);
              if constexpr (std::is_same_v<T, Dictionary>) {
                dwgObject(v, x);
              } else if constexpr (std::is_same_v<T, ImageDef>) {
                dwgObject(v, x);
              } else if constexpr (std::is_same_v<T, Layout>) {
                std::vector<Tag> plot;
                for (const auto& g : o.frame.extras())
                  if (g.subclass == "AcDbPlotSettings") plot = g.tags;
                layoutBody(v, x, plot);
              } else {
                std::vector<Tag> tags;
                for (const auto& g : o.frame.extras()) tags.insert(tags.end(), g.tags.begin(), g.tags.end());
                auto bytes = tagsToXrecord(tags, ctx_);
                fr.d.BL(static_cast<std::int32_t>(bytes.size()));
                fr.d.bytes(bytes);
                if (ctx_.rel >= Release::R2000) fr.d.BS(x.cloning);
              }
              finish(fr, o.frame.handle.v);
            }
          },
          o.data);
    }
  }

  // --- the file ---------------------------------------------------------------------------------

  Handle rootDict() {
    for (auto& o : d_.objects)
      if (std::holds_alternative<Dictionary>(o.data) && !o.frame.owner) return o.frame.handle;
    return {};
  }
  Handle dictEntry(Handle dict, const char* name) {
    Object* o = dict ? d_.findObject(dict) : nullptr;
    const Dictionary* dd = o ? std::get_if<Dictionary>(&o->data) : nullptr;
    const DictEntry* e = dd ? dd->find(name) : nullptr;
    return e ? e->handle : Handle{};
  }

  std::vector<std::uint8_t> assemble() {
    HeaderValues fixed;
    auto put = [&](const char* n, std::uint64_t h) { fixed[n].h = h; };
    put("BLOCK_CONTROL_OBJECT", d_.blockRecords.frame.handle.v);
    put("LAYER_CONTROL_OBJECT", d_.layers.frame.handle.v);
    put("STYLE_CONTROL_OBJECT", d_.styles.frame.handle.v);
    put("LTYPE_CONTROL_OBJECT", d_.linetypes.frame.handle.v);
    put("VIEW_CONTROL_OBJECT", d_.views.frame.handle.v);
    put("UCS_CONTROL_OBJECT", d_.ucss.frame.handle.v);
    put("VPORT_CONTROL_OBJECT", d_.vports.frame.handle.v);
    put("APPID_CONTROL_OBJECT", d_.appids.frame.handle.v);
    put("DIMSTYLE_CONTROL_OBJECT", d_.dimstyles.frame.handle.v);
    put("VX_CONTROL_OBJECT", vxControl_);
    put("VX_TABLE_RECORD", 0);
    Handle root = rootDict();
    put("DICTIONARY_NAMED_OBJECT", root.v);
    put("DICTIONARY_ACAD_GROUP", dictEntry(root, "ACAD_GROUP").v);
    put("DICTIONARY_ACAD_MLINESTYLE", dictEntry(root, "ACAD_MLINESTYLE").v);
    put("DICTIONARY_LAYOUT", dictEntry(root, "ACAD_LAYOUT").v);
    put("DICTIONARY_PLOTSETTINGS", dictEntry(root, "ACAD_PLOTSETTINGS").v);
    put("DICTIONARY_PLOTSTYLENAME", dictEntry(root, "ACAD_PLOTSTYLENAME").v);
    put("BLOCK_RECORD_MSPACE", recordOf(kModelSpace).v);
    put("BLOCK_RECORD_PSPACE", recordOf(kPaperSpace).v);
    put("LTYPE_BYLAYER", ctx_.names.handle(Names::Ltype, "BYLAYER"));
    put("LTYPE_BYBLOCK", ctx_.names.handle(Names::Ltype, "BYBLOCK"));
    put("LTYPE_CONTINUOUS", ctx_.names.handle(Names::Ltype, "CONTINUOUS"));
    put("HANDSEED", d_.nextHandle);
    put("CMLSTYLE", dictEntry(dictEntry(root, "ACAD_MLINESTYLE"), "Standard").v);

    Header h = d_.header;
    HeaderValues vals = headerFromModel(h, ctx_, fixed);
    BitWriter hv(ctx_.rel);
    writeHeaderValues(hv, ctx_, vals);
    std::vector<std::uint8_t> hdata = hv.data();
    hdata.resize(hv.bytePos());

    BitWriter cw(ctx_.rel);
    {
      BitReader none;
      BitWriter noneW(ctx_.rel);
      ObjOut v(cw, noneW, ctx_);
      for (auto& c : classes_) {
        v.BS(c.number);
        v.BS(c.proxyFlags);
        v.TV(c.appName);
        v.TV(c.cppName);
        v.TV(c.dxfName);
        v.B(c.wasZombie);
        v.BS(c.isEntity ? 0x1F2 : 0x1F3);
      }
    }
    std::vector<std::uint8_t> cdata = cw.data();
    cdata.resize(cw.bytePos());

    const int nSections = 5;
    std::vector<std::uint8_t> file;
    std::size_t headerSize = 25 + 9 * nSections + 2 + 16;
    file.resize(headerSize, 0);
    auto section = [&](const Sentinel& begin, const std::vector<std::uint8_t>& data, const Sentinel& end) {
      std::size_t at = file.size();
      file.insert(file.end(), begin.begin(), begin.end());
      std::vector<std::uint8_t> sized;
      std::uint32_t n = static_cast<std::uint32_t>(data.size());
      for (int k = 0; k < 4; ++k) sized.push_back(static_cast<std::uint8_t>(n >> (8 * k)));
      sized.insert(sized.end(), data.begin(), data.end());
      std::uint16_t crc = crc16(0xC0C1, sized);
      file.insert(file.end(), sized.begin(), sized.end());
      file.push_back(static_cast<std::uint8_t>(crc & 0xFF));
      file.push_back(static_cast<std::uint8_t>(crc >> 8));
      file.insert(file.end(), end.begin(), end.end());
      return Locator{0, static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(file.size() - at)};
    };
    // Preview picture, when the drawing has one.
    std::uint32_t previewAt = 0;
    if (d_.thumbnail.size() >= 80) {
      std::vector<std::uint8_t> bmp;
      auto nib = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
      for (std::size_t i = 0; i + 1 < d_.thumbnail.size(); i += 2)
        bmp.push_back(static_cast<std::uint8_t>(nib(d_.thumbnail[i]) << 4 | nib(d_.thumbnail[i + 1])));
      previewAt = static_cast<std::uint32_t>(file.size());
      file.insert(file.end(), kPreviewBegin.begin(), kPreviewBegin.end());
      std::uint32_t start = previewAt + 16 + 4 + 1 + 9;
      std::uint32_t overall = static_cast<std::uint32_t>(1 + 9 + bmp.size());
      BitWriter p(ctx_.rel);
      p.RL(static_cast<std::int32_t>(overall));
      p.RC(1);
      p.RC(2);
      p.RL(static_cast<std::int32_t>(start));
      p.RL(static_cast<std::int32_t>(bmp.size()));
      file.insert(file.end(), p.data().begin(), p.data().end());
      file.insert(file.end(), bmp.begin(), bmp.end());
      file.insert(file.end(), kPreviewEnd.begin(), kPreviewEnd.end());
    }
    Locator l0 = section(kHeaderBegin, hdata, kHeaderEnd);
    l0.number = 0;
    Locator l1 = section(kClassesBegin, cdata, kClassesEnd);
    l1.number = 1;
    // Objects, in handle order; the map follows.
    std::sort(out_.begin(), out_.end(), [](const Out& a, const Out& b) { return a.handle < b.handle; });
    std::vector<std::pair<std::uint64_t, std::size_t>> map;
    for (auto& o : out_) {
      map.emplace_back(o.handle, file.size());
      file.insert(file.end(), o.bytes.begin(), o.bytes.end());
    }
    Locator l2{2, static_cast<std::uint32_t>(file.size()), 0};
    std::size_t i = 0;
    while (true) {
      BitWriter s(ctx_.rel);
      std::uint64_t lastH = 0;
      std::int64_t lastOff = 0;
      while (i < map.size() && s.bytePos() < 2030) {
        s.UMC(map[i].first - lastH);
        s.MC(static_cast<std::int64_t>(map[i].second) - lastOff);
        lastH = map[i].first;
        lastOff = static_cast<std::int64_t>(map[i].second);
        ++i;
      }
      std::vector<std::uint8_t> body = s.data();
      body.resize(s.bytePos());
      std::size_t size = body.size() + 2;
      std::vector<std::uint8_t> sec{static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size & 0xFF)};
      sec.insert(sec.end(), body.begin(), body.end());
      std::uint16_t crc = crc16(0xC0C1, sec);
      sec.push_back(static_cast<std::uint8_t>(crc >> 8));
      sec.push_back(static_cast<std::uint8_t>(crc & 0xFF));
      file.insert(file.end(), sec.begin(), sec.end());
      if (body.empty()) break;
    }
    l2.size = static_cast<std::uint32_t>(file.size() - l2.address);
    // Measurement (the template section).
    Locator l4{4, static_cast<std::uint32_t>(file.size()), 4};
    std::int16_t measurement = h.measurement;
    file.insert(file.end(), {0, 0, static_cast<std::uint8_t>(measurement & 0xFF), static_cast<std::uint8_t>(measurement >> 8)});
    Locator l3{3, 0, 0};

    BitWriter fh(ctx_.rel);
    const char* magic = releaseMagic(ctx_.rel);
    for (int k = 0; k < 6; ++k) fh.RC(static_cast<std::uint8_t>(magic[k]));
    for (int k = 0; k < 5; ++k) fh.RC(0);
    fh.RC(ctx_.rel == Release::R2000 ? 15 : ctx_.rel == Release::R14 ? 0 : 0);  // maintenance release
    fh.RC(1);
    fh.RL(static_cast<std::int32_t>(previewAt));
    fh.RC(ctx_.rel == Release::R2000 ? 0x17 : ctx_.rel == Release::R14 ? 0x15 : 0x13);
    fh.RC(0);
    fh.RS(static_cast<std::int16_t>(codePageNumber(d_.header.codepage)));
    fh.RL(nSections);
    for (const Locator& l : {l0, l1, l2, l3, l4}) {
      fh.RC(l.number);
      fh.RL(static_cast<std::int32_t>(l.address));
      fh.RL(static_cast<std::int32_t>(l.size));
    }
    std::uint16_t crc = crc16(0xC0C1, fh.data());
    fh.RS(static_cast<std::int16_t>(crc));
    std::copy(fh.data().begin(), fh.data().end(), file.begin());
    std::copy(kFileHeaderEnd.begin(), kFileHeaderEnd.end(), file.begin() + static_cast<std::ptrdiff_t>(fh.data().size()));
    return file;
  }

  Document& d_;
  SaveReport* rep_;
  Ctx ctx_;
  std::vector<ClassDef> classes_;
  std::vector<Out> out_;
  std::uint64_t vxControl_ = 0;
};

}  // namespace
}  // namespace dwg

std::vector<std::uint8_t> writeDwg(const Document& doc, Release release, SaveReport* report) {
  if (release > Release::R2000) release = Release::R2000;
  if (release < Release::R13) throw std::invalid_argument("DWG before R13 is written elsewhere");
  Document copy = doc;
  prepareForRelease(copy, release, report);
  dwg::Writer w(copy, release, report);
  return w.run();
}

void saveDwgFile(const Document& doc, const std::filesystem::path& path, Release release, SaveReport* report) {
  namespace fs = std::filesystem;
  std::vector<std::uint8_t> bytes = writeDwg(doc, release, report);
  fs::path dir = path.parent_path().empty() ? fs::path(".") : path.parent_path();
  std::random_device rd;
  fs::path tmp = dir / (path.filename().string() + ".tmp" + std::to_string(rd() % 1000000));
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!f) throw std::runtime_error("cannot write " + path.string() + ": the folder is not writable");
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    f.flush();
    if (!f) {
      f.close();
      std::error_code ec;
      fs::remove(tmp, ec);
      throw std::runtime_error("cannot write " + path.string() + ": disk full or write error");
    }
  }
  std::error_code ec;
  fs::rename(tmp, path, ec);
  if (ec) {
    fs::remove(tmp, ec);
    throw std::runtime_error("cannot replace " + path.string() + ": " + ec.message());
  }
}

}  // namespace kelvaro::cad
