// Objects saved into an older DXF release keep every subclass marker they carry, even one that
// no tags follow (FIELDLIST ends in a bare AcDbFieldList marker).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cadkit/dxf_io.h"
#include "python_helper.h"

namespace kelvaro::cad {
namespace {

const char* kFieldListDrawing =
    "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1032\n  9\n$HANDSEED\n  5\n100\n  0\nENDSEC\n"
    "  0\nSECTION\n  2\nOBJECTS\n"
    "  0\nDICTIONARY\n  5\nC\n330\n0\n100\nAcDbDictionary\n281\n     1\n  3\nACAD_FIELDLIST\n360\n20\n"
    "  0\nFIELDLIST\n  5\n20\n330\nC\n100\nAcDbIdSet\n 90\n     0\n100\nAcDbFieldList\n"
    "  0\nENDSEC\n  0\nEOF\n";

std::string fieldList(const std::string& dxf) {
  auto at = dxf.find("\nFIELDLIST\n  5\n");
  if (at == std::string::npos) return {};
  return dxf.substr(at, dxf.find("\n  0\n", at + 1) - at);
}

TEST(DxfSubclass, BareMarkerSurvivesEverySaveAsRelease) {
  Document d = readDxf(kFieldListDrawing);
  for (Release rel : {Release::R13, Release::R14, Release::R2000}) {
    SCOPED_TRACE(releaseName(rel));
    std::string rec = fieldList(writeDxf(d, rel, {}));
    ASSERT_FALSE(rec.empty());
    auto idSet = rec.find("AcDbIdSet"), list = rec.find("AcDbFieldList");
    ASSERT_NE(list, std::string::npos);
    EXPECT_LT(idSet, list);
  }
  // And a second load and save keeps it too.
  Document again = readDxf(writeDxf(d, Release::R2000, {}));
  EXPECT_NE(fieldList(writeDxf(again, Release::R14, {})).find("AcDbFieldList"), std::string::npos);
}

TEST(DxfSubclass, EzdxfAuditFindsNoMissingSubclass) {
  if (!test::haveEzdxf()) GTEST_SKIP() << "/usr/bin/python3 with ezdxf is not installed";
  Document d = readDxf(kFieldListDrawing);
  auto path = std::filesystem::temp_directory_path() / "kelvaro_fieldlist.dxf";
  std::ofstream(path, std::ios::binary) << writeDxf(d, Release::R2000, {});
  std::string out;
  std::string cmd = std::string(test::kPython) +
                    " -c \"import ezdxf; from ezdxf import recover; doc, a = recover.readfile('" + path.string() +
                    "'); print('\\n'.join(e.message for e in a.errors + a.fixes))\"";
  ASSERT_EQ(test::runCommand(cmd, out), 0) << out;
  EXPECT_EQ(out.find("Missing required subclass"), std::string::npos) << out;
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace kelvaro::cad
