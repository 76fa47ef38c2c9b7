// DWG R13-2000 records the model keeps beyond geometry: multilines with their styles, groups,
// dictionary variables, placeholders, OLE frames and paper-space viewport views, through every
// release in both directions and through DXF.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "cadkit/dwg/dwg_io.h"
#include "dwg_check_helper.h"
#include "sample_drawing.h"

namespace kelvaro::cad {
namespace {

namespace fs = std::filesystem;
const Release kReleases[] = {Release::R13, Release::R14, Release::R2000};

const MLine* firstMLine(const Document& d) {
  for (const auto& b : d.blocks)
    for (const auto& e : b.entities)
      if (auto* m = e.as<MLine>()) return m;
  return nullptr;
}

void expectSameMLine(const MLine& a, const MLine& b) {
  EXPECT_EQ(a.style, b.style);
  EXPECT_EQ(a.scale, b.scale);
  EXPECT_EQ(a.justification, b.justification);
  EXPECT_EQ(a.flags, b.flags);
  EXPECT_EQ(a.styleElements, b.styleElements);
  ASSERT_EQ(a.vertices.size(), b.vertices.size());
  for (std::size_t i = 0; i < a.vertices.size(); ++i) {
    const auto &va = a.vertices[i], &vb = b.vertices[i];
    EXPECT_NEAR(va.location.x, vb.location.x, 1e-9) << i;
    EXPECT_NEAR(va.miter.y, vb.miter.y, 1e-9) << i;
    ASSERT_EQ(va.elements.size(), vb.elements.size()) << i;
    for (std::size_t k = 0; k < va.elements.size(); ++k) {
      EXPECT_EQ(va.elements[k].params.size(), vb.elements[k].params.size()) << i << "/" << k;
      EXPECT_EQ(va.elements[k].fill.size(), vb.elements[k].fill.size()) << i << "/" << k;
    }
  }
}

// The multiline of each sample drawing reads without complaint and as its DXF has it.
TEST(DwgMLine, CorpusMultilinesMatchTheirDxf) {
  int n = 0;
  for (const char* name : {"example_2000", "example_r14", "example_r13"}) {
    fs::path dwg = fs::path(test::corpusDir()) / (std::string(name) + ".dwg");
    fs::path dxf = fs::path(test::corpusDir()) / (std::string(name) + ".dxf");
    if (!fs::exists(dwg) || !fs::exists(dxf)) continue;
    SCOPED_TRACE(name);
    DwgReadReport rep;
    Document a = readDwgFile(dwg, &rep);
    for (const auto& w : rep.warnings) ADD_FAILURE() << w;
    Document b = readDxfFile(dxf);
    const MLine *ma = firstMLine(a), *mb = firstMLine(b);
    ASSERT_NE(ma, nullptr);
    ASSERT_NE(mb, nullptr);
    expectSameMLine(*ma, *mb);
    ++n;
  }
  if (n == 0) GTEST_SKIP() << "sample drawings not found under " << test::corpusDir();
}

// Lines of a multiline carry their own counts of segment and fill parameters.
TEST(DwgMLine, UnevenParametersSurviveEveryRelease) {
  Document d;
  MLine ml;
  ml.style.clear();
  ml.styleElements = 3;
  ml.scale = 2.5;
  ml.justification = 2;
  ml.flags = 3;
  for (int i = 0; i < 4; ++i) {
    MLineVertex v;
    v.location = {i * 10.0, i * 1.0, 0};
    v.miter = {0.6, 0.8, 0};
    for (int k = 0; k < 3; ++k) {
      MLineElement el;
      for (int p = 0; p <= (i + k) % 4; ++p) el.params.push_back(p * 0.5 + k);
      if (k == 1) el.fill = {1.0, 2.0 + i};
      v.elements.push_back(el);
    }
    ml.vertices.push_back(v);
  }
  Entity e = makeEntity(ml);
  e.frame.handle = d.newHandle();
  d.modelSpace().entities.push_back(e);
  for (Release rel : kReleases) {
    SCOPED_TRACE(releaseName(rel));
    DwgReadReport rep;
    Document back = readDwg(writeDwg(d, rel), &rep);
    for (const auto& w : rep.warnings) ADD_FAILURE() << w;
    const MLine* got = firstMLine(back);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->vertices, ml.vertices);
    EXPECT_EQ(got->scale, ml.scale);
    EXPECT_EQ(got->justification, ml.justification);
  }
}

}  // namespace
}  // namespace kelvaro::cad
