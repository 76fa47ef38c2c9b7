// convert and info with DWG files before R13, as a user runs them.
#include <gtest/gtest.h>

#include <fstream>

#include "cadkit/dwg12_io.h"
#include "sample_drawing.h"
#include "support/run_cli.h"

namespace kelvaro::cad {
namespace {
namespace fs = std::filesystem;
using kelvaro::test::runCli;

class Dwg12Commands : public testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kelvaro_cli_dwg12_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    src = (dir / "plan.dxf").string();
    saveDxfFile(test::sampleDrawing(), src, Release::R2000, {});
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
  std::string src;
};

TEST_F(Dwg12Commands, ConvertWritesEachOldDwgReleaseAndListsTheConversions) {
  const char* releases[] = {"2.5", "2.6", "9", "10", "11/12"};
  for (int i = 0; i < 5; ++i) {
    std::string out = (dir / ("out" + std::to_string(i) + ".dwg")).string();
    auto r = runCli({"convert", src, out, "--release", releases[i]});
    ASSERT_EQ(r.status, 0) << releases[i] << ": " << r.err;
    EXPECT_NE(r.err.find("ELLIPSE -> POLYLINE"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("RAY left out (release " + std::string(releases[i]) + " cannot hold it)"), std::string::npos) << r.err;
    EXPECT_EQ(readDwg12File(out).release, releaseFromIndex(i));
    // And back to DXF from the DWG.
    std::string dxf = (dir / ("back" + std::to_string(i) + ".dxf")).string();
    r = runCli({"convert", out, dxf, "--release", "2000"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_GT(readDxfFile(dxf).modelSpace().entities.size(), 10u);
  }
}

TEST_F(Dwg12Commands, ConvertFromOldDwgToANewerDwgRelease) {
  std::string out = (dir / "newer.dwg").string();
  std::ofstream(out) << "old";
  auto r = runCli({"convert", src, out, "--release", "14"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::ifstream f(out, std::ios::binary);
  std::string s(6, '\0');
  f.read(s.data(), 6);
  EXPECT_EQ(s, "AC1014");
}

TEST_F(Dwg12Commands, InfoNamesTheRealRelease) {
  std::string out = (dir / "plan.dwg").string();
  saveDwg12File(readDxfFile(src), out, Release::R9);
  auto r = runCli({"info", out});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"release\": \"AC1004\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"releaseName\": \"9\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"format\": \"DWG\""), std::string::npos) << r.out;
  // A damaged copy still describes, with its warnings on stderr.
  std::string bytes = writeDwg12(readDxfFile(src), Release::R12);
  bytes.resize(bytes.size() - 40);
  std::string cut = (dir / "cut.dwg").string();
  std::ofstream(cut, std::ios::binary) << bytes;
  r = runCli({"info", cut});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("warning: the closing directory"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("\"releaseName\": \"11/12\""), std::string::npos);
}

}  // namespace
}  // namespace kelvaro::cad
