// Pictures found in embedded OLE objects: compound files built here stream by stream, with the
// picture in the native stream or in a presentation stream, in full sectors or in the mini
// stream; and damaged data, which must come back as "nothing to draw".
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "cadkit/ole_picture.h"
#include "vec_fixture.h"

namespace kelvaro::cad::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4);
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void put16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
Bytes le32s(std::initializer_list<std::uint32_t> v) {
  Bytes b;
  for (auto x : v) put32(b, b.size(), x);
  return b;
}

struct Stream {
  std::string name;
  Bytes bytes;
};

// A version 3 compound file: FAT in sector 0, directory in 1, mini FAT in 2, data after.
// Streams under 4096 bytes go to the mini stream, as writers put them.
Bytes compoundFile(const std::vector<Stream>& streams) {
  constexpr std::uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF;
  std::vector<std::uint32_t> fat(128, kFree), miniFat(128, kFree);
  fat[0] = 0xFFFFFFFD;
  fat[1] = fat[2] = kEnd;
  Bytes data, mini;
  std::uint32_t next = 3;
  auto place = [&](const Bytes& b) {
    std::uint32_t first = next, count = static_cast<std::uint32_t>((b.size() + 511) / 512);
    for (std::uint32_t i = 0; i < count; ++i) fat[first + i] = i + 1 < count ? first + i + 1 : kEnd;
    next += count;
    Bytes padded = b;
    padded.resize(count * 512);
    data.insert(data.end(), padded.begin(), padded.end());
    return first;
  };
  std::vector<std::uint32_t> starts;
  for (const auto& s : streams) {
    if (s.bytes.size() >= 4096) {
      starts.push_back(place(s.bytes));
      continue;
    }
    std::uint32_t first = static_cast<std::uint32_t>(mini.size() / 64), count = static_cast<std::uint32_t>((s.bytes.size() + 63) / 64);
    for (std::uint32_t i = 0; i < count; ++i) miniFat[first + i] = i + 1 < count ? first + i + 1 : kEnd;
    Bytes padded = s.bytes;
    padded.resize(count * 64);
    mini.insert(mini.end(), padded.begin(), padded.end());
    starts.push_back(first);
  }
  std::uint32_t miniStart = mini.empty() ? kEnd : place(mini);
  Bytes dir(512, 0);
  auto entry = [&](int i, const std::string& name, std::uint8_t type, std::uint32_t start, std::uint32_t size) {
    std::size_t at = static_cast<std::size_t>(i) * 128;
    for (std::size_t k = 0; k < name.size(); ++k) put16(dir, at + 2 * k, static_cast<std::uint8_t>(name[k]));
    put16(dir, at + 0x40, static_cast<std::uint16_t>(2 * name.size() + 2));
    dir[at + 0x42] = type;
    put32(dir, at + 0x74, start);
    put32(dir, at + 0x78, size);
  };
  entry(0, "Root Entry", 5, miniStart, static_cast<std::uint32_t>(mini.size()));
  for (std::size_t i = 0; i < streams.size(); ++i)
    entry(static_cast<int>(i + 1), streams[i].name, 2, starts[i], static_cast<std::uint32_t>(streams[i].bytes.size()));
  Bytes out(512, 0);
  const std::uint8_t magic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(out.data(), magic, 8);
  put16(out, 0x18, 0x3E);
  put16(out, 0x1A, 3);
  put16(out, 0x1C, 0xFFFE);
  put16(out, 0x1E, 9);
  put16(out, 0x20, 6);
  put32(out, 0x2C, 1);
  put32(out, 0x30, 1);
  put32(out, 0x38, 4096);
  put32(out, 0x3C, 2);
  put32(out, 0x40, 1);
  put32(out, 0x44, kEnd);
  for (int i = 0; i < 109; ++i) put32(out, 0x4C + 4 * i, i == 0 ? 0 : kFree);
  Bytes fatBytes, miniFatBytes;
  for (auto f : fat) put32(fatBytes, fatBytes.size(), f);
  for (auto f : miniFat) put32(miniFatBytes, miniFatBytes.size(), f);
  out.insert(out.end(), fatBytes.begin(), fatBytes.end());
  out.insert(out.end(), dir.begin(), dir.end());
  out.insert(out.end(), miniFatBytes.begin(), miniFatBytes.end());
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

// A packed 2 × 2 bitmap of 24 bits, and the same as a file.
Bytes packedDib() {
  Bytes b = le32s({40, 2, 2});
  b.resize(40, 0);
  put16(b, 12, 1);
  put16(b, 14, 24);
  for (int i = 0; i < 16; ++i) b.push_back(static_cast<std::uint8_t>(i * 10));  // two rows of 8 bytes
  return b;
}
Bytes bitmapFile() {
  Bytes dib = packedDib();
  Bytes f = {'B', 'M'};
  put32(f, 2, static_cast<std::uint32_t>(14 + dib.size()));
  put32(f, 6, 0);
  put32(f, 10, 54);
  f.insert(f.end(), dib.begin(), dib.end());
  return f;
}
Bytes pngFile() {
  Bytes p = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  p.resize(60, 7);
  return p;
}

// A presentation stream of `format` holding `data`.
Bytes presentation(std::uint32_t format, const Bytes& data) {
  Bytes s = le32s({0xFFFFFFFF, format, 4, 1, 0xFFFFFFFF, 2, 0, 100, 100, static_cast<std::uint32_t>(data.size())});
  s.insert(s.end(), data.begin(), data.end());
  return s;
}
Bytes native(const Bytes& file, std::size_t headerBytes = 0) {
  Bytes s = le32s({static_cast<std::uint32_t>(file.size() + headerBytes)});
  s.insert(s.end(), headerBytes, 'x');
  s.insert(s.end(), file.begin(), file.end());
  return s;
}

Bytes extract(const Bytes& b) { return extractOlePicture(b.data(), b.size()); }

TEST(OlePicture, BitmapsAndPngsAreFoundBeforeMetafiles) {
  Bytes wmf(300, 0x11);
  // A Paintbrush object: the bitmap file in the native stream, a metafile to present it. The
  // drawing's own header comes before the compound file.
  Bytes big = bitmapFile();
  big.resize(5000, 0);  // large enough for full sectors
  put32(big, 2, 5000);
  Bytes obj(20, 0x80);
  Bytes cfb = compoundFile({{"\x02OlePres000", presentation(3, wmf)}, {"\x01Ole10Native", native(big)}});
  obj.insert(obj.end(), cfb.begin(), cfb.end());
  Bytes got = extract(obj);
  ASSERT_EQ(got.size(), 1 + big.size());
  EXPECT_EQ(got[0], kOleDib);
  EXPECT_TRUE(std::equal(big.begin(), big.end(), got.begin() + 1));

  // A packed bitmap in a small presentation stream (mini stream) gets its file header.
  got = extract(compoundFile({{"\x02OlePres000", presentation(8, packedDib())}}));
  Bytes file = bitmapFile();
  ASSERT_EQ(got.size(), 1 + file.size());
  EXPECT_EQ(got[0], kOleDib);
  EXPECT_TRUE(std::equal(file.begin(), file.end(), got.begin() + 1));

  // A package wraps its file behind a header of names.
  got = extract(compoundFile({{"\x01Ole10Native", native(pngFile(), 37)}}));
  ASSERT_EQ(got.size(), 1 + pngFile().size());
  EXPECT_EQ(got[0], kOlePng);

  // Only a metafile: the metafile's bytes.
  got = extract(compoundFile({{"\x01CompObj", Bytes(40, 1)}, {"\x02OlePres000", presentation(3, wmf)}}));
  ASSERT_EQ(got.size(), 1 + wmf.size());
  EXPECT_EQ(got[0], kOleMetafile);

  // No compound file but a PNG in the bytes.
  Bytes loose(10, 0);
  Bytes png = pngFile();
  loose.insert(loose.end(), png.begin(), png.end());
  EXPECT_EQ(extract(loose)[0], kOlePng);
}

TEST(OlePicture, DamagedDataMeansNothingToDraw) {
  EXPECT_EQ(extractOlePicture(nullptr, 0), Bytes{kOleNone});
  EXPECT_EQ(extract(Bytes{1, 2, 3}), Bytes{kOleNone});
  Bytes good = compoundFile({{"\x02OlePres000", presentation(8, packedDib())}, {"\x01Ole10Native", native(pngFile())}});
  // Every truncation reads within the bytes and finds at most what is whole.
  for (std::size_t n = 0; n < good.size(); n += 13) {
    Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    Bytes got = extract(cut);
    ASSERT_FALSE(got.empty());
  }
  // A FAT chain that loops on itself, a directory sector beyond the file, sizes beyond reason.
  Bytes loop = compoundFile({{"CONTENTS", Bytes(5000, 3)}});
  put32(loop, 512 + 4 * 3, 3);
  EXPECT_EQ(extract(loop), Bytes{kOleNone});
  Bytes far = good;
  put32(far, 0x30, 100000);
  EXPECT_EQ(extract(far), Bytes{kOleNone});
  Bytes huge = presentation(8, packedDib());
  put32(huge, 36, 0x7FFFFFFF);
  EXPECT_EQ(extract(compoundFile({{"\x02OlePres000", huge}})), Bytes{kOleNone});
  std::vector<OleStream> streams;
  EXPECT_FALSE(readCompoundFile(good.data(), 300, streams));
  // Random damage anywhere in the file never takes longer or reads further than the file.
  std::mt19937 rng(7);
  for (int i = 0; i < 300; ++i) {
    Bytes bad = good;
    for (int k = 0; k < 8; ++k) bad[rng() % bad.size()] = static_cast<std::uint8_t>(rng());
    (void)extract(bad);
  }
}

using OleWalk = VecTest;

std::string hex(const Bytes& b) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (auto c : b) s += digits[c >> 4], s += digits[c & 15];
  return s;
}

TEST_F(OleWalk, TheFramesPictureAndNameReachTheSink) {
  Ole2Frame f;
  f.typeText = "Paintbrush Picture";
  f.upperLeft = {10, 40, 0};
  f.lowerRight = {30, 20, 0};
  Bytes obj = compoundFile({{"\x02OlePres000", presentation(8, packedDib())}});
  std::string h = hex(obj);
  for (std::size_t i = 0; i < h.size(); i += 254) f.data.push_back(h.substr(i, 254));
  add(f);
  draw();
  auto ole = sink.of(Call::Ole);
  ASSERT_EQ(ole.size(), 1u);
  EXPECT_EQ(ole[0]->text, "Paintbrush Picture");
  EXPECT_EQ(ole[0]->value, static_cast<int>(1 + bitmapFile().size()));
  EXPECT_EQ(ole[0]->rgb, kOleDib);
}

}  // namespace
}  // namespace kelvaro::cad::test
