// The info and convert commands as a user runs them.
#include <gtest/gtest.h>

#include <fstream>

#include "cadkit/dwg/dwg_io.h"
#include "cadkit/dwg12_io.h"
#include "cadkit/dxf_io.h"
#include "sample_drawing.h"
#include "support/run_cli.h"

namespace kelvaro::cad {
namespace {
namespace fs = std::filesystem;
using kelvaro::test::runCli;

class DrawingCommands : public testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kelvaro_cli_drawing_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    r12 = (dir / "plan.dxf").string();
    saveDxfFile(test::sampleDrawing(), r12, Release::R12, {});
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
  std::string r12;
};

TEST_F(DrawingCommands, InfoDescribesTheDrawing) {
  auto r = runCli({"info", r12});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* expected :
       {"\"release\": \"AC1009\"", "\"releaseName\": \"11/12\"", "\"name\": \"WALLS\"", "\"on\": false",
        "\"locked\": true", "\"linetype\": \"DASHED\"", "\"*Model_Space\": {", "\"LINE\": 1", "\"VIEWPORT\": 1",
        "\"julianDay\": 2460000", "\"text\": \"2023-02-24 01:00:00\"", "\"font\": \"Archs.shx\""})
    EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
}

TEST_F(DrawingCommands, InfoTakesMissingExtentsFromTheGeometry) {
  std::string plain = (dir / "noheader.dxf").string();
  std::ofstream(plain) << "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n1\n20\n2\n30\n0\n11\n5\n21\n7\n31\n0\n"
                          "0\nCIRCLE\n8\n0\n10\n5\n20\n5\n30\n0\n40\n1\n0\nENDSEC\n0\nEOF\n";
  auto r = runCli({"info", plain});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string compact;
  for (char c : r.out)
    if (c != ' ' && c != '\n') compact += c;
  EXPECT_NE(compact.find("\"extents\":{\"min\":[1,2,0],\"max\":[6,7,0],\"source\":\"geometry\"}"), std::string::npos)
      << r.out;
}

TEST_F(DrawingCommands, InfoFailuresExitFour) {
  auto r = runCli({"info", (dir / "none.dxf").string()});
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find("none.dxf"), std::string::npos);
  std::ofstream(dir / "bad.dxf") << "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n";
  r = runCli({"info", (dir / "bad.dxf").string()});
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find("line"), std::string::npos) << r.err;
  std::ofstream(dir / "a.dwg", std::ios::binary) << "AC1015" << std::string(64, '\0');
  r = runCli({"info", (dir / "a.dwg").string()});
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find("a.dwg: "), std::string::npos) << r.err;
  std::ofstream(dir / "b.dwg", std::ios::binary) << "AC1036" << std::string(64, '\0');
  r = runCli({"info", (dir / "b.dwg").string()});
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find("AC1036 is not supported"), std::string::npos) << r.err;
  std::ofstream(dir / "c.dwg", std::ios::binary) << "AC1032" << std::string(64, '\0');
  r = runCli({"info", (dir / "c.dwg").string()});
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find("c.dwg: "), std::string::npos) << r.err;
  EXPECT_EQ(runCli({"info"}).status, 2);
}

// A 2018 drawing: named as such, and saved as 2000 with what 2000 cannot hold listed.
TEST_F(DrawingCommands, LaterReleasesAreNamedAndConvertListsWhatIsLeftOut) {
  fs::path f = fs::path(KELVARO_SHARED_DIR) / "corpus" / "example_2018.dwg";
  if (!fs::exists(f)) GTEST_SKIP() << f << " not found";
  auto r = runCli({"info", f.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* expected : {"\"release\": \"AC1032\"", "\"releaseName\": \"2018\"", "\"product\": \"AutoCAD 2018\"",
                               "\"3DSOLID\": 1"})
    EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
  std::string out = (dir / "from2018.dwg").string();
  r = runCli({"convert", f.string(), out, "--release", "2000"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("3DSOLID left out (release 2000 cannot hold it)"), std::string::npos) << r.err;
  Document back = readDwgFile(out);
  EXPECT_EQ(back.release, Release::R2000);
  int lines = 0;
  for (const auto& e : back.findBlock(kModelSpace)->entities) lines += e.is<Line>();
  EXPECT_EQ(lines, 8);
}

TEST_F(DrawingCommands, ConvertWritesEachRelease) {
  const char* releases[] = {"2.5", "2.6", "9", "10", "11/12", "13", "14", "2000"};
  for (int i = 0; i < 8; ++i) {
    std::string out = (dir / ("out" + std::to_string(i) + ".dxf")).string();
    auto r = runCli({"convert", r12, out, "--release", releases[i]});
    ASSERT_EQ(r.status, 0) << releases[i] << ": " << r.err;
    EXPECT_EQ(readDxfFile(out).release, static_cast<Release>(i));
  }
  std::string bin = (dir / "bin.dxf").string();
  ASSERT_EQ(runCli({"convert", r12, bin, "--release", "2000", "--binary"}).status, 0);
  std::ifstream f(bin, std::ios::binary);
  std::string head(18, '\0');
  f.read(head.data(), 18);
  EXPECT_EQ(head, "AutoCAD Binary DXF");
}

TEST_F(DrawingCommands, ConvertWritesDwgOfEveryRelease) {
  auto r = runCli({"convert", r12, (dir / "x12.dwg").string(), "--release", "11/12"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readDrawingFile(dir / "x12.dwg").release, Release::R12);
  // From 13 on DWG is written, and reads back as that release.
  r = runCli({"convert", r12, (dir / "x.dwg").string(), "--release", "14"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(readDwgFile(dir / "x.dwg").release, Release::R14);
  r = runCli({"convert", r12, (dir / "x.dxf").string(), "--release", "15"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--release"), std::string::npos);
  r = runCli({"convert", r12, (dir / "no" / "x.dxf").string(), "--release", "14"});
  EXPECT_EQ(r.status, 4);
  // Going back to R12 reports what the release cannot hold.
  std::string full = (dir / "full.dxf").string();
  saveDxfFile(test::sampleDrawing(), full, Release::R2000, {});
  r = runCli({"convert", full, (dir / "old.dxf").string(), "--release", "11/12"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("RAY left out"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("ELLIPSE -> POLYLINE"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kelvaro::cad
