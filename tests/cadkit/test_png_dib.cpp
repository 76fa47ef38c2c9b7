// PNG previews decoded into bitmaps: filters, colour types, transparency and damaged data.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cadkit/png_dib.h"

using kelvaro::cad::pngToDib;

namespace {

void chunk(std::vector<std::uint8_t>& out, const char* tag, const std::vector<std::uint8_t>& body) {
  auto put = [&](std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
  };
  put(static_cast<std::uint32_t>(body.size()));
  out.insert(out.end(), tag, tag + 4);
  out.insert(out.end(), body.begin(), body.end());
  put(0);  // the decoder does not need the check value
}

// A PNG of the given rows (each starting with its filter byte).
std::vector<std::uint8_t> makePng(int w, int h, int depth, int type, const std::vector<std::uint8_t>& rows,
                                  const std::vector<std::uint8_t>& plte = {}, int interlace = 0) {
  std::vector<std::uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  chunk(out, "IHDR", {0, 0, 0, static_cast<std::uint8_t>(w), 0, 0, 0, static_cast<std::uint8_t>(h),
                      static_cast<std::uint8_t>(depth), static_cast<std::uint8_t>(type), 0, 0,
                      static_cast<std::uint8_t>(interlace)});
  if (!plte.empty()) chunk(out, "PLTE", plte);
  uLongf n = compressBound(static_cast<uLong>(rows.size()));
  std::vector<std::uint8_t> z(n);
  compress(z.data(), &n, rows.data(), static_cast<uLong>(rows.size()));
  z.resize(n);
  // Split over two IDAT chunks: the decoder must join them.
  std::size_t half = z.size() / 2;
  chunk(out, "IDAT", {z.begin(), z.begin() + static_cast<std::ptrdiff_t>(half)});
  chunk(out, "IDAT", {z.begin() + static_cast<std::ptrdiff_t>(half), z.end()});
  chunk(out, "IEND", {});
  return out;
}

// Blue, green, red of pixel (x, y) counted from the top.
std::vector<int> pixel(const std::string& dib, int w, int h, int x, int y) {
  std::size_t stride = (static_cast<std::size_t>(w) * 3 + 3) & ~std::size_t(3);
  std::size_t at = 40 + (h - 1 - y) * stride + x * 3;
  return {static_cast<unsigned char>(dib[at]), static_cast<unsigned char>(dib[at + 1]), static_cast<unsigned char>(dib[at + 2])};
}

}  // namespace

TEST(PngDib, FiltersAndColourTypesDecodeToTheSamePixels) {
  // 3x2 RGB: row 0 unfiltered, row 1 with the Paeth filter (differences against row 0).
  const std::vector<std::uint8_t> row0{10, 20, 30, 40, 50, 60, 70, 80, 90};
  std::vector<std::uint8_t> rows{0};
  rows.insert(rows.end(), row0.begin(), row0.end());
  // With Paeth and every byte of row 1 equal to row 0, each predictor is the byte above: zeros.
  rows.push_back(4);
  rows.insert(rows.end(), 9, 0);
  std::string err;
  std::string dib = pngToDib(makePng(3, 2, 8, 2, rows), &err);
  ASSERT_FALSE(dib.empty()) << err;
  EXPECT_EQ(pixel(dib, 3, 2, 0, 0), (std::vector<int>{30, 20, 10}));
  EXPECT_EQ(pixel(dib, 3, 2, 2, 1), (std::vector<int>{90, 80, 70}));
  // Sub filter: each byte adds the one a pixel to the left.
  std::string sub = pngToDib(makePng(3, 1, 8, 2, {1, 10, 20, 30, 30, 30, 30, 30, 30, 30}), &err);
  ASSERT_FALSE(sub.empty()) << err;
  EXPECT_EQ(pixel(sub, 3, 1, 2, 0), (std::vector<int>{90, 80, 70}));
  // 2-bit palette: four pixels in one byte.
  std::string pal = pngToDib(makePng(4, 1, 2, 3, {0, 0b00011011}, {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255}), &err);
  ASSERT_FALSE(pal.empty()) << err;
  EXPECT_EQ(pixel(pal, 4, 1, 1, 0), (std::vector<int>{0, 0, 255}));
  EXPECT_EQ(pixel(pal, 4, 1, 3, 0), (std::vector<int>{255, 0, 0}));
  // Grey with alpha: a half-transparent black lies on white as mid grey.
  std::string ga = pngToDib(makePng(1, 1, 8, 4, {0, 0, 128}), &err);
  ASSERT_FALSE(ga.empty()) << err;
  EXPECT_EQ(pixel(ga, 1, 1, 0, 0), (std::vector<int>{127, 127, 127}));
}

TEST(PngDib, DamagedOrUnsupportedPicturesAreRefusedWithAReason) {
  std::string err;
  EXPECT_TRUE(pngToDib(std::vector<std::uint8_t>{1, 2, 3}, &err).empty());
  EXPECT_EQ(err, "not a PNG picture");
  // Too few rows of data for the size the header gives.
  EXPECT_TRUE(pngToDib(makePng(4, 4, 8, 2, {0, 1, 2, 3}), &err).empty());
  EXPECT_EQ(err, "the PNG picture's data is damaged");
  // A palette index past the palette.
  EXPECT_TRUE(pngToDib(makePng(1, 1, 8, 3, {0, 5}, {0, 0, 0}), &err).empty());
  EXPECT_EQ(err, "the PNG picture's palette is too short");
  EXPECT_TRUE(pngToDib(makePng(1, 1, 8, 2, {0, 1, 2, 3}, {}, 1), &err).empty());
  EXPECT_EQ(err, "interlaced PNG pictures are not supported");
  EXPECT_TRUE(pngToDib(makePng(1, 1, 3, 2, {0, 1}), &err).empty());
  EXPECT_EQ(err, "the PNG picture's colour type is not valid");
  // A chunk length past the end of the data.
  auto cut = makePng(2, 2, 8, 2, std::vector<std::uint8_t>(14, 0));
  cut.resize(cut.size() - 20);
  EXPECT_TRUE(pngToDib(cut, &err).empty());
}
