// Sample DWG files of releases 2.6 to R11/12 against the DXF files saved beside them.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

#include "cadkit/dwg12_io.h"
#include "dwg_check_helper.h"
#include "sample_drawing.h"

namespace kelvaro::cad {
namespace {
namespace fs = std::filesystem;

std::vector<fs::path> oldDwgs() {
  std::vector<fs::path> out;
  std::error_code ec;
  if (!fs::is_directory(test::corpusDir(), ec)) return out;
  for (const auto& e : fs::recursive_directory_iterator(test::corpusDir(), ec)) {
    if (e.path().extension() != ".dwg") continue;
    std::ifstream f(e.path(), std::ios::binary);
    char magic[6] = {};
    f.read(magic, 6);
    if (isDwg12(std::string_view(magic, 6))) out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::map<std::string, std::map<std::string, int>> counts(const Document& d) {
  std::map<std::string, std::map<std::string, int>> out;
  for (const Block& b : d.blocks)
    for (const Entity& e : b.entities) out[b.name()][typeName(e.data)]++;
  return out;
}

TEST(Dwg12Corpus, EveryOldDwgAgreesWithItsDxf) {
  auto files = oldDwgs();
  if (files.empty()) GTEST_SKIP() << "no pre-R13 DWG samples under " << test::corpusDir();
  int paired = 0;
  for (const auto& p : files) {
    SCOPED_TRACE(p.string());
    std::vector<std::string> warnings;
    Document dwg;
    ASSERT_NO_THROW(dwg = readDwg12File(p, &warnings));
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    fs::path dxfPath = p;
    dxfPath.replace_extension(".dxf");
    if (!fs::exists(dxfPath)) continue;
    ++paired;
    Document dxf = readDxfFile(dxfPath);
    EXPECT_EQ(dwg.header.acadver, dxf.header.acadver);
    EXPECT_EQ(dwg.release, dxf.release);
    std::vector<std::string> a, b;
    for (const auto& l : dwg.layers.entries) a.push_back(l.rec.name + "/" + std::to_string(l.rec.color));
    for (const auto& l : dxf.layers.entries) b.push_back(l.rec.name + "/" + std::to_string(l.rec.color));
    EXPECT_EQ(a, b);
    auto ca = counts(dwg), cb = counts(dxf);
    EXPECT_EQ(ca, cb);
    // The DXF files carry fewer digits than the drawing itself.
    EXPECT_NEAR(dwg.header.extMax.x, dxf.header.extMax.x, 1e-6);
    EXPECT_NEAR(dwg.header.extMax.y, dxf.header.extMax.y, 1e-6);
    EXPECT_NEAR(dwg.header.extMin.x, dxf.header.extMin.x, 1e-6);
    EXPECT_EQ(dwg.header.limMax, dxf.header.limMax);
    EXPECT_EQ(dwg.header.created.day, dxf.header.created.day);
    EXPECT_NEAR(dwg.header.created.ms, dxf.header.created.ms, 10);
    EXPECT_EQ(dwg.header.clayer, dxf.header.clayer);
  }
  EXPECT_GT(paired, 0);
}

// Geometry, not only counts: the first model-space entities of each type match the DXF.
TEST(Dwg12Corpus, GeometryMatchesTheDxf) {
  auto files = oldDwgs();
  if (files.empty()) GTEST_SKIP() << "no pre-R13 DWG samples under " << test::corpusDir();
  for (const auto& p : files) {
    fs::path dxfPath = p;
    dxfPath.replace_extension(".dxf");
    if (!fs::exists(dxfPath)) continue;
    SCOPED_TRACE(p.string());
    Document dwg = readDwg12File(p), dxf = readDxfFile(dxfPath);
    const auto& a = dwg.modelSpace().entities;
    const auto& b = dxf.modelSpace().entities;
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
      EXPECT_EQ(a[i].common.layer, b[i].common.layer) << i;
      if (auto* l = a[i].as<Line>()) {
        EXPECT_EQ(l->end, b[i].get<Line>().end) << i;
      }
      if (auto* c = a[i].as<Circle>()) {
        EXPECT_EQ(c->radius, b[i].get<Circle>().radius) << i;
      }
      if (auto* c = a[i].as<Arc>()) {
        EXPECT_NEAR(c->endAngle, b[i].get<Arc>().endAngle, 1e-9) << i;
      }
      if (auto* t = a[i].as<Text>()) {
        EXPECT_EQ(t->text, b[i].get<Text>().text) << i;
        EXPECT_EQ(t->insert, b[i].get<Text>().insert) << i;
      }
      if (auto* ins = a[i].as<Insert>()) {
        EXPECT_EQ(ins->block, b[i].get<Insert>().block) << i;
        EXPECT_EQ(ins->attribs.size(), b[i].get<Insert>().attribs.size()) << i;
      }
      if (auto* pl = a[i].as<Polyline>()) {
        EXPECT_EQ(pl->vertices.size(), b[i].get<Polyline>().vertices.size()) << i;
      }
    }
  }
}

// Each sample written as each release reads back with the same entities per block, less
// what the release cannot hold.
TEST(Dwg12Corpus, EverySampleRewritesInEveryRelease) {
  auto files = oldDwgs();
  if (files.empty()) GTEST_SKIP() << "no pre-R13 DWG samples under " << test::corpusDir();
  for (const auto& p : files) {
    Document d = readDwg12File(p);
    for (Release r : {Release::R2_5, Release::R2_6, Release::R9, Release::R10, Release::R12}) {
      SCOPED_TRACE(p.string() + " as " + releaseName(r));
      SaveReport rep;
      std::vector<std::string> w;
      Document back = readDwg12(writeDwg12(d, r, &rep), &w);
      EXPECT_TRUE(w.empty()) << w.front();
      auto want = counts(d), got = counts(back);
      for (auto& [blk, types] : want)
        for (auto& [type, n] : types) {
          int lost = rep.dropped.count(type) ? rep.dropped.at(type) : 0;
          EXPECT_EQ(got[blk][type], n - (blk == kModelSpace ? lost : 0)) << blk << " " << type;
        }
    }
  }
}

// The independent reader opens every release we write with our layers and entity counts.
TEST(Dwg12Corpus, IndependentReaderOpensOurFiles) {
  if (std::string why = test::dwgCheckMissing(); !why.empty()) GTEST_SKIP() << why;
  Document d = test::sampleDrawing();
  fs::path dir = fs::temp_directory_path() / ("kelvaro_dwg12_ind_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const Release rels[] = {Release::R2_5, Release::R2_6, Release::R9, Release::R10, Release::R12};
  std::vector<fs::path> files;
  std::vector<Document> ours;
  for (Release r : rels) {
    files.push_back(dir / ("sample_v" + std::to_string(files.size()) + ".dwg"));
    saveDwg12File(d, files.back(), r);
    ours.push_back(readDwg12File(files.back()));
  }
  std::string out;
  auto got = test::checkDwgs(files, out);
  fs::remove_all(dir);
  ASSERT_EQ(got.size(), files.size()) << out;
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(std::string(releaseName(rels[i])) + ": " + got[i].line);
    EXPECT_EQ(got[i].error, "");
    // LibreDWG lists layer 0 a second time for releases with a layer table of records (so it
    // does for files of the program that made them): names are compared as a set.
    std::set<std::string> layers, theirs(got[i].layers.begin(), got[i].layers.end());
    for (const auto& l : ours[i].layers.entries) layers.insert(l.rec.name);
    EXPECT_EQ(theirs, layers);
    std::map<std::string, int> want;
    for (const char* space : {kModelSpace, kPaperSpace})
      if (const Block* b = ours[i].findBlock(space))
        for (const Entity& e : b->entities)
          if (auto n = test::checkedTypeName(e, rels[i]); !n.empty()) want[n]++;
    EXPECT_EQ(got[i].entities, want);
  }
}

}  // namespace
}  // namespace kelvaro::cad
