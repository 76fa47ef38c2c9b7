#include "cadkit/dwg/format.h"

#include "cadkit/document.h"

namespace kelvaro::cad::dwg {

const Sentinel kHeaderBegin{0xCF, 0x7B, 0x1F, 0x23, 0xFD, 0xDE, 0x38, 0xA9, 0x5F, 0x7C, 0x68, 0xB8, 0x4E, 0x6D, 0x33, 0x5F};
const Sentinel kHeaderEnd{0x30, 0x84, 0xE0, 0xDC, 0x02, 0x21, 0xC7, 0x56, 0xA0, 0x83, 0x97, 0x47, 0xB1, 0x92, 0xCC, 0xA0};
const Sentinel kClassesBegin{0x8D, 0xA1, 0xC4, 0xB8, 0xC4, 0xA9, 0xF8, 0xC5, 0xC0, 0xDC, 0xF4, 0x5F, 0xE7, 0xCF, 0xB6, 0x8A};
const Sentinel kClassesEnd{0x72, 0x5E, 0x3B, 0x47, 0x3B, 0x56, 0x07, 0x3A, 0x3F, 0x23, 0x0B, 0xA0, 0x18, 0x30, 0x49, 0x75};
const Sentinel kFileHeaderEnd{0x95, 0xA0, 0x4E, 0x28, 0x99, 0x82, 0x1A, 0xE5, 0x5E, 0x41, 0xE0, 0x5F, 0x9D, 0x3A, 0x4D, 0x00};
const Sentinel kPreviewBegin{0x1F, 0x25, 0x6D, 0x07, 0xD4, 0x36, 0x28, 0x28, 0x9D, 0x57, 0xCA, 0x3F, 0x9D, 0x44, 0x10, 0x2B};
const Sentinel kPreviewEnd{0xE0, 0xDA, 0x92, 0xF8, 0x2B, 0xC9, 0xD7, 0xD7, 0x62, 0xA8, 0x35, 0xC0, 0x62, 0xBB, 0xEF, 0xD4};
const Sentinel kSecondHeaderBegin{0xD4, 0x7B, 0x21, 0xCE, 0x28, 0x93, 0x9F, 0xBF, 0x53, 0x24, 0x40, 0x09, 0x12, 0x3C, 0xAA, 0x01};
const Sentinel kSecondHeaderEnd{0x2B, 0x84, 0xDE, 0x31, 0xD7, 0x6C, 0x60, 0x40, 0xAC, 0xDB, 0xBF, 0xF6, 0xED, 0xC3, 0x55, 0xFE};

const char* fixedTypeName(int type) {
  switch (type) {
    case kText: return "TEXT";
    case kAttrib: return "ATTRIB";
    case kAttdef: return "ATTDEF";
    case kBlock: return "BLOCK";
    case kEndblk: return "ENDBLK";
    case kSeqend: return "SEQEND";
    case kInsert: case kMInsert: return "INSERT";
    case kVertex2d: case kVertex3d: case kVertexMesh: case kVertexPface: case kVertexPfaceFace: return "VERTEX";
    case kPolyline2d: case kPolyline3d: case kPolylinePface: case kPolylineMesh: return "POLYLINE";
    case kArc: return "ARC";
    case kCircle: return "CIRCLE";
    case kLine: return "LINE";
    case kDimOrdinate: case kDimLinear: case kDimAligned: case kDimAng3pt: case kDimAng2ln: case kDimRadius:
    case kDimDiameter: return "DIMENSION";
    case kPoint: return "POINT";
    case kFace3d: return "3DFACE";
    case kSolid: return "SOLID";
    case kTrace: return "TRACE";
    case kShape: return "SHAPE";
    case kViewport: return "VIEWPORT";
    case kEllipse: return "ELLIPSE";
    case kSpline: return "SPLINE";
    case kRegion: return "REGION";
    case kSolid3d: return "3DSOLID";
    case kBody: return "BODY";
    case kRay: return "RAY";
    case kXLine: return "XLINE";
    case kDictionary: return "DICTIONARY";
    case kOleFrame: return "OLEFRAME";
    case kMText: return "MTEXT";
    case kLeader: return "LEADER";
    case kTolerance: return "TOLERANCE";
    case kMLine: return "MLINE";
    case kGroup: return "GROUP";
    case kMLineStyle: return "MLINESTYLE";
    case kOle2Frame: return "OLE2FRAME";
    case kLongTransaction: return "LONG_TRANSACTION";
    case kLwPolyline: return "LWPOLYLINE";
    case kHatch: return "HATCH";
    case kXRecord: return "XRECORD";
    case kPlaceholder: return "ACDBPLACEHOLDER";
    case kVbaProject: return "VBA_PROJECT";
    case kLayout: return "LAYOUT";
    case kVx: return "VX_TABLE_RECORD";
    default: return "";
  }
}

bool fixedTypeIsEntity(int type) {
  return (type >= kText && type <= kMLine && type != kDictionary) || type == kOle2Frame || type == kLwPolyline ||
         type == kHatch;
}

namespace {
const std::int16_t kLineweights[32] = {0,   5,   9,   13,  15,  18,  20,  25,  30,  35,  40, 50, 53, 60, 70, 80,
                                       90,  100, 106, 120, 140, 158, 200, 211, 0,   0,   0,  0,  0,  -1, -2, -3};
const char* const kCodePages[] = {
    "",          "ASCII",     "ISO8859-1", "ISO8859-2", "ISO8859-3", "ISO8859-4", "ISO8859-5", "ISO8859-6",
    "ISO8859-7", "ISO8859-8", "ISO8859-9", "DOS437",    "DOS850",    "DOS852",    "DOS855",    "DOS857",
    "DOS860",    "DOS861",    "DOS863",    "DOS864",    "DOS865",    "DOS869",    "DOS932",    "MACINTOSH",
    "BIG5",      "KSC5601",   "JOHAB",     "DOS866",    "ANSI_1250", "ANSI_1251", "ANSI_1252", "GB2312",
    "ANSI_1253", "ANSI_1254", "ANSI_1255", "ANSI_1256", "ANSI_1257", "ANSI_874",  "ANSI_932",  "ANSI_936",
    "ANSI_949",  "ANSI_950",  "ANSI_1361", "ANSI_1200", "ANSI_1258"};
}  // namespace

std::int16_t lineweightFromIndex(int index) { return kLineweights[index & 31]; }
int lineweightIndex(std::int16_t lw) {
  for (int i = 0; i < 32; ++i)
    if (kLineweights[i] == lw && (i < 24 || i >= 29)) return i;
  // Values between the standard ones take the next smaller standard weight.
  int best = 29;
  for (int i = 0; i < 24; ++i)
    if (kLineweights[i] <= lw) best = i;
  return lw < 0 ? 29 : best;
}

std::string codePageName(int number) {
  if (number > 0 && number < static_cast<int>(std::size(kCodePages))) return kCodePages[number];
  return "ANSI_1252";
}
int codePageNumber(std::string_view name) {
  for (int i = 1; i < static_cast<int>(std::size(kCodePages)); ++i)
    if (sameName(name, kCodePages[i])) return i;
  return 30;
}

std::string upper(std::string_view s) {
  std::string u(s);
  for (char& c : u)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return u;
}

void NameMaps::add(Names k, std::uint64_t h, const std::string& name) {
  byHandle[static_cast<int>(k)][h] = name;
  byName[static_cast<int>(k)].emplace(upper(name), h);
}
std::string NameMaps::name(Names k, std::uint64_t h) const {
  if (!h) return {};
  const auto& m = byHandle[static_cast<int>(k)];
  auto it = m.find(h);
  return it == m.end() ? std::string() : it->second;
}
std::uint64_t NameMaps::handle(Names k, std::string_view name) const {
  const auto& m = byName[static_cast<int>(k)];
  auto it = m.find(upper(name));
  return it == m.end() ? 0 : it->second;
}

Tag intTag(int code, std::int64_t v) {
  Tag t;
  t.code = code;
  t.kind = Tag::kInt;
  t.integer = v;
  return t;
}
Tag realTag(int code, double v) {
  Tag t;
  t.code = code;
  t.kind = Tag::kReal;
  t.real = v;
  return t;
}
Tag textTag(int code, std::string s) {
  Tag t;
  t.code = code;
  t.kind = Tag::kText;
  t.text = std::move(s);
  return t;
}

namespace {
std::string hex(std::span<const std::uint8_t> b) {
  static const char* d = "0123456789ABCDEF";
  std::string s;
  s.reserve(b.size() * 2);
  for (std::uint8_t c : b) s += d[c >> 4], s += d[c & 15];
  return s;
}
std::vector<std::uint8_t> unhex(std::string_view s) {
  auto nib = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
  };
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i + 1 < s.size(); i += 2) out.push_back(static_cast<std::uint8_t>(nib(s[i]) << 4 | nib(s[i + 1])));
  return out;
}
std::string decodeText(const std::string& raw, const Ctx& ctx) {
  return plainAscii(raw) ? raw : ctx.cp.decode(raw, false);
}
std::string encodeText(const std::string& s, const Ctx& ctx) { return plainAscii(s) ? s : ctx.cp.encode(s); }

enum class VT { Str, Real, I8, I16, I32, I64, Pt, Bin, Handle, Bad };
VT valueType(int gc) {
  if (gc < 0) return VT::Bad;
  if (gc <= 4) return VT::Str;
  if (gc == 5) return VT::Handle;
  if (gc <= 9) return VT::Str;
  if (gc <= 37) return VT::Pt;
  if (gc <= 59) return VT::Real;
  if (gc <= 79) return VT::I16;
  if (gc <= 99) return VT::I32;
  if (gc <= 102) return VT::Str;
  if (gc == 105) return VT::Handle;
  if (gc <= 109) return VT::Bad;
  if (gc <= 139) return VT::Pt;
  if (gc <= 149) return VT::Real;
  if (gc <= 169) return VT::I64;
  if (gc <= 179) return VT::I16;
  if (gc <= 209) return VT::Bad;
  if (gc <= 269) return VT::Pt;
  if (gc <= 279) return VT::I16;
  if (gc <= 299) return VT::I8;
  if (gc <= 309) return VT::Str;
  if (gc <= 319) return VT::Bin;
  if (gc <= 369) return VT::Handle;
  if (gc <= 389) return VT::I16;
  if (gc <= 399) return VT::Handle;
  if (gc <= 409) return VT::I16;
  if (gc <= 419) return VT::Str;
  if (gc <= 429) return VT::I32;
  if (gc <= 439) return VT::Str;
  if (gc <= 459) return VT::I32;
  if (gc <= 469) return VT::Real;
  if (gc <= 479) return VT::Str;
  if (gc <= 481) return VT::Handle;
  if (gc == 999) return VT::Str;
  if (gc >= 1000 && gc <= 1009) return gc == 1004 ? VT::Bin : VT::Str;
  if (gc >= 1010 && gc <= 1039) return VT::Pt;
  if (gc >= 1040 && gc <= 1042) return VT::Real;
  if (gc == 1070) return VT::I16;
  if (gc == 1071) return VT::I32;
  return VT::Bad;
}
}  // namespace

void eedToTags(std::span<const std::uint8_t> data, const Ctx& ctx, std::vector<Tag>& out) {
  BitReader r(data, ctx.rel);
  while (r.bitsLeft() >= 8 && r.ok()) {
    int code = r.RC();
    switch (code) {
      case 0: {
        if (ctx.rel >= Release::R2007) {  // UTF-16 since 2007
          out.push_back(textTag(1000, r.utf16(static_cast<std::uint16_t>(r.RS()))));
          break;
        }
        std::size_t n = r.RC();
        r.RS();  // code page of the string
        auto b = r.bytes(n);
        out.push_back(textTag(1000, decodeText(std::string(b.begin(), b.end()), ctx)));
        break;
      }
      case 2: out.push_back(textTag(1002, r.RC() ? "}" : "{")); break;
      case 3: {
        std::uint64_t h = r.RLL();
        out.push_back(textTag(1003, ctx.names.name(Names::Layer, h)));
        break;
      }
      case 4: {
        auto b = r.bytes(r.RC());
        out.push_back(textTag(1004, hex(b)));
        break;
      }
      case 5: out.push_back(textTag(1005, handleText(Handle{r.RLL()}))); break;
      case 10: case 11: case 12: case 13: {
        Vec3 p = r.RD3();
        out.push_back(realTag(1000 + code, p.x));
        out.push_back(realTag(1010 + code, p.y));
        out.push_back(realTag(1020 + code, p.z));
        break;
      }
      case 40: case 41: case 42: out.push_back(realTag(1000 + code, r.RD())); break;
      case 70: out.push_back(intTag(1070, r.RS())); break;
      case 71: out.push_back(intTag(1071, r.RL())); break;
      default: return;  // unknown item: the rest cannot be parsed
    }
  }
}

std::vector<std::uint8_t> tagsToEed(std::span<const Tag> tags, const Ctx& ctx) {
  BitWriter w(ctx.rel);
  for (std::size_t i = 0; i < tags.size(); ++i) {
    const Tag& t = tags[i];
    switch (t.code) {
      case 1000: {
        std::string s = encodeText(t.asText(), ctx);
        if (s.size() > 255) s.resize(255);
        w.RC(0);
        w.RC(static_cast<std::uint8_t>(s.size()));
        w.RS(static_cast<std::int16_t>(codePageNumber(ctx.cp.name())));
        w.bytes({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()});
        break;
      }
      case 1002:
        w.RC(2);
        w.RC(t.asText() == "}" ? 1 : 0);
        break;
      case 1003:
        w.RC(3);
        w.RLL(ctx.names.handle(Names::Layer, t.asText()));
        break;
      case 1004: {
        auto b = unhex(t.asText());
        if (b.size() > 255) b.resize(255);
        w.RC(4);
        w.RC(static_cast<std::uint8_t>(b.size()));
        w.bytes(b);
        break;
      }
      case 1005:
        w.RC(5);
        w.RLL(handleFromText(t.asText()).v);
        break;
      case 1010: case 1011: case 1012: case 1013: {
        Vec3 p{t.asReal(), 0, 0};
        if (i + 1 < tags.size() && tags[i + 1].code == t.code + 10) p.y = tags[++i].asReal();
        if (i + 1 < tags.size() && tags[i + 1].code == t.code + 20) p.z = tags[++i].asReal();
        w.RC(static_cast<std::uint8_t>(t.code - 1000));
        w.RD3(p);
        break;
      }
      case 1040: case 1041: case 1042:
        w.RC(static_cast<std::uint8_t>(t.code - 1000));
        w.RD(t.asReal());
        break;
      case 1070:
        w.RC(70);
        w.RS(static_cast<std::int16_t>(t.asInt()));
        break;
      case 1071:
        w.RC(71);
        w.RL(static_cast<std::int32_t>(t.asInt()));
        break;
      default: break;  // not an extended data code: left out
    }
  }
  return w.data();
}

void xrecordToTags(std::span<const std::uint8_t> data, const Ctx& ctx, std::vector<Tag>& out) {
  BitReader r(data, ctx.rel);
  while (r.bitsLeft() >= 16 && r.ok()) {
    int code = r.RS();
    switch (valueType(code)) {
      case VT::Str: {
        std::size_t n = static_cast<std::uint16_t>(r.RS());
        if (ctx.rel >= Release::R2007) {
          std::string s = r.utf16(n);
          if (!r.ok()) return;
          out.push_back(textTag(code, std::move(s)));
          break;
        }
        r.RC();  // code page
        auto b = r.bytes(n);
        if (!r.ok()) return;
        out.push_back(textTag(code, decodeText(std::string(b.begin(), b.end()), ctx)));
        break;
      }
      case VT::Real: out.push_back(realTag(code, r.RD())); break;
      case VT::I8: out.push_back(intTag(code, r.RC())); break;
      case VT::I16: out.push_back(intTag(code, r.RS())); break;
      case VT::I32: out.push_back(intTag(code, r.RL())); break;
      case VT::I64: out.push_back(intTag(code, static_cast<std::int64_t>(r.RLL()))); break;
      case VT::Pt: {
        Vec3 p = r.RD3();
        out.push_back(realTag(code, p.x));
        out.push_back(realTag(code + 10, p.y));
        out.push_back(realTag(code + 20, p.z));
        break;
      }
      case VT::Bin: {
        auto b = r.bytes(r.RC());
        out.push_back(textTag(code, hex(b)));
        break;
      }
      case VT::Handle: out.push_back(textTag(code, handleText(Handle{r.RLL()}))); break;
      case VT::Bad: return;
    }
    if (!r.ok()) {
      out.pop_back();
      return;
    }
  }
}

std::vector<std::uint8_t> tagsToXrecord(std::span<const Tag> tags, const Ctx& ctx) {
  BitWriter w(ctx.rel);
  for (std::size_t i = 0; i < tags.size(); ++i) {
    const Tag& t = tags[i];
    VT vt = valueType(t.code);
    if (vt == VT::Bad) continue;
    w.RS(static_cast<std::int16_t>(t.code));
    switch (vt) {
      case VT::Str: {
        std::string s = encodeText(t.asText(), ctx);
        if (s.size() > 32767) s.resize(32767);
        w.RS(static_cast<std::int16_t>(s.size()));
        w.RC(static_cast<std::uint8_t>(codePageNumber(ctx.cp.name())));
        w.bytes({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()});
        break;
      }
      case VT::Real: w.RD(t.asReal()); break;
      case VT::I8: w.RC(static_cast<std::uint8_t>(t.asInt())); break;
      case VT::I16: w.RS(static_cast<std::int16_t>(t.asInt())); break;
      case VT::I32: w.RL(static_cast<std::int32_t>(t.asInt())); break;
      case VT::I64: w.RLL(static_cast<std::uint64_t>(t.asInt())); break;
      case VT::Pt: {
        Vec3 p{t.asReal(), 0, 0};
        if (i + 1 < tags.size() && tags[i + 1].code == t.code + 10) p.y = tags[++i].asReal();
        if (i + 1 < tags.size() && tags[i + 1].code == t.code + 20) p.z = tags[++i].asReal();
        w.RD3(p);
        break;
      }
      case VT::Bin: {
        auto b = unhex(t.asText());
        if (b.size() > 255) b.resize(255);
        w.RC(static_cast<std::uint8_t>(b.size()));
        w.bytes(b);
        break;
      }
      case VT::Handle: w.RLL(handleFromText(t.asText()).v); break;
      case VT::Bad: break;
    }
  }
  return w.data();
}

}  // namespace kelvaro::cad::dwg
