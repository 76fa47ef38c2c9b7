// DWG reader for R13, R14 and 2000: file header and section locators, header variables,
// classes, the object map, then every object through its description.
#include <algorithm>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "cadkit/dwg/desc_entities.h"
#include "cadkit/dwg/desc_objects.h"
#include "cadkit/dwg/desc_tables.h"
#include "cadkit/dwg/dwg_io.h"
#include "cadkit/dwg/format.h"
#include "cadkit/dwg/header_vars.h"
#include "cadkit/dwg/sections.h"

namespace kelvaro::cad {

bool dwgReadable(std::string_view magic) {
  return magic == "AC1012" || magic == "AC1014" || magic == "AC1015" || magic == "AC1018" || magic == "AC1021" ||
         magic == "AC1024" ||
         magic == "AC1027" || magic == "AC1032";
}

namespace dwg {
namespace {

// What every object starts with, and where its streams are.
struct Parsed {
  std::uint64_t handle = 0;
  int type = 0;
  std::string_view className;  // DXF name for class types (held by the reader)
  bool entity = false;
  std::size_t offset = 0;  // in the objects section
  std::span<const std::uint8_t> bytes;  // into the file
  // Common data. Extended data and reactors are rare on entities: kept apart when present.
  struct Extra {
    std::vector<Tag> xdata;
    std::vector<Handle> reactors;
  };
  std::unique_ptr<Extra> extra;
  Extra& more() {
    if (!extra) extra = std::make_unique<Extra>();
    return *extra;
  }
  std::vector<Tag> takeXdata() { return extra ? std::move(extra->xdata) : std::vector<Tag>{}; }
  Handle xdic, owner;
  std::uint8_t entmode = 2;
  bool nolinks = true;
  Handle prev, next;
  EntityCommon common;
  std::size_t dataBits = 0;   // bits before the handle stream
  BitRange strings;           // the string stream (2007 and later)
  std::size_t bodyStart = 0;  // bit where the record's own data starts
  std::size_t handleStart = 0;  // bit where the record's own handles start
  bool ok = false;
};

int fixedTypeOf(std::string_view dxfName) {
  static const std::pair<const char*, int> kByName[] = {
      {"LWPOLYLINE", kLwPolyline}, {"HATCH", kHatch}, {"XRECORD", kXRecord}, {"ACDBPLACEHOLDER", kPlaceholder},
      {"LAYOUT", kLayout}, {"OLE2FRAME", kOle2Frame}, {"GROUP", kGroup}, {"MLINESTYLE", kMLineStyle},
      {"DICTIONARY", kDictionary}};
  for (const auto& [n, t] : kByName)
    if (dxfName == n) return t;
  return 0;
}

// Objects already placed in the model, by handle: a flag per object rather than a set of
// handles, so marking one allocates nothing.
class Consumed {
 public:
  explicit Consumed(const std::unordered_map<std::uint64_t, std::size_t>& index) : index_(index) {}
  void reserve(std::size_t n) { flag_.reserve(n); }
  void insert(std::uint64_t h) {
    auto it = index_.find(h);
    if (it == index_.end()) return;
    if (flag_.size() <= it->second) flag_.resize(it->second + 1, 0);
    flag_[it->second] = 1;
  }
  std::size_t count(std::uint64_t h) const {
    auto it = index_.find(h);
    return it != index_.end() && it->second < flag_.size() && flag_[it->second];
  }

 private:
  const std::unordered_map<std::uint64_t, std::size_t>& index_;
  std::vector<std::uint8_t> flag_;
};

class Reader {
 public:
  Reader(std::span<const std::uint8_t> file, DwgReadReport* rep) : file_(file), rep_(rep) {}

  Document run() {
    sec_ = readSections(file_, warnings());
    f_ = sec_.objects;
    ctx_.rel = sec_.release;
    ctx_.maint = sec_.maint;
    ctx_.cp = CodePage(codePageName(sec_.codepage));
    doc_.release = sec_.release;
    doc_.binary = false;
    if (sec_.header.empty()) throw DwgError("the file has no header variables");
    if (sec_.handles.empty()) throw DwgError("the file has no object map");
    HeaderValues hv = readHeaderSection(sec_.header, ctx_, warnings());
    classes_ = readClassSection(sec_.classes, ctx_, warnings());
    map_ = readObjectMap(sec_.handles, f_.size(), ctx_.rel, warnings());
    for (std::size_t i = 0; i < classes_.size(); ++i) doc_.classes.push_back(classTags(classes_[i]));
    doc_.thumbnail = previewHex(sec_.preview, previewBase(file_, sec_.preview), ctx_.rel);

    // Every object's common part first; tables next so records can be named.
    objects_.reserve(map_.size());
    index_.reserve(map_.size());
    consumed_.reserve(map_.size());
    for (const auto& [h, off] : map_) {
      Parsed p;
      p.handle = h;
      p.offset = off;
      if (parseCommon(p)) index_[h] = objects_.size();
      objects_.push_back(std::move(p));
    }
    readTables(hv);
    headerToModel(hv, ctx_, doc_.header);
    readEntitiesAndObjects(hv);
    doc_.assignHandles();
    return std::move(doc_);
  }

 private:
  std::vector<std::string>& warnings() { return rep_ ? rep_->warnings : scratch_; }
  void warn(std::string s) {
    if (warnings().size() < 200) warnings().push_back(std::move(s));
  }

  static std::vector<Tag> classTags(const ClassDef& c) {
    return {textTag(1, c.dxfName),   textTag(2, c.cppName),
            textTag(3, c.appName),   intTag(90, c.proxyFlags),
            intTag(280, c.wasZombie), intTag(281, c.isEntity ? 1 : 0)};
  }

  const ClassDef* classOf(int type) const {
    if (type < 500) return nullptr;
    for (const auto& c : classes_)
      if (c.number == type) return &c;
    std::size_t i = static_cast<std::size_t>(type - 500);
    return i < classes_.size() ? &classes_[i] : nullptr;
  }

  // Size, type, handle, extended data and the common entity or object fields.
  bool parseCommon(Parsed& p) {
    BitReader at(f_, ctx_.rel);
    at.seekByte(p.offset);
    std::uint32_t size = at.MS();
    // Since 2010 the handle stream's size in bits follows; it is not part of `size`.
    std::uint64_t handleBits = ctx_.rel >= Release::R2010 ? at.UMC() : 0;
    if (!at.ok() || size == 0 || size > at.bitsLeft() / 8 || handleBits > std::uint64_t(size) * 8) {
      warn("object " + handleText(Handle{p.handle}) + ": size outside the file");
      return false;
    }
    std::size_t start = at.bytePos();
    p.bytes = f_.subspan(start, size);
    // The check value covers the size field and the data.
    if (start + size + 2 <= f_.size()) {
      std::uint16_t want = static_cast<std::uint16_t>(f_[start + size] | (f_[start + size + 1] << 8));
      std::uint16_t got = crc16(0xC0C1, f_.subspan(p.offset, start + size - p.offset));
      if (want != got) warn("object " + handleText(Handle{p.handle}) + ": check value mismatch");
    }
    BitReader d(p.bytes, ctx_.rel);
    p.type = ctx_.rel >= Release::R2010 ? d.OT() : static_cast<std::uint16_t>(d.BS());
    if (const ClassDef* c = classOf(p.type)) {
      p.className = c->dxfName;
      p.entity = c->isEntity;
      // Types with a number of their own may also come as classes.
      if (int fixed = fixedTypeOf(c->dxfName)) p.type = fixed;
    } else if (p.type >= 500) {
      p.className = unknownClasses_.emplace_back("CLASS" + std::to_string(p.type));
    } else {
      p.entity = fixedTypeIsEntity(p.type);
    }
    if (ctx_.rel >= Release::R2010) p.dataBits = std::size_t(size) * 8 - handleBits;
    else if (ctx_.rel >= Release::R2000) p.dataBits = static_cast<std::uint32_t>(d.RL());
    if (ctx_.rel >= Release::R2007) {
      if (p.dataBits > p.bytes.size() * 8) return fail(p, "data size larger than the object");
      p.strings = stringStream(p.bytes, p.dataBits);
    }
    HandleRef self = d.H();
    if (self.value != p.handle) {
      warn("object " + handleText(Handle{p.handle}) + ": stored handle differs from the object map");
      return false;
    }
    readEed(d, p);
    if (p.entity) {
      if (d.B()) {
        std::uint64_t n = ctx_.rel >= Release::R2010 ? d.BLL() : static_cast<std::uint32_t>(d.RL());
        if (n > d.bitsLeft() / 8) return fail(p, "preview larger than the object");
        d.seekBit(d.bitPos() + std::size_t(n) * 8);
      }
      if (ctx_.rel <= Release::R14) p.dataBits = static_cast<std::uint32_t>(d.RL());
      p.entmode = d.BB();
      std::int32_t reactors = d.BL();
      bool xdicMissing = ctx_.rel >= Release::R2004 && d.B();
      bool bylayerLt = true;
      if (ctx_.rel <= Release::R14) bylayerLt = d.B();
      // Since 2004 entities are listed by their owners instead of linked to each other.
      p.nolinks = ctx_.rel >= Release::R2004 || d.B();
      if (ctx_.rel >= Release::R2013) d.B();  // data kept in the drawing's data storage
      bool colorRef = false;
      if (ctx_.rel >= Release::R2004) p.common.color = d.ENC(colorRef).index;
      else p.common.color = d.CMC();
      p.common.ltscale = d.BD();
      std::uint8_t ltFlags = 0, psFlags = 0, matFlags = 0, shadowFlags = 0;
      if (ctx_.rel >= Release::R2000) {
        ltFlags = d.BB();
        psFlags = d.BB();
      }
      if (ctx_.rel >= Release::R2007) {
        matFlags = d.BB();
        shadowFlags = d.RC();
      }
      bool visualStyles[3] = {false, false, false};
      if (ctx_.rel >= Release::R2010)
        for (bool& b : visualStyles) b = d.B();
      p.common.invisible = d.BS();
      if (ctx_.rel >= Release::R2000) p.common.lineweight = lineweightFromIndex(d.RC());
      p.bodyStart = d.bitPos();
      if (!d.ok() || p.dataBits > p.bytes.size() * 8 || reactors < 0) return fail(p, "common entity data overrun");
      BitReader h(p.bytes, ctx_.rel);
      h.seekBit(p.dataBits);
      if (colorRef) handleAt(h, p);  // the colour object; the model keeps the index
      if (p.entmode == 0) p.owner = handleAt(h, p);
      if (static_cast<std::size_t>(reactors) * 8 > h.bitsLeft()) return fail(p, "too many reactors");
      for (std::int32_t i = 0; i < reactors; ++i) p.more().reactors.push_back(handleAt(h, p));
      if (!xdicMissing) p.xdic = handleAt(h, p);
      Handle layer, ltype, plot;
      if (ctx_.rel <= Release::R14) {
        layer = handleAt(h, p);
        if (!bylayerLt) ltype = handleAt(h, p);
      }
      if (!p.nolinks) {
        p.prev = handleAt(h, p);
        p.next = handleAt(h, p);
      }
      if (ctx_.rel >= Release::R2000) {
        layer = handleAt(h, p);
        if (ltFlags == 3) ltype = handleAt(h, p);
      }
      // Material, shadow, plot style and visual styles: the model does not keep them.
      if (matFlags == 3) handleAt(h, p);
      if (shadowFlags == 3) handleAt(h, p);
      if (psFlags == 3) plot = handleAt(h, p);
      for (bool b : visualStyles)
        if (b) handleAt(h, p);
      layerRefs_.push_back({objects_.size(), layer.v, ltype.v, ltFlags});
      p.handleStart = h.bitPos();
      if (!h.ok()) return fail(p, "common entity handles overrun");
    } else {
      if (ctx_.rel <= Release::R14) p.dataBits = static_cast<std::uint32_t>(d.RL());
      std::int32_t reactors = d.BL();
      bool xdicMissing = ctx_.rel >= Release::R2004 && d.B();
      if (ctx_.rel >= Release::R2013) d.B();  // data kept in the drawing's data storage
      p.bodyStart = d.bitPos();
      if (!d.ok() || p.dataBits > p.bytes.size() * 8 || reactors < 0) return fail(p, "common object data overrun");
      BitReader h(p.bytes, ctx_.rel);
      h.seekBit(p.dataBits);
      p.owner = handleAt(h, p);
      if (static_cast<std::size_t>(reactors) * 8 > h.bitsLeft()) return fail(p, "too many reactors");
      for (std::int32_t i = 0; i < reactors; ++i) p.more().reactors.push_back(handleAt(h, p));
      if (!xdicMissing) p.xdic = handleAt(h, p);
      p.handleStart = h.bitPos();
      if (!h.ok()) return fail(p, "common object handles overrun");
    }
    p.ok = true;
    return true;
  }

  bool fail(Parsed& p, const char* what) {
    warn("object " + handleText(Handle{p.handle}) + ": " + what);
    return false;
  }

  static Handle handleAt(BitReader& h, const Parsed& p) { return Handle{absoluteHandle(h.H(), p.handle)}; }

  void readEed(BitReader& d, Parsed& p) {
    for (int guard = 0; guard < 4096; ++guard) {
      std::size_t n = static_cast<std::uint16_t>(d.BS());
      if (n == 0 || !d.ok()) return;
      std::uint64_t app = d.H().value;
      auto data = d.bytes(n);
      if (!d.ok()) return;
      eed_.push_back({objects_.size(), app, std::move(data)});
    }
  }

  // Streams positioned at the record's own data and handles.
  struct Streams {
    BitReader d, h, s;
  };
  Streams streams(const Parsed& p) const {
    // An object without a string stream has only empty texts: a run of "10" bit pairs reads
    // as empty texts however many are asked for.
    static const std::uint8_t kEmptyTexts[512] = {
#define KELVARO_X8 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA
#define KELVARO_X64 KELVARO_X8, KELVARO_X8, KELVARO_X8, KELVARO_X8, KELVARO_X8, KELVARO_X8, KELVARO_X8, KELVARO_X8
        KELVARO_X64, KELVARO_X64, KELVARO_X64, KELVARO_X64, KELVARO_X64, KELVARO_X64, KELVARO_X64, KELVARO_X64
#undef KELVARO_X64
#undef KELVARO_X8
    };
    Streams s{BitReader(p.bytes, ctx_.rel), BitReader(p.bytes, ctx_.rel), BitReader(p.bytes, ctx_.rel)};
    s.d.seekBit(p.bodyStart);
    s.h.seekBit(p.handleStart);
    if (ctx_.rel >= Release::R2007) {
      if (p.strings.empty()) {
        s.s = BitReader(kEmptyTexts, ctx_.rel);
      } else {
        s.s.limitBits(p.strings.end);
        s.s.seekBit(p.strings.begin);
      }
    }
    return s;
  }

  template <class Rec>
  void control(std::uint64_t ctrl, Table<Rec>& t, int recordType, Names names) {
    auto it = index_.find(ctrl);
    if (!ctrl || it == index_.end()) return;
    Parsed& c = objects_[it->second];
    Streams s = streams(c);
    std::int32_t n = (recordType == kLtype || recordType == kUcs || recordType == kVport || recordType == kAppId ||
                      recordType == kDimStyle)
                         ? s.d.BS()
                         : s.d.BL();
    if (recordType == kDimStyle && ctx_.rel >= Release::R2000) s.d.RC();
    if (n < 0 || static_cast<std::size_t>(n) * 8 > s.h.bitsLeft()) {
      warn("table " + std::string(Rec::kTable) + ": entry count larger than the object");
      n = 0;
    }
    t.present = true;
    t.frame.handle = Handle{ctrl};
    frameCommon(c, t.frame, false);
    for (std::int32_t i = 0; i < n; ++i) {
      std::uint64_t h = absoluteHandle(s.h.H(), c.handle);
      auto e = index_.find(h);
      if (e == index_.end()) continue;
      Parsed& p = objects_[e->second];
      if (p.type != recordType) continue;
      TableEntry<Rec> entry;
      entry.frame.handle = Handle{h};
      frameCommon(p, entry.frame, true);
      Streams rs = streams(p);
      ObjIn v(rs.d, rs.h, ctx_, p.handle, &rs.s);
      if constexpr (std::is_same_v<Rec, DimStyle>) {
        tableCommon(v, entry.rec.name, entry.rec.flags);
        std::vector<Tag> tags;
        dimStyleBody(v, tags);
        entry.frame.extras().push_back({Rec::kSub, std::move(tags)});
      } else {
        dwgRecord(v, entry.rec);
      }
      if (!v.ok()) warn("table entry " + handleText(Handle{h}) + " (" + Rec::kTable + "): data overrun");
      ctx_.names.add(names, h, entry.rec.name);
      consumed_.insert(h);
      t.entries.push_back(std::move(entry));
    }
    consumed_.insert(ctrl);
  }

  void frameCommon(const Parsed& p, Frame& f, bool withOwner) {
    f.handle = Handle{p.handle};
    if (withOwner) f.owner = p.owner;
    if (p.extra && !p.extra->reactors.empty()) {
      auto& g = f.appGroups();
      g.push_back(textTag(102, "{ACAD_REACTORS"));
      for (Handle h : p.extra->reactors) g.push_back(textTag(330, handleText(h)));
      g.push_back(textTag(102, "}"));
    }
    if (p.xdic) {
      auto& g = f.appGroups();
      g.push_back(textTag(102, "{ACAD_XDICTIONARY"));
      g.push_back(textTag(360, handleText(p.xdic)));
      g.push_back(textTag(102, "}"));
    }
  }

  std::uint64_t hval(const HeaderValues& hv, const char* name) const {
    auto it = hv.find(name);
    return it == hv.end() ? 0 : it->second.h;
  }

  void readTables(const HeaderValues& hv) {
    // Application names first: extended data refers to them.
    control(hval(hv, "APPID_CONTROL_OBJECT"), doc_.appids, kAppId, Names::AppId);
    control(hval(hv, "LTYPE_CONTROL_OBJECT"), doc_.linetypes, kLtype, Names::Ltype);
    control(hval(hv, "LAYER_CONTROL_OBJECT"), doc_.layers, kLayer, Names::Layer);
    control(hval(hv, "STYLE_CONTROL_OBJECT"), doc_.styles, kStyle, Names::Style);
    control(hval(hv, "VIEW_CONTROL_OBJECT"), doc_.views, kView, Names::View);
    control(hval(hv, "UCS_CONTROL_OBJECT"), doc_.ucss, kUcs, Names::Ucs);
    control(hval(hv, "VPORT_CONTROL_OBJECT"), doc_.vports, kVport, Names::Vport);
    // Linetypes BYLAYER and BYBLOCK are listed by the control object apart from its entries.
    for (const char* n : {"LTYPE_BYLAYER", "LTYPE_BYBLOCK"}) readExtraLinetype(hval(hv, n));
    readBlockRecords(hv);
    control(hval(hv, "DIMSTYLE_CONTROL_OBJECT"), doc_.dimstyles, kDimStyle, Names::DimStyle);
    if (std::uint64_t vx = hval(hv, "VX_CONTROL_OBJECT")) consumed_.insert(vx);
    // Multiline styles are objects; their names come from the dictionary that lists them.
    for (auto& p : objects_)
      if (p.ok && p.type == kMLineStyle) {
        Streams s = streams(p);
        ObjIn v(s.d, s.h, ctx_, p.handle, &s.s);
        std::string name;
        v.TV(name);
        ctx_.names.add(Names::MLineStyle, p.handle, name);
      }
  }

  void readExtraLinetype(std::uint64_t h) {
    auto e = index_.find(h);
    if (!h || e == index_.end() || consumed_.count(h)) return;
    Parsed& p = objects_[e->second];
    if (p.type != kLtype) return;
    TableEntry<Linetype> entry;
    frameCommon(p, entry.frame, true);
    Streams rs = streams(p);
    ObjIn v(rs.d, rs.h, ctx_, p.handle, &rs.s);
    dwgRecord(v, entry.rec);
    ctx_.names.add(Names::Ltype, h, entry.rec.name);
    consumed_.insert(h);
    doc_.linetypes.entries.insert(doc_.linetypes.entries.begin(), std::move(entry));
  }

  struct BlockInfo {
    std::size_t block;  // index in doc_.blocks
    Links links;
    Handle blockEnt, endEnt;
  };

  // Anonymous blocks share their stored name ("*D"): they get the numbers DXF files show, as
  // do further paper space blocks.
  std::string uniqueBlockName(const std::string& name) {
    std::string base = name;
    bool anonymous = name.size() == 2 && name[0] == '*';
    if (sameName(name, kPaperSpace)) base = kPaperSpace;
    std::string u = upper(base);
    if (!anonymous && !usedBlocks_.count(u)) {
      usedBlocks_.insert(u);
      return base;
    }
    for (int n = anonymous ? 1 : 0;; ++n) {
      std::string c = base + std::to_string(n);
      if (usedBlocks_.insert(upper(c)).second) return c;
    }
  }

  void readBlockRecords(const HeaderValues& hv) {
    std::uint64_t ctrl = hval(hv, "BLOCK_CONTROL_OBJECT");
    auto it = index_.find(ctrl);
    if (!ctrl || it == index_.end()) return;
    Parsed& c = objects_[it->second];
    Streams s = streams(c);
    std::int32_t n = s.d.BL();
    if (n < 0 || static_cast<std::size_t>(n) * 8 > s.h.bitsLeft()) n = 0;
    std::vector<std::uint64_t> recs;
    for (std::int32_t i = 0; i < n; ++i) recs.push_back(absoluteHandle(s.h.H(), c.handle));
    // Model and paper space come after the entries.
    std::uint64_t ms = absoluteHandle(s.h.H(), c.handle), ps = absoluteHandle(s.h.H(), c.handle);
    if (!ms) ms = hval(hv, "BLOCK_RECORD_MSPACE");
    if (!ps) ps = hval(hv, "BLOCK_RECORD_PSPACE");
    msRecord_ = ms;
    psRecord_ = ps;
    std::vector<std::uint64_t> all{ms, ps};
    for (auto h : recs)
      if (h != ms && h != ps) all.push_back(h);
    doc_.blockRecords.present = true;
    frameCommon(c, doc_.blockRecords.frame, false);
    consumed_.insert(ctrl);
    for (std::uint64_t h : all) {
      auto e = index_.find(h);
      if (!h || e == index_.end()) continue;
      Parsed& p = objects_[e->second];
      if (p.type != kBlockHeader) continue;
      TableEntry<BlockRecord> entry;
      frameCommon(p, entry.frame, true);
      Block b;
      BlockInfo info;
      Streams rs = streams(p);
      ObjIn v(rs.d, rs.h, ctx_, p.handle, &rs.s);
      dwgRecord(v, entry.rec, b.begin, info.links, info.blockEnt, info.endEnt);
      if (!v.ok()) warn("block record " + handleText(Handle{h}) + ": data overrun");
      if (h == ms) entry.rec.name = kModelSpace;
      else if (h == ps) entry.rec.name = kPaperSpace;
      entry.rec.name = uniqueBlockName(entry.rec.name);
      b.begin.name = entry.rec.name;
      b.begin.name2 = entry.rec.name;
      ctx_.names.add(Names::Block, h, entry.rec.name);
      consumed_.insert(h);
      doc_.blockRecords.entries.push_back(std::move(entry));
      info.block = doc_.blocks.size();
      blockOf_[h] = doc_.blocks.size();
      doc_.blocks.push_back(std::move(b));
      blockInfo_.push_back(info);
    }
  }

  // --- entities and objects -------------------------------------------------------------------

  void readEntitiesAndObjects(const HeaderValues& hv) {
    // Extended data needs application names, entities layer and linetype names.
    for (auto& e : eed_) {
      Parsed& p = objects_[e.object];
      auto& x = p.more().xdata;
      x.push_back(textTag(1001, ctx_.names.name(Names::AppId, e.app)));
      eedToTags(e.data, ctx_, x);
    }
    for (const auto& r : layerRefs_) {
      Parsed& p = objects_[r.object];
      p.common.layer = ctx_.names.name(Names::Layer, r.layer);
      if (p.common.layer.empty()) p.common.layer = "0";
      std::string lt;
      if (ctx_.rel >= Release::R2000) {
        if (r.ltFlags == 1) lt = "BYBLOCK";
        else if (r.ltFlags == 2) lt = "CONTINUOUS";
        else if (r.ltFlags == 3) lt = ctx_.names.name(Names::Ltype, r.ltype);
      } else if (r.ltype) {
        lt = ctx_.names.name(Names::Ltype, r.ltype);
      }
      if (sameName(lt, "BYLAYER")) lt.clear();
      p.common.linetype = lt;
    }
    // Entities by owner, sub-entities by their parent.
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> owned;
    for (std::size_t i = 0; i < objects_.size(); ++i) {
      Parsed& p = objects_[i];
      if (!p.ok || !p.entity || consumed_.count(p.handle)) continue;
      std::uint64_t owner = p.entmode == 1 ? psRecord_ : p.entmode == 2 ? msRecord_ : p.owner.v;
      p.common.paperSpace = p.entmode == 1 || (p.entmode == 0 && owner == psRecord_) ? 1 : 0;
      owned[owner].push_back(i);
    }
    auto byHandle = [&](std::size_t a, std::size_t b) { return objects_[a].handle < objects_[b].handle; };
    for (auto& [o, list] : owned)
      if (!std::is_sorted(list.begin(), list.end(), byHandle)) std::sort(list.begin(), list.end(), byHandle);
    owned_ = &owned;
    for (std::size_t bi = 0; bi < blockInfo_.size(); ++bi) {
      BlockInfo& info = blockInfo_[bi];
      Block& b = doc_.blocks[info.block];
      std::uint64_t rec = doc_.blockRecords.entries[bi].frame.handle.v;
      if (auto e = index_.find(info.blockEnt.v); e != index_.end()) {
        Parsed& p = objects_[e->second];
        frameCommon(p, b.frame, true);
        b.common = p.common;
        Streams s = streams(p);
        std::string name;
        s.d.TV();
        consumed_.insert(p.handle);
      }
      if (auto e = index_.find(info.endEnt.v); e != index_.end()) {
        Parsed& p = objects_[e->second];
        frameCommon(p, b.endFrame, true);
        b.endCommon = p.common;
        consumed_.insert(p.handle);
      }
      b.begin.flags = b.begin.flags;
      std::int16_t viewportId = 0;
      // Sized once: growing a block of many entities would hold two copies of it at a time.
      std::vector<std::size_t> members = chain(rec, info.links.first.v, info.links.last.v, info.links.owned);
      b.entities.reserve(b.entities.size() + members.size());
      for (std::size_t i : members) {
        Entity ent;
        if (!makeEntity(objects_[i], ent)) continue;
        // Viewport numbers are not stored: they follow the order in their layout.
        if (auto* vp = ent.as<Viewport>()) vp->id = ++viewportId;
        b.entities.push_back(std::move(ent));
      }
    }
    // Entities whose owner is no block record are still kept, in model space.
    for (auto& [o, list] : owned) {
      if (blockOf_.count(o) || (index_.count(o) && isParent(objects_[index_[o]]))) continue;
      for (std::size_t i : list) {
        if (consumed_.count(objects_[i].handle)) continue;
        Entity ent;
        if (makeEntity(objects_[i], ent)) {
          doc_.unsupported[typeName(ent.data) + " outside its owner"]++;
          doc_.modelSpace().entities.push_back(std::move(ent));
        }
      }
    }
    // Objects in file order.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < objects_.size(); ++i)
      if (objects_[i].ok && !objects_[i].entity && !consumed_.count(objects_[i].handle)) order.push_back(i);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return objects_[a].offset < objects_[b].offset; });
    for (std::size_t i : order) makeObject(objects_[i]);
    (void)hv;
  }

  static bool isParent(const Parsed& p) {
    return p.type == kPolyline2d || p.type == kPolyline3d || p.type == kPolylineMesh || p.type == kPolylinePface ||
           p.type == kInsert || p.type == kMInsert;
  }

  // The entities an owner holds, in the order its list gives (2004 and later) or following the
  // links from `first`; the rest in handle order.
  std::vector<std::size_t> chain(std::uint64_t owner, std::uint64_t first, std::uint64_t last,
                                 const std::vector<Handle>& listed = {}) {
    std::vector<std::size_t> out;
    auto it = owned_->find(owner);
    if (it == owned_->end()) return out;
    const auto& list = it->second;
    out.reserve(list.size());
    // Marks of this walk: a number per walk instead of a set cleared each time.
    if (taken_.size() != objects_.size()) taken_.assign(objects_.size(), 0);
    const std::uint32_t walk = ++walk_;
    for (Handle h : listed) {
      auto e = index_.find(h.v);
      if (e == index_.end() || taken_[e->second] == walk) continue;
      const Parsed& p = objects_[e->second];
      std::uint64_t po = p.entmode == 1 ? psRecord_ : p.entmode == 2 ? msRecord_ : p.owner.v;
      if (!p.ok || !p.entity || po != owner) continue;
      out.push_back(e->second);
      taken_[e->second] = walk;
    }
    if (!listed.empty()) first = 0;
    std::uint64_t cur = first;
    for (std::size_t guard = 0; cur && guard <= list.size(); ++guard) {
      auto e = index_.find(cur);
      if (e == index_.end() || taken_[e->second] == walk) break;
      const Parsed& p = objects_[e->second];
      if (!p.ok || !p.entity) break;
      std::uint64_t po = p.entmode == 1 ? psRecord_ : p.entmode == 2 ? msRecord_ : p.owner.v;
      if (po != owner) break;
      out.push_back(e->second);
      taken_[e->second] = walk;
      if (cur == last) break;
      if (!p.nolinks) {
        cur = p.next.v;
      } else {
        // Implied links: the next entity of this owner by handle (the list is in handle order).
        auto at = std::upper_bound(list.begin(), list.end(), p.handle,
                                   [&](std::uint64_t h, std::size_t i) { return h < objects_[i].handle; });
        cur = at != list.end() ? objects_[*at].handle : 0;
      }
    }
    for (std::size_t i : list)
      if (taken_[i] != walk) out.push_back(i);
    return out;
  }

  template <class T>
  bool body(Parsed& p, T& data, Links& l) {
    Streams s = streams(p);
    ObjIn v(s.d, s.h, ctx_, p.handle, &s.s);
    dwgBody(v, data, l);
    return v.ok();
  }

  template <class D>
  bool subEntity(std::size_t i, Sub<D>& s, auto&& fn) {
    Parsed& p = objects_[i];
    consumed_.insert(p.handle);
    frameCommon(p, s.frame, true);
    if (auto x = p.takeXdata(); !x.empty()) s.frame.xdata() = std::move(x);
    s.common = std::move(p.common);
    Streams st = streams(p);
    ObjIn v(st.d, st.h, ctx_, p.handle, &st.s);
    fn(v, s.data, p.type);
    if (!v.ok()) warn("entity " + handleText(Handle{p.handle}) + ": data overrun");
    return v.ok();
  }

  bool makeEntity(Parsed& p, Entity& e) {
    if (consumed_.count(p.handle)) return false;
    consumed_.insert(p.handle);
    frameCommon(p, e.frame, true);
    // Most entities have no extended data: their frame then allocates nothing.
    if (auto x = p.takeXdata(); !x.empty()) e.frame.xdata() = std::move(x);
    e.common = std::move(p.common);
    Links l;
    bool ok = true;
    Streams s = streams(p);
    ObjIn v(s.d, s.h, ctx_, p.handle, &s.s);
    auto as = [&](auto value) {
      using T = decltype(value);
      e.data = std::move(value);
      return entityAs<T>(e.data);
    };
    switch (p.type) {
      case kText: dwgBody(v, *as(Text{}), l); break;
      case kAttdef: dwgBody(v, *as(AttDef{}), l); break;
      case kLine: dwgBody(v, *as(Line{}), l); break;
      case kPoint: dwgBody(v, *as(Point{}), l); break;
      case kCircle: dwgBody(v, *as(Circle{}), l); break;
      case kArc: dwgBody(v, *as(Arc{}), l); break;
      case kEllipse: dwgBody(v, *as(Ellipse{}), l); break;
      case kRay: dwgBody(v, *as(Ray{}), l); break;
      case kXLine: dwgBody(v, *as(XLine{}), l); break;
      case kSolid: dwgBody(v, *as(Solid{}), l); break;
      case kTrace: dwgBody(v, *as(Trace{}), l); break;
      case kFace3d: dwgBody(v, *as(Face3d{}), l); break;
      case kSpline: dwgBody(v, *as(Spline{}), l); break;
      case kMText: dwgBody(v, *as(MText{}), l); break;
      case kLeader: dwgBody(v, *as(Leader{}), l); break;
      case kMLine: dwgBody(v, *as(MLine{}), l); break;
      case kViewport:
        dwgBody(v, *as(Viewport{}), l);
        if (ctx_.rel <= Release::R14 && !std::as_const(e.frame).xdata().empty())
          viewportFromMView(e.get<Viewport>(), e.frame.xdata(), ctx_.names);
        break;
      case kLwPolyline: dwgBody(v, *as(LwPolyline{}), l); break;
      case kHatch: dwgBody(v, *as(Hatch{}), l); break;
      case kOle2Frame: dwgBody(v, *as(Ole2Frame{}), l); break;
      case kDimOrdinate: case kDimLinear: case kDimAligned: case kDimAng3pt: case kDimAng2ln: case kDimRadius:
      case kDimDiameter: dimensionBody(v, *as(Dimension{}), p.type); break;
      case kInsert: case kMInsert: {
        Insert* ins = as(Insert{});
        insertBody(v, *ins, l, p.type == kMInsert);
        if (l.hasAttribs) {
          for (std::size_t i : chain(p.handle, l.first.v, l.last.v, l.owned)) {
            if (objects_[i].type == kAttrib) {
              Attrib a;
              subEntity(i, a, [](ObjIn& w, AttribData& d, int) {
                Links none;
                dwgBody(w, d, none);
              });
              ins->attribs.push_back(std::move(a));
            } else if (objects_[i].type == kSeqend) {
              subEntity(i, ins->seqend, [](ObjIn&, Empty&, int) {});
            }
          }
          ins->attribsFollow = 1;
        }
        break;
      }
      case kPolyline2d: case kPolyline3d: case kPolylineMesh: case kPolylinePface: {
        Polyline* pl = as(Polyline{});
        polylineBody(v, *pl, l, p.type);
        for (std::size_t i : chain(p.handle, l.first.v, l.last.v, l.owned)) {
          int t = objects_[i].type;
          if (t >= kVertex2d && t <= kVertexPfaceFace) {
            Vertex vx;
            subEntity(i, vx, [](ObjIn& w, VertexData& d, int type) { vertexBody(w, d, type); });
            pl->vertices.push_back(std::move(vx));
          } else if (t == kSeqend) {
            subEntity(i, pl->seqend, [](ObjIn&, Empty&, int) {});
          }
        }
        break;
      }
      default: {
        // Kept as its bits, written back into files of the same release.
        std::string name = !p.className.empty() ? std::string(p.className) : std::string(fixedTypeName(p.type));
        if (p.className == "IMAGE") {
          dwgBody(v, *as(Image{}), l);
          break;
        }
        e.data = RawEntity{name};
        DwgRaw& raw = e.frame.dwg();
        raw.release = ctx_.rel;
        raw.className = std::string(p.className);
        raw.data.assign(p.bytes.begin(), p.bytes.end());
        doc_.unsupported[name]++;
        return true;
      }
    }
    ok = v.ok();
    if (!ok) warn("entity " + handleText(Handle{p.handle}) + " (" + typeName(e.data) + "): data overrun");
    return true;
  }

  void makeObject(Parsed& p) {
    consumed_.insert(p.handle);
    Object o;
    frameCommon(p, o.frame, true);
    if (auto x = p.takeXdata(); !x.empty()) o.frame.xdata() = std::move(x);
    Streams s = streams(p);
    ObjIn v(s.d, s.h, ctx_, p.handle, &s.s);
    std::string name = !p.className.empty() ? std::string(p.className) : std::string(fixedTypeName(p.type));
    if (name.empty()) name = "TYPE" + std::to_string(p.type);
    if (p.type == kDictionary) {
      Dictionary d;
      dwgObject(v, d);
      o.data = std::move(d);
    } else if (name == "IMAGEDEF") {
      ImageDef d;
      dwgObject(v, d);
      o.data = std::move(d);
    } else if (p.type == kXRecord) {
      XRecord x;
      std::int32_t n = s.d.BL();
      std::vector<std::uint8_t> bytes;
      if (n > 0 && static_cast<std::size_t>(n) <= s.d.bitsLeft() / 8) bytes = s.d.bytes(static_cast<std::size_t>(n));
      if (ctx_.rel >= Release::R2000) x.cloning = s.d.BS();
      ExtraGroup g{"AcDbXrecord", {}};
      xrecordToTags(bytes, ctx_, g.tags);
      // References that follow in the handle stream.
      while (s.h.bitsLeft() >= 8) {
        HandleRef r = s.h.H();
        if (!s.h.ok()) break;
        if (r.value) g.tags.push_back(textTag(340, handleText(Handle{absoluteHandle(r, p.handle)})));
      }
      o.frame.extras().push_back(std::move(g));
      o.data = std::move(x);
    } else if (p.type == kLayout) {
      Layout l;
      std::vector<Tag> plot;
      layoutBody(v, l, plot);
      o.frame.extras().push_back({"AcDbPlotSettings", std::move(plot)});
      o.data = std::move(l);
    } else if (TagObject k = tagObjectOf(name); k != TagObject::None) {
      // Kept as the tags its DXF form has, like the same object read from DXF.
      TagObjectRec r;
      dwgTagObject(v, k, r, k == TagObject::MLineStyle ? linetypeOrder(doc_) : std::vector<std::string>{});
      for (auto& g : tagObjectTags(k, r)) o.frame.extras().push_back(std::move(g));
      o.data = RawObject{name};
      doc_.unsupported[name]++;
    } else {
      o.data = RawObject{name};
      DwgRaw& raw = o.frame.dwg();
      raw.release = ctx_.rel;
      raw.className = std::string(p.className);
      raw.data.assign(p.bytes.begin(), p.bytes.end());
      doc_.unsupported[name]++;
    }
    if (!v.ok() || !s.d.ok()) warn("object " + handleText(Handle{p.handle}) + " (" + name + "): data overrun");
    doc_.objects.push_back(std::move(o));
  }

  std::span<const std::uint8_t> file_;
  SectionBuffers sec_;
  std::span<const std::uint8_t> f_;  // the objects section
  DwgReadReport* rep_;
  std::vector<std::string> scratch_;
  Ctx ctx_;
  Document doc_;
  std::vector<ClassDef> classes_;
  std::deque<std::string> unknownClasses_;  // names given to types without a class
  std::vector<std::pair<std::uint64_t, std::size_t>> map_;
  std::vector<Parsed> objects_;
  std::unordered_map<std::uint64_t, std::size_t> index_;
  Consumed consumed_{index_};
  struct Eed {
    std::size_t object;
    std::uint64_t app;
    std::vector<std::uint8_t> data;
  };
  std::vector<Eed> eed_;
  struct LayerRef {
    std::size_t object;
    std::uint64_t layer, ltype;
    std::uint8_t ltFlags;
  };
  std::vector<LayerRef> layerRefs_;
  std::vector<BlockInfo> blockInfo_;
  std::unordered_map<std::uint64_t, std::size_t> blockOf_;
  std::unordered_map<std::uint64_t, std::vector<std::size_t>>* owned_ = nullptr;
  std::uint64_t msRecord_ = 0, psRecord_ = 0;
  std::vector<std::uint32_t> taken_;  // walk number that last took each object (chain)
  std::uint32_t walk_ = 0;
  std::set<std::string> usedBlocks_;
};

}  // namespace
}  // namespace dwg

Document readDwg(std::span<const std::uint8_t> file, DwgReadReport* report) {
  dwg::Reader r(file, report);
  return r.run();
}

Document readDwgFile(const std::filesystem::path& path, DwgReadReport* report) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw DwgError("cannot open " + path.string());
  std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  return readDwg(data, report);
}

}  // namespace kelvaro::cad
