// The 2004-family container: the page decompressor on hand-built streams, the checksums against
// their published check values, the header decryption, and damaged maps in a real file.
#include <algorithm>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cadkit/dwg/container2004.h"
#include "cadkit/dwg/dwg_io.h"
#include "cadkit/dwg/format.h"
#include "cadkit/dwg/sections.h"
#include "cadkit/toolkit.h"
#include "python_helper.h"

namespace kelvaro::cad::dwg {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes slurp(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

Bytes str(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct Out {
  std::string text;
  bool ok;
};
Out inflate(const Bytes& in, std::size_t room = 1 << 17) {
  Bytes out(room);
  c2004::Inflated r = c2004::decompress(in, out);
  return {std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(r.written)), r.ok};
}

TEST(Dwg2004Decompress, LiteralRuns) {
  // Low nibble + 3 bytes.
  Out a = inflate(cat({{0x02}, str("hello"), {0x11}}));
  EXPECT_TRUE(a.ok);
  EXPECT_EQ(a.text, "hello");
  // A zero nibble: 15, then 255 for every zero byte, then the last byte, then 3.
  std::string longText(0x0F + 0xFF + 5 + 3, 'x');
  for (std::size_t i = 0; i < longText.size(); ++i) longText[i] = static_cast<char>('a' + i % 26);
  Out b = inflate(cat({{0x00, 0x00, 0x05}, str(longText), {0x11}}));
  EXPECT_TRUE(b.ok);
  EXPECT_EQ(b.text, longText);
}

TEST(Dwg2004Decompress, EveryCopyClass) {
  // 0x40 and up: count from the high nibble, offset from two opcode bits and the next byte;
  // an offset shorter than the count repeats what was just written.
  Out shortCopy = inflate(cat({{0x01}, str("abcd"), {0x74, 0x00, 0x11}}));
  EXPECT_TRUE(shortCopy.ok);
  EXPECT_EQ(shortCopy.text, "abcdcdcdcd");
  // The two low opcode bits are literals that follow the copy.
  Out withLiterals = inflate(cat({{0x07}, str("0123456789"), {0x5E, 0x00}, str("XY"), {0x11}}));
  EXPECT_TRUE(withLiterals.ok);
  EXPECT_EQ(withLiterals.text, "0123456789" "6789" "XY");
  // 0x20-0x3F: count in five bits, offset and literal count in the next two bytes.
  Out mid = inflate(cat({{0x07}, str("0123456789"), {0x23, (9 << 2) | 2, 0x00}, str("XY"), {0x11}}));
  EXPECT_TRUE(mid.ok);
  EXPECT_EQ(mid.text, "0123456789" "01234" "XY");
  // A zero count there is extended like a literal length: 31 + 255 per zero byte + last + 2.
  Out run = inflate(cat({{0x01}, str("abcd"), {0x20, 0x00, 0x03, 0x00, 0x00, 0x11}}));
  EXPECT_TRUE(run.ok);
  EXPECT_EQ(run.text, "abcd" + std::string(0x1F + 0xFF + 3 + 2, 'd'));
  // A literal length after a copy: the next byte below 0x10.
  Out lenAfter = inflate(cat({{0x01}, str("abcd"), {0x70, 0x00, 0x01}, str("WXYZ"), {0x11}}));
  EXPECT_TRUE(lenAfter.ok);
  EXPECT_EQ(lenAfter.text, "abcd" "dddddd" "WXYZ");
}

TEST(Dwg2004Decompress, FarCopies) {
  // 0x10-0x1F reach 0x4000 bytes back and more; bit 3 adds another 0x4000.
  std::string lit(0x8000 + 40, 0);
  for (std::size_t i = 0; i < lit.size(); ++i) lit[i] = static_cast<char>(i * 7 + i / 251);
  std::size_t n = lit.size() - 0x0F - 3;  // in the extended literal length
  Bytes in = {0x00};
  for (; n > 0xFF; n -= 0xFF) in.push_back(0);
  in.push_back(static_cast<std::uint8_t>(n));
  in.insert(in.end(), lit.begin(), lit.end());
  Bytes near = cat({in, {0x12, 0x08, 0x00, 0x11}});  // 4 bytes from 0x4002 back
  Out a = inflate(near);
  ASSERT_TRUE(a.ok);
  EXPECT_EQ(a.text.substr(lit.size()), lit.substr(lit.size() - 0x4002, 4));
  Bytes far = cat({in, {0x1B, 0x00, 0x00, 0x11}});  // 5 bytes from 0x8000 back
  Out b = inflate(far);
  ASSERT_TRUE(b.ok);
  EXPECT_EQ(b.text.substr(lit.size()), lit.substr(lit.size() - 0x8000, 5));
}

TEST(Dwg2004Decompress, DamagedStreamsStopCleanly) {
  Bytes good = cat({{0x07}, str("0123456789"), {0x23, (9 << 2) | 2, 0x00}, str("XY"), {0x11}});
  // Cut anywhere before the end mark: not ok, and what came out is a prefix of the whole.
  for (std::size_t cut = 0; cut + 1 < good.size(); ++cut) {
    Out o = inflate(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)));
    EXPECT_FALSE(o.ok) << cut;
    EXPECT_EQ(o.text, std::string("0123456789" "01234" "XY").substr(0, o.text.size())) << cut;
  }
  // A copy from before the start of the output.
  EXPECT_FALSE(inflate(cat({{0x01}, str("abcd"), {0x23, 0xFC, 0x00, 0x11}})).ok);
  // More output than there is room for stops at the room.
  Out full = inflate(cat({{0x01}, str("abcd"), {0x20, 0x00, 0x03, 0x00, 0x00, 0x11}}), 64);
  EXPECT_FALSE(full.ok);
  EXPECT_EQ(full.text.size(), 4u);
  // An extended length that never ends.
  EXPECT_FALSE(inflate(Bytes(1000, 0)).ok);
  EXPECT_FALSE(inflate({}).ok);
}

TEST(Dwg2004Checksums, MatchTheirCheckValues) {
  // Seeded with 1 the page checksum is Adler-32.
  EXPECT_EQ(c2004::pageChecksum(1, str("Wikipedia")), 0x11E60398u);
  EXPECT_EQ(c2004::crc32(0, str("123456789")), 0xCBF43926u);
  // Long input of high bytes: the sums must not overflow between reductions, and a checksum
  // continued from an earlier one equals that of the whole.
  Bytes big(200000, 0xFF);
  std::uint64_t a = 1, b = 0;
  for (std::uint8_t x : big) a = (a + x) % 65521, b = (b + a) % 65521;
  EXPECT_EQ(c2004::pageChecksum(1, big), static_cast<std::uint32_t>(b << 16 | a));
  std::span<const std::uint8_t> all(big);
  EXPECT_EQ(c2004::pageChecksum(c2004::pageChecksum(1, all.first(12345)), all.subspan(12345)),
            c2004::pageChecksum(1, big));
}

TEST(Dwg2004Header, MaskDecryptsTheFileHeader) {
  std::uint8_t m[8];
  c2004::headerMask(m, 8);
  const std::uint8_t start[8] = {0x29, 0x23, 0xBE, 0x84, 0xE1, 0x6C, 0xD6, 0xAE};
  EXPECT_EQ(std::memcmp(m, start, 8), 0);
  fs::path f = fs::path(test::corpusDir()) / "example_2004.dwg";
  if (!fs::exists(f)) GTEST_SKIP() << f << " not found";
  Bytes file = slurp(f);
  ASSERT_GT(file.size(), 0x100u);
  std::uint8_t mask[0x6C];
  c2004::headerMask(mask, sizeof mask);
  std::string id;
  for (int i = 0; i < 11; ++i) id += static_cast<char>(file[0x80 + i] ^ mask[i]);
  EXPECT_EQ(id, "AcFssFcAJMB");
}

// The corpus file with its header decrypted, so that tests can damage what it points at.
struct File2004 {
  Bytes bytes;
  std::uint8_t hdr[0x6C];
  std::uint64_t pageMap = 0;
  void decrypt() {
    c2004::headerMask(hdr, sizeof hdr);
    for (std::size_t i = 0; i < sizeof hdr; ++i) hdr[i] ^= bytes[0x80 + i];
    pageMap = 0x100 + (hdr[0x54] | hdr[0x55] << 8 | hdr[0x56] << 16 | std::uint64_t(hdr[0x57]) << 24);
  }
};

bool readsOrRefuses(const Bytes& b, std::vector<std::string>& w) {
  try {
    SectionBuffers s = readSections2004(b, w);
    return !s.header.empty();
  } catch (const DwgError&) {
    return false;
  }
}

TEST(Dwg2004Container, DeliversTheSectionsOfARealFile) {
  fs::path f = fs::path(test::corpusDir()) / "example_2004.dwg";
  if (!fs::exists(f)) GTEST_SKIP() << f << " not found";
  Bytes file = slurp(f);
  std::vector<std::string> w;
  SectionBuffers s = readSections2004(file, w);
  EXPECT_TRUE(w.empty()) << w.front();
  EXPECT_EQ(s.release, Release::R2004);
  ASSERT_GE(s.header.size(), 16u);
  EXPECT_EQ(std::memcmp(s.header.data(), kHeaderBegin.data(), 16), 0);
  ASSERT_GE(s.classes.size(), 16u);
  EXPECT_EQ(std::memcmp(s.classes.data(), kClassesBegin.data(), 16), 0);
  auto map = readObjectMap(s.handles, s.objects.size(), s.release, w);
  EXPECT_GT(map.size(), 50u);
  EXPECT_TRUE(w.empty());
}

TEST(Dwg2004Container, LaterReleasesShareIt) {
  fs::path f = fs::path(test::corpusDir()) / "example_2018.dwg";
  if (!fs::exists(f)) GTEST_SKIP() << f << " not found";
  Bytes file = slurp(f);
  std::vector<std::string> w;
  SectionBuffers s = readSections2004(file, w);
  EXPECT_TRUE(w.empty()) << w.front();
  EXPECT_EQ(s.release, Release::R2018);
  ASSERT_GE(s.header.size(), 16u);
  EXPECT_EQ(std::memcmp(s.header.data(), kHeaderBegin.data(), 16), 0);
  auto map = readObjectMap(s.handles, s.objects.size(), s.release, w);
  ASSERT_GT(map.size(), 50u);
  // Every mapped offset is inside the objects, and the first object's size is sane.
  for (const auto& [h, off] : map) ASSERT_LT(off, s.objects.size());
  EXPECT_TRUE(w.empty());
}

// The stored picture of the later releases comes out of the container alone, a bitmap or a PNG
// picture; the toolkit writes either as a bitmap.
TEST(Dwg2004Container, PreviewsOfLaterReleases) {
  int seen = 0, bitmaps = 0;
  for (const char* name : {"example_2010.dwg", "example_2013.dwg", "example_2018.dwg"}) {
    fs::path f = fs::path(test::corpusDir()) / name;
    if (!fs::exists(f)) continue;
    SCOPED_TRACE(name);
    Bytes file = slurp(f);
    std::vector<std::string> w;
    SectionBuffers s = readSections2004(file, w);
    ASSERT_GE(s.preview.size(), 16u);
    EXPECT_EQ(std::memcmp(s.preview.data(), kPreviewBegin.data(), 16), 0);
    std::string hex = dwgPreviewDib(file);
    Bytes png = dwgPreviewPng(file);
    // One picture or the other, and the toolkit writes it out either way.
    EXPECT_NE(hex.empty(), png.empty());
    if (!hex.empty()) {
      EXPECT_EQ(hex.substr(0, 8), "28000000");
      ++bitmaps;
    }
    fs::path out = fs::temp_directory_path() / "kelvaro_preview_later.bmp";
    ASSERT_EQ(adExtractBmpFromFileToFile(f.string().c_str(), out.string().c_str()), 1);
    Bytes written = slurp(out);
    fs::remove(out);
    ASSERT_GE(written.size(), 54u);
    EXPECT_EQ(std::string(written.begin(), written.begin() + 2), "BM");
    if (!png.empty()) {
      // The PNG is decoded: the bitmap has its size and more than one colour.
      auto be = [&](std::size_t at) { return (png[at] << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3]; };
      auto le = [&](std::size_t at) { return written[at] | (written[at + 1] << 8) | (written[at + 2] << 16) | (written[at + 3] << 24); };
      EXPECT_EQ(le(18), be(16));
      EXPECT_EQ(le(22), be(20));
      EXPECT_NE(std::count(written.begin() + 54, written.end(), written[54]), std::ptrdiff_t(written.size() - 54));
    }
    ++seen;
  }
  if (!seen) GTEST_SKIP() << "no 2010-2018 drawings under " << test::corpusDir();
  // The 2010 sample keeps a bitmap, 2013 and 2018 a PNG picture.
  EXPECT_GT(bitmaps, 0);
  EXPECT_LT(bitmaps, seen);
}

TEST(Dwg2004Container, DamagedMapsGiveAnErrorOrWarnings) {
  fs::path f = fs::path(test::corpusDir()) / "example_2004.dwg";
  if (!fs::exists(f)) GTEST_SKIP() << f << " not found";
  File2004 good{slurp(f)};
  good.decrypt();
  ASSERT_LT(good.pageMap + 20, good.bytes.size());
  std::vector<std::string> w;
  // A damaged file header.
  {
    Bytes b = good.bytes;
    b[0x80] ^= 0x55;
    EXPECT_THROW(readSections2004(b, w), DwgError);
  }
  // A page map claiming more compressed bytes than the file holds.
  {
    Bytes b = good.bytes;
    std::size_t at = static_cast<std::size_t>(good.pageMap) + 8;
    b[at] = b[at + 1] = b[at + 2] = b[at + 3] = 0xFF;
    try {
      readSections2004(b, w);
      ADD_FAILURE() << "no error";
    } catch (const DwgError& e) {
      EXPECT_NE(std::string(e.what()).find("page map"), std::string::npos) << e.what();
    }
  }
  // A wrong checksum is a warning only.
  {
    Bytes b = good.bytes;
    b[static_cast<std::size_t>(good.pageMap) + 16] ^= 1;
    w.clear();
    EXPECT_TRUE(readsOrRefuses(b, w));
    ASSERT_FALSE(w.empty());
    EXPECT_NE(w.front().find("check value"), std::string::npos);
  }
  // Flipped bytes in the headers and maps, sampled elsewhere, and prefixes: never a crash.
  auto flip = [&](std::size_t at) {
    if (at >= good.bytes.size()) return;
    Bytes b = good.bytes;
    b[at] ^= 0xA5;
    w.clear();
    readsOrRefuses(b, w);
  };
  for (std::size_t at = 0; at < 0x100; ++at) flip(at);
  for (std::size_t at = 0; at < 400; ++at) flip(static_cast<std::size_t>(good.pageMap) + at);
  for (std::size_t at = 0x100; at < good.bytes.size(); at += 509) flip(at);
  int refused = 0;
  for (std::size_t cut = 0; cut < good.bytes.size(); cut += 1777) {
    w.clear();
    refused += !readsOrRefuses(Bytes(good.bytes.begin(), good.bytes.begin() + static_cast<std::ptrdiff_t>(cut)), w);
  }
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace kelvaro::cad::dwg
