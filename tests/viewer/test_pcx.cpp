#include <gtest/gtest.h>

#include <array>

#include "viewer/pcx.h"
#include "viewer/raster_bytes.h"

using namespace kelvaro;
using namespace kelvaro::test;

namespace {

struct Header {
  int Version = 5;
  int Encoding = 1;
  int Bits = 8;
  int Planes = 1;
  int Width = 1;
  int Height = 1;
  int BytesPerLine = 0;  // 0: the smallest even count for the width
  std::array<std::uint8_t, 48> Palette{};
};

Bytes header(const Header& h) {
  Bytes b;
  append(b, {0x0A, h.Version, h.Encoding, h.Bits});
  put16(b, 10);  // a window that does not start at 0
  put16(b, 20);
  put16(b, 10 + h.Width - 1);
  put16(b, 20 + h.Height - 1);
  put16(b, 72);
  put16(b, 72);
  b.insert(b.end(), h.Palette.begin(), h.Palette.end());
  b.push_back(0);
  b.push_back(std::uint8_t(h.Planes));
  int bpl = h.BytesPerLine;
  if (bpl == 0) bpl = ((h.Width * h.Bits + 15) / 16) * 2;
  put16(b, bpl);
  put16(b, 1);
  b.resize(128, 0);
  return b;
}

// Run-length encodes a whole picture as one stream (runs may cross lines and planes).
Bytes rle(const Bytes& raw) {
  Bytes out;
  for (std::size_t i = 0; i < raw.size();) {
    std::size_t n = 1;
    while (i + n < raw.size() && raw[i + n] == raw[i] && n < 63) ++n;
    if (n > 1 || raw[i] >= 0xC0) {
      out.push_back(std::uint8_t(0xC0 | n));
    }
    out.push_back(raw[i]);
    i += n;
  }
  return out;
}

Bytes palette256(int marker = 0x0C) {
  Bytes b{std::uint8_t(marker)};
  for (int i = 0; i < 256; ++i) append(b, {i, 255 - i, (i * 7) & 0xFF});
  return b;
}

Px at(const RasterResult& r, int x, int y) {
  const auto* p = r.Image.Pixels.data() + (std::size_t(y) * r.Image.Width + x) * 3;
  return {p[0], p[1], p[2]};
}

TEST(Pcx, EightBitPictureUsesTheTableAtTheEnd) {
  Header h;
  h.Width = 3;
  h.Height = 2;  // four bytes a line: the fourth is padding
  Bytes f = header(h);
  // Line 1: literal 1, run of two 0xC8 (a value that needs a run), pad; line 2: run of 4 x 9.
  append(f, {0x01, 0xC2, 0xC8, 0x00, 0xC4, 0x09});
  append(f, palette256());
  const RasterResult r = decodePcx(f);
  ASSERT_TRUE(r.ok()) << r.Error;
  EXPECT_EQ(r.Image.Width, 3);
  EXPECT_EQ(r.Image.Height, 2);
  EXPECT_EQ(at(r, 0, 0), (Px{1, 254, 7}));
  EXPECT_EQ(at(r, 1, 0), (Px{0xC8, 255 - 0xC8, (0xC8 * 7) & 0xFF}));
  EXPECT_EQ(at(r, 2, 0), (Px{0xC8, 255 - 0xC8, (0xC8 * 7) & 0xFF}));
  for (int x = 0; x < 3; ++x) EXPECT_EQ(at(r, x, 1), (Px{9, 246, 63}));
}

TEST(Pcx, EightBitWithoutTableIsGreyAndUncompressedDataIsRead) {
  Header h;
  h.Width = 2;
  h.Height = 2;
  h.Encoding = 0;
  Bytes f = header(h);
  append(f, {0x10, 0xF0, 0x80, 0xC5});  // stored bytes, 0xC5 is a value here, not a run
  const RasterResult r = decodePcx(f);
  ASSERT_TRUE(r.ok()) << r.Error;
  EXPECT_EQ(at(r, 0, 0), (Px{0x10, 0x10, 0x10}));
  EXPECT_EQ(at(r, 1, 0), (Px{0xF0, 0xF0, 0xF0}));
  EXPECT_EQ(at(r, 0, 1), (Px{0x80, 0x80, 0x80}));
  EXPECT_EQ(at(r, 1, 1), (Px{0xC5, 0xC5, 0xC5}));
}

TEST(Pcx, TrueColourPlanesAndTheDroppedFourthPlane) {
  for (int planes : {3, 4}) {
    Header h;
    h.Width = 3;
    h.Height = 2;
    h.Planes = planes;
    h.BytesPerLine = 4;
    Bytes raw;
    for (int y = 0; y < 2; ++y)
      for (int p = 0; p < planes; ++p)
        for (int x = 0; x < 4; ++x) raw.push_back(p == 3 ? 0 : std::uint8_t(x < 3 ? 40 * p + 10 * x + y : 0xEE));
    Bytes f = header(h);
    append(f, rle(raw));
    const RasterResult r = decodePcx(f);
    ASSERT_TRUE(r.ok()) << planes << ": " << r.Error;
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(at(r, x, y), (Px{10 * x + y, 40 + 10 * x + y, 80 + 10 * x + y}));
  }
}

TEST(Pcx, RunsCrossingLinesAreFollowed) {
  Header h;
  h.Width = 2;
  h.Height = 3;
  Bytes f = header(h);
  append(f, {0xC5, 0x07, 0x03});  // five 7s span two and a half lines
  append(f, palette256());
  const RasterResult r = decodePcx(f);
  ASSERT_TRUE(r.ok()) << r.Error;
  EXPECT_EQ(at(r, 1, 1), (Px{7, 248, 49}));
  EXPECT_EQ(at(r, 0, 2), (Px{7, 248, 49}));
  EXPECT_EQ(at(r, 1, 2), (Px{3, 252, 21}));
}

TEST(Pcx, MonochromeIsBlackAndWhiteWithPaddedLines) {
  Header h;
  h.Bits = 1;
  h.Width = 10;
  h.Height = 1;
  Bytes f = header(h);
  append(f, {0b10110000, 0b01000000});
  const RasterResult r = decodePcx(f);
  ASSERT_TRUE(r.ok()) << r.Error;
  const int expected[10] = {1, 0, 1, 1, 0, 0, 0, 0, 0, 1};
  for (int x = 0; x < 10; ++x) EXPECT_EQ(at(r, x, 0).R, expected[x] * 255) << x;
}

TEST(Pcx, PlanarAndPackedPicturesIndexTheHeaderPalette) {
  std::array<std::uint8_t, 48> pal{};
  for (int i = 0; i < 16; ++i) {
    pal[3 * i] = std::uint8_t(i * 16);
    pal[3 * i + 1] = std::uint8_t(i + 1);
    pal[3 * i + 2] = 200;
  }
  // 1 bit x 4 planes: pixel 0 sets planes 0 and 3 (index 9), pixel 1 plane 1 (index 2).
  {
    Header h;
    h.Bits = 1;
    h.Planes = 4;
    h.Width = 2;
    h.Palette = pal;
    Bytes f = header(h);
    append(f, {0x80, 0x00, 0x40, 0x00, 0x00, 0x00, 0x80, 0x00});
    const RasterResult r = decodePcx(f);
    ASSERT_TRUE(r.ok()) << r.Error;
    EXPECT_EQ(at(r, 0, 0), (Px{144, 10, 200}));
    EXPECT_EQ(at(r, 1, 0), (Px{32, 3, 200}));
  }
  // 1 bit x 3 planes: eight colours.
  {
    Header h;
    h.Bits = 1;
    h.Planes = 3;
    h.Width = 3;
    h.Palette = pal;
    Bytes f = header(h);
    append(f, {0xA0, 0x00, 0x60, 0x00, 0x20, 0x00});
    const RasterResult r = decodePcx(f);
    ASSERT_TRUE(r.ok()) << r.Error;
    EXPECT_EQ(at(r, 0, 0).G, 1 + 1);  // index 1
    EXPECT_EQ(at(r, 1, 0).G, 2 + 1);  // index 2
    EXPECT_EQ(at(r, 2, 0).G, 7 + 1);  // index 7
  }
  // 4 bits x 1 plane: nibbles, high first.
  {
    Header h;
    h.Bits = 4;
    h.Width = 3;
    h.Palette = pal;
    Bytes f = header(h);
    append(f, {0xC1, 0xF3, 0x50});  // 0xF3 is above 0xC0, so it goes as a run of one
    const RasterResult r = decodePcx(f);
    ASSERT_TRUE(r.ok()) << r.Error;
    EXPECT_EQ(at(r, 0, 0).G, 16);
    EXPECT_EQ(at(r, 1, 0).G, 4);
    EXPECT_EQ(at(r, 2, 0).G, 6);
  }
  // 2 bits x 1 plane: four colours.
  {
    Header h;
    h.Bits = 2;
    h.Width = 4;
    h.Palette = pal;
    Bytes f = header(h);
    append(f, {0b00011011, 0x00});
    const RasterResult r = decodePcx(f);
    ASSERT_TRUE(r.ok()) << r.Error;
    for (int x = 0; x < 4; ++x) EXPECT_EQ(at(r, x, 0).G, x + 1);
  }
}

TEST(Pcx, DefaultEgaColoursForVersionThreeAndBlankPalettes) {
  std::array<std::uint8_t, 48> pal{};
  pal.fill(0x33);
  for (int version : {3, 5}) {
    Header h;
    h.Version = version;
    h.Bits = 4;
    h.Width = 2;
    if (version == 3) h.Palette = pal;  // ignored: version 3 files carry no palette
    Bytes f = header(h);
    append(f, {0x6E, 0x00});
    const RasterResult r = decodePcx(f);
    ASSERT_TRUE(r.ok()) << r.Error;
    EXPECT_EQ(at(r, 0, 0), (Px{0xAA, 0x55, 0x00})) << version;  // brown
    EXPECT_EQ(at(r, 1, 0), (Px{0xFF, 0xFF, 0x55})) << version;  // yellow
  }
}

TEST(Pcx, VersionsAndLayoutsThatAreRefused) {
  for (int v : {0, 2, 3, 4, 5}) {
    Header h;
    h.Version = v;
    Bytes f = header(h);
    append(f, {0xC2, 0x01});
    EXPECT_TRUE(decodePcx(f).ok()) << v;
  }
  struct Case {
    int Version, Encoding, Bits, Planes;
    const char* Why;
  } cases[] = {{1, 1, 8, 1, "version"}, {6, 1, 8, 1, "version"}, {5, 2, 8, 1, "encoding"},
               {5, 1, 8, 2, "not supported"}, {5, 1, 16, 1, "not supported"}, {5, 1, 4, 4, "not supported"},
               {5, 1, 1, 0, "not supported"}, {5, 1, 3, 1, "not supported"}};
  for (const Case& c : cases) {
    Header h;
    h.Version = c.Version;
    h.Encoding = c.Encoding;
    h.Bits = c.Bits;
    h.Planes = c.Planes;
    h.BytesPerLine = 8;
    Bytes f = header(h);
    f.resize(f.size() + 64, 0);
    const RasterResult r = decodePcx(f);
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.Error.find(c.Why), std::string::npos) << r.Error;
  }
}

TEST(Pcx, DamagedFilesGiveAnErrorAndNoPicture) {
  Header h;
  h.Width = 4;
  h.Height = 4;
  Bytes good = header(h);
  append(good, {0xCF, 0x05, 0x06});  // 15 + 1 bytes
  append(good, palette256());
  ASSERT_TRUE(decodePcx(good).ok());

  auto error = [](const Bytes& f) {
    const RasterResult r = decodePcx(f);
    EXPECT_TRUE(r.Image.Pixels.empty());
    return r.ok() ? std::string() : r.Error;
  };
  EXPECT_NE(error(Bytes(good.begin(), good.begin() + 100)).find("header"), std::string::npos);
  Bytes notPcx = good;
  notPcx[0] = 0x0B;
  EXPECT_NE(error(notPcx).find("not a PCX"), std::string::npos);

  // The stream ends inside the picture, and a run marker without its value byte.
  Bytes shortData = header(h);
  append(shortData, {0xCF, 0x05});
  EXPECT_NE(error(shortData).find("truncated"), std::string::npos);
  Bytes noValue = header(h);
  append(noValue, {0xCF, 0x05, 0xC1});
  EXPECT_NE(error(noValue).find("truncated"), std::string::npos);

  // A run longer than what is left of the picture.
  Bytes overrun = header(h);
  append(overrun, {0xCF, 0x05, 0xC3, 0x06});
  append(overrun, palette256());
  EXPECT_NE(error(overrun).find("past the end"), std::string::npos);

  // Lines too short for the width, an inverted window, and a huge picture with no data.
  Header narrow = h;
  narrow.BytesPerLine = 3;
  EXPECT_NE(error(header(narrow)).find("too short"), std::string::npos);
  Bytes inverted = header(h);
  inverted[8] = 0;  // xMax below xMin
  EXPECT_NE(error(inverted).find("empty"), std::string::npos);
  Header huge = h;
  huge.Width = 30000;
  huge.Height = 30000;
  EXPECT_NE(error(header(huge)).find("too large"), std::string::npos);
  Header big = h;
  big.Width = 8000;
  big.Height = 8000;  // allowed size, but 100 bytes cannot hold 64 million pixels
  Bytes bigFile = header(big);
  bigFile.resize(bigFile.size() + 100, 0xFF);
  EXPECT_NE(error(bigFile).find("truncated"), std::string::npos);
}

TEST(Pcx, EveryCutOfAGoodFileIsHandled) {
  Header h;
  h.Bits = 1;
  h.Planes = 4;
  h.Width = 13;
  h.Height = 5;
  Bytes raw;
  for (int i = 0; i < 5 * 4 * 2; ++i) raw.push_back(std::uint8_t(i * 37));
  Bytes f = header(h);
  append(f, rle(raw));
  ASSERT_TRUE(decodePcx(f).ok());
  for (std::size_t n = 0; n < f.size(); ++n) {
    const RasterResult r = decodePcx(std::span(f.data(), n));
    EXPECT_FALSE(r.ok()) << n;
  }
}

}  // namespace
