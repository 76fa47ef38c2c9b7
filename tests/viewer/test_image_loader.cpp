#include <gtest/gtest.h>

#include <QBuffer>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>

#include <thread>

#include "viewer/ImageLoader.h"
#include "viewer/raster_bytes.h"

using namespace kelvaro;
using kelvaro::test::Bytes;
using kelvaro::test::put16;

namespace {

QGuiApplication* ensureGuiApp() {
  static int argc = 1;
  static char name[] = "kelvaro-test";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QGuiApplication(argc, argv);
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance());
}

// A 4 x 3 picture with a different colour in every pixel.
QImage sample() {
  QImage img(4, 3, QImage::Format_RGB32);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) img.setPixel(x, y, qRgb(40 * x + 10, 80 * y + 20, 200 - 30 * x));
  return img;
}

QByteArray encode(const QImage& img, const char* format) {
  QByteArray out;
  QBuffer buf(&out);
  buf.open(QIODevice::WriteOnly);
  QImageWriter w(&buf, format);
  w.setQuality(100);
  EXPECT_TRUE(w.write(img)) << format << ": " << w.errorString().toStdString();
  return out;
}

QByteArray bytes(const Bytes& b) { return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size())); }

// A GIF whose LZW stream sends a clear code before every pixel, so codes stay three bits wide.
QByteArray gif(int w, int h, const std::vector<int>& indices, int transparentIndex = -1) {
  Bytes b;
  for (char c : std::string("GIF89a")) b.push_back(std::uint8_t(c));
  put16(b, w);
  put16(b, h);
  kelvaro::test::append(b, {0x81, 0, 0});  // global table of 4 entries
  kelvaro::test::append(b, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255});
  if (transparentIndex >= 0) kelvaro::test::append(b, {0x21, 0xF9, 4, 0x01, 0, 0, transparentIndex, 0});
  b.push_back(0x2C);
  put16(b, 0);
  put16(b, 0);
  put16(b, w);
  put16(b, h);
  kelvaro::test::append(b, {0, 2});  // no local table; LZW minimum code size 2
  std::vector<int> codes;
  for (int i : indices) {
    codes.push_back(4);
    codes.push_back(i);
  }
  codes.push_back(5);
  Bytes packed;
  unsigned acc = 0, bits = 0;
  for (int c : codes) {
    acc |= unsigned(c) << bits;
    bits += 3;
    while (bits >= 8) {
      packed.push_back(std::uint8_t(acc & 0xFF));
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits) packed.push_back(std::uint8_t(acc));
  b.push_back(std::uint8_t(packed.size()));
  kelvaro::test::append(b, packed);
  kelvaro::test::append(b, {0, 0x3B});
  return bytes(b);
}

// A baseline uncompressed RGB TIFF in either byte order.
QByteArray tiff(const QImage& img, bool bigEndian) {
  QByteArray out;
  auto p16 = [&](unsigned v) {
    if (bigEndian) out.append(char(v >> 8)).append(char(v & 0xFF));
    else out.append(char(v & 0xFF)).append(char(v >> 8));
  };
  auto p32 = [&](std::uint32_t v) {
    if (bigEndian) { p16(v >> 16); p16(v & 0xFFFF); }
    else { p16(v & 0xFFFF); p16(v >> 16); }
  };
  const unsigned w = unsigned(img.width()), h = unsigned(img.height());
  const int entries = 10;
  const std::uint32_t bitsAt = 8 + 2 + entries * 12 + 4, pixelsAt = bitsAt + 6;
  out.append(bigEndian ? "MM" : "II");
  p16(42);
  p32(8);
  p16(entries);
  auto shortEntry = [&](unsigned tag, unsigned count, unsigned value) {
    p16(tag);
    p16(3);
    p32(count);
    p16(value);
    p16(0);
  };
  auto longEntry = [&](unsigned tag, std::uint32_t value) {
    p16(tag);
    p16(4);
    p32(1);
    p32(value);
  };
  shortEntry(256, 1, w);
  shortEntry(257, 1, h);
  p16(258), p16(3), p32(3), p32(bitsAt);
  shortEntry(259, 1, 1);
  shortEntry(262, 1, 2);
  longEntry(273, pixelsAt);
  shortEntry(277, 1, 3);
  shortEntry(278, 1, h);
  longEntry(279, w * h * 3);
  shortEntry(284, 1, 1);
  p32(0);
  p16(8), p16(8), p16(8);
  for (unsigned y = 0; y < h; ++y)
    for (unsigned x = 0; x < w; ++x) {
      const QRgb c = img.pixel(int(x), int(y));
      out.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    }
  return out;
}

// The sample as an 8-bit PCX with its colours in the 256-entry table (stored, not packed).
QByteArray pcx(const QImage& img) {
  Bytes b{0x0A, 5, 0, 8};
  put16(b, 0);
  put16(b, 0);
  put16(b, img.width() - 1);
  put16(b, img.height() - 1);
  b.resize(65, 0);
  b.push_back(1);
  put16(b, img.width());
  b.resize(128, 0);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) b.push_back(std::uint8_t(y * img.width() + x));
  b.push_back(0x0C);
  for (int i = 0; i < 256; ++i) {
    const QRgb c = i < img.width() * img.height() ? img.pixel(i % img.width(), i / img.width()) : 0;
    kelvaro::test::append(b, {qRed(c), qGreen(c), qBlue(c)});
  }
  return bytes(b);
}

// The sample as a top-down 24-bit Targa.
QByteArray targa(const QImage& img) {
  Bytes b{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  put16(b, img.width());
  put16(b, img.height());
  kelvaro::test::append(b, {24, 0x20});
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb c = img.pixel(x, y);
      kelvaro::test::append(b, {qBlue(c), qGreen(c), qRed(c)});
    }
  return bytes(b);
}

class ImageLoader : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ensureGuiApp(); }
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    SetImageBackground(qRgb(255, 255, 255));
  }
  QString write(const QString& name, const QByteArray& data) {
    const QString path = dir_.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    return path;
  }
  static bool hasQtFormat(const char* f) { return QImageReader::supportedImageFormats().contains(f); }

  // Loads and checks the result against the sample, or against Qt's own reading of a lossy file.
  void expectSample(const QString& path, int step, ImageDecoder decoder, const QImage& expected = {}) {
    QImage bitmap;
    const ImageLoadReport r = LoadImageReport(bitmap, path);
    ASSERT_TRUE(r.Ok) << path.toStdString() << ": " << r.Message.toStdString();
    EXPECT_EQ(r.Step, step) << path.toStdString();
    EXPECT_EQ(r.Decoder, decoder) << path.toStdString();
    EXPECT_EQ(bitmap.format(), QImage::Format_RGB888);
    const QImage want = expected.isNull() ? sample() : expected;
    ASSERT_EQ(bitmap.size(), want.size());
    for (int y = 0; y < want.height(); ++y)
      for (int x = 0; x < want.width(); ++x) {
        const QRgb a = bitmap.pixel(x, y), b = want.pixel(x, y);
        EXPECT_EQ(qRed(a), qRed(b)) << x << "," << y << " " << path.toStdString();
        EXPECT_EQ(qGreen(a), qGreen(b)) << x << "," << y;
        EXPECT_EQ(qBlue(a), qBlue(b)) << x << "," << y;
      }
  }

  QTemporaryDir dir_;
};

TEST_F(ImageLoader, ExtensionAndSignatureTables) {
  const std::pair<const char*, ImageDecoder> known[] = {
      {".BMP", ImageDecoder::Bmp}, {".jpg", ImageDecoder::Jpeg},  {".Gif", ImageDecoder::Gif},
      {".png", ImageDecoder::Png}, {".pcx", ImageDecoder::Pcx},   {".TGA", ImageDecoder::Targa},
      {".tif", ImageDecoder::Tiff}};
  for (const auto& [ext, d] : known) EXPECT_EQ(decoderForExtension(QString::fromLatin1(ext)), d) << ext;
  for (const char* ext : {".JPEG", ".TIFF", ".jpe", ".dat", "", ".", "BMP", ".BMP ", ".\u0131f"})
    EXPECT_FALSE(decoderForExtension(QString::fromUtf8(ext)).has_value()) << ext;

  EXPECT_EQ(imageExtension("/a/b.c/photo.tar.png"), ".PNG");
  EXPECT_EQ(imageExtension("/a/b.c/photo"), "");
  EXPECT_EQ(imageExtension("photo."), ".");

  auto header = [](const char* hex) { return QByteArray::fromHex(hex).leftJustified(24, '\0'); };
  using V = std::vector<ImageDecoder>;
  EXPECT_EQ(decodersForHeader(header("424D")), V{ImageDecoder::Bmp});
  EXPECT_EQ(decodersForHeader(header("FFD8FFE0")), V{ImageDecoder::Jpeg});
  EXPECT_EQ(decodersForHeader(header("FFD8FE")), V{});
  EXPECT_EQ(decodersForHeader(header("474946383761")), V{ImageDecoder::Gif});
  EXPECT_EQ(decodersForHeader(header("474946383961")), V{ImageDecoder::Gif});
  EXPECT_EQ(decodersForHeader(header("474946383861")), V{});
  EXPECT_EQ(decodersForHeader(header("89504E470D0A1A0A")), V{ImageDecoder::Png});
  EXPECT_EQ(decodersForHeader(header("89504E470D0A1A")), V{});
  EXPECT_EQ(decodersForHeader(header("0A05")), V{ImageDecoder::Pcx});
  EXPECT_EQ(decodersForHeader(header("4D4D002A")), V{ImageDecoder::Tiff});
  EXPECT_EQ(decodersForHeader(header("49492A00")), V{ImageDecoder::Tiff});
  EXPECT_EQ(decodersForHeader(header("49492B00")), V{});
  // Targa has no signature: it is found by its extension alone.
  EXPECT_EQ(decodersForHeader(header("000002000000000000000000")), V{});
}

TEST_F(ImageLoader, EveryFormatLoadsByItsExtension) {
  const QImage img = sample();
  expectSample(write("a.bmp", encode(img, "bmp")), 2, ImageDecoder::Bmp);
  expectSample(write("a.PNG", encode(img, "png")), 2, ImageDecoder::Png);
  expectSample(write("a.pcx", pcx(img)), 2, ImageDecoder::Pcx);
  expectSample(write("a.tga", targa(img)), 2, ImageDecoder::Targa);
  if (hasQtFormat("jpeg")) {
    const QByteArray jpeg = encode(img, "jpeg");
    expectSample(write("a.jpg", jpeg), 2, ImageDecoder::Jpeg, QImage::fromData(jpeg, "jpeg"));
  }
  if (hasQtFormat("gif")) {
    QImage bitmap;
    const ImageLoadReport r = LoadImageReport(bitmap, write("a.gif", gif(3, 1, {0, 1, 2})));
    ASSERT_TRUE(r.Ok) << r.Message.toStdString();
    EXPECT_EQ(r.Step, 2);
    EXPECT_EQ(bitmap.format(), QImage::Format_RGB888);
    EXPECT_EQ(bitmap.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(bitmap.pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(bitmap.pixel(2, 0), qRgb(0, 0, 255));
  }
}

TEST_F(ImageLoader, FilesWithOtherNamesLoadByTheirFirstBytes) {
  const QImage img = sample();
  expectSample(write("a.dat", encode(img, "bmp")), 3, ImageDecoder::Bmp);
  expectSample(write("a.bin", encode(img, "png")), 3, ImageDecoder::Png);
  expectSample(write("a", pcx(img)), 3, ImageDecoder::Pcx);
  // A PNG named .jpg: the JPEG decoder refuses it quietly, then the signature finds PNG.
  expectSample(write("png.jpg", encode(img, "png")), 3, ImageDecoder::Png);
  // A PCX named .tga is no Targa, but its first byte names PCX.
  expectSample(write("pcx.tga", pcx(img)), 3, ImageDecoder::Pcx);
  if (hasQtFormat("jpeg")) {
    const QByteArray jpeg = encode(img, "jpeg");
    const QImage decoded = QImage::fromData(jpeg, "jpeg");
    expectSample(write("jpeg.PNG", jpeg), 3, ImageDecoder::Jpeg, decoded);
    expectSample(write("photo.jpeg", jpeg), 3, ImageDecoder::Jpeg, decoded);
  }
  if (hasQtFormat("gif")) {
    QImage bitmap;
    const ImageLoadReport r = LoadImageReport(bitmap, write("gif.png", gif(12, 1, std::vector<int>(12, 3))));
    EXPECT_TRUE(r.Ok) << r.Message.toStdString();
    EXPECT_EQ(r.Decoder, ImageDecoder::Gif);
    EXPECT_EQ(r.Step, 3);
  }
  // Targa is found by its extension only.
  QImage bitmap;
  const ImageLoadReport r = LoadImageReport(bitmap, write("a.dat2", targa(img)));
  EXPECT_FALSE(r.Ok);
  EXPECT_TRUE(bitmap.isNull());
  EXPECT_FALSE(r.Message.isEmpty());
}

TEST_F(ImageLoader, TiffInBothByteOrders) {
  if (!hasQtFormat("tiff")) GTEST_SKIP() << "Qt has no TIFF plugin here (install qt6-image-formats-plugins)";
  const QImage img = sample();
  const QByteArray big = tiff(img, true), little = tiff(img, false);
  ASSERT_TRUE(big.startsWith("MM\0*")) << "big-endian signature";
  expectSample(write("big.tif", big), 2, ImageDecoder::Tiff);
  expectSample(write("little.TIF", little), 2, ImageDecoder::Tiff);
  expectSample(write("big.tiff", big), 3, ImageDecoder::Tiff);
  expectSample(write("little.img", little), 3, ImageDecoder::Tiff);
}

TEST_F(ImageLoader, TransparentPixelsTakeTheBackgroundColour) {
  QImage argb(3, 1, QImage::Format_ARGB32);
  argb.setPixel(0, 0, qRgba(0, 0, 0, 0));
  argb.setPixel(1, 0, qRgba(200, 100, 0, 255));
  argb.setPixel(2, 0, qRgba(255, 255, 255, 128));
  const QString path = write("alpha.png", encode(argb, "png"));
  QImage bitmap;

  SetImageBackground(qRgb(10, 20, 30));
  EXPECT_EQ(ImageBackground(), qRgb(10, 20, 30));
  ASSERT_TRUE(LoadImage(bitmap, path));
  EXPECT_EQ(bitmap.format(), QImage::Format_RGB888);
  EXPECT_EQ(bitmap.pixel(0, 0), qRgb(10, 20, 30));
  EXPECT_EQ(bitmap.pixel(1, 0), qRgb(200, 100, 0));
  EXPECT_NEAR(qRed(bitmap.pixel(2, 0)), (255 * 128 + 10 * 127) / 255, 2);
  EXPECT_NEAR(qBlue(bitmap.pixel(2, 0)), (255 * 128 + 30 * 127) / 255, 2);

  // A new background applies to the next load; the colour's alpha byte is of no account.
  SetImageBackground(qRgba(0, 128, 0, 0));
  ASSERT_TRUE(LoadImage(bitmap, path));
  EXPECT_EQ(bitmap.pixel(0, 0), qRgb(0, 128, 0));

  // A palette picture with a transparent entry, and a GIF with a transparent index.
  QImage indexed(2, 1, QImage::Format_Indexed8);
  indexed.setColorTable({qRgba(0, 0, 0, 0), qRgb(1, 2, 3)});
  indexed.setPixel(0, 0, 0);
  indexed.setPixel(1, 0, 1);
  ASSERT_TRUE(LoadImage(bitmap, write("indexed.png", encode(indexed, "png"))));
  EXPECT_EQ(bitmap.pixel(0, 0), qRgb(0, 128, 0));
  EXPECT_EQ(bitmap.pixel(1, 0), qRgb(1, 2, 3));
  if (hasQtFormat("gif")) {
    ASSERT_TRUE(LoadImage(bitmap, write("t.gif", gif(2, 1, {1, 0}, 1))));
    EXPECT_EQ(bitmap.pixel(0, 0), qRgb(0, 128, 0));
    EXPECT_EQ(bitmap.pixel(1, 0), qRgb(255, 0, 0));
  }
}

TEST_F(ImageLoader, FailuresLeaveNoPictureAndSayWhy) {
  const QImage img = sample();
  QImage bitmap = img.convertToFormat(QImage::Format_RGB888);  // an older picture must not survive
  auto fails = [&](const QString& path, const char* why) {
    bitmap = img;
    const ImageLoadReport r = LoadImageReport(bitmap, path);
    EXPECT_FALSE(r.Ok) << path.toStdString();
    EXPECT_FALSE(LoadImage(bitmap, path));
    EXPECT_TRUE(bitmap.isNull()) << path.toStdString();
    EXPECT_TRUE(r.Message.contains(QString::fromLatin1(why), Qt::CaseInsensitive))
        << path.toStdString() << ": " << r.Message.toStdString();
  };
  fails(write("ten.bin", "0123456789"), "too short");
  fails(write("ten.png", QByteArray::fromHex("89504E470D0A1A0A0000")), "too short");
  fails(write("empty.bmp", {}), "too short");
  fails(write("text.txt", QByteArray(100, 'x')), "not a picture");
  fails(dir_.filePath("missing.png"), "does not exist");
  fails(QString(), "does not exist");
  fails(dir_.path(), "not a file");

  // Cut files: the extension step fails, the signature names the same decoder, which fails again.
  const QByteArray png = encode(img, "png");
  fails(write("cut.png", png.left(png.size() / 2)), "PNG");
  fails(write("cut.dat", png.left(40)), "PNG");
  const QByteArray pcxFile = pcx(img);
  fails(write("cut.pcx", pcxFile.left(130)), "truncated");
  fails(write("cut.tga", targa(img).left(30)), "not a picture");
  QByteArray lying = pcxFile;
  lying[8] = char(0xFF);  // a window much wider than the data
  lying[9] = char(0x7F);
  fails(write("wide.pcx", lying), "PCX");
  if (hasQtFormat("gif")) {
    const QByteArray g = gif(12, 1, std::vector<int>(12, 1));
    fails(write("cut.gif", g.left(28)), "GIF");
  }
}

TEST_F(ImageLoader, BusyCursorIsRestoredOnEveryPath) {
  ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
  QImage bitmap;
  const QString good = write("a.tga", targa(sample()));
  EXPECT_TRUE(LoadImage(bitmap, good));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  for (const QString& bad : {write("x.bin", "short"), dir_.filePath("none"), write("y.dat", QByteArray(64, 'q')),
                             write("z.png", encode(sample(), "png").left(60))}) {
    EXPECT_FALSE(LoadImage(bitmap, bad));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << bad.toStdString();
  }
  // A caller's own override cursor stays in place.
  QGuiApplication::setOverrideCursor(Qt::CrossCursor);
  EXPECT_TRUE(LoadImage(bitmap, good));
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
  QGuiApplication::restoreOverrideCursor();

  // Off the GUI thread the cursor is left alone and the picture still loads.
  bool loaded = false;
  std::thread worker([&] {
    QImage img;
    loaded = LoadImage(img, good) && img.size() == QSize(4, 3);
  });
  worker.join();
  EXPECT_TRUE(loaded);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
