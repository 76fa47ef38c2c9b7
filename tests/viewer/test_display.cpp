// The display sink on a picture: pixels of lines, points and fills, colour modes, bulk drawing,
// raster image rotation and embedded pictures.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <unistd.h>
#include <QImage>
#include <QPainter>

#include "cadkit/ole_picture.h"
#include "support/qt_app.h"
#include "viewer/Display.h"
#include "viewer/ImageSupport.h"

namespace kelvaro::viewer {
namespace {

using cad::PixelPoint;

class Sink : public testing::Test {
 protected:
  void SetUp() override {
    kelvaro::test::ensureQtApp();
    image = QImage(40, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
  }
  void draw(const std::function<void(TDisplaySink&)>& f, DisplayOptions opt = {}) {
    QPainter p(&image);
    sink.begin(&p, image.height(), &palette, opt);
    f(sink);
    sink.end();
  }
  int countNot(QRgb background) const {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) != background;
    return n;
  }
  QImage image;
  TPalette palette;
  TDisplaySink sink;
};

TEST_F(Sink, ZeroLengthLineSetsExactlyOnePixelInThePenColour) {
  draw([](TDisplaySink& s) {
    s.penColor(1);
    s.moveTo(10, 20);
    s.lineTo(10, 20);
  });
  EXPECT_EQ(countNot(qRgb(255, 255, 255)), 1);
  // Toolkit y counts up from the bottom: y 20 of a 30-pixel device is row 10.
  EXPECT_EQ(image.pixel(10, 10), qRgb(255, 0, 0));
}

TEST_F(Sink, LinesAreOnePixelWideAndFlippedUpright) {
  draw([](TDisplaySink& s) {
    s.penColor(5);
    s.moveTo(5, 25);
    s.lineTo(35, 25);  // row 5
  });
  for (int x = 6; x < 35; ++x) EXPECT_EQ(image.pixel(x, 5), qRgb(0, 0, 255)) << x;
  EXPECT_EQ(image.pixel(20, 4), qRgb(255, 255, 255));
  EXPECT_EQ(image.pixel(20, 6), qRgb(255, 255, 255));
}

TEST_F(Sink, ColourModesChangeThePen) {
  DisplayOptions grey;
  grey.grayscale = true;
  draw([](TDisplaySink& s) {
    s.penColor(1);
    s.moveTo(2, 28);
    s.lineTo(2, 28);
    s.penColor(5);
    s.moveTo(4, 28);
    s.lineTo(4, 28);
  }, grey);
  EXPECT_EQ(image.pixel(2, 2), qRgb(76, 76, 76));
  EXPECT_EQ(image.pixel(4, 2), qRgb(28, 28, 28));
  DisplayOptions black;
  black.allBlack = true;
  draw([](TDisplaySink& s) {
    s.penColor(3);
    s.moveTo(6, 28);
    s.lineTo(6, 28);
    s.trueColor(0x00FF00);
    s.moveTo(8, 28);
    s.lineTo(8, 28);
  }, black);
  EXPECT_EQ(image.pixel(6, 2), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(8, 2), qRgb(0, 0, 0));
}

TEST_F(Sink, PolygonIsFilledAndOutlined) {
  const PixelPoint square[4] = {{10, 5}, {30, 5}, {30, 25}, {10, 25}};
  draw([&](TDisplaySink& s) {
    s.penColor(3);
    s.paintPolygon(square, 4);
  });
  EXPECT_EQ(image.pixel(20, 15), qRgb(0, 255, 0)) << "inside";
  EXPECT_EQ(image.pixel(11, 6), qRgb(0, 255, 0));
  EXPECT_EQ(image.pixel(5, 15), qRgb(255, 255, 255)) << "outside";
  EXPECT_EQ(image.pixel(35, 15), qRgb(255, 255, 255));
}

TEST_F(Sink, PolyPolygonLeavesHolesOfNestedRings) {
  const PixelPoint rings[8] = {{2, 2}, {38, 2}, {38, 28}, {2, 28}, {15, 10}, {25, 10}, {25, 20}, {15, 20}};
  const int counts[2] = {4, 4};
  draw([&](TDisplaySink& s) {
    s.penColor(6);
    s.polyPolygon(rings, counts, 2);
  });
  EXPECT_EQ(image.pixel(6, 15), qRgb(255, 0, 255));
  EXPECT_EQ(image.pixel(20, 15), qRgb(255, 255, 255)) << "the inner ring is a hole";
}

TEST_F(Sink, RunsOfSegmentsAreDrawnInBulk) {
  image = QImage(400, 300, QImage::Format_RGB32);
  image.fill(Qt::white);
  draw([](TDisplaySink& s) {
    s.penColor(1);
    for (int i = 0; i < 1000; ++i) {  // separate lines, as LINE entities come
      s.moveTo(i % 400, 10);
      s.lineTo(i % 400, 200);
    }
    std::vector<PixelPoint> zigzag;
    for (int i = 0; i < 500; ++i) zigzag.push_back({double(i % 400), double(i % 2 ? 250 : 260)});
    s.polyline(zigzag.data(), zigzag.size());
  });
  EXPECT_LE(sink.bulkCalls(), 4u) << "a thousand lines and a polyline in a handful of painter calls";
  EXPECT_EQ(image.pixel(123, 150), qRgb(255, 0, 0));
}

TEST_F(Sink, ColourChangesFlushWhatWasGathered) {
  draw([](TDisplaySink& s) {
    s.penColor(1);
    s.moveTo(5, 15);
    s.lineTo(15, 15);
    s.penColor(5);
    s.moveTo(20, 15);
    s.lineTo(30, 15);
  });
  EXPECT_EQ(image.pixel(10, 15), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(25, 15), qRgb(0, 0, 255));
}

TEST(RasterImages, RotationByAQuarterSwapsTheSizeAndFillsOutsideWithBlue) {
  kelvaro::test::ensureQtApp();
  QImage src(20, 10, QImage::Format_RGB32);
  src.fill(qRgb(200, 0, 0));
  const QImage quarter = rotateBitmap(src, M_PI / 2);
  EXPECT_EQ(quarter.width(), 10);
  EXPECT_EQ(quarter.height(), 20);
  EXPECT_EQ(quarter.pixel(5, 10), qRgb(200, 0, 0));
  const QImage eighth = rotateBitmap(src, M_PI / 4);
  // |round(10 s)| + |round(20 c)| = 7 + 14, |round(20 s)| + |round(10 c)| = 14 + 7.
  EXPECT_EQ(eighth.width(), 21);
  EXPECT_EQ(eighth.height(), 21);
  EXPECT_EQ(eighth.pixel(0, 0), qRgb(0, 0, 255)) << "corners outside the old bitmap are pure blue";
  EXPECT_EQ(eighth.pixel(10, 10), qRgb(200, 0, 0));
}

TEST_F(Sink, MissingImageDrawsNothingAndUnknownIndexDrawsBlue) {
  TBitmapList list;
  sink.bitmaps = &list;
  std::int32_t user = -1;
  EXPECT_FALSE(sink.rawImagePrepare("/no/such/picture.png", user));
  cad::RawImageRecord rec;
  rec.corner[0] = {5, 5};
  rec.corner[1] = {15, 5};
  rec.corner[2] = {15, 15};
  rec.corner[3] = {5, 15};
  draw([&](TDisplaySink& s) { s.rawImage(rec); });  // no user data: nothing
  EXPECT_EQ(countNot(qRgb(255, 255, 255)), 0);
  rec.userData = 3;  // beyond the list
  draw([&](TDisplaySink& s) { s.rawImage(rec); });
  EXPECT_EQ(image.pixel(10, 20), qRgb(0, 0, 255));
}

TEST_F(Sink, ImageFileIsFoundLoadedAndTurnedAQuarterSwapsItsShape) {
  const std::string dir = QDir::tempPath().toStdString() + "/kelvaro_sink_images_" + std::to_string(::getpid());
  QDir().mkpath(QString::fromStdString(dir));
  QImage tall(4, 8, QImage::Format_RGB32);
  tall.fill(qRgb(0, 160, 0));
  for (int x = 0; x < 4; ++x) tall.setPixel(x, 0, qRgb(200, 0, 0));  // a red top row
  ASSERT_TRUE(tall.save(QString::fromStdString(dir + "/site.png")));
  TBitmapList list;
  sink.bitmaps = &list;
  sink.drawingPath = dir + "/plan.dxf";
  std::int32_t user = -1;
  ASSERT_TRUE(sink.rawImagePrepare("C:\\pictures\\site.png", user)) << "found beside the drawing";
  EXPECT_EQ(user, 0);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].size(), QSize(4, 8));
  // Turned a quarter counter-clockwise: the +v edge points left, the picture lies on its side.
  cad::RawImageRecord rec;
  rec.corner[0] = {30, 5};
  rec.corner[1] = {30, 15};
  rec.corner[2] = {10, 15};
  rec.corner[3] = {10, 5};
  rec.userData = user;
  draw([&](TDisplaySink& s) { s.rawImage(rec); });
  EXPECT_EQ(image.pixel(20, 20), qRgb(0, 160, 0));
  int red = 0;
  for (int y = 15; y < 25; ++y) red += image.pixel(11, y) == qRgb(200, 0, 0);
  EXPECT_GT(red, 5) << "the top row now runs down the left side";
  QDir(QString::fromStdString(dir)).removeRecursively();
}

TEST_F(Sink, PreparingAFileAgainReusesItsBitmapUntilTheListIsCleared) {
  const std::string dir = QDir::tempPath().toStdString() + "/kelvaro_sink_reuse_" + std::to_string(::getpid());
  QDir().mkpath(QString::fromStdString(dir));
  QImage img(3, 3, QImage::Format_RGB32);
  img.fill(qRgb(10, 20, 30));
  ASSERT_TRUE(img.save(QString::fromStdString(dir + "/a.png")));
  ASSERT_TRUE(img.save(QString::fromStdString(dir + "/b.png")));
  TBitmapList list;
  sink.bitmaps = &list;
  std::int32_t a = -1, again = -1, b = -1;
  ASSERT_TRUE(sink.rawImagePrepare(dir + "/a.png", a));
  ASSERT_TRUE(sink.rawImagePrepare(dir + "/b.png", b));
  ASSERT_TRUE(sink.rawImagePrepare(dir + "/a.png", again));
  EXPECT_EQ(again, a);
  EXPECT_NE(b, a);
  EXPECT_EQ(list.size(), 2u) << "one bitmap per file, however often it is drawn";
  list.clear();  // a new drawing
  ASSERT_TRUE(sink.rawImagePrepare(dir + "/b.png", b));
  EXPECT_EQ(b, 0);
  ASSERT_TRUE(sink.rawImagePrepare(dir + "/a.png", a));
  EXPECT_EQ(a, 1);
  EXPECT_EQ(list.size(), 2u);
  QDir(QString::fromStdString(dir)).removeRecursively();
}

TEST_F(Sink, ImageInTheListIsStretchedIntoItsCornerBox) {
  TBitmapList list;
  QImage green(2, 2, QImage::Format_RGB32);
  green.fill(qRgb(0, 160, 0));
  list.push_back(green);
  sink.bitmaps = &list;
  cad::RawImageRecord rec;
  rec.corner[0] = {10, 5};
  rec.corner[1] = {30, 5};
  rec.corner[2] = {30, 15};
  rec.corner[3] = {10, 15};
  rec.userData = 0;
  draw([&](TDisplaySink& s) { s.rawImage(rec); });
  EXPECT_EQ(image.pixel(20, 20), qRgb(0, 160, 0));
  EXPECT_EQ(image.pixel(29, 16), qRgb(0, 160, 0));
  EXPECT_EQ(image.pixel(5, 20), qRgb(255, 255, 255));
  EXPECT_EQ(image.pixel(20, 10), qRgb(255, 255, 255));
}

std::vector<std::uint8_t> bmpFile(int w, int h, QRgb colour) {
  QImage img(w, h, QImage::Format_RGB888);
  img.fill(colour);
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, "BMP");
  return {bytes.begin(), bytes.end()};
}

TEST_F(Sink, EmbeddedBitmapIsDrawnAndDamagedOnesAreRefused) {
  std::vector<std::uint8_t> data{1};
  auto bmp = bmpFile(4, 4, qRgb(0, 0, 200));
  data.insert(data.end(), bmp.begin(), bmp.end());
  cad::OlePicRecord rec;
  rec.data = data.data();
  rec.size = data.size();
  rec.rectMin = {5, 5};
  rec.rectMax = {25, 25};
  rec.frame[0] = {5, 5};
  rec.frame[1] = {25, 5};
  rec.frame[2] = {25, 25};
  rec.frame[3] = {5, 25};
  draw([&](TDisplaySink& s) { s.olePicData(rec); });
  EXPECT_EQ(image.pixel(15, 15), qRgb(0, 0, 200));
  // Every truncation of the bitmap is refused without reading past its end.
  for (std::size_t n = 0; n < bmp.size(); n += 7) EXPECT_TRUE(decodeDibPicture(bmp.data(), n).isNull()) << n;
  EXPECT_FALSE(decodeDibPicture(bmp.data(), bmp.size()).isNull());
}

TEST_F(Sink, EmbeddedMetafileShowsAFramedPlaceholder) {
  const std::uint8_t data[] = {0, 1, 2, 3, 4};
  cad::OlePicRecord rec;
  rec.data = data;
  rec.size = sizeof data;
  rec.rectMin = {5, 5};
  rec.rectMax = {35, 25};
  rec.frame[0] = {0, 0};
  rec.frame[1] = {40, 0};
  rec.frame[2] = {40, 30};
  rec.frame[3] = {0, 30};
  image.fill(Qt::gray);
  draw([&](TDisplaySink& s) {
    s.penColor(1);
    s.olePicData(rec);
  });
  EXPECT_EQ(image.pixel(12, 12), qRgb(255, 255, 255)) << "white inside";
  EXPECT_EQ(image.pixel(5, 15), qRgb(255, 0, 0)) << "framed";
  EXPECT_EQ(image.pixel(2, 2), QColor(Qt::gray).rgb()) << "nothing outside";
}

TEST_F(Sink, EmbeddedPngIsDrawnAndAnUnplayablePictureShowsItsName) {
  QImage green(3, 3, QImage::Format_RGB32);
  green.fill(qRgb(0, 150, 0));
  QByteArray png;
  QBuffer buf(&png);
  buf.open(QIODevice::WriteOnly);
  green.save(&buf, "PNG");
  std::vector<std::uint8_t> data{cad::kOlePng};
  data.insert(data.end(), png.begin(), png.end());
  cad::OlePicRecord rec;
  rec.data = data.data();
  rec.size = data.size();
  rec.rectMin = {2, 2};
  rec.rectMax = {38, 28};
  rec.frame[0] = {0, 0};
  rec.frame[1] = {40, 0};
  rec.frame[2] = {40, 30};
  rec.frame[3] = {0, 30};
  draw([&](TDisplaySink& s) { s.olePicData(rec); });
  EXPECT_EQ(image.pixel(20, 15), qRgb(0, 150, 0));
  // A metafile (or a PNG that does not decode) is a white box framed in the pen colour with the
  // object's name written in it.
  data.resize(20);
  rec.size = data.size();
  rec.name = "Picture";
  image.fill(Qt::gray);
  draw([&](TDisplaySink& s) {
    s.penColor(5);
    s.olePicData(rec);
  });
  EXPECT_EQ(image.pixel(2, 15), qRgb(0, 0, 255));
  int dark = 0;
  for (int y = 4; y < 26; ++y)
    for (int x = 4; x < 36; ++x) dark += qGray(image.pixel(x, y)) < 100;
  EXPECT_GT(dark, 5) << "the name is written";
}

TEST_F(Sink, TrueTypeRunIsFilledInThePenColourOnItsBaseline) {
  image = QImage(200, 100, QImage::Format_RGB32);
  image.fill(Qt::white);
  cad::TtfRun run;
  run.fontFile = "arial.ttf";
  run.text = "HH";
  run.origin = {20, 30};  // baseline 30 pixels above the bottom: row 70
  run.xAxis = {40, 0};    // capital letters 40 pixels high
  run.yAxis = {0, 40};
  draw([&](TDisplaySink& s) {
    s.penColor(1);
    s.ttfText(run);
  });
  int top = 100, bottom = -1, left = 200, inked = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x)
      if (qRed(image.pixel(x, y)) > 200 && qGreen(image.pixel(x, y)) < 60) {
        top = std::min(top, y), bottom = std::max(bottom, y), left = std::min(left, x), ++inked;
      }
  ASSERT_GT(inked, 100);
  EXPECT_NEAR(bottom, 69, 2) << "sits on the baseline";
  EXPECT_NEAR(bottom - top + 1, 40, 3) << "one text unit is the height of a capital";
  EXPECT_GE(left, 20);
  EXPECT_LT(left, 30);
}

TEST(Fonts, WindowsFontFilesMapToInstalledFamilies) {
  kelvaro::test::ensureQtApp();
  EXPECT_EQ(fontFamilyFor("arial.ttf", ""), "Liberation Sans");
  EXPECT_EQ(fontFamilyFor("C:\\WINDOWS\\FONTS\\TIMES.TTF", ""), "Liberation Serif");
  EXPECT_EQ(fontFamilyFor("cour.ttf", ""), "Liberation Mono");
  EXPECT_EQ(fontFamilyFor("unknown.ttf", "Arial"), "Liberation Sans");
  EXPECT_FALSE(fontFamilyFor("nothing-like-it.ttf", "").isEmpty());
}

}  // namespace
}  // namespace kelvaro::viewer
