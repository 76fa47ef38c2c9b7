// Writing DWG files of releases 2.5 to R11/12. The drawing first goes through the conversions
// the DXF writer applies for the same release; the layouts are the ones the reader uses.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <utility>

#include "cadkit/dwg12_entity.h"
#include "cadkit/dwg12_header.h"
#include "cadkit/dwg12_io.h"

namespace kelvaro::cad {
namespace dwg12 {
namespace {

std::string upper(std::string s) {
  for (char& ch : s)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
  return s;
}

template <class Rec>
bool hasEntry(const Table<Rec>& t, const std::string& name) {
  for (const auto& e : t.entries)
    if (sameName(e.rec.name, name)) return true;
  return false;
}

class Writer {
 public:
  Writer(Document& d, Ver ver, SaveReport* rep) : d_(d), ver_(ver), rep_(rep) {
    c_.ver = ver;
    c_.names = &names_;
    c_.cp = &cp_;
  }

  std::string run() {
    completeTables();
    buildNames();
    const bool v11 = ver_ >= Ver::V11;
    // File header and section directory; addresses are patched in at the end.
    out_.bytes(verMagic(ver_));
    out_.fixed("", 5);
    out_.rc(0);
    out_.rc(1);
    out_.rs(3);
    out_.rs(5);
    out_.rs(varCount(ver_));
    out_.rc(0);
    const std::size_t dirAt = out_.pos();
    for (int i = 0; i < 6; ++i) out_.rl(0);
    const std::size_t tablesAt = out_.pos();
    for (int i = 0; i < 5; ++i) writeTableHdr(out_, {});
    std::vector<std::pair<int, std::size_t>> patches;
    for (Tbl t : {Tbl::Block, Tbl::Layer, Tbl::Style, Tbl::Ltype, Tbl::View})
      patches.push_back({static_cast<int>(t), tablesAt + 10 * static_cast<std::size_t>(t)});
    writeHeaderVars(out_, c_, dir_, d_, patches);
    const std::size_t headerEnd = out_.pos();
    if (v11) out_.ru16(0);  // header checksum, once the directory is final

    // Entities of model space (and of paper space in R11/12).
    mark(markBegin(Mark::Entities));
    dir_.entStart = static_cast<std::uint32_t>(out_.pos());
    for (const Block& b : d_.blocks) {
      bool model = sameName(b.name(), kModelSpace), paper = sameName(b.name(), kPaperSpace);
      if (!model && !(paper && v11)) continue;
      for (const Entity& e : b.entities) entity(e, paper);
    }
    dir_.entEnd = static_cast<std::uint32_t>(out_.pos());
    mark(markEnd(Mark::Entities));

    // Tables: the block table is written once the block entities are placed.
    const std::size_t blockTableAt = out_.pos();
    table(Tbl::Block, Mark::Block, [&](FieldOut&, std::size_t) {}, blockCount(), 0);
    table(Tbl::Layer, Mark::Layer, [&](FieldOut& v, std::size_t i) { layout(v, d_.layers.entries[i].rec); },
          d_.layers.entries.size(), 0);
    table(Tbl::Style, Mark::Style, [&](FieldOut& v, std::size_t i) { layout(v, d_.styles.entries[i].rec); },
          d_.styles.entries.size(), 0);
    table(Tbl::Ltype, Mark::Ltype, [&](FieldOut& v, std::size_t i) { layout(v, d_.linetypes.entries[i].rec); },
          d_.linetypes.entries.size(), 0);
    const std::size_t viewSize = ver_ >= Ver::V10 ? 149 : 91;
    table(Tbl::View, Mark::View, [&](FieldOut& v, std::size_t i) { layout(v, d_.views.entries[i].rec, viewSize + (v11 ? 4 : 0)); },
          d_.views.entries.size(), 0);
    if (ver_ >= Ver::V10) {
      table(Tbl::Ucs, Mark::Ucs, [&](FieldOut& v, std::size_t i) { layout(v, d_.ucss.entries[i].rec); },
            d_.ucss.entries.size(), 0);
      table(Tbl::Vport, Mark::Vport, [&](FieldOut& v, std::size_t i) { layout(v, d_.vports.entries[i].rec); },
            d_.vports.entries.size(), 0);
      table(Tbl::AppId, Mark::AppId, [&](FieldOut& v, std::size_t i) { layout(v, d_.appids.entries[i].rec); },
            v11 ? d_.appids.entries.size() : 0, 0);
    }
    if (v11) {
      table(Tbl::DimStyle, Mark::DimStyle, [&](FieldOut& v, std::size_t i) {
        DimStyleEntry r;
        r.rec = d_.dimstyles.entries[i].rec;
        for (const auto& g : d_.dimstyles.entries[i].frame.extras()) r.vars.insert(r.vars.end(), g.tags.begin(), g.tags.end());
        layout(v, r);
      }, d_.dimstyles.entries.size(), 0);
      mark(markBegin(Mark::Vx));
      dir_.vx() = {43, 0, 0, static_cast<std::uint32_t>(out_.pos()), true};
      mark(markEnd(Mark::Vx));
    }

    // Block definitions.
    mark(markBegin(Mark::BlockEntities));
    dir_.blkStart = static_cast<std::uint32_t>(out_.pos());
    blockOffsets_.clear();
    for (const Block& b : d_.blocks) {
      if (!isTableBlock(b)) continue;
      blockOffsets_.push_back(static_cast<std::uint32_t>(out_.pos() - dir_.blkStart) | 0x40000000u);
      inBlock_ = true;
      blockBegin(b);
      for (const Entity& e : b.entities) entity(e, false);
      Entity end;
      end.common = b.endCommon;
      end.frame = b.endFrame;
      EntHead h = headFor(end, kEndBlk, 0, false);
      record(kEndBlk, h, [](FieldOut&) {});
      inBlock_ = false;
    }
    dir_.blkSize = static_cast<std::uint32_t>(out_.pos() - dir_.blkStart);
    mark(markEnd(Mark::BlockEntities));
    mark(markBegin(Mark::ExtraEntities));
    dir_.xStart = static_cast<std::uint32_t>(out_.pos());
    mark(markEnd(Mark::ExtraEntities));

    // Now the block table can be filled in place.
    {
      ByteOut bt;
      std::size_t i = 0;
      for (const Block& b : d_.blocks) {
        if (!isTableBlock(b)) continue;
        BlockEntry r{b.name(), b.begin.flags, blockOffsets_[i++]};
        Ctx c = c_;
        std::size_t at = bt.pos();
        FieldOut v(bt, c);
        layout(v, r, dir_[Tbl::Block].size);
        entryEnd(bt, at, dir_[Tbl::Block].size);
      }
      out_.buf().replace(dir_[Tbl::Block].address, bt.buf().size(), bt.buf());
    }
    (void)blockTableAt;
    if (v11) auxHeader();

    // Patch the directory, the table headers and the header checksum.
    std::uint32_t vals[6] = {dir_.entStart, dir_.entEnd, dir_.blkStart, dir_.blkSize | (v11 || ver_ >= Ver::V2_5 ? 0x40000000u : 0),
                             dir_.xStart, 0x80000000u};
    for (int i = 0; i < 6; ++i) out_.patch32(dirAt + 4 * static_cast<std::size_t>(i), vals[i]);
    for (auto [t, at] : patches) {
      ByteOut h;
      writeTableHdr(h, dir_.tables[t]);
      out_.buf().replace(at, 10, h.buf());
    }
    if (v11) out_.patch16(headerEnd, crc16(kCrcSeed, std::string_view(out_.buf()).substr(0, headerEnd)));
    return std::move(out_.buf());
  }

 private:
  void dropped(const std::string& what, int n = 1) {
    if (rep_) rep_->dropped[what] += n;
  }

  static bool isTableBlock(const Block& b) { return !sameName(b.name(), kModelSpace) && !sameName(b.name(), kPaperSpace) &&
                                                    !(b.name().size() > 12 && sameName(b.name().substr(0, 12), kPaperSpace)); }
  std::size_t blockCount() const {
    std::size_t n = 0;
    for (const Block& b : d_.blocks) n += isTableBlock(b) ? 1 : 0;
    return n;
  }

  void mark(const std::array<std::uint8_t, 16>& m) {
    if (ver_ < Ver::V11) return;
    for (auto b : m) out_.rc(b);
  }

  // Every name an entity or the header uses gets a table entry, as DXF allows names without one.
  void completeTables() {
    auto addLayer = [&](const std::string& n) {
      if (n.empty() || hasEntry(d_.layers, n)) return;
      TableEntry<Layer> e;
      e.rec.name = n;
      d_.layers.entries.push_back(std::move(e));
    };
    auto addLtype = [&](const std::string& n) {
      std::string u = upper(n);
      if (n.empty() || u == "BYLAYER" || u == "BYBLOCK" || hasEntry(d_.linetypes, n)) return;
      TableEntry<Linetype> e;
      e.rec.name = n;
      d_.linetypes.entries.push_back(std::move(e));
    };
    auto addStyle = [&](const std::string& n) {
      if (n.empty() || hasEntry(d_.styles, n)) return;
      TableEntry<TextStyle> e;
      e.rec.name = n;
      d_.styles.entries.push_back(std::move(e));
    };
    addLayer("0");
    addLtype("CONTINUOUS");
    addStyle("STANDARD");
    addLayer(d_.header.clayer);
    addStyle(d_.header.textStyle);
    addLtype(d_.header.celtype);
    for (const auto& l : d_.layers.entries) addLtype(l.rec.linetype);
    auto visit = [&](const EntityCommon& c) {
      addLayer(c.layer);
      addLtype(c.linetype);
    };
    for (const Block& b : d_.blocks) {
      visit(b.common);
      for (const Entity& e : b.entities) {
        visit(e.common);
        if (auto* t = e.as<Text>()) addStyle(t->style);
        if (auto* t = e.as<AttDef>()) addStyle(t->style);
        if (auto* p = e.as<Polyline>())
          for (const auto& v : p->vertices) visit(v.common);
        if (auto* ins = e.as<Insert>())
          for (const auto& a : ins->attribs) visit(a.common), addStyle(a.data.style);
      }
    }
    // Block references need a block to point at.
    std::vector<std::string> missing;
    for (const Block& b : d_.blocks)
      for (const Entity& e : b.entities) {
        std::string n = e.is<Insert>() ? e.get<Insert>().block : e.is<Dimension>() ? e.get<Dimension>().block : "";
        if (!n.empty() && !d_.findBlock(n) && std::find(missing.begin(), missing.end(), n) == missing.end()) missing.push_back(n);
      }
    for (const auto& n : missing) d_.addBlock(n);
    if (ver_ >= Ver::V11 && !hasEntry(d_.dimstyles, "STANDARD") && d_.dimstyles.entries.empty()) {
      TableEntry<DimStyle> e;
      e.rec.name = "STANDARD";
      d_.dimstyles.entries.push_back(std::move(e));
    }
  }

  void buildNames() {
    for (const Block& b : d_.blocks)
      if (isTableBlock(b)) names_.add(Tbl::Block, b.name());
    for (const auto& e : d_.layers.entries) names_.add(Tbl::Layer, e.rec.name);
    for (const auto& e : d_.styles.entries) names_.add(Tbl::Style, e.rec.name);
    for (const auto& e : d_.linetypes.entries) names_.add(Tbl::Ltype, e.rec.name);
    for (const auto& e : d_.views.entries) names_.add(Tbl::View, e.rec.name);
    for (const auto& e : d_.ucss.entries) names_.add(Tbl::Ucs, e.rec.name);
    for (const auto& e : d_.vports.entries) names_.add(Tbl::Vport, e.rec.name);
    for (const auto& e : d_.appids.entries) names_.add(Tbl::AppId, e.rec.name);
    for (const auto& e : d_.dimstyles.entries) names_.add(Tbl::DimStyle, e.rec.name);
  }

  void entryEnd(ByteOut& o, std::size_t at, std::size_t size) {
    std::size_t data = size - (ver_ >= Ver::V11 ? 2 : 0);
    if (o.pos() - at < data) o.fixed("", data - (o.pos() - at));
    if (o.pos() - at > data) o.buf().resize(at + data);
    if (ver_ >= Ver::V11) o.ru16(crc16(kCrcSeed, std::string_view(o.buf()).substr(at, data)));
  }

  template <class Fn>
  void table(Tbl t, Mark m, Fn fn, std::size_t count, std::size_t) {
    static constexpr std::uint16_t kSizes[] = {37, 37, 194, 187, 0, 105, 249, 33, 320};
    std::uint16_t size = kSizes[static_cast<int>(t)];
    if (t == Tbl::View) size = ver_ >= Ver::V10 ? 149 : 91;
    if (ver_ >= Ver::V11) size = static_cast<std::uint16_t>(size + 4);
    if (t == Tbl::Block && ver_ >= Ver::V11) size = 45;
    if (t == Tbl::DimStyle) size = 324;
    if (count > 0x7FFF) {
      dropped(std::string("table entries beyond 32767"), static_cast<int>(count - 0x7FFF));
      count = 0x7FFF;
    }
    mark(markBegin(m));
    TableHdr& h = dir_[t];
    h = {size, static_cast<std::int16_t>(count), 0, static_cast<std::uint32_t>(out_.pos()), true};
    for (std::size_t i = 0; i < count; ++i) {
      std::size_t at = out_.pos();
      Ctx c = c_;
      FieldOut v(out_, c);
      fn(v, i);
      entryEnd(out_, at, size);
    }
    mark(markEnd(m));
  }

  // --- entities --------------------------------------------------------------------------------

  static bool ownZ(std::uint8_t type) { return type == kLine || type == kPoint || type == kFace3d || type == kLine3d; }

  EntHead headFor(const Entity& e, std::uint8_t type, double elev, bool paper) {
    return headFor(e.common, e.frame, type, elev, thicknessOf(e), paper);
  }
  template <class F>
  EntHead headFor(const EntityCommon& com, const F& frame, std::uint8_t type, double elev, double thickness, bool paper) {
    EntHead h;
    h.type = type;
    h.layer = com.layer;
    if (com.color != 256) {
      h.flag |= kHasColor;
      h.color = static_cast<std::uint8_t>(std::clamp<int>(std::abs(com.color), 0, 255));
    }
    if (!com.linetype.empty() && upper(com.linetype) != "BYLAYER") {
      h.flag |= kHasLtype;
      h.ltype = com.linetype;
    }
    if (elev != 0 && (ver_ < Ver::V10 || !ownZ(type))) {
      h.flag |= kHasElev;
      h.elev = elev;
    }
    if (thickness != 0) {
      h.flag |= kHasThickness;
      h.thickness = thickness;
    }
    if (ver_ >= Ver::V10 && frame.handle) {
      h.flag |= kHasHandle;
      h.handle = handleBytes(frame.handle);
    }
    const auto& xd = std::as_const(frame).xdata();
    if (paper && ver_ >= Ver::V11) {
      h.flag |= kHasExtra;
      if (!xd.empty()) {
        if (tagsToEed(xd, names_, cp_, h.eed) && !h.eed.empty()) h.extra |= kExtraXData;
        else dropped("extended data that does not fit");
      }
    } else if (!xd.empty()) {
      dropped(ver_ >= Ver::V11 ? "extended data outside paper space" : "extended data");
    }
    return h;
  }

  static double thicknessOf(const Entity& e) {
    return visitEntity([](const auto& x) -> double {
      if constexpr (requires { x.thickness; }) return x.thickness;
      else return 0.0;
    }, e.data);
  }

  // One record: type, common data, body, and the checksum of R11/12.
  template <class Body>
  std::size_t record(std::uint8_t type, EntHead& h, Body&& body) {
    const std::size_t start = out_.pos();
    Ctx c = c_;
    c.flag = h.flag;
    c.hasElev = (h.flag & kHasElev) && !(ver_ >= Ver::V10 && ownZ(type));
    c.elev = h.elev;
    ByteOut b;
    FieldOut bv(b, c);
    body(bv);
    h.opts = c.opts;
    ByteOut hd;
    Ctx hc = c_;
    FieldOut hv(hd, hc);
    head(hv, h);
    std::size_t total = 1 + hd.pos() + b.pos() + (ver_ >= Ver::V11 ? 2 : 0);
    if (total > 0x7FFF) {
      dropped(std::string("entities too large for the format"));
      return start;
    }
    hd.patch16(1, static_cast<std::uint16_t>(total));
    out_.rc(type);
    out_.bytes(hd.buf());
    out_.bytes(b.buf());
    if (ver_ >= Ver::V11) out_.ru16(crc16(kCrcSeed, std::string_view(out_.buf()).substr(start)));
    return start;
  }

  template <class T>
  void simple(const Entity& e, std::uint8_t type, T x, double elev, bool paper) {
    EntHead h = headFor(e, type, elev, paper);
    record(type, h, [&](FieldOut& v) { body(v, x); });
  }

  void seqEnd(const EntityCommon& com, const Frame& f, std::size_t headAt, bool paper) {
    EntHead h = headFor(com, f, kSeqEnd, 0, 0, paper);
    record(kSeqEnd, h, [&](FieldOut& v) {
      std::uint32_t at = static_cast<std::uint32_t>(headAt);
      v.rl(at);
    });
  }

  void entity(const Entity& e, bool paper) {
    if (auto* x = e.as<Line>()) {
      if (ver_ < Ver::V10 && x->start.z != x->end.z && rep_) rep_->converted["LINE with two heights -> LINE at its start height"]++;
      return simple(e, kLine, *x, x->start.z, paper);
    }
    if (auto* x = e.as<Point>()) return simple(e, kPoint, *x, x->location.z, paper);
    if (auto* x = e.as<Circle>()) return simple(e, kCircle, *x, x->center.z, paper);
    if (auto* x = e.as<Arc>()) return simple(e, kArc, *x, x->center.z, paper);
    if (auto* x = e.as<Solid>()) return simple(e, kSolid, *x, x->p[0].z, paper);
    if (auto* x = e.as<Trace>()) return simple(e, kTrace, *x, x->p[0].z, paper);
    if (auto* x = e.as<Face3d>()) {
      if (ver_ < Ver::V10 && x->invisibleEdges && rep_) rep_->converted["3DFACE with hidden edges -> 3DFACE with all edges shown"]++;
      return simple(e, kFace3d, *x, 0, paper);
    }
    if (auto* x = e.as<Text>()) return simple(e, kText, *x, x->insert.z, paper);
    if (auto* x = e.as<AttDef>()) return simple(e, kAttDef, *x, x->insert.z, paper);
    if (auto* x = e.as<Dimension>()) return simple(e, kDimension, *x, x->textMid.z, paper);
    if (auto* x = e.as<Viewport>()) {
      if (ver_ < Ver::V11) return dropped("VIEWPORT");
      return simple(e, kViewport, *x, 0, paper);
    }
    if (auto* x = e.as<Insert>()) {
      EntHead h = headFor(e, kInsert, x->insert.z, paper);
      bool follows = !x->attribs.empty();
      if (follows) h.flag |= kFollows;
      Insert copy = *x;
      std::size_t at = record(kInsert, h, [&](FieldOut& v) { body(v, copy); });
      if (!follows) return;
      for (const Attrib& a : x->attribs) {
        EntHead ah = headFor(a.common, a.frame, kAttrib, a.data.insert.z, a.data.thickness, paper);
        AttribData d = a.data;
        record(kAttrib, ah, [&](FieldOut& v) { body(v, d); });
      }
      return seqEnd(x->seqend.common, x->seqend.frame, at, paper);
    }
    if (auto* x = e.as<Polyline>()) {
      EntHead h = headFor(e, kPolyline, x->elevation.z, paper);
      h.flag |= kFollows;
      Polyline copy = *x;
      std::size_t at = record(kPolyline, h, [&](FieldOut& v) { body(v, copy); });
      const bool is3d = (x->flags & (8 | 16 | 64)) != 0;
      bool flattened = false;
      for (const Vertex& vx : x->vertices) flattened = flattened || (!is3d && vx.data.location.z != x->elevation.z);
      if (flattened && rep_) rep_->converted["2D POLYLINE vertex heights -> the polyline's elevation"]++;
      for (const Vertex& vx : x->vertices) {
        double z = is3d ? vx.data.location.z : x->elevation.z;
        if (faceRecord(vx.data)) z = 0;
        EntHead vh = headFor(vx.common, vx.frame, kVertex, z, 0, paper);
        VertexData d = vx.data;
        record(kVertex, vh, [&](FieldOut& v) { body(v, d); });
      }
      return seqEnd(x->seqend.common, x->seqend.frame, at, paper);
    }
    dropped(typeName(e.data));
  }

  void blockBegin(const Block& b) {
    Entity e;
    e.common = b.common;
    e.frame = b.frame;
    EntHead h = headFor(e, kBlock, b.begin.base.z, false);
    BlockBegin begin = b.begin;
    record(kBlock, h, [&](FieldOut& v) { body(v, begin); });
  }

  void auxHeader() {
    mark(markBegin(Mark::AuxHeader));
    const std::size_t at = out_.pos();
    out_.rs(16);
    out_.rs(138);
    out_.rl(dir_.entStart);
    out_.rl(dir_.entEnd);
    out_.rl(dir_.blkStart);
    out_.rl(dir_.xStart);
    out_.rs(d_.header.handling);
    for (int i = 7; i >= 0; --i) out_.rc(static_cast<std::uint8_t>(d_.header.handseed.v >> (8 * i)));
    out_.rs(10);
    const Tbl order[] = {Tbl::Block, Tbl::Layer, Tbl::Style, Tbl::Ltype, Tbl::View, Tbl::Ucs, Tbl::Vport, Tbl::AppId, Tbl::DimStyle};
    const int ids[] = {1, 2, 3, 5, 6, 7, 8, 9, 10};
    for (int i = 0; i < 9; ++i) {
      const TableHdr& t = dir_[order[i]];
      out_.rs(ids[i]);
      out_.ru16(t.size);
      out_.rs(t.count);
      out_.rl(t.address);
    }
    out_.rs(11);
    out_.ru16(dir_.vx().size);
    out_.rs(0);
    out_.rl(dir_.vx().address);
    out_.rl(static_cast<std::uint32_t>(at - 16));
    out_.ru16(crc16(kCrcSeed, std::string_view(out_.buf()).substr(at)));
    mark(markEnd(Mark::AuxHeader));
  }

  Document& d_;
  Ver ver_;
  SaveReport* rep_;
  Ctx c_;
  Names names_;
  CodePage cp_{"ANSI_1252"};
  ByteOut out_;
  Directory dir_;
  std::vector<std::uint32_t> blockOffsets_;
  bool inBlock_ = false;
};

}  // namespace

bool tagsToEed(const std::vector<Tag>& tags, const Names& names, const CodePage& cp, std::string& raw) {
  ByteOut o;
  for (std::size_t i = 0; i < tags.size(); ++i) {
    const Tag& t = tags[i];
    int code = t.code - 1000;
    switch (code) {
      case 0: {
        std::string s = plainAscii(t.asText()) ? t.asText() : cp.encode(t.asText());
        if (s.size() > 255) return raw.clear(), false;
        o.rc(0), o.rc(static_cast<std::uint8_t>(s.size())), o.bytes(s);
        break;
      }
      case 1: {
        int k = names.find(Tbl::AppId, t.asText());
        if (k < 0) return raw.clear(), false;
        o.rc(1), o.rs(k);
        break;
      }
      case 2: o.rc(2), o.rc(t.asText() == "}" ? 1 : 0); break;
      case 3: {
        int k = names.find(Tbl::Layer, t.asText());
        o.rc(3), o.rs(k < 0 ? 0 : k);
        break;
      }
      case 4: {
        std::string hex = t.asText(), b;
        auto nibble = [](char ch) -> int {
          if (ch >= '0' && ch <= '9') return ch - '0';
          if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
          if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
          return -1;
        };
        for (std::size_t k = 0; k + 1 < hex.size(); k += 2) {
          int hi = nibble(hex[k]), lo = nibble(hex[k + 1]);
          if (hi < 0 || lo < 0) return raw.clear(), false;
          b.push_back(static_cast<char>(hi * 16 + lo));
        }
        if (b.size() > 255) return raw.clear(), false;
        o.rc(4), o.rc(static_cast<std::uint8_t>(b.size())), o.bytes(b);
        break;
      }
      case 5: {
        std::uint64_t h = handleFromText(t.asText()).v;
        o.rc(5);
        for (int k = 7; k >= 0; --k) o.rc(static_cast<std::uint8_t>(h >> (8 * k)));
        break;
      }
      case 10: case 11: case 12: case 13: case 14: case 15: {
        double p[3] = {t.asReal(), 0, 0};
        for (int k = 1; k < 3 && i + 1 < tags.size() && tags[i + 1].code == t.code + 10 * k; ++k) p[k] = tags[++i].asReal();
        o.rc(static_cast<std::uint8_t>(code));
        for (double x : p) o.rd(x);
        break;
      }
      case 40: case 41: case 42: o.rc(static_cast<std::uint8_t>(code)), o.rd(t.asReal()); break;
      case 70: o.rc(70), o.rs(static_cast<std::int32_t>(t.asInt())); break;
      case 71: o.rc(71), o.rl(static_cast<std::uint32_t>(t.asInt())); break;
      default: return raw.clear(), false;
    }
  }
  if (o.pos() > 0x7FFF) return raw.clear(), false;
  raw = std::move(o.buf());
  return true;
}

}  // namespace dwg12

std::string writeDwg12(const Document& doc, Release release, SaveReport* report) {
  if (release > Release::R12) release = Release::R12;
  Document copy = doc;
  prepareForRelease(copy, release, report);
  copy.header.acadver = releaseMagic(release);
  return dwg12::Writer(copy, dwg12::verOfRelease(release), report).run();
}

void saveDwg12File(const Document& doc, const std::filesystem::path& path, Release release, SaveReport* report) {
  namespace fs = std::filesystem;
  std::string bytes = writeDwg12(doc, release, report);
  fs::path dir = path.parent_path().empty() ? fs::path(".") : path.parent_path();
  std::random_device rd;
  fs::path tmp = dir / (path.filename().string() + ".tmp" + std::to_string(rd() % 1000000));
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!f) throw std::runtime_error("cannot write " + path.string() + ": the folder is not writable");
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
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
