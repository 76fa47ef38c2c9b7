// Reading DWG files before R13: the file header and its section directory, the header
// variables, the tables (read first, as entities name their entries by index) and the entity,
// block and extra entity sections.
#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "cadkit/dwg12_entity.h"
#include "cadkit/dwg12_header.h"
#include "cadkit/dwg12_io.h"
#include "cadkit/dwg/dwg_io.h"

namespace kelvaro::cad {
namespace dwg12 {
namespace {

Tag real(int code, double x) {
  Tag t;
  t.code = code, t.kind = Tag::kReal, t.real = x;
  return t;
}

std::string hex(std::size_t v) {
  std::ostringstream s;
  s << "0x" << std::hex << v;
  return s.str();
}

class Reader {
 public:
  Reader(std::string_view d, std::vector<std::string>* w) : d_(d), warnings_(w) {}

  Document run() {
    if (d_.size() < 6 || !verFromMagic(d_.substr(0, 6), ver_)) throw DwgError("not a DWG file of release 1.4 to R11/12");
    c_.ver = ver_;
    c_.names = &names_;
    c_.cp = &cp_;
    c_.warnings = warnings_;
    doc_.release = verRelease(ver_);
    doc_.header.acadver = verMagic(ver_);
    doc_.hadHeader = true;
    ByteIn in(d_);
    if (ver_ >= Ver::V2_10) {
      in.seek(0x0D);
      in.rs();  // entity sections
      in.rs();  // table count
      dir_.numVars = in.rs();
      in.rc();
      dir_.entStart = in.rl();
      dir_.entEnd = in.rl();
      dir_.blkStart = in.rl();
      dir_.blkSize = in.rl() & 0xFFFFFF;
      dir_.xStart = in.rl();
      dir_.xSize = in.rl() & 0xFFFFFF;
      for (Tbl t : {Tbl::Block, Tbl::Layer, Tbl::Style, Tbl::Ltype, Tbl::View}) readTableHdr(in, dir_[t]);
    } else {
      in.seek(0x0C);
      dir_.numVars = varCount(ver_);
    }
    if (!in.ok()) throw DwgError("the file is too short for a DWG header");
    std::vector<std::pair<int, int>> indexes;
    try {
      readHeaderVars(in, c_, dir_, doc_, indexes);
    } catch (const std::runtime_error& e) {
      throw DwgError(e.what());
    }
    if (ver_ >= Ver::V11) {
      std::uint16_t want = crc16(kCrcSeed, d_.substr(0, in.pos()));
      if (in.ru16() != want) warn("the header checksum does not match");
    }
    if (ver_ < Ver::V2_10) {
      dir_.entStart = static_cast<std::uint32_t>(in.pos());
      dir_.entEnd = static_cast<std::uint32_t>(d_.size());
    }
    readTables();
    resolveHeaderNames(indexes, names_, doc_);
    doc_.header.acadver = verMagic(ver_);
    doc_.modelSpace();
    readSection(dir_.entStart, dir_.entEnd, Mark::Entities, false);
    if (ver_ >= Ver::V2_10) {
      if (dir_.blkSize) readSection(dir_.blkStart, dir_.blkStart + dir_.blkSize, Mark::BlockEntities, true);
      // Extra entities are reached through jumps from the other sections.
    }
    if (ver_ >= Ver::V11) checkAuxHeader();
    // Layers of 1.4 files are numbers without a table.
    for (const auto& l : oldLayers_) addEntry(doc_.layers, Layer{.name = l});
    settleHandles();
    if (skipped_) warn(std::to_string(skipped_) + " entities could not be read and were left out");
    if (crcBad_) warn(std::to_string(crcBad_) + " records have a wrong checksum");
    return std::move(doc_);
  }

 private:
  void warn(const std::string& w) {
    if (warnings_ && warnings_->size() < 200) warnings_->push_back(w);
  }

  bool markAt(std::size_t at, const std::array<std::uint8_t, 16>& m) const {
    if (at + 16 > d_.size()) return false;
    return std::memcmp(d_.data() + at, m.data(), 16) == 0;
  }
  void checkMarks(std::size_t start, std::size_t end, Mark m, const char* what) {
    if (ver_ < Ver::V11) return;
    if (start < 16 || !markAt(start - 16, markBegin(m))) warn(std::string("the start marker of the ") + what + " is missing");
    if (!markAt(end, markEnd(m))) warn(std::string("the end marker of the ") + what + " is missing");
  }

  // Handles come from the file (R10 and later); the spaces get none of their own, a repeated
  // handle is dropped (and given a fresh one on save), and new ones start past all of them.
  void settleHandles() {
    for (const char* space : {kModelSpace, kPaperSpace})
      if (Block* b = doc_.findBlock(space)) b->frame.handle = b->endFrame.handle = {};
    std::vector<std::uint64_t> all;
    std::uint64_t top = doc_.header.handseed.v;
    forEachFrame(doc_, [&](Frame& f) {
      if (f.handle) all.push_back(f.handle.v), top = std::max(top, f.handle.v + 1);
    });
    doc_.nextHandle = std::max<std::uint64_t>(top, 1);
    std::sort(all.begin(), all.end());
    if (std::adjacent_find(all.begin(), all.end()) == all.end()) return;
    std::set<std::uint64_t> seen;
    forEachFrame(doc_, [&](Frame& f) {
      if (f.handle && !seen.insert(f.handle.v).second) f.handle = {};
    });
  }

  // R11/12 end with a copy of the section directory; a file cut short loses it first.
  void checkAuxHeader() {
    std::size_t at = static_cast<std::size_t>(dir_.xStart) + dir_.xSize + 16;
    if (!markAt(at, markBegin(Mark::AuxHeader))) return warn("the closing directory of the file is missing");
    ByteIn in(d_, at + 16);
    in.rs();
    std::uint16_t size = in.ru16();
    std::size_t end = at + 16 + size;
    if (size < 2 || end + 16 > d_.size()) return warn("the closing directory of the file is cut short");
    ByteIn crc(d_, end - 2);
    if (crc.ru16() != crc16(kCrcSeed, d_.substr(at + 16, size - 2))) warn("the closing directory's checksum does not match");
    if (!markAt(end, markEnd(Mark::AuxHeader))) warn("the end marker of the closing directory is missing");
  }

  // --- tables ----------------------------------------------------------------------------------

  template <class Fn>
  void eachEntry(Tbl t, Mark m, const char* what, std::size_t minSize, Fn fn) {
    const TableHdr& h = dir_[t];
    if (!h.present || h.count <= 0) return;
    if (h.size < minSize || h.size > 4096) return warn(std::string("the ") + what + " table has a bad entry size");
    std::size_t total = static_cast<std::size_t>(h.count) * h.size;
    if (h.address > d_.size() || total > d_.size() - h.address)
      return warn(std::string("the ") + what + " table runs past the end of the file");
    checkMarks(h.address, h.address + total, m, (std::string(what) + " table").c_str());
    for (int i = 0; i < h.count; ++i) {
      std::size_t at = h.address + static_cast<std::size_t>(i) * h.size;
      std::size_t end = at + h.size;
      if (ver_ >= Ver::V11) {
        end -= 2;
        ByteIn crc(d_, end);
        if (crc.ru16() != crc16(kCrcSeed, d_.substr(at, end - at))) ++crcBad_;
      }
      ByteIn in(d_, at, end);
      Ctx c = c_;
      FieldIn v(in, c);
      fn(v, static_cast<std::size_t>(h.size));
      if (!in.ok()) warn(std::string("a ") + what + " entry is cut short");
    }
  }

  template <class Rec>
  void addEntry(Table<Rec>& table, Rec&& rec) {
    table.present = true;
    TableEntry<Rec> e;
    e.rec = std::move(rec);
    table.entries.push_back(std::move(e));
  }

  void readTables() {
    for (auto* t : {&dir_[Tbl::Block], &dir_[Tbl::Layer], &dir_[Tbl::Style], &dir_[Tbl::Ltype], &dir_[Tbl::View]})
      t->present = t->present && ver_ >= Ver::V2_10;
    eachEntry(Tbl::Ltype, Mark::Ltype, "linetype", 33, [&](FieldIn& v, std::size_t) {
      Linetype r;
      layout(v, r);
      names_.add(Tbl::Ltype, r.name);
      addEntry(doc_.linetypes, std::move(r));
    });
    eachEntry(Tbl::Layer, Mark::Layer, "layer", 33, [&](FieldIn& v, std::size_t) {
      Layer r;
      layout(v, r);
      if (r.linetype == "BYLAYER" || r.linetype == "BYBLOCK") r.linetype = "CONTINUOUS";
      names_.add(Tbl::Layer, r.name);
      addEntry(doc_.layers, std::move(r));
    });
    eachEntry(Tbl::Style, Mark::Style, "text style", 33, [&](FieldIn& v, std::size_t) {
      TextStyle r;
      layout(v, r);
      names_.add(Tbl::Style, r.name);
      addEntry(doc_.styles, std::move(r));
    });
    eachEntry(Tbl::View, Mark::View, "view", 33, [&](FieldIn& v, std::size_t size) {
      View r;
      layout(v, r, size);
      names_.add(Tbl::View, r.name);
      addEntry(doc_.views, std::move(r));
    });
    eachEntry(Tbl::Ucs, Mark::Ucs, "UCS", 33, [&](FieldIn& v, std::size_t) {
      Ucs r;
      layout(v, r);
      names_.add(Tbl::Ucs, r.name);
      addEntry(doc_.ucss, std::move(r));
    });
    eachEntry(Tbl::Vport, Mark::Vport, "viewport", 33, [&](FieldIn& v, std::size_t) {
      Vport r;
      layout(v, r);
      names_.add(Tbl::Vport, r.name);
      addEntry(doc_.vports, std::move(r));
    });
    eachEntry(Tbl::AppId, Mark::AppId, "application", 33, [&](FieldIn& v, std::size_t) {
      AppId r;
      layout(v, r);
      names_.add(Tbl::AppId, r.name);
      addEntry(doc_.appids, std::move(r));
    });
    eachEntry(Tbl::DimStyle, Mark::DimStyle, "dimension style", 33, [&](FieldIn& v, std::size_t) {
      DimStyleEntry r;
      layout(v, r);
      names_.add(Tbl::DimStyle, r.rec.name);
      doc_.dimstyles.present = true;
      TableEntry<DimStyle> e;
      e.rec = r.rec;
      e.frame.extras().push_back({"AcDbDimStyleTableRecord", std::move(r.vars)});
      doc_.dimstyles.entries.push_back(std::move(e));
    });
    eachEntry(Tbl::Block, Mark::Block, "block", 33, [&](FieldIn& v, std::size_t size) {
      BlockEntry r;
      layout(v, r, size);
      // Anonymous blocks are stored by their letter alone and named with their table index.
      if ((r.flags & 1) && r.name.size() == 2 && r.name[0] == '*') r.name += std::to_string(blocks_.size());
      names_.add(Tbl::Block, r.name);
      blocks_.push_back(std::move(r));
    });
  }

  // --- entities --------------------------------------------------------------------------------

  // Blocks are named by their index: adding a block moves the others.
  struct Seq {
    std::size_t block = 0, index = 0;
    bool open = false;
  };
  Entity* seqEntity() {
    if (!seq_.open || seq_.block >= doc_.blocks.size()) return nullptr;
    auto& l = doc_.blocks[seq_.block].entities;
    return seq_.index < l.size() ? &l[seq_.index] : nullptr;
  }
  Block* curBlock() { return block_ < doc_.blocks.size() ? &doc_.blocks[block_] : nullptr; }
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  void readSection(std::size_t start, std::size_t end, Mark m, bool blocks) {
    if (end > d_.size()) {
      warn("an entity section runs past the end of the file");
      end = d_.size();
    }
    if (start >= end) return;
    checkMarks(start, end, m, blocks ? "block entities" : "entities");
    block_ = kNone;
    seq_ = {};
    std::size_t pos = start, segEnd = end;
    std::uint32_t count = 0;
    std::set<std::size_t> jumps;
    while (pos < segEnd) {
      if (ver_ < Ver::V2_10) {
        if (count++ >= dir_.entityCount) break;
        if (!readOld(pos, segEnd)) break;
        continue;
      }
      ByteIn peek(d_, pos, segEnd);
      std::uint8_t type = peek.rc();
      peek.rc();
      std::uint16_t size = peek.ru16();
      const std::size_t minSize = ver_ >= Ver::V11 ? 10 : 8;
      if (!peek.ok() || size < minSize || size > segEnd - pos) {
        warn("the entity at offset " + hex(pos) + " has a bad size; the rest of its section is left out");
        break;
      }
      std::size_t entEnd = pos + size, dataEnd = entEnd;
      if (ver_ >= Ver::V11) {
        dataEnd -= 2;
        ByteIn crc(d_, dataEnd);
        if (crc.ru16() != crc16(kCrcSeed, d_.substr(pos, dataEnd - pos))) ++crcBad_;
      }
      if (type == kJump) {
        // The stream goes on elsewhere: in the extra entities section when the top bit is set,
        // else at a file offset in this section.
        // The top byte names the section: 0x80 the extra entities, 0x40 the blocks (offsets
        // within them), none this section (a file offset).
        std::uint32_t addr = peek.rl();
        std::size_t target = addr & 0xFFFFFF, targetEnd = end;
        const std::uint32_t top = addr >> 24;
        bool inside = false;
        if (top == 0x80 || top == 0x40) {
          std::size_t base = top == 0x80 ? dir_.xStart : dir_.blkStart;
          target += base;
          targetEnd = base + (top == 0x80 ? dir_.xSize : dir_.blkSize);
          inside = target < targetEnd && targetEnd <= d_.size();
        } else if (top == 0) {
          inside = target >= start && target < end;
        }
        if (!peek.ok() || !inside || !jumps.insert(pos).second || jumps.size() > 100000) {
          warn("a jump at offset " + hex(pos) + " leads nowhere; reading goes on after it");
          pos = entEnd;
          continue;
        }
        pos = target;
        segEnd = targetEnd;
        continue;
      }
      // Jumps may lead back over read entities; no file holds more entities than bytes / 8.
      if (++parsed_ > d_.size() / 8 + 16) {
        warn("the entities loop back on themselves; reading stops");
        break;
      }
      if (!(type & 0x80)) {  // the high bit marks an erased entity
        ByteIn in(d_, pos + 1, dataEnd);
        entity(in, type, blocks, pos - start);
      }
      pos = entEnd;
      if (pos >= segEnd && segEnd != end) warn("the extra entities end without a jump back");
    }
  }

  // Releases before 2.0 store neither flags nor sizes, and name layers by number: an entity
  // that cannot be read ends the section.
  bool readOld(std::size_t& pos, std::size_t end) {
    ByteIn in(d_, pos, end);
    std::uint16_t raw = in.ru16();
    // Erased entities carry their type negated.
    const bool erased = raw > 127;
    const int t = erased ? std::abs(static_cast<int>(static_cast<std::int8_t>(raw & 0xFF))) : raw;
    ByteIn probe(d_, in.pos(), end);
    std::string layer = std::to_string(static_cast<std::uint16_t>(probe.rs()));
    oldLayers_.insert(layer);
    switch (t) {
      case kLine: case kPoint: case kCircle: case kText: case kArc: case kTrace: case kSolid:
      {
        Block* b = block_ != kNone ? curBlock() : &doc_.modelSpace();
        std::size_t n = b ? b->entities.size() : 0;
        entity(in, static_cast<std::uint8_t>(t), block_ != kNone, 0);
        if (erased && b && b->entities.size() > n) b->entities.pop_back();
        break;
      }
      case kShape: {
        Ctx c = c_;
        FieldIn v(in, c);
        Entity e;
        Vec3 p;
        double size = 1, rot = 0;
        v.idx(e.common.layer, Tbl::Layer, true);
        v.pz(p);
        v.rd(size);
        v.ang(rot);
        in.rs();
        if (!in.ok() || erased) break;
        e.data = RawEntity{"SHAPE"};
        e.frame.extras().push_back({"", {real(10, p.x), real(20, p.y), real(30, 0), real(40, size), real(50, rot)}});
        Block* target = block_ != kNone ? curBlock() : &doc_.modelSpace();
        if (target) target->entities.push_back(std::move(e));
        break;
      }
      case kRepeat: in.rs(); doc_.unsupported["REPEAT"]++; break;
      case kEndRep: in.rs(), in.skip(20); doc_.unsupported["ENDREP"]++; break;
      case kLoad: {
        in.rs();
        in.skip(in.ru16());
        doc_.unsupported["LOAD"]++;
        break;
      }
      case kBlock: {
        Ctx c = c_;
        FieldIn v(in, c);
        std::string skipLayer, name;
        v.idx(skipLayer, Tbl::Layer, true);
        v.tv(name);
        BlockBegin b;
        v.pz(b.base);
        if (!in.ok() || erased) break;
        if (name.empty()) name = "*BLOCK" + std::to_string(doc_.blocks.size());
        Block* existing = doc_.findBlock(name);
        Block& blk = existing ? *existing : doc_.addBlock(name);
        blk.begin = std::move(b);
        blk.begin.name = name;
        blk.common.layer = layer;
        blk.frame.handle = blk.endFrame.handle = {};
        block_ = static_cast<std::size_t>(&blk - doc_.blocks.data());
        break;
      }
      case kEndBlk: in.rs(); block_ = kNone; break;
      case kInsert: {
        Ctx c = c_;
        FieldIn v(in, c);
        Entity e;
        Insert x;
        v.idx(e.common.layer, Tbl::Layer, true);
        v.tv(x.block);
        v.pz(x.insert);
        v.rd(x.sx), v.rd(x.sy);
        v.ang(x.rotation);
        if (!in.ok() || erased) break;
        e.data = std::move(x);
        Block* target = block_ != kNone ? curBlock() : &doc_.modelSpace();
        if (target) target->entities.push_back(std::move(e));
        break;
      }
      default:
        warn("entity type " + std::to_string(raw) + " at offset " + hex(pos) + " is not known; the rest is left out");
        return false;
    }
    if (!in.ok()) return false;
    pos = in.pos();
    return true;
  }

  template <class T>
  static void setThickness(T& x, double th) {
    if constexpr (requires { x.thickness; }) x.thickness = th;
  }

  void entity(ByteIn& in, std::uint8_t type, bool inBlocks, std::size_t offset) {
    Ctx c = c_;
    FieldIn v(in, c);
    EntHead h;
    h.type = type;
    head(v, h);
    Entity e;
    e.common.layer = h.layer;
    e.common.color = (h.flag & kHasColor) ? static_cast<std::int16_t>(h.color) : 256;
    if (h.flag & kHasLtype) e.common.linetype = h.ltype == "BYLAYER" ? std::string() : h.ltype;
    e.common.paperSpace = (h.flag & kHasExtra) && !inBlocks ? 1 : 0;
    if (h.flag & kHasHandle) e.frame.handle = handleOf(h.handle);
    if (!h.eed.empty()) e.frame.xdata() = eedToTags(h.eed, names_, warnings_);
    auto finish = [&](auto&& data) {
      setThickness(data, h.thickness);
      e.data = std::move(data);
    };
    switch (type) {
      case kLine: { Line x; body(v, x); finish(x); break; }
      case kLine3d: { Line x; body3dLine(v, x); finish(x); break; }
      case kPoint: { Point x; body(v, x); finish(x); break; }
      case kCircle: { Circle x; body(v, x); finish(x); break; }
      case kArc: { Arc x; body(v, x); finish(x); break; }
      case kSolid: { Solid x; body(v, x); finish(x); break; }
      case kTrace: { Trace x; body(v, x); finish(x); break; }
      case kFace3d: { Face3d x; body(v, x); finish(x); break; }
      case kText: { Text x; body(v, x); finish(x); break; }
      case kAttDef: { AttDef x; body(v, x); finish(x); break; }
      case kInsert: { Insert x; body(v, x); x.attribsFollow = (h.flag & kFollows) ? 1 : 0; finish(x); break; }
      case kPolyline: { Polyline x; body(v, x); finish(x); break; }
      case kDimension: { Dimension x; body(v, x); finish(x); break; }
      case kViewport: { Viewport x; body(v, x); finish(x); break; }
      case kShape: {
        Vec3 p;
        double scale = 1;
        std::uint8_t id = 0;
        v.pz(p);
        v.rd(scale);
        v.rc(id);
        e.frame.extras().push_back({"", {real(10, p.x), real(20, p.y), real(30, p.z), real(40, scale)}});
        e.data = RawEntity{"SHAPE"};
        break;
      }
      case kVertex: {
        Vertex x;
        x.common = e.common;
        x.frame = e.frame;
        body(v, x.data);
        if (!in.ok()) return drop();
        Entity* p = seqEntity();
        if (!p || !p->is<Polyline>()) return warn("a vertex outside a polyline at " + hex(in.pos()) + " is left out");
        p->get<Polyline>().vertices.push_back(std::move(x));
        return;
      }
      case kAttrib: {
        Attrib x;
        x.common = e.common;
        x.frame = e.frame;
        body(v, x.data);
        if (!in.ok()) return drop();
        Entity* p = seqEntity();
        if (!p || !p->is<Insert>()) return warn("an attribute outside a block reference is left out");
        p->get<Insert>().attribs.push_back(std::move(x));
        return;
      }
      case kSeqEnd: {
        Entity* p = seqEntity();
        if (p) {
          if (auto* pl = p->as<Polyline>()) pl->seqend.common = e.common, pl->seqend.frame = e.frame;
          if (auto* ins = p->as<Insert>()) ins->seqend.common = e.common, ins->seqend.frame = e.frame;
        }
        seq_.open = false;
        return;
      }
      case kBlock: {
        BlockBegin b;
        body(v, b);
        if (!in.ok()) return drop();
        startBlock(std::move(b), e, offset, inBlocks);
        return;
      }
      case kEndBlk:
        if (Block* b = curBlock()) {
          b->endCommon = e.common;
          b->endFrame = e.frame;
        }
        block_ = kNone;
        seq_.open = false;
        return;
      default:
        doc_.unsupported[type == kJump ? "JUMP" : type == kLoad ? "LOAD" : type == kRepeat ? "REPEAT"
                         : type == kEndRep ? "ENDREP" : "entity type " + std::to_string(type)]++;
        return;
    }
    if (!in.ok()) return drop();
    Block* target = inBlocks ? curBlock() : e.common.paperSpace ? &doc_.paperSpace() : &doc_.modelSpace();
    if (!target) return warn("an entity outside any block at " + hex(in.pos()) + " is left out");
    target->entities.push_back(std::move(e));
    bool follows = (h.flag & kFollows) && (type == kPolyline || type == kInsert);
    seq_ = {static_cast<std::size_t>(target - doc_.blocks.data()), target->entities.size() - 1, follows};
  }

  void drop() { ++skipped_; }

  void startBlock(BlockBegin&& b, const Entity& e, std::size_t offset, bool inBlocks) {
    if (!inBlocks) return warn("a block definition in the entities section is left out");
    const BlockEntry* entry = nullptr;
    for (const auto& be : blocks_)
      if ((be.offset & 0x3FFFFFFF) == offset) entry = &be;
    std::string name = entry ? entry->name : b.name;
    if (name.empty()) {
      name = "*BLOCK" + std::to_string(doc_.blocks.size());
      warn("a block at offset " + hex(offset) + " has no name; it is called " + name);
    }
    Block* existing = doc_.findBlock(name);
    Block& blk = existing ? *existing : doc_.addBlock(name);
    blk.begin = std::move(b);
    blk.begin.name = name;
    if (entry) blk.begin.flags = entry->flags;
    blk.common = e.common;
    blk.frame = e.frame;
    blk.endFrame.handle = {};
    block_ = static_cast<std::size_t>(&blk - doc_.blocks.data());
    seq_.open = false;
  }

  std::string_view d_;
  std::vector<std::string>* warnings_;
  Ver ver_ = Ver::V11;
  Ctx c_;
  Names names_;
  CodePage cp_{"ANSI_1252"};
  Document doc_;
  Directory dir_;
  std::vector<BlockEntry> blocks_;
  std::size_t block_ = kNone;
  Seq seq_;
  int skipped_ = 0, crcBad_ = 0;
  std::set<std::string> oldLayers_;
  std::size_t parsed_ = 0;
};

}  // namespace

// --- extended data -------------------------------------------------------------------------------

std::vector<Tag> eedToTags(std::string_view raw, const Names& names, std::vector<std::string>* warnings) {
  std::vector<Tag> tags;
  ByteIn in(raw);
  CodePage cp("ANSI_1252");
  while (in.left() > 0) {
    std::uint8_t code = in.rc();
    Tag t;
    t.code = 1000 + code;
    switch (code) {
      case 0: {
        std::uint8_t n = in.rc();
        std::string s = in.bytes(n);
        t.text = plainAscii(s) ? s : cp.decode(s, false);
        break;
      }
      case 1: {
        int i = static_cast<std::uint16_t>(in.rs());
        const auto& l = names.of(Tbl::AppId);
        t.text = i < static_cast<int>(l.size()) ? l[static_cast<std::size_t>(i)] : "ACAD";
        break;
      }
      case 2: t.text = in.rc() ? "}" : "{"; break;
      case 3: {
        int i = static_cast<std::uint16_t>(in.rs());
        const auto& l = names.of(Tbl::Layer);
        t.text = i < static_cast<int>(l.size()) ? l[static_cast<std::size_t>(i)] : "0";
        break;
      }
      case 4: {
        std::uint8_t n = in.rc();
        std::string b = in.bytes(n);
        static const char* hx = "0123456789ABCDEF";
        for (unsigned char ch : b) t.text += hx[ch >> 4], t.text += hx[ch & 15];
        break;
      }
      case 5: t.text = handleText(handleOf(in.bytes(8))); break;
      case 10: case 11: case 12: case 13: case 14: case 15: {
        double p[3] = {in.rd(), in.rd(), in.rd()};
        for (int k = 0; k < 3 && in.ok(); ++k) {
          Tag q;
          q.code = t.code + 10 * k;
          q.kind = Tag::kReal;
          q.real = p[k];
          tags.push_back(q);
        }
        continue;
      }
      case 40: case 41: case 42: t.kind = Tag::kReal, t.real = in.rd(); break;
      case 70: t.kind = Tag::kInt, t.integer = in.rs(); break;
      case 71: t.kind = Tag::kInt, t.integer = static_cast<std::int32_t>(in.rl()); break;
      default:
        if (warnings) warnings->push_back("extended data with an unknown item is cut short");
        return tags;
    }
    if (!in.ok()) {
      if (warnings) warnings->push_back("extended data is cut short");
      break;
    }
    tags.push_back(std::move(t));
  }
  return tags;
}

Handle handleOf(std::string_view be) {
  std::uint64_t h = 0;
  for (std::size_t i = 0; i < be.size() && i < 8; ++i) h = (h << 8) | static_cast<std::uint8_t>(be[i]);
  return Handle{h};
}

std::string handleBytes(Handle h) {
  std::string s;
  for (std::uint64_t v = h.v; v; v >>= 8) s.insert(s.begin(), static_cast<char>(v & 0xFF));
  if (s.empty()) s.push_back('\0');
  return s;
}

}  // namespace dwg12

bool isDwg12(std::string_view data) {
  dwg12::Ver v;
  return data.size() >= 6 && dwg12::verFromMagic(data.substr(0, 6), v);
}

const char* dwg12ReleaseName(std::string_view magic) {
  dwg12::Ver v;
  return dwg12::verFromMagic(magic.substr(0, std::min<std::size_t>(6, magic.size())), v) ? dwg12::verName(v) : nullptr;
}

Document readDwg12(std::string_view data, std::vector<std::string>* warnings) {
  return dwg12::Reader(data, warnings).run();
}

Document readDwg12File(const std::filesystem::path& path, std::vector<std::string>* warnings) {
  std::ifstream f(path, std::ios::binary);
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  if (!f || ec) throw DwgError("cannot open " + path.string());
  std::string bytes(static_cast<std::size_t>(size), '\0');
  f.read(bytes.data(), static_cast<std::streamsize>(size));
  bytes.resize(static_cast<std::size_t>(f.gcount()));
  return readDwg12(bytes, warnings);
}

Document readDrawingFile(const std::filesystem::path& path, std::vector<std::string>* warnings) {
  char magic[6] = {};
  std::size_t got = 0;
  {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw DxfError("cannot open " + path.string(), 0);
    f.read(magic, 6);
    got = static_cast<std::size_t>(f.gcount());
  }
  const std::string_view head(magic, got);
  if (isDwg12(head)) return readDwg12File(path, warnings);
  std::string m;
  if (!isDwg(head, &m)) return readDxfFile(path);
  if (!dwgReadable(m)) throw DwgError("DWG release " + m + " is not supported");
  DwgReadReport report;
  Document d = readDwgFile(path, &report);
  if (warnings) warnings->insert(warnings->end(), report.warnings.begin(), report.warnings.end());
  return d;
}

}  // namespace kelvaro::cad
