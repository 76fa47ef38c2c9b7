#include <gtest/gtest.h>

#include <cstring>

#include "viewer/raster_bytes.h"
#include "viewer/targa.h"

using namespace kelvaro;
using namespace kelvaro::test;

namespace {

struct Header {
  int IdLength = 0;
  int MapType = 0;
  int Type = 2;
  int MapFirst = 0;
  int MapLength = 0;
  int MapBits = 0;
  int Width = 1;
  int Height = 1;
  int Depth = 24;
  int Descriptor = 0;
};

Bytes header(const Header& h) {
  Bytes b;
  append(b, {h.IdLength, h.MapType, h.Type});
  put16(b, h.MapFirst);
  put16(b, h.MapLength);
  b.push_back(std::uint8_t(h.MapBits));
  put16(b, 0);
  put16(b, 0);
  put16(b, h.Width);
  put16(b, h.Height);
  append(b, {h.Depth, h.Descriptor});
  for (int i = 0; i < h.IdLength; ++i) b.push_back('i');
  return b;
}

Bytes footer(std::uint32_t extension, std::uint32_t developer) {
  Bytes b;
  put32(b, extension);
  put32(b, developer);
  const char sig[] = "TRUEVISION-XFILE.";
  b.insert(b.end(), sig, sig + 18);
  return b;
}

Px at(const RasterResult& r, int x, int y) {
  const auto* p = r.Image.Pixels.data() + (std::size_t(y) * r.Image.Width + x) * 3;
  return {p[0], p[1], p[2]};
}

// Pixel i of a test picture, as BGR bytes in the file.
Px colour(int i) { return {10 + i, 100 + i, 200 + i}; }
void putBgr(Bytes& b, Px c) { append(b, {c.B, c.G, c.R}); }

TEST(Targa, OriginBitsPlaceTheFirstPixelInEachCorner) {
  const int w = 3, hgt = 2;
  for (int descriptor : {0x00, 0x10, 0x20, 0x30}) {
    Header h;
    h.Width = w;
    h.Height = hgt;
    h.Descriptor = descriptor | 0x08;  // alpha bits are ignored
    Bytes f = header(h);
    for (int i = 0; i < w * hgt; ++i) putBgr(f, colour(i));
    const RasterResult r = decodeTarga(f);
    ASSERT_TRUE(r.ok()) << r.Error;
    const bool rightToLeft = descriptor & 0x10, topDown = descriptor & 0x20;
    for (int i = 0; i < w * hgt; ++i) {
      const int fx = i % w, fy = i / w;
      const int x = rightToLeft ? w - 1 - fx : fx, y = topDown ? fy : hgt - 1 - fy;
      EXPECT_EQ(at(r, x, y), colour(i)) << "descriptor " << descriptor << " pixel " << i;
    }
  }
  // The plainest case spelled out: bottom-up, so the first pixel ends in the lower left corner.
  Header h;
  h.Width = 1;
  h.Height = 2;
  Bytes f = header(h);
  append(f, {1, 2, 3, 4, 5, 6});
  const RasterResult r = decodeTarga(f);
  ASSERT_TRUE(r.ok()) << r.Error;
  EXPECT_EQ(at(r, 0, 1), (Px{3, 2, 1}));
  EXPECT_EQ(at(r, 0, 0), (Px{6, 5, 4}));
}

TEST(Targa, SixteenFifteenAndThirtyTwoBitPixels) {
  for (int depth : {15, 16}) {
    Header h;
    h.Width = 4;
    h.Depth = depth;
    Bytes f = header(h);
    for (unsigned v : {0xFC00u, 0x03E0u, 0x001Fu, 0x4210u}) put16(f, v);  // the top bit is ignored
    const RasterResult r = decodeTarga(f);
    ASSERT_TRUE(r.ok()) << r.Error;
    EXPECT_EQ(at(r, 0, 0), (Px{255, 0, 0}));
    EXPECT_EQ(at(r, 1, 0), (Px{0, 255, 0}));
    EXPECT_EQ(at(r, 2, 0), (Px{0, 0, 255}));
    EXPECT_EQ(at(r, 3, 0), (Px{132, 132, 132}));
  }
  Header h;
  h.Width = 2;
  h.Depth = 32;
  h.Descriptor = 0x28;
  Bytes f = header(h);
  append(f, {1, 2, 3, 0, 7, 8, 9, 255});  // alpha zero or full: the colour stays
  const RasterResult r = decodeTarga(f);
  ASSERT_TRUE(r.ok()) << r.Error;
  EXPECT_EQ(at(r, 0, 0), (Px{3, 2, 1}));
  EXPECT_EQ(at(r, 1, 0), (Px{9, 8, 7}));
}

TEST(Targa, ColourMapsOfEveryEntrySizeAndIndicesOutsideThem) {
  // 24-bit entries starting at index 2; 0 and 5 fall outside the map.
  {
    Header h;
    h.MapType = 1;
    h.Type = 1;
    h.MapFirst = 2;
    h.MapLength = 3;
    h.MapBits = 24;
    h.Width = 5;
    h.Depth = 8;
    h.Descriptor = 0x20;
    Bytes f = header(h);
    for (int i = 0; i < 3; ++i) putBgr(f, colour(i));
    append(f, {2, 3, 4, 0, 5});
    const RasterResult r = decodeTarga(f);
    ASSERT_TRUE(r.ok()) << r.Error;
    EXPECT_EQ(at(r, 0, 0), colour(0));
    EXPECT_EQ(at(r, 1, 0), colour(1));
    EXPECT_EQ(at(r, 2, 0), colour(2));
    EXPECT_EQ(at(r, 3, 0), (Px{0, 0, 0}));
    EXPECT_EQ(at(r, 4, 0), (Px{0, 0, 0}));
  }
  // 15/16 and 32-bit entries; 16-bit indices.
  for (int bits : {15, 16, 32}) {
    Header h;
    h.MapType = 1;
    h.Type = 1;
    h.MapLength = 2;
    h.MapBits = bits;
    h.Width = 3;
    h.Depth = 16;
    Bytes f = header(h);
    if (bits == 32) {
      append(f, {0, 0, 255, 0, 255, 0, 0, 0});
    } else {
      put16(f, 0x7C00);
      put16(f, 0x001F);
    }
    put16(f, 1);
    put16(f, 0);
    put16(f, 0x0100);  // 256: past the map
    const RasterResult r = decodeTarga(f);
    ASSERT_TRUE(r.ok()) << bits << ": " << r.Error;
    EXPECT_EQ(at(r, 0, 0), (Px{0, 0, 255})) << bits;
    EXPECT_EQ(at(r, 1, 0), (Px{255, 0, 0})) << bits;
    EXPECT_EQ(at(r, 2, 0), (Px{0, 0, 0})) << bits;
  }
}

TEST(Targa, GreyPicturesAndSkippedIdentificationAndUnusedMap) {
  Header h;
  h.Type = 3;
  h.Depth = 8;
  h.Width = 2;
  h.IdLength = 7;
  Bytes f = header(h);
  append(f, {0x20, 0xE0});
  RasterResult r = decodeTarga(f);
  ASSERT_TRUE(r.ok()) << r.Error;
  EXPECT_EQ(at(r, 0, 0), (Px{0x20, 0x20, 0x20}));
  EXPECT_EQ(at(r, 1, 0), (Px{0xE0, 0xE0, 0xE0}));

  h.Depth = 16;  // grey and alpha
  f = header(h);
  append(f, {0x40, 0x00, 0x90, 0xFF});
  r = decodeTarga(f);
  ASSERT_TRUE(r.ok()) << r.Error;
  EXPECT_EQ(at(r, 1, 0), (Px{0x90, 0x90, 0x90}));

  // A true-colour picture carrying a colour map it does not use.
  Header t;
  t.MapType = 1;
  t.MapLength = 4;
  t.MapBits = 24;
  f = header(t);
  f.resize(f.size() + 12, 0x77);
  putBgr(f, colour(5));
  r = decodeTarga(f);
  ASSERT_TRUE(r.ok()) << r.Error;
  EXPECT_EQ(at(r, 0, 0), colour(5));
}

TEST(Targa, RunLengthPicturesMatchTheirStoredForms) {
  const int w = 3, hgt = 3;
  struct Kind {
    int Type, Depth, MapType;
  } kinds[] = {{1, 8, 1}, {2, 24, 0}, {2, 16, 0}, {2, 32, 0}, {3, 8, 0}};
  for (const Kind& k : kinds) {
    Header h;
    h.Type = k.Type;
    h.MapType = k.MapType;
    h.MapLength = k.MapType ? 4 : 0;
    h.MapBits = k.MapType ? 24 : 0;
    h.Width = w;
    h.Height = hgt;
    h.Depth = k.Depth;
    const int bpp = (k.Depth + 7) / 8;
    Bytes map;
    for (int i = 0; i < h.MapLength; ++i) putBgr(map, colour(i * 3));
    // Pixel values v0..v3; the picture is v0 x4, v1, v2, v3 x3 in file order.
    auto pixel = [&](int v) {
      Bytes p;
      for (int b = 0; b < bpp; ++b) p.push_back(std::uint8_t(v * 40 + b * 3 + 1));
      if (k.Type == 1) p = {std::uint8_t(v)};
      return p;
    };
    Bytes stored = header(h);
    append(stored, map);
    for (int v : {0, 0, 0, 0, 1, 2, 3, 3, 3}) append(stored, pixel(v));
    const RasterResult plain = decodeTarga(stored);
    ASSERT_TRUE(plain.ok()) << plain.Error;

    h.Type = k.Type + 8;
    Bytes packed = header(h);
    append(packed, map);
    // A run of 4 crossing the first row, a raw packet of 2, then a run of 3.
    packed.push_back(0x83);
    append(packed, pixel(0));
    packed.push_back(0x01);
    append(packed, pixel(1));
    append(packed, pixel(2));
    packed.push_back(0x82);
    append(packed, pixel(3));
    const RasterResult rle = decodeTarga(packed);
    ASSERT_TRUE(rle.ok()) << k.Type << "/" << k.Depth << ": " << rle.Error;
    EXPECT_EQ(rle.Image.Pixels, plain.Image.Pixels) << k.Type << "/" << k.Depth;
    EXPECT_NE(at(rle, 0, 2), at(rle, 2, 0)) << "picture has distinct pixels";
  }
}

TEST(Targa, FooterBoundsTheData) {
  Header h;
  h.Type = 10;
  h.Width = 2;
  h.Height = 2;
  Bytes f = header(h);
  append(f, {0x83, 1, 2, 3});
  ASSERT_TRUE(decodeTarga(f).ok());

  // With an extension area and a footer the picture reads the same.
  Bytes withFooter = f;
  const auto extensionAt = std::uint32_t(withFooter.size());
  withFooter.resize(withFooter.size() + 495, 0x11);
  append(withFooter, footer(extensionAt, 3));  // a developer offset inside the header is ignored
  const RasterResult r = decodeTarga(withFooter);
  ASSERT_TRUE(r.ok()) << r.Error;
  EXPECT_EQ(r.Image.Pixels, decodeTarga(f).Image.Pixels);

  // A cut-short picture must not take its missing packet from the extension area or footer.
  Header three = h;
  three.Height = 3;
  Bytes cut = header(three);
  append(cut, {0x83, 1, 2, 3});
  const auto cutExtension = std::uint32_t(cut.size());
  append(cut, {0x81, 9, 9, 9, 0, 0});
  append(cut, footer(cutExtension, 0));
  const RasterResult bad = decodeTarga(cut);
  EXPECT_FALSE(bad.ok());
  EXPECT_NE(bad.Error.find("truncated"), std::string::npos) << bad.Error;

  // Without an extension area the footer itself is not picture data.
  Bytes bare = header(three);
  append(bare, {0x83, 1, 2, 3});
  append(bare, footer(0, 0));
  EXPECT_FALSE(decodeTarga(bare).ok());
}

TEST(Targa, DamagedAndUnsupportedFilesGiveClearErrors) {
  auto error = [](const Header& h, const Bytes& body) {
    Bytes f = header(h);
    append(f, body);
    const RasterResult r = decodeTarga(f);
    EXPECT_TRUE(r.Image.Pixels.empty());
    return r.ok() ? std::string("(loaded)") : r.Error;
  };
  const Bytes some(64, 0);
  Header h;
  EXPECT_NE(decodeTarga(Bytes(17, 0)).Error.find("header"), std::string::npos);

  Header t = h;
  t.Type = 0;
  EXPECT_NE(error(t, some).find("no picture"), std::string::npos);
  for (int type : {4, 8, 32, 33}) {
    t.Type = type;
    EXPECT_NE(error(t, some).find("not supported"), std::string::npos) << type;
  }
  t = h;
  t.MapType = 2;
  EXPECT_NE(error(t, some).find("colour map type"), std::string::npos);
  for (auto [type, depth] : {std::pair{2, 8}, {3, 24}, {1, 24}, {2, 0}}) {
    t = h;
    t.Type = type;
    t.Depth = depth;
    t.MapType = 1;
    t.MapLength = 1;
    t.MapBits = 24;
    EXPECT_NE(error(t, some).find("bits per pixel"), std::string::npos) << type << "/" << depth;
  }
  t = h;
  t.Type = 1;
  t.Depth = 8;
  EXPECT_NE(error(t, some).find("without a colour map"), std::string::npos);
  t.MapType = 1;
  t.MapLength = 1;
  t.MapBits = 8;
  EXPECT_NE(error(t, some).find("entries of 8 bits"), std::string::npos);
  t.MapLength = 100;
  t.MapBits = 24;
  EXPECT_NE(error(t, some).find("colour map is truncated"), std::string::npos);
  t = h;
  t.IdLength = 20;
  Bytes idCut = header(t);
  idCut.resize(30);
  EXPECT_NE(decodeTarga(idCut).Error.find("identification"), std::string::npos);

  t = h;
  t.Width = 0;
  EXPECT_NE(error(t, some).find("empty"), std::string::npos);
  t = h;
  t.Width = 65535;
  t.Height = 65535;
  EXPECT_NE(error(t, some).find("too large"), std::string::npos);
  t.Width = 10000;
  t.Height = 10000;  // allowed, but the data is far too short for it
  t.Type = 10;
  EXPECT_NE(error(t, some).find("truncated"), std::string::npos);

  // Stored data short by one byte; a run packet without its pixel; a raw packet past the end.
  t = h;
  t.Width = 2;
  EXPECT_NE(error(t, {1, 2, 3, 4, 5}).find("truncated"), std::string::npos);
  t.Type = 10;
  EXPECT_NE(error(t, {0x80, 1, 2, 3, 0x80, 1}).find("truncated"), std::string::npos);
  EXPECT_NE(error(t, {0x02, 1, 2, 3, 4, 5, 6, 7, 8, 9}).find("past the end"), std::string::npos);
  EXPECT_NE(error(t, {0x82, 1, 2, 3}).find("past the end"), std::string::npos);
}

TEST(Targa, EveryCutOfAGoodFileIsHandled) {
  Header h;
  h.Type = 9;
  h.MapType = 1;
  h.MapLength = 2;
  h.MapBits = 16;
  h.Width = 5;
  h.Height = 4;
  h.Depth = 8;
  h.IdLength = 3;
  Bytes f = header(h);
  append(f, {0xFF, 0x7F, 0x00, 0x7C});
  append(f, {0x89, 1, 0x09, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1});  // 10 + 10 pixels
  ASSERT_TRUE(decodeTarga(f).ok());
  for (std::size_t n = 0; n < f.size(); ++n) EXPECT_FALSE(decodeTarga(std::span(f.data(), n)).ok()) << n;
}

}  // namespace
