// Writing DWG R13, R14 and 2000: what is written reads back into the same drawing, an
// independent reader accepts it, and a failed save leaves the old file alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "cadkit/dwg/dwg_io.h"
#include "sample_drawing.h"
#include "cadkit/toolkit.h"
#include "python_helper.h"

namespace kelvaro::cad {
namespace {

namespace fs = std::filesystem;
const Release kReleases[] = {Release::R13, Release::R14, Release::R2000};

// The sample drawing with its references made to point at records it has.
Document consistentSample() {
  Document d = test::sampleDrawing();
  for (auto& b : d.blocks)
    for (auto& e : b.entities) {
      if (auto* dim = e.as<Dimension>(); dim && !d.findBlock(dim->block)) dim->block.clear();
      if (auto* ml = e.as<MLine>()) ml->style.clear(), ml->styleHandle = {};
    }
  return d;
}

// A section of the drawing as DXF text at a fixed precision: equal text, equal records.
std::string section(const Document& d, Release rel, std::string_view name) {
  WriteOptions o;
  o.places = 6;
  std::string all = writeDxf(d, rel, o);
  std::string key = "\n  2\n" + std::string(name) + "\n";
  auto at = all.find(key);
  if (at == std::string::npos) return {};
  auto end = all.find("\n  0\nENDSEC", at);
  return all.substr(at, end - at);
}

std::map<std::string, std::map<std::string, int>> counts(const Document& d) {
  std::map<std::string, std::map<std::string, int>> m;
  for (const auto& b : d.blocks)
    for (const auto& e : b.entities) m[b.name()][typeName(e.data)]++;
  return m;
}

class DwgWrite : public ::testing::TestWithParam<Release> {};

TEST_P(DwgWrite, SampleReadsBackIntoTheSameDrawing) {
  Release rel = GetParam();
  Document d = consistentSample();
  SaveReport rep;
  auto bytes = writeDwg(d, rel, &rep);
  DwgReadReport rr;
  Document back = readDwg(bytes, &rr);
  EXPECT_TRUE(rr.warnings.empty()) << rr.warnings.front();
  EXPECT_EQ(back.release, rel);
  Document expected = d;
  prepareForRelease(expected, rel, nullptr);
  // Viewports are numbered by their order when read.
  for (auto& b : expected.blocks) {
    std::int16_t id = 0;
    for (auto& e : b.entities)
      if (auto* vp = e.as<Viewport>()) vp->id = ++id;
  }
  EXPECT_EQ(section(back, rel, "ENTITIES"), section(expected, rel, "ENTITIES"));
  // Blocks come in the order of their records: compared by name.
  for (const auto& b : expected.blocks) {
    const Block* o = back.findBlock(b.name());
    ASSERT_NE(o, nullptr) << b.name();
    EXPECT_EQ(o->begin.base, b.begin.base);
    ASSERT_EQ(o->entities.size(), b.entities.size()) << b.name();
    for (std::size_t i = 0; i < b.entities.size(); ++i) EXPECT_EQ(typeName(o->entities[i].data), typeName(b.entities[i].data));
  }
  ASSERT_EQ(back.layers.entries.size(), expected.layers.entries.size());
  for (std::size_t i = 0; i < back.layers.entries.size(); ++i) {
    const Layer &a = back.layers.entries[i].rec, &b = expected.layers.entries[i].rec;
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.color, b.color);
    EXPECT_EQ(a.flags & 7, b.flags & 7);
    EXPECT_TRUE(sameName(a.linetype, b.linetype)) << a.linetype << " " << b.linetype;
    if (rel >= Release::R2000) {
      EXPECT_EQ(a.lineweight, b.lineweight);
      EXPECT_EQ(a.plot, b.plot);
    }
  }
  ASSERT_EQ(back.linetypes.entries.size(), expected.linetypes.entries.size());
  for (const auto& e : expected.linetypes.entries) {
    bool found = false;
    for (const auto& o : back.linetypes.entries)
      if (o.rec.name == e.rec.name) {
        found = true;
        EXPECT_EQ(o.rec, e.rec) << e.rec.name;
      }
    EXPECT_TRUE(found) << e.rec.name;
  }
  EXPECT_EQ(back.styles.entries.size(), expected.styles.entries.size());
  EXPECT_EQ(back.header.extMin, expected.header.extMin);
  EXPECT_EQ(back.header.clayer, expected.header.clayer);
  EXPECT_EQ(back.header.created, expected.header.created);
}

TEST_P(DwgWrite, WritingTwiceGivesTheSameBytes) {
  Document d = consistentSample();
  auto a = writeDwg(d, GetParam());
  Document back = readDwg(a);
  auto b = writeDwg(back, GetParam());
  auto c = writeDwg(readDwg(b), GetParam());
  EXPECT_EQ(b, c);
}

INSTANTIATE_TEST_SUITE_P(Releases, DwgWrite, ::testing::ValuesIn(kReleases));

// Drawings read from DWG keep what the model does not interpret when saved as the same release.
TEST(DwgWriteCorpus, DwgToDwgKeepsEveryRecord) {
  int n = 0;
  for (const char* name : {"example_2000.dwg", "example_r14.dwg", "example_r13.dwg", "sample_2000.dwg"}) {
    fs::path f = fs::path(test::corpusDir()) / name;
    if (!fs::exists(f)) continue;
    SCOPED_TRACE(name);
    Document d = readDwgFile(f);
    SaveReport rep;
    auto bytes = writeDwg(d, d.release, &rep);
    EXPECT_TRUE(rep.dropped.empty()) << rep.dropped.begin()->first;
    DwgReadReport rr;
    Document back = readDwg(bytes, &rr);
    for (const auto& w : rr.warnings) ADD_FAILURE() << w;
    EXPECT_EQ(counts(back), counts(d));
    EXPECT_EQ(back.objects.size(), d.objects.size());
    EXPECT_EQ(back.unsupported, d.unsupported);
    EXPECT_EQ(back.layers, d.layers);
    ++n;
  }
  if (n == 0) GTEST_SKIP() << "sample drawings not found under " << test::corpusDir();
}

TEST(DwgWriteCorpus, OlderReleaseLeavesOutAndListsWhatItCannotHold) {
  fs::path f = fs::path(test::corpusDir()) / "example_2000.dwg";
  if (!fs::exists(f)) GTEST_SKIP() << f << " not found";
  Document d = readDwgFile(f);
  SaveReport rep;
  auto bytes = writeDwg(d, Release::R14, &rep);
  EXPECT_GT(rep.dropped.count("ACAD_TABLE"), 0u);
  Document back = readDwg(bytes);
  auto a = counts(back)[kModelSpace], b = counts(d)[kModelSpace];
  for (const char* t : {"LINE", "LWPOLYLINE", "INSERT", "DIMENSION", "HATCH", "MTEXT", "SPLINE"}) EXPECT_EQ(a[t], b[t]) << t;
  EXPECT_EQ(a.count("ACAD_TABLE"), 0u);
}

TEST(DwgWriteCorpus, DxfToDwgToDxfKeepsEntitiesAndLayers) {
  fs::path f = fs::path(test::corpusDir()) / "example_2000.dxf";
  if (!fs::exists(f)) GTEST_SKIP() << f << " not found";
  Document d = readDxfFile(f);
  auto bytes = writeDwg(d, Release::R2000);
  Document back = readDwg(bytes);
  auto a = counts(back)[kModelSpace], b = counts(d)[kModelSpace];
  for (const auto& [t, n] : b)
    if (!isRaw(makeEntityData(t))) EXPECT_EQ(a[t], n) << t;
  std::set<std::string> la, lb;
  for (const auto& e : back.layers.entries) la.insert(e.rec.name);
  for (const auto& e : d.layers.entries) lb.insert(e.rec.name);
  EXPECT_EQ(la, lb);
  // Dictionaries and layouts survive.
  auto kinds = [](const Document& x) {
    std::map<std::string, int> m;
    for (const auto& o : x.objects)
      if (!std::holds_alternative<RawObject>(o.data)) m[objectTypeName(o.data)]++;
    return m;
  };
  EXPECT_EQ(kinds(back), kinds(d));
}

// The independent reader: LibreDWG as WebAssembly under Node.js.
TEST(DwgWriteIndependent, LibreDwgReadsWhatWeWrite) {
  fs::path script = fs::path(KELVARO_SOURCE_DIR) / "tools" / "dwg_check.mjs";
  fs::path modules = fs::path(KELVARO_SOURCE_DIR) / "tools" / ".dwg-reader";
  std::string out;
  if (test::runCommand("node -p 'process.versions.node.split(\".\")[0] >= 20'", out) != 0 || out.find("true") == std::string::npos)
    GTEST_SKIP() << "Node.js 20 or later is not installed";
  if (!fs::exists(modules / "node_modules" / "@mlightcad" / "libredwg-web"))
    GTEST_SKIP() << "the DWG reader is not installed (run scripts/dwg_reader.sh)";
  fs::path dir = fs::temp_directory_path() / "kelvaro_dwg_independent";
  fs::create_directories(dir);
  Document d = consistentSample();
  std::string files;
  for (Release rel : kReleases) {
    fs::path p = dir / (std::string("sample_") + releaseName(rel) + ".dwg");
    saveDwgFile(d, p, rel);
    files += " " + p.string();
  }
  ASSERT_EQ(test::runCommand("node " + script.string() + " " + modules.string() + files, out), 0) << out;
  std::istringstream lines(out);
  std::string line;
  int read = 0;
  Document expected = d;
  prepareForRelease(expected, Release::R2000, nullptr);
  std::size_t layers = expected.layers.entries.size();
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] != '{') continue;
    SCOPED_TRACE(line);
    EXPECT_EQ(line.find("\"error\""), std::string::npos);
    // Every layer name appears, and lines and circles are all there.
    for (const auto& e : expected.layers.entries) EXPECT_NE(line.find("\"" + e.rec.name + "\""), std::string::npos);
    auto model = counts(expected)[kModelSpace];
    EXPECT_NE(line.find("\"LINE\":" + std::to_string(model["LINE"])), std::string::npos);
    EXPECT_NE(line.find("\"CIRCLE\":" + std::to_string(model["CIRCLE"])), std::string::npos);
    ++read;
  }
  EXPECT_EQ(read, 3);
  EXPECT_GT(layers, 1u);
  fs::remove_all(dir);
}

TEST(DwgSave, AFailedSaveLeavesThePreviousFile) {
  fs::path dir = fs::temp_directory_path() / "kelvaro_dwg_save";
  fs::remove_all(dir);
  fs::create_directories(dir / "target" / "inside");
  Document d = consistentSample();
  // The target is a folder holding a file: the rename fails and nothing is lost.
  EXPECT_THROW(saveDwgFile(d, dir / "target", Release::R2000), std::runtime_error);
  EXPECT_TRUE(fs::is_directory(dir / "target" / "inside"));
  for (const auto& e : fs::directory_iterator(dir)) EXPECT_EQ(e.path().filename(), "target");
  // A good save replaces an old file as a whole.
  fs::path f = dir / "a.dwg";
  std::ofstream(f) << "old";
  saveDwgFile(d, f, Release::R14);
  EXPECT_EQ(readDwgFile(f).release, Release::R14);
  fs::remove_all(dir);
}

TEST(DwgSave, ToolkitSavesDwgVersionsFiveToSeven) {
  fs::path dir = fs::temp_directory_path() / "kelvaro_dwg_toolkit";
  fs::create_directories(dir);
  fs::path src = dir / "src.dxf";
  saveDxfFile(consistentSample(), src, Release::R2000, WriteOptions{});
  ASSERT_EQ(adInitAd2((fs::path(KELVARO_BINARY_DIR) / "src/app/adinit.dat").string().c_str(), 0), 1);
  ASSERT_EQ(adInitAd3(), 1);
  AdDrawing h = adLoadFile(src.string().c_str(), 1, 1);
  ASSERT_NE(h, 0);
  for (int version : {5, 6, 7}) {
    fs::path out = dir / ("v" + std::to_string(version) + ".dwg");
    ASSERT_EQ(adSaveFile(h, out.string().c_str(), 0, version, 0, 0, 0, 0), 1) << adErrorStr(adError(0));
    AdDrawing again = adLoadFile(out.string().c_str(), 1, 1);
    ASSERT_NE(again, 0) << adErrorStr(adError(0));
    EXPECT_EQ(adFileVersionLoaded(again), version);
    adCloseFile(again);
  }
  adCloseFile(h);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kelvaro::cad
