// Every wire type written and read back at each starting bit offset, with the bits it uses.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "cadkit/dwg/bits.h"

namespace kelvaro::cad::dwg {
namespace {

struct Case {
  const char* name;
  std::function<void(BitWriter&)> write;
  std::function<void(BitReader&)> readAndCheck;  // reads the value and checks it (EXPECT_*)
  std::size_t bits;                              // bits the encoding takes
};

std::vector<Case> cases(Release rel) {
  std::vector<Case> c;
  auto add = [&](const char* n, auto w, auto r, std::size_t bits) { c.push_back({n, w, r, bits}); };
  add("B", [](BitWriter& w) { w.B(true); }, [](BitReader& r) { EXPECT_TRUE(r.B()); }, 1);
  add("BB", [](BitWriter& w) { w.BB(2); }, [](BitReader& r) { EXPECT_EQ(r.BB(), 2); }, 2);
  for (std::uint8_t v : {0, 2, 6, 7}) {
    std::size_t n = v == 0 ? 1 : v == 2 ? 2 : 3;
    add("3B", [v](BitWriter& w) { w.B3(v); }, [v](BitReader& r) { EXPECT_EQ(r.B3(), v); }, n);
  }
  for (auto [v, n] : {std::pair<std::int16_t, int>{0, 2}, {256, 2}, {7, 10}, {255, 10}, {1000, 18}, {-2, 18}})
    add("BS", [v](BitWriter& w) { w.BS(v); }, [v](BitReader& r) { EXPECT_EQ(r.BS(), v); }, n);
  for (auto [v, n] : {std::pair<std::int32_t, int>{0, 2}, {200, 10}, {256, 34}, {-70000, 34}})
    add("BL", [v](BitWriter& w) { w.BL(v); }, [v](BitReader& r) { EXPECT_EQ(r.BL(), v); }, n);
  for (auto [v, n] : {std::pair<std::uint64_t, int>{0, 3}, {0x1234, 19}, {0x01020304050607ull, 59}})
    add("BLL", [v](BitWriter& w) { w.BLL(v); }, [v](BitReader& r) { EXPECT_EQ(r.BLL(), v); }, n);
  for (auto [v, n] : {std::pair<double, int>{0.0, 2}, {1.0, 2}, {-0.0, 66}, {0.1, 66}, {-1e300, 66}})
    add("BD", [v](BitWriter& w) { w.BD(v); },
        [v](BitReader& r) {
          double got = r.BD();
          EXPECT_EQ(got, v);
          EXPECT_EQ(std::signbit(got), std::signbit(v));
        },
        n);
  add("RC", [](BitWriter& w) { w.RC(0xA5); }, [](BitReader& r) { EXPECT_EQ(r.RC(), 0xA5); }, 8);
  add("RS", [](BitWriter& w) { w.RS(-12345); }, [](BitReader& r) { EXPECT_EQ(r.RS(), -12345); }, 16);
  add("RSBE", [](BitWriter& w) { w.RSBE(0xBEEF); }, [](BitReader& r) { EXPECT_EQ(r.RSBE(), 0xBEEF); }, 16);
  add("RL", [](BitWriter& w) { w.RL(-123456789); }, [](BitReader& r) { EXPECT_EQ(r.RL(), -123456789); }, 32);
  add("RLL", [](BitWriter& w) { w.RLL(0x8877665544332211ull); },
      [](BitReader& r) { EXPECT_EQ(r.RLL(), 0x8877665544332211ull); }, 64);
  add("RD", [](BitWriter& w) { w.RD(3.25); }, [](BitReader& r) { EXPECT_EQ(r.RD(), 3.25); }, 64);
  for (auto [v, n] : {std::pair<std::int64_t, int>{0, 8}, {63, 8}, {64, 16}, {-63, 8}, {-64, 16}, {1000000, 24},
                      {-4660, 16}})
    add("MC", [v](BitWriter& w) { w.MC(v); }, [v](BitReader& r) { EXPECT_EQ(r.MC(), v); }, n);
  for (auto [v, n] : {std::pair<std::uint64_t, int>{0, 8}, {127, 8}, {128, 16}, {0x123456789ull, 40}})
    add("UMC", [v](BitWriter& w) { w.UMC(v); }, [v](BitReader& r) { EXPECT_EQ(r.UMC(), v); }, n);
  for (auto [v, n] : {std::pair<std::uint32_t, int>{5, 16}, {0x7FFF, 16}, {0x8000, 32}, {0x12345678, 32}, {0x40000000, 48}})
    add("MS", [v](BitWriter& w) { w.MS(v); }, [v](BitReader& r) { EXPECT_EQ(r.MS(), v); }, n);
  for (auto [h, n] : {std::pair<HandleRef, int>{{5, 0}, 8}, {{3, 0x1F}, 16}, {{4, 0x12345}, 32}, {{0xC, 1}, 16}})
    add("H", [h](BitWriter& w) { w.H(h); }, [h](BitReader& r) { EXPECT_EQ(r.H(), h); }, n);
  add("TV", [](BitWriter& w) { w.TV("Layer 7"); }, [](BitReader& r) { EXPECT_EQ(r.TV(), "Layer 7"); },
      rel >= Release::R2004 ? 10 + 64 : 10 + 56);
  add("TV empty", [](BitWriter& w) { w.TV(""); }, [](BitReader& r) { EXPECT_EQ(r.TV(), ""); }, 2);
  // DD: the default decides how many bytes go out.
  const double dflt = 12.5;
  for (auto [v, n] : {std::pair<double, int>{12.5, 2}, {std::nextafter(12.5, 13.0), 34}, {12.75, 50}, {-4.0, 66}})
    add("DD", [=](BitWriter& w) { w.DD(v, dflt); }, [=](BitReader& r) { EXPECT_EQ(r.DD(dflt), v); }, n);
  bool r2000 = rel >= Release::R2000;
  add("BT zero", [](BitWriter& w) { w.BT(0.0); }, [](BitReader& r) { EXPECT_EQ(r.BT(), 0.0); }, r2000 ? 1 : 2);
  add("BT", [](BitWriter& w) { w.BT(2.5); }, [](BitReader& r) { EXPECT_EQ(r.BT(), 2.5); }, r2000 ? 67 : 66);
  add("BE unit", [](BitWriter& w) { w.BE({0, 0, 1}); }, [](BitReader& r) { EXPECT_EQ(r.BE(), (Vec3{0, 0, 1})); },
      r2000 ? 1 : 6);
  add("BE", [](BitWriter& w) { w.BE({0, 1, 0}); }, [](BitReader& r) { EXPECT_EQ(r.BE(), (Vec3{0, 1, 0})); },
      r2000 ? 7 : 6);
  // Since 2004 the colour word follows the index (its method byte makes 0xC0000000: 34 bits).
  add("CMC", [](BitWriter& w) { w.CMC(256); }, [](BitReader& r) { EXPECT_EQ(r.CMC(), 256); },
      rel >= Release::R2004 ? 2 + 34 + 8 : 2);
  // UTF-16 text: "Ä€" and a character outside the basic plane (a surrogate pair), plus the zero.
  add("TU", [](BitWriter& w) { w.TU("A\xC3\x84\xE2\x82\xAC\xF0\x9F\x98\x80"); },
      [](BitReader& r) { EXPECT_EQ(r.TU(), "A\xC3\x84\xE2\x82\xAC\xF0\x9F\x98\x80"); }, 10 + 6 * 16);
  add("TU empty", [](BitWriter& w) { w.TU(""); }, [](BitReader& r) { EXPECT_EQ(r.TU(), ""); }, 2);
  add("T", [](BitWriter& w) { w.T("Wall"); }, [](BitReader& r) { EXPECT_EQ(r.T(), "Wall"); },
      rel >= Release::R2007 ? 10 + 5 * 16 : rel >= Release::R2004 ? 10 + 5 * 8 : 10 + 4 * 8);
  add("2RD", [](BitWriter& w) { w.RD2({1, 2}); }, [](BitReader& r) { EXPECT_EQ(r.RD2(), (Vec2{1, 2})); }, 128);
  add("3BD", [](BitWriter& w) { w.BD3({0, 1, 0.5}); },
      [](BitReader& r) { EXPECT_EQ(r.BD3(), (Vec3{0, 1, 0.5})); }, 2 + 2 + 66);
  add("2DD", [](BitWriter& w) { w.DD2({3, 4}, {3, 5}); },
      [](BitReader& r) { EXPECT_EQ(r.DD2({3, 5}), (Vec2{3, 4})); }, 2 + 66);
  for (auto [v, n] : {std::pair<std::uint16_t, int>{0x22, 10}, {0x1F3, 10}, {0x1000, 18}})
    add("OT", [v](BitWriter& w) { w.OT(v); }, [v](BitReader& r) { EXPECT_EQ(r.OT(), v); }, n);
  return c;
}

class BitsAtOffsets : public ::testing::TestWithParam<Release> {};

TEST_P(BitsAtOffsets, EveryValueClassRoundTripsAtEveryBitOffset) {
  Release rel = GetParam();
  for (const Case& c : cases(rel)) {
    for (unsigned offset = 0; offset < 8; ++offset) {
      SCOPED_TRACE(std::string(c.name) + " at offset " + std::to_string(offset));
      BitWriter w(rel);
      w.bits(0x55, offset);  // a pattern before the value
      c.write(w);
      w.B(true);  // and a marker bit after it: the value must not spill over it
      ASSERT_EQ(w.bitPos(), offset + c.bits + 1);
      BitReader r(w.data(), rel);
      EXPECT_EQ(r.bits(offset), 0x55u & ((1u << offset) - 1u));
      c.readAndCheck(r);
      EXPECT_EQ(r.bitPos(), offset + c.bits);
      EXPECT_TRUE(r.B());
      EXPECT_TRUE(r.ok());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Releases, BitsAtOffsets,
                         ::testing::Values(Release::R13, Release::R2000, Release::R2004, Release::R2007,
                                           Release::R2018));

// Texts of 2007+ objects lie in a stream of their own at the end of the data part.
TEST(DwgBits, StringStreamIsFoundFromTheFlagAtTheEndOfTheData) {
  for (std::size_t textBits : {std::size_t{0}, std::size_t{200}, std::size_t{0x9000}}) {
    for (unsigned offset = 0; offset < 8; ++offset) {
      SCOPED_TRACE("text bits " + std::to_string(textBits) + " at offset " + std::to_string(offset));
      BitWriter data(Release::R2018), strings(Release::R2018);
      data.bits(0x5A, offset);
      data.BD(2.5);
      std::vector<std::string> texts;
      while (strings.bitPos() < textBits) {
        texts.push_back("Text " + std::to_string(texts.size()) + " \xC3\xA9");
        strings.TU(texts.back());
      }
      appendStringStream(data, strings);
      std::size_t dataBits = data.bitPos();
      data.RC(0xFF);  // the handle stream follows without a gap
      BitRange range = stringStream(data.data(), dataBits);
      if (texts.empty()) {
        EXPECT_TRUE(range.empty());
        continue;
      }
      ASSERT_EQ(range.begin, offset + 66u);
      ASSERT_EQ(range.end - range.begin, strings.bitPos());
      BitReader r(data.data(), Release::R2018);
      r.seekBit(range.begin);
      for (const auto& t : texts) EXPECT_EQ(r.T(), t);
      EXPECT_EQ(r.bitPos(), range.end);
      BitReader d(data.data(), Release::R2018);
      d.bits(offset);
      EXPECT_EQ(d.BD(), 2.5);
    }
  }
}

TEST(DwgBits, StringStreamSizesThatDoNotFitAreNoStrings) {
  // Flag set, but a size larger than the data before it; and data too short for a size.
  BitWriter w(Release::R2018);
  w.RS(0x7000);
  w.B(true);
  EXPECT_TRUE(stringStream(w.data(), w.bitPos()).empty());
  BitWriter tiny(Release::R2018);
  tiny.bits(0xFF, 8);
  EXPECT_TRUE(stringStream(tiny.data(), 8).empty());
  EXPECT_TRUE(stringStream(tiny.data(), 100).empty());
  EXPECT_TRUE(stringStream({}, 0).empty());
}

// Colours since 2004: objects store index, colour word and names; entities pack flags into the
// index word. Names of object colours come from the string stream since 2007.
TEST(DwgBits, ColoursOf2004AndLaterKeepTheirIndexAndNames) {
  for (Release rel : {Release::R2004, Release::R2007, Release::R2018}) {
    SCOPED_TRACE(releaseMagic(rel));
    BitWriter w(rel), ws(rel);
    DwgColor named;
    named.index = 30;
    named.rgb = 0xC2FF8000;
    named.name = "Orange \xC3\xBC";
    named.book = "Book";
    w.CMC(named, rel >= Release::R2007 ? ws : w);
    for (std::int16_t i : {std::int16_t{0}, std::int16_t{7}, std::int16_t{256}}) w.CMC(i);
    DwgColor ent;
    ent.index = 5;
    ent.flags = 0xA0;
    ent.rgb = 0xC2102030;
    ent.alpha = 0x0200007F;
    w.ENC(ent);
    BitWriter all(rel);
    all.append(w);
    std::size_t textStart = all.bitPos();
    all.append(ws);
    BitReader r(all.data(), rel), s(all.data(), rel);
    s.seekBit(rel >= Release::R2007 ? textStart : 0);
    DwgColor got = r.CMC(rel >= Release::R2007 ? s : r);
    EXPECT_EQ(got.index, 30);  // a true colour keeps the stored index
    EXPECT_EQ(got.rgb, 0xC2FF8000u);
    EXPECT_EQ(got.name, named.name);
    EXPECT_EQ(got.book, "Book");
    EXPECT_EQ(r.CMC(), 0);
    EXPECT_EQ(r.CMC(), 7);
    EXPECT_EQ(r.CMC(), 256);
    bool ref = true;
    DwgColor e = r.ENC(ref);
    EXPECT_FALSE(ref);
    EXPECT_EQ(e.index, 5);
    EXPECT_EQ(e.rgb, 0xC2102030u);
    EXPECT_EQ(e.alpha, 0x0200007Fu);
    EXPECT_TRUE(r.ok());
  }
  // An index word whose method byte says "palette 3" gives 3 whatever the stored index.
  BitWriter w(Release::R2004);
  w.BS(0);
  w.BL(static_cast<std::int32_t>(0xC3000003u));
  w.RC(0);
  // An entity colour that refers to a colour object, with its name and book name.
  w.BS(static_cast<std::int16_t>(0xC300 | 0x100 | 2));
  w.TV("Name");
  w.TV("Book");
  BitReader r(w.data(), Release::R2004);
  EXPECT_EQ(r.CMC(), 3);
  bool ref = false;
  DwgColor e = r.ENC(ref);
  EXPECT_TRUE(ref);
  EXPECT_EQ(e.name, "Name");
  EXPECT_EQ(e.book, "Book");
  EXPECT_EQ(e.index, 0x102);
}

TEST(DwgBits, MalformedUnicodeTextStaysInBounds) {
  // A count beyond the buffer fails; a lone surrogate half becomes the replacement character.
  BitWriter w(Release::R2018);
  w.BS(3);
  w.RS(static_cast<std::int16_t>(0xD800));
  w.RS('x');
  w.RS(0);
  BitReader r(w.data(), Release::R2018);
  EXPECT_EQ(r.TU(), "\xEF\xBF\xBDx");
  EXPECT_TRUE(r.ok());
  BitWriter big(Release::R2018);
  big.BS(4000);
  big.RS('a');
  BitReader r2(big.data(), Release::R2018);
  EXPECT_EQ(r2.TU(), "");
  EXPECT_FALSE(r2.ok());
}

TEST(DwgBits, ReadingPastTheEndIsStickyAndYieldsZero) {
  std::vector<std::uint8_t> two{0xFF, 0xFF};
  BitReader r(two);
  EXPECT_EQ(r.RS(), -1);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.RL(), 0);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.RC(), 0);  // stays failed
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.bitsLeft(), 0u);
}

// A 2004 colour keeps its palette number in the second word; the first is mostly zero.
TEST(DwgBits, ColoursOf2004ByTheirMethodByte) {
  struct Case {
    std::int16_t index;
    std::uint32_t raw;
    std::int16_t want;
    std::int32_t rgb;
  };
  const Case cases[] = {{0, 0xC3000004u, 4, 0},        {0, 0xC0000000u, 256, 0},  {0, 0xC1000000u, 0, 0},
                        {-1, 0xC3000005u, -5, 0},      {3, 0xC2FF8000u, 3, 0xFF8000}, {7, 0u, 7, 0}};
  for (const Case& c : cases) {
    BitWriter w(Release::R2004);
    w.BS(c.index);
    w.BL(static_cast<std::int32_t>(c.raw));
    w.RC(0);
    w.BS(1234);  // what follows is still in step
    BitReader r(w.data(), Release::R2004);
    const DwgColor got = r.CMC(r);
    EXPECT_EQ(got.index, c.want) << std::hex << c.raw;
    EXPECT_EQ(got.rgb >> 24 == 0xC2 ? static_cast<std::int32_t>(got.rgb & 0xFFFFFF) : 0, c.rgb);
    EXPECT_EQ(r.BS(), 1234);
  }
  // Until 2000 the index word is the whole colour.
  BitWriter w(Release::R2000);
  w.BS(-3);
  BitReader r(w.data(), Release::R2000);
  EXPECT_EQ(r.CMC(), -3);
}

TEST(DwgBits, MalformedValuesFailInsteadOfRunningOn) {
  // A handle claiming 15 value bytes, a text longer than the buffer, a modular char that never ends.
  std::vector<std::uint8_t> h{0x4F, 1, 2};
  BitReader r1(h);
  r1.H();
  EXPECT_FALSE(r1.ok());
  BitWriter w;
  w.BS(500);
  w.RC('a');
  BitReader r2(w.data());
  EXPECT_EQ(r2.TV(), "");
  EXPECT_FALSE(r2.ok());
  std::vector<std::uint8_t> mc(20, 0xFF);
  BitReader r3(mc);
  r3.MC();
  EXPECT_FALSE(r3.ok());
  std::vector<std::uint8_t> bl{0xC0};  // prefix 11 is not a BL
  BitReader r4(bl);
  r4.BL();
  EXPECT_FALSE(r4.ok());
}

TEST(DwgBits, CrcMatchesTheCheckValueAndChains) {
  const std::string s = "123456789";
  std::span<const std::uint8_t> all(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
  EXPECT_EQ(crc16(0, all), 0xBB3D);  // the usual check value of this polynomial
  // Continuing from a seed equals one pass over the whole.
  EXPECT_EQ(crc16(crc16(0xC0C1, all.first(4)), all.subspan(4)), crc16(0xC0C1, all));
}

TEST(DwgBits, HandlesResolveRelativeCodes) {
  EXPECT_EQ(absoluteHandle({6, 0}, 0x40), 0x41u);
  EXPECT_EQ(absoluteHandle({8, 0}, 0x40), 0x3Fu);
  EXPECT_EQ(absoluteHandle({0xA, 5}, 0x40), 0x45u);
  EXPECT_EQ(absoluteHandle({0xC, 5}, 0x40), 0x3Bu);
  EXPECT_EQ(absoluteHandle({5, 0x99}, 0x40), 0x99u);
}

TEST(DwgBits, PatchAndAppendKeepBitsInPlace) {
  BitWriter a;
  a.B(true);
  std::size_t at = a.bitPos();
  a.RL(0);
  a.BS(7);
  a.patchRL(at, 0xDEADBEEF);
  BitWriter b;
  b.bits(0b101, 3);
  a.append(b);
  BitReader r(a.data());
  EXPECT_TRUE(r.B());
  EXPECT_EQ(static_cast<std::uint32_t>(r.RL()), 0xDEADBEEFu);
  EXPECT_EQ(r.BS(), 7);
  EXPECT_EQ(r.bits(3), 0b101u);
  EXPECT_EQ(r.bitPos(), a.bitPos());
}

}  // namespace
}  // namespace kelvaro::cad::dwg
