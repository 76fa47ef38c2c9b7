// DXF writer: every record goes out through its description, for any save-as release.
#include <cstdio>
#include <utility>
#include <fstream>
#include <random>
#include <system_error>

#include "cadkit/dxf_header.h"
#include "cadkit/dxf_io.h"

namespace kelvaro::cad {
namespace {

class Writer {
 public:
  Writer(Document& d, Release rel, const WriteOptions& opt)
      : d_(d), rel_(rel), out_(rel, opt, CodePage(d.header.codepage)), keep_(rel >= d.release) {}

  std::string run() {
    header();
    if (rel_ >= Release::R13) classes();
    tables();
    blocks();
    entities();
    if (rel_ >= Release::R13) objects();
    if (rel_ >= Release::R2000 && !d_.thumbnail.empty()) thumbnail();
    out_.raw(0, "EOF");
    return std::move(out_.bytes());
  }

 private:
  bool handles() const { return rel_ >= Release::R12; }
  bool modern() const { return rel_ >= Release::R13; }

  void begin(const char* name) {
    out_.raw(0, "SECTION");
    out_.raw(2, name);
  }
  void end() { out_.raw(0, "ENDSEC"); }

  void header() {
    begin("HEADER");
    Header& h = d_.header;
    h.acadver = releaseMagic(rel_);
    h.handseed = Handle{d_.nextHandle};
    h.handling = 1;
    writeHeaderVars(h, out_, keep_);
    end();
  }

  void classes() {
    begin("CLASSES");
    if (d_.release >= Release::R13)
      for (const auto& c : d_.classes) {
        out_.raw(0, "CLASS");
        for (const Tag& t : c) out_.tag(t);
      }
    end();
  }

  // `own`: the kept tags are the record's own data (unknown records, objects) and always go out.
  template <class Fn>
  void record(std::string_view type, Frame& f, int handleCode, Handle owner, Fn&& describeAll, bool own = false) {
    out_.raw(0, type);
    if (handles()) out_.handle(handleCode, f.handle);
    if (modern()) {
      if (keep_ || rel_ >= Release::R13)
        for (const Tag& t : std::as_const(f).appGroups()) out_.tag(t);
      out_.handle(330, owner);
    }
    FieldWriter w(out_, &std::as_const(f).extras(), keep_ || own);
    describeAll(w);
    w.finish();
    if (keep_ && modern())
      for (const Tag& t : std::as_const(f).embedded()) out_.tag(t);
    if (rel_ >= Release::R12)
      for (const Tag& t : std::as_const(f).xdata()) out_.tag(t);
  }

  template <class Rec>
  void table(Table<Rec>& t) {
    using R0 = Rec;
    std::string_view name = R0::kTable;
    if (rel_ < R0::kSince) return;
    out_.raw(0, "TABLE");
    out_.raw(2, name);
    if (handles()) out_.handle(5, t.frame.handle);
    if (modern()) {
      out_.raw(330, "0");
      out_.raw(100, "AcDbSymbolTable");
    }
    out_.integer(70, static_cast<std::int64_t>(t.entries.size()));
    if (modern() && name == "DIMSTYLE") {
      out_.raw(100, "AcDbDimStyleTable");
      out_.integer(71, static_cast<std::int64_t>(t.entries.size()));
    }
    int handleCode = name == "DIMSTYLE" ? 105 : 5;
    for (auto& e : t.entries)
      record(name, e.frame, handleCode, t.frame.handle, [&](auto& v) { e.rec.describe(v); });
    out_.raw(0, "ENDTAB");
  }

  void tables() {
    begin("TABLES");
    forEachTable(d_, [&](auto& t) { table(t); });
    end();
  }

  Handle recordOf(std::string_view block) const {
    for (const auto& e : d_.blockRecords.entries)
      if (sameName(e.rec.name, block)) return e.frame.handle;
    return {};
  }

  template <class D>
  void sub(const char* type, Sub<D>& s, Handle owner, const EntityCommon& parent) {
    s.common.paperSpace = parent.paperSpace;
    record(type, s.frame, 5, owner, [&](auto& v) {
      s.common.describe(v);
      s.data.describe(v);
    });
  }

  void entity(Entity& e, Handle owner, bool paper) {
    e.common.paperSpace = paper ? 1 : 0;
    if (auto* ins = e.as<Insert>()) ins->attribsFollow = ins->attribs.empty() ? 0 : 1;
    record(
        typeName(e.data), e.frame, 5, owner,
        [&](auto& v) {
          e.common.describe(v);
          visitEntity([&](auto& x) { x.describe(v); }, e.data);
        },
        isRaw(e.data));
    if (auto* p = e.as<Polyline>()) {
      for (auto& vx : p->vertices) sub("VERTEX", vx, e.frame.handle, e.common);
      sub("SEQEND", p->seqend, e.frame.handle, e.common);
    } else if (auto* ins = e.as<Insert>(); ins && !ins->attribs.empty()) {
      for (auto& a : ins->attribs) sub("ATTRIB", a, e.frame.handle, e.common);
      sub("SEQEND", ins->seqend, e.frame.handle, e.common);
    }
  }

  static bool isPaper(std::string_view name) {
    return name.size() >= 12 && sameName(name.substr(0, 12), kPaperSpace);
  }

  void blocks() {
    begin("BLOCKS");
    for (auto& b : d_.blocks) {
      bool model = sameName(b.name(), kModelSpace), activePaper = sameName(b.name(), kPaperSpace);
      const std::string orig = b.name();
      std::string name = orig;
      if (!modern()) {
        if (model || isPaper(name)) {
          if (rel_ < Release::R12 || !(model || activePaper)) continue;
          name = model ? "$MODEL_SPACE" : "$PAPER_SPACE";
        }
      }
      Handle rec = recordOf(b.name());
      bool paper = isPaper(b.name());
      b.common.paperSpace = paper ? 1 : 0;
      b.begin.name = name;
      b.begin.name2 = name;
      record("BLOCK", b.frame, 5, rec, [&](auto& v) {
        b.common.describe(v);
        b.begin.describe(v);
      });
      b.begin.name = orig;
      if (!(model || activePaper))
        for (auto& e : b.entities) entity(e, rec, paper);
      b.endCommon.paperSpace = b.common.paperSpace;
      b.endCommon.layer = b.common.layer;
      record("ENDBLK", b.endFrame, 5, rec, [&](auto& v) {
        b.endCommon.describe(v);
        b.end.describe(v);
      });
    }
    end();
  }

  void entities() {
    begin("ENTITIES");
    Block& model = d_.modelSpace();
    Handle m = recordOf(kModelSpace);
    for (auto& e : model.entities) entity(e, m, false);
    if (rel_ >= Release::R12) {
      if (Block* paper = d_.findBlock(kPaperSpace)) {
        Handle p = recordOf(kPaperSpace);
        for (auto& e : paper->entities) entity(e, p, true);
      }
    }
    end();
  }

  void objects() {
    begin("OBJECTS");
    for (auto& o : d_.objects)
      record(objectTypeName(o.data), o.frame, 5, o.frame.owner,
             [&](auto& v) { std::visit([&](auto& x) { x.describe(v); }, o.data); }, true);
    end();
  }

  void thumbnail() {
    begin("THUMBNAILIMAGE");
    out_.integer(90, static_cast<std::int64_t>(d_.thumbnail.size() / 2));
    for (std::size_t i = 0; i < d_.thumbnail.size(); i += 254) out_.raw(310, d_.thumbnail.substr(i, 254));
    end();
  }

  Document& d_;
  Release rel_;
  TagSink out_;
  bool keep_;
};

}  // namespace

std::string writeDxf(const Document& doc, Release release, const WriteOptions& opt, SaveReport* report) {
  if (release > Release::R2000) release = Release::R2000;
  Document copy = doc;
  prepareForRelease(copy, release, report);
  Writer w(copy, release, opt);
  return w.run();
}

void saveDxfFile(const Document& doc, const std::filesystem::path& path, Release release, const WriteOptions& opt,
                 SaveReport* report) {
  namespace fs = std::filesystem;
  std::string bytes = writeDxf(doc, release, opt, report);
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
