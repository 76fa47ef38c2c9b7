// The shadow diagram drawings: geometry against the profile numbers, the layers, the style, the
// template, and the saved files as an independent reader (ezdxf) sees them.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cadkit/dwg12_io.h"
#include "cadkit/dxf_io.h"
#include "cadkit/toolkit.h"
#include "cadkit/python_helper.h"
#include "support/run_cli.h"
#include "viewer/ShadowDiagram.h"

namespace kelvaro::viewer {
namespace {
namespace cad = kelvaro::cad;
namespace fs = std::filesystem;

constexpr double kPi = 3.14159265358979323846;

// A profile whose hours are chosen by the test: (hour, azimuth, altitude).
ShadowProfile handProfile(std::initializer_list<std::array<double, 3>> hours, int threshold = 10, int height = 2000,
                          int textHeight = 100, int orientation = 135) {
  ShadowProfile p;
  p.HorizontalTitle = "HORIZONTAL";
  p.VerticalTitle = "VERTICAL";
  p.SiteLine = "SITE";
  p.SunLine = "SUN";
  p.CreatedLine = "CREATED";
  p.HorizontalNote = "HNOTE";
  p.VerticalNote = "VNOTE";
  p.Threshold = threshold;
  p.Height = height;
  p.TextHeight = textHeight;
  p.Orientation = orientation;
  for (int n = 1; n <= 24; ++n) p.Hours[n - 1] = MakeProfileHour(n, 0, -30, height, orientation);
  for (const auto& h : hours)
    p.Hours[static_cast<std::size_t>(h[0]) - 1] = MakeProfileHour(h[0], h[1], h[2], height, orientation);
  return p;
}

struct Built {
  cad::Document doc;
  DiagramBounds bounds;
  std::vector<const cad::Entity*> on(const std::string& layer) const {
    std::vector<const cad::Entity*> out;
    for (const auto& e : doc.findBlock(cad::kModelSpace)->entities)
      if (e.common.layer == layer) out.push_back(&e);
    return out;
  }
};

Built build(const ShadowProfile& p, bool vertical) {
  const cad::AdDrawing d = cad::adOpenDocument(MakeDiagramTemplate(), "test.dwg");
  Built b;
  const bool ok = vertical ? BuildVerticalDiagram(d, p, cad::AcadDate{2460000, 1000}, &b.bounds)
                           : BuildHorizontalDiagram(d, p, cad::AcadDate{2460000, 1000}, &b.bounds);
  EXPECT_TRUE(ok);
  b.doc = *cad::adDocument(d);
  cad::adCloseFile(d);
  return b;
}

const cad::Line& lineOf(const cad::Entity* e) { return *e->as<cad::Line>(); }
const cad::Text& textOf(const cad::Entity* e) { return *e->as<cad::Text>(); }

TEST(ShadowDiagram, HorizontalLinesAndLabelsFollowTheProfile) {
  // 9h: sun south-east; 12h: due south (ShadowX 0); 7h at 9.9 degrees; 8h at exactly 10.
  ShadowProfile p = handProfile({{7, 100, 9.9}, {8, 110, 10}, {9, 135, 35}, {12, 180, 60}, {15, 225, 40}});
  // sin(360 degrees) leaves a rounding residue; a shadow exactly due north is one of exactly 0.
  EXPECT_NEAR(p.Hours[11].ShadowX, 0, 1e-9);
  p.Hours[11].ShadowX = 0;
  const Built b = build(p, false);
  const auto lines = b.on(kLayerShadow);
  const auto labels = b.on(kLayerText);
  ASSERT_EQ(lines.size(), 4u) << "hours below the threshold have no line";
  ASSERT_EQ(labels.size(), 3u) << "the noon hour (ShadowX 0) has no label";
  const int drawn[] = {8, 9, 12, 15};
  for (std::size_t i = 0; i < 4; ++i) {
    const ProfileHour& h = p.Hours[drawn[i] - 1];
    EXPECT_EQ(lineOf(lines[i]).start, (cad::Vec3{0, 0, 0}));
    EXPECT_DOUBLE_EQ(lineOf(lines[i]).end.x, h.ShadowX);
    EXPECT_DOUBLE_EQ(lineOf(lines[i]).end.y, h.ShadowY);
  }
  const ProfileHour& nine = p.Hours[8];
  const cad::Text& t = textOf(labels[1]);
  EXPECT_EQ(t.text, " 9.00hrs " + std::to_string(static_cast<long>(std::lround(nine.ShadowLength))) + "mm");
  EXPECT_DOUBLE_EQ(t.insert.x, nine.ShadowX);
  EXPECT_DOUBLE_EQ(t.insert.y, nine.ShadowY);
  EXPECT_DOUBLE_EQ(t.rotation, 360 - nine.ShadowBearing + 90 - 360 * (360 - nine.ShadowBearing + 90 >= 360));
  EXPECT_EQ(t.style, kDiagramStyle);
  EXPECT_DOUBLE_EQ(t.height, 100);
  EXPECT_DOUBLE_EQ(t.widthFactor, 1.0);

  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  for (int n : drawn) {
    minX = std::min(minX, p.Hours[n - 1].ShadowX), maxX = std::max(maxX, p.Hours[n - 1].ShadowX);
    minY = std::min(minY, p.Hours[n - 1].ShadowY), maxY = std::max(maxY, p.Hours[n - 1].ShadowY);
  }
  EXPECT_DOUBLE_EQ(b.bounds.minX, minX);
  EXPECT_DOUBLE_EQ(b.bounds.maxY, maxY);
  // Text height 100: margin 5000, extents 3333.33 beyond the bounds.
  EXPECT_NEAR(b.doc.header.extMin.x, minX - 3333.333, 1e-3);
  EXPECT_NEAR(b.doc.header.extMax.y, maxY + 3333.333, 1e-3);
  EXPECT_NEAR(b.doc.header.limMax.x, maxX + 3333.333, 1e-3);
  EXPECT_NEAR(b.doc.header.limMin.y, minY - 3333.333, 1e-3);
}

TEST(ShadowDiagram, LabelRotationRunsAlongTheShadow) {
  EXPECT_DOUBLE_EQ(HorizontalLabelRotation(90), 0) << "shadow due east: upright";
  EXPECT_DOUBLE_EQ(HorizontalLabelRotation(360), 90);
  EXPECT_DOUBLE_EQ(HorizontalLabelRotation(20), 70);
  EXPECT_DOUBLE_EQ(HorizontalLabelRotation(300), 150);
  ProfileHour h;
  h.Time = 16;
  h.ShadowLength = 2144.6;
  EXPECT_EQ(HorizontalHourLabel(h, true), " 16.00hrs 2145ins");
  EXPECT_EQ(VerticalHourLabel(h), " 16.00hrs ");
}

TEST(ShadowDiagram, HorizontalHeaderFooterBorderAndNorthArrow) {
  const ShadowProfile p = handProfile({{9, 135, 35}, {15, 225, 40}});
  const Built b = build(p, false);
  const double d = 5000, minX = b.bounds.minX, minY = b.bounds.minY, maxY = b.bounds.maxY;
  const auto header = b.on(kLayerHeader);
  ASSERT_EQ(header.size(), 3u);
  EXPECT_EQ(textOf(header[0]).text, "HORIZONTAL");
  EXPECT_EQ(textOf(header[1]).text, "SITE");
  EXPECT_EQ(textOf(header[2]).text, "SUN");
  EXPECT_DOUBLE_EQ(textOf(header[0]).insert.x, minX - d / 2);
  EXPECT_DOUBLE_EQ(textOf(header[0]).insert.y, maxY + d / 2);
  EXPECT_DOUBLE_EQ(textOf(header[0]).insert.y - textOf(header[1]).insert.y, 200);
  EXPECT_DOUBLE_EQ(textOf(header[1]).insert.y - textOf(header[2]).insert.y, 200);
  const auto footer = b.on(kLayerFooter);
  ASSERT_EQ(footer.size(), 2u);
  EXPECT_EQ(textOf(footer[0]).text, "HNOTE");
  EXPECT_DOUBLE_EQ(textOf(footer[0]).insert.y, minY - d / 2 + 200);
  EXPECT_EQ(textOf(footer[1]).text, "CREATED");
  EXPECT_DOUBLE_EQ(textOf(footer[1]).insert.y, minY - d / 2);

  const auto compass = b.on(kLayerCompass);
  ASSERT_EQ(compass.size(), 13u) << "border line and twelve arrow lines";
  const cad::Line& border = lineOf(compass[0]);
  EXPECT_DOUBLE_EQ(border.start.x, minX - d / 1.9);
  EXPECT_DOUBLE_EQ(border.start.y, maxY + d / 2 + 100);
  EXPECT_DOUBLE_EQ(border.end.y, minY - d / 2);
  // Text height 100: the arrow's scale is 1; lines 9 and 12 meet at the anchor (the tip).
  const double ax = minX - d / 2 + 400, ay = minY - d / 2 + 1200;
  EXPECT_EQ(lineOf(compass[9]).start, (cad::Vec3{ax, ay, 0}));
  EXPECT_EQ(lineOf(compass[12]).start, (cad::Vec3{ax, ay, 0}));
  EXPECT_NEAR(lineOf(compass[12]).end.x, ax + 319.55, 1e-9);
  EXPECT_NEAR(lineOf(compass[1]).start.y, ay - 599.975, 1e-9);
  for (const auto* e : compass) EXPECT_LE(lineOf(e).end.y, ay + 1e-9) << "the arrow points up to its anchor";
}

TEST(ShadowDiagram, VerticalSectionsRaysAndOrientationSymbol) {
  const int h = 3000;
  const ShadowProfile p = handProfile({{9, 100, 30}, {10, 135, 40}, {14, 200, 45}, {16, 250, 20}}, 10, h, 50, 135);
  ASSERT_NEAR(p.Hours[9].ProfileWidth, 0, 1e-9) << "orientation 135 along bearing 315 gives width 0";
  const Built b = build(p, true);
  const auto house = b.on(kLayerHouse);
  ASSERT_EQ(house.size(), 12u);
  EXPECT_EQ(textOf(house[5]).text, "A.M.");
  EXPECT_EQ(textOf(house[11]).text, "P.M.");
  EXPECT_DOUBLE_EQ(textOf(house[11]).insert.y, -2 * h + h / 2.0);
  EXPECT_NEAR(lineOf(house[1]).end.y, 1.2 * h, 1e-9) << "ridge of the morning section";
  EXPECT_NEAR(lineOf(house[10]).end.x, -h / 2.0, 1e-9);

  const auto rays = b.on(kLayerShadow);
  ASSERT_EQ(rays.size(), 4u);
  const int drawn[] = {9, 10, 14, 16};
  for (std::size_t i = 0; i < 4; ++i) {
    const ProfileHour& hr = p.Hours[drawn[i] - 1];
    const double row = drawn[i] <= 12 ? 0 : -2.0 * h;
    const double base = hr.ProfileWidth >= 0 ? h / 2.0 : -h / 2.0;
    EXPECT_DOUBLE_EQ(lineOf(rays[i]).start.x, base);
    EXPECT_DOUBLE_EQ(lineOf(rays[i]).start.y, row + h) << "hour " << drawn[i];
    EXPECT_DOUBLE_EQ(lineOf(rays[i]).end.x, base + hr.ProfileWidthCopy);
    EXPECT_DOUBLE_EQ(lineOf(rays[i]).end.y, row);
  }
  const auto labels = b.on(kLayerText);
  ASSERT_EQ(labels.size(), 4u);
  for (const auto* l : labels) EXPECT_DOUBLE_EQ(textOf(l).rotation, 270);
  EXPECT_EQ(textOf(labels[2]).text, " 14.00hrs ");
  EXPECT_DOUBLE_EQ(textOf(labels[2]).insert.y, -2.0 * h) << "afternoon labels sit on the lower section";

  // Bounds: the sections' corners and the ray widths (without their offsets).
  EXPECT_DOUBLE_EQ(b.bounds.minY, -2.0 * h);
  EXPECT_DOUBLE_EQ(b.bounds.maxY, 1.2 * h);
  const auto compass = b.on(kLayerCompass);
  ASSERT_EQ(compass.size(), 10u);
  const double d = 2500, s = 0.5;
  const double cx = b.bounds.minX - d / 2.5 + 200, cy = b.bounds.maxY + d / 3 - 400;
  EXPECT_NEAR(lineOf(compass[0]).start.x, cx, 1e-9);
  EXPECT_NEAR(lineOf(compass[0]).start.y, cy, 1e-9);
  for (int i = 1; i < 7; ++i) EXPECT_EQ(lineOf(compass[i]).start, lineOf(compass[i - 1]).end) << "a chain";
  const double a0 = -(135 + 90) * kPi / 180;
  EXPECT_NEAR(lineOf(compass[0]).end.x, cx + 800 * s * std::cos(a0), 1e-9);
  EXPECT_NEAR(lineOf(compass[0]).end.y, cy + 800 * s * std::sin(a0), 1e-9);
  EXPECT_NEAR(lineOf(compass[7]).start.x, cx, 1e-9);
  const double a7 = -(135 - 90) * kPi / 180;
  EXPECT_NEAR(lineOf(compass[7]).end.y, cy + 600 * s * std::sin(a7), 1e-9);
  const auto header = b.on(kLayerHeader);
  ASSERT_EQ(header.size(), 3u);
  EXPECT_EQ(textOf(header[0]).text, "VERTICAL");
  EXPECT_EQ(textOf(b.on(kLayerFooter)[0]).text, "VNOTE");
}

TEST(ShadowDiagram, LayersStyleAndDates) {
  const Built b = build(handProfile({{9, 135, 35}}), true);
  const std::pair<const char*, int> expected[] = {{"0", 7},          {kLayerShadow, 156}, {kLayerHeader, 1}, {kLayerFooter, 1},
                                                  {kLayerText, 5},   {kLayerHouse, 1},    {kLayerCompass, 1}};
  ASSERT_EQ(b.doc.layers.entries.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(b.doc.layers.entries[i].rec.name, expected[i].first);
    EXPECT_EQ(b.doc.layers.entries[i].rec.color, expected[i].second);
    EXPECT_TRUE(b.doc.layers.entries[i].frame.handle) << "every layer has a handle";
  }
  const auto& style = b.doc.styles.entries.back().rec;
  EXPECT_EQ(style.name, kDiagramStyle);
  EXPECT_EQ(style.font, kDiagramFont);
  EXPECT_EQ(b.doc.header.created, (cad::AcadDate{2460000, 1000}));
  EXPECT_EQ(b.doc.header.updated, b.doc.header.created);
  EXPECT_EQ(b.doc.header.tileMode, 1);
  const Built h = build(handProfile({{9, 135, 35}}), false);
  for (const auto& l : h.doc.layers.entries) EXPECT_NE(l.rec.name, kLayerHouse) << "the plan has no block sections";
}

TEST(ShadowDiagram, TemplateWithoutModelSpaceIsRefused) {
  cad::Document empty;
  const cad::AdDrawing d = cad::adOpenDocument(empty, "x.dwg");
  EXPECT_FALSE(BuildHorizontalDiagram(d, handProfile({{9, 135, 35}}), cad::AcadDate{}));
  EXPECT_TRUE(cad::adDocument(d)->layers.entries.empty()) << "nothing is added to an unusable template";
  cad::adCloseFile(d);
  EXPECT_FALSE(BuildVerticalDiagram(0, handProfile({{9, 135, 35}}), cad::AcadDate{})) << "no drawing";
}

TEST(ShadowDiagram, ResourceTemplateIsWhatTheToolWrites) {
  const fs::path fresh = fs::temp_directory_path() / ("kelvaro-template-" + std::to_string(::getpid()) + ".dwg");
  std::string error;
  ASSERT_TRUE(WriteDiagramTemplate(fresh.string(), &error)) << error;
  const std::string made = test::readAll(fresh);
  fs::remove(fresh);
  const std::string kept = test::readAll(fs::path(KELVARO_SOURCE_DIR) / "src/viewer/resources/cadtemp.dwg");
  EXPECT_EQ(made, kept) << "run tools/make_diagram_template.sh after changing the template";
  EXPECT_EQ(kept.substr(0, 6), "AC1014") << "a release 14 DWG";
  EXPECT_FALSE(WriteDiagramTemplate("/nonexistent-folder/x.dwg", &error));
  EXPECT_FALSE(error.empty());
}

// --- the batch tool ----------------------------------------------------------------------------------

class DiagramCli : public testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kelvaro-diagram-cli-" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

const std::vector<std::string> kSite = {"--lat", "52:00:00N", "--lon", "0:07:00W", "--zone", "0", "--dst", "0",
                                        "--date", "2024-06-21", "--threshold", "10", "--height", "2000",
                                        "--text-height", "100", "--orientation", "135"};

std::vector<std::string> args(std::vector<std::string> head, const std::vector<std::string>& tail = {}) {
  head.insert(head.end(), kSite.begin(), kSite.end());
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

TEST_F(DiagramCli, SavedDiagramsOpenCleanInEzdxf) {
  for (const char* kind : {"h", "v"}) {
    for (const bool binary : {false, true}) {
      const fs::path out = dir / (std::string(kind) + (binary ? "b" : "a") + ".dxf");
      std::vector<std::string> extra = {"--output", out.string(), "--release", "14"};
      if (binary) extra.push_back("--binary");
      const auto r = test::runCli(args({"profile", kind}, extra));
      ASSERT_EQ(r.status, 0) << r.err;
      ASSERT_TRUE(fs::exists(out));
      const cad::Document doc = cad::readDxfFile(out.string());
      EXPECT_EQ(doc.release, cad::Release::R14);
      EXPECT_EQ(doc.binary, binary);
      int labels = 0;
      for (const auto& e : doc.findBlock(cad::kModelSpace)->entities) labels += e.common.layer == kLayerText;
      EXPECT_GT(labels, 5) << "a summer day in England has many shadowed hours";
      if (!cad::test::haveEzdxf()) continue;
      std::string text;
      const std::string script =
          "import sys, ezdxf\n"
          "doc = ezdxf.readfile(sys.argv[1])\n"
          "a = doc.audit()\n"
          "msp = doc.modelspace()\n"
          "print(len(a.errors), len(msp.query('LINE')), len(msp.query('TEXT')), doc.layers.get('SHADOW').color)\n";
      const fs::path py = dir / "check.py";
      std::ofstream(py) << script;
      ASSERT_EQ(cad::test::runCommand(std::string(cad::test::kPython) + " " + py.string() + " " + out.string(), text), 0)
          << text;
      std::istringstream in(text);
      int errors = -1, lines = 0, texts = 0, colour = 0;
      in >> errors >> lines >> texts >> colour;
      EXPECT_EQ(errors, 0) << text;
      EXPECT_EQ(colour, 156);
      EXPECT_EQ(texts, labels + 5 + (std::string(kind) == "v" ? 2 : 0));
      EXPECT_GT(lines, 12);
    }
  }
}

// Saved as DWG, the diagrams read back in LibreDWG (built for WebAssembly) with their layers and
// entities, as the drawing holds them.
TEST_F(DiagramCli, SavedDwgDiagramsOpenInTheIndependentReader) {
  const fs::path modules = fs::path(KELVARO_SOURCE_DIR) / "tools" / ".dwg-reader";
  const fs::path script = fs::path(KELVARO_SOURCE_DIR) / "tools" / "dwg_check.mjs";
  std::string out;
  if (cad::test::runCommand("node -p 'process.versions.node.split(\".\")[0] >= 20'", out) != 0 ||
      out.find("true") == std::string::npos)
    GTEST_SKIP() << "Node.js 20 or later is not installed";
  if (!fs::exists(modules / "node_modules" / "@mlightcad" / "libredwg-web"))
    GTEST_SKIP() << "the DWG reader is not installed (run scripts/dwg_reader.sh)";
  for (const char* kind : {"h", "v"}) {
    for (const char* release : {"13", "14", "2000"}) {
      const fs::path file = dir / (std::string(kind) + release + ".dwg");
      const auto r = test::runCli(args({"profile", kind}, {"--output", file.string(), "--release", release}));
      ASSERT_EQ(r.status, 0) << r.err;
      const auto info = test::runCli({"info", file.string()});
      ASSERT_EQ(info.status, 0) << info.err;
      std::string text;
      ASSERT_EQ(cad::test::runCommand("node " + script.string() + " " + modules.string() + " " + file.string(), text), 0)
          << text;
      EXPECT_EQ(text.find("\"error\""), std::string::npos) << text;
      EXPECT_NE(text.find("\"SHADOW_TEXT\""), std::string::npos) << text;
      // Same counts of lines and texts as our own reader finds.
      const cad::Document doc = cad::readDrawingFile(file);
      int lines = 0, texts = 0;
      for (const auto& e : doc.findBlock(cad::kModelSpace)->entities) {
        lines += e.is<cad::Line>();
        texts += e.is<cad::Text>();
      }
      EXPECT_NE(text.find("\"LINE\":" + std::to_string(lines)), std::string::npos) << text;
      EXPECT_NE(text.find("\"TEXT\":" + std::to_string(texts)), std::string::npos) << text;
    }
  }
}

TEST_F(DiagramCli, DwgOutputAndBadArguments) {
  const fs::path out = dir / "d.dwg";
  std::ofstream(out) << "previous";
  const auto r = test::runCli(args({"profile", "h"}, {"--output", out.string()}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(test::readAll(out).substr(0, 6), "AC1015");
  const auto bad = test::runCli(args({"profile", "h"}, {"--output", (dir / "x.dxf").string(), "--release", "15"}));
  EXPECT_EQ(bad.status, 2);
  const auto lonely = test::runCli(args({"profile", "h"}, {"--binary"}));
  EXPECT_EQ(lonely.status, 2) << "--binary without a drawing file";
  const auto none = test::runCli(args({"profile", "h"}, {"--output", (dir / "no" / "x.dxf").string()}));
  EXPECT_EQ(none.status, 4) << none.err;
}

}  // namespace
}  // namespace kelvaro::viewer
