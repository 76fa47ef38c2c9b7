// The toolkit calls as the viewer and the diagram builders use them.
#include <gtest/gtest.h>

#include <fstream>

#include "cadkit/dxf_io.h"
#include "cadkit/toolkit.h"
#include "sample_drawing.h"

namespace kelvaro::cad {
namespace {
namespace fs = std::filesystem;

class Toolkit : public testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kelvaro_toolkit_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ASSERT_TRUE(adWriteStartupFile((dir / "adinit.dat").c_str()));
    ASSERT_EQ(adInitAd2((dir / "adinit.dat").c_str(), 0), 1);
    ASSERT_EQ(adInitAd3(), 1);
    sample = (dir / "sample.dxf").string();
    saveDxfFile(test::sampleDrawing(), sample, Release::R2000, {});
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
  std::string sample;
};

TEST_F(Toolkit, StartNeedsItsStartupData) {
  EXPECT_EQ(adInitAd2((dir / "missing.dat").c_str(), 0), 0);
  EXPECT_NE(adErrorStr(adError(0)).find("start-up data"), std::string::npos);
  std::ofstream(dir / "bad.dat") << "something else\n";
  EXPECT_EQ(adInitAd2((dir / "bad.dat").c_str(), 0), 0);
}

TEST_F(Toolkit, LoadFailuresLeaveAClearText) {
  EXPECT_EQ(adLoadFile((dir / "none.dxf").c_str(), 1, 1), 0);
  EXPECT_EQ(adError(0), kAdFileNotFound);
  std::ofstream(dir / "bad.dxf") << "0\nSECTION\n2\nENTITIES\n0\nLINE\nxx\n1\n";
  EXPECT_EQ(adLoadFile((dir / "bad.dxf").c_str(), 1, 1), 0);
  EXPECT_NE(adErrorStr(adError(0)).find("line 7"), std::string::npos) << adErrorStr(adError(0));
  std::ofstream(dir / "new.dwg", std::ios::binary) << "AC1036" << std::string(100, '\0');
  EXPECT_EQ(adLoadFile((dir / "new.dwg").c_str(), 1, 1), 0);
  EXPECT_NE(adErrorStr(adError(0)).find("This DWG release is not supported (AC1036)"), std::string::npos);
  std::ofstream(dir / "empty2018.dwg", std::ios::binary) << "AC1032" << std::string(100, '\0');
  EXPECT_EQ(adLoadFile((dir / "empty2018.dwg").c_str(), 1, 1), 0);
  EXPECT_EQ(adError(0), kAdInvalidFile);
  // A readable release whose contents are damaged is an invalid file.
  std::ofstream(dir / "old.dwg", std::ios::binary) << "AC1014" << std::string(100, '\0');
  EXPECT_EQ(adLoadFile((dir / "old.dwg").c_str(), 1, 1), 0);
  EXPECT_EQ(adError(0), kAdInvalidFile);
}

TEST_F(Toolkit, LayersStatesAndNewContentSurviveASave) {
  AdDrawing d = adLoadFile(sample.c_str(), 1, 1);
  ASSERT_NE(d, 0);
  EXPECT_EQ(adFileVersionLoaded(d), 7);
  ASSERT_EQ(adNumLayers(d), 2);
  adStartLayerGet(d);
  AdLayer layer, walls;
  while (adGetLayer(d, layer))
    if (layer.rec.name == "WALLS") walls = layer;
  ASSERT_TRUE(walls.objhandle);
  std::uint8_t st[4];
  ASSERT_EQ(adGetLayerState(d, walls.objhandle, st), 1);
  EXPECT_EQ(st[0], 0);  // off: negative colour
  EXPECT_EQ(st[3], 1);  // locked
  AdLinetype lt;
  ASSERT_EQ(adSeekLinetype(d, walls.linetypeObjhandle, lt), 1);
  EXPECT_EQ(lt.rec.name, "DASHED");
  const std::uint8_t onUnlocked[4] = {1, 1, 7, 0};
  ASSERT_EQ(adSetLayerState(d, walls.objhandle, onUnlocked), 1);

  AdLayer shadow;
  adSetDefaultLayer(d, shadow);
  shadow.rec.name = "SHADOW";
  shadow.rec.color = 156;
  ASSERT_EQ(adGenerateObjhandle(d, shadow.objhandle), 1);
  ASSERT_EQ(adAddLayer(d, shadow), 1);
  EXPECT_EQ(adAddLayer(d, shadow), 0) << "a second layer of the same name is refused";
  AdShapefile style;
  adSetDefaultShapefile(d, style);
  style.rec.name = "Shadow_Archs2";
  style.rec.font = "Archs.shx";
  ASSERT_EQ(adAddShapefile(d, style), 1);

  Handle ms;
  ASSERT_EQ(adFindBlockheaderByName(d, "*MODEL_SPACE", ms), 1);
  AdBlockheader bh;
  ASSERT_EQ(adSeekBlockheader(d, ms, bh), 1);
  AdEntityList list = adEntityList(d, bh);
  int before = adNumEntities(list);
  AdEntity line;
  ASSERT_EQ(adSetEntityDefaults(d, line, kAdEntLine), 1);
  line.entity.get<Line>().end = {10, 20, 0};
  line.entity.common.layer = "SHADOW";
  adGenerateObjhandle(d, line.objhandle);
  ASSERT_EQ(adAddEntityToList(d, list, line), 1);
  AdEntity text;
  ASSERT_EQ(adSetEntityDefaults(d, text, kAdEntText), 1);
  auto& t = text.entity.get<Text>();
  t.text = " 9.00hrs 2145mm";
  t.style = "Shadow_Archs2";
  t.rotation = 90;
  adGenerateObjhandle(d, text.objhandle);
  ASSERT_EQ(adAddEntityToList(d, list, text), 1);

  AdHeader* h = adHeaderPointer(d);
  h->tileMode = 1;
  h->quickText = 1;
  h->updated = {2451545, 43200000};
  std::string out = (dir / "out.dxf").string();
  ASSERT_EQ(adSaveFile(d, out.c_str(), 1, 4, 0, 6, 1, 1), 1);
  ASSERT_EQ(adCloseFile(d), 1);

  AdDrawing r = adLoadFile(out.c_str(), 1, 1);
  ASSERT_NE(r, 0);
  EXPECT_EQ(adFileVersionLoaded(r), 4);
  EXPECT_EQ(adHeaderPointer(r)->quickText, 1);
  EXPECT_EQ(adHeaderPointer(r)->updated, (AcadDate{2451545, 43200000}));
  ASSERT_EQ(adFindBlockheaderByName(r, "*Model_Space", ms), 1);
  ASSERT_EQ(adSeekBlockheader(r, ms, bh), 1);
  AdEntityList l2 = adEntityList(r, bh);
  AdEntity e;
  int lines = 0, texts = 0, n = 0;
  adStartEntityGet(l2);
  while (adGetEntity(l2, e)) {
    ++n;
    if (e.enttype == kAdEntLine && e.entity.common.layer == "SHADOW") ++lines;
    if (e.enttype == kAdEntText && e.entity.get<Text>().text == " 9.00hrs 2145mm") ++texts;
  }
  EXPECT_EQ(lines, 1);
  EXPECT_EQ(texts, 1);
  EXPECT_GT(n, 0);
  (void)before;
  adStartLayerGet(r);
  int found = 0;
  while (adGetLayer(r, layer)) {
    if (layer.rec.name == "SHADOW" && layer.rec.color == 156) ++found;
    if (layer.rec.name == "WALLS") {
      adGetLayerState(r, layer.objhandle, st);
      EXPECT_EQ(st[0], 1);
      EXPECT_EQ(st[1], 1);
      EXPECT_EQ(st[3], 0);
    }
  }
  EXPECT_EQ(found, 1);
  adCloseFile(r);
}

TEST_F(Toolkit, PaperSpaceAndLayouts) {
  AdDrawing d = adLoadFile(sample.c_str(), 1, 1);
  ASSERT_NE(d, 0);
  EXPECT_EQ(adFileDisplayableInPaperspace(d), 1);
  Handle paper;
  ASSERT_EQ(adGetBlockHandle(d, paper, 0), 1);
  AdBlockheader bh;
  ASSERT_EQ(adSeekBlockheader(d, paper, bh), 1);
  EXPECT_EQ(bh.name, "*Paper_Space");
  AdEntityList list = adEntityList(d, bh);
  AdEntity e;
  ASSERT_EQ(adGetEntity(list, e), 1);
  EXPECT_EQ(e.enttype, 24);
  std::vector<std::string> layouts;
  AdObject o;
  adStartObjectGet(d);
  while (adGetObject(d, o))
    if (o.objtype == adLayoutObjtype(d)) {
      AdBlockheader lb;
      ASSERT_EQ(adSeekBlockheader(d, o.layoutBlockheader, lb), 1);
      layouts.push_back(std::get<Layout>(o.data).name + "=" + lb.name);
    }
  EXPECT_EQ(layouts, (std::vector<std::string>{"Model=*Model_Space", "Layout1=*Paper_Space"}));
  adCloseFile(d);
}

TEST_F(Toolkit, ActiveViewportIsReplaced) {
  AdDrawing d = adLoadFile(sample.c_str(), 1, 1);
  AdVport v;
  adStartVportGet(d);
  ASSERT_EQ(adGetVport(d, v), 1);
  v.rec.center = {1, 2};
  v.rec.height = 33;
  ASSERT_EQ(adReplaceVport(d, v), 1);
  std::string out = (dir / "vp.dxf").string();
  ASSERT_EQ(adSaveFile(d, out.c_str(), 2, 7, 0, 6, 1, 1), 1);
  Document back = readDxfFile(out);
  EXPECT_TRUE(back.binary);
  EXPECT_EQ(back.vports.entries.at(0).rec.height, 33);
  EXPECT_EQ(adSaveFile(d, (dir / "x.dwg").c_str(), 0, 7, 0, 0, 0, 0), 1);
  // Every Save As version writes DWG: 0-4 the releases before 13, 5-7 the later ones.
  ASSERT_EQ(adSaveFile(d, (dir / "y.dwg").c_str(), 0, 4, 0, 0, 0, 0), 1);
  AdDrawing y = adLoadFile((dir / "y.dwg").c_str(), 1, 1);
  ASSERT_NE(y, 0) << adErrorStr(adError(0));
  EXPECT_EQ(adFileVersionLoaded(y), 4);
  adCloseFile(y);
  adCloseFile(d);
}

TEST_F(Toolkit, StoredPreviewBecomesABitmapFile) {
  Document doc = test::sampleDrawing();
  // A 2 x 1 pixel, 24-bit device-independent bitmap: 40-byte header and one padded row.
  std::string dib(40, '\0');
  dib[0] = 40, dib[4] = 2, dib[8] = 1, dib[12] = 1, dib[14] = 24;
  dib += std::string("\x00\x00\xFF\x00\xFF\x00\x00\x00", 8);
  for (unsigned char c : dib) {
    const char* hx = "0123456789ABCDEF";
    doc.thumbnail += hx[c >> 4];
    doc.thumbnail += hx[c & 15];
  }
  std::string with = (dir / "thumb.dxf").string();
  saveDxfFile(doc, with, Release::R2000, {});
  std::string bmp = (dir / "thumb.bmp").string();
  ASSERT_EQ(adExtractBmpFromFileToFile(with.c_str(), bmp.c_str()), 1);
  std::ifstream f(bmp, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 14u + 48u);
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  EXPECT_EQ(static_cast<unsigned char>(bytes[10]), 54);  // pixels right after the headers
  EXPECT_EQ(bytes.substr(14), dib);
  EXPECT_EQ(adExtractBmpFromFileToFile(sample.c_str(), bmp.c_str()), 0) << "no preview stored";
}

TEST(ToolkitDates, JulianDaysAndEditingTime) {
  int y, mo, da, h, mi, s;
  adDecodeAcadDate({2451545, 43200000}, y, mo, da, h, mi, s);  // the J2000 epoch
  EXPECT_EQ((std::vector<int>{y, mo, da, h, mi, s}), (std::vector<int>{2000, 1, 1, 12, 0, 0}));
  adDecodeAcadDate({2460000, 0}, y, mo, da, h, mi, s);
  EXPECT_EQ((std::vector<int>{y, mo, da}), (std::vector<int>{2023, 2, 24}));
  // The day count 1 January of year 1 = 1, plus 1721425, is the Julian day number.
  adDecodeAcadDate({1 + 1721425, 0}, y, mo, da, h, mi, s);
  EXPECT_EQ((std::vector<int>{y, mo, da}), (std::vector<int>{1, 1, 1}));
  int days, hours, mins, secs;
  adDecodeAcadTime({2, 3723000}, days, hours, mins, secs);
  EXPECT_EQ((std::vector<int>{days, hours, mins, secs}), (std::vector<int>{2, 1, 2, 3}));
}

}  // namespace
}  // namespace kelvaro::cad
