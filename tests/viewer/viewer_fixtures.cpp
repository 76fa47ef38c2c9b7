#include "viewer_fixtures.h"

#include <unistd.h>

#include "cadkit/dxf_io.h"

namespace kelvaro::viewer::test {

namespace fs = std::filesystem;
using namespace kelvaro::cad;

fs::path scratchFolder(const std::string& name) {
  fs::path dir = fs::temp_directory_path() / ("kelvaro_viewer_" + name + "_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

namespace {
Entity line(Vec3 a, Vec3 b, std::int16_t colour, const std::string& layer = "0") {
  Entity e;
  e.common.layer = layer;
  e.common.color = colour;
  e.data = Line{a, b};
  return e;
}

template <class Rec>
void addEntry(Document& doc, Table<Rec>& table, Rec rec) {
  TableEntry<Rec> e;
  e.frame.handle = doc.newHandle();
  e.rec = std::move(rec);
  table.entries.push_back(std::move(e));
  table.present = true;
}
}  // namespace

Document crossDrawing() {
  Document doc;
  doc.modelSpace();
  doc.paperSpace();
  for (const char* name : {"CONTINUOUS", "DASHED", "Center"}) {
    Linetype lt;
    lt.name = name;
    addEntry(doc, doc.linetypes, lt);
  }
  for (const char* name : {"0", "b", "C", "a"}) {
    Layer l;
    l.name = name;
    l.linetype = std::string(name) == "C" ? "DASHED" : "CONTINUOUS";
    addEntry(doc, doc.layers, l);
  }
  doc.modelSpace().entities.push_back(line({0, 0, 0}, {100, 0, 0}, 1, "b"));
  doc.modelSpace().entities.push_back(line({50, -50, 0}, {50, 50, 0}, 5, "C"));
  doc.assignHandles();
  return doc;
}

Document layoutDrawing() {
  Document doc = crossDrawing();
  Block& sheet = doc.paperSpace();
  Entity vp;
  vp.common.paperSpace = 1;
  Viewport v;
  v.center = {5, 4, 0};
  v.width = 8;
  v.height = 6;
  v.id = 2;  // a viewport onto model space, not the sheet's own
  vp.data = v;
  sheet.entities.push_back(vp);
  Block& empty = doc.addBlock("*Paper_Space0");
  empty.entities.push_back(line({0, 0, 0}, {1, 1, 0}, 3));
  doc.assignHandles();
  auto recordFor = [&](const std::string& block) {
    for (auto& r : doc.blockRecords.entries)
      if (sameName(r.rec.name, block)) return r.frame.handle;
    BlockRecord br;
    br.name = block;
    addEntry(doc, doc.blockRecords, br);
    return doc.blockRecords.entries.back().frame.handle;
  };
  const std::pair<const char*, const char*> layouts[] = {
      {"Model", kModelSpace}, {"Empty", "*Paper_Space0"}, {"Sheet", kPaperSpace}};
  for (const auto& [name, block] : layouts) {
    Object ob;
    ob.frame.handle = doc.newHandle();
    Layout l;
    l.name = name;
    l.blockRecord = recordFor(block);
    ob.data = l;
    doc.objects.push_back(std::move(ob));
  }
  return doc;
}

void save(const Document& doc, const fs::path& path, Release release) { saveDxfFile(doc, path, release, {}); }

}  // namespace kelvaro::viewer::test
