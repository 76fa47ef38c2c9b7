// kelvaro-cli info FILE: what a drawing holds, as JSON.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/cli/command.h"
#include "app/cli/json.h"
#include "cadkit/acad_date.h"
#include "cadkit/dwg/dwg_io.h"
#include "cadkit/dxf_io.h"
#include "cadkit/toolkit.h"
#include "cadkit/vectorize.h"
#include "cadkit/dwg12_io.h"

namespace kelvaro::cli {
namespace {
using namespace kelvaro::cad;

// The program that writes the release, as users know it ("AutoCAD 2018", "AutoCAD Release 14").
std::string productName(const std::string& releaseName) {
  bool year = releaseName.size() == 4 && releaseName[0] == '2';
  return (year ? "AutoCAD " : "AutoCAD Release ") + releaseName;
}

void point(JsonWriter& j, std::string_view k, Vec3 p, bool z = true) {
  j.key(k).beginArray().value(p.x).value(p.y);
  if (z) j.value(p.z);
  j.endArray();
}

void date(JsonWriter& j, std::string_view k, AcadDate d) {
  CivilDateTime t = decodeAcadDate(d);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  j.key(k).beginObject().field("julianDay", d.day).field("milliseconds", d.ms).field("text", buf).endObject();
}


int run(const std::vector<std::string>& argv, Io& io) {
  Args args = parseArgs(argv, {{"--output"}});
  if (args.positional.size() != 1) throw UsageError(args.positional.empty() ? "missing argument FILE" : "unexpected argument " + args.positional[1]);
  const std::string& path = args.positional[0];
  if (!std::filesystem::exists(path)) throw FileError("Could not find file " + path);
  Document loaded;
  std::vector<std::string> warnings;
  try {
    loaded = readDrawingFile(path, &warnings);
  } catch (const std::runtime_error& e) {
    throw FileError(path + ": " + e.what());
  }
  for (const auto& w : warnings) io.err << "warning: " << w << "\n";
  std::string magic(6, '\0');
  std::ifstream(path, std::ios::binary).read(magic.data(), 6);
  const bool dwg12 = isDwg12(magic), dwg = dwg12 || isDwg(magic);
  // The toolkit holds the drawing so that missing header extents come from the geometry.
  struct Held {
    AdDrawing d;
    ~Held() { adCloseFile(d); }
  } held{adOpenDocument(std::move(loaded), path.c_str())};
  Document& doc = *adDocument(held.d);
  Vec3 extMin = doc.header.extMin, extMax = doc.header.extMax;
  const char* extSource = "header";
  if (!(extMin.x <= extMax.x && extMin.y <= extMax.y)) {
    Vec3 lo, hi;
    extSource = "none";
    if (adComputeExtents(held.d, kModelSpace, lo, hi)) extMin = lo, extMax = hi, extSource = "geometry";
  }
  JsonWriter j;
  j.beginObject();
  j.field("file", path);
  j.field("release", doc.hadHeader ? doc.header.acadver : std::string(releaseMagic(doc.release)));
  std::string relName = dwg12 ? dwg12ReleaseName(magic) : releaseName(doc.release);
  j.field("releaseName", relName);
  j.field("product", productName(relName));
  j.field("format", dwg ? "DWG" : doc.binary ? "binary DXF" : "ASCII DXF");
  j.key("header").beginObject();
  date(j, "created", doc.header.created);
  date(j, "updated", doc.header.updated);
  int d, h, m, s;
  decodeAcadTime(doc.header.editTime, d, h, m, s);
  j.key("editingTime").beginObject().field("days", d).field("hours", h).field("minutes", m).field("seconds", s).endObject();
  j.field("tileMode", doc.header.tileMode).field("quickText", doc.header.quickText);
  j.field("codePage", doc.header.codepage).field("currentLayer", doc.header.clayer);
  j.field("insUnits", doc.header.insUnits);
  j.endObject();
  j.key("extents").beginObject();
  point(j, "min", extMin);
  point(j, "max", extMax);
  j.field("source", extSource);
  j.endObject();
  j.key("limits").beginObject();
  point(j, "min", {doc.header.limMin.x, doc.header.limMin.y, 0}, false);
  point(j, "max", {doc.header.limMax.x, doc.header.limMax.y, 0}, false);
  j.endObject();
  j.key("layers").beginArray();
  for (const auto& e : doc.layers.entries) {
    const Layer& l = e.rec;
    j.beginObject().field("name", l.name).field("colour", l.color < 0 ? -l.color : l.color);
    j.field("on", l.color >= 0).field("frozen", (l.flags & 1) != 0).field("locked", (l.flags & 4) != 0);
    j.field("linetype", l.linetype).field("lineweight", l.lineweight).field("plot", l.plot).endObject();
  }
  j.endArray();
  j.key("linetypes").beginArray();
  for (const auto& e : doc.linetypes.entries) {
    j.beginObject().field("name", e.rec.name).field("description", e.rec.description);
    j.key("pattern").beginArray();
    for (const auto& dsh : e.rec.dashes) j.value(dsh.length);
    j.endArray().endObject();
  }
  j.endArray();
  j.key("styles").beginArray();
  for (const auto& e : doc.styles.entries)
    j.beginObject().field("name", e.rec.name).field("font", e.rec.font).field("bigFont", e.rec.bigFont).endObject();
  j.endArray();
  j.key("views").beginArray();
  for (const auto& e : doc.views.entries) j.value(e.rec.name);
  j.endArray();
  j.key("layouts").beginArray();
  for (const auto& o : doc.objects)
    if (const auto* l = std::get_if<cad::Layout>(&o.data)) {
      std::string block;
      for (const auto& r : doc.blockRecords.entries)
        if (r.frame.handle == l->blockRecord) block = r.rec.name;
      j.beginObject().field("name", l->name).field("block", block).field("tabOrder", l->tabOrder).endObject();
    }
  j.endArray();
  j.key("entities").beginObject();
  for (const auto& b : doc.blocks) {
    std::map<std::string, int> counts;
    for (const auto& e : b.entities) counts[typeName(e.data)]++;
    j.key(b.name()).beginObject();
    for (const auto& [k, n] : counts) j.field(k, n);
    j.endObject();
  }
  j.endObject();
  j.key("unsupported").beginObject();
  for (const auto& [k, n] : doc.unsupported) j.field(k, n);
  j.endObject();
  j.endObject();
  emit(args, io, j.str());
  return kOk;
}
}  // namespace
KELVARO_CLI_COMMAND("info", "describe a DWG or DXF drawing (release, header, tables, entity counts) as JSON",
                    "kelvaro-cli info FILE [--output FILE.json]", run);
}  // namespace kelvaro::cli
