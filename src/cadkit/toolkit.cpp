#include "cadkit/toolkit.h"

#include "cadkit/png_dib.h"

#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>

#include "cadkit/acad_date.h"
#include "cadkit/dwg12_io.h"
#include "cadkit/dwg/dwg_io.h"
#include "cadkit/dxf_io.h"
#include "cadkit/vec_internal.h"

namespace kelvaro::cad {
namespace {

constexpr const char* kStartupSignature = "KELVARO CADKIT STARTUP 1";

struct Open {
  Document doc;
  std::string path;
  std::size_t layerCursor = 0, ltypeCursor = 0, viewCursor = 0, vportCursor = 0, styleCursor = 0, blockCursor = 0,
              objectCursor = 0;
};

struct State {
  std::recursive_mutex lock;
  bool started2 = false, started3 = false;
  std::map<AdDrawing, std::unique_ptr<Open>> open;
  AdDrawing nextId = 1;
  int error = kAdOk;
  std::string detail;
  std::uint16_t monty[256] = {};
  void (*progress)(int, void*) = nullptr;
  void* progressUser = nullptr;
};

State& state() {
  static State s;
  return s;
}

int fail(int code, std::string detail = {}) {
  state().error = code;
  state().detail = std::move(detail);
  return 0;
}

Open* get(AdDrawing d) {
  auto& s = state();
  auto it = s.open.find(d);
  if (it == s.open.end()) {
    fail(kAdBadDrawing);
    return nullptr;
  }
  return it->second.get();
}

template <class Rec>
TableEntry<Rec>* findEntry(Table<Rec>& t, Handle h) {
  for (auto& e : t.entries)
    if (e.frame.handle == h) return &e;
  return nullptr;
}

Handle linetypeHandle(Document& doc, const std::string& name) {
  for (auto& e : doc.linetypes.entries)
    if (sameName(e.rec.name, name)) return e.frame.handle;
  return {};
}

void fillLayer(Document& doc, const TableEntry<Layer>& e, AdLayer& out) {
  out.objhandle = e.frame.handle;
  out.rec = e.rec;
  out.linetypeObjhandle = linetypeHandle(doc, e.rec.linetype);
  out.purgedflag = 0;
}

int entType(const EntityData& d) {
  return visitEntity(
      [](const auto& e) -> int {
        using T = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<T, Line>) return kAdEntLine;
        else if constexpr (std::is_same_v<T, Point>) return kAdEntPoint;
        else if constexpr (std::is_same_v<T, Circle>) return kAdEntCircle;
        else if constexpr (std::is_same_v<T, Arc>) return kAdEntArc;
        else if constexpr (std::is_same_v<T, Ellipse>) return kAdEntEllipse;
        else if constexpr (std::is_same_v<T, Ray>) return kAdEntRay;
        else if constexpr (std::is_same_v<T, XLine>) return kAdEntXline;
        else if constexpr (std::is_same_v<T, Solid>) return kAdEntSolid;
        else if constexpr (std::is_same_v<T, Trace>) return kAdEntTrace;
        else if constexpr (std::is_same_v<T, Face3d>) return kAdEntFace3d;
        else if constexpr (std::is_same_v<T, LwPolyline>) return kAdEntLwpline;
        else if constexpr (std::is_same_v<T, Polyline>) return kAdEntPolyline;
        else if constexpr (std::is_same_v<T, Spline>) return kAdEntSpline;
        else if constexpr (std::is_same_v<T, MLine>) return kAdEntMline;
        else if constexpr (std::is_same_v<T, Text>) return kAdEntText;
        else if constexpr (std::is_same_v<T, MText>) return kAdEntMtext;
        else if constexpr (std::is_same_v<T, AttDef>) return kAdEntAttdef;
        else if constexpr (std::is_same_v<T, Insert>) return kAdEntInsert;
        else if constexpr (std::is_same_v<T, Dimension>) return kAdEntDimension;
        else if constexpr (std::is_same_v<T, Leader>) return kAdEntLeader;
        else if constexpr (std::is_same_v<T, Viewport>) return kAdEntViewport;
        else if constexpr (std::is_same_v<T, Image>) return kAdEntImage;
        else if constexpr (std::is_same_v<T, Ole2Frame>) return kAdEntOle2Frame;
        else if constexpr (std::is_same_v<T, Hatch>) return kAdEntHatch;
        else return e.type == "SHAPE" ? kAdEntShape : kAdEntOther;
      },
      d);
}

Block* blockOf(Document& doc, Handle recordOrBlock) {
  for (auto& r : doc.blockRecords.entries)
    if (r.frame.handle == recordOrBlock) return doc.findBlock(r.rec.name);
  for (auto& b : doc.blocks)
    if (b.frame.handle == recordOrBlock) return &b;
  return nullptr;
}

void fillBlock(const Block& b, AdBlockheader& out) {
  out.objhandle = b.frame.handle;
  out.name = b.name();
  out.flags = b.begin.flags;
  out.base = b.begin.base;
  out.entityCount = b.entities.size();
}

}  // namespace

// --- start and stop ---------------------------------------------------------------------------

bool adWriteStartupFile(const char* path) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << kStartupSignature << "\n";
  return static_cast<bool>(f);
}

int adInitAd2(const char* startupFile, int) {
  std::lock_guard g(state().lock);
  std::ifstream f(startupFile ? startupFile : "", std::ios::binary);
  std::string line;
  if (!f || !std::getline(f, line)) return fail(kAdBadStartupFile, startupFile ? startupFile : "");
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line != kStartupSignature) return fail(kAdBadStartupFile, startupFile);
  state().started2 = true;
  return 1;
}
void adSetupDwgRead() {}
void adSetupDxfRead() {}
void adAcceptR14BetaFiles() {}
int adInitAd3() {
  std::lock_guard g(state().lock);
  if (!state().started2) return fail(kAdNotStarted);
  state().started3 = true;
  return 1;
}
void adCloseAd2() {
  std::lock_guard g(state().lock);
  state().started2 = state().started3 = false;
}
void adSetDlpMode(int) {}
void adIgnoreBadVpEntData(int) {}
std::uint16_t* monty() { return state().monty; }

// --- files -------------------------------------------------------------------------------------

AdDrawing adLoadFile(const char* path, int, int) {
  auto& s = state();
  std::lock_guard g(s.lock);
  if (!path || !std::filesystem::exists(path)) return fail(kAdFileNotFound, path ? path : "");
  auto o = std::make_unique<Open>();
  try {
    std::ifstream f(path, std::ios::binary);
    if (!f) return fail(kAdCannotRead, path);
    char magic[6] = {};
    f.read(magic, 6);
    std::string_view head(magic, static_cast<std::size_t>(f.gcount()));
    std::string m;
    f.close();
    ReadProgress report;
    if (s.progress) report = [fn = s.progress, user = s.progressUser](int percent) { fn(percent, user); };
    if (isDwg12(head)) o->doc = readDwg12File(path);
    else if (isDwg(head, &m)) {
      if (!dwgReadable(m)) return fail(kAdDwgUnsupported, m);
      o->doc = readDwgFile(path);
    } else {
      o->doc = readDxfFile(path, report);
    }
  } catch (const DwgError& e) {
    return fail(kAdInvalidFile, e.what());
  } catch (const DxfError& e) {
    return fail(kAdInvalidFile, e.what());
  } catch (const std::exception& e) {
    return fail(kAdCannotRead, e.what());
  }
  o->path = path;
  AdDrawing id = s.nextId++;
  s.open[id] = std::move(o);
  s.error = kAdOk;
  return id;
}

void adSetLoadProgressFn(void (*fn)(int percent, void* user), void* user) {
  state().progress = fn;
  state().progressUser = user;
}

AdDrawing adOpenDocument(Document doc, const char* path) {
  auto& s = state();
  std::lock_guard g(s.lock);
  auto o = std::make_unique<Open>();
  o->doc = std::move(doc);
  o->path = path ? path : "";
  AdDrawing id = s.nextId++;
  s.open[id] = std::move(o);
  s.error = kAdOk;
  return id;
}

int adSaveFile(AdDrawing d, const char* path, int kind, int version, int, int places, int zeroes, int) {
  std::lock_guard g(state().lock);
  Open* o = get(d);
  if (!o) return 0;
  if (!path) return fail(kAdBadArgument);
  if (kind == 0 && version >= 0 && version <= 4) {
    try {
      saveDwg12File(o->doc, path, releaseFromIndex(version));
    } catch (const std::exception& e) {
      return fail(kAdCannotWrite, e.what());
    }
    return 1;
  }
  if (kind == 0) {
    try {
      saveDwgFile(o->doc, path, releaseFromIndex(version));
    } catch (const std::exception& e) {
      return fail(kAdCannotWrite, e.what());
    }
    return 1;
  }
  WriteOptions opt;
  opt.binary = kind == 2;
  opt.places = places;
  opt.zeroes = zeroes != 0;
  try {
    saveDxfFile(o->doc, path, releaseFromIndex(version), opt);
  } catch (const std::exception& e) {
    return fail(kAdCannotWrite, e.what());
  }
  return 1;
}

void adTerminateVectorize(AdDrawing d) { vecDrawingClosed(d); }

int adCloseFile(AdDrawing d) {
  vecDrawingClosed(d);
  std::lock_guard g(state().lock);
  return state().open.erase(d) ? 1 : fail(kAdBadDrawing);
}

int adFileVersionLoaded(AdDrawing d) {
  Open* o = get(d);
  return o ? releaseIndex(o->doc.release) : -1;
}

AdHeader* adHeaderPointer(AdDrawing d) {
  Open* o = get(d);
  return o ? &o->doc.header : nullptr;
}

Document* adDocument(AdDrawing d) {
  Open* o = get(d);
  return o ? &o->doc : nullptr;
}

int adFileDisplayableInPaperspace(AdDrawing d) {
  Open* o = get(d);
  if (!o) return 0;
  // Something to show: any entity but the sheet's own overall viewport.
  const Block* p = o->doc.findBlock(kPaperSpace);
  int n = 0;
  if (p)
    for (const auto& e : p->entities) {
      const auto* vp = e.as<Viewport>();
      n += vp && vp->id == 1 ? 0 : 1;
    }
  return n;
}

int adLwplineEnttype(AdDrawing) { return kAdEntLwpline; }

std::string adFileReleaseName(AdDrawing d) {
  Open* o = get(d);
  if (!o) return {};
  const char* old = dwg12ReleaseName(o->doc.header.acadver);
  return old ? old : releaseName(o->doc.release);
}

int adExtractBmpFromFileToFile(const char* drawingPath, const char* bitmapPath) {
  if (!drawingPath || !bitmapPath) return fail(kAdBadArgument, "no file name");
  std::string hex;
  try {
    // A DWG file's preview is found without reading the whole drawing.
    std::ifstream f(drawingPath ? drawingPath : "", std::ios::binary);
    std::vector<std::uint8_t> head(6);
    f.read(reinterpret_cast<char*>(head.data()), 6);
    if (f && isDwg(std::string_view(reinterpret_cast<const char*>(head.data()), 6))) {
      f.seekg(0);
      std::vector<std::uint8_t> all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
      hex = dwgPreviewDib(all);
      if (hex.empty()) {
        // Later releases keep a PNG picture: decoded, it goes out as a bitmap like the others.
        std::vector<std::uint8_t> png = dwgPreviewPng(all);
        if (!png.empty()) {
          std::string why;
          std::string dib = pngToDib(png, &why);
          if (dib.empty()) return fail(kAdInvalidFile, "preview: " + why);
          static const char kHex[] = "0123456789ABCDEF";
          for (unsigned char c : dib) hex += kHex[c >> 4], hex += kHex[c & 15];
        }
      }
    } else {
      hex = readDxfFile(drawingPath).thumbnail;
    }
  } catch (const std::exception& e) {
    return fail(kAdInvalidFile, e.what());
  }
  auto nib = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  std::string dib;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) dib += static_cast<char>((nib(hex[i]) << 4) | nib(hex[i + 1]));
  // A stored preview is a device-independent bitmap: header size 40, then the colour table.
  if (dib.size() < 40 || static_cast<unsigned char>(dib[0]) != 40) return 0;
  auto u16 = [&](std::size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(dib[at]) | (static_cast<unsigned char>(dib[at + 1]) << 8)); };
  auto u32 = [&](std::size_t at) { return u16(at) | (u16(at + 2) << 16); };
  unsigned bits = u16(14), used = u32(32);
  unsigned colours = bits <= 8 ? (used ? used : (1u << bits)) : used;
  std::uint32_t offset = 14 + 40 + 4 * colours, size = static_cast<std::uint32_t>(14 + dib.size());
  std::string file = "BM";
  for (std::uint32_t v : {size, 0u, offset})
    for (int k = 0; k < 4; ++k) file += static_cast<char>((v >> (8 * k)) & 0xFF);
  file += dib;
  // Written beside the target and renamed, so a failed write leaves an older file as it was.
  const std::filesystem::path target(bitmapPath), temp = target.string() + ".part";
  {
    std::ofstream f(temp, std::ios::binary | std::ios::trunc);
    f.write(file.data(), static_cast<std::streamsize>(file.size()));
    f.close();
    if (!f) {
      std::error_code ec;
      std::filesystem::remove(temp, ec);
      return fail(kAdCannotWrite, bitmapPath);
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return fail(kAdCannotWrite, bitmapPath);
  }
  return 1;
}

// --- tables ------------------------------------------------------------------------------------

int adNumLayers(AdDrawing d) {
  Open* o = get(d);
  return o ? static_cast<int>(o->doc.layers.entries.size()) : 0;
}
void adStartLayerGet(AdDrawing d) {
  if (Open* o = get(d)) o->layerCursor = 0;
}
int adGetLayer(AdDrawing d, AdLayer& out) {
  Open* o = get(d);
  if (!o || o->layerCursor >= o->doc.layers.entries.size()) return 0;
  fillLayer(o->doc, o->doc.layers.entries[o->layerCursor++], out);
  return 1;
}
int adGetLayerState(AdDrawing d, Handle layer, std::uint8_t st[4]) {
  Open* o = get(d);
  auto* e = o ? findEntry(o->doc.layers, layer) : nullptr;
  if (!e) return fail(kAdBadArgument);
  st[0] = e->rec.color >= 0;
  st[1] = (e->rec.flags & 1) != 0;
  st[2] = (e->rec.flags & 2) != 0;
  st[3] = (e->rec.flags & 4) != 0;
  return 1;
}
int adSetLayerState(AdDrawing d, Handle layer, const std::uint8_t st[4]) {
  vecDrawingChanged(d);
  Open* o = get(d);
  auto* e = o ? findEntry(o->doc.layers, layer) : nullptr;
  if (!e) return fail(kAdBadArgument);
  std::int16_t c = e->rec.color < 0 ? static_cast<std::int16_t>(-e->rec.color) : e->rec.color;
  if (c == 0) c = 7;
  e->rec.color = st[0] ? c : static_cast<std::int16_t>(-c);
  std::int16_t f = static_cast<std::int16_t>(e->rec.flags & ~7);
  f |= (st[1] ? 1 : 0) | (st[2] ? 2 : 0) | (st[3] ? 4 : 0);
  e->rec.flags = f;
  return 1;
}
int adReplaceLayer(AdDrawing d, const AdLayer& l) {
  vecDrawingChanged(d);
  Open* o = get(d);
  auto* e = o ? findEntry(o->doc.layers, l.objhandle) : nullptr;
  if (!e) return fail(kAdBadArgument);
  e->rec = l.rec;
  if (l.linetypeObjhandle)
    if (auto* lt = findEntry(o->doc.linetypes, l.linetypeObjhandle)) e->rec.linetype = lt->rec.name;
  return 1;
}
int adSeekLayer(AdDrawing d, Handle h, AdLayer& out) {
  Open* o = get(d);
  auto* e = o ? findEntry(o->doc.layers, h) : nullptr;
  if (!e) return 0;
  fillLayer(o->doc, *e, out);
  return 1;
}
int adAddLayer(AdDrawing d, AdLayer& l) {
  vecDrawingChanged(d);
  Open* o = get(d);
  if (!o) return 0;
  if (l.rec.name.empty()) return fail(kAdBadArgument, "a layer needs a name");
  for (auto& e : o->doc.layers.entries)
    if (sameName(e.rec.name, l.rec.name)) return fail(kAdBadArgument, "layer " + l.rec.name + " exists");
  if (!l.objhandle) l.objhandle = o->doc.newHandle();
  TableEntry<Layer> e;
  e.frame.handle = l.objhandle;
  e.rec = l.rec;
  if (l.linetypeObjhandle)
    if (auto* lt = findEntry(o->doc.linetypes, l.linetypeObjhandle)) e.rec.linetype = lt->rec.name;
  o->doc.layers.entries.push_back(std::move(e));
  o->doc.layers.present = true;
  return 1;
}
void adSetDefaultLayer(AdDrawing d, AdLayer& l) {
  l = AdLayer{};
  if (Open* o = get(d)) l.linetypeObjhandle = linetypeHandle(o->doc, l.rec.linetype);
}

int adNumLinetypes(AdDrawing d) {
  Open* o = get(d);
  return o ? static_cast<int>(o->doc.linetypes.entries.size()) : 0;
}
void adStartLinetypeGet(AdDrawing d) {
  if (Open* o = get(d)) o->ltypeCursor = 0;
}
int adGetLinetype(AdDrawing d, AdLinetype& out) {
  Open* o = get(d);
  if (!o || o->ltypeCursor >= o->doc.linetypes.entries.size()) return 0;
  const auto& e = o->doc.linetypes.entries[o->ltypeCursor++];
  out = {e.frame.handle, e.rec};
  return 1;
}
int adSeekLinetype(AdDrawing d, Handle h, AdLinetype& out) {
  Open* o = get(d);
  auto* e = o ? findEntry(o->doc.linetypes, h) : nullptr;
  if (!e) return 0;
  out = {e->frame.handle, e->rec};
  return 1;
}
int adFindLinetypeByName(AdDrawing d, const char* name, Handle& out) {
  Open* o = get(d);
  if (!o || !name) return 0;
  out = linetypeHandle(o->doc, name);
  return out ? 1 : 0;
}

int adNumViews(AdDrawing d) {
  Open* o = get(d);
  return o ? static_cast<int>(o->doc.views.entries.size()) : 0;
}
void adStartViewGet(AdDrawing d) {
  if (Open* o = get(d)) o->viewCursor = 0;
}
int adGetView(AdDrawing d, AdView& out) {
  Open* o = get(d);
  if (!o || o->viewCursor >= o->doc.views.entries.size()) return 0;
  const auto& e = o->doc.views.entries[o->viewCursor++];
  out = {e.frame.handle, e.rec};
  return 1;
}

int adNumVports(AdDrawing d) {
  Open* o = get(d);
  return o ? static_cast<int>(o->doc.vports.entries.size()) : 0;
}
void adStartVportGet(AdDrawing d) {
  if (Open* o = get(d)) o->vportCursor = 0;
}
int adGetVport(AdDrawing d, AdVport& out) {
  Open* o = get(d);
  if (!o || o->vportCursor >= o->doc.vports.entries.size()) return 0;
  const auto& e = o->doc.vports.entries[o->vportCursor++];
  out = {e.frame.handle, e.rec};
  return 1;
}
int adReplaceVport(AdDrawing d, const AdVport& v) {
  Open* o = get(d);
  auto* e = o ? findEntry(o->doc.vports, v.objhandle) : nullptr;
  if (!e) return fail(kAdBadArgument);
  e->rec = v.rec;
  return 1;
}

int adNumShapefiles(AdDrawing d) {
  Open* o = get(d);
  return o ? static_cast<int>(o->doc.styles.entries.size()) : 0;
}
void adStartShapefileGet(AdDrawing d) {
  if (Open* o = get(d)) o->styleCursor = 0;
}
int adGetShapefile(AdDrawing d, AdShapefile& out) {
  Open* o = get(d);
  if (!o || o->styleCursor >= o->doc.styles.entries.size()) return 0;
  const auto& e = o->doc.styles.entries[o->styleCursor++];
  out = {e.frame.handle, e.rec};
  return 1;
}
int adReplaceShapefile(AdDrawing d, const AdShapefile& s) {
  vecDrawingChanged(d);
  Open* o = get(d);
  auto* e = o ? findEntry(o->doc.styles, s.objhandle) : nullptr;
  if (!e) return fail(kAdBadArgument);
  e->rec = s.rec;
  return 1;
}
int adAddShapefile(AdDrawing d, AdShapefile& s) {
  vecDrawingChanged(d);
  Open* o = get(d);
  if (!o) return 0;
  if (s.rec.name.empty()) return fail(kAdBadArgument, "a text style needs a name");
  for (auto& e : o->doc.styles.entries)
    if (sameName(e.rec.name, s.rec.name)) return fail(kAdBadArgument, "text style " + s.rec.name + " exists");
  if (!s.objhandle) s.objhandle = o->doc.newHandle();
  TableEntry<TextStyle> e;
  e.frame.handle = s.objhandle;
  e.rec = s.rec;
  o->doc.styles.entries.push_back(std::move(e));
  o->doc.styles.present = true;
  return 1;
}
void adSetDefaultShapefile(AdDrawing, AdShapefile& s) { s = AdShapefile{}; }

int adNumBlockheaders(AdDrawing d) {
  Open* o = get(d);
  return o ? static_cast<int>(o->doc.blocks.size()) : 0;
}
void adStartBlockheaderGet(AdDrawing d) {
  if (Open* o = get(d)) o->blockCursor = 0;
}
int adGetBlockheader(AdDrawing d, AdBlockheader& out) {
  Open* o = get(d);
  if (!o || o->blockCursor >= o->doc.blocks.size()) return 0;
  fillBlock(o->doc.blocks[o->blockCursor++], out);
  return 1;
}
int adSeekBlockheader(AdDrawing d, Handle h, AdBlockheader& out) {
  Open* o = get(d);
  Block* b = o ? blockOf(o->doc, h) : nullptr;
  if (!b) return 0;
  fillBlock(*b, out);
  return 1;
}
int adFindBlockheaderByName(AdDrawing d, const char* name, Handle& out) {
  Open* o = get(d);
  if (!o || !name) return 0;
  Block* b = o->doc.findBlock(name);
  if (!b) return 0;
  out = b->frame.handle;
  return 1;
}
int adGetBlockHandle(AdDrawing d, Handle& out, int) {
  Open* o = get(d);
  if (!o) return 0;
  out = o->doc.paperSpace().frame.handle;
  return 1;
}

void adStartObjectGet(AdDrawing d) {
  if (Open* o = get(d)) o->objectCursor = 0;
}
int adGetObject(AdDrawing d, AdObject& out) {
  Open* o = get(d);
  if (!o || o->objectCursor >= o->doc.objects.size()) return 0;
  const Object& ob = o->doc.objects[o->objectCursor++];
  out = AdObject{};
  out.objhandle = ob.frame.handle;
  out.typeName = objectTypeName(ob.data);
  out.data = ob.data;
  out.objtype = std::visit(
      [](const auto& x) -> int {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, Dictionary>) return kAdObjDictionary;
        else if constexpr (std::is_same_v<T, Layout>) return kAdObjLayout;
        else if constexpr (std::is_same_v<T, XRecord>) return kAdObjXrecord;
        else if constexpr (std::is_same_v<T, ImageDef>) return kAdObjImageDef;
        else return kAdObjOther;
      },
      ob.data);
  if (const auto* l = std::get_if<Layout>(&ob.data))
    if (Block* b = blockOf(o->doc, l->blockRecord)) out.layoutBlockheader = b->frame.handle;
  return 1;
}
int adLayoutObjtype(AdDrawing) { return kAdObjLayout; }

void adHanclear(Handle& h) { h = Handle{}; }
int adGenerateObjhandle(AdDrawing d, Handle& out) {
  Open* o = get(d);
  if (!o) return 0;
  out = o->doc.newHandle();
  return 1;
}

// --- entities ------------------------------------------------------------------------------------

AdEntityList adEntityList(AdDrawing d, const AdBlockheader& block) { return AdEntityList{d, block.name, 0}; }
void adStartEntityGet(AdEntityList& list) { list.next = 0; }
int adGetEntity(AdEntityList& list, AdEntity& out) {
  Open* o = get(list.drawing);
  Block* b = o ? o->doc.findBlock(list.block) : nullptr;
  if (!b || list.next >= b->entities.size()) return 0;
  const Entity& e = b->entities[list.next++];
  out.objhandle = e.frame.handle;
  out.enttype = entType(e.data);
  out.entity = e;
  return 1;
}
int adNumEntities(const AdEntityList& list) {
  Open* o = get(list.drawing);
  Block* b = o ? o->doc.findBlock(list.block) : nullptr;
  return b ? static_cast<int>(b->entities.size()) : 0;
}
int adSetEntityDefaults(AdDrawing d, AdEntity& e, int enttype) {
  Open* o = get(d);
  if (!o) return 0;
  e = AdEntity{};
  e.enttype = enttype;
  switch (enttype) {
    case kAdEntLine: e.entity.data = Line{}; break;
    case kAdEntText: e.entity.data = Text{}; break;
    case kAdEntPoint: e.entity.data = Point{}; break;
    case kAdEntCircle: e.entity.data = Circle{}; break;
    case kAdEntArc: e.entity.data = Arc{}; break;
    case kAdEntPolyline: e.entity.data = Polyline{}; break;
    case kAdEntLwpline: e.entity.data = LwPolyline{}; break;
    case kAdEntInsert: e.entity.data = Insert{}; break;
    case kAdEntMtext: e.entity.data = MText{}; break;
    case kAdEntSolid: e.entity.data = Solid{}; break;
    default: return fail(kAdBadArgument, "entity type " + std::to_string(enttype) + " cannot be created");
  }
  e.entity.common.layer = o->doc.header.clayer.empty() ? "0" : o->doc.header.clayer;
  if (auto* t = e.entity.as<Text>()) t->style = o->doc.header.textStyle;
  return 1;
}
int adAddEntityToList(AdDrawing d, AdEntityList& list, const AdEntity& e) {
  vecDrawingChanged(d);
  Open* o = get(d);
  Block* b = o ? o->doc.findBlock(list.block) : nullptr;
  if (!b) return fail(kAdBadArgument, "no such block");
  Entity n = e.entity;
  n.frame.handle = e.objhandle ? e.objhandle : o->doc.newHandle();
  b->entities.push_back(std::move(n));
  return 1;
}

// --- errors and dates ----------------------------------------------------------------------------

int adError(int) { return state().error; }

std::string adErrorStr(int code) {
  const auto& s = state();
  std::string detail = code == s.error ? s.detail : std::string();
  switch (code) {
    case kAdOk: return "No error";
    case kAdNotStarted: return "The drawing toolkit has not been started";
    case kAdFileNotFound: return "File not found" + (detail.empty() ? "" : ": " + detail);
    case kAdCannotRead: return "The file cannot be read" + (detail.empty() ? "" : ": " + detail);
    case kAdInvalidFile: return "Not a valid drawing file" + (detail.empty() ? "" : ": " + detail);
    case kAdDwgUnsupported:
      return "This DWG release is not supported" + (detail.empty() ? "" : " (" + detail + ")");
    case kAdCannotWrite: return "The file cannot be written" + (detail.empty() ? "" : ": " + detail);
    case kAdBadDrawing: return "No such drawing is open";
    case kAdBadArgument: return "Invalid request" + (detail.empty() ? "" : ": " + detail);
    case kAdBadStartupFile: return "The start-up data file is missing or damaged" + (detail.empty() ? "" : ": " + detail);
    default: return "Unknown error " + std::to_string(code);
  }
}

void adDecodeAcadDate(AcadDate date, int& year, int& month, int& day, int& hour, int& minute, int& second) {
  CivilDateTime t = decodeAcadDate(date);
  year = t.year, month = t.month, day = t.day, hour = t.hour, minute = t.minute, second = t.second;
}
void adDecodeAcadTime(AcadDate span, int& days, int& hours, int& minutes, int& seconds) {
  decodeAcadTime(span, days, hours, minutes, seconds);
}

}  // namespace kelvaro::cad
