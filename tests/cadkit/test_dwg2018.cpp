// DWG objects of 2004-2018: each description writes and reads back the same record in every
// later release, with texts in the string stream and references in the handle stream; the
// sample drawings of those releases open, agree with their DXF files and save as 2000.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "cadkit/dwg/desc_tables.h"
#include "cadkit/dwg/dwg_io.h"
#include "cadkit/toolkit.h"
#include "python_helper.h"

namespace kelvaro::cad::dwg {
namespace {

namespace fs = std::filesystem;

// One object's streams as a 2007+ file holds them: data with the texts at its end, then the
// handles. Before 2007 the texts stay in the data.
struct Wire {
  std::vector<std::uint8_t> data, handles;
  std::size_t dataBits = 0;
};

Ctx context(Release rel) {
  Ctx c;
  c.rel = rel;
  c.names.add(Names::Style, 0x11, "STANDARD");
  c.names.add(Names::Style, 0x12, "Notes");
  c.names.add(Names::Ltype, 0x15, "DASHED");
  c.names.add(Names::Block, 0x1F, "Door");
  c.names.add(Names::DimStyle, 0x27, "ISO-25");
  c.names.add(Names::View, 0x30, "Plan");
  return c;
}

template <class Fn>
Wire write(Release rel, Fn&& fn) {
  Ctx ctx = context(rel);
  BitWriter d(rel), h(rel), s(rel);
  ObjOut out(d, h, ctx, rel >= Release::R2007 ? &s : nullptr);
  fn(out);
  if (rel >= Release::R2007) appendStringStream(d, s);
  return {d.data(), h.data(), d.bitPos()};
}

template <class Fn>
bool read(Release rel, const Wire& w, Fn&& fn) {
  Ctx ctx = context(rel);
  BitReader d(w.data, rel), h(w.handles, rel), s(w.data, rel);
  if (rel >= Release::R2007) {
    BitRange r = stringStream(w.data, w.dataBits);
    s.limitBits(r.end);
    s.seekBit(r.begin);
  }
  ObjIn in(d, h, ctx, 0x40, rel >= Release::R2007 ? &s : nullptr);
  fn(in);
  return in.ok();
}

// Writes with one description, reads with the same, for each later release.
template <class T, class Fn>
void roundTrip(const T& original, Fn&& describe) {
  for (Release rel : {Release::R2000, Release::R2004, Release::R2007, Release::R2010, Release::R2013, Release::R2018}) {
    SCOPED_TRACE(releaseMagic(rel));
    T src = original, back{};
    Wire w = write(rel, [&](ObjOut& v) { describe(v, src); });
    ASSERT_TRUE(read(rel, w, [&](ObjIn& v) { describe(v, back); }));
    EXPECT_EQ(back, original);
  }
}

TEST(Dwg2018Records, TextsWithTheirAttributesComeBackInEveryRelease) {
  Text t;
  t.text = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC 5";  // non-ASCII: UTF-16 since 2007
  t.insert = {1, 2, 0};
  t.height = 2.5;
  t.style = "Notes";
  roundTrip(t, [](auto& v, Text& x) {
    Links l;
    dwgBody(v, x, l);
  });
  AttDef a;
  a.text = "Default";
  a.tag = "ROOM_NO";
  a.prompt = "Num\xC3\xA9ro";
  a.flags = 8;
  a.style = "STANDARD";
  roundTrip(a, [](auto& v, AttDef& x) {
    Links l;
    dwgBody(v, x, l);
  });
  MText m;
  m.text = "\\PLine two \xE2\x80\x94 dash";
  m.refWidth = 40;
  m.height = 3;
  m.style = "Notes";
  roundTrip(m, [](auto& v, MText& x) {
    Links l;
    dwgBody(v, x, l);
  });
}

TEST(Dwg2018Records, TableRecordsKeepNamesAndReferences) {
  Layer layer;
  layer.name = "W\xC3\xA4nde";
  layer.color = -3;  // off
  layer.linetype = "DASHED";
  layer.lineweight = 35;
  layer.flags = 4;
  roundTrip(layer, [](auto& v, Layer& x) { dwgRecord(v, x); });
  Linetype lt;
  lt.name = "GAS";
  lt.description = "Gas line ---- GAS ----";
  lt.length = 1.5;
  lt.dashes.resize(2);
  lt.dashes[0].length = 1;
  lt.dashes[1].length = -0.5;
  lt.dashes[1].complex = 2;
  lt.dashes[1].text = "G\xC3\x84S";
  lt.dashes[1].style = Handle{0x11};
  roundTrip(lt, [](auto& v, Linetype& x) { dwgRecord(v, x); });
  Vport vp;
  vp.name = "*ACTIVE";
  vp.height = 100;
  vp.aspect = 1.5;
  vp.center = {5, 6};
  roundTrip(vp, [](auto& v, Vport& x) { dwgRecord(v, x); });
}

// Since 2004 a block and a block reference list what they own instead of linking it.
TEST(Dwg2018Records, OwnersListTheirEntitiesSince2004) {
  struct Rec {
    BlockRecord r;
    BlockBegin b;
    Links l;
    Handle begin, end;
    bool operator==(const Rec& o) const {
      return r.name == o.r.name && b.base == o.b.base && l.owned == o.l.owned && l.first == o.l.first &&
             begin == o.begin && end == o.end;
    }
  };
  Rec rec;
  rec.r.name = "Door";
  rec.b.base = {1, 2, 3};
  rec.begin = Handle{0x50};
  rec.end = Handle{0x51};
  for (Release rel : {Release::R2000, Release::R2004, Release::R2018}) {
    SCOPED_TRACE(releaseMagic(rel));
    Rec src = rec, back;
    if (rel >= Release::R2004) src.l.owned = {Handle{0x60}, Handle{0x61}, Handle{0x6A}};
    else src.l.first = Handle{0x60}, src.l.last = Handle{0x6A};
    Wire w = write(rel, [&](ObjOut& v) { dwgRecord(v, src.r, src.b, src.l, src.begin, src.end); });
    ASSERT_TRUE(read(rel, w, [&](ObjIn& v) { dwgRecord(v, back.r, back.b, back.l, back.begin, back.end); }));
    EXPECT_EQ(back, src);
  }
  Insert ins;
  ins.block = "Door";
  ins.insert = {4, 5, 0};
  ins.attribs.resize(2);
  for (Release rel : {Release::R2000, Release::R2004, Release::R2018}) {
    SCOPED_TRACE(releaseMagic(rel));
    Links out, in;
    if (rel >= Release::R2004) out.owned = {Handle{0x70}, Handle{0x71}};
    else out.first = Handle{0x70}, out.last = Handle{0x71};
    out.seqend = Handle{0x72};
    Insert src = ins, back;
    Wire w = write(rel, [&](ObjOut& v) { insertBody(v, src, out, false); });
    ASSERT_TRUE(read(rel, w, [&](ObjIn& v) { insertBody(v, back, in, false); }));
    EXPECT_EQ(back.block, "Door");
    EXPECT_EQ(in.owned, out.owned);
    EXPECT_EQ(in.first, out.first);
    EXPECT_EQ(in.seqend, out.seqend);
  }
}

TEST(Dwg2018Records, HatchGradientsAndLayoutPlotViewsSince2004) {
  Hatch h;
  h.pattern = "SOLID";
  h.gradient = 1;
  h.gradientName = "LINEAR";
  h.gradientAngle = 0.5;
  h.gradientColors = {{0, 5, 0}, {1, 2, 0x102030}};
  h.paths.resize(1);
  h.paths[0].flags = 2;
  h.paths[0].vertices = {{{0, 0}, 0}, {{10, 0}, 0}, {{10, 10}, 0}};
  h.paths[0].closed = 1;
  for (Release rel : {Release::R2004, Release::R2018}) {
    SCOPED_TRACE(releaseMagic(rel));
    Hatch src = h, back;
    Wire w = write(rel, [&](ObjOut& v) {
      Links l;
      dwgBody(v, src, l);
    });
    ASSERT_TRUE(read(rel, w, [&](ObjIn& v) {
      Links l;
      dwgBody(v, back, l);
    }));
    EXPECT_EQ(back.gradientName, "LINEAR");
    EXPECT_EQ(back.gradientColors, h.gradientColors);
    EXPECT_EQ(back.paths[0].vertices.size(), 3u);
  }
  // The plot view is a name until 2000 and a reference since 2004: both read as its name.
  for (Release rel : {Release::R2000, Release::R2018}) {
    SCOPED_TRACE(releaseMagic(rel));
    Layout l, back;
    l.name = "Sheet \xE2\x84\x96 1";
    l.tabOrder = 2;
    std::vector<Tag> plot = {textTag(6, "Plan"), textTag(1, "printer.pc3")}, got;
    Wire w = write(rel, [&](ObjOut& v) { layoutBody(v, l, plot); });
    ASSERT_TRUE(read(rel, w, [&](ObjIn& v) { layoutBody(v, back, got); }));
    EXPECT_EQ(back.name, l.name);
    EXPECT_EQ(back.tabOrder, 2);
    std::map<int, std::string> texts;
    for (const Tag& t : got)
      if (t.code == 1 || t.code == 6) texts[t.code] = t.asText();
    EXPECT_EQ(texts[6], "Plan");
    EXPECT_EQ(texts[1], "printer.pc3");
  }
}

// --- the sample drawings -------------------------------------------------------------------------

std::map<std::string, int> counts(const Block& b) {
  std::map<std::string, int> n;
  for (const auto& e : b.entities) n[typeName(e.data)]++;
  return n;
}

std::vector<fs::path> laterDrawings() {
  std::vector<fs::path> out;
  fs::path dir = test::corpusDir();
  for (const char* n : {"example_2007.dwg", "example_2010.dwg", "example_2013.dwg", "example_2018.dwg", "sample_2018.dwg",
                        "2018/Arc.dwg", "2018/Polyline.dwg", "2018/Text.dwg"})
    if (fs::exists(dir / n)) out.push_back(dir / n);
  return out;
}

// Texts agree with the DXF file by handle, whatever their characters.
TEST(Dwg2018Corpus, TextsAndLayersMatchTheDxfBesideThem) {
  int compared = 0;
  for (const auto& f : laterDrawings()) {
    fs::path dxf = f;
    dxf.replace_extension(".dxf");
    if (!fs::exists(dxf)) continue;
    SCOPED_TRACE(f.string());
    DwgReadReport rep;
    Document d = readDwgFile(f, &rep);
    for (const auto& w : rep.warnings)
      if (w.find("MLINE") == std::string::npos) ADD_FAILURE() << w;
    Document x = readDxfFile(dxf);
    std::map<std::uint64_t, std::string> want;
    for (const auto& e : x.findBlock(kModelSpace)->entities) {
      if (const auto* t = e.as<Text>()) want[e.frame.handle.v] = t->text;
      if (const auto* t = e.as<MText>()) want[e.frame.handle.v] = t->text;
    }
    int texts = 0;
    for (const auto& e : d.findBlock(kModelSpace)->entities) {
      auto it = want.find(e.frame.handle.v);
      if (it == want.end()) continue;
      const std::string* got = nullptr;
      if (const auto* t = e.as<Text>()) got = &t->text;
      if (const auto* t = e.as<MText>()) got = &t->text;
      if (!got) continue;
      EXPECT_EQ(*got, it->second);
      ++texts;
    }
    EXPECT_EQ(texts, static_cast<int>(want.size()));
    std::map<std::string, std::int16_t> la, lb;
    for (const auto& l : d.layers.entries) la[l.rec.name] = l.rec.color;
    for (const auto& l : x.layers.entries) lb[l.rec.name] = l.rec.color;
    EXPECT_EQ(la, lb);
    ++compared;
  }
  if (!compared) GTEST_SKIP() << "no 2010-2018 drawings with DXF files under " << test::corpusDir();
}

TEST(Dwg2018Corpus, Sample2018HoldsWhatTheSample2000Holds) {
  fs::path f = fs::path(test::corpusDir()) / "sample_2018.dwg";
  fs::path g = fs::path(test::corpusDir()) / "sample_2000.dwg";
  if (!fs::exists(f) || !fs::exists(g)) GTEST_SKIP() << f << " or " << g << " not found";
  Document d = readDwgFile(f), old = readDwgFile(g);
  EXPECT_EQ(d.release, Release::R2018);
  EXPECT_EQ(counts(*d.findBlock(kModelSpace)), counts(*old.findBlock(kModelSpace)));
  std::set<std::string> a, b;
  for (const auto& l : d.layers.entries) a.insert(l.rec.name);
  for (const auto& l : old.layers.entries) b.insert(l.rec.name);
  EXPECT_EQ(a, b);
  AdDrawing h = adLoadFile(f.string().c_str(), 1, 1);
  ASSERT_NE(h, 0) << adErrorStr(adError(0));
  EXPECT_EQ(adFileVersionLoaded(h), 7);  // later releases report as 2000
  adCloseFile(h);
}

// A 2018 drawing saved as DWG 2000 and as DXF 2000 keeps what the model holds; the rest is
// left out and listed.
TEST(Dwg2018Corpus, SavingAs2000KeepsEveryInterpretedRecord) {
  int n = 0;
  for (const auto& f : laterDrawings()) {
    SCOPED_TRACE(f.string());
    Document d = readDwgFile(f);
    SaveReport rep;
    auto bytes = writeDwg(d, Release::R2000, &rep);
    DwgReadReport rr;
    Document back = readDwg(bytes, &rr);
    for (const auto& w : rr.warnings)
      if (w.find("MLINE") == std::string::npos) ADD_FAILURE() << w;
    Document dxf = readDxf(writeDxf(d, Release::R2000, {}));
    for (const char* space : {kModelSpace, kPaperSpace}) {
      const Block* a = d.findBlock(space);
      if (!a) continue;
      auto want = counts(*a);
      auto got = counts(*back.findBlock(space)), gotDxf = counts(*dxf.findBlock(space));
      for (const auto& [type, count] : want) {
        if (isRaw(makeEntityData(type)) || d.unsupported.count(type)) {
          EXPECT_EQ(got.count(type), 0u) << type;
          EXPECT_GT(rep.dropped.count(type), 0u) << type;
          continue;
        }
        EXPECT_EQ(got[type], count) << space << " " << type;
        EXPECT_EQ(gotDxf[type], count) << space << " " << type;
      }
    }
    EXPECT_EQ(back.layers, d.layers);
    ++n;
  }
  if (!n) GTEST_SKIP() << "no 2010-2018 drawings under " << test::corpusDir();
}

// The independent reader (LibreDWG as WebAssembly) accepts the DWG 2000 written from 2018 files.
TEST(Dwg2018Corpus, IndependentReaderAcceptsThe2000CopyOfA2018Drawing) {
  fs::path script = fs::path(KELVARO_SOURCE_DIR) / "tools" / "dwg_check.mjs";
  fs::path modules = fs::path(KELVARO_SOURCE_DIR) / "tools" / ".dwg-reader";
  std::string out;
  if (test::runCommand("node -p 'process.versions.node.split(\".\")[0] >= 20'", out) != 0 || out.find("true") == std::string::npos)
    GTEST_SKIP() << "Node.js 20 or later is not installed";
  if (!fs::exists(modules / "node_modules" / "@mlightcad" / "libredwg-web"))
    GTEST_SKIP() << "the DWG reader is not installed (run scripts/dwg_reader.sh)";
  fs::path dir = fs::temp_directory_path() / "kelvaro_dwg2018_independent";
  fs::create_directories(dir);
  std::vector<Document> written;
  std::string files;
  for (const char* n : {"example_2018.dwg", "sample_2018.dwg"}) {
    fs::path f = fs::path(test::corpusDir()) / n;
    if (!fs::exists(f)) continue;
    fs::path p = dir / (std::string("as2000_") + n);
    saveDwgFile(readDwgFile(f), p, Release::R2000);
    written.push_back(readDwgFile(p));
    files += " " + p.string();
  }
  if (written.empty()) GTEST_SKIP() << "2018 drawings not found under " << test::corpusDir();
  ASSERT_EQ(test::runCommand("node " + script.string() + " " + modules.string() + files, out), 0) << out;
  std::istringstream lines(out);
  std::string line;
  std::size_t i = 0;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] != '{' || i >= written.size()) continue;
    SCOPED_TRACE(line);
    const Document& d = written[i++];
    EXPECT_EQ(line.find("\"error\""), std::string::npos);
    for (const auto& e : d.layers.entries) EXPECT_NE(line.find("\"" + e.rec.name + "\""), std::string::npos);
    int lines2 = 0;
    for (const auto& b : d.blocks)
      if (b.name() == kModelSpace || b.name() == kPaperSpace)
        for (const auto& e : b.entities) lines2 += e.is<Line>();
    EXPECT_NE(line.find("\"LINE\":" + std::to_string(lines2)), std::string::npos);
  }
  EXPECT_EQ(i, written.size());
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kelvaro::cad::dwg
