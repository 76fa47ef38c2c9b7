// Write -> read round trips of a drawing holding every modelled record, for every save-as
// release in ASCII and binary form.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <tuple>

#include "cadkit/dxf_io.h"
#include "sample_drawing.h"

namespace kelvaro::cad {
namespace {

struct Case {
  Release release;
  bool binary;
};

std::vector<Case> allCases() {
  std::vector<Case> c;
  for (int i = 0; i <= 7; ++i)
    for (bool b : {false, true}) c.push_back({static_cast<Release>(i), b});
  return c;
}

std::string caseName(const testing::TestParamInfo<Case>& i) {
  std::string n = releaseName(i.param.release);
  for (char& ch : n)
    if (ch == '.' || ch == '/') ch = '_';
  return "R" + n + (i.param.binary ? "_binary" : "_ascii");
}

// What each release can hold: the model-space types expected after saving the sample.
std::vector<std::string> expectedTypes(Release r) {
  std::vector<std::string> out;
  Document sample = test::sampleDrawing();
  for (const Entity& e : sample.modelSpace().entities) {
    std::string t = typeName(e.data);
    if (r < Release::R14 && (t == "LWPOLYLINE")) t = "POLYLINE";
    if (r < Release::R14 && t == "HATCH") {
      for (std::size_t i = 0; i < e.get<Hatch>().paths.size(); ++i) out.push_back("POLYLINE");
      continue;
    }
    if (r < Release::R13) {
      if (t == "RAY" || t == "XLINE") continue;
      if (t == "ELLIPSE" || t == "SPLINE" || t == "LEADER" || t == "MLINE") t = "POLYLINE";
      if (t == "MTEXT") t = "TEXT";
    }
    out.push_back(t);
  }
  return out;
}

class RoundTrip : public testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    original = test::sampleDrawing();
    WriteOptions opt;
    opt.binary = GetParam().binary;
    written = writeDxf(original, GetParam().release, opt, &report);
    ASSERT_NO_THROW(back = readDxf(written));
  }
  Document original, back;
  std::string written;
  SaveReport report;
};

TEST_P(RoundTrip, KeepsTheReleaseAndEncoding) {
  EXPECT_EQ(back.release, GetParam().release);
  EXPECT_EQ(back.binary, GetParam().binary);
  EXPECT_EQ(back.header.acadver, releaseMagic(GetParam().release));
}

TEST_P(RoundTrip, ModelSpaceHoldsWhatTheReleaseCanHold) {
  std::vector<std::string> types;
  for (const Entity& e : back.modelSpace().entities) types.push_back(typeName(e.data));
  EXPECT_EQ(types, expectedTypes(GetParam().release));
  if (GetParam().release < Release::R13) {
    EXPECT_EQ(report.dropped["RAY"], 1);
    EXPECT_EQ(report.dropped["XLINE"], 1);
  } else {
    EXPECT_TRUE(report.dropped.empty());
  }
}

TEST_P(RoundTrip, EntitiesOfUnchangedTypeComeBackEqual) {
  Release r = GetParam().release;
  int compared = 0;
  std::map<std::string, int> seen;
  for (const Entity& orig : original.modelSpace().entities) {
    const Entity* e = &orig;
    std::string t = typeName(e->data);
    // The k-th entity of a type meets the k-th of that type in the saved drawing.
    int k = seen[t]++;
    const Entity* got = nullptr;
    for (const Entity& b : back.modelSpace().entities)
      if (typeName(b.data) == t && k-- == 0) got = &b;
    if (!got || (t == "POLYLINE" && r < Release::R14)) continue;  // converted ones are checked elsewhere
    bool simple = t == "LINE" || t == "CIRCLE" || t == "ARC" || t == "SOLID" || t == "TRACE" || t == "3DFACE" ||
                  t == "TEXT";
    if (r >= Release::R13 || simple) {
      EXPECT_TRUE(got->data == e->data) << t << " differs after saving as " << releaseName(r);
      EXPECT_EQ(got->common.layer, e->common.layer);
      EXPECT_EQ(got->common.color, e->common.color);
      ++compared;
    }
    if (r >= Release::R2000) {
      EXPECT_TRUE(got->common == e->common) << t;
    }
  }
  EXPECT_GE(compared, 7);
}

TEST_P(RoundTrip, TablesAndHeaderSurvive) {
  auto layer = [](const Document& d, const char* n) -> const Layer* {
    for (const auto& e : d.layers.entries)
      if (e.rec.name == n) return &e.rec;
    return nullptr;
  };
  const Layer* w = layer(back, "WALLS");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->color, -3);
  EXPECT_EQ(w->flags, 4);
  EXPECT_EQ(w->linetype, "DASHED");
  const Linetype* dashed = nullptr;
  for (const auto& e : back.linetypes.entries)
    if (e.rec.name == "DASHED") dashed = &e.rec;
  ASSERT_NE(dashed, nullptr);
  ASSERT_EQ(dashed->dashes.size(), 2u);
  EXPECT_EQ(dashed->dashes[1].length, -0.25);
  bool arch = false;
  for (const auto& e : back.styles.entries)
    arch = arch || (e.rec.name == "Shadow_Archs" && e.rec.font == "Archs.shx" && e.rec.bigFont == "bigfont.shx");
  EXPECT_TRUE(arch);
  EXPECT_EQ(back.views.entries.size(), 1u);
  if (GetParam().release >= Release::R10) {
    ASSERT_FALSE(back.vports.entries.empty());
    EXPECT_EQ(back.vports.entries[0].rec.name, "*ACTIVE");
    EXPECT_EQ(back.vports.entries[0].rec.height, 250);
  }
  EXPECT_EQ(back.header.extMax, original.header.extMax);
  EXPECT_EQ(back.header.limMax, original.header.limMax);
  EXPECT_EQ(back.header.created, original.header.created);
  EXPECT_EQ(back.header.updated, original.header.updated);
  EXPECT_EQ(back.header.editTime, original.header.editTime);
}

TEST_P(RoundTrip, TextKeepsCharactersOutsideAscii) {
  const Text* t = nullptr;
  for (const Entity& e : back.modelSpace().entities)
    if (auto* x = e.as<Text>(); x && x->rotation == 45) t = x;
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->text, "Caf\xC3\xA9 \xE2\x82\xAC 9.00hrs");
}

TEST_P(RoundTrip, ConvertedCurvesStayOnTheirCurves) {
  Release r = GetParam().release;
  for (const Entity& e : back.modelSpace().entities) {
    const auto* p = e.as<Polyline>();
    if (!p || p->vertices.empty()) continue;
    const Vec3 first = p->vertices[0].data.location;
    if (first.x == 50 && first.y == 10) {  // the ellipse centred at (40, 10), axes 10 and 5
      EXPECT_LT(r, Release::R13);
      for (const auto& v : p->vertices) {
        double u = (v.data.location.x - 40) / 10, w = (v.data.location.y - 10) / 5;
        EXPECT_NEAR(u * u + w * w, 1.0, 1e-9);
      }
    }
    if (p->vertices.size() == 3 && first == Vec3{0, 0, 2} && r < Release::R14) {  // light-weight polyline
      EXPECT_EQ(p->flags & 1, 1);
      EXPECT_EQ(p->vertices[0].data.bulge, 0.5);
      EXPECT_EQ(p->vertices[2].data.startWidth, 1);
      EXPECT_EQ(p->vertices[2].data.endWidth, 2);
    }
  }
}

TEST_P(RoundTrip, PaperSpaceViewportOnlyWhereReleasesHaveIt) {
  const Block* paper = back.findBlock(kPaperSpace);
  int viewports = 0;
  if (paper)
    for (const Entity& e : paper->entities) viewports += e.is<Viewport>();
  EXPECT_EQ(viewports, GetParam().release >= Release::R12 ? 1 : 0);
  if (GetParam().release >= Release::R13) {
    const Viewport* v = nullptr;
    for (const Entity& e : paper->entities) v = e.as<Viewport>();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->viewHeight, 120);
  }
}

TEST_P(RoundTrip, SavingTheReadDrawingAgainGivesTheSameFile) {
  WriteOptions opt;
  opt.binary = GetParam().binary;
  std::string again = writeDxf(back, GetParam().release, opt);
  EXPECT_EQ(again.size(), written.size());
  EXPECT_TRUE(again == written);
}

INSTANTIATE_TEST_SUITE_P(AllReleases, RoundTrip, testing::ValuesIn(allCases()), caseName);

TEST(DxfWriter, MTextBecomesTextAtItsRotationOrDirection) {
  for (auto [dir, rotation, expected] : {std::tuple{Vec3{1, 0, 0}, 30.0, 30.0}, std::tuple{Vec3{0, 1, 0}, 0.0, 90.0},
                                         std::tuple{Vec3{0, 1, 0}, 30.0, 90.0}}) {
    Document d;
    MText mt;
    mt.insert = {5, 5, 0};
    mt.text = "one\\Ptwo";
    mt.xDirection = dir;
    mt.rotation = rotation;
    d.modelSpace().entities.push_back(makeEntity(mt));
    prepareForRelease(d, Release::R12, nullptr);
    int texts = 0;
    for (const Entity& e : d.modelSpace().entities)
      if (const auto* t = e.as<Text>()) {
        ++texts;
        EXPECT_NEAR(t->rotation, expected, 1e-9) << t->text;
      }
    EXPECT_EQ(texts, 2);
  }
}

TEST(DxfWriter, DecimalPlacesAndZeroSuppression) {
  Document d = test::sampleDrawing();
  WriteOptions six{.binary = false, .places = 6, .zeroes = true};
  std::string s = writeDxf(d, Release::R2000, six);
  EXPECT_NE(s.find("\n0.75\n"), std::string::npos);  // DASHED pattern length, trailing zeros gone
  WriteOptions padded{.binary = false, .places = 6, .zeroes = false};
  std::string p = writeDxf(d, Release::R2000, padded);
  EXPECT_NE(p.find("\n0.750000\n"), std::string::npos);
  WriteOptions two{.binary = false, .places = 2, .zeroes = true};
  Document back = readDxf(writeDxf(d, Release::R2000, two));
  const Linetype* dashed = nullptr;
  for (const auto& e : back.linetypes.entries)
    if (e.rec.name == "DASHED") dashed = &e.rec;
  ASSERT_NE(dashed, nullptr);
  EXPECT_NEAR(dashed->length, 0.75, 0.01);  // rounded to two places: 0.75 stays
  for (const Entity& e : back.modelSpace().entities)
    if (auto* c = e.as<Circle>()) {
      EXPECT_EQ(c->radius, 5);
    }
}

TEST(DxfWriter, SaveReplacesTheFileThroughATemporaryOne) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / "kelvaro_cadkit_save";
  fs::create_directories(dir);
  fs::path target = dir / "plan.dxf";
  { std::ofstream(target) << "old"; }
  saveDxfFile(test::sampleDrawing(), target, Release::R12, {});
  EXPECT_EQ(readDxfFile(target).release, Release::R12);
  int files = 0;
  for ([[maybe_unused]] auto& e : fs::directory_iterator(dir)) ++files;
  EXPECT_EQ(files, 1);  // no temporary left behind
  EXPECT_THROW(saveDxfFile(test::sampleDrawing(), dir / "missing" / "x.dxf", Release::R12, {}), std::runtime_error);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kelvaro::cad
