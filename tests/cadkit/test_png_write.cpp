// Pictures written as PNG: read back by Qt and by our own decoder, checked chunk by chunk, the
// same bytes whatever the threads, and unusable arguments refused.
#include <gtest/gtest.h>
#include <zlib.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "cadkit/png_dib.h"
#include "cadkit/png_write.h"

using kelvaro::cad::pixelsToPng;
using kelvaro::cad::PngWriteOptions;

namespace {

// Pixels 0xAARRGGBB with `pad` unused bytes after each row.
struct Pixels {
  int w, h;
  std::size_t stride;
  std::vector<std::uint8_t> bytes;
  Pixels(int w_, int h_, std::size_t pad = 0) : w(w_), h(h_), stride(std::size_t(w_) * 4 + pad), bytes(stride * h_, 0xCD) {}
  void set(int x, int y, std::uint32_t v) { std::memcpy(&bytes[y * stride + x * 4], &v, 4); }
  std::uint32_t at(int x, int y) const {
    std::uint32_t v;
    std::memcpy(&v, &bytes[y * stride + x * 4], 4);
    return v;
  }
  std::string png(const PngWriteOptions& o = {}) const { return pixelsToPng(bytes, w, h, stride, nullptr, o); }
};

// Noise, rows that each add one to the row above (Up wins), rows that each pixel adds to the
// one before (Sub wins), a flat background with a few lines (most rows repeat), and one colour
// (nothing but runs).
Pixels pattern(int w, int h, int kind, std::size_t pad = 0) {
  Pixels p(w, h, pad);
  std::mt19937 rng(static_cast<unsigned>(w * 7919 + h * 31 + kind));
  std::vector<std::uint32_t> noise(w);
  for (auto& n : noise) n = rng();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint32_t v = 0;
      if (kind == 0) v = rng();
      else if (kind == 1) v = noise[x] + 0x010101u * std::uint32_t(y);
      else if (kind == 2) v = std::uint32_t(y * 977) + 0x030201u * std::uint32_t(x);
      else if (kind == 3) v = (x % 97 == 5 || y == h / 3 || x == y) ? 0xFF202020u : 0xFFFFFFFFu;
      else v = 0xFF3366CCu;
      p.set(x, y, v | 0xFF000000u);
    }
  return p;
}

std::uint32_t be32(const std::string& s, std::size_t at) {
  return std::uint32_t(std::uint8_t(s[at])) << 24 | std::uint32_t(std::uint8_t(s[at + 1])) << 16 |
         std::uint32_t(std::uint8_t(s[at + 2])) << 8 | std::uint8_t(s[at + 3]);
}

// Walks the chunks checking each CRC and the order IHDR, IDAT..., IEND; inflates the joined
// IDATs (which checks the Adler-32) and returns the filtered rows, or fails the test.
std::string inflateChecked(const std::string& png, std::size_t expectRaw, int* idats = nullptr) {
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  std::string z, order;
  int count = 0;
  for (std::size_t at = 8; at < png.size();) {
    if (at + 12 > png.size() || at + 12 + be32(png, at) > png.size()) {
      ADD_FAILURE() << "chunk past the end";
      return {};
    }
    const std::uint32_t len = be32(png, at);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + at + 4), len + 4);
    EXPECT_EQ(crc, be32(png, at + 8 + len)) << "chunk at " << at;
    const std::string type = png.substr(at + 4, 4);
    if (type == "IDAT") z += png.substr(at + 8, len), ++count;
    if (order.empty() || order.substr(order.size() - 4) != type) order += type;
    at += 12 + len;
  }
  EXPECT_EQ(order, "IHDRIDATIEND");
  if (idats) *idats = count;
  std::string raw(expectRaw + 1, '\0');
  uLongf got = static_cast<uLongf>(raw.size());
  const int r = uncompress(reinterpret_cast<Bytef*>(raw.data()), &got, reinterpret_cast<const Bytef*>(z.data()), z.size());
  EXPECT_EQ(r, Z_OK);
  EXPECT_EQ(got, expectRaw);
  raw.resize(got);
  return raw;
}

// Compares the PNG read back by Qt and by our decoder with the pixels.
void expectSamePixels(const Pixels& p, const std::string& png, bool alpha = false) {
  ASSERT_FALSE(png.empty());
  const QImage q = QImage::fromData(reinterpret_cast<const uchar*>(png.data()), int(png.size()), "PNG");
  ASSERT_EQ(q.size(), QSize(p.w, p.h));
  const std::string dib = kelvaro::cad::pngToDib({reinterpret_cast<const std::uint8_t*>(png.data()), png.size()});
  ASSERT_FALSE(dib.empty());
  const std::size_t dibStride = (std::size_t(p.w) * 3 + 3) & ~std::size_t(3);
  int wrong = 0;
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) {
      const std::uint32_t want = p.at(x, y);
      if (q.pixel(x, y) != (alpha ? want : want | 0xFF000000u)) ++wrong;
      const std::uint8_t* bgr = reinterpret_cast<const std::uint8_t*>(dib.data()) + 40 + (p.h - 1 - y) * dibStride + x * 3;
      if (!alpha && (bgr[0] != (want & 0xFF) || bgr[1] != ((want >> 8) & 0xFF) || bgr[2] != ((want >> 16) & 0xFF))) ++wrong;
    }
  EXPECT_EQ(wrong, 0) << p.w << "x" << p.h;
}

}  // namespace

TEST(PngWrite, OddSizesAndBandsReadBackExactly) {
  const std::pair<int, int> sizes[] = {{1, 1}, {1, 29}, {41, 1}, {67, 45}, {301, 7}};
  // One band, a band per row, and bands whose edges fall between a few rows.
  const std::size_t bandSizes[] = {0, 1, 700};
  for (auto [w, h] : sizes)
    for (int kind = 0; kind < 5; ++kind)
      for (std::size_t band : bandSizes) {
        SCOPED_TRACE(testing::Message() << w << "x" << h << " kind " << kind << " band " << band);
        const Pixels p = pattern(w, h, kind, kind * 4);
        const std::string png = p.png({.bandBytes = band});
        expectSamePixels(p, png);
        const std::size_t rowBytes = std::size_t(w) * 3;
        int idats = 0;
        const std::string raw = inflateChecked(png, (rowBytes + 1) * h, &idats);
        const std::size_t rowsPerBand = band == 0 ? h : std::clamp<std::size_t>(band / (rowBytes + 1), 1, h);
        EXPECT_EQ(idats, int((h + rowsPerBand - 1) / rowsPerBand));
        for (int y = 0; y < h && raw.size() == (rowBytes + 1) * h; ++y) EXPECT_LE(raw[y * (rowBytes + 1)], 2);
      }
}

TEST(PngWrite, AlphaIsKept) {
  Pixels p = pattern(33, 17, 0, 8);
  p.set(0, 0, 0x00FFFFFFu), p.set(1, 0, 0x80102030u);
  for (int x = 0; x < p.w; ++x) p.set(x, 5, (p.at(x, 5) & 0xFFFFFFu) | std::uint32_t(x * 7) << 24);
  const std::string png = p.png({.alpha = true, .bandBytes = 200});
  ASSERT_GT(png.size(), 26u);
  EXPECT_EQ(png[25], 6);
  expectSamePixels(p, png, true);
  inflateChecked(png, (33 * 4 + 1) * 17);
}

// A busy plan and a sparse one (a few long lines, nearly every filtered byte zero).
QImage drawingPicture(bool busy) {
  static int argc = 1;
  static char name[] = "test_png_write";
  static char* argv[] = {name, nullptr};
  static QGuiApplication app(argc, argv);  // for the text
  QImage img(1920, 1080, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter painter(&img);
  std::mt19937 rng(5);
  for (int i = 0; i < (busy ? 600 : 10); ++i) {
    painter.setPen(QColor::fromRgb(rng() % 2 ? 0x000000 : rng() & 0xFFFFFF));
    painter.drawLine(int(rng() % 1920), int(rng() % 1080), int(rng() % 1920), int(rng() % 1080));
  }
  painter.drawText(100, 100, "Ground floor plan 1:100");
  return img;
}

TEST(PngWrite, DrawingPicturesAreDeterministicAndSmall) {
  for (bool busy : {true, false}) {
    SCOPED_TRACE(busy ? "busy" : "sparse");
    const QImage img = drawingPicture(busy);
    Pixels p(img.width(), img.height());
    for (int y = 0; y < p.h; ++y) std::memcpy(&p.bytes[y * p.stride], img.constScanLine(y), p.stride);
    const std::string one = p.png({.threads = 1}), two = p.png({.threads = 2}), many = p.png({.threads = 7});
    EXPECT_EQ(one, two);
    EXPECT_EQ(one, many);
    EXPECT_EQ(one, p.png());
    expectSamePixels(p, one);
    inflateChecked(one, (1920 * 3 + 1) * 1080);
    // A choice of filters or of deflate's strategy that did not suit drawings shows here first
    // (deflate's usual search makes 2.6 times Qt's size of the sparse one): the file may be
    // larger than the one of Qt's slower writer, never twice as large.
    QByteArray qt;
    QBuffer buffer(&qt);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(img.save(&buffer, "PNG"));
    EXPECT_LT(one.size(), std::size_t(qt.size()) * 2) << "Qt's " << qt.size();
  }
}

TEST(PngWrite, UnusableArgumentsAreRefused) {
  const Pixels p = pattern(8, 4, 0);
  auto refused = [&](int w, int h, std::size_t stride, std::size_t have) {
    std::string why;
    const std::string png = pixelsToPng({p.bytes.data(), have}, w, h, stride, &why);
    return png.empty() && !why.empty();
  };
  EXPECT_TRUE(refused(0, 4, 32, p.bytes.size()));
  EXPECT_TRUE(refused(8, 0, 32, p.bytes.size()));
  EXPECT_TRUE(refused(-8, 4, 32, p.bytes.size()));
  EXPECT_TRUE(refused(8, 4, 28, p.bytes.size()));             // rows overlap
  EXPECT_TRUE(refused(8, 4, 32, p.bytes.size() - 1));         // last pixel missing
  EXPECT_TRUE(refused(1 << 30, 1 << 30, 1u << 31, 1 << 20));  // far too large
  EXPECT_TRUE(refused(1 << 20, 1 << 20, 1u << 22, p.bytes.size()));
  EXPECT_TRUE(refused(8, 1 << 20, std::size_t(1) << 62, p.bytes.size()));
  EXPECT_FALSE(refused(8, 4, 32, p.bytes.size()));
}
