// DWG before R13: write -> read round trips for each release, damaged files, the toolkit calls.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "cadkit/dwg12_header.h"
#include "cadkit/dwg12_layout.h"
#include "cadkit/dwg12_io.h"
#include "cadkit/toolkit.h"
#include "sample_drawing.h"

namespace kelvaro::cad {
namespace {
namespace fs = std::filesystem;

const Release kReleases[] = {Release::R2_5, Release::R2_6, Release::R9, Release::R10, Release::R12};

std::string name(Release r) {
  std::string n = releaseName(r);
  for (char& c : n)
    if (c == '.' || c == '/') c = '_';
  return "R" + n;
}

// Handles are compared apart: releases before R10 have none.
void clearHandles(Document& d) {
  forEachFrame(d, [](Frame& f) { f.handle = {}; });
}

class Dwg12RoundTrip : public testing::TestWithParam<Release> {
 protected:
  void SetUp() override {
    original = test::sampleDrawing();
    bytes = writeDwg12(original, GetParam(), &report);
    ASSERT_NO_THROW(back = readDwg12(bytes, &warnings));
    // The same drawing through DXF of the same release: what that release can hold.
    viaDxf = readDxf(writeDxf(original, GetParam(), {}));
    prepared = original;
    prepareForRelease(prepared, GetParam(), nullptr);
  }
  Document original, back, viaDxf, prepared;
  std::string bytes;
  SaveReport report;
  std::vector<std::string> warnings;
};

TEST_P(Dwg12RoundTrip, ReadsBackWithoutWarningsAsItsRelease) {
  EXPECT_TRUE(warnings.empty()) << warnings.front();
  EXPECT_EQ(back.release, GetParam());
  EXPECT_EQ(bytes.substr(0, 6), releaseMagic(GetParam()));
  EXPECT_EQ(back.header.acadver, releaseMagic(GetParam()));
}

// What DWG before R10 cannot hold although DXF of that release can; the writer lists each.
void flattenLikeOldDwg(Document& d) {
  for (Block& b : d.blocks)
    for (Entity& e : b.entities) {
      if (auto* l = e.as<Line>()) l->end.z = l->start.z;
      if (auto* f = e.as<Face3d>()) f->invisibleEdges = 0;
      if (auto* p = e.as<Polyline>(); p && !(p->flags & (8 | 16 | 64)))
        for (auto& v : p->vertices) v.data.location.z = p->elevation.z;
    }
}

// Every entity of every block equals what DXF of the same release keeps (or, where DXF text
// rounds a coordinate, the converted drawing itself); the only DWG-specific losses are listed
// in the report.
TEST_P(Dwg12RoundTrip, EntitiesEqualThoseTheReleaseHoldsInDxf) {
  clearHandles(back);
  clearHandles(viaDxf);
  clearHandles(prepared);
  if (GetParam() < Release::R10) {
    flattenLikeOldDwg(viaDxf);
    flattenLikeOldDwg(prepared);
    EXPECT_EQ(report.converted["LINE with two heights -> LINE at its start height"], 1);
    EXPECT_GT(report.converted["2D POLYLINE vertex heights -> the polyline's elevation"], 0);
  }
  int compared = 0;
  for (const Block& want : viaDxf.blocks) {
    const Block* got = back.findBlock(want.name());
    std::vector<const Entity*> expected;
    for (const Entity& e : want.entities)
      if (!isRaw(e.data)) expected.push_back(&e);
    if (expected.empty()) continue;
    ASSERT_NE(got, nullptr) << want.name();
    ASSERT_EQ(got->entities.size(), expected.size()) << want.name();
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const Entity& a = *expected[i];
      const Entity& b = got->entities[i];
      EXPECT_EQ(typeName(a.data), typeName(b.data));
      const Block* exact = prepared.findBlock(want.name());
      bool same = a.data == b.data;
      if (!same && exact) {
        std::size_t k = 0;
        for (const Entity& e : exact->entities)
          if (!isRaw(e.data) && k++ == i) same = e.data == b.data;
      }
      EXPECT_TRUE(same) << want.name() << " #" << i << " " << typeName(a.data);
      EXPECT_TRUE(a.common == b.common) << want.name() << " #" << i << " " << typeName(a.data);
      ++compared;
    }
  }
  EXPECT_GT(compared, 20);
}

TEST_P(Dwg12RoundTrip, TablesAndHeaderSurvive) {
  auto names = [](const auto& table) {
    std::vector<std::string> n;
    for (const auto& e : table.entries) n.push_back(e.rec.name);
    return n;
  };
  for (const auto& l : viaDxf.layers.entries) {
    bool found = false;
    for (const auto& m : back.layers.entries)
      if (m.rec.name == l.rec.name) {
        found = true;
        EXPECT_EQ(m.rec.color, l.rec.color) << l.rec.name;
        EXPECT_EQ(m.rec.flags & 7, l.rec.flags & 7) << l.rec.name;
        EXPECT_EQ(m.rec.linetype, l.rec.linetype) << l.rec.name;
      }
    EXPECT_TRUE(found) << l.rec.name;
  }
  EXPECT_EQ(names(back.styles), names(viaDxf.styles));
  EXPECT_EQ(names(back.linetypes), names(viaDxf.linetypes));
  EXPECT_EQ(names(back.views), names(viaDxf.views));
  for (std::size_t i = 0; i < back.linetypes.entries.size(); ++i) {
    const Linetype& a = back.linetypes.entries[i].rec;
    const Linetype& b = viaDxf.linetypes.entries[i].rec;
    ASSERT_EQ(a.dashes.size(), b.dashes.size()) << a.name;
    for (std::size_t k = 0; k < a.dashes.size(); ++k) EXPECT_EQ(a.dashes[k].length, b.dashes[k].length);
    EXPECT_EQ(a.length, b.length);
  }
  if (GetParam() >= Release::R10) {
    EXPECT_EQ(names(back.ucss), names(viaDxf.ucss));
    EXPECT_EQ(names(back.vports), names(viaDxf.vports));
  }
  if (GetParam() >= Release::R12) EXPECT_EQ(names(back.dimstyles), names(viaDxf.dimstyles));
  const Header& h = back.header;
  const Header& w = original.header;
  EXPECT_EQ(h.extMin, w.extMin);
  EXPECT_EQ(h.extMax, w.extMax);
  EXPECT_EQ(h.limMin, w.limMin);
  EXPECT_EQ(h.limMax, w.limMax);
  EXPECT_EQ(h.clayer, w.clayer);
  EXPECT_EQ(h.textSize, w.textSize);
  EXPECT_EQ(h.ltscale, w.ltscale);
  EXPECT_EQ(h.created, w.created);
  EXPECT_EQ(h.updated, w.updated);
  EXPECT_EQ(h.editTime, w.editTime);
  if (GetParam() >= Release::R12) EXPECT_EQ(h.tileMode, w.tileMode);
}

TEST_P(Dwg12RoundTrip, BlocksKeepTheirAttributesAndBase) {
  for (const Block& want : viaDxf.blocks) {
    if (sameName(want.name(), kModelSpace) || sameName(want.name(), kPaperSpace)) continue;
    const Block* got = back.findBlock(want.name());
    ASSERT_NE(got, nullptr) << want.name();
    EXPECT_EQ(got->begin.base, want.begin.base);
    EXPECT_EQ(got->begin.flags & 7, want.begin.flags & 7);
  }
}

TEST_P(Dwg12RoundTrip, ListsWhatTheReleaseCannotHold) {
  EXPECT_EQ(report.dropped["RAY"], 1);
  EXPECT_EQ(report.dropped["XLINE"], 1);
  EXPECT_EQ(report.converted["ELLIPSE -> POLYLINE"], 1);
  if (GetParam() < Release::R12) EXPECT_GT(report.dropped["paper space entities"], 0);
}

INSTANTIATE_TEST_SUITE_P(Releases, Dwg12RoundTrip, testing::ValuesIn(kReleases),
                         [](const testing::TestParamInfo<Release>& i) { return name(i.param); });

// A drawing written again from what was read is the same file.
TEST(Dwg12Writer, IsStableAcrossARereadAndRewrite) {
  for (Release r : kReleases) {
    std::string once = writeDwg12(test::sampleDrawing(), r);
    std::string twice = writeDwg12(readDwg12(once), r);
    Document a = readDwg12(once), b = readDwg12(twice);
    clearHandles(a);
    clearHandles(b);
    for (const Block& blk : a.blocks) {
      const Block* other = b.findBlock(blk.name());
      ASSERT_NE(other, nullptr);
      EXPECT_TRUE(blk.entities == other->entities) << releaseName(r) << " " << blk.name();
    }
  }
}

TEST(Dwg12Writer, ExtendedDataOfPaperSpaceEntitiesRoundTrips) {
  Document d;
  Entity vp = makeEntity(Viewport{});
  Tag app, s, n;
  app.code = 1001, app.text = "KELVARO";
  s.code = 1000, s.text = "r\xC3\xA9sum\xC3\xA9";
  n.code = 1040, n.kind = Tag::kReal, n.real = 2.5;
  vp.frame.xdata() = {app, s, n};
  vp.common.paperSpace = 1;
  d.paperSpace().entities.push_back(vp);
  Document back = readDwg12(writeDwg12(d, Release::R12));
  ASSERT_EQ(back.paperSpace().entities.size(), 1u);
  // The viewport's own view follows in the "ACAD" group.
  const auto& x = std::as_const(back.paperSpace().entities[0].frame).xdata();
  ASSERT_GT(x.size(), 3u);
  EXPECT_EQ(x[3].asText(), "ACAD");
  EXPECT_EQ(x[0].asText(), "KELVARO");
  EXPECT_EQ(x[1].asText(), "r\xC3\xA9sum\xC3\xA9");
  EXPECT_DOUBLE_EQ(x[2].asReal(), 2.5);
}

TEST(Dwg12Writer, EveryOptionalFieldComesBack) {
  Document d;
  Text t;
  t.insert = {1, 2, 3};
  t.height = 0.5;
  t.text = "label";
  t.rotation = 45;
  t.widthFactor = 0.8;
  t.oblique = 15;
  t.halign = 1;
  t.valign = 2;
  t.align = {4, 5, 3};
  t.generation = 2;
  d.modelSpace().entities.push_back(makeEntity(t, "NOTES"));
  Insert ins;
  ins.block = "B";
  ins.insert = {1, 1, 2};
  ins.sx = 2, ins.sy = 3, ins.sz = 4, ins.rotation = 30;
  ins.columns = 2, ins.rows = 3, ins.columnSpacing = 5, ins.rowSpacing = 6;
  ins.normal = {0, 1, 0};
  d.addBlock("B").entities.push_back(makeEntity(Circle{}));
  d.modelSpace().entities.push_back(makeEntity(ins));
  Polyline mesh;
  mesh.flags = 16;
  mesh.m = 2, mesh.n = 2;
  for (int i = 0; i < 4; ++i) {
    Vertex v;
    v.data.flags = 64;
    v.data.location = {double(i % 2), double(i / 2), double(i)};
    mesh.vertices.push_back(v);
  }
  d.modelSpace().entities.push_back(makeEntity(mesh));
  Entity coloured = makeEntity(Line{{0, 0, 1}, {1, 1, 2}});
  coloured.common.color = 0;
  coloured.common.linetype = "BYBLOCK";
  d.modelSpace().entities.push_back(coloured);
  Document back = readDwg12(writeDwg12(d, Release::R12));
  const auto& ents = back.modelSpace().entities;
  ASSERT_EQ(ents.size(), 4u);
  EXPECT_TRUE(ents[0].get<Text>() == t);
  EXPECT_EQ(ents[0].common.layer, "NOTES");
  EXPECT_TRUE(ents[1].get<Insert>() == ins);
  const auto& got = ents[2].get<Polyline>().vertices;
  ASSERT_EQ(got.size(), mesh.vertices.size());
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(got[i].data == mesh.vertices[i].data) << i;
  EXPECT_EQ(ents[2].get<Polyline>().m, 2);
  EXPECT_EQ(ents[3].common.color, 0);
  EXPECT_EQ(ents[3].common.linetype, "BYBLOCK");
  EXPECT_EQ(ents[3].get<Line>().end, (Vec3{1, 1, 2}));
  // A mesh before R10 cannot be held and is listed.
  SaveReport rep;
  Document old = readDwg12(writeDwg12(d, Release::R9, &rep));
  EXPECT_EQ(rep.dropped["POLYLINE (mesh)"], 1);
  EXPECT_EQ(old.modelSpace().entities.size(), 3u);
}

// Release 1.4 files have no tables and no entity sizes; they are built here from the same
// layouts the reader uses.
std::string release14File(int entityCount, bool withUnknownType) {
  using namespace dwg12;
  ByteOut out;
  out.bytes("AC1.40");
  out.fixed("", 6);
  Names names;
  Ctx c;
  c.ver = Ver::V1_4;
  c.names = &names;
  Directory dir;
  dir.entityCount = static_cast<std::uint32_t>(entityCount);
  Document d;
  d.header.extMax = {8, 8, 0};
  std::vector<std::pair<int, std::size_t>> patches;
  writeHeaderVars(out, c, dir, d, patches);
  FieldOut v(out, c);
  auto type = [&](int t, int layer) {
    out.rs(t);
    out.rs(layer);
  };
  type(kLine, 2);
  Line l{{1, 2, 0}, {3, 4, 0}};
  body(v, l);
  type(kText, 2);
  Text t;
  t.insert = {5, 6, 0};
  t.height = 0.75;
  t.oblique = 10;
  t.text = "FOO";
  body(v, t);
  type(kRepeat, 0);
  type(kBlock, 0);
  out.rs(2), out.bytes("B1"), out.rd(1), out.rd(1);
  type(kCircle, 3);
  Circle ci;
  body(v, ci);
  type(kEndBlk, 0);
  type(kInsert, 1);
  out.rs(2), out.bytes("B1");
  for (double x : {7.0, 8.0, 2.0, 2.0}) out.rd(x);
  out.rd(0.5);
  type(0x100 - kLine, 2);  // an erased line
  body(v, l);
  if (withUnknownType) type(99, 0);
  return out.buf();
}

TEST(Dwg12Reader, ReadsRelease14Entities) {
  std::vector<std::string> w;
  Document d = readDwg12(release14File(8, false), &w);
  EXPECT_TRUE(w.empty()) << w.front();
  EXPECT_EQ(d.header.acadver, "AC1.40");
  EXPECT_EQ(d.release, Release::R2_5);
  EXPECT_EQ(d.header.extMax, (Vec3{8, 8, 0}));
  const auto& ms = d.modelSpace().entities;
  ASSERT_EQ(ms.size(), 3u);
  EXPECT_EQ(ms[0].get<Line>().end, (Vec3{3, 4, 0}));
  EXPECT_EQ(ms[0].common.layer, "2");
  EXPECT_EQ(ms[1].get<Text>().text, "FOO");
  EXPECT_DOUBLE_EQ(ms[1].get<Text>().oblique, 10);
  EXPECT_EQ(ms[2].get<Insert>().block, "B1");
  EXPECT_DOUBLE_EQ(ms[2].get<Insert>().rotation, 0.5 * 180 / M_PI);
  const Block* b = d.findBlock("B1");
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->entities.size(), 1u);
  EXPECT_EQ(b->entities[0].common.layer, "3");
  EXPECT_EQ(d.unsupported["REPEAT"], 1);
  std::vector<std::string> layers;
  for (const auto& e : d.layers.entries) layers.push_back(e.rec.name);
  EXPECT_EQ(layers, (std::vector<std::string>{"0", "1", "2", "3"}));
  // An unknown type ends the entities with a warning; the count bounds the rest.
  w.clear();
  d = readDwg12(release14File(20, true), &w);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_NE(w[0].find("entity type 99"), std::string::npos) << w[0];
  EXPECT_EQ(d.modelSpace().entities.size(), 3u);
  d = readDwg12(release14File(2, true), &w);
  EXPECT_EQ(d.modelSpace().entities.size(), 2u);
}

// Text that cannot live in a DXF line (read from a damaged file) still saves as DWG.
TEST(Dwg12Writer, OddHeaderTextAndExtendedDataDoNotStopASave) {
  Document d = test::sampleDrawing();
  Tag menu;
  menu.code = 1;
  menu.text = "acad\nmenu\r";
  d.header.all.push_back({"$MENU", {menu}});
  d.header.clayer = "odd\nlayer";
  Entity vp = makeEntity(Viewport{});
  Tag app, bin;
  app.code = 1001, app.text = "KELVARO";
  bin.code = 1004, bin.text = "ZZ";  // not hexadecimal
  vp.frame.xdata() = {app, bin};
  vp.common.paperSpace = 1;
  d.paperSpace().entities.push_back(vp);
  SaveReport rep;
  std::string bytes;
  ASSERT_NO_THROW(bytes = writeDwg12(d, Release::R12, &rep));
  std::vector<std::string> w;
  Document back = readDwg12(bytes, &w);
  EXPECT_TRUE(w.empty());
  EXPECT_EQ(back.header.clayer, "odd\nlayer");
  EXPECT_EQ(rep.dropped["extended data that does not fit"], 1);
}

TEST(Dwg12Reader, RepeatedHandlesAreDroppedAndNewOnesStartPastAll) {
  Document d;
  for (int i = 0; i < 3; ++i) {
    Entity e = makeEntity(Line{{0, 0, 0}, {double(i), 1, 0}});
    e.frame.handle = Handle{0x500};
    d.modelSpace().entities.push_back(e);
  }
  Document back = readDwg12(writeDwg12(d, Release::R12));
  const auto& ms = back.modelSpace().entities;
  ASSERT_EQ(ms.size(), 3u);
  EXPECT_EQ(ms[0].frame.handle, Handle{0x500});
  EXPECT_FALSE(ms[1].frame.handle);
  EXPECT_FALSE(ms[2].frame.handle);
  EXPECT_GT(back.newHandle().v, 0x500u);
}

// --- damaged files --------------------------------------------------------------------------------

TEST(Dwg12Reader, RejectsWhatIsNotAnOldDwg) {
  EXPECT_THROW(readDwg12(""), DwgError);
  EXPECT_THROW(readDwg12("AC1015 and more"), DwgError);
  EXPECT_THROW(readDwg12("AC1009"), DwgError);
  EXPECT_FALSE(isDwg12("AC1012xxxx"));
  EXPECT_TRUE(isDwg12("AC2.10"));
  EXPECT_STREQ(dwg12ReleaseName("AC2.10"), "2.10");
  EXPECT_STREQ(dwg12ReleaseName("AC1.40"), "1.4");
  EXPECT_EQ(dwg12ReleaseName("AC1015"), nullptr);
}

// Every cut of a file either reads (with warnings) or fails with DwgError.
TEST(Dwg12Reader, SurvivesEveryTruncation) {
  for (Release r : {Release::R2_6, Release::R12}) {
    std::string full = writeDwg12(test::sampleDrawing(), r);
    for (std::size_t n = 0; n < full.size(); n += (n < 0x700 ? 1 : 7)) {
      std::vector<std::string> w;
      try {
        Document d = readDwg12(std::string_view(full).substr(0, n), &w);
        EXPECT_FALSE(w.empty()) << "cut at " << n << " read silently";
      } catch (const DwgError&) {
      }
    }
  }
}

TEST(Dwg12Reader, ChecksumAndMarkerDamageIsAWarningAndReadingGoesOn) {
  std::string good = writeDwg12(test::sampleDrawing(), Release::R12);
  std::size_t entStart = static_cast<std::uint8_t>(good[0x14]) | static_cast<std::uint8_t>(good[0x15]) << 8;
  // A byte of the header variables: the header checksum fails.
  std::string bad = good;
  bad[0x60] = static_cast<char>(bad[0x60] ^ 0x40);
  std::vector<std::string> w;
  Document d = readDwg12(bad, &w);
  ASSERT_FALSE(w.empty());
  EXPECT_NE(w.front().find("header checksum"), std::string::npos) << w.front();
  EXPECT_EQ(d.modelSpace().entities.size(), readDwg12(good).modelSpace().entities.size());
  // The entities' start marker.
  bad = good;
  bad[entStart - 3] = static_cast<char>(bad[entStart - 3] ^ 1);
  w.clear();
  d = readDwg12(bad, &w);
  bool marker = false;
  for (const auto& x : w) marker = marker || x.find("start marker of the entities") != std::string::npos;
  EXPECT_TRUE(marker);
  // A coordinate inside the first entity: only that record's checksum fails.
  bad = good;
  bad[entStart + 12] = static_cast<char>(bad[entStart + 12] ^ 0x10);
  w.clear();
  d = readDwg12(bad, &w);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_NE(w[0].find("1 records have a wrong checksum"), std::string::npos) << w[0];
}

TEST(Dwg12Reader, LyingCountsAndSizesNeitherHangNorAllocate) {
  std::string good = writeDwg12(test::sampleDrawing(), Release::R10);
  // Layer table: 32767 entries of 4096 bytes claimed.
  std::string bad = good;
  bad[0x2c + 10 + 0] = '\xFF', bad[0x2c + 10 + 1] = '\x0F';
  bad[0x2c + 10 + 2] = '\xFF', bad[0x2c + 10 + 3] = '\x7F';
  std::vector<std::string> w;
  EXPECT_NO_THROW(readDwg12(bad, &w));
  EXPECT_FALSE(w.empty());
  // The entity section claimed to run to 4 GB.
  bad = good;
  for (int i = 0; i < 4; ++i) bad[0x18 + i] = '\xFF';
  w.clear();
  EXPECT_NO_THROW(readDwg12(bad, &w));
  EXPECT_FALSE(w.empty());
  // Every entity size field zeroed: the section stops at once.
  bad = good;
  std::size_t entStart = static_cast<std::uint8_t>(bad[0x14]) | static_cast<std::uint8_t>(bad[0x15]) << 8;
  bad[entStart + 2] = bad[entStart + 3] = 0;
  w.clear();
  Document d = readDwg12(bad, &w);
  EXPECT_TRUE(d.modelSpace().entities.empty());
}

// --- toolkit --------------------------------------------------------------------------------------

class Dwg12Toolkit : public testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kelvaro_dwg12_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ASSERT_TRUE(adWriteStartupFile((dir / "adinit.dat").c_str()));
    ASSERT_EQ(adInitAd2((dir / "adinit.dat").c_str(), 0), 1);
    ASSERT_EQ(adInitAd3(), 1);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(Dwg12Toolkit, SaveAsVersionsZeroToFourWriteDwgThatReopens) {
  std::string src = (dir / "src.dxf").string();
  saveDxfFile(test::sampleDrawing(), src, Release::R2000, {});
  AdDrawing d = adLoadFile(src.c_str(), 1, 1);
  ASSERT_NE(d, 0);
  for (int v = 0; v <= 4; ++v) {
    std::string out = (dir / ("v" + std::to_string(v) + ".dwg")).string();
    ASSERT_EQ(adSaveFile(d, out.c_str(), 0, v, 0, 0, 0, 0), 1) << adErrorStr(adError(0));
    AdDrawing e = adLoadFile(out.c_str(), 1, 1);
    ASSERT_NE(e, 0) << adErrorStr(adError(0));
    EXPECT_EQ(adFileVersionLoaded(e), v);
    EXPECT_EQ(adFileReleaseName(e), releaseName(releaseFromIndex(v)));
    adCloseFile(e);
  }
  // Version 6 goes to the R13-2000 writer.
  ASSERT_EQ(adSaveFile(d, (dir / "r14.dwg").c_str(), 0, 6, 0, 0, 0, 0), 1) << adErrorStr(adError(0));
  AdDrawing r14 = adLoadFile((dir / "r14.dwg").c_str(), 1, 1);
  ASSERT_NE(r14, 0) << adErrorStr(adError(0));
  EXPECT_EQ(adFileVersionLoaded(r14), 6);
  adCloseFile(r14);
  adCloseFile(d);
}

TEST_F(Dwg12Toolkit, A210FileReportsVersionZeroAndItsOwnName) {
  // The 2.5 layout under the 2.10 magic: the reader follows the file's variable count.
  std::string bytes = writeDwg12(test::sampleDrawing(), Release::R2_5);
  bytes.replace(0, 6, "AC2.10");
  fs::path p = dir / "old.dwg";
  std::ofstream(p, std::ios::binary) << bytes;
  AdDrawing d = adLoadFile(p.c_str(), 1, 1);
  ASSERT_NE(d, 0) << adErrorStr(adError(0));
  EXPECT_EQ(adFileVersionLoaded(d), 0);
  EXPECT_EQ(adFileReleaseName(d), "2.10");
  EXPECT_GT(adDocument(d)->modelSpace().entities.size(), 10u);
  adCloseFile(d);
}

TEST_F(Dwg12Toolkit, AFailedSaveKeepsThePreviousFile) {
  std::string src = (dir / "src.dxf").string();
  saveDxfFile(test::sampleDrawing(), src, Release::R12, {});
  AdDrawing d = adLoadFile(src.c_str(), 1, 1);
  ASSERT_NE(d, 0);
  fs::path target = dir / "keep.dwg";
  std::ofstream(target) << "previous";
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
  bool rootCanWrite = std::ofstream(dir / "probe").good();
  EXPECT_EQ(adSaveFile(d, target.c_str(), 0, 4, 0, 0, 0, 0), rootCanWrite ? 1 : 0);
  fs::permissions(dir, fs::perms::owner_all);
  if (!rootCanWrite) {
    std::ifstream f(target);
    std::string s;
    f >> s;
    EXPECT_EQ(s, "previous");
  }
  adCloseFile(d);
}

TEST_F(Dwg12Toolkit, ACorruptDwgIsRefusedWithItsReason) {
  fs::path p = dir / "bad.dwg";
  std::ofstream(p, std::ios::binary) << "AC1009" << std::string(20, '\0');
  EXPECT_EQ(adLoadFile(p.c_str(), 1, 1), 0);
  EXPECT_EQ(adError(0), kAdInvalidFile);
  EXPECT_NE(adErrorStr(adError(0)).find("too short"), std::string::npos) << adErrorStr(adError(0));
}

}  // namespace
}  // namespace kelvaro::cad
