// Reading DWG R13-2000: the sample drawings open and agree with the DXF files beside them, and
// damaged files give an error or warnings, never a crash.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "cadkit/dwg/dwg_io.h"
#include "cadkit/toolkit.h"
#include "python_helper.h"

namespace kelvaro::cad {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> slurp(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> corpusDwgs() {
  std::vector<fs::path> out;
  fs::path dir = test::corpusDir();
  if (!fs::exists(dir)) return out;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (e.path().extension() != ".dwg") continue;
    auto head = slurp(e.path());
    if (head.size() >= 6 && dwgReadable(std::string_view(reinterpret_cast<const char*>(head.data()), 6)))
      out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::map<std::string, int> counts(const Block& b) {
  std::map<std::string, int> n;
  for (const auto& e : b.entities) n[typeName(e.data)]++;
  return n;
}

std::set<std::string> layerNames(const Document& d) {
  std::set<std::string> s;
  for (const auto& e : d.layers.entries) s.insert(e.rec.name);
  return s;
}

TEST(DwgRead, EveryCorpusDrawingOpensAndMatchesItsDxf) {
  auto files = corpusDwgs();
  if (files.empty()) GTEST_SKIP() << "no R13-2000 DWG sample drawings under " << test::corpusDir();
  int compared = 0;
  for (const auto& f : files) {
    SCOPED_TRACE(f.string());
    DwgReadReport rep;
    Document d;
    ASSERT_NO_THROW(d = readDwgFile(f, &rep));
    ASSERT_NE(d.findBlock(kModelSpace), nullptr);
    EXPECT_FALSE(d.layers.entries.empty());
    fs::path dxf = f;
    dxf.replace_extension(".dxf");
    if (!fs::exists(dxf)) continue;
    Document x = readDxfFile(dxf);
    EXPECT_EQ(layerNames(d), layerNames(x));
    // Entities of classes the release does not know are proxies; AutoCAD writes those into an
    // old DXF as block references or proxy entities, so only the types both know are compared.
    std::set<std::string> proxies;
    for (const auto& [type, n] : d.unsupported) proxies.insert(type);
    for (const char* space : {kModelSpace, kPaperSpace}) {
      const Block* a = d.findBlock(space);
      const Block* b = x.findBlock(space);
      if (!a || !b) continue;
      auto ca = counts(*a), cb = counts(*b);
      bool hasProxies = false;
      for (const auto& [type, n] : ca) hasProxies |= proxies.count(type) > 0;
      for (const auto& [type, n] : cb) {
        if (type == "ACAD_PROXY_ENTITY" || (hasProxies && type == "INSERT") || isRaw(makeEntityData(type))) continue;
        EXPECT_EQ(ca[type], n) << space << " " << type;
      }
    }
    ++compared;
  }
  EXPECT_GT(compared, 3);
}

TEST(DwgRead, SampleDrawingHoldsWhatItsDxfHolds) {
  fs::path f = fs::path(test::corpusDir()) / "sample_2000.dwg";
  if (!fs::exists(f)) GTEST_SKIP() << f << " not found";
  Document d = readDwgFile(f);
  EXPECT_EQ(d.release, Release::R2000);
  EXPECT_EQ(d.header.codepage, "ANSI_1252");
  EXPECT_EQ(d.header.insUnits, 4);
  const Block& ms = *d.findBlock(kModelSpace);
  ASSERT_EQ(counts(ms)["CIRCLE"], 1);
  Document x = readDxfFile(fs::path(test::corpusDir()) / "sample_2000.dxf");
  // The same circle, text and polyline, by handle.
  auto byHandle = [](const Block& b) {
    std::map<std::uint64_t, const Entity*> m;
    for (const auto& e : b.entities) m[e.frame.handle.v] = &e;
    return m;
  };
  auto a = byHandle(ms), b = byHandle(*x.findBlock(kModelSpace));
  int same = 0;
  for (const auto& [h, e] : a) {
    auto it = b.find(h);
    if (it == b.end()) continue;
    const Entity& o = *it->second;
    EXPECT_EQ(typeName(e->data), typeName(o.data));
    EXPECT_EQ(e->common.layer, o.common.layer);
    if (const auto* c = e->as<Circle>()) {
      EXPECT_NEAR(c->radius, o.get<Circle>().radius, 1e-9);
      EXPECT_NEAR(c->center.x, o.get<Circle>().center.x, 1e-9);
    }
    if (const auto* t = e->as<Text>()) {
      EXPECT_EQ(t->text, o.get<Text>().text);
      EXPECT_NEAR(t->rotation, o.get<Text>().rotation, 1e-9);
      EXPECT_NEAR(t->height, o.get<Text>().height, 1e-9);
    }
    if (const auto* l = e->as<LwPolyline>()) {
      ASSERT_EQ(l->vertices.size(), o.get<LwPolyline>().vertices.size());
      for (std::size_t i = 0; i < l->vertices.size(); ++i) {
        EXPECT_NEAR(l->vertices[i].p.x, o.get<LwPolyline>().vertices[i].p.x, 1e-9);
        EXPECT_NEAR(l->vertices[i].bulge, o.get<LwPolyline>().vertices[i].bulge, 1e-9);
      }
      EXPECT_EQ(l->flags & 1, o.get<LwPolyline>().flags & 1);
    }
    ++same;
  }
  EXPECT_EQ(same, 6);
  // Layouts and their blocks.
  int layouts = 0;
  for (const auto& o : d.objects) layouts += std::holds_alternative<Layout>(o.data);
  EXPECT_EQ(layouts, 3);
}

TEST(DwgRead, ToolkitOpensDwgAndGivesItsVersionAndPreview) {
  fs::path f = fs::path(test::corpusDir()) / "example_r14.dwg";
  if (!fs::exists(f)) GTEST_SKIP() << f << " not found";
  AdDrawing h = adLoadFile(f.string().c_str(), 1, 1);
  ASSERT_NE(h, 0) << adErrorStr(adError(0));
  EXPECT_EQ(adFileVersionLoaded(h), 6);
  EXPECT_GT(adNumLayers(h), 1);
  adCloseFile(h);
  fs::path bmp = fs::temp_directory_path() / "kelvaro_dwg_preview.bmp";
  ASSERT_EQ(adExtractBmpFromFileToFile(f.string().c_str(), bmp.string().c_str()), 1);
  auto b = slurp(bmp);
  ASSERT_GT(b.size(), 54u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  fs::remove(bmp);
}

TEST(DwgRead, OtherReleasesAreRefusedWithTheirName) {
  std::vector<std::uint8_t> f(200, 0);
  std::memcpy(f.data(), "AC1009", 6);
  try {
    readDwg(f);
    FAIL() << "no error";
  } catch (const DwgError& e) {
    EXPECT_NE(std::string(e.what()).find("AC1009"), std::string::npos);
  }
}

// Every prefix and a sweep of flipped bytes: an error or a drawing, within bounded time.
TEST(DwgRead, DamagedFilesNeverCrash) {
  fs::path f = fs::path(test::corpusDir()) / "sample_2000.dwg";
  if (!fs::exists(f)) GTEST_SKIP() << f << " not found";
  auto good = slurp(f);
  int errors = 0, warned = 0;
  for (std::size_t cut = 0; cut < good.size(); cut += 97) {
    std::vector<std::uint8_t> part(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
    try {
      DwgReadReport rep;
      readDwg(part, &rep);
      warned += !rep.warnings.empty();
    } catch (const DwgError&) {
      ++errors;
    }
  }
  EXPECT_GT(errors + warned, 100);
  for (std::size_t at = 0; at < good.size(); at += 13) {
    auto bad = good;
    bad[at] ^= 0xA5;
    try {
      DwgReadReport rep;
      Document d = readDwg(bad, &rep);
      if (at >= 0x19 && at < good.size()) (void)d;
    } catch (const DwgError&) {
    }
  }
}

TEST(DwgRead, MismatchedCheckValueIsAWarningAndReadingGoesOn) {
  fs::path f = fs::path(test::corpusDir()) / "sample_2000.dwg";
  if (!fs::exists(f)) GTEST_SKIP() << f << " not found";
  auto bytes = slurp(f);
  // The file header's check value.
  std::uint32_t n = bytes[21];
  bytes[25 + 9 * n] ^= 0xFF;
  DwgReadReport rep;
  Document d = readDwg(bytes, &rep);
  ASSERT_FALSE(rep.warnings.empty());
  EXPECT_NE(rep.warnings.front().find("check value"), std::string::npos);
  EXPECT_EQ(counts(*d.findBlock(kModelSpace))["LINE"], 3);
}

}  // namespace
}  // namespace kelvaro::cad
