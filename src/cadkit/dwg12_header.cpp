// Header variables of DWG files before R13: one list gives their order, kinds, DXF group codes,
// the releases that hold them and their defaults; reading and writing both walk it.
#include "cadkit/dwg12_header.h"

#include <cmath>
#include <map>

#include "cadkit/dxf_header.h"

namespace kelvaro::cad::dwg12 {
namespace {

enum class K : std::uint8_t {
  RS, RC, RD, Ang, P2, P3, Text, Time, Index, Table, Seed, RL, Skip,
  FileSize, Count,  // 1.4 to R9: file size and entity count, kept in the directory
  CodePage,
};

struct Var {
  const char* name;  // DXF variable name; empty for values kept only in the file
  K kind;
  int code;
  int arg = 0;  // text width, table, bytes skipped
  Ver since = Ver::V1_4, until = Ver::V11;
  int after = 0;  // present only when the file has more than this many variables
  double d[3] = {0, 0, 0};
};

constexpr Ver A = Ver::V1_4, B = Ver::V2_10;
constexpr int T(Tbl t) { return static_cast<int>(t); }

// The list, in file order.
const Var kVars[] = {
    {"$INSBASE", K::P3, 10},
    {"$PLINEGEN", K::RS, 70, 0, Ver::V10},
    {"", K::FileSize, 0, 0, A, A},
    {"", K::Count, 0, 0, A, Ver::V9},
    {"$EXTMIN", K::P3, 10, 0, A, Ver::V11, 0, {1e20, 1e20, 1e20}},
    {"$EXTMAX", K::P3, 10, 0, A, Ver::V11, 0, {-1e20, -1e20, -1e20}},
    {"$LIMMIN", K::P2, 10},
    {"$LIMMAX", K::P2, 10, 0, A, Ver::V11, 0, {12, 9}},
    {"$VIEWCTR", K::P3, 10, 0, A, Ver::V11, 0, {6, 4.5}},
    {"$VIEWSIZE", K::RD, 40, 0, A, Ver::V11, 0, {9}},
    {"$SNAPMODE", K::RS, 70},
    {"", K::RD, 0, 0, A, A, 0, {1}},
    {"$SNAPUNIT", K::P2, 10, 0, B, Ver::V11, 0, {1, 1}},
    {"$SNAPBASE", K::P2, 10, 0, B},
    {"$SNAPANG", K::Ang, 50, 0, B},
    {"$SNAPSTYLE", K::RS, 70, 0, B},
    {"$SNAPISOPAIR", K::RS, 70, 0, B},
    {"$GRIDMODE", K::RS, 70},
    {"", K::RD, 0, 0, A, A},
    {"$GRIDUNIT", K::P2, 10, 0, B},
    {"$ORTHOMODE", K::RS, 70},
    {"$REGENMODE", K::RS, 70, 0, A, Ver::V11, 0, {1}},
    {"$FILLMODE", K::RS, 70, 0, A, Ver::V11, 0, {1}},
    {"$QTEXTMODE", K::RS, 70, 0, B},
    {"$DRAGMODE", K::RS, 70, 0, B, Ver::V11, 0, {2}},
    {"$LTSCALE", K::RD, 40, 0, B, Ver::V11, 0, {1}},
    {"$TEXTSIZE", K::RD, 40, 0, A, Ver::V11, 0, {0.2}},
    {"$TRACEWID", K::RD, 40, 0, A, Ver::V11, 0, {0.05}},
    {"$CLAYER", K::Index, 8, T(Tbl::Layer)},
    {"$CECOLOR", K::RS, 62, 0, A, A, 0, {256}},
    {"", K::Skip, 0, 8, B},
    {"", K::Skip, 0, 256, A, A},
    {"", K::RD, 0, 0, A, A, 0, {0.18}},
    {"", K::RD, 0, 0, A, A, 0, {1}},
    {"", K::RS, 0, 0, B},
    {"", K::Skip, 0, 6, B, Ver::V9},
    {"$PSLTSCALE", K::RS, 70, 0, Ver::V10, Ver::V11, 0, {1}},
    {"$TREEDEPTH", K::RS, 70, 0, Ver::V10, Ver::V11, 0, {3020}},
    {"", K::RS, 0, 0, Ver::V10},
    {"", K::RD, 0, 0, B, Ver::V11, 0, {1}},
    {"$LUNITS", K::RS, 70, 0, A, Ver::V11, 0, {2}},
    {"$LUPREC", K::RS, 70, 0, A, Ver::V11, 0, {4}},
    {"$DIMTOL", K::RS, 70, 0, A, A},
    {"$DIMLIM", K::RS, 70, 0, A, A},
    {"$AXISMODE", K::RS, 70},
    {"$AXISUNIT", K::P2, 10},
    {"$SKETCHINC", K::RD, 40, 0, A, Ver::V11, 0, {0.1}},
    {"$FILLETRAD", K::RD, 40},
    // 1.4 ends here.
    {"$AUNITS", K::RS, 70, 0, B},
    {"$AUPREC", K::RS, 70, 0, B},
    {"$TEXTSTYLE", K::Index, 7, T(Tbl::Style), B},
    {"$OSMODE", K::RS, 70, 0, B},
    {"$ATTMODE", K::RS, 70, 0, B, Ver::V11, 0, {1}},
    {"$MENU", K::Text, 1, 15, B},
    {"$DIMSCALE", K::RD, 40, 0, B, Ver::V11, 0, {1}},
    {"$DIMASZ", K::RD, 40, 0, B, Ver::V11, 0, {0.18}},
    {"$DIMEXO", K::RD, 40, 0, B, Ver::V11, 0, {0.0625}},
    {"$DIMDLI", K::RD, 40, 0, B, Ver::V11, 0, {0.38}},
    {"$DIMEXE", K::RD, 40, 0, B, Ver::V11, 0, {0.18}},
    {"$DIMTP", K::RD, 40, 0, B},
    {"$DIMTM", K::RD, 40, 0, B},
    {"$DIMTXT", K::RD, 40, 0, B, Ver::V11, 0, {0.18}},
    {"$DIMCEN", K::RD, 40, 0, B, Ver::V11, 0, {0.09}},
    {"$DIMTSZ", K::RD, 40, 0, B},
    {"$DIMTOL", K::RC, 70, 0, B},
    {"$DIMLIM", K::RC, 70, 0, B},
    {"$DIMTIH", K::RC, 70, 0, B, Ver::V11, 0, {1}},
    {"$DIMTOH", K::RC, 70, 0, B, Ver::V11, 0, {1}},
    {"$DIMSE1", K::RC, 70, 0, B},
    {"$DIMSE2", K::RC, 70, 0, B},
    {"$DIMTAD", K::RC, 70, 0, B},
    {"$LIMCHECK", K::RC, 70, 0, B, Ver::V11, 74},
    {"", K::Skip, 0, 46, B, Ver::V11, 74},
    {"$ELEVATION", K::RD, 40, 0, B, Ver::V11, 74},
    {"$THICKNESS", K::RD, 40, 0, B, Ver::V11, 74},
    {"$VIEWDIR", K::P3, 10, 0, B, Ver::V11, 74, {0, 0, 1}},
    {"", K::P3, 0, 0, B, Ver::V11, 74, {1, 0, 0}},
    {"", K::P3, 0, 0, B, Ver::V11, 74, {0, 1, 0}},
    {"", K::P3, 0, 0, B, Ver::V11, 74, {0, 0, 1}},
    {"", K::P3, 0, 0, B, Ver::V11, 74, {1, 0, 0}},
    {"", K::P3, 0, 0, B, Ver::V11, 74, {0, 1, 0}},
    {"", K::P3, 0, 0, B, Ver::V11, 74, {0, 0, 1}},
    {"", K::RS, 0, 0, B, Ver::V11, 74, {2}},
    {"$BLIPMODE", K::RS, 70, 0, B, Ver::V11, 74, {1}},
    {"$DIMZIN", K::RC, 70, 0, B, Ver::V11, 83},
    {"$DIMRND", K::RD, 40, 0, B, Ver::V11, 83},
    {"$DIMDLE", K::RD, 40, 0, B, Ver::V11, 83},
    {"$DIMBLK", K::Text, 1, 33, B, Ver::V11, 83},
    {"", K::RS, 0, 0, B, Ver::V11, 83, {100}},
    {"$COORDS", K::RS, 70, 0, B, Ver::V11, 83, {1}},
    {"$CECOLOR", K::RS, 62, 0, B, Ver::V11, 83, {256}},
    {"$CELTYPE", K::Index, 6, T(Tbl::Ltype), B, Ver::V11, 83},
    {"$TDCREATE", K::Time, 40, 0, B, Ver::V11, 83},
    {"$TDUPDATE", K::Time, 40, 0, B, Ver::V11, 83},
    {"$TDINDWG", K::Time, 40, 0, B, Ver::V11, 83},
    {"$TDUSRTIMER", K::Time, 40, 0, B, Ver::V11, 83},
    {"$USRTIMER", K::RS, 70, 0, B, Ver::V11, 83, {1}},
    {"$FASTZOOM", K::RS, 70, 0, B, Ver::V11, 83, {1}},
    {"$SKPOLY", K::RS, 70, 0, B, Ver::V11, 83},
    {"", K::Skip, 0, 14, B, Ver::V11, 83},
    {"$ANGBASE", K::Ang, 50, 0, B, Ver::V11, 83},
    {"$ANGDIR", K::RS, 70, 0, B, Ver::V11, 83},
    {"$PDMODE", K::RS, 70, 0, B, Ver::V11, 101},
    {"$PDSIZE", K::RD, 40, 0, B, Ver::V11, 101},
    {"$PLINEWID", K::RD, 40, 0, B, Ver::V11, 101},
    {"$USERI1", K::RS, 70, 0, B, Ver::V11, 104},
    {"$USERI2", K::RS, 70, 0, B, Ver::V11, 104},
    {"$USERI3", K::RS, 70, 0, B, Ver::V11, 104},
    {"$USERI4", K::RS, 70, 0, B, Ver::V11, 104},
    {"$USERI5", K::RS, 70, 0, B, Ver::V11, 104},
    {"$USERR1", K::RD, 40, 0, B, Ver::V11, 104},
    {"$USERR2", K::RD, 40, 0, B, Ver::V11, 104},
    {"$USERR3", K::RD, 40, 0, B, Ver::V11, 104},
    {"$USERR4", K::RD, 40, 0, B, Ver::V11, 104},
    {"$USERR5", K::RD, 40, 0, B, Ver::V11, 104},
    {"$DIMALT", K::RC, 70, 0, B, Ver::V11, 114},
    {"$DIMALTD", K::RC, 70, 0, B, Ver::V11, 114, {2}},
    {"$DIMASO", K::RC, 70, 0, B, Ver::V11, 114, {1}},
    {"$DIMSHO", K::RC, 70, 0, B, Ver::V11, 114, {1}},
    {"$DIMPOST", K::Text, 1, 16, B, Ver::V11, 114},
    {"$DIMAPOST", K::Text, 1, 16, B, Ver::V11, 114},
    {"$DIMALTF", K::RD, 40, 0, B, Ver::V11, 120, {25.4}},
    {"$DIMLFAC", K::RD, 40, 0, B, Ver::V11, 120, {1}},
    {"$SPLINESEGS", K::RS, 70, 0, B, Ver::V11, 122, {8}},
    {"$SPLFRAME", K::RS, 70, 0, B, Ver::V11, 122},
    {"$ATTREQ", K::RS, 70, 0, B, Ver::V11, 122, {1}},
    {"$ATTDIA", K::RS, 70, 0, B, Ver::V11, 122},
    {"$CHAMFERA", K::RD, 40, 0, B, Ver::V11, 122},
    {"$CHAMFERB", K::RD, 40, 0, B, Ver::V11, 122},
    {"$MIRRTEXT", K::RS, 70, 0, B, Ver::V11, 122, {1}},
    {"", K::Table, 0, T(Tbl::Ucs), B, Ver::V11, 129},
    {"$DWGCODEPAGE", K::CodePage, 3, 0, B, Ver::V11, 129},
    {"$UCSORG", K::P3, 10, 0, B, Ver::V11, 129},
    {"$UCSXDIR", K::P3, 10, 0, B, Ver::V11, 129, {1, 0, 0}},
    {"$UCSYDIR", K::P3, 10, 0, B, Ver::V11, 129, {0, 1, 0}},
    {"", K::P3, 0, 0, B, Ver::V11, 129},
    {"", K::RD, 0, 0, B, Ver::V11, 129, {50}},
    {"", K::RD, 0, 0, B, Ver::V11, 129},
    {"", K::RD, 0, 0, B, Ver::V11, 129},
    {"", K::RD, 0, 0, B, Ver::V11, 129},
    {"", K::RS, 0, 0, B, Ver::V11, 129},
    {"$DIMTOFL", K::RC, 70, 0, B, Ver::V11, 129},
    {"$DIMBLK1", K::Text, 1, 33, B, Ver::V11, 129},
    {"$DIMBLK2", K::Text, 1, 33, B, Ver::V11, 129},
    {"$DIMSAH", K::RC, 70, 0, B, Ver::V11, 129},
    {"$DIMTIX", K::RC, 70, 0, B, Ver::V11, 129},
    {"$DIMSOXD", K::RC, 70, 0, B, Ver::V11, 129},
    {"$DIMTVP", K::RD, 40, 0, B, Ver::V11, 129},
    {"", K::Skip, 0, 33, B, Ver::V11, 129},
    {"$HANDLING", K::RS, 70, 0, B, Ver::V11, 129, {1}},
    {"$HANDSEED", K::Seed, 5, 0, B, Ver::V11, 129},
    {"$SURFU", K::RS, 70, 0, B, Ver::V11, 129, {6}},
    {"$SURFV", K::RS, 70, 0, B, Ver::V11, 129, {6}},
    {"$SURFTYPE", K::RS, 70, 0, B, Ver::V11, 129, {6}},
    {"$SURFTAB1", K::RS, 70, 0, B, Ver::V11, 129, {6}},
    {"$SURFTAB2", K::RS, 70, 0, B, Ver::V11, 129, {6}},
    {"", K::Table, 0, T(Tbl::Vport), B, Ver::V11, 129},
    {"$FLATLAND", K::RS, 70, 0, B, Ver::V11, 129},
    {"$SPLINETYPE", K::RS, 70, 0, B, Ver::V11, 129, {6}},
    {"", K::RS, 0, 0, B, Ver::V11, 129, {3}},
    {"$UCSNAME", K::Index, 2, T(Tbl::Ucs), B, Ver::V11, 129},
    {"", K::Table, 0, T(Tbl::AppId), B, Ver::V11, 158},
    {"$WORLDVIEW", K::RS, 70, 0, B, Ver::V11, 158, {1}},
    {"", K::Skip, 0, 4, B, Ver::V11, 160},
    {"", K::Table, 0, T(Tbl::DimStyle), B, Ver::V11, 160},
    {"", K::Skip, 0, 5, B, Ver::V11, 160},
    {"$DIMCLRD", K::RS, 70, 0, B, Ver::V11, 160},
    {"$DIMCLRE", K::RS, 70, 0, B, Ver::V11, 160},
    {"$DIMCLRT", K::RS, 70, 0, B, Ver::V11, 160},
    {"$SHADEDGE", K::RS, 70, 0, B, Ver::V11, 160, {3}},
    {"$SHADEDIF", K::RS, 70, 0, B, Ver::V11, 160, {70}},
    {"", K::RS, 0, 0, B, Ver::V11, 160},
    {"$UNITMODE", K::RS, 70, 0, B, Ver::V11, 160},
    {"", K::Skip, 0, 32 + 128, B, Ver::V11, 160},
    {"$DIMTFAC", K::RD, 40, 0, B, Ver::V11, 160, {1}},
    {"$PUCSORG", K::P3, 10, 0, B, Ver::V11, 160},
    {"$PUCSXDIR", K::P3, 10, 0, B, Ver::V11, 160, {1, 0, 0}},
    {"$PUCSYDIR", K::P3, 10, 0, B, Ver::V11, 160, {0, 1, 0}},
    {"$PUCSNAME", K::Index, 2, T(Tbl::Ucs), B, Ver::V11, 160},
    {"$TILEMODE", K::RS, 70, 0, B, Ver::V11, 160, {1}},
    {"$PLIMCHECK", K::RS, 70, 0, B, Ver::V11, 160},
    {"", K::RS, 0, 0, B, Ver::V11, 160},
    {"$PEXTMIN", K::P3, 10, 0, B, Ver::V11, 160, {1e20, 1e20, 1e20}},
    {"$PEXTMAX", K::P3, 10, 0, B, Ver::V11, 160, {-1e20, -1e20, -1e20}},
    {"$PLIMMIN", K::P2, 10, 0, B, Ver::V11, 160},
    {"$PLIMMAX", K::P2, 10, 0, B, Ver::V11, 160, {12, 9}},
    {"$PINSBASE", K::P3, 10, 0, B, Ver::V11, 160},
    {"", K::Table, 0, T(Tbl::Count), B, Ver::V11, 160},
    {"$MAXACTVP", K::RS, 70, 0, B, Ver::V11, 160, {16}},
    {"$DIMGAP", K::RD, 40, 0, B, Ver::V11, 160, {0.09}},
    {"$PELEVATION", K::RD, 40, 0, B, Ver::V11, 160},
    {"$VISRETAIN", K::RS, 70, 0, B, Ver::V11, 204},
};

bool applies(const Var& v, Ver ver, int numVars) {
  return ver >= v.since && ver <= v.until && (v.after == 0 || numVars > v.after);
}

Tag real(int code, double x) {
  Tag t;
  t.code = code;
  t.kind = Tag::kReal;
  t.real = x;
  return t;
}
Tag integer(int code, std::int64_t x) {
  Tag t;
  t.code = code;
  t.kind = Tag::kInt;
  t.integer = x;
  return t;
}
Tag text(int code, std::string s) {
  Tag t;
  t.code = code;
  t.text = std::move(s);
  return t;
}

constexpr double kDeg = 180.0 / 3.14159265358979323846;

void putVar(Document& doc, const char* name, std::vector<Tag> tags) {
  for (auto& hv : doc.header.all)
    if (hv.name == name) {
      hv.tags = std::move(tags);
      return;
    }
  doc.header.all.push_back({name, std::move(tags)});
}

// The typed header fields as the tags a DXF file would carry.
struct TypedVars {
  std::map<std::string, std::vector<Tag>>& vars;
  template <class T>
  void var(const char* name, int code, T& v, Opt = {}) {
    std::vector<Tag> t;
    if constexpr (std::is_same_v<T, std::string>) t.push_back(text(code, v));
    else if constexpr (std::is_same_v<T, double>) t.push_back(real(code, v));
    else if constexpr (std::is_same_v<T, Vec2>) t = {real(code, v.x), real(code + 10, v.y)};
    else if constexpr (std::is_same_v<T, Vec3>) t = {real(code, v.x), real(code + 10, v.y), real(code + 20, v.z)};
    else if constexpr (std::is_same_v<T, AcadDate>) t.push_back(real(code, v.day + v.ms / 86400000.0));
    else if constexpr (std::is_same_v<T, Handle>) t.push_back(text(code, handleText(v)));
    else t.push_back(integer(code, v));
    vars[name] = std::move(t);
  }
};

}  // namespace

int varCount(Ver v) {
  switch (v) {
    case Ver::V1_4: return 74;
    case Ver::V2_10: return 83;
    case Ver::V2_5: return 114;
    case Ver::V2_6: return 122;
    case Ver::V9: return 129;
    case Ver::V10: return 160;
    case Ver::V11: return 205;
  }
  return 205;
}

void readTableHdr(ByteIn& in, TableHdr& t) {
  t.size = in.ru16();
  t.count = in.rs();
  t.flags = in.ru16();
  t.address = in.rl();
  t.present = in.ok();
}

void writeTableHdr(ByteOut& out, const TableHdr& t) {
  out.ru16(t.size);
  out.rs(t.count);
  out.ru16(t.flags);
  out.rl(t.address);
}

void readHeaderVars(ByteIn& in, Ctx& c, Directory& dir, Document& doc, std::vector<std::pair<int, int>>& indexes) {
  FieldIn v(in, c);
  for (const Var& var : kVars) {
    if (!applies(var, c.ver, dir.numVars) || !in.ok()) continue;
    std::vector<Tag> tags;
    switch (var.kind) {
      case K::RS:
      case K::RC: {
        std::int16_t x = 0;
        if (var.kind == K::RS) v.rs(x);
        else v.rc(x);
        tags.push_back(integer(var.code, x));
        break;
      }
      case K::RD:
      case K::Ang: {
        double x = 0;
        v.rd(x);
        tags.push_back(real(var.code, var.kind == K::Ang ? x * kDeg : x));
        break;
      }
      case K::P2:
      case K::P3: {
        Vec3 p;
        v.rd(p.x), v.rd(p.y);
        if (var.kind == K::P3) v.rd(p.z);
        tags.push_back(real(var.code, p.x));
        tags.push_back(real(var.code + 10, p.y));
        if (var.kind == K::P3) tags.push_back(real(var.code + 20, p.z));
        break;
      }
      case K::Text: {
        std::string s;
        v.tf(s, static_cast<std::size_t>(var.arg));
        tags.push_back(text(var.code, s));
        break;
      }
      case K::Time: {
        std::uint32_t day = in.rl(), ms = in.rl();
        if (day > 1e8 || ms > 86400000u) day = 0, ms = 0;
        tags.push_back(real(var.code, day + ms / 86400000.0));
        break;
      }
      case K::Index: {
        indexes.push_back({static_cast<int>(&var - kVars), static_cast<std::uint16_t>(in.rs())});
        continue;
      }
      case K::Table:
        readTableHdr(in, dir.tables[var.arg]);
        continue;
      case K::Seed: {
        std::uint64_t h = 0;
        for (int i = 0; i < 8; ++i) h = (h << 8) | in.rc();
        tags.push_back(text(var.code, handleText(Handle{h})));
        break;
      }
      case K::CodePage: {
        std::int16_t cp = in.rs();
        (void)cp;  // the single-byte Windows page of these releases
        tags.push_back(text(var.code, "ANSI_1252"));
        break;
      }
      case K::FileSize: dir.fileSize = in.rl(); continue;
      case K::Count: dir.entityCount = in.ru16(); continue;
      case K::RL: in.rl(); continue;
      case K::Skip: in.skip(static_cast<std::size_t>(var.arg)); continue;
    }
    if (*var.name) putVar(doc, var.name, std::move(tags));
  }
  if (!in.ok()) throw std::runtime_error("the header variables run past the end of the file");
}

void resolveHeaderNames(const std::vector<std::pair<int, int>>& indexes, const Names& names, Document& doc) {
  Ctx c;
  c.names = &names;
  ByteIn none("");
  FieldIn v(none, c);
  for (auto [k, i] : indexes) {
    const Var& var = kVars[k];
    Tbl t = static_cast<Tbl>(var.arg);
    std::string name = v.nameOf(t, i, true);
    if (t == Tbl::Ucs && (i < 0 || i >= static_cast<int>(names.of(t).size()))) name.clear();
    putVar(doc, var.name, {text(var.code, name)});
  }
  cad::readHeaderVars(doc.header);
}

void writeHeaderVars(ByteOut& out, Ctx& c, const Directory& dir, const Document& doc,
                     std::vector<std::pair<int, std::size_t>>& tablePatches) {
  // The typed variables are the truth; the kept ones fill in the rest.
  Header h = doc.header;
  std::map<std::string, std::vector<Tag>> vars;
  for (const auto& hv : h.all) vars[hv.name] = hv.tags;
  TypedVars typed{vars};
  h.describe(typed);
  auto value = [&](const Var& var, int k, double dflt) {
    auto it = vars.find(var.name);
    if (!*var.name || it == vars.end()) return dflt;
    for (const Tag& t : it->second)
      if (t.code == var.code + 10 * k) {
        bool ok = false;
        double d = t.asReal(&ok);
        return ok && std::isfinite(d) ? d : dflt;
      }
    return dflt;
  };
  auto textOf = [&](const Var& var) -> std::string {
    auto it = vars.find(var.name);
    if (!*var.name || it == vars.end() || it->second.empty()) return {};
    return it->second.front().asText();
  };
  FieldOut v(out, c);
  const int numVars = varCount(c.ver);
  for (const Var& var : kVars) {
    if (!applies(var, c.ver, numVars)) continue;
    switch (var.kind) {
      case K::RS: {
        double x = value(var, 0, var.d[0]);
        out.rs(static_cast<std::int32_t>(std::lround(std::fmax(-32768, std::fmin(32767, x)))));
        break;
      }
      case K::RC: out.rc(static_cast<std::uint8_t>(std::lround(std::fmax(0, std::fmin(255, value(var, 0, var.d[0])))))); break;
      case K::RD: out.rd(value(var, 0, var.d[0])); break;
      case K::Ang: out.rd(value(var, 0, var.d[0]) / kDeg); break;
      case K::P2:
      case K::P3:
        out.rd(value(var, 0, var.d[0]));
        out.rd(value(var, 1, var.d[1]));
        if (var.kind == K::P3) out.rd(value(var, 2, var.d[2]));
        break;
      case K::Text: v.tf(textOf(var), static_cast<std::size_t>(var.arg)); break;
      case K::Time: {
        double d = value(var, 0, 0);
        if (!(d >= 0 && d < 1e8)) d = 0;
        double day = std::floor(d);
        auto ms = static_cast<std::int64_t>(std::llround((d - day) * 86400000.0));
        if (ms >= 86400000) ms = 86399999;
        out.rl(static_cast<std::uint32_t>(day));
        out.rl(static_cast<std::uint32_t>(ms));
        break;
      }
      case K::Index: {
        std::string name = textOf(var);
        Tbl t = static_cast<Tbl>(var.arg);
        int i = name.empty() ? (t == Tbl::Ltype ? 32767 : t == Tbl::Ucs ? -1 : 0) : v.indexOf(t, name, true);
        if (t == Tbl::Ltype && name.empty()) i = 32767;
        out.rs(i);
        break;
      }
      case K::Table:
        tablePatches.push_back({var.arg, out.pos()});
        writeTableHdr(out, dir.tables[var.arg]);
        break;
      case K::Seed: {
        std::uint64_t hs = handleFromText(textOf(var)).v;
        for (int i = 7; i >= 0; --i) out.rc(static_cast<std::uint8_t>(hs >> (8 * i)));
        break;
      }
      case K::CodePage: out.rs(30); break;
      case K::FileSize: out.rl(dir.fileSize); break;
      case K::Count: out.ru16(static_cast<std::uint16_t>(dir.entityCount)); break;
      case K::RL: out.rl(0); break;
      case K::Skip: out.fixed("", static_cast<std::size_t>(var.arg)); break;
    }
  }
}

}  // namespace kelvaro::cad::dwg12
