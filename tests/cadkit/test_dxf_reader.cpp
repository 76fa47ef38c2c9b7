// The reader on hand-written snippets: tolerance, encodings, binary files, damaged input.
#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <random>

#include "cadkit/dxf_io.h"
#include "sample_drawing.h"

namespace kelvaro::cad {
namespace {
using namespace std::string_literals;

std::string dxf(std::initializer_list<std::pair<int, std::string>> tags) {
  std::string s;
  for (const auto& [c, v] : tags) s += std::to_string(c) + "\n" + v + "\n";
  return s;
}

const std::string kR12Head = dxf({{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1009"},
                                  {9, "$DWGCODEPAGE"}, {3, "ANSI_1252"}, {0, "ENDSEC"}});

TEST(DxfReader, FieldsInAnyOrderAndUnknownCodesAreKept) {
  std::string s = kR12Head + dxf({{0, "SECTION"}, {2, "ENTITIES"}, {0, "LINE"}, {11, "4"}, {21, "5"},
                                  {8, "A"}, {999, "x"}, {10, "1"}, {20, "2"}, {77, "12"}, {62, "3"},
                                  {0, "ENDSEC"}, {0, "EOF"}});
  Document d = readDxf(s);
  ASSERT_EQ(d.modelSpace().entities.size(), 1u);
  const Entity& e = d.modelSpace().entities[0];
  const Line& l = e.get<Line>();
  EXPECT_EQ(l.start, (Vec3{1, 2, 0}));
  EXPECT_EQ(l.end, (Vec3{4, 5, 0}));
  EXPECT_EQ(e.common.layer, "A");
  EXPECT_EQ(e.common.color, 3);
  // The unknown code 77 goes back out when saved as the same release.
  std::string out = writeDxf(d, Release::R12, {});
  EXPECT_NE(out.find(" 77\n    12\n"), std::string::npos);
  EXPECT_TRUE(e.frame.handle) << "files without handles get them";
}

TEST(DxfReader, EntitiesOnlyFileOpens) {
  std::string s = dxf({{0, "SECTION"}, {2, "ENTITIES"}, {0, "CIRCLE"}, {8, "0"}, {10, "1"}, {20, "1"},
                       {40, "2.5"}, {0, "ENDSEC"}, {0, "EOF"}});
  Document d = readDxf(s);
  EXPECT_FALSE(d.hadHeader);
  ASSERT_EQ(d.modelSpace().entities.size(), 1u);
  EXPECT_EQ(d.modelSpace().entities[0].get<Circle>().radius, 2.5);
}

TEST(DxfReader, CodePagesAndUnicodeEscapes) {
  std::string s = dxf({{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1009"}, {9, "$DWGCODEPAGE"},
                       {3, "ANSI_1251"}, {0, "ENDSEC"}, {0, "SECTION"}, {2, "ENTITIES"}, {0, "TEXT"}, {8, "0"},
                       {10, "0"}, {20, "0"}, {40, "1"}, {1, "\xC4\xEE\xEC \\U+00E9"}, {0, "ENDSEC"}, {0, "EOF"}});
  Document d = readDxf(s);
  // 0xC4 0xEE 0xEC are "Дом" in the Cyrillic page; \U+00E9 is é.
  EXPECT_EQ(d.modelSpace().entities[0].get<Text>().text, "\xD0\x94\xD0\xBE\xD0\xBC \xC3\xA9");
  // Saved again in that code page: the Cyrillic bytes come back, é (absent there) as an escape.
  std::string out = writeDxf(d, Release::R12, {});
  EXPECT_NE(out.find("\xC4\xEE\xEC \\U+00E9"), std::string::npos);
}

TEST(DxfReader, Release2007FilesAreUtf8) {
  std::string s = dxf({{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1021"}, {0, "ENDSEC"},
                       {0, "SECTION"}, {2, "ENTITIES"}, {0, "TEXT"}, {8, "0"}, {10, "0"}, {20, "0"}, {40, "1"},
                       {1, "\xE2\x82\xAC"}, {0, "ENDSEC"}, {0, "EOF"}});
  Document d = readDxf(s);
  EXPECT_EQ(d.release, Release::R2007);
  EXPECT_EQ(d.modelSpace().entities[0].get<Text>().text, "\xE2\x82\xAC");
}

TEST(DxfReader, BinaryFilesOfR12UseOneByteCodes) {
  Document d = test::sampleDrawing();
  WriteOptions bin{.binary = true};
  std::string r12 = writeDxf(d, Release::R12, bin);
  std::string r2000 = writeDxf(d, Release::R2000, bin);
  // After the sentinel: code 0 as one byte then "SECTION" (R12), or as two bytes (2000).
  EXPECT_EQ(r12.substr(22, 8), std::string("\0SECTION", 8));
  EXPECT_EQ(r2000.substr(22, 9), std::string("\0\0SECTION", 9));
  EXPECT_EQ(readDxf(r12).modelSpace().entities.size(), readDxf(writeDxf(d, Release::R12, {})).modelSpace().entities.size());
}

TEST(DxfReader, DamagedInputGivesAClearErrorNeverACrash) {
  EXPECT_THROW(readDxf(""), DxfError);
  EXPECT_THROW(readDxf("hello world\n"), DxfError);
  try {
    readDxf(kR12Head + "0\nSECTION\n2\nENTITIES\n0\nLINE\nabc\n1\n");
    FAIL() << "no error";
  } catch (const DxfError& e) {
    EXPECT_NE(std::string(e.what()).find("line 21"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("invalid group code"), std::string::npos);
  }
  try {
    readDxf("AC1015\0\0\0\0\0"s);
    FAIL() << "no error";
  } catch (const DxfError& e) {
    EXPECT_NE(std::string(e.what()).find("DWG"), std::string::npos);
  }
  // Every prefix of a real file either loads or fails with a message.
  for (bool binary : {false, true}) {
    std::string full = writeDxf(test::sampleDrawing(), Release::R2000, {.binary = binary});
    int errors = 0;
    for (std::size_t n = 0; n < full.size(); n += 97) {
      try {
        readDxf(std::string_view(full).substr(0, n));
      } catch (const DxfError& e) {
        ++errors;
        EXPECT_FALSE(std::string(e.what()).empty());
      }
    }
    EXPECT_GT(errors, 0);
  }
}

TEST(DxfReader, HugeCountsDoNotAllocateOrHang) {
  std::string s = kR12Head + dxf({{0, "SECTION"}, {2, "ENTITIES"}, {0, "HATCH"}, {8, "0"}, {91, "2000000000"},
                                  {92, "2"}, {93, "2000000000"}, {10, "1"}, {20, "1"}, {0, "ENDSEC"}, {0, "EOF"}});
  Document d = readDxf(s);
  const Hatch& h = d.modelSpace().entities.at(0).get<Hatch>();
  ASSERT_EQ(h.paths.size(), 1u);
  EXPECT_EQ(h.paths[0].vertices.size(), 1u);
}

TEST(DxfReader, UnknownEntitiesAndObjectsAreCountedAndWrittenBack) {
  std::string s = dxf({{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1015"}, {0, "ENDSEC"},
                       {0, "SECTION"}, {2, "ENTITIES"}, {0, "3DSOLID"}, {5, "2A"}, {330, "1F"},
                       {100, "AcDbEntity"}, {8, "0"}, {100, "AcDbModelerGeometry"}, {70, "1"}, {1, "acis data"},
                       {0, "ENDSEC"}, {0, "SECTION"}, {2, "OBJECTS"}, {0, "DICTIONARY"}, {5, "C"}, {330, "0"},
                       {100, "AcDbDictionary"}, {281, "1"}, {3, "ACAD_GROUP"}, {350, "D"}, {0, "DICTIONARY"},
                       {5, "D"}, {330, "C"}, {100, "AcDbDictionary"}, {281, "1"}, {0, "SUN"}, {5, "E"},
                       {330, "C"}, {100, "AcDbSun"}, {90, "1"}, {0, "ENDSEC"}, {0, "EOF"}});
  Document d = readDxf(s);
  EXPECT_EQ(d.unsupported["3DSOLID"], 1);
  EXPECT_EQ(d.unsupported["SUN"], 1);
  std::string out = writeDxf(d, Release::R2000, {});
  EXPECT_NE(out.find("AcDbModelerGeometry\n 70\n     1\n  1\nacis data\n"), std::string::npos);
  EXPECT_NE(out.find("SUN\n  5\nE\n330\nC\n100\nAcDbSun\n 90\n     1\n"), std::string::npos);
  SaveReport rep;
  writeDxf(d, Release::R12, {}, &rep);
  EXPECT_EQ(rep.dropped["3DSOLID"], 1);
}

// The same lines laid out as different writers do: padded, tabbed, CRLF, leading zeros, no
// final line break. All must give the same entities.
TEST(DxfReader, CodeLinesInAnyLayoutReadAlike) {
  auto drawing = [](auto code, const char* eol) {
    std::string s;
    auto put = [&](int c, const std::string& v) { s += code(c) + eol + v + eol; };
    put(0, "SECTION"), put(2, "ENTITIES");
    put(0, "LINE"), put(5, "2A"), put(8, "WALLS"), put(10, "1.5"), put(20, "-2"), put(30, "0"), put(11, "3"),
        put(21, "4"), put(31, "0"), put(62, "5");
    put(0, "CIRCLE"), put(8, "0"), put(10, "7"), put(20, "8"), put(40, "0.25");
    put(0, "ENDSEC"), put(0, "EOF");
    s.resize(s.size() - std::string_view(eol).size());  // no line break after the last line
    return s;
  };
  auto plain = [](int c) { return std::to_string(c); };
  auto padded = [](int c) { std::string v = std::to_string(c); return std::string(v.size() < 3 ? 3 - v.size() : 0, ' ') + v; };
  auto tabbed = [](int c) { return "\t" + std::to_string(c) + " "; };
  auto zeros = [](int c) { return "00" + std::to_string(c); };
  for (const char* eol : {"\n", "\r\n"}) {
    for (const std::string& s : {drawing(plain, eol), drawing(padded, eol), drawing(tabbed, eol), drawing(zeros, eol)}) {
      SCOPED_TRACE(s.substr(0, 30));
      Document d = readDxf(s);
      ASSERT_EQ(d.modelSpace().entities.size(), 2u);
      const Entity& e = d.modelSpace().entities[0];
      EXPECT_EQ(e.get<Line>().start, (Vec3{1.5, -2, 0}));
      EXPECT_EQ(e.get<Line>().end, (Vec3{3, 4, 0}));
      EXPECT_EQ(e.common.layer, "WALLS");
      EXPECT_EQ(e.common.color, 5);
      EXPECT_EQ(e.frame.handle.v, 0x2Au);
      EXPECT_EQ(d.modelSpace().entities[1].get<Circle>().radius, 0.25);
    }
  }
  // A code line that is not a number names its line.
  try {
    readDxf(dxf({{0, "SECTION"}, {2, "ENTITIES"}}) + "+8\nA\n");
    FAIL() << "no error";
  } catch (const DxfError& e) {
    EXPECT_EQ(e.line, 5);
    EXPECT_NE(std::string(e.what()).find("\"+8\""), std::string::npos);
  }
}

// The count used to size the entity list: records up to the end of the section, the parts of
// an entity (vertices, end of sequence) not counted.
TEST(DxfReader, RecordsAheadAreCountedForSizing) {
  std::string s = dxf({{0, "SECTION"}, {2, "ENTITIES"}, {0, "POLYLINE"}, {66, "1"}, {0, "VERTEX"},
                       {10, "0"}, {0, "VERTEX"}, {10, "1"}, {0, "SEQEND"}, {0, "LINE"}, {0, "CIRCLE"},
                       {0, "ENDSEC"}, {0, "SECTION"}, {2, "OBJECTS"}, {0, "DICTIONARY"}, {0, "ENDSEC"}});
  TagSource src(s);
  Tag t;
  ASSERT_TRUE(src.next(t) && src.next(t));  // 0 SECTION, 2 ENTITIES
  EXPECT_EQ(src.countRecordsUntil("ENDSEC", {"VERTEX", "SEQEND"}), 3u);
  EXPECT_EQ(src.countRecordsUntil("ENDSEC"), 6u);
  ASSERT_TRUE(src.next(t));  // given back, the record's own tag still counts
  src.unread(std::move(t));
  EXPECT_EQ(src.countRecordsUntil("ENDSEC", {"VERTEX", "SEQEND"}), 3u);
  // Binary files are counted by stepping over their tags, with one- and two-byte codes.
  Document doc;
  for (int i = 0; i < 5; ++i) doc.modelSpace().entities.push_back(makeEntity(Line{.end = {1.0 * i, 1, 0}}, "0"));
  Polyline pl;
  pl.vertices.resize(4);
  doc.modelSpace().entities.push_back(makeEntity(pl, "0"));
  for (Release r : {Release::R12, Release::R2000}) {
    std::string bin = writeDxf(doc, r, {.binary = true});
    TagSource b(bin);
    ASSERT_TRUE(b.binary());
    while (b.next(t) && !(t.code == 2 && t.text == "ENTITIES")) {
    }
    EXPECT_EQ(b.countRecordsUntil("ENDSEC", {"VERTEX", "SEQEND"}), 6u) << releaseName(r);
    EXPECT_EQ(readDxf(bin).modelSpace().entities.size(), 6u);
    // A file cut short is counted up to the damage, without reading past its end.
    auto at = static_cast<std::size_t>(b.position());
    TagSource cut(std::string_view(bin).substr(0, at + (bin.size() - at) / 2));
    while (cut.next(t) && !(t.code == 2 && t.text == "ENTITIES")) {
    }
    EXPECT_LE(cut.countRecordsUntil("ENDSEC"), 6u + 6u);
  }
  // A polyline whose vertex count lies still reads every vertex it has.
  Document d = readDxf(dxf({{0, "SECTION"}, {2, "ENTITIES"}, {0, "LWPOLYLINE"}, {90, "1000000"}, {10, "1"},
                            {20, "2"}, {10, "3"}, {20, "4"}, {0, "ENDSEC"}, {0, "EOF"}}));
  ASSERT_EQ(d.modelSpace().entities.size(), 1u);
  const auto& v = d.modelSpace().entities[0].get<LwPolyline>().vertices;
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v[1].p, (Vec2{3, 4}));
}

// Numbers read from text match the standard library's correctly rounded parse, bit for bit.
TEST(DxfReader, DecimalsReadExactly) {
  std::mt19937_64 rng(7);
  auto check = [](const std::string& text) {
    Tag t;
    t.text = text;
    double want = 0;
    std::string_view s(text);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    auto r = std::from_chars(s.data(), s.data() + s.size(), want);
    ASSERT_TRUE(r.ec == std::errc() && r.ptr == s.data() + s.size()) << text;
    double got = t.asReal();
    EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0) << text << " read as " << got;
  };
  for (const char* s : {"0", "-0.0", "0.1", "0.3", "1.0", "-2.5", "123456789012345", "0.000000000000001",
                        "999999999999999.9", "1234567890.12345", "1e3", "2.5E-3", "+7.25", "1234567890123456789.5"})
    check(s);
  for (int i = 0; i < 20000; ++i) {
    std::uint64_t whole = rng() % 1000000000ull, frac = rng() % 1000000ull;
    int places = static_cast<int>(rng() % 7);
    std::string f = std::to_string(frac);
    f = std::string(6 - f.size(), '0') + f;
    std::string text = (rng() & 1 ? "-" : "") + std::to_string(whole) + (places ? "." + f.substr(0, places) : "");
    check(text);
  }
  Tag bad;
  bad.text = "1.2.3";
  bool ok = true;
  EXPECT_EQ(bad.asReal(&ok), 0);
  EXPECT_FALSE(ok);
}

}  // namespace
}  // namespace kelvaro::cad
